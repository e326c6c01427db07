#include "ui/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "io/rotationsense.h"
#include "ui/diagram.h"
#include "ui/geometryview.h"
#include "ui/inputswallower.h"
#include "ui/texts.h"

namespace korvex {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* newedit(const char* name) {
    auto* e = named(new QLineEdit, name);
    // Wide enough for "-1.2345E-10"; the platform font decides the pixels.
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("-0.0000000000")));
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("-0.000000000000000000")));
    return e;
}

QLabel* newlabel(const char* name, const char* caption, QLineEdit* buddy = nullptr) {
    auto* l = named(new QLabel(QString::fromLatin1(caption)), name);
    if (buddy) l->setBuddy(buddy);
    return l;
}

// The light green notes on the tabs.
QPlainTextEdit* newnote(const char* name, const QString& text) {
    auto* m = named(new QPlainTextEdit(text), name);
    m->setReadOnly(true);
    m->setFocusPolicy(Qt::NoFocus);
    QPalette p = m->palette();
    p.setColor(QPalette::Base, QColor(0xC0, 0xDC, 0xC0));
    p.setColor(QPalette::Text, Qt::black);
    m->setPalette(p);
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m->setMinimumWidth(160);
    // The notes fill whatever height the fields beside them take.
    m->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    return m;
}

}  // namespace

TForm1::TForm1(RunState& state, Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), state_(state), swallower_(std::make_unique<InputSwallower>()) {
    if (dialogs) {
        dialogs_ = dialogs;
    } else {
        owndialogs_ = std::make_unique<QtDialogs>(this);
        dialogs_ = owndialogs_.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(windowcaption));
    buildcontrols();
    buildmenus();
    connecthandlers();
}

TForm1::~TForm1() = default;

void TForm1::buildcontrols() {
    auto* central = named(new QWidget, "TForm1Client");
    setCentralWidget(central);

    // Source and detector choices on the left.
    GroupBox2 = named(new QGroupBox(QStringLiteral("Source type")), "GroupBox2");
    Cylindrical_source_radiobutton = named(new QRadioButton(QStringLiteral("Cylinder or disc")),
                                           "Cylindrical_source_radiobutton");
    Cuboid_source_radiobutton =
        named(new QRadioButton(QStringLiteral("Cuboid, plane rectangle, or line")),
              "Cuboid_source_radiobutton");
    Point_source_radiobutton =
        named(new QRadioButton(QStringLiteral("Point")), "Point_source_radiobutton");
    Cylindrical_source_radiobutton->setChecked(true);
    auto* sourcebox = new QVBoxLayout(GroupBox2);
    sourcebox->addWidget(Cylindrical_source_radiobutton);
    sourcebox->addWidget(Cuboid_source_radiobutton);
    sourcebox->addWidget(Point_source_radiobutton);

    GroupBox7 = named(new QGroupBox(QStringLiteral("Detector type")), "GroupBox7");
    cylinder_detector_radiobutton =
        named(new QRadioButton(QStringLiteral("Cylinder, or disc window")),
              "cylinder_detector_radiobutton");
    cuboid_detector_radiobutton =
        named(new QRadioButton(QStringLiteral("Cuboid, or rectangular window")),
              "cuboid_detector_radiobutton");
    Spherical_detector_radiobutton =
        named(new QRadioButton(QStringLiteral("Sphere")), "Spherical_detector_radiobutton");
    cylinder_detector_radiobutton->setChecked(true);
    auto* detectorbox = new QVBoxLayout(GroupBox7);
    detectorbox->addWidget(cylinder_detector_radiobutton);
    detectorbox->addWidget(cuboid_detector_radiobutton);
    detectorbox->addWidget(Spherical_detector_radiobutton);

    // A run hides the groups, the tabs and the diagrams; the layout keeps
    // their room so that nothing else moves meanwhile.
    for (QWidget* w : {static_cast<QWidget*>(GroupBox2), static_cast<QWidget*>(GroupBox7)}) {
        QSizePolicy sp = w->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        w->setSizePolicy(sp);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox2);
    left->addSpacing(8);
    left->addWidget(GroupBox7);
    left->addStretch(1);

    // The diagrams share one square area on the right.
    DiagramArea = named(new QWidget, "DiagramArea");
    DiagramArea->setMinimumSize(330, 330);
    DiagramArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* stack = new QGridLayout(DiagramArea);
    stack->setContentsMargins(0, 0, 0, 0);
    auto newdiagram = [&](SourceShape s, DetectorShape d, const char* name) {
        auto* diagram = named(new Diagram(s, d), name);
        stack->addWidget(diagram, 0, 0);
        diagram->hide();
        return diagram;
    };
    Image_cyldet_cylsrc =
        newdiagram(SourceShape::cylinder, DetectorShape::cylinder, "Image_cyldet_cylsrc");
    Image_cyldet_cubsrc =
        newdiagram(SourceShape::cuboid, DetectorShape::cylinder, "Image_cyldet_cubsrc");
    image_cyldet_ptsrc =
        newdiagram(SourceShape::point, DetectorShape::cylinder, "image_cyldet_ptsrc");
    Image_cubdet_cylsrc =
        newdiagram(SourceShape::cylinder, DetectorShape::cuboid, "Image_cubdet_cylsrc");
    Image_cubdet_cubsrc =
        newdiagram(SourceShape::cuboid, DetectorShape::cuboid, "Image_cubdet_cubsrc");
    image_cubdet_ptsrc =
        newdiagram(SourceShape::point, DetectorShape::cuboid, "image_cubdet_ptsrc");
    Image_spherical_det_cylind_scr =
        newdiagram(SourceShape::cylinder, DetectorShape::sphere, "Image_spherical_det_cylind_scr");
    Image_spherical_det_cuboid_src =
        newdiagram(SourceShape::cuboid, DetectorShape::sphere, "Image_spherical_det_cuboid_src");
    Image_spherical_det_point_src =
        newdiagram(SourceShape::point, DetectorShape::sphere, "Image_spherical_det_point_src");
    Image_cyldet_cylsrc->show();

    DiagramTabs = named(new QTabWidget, "DiagramTabs");
    DiagramTabs->addTab(DiagramArea, QStringLiteral("Diagram"));
    DiagramTabs->addTab(buildgeometrytab(), QStringLiteral("Your geometry"));

    auto* top = new QHBoxLayout;
    top->addLayout(left, 0);
    top->addWidget(DiagramTabs, 1);

    // The five tabs.
    PageControl1 = named(new QTabWidget, "PageControl1");
    // Every tab caption stays readable: the window is as wide as the tabs.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->setElideMode(Qt::ElideNone);
    {
        QSizePolicy sp = PageControl1->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        sp.setVerticalPolicy(QSizePolicy::Fixed);
        PageControl1->setSizePolicy(sp);
    }
    PageControl1->addTab(buildsourcetab(), QStringLiteral(" Source dimensions "));
    PageControl1->addTab(builddetectortab(), QStringLiteral(" Detector dimensions  "));
    PageControl1->addTab(builddisplacementtab(), QStringLiteral("Detector-source displacement"));
    PageControl1->addTab(buildrotationtab(), QStringLiteral("Rotation angles"));
    PageControl1->addTab(buildemissionstab(), QStringLiteral("Source emissions"));
    PageControl1->setCurrentWidget(Rot_tilt);

    EstimateButton = named(new QPushButton(QStringLiteral("Start simulation")), "EstimateButton");
    EstimateButton->setToolTip(QStringLiteral("Start calculation"));
    QFont bold = EstimateButton->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    EstimateButton->setFont(bold);
    EstimateButton->setMinimumHeight(EstimateButton->sizeHint().height() + 8);

    auto* main = new QVBoxLayout(central);
    main->setContentsMargins(5, 5, 5, 5);
    main->addLayout(top, 1);
    main->addWidget(PageControl1, 0);
    main->addWidget(EstimateButton, 0);

    // The progress panel floats over the lower part of the diagram area,
    // outside any layout, and is shown only while emissions are simulated.
    Panel1 = named(new QFrame(central), "Panel1");
    static_cast<QFrame*>(Panel1)->setFrameShape(QFrame::Panel);
    static_cast<QFrame*>(Panel1)->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    StaticText1 =
        named(new QLabel(QStringLiteral("Progress bar.  To abort, tap the escape key and wait.")),
              "StaticText1");
    ProgressBar1 = named(new QProgressBar, "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    TimeLeft = named(new QLabel, "TimeLeft");
    // Room for "about 59 min left" from the start, so the bar does not jump.
    TimeLeft->setMinimumWidth(
        TimeLeft->fontMetrics().horizontalAdvance(QStringLiteral("about 59 min 59 s left")));
    TimeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StaticText3 = named(new QLabel(QStringLiteral("   ")), "StaticText3");
    auto* bar = new QHBoxLayout;
    bar->addWidget(ProgressBar1, 1);
    bar->addWidget(TimeLeft, 0);
    auto* panel = new QVBoxLayout(Panel1);
    panel->addWidget(StaticText1);
    panel->addLayout(bar);
    panel->addWidget(StaticText3);
    Panel1->hide();

    ListBox1 = named(new QListWidget(central), "ListBox1");
    ListBox1->hide();
}

// A tab of four labelled fields beside an optional note; the fields listed
// as off start disabled, as the start-up choices want them.
QWidget* TForm1::buildfieldtab(QWidget*& tab, const char* name,
                               std::initializer_list<FieldSpec> fields, QPlainTextEdit* note) {
    tab = named(new QWidget, name);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const FieldSpec& f : fields) {
        *f.edit = newedit(f.editname);
        *f.label = newlabel(f.labelname, f.caption, *f.edit);
        seton(*f.label, *f.edit, f.on);
        grid->addWidget(*f.label, row, 0);
        grid->addWidget(*f.edit, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(grid, note ? 0 : 1);
    if (note) layout->addWidget(note, 1);
    return tab;
}

QWidget* TForm1::buildgeometrytab() {
    GeometryTab = named(new QWidget, "GeometryTab");
    geometryView = new GeometryView;
    showRays = named(new QCheckBox(QStringLiteral("Show rays")), "showRays");
    resetView = named(new QPushButton(QStringLiteral("Reset view")), "resetView");
    resetView->setToolTip(QStringLiteral("The diagrams' view, unzoomed"));
    auto preset = [](const char* name, const char* text, const char* tip) {
        auto* b = named(new QPushButton(QString::fromUtf8(text)), name);
        b->setToolTip(QString::fromUtf8(tip));
        return b;
    };
    viewXd = preset("viewXd", "Xd", "Look along Xd: Yd to the right, Zd up");
    viewYd = preset("viewYd", "Yd", "Look along Yd: Xd to the right, Zd up");
    viewZd = preset("viewZd", "Zd", "Look down Zd from above: Xd to the right, Yd up");
    auto* controls = new QHBoxLayout;
    controls->addWidget(showRays);
    controls->addStretch(1);
    controls->addWidget(new QLabel(QStringLiteral("View along")));
    for (QPushButton* b : {viewXd, viewYd, viewZd}) {
        // As narrow as their two letters allow.
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("Xd")) + 24);
        controls->addWidget(b);
    }
    controls->addSpacing(6);
    controls->addWidget(resetView);
    auto* column = new QVBoxLayout(GeometryTab);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(geometryView, 1);
    column->addLayout(controls);
    return GeometryTab;
}

QWidget* TForm1::buildsourcetab() {
    Memo_A = newnote("Memo_A", memoAtext());
    return buildfieldtab(
        Source, "Source",
        {{&Label_r1, "Label_r1", info(Value::r1).caption, &Inputbox_r1, "Inputbox_r1", true},
         {&Label_a1, "Label_a1", info(Value::a1).caption, &Inputbox_a1, "Inputbox_a1", false},
         {&Label_b1, "Label_b1", info(Value::b1).caption, &Inputbox_b1, "Inputbox_b1", false},
         {&Label_t1, "Label_t1", info(Value::t1).caption, &Inputbox_t1, "Inputbox_t1", true}},
        Memo_A);
}

QWidget* TForm1::builddetectortab() {
    Memo3 = newnote("Memo3", memo3text());
    return buildfieldtab(
        Detector, "Detector",
        {{&Label_r2, "Label_r2", info(Value::r2).caption, &Inputbox_r2, "Inputbox_r2", true},
         {&Label_a2, "Label_a2", info(Value::a2).caption, &Inputbox_a2, "Inputbox_a2", false},
         {&Label_b2, "Label_b2", info(Value::b2).caption, &Inputbox_b2, "Inputbox_b2", false},
         {&Label_h, "Label_h", info(Value::t2).caption, &Inputbox_h, "Inputbox_h", true}},
        Memo3);
}

QWidget* TForm1::builddisplacementtab() {
    return buildfieldtab(
        Axial_disp, "Axial_disp",
        {{&Label_d, "Label_d", info(Value::d).caption, &Inputbox_d, "Inputbox_d", true},
         {&Label_a3, "Label_a3", info(Value::a3).caption, &Inputbox_a3, "Inputbox_a3", false},
         {&Label_b3, "Label_b3", info(Value::b3).caption, &inputbox_b3, "inputbox_b3", false},
         {&Label_c, "Label_c", info(Value::c).caption, &Inputbox_c, "Inputbox_c", true}},
        nullptr);
}

QWidget* TForm1::buildrotationtab() {
    Rot_tilt = named(new QWidget, "Rot_tilt");
    inputbox_rot_x3 = newedit("inputbox_rot_x3");
    Inputbox_rot_y2 = newedit("Inputbox_rot_y2");
    Inputbox_rot_z0 = newedit("Inputbox_rot_z0");
    for (QLineEdit* e : {inputbox_rot_x3, Inputbox_rot_y2, Inputbox_rot_z0})
        e->setText(QStringLiteral("0"));
    Label_rot_x3 = newlabel("Label_rot_x3", info(Value::rotx).caption, inputbox_rot_x3);
    Label_rot_y2 = newlabel("Label_rot_y2", info(Value::roty).caption, Inputbox_rot_y2);
    Label_rot_z0 = newlabel("Label_rot_z0", info(Value::rotz).caption, Inputbox_rot_z0);
    // The sense of the angles, as korvex-batch --help and the manual pages give it.
    const QString sense =
        QString::fromUtf8(rotationsense) + QLatin1Char('\n') + QString::fromUtf8(rotationexample);
    for (QWidget* w :
         std::initializer_list<QWidget*>{inputbox_rot_x3, Inputbox_rot_y2, Inputbox_rot_z0,
                                         Label_rot_x3, Label_rot_y2, Label_rot_z0})
        w->setToolTip(sense);
    Label2 = newlabel("Label2", "Degrees");
    Memo2 = newnote("Memo2", memo2lines().join(QLatin1Char('\n')));
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* grid = new QGridLayout;
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(Label_rot_x3, 1, 0);
    grid->addWidget(inputbox_rot_x3, 1, 1);
    grid->addWidget(Label_rot_y2, 2, 0);
    grid->addWidget(Inputbox_rot_y2, 2, 1);
    grid->addWidget(Label_rot_z0, 3, 0);
    grid->addWidget(Inputbox_rot_z0, 3, 1);
    grid->setRowStretch(4, 1);

    auto* row = new QHBoxLayout(Rot_tilt);
    row->addLayout(grid, 0);
    row->addWidget(Memo2, 1);
    return Rot_tilt;
}

QWidget* TForm1::buildemissionstab() {
    emissions = named(new QWidget, "emissions");
    GroupBox5 = named(new QGroupBox(QStringLiteral("2 or 4 pi source")), "GroupBox5");
    twopiradiobutton = named(new QRadioButton(QStringLiteral("2 pi source")), "twopiradiobutton");
    fourpiradiobutton = named(new QRadioButton(QStringLiteral("4 pi source")), "fourpiradiobutton");
    fourpiradiobutton->setChecked(true);
    auto* pi = new QVBoxLayout(GroupBox5);
    pi->addWidget(twopiradiobutton);
    pi->addWidget(fourpiradiobutton);
    pi->addStretch(1);

    GroupBox6 = named(new QGroupBox(QStringLiteral("Emissions")), "GroupBox6");
    inputbox_endcount = newedit("inputbox_endcount");
    inputbox_endcount->setText(QStringLiteral("1E7"));
    Label_endcount =
        newlabel("Label_endcount", "If 2 pi source, number of emissions from front face");
    Label1 = newlabel("Label1", "If 4 pi source, number of emissions from source");
    // Shown only while the integral method is chosen; its room is kept so
    // that the tab does not change height with the choice.
    Label_countnote =
        named(new QLabel(QStringLiteral("Not used by the integral method")), "Label_countnote");
    Label_countnote->setToolTip(QString::fromLatin1(countnotused));
    {
        QSizePolicy sp = Label_countnote->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        Label_countnote->setSizePolicy(sp);
    }
    Label_countnote->hide();
    auto* counts = new QGridLayout(GroupBox6);
    counts->addWidget(Label_endcount, 0, 0);
    counts->addWidget(Label1, 1, 0);
    counts->addWidget(inputbox_endcount, 0, 1, 2, 1, Qt::AlignVCenter);
    counts->addWidget(Label_countnote, 2, 0, 1, 2);
    counts->setColumnStretch(0, 1);

    // The method: emissions (the default) or the integral with its target.
    GroupBox8 = named(new QGroupBox(QStringLiteral("Method")), "GroupBox8");
    emissionsmethodradiobutton = named(new QRadioButton(QStringLiteral("Monte Carlo emissions")),
                                       "emissionsmethodradiobutton");
    integralmethodradiobutton =
        named(new QRadioButton(QStringLiteral("Integral")), "integralmethodradiobutton");
    emissionsmethodradiobutton->setChecked(true);
    emissionsmethodradiobutton->setToolTip(QString::fromLatin1(emissionsmethodtip));
    integralmethodradiobutton->setToolTip(QString::fromLatin1(integralmethodtip));
    inputbox_target = newedit("inputbox_target");
    inputbox_target->setText(QStringLiteral("1E-6"));
    Label_target = newlabel("Label_target", "Target error", inputbox_target);
    for (QWidget* w : {static_cast<QWidget*>(inputbox_target), static_cast<QWidget*>(Label_target)})
        w->setToolTip(QString::fromLatin1(targettip));
    auto* method = new QGridLayout(GroupBox8);
    method->addWidget(emissionsmethodradiobutton, 0, 0, 1, 2);
    method->addWidget(integralmethodradiobutton, 1, 0, 1, 2);
    method->addWidget(Label_target, 2, 0);
    method->addWidget(inputbox_target, 2, 1);
    method->setRowStretch(3, 1);

    auto* row = new QHBoxLayout(emissions);
    row->addWidget(GroupBox5, 0);
    row->addWidget(GroupBox8, 0);
    row->addWidget(GroupBox6, 1);
    setmethodfields();
    return emissions;
}

void TForm1::buildmenus() {
    auto* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    Opendataset1 = named(file->addAction(QStringLiteral("&Open dataset…")), "Opendataset1");
    Saveinputsasdataset1 =
        named(file->addAction(QStringLiteral("Save inputs as &dataset…")), "Saveinputsasdataset1");
    file->addSeparator();
    ExitButton = named(file->addAction(QStringLiteral("&Exit")), "ExitButton");
    QMenu* data = bar->addMenu(QStringLiteral("&Data"));
    Showlastresults1 =
        named(data->addAction(QStringLiteral("&Show last results")), "Showlastresults1");
    ClearButton = named(data->addAction(QStringLiteral("&Clear input data")), "ClearButton");
    Datareadfromandwrittentofile1 =
        named(data->addAction(QStringLiteral("Data read from and written to file")),
              "Datareadfromandwrittentofile1");
    data->addSeparator();
    Seedforthenextrun1 =
        named(data->addAction(QStringLiteral("Seed for the &next run…")), "Seedforthenextrun1");
    QMenu* about = bar->addMenu(QStringLiteral("&About"));
    About = named(about->addAction(QStringLiteral("About")), "About");
}

void TForm1::connecthandlers() {
    connect(Cylindrical_source_radiobutton, &QRadioButton::clicked, this,
            &TForm1::Cylindrical_source_radiobuttonClick);
    connect(Cuboid_source_radiobutton, &QRadioButton::clicked, this,
            &TForm1::Cuboid_source_radiobuttonClick);
    connect(Point_source_radiobutton, &QRadioButton::clicked, this,
            &TForm1::Point_source_radiobuttonClick);
    connect(cylinder_detector_radiobutton, &QRadioButton::clicked, this,
            &TForm1::cylinder_detector_radiobuttonClick);
    connect(cuboid_detector_radiobutton, &QRadioButton::clicked, this,
            &TForm1::cuboid_detector_radiobuttonClick);
    connect(Spherical_detector_radiobutton, &QRadioButton::clicked, this,
            &TForm1::Spherical_detector_radiobuttonClick);
    connect(twopiradiobutton, &QRadioButton::clicked, this, &TForm1::twopiradiobuttonClick);
    connect(fourpiradiobutton, &QRadioButton::clicked, this, &TForm1::fourpiradiobuttonClick);
    for (QRadioButton* b : {emissionsmethodradiobutton, integralmethodradiobutton})
        connect(b, &QRadioButton::toggled, this, &TForm1::methodradiobuttonClick);

    connect(EstimateButton, &QPushButton::clicked, this,
            [this] { EstimateButtonClick(EstimateButton); });
    connect(Datareadfromandwrittentofile1, &QAction::triggered, this,
            [this] { EstimateButtonClick(Datareadfromandwrittentofile1); });
    connect(Showlastresults1, &QAction::triggered, this, &TForm1::Showlastresults1Click);
    connect(ClearButton, &QAction::triggered, this, &TForm1::ClearButtonClick);
    connect(About, &QAction::triggered, this, &TForm1::AboutClick);
    connect(ExitButton, &QAction::triggered, this, &TForm1::ExitButtonClick);
    connect(Opendataset1, &QAction::triggered, this, &TForm1::Opendataset1Click);
    connect(Saveinputsasdataset1, &QAction::triggered, this, &TForm1::Saveinputsasdataset1Click);
    connect(Seedforthenextrun1, &QAction::triggered, this, &TForm1::Seedforthenextrun1Click);

    // The geometry view follows every field and, after the handlers above
    // have set the flags, every choice.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        connect(e, &QLineEdit::textChanged, this, &TForm1::updategeometryview);
    for (QRadioButton* b : findChildren<QRadioButton*>())
        connect(b, &QRadioButton::clicked, this, &TForm1::updategeometryview);
    connect(showRays, &QCheckBox::toggled, geometryView, &GeometryView::setrays);
    connect(resetView, &QPushButton::clicked, geometryView, &GeometryView::resetview);
    connect(viewXd, &QPushButton::clicked, geometryView,
            [this] { geometryView->setview(alongxd); });
    connect(viewYd, &QPushButton::clicked, geometryView,
            [this] { geometryView->setview(alongyd); });
    connect(viewZd, &QPushButton::clicked, geometryView,
            [this] { geometryView->setview(alongzd); });
    updategeometryview();
}

void TForm1::updategeometryview() {
    const FieldsGeometry read = readgeometry(*this, state_.flags);
    if (read.prm) {
        geometryView->showgeometry(*read.prm, read.flags);
    } else {
        geometryView->showproblem(QString::fromStdString(read.problem));
    }
}

}  // namespace korvex

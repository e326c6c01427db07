// Writes the pictures of docs/: the window for each source and detector
// pair, the progress panel, the results dialog, the menus, the dataset list,
// the geometry view's presets and a korvex-draw sweep at one scale. Run it
// under a display (xvfb-run -a -s "-screen 0 1280x1024x24") with the output
// folder as its argument.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "io/datasettext.h"
#include "ui/form1.h"
#include "ui/geometryview.h"
#include "ui/resultsdialog.h"
#include "ui/texts.h"

namespace {

// The pictures need no dialogs apart from the results dialog, grabbed on its own.
class Silent : public korvex::Dialogs {
public:
    void message(korvex::MessageKind, const QString&) override {}
    bool confirm(korvex::ConfirmKind, const QString&) override { return false; }
    std::optional<QString> opendatafile() override { return std::nullopt; }
    std::optional<QString> saveresultsfile() override { return std::nullopt; }
    std::optional<QString> savereportfile(bool) override { return std::nullopt; }
    std::optional<QString> savedatasetfile() override { return std::nullopt; }
    std::optional<int> choosedataset(const QStringList&) override { return std::nullopt; }
    std::optional<std::uint32_t> askseed() override { return std::nullopt; }
    korvex::ResultsChoice results(const QString&, const QString&) override {
        return korvex::ResultsChoice::finish;
    }
    QStringList printers() override { return {}; }
    bool printsetup(QPrinter&) override { return false; }
};

void save(QWidget* w, const QString& path) {
    QApplication::processEvents();
    if (!w->grab().save(path)) qFatal("cannot write %s", qPrintable(path));
}

// The window with one of its menus open, from the screen (a menu is a window
// of its own).
void savemenu(korvex::TForm1& form, int index, const QString& path) {
    QMenu* menu = form.menuBar()->actions()[index]->menu();
    const QRect item = form.menuBar()->actionGeometry(form.menuBar()->actions()[index]);
    menu->popup(form.menuBar()->mapToGlobal(item.bottomLeft()));
    QApplication::processEvents();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    const QRect both = form.frameGeometry().united(menu->geometry());
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, both.x(), both.y(), std::min(both.width(), form.width() * 2 / 3), both.height() / 2);
    if (!shot.save(path)) qFatal("cannot write %s", qPrintable(path));
    menu->hide();
}

// Pictures side by side on white, a gap between them.
QImage sidebyside(const QList<QImage>& pictures) {
    int width = 0, height = 0;
    for (const QImage& p : pictures) {
        width += p.width() + 8;
        height = std::max(height, p.height());
    }
    QImage out(width - 8, height, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    int x = 0;
    for (const QImage& p : pictures) {
        painter.drawImage(x, 0, p);
        x += p.width() + 8;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Korvex"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    korvex::RunState state;
    state.flags.showabout = false;
    Silent silent;
    korvex::TForm1 form(state, &silent);
    form.show();
    QApplication::processEvents();

    const std::pair<QRadioButton*, const char*> sources[] = {
        {form.Cylindrical_source_radiobutton, "cylsrc"},
        {form.Cuboid_source_radiobutton, "cubsrc"},
        {form.Point_source_radiobutton, "ptsrc"}};
    const std::pair<QRadioButton*, const char*> detectors[] = {
        {form.cylinder_detector_radiobutton, "cyldet"},
        {form.cuboid_detector_radiobutton, "cubdet"},
        {form.Spherical_detector_radiobutton, "sphdet"}};
    const QList<QWidget*> tabs = {form.Source,   form.Detector,   form.Axial_disp,
                                  form.Source,   form.Rot_tilt,   form.emissions,
                                  form.Detector, form.Axial_disp, form.Source};
    int n = 0;
    for (auto [det, detname] : detectors) {
        for (auto [src, srcname] : sources) {
            det->click();
            src->click();
            form.PageControl1->setCurrentWidget(tabs[n++]);
            save(&form, out.filePath(QStringLiteral("window-%1-%2.png")
                                         .arg(QLatin1String(detname), QLatin1String(srcname))));
        }
    }

    // A typical geometry typed in: a disc of radius 2.5, 10 above a cylinder
    // of radius 3 and thickness 5, 1 to the side.
    form.Cylindrical_source_radiobutton->click();
    form.cylinder_detector_radiobutton->click();
    form.Inputbox_r1->setText(QStringLiteral("2.5"));
    form.Inputbox_t1->setText(QStringLiteral("0"));
    form.Inputbox_r2->setText(QStringLiteral("3"));
    form.Inputbox_h->setText(QStringLiteral("5"));
    form.Inputbox_d->setText(QStringLiteral("1"));
    form.Inputbox_c->setText(QStringLiteral("10"));
    form.PageControl1->setCurrentWidget(form.Source);
    save(&form, out.filePath(QStringLiteral("window-cyldet-cylsrc.png")));

    // The emissions tab with the integral method chosen: the count is off,
    // the target error on.
    form.integralmethodradiobutton->click();
    form.PageControl1->setCurrentWidget(form.emissions);
    save(&form, out.filePath(QStringLiteral("window-integral.png")));
    form.emissionsmethodradiobutton->click();
    form.PageControl1->setCurrentWidget(form.Source);

    // The progress panel as a run shows it.
    // A run of ten million emissions, 37% done after a little more than half a
    // second.
    korvex::RunParameters running;
    running.emissions = 1e7;
    form.loopstarting(" ", running, state.flags);
    QThread::msleep(600);
    korvex::RunTallies sofar;
    for (int i = 0; i < 37; ++i) {
        sofar.emitted = (i + 1) * 1e5;
        form.progressstep(sofar);
    }
    save(&form, out.filePath(QStringLiteral("window-running.png")));
    form.loopfinished();

    // The results dialog of that geometry, from a real run of 10^7 emissions.
    form.EstimateButton->click();
    const std::string report = state.report.lastresults;
    const QString seed = QStringLiteral("Seed of this run: %1").arg(*form.reportseed());
    korvex::ResultsDialog dialog(korvex::displaytext(report + "\r\r"), seed, &form);
    dialog.show();
    save(&dialog, out.filePath(QStringLiteral("results.png")));
    dialog.hide();

    // The README's rotation example: a disc 10 to the side of the cylinder's
    // axis, level with its middle, its front face turned towards it.
    form.Inputbox_r1->setText(QStringLiteral("1"));
    form.Inputbox_d->setText(QStringLiteral("10"));
    form.Inputbox_c->setText(QStringLiteral("-2.5"));
    form.Inputbox_rot_y2->setText(QStringLiteral("-90"));
    form.twopiradiobutton->click();
    form.PageControl1->setCurrentWidget(form.Rot_tilt);
    save(&form, out.filePath(QStringLiteral("window-rotation.png")));
    form.DiagramTabs->setCurrentWidget(form.GeometryTab);
    save(&form, out.filePath(QStringLiteral("geometry-rotation.png")));
    form.DiagramTabs->setCurrentIndex(0);
    form.EstimateButton->click();
    korvex::ResultsDialog rotated(korvex::displaytext(state.report.lastresults + "\r\r"),
                                  QStringLiteral("Seed of this run: %1").arg(*form.reportseed()),
                                  &form);
    rotated.show();
    save(&rotated, out.filePath(QStringLiteral("results-rotation.png")));
    rotated.hide();
    form.fourpiradiobutton->click();

    // The geometry view for each detector kind with a turned source, and
    // one with sample rays.
    struct Typed {
        QLineEdit* edit;
        const char* text;
    };
    auto type = [&](std::initializer_list<Typed> values) {
        for (const Typed& v : values) v.edit->setText(QString::fromLatin1(v.text));
    };
    auto angles = [&](const char* x, const char* y, const char* z) {
        type({{form.inputbox_rot_x3, x}, {form.Inputbox_rot_y2, y}, {form.Inputbox_rot_z0, z}});
    };
    form.DiagramTabs->setCurrentWidget(form.GeometryTab);
    form.PageControl1->setCurrentWidget(form.Rot_tilt);

    // A turned disc over a cylinder.
    auto turneddisc = [&] {
        form.Cylindrical_source_radiobutton->click();
        form.cylinder_detector_radiobutton->click();
        type({{form.Inputbox_r1, "1.5"},
              {form.Inputbox_t1, "0.5"},
              {form.Inputbox_r2, "2"},
              {form.Inputbox_h, "3"},
              {form.Inputbox_d, "3.5"},
              {form.Inputbox_c, "3"}});
        angles("0", "-40", "30");
    };
    turneddisc();
    save(&form, out.filePath(QStringLiteral("geometry-cyldet.png")));

    form.Cuboid_source_radiobutton->click();
    form.cuboid_detector_radiobutton->click();
    type({{form.Inputbox_a1, "3"},
          {form.Inputbox_b1, "1.5"},
          {form.Inputbox_t1, "0.4"},
          {form.Inputbox_a2, "4"},
          {form.Inputbox_b2, "3"},
          {form.Inputbox_h, "2"},
          {form.Inputbox_a3, "2"},
          {form.inputbox_b3, "1"},
          {form.Inputbox_c, "3"}});
    angles("30", "20", "-45");
    save(&form, out.filePath(QStringLiteral("geometry-cubdet.png")));

    // A disc beside a sphere, turned a quarter about Y' so that its front
    // face looks at the sphere.
    form.Cylindrical_source_radiobutton->click();
    form.Spherical_detector_radiobutton->click();
    type({{form.Inputbox_r1, "1"},
          {form.Inputbox_t1, "0"},
          {form.Inputbox_r2, "1.5"},
          {form.Inputbox_d, "3"},
          {form.Inputbox_c, "1"}});
    angles("0", "-90", "0");
    save(&form, out.filePath(QStringLiteral("geometry-sphdet.png")));

    form.twopiradiobutton->click();
    form.showRays->setChecked(true);
    save(&form, out.filePath(QStringLiteral("geometry-rays.png")));
    form.showRays->setChecked(false);
    form.fourpiradiobutton->click();

    // The views along Xd, Yd and Zd of a turned disc over a cylinder.
    turneddisc();
    QList<QImage> views;
    for (QPushButton* b : {form.viewXd, form.viewYd, form.viewZd}) {
        b->click();
        QApplication::processEvents();
        views << form.GeometryTab->grab().toImage();
    }
    if (!sidebyside(views).save(out.filePath(QStringLiteral("geometry-presets.png"))))
        qFatal("cannot write the presets");
    form.viewYd->click();
    save(&form, out.filePath(QStringLiteral("window-view-along-yd.png")));
    form.resetView->click();

    // The menus, and the list of a data file's datasets.
    form.DiagramTabs->setCurrentIndex(0);
    savemenu(form, 0, out.filePath(QStringLiteral("window-menu-file.png")));
    savemenu(form, 1, out.filePath(QStringLiteral("window-menu-data.png")));
    std::vector<korvex::FileDataset> datasets;
    std::string error;
    if (!korvex::readdatasets(EXAMPLES_DIR "/datasets.txt", datasets, error))
        qFatal("%s", error.c_str());
    QStringList items;
    for (const korvex::FileDataset& d : datasets)
        items << QStringLiteral("Dataset %1: %2")
                     .arg(d.number)
                     .arg(QString::fromStdString(korvex::datasetsummary(d.prm, d.flags)));
    korvex::QtDialogs real(&form);
    QTimer::singleShot(300, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) qFatal("no dataset list");
        save(dialog, out.filePath(QStringLiteral("open-dataset.png")));
        dialog->close();
    });
    real.choosedataset(items);

#ifdef KORVEX_DRAW
    // korvex-draw's pictures of a distance sweep, drawn at one scale.
    QTemporaryDir sweep;
    QProcess draw;
    draw.start(QStringLiteral(KORVEX_DRAW),
               {"--scale", "6", "--size", "300x480", EXAMPLES_DIR "/sweep.txt", sweep.path()});
    if (!draw.waitForFinished(60000) || draw.exitCode() != 0) qFatal("korvex-draw failed");
    QList<QImage> drawn;
    for (int n = 1; n <= 3; ++n)
        drawn << QImage(QDir(sweep.path()).filePath(QStringLiteral("dataset-%1.png").arg(n)));
    if (!sidebyside(drawn).save(out.filePath(QStringLiteral("draw-sweep.png"))))
        qFatal("cannot write the sweep");
#endif
    return 0;
}

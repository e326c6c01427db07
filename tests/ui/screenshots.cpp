// Writes the pictures of docs/: the window for each source and detector
// pair, the progress panel and the results dialog. Run it under a display
// (xvfb-run -a -s "-screen 0 1280x1024x24") with the output folder as its
// argument.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

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

    // The progress panel as a run shows it.
    form.loopstarting(" ", {}, state.flags);
    for (int i = 0; i < 37; ++i) form.progressstep({});
    save(&form, out.filePath(QStringLiteral("window-running.png")));
    form.loopfinished();

    // The results dialog of that geometry, from a real run of 10^7 emissions.
    form.EstimateButton->click();
    const std::string report = state.report.lastresults;
    korvex::ResultsDialog dialog(korvex::displaytext(report + "\r\r"), &form);
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
    korvex::ResultsDialog rotated(korvex::displaytext(state.report.lastresults + "\r\r"), &form);
    rotated.show();
    save(&rotated, out.filePath(QStringLiteral("results-rotation.png")));
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

    form.Cylindrical_source_radiobutton->click();
    form.cylinder_detector_radiobutton->click();
    type({{form.Inputbox_r1, "1.5"},
          {form.Inputbox_t1, "0.5"},
          {form.Inputbox_r2, "2"},
          {form.Inputbox_h, "3"},
          {form.Inputbox_d, "3.5"},
          {form.Inputbox_c, "3"}});
    angles("0", "-40", "30");
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
    return 0;
}

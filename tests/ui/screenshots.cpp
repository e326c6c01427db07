// Writes the pictures of docs/: the window for each source and detector
// pair, the progress panel and the results dialog. Run it under a display
// (xvfb-run -a -s "-screen 0 1280x1024x24") with the output folder as its
// argument.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "ui/form1.h"
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
    std::optional<QString> savereportfile() override { return std::nullopt; }
    korvex::ResultsChoice results(const QString&) override { return korvex::ResultsChoice::finish; }
    QStringList printers() override { return {}; }
    bool printsetup(QPrinter&) override { return false; }
};

void save(QWidget* w, const QString& path)
{
    QApplication::processEvents();
    if (!w->grab().save(path))
        qFatal("cannot write %s", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv)
{
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
    const QList<QWidget*> tabs = {form.Source, form.Detector, form.Axial_disp, form.Source, form.Rot_tilt,
                                  form.emissions, form.Detector, form.Axial_disp, form.Source};
    int n = 0;
    for (auto [det, detname] : detectors) {
        for (auto [src, srcname] : sources) {
            det->click();
            src->click();
            form.PageControl1->setCurrentWidget(tabs[n++]);
            save(&form, out.filePath(QStringLiteral("window-%1-%2.png").arg(QLatin1String(detname),
                                                                            QLatin1String(srcname))));
        }
    }

    // The progress panel as a run shows it.
    form.Cylindrical_source_radiobutton->click();
    form.cylinder_detector_radiobutton->click();
    form.loopstarting(" ", {}, state.flags);
    for (int i = 0; i < 37; ++i)
        form.progressstep({});
    save(&form, out.filePath(QStringLiteral("window-running.png")));
    form.loopfinished();

    // The results dialog of a typical run.
    const std::string report =
        "Input data from screen\r\nCircular face source, r1 = 2.5\r\nSource thickness, t1 = 0\r\n"
        "4 pi source\r\nCylindrical detector, radius r2 = 3\r\nCylinder thickness t2 = 5\r\n"
        "Axis separation, d = 1\r\nSource-detector vertical separation, c = 10\r\nSource not rotated\r\n"
        "\r\nResults:\r\nEmissions from source = 10000000 (1.0E+7)\r\n"
        "Number of emissions passing through cylinder = 189624\r\n"
        "% of 4 pi emissions passing through detector volume = 1.8962\r\n"
        "Number of hits on cylinder walls (including ends) = 197262\r\n"
        "This was made up of: \r\n7638 hits on the cylinder sides,\r\n"
        "189624 hits on top end of cylinder, and \r\n0 hits on the bottom end.\r\n"
        "Mean path length through cylinder = 4.9312410 +/- 0.0372563\r\n"
        "\r\nAverage solid angle = 0.2382903 +/- 0.0018003 steradians\r\n"
        "[Estimated error at 99.9% confidence interval = 0.756%]\r\n"
        "\r\nProcessing time = 0.912 s\r\n\r\n";
    korvex::ResultsDialog dialog(korvex::displaytext(report + "\r\r"), &form);
    dialog.show();
    save(&dialog, out.filePath(QStringLiteral("results.png")));
    return 0;
}

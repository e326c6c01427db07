// The run from the window: the input checks and questions, a screen run to
// the results dialog, the progress panel, and the Escape poll.
#include <time.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cmath>
#include <functional>

#include "ui/form1.h"
#include "ui/texts.h"
#include "uitesting.h"

using namespace korvex;

namespace {

using Setup = std::function<void(TForm1&)>;

// A valid disc source over a cylinder detector.
void fillvalid(TForm1& form, const char* count = "150") {
    form.Inputbox_r1->setText("1");
    form.Inputbox_t1->setText("0");
    form.Inputbox_r2->setText("2");
    form.Inputbox_h->setText("1");
    form.Inputbox_d->setText("0");
    form.Inputbox_c->setText("1");
    form.inputbox_endcount->setText(count);
}

void chooseintegral(TForm1& form, const char* target = "1E-6") {
    form.integralmethodradiobutton->click();
    form.inputbox_target->setText(target);
}

// Notes the processor time the process spends while the question is open.
struct SlowToAnswer : ScriptedDialogs {
    bool confirm(ConfirmKind kind, const QString& text) override {
        const auto cpu = [] {
            timespec ts{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
            return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
        };
        QThread::msleep(100);  // the threads' current blocks end
        const double before = cpu();
        QThread::msleep(400);
        questioncpu = cpu() - before;
        return ScriptedDialogs::confirm(kind, text);
    }
    double questioncpu = -1;
};

// Counts the integral method's refinements.
class CountingForm : public TForm1 {
public:
    using TForm1::TForm1;
    void integralprogress(double share, double omega) override {
        ++refinements;
        TForm1::integralprogress(share, omega);
    }
    int refinements = 0;
};

// Fires during the run's first poll: while the progress panel is up, the
// action runs once (it sees the window as the user would).
class DuringLoop : public QObject {
public:
    DuringLoop(TForm1& form, std::function<void()> action)
        : form_(form), action_(std::move(action)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (!done_ && !form_.Panel1->isHidden()) {
                done_ = true;
                action_();
            }
        });
        timer_.start(0);
    }
    bool done() const { return done_; }

private:
    TForm1& form_;
    std::function<void()> action_;
    QTimer timer_;
    bool done_ = false;
};

// A report without its processing time, the one line a repeated run changes.
QString withouttime(const QString& report) {
    static const QRegularExpression time(QStringLiteral("Processing time = [^\n]*"));
    return QString(report).remove(time);
}

std::uint32_t shownseed(const QString& text) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^Seed of this run: (\\d+)$")).match(text);
    return m.hasMatch() ? m.captured(1).toUInt() : 0;
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void rejectedInput_data();
    void rejectedInput();
    void twoPiQuestion_data();
    void twoPiQuestion();
    void screenRunShowsResults();
    void screenRunWithRealDialogs();
    void escapeAnsweredYesAborts();
    void escapeAnsweredNoLetsItFinish();
    void escapeStopsARunSplitOverThreads();
    void inputDuringTheLoopIsSwallowed();
    void seedShownAndRunRepeated();
    void integralRunOfAPointIsExact();
    void escapeAbortsAnIntegralRun();
    void savedOpenedAndRunGivesTheSameReport();
    void timeLeftOnALongRun();
};

void RunTest::rejectedInput_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const int warning = int(MessageKind::warning), plain = int(MessageKind::plain);

    QTest::newRow("empty t1") << Setup([](TForm1& f) { f.Inputbox_t1->clear(); }) << warning
                              << "Invalid data in source thickness, t1";
    QTest::newRow("comma") << Setup([](TForm1& f) { f.Inputbox_c->setText("12,5"); }) << warning
                           << "Invalid data in displacement, c";
    QTest::newRow("negative r1") << Setup([](TForm1& f) { f.Inputbox_r1->setText("-1E-9"); })
                                 << warning << "Invalid data in source radius, r1";
    QTest::newRow("zero r2") << Setup([](TForm1& f) { f.Inputbox_r2->setText("0"); }) << plain
                             << "r2 cannot be zero";
    QTest::newRow("zero r2 of a sphere") << Setup([](TForm1& f) {
        f.Spherical_detector_radiobutton->click();
        f.Inputbox_r2->setText("0");
    }) << plain << "r2 cannot be zero";
    QTest::newRow("zero face") << Setup([](TForm1& f) {
        f.cuboid_detector_radiobutton->click();
        f.Inputbox_h->setText("0");
        f.Inputbox_a2->setText("3");
        f.Inputbox_b2->setText("0");
        f.Inputbox_a3->setText("0");
        f.inputbox_b3->setText("0");
    }) << plain << "Detector face dimensions cannot be zero";
    QTest::newRow("no digit") << Setup([](TForm1& f) { f.Inputbox_r1->setText("."); }) << warning
                              << "Invalid data in source radius, r1";
    QTest::newRow("length out of range")
        << Setup([](TForm1& f) { f.Inputbox_r2->setText("1E9"); }) << plain
        << "Length out of range: r2 = 1000000000; a length must be 0 or of size 1E-6 to 1E8";
    QTest::newRow("count below 1") << Setup([](TForm1& f) { f.inputbox_endcount->setText("0.5"); })
                                   << plain << "Invalid value for number of emissions";
    QTest::newRow("empty angle") << Setup([](TForm1& f) { f.Inputbox_rot_y2->clear(); }) << warning
                                 << "Invalid data in Rotation ccw about Y' ";
    // The target error, read only for the integral method, as korvex-batch's
    // --error takes it.
    QTest::newRow("target not a number")
        << Setup([](TForm1& f) { chooseintegral(f, "1E-6x"); }) << warning << targetinvalid;
    QTest::newRow("target too small")
        << Setup([](TForm1& f) { chooseintegral(f, "9.9E-13"); }) << plain << targetoutofrange;
    QTest::newRow("target too large")
        << Setup([](TForm1& f) { chooseintegral(f, "0.11"); }) << plain << targetoutofrange;
    QTest::newRow("point after Clear") << Setup([](TForm1& f) {
        f.Point_source_radiobutton->click();
        f.ClearButton->trigger();
        fillvalid(f);
        f.Inputbox_r1->clear();
        f.Inputbox_t1->clear();
    }) << warning << "Invalid data in source radius, r1";
}

void RunTest::rejectedInput() {
    QFETCH(Setup, setup);
    QFETCH(int, kind);
    QFETCH(QString, text);

    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form);
    setup(form);

    form.EstimateButton->click();

    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(int(dialogs.messages[0].kind), kind);
    QCOMPARE(dialogs.messages[0].text, text);
    QVERIFY(dialogs.resultstexts.isEmpty());
    QCOMPARE(form.lastrun().outcome, RunOutcome::rejected);
    QCOMPARE(state.report.lastresults, std::string("No results"));
    QVERIFY(form.EstimateButton->isEnabled());
    QVERIFY(form.Panel1->isHidden());
    QVERIFY(!QApplication::overrideCursor());
}

void RunTest::twoPiQuestion_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("shown");

    QTest::newRow("thick source") << Setup([](TForm1& f) {
        fillvalid(f);
        f.Inputbox_t1->setText("0.5");
    }) << "You are setting a thick source as 2 pi.\nThey are normally modelled as 4 pi."
                                  << "\n2 pi source\n";
    QTest::newRow("point source") << Setup([](TForm1& f) {
        f.Point_source_radiobutton->click();
        fillvalid(f);
        f.Inputbox_r1->setText("0");
        f.Inputbox_t1->setText("0");
    }) << "You are setting a point source as 2 pi.\nThey are normally modelled as 4 pi."
                                  << "Point source\n2 pi source\n";
}

// Cancel stops the run before it starts; Yes runs it as 2 pi.
void RunTest::twoPiQuestion() {
    QFETCH(Setup, setup);
    QFETCH(QString, question);
    QFETCH(QString, shown);
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    setup(form);
    form.twopiradiobutton->click();

    dialogs.answers = {false};
    form.EstimateButton->click();
    QCOMPARE(dialogs.questions, QStringList{question});
    QCOMPARE(form.lastrun().outcome, RunOutcome::rejected);
    QVERIFY(dialogs.resultstexts.isEmpty());

    dialogs.answers = {true};
    form.EstimateButton->click();
    QCOMPARE(dialogs.questions, QStringList({question, question}));
    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    QCOMPARE(dialogs.resultstexts.size(), 1);
    QVERIFY(dialogs.resultstexts[0].contains(shown));
}

void RunTest::screenRunShowsResults() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form, "150");

    form.EstimateButton->click();

    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    QCOMPARE(dialogs.resultstexts.size(), 1);
    const QString shown = dialogs.resultstexts[0];
    QVERIFY(shown.startsWith("Input data from screen\nCircular face source, r1 = 1\n"));
    QVERIFY(shown.contains("\nEmissions from source = 150 (1.5E+2)\n"));
    // The dialog shows the report with its line breaks and two more.
    QVERIFY(shown.endsWith(" s\n\n\n\n"));
    QCOMPARE(shown,
             QString::fromStdString(state.report.lastresults).replace("\r\n", "\n") + "\n\n");
    // 150 emissions step the bar every 2: it stops at 75.
    QCOMPARE(form.ProgressBar1->value(), 75);
    QVERIFY(form.Panel1->isHidden());
    QVERIFY(form.EstimateButton->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(dialogs.messages.isEmpty());
}

void RunTest::screenRunWithRealDialogs() {
    RunState state;
    state.flags.showabout = false;
    TForm1 form(state);
    form.show();
    fillvalid(form, "100");
    QString title, text;
    QStringList buttons;
    ModalScript script({[&](QWidget* w) {
        title = w->windowTitle();
        buttons = buttontexts(w);
        text = w->findChild<QLabel*>("ResultsText")->text();
        clickbutton(w, "Finish");
    }});
    form.EstimateButton->click();
    QVERIFY(script.done());
    QCOMPARE(title, QStringLiteral("Results"));
    QCOMPARE(buttons, QStringList({"Save", "Print", "Finish"}));
    QVERIFY(text.contains("Emissions from source = 100 (1.0E+2)"));
}

void RunTest::escapeAnsweredYesAborts() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form, "1E6");
    dialogs.answers = {true};
    QString caption;
    bool busy = false, buttonoff = false;
    DuringLoop escape(form, [&] {
        caption = form.StaticText3->text();
        busy = QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        buttonoff = !form.EstimateButton->isEnabled();
        QTest::keyClick(&form, Qt::Key_Escape);
    });

    form.EstimateButton->click();

    QVERIFY(escape.done());
    QCOMPARE(caption, QStringLiteral(" "));
    QVERIFY(busy);
    QVERIFY(buttonoff);
    QCOMPARE(dialogs.questions, QStringList{"Abort?"});
    QCOMPARE(form.lastrun().outcome, RunOutcome::aborted);
    const QString shown = dialogs.resultstexts.value(0);
    QVERIFY(shown.contains("\nResults up to time when simulation aborted:\n"));
    // The poll comes every 10001 emissions: the first one is where it stopped.
    QVERIFY(shown.contains("Emissions from source = 10001 ("));
    QVERIFY(!QApplication::overrideCursor());
}

// Split over threads, the run still polls on the window's thread: Escape asks
// "Abort?", the threads stand still while the question is open (their
// processor time does not grow), and the report covers the emissions done
// when the threads stopped (on a slow machine there may be none yet; the
// engine's tests check that the count is the one the threads reached).
void RunTest::escapeStopsARunSplitOverThreads() {
    RunState state;
    state.flags.showabout = false;
    SlowToAnswer dialogs;
    TForm1 form(state, &dialogs);
    state.threads = 2;
    fillvalid(form, "1E11");
    dialogs.answers = {true};
    DuringLoop escape(form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });

    form.EstimateButton->click();

    QVERIFY(escape.done());
    QCOMPARE(dialogs.questions, QStringList{"Abort?"});
    QCOMPARE(form.lastrun().outcome, RunOutcome::aborted);
    const QString shown = dialogs.resultstexts.value(0);
    QVERIFY(shown.contains("\nResults up to time when simulation aborted:\n"));
    const QRegularExpressionMatch m =
        QRegularExpression("Emissions from source = (\\d+) ").match(shown);
    QVERIFY(m.hasMatch());
    QVERIFY(m.captured(1).toDouble() < 1e11);
    // Two threads still running would spend about 0.8 s of processor time in
    // those 400 ms (0.4 s even on one free core); a tenth of a second leaves
    // room for the event loop and a loaded machine, not for a running thread.
    QVERIFY2(dialogs.questioncpu >= 0 && dialogs.questioncpu < 0.1,
             qPrintable(QString::number(dialogs.questioncpu)));
}

void RunTest::escapeAnsweredNoLetsItFinish() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form, "30000");
    dialogs.answers = {false};
    DuringLoop escape(form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });

    form.EstimateButton->click();

    QVERIFY(escape.done());
    QCOMPARE(dialogs.questions, QStringList{"Abort?"});
    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    const QString shown = dialogs.resultstexts.value(0);
    QVERIFY(shown.contains("\nResults:\n"));
    QVERIFY(shown.contains("Emissions from source = 30000 ("));
}

void RunTest::inputDuringTheLoopIsSwallowed() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    form.show();
    fillvalid(form, "30000");
    form.Inputbox_c->setFocus();
    bool stillshown = false;
    DuringLoop typing(form, [&] {
        QTest::keyClicks(form.Inputbox_c, "99");
        QTest::mouseClick(form.Cuboid_source_radiobutton, Qt::LeftButton);
        QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
        form.close();
        stillshown = form.isVisible();
    });

    form.EstimateButton->click();

    QVERIFY(typing.done());
    QVERIFY(stillshown);
    QVERIFY(form.isVisible());
    QCOMPARE(form.Inputbox_c->text(), QStringLiteral("1"));
    QVERIFY(form.Cylindrical_source_radiobutton->isChecked());
    QVERIFY(state.flags.cylsrc && !state.flags.cubsrc);
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(dialogs.resultstexts.size(), 1);
    // After the run the window takes input again.
    QTest::keyClicks(form.Inputbox_c, "2");
    QCOMPARE(form.Inputbox_c->text(), QStringLiteral("12"));
}

QTEST_MAIN(RunTest)
#include "test_run.moc"

void RunTest::seedShownAndRunRepeated() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form, "3000");
    form.EstimateButton->click();
    form.Showlastresults1->trigger();
    QCOMPARE(dialogs.resultstexts.size(), 2);
    // Beside the report, not inside it: the report's text is unchanged.
    const std::uint32_t seed = shownseed(dialogs.resultsseeds[0]);
    QVERIFY2(seed != 0, qPrintable(dialogs.resultsseeds[0]));
    QCOMPARE(dialogs.resultsseeds[1], dialogs.resultsseeds[0]);
    QVERIFY(!dialogs.resultstexts[0].contains(QStringLiteral("Seed")));

    // Another seed gives another report; the seed shown gives the same one.
    dialogs.seeds = {seed + 1, seed};
    form.Seedforthenextrun1->trigger();
    form.EstimateButton->click();
    form.Seedforthenextrun1->trigger();
    form.EstimateButton->click();
    QCOMPARE(shownseed(dialogs.resultsseeds[2]), seed + 1);
    QCOMPARE(shownseed(dialogs.resultsseeds[3]), seed);
    QVERIFY(withouttime(dialogs.resultstexts[2]) != withouttime(dialogs.resultstexts[0]));
    QCOMPARE(withouttime(dialogs.resultstexts[3]), withouttime(dialogs.resultstexts[0]));
}

// The inputs saved as a dataset and opened again run as they did; the file
// may end in a dataset without its closing "*", which the saved one must not
// join.
void RunTest::savedOpenedAndRunGivesTheSameReport() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kept.txt"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "true\nfalse\ntrue\nfalse\nfalse\n0\n0\n2.5\n0\n0\n0\n3\n5\n0\n0\n1\n10\n0\n0\n0\n"
            "1E3\nfalse\n");
    }
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    const auto run = [&](std::uint32_t seed) {
        dialogs.seeds = {seed};
        form.Seedforthenextrun1->trigger();
        form.EstimateButton->click();
        return withouttime(dialogs.resultstexts.constLast());
    };

    // A rotated rectangle-sided cuboid over a cylinder, 2 pi.
    form.Cuboid_source_radiobutton->click();
    form.Inputbox_a1->setText("1.5");
    form.Inputbox_b1->setText("0.7");
    form.Inputbox_t1->setText("0.2");
    form.Inputbox_r2->setText("2");
    form.Inputbox_h->setText("3");
    form.Inputbox_a3->setText("0.3");
    form.inputbox_b3->setText("-0.4");
    form.Inputbox_c->setText("1.7");
    form.inputbox_rot_x3->setText("30");
    form.Inputbox_rot_y2->setText("-12.5");
    form.Inputbox_rot_z0->setText("0.1");
    form.inputbox_endcount->setText("2000");
    form.twopiradiobutton->click();
    dialogs.answers = {true};  // 2 pi: "emissions from the front face" asked
    const QString cuboid = run(11);
    dialogs.answers = {true};
    dialogs.datasetfiles = {file};
    form.Saveinputsasdataset1->trigger();

    // A point over a sphere.
    form.Point_source_radiobutton->click();
    form.Spherical_detector_radiobutton->click();
    form.fourpiradiobutton->click();
    form.Inputbox_r2->setText("0.8");
    form.Inputbox_d->setText("0.25");
    form.Inputbox_c->setText("1.5");
    form.inputbox_endcount->setText("1500");
    for (QLineEdit* e : {form.inputbox_rot_x3, form.Inputbox_rot_y2, form.Inputbox_rot_z0})
        e->setText("0");
    const QString point = run(12);
    dialogs.datasetfiles = {file};
    form.Saveinputsasdataset1->trigger();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messagetexts().join('|')));

    form.ClearButton->trigger();
    for (int chosen : {1, 2}) {
        dialogs.datafiles = {file};
        dialogs.datasetchoices = {chosen};
        form.Opendataset1->trigger();
        dialogs.answers = {true};
        QCOMPARE(run(chosen == 1 ? 11 : 12), chosen == 1 ? cuboid : point);
    }
    QCOMPARE(dialogs.datasetlists.size(), 2);
    QCOMPARE(
        dialogs.datasetlists[0],
        QStringList({"Dataset 1: disc r1 = 2.5 over cylinder r2 = 3, t2 = 5; d = 1, c = 10; 4 pi",
                     "Dataset 2: cuboid a1 = 1.5, b1 = 0.7, t1 = 0.2 over cylinder r2 = 2, "
                     "t2 = 3; a3 = 0.3, b3 = -0.4, c = 1.7; rot 30/-12.5/0.1; 2 pi",
                     "Dataset 3: point over sphere r2 = 0.8; d = 0.25, c = 1.5; 4 pi"}));
    QVERIFY(form.Point_source_radiobutton->isChecked());
    QVERIFY(form.Spherical_detector_radiobutton->isChecked());
}

void RunTest::timeLeftOnALongRun() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form, "3E9");
    dialogs.answers = {true};
    QString left;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &form, [&] {
        if (left.isEmpty() && !form.TimeLeft->text().isEmpty()) {
            left = form.TimeLeft->text();
            QTest::keyClick(&form, Qt::Key_Escape);
        }
    });
    watch.start(20);
    form.EstimateButton->click();
    QVERIFY2(QRegularExpression(QStringLiteral("^about \\d+ (s|min \\d+ s|h \\d+ min) left$"))
                 .match(left)
                 .hasMatch(),
             qPrintable(left));
    QCOMPARE(form.lastrun().outcome, RunOutcome::aborted);
}

// A point 1 above the centre of a disc of radius 2 (the top of a cylinder):
// the solid angle is 2 pi (1 - 1/sqrt 5) exactly. The window's integral run
// gives it with the error 0 whatever its (unused) count field holds, the
// report korvex-batch --method integral writes for the same dataset, and
// the window's batch run writes that report too.
void RunTest::integralRunOfAPointIsExact() {
    QTemporaryDir dir;
    const QString data = dir.filePath("point.txt");
    {
        QFile f(data);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "true\nfalse\ntrue\nfalse\nfalse\n0\n0\n0\n0\n0\n0\n2\n1\n0\n0\n0\n1\n0\n0\n0\n"
            "150\nfalse\n*\n");
    }
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    form.Point_source_radiobutton->click();
    fillvalid(form, "no count");
    form.Inputbox_r2->setText("2");
    chooseintegral(form);
    const QString saved = dir.filePath("report.txt");
    dialogs.choices = {ResultsChoice::save, ResultsChoice::finish};
    dialogs.reportfiles = {saved};

    form.EstimateButton->click();

    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messagetexts().join('|')));
    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    QCOMPARE(form.ProgressBar1->value(), 100);
    QCOMPARE(form.inputbox_endcount->text(), QStringLiteral("no count"));
    const QString shown = dialogs.resultstexts.value(0);
    QVERIFY(shown.startsWith("Input data from screen\nPoint source\n"));
    const QRegularExpressionMatch m =
        QRegularExpression("\nAverage solid angle = (\\S+) \\+/- 0 steradians\n").match(shown);
    QVERIFY2(m.hasMatch(), qPrintable(shown));
    const double exact = 2 * M_PI * (1 - 1 / std::sqrt(5.0));
    QVERIFY2(std::abs(m.captured(1).toDouble() - exact) <= 4e-16 * exact,
             qPrintable(m.captured(1)));
    QCOMPARE(dialogs.resultsseeds.value(0),
             QStringLiteral("Seed of this run: not used by the integral method"));
    QFile report(saved);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(report.readAll(), QByteArray::fromStdString(state.report.lastresults + "\r\n"));

#ifdef KORVEX_BATCH
    const QString batchout = dir.filePath("batch.txt");
    QProcess batch;
    batch.start(KORVEX_BATCH, {"--method", "integral", "--quiet", data, batchout});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    QFile b(batchout);
    QVERIFY(b.open(QIODevice::ReadOnly));
    const QString expected = withouttime(QString::fromLatin1(b.readAll()));
    // From the results on (the file names the point a disc of radius 0).
    const auto results = [](const QString& text) {
        return withouttime(text).mid(text.indexOf("Results:")).replace("\r\n", "\n").trimmed();
    };
    QCOMPARE(results(shown), results(expected));

    // The same dataset by the window's batch run, the method still Integral.
    const QString windowout = dir.filePath("window.txt");
    dialogs.answers = {true};
    dialogs.datafiles = {data};
    dialogs.resultsfiles = {windowout};
    form.Datareadfromandwrittentofile1->trigger();
    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    QFile w(windowout);
    QVERIFY(w.open(QIODevice::ReadOnly));
    QCOMPARE(withouttime(QString::fromLatin1(w.readAll())), expected);
#endif
}

// A disc across a cylinder's side wall, which no rule of fixed order
// integrates: at a target of 1E-12 the randomised point sets double for a
// long time. Escape during a large set asks "Abort?" as in a run of
// emissions: the threads stand still while the question is open, and Yes
// ends the run with the report of the sets done, with their error.
void RunTest::escapeAbortsAnIntegralRun() {
    RunState state;
    state.flags.showabout = false;
    SlowToAnswer dialogs;
    CountingForm form(state, &dialogs);
    state.threads = 2;
    fillvalid(form);
    form.Inputbox_d->setText("2");
    form.Inputbox_c->setText("-0.5");
    chooseintegral(form, "1E-12");
    dialogs.answers = {true};
    bool countoff = false, pressed = false;
    // After six refinements (20480 points) the next set doubles them: a second
    // or so.
    QTimer watch;
    connect(&watch, &QTimer::timeout, &form, [&] {
        if (!pressed && form.refinements >= 6) {
            pressed = true;
            countoff = !form.inputbox_endcount->isEnabled();
            QTest::keyClick(&form, Qt::Key_Escape);
        }
    });
    watch.start(0);

    form.EstimateButton->click();

    QVERIFY(pressed);
    QVERIFY(countoff);
    QCOMPARE(dialogs.questions, QStringList{"Abort?"});
    QCOMPARE(form.lastrun().outcome, RunOutcome::aborted);
    QCOMPARE(form.refinements, 6);
    const QString shown = dialogs.resultstexts.value(0);
    // The source-inside warning takes the heading's place.
    QVERIFY2(shown.contains("(stopped before the target error was reached)"), qPrintable(shown));
    QVERIFY(shown.contains(" scrambled Sobol' points, 20480 source points"));
    QVERIFY(QRegularExpression("Average solid angle = \\d\\.\\d+ \\+/- 0\\.0*[1-9]")
                .match(shown)
                .hasMatch());
    // As in escapeStopsARunSplitOverThreads.
    QVERIFY2(dialogs.questioncpu >= 0 && dialogs.questioncpu < 0.1,
             qPrintable(QString::number(dialogs.questioncpu)));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(form.Panel1->isHidden());
}

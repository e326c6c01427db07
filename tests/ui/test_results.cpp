// The results dialog loop, saving (with the overwrite question and an
// atomic replace) and printing into a PDF printer.
#include <sys/resource.h>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>

#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/results.h"
#include "uitesting.h"

using namespace korvex;

namespace {

QByteArray contents(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const QString& name, const QByteArray& data) {
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// A report as the run leaves it: lines with breaks, empty lines between.
void fillreport(Report& r) {
    r.printlines = {};
    r.printlines[0] = "Input data from screen";
    r.printlines[1] = "Circular face source, r1 = 1\r\nSource thickness, t1 = 0";
    r.printlines[2] = "4 pi source";
    r.printlines[8] = "\r\nResults:";
    r.printlines[9] = "Emissions from source = 150 (1.5E+2)";
    r.printlines[16] = "\r\nAverage solid angle = 1.0000000 +/- 0.1000000 steradians";
    r.printlines[18] = "\r\nProcessing time = 0 s";
    r.lastresults =
        "Input data from screen\r\nCircular face source, r1 = 1\r\n\r\nProcessing time = 0 "
        "s\r\n\r\n";
}

const QString noprinterquestion =
    QStringLiteral("Cannot print. No printer installed\n\nSave the report as a PDF file instead?");

}  // namespace

class ResultsTest : public QObject {
    Q_OBJECT
private slots:
    void showLastResultsBeforeAnyRun();
    void loopEndsOnlyWithFinish();
    void saveWritesReportAndLineEnd();
    void overwriteQuestionBothWays();
    void failedSaveKeepsTheFormerFile();
    void txtSuffix();
    void printedLinesKeepEmptyLines();
    void printIntoPdf();
    void noPrinterOrCancelledSetup();
    void pdfInsteadOfPrinting();
};

void ResultsTest::showLastResultsBeforeAnyRun() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.Showlastresults1->trigger();
    QCOMPARE(dialogs.resultstexts, QStringList{"No results\n\n"});
}

void ResultsTest::loopEndsOnlyWithFinish() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    dialogs.choices = {ResultsChoice::closed, ResultsChoice::save,   ResultsChoice::print,
                       ResultsChoice::closed, ResultsChoice::finish, ResultsChoice::save};
    dialogs.reportfiles = {std::nullopt};  // the save dialog is cancelled
    form.Showlastresults1->trigger();
    QCOMPARE(dialogs.resultstexts.size(), 5);
    QCOMPARE(dialogs.savedialogs, 1);
    QCOMPARE(dialogs.questions, QStringList{noprinterquestion});  // answered No
    QCOMPARE(form.ListBox1->count(), 0);
}

void ResultsTest::saveWritesReportAndLineEnd() {
    QTemporaryDir dir;
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    fillreport(state.report);
    const QString name = dir.filePath("report.txt");
    dialogs.choices = {ResultsChoice::save, ResultsChoice::finish};
    dialogs.reportfiles = {name};
    form.Showlastresults1->trigger();
    QCOMPARE(contents(name), QByteArray::fromStdString(state.report.lastresults) + "\r\n");
    QVERIFY(dialogs.questions.isEmpty());
    QCOMPARE(dialogs.resultstexts.size(), 2);
}

void ResultsTest::overwriteQuestionBothWays() {
    QTemporaryDir dir;
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    const QString name = dir.filePath("old.txt");
    write(name, "former contents");

    // No: the save dialog comes again; cancelling it writes nothing.
    dialogs.reportfiles = {name, std::nullopt};
    dialogs.answers = {false};
    QVERIFY(form.gosave());
    QCOMPARE(dialogs.questions,
             QStringList{QDir::toNativeSeparators(name) + " file exists. Overwrite?"});
    QCOMPARE(dialogs.savedialogs, 2);
    QCOMPARE(contents(name), QByteArray("former contents"));

    // No, then Yes on the second showing: replaced.
    dialogs.questions.clear();
    dialogs.savedialogs = 0;
    dialogs.reportfiles = {name, name};
    dialogs.answers = {false, true};
    QVERIFY(form.gosave());
    QCOMPARE(dialogs.questions.size(), 2);
    QCOMPARE(dialogs.savedialogs, 2);
    QCOMPARE(contents(name), QByteArray("No results\r\n"));
}

void ResultsTest::failedSaveKeepsTheFormerFile() {
    // A write that fails half-way (here: the file size limit) must leave the
    // file it was to replace as it was, end the results dialog loop, and say
    // why. A report larger than the limit fails as it is written; a small one
    // only when it is flushed at the end (which the file's commit has been
    // seen to pass over, leaving an empty file in place of the old one).
    const struct {
        int reportsize;
        rlim_t limit;
    } cases[] = {{256 * 1024, 64 * 1024}, {6000, 1000}};
    for (const auto& c : cases) {
        QTemporaryDir dir;
        ScriptedWindow window;
        auto& [state, dialogs, form] = window;
        const QString name = dir.filePath("kept.txt");
        write(name, "former contents");
        state.report.lastresults = std::string(static_cast<std::size_t>(c.reportsize), 'x');

        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldhandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = c.limit;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        dialogs.choices = {ResultsChoice::save, ResultsChoice::finish};
        dialogs.reportfiles = {name};
        dialogs.answers = {true};
        form.Showlastresults1->trigger();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldhandler);

        QCOMPARE(contents(name), QByteArray("former contents"));
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, MessageKind::error);
        QCOMPARE(dialogs.messages[0].text, "Cannot write " + QDir::toNativeSeparators(name) + ": " +
                                               QString::fromLocal8Bit(strerror(EFBIG)));
        QCOMPARE(dialogs.resultstexts.size(), 1);  // the loop ended with the error
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.txt"});
    }
}

void ResultsTest::txtSuffix() {
    QCOMPARE(withtxtsuffix("/tmp/report"), QStringLiteral("/tmp/report.txt"));
    QCOMPARE(withtxtsuffix("/tmp/report.dat"), QStringLiteral("/tmp/report.dat"));
    QCOMPARE(withtxtsuffix("/tmp/run.2/report"), QStringLiteral("/tmp/run.2/report.txt"));
    QCOMPARE(withtxtsuffix(QString()), QString());
}

void ResultsTest::printedLinesKeepEmptyLines() {
    PrintLines none{};
    QCOMPARE(printedlines(none), QStringList(19, QString()));

    Report r;
    fillreport(r);
    const QStringList lines = printedlines(r.printlines);
    QCOMPARE(lines.size(), 19 + 1 + 1 + 1 + 1);
    QCOMPARE(lines.mid(0, 4), QStringList({"Input data from screen", "Circular face source, r1 = 1",
                                           "Source thickness, t1 = 0", "4 pi source"}));
    QCOMPARE(lines.mid(9, 3),
             QStringList({"", "Results:", "Emissions from source = 150 (1.5E+2)"}));
    QCOMPARE(lines.last(), QStringLiteral("Processing time = 0 s"));
}

void ResultsTest::printIntoPdf() {
    QTemporaryDir dir;
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    fillreport(state.report);
    const QString pdf = dir.filePath("report.pdf");
    dialogs.printernames = {"Office", "Lab"};
    dialogs.setup = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    };
    dialogs.choices = {ResultsChoice::print, ResultsChoice::finish};
    form.Showlastresults1->trigger();
    QCOMPARE(dialogs.setups, 1);
    QCOMPARE(form.ListBox1->count(), 2);
    QCOMPARE(form.ListBox1->item(1)->text(), QStringLiteral("Lab"));
    QVERIFY(QFileInfo::exists(pdf));

    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY2(text.waitForFinished(30000), "pdftotext");
    // The font may join letters into ligatures; compatibility normalisation
    // splits them again.
    const QString printed =
        QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    QStringList lines = printed.split('\n');
    for (QString& l : lines) l = l.trimmed();
    const QStringList expected = printedlines(state.report.printlines);
    // Every non-empty line in order, and the empty report lines kept as gaps.
    int at = -1;
    for (const QString& l : expected) {
        if (l.isEmpty()) continue;
        const int found = lines.indexOf(l, at + 1);
        QVERIFY2(found > at, qPrintable(l));
        at = found;
    }
    // Positions and heights of words on the page: the empty lines keep
    // their place, and the text is 12 points high.
    QProcess box;
    box.start("pdftotext", {"-bbox", pdf, "-"});
    QVERIFY(box.waitForFinished(30000));
    const QString html = QString::fromUtf8(box.readAllStandardOutput());
    auto top = [&](const QString& w) {
        const QRegularExpression re(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">)re" + w +
                                    "<");
        const auto m = re.match(html);
        return m.hasMatch() ? std::pair(m.captured(1).toDouble(), m.captured(2).toDouble())
                            : std::pair(-1.0, -1.0);
    };
    const auto input = top("Input"), circular = top("Circular"), results = top("Results:");
    const double spacing = circular.first - input.first;
    QVERIFY(spacing > 0);
    QCOMPARE(qRound((results.first - input.first) / spacing), 10);  // printed line 11
    const double height = input.second - input.first;
    QVERIFY2(height > 10 && height < 16, qPrintable(QString::number(height)));
}

void ResultsTest::noPrinterOrCancelledSetup() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    QVERIFY(form.goprint());  // the PDF declined
    QCOMPARE(dialogs.questions, QStringList{noprinterquestion});
    QCOMPARE(dialogs.savedialogs, 0);
    QCOMPARE(dialogs.setups, 0);

    dialogs.printernames = {"Office"};
    QVERIFY(form.goprint());  // setup cancelled: nothing printed, the loop goes on
    QCOMPARE(dialogs.setups, 1);
    QVERIFY(dialogs.messages.isEmpty());
}

// Without a printer the report is saved as PDF instead: a head with the
// program, its version, the date, the seed and the geometry, then the report.
void ResultsTest::pdfInsteadOfPrinting() {
    QTemporaryDir dir;
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    form.Inputbox_r1->setText("1");
    form.Inputbox_t1->setText("0");
    form.Inputbox_r2->setText("2");
    form.Inputbox_h->setText("1");
    form.Inputbox_d->setText("0.5");
    form.Inputbox_c->setText("1");
    form.inputbox_endcount->setText("500");
    form.setnextseed(4242);
    const QString pdf = dir.filePath("report.pdf");
    dialogs.choices = {ResultsChoice::print, ResultsChoice::finish};
    dialogs.answers = {true};
    dialogs.reportfiles = {pdf};
    form.EstimateButton->click();
    QCOMPARE(dialogs.questions, QStringList{noprinterquestion});
    QCOMPARE(dialogs.savepdffirst, QList<bool>{true});
    QVERIFY(dialogs.messages.isEmpty());

    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY2(text.waitForFinished(30000), "pdftotext");
    const QString printed =
        QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    QStringList lines = printed.split('\n');
    for (QString& l : lines) l = l.trimmed();
    QVERIFY2(lines.contains(QStringLiteral("Korvex " KORVEX_VERSION ": average solid angle")),
             qPrintable(printed));
    QVERIFY(lines.contains(QStringLiteral("Seed: 4242")));
    QVERIFY(lines.indexOf(QRegularExpression(R"(^Date: \d{4}-\d\d-\d\d \d\d:\d\d$)")) >= 0);
    // The picture's scale bar and axis names come before the report, whose
    // lines follow in order.
    int at = lines.indexOf(QRegularExpression("Xd|Zd"));
    QVERIFY2(at > 0, qPrintable(printed));
    for (const QString& l : printedlines(state.report.printlines)) {
        if (l.trimmed().isEmpty()) continue;
        const int found = lines.indexOf(l.trimmed(), at + 1);
        QVERIFY2(found > at, qPrintable(l));
        at = found;
    }
}

QTEST_MAIN(ResultsTest)
#include "test_results.moc"

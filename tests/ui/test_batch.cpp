// A batch run from the menu on a temporary data file, every dialog answered
// by the test, and the window restored from its choices afterwards.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "ui/diagram.h"
#include "ui/form1.h"
#include "uitesting.h"

using namespace korvex;

namespace {

const QString openingprompt =
    "You will now be asked for the name of the input data file\nand the file name of the file "
    "for saving the results.\n\nNote - Each dataset is checked before it runs: values 1 to 5 "
    "must name one source\nand one detector, no size or emission count may be negative, each "
    "length must be\n0 or of size 1E-6 to 1E8, and the number of emissions neither 0 nor above "
    "9007199254740992.\nA dataset that fails is not run: its entry in the results file says "
    "why.\nNot checked: the signs of displacements and angles, and conflicts between values\n"
    "(a source on, in or underneath the "
    "detector is only warned of in its report).\nIt is recommended you make a test run with a "
    "low emission number first.\nOK?";

// A disc over a cylinder, 4 pi; then a 2 pi cuboid source over a cuboid.
const char* datafile =
    "true / cylinder "
    "source\nfalse\ntrue\nfalse\nfalse\n0\n0\n2."
    "5\n0\n0\n0\n3\n5\n0\n0\n1\n10\n0\n0\n0\n200\nfalse\n*\n"
    "false\ntrue\nfalse\ntrue\nfalse\n1\n1\n0\n0\n2\n2\n0\n1\n0.5\n0.5\n0\n3\n0\n0\n0\n300\ntrue\n*"
    "\n";

// Notes what the window looks like whenever a dataset's loop starts.
class WatchedForm : public TForm1 {
public:
    using TForm1::TForm1;
    QStringList captions;
    bool choiceshidden = true;

    void loopstarting(const std::string& caption, const RunParameters& prm,
                      const GeometryFlags& flags) override {
        TForm1::loopstarting(caption, prm, flags);
        captions << StaticText3->text();
        bool diagrams = false;
        for (Diagram* d : findChildren<Diagram*>()) diagrams = diagrams || !d->isHidden();
        choiceshidden = choiceshidden && GroupBox2->isHidden() && GroupBox7->isHidden() &&
                        PageControl1->isHidden() && !diagrams && !Panel1->isHidden();
    }
};

QString makefile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(data);
    return f.fileName();
}

// The data file, and a results file that already holds a former run.
struct BatchFiles {
    QTemporaryDir dir;
    const QString data = makefile(dir, "data.txt", datafile);
    const QString results = makefile(dir, "results.txt", "previous run\r\n");
};

}  // namespace

class BatchTest : public QObject {
    Q_OBJECT
private slots:
    void twoDatasetsAppended();
    void cancelledOrNotAppended();
};

void BatchTest::twoDatasetsAppended() {
    const BatchFiles files;
    const QString &data = files.data, &results = files.results;
    ScriptedWindow<WatchedForm> window(false);
    auto& [state, dialogs, form] = window;
    dialogs.answers = {true, true};
    dialogs.datafiles = {data};
    dialogs.resultsfiles = {results};

    form.Datareadfromandwrittentofile1->trigger();

    QCOMPARE(form.lastrun().outcome, RunOutcome::completed);
    QCOMPARE(dialogs.questions, QStringList({openingprompt, QDir::toNativeSeparators(results) +
                                                                " file exists. Append?"}));
    QCOMPARE(form.captions, QStringList({"Dataset 1 from file", "Dataset 2 from file"}));
    QVERIFY(form.choiceshidden);
    QCOMPARE(dialogs.messagetexts(), QStringList{"Done."});
    QCOMPARE(dialogs.messages[0].kind, MessageKind::plain);
    QVERIFY(dialogs.resultstexts.isEmpty());

    QFile f(results);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QVERIFY(written.startsWith("previous run\r\nInput data from file, dataset 1:\r\n"));
    QCOMPARE(written.count("Input data from file, dataset "), 2);
    QVERIFY(
        written.contains("\r\n\r\nInput data from file, dataset 2:\r\nRectangular face source"));
    QVERIFY(written.endsWith(" s\r\n\r\n\r\n\r\n"));

    // The window is back as its radio buttons say.
    QVERIFY(!form.GroupBox2->isHidden() && !form.GroupBox7->isHidden() &&
            !form.PageControl1->isHidden());
    QVERIFY(form.Panel1->isHidden());
    QVERIFY(!form.Image_cyldet_cylsrc->isHidden());
    QVERIFY(form.Image_cubdet_cubsrc->isHidden());
    const GeometryFlags& g = state.flags;
    QVERIFY(g.cylsrc && !g.cubsrc && g.cyldet && !g.cubdet && g.fourpisrc && !g.twopisrc &&
            !g.batchrun);
    QVERIFY(form.EstimateButton->isEnabled());
    QVERIFY(!form.Inputbox_a3->isEnabled());

    // The last dataset's report can be shown again.
    form.Showlastresults1->trigger();
    QVERIFY(dialogs.resultstexts.value(0).startsWith("Input data from file, dataset 2:\n"));
}

void BatchTest::cancelledOrNotAppended() {
    const BatchFiles files;
    const QString &data = files.data, &results = files.results;
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;

    // Cancel at the opening prompt.
    dialogs.answers = {false};
    form.Datareadfromandwrittentofile1->trigger();
    QCOMPARE(form.lastrun().outcome, RunOutcome::cancelled);
    QCOMPARE(dialogs.questions.size(), 1);

    // No to "Append?": nothing is read or written, no "Done.".
    dialogs.answers = {true, false};
    dialogs.datafiles = {data};
    dialogs.resultsfiles = {results};
    form.Datareadfromandwrittentofile1->trigger();
    QCOMPARE(form.lastrun().outcome, RunOutcome::cancelled);
    QCOMPARE(dialogs.questions.size(), 3);
    QVERIFY(dialogs.messages.isEmpty());
    QFile f(results);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("previous run\r\n"));
    QVERIFY(!form.GroupBox2->isHidden() && !form.PageControl1->isHidden());
    QVERIFY(!form.Image_cyldet_cylsrc->isHidden());
    QVERIFY(form.EstimateButton->isEnabled());
}

QTEST_MAIN(BatchTest)
#include "test_batch.moc"

// The real dialogs, answered from a timer: the message boxes and questions,
// the results dialog, and the file dialogs.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/dialogs.h"
#include "ui/resultsdialog.h"
#include "uitesting.h"

using namespace korvex;

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void messageTitles();
    void questionButtons();
    void questionAnswers_data();
    void questionAnswers();
    void resultsDialog_data();
    void resultsDialog();
    void longReportScrolls();
    void saveDialogAddsSuffixAndAsksNothing();
    void dataFileDialog();
};

void DialogsTest::messageTitles() {
    QWidget parent;
    QtDialogs dialogs(&parent);
    QStringList titles, texts;
    bool wideenough = true;
    auto take = [&](QWidget* w) {
        titles << w->windowTitle();
        texts << static_cast<QMessageBox*>(w)->text();
        // The lines are already broken: the box must not break them again.
        auto* label = w->findChild<QLabel*>("qt_msgbox_label");
        for (const QString& line : label->text().split('\n'))
            wideenough = wideenough && label->contentsRect().width() >=
                                           label->fontMetrics().horizontalAdvance(line);
        QTest::keyClick(w, Qt::Key_Return);
    };
    ModalScript script({take, take, take, take});
    dialogs.message(MessageKind::warning, "Invalid data in displacement, c");
    dialogs.message(
        MessageKind::information,
        "About\nA Monte Carlo method to calculate the average solid angle subtended by a detector");
    dialogs.message(MessageKind::plain, "Done.");
    dialogs.message(MessageKind::error, "Cannot print. No printer installed");
    QVERIFY(script.done());
    QCOMPARE(titles, QStringList({"Warning", "Information", programtitle(), "Error"}));
    QVERIFY(texts.at(1).startsWith("About\nA Monte Carlo"));
    QVERIFY(wideenough);
}

namespace {

// Calls ask() while step answers the modal dialog it opens.
template <class Ask>
auto answered(ModalScript::Step step, Ask ask) {
    ModalScript script({std::move(step)});
    return ask();
}

ModalScript::Step press(Qt::Key key) {
    return [key](QWidget* w) { QTest::keyClick(w, key); };
}

ModalScript::Step click(const QString& button) {
    return [button](QWidget* w) { clickbutton(w, button); };
}

void closewindow(QWidget* w) { w->close(); }

}  // namespace

Q_DECLARE_METATYPE(ModalScript::Step)

void DialogsTest::questionButtons() {
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString title;
    QStringList yesno, yescancel;
    QVERIFY(answered(
        [&](QWidget* w) {
            title = w->windowTitle();
            yesno = buttontexts(w);
            QTest::keyClick(w, Qt::Key_Return);  // the default: Yes
        },
        [&] { return dialogs.confirm(ConfirmKind::yesno, "Abort?"); }));
    QCOMPARE(title, QStringLiteral("Confirm"));
    yesno.sort();
    QCOMPARE(yesno, QStringList({"&No", "&Yes"}));

    QVERIFY(!answered(
        [&](QWidget* w) {
            yescancel = buttontexts(w);
            QTest::keyClick(w, Qt::Key_Escape);
        },
        [&] {
            return dialogs.confirm(ConfirmKind::yescancel,
                                   "You are setting a thick source as 2 pi.");
        }));
    yescancel.sort();
    QCOMPARE(yescancel, QStringList({"&Yes", "Cancel"}));
}

void DialogsTest::questionAnswers_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ModalScript::Step>("answer");
    QTest::addColumn<bool>("yes");
    const int yesno = int(ConfirmKind::yesno), yescancel = int(ConfirmKind::yescancel);

    QTest::newRow("yes/no, Return") << yesno << "Abort?" << press(Qt::Key_Return) << true;
    QTest::newRow("yes/no, Escape") << yesno << "Abort?" << press(Qt::Key_Escape) << false;
    QTest::newRow("yes/no, closed") << yesno << "Abort?" << ModalScript::Step(closewindow) << false;
    QTest::newRow("yes/no, No") << yesno << "x file exists. Append?" << click("&No") << false;
    QTest::newRow("yes/cancel, Escape")
        << yescancel << "You are setting a thick source as 2 pi." << press(Qt::Key_Escape) << false;
    QTest::newRow("yes/cancel, Enter") << yescancel << "OK?" << press(Qt::Key_Enter) << true;
}

void DialogsTest::questionAnswers() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(ModalScript::Step, answer);
    QFETCH(bool, yes);
    QWidget parent;
    QtDialogs dialogs(&parent);
    QCOMPARE(answered(answer, [&] { return dialogs.confirm(ConfirmKind(kind), text); }), yes);
}

void DialogsTest::resultsDialog_data() {
    QTest::addColumn<ModalScript::Step>("answer");
    QTest::addColumn<int>("choice");

    QTest::newRow("Return") << press(Qt::Key_Return) << int(ResultsChoice::save);
    QTest::newRow("closed") << ModalScript::Step(closewindow) << int(ResultsChoice::closed);
    QTest::newRow("Finish") << click("Finish") << int(ResultsChoice::finish);
    // Escape does nothing; the dialog stays until a button is pressed.
    QTest::newRow("Escape, then Print") << ModalScript::Step([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(w->isVisible());
        clickbutton(w, "Print");
    }) << int(ResultsChoice::print);
}

void DialogsTest::resultsDialog() {
    QFETCH(ModalScript::Step, answer);
    QFETCH(int, choice);
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString title;
    QStringList buttons;
    const ResultsChoice chosen = answered(
        [&](QWidget* w) {
            title = w->windowTitle();
            buttons = buttontexts(w);
            answer(w);
        },
        [&] { return dialogs.results("No results\n\n", QString()); });
    QCOMPARE(chosen, ResultsChoice(choice));
    QCOMPARE(title, QStringLiteral("Results"));
    QCOMPARE(buttons, QStringList({"Save", "Print", "Finish"}));
}

void DialogsTest::longReportScrolls() {
    QWidget parent;
    QStringList lines;
    for (int i = 0; i < 400; ++i) lines << QStringLiteral("line %1").arg(i);
    ResultsDialog dialog(lines.join('\n'), QString(), &parent);
    dialog.show();
    const QRect screen = dialog.screen()->availableGeometry();
    QVERIFY(dialog.height() < screen.height());
    auto* label = dialog.findChild<QLabel*>("ResultsText");
    QCOMPARE(label->text().count('\n'), 399);  // line breaks kept
    QVERIFY(label->height() > dialog.findChild<QScrollArea*>()->viewport()->height());
}

void DialogsTest::saveDialogAddsSuffixAndAsksNothing() {
    QTemporaryDir dir;
    QFile existing(dir.filePath("old.txt"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    QWidget parent;
    QtDialogs dialogs(&parent);
    bool noconfirm = false;
    auto typename_ = [&](const QString& name) {
        return [&, name](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY(d);
            noconfirm = d->testOption(QFileDialog::DontConfirmOverwrite);
            d->setDirectory(dir.path());
            d->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            static_cast<QDialog*>(d)->accept();
        };
    };
    {
        ModalScript script({typename_("report")});
        QCOMPARE(dialogs.savereportfile(false), std::optional<QString>(dir.filePath("report.txt")));
    }
    {
        // Offered as PDF first, a bare name becomes a PDF file.
        ModalScript script({typename_("report")});
        QCOMPARE(dialogs.savereportfile(true), std::optional<QString>(dir.filePath("report.pdf")));
    }
    {
        // An existing name: the dialog itself asks nothing (the window does).
        ModalScript script({typename_("old.txt")});
        QCOMPARE(dialogs.savereportfile(false), std::optional<QString>(dir.filePath("old.txt")));
        QVERIFY(noconfirm);
    }
    {
        ModalScript script({[](QWidget* w) { static_cast<QDialog*>(w)->reject(); }});
        QCOMPARE(dialogs.saveresultsfile(), std::nullopt);
    }
}

void DialogsTest::dataFileDialog() {
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString title, directory;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        title = d->windowTitle();
        filters = d->nameFilters();
        mode = d->fileMode();
        directory = d->directory().absolutePath();
        static_cast<QDialog*>(d)->reject();
    }});
    QCOMPARE(dialogs.opendatafile(), std::nullopt);
    QCOMPARE(title, QStringLiteral("File name of the data to be read."));
    QCOMPARE(filters, QStringList{"Text files only (*.txt)"});
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(directory, QDir::currentPath());
}

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"

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
    void yesNoQuestion();
    void yesCancelQuestion();
    void resultsDialog();
    void longReportScrolls();
    void saveDialogAddsSuffixAndAsksNothing();
    void dataFileDialog();
};

void DialogsTest::messageTitles()
{
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
            wideenough = wideenough && label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(line);
        QTest::keyClick(w, Qt::Key_Return);
    };
    ModalScript script({take, take, take, take});
    dialogs.message(MessageKind::warning, "Invalid data in displacement, c");
    dialogs.message(MessageKind::information,
                    "About\nA Monte Carlo method to calculate the average solid angle subtended by a detector");
    dialogs.message(MessageKind::plain, "Done.");
    dialogs.message(MessageKind::error, "Cannot print. No printer installed");
    QVERIFY(script.done());
    QCOMPARE(titles, QStringList({"Warning", "Information", programtitle(), "Error"}));
    QVERIFY(texts.at(1).startsWith("About\nA Monte Carlo"));
    QVERIFY(wideenough);
}

void DialogsTest::yesNoQuestion()
{
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString title;
    QStringList buttons;
    {
        ModalScript script({[&](QWidget* w) {
            title = w->windowTitle();
            buttons = buttontexts(w);
            QTest::keyClick(w, Qt::Key_Return);  // the default: Yes
        }});
        QVERIFY(dialogs.confirm(ConfirmKind::yesno, "Abort?"));
    }
    QCOMPARE(title, QStringLiteral("Confirm"));
    buttons.sort();
    QCOMPARE(buttons, QStringList({"&No", "&Yes"}));
    {
        ModalScript script({[](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }});
        QVERIFY(!dialogs.confirm(ConfirmKind::yesno, "Abort?"));
    }
    {
        ModalScript script({[](QWidget* w) { w->close(); }});
        QVERIFY(!dialogs.confirm(ConfirmKind::yesno, "Abort?"));
    }
    {
        ModalScript script({[](QWidget* w) { clickbutton(w, "&No"); }});
        QVERIFY(!dialogs.confirm(ConfirmKind::yesno, "x file exists. Append?"));
    }
}

void DialogsTest::yesCancelQuestion()
{
    QWidget parent;
    QtDialogs dialogs(&parent);
    QStringList buttons;
    {
        ModalScript script({[&](QWidget* w) {
            buttons = buttontexts(w);
            QTest::keyClick(w, Qt::Key_Escape);
        }});
        QVERIFY(!dialogs.confirm(ConfirmKind::yescancel, "You are setting a thick source as 2 pi."));
    }
    buttons.sort();
    QCOMPARE(buttons, QStringList({"&Yes", "Cancel"}));
    {
        ModalScript script({[](QWidget* w) { QTest::keyClick(w, Qt::Key_Enter); }});
        QVERIFY(dialogs.confirm(ConfirmKind::yescancel, "OK?"));
    }
}

void DialogsTest::resultsDialog()
{
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString title;
    QStringList buttons;
    {
        ModalScript script({[&](QWidget* w) {
            title = w->windowTitle();
            buttons = buttontexts(w);
            QTest::keyClick(w, Qt::Key_Return);
        }});
        QCOMPARE(dialogs.results("No results\n\n"), ResultsChoice::save);
    }
    QCOMPARE(title, QStringLiteral("Results"));
    QCOMPARE(buttons, QStringList({"Save", "Print", "Finish"}));
    {
        // Escape does nothing; the dialog stays until a button is pressed.
        bool stayed = false;
        ModalScript script({[&](QWidget* w) {
            QTest::keyClick(w, Qt::Key_Escape);
            stayed = w->isVisible();
            clickbutton(w, "Print");
        }});
        QCOMPARE(dialogs.results("No results\n\n"), ResultsChoice::print);
        QVERIFY(stayed);
    }
    {
        ModalScript script({[](QWidget* w) { w->close(); }});
        QCOMPARE(dialogs.results("No results\n\n"), ResultsChoice::closed);
    }
    {
        ModalScript script({[](QWidget* w) { clickbutton(w, "Finish"); }});
        QCOMPARE(dialogs.results("No results\n\n"), ResultsChoice::finish);
    }
}

void DialogsTest::longReportScrolls()
{
    QWidget parent;
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("line %1").arg(i);
    ResultsDialog dialog(lines.join('\n'), &parent);
    dialog.show();
    const QRect screen = dialog.screen()->availableGeometry();
    QVERIFY(dialog.height() < screen.height());
    auto* label = dialog.findChild<QLabel*>("ResultsText");
    QCOMPARE(label->text().count('\n'), 399);  // line breaks kept
    QVERIFY(label->height() > dialog.findChild<QScrollArea*>()->viewport()->height());
}

void DialogsTest::saveDialogAddsSuffixAndAsksNothing()
{
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
        QCOMPARE(dialogs.savereportfile(), std::optional<QString>(dir.filePath("report.txt")));
    }
    {
        // An existing name: the dialog itself asks nothing (the window does).
        ModalScript script({typename_("old.txt")});
        QCOMPARE(dialogs.savereportfile(), std::optional<QString>(dir.filePath("old.txt")));
        QVERIFY(noconfirm);
    }
    {
        ModalScript script({[](QWidget* w) { static_cast<QDialog*>(w)->reject(); }});
        QCOMPARE(dialogs.saveresultsfile(), std::nullopt);
    }
}

void DialogsTest::dataFileDialog()
{
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

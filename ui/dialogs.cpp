#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>

#include "io/commandline.h"
#include "ui/resultsdialog.h"

namespace korvex {

QString programtitle() {
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Korvex") : name;
}

QString withtxtsuffix(const QString& name) {
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty() || name.endsWith(QLatin1Char('.')))
        return name;
    return name + QStringLiteral(".txt");
}

bool ispdfname(const QString& name) {
    return name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
}

// A message box wraps text wider than about 500 pixels at its own width,
// which breaks the system's already broken lines a second time. The label is
// made wide enough for the longest line instead (within the screen).
static void fitlines(QMessageBox& box, const QString& text) {
    QLabel* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) return;
    const QFontMetrics metrics(label->font());
    int longest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        longest = std::max(longest, metrics.horizontalAdvance(line));
    const QScreen* screen = box.screen();
    const int limit = screen ? screen->availableGeometry().width() * 8 / 10 : 800;
    label->setMinimumWidth(std::min(longest + 4, limit));
}

void QtDialogs::message(MessageKind kind, const QString& text) {
    QMessageBox box(parent_);
    switch (kind) {
        case MessageKind::warning:
            box.setWindowTitle(QStringLiteral("Warning"));
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageKind::plain:
            box.setWindowTitle(programtitle());
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageKind::error:
            box.setWindowTitle(QStringLiteral("Error"));
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageKind::information:
            box.setWindowTitle(QStringLiteral("Information"));
            box.setIcon(QMessageBox::Information);
            break;
    }
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    fitlines(box, text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::confirm(ConfirmKind kind, const QString& text) {
    QMessageBox box(parent_);
    box.setObjectName(QStringLiteral("Confirm"));
    box.setWindowTitle(QStringLiteral("Confirm"));
    box.setIcon(QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    fitlines(box, text);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* other = kind == ConfirmKind::yescancel
                             ? box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole)
                             : box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(other);  // also the answer when the box is closed
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> QtDialogs::opendatafile() {
    QFileDialog dialog(parent_, QStringLiteral("File name of the data to be read."),
                       QDir::currentPath(), QStringLiteral("Text files only (*.txt)"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

// The system asks its own "exists" question afterwards, so the toolkit's
// overwrite confirmation is switched off. A name typed without an extension
// gets the one of the chosen filter.
static std::optional<QString> savefile(QWidget* parent, const QString& name, const QString& title,
                                       const QStringList& filters = {}) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(name);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        auto suffix = [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(filter.contains(QStringLiteral("*.pdf"))
                                        ? QStringLiteral("pdf")
                                        : QStringLiteral("txt"));
        };
        suffix(filters.constFirst());
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, suffix);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString chosen = dialog.selectedFiles().constFirst();
    if (dialog.selectedNameFilter().contains(QStringLiteral("*.pdf")) &&
        QFileInfo(chosen).suffix().isEmpty() && !chosen.endsWith(QLatin1Char('.')))
        chosen += QStringLiteral(".pdf");
    return withtxtsuffix(chosen);
}

std::optional<QString> QtDialogs::saveresultsfile() {
    return savefile(parent_, QStringLiteral("SaveDialog2"),
                    QStringLiteral("Give a file name to save the results to."));
}

std::optional<QString> QtDialogs::savereportfile(bool pdffirst) {
    QStringList filters = {QStringLiteral("text file (*.txt)"), QStringLiteral("PDF file (*.pdf)")};
    if (pdffirst) std::swap(filters[0], filters[1]);
    return savefile(parent_, QStringLiteral("SaveDialog1"), QString(), filters);
}

std::optional<QString> QtDialogs::savedatasetfile() {
    return savefile(parent_, QStringLiteral("SaveDatasetDialog"),
                    QStringLiteral("Data file to add the inputs to as a dataset"),
                    {QStringLiteral("Data files (*.txt)"), QStringLiteral("All files (*)")});
}

std::optional<int> QtDialogs::choosedataset(const QStringList& items) {
    QInputDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("ChooseDatasetDialog"));
    dialog.setWindowTitle(QStringLiteral("Open dataset"));
    dialog.setLabelText(QStringLiteral("Dataset to put into the fields:"));
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems, true);
    dialog.setComboBoxItems(items);
    if (!items.isEmpty()) dialog.setTextValue(items.constFirst());
    // Wide enough for the longest line, within the screen.
    const QFontMetrics metrics(dialog.font());
    int longest = 0;
    for (const QString& item : items) longest = std::max(longest, metrics.horizontalAdvance(item));
    const QScreen* screen = dialog.screen();
    const int limit = screen ? screen->availableGeometry().width() * 9 / 10 : 900;
    dialog.resize(std::min(longest + 60, limit), 360);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const int index = int(items.indexOf(dialog.textValue()));
    if (index < 0) return std::nullopt;
    return index;
}

std::optional<std::uint32_t> QtDialogs::askseed() {
    for (;;) {
        bool ok = false;
        const QString text = QInputDialog::getText(
            parent_, QStringLiteral("Seed for the next run"),
            QStringLiteral("The next run starts its generator from this seed, a whole number\n"
                           "from 1 to 4294967294 (as korvex-batch --seed takes), so that the\n"
                           "run the results dialog showed it for is repeated exactly:"),
            QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        if (const auto seed = parsewhole(text.trimmed().toStdString(), 1, 4294967294u))
            return std::uint32_t(*seed);
        message(MessageKind::error,
                QStringLiteral("A seed is a whole number from 1 to 4294967294."));
    }
}

ResultsChoice QtDialogs::results(const QString& text, const QString& seed) {
    ResultsDialog dialog(text, seed, parent_);
    dialog.exec();
    return dialog.choice();
}

QStringList QtDialogs::printers() { return QPrinterInfo::availablePrinterNames(); }

bool QtDialogs::printsetup(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace korvex

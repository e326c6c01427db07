// The results dialog loop, saving and printing.
#include "ui/results.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>

#include "ui/form1.h"
#include "ui/texts.h"

namespace korvex {

bool writereport(const QString& name, const std::string& text, QString* error) {
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const std::string content = text + "\r\n";
    if (file.write(content.data(), qint64(content.size())) != qint64(content.size())) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QStringList printedlines(const PrintLines& printlines) {
    static const QRegularExpression linebreak(QStringLiteral("\r\n|\r|\n"));
    QStringList out;
    for (const std::string& line : printlines) out += QString::fromStdString(line).split(linebreak);
    return out;
}

bool printreport(QPrinter& printer, const QStringList& lines) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    QFont font = painter.font();
    font.setPointSizeF(12);
    painter.setFont(font);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double pageheight = painter.viewport().height();
    double y = 0;
    for (const QString& line : lines) {
        if (y > 0 && y + metrics.height() > pageheight) {
            if (!printer.newPage()) return false;
            y = 0;
        }
        painter.drawText(QPointF(0, y + metrics.ascent()), line);
        y += metrics.lineSpacing();
    }
    return painter.end();
}

void TForm1::resultsloop() {
    for (;;) {
        switch (dialogs().results(displaytext(state_.report.lastresults + "\r\r"))) {
            case ResultsChoice::save:
                if (!gosave()) return;
                break;
            case ResultsChoice::print:
                if (!goprint()) return;
                break;
            case ResultsChoice::finish: return;
            case ResultsChoice::closed: break;  // shown again
        }
    }
}

void TForm1::Showlastresults1Click() { resultsloop(); }

bool TForm1::gosave() {
    for (;;) {
        const auto name = dialogs().savereportfile();
        if (!name) return true;
        bool ok = true;
        if (QFileInfo::exists(*name)) {
            const QString full = QDir::toNativeSeparators(QFileInfo(*name).absoluteFilePath());
            ok = dialogs().confirm(ConfirmKind::yesno, full + QString::fromLatin1(overwritesuffix));
        }
        if (ok) {
            QString error;
            if (!writereport(*name, state_.report.lastresults, &error)) {
                dialogs().message(MessageKind::error,
                                  QStringLiteral("Cannot write %1: %2")
                                      .arg(QDir::toNativeSeparators(*name), error));
                return false;
            }
            return true;
        }
    }
}

bool TForm1::goprint() {
    const QStringList names = dialogs().printers();
    ListBox1->clear();
    ListBox1->addItems(names);
    if (names.isEmpty()) {
        dialogs().message(MessageKind::error, QString::fromLatin1(noprinter));
        return true;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!dialogs().printsetup(printer)) return true;
    if (!printreport(printer, printedlines(state_.report.printlines))) {
        dialogs().message(MessageKind::error,
                          QStringLiteral("The report could not be printed on ") +
                              printer.printerName() + QStringLiteral("."));
        return false;
    }
    return true;
}

}  // namespace korvex

// The results dialog loop, saving and printing.
#include "ui/results.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "engine/kinds.h"
#include "picture/geometrypicture.h"
#include "ui/form1.h"
#include "ui/texts.h"

namespace korvex {

// Replaces the file's contents with data atomically. Every byte is flushed
// before the commit: a commit whose own final flush fails (a full disk, the
// file size limit) reports success and leaves the file cut short in place of
// the old one. A short write leaves the file's error string "Unknown error";
// the system's reason is errno's.
static bool writewhole(const QString& name, const QByteArray& content, QString* error) {
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    errno = 0;
    if (file.write(content) != content.size() || !file.flush()) {
        *error = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool writereport(const QString& name, const std::string& text, QString* error) {
    return writewhole(name, QByteArray::fromStdString(text + "\r\n"), error);
}

QByteArray reportpdf(const PdfHead& head, const QStringList& lines) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QStringLiteral("Korvex report"));
    pdf.setCreator(QStringLiteral("Korvex ") + QStringLiteral(KORVEX_VERSION));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    pdf.setResolution(300);

    QPainter painter;
    if (!painter.begin(&pdf)) return {};
    const double pagewidth = painter.viewport().width();
    double y = 0;
    QFont font = painter.font();
    font.setPointSizeF(14);
    font.setBold(true);
    painter.setFont(font);
    QFontMetricsF metrics(painter.font(), painter.device());
    painter.drawText(QPointF(0, y + metrics.ascent()), QStringLiteral("Korvex ") +
                                                           QStringLiteral(KORVEX_VERSION) +
                                                           QStringLiteral(": average solid angle"));
    y += metrics.lineSpacing() * 1.3;
    font.setPointSizeF(10);
    font.setBold(false);
    painter.setFont(font);
    metrics = QFontMetricsF(painter.font(), painter.device());
    for (const QString& line : {QStringLiteral("Date: ") + head.date,
                                head.integral ? QStringLiteral("Seed: not used (integral method)")
                                : head.seed   ? QStringLiteral("Seed: %1").arg(*head.seed)
                                              : QStringLiteral("Seed: none")}) {
        painter.drawText(QPointF(0, y + metrics.ascent()), line);
        y += metrics.lineSpacing();
    }
    y += metrics.lineSpacing() * 0.5;
    if (head.scene) {
        // The inputs' geometry in a square of nearly half the page's width.
        // Drawn as in a window 320 pixels square, then scaled to the page, so
        // that its texts and pens keep their proportions.
        const double side = pagewidth * 0.45;
        painter.save();
        painter.translate(0, y);
        painter.scale(side / 320, side / 320);
        GeometryPicture(*head.scene, {}).paint(painter, QRectF(0, 0, 320, 320));
        painter.restore();
        y += side + metrics.lineSpacing();
    }
    font.setPointSizeF(12);
    painter.setFont(font);
    metrics = QFontMetricsF(painter.font(), painter.device());
    const double pageheight = painter.viewport().height();
    for (const QString& line : lines) {
        if (y > 0 && y + metrics.height() > pageheight) {
            if (!pdf.newPage()) return {};
            y = 0;
        }
        painter.drawText(QPointF(0, y + metrics.ascent()), line);
        y += metrics.lineSpacing();
    }
    if (!painter.end()) return {};
    return buffer.data();
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
        const QString seed =
            reportintegral_ ? QStringLiteral("Seed of this run: not used by the integral method")
            : reportseed_   ? QStringLiteral("Seed of this run: %1").arg(*reportseed_)
                            : QString();
        switch (dialogs().results(displaytext(state_.report.lastresults + "\r\r"), seed)) {
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

bool TForm1::gosave(bool pdffirst) {
    for (;;) {
        const auto name = dialogs().savereportfile(pdffirst);
        if (!name) return true;
        bool ok = true;
        if (QFileInfo::exists(*name)) {
            const QString full = QDir::toNativeSeparators(QFileInfo(*name).absoluteFilePath());
            ok = dialogs().confirm(ConfirmKind::yesno, full + QString::fromLatin1(overwritesuffix));
        }
        if (ok) {
            QString error;
            bool written = false;
            if (ispdfname(*name)) {
                PdfHead head;
                head.date =
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
                head.seed = reportseed_;
                head.integral = reportintegral_;
                if (reportinputs_ && consistentkinds(reportinputs_->second))
                    head.scene = makescene(reportinputs_->first, reportinputs_->second, 0);
                const QByteArray pdf = reportpdf(head, printedlines(state_.report.printlines));
                if (pdf.isEmpty()) error = QStringLiteral("the PDF could not be made");
                written = !pdf.isEmpty() && writewhole(*name, pdf, &error);
            } else {
                written = writereport(*name, state_.report.lastresults, &error);
            }
            if (!written) {
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
        // Without a printer the report can still go on paper later, as PDF.
        if (dialogs().confirm(ConfirmKind::yesno, QString::fromLatin1(noprinter) +
                                                      QStringLiteral("\n\nSave the report as a PDF "
                                                                     "file instead?")))
            return gosave(true);
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

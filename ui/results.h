// Writing and printing the last report.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "io/report.h"
#include "picture/geometrypicture.h"

class QPrinter;

namespace korvex {

// Writes text and a line end (CR LF) to the file, replacing it atomically:
// on failure the former file is left as it was. error receives the
// platform's message.
bool writereport(const QString& name, const std::string& text, QString* error);

// The printed lines: each report line, split at its line breaks; an empty
// report line is one empty printed line.
QStringList printedlines(const PrintLines& printlines);

// The head of a report's PDF: the program and its version, then these.
struct PdfHead {
    QString date;
    std::optional<std::uint32_t> seed;
    bool integral = false;       // computed by the integral method, which has no seed
    std::optional<Scene> scene;  // the inputs' geometry, drawn below the head
};

// The report as a PDF document: the head, then the lines at 12 points. Empty
// when the document cannot be made.
QByteArray reportpdf(const PdfHead& head, const QStringList& lines);

// Prints the lines at 12 points, starting a new page when one is full.
bool printreport(QPrinter& printer, const QStringList& lines);

}  // namespace korvex

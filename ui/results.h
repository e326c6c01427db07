// Writing and printing the last report.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "io/report.h"

class QPrinter;

namespace korvex {

// Writes text and a line end (CR LF) to the file, replacing it atomically:
// on failure the former file is left as it was. error receives the
// platform's message.
bool writereport(const QString& name, const std::string& text, QString* error);

// The printed lines: each report line, split at its line breaks; an empty
// report line is one empty printed line.
QStringList printedlines(const PrintLines& printlines);

// Prints the lines at 12 points, starting a new page when one is full.
bool printreport(QPrinter& printer, const QStringList& lines);

}  // namespace korvex

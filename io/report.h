// The text report of one dataset: 19 printlines and their join, lastresults.
#pragma once

#include <array>
#include <string>

#include "engine/estimate.h"
#include "engine/geometry.h"
#include "engine/tallies.h"

namespace korvex {

// The report as 19 lines; one line may hold "\r\n" breaks, and a line the
// dataset does not use stays empty.
using PrintLines = std::array<std::string, 19>;

struct Report {
    PrintLines printlines;  // all empty before the first run
    std::string lastresults = "No results";
};

struct ReportContext {
    bool aborted = false;
    int datasetnumber = 0;       // batch runs, from 1
    std::string processingtime;  // already formatted
};

// Fills printlines and lastresults from the dataset (flags.batchrun decides
// the first line); the statistics are estimate()'s, only formatted here.
void makereport(Report& report, const RunParameters& prm, const GeometryFlags& flags,
                const RunTallies& t, const ReportContext& ctx);

// The warning that heads a report when some emission started on or inside
// the detector, or underneath a window, without the line breaks around it.
std::string sourcewarning(const GeometryFlags& flags);

// lastresults from the 19 lines: each non-empty line followed by "\r\n",
// then one more "\r\n".
std::string joinlines(const PrintLines& lines);

}  // namespace korvex

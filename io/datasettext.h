// A dataset as text: the one-line summary that names its kinds and key
// values (the window's dataset list, korvex-draw's titles), the data-file
// entry the window appends when it saves its inputs, and every dataset of a
// data file read for the window to choose from.
#pragma once

#include <string>
#include <vector>

#include "engine/geometry.h"

namespace korvex {

// "disc r1 = 2.5 over cylinder r2 = 3.81, t2 = 7.62; d = 1, c = 10;
// rot 30/0/0; 4 pi". A round source over a cylinder or sphere is placed by d,
// any other pair by a3 and b3; "rot" is left out when no angle is set. A disc
// of radius 0 without thickness is a point. The flags must be consistent.
std::string datasetsummary(const RunParameters& prm, const GeometryFlags& flags);

// The dataset as the 22 values of a data file and its closing "*", one a
// line with CR LF line ends, each value followed by a comment that names it,
// under the heading comment "/ heading". Every number reads back as the same
// double (the angles as the same radians), so a saved dataset runs as the
// inputs it was made from.
std::string datasetentry(const RunParameters& prm, const GeometryFlags& flags,
                         const std::string& heading);

// True when the text (a data file's contents) ends inside a dataset: its last
// value line is not the "*" that closes one. A dataset appended after it
// must start with a "*" of its own, or its values would join that dataset.
bool endsinsidedataset(const std::string& text);

struct FileDataset {
    int number = 0;  // from 1, in the order of the file
    RunParameters prm;
    GeometryFlags flags;  // as the data file sets them (ptsrc never set)
    std::string problem;  // why it cannot be run; empty when it can
};

// Reads every dataset of the data file at path, as a batch run reads them.
// False, with error set to the system's text, when the file cannot be read.
bool readdatasets(const std::string& path, std::vector<FileDataset>& datasets, std::string& error);

}  // namespace korvex

// Batch data files and results files.
//
// A data file holds datasets of up to 23 values, one value a line; "/" starts
// a comment, blank lines are ignored and a line "*" ends a dataset. Values 1
// to 5 and 22 are flags ("true" in any case is true), 6 to 21 are numbers,
// 23 is ignored. A results file receives one entry per dataset: its report or
// a problem entry, then an empty line.
#pragma once

#include <cstdio>
#include <string>

#include "engine/geometry.h"

namespace korvex {

// A data file open for reading, line by line; held open for a whole batch run.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // False, with error() set, when the file cannot be opened.
    bool open(const std::string& path);
    void close();  // never fails; harmless when not open
    bool isopen() const { return file_ != nullptr; }

    // True when no further character can be read (also after a read error).
    bool atend();
    // The next line without its line end (LF, CR LF or a lone CR); false at
    // the end of the file or on a read error. A UTF-8 byte-order mark at the
    // start of the file is skipped.
    bool readline(std::string& line);

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }  // the system's text

private:
    void fail();

    std::FILE* file_ = nullptr;
    bool firstline_ = true;
    bool aftercr_ = false;  // the last line ended in CR: a LF next belongs to it
    std::string path_;
    std::string error_;
};

// The batch run's state between datasets.
struct BatchState {
    bool moredata = false;  // another dataset may follow
    int datasetnumber = 0;  // datasets delivered so far, numbered from 1
    // Why the dataset just read cannot be simulated (a value that is not a
    // number, a malformed dataset); empty when it was read cleanly.
    std::string readerror;
};

// A line as the reader sees it: the comment from the first "/" removed, then
// leading and trailing blanks and control characters.
std::string prepareline(const std::string& line);

// Reads the next dataset into prm and the flags it carries. Expects the
// dataset head done (prm cleared, the window flags and batch.readerror
// cleared). At the end of the file clears batch.moredata; a dataset with no
// values sets flags.dataerror and changes nothing else. A malformed dataset
// or a value that is not a number sets batch.readerror, with emissions = 0.
// A read error on the file sets flags.dataerror too; file.failed() tells.
void readdataset(DataFile& file, RunParameters& prm, GeometryFlags& flags, BatchState& batch);

// The entry written instead of a report: "Problem in dataset N" and
// "No results saved - " + reason + ".", framed by empty lines.
std::string problementry(int datasetnumber, const std::string& reason);

// The reason for a problem entry when reading the dataset failed.
std::string readerrorreason(const std::string& readerror);

// Appends one entry and an empty line to the results file, creating the file
// when it does not exist; the file is closed again at once. On failure the
// file is left as it was before the call (earlier entries are kept; a file
// this call created is removed) and error holds the system's text.
bool appendresults(const std::string& path, const std::string& entry, std::string& error);

}  // namespace korvex

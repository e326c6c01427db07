// Batch data files: reading them dataset by dataset, and the problem entry
// that stands in a results file (io/resultsfile.h) for a dataset that cannot
// be simulated.
//
// A data file holds datasets of up to 23 values, one value a line; "/" starts
// a comment, blank lines are ignored and a line "*" ends a dataset. Values 1
// to 5 and 22 are flags ("true" in any case is true), 6 to 21 are numbers,
// 23 is ignored.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/geometry.h"

namespace korvex {

// A data file open for reading, line by line; held open for a whole batch run.
// It may be a pipe or FIFO: a read waits only when it needs a byte.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // False, with error() set, when the file cannot be opened.
    bool open(const std::string& path);
    void close();  // never fails; harmless when not open
    // Asked now and then while a read waits for input (from a pipe or FIFO):
    // true gives the read up, and stopped() tells.
    void setstop(std::function<bool()> stop) { stop_ = std::move(stop); }

    // True when no further character can be read (also after a read error
    // or a stop).
    bool atend();
    // The next line without its line end (LF, CR LF or a lone CR); false at
    // the end of the file, on a read error or a stop. A UTF-8 byte-order mark
    // at the start of the file is skipped.
    // A line is kept to its first maxline bytes; the rest is read and
    // dropped, and linecut() tells (a file of one endless line, /dev/zero,
    // must not fill the memory).
    bool readline(std::string& line);
    bool linecut() const { return linecut_; }
    static constexpr std::size_t maxline = std::size_t{1} << 20;

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }  // the system's text
    bool stopped() const { return stopped_; }

private:
    void fail(int code);
    bool fill();  // false at the end of the file, on a read error or a stop
    int get();    // the next byte, or -1 where fill() fails

    int fd_ = -1;
    bool firstline_ = true;
    bool aftercr_ = false;  // the last line ended in CR: a LF next belongs to it
    bool linecut_ = false;  // the last line was longer than maxline
    std::string path_;
    std::string error_;
    std::function<bool()> stop_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, size_ = 0;
    bool ended_ = false, stopped_ = false;
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
// values sets flags.dataerror and changes nothing else. A dataset closed by
// "*" returns at once, without looking for a next one. A malformed dataset
// or a value that is not a number sets batch.readerror, with emissions = 0.
// A read error or a stop on the file sets flags.dataerror too;
// file.failed() and file.stopped() tell.
void readdataset(DataFile& file, RunParameters& prm, GeometryFlags& flags, BatchState& batch);

// The entry written instead of a report: "Problem in dataset N" and
// "No results saved - " + reason + ".", framed by empty lines.
std::string problementry(int datasetnumber, const std::string& reason);

// The reason for a problem entry when reading the dataset failed.
std::string readerrorreason(const std::string& readerror);

// A value as a message quotes it: at most about 60 characters, each byte
// outside printable ASCII as \xNN, and the value's length when it is cut.
std::string quotedvalue(const std::string& value);

}  // namespace korvex

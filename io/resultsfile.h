// The results file of a batch run. Entries go in whole or not at all, even
// when several runs append to one file at once: each append holds an
// advisory lock (flock) on the file, writes the entry with one write on an
// O_APPEND descriptor, and syncs it to disk before it counts as written. A
// failed append takes back only bytes it wrote itself, and only while the
// file still ends with them.
#pragma once

#include <functional>
#include <string>

namespace korvex {

// True when both paths name one existing file: the same device and inode,
// through any path or link.
bool samefile(const std::string& a, const std::string& b);

// Appends the entry and an empty line ("\r\n\r\n") to the file at path, which
// is opened and closed again. A file that does not exist yet appears only
// with its first entry whole (where the file system allows, else it is
// created first). On failure error holds the system's text and every entry
// written before is kept. While another run holds the file, or a FIFO put
// in its place waits for its reader, stop is asked now and then; true gives
// the entry up, unwritten, with a failure.
bool appendresults(const std::string& path, const std::string& entry, std::string& error,
                   const std::function<bool()>& stop = {});

// The append of appendresults for a text that is written as it stands (no
// empty line after it): one record of a file a program reads. header goes
// in the same write before the first record of a file that is new or empty.
bool appendentry(const std::string& path, const std::string& text, const std::string& header,
                 std::string& error, const std::function<bool()>& stop = {});

// The results file for one batch run, or a file of records beside it.
class ResultsFile {
public:
    ResultsFile() = default;
    ~ResultsFile();
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    // Before the first dataset runs: refuses the data file itself, and checks
    // that path can be opened for appending, or created in its folder,
    // without creating it. A FIFO or
    // device is opened here once for the whole run (a regular file once per
    // entry); while a FIFO waits for its reader, stop is asked now and then
    // and true gives up, with error() empty. Every append asks it too while
    // another run holds the file.
    bool open(const std::string& path, const std::string& datafile,
              const std::function<bool()>& stop = {});
    // The file takes records (JSON Lines, CSV) rather than entries: each is
    // written as it stands, with header before the first one of an empty
    // file. Called before open.
    void setrecords(std::string header = {});
    bool append(const std::string& entry);
    void close();  // never fails; harmless when not open

    const std::string& error() const { return error_; }  // the system's text

private:
    std::string path_;
    std::function<bool()> stop_;
    int fd_ = -1;  // held for a FIFO or device only
    std::string error_;
    bool records_ = false;
    std::string header_;
    bool headed_ = false;  // the header went to the FIFO or device held
};

}  // namespace korvex

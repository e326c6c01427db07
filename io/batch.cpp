#include "io/batch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "engine/dataset.h"
#include "engine/kinds.h"
#include "io/numbers.h"
#include "io/systemtext.h"

namespace korvex {

namespace {

// How long a read waits for input before it asks whether to stop.
constexpr int stoppoll = 200;  // milliseconds

}  // namespace

DataFile::~DataFile() { close(); }

bool DataFile::open(const std::string& path) {
    close();
    path_ = path;
    error_.clear();
    pos_ = size_ = 0;
    ended_ = stopped_ = false;
    firstline_ = true;
    aftercr_ = false;
    // Opening a FIFO would wait, deaf to every signal (open restarts), until
    // a writer comes: it is opened without waiting, and the reads wait for
    // the writer instead, where a stop is heard.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        fail(errno);
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    buffer_.resize(65536);
    return true;
}

void DataFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void DataFile::fail(int code) { error_ = systemtext(path_, code); }

bool DataFile::fill() {
    if (fd_ < 0 || ended_ || failed() || stopped_) return false;
    // Asked at every refill too: input that never pauses (a device, a
    // huge file) must not make the run deaf to a stop.
    if (stop_ && stop_()) {
        stopped_ = true;
        return false;
    }
    for (;;) {
        // Waits for input first: a FIFO whose writer has not come yet would
        // read as ended.
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, stop_ ? stoppoll : -1);
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) {
                fail(errno);
                return false;
            }
            if (stop_ && stop_()) {
                stopped_ = true;
                return false;
            }
            continue;
        }
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            pos_ = 0;
            size_ = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            ended_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        fail(errno);
        return false;
    }
}

int DataFile::get() {
    if (pos_ == size_ && !fill()) return -1;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

bool DataFile::atend() {
    if (pos_ == size_ && !fill()) return true;
    if (aftercr_ && buffer_[pos_] == '\n') {  // the rest of a CR LF is no further line
        aftercr_ = false;
        ++pos_;
        return pos_ == size_ && !fill();
    }
    return false;
}

bool DataFile::readline(std::string& line) {
    line.clear();
    linecut_ = false;
    if (atend()) return false;
    for (;;) {
        const int ch = get();
        // The end of the file ends a last line without a line end.
        if (ch < 0) {
            if (failed() || stopped_) return false;
            break;
        }
        // The LF of a CR LF is skipped by the next atend() rather than read
        // here, so that a line ended by a lone CR is delivered without
        // waiting for a further byte.
        aftercr_ = ch == '\r';
        if (ch == '\n' || ch == '\r') break;
        if (line.size() < maxline) {
            line += static_cast<char>(ch);
        } else {
            linecut_ = true;
        }
    }
    if (firstline_) {
        firstline_ = false;
        if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    }
    return true;
}

std::string prepareline(const std::string& line) {
    std::string s = line.substr(0, line.find('/'));
    auto blank = [](char ch) { return static_cast<unsigned char>(ch) <= ' '; };
    std::size_t first = 0;
    while (first < s.size() && blank(s[first])) ++first;
    std::size_t last = s.size();
    while (last > first && blank(s[last - 1])) --last;
    return s.substr(first, last - first);
}

namespace {

constexpr int usedvalues = 22;
constexpr int maxvalues = 23;

bool flagvalue(const std::string& text) {
    std::string lower = text;
    for (char& ch : lower) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return lower == "true";
}

std::string valuestext(int n) { return std::to_string(n) + (n == 1 ? " value" : " values"); }

// Values 6 to 21 in order into ds. The position of the first value that is
// not a number, or 0; the values after it stay 0.
int convertnumbers(const std::array<std::string, maxvalues + 1>& value, Dataset& ds,
                   std::string& readerror) {
    for (const ValueInfo& i : valuetable()) {
        const std::string& text = value[static_cast<std::size_t>(i.position)];
        const std::optional<double> number = parsenumber(text);
        if (!number) {
            readerror = quotedvalue(text) + " is not a valid floating point value";
            return i.position;
        }
        ds[i.value] = *number;
    }
    return 0;
}

}  // namespace

void readdataset(DataFile& file, RunParameters& prm, GeometryFlags& flags, BatchState& batch) {
    // Slots 1 to 23; a dataset holding more is counted but not stored.
    std::array<std::string, maxvalues + 1> value{};
    int count = 0;
    bool closed = false;
    bool cut = false;
    std::string line;
    while (!file.atend()) {
        if (!file.readline(line)) break;
        cut = cut || file.linecut();
        const std::string prepared = prepareline(line);
        if (prepared.empty()) continue;
        if (prepared == "*") {
            closed = true;
            break;
        }
        // Counted no further than one past the last slot: an endless
        // dataset must not overflow the count.
        if (count <= maxvalues) ++count;
        if (count <= maxvalues) value[count] = prepared;
    }
    if (file.failed() || file.stopped()) {
        batch.moredata = false;
        flags.dataerror = true;
        return;
    }
    // After "*" the next byte is not awaited: from a pipe, this dataset runs
    // before the next one is written.
    if (!closed && file.atend()) {
        batch.moredata = false;
        // Nothing but blank or comment lines after the last dataset.
        if (count == 0) {
            flags.dataerror = true;
            return;
        }
    }
    if (cut) {
        batch.readerror = "A line is longer than " + std::to_string(DataFile::maxline) + " bytes";
        prm.emissions = 0;
        return;
    }
    if (count > maxvalues) {
        batch.readerror = "More than " + std::to_string(maxvalues) + " values before '*'";
        prm.emissions = 0;
        return;
    }
    if (!closed && count < usedvalues) {
        batch.readerror = "The data file ends after " + valuestext(count) + " of a dataset; " +
                          std::to_string(usedvalues) + " are needed";
        prm.emissions = 0;
        return;
    }

    // Values 1 to 5 as they stand: a set that names no single pair is kept
    // for the run to refuse. A data file cannot describe a point source (r1 =
    // 0 and t1 = 0 is one), so a point-source choice left on the window must
    // not carry over.
    GeometryFlags named;
    named.cylsrc = flagvalue(value[1]);
    named.cubsrc = flagvalue(value[2]);
    named.cyldet = flagvalue(value[3]);
    named.cubdet = flagvalue(value[4]);
    named.sphdet = flagvalue(value[5]);
    named.ptsrc = false;

    Dataset ds;
    ds.source = named.cubsrc ? SourceShape::cuboid : SourceShape::cylinder;
    ds.detector = detectorshape(named);
    ds.twopi = flags.twopisrc;  // kept when the dataset cannot be read to its end
    const int bad = convertnumbers(value, ds, batch.readerror);
    // Not a bad value but a missing one: the dataset was closed too early.
    if (bad > count) {
        batch.readerror = "The dataset ends at '*' after " + valuestext(count) + "; " +
                          std::to_string(usedvalues) + " are needed";
    }
    // Without value 22 the dataset would silently run as 4 pi.
    if (bad == 0 && count < usedvalues)
        batch.readerror = "Value 22 (2 pi source, true or false) is missing";
    if (batch.readerror.empty()) ds.twopi = flagvalue(value[22]);
    makerun(ds, flags, prm);
    if (!consistentkinds(named)) {
        flags.cylsrc = named.cylsrc;
        flags.cubsrc = named.cubsrc;
        flags.cyldet = named.cyldet;
        flags.cubdet = named.cubdet;
        flags.sphdet = named.sphdet;
    }
    if (!batch.readerror.empty()) prm.emissions = 0;
}

std::string problementry(int datasetnumber, const std::string& reason) {
    return "\r\n\r\nProblem in dataset " + std::to_string(datasetnumber) + "\r\n" +
           "No results saved - " + reason + "." + "\r\n\r\n";
}

std::string readerrorreason(const std::string& readerror) {
    return "error reading input dataset. " + readerror;
}

std::string quotedvalue(const std::string& value) {
    constexpr std::size_t shown = 60;
    std::string text = "'";
    std::size_t k = 0;
    for (; k < value.size() && text.size() <= shown; ++k) {
        const auto ch = static_cast<unsigned char>(value[k]);
        if (ch >= ' ' && ch < 0x7F) {
            text += static_cast<char>(ch);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", ch);
            text += escaped;
        }
    }
    if (k == value.size()) return text + "'";
    return text + "...' (" + std::to_string(value.size()) + " bytes)";
}

}  // namespace korvex

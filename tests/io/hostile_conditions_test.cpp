// korvex-batch under hostile conditions: results files that are not what they
// seem, runs appending to one file at once, writes that fail, signals, pipes
// and FIFOs, and input that hides nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "batchprogram.h"
#include "io/record.h"

namespace korvex {
namespace {

using testing::dataset;
using testing::Launch;
using testing::Outcome;
using testing::Program;
using testing::readfile;
using testing::run;
using testing::TempDir;

const std::string crlf = "\r\n";
const std::string entryend = crlf + crlf + crlf + crlf;

// One entry of a results file: its dataset number, and the run it came from
// as told by a marker in its text.
struct Entry {
    int number = 0;
    char marker = '?';
};

// Splits a results file into whole entries: a report, or a problem entry
// whose reason is one line. False at the first thing that is neither.
// markers maps a text inside an entry to the run that wrote it.
bool wholeentries(const std::string& text, const std::map<std::string, char>& markers,
                  std::vector<Entry>& entries) {
    const std::string report = "Input data from file, dataset ";
    const std::string problem = crlf + crlf + "Problem in dataset ";
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find(entryend, pos + 4);
        if (end == std::string::npos || end - pos > 4096) return false;
        const std::string entry = text.substr(pos, end - pos);
        pos = end + entryend.size();
        Entry e;
        if (entry.rfind(report, 0) == 0) {
            e.number = std::atoi(entry.c_str() + report.size());
            const std::size_t last = entry.rfind(crlf);
            if (entry.find(report, 1) != std::string::npos || last == std::string::npos ||
                entry.compare(last + 2, 18, "Processing time = ") != 0) {
                return false;
            }
        } else if (entry.rfind(problem, 0) == 0) {
            e.number = std::atoi(entry.c_str() + problem.size());
            const std::size_t reason = entry.find(crlf + "No results saved - ", problem.size());
            if (reason == std::string::npos || entry.find(crlf, reason + 2) != std::string::npos ||
                entry.back() != '.') {
                return false;
            }
        } else {
            return false;
        }
        for (const auto& [text, marker] : markers) {
            if (entry.find(text) != std::string::npos) e.marker = marker;
        }
        entries.push_back(e);
    }
    return true;
}

// The entries one run wrote are numbered 1 to count, in order.
bool numbered(const std::vector<Entry>& entries, char marker, int count) {
    int next = 1;
    for (const Entry& e : entries) {
        if (e.marker != marker) continue;
        if (e.number != next) return false;
        ++next;
    }
    return next == count + 1;
}

TEST(HostileConditions, ResultsFileCheckedBeforeAnythingRuns) {
    TempDir dir;
    const std::string text = dataset("1000") + dataset("1000");
    const std::string data = dir.write("data.txt", text);
    std::filesystem::create_hard_link(data, dir.file("hard.txt"));
    std::filesystem::create_symlink(data, dir.file("soft.txt"));
    std::filesystem::create_directory(dir.file("folder"));
    const auto check = [&](const std::string& what, int status, const std::string& message,
                           const Outcome& o) {
        EXPECT_EQ(o.status, status) << what << "\n" << o.err;
        EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("Dataset 1 from file"), std::string::npos) << what;
        EXPECT_EQ(o.err.find("Done."), std::string::npos) << what;
        EXPECT_EQ(readfile(data), text) << what;
    };
    const struct {
        std::string results;
        int status;
        std::string message;
    } cases[] = {
        // Its own reports would be read back as datasets.
        {data, 2, "is the data file itself"},
        {dir.file("hard.txt"), 2, "is the data file itself"},
        {dir.file("soft.txt"), 2, "is the data file itself"},
        {dir.file("folder/../data.txt"), 2, "is the data file itself"},
        {dir.file("no/such/results.txt"), 1, "No such file or directory"},
        {dir.file("data.txt/results.txt"), 1, "Not a directory"},
        {dir.file("folder"), 1, "Is a directory"},
    };
    for (const auto& c : cases)
        check(c.results, c.status, c.message, run(dir, {"--seed", "5", data, c.results}));
    // A relative path in a folder deleted before the run: it looks like a
    // writable folder but takes no new file.
    std::filesystem::create_directory(dir.file("gone"));
    check("deleted folder", 1, "results.txt: No such file or directory",
          Program(dir, Launch{.args = {"--seed", "5", data, "results.txt"},
                              .deletedcwd = dir.file("gone")})
              .finish());
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(HostileConditions, DataFileWithoutADataset) {
    for (const std::string text : {"", "/ only a comment\n\n  \n"}) {
        TempDir dir;
        const std::string data = dir.write("data.txt", text);
        const Outcome o = run(dir, {data, dir.file("results.txt")});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "korvex-batch: " + data + " holds no dataset\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file("results.txt")));
    }
}

TEST(HostileConditions, BadValueEchoIsShortAndPrintable) {
    TempDir dir;
    const std::string value = std::string("5\0\x7f", 3) + std::string(1000000, 'x');
    std::string text = dataset("100");
    text.replace(text.find("\n5\n"), 3, "\n" + value + "\n");
    const std::string results = dir.file("results.txt");
    const Outcome o = run(dir, {"--quiet", dir.write("data.txt", text), results});
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string entry = readfile(results);
    EXPECT_LT(entry.size(), 300u);
    EXPECT_NE(entry.find("- error reading input dataset. '5\\x00\\x7Fxxxxxxx"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("xxx...' (1000003 bytes) is not a valid floating point value."),
              std::string::npos)
        << entry;
}

// The records of a JSON Lines or CSV file as entries: every line whole (a JSON
// object, or a CSV row of the header's width after one header row), its
// dataset number, and the run it came from as told by a marker in its text.
bool wholerecords(const std::string& text, bool csv, const std::map<std::string, char>& markers,
                  std::vector<Entry>& entries) {
    const std::string end = csv ? crlf : "\n";
    const std::string header = csv ? csvheader() : "";
    if (text.compare(0, header.size(), header) != 0) return false;
    const auto columns = static_cast<std::size_t>(std::count(header.begin(), header.end(), ','));
    for (std::size_t pos = header.size(); pos < text.size();) {
        const std::size_t stop = text.find(end, pos);
        if (stop == std::string::npos) return false;
        const std::string line = text.substr(pos, stop - pos);
        pos = stop + end.size();
        Entry e;
        if (csv) {
            // The dataset number is the seventh field; no field before it is quoted.
            if (static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) != columns)
                return false;
            std::size_t field = 0;
            for (int k = 0; k < 6; ++k) field = line.find(',', field) + 1;
            e.number = std::atoi(line.c_str() + field);
        } else {
            const auto object = nlohmann::json::parse(line, nullptr, false);
            if (object.is_discarded() || object.value("schema", "") != "korvex-result/1")
                return false;
            e.number = object.value("dataset", 0);
        }
        for (const auto& [marker, run] : markers) {
            if (line.find(marker) != std::string::npos) e.marker = run;
        }
        entries.push_back(e);
    }
    return true;
}

// Two runs append to one file at once: entries with long bad values (once
// 20 KB each) between short reports, each run's own dataset numbers in order;
// and so do their JSON Lines and CSV records.
TEST(HostileConditions, ConcurrentRunsKeepEveryEntryWhole) {
    TempDir dir;
    const int count = 60;
    std::string a, b;
    for (int i = 0; i < count / 2; ++i) {
        a += dataset("100", std::string(20000, 'A')) + dataset("100", "5");
        b += dataset("100", std::string(20000, 'B')) + dataset("100", "6");
    }
    const std::string results = dir.file("results.txt");
    const std::string jsonl = dir.file("results.jsonl"), csv = dir.file("results.csv");
    Program first(dir, {"--quiet", "--jsonl", jsonl, "--csv", csv, dir.write("a.txt", a), results});
    Program second(dir,
                   {"--quiet", "--jsonl", jsonl, "--csv", csv, dir.write("b.txt", b), results});
    EXPECT_EQ(first.finish().status, 0);
    EXPECT_EQ(second.finish().status, 0);

    std::vector<Entry> entries;
    const std::map<std::string, char> markers = {
        {"'AAAA", 'A'}, {"r2 = 5", 'A'}, {"'BBBB", 'B'}, {"r2 = 6", 'B'}};
    ASSERT_TRUE(wholeentries(readfile(results), markers, entries));
    EXPECT_EQ(entries.size(), 2u * count);
    EXPECT_TRUE(numbered(entries, 'A', count));
    EXPECT_TRUE(numbered(entries, 'B', count));

    const std::map<std::string, char> recordmarkers = {{"'AAAA", 'A'},       {"\"r2\":5,", 'A'},
                                                       {",5,,,,0,10,", 'A'}, {"'BBBB", 'B'},
                                                       {"\"r2\":6,", 'B'},   {",6,,,,0,10,", 'B'}};
    for (const bool ascsv : {false, true}) {
        std::vector<Entry> records;
        ASSERT_TRUE(wholerecords(readfile(ascsv ? csv : jsonl), ascsv, recordmarkers, records))
            << (ascsv ? "csv" : "jsonl");
        EXPECT_EQ(records.size(), 2u * count);
        EXPECT_TRUE(numbered(records, 'A', count));
        EXPECT_TRUE(numbered(records, 'B', count));
    }
}

// Runs over a file size limit fail while another run appends to the same
// file: they take back nothing of the other's. The file starts beyond their
// limit, so each of their entries fails at once. They start with SIGXFSZ
// ignored, as under trap '' XFSZ, so that the failed write itself stops them.
TEST(HostileConditions, FailingWritesBesideASucceedingOne) {
    TempDir dir;
    const int count = 400;
    std::string many, earlier;
    for (int i = 0; i < count; ++i) many += dataset("10");
    for (int i = 1; i <= 20; ++i) {
        earlier += crlf + crlf + "Problem in dataset " + std::to_string(i) + crlf +
                   "No results saved - earlier." + entryend;
    }
    const rlim_t limit = 1000;  // above what stderr gets
    ASSERT_GT(earlier.size(), limit);
    const std::string results = dir.write("results.txt", earlier);
    const std::string bad = dir.write("bad.txt", dataset("x"));

    Program writer(dir, {"--quiet", dir.write("many.txt", many), results});
    const std::string last = "dataset " + std::to_string(count) + ":";
    int failures = 0;
    for (int i = 0; i < 10 && readfile(results).find(last) == std::string::npos; ++i) {
        std::vector<Program> failing;
        for (int k = 0; k < 3; ++k)
            failing.emplace_back(
                dir, Launch{.args = {bad, results}, .filesizelimit = limit, .ignored = {SIGXFSZ}});
        for (const Program& p : failing) {
            const Outcome o = p.finish();
            EXPECT_EQ(o.status, 1) << o.err;
            EXPECT_NE(o.err.find("File too large"), std::string::npos) << o.err;
            ++failures;
        }
    }
    EXPECT_EQ(writer.finish().status, 0);
    EXPECT_GT(failures, 0);

    std::vector<Entry> entries;
    const std::string text = readfile(results);
    ASSERT_TRUE(wholeentries(text, {{"earlier", 'E'}, {"Input data", 'W'}}, entries));
    EXPECT_EQ(entries.size(), count + 20u);
    EXPECT_TRUE(numbered(entries, 'E', 20));
    EXPECT_TRUE(numbered(entries, 'W', count));
}

TEST(HostileConditions, WriteOverTheFileSizeLimitTakesBackItsPartialEntry) {
    TempDir dir;
    const std::string earlier = "earlier entry\r\n\r\n";
    const std::string results = dir.write("results.txt", earlier);
    const Outcome o =
        Program(dir, Launch{.args = {"--quiet", dir.write("data.txt", dataset("100")), results},
                            .filesizelimit = earlier.size() + 100})
            .finish();
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("File too large"), std::string::npos) << o.err;
    EXPECT_EQ(readfile(results), earlier);
}

// A closed stderr (its reader gone) ends the progress, not the run.
TEST(HostileConditions, ClosedStderrLosesNoEntry) {
    for (const char* quiet : {"--seed=5", "--quiet"}) {
        TempDir dir;
        const std::string data = dir.write("data.txt", dataset("20000") + dataset("100"));
        const std::string results = dir.file("results.txt");
        Launch launch{{quiet, data, results}};
        launch.closedstderr = true;
        EXPECT_EQ(Program(dir, launch).finish().status, 0) << quiet;
        EXPECT_NE(readfile(results).find("dataset 2:"), std::string::npos) << quiet;
    }
}

// Datasets written into a FIFO run as they arrive; a signal while the run
// waits for more keeps what was done.
TEST(HostileConditions, DataFromAFifo) {
    TempDir dir;
    const std::string fifo = dir.file("data.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string results = dir.file("results.txt");
    Program p(dir, {"--seed", "5", fifo, results});
    const int fd = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string text = dataset("100");
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_TRUE(Program::waitfor(results, "Processing time"));
    p.signal(SIGINT);
    const Outcome o = p.finish();
    close(fd);
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(o.err.substr(o.err.size() - 6), "Done.\n") << o.err;
    EXPECT_NE(readfile(results).find("\r\nResults:\r\n"), std::string::npos);
}

// Wherever a run may wait without end, a signal still ends it by its own
// exit: a data FIFO no writer has opened yet; input that never pauses and
// never ends a line (/dev/zero), of which the reader keeps a bounded part;
// a results file another run holds locked (as one stopped mid-write would),
// whose entry is then given up with a message, the file untouched.
TEST(HostileConditions, EveryWaitHearsAStop) {
    enum Wait { fifo, endless, locked };
    for (const Wait wait : {fifo, endless, locked}) {
        const std::string what = std::to_string(wait);
        TempDir dir;
        std::string data = dir.write("data.txt", dataset("100"));
        const std::string results = dir.write("results.txt", "earlier\r\n");
        if (wait == fifo) {
            data = dir.file("data.fifo");
            ASSERT_EQ(mkfifo(data.c_str(), 0600), 0);
        }
        if (wait == endless) data = "/dev/zero";
        const int held = open(results.c_str(), O_RDONLY);
        if (wait == locked) {
            ASSERT_EQ(flock(held, LOCK_EX), 0);
        }

        Program p(dir, {data, results});
        if (wait == endless) {
            bool reading = false;
            for (int i = 0; i < 1000 && !reading; ++i) {
                reading = p.procvalue("io", "rchar") > (256 << 20);
                if (!reading) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_TRUE(reading);
            EXPECT_LT(p.procvalue("status", "VmHWM"), 200 << 10);  // kB
        } else {
            ASSERT_TRUE(p.waitinsyscall(wait == fifo ? SYS_poll : SYS_clock_nanosleep)) << what;
        }
        p.signal(SIGTERM);
        const Outcome o = p.finish();
        close(held);
        EXPECT_FALSE(o.killed) << what;
        EXPECT_EQ(o.status, wait == locked ? 1 : 143) << what << o.err;
        if (wait == locked) {
            EXPECT_NE(o.err.find("this entry was not written: stopped while another run held "
                                 "the file"),
                      std::string::npos)
                << o.err;
        }
        EXPECT_EQ(readfile(results), "earlier\r\n") << what;
    }
}

// The results file replaced by a FIFO during the run (renamed, then mkfifo):
// the next entry waits for the FIFO's reader in naps, as at the start, and
// either reaches it or, after a signal, is given up with a message.
TEST(Hostile, ResultsFileReplacedByAFifoDuringTheRun) {
    for (const bool reader : {true, false}) {
        TempDir dir;
        const std::string data = dir.file("data.fifo");
        ASSERT_EQ(mkfifo(data.c_str(), 0600), 0);
        const std::string results = dir.file("results.txt");
        Program p(dir, {"--seed", "5", data, results});
        const int fd = open(data.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::string text = dataset("100");
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ASSERT_TRUE(Program::waitfor(results, "Processing time"));
        const std::string first = readfile(results);
        std::filesystem::rename(results, dir.file("old.txt"));
        ASSERT_EQ(mkfifo(results.c_str(), 0600), 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        EXPECT_TRUE(p.waitinsyscall(SYS_clock_nanosleep)) << reader;
        std::string received;
        if (reader) {
            const int in = open(results.c_str(), O_RDONLY);
            char buffer[4096];
            ssize_t n = 0;
            while ((n = read(in, buffer, sizeof buffer)) > 0) received.append(buffer, n);
            close(in);
        } else {
            p.signal(SIGTERM);
        }
        close(fd);
        const Outcome o = p.finish();
        EXPECT_FALSE(o.killed) << reader;
        EXPECT_EQ(readfile(dir.file("old.txt")), first) << reader;
        if (reader) {
            EXPECT_EQ(o.status, 0) << o.err;
            EXPECT_NE(received.find("Input data from file, dataset 2:"), std::string::npos);
        } else {
            EXPECT_EQ(o.status, 1) << o.err;
            EXPECT_NE(o.err.find("results.txt: this entry was not written: stopped while "
                                 "waiting for a reader"),
                      std::string::npos)
                << o.err;
        }
    }
}

// A FIFO as the results file is opened once: a reader that reads to the end
// gets every entry.
TEST(HostileConditions, ResultsIntoAFifo) {
    TempDir dir;
    const std::string fifo = dir.file("results.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, n);
        close(fd);
    });
    const std::string data = dir.write("data.txt", dataset("100") + dataset("x") + dataset("100"));
    const Outcome o = Program(dir, {"--quiet", data, fifo}).finish(10);
    // Frees a reader still waiting for a writer (when the run failed early).
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
    reader.join();
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<Entry> entries;
    EXPECT_TRUE(wholeentries(received, {}, entries));
    EXPECT_EQ(entries.size(), 3u);
}

}  // namespace
}  // namespace korvex

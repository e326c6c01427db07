// Runs the built korvex-batch program as a user would.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batchprogram.h"

namespace korvex {
namespace {

using testing::dataset;
using testing::Launch;
using testing::Outcome;
using testing::Program;
using testing::readfile;
using testing::run;
using testing::TempDir;
using testing::withouttimes;

TEST(KorvexBatch, UsageErrors) {
    TempDir dir;
    const std::string data = dir.write("data.txt", dataset("100"));
    const std::string results = dir.file("results.txt");

    Outcome o = run(dir, {"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("usage: korvex-batch [--method emissions|integral] [--error X] "
                         "[--seed N] [--threads N] [--quiet]\n       DATAFILE RESULTSFILE"),
              std::string::npos);
    o = run(dir, {"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("korvex-batch ", 0), 0u);

    const std::vector<std::vector<std::string>> wrong = {
        {},
        {data},
        {data, results, "extra"},
        {"--seed", "0", data, results},
        {"--seed", "4294967295", data, results},
        {"--seed", "12x", data, results},
        {"--seed"},
        {"--threads", "0", data, results},
        {"--threads=2x", data, results},
        {"--threads"},
        {"--fast", data, results},
        {"--method", "fast", data, results},
        {"--error", "0", data, results},
        {"--error", "1E-13", data, results},
        {"--error", "0.5", data, results},
        {"--error", "x", data, results},
    };
    for (const auto& args : wrong) {
        o = run(dir, args);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_NE(o.err.find("usage:"), std::string::npos);
    }
    o = run(dir, {dir.file("missing.txt"), results});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("No such file or directory"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(results));
}

TEST(KorvexBatch, SameSeedSameResults) {
    TempDir dir;
    const std::string data =
        dir.write("data.txt", dataset("20000") + dataset("abc") + dataset("30000", "2"));
    const std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    Outcome o = run(dir, {"--seed", "4242", data, a});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.substr(o.err.size() - 6), "Done.\n");
    EXPECT_NE(o.err.find("Dataset 3 from file"), std::string::npos);
    o = run(dir, {"--quiet", "--seed=4242", data, b});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "Done.\n");

    const std::string first = readfile(a);
    EXPECT_NE(first.find("Problem in dataset 2"), std::string::npos);
    EXPECT_NE(first.find("Input data from file, dataset 3:"), std::string::npos);
    EXPECT_EQ(withouttimes(first), withouttimes(readfile(b)));
}

// Datasets large enough to be split give the same results file, processing
// times aside, for any number of threads; the second dataset goes on from
// where the split first one left the generator.
TEST(KorvexBatch, ThreadsDoNotChangeTheResults) {
    TempDir dir;
    const std::string data = dir.write("data.txt", dataset("3.2E6") + dataset("3500001.5", "2"));
    const std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    Outcome o = run(dir, {"--quiet", "--seed", "77", "--threads", "1", data, a});
    EXPECT_EQ(o.status, 0) << o.err;
    o = run(dir, {"--quiet", "--seed", "77", "--threads=3", data, b});
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string one = readfile(a);
    EXPECT_NE(one.find("Emissions from source = 3500002 "), std::string::npos) << one;
    EXPECT_EQ(withouttimes(one), withouttimes(readfile(b)));
}

// What a user's Ctrl-C, a cluster scheduler or a closed terminal sends. Under
// nohup SIGHUP is ignored from the start and stays so: the SIGINT sent after
// it stops the run.
TEST(KorvexBatch, SignalsWriteTheAbortedReport) {
    const struct {
        std::vector<int> sent, ignored;
        int status;
    } cases[] = {
        {{SIGINT}, {}, 130},
        {{SIGTERM}, {}, 143},
        {{SIGHUP}, {}, 129},
        {{SIGHUP, SIGINT}, {SIGHUP}, 130},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string data = dir.write("data.txt", dataset("1E12") + dataset("100"));
        const std::string results = dir.file("results.txt");
        Program p(dir, Launch{{"--seed", "99", data, results}, RLIM_INFINITY, false, c.ignored});
        ASSERT_TRUE(p.waitfor("Dataset 1 from file"));
        for (const int signo : c.sent) {
            p.signal(signo);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));  // one at a time
        }
        const Outcome o = p.finish();
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_EQ(o.err.substr(o.err.size() - 6), "Done.\n") << c.status;
        const std::string text = readfile(results);
        EXPECT_NE(text.find("\r\nResults up to time when simulation aborted:\r\n"),
                  std::string::npos)
            << c.status;
        EXPECT_EQ(text.find("dataset 2"), std::string::npos) << c.status;
    }
}

TEST(KorvexBatch, ExampleResultsAreReproduced) {
    TempDir dir;
    const std::string results = dir.file("results.txt");
    const Outcome o = run(dir, {"--quiet", "--seed", "20240601",
                                std::string(EXAMPLES_DIR) + "/datasets.txt", results});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(withouttimes(readfile(results)),
              withouttimes(readfile(std::string(EXAMPLES_DIR) + "/results.txt")));
}

}  // namespace
}  // namespace korvex

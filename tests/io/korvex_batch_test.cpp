// Runs the built korvex-batch program as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tempdir.h"

namespace korvex {
namespace {

using testing::readfile;
using testing::TempDir;

struct Outcome {
    int status = -1;  // the exit code, or 128 + the signal that ended it
    std::string out, err;
};

class Program {
public:
    Program(const TempDir& dir, std::vector<std::string> args)
        : outpath_(dir.file("stdout")), errpath_(dir.file("stderr")) {
        pid_ = fork();
        if (pid_ == 0) {
            const int out = open(outpath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errpath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            std::vector<char*> argv;
            static std::string program = KORVEX_BATCH;
            argv.push_back(program.data());
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }

    // Waits until stderr holds the text; false after ten seconds.
    bool waitfor(const std::string& text) const {
        for (int i = 0; i < 1000; ++i) {
            if (readfile(errpath_).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void interrupt() const { kill(pid_, SIGINT); }

    Outcome finish() const {
        Outcome o;
        int status = 0;
        waitpid(pid_, &status, 0);
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        o.out = readfile(outpath_);
        o.err = readfile(errpath_);
        return o;
    }

private:
    std::string outpath_, errpath_;
    pid_t pid_ = -1;
};

Outcome run(const TempDir& dir, std::vector<std::string> args) {
    return Program(dir, std::move(args)).finish();
}

// A disc over a sphere; emissions as given.
std::string dataset(const std::string& emissions, const std::string& radius = "5") {
    return "true\nfalse\nfalse\nfalse\ntrue\n0\n0\n1\n0\n0\n0\n" + radius +
           "\n0\n0\n0\n0\n10\n0\n0\n0\n" + emissions + "\nfalse\n*\n";
}

std::string withouttimes(const std::string& text) {
    return std::regex_replace(text, std::regex("Processing time = [^\r]* s"), "Processing time");
}

TEST(KorvexBatch, UsageErrors) {
    TempDir dir;
    const std::string data = dir.write("data.txt", dataset("100"));
    const std::string results = dir.file("results.txt");

    Outcome o = run(dir, {"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("usage: korvex-batch [--seed N] [--threads N] [--quiet] DATAFILE "
                         "RESULTSFILE"),
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

TEST(KorvexBatch, InterruptWritesTheAbortedReport) {
    TempDir dir;
    const std::string data = dir.write("data.txt", dataset("1E12") + dataset("100"));
    const std::string results = dir.file("results.txt");
    Program p(dir, {"--seed", "99", data, results});
    ASSERT_TRUE(p.waitfor("Dataset 1 from file"));
    p.interrupt();
    const Outcome o = p.finish();
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_EQ(o.err.substr(o.err.size() - 6), "Done.\n");
    const std::string text = readfile(results);
    EXPECT_NE(text.find("\r\nResults up to time when simulation aborted:\r\n"), std::string::npos);
    EXPECT_EQ(text.find("dataset 2"), std::string::npos);
}

TEST(KorvexBatch, OutputErrorExitsWithTheSystemsMessage) {
    TempDir dir;
    const std::string data = dir.write("data.txt", dataset("100"));
    std::filesystem::create_directory(dir.file("folder"));
    const Outcome o = run(dir, {"--quiet", data, dir.file("folder")});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Is a directory"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("Done."), std::string::npos);
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

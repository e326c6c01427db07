// Runs the built korvex-batch program as a user would.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <charconv>
#include <nlohmann/json.hpp>
#include <sstream>

#include "batchprogram.h"
#include "io/integralreport.h"
#include "io/numbers.h"
#include "io/record.h"
#include "io/rotationsense.h"

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
                         "[--seed N] [--threads N]\n       [--jsonl FILE] [--csv FILE] [--quiet] "
                         "DATAFILE RESULTSFILE"),
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
        // Records into the results file or each other would spoil both.
        {"--jsonl", results, data, results},
        {"--jsonl", dir.file("r"), "--csv", dir.file("r"), data, results},
        {"--csv", data, data, results},
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
    // A data file that cannot be found, in the system's words for why.
    std::filesystem::create_symlink("loop.txt", dir.file("loop.txt"));
    const struct {
        std::string path, why;
    } unfound[] = {
        {dir.file("missing.txt"), "No such file or directory"},
        {dir.file("loop.txt"), "Too many levels of symbolic links"},
        {dir.file(std::string(300, 'x')), "File name too long"},
    };
    for (const auto& u : unfound) {
        o = run(dir, {u.path, results});
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.err, "korvex-batch: " + u.path + ": " + u.why + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(results));
}

// The sense of the rotation angles is stated in one set of words: what the
// program prints with --help, and what the manual pages and the README say.
TEST(KorvexBatch, RotationSenseIsTheSameInHelpManualAndReadme) {
    TempDir dir;
    const Outcome o = run(dir, {"--help"});
    ASSERT_EQ(o.status, 0);
    EXPECT_NE(o.out.find(rotationsense), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(rotationexample), std::string::npos) << o.out;

    // Lines joined, roff's minus signs plain, runs of blanks one blank.
    const auto flat = [](std::string text) {
        text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
        return std::regex_replace(text, std::regex(R"(\s+)"), " ");
    };
    const std::string root = std::string(EXAMPLES_DIR) + "/../";
    for (const char* doc : {"README.md", "data/korvex-batch.1.in", "data/korvex.1.in"}) {
        const std::string text = flat(readfile(root + doc));
        EXPECT_NE(text.find(flat(rotationsense)), std::string::npos) << doc;
        if (std::string(doc) != "data/korvex.1.in") {
            EXPECT_NE(text.find(flat(rotationexample)), std::string::npos) << doc;
        }
    }
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
// times aside, for any number of threads, also when the system starts none
// (by either method);
// the second dataset goes on from where the split first one left the
// generator.
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

    std::filesystem::permissions(dir.file(""), std::filesystem::perms::all);
    const std::string c = dir.file("c.txt");
    o = Program(dir, Launch{.args = {"--quiet", "--seed", "77", "--threads", "8", data, c},
                            .nothreads = true})
            .finish();
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(withouttimes(one), withouttimes(readfile(c)));

    // The integral method too, by either rule (the examples take both; a
    // copy, which the user the thread-refusing run becomes may read).
    const std::string examples =
        dir.write("examples.txt", readfile(std::string(EXAMPLES_DIR) + "/datasets.txt"));
    const std::vector<std::string> integral = {"--quiet", "--method", "integral",
                                               "--error", "1E-4",     examples};
    std::vector<std::string> reports;
    for (const char* threads : {"1", "3", "8"}) {
        std::vector<std::string> args = integral;
        args.insert(args.begin(), {"--threads", threads});
        args.push_back(dir.file(std::string("integral") + threads));
        o = Program(dir, Launch{.args = args, .nothreads = threads[0] == '8'}).finish();
        EXPECT_EQ(o.status, 0) << threads << ": " << o.err;
        reports.push_back(withouttimes(readfile(args.back())));
    }
    EXPECT_NE(reports[0].find("Average solid angle"), std::string::npos);
    EXPECT_EQ(reports[0], reports[1]);
    EXPECT_EQ(reports[0], reports[2]);
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

// The records beside the results file say what the reports say, the CSV rows
// hold the JSON records' values (each number reading back as the same
// double), and a problem names its reason as its entry does.
TEST(KorvexBatch, RecordsAgreeWithTheReports) {
    TempDir dir;
    std::string data = readfile(std::string(EXAMPLES_DIR) + "/datasets.txt");
    data += dataset("-5") + dataset("abc");
    const std::string results = dir.file("results.txt");
    const std::string jsonl = dir.file("r.jsonl"), csv = dir.file("r.csv");
    const Outcome o = run(dir, {"--quiet", "--seed", "99", "--threads", "2", "--jsonl", jsonl,
                                "--csv", csv, dir.write("data.txt", data), results});
    ASSERT_EQ(o.status, 0) << o.err;

    const std::string report = readfile(results);
    std::istringstream lines(readfile(jsonl));
    std::istringstream rows(readfile(csv));
    std::string line, row, header;
    std::getline(rows, header);
    ASSERT_EQ(header + "\n", csvheader());
    const std::vector<std::string>& columns = recordcolumns();
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        const auto r = nlohmann::json::parse(line);
        EXPECT_EQ(r["schema"], "korvex-result/1");
        EXPECT_EQ(r["dataset"], n);
        EXPECT_EQ(r["seed"], 99);
        EXPECT_EQ(r["method"], "emissions");
        const std::string status = r["status"];
        if (n <= 5) {
            ASSERT_EQ(status, "done") << line;
            const std::string heading = "Input data from file, dataset " + std::to_string(n) + ":";
            const std::size_t at = report.find(heading);
            ASSERT_NE(at, std::string::npos);
            const std::string entry = report.substr(at, report.find("Processing time", at) - at);
            const double emitted = r["emitted"], hits = r["hits"];
            EXPECT_NE(entry.find(" = " + plainformat(emitted) + " ("), std::string::npos) << n;
            EXPECT_NE(entry.find("detector " + std::string(r["window"] ? "window" : "volume") +
                                 " = " + percentformat(r["hitpercent"].get<double>())),
                      std::string::npos)
                << n;
            EXPECT_NE(entry.find(" = " + plainformat(hits)), std::string::npos) << n;
            EXPECT_NE(entry.find("Average solid angle = " + fixed7(r["solidangle"].get<double>()) +
                                 " +/- " + fixed7(r["solidangleerror"].get<double>())),
                      std::string::npos)
                << n;
            if (r.contains("meanpath")) {
                EXPECT_NE(entry.find(" = " + fixed7(r["meanpath"].get<double>()) + " +/- " +
                                     fixed7(r["meanpatherror"].get<double>())),
                          std::string::npos)
                    << n;
                EXPECT_GT(r["meanpathsigma"].get<double>(), 0) << n;
            }
        } else {
            EXPECT_EQ(status, "problem");
            EXPECT_FALSE(r.contains("hits"));
        }
        if (n == 6) {
            EXPECT_EQ(r["problem"], "Invalid data in number of emissions");
            EXPECT_EQ(r["emissions"], -5);
            EXPECT_EQ(r["r2"], 5);
        }
        if (n == 7) {
            EXPECT_FALSE(r.contains("r2"));  // a dataset not read has no values
            EXPECT_NE(report.find("No results saved - " + r["problem"].get<std::string>() + "."),
                      std::string::npos);
        }

        // The row: every field of the record, and nothing else.
        ASSERT_TRUE(std::getline(rows, row)) << n;
        ASSERT_EQ(row.back(), '\r');
        std::vector<std::string> fields(1);
        for (const char ch : row.substr(0, row.size() - 1)) {
            if (ch == ',') fields.emplace_back();
            else fields.back() += ch;
        }
        ASSERT_EQ(fields.size(), columns.size()) << row;
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const std::string& f = fields[k];
            if (!r.contains(columns[k])) {
                EXPECT_EQ(f, "") << columns[k];
                continue;
            }
            const auto& v = r[columns[k]];
            if (v.is_number()) {
                double a = 0;
                std::from_chars(f.data(), f.data() + f.size(), a);
                EXPECT_EQ(a, v.get<double>()) << columns[k] << " " << f;
                // The same shortest text in both files.
                const std::size_t at = line.find("\"" + columns[k] + "\":") + columns[k].size() + 3;
                EXPECT_EQ(line.substr(at, line.find_first_of(",}", at) - at), f) << columns[k];
            } else if (v.is_string()) {
                EXPECT_EQ(f, v.get<std::string>()) << columns[k];
            } else if (v.is_boolean()) {
                EXPECT_EQ(f, v.get<bool>() ? "true" : "false") << columns[k];
            }
        }
    }
    EXPECT_EQ(n, 7);
    EXPECT_FALSE(std::getline(rows, row));
}

// By the integral method the records hold what its reports say: the solid
// angle and error the entry prints, the rule, and no emission counts.
TEST(KorvexBatch, IntegralRecordsAgreeWithTheReports) {
    TempDir dir;
    const std::string results = dir.file("results.txt"), jsonl = dir.file("r.jsonl");
    const Outcome o = run(dir, {"--quiet", "--method", "integral", "--error", "1E-4", "--jsonl",
                                jsonl, std::string(EXAMPLES_DIR) + "/datasets.txt", results});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string report = readfile(results);
    std::istringstream lines(readfile(jsonl));
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        const auto r = nlohmann::json::parse(line);
        const std::string heading = "dataset " + std::to_string(++n) + ":";
        const std::size_t at = report.find(heading);
        ASSERT_NE(at, std::string::npos);
        const std::string entry = report.substr(at, report.find("Processing time", at) - at);
        EXPECT_EQ(r["method"], "integral");
        EXPECT_EQ(r["status"], "done");
        EXPECT_FALSE(r.contains("emitted") || r.contains("hits")) << line;
        const ValueText angle = witherror(r["solidangle"], r["solidangleerror"]);
        EXPECT_NE(entry.find("Average solid angle = " + angle.value + " +/- " + angle.error),
                  std::string::npos)
            << entry;
        EXPECT_LE(r["solidangleerror"].get<double>(), 1e-4 * r["solidangle"].get<double>());
        EXPECT_EQ(r.contains("targeterror"), r["rule"] != "exact") << line;
    }
    EXPECT_EQ(n, 5);
}

}  // namespace
}  // namespace korvex

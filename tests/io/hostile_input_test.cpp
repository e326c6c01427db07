// Input that used to be read silently wrong, given to the real korvex-batch
// process: numbers without a digit, lengths outside the range the run decides
// reliably, byte-order marks and old line ends, and echoes that must read
// back as the values they show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batchprogram.h"

namespace korvex {
namespace {

using testing::readfile;
using testing::TempDir;
using testing::withouttimes;

struct Outcome {
    int status = -1;
    std::string results, err;
};

// korvex-batch --quiet --seed 7 DATA RESULTS.
Outcome batch(const TempDir& dir, const std::string& data) {
    const std::string results = dir.file("results.txt");
    const testing::Outcome o =
        testing::run(dir, {"--quiet", "--seed", "7", dir.write("data.txt", data), results});
    return {o.status, readfile(results), o.err};
}

// A disc of radius 1 over a sphere: values 1 to 22 as texts, with changes.
std::vector<std::string> sphere() {
    return {"true", "false", "false", "false", "true", "0", "0", "1", "0", "0",    "0",
            "2",    "0",     "0",     "0",     "0.5",  "3", "0", "0", "0", "2000", "false"};
}

std::string dataset(std::vector<std::string> values, const std::string& end = "\n") {
    std::string text;
    for (const auto& v : values) text += v + end;
    return text + "*" + end;
}

std::string with(int number, const std::string& text) {
    std::vector<std::string> v = sphere();
    v[static_cast<std::size_t>(number - 1)] = text;
    return dataset(v);
}

std::vector<std::string> first(std::size_t count) {
    std::vector<std::string> v = sphere();
    v.resize(count);
    return v;
}

const std::string range = "; a length must be 0 or of size 1E-6 to 1E8.";

TEST(HostileInput, BatchEntries) {
    const struct {
        const char* what;
        std::string data;
        std::vector<std::string> present, absent;
    } cases[] = {
        {"a radius with no digit",
         with(12, ".") + with(8, "-.") + with(17, "E5"),
         {"Problem in dataset 1\r\nNo results saved - error reading input dataset. '.' is not a "
          "valid floating point value.",
          "'-.' is not a valid floating point value", "'E5' is not a valid floating point value"},
         {"Results:"}},
        {"lengths outside the range",
         with(12, "1E15") + with(17, "-2E8") + with(16, "1E-13") + with(8, "5E-7"),
         {"Problem in dataset 1\r\nNo results saved - Length out of range: r2 = 1E15" + range,
          "Length out of range: c = -200000000" + range, "Length out of range: d = 1E-13" + range,
          "Length out of range: r1 = 5E-7" + range},
         {"Results:"}},
        {"zeros and the ends of the range",
         with(12, "1E8") + with(12, "1E-6") + with(16, "-0") + with(8, "0"),
         {"Spherical detector, r2 = 100000000", "Spherical detector, r2 = 1E-6",
          "Input data from file, dataset 4:"},
         {"Problem"}},
        // Closed by "*" too early: the count, unless a value given is bad.
        {"datasets closed too early",
         dataset(first(10)) + dataset({"true", "false", "false", "false", "true", "abc"}),
         {"Problem in dataset 1\r\nNo results saved - error reading input dataset. The dataset "
          "ends at '*' after 10 values; 22 are needed.",
          "Problem in dataset 2\r\nNo results saved - error reading input dataset. 'abc' is not "
          "a valid floating point value."},
         {"Results:", "''"}},
        // The window's refusals, in its words; a fractional count still runs
        // one emission, and displacements, angles and unused values may be
        // negative.
        {"negative counts and sizes",
         with(21, "-1E6") + with(21, "-5") + with(12, "-3.81") + with(9, "-0.5") + with(21, "0.4") +
             with(16, "-1") + with(18, "-30") + with(6, "-2"),
         {"Problem in dataset 1\r\nNo results saved - Invalid data in number of emissions.",
          "Problem in dataset 2\r\nNo results saved - Invalid data in number of emissions.",
          "Problem in dataset 3\r\nNo results saved - Invalid data in detector radius, r2.",
          "Problem in dataset 4\r\nNo results saved - Invalid data in source thickness, t1.",
          "dataset 5:", "Emissions from source = 1 (1.0E+0)", "Axis separation, d = -1",
          "ccw around original source x axis = -30", "dataset 8:"},
         {"-3.81", "Problem in dataset 5", "Problem in dataset 6", "Problem in dataset 7",
          "Problem in dataset 8"}},
        {"a byte-order mark", "\xEF\xBB\xBF" + dataset(sphere()), {"Results:"}, {"Problem"}},
        {"old Mac line ends",
         dataset(sphere(), "\r") + dataset(sphere(), "\r"),
         {"Input data from file, dataset 2:\r\nCircular face source, r1 = 1"},
         {"Problem"}},
        {"a line longer than the reader keeps",
         with(12, std::string(3 << 20, ' ') + "2") + dataset(sphere()),
         {"Problem in dataset 1\r\nNo results saved - error reading input dataset. A line is "
          "longer than 1048576 bytes.",
          "Input data from file, dataset 2:"},
         {}},
        {"the largest double as angles",
         with(18, "1.7976931348623157E308") + with(20, "-1.7976931348623157E308"),
         {" ccw around original source x axis = 1.7976931348623157E308\r\n",
          " ccw around final z axis = -1.7976931348623157E308\r\n"},
         {"INF", "NAN", "Problem"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Outcome o = batch(dir, c.data);
        EXPECT_EQ(o.status, 0) << c.what << "\n" << o.err;
        for (const auto& text : c.present)
            EXPECT_NE(o.results.find(text), std::string::npos) << c.what << ": " << text;
        for (const auto& text : c.absent)
            EXPECT_EQ(o.results.find(text), std::string::npos) << c.what << ": " << text;
    }
}

// Every echoed value, typed again, gives the same report.
TEST(HostileInput, EchoesReadBackAsTheSameDataset) {
    TempDir dir;
    std::vector<std::string> v = sphere();
    v[7] = "0.30000000000000004";   // r1
    v[11] = "1.0000000000000002";   // r2
    v[15] = "-99999999.999999985";  // d
    v[16] = "12345678.901234567";   // c
    v[17] = "1.7976931348623157E308";
    v[18] = "0.1";
    v[19] = "-123.45678901234567";
    const Outcome first = batch(dir, dataset(v));
    ASSERT_EQ(first.status, 0) << first.err;

    // The echoed texts, typed in again as values 8, 12, 16, 17, 18, 19, 20.
    const struct {
        int number;
        const char* label;
    } echoes[] = {{8, "r1 = "},      {12, "r2 = "},     {16, "d = "},     {17, "c = "},
                  {18, "x axis = "}, {19, "y axis = "}, {20, "z axis = "}};
    std::vector<std::string> again = v;
    for (const auto& e : echoes) {
        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(first.results, m, std::regex(std::string(e.label) + "([^\r]*)\r")))
            << e.label;
        again[static_cast<std::size_t>(e.number - 1)] = m[1].str();
    }
    EXPECT_EQ(again[7], "0.30000000000000004");

    TempDir other;
    const Outcome second = batch(other, dataset(again));
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(withouttimes(second.results), withouttimes(first.results));
}

}  // namespace
}  // namespace korvex

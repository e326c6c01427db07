#include "io/batch.h"
#include "io/resultsfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tempdir.h"

namespace korvex {
namespace {

using testing::readfile;
using testing::TempDir;

// The example dataset: a disc of radius 2.5 facing a cylinder of radius 3 and
// thickness 5, 10 above it and 1 to the side, ten million emissions, 4 pi.
std::vector<std::string> discovercylinder() {
    return {"true", "false", "true", "false", "false", "0",  "0", "2.5", "0", "0",   "0",
            "3",    "5",     "0",    "0",     "1",     "10", "0", "0",   "0", "1E7", "false"};
}

std::string lines(const std::vector<std::string>& values, const std::string& end = "*\n") {
    std::string text;
    for (const auto& v : values) text += v + "\n";
    return text + end;
}

struct Reader {
    DataFile file;
    RunParameters prm;
    GeometryFlags flags;
    BatchState batch;

    explicit Reader(const std::string& path) {
        EXPECT_TRUE(file.open(path)) << file.error();
        batch.moredata = true;
    }
    // One dataset, after the head the run command does.
    void next() {
        flags.dataerror = flags.discwindow = flags.rectwindow = false;
        batch.readerror.clear();
        clearparameters(prm);
        readdataset(file, prm, flags, batch);
    }
};

TEST(PrepareLine, CommentsAndBlanks) {
    EXPECT_EQ(prepareline("  5.0   / detector radius"), "5.0");
    EXPECT_EQ(prepareline("/ comment"), "");
    EXPECT_EQ(prepareline("*  / end"), "*");
    EXPECT_EQ(prepareline("\t true \r"), "true");
    EXPECT_EQ(prepareline("1E7/a/b"), "1E7");
    EXPECT_EQ(prepareline("  "), "");
}

TEST(ReadDataset, CommentedDatasetsWithCrLfAndBlankLines) {
    TempDir dir;
    const std::string text =
        "/ first dataset\r\n"
        "\r\n"
        "TRUE   / round source\r\n"
        "false\r\nTrue\r\nfalse\r\nfalse\r\n"
        "0\r\n0\r\n2.5\r\n0\r\n0\r\n0\r\n3\r\n5\r\n"
        "7 / a3, replaced by d\r\n"
        "8 / b3, replaced by 0\r\n"
        "1\r\n10\r\n0\r\n0\r\n0\r\n1E7\r\nfalse\r\n"
        "*  / end\r\n"
        "\r\n"
        "false\ntrue\nfalse\ntrue\nfalse\n"
        "2\n3\n0\n0.5\n4\n6\n0\n0\n-1.5\n0.25\n99\n7\n30\n0\n-45\n2.5\nTrue\nignored\n*\n";
    Reader r(dir.write("data.txt", text));

    r.next();
    EXPECT_FALSE(r.flags.dataerror);
    EXPECT_EQ(r.batch.readerror, "");
    EXPECT_TRUE(r.batch.moredata);
    EXPECT_TRUE(r.flags.cylsrc && r.flags.cyldet);
    EXPECT_FALSE(r.flags.cubsrc || r.flags.cubdet || r.flags.sphdet);
    EXPECT_TRUE(r.flags.fourpisrc);
    EXPECT_FALSE(r.flags.twopisrc || r.flags.thicksrc || r.flags.discwindow);
    EXPECT_EQ(r.prm.r1, 2.5);
    EXPECT_EQ(r.prm.r2, 3);
    EXPECT_EQ(r.prm.t2, 5);
    EXPECT_EQ(r.prm.d, 1);
    EXPECT_EQ(r.prm.a3, 1);  // the round source is placed by d alone
    EXPECT_EQ(r.prm.b3, 0);
    EXPECT_EQ(r.prm.c, 10);
    EXPECT_EQ(r.prm.emissions, 1e7);

    r.next();
    EXPECT_FALSE(r.flags.dataerror);
    EXPECT_EQ(r.batch.readerror, "");
    // After a "*" the next byte is not awaited (it may come from a pipe), so
    // the end shows at the next read, as a dataset without values.
    EXPECT_TRUE(r.batch.moredata);
    EXPECT_TRUE(r.flags.cubsrc && r.flags.cubdet && r.flags.rectwindow && r.flags.thicksrc);
    EXPECT_FALSE(r.flags.cylsrc || r.flags.cyldet);
    EXPECT_TRUE(r.flags.twopisrc);
    EXPECT_FALSE(r.flags.fourpisrc);
    EXPECT_EQ(r.prm.a1, 2);
    EXPECT_EQ(r.prm.b1, 3);
    EXPECT_EQ(r.prm.t1, 0.5);
    EXPECT_EQ(r.prm.a3, -1.5);  // a cuboid shape keeps a3 and b3
    EXPECT_EQ(r.prm.b3, 0.25);
    EXPECT_EQ(r.prm.d, 99);
    EXPECT_EQ(r.prm.rotx, degtorad(30));
    EXPECT_EQ(r.prm.roty, 0);
    EXPECT_EQ(r.prm.rotz, degtorad(-45));
    EXPECT_EQ(r.prm.emissions, 2.5);

    r.next();
    EXPECT_TRUE(r.flags.dataerror);
    EXPECT_FALSE(r.batch.moredata);
}

// LF, CR LF and a lone CR all end a line, and a UTF-8 byte-order mark at the
// start of the file is skipped; after the last "*" only the end is left.
TEST(ReadDataset, LineEndsAndByteOrderMark) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* what;
        std::string start, end;
    } cases[] = {
        {"LF", "", "\n"},       {"CR LF", "", "\r\n"},       {"lone CR", "", "\r"},
        {"BOM, LF", bom, "\n"}, {"BOM, CR LF", bom, "\r\n"}, {"BOM, lone CR", bom, "\r"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string text = c.start;
        for (int n = 0; n < 2; ++n) {
            for (const auto& v : discovercylinder()) text += v + c.end;
            text += "*" + c.end;
        }
        Reader r(dir.write("data.txt", text));
        for (int n = 0; n < 2; ++n) {
            r.next();
            EXPECT_FALSE(r.flags.dataerror) << c.what;
            EXPECT_EQ(r.batch.readerror, "") << c.what;
            EXPECT_TRUE(r.flags.cylsrc && r.flags.cyldet) << c.what;
            EXPECT_EQ(r.prm.r1, 2.5) << c.what;
            EXPECT_EQ(r.prm.emissions, 1e7) << c.what;
        }
        r.next();  // the end: a dataset without values, nothing left over
        EXPECT_TRUE(r.flags.dataerror) << c.what;
        EXPECT_EQ(r.batch.readerror, "") << c.what;
        EXPECT_FALSE(r.batch.moredata) << c.what;
    }
}

TEST(ReadDataset, FlagTexts) {
    TempDir dir;
    std::vector<std::string> v = discovercylinder();
    v[0] = "yes";
    v[2] = "1";
    v[4] = "tRuE";
    v[21] = "TRUE";
    Reader r(dir.write("data.txt", lines(v)));
    r.flags.ptsrc = true;  // left on the window by a point-source choice
    r.next();
    EXPECT_FALSE(r.flags.cylsrc);
    EXPECT_FALSE(r.flags.cyldet);
    EXPECT_TRUE(r.flags.sphdet);
    EXPECT_TRUE(r.flags.twopisrc);
    EXPECT_FALSE(r.flags.ptsrc);
}

TEST(ReadDataset, LastDatasetWithoutStarAndTrailingComments) {
    TempDir dir;
    {
        Reader r(dir.write("a.txt", lines(discovercylinder(), "")));
        r.next();
        EXPECT_FALSE(r.flags.dataerror);
        EXPECT_EQ(r.batch.readerror, "");
        EXPECT_FALSE(r.batch.moredata);
        EXPECT_EQ(r.prm.emissions, 1e7);
    }
    {
        // Blank and comment lines after the last "*" end the file quietly.
        Reader r(dir.write("b.txt", lines(discovercylinder()) + "\n/ the end\n   \n"));
        r.next();
        EXPECT_TRUE(r.batch.moredata);
        const GeometryFlags before = r.flags;
        r.next();
        EXPECT_TRUE(r.flags.dataerror);
        EXPECT_FALSE(r.batch.moredata);
        EXPECT_EQ(r.batch.readerror, "");
        EXPECT_EQ(r.flags.twopisrc, before.twopisrc);
        EXPECT_EQ(r.flags.cyldet, before.cyldet);
    }
    {
        Reader r(dir.write("empty.txt", ""));
        r.next();
        EXPECT_TRUE(r.flags.dataerror);
        EXPECT_FALSE(r.batch.moredata);
    }
}

// The example dataset with one value replaced, or cut short or lengthened to
// count values.
std::vector<std::string> withvalue(int index, const std::string& value) {
    std::vector<std::string> v = discovercylinder();
    v[index] = value;
    return v;
}

std::vector<std::string> withcount(size_t count) {
    std::vector<std::string> v = discovercylinder();
    for (int extra = 23; v.size() < count; ++extra)
        v.push_back("extra value " + std::to_string(extra));
    v.resize(count);
    return v;
}

// A dataset that cannot be read gives the reason and no emissions, leaves the
// 2 pi flags as they were, and reading goes on with the next dataset.
TEST(ReadDataset, UnreadableDatasetsAreSkipped) {
    TempDir dir;
    const struct {
        std::vector<std::string> values;
        std::string error;
    } cases[] = {
        {withvalue(11, "abc"), "'abc' is not a valid floating point value"},
        // Digit grouping and a comma are not numbers either.
        {withvalue(20, "10,000"), "'10,000' is not a valid floating point value"},
        {withcount(10), "The dataset ends at '*' after 10 values; 22 are needed"},
        // Lacking only the 2 pi flag: a problem, not a silent 4 pi run.
        {withcount(21), "Value 22 (2 pi source, true or false) is missing"},
        {withcount(25), "More than 23 values before '*'"},
    };
    for (const auto& c : cases) {
        Reader r(dir.write("data.txt", lines(c.values) + lines(discovercylinder())));
        r.flags.twopisrc = true;
        r.flags.fourpisrc = false;
        r.next();
        EXPECT_FALSE(r.flags.dataerror) << c.error;
        EXPECT_EQ(r.batch.readerror, c.error);
        EXPECT_EQ(r.prm.emissions, 0) << c.error;
        EXPECT_TRUE(r.flags.twopisrc) << c.error;
        EXPECT_TRUE(r.batch.moredata) << c.error;

        r.next();  // the next dataset starts after the refused one's "*"
        EXPECT_EQ(r.batch.readerror, "") << c.error;
        EXPECT_EQ(r.prm.r2, 3) << c.error;
    }
}

TEST(ReadDataset, ValueThatIsNotANumberStopsTheConversion) {
    TempDir dir;
    Reader r(dir.write("data.txt", lines(withvalue(11, "abc"))));  // r2
    r.next();
    EXPECT_EQ(r.prm.r1, 2.5);  // read before it
    EXPECT_EQ(r.prm.t2, 0);    // never read
    EXPECT_EQ(r.prm.c, 0);
}

TEST(ReadDataset, A23rdValueIsIgnored) {
    TempDir dir;
    Reader ok(dir.write("23.txt", lines(withcount(23))));
    ok.next();
    EXPECT_EQ(ok.batch.readerror, "");
    EXPECT_EQ(ok.prm.emissions, 1e7);
}

TEST(ReadDataset, FileEndingInsideADatasetNamesTheCount) {
    TempDir dir;
    Reader r(
        dir.write("cut.txt", lines(discovercylinder()) + lines(withcount(7), "/ cut short\n")));
    r.next();
    EXPECT_EQ(r.batch.readerror, "");
    r.next();
    EXPECT_FALSE(r.flags.dataerror);
    EXPECT_FALSE(r.batch.moredata);
    EXPECT_EQ(r.batch.readerror, "The data file ends after 7 values of a dataset; 22 are needed");
    EXPECT_EQ(r.prm.emissions, 0);

    Reader one(dir.write("one.txt", "true\n"));
    one.next();
    EXPECT_EQ(one.batch.readerror, "The data file ends after 1 value of a dataset; 22 are needed");
}

TEST(ReadDataset, DerivedFlags) {
    TempDir dir;
    std::vector<std::string> v = discovercylinder();
    v[8] = "0.1";  // t1
    v[12] = "0";   // t2: a disc window
    Reader r(dir.write("data.txt", lines(v)));
    r.next();
    EXPECT_TRUE(r.flags.thicksrc);
    EXPECT_TRUE(r.flags.discwindow);
    EXPECT_FALSE(r.flags.rectwindow);
}

TEST(ReadDataset, ReadErrorOnTheDataFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    DataFile file;
    if (!file.open(dir.file("folder"))) {
        EXPECT_FALSE(file.error().empty());
        return;
    }
    RunParameters prm;
    GeometryFlags flags;
    BatchState batch;
    batch.moredata = true;
    readdataset(file, prm, flags, batch);
    EXPECT_TRUE(file.failed());
    EXPECT_NE(file.error().find("Is a directory"), std::string::npos) << file.error();
    EXPECT_TRUE(flags.dataerror);
    EXPECT_FALSE(batch.moredata);

    DataFile missing;
    EXPECT_FALSE(missing.open(dir.file("nothing.txt")));
    EXPECT_NE(missing.error().find("No such file or directory"), std::string::npos);
}

TEST(ProblemEntry, NamesTheDatasetAndTheReasonBetweenEmptyLines) {
    EXPECT_EQ(problementry(2, readerrorreason("'abc' is not a valid floating point value")),
              "\r\n\r\nProblem in dataset 2\r\n"
              "No results saved - error reading input dataset. 'abc' is not a valid floating "
              "point value.\r\n\r\n");
}

TEST(AppendResults, CreatesThenAppends) {
    TempDir dir;
    const std::string path = dir.file("results.txt");
    std::string error;
    ASSERT_TRUE(appendresults(path, "first\r\n\r\n", error)) << error;
    EXPECT_EQ(readfile(path), "first\r\n\r\n\r\n\r\n");
    ASSERT_TRUE(appendresults(path, "second", error)) << error;
    EXPECT_EQ(readfile(path), "first\r\n\r\n\r\n\r\nsecond\r\n\r\n");
}

TEST(AppendResults, FailuresKeepWhatWasWritten) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(appendresults(dir.file("no/such/dir/results.txt"), "x", error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    if (std::filesystem::exists("/dev/full")) {
        error.clear();
        EXPECT_FALSE(appendresults("/dev/full", "x", error));
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    }

    // A write cut short by the file size limit takes back its partial entry.
    const std::string path = dir.write("results.txt", "earlier entry\r\n\r\n");
    const std::string fresh = dir.file("fresh.txt");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldhandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 24;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool appended = appendresults(path, std::string(100, 'y'), error);
    const bool created = appendresults(fresh, std::string(100, 'z'), error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldhandler);
    EXPECT_FALSE(appended);
    EXPECT_FALSE(created);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(readfile(path), "earlier entry\r\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

}  // namespace
}  // namespace korvex

#include "io/runcommand.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tempdir.h"

namespace korvex {
namespace {

using testing::readfile;
using testing::TempDir;

// Answers every question from a script and records what the user would see.
class ScriptHost : public RunHost {
public:
    std::map<Field, std::string> texts;
    std::optional<std::string> datafile, resultsfile;
    std::deque<bool> answers;  // confirmations, in order; Yes when exhausted
    long abortatpoll = 0;      // 0: never
    int stopafterdatasets = -1;
    std::function<void(int)> onloop;  // called with the loop's ordinal, from 1

    std::vector<std::pair<ConfirmKind, std::string>> asked;
    std::vector<std::pair<MessageKind, std::string>> messages;
    std::vector<std::string> captions;
    std::vector<std::string> shown;
    int datafileasked = 0, resultsfileasked = 0;
    int started = 0, finished = 0, loopsfinished = 0;
    bool batchflagatfinish = true;
    long polls = 0;

    class Texts : public FieldSource {
    public:
        explicit Texts(const ScriptHost& h) : h_(h) {}
        std::string text(Field f) const override {
            auto it = h_.texts.find(f);
            return it == h_.texts.end() ? "0" : it->second;
        }
        std::string caption(Field) const override { return "caption"; }

    private:
        const ScriptHost& h_;
    } fieldtexts{*this};

    const FieldSource& fields() override { return fieldtexts; }
    std::optional<std::string> choosedatafile() override {
        ++datafileasked;
        return datafile;
    }
    std::optional<std::string> chooseresultsfile() override {
        ++resultsfileasked;
        return resultsfile;
    }
    void commandstarting(bool) override { ++started; }
    void commandfinished(bool, RunState& state) override {
        ++finished;
        batchflagatfinish = state.flags.batchrun;
    }
    void loopstarting(const std::string& caption, const RunParameters&,
                      const GeometryFlags&) override {
        captions.push_back(caption);
        if (onloop) onloop(static_cast<int>(captions.size()));
    }
    void loopfinished() override { ++loopsfinished; }
    void showresults(RunState& state) override { shown.push_back(state.report.lastresults); }
    void message(MessageKind kind, const std::string& text) override {
        messages.emplace_back(kind, text);
    }
    bool confirm(ConfirmKind kind, const std::string& text) override {
        asked.emplace_back(kind, text);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void progressstep(const RunTallies&) override {}
    bool pollabort() override { return ++polls == abortatpoll; }
    bool stoprequested() override {
        return stopafterdatasets >= 0 && static_cast<int>(captions.size()) >= stopafterdatasets;
    }
};

const std::string openingprompt =
    "You will now be asked for the name of the input data file\rand the file name of the file "
    "for saving the results.\r\rNote - Each dataset is checked before it runs: values 1 to 5 "
    "must name one source\rand one detector, no size or emission count may be negative, each "
    "length must be\r0 or of size 1E-6 to 1E8, and the number of emissions neither 0 nor above "
    "9007199254740992.\rA dataset that fails is not run: its entry in the results file says "
    "why.\rNot checked: the signs of displacements and angles, and conflicts between values\r"
    "(a source on, in or underneath the "
    "detector is only warned of in its report).\rIt is recommended you make a test run with a "
    "low emission number first.\rOK?";

// A disc of radius 1 above a sphere of radius 5: quick to run. Values are
// numbered from 1; overrides replace or add single values, count cuts the
// dataset short.
std::string dataset(std::map<int, std::string> overrides = {}, std::size_t count = 99) {
    std::vector<std::string> v = {"true", "false", "false", "false", "true",  "0",    "0", "1",
                                  "0",    "0",     "0",     "5",     "0",     "0",    "0", "0",
                                  "10",   "0",     "0",     "0",     "10000", "false"};
    for (const auto& [k, text] : overrides) {
        if (static_cast<std::size_t>(k) > v.size()) v.resize(static_cast<std::size_t>(k));
        v[static_cast<std::size_t>(k - 1)] = text;
    }
    v.resize(std::min(count, v.size()));
    std::string text;
    for (const auto& value : v) text += value + "\n";
    return text + "*\n";
}

struct Batch {
    TempDir dir;
    ScriptHost host;
    RunState state;
    std::string results = dir.file("results.txt");

    explicit Batch(const std::string& data) {
        host.datafile = dir.write("data.txt", data);
        host.resultsfile = results;
    }
    RunResult run(std::uint32_t seed = 4357) { return runcommand(state, host, true, seed); }
    std::vector<std::string> messagetexts() const {
        std::vector<std::string> out;
        for (const auto& m : host.messages) out.push_back(m.second);
        return out;
    }
};

std::string withouttimes(const std::string& text) {
    return std::regex_replace(text, std::regex("Processing time = [^\r]* s"), "Processing time");
}

TEST(BatchRun, ConversionErrorInTheMiddleDataset) {
    Batch b(dataset() + dataset({{12, "abc"}}) + dataset({{21, "2.5"}}));
    const RunResult r = b.run();
    EXPECT_EQ(r.outcome, RunOutcome::completed);
    EXPECT_EQ(r.datasets, 3);

    ASSERT_EQ(b.host.asked.size(), 1u);  // the results file did not exist
    EXPECT_EQ(b.host.asked[0].first, ConfirmKind::yescancel);
    EXPECT_EQ(b.host.asked[0].second, openingprompt);
    EXPECT_EQ(b.host.captions,
              (std::vector<std::string>{"Dataset 1 from file", "Dataset 3 from file"}));
    EXPECT_EQ(b.host.loopsfinished, 2);
    EXPECT_EQ(b.messagetexts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(b.host.messages[0].first, MessageKind::plain);
    EXPECT_TRUE(b.host.shown.empty());
    EXPECT_EQ(b.host.finished, 1);
    EXPECT_FALSE(b.host.batchflagatfinish);
    EXPECT_FALSE(b.state.flags.batchrun);

    const std::string text = readfile(b.results);
    EXPECT_EQ(text.rfind("Input data from file, dataset 1:\r\n", 0), 0u);
    const std::string problem =
        "\r\n\r\nProblem in dataset 2\r\nNo results saved - error reading input dataset. 'abc' "
        "is not a valid floating point value.\r\n\r\n\r\n\r\n";
    EXPECT_NE(text.find(" s\r\n\r\n\r\n\r\n" + problem + "Input data from file, dataset 3:\r\n"),
              std::string::npos);
    // The last entry is the one lastresults holds; a fractional count rounds up.
    EXPECT_EQ(b.state.report.printlines[9], "Emissions from source = 3 (3.0E+0)");
    const std::string& last = b.state.report.lastresults;
    ASSERT_GE(text.size(), last.size() + 4);
    EXPECT_EQ(text.substr(text.size() - last.size() - 4), last + "\r\n\r\n");
}

TEST(BatchRun, OneGeneratorPerCommandRepeatsForTheSameSeed) {
    const std::string data = dataset() + dataset();
    Batch first(data), second(data), other(data);
    first.run(12345);
    second.run(12345);
    other.run(54321);
    const std::string a = withouttimes(readfile(first.results));
    EXPECT_EQ(a, withouttimes(readfile(second.results)));
    EXPECT_NE(a, withouttimes(readfile(other.results)));
    // The second dataset continues the sequence instead of reseeding.
    const std::size_t cut = a.find("Input data from file, dataset 2:");
    ASSERT_NE(cut, std::string::npos);
    const std::regex hits("spherical detector = (\\d+)");
    std::smatch m1, m2;
    const std::string one = a.substr(0, cut), two = a.substr(cut);
    ASSERT_TRUE(std::regex_search(one, m1, hits));
    ASSERT_TRUE(std::regex_search(two, m2, hits));
    EXPECT_NE(m1[1].str(), m2[1].str());
}

// Cancel at the opening prompt, or in either file dialog: the steps after
// it are not taken, nothing is read or written, and the window is restored.
TEST(BatchRun, CancelledOpeningStepsReadAndWriteNothing) {
    const struct {
        const char* step;
        std::function<void(ScriptHost&)> cancel;
        int datafileasked, resultsfileasked;
    } cases[] = {
        {"opening prompt", [](ScriptHost& h) { h.answers = {false}; }, 0, 0},
        {"data file", [](ScriptHost& h) { h.datafile.reset(); }, 1, 0},
        {"results file", [](ScriptHost& h) { h.resultsfile.reset(); }, 1, 1},
    };
    for (const auto& c : cases) {
        Batch b(dataset());
        c.cancel(b.host);
        EXPECT_EQ(b.run().outcome, RunOutcome::cancelled) << c.step;
        EXPECT_EQ(b.host.datafileasked, c.datafileasked) << c.step;
        EXPECT_EQ(b.host.resultsfileasked, c.resultsfileasked) << c.step;
        EXPECT_TRUE(b.host.captions.empty()) << c.step;
        EXPECT_TRUE(b.host.messages.empty()) << c.step;
        EXPECT_FALSE(std::filesystem::exists(b.results)) << c.step;
        EXPECT_EQ(b.host.finished, 1) << c.step;
        EXPECT_FALSE(b.state.flags.batchrun) << c.step;
    }
}

TEST(BatchRun, ExistingResultsFileAsksToAppend) {
    {
        Batch b(dataset());
        b.dir.write("results.txt", "former\r\n");
        b.host.resultsfile = b.dir.file("./results.txt");  // the question names it in full
        b.host.answers = {true, false};
        EXPECT_EQ(b.run().outcome, RunOutcome::cancelled);
        ASSERT_EQ(b.host.asked.size(), 2u);
        EXPECT_EQ(b.host.asked[1].first, ConfirmKind::yesno);
        EXPECT_EQ(b.host.asked[1].second, b.results + " file exists. Append?");
        EXPECT_EQ(readfile(b.results), "former\r\n");
        EXPECT_TRUE(b.host.captions.empty());
        EXPECT_TRUE(b.host.messages.empty());
    }
    {
        Batch b(dataset());
        b.dir.write("results.txt", "former\r\n");
        EXPECT_EQ(b.run().outcome, RunOutcome::completed);
        const std::string text = readfile(b.results);
        EXPECT_EQ(text.rfind("former\r\nInput data from file, dataset 1:\r\n", 0), 0u);
    }
}

TEST(BatchRun, NothingToReadCreatesNoResultsFile) {
    for (const std::string data : {"", "/ only a comment\n\n   \n"}) {
        Batch b(data);
        const RunResult r = b.run();
        EXPECT_EQ(r.outcome, RunOutcome::completed);
        EXPECT_EQ(r.datasets, 0);
        EXPECT_FALSE(std::filesystem::exists(b.results));
        EXPECT_TRUE(b.host.messages.empty());  // no "Done." either
    }
}

TEST(BatchRun, MalformedDatasetsGetProblemEntries) {
    std::string data = dataset({{21, "0"}});      // 1: no emissions
    data += dataset({{3, "true"}});               // 2: two detectors
    data += dataset({{23, "x"}, {24, "y"}});      // 3: 24 values
    data += dataset({}, 21);                      // 4: no 2 pi flag
    data += dataset({{21, "1E17"}});              // 5: a loop without end
    data += dataset({{12, "1E9"}, {21, "100"}});  // 6: a length out of range
    data += "true\nfalse\ntrue\n/ cut short\n";   // 7: the file ends
    Batch b(data);
    const RunResult r = b.run();
    EXPECT_EQ(r.outcome, RunOutcome::completed);
    EXPECT_EQ(r.datasets, 7);
    EXPECT_TRUE(b.host.captions.empty());  // nothing ran
    EXPECT_EQ(b.messagetexts(), std::vector<std::string>{"Done."});

    auto entry = [](int n, const std::string& reason) {
        return "\r\n\r\nProblem in dataset " + std::to_string(n) + "\r\nNo results saved - " +
               reason + ".\r\n\r\n\r\n\r\n";
    };
    const std::string reading = "error reading input dataset. ";
    EXPECT_EQ(readfile(b.results),
              entry(1, "the number of emissions is 0") +
                  entry(2, "values 1 to 5 must name exactly one source and exactly one detector") +
                  entry(3, reading + "More than 23 values before '*'") +
                  entry(4, reading + "Value 22 (2 pi source, true or false) is missing") +
                  entry(5, "the number of emissions is above 9007199254740992") +
                  entry(6,
                        "Length out of range: r2 = 1000000000; a length must be 0 or of "
                        "size 1E-6 to 1E8") +
                  entry(7, reading + "The data file ends after 3 values of a dataset; 22 are "
                                     "needed"));
    for (const char* bad : {"nan", "inf", "NAN", "INF"}) {
        EXPECT_EQ(readfile(b.results).find(bad), std::string::npos);
    }
    EXPECT_EQ(b.state.report.lastresults.find("Problem in dataset 7"), 4u);
    for (const auto& line : b.state.report.printlines) EXPECT_TRUE(line.empty());
}

TEST(BatchRun, PointSourceChoiceDoesNotCarryOver) {
    Batch b(dataset({{8, "0"}}));
    b.state.flags.ptsrc = true;
    b.run();
    EXPECT_EQ(b.state.report.printlines[1],
              "Circular face source, r1 = 0\r\nSource thickness, t1 = 0");
    EXPECT_EQ(b.state.report.printlines[7], "Source not rotated");
}

TEST(BatchRun, AbortWritesThePartialReportAndReadsNoFurther) {
    Batch b(dataset({{21, "1E9"}}) + dataset());
    b.host.abortatpoll = 3;
    const RunResult r = b.run();
    EXPECT_EQ(r.outcome, RunOutcome::aborted);
    EXPECT_EQ(r.datasets, 1);
    EXPECT_EQ(b.host.captions.size(), 1u);
    EXPECT_EQ(b.messagetexts(), std::vector<std::string>{"Done."});
    const std::string text = readfile(b.results);
    EXPECT_NE(text.find("\r\nResults up to time when simulation aborted:\r\n"
                        "Emissions from source = 30003 (3.0003E+4)\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("dataset 2"), std::string::npos);
}

TEST(BatchRun, StopBetweenDatasets) {
    Batch b(dataset() + dataset() + dataset());
    b.host.stopafterdatasets = 1;
    const RunResult r = b.run();
    EXPECT_EQ(r.outcome, RunOutcome::aborted);
    EXPECT_EQ(r.datasets, 1);
    const std::string text = readfile(b.results);
    EXPECT_NE(text.find("\r\nResults:\r\n"), std::string::npos);
    EXPECT_EQ(text.find("dataset 2"), std::string::npos);
}

TEST(BatchRun, WriteFailureKeepsEarlierEntries) {
    Batch b(dataset() + dataset() + dataset());
    std::string afterfirst;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldhandler = std::signal(SIGXFSZ, SIG_IGN);
    b.host.onloop = [&](int n) {
        if (n != 2) return;
        afterfirst = readfile(b.results);
        rlimit small = old;
        small.rlim_cur = afterfirst.size() + 10;
        setrlimit(RLIMIT_FSIZE, &small);
    };
    const RunResult r = b.run();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldhandler);

    EXPECT_EQ(r.outcome, RunOutcome::failed);
    EXPECT_EQ(r.datasets, 2);
    EXPECT_NE(r.message.find("File too large"), std::string::npos) << r.message;
    ASSERT_EQ(b.host.messages.size(), 2u);
    EXPECT_EQ(b.host.messages[0].second, "Done.");
    EXPECT_EQ(b.host.messages[1].first, MessageKind::error);
    EXPECT_EQ(b.host.messages[1].second, r.message);
    ASSERT_FALSE(afterfirst.empty());
    EXPECT_EQ(readfile(b.results), afterfirst);
    EXPECT_EQ(b.host.captions.size(), 2u);  // the third dataset was never read
}

TEST(BatchRun, UnreadableDataFileFails) {
    Batch b(dataset());
    std::filesystem::create_directory(b.dir.file("folder"));
    b.host.datafile = b.dir.file("folder");
    const RunResult r = b.run();
    EXPECT_EQ(r.outcome, RunOutcome::failed);
    EXPECT_FALSE(r.message.empty());
    EXPECT_FALSE(std::filesystem::exists(b.results));
    ASSERT_EQ(b.host.messages.size(), 1u);  // no "Done.": no dataset was read
    EXPECT_EQ(b.host.messages[0].first, MessageKind::error);
}

TEST(ScreenRun, ShowsTheReport) {
    ScriptHost host;
    host.texts = {{Field::r1, "1"},
                  {Field::r2, "3"},
                  {Field::t2, "5"},
                  {Field::c, "10"},
                  {Field::emissions, "2000"}};
    RunState state;
    const RunResult r = runcommand(state, host, false, 1);
    EXPECT_EQ(r.outcome, RunOutcome::completed);
    EXPECT_EQ(host.captions, std::vector<std::string>{" "});
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0], state.report.lastresults);
    EXPECT_EQ(state.report.printlines[0], "Input data from screen");
    EXPECT_EQ(state.report.printlines[9], "Emissions from source = 2000 (2.0E+3)");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(host.finished, 1);
    ASSERT_NE(state.generator, nullptr);
}

// Input refused before or by the run: no report, one message, and the last
// results stay as they were.
TEST(ScreenRun, RejectedInputRunsNothing) {
    const struct {
        const char* what;
        std::map<Field, std::string> texts;
        bool sphere;
        std::string message;
        std::size_t loops;
    } cases[] = {
        {"a field that is not a number",
         {{Field::r1, "1"}, {Field::r2, "x"}},
         false,
         "Invalid data in caption",
         0},
        // A count the loop could never finish is refused before it starts.
        {"an endless count",
         {{Field::r1, "1"}, {Field::r2, "3"}, {Field::t2, "5"}, {Field::emissions, "1E300"}},
         false,
         "Invalid value for number of emissions",
         0},
        // Lengths outside the range the run decides reliably, once all are read.
        {"a length out of range",
         {{Field::r1, "1"}, {Field::r2, "1E200"}, {Field::emissions, "100"}},
         true,
         "Length out of range: r2 = 1E200; a length must be 0 or of size 1E-6 to 1E8",
         0},
    };
    for (const auto& c : cases) {
        ScriptHost host;
        host.texts = c.texts;
        RunState state;
        state.flags.cyldet = !c.sphere;
        state.flags.sphdet = c.sphere;
        EXPECT_EQ(runcommand(state, host, false, 1).outcome, RunOutcome::rejected) << c.what;
        EXPECT_EQ(host.captions.size(), c.loops) << c.what;
        EXPECT_TRUE(host.shown.empty()) << c.what;
        EXPECT_EQ(state.report.lastresults, "No results") << c.what;
        ASSERT_EQ(host.messages.size(), 1u) << c.what;
        EXPECT_EQ(host.messages[0].second, c.message) << c.what;
        EXPECT_EQ(host.finished, 1) << c.what;
    }
}

}  // namespace
}  // namespace korvex

// Reading and checking the window's fields: order, messages, questions.
#include "io/screeninput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace korvex {
namespace {

const std::map<Field, std::string> captions = {
    {Field::r1, "source radius, r1"},
    {Field::a1, "source length, a1"},
    {Field::b1, "source length, b1"},
    {Field::t1, "source thickness, t1"},
    {Field::r2, "detector radius, r2"},
    {Field::a2, "detector length a2"},
    {Field::b2, "detector length b2"},
    {Field::t2, "detector thickness, t2"},
    {Field::d, "displacement, d"},
    {Field::a3, "displacement, a3"},
    {Field::b3, "displacement, b3"},
    {Field::c, "displacement, c"},
    {Field::emissions, "number of emissions"},
    {Field::rotz, "Rotation ccw about Z'' "},
    {Field::roty, "Rotation ccw about Y' "},
    {Field::rotx, "Rotation ccw about X"},
};

struct Fields : FieldSource {
    std::map<Field, std::string> texts;
    mutable std::vector<Field> asked;
    std::string text(Field f) const override {
        asked.push_back(f);
        auto it = texts.find(f);
        return it == texts.end() ? std::string() : it->second;
    }
    std::string caption(Field f) const override { return captions.at(f); }
};

struct Script : Prompter {
    std::vector<std::string> shown;
    std::vector<std::string> questions;
    std::vector<bool> answers;  // consumed in order; Yes when exhausted
    void message(MessageKind kind, const std::string& text) override {
        shown.push_back((kind == MessageKind::warning ? "warning: " : "plain: ") + text);
    }
    bool confirm(ConfirmKind kind, const std::string& text) override {
        EXPECT_EQ(kind, ConfirmKind::yescancel);
        questions.push_back(text);
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

// A complete set of texts for a cylindrical source over a cylinder.
Fields cylinderfields() {
    Fields f;
    f.texts = {{Field::r1, "1"},          {Field::t1, "0"},        {Field::r2, "2"},
               {Field::t2, "3"},          {Field::d, "0.5"},       {Field::c, "10"},
               {Field::emissions, "1E7"}, {Field::rotz, "0"},      {Field::roty, "0"},
               {Field::rotx, "0"},        {Field::a3, "not read"}, {Field::b3, "x"}};
    return f;
}

struct Outcome {
    GeometryFlags flags;
    RunParameters prm;
    Script script;
};

Outcome read(const Fields& fields, GeometryFlags flags, std::vector<bool> answers = {}) {
    Outcome o;
    o.flags = flags;
    o.script.answers = std::move(answers);
    getscreeninput(fields, o.script, o.flags, o.prm);
    return o;
}

TEST(CheckValue, MessagesAndSigns) {
    GeometryFlags flags;
    Script s;
    EXPECT_EQ(checkvalue(" 12.5", "c", false, flags, s), 12.5);
    EXPECT_FALSE(flags.dataerror);
    EXPECT_EQ(checkvalue("-0", "c", false, flags, s), 0.0);
    EXPECT_FALSE(flags.dataerror);
    EXPECT_EQ(checkvalue("-1E-9", "source thickness, t1", false, flags, s), 0.0);
    EXPECT_TRUE(flags.dataerror);
    EXPECT_EQ(checkvalue("-1E-9", "c", true, flags, s), -1e-9);
    EXPECT_FALSE(flags.dataerror);  // cleared again by the next call
    EXPECT_EQ(checkvalue("12,5", "displacement, c", true, flags, s), 0.0);
    EXPECT_TRUE(flags.dataerror);
    EXPECT_EQ(checkvalue("1e999", "displacement, c", true, flags, s), 0.0);
    EXPECT_EQ(checkvalue(".", "detector radius, r2", false, flags, s), 0.0);  // no digit
    EXPECT_TRUE(flags.dataerror);
    const std::vector<std::string> want = {
        "warning: Invalid data in source thickness, t1", "warning: Invalid data in displacement, c",
        "warning: Invalid data in displacement, c", "warning: Invalid data in detector radius, r2"};
    EXPECT_EQ(s.shown, want);
}

// Callers without a window (the Python module) take the captions from here.
TEST(ScreenInput, FieldCaptionsAreTheWindowsLabels) {
    for (const auto& [field, caption] : captions) EXPECT_EQ(fieldcaption(field), caption);
}

TEST(ScreenInput, CylinderOverCylinderReadsInOrder) {
    const Fields f = cylinderfields();
    const Outcome o = read(f, GeometryFlags{});
    EXPECT_FALSE(o.flags.dataerror);
    EXPECT_TRUE(o.script.shown.empty());
    const std::vector<Field> order = {Field::r1,   Field::r2,  Field::t2,        Field::d,
                                      Field::t1,   Field::c,   Field::emissions, Field::rotz,
                                      Field::roty, Field::rotx};
    EXPECT_EQ(f.asked, order);
    EXPECT_EQ(o.prm.a3, 0.5);  // d places the source
    EXPECT_EQ(o.prm.b3, 0);
    EXPECT_EQ(o.prm.emissions, 1e7);
    EXPECT_FALSE(o.flags.discwindow);
    EXPECT_FALSE(o.flags.thicksrc);
}

TEST(ScreenInput, CuboidShapesReadA3B3AndIgnoreD) {
    Fields f;
    f.texts = {{Field::a1, "1"},          {Field::b1, "2"},     {Field::t1, "0.5"},
               {Field::t2, "0"},          {Field::a2, "4"},     {Field::b2, "6"},
               {Field::a3, "-1"},         {Field::b3, "2"},     {Field::c, "3"},
               {Field::emissions, "2.5"}, {Field::rotz, "-45"}, {Field::roty, "0"},
               {Field::rotx, "30"},       {Field::d, "garbage"}};
    GeometryFlags flags;
    flags.cylsrc = false;
    flags.cubsrc = true;
    flags.cyldet = false;
    flags.cubdet = true;
    const Outcome o = read(f, flags);
    ASSERT_FALSE(o.flags.dataerror);
    const std::vector<Field> order = {
        Field::a1, Field::b1, Field::t2,        Field::a2,   Field::b2,   Field::a3,  Field::b3,
        Field::t1, Field::c,  Field::emissions, Field::rotz, Field::roty, Field::rotx};
    EXPECT_EQ(f.asked, order);
    EXPECT_TRUE(o.flags.rectwindow);
    EXPECT_TRUE(o.flags.thicksrc);
    EXPECT_EQ(o.prm.emissions, 2.5);
    EXPECT_EQ(o.prm.rotx, degtorad(30));
    EXPECT_EQ(o.prm.rotz, degtorad(-45));
    EXPECT_EQ(o.prm.d, 0);
}

TEST(ScreenInput, RejectionsShowOneMessageAndStop) {
    struct Case {
        const char* name;
        GeometryFlags flags;
        std::map<Field, std::string> changes;
        std::string message;
    };
    GeometryFlags sphere;
    sphere.cyldet = false;
    sphere.sphdet = true;
    GeometryFlags cuboid;
    cuboid.cyldet = false;
    cuboid.cubdet = true;
    const std::vector<Case> cases = {
        {"empty t1", {}, {{Field::t1, ""}}, "warning: Invalid data in source thickness, t1"},
        {"trailing blank",
         {},
         {{Field::r1, "12.5 "}},
         "warning: Invalid data in source radius, r1"},
        {"r2 zero", {}, {{Field::r2, "0"}}, "plain: r2 cannot be zero"},
        {"sphere r2 zero", sphere, {{Field::r2, "-0"}}, "plain: r2 cannot be zero"},
        {"face zero",
         cuboid,
         {{Field::a2, "0"}, {Field::b2, "1"}, {Field::a3, "0"}, {Field::b3, "0"}},
         "plain: Detector face dimensions cannot be zero"},
        {"count below one",
         {},
         {{Field::emissions, "0.5"}},
         "plain: Invalid value for number of emissions"},
        {"count negative",
         {},
         {{Field::emissions, "-5"}},
         "warning: Invalid data in number of emissions"},
        {"empty angle", {}, {{Field::roty, ""}}, "warning: Invalid data in Rotation ccw about Y' "},
    };
    for (const Case& c : cases) {
        Fields f = cylinderfields();
        for (const auto& [field, text] : c.changes) f.texts[field] = text;
        const Outcome o = read(f, c.flags);
        EXPECT_TRUE(o.flags.dataerror) << c.name;
        ASSERT_EQ(o.script.shown.size(), 1u) << c.name;
        EXPECT_EQ(o.script.shown[0], c.message) << c.name;
    }
}

TEST(ScreenInput, FieldsAfterAFailureStayZero) {
    Fields f = cylinderfields();
    f.texts[Field::d] = "x";
    const Outcome o = read(f, GeometryFlags{});
    EXPECT_TRUE(o.flags.dataerror);
    EXPECT_EQ(o.prm.r2, 2);
    EXPECT_EQ(o.prm.c, 0);
    EXPECT_EQ(o.prm.emissions, 0);
    EXPECT_EQ(f.asked.back(), Field::d);
}

TEST(ScreenInput, TwoPiQuestions) {
    GeometryFlags point;
    point.ptsrc = true;
    point.twopisrc = true;
    point.fourpisrc = false;
    const std::string thick =
        "You are setting a thick source as 2 pi.\rThey are normally modelled as 4 pi.";
    const std::string pointq =
        "You are setting a point source as 2 pi.\rThey are normally modelled as 4 pi.";

    Fields thin = cylinderfields();
    thin.texts[Field::r1] = "0";
    Outcome yes = read(thin, point, {true});
    EXPECT_FALSE(yes.flags.dataerror);
    EXPECT_EQ(yes.script.questions, std::vector<std::string>{pointq});

    Outcome cancel = read(thin, point, {false});
    EXPECT_TRUE(cancel.flags.dataerror);
    EXPECT_EQ(cancel.prm.c, 0);  // stopped before c

    Fields fat = thin;
    fat.texts[Field::t1] = "1";
    Outcome both = read(fat, point, {true, true});
    EXPECT_FALSE(both.flags.dataerror);
    EXPECT_EQ(both.script.questions, (std::vector<std::string>{thick, pointq}));

    Outcome firstno = read(fat, point, {false});
    EXPECT_TRUE(firstno.flags.dataerror);
    EXPECT_EQ(firstno.script.questions.size(), 1u);

    Outcome fourpi = read(fat, GeometryFlags{});
    EXPECT_TRUE(fourpi.script.questions.empty());
}

}  // namespace
}  // namespace korvex

#include "io/report.h"

#include <gtest/gtest.h>

#include "io/integralreport.h"

#include <string>

namespace korvex {
namespace {

// Shape choices as the window or a data file would leave them.
GeometryFlags shapes(bool cubsrc, bool ptsrc, char detector, bool window, bool twopi) {
    GeometryFlags f;
    f.cylsrc = !cubsrc;
    f.cubsrc = cubsrc;
    f.ptsrc = ptsrc;
    f.cyldet = detector == 'c';
    f.cubdet = detector == 'b';
    f.sphdet = detector == 's';
    f.discwindow = window && f.cyldet;
    f.rectwindow = window && f.cubdet;
    f.twopisrc = twopi;
    f.fourpisrc = !twopi;
    return f;
}

RunTallies counts(double emitted, double hits, double meanpath = 0) {
    RunTallies t;
    t.emitted = emitted;
    t.hits = hits;
    t.meanpath = meanpath;
    return t;
}

// Every detector kind of size 1.
const RunParameters unitdetectors{.r2 = 1, .a2 = 1, .b2 = 1, .t2 = 1};

Report build(const RunParameters& prm, const GeometryFlags& f, const RunTallies& t,
             const ReportContext& ctx = {false, 0, "0"}) {
    Report r;
    makereport(r, prm, f, t, ctx);
    return r;
}

TEST(Report, PointSourceOverSphereFromScreen) {
    const RunParameters prm{.r2 = 5, .c = 10};
    const GeometryFlags f = shapes(false, true, 's', false, false);
    const Report r = build(prm, f, counts(1e7, 1234567, 2.5), {false, 0, "12.35"});
    EXPECT_EQ(r.lastresults,
              "Input data from screen\r\n"
              "Point source\r\n"
              "4 pi source\r\n"
              "Spherical detector, r2 = 5\r\n"
              "Axis separation, d = 0\r\n"
              "Source-detector vertical separation, c = 10\r\n"
              "\r\nResults:\r\n"
              "Emissions from source = 10000000 (1.0E+7)\r\n"
              "Number of emissions passing through spherical detector = 1234567\r\n"
              "% of 4 pi emissions passing through detector volume = 12.346\r\n"
              "Mean path length through sphere = 2.5000000 +/- 0.0069305\r\n"
              "\r\nAverage solid angle = 1.5514026 +/- 0.0043008 steradians\r\n"
              "[Estimated error at 99.9% confidence interval = 0.277%]\r\n"
              "\r\nProcessing time = 12.35 s\r\n"
              "\r\n");
    // A point source that is not rotated has no line 8; the sphere no line 5.
    EXPECT_EQ(r.printlines[7], "");
    EXPECT_EQ(r.printlines[4], "");
}

TEST(Report, RotatedTwoPiDiscOverCylinderFromFile) {
    const RunParameters prm{.r1 = 2.5,
                            .t1 = 1,
                            .r2 = 3,
                            .t2 = 5,
                            .d = 1,
                            .a3 = 1,
                            .c = 10,
                            .rotx = degtorad(30),
                            .rotz = degtorad(-45)};
    GeometryFlags f = shapes(false, false, 'c', false, true);
    f.batchrun = true;
    f.rotated = true;
    const RunTallies t{.emitted = 2000,
                       .hits = 500,
                       .sidehits = 300,
                       .tophits = 450,
                       .bottomhits = 120,
                       .meanpath = 3.25};
    const Report r = build(prm, f, t, {false, 3, "0.5"});
    EXPECT_EQ(r.lastresults,
              "Input data from file, dataset 3:\r\n"
              "Circular face source, r1 = 2.5\r\nSource thickness, t1 = 1\r\n"
              "2 pi source\r\n"
              "Cylindrical detector, radius r2 = 3\r\n"
              "Cylinder thickness t2 = 5\r\n"
              "Axis separation, d = 1\r\n"
              "Source-detector vertical separation, c = 10\r\n"
              "Rotation angles (degrees):\r\n"
              " ccw around original source x axis = 30\r\n"
              " ccw around intermediate y axis = 0\r\n"
              " ccw around final z axis = -45\r\n"
              "\r\nResults:\r\n"
              "Emissions from source front face = 2000 (2.0E+3)\r\n"
              "Number of emissions passing through cylinder = 500\r\n"
              "[4 pi emissions from source, if source isotropic, = 4,000]\r\n"
              "% of front face emissions passing through detector volume = 25\r\n"
              "Number of hits on cylinder walls (including ends) = 870\r\n"
              "This was made up of: \r\n300 hits on the cylinder sides,\r\n"
              "450 hits on top end of cylinder, and \r\n120 hits on the bottom end.\r\n"
              "Mean path length through cylinder = 3.2500000 +/- 0.4141187\r\n"
              "\r\nAverage solid angle = 1.5707963 +/- 0.2001527 steradians\r\n"
              "[Estimated error at 99.9% confidence interval = 12.7%]\r\n"
              "\r\nProcessing time = 0.5 s\r\n"
              "\r\n");
}

TEST(Report, RectangleOverCuboidNamesTheFacePlanes) {
    const RunParameters prm{
        .a1 = 2, .b1 = 3, .a2 = 4, .b2 = 6, .t2 = 2, .a3 = -1.5, .b3 = 0.25, .c = 7};
    const GeometryFlags f = shapes(true, false, 'b', false, false);
    const RunTallies t{.emitted = 150000,
                       .hits = 12345,
                       .topfacehits = 9000,
                       .bottomfacehits = 2000,
                       .xplusfacehits = 500,
                       .xminusfacehits = 400,
                       .yplusfacehits = 300,
                       .yminusfacehits = 145,
                       .meanpath = 0.75};
    const Report r = build(prm, f, t, {false, 0, "3"});
    EXPECT_EQ(r.lastresults,
              "Input data from screen\r\n"
              "Rectangular face source, a1 = 2, b1 = 3\r\nSource thickness, t1 = 0\r\n"
              "4 pi source\r\n"
              "Cuboid detector, length a2 = 4, length b2 = 6\r\n"
              "Thickness of detector t2 = 2\r\n"
              "Axis separation, a3 = -1.5, b3 = 0.25\r\n"
              "Source-detector vertical separation, c = 7\r\n"
              "Source not rotated\r\n"
              "\r\nResults:\r\n"
              "Emissions from source = 150000 (1.5E+5)\r\n"
              "Number of emissions passing through cuboid detector = 12345\r\n"
              "% of 4 pi emissions passing through detector volume = 8.23\r\n"
              " Hits on the top face:  9000\r\n Hits on the bottom face:  2000\r\n"
              " Hits on the face in the Xd = +2 plane: 500\r\n"
              " Hits on the face in the Xd = -2 plane: 400\r\n"
              " Hits on the face in the Yd = +3 plane: 300\r\n"
              " Hits on the face in the Yd = -3 plane: 145\r\n"
              "Mean path length through cuboid = 0.7500000 +/- 0.0212746\r\n"
              "\r\nAverage solid angle = 1.0342123 +/- 0.0293366 steradians\r\n"
              "[Estimated error at 99.9% confidence interval = 2.84%]\r\n"
              "\r\nProcessing time = 3 s\r\n"
              "\r\n");
}

TEST(Report, WindowsHaveNoWallOrPathLines) {
    const RunParameters prm{.r2 = 3, .a2 = 4, .b2 = 6};
    const GeometryFlags disc = shapes(false, false, 'c', true, false);
    Report r = build(prm, disc, counts(1000, 100, 1));
    EXPECT_EQ(r.printlines[3], "Plane disc detector, radius r2 = 3");
    EXPECT_EQ(r.printlines[4], "");
    EXPECT_EQ(r.printlines[10], "Number of emissions passing through detector window = 100");
    EXPECT_EQ(r.printlines[11], "% of 4 pi emissions passing through detector window = 10");
    for (int i = 12; i <= 15; ++i) EXPECT_EQ(r.printlines[i], "") << "line " << i + 1;

    const GeometryFlags rect = shapes(true, false, 'b', true, true);
    r = build(prm, rect, counts(1e7, 100, 1));
    EXPECT_EQ(r.printlines[3], "Plane rectangular detector, length a2 = 4, length b2 = 6");
    EXPECT_EQ(r.printlines[4], "");
    EXPECT_EQ(r.printlines[11],
              "[4 pi emissions from source, if source isotropic, = 20,000,000]\r\n"
              "% of front face emissions passing through detector window = 0.001");
    for (int i = 12; i <= 15; ++i) EXPECT_EQ(r.printlines[i], "") << "line " << i + 1;
}

// A source on or in the detector: the warning takes line 9, right before the
// emission count, and the wall or face counts are withheld.
const RunParameters sizes{.r2 = 3, .a2 = 4, .b2 = 6, .t2 = 2};
const RunTallies inside{.emitted = 1000,
                        .hits = 400,
                        .sidehits = 5,
                        .topfacehits = 7,
                        .sourceinside = true,
                        .meanpath = 1};
const std::string volumewarning =
    "\r\nWARNING. Part or all of the source is on or within the detector volume.";

TEST(Report, SourceInsideWarnings) {
    const struct {
        const char* name;
        GeometryFlags flags;
        bool aborted;
        std::string line9;
    } cases[] = {
        {"cylinder", shapes(false, false, 'c', false, false), false, volumewarning + "\r\n"},
        {"sphere", shapes(false, false, 's', false, false), false, volumewarning + "\r\n"},
        // The cuboid's warning has no line break of its own: one "\r\n" follows it.
        {"cuboid", shapes(true, false, 'b', false, false), false, volumewarning},
        {"disc window", shapes(false, false, 'c', true, false), false,
         "\r\nWARNING. Part or all the source is directly underneath the detector window.\r\n"},
        // The warning replaces the aborted heading too.
        {"aborted sphere", shapes(false, false, 's', false, false), true, volumewarning + "\r\n"},
    };
    for (const auto& c : cases) {
        const Report r = build(sizes, c.flags, inside, {c.aborted, 0, "0"});
        EXPECT_EQ(r.printlines[8], c.line9) << c.name;
        EXPECT_NE(r.lastresults.find(c.line9 + "\r\nEmissions"), std::string::npos) << c.name;
    }
}

TEST(Report, SourceInsideWithholdsWallCounts) {
    Report r = build(sizes, shapes(false, false, 'c', false, false), inside);
    EXPECT_EQ(r.printlines[12], "Invalid geometry. Wall hits not given");
    EXPECT_EQ(r.printlines[13], "");
    EXPECT_EQ(r.printlines[14], "");

    r = build(sizes, shapes(true, false, 'b', false, false), inside);
    for (int i = 12; i <= 14; ++i) EXPECT_EQ(r.printlines[i], "") << "line " << i + 1;
    EXPECT_EQ(r.printlines[15], "Mean path length through cuboid = 1.0000000 +/- 0.1274212");
}

TEST(Report, AbortedHeading) {
    const Report r =
        build({.r2 = 1}, shapes(false, false, 's', false, false), counts(30003, 3), {true, 0, "0"});
    EXPECT_EQ(r.printlines[8], "\r\nResults up to time when simulation aborted:");
    EXPECT_EQ(r.printlines[9], "Emissions from source = 30003 (3.0003E+4)");
}

// The integral method stopped before its first estimate and error: the
// report says so instead of a solid angle of 0 +/- 0 that nothing measured.
TEST(Report, IntegralAbortedBeforeAFirstEstimate) {
    IntegralOutcome out;
    out.aborted = true;
    out.points = 32;  // the first order of a rule, which has no error yet
    Report r;
    makeintegralreport(r, {.r1 = 1, .r2 = 2, .t2 = 1, .c = 1},
                       shapes(false, false, 'c', false, false), out, 1e-6, {true, 0, "0"});
    EXPECT_EQ(r.printlines[8], "\r\nResults up to time when simulation aborted:");
    EXPECT_NE(r.printlines[9].find("stopped before a first estimate"), std::string::npos);
    EXPECT_EQ(r.printlines[16], "\r\nAverage solid angle: not computed");
    EXPECT_EQ(r.lastresults.find("0.0"), std::string::npos) << r.lastresults;
}

TEST(Report, NoHitsGiveZeroStatisticsAndTheZeroPathLines) {
    const RunParameters prm = unitdetectors;
    const struct {
        char detector;
        const char* pathline;
    } cases[] = {
        {'s', "Mean path through sphere = 0"},
        {'b', "Mean path through cuboid = 0"},
        {'c', "Mean path through cylinder length = 0"},
    };
    for (const auto& c : cases) {
        const Report r = build(prm, shapes(false, false, c.detector, false, false), counts(500, 0));
        EXPECT_EQ(r.printlines[15], c.pathline);
        EXPECT_EQ(r.printlines[16], "\r\nAverage solid angle = 0.0000000 +/- 0.0000000 steradians");
        EXPECT_EQ(r.printlines[17], "[No emissions hit the detector. Unable to estimate error]");
        EXPECT_EQ(r.printlines[11], "% of 4 pi emissions passing through detector volume = 0");
    }
}

TEST(Report, EveryEmissionAHitHasZeroError) {
    const Report r =
        build({.r2 = 10}, shapes(false, false, 's', false, false), counts(1000, 1000, 4));
    EXPECT_EQ(r.printlines[15], "Mean path length through sphere = 4.0000000 +/- 0.0000000");
    EXPECT_EQ(r.printlines[16], "\r\nAverage solid angle = 12.5663706 +/- 0.0000000 steradians");
    EXPECT_EQ(r.printlines[17], "[Estimated error at 99.9% confidence interval = 0%]");
}

TEST(Report, NoEmissionsWritesNoNanOrInfinity) {
    const RunParameters prm = unitdetectors;
    for (char detector : {'s', 'b', 'c'}) {
        for (bool twopi : {false, true}) {
            const Report r = build(prm, shapes(false, false, detector, false, twopi), counts(0, 0));
            EXPECT_EQ(r.lastresults.find("nan"), std::string::npos) << r.lastresults;
            EXPECT_EQ(r.lastresults.find("inf"), std::string::npos) << r.lastresults;
            EXPECT_EQ(r.printlines[16],
                      "\r\nAverage solid angle = 0.0000000 +/- 0.0000000 steradians");
        }
    }
}

TEST(Report, RotatedPointSourceShowsItsAngles) {
    const RunParameters prm{.r2 = 1, .roty = degtorad(90)};
    GeometryFlags f = shapes(false, true, 's', false, false);
    f.rotated = true;
    const Report r = build(prm, f, counts(10, 1, 1));
    EXPECT_EQ(r.printlines[7],
              "Rotation angles (degrees):\r\n ccw around original source x axis = 0\r\n"
              " ccw around intermediate y axis = 90\r\n ccw around final z axis = 0");

    // The largest double as an angle and as a length: echoed so that the
    // reader takes the text back, never as INF.
    const RunParameters huge{.r2 = 1.7976931348623157e308,
                             .rotx = degtorad(1.7976931348623157e308),
                             .rotz = degtorad(-1.7976931348623157e308)};
    const Report h = build(huge, f, counts(10, 1, 1));
    EXPECT_EQ(h.printlines[3], "Spherical detector, r2 = 1.7976931348623157E308");
    EXPECT_EQ(h.printlines[7],
              "Rotation angles (degrees):\r\n ccw around original source x axis = "
              "1.7976931348623157E308\r\n ccw around intermediate y axis = 0\r\n ccw around "
              "final z axis = -1.7976931348623157E308");
}

TEST(Report, ANewReportReplacesEveryLine) {
    const RunParameters prm{.r2 = 1, .t2 = 1};
    Report r;
    RunTallies t = counts(100, 10, 1);
    makereport(r, prm, shapes(false, false, 'c', false, false), t, {false, 0, "0"});
    ASSERT_FALSE(r.printlines[13].empty());
    makereport(r, prm, shapes(false, false, 'c', true, false), t, {false, 0, "0"});
    EXPECT_EQ(r.printlines[13], "");
    const std::string& text = r.lastresults;
    EXPECT_EQ(text.substr(text.size() - 6), " s\r\n\r\n");
    EXPECT_EQ(text.find("walls"), std::string::npos);
}

}  // namespace
}  // namespace korvex

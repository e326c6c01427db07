#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/dataset.h"
#include "engine/geometry.h"
#include "engine/kinds.h"

using namespace korvex;

namespace {
using M3 = std::array<double, 9>;

M3 mul(const M3& a, const M3& b) {
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return r;
}

// Counter-clockwise elementary rotations of the axes.
M3 rx(double a) { return {1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)}; }
M3 ry(double a) { return {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)}; }
M3 rz(double a) { return {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1}; }
}  // namespace

TEST(Geometry, DegreesToRadians) {
    EXPECT_EQ(degtorad(180), std::numbers::pi);
    EXPECT_EQ(degtorad(90), std::numbers::pi / 2);
    EXPECT_EQ(degtorad(0), 0.0);
    EXPECT_EQ(degtorad(-45), -std::numbers::pi / 4);
}

TEST(Geometry, ClearKeepsOnlyTheEmissionCount) {
    RunParameters p{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1e7};
    clearparameters(p);
    EXPECT_EQ(p.emissions, 1e7);
    EXPECT_EQ(p.r1, 0);
    EXPECT_EQ(p.c, 0);
    EXPECT_EQ(p.rotz, 0);
}

TEST(Geometry, RotatedOnlyForAnAngleNotExactlyZero) {
    RunParameters p;
    EXPECT_FALSE(isrotated(p));
    p.rotz = degtorad(360);
    EXPECT_TRUE(isrotated(p));
    p.rotz = -0.0;
    EXPECT_FALSE(isrotated(p));
    p.roty = 1e-300;
    EXPECT_TRUE(isrotated(p));
}

TEST(Geometry, MatrixIsTheProductXThenYThenZ) {
    const double a = 0.3, b = -1.1, c = 2.4;
    const M3 r = rotmatrix(a, b, c);
    const M3 expected = mul(mul(rx(a), ry(b)), rz(c));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(r[i], expected[i], 1e-15) << "entry " << i;
}

TEST(Geometry, UnrotatedFrameIsAnExactTranslation) {
    RunParameters p;
    p.a3 = 0.1;
    p.b3 = -0.7;
    p.c = 3.3;
    p.rotx = 1;  // ignored: the frame is built unrotated
    const Frame f = makeframe(p, false);
    const Vec3 d = todetector(f, {0.2, 0.4, 1e-17});
    EXPECT_EQ(d.x, 0.2 + 0.1);
    EXPECT_EQ(d.y, 0.4 + -0.7);
    EXPECT_EQ(d.z, 1e-17 + 3.3);
}

TEST(Geometry, QuarterTurnAboutSourceX) {
    RunParameters p;
    p.a3 = 1;
    p.b3 = 2;
    p.c = 5;
    p.rotx = degtorad(90);
    const Frame f = makeframe(p, true);
    // Ys points along -Zd, Zs along +Yd.
    const Vec3 y = todetector(f, {0, 1, 0});
    EXPECT_NEAR(y.x, 1, 1e-15);
    EXPECT_NEAR(y.y, 2, 1e-15);
    EXPECT_NEAR(y.z, 4, 1e-15);
    // The cosine of the converted angle is not exactly 0.
    EXPECT_NE(f.r[4], 0.0);
    const Vec3 z = todetector(f, {0, 0, 1});
    EXPECT_NEAR(z.x, 1, 1e-15);
    EXPECT_NEAR(z.y, 3, 1e-15);
    EXPECT_NEAR(z.z, 5, 1e-15);
}

TEST(Geometry, FullTurnIsIdentityUpToRounding) {
    const M3 r = rotmatrix(degtorad(360), degtorad(360), degtorad(360));
    const M3 id{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(r[i], id[i], 1e-15);
}

TEST(Geometry, RotationActsBeforeTranslation) {
    RunParameters p;
    p.a3 = 10;
    p.roty = degtorad(90);
    p.rotz = degtorad(30);
    const Frame f = makeframe(p, true);
    // The source origin stays at (a3, b3, c) whatever the angles.
    const Vec3 o = todetector(f, {0, 0, 0});
    EXPECT_EQ(o.x, 10);
    EXPECT_EQ(o.y, 0);
    EXPECT_EQ(o.z, 0);
    // Lengths are kept.
    const Vec3 v = todetector(f, {1, 2, 2});
    EXPECT_NEAR(std::hypot(v.x - 10, v.y, v.z), 3, 1e-14);
}

// The angles of a dataset come back as typed: what a record echoes reads back
// as the same run.
TEST(DatasetModel, AnglesComeBackAsTyped) {
    for (const double typed : {30.0, -45.0, 0.1, 1e-7, 359.99, -123.456789, 1e300}) {
        Dataset ds;
        ds[Value::rotx] = typed;
        ds[Value::rotz] = -typed;
        GeometryFlags flags;
        RunParameters prm;
        makerun(ds, flags, prm);
        const Dataset back = datasetof(flags, prm);
        EXPECT_EQ(back[Value::rotx], typed);
        EXPECT_EQ(back[Value::rotz], -typed);
        EXPECT_TRUE(flags.rotated);
    }
}

// Placement by d, the derived flags and a point held at 0, for each pair.
TEST(DatasetModel, MakerunDerivesFlagsAndPlacement) {
    const struct {
        SourceShape source;
        DetectorShape detector;
        double t2;
        bool bydistance, discwindow, rectwindow;
    } cases[] = {
        {SourceShape::cylinder, DetectorShape::cylinder, 0, true, true, false},
        {SourceShape::point, DetectorShape::sphere, 0, true, false, false},
        {SourceShape::cylinder, DetectorShape::cuboid, 0, false, false, true},
        {SourceShape::cuboid, DetectorShape::cylinder, 2, false, false, false},
    };
    for (const auto& c : cases) {
        Dataset ds;
        ds.source = c.source;
        ds.detector = c.detector;
        ds.twopi = true;
        ds[Value::r1] = ds[Value::t1] = 0.5;
        ds[Value::t2] = c.t2;
        ds[Value::a3] = 7;
        ds[Value::b3] = 8;
        ds[Value::d] = -3;
        GeometryFlags flags;
        RunParameters prm;
        makerun(ds, flags, prm);
        EXPECT_EQ(prm.a3, c.bydistance ? -3 : 7);
        EXPECT_EQ(prm.b3, c.bydistance ? 0 : 8);
        EXPECT_EQ(flags.discwindow, c.discwindow);
        EXPECT_EQ(flags.rectwindow, c.rectwindow);
        EXPECT_EQ(flags.ptsrc, c.source == SourceShape::point);
        EXPECT_EQ(prm.t1, c.source == SourceShape::point ? 0 : 0.5);
        EXPECT_EQ(flags.thicksrc, c.source != SourceShape::point);
        EXPECT_TRUE(flags.twopisrc && !flags.fourpisrc && !flags.rotated);
        EXPECT_TRUE(consistentkinds(flags));
        EXPECT_EQ(sourceshape(flags), c.source);
        EXPECT_EQ(detectorshape(flags), c.detector);
    }
}

// Only what the window refuses: a negative size or count the shapes use.
TEST(DatasetModel, ChecksRefuseWhatTheWindowRefuses) {
    const struct {
        Value value;
        double number;
        Refusal refusal;
    } cases[] = {
        {Value::r2, -3.81, Refusal::negative},
        {Value::t1, -1e-9, Refusal::negative},
        {Value::emissions, -5, Refusal::negative},
        {Value::emissions, -1e6, Refusal::negative},
        {Value::emissions, 0.4, Refusal::none},
        {Value::emissions, 0, Refusal::noemissions},
        {Value::emissions, 1e16, Refusal::toomanyemissions},
        {Value::r1, -0.0, Refusal::none},
        {Value::a1, -2, Refusal::none},  // a round source has no a1
        {Value::d, -4, Refusal::none},
        {Value::c, -4, Refusal::none},
        {Value::rotx, -30, Refusal::none},
        {Value::r2, 1e9, Refusal::lengthoutofrange},
    };
    for (const auto& c : cases) {
        Dataset ds;
        ds[Value::r1] = 1;
        ds[Value::r2] = 2;
        ds[Value::t2] = 1;
        ds[Value::c] = 3;
        ds[Value::emissions] = 100;
        ds[c.value] = c.number;
        GeometryFlags flags;
        RunParameters prm;
        makerun(ds, flags, prm);
        const ValueCheck check = checkvalues(flags, prm);
        EXPECT_EQ(check.refusal, c.refusal) << info(c.value).name << " = " << c.number;
        if (c.refusal == Refusal::negative || c.refusal == Refusal::lengthoutofrange) {
            EXPECT_EQ(check.value, c.value);
            EXPECT_EQ(check.number, c.number);
        }
    }
}

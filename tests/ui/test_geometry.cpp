// The geometry view: known points land where the engine's transform puts
// them, the view follows the fields without touching the run, the warnings
// in the report's words, and korvex-draw on whole data files.
#include <sys/resource.h>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/geometry.h"
#include "picture/geometrypicture.h"
#include "ui/form1.h"
#include "ui/geometryview.h"
#include "uitesting.h"

using namespace korvex;

Q_DECLARE_METATYPE(korvex::Vec3)

namespace {

// Where the image of each source axis points in the detector frame, found
// without the engine: R = Rx(a) Ry(b) Rz(c) from the elementary rotations,
// and a source point goes through its transpose, so the image of axis i is
// row i of R.
std::array<Vec3, 3> sourceaxes(double a, double b, double c) {
    using M = std::array<std::array<double, 3>, 3>;
    const M rx{{{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}}};
    const M ry{{{std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}}};
    const M rz{{{std::cos(c), -std::sin(c), 0}, {std::sin(c), std::cos(c), 0}, {0, 0, 1}}};
    auto mul = [](const M& l, const M& r) {
        M m{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) m[i][j] += l[i][k] * r[k][j];
        return m;
    };
    const M r = mul(mul(rx, ry), rz);
    return {Vec3{r[0][0], r[0][1], r[0][2]}, Vec3{r[1][0], r[1][1], r[1][2]},
            Vec3{r[2][0], r[2][1], r[2][2]}};
}

double length(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

// A valid disc source over a cylinder detector in the window.
void fillvalid(TForm1& form) {
    form.Inputbox_r1->setText("1");
    form.Inputbox_t1->setText("0");
    form.Inputbox_r2->setText("2");
    form.Inputbox_h->setText("1");
    form.Inputbox_d->setText("0.5");
    form.Inputbox_c->setText("1");
    form.inputbox_endcount->setText("2000");
}

QString draw() { return QStringLiteral(KORVEX_DRAW); }

}  // namespace

class GeometryTest : public QObject {
    Q_OBJECT
private slots:
    void knownPointsLandWhereTheEngineSendsThem_data();
    void knownPointsLandWhereTheEngineSendsThem();
    void raysComeFromTheSourceAndTwoPiKeepsToTheFront();
    void warningsInTheReportsWords_data();
    void warningsInTheReportsWords();
    void viewFollowsTheFields();
    void drawingLeavesTheRunAlone();
    void presetsWheelScaleAndLabels();
    void drawWritesEveryDataset_data();
    void drawWritesEveryDataset();
};

void GeometryTest::knownPointsLandWhereTheEngineSendsThem_data() {
    QTest::addColumn<double>("rotx");
    QTest::addColumn<double>("roty");
    QTest::addColumn<double>("rotz");
    // The images of Xs, Ys and Zs in the detector frame.
    QTest::addColumn<Vec3>("xs");
    QTest::addColumn<Vec3>("ys");
    QTest::addColumn<Vec3>("zs");

    QTest::newRow("not rotated") << 0.0 << 0.0 << 0.0 << Vec3{1, 0, 0} << Vec3{0, 1, 0}
                                 << Vec3{0, 0, 1};
    // Ys turns to -Zd and Zs to +Yd.
    QTest::newRow("90 about X") << 90.0 << 0.0 << 0.0 << Vec3{1, 0, 0} << Vec3{0, 0, -1}
                                << Vec3{0, 1, 0};
    QTest::newRow("90 about Y'") << 0.0 << 90.0 << 0.0 << Vec3{0, 0, 1} << Vec3{0, 1, 0}
                                 << Vec3{-1, 0, 0};
    QTest::newRow("90 about Z''") << 0.0 << 0.0 << 90.0 << Vec3{0, -1, 0} << Vec3{1, 0, 0}
                                  << Vec3{0, 0, 1};
    const auto axes = sourceaxes(30 * std::numbers::pi / 180, -50 * std::numbers::pi / 180,
                                 120 * std::numbers::pi / 180);
    QTest::newRow("three angles") << 30.0 << -50.0 << 120.0 << axes[0] << axes[1] << axes[2];
}

// Seen from the front (from -Yd) the screen shows Xd to the right and Zd up;
// from the side (from +Xd), Yd to the right and Zd up. Every mark must land
// at the detector origin's pixel plus the scale times its detector
// coordinates as the closed forms give them.
void GeometryTest::knownPointsLandWhereTheEngineSendsThem() {
    QFETCH(double, rotx);
    QFETCH(double, roty);
    QFETCH(double, rotz);
    QFETCH(Vec3, xs);
    QFETCH(Vec3, ys);
    QFETCH(Vec3, zs);

    GeometryFlags flags;
    flags.cylsrc = false;
    flags.cubsrc = true;
    flags.cyldet = false;
    flags.cubdet = true;
    RunParameters p;
    p.a1 = 2, p.b1 = 1, p.t1 = 0.5;
    p.a2 = 3, p.b2 = 4, p.t2 = 2;
    p.a3 = 1.25, p.b3 = -2, p.c = 3.5;
    p.rotx = degtorad(rotx), p.roty = degtorad(roty), p.rotz = degtorad(rotz);
    const Scene scene = makescene(p, flags, 0);
    QCOMPARE(scene.flags.rotated, rotx != 0 || roty != 0 || rotz != 0);

    const QRectF target(0, 0, 640, 480);
    for (const auto& [azimuth, right] : {std::pair{-90.0, 0}, std::pair{0.0, 1}}) {
        PictureOptions options;
        options.angle = {azimuth, 0};
        const GeometryPicture picture(scene, options);
        const double s = picture.pixelsperunit(target);
        const QPointF origin = picture.topixel({0, 0, 0}, target);
        auto expected = [&](Vec3 d) { return origin + s * QPointF(right == 0 ? d.x : d.y, -d.z); };
        auto near = [&](QPointF a, QPointF b) { return QLineF(a, b).length() < 1e-6 * s; };

        QVERIFY(near(picture.topixel(picture.mark(Mark::detectororigin), target), origin));
        const Vec3 zd = picture.mark(Mark::zd);
        QVERIFY(near(picture.topixel(zd, target), expected({0, 0, zd.z})));
        const Vec3 o{p.a3, p.b3, p.c};
        const QPointF sourceorigin = expected(o);
        QVERIFY(near(picture.topixel(picture.mark(Mark::sourceorigin), target), sourceorigin));
        const std::pair<Mark, Vec3> tips[] = {{Mark::xs, xs}, {Mark::ys, ys}, {Mark::zs, zs}};
        for (const auto& [mark, direction] : tips) {
            const double l = length(picture.mark(mark), picture.mark(Mark::sourceorigin));
            const Vec3 tip{o.x + l * direction.x, o.y + l * direction.y, o.z + l * direction.z};
            QVERIFY2(
                near(picture.topixel(picture.mark(mark), target), expected(tip)),
                qPrintable(
                    QStringLiteral("axis %1 seen from azimuth %2").arg(int(mark)).arg(azimuth)));
        }
    }
}

void GeometryTest::raysComeFromTheSourceAndTwoPiKeepsToTheFront() {
    // A point source turned half a turn about Xs, so that its front
    // hemisphere faces up, away from the window below it: 2 pi rays all
    // leave upwards and none hits; 4 pi rays hit too.
    GeometryFlags flags;
    flags.ptsrc = true;
    flags.twopisrc = true;
    flags.fourpisrc = false;
    flags.discwindow = true;
    RunParameters p;
    p.r2 = 3;
    p.d = p.a3 = 0.5;
    p.c = 1;
    p.rotx = degtorad(180);

    const Scene front = makescene(p, flags, 200);
    QCOMPARE(int(front.rays.size()), 200);
    for (const Ray& r : front.rays) {
        QCOMPARE(r.from.x, 0.5);
        QCOMPARE(r.from.z, 1.0);
        QVERIFY(r.to.z >= r.from.z - 1e-12);
        QVERIFY(!r.hit);
    }
    flags.twopisrc = false;
    flags.fourpisrc = true;
    const Scene all = makescene(p, flags, 200);
    const auto hits =
        std::count_if(all.rays.begin(), all.rays.end(), [](auto& r) { return r.hit; });
    // The window subtends about a third of the sphere of directions.
    QVERIFY(hits > 40 && hits < 100);
    // A hit ends on the window's plane.
    for (const Ray& r : all.rays)
        if (r.hit) QVERIFY(std::fabs(r.to.z) < 1e-9);
}

void GeometryTest::warningsInTheReportsWords_data() {
    QTest::addColumn<int>("detector");  // 0 cylinder, 1 cuboid, 2 sphere
    QTest::addColumn<double>("t2");
    QTest::addColumn<double>("a3");
    QTest::addColumn<double>("c");
    QTest::addColumn<double>("rotx");
    QTest::addColumn<QString>("warning");

    const QString volume =
        QStringLiteral("WARNING. Part or all of the source is on or within the detector volume.");
    const QString window = QStringLiteral(
        "WARNING. Part or all the source is directly underneath the detector window.");
    // The source is a plane rectangle 2 x 1, its origin at (a3, 0, c).
    QTest::newRow("above a cylinder") << 0 << 2.0 << 0.0 << 1.0 << 0.0 << QString();
    QTest::newRow("inside a cylinder") << 0 << 2.0 << 0.0 << -1.0 << 0.0 << volume;
    QTest::newRow("lying on a cylinder") << 0 << 2.0 << 0.0 << 0.0 << 0.0 << volume;
    QTest::newRow("under a disc window") << 0 << 0.0 << 0.0 << -1.0 << 0.0 << window;
    QTest::newRow("beside a disc window, below it") << 0 << 0.0 << 6.0 << -1.0 << 0.0 << QString();
    QTest::newRow("a corner turned into a cuboid") << 1 << 2.0 << 0.0 << 0.2 << 30.0 << volume;
    QTest::newRow("clear of a cuboid") << 1 << 2.0 << 0.0 << 0.3 << 30.0 << QString();
    QTest::newRow("in a sphere") << 2 << 0.0 << 2.5 << 0.0 << 0.0 << volume;
    QTest::newRow("beside a sphere") << 2 << 0.0 << 4.5 << 0.0 << 0.0 << QString();
}

void GeometryTest::warningsInTheReportsWords() {
    QFETCH(int, detector);
    QFETCH(double, t2);
    QFETCH(double, a3);
    QFETCH(double, c);
    QFETCH(double, rotx);
    QFETCH(QString, warning);

    GeometryFlags flags;
    flags.cylsrc = false;
    flags.cubsrc = true;
    flags.cyldet = detector == 0;
    flags.cubdet = detector == 1;
    flags.sphdet = detector == 2;
    flags.discwindow = flags.cyldet && t2 == 0;
    RunParameters p;
    p.a1 = 2, p.b1 = 1;
    p.r2 = 3, p.a2 = 4, p.b2 = 4, p.t2 = t2;
    p.a3 = a3, p.c = c;
    p.rotx = degtorad(rotx);
    QCOMPARE(makescene(p, flags, 0).warning, warning);
}

void GeometryTest::viewFollowsTheFields() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    GeometryView* view = form.findChild<GeometryView*>(QStringLiteral("geometryView"));
    QVERIFY(view);
    // Nothing typed yet: no geometry, and the first field the run would
    // reject is named.
    QVERIFY(!view->scene());
    QCOMPARE(view->note(), QStringLiteral("Invalid data in source radius, r1"));

    fillvalid(form);
    QVERIFY(!view->faded());
    QCOMPARE(view->scene()->prm.c, 1.0);

    struct Step {
        QLineEdit* edit;
        const char* text;
        const char* note;  // empty: drawn
        double r1;         // of the geometry shown
    };
    const Step steps[] = {
        {form.Inputbox_r1, "1.5", "", 1.5},
        {form.Inputbox_r1, "1.5x", "Invalid data in source radius, r1", 1.5},
        {form.Inputbox_r1, "0.75", "", 0.75},
        {form.Inputbox_r2, "0", "r2 cannot be zero", 0.75},
        {form.Inputbox_r2, "2", "", 0.75},
        {form.Inputbox_rot_y2, "", "Invalid data in Rotation ccw about Y' ", 0.75},
        {form.Inputbox_rot_y2, "-30", "", 0.75},
        // The count is no part of the geometry.
        {form.inputbox_endcount, "many", "", 0.75},
    };
    for (const Step& s : steps) {
        s.edit->setText(QString::fromLatin1(s.text));
        QCOMPARE(view->note(), QString::fromLatin1(s.note));
        QCOMPARE(view->faded(), *s.note != 0);
        QCOMPARE(view->scene()->prm.r1, s.r1);
        QCOMPARE(s.edit->text(), QString::fromLatin1(s.text));
    }
    QCOMPARE(view->scene()->prm.roty, degtorad(-30));
    QVERIFY(view->scene()->flags.rotated);

    // A new choice whose fields are empty greys the last geometry; filling
    // them draws the new shapes.
    form.cuboid_detector_radiobutton->click();
    QVERIFY(view->faded());
    QVERIFY(view->scene()->flags.cyldet);
    form.Inputbox_a2->setText("3");
    form.Inputbox_b2->setText("2");
    form.Inputbox_a3->setText("1");
    form.inputbox_b3->setText("0");
    QVERIFY(!view->faded());
    QVERIFY(view->scene()->flags.cubdet);
    QCOMPARE(view->scene()->prm.a2, 3.0);
    // A thick 2 pi source asks a question in a run; the view asks nothing.
    form.twopiradiobutton->click();
    form.Inputbox_t1->setText("0.5");
    QVERIFY(!view->faded());
    QVERIFY(view->scene()->flags.twopisrc);
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(dialogs.questions.isEmpty());

    // The warning shown before the run is the one the run's report gives.
    form.fourpiradiobutton->click();
    form.inputbox_endcount->setText("2000");
    form.Inputbox_c->setText("-0.5");
    QVERIFY(!view->scene()->warning.isEmpty());
    QCOMPARE(runcommand(state, form, false, 5).outcome, RunOutcome::completed);
    QCOMPARE(QString::fromStdString(state.report.printlines[8]).trimmed(), view->scene()->warning);
}

// Rays, turning, zooming and resetting the view change nothing of the run.
void GeometryTest::drawingLeavesTheRunAlone() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form);
    auto reportlines = [&] {
        // Every line but the processing time.
        return QList<std::string>(state.report.printlines.begin(),
                                  state.report.printlines.end() - 1);
    };

    QCOMPARE(runcommand(state, form, false, 77).outcome, RunOutcome::completed);
    const auto first = reportlines();
    const GeometryFlags flags = state.flags;
    const auto generator = std::make_unique<MTRandomState>(*state.generator);

    form.DiagramTabs->setCurrentWidget(form.GeometryTab);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    GeometryView* view = form.geometryView;
    form.showRays->setChecked(true);
    view->repaint();
    QCOMPARE(int(view->scene()->rays.size()), viewrays);

    const ViewAngle start;
    const QPoint middle = view->rect().center();
    QTest::mousePress(view, Qt::LeftButton, {}, middle);
    QMouseEvent move(QEvent::MouseMove, middle + QPoint(40, 20), view->mapToGlobal(middle),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, middle + QPoint(40, 20));
    QCOMPARE(view->angle().azimuth, start.azimuth - 20);
    QCOMPARE(view->angle().elevation, start.elevation + 10);
    QWheelEvent wheel(QPointF(middle), view->mapToGlobal(QPointF(middle)), {}, {0, 240},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    QCOMPARE(view->zoom(), 1.2 * 1.2);
    view->repaint();
    form.resetView->click();
    QCOMPARE(view->angle().azimuth, start.azimuth);
    QCOMPARE(view->zoom(), 1.0);
    QCoreApplication::sendEvent(view, &wheel);
    QTest::mouseDClick(view, Qt::LeftButton, {}, middle);
    QCOMPARE(view->zoom(), 1.0);
    form.showRays->setChecked(false);
    view->repaint();

    QCOMPARE(std::memcmp(&flags, &state.flags, sizeof flags), 0);
    QCOMPARE(std::memcmp(generator->mt, state.generator->mt, sizeof generator->mt), 0);
    QCOMPARE(generator->mti, state.generator->mti);
    QCOMPARE(runcommand(state, form, false, 77).outcome, RunOutcome::completed);
    QCOMPARE(reportlines(), first);
    QCOMPARE(dialogs.resultstexts.size(), 2);
}

// The views along the axes show the two other axes the right way round; the
// wheel keeps the point under the pointer where it is; a fixed scale is the
// same for every geometry; no two labels overlap in any of these views.
void GeometryTest::presetsWheelScaleAndLabels() {
    ScriptedWindow window(false);
    auto& [state, dialogs, form] = window;
    fillvalid(form);
    form.Inputbox_c->setText("2");
    GeometryView* view = form.geometryView;
    view->resize(400, 400);
    const QRectF target = view->rect();
    struct Preset {
        QPushButton* button;
        Mark right, up;
    };
    for (const Preset& p :
         {Preset{form.viewXd, Mark::yd, Mark::zd}, Preset{form.viewYd, Mark::xd, Mark::zd},
          Preset{form.viewZd, Mark::xd, Mark::yd}}) {
        p.button->click();
        const GeometryPicture picture = *view->picture();
        const QPointF o = picture.topixel({0, 0, 0}, target);
        const QPointF right = picture.topixel(picture.mark(p.right), target) - o;
        const QPointF up = picture.topixel(picture.mark(p.up), target) - o;
        QVERIFY2(right.x() > 10 && std::abs(right.y()) < 1e-6, qPrintable(p.button->text()));
        QVERIFY2(up.y() < -10 && std::abs(up.x()) < 1e-6, qPrintable(p.button->text()));
    }

    // Zoomed in twice about the source origin, then out about another point.
    form.resetView->click();
    for (const auto& [notches, mark] : {std::pair{2, Mark::sourceorigin}, {-1, Mark::zd}}) {
        const QPointF at = view->picture()->topixel(view->picture()->mark(mark), target);
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        const QPointF after = view->picture()->topixel(view->picture()->mark(mark), target);
        QVERIFY2(QLineF(at, after).length() < 1e-6, qPrintable(QStringLiteral("%1,%2 -> %3,%4")
                                                                   .arg(at.x())
                                                                   .arg(at.y())
                                                                   .arg(after.x())
                                                                   .arg(after.y())));
    }
    QCOMPARE(view->zoom(), 1.2);

    // Labels: the default view and the presets, for a cylinder and a cuboid
    // detector under a rotated source.
    GeometryFlags flags;
    RunParameters p;
    p.r1 = 1, p.t1 = 0.3, p.r2 = 2, p.t2 = 2, p.a2 = 3, p.b2 = 4, p.d = 1, p.a3 = 1, p.c = 2;
    p.rotx = degtorad(30);
    for (bool cuboid : {false, true}) {
        flags.cyldet = !cuboid;
        flags.cubdet = cuboid;
        const Scene scene = makescene(p, flags, 0);
        for (ViewAngle angle : {ViewAngle{}, alongxd, alongyd, alongzd}) {
            PictureOptions options;
            options.angle = angle;
            const auto boxes = GeometryPicture(scene, options).labelboxes(QRectF(0, 0, 350, 350));
            QCOMPARE(boxes.size(), std::size_t(6));
            for (std::size_t i = 0; i < boxes.size(); ++i)
                for (std::size_t j = i + 1; j < boxes.size(); ++j)
                    QVERIFY2(
                        !boxes[i].second.intersects(boxes[j].second),
                        qPrintable(
                            boxes[i].first + " " + boxes[j].first +
                            QStringLiteral(" at %1,%2").arg(angle.azimuth).arg(angle.elevation)));
        }
        // One scale for both: 100 pixels to the length given.
        PictureOptions options;
        options.scale = 2.5;
        QCOMPARE(GeometryPicture(scene, options).pixelsperunit(QRectF(0, 0, 500, 300)), 40.0);
    }
}

void GeometryTest::drawWritesEveryDataset_data() {
    QTest::addColumn<QString>("data");  // empty: examples/datasets.txt
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("drawn");
    QTest::addColumn<QStringList>("stderrlines");  // {out}: the output folder
    QTest::addColumn<qint64>("memorylimit");       // bytes of address space; 0: none
    QTest::addColumn<bool>("fulldisk");            // the output folder on a file system of one page

    // One dataset: flags, then values 6 to 21, then 2 pi.
    auto dataset = [](const char* flags, const char* value8, const char* value17,
                      const char* value21 = "1E6") {
        QStringList values = QString::fromLatin1(flags).split(' ');
        for (const char* v : {"0", "0", value8, "0", "0", "0", "2", "1", "0", "0", "0", value17,
                              "0", "0", "0", value21, "false"})
            values << QString::fromLatin1(v);
        return values.join('\n') + "\n*\n";
    };
    const QString broken = dataset("true false true false false", "1", "3") +
                           dataset("true false true false false", "1", "abc") +
                           dataset("true true true false false", "1", "3") +
                           dataset("true false true false false", "0.5", "-0.5") + "1\n2\n";

    QTest::newRow("examples") << QString()
                              << QStringList{"--rays", "50", "--size", "320x240", "--scale", "12"}
                              << 0 << QList<int>{1, 2, 3, 4, 5} << QStringList() << qint64(0)
                              << false;
    QTest::newRow("broken datasets are named and skipped")
        << broken << QStringList{"--view=0,90"} << 0 << QList<int>{1, 4}
        << QStringList{"dataset 2: 'abc' is not a valid floating point value",
                       "dataset 3: values 1 to 5 must name exactly one source and exactly one "
                       "detector",
                       "dataset 4: WARNING. Part or all of the source is on or within the detector "
                       "volume.",
                       "dataset 5: The data file ends after 2 values of a dataset; 22 are needed"}
        << qint64(0) << false;
    // What korvex-batch refuses, in its words; a fractional count is not refused.
    const char* disc = "true false true false false";
    QTest::newRow("refused as korvex-batch refuses")
        << dataset(disc, "-1", "3") + dataset(disc, "1E9", "3") + dataset(disc, "1", "3", "0") +
               dataset(disc, "1", "3", "1E16") + dataset(disc, "1", "3", "-5") +
               dataset(disc, "1", "3", "0.4")
        << QStringList() << 0 << QList<int>{6}
        << QStringList{"dataset 1: Invalid data in source radius, r1",
                       "dataset 2: Length out of range: r1 = 1000000000; a length must be 0 or of "
                       "size 1E-6 to 1E8",
                       "dataset 3: the number of emissions is 0",
                       "dataset 4: the number of emissions is above 9007199254740992",
                       "dataset 5: Invalid data in number of emissions"}
        << qint64(0) << false;
    QTest::newRow("bad size") << QString() << QStringList{"--size", "320"} << 2 << QList<int>{}
                              << QStringList{
                                     "korvex-draw: --size takes WxH, each from 16 to 20000 "
                                     "pixels, not '320'",
                                     "usage: korvex-draw [--rays N] [--size WxH] [--view "
                                     "AZ,EL] [--scale L] DATAFILE OUTDIR"}
                              << qint64(0) << false;
    QTest::newRow("missing data file")
        << QStringLiteral("-") << QStringList() << 2 << QList<int>{}
        << QStringList{"korvex-draw: missing.txt: No such file or directory"} << qint64(0) << false;
    QTest::newRow("data file a symbolic link loop")
        << QStringLiteral("loop") << QStringList() << 2 << QList<int>{}
        << QStringList{"korvex-draw: loop.txt: Too many levels of symbolic links"} << qint64(0)
        << false;
    // Whole turns of the azimuth are dropped before it becomes radians.
    QTest::newRow("huge azimuth") << QString() << QStringList{"--view", "1e308,22"} << 0
                                  << QList<int>{1, 2, 3, 4, 5} << QStringList() << qint64(0)
                                  << false;
    QTest::newRow("full disk") << QString() << QStringList() << 1 << QList<int>{}
                               << QStringList{"korvex-draw: {out}/dataset-1.svg: No space left "
                                              "on device"}
                               << qint64(0) << true;
    // A picture that does not fit in memory is an error, not an empty file.
    QTest::newRow("picture too large for memory")
        << QString() << QStringList{"--size", "20000x20000"} << 1 << QList<int>{}
        << QStringList{"korvex-draw: {out}/dataset-1.png: a picture of 20000x20000 pixels could "
                       "not be made (not enough memory)"}
        << (qint64(1) << 30) << false;
}

void GeometryTest::drawWritesEveryDataset() {
    QFETCH(QString, data);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QList<int>, drawn);
    QFETCH(QStringList, stderrlines);
    QFETCH(qint64, memorylimit);
    QFETCH(bool, fulldisk);
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer reserves far more address space than any such limit.
    if (memorylimit > 0) QSKIP("an address-space limit does not apply under AddressSanitizer");
#endif

    QTemporaryDir dir;
    QString datafile = QStringLiteral(EXAMPLES_DIR "/datasets.txt");
    if (data == QStringLiteral("-")) {
        datafile = QStringLiteral("missing.txt");
    } else if (data == QStringLiteral("loop")) {
        datafile = QStringLiteral("loop.txt");
        QVERIFY(QFile::link(datafile, dir.filePath(datafile)));
    } else if (!data.isEmpty()) {
        datafile = dir.filePath(QStringLiteral("data.txt"));
        QFile f(datafile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data.toLatin1());
    }
    const QString out = dir.filePath(QStringLiteral("pictures"));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    if (memorylimit > 0) {
        p.setChildProcessModifier([memorylimit] {
            const rlimit limit{rlim_t(memorylimit), rlim_t(memorylimit)};
            setrlimit(RLIMIT_AS, &limit);
        });
    }
    QString program = draw();
    QStringList arguments = options + QStringList{datafile, out};
    if (fulldisk) {
        // A file system of one page, mounted in a namespace of the program's own.
        if (QProcess::execute(QStringLiteral("unshare"), {"-rm", "true"}) != 0)
            QSKIP("no mount namespace of our own (unshare -rm)");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pictures")));
        arguments.prepend(program);
        arguments = QStringList{"-rm", "sh", "-c",
                                "mount -t tmpfs -o size=4k tmpfs \"$0\" && exec \"$@\"", out} +
                    arguments;
        program = QStringLiteral("unshare");
    }
    p.start(program, arguments);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), status);
    const QStringList errors =
        QString::fromLocal8Bit(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    for (QString& line : stderrlines) line.replace(QStringLiteral("{out}"), out);
    QCOMPARE(errors, stderrlines);

    QStringList expected;
    for (int n : drawn)
        expected << QStringLiteral("dataset-%1.png").arg(n)
                 << QStringLiteral("dataset-%1.svg").arg(n);
    expected.sort();
    QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), expected);
    for (int n : drawn) {
        const QImage png(QDir(out).filePath(QStringLiteral("dataset-%1.png").arg(n)));
        QCOMPARE(png.size(), options.contains("320x240") ? QSize(320, 240) : QSize(800, 800));
        QFile svg(QDir(out).filePath(QStringLiteral("dataset-%1.svg").arg(n)));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY(text.contains("<svg") && text.contains("</svg>"));
        QVERIFY(text.contains(QStringLiteral(">Dataset %1: ").arg(n).toLatin1()));
        QVERIFY(!text.contains("nan"));
    }
    // The title names the kinds and the key values.
    if (data.isEmpty() && status == 0) {
        QFile svg(QDir(out).filePath(QStringLiteral("dataset-1.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains(
            ">Dataset 1: disc r1 = 2.5 over cylinder r2 = 3, t2 = 5; d = 1, c = 10; 4 pi<"));
    }
}

QTEST_MAIN(GeometryTest)
#include "test_geometry.moc"

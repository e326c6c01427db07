// The nine diagrams, composed from the drawing vocabulary of Sketch. Every
// diagram follows the same conventions: the detector's origin at the centre
// of its shaded top face (a sphere's at its centre) with Zd up and Xd towards
// the source; the source with its shaded front face, its axes Xs, Ys, Zs and
// their positive rotation arrows; the dimensions by their names.
#include "ui/diagram.h"

#include <QPainter>
#include <cmath>

#include "engine/geometry.h"
#include "picture/sketch.h"

namespace korvex {

namespace {

// Drawing sizes, in units of about the detector's radius.
struct Sizes {
    double r2 = 1.0, a2 = 1.9, b2 = 1.5, t2 = 0.85;
    double r1 = 0.85, a1 = 1.3, b1 = 0.9, t1 = 0.5;
    double c = 2.35;
    double tilt = -50 * pi / 180;  // the source turned about Xs, its front face towards the viewer
};

// Screen directions for placing labels beside a dimension.
const QPointF leftside(-1, 0), rightside(1, 0), below(0, -1), above(0, 1);

void sketchdetector(Sketch& k, DetectorShape d, const Sizes& s) {
    const Axes3 det;
    switch (d) {
        case DetectorShape::cylinder: {
            k.drum(det, s.r2, -s.t2, detectorshade);
            const double t = 200 * pi / 180;
            k.dimension(det.o, det.at(s.r2 * std::cos(t), s.r2 * std::sin(t), 0),
                        QStringLiteral("r2"), above);
            const double x = -s.r2 - 0.28;
            k.line(det.at(-s.r2, 0, 0), det.at(x - 0.08, 0, 0), Ink::guide);
            k.line(det.at(-s.r2, 0, -s.t2), det.at(x - 0.08, 0, -s.t2), Ink::guide);
            k.dimension(det.at(x, 0, 0), det.at(x, 0, -s.t2), QStringLiteral("t2"), leftside);
            break;
        }
        case DetectorShape::cuboid: {
            k.box(det, s.a2, s.b2, -s.t2, detectorshade);
            const double y = -s.b2 / 2 - 0.3;
            k.line(det.at(-s.a2 / 2, -s.b2 / 2, -s.t2), det.at(-s.a2 / 2, y - 0.08, -s.t2),
                   Ink::guide);
            k.line(det.at(s.a2 / 2, -s.b2 / 2, -s.t2), det.at(s.a2 / 2, y - 0.08, -s.t2),
                   Ink::guide);
            k.dimension(det.at(-s.a2 / 2, y, -s.t2), det.at(s.a2 / 2, y, -s.t2),
                        QStringLiteral("a2"), below);
            const double x = -s.a2 / 2 - 0.3;
            k.line(det.at(-s.a2 / 2, -s.b2 / 2, 0), det.at(x - 0.08, -s.b2 / 2, 0), Ink::guide);
            k.line(det.at(-s.a2 / 2, s.b2 / 2, 0), det.at(x - 0.08, s.b2 / 2, 0), Ink::guide);
            k.dimension(det.at(x, -s.b2 / 2, 0), det.at(x, s.b2 / 2, 0), QStringLiteral("b2"),
                        above);
            k.line(det.at(-s.a2 / 2, -s.b2 / 2, -s.t2), det.at(x - 0.08, -s.b2 / 2, -s.t2),
                   Ink::guide);
            k.dimension(det.at(x, -s.b2 / 2, 0), det.at(x, -s.b2 / 2, -s.t2), QStringLiteral("t2"),
                        leftside);
            break;
        }
        case DetectorShape::sphere: {
            k.ball(det, s.r2, detectorshade);
            const double t = 200 * pi / 180;
            k.dimension(det.o, det.at(s.r2 * std::cos(t), s.r2 * std::sin(t), 0),
                        QStringLiteral("r2"), above);
            break;
        }
    }
}

// The source's own frame at its origin, the centre of its front face.
Axes3 sourceframe(V3 origin, const Sizes& s) {
    Axes3 f;
    f.o = origin;
    f.x = {1, 0, 0};
    f.y = {0, std::cos(s.tilt), std::sin(s.tilt)};
    f.z = {0, -std::sin(s.tilt), std::cos(s.tilt)};
    return f;
}

void sketchsource(Sketch& k, SourceShape shape, const Axes3& f, const Sizes& s) {
    double reach = 0.35;  // how far the body extends from the origin in the face
    switch (shape) {
        case SourceShape::cylinder: {
            k.drum(f, s.r1, s.t1, sourceshade);
            const double t = 160 * pi / 180;
            k.dimension(f.o, f.at(s.r1 * std::cos(t), s.r1 * std::sin(t), 0), QStringLiteral("r1"),
                        below);
            const double x = -s.r1 - 0.25;
            k.line(f.at(-s.r1, 0, 0), f.at(x - 0.08, 0, 0), Ink::guide);
            k.line(f.at(-s.r1, 0, s.t1), f.at(x - 0.08, 0, s.t1), Ink::guide);
            k.dimension(f.at(x, 0, 0), f.at(x, 0, s.t1), QStringLiteral("t1"), leftside);
            reach = s.r1;
            break;
        }
        case SourceShape::cuboid: {
            k.box(f, s.a1, s.b1, s.t1, sourceshade);
            const double y = -s.b1 / 2 - 0.25;
            k.line(f.at(-s.a1 / 2, -s.b1 / 2, 0), f.at(-s.a1 / 2, y - 0.08, 0), Ink::guide);
            k.line(f.at(s.a1 / 2, -s.b1 / 2, 0), f.at(s.a1 / 2, y - 0.08, 0), Ink::guide);
            k.dimension(f.at(-s.a1 / 2, y, 0), f.at(s.a1 / 2, y, 0), QStringLiteral("a1"), above);
            const double x = -s.a1 / 2 - 0.25;
            k.line(f.at(-s.a1 / 2, -s.b1 / 2, 0), f.at(x - 0.08, -s.b1 / 2, 0), Ink::guide);
            k.line(f.at(-s.a1 / 2, s.b1 / 2, 0), f.at(x - 0.08, s.b1 / 2, 0), Ink::guide);
            k.dimension(f.at(x, -s.b1 / 2, 0), f.at(x, s.b1 / 2, 0), QStringLiteral("b1"),
                        leftside);
            const double xt = s.a1 / 2 + 0.25;
            k.line(f.at(s.a1 / 2, -s.b1 / 2, 0), f.at(xt + 0.08, -s.b1 / 2, 0), Ink::guide);
            k.line(f.at(s.a1 / 2, -s.b1 / 2, s.t1), f.at(xt + 0.08, -s.b1 / 2, s.t1), Ink::guide);
            k.dimension(f.at(xt, -s.b1 / 2, 0), f.at(xt, -s.b1 / 2, s.t1), QStringLiteral("t1"),
                        rightside);
            reach = s.a1 / 2;
            break;
        }
        case SourceShape::point: k.dot(f.o, 0.055); break;
    }

    // The source axes with the positive sense of the rotation about each.
    const double xs = reach + 0.6, ys = (shape == SourceShape::cuboid ? s.b1 / 2 : reach) + 0.75;
    const double zs = (shape == SourceShape::point ? 0 : s.t1) + 0.8;
    k.axis(f.o, f.at(xs, 0, 0), QStringLiteral("Xs"));
    k.axis(f.o, f.at(0, ys, 0), QStringLiteral("Ys"));
    k.axis(f.o, f.at(0, 0, zs), QStringLiteral("Zs"));
    k.spin(f.at(xs - 0.3, 0, 0), f.x, 0.15);
    k.spin(f.at(0, ys - 0.3, 0), f.y, 0.15);
    k.spin(f.at(0, 0, zs - 0.3), f.z, 0.15);
}

}  // namespace

void sketchgeometry(Sketch& k, SourceShape source, DetectorShape detector) {
    const Sizes s;
    // A cylindrical or point source over a cylinder or sphere is placed by d
    // alone; every other pair by a3 and b3.
    const bool byd = source != SourceShape::cuboid && detector != DetectorShape::cuboid;
    const double halfx = detector == DetectorShape::cuboid ? s.a2 / 2 : s.r2;
    const double halfy = detector == DetectorShape::cuboid ? s.b2 / 2 : s.r2;
    const double sourcehalf = source == SourceShape::cuboid     ? s.a1 / 2
                              : source == SourceShape::cylinder ? s.r1
                                                                : 0.6;
    const double along = halfx + sourcehalf + 0.55;
    const V3 origin{along, byd ? 0.0 : 0.9, s.c};
    const V3 foot{origin.x, origin.y, 0};

    sketchdetector(k, detector, s);

    // Detector axes from its origin.
    k.axis(V3{}, V3{along + 0.55, 0, 0}, QStringLiteral("Xd"));
    k.axis(V3{}, V3{0, halfy + 0.75, 0}, QStringLiteral("Yd"));
    k.axis(V3{}, V3{0, 0, detector == DetectorShape::sphere ? s.r2 + 0.55 : 1.25},
           QStringLiteral("Zd"));

    // The horizontal displacement behind the detector, then the height c.
    const double y = std::max(halfy, origin.y) + 0.45;
    k.line(V3{}, V3{0, y + 0.08, 0}, Ink::guide);
    k.line(V3{along, 0, 0}, V3{along, y + 0.08, 0}, Ink::guide);
    k.dimension(V3{0, y, 0}, V3{along, y, 0}, byd ? QStringLiteral("d") : QStringLiteral("a3"),
                above);
    if (!byd) k.dimension(V3{along, 0, 0}, foot, QStringLiteral("b3"), below);
    k.line(foot, origin, Ink::guide);
    k.dimension(foot, origin, QStringLiteral("c"), rightside);

    sketchsource(k, source, sourceframe(origin, s), s);
}

Diagram::Diagram(SourceShape source, DetectorShape detector, QWidget* parent)
    : QWidget(parent), source_(source), detector_(detector) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void Diagram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // A white square picture, centred in the widget.
    const double side = std::min(width(), height());
    const QRectF square((width() - side) / 2, (height() - side) / 2, side, side);
    painter.fillRect(square, Qt::white);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(square.adjusted(0.5, 0.5, -0.5, -0.5));
    Sketch sketch;
    sketchgeometry(sketch, source_, detector_);
    sketch.paint(painter, square.adjusted(6, 6, -6, -6));
}

}  // namespace korvex

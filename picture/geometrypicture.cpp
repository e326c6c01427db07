#include "picture/geometrypicture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/detectors.h"
#include "engine/kinds.h"
#include "engine/mtrandom.h"
#include "engine/sampler.h"
#include "io/numbers.h"
#include "io/report.h"

namespace korvex {

namespace {

V3 v3(Vec3 p) { return {p.x, p.y, p.z}; }

void detect(DetectorKind kind, Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    switch (kind) {
        case DetectorKind::cuboid: testcuboid(p, q, prm, t); break;
        case DetectorKind::rectwindow: testrectwindow(p, q, prm, t); break;
        case DetectorKind::discwindow: testdiscwindow(p, q, prm, t); break;
        case DetectorKind::cylinder: testcylinder(p, q, prm, t); break;
        case DetectorKind::sphere: testsphere(p, q, prm, t); break;
    }
}

// Half the detector's sides along Xd and Yd, and its depth below the origin
// (a sphere reaches r2 below and above its centre).
struct DetectorBox {
    double halfx = 0, halfy = 0, below = 0, above = 0;
};

DetectorBox detectorbox(const Scene& s) {
    const RunParameters& p = s.prm;
    if (s.flags.sphdet) return {p.r2, p.r2, p.r2, p.r2};
    if (s.flags.cubdet) return {p.a2 / 2, p.b2 / 2, p.t2, 0};
    return {p.r2, p.r2, p.t2, 0};
}

// Points on the source's outline in its own frame: the rim or the corners of
// both faces, and the origin.
std::vector<Vec3> sourceoutline(const RunParameters& p, SourceKind kind) {
    std::vector<Vec3> points{{0, 0, 0}};
    if (kind == SourceKind::point) return points;
    for (double w : {0.0, p.t1}) {
        if (kind == SourceKind::cuboid) {
            for (int i : {-1, 1})
                for (int j : {-1, 1}) points.push_back({i * p.a1 / 2, j * p.b1 / 2, w});
        } else {
            for (int k = 0; k < 12; ++k) {
                const double t = turn(k / 12.0);
                points.push_back({p.r1 * std::cos(t), p.r1 * std::sin(t), w});
            }
        }
    }
    return points;
}

}  // namespace

Scene makescene(const RunParameters& prm, const GeometryFlags& flags, int raycount) {
    Scene s;
    s.prm = prm;
    s.flags = flags;
    s.flags.rotated = isrotated(prm);
    s.frame = makeframe(s.prm, s.flags.rotated);

    const SourceKind source = sourcekind(s.flags);
    const DetectorKind detector = detectorkind(s.flags);
    const DetectorBox box = detectorbox(s);
    const std::vector<Vec3> outline = sourceoutline(prm, source);

    double lo[3] = {-box.halfx, -box.halfy, -box.below};
    double hi[3] = {box.halfx, box.halfy, box.above};
    for (const Vec3& v : outline) {
        const Vec3 p = todetector(s.frame, v);
        const double c[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], c[i]);
            hi[i] = std::max(hi[i], c[i]);
        }
    }
    s.extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    if (!std::isfinite(s.extent)) {
        s.drawable = false;
        return s;
    }
    if (s.extent <= 0) s.extent = 1;

    // A miss is drawn short. A hit ends about where it leaves the detector:
    // half its path beyond its nearest approach to the detector's middle
    // (exact for a sphere), all of it from a start inside, and on the plane
    // of a window.
    const Vec3 middle{0, 0, (box.above - box.below) / 2};
    const bool window =
        detector == DetectorKind::discwindow || detector == DetectorKind::rectwindow;
    const double misslength = 0.08 * s.extent;

    bool inside = false;
    const std::unique_ptr<MTRandomState> gen = mtcreate(pictureseed);
    for (int i = 0; i < raycount + warningprobes; ++i) {
        const Emission e = sampleemission(s.prm, s.flags, s.frame, *gen);
        RunTallies one;
        detect(detector, e.p, e.q, s.prm, one);
        inside = inside || one.sourceinside;
        if (i >= raycount) continue;
        const Vec3 n{e.q.x - e.p.x, e.q.y - e.p.y, e.q.z - e.p.z};
        const bool hit = one.hits > 0;
        double length = misslength;
        if (hit && window) {
            length = -e.p.z / n.z;
        } else if (hit && one.sourceinside) {
            length = one.pathsum;
        } else if (hit) {
            const double along =
                n.x * (middle.x - e.p.x) + n.y * (middle.y - e.p.y) + n.z * (middle.z - e.p.z);
            length = std::max(along, 0.0) + one.pathsum / 2;
        }
        s.rays.push_back(
            {e.p, {e.p.x + length * n.x, e.p.y + length * n.y, e.p.z + length * n.z}, hit});
    }
    if (inside) s.warning = QString::fromStdString(sourcewarning(s.flags));
    return s;
}

GeometryPicture::GeometryPicture(const Scene& scene, const PictureOptions& options)
    : drawable_(scene.drawable),
      warning_(scene.warning),
      options_(options),
      sketch_(options.angle, options.scale > 0 ? options.scale : scene.extent / 5,
              1 / options.zoom) {
    // At a fixed scale one drawing unit is the length given, 100 pixels.
    if (options.scale > 0) sketch_.setfixedscale(100);
    const Frame& frame = scene.frame;
    const RunParameters& p = scene.prm;
    const DetectorBox box = detectorbox(scene);
    const double e = scene.extent;
    const SourceKind source = sourcekind(scene.flags);

    const double sourcehalf = source == SourceKind::cuboid ? std::max(p.a1, p.b1) / 2
                              : source == SourceKind::disc ? p.r1
                                                           : 0;
    const double sourcedepth = source == SourceKind::point ? 0 : p.t1;
    marks_[int(Mark::detectororigin)] = {0, 0, 0};
    marks_[int(Mark::xd)] = {box.halfx + 0.2 * e, 0, 0};
    marks_[int(Mark::yd)] = {0, box.halfy + 0.2 * e, 0};
    marks_[int(Mark::zd)] = {0, 0, box.above + 0.2 * e};
    marks_[int(Mark::sourceorigin)] = todetector(frame, {0, 0, 0});
    marks_[int(Mark::xs)] = todetector(frame, {sourcehalf + 0.15 * e, 0, 0});
    marks_[int(Mark::ys)] = todetector(frame, {0, sourcehalf + 0.15 * e, 0});
    marks_[int(Mark::zs)] = todetector(frame, {0, 0, sourcedepth + 0.15 * e});
    if (!drawable_) return;

    Sketch& k = sketch_;
    for (const Ray& r : scene.rays) k.line(v3(r.from), v3(r.to), r.hit ? Ink::hit : Ink::miss);

    const Axes3 det;
    switch (detectorkind(scene.flags)) {
        case DetectorKind::cylinder: k.drum(det, p.r2, -p.t2, detectorshade); break;
        case DetectorKind::discwindow: k.drum(det, p.r2, 0, detectorshade); break;
        case DetectorKind::cuboid: k.box(det, p.a2, p.b2, -p.t2, detectorshade); break;
        case DetectorKind::rectwindow: k.box(det, p.a2, p.b2, 0, detectorshade); break;
        case DetectorKind::sphere: k.ball(det, p.r2, detectorshade); break;
    }

    // Every point of the source's body goes through the engine's transform;
    // the turned axes only decide which of its edges face the viewer.
    Axes3 src;
    src.o = v3(marks_[int(Mark::sourceorigin)]);
    src.x = v3(todetector(frame, {1, 0, 0})) - src.o;
    src.y = v3(todetector(frame, {0, 1, 0})) - src.o;
    src.z = v3(todetector(frame, {0, 0, 1})) - src.o;
    src.place = [&frame](double u, double v, double w) { return v3(todetector(frame, {u, v, w})); };
    // A disc of radius 0 without thickness is how a data file gives a point.
    if (source == SourceKind::point || (source == SourceKind::disc && p.r1 == 0 && p.t1 == 0)) {
        k.dot(src.o, 0.06 / options.zoom);
    } else if (source == SourceKind::disc) {
        k.drum(src, p.r1, p.t1, sourceshade);
    } else {
        k.box(src, p.a1, p.b1, p.t1, sourceshade);
    }

    // Where the source origin stands: along the floor from the detector's
    // origin, then up by c.
    const V3 origin = src.o, foot{origin.x, origin.y, 0};
    k.path({V3{}, foot, origin}, Ink::guide);

    k.axis(V3{}, v3(marks_[int(Mark::xd)]), QStringLiteral("Xd"));
    k.axis(V3{}, v3(marks_[int(Mark::yd)]), QStringLiteral("Yd"));
    k.axis(V3{}, v3(marks_[int(Mark::zd)]), QStringLiteral("Zd"));
    k.axis(origin, v3(marks_[int(Mark::xs)]), QStringLiteral("Xs"));
    k.axis(origin, v3(marks_[int(Mark::ys)]), QStringLiteral("Ys"));
    k.axis(origin, v3(marks_[int(Mark::zs)]), QStringLiteral("Zs"));
}

Vec3 GeometryPicture::mark(Mark m) const { return marks_[int(m)]; }

double GeometryPicture::textheight(const QRectF& target) const {
    return std::clamp(target.height() / 34, 9.0, 18.0);
}

// A title wider than the picture is wrapped, to three lines at most.
int GeometryPicture::titlelines(const QRectF& target) const {
    if (options_.title.isEmpty()) return 0;
    QFont bold;
    bold.setPixelSize(int(std::lround(textheight(target))));
    bold.setBold(true);
    const QFontMetricsF metrics(bold);
    const QRectF wrapped = metrics.boundingRect(QRectF(0, 0, target.width() - 12, 1e6),
                                                Qt::AlignLeft | Qt::TextWordWrap, options_.title);
    return std::clamp(int(std::lround(wrapped.height() / metrics.lineSpacing())), 1, 3);
}

QRectF GeometryPicture::drawingarea(const QRectF& target) const {
    // Room for the texts above and the scale bar and note below.
    const double line = textheight(target) * 1.35;
    int above = titlelines(target);
    if (!warning_.isEmpty()) above += 2;
    return target.adjusted(4, 4 + above * line, -4, -4 - 2 * line);
}

QPointF GeometryPicture::topixel(Vec3 p, const QRectF& target) const {
    return sketch_.fit(drawingarea(target), options_.zoom, options_.pan)
        .map(sketch_.project(v3(p)));
}

double GeometryPicture::pixelsperunit(const QRectF& target) const {
    return sketch_.fit(drawingarea(target), options_.zoom).m11() / sketch_.lengthunit();
}

QTransform GeometryPicture::transform(const QRectF& target) const {
    return sketch_.fit(drawingarea(target), options_.zoom, options_.pan);
}

std::vector<std::pair<QString, QRectF>> GeometryPicture::labelboxes(const QRectF& target) const {
    const QTransform t = sketch_.fit(drawingarea(target), options_.zoom, options_.pan);
    const std::vector<QRectF> boxes = sketch_.placelabels(t, sketch_.labelfont(QFont(), t));
    const std::vector<QString> texts = sketch_.labeltexts();
    std::vector<std::pair<QString, QRectF>> out;
    for (std::size_t i = 0; i < boxes.size(); ++i) out.emplace_back(texts[i], boxes[i]);
    return out;
}

bool GeometryPicture::fits(const QRectF& target) const {
    const QRectF area = drawingarea(target);
    const QTransform t = sketch_.fit(area, options_.zoom, options_.pan);
    return area.contains(t.mapRect(sketch_.bounds()));
}

double GeometryPicture::scalelength(const QRectF& target) const {
    // The longest 1, 2 or 5 x 10^n within a quarter of the width.
    const double most = target.width() / 4 / pixelsperunit(target);
    if (!std::isfinite(most) || most <= 0) return 0;
    const double decade = std::pow(10.0, std::floor(std::log10(most)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * decade <= most) return step * decade;
    return decade;
}

void GeometryPicture::paint(QPainter& painter, const QRectF& target) const {
    painter.save();
    painter.fillRect(target, Qt::white);
    const QRectF area = drawingarea(target);
    if (drawable_) {
        painter.save();
        painter.setClipRect(area);
        sketch_.paint(painter, area, options_.zoom, options_.faded, options_.pan);
        painter.restore();
    }

    const QColor text = options_.faded ? QColor(150, 150, 150) : QColor(Qt::black);
    const QColor alarm(170, 20, 20);
    QFont font = painter.font();
    font.setItalic(false);
    font.setPixelSize(int(std::lround(textheight(target))));
    painter.setFont(font);
    const double line = textheight(target) * 1.35;
    QRectF top(target.left() + 6, target.top() + 4, target.width() - 12, line);
    if (const int lines = titlelines(target); lines > 0) {
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(text);
        painter.drawText(QRectF(top.topLeft(), QSizeF(top.width(), lines * line)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, options_.title);
        painter.setFont(font);
        top.translate(0, lines * line);
    }
    if (!warning_.isEmpty()) {
        painter.setPen(options_.faded ? text : alarm);
        painter.drawText(QRectF(top.topLeft(), QSizeF(top.width(), 2 * line)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, warning_);
    }

    const QRectF bottom(target.left() + 6, target.bottom() - 4 - 2 * line, target.width() - 12,
                        line);
    if (!drawable_) {
        painter.setPen(alarm);
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("The dimensions are too large to draw."));
    } else if (const double length = scalelength(target); length > 0) {
        // The scale bar: a bar with end ticks and its length in the user's unit.
        const double px = length * pixelsperunit(target);
        const double y = bottom.center().y();
        const double tick = line * 0.3;
        painter.setPen(QPen(text, 1.5));
        painter.drawLine(QPointF(bottom.left(), y), QPointF(bottom.left() + px, y));
        painter.drawLine(QPointF(bottom.left(), y - tick), QPointF(bottom.left(), y + tick));
        painter.drawLine(QPointF(bottom.left() + px, y - tick),
                         QPointF(bottom.left() + px, y + tick));
        painter.drawText(QRectF(bottom.left() + px + 6, bottom.top(), bottom.width(), line),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(plainformat(length)));
    }
    if (!options_.note.isEmpty()) {
        painter.setPen(alarm);
        painter.drawText(bottom.translated(0, line), Qt::AlignLeft | Qt::AlignVCenter,
                         options_.note);
    }
    painter.restore();
}

}  // namespace korvex

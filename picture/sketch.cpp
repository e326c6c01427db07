#include "picture/sketch.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRectF>
#include <QTransform>
#include <cmath>

#include "engine/geometry.h"

namespace korvex {

namespace {

constexpr int circlesteps = 96;

// Sizes in drawing units; the detector's radius is about 1.
constexpr double headlength = 0.13;
constexpr double headwidth = 0.05;

QPointF unit2(QPointF p) {
    const double n = std::hypot(p.x(), p.y());
    return n > 0 ? p / n : QPointF(0, 0);
}

}  // namespace

double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

V3 unit(V3 a) {
    const double n = std::sqrt(dot(a, a));
    return n > 0 ? (1.0 / n) * a : a;
}

Sketch::Sketch(ViewAngle angle, double unit, double penscale)
    : unit_(unit), penscale_(penscale), textsize_(0.2 * penscale) {
    // By default seen from the front right and a little above: Xd runs to
    // the right (towards the source), Yd into the picture, Zd up. The
    // screen's right stays horizontal at every elevation, straight down
    // included.
    // Whole turns dropped first: a huge azimuth (1e308) would overflow.
    const double elevation = angle.elevation * pi / 180;
    const double azimuth = std::fmod(angle.azimuth, 360.0) * pi / 180;
    view_ = {std::cos(elevation) * std::cos(azimuth), std::cos(elevation) * std::sin(azimuth),
             std::sin(elevation)};
    right_ = {-std::sin(azimuth), std::cos(azimuth), 0};
    up_ = cross(view_, right_);
}

QPointF Sketch::project(V3 p) const {
    return {korvex::dot(p, right_) / unit_, korvex::dot(p, up_) / unit_};
}

void Sketch::include(QPointF p) {
    minx_ = std::min(minx_, p.x());
    maxx_ = std::max(maxx_, p.x());
    miny_ = std::min(miny_, p.y());
    maxy_ = std::max(maxy_, p.y());
}

void Sketch::line(V3 a, V3 b, Ink ink) { path({a, b}, ink); }

void Sketch::path(const std::vector<V3>& points, Ink ink, bool closed) {
    if (points.size() < 2) return;
    QPainterPath p;
    p.moveTo(project(points.front()));
    include(project(points.front()));
    for (size_t i = 1; i < points.size(); ++i) {
        p.lineTo(project(points[i]));
        include(project(points[i]));
    }
    if (closed) p.closeSubpath();
    strokes_.push_back({p, ink, QColor()});
}

void Sketch::face(const std::vector<V3>& points, const QColor& fill) {
    QPainterPath p;
    p.moveTo(project(points.front()));
    for (size_t i = 1; i < points.size(); ++i) p.lineTo(project(points[i]));
    p.closeSubpath();
    // Faces come first, under the lines.
    strokes_.insert(strokes_.begin(), {p, Ink::outline, fill});
}

void Sketch::dot(V3 p, double radius) {
    QPainterPath path;
    path.addEllipse(project(p), radius, radius);
    include(project(p) + QPointF(radius, radius));
    include(project(p) - QPointF(radius, radius));
    strokes_.push_back({path, Ink::outline, Qt::black});
}

void Sketch::arrowhead(QPointF tip, QPointF from) {
    const QPointF d = unit2(tip - from);
    const QPointF n(-d.y(), d.x());
    const double length = headlength * penscale_, width = headwidth * penscale_;
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip - length * d + width * n);
    head.lineTo(tip - length * d - width * n);
    head.closeSubpath();
    strokes_.push_back({head, Ink::thin, Qt::black});
}

void Sketch::axis(V3 a, V3 b, const QString& name) {
    line(a, b, Ink::thin);
    const QPointF pa = project(a), pb = project(b);
    arrowhead(pb, pa);
    const QPointF beyond = pb + unit2(pb - pa) * (textsize_ * 0.95);
    labels_.push_back({beyond, name});
    include(beyond + QPointF(textsize_, textsize_ * 0.6));
    include(beyond - QPointF(textsize_, textsize_ * 0.6));
}

void Sketch::spin(V3 centre, V3 axisdirection, double radius) {
    const V3 w = unit(axisdirection);
    V3 u = cross(w, view_);
    if (korvex::dot(u, u) < 1e-12) u = cross(w, V3{0, 0, 1});
    u = unit(u);
    const V3 v = cross(w, u);  // u, v, w right-handed: increasing angle is counter-clockwise
    std::vector<V3> arc;
    for (int i = 0; i <= 40; ++i) {
        const double t = (20 + 280.0 * i / 40) * pi / 180;
        arc.push_back(centre + radius * std::cos(t) * u + radius * std::sin(t) * v);
    }
    path(arc, Ink::thin);
    arrowhead(project(arc.back()), project(arc[arc.size() - 4]));
}

void Sketch::dimension(V3 a, V3 b, const QString& name, QPointF side) {
    line(a, b, Ink::thin);
    const QPointF pa = project(a), pb = project(b);
    arrowhead(pa, pb);
    arrowhead(pb, pa);
    const QPointF at = (pa + pb) / 2 + unit2(side) * (textsize_ * 0.85);
    labels_.push_back({at, name});
    include(at + QPointF(textsize_, textsize_ * 0.6));
    include(at - QPointF(textsize_, textsize_ * 0.6));
}

void Sketch::text(V3 at, const QString& name, QPointF offset) {
    const QPointF p = project(at) + offset;
    labels_.push_back({p, name});
    include(p + QPointF(textsize_, textsize_ * 0.6));
    include(p - QPointF(textsize_, textsize_ * 0.6));
}

void Sketch::drum(const Axes3& f, double r, double height, const QColor& shade) {
    auto rim = [&](double t, double w) { return f.at(r * std::cos(t), r * std::sin(t), w); };
    std::vector<V3> near;
    for (int i = 0; i < circlesteps; ++i) near.push_back(rim(2 * pi * i / circlesteps, 0));
    face(near, shade);
    if (height == 0) {
        path(near, Ink::outline, true);
        return;
    }

    const double sign = height > 0 ? 1 : -1;
    const bool nearseen = facesviewer(-sign * f.z);
    const bool farseen = facesviewer(sign * f.z);
    auto sideseen = [&](double t) { return facesviewer(std::cos(t) * f.x + std::sin(t) * f.y); };

    // Each rim in runs of visible and hidden arcs.
    for (double w : {0.0, height}) {
        const bool endseen = w == 0 ? nearseen : farseen;
        std::vector<V3> run;
        bool runseen = false;
        for (int i = 0; i <= circlesteps; ++i) {
            const double t = 2 * pi * (i + 0.5) / circlesteps;
            const bool seen = endseen || sideseen(t);
            if (!run.empty() && seen != runseen) {
                path(run, runseen ? Ink::outline : Ink::hidden);
                run = {run.back()};
            }
            runseen = seen;
            run.push_back(rim(2 * pi * i / circlesteps, w));
        }
        path(run, runseen ? Ink::outline : Ink::hidden);
    }

    // The two generators on the outline.
    const double a = korvex::dot(f.x, view_), b = korvex::dot(f.y, view_);
    if (std::hypot(a, b) > 1e-9) {
        const double t0 = std::atan2(-a, b);
        for (double t : {t0, t0 + pi}) line(rim(t, 0), rim(t, height));
    }
}

void Sketch::box(const Axes3& f, double a, double b, double height, const QColor& shade) {
    auto corner = [&](int i, int j, double w) { return f.at(i * a / 2, j * b / 2, w); };
    face({corner(-1, -1, 0), corner(1, -1, 0), corner(1, 1, 0), corner(-1, 1, 0)}, shade);
    if (height == 0) {
        path({corner(-1, -1, 0), corner(1, -1, 0), corner(1, 1, 0), corner(-1, 1, 0)}, Ink::outline,
             true);
        return;
    }
    const double sign = height > 0 ? 1 : -1;
    const bool nearseen = facesviewer(-sign * f.z);
    const bool farseen = facesviewer(sign * f.z);
    auto sideseen = [&](int i, int j) { return facesviewer(i * f.x + j * f.y); };

    // Edges of the two ends: along x (j fixed) and along y (i fixed).
    for (double w : {0.0, height}) {
        const bool endseen = w == 0 ? nearseen : farseen;
        for (int j : {-1, 1})
            line(corner(-1, j, w), corner(1, j, w),
                 endseen || sideseen(0, j) ? Ink::outline : Ink::hidden);
        for (int i : {-1, 1})
            line(corner(i, -1, w), corner(i, 1, w),
                 endseen || sideseen(i, 0) ? Ink::outline : Ink::hidden);
    }
    // The four edges along the thickness.
    for (int i : {-1, 1})
        for (int j : {-1, 1})
            line(corner(i, j, 0), corner(i, j, height),
                 sideseen(i, 0) || sideseen(0, j) ? Ink::outline : Ink::hidden);
}

void Sketch::ball(const Axes3& f, double r, const QColor& shade) {
    std::vector<V3> outline, equator;
    for (int i = 0; i < circlesteps; ++i) {
        const double t = 2 * pi * i / circlesteps;
        outline.push_back(f.o + r * std::cos(t) * right_ + r * std::sin(t) * up_);
        equator.push_back(f.at(r * std::cos(t), r * std::sin(t), 0));
    }
    face(equator, shade);
    path(outline, Ink::outline, true);

    // The front half of the equator is seen, the back half is hidden.
    std::vector<V3> run;
    bool runseen = false;
    for (int i = 0; i <= circlesteps; ++i) {
        const double t = 2 * pi * (i + 0.5) / circlesteps;
        const bool seen = facesviewer(std::cos(t) * f.x + std::sin(t) * f.y);
        if (!run.empty() && seen != runseen) {
            path(run, runseen ? Ink::thin : Ink::hidden);
            run = {run.back()};
        }
        runseen = seen;
        run.push_back(equator[i % circlesteps]);
    }
    path(run, runseen ? Ink::thin : Ink::hidden);
}

QTransform Sketch::fit(const QRectF& target, double zoom, QPointF pan) const {
    QTransform t;
    if (strokes_.empty() || target.isEmpty()) return t;
    const double margin = 0.04 * std::max(maxx_ - minx_, maxy_ - miny_);
    const double w = maxx_ - minx_ + 2 * margin, h = maxy_ - miny_ + 2 * margin;
    const double scale =
        zoom * (fixedscale_ > 0 ? fixedscale_ : std::min(target.width() / w, target.height() / h));
    const double cx = (minx_ + maxx_) / 2, cy = (miny_ + maxy_) / 2;
    t.translate(target.center().x() + pan.x(), target.center().y() + pan.y());
    t.scale(scale, -scale);
    t.translate(-cx, -cy);
    return t;
}

QFont Sketch::labelfont(QFont font, const QTransform& t) const {
    font.setItalic(true);
    font.setPixelSize(std::max(7, int(std::lround(textsize_ * t.m11()))));
    return font;
}

std::vector<QString> Sketch::labeltexts() const {
    std::vector<QString> out;
    for (const Label& l : labels_) out.push_back(l.text);
    return out;
}

std::vector<QRectF> Sketch::placelabels(const QTransform& t, const QFont& font) const {
    const QFontMetricsF metrics(font);
    // The bodies' outlines, seen and hidden, as areas a little wider than
    // their pens.
    std::vector<QPainterPath> outlines;
    QPainterPathStroker stroker;
    stroker.setWidth(3);
    for (const Stroke& s : strokes_)
        if (!s.fill.isValid() && (s.ink == Ink::outline || s.ink == Ink::hidden))
            outlines.push_back(stroker.createStroke(t.map(s.path)));
    std::vector<QRectF> placed;
    for (const Label& l : labels_) {
        const QPointF c = t.map(l.at);
        const QSizeF size(metrics.horizontalAdvance(l.text) + 2, metrics.height());
        auto box = [&](QPointF centre) {
            return QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size);
        };
        auto free = [&](const QRectF& r) {
            for (const QRectF& other : placed)
                if (other.intersects(r)) return false;
            for (const QPainterPath& o : outlines)
                if (o.intersects(r)) return false;
            return true;
        };
        // The label's own place first, then rings round it, nearest first.
        QRectF chosen = box(c);
        bool found = free(chosen);
        const double step = size.height() * 0.5;
        for (int ring = 1; ring <= 6 && !found; ++ring) {
            for (int k = 0; k < 16 && !found; ++k) {
                const double a = 2 * pi * k / 16;
                const QRectF r = box(c + ring * step * QPointF(std::cos(a), -std::sin(a)));
                if (free(r)) {
                    chosen = r;
                    found = true;
                }
            }
        }
        placed.push_back(chosen);
    }
    return placed;
}

void Sketch::paint(QPainter& painter, const QRectF& target, double zoom, bool faded,
                   QPointF pan) const {
    if (strokes_.empty() || target.isEmpty()) return;
    const QTransform t = fit(target, zoom, pan);
    const double scale = t.m11();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // One hundredth of a drawing unit, as the pen sizes were recorded.
    const double unitpx = scale * 0.01 * penscale_;
    auto ink = [faded](QColor c) { return faded ? QColor(175, 175, 175, c.alpha()) : c; };
    QPen outline(ink(Qt::black), std::max(1.0, 1.8 * unitpx), Qt::SolidLine, Qt::RoundCap,
                 Qt::RoundJoin);
    QPen thin(ink(Qt::black), std::max(0.8, 1.0 * unitpx), Qt::SolidLine, Qt::RoundCap,
              Qt::RoundJoin);
    QPen hidden(ink(QColor(90, 90, 90)), std::max(0.8, 1.0 * unitpx), Qt::DashLine, Qt::FlatCap);
    QPen guide(ink(QColor(120, 120, 120)), std::max(0.7, 0.8 * unitpx), Qt::DotLine, Qt::FlatCap);
    QPen hit(ink(QColor(200, 30, 30, 170)), std::max(0.7, 0.7 * unitpx), Qt::SolidLine,
             Qt::RoundCap);
    QPen miss(ink(QColor(60, 90, 160, 70)), std::max(0.5, 0.5 * unitpx), Qt::SolidLine,
              Qt::RoundCap);

    for (const Stroke& s : strokes_) {
        const QPainterPath p = t.map(s.path);
        if (s.fill.isValid()) {
            painter.setPen(Qt::NoPen);
            // Arrowheads and dots (black) fade like the lines, faces lighter.
            const QColor fadedfill = s.fill.lightness() < 50
                                         ? QColor(175, 175, 175)
                                         : QColor(225, 225, 225, s.fill.alpha());
            painter.setBrush(faded ? fadedfill : s.fill);
            painter.drawPath(p);
            continue;
        }
        painter.setBrush(Qt::NoBrush);
        switch (s.ink) {
            case Ink::outline: painter.setPen(outline); break;
            case Ink::thin: painter.setPen(thin); break;
            case Ink::hidden: painter.setPen(hidden); break;
            case Ink::guide: painter.setPen(guide); break;
            case Ink::hit: painter.setPen(hit); break;
            case Ink::miss: painter.setPen(miss); break;
        }
        painter.drawPath(p);
    }

    const QFont font = labelfont(painter.font(), t);
    painter.setFont(font);
    painter.setPen(ink(Qt::black));
    const QFontMetricsF metrics(font);
    const std::vector<QRectF> boxes = placelabels(t, font);
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const QPointF c = boxes[i].center();
        const double width = metrics.horizontalAdvance(labels_[i].text);
        painter.drawText(
            QPointF(c.x() - width / 2, c.y() + (metrics.ascent() - metrics.descent()) / 2),
            labels_[i].text);
    }
    painter.restore();
}

}  // namespace korvex

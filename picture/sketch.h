// The drawing vocabulary of the geometry diagrams.
//
// A Sketch records a line drawing of 3-D bodies seen in one orthographic
// view: lines, dashed (hidden) lines, shaded faces, axes with arrowheads,
// rotation arrows, dimension lines and labels. Points are given in the
// detector frame (Zd up); everything is projected when recorded and the
// whole drawing is fitted into the target rectangle when painted, so it
// stays a vector drawing at any size. The bodies (drum, box, ball, point)
// draw their hidden edges dashed, decided from the view direction.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <functional>
#include <vector>

class QPainter;

namespace korvex {

struct V3 {
    double x = 0, y = 0, z = 0;
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(double k, V3 a) { return {k * a.x, k * a.y, k * a.z}; }
double dot(V3 a, V3 b);
V3 cross(V3 a, V3 b);
V3 unit(V3 a);

// A body's own frame: its origin and three orthonormal axes. When place is
// set it carries a point of the body's frame into the drawing instead (the
// axes then only decide which edges face the viewer).
struct Axes3 {
    V3 o;
    V3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    std::function<V3(double, double, double)> place;
    V3 at(double u, double v, double w) const {
        return place ? place(u, v, w) : o + u * x + v * y + w * z;
    }
};

// Where the viewer stands, in degrees: the azimuth about Zd from Xd, the
// elevation above the XdYd plane. The default is the diagrams' view, from
// the front right and a little above.
struct ViewAngle {
    double azimuth = -62;
    double elevation = 22;
};

// The shades of the detector's top face and the source's front face.
inline const QColor detectorshade{150, 182, 222, 210};
inline const QColor sourceshade{238, 168, 96, 215};

// hit and miss are the sample rays: a strong colour and a faint one.
enum class Ink { outline, hidden, thin, guide, hit, miss };

class Sketch {
public:
    // unit: the length of 3-D points that makes one drawing unit (the
    // arrowheads, labels and pens are sized in drawing units). penscale
    // shrinks those sizes, so that a drawing painted with a zoom keeps them.
    explicit Sketch(ViewAngle angle = {}, double unit = 1, double penscale = 1);

    QPointF project(V3 p) const;
    // From the drawing towards the viewer.
    V3 view() const { return view_; }
    bool facesviewer(V3 normal) const { return korvex::dot(normal, view_) > 1e-9; }

    void line(V3 a, V3 b, Ink ink = Ink::outline);
    void path(const std::vector<V3>& points, Ink ink = Ink::outline, bool closed = false);
    void face(const std::vector<V3>& points, const QColor& fill);
    void dot(V3 p, double radius);
    // An arrow from a to b with its head at b, and the name beyond the head.
    void axis(V3 a, V3 b, const QString& name);
    // The positive (counter-clockwise) sense about an axis: an arc round it
    // at the given point, with its arrowhead.
    void spin(V3 centre, V3 axisdirection, double radius);
    // A dimension between a and b with arrowheads at both ends and its name
    // beside the middle, on the side of the given screen direction.
    void dimension(V3 a, V3 b, const QString& name, QPointF side);
    void text(V3 at, const QString& name, QPointF offset = {});

    // Bodies. The shaded face is the one in the plane of the frame's origin.
    // A drum (cylinder) of radius r extending height along the frame's z
    // (negative: below the face).
    void drum(const Axes3& f, double r, double height, const QColor& shade);
    // A box with sides a along x and b along y, centred on the origin.
    void box(const Axes3& f, double a, double b, double height, const QColor& shade);
    // A sphere; its equatorial plane (the frame's xy plane) is shaded.
    void ball(const Axes3& f, double r, const QColor& shade);

    // Drawing units, y up, to the target's pixels, y down: the drawing
    // fitted into target with its proportions kept (or at the fixed scale),
    // magnified by zoom about the target's centre, then moved by pan pixels.
    QTransform fit(const QRectF& target, double zoom = 1, QPointF pan = {}) const;
    // Paints through fit; faded paints everything in light greys.
    void paint(QPainter& painter, const QRectF& target, double zoom = 1, bool faded = false,
               QPointF pan = {}) const;
    // Pixels per drawing unit at zoom 1 in place of the fit to the target;
    // 0 (the default) fits.
    void setfixedscale(double pixels) { fixedscale_ = pixels; }

    // Where the labels go in the target's pixels, in the order they were
    // recorded: each as near its place as it can be without covering a label
    // placed before it or a body's outline. font is the painter's font.
    std::vector<QRectF> placelabels(const QTransform& t, const QFont& font) const;
    std::vector<QString> labeltexts() const;
    // The labels' font through t, from the painter's font.
    QFont labelfont(QFont font, const QTransform& t) const;

    double textsize() const { return textsize_; }
    // The drawing's extent in drawing units, labels included.
    QRectF bounds() const { return QRectF(QPointF(minx_, miny_), QPointF(maxx_, maxy_)); }
    double lengthunit() const { return unit_; }

private:
    struct Stroke {
        QPainterPath path;
        Ink ink;
        QColor fill;  // faces and arrowheads
    };
    struct Label {
        QPointF at;
        QString text;
    };
    void arrowhead(QPointF tip, QPointF from);
    void include(QPointF p);

    V3 view_, right_, up_;
    double unit_ = 1;
    double penscale_ = 1;
    double fixedscale_ = 0;
    double textsize_ = 0.2;
    std::vector<Stroke> strokes_;
    std::vector<Label> labels_;
    double minx_ = 1e300, maxx_ = -1e300, miny_ = 1e300, maxy_ = -1e300;
};

}  // namespace korvex

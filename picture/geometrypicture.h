// A to-scale picture of one geometry as the engine will simulate it: the
// detector at its origin, the source placed and turned by the engine's own
// source-to-detector transform, both axes sets, a scale bar in the user's
// length unit and, on request, sample emissions from the engine's sampler
// judged by the engine's detector test. The window's geometry view and
// korvex-draw both paint through GeometryPicture, so they draw the same.
//
// A Scene holds what depends on the geometry alone (the frame, the rays, the
// warning); a GeometryPicture adds the viewer's angle and zoom.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <vector>

#include "engine/geometry.h"
#include "picture/sketch.h"

class QPainter;

namespace korvex {

// The picture's own generator starts from this seed every time, so the rays
// stay put while the user edits; the run's generator is never touched.
inline constexpr std::uint32_t pictureseed = 4357;

// Emissions sampled to decide the warning, besides the rays drawn: a part
// of the source on, in or under the detector that holds a ten-thousandth of
// its emissions is found with a probability of 1 - e^-2.
inline constexpr int warningprobes = 20000;

struct Ray {
    Vec3 from, to;  // detector frame
    bool hit = false;
};

struct Scene {
    RunParameters prm;
    GeometryFlags flags;  // flags.rotated as the run will set it
    Frame frame;
    std::vector<Ray> rays;
    // The warning the run would give, in the report's words; empty when the
    // probes found no emission starting on, in or underneath the detector.
    QString warning;
    double extent = 1;  // the largest side of the box round both bodies
    // False when the dimensions are too large to draw (the extent is not a
    // finite number); such a scene has no rays and no warning.
    bool drawable = true;
};

// The flags must name one source kind and one detector kind
// (consistentkinds). raycount emissions are drawn; more are sampled for the
// warning. Nothing but the scene's own generator is changed.
Scene makescene(const RunParameters& prm, const GeometryFlags& flags, int raycount);

// Points the picture marks, in the detector frame.
enum class Mark { detectororigin, sourceorigin, xd, yd, zd, xs, ys, zs };

struct PictureOptions {
    ViewAngle angle;
    double zoom = 1;
    QPointF pan;         // pixels the drawing is moved by after the zoom
    double scale = 0;    // a length per 100 pixels at zoom 1; 0 fits the picture
    bool faded = false;  // the last valid geometry, shown greyed
    QString title;       // a line at the top (korvex-draw names the dataset)
    QString note;        // a line at the bottom (the field that is not a number)
};

class GeometryPicture {
public:
    GeometryPicture(const Scene& scene, const PictureOptions& options);

    // White background, the drawing, the scale bar and the texts.
    void paint(QPainter& painter, const QRectF& target) const;

    // Where a detector-frame point lands in target.
    QPointF topixel(Vec3 p, const QRectF& target) const;
    Vec3 mark(Mark m) const;
    // Pixels per unit of the user's length in target.
    double pixelsperunit(const QRectF& target) const;
    // The length the scale bar shows in target, a 1, 2 or 5 times a power of
    // ten.
    double scalelength(const QRectF& target) const;
    // The part of target the bodies are drawn in (the texts take the rest).
    QRectF drawingarea(const QRectF& target) const;
    // The drawing's own units to target's pixels.
    QTransform transform(const QRectF& target) const;
    // The axis names with their boxes in target, as painted.
    std::vector<std::pair<QString, QRectF>> labelboxes(const QRectF& target) const;
    // True when the whole drawing lies inside the drawing area.
    bool fits(const QRectF& target) const;

private:
    double textheight(const QRectF& target) const;
    int titlelines(const QRectF& target) const;

    bool drawable_;
    QString warning_;
    PictureOptions options_;
    Sketch sketch_;
    Vec3 marks_[8];
};

}  // namespace korvex

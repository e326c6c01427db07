#include "ui/geometryview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "io/prompter.h"

namespace korvex {

namespace {

// The window's fields, with any count of emissions (1) in place of the one
// typed, which the geometry does not need.
class GeometryFields : public FieldSource {
public:
    explicit GeometryFields(const FieldSource& fields) : fields_(fields) {}
    std::string text(Field f) const override {
        return f == Field::emissions ? std::string("1") : fields_.text(f);
    }
    std::string caption(Field f) const override { return fields_.caption(f); }

private:
    const FieldSource& fields_;
};

class Quiet : public Prompter {
public:
    std::string first;
    void message(MessageKind, const std::string& text) override {
        if (first.empty()) first = text;
    }
    bool confirm(ConfirmKind, const std::string&) override { return true; }
};

}  // namespace

FieldsGeometry readgeometry(const FieldSource& fields, const GeometryFlags& windowflags) {
    FieldsGeometry out;
    // As the head of a dataset leaves them, on a copy: the window's flags
    // are not touched.
    out.flags = windowflags;
    out.flags.batchrun = false;
    RunParameters prm;
    startdataset(out.flags, prm);
    Quiet quiet;
    const GeometryFields geometryfields(fields);
    getscreeninput(geometryfields, quiet, out.flags, prm);
    if (out.flags.dataerror) {
        out.problem = quiet.first;
    } else {
        out.flags.rotated = isrotated(prm);
        out.prm = prm;
    }
    return out;
}

GeometryView::GeometryView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("geometryView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCursor(Qt::OpenHandCursor);
    setToolTip(QStringLiteral("Drag to turn, wheel to zoom, double-click for the diagrams' view"));
}

void GeometryView::showgeometry(const RunParameters& prm, const GeometryFlags& flags) {
    scene_ = makescene(prm, flags, rays_ ? viewrays : 0);
    faded_ = false;
    note_.clear();
    update();
}

void GeometryView::showproblem(const QString& note) {
    faded_ = true;
    note_ = note;
    update();
}

void GeometryView::setrays(bool on) {
    if (on == rays_) return;
    rays_ = on;
    if (scene_) scene_ = makescene(scene_->prm, scene_->flags, rays_ ? viewrays : 0);
    update();
}

void GeometryView::resetview() { setview(ViewAngle{}); }

void GeometryView::setview(ViewAngle angle) {
    angle_ = angle;
    zoom_ = 1;
    pan_ = {};
    update();
}

std::optional<GeometryPicture> GeometryView::picture() const {
    if (!scene_) return std::nullopt;
    PictureOptions options;
    options.angle = angle_;
    options.zoom = zoom_;
    options.pan = pan_;
    options.faded = faded_;
    options.note = note_;
    return GeometryPicture(*scene_, options);
}

void GeometryView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF target = rect();
    if (!scene_) {
        painter.fillRect(target, Qt::white);
        painter.setPen(QColor(170, 20, 20));
        painter.drawText(target.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, note_);
        return;
    }
    picture()->paint(painter, target);
}

void GeometryView::mousePressEvent(QMouseEvent* event) {
    last_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void GeometryView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint now = event->position().toPoint();
    const QPoint moved = now - last_;
    last_ = now;
    // Half a degree a pixel: dragging right turns the picture with the hand.
    angle_.azimuth = std::remainder(angle_.azimuth - 0.5 * moved.x(), 360.0);
    angle_.elevation = std::clamp(angle_.elevation + 0.5 * moved.y(), -90.0, 90.0);
    update();
}

void GeometryView::mouseReleaseEvent(QMouseEvent*) { setCursor(Qt::OpenHandCursor); }

void GeometryView::mouseDoubleClickEvent(QMouseEvent*) { resetview(); }

void GeometryView::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (!scene_) return;
    // One notch (120) magnifies by a fifth, about the pointer: the point
    // under it stays there. (The labels, which keep their size, change the
    // drawing's extent a little, so the new transform is asked, not
    // reckoned.)
    const QPointF pointer = event->position();
    const QPointF under = picture()->transform(rect()).inverted().map(pointer);
    zoom_ = std::clamp(zoom_ * std::pow(1.2, event->angleDelta().y() / 120.0), 0.2, 50.0);
    pan_ += pointer - picture()->transform(rect()).map(under);
    update();
}

}  // namespace korvex

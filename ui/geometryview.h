// The geometry view: the user's own geometry to scale, redrawn as the fields
// change. A drag turns it, the wheel zooms about the pointer, a double-click
// puts the diagrams' view back; the views along the detector's axes are a
// click away. It shows no message box and changes no field.
#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>
#include <string>

#include "io/screeninput.h"
#include "picture/geometrypicture.h"

namespace korvex {

// Emissions drawn when "Show rays" is on.
inline constexpr int viewrays = 300;

// The views along the detector's axes, each with the third axis towards the
// viewer: along Xd (Yd right, Zd up), along Yd (Xd right, Zd up, seen from
// -Yd) and along Zd from above (Xd right, Yd up).
inline constexpr ViewAngle alongxd{0, 0};
inline constexpr ViewAngle alongyd{-90, 0};
inline constexpr ViewAngle alongzd{-90, 90};

// The geometry the fields describe, read by the run's own screen reader but
// silently: the reader's first message (it names the field) becomes
// problem, and its questions are answered Yes. The emission count is no
// part of the geometry and is not read.
struct FieldsGeometry {
    std::optional<RunParameters> prm;  // empty when a field is rejected
    GeometryFlags flags;
    std::string problem;
};
FieldsGeometry readgeometry(const FieldSource& fields, const GeometryFlags& windowflags);

class GeometryView : public QWidget {
    Q_OBJECT
public:
    explicit GeometryView(QWidget* parent = nullptr);

    // Draws this geometry at once.
    void showgeometry(const RunParameters& prm, const GeometryFlags& flags);
    // Greys the last geometry drawn and names the problem below it.
    void showproblem(const QString& note);
    void setrays(bool on);
    void resetview();
    // Looks from this angle, unzoomed.
    void setview(ViewAngle angle);

    bool faded() const { return faded_; }
    const QString& note() const { return note_; }
    // The geometry drawn (greyed or not); empty before the first valid one.
    const std::optional<Scene>& scene() const { return scene_; }
    ViewAngle angle() const { return angle_; }
    double zoom() const { return zoom_; }
    QPointF pan() const { return pan_; }
    // The picture as painted now; empty before the first valid geometry.
    std::optional<GeometryPicture> picture() const;
    bool rays() const { return rays_; }

    QSize sizeHint() const override { return {350, 350}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::optional<Scene> scene_;
    bool faded_ = true;
    QString note_;
    bool rays_ = false;
    ViewAngle angle_;
    double zoom_ = 1;
    QPointF pan_;
    QPoint last_;
};

}  // namespace korvex

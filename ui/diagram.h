// The geometry diagrams: one source shape over one detector shape, drawn
// as a vector line drawing at whatever size the widget has.
#pragma once

#include <QWidget>

#include "engine/dataset.h"

class QPainter;

namespace korvex {

class Sketch;

// Records the diagram of the pair.
void sketchgeometry(Sketch& sketch, SourceShape source, DetectorShape detector);

class Diagram : public QWidget {
    Q_OBJECT
public:
    Diagram(SourceShape source, DetectorShape detector, QWidget* parent = nullptr);
    SourceShape source() const { return source_; }
    DetectorShape detector() const { return detector_; }
    QSize sizeHint() const override { return {350, 350}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SourceShape source_;
    DetectorShape detector_;
};

}  // namespace korvex

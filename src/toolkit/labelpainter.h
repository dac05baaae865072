#pragma once

#include "toolkit/label.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <vector>

class QPainter;

namespace ravlen::toolkit {

class TileTransform;

// A label as it lies on the viewer right now: its geometry in viewer pixels, worked out from
// the space it is kept in and the tile that shows its image.
struct PlacedLabel {
    int type = Label::Text;
    QPointF start;               // left, top
    QPointF end;                 // left + width, top + height
    std::vector<QPointF> points; // the point list
    double fontScale = 1.0;      // how much bigger than its font size the text is drawn
};

// Places `label` on the viewer. `transform` and `tileRect` describe the tile of the image the
// label belongs to; both are ignored for a label in viewer pixels.
PlacedLabel placeLabel(const Label &label, const TileTransform *transform, const QRect &tileRect);

// The font of a font description ("Arial", "Arial Bold", "Courier New Bold Italic") at
// `points`; the face is matched by the system's fonts (Arial and Courier New fall back to the
// metric-compatible or nearest installed faces).
QFont labelFont(const QString &description, double points);
// A colour value with red in the low byte.
QColor labelColour(unsigned value);

// Draws the label. Inverting draws only its outline, by exclusive-or of every pixel it covers,
// the way a rubber band is drawn: a text label is outlined as its box.
void paintLabel(QPainter &painter, const Label &label, const PlacedLabel &placed,
                bool inverting = false);
// Small squares on the label's defining points, marking the selected label.
void paintSelection(QPainter &painter, const PlacedLabel &placed);

// The viewer pixels the label's drawing may touch (line width and text included).
QRect labelBounds(const Label &label, const PlacedLabel &placed);

// Distance in viewer pixels from `point` to the label's drawing: 0 inside a text box or a
// closed shape, otherwise to its nearest line.
double distanceToLabel(const PlacedLabel &placed, QPointF point);

} // namespace ravlen::toolkit

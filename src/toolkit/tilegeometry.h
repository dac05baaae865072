#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <algorithm>
#include <optional>

namespace ravlen::toolkit {

// How an image sits in a tile: what the viewer reads from the image's display state.
struct TileView {
    QSize image;          // columns x rows
    QSize cell;           // the tile, in widget pixels
    double zoom = 1.0;    // 1: the turned image fitted into the cell with its proportions kept
    QPointF scroll;       // pan in image pixels along the screen's axes; (0, 0) centres the image
    bool stretch = false; // fill the cell, proportions ignored; zoom and scroll unused
    int flip = 0;         // 1 mirrored left to right, 2 top to bottom (on screen, after turning)
    int rotation = 0;     // quarter turns anticlockwise
};

// The mapping between image coordinates (pixel k covers [k, k + 1)) and cell coordinates that
// a TileView gives, and what the pipeline must draw for it. The mapping turns the image,
// mirrors it on the screen's axes, scales it and moves it:
//   cell = centre + S * (F * R * (image - imageCentre) - scroll)
class TileTransform {
public:
    QPointF toCell(QPointF image) const;
    QPointF toImage(QPointF cell) const;

    // Cell pixels per image pixel along the screen's x and y axes (0 when nothing is drawn).
    double scaleX() const { return m_sx; }
    double scaleY() const { return m_sy; }
    // Whether any part of the image lies in the cell.
    bool visible() const { return !m_target.isEmpty(); }
    // The cell pixels that show the image; outside them the cell is black.
    QRect target() const { return m_target; }
    // The image rectangle drawn into target(), before turning (exactly toImage of target()).
    QRectF source() const { return m_source; }
    // The picture the pipeline draws from source(): target()'s size, sides swapped for an odd
    // number of quarter turns. Turned by rotation() and mirrored by flip() it fills target().
    QSize renderSize() const;
    // Screen pixels per image pixel across source(), for the choice of filter.
    double pixelScale() const { return std::max(m_sx, m_sy); }
    int rotation() const { return m_rotation; }
    int flip() const { return m_flip; }

private:
    friend TileTransform tileTransform(const TileView &view);
    QPointF m_cellCentre;
    QPointF m_imageCentre;
    QPointF m_scroll;
    double m_sx = 0.0;
    double m_sy = 0.0;
    int m_rotation = 0;
    int m_flip = 0;
    QRect m_target;
    QRectF m_source;
};

// Works out the transform of a tile. An image or cell without area gives nothing to draw.
TileTransform tileTransform(const TileView &view);

// The rectangle of tile `index` (row-major) in a widget of `size` split into rows x columns;
// the tiles cover the widget exactly, without gaps or overlaps.
QRect tileRectangle(QSize size, int rows, int columns, int index);

// The tile index under `point`, or nothing outside the widget.
std::optional<int> tileIndexAt(QSize size, int rows, int columns, QPoint point);

} // namespace ravlen::toolkit

#include "toolkit/tilegeometry.h"

#include <cmath>

namespace ravlen::toolkit {

namespace {

// One quarter turn anticlockwise on a screen whose y axis points down: right becomes up.
QPointF turn(QPointF p, int quarterTurns) {
    for (int i = 0; i < quarterTurns; ++i) {
        p = QPointF(p.y(), -p.x());
    }
    return p;
}

QPointF unturn(QPointF p, int quarterTurns) {
    for (int i = 0; i < quarterTurns; ++i) {
        p = QPointF(-p.y(), p.x());
    }
    return p;
}

QPointF mirror(QPointF p, int flip) {
    return QPointF(flip & 1 ? -p.x() : p.x(), flip & 2 ? -p.y() : p.y());
}

QRectF boundsOf(const QPointF (&corners)[4]) {
    double x0 = corners[0].x();
    double x1 = x0;
    double y0 = corners[0].y();
    double y1 = y0;
    for (const QPointF &c : corners) {
        x0 = std::min(x0, c.x());
        x1 = std::max(x1, c.x());
        y0 = std::min(y0, c.y());
        y1 = std::max(y1, c.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

int tileEdge(int length, int parts, int i) {
    return int(std::int64_t(length) * i / parts);
}

} // namespace

QPointF TileTransform::toCell(QPointF image) const {
    const QPointF p = mirror(turn(image - m_imageCentre, m_rotation), m_flip) - m_scroll;
    return m_cellCentre + QPointF(p.x() * m_sx, p.y() * m_sy);
}

QPointF TileTransform::toImage(QPointF cell) const {
    if (m_sx == 0.0 || m_sy == 0.0) {
        return m_imageCentre;
    }
    const QPointF d = cell - m_cellCentre;
    const QPointF p = QPointF(d.x() / m_sx, d.y() / m_sy) + m_scroll;
    return m_imageCentre + unturn(mirror(p, m_flip), m_rotation);
}

QSize TileTransform::renderSize() const {
    return m_rotation % 2 ? m_target.size().transposed() : m_target.size();
}

TileTransform tileTransform(const TileView &view) {
    TileTransform t;
    t.m_rotation = ((view.rotation % 4) + 4) % 4;
    t.m_flip = view.flip & 3;
    if (view.image.isEmpty() || view.cell.isEmpty()) {
        return t;
    }
    const QSizeF turned = t.m_rotation % 2 ? QSizeF(view.image.transposed()) : QSizeF(view.image);
    const double fitX = view.cell.width() / turned.width();
    const double fitY = view.cell.height() / turned.height();
    if (view.stretch) {
        t.m_sx = fitX;
        t.m_sy = fitY;
    } else {
        const double zoom = std::isfinite(view.zoom) && view.zoom > 0.0 ? view.zoom : 1.0;
        t.m_sx = t.m_sy = std::min(fitX, fitY) * zoom;
        if (std::isfinite(view.scroll.x()) && std::isfinite(view.scroll.y())) {
            t.m_scroll = view.scroll;
        }
    }
    t.m_cellCentre = QPointF(view.cell.width() / 2.0, view.cell.height() / 2.0);
    t.m_imageCentre = QPointF(view.image.width() / 2.0, view.image.height() / 2.0);

    const QSizeF own(view.image);
    const QPointF corners[4] = {t.toCell(QPointF(0, 0)), t.toCell(QPointF(own.width(), 0)),
                                t.toCell(QPointF(0, own.height())),
                                t.toCell(QPointF(own.width(), own.height()))};
    const QRectF shown = boundsOf(corners).intersected(QRectF(QPointF(0, 0), QSizeF(view.cell)));
    // Whole cell pixels: a pixel is drawn when the image covers at least half of it.
    const int left = int(std::lround(shown.left()));
    const int top = int(std::lround(shown.top()));
    const int right = int(std::lround(shown.right()));
    const int bottom = int(std::lround(shown.bottom()));
    if (shown.isEmpty() || right <= left || bottom <= top) {
        return t;
    }
    t.m_target = QRect(left, top, right - left, bottom - top);
    const QPointF back[4] = {t.toImage(QPointF(left, top)), t.toImage(QPointF(right, top)),
                             t.toImage(QPointF(left, bottom)), t.toImage(QPointF(right, bottom))};
    t.m_source = boundsOf(back);
    return t;
}

QRect tileRectangle(QSize size, int rows, int columns, int index) {
    rows = std::max(rows, 1);
    columns = std::max(columns, 1);
    if (index < 0 || index >= rows * columns || size.isEmpty()) {
        return QRect();
    }
    const int r = index / columns;
    const int c = index % columns;
    const int x0 = tileEdge(size.width(), columns, c);
    const int x1 = tileEdge(size.width(), columns, c + 1);
    const int y0 = tileEdge(size.height(), rows, r);
    const int y1 = tileEdge(size.height(), rows, r + 1);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

std::optional<int> tileIndexAt(QSize size, int rows, int columns, QPoint point) {
    rows = std::max(rows, 1);
    columns = std::max(columns, 1);
    if (point.x() < 0 || point.y() < 0 || point.x() >= size.width() || point.y() >= size.height()) {
        return std::nullopt;
    }
    const auto find = [](int length, int parts, int v) {
        int i = int(std::int64_t(v) * parts / length);
        while (i > 0 && tileEdge(length, parts, i) > v) {
            --i;
        }
        while (i + 1 < parts && tileEdge(length, parts, i + 1) <= v) {
            ++i;
        }
        return i;
    };
    return find(size.height(), rows, point.y()) * columns + find(size.width(), columns, point.x());
}

} // namespace ravlen::toolkit

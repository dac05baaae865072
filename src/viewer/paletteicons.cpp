#include "viewer/paletteicons.h"

#include "viewer/mouserules.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace ravlen::viewer {

namespace {

constexpr int kSize = 40; // drawn at twice the button's size, so it stays sharp when scaled

QPixmap draw(int function) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(20, 20, 20);
    p.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (function) {
    case mouse::Select: {
        const QPolygonF pointer(
            {{10, 4}, {10, 32}, {17, 25}, {22, 36}, {27, 34}, {22, 23}, {31, 23}});
        p.setBrush(Qt::white);
        p.drawPolygon(pointer);
        break;
    }
    case mouse::Hand: {
        p.setBrush(QColor(250, 220, 190));
        p.setPen(QPen(ink, 2.0));
        for (int i = 0; i < 4; ++i) {
            p.drawRoundedRect(QRectF(9 + 6 * i, 6 + (i == 0 || i == 3 ? 4 : 0), 6, 18), 3, 3);
        }
        p.drawRoundedRect(QRectF(8, 18, 26, 17), 6, 6);
        p.drawRoundedRect(QRectF(3, 17, 8, 12), 4, 4);
        break;
    }
    case mouse::Measure: {
        p.save();
        p.translate(20, 20);
        p.rotate(-35);
        p.setBrush(QColor(250, 230, 120));
        p.setPen(QPen(ink, 2.0));
        p.drawRect(QRectF(-17, -6, 34, 12));
        for (int i = -13; i <= 13; i += 4) {
            p.drawLine(QPointF(i, -6), QPointF(i, i % 8 == 3 ? 1 : -2));
        }
        p.restore();
        break;
    }
    case mouse::Text: {
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(32);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QStringLiteral("A"));
        break;
    }
    case mouse::Arrow: {
        p.drawLine(QPointF(8, 32), QPointF(30, 10));
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({{33, 7}, {20, 11}, {29, 20}}));
        break;
    }
    case mouse::Line:
        p.drawLine(QPointF(7, 33), QPointF(33, 7));
        break;
    case mouse::Draw: {
        QPainterPath path(QPointF(5, 30));
        path.cubicTo(QPointF(12, 5), QPointF(18, 38), QPointF(24, 18));
        path.cubicTo(QPointF(28, 8), QPointF(33, 14), QPointF(35, 10));
        p.drawPath(path);
        break;
    }
    case mouse::Rectangle:
        p.drawRect(QRectF(6, 10, 28, 20));
        break;
    case mouse::Elipse:
        p.drawEllipse(QRectF(5, 10, 30, 20));
        break;
    case mouse::Polygon:
        p.drawPolygon(QPolygonF({{20, 5}, {35, 16}, {29, 34}, {11, 34}, {5, 16}}));
        break;
    default:
        break;
    }
    return pixmap;
}

} // namespace

QIcon paletteIcon(int function) {
    return QIcon(draw(function));
}

} // namespace ravlen::viewer

#include "scout/toolbaricons.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <map>

namespace ravlen::scout {

namespace {

constexpr int kSize = 48; // drawn at twice the button's size, so it stays sharp when scaled

const QColor kInk(30, 30, 30);

QPen pen(double width, const QColor &colour = kInk) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void hourglass(QPainter &p) {
    p.setPen(pen(3));
    p.drawLine(QPointF(12, 6), QPointF(36, 6));
    p.drawLine(QPointF(12, 42), QPointF(36, 42));
    p.setBrush(QColor(250, 240, 210));
    p.drawPolygon(QPolygonF({{15, 8}, {33, 8}, {24, 24}, {33, 40}, {15, 40}, {24, 24}}));
    p.setBrush(QColor(215, 170, 70));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({{19, 38}, {29, 38}, {24, 30}}));
    p.drawPolygon(QPolygonF({{19, 12}, {29, 12}, {24, 19}}));
}

void folder(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(240, 200, 90));
    p.drawPolygon(QPolygonF({{5, 12}, {18, 12}, {22, 16}, {43, 16}, {43, 40}, {5, 40}}));
    p.setBrush(QColor(250, 222, 130));
    p.drawPolygon(QPolygonF({{5, 40}, {11, 22}, {46, 22}, {43, 40}}));
}

void disk(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(70, 110, 190));
    p.drawPolygon(QPolygonF({{7, 6}, {36, 6}, {42, 12}, {42, 42}, {7, 42}}));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(14, 6, 18, 12));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13, 26, 23, 16));
    p.setPen(pen(1.5, QColor(120, 120, 120)));
    p.drawLine(QPointF(17, 31), QPointF(32, 31));
    p.drawLine(QPointF(17, 36), QPointF(32, 36));
}

void printer(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(14, 5, 20, 14));
    p.setBrush(QColor(160, 160, 165));
    p.drawRoundedRect(QRectF(5, 17, 38, 17), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13, 28, 22, 15));
    p.setPen(pen(1.5, QColor(110, 110, 110)));
    p.drawLine(QPointF(17, 34), QPointF(31, 34));
    p.drawLine(QPointF(17, 38), QPointF(28, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 180, 80));
    p.drawEllipse(QPointF(37, 22), 2, 2);
}

void gear(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(170, 175, 185));
    const QPointF c(24, 24);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-4, -20, 8, 8));
        p.restore();
    }
    p.drawEllipse(c, 14, 14);
    p.setBrush(Qt::white);
    p.drawEllipse(c, 5, 5);
}

void tiles(QPainter &p) {
    p.setPen(pen(2.5));
    const QColor fill(40, 40, 45);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            p.setBrush(fill);
            const QRectF cell(6 + c * 19, 6 + r * 19, 17, 17);
            p.drawRect(cell);
            // a small body outline in each tile, as the grid of images looks
            p.setPen(pen(1.5, QColor(200, 200, 200)));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(cell.adjusted(4, 5, -4, -5));
            p.setPen(pen(2.5));
        }
    }
}

void monitor(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(60, 90, 150));
    p.drawRoundedRect(QRectF(5, 7, 38, 26), 2, 2);
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(QRectF(20, 33, 8, 5));
    p.drawLine(QPointF(13, 41), QPointF(35, 41));
    p.setPen(pen(2, QColor(240, 240, 240)));
    p.drawLine(QPointF(11, 14), QPointF(28, 14));
    p.drawLine(QPointF(11, 20), QPointF(34, 20));
    p.drawLine(QPointF(11, 26), QPointF(24, 26));
}

void arrow(QPainter &p, bool forward) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(60, 150, 70));
    QPolygonF shape({{6, 19}, {24, 19}, {24, 8}, {42, 24}, {24, 40}, {24, 29}, {6, 29}});
    if (!forward) {
        for (QPointF &pt : shape) {
            pt.setX(kSize - pt.x());
        }
    }
    p.drawPolygon(shape);
}

void exitDoor(QPainter &p) {
    p.setPen(pen(2.5));
    p.setBrush(QColor(150, 95, 55));
    p.drawRect(QRectF(8, 5, 22, 38));
    p.setBrush(QColor(230, 190, 80));
    p.drawEllipse(QPointF(25, 25), 2, 2);
    p.setPen(pen(3.5, QColor(200, 40, 40)));
    p.drawLine(QPointF(30, 24), QPointF(44, 24));
    p.drawLine(QPointF(38, 18), QPointF(44, 24));
    p.drawLine(QPointF(38, 30), QPointF(44, 24));
}

QPixmap draw(const QString &key) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    static const std::map<QString, void (*)(QPainter &)> painters = {
        {QStringLiteral("tbrPending"), &hourglass},
        {QStringLiteral("tbrOpen"), &folder},
        {QStringLiteral("tbrSave"), &disk},
        {QStringLiteral("tbrPrint"), &printer},
        {QStringLiteral("tbrOptions"), &gear},
        {QStringLiteral("tbrTile"), &tiles},
        {QStringLiteral("tbrResult"), &monitor},
        {QStringLiteral("tbrPrevImg"), [](QPainter &q) { arrow(q, false); }},
        {QStringLiteral("tbrNextImg"), [](QPainter &q) { arrow(q, true); }},
        {QStringLiteral("tbrExit"), &exitDoor},
    };
    const auto it = painters.find(key);
    if (it == painters.end()) {
        return QPixmap();
    }
    it->second(p);
    return pixmap;
}

} // namespace

QIcon toolbarIcon(const QString &key) {
    const QPixmap pixmap = draw(key);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

} // namespace ravlen::scout

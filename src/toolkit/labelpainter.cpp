#include "toolkit/labelpainter.h"

#include "toolkit/tilegeometry.h"

#include <QCache>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>

namespace ravlen::toolkit {

namespace {

// Viewer coordinates name a pixel by its top-left corner; image geometry is continuous. A
// label point is the centre of the pointer's pixel.
const QPointF kHalf(0.5, 0.5);

// Cell-relative labels: thousandths of the tile.
QPointF fromThousandths(QPointF p, const QRect &tile) {
    return QPointF(tile.left() + p.x() * tile.width() / 1000.0,
                   tile.top() + p.y() * tile.height() / 1000.0);
}

QPointF cellToViewer(QPointF p, const QRect &tile) {
    return p + QPointF(tile.topLeft());
}

QPointF imageToViewer(QPointF p, const TileTransform &t, const QRect &tile) {
    return t.toCell(p) - kHalf + QPointF(tile.topLeft());
}

bool finitePoint(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

QString displayText(const QString &text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Control characters from data would draw as boxes; tabs become spaces.
    for (QChar &c : shown) {
        if (c == QLatin1Char('\t')) {
            c = QLatin1Char(' ');
        } else if (c.category() == QChar::Other_Control && c != QLatin1Char('\n')) {
            c = QChar(0xFFFD);
        }
    }
    return shown;
}

int qtAlignment(int code) {
    int flags = 0;
    switch (code & 3) {
    case 1:
        flags |= Qt::AlignHCenter;
        break;
    case 2:
        flags |= Qt::AlignRight;
        break;
    default:
        flags |= Qt::AlignLeft;
        break;
    }
    flags |= (code & Label::BottomAnchor) ? Qt::AlignBottom : Qt::AlignTop;
    return flags;
}

bool isTextType(int type) {
    return type == Label::Text || type == Label::SideMarker;
}

// A text label's box; a box without area (a value written at a point) is the text's own
// extent placed by the alignment about the start point.
QRectF textBox(const Label &label, const PlacedLabel &placed, const QFont &font) {
    const QRectF box = QRectF(placed.start, placed.end).normalized();
    if (box.width() >= 1.0 && box.height() >= 1.0) {
        return box;
    }
    const QSizeF extent = QFontMetricsF(font)
                              .boundingRect(QRectF(0, 0, 1e6, 1e6), Qt::AlignLeft | Qt::AlignTop,
                                            displayText(label.text))
                              .size();
    QPointF topLeft = placed.start;
    switch (label.alignment & 3) {
    case 1:
        topLeft.rx() -= extent.width() / 2.0;
        break;
    case 2:
        topLeft.rx() -= extent.width();
        break;
    default:
        break;
    }
    if (label.alignment & Label::BottomAnchor) {
        topLeft.ry() -= extent.height();
    }
    return QRectF(topLeft, extent);
}

// The outline colour that keeps a text readable on any grey: dark around light text, light
// around dark text.
QColor outlineFor(const QColor &fore) {
    return fore.lightness() >= 128 ? QColor(0, 0, 0, 220) : QColor(255, 255, 255, 220);
}

// A text drawn once into a picture of its own, with its outline, and kept: the overlays of a
// grid hold the same texts from one paint to the next, and drawing text is far dearer than
// putting a small picture on the screen.
struct TextPicture {
    QImage image;
    QPointF offset; // of the picture's top-left corner from the box's
};

TextPicture textPicture(const QString &raw, const QFont &font, QSizeF box, int flags,
                        const QColor &fore, bool outline, bool elide) {
    static std::mutex mutex;
    static QCache<QString, TextPicture> cache(48 * 1024 * 1024); // bytes of pictures
    const QString key = QStringLiteral("%1|%2x%3|%4|%5|%6|%7|")
                            .arg(font.key())
                            .arg(std::lround(box.width() * 4))
                            .arg(std::lround(box.height() * 4))
                            .arg(flags)
                            .arg(fore.rgba())
                            .arg(outline)
                            .arg(elide) +
                        raw;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const TextPicture *hit = cache.object(key)) {
            return *hit;
        }
    }
    QString text = raw;
    const QFontMetricsF metrics(font);
    if (elide) {
        // A line longer than its block is cut with an ellipsis rather than run over the cell.
        QStringList lines = text.split(QLatin1Char('\n'));
        for (QString &l : lines) {
            l = metrics.elidedText(l, Qt::ElideRight, std::max(box.width(), 1.0));
        }
        text = lines.join(QLatin1Char('\n'));
    }
    const QRectF at(QPointF(0, 0), box);
    // Not clipped to the box: where the text runs is where it is drawn, and that is measured.
    const QRect extent = (metrics.boundingRect(at, flags, text) | QRectF(0, 0, 1, 1))
                             .adjusted(-2, -2, 2, 2)
                             .toAlignedRect()
                             .intersected(QRect(-20000, -20000, 40000, 40000));
    TextPicture picture;
    picture.offset = extent.topLeft();
    picture.image = QImage(extent.size(), QImage::Format_ARGB32_Premultiplied);
    if (picture.image.isNull()) {
        return picture; // too large to hold: nothing is drawn rather than failing the paint
    }
    picture.image.fill(Qt::transparent);
    {
        QPainter p(&picture.image);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.translate(-QPointF(extent.topLeft()));
        p.setFont(font);
        if (outline) {
            // An outline one pixel wide all round, so the text reads on bright and dark tissue.
            p.setPen(outlineFor(fore));
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    if (dx != 0 || dy != 0) {
                        p.drawText(at.translated(dx, dy), flags, text);
                    }
                }
            }
        }
        p.setPen(fore);
        p.drawText(at, flags, text);
    }
    const std::lock_guard<std::mutex> lock(mutex);
    cache.insert(key, new TextPicture(picture),
                 std::max<qsizetype>(1, picture.image.sizeInBytes()));
    return picture;
}

void paintText(QPainter &p, const Label &label, const PlacedLabel &placed) {
    const QString text = displayText(label.text);
    const QFont font = labelFont(label.font, label.fontSize * placed.fontScale);
    QRectF box = textBox(label, placed, font);
    if (label.cellRelative) {
        // A few pixels off the cell's edges, so the texts of neighbouring tiles never touch.
        box.adjust(4, 1, -4, -1);
    }
    if (!label.transparent) {
        p.fillRect(box, labelColour(label.backColour));
    }
    if (text.trimmed().isEmpty()) {
        return;
    }
    const int flags = qtAlignment(label.alignment) | Qt::TextDontClip;
    const TextPicture picture =
        textPicture(text, font, box.size(), flags, labelColour(label.foreColour), label.transparent,
                    label.cellRelative);
    if (!picture.image.isNull()) {
        p.drawImage(box.topLeft() + picture.offset, picture.image);
    }
}

QPolygonF arrowHead(QPointF tip, QPointF tail, double size) {
    const double angle = std::atan2(tip.y() - tail.y(), tip.x() - tail.x());
    const double spread = 0.45; // about 26 degrees either side
    return QPolygonF({tip, tip - QPointF(std::cos(angle - spread), std::sin(angle - spread)) * size,
                      tip - QPointF(std::cos(angle + spread), std::sin(angle + spread)) * size});
}

// An edge bar: a ruler with a tick every tenth of its length when the second marker flag is
// set, otherwise a solid bar.
void paintEdgeBar(QPainter &p, const Label &label, const PlacedLabel &placed) {
    const QRectF box = QRectF(placed.start, placed.end).normalized();
    const QColor fore = labelColour(label.foreColour);
    if (!label.markerFlag) {
        p.fillRect(box, fore);
        return;
    }
    const bool vertical = box.height() >= box.width();
    QPen pen(fore, 1.0);
    p.setPen(pen);
    if (vertical) {
        const double x = box.right();
        p.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
        for (int i = 0; i <= 10; ++i) {
            const double y = box.top() + box.height() * i / 10.0;
            const double reach = i % 5 == 0 ? box.width() : box.width() / 2.0;
            p.drawLine(QPointF(x - reach, y), QPointF(x, y));
        }
    } else {
        const double y = box.bottom();
        p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        for (int i = 0; i <= 10; ++i) {
            const double x = box.left() + box.width() * i / 10.0;
            const double reach = i % 5 == 0 ? box.height() : box.height() / 2.0;
            p.drawLine(QPointF(x, y - reach), QPointF(x, y));
        }
    }
}

double segmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    double t = len2 > 0.0 ? QPointF::dotProduct(p - a, ab) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + ab * t);
    return std::hypot(d.x(), d.y());
}

double pathDistance(const std::vector<QPointF> &points, QPointF p, bool closed) {
    if (points.empty()) {
        return 1e9;
    }
    double best = std::hypot(p.x() - points[0].x(), p.y() - points[0].y());
    for (std::size_t i = 1; i < points.size(); ++i) {
        best = std::min(best, segmentDistance(p, points[i - 1], points[i]));
    }
    if (closed && points.size() > 2) {
        best = std::min(best, segmentDistance(p, points.back(), points.front()));
    }
    return best;
}

} // namespace

int Label::drawnLineWidth() const {
    return std::clamp(lineWidth, 1, 64);
}

void Label::relativeTo(const TileTransform &transform, const QRect &tileRect) {
    if (cellRelative || space != Space::Viewer) {
        return;
    }
    const QPointF origin(tileRect.topLeft());
    if (!scaleWithImage || !transform.visible()) {
        left -= origin.x();
        top -= origin.y();
        for (QPointF &p : points) {
            p -= origin;
        }
        space = Space::Cell;
        return;
    }
    const auto toImage = [&](QPointF viewer) { return transform.toImage(viewer - origin + kHalf); };
    const QPointF a = toImage(QPointF(left, top));
    const QPointF b = toImage(QPointF(left + width, top + height));
    left = a.x();
    top = a.y();
    width = b.x() - a.x();
    height = b.y() - a.y();
    for (QPointF &p : points) {
        p = toImage(p);
    }
    attachScale = transform.pixelScale();
    space = Space::Image;
}

PlacedLabel placeLabel(const Label &label, const TileTransform *transform, const QRect &tileRect) {
    PlacedLabel placed;
    placed.type = label.type;
    const QPointF a(label.left, label.top);
    const QPointF b(label.left + label.width, label.top + label.height);
    std::function<QPointF(QPointF)> map = [](QPointF p) { return p; };
    Label::Space space = label.cellRelative ? Label::Space::CellThousandths : label.space;
    if (space == Label::Space::Image && !transform) {
        space = Label::Space::Viewer; // no tile to place it in: draw nothing sensible, but safely
    }
    switch (space) {
    case Label::Space::Viewer:
        break;
    case Label::Space::Cell:
        map = [&tileRect](QPointF p) { return cellToViewer(p, tileRect); };
        break;
    case Label::Space::CellThousandths:
        map = [&tileRect](QPointF p) { return fromThousandths(p, tileRect); };
        // Text placed in thousandths of the cell shrinks with the cell, so the overlay of a
        // small tile stays inside it; it never grows past its own size.
        placed.fontScale =
            std::clamp(std::min(tileRect.width(), tileRect.height()) / 640.0, 0.4, 1.0);
        break;
    case Label::Space::Image: {
        map = [transform, &tileRect](QPointF p) { return imageToViewer(p, *transform, tileRect); };
        const double now = transform->pixelScale();
        if (label.attachScale > 0.0 && now > 0.0) {
            placed.fontScale = std::clamp(now / label.attachScale, 0.05, 20.0);
        }
        break;
    }
    }
    placed.start = map(a);
    placed.end = map(b);
    placed.points.reserve(label.points.size());
    for (const QPointF &p : label.points) {
        placed.points.push_back(map(p));
    }
    // Hostile or degenerate values must not reach the painter as NaN or infinity.
    const auto sane = [](QPointF p) { return finitePoint(p) ? p : QPointF(-1e6, -1e6); };
    placed.start = sane(placed.start);
    placed.end = sane(placed.end);
    for (QPointF &p : placed.points) {
        p = sane(p);
    }
    return placed;
}

QFont labelFont(const QString &description, double points) {
    QStringList words = description.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool bold = false;
    bool italic = false;
    while (!words.isEmpty()) {
        if (words.last().compare(QLatin1String("Italic"), Qt::CaseInsensitive) == 0) {
            italic = true;
        } else if (words.last().compare(QLatin1String("Bold"), Qt::CaseInsensitive) == 0) {
            bold = true;
        } else {
            break;
        }
        words.removeLast();
    }
    QString face = words.join(QLatin1Char(' '));
    if (face.isEmpty()) {
        face = QStringLiteral("Arial");
    }
    QFont font(face);
    if (face.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0) {
        font.setStyleHint(QFont::Monospace);
    } else {
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSizeF(std::clamp(std::isfinite(points) ? points : 12.0, 1.0, 400.0));
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QColor labelColour(unsigned value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void paintLabel(QPainter &painter, const Label &label, const PlacedLabel &placed, bool inverting) {
    if (label.state == Label::Deleted) {
        return;
    }
    painter.save();
    const int width = inverting ? 1 : label.drawnLineWidth();
    QColor fore = labelColour(label.foreColour);
    if (inverting) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setRenderHint(QPainter::Antialiasing, false);
        fore = Qt::white;
    } else {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
    }
    QPen pen(fore, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const QBrush fill = label.transparent || inverting ? QBrush(Qt::NoBrush)
                                                       : QBrush(labelColour(label.backColour));
    const QRectF box = QRectF(placed.start, placed.end).normalized();
    int type = placed.type;
    if (inverting && isTextType(type)) {
        type = Label::Rectangle; // a text is dragged out as its box
    }
    switch (type) {
    case Label::Text:
    case Label::SideMarker:
        paintText(painter, label, placed);
        break;
    case Label::Ellipse:
        painter.setBrush(fill);
        painter.drawEllipse(box);
        break;
    case Label::Rectangle:
        painter.setBrush(fill);
        painter.drawRect(box);
        break;
    case Label::Line:
        painter.drawLine(placed.start, placed.end);
        break;
    case Label::Arrow: {
        painter.drawLine(placed.end, placed.start);
        const double size = std::max(10.0, 4.0 * width);
        if (std::hypot(placed.end.x() - placed.start.x(), placed.end.y() - placed.start.y()) >
            1.0) {
            painter.setBrush(inverting ? QBrush(Qt::NoBrush) : QBrush(fore));
            painter.drawPolygon(arrowHead(placed.start, placed.end, size));
        }
        break;
    }
    case Label::PolyLine:
        if (!placed.points.empty()) {
            painter.drawPolyline(placed.points.data(), int(placed.points.size()));
        }
        break;
    case Label::Polygon:
        if (!placed.points.empty()) {
            painter.setBrush(fill);
            painter.drawPolygon(placed.points.data(), int(placed.points.size()));
        }
        break;
    case Label::EdgeBar:
        paintEdgeBar(painter, label, placed);
        break;
    default:
        break;
    }
    painter.restore();
}

void paintSelection(QPainter &painter, const PlacedLabel &placed) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(255, 255, 0));
    const auto mark = [&](QPointF p) { painter.drawRect(QRectF(p - QPointF(3, 3), QSizeF(6, 6))); };
    if (placed.type == Label::PolyLine || placed.type == Label::Polygon) {
        if (!placed.points.empty()) {
            mark(placed.points.front());
            mark(placed.points.back());
        }
    } else {
        mark(placed.start);
        mark(placed.end);
    }
    painter.restore();
}

QRect labelBounds(const Label &label, const PlacedLabel &placed) {
    QRectF bounds = QRectF(placed.start, placed.end).normalized();
    for (const QPointF &p : placed.points) {
        bounds |= QRectF(p, QSizeF(1, 1));
    }
    if (isTextType(label.type)) {
        const QFont font = labelFont(label.font, label.fontSize * placed.fontScale);
        const QRectF box = textBox(label, placed, font);
        // The text may run past its box (it is not clipped); measure what it really covers.
        const QRectF drawn = QFontMetricsF(font).boundingRect(
            box, qtAlignment(label.alignment) | Qt::TextDontClip, displayText(label.text));
        bounds |= box;
        bounds |= drawn;
    }
    double margin = label.drawnLineWidth() + 3.0;
    if (label.type == Label::Arrow) {
        margin += std::max(10.0, 4.0 * label.drawnLineWidth());
    }
    const QRectF grown = bounds.adjusted(-margin, -margin, margin + 1, margin + 1);
    // Far-off geometry (a hostile value, a label panned away) is cut to a sane extent.
    const QRectF limit(-1e5, -1e5, 2e5, 2e5);
    return grown.intersected(limit).toAlignedRect();
}

double distanceToLabel(const PlacedLabel &placed, QPointF point) {
    const QRectF box = QRectF(placed.start, placed.end).normalized();
    switch (placed.type) {
    case Label::Text:
    case Label::SideMarker:
        if (box.contains(point)) {
            return 0.0;
        }
        return std::hypot(point.x() - std::clamp(point.x(), box.left(), box.right()),
                          point.y() - std::clamp(point.y(), box.top(), box.bottom()));
    case Label::Line:
    case Label::Arrow:
        return segmentDistance(point, placed.start, placed.end);
    case Label::Rectangle:
    case Label::EdgeBar:
        if (box.contains(point)) {
            return 0.0;
        }
        return pathDistance({box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()},
                            point, true);
    case Label::Ellipse: {
        const double a = box.width() / 2.0;
        const double b = box.height() / 2.0;
        if (a <= 0.0 || b <= 0.0) {
            return segmentDistance(point, placed.start, placed.end);
        }
        const QPointF c = box.center();
        const double r = std::hypot((point.x() - c.x()) / a, (point.y() - c.y()) / b);
        return r <= 1.0 ? 0.0 : (r - 1.0) * std::min(a, b);
    }
    case Label::PolyLine:
        return pathDistance(placed.points, point, false);
    case Label::Polygon: {
        const QPolygonF polygon(QList<QPointF>(placed.points.begin(), placed.points.end()));
        if (polygon.containsPoint(point, Qt::OddEvenFill)) {
            return 0.0;
        }
        return pathDistance(placed.points, point, true);
    }
    default:
        return 1e9;
    }
}

} // namespace ravlen::toolkit

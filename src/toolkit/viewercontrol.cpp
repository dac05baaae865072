#include "toolkit/viewercontrol.h"

#include "core/errors.h"
#include "toolkit/cineplayer.h"
#include "toolkit/picturefilters.h"
#include "toolkit/pipeline.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace ravlen::toolkit {

namespace {

// Everything about an image's display that changes its tile picture.
struct TileKey {
    const Image *image = nullptr;
    int generation = 0;
    QSize cell;
    double center = 0.0;
    double width = 0.0;
    const VoiLut *voiLut = nullptr;
    int frame = 1;
    double zoom = 1.0;
    QPointF scroll;
    bool stretch = false;
    int flip = 0;
    int rotation = 0;
    int magnification = 0;
    int minification = 0;
    bool fullQuality = true;
    PictureEffects effects;
    int border = 0;
    QRgb borderColour = 0;

    bool operator==(const TileKey &o) const {
        // Exact comparison on purpose: QPointF's == is fuzzy, and any change must redraw.
        return image == o.image && generation == o.generation && cell == o.cell &&
               center == o.center && width == o.width && voiLut == o.voiLut && frame == o.frame &&
               zoom == o.zoom && scroll.x() == o.scroll.x() && scroll.y() == o.scroll.y() &&
               stretch == o.stretch && flip == o.flip && rotation == o.rotation &&
               magnification == o.magnification && minification == o.minification &&
               fullQuality == o.fullQuality && effects == o.effects && border == o.border &&
               borderColour == o.borderColour;
    }
};

struct Slot {
    int position = 0; // 0: an empty tile
    std::shared_ptr<Image> image;
    QRect rect;
};

struct Tile {
    int position = 0;
    std::weak_ptr<Image> image;
    TileKey key;
    QRect rect;
    QImage picture;
    // The picture in the screen's format, made at its first paint and kept with it: painting
    // a part again (under a rubber band, around the magnifier) is then a plain copy.
    QImage screen;
};

TileView viewOf(const Image &image, QSize cell) {
    TileView v;
    v.image = QSize(image.columns(), image.rows());
    v.cell = cell;
    v.zoom = image.zoom();
    v.scroll = image.scrollOffset();
    v.stretch = image.stretch();
    v.flip = image.flipState();
    v.rotation = image.rotation();
    return v;
}

void drawBorder(QImage &picture, int width, QColor colour) {
    if (width <= 0) {
        return;
    }
    if (picture.format() != QImage::Format_RGB32) {
        picture.convertTo(QImage::Format_RGB32);
    }
    const int w = std::min({width, (picture.width() + 1) / 2, (picture.height() + 1) / 2});
    QPainter p(&picture);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(0, 0, picture.width(), w);
    p.drawRect(0, picture.height() - w, picture.width(), w);
    p.drawRect(0, 0, w, picture.height());
    p.drawRect(picture.width() - w, 0, w, picture.height());
}

// The picture in the screen's format. Grey pictures, the common case, are spread into the
// three channels by a loop the compiler vectorises, several times quicker than the general
// conversion.
QImage screenPicture(const QImage &picture) {
    if (picture.format() != QImage::Format_Grayscale8) {
        return picture.convertToFormat(QImage::Format_RGB32);
    }
    QImage out(picture.size(), QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const uchar *in = picture.constScanLine(y);
        auto *px = reinterpret_cast<quint32 *>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            px[x] = 0xFF000000u | quint32(in[x]) * 0x010101u;
        }
    }
    return out;
}

// A frame one pixel wide, as four thin fills: cheaper than stroking a rectangle.
void drawFrame(QPainter &painter, const QRect &r, const QColor &colour) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

QImage errorPicture(QSize cell, const QString &reason) {
    QImage picture(cell, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter p(&picture);
    p.setPen(QColor(220, 220, 220));
    p.drawText(QRect(QPoint(4, 4), cell - QSize(8, 8)), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Cannot display: ") + reason);
    return picture;
}

// What a tile keeps of its image between drawings: the lookup table, and for area averaging
// the shown part already shrunk to the cell (stored values), so a window change maps only the
// cell's pixels.
struct TileCache {
    DisplayLut lut;
    const void *frameData = nullptr;
    QRectF source;
    QSize target;
    PixelFrame reduced;
};

// The image's current frame drawn as its tile shows it: the part of the image in the cell,
// turned and mirrored, on black. Throws ToolkitError when the pixels cannot be drawn.
QImage drawTile(const Image &image, QSize cell, TileCache &cache) {
    // Decoded first, so an image without drawable pixels says so even when panned away.
    const PixelFrame frame = image.frame(std::clamp(image.currentFrame(), 1, image.frameCount()));
    const TileTransform t = tileTransform(viewOf(image, cell));
    if (!t.visible()) {
        QImage empty(cell, QImage::Format_Grayscale8);
        empty.fill(0);
        return empty;
    }
    RenderRequest request = image.windowRequest();
    request.source = t.source();
    request.target = t.renderSize();
    request.filter = chooseFilter(t.pixelScale(), image.magnificationMethod(),
                                  image.minificationMethod(), image.fullQuality());
    QImage picture;
    if (request.filter == Filter::Average) {
        const QRectF source = request.source;
        if (cache.frameData != frame.data.get() || cache.target != request.target ||
            cache.source.x() != source.x() || cache.source.y() != source.y() ||
            cache.source.width() != source.width() || cache.source.height() != source.height()) {
            cache.reduced = reduceFrame(frame, source, request.target);
            cache.frameData = frame.data.get();
            cache.source = source;
            cache.target = request.target;
        }
        request.source = QRectF();
        request.target = QSize();
        picture = renderFrame(cache.reduced, image.modalityTransform(), request, cache.lut);
    } else {
        picture = renderFrame(frame, image.modalityTransform(), request, cache.lut);
    }
    // Before turning: the effects look the same whichever way the picture is shown.
    applyPictureEffects(picture, image.pictureEffects());
    if (t.rotation() != 0) {
        // Quarter turns are exact pixel moves; Qt's angle counts clockwise.
        picture = picture.transformed(QTransform().rotate(-90.0 * t.rotation()));
    }
    if (t.flip() != 0) {
        picture = std::move(picture).mirrored(t.flip() & 1, t.flip() & 2);
    }
    if (t.target() == QRect(QPoint(0, 0), cell) && picture.size() == cell) {
        return picture;
    }
    QImage out(cell, picture.format());
    if (out.isNull()) {
        throw ToolkitError(errc::TooLarge, "There is not enough memory for the picture.");
    }
    out.fill(0);
    const int bytes = picture.depth() / 8;
    const QRect target = t.target();
    const int rows = std::min(picture.height(), target.height());
    const auto rowBytes = std::size_t(std::min(picture.width(), target.width())) * bytes;
    for (int y = 0; y < rows; ++y) {
        std::memcpy(out.scanLine(target.y() + y) + std::size_t(target.x()) * bytes,
                    picture.constScanLine(y), rowBytes);
    }
    return out;
}

int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) {
        code |= 1;
    }
    if (buttons & Qt::RightButton) {
        code |= 2;
    }
    if (buttons & Qt::MiddleButton) {
        code |= 4;
    }
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) {
        code |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        code |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        code |= 4;
    }
    return code;
}

// The Windows virtual-key code of a Qt key; 0 for keys without one.
int windowsKeyCode(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return 96 + (key - Qt::Key_0);
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return key; // the same codes as ASCII digits and capitals
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 112 + (key - Qt::Key_F1);
    }
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
    }
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

} // namespace

struct ViewerControl::State {
    explicit State(QWidget *owner) : widget(owner) {}
    ~State() { unwatchAll(); }

    QWidget *widget;
    ImageCollection images;
    LabelCollection labels;
    int rows = 1;
    int columns = 1;
    int current = 1;
    bool autoRedraw = true;
    bool refreshPending = false;

    std::vector<Tile> tiles;
    QSize tilesFor; // widget size the tiles were laid out for
    std::map<const Image *, QColor> borderColours;
    std::map<const Image *, int> generations;
    struct LutEntry {
        std::weak_ptr<Image> image;
        TileCache cache;
    };
    std::map<const Image *, LutEntry> luts;
    int renders = 0;
    int retiredBuilds = 0; // table builds of LUTs no longer kept
    // Rubber-band outlines drawn inverted over everything else, until drawn a second time.
    std::vector<Label> inverted;
    // The shown images we listen to, with the listener's token.
    struct Watch {
        std::weak_ptr<Image> image;
        int token = 0;
    };
    std::map<const Image *, Watch> watched;
    std::unique_ptr<CinePlayer> cine;

    // The images on screen now, for the cine player: none while the control is hidden.
    std::vector<std::shared_ptr<Image>> shownImages() const {
        std::vector<std::shared_ptr<Image>> shown;
        if (!widget->isVisible()) {
            return shown;
        }
        for (Slot &slot : layout(widget->size())) {
            if (slot.image) {
                shown.push_back(std::move(slot.image));
            }
        }
        return shown;
    }

    int currentIndex() const {
        return images.count() == 0 ? 0 : std::clamp(current, 1, images.count());
    }

    // The displayed rectangle of an image with an explicit display rectangle: its edges are
    // thousandths of the widget's width and height (x, y, width, height of the stored rect).
    static QRect overlayRect(const QRect &thousandths, QSize widget) {
        const auto edge = [](int t, int length) {
            return int(std::lround(double(t) * length / 1000.0));
        };
        const int left = edge(thousandths.x(), widget.width());
        const int top = edge(thousandths.y(), widget.height());
        const int right = edge(thousandths.x() + thousandths.width(), widget.width());
        const int bottom = edge(thousandths.y() + thousandths.height(), widget.height());
        return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
    }

    // The grid tiles, then the images with an explicit display rectangle drawn over them. An
    // image with a display rectangle is shown only there; its grid tile stays empty.
    std::vector<Slot> layout(QSize widget) const {
        std::vector<Slot> places;
        const int r = std::max(rows, 1);
        const int c = std::max(columns, 1);
        const int first = currentIndex();
        for (int i = 0; i < r * c; ++i) {
            Slot s;
            s.rect = tileRectangle(widget, r, c, i);
            const int position = first + i;
            if (first > 0 && position <= images.count()) {
                auto image = images.item(position);
                if (image && image->displayRect().isEmpty()) {
                    s.position = position;
                    s.image = std::move(image);
                }
            }
            places.push_back(std::move(s));
        }
        for (int position = 1; position <= images.count(); ++position) {
            auto image = images.item(position);
            if (image && !image->displayRect().isEmpty()) {
                places.push_back({position, image, overlayRect(image->displayRect(), widget)});
            }
        }
        return places;
    }

    QColor colourOf(const Image *image) const {
        const auto found = borderColours.find(image);
        return found == borderColours.end() ? QColor(255, 0, 0) : found->second;
    }

    TileKey keyOf(const Slot &slot) const {
        TileKey k;
        k.cell = slot.rect.size();
        const Image *image = slot.image.get();
        if (!image) {
            return k;
        }
        k.image = image;
        const auto g = generations.find(image);
        k.generation = g == generations.end() ? 0 : g->second;
        const RenderRequest w = image->windowRequest();
        k.center = w.center;
        k.width = w.width;
        k.voiLut = w.voiLut;
        k.frame = image->currentFrame();
        k.zoom = image->zoom();
        k.scroll = image->scrollOffset();
        k.stretch = image->stretch();
        k.flip = image->flipState();
        k.rotation = image->rotation();
        k.magnification = image->magnificationMethod();
        k.minification = image->minificationMethod();
        k.fullQuality = image->fullQuality();
        k.effects = image->pictureEffects();
        k.border = image->border();
        k.borderColour = colourOf(image).rgb();
        return k;
    }

    TileCache &cacheFor(const std::shared_ptr<Image> &image) {
        LutEntry &e = luts[image.get()];
        if (e.image.lock() != image) { // new, or a dead image's address reused
            retiredBuilds += e.cache.lut.builds();
            e = LutEntry{image, TileCache()};
        }
        return e.cache;
    }

    QImage draw(const Slot &slot) {
        ++renders;
        const QSize cell = slot.rect.size();
        if (cell.isEmpty()) {
            return QImage();
        }
        if (!slot.image) {
            QImage empty(cell, QImage::Format_Grayscale8);
            empty.fill(0);
            return empty;
        }
        QImage picture;
        try {
            picture = drawTile(*slot.image, cell, cacheFor(slot.image));
        } catch (const std::exception &e) {
            // The tile is small: the reason without the file name the error starts with.
            QString reason = QString::fromUtf8(e.what());
            const QString name = slot.image->sourceName() + QStringLiteral(": ");
            if (reason.startsWith(name)) {
                reason = reason.mid(name.size());
            }
            picture = errorPicture(cell, reason);
        }
        drawBorder(picture, slot.image->border(), colourOf(slot.image.get()));
        return picture;
    }

    bool changed(QSize widget) const {
        const std::vector<Slot> places = layout(widget);
        if (places.size() != tiles.size() || widget != tilesFor) {
            return true;
        }
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (places[i].rect != tiles[i].rect || !(keyOf(places[i]) == tiles[i].key)) {
                return true;
            }
        }
        return false;
    }

    // Brings the tiles up to date, drawing only those whose key changed; a picture whose key
    // is unchanged is kept even when its image moved to another tile of the same size.
    void update(QSize widget) {
        std::vector<Tile> old = std::move(tiles);
        tiles.clear();
        for (const Slot &slot : layout(widget)) {
            Tile t;
            t.position = slot.position;
            t.image = slot.image;
            t.rect = slot.rect;
            t.key = keyOf(slot);
            const auto reusable = std::find_if(old.begin(), old.end(), [&](const Tile &o) {
                return !o.picture.isNull() && o.key == t.key &&
                       o.image.lock().get() == slot.image.get();
            });
            if (reusable != old.end()) {
                t.picture = std::move(reusable->picture);
                t.screen = std::move(reusable->screen);
                reusable->picture = QImage();
                reusable->screen = QImage();
            } else {
                t.picture = draw(slot);
            }
            tiles.push_back(std::move(t));
        }
        tilesFor = widget;
        forgetHidden();
        watchShown();
        // Paging or a new grid may bring a playing image into view.
        const bool sameImages =
            std::equal(old.begin(), old.end(), tiles.begin(), tiles.end(),
                       [](const Tile &a, const Tile &b) { return a.key.image == b.key.image; });
        if (!sameImages && cine) {
            cine->wake();
        }
    }

    // A display-state change of a shown image repaints its tiles only; the paint then finds
    // which keys changed. Images not shown need no listener: a tile is keyed when it is laid out.
    void imageChanged(const Image *image) {
        // Its cine mode may have changed: the player looks again when the image plays now or
        // something played before (it may have stopped). Other changes cost it nothing.
        if (cine && (image->cineMode() != 0 || cine->playingCount() > 0)) {
            cine->wake();
        }
        if (!autoRedraw) {
            return;
        }
        for (const Tile &t : tiles) {
            if (t.key.image == image) {
                widget->update(t.rect);
                // An image drawn over the grid may have moved: its new place needs painting too.
                if (!image->displayRect().isEmpty()) {
                    widget->update(overlayRect(image->displayRect(), widget->size()));
                }
            }
        }
    }

    void watchShown() {
        for (auto it = watched.begin(); it != watched.end();) {
            const bool shown = std::any_of(tiles.begin(), tiles.end(),
                                           [&](const Tile &t) { return t.key.image == it->first; });
            const auto image = it->second.image.lock();
            if (shown && image) {
                ++it;
                continue;
            }
            if (image) {
                image->removeChangeListener(it->second.token);
            }
            it = watched.erase(it);
        }
        for (const Tile &t : tiles) {
            const auto image = t.image.lock();
            if (!image) {
                continue;
            }
            auto found = watched.find(image.get());
            if (found != watched.end() && found->second.image.lock() == image) {
                continue;
            }
            const int token = image->onChange([this](const Image &i) { imageChanged(&i); });
            watched[image.get()] = Watch{image, token};
        }
    }

    void unwatchAll() {
        for (auto &[raw, w] : watched) {
            if (const auto image = w.image.lock()) {
                image->removeChangeListener(w.token);
            }
        }
        watched.clear();
    }

    // Keeps tables, colours and generations only for what is still in use, so memory follows
    // the shown tiles rather than every image ever drawn.
    void forgetHidden() {
        for (auto it = luts.begin(); it != luts.end();) {
            const bool shown = std::any_of(tiles.begin(), tiles.end(),
                                           [&](const Tile &t) { return t.key.image == it->first; });
            if (shown) {
                ++it;
            } else {
                retiredBuilds += it->second.cache.lut.builds();
                it = luts.erase(it);
            }
        }
        const auto inCollection = [&](const Image *image) {
            for (int p = 1; p <= images.count(); ++p) {
                if (images.item(p).get() == image) {
                    return true;
                }
            }
            return false;
        };
        if (borderColours.size() > std::size_t(images.count()) + 16) {
            std::erase_if(borderColours, [&](const auto &e) { return !inCollection(e.first); });
        }
        if (generations.size() > std::size_t(images.count()) + 16) {
            std::erase_if(generations, [&](const auto &e) { return !inCollection(e.first); });
        }
    }
};

ViewerControl::ViewerControl(QWidget *parent)
    : QWidget(parent), m_state(std::make_unique<State>(this)) {
    m_state->cine =
        std::make_unique<CinePlayer>([state = m_state.get()] { return state->shownImages(); });
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // moves without a button are reported too
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
}

ViewerControl::~ViewerControl() = default;

ImageCollection &ViewerControl::images() {
    return m_state->images;
}

const ImageCollection &ViewerControl::images() const {
    return m_state->images;
}

int ViewerControl::rows() const {
    return m_state->rows;
}

void ViewerControl::setRows(int rows) {
    m_state->rows = std::max(rows, 1);
    if (m_state->autoRedraw) {
        update();
    }
}

int ViewerControl::columns() const {
    return m_state->columns;
}

void ViewerControl::setColumns(int columns) {
    m_state->columns = std::max(columns, 1);
    if (m_state->autoRedraw) {
        update();
    }
}

int ViewerControl::currentIndex() const {
    return m_state->currentIndex();
}

void ViewerControl::setCurrentIndex(int position) {
    m_state->current = std::max(position, 1);
    if (m_state->autoRedraw) {
        update();
    }
}

int ViewerControl::imageIndexAt(QPoint point) const {
    const std::optional<int> tile = tileIndexAt(size(), m_state->rows, m_state->columns, point);
    const int first = m_state->currentIndex();
    if (!tile || first == 0) {
        return 0;
    }
    const int position = first + *tile;
    if (position > m_state->images.count() ||
        !m_state->images.item(position)->displayRect().isEmpty()) {
        return 0;
    }
    return position;
}

std::optional<QPointF> ViewerControl::imagePixelAt(QPoint point) const {
    const int position = imageIndexAt(point);
    if (position == 0) {
        return std::nullopt;
    }
    const auto image = m_state->images.item(position);
    const QRect rect = tileRect(position);
    const TileTransform t = tileTransform(viewOf(*image, rect.size()));
    // The centre of the widget pixel under the pointer.
    const QPointF p = t.toImage(QPointF(point - rect.topLeft()) + QPointF(0.5, 0.5));
    if (!t.visible() || p.x() < 0.0 || p.y() < 0.0 || p.x() >= image->columns() ||
        p.y() >= image->rows()) {
        return std::nullopt;
    }
    return p;
}

QRect ViewerControl::tileRect(int position) const {
    const int first = m_state->currentIndex();
    if (first == 0 || position < 1 || position > m_state->images.count()) {
        return QRect();
    }
    const QRect thousandths = m_state->images.item(position)->displayRect();
    if (!thousandths.isEmpty()) {
        return State::overlayRect(thousandths, size());
    }
    const int index = position - first;
    const int tiles = std::max(m_state->rows, 1) * std::max(m_state->columns, 1);
    if (index < 0 || index >= tiles) {
        return QRect();
    }
    return tileRectangle(size(), m_state->rows, m_state->columns, index);
}

std::optional<TileTransform> ViewerControl::tileTransformAt(int position) const {
    const QRect rect = tileRect(position);
    if (rect.isEmpty()) {
        return std::nullopt;
    }
    return tileTransform(viewOf(*m_state->images.item(position), rect.size()));
}

void ViewerControl::setBorderColour(const Image *image, QColor colour) {
    m_state->borderColours[image] = colour;
    if (m_state->autoRedraw) {
        update();
    }
}

QColor ViewerControl::borderColour(const Image *image) const {
    return m_state->colourOf(image);
}

LabelCollection &ViewerControl::labels() {
    return m_state->labels;
}

const LabelCollection &ViewerControl::labels() const {
    return m_state->labels;
}

bool ViewerControl::autoRedraw() const {
    return m_state->autoRedraw;
}

void ViewerControl::setAutoRedraw(bool on) {
    m_state->autoRedraw = on;
    if (on) {
        update();
    }
}

void ViewerControl::refresh() {
    m_state->refreshPending = true;
    update();
}

void ViewerControl::invalidate(const Image *image) {
    ++m_state->generations[image];
    if (m_state->autoRedraw) {
        update();
    }
}

QImage ViewerControl::tilePicture(int position) {
    ensureTiles();
    for (const Tile &t : m_state->tiles) {
        if (position >= 1 && t.position == position) {
            return t.picture;
        }
    }
    return QImage();
}

CinePlayer &ViewerControl::cinePlayer() {
    return *m_state->cine;
}

int ViewerControl::renderCount() const {
    return m_state->renders;
}

int ViewerControl::tableBuilds() const {
    int builds = m_state->retiredBuilds;
    for (const auto &[image, entry] : m_state->luts) {
        builds += entry.cache.lut.builds();
    }
    return builds;
}

void ViewerControl::ensureTiles() {
    State &s = *m_state;
    // With automatic redraw off the pictures stay as they were until refresh(); a new size
    // still needs pictures that fit.
    const bool live = s.autoRedraw || s.refreshPending || s.tilesFor != size() || s.tiles.empty();
    if (!live) {
        return;
    }
    s.refreshPending = false;
    s.update(size());
}

void ViewerControl::afterEvent() {
    // Handlers of the signals (and the side panel) change images directly; with automatic
    // redraw on, whatever changed is drawn on the next paint.
    if (m_state->autoRedraw && isVisible()) {
        try {
            if (m_state->changed(size())) {
                update();
            }
        } catch (...) {
            update();
        }
    }
}

void ViewerControl::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    try {
        ensureTiles();
        // Black where no tile picture lies; the tiles cover the rest.
        QRegion bare(dirty);
        for (const Tile &t : m_state->tiles) {
            if (!t.picture.isNull()) {
                bare -= t.rect;
            }
        }
        for (const QRect &r : bare) {
            painter.fillRect(r, Qt::black);
        }
        // The parts of the grid that an image drawn over it (the magnifier) covers are not
        // painted beneath it.
        QRegion covered;
        for (const Tile &t : m_state->tiles) {
            const auto image = t.image.lock();
            if (image && !image->displayRect().isEmpty() && !t.picture.isNull()) {
                covered += t.rect;
            }
        }
        // Each tile with its labels on top, in layout order, so an image drawn over the grid
        // covers the labels of the tiles beneath it.
        for (Tile &t : m_state->tiles) {
            if (t.picture.isNull() || !t.rect.intersects(dirty)) {
                continue;
            }
            const auto image = t.image.lock();
            const bool overGrid = image && !image->displayRect().isEmpty();
            const QRegion visible =
                overGrid ? QRegion(t.rect) & dirty : (QRegion(t.rect) & dirty) - covered;
            if (visible.isEmpty()) {
                continue;
            }
            painter.setClipRegion(visible);
            if (overGrid) {
                // Drawn anew at almost every paint (the magnifier follows the pointer): one pass
                // straight from its picture.
                painter.drawImage(t.rect.topLeft(), t.picture);
            } else {
                if (t.screen.isNull()) {
                    t.screen = screenPicture(t.picture);
                }
                painter.drawImage(t.rect.topLeft(), t.screen);
            }
            painter.setClipping(false);
            if (overGrid) {
                // An image over the grid (the magnifier) is set off by a thin light frame.
                drawFrame(painter, t.rect, QColor(230, 230, 230));
            }
            if (!image || image->labels().count() == 0) {
                continue;
            }
            const TileTransform transform = tileTransform(viewOf(*image, t.rect.size()));
            painter.save();
            painter.setClipRegion(visible);
            const LabelCollection &labels = image->labels();
            for (int i = 1; i <= labels.count(); ++i) {
                const Label &label = *labels.item(i);
                if (label.state == Label::Deleted) {
                    continue;
                }
                const PlacedLabel placed = placeLabel(label, &transform, t.rect);
                paintLabel(painter, label, placed);
                if (label.selected) {
                    paintSelection(painter, placed);
                }
            }
            painter.restore();
        }
        const LabelCollection &own = m_state->labels;
        for (int i = 1; i <= own.count(); ++i) {
            const Label &label = *own.item(i);
            if (label.state != Label::Deleted) {
                paintLabel(painter, label, placeLabel(label, nullptr, rect()));
            }
        }
        for (const Label &outline : m_state->inverted) {
            paintLabel(painter, outline, placeLabel(outline, nullptr, rect()), true);
        }
    } catch (...) {
        // Nothing may leave a paint; what failed is painted black.
        painter.fillRect(dirty, Qt::black);
    }
}

void ViewerControl::drawLabelInverted(const Label &label) {
    // The outline keeps only the geometry it is drawn from. Only free-hand shapes are drawn
    // through their point list, so the others leave it out: a long drag's steps stay as cheap
    // as its first.
    const bool pointsDrawn = label.type == Label::PolyLine || label.type == Label::Polygon;
    Label outline;
    outline.type = label.type;
    outline.left = label.left;
    outline.top = label.top;
    outline.width = label.width;
    outline.height = label.height;
    outline.lineWidth = label.lineWidth;
    if (pointsDrawn) {
        outline.points = label.points;
    }
    auto &drawn = m_state->inverted;
    const auto found = std::find_if(drawn.begin(), drawn.end(), [&](const Label &o) {
        return o.type == outline.type && o.left == outline.left && o.top == outline.top &&
               o.width == outline.width && o.height == outline.height &&
               o.lineWidth == outline.lineWidth && o.points == outline.points;
    });
    if (found != drawn.end()) {
        drawn.erase(found);
    } else {
        drawn.push_back(outline);
    }
    // Only the outline's own pixels are painted again, from the kept tile pictures.
    outline.lineWidth = 1;
    if (outline.type == Label::Text || outline.type == Label::SideMarker) {
        outline.type = Label::Rectangle;
    }
    update(labelBounds(outline, placeLabel(outline, nullptr, rect())));
}

int ViewerControl::invertedCount() const {
    return int(m_state->inverted.size());
}

std::optional<PlacedLabel> ViewerControl::placeLabelOf(int position, const Label &label) const {
    if (position == 0) {
        return placeLabel(label, nullptr, rect());
    }
    const QRect tile = tileRect(position);
    if (tile.isEmpty()) {
        return std::nullopt;
    }
    const TileTransform transform =
        tileTransform(viewOf(*m_state->images.item(position), tile.size()));
    return placeLabel(label, &transform, tile);
}

std::shared_ptr<Label> ViewerControl::labelAt(QPoint point, int *imagePosition) const {
    constexpr double kReach = 5.0; // pixels around a line that still count as on it
    const QPointF p(point);
    const int position = imageIndexAt(point);
    if (position > 0) {
        const auto image = m_state->images.item(position);
        const LabelCollection &labels = image->labels();
        for (int i = labels.count(); i >= 1; --i) {
            const auto label = labels.item(i);
            if (label->state == Label::Deleted || label->cellRelative) {
                continue; // overlays and markers are not picked by hand
            }
            const std::optional<PlacedLabel> placed = placeLabelOf(position, *label);
            if (placed && distanceToLabel(*placed, p) <= kReach) {
                if (imagePosition) {
                    *imagePosition = position;
                }
                return label;
            }
        }
    }
    const LabelCollection &own = m_state->labels;
    for (int i = own.count(); i >= 1; --i) {
        const auto label = own.item(i);
        if (label->state != Label::Deleted &&
            distanceToLabel(placeLabel(*label, nullptr, rect()), p) <= kReach) {
            if (imagePosition) {
                *imagePosition = 0;
            }
            return label;
        }
    }
    return nullptr;
}

void ViewerControl::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    update();
}

void ViewerControl::mousePressEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    // A press on an image's label selects it (and only it) in that image's collection, so the
    // context menu can act on it; a press elsewhere on the image clears the selection there.
    if (const int position = imageIndexAt(p); position > 0) {
        int owner = 0;
        std::shared_ptr<Label> hit = labelAt(p, &owner);
        if (owner != position) {
            hit = nullptr;
        }
        LabelCollection &labels = m_state->images.item(position)->labels();
        if (labels.selectedLabel() != hit) {
            labels.select(hit);
            update(tileRect(position));
        }
    }
    emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), p.x(), p.y());
    afterEvent();
}

void ViewerControl::mouseMoveEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    emit MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()), p.x(), p.y());
    afterEvent();
}

void ViewerControl::mouseReleaseEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    emit MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()), p.x(), p.y());
    afterEvent();
}

void ViewerControl::mouseDoubleClickEvent(QMouseEvent *) {
    // The second press of a double click is reported only as the double click.
    emit DblClick();
    afterEvent();
}

void ViewerControl::keyPressEvent(QKeyEvent *event) {
    const int code = windowsKeyCode(event->key(), event->modifiers() & Qt::KeypadModifier);
    if (code == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit KeyDown(code, shiftCode(event->modifiers()));
    afterEvent();
}

} // namespace ravlen::toolkit

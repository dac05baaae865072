#pragma once

#include <QPointF>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace ravlen::toolkit {

class TileTransform;

// A drawn annotation: text, a shape or a measurement line, attached to a viewer or an image.
// Colours are colour values with red in the low byte (0x0000FF is red). While a label is drawn
// its positions are viewer pixels; width and height may be negative (the pointer's offset from
// the start point). Attached to an image, a label keeps its geometry in one of the spaces below
// so that it stays where the user put it whatever the zoom, pan or tiling.
struct Label {
    enum Type {
        Text = 0,
        Ellipse = 1,
        Rectangle = 2,
        Line = 3,
        PolyLine = 4,
        Polygon = 5,
        SideMarker = 7,
        Arrow = 10,
        EdgeBar = 11
    };
    // Where left, top, width, height and the points are measured:
    // - Viewer: pixels of the viewer control (a label being drawn, the viewer's own labels);
    // - Cell: pixels from the top-left corner of the image's tile (tied to the image cell);
    // - Image: image pixels, pixel k covering [k, k + 1) (tied to the image: moves and scales
    //   with zoom, pan, turns and flips);
    // - CellThousandths: thousandths of the tile, 0..1000 across and down (cell-relative
    //   labels: overlays and side markers).
    enum class Space { Viewer, Cell, Image, CellThousandths };
    // Alignment codes: 0 left, 1 centred, 2 right; BottomAnchor added anchors the text to the
    // bottom of its box.
    static constexpr int BottomAnchor = 8;
    // The state of a deleted label: kept out of every drawing and every hit test.
    static constexpr int Deleted = 2;

    int type = Text;
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
    std::vector<QPointF> points;
    unsigned foreColour = 0x0000FF;
    unsigned backColour = 0xFFFFFF;
    QString font = QStringLiteral("Arial"); // face name, optionally " Bold" then " Italic"
    int fontSize = 12;                      // points
    QString text;
    int lineWidth = 1; // pixels; see saneLineWidth for what reaches the drawing
    int alignment = 0;
    bool transparent = true;
    bool scaleWithImage = true;
    bool rubberBand = false; // true only while the label is drawn as a rubber band
    bool cellRelative = false;
    // The side markers' second flag and style value: a marker with the second flag drawn as a
    // ruler bar; style 2 outlines the text so it reads on any grey.
    bool markerFlag = false;
    int markerStyle = 0;
    int state = 0;
    bool selected = false;

    Space space = Space::Viewer;
    // For Space::Image: screen pixels per image pixel when the label was attached, so text and
    // boxes grow and shrink with the image.
    double attachScale = 1.0;

    // Line width as drawn: at least 1 and at most 64 pixels.
    int drawnLineWidth() const;
    // Moves the label from viewer pixels into the space of the image shown in `tileRect` with
    // `transform`: Image space when scaleWithImage is set, Cell space otherwise. A label in
    // any other space, or a cell-relative one, is left as it is.
    void relativeTo(const TileTransform &transform, const QRect &tileRect);
};

// An ordered list of shared labels; positions count from 1.
class LabelCollection {
public:
    int count() const { return int(m_labels.size()); }
    // The label at `position`, or null outside 1..count().
    std::shared_ptr<Label> item(int position) const {
        if (position < 1 || position > count()) {
            return nullptr;
        }
        return m_labels[std::size_t(position - 1)];
    }
    // Makes a label with the defaults, adds it at the end and returns it.
    std::shared_ptr<Label> create() {
        auto label = std::make_shared<Label>();
        m_labels.push_back(label);
        return label;
    }
    void add(std::shared_ptr<Label> label) {
        if (label) {
            m_labels.push_back(std::move(label));
        }
    }
    // Removes the label at `position`; later labels move up. Outside 1..count() does nothing.
    void remove(int position) {
        if (position >= 1 && position <= count()) {
            m_labels.erase(m_labels.begin() + (position - 1));
        }
    }
    void clear() { m_labels.clear(); }
    // The selected label when `which` is 1 (the only selection kept), else null; deleted
    // labels are never selected.
    std::shared_ptr<Label> selectedLabel(int which = 1) const {
        if (which != 1) {
            return nullptr;
        }
        for (const auto &label : m_labels) {
            if (label->selected && label->state != Label::Deleted) {
                return label;
            }
        }
        return nullptr;
    }
    // Marks `label` as the selected one (null: none).
    void select(const std::shared_ptr<Label> &label) {
        for (const auto &l : m_labels) {
            l->selected = l == label;
        }
    }
    // Drops deleted labels, so a long session does not carry them.
    void purgeDeleted() {
        std::erase_if(m_labels, [](const auto &l) { return l->state == Label::Deleted; });
    }

private:
    std::vector<std::shared_ptr<Label>> m_labels;
};

} // namespace ravlen::toolkit

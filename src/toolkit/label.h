#pragma once

#include <QPoint>
#include <QString>

#include <memory>
#include <vector>

namespace ravlen::toolkit {

// A drawn annotation: text, a shape or a measurement line, attached to a viewer or an image.
// Colours are colour values with red in the low byte (0x0000FF is red). Positions are viewer
// pixels while the label is drawn; width and height may be negative (the pointer's offset from
// the start point).
struct Label {
    enum Type {
        Text = 0,
        Ellipse = 1,
        Rectangle = 2,
        Line = 3,
        PolyLine = 4,
        Polygon = 5,
        Arrow = 10
    };
    // What the label stays with when the image under it moves: the viewer, the image's tile,
    // or the image's pixels.
    enum class TiedTo { Control, ImageCell, Image };
    // Alignment codes: 0 left, 1 centred, 2 right; BottomAnchor added anchors the text to the
    // bottom of its box.
    static constexpr int BottomAnchor = 8;

    int type = Text;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<QPoint> points;
    unsigned foreColour = 0x0000FF;
    unsigned backColour = 0xFFFFFF;
    QString font = QStringLiteral("Arial"); // face name, optionally " Bold" then " Italic"
    int fontSize = 12;
    QString text;
    int lineWidth = 1;
    int alignment = 0;
    bool transparent = true;
    TiedTo tiedTo = TiedTo::Image;
    bool scaleWithImage = true;
    bool rubberBand = false; // true only while the label is drawn as a rubber band
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

private:
    std::vector<std::shared_ptr<Label>> m_labels;
};

} // namespace ravlen::toolkit

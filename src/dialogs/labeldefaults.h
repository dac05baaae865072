#pragma once

#include <QString>

// What a new label takes from the "Label Details" window, read afresh every time a label tool
// starts one, and the rules that turn the window's texts into label values.
namespace ravlen::labels {

// What a label stays with: the viewer, the image's tile, or the image's pixels.
enum class Tie { Control, ImageCell, Image };

struct LabelDefaults {
    int shape = 0; // a label type: the index of the chosen "Label Type" option
    Tie tie = Tie::Image;
    unsigned foreColour = 0x0000FF; // red in the low byte
    unsigned backColour = 0xFFFFFF;
    QString font = QStringLiteral("Arial"); // the sample box's text: face, " Bold", " Italic"
    int fontSize = 12;
    QString lineWidth = QStringLiteral("1"); // as typed
    int alignment = 0;
    bool transparent = true;
};

// The line width a typed text gives: a number rounded to whole pixels (halves to even) and
// kept within 1..32;
// text that is not a number gives 1. The window does not check what is typed, so the label
// tools read it through here.
int lineWidthOf(const QString &typed);

// The sample box's text for a chosen font: the face, then " Bold", then " Italic".
QString fontDescription(const QString &face, bool bold, bool italic);

// A colour value with red in the low byte from red, green and blue.
unsigned colourValue(int red, int green, int blue);

} // namespace ravlen::labels

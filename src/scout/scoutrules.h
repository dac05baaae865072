#pragma once

#include <QString>

// The scout viewer's own rules, without a window.
namespace ravlen::scout {

// The status bar's second panel for position `position` of `count` images: "3 of 12", or
// "NONE" when the position holds no image.
QString positionText(int position, int count);

// Whether "Previous Image" and "Next Image" may be pressed once position `position` of `count`
// is selected. They stop at the ends of the set, so stepping never leaves it.
struct StepButtons {
    bool previous = false;
    bool next = false;
};
StepButtons stepButtons(int position, int count);

// Whether a press or drag with this mouse function does anything in the scout viewer: the
// select, window, pan and label functions (1 to 12); the magnifier, protractor, Cobb angle,
// window (16) and cine functions do nothing there.
bool actsOnMouseFunction(int function);

// Whether an association called `calledAE` is the scout viewer's: always when the local AE
// title is empty, otherwise when the called title equals the first 16 characters of the local
// one, both padded with blanks to 16.
bool calledAeAccepted(const QString &localAE, const QString &calledAE);

} // namespace ravlen::scout

#pragma once

#include <functional>

class QLineEdit;
class QWidget;

namespace ravlen::viewer {

// Watches a number box of the side panel: `lostFocus` runs when the user has edited the box
// and the focus leaves it within the window, `keyDown` gets each key as its Windows key code
// and returns whether it took the key.
void watchBox(QLineEdit *box, std::function<void()> lostFocus,
              std::function<bool(int KeyCode)> keyDown);

// The keys of the panel's number boxes: Enter (13) moves the focus to the viewer, the up and
// down arrows (38, 40) to the box's slider. Returns whether the key was one of them.
bool boxKey(int KeyCode, QWidget *viewer, QWidget *slider);

} // namespace ravlen::viewer

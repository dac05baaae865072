#pragma once

// Showing a widget for a benchmark: painting needs the window exposed, which the offscreen
// platform does within a few events.

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace ravlen::bench {

inline void expose(QWidget &widget) {
    widget.show();
    for (int i = 0; i < 1000 && !(widget.windowHandle() && widget.windowHandle()->isExposed());
         ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    widget.repaint();
}

} // namespace ravlen::bench

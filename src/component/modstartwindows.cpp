#include "component/modstartwindows.h"

#include "component/windowplacement.h"
#include "core/settingsstore.h"

#include <QWidget>

namespace ravlen::modStart {

void RestoreWindowPlacement(QWidget *window) {
    if (!window) {
        return;
    }
    try {
        const auto plan = component::planRestore(settings(), window->windowTitle());
        if (plan.width || plan.height) {
            window->resize(plan.width.value_or(window->width()),
                           plan.height.value_or(window->height()));
        }
        if (plan.left || plan.top) {
            window->move(plan.left.value_or(window->x()), plan.top.value_or(window->y()));
        }
        if (plan.state == component::WinState::Minimized) {
            window->setWindowState(window->windowState() | Qt::WindowMinimized);
        } else if (plan.state == component::WinState::Maximized) {
            window->setWindowState(window->windowState() | Qt::WindowMaximized);
        }
    } catch (...) {
        // A placement that cannot be restored leaves the window where it was designed to open.
    }
}

void SaveWindowPlacement(QWidget *window) {
    component::SavedPlacement placement;
    // Position of the frame and size of the content: the pair move() and resize() take back.
    placement.width = window->width();
    placement.height = window->height();
    placement.left = window->x();
    placement.top = window->y();
    if (window->isMinimized()) {
        placement.state = component::WinState::Minimized;
    } else if (window->isMaximized()) {
        placement.state = component::WinState::Maximized;
    }
    component::savePlacement(settings(), window->windowTitle(), placement);
}

} // namespace ravlen::modStart

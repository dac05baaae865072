// The result monitor: the window opens on the monitor the user chose for results, "View
// Result" brings it there, and "Settings" lets the user choose that monitor on a desktop map.
#include "viewer/frmdicomviewer.h"

#include "display/clsmonitors.h"
#include "display/frmmonitor.h"
#include "display/resultmonitor.h"
#include "viewer/viewerconstants.h"

namespace ravlen {

void frmDicomViewer::mnuDisplayMonitor_Click() {
    guarded([this] {
        display::registerMonitorDialog();
        // The map shows the desktop as it is now, with monitors plugged in since the window
        // opened.
        m_monitors->Refresh();
        display::WidgetWindow owner(this);
        // Cancel answers 0: the window forgets its choice, the stored one stays for next time.
        m_displayMonitor =
            m_monitors->ShowMonitorDialog(viewer::kMonitorPrompt, viewer::kMonitorCaption, &owner);
    });
}

void frmDicomViewer::mnuDisplayResult_Click() {
    guarded([this] {
        m_monitors->Refresh();
        if (const auto frame =
                display::resultViewPlacement(*m_monitors, m_displayMonitor, frameGeometry())) {
            moveFrameTo(*frame);
        }
        raise();
        activateWindow();
    });
}

void frmDicomViewer::placeOnResultMonitor() {
    guarded([this] {
        if (const auto frame =
                display::openingPlacement(*m_monitors, m_displayMonitor, frameGeometry())) {
            moveFrameTo(*frame);
        }
    });
}

void frmDicomViewer::moveFrameTo(const QRect &frame) {
    // A maximised window fills the monitor it is on: it is moved in its normal state and
    // maximised again there.
    const Qt::WindowStates state = windowState();
    const Qt::WindowStates filling = state & (Qt::WindowMaximized | Qt::WindowFullScreen);
    if (filling) {
        setWindowState(state & ~filling);
    }
    display::WidgetWindow(this).setFrame(frame);
    if (filling) {
        setWindowState(state);
    }
}

} // namespace ravlen

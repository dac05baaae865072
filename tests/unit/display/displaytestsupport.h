#pragma once

#include "display/clsmonitors.h"
#include "display/monitorlisting.h"

#include <QList>

#include <memory>
#include <vector>

namespace ravlen::test {

using Monitor = display::ScriptedMonitorListing::Monitor;

// A window that is only a rectangle on the desktop.
class PlainWindow : public display::MonitorWindow {
public:
    explicit PlainWindow(QRect rect) : rect(rect) {}
    QRect frame() const override { return rect; }
    void moveFrame(const QPoint &topLeft) override { rect.moveTopLeft(topLeft); }
    QRect rect;
};

inline std::shared_ptr<display::ScriptedMonitorListing> listing(std::vector<Monitor> monitors) {
    return std::make_shared<display::ScriptedMonitorListing>(std::move(monitors));
}

// Desktops met at radiology workstations; handles count from 1 in the order given, the
// first monitor being the primary.
inline std::vector<Monitor> oneScreen() {
    return {{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
}
inline std::vector<Monitor> sideBySide() {
    return {{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}}, {2, {1920, 0, 1920, 1080}, {}}};
}
// A 1280 x 1024 monitor left of the primary, its top aligned with the primary's.
inline std::vector<Monitor> leftOfPrimary() {
    return {{1, {0, 0, 1920, 1080}, {}}, {2, {-1280, 0, 1280, 1024}, {}}};
}
// A second monitor above the primary.
inline std::vector<Monitor> stacked() {
    return {{1, {0, 0, 1920, 1080}, {}}, {2, {0, -1200, 1920, 1200}, {}}};
}

// Every field of a record: Handle, Height, Width, Left, Right, Top, Bottom, then the work area's
// Left, Right, Top, Bottom.
inline QList<int> fieldsOf(const clsMonitor &m) {
    return {m.Handle(), m.Height(),   m.Width(),     m.Left(),    m.Right(),     m.Top(),
            m.Bottom(), m.WorkLeft(), m.WorkRight(), m.WorkTop(), m.WorkBottom()};
}

inline QRect desktopOf(const clsMonitors &monitors) {
    return QRect(monitors.DesktopLeft(), monitors.DesktopTop(), monitors.DesktopWidth(),
                 monitors.DesktopHeight());
}

inline QList<int> handlesOf(const clsMonitors &monitors) {
    QList<int> out;
    for (const clsMonitor &m : monitors.Monitors()) {
        out << m.Handle();
    }
    return out;
}

} // namespace ravlen::test

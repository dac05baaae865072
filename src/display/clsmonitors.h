#pragma once

#include "display/clsmonitor.h"
#include "display/monitorlisting.h"

#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace ravlen {

class clsMonitors;

namespace display {

// A top-level window as the monitor services see it: where its outer frame lies on the virtual
// desktop, and a way to move that frame.
class MonitorWindow {
public:
    virtual ~MonitorWindow() = default;
    virtual QRect frame() const = 0;
    // Moves the frame's top-left corner to `topLeft`; the size stays.
    virtual void moveFrame(const QPoint &topLeft) = 0;
};

// Runs the monitor chooser for clsMonitors::ShowMonitorDialog; installed by the ui library.
using MonitorDialogRunner = int (*)(clsMonitors &source, const QString &prompt,
                                    const QString &caption, MonitorWindow *owner);
void setMonitorDialogRunner(MonitorDialogRunner runner);

} // namespace display

// The monitor records in the order they were found, each under its handle as decimal text.
class MonitorCollection {
public:
    int Count() const { return int(m_items.size()); }
    // The record at `position`, counting from 1; throws ToolkitError outside 1..Count().
    const clsMonitor &Item(int position) const;
    // The record under `key`, or null when there is none.
    const clsMonitor *Find(const QString &key) const;
    // Adds the record under `key`; false, and nothing added, when the key is already taken.
    bool Add(const clsMonitor &monitor, const QString &key);
    void Clear();
    std::vector<clsMonitor>::const_iterator begin() const { return m_items.begin(); }
    std::vector<clsMonitor>::const_iterator end() const { return m_items.end(); }

private:
    std::vector<clsMonitor> m_items;
    std::vector<QString> m_keys;
};

// The monitors of the desktop: finds them when created and on Refresh, tells which monitor
// holds a window or a point, centres windows on a monitor and opens the monitor chooser.
class clsMonitors {
public:
    // Over the process-wide listing (the Qt screens unless a test installed another).
    clsMonitors();
    explicit clsMonitors(std::shared_ptr<const display::MonitorListing> listing);

    // The virtual desktop, in pixels; the primary screen alone where the platform cannot list
    // monitors.
    int DesktopLeft() const;
    int DesktopTop() const;
    int DesktopWidth() const;
    int DesktopHeight() const;

    // The monitor holding most of the window; -1 when the platform has no monitor services,
    // 0 when the look-up fails or (with flags 0) no monitor holds the window.
    display::Handle GetMonitorFromWindow(const display::MonitorWindow *hwnd, int dwFlags) const;
    // The monitor holding the pixel (x, y); -1 when the look-up fails.
    display::Handle GetMonitorFromXYPoint(int x, int y, int flags) const;
    // Centres the window on the work area of the reference window's monitor, or of the primary
    // monitor without one. Always answers false.
    bool CenterFormOnMonitor(display::MonitorWindow &FormToCenter,
                             const display::MonitorWindow *ReferenceForm = nullptr) const;
    // Finds the monitors again.
    void Refresh();
    // Lets the user pick a monitor on a map of the desktop; answers the picked monitor's
    // number, or 0 after Cancel.
    int ShowMonitorDialog(const QString &prompt, const QString &caption,
                          display::MonitorWindow *OwnerForm = nullptr);
    const MonitorCollection &Monitors() const { return m_monitors; }

    // The primary monitor's handle; 0 when the platform cannot tell.
    display::Handle PrimaryMonitor() const;
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;

private:
    bool multiMonitor() const;
    std::shared_ptr<const display::MonitorListing> m_listing;
    MonitorCollection m_monitors;
};

} // namespace ravlen

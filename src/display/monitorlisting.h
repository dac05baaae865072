#pragma once

#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

// The desktop's monitors as the platform reports them: the one seam between the display
// placement code and the windowing system. Geometry is in pixels of the virtual desktop.
namespace ravlen::display {

// A monitor's handle. The Qt listing numbers screens from 1 in the order it first sees them
// and keeps a screen's number while it stays connected; 0 is never a real monitor.
using Handle = std::int32_t;

// What a look-up answers when no monitor matches: nothing (0) or the primary monitor.
inline constexpr int kDefaultToNull = 0;
inline constexpr int kDefaultToPrimary = 1;

struct MonitorInfo {
    QRect full; // the whole monitor
    QRect work; // without task bars and docked panels
    bool primary = false;
};

// Raised by a listing whose platform offers no per-monitor services at all.
class MonitorServiceMissing : public std::runtime_error {
public:
    MonitorServiceMissing() : std::runtime_error("the platform has no monitor services") {}
};

class MonitorListing {
public:
    virtual ~MonitorListing() = default;
    // How many monitors there are; 0 when the platform cannot tell them apart.
    virtual int monitorCount() const = 0;
    // The bounding rectangle of all monitors.
    virtual QRect virtualDesktop() const = 0;
    // The primary screen's size, in twips.
    virtual double screenWidthTwips() const = 0;
    virtual double screenHeightTwips() const = 0;
    // The monitor sharing the largest area with `rect`; with none, 0 or the primary monitor
    // as `flags` asks.
    virtual Handle monitorFromRect(const QRect &rect, int flags) const = 0;
    virtual Handle primaryMonitor() const = 0;
    // The rectangles of a monitor; nothing for a handle that names no monitor.
    virtual std::optional<MonitorInfo> monitorInfo(Handle handle) const = 0;
    virtual double twipsPerPixelX() const = 0;
    virtual double twipsPerPixelY() const = 0;
};

// The answer of monitorFromRect over a known set of monitors, shared by every listing so they
// agree on ties (the earlier monitor wins) and on the fallback.
Handle pickMonitor(const std::vector<std::pair<Handle, MonitorInfo>> &monitors, const QRect &rect,
                   int flags);

// A listing that reports what it was given: the stand-in for the platform in tests and tools.
class ScriptedMonitorListing : public MonitorListing {
public:
    struct Monitor {
        Handle handle = 0;
        QRect full;
        QRect work; // empty: the same as `full`
    };
    // The first monitor given is the primary unless `primaryHandle` names another.
    explicit ScriptedMonitorListing(std::vector<Monitor> monitors = {});

    int monitorCount() const override;
    QRect virtualDesktop() const override;
    double screenWidthTwips() const override;
    double screenHeightTwips() const override;
    Handle monitorFromRect(const QRect &rect, int flags) const override;
    Handle primaryMonitor() const override;
    std::optional<MonitorInfo> monitorInfo(Handle handle) const override;
    double twipsPerPixelX() const override { return twipsPerPixel; }
    double twipsPerPixelY() const override { return twipsPerPixel; }

    std::vector<Monitor> monitors;
    Handle primaryHandle = 0; // 0: the first monitor
    double twipsPerPixel = 15.0;
    // A platform without monitor services: the count is 0 and every look-up raises
    // MonitorServiceMissing; the screen is `screen` pixels.
    bool servicesMissing = false;
    QSize screen{1024, 768};
    // From this look-up on (counting from 1) monitorFromRect raises a plain error, as a
    // platform call that fails; 0: never.
    int failFromLookup = 0;
    mutable int lookups = 0; // monitorFromRect calls so far

private:
    std::vector<std::pair<Handle, MonitorInfo>> known() const;
};

// The process-wide listing every clsMonitors uses unless it was given one; the Qt screens
// until a test or tool installs another.
std::shared_ptr<const MonitorListing> monitorListing();
void setMonitorListing(std::shared_ptr<const MonitorListing> listing);

} // namespace ravlen::display

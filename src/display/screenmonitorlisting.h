#pragma once

#include "display/monitorlisting.h"

namespace ravlen::display {

// The monitors of the running desktop: the screens of the Qt application, their geometry and
// available geometry. Without a Qt GUI application there are no screens, and the count is 0.
class ScreenMonitorListing : public MonitorListing {
public:
    int monitorCount() const override;
    QRect virtualDesktop() const override;
    double screenWidthTwips() const override;
    double screenHeightTwips() const override;
    Handle monitorFromRect(const QRect &rect, int flags) const override;
    Handle primaryMonitor() const override;
    std::optional<MonitorInfo> monitorInfo(Handle handle) const override;
    double twipsPerPixelX() const override;
    double twipsPerPixelY() const override;
};

} // namespace ravlen::display

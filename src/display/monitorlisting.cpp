#include "display/monitorlisting.h"

#include "display/screenmonitorlisting.h"

#include <mutex>

namespace ravlen::display {

namespace {

qint64 overlapArea(const QRect &a, const QRect &b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

std::mutex &listingMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const MonitorListing> &listingSlot() {
    static std::shared_ptr<const MonitorListing> listing;
    return listing;
}

} // namespace

Handle pickMonitor(const std::vector<std::pair<Handle, MonitorInfo>> &monitors, const QRect &rect,
                   int flags) {
    Handle best = 0;
    qint64 bestArea = 0;
    for (const auto &[handle, info] : monitors) {
        const qint64 area = overlapArea(rect, info.full);
        if (area > bestArea) {
            best = handle;
            bestArea = area;
        }
    }
    if (best != 0 || flags != kDefaultToPrimary) {
        return best;
    }
    for (const auto &[handle, info] : monitors) {
        if (info.primary) {
            return handle;
        }
    }
    return 0;
}

ScriptedMonitorListing::ScriptedMonitorListing(std::vector<Monitor> given)
    : monitors(std::move(given)) {}

std::vector<std::pair<Handle, MonitorInfo>> ScriptedMonitorListing::known() const {
    const Handle primary = primaryMonitor();
    std::vector<std::pair<Handle, MonitorInfo>> out;
    for (const Monitor &m : monitors) {
        out.push_back(
            {m.handle, {m.full, m.work.isEmpty() ? m.full : m.work, m.handle == primary}});
    }
    return out;
}

int ScriptedMonitorListing::monitorCount() const {
    return servicesMissing ? 0 : int(monitors.size());
}

QRect ScriptedMonitorListing::virtualDesktop() const {
    if (servicesMissing) {
        return QRect(QPoint(0, 0), screen);
    }
    QRect all;
    for (const Monitor &m : monitors) {
        all = all.united(m.full);
    }
    return all;
}

double ScriptedMonitorListing::screenWidthTwips() const {
    if (servicesMissing || monitors.empty()) {
        return screen.width() * twipsPerPixel;
    }
    const auto primary = monitorInfo(primaryMonitor());
    return (primary ? primary->full.width() : 0) * twipsPerPixel;
}

double ScriptedMonitorListing::screenHeightTwips() const {
    if (servicesMissing || monitors.empty()) {
        return screen.height() * twipsPerPixel;
    }
    const auto primary = monitorInfo(primaryMonitor());
    return (primary ? primary->full.height() : 0) * twipsPerPixel;
}

Handle ScriptedMonitorListing::monitorFromRect(const QRect &rect, int flags) const {
    if (servicesMissing) {
        throw MonitorServiceMissing();
    }
    ++lookups;
    if (failFromLookup > 0 && lookups >= failFromLookup) {
        throw std::runtime_error("monitor look-up failed");
    }
    return pickMonitor(known(), rect, flags);
}

Handle ScriptedMonitorListing::primaryMonitor() const {
    if (servicesMissing) {
        throw MonitorServiceMissing();
    }
    if (primaryHandle != 0) {
        return primaryHandle;
    }
    return monitors.empty() ? 0 : monitors.front().handle;
}

std::optional<MonitorInfo> ScriptedMonitorListing::monitorInfo(Handle handle) const {
    if (servicesMissing) {
        throw MonitorServiceMissing();
    }
    for (const auto &[h, info] : known()) {
        if (h == handle) {
            return info;
        }
    }
    return std::nullopt;
}

std::shared_ptr<const MonitorListing> monitorListing() {
    const std::lock_guard lock(listingMutex());
    auto &listing = listingSlot();
    if (!listing) {
        listing = std::make_shared<ScreenMonitorListing>();
    }
    return listing;
}

void setMonitorListing(std::shared_ptr<const MonitorListing> listing) {
    const std::lock_guard lock(listingMutex());
    listingSlot() = std::move(listing);
}

} // namespace ravlen::display

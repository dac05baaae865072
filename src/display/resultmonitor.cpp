#include "display/resultmonitor.h"

#include <algorithm>

namespace ravlen::display {

namespace {

QRect fullRect(const clsMonitor &m) {
    return QRect(m.Left(), m.Top(), m.Width(), m.Height());
}

qint64 area(const QRect &rect) {
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

// A monitor without a work area (the stand-in of a desktop that reports no screen) cannot
// take a window.
bool canHold(const clsMonitor *monitor) {
    return monitor && monitor->WorkRight() > monitor->WorkLeft() &&
           monitor->WorkBottom() > monitor->WorkTop();
}

} // namespace

const clsMonitor *primaryRecord(const clsMonitors &monitors) {
    const MonitorCollection &list = monitors.Monitors();
    if (const clsMonitor *primary = list.Find(QString::number(monitors.PrimaryMonitor()))) {
        return primary;
    }
    return list.Count() > 0 ? &list.Item(1) : nullptr;
}

const clsMonitor *resultMonitor(const clsMonitors &monitors, int number) {
    if (number == 0) {
        return nullptr;
    }
    const MonitorCollection &list = monitors.Monitors();
    if (number >= 1 && number <= list.Count()) {
        return &list.Item(number);
    }
    return primaryRecord(monitors);
}

const clsMonitor *holdingMonitor(const clsMonitors &monitors, const QRect &frame) {
    const clsMonitor *best = nullptr;
    qint64 bestArea = 0;
    for (const clsMonitor &m : monitors.Monitors()) {
        const qint64 common = area(frame.intersected(fullRect(m)));
        if (common > bestArea) {
            best = &m;
            bestArea = common;
        }
    }
    return best;
}

QRect centredOnWorkArea(const clsMonitor &monitor, const QSize &size) {
    const int workWidth = monitor.WorkRight() - monitor.WorkLeft();
    const int workHeight = monitor.WorkBottom() - monitor.WorkTop();
    const int width = std::clamp(size.width(), 0, std::max(0, workWidth));
    const int height = std::clamp(size.height(), 0, std::max(0, workHeight));
    return QRect(monitor.WorkLeft() + (workWidth - width) / 2,
                 monitor.WorkTop() + (workHeight - height) / 2, width, height);
}

std::optional<QRect> openingPlacement(const clsMonitors &monitors, int number, const QRect &frame) {
    const clsMonitor *holding = holdingMonitor(monitors, frame);
    const clsMonitor *target = resultMonitor(monitors, number);
    if (!target) {
        if (holding) {
            return std::nullopt;
        }
        target = primaryRecord(monitors);
    } else if (holding && holding->Handle() == target->Handle()) {
        return std::nullopt;
    }
    if (!canHold(target)) {
        return std::nullopt;
    }
    return centredOnWorkArea(*target, frame.size());
}

std::optional<QRect> resultViewPlacement(const clsMonitors &monitors, int number,
                                         const QRect &frame) {
    const clsMonitor *target =
        number == 0 ? primaryRecord(monitors) : resultMonitor(monitors, number);
    if (!canHold(target)) {
        return std::nullopt;
    }
    const clsMonitor *holding = holdingMonitor(monitors, frame);
    if (holding && holding->Handle() == target->Handle()) {
        return std::nullopt;
    }
    return centredOnWorkArea(*target, frame.size());
}

} // namespace ravlen::display

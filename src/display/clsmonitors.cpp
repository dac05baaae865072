#include "display/clsmonitors.h"

#include "core/errors.h"
#include "core/formats.h"
#include "display/monitormap.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace ravlen {

namespace display {
namespace {

std::atomic<MonitorDialogRunner> &dialogRunner() {
    static std::atomic<MonitorDialogRunner> runner{nullptr};
    return runner;
}

} // namespace

void setMonitorDialogRunner(MonitorDialogRunner runner) {
    dialogRunner() = runner;
}

} // namespace display

namespace {

using display::Handle;
using display::wholeDivision;

// The probe grid of the scan: the centre of each 640 x 480 cell of the desktop is asked for
// its monitor, so a monitor smaller than a cell can be missed.
constexpr int kProbeWidth = 640;
constexpr int kProbeHeight = 480;

int clampToInt(qint64 value) {
    return int(std::clamp<qint64>(value, INT32_MIN, INT32_MAX));
}

int pixelsFromTwips(double twips, double twipsPerPixel) {
    return twipsPerPixel > 0 ? clampToInt(qint64(fmt::roundHalfEven(twips / twipsPerPixel))) : 0;
}

clsMonitor recordFor(Handle handle, const display::MonitorInfo &info) {
    clsMonitor m;
    m.setHandle(handle);
    m.setLeft(info.full.x());
    m.setTop(info.full.y());
    m.setRight(info.full.x() + info.full.width());
    m.setBottom(info.full.y() + info.full.height());
    m.setWorkLeft(info.work.x());
    m.setWorkTop(info.work.y());
    m.setWorkRight(info.work.x() + info.work.width());
    m.setWorkBottom(info.work.y() + info.work.height());
    m.setHeight(m.Bottom() - m.Top());
    m.setWidth(m.Right() - m.Left());
    return m;
}

} // namespace

// --- the keyed list

const clsMonitor &MonitorCollection::Item(int position) const {
    if (position < 1 || position > Count()) {
        throw ToolkitError(errc::BadArgument,
                           "there is no monitor number " + std::to_string(position));
    }
    return m_items[std::size_t(position - 1)];
}

const clsMonitor *MonitorCollection::Find(const QString &key) const {
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] == key) {
            return &m_items[i];
        }
    }
    return nullptr;
}

bool MonitorCollection::Add(const clsMonitor &monitor, const QString &key) {
    if (Find(key)) {
        return false;
    }
    m_items.push_back(monitor);
    m_keys.push_back(key);
    return true;
}

void MonitorCollection::Clear() {
    m_items.clear();
    m_keys.clear();
}

// --- the monitors

clsMonitors::clsMonitors() : clsMonitors(display::monitorListing()) {}

clsMonitors::clsMonitors(std::shared_ptr<const display::MonitorListing> listing)
    : m_listing(std::move(listing)) {
    Refresh();
}

bool clsMonitors::multiMonitor() const {
    return m_listing->monitorCount() != 0;
}

int clsMonitors::DesktopLeft() const {
    return multiMonitor() ? m_listing->virtualDesktop().x() : 0;
}

int clsMonitors::DesktopTop() const {
    return multiMonitor() ? m_listing->virtualDesktop().y() : 0;
}

int clsMonitors::DesktopWidth() const {
    if (multiMonitor()) {
        return m_listing->virtualDesktop().width();
    }
    return clampToInt(wholeDivision(m_listing->screenWidthTwips(), m_listing->twipsPerPixelX()));
}

int clsMonitors::DesktopHeight() const {
    if (multiMonitor()) {
        return m_listing->virtualDesktop().height();
    }
    return clampToInt(wholeDivision(m_listing->screenHeightTwips(), m_listing->twipsPerPixelY()));
}

Handle clsMonitors::GetMonitorFromWindow(const display::MonitorWindow *hwnd, int dwFlags) const {
    // A window belongs to the monitor that holds most of it, as the desktop decides for a
    // window that spans two.
    try {
        if (!hwnd) {
            return 0;
        }
        return m_listing->monitorFromRect(hwnd->frame(), dwFlags);
    } catch (const display::MonitorServiceMissing &) {
        return -1;
    } catch (...) {
        return 0;
    }
}

Handle clsMonitors::GetMonitorFromXYPoint(int x, int y, int flags) const {
    try {
        return m_listing->monitorFromRect(QRect(x, y, 1, 1), flags);
    } catch (...) {
        return -1;
    }
}

Handle clsMonitors::PrimaryMonitor() const {
    try {
        return m_listing->primaryMonitor();
    } catch (...) {
        return 0;
    }
}

double clsMonitors::TwipsPerPixelX() const {
    return m_listing->twipsPerPixelX();
}

double clsMonitors::TwipsPerPixelY() const {
    return m_listing->twipsPerPixelY();
}

bool clsMonitors::CenterFormOnMonitor(display::MonitorWindow &FormToCenter,
                                      const display::MonitorWindow *ReferenceForm) const {
    try {
        const double tx = m_listing->twipsPerPixelX();
        const double ty = m_listing->twipsPerPixelY();
        const QRect frame = FormToCenter.frame();
        const double formWidth = frame.width() * tx;
        const double formHeight = frame.height() * ty;
        try {
            // The primary monitor by name: on this desktop it need not hold the point (1, 1).
            const Handle target =
                ReferenceForm
                    ? m_listing->monitorFromRect(ReferenceForm->frame(), display::kDefaultToPrimary)
                    : m_listing->primaryMonitor();
            if (target != 0) {
                const auto info = m_listing->monitorInfo(target);
                if (!info) {
                    return false;
                }
                const double workWidth = fmt::roundHalfEven(tx * info->work.width());
                const double workHeight = fmt::roundHalfEven(ty * info->work.height());
                // The size comes from the work area, the origin from the full rectangle.
                const double left =
                    double(wholeDivision(workWidth - formWidth, 2)) + tx * info->full.x();
                const double top =
                    double(wholeDivision(workHeight - formHeight, 2)) + ty * info->full.y();
                FormToCenter.moveFrame(QPoint(pixelsFromTwips(left, tx), pixelsFromTwips(top, ty)));
                return false;
            }
        } catch (const display::MonitorServiceMissing &) {
            // no monitor services: the primary screen below
        }
        const double left = double(wholeDivision(m_listing->screenWidthTwips() - formWidth, 2));
        const double top = double(wholeDivision(m_listing->screenHeightTwips() - formHeight, 2));
        FormToCenter.moveFrame(QPoint(pixelsFromTwips(left, tx), pixelsFromTwips(top, ty)));
    } catch (...) {
        // The window stays where it is.
    }
    return false;
}

void clsMonitors::Refresh() {
    m_monitors.Clear();
    try {
        if (!multiMonitor()) {
            const int width = DesktopWidth();
            const int height = DesktopHeight();
            clsMonitor screen;
            screen.setRight(width);
            screen.setBottom(height);
            screen.setWorkRight(width);
            screen.setWorkBottom(height);
            screen.setWidth(width);
            screen.setHeight(height);
            m_monitors.Add(screen, QStringLiteral("0"));
            return;
        }
        // Row by row from the top, so the monitors are listed top to bottom, then left to
        // right. The scan runs to the desktop's right and bottom edges, which also covers a
        // desktop that does not reach the origin.
        const qint64 left = DesktopLeft();
        const qint64 top = DesktopTop();
        const qint64 right = left + DesktopWidth();
        const qint64 bottom = top + DesktopHeight();
        for (qint64 y = top; y <= bottom; y += kProbeHeight) {
            for (qint64 x = left; x <= right; x += kProbeWidth) {
                const Handle handle = GetMonitorFromXYPoint(clampToInt(x + kProbeWidth / 2),
                                                            clampToInt(y + kProbeHeight / 2),
                                                            display::kDefaultToNull);
                if (handle == 0) {
                    continue;
                }
                const QString key = QString::number(handle);
                if (m_monitors.Find(key)) {
                    continue;
                }
                // A failed look-up (-1) names no monitor; like any other failure it ends the
                // scan with what was found so far.
                const auto info = m_listing->monitorInfo(handle);
                if (!info) {
                    return;
                }
                m_monitors.Add(recordFor(handle, *info), key);
            }
        }
    } catch (...) {
        // The records found so far stand.
    }
}

int clsMonitors::ShowMonitorDialog(const QString &prompt, const QString &caption,
                                   display::MonitorWindow *OwnerForm) {
    const display::MonitorDialogRunner runner = display::dialogRunner();
    return runner ? runner(*this, prompt, caption, OwnerForm) : 0;
}

} // namespace ravlen

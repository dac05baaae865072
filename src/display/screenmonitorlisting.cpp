#include "display/screenmonitorlisting.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <mutex>

namespace ravlen::display {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultTwipsPerPixel = 15.0; // 96 dots per inch

// A screen keeps the number it was first seen with for as long as it stays connected, so a
// Refresh after another screen was plugged in or out still finds the same monitor under the
// same key. Numbers are never reused within the process.
class ScreenNumbers {
public:
    Handle numberOf(QScreen *screen) {
        const std::lock_guard lock(m_mutex);
        const auto it = m_numbers.constFind(screen);
        if (it != m_numbers.constEnd()) {
            return it.value();
        }
        const Handle number = ++m_last;
        m_numbers.insert(screen, number);
        QObject::connect(screen, &QObject::destroyed, screen, [this, screen] { forget(screen); });
        return number;
    }

private:
    void forget(QScreen *screen) {
        const std::lock_guard lock(m_mutex);
        m_numbers.remove(screen);
    }
    std::mutex m_mutex;
    QHash<QScreen *, Handle> m_numbers;
    Handle m_last = 0;
};

ScreenNumbers &screenNumbers() {
    static ScreenNumbers numbers;
    return numbers;
}

std::vector<std::pair<Handle, MonitorInfo>> currentMonitors() {
    std::vector<std::pair<Handle, MonitorInfo>> out;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (QScreen *screen : QGuiApplication::screens()) {
        out.push_back({screenNumbers().numberOf(screen),
                       {screen->geometry(), screen->availableGeometry(), screen == primary}});
    }
    return out;
}

double twipsPerPixel(double dotsPerInch) {
    return dotsPerInch > 0 ? kTwipsPerInch / dotsPerInch : kDefaultTwipsPerPixel;
}

} // namespace

int ScreenMonitorListing::monitorCount() const {
    return int(QGuiApplication::screens().size());
}

QRect ScreenMonitorListing::virtualDesktop() const {
    QRect all;
    for (const QScreen *screen : QGuiApplication::screens()) {
        all = all.united(screen->geometry());
    }
    return all;
}

double ScreenMonitorListing::screenWidthTwips() const {
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().width() * twipsPerPixelX() : 0.0;
}

double ScreenMonitorListing::screenHeightTwips() const {
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().height() * twipsPerPixelY() : 0.0;
}

Handle ScreenMonitorListing::monitorFromRect(const QRect &rect, int flags) const {
    return pickMonitor(currentMonitors(), rect, flags);
}

Handle ScreenMonitorListing::primaryMonitor() const {
    QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? screenNumbers().numberOf(primary) : 0;
}

std::optional<MonitorInfo> ScreenMonitorListing::monitorInfo(Handle handle) const {
    for (const auto &[h, info] : currentMonitors()) {
        if (h == handle) {
            return info;
        }
    }
    return std::nullopt;
}

double ScreenMonitorListing::twipsPerPixelX() const {
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? twipsPerPixel(primary->logicalDotsPerInchX()) : kDefaultTwipsPerPixel;
}

double ScreenMonitorListing::twipsPerPixelY() const {
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? twipsPerPixel(primary->logicalDotsPerInchY()) : kDefaultTwipsPerPixel;
}

} // namespace ravlen::display

#include "display/monitormap.h"

#include "core/formats.h"

#include <algorithm>
#include <cmath>

namespace ravlen::display {

namespace {

// Below this band the buttons' row; the client area ends 8 pixels under it.
constexpr int kBandBelowMap = 24;

int roundedPixels(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return int(std::clamp(fmt::roundHalfEven(value), double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

qint64 wholeDivision(double dividend, double divisor) {
    const double a = fmt::roundHalfEven(dividend);
    const double b = fmt::roundHalfEven(divisor);
    if (b == 0 || !std::isfinite(a) || !std::isfinite(b)) {
        return 0;
    }
    return qint64(std::trunc(a / b));
}

DesktopMap::DesktopMap(const DesktopGeometry &desktop, double basisWidth, double twipsPerPixelX)
    : m_desktop(desktop) {
    const double width = basisWidth * kMapScale;
    const double factor = desktop.width > desktop.height ? kMapScale * 2 : kMapScale * 3;
    const double height = width > 0 ? double(wholeDivision(desktop.width, twipsPerPixelX)) / width *
                                          desktop.height * factor
                                    : 0.0;
    m_width = std::max(0, roundedPixels(width));
    m_height = std::max(0, roundedPixels(height));
}

int DesktopMap::mapX(double x) const {
    return m_desktop.width > 0 ? roundedPixels((x - m_desktop.left) * m_width / m_desktop.width)
                               : 0;
}

int DesktopMap::mapY(double y) const {
    return m_desktop.height > 0 ? roundedPixels((y - m_desktop.top) * m_height / m_desktop.height)
                                : 0;
}

QRect DesktopMap::toMap(const QRect &desktopRect) const {
    const int left = mapX(desktopRect.x());
    const int top = mapY(desktopRect.y());
    const int right = mapX(double(desktopRect.x()) + desktopRect.width());
    const int bottom = mapY(double(desktopRect.y()) + desktopRect.height());
    return QRect(left, top, right - left, bottom - top);
}

int DesktopMap::hitTest(const QPoint &mapPoint, const std::vector<QRect> &monitors) const {
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (toMap(monitors[i]).contains(mapPoint)) {
            return int(i);
        }
    }
    return -1;
}

ChooserLayout chooserLayout(const DesktopMap &map, const QSize &okSize, const QSize &cancelSize) {
    ChooserLayout layout;
    layout.map = QRect(kChooserMargin, kChooserMargin, map.width(), map.height());
    layout.client =
        QSize(map.width() + 2 * kChooserMargin, map.height() + kBandBelowMap + okSize.height());
    const int row = layout.map.bottom() + 1 + kChooserMargin;
    layout.cancel =
        QRect(QPoint(layout.client.width() - kChooserMargin - cancelSize.width(), row), cancelSize);
    layout.ok = QRect(QPoint(layout.cancel.x() - kChooserMargin - okSize.width(), row), okSize);
    layout.prompt =
        QRect(kChooserMargin, row, std::max(0, layout.ok.x() - kChooserMargin), okSize.height());
    return layout;
}

} // namespace ravlen::display

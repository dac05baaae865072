#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

// The arithmetic of the monitor chooser: the desktop drawn small, each monitor's rectangle on
// it, and which monitor a click on the map lands on.
namespace ravlen::display {

// Whole-number division of two values each first rounded to a whole number (halves to even),
// truncating toward zero; a zero divisor gives 0.
qint64 wholeDivision(double dividend, double divisor);

// The chooser's map is a quarter of the reference monitor's width.
inline constexpr double kMapScale = 0.25;
// Distance of the map and the buttons from the dialog's edges and from each other, in pixels.
inline constexpr int kChooserMargin = 8;

// The virtual desktop as the chooser reads it, in pixels.
struct DesktopGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class DesktopMap {
public:
    // `basisWidth`: the width of the monitor the dialog opens on (the desktop's width when that
    // monitor is not listed). The height follows the desktop's proportions through the twips
    // per pixel in x, as the chooser has always drawn it: a single 1920 x 1080 monitor at 15
    // twips per pixel gives a 480 x 144 map.
    DesktopMap(const DesktopGeometry &desktop, double basisWidth, double twipsPerPixelX);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // A rectangle of the virtual desktop on the map. Each edge is rounded on its own, so
    // neighbouring monitors share an edge on the map too.
    QRect toMap(const QRect &desktopRect) const;
    // The position (from 0) of the first monitor in `monitors` (desktop rectangles) whose map
    // rectangle holds `mapPoint`; -1 when none does.
    int hitTest(const QPoint &mapPoint, const std::vector<QRect> &monitors) const;

private:
    int mapX(double x) const;
    int mapY(double y) const;
    DesktopGeometry m_desktop;
    int m_width = 0;
    int m_height = 0;
};

// Where the chooser's controls sit, in pixels of its client area: the map at the top left,
// below it the prompt on the left and OK and Cancel at the right, 8 pixels apart.
struct ChooserLayout {
    QRect map;
    QRect prompt;
    QRect ok;
    QRect cancel;
    QSize client;
};
ChooserLayout chooserLayout(const DesktopMap &map, const QSize &okSize, const QSize &cancelSize);

} // namespace ravlen::display

#pragma once

#include <QPointF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The arithmetic and rules behind the mouse functions of the viewer windows: the palette, the
// pan, window and frame drags, the magnifier's place, the label types, the protractor and the
// Cobb angle. The windows keep the state and call the toolkit; everything here is plain.
namespace ravlen::viewer {

// The mouse functions, by the value of their palette button.
namespace mouse {
inline constexpr int Select = 1;
inline constexpr int Window2 = 2;
inline constexpr int Hand = 3;
inline constexpr int Text = 4;
inline constexpr int Measure = 5;
inline constexpr int Arrow = 7;
inline constexpr int Line = 8;
inline constexpr int Draw = 9;
inline constexpr int Rectangle = 10;
inline constexpr int Elipse = 11;
inline constexpr int Polygon = 12;
inline constexpr int Magnify = 13;
inline constexpr int Protractor = 14;
inline constexpr int Cobb = 15;
inline constexpr int Window = 16;
inline constexpr int Cine = 51;
} // namespace mouse

// One button of the " Mouse Function " palette: two rows of eight.
struct PaletteButton {
    int value;
    const char *face; // the caption, or the tool tip of a button that shows an icon
    bool icon;
    const char *toolTip; // for a captioned button; the face for an icon button
    int row;             // 1 or 2
    int column;          // 1..8
};
const std::array<PaletteButton, 16> &paletteButtons();
// Position of a palette button in twips (buttons are 345 twips square).
inline constexpr int kPaletteButtonTwips = 345;
int paletteLeftTwips(int column);
int paletteTopTwips(int row);

bool isLabelTool(int function);

// The label type a label tool draws; Measure draws the shape chosen in "Label Details".
int labelTypeFor(int function, int detailsShape);

// How "SetImageControlsEnabled" sets a palette button: enabled or not, or untouched.
std::optional<bool> paletteEnabled(int function, bool enabled, bool stretchToFitTicked);

// A pan or a window drag keeps an anchor from the press: the value at the press plus (or
// minus) the pointer's position, so the value then follows the pointer one to one.
struct DragAnchor {
    double x = 0.0;
    double y = 0.0;
};
// Pan: the anchor from the scroll offset (in the viewer's pixels) and the press; a move to
// (x, y) gives the scroll offset anchor - pointer.
DragAnchor panAnchor(QPointF scrollPixels, int x, int y);
QPointF panScroll(const DragAnchor &anchor, int x, int y);
// Window drag: width follows the pointer to the right, level follows it upwards.
DragAnchor windowAnchor(double width, double level, int x, int y);
struct WindowValues {
    double width = 0.0;
    double level = 0.0;
};
WindowValues windowDrag(const DragAnchor &anchor, int x, int y);

// Cine scrub: one frame every 10 pixels from the press, either direction, wrapping after the
// last. Returns the frame to show (from 1); an image without frames stays on frame 1.
int cineFrame(int anchorX, int x, int frameCount);

// The magnifier's display rectangle, each edge in thousandths of the viewer's extent; the
// pointer is at its centre and nothing is clamped, so it may reach past the viewer's edges.
struct MagnifierEdges {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};
MagnifierEdges magnifierEdges(int x, int y, int magnifierWidth, int magnifierHeight,
                              int viewerWidthPixels, int viewerHeightPixels);
// The magnifier's zoom: five times what the image is shown at.
inline constexpr double kMagnifierFactor = 5.0;
inline constexpr int kMagnifierSize = 300;

// The angle at the vertex p2 between p1 and p3, in degrees, with pi taken as 3.14159: 0..180.
// Collinear points give 0 (same side) or 180 (either side); an arm of no length has no angle.
std::optional<double> protractorAngle(QPointF p1, QPointF p2, QPointF p3);
// The protractor's label text: "##.## deg", or "-- deg" when there is no angle.
QString protractorText(const std::optional<double> &angle);
// The acute angle between line A (points 1, 2) and line B (points 3, 4), rounded to two
// decimals, halves to even: 0..90. Perpendicular lines give 90.
double CalculateCobb(const std::array<std::int16_t, 8> &CobbXYCoord);
QString cobbMessage(double angle);

// The measurement texts: a length label ("12. mm"), and the two region messages.
QString lengthText(double length, const QString &unit);
QString areaText(double area, const QString &unit);
QString meanText(double mean);

// Clicks of a protractor or Cobb sequence: where the lines go (viewer pixels) and when the
// sequence completes. ClickStep runs 1 -> 2 -> 3 -> (4 ->) 1.
struct LineSegment {
    QPointF from;
    QPointF to;
};
struct ProtractorClick {
    std::optional<LineSegment> line;
    bool complete = false;
    std::optional<double> angle;
    QPointF labelTopLeft; // the angle label's box: 100 wide, 20 high
};
ProtractorClick protractorClick(int &ClickStep, std::array<std::int16_t, 6> &ProtractorXY, int x,
                                int y);
struct CobbClick {
    std::optional<LineSegment> line;
    bool complete = false;
};
CobbClick cobbClick(int &ClickStep, std::array<std::int16_t, 8> &CobbXYCoord, int x, int y);

// Pointer coordinates are kept as 16-bit integers; values beyond that range are held at its
// ends rather than wrapped.
std::int16_t toCoordinate(int value);

} // namespace ravlen::viewer

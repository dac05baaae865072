#pragma once

#include <QPointF>
#include <QString>

// The arithmetic of zoom, flips and quarter turns in the viewer window. No widgets here.
namespace ravlen::viewer {

// The zoom slider runs from -40 to 40 and starts at 0: factors 1/16 to 16.
inline constexpr int kZoomSliderMinimum = -40;
inline constexpr int kZoomSliderMaximum = 40;

// The factor at slider value v: 2 to the power v / 10 (10 doubles, -10 halves).
double zoomFromSlider(int value);
// The slider value for factor z: 10 log2 z, rounded halves to even. z must be positive.
int sliderFromZoom(double zoom);
// The factor as the `Zoom` box shows it: up to 15 significant digits, no trailing zeros.
QString zoomText(double zoom);

// A factor typed into the `Zoom` box: the value, or an error text for the user when the text
// is not a number, not positive, or outside what the slider can show.
struct TypedZoom {
    double zoom = 0.0;
    QString error; // empty when the value can be used
};
TypedZoom typedZoom(const QString &text);

// The scroll offset that keeps the image point under `pointFromCentre` where it is when the
// zoom goes from `zoom0` to `zoom`. The offset is in image pixels along the screen's axes,
// `pointFromCentre` in screen pixels from the tile's centre, and `scale0` the screen pixels per
// image pixel the tile showed at `zoom0`.
QPointF scrollKeepingPoint(QPointF scroll0, double scale0, double zoom0, double zoom,
                           QPointF pointFromCentre);

// Flip state bits: 1 mirrored left to right, 2 top to bottom. Flipping toggles one bit and
// keeps the other, so flipping twice restores the image.
inline constexpr int kFlipHorizontal = 1;
inline constexpr int kFlipVertical = 2;
int flipped(int flipState, int bit);

// Rotation counts quarter turns anticlockwise, 0 to 3.
int rotatedAnticlockwise(int rotation);
int rotatedClockwise(int rotation);

// Which zoom controls show: the slider, box and label only while the image is not stretched
// and has no companion image; "Stretch to fit" while there is no companion image.
struct ZoomVisibility {
    bool zoomControls = false;
    bool stretchBox = false;
};
ZoomVisibility zoomVisibility(bool stretchChecked, bool companion);

} // namespace ravlen::viewer

#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace ravlen::toolkit {
class Image;
class ImageCollection;
} // namespace ravlen::toolkit

// The arithmetic of the side panel's grey-scale window, sharpening and smoothing controls:
// presets, slider ranges and which controls an image calls for. No widgets here.
namespace ravlen::viewer {

// A slider's minimum, maximum and value.
struct SliderRange {
    int minimum = 0;
    int maximum = 0;
    int value = 0;
    bool operator==(const SliderRange &) const = default;
};

// The ranges the sliders open with.
inline constexpr SliderRange kLevelSliderStart{2, 1000, 20};
inline constexpr SliderRange kWidthSliderStart{2, 1000, 256};
inline constexpr SliderRange kCombinedSliderStart{2, 500, 20};
inline constexpr SliderRange kSharpSliderStart{0, 40, 0};
inline constexpr SliderRange kSharpLengthSliderStart{0, 40, 20};

// The range with `value` on it; the range grows to take a value beyond its ends, since a preset
// or a typed value is what the user asked for and must not be cut to the range.
SliderRange withValue(SliderRange range, int value);

// A predefined CT window, in the image's pixel value units (Hounsfield units for CT).
struct WindowPreset {
    const char *button; // object name of its button
    const char *caption;
    int width;
    int level;
};

// "Head", "Abdomen", "Mediastinum", "Lung", "Spine", "Vertebrae", in the panel's order.
const std::vector<WindowPreset> &windowPresets();
// The preset whose button has this object name.
std::optional<WindowPreset> presetByButton(const QString &button);

// The level and width slider ranges "Default Level" gives for an image's default window: both
// run from -3 w to 3 w (w the width, also for the level), the width slider at w and the level
// slider at the level. Values are rounded to whole numbers, halves to even.
struct DefaultLevelRanges {
    SliderRange level;
    SliderRange width;
};
DefaultLevelRanges defaultLevelRanges(double width, double level);

// The combined nuclear-medicine slider at v: a window from 0 to 2 v.
struct Window {
    int width = 0;
    int level = 0;
};
Window combinedWindow(int value);

// What the windowing controls look like for an image.
struct ImageFacts {
    bool voiLutSequence = false; // (0028,3010) present
    bool companion = false;      // a companion image is attached
    QString sopClassUid;         // (0008,0016)
    int bitsAllocated = 0;       // (0028,0100)
};
ImageFacts imageFacts(const toolkit::Image &image);

struct WindowingVisibility {
    bool levelWidth = false; // level and width sliders with their labels
    bool combined = false;   // the combined slider with its label
    bool boxes = false;      // the level and width text boxes
    // New maxima for 8-bit images (the level and width sliders), when the image calls for them.
    std::optional<int> levelMaximum;
    std::optional<int> widthMaximum;
};
inline const QString kNuclearMedicineSopClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.20");
inline constexpr int kEightBitLevelMaximum = 256;
inline constexpr int kEightBitWidthMaximum = 512;
// For the selected image; nothing when the set is empty.
WindowingVisibility windowingVisibility(const std::optional<ImageFacts> &selected);

// The sharpening strength slider gives a fifth of its value as the strength.
double sharpeningStrength(int sliderValue);

// Magnification methods (replicate, B-spline, cubic spline) and minification methods (pixel
// values, moving average), as the images and the settings store number them.
inline constexpr int kMagReplicate = 1;
inline constexpr int kMagBSpline = 2;
inline constexpr int kMagCubicSpline = 3;
inline constexpr int kMinPixelValues = 1;
inline constexpr int kMinMovingAverage = 4;

// A number typed into a level, width or zoom box: the text read as a number; an error text
// for the user when it is not one or lies outside what the box accepts.
struct TypedNumber {
    double value = 0.0;
    QString error; // empty when the value can be used
};
TypedNumber typedLevel(const QString &text);
TypedNumber typedWidth(const QString &text);

// The images a change goes to: with "All Change" every image of `images` (each once, even when
// the set shows one image twice), otherwise `selected` alone. With an empty set the selected
// image (the placeholder) is the only one.
std::vector<std::shared_ptr<toolkit::Image>>
changeTargets(const std::shared_ptr<toolkit::Image> &selected,
              const toolkit::ImageCollection &images, bool allChange);

} // namespace ravlen::viewer

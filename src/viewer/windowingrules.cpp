#include "viewer/windowingrules.h"

#include "core/formats.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravlen::viewer {

namespace {

// Sliders hold ints; a window beyond this is no window a radiologist sets.
constexpr double kSliderLimit = 1.0e9;

int sliderInt(double value) {
    return int(std::clamp(fmt::roundHalfEven(value), -kSliderLimit, kSliderLimit));
}

std::optional<double> typedNumber(const QString &text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > kSliderLimit) {
        return std::nullopt;
    }
    return fmt::roundHalfEven(value);
}

} // namespace

SliderRange withValue(SliderRange range, int value) {
    range.minimum = std::min(range.minimum, value);
    range.maximum = std::max(range.maximum, value);
    range.value = value;
    return range;
}

const std::vector<WindowPreset> &windowPresets() {
    static const std::vector<WindowPreset> presets = {
        {"btnHead", "Head", 100, 35},
        {"btnAbdomen", "Abdomen", 400, 40},
        {"btnMediastinum", "Mediastinum", 350, 40},
        {"btnLung", "Lung", 1000, -700},
        {"btnSpine", "Spine", 300, 35},
        {"btnVertebrae", "Vertebrae", 2000, 350},
    };
    return presets;
}

std::optional<WindowPreset> presetByButton(const QString &button) {
    for (const WindowPreset &p : windowPresets()) {
        if (button == QLatin1String(p.button)) {
            return p;
        }
    }
    return std::nullopt;
}

DefaultLevelRanges defaultLevelRanges(double width, double level) {
    const int w = sliderInt(width);
    const int span = sliderInt(3.0 * width);
    DefaultLevelRanges r;
    r.width = {-span, span, w};
    r.level = {-span, span, sliderInt(level)};
    return r;
}

Window combinedWindow(int value) {
    return {2 * value, value};
}

ImageFacts imageFacts(const toolkit::Image &image) {
    ImageFacts facts;
    facts.voiLutSequence = image.hasAttribute(0x0028, 0x3010);
    facts.sopClassUid = image.attribute(0x0008, 0x0016).toString().trimmed();
    facts.bitsAllocated = image.bitsAllocated();
    return facts;
}

WindowingVisibility windowingVisibility(const std::optional<ImageFacts> &selected) {
    WindowingVisibility v;
    if (!selected || selected->voiLutSequence || selected->companion) {
        return v;
    }
    v.boxes = true;
    if (selected->sopClassUid == kNuclearMedicineSopClass) {
        v.combined = true;
        return v;
    }
    v.levelWidth = true;
    if (selected->bitsAllocated == 8) {
        v.levelMaximum = kEightBitLevelMaximum;
        v.widthMaximum = kEightBitWidthMaximum;
    }
    return v;
}

double sharpeningStrength(int sliderValue) {
    return sliderValue / 5.0;
}

TypedNumber typedLevel(const QString &text) {
    const std::optional<double> value = typedNumber(text);
    if (!value) {
        return {0.0, QStringLiteral("The level \"%1\" is not a number.").arg(text.trimmed())};
    }
    return {*value, QString()};
}

TypedNumber typedWidth(const QString &text) {
    const std::optional<double> value = typedNumber(text);
    if (!value) {
        return {0.0, QStringLiteral("The width \"%1\" is not a number.").arg(text.trimmed())};
    }
    if (*value < 1.0) {
        return {
            0.0,
            QStringLiteral("The width must be 1 or more; \"%1\" was typed.").arg(text.trimmed())};
    }
    return {*value, QString()};
}

std::vector<std::shared_ptr<toolkit::Image>>
changeTargets(const std::shared_ptr<toolkit::Image> &selected,
              const toolkit::ImageCollection &images, bool allChange) {
    if (!allChange || images.count() == 0) {
        return {selected};
    }
    std::vector<std::shared_ptr<toolkit::Image>> targets;
    for (int p = 1; p <= images.count(); ++p) {
        std::shared_ptr<toolkit::Image> image = images.item(p);
        // A flip done twice to an image shown twice would undo itself.
        if (std::find(targets.begin(), targets.end(), image) == targets.end()) {
            targets.push_back(std::move(image));
        }
    }
    return targets;
}

} // namespace ravlen::viewer

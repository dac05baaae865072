#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ravlen::toolkit {

// One decoded frame as the display pipeline needs it. Monochrome frames carry their stored
// values in the smallest native type, still before the modality transform; colour frames are
// already converted to interleaved 8-bit RGB (palette and YBR models resolved at decode).
struct PixelFrame {
    enum class Sample { U8, S8, U16, S16, U32, S32, Rgb8 };
    enum class Photometric { Monochrome1, Monochrome2, Rgb };

    int columns = 0;
    int rows = 0;
    Sample sample = Sample::U16;
    Photometric photometric = Photometric::Monochrome2;
    int bitsStored = 16;
    // row-major; for Rgb8 three bytes a pixel, otherwise one sample of `sample` a pixel
    std::shared_ptr<const std::vector<std::uint8_t>> data;

    int bytesPerSample() const {
        switch (sample) {
        case Sample::U8:
        case Sample::S8:
            return 1;
        case Sample::U16:
        case Sample::S16:
            return 2;
        case Sample::U32:
        case Sample::S32:
            return 4;
        case Sample::Rgb8:
            return 3;
        }
        return 1;
    }
};

// Modality transform: a rescale, or a modality LUT that replaces it.
struct ModalityTransform {
    double slope = 1.0;
    double intercept = 0.0;
    struct Lut {
        int firstMapped = 0; // stored value mapped to data[0]
        int bits = 16;       // bits of each LUT entry
        std::vector<std::uint16_t> data;
    };
    std::optional<Lut> lut;
};

// VOI LUT from the VOI LUT Sequence: input is the modality value, output spans `bits` bits.
struct VoiLut {
    int firstMapped = 0;
    int bits = 16;
    std::vector<std::uint16_t> data;
};

// How a resized picture takes its pixels from the image: the pixel under each output pixel
// (nearest), a straight line between the two nearest pixels each way (bilinear), Keys' cubic
// convolution through the nearest 4x4 pixels (bicubic, Catmull-Rom: it passes through every
// pixel value and may overshoot at edges), the approximating cubic B-spline over the same 4x4
// pixels (smooth, never overshoots, softens even at the pixel centres), or, when shrinking, the
// area-weighted mean of the pixels each output pixel covers (average).
enum class Filter { Nearest, Bilinear, Bicubic, BSpline, Average };

// What the pipeline needs besides the frame: the chosen window (or VOI LUT) and the output.
struct RenderRequest {
    double center = 0.0;
    double width = 1.0;
    const VoiLut *voiLut = nullptr; // used instead of the window when set
    QSize target;                   // empty: the image's own size
    QRectF source;                  // image pixels shown in the target; empty: the whole image
    Filter filter = Filter::Bilinear;
};

} // namespace ravlen::toolkit

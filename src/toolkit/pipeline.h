#pragma once

#include "toolkit/pixelframe.h"

#include <QImage>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ravlen::toolkit {

// A linear grey-scale window in modality units (after rescale or modality LUT).
struct WindowSetting {
    double center = 0.0;
    double width = 1.0;
    bool operator==(const WindowSetting &) const = default;
};

// The lowest and highest modality value present in a monochrome frame.
struct ValueRange {
    double min = 0.0;
    double max = 0.0;
};

// Scans the frame for its lowest and highest modality values. Colour frames give 0..255.
ValueRange modalityRange(const PixelFrame &frame, const ModalityTransform &transform);

// The window an image without a stored one opens with: it shows the frame's lowest modality
// value as black and its highest as white (center (min + max + 1) / 2, width max - min + 1),
// with rescaled ends cut toward zero to a whole number, as DCMTK's min-max window has them.
WindowSetting minMaxWindow(const PixelFrame &frame, const ModalityTransform &transform);

// The filter a tile draws with at `scale` output pixels per image pixel: from 1 up it follows
// the image's magnification method (1 replicate: nearest, 2 B-spline, 3 cubic spline:
// bicubic), below 1 its minification method (1 pixel values: nearest, 4 moving average).
// Unset or unknown methods give bilinear magnification and moving-average minification. With
// `fullQuality` off (the rendering switch, during a window drag) the cubic filters give way to
// bilinear, which costs half as many taps.
Filter chooseFilter(double scale, int magnificationMethod, int minificationMethod,
                    bool fullQuality = true);

namespace detail {

// Turns one stored value into its grey level: modality transform, then the window or VOI LUT,
// then the inversion of MONOCHROME1. Views the LUTs it was built from; does not own them.
struct ValueMapper {
    double slope = 1.0;
    double intercept = 0.0;
    const std::uint16_t *modalityLut = nullptr;
    std::size_t modalityLutSize = 0;
    std::int64_t modalityLutFirst = 0;
    const std::uint16_t *voiLut = nullptr;
    std::size_t voiLutSize = 0;
    std::int64_t voiLutFirst = 0;
    int voiLutBits = 16; // bits of each entry; the grey level is the top eight
    double left = 0.0;   // modality value at and below which the window gives black
    double gain = 0.0;   // grey levels per modality unit inside the window; 0 for a threshold
    bool invert = false;

    double modality(std::int64_t stored) const;
    std::uint8_t operator()(std::int64_t stored) const;
};

} // namespace detail

// The 8-bit lookup table from stored values to grey levels for one image. Keep one per image:
// `prepare` rebuilds the table only when the window, VOI LUT, transform or sample layout
// differs from the last call, so drawing a new frame or a new size under the same window costs
// nothing here. LUTs are recognised by address; call `invalidate` after changing one in place.
class DisplayLut {
public:
    // Makes the table fit this frame, transform and request; returns true when it was rebuilt.
    bool prepare(const PixelFrame &frame, const ModalityTransform &transform,
                 const RenderRequest &request);

    // The grey level of one stored value, after `prepare`.
    std::uint8_t map(std::int64_t stored) const;

    // How many times a table has been built.
    int builds() const { return m_builds; }

    // Forgets the table so the next `prepare` builds it afresh.
    void invalidate() { m_key.reset(); }

    // The table covers stored values first()..last(); outside it (huge 32-bit ranges) each
    // value is computed by map().
    bool hasTable() const { return !m_table.empty(); }
    const std::uint8_t *table() const { return m_table.data(); }
    std::int64_t first() const { return m_first; }
    std::int64_t last() const { return m_last; }

private:
    struct Key {
        PixelFrame::Sample sample = PixelFrame::Sample::U16;
        int bitsStored = 0;
        bool invert = false;
        double slope = 0.0;
        double intercept = 0.0;
        const void *modalityLut = nullptr;
        std::size_t modalityLutSize = 0;
        int modalityLutFirst = 0;
        const void *voiLut = nullptr;
        std::size_t voiLutSize = 0;
        int voiLutFirst = 0;
        int voiLutBits = 0;
        double center = 0.0;
        double width = 0.0;
        const void *frameData = nullptr; // 32-bit tables span the values of one frame
        std::size_t frameSize = 0;
        bool operator==(const Key &) const = default;
    };

    std::optional<Key> m_key;
    std::vector<std::uint8_t> m_table;
    std::int64_t m_first = 0;
    std::int64_t m_last = -1;
    detail::ValueMapper m_mapper; // over the copies below, for values the table does not hold
    std::vector<std::uint16_t> m_modalityLut;
    std::vector<std::uint16_t> m_voiLut;
    int m_builds = 0;
};

// Renders a frame to 8 bits: Format_Grayscale8 for monochrome frames (modality transform, the
// request's window or VOI LUT, MONOCHROME1 inverted), Format_RGB888 for colour frames, which
// are not windowed. The request's source rectangle of the image is drawn into its target size
// with its filter; only target pixels are computed, each from the grey levels of the source
// pixels around it. Throws ToolkitError when the frame's pixels are missing or the target is
// out of range.
QImage renderFrame(const PixelFrame &frame, const ModalityTransform &transform,
                   const RenderRequest &request);

// The same, keeping the lookup table in `lut` between calls.
QImage renderFrame(const PixelFrame &frame, const ModalityTransform &transform,
                   const RenderRequest &request, DisplayLut &lut);

// The frame's `source` rectangle shrunk to `target` by area averaging of the stored values:
// a smaller frame of the same kind (sample type, bits, photometric), each value the
// area-weighted mean of the stored values its footprint covers, rounded. Windowing this frame
// costs only its own pixels, so a tile keeps it while only the window changes. Averaging before
// the window differs from averaging grey levels only where the window cuts off part of a
// footprint's values. Colour frames are averaged per channel. Throws ToolkitError like
// renderFrame.
PixelFrame reduceFrame(const PixelFrame &frame, const QRectF &source, QSize target);

// Draws the frame as a tile shows it: the source rectangle scaled to fit the target (the
// cell) with its proportions kept, centred, with black borders around it.
QImage renderIntoCell(const PixelFrame &frame, const ModalityTransform &transform,
                      const RenderRequest &request, DisplayLut &lut);

} // namespace ravlen::toolkit

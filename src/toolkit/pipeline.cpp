#include "toolkit/pipeline.h"

#include "core/errors.h"
#include "toolkit/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

namespace ravlen::toolkit {

namespace {

// 32-bit frames get a table over their own value range while it stays this small; beyond it
// every pixel is mapped on its own.
constexpr std::int64_t MaxTableEntries = std::int64_t(1) << 22;
constexpr int MaxTargetSide = 32767;
constexpr std::int64_t MaxTargetPixels = std::int64_t(1) << 28;
constexpr double GreyNudge = 1e-6;

bool isSigned(PixelFrame::Sample s) {
    return s == PixelFrame::Sample::S8 || s == PixelFrame::Sample::S16 ||
           s == PixelFrame::Sample::S32;
}

int sampleBits(PixelFrame::Sample s) {
    switch (s) {
    case PixelFrame::Sample::U8:
    case PixelFrame::Sample::S8:
    case PixelFrame::Sample::Rgb8:
        return 8;
    case PixelFrame::Sample::U16:
    case PixelFrame::Sample::S16:
        return 16;
    case PixelFrame::Sample::U32:
    case PixelFrame::Sample::S32:
        return 32;
    }
    return 8;
}

// Stored values the sample type can hold, and those bits stored allows.
struct StoredRange {
    std::int64_t typeLo, typeHi, lo, hi;
};

StoredRange storedRange(const PixelFrame &frame) {
    const int typeBits = sampleBits(frame.sample);
    const int bits = std::clamp(frame.bitsStored, 1, typeBits);
    if (isSigned(frame.sample)) {
        return {-(std::int64_t(1) << (typeBits - 1)), (std::int64_t(1) << (typeBits - 1)) - 1,
                -(std::int64_t(1) << (bits - 1)), (std::int64_t(1) << (bits - 1)) - 1};
    }
    return {0, (std::int64_t(1) << typeBits) - 1, 0, (std::int64_t(1) << bits) - 1};
}

void checkFrame(const PixelFrame &frame) {
    if (frame.columns <= 0 || frame.rows <= 0 || !frame.data) {
        throw ToolkitError(errc::NoPixelData, "The image has no pixels to draw.");
    }
    const auto needed = static_cast<std::uint64_t>(frame.columns) *
                        static_cast<std::uint64_t>(frame.rows) *
                        static_cast<std::uint64_t>(frame.bytesPerSample());
    if (frame.data->size() < needed) {
        throw ToolkitError(errc::Damaged, "The image holds " + std::to_string(frame.data->size()) +
                                              " pixel bytes where its size needs " +
                                              std::to_string(needed) + ".");
    }
}

template <typename T> const T *samples(const PixelFrame &frame) {
    return reinterpret_cast<const T *>(frame.data->data());
}

template <typename T> std::pair<T, T> scanMinMax(const PixelFrame &frame) {
    const T *p = samples<T>(frame);
    const std::size_t n = static_cast<std::size_t>(frame.columns) * frame.rows;
    T lo = p[0];
    T hi = p[0];
    for (std::size_t i = 1; i < n; ++i) {
        lo = std::min(lo, p[i]);
        hi = std::max(hi, p[i]);
    }
    return {lo, hi};
}

template <typename T>
std::pair<std::uint16_t, std::uint16_t> scanLutMinMax(const PixelFrame &frame,
                                                      const ModalityTransform::Lut &lut) {
    const T *p = samples<T>(frame);
    const std::size_t n = static_cast<std::size_t>(frame.columns) * frame.rows;
    const auto last = static_cast<std::int64_t>(lut.data.size()) - 1;
    std::uint16_t lo = 0xFFFF;
    std::uint16_t hi = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t v = lut.data[static_cast<std::size_t>(
            std::clamp<std::int64_t>(std::int64_t(p[i]) - lut.firstMapped, 0, last))];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return {lo, hi};
}

ValueRange lutMinMax(const PixelFrame &frame, const ModalityTransform::Lut &lut) {
    std::pair<std::uint16_t, std::uint16_t> r{0, 0};
    switch (frame.sample) {
    case PixelFrame::Sample::U8:
        r = scanLutMinMax<std::uint8_t>(frame, lut);
        break;
    case PixelFrame::Sample::S8:
        r = scanLutMinMax<std::int8_t>(frame, lut);
        break;
    case PixelFrame::Sample::U16:
        r = scanLutMinMax<std::uint16_t>(frame, lut);
        break;
    case PixelFrame::Sample::S16:
        r = scanLutMinMax<std::int16_t>(frame, lut);
        break;
    case PixelFrame::Sample::U32:
        r = scanLutMinMax<std::uint32_t>(frame, lut);
        break;
    case PixelFrame::Sample::S32:
        r = scanLutMinMax<std::int32_t>(frame, lut);
        break;
    case PixelFrame::Sample::Rgb8:
        break;
    }
    return {static_cast<double>(r.first), static_cast<double>(r.second)};
}

std::pair<std::int64_t, std::int64_t> storedMinMax(const PixelFrame &frame) {
    switch (frame.sample) {
    case PixelFrame::Sample::U8:
        return scanMinMax<std::uint8_t>(frame);
    case PixelFrame::Sample::S8:
        return scanMinMax<std::int8_t>(frame);
    case PixelFrame::Sample::U16:
        return scanMinMax<std::uint16_t>(frame);
    case PixelFrame::Sample::S16:
        return scanMinMax<std::int16_t>(frame);
    case PixelFrame::Sample::U32:
        return scanMinMax<std::uint32_t>(frame);
    case PixelFrame::Sample::S32:
        return scanMinMax<std::int32_t>(frame);
    case PixelFrame::Sample::Rgb8:
        break;
    }
    return {0, 255};
}

bool hasModalityLut(const ModalityTransform &t) {
    return t.lut && !t.lut->data.empty();
}

bool hasVoiLut(const RenderRequest &r) {
    return r.voiLut && !r.voiLut->data.empty();
}

// The mapper for a frame and request, viewing the caller's LUTs.
detail::ValueMapper makeMapper(const PixelFrame &frame, const ModalityTransform &transform,
                               const RenderRequest &request) {
    detail::ValueMapper m;
    m.invert = frame.photometric == PixelFrame::Photometric::Monochrome1;
    if (hasModalityLut(transform)) {
        m.modalityLut = transform.lut->data.data();
        m.modalityLutSize = transform.lut->data.size();
        m.modalityLutFirst = transform.lut->firstMapped;
    } else {
        m.slope = std::isfinite(transform.slope) ? transform.slope : 1.0;
        m.intercept = std::isfinite(transform.intercept) ? transform.intercept : 0.0;
    }
    if (hasVoiLut(request)) {
        m.voiLut = request.voiLut->data.data();
        m.voiLutSize = request.voiLut->data.size();
        m.voiLutFirst = request.voiLut->firstMapped;
        m.voiLutBits = std::clamp(request.voiLut->bits, 1, 16);
        return m;
    }
    // A width below 1 has no ramp: the window becomes a threshold at center - 0.5.
    const double center = std::isfinite(request.center) ? request.center : 0.0;
    const double width = std::isfinite(request.width) && request.width >= 1.0 ? request.width : 1.0;
    m.left = center - 0.5 - (width - 1.0) / 2.0;
    m.gain = width > 1.0 ? 255.0 / (width - 1.0) : 0.0;
    return m;
}

} // namespace

// ---- value mapping -------------------------------------------------------------------------

namespace detail {

double ValueMapper::modality(std::int64_t stored) const {
    if (modalityLut) {
        const std::int64_t i = std::clamp<std::int64_t>(
            stored - modalityLutFirst, 0, static_cast<std::int64_t>(modalityLutSize) - 1);
        return modalityLut[i];
    }
    return static_cast<double>(stored) * slope + intercept;
}

std::uint8_t ValueMapper::operator()(std::int64_t stored) const {
    const double x = modality(stored);
    if (voiLut) {
        // The entry at or below the value; the LUT's ends hold beyond its range.
        const double i = std::clamp(std::floor(x) - static_cast<double>(voiLutFirst), 0.0,
                                    static_cast<double>(voiLutSize - 1));
        const std::uint32_t v = voiLut[static_cast<std::size_t>(i)];
        const auto n = static_cast<std::uint8_t>(
            std::min<std::uint32_t>(255, (v << 8) >> static_cast<unsigned>(voiLutBits)));
        return invert ? static_cast<std::uint8_t>(255 - n) : n;
    }
    double y;
    if (gain == 0.0) {
        y = x <= left ? 0.0 : 255.0;
    } else {
        y = std::clamp((x - left) * gain, 0.0, 255.0);
    }
    // Truncated, as DCMTK does, after a nudge that keeps a level the exact arithmetic reaches
    // (the maximum under the min-max window, say) from falling one short by rounding.
    return static_cast<std::uint8_t>((invert ? 255.0 - y : y) + GreyNudge);
}

} // namespace detail

// ---- the lookup table ----------------------------------------------------------------------

bool DisplayLut::prepare(const PixelFrame &frame, const ModalityTransform &transform,
                         const RenderRequest &request) {
    Key key;
    key.sample = frame.sample;
    if (frame.sample == PixelFrame::Sample::Rgb8) {
        // Colour is not windowed: there is nothing to build.
        const bool changed = m_key != key;
        m_key = key;
        m_table.clear();
        return changed;
    }
    key.bitsStored = frame.bitsStored;
    key.invert = frame.photometric == PixelFrame::Photometric::Monochrome1;
    if (hasModalityLut(transform)) {
        key.modalityLut = transform.lut->data.data();
        key.modalityLutSize = transform.lut->data.size();
        key.modalityLutFirst = transform.lut->firstMapped;
    } else {
        key.slope = transform.slope;
        key.intercept = transform.intercept;
    }
    if (hasVoiLut(request)) {
        key.voiLut = request.voiLut->data.data();
        key.voiLutSize = request.voiLut->data.size();
        key.voiLutFirst = request.voiLut->firstMapped;
        key.voiLutBits = request.voiLut->bits;
    } else {
        key.center = request.center;
        key.width = request.width;
    }
    const bool wide = sampleBits(frame.sample) == 32;
    if (wide) {
        key.frameData = frame.data ? frame.data->data() : nullptr;
        key.frameSize = frame.data ? frame.data->size() : 0;
    }
    if (m_key == key) {
        return false;
    }

    const detail::ValueMapper mapper = makeMapper(frame, transform, request);
    const StoredRange range = storedRange(frame);
    std::int64_t lo = range.lo;
    std::int64_t hi = range.hi;
    m_table.clear();
    if (wide) {
        checkFrame(frame);
        std::tie(lo, hi) = storedMinMax(frame);
        if (hi - lo + 1 > MaxTableEntries) {
            // Too wide for a table: keep the mapper, over our own copies of the LUTs.
            m_mapper = mapper;
            m_modalityLut.assign(mapper.modalityLut, mapper.modalityLut + mapper.modalityLutSize);
            m_voiLut.assign(mapper.voiLut, mapper.voiLut + mapper.voiLutSize);
            m_mapper.modalityLut = mapper.modalityLut ? m_modalityLut.data() : nullptr;
            m_mapper.voiLut = mapper.voiLut ? m_voiLut.data() : nullptr;
            m_first = lo;
            m_last = hi;
            m_key = key;
            ++m_builds;
            return true;
        }
        m_first = lo;
        m_last = hi;
    } else {
        // The table spans every value the sample type holds, so lookups need no bounds check;
        // values beyond bits stored take the nearest end's grey level.
        m_first = range.typeLo;
        m_last = range.typeHi;
    }
    m_table.resize(static_cast<std::size_t>(m_last - m_first + 1));
    std::uint8_t *t = m_table.data();
    const std::int64_t off = -m_first;

    if (!mapper.modalityLut && !mapper.voiLut && mapper.gain != 0.0) {
        // The usual case, a rescale and a linear window, in a loop the compiler can vectorise.
        const double slope = mapper.slope;
        const double intercept = mapper.intercept;
        const double left = mapper.left;
        const double gain = mapper.gain;
        // Only stored values on the window's ramp need the formula; beyond its edges the table
        // is flat. The edges are found in stored units with a value to spare on each side, so
        // rounding cannot misplace them; every entry still comes from the formula or equals one.
        std::int64_t a = lo;
        std::int64_t b = lo;
        if (slope != 0.0) {
            const double e0 = (left - intercept) / slope;
            const double e1 = (left + 255.0 / gain - intercept) / slope;
            const auto edge = [&](double v) {
                return static_cast<std::int64_t>(
                    std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
            };
            a = edge(std::floor(std::min(e0, e1)) - 1.0);
            b = edge(std::ceil(std::max(e0, e1)) + 1.0);
        }
        std::uint8_t *q = t + (a + off);
        const std::int64_t n = b - a + 1;
        if (mapper.invert) {
            for (std::int64_t i = 0; i < n; ++i) {
                const double x = static_cast<double>(a + i) * slope + intercept;
                const double y = std::clamp((x - left) * gain, 0.0, 255.0);
                q[i] = static_cast<std::uint8_t>(255.0 - y + GreyNudge);
            }
        } else {
            for (std::int64_t i = 0; i < n; ++i) {
                const double x = static_cast<double>(a + i) * slope + intercept;
                q[i] = static_cast<std::uint8_t>(std::clamp((x - left) * gain, 0.0, 255.0) +
                                                 GreyNudge);
            }
        }
        std::memset(t + (lo + off), q[0], static_cast<std::size_t>(a - lo));
        std::memset(t + (b + off + 1), q[n - 1], static_cast<std::size_t>(hi - b));
    } else {
        for (std::int64_t v = lo; v <= hi; ++v) {
            t[v + off] = mapper(v);
        }
    }
    if (lo > m_first) {
        std::memset(t, t[lo + off], static_cast<std::size_t>(lo - m_first));
    }
    if (hi < m_last) {
        std::memset(t + (hi + off + 1), t[hi + off], static_cast<std::size_t>(m_last - hi));
    }
    m_key = key;
    ++m_builds;
    return true;
}

std::uint8_t DisplayLut::map(std::int64_t stored) const {
    if (!m_table.empty()) {
        return m_table[static_cast<std::size_t>(std::clamp(stored, m_first, m_last) - m_first)];
    }
    return m_key && m_key->sample != PixelFrame::Sample::Rgb8 ? m_mapper(stored) : 0;
}

// ---- default window ------------------------------------------------------------------------

ValueRange modalityRange(const PixelFrame &frame, const ModalityTransform &transform) {
    if (frame.sample == PixelFrame::Sample::Rgb8) {
        return {0.0, 255.0};
    }
    checkFrame(frame);
    const auto [lo, hi] = storedMinMax(frame);
    if (!hasModalityLut(transform)) {
        const double slope = std::isfinite(transform.slope) ? transform.slope : 1.0;
        const double intercept = std::isfinite(transform.intercept) ? transform.intercept : 0.0;
        const double a = static_cast<double>(lo) * slope + intercept;
        const double b = static_cast<double>(hi) * slope + intercept;
        return {std::min(a, b), std::max(a, b)};
    }
    // A LUT need not be monotonic: map each pixel and take the extremes of what comes out.
    return lutMinMax(frame, *transform.lut);
}

WindowSetting minMaxWindow(const PixelFrame &frame, const ModalityTransform &transform) {
    const ValueRange r = modalityRange(frame, transform);
    // DCMTK keeps rescaled values in an integer type, so fractional ends are cut toward zero
    // (LUT values are whole already). The window then runs from the lowest to the highest.
    const double lo = std::trunc(r.min);
    const double hi = std::trunc(r.max);
    return {(lo + hi + 1.0) / 2.0, hi - lo + 1.0};
}

Filter chooseFilter(double scale, int magnificationMethod, int minificationMethod,
                    bool fullQuality) {
    if (scale >= 1.0) {
        switch (magnificationMethod) {
        case 1:
            return Filter::Nearest;
        case 2:
            return fullQuality ? Filter::BSpline : Filter::Bilinear;
        case 3:
            return fullQuality ? Filter::Bicubic : Filter::Bilinear;
        default:
            return Filter::Bilinear;
        }
    }
    return minificationMethod == 1 ? Filter::Nearest : Filter::Average;
}

// ---- rendering -----------------------------------------------------------------------------

namespace {

// Grey levels of stored values through a table that spans the whole sample type.
template <typename T> struct TableSource {
    const T *data;
    int columns;
    const std::uint8_t *table;
    std::int64_t offset;
    struct Row {
        const T *p;
        const std::uint8_t *table;
        std::int64_t offset;
        std::uint8_t operator()(int x, int) const { return table[p[x] + offset]; }
    };
    Row row(int y) const { return {data + static_cast<std::size_t>(y) * columns, table, offset}; }
};

// The same for a table over part of a 32-bit range: values are held to its ends.
template <typename T> struct ClampedTableSource {
    const T *data;
    int columns;
    const std::uint8_t *table;
    std::int64_t first, last;
    struct Row {
        const T *p;
        const std::uint8_t *table;
        std::int64_t first, last;
        std::uint8_t operator()(int x, int) const {
            return table[std::clamp<std::int64_t>(p[x], first, last) - first];
        }
    };
    Row row(int y) const {
        return {data + static_cast<std::size_t>(y) * columns, table, first, last};
    }
};

template <typename T> struct MapperSource {
    const T *data;
    int columns;
    const DisplayLut *lut;
    struct Row {
        const T *p;
        const DisplayLut *lut;
        std::uint8_t operator()(int x, int) const { return lut->map(p[x]); }
    };
    Row row(int y) const { return {data + static_cast<std::size_t>(y) * columns, lut}; }
};

struct RgbSource {
    const std::uint8_t *data;
    int columns;
    struct Row {
        const std::uint8_t *p;
        std::uint8_t operator()(int x, int c) const { return p[x * 3 + c]; }
    };
    Row row(int y) const { return {data + static_cast<std::size_t>(y) * columns * 3}; }
};

struct Geometry {
    QRectF source;
    bool identity;
};

template <int Channels, typename Source>
void draw(const Source &src, const PixelFrame &frame, const Geometry &g, QImage &out,
          Filter filter) {
    if (g.identity) {
        for (int y = 0; y < frame.rows; ++y) {
            const auto row = src.row(y);
            std::uint8_t *q = out.scanLine(y);
            for (int x = 0; x < frame.columns; ++x) {
                for (int c = 0; c < Channels; ++c) {
                    q[x * Channels + c] = row(x, c);
                }
            }
        }
        return;
    }
    resampleInto<Channels>(src, frame.columns, frame.rows, g.source, out.bits(), out.width(),
                           out.height(), out.bytesPerLine(), filter);
}

template <typename T>
void drawGrey(const PixelFrame &frame, const DisplayLut &lut, const Geometry &g, QImage &out,
              Filter filter) {
    const T *data = samples<T>(frame);
    if (!lut.hasTable()) {
        draw<1>(MapperSource<T>{data, frame.columns, &lut}, frame, g, out, filter);
    } else if (sizeof(T) == 4) {
        draw<1>(ClampedTableSource<T>{data, frame.columns, lut.table(), lut.first(), lut.last()},
                frame, g, out, filter);
    } else {
        draw<1>(TableSource<T>{data, frame.columns, lut.table(), -lut.first()}, frame, g, out,
                filter);
    }
}

} // namespace

QImage renderFrame(const PixelFrame &frame, const ModalityTransform &transform,
                   const RenderRequest &request) {
    DisplayLut lut;
    return renderFrame(frame, transform, request, lut);
}

QImage renderFrame(const PixelFrame &frame, const ModalityTransform &transform,
                   const RenderRequest &request, DisplayLut &lut) {
    checkFrame(frame);
    const QSize own(frame.columns, frame.rows);
    const QSize target = request.target.isEmpty() ? own : request.target;
    if (target.width() > MaxTargetSide || target.height() > MaxTargetSide ||
        std::int64_t(target.width()) * target.height() > MaxTargetPixels) {
        throw ToolkitError(errc::BadArgument, "The picture size " + std::to_string(target.width()) +
                                                  "x" + std::to_string(target.height()) +
                                                  " is too large.");
    }
    const QRectF whole(QPointF(0, 0), QSizeF(own));
    const QRectF source = request.source.isEmpty() ? whole : request.source;
    if (!std::isfinite(source.x()) || !std::isfinite(source.y()) ||
        !std::isfinite(source.width()) || !std::isfinite(source.height())) {
        throw ToolkitError(errc::BadArgument, "The part of the image to draw is not a rectangle.");
    }
    // Exact comparison: QRectF's == is fuzzy, and a rectangle a hair off is drawn as given.
    const bool identity = target == own && source.x() == 0.0 && source.y() == 0.0 &&
                          source.width() == frame.columns && source.height() == frame.rows;
    const Geometry g{source, identity};

    const bool colour = frame.sample == PixelFrame::Sample::Rgb8;
    QImage out(target, colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    if (out.isNull()) {
        throw ToolkitError(errc::TooLarge, "There is not enough memory for the picture.");
    }
    if (colour) {
        draw<3>(RgbSource{frame.data->data(), frame.columns}, frame, g, out, request.filter);
        return out;
    }
    lut.prepare(frame, transform, request);
    switch (frame.sample) {
    case PixelFrame::Sample::U8:
        drawGrey<std::uint8_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::S8:
        drawGrey<std::int8_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::U16:
        drawGrey<std::uint16_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::S16:
        drawGrey<std::int16_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::U32:
        drawGrey<std::uint32_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::S32:
        drawGrey<std::int32_t>(frame, lut, g, out, request.filter);
        break;
    case PixelFrame::Sample::Rgb8:
        break;
    }
    return out;
}

namespace {

// Stored values of one channel as floats, for the averaging filter.
template <typename T, int Channels> struct StoredSource {
    const T *data;
    int columns;
    struct Row {
        const T *p;
        float operator()(int x, int c) const { return static_cast<float>(p[x * Channels + c]); }
    };
    Row row(int y) const { return {data + static_cast<std::size_t>(y) * columns * Channels}; }
};

template <typename T, int Channels>
void reduceInto(const PixelFrame &frame, const QRectF &source, PixelFrame &out) {
    const AxisTaps xs =
        axisTaps(frame.columns, source.x(), source.width(), out.columns, Filter::Average);
    const AxisTaps ys =
        axisTaps(frame.rows, source.y(), source.height(), out.rows, Filter::Average);
    const StoredSource<T, Channels> src{samples<T>(frame), frame.columns};
    const std::size_t rowValues = static_cast<std::size_t>(out.columns) * Channels;
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(rowValues * out.rows * sizeof(T));
    T *q = reinterpret_cast<T *>(bytes->data());
    // The taps hold to the image's edges, so a footprint off the image takes the edge's values
    // (a tile asks only for the part on the image).
    std::vector<double> acc(rowValues);
    for (int j = 0; j < out.rows; ++j) {
        T *line = q + rowValues * j;
        std::fill(acc.begin(), acc.end(), 0.0);
        for (int t = 0; t < ys.taps; ++t) {
            const float wy = ys.weight[static_cast<std::size_t>(j) * ys.taps + t];
            if (wy == 0.0f) {
                continue;
            }
            const auto row = src.row(ys.index[static_cast<std::size_t>(j) * ys.taps + t]);
            for (int i = 0; i < out.columns; ++i) {
                const int *idx = &xs.index[static_cast<std::size_t>(i) * xs.taps];
                const float *w = &xs.weight[static_cast<std::size_t>(i) * xs.taps];
                for (int c = 0; c < Channels; ++c) {
                    double sum = 0.0;
                    for (int k = 0; k < xs.taps; ++k) {
                        sum += w[k] * row(idx[k], c);
                    }
                    acc[static_cast<std::size_t>(i) * Channels + c] += wy * sum;
                }
            }
        }
        for (std::size_t k = 0; k < rowValues; ++k) {
            line[k] = static_cast<T>(std::llround(acc[k]));
        }
    }
    out.data = std::move(bytes);
}

} // namespace

PixelFrame reduceFrame(const PixelFrame &frame, const QRectF &source, QSize target) {
    checkFrame(frame);
    if (target.isEmpty() || target.width() > MaxTargetSide || target.height() > MaxTargetSide ||
        !std::isfinite(source.x()) || !std::isfinite(source.y()) ||
        !std::isfinite(source.width()) || !std::isfinite(source.height())) {
        throw ToolkitError(errc::BadArgument, "The part of the image to shrink is not usable.");
    }
    PixelFrame out = frame;
    out.columns = target.width();
    out.rows = target.height();
    switch (frame.sample) {
    case PixelFrame::Sample::U8:
        reduceInto<std::uint8_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::S8:
        reduceInto<std::int8_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::U16:
        reduceInto<std::uint16_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::S16:
        reduceInto<std::int16_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::U32:
        reduceInto<std::uint32_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::S32:
        reduceInto<std::int32_t, 1>(frame, source, out);
        break;
    case PixelFrame::Sample::Rgb8:
        reduceInto<std::uint8_t, 3>(frame, source, out);
        break;
    }
    return out;
}

QImage renderIntoCell(const PixelFrame &frame, const ModalityTransform &transform,
                      const RenderRequest &request, DisplayLut &lut) {
    checkFrame(frame);
    const QRectF whole(0, 0, frame.columns, frame.rows);
    const QRectF source = request.source.isEmpty() ? whole : request.source;
    const QSize cell = request.target.isEmpty() ? QSize(frame.columns, frame.rows) : request.target;
    const QRect fitted = fitIntoCell(source.size(), cell);
    if (fitted.isEmpty()) {
        throw ToolkitError(errc::BadArgument, "The part of the image to draw is empty.");
    }
    RenderRequest inner = request;
    inner.source = source;
    inner.target = fitted.size();
    QImage picture = renderFrame(frame, transform, inner, lut);
    if (fitted.size() == cell) {
        return picture;
    }
    QImage out(cell, picture.format());
    if (out.isNull()) {
        throw ToolkitError(errc::TooLarge, "There is not enough memory for the picture.");
    }
    out.fill(0);
    const auto bytes = static_cast<std::size_t>(fitted.width()) * (picture.depth() / 8);
    for (int y = 0; y < fitted.height(); ++y) {
        std::memcpy(out.scanLine(fitted.y() + y) + fitted.x() * (picture.depth() / 8),
                    picture.constScanLine(y), bytes);
    }
    return out;
}

} // namespace ravlen::toolkit

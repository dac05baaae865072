#include "toolkit/resample.h"

#include <algorithm>
#include <cmath>

namespace ravlen::toolkit {

namespace {

// Keys' cubic convolution with a = -0.5 (Catmull-Rom): exact at the samples, so an image drawn
// at its own size is unchanged; its undershoot is clipped when the result is stored.
void cubicWeights(float f, float *w) {
    const float f2 = f * f;
    const float f3 = f2 * f;
    w[0] = -0.5f * f3 + f2 - 0.5f * f;
    w[1] = 1.5f * f3 - 2.5f * f2 + 1.0f;
    w[2] = -1.5f * f3 + 2.0f * f2 + 0.5f * f;
    w[3] = 0.5f * f3 - 0.5f * f2;
}

// The approximating cubic B-spline: all weights positive and summing to 1, so the result stays
// within its neighbours (no ringing at edges) and is smooth in its first two derivatives. Used
// without the prefilter that would make it pass through the samples, because the smoothing is
// what the method is chosen for; at a pixel centre it gives 1/6, 4/6, 1/6 of the neighbours.
void bsplineWeights(float f, float *w) {
    const float g = 1.0f - f;
    const float f2 = f * f;
    const float f3 = f2 * f;
    w[0] = g * g * g / 6.0f;
    w[1] = (3.0f * f3 - 6.0f * f2 + 4.0f) / 6.0f;
    w[2] = (-3.0f * f3 + 3.0f * f2 + 3.0f * f + 1.0f) / 6.0f;
    w[3] = f3 / 6.0f;
}

// Moving average: the mean of the image pixels under the footprint [from, from + step), each
// weighted by the part of it that it covers. Only the part on the image counts.
void averageWeights(double from, double step, int sourceLength, int taps, int *idx, float *w) {
    const double a = std::max(from, 0.0);
    const double b = std::min(from + step, static_cast<double>(sourceLength));
    std::fill(w, w + taps, 0.0f);
    if (!(b > a)) {
        idx[0] =
            std::clamp(static_cast<int>(std::min(a, double(sourceLength))), 0, sourceLength - 1);
        std::fill(idx + 1, idx + taps, idx[0]);
        w[0] = 1.0f;
        return;
    }
    const double first = std::floor(a);
    for (int m = 0; m < taps; ++m) {
        const double pixel = first + m;
        const double cover = std::min(b, pixel + 1.0) - std::max(a, pixel);
        idx[m] = std::clamp(static_cast<int>(std::min(pixel, double(sourceLength))), 0,
                            sourceLength - 1);
        if (cover > 0.0) {
            w[m] = static_cast<float>(cover / (b - a));
        }
    }
}

} // namespace

AxisTaps axisTaps(int sourceLength, double start, double extent, int outputLength, Filter filter) {
    AxisTaps t;
    t.taps = filter == Filter::Nearest                                ? 1
             : filter == Filter::Bicubic || filter == Filter::BSpline ? 4
                                                                      : 2;
    if (outputLength <= 0) {
        return t;
    }
    const double step0 = extent / outputLength;
    if (filter == Filter::Average && step0 > 1.0 && std::isfinite(step0)) {
        // A tap for every pixel a footprint can touch; no footprint holds more than the image.
        t.taps = static_cast<int>(
            std::min<double>(std::ceil(step0) + 1.0, std::max(sourceLength, 1) + 1.0));
    }
    const auto n = static_cast<std::size_t>(outputLength);
    t.index.assign(n * t.taps, 0);
    t.weight.assign(n * t.taps, 0.0f);
    if (sourceLength <= 0 || !(extent > 0.0) || !std::isfinite(start) || !std::isfinite(extent)) {
        return t;
    }
    const double step = extent / outputLength;
    const int last = sourceLength - 1;
    // Beyond a few pixels off the edge every tap clamps to the edge anyway; bounding the
    // coordinate first keeps the conversion to int defined for any rectangle.
    const double lo = -4.0;
    const double hi = sourceLength + 4.0;
    t.begin = outputLength;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = start + (static_cast<double>(i) + 0.5) * step;
        if (s >= 0.0 && s < sourceLength) {
            // Centres grow with i, so those on the source form one run.
            t.begin = std::min(t.begin, static_cast<int>(i));
            t.end = static_cast<int>(i) + 1;
        }
        int *idx = &t.index[i * t.taps];
        float *w = &t.weight[i * t.taps];
        if (filter == Filter::Nearest) {
            idx[0] = std::clamp(static_cast<int>(std::floor(std::clamp(s, lo, hi))), 0, last);
            w[0] = 1.0f;
            continue;
        }
        // Interpolating filters work between pixel centres, which sit at k + 0.5.
        const double u = std::clamp(s - 0.5, lo, hi);
        const double base = std::floor(u);
        const auto f = static_cast<float>(u - base);
        const int k = static_cast<int>(base);
        if (filter == Filter::Average && t.taps > 2) {
            averageWeights(start + static_cast<double>(i) * step, step, sourceLength, t.taps, idx,
                           w);
        } else if (filter == Filter::Bilinear || filter == Filter::Average) {
            idx[0] = std::clamp(k, 0, last);
            idx[1] = std::clamp(k + 1, 0, last);
            w[0] = 1.0f - f;
            w[1] = f;
        } else {
            for (int m = 0; m < 4; ++m) {
                idx[m] = std::clamp(k - 1 + m, 0, last);
            }
            if (filter == Filter::BSpline) {
                bsplineWeights(f, w);
            } else {
                cubicWeights(f, w);
            }
        }
    }
    return t;
}

QRect fitIntoCell(QSizeF image, QSize cell) {
    if (image.isEmpty() || cell.isEmpty()) {
        return {};
    }
    const double scale = std::min(static_cast<double>(cell.width()) / image.width(),
                                  static_cast<double>(cell.height()) / image.height());
    const int w = std::clamp(static_cast<int>(std::lround(image.width() * scale)), 1, cell.width());
    const int h =
        std::clamp(static_cast<int>(std::lround(image.height() * scale)), 1, cell.height());
    return {(cell.width() - w) / 2, (cell.height() - h) / 2, w, h};
}

namespace {

template <int Channels> struct QImageSource {
    const QImage *image;
    struct Row {
        const std::uint8_t *p;
        std::uint8_t operator()(int x, int c) const { return p[x * Channels + c]; }
    };
    Row row(int y) const { return {image->constScanLine(y)}; }
};

} // namespace

QImage resampleImage(const QImage &image, const QRectF &source, QSize target, Filter filter) {
    const bool grey = image.format() == QImage::Format_Grayscale8;
    if (image.isNull() || (!grey && image.format() != QImage::Format_RGB888) || target.isEmpty()) {
        return {};
    }
    QImage out(target, image.format());
    if (out.isNull()) {
        return {};
    }
    const QRectF rect = source.isEmpty() ? QRectF(QPointF(0, 0), QSizeF(image.size())) : source;
    if (grey) {
        resampleInto<1>(QImageSource<1>{&image}, image.width(), image.height(), rect, out.bits(),
                        out.width(), out.height(), out.bytesPerLine(), filter);
    } else {
        resampleInto<3>(QImageSource<3>{&image}, image.width(), image.height(), rect, out.bits(),
                        out.width(), out.height(), out.bytesPerLine(), filter);
    }
    return out;
}

} // namespace ravlen::toolkit

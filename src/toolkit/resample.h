#pragma once

#include "toolkit/pixelframe.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ravlen::toolkit {

// Where the output pixels along one axis take their samples from. Output pixel i covers
// [start + i * step, start + (i + 1) * step) in source coordinates, where source pixel k covers
// [k, k + 1); its value is filtered around the centre of that span.
struct AxisTaps {
    int taps = 1;              // per output pixel: 1 nearest, 2 bilinear, 4 for the cubics
    std::vector<int> index;    // taps source indices per output pixel, kept inside
    std::vector<float> weight; // the matching weights, summing to 1
    int begin = 0;             // output pixels [begin, end) have their centre on the
    int end = 0;               // source; the others lie off it and come out black
};

// Works out the taps of `outputLength` pixels showing [start, start + extent) of a source axis
// of `sourceLength` pixels.
AxisTaps axisTaps(int sourceLength, double start, double extent, int outputLength, Filter filter);

// The largest rectangle with the image's proportions that fits in the cell, centred in it.
QRect fitIntoCell(QSizeF image, QSize cell);

// Draws the source rectangle of an 8-bit grey (Format_Grayscale8) or RGB (Format_RGB888)
// picture into a new picture of the target size; off-image parts come out black.
QImage resampleImage(const QImage &image, const QRectF &source, QSize target, Filter filter);

namespace detail {

// Rounds to the nearest level; clamping first makes truncation a floor, without a call.
inline std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::min(std::max(v + 0.5f, 0.0f), 255.0f));
}

// Blackens the parts of an output row that lie off the source.
inline void clearOutside(std::uint8_t *row, int begin, int end, int width, int channels) {
    std::fill(row, row + static_cast<std::size_t>(begin) * channels, std::uint8_t(0));
    std::fill(row + static_cast<std::size_t>(end) * channels,
              row + static_cast<std::size_t>(width) * channels, std::uint8_t(0));
}

} // namespace detail

// Fills `out` (outWidth x outHeight, `channels` bytes a pixel, rows `outStride` bytes apart)
// from a source of sourceWidth x sourceHeight pixels. Only the output pixels are computed: each
// reads its taps through `source.row(y)(x, c)`, which gives the 8-bit display value of channel
// c at (x, y). Filtering is separable: a row of source samples is filtered across once and kept
// while later output rows still need it, which is where magnification saves work.
template <int Channels, typename Source>
void resampleInto(const Source &source, int sourceWidth, int sourceHeight, const QRectF &rect,
                  std::uint8_t *out, int outWidth, int outHeight, qsizetype outStride,
                  Filter filter) {
    const AxisTaps xs = axisTaps(sourceWidth, rect.x(), rect.width(), outWidth, filter);
    const AxisTaps ys = axisTaps(sourceHeight, rect.y(), rect.height(), outHeight, filter);
    const std::size_t rowValues = static_cast<std::size_t>(outWidth) * Channels;

    if (filter == Filter::Nearest) {
        for (int j = 0; j < outHeight; ++j) {
            std::uint8_t *q = out + j * outStride;
            if (j < ys.begin || j >= ys.end) {
                std::fill(q, q + rowValues, std::uint8_t(0));
                continue;
            }
            if (j > ys.begin && ys.index[j] == ys.index[j - 1]) {
                // Magnified, several output rows show the same source row: copy the one made.
                std::copy(q - outStride, q - outStride + rowValues, q);
                continue;
            }
            detail::clearOutside(q, xs.begin, xs.end, outWidth, Channels);
            const auto row = source.row(ys.index[j]);
            for (int i = xs.begin; i < xs.end; ++i) {
                const int x = xs.index[i];
                for (int c = 0; c < Channels; ++c) {
                    q[i * Channels + c] = row(x, c);
                }
            }
        }
        return;
    }

    const int tx = xs.taps;
    const int ty = ys.taps;
    // A direct-mapped cache of filtered rows: the taps of one output row are consecutive source
    // rows, so slot (row mod ty) never evicts a row the same output row needs.
    std::vector<std::vector<float>> cache(ty, std::vector<float>(rowValues));
    std::vector<int> cachedRow(ty, -1);
    std::vector<float> acc(rowValues);

    auto filteredRow = [&](int y) -> const std::vector<float> & {
        const int slot = y % ty;
        std::vector<float> &buf = cache[slot];
        if (cachedRow[slot] != y) {
            const auto row = source.row(y);
            for (int i = xs.begin; i < xs.end; ++i) {
                const int *idx = &xs.index[static_cast<std::size_t>(i) * tx];
                const float *w = &xs.weight[static_cast<std::size_t>(i) * tx];
                for (int c = 0; c < Channels; ++c) {
                    float s = 0.0f;
                    for (int t = 0; t < tx; ++t) {
                        s += w[t] * row(idx[t], c);
                    }
                    buf[static_cast<std::size_t>(i) * Channels + c] = s;
                }
            }
            cachedRow[slot] = y;
        }
        return buf;
    };

    for (int j = 0; j < outHeight; ++j) {
        std::uint8_t *q = out + j * outStride;
        if (j < ys.begin || j >= ys.end) {
            std::fill(q, q + rowValues, std::uint8_t(0));
            continue;
        }
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int t = 0; t < ty; ++t) {
            const float w = ys.weight[static_cast<std::size_t>(j) * ty + t];
            if (w == 0.0f) {
                continue;
            }
            const std::vector<float> &r =
                filteredRow(ys.index[static_cast<std::size_t>(j) * ty + t]);
            for (std::size_t k = 0; k < rowValues; ++k) {
                acc[k] += w * r[k];
            }
        }
        detail::clearOutside(q, xs.begin, xs.end, outWidth, Channels);
        const std::size_t from = static_cast<std::size_t>(xs.begin) * Channels;
        const std::size_t to = static_cast<std::size_t>(xs.end) * Channels;
        for (std::size_t k = from; k < to; ++k) {
            q[k] = detail::toByte(acc[k]);
        }
    }
}

} // namespace ravlen::toolkit

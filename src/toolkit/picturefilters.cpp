#include "toolkit/picturefilters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ravlen::toolkit {

namespace {

constexpr double MaxSigma = 16.0; // beyond this the mask is a change of brightness, not detail

std::vector<float> gaussianKernel(double sigma) {
    const int radius = std::max(1, static_cast<int>(std::ceil(3.0 * sigma)));
    std::vector<float> k(static_cast<std::size_t>(2 * radius + 1));
    double sum = 0.0;
    for (int i = -radius; i <= radius; ++i) {
        const double v = std::exp(-0.5 * (i * i) / (sigma * sigma));
        k[static_cast<std::size_t>(i + radius)] = static_cast<float>(v);
        sum += v;
    }
    for (float &v : k) {
        v = static_cast<float>(v / sum);
    }
    return k;
}

} // namespace

void unsharpMask(QImage &picture, double strength, double sigma) {
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    if (picture.isNull() || (!grey && picture.format() != QImage::Format_RGB888) ||
        !(strength > 0.0) || !(sigma > 0.0) || !std::isfinite(strength) || !std::isfinite(sigma)) {
        return;
    }
    const int channels = grey ? 1 : 3;
    const int w = picture.width();
    const int h = picture.height();
    const std::vector<float> kernel = gaussianKernel(std::min(sigma, MaxSigma));
    const int radius = static_cast<int>(kernel.size() / 2);
    const std::size_t rowValues = static_cast<std::size_t>(w) * channels;

    // Separable blur: across each row, then down the columns; edge pixels are repeated beyond
    // the picture so borders keep their brightness. Rows blurred across are kept in a ring of
    // 2r + 1 (an output row needs those around it, and rows are visited in order), so memory
    // stays a few rows whatever the picture's size.
    const std::size_t pad = static_cast<std::size_t>(radius) * channels;
    std::vector<float> padded(rowValues + 2 * pad);
    const int ringRows = 2 * radius + 1;
    std::vector<float> ring(rowValues * static_cast<std::size_t>(ringRows));
    std::vector<int> ringRow(static_cast<std::size_t>(ringRows), -1);
    const auto across = [&](int y) -> const float * {
        const auto slot = static_cast<std::size_t>(y % ringRows);
        float *q = &ring[rowValues * slot];
        if (ringRow[slot] == y) {
            return q;
        }
        const std::uint8_t *p = picture.constScanLine(y);
        for (std::size_t i = 0; i < rowValues; ++i) {
            padded[pad + i] = p[i];
        }
        for (std::size_t i = 0; i < pad; ++i) {
            padded[i] = p[i % channels];
            padded[pad + rowValues + i] = p[rowValues - channels + i % channels];
        }
        // Tap by tap over the whole row: straight loops the compiler vectorises.
        std::fill(q, q + rowValues, 0.0f);
        for (int t = 0; t <= 2 * radius; ++t) {
            const float k = kernel[static_cast<std::size_t>(t)];
            const float *r = &padded[static_cast<std::size_t>(t) * channels];
            for (std::size_t i = 0; i < rowValues; ++i) {
                q[i] += k * r[i];
            }
        }
        ringRow[slot] = y;
        return q;
    };
    const auto amount = static_cast<float>(strength);
    std::vector<float> blurred(rowValues);
    // In place: row y is written after rows up to y + r were read, and the ring still holds
    // every row a later output row needs.
    for (int y = 0; y < h; ++y) {
        std::fill(blurred.begin(), blurred.end(), 0.0f);
        for (int t = -radius; t <= radius; ++t) {
            const float k = kernel[static_cast<std::size_t>(t + radius)];
            const float *r = across(std::clamp(y + t, 0, h - 1));
            for (std::size_t i = 0; i < rowValues; ++i) {
                blurred[i] += k * r[i];
            }
        }
        std::uint8_t *q = picture.scanLine(y);
        for (std::size_t i = 0; i < rowValues; ++i) {
            const float v = q[i] + amount * (q[i] - blurred[i]);
            q[i] = static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
        }
    }
}

void equaliseAdaptively(QImage &picture, double clipLimit, int tileSide) {
    if (picture.isNull() || picture.format() != QImage::Format_Grayscale8 || tileSide < 1) {
        return;
    }
    const int w = picture.width();
    const int h = picture.height();
    const int nx = std::clamp((w + tileSide / 2) / tileSide, 1, 8);
    const int ny = std::clamp((h + tileSide / 2) / tileSide, 1, 8);
    // Tile t along an axis spans [t * length / n, (t + 1) * length / n).
    const auto edge = [](int t, int length, int n) {
        return static_cast<int>(static_cast<std::int64_t>(t) * length / n);
    };

    std::vector<std::array<std::uint8_t, 256>> maps(static_cast<std::size_t>(nx) * ny);
    for (int ty = 0; ty < ny; ++ty) {
        for (int tx = 0; tx < nx; ++tx) {
            const int x0 = edge(tx, w, nx);
            const int x1 = edge(tx + 1, w, nx);
            const int y0 = edge(ty, h, ny);
            const int y1 = edge(ty + 1, h, ny);
            std::array<std::int64_t, 256> hist{};
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t *p = picture.constScanLine(y);
                for (int x = x0; x < x1; ++x) {
                    ++hist[p[x]];
                }
            }
            const std::int64_t total = std::int64_t(x1 - x0) * (y1 - y0);
            auto &map = maps[static_cast<std::size_t>(ty) * nx + tx];
            if (total == 0) {
                for (int v = 0; v < 256; ++v) {
                    map[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
                }
                continue;
            }
            // Clip each level to its limit and share what was cut off among all levels, so
            // the mapping's slope (the contrast gain) is bounded.
            const auto limit = std::max<std::int64_t>(
                1, static_cast<std::int64_t>(clipLimit * static_cast<double>(total) / 256.0));
            std::int64_t excess = 0;
            for (auto &count : hist) {
                if (count > limit) {
                    excess += count - limit;
                    count = limit;
                }
            }
            const std::int64_t share = excess / 256;
            const std::int64_t rest = excess % 256;
            for (std::size_t v = 0; v < 256; ++v) {
                hist[v] += share + (static_cast<std::int64_t>(v) < rest ? 1 : 0);
            }
            std::int64_t cumulative = 0;
            for (std::size_t v = 0; v < 256; ++v) {
                cumulative += hist[v];
                map[v] = static_cast<std::uint8_t>((cumulative * 255 + total / 2) / total);
            }
        }
    }

    // Each pixel blends the mappings of the four tiles whose centres surround it.
    const auto position = [&](int i, int length, int n, int &t0, int &t1, float &f) {
        const double centred = (i + 0.5) * n / length - 0.5;
        const double lo = std::floor(centred);
        t0 = std::clamp(static_cast<int>(lo), 0, n - 1);
        t1 = std::clamp(static_cast<int>(lo) + 1, 0, n - 1);
        f = static_cast<float>(std::clamp(centred - lo, 0.0, 1.0));
        if (centred < 0.0) {
            f = 0.0f;
        }
    };
    std::vector<int> xt0(static_cast<std::size_t>(w));
    std::vector<int> xt1(static_cast<std::size_t>(w));
    std::vector<float> xf(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        position(x, w, nx, xt0[static_cast<std::size_t>(x)], xt1[static_cast<std::size_t>(x)],
                 xf[static_cast<std::size_t>(x)]);
    }
    for (int y = 0; y < h; ++y) {
        int ty0 = 0;
        int ty1 = 0;
        float fy = 0.0f;
        position(y, h, ny, ty0, ty1, fy);
        std::uint8_t *p = picture.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const auto i = static_cast<std::size_t>(x);
            const std::uint8_t v = p[x];
            const auto at = [&](int ty, int tx) {
                return static_cast<float>(maps[static_cast<std::size_t>(ty) * nx + tx][v]);
            };
            const float top = at(ty0, xt0[i]) + xf[i] * (at(ty0, xt1[i]) - at(ty0, xt0[i]));
            const float bottom = at(ty1, xt0[i]) + xf[i] * (at(ty1, xt1[i]) - at(ty1, xt0[i]));
            p[x] = static_cast<std::uint8_t>(
                std::clamp(top + fy * (bottom - top) + 0.5f, 0.0f, 255.0f));
        }
    }
}

void applyPictureEffects(QImage &picture, const PictureEffects &effects) {
    if (effects.enhance) {
        equaliseAdaptively(picture);
    }
    if (effects.sharpening > 0.0 && effects.sharpeningLength > 0) {
        unsharpMask(picture, effects.sharpening, effects.sharpeningLength / 10.0);
    }
}

} // namespace ravlen::toolkit

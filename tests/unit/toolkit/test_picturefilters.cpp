// The smoothing methods a tile is drawn with (replicate, B-spline, cubic spline, pixel values,
// moving average), the choice among them, and the effects on the finished picture: the
// unsharp mask and the adaptive contrast enhancement.

#include "toolkit/picturefilters.h"
#include "toolkit/pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <set>
#include <vector>

using namespace ravlen::toolkit;
using Row = std::vector<int>;

namespace {

PixelFrame byteFrame(int columns, int rows, const std::vector<std::uint8_t> &values) {
    PixelFrame f;
    f.columns = columns;
    f.rows = rows;
    f.sample = PixelFrame::Sample::U8;
    f.bitsStored = 8;
    f.data = std::make_shared<std::vector<std::uint8_t>>(values);
    return f;
}

// A one-row frame drawn `factor` times wider through the identity window.
Row magnified(const std::vector<std::uint8_t> &line, int factor, Filter filter) {
    RenderRequest r;
    r.center = 127.5;
    r.width = 256;
    r.target = QSize(int(line.size()) * factor, 1);
    r.filter = filter;
    const QImage out = renderFrame(byteFrame(int(line.size()), 1, line), {}, r);
    const std::uint8_t *p = out.constScanLine(0);
    return Row(p, p + out.width());
}

QImage greyPicture(int width, int height, int (*at)(int, int)) {
    QImage picture(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.scanLine(y)[x] = std::uint8_t(at(x, y));
        }
    }
    return picture;
}

} // namespace

TEST(SmoothingMethods, ChoiceFollowsScaleMethodAndRenderingSwitch) {
    struct Case {
        double scale;
        int magnification, minification;
        bool fullQuality;
        Filter expected;
    };
    const Case cases[] = {
        {2.0, 1, 4, true, Filter::Nearest},
        {2.0, 2, 4, true, Filter::BSpline},
        {2.0, 3, 4, true, Filter::Bicubic},
        {2.0, 0, 4, true, Filter::Bilinear},
        {1.0, 2, 1, true, Filter::BSpline},
        {0.5, 2, 1, true, Filter::Nearest},
        {0.5, 3, 4, true, Filter::Average},
        {0.5, 3, 0, true, Filter::Average},
        // the fast path of a window drag: the cubics give way, the rest stays
        {2.0, 2, 4, false, Filter::Bilinear},
        {2.0, 3, 4, false, Filter::Bilinear},
        {2.0, 1, 4, false, Filter::Nearest},
        {0.5, 3, 4, false, Filter::Average},
        {0.5, 3, 1, false, Filter::Nearest},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(chooseFilter(c.scale, c.magnification, c.minification, c.fullQuality), c.expected)
            << c.scale << " " << c.magnification << " " << c.minification << " " << c.fullQuality;
    }
}

// Magnified three times, output pixel 3k + 1 is centred on source pixel k.
TEST(SmoothingMethods, MagnificationReplicatesInterpolatesOrSmooths) {
    const std::vector<std::uint8_t> line = {60, 60, 60, 60, 200, 200, 200, 200, 60, 60, 255, 60};

    const Row nearest = magnified(line, 3, Filter::Nearest);
    for (std::size_t i = 0; i < nearest.size(); ++i) {
        EXPECT_EQ(nearest[i], line[i / 3]) << i; // each value replicated, none made up
    }

    const Row cubic = magnified(line, 3, Filter::Bicubic);
    const Row spline = magnified(line, 3, Filter::BSpline);
    for (std::size_t k = 0; k < line.size(); ++k) {
        EXPECT_NEAR(cubic[3 * k + 1], line[k], 1) << "cubic spline passes through sample " << k;
    }
    // The cubic spline rings at an edge; the B-spline stays within its neighbours.
    EXPECT_LT(*std::min_element(cubic.begin(), cubic.begin() + 24), 60);
    EXPECT_GT(*std::max_element(cubic.begin(), cubic.begin() + 24), 200);
    EXPECT_TRUE(std::is_sorted(spline.begin(), spline.begin() + 12 + 1));
    EXPECT_TRUE(std::all_of(spline.begin(), spline.end(), [](int v) { return v >= 60; }));
    EXPECT_TRUE(std::all_of(spline.begin(), spline.end(), [](int v) { return v <= 255; }));
    // It smooths: a lone bright pixel comes out at about 1/6 + 4/6 + 1/6 of its neighbourhood.
    EXPECT_NEAR(spline[3 * 10 + 1], (60 + 4 * 255 + 60) / 6.0, 1.5);
    EXPECT_EQ(cubic[3 * 10 + 1], 255);
    // Flat runs stay flat whatever the method.
    for (const Row *r : {&cubic, &spline}) {
        EXPECT_EQ((*r)[4], 60);
    }
}

TEST(SmoothingMethods, MinificationSamplesOrAverages) {
    // A one-pixel checkerboard shrunk four times: area averaging gives mid grey everywhere;
    // pixel values keep only black and white.
    std::vector<std::uint8_t> board(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            board[std::size_t(y) * 64 + x] = (x + y) % 2 ? 255 : 0;
        }
    }
    RenderRequest r;
    r.center = 127.5;
    r.width = 256;
    r.target = QSize(16, 16);
    for (const double shrink : {4.0, 64.0 / 13.0}) { // whole and fractional footprints
        r.target = QSize(int(std::lround(64 / shrink)), int(std::lround(64 / shrink)));
        r.filter = Filter::Average;
        const QImage mean = renderFrame(byteFrame(64, 64, board), {}, r);
        r.filter = Filter::Nearest;
        const QImage sampled = renderFrame(byteFrame(64, 64, board), {}, r);
        std::set<int> sampledValues;
        for (int y = 0; y < mean.height(); ++y) {
            for (int x = 0; x < mean.width(); ++x) {
                // a footprint of an odd count of pixels holds one more of one colour
                EXPECT_NEAR(mean.constScanLine(y)[x], 127.5, 12.0) << x << "," << y;
                sampledValues.insert(sampled.constScanLine(y)[x]);
            }
        }
        EXPECT_TRUE(sampledValues.size() <= 2 && !sampledValues.count(127));
    }
}

// A tile that averages keeps the shown part shrunk in stored values and windows only that:
// where the window cuts nothing off it matches averaging the grey levels.
TEST(SmoothingMethods, AveragingStoredValuesMatchesAveragingGreyLevels) {
    std::vector<std::int16_t> values(60 * 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            values[std::size_t(y) * 60 + x] = std::int16_t(-1000 + 37 * x - 11 * y + (x * y) % 7);
        }
    }
    PixelFrame frame;
    frame.columns = 60;
    frame.rows = 40;
    frame.sample = PixelFrame::Sample::S16;
    frame.bitsStored = 16;
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(values.size() * 2);
    std::memcpy(bytes->data(), values.data(), bytes->size());
    frame.data = bytes;
    ModalityTransform rescale;
    rescale.slope = 2.0;
    rescale.intercept = -24.0;

    for (const QRectF source : {QRectF(0, 0, 60, 40), QRectF(3.5, 2.25, 41.0, 30.5)}) {
        const QSize target(13, 9);
        const PixelFrame reduced = reduceFrame(frame, source, target);
        ASSERT_EQ(reduced.columns, 13);
        ASSERT_EQ(reduced.sample, PixelFrame::Sample::S16);
        RenderRequest direct;
        direct.center = -600.0;
        direct.width = 6000.0; // covers every value: nothing cut off
        direct.source = source;
        direct.target = target;
        direct.filter = Filter::Average;
        RenderRequest shrunk = direct;
        shrunk.source = QRectF();
        shrunk.target = QSize();
        const QImage a = renderFrame(frame, rescale, direct);
        const QImage b = renderFrame(reduced, rescale, shrunk);
        ASSERT_EQ(a.size(), b.size());
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                EXPECT_NEAR(a.constScanLine(y)[x], b.constScanLine(y)[x], 1) << x << "," << y;
            }
        }
    }
}

TEST(PictureEffects, UnsharpMaskRaisesEdgeContrastOnly) {
    const QImage edge = greyPicture(40, 20, [](int x, int) { return x < 20 ? 80 : 160; });

    for (const auto &[strength, sigma] : {std::pair{0.0, 2.0}, std::pair{3.0, 0.0}}) {
        QImage same = edge;
        unsharpMask(same, strength, sigma);
        EXPECT_EQ(same, edge) << "strength " << strength << " sigma " << sigma;
    }

    QImage weak = edge;
    unsharpMask(weak, 1.0, 2.0);
    QImage strong = edge;
    unsharpMask(strong, 4.0, 2.0);
    const int y = 10;
    // just beside the edge the dark side gets darker and the bright side brighter
    EXPECT_LT(weak.constScanLine(y)[18], 80);
    EXPECT_GT(weak.constScanLine(y)[21], 160);
    EXPECT_LT(strong.constScanLine(y)[18], weak.constScanLine(y)[18]);
    EXPECT_GT(strong.constScanLine(y)[21], weak.constScanLine(y)[21]);
    // far from the edge (beyond three standard deviations) and at the picture's borders nothing
    // moves
    for (const int x : {0, 5, 12, 27, 34, 39}) {
        EXPECT_EQ(strong.constScanLine(y)[x], edge.constScanLine(y)[x]) << x;
        EXPECT_EQ(strong.constScanLine(0)[x], edge.constScanLine(0)[x]) << x;
    }

    // the same edge lying across: the blur down the columns matches the one along the rows
    QImage across = greyPicture(20, 40, [](int, int y) { return y < 20 ? 80 : 160; });
    unsharpMask(across, 4.0, 2.0);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(across.constScanLine(i)[7], strong.constScanLine(3)[i]) << i;
    }

    // colour: every channel alike
    QImage colour = edge.convertToFormat(QImage::Format_RGB888);
    unsharpMask(colour, 1.0, 2.0);
    EXPECT_EQ(colour.convertToFormat(QImage::Format_Grayscale8), weak);
}

TEST(PictureEffects, AdaptiveEnhancementLiftsLocalContrastAndSparesFlatAreas) {
    // Faint stripes on a dim left half and on a bright right half.
    const QImage faint =
        greyPicture(256, 128, [](int x, int y) { return (x < 128 ? 40 : 190) + (y / 8) % 2 * 6; });
    QImage enhanced = faint;
    equaliseAdaptively(enhanced);
    const auto stripeContrast = [](const QImage &p, int x) {
        return std::abs(int(p.constScanLine(12)[x]) - int(p.constScanLine(4)[x]));
    };
    // The gain is bounded by the clip limit; at 3 it is about 1.7 for two close levels.
    EXPECT_GE(stripeContrast(enhanced, 60), 3 * stripeContrast(faint, 60) / 2);
    EXPECT_GE(stripeContrast(enhanced, 200), 3 * stripeContrast(faint, 200) / 2);
    // A flat picture stays flat and near its own grey: the clip limit keeps noise-free areas
    // from being stretched to black and white.
    QImage flat = greyPicture(200, 150, [](int, int) { return 128; });
    equaliseAdaptively(flat);
    int lo = 255;
    int hi = 0;
    for (int y = 0; y < flat.height(); ++y) {
        const auto [a, b] =
            std::minmax_element(flat.constScanLine(y), flat.constScanLine(y) + flat.width());
        lo = std::min<int>(lo, *a);
        hi = std::max<int>(hi, *b);
    }
    EXPECT_LE(hi - lo, 2); // tiles of 66 and 67 pixels round their mappings a little apart
    EXPECT_NEAR(lo, 128, 8);

    // Small pictures and colour pictures are handled: one tile, and colour left alone.
    QImage tiny = greyPicture(3, 2, [](int x, int y) { return x * 50 + y; });
    equaliseAdaptively(tiny);
    EXPECT_EQ(tiny.size(), QSize(3, 2));
    QImage colour = faint.convertToFormat(QImage::Format_RGB888);
    const QImage before = colour;
    equaliseAdaptively(colour);
    EXPECT_EQ(colour, before);
}

#include "core/errors.h"
#include "toolkit/pipeline.h"
#include "toolkit/resample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace ravlen::toolkit;
using Sample = PixelFrame::Sample;
using Photometric = PixelFrame::Photometric;

namespace {

template <typename T>
PixelFrame makeFrame(Sample sample, int columns, int rows, const std::vector<T> &values,
                     int bitsStored = int(sizeof(T) * 8),
                     Photometric photometric = Photometric::Monochrome2) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(values.size() * sizeof(T));
    std::memcpy(bytes->data(), values.data(), bytes->size());
    PixelFrame f;
    f.columns = columns;
    f.rows = rows;
    f.sample = sample;
    f.photometric = photometric;
    f.bitsStored = bitsStored;
    f.data = bytes;
    return f;
}

RenderRequest window(double center, double width) {
    RenderRequest r;
    r.center = center;
    r.width = width;
    return r;
}

int pixel(const QImage &img, int x, int y = 0) {
    return img.constScanLine(y)[x];
}

// A one-row picture of the frame's own size, as grey levels.
std::vector<int> row(const QImage &img, int y = 0) {
    std::vector<int> v(img.width());
    for (int x = 0; x < img.width(); ++x) {
        v[x] = pixel(img, x, y);
    }
    return v;
}

} // namespace

// ---- grey levels --------------------------------------------------------------------------

struct GreyCase {
    const char *name;
    Photometric photometric;
    double slope, intercept, center, width;
    std::vector<std::int16_t> stored;
    std::vector<int> expected;
};

TEST(PipelineGrey, LinearWindowRescaleAndInversion) {
    const auto M1 = Photometric::Monochrome1;
    const auto M2 = Photometric::Monochrome2;
    const std::vector<GreyCase> cases = {
        // window 100/201: black at -0.5 and below, white above 199.5, 1.275 levels a unit
        {"edges", M2, 1, 0, 100, 201, {-1, 0, 100, 199, 200}, {0, 0, 128, 254, 255}},
        {"inverted edges", M1, 1, 0, 100, 201, {-1, 0, 100, 199, 200}, {255, 254, 126, 0, 0}},
        {"width 1 is a threshold at center - 0.5", M2, 1, 0, 10, 1, {9, 10, 11}, {0, 255, 255}},
        {"width below 1 acts as 1", M2, 1, 0, 10, 0.25, {9, 10}, {0, 255}},
        {"width 2 spans one unit", M2, 1, 0, 10, 2, {8, 9, 10, 11}, {0, 0, 255, 255}},
        {"inverted threshold", M1, 1, 0, 10, 1, {9, 10}, {255, 0}},
        {"CT rescale", M2, 1, -1024, 40, 401, {863, 864, 1064, 1263, 1264}, {0, 0, 127, 254, 255}},
        {"slope 2", M2, 2, -1000, 0, 256, {436, 500, 563, 564}, {0, 128, 254, 255}},
        {"slope 0.5 keeps halves", M2, 0.5, 0, 1.5, 2, {0, 1, 2, 3}, {0, 0, 127, 255}},
        {"negative slope", M2, -1, 0, 0, 256, {128, 0, -127}, {0, 128, 255}},
    };
    for (const auto &c : cases) {
        const PixelFrame f = makeFrame<std::int16_t>(Sample::S16, int(c.stored.size()), 1, c.stored,
                                                     16, c.photometric);
        ModalityTransform t;
        t.slope = c.slope;
        t.intercept = c.intercept;
        const QImage img = renderFrame(f, t, window(c.center, c.width));
        ASSERT_EQ(img.format(), QImage::Format_Grayscale8) << c.name;
        EXPECT_EQ(row(img), c.expected) << c.name;
    }
}

TEST(PipelineGrey, LutsAndStoredRange) {
    // Modality LUT from stored value 10: 100, 200, ... 800; ends hold outside it.
    ModalityTransform mlut;
    mlut.lut = ModalityTransform::Lut{10, 16, {100, 200, 300, 400, 500, 600, 700, 800}};
    const auto f1 = makeFrame<std::uint16_t>(Sample::U16, 4, 1, {0, 10, 13, 99}, 12);
    EXPECT_EQ(row(renderFrame(f1, mlut, window(450.5, 601))), (std::vector<int>{0, 0, 106, 255}));

    // VOI LUT from -2: the grey level is an entry's top eight bits; the ends hold outside.
    VoiLut voi{-2, 16, {0, 0x0100, 0x8000, 0xFFFF}};
    RenderRequest r = window(0, 1); // ignored while a VOI LUT is given
    r.voiLut = &voi;
    const auto f2 = makeFrame<std::int16_t>(Sample::S16, 5, 1, {-5, -1, 0, 1, 9});
    EXPECT_EQ(row(renderFrame(f2, {}, r)), (std::vector<int>{0, 1, 128, 255, 255}));
    VoiLut voi8{0, 8, {0, 7, 200}};
    r.voiLut = &voi8;
    const auto f3 =
        makeFrame<std::uint8_t>(Sample::U8, 3, 1, {0, 1, 2}, 8, Photometric::Monochrome1);
    EXPECT_EQ(row(renderFrame(f3, {}, r)), (std::vector<int>{255, 248, 55}));

    // Values beyond bits stored take the grey level of the nearest end of the range.
    const auto f4 = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {4095, 5000}, 12);
    const QImage a = renderFrame(f4, {}, window(4000, 100));
    EXPECT_EQ(pixel(a, 0), pixel(a, 1));
    const auto f5 = makeFrame<std::int16_t>(Sample::S16, 2, 1, {-2048, -3000}, 12);
    const QImage b = renderFrame(f5, {}, window(-2000, 100));
    EXPECT_EQ(pixel(b, 0), pixel(b, 1));
}

TEST(PipelineGrey, ThirtyTwoBitSamplesWithAndWithoutTable) {
    // A narrow range gets a table over the frame's values; a huge one is mapped per pixel.
    struct Case {
        const char *name;
        std::vector<std::int32_t> stored;
        bool table;
    };
    const std::vector<Case> cases = {
        {"narrow", {-70000, -69990, -69900, -69800}, true},
        {"huge", {-70000, -69990, -69900, 2000000000}, false},
    };
    for (const auto &c : cases) {
        const auto f = makeFrame<std::int32_t>(Sample::S32, 4, 1, c.stored);
        DisplayLut lut;
        const QImage img = renderFrame(f, {}, window(-69900, 201), lut);
        EXPECT_EQ(lut.hasTable(), c.table) << c.name;
        EXPECT_EQ(row(img), (std::vector<int>{0, 13, 128, 255})) << c.name;
    }
}

// ---- the table cache ----------------------------------------------------------------------

TEST(DisplayLutCache, RebuildsOnlyWhenTheMappingChanges) {
    const auto f = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {0, 4095}, 12);
    const auto other = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {7, 8}, 12);
    ModalityTransform t;
    DisplayLut lut;
    RenderRequest r = window(2048, 4096);
    EXPECT_TRUE(lut.prepare(f, t, r));
    EXPECT_FALSE(lut.prepare(f, t, r)) << "same window";
    r.target = QSize(40, 40);
    r.filter = Filter::Bicubic;
    EXPECT_FALSE(lut.prepare(other, t, r)) << "another frame, size or filter";
    r.center = 2000;
    EXPECT_TRUE(lut.prepare(f, t, r)) << "window moved";
    t.intercept = -1024;
    EXPECT_TRUE(lut.prepare(f, t, r)) << "rescale changed";
    PixelFrame inverted = f;
    inverted.photometric = Photometric::Monochrome1;
    EXPECT_TRUE(lut.prepare(inverted, t, r)) << "inversion";

    VoiLut voi{0, 16, {0, 65535}};
    r.voiLut = &voi;
    EXPECT_TRUE(lut.prepare(f, t, r));
    r.center = 1;
    r.width = 7;
    EXPECT_FALSE(lut.prepare(f, t, r)) << "window ignored under a VOI LUT";
    lut.invalidate();
    EXPECT_TRUE(lut.prepare(f, t, r));
    EXPECT_EQ(lut.builds(), 6);

    // renderFrame goes through the same cache
    DisplayLut kept;
    renderFrame(f, {}, window(10, 20), kept);
    renderFrame(other, {}, window(10, 20), kept);
    EXPECT_EQ(kept.builds(), 1);
}

// ---- default window -------------------------------------------------------------------------

TEST(MinMaxWindow, SpansTheModalityValuesOfTheFrame) {
    struct Case {
        const char *name;
        double slope, intercept;
        std::vector<std::int16_t> stored;
        WindowSetting expected;
    };
    const std::vector<Case> cases = {
        {"CT", 1, -1024, {24, 1024, 3000}, {(-1000.0 + 1976 + 1) / 2, 2977}},
        {"negative slope swaps the ends", -2, 10, {0, 5}, {(0.0 + 10 + 1) / 2, 11}},
        {"constant frame", 1, 0, {7, 7}, {7.5, 1}},
    };
    for (const auto &c : cases) {
        const auto f = makeFrame<std::int16_t>(Sample::S16, int(c.stored.size()), 1, c.stored);
        ModalityTransform t;
        t.slope = c.slope;
        t.intercept = c.intercept;
        EXPECT_EQ(minMaxWindow(f, t), c.expected) << c.name;
    }
    // Through a modality LUT the window spans the entries the pixels use.
    ModalityTransform mlut;
    mlut.lut = ModalityTransform::Lut{0, 16, {900, 50, 7000, 400}};
    const auto f = makeFrame<std::uint8_t>(Sample::U8, 2, 1, {1, 3});
    EXPECT_EQ(minMaxWindow(f, mlut), (WindowSetting{225.5, 351}));

    // The min-max window shows the minimum black and the maximum white.
    const auto g = makeFrame<std::int16_t>(Sample::S16, 3, 1, {-300, 20, 900});
    const WindowSetting w = minMaxWindow(g, {});
    EXPECT_EQ(row(renderFrame(g, {}, window(w.center, w.width))).front(), 0);
    EXPECT_EQ(row(renderFrame(g, {}, window(w.center, w.width))).back(), 255);
}

// ---- geometry -------------------------------------------------------------------------------

TEST(Resample, ConstantStaysConstantAndOwnSizeIsExact) {
    std::vector<std::uint16_t> ramp(37 * 23);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = std::uint16_t(i % 256);
    }
    const auto flat =
        makeFrame<std::uint16_t>(Sample::U16, 37, 23, std::vector<std::uint16_t>(37 * 23, 77), 8);
    const auto varied = makeFrame<std::uint16_t>(Sample::U16, 37, 23, ramp, 8);
    const QImage reference = renderFrame(varied, {}, window(127.5, 256));
    for (const Filter filter :
         {Filter::Nearest, Filter::Bilinear, Filter::Bicubic, Filter::Average}) {
        for (const QSize size : {QSize(37, 23), QSize(5, 3), QSize(100, 61), QSize(80, 7)}) {
            RenderRequest r = window(127.5, 256);
            r.filter = filter;
            r.target = size;
            const QImage img = renderFrame(flat, {}, r);
            ASSERT_EQ(img.size(), size);
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    ASSERT_EQ(pixel(img, x, y), 77) << int(filter) << " at " << x << "," << y;
                }
            }
        }
        // Drawing at the own size through the resampler (a source rectangle forces it).
        RenderRequest r = window(127.5, 256);
        r.filter = filter;
        r.source = QRectF(0, 0, 37, 23.0 + 1e-12);
        r.target = QSize(37, 23);
        EXPECT_EQ(renderFrame(varied, {}, r), reference) << int(filter);
    }
}

TEST(Resample, NearestHalvingAndInterpolationValues) {
    std::vector<std::uint8_t> v(8 * 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            v[y * 8 + x] = std::uint8_t(y * 8 + x);
        }
    }
    const auto f = makeFrame<std::uint8_t>(Sample::U8, 8, 6, v);
    RenderRequest r = window(127.5, 256);
    r.filter = Filter::Nearest;
    r.target = QSize(4, 3);
    const QImage half = renderFrame(f, {}, r);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            // Each output pixel shows the source pixel under its centre, (2x + 1, 2y + 1).
            EXPECT_EQ(pixel(half, x, y), (2 * y + 1) * 8 + 2 * x + 1);
        }
    }

    r.filter = Filter::Average;
    const QImage mean = renderFrame(f, {}, r);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            // The mean of the 2x2 block, 16y + 2x + 4.5, rounded.
            EXPECT_EQ(pixel(mean, x, y), 16 * y + 2 * x + 5);
        }
    }
    struct Shrink {
        std::vector<std::uint8_t> in;
        int width;
        std::vector<int> out;
    };
    for (const Shrink &c :
         std::vector<Shrink>{{{0, 0, 0, 255, 255, 255, 30, 60, 90}, 3, {0, 255, 60}},
                             {{0, 90, 180}, 2, {30, 150}},
                             {{10, 20, 30, 40, 50}, 1, {30}}}) {
        const auto line = makeFrame<std::uint8_t>(Sample::U8, int(c.in.size()), 1, c.in);
        r.target = QSize(c.width, 1);
        EXPECT_EQ(row(renderFrame(line, {}, r)), c.out);
    }
    r.target = QSize(4, 3);

    const auto two = makeFrame<std::uint8_t>(Sample::U8, 2, 1, {0, 200});
    r.target = QSize(4, 1);
    r.filter = Filter::Bilinear;
    EXPECT_EQ(row(renderFrame(two, {}, r)), (std::vector<int>{0, 50, 150, 200}));

    // A hard edge magnified with the cubic filter rings; the ringing is clipped, never wrapped.
    std::vector<std::uint8_t> step(16, 0);
    std::fill(step.begin() + 8, step.end(), 255);
    const auto edge = makeFrame<std::uint8_t>(Sample::U8, 16, 1, step);
    r.target = QSize(64, 1);
    r.filter = Filter::Bicubic;
    const auto out = row(renderFrame(edge, {}, r));
    for (std::size_t i = 1; i < out.size(); ++i) {
        EXPECT_LE(out[i - 1], out[i]) << "at " << i;
    }
    EXPECT_EQ(out.front(), 0);
    EXPECT_EQ(out.back(), 255);
}

TEST(Resample, SourceRectangleColourAndCells) {
    // A source rectangle half off the image leaves the off-image half black.
    const auto f = makeFrame<std::uint8_t>(Sample::U8, 4, 1, {200, 200, 200, 200});
    RenderRequest r = window(127.5, 256);
    r.source = QRectF(2, 0, 4, 1);
    r.target = QSize(4, 1);
    for (const Filter filter :
         {Filter::Nearest, Filter::Bilinear, Filter::Bicubic, Filter::Average}) {
        r.filter = filter;
        EXPECT_EQ(row(renderFrame(f, {}, r)), (std::vector<int>{200, 200, 0, 0}));
    }
    // Shrunk by 3 with footprints a third off the image, the average counts the image part.
    const auto g = makeFrame<std::uint8_t>(Sample::U8, 4, 1, {40, 80, 120, 160});
    r.source = QRectF(-1, 0, 6, 1);
    r.target = QSize(2, 1);
    r.filter = Filter::Average;
    EXPECT_EQ(row(renderFrame(g, {}, r)), (std::vector<int>{60, 140}));

    struct Choice {
        double scale;
        int magnification, minification;
        Filter expected;
    };
    for (const Choice &c : std::vector<Choice>{{2.0, 1, 4, Filter::Nearest},
                                               {2.0, 2, 1, Filter::Bicubic},
                                               {2.0, 3, 1, Filter::Bicubic},
                                               {2.0, 0, 1, Filter::Bilinear},
                                               {0.5, 1, 1, Filter::Nearest},
                                               {0.5, 3, 4, Filter::Average},
                                               {0.5, 3, 0, Filter::Average}}) {
        EXPECT_EQ(chooseFilter(c.scale, c.magnification, c.minification), c.expected) << c.scale;
    }

    // Colour is not windowed, and each channel is resampled on its own.
    const auto rgb = makeFrame<std::uint8_t>(Sample::Rgb8, 2, 1, {10, 20, 30, 110, 120, 130});
    RenderRequest c = window(0, 1);
    QImage same = renderFrame(rgb, {}, c);
    ASSERT_EQ(same.format(), QImage::Format_RGB888);
    EXPECT_EQ(std::memcmp(same.constScanLine(0), rgb.data->data(), 6), 0);
    c.target = QSize(4, 1);
    c.filter = Filter::Bilinear;
    const QImage wide = renderFrame(rgb, {}, c);
    const std::uint8_t expected[] = {10, 20, 30, 35, 45, 55, 85, 95, 105, 110, 120, 130};
    EXPECT_EQ(std::memcmp(wide.constScanLine(0), expected, 12), 0);

    struct Fit {
        QSizeF image;
        QSize cell;
        QRect expected;
    };
    for (const Fit &t :
         std::vector<Fit>{{QSizeF(512, 512), QSize(1000, 800), QRect(100, 0, 800, 800)},
                          {QSizeF(3328, 4096), QSize(1000, 1000), QRect(93, 0, 813, 1000)},
                          {QSizeF(100, 50), QSize(10, 10), QRect(0, 2, 10, 5)},
                          {QSizeF(1, 1000), QSize(10, 10), QRect(4, 0, 1, 10)}}) {
        EXPECT_EQ(fitIntoCell(t.image, t.cell), t.expected) << t.cell.width();
    }

    // A cell draws the fitted picture centred on black.
    const auto wideFrame =
        makeFrame<std::uint8_t>(Sample::U8, 4, 2, std::vector<std::uint8_t>(8, 99));
    DisplayLut lut;
    RenderRequest cell = window(127.5, 256);
    cell.target = QSize(4, 4);
    const QImage tile = renderIntoCell(wideFrame, {}, cell, lut);
    ASSERT_EQ(tile.size(), QSize(4, 4));
    EXPECT_EQ(row(tile, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(row(tile, 1), (std::vector<int>{99, 99, 99, 99}));
    EXPECT_EQ(row(tile, 2), (std::vector<int>{99, 99, 99, 99}));
    EXPECT_EQ(row(tile, 3), (std::vector<int>{0, 0, 0, 0}));
}

// ---- bad input ------------------------------------------------------------------------------

TEST(PipelineErrors, MissingPixelsAndSizes) {
    struct Case {
        const char *name;
        PixelFrame frame;
        QSize target;
        int error;
    };
    PixelFrame none;
    PixelFrame shortData = makeFrame<std::uint16_t>(Sample::U16, 3, 1, {1, 2, 3});
    shortData.rows = 2;
    const PixelFrame ok = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {1, 2});
    const std::vector<Case> cases = {
        {"no pixels", none, {}, ravlen::errc::NoPixelData},
        {"fewer bytes than the size needs", shortData, {}, ravlen::errc::Damaged},
        {"huge target", ok, QSize(40000, 10), ravlen::errc::BadArgument},
        {"too many target pixels", ok, QSize(30000, 30000), ravlen::errc::BadArgument},
    };
    for (const auto &c : cases) {
        RenderRequest r = window(0, 10);
        r.target = c.target;
        try {
            renderFrame(c.frame, {}, r);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const ravlen::ToolkitError &e) {
            EXPECT_EQ(e.number(), c.error) << c.name;
        }
    }
}

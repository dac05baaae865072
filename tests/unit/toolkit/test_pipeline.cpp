#include "core/errors.h"
#include "toolkit/pipeline.h"
#include "toolkit/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace ravlen::toolkit;
using Sample = PixelFrame::Sample;
using Photometric = PixelFrame::Photometric;
using Row = std::vector<int>;

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

RenderRequest request(double center, double width, QSize target = {},
                      Filter filter = Filter::Bilinear, QRectF source = {}) {
    RenderRequest r;
    r.center = center;
    r.width = width;
    r.target = target;
    r.filter = filter;
    r.source = source;
    return r;
}

Row row(const QImage &img, int y = 0) {
    const std::uint8_t *p = img.constScanLine(y);
    return Row(p, p + img.width() * (img.format() == QImage::Format_RGB888 ? 3 : 1));
}

const Filter AllFilters[] = {Filter::Nearest, Filter::Bilinear, Filter::Bicubic, Filter::Average};

} // namespace

TEST(PipelineGrey, LinearWindowRescaleAndInversion) {
    const auto M1 = Photometric::Monochrome1;
    const auto M2 = Photometric::Monochrome2;
    struct Case {
        const char *name;
        Photometric photometric;
        double slope, intercept, center, width;
        std::vector<std::int16_t> stored;
        Row expected;
    };
    const Case cases[] = {
        // 100/201: black at -0.5 and below, white above 199.5, 1.275 levels a unit, truncated
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
    for (const Case &c : cases) {
        const auto f = makeFrame<std::int16_t>(Sample::S16, int(c.stored.size()), 1, c.stored, 16,
                                               c.photometric);
        ModalityTransform t;
        t.slope = c.slope;
        t.intercept = c.intercept;
        const QImage img = renderFrame(f, t, request(c.center, c.width));
        ASSERT_EQ(img.format(), QImage::Format_Grayscale8) << c.name;
        EXPECT_EQ(row(img), c.expected) << c.name;
    }
}

TEST(PipelineGrey, LutsStoredRangeAndWideSamples) {
    // Modality LUT from stored value 10; its ends hold outside it.
    ModalityTransform mlut;
    mlut.lut = ModalityTransform::Lut{10, 16, {100, 200, 300, 400, 500, 600, 700, 800}};
    const auto f1 = makeFrame<std::uint16_t>(Sample::U16, 4, 1, {0, 10, 13, 99}, 12);
    EXPECT_EQ(row(renderFrame(f1, mlut, request(450.5, 601))), (Row{0, 0, 106, 255}));

    // VOI LUT from -2: a grey level is an entry's top eight bits; the window is ignored.
    VoiLut voi{-2, 16, {0, 0x0100, 0x8000, 0xFFFF}};
    RenderRequest r = request(0, 1);
    r.voiLut = &voi;
    const auto f2 = makeFrame<std::int16_t>(Sample::S16, 5, 1, {-5, -1, 0, 1, 9});
    EXPECT_EQ(row(renderFrame(f2, {}, r)), (Row{0, 1, 128, 255, 255}));
    VoiLut voi8{0, 8, {0, 7, 200}};
    r.voiLut = &voi8;
    const auto f3 =
        makeFrame<std::uint8_t>(Sample::U8, 3, 1, {0, 1, 2}, 8, Photometric::Monochrome1);
    EXPECT_EQ(row(renderFrame(f3, {}, r)), (Row{255, 248, 55}));

    // Values beyond bits stored take the grey level of the range's nearest end.
    const auto f4 = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {4095, 5000}, 12);
    EXPECT_EQ(row(renderFrame(f4, {}, request(5000, 100))), (Row{0, 0}));
    const auto f5 = makeFrame<std::int16_t>(Sample::S16, 2, 1, {-2048, -3000}, 12);
    EXPECT_EQ(row(renderFrame(f5, {}, request(-3000, 100))), (Row{255, 255}));

    // 32-bit samples: a table over a narrow range of values, each pixel mapped over a huge one.
    for (const std::int32_t top : {-69800, 2000000000}) {
        const auto f = makeFrame<std::int32_t>(Sample::S32, 4, 1, {-70000, -69990, -69900, top});
        DisplayLut lut;
        EXPECT_EQ(row(renderFrame(f, {}, request(-69900, 201), lut)), (Row{0, 13, 128, 255}));
        EXPECT_EQ(lut.hasTable(), top < 0);
    }
}

TEST(DisplayLutCache, EveryEntryFollowsTheFormula) {
    // The table computes only the window's ramp and fills the flat parts; check every entry.
    struct Case {
        double slope, intercept, center, width;
        bool inverted;
    };
    const Case cases[] = {{1, -1024, 40, 400, false},   {2.3, 7, 3000, 500, true},
                          {-0.7, 100, -20, 3.5, false}, {0.001, 0, 1.5, 2, false},
                          {1, 0, 1e9, 10, false},       {1000, -5, 77, 1e6, true}};
    const auto f = makeFrame<std::int16_t>(Sample::S16, 1, 1, {0});
    for (const Case &c : cases) {
        PixelFrame frame = f;
        frame.photometric = c.inverted ? Photometric::Monochrome1 : Photometric::Monochrome2;
        ModalityTransform t;
        t.slope = c.slope;
        t.intercept = c.intercept;
        DisplayLut lut;
        lut.prepare(frame, t, request(c.center, c.width));
        int wrong = 0;
        for (int v = -32768; v <= 32767; ++v) {
            const double x = v * c.slope + c.intercept;
            const double y = std::clamp(
                (x - (c.center - 0.5 - (c.width - 1) / 2)) * 255 / (c.width - 1), 0.0, 255.0);
            const double want = c.inverted ? 255 - y : y;
            wrong += std::abs(lut.map(v) - want) >= 1.0 + 1e-6;
        }
        EXPECT_EQ(wrong, 0) << c.slope << " " << c.center << "/" << c.width;
    }
}

TEST(DisplayLutCache, RebuildsOnlyWhenTheMappingChanges) {
    const auto f = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {0, 4095}, 12);
    const auto other = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {7, 8}, 12);
    ModalityTransform t;
    DisplayLut lut;
    RenderRequest r = request(2048, 4096);
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
    r.width = 7;
    EXPECT_FALSE(lut.prepare(f, t, r)) << "window ignored under a VOI LUT";
    lut.invalidate();
    EXPECT_TRUE(lut.prepare(f, t, r));
    EXPECT_EQ(lut.builds(), 6);
}

TEST(MinMaxWindow, BlackAtTheMinimumWhiteAtTheMaximum) {
    struct Case {
        const char *name;
        double slope, intercept;
        std::vector<std::int16_t> stored;
        WindowSetting expected;
    };
    const Case cases[] = {
        {"CT", 1, -1024, {24, 1024, 3000}, {488.5, 2977}},
        {"negative slope swaps the ends", -2, 10, {0, 5}, {5.5, 11}},
        {"constant frame", 1, 0, {7, 7}, {7.5, 1}},
        {"awkward fractions", 1, 0, {-300, 20, 900}, {300.5, 1201}},
    };
    for (const Case &c : cases) {
        const auto f = makeFrame<std::int16_t>(Sample::S16, int(c.stored.size()), 1, c.stored);
        ModalityTransform t;
        t.slope = c.slope;
        t.intercept = c.intercept;
        const WindowSetting w = minMaxWindow(f, t);
        EXPECT_EQ(w, c.expected) << c.name;
        if (c.expected.width > 1) {
            // exact arithmetic puts the extremes on 0 and 255; rounding must not lose a level
            const Row grey = row(renderFrame(f, t, request(w.center, w.width)));
            EXPECT_EQ(*std::min_element(grey.begin(), grey.end()), 0) << c.name;
            EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), 255) << c.name;
        }
    }
    // Through a modality LUT only the entries the pixels use count.
    ModalityTransform mlut;
    mlut.lut = ModalityTransform::Lut{0, 16, {900, 50, 7000, 400}};
    const auto f = makeFrame<std::uint8_t>(Sample::U8, 2, 1, {1, 3});
    EXPECT_EQ(minMaxWindow(f, mlut), (WindowSetting{225.5, 351}));
}

TEST(Resample, ConstantStaysConstantAndOwnSizeIsExact) {
    std::vector<std::uint16_t> ramp(37 * 23);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = std::uint16_t(i % 256);
    }
    const auto flat =
        makeFrame<std::uint16_t>(Sample::U16, 37, 23, std::vector<std::uint16_t>(37 * 23, 77), 8);
    const auto varied = makeFrame<std::uint16_t>(Sample::U16, 37, 23, ramp, 8);
    const QImage reference = renderFrame(varied, {}, request(127.5, 256));
    for (const Filter filter : AllFilters) {
        for (const QSize size : {QSize(37, 23), QSize(5, 3), QSize(100, 61), QSize(80, 7)}) {
            const QImage img = renderFrame(flat, {}, request(127.5, 256, size, filter));
            QImage want(size, QImage::Format_Grayscale8);
            want.fill(77);
            EXPECT_EQ(img, want) << int(filter) << " " << size.width();
        }
        // Own size through the resampler (a source rectangle a hair off the image forces it).
        const QImage same = renderFrame(
            varied, {}, request(127.5, 256, QSize(37, 23), filter, QRectF(0, 0, 37, 23 + 1e-12)));
        EXPECT_EQ(same, reference) << int(filter);
    }
}

TEST(Resample, FilterValues) {
    std::vector<std::uint8_t> v(8 * 6);
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = std::uint8_t(i);
    }
    const auto f = makeFrame<std::uint8_t>(Sample::U8, 8, 6, v);
    const QImage nearest = renderFrame(f, {}, request(127.5, 256, QSize(4, 3), Filter::Nearest));
    const QImage mean = renderFrame(f, {}, request(127.5, 256, QSize(4, 3), Filter::Average));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            // the source pixel under the output pixel's centre, (2x + 1, 2y + 1) ...
            EXPECT_EQ(row(nearest, y)[x], (2 * y + 1) * 8 + 2 * x + 1);
            // ... and the 2x2 block's mean, 16y + 2x + 4.5, rounded
            EXPECT_EQ(row(mean, y)[x], 16 * y + 2 * x + 5);
        }
    }
    struct Case {
        const char *name;
        std::vector<std::uint8_t> in;
        int width;
        Filter filter;
        QRectF source;
        Row out;
    };
    const Case cases[] = {
        {"nearest magnified by 3", {10, 20}, 6, Filter::Nearest, {}, {10, 10, 10, 20, 20, 20}},
        {"bilinear between centres", {0, 200}, 4, Filter::Bilinear, {}, {0, 50, 150, 200}},
        {"average by 3",
         {0, 0, 0, 255, 255, 255, 30, 60, 90},
         3,
         Filter::Average,
         {},
         {0, 255, 60}},
        {"average by 1.5 weighs parts", {0, 90, 180}, 2, Filter::Average, {}, {30, 150}},
        {"average counts the image part",
         {40, 80, 120, 160},
         2,
         Filter::Average,
         QRectF(-1, 0, 6, 1),
         {60, 140}},
        {"off the image is black",
         {200, 200, 200, 200},
         4,
         Filter::Bicubic,
         QRectF(2, 0, 4, 1),
         {200, 200, 0, 0}},
    };
    for (const Case &c : cases) {
        const auto line = makeFrame<std::uint8_t>(Sample::U8, int(c.in.size()), 1, c.in);
        const QImage img =
            renderFrame(line, {}, request(127.5, 256, QSize(c.width, 1), c.filter, c.source));
        EXPECT_EQ(row(img), c.out) << c.name;
    }

    // A hard edge magnified with the cubic filter rings; the ringing is clipped, never wrapped.
    std::vector<std::uint8_t> step(16, 0);
    std::fill(step.begin() + 8, step.end(), 255);
    const auto edge = makeFrame<std::uint8_t>(Sample::U8, 16, 1, step);
    const Row out = row(renderFrame(edge, {}, request(127.5, 256, QSize(64, 1), Filter::Bicubic)));
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end()));
    EXPECT_EQ(out.front(), 0);
    EXPECT_EQ(out.back(), 255);
}

TEST(Resample, ColourAndCells) {
    // Colour is not windowed, and each channel is resampled on its own.
    const auto rgb = makeFrame<std::uint8_t>(Sample::Rgb8, 2, 1, {10, 20, 30, 110, 120, 130});
    const QImage same = renderFrame(rgb, {}, request(0, 1));
    ASSERT_EQ(same.format(), QImage::Format_RGB888);
    EXPECT_EQ(row(same), (Row{10, 20, 30, 110, 120, 130}));
    EXPECT_EQ(row(renderFrame(rgb, {}, request(0, 1, QSize(4, 1)))),
              (Row{10, 20, 30, 35, 45, 55, 85, 95, 105, 110, 120, 130}));

    EXPECT_EQ(fitIntoCell(QSizeF(512, 512), QSize(1000, 800)), QRect(100, 0, 800, 800));
    EXPECT_EQ(fitIntoCell(QSizeF(3328, 4096), QSize(1000, 1000)), QRect(93, 0, 813, 1000));
    EXPECT_EQ(fitIntoCell(QSizeF(1, 1000), QSize(10, 10)), QRect(4, 0, 1, 10));

    // A cell draws the fitted picture centred on black.
    const auto wide = makeFrame<std::uint8_t>(Sample::U8, 4, 2, std::vector<std::uint8_t>(8, 99));
    DisplayLut lut;
    const QImage tile = renderIntoCell(wide, {}, request(127.5, 256, QSize(4, 4)), lut);
    const Row black(4, 0);
    const Row grey(4, 99);
    EXPECT_EQ((std::vector<Row>{row(tile, 0), row(tile, 1), row(tile, 2), row(tile, 3)}),
              (std::vector<Row>{black, grey, grey, black}));
}

TEST(PipelineErrors, MissingPixelsAndSizes) {
    PixelFrame shortData = makeFrame<std::uint16_t>(Sample::U16, 3, 1, {1, 2, 3});
    shortData.rows = 2;
    const PixelFrame ok = makeFrame<std::uint16_t>(Sample::U16, 2, 1, {1, 2});
    struct Case {
        const char *name;
        PixelFrame frame;
        QSize target;
        int error;
    };
    const Case cases[] = {
        {"no pixels", PixelFrame{}, {}, ravlen::errc::NoPixelData},
        {"fewer bytes than the size needs", shortData, {}, ravlen::errc::Damaged},
        {"huge target", ok, QSize(40000, 10), ravlen::errc::BadArgument},
        {"too many target pixels", ok, QSize(30000, 30000), ravlen::errc::BadArgument},
    };
    for (const Case &c : cases) {
        try {
            renderFrame(c.frame, {}, request(0, 10, c.target));
            ADD_FAILURE() << c.name << ": no error";
        } catch (const ravlen::ToolkitError &e) {
            EXPECT_EQ(e.number(), c.error) << c.name;
        }
    }
}

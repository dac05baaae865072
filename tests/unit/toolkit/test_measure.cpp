// Measurements: the calibration rule, lengths and areas in the image's units, and region means
// over the pixels whose centres lie inside a shape, checked against a pixel-by-pixel reference.
#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "toolkit/image.h"
#include "toolkit/measure.h"
#include "toolkit/tilegeometry.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cmath>

using namespace ravlen;
using namespace ravlen::testdata;
using toolkit::Calibration;
using toolkit::ImageShape;
using toolkit::Label;

namespace {

using Values = std::optional<std::vector<double>>;

std::shared_ptr<toolkit::Image> image(int columns, int rows, const std::function<int(int, int)> &at,
                                      const std::function<void(DataSetBuilder &)> &extra = {}) {
    std::vector<int> values;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            values.push_back(at(x, y));
        }
    }
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(rows, columns, 1, 16, 16, true, values));
    if (extra) {
        extra(b);
    }
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "m");
}

// A label already in image pixels.
Label imageLabel(int type, QPointF a, QPointF b, std::vector<QPointF> points = {}) {
    Label l;
    l.type = type;
    l.space = Label::Space::Image;
    l.left = a.x();
    l.top = a.y();
    l.width = b.x() - a.x();
    l.height = b.y() - a.y();
    l.points = std::move(points);
    return l;
}

toolkit::TileTransform identity(int columns, int rows) {
    toolkit::TileView v;
    v.image = QSize(columns, rows);
    v.cell = QSize(columns, rows);
    return toolkit::tileTransform(v);
}

} // namespace

TEST(Calibration, PixelSpacingThenImagerSpacingOverMagnificationThenPixels) {
    const struct {
        Values ps, ips;
        std::optional<double> ermf;
        double row, column;
        const char *unit;
    } rows[] = {
        {std::vector<double>{0.5, 0.25}, std::vector<double>{0.1, 0.1}, 2.0, 0.5, 0.25, "mm"},
        {std::nullopt, std::vector<double>{0.2, 0.3}, std::nullopt, 0.2, 0.3, "mm"},
        {std::nullopt, std::vector<double>{0.2, 0.3}, 2.0, 0.1, 0.15, "mm"},
        // A factor below 1 would enlarge the patient: not a magnification, not used.
        {std::nullopt, std::vector<double>{0.2, 0.3}, 0.5, 0.2, 0.3, "mm"},
        {std::nullopt, std::nullopt, 1.5, 1.0, 1.0, "px"},
        // Unusable spacings fall through to the next source, and finally to pixels.
        {std::vector<double>{0.0, 0.5}, std::vector<double>{0.4, 0.4}, std::nullopt, 0.4, 0.4,
         "mm"},
        {std::vector<double>{-1.0, -1.0}, std::nullopt, std::nullopt, 1.0, 1.0, "px"},
        {std::vector<double>{1e9, 1.0}, std::nullopt, std::nullopt, 1.0, 1.0, "px"},
        {std::vector<double>{0.7}, std::nullopt, std::nullopt, 0.7, 0.7, "mm"},
    };
    for (const auto &r : rows) {
        const Calibration c = toolkit::resolveCalibration(r.ps, r.ips, r.ermf);
        EXPECT_DOUBLE_EQ(c.rowSpacing, r.row);
        EXPECT_DOUBLE_EQ(c.columnSpacing, r.column);
        EXPECT_EQ(c.unit(), QString::fromLatin1(r.unit));
    }
}

TEST(Calibration, ReadFromTheImageAndNonNumbersIgnored) {
    const auto calibrated = image(
        4, 4, [](int, int) { return 0; },
        [](DataSetBuilder &b) {
            b.set(0x0018, 0x1164, QStringLiteral("0.2\\0.2"));
            b.set(0x0018, 0x1114, QStringLiteral("1.25"));
        });
    const Calibration c = toolkit::calibrationOf(*calibrated);
    EXPECT_EQ(c.source, Calibration::Source::ImagerPixelSpacing);
    EXPECT_DOUBLE_EQ(c.rowSpacing, 0.16);

    const auto broken = image(
        4, 4, [](int, int) { return 0; },
        [](DataSetBuilder &b) { b.set(0x0028, 0x0030, QStringLiteral("abc\\def")); });
    EXPECT_EQ(toolkit::calibrationOf(*broken).unit(), QStringLiteral("px"));
}

TEST(Measure, LengthsTakeRowSpacingDownAndColumnSpacingAcross) {
    Calibration c;
    c.rowSpacing = 2.0;    // between rows: vertical
    c.columnSpacing = 0.5; // between columns: horizontal
    c.source = Calibration::Source::PixelSpacing;
    ImageShape across{Label::Line, {0, 0}, {10, 0}, {}};
    ImageShape down{Label::Line, {0, 0}, {0, 10}, {}};
    EXPECT_DOUBLE_EQ(toolkit::shapeLength(across, c), 5.0);
    EXPECT_DOUBLE_EQ(toolkit::shapeLength(down, c), 20.0);
    ImageShape polyline{Label::PolyLine, {}, {}, {{0, 0}, {10, 0}, {10, 10}}};
    EXPECT_DOUBLE_EQ(toolkit::shapeLength(polyline, c), 25.0);

    ImageShape rect{Label::Rectangle, {10, 10}, {0, 0}, {}};
    EXPECT_DOUBLE_EQ(toolkit::shapeArea(rect, c), 100.0);
    ImageShape ellipse{Label::Ellipse, {0, 0}, {10, 10}, {}};
    EXPECT_NEAR(toolkit::shapeArea(ellipse, c), M_PI * 2.5 * 10.0, 1e-9);
    ImageShape square{Label::Polygon, {}, {}, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    EXPECT_DOUBLE_EQ(toolkit::shapeArea(square, c), 100.0);
    EXPECT_DOUBLE_EQ(toolkit::shapeArea(ImageShape{Label::Arrow, {0, 0}, {5, 5}, {}}, c), 0.0);
}

TEST(Measure, RegionMasksMatchThePixelCentreReference) {
    const int columns = 37;
    const int rows = 29;
    const auto img = image(columns, rows, [](int x, int y) { return x * 7 + y * 131 - 900; });
    const toolkit::PixelFrame frame = img->frame(1);
    QRandomGenerator random(20261206);
    // Odd offsets keep edges off the pixel centres, so the reference is unambiguous.
    const auto coordinate = [&](int limit) {
        return random.bounded(limit * 10 + 60) / 10.0 - 3.0 + 0.0137;
    };
    for (int trial = 0; trial < 300; ++trial) {
        ImageShape shape;
        shape.type = std::array{Label::Rectangle, Label::Ellipse, Label::Polygon}[trial % 3];
        shape.start = QPointF(coordinate(columns), coordinate(rows));
        shape.end = QPointF(coordinate(columns), coordinate(rows));
        if (shape.type == Label::Polygon) {
            const int corners = 3 + trial % 6;
            for (int i = 0; i < corners; ++i) {
                shape.points.push_back(QPointF(coordinate(columns), coordinate(rows)));
            }
        }
        std::int64_t count = 0;
        double sum = 0.0;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                if (toolkit::centreInside(shape, x, y)) {
                    ++count;
                    sum += x * 7 + y * 131 - 900;
                }
            }
        }
        const toolkit::RegionStats stats =
            toolkit::regionStats(frame, img->modalityTransform(), shape, std::nullopt);
        if (count == 0) {
            EXPECT_LE(stats.pixels, 1) << "a region smaller than a pixel takes its centre pixel";
            continue;
        }
        ASSERT_EQ(stats.pixels, count) << "trial " << trial;
        EXPECT_NEAR(stats.mean, sum / count, 1e-6) << "trial " << trial;
    }
}

TEST(Measure, MeanIsInModalityUnitsWithoutPadding) {
    const auto ct = image(
        8, 8, [](int x, int) { return x < 4 ? -2000 : 1064; },
        [](DataSetBuilder &b) {
            b.set(0x0028, 0x1053, QStringLiteral("1"));
            b.set(0x0028, 0x1052, QStringLiteral("-1024"));
            b.set(0x0028, 0x0120, QStringLiteral("SS"), QStringLiteral("-2000"));
        });
    const Label whole = imageLabel(Label::Rectangle, {0, 0}, {8, 8});
    const toolkit::Measurement m =
        toolkit::measureLabel(whole, *ct, identity(8, 8), QRect(0, 0, 8, 8));
    ASSERT_TRUE(m.mean);
    EXPECT_EQ(m.pixels, 32) << "padding pixels left out";
    EXPECT_DOUBLE_EQ(*m.mean, 40.0);
    EXPECT_EQ(m.unit, QStringLiteral("px"));
    EXPECT_DOUBLE_EQ(m.area, 64.0);
}

TEST(Measure, ColourHasNoMeanAndAnImageWithoutPixelsIsRefused) {
    DataSetBuilder b = baseDataSet();
    PixelSpec rgbPixels;
    rgbPixels.rows = 2;
    rgbPixels.columns = 2;
    rgbPixels.samplesPerPixel = 3;
    rgbPixels.bitsAllocated = 8;
    rgbPixels.bitsStored = 8;
    rgbPixels.photometric = QStringLiteral("RGB");
    rgbPixels.data = bytes(rgbValues(2, 2, 1));
    b.setPixels(rgbPixels);
    const auto rgb =
        toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "rgb");
    const toolkit::Measurement m = toolkit::measureLabel(imageLabel(Label::Ellipse, {0, 0}, {2, 2}),
                                                         *rgb, identity(2, 2), QRect(0, 0, 2, 2));
    EXPECT_FALSE(m.mean);
    EXPECT_GT(m.area, 0.0);

    const auto none = toolkit::Image::placeholder();
    try {
        toolkit::measureLabel(imageLabel(Label::Line, {0, 0}, {1, 1}), *none, identity(1, 1),
                              QRect(0, 0, 1, 1));
        FAIL() << "measured an image without pixels";
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), errc::NoPixelData);
    }
}

TEST(Measure, HostileGeometryGivesFiniteResults) {
    const auto img = image(16, 16, [](int, int) { return 5; });
    const toolkit::PixelFrame frame = img->frame(1);
    const double huge = 1e300;
    for (const ImageShape &shape :
         {ImageShape{Label::Rectangle, {-huge, -huge}, {huge, huge}, {}},
          ImageShape{Label::Ellipse, {NAN, 0}, {4, 4}, {}},
          ImageShape{Label::Polygon, {}, {}, {{0, 0}, {huge, 0}, {0, huge}}},
          ImageShape{Label::Polygon, {}, {}, {{1, 1}, {1, 1}, {1, 1}}}}) {
        const toolkit::RegionStats s =
            toolkit::regionStats(frame, img->modalityTransform(), shape, std::nullopt);
        EXPECT_TRUE(std::isfinite(s.mean));
        EXPECT_LE(s.pixels, 256);
    }
    const Calibration c;
    EXPECT_TRUE(std::isfinite(
        toolkit::shapeLength(ImageShape{Label::Line, {-huge, 0}, {huge, NAN}, {}}, c)));
}

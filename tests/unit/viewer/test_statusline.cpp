#include "viewertestsupport.h"

#include "viewer/statusline.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ravlen;
using toolkit::ModalityTransform;
using toolkit::PixelFrame;
using viewer::PixelReading;

namespace {

template <typename T>
PixelFrame frameOf(PixelFrame::Sample sample, int columns, int rows, const std::vector<T> &values) {
    PixelFrame f;
    f.columns = columns;
    f.rows = rows;
    f.sample = sample;
    auto data = std::make_shared<std::vector<std::uint8_t>>(values.size() * sizeof(T));
    std::memcpy(data->data(), values.data(), data->size());
    f.data = data;
    return f;
}

TEST(PixelValue, StoredValuesThroughRescaleOrModalityTable) {
    const PixelFrame s16 =
        frameOf<std::int16_t>(PixelFrame::Sample::S16, 3, 2, {-2000, 0, 1000, 7, 8, 32767});
    ModalityTransform rescale;
    rescale.slope = 0.5;
    rescale.intercept = -1024;
    EXPECT_EQ(viewer::modalityValueAt(s16, rescale, 0, 0), -2024.0);
    EXPECT_EQ(viewer::modalityValueAt(s16, rescale, 2, 0), -524.0);
    EXPECT_EQ(viewer::modalityValueAt(s16, rescale, 2, 1), 32767 * 0.5 - 1024);

    ModalityTransform table;
    table.lut = ModalityTransform::Lut{5, 16, {100, 200, 300, 400}}; // stored 5..8
    EXPECT_EQ(viewer::modalityValueAt(s16, table, 0, 1), 300.0);     // stored 7
    EXPECT_EQ(viewer::modalityValueAt(s16, table, 1, 0), 100.0);     // 0: below the table
    EXPECT_EQ(viewer::modalityValueAt(s16, table, 2, 0), 400.0);     // 1000: above it

    const PixelFrame u8 = frameOf<std::uint8_t>(PixelFrame::Sample::U8, 2, 1, {250, 3});
    EXPECT_EQ(viewer::modalityValueAt(u8, ModalityTransform{}, 0, 0), 250.0);
    const PixelFrame u32 = frameOf<std::uint32_t>(PixelFrame::Sample::U32, 1, 1, {4000000000u});
    EXPECT_EQ(viewer::modalityValueAt(u32, ModalityTransform{}, 0, 0), 4000000000.0);

    // Outside the frame, or a frame shorter than it claims, or colour: no value.
    for (auto [c, r] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(viewer::modalityValueAt(s16, rescale, c, r), std::nullopt) << c << "," << r;
    }
    PixelFrame shortFrame = s16;
    shortFrame.rows = 3;
    EXPECT_EQ(viewer::modalityValueAt(shortFrame, rescale, 0, 2), std::nullopt);
    const PixelFrame rgb = frameOf<std::uint8_t>(PixelFrame::Sample::Rgb8, 1, 1, {1, 2, 3});
    EXPECT_EQ(viewer::modalityValueAt(rgb, rescale, 0, 0), std::nullopt);
}

TEST(PixelValue, ReadsTheImagePixelUnderAFractionalPoint) {
    test::TestImage desc;
    desc.slope = 2;
    desc.intercept = -1000;
    const auto image = test::makeImage(desc); // stored value = column * 100 + row
    const auto reading = viewer::readPixel(*image, QPointF(2.9, 1.2));
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->column, 2);
    EXPECT_EQ(reading->row, 1);
    EXPECT_EQ(reading->value, 201 * 2 - 1000.0);
    EXPECT_EQ(viewer::readPixel(*image, QPointF(4.0, 0.0)), std::nullopt);
    EXPECT_EQ(viewer::readPixel(*image, QPointF(-0.5, 0.0)), std::nullopt);
}

TEST(StatusText, PositionPixelAndValue) {
    const auto grey = [](int c, int r, double v) {
        PixelReading p;
        p.column = c;
        p.row = r;
        p.value = v;
        return std::optional<PixelReading>(p);
    };
    PixelReading colour;
    colour.column = 5;
    colour.row = 6;
    colour.red = 10;
    colour.green = 20;
    colour.blue = 30;
    struct Row {
        int position, count;
        std::optional<PixelReading> reading;
        QString modality, expected;
    };
    const Row table[] = {
        {3, 20, std::nullopt, "CT", "Image 3 of 20"},
        {3, 20, grey(120, 45, -40), "CT", "Image 3 of 20    120, 45    -40 HU"},
        {3, 20, grey(120, 45, -40), "ct ", "Image 3 of 20    120, 45    -40 HU"},
        {1, 1, grey(0, 0, 1023), "MR", "Image 1 of 1    0, 0    1023"},
        {2, 4, grey(1, 2, 12.3456), "PT", "Image 2 of 4    1, 2    12.35"},
        {2, 4, colour, "XC", "Image 2 of 4    5, 6    R 10, G 20, B 30"},
        {0, 0, std::nullopt, "", "No images"},
    };
    for (const Row &r : table) {
        EXPECT_EQ(viewer::statusText(r.position, r.count, r.reading, r.modality), r.expected);
    }
}

} // namespace

// The text overlay and side markers: the composed blocks, what a rebuild removes and keeps,
// the Text Modes choices, and hostile values.
#include "viewertestsupport.h"

#include "dialogs/textmodes.h"
#include "toolkit/label.h"
#include "viewer/overlays.h"

#include <gtest/gtest.h>

using namespace ravlen;
using toolkit::Label;

namespace {

std::shared_ptr<toolkit::Image> ct(const std::function<void(toolkit::DataSetBuilder &)> &more) {
    toolkit::DataSetBuilder b = test::imageBuilder(test::TestImage());
    b.set(0x0020, 0x0010, QStringLiteral("4711"));
    b.set(0x0020, 0x0011, QStringLiteral("3"));
    b.set(0x0020, 0x0013, QStringLiteral("17"));
    b.set(0x0020, 0x1041, QStringLiteral("-12.5"));
    b.set(0x0018, 0x0050, QStringLiteral("5"));
    b.set(0x0018, 0x0060, QStringLiteral("120"));
    b.set(0x0018, 0x1151, QStringLiteral("250"));
    b.set(0x0018, 0x1120, QStringLiteral("0"));
    b.set(0x0008, 0x0032, QStringLiteral("101530"));
    b.set(0x0008, 0x0080, QStringLiteral("St. Elsewhere"));
    b.set(0x0010, 0x1010, QStringLiteral("054Y"));
    b.set(0x0010, 0x0040, QStringLiteral("M"));
    b.set(0x0008, 0x0020, QStringLiteral("20240131"));
    if (more) {
        more(b);
    }
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "ct");
}

QStringList texts(const toolkit::Image &image, int type = Label::Text) {
    QStringList out;
    for (int i = 1; i <= image.labels().count(); ++i) {
        if (image.labels().item(i)->type == type) {
            out << image.labels().item(i)->text;
        }
    }
    return out;
}

} // namespace

TEST(Overlay, TheThreeBlocksAreComposedFromTheImage) {
    const auto image = ct({});
    image->setWidth(400);
    image->setLevel(40);
    image->setZoom(1.5);
    const viewer::OverlayBlocks b = viewer::composeOverlay(viewer::overlayFieldsOf(*image));
    EXPECT_EQ(b.topLeft, " \r\nEx:4711\r\nSe:3\r\nOM -12.50\r\nIm:17");
    EXPECT_EQ(b.bottomLeft, "kV 120\r\nmA 250\r\n \r\n5.00mm\r\nTilt 0\r\n101530\r\n"
                            "W = 400   L = 40");
    EXPECT_EQ(b.topRight, "St. Elsewhere\r\nDoe, John Quincy\r\n054Y M PID-7\r\n2024-01-31\r\n2"
                          "\r\n\r\nMF: 1.50");

    viewer::OverlayFields f = viewer::overlayFieldsOf(*image);
    f.sliceLocation = 0.5;
    f.sliceThickness.reset();
    f.width = 2.5; // halves to even
    f.level = -1e300;
    const viewer::OverlayBlocks odd = viewer::composeOverlay(f);
    EXPECT_TRUE(odd.topLeft.contains("OM .50"));
    EXPECT_TRUE(odd.bottomLeft.contains(" \r\n\r\nTilt")) << "no thickness: no unit either";
    EXPECT_TRUE(odd.bottomLeft.endsWith("W = 2   L = -2147483648"));
}

TEST(Overlay, TextModesLeaveTheirLinesEmptyAndTheOthersInPlace) {
    const auto image = ct({});
    viewer::TextModes modes = viewer::allTextModes();
    modes[viewer::ExamNo] = false;
    modes[viewer::PatientName] = false;
    modes[viewer::ScanParams] = false;
    modes[viewer::Time] = false;
    const viewer::OverlayBlocks b = viewer::composeOverlay(viewer::overlayFieldsOf(*image), modes);
    EXPECT_EQ(b.topLeft, " \r\n\r\nSe:3\r\nOM -12.50\r\nIm:17");
    EXPECT_TRUE(b.bottomLeft.startsWith("\r\n\r\n \r\n5.00mm\r\nTilt 0\r\n\r\nW = "));
    EXPECT_TRUE(b.topRight.startsWith("St. Elsewhere\r\n\r\n054Y"));

    // The stored form of the choices, and what a damaged one gives.
    textmodes::Choices c = textmodes::fromText(QStringLiteral("101010101010101"));
    EXPECT_FALSE(c[1]);
    EXPECT_EQ(textmodes::toText(c), "101010101010101");
    for (const char *bad : {"", "1111", "11111111111111x", "1111111111111111"}) {
        const textmodes::Choices all = textmodes::fromText(QString::fromLatin1(bad));
        EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](bool b) { return b; })) << bad;
    }
    EXPECT_EQ(textmodes::captions().size(), 16);
}

TEST(Overlay, ARebuildReplacesTheBlocksAndKeepsTheUsersLabels) {
    const auto image = ct({});
    auto mine = image->labels().create();
    mine->text = QStringLiteral("Liver");
    viewer::BuildOverlay(*image);
    viewer::RemoveOverlay(*image);
    viewer::BuildOverlay(*image);
    viewer::RemoveOverlay(*image);
    viewer::BuildOverlay(*image);
    const QStringList all = texts(*image);
    EXPECT_EQ(all.size(), 4) << "one set of three blocks, and the user's label";
    EXPECT_TRUE(all.contains("Liver"));
    for (int i = 1; i <= image->labels().count(); ++i) {
        const Label &l = *image->labels().item(i);
        if (l.text != "Liver") {
            EXPECT_TRUE(l.cellRelative);
            EXPECT_EQ(l.font, "Courier New");
            EXPECT_EQ(l.fontSize, 20);
        }
    }
    // Without an institution, and with every first line left out, a rebuild still finds them.
    const auto bare = ct([](toolkit::DataSetBuilder &b) { b.set(0x0008, 0x0080, QString()); });
    viewer::TextModes none{};
    for (int i = 0; i < 3; ++i) {
        viewer::RemoveOverlay(*bare);
        viewer::BuildOverlay(*bare, none);
    }
    EXPECT_EQ(texts(*bare).size(), 3);
}

TEST(Overlay, APresetPutsTheSlidersWindowOnTheImage) {
    const auto image = ct({});
    viewer::BuildOverlay(*image, viewer::allTextModes(), viewer::PresetWindow{1000, -700});
    EXPECT_EQ(image->width(), 1000);
    EXPECT_EQ(image->level(), -700);
}

TEST(SideMarkers, OnTwiceGivesOneSetAndOffLeavesTheBars) {
    toolkit::ImageCollection images;
    images.add(ct({}));
    images.add(ct({}));
    viewer::DrawSideMarkers(images, true);
    viewer::DrawSideMarkers(images, true);
    const toolkit::Image &first = *images.item(1);
    EXPECT_EQ(texts(first, Label::SideMarker),
              QStringList({"LEFT", "TOP", "RIGHT", "BOTTOM", "LEFT", "TOP", "RIGHT", "BOTTOM"}));
    ASSERT_EQ(texts(first, Label::EdgeBar).size(), 2);
    const Label &bottomBar = *first.labels().item(first.labels().count());
    EXPECT_DOUBLE_EQ(bottomBar.left, 387.5);
    EXPECT_DOUBLE_EQ(bottomBar.top, 950);
    EXPECT_DOUBLE_EQ(bottomBar.height, -30);
    EXPECT_TRUE(bottomBar.markerFlag);
    const Label &bottomMarker = *first.labels().item(4);
    EXPECT_DOUBLE_EQ(bottomMarker.top, 800);
    EXPECT_EQ(bottomMarker.alignment, 9);
    EXPECT_EQ(bottomMarker.foreColour, 0u) << "the dark set first";

    viewer::DrawSideMarkers(images, false);
    EXPECT_TRUE(texts(first, Label::SideMarker).isEmpty());
    EXPECT_EQ(texts(first, Label::EdgeBar).size(), 2) << "switching off leaves the bars";
}

TEST(Overlay, HostileValuesComposeAndNothingBreaks) {
    const QString huge(10000, QLatin1Char('H'));
    const auto image = ct([&](toolkit::DataSetBuilder &b) {
        b.set(0x0008, 0x0080, huge);
        b.set(0x0020, 0x0010, QString::fromUtf8("\x01\x02\x1b[31m\r\n"));
        b.set(0x0010, 0x0010, QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd^\u202eevil"));
        b.set(0x0020, 0x1041, QStringLiteral("not a number"));
    });
    viewer::BuildOverlay(*image);
    const QStringList blocks = texts(*image);
    ASSERT_EQ(blocks.size(), 3);
    EXPECT_TRUE(blocks[2].startsWith(huge));
    EXPECT_TRUE(blocks[0].contains("OM \r\n")) << "a slice location that is no number";
    // Every attribute missing.
    toolkit::DataSetBuilder b = testdata::baseDataSet();
    b.setPixels(testdata::monochrome(1, 1, 1, 16, 16, false, {0}));
    const auto empty =
        toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "empty");
    viewer::BuildOverlay(*empty);
    EXPECT_EQ(texts(*empty).size(), 3);
}

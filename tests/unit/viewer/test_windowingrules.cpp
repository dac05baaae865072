// The windowing, zoom and orientation arithmetic of the viewer window, without a window.
#include "viewertestsupport.h"

#include "toolkit/tilegeometry.h"
#include "viewer/orientationrules.h"
#include "viewer/windowingrules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ravlen;
using namespace ravlen::viewer;

namespace {

std::shared_ptr<toolkit::Image> imageFrom(toolkit::DataSetBuilder b) {
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "t");
}

} // namespace

TEST(WindowingRules, PresetsGiveTheirExactWindows) {
    struct Row {
        const char *button;
        int width;
        int level;
    };
    const Row table[] = {{"btnHead", 100, 35},        {"btnAbdomen", 400, 40},
                         {"btnMediastinum", 350, 40}, {"btnLung", 1000, -700},
                         {"btnSpine", 300, 35},       {"btnVertebrae", 2000, 350}};
    for (const Row &r : table) {
        const auto preset = presetByButton(QString::fromLatin1(r.button));
        ASSERT_TRUE(preset) << r.button;
        EXPECT_EQ(preset->width, r.width) << r.button;
        EXPECT_EQ(preset->level, r.level) << r.button;
    }
    EXPECT_FALSE(presetByButton("btnKnee"));
}

TEST(WindowingRules, DefaultLevelRangesAreThreeWidthsEitherWay) {
    const DefaultLevelRanges r = defaultLevelRanges(400, 40);
    EXPECT_EQ(r.width, (SliderRange{-1200, 1200, 400}));
    EXPECT_EQ(r.level, (SliderRange{-1200, 1200, 40}));
    // DICOM windows are decimal: halves go to even, and the level may lie outside the range
    // the width gives (the slider then widens, see below).
    const DefaultLevelRanges odd = defaultLevelRanges(400.5, -1500.5);
    EXPECT_EQ(odd.width, (SliderRange{-1202, 1202, 400}));
    EXPECT_EQ(odd.level.value, -1500);
    // A hostile window does not overflow the sliders' ints.
    const DefaultLevelRanges huge = defaultLevelRanges(1e300, 0);
    EXPECT_GT(huge.width.maximum, 0);
    EXPECT_LT(huge.width.minimum, 0);
}

TEST(WindowingRules, WhichControlsAnImageCallsFor) {
    const QString ct = QStringLiteral("1.2.840.10008.5.1.4.1.1.2");
    struct Row {
        const char *what;
        std::optional<ImageFacts> facts;
        bool levelWidth, combined, boxes;
        std::optional<int> levelMax, widthMax;
    };
    const Row table[] = {
        {"empty set", std::nullopt, false, false, false, {}, {}},
        {"CT 16-bit", ImageFacts{false, false, ct, 16}, true, false, true, {}, {}},
        {"CT 8-bit", ImageFacts{false, false, ct, 8}, true, false, true, 256, 512},
        {"VOI LUT", ImageFacts{true, false, ct, 16}, false, false, false, {}, {}},
        {"companion", ImageFacts{false, true, ct, 8}, false, false, false, {}, {}},
        {"NM", ImageFacts{false, false, kNuclearMedicineSopClass, 16}, false, true, true, {}, {}},
        // the 8-bit maxima belong to the level and width sliders only
        {"NM 8-bit",
         ImageFacts{false, false, kNuclearMedicineSopClass, 8},
         false,
         true,
         true,
         {},
         {}},
        {"NM with VOI LUT",
         ImageFacts{true, false, kNuclearMedicineSopClass, 16},
         false,
         false,
         false,
         {},
         {}},
    };
    for (const Row &r : table) {
        const WindowingVisibility v = windowingVisibility(r.facts);
        EXPECT_EQ(v.levelWidth, r.levelWidth) << r.what;
        EXPECT_EQ(v.combined, r.combined) << r.what;
        EXPECT_EQ(v.boxes, r.boxes) << r.what;
        EXPECT_EQ(v.levelMaximum, r.levelMax) << r.what;
        EXPECT_EQ(v.widthMaximum, r.widthMax) << r.what;
    }
}

TEST(WindowingRules, ImageFactsComeFromTheDataSet) {
    toolkit::DataSetBuilder eightBit = testdata::baseDataSet(kNuclearMedicineSopClass);
    eightBit.setPixels(testdata::monochrome(2, 2, 1, 8, 8, false, {0, 50, 100, 255}));
    const ImageFacts nm = imageFacts(*imageFrom(eightBit));
    EXPECT_EQ(nm.sopClassUid, kNuclearMedicineSopClass);
    EXPECT_EQ(nm.bitsAllocated, 8);
    EXPECT_FALSE(nm.voiLutSequence);

    toolkit::DataSetBuilder lut;
    lut.set(0x0028, 0x3002, QStringLiteral("US"), QStringLiteral("4\\0\\12"));
    lut.setBytes(0x0028, 0x3006, QStringLiteral("US"), testdata::words({0, 100, 2000, 4095}));
    toolkit::DataSetBuilder withLut = testdata::baseDataSet();
    withLut.addItem(0x0028, 0x3010, lut);
    withLut.setPixels(testdata::monochrome(2, 2, 1, 16, 12, false, {0, 1, 2, 3}));
    EXPECT_TRUE(imageFacts(*imageFrom(withLut)).voiLutSequence);

    // The placeholder has no data set: no facts that would show a slider wrongly.
    const ImageFacts none = imageFacts(*toolkit::Image::placeholder());
    EXPECT_TRUE(none.sopClassUid.isEmpty());
    EXPECT_EQ(none.bitsAllocated, 0);
}

TEST(WindowingRules, TypedLevelAndWidthAreCheckedBeforeUse) {
    EXPECT_EQ(typedLevel("-700").value, -700.0);
    EXPECT_TRUE(typedLevel("-700").error.isEmpty());
    EXPECT_EQ(typedLevel(" 40.5 ").value, 40.0); // halves to even
    EXPECT_EQ(typedWidth("1").value, 1.0);
    for (const char *bad : {"", "abc", "12abc", "nan", "inf", "1e12"}) {
        EXPECT_FALSE(typedLevel(bad).error.isEmpty()) << bad;
        EXPECT_FALSE(typedWidth(bad).error.isEmpty()) << bad;
    }
    EXPECT_TRUE(typedLevel("abc").error.contains("not a number"));
    for (const char *bad : {"0", "-5", "0.4"}) {
        EXPECT_TRUE(typedWidth(bad).error.contains("1 or more")) << bad;
    }
}

TEST(WindowingRules, AllChangeReachesEveryImageOnce) {
    toolkit::ImageCollection images;
    const auto a = test::makeImage(QStringLiteral("a"));
    const auto b = test::makeImage(QStringLiteral("b"));
    images.add(a);
    images.add(b);
    images.add(a); // the same image shown twice
    EXPECT_EQ(changeTargets(b, images, false), (std::vector{b}));
    EXPECT_EQ(changeTargets(b, images, true), (std::vector{a, b}));
    const auto placeholder = toolkit::Image::placeholder();
    EXPECT_EQ(changeTargets(placeholder, toolkit::ImageCollection(), true),
              (std::vector{placeholder}));
}

TEST(ZoomRules, SliderAndFactorMapBothWays) {
    EXPECT_DOUBLE_EQ(zoomFromSlider(0), 1.0);
    EXPECT_DOUBLE_EQ(zoomFromSlider(20), 4.0);
    EXPECT_DOUBLE_EQ(zoomFromSlider(-20), 0.25);
    EXPECT_DOUBLE_EQ(zoomFromSlider(kZoomSliderMinimum), 1.0 / 16);
    EXPECT_DOUBLE_EQ(zoomFromSlider(kZoomSliderMaximum), 16.0);
    EXPECT_EQ(sliderFromZoom(8), 30);
    EXPECT_EQ(sliderFromZoom(5), 23);
    for (int v = kZoomSliderMinimum; v <= kZoomSliderMaximum; ++v) {
        EXPECT_EQ(sliderFromZoom(zoomFromSlider(v)), v);
    }
    EXPECT_EQ(zoomText(4), "4");
    EXPECT_EQ(zoomText(0.25), "0.25");
    EXPECT_EQ(zoomText(zoomFromSlider(1)), "1.07177346253629");
}

TEST(ZoomRules, TypedZoomMustBeAPositiveFactorTheSliderCanShow) {
    EXPECT_EQ(typedZoom("8").zoom, 8.0);
    EXPECT_TRUE(typedZoom("0.0625").error.isEmpty());
    EXPECT_TRUE(typedZoom("16").error.isEmpty());
    EXPECT_TRUE(typedZoom("abc").error.contains("not a number"));
    EXPECT_TRUE(typedZoom("").error.contains("not a number"));
    EXPECT_TRUE(typedZoom("0").error.contains("more than 0"));
    EXPECT_TRUE(typedZoom("-2").error.contains("more than 0"));
    EXPECT_TRUE(typedZoom("40").error.contains("between 0.0625 and 16"));
    EXPECT_TRUE(typedZoom("1e-300").error.contains("between"));
}

// Whatever the turn, mirror and pan, the image point under the recorded screen point stays
// there when the zoom changes: checked against the viewer's own tile geometry.
TEST(ZoomRules, TheRecordedPointStaysPutOnTheScreen) {
    for (int rotation = 0; rotation < 4; ++rotation) {
        for (int flip = 0; flip < 4; ++flip) {
            toolkit::TileView view;
            view.image = QSize(300, 200);
            view.cell = QSize(640, 480);
            view.zoom = 1.5;
            view.scroll = QPointF(12, -7);
            view.rotation = rotation;
            view.flip = flip;
            const toolkit::TileTransform before = toolkit::tileTransform(view);
            const QPointF point(470, 130); // cell pixels
            const QPointF under = before.toImage(point);
            const QPointF fromCentre = point - QPointF(320, 240);
            for (double zoom : {0.25, 1.0, 4.0, 16.0}) {
                toolkit::TileView after = view;
                after.zoom = zoom;
                after.scroll =
                    scrollKeepingPoint(view.scroll, before.scaleX(), view.zoom, zoom, fromCentre);
                const QPointF moved = toolkit::tileTransform(after).toCell(under);
                EXPECT_NEAR(moved.x(), point.x(), 1e-6) << rotation << flip << zoom;
                EXPECT_NEAR(moved.y(), point.y(), 1e-6) << rotation << flip << zoom;
            }
        }
    }
    // Without a scale to go by the offset stays.
    EXPECT_EQ(scrollKeepingPoint(QPointF(3, 4), 0.0, 1.0, 2.0, QPointF(10, 10)), QPointF(3, 4));
}

TEST(OrientationRules, FlipsToggleOneBitAndTurnsGoRound) {
    EXPECT_EQ(flipped(flipped(0, kFlipHorizontal), kFlipVertical), 3);
    EXPECT_EQ(flipped(kFlipVertical, kFlipHorizontal), 3); // keeps the other bit
    EXPECT_EQ(flipped(3, kFlipHorizontal), kFlipVertical); // flipping again undoes it
    EXPECT_EQ(rotatedClockwise(0), 3);
    EXPECT_EQ(rotatedAnticlockwise(3), 0);
    int r = 2;
    for (int i = 0; i < 4; ++i) {
        r = rotatedClockwise(r);
    }
    EXPECT_EQ(r, 2);
    EXPECT_EQ(rotatedClockwise(rotatedAnticlockwise(1)), 1);
}

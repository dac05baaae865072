// The chooser's desktop map and where the viewer goes for the result monitor.
#include "displaytestsupport.h"

#include "display/monitormap.h"
#include "display/resultmonitor.h"

#include <gtest/gtest.h>

using namespace ravlen;
using display::DesktopGeometry;
using display::DesktopMap;

namespace {

TEST(DesktopMap, SizeFollowsTheReferenceMonitorAndTheDesktop) {
    struct Row {
        const char *desktop;
        DesktopGeometry geometry;
        double basis;
        double twipsPerPixel;
        QSize map;
    };
    const Row table[] = {
        {"one 1920 x 1080", {0, 0, 1920, 1080}, 1920, 15, {480, 144}},
        {"two side by side", {0, 0, 3840, 1080}, 1920, 15, {480, 288}},
        // taller than wide: three quarters instead of one half
        {"stacked", {0, -1200, 1920, 2280}, 1920, 15, {480, 456}},
        {"a 1366 monitor, halves to even", {0, 0, 1366, 768}, 1366, 15, {342, 102}},
        {"120 dots per inch", {0, 0, 1920, 1080}, 1920, 12, {480, 180}},
        {"no reference width", {0, 0, 1920, 1080}, 0, 15, {0, 0}},
    };
    for (const Row &r : table) {
        const DesktopMap map(r.geometry, r.basis, r.twipsPerPixel);
        EXPECT_EQ(QSize(map.width(), map.height()), r.map) << r.desktop;
    }
}

TEST(DesktopMap, MonitorsKeepTheirArrangementAndShareTheirEdges) {
    const DesktopMap sideBySide({0, 0, 3840, 1080}, 1920, 15);
    EXPECT_EQ(sideBySide.toMap({0, 0, 1920, 1080}), QRect(0, 0, 240, 288));
    EXPECT_EQ(sideBySide.toMap({1920, 0, 1920, 1080}), QRect(240, 0, 240, 288));

    // negative coordinates: the left monitor is drawn at the map's left edge
    const DesktopMap leftOf({-1280, 0, 3200, 1080}, 1920, 15);
    ASSERT_EQ(QSize(leftOf.width(), leftOf.height()), QSize(480, 240));
    EXPECT_EQ(leftOf.toMap({-1280, 0, 1280, 1024}), QRect(0, 0, 192, 228));
    EXPECT_EQ(leftOf.toMap({0, 0, 1920, 1080}), QRect(192, 0, 288, 240));

    // three monitors whose widths do not divide evenly: no gap, no overlap, no lost pixel
    const DesktopMap three({0, 0, 4086, 1024}, 1366, 15);
    const QRect a = three.toMap({0, 0, 1280, 1024});
    const QRect b = three.toMap({1280, 0, 1366, 768});
    const QRect c = three.toMap({2646, 0, 1440, 900});
    EXPECT_EQ(a.x() + a.width(), b.x());
    EXPECT_EQ(b.x() + b.width(), c.x());
    EXPECT_EQ(c.x() + c.width(), three.width());
}

TEST(DesktopMap, AClickFindsTheMonitorUnderIt) {
    const std::vector<QRect> monitors = {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}};
    const DesktopMap map({-1280, 0, 3200, 1080}, 1920, 15);
    EXPECT_EQ(map.hitTest({191, 10}, monitors), 1);
    EXPECT_EQ(map.hitTest({192, 10}, monitors), 0);
    EXPECT_EQ(map.hitTest({479, 239}, monitors), 0);
    EXPECT_EQ(map.hitTest({100, 235}, monitors), -1); // below the shorter left monitor
    EXPECT_EQ(map.hitTest({480, 10}, monitors), -1);
    EXPECT_EQ(map.hitTest({-1, 10}, monitors), -1);
}

TEST(DesktopMap, TheDialogHoldsTheMapWithTheButtonsRightAlignedBelowIt) {
    const DesktopMap map({0, 0, 3840, 1080}, 1920, 15);
    const display::ChooserLayout layout = display::chooserLayout(map, {75, 25}, {80, 25});
    EXPECT_EQ(layout.map, QRect(8, 8, 480, 288));
    EXPECT_EQ(layout.client, QSize(496, 288 + 24 + 25));
    EXPECT_EQ(layout.cancel, QRect(496 - 8 - 80, 304, 80, 25));
    EXPECT_EQ(layout.ok, QRect(408 - 8 - 75, 304, 75, 25));
    EXPECT_EQ(layout.prompt, QRect(8, 304, 325 - 8, 25));
}

class ResultMonitor : public ::testing::Test {
protected:
    clsMonitors sideBySide{test::listing(test::sideBySide())};
};

TEST_F(ResultMonitor, TheNumberIsTheChoosersButtonAndAVanishedOneMeansThePrimary) {
    // The monitor left of the primary is found first, so it is "Monitor 1".
    const clsMonitors leftOf(test::listing(test::leftOfPrimary()));
    const std::pair<int, int> numberToHandle[] = {{1, 2}, {2, 1}, {3, 1}, {-1, 1}};
    for (const auto &[number, handle] : numberToHandle) {
        const clsMonitor *m = display::resultMonitor(leftOf, number);
        ASSERT_NE(m, nullptr) << number;
        EXPECT_EQ(m->Handle(), handle) << number;
    }
    EXPECT_EQ(display::resultMonitor(leftOf, 0), nullptr);
}

TEST_F(ResultMonitor, TheViewerOpensOnTheChosenMonitor) {
    struct Row {
        const char *situation;
        int number;
        QRect stored;
        std::optional<QRect> opened;
    };
    const Row table[] = {
        {"stored on monitor 1, result on 2",
         2,
         {100, 100, 1200, 900},
         QRect(1920 + 360, 90, 1200, 900)},
        {"stored on the result monitor", 2, {2000, 50, 1200, 900}, std::nullopt},
        {"mostly on the result monitor", 2, {1500, 50, 1200, 900}, std::nullopt},
        {"no choice, stored on monitor 2", 0, {2000, 50, 1200, 900}, std::nullopt},
        {"no choice, stored where no monitor is",
         0,
         {5000, 50, 1200, 900},
         QRect(360, 70, 1200, 900)},
        {"chosen monitor unplugged", 3, {2000, 50, 1200, 900}, QRect(360, 70, 1200, 900)},
        {"larger than the work area", 1, {2000, 0, 2500, 1200}, QRect(0, 0, 1920, 1040)},
    };
    for (const Row &r : table) {
        EXPECT_EQ(display::openingPlacement(sideBySide, r.number, r.stored), r.opened)
            << r.situation;
    }
}

TEST_F(ResultMonitor, ViewResultBringsTheWindowToTheResultMonitor) {
    const QRect onSecond(2000, 50, 1200, 900);
    EXPECT_EQ(display::resultViewPlacement(sideBySide, 2, onSecond), std::nullopt);
    EXPECT_EQ(display::resultViewPlacement(sideBySide, 1, onSecond), QRect(360, 70, 1200, 900));
    // with no monitor chosen, results belong on the primary monitor
    EXPECT_EQ(display::resultViewPlacement(sideBySide, 0, onSecond), QRect(360, 70, 1200, 900));

    // A desktop that reports no screen at all leaves the window where it is.
    auto none = test::listing({});
    none->servicesMissing = true;
    none->screen = {0, 0};
    const clsMonitors empty(none);
    EXPECT_EQ(display::resultViewPlacement(empty, 1, onSecond), std::nullopt);
    EXPECT_EQ(display::openingPlacement(empty, 0, onSecond), std::nullopt);
}

} // namespace

// Finding the monitors, looking them up and centring windows, over scripted desktops.
#include "displaytestsupport.h"

#include <gtest/gtest.h>

using namespace ravlen;
using test::Monitor;
using test::PlainWindow;

namespace {

TEST(MonitorDiscovery, FindsEveryMonitorOnceInRowOrderUnderItsHandle) {
    struct Row {
        const char *desktop;
        std::vector<Monitor> monitors;
        QRect virtualDesktop;
        QList<int> found;
    };
    const Row table[] = {
        {"one screen", test::oneScreen(), {0, 0, 1920, 1080}, {1}},
        {"side by side", test::sideBySide(), {0, 0, 3840, 1080}, {1, 2}},
        // the scan starts at the negative left edge, so the left monitor comes first
        {"left of the primary", test::leftOfPrimary(), {-1280, 0, 3200, 1080}, {2, 1}},
        {"stacked", test::stacked(), {0, -1200, 1920, 2280}, {2, 1}},
        // rows before columns: the higher monitor comes first though it lies to the right
        {"offset upwards to the right",
         {{1, {0, 0, 1920, 1080}, {}}, {2, {1920, -600, 1920, 1080}, {}}},
         {0, -600, 3840, 1680},
         {2, 1}},
        // no probe centre (x = 2240, 2880, ...) falls on a monitor 600 pixels wide at 2250
        {"narrow monitor between probes",
         {{1, {0, 0, 1920, 1080}, {}}, {2, {2250, 0, 600, 400}, {}}},
         {0, 0, 2850, 1080},
         {1}},
    };
    for (const Row &r : table) {
        const clsMonitors monitors(test::listing(r.monitors));
        EXPECT_EQ(test::desktopOf(monitors), r.virtualDesktop) << r.desktop;
        EXPECT_EQ(test::handlesOf(monitors), r.found) << r.desktop;
        for (const int handle : r.found) {
            EXPECT_NE(monitors.Monitors().Find(QString::number(handle)), nullptr) << r.desktop;
        }
    }
}

TEST(MonitorDiscovery, ARecordHoldsTheFullRectangleAndTheWorkAreaRightAndBottomExclusive) {
    const clsMonitors monitors(test::listing(
        {{7, {-1280, 56, 1280, 1024}, {-1280, 56, 1280, 984}}, {3, {0, 0, 1920, 1080}, {}}}));
    ASSERT_NE(monitors.Monitors().Find("7"), nullptr);
    EXPECT_EQ(test::fieldsOf(*monitors.Monitors().Find("7")),
              QList<int>({7, 1024, 1280, -1280, 0, 56, 1080, -1280, 0, 56, 1040}));
}

TEST(MonitorDiscovery, WithoutMonitorServicesThePrimaryScreenStandsInUnderKeyZero) {
    auto platform = test::listing({});
    platform->servicesMissing = true;
    platform->screen = {1280, 1024};
    const clsMonitors monitors(platform);
    ASSERT_EQ(monitors.Monitors().Count(), 1);
    ASSERT_NE(monitors.Monitors().Find("0"), nullptr);
    EXPECT_EQ(test::fieldsOf(*monitors.Monitors().Find("0")),
              QList<int>({0, 1024, 1280, 0, 1280, 0, 1024, 0, 1280, 0, 1024}));
    EXPECT_EQ(test::desktopOf(monitors), QRect(0, 0, 1280, 1024));
}

TEST(MonitorDiscovery, AFailingLookUpEndsTheScanWithTheMonitorsFoundSoFar) {
    // The first row probes x = 320, 960, 1600 (monitor 1), then 2240 (monitor 2).
    auto platform = test::listing(test::sideBySide());
    platform->failFromLookup = 4;
    clsMonitors monitors(platform);
    EXPECT_EQ(test::handlesOf(monitors), QList<int>({1}));

    platform->failFromLookup = 0;
    monitors.Refresh();
    EXPECT_EQ(test::handlesOf(monitors), QList<int>({1, 2}));
    platform->monitors.pop_back(); // unplugged: only an explicit Refresh notices
    EXPECT_EQ(monitors.Monitors().Count(), 2);
    monitors.Refresh();
    EXPECT_EQ(test::handlesOf(monitors), QList<int>({1}));
}

TEST(MonitorLookUp, PointsAndWindowsFindTheirMonitorWithTheAskedFallback) {
    auto platform = test::listing(test::sideBySide());
    const clsMonitors monitors(platform);
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(1919, 5, 0), 1);
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(1920, 5, 0), 2);
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(5000, 5, 0), 0);
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(5000, 5, 1), 1);

    const PlainWindow straddling({1500, 100, 1000, 600}); // 420 pixels on 1, 580 on 2
    const PlainWindow away({-3000, -3000, 200, 200});
    EXPECT_EQ(monitors.GetMonitorFromWindow(&straddling, 0), 2);
    EXPECT_EQ(monitors.GetMonitorFromWindow(&away, 0), 0);
    EXPECT_EQ(monitors.GetMonitorFromWindow(&away, 1), 1);
    EXPECT_EQ(monitors.GetMonitorFromWindow(nullptr, 1), 0);

    platform->failFromLookup = 1;
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(5, 5, 1), -1);
    EXPECT_EQ(monitors.GetMonitorFromWindow(&straddling, 1), 0);
    platform->servicesMissing = true;
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(5, 5, 1), -1);
    EXPECT_EQ(monitors.GetMonitorFromWindow(&straddling, 1), -1);
}

TEST(CenterFormOnMonitor, CentresOnTheWorkAreaFromTheFullRectanglesOrigin) {
    auto platform = test::listing({{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                   // a task bar 60 pixels wide at the left of the second monitor
                                   {2, {1920, 0, 1920, 1080}, {1980, 0, 1860, 1080}}});
    const clsMonitors monitors(platform);

    // 6000 x 3990 twips on 28800 x 15600: (11400, 5805) twips
    PlainWindow form({3000, 700, 400, 266});
    EXPECT_FALSE(monitors.CenterFormOnMonitor(form));
    EXPECT_EQ(form.rect.topLeft(), QPoint(760, 387));

    // On the reference window's monitor the bar's half-width shifts the window left of the
    // work area's centre: 1920 + 730, not 1980 + 730.
    const PlainWindow reference({2500, 300, 800, 600});
    PlainWindow dialog({0, 0, 400, 300});
    monitors.CenterFormOnMonitor(dialog, &reference);
    EXPECT_EQ(dialog.rect, QRect(2650, 390, 400, 300));

    // A listed primary whose information cannot be read: the window stays.
    platform->primaryHandle = 9;
    PlainWindow stays({10, 20, 400, 300});
    monitors.CenterFormOnMonitor(stays);
    EXPECT_EQ(stays.rect.topLeft(), QPoint(10, 20));
}

TEST(CenterFormOnMonitor, WithoutMonitorServicesCentresOnThePrimaryScreen) {
    auto platform = test::listing({});
    platform->servicesMissing = true;
    platform->screen = {1024, 768};
    const clsMonitors monitors(platform);
    PlainWindow form({500, 500, 400, 300});
    const PlainWindow reference({0, 0, 10, 10});
    monitors.CenterFormOnMonitor(form, &reference);
    EXPECT_EQ(form.rect.topLeft(), QPoint(312, 234));
}

} // namespace

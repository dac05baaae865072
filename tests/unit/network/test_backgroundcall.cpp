#include "core/errors.h"
#include "network/backgroundcall.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace ravlen;

TEST(BackgroundCall, WindowEventsRunWhileTheWorkWaits) {
    // The work only finishes once a timer of this thread has fired, which it can do only if the
    // caller keeps handling events; the bound keeps a broken loop from hanging the test.
    std::atomic<bool> timerFired{false};
    QTimer::singleShot(0, [&] { timerFired = true; });
    const bool sawTimer = network::runInBackground([&] {
        for (int i = 0; i < 1000 && !timerFired; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return timerFired.load();
    });
    EXPECT_TRUE(sawTimer);
}

TEST(BackgroundCall, EverythingPostedByTheWorkIsHandledBeforeItReturns) {
    QObject receiver;
    int handled = 0;
    network::runInBackground([&] {
        for (int i = 0; i < 50; ++i) {
            QMetaObject::invokeMethod(
                &receiver, [&handled] { ++handled; }, Qt::QueuedConnection);
        }
    });
    EXPECT_EQ(handled, 50);
}

TEST(BackgroundCall, FailuresArriveAsTheyWereThrown) {
    try {
        network::runInBackground([]() -> int { throw ToolkitError(1409, "refused"); });
        FAIL() << "no exception";
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), 1409);
        EXPECT_STREQ(e.what(), "refused");
    }
    EXPECT_EQ(network::runInBackground([] { return 7; }), 7);
}

// Cine: the speed an image plays at from its timing elements, the frame steps of each mode, and
// the player stepping shown images by a clock the test moves, without sleeping.
#include "support/dicomtestdata.h"
#include "toolkit/cineplayer.h"
#include "toolkit/image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

using namespace ravlen::testdata;
using namespace ravlen::toolkit;

namespace {

struct Timing {
    QString recommended, cine, frameTime, vector;
};

// `frames` frames of 8 x 8 pixels; every pixel of frame f holds 100 f.
std::shared_ptr<Image> loop(int frames, const Timing &t = {},
                            TransferSyntax syntax = TransferSyntax::ExplicitLittle) {
    std::vector<int> values;
    for (int f = 1; f <= frames; ++f) {
        values.insert(values.end(), 64, 100 * f);
    }
    DataSetBuilder b = baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.3.1"));
    b.setPixels(monochrome(8, 8, frames, 16, 16, false, values));
    b.set(0x0028, 0x1050, QStringLiteral("500"));
    b.set(0x0028, 0x1051, QStringLiteral("1000"));
    const std::pair<quint16, const QString &> elements[] = {
        {0x2144, t.recommended}, {0x0040, t.cine}, {0x1063, t.frameTime}, {0x1065, t.vector}};
    for (const auto &[element, value] : elements) {
        if (!value.isEmpty()) {
            b.set(element == 0x2144 ? 0x0008 : 0x0018, element, value);
        }
    }
    return Image::fromBytes(b.toBytes(syntax), QStringLiteral("loop"));
}

std::shared_ptr<Image> decoded(std::shared_ptr<Image> image) {
    for (int f = 1; f <= image->frameCount(); ++f) {
        (void)image->frame(f);
    }
    return image;
}

class FakeClock : public CineClock {
public:
    double nowMs() const override { return now; }
    double now = 0.0;
};

// A player over images the test shows and hides, on a clock the test moves.
struct Stage {
    Stage() { player.setClock(clock); }
    // Moves the clock to `ms` and lets the player take its step.
    void at(double ms) {
        clock->now = ms;
        player.tick();
    }
    std::vector<std::shared_ptr<Image>> shown;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    CinePlayer player{[this] { return shown; }};
};

} // namespace

TEST(CineRate, TakesTheFirstUsableTimingElementElseTenFramesASecond) {
    using S = CineRateSource;
    const struct {
        Timing timing;
        double fps;
        CineRateSource source;
    } rows[] = {
        {{"25", "15", "50", ""}, 25.0, S::RecommendedDisplayFrameRate},
        {{"0", "15", "50", ""}, 15.0, S::CineRate},
        {{"-5", "0", "33.3333", ""}, 30.0, S::FrameTime},
        // half a millisecond a frame is 2000 frames a second: passed over
        {{"", "", "0.5", "0\\40\\60"}, 20.0, S::FrameTimeVector},
        {{"", "", "", "40\\40"}, 25.0, S::FrameTimeVector}, // no leading 0
        {{"", "", "", "0\\40\\-40\\40"}, 10.0, S::Default}, // one nonsense entry
        {{"", "", "", "0\\0\\0"}, 10.0, S::Default},
        {{"1000", "", "", ""}, 1000.0, S::RecommendedDisplayFrameRate},
        {{"1001", "5000", "", ""}, 10.0, S::Default},
    };
    for (const auto &r : rows) {
        const CineRate rate = loop(2, r.timing)->cineRate();
        const std::string what = (r.timing.recommended + "/" + r.timing.cine + "/" +
                                  r.timing.frameTime + "/" + r.timing.vector)
                                     .toStdString();
        EXPECT_NEAR(rate.fps, r.fps, 0.01) << what;
        EXPECT_EQ(rate.source, r.source) << what;
    }
    // NaN and infinity can come from a damaged file's text.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(chooseCineRate({nan, inf, inf, {0.0, nan}}).source, S::Default);
}

TEST(CineStepping, ForwardAndReverseWrapOscillationTurnsWithoutShowingAnEndTwice) {
    const auto run = [](CinePosition from, int mode, int frames, int steps) {
        std::vector<int> shown;
        for (int k = 1; k <= steps; ++k) {
            shown.push_back(advanceCine(from, mode, frames, k).frame);
        }
        return shown;
    };
    using V = std::vector<int>;
    EXPECT_EQ(run({1}, cinemode::Forward, 4, 9), V({2, 3, 4, 1, 2, 3, 4, 1, 2}));
    EXPECT_EQ(run({1}, cinemode::Reverse, 4, 9), V({4, 3, 2, 1, 4, 3, 2, 1, 4}));
    EXPECT_EQ(run({1}, cinemode::Oscillate, 4, 9), V({2, 3, 4, 3, 2, 1, 2, 3, 4}));
    EXPECT_EQ(run({1}, cinemode::Oscillate, 2, 4), V({2, 1, 2, 1}));
    EXPECT_EQ(run({3, true}, cinemode::Oscillate, 4, 6), V({2, 1, 2, 3, 4, 3})); // on its way down
    // hours of play at a thousand frames a second are the same arithmetic
    EXPECT_EQ(advanceCine({1}, cinemode::Oscillate, 4, 6'000'000'000'001LL).frame, 2);
    EXPECT_EQ(advanceCine({2}, cinemode::Reverse, 5, 5'000'000'000'002LL).frame, 5);
}

TEST(CinePlayer, EachShownImagePlaysByItsOwnClockAndALateStepSkipsFrames) {
    Stage s;
    const auto slow = decoded(loop(6, {"10", "", "", ""}));
    const auto fast = decoded(loop(5, {"25", "", "", ""}));
    slow->setCineMode(cinemode::Forward);
    fast->setCineMode(cinemode::Oscillate);
    s.shown = {slow, fast};
    s.at(0);
    EXPECT_TRUE(s.player.running());
    const struct {
        double ms;
        int slow, fast;
    } steps[] = {{39, 1, 1},  {40, 1, 2}, {100, 2, 3}, {200, 3, 4},
                 {240, 3, 3}, {600, 1, 2}}; // the last step comes late: 4 and 9 steps in one
    for (const auto &step : steps) {
        s.at(step.ms);
        EXPECT_EQ(slow->currentFrame(), step.slow) << step.ms << " ms";
        EXPECT_EQ(fast->currentFrame(), step.fast) << step.ms << " ms";
    }
    slow->setCurrentFrame(5); // moved by hand: it plays on from there
    s.at(650);
    s.at(750);
    EXPECT_EQ(slow->currentFrame(), 6);
}

TEST(CinePlayer, AFrameNotDecodedIsNotWaitedForTheNextStepTriesAgain) {
    Stage s;
    s.player.setDecodeAhead(false);
    const auto image = loop(5, {"10", "", "", ""}, TransferSyntax::Rle);
    image->setCineMode(cinemode::Forward);
    s.shown = {image};
    s.at(0);
    s.at(100);
    EXPECT_EQ(image->currentFrame(), 1);
    EXPECT_FALSE(image->frameDecoded(2)); // nor did the step decode it
    (void)image->frame(3);
    s.at(200);
    EXPECT_EQ(image->currentFrame(), 3);
}

TEST(CinePlayer, HiddenAndStoppedImagesDoNotPlayAndGoOnWhereTheyStopped) {
    Stage s;
    const auto image = decoded(loop(10, {"10", "", "", ""}));
    const auto still = decoded(loop(1));
    image->setCineMode(cinemode::Forward);
    still->setCineMode(cinemode::Forward); // one frame: nothing to play
    s.shown = {image, still};
    s.at(0);
    s.at(300);
    EXPECT_EQ(image->currentFrame(), 4);
    s.shown = {still};
    s.at(1000);
    EXPECT_FALSE(s.player.running());
    s.shown = {image};
    s.at(5000);
    s.at(5100);
    EXPECT_EQ(image->currentFrame(), 5);
    image->setCineMode(cinemode::Stopped);
    s.at(6000);
    EXPECT_EQ(image->currentFrame(), 5);
    EXPECT_FALSE(s.player.running());
}

TEST(ImageFrames, DecodeFromSeveralThreadsAtOnce) {
    const auto image = loop(24, {}, TransferSyntax::Rle);
    std::vector<std::vector<std::pair<int, int>>> seen(4); // frame, its last pixel
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 24; ++i) {
                const int f = 1 + (i * (2 * t + 5)) % 24; // each thread in its own order
                const PixelFrame frame = image->frame(f);
                const auto *words = reinterpret_cast<const std::uint16_t *>(frame.data->data());
                seen[std::size_t(t)].emplace_back(f, words[63]);
            }
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }
    for (const auto &pairs : seen) {
        ASSERT_EQ(pairs.size(), 24u);
        for (const auto &[f, value] : pairs) {
            EXPECT_EQ(value, 100 * f) << "frame " << f;
        }
    }
}

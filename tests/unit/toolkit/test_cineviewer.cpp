// The viewer control plays what it shows, offscreen: setting a shown image's cine mode is enough,
// its tile draws the frame reached, and paging it away stops the timer.
#include "support/dicomtestdata.h"
#include "toolkit/cineplayer.h"
#include "toolkit/image.h"
#include "toolkit/viewercontrol.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWindow>

using namespace ravlen::testdata;
using namespace ravlen::toolkit;

namespace {

// Frames of 16 x 16 pixels, every pixel of frame f at 100 f, shown with the window 0..1000.
std::shared_ptr<Image> loop(int frames, const QString &rate) {
    std::vector<int> values;
    for (int f = 1; f <= frames; ++f) {
        values.insert(values.end(), 256, 100 * f);
    }
    DataSetBuilder b = baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.3.1"));
    b.setPixels(monochrome(16, 16, frames, 16, 16, false, values));
    b.set(0x0028, 0x1050, QStringLiteral("500"));
    b.set(0x0028, 0x1051, QStringLiteral("1000"));
    b.set(0x0018, 0x0040, rate);
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("loop"));
}

class FakeClock : public CineClock {
public:
    double nowMs() const override { return now; }
    double now = 0.0;
};

int centreGrey(const QImage &tile) {
    return qGray(tile.pixel(tile.width() / 2, tile.height() / 2));
}

} // namespace

TEST(ViewerCine, ShownImagesPlayOnceTheirModeIsSetAndStopWhenPagedAway) {
    ViewerControl viewer;
    viewer.resize(400, 200);
    viewer.setColumns(2);
    const auto a = loop(8, QStringLiteral("10"));
    const auto b = loop(8, QStringLiteral("20"));
    viewer.images().add(a);
    viewer.images().add(b);
    viewer.images().add(loop(8, QStringLiteral("10")));
    viewer.show();
    (void)viewer.tilePicture(1); // laid out: the control listens to the images it shows
    auto clock = std::make_shared<FakeClock>();
    CinePlayer &player = viewer.cinePlayer();
    player.setClock(clock);
    player.tick();
    EXPECT_FALSE(player.running()); // nothing plays yet

    a->setCineMode(cinemode::Forward);
    b->setCineMode(cinemode::Reverse);
    EXPECT_TRUE(player.running()); // no call to the player: the control saw the change
    player.tick();
    ASSERT_TRUE(player.waitForDecodes(30000));
    EXPECT_EQ(player.playingCount(), 2);
    clock->now = 100;
    player.tick();
    EXPECT_EQ(a->currentFrame(), 2);
    EXPECT_EQ(b->currentFrame(), 7); // two steps back from 1
    const int grey2 = centreGrey(viewer.tilePicture(1));
    EXPECT_NEAR(grey2, 200 * 255 / 1000, 2);
    EXPECT_NEAR(centreGrey(viewer.tilePicture(2)), 700 * 255 / 1000, 2);

    viewer.setCurrentIndex(3); // a still image now fills the first tile, nothing else shows
    (void)viewer.tilePicture(1);
    clock->now = 500;
    player.tick();
    EXPECT_FALSE(player.running());
    EXPECT_EQ(a->currentFrame(), 2);

    viewer.setCurrentIndex(1);
    viewer.hide(); // nothing plays in a hidden viewer
    player.tick();
    EXPECT_FALSE(player.running());
}

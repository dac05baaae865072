// Cine on the viewer window, offscreen: the "&Multi-frame (Cine)" entries and "&Cine" reach the
// images, the Select press switches the entries, two loops play at once on a clock the test
// moves, and "&Images" steps through the set at the stored interval.
#include "viewertestsupport.h"
#include "viewerwindowfixture.h"

#include "core/prompter.h"
#include "toolkit/cineplayer.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ravlen;
using toolkit::cinemode::Forward;
using toolkit::cinemode::Oscillate;
using toolkit::cinemode::Reverse;
using toolkit::cinemode::Stopped;

namespace {

// A 32 x 32 loop of `frames` frames at 10 frames a second; every pixel of frame f is 100 f.
std::shared_ptr<toolkit::Image> loop(const QString &name, int frames) {
    toolkit::DataSetBuilder b = testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.3.1"),
                                                      QStringLiteral("1.2.3.88.") + name);
    std::vector<int> values;
    for (int f = 1; f <= frames; ++f) {
        values.insert(values.end(), 32 * 32, 100 * f);
    }
    b.setPixels(testdata::monochrome(32, 32, frames, 16, 16, false, values));
    b.set(0x0028, 0x1050, QStringLiteral("500"));
    b.set(0x0028, 0x1051, QStringLiteral("1000"));
    b.set(0x0018, 0x1063, QStringLiteral("100"));
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), name);
}

class FakeClock : public toolkit::CineClock {
public:
    double nowMs() const override { return now; }
    double now = 0.0;
};

class ViewerCineTest : public test::ViewerWindowFixture {
protected:
    // Unlike the fixture's, no image is selected: the commands meet the window as it opens.
    frmDicomViewer &viewerWith(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                               viewer::GridSize grid = {1, 1}) {
        frmDicomViewer &v = dicomViewer();
        for (const auto &image : images) {
            v.Viewer->images().add(image);
        }
        v.SetGrid(grid);
        v.InitImage();
        return v;
    }
    static void trigger(frmDicomViewer &v, const char *entry) {
        v.entry(QString::fromLatin1(entry))->trigger();
    }
    // A Select press on the tile of `position`.
    static void press(frmDicomViewer &v, int position) {
        const QPoint centre = v.Viewer->tileRect(position).center();
        v.Viewer_MouseDown(1, 0, centre.x(), centre.y());
        v.Viewer_MouseUp(1, 0, centre.x(), centre.y());
    }
    static bool cineEntriesEnabled(frmDicomViewer &v) {
        int enabled = 0;
        for (const char *name : {"CineForward", "CineReverse", "CineOscillate", "CineStop"}) {
            enabled += v.entry(QString::fromLatin1(name))->isEnabled() ? 1 : 0;
        }
        EXPECT_TRUE(enabled == 0 || enabled == 4) << "the four entries go together";
        return enabled == 4;
    }
};

} // namespace

TEST_F(ViewerCineTest, EntriesSetTheSelectedImageAndCineTheTopLeftOne) {
    frmDicomViewer &v = viewerWith({loop("a", 6), loop("b", 6), test::makeImage("still")}, {1, 3});
    v.show();
    EXPECT_TRUE(cineEntriesEnabled(v)) << "enabled when the window opens";
    press(v, 3);
    EXPECT_FALSE(cineEntriesEnabled(v)) << "a single frame selected";
    press(v, 2);
    EXPECT_TRUE(cineEntriesEnabled(v));
    for (const auto &[entry, mode] : {std::pair{"CineForward", Forward},
                                      {"CineReverse", Reverse},
                                      {"CineOscillate", Oscillate},
                                      {"CineStop", Stopped}}) {
        trigger(v, entry);
        EXPECT_EQ(at(v, 2)->cineMode(), mode) << entry;
    }
    // "&Cine" acts on the image in the top left tile, whichever is selected: a forward loop
    // stops, a second "&Cine" oscillates.
    at(v, 1)->setCineMode(Forward);
    trigger(v, "mPlayCine");
    EXPECT_EQ(at(v, 1)->cineMode(), Stopped);
    trigger(v, "mPlayCine");
    EXPECT_EQ(at(v, 1)->cineMode(), Oscillate);
    EXPECT_EQ(at(v, 2)->cineMode(), Stopped);
    v.DeleteAll_Click();
    trigger(v, "mPlayCine"); // nothing to play, nothing said
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(ViewerCineTest, TwoLoopsPlayAtOnceEachFromWhereItStands) {
    frmDicomViewer &v = viewerWith({loop("a", 6), loop("b", 4)}, {1, 2});
    v.show();
    QApplication::processEvents(); // drawn once, as a window is before anyone picks an entry
    auto clock = std::make_shared<FakeClock>();
    toolkit::CinePlayer &player = v.Viewer->cinePlayer();
    player.setClock(clock);
    press(v, 1);
    trigger(v, "CineForward");
    at(v, 2)->setCurrentFrame(3);
    press(v, 2);
    trigger(v, "CineOscillate");
    EXPECT_TRUE(player.running()); // the viewer saw the modes change
    player.tick();                 // both start at 0 ms
    ASSERT_TRUE(player.waitForDecodes(30000));
    const struct {
        double ms;
        int a, b;
    } steps[] = {{50, 1, 3}, {100, 2, 4}, {350, 4, 2}, {600, 1, 3}};
    for (const auto &s : steps) {
        clock->now = s.ms;
        player.tick();
        EXPECT_EQ(at(v, 1)->currentFrame(), s.a) << s.ms << " ms";
        EXPECT_EQ(at(v, 2)->currentFrame(), s.b) << s.ms << " ms";
    }
    // The tile shows the frame reached (frame 1 of "a": 100 of the window 0..1000).
    const QImage tile = v.Viewer->tilePicture(1);
    EXPECT_NEAR(qGray(tile.pixel(tile.width() / 2, tile.height() / 2)), 100 * 255 / 1000, 2);
}

TEST_F(ViewerCineTest, ImagesShowsTheNextImageAtTheStoredIntervalAndAfterTheLastTheFirst) {
    frmDicomViewer &v =
        viewerWith({test::makeImage("1"), test::makeImage("2"), test::makeImage("3"),
                    test::makeImage("4"), test::makeImage("5")});
    v.SelectImage(4);
    std::vector<int> shown;
    for (int tick = 0; tick < 4; ++tick) {
        v.Timer1_Timer();
        shown.push_back(v.imageSet().imageSelected() ? v.Viewer->currentIndex() : 0);
    }
    EXPECT_EQ(shown, std::vector<int>({5, 1, 2, 3}));
    // Gone to the last image by hand: the next tick selects nothing, the one after the first.
    v.SelectImage(5);
    v.Timer1_Timer();
    EXPECT_FALSE(v.imageSet().imageSelected());
    v.Timer1_Timer();
    EXPECT_EQ(v.GetSelectedImage(), at(v, 1));
    delete &v;

    const struct {
        const char *playMs; // null: absent
        int interval;
    } rows[] = {{"250", 250}, {"20000", 9500}, {nullptr, 0}, {"-300", 0}};
    for (const auto &r : rows) {
        store->values.clear();
        if (r.playMs) {
            store->save("PACS", "Viewer", "PlayMS", QString::fromLatin1(r.playMs));
        }
        frmDicomViewer &w = dicomViewer(); // the setting is read as the window loads
        const std::string what = r.playMs ? r.playMs : "absent";
        EXPECT_FALSE(w.Timer1->isActive()) << what;
        trigger(w, "mPlay");
        EXPECT_TRUE(w.imageTimerOn()) << what;
        EXPECT_EQ(w.Timer1->isActive(), r.interval > 0) << what << ": an interval of 0 never ticks";
        if (r.interval > 0) {
            EXPECT_EQ(w.Timer1->interval(), r.interval) << what;
        }
        trigger(w, "mPlay");
        EXPECT_FALSE(w.Timer1->isActive()) << what;
        delete &w;
    }
}

TEST_F(ViewerCineTest, PictureOfALoopMidPlayForAPersonToLookAt) {
    const QString out = qEnvironmentVariable("RAVLEN_CINE_PICTURES");
    const QString us = qEnvironmentVariable("RAVLEN_CINE_US");
    if (out.isEmpty() || us.isEmpty()) {
        GTEST_SKIP() << "set RAVLEN_CINE_PICTURES and RAVLEN_CINE_US to take the picture";
    }
    frmDicomViewer &v = dicomViewer();
    v.resize(1100, 800);
    v.show();
    QApplication::processEvents();
    v.OpenFiles({us, us});
    v.SetGrid({1, 2});
    v.InitImage();
    auto clock = std::make_shared<FakeClock>();
    v.Viewer->cinePlayer().setClock(clock);
    press(v, 1);
    trigger(v, "CineForward");
    press(v, 2);
    trigger(v, "CineOscillate");
    QApplication::processEvents();
    v.Viewer->cinePlayer().tick();
    ASSERT_TRUE(v.Viewer->cinePlayer().waitForDecodes(30000));
    clock->now = 1300; // 13 steps at 10 frames a second: frame 4 forward, 6 on its way down
    v.Viewer->cinePlayer().tick();
    QApplication::processEvents();
    EXPECT_EQ(at(v, 1)->currentFrame(), 4);
    EXPECT_EQ(at(v, 2)->currentFrame(), 6);
    EXPECT_TRUE(v.grab().save(out + QStringLiteral("/cine.png")));

    // On the steady clock the window's own timer plays them on.
    v.Viewer->cinePlayer().setClock(nullptr);
    QTest::qWait(450);
    EXPECT_NE(at(v, 1)->currentFrame(), 4);
    EXPECT_TRUE(v.grab().save(out + QStringLiteral("/cine-later.png")));
}

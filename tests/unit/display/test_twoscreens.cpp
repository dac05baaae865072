// Two real screens of an X server: the Qt listing, the chooser and the viewer on them.
// with-two-screens starts the server; RAVLEN_MONITOR_SCREENSHOT=FILE.png keeps a picture of
// the whole desktop while the chooser is open.
#include "chooseranswer.h"
#include "displaytestsupport.h"

#include "component/modstart.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "display/frmmonitor.h"
#include "viewer/frmdicomviewer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

const QRect kRight(1920, 0, 1920, 1080);

void saveDesktopPicture(const QString &path) {
    QImage desktop(3840, 1080, QImage::Format_RGB32);
    desktop.fill(Qt::black);
    QPainter painter(&desktop);
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        painter.drawPixmap(g.topLeft(), screen->grabWindow(0, 0, 0, g.width(), g.height()));
    }
    painter.end();
    desktop.save(path);
}

class TwoScreens : public ::testing::Test {
protected:
    void SetUp() override {
        const QString mode = qEnvironmentVariable("RAVLEN_TWO_SCREENS");
        if (mode == QLatin1String("missing")) {
            GTEST_SKIP() << "Xvfb or xrandr is not installed";
        }
        if (mode != QLatin1String("ready")) {
            GTEST_SKIP() << "needs the X server of with-two-screens (ctest -R display_two_screens)";
        }
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        ASSERT_EQ(QGuiApplication::screens().size(), 2);
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        ASSERT_TRUE(m_config.isValid());
        setSettings(std::make_unique<FileSettingsStore>(m_config.path()));
        setPrompter(std::make_unique<ScriptedPrompter>());
        display::setMonitorListing(nullptr); // the real screens
        display::registerMonitorDialog();
    }

private:
    QTemporaryDir m_config;
};

TEST_F(TwoScreens, EachScreenIsAMonitorAndTheViewerOpensOnThePickedOne) {
    clsMonitors monitors;
    ASSERT_EQ(test::handlesOf(monitors), QList<int>({1, 2}));
    const clsMonitor &right = monitors.Monitors().Item(2);
    EXPECT_EQ(QRect(right.Left(), right.Top(), right.Width(), right.Height()), kRight);
    EXPECT_EQ(monitors.PrimaryMonitor(), 1);

    QWidget owner;
    owner.setGeometry(2200, 200, 800, 600);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    EXPECT_EQ(owner.screen(), QGuiApplication::screens().at(1)); // Qt agrees on the monitor

    QRect dialogFrame;
    QSize map;
    std::vector<QRect> buttons;
    int result = -1;
    {
        test::ChooserAnswer answer(2, true, [&](frmMonitor &dialog) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            dialogFrame = dialog.frameGeometry();
            map = dialog.picDesktop->size();
            for (const QPushButton *b : dialog.cmdMonitor) {
                buttons.push_back(b->geometry());
            }
            const QString picture = qEnvironmentVariable("RAVLEN_MONITOR_SCREENSHOT");
            if (!picture.isEmpty()) {
                QTest::qWait(300);
                saveDesktopPicture(picture);
            }
        });
        display::WidgetWindow ownerWindow(&owner);
        result = monitors.ShowMonitorDialog("Choose a monitor where Result will be displayed.",
                                            "Virtual Desktop", &ownerWindow);
        ASSERT_TRUE(answer.answered());
    }
    EXPECT_EQ(result, 2);
    EXPECT_EQ(settings().get("Orbitaview", "Viewer", "DisplayResult"), "2");
    EXPECT_EQ(map, QSize(480, 288));
    EXPECT_EQ(buttons, std::vector<QRect>({{0, 0, 240, 288}, {240, 0, 240, 288}}));
    EXPECT_TRUE(kRight.contains(dialogFrame)) << dialogFrame.x() << "," << dialogFrame.y();

    frmDicomViewer viewer;
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    EXPECT_EQ(viewer.screen(), QGuiApplication::screens().at(1));
    EXPECT_TRUE(kRight.contains(viewer.frameGeometry()));
}

} // namespace

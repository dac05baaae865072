// The monitor chooser and the viewer's result monitor, offscreen over a scripted desktop.
#include "chooseranswer.h"
#include "displaytestsupport.h"

#include "component/modstart.h"
#include "core/prompter.h"
#include "core/settingsstore.h"
#include "display/frmmonitor.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

class MonitorWindows : public ::testing::Test {
protected:
    void SetUp() override {
        static QTemporaryDir iniFolder;
        modStart::StartUp(iniFolder.path());
        ASSERT_TRUE(m_config.isValid());
        setSettings(std::make_unique<FileSettingsStore>(m_config.path()));
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        display::setMonitorListing(desktop);
        display::registerMonitorDialog();
    }
    void TearDown() override { display::setMonitorListing(nullptr); }

    static QString stored() {
        return settings().get("Orbitaview", "Viewer", "DisplayResult", "absent");
    }
    // The stored placement of the viewer, in pixels.
    static void storePlacement(const QRect &frame) {
        const QString caption = QStringLiteral("RAVLEN PACS Viewer v2.0");
        settings().save("PACS", caption, "Left", QString::number(frame.x() * 15));
        settings().save("PACS", caption, "Top", QString::number(frame.y() * 15));
        settings().save("PACS", caption, "Width", QString::number(frame.width() * 15));
        settings().save("PACS", caption, "Height", QString::number(frame.height() * 15));
    }

    std::shared_ptr<display::ScriptedMonitorListing> desktop = test::listing(test::sideBySide());
    ScriptedPrompter *prompts = nullptr;

private:
    QTemporaryDir m_config;
};

TEST_F(MonitorWindows, AClickOnTheMapPicksThatMonitorAndOkStoresIt) {
    clsMonitors monitors;
    frmMonitor dialog;
    dialog.setMonitorSource(&monitors);
    dialog.BuildMap();
    dialog.show();

    ASSERT_EQ(dialog.picDesktop->size(), QSize(480, 288));
    ASSERT_EQ(dialog.cmdMonitor.size(), 2u);
    EXPECT_EQ(dialog.cmdMonitor[0]->text(), "Monitor 1");
    EXPECT_EQ(dialog.cmdMonitor[1]->text(), "Monitor 2");
    EXPECT_EQ(dialog.picDesktop->childAt(100, 100), dialog.cmdMonitor[0]);
    QWidget *right = dialog.picDesktop->childAt(360, 100);
    ASSERT_EQ(right, dialog.cmdMonitor[1]);

    QTest::mouseClick(right, Qt::LeftButton);
    EXPECT_EQ(dialog.selection(), 2);
    EXPECT_TRUE(dialog.cmdMonitor[1]->font().bold());
    EXPECT_FALSE(dialog.cmdMonitor[0]->font().bold());

    QTest::mouseClick(dialog.cmdAction[0], Qt::LeftButton);
    EXPECT_EQ(dialog.DialogResult(), 2);
    EXPECT_EQ(stored(), "2");
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MonitorWindows, CancelAnswersZeroAndKeepsTheStoredChoice) {
    settings().save("Orbitaview", "Viewer", "DisplayResult", "1");
    clsMonitors monitors;
    {
        frmMonitor dialog;
        dialog.setMonitorSource(&monitors);
        dialog.BuildMap();
        dialog.picDesktop_MouseDown({400, 200}); // the map under the second button
        EXPECT_EQ(dialog.selection(), 2);
        dialog.cmdAction_Click(1);
        EXPECT_EQ(dialog.DialogResult(), 0);
        EXPECT_EQ(stored(), "1");
    }
    frmMonitor dialog;
    dialog.setMonitorSource(&monitors);
    dialog.BuildMap();
    dialog.cmdAction_Click(0); // OK before any monitor was pressed
    EXPECT_EQ(dialog.DialogResult(), 0);
    EXPECT_EQ(stored(), "0");
}

TEST_F(MonitorWindows, SettingsKeepsTheChoiceInTheViewerAndTheChooserOpensOnItsMonitor) {
    storePlacement({2000, 100, 1200, 900}); // the viewer on the second monitor
    frmDicomViewer viewer;
    QRect chooserFrame;
    QString caption;
    QString prompt;
    {
        test::ChooserAnswer answer(2, true, [&](frmMonitor &dialog) {
            chooserFrame = dialog.frameGeometry();
            caption = dialog.windowTitle();
            prompt = dialog.lblPrompt->text();
        });
        viewer.entry("mnuDisplayMonitor")->trigger();
        ASSERT_TRUE(answer.answered());
    }
    EXPECT_EQ(viewer.displayMonitor(), 2);
    EXPECT_EQ(stored(), "2");
    EXPECT_EQ(caption, "Virtual Desktop");
    EXPECT_EQ(prompt, "Choose a monitor where Result will be displayed.");
    EXPECT_TRUE(QRect(1920, 0, 1920, 1080).contains(chooserFrame)) << chooserFrame.x();

    test::ChooserAnswer cancel(1, false);
    viewer.entry("mnuDisplayMonitor")->trigger();
    ASSERT_TRUE(cancel.answered());
    EXPECT_EQ(viewer.displayMonitor(), 0);
    EXPECT_EQ(stored(), "2");
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(MonitorWindows, TheViewerOpensOnTheResultMonitorAndViewResultBringsItBack) {
    settings().save("Orbitaview", "Viewer", "DisplayResult", "2");
    storePlacement({100, 100, 1200, 900});
    frmDicomViewer viewer;
    EXPECT_EQ(viewer.frameGeometry(), QRect(2280, 90, 1200, 900));

    viewer.move(100, 100); // dragged back to the primary monitor
    viewer.mnuDisplayResult_Click();
    EXPECT_EQ(viewer.frameGeometry(), QRect(2280, 90, 1200, 900));

    // The second monitor is unplugged: results come to the primary one.
    desktop->monitors.pop_back();
    viewer.mnuDisplayResult_Click();
    EXPECT_EQ(viewer.frameGeometry(), QRect(360, 70, 1200, 900));
    EXPECT_TRUE(prompts->records.empty());
}

} // namespace

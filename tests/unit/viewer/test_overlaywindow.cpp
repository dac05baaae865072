// The overlays, side markers, Text Modes and Previous Images on the viewer window, offscreen.
#include "viewertestsupport.h"
#include "viewerwindowfixture.h"

#include "core/prompter.h"
#include "dialogs/frmtextmodes.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using toolkit::Label;

namespace {

QStringList labelTexts(const toolkit::Image &image, int type) {
    QStringList out;
    for (int i = 1; i <= image.labels().count(); ++i) {
        if (image.labels().item(i)->type == type) {
            out << image.labels().item(i)->text;
        }
    }
    return out;
}

class OverlayWindowTest : public test::ViewerWindowFixture {
protected:
    frmDicomViewer &viewerWith(int images) {
        std::vector<std::shared_ptr<toolkit::Image>> list;
        for (int i = 1; i <= images; ++i) {
            list.push_back(test::makeImage(QString::number(i)));
        }
        return ViewerWindowFixture::viewerWith(list);
    }
    static toolkit::Image &at(frmDicomViewer &v, int position) {
        return *v.Viewer->images().item(position);
    }
};

} // namespace

TEST_F(OverlayWindowTest, EveryImageCarriesItsOverlayAndMarkersFollowTheirBox) {
    frmDicomViewer &v = viewerWith(2);
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(labelTexts(at(v, p), Label::Text).size(), 3) << p;
        EXPECT_EQ(labelTexts(at(v, p), Label::SideMarker).size(), 8) << p;
    }
    EXPECT_TRUE(v.AnatomicMarkers->isChecked());
    v.AnatomicMarkers->click();
    EXPECT_TRUE(labelTexts(at(v, 2), Label::SideMarker).isEmpty());
    EXPECT_EQ(labelTexts(at(v, 2), Label::EdgeBar).size(), 2);
    v.AnatomicMarkers->click();
    EXPECT_EQ(labelTexts(at(v, 2), Label::SideMarker).size(), 8);

    // A window change rebuilds the selected image's block with the new values.
    v.WidthSlider->setValue(321);
    v.RefreshWindowingText();
    EXPECT_TRUE(labelTexts(at(v, 1), Label::Text).join("|").contains("W = 321   L = "));
    EXPECT_FALSE(labelTexts(at(v, 2), Label::Text).join("|").contains("W = 321"));
    v.entry("mnuLabel")->trigger();
    EXPECT_EQ(labelTexts(at(v, 1), Label::Text).size(), 3);
}

TEST_F(OverlayWindowTest, TextModesStoredByOkShapeTheOverlayAndCloseStoresNothing) {
    frmDicomViewer &v = viewerWith(1);
    v.entry("mnuDisplayTextMode")->trigger();
    frmTextModes *modes = v.findChild<frmTextModes *>();
    ASSERT_TRUE(modes);
    ASSERT_EQ(modes->chkTextMode.size(), 16u);
    for (QCheckBox *box : modes->chkTextMode) {
        EXPECT_TRUE(box->isChecked());
    }
    modes->chkTextMode[15]->click(); // Check All off
    for (QCheckBox *box : modes->chkTextMode) {
        EXPECT_FALSE(box->isChecked());
    }
    modes->chkTextMode[15]->click();
    modes->chkTextMode[5]->click(); // "Exam No." off
    modes->btnOk->click();
    QApplication::processEvents();
    EXPECT_EQ(textmodes::toText(textmodes::stored()), "111110111111111");
    EXPECT_FALSE(labelTexts(at(v, 1), Label::Text).join("|").contains("Ex:"));
    EXPECT_TRUE(labelTexts(at(v, 1), Label::Text).join("|").contains("Se:"));

    frmTextModes *again = showTextModes(&v);
    EXPECT_FALSE(again->chkTextMode[5]->isChecked()) << "opens on the stored choices";
    EXPECT_FALSE(again->chkTextMode[15]->isChecked());
    again->chkTextMode[15]->click();
    again->btnClose->click();
    EXPECT_EQ(textmodes::toText(textmodes::stored()), "111110111111111") << "Close stores nothing";
}

TEST_F(OverlayWindowTest, PreviousImagesNeedsAPatientAndCloseAllKeepsIt) {
    frmDicomViewer &v = dicomViewer();
    v.cmdPreImages->click();
    EXPECT_TRUE(prompts->records.empty()) << "no patient shown: nothing at all";
    v.Viewer->images().add(test::makeImage(QStringLiteral("1")));
    v.InitImage();
    EXPECT_EQ(v.lblPatientID->text(), "PID-7");
    v.DeleteAll_Click();
    EXPECT_EQ(v.windowTitle(), "View Exam");
    EXPECT_EQ(v.lblPatientID->text(), "PID-7");
}

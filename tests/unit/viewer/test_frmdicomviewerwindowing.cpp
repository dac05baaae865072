// The viewer window's windowing, zoom and orientation controls, offscreen: each control reaches
// the images it should, and bad input changes nothing.
#include "viewertestsupport.h"
#include "viewerwindowfixture.h"

#include "core/prompter.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

const QString kCt = QStringLiteral("1.2.840.10008.5.1.4.1.1.2");
const QString kNm = QStringLiteral("1.2.840.10008.5.1.4.1.1.20");

// A 64 x 64 image with a stored window, so "Default Level" has known values.
std::shared_ptr<toolkit::Image> windowedImage(const QString &name, double level, double width,
                                              const QString &sopClass = kCt, int bits = 16) {
    toolkit::DataSetBuilder b =
        testdata::baseDataSet(sopClass, QStringLiteral("1.2.3.9.") + QString::number(qHash(name)));
    b.set(0x0028, 0x1050, QString::number(level));
    b.set(0x0028, 0x1051, QString::number(width));
    b.setPixels(testdata::monochrome(64, 64, 1, bits, bits, false,
                                     testdata::rampValues(64, 64, 1, bits, false)));
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), name);
}

std::shared_ptr<toolkit::Image> voiLutImage() {
    toolkit::DataSetBuilder lut;
    lut.set(0x0028, 0x3002, QStringLiteral("US"), QStringLiteral("4\\0\\12"));
    lut.setBytes(0x0028, 0x3006, QStringLiteral("US"), testdata::words({0, 100, 2000, 4095}));
    toolkit::DataSetBuilder b = testdata::baseDataSet(kCt);
    b.addItem(0x0028, 0x3010, lut);
    b.setPixels(testdata::monochrome(2, 2, 1, 16, 12, false, {0, 1, 2, 3}));
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "lut");
}

class WindowingWindowTest : public test::ViewerWindowFixture {
protected:
    frmDicomViewer &ctViewer(int images, viewer::GridSize grid = {1, 1}) {
        std::vector<std::shared_ptr<toolkit::Image>> list;
        for (int i = 1; i <= images; ++i) {
            list.push_back(windowedImage(QString::number(i), 40, 400));
        }
        return viewerWith(list, grid);
    }
};

TEST_F(WindowingWindowTest, PresetsGoToTheSelectedImageOrToAllWithAllChange) {
    frmDicomViewer &v = ctViewer(3, {1, 3});
    v.SelectImage(2);
    v.btnHead->click();
    EXPECT_EQ(at(v, 2)->width(), 100);
    EXPECT_EQ(at(v, 2)->level(), 35);
    EXPECT_EQ(at(v, 1)->width(), 400) << "without All Change only the selected image";

    v.optAllChange->setChecked(true);
    v.btnLung->click();
    for (int p = 1; p <= 3; ++p) {
        EXPECT_EQ(at(v, p)->width(), 1000) << p;
        EXPECT_EQ(at(v, p)->level(), -700) << p;
    }
    EXPECT_EQ(v.WidthSlider->value(), 1000);
    EXPECT_EQ(v.LevelSlider->value(), -700);
    EXPECT_FALSE(v.presetInProgress());

    // A preset beyond the slider's range widens it instead of being cut to it.
    v.btnVertebrae->click();
    EXPECT_EQ(at(v, 3)->width(), 2000);
    EXPECT_EQ(v.WidthSlider->maximum(), 2000);
    // The slider already at the value still carries it to an image that lost it.
    at(v, 1)->setWidth(77);
    v.btnVertebrae->click();
    EXPECT_EQ(at(v, 1)->width(), 2000);
    EXPECT_TRUE(at(v, 2)->fullQuality()) << "a finished preset draws at full quality";
    EXPECT_TRUE(prompts->records.empty());
}

TEST_F(WindowingWindowTest, DefaultLevelSetsTheImagesWindowAndTheSliderRanges) {
    frmDicomViewer &v = ctViewer(2, {1, 2});
    // InitImage ran "Default Level": the ranges are there from the start.
    EXPECT_EQ(v.WidthSlider->minimum(), -1200);
    EXPECT_EQ(v.WidthSlider->maximum(), 1200);
    EXPECT_EQ(v.LevelSlider->minimum(), -1200);
    EXPECT_EQ(v.LevelSlider->maximum(), 1200);

    v.optAllChange->setChecked(true);
    v.btnLung->click();
    v.GetSelectedImage()->setFullQuality(false);
    v.cmdDefLevel->click();
    EXPECT_EQ(at(v, 1)->width(), 400);
    EXPECT_EQ(at(v, 1)->level(), 40);
    EXPECT_EQ(v.WidthSlider->value(), 400);
    EXPECT_EQ(v.LevelSlider->value(), 40);
    EXPECT_EQ(v.LevelSlider->maximum(), 1200);
    EXPECT_TRUE(at(v, 1)->fullQuality());
    EXPECT_EQ(at(v, 2)->width(), 1000) << "the other image keeps its window";
}

TEST_F(WindowingWindowTest, TheControlsFollowTheKindOfTheSelectedImage) {
    frmDicomViewer &v =
        viewerWith({windowedImage("ct", 40, 400), windowedImage("nm", 100, 200, kNm),
                    windowedImage("us8", 128, 256, kCt, 8), voiLutImage()},
                   {2, 2});
    EXPECT_TRUE(v.LevelSlider->isVisibleTo(v.fraMain));
    EXPECT_FALSE(v.WLSlider->isVisibleTo(v.fraMain));

    v.SelectImage(2); // nuclear medicine: the combined slider
    EXPECT_FALSE(v.LevelSlider->isVisibleTo(v.fraMain));
    EXPECT_FALSE(v.WidthLabel->isVisibleTo(v.fraMain));
    EXPECT_TRUE(v.WLSlider->isVisibleTo(v.fraMain));
    EXPECT_TRUE(v.level1->isVisibleTo(v.fraMain));
    v.WLSlider->setValue(60);
    EXPECT_EQ(at(v, 2)->width(), 120);
    EXPECT_EQ(at(v, 2)->level(), 60);
    EXPECT_EQ(at(v, 1)->width(), 400);

    v.SelectImage(3); // 8-bit
    EXPECT_TRUE(v.LevelSlider->isVisibleTo(v.fraMain));
    EXPECT_EQ(v.LevelSlider->maximum(), 256);
    EXPECT_EQ(v.WidthSlider->maximum(), 512);

    v.SelectImage(4); // VOI LUT: no windowing controls at all
    for (QWidget *w : {(QWidget *)v.LevelSlider, (QWidget *)v.WidthSlider, (QWidget *)v.WLSlider,
                       (QWidget *)v.level1, (QWidget *)v.width1}) {
        EXPECT_FALSE(w->isVisibleTo(v.fraMain)) << w->objectName().toStdString();
    }

    v.DeleteAll_Click();
    EXPECT_FALSE(v.LevelSlider->isVisibleTo(v.fraMain));
    EXPECT_FALSE(v.level1->isVisibleTo(v.fraMain));
}

TEST_F(WindowingWindowTest, TypedValuesApplyAndBadOnesChangeNothing) {
    frmDicomViewer &v = ctViewer(2, {1, 2});
    v.optAllChange->setChecked(true);
    v.level1->setText("-600");
    v.level1_LostFocus();
    v.width1->setText("1500");
    v.width1_LostFocus();
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(at(v, p)->level(), -600);
        EXPECT_EQ(at(v, p)->width(), 1500);
    }
    EXPECT_EQ(v.WidthSlider->value(), 1500);

    struct Row {
        QLineEdit *box;
        const char *text;
        const char *message;
    };
    const Row table[] = {{v.level1, "high", "not a number"}, {v.width1, "", "not a number"},
                         {v.width1, "0", "1 or more"},       {v.width1, "-30", "1 or more"},
                         {v.Zoom, "x2", "not a number"},     {v.Zoom, "0", "more than 0"},
                         {v.Zoom, "-4", "more than 0"}};
    for (const Row &r : table) {
        prompts->records.clear();
        r.box->setText(QString::fromLatin1(r.text));
        if (r.box == v.level1) {
            v.level1_LostFocus();
        } else if (r.box == v.width1) {
            v.width1_LostFocus();
        } else {
            v.Zoom_LostFocus();
        }
        ASSERT_EQ(prompts->messages().size(), 1) << r.text;
        EXPECT_TRUE(prompts->messages()[0].contains(QLatin1String(r.message))) << r.text;
        for (int p = 1; p <= 2; ++p) {
            EXPECT_EQ(at(v, p)->level(), -600) << r.text;
            EXPECT_EQ(at(v, p)->width(), 1500) << r.text;
            EXPECT_EQ(at(v, p)->zoom(), 1.0) << r.text;
        }
        EXPECT_EQ(v.LevelSlider->value(), -600) << r.text;
        EXPECT_EQ(v.WidthSlider->value(), 1500) << r.text;
        EXPECT_EQ(v.ZoomSlider->value(), 0) << r.text;
    }
}

TEST_F(WindowingWindowTest, EnterInABoxAppliesItAndMovesToTheViewer) {
    frmDicomViewer &v = ctViewer(1);
    v.show();
    QApplication::setActiveWindow(&v);
    v.cmdToolB_Click(); // the panel unfolds
    v.width1->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(v.width1->hasFocus());
    v.width1->selectAll();
    QTest::keyClicks(v.width1, "900");
    QTest::keyClick(v.width1, Qt::Key_Return);
    EXPECT_TRUE(v.Viewer->hasFocus());
    EXPECT_EQ(at(v, 1)->width(), 900);
    v.level1->setFocus();
    QTest::keyClick(v.level1, Qt::Key_Down);
    EXPECT_TRUE(v.LevelSlider->hasFocus());
    EXPECT_TRUE(prompts->records.empty()) << "an untouched box applies nothing on leaving";
}

TEST_F(WindowingWindowTest, ZoomSliderAndBoxGoToTheSelectedImageOnly) {
    frmDicomViewer &v = ctViewer(4, {2, 2});
    v.optAllChange->setChecked(true);
    at(v, 1)->setScrollOffset(QPointF(5, -3));
    v.ZoomSlider->setValue(20);
    EXPECT_EQ(at(v, 1)->zoom(), 4.0);
    EXPECT_EQ(v.Zoom->text(), "4");
    EXPECT_EQ(at(v, 1)->scrollOffset(), QPointF(5, -3)) << "a grid keeps the offset";
    EXPECT_EQ(at(v, 2)->zoom(), 1.0) << "the zoom ignores All Change";
    v.ZoomSlider->setValue(-20);
    EXPECT_EQ(at(v, 1)->zoom(), 0.25);
    EXPECT_EQ(v.Zoom->text(), "0.25");

    v.Zoom->setText("8");
    v.Zoom_LostFocus();
    EXPECT_EQ(v.ZoomSlider->value(), 30);
    EXPECT_EQ(at(v, 1)->zoom(), 8.0);
    v.Zoom->setText("5");
    v.Zoom_LostFocus();
    EXPECT_EQ(at(v, 1)->zoom(), 5.0) << "the typed factor, not the slider's step";
    EXPECT_EQ(v.ZoomSlider->value(), 23);
}

TEST_F(WindowingWindowTest, OnOneTileTheZoomKeepsThePressedPointInPlace) {
    frmDicomViewer &v = ctViewer(1);
    v.resize(900, 700);
    v.show();
    QApplication::processEvents();
    const QRect tile = v.Viewer->tileRect(1);
    ASSERT_FALSE(tile.isEmpty());
    const QPoint pressed = tile.center() + QPoint(tile.width() / 6, -tile.height() / 8);
    v.Viewer_MouseDown(1, 0, pressed.x(), pressed.y());
    const auto before = v.Viewer->imagePixelAt(pressed);
    ASSERT_TRUE(before);
    v.ZoomSlider_MouseDown();
    v.ZoomSlider->setValue(15);
    EXPECT_NE(at(v, 1)->scrollOffset(), QPointF());
    const auto after = v.Viewer->imagePixelAt(pressed);
    ASSERT_TRUE(after);
    EXPECT_NEAR(after->x(), before->x(), 0.05);
    EXPECT_NEAR(after->y(), before->y(), 0.05);
}

TEST_F(WindowingWindowTest, FlipsTurnsAndNormalFromMenusAndContextMenu) {
    frmDicomViewer &v = ctViewer(3, {1, 3});
    v.SelectImage(1);
    v.entry("mnuFlipHorizontal")->trigger();
    v.entry("cmnuFlipVertical")->trigger();
    EXPECT_EQ(at(v, 1)->flipState(), 3);
    EXPECT_EQ(at(v, 2)->flipState(), 0);
    v.entry("mnuNormal")->trigger();
    EXPECT_EQ(at(v, 1)->flipState(), 0);
    v.entry("mnuRotateClockwise")->trigger();
    EXPECT_EQ(at(v, 1)->rotation(), 3);
    v.entry("cmnuRotateCounterClockwise")->trigger();
    v.entry("mnuRotateAnticlockwise")->trigger();
    EXPECT_EQ(at(v, 1)->rotation(), 1);
    v.entry("cmnuNormal")->trigger();
    EXPECT_EQ(at(v, 1)->rotation(), 0);

    // With All Change each image keeps its own other bit and turns from its own rotation.
    at(v, 2)->setFlipState(1);
    at(v, 3)->setFlipState(2);
    at(v, 3)->setRotation(3);
    v.optAllChange->setChecked(true);
    v.entry("cmnuFlipHorizontal")->trigger();
    EXPECT_EQ(at(v, 1)->flipState(), 1);
    EXPECT_EQ(at(v, 2)->flipState(), 0);
    EXPECT_EQ(at(v, 3)->flipState(), 3);
    v.entry("cmnuRotateClockwise")->trigger();
    EXPECT_EQ(at(v, 1)->rotation(), 3);
    EXPECT_EQ(at(v, 3)->rotation(), 2);
    v.entry("mnuNormal")->trigger();
    for (int p = 1; p <= 3; ++p) {
        EXPECT_EQ(at(v, p)->flipState(), 0);
        EXPECT_EQ(at(v, p)->rotation(), 0);
    }
}

TEST_F(WindowingWindowTest, StretchToFitHidesTheZoomAndBlocksMouseFunctionThree) {
    frmDicomViewer &v = ctViewer(2, {1, 2});
    v.optAllChange->setChecked(true);
    v.StretchToFit->click();
    EXPECT_TRUE(at(v, 1)->stretch());
    EXPECT_TRUE(at(v, 2)->stretch());
    EXPECT_FALSE(v.ZoomSlider->isVisibleTo(v.fraMain));
    EXPECT_FALSE(v.Zoom->isVisibleTo(v.fraMain));
    EXPECT_TRUE(v.StretchToFit->isVisibleTo(v.fraMain));
    EXPECT_FALSE(v.mouseFunctionEnabled(3));
    EXPECT_TRUE(v.mouseFunctionEnabled(2));

    v.optAllChange->setChecked(false);
    v.StretchToFit->click();
    EXPECT_FALSE(at(v, 1)->stretch());
    EXPECT_TRUE(at(v, 2)->stretch()) << "without All Change only the selected image";
    EXPECT_TRUE(v.ZoomSlider->isVisibleTo(v.fraMain));
    EXPECT_TRUE(v.mouseFunctionEnabled(3));
}

TEST_F(WindowingWindowTest, SharpeningSmoothingAndEnhancementReachTheImages) {
    frmDicomViewer &v = ctViewer(2, {1, 2});
    EXPECT_FALSE(v.fraSharp->isVisibleTo(v.fraMain));
    v.chkSharp->click();
    EXPECT_TRUE(v.fraSharp->isVisibleTo(v.fraMain));
    v.chkSharp->click();
    EXPECT_FALSE(v.fraSharp->isVisibleTo(v.fraMain));
    v.sldSharp->setValue(10);
    v.sldSharpLength->setValue(30);
    EXPECT_EQ(at(v, 1)->sharpening(), 2.0);
    EXPECT_EQ(at(v, 1)->sharpeningLength(), 30);
    EXPECT_EQ(at(v, 2)->sharpening(), 0.0);

    v.entry("cmdSmooth")->trigger();
    EXPECT_TRUE(v.fraSmoothing->isVisibleTo(v.fraMain));
    EXPECT_TRUE(v.panelShown());
    v.CubicSpline->click();
    EXPECT_EQ(at(v, 1)->magnificationMethod(), 3);
    EXPECT_FALSE(v.fraSmoothing->isVisibleTo(v.fraMain));
    v.MovingAverage->click();
    EXPECT_EQ(at(v, 1)->minificationMethod(), 4);
    EXPECT_EQ(at(v, 1)->magnificationMethod(), 3);
    v.SelectImage(2); // selecting applies the window's own methods
    v.SelectImage(1);
    at(v, 1)->setMagnificationMethod(2);
    v.cmdSmooth_Click();
    EXPECT_TRUE(v.BSpline->isChecked()) << "the frame opens on the image's methods";

    QAction *enhance = v.entry("mnuDisplayEnhance");
    ASSERT_TRUE(enhance->isEnabled());
    enhance->trigger();
    EXPECT_TRUE(enhance->isChecked());
    EXPECT_TRUE(at(v, 1)->enhance());
    EXPECT_TRUE(at(v, 2)->enhance());
    enhance->trigger();
    EXPECT_FALSE(enhance->isChecked());
    EXPECT_FALSE(at(v, 2)->enhance());
}

TEST_F(WindowingWindowTest, DraggingSavesTheMinificationAndItsEndRestoresIt) {
    frmDicomViewer &v = ctViewer(1);
    const auto image = at(v, 1);
    image->setMinificationMethod(4);
    v.GetWindowingValues();
    EXPECT_TRUE(v.windowingSaved());
    EXPECT_FALSE(image->fullQuality());
    EXPECT_EQ(image->minificationMethod(), 1);
    v.GetWindowingValues(); // a second call keeps the first values
    v.RestoreMinification();
    EXPECT_EQ(image->minificationMethod(), 4);
    EXPECT_FALSE(image->fullQuality()) << "the rendering switch is not put back";
    v.RefreshImageControls();
    EXPECT_FALSE(v.windowingSaved());
}

TEST_F(WindowingWindowTest, WithNoImagesEachControlTellsTheUserOnceAndNothingBreaks) {
    frmDicomViewer &v = dicomViewer();
    v.btnLung->click();
    v.ZoomSlider->setValue(10);
    v.entry("cmnuFlipHorizontal")->trigger();
    v.cmdDefLevel->click();
    v.StretchToFit->click();
    EXPECT_EQ(prompts->messages().first(), "No Images to manipulate!");
    EXPECT_EQ(prompts->messages().count("No Images to manipulate!"), 1);
    EXPECT_EQ(v.imageCount(), 0);
}

} // namespace

// The mouse functions on the viewer window, offscreen: presses, drags and releases reach the
// images, the label tools attach their labels where they belong, measurements report their
// values, and a release that cannot be completed leaves nothing half done.
#include "viewertestsupport.h"
#include "viewerwindowfixture.h"

#include "core/prompter.h"
#include "dialogs/labelform.h"
#include "toolkit/viewercontrol.h"
#include "unit/component/componenttestsupport.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace ravlen;
using toolkit::Label;

namespace {

// A 64 x 64 CT slice: stored value x + 64 y, rescaled by -1024, optionally with a pixel
// spacing, and `frames` frames.
std::shared_ptr<toolkit::Image> slice(const QString &name, const QString &spacing = QString(),
                                      int frames = 1) {
    toolkit::DataSetBuilder b = testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"),
                                                      QStringLiteral("1.2.3.77.") + name);
    b.set(0x0028, 0x1052, QStringLiteral("-1024"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    b.set(0x0028, 0x1050, QStringLiteral("40"));
    b.set(0x0028, 0x1051, QStringLiteral("400"));
    if (!spacing.isEmpty()) {
        b.set(0x0028, 0x0030, spacing);
    }
    std::vector<int> values;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                values.push_back(x + 64 * y);
            }
        }
    }
    b.setPixels(testdata::monochrome(64, 64, frames, 16, 16, false, values));
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), name);
}

// The labels the user drew on an image (the overlay and the side markers left out).
std::vector<std::shared_ptr<Label>> drawn(const std::shared_ptr<toolkit::Image> &image) {
    std::vector<std::shared_ptr<Label>> out;
    for (int i = 1; i <= image->labels().count(); ++i) {
        if (!image->labels().item(i)->cellRelative) {
            out.push_back(image->labels().item(i));
        }
    }
    return out;
}

class MouseToolsTest : public test::ViewerWindowFixture {
protected:
    void SetUp() override {
        ViewerWindowFixture::SetUp();
        // The details window lives for the process: every test starts from its defaults.
        LabelForm &d = labelForm();
        d.LabelType[0]->setChecked(true);
        d.LabelType_Click(0);
        d.ImageScale->setChecked(true);
        d.Transparent->setChecked(true);
        d.LineWidth->setText(QStringLiteral("1"));
    }
    // Images on a grid, the viewer 640 x 640 so a 1 x 1 tile shows 10 screen pixels a pixel.
    frmDicomViewer &viewerWith(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                               viewer::GridSize grid = {1, 1}) {
        frmDicomViewer &v = ViewerWindowFixture::viewerWith(images, grid);
        v.Viewer->grab(); // the window's own layout first; then the size the tests work with
        v.Viewer->setGeometry(0, 0, 640 * grid.columns, 640 * grid.rows);
        return v;
    }
    static void drag(frmDicomViewer &v, QPoint from, QPoint to, int shift = 0) {
        v.Viewer_MouseDown(1, shift, from.x(), from.y());
        v.Viewer_MouseMove(1, shift, (from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
        v.Viewer_MouseMove(1, shift, to.x(), to.y());
        v.Viewer_MouseUp(1, shift, to.x(), to.y());
    }
};

TEST_F(MouseToolsTest, SelectSelectsAndShiftDragsPanUnlessStretched) {
    frmDicomViewer &v = viewerWith({slice("a"), slice("b")}, {1, 2});
    v.Viewer_MouseDown(1, 0, 900, 300);
    EXPECT_EQ(v.GetSelectedImage(), at(v, 2));
    EXPECT_EQ(at(v, 2)->border(), 2);
    EXPECT_EQ(at(v, 1)->border(), 0);
    v.Viewer_MouseUp(1, 0, 900, 300);

    drag(v, {900, 300}, {920, 290}, 1);
    // 10 screen pixels an image pixel: the image follows the pointer 2 pixels right, 1 up.
    EXPECT_EQ(at(v, 2)->scrollOffset(), QPointF(-2, 1));
    drag(v, {900, 300}, {950, 300}); // without Shift: only selects
    EXPECT_EQ(at(v, 2)->scrollOffset(), QPointF(-2, 1));

    v.StretchToFit->click();
    EXPECT_FALSE(v.mouseTools().button(viewer::mouse::Hand)->isEnabled());
    drag(v, {900, 300}, {980, 300}, 1);
    EXPECT_EQ(at(v, 2)->scrollOffset(), QPointF(-2, 1)) << "stretched images do not pan";
}

TEST_F(MouseToolsTest, WindowDragsChangeWidthAndLevelOneUnitAPixel) {
    frmDicomViewer &v = viewerWith({slice("a"), slice("b")}, {1, 2});
    at(v, 1)->setMinificationMethod(4);
    v.Mouse_Click(viewer::mouse::Window);
    v.Viewer_MouseDown(1, 0, 100, 100);
    EXPECT_EQ(at(v, 1)->minificationMethod(), 1) << "the fast path while dragging";
    v.Viewer_MouseMove(1, 0, 140, 110);
    EXPECT_EQ(at(v, 1)->width(), 440);
    EXPECT_EQ(at(v, 1)->level(), 30);
    v.Viewer_MouseUp(1, 0, 140, 110);
    EXPECT_EQ(at(v, 1)->minificationMethod(), 4) << "restored at the release";

    // Window2 changes the image under the pointer, and with All Change every image.
    v.Mouse_Click(viewer::mouse::Window2);
    v.optAllChange->setChecked(true);
    drag(v, {900, 100}, {890, 150});
    EXPECT_EQ(at(v, 2)->width(), 390);
    EXPECT_EQ(at(v, 2)->level(), -10);
    EXPECT_EQ(at(v, 1)->width(), 390);
}

TEST_F(MouseToolsTest, CineScrubsTheFramesOfTheCurrentImage) {
    frmDicomViewer &v = viewerWith({slice("cine", QString(), 4)});
    v.Mouse_Click(viewer::mouse::Cine);
    v.Viewer_MouseDown(1, 0, 100, 300);
    for (const auto &[x, frame] : {std::pair{109, 2}, {115, 3}, {125, 3}, {140, 1}}) {
        v.Viewer_MouseMove(1, 0, x, 300);
        EXPECT_EQ(at(v, 1)->currentFrame(), frame) << x;
    }
}

TEST_F(MouseToolsTest, TheMagnifierShowsThePixelUnderThePointerAtItsCentreUntilRelease) {
    frmDicomViewer &v = viewerWith({slice("a")});
    v.Viewer->grab();
    int renders = v.Viewer->renderCount();
    v.Mouse_Click(viewer::mouse::Magnify);
    v.Viewer_MouseDown(1, 0, 200, 300);
    ASSERT_EQ(v.Viewer->images().count(), 2);
    const auto glass = at(v, 2);
    EXPECT_FALSE(glass->displayRect().isEmpty());
    for (const QPoint p : {QPoint(200, 300), QPoint(450, 120)}) {
        v.Viewer_MouseMove(1, 0, p.x(), p.y());
        const QRect rect = v.Viewer->tileRect(2);
        EXPECT_NEAR(rect.center().x(), p.x(), 2);
        const auto t = v.Viewer->tileTransformAt(2);
        ASSERT_TRUE(t);
        EXPECT_NEAR(t->scaleX(), 50.0, 0.5) << "five times the 10 pixels an image pixel";
        const QPointF under = *v.Viewer->imagePixelAt(p);
        const QPointF centre = t->toImage(QPointF(rect.width() / 2.0, rect.height() / 2.0));
        EXPECT_NEAR(centre.x(), under.x(), 0.05);
        EXPECT_NEAR(centre.y(), under.y(), 0.05);
        v.Viewer->grab();
        EXPECT_EQ(v.Viewer->renderCount(), ++renders) << "only the magnifier is drawn";
    }
    v.Viewer_MouseUp(1, 0, 450, 120);
    EXPECT_EQ(v.Viewer->images().count(), 1);
    EXPECT_FALSE(v.mouseTools().MagnifierOn);
    v.Viewer->grab();
    EXPECT_EQ(v.Viewer->renderCount(), renders) << "the slice's picture was kept throughout";
}

TEST_F(MouseToolsTest, ALabelToolDrawsOneLabelOnTheImageAndReturnsToSelect) {
    frmDicomViewer &v = viewerWith({slice("a")});
    v.Mouse_Click(viewer::mouse::Line);
    EXPECT_TRUE(v.mouseTools().button(viewer::mouse::Line)->isChecked());
    v.Viewer_MouseDown(1, 0, 100, 100);
    v.Viewer_MouseMove(1, 0, 60, 40);
    EXPECT_EQ(v.Viewer->invertedCount(), 1) << "the rubber band while dragging";
    v.Viewer_MouseUp(1, 0, 60, 40);
    EXPECT_EQ(v.Viewer->invertedCount(), 0);
    ASSERT_EQ(int(drawn(at(v, 1)).size()), 1);
    const auto label = drawn(at(v, 1))[0];
    EXPECT_EQ(label->type, Label::Line);
    EXPECT_EQ(label->space, Label::Space::Image);
    EXPECT_NEAR(label->width, -4.0, 1e-9) << "drawn up and to the left: negative";
    EXPECT_EQ(v.mouseFunction(), viewer::mouse::Select);
    EXPECT_TRUE(v.mouseTools().button(viewer::mouse::Select)->isChecked());

    // Tied to "Control" the label stays with the viewer.
    labelForm().Control->setChecked(true);
    v.Mouse_Click(viewer::mouse::Rectangle);
    drag(v, {300, 300}, {400, 350});
    EXPECT_EQ(v.Viewer->labels().count(), 1);
    EXPECT_EQ(int(drawn(at(v, 1)).size()), 1);
}

TEST_F(MouseToolsTest, AReleaseOverNoImageIsNotValidAndAttachesNothing) {
    frmDicomViewer &v = viewerWith({slice("a")}, {1, 2}); // the right tile is empty
    v.Mouse_Click(viewer::mouse::Arrow);
    drag(v, {900, 100}, {300, 300});
    ASSERT_EQ(prompts->messages(), QStringList{"Event not valid!"});
    EXPECT_EQ(prompts->records.back().icon, Prompter::Icon::Critical);
    EXPECT_EQ(int(drawn(at(v, 1)).size()), 0);
    EXPECT_EQ(v.Viewer->labels().count(), 0);
    EXPECT_EQ(v.Viewer->invertedCount(), 0);
    EXPECT_FALSE(v.mouseTools().LabelDrawing);
    EXPECT_EQ(v.mouseFunction(), viewer::mouse::Arrow) << "the release was abandoned";
}

TEST_F(MouseToolsTest, TextAsksForItsTextAndCancelLeavesTwoSpaces) {
    frmDicomViewer &v = viewerWith({slice("a")});
    prompts->inputAnswers = {QStringLiteral("Liver"), QString()};
    for (int i = 0; i < 2; ++i) {
        v.Mouse_Click(viewer::mouse::Text);
        drag(v, {100, 100}, {300, 150});
    }
    ASSERT_EQ(int(drawn(at(v, 1)).size()), 2);
    EXPECT_EQ(prompts->records[0].text, "Enter label text");
    EXPECT_EQ(drawn(at(v, 1))[0]->text, " Liver ");
    EXPECT_EQ(drawn(at(v, 1))[1]->text, "  ");
    EXPECT_FALSE(drawn(at(v, 1))[0]->transparent) << "text labels are opaque";
}

TEST_F(MouseToolsTest, MeasureWritesTheLengthInMillimetresOrPixels) {
    frmDicomViewer &v = viewerWith({slice("mm", QStringLiteral("0.5\\0.5"))});
    v.Mouse_Click(viewer::mouse::Measure);
    EXPECT_TRUE(labelForm().LabelType[3]->isChecked()) << "Measure turns Text into Line";
    EXPECT_FALSE(labelForm().Tied->isVisibleTo(&labelForm()));
    drag(v, {100, 320}, {400, 320});
    ASSERT_EQ(int(drawn(at(v, 1)).size()), 2);
    const auto value = drawn(at(v, 1))[1];
    EXPECT_EQ(value->text, "15. mm") << "30 pixels of 0.5 mm";
    EXPECT_EQ(value->font, "Arial Bold");
    EXPECT_EQ(value->foreColour, 0xFFFFFFu);

    v.DeleteAll_Click();
    v.Viewer->images().add(slice("px"));
    v.InitImage();
    v.Mouse_Click(viewer::mouse::Measure);
    drag(v, {100, 320}, {100, 520});
    EXPECT_EQ(drawn(at(v, 1))[1]->text, "20. px") << "never millimetres for pixels";
}

TEST_F(MouseToolsTest, MeasureARegionGivesItsAreaAndMean) {
    frmDicomViewer &v = viewerWith({slice("mm", QStringLiteral("0.5\\0.5"))});
    labelForm().LabelType[2]->setChecked(true);
    v.Mouse_Click(viewer::mouse::Measure);
    // Image pixels 10..19 across and 20..29 down: stored x + 64 y, less 1024.
    drag(v, {100, 200}, {200, 300});
    ASSERT_EQ(prompts->messages().size(), 2);
    EXPECT_EQ(prompts->messages()[0], "25 square mm");
    EXPECT_EQ(prompts->messages()[1], "Mean value = 558.5");
    EXPECT_EQ(int(drawn(at(v, 1)).size()), 1) << "no value label for a region";
}

TEST_F(MouseToolsTest, ProtractorAndCobbDrawOnTheViewerAndReport) {
    frmDicomViewer &v = viewerWith({slice("a")});
    v.Mouse_Click(viewer::mouse::Protractor);
    for (const QPoint p : {QPoint(100, 100), QPoint(200, 100), QPoint(200, 200)}) {
        v.Viewer_MouseDown(1, 0, p.x(), p.y());
        v.Viewer_MouseUp(1, 0, p.x(), p.y());
    }
    ASSERT_EQ(v.Viewer->labels().count(), 3);
    const auto angle = v.Viewer->labels().item(3);
    EXPECT_EQ(angle->text, "90. deg");
    EXPECT_EQ(angle->left, 150.0 - 53.0);
    EXPECT_EQ(angle->foreColour, 0x0000FFu);
    EXPECT_EQ(v.mouseFunction(), viewer::mouse::Protractor) << "ready for the next angle";

    v.Mouse_Click(viewer::mouse::Cobb);
    for (const QPoint p : {QPoint(0, 0), QPoint(10, 0), QPoint(0, 0), QPoint(10, 10)}) {
        v.Viewer_MouseDown(1, 0, p.x(), p.y());
    }
    EXPECT_EQ(prompts->messages(), QStringList{"The Cobb Angle is : 45"});
    EXPECT_EQ(v.CalculateCobb(), 45.0);
    EXPECT_EQ(v.Viewer->labels().count(), 5);
    v.cmnuLabelClear_Click();
    EXPECT_EQ(v.Viewer->labels().count(), 5) << "the viewer's own drawings stay";
}

TEST_F(MouseToolsTest, DeleteSelectedAndClearLabels) {
    frmDicomViewer &v = viewerWith({slice("a")});
    v.Mouse_Click(viewer::mouse::Line);
    drag(v, {100, 100}, {500, 100});
    v.Mouse_Click(viewer::mouse::Elipse);
    drag(v, {100, 300}, {300, 400});
    ASSERT_EQ(int(drawn(at(v, 1)).size()), 2);
    v.cmnuLabelDelete_Click();
    EXPECT_EQ(prompts->messages().size(), 1) << "nothing selected yet";
    QTest::mouseClick(v.Viewer, Qt::RightButton, {}, QPoint(300, 101));
    v.mnuContext->hide();
    v.cmnuLabelDelete_Click();
    ASSERT_EQ(int(drawn(at(v, 1)).size()), 1);
    EXPECT_EQ(drawn(at(v, 1))[0]->type, Label::Ellipse);
    v.cmnuLabelClear_Click();
    EXPECT_EQ(int(drawn(at(v, 1)).size()), 0);
}

TEST_F(MouseToolsTest, TypedLineWidthsAreKeptSane) {
    frmDicomViewer &v = viewerWith({slice("a")});
    const struct {
        const char *typed;
        int width;
    } rows[] = {{"3", 3}, {"abc", 1}, {"-5", 1}, {"1e9", 32}, {"", 1}, {" 2.6 ", 3}};
    for (const auto &r : rows) {
        labelForm().LineWidth->setText(QString::fromLatin1(r.typed));
        v.Mouse_Click(viewer::mouse::Line);
        drag(v, {100, 100}, {200, 200});
        EXPECT_EQ(drawn(at(v, 1)).back()->lineWidth, r.width) << r.typed;
    }
}

TEST_F(MouseToolsTest, DoubleClickSwitchesTheLayoutExceptForTextAndMeasure) {
    frmDicomViewer &v = viewerWith({slice("a"), slice("b")});
    v.Mouse_Click(viewer::mouse::Text);
    v.Viewer_DblClick();
    EXPECT_EQ(v.Viewer->rows(), 1);
    v.Mouse_Click(viewer::mouse::Hand);
    v.Viewer_DblClick();
    EXPECT_EQ(v.Viewer->rows(), 4);
}

TEST_F(MouseToolsTest, ASecondRetrievalLeavesTheWindowsTheUserSet) {
    frmDicomViewer &v = viewerWith({slice("a"), slice("b")}, {1, 2});
    v.LevelSlider->setValue(300);
    v.WidthSlider->setValue(900);
    ASSERT_EQ(at(v, 1)->level(), 300);
    v.SelectImage(2);
    v.Mouse_Click(viewer::mouse::Window);
    drag(v, {900, 100}, {950, 100});
    ASSERT_EQ(at(v, 2)->width(), 450);

    const auto arrived = slice("c");
    arrived->setLevel(-500); // as if windowed along the way: the retrieval gives it its own
    v.Viewer->images().add(arrived);
    v.InitImage();
    EXPECT_EQ(at(v, 1)->level(), 300);
    EXPECT_EQ(at(v, 1)->width(), 900);
    EXPECT_EQ(at(v, 2)->width(), 450) << "the selected image keeps its window too";
    EXPECT_EQ(at(v, 3)->level(), 40);
    EXPECT_EQ(v.WidthSlider->value(), 450) << "the sliders follow the selected image";
}

} // namespace

namespace {

// A freehand drag through `points`, pressed at the first and released at the last.
void stroke(frmDicomViewer &v, const std::vector<QPoint> &points) {
    v.Viewer_MouseDown(1, 0, points.front().x(), points.front().y());
    for (const QPoint &p : points) {
        v.Viewer_MouseMove(1, 0, p.x(), p.y());
    }
    v.Viewer_MouseUp(1, 0, points.back().x(), points.back().y());
}

} // namespace

// Not a check: pictures of every label type, a measured line, a protractor and the magnifier
// on a real CT slice, for a person to look at. Runs when RAVLEN_LABEL_PICTURES names a folder
// and RAVLEN_LABEL_CT a CT file (scripts/screenshot-labels sets both, under Xvfb).
TEST_F(MouseToolsTest, PicturesOfTheLabelsForAPersonToLookAt) {
    const QString out = qEnvironmentVariable("RAVLEN_LABEL_PICTURES");
    const QString ct = qEnvironmentVariable("RAVLEN_LABEL_CT");
    if (out.isEmpty() || ct.isEmpty()) {
        GTEST_SKIP() << "set RAVLEN_LABEL_PICTURES and RAVLEN_LABEL_CT to take the pictures";
    }
    frmDicomViewer &v = dicomViewer();
    v.resize(1100, 900);
    v.show();
    QApplication::processEvents();
    v.OpenFiles({ct});
    v.SelectImage(1);
    v.InitImage();
    QApplication::processEvents();
    const QRect tile = v.Viewer->tileRect(1);
    const auto at = [&](double x, double y) {
        return QPoint(tile.left() + int(x * tile.width()), tile.top() + int(y * tile.height()));
    };
    prompts->inputAnswers = {QStringLiteral("Liver")};
    v.Mouse_Click(viewer::mouse::Text);
    stroke(v, {at(0.30, 0.60), at(0.45, 0.65)});
    v.Mouse_Click(viewer::mouse::Elipse);
    stroke(v, {at(0.55, 0.45), at(0.70, 0.58)});
    v.Mouse_Click(viewer::mouse::Rectangle);
    stroke(v, {at(0.25, 0.30), at(0.40, 0.42)});
    v.Mouse_Click(viewer::mouse::Arrow);
    stroke(v, {at(0.62, 0.30), at(0.80, 0.18)});
    labelForm().LineWidth->setText(QStringLiteral("2"));
    v.Mouse_Click(viewer::mouse::Draw);
    std::vector<QPoint> freehand;
    for (int i = 0; i <= 40; ++i) {
        freehand.push_back(at(0.20 + i * 0.006, 0.75 + 0.03 * std::sin(i / 4.0)));
    }
    stroke(v, freehand);
    v.Mouse_Click(viewer::mouse::Polygon);
    stroke(v, {at(0.55, 0.70), at(0.65, 0.66), at(0.72, 0.74), at(0.62, 0.82), at(0.55, 0.70)});
    v.Mouse_Click(viewer::mouse::Line);
    stroke(v, {at(0.10, 0.10), at(0.20, 0.20)});
    v.Mouse_Click(viewer::mouse::Measure);
    stroke(v, {at(0.30, 0.50), at(0.70, 0.50)});
    v.Mouse_Click(viewer::mouse::Protractor);
    for (const QPoint p : {at(0.80, 0.60), at(0.88, 0.80), at(0.95, 0.62)}) {
        v.Viewer_MouseDown(1, 0, p.x(), p.y());
        v.Viewer_MouseUp(1, 0, p.x(), p.y());
    }
    QApplication::processEvents();
    EXPECT_TRUE(v.grab().save(out + QStringLiteral("/labels.png")));

    v.Mouse_Click(viewer::mouse::Magnify);
    const QPoint glass = at(0.48, 0.52);
    v.Viewer_MouseDown(1, 0, glass.x(), glass.y());
    v.Viewer_MouseMove(1, 0, glass.x() + 3, glass.y() + 2);
    QApplication::processEvents();
    EXPECT_TRUE(v.grab().save(out + QStringLiteral("/magnifier.png")));
    v.Viewer_MouseUp(1, 0, glass.x() + 3, glass.y() + 2);
    labelForm().LineWidth->setText(QStringLiteral("1"));
}

// The viewer control offscreen: which image each tile shows, the pixel under a point through
// turns, mirrors, zoom and pan, the tile-picture cache (only changed images are drawn again),
// deferred drawing, the selection border, the mouse and key events, and images that cannot be
// drawn.

#include "support/dicomtestdata.h"
#include "toolkit/image.h"
#include "toolkit/viewercontrol.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace ravlen::testdata;
using ravlen::toolkit::Image;
using ravlen::toolkit::TileTransform;
using ravlen::toolkit::TransferSyntax;
using ravlen::toolkit::ViewerControl;

namespace {

// A 16-bit image with a stored window 0..1000; `at` gives each pixel's stored value.
template <typename F>
std::shared_ptr<Image> makeImage(int columns, int rows, F at, const QString &name = "img.dcm") {
    std::vector<int> values;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            values.push_back(at(x, y));
        }
    }
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(rows, columns, 1, 16, 16, false, values));
    b.set(0x0028, 0x1050, QStringLiteral("500"));
    b.set(0x0028, 0x1051, QStringLiteral("1000"));
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), name);
}

std::shared_ptr<Image> greyImage(int value = 500) {
    return makeImage(32, 32, [value](int, int) { return value; });
}

// The bounding box of the pixels brighter than mid-grey.
QRect brightArea(const QImage &picture) {
    QRect box;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (qGray(picture.pixel(x, y)) > 128) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

bool near(QRgb pixel, QColor colour, int tolerance = 40) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

} // namespace

TEST(ViewerControl, TilesShowImagesFromTheCurrentIndexRowByRow) {
    ViewerControl viewer;
    viewer.resize(600, 400);
    for (int i = 0; i < 8; ++i) {
        viewer.images().add(greyImage(100 * i));
    }
    viewer.setRows(2);
    viewer.setColumns(3);
    viewer.setCurrentIndex(5);
    ASSERT_EQ(viewer.currentIndex(), 5);

    const struct {
        QPoint point;
        int position;
    } hits[] = {
        {{100, 100}, 5}, {{300, 100}, 6}, {{599, 0}, 7},   {{0, 399}, 8}, // the images 5..8
        {{300, 300}, 0}, {{500, 300}, 0},                                 // empty tiles
        {{600, 100}, 0}, {{-1, 100}, 0},  {{100, 400}, 0},                // outside the widget
    };
    for (const auto &h : hits) {
        EXPECT_EQ(viewer.imageIndexAt(h.point), h.position) << h.point.x() << "," << h.point.y();
    }
    EXPECT_EQ(viewer.tileRect(8), QRect(0, 200, 200, 200));
    EXPECT_EQ(viewer.tileRect(4), QRect()); // before the first shown
    EXPECT_TRUE(viewer.tilePicture(4).isNull());
    EXPECT_FALSE(viewer.tilePicture(8).isNull());
    EXPECT_EQ(viewer.tilePicture(8).size(), QSize(200, 200));

    // the first shown position stays within the collection
    viewer.setCurrentIndex(0);
    EXPECT_EQ(viewer.currentIndex(), 1);
    viewer.setCurrentIndex(99);
    EXPECT_EQ(viewer.currentIndex(), 8);
    viewer.images().clear();
    EXPECT_EQ(viewer.currentIndex(), 0);
    EXPECT_EQ(viewer.imageIndexAt({100, 100}), 0);
    EXPECT_FALSE(viewer.imagePixelAt({100, 100}).has_value());
}

// One bright image pixel is drawn where the tile geometry puts it, and the pixel the viewer
// reports under the middle of the bright spot is that pixel, for every turn, mirror, zoom and
// pan.
TEST(ViewerControl, PixelUnderPointRoundTripsThroughTheDrawnPicture) {
    const QPoint marker(9, 5);
    const auto image =
        makeImage(16, 8, [&](int x, int y) { return QPoint(x, y) == marker ? 1000 : 0; });
    image->setMagnificationMethod(1); // replicate: the marker stays a sharp block
    ViewerControl viewer;
    viewer.resize(320, 320);
    viewer.images().add(image);

    for (int rotation = 0; rotation < 4; ++rotation) {
        for (int flip = 0; flip < 4; ++flip) {
            for (const double zoom : {1.0, 1.7}) {
                for (const QPointF scroll : {QPointF(0, 0), QPointF(2, 1)}) {
                    for (const bool stretch : {false, true}) {
                        SCOPED_TRACE(testing::Message()
                                     << "rotation " << rotation << " flip " << flip << " zoom "
                                     << zoom << " scroll " << scroll.x() << "," << scroll.y()
                                     << " stretch " << stretch);
                        image->setRotation(rotation);
                        image->setFlipState(flip);
                        image->setZoom(zoom);
                        image->setScrollOffset(scroll);
                        image->setStretch(stretch);
                        const QRect spot = brightArea(viewer.tilePicture(1));
                        ASSERT_FALSE(spot.isEmpty());
                        // one image pixel is scaleX x scaleY screen pixels
                        const TileTransform t = *viewer.tileTransformAt(1);
                        EXPECT_NEAR(spot.width(), t.scaleX(), 1.0);
                        EXPECT_NEAR(spot.height(), t.scaleY(), 1.0);
                        const auto p = viewer.imagePixelAt(spot.center());
                        ASSERT_TRUE(p.has_value());
                        EXPECT_EQ(int(std::floor(p->x())), marker.x());
                        EXPECT_EQ(int(std::floor(p->y())), marker.y());
                    }
                }
            }
        }
    }
    // off the image, inside the tile: no pixel
    image->setRotation(0);
    image->setFlipState(0);
    image->setZoom(1.0);
    image->setScrollOffset({});
    image->setStretch(false);
    EXPECT_EQ(viewer.imageIndexAt({160, 10}), 1); // the black bar above the image
    EXPECT_FALSE(viewer.imagePixelAt({160, 10}).has_value());
    EXPECT_TRUE(viewer.imagePixelAt({160, 160}).has_value());
}

TEST(ViewerControl, OnlyTheChangedImageIsDrawnAgain) {
    ViewerControl viewer;
    viewer.resize(400, 400);
    for (int i = 0; i < 5; ++i) {
        viewer.images().add(greyImage(200 + 100 * i));
    }
    viewer.setRows(2);
    viewer.setColumns(2);
    const QImage before = viewer.tilePicture(2);
    ASSERT_EQ(viewer.renderCount(), 4);
    ASSERT_EQ(viewer.tableBuilds(), 4);

    viewer.tilePicture(1); // nothing changed: nothing drawn
    EXPECT_EQ(viewer.renderCount(), 4);

    viewer.images().item(2)->setLevel(100); // a window change: one tile, one table
    EXPECT_NE(viewer.tilePicture(2), before);
    EXPECT_EQ(viewer.renderCount(), 5);
    EXPECT_EQ(viewer.tableBuilds(), 5);

    viewer.images().item(3)->setZoom(2.0); // geometry: one tile, the table is kept
    viewer.tilePicture(3);
    EXPECT_EQ(viewer.renderCount(), 6);
    EXPECT_EQ(viewer.tableBuilds(), 5);

    viewer.invalidate(viewer.images().item(4).get()); // asked for: that image only
    viewer.tilePicture(4);
    EXPECT_EQ(viewer.renderCount(), 7);

    viewer.setCurrentIndex(2); // one page on: images 2..4 keep their pictures, 5 is new
    viewer.tilePicture(5);
    EXPECT_EQ(viewer.renderCount(), 8);
}

TEST(ViewerControl, AutomaticRedrawOffDefersUntilRefresh) {
    ViewerControl viewer;
    viewer.resize(200, 200);
    viewer.images().add(greyImage(500));
    const QImage before = viewer.tilePicture(1);
    const int renders = viewer.renderCount();

    viewer.setAutoRedraw(false);
    viewer.images().item(1)->setLevel(0); // brighter
    EXPECT_EQ(viewer.tilePicture(1), before);
    EXPECT_EQ(viewer.renderCount(), renders);
    (void)viewer.grab(); // a paint in between still shows the old picture
    EXPECT_EQ(viewer.tilePicture(1), before);

    viewer.refresh();
    const QImage after = viewer.tilePicture(1);
    EXPECT_EQ(viewer.renderCount(), renders + 1);
    EXPECT_GT(qGray(after.pixel(100, 100)), qGray(before.pixel(100, 100)));

    viewer.images().item(1)->setLevel(1000);
    viewer.setAutoRedraw(true); // back on: changes show at once
    EXPECT_LT(qGray(viewer.tilePicture(1).pixel(100, 100)), qGray(after.pixel(100, 100)));
}

// With automatic redraw on, a change made to an image elsewhere is painted without a call.
TEST(ViewerControl, ShownViewerPaintsImageChangesByItself) {
    ViewerControl viewer;
    viewer.resize(200, 200);
    viewer.images().add(greyImage(500));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    QTRY_VERIFY(viewer.renderCount() >= 1);
    const int renders = viewer.renderCount();
    viewer.images().item(1)->setWidth(10);
    QTRY_COMPARE(viewer.renderCount(), renders + 1);
}

// The viewer listens to the images it shows: a change repaints that image's tiles, and the
// listener goes when the image leaves the screen or the viewer goes.
TEST(ViewerControl, ImagesTellTheirViewerOfChanges) {
    const auto image = greyImage(500);
    int calls = 0;
    const int token = image->onChange([&](const Image &) { ++calls; });
    image->setLevel(400);
    image->setLevel(400); // the same value again: nobody is told
    image->setFlipState(image->flipState() ^ Image::FlipHorizontal);
    image->setScrollOffset({0.0, 1e-9}); // a tiny pan still counts
    image->setSharpening(1.0);
    image->setEnhance(true);
    image->setFullQuality(false);
    EXPECT_EQ(calls, 6);
    image->removeChangeListener(token);
    image->setLevel(300);
    EXPECT_EQ(calls, 6);

    const auto hidden = greyImage(500);
    {
        ViewerControl viewer;
        viewer.resize(200, 100);
        viewer.setColumns(2);
        viewer.images().add(image);
        viewer.images().add(greyImage(500));
        viewer.images().add(hidden); // third, on no tile
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
        QTRY_COMPARE(viewer.renderCount(), 2);

        hidden->setLevel(0);
        QApplication::processEvents();
        EXPECT_EQ(viewer.renderCount(), 2);
        image->setLevel(0);
        QTRY_COMPARE(viewer.renderCount(), 3);
        QApplication::processEvents();
        EXPECT_EQ(viewer.renderCount(), 3); // the other tile kept its picture

        viewer.setCurrentIndex(2); // image 1 leaves the screen
        QTRY_COMPARE(viewer.renderCount(), 4);
        image->setLevel(100);
        QApplication::processEvents();
        EXPECT_EQ(viewer.renderCount(), 4);
    }
    // the viewer is gone; the images it showed live on and change without it
    image->setLevel(250);
    hidden->setLevel(250);
}

TEST(ViewerControl, SharpeningEnhancementAndSwitchAreTileStateThatComesBack) {
    // a soft disc: edges for the mask, grey levels for the enhancement
    const auto image = makeImage(32, 32, [](int x, int y) {
        const double r = std::hypot(x - 15.5, y - 15.5);
        return r < 10 ? 700 : r < 12 ? 550 : 400;
    });
    image->setMagnificationMethod(3);
    ViewerControl viewer;
    viewer.resize(128, 128);
    viewer.images().add(image);
    const QImage plain = viewer.tilePicture(1);
    int renders = viewer.renderCount();

    const auto changedTile = [&] {
        const QImage picture = viewer.tilePicture(1);
        EXPECT_EQ(viewer.renderCount(), ++renders);
        return picture;
    };
    image->setSharpening(0.0); // off already: nothing to draw
    image->setSharpeningLength(35);
    EXPECT_EQ(viewer.tilePicture(1), plain);
    image->setSharpening(2.0);
    EXPECT_NE(changedTile(), plain);
    image->setSharpening(0.0);
    EXPECT_EQ(changedTile(), plain);

    image->setEnhance(true);
    const QImage enhanced = changedTile();
    EXPECT_NE(enhanced, plain);
    image->setEnhance(false);
    EXPECT_EQ(changedTile(), plain) << "enhancement off gives the picture back exactly";

    image->setFullQuality(false); // bilinear instead of the cubic spline while dragging
    const QImage fast = changedTile();
    EXPECT_NE(fast, plain);
    int largest = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            largest =
                std::max(largest, std::abs(qGray(fast.pixel(x, y)) - qGray(plain.pixel(x, y))));
        }
    }
    EXPECT_LT(largest, 40); // the same picture, filtered differently
    image->setFullQuality(true);
    EXPECT_EQ(changedTile(), plain);
}

TEST(ViewerControl, SelectionBorderIsDrawnInsideTheTileInItsColour) {
    ViewerControl viewer;
    viewer.resize(200, 100);
    viewer.images().add(greyImage(500));
    viewer.images().add(greyImage(500));
    viewer.setColumns(2);
    const auto image = viewer.images().item(2);
    image->setBorder(2);
    const QColor red(255, 0, 0);
    EXPECT_EQ(viewer.borderColour(image.get()), red);

    const struct {
        QColor colour;
        bool set;
    } colours[] = {{red, false}, {QColor(0, 255, 0), true}, {QColor(0, 0, 255), true}};
    for (const auto &c : colours) {
        if (c.set) {
            viewer.setBorderColour(image.get(), c.colour);
        }
        const QImage picture = viewer.tilePicture(2);
        ASSERT_EQ(picture.size(), QSize(100, 100));
        for (const QPoint edge : {QPoint(0, 0), QPoint(1, 1), QPoint(99, 99), QPoint(98, 50),
                                  QPoint(50, 0), QPoint(0, 50)}) {
            EXPECT_TRUE(near(picture.pixel(edge), c.colour)) << edge.x() << "," << edge.y();
        }
        EXPECT_TRUE(near(picture.pixel(2, 50), QColor(127, 127, 127))); // inside the border
        EXPECT_TRUE(near(picture.pixel(50, 50), QColor(127, 127, 127)));
    }
    // the other image has no border
    EXPECT_TRUE(near(viewer.tilePicture(1).pixel(0, 50), QColor(127, 127, 127)));
    image->setBorder(0);
    EXPECT_TRUE(near(viewer.tilePicture(2).pixel(0, 50), QColor(127, 127, 127)));
}

TEST(ViewerControl, MouseEventsCarryButtonShiftAndPosition) {
    ViewerControl viewer;
    viewer.resize(300, 200);
    EXPECT_EQ(viewer.focusPolicy(), Qt::StrongFocus);
    QSignalSpy down(&viewer, &ViewerControl::MouseDown);
    QSignalSpy move(&viewer, &ViewerControl::MouseMove);
    QSignalSpy up(&viewer, &ViewerControl::MouseUp);
    QSignalSpy dbl(&viewer, &ViewerControl::DblClick);

    const struct {
        QEvent::Type type;
        Qt::MouseButton button;
        Qt::MouseButtons held;
        Qt::KeyboardModifiers modifiers;
        QPoint at;
        QSignalSpy *spy;
        int expectButton, expectShift;
    } cases[] = {
        {QEvent::MouseButtonPress,
         Qt::LeftButton,
         Qt::LeftButton,
         Qt::NoModifier,
         {10, 20},
         &down,
         1,
         0},
        {QEvent::MouseButtonPress,
         Qt::RightButton,
         Qt::RightButton,
         Qt::ShiftModifier,
         {299, 0},
         &down,
         2,
         1},
        {QEvent::MouseButtonPress,
         Qt::MiddleButton,
         Qt::MiddleButton,
         Qt::ControlModifier,
         {5, 199},
         &down,
         4,
         2},
        {QEvent::MouseButtonPress,
         Qt::LeftButton,
         Qt::LeftButton,
         Qt::AltModifier | Qt::ShiftModifier,
         {1, 1},
         &down,
         1,
         5},
        {QEvent::MouseMove,
         Qt::NoButton,
         Qt::LeftButton | Qt::RightButton,
         Qt::ShiftModifier,
         {40, 41},
         &move,
         3,
         1},
        {QEvent::MouseMove, Qt::NoButton, Qt::NoButton, Qt::NoModifier, {7, 8}, &move, 0, 0},
        {QEvent::MouseButtonRelease,
         Qt::RightButton,
         Qt::LeftButton,
         Qt::ControlModifier,
         {100, 150},
         &up,
         2,
         2},
    };
    for (const auto &c : cases) {
        const int downs = down.count(), moves = move.count(), ups = up.count();
        QMouseEvent event(c.type, QPointF(c.at), viewer.mapToGlobal(QPointF(c.at)), c.button,
                          c.held, c.modifiers);
        QApplication::sendEvent(&viewer, &event);
        EXPECT_EQ(down.count() + move.count() + up.count(), downs + moves + ups + 1);
        ASSERT_FALSE(c.spy->isEmpty());
        const QList<QVariant> args = c.spy->takeLast();
        EXPECT_EQ(args, (QList<QVariant>{c.expectButton, c.expectShift, c.at.x(), c.at.y()}));
    }

    // a double click is reported as such, not as another press
    down.clear();
    QMouseEvent dblEvent(QEvent::MouseButtonDblClick, QPointF(30, 30),
                         viewer.mapToGlobal(QPointF(30, 30)), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(&viewer, &dblEvent);
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(down.count(), 0);
}

TEST(ViewerControl, KeysArriveAsWindowsKeyCodes) {
    ViewerControl viewer;
    QSignalSpy keys(&viewer, &ViewerControl::KeyDown);
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code, shift;
    } cases[] = {
        {Qt::Key_Return, Qt::NoModifier, 13, 0},
        {Qt::Key_Enter, pad, 13, 0},
        {Qt::Key_Delete, Qt::NoModifier, 46, 0},
        {Qt::Key_0, pad, 96, 0},
        {Qt::Key_1, pad, 97, 0},
        {Qt::Key_4, pad, 100, 0},
        {Qt::Key_6, pad, 102, 0},
        {Qt::Key_7, pad, 103, 0},
        {Qt::Key_9, pad, 105, 0},
        {Qt::Key_4, Qt::NoModifier, 52, 0},
        {Qt::Key_Left, Qt::NoModifier, 37, 0},
        {Qt::Key_Up, Qt::NoModifier, 38, 0},
        {Qt::Key_Right, Qt::NoModifier, 39, 0},
        {Qt::Key_Down, Qt::NoModifier, 40, 0},
        {Qt::Key_PageUp, Qt::NoModifier, 33, 0},
        {Qt::Key_PageDown, Qt::NoModifier, 34, 0},
        {Qt::Key_Home, Qt::NoModifier, 36, 0},
        {Qt::Key_End, Qt::NoModifier, 35, 0},
        {Qt::Key_A, Qt::NoModifier, 65, 0},
        {Qt::Key_Z, Qt::ShiftModifier, 90, 1},
        {Qt::Key_C, Qt::ControlModifier, 67, 2},
        {Qt::Key_Escape, Qt::NoModifier, 27, 0},
        {Qt::Key_F1, Qt::NoModifier, 112, 0},
    };
    for (const auto &c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers);
        QApplication::sendEvent(&viewer, &event);
        ASSERT_EQ(keys.count(), 1) << "key " << c.key;
        EXPECT_EQ(keys.takeFirst(), (QList<QVariant>{c.code, c.shift})) << "key " << c.key;
    }
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_VolumeUp, Qt::NoModifier);
    QApplication::sendEvent(&viewer, &unknown);
    EXPECT_EQ(keys.count(), 0);
}

// An image that cannot be drawn gets a tile of its own saying so; the others draw as usual and
// nothing is thrown, whether asked for the picture or painted.
TEST(ViewerControl, ImagesThatCannotBeDrawnShowAMessageTile) {
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(4, 4, 1, 16, 12, false, std::vector<int>(16, 7)));
    b.set(0x0028, 0x0100, QStringLiteral("13")); // bits allocated the decoder refuses
    const auto odd = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "odd.dcm");

    ViewerControl viewer;
    viewer.resize(300, 100);
    viewer.setColumns(3);
    viewer.images().add(odd);
    viewer.images().add(Image::placeholder());
    viewer.images().add(greyImage(500));
    for (int position = 1; position <= 2; ++position) {
        QImage picture;
        ASSERT_NO_THROW(picture = viewer.tilePicture(position));
        ASSERT_EQ(picture.size(), QSize(100, 100));
        EXPECT_FALSE(brightArea(picture).isEmpty()) << "some text is drawn";
    }
    EXPECT_TRUE(near(viewer.tilePicture(3).pixel(50, 50), QColor(127, 127, 127)));
    EXPECT_NO_THROW((void)viewer.grab());
    EXPECT_EQ(viewer.imageIndexAt({150, 50}), 2);
    // a failed tile is not retried on every paint
    const int renders = viewer.renderCount();
    viewer.tilePicture(1);
    EXPECT_EQ(viewer.renderCount(), renders);
}

TEST(ViewerControl, ImagesWithADisplayRectangleAreDrawnThereOverTheGrid) {
    ViewerControl viewer;
    viewer.resize(400, 200);
    viewer.images().add(greyImage(0));
    const auto overlay = greyImage(1000);
    overlay->setDisplayRect(QRect(500, 250, 250, 500)); // thousandths of the widget
    viewer.images().add(overlay);
    viewer.setColumns(2);
    EXPECT_EQ(viewer.tileRect(2), QRect(200, 50, 100, 100));
    EXPECT_EQ(viewer.tilePicture(2).size(), QSize(100, 100));
    // hit tests see the grid beneath: the overlay's own tile is empty
    EXPECT_EQ(viewer.imageIndexAt({250, 100}), 0);
    EXPECT_EQ(viewer.imageIndexAt({50, 100}), 1);
    const QImage shown = viewer.grab().toImage();
    EXPECT_TRUE(near(shown.pixel(250, 100), Qt::white));
    EXPECT_TRUE(near(shown.pixel(350, 100), Qt::black));
}

TEST(ViewerControl, LabelsAreKeptInOrderAndTheSelectionIsOne) {
    using ravlen::toolkit::Label;
    ravlen::toolkit::LabelCollection labels;
    const auto a = labels.create();
    auto b = std::make_shared<Label>();
    labels.add(b);
    labels.add(nullptr);
    ASSERT_EQ(labels.count(), 2);
    labels.select(b);
    EXPECT_EQ(labels.selectedLabel(1), b);
    EXPECT_EQ(labels.selectedLabel(2), nullptr);
    labels.select(a);
    EXPECT_FALSE(b->selected);
    a->state = Label::Deleted;
    EXPECT_EQ(labels.selectedLabel(), nullptr) << "a deleted label is not selected";
    labels.purgeDeleted();
    EXPECT_EQ(labels.item(1), b);
    labels.remove(5); // outside: nothing
    EXPECT_EQ(labels.count(), 1);
}

namespace {

using ravlen::toolkit::Label;

std::shared_ptr<Label> line(QPointF from, QPointF to, Label::Space space = Label::Space::Viewer) {
    auto l = std::make_shared<Label>();
    l->type = Label::Line;
    l->space = space;
    l->left = from.x();
    l->top = from.y();
    l->width = to.x() - from.x();
    l->height = to.y() - from.y();
    l->lineWidth = 3;
    return l;
}

bool redAt(const QImage &picture, QPoint p) {
    return near(picture.pixel(p), Qt::red, 60);
}

} // namespace

TEST(ViewerControl, LabelsAreDrawnOverTheKeptTilesWithoutDrawingTheImageAgain) {
    ViewerControl viewer;
    viewer.resize(200, 200);
    viewer.images().add(greyImage(200));
    viewer.grab();
    const int renders = viewer.renderCount();

    const auto image = viewer.images().item(1);
    // Tied to the image: image pixels of the 32 x 32 image, shown at 200 / 32 per pixel.
    image->labels().add(line({4, 16}, {28, 16}, Label::Space::Image));
    // One of the viewer's own, in widget pixels.
    viewer.labels().add(line({20, 180}, {180, 180}));
    viewer.refresh();
    QImage shown = viewer.grab().toImage();
    EXPECT_TRUE(redAt(shown, QPoint(100, 99))) << "the image's line across the middle";
    EXPECT_TRUE(redAt(shown, QPoint(100, 180)));
    EXPECT_FALSE(redAt(shown, QPoint(100, 40)));
    EXPECT_EQ(viewer.renderCount(), renders) << "labels are drawn over the kept picture";

    // Zoomed about the centre, the image's line keeps its place on the image (still across the
    // middle, now longer) and the viewer's line stays where it was on the screen.
    image->setZoom(2.0);
    image->setScrollOffset(QPointF(0, -4)); // image row 12 at the centre
    shown = viewer.grab().toImage();
    EXPECT_TRUE(redAt(shown, QPoint(5, 100 + 50))) << "row 16 lies 4 image pixels below";
    EXPECT_TRUE(redAt(shown, QPoint(100, 180)));
    EXPECT_EQ(viewer.renderCount(), renders + 1) << "only the zoomed image was drawn again";

    image->labels().item(1)->state = Label::Deleted;
    viewer.refresh();
    EXPECT_FALSE(redAt(viewer.grab().toImage(), QPoint(100, 150)));
}

TEST(ViewerControl, ALabelIsReexpressedInTheSpaceItIsTiedTo) {
    ViewerControl viewer;
    viewer.resize(400, 200);
    viewer.setColumns(2);
    viewer.images().add(greyImage());
    viewer.images().add(greyImage());
    const auto transform = *viewer.tileTransformAt(2);
    const QRect tile = viewer.tileRect(2);

    auto tied = line({250, 50}, {350, 150});
    tied->scaleWithImage = true;
    tied->relativeTo(transform, tile);
    EXPECT_EQ(tied->space, Label::Space::Image);
    auto cell = line({250, 50}, {350, 150});
    cell->scaleWithImage = false;
    cell->relativeTo(transform, tile);
    EXPECT_EQ(cell->space, Label::Space::Cell);
    EXPECT_DOUBLE_EQ(cell->left, 50.0);

    // Where they are now, and again after the image is panned and turned.
    EXPECT_NEAR(viewer.placeLabelOf(2, *tied)->start.x(), 250.0, 1e-9);
    EXPECT_NEAR(viewer.placeLabelOf(2, *tied)->end.y(), 150.0, 1e-9);
    const auto image = viewer.images().item(2);
    image->setRotation(1);
    const auto turned = *viewer.placeLabelOf(2, *tied);
    // A quarter turn anticlockwise about the centre takes the pixel at (250, 50) to the one
    // at (250, 149): pixels turn about their centres.
    EXPECT_NEAR(turned.start.x(), 250.0, 1e-6);
    EXPECT_NEAR(turned.start.y(), 149.0, 1e-6);
    EXPECT_NEAR(viewer.placeLabelOf(2, *cell)->start.x(), 250.0, 1e-9)
        << "tied to the cell, it stays put";
}

TEST(ViewerControl, TheRubberBandInvertsAndIsErasedByDrawingItAgainWithoutRenders) {
    ViewerControl viewer;
    viewer.resize(300, 300);
    viewer.images().add(greyImage(300));
    const QImage before = viewer.grab().toImage();
    const int renders = viewer.renderCount();

    Label band = *line({10, 10}, {10, 10});
    band.type = Label::Rectangle;
    viewer.drawLabelInverted(band);
    for (int step = 1; step <= 40; ++step) {
        viewer.drawLabelInverted(band); // erase
        band.width = 5 * step;
        band.height = 3 * step;
        viewer.drawLabelInverted(band); // draw anew
        viewer.repaint();
    }
    EXPECT_EQ(viewer.invertedCount(), 1);
    const QImage drawn = viewer.grab().toImage();
    EXPECT_NE(drawn.pixel(10, 50), before.pixel(10, 50)) << "the left edge is inverted";
    EXPECT_EQ(drawn.pixel(100, 50), before.pixel(100, 50)) << "inside untouched";
    viewer.drawLabelInverted(band);
    EXPECT_EQ(viewer.invertedCount(), 0);
    EXPECT_EQ(viewer.grab().toImage(), before) << "drawing the outline again restores the picture";
    EXPECT_EQ(viewer.renderCount(), renders) << "the band never draws the image again";
}

TEST(ViewerControl, APressOnALabelSelectsItAndElsewhereClearsIt) {
    ViewerControl viewer;
    viewer.resize(200, 200);
    viewer.images().add(greyImage());
    viewer.show();
    const auto image = viewer.images().item(1);
    const auto label = line({20, 100}, {180, 100});
    image->labels().add(label);
    image->labels().add(line({20, 20}, {20, 40}));
    QTest::mouseClick(&viewer, Qt::LeftButton, {}, QPoint(100, 102));
    EXPECT_EQ(image->labels().selectedLabel(), label);
    QTest::mouseClick(&viewer, Qt::LeftButton, {}, QPoint(100, 150));
    EXPECT_EQ(image->labels().selectedLabel(), nullptr);
}

TEST(ViewerControl, HostileLabelsAreDrawnWithoutHarm) {
    ViewerControl viewer;
    viewer.resize(200, 200);
    viewer.images().add(greyImage());
    const auto image = viewer.images().item(1);
    for (int type : {0, 1, 2, 3, 4, 5, 7, 10, 11, 99}) {
        auto l = std::make_shared<Label>();
        l->type = type;
        l->left = NAN;
        l->top = 1e300;
        l->width = -1e300;
        l->height = INFINITY;
        l->points = {QPointF(NAN, 0), QPointF(1e300, -1e300)};
        l->fontSize = 1000000;
        l->lineWidth = -50;
        l->text = QString(10000, QChar(0x202E)) + QStringLiteral("\r\n\t\x01");
        l->transparent = type % 2 == 0;
        image->labels().add(l);
        viewer.labels().add(std::make_shared<Label>(*l));
    }
    image->labels().add(std::make_shared<Label>(*line({0, 0}, {0, 0}, Label::Space::Image)));
    const QImage shown = viewer.grab().toImage();
    EXPECT_EQ(shown.size(), QSize(200, 200));
    EXPECT_EQ(viewer.labelAt(QPoint(100, 100)), nullptr);
}

TEST(ViewerControl, ACellRelativeTextStaysInsideItsTileWhateverItsLength) {
    ViewerControl viewer;
    viewer.resize(400, 200);
    viewer.setColumns(2);
    viewer.images().add(greyImage(0)); // black, so any text drawn shows
    auto block = viewer.images().item(1)->labels().create();
    block->cellRelative = true;
    block->left = 400;
    block->width = 600;
    block->height = 500;
    block->alignment = 2;
    block->foreColour = 0xFFFFFF;
    block->font = QStringLiteral("Courier New");
    block->fontSize = 20;
    block->text = QString(10000, QLatin1Char('W')) + QStringLiteral("\r\n") +
                  QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd \u202e") + QStringLiteral("\r\n") +
                  QString(200, QLatin1Char('\n'));
    const QImage shown = viewer.grab().toImage();
    bool inside = false;
    for (int y = 0; y < 200; ++y) {
        for (int x = 200; x < 400; ++x) {
            ASSERT_EQ(qGray(shown.pixel(x, y)), 0) << "drawn outside its tile at " << x << "," << y;
        }
        for (int x = 0; x < 200; ++x) {
            inside = inside || qGray(shown.pixel(x, y)) > 128;
        }
    }
    EXPECT_TRUE(inside) << "the text is there, cut to its tile";
}

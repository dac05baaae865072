// The tile geometry: where an image lands in its tile after fitting, zoom, pan, stretch, turns
// and mirrors, and the way back from a tile point to the image pixel under it.

#include "toolkit/tilegeometry.h"

#include <gtest/gtest.h>

#include <set>

using ravlen::toolkit::tileIndexAt;
using ravlen::toolkit::tileRectangle;
using ravlen::toolkit::TileTransform;
using ravlen::toolkit::tileTransform;
using ravlen::toolkit::TileView;

namespace {

TileView view(QSize image, QSize cell, int rotation = 0, int flip = 0, double zoom = 1.0,
              QPointF scroll = QPointF(), bool stretch = false) {
    TileView v;
    v.image = image;
    v.cell = cell;
    v.rotation = rotation;
    v.flip = flip;
    v.zoom = zoom;
    v.scroll = scroll;
    v.stretch = stretch;
    return v;
}

void expectNear(QPointF actual, QPointF expected, const char *what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
}

} // namespace

// Where the image's top left corner and its top right corner land on screen, for each turn and
// mirror of a 200x100 image in a 400x400 cell (fitted at scale 2).
TEST(TileGeometry, CornersLandWhereTurnAndMirrorPutThem) {
    struct Case {
        int rotation, flip;
        QPointF topLeft, topRight;
    };
    const Case cases[] = {
        {0, 0, {0, 100}, {400, 100}}, // upright, centred vertically
        {0, 1, {400, 100}, {0, 100}}, // mirrored left to right
        {0, 2, {0, 300}, {400, 300}}, // mirrored top to bottom
        {0, 3, {400, 300}, {0, 300}}, // both: half a turn
        {1, 0, {100, 400}, {100, 0}}, // a quarter turn anticlockwise: top edge on the left
        {2, 0, {400, 300}, {0, 300}}, // half a turn
        {3, 0, {300, 0}, {300, 400}}, // a quarter turn clockwise: top edge on the right
        {1, 1, {300, 400}, {300, 0}}, // turned, then mirrored on screen
        {1, 2, {100, 0}, {100, 400}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "rotation " << c.rotation << " flip " << c.flip);
        const TileTransform t = tileTransform(view({200, 100}, {400, 400}, c.rotation, c.flip));
        expectNear(t.toCell({0, 0}), c.topLeft, "top left");
        expectNear(t.toCell({200, 0}), c.topRight, "top right");
    }
}

// Every view maps image points to the cell and back to where they started, and the part of
// the image it draws maps exactly onto the cell pixels that show it.
TEST(TileGeometry, RoundTripsAndSourceMatchesTarget) {
    const QSize images[] = {{512, 512}, {300, 120}, {1, 1}, {3328, 4096}};
    const QSize cells[] = {{512, 512}, {233, 171}, {1000, 1000}};
    for (const QSize image : images) {
        for (const QSize cell : cells) {
            for (int rotation = 0; rotation < 4; ++rotation) {
                for (int flip = 0; flip < 4; ++flip) {
                    for (const double zoom : {1.0, 2.5, 0.4}) {
                        for (const bool stretch : {false, true}) {
                            SCOPED_TRACE(testing::Message()
                                         << image.width() << "x" << image.height() << " in "
                                         << cell.width() << "x" << cell.height() << " r" << rotation
                                         << " f" << flip << " z" << zoom << " s" << stretch);
                            const QPointF scroll(image.width() * 0.05, -image.height() * 0.03);
                            const TileTransform t = tileTransform(
                                view(image, cell, rotation, flip, zoom, scroll, stretch));
                            const QPointF p(image.width() * 0.3, image.height() * 0.7);
                            expectNear(t.toImage(t.toCell(p)), p, "round trip");
                            ASSERT_TRUE(t.visible());
                            const QSize r = t.renderSize();
                            EXPECT_EQ(rotation % 2 ? r.transposed() : r, t.target().size());
                            // source is exactly the image behind target
                            const QRectF back(
                                t.toImage(t.target().topLeft()),
                                t.toImage(QPointF(t.target().x() + t.target().width(),
                                                  t.target().y() + t.target().height())));
                            const QRectF n = back.normalized();
                            EXPECT_NEAR(n.left(), t.source().left(), 1e-6);
                            EXPECT_NEAR(n.top(), t.source().top(), 1e-6);
                            EXPECT_NEAR(n.width(), t.source().width(), 1e-6);
                            EXPECT_NEAR(n.height(), t.source().height(), 1e-6);
                            // the drawn part stays within the cell
                            EXPECT_TRUE(QRect(QPoint(0, 0), cell).contains(t.target()));
                        }
                    }
                }
            }
        }
    }
}

TEST(TileGeometry, FitZoomPanAndStretch) {
    struct Case {
        const char *name;
        TileView v;
        QRect target;
        QRectF source;
        double sx, sy;
    };
    const Case cases[] = {
        {"fitted, black bars left and right",
         view({100, 200}, {400, 400}),
         {100, 0, 200, 400},
         {0, 0, 100, 200},
         2,
         2},
        {"zoom 2 shows the middle half",
         view({100, 100}, {400, 400}, 0, 0, 2.0),
         {0, 0, 400, 400},
         {25, 25, 50, 50},
         8,
         8},
        {"zoom 0.5 shrinks around the centre",
         view({100, 100}, {400, 400}, 0, 0, 0.5),
         {100, 100, 200, 200},
         {0, 0, 100, 100},
         2,
         2},
        {"scroll moves the view by image pixels",
         view({100, 100}, {400, 400}, 0, 0, 2.0, QPointF(10, -5)),
         {0, 0, 400, 400},
         {35, 20, 50, 50},
         8,
         8},
        {"scroll past the edge leaves black",
         view({100, 100}, {400, 400}, 0, 0, 1.0, {50, 0}),
         {0, 0, 200, 400},
         {50, 0, 50, 100},
         4,
         4},
        {"stretch fills the cell, ignoring zoom and scroll",
         view({100, 200}, {400, 400}, 0, 0, 3.0, {20, 20}, true),
         {0, 0, 400, 400},
         {0, 0, 100, 200},
         4,
         2},
        {"stretch of a turned image",
         view({100, 200}, {400, 100}, 1, 0, 1.0, {}, true),
         {0, 0, 400, 100},
         {0, 0, 100, 200},
         2,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TileTransform t = tileTransform(c.v);
        EXPECT_EQ(t.target(), c.target);
        EXPECT_NEAR(t.source().x(), c.source.x(), 1e-9);
        EXPECT_NEAR(t.source().y(), c.source.y(), 1e-9);
        EXPECT_NEAR(t.source().width(), c.source.width(), 1e-9);
        EXPECT_NEAR(t.source().height(), c.source.height(), 1e-9);
        EXPECT_DOUBLE_EQ(t.scaleX(), c.sx);
        EXPECT_DOUBLE_EQ(t.scaleY(), c.sy);
    }
}

TEST(TileGeometry, NothingToDrawGivesAnInvisibleTransform) {
    EXPECT_FALSE(tileTransform(view({0, 0}, {100, 100})).visible());
    EXPECT_FALSE(tileTransform(view({10, 10}, {0, 100})).visible());
    // panned entirely out of the cell
    EXPECT_FALSE(tileTransform(view({100, 100}, {100, 100}, 0, 0, 1.0, {500, 0})).visible());
    // a bad zoom draws as fitted rather than failing
    EXPECT_EQ(tileTransform(view({100, 100}, {100, 100}, 0, 0, 0.0)).target(),
              QRect(0, 0, 100, 100));
    EXPECT_EQ(tileTransform(view({100, 100}, {100, 100}, 0, 0, std::nan(""))).target(),
              QRect(0, 0, 100, 100));
}

// The tiles cover the widget without gaps or overlaps, and the hit test finds for every pixel
// the tile whose rectangle holds it.
TEST(TileGeometry, TilesPartitionTheWidgetAndHitTestsAgree) {
    const QSize sizes[] = {{7, 5}, {640, 480}, {101, 37}, {3, 3}};
    const std::pair<int, int> grids[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 6}};
    for (const QSize size : sizes) {
        for (const auto &[rows, columns] : grids) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " grid "
                                            << rows << "x" << columns);
            long long area = 0;
            for (int i = 0; i < rows * columns; ++i) {
                area += static_cast<long long>(tileRectangle(size, rows, columns, i).width()) *
                        tileRectangle(size, rows, columns, i).height();
            }
            EXPECT_EQ(area, static_cast<long long>(size.width()) * size.height());
            for (int y = 0; y < size.height(); y += std::max(1, size.height() / 17)) {
                for (int x = 0; x < size.width(); x += std::max(1, size.width() / 19)) {
                    const auto index = tileIndexAt(size, rows, columns, {x, y});
                    ASSERT_TRUE(index.has_value());
                    EXPECT_TRUE(tileRectangle(size, rows, columns, *index).contains(x, y));
                }
            }
        }
    }
    EXPECT_FALSE(tileIndexAt({100, 100}, 2, 2, {100, 50}).has_value());
    EXPECT_FALSE(tileIndexAt({100, 100}, 2, 2, {-1, 50}).has_value());
    EXPECT_EQ(tileRectangle({100, 100}, 2, 2, 4), QRect());
    EXPECT_EQ(tileRectangle({100, 100}, 0, 0, 0), QRect(0, 0, 100, 100)); // below 1 counts as 1
}

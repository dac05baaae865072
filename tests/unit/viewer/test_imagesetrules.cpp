#include "viewer/imagesetrules.h"

#include <gtest/gtest.h>

using namespace ravlen::viewer;

namespace {

TEST(Paging, FirstPositionOfThePageHoldingAPosition) {
    struct Row {
        int position, rows, columns, expected;
    };
    const Row table[] = {
        {4, 2, 2, 1},   {5, 2, 2, 5},  {8, 2, 2, 5},   {9, 2, 2, 9}, {1, 2, 2, 1}, {6, 2, 3, 1},
        {7, 2, 3, 7},   {12, 2, 3, 7}, {13, 2, 3, 13}, {2, 1, 2, 1}, {3, 1, 2, 3}, {36, 6, 6, 1},
        {37, 6, 6, 37}, {7, 1, 1, 7},  {0, 1, 1, 0}, // 1 x 1 shows the position itself, even 0
    };
    for (const Row &r : table) {
        EXPECT_EQ(pageStart(r.position, r.rows, r.columns), r.expected)
            << r.position << " on " << r.rows << "x" << r.columns;
    }
    // Before the first image the page lies below 1; the box clamp brings it back to 1.
    EXPECT_EQ(clampCurrent(pageStart(0, 2, 2), 10), 1);
}

TEST(CurrentBox, SettlesBelowOneAndAtOrAboveTheCount) {
    struct Row {
        int typed, count, expected;
    };
    const Row table[] = {{0, 10, 1},   {-4, 10, 1}, {1, 10, 1}, {5, 10, 5}, {10, 10, 10},
                         {11, 10, 10}, {99, 3, 3},  {0, 0, 0},  {1, 0, 0},  {7, 0, 0}};
    for (const Row &r : table) {
        EXPECT_EQ(clampCurrent(r.typed, r.count), r.expected) << r.typed << " of " << r.count;
    }
}

TEST(CurrentBox, ReadsWholeNumbersOnly) {
    EXPECT_EQ(parseWholeNumber(QStringLiteral(" 7 ")), 7);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("-3")), -3);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("2.5")), 2); // halves to even
    EXPECT_EQ(parseWholeNumber(QStringLiteral("3.5")), 4);
    EXPECT_EQ(parseWholeNumber(QString()), std::nullopt);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("4a")), std::nullopt);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("1e12")), std::nullopt);
    EXPECT_EQ(parseWholeNumber(QStringLiteral("nan")), std::nullopt);
}

TEST(ScrollBars, CountTheOtherWayAndTheRuleIsItsOwnInverse) {
    EXPECT_EQ(reversedSpin(10, 10), 1); // the rows bar starts at 10 and shows 1
    EXPECT_EQ(reversedSpin(10, 1), 10);
    EXPECT_EQ(reversedSpin(7, 3), 5);
    for (int v = 1; v <= 7; ++v) {
        EXPECT_EQ(reversedSpin(7, reversedSpin(7, v)), v);
    }
}

TEST(Keys, ActOnlyWhereThereIsSomewhereToGo) {
    struct Row {
        int key, current, count;
        KeyDecision expected;
    };
    const KeyDecision none{};
    const Row table[] = {
        {102, 7, 7, none}, // keypad 6 on the last image
        {102, 3, 7, {KeyAction::Select, 4}},
        {100, 1, 7, none}, // keypad 4 on the first
        {100, 3, 7, {KeyAction::Select, 2}},
        {97, 3, 7, {KeyAction::Select, 7}}, // keypad 1 jumps to the last
        {97, 7, 7, none},
        {103, 3, 7, {KeyAction::Select, 1}}, // keypad 7 jumps to the first
        {103, 1, 7, none},
        {13, 1, 1, {KeyAction::LayoutSwitch, 0}},
        {46, 2, 7, {KeyAction::CloseSelected, 0}},
        {104, 3, 7, none},
        {98, 3, 7, none},
        {105, 3, 7, none},
        {99, 3, 7, none},
        {65, 3, 7, none},
        {13, 0, 7, none},
        {46, 0, 7, none},
        {102, 0, 7, none}, // nothing selected
    };
    for (const Row &r : table) {
        EXPECT_EQ(decideKey(r.key, r.current, r.count), r.expected)
            << "key " << r.key << " at " << r.current << " of " << r.count;
    }
}

TEST(Grid, LayoutSwitchAndTileNames) {
    EXPECT_EQ(layoutSwitch({1, 1}), (GridSize{4, 4}));
    EXPECT_EQ(layoutSwitch({2, 3}), (GridSize{1, 1}));
    EXPECT_EQ(layoutSwitch({4, 4}), (GridSize{1, 1}));
    EXPECT_EQ(layoutSwitch({1, 2}), (GridSize{1, 1}));

    ASSERT_EQ(tileLayouts().size(), 11u);
    for (const GridSize &grid : tileLayouts()) {
        EXPECT_EQ(gridFromTileName(tileEntryName(grid)), grid);
        EXPECT_EQ(gridFromTileName(tileCaption(grid)), grid);
        const QString key = QStringLiteral("tbr%1x%2").arg(grid.rows).arg(grid.columns);
        EXPECT_EQ(gridFromToolbarKey(key), grid) << key.toStdString();
    }
    EXPECT_EQ(tileCaption({2, 3}), QStringLiteral("2 x 3"));
    EXPECT_EQ(tileEntryName({5, 6}), QStringLiteral("cmnuTile5x6"));
    EXPECT_EQ(gridFromTileName(QStringLiteral("Tile")), std::nullopt);
    EXPECT_EQ(gridFromTileName(QStringLiteral("cmnuTile0x3")), std::nullopt);
    for (const char *other : {"tbr2x1", "tbr7x7", "tbrOpen", "TBR2X2", ""}) {
        EXPECT_EQ(gridFromToolbarKey(QString::fromLatin1(other)), (GridSize{1, 1})) << other;
    }
}

TEST(WindowLayout, PanelHugsTheRightEdgeAndTheViewerNeverGoesNegative) {
    struct Row {
        WindowExtent extent;
        WindowLayout expected;
    };
    const Row table[] = {
        {{15000, 12000, 15120, 2880}, {12120, 14998, 11900, 14020}},
        {{15000, 60, 15120, 2880}, {12120, 14998, 40, 14020}}, // shorter than 100 twips
        {{1, 100, 1, 2880}, {-2879, 1, 0, -1099}},             // narrower than 2 twips
        {{0, 0, 0, 0}, {0, 2, 100, -1100}},
    };
    for (const Row &r : table) {
        EXPECT_EQ(layoutWindow(r.extent), r.expected)
            << r.extent.innerWidth << " x " << r.extent.innerHeight;
    }
}

} // namespace

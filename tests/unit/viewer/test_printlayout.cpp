// The print layout and the export choices, without a window.
#include "viewer/exportrules.h"
#include "viewer/printlayout.h"

#include <gtest/gtest.h>

using namespace ravlen::viewer;

namespace {

TEST(PrintFit, TheTighterSideFillsTheBoxTheOtherRoundsHalvesToEven) {
    struct Row {
        int boxWidth, boxHeight;
        QSize image, expected;
    };
    const Row rows[] = {
        {5240, 4330, {512, 512}, {4330, 4330}},  // sx 10.23 >= sy 8.46
        {5240, 4330, {1024, 256}, {5240, 1310}}, // sx < sy
        {5240, 4330, {524, 433}, {5240, 4330}},  // a tie takes the second rule
        {5240, 4330, {16, 1}, {5240, 328}},      // 327.5 rounds to the even 328
        {5240, 4330, {16, 3}, {5240, 982}},      // 982.5 rounds to the even 982
        {5240, 4330, {2, 1}, {5240, 2620}},      // small images are scaled up
        {10580, 13190, {512, 512}, {10580, 10580}},
        {10580, 13190, {256, 1024}, {3298, 13190}}, // 3297.5 -> 3298
        {5240, 4330, {0, 512}, {}},                 // nothing to fit
    };
    for (const Row &r : rows) {
        EXPECT_EQ(fitIntoBox(r.boxWidth, r.boxHeight, r.image), r.expected)
            << r.image.width() << "x" << r.image.height() << " in " << r.boxWidth;
    }
}

TEST(PrintLayout, SixToAPageInTwoColumnsAndThreeRows) {
    const std::vector<QSize> seven(7, QSize(512, 512));
    const std::vector<PrintPage> pages = layoutAllImages(seven);
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[0].size(), 6u);
    const QPoint numbers[] = {{100, 1500},  {5700, 1500}, {100, 5930},
                              {5700, 5930}, {100, 10360}, {5700, 10360}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages[0][i].index, i);
        EXPECT_EQ(pages[0][i].number, numbers[i]) << i;
        EXPECT_EQ(pages[0][i].picture, QRect(numbers[i] + QPoint(350, 0), QSize(4330, 4330)));
    }
    // The seventh alone at the top left of the second page.
    ASSERT_EQ(pages[1].size(), 1u);
    EXPECT_EQ(pages[1][0].index, 6);
    EXPECT_EQ(pages[1][0].number, QPoint(100, 1500));

    EXPECT_EQ(layoutAllImages(std::vector<QSize>(6, QSize(8, 8))).size(), 1u);
    EXPECT_EQ(layoutAllImages(std::vector<QSize>(13, QSize(8, 8))).size(), 3u);
    EXPECT_TRUE(layoutAllImages({}).empty());

    // The widest and tallest pictures stay inside their column and above 14690.
    const PrintPage wide = layoutAllImages(std::vector<QSize>(6, QSize(4000, 10)))[0];
    EXPECT_EQ(wide[0].picture.left(), 450);
    EXPECT_EQ(wide[0].picture.right() + 1, 5690);
    EXPECT_EQ(wide[1].picture.right() + 1, 11290);
    const PrintPage tall = layoutAllImages(std::vector<QSize>(6, QSize(10, 4000)))[0];
    EXPECT_EQ(tall[5].picture.bottom() + 1, 14690);
}

TEST(PrintLayout, TheSelectedImageFillsItsOwnPage) {
    const PrintPage page = layoutSelectedImage(QSize(1024, 256));
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0].number, QPoint(100, 1500));
    EXPECT_EQ(page[0].picture, QRect(450, 1500, 10580, 2645));
}

TEST(PrintLayout, TheInstanceNumberIsAWholeNumberOrNothing) {
    EXPECT_EQ(instanceNumberText(QVariant(7)), "7");
    EXPECT_EQ(instanceNumberText(QVariant(2.5)), "2");
    EXPECT_EQ(instanceNumberText(QVariant(QVariantList{12, 13})), "12");
    EXPECT_EQ(instanceNumberText(QVariant()), "");
    EXPECT_EQ(instanceNumberText(QVariant(QStringLiteral("x7"))), "");
}

TEST(ExportChoices, AviIsOfferedForSeveralFramesAndChosenByTheLastThreeLetters) {
    EXPECT_EQ(exportFilter(1), kPictureFilter);
    EXPECT_EQ(exportFilter(2), kMovieFilter);

    for (const char *name : {"loop.avi", "LOOP.AVI", "/tmp/a.Avi", "avi"}) {
        EXPECT_TRUE(exportsAsMovie(QString::fromUtf8(name))) << name;
    }
    for (const char *name : {"loop.avi.bmp", "still.jpg", "avi.jpg", "", "av"}) {
        EXPECT_FALSE(exportsAsMovie(QString::fromUtf8(name))) << name;
    }
}

} // namespace

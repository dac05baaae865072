#include "viewertestsupport.h"

#include "component/clsexam.h"
#include "core/prompter.h"
#include "viewer/viewerconstants.h"

#include <gtest/gtest.h>

using namespace ravlen;
using ravlen::test::FakeGrid;
using viewer::GridSize;
using viewer::ImageSet;

namespace {

class ImageSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
    }
    void TearDown() override { setPrompter(nullptr); }

    FakeGrid grid;
    ImageSet set{grid};
    ScriptedPrompter *prompts = nullptr;
};

TEST_F(ImageSetTest, SelectingShowsThePageThatHoldsTheImage) {
    grid.fill(10);
    grid.setGrid({2, 2});
    const std::pair<int, int> table[] = {{4, 1}, {5, 5}, {8, 5}, {10, 9}, {1, 1}};
    for (const auto &[position, first] : table) {
        ASSERT_TRUE(set.select(position));
        EXPECT_EQ(grid.first, first) << "image " << position;
        EXPECT_EQ(set.currentPosition(), position);
        EXPECT_EQ(set.selected(), grid.collection.item(position));
    }
    grid.setGrid({1, 1});
    set.select(7);
    EXPECT_EQ(grid.first, 7);
}

TEST_F(ImageSetTest, OnlyTheSelectedImageCarriesTheRedBorder) {
    grid.fill(3);
    set.select(2);
    const auto second = grid.collection.item(2);
    EXPECT_EQ(second->border(), viewer::kSelectedBorder);
    EXPECT_EQ(grid.colours[second.get()], QColor(255, 0, 0));
    set.select(3);
    EXPECT_EQ(second->border(), 0);
    EXPECT_EQ(grid.collection.item(3)->border(), 2);

    // A position beyond the set clears the selection; the old border is not touched again.
    EXPECT_FALSE(set.select(4));
    EXPECT_FALSE(set.imageSelected());
    EXPECT_EQ(set.selected(), nullptr);
    EXPECT_EQ(grid.first, 3); // the box clamp
}

TEST_F(ImageSetTest, APressSelectsWithoutPagingAndAPressBesideImagesOnlyClearsThePosition) {
    grid.fill(10);
    grid.setGrid({2, 2});
    grid.first = 5;
    ASSERT_TRUE(set.selectHit(7));
    EXPECT_EQ(grid.first, 5);
    EXPECT_EQ(set.currentPosition(), 7);
    EXPECT_FALSE(set.selectHit(0));
    EXPECT_EQ(set.currentPosition(), 0);
    EXPECT_TRUE(set.imageSelected()); // the image keeps its selection and border
    EXPECT_EQ(grid.collection.item(7)->border(), 2);
}

TEST_F(ImageSetTest, ClosingTheSelectedImageSelectsTheOneTakingItsPlace) {
    grid.fill(3);
    set.select(2);
    ASSERT_TRUE(set.closeSelected());
    EXPECT_EQ(grid.names(), QStringList({"1", "3"}));
    EXPECT_EQ(set.selected()->sourceName(), "3");
    EXPECT_EQ(set.currentPosition(), 2);

    // On the last image nothing takes its place.
    ASSERT_TRUE(set.closeSelected());
    EXPECT_EQ(grid.names(), QStringList({"1"}));
    EXPECT_FALSE(set.imageSelected());
    EXPECT_FALSE(set.closeSelected()); // and a second close does nothing
    EXPECT_EQ(grid.collection.count(), 1);
}

TEST_F(ImageSetTest, ThePlaceholderComesWithOneMessageUntilTheSelectionChanges) {
    const auto first = set.selectedImage();
    const auto again = set.selectedImage();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_FALSE(first->hasPixelData());
    EXPECT_TRUE(set.placeholderSelected());
    ASSERT_EQ(prompts->records.size(), 1u);
    EXPECT_EQ(prompts->records[0].text, viewer::kNoImagesMessage);
    EXPECT_EQ(prompts->records[0].buttons, Prompter::Ok);
    EXPECT_TRUE(prompts->records[0].title.isEmpty());
    EXPECT_FALSE(set.closeSelected()); // the placeholder is not in the set

    set.clear(); // "Close All" ends the placeholder selection
    set.selectedImage();
    EXPECT_EQ(prompts->messages().size(), 2);

    // Images arriving end it too; without a selection the top left image is used, silently.
    grid.fill(4);
    grid.first = 3;
    clsExam exam;
    set.imagesChanged(exam);
    EXPECT_FALSE(set.placeholderSelected());
    EXPECT_EQ(set.selectedImage()->sourceName(), "3");
    EXPECT_FALSE(set.imageSelected());
    EXPECT_EQ(prompts->messages().size(), 2);
}

TEST_F(ImageSetTest, GridChangesKeepTheSelectedImageInView) {
    grid.fill(20);
    set.select(11);
    set.setGrid({2, 3});
    EXPECT_EQ(grid.first, 7);
    set.switchLayout(); // 2 x 3 -> 1 x 1
    EXPECT_EQ(grid.size, (GridSize{1, 1}));
    EXPECT_EQ(grid.first, 11);
    set.switchLayout(); // 1 x 1 -> 4 x 4
    EXPECT_EQ(grid.size, (GridSize{4, 4}));
    EXPECT_EQ(grid.first, 1);
    EXPECT_EQ(set.selected(), grid.collection.item(11));
}

TEST_F(ImageSetTest, SelectionAppliesTheStoredSmoothingMethods) {
    grid.fill(2);
    set.setSmoothing(3, 4);
    set.select(2);
    EXPECT_EQ(grid.collection.item(2)->magnificationMethod(), 3);
    EXPECT_EQ(grid.collection.item(2)->minificationMethod(), 4);
    EXPECT_EQ(grid.collection.item(1)->magnificationMethod(), 0);
    set.selectHit(1);
    EXPECT_EQ(grid.collection.item(1)->minificationMethod(), 4);
}

} // namespace

#include "componenttestsupport.h"

#include "component/windowplacement.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ravlen;
using component::WinState;

namespace {

TEST(Twips, ConvertToWholePixelsHalvesToEven) {
    const std::pair<double, std::optional<int>> cases[] = {
        {15, 1},
        {1500, 100},
        {22.5, 2},
        {37.5, 2},
        {-150, -10},
        {1e300, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    };
    for (const auto &[twips, pixels] : cases) {
        EXPECT_EQ(component::pixelsFromTwips(twips), pixels) << twips;
    }
}

class PlanRestoreTest : public ::testing::Test {
protected:
    void put(const QString &key, const QString &value) { store.save("PACS", "Main", key, value); }
    component::PlacementPlan plan() const { return component::planRestore(store, "MAIN"); }
    test::MemoryStore store;
};

TEST_F(PlanRestoreTest, AppliesOnlyPositiveUsableValues) {
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"1500", 100},         {"0", std::nullopt}, {"-150", std::nullopt},  {"", std::nullopt},
        {"abc", std::nullopt}, {"3000twips", 200},  {"1e400", std::nullopt},
    };
    for (const auto &[text, left] : cases) {
        put("Left", text);
        EXPECT_EQ(plan().left, left) << text;
    }
}

TEST_F(PlanRestoreTest, WinStateAppliesOnlyMinimisedOrMaximised) {
    const std::pair<const char *, std::optional<WinState>> cases[] = {
        {"0", std::nullopt}, {"1", WinState::Minimized}, {"2", WinState::Maximized},
        {"3", std::nullopt}, {"2.5", std::nullopt},      {"", std::nullopt},
    };
    for (const auto &[text, state] : cases) {
        put("WinState", text);
        EXPECT_EQ(plan().state, state) << text;
    }
}

TEST_F(PlanRestoreTest, AFailingReadSkipsOnlyThatStep) {
    put("Width", "1500");
    put("Left", "1500");
    put("WinState", "2");
    store.failing = {"left"};
    auto p = plan();
    EXPECT_EQ(p.width, 100);
    EXPECT_FALSE(p.left);
    EXPECT_EQ(p.state, WinState::Maximized);
    // Every read failing: nothing at all is applied.
    store.failing = {"width", "height", "left", "top", "winstate"};
    p = plan();
    EXPECT_FALSE(p.width || p.height || p.left || p.top || p.state);
}

} // namespace

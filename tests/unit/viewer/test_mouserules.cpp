// The mouse functions' rules and arithmetic: palette, drags, cine scrub, magnifier place,
// protractor and Cobb sequences and angles, measurement texts.
#include "viewer/mouserules.h"

#include <gtest/gtest.h>

#include <set>

using namespace ravlen::viewer;

TEST(MouseRules, ThePaletteHasSixteenButtonsInTwoRowsOfEight) {
    std::set<std::pair<int, int>> places;
    std::set<int> values;
    for (const PaletteButton &b : paletteButtons()) {
        places.insert({b.row, b.column});
        values.insert(b.value);
    }
    EXPECT_EQ(places.size(), 16u);
    EXPECT_EQ(values, (std::set<int>{1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 51}));
    EXPECT_EQ(paletteLeftTwips(1), 75);
    EXPECT_EQ(paletteLeftTwips(8), 2700);
    EXPECT_EQ(paletteTopTwips(2), 600);
}

TEST(MouseRules, LabelToolsTypesAndPaletteEnabling) {
    const struct {
        int function, type;
    } types[] = {{4, 0}, {7, 10}, {8, 3}, {9, 4}, {10, 2}, {11, 1}, {12, 5}};
    for (const auto &t : types) {
        EXPECT_TRUE(isLabelTool(t.function));
        EXPECT_EQ(labelTypeFor(t.function, 2), t.type) << t.function;
    }
    EXPECT_EQ(labelTypeFor(mouse::Measure, 1), 1) << "Measure draws the chosen shape";
    EXPECT_FALSE(isLabelTool(mouse::Magnify));
    EXPECT_FALSE(isLabelTool(6));

    EXPECT_EQ(paletteEnabled(mouse::Line, false, false), false);
    EXPECT_EQ(paletteEnabled(mouse::Hand, true, true), false) << "stretched images do not pan";
    EXPECT_EQ(paletteEnabled(mouse::Hand, true, false), true);
    for (int untouched : {2, 13, 14, 15, 16, 51}) {
        EXPECT_FALSE(paletteEnabled(untouched, false, false).has_value()) << untouched;
    }
}

TEST(MouseRules, DragsFollowThePointer) {
    // A window drag 40 pixels right and 10 down: width up 40, level down 10.
    const DragAnchor w = windowAnchor(400, 40, 100, 100);
    const WindowValues after = windowDrag(w, 140, 110);
    EXPECT_DOUBLE_EQ(after.width, 440);
    EXPECT_DOUBLE_EQ(after.level, 30);
    // A pan moves the offset against the pointer: grab and drag.
    const DragAnchor p = panAnchor(QPointF(12, -3), 50, 50);
    EXPECT_EQ(panScroll(p, 60, 45), QPointF(2, 2));
}

TEST(MouseRules, CineScrubStepsAFrameEveryTenPixelsHalvesToEven) {
    const struct {
        int distance, frame;
    } rows[] = {{0, 1}, {5, 1}, {9, 2}, {15, 3}, {25, 3}, {40, 1}, {-15, 3}, {-9, 2}};
    for (const auto &r : rows) {
        EXPECT_EQ(cineFrame(100, 100 + r.distance, 4), r.frame) << r.distance;
    }
    EXPECT_EQ(cineFrame(0, 500, 0), 1) << "no frames: stays on the first";
}

TEST(MouseRules, TheMagnifierIsCentredOnThePointerAndNotClamped) {
    const MagnifierEdges e = magnifierEdges(500, 250, 300, 300, 1000, 500);
    EXPECT_DOUBLE_EQ(e.left, 350);
    EXPECT_DOUBLE_EQ(e.right, 650);
    EXPECT_DOUBLE_EQ(e.top, 200);
    EXPECT_DOUBLE_EQ(e.bottom, 800);
    const MagnifierEdges edge = magnifierEdges(10, 10, 300, 300, 1000, 1000);
    EXPECT_DOUBLE_EQ(edge.left, -140) << "partly outside the viewer";
}

TEST(MouseRules, ProtractorAngles) {
    EXPECT_EQ(protractorText(protractorAngle({0, 0}, {10, 0}, {10, 10})), "90. deg");
    EXPECT_EQ(protractorText(protractorAngle({0, 0}, {10, 0}, {20, 10})), "135. deg");
    EXPECT_EQ(protractorText(protractorAngle({0, 0}, {10, 0}, {20, 0})), "180. deg")
        << "collinear, either side of the vertex";
    EXPECT_EQ(protractorText(protractorAngle({0, 0}, {10, 0}, {5, 0})), ". deg")
        << "\"##.##\" writes no digit for zero";
    EXPECT_EQ(protractorText(protractorAngle({10, 0}, {10, 0}, {5, 5})), "-- deg")
        << "a point on the vertex has no angle";
    EXPECT_EQ(protractorText(protractorAngle({0, 0}, {3, 0}, {4, 7})), "98.13 deg");
}

TEST(MouseRules, CobbAngles) {
    const auto cobb = [](std::array<std::int16_t, 8> c) { return CalculateCobb(c); };
    EXPECT_DOUBLE_EQ(cobb({0, 0, 10, 0, 0, 0, 10, 10}), 45);
    EXPECT_DOUBLE_EQ(cobb({0, 0, 10, 10, 5, 0, 5, 10}), 45) << "line B vertical";
    EXPECT_DOUBLE_EQ(cobb({5, 0, 5, 10, 0, 0, 10, 10}), 45) << "line A vertical";
    EXPECT_DOUBLE_EQ(cobb({0, 0, 0, 10, 5, 0, 5, 10}), 0) << "both vertical";
    EXPECT_DOUBLE_EQ(cobb({0, 0, 2, 1, 0, 0, 1, 2}), 36.87);
    EXPECT_DOUBLE_EQ(cobb({0, 0, 10, 5, 0, 0, 1, 0}), 26.57) << "26.565... rounded";
    EXPECT_DOUBLE_EQ(cobb({0, 0, 10, 10, 0, 0, 10, -10}), 90) << "perpendicular";
    EXPECT_EQ(cobbMessage(23.46), "The Cobb Angle is : 23.46");
    EXPECT_EQ(cobbMessage(45), "The Cobb Angle is : 45");
}

TEST(MouseRules, ProtractorAndCobbSequences) {
    int step = 1;
    std::array<std::int16_t, 6> p{};
    EXPECT_FALSE(protractorClick(step, p, 0, 0).line);
    EXPECT_EQ(step, 2);
    const ProtractorClick second = protractorClick(step, p, 10, 0);
    ASSERT_TRUE(second.line);
    EXPECT_EQ(second.line->to, QPointF(10, 0));
    const ProtractorClick third = protractorClick(step, p, 10, 10);
    EXPECT_TRUE(third.complete);
    EXPECT_EQ(step, 1) << "the next click starts a new angle";
    EXPECT_EQ(third.line->from, QPointF(10, 10));
    EXPECT_EQ(third.labelTopLeft, QPointF(5 - 53, 5));

    step = 1;
    std::array<std::int16_t, 8> c{};
    int lines = 0;
    bool complete = false;
    for (QPoint pt : {QPoint(0, 0), QPoint(10, 0), QPoint(0, 0), QPoint(10, 10)}) {
        const CobbClick click = cobbClick(step, c, pt.x(), pt.y());
        lines += click.line ? 1 : 0;
        complete = click.complete;
    }
    EXPECT_EQ(lines, 2) << "after the second and the fourth click";
    EXPECT_TRUE(complete);
    EXPECT_EQ(step, 1);
    EXPECT_DOUBLE_EQ(CalculateCobb(c), 45);
    EXPECT_EQ(toCoordinate(100000), 32767);
}

TEST(MouseRules, MeasurementTexts) {
    EXPECT_EQ(lengthText(12, "mm"), "12. mm");
    EXPECT_EQ(lengthText(0.456, "mm"), ".46 mm");
    EXPECT_EQ(lengthText(103.456, "px"), "103.46 px");
    EXPECT_EQ(areaText(1234.5, "mm"), "1234.5 square mm");
    EXPECT_EQ(meanText(-40.25), "Mean value = -40.25");
}

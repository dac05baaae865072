#include "viewertestsupport.h"

#include "component/clsexam.h"
#include "viewer/examfill.h"
#include "viewer/imagesort.h"

#include <gtest/gtest.h>

using namespace ravlen;
using ravlen::test::FakeGrid;
using ravlen::test::makeImage;
using ravlen::test::TestImage;

namespace {

std::shared_ptr<toolkit::Image> slice(const QString &name, std::optional<QString> location) {
    TestImage desc;
    desc.name = name;
    desc.sliceLocation = location;
    return makeImage(desc);
}

TEST(SortKey, RoundsTheTwoDecimalTextNotTheRawValue) {
    struct Row {
        double location, key;
    };
    const Row table[] = {
        {2.495, 2}, // prints "2.50"
        {1.495, 2}, // prints "1.50": the raw value would round to 1
        {3.495, 4}, // prints "3.50": the raw value would round to 3
        {2.5, 2},   {3.5, 4},  {2.51, 3},       {-2.5, -2}, {-3.5, -4},
        {0.004, 0}, {-0.5, 0}, {-120.75, -121}, {1e6, 1e6},
    };
    for (const Row &r : table) {
        EXPECT_EQ(viewer::sortKeyFromSliceLocation(r.location), r.key) << r.location;
    }
}

TEST(SortKey, ComesFromTheSliceLocationAttribute) {
    EXPECT_EQ(viewer::sliceSortKey(*slice("a", QStringLiteral("-12.5"))), -12);
    EXPECT_EQ(viewer::sliceSortKey(*slice("b", std::nullopt)), std::nullopt);
    EXPECT_EQ(viewer::sliceSortKey(*slice("c", QString())), std::nullopt); // present, empty
}

TEST(SortOrder, AscendingStableWithKeylessImagesLast) {
    using K = std::optional<double>;
    struct Row {
        std::vector<K> keys;
        std::vector<int> order;
    };
    const Row table[] = {
        {{3.0, 1.0, K(), 1.0, 2.0, K()}, {1, 3, 4, 0, 2, 5}},
        {{K(), K(), K()}, {0, 1, 2}},
        {{5.0, 5.0, 5.0}, {0, 1, 2}},
        {{-1.0, K(), -2.0}, {2, 0, 1}},
        {{}, {}},
    };
    for (const Row &r : table) {
        EXPECT_EQ(viewer::sortOrder(r.keys), r.order);
    }
}

TEST(SortImages, ReordersTheSetInMemoryAndTheSelectionFollows) {
    FakeGrid grid;
    grid.collection.add(slice("top", QStringLiteral("10.0")));
    grid.collection.add(slice("none-1", std::nullopt));
    grid.collection.add(slice("low-a", QStringLiteral("-5.0")));
    grid.collection.add(slice("mid", QStringLiteral("2.5")));
    grid.collection.add(slice("low-b", QStringLiteral("-5.2"))); // key -5 as well
    grid.collection.add(slice("none-2", QStringLiteral("n/a")));
    const auto top = grid.collection.item(1);

    viewer::ImageSet set(grid);
    set.select(1);
    set.sort();
    EXPECT_EQ(grid.names(), QStringList({"low-a", "low-b", "mid", "top", "none-1", "none-2"}));
    EXPECT_EQ(grid.collection.item(4), top); // the same objects, nothing read again
    EXPECT_EQ(set.selected(), top);
    EXPECT_EQ(set.currentPosition(), 4);
    EXPECT_EQ(top->border(), 2);
}

TEST(ExamFill, TakesEveryFieldFromTheImage) {
    TestImage desc;
    desc.patientName = QStringLiteral("Doe^John^Quincy^Dr^Jr=\u5C71\u7530^\u592A\u90CE");
    toolkit::DataSetBuilder b = test::imageBuilder(desc);
    b.set(0x0010, 0x0040, QStringLiteral("M"));
    b.set(0x0010, 0x1010, QStringLiteral("053Y"));
    b.set(0x0008, 0x0020, QStringLiteral("20240131"));
    b.set(0x0020, 0x0010, QStringLiteral("S77"));
    b.set(0x0020, 0x0011, QStringLiteral("3"));
    b.set(0x0008, 0x103E, QStringLiteral("AXIAL 5mm"));
    b.set(0x0008, 0x1030, QStringLiteral("CT THORAX"));
    b.set(0x0008, 0x0050, QStringLiteral("ACC123"));
    const auto image = toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle),
                                                 QStringLiteral("exam"));

    clsExam exam;
    viewer::fillExamFromImage(exam, *image);
    EXPECT_EQ(exam.Name_Last(), "Doe");
    EXPECT_EQ(exam.Name_First(), "John");
    EXPECT_EQ(exam.Name_Middle(), "Quincy");
    EXPECT_EQ(exam.Sex(), "M");
    EXPECT_EQ(exam.Age(), "053Y");
    EXPECT_EQ(exam.PatientID(), "PID-7");
    EXPECT_EQ(exam.StudyDate(), QDate(2024, 1, 31));
    EXPECT_EQ(exam.StudyID(), "S77");
    EXPECT_EQ(exam.StudyUID(), "1.2.3.4.5");
    EXPECT_EQ(exam.SeriesUID(), "1.2.3.4.5.6");
    EXPECT_EQ(exam.SeriesNum(), "3");
    EXPECT_EQ(exam.SeriesDesc(), "AXIAL 5mm");
    EXPECT_EQ(exam.ExamName(), "CT THORAX");
    EXPECT_EQ(exam.RevenueID(), "ACC123");

    // A name of one component and no date: the rest is empty, the date null.
    TestImage bare;
    bare.patientName = QStringLiteral("Solo");
    viewer::fillExamFromImage(exam, *makeImage(bare));
    EXPECT_EQ(exam.Name_Last(), "Solo");
    EXPECT_EQ(exam.Name_First(), "");
    EXPECT_EQ(exam.Name_Middle(), "");
    EXPECT_TRUE(exam.StudyDate().isNull());
    EXPECT_EQ(exam.RevenueID(), "");
}

TEST(ExamFill, HappensWhenTheSetGoesFromEmptyToHoldingImages) {
    FakeGrid grid;
    viewer::ImageSet set(grid);
    clsExam exam;
    EXPECT_FALSE(set.imagesChanged(exam)); // nothing yet
    EXPECT_EQ(exam.PatientID(), "");

    TestImage first;
    first.patientId = QStringLiteral("FIRST");
    grid.collection.add(makeImage(first));
    EXPECT_TRUE(set.imagesChanged(exam));
    EXPECT_EQ(exam.PatientID(), "FIRST");

    // More images do not replace the exam on screen.
    TestImage other;
    other.patientId = QStringLiteral("OTHER");
    grid.collection.add(makeImage(other));
    EXPECT_FALSE(set.imagesChanged(exam));
    EXPECT_EQ(exam.PatientID(), "FIRST");

    // Emptied by closing one image after another, the set describes the next exam it gets.
    set.select(1);
    set.closeSelected();
    set.closeSelected();
    ASSERT_EQ(grid.collection.count(), 0);
    set.imagesChanged(exam);
    grid.collection.add(makeImage(other));
    EXPECT_TRUE(set.imagesChanged(exam));
    EXPECT_EQ(exam.PatientID(), "OTHER");

    set.clear();
    grid.collection.add(makeImage(first));
    EXPECT_TRUE(set.imagesChanged(exam));
    EXPECT_EQ(exam.PatientID(), "FIRST");
}

} // namespace

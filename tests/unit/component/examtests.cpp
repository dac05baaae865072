#include "component/clsexam.h"

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

const std::pair<QString (clsExam::*)() const, void (clsExam::*)(const QString &)> kText[] = {
    {&clsExam::Name_First, &clsExam::setName_First},
    {&clsExam::Name_Middle, &clsExam::setName_Middle},
    {&clsExam::Name_Last, &clsExam::setName_Last},
    {&clsExam::Sex, &clsExam::setSex},
    {&clsExam::Age, &clsExam::setAge},
    {&clsExam::PatientID, &clsExam::setPatientID},
    {&clsExam::RevenueID, &clsExam::setRevenueID},
    {&clsExam::ExamName, &clsExam::setExamName},
    {&clsExam::StudyID, &clsExam::setStudyID},
    {&clsExam::StudyUID, &clsExam::setStudyUID},
    {&clsExam::SeriesUID, &clsExam::setSeriesUID},
    {&clsExam::SeriesNum, &clsExam::setSeriesNum},
    {&clsExam::SeriesDesc, &clsExam::setSeriesDesc},
};

TEST(ClsExam, FreshRecordIsEmptyAndEachPropertyKeepsItsOwnValue) {
    clsExam exam;
    EXPECT_TRUE(exam.StudyDate().isNull());
    for (const auto &[get, set] : kText) {
        EXPECT_TRUE((exam.*get)().isEmpty());
    }
    // Distinct values catch a setter that writes another property; nothing is converted.
    int i = 0;
    for (const auto &[get, set] : kText) {
        (exam.*set)(QStringLiteral(" %1a ").arg(i++));
    }
    i = 0;
    for (const auto &[get, set] : kText) {
        EXPECT_EQ((exam.*get)(), QStringLiteral(" %1a ").arg(i++));
    }
}

TEST(ClsExam, CurrentExamIsOneInstanceForTheProcess) {
    currentExam().setSeriesNum("12a");
    EXPECT_EQ(&currentExam(), &currentExam());
    EXPECT_EQ(currentExam().SeriesNum(), "12a");
}

} // namespace

#pragma once

#include <QDate>
#include <QString>

namespace ravlen {

// The exam the viewers are showing: patient, examination, study and series. Values are stored
// as given, without checks; a text never set reads empty and the date never set is null.
class clsExam {
public:
    QDate StudyDate() const { return m_StudyDate; }
    void setStudyDate(const QDate &value) { m_StudyDate = value; }
    QString Name_First() const { return m_Name_First; }
    void setName_First(const QString &value) { m_Name_First = value; }
    QString Name_Middle() const { return m_Name_Middle; }
    void setName_Middle(const QString &value) { m_Name_Middle = value; }
    QString Name_Last() const { return m_Name_Last; }
    void setName_Last(const QString &value) { m_Name_Last = value; }
    QString Sex() const { return m_Sex; }
    void setSex(const QString &value) { m_Sex = value; }
    QString Age() const { return m_Age; }
    void setAge(const QString &value) { m_Age = value; }
    QString PatientID() const { return m_PatientID; }
    void setPatientID(const QString &value) { m_PatientID = value; }
    QString RevenueID() const { return m_RevenueID; }
    void setRevenueID(const QString &value) { m_RevenueID = value; }
    QString ExamName() const { return m_ExamName; }
    void setExamName(const QString &value) { m_ExamName = value; }
    QString StudyID() const { return m_StudyID; }
    void setStudyID(const QString &value) { m_StudyID = value; }
    QString StudyUID() const { return m_StudyUID; }
    void setStudyUID(const QString &value) { m_StudyUID = value; }
    QString SeriesUID() const { return m_SeriesUID; }
    void setSeriesUID(const QString &value) { m_SeriesUID = value; }
    QString SeriesNum() const { return m_SeriesNum; }
    void setSeriesNum(const QString &value) { m_SeriesNum = value; }
    QString SeriesDesc() const { return m_SeriesDesc; }
    void setSeriesDesc(const QString &value) { m_SeriesDesc = value; }

private:
    QDate m_StudyDate;
    QString m_Name_First;
    QString m_Name_Middle;
    QString m_Name_Last;
    QString m_Sex;
    QString m_Age;
    QString m_PatientID;
    QString m_RevenueID;
    QString m_ExamName;
    QString m_StudyID;
    QString m_StudyUID;
    QString m_SeriesUID;
    QString m_SeriesNum;
    QString m_SeriesDesc;
};

// The one current exam of the process, created empty on first use and never replaced.
// Used on the user-interface thread.
clsExam &currentExam();

} // namespace ravlen

#include "scout/printheader.h"

#include "component/clsexam.h"

namespace ravlen::scout {

namespace {

constexpr int kLeftLabelX = 250;
constexpr int kLeftValueX = 2000;
constexpr int kRightLabelX = 6250;
constexpr int kRightValueX = 8000;
constexpr int kRowY[] = {400, 700, 1000};

} // namespace

QString transactionDateText(const QDate &date, const QLocale &locale) {
    return date.isValid() ? locale.toString(date, QLocale::ShortFormat) : QString();
}

std::vector<viewer::PageText> printHeader(const clsExam &exam, const QLocale &locale) {
    // Joined as the record gives them, so an empty middle name leaves its blank behind.
    const bool noName =
        exam.Name_Last().isEmpty() && exam.Name_First().isEmpty() && exam.Name_Middle().isEmpty();
    const QString name = noName ? QString()
                                : exam.Name_Last() + QStringLiteral(", ") + exam.Name_First() +
                                      QLatin1Char(' ') + exam.Name_Middle();
    const bool noExam = exam.RevenueID().isEmpty() && exam.ExamName().isEmpty();
    const QString examText =
        noExam ? QString() : exam.RevenueID() + QStringLiteral(" - ") + exam.ExamName();

    const QString rows[3][4] = {
        {QStringLiteral("Patient ID: "), exam.PatientID(), QStringLiteral("Age : "), exam.Age()},
        {QStringLiteral("Patient Name: "), name, QStringLiteral("Exam: "), examText},
        {QStringLiteral("Trans. No.: "), exam.StudyID(), QStringLiteral("Trans. Date: "),
         transactionDateText(exam.StudyDate(), locale)},
    };
    const int columns[4] = {kLeftLabelX, kLeftValueX, kRightLabelX, kRightValueX};
    std::vector<viewer::PageText> texts;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            texts.push_back({QPoint(columns[c], kRowY[r]), rows[r][c]});
        }
    }
    return texts;
}

} // namespace ravlen::scout

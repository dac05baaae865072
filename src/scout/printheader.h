#pragma once

#include "viewer/printlayout.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <vector>

namespace ravlen {
class clsExam;
}

// The patient header of the scout viewer's printed pages.
namespace ravlen::scout {

// "Trans. Date: " as printed: the date in the locale's short form ("31/01/2024" in en_GB,
// "1/31/24" in en_US); empty when no date was set.
QString transactionDateText(const QDate &date, const QLocale &locale = QLocale());

// The twelve texts of the header, labels and values apart, in print order (row by row from the
// top, left to right within a row), at their places in twips:
//   y 400:  "Patient ID: "   patient ID          "Age : "        age
//   y 700:  "Patient Name: " Last, First Middle  "Exam: "        revenue ID - exam name
//   y 1000: "Trans. No.: "   study ID            "Trans. Date: " study date
// with labels at x 250 and 6250, values at x 2000 and 8000. A name or exam whose parts are all
// empty prints as an empty value.
std::vector<viewer::PageText> printHeader(const clsExam &exam, const QLocale &locale = QLocale());

} // namespace ravlen::scout

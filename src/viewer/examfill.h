#pragma once

namespace ravlen {
class clsExam;
namespace toolkit {
class Image;
}
} // namespace ravlen

namespace ravlen::viewer {

// Describes the exam on screen in `exam` from an image of it: the patient's names from the
// components Family^Given^Middle of Patient's Name, sex, age and ID, the study's date, ID and
// UID, the series' UID, number and description, the study description as the exam name and
// the accession number as the revenue identifier. Absent values become empty (the date null).
void fillExamFromImage(clsExam &exam, const toolkit::Image &image);

} // namespace ravlen::viewer

#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <optional>

namespace ravlen::toolkit {
class Image;
}

// The text overlay of an image: three blocks of examination, acquisition and patient values,
// composed from the image's attributes, and which of their lines the "Text Modes" choices keep.
namespace ravlen::viewer {

// The values the blocks show, as text from the data set (plain UTF-8) or numbers; a missing
// attribute is an empty text or no number.
struct OverlayFields {
    QString studyId;                      // (0020,0010)
    QString seriesNumber;                 // (0020,0011)
    std::optional<double> sliceLocation;  // (0020,1041)
    QString instanceNumber;               // (0020,0013)
    QString kvp;                          // (0018,0060)
    QString tubeCurrent;                  // (0018,1151)
    std::optional<double> sliceThickness; // (0018,0050)
    QString gantryTilt;                   // (0018,1120)
    QString acquisitionTime;              // (0008,0032)
    QString institution;                  // (0008,0080)
    QString patientName;                  // as a radiologist reads it
    QString patientAge;                   // (0010,1010)
    QString patientSex;                   // (0010,0040)
    QString patientId;                    // (0010,0020)
    QString studyDate;                    // (0008,0020) in the short date form
    QString rows;                         // (0028,0010)
    double width = 0.0;                   // the current window
    double level = 0.0;
    double zoom = 1.0;
};

// Reads the fields of `image` with its current window and zoom.
OverlayFields overlayFieldsOf(const toolkit::Image &image);

// The fifteen items of "Text Modes", by the index of their check box. Each names the overlay
// lines it governs (see overlayLines); unticked, those lines are left out of the blocks.
enum TextItem {
    HospitalName = 0,    // institution
    PatientName = 1,     // patient name
    PatientId = 2,       // age, sex and patient ID
    MagFactor = 3,       // "MF: "
    LevelWidth = 4,      // "W = ...   L = ..."
    ExamNo = 5,          // "Ex:"
    SeriesNo = 6,        // "Se:"
    ImageNo = 7,         // "Im:"
    ScanTime = 8,        // acquisition time
    SliceLocation = 9,   // "OM "
    SystemName = 10,     // rows of the acquired matrix
    Date = 11,           // study date
    Time = 12,           // acquisition time (with Scan Time)
    ScanParams = 13,     // "kV ", "mA "
    PhysicalParams = 14, // slice thickness, "Tilt "
};
inline constexpr int kTextItems = 15;
using TextModes = std::array<bool, kTextItems>;
inline TextModes allTextModes() {
    TextModes modes;
    modes.fill(true);
    return modes;
}

// The three blocks, lines joined by carriage return and line feed.
struct OverlayBlocks {
    QString topLeft;
    QString bottomLeft;
    QString topRight;
};
OverlayBlocks composeOverlay(const OverlayFields &fields, const TextModes &modes = allTextModes());

// Whether a text label's `text` is one of the blocks composed for an image whose institution
// is `institution` (so a rebuild removes it and leaves the user's labels alone).
bool isOverlayText(const QString &text, const QString &institution);

// The block placements, in thousandths of the cell.
struct BlockPlace {
    int left, top, width, height;
    std::optional<int> alignment;
};
inline constexpr BlockPlace kTopLeftBlock{0, 0, 500, 500, std::nullopt};
inline constexpr BlockPlace kBottomLeftBlock{0, 500, 500, 500, 8};
inline constexpr BlockPlace kTopRightBlock{400, 0, 600, 500, 2};
inline const QString kOverlayFont = QStringLiteral("Courier New");
inline constexpr int kOverlayFontSize = 20;

} // namespace ravlen::viewer

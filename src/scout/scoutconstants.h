#pragma once

#include <QString>

// Texts, captions and names of the scout viewer window, in one place.
namespace ravlen::scout {

inline const QString kScoutCaption = QStringLiteral("View Scout Images");
inline const QString kNoSeriesImages = QStringLiteral("Series does not contain any image!");
// The status bar's second panel when the asked position holds no image.
inline const QString kNoPosition = QStringLiteral("NONE");

// The toolbar's buttons by key, as the program addresses them by 1-based position (the
// separators count).
inline constexpr int kPrintButton = 5;
inline constexpr int kTileButton = 7;
inline constexpr int kResultButton = 8;
inline constexpr int kPreviousButton = 10;
inline constexpr int kNextButton = 11;

// The reference line's colour (0x0000FF read with red in the low byte: pure red).
inline constexpr unsigned kLineColour = 255;

// Why "Scout Slices" cannot start.
inline const QString kNoScoutImage =
    QStringLiteral("Scout Slices draws a series on the first image of this window: open or "
                   "retrieve the scout image first.");
inline const QString kNoSeriesImage =
    QStringLiteral("Scout Slices draws the series of the image selected in the viewer: open "
                   "an image of the series there first.");
inline const QString kNoImageStore =
    QStringLiteral("No image store is set up: the key ImageRoot in the file ravlenpacs.ini "
                   "names the folder the series' image files lie under.");
inline const QString kNoDatabase = QStringLiteral(
    "The host has given the viewer no database connection, so the series cannot be listed.");

} // namespace ravlen::scout

#pragma once

#include <QString>

// Texts and choices of the viewer's export, import and clipboard commands.
namespace ravlen::viewer {

inline const QString kNoImageToExport = QStringLiteral("No image to export!");
inline const QString kExportTitle = QStringLiteral("Export to non-DICOM File");
inline const QString kImportTitle = QStringLiteral("Import non-DICOM File");
inline const QString kMovieFilter =
    QStringLiteral("AVI (*.avi)|*.avi|Windows Bitmap(*.bmp)|*.bmp|JPeg(*.jpg)|*.jpg");
inline const QString kPictureFilter =
    QStringLiteral("Windows Bitmap(*.bmp)|*.bmp|JPeg(*.jpg)|*.jpg");
inline const QString kImportFilter =
    QStringLiteral("Pictures & Cine (*.bmp,*.dib,*.jpg,*.avi)|*.bmp;*.dib;*.jpg;*.avi");

// The movie export's values after its first and last frame: every frame, the default codec,
// quality 90, drawn as shown.
inline constexpr int kMovieFrameStep = 1;
inline constexpr int kMovieQuality = 90;
inline constexpr bool kMovieAsShown = true;

// The save dialog's filter list: AVI first for an image of several frames, pictures only for
// one frame.
QString exportFilter(int frameCount);

// Whether the export writes a movie: the name's last three letters, whatever their case, are
// "AVI"; any other name is written as a picture in the format its extension names.
bool exportsAsMovie(const QString &fileName);

} // namespace ravlen::viewer

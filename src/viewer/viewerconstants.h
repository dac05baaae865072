#pragma once

#include <QString>
#include <QStringList>

// Texts, captions and names of the main viewer window, in one place.
namespace ravlen::viewer {

inline const QString kViewerCaption = QStringLiteral("RAVLEN PACS Viewer v2.0");
// The caption of an emptied viewer (the exam caption reset).
inline const QString kEmptyExamCaption = QStringLiteral("View Exam");
inline const QString kNoImagesMessage = QStringLiteral("No Images to manipulate!");
inline const QString kOpenDicomTitle = QStringLiteral("Open Dicom File");
// Generated and received files often carry no extension, so every file may be chosen as well.
inline const QString kOpenDicomFilter =
    QStringLiteral("DICOM Images (*.dcm, *.dic)|*.dcm; *.dic|All Files|*");

// "Settings" of the Display menu: the monitor chooser's prompt and caption.
inline const QString kMonitorPrompt =
    QStringLiteral("Choose a monitor where Result will be displayed.");
inline const QString kMonitorCaption = QStringLiteral("Virtual Desktop");

// The selection highlight: border width in pixels and colour (0x0000FF read as BGR: pure red).
inline constexpr int kSelectedBorder = 2;
inline constexpr int kSelectedColour = 255;

// The side panel's scroll bars for rows and columns run 1..10 and start at 10 (showing 1).
inline constexpr int kGridSpinMax = 10;
// Typed rows and columns are kept within 1..kGridTypedMax: beyond that tiles are too small to
// read and drawing them all would stall the window.
inline constexpr int kGridTypedMax = 16;

// The cine timer interval never exceeds this many milliseconds.
inline constexpr int kMaxPlayMS = 9500;

// The mouse function the window starts with: select.
inline constexpr int kMouseSelect = 1;

// Menu entries (and the panel's "Previous Images" button) whose features are not built yet:
// they exist with their captions and stay disabled, whatever SetImageControlsEnabled asks.
// A feature removes its entries from here.
inline const QStringList kPendingEntries = {};

// Entries that work through the scout viewer: enabled only in programs that have it.
inline const QStringList kScoutEntries = {
    QStringLiteral("mnuDisplaySlice"),
    QStringLiteral("mnuOpenInSlice"),
};

// The entries that need an image, switched together by SetImageControlsEnabled.
inline const QStringList kImageEntries = {
    QStringLiteral("PrintWindows"),
    QStringLiteral("mnuPrintSel"),
    QStringLiteral("DeleteSelected"),
    QStringLiteral("DeleteAll"),
    QStringLiteral("SImage"),
    QStringLiteral("mnuDisplayElements"),
    QStringLiteral("mnuDataElements"),
    QStringLiteral("mnuDisplayEnhance"),
    QStringLiteral("mnuDisplayResult"),
    QStringLiteral("mnuCloseImg"),
    QStringLiteral("mnuNormal"),
    QStringLiteral("mnuFlipHorizontal"),
    QStringLiteral("mnuFlipVertical"),
    QStringLiteral("mnuRotateClockwise"),
    QStringLiteral("mnuRotateAnticlockwise"),
    QStringLiteral("cmnuImgInfo"),
    QStringLiteral("cmnuTile"),
    QStringLiteral("cmnuLabelClear"),
    QStringLiteral("cmnuLabelDelete"),
    QStringLiteral("cmnuFlipHorizontal"),
    QStringLiteral("cmnuFlipVertical"),
    QStringLiteral("cmnuRotateClockwise"),
    QStringLiteral("cmnuRotateCounterClockwise"),
    QStringLiteral("mnuDisplaySlice"),
    QStringLiteral("mnuOpenInSlice"),
};

} // namespace ravlen::viewer

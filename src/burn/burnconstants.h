#pragma once

#include <QString>

// Texts and names of the burn window, in one place.
namespace ravlen::burn {

inline const QString kCaption = QStringLiteral("ZuvuZiroduv COM");
inline const QString kDevicesFrame = QStringLiteral("Available Devices");
inline const QString kProgressFrame = QStringLiteral("Progress");
inline const QString kMessagesFrame = QStringLiteral("Nero Messages");
inline const QString kControlFrame = QStringLiteral("Burn Control");
inline const QString kBurnCaption = QStringLiteral("Burn");
inline const QString kAbortCaption = QStringLiteral("Abort");

// The label of every disc the window writes.
inline const QString kVolumeLabel = QStringLiteral("RavLen_PACS");

// Fixed lines of the message log.
inline const QString kDoneWaitingForMedia = QStringLiteral("Done waiting for media.");
inline const QString kStillWaitingForCD = QStringLiteral("Still waiting for CD...");
inline const QString kDoneWaitingForCD = QStringLiteral("Done waiting for CD.");
inline const QString kWaitingForMediaType = QStringLiteral("Waiting for a particular media type:");
inline const QString kCDRWNotEmpty = QStringLiteral("CD-RW not empty!");
inline const QString kRestarting = QStringLiteral("The system is being restarted.");
inline const QString kMegaFatal = QStringLiteral("A mega fatal error has occurred.");

// Lines of our own, for what the window itself finds.
inline const QString kNoRecorder = QStringLiteral("No recorder is available to burn on.");
inline const QString kNoFiles = QStringLiteral("The folder %1 holds no files to burn.");
inline const QString kStillBurning =
    QStringLiteral("A burn is running; press Abort before closing the window.");

// The disc image file target in the list of recorders, and its save dialog.
inline const QString kImageTargetName = QStringLiteral("Disc image file (ISO)");
inline const QString kImageDialogTitle = QStringLiteral("Save Disc Image");
inline const QString kImageDialogFilter = QStringLiteral("Disc Image (*.iso)|*.iso");

} // namespace ravlen::burn

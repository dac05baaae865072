#pragma once

#include "component/componentconstants.h"

#include <QString>

#include <array>

namespace ravlen {

class SettingsStore;

// The options of the running system: network peers and AE titles, retrieval, printing and
// viewer choices. These fields are the live configuration every part of the component reads
// at the moment it needs a value; the options window shows and edits this same record.
// Field names are those of the window's controls. Used on the user-interface thread only.
struct OptionsValues {
    enum class RetrieveMethod { None, CGET, S_CMOVE, A_CMOVE };
    enum class QueryRoot { None, PatientRoot, StudyRoot };

    // Viewer tab
    QString txtPlaySecs = QStringLiteral("500");
    bool CopyAllFrames = false;
    bool WindowAll = false;
    // General SCP tab
    QString AEName;
    QString Port = QStringLiteral("1111");
    // Storage & Verification SCU tab
    QString StorageNode = QStringLiteral("localhost");
    QString StoragePort = QStringLiteral("104");
    QString StorageAE = QStringLiteral("REMOTE_AET");
    bool Async = false;
    // Query SCU tab
    QString RemoteNode = QStringLiteral("localhost");
    QString RemotePort = QStringLiteral("104");
    QString RemoteAE = QStringLiteral("REMOTE_AET");
    QString CallingAE = QStringLiteral("LOCAL");
    QString MoveDestination = QStringLiteral("LOCAL");
    RetrieveMethod retrieveMethod = RetrieveMethod::CGET;
    QueryRoot queryRoot = QueryRoot::PatientRoot;
    // Printing tab (kept for the session only; nothing reads them)
    QString Magnification = component::kMagnificationList.at(0);
    QString FilmSize = component::kFilmSizeList.at(0);
    QString PrintOrientation = component::kPrintOrientationList.at(0);
    QString PrintFormat = component::kPrintFormatList.at(0);
    QString PrintCallingAE = QStringLiteral("ADVT");
    QString PrintNode = QStringLiteral("localhost");
    QString PrintPort = QStringLiteral("104");
    QString PrintAE = QStringLiteral("ADVT");
    // Outside the tabs
    bool chkAsync = false;
    // The image store's root folder (INI key "ImageRoot"); empty when not set up.
    QString ImageRoot;

    bool CGET() const { return retrieveMethod == RetrieveMethod::CGET; }
    bool S_CMOVE() const { return retrieveMethod == RetrieveMethod::S_CMOVE; }
    bool A_CMOVE() const { return retrieveMethod == RetrieveMethod::A_CMOVE; }
    bool PatientRoot() const { return queryRoot == QueryRoot::PatientRoot; }
    bool StudyRoot() const { return queryRoot == QueryRoot::StudyRoot; }

    // The record as the options window starts: initial values, then the cine interval from
    // the settings store ("1000" when the stored one counts as 0).
    static OptionsValues created(const SettingsStore &store);
};

// The ten text fields kept in the INI file, with their keys, in the file's order.
struct IniTextField {
    const QString &key;
    QString OptionsValues::*field;
};
const std::array<IniTextField, 10> &iniTextFields();

// The process-wide options. The first use runs the start-up routine, which fills the network
// fields from the INI file.
OptionsValues &options();

// What the cine interval field shows for a stored "PlayMS" text.
QString playSecsFromSetting(const QString &stored);

// OK: stores the cine interval as typed, then writes the INI file anew with the twelve network
// keys ("Ret" and "Root" only when one of their options is selected), and the image store's
// root when one is set. Values are written as typed, unchecked. A file error stops it with
// ToolkitError and may leave a partial file.
void saveOptions(const OptionsValues &values);
void saveOptions();

// The smoothing choices, written to the settings store at once; a viewer created afterwards
// uses them.
enum class MagMode { Replicate = 1, BSpline = 2, CubicSpline = 3 };
enum class MinMode { PixelValues = 1, MovingAverage = 4 };
void saveMagMode(MagMode mode);
void saveMinMode(MinMode mode);

} // namespace ravlen

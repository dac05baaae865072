#pragma once

#include <QString>
#include <QStringList>

// Names the component stores under: INI keys of the network configuration, settings-store
// addresses, and the name by which a host creates the public class.
namespace ravlen::component {

// The INI file that sits beside the library file.
inline const QString kIniFileName = QStringLiteral("ravlenpacs.ini");

// INI keys, in the order the start-up routine reads them and OK writes them.
namespace ini {
inline const QString QServerIP = QStringLiteral("QServerIP");
inline const QString QAEName = QStringLiteral("QAEName");
inline const QString QPort = QStringLiteral("QPort");
inline const QString CallingAE = QStringLiteral("CallingAE");
inline const QString MoveDestination = QStringLiteral("MoveDestination");
inline const QString AEName = QStringLiteral("AEName");
inline const QString Port = QStringLiteral("Port");
inline const QString StorageNode = QStringLiteral("StorageNode");
inline const QString StoragePort = QStringLiteral("StoragePort");
inline const QString StorageAE = QStringLiteral("StorageAE");
inline const QString Ret = QStringLiteral("Ret");
inline const QString Root = QStringLiteral("Root");
// The folder the image store's files lie under: the radiology database names each image file
// by its path below it. Read by "Scout Slices"; written back by OK only when set.
inline const QString ImageRoot = QStringLiteral("ImageRoot");
} // namespace ini

// Settings store: application, sections and keys.
namespace settingskey {
inline const QString PacsApp = QStringLiteral("PACS");
inline const QString ViewerSection = QStringLiteral("Viewer");
inline const QString PlayMS = QStringLiteral("PlayMS");
inline const QString MagMode = QStringLiteral("MagMode");
inline const QString MinMode = QStringLiteral("MinMode");
// Window placement, under the window's caption as section.
inline const QString Width = QStringLiteral("Width");
inline const QString Height = QStringLiteral("Height");
inline const QString Left = QStringLiteral("Left");
inline const QString Top = QStringLiteral("Top");
inline const QString WinState = QStringLiteral("WinState");
// The monitor the viewer opens on (written by the monitor chooser).
inline const QString MonitorApp = QStringLiteral("Orbitaview");
inline const QString DisplayResult = QStringLiteral("DisplayResult");
} // namespace settingskey

// The options dialog's caption and the entries of its printing drop-downs.
inline const QString kOptionsCaption = QStringLiteral("Options");
inline const QStringList kMagnificationList = {QStringLiteral("NONE"), QStringLiteral("CUBIC"),
                                               QStringLiteral("LINEAR")};
inline const QStringList kFilmSizeList = {QStringLiteral("8INX10IN"), QStringLiteral("14INx17IN")};
inline const QStringList kPrintOrientationList = {QStringLiteral("PORTRAIT"),
                                                  QStringLiteral("LANDSCAPE")};
inline const QStringList kPrintFormatList = {QStringLiteral("STANDARD\\1,1"),
                                             QStringLiteral("STANDARD\\2,3")};

// The "PlayMS" value the options dialog shows when the stored one is 0 or absent.
inline const QString kDefaultPlayMS = QStringLiteral("1000");

// The name by which a host creates the public class.
inline const QString kViewerProgId = QStringLiteral("RavlenPACSViewer.clsRavlenPACSViewer");

} // namespace ravlen::component

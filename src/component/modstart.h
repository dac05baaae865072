#pragma once

#include <QString>
#include <QVariant>

namespace ravlen {

struct OptionsValues;

// Start-up of the component and the INI file "ravlenpacs.ini" that holds its network
// configuration. The INI routines raise ToolkitError (errc::Settings) when the file cannot be
// created, opened or written.
namespace modStart {

// Runs once per process before the component is used: finds the INI file beside the library
// file (creating it empty when missing) and fills the options from it.
void StartUp();
// The same, with the INI file in `folder` (tests, tools). Later start-up calls do nothing.
void StartUp(const QString &folder);
// Runs StartUp unless it has already run in this process; safe from any thread.
void ensureStarted();

// The full path of the INI file; fixed once the start-up routine has set it.
QString IniFilePath();
// Points the INI routines at `folder` without reading anything (tests, tools).
void setIniFolder(const QString &folder);
// The folder of the library file (or the program, when the component is linked into it).
QString libraryFolder();

// True when the INI file exists; otherwise creates it empty and returns false.
bool EnsureIniFile();
// Sets `out` to the number 0, then to the text of the first line whose key matches, if any.
void ReadIniValue(const QString &key, QVariant &out);
// Creates the INI file anew, empty.
void ClearIniFile();
// Appends the line key + " = " + value to the INI file, which must exist.
void WriteIniValue(const QString &key, const QString &value);

// Fills the ten text fields, the retrieve and query-root options and the image store's root
// from the INI file; a "Ret" or "Root" value that names no option leaves the option as it is.
void loadNetworkOptions(OptionsValues &values);

} // namespace modStart
} // namespace ravlen

#pragma once

#include <QString>

namespace ravlen::toolkit {

// DCMTK's own diagnostic log as the global settings "Log", "LogLevel" and "LogLocation" ask:
// "Log" non-zero switches it on; "LogLevel" is a bit mask (7 minimal, 63 normal, 1023 every
// byte) mapped to the logger's levels; "LogLocation" names an existing folder that receives
// the file "ravlenpacs-dicom.log" (empty or "C:\": the home folder). Off, only fatal errors
// are logged, to standard error. GlobalSettings calls it whenever one of the three changes.
void applyLogSettings();

// The logger level a "LogLevel" mask stands for, as DCMTK's names: "OFF", "ERROR", "WARN",
// "INFO", "DEBUG" or "TRACE".
QString logLevelName(int mask);

// The file the log goes to for a "LogLocation" value.
QString logFilePath(const QString &location);

} // namespace ravlen::toolkit

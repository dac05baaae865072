#include "toolkit/netlog.h"

#include <QDir>

namespace ravlen::toolkit {

void applyLogSettings() {}

QString logLevelName(int mask) {
    if (mask <= 0) {
        return QStringLiteral("OFF");
    }
    return QStringLiteral("INFO");
}

QString logFilePath(const QString &location) {
    return QDir(location).filePath(QStringLiteral("ravlenpacs-dicom.log"));
}

} // namespace ravlen::toolkit

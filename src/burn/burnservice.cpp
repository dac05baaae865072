#include "burn/burnservice.h"

#include <QDir>

namespace ravlen::burn {

QList<TrackFile> filesOf(const QString &folder) {
    const QDir dir(folder);
    QList<TrackFile> files;
    // Hidden files are the writers' unfinished temporaries; links could reach outside the
    // folder.
    for (const QString &name :
         dir.entryList(QDir::Files | QDir::NoSymLinks | QDir::Readable, QDir::Unsorted)) {
        files.append(TrackFile{name, dir.filePath(name)});
    }
    return files;
}

QString discFolderName(const QString &name) {
    QString out;
    for (const QChar c : name) {
        out += (c == QLatin1Char('/') || c == QLatin1Char('\\') ||
                c.category() == QChar::Other_Control)
                   ? QLatin1Char('_')
                   : c;
    }
    if (out.isEmpty() || out == QLatin1String(".") || out == QLatin1String("..")) {
        out = QStringLiteral("STUDY");
    }
    return out;
}

} // namespace ravlen::burn

#pragma once

// What the burn tests share: a folder of files to burn, and reading an ISO image back with
// xorriso itself.

#include "support/filesizelimit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ravlen::test {

inline QString xorrisoProgram() {
    return QStandardPaths::findExecutable(QStringLiteral("xorriso"));
}

// Writes files named `names` into `folder`, each with its own content.
inline void writeFiles(const QString &folder, const QStringList &names, int bytes = 3000) {
    QDir().mkpath(folder);
    for (const QString &name : names) {
        QFile f(QDir(folder).filePath(name));
        f.open(QIODevice::WriteOnly);
        QByteArray content(bytes, '\0');
        for (int i = 0; i < bytes; ++i) {
            content[i] = char((i * 31 + name.size() * 7 + int(qHash(name))) & 0xFF);
        }
        f.write(content);
    }
}

// A large file that costs no disk space (it reads as zeros): keeps a burn busy for a while.
inline void writeSparseFile(const QString &path, qint64 bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.resize(bytes);
}

inline QString runXorriso(const QStringList &arguments) {
    QProcess p;
    p.start(xorrisoProgram(), arguments);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The files of an ISO image, as absolute paths on the disc, sorted.
inline QStringList isoFiles(const QString &iso) {
    QStringList files;
    const QString out =
        runXorriso({QStringLiteral("-indev"), iso, QStringLiteral("-find"), QStringLiteral("/"),
                    QStringLiteral("-type"), QStringLiteral("f")});
    for (QString line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('\'')) && line.endsWith(QLatin1Char('\''))) {
            files << line.mid(1, line.size() - 2);
        }
    }
    files.sort();
    return files;
}

inline QString isoVolumeId(const QString &iso) {
    const QString out = runXorriso({QStringLiteral("-indev"), iso, QStringLiteral("-pvd_info")});
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Volume Id"))) {
            return line.section(QLatin1Char(':'), 1).trimmed();
        }
    }
    return QString();
}

// Extracts the folder `discFolder` of an ISO image into `target`.
inline void extractIso(const QString &iso, const QString &discFolder, const QString &target) {
    runXorriso({QStringLiteral("-osirrox"), QStringLiteral("on"), QStringLiteral("-indev"), iso,
                QStringLiteral("-extract"), discFolder, target});
}

inline QByteArray contentOf(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace ravlen::test

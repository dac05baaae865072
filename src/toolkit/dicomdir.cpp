#include "toolkit/dicomdir.h"

#include "core/errors.h"
#include "toolkit/startup.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcddirif.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ravlen::toolkit {

namespace {

[[noreturn]] void fail(const QString &text) {
    throw ToolkitError(errc::FileAccess, text.toStdString());
}

OFFilename localName(const QString &path) {
    return OFFilename(QFile::encodeName(path).constData());
}

} // namespace

bool isDicomFileId(const QString &name) {
    if (name.isEmpty() || name.size() > 8) {
        return false;
    }
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_')) {
            return false;
        }
    }
    return true;
}

DicomDirResult writeDicomDir(const QString &folder, const QStringList &fileIds,
                             const QString &fileSetId) {
    ensureToolkit();
    const QDir dir(folder);
    const QString finalPath = dir.filePath(QStringLiteral("DICOMDIR"));
    // DCMTK writes the DICOMDIR under the name it is created with; a name of our own keeps a
    // half-written one from ever standing as the folder's DICOMDIR.
    const QString partPath = dir.filePath(QStringLiteral(".DICOMDIR.part"));
    QFile::remove(partPath);

    DicomDirInterface ddir;
    ddir.disableBackupMode();
    ddir.enableInventMode(); // missing type 1 values (an empty patient ID) get placeholders
    const OFCondition created =
        ddir.createNewDicomDir(DicomDirInterface::AP_GeneralPurposeDVDJPEG, localName(partPath),
                               fileSetId.toLatin1().constData());
    if (created.bad()) {
        fail(QStringLiteral("%1: the DICOMDIR cannot be created: %2")
                 .arg(finalPath, QString::fromLatin1(created.text())));
    }
    DicomDirResult result;
    for (const QString &id : fileIds) {
        if (!isDicomFileId(id)) {
            result.refused << QStringLiteral("%1: not a DICOM file ID").arg(id);
            continue;
        }
        const OFCondition added = ddir.addDicomFile(localName(id), localName(dir.absolutePath()));
        if (added.good()) {
            result.listed << id;
        } else {
            result.refused << QStringLiteral("%1: %2").arg(id, QString::fromLatin1(added.text()));
        }
    }
    const OFCondition written = ddir.writeDicomDir();
    if (written.bad()) {
        QFile::remove(partPath);
        fail(QStringLiteral("%1: cannot be written: %2")
                 .arg(finalPath, QString::fromLatin1(written.text())));
    }
    if (std::rename(QFile::encodeName(partPath).constData(),
                    QFile::encodeName(finalPath).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partPath);
        fail(QStringLiteral("%1: cannot be written: %2").arg(finalPath, reason));
    }
    return result;
}

} // namespace ravlen::toolkit

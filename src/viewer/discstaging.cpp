#include "viewer/discstaging.h"

#include "core/errors.h"
#include "core/formats.h"
#include "toolkit/dicomdir.h"
#include "toolkit/dicomwriter.h"
#include "toolkit/image.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include <unistd.h>

namespace ravlen::viewer {

namespace {

constexpr int kMaxNameLength = 64; // what Joliet keeps of a name
const QString kFileSetId = QStringLiteral("RAVLEN_PACS");
const QString kReadmeName = QStringLiteral("README.TXT");
const QString kDicomDirName = QStringLiteral("DICOMDIR");
const QString kLineBreak = QStringLiteral("\r\n");

[[noreturn]] void fail(const QString &text) {
    throw ToolkitError(errc::FileAccess, text.toStdString());
}

bool isWindowsDeviceName(const QString &name) {
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

// Text from image data for one line of the README: no line breaks or other control characters.
QString oneLine(const QString &text) {
    QString out;
    for (const QChar c : text) {
        out += c.category() == QChar::Other_Control ? QLatin1Char(' ') : c;
    }
    return out.simplified();
}

// What a staging run produces in a folder, so a run starts each of its folders afresh: files
// of another patient whose study has the same ID must never reach this patient's disc.
bool isStagingOutput(const QString &name) {
    static const QRegularExpression produced(QStringLiteral(
        "^(SERIES.*-\\d{2,}|IM\\d{6,}|DICOMDIR|README\\.TXT|\\.DICOMDIR\\.part|"
        "\\.ravlen-[0-9a-f]+\\.part)$"));
    return produced.match(name).hasMatch();
}

// Gives a staged image its second name for the disc's index: a hard link, so the file's data
// is written (and burned) once; a copy where the file system has no links.
void linkForIndex(const QString &file, const QString &indexName) {
    QFile::remove(indexName);
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(indexName).constData()) ==
        0) {
        return;
    }
    if (!QFile::copy(file, indexName)) {
        fail(QStringLiteral("%1: cannot be written").arg(indexName));
    }
}

void clearStagingOutput(const QString &folder) {
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (isStagingOutput(name)) {
            QFile::remove(dir.filePath(name));
        }
    }
}

// Copies or writes beside `target` under a temporary name, then renames it into place.
void replaceFile(const QString &target, const std::function<bool(const QString &)> &produce,
                 const QString &what) {
    const QString part = QFileInfo(target).dir().filePath(
        QStringLiteral(".ravlen-%1.part")
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    if (!produce(part)) {
        QFile::remove(part);
        fail(QStringLiteral("%1: cannot be written").arg(what));
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) !=
        0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        fail(QStringLiteral("%1: cannot be written: %2").arg(what, reason));
    }
}

} // namespace

QString stagingRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/burntemp/");
}

QString safeName(const QString &text, const QString &placeholder) {
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const bool control =
            c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
        out += (control || refused.contains(c)) ? QLatin1Char('_') : c;
    }
    static const QRegularExpression dots(QStringLiteral("\\.{2,}"));
    out.replace(dots, QStringLiteral("_"));
    static const QRegularExpression ends(QStringLiteral("^[. ]+|[. ]+$"));
    out.remove(ends);
    if (isWindowsDeviceName(out)) {
        out.prepend(QLatin1Char('_'));
    }
    if (out.size() > kMaxNameLength) {
        const QString hash = QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
        qsizetype keep = kMaxNameLength - 1 - hash.size();
        if (out.at(keep - 1).isHighSurrogate()) {
            --keep; // never half a character
        }
        out = out.left(keep) + QLatin1Char('~') + hash;
    }
    return out.isEmpty() ? placeholder : out;
}

QString studyFolderName(const QString &studyId) {
    return safeName(studyId, QStringLiteral("NO_STUDY_ID"));
}

QString seriesFolderName(const QString &seriesNumber) {
    return safeName(QStringLiteral("SERIES") + seriesNumber, QStringLiteral("SERIES"));
}

QString imageFileName(const QString &seriesNumber, int position) {
    return safeName(QStringLiteral("SERIES") + fmt::zero2(seriesNumber) + QLatin1Char('-') +
                        fmt::zero2(double(position)),
                    QStringLiteral("SERIES-") + fmt::zero2(double(position)));
}

QString indexFileName(int position) {
    return QStringLiteral("IM%1").arg(position, 6, 10, QLatin1Char('0'));
}

const QStringList &discViewerFiles() {
    static const QStringList files = {
        QStringLiteral("viewer.exe"),   QStringLiteral("ezDICOMax.ocx"),
        QStringLiteral("MSCOMCTL.OCX"), QStringLiteral("MSHFLXGD.OCX"),
        QStringLiteral("MSVBVM60.dll"), QStringLiteral("scrrun.dll"),
        QStringLiteral("STDOLE2.TLB"),  QStringLiteral("VB6.OLB"),
    };
    return files;
}

QString discReadme(const DiscFacts &facts) {
    QStringList lines;
    lines << QStringLiteral("RAVLEN PACS Viewer - patient disc")
          << QStringLiteral("=================================") << QString();
    QString patient = oneLine(facts.patientName);
    if (!facts.patientId.isEmpty()) {
        patient += QStringLiteral(" (ID %1)").arg(oneLine(facts.patientId));
    }
    lines << QStringLiteral("Patient:  ") + patient.trimmed();
    QStringList study;
    if (!facts.studyDescription.isEmpty()) {
        study << oneLine(facts.studyDescription);
    }
    study << QStringLiteral("study ID ") + oneLine(facts.studyId);
    if (!facts.studyDate.isEmpty()) {
        study << oneLine(facts.studyDate);
    }
    lines << QStringLiteral("Study:    ") + study.join(QStringLiteral(", "));
    QStringList series;
    for (const QString &s : facts.series) {
        series << oneLine(s);
    }
    lines << QStringLiteral("Images:   %1 (series %2)")
                 .arg(facts.imageFiles.size())
                 .arg(series.join(QStringLiteral(", ")));
    lines << QStringLiteral("Written:  ") +
                 facts.written.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    lines << QString() << QStringLiteral("What the disc holds");
    if (!facts.imageFiles.isEmpty()) {
        const QString range =
            facts.imageFiles.size() == 1
                ? facts.imageFiles.first()
                : facts.imageFiles.first() + QStringLiteral(" ... ") + facts.imageFiles.last();
        lines << QStringLiteral("  %1  the images, one DICOM file each").arg(range, -24);
    }
    if (!facts.indexFiles.isEmpty()) {
        const QString range =
            facts.indexFiles.size() == 1
                ? facts.indexFiles.first()
                : facts.indexFiles.first() + QStringLiteral(" ... ") + facts.indexFiles.last();
        lines << QStringLiteral("  %1  the same images under the names DICOMDIR lists")
                     .arg(range, -24);
    }
    lines << QStringLiteral("  %1  the index of the images that DICOM viewers read")
                 .arg(QStringLiteral("DICOMDIR"), -24);
    if (facts.viewerIncluded) {
        lines << QStringLiteral("  %1  a viewer for Windows: start it to see the images")
                     .arg(QStringLiteral("viewer.exe"), -24);
    }
    lines << QStringLiteral("  %1  this text").arg(kReadmeName, -24) << QString()
          << QStringLiteral(
                 "The images are copies made for viewing. They are compressed with lossy")
          << QStringLiteral("JPEG (quality 100), so they are not the originals, which stay in the")
          << QStringLiteral("hospital's image archive (PACS).");
    return lines.join(kLineBreak) + kLineBreak;
}

QString stagingMessage(const StagingReport &report, const QString &viewerFolder) {
    QStringList parts;
    if (!report.failures.isEmpty()) {
        parts << QStringLiteral("These could not be written for the disc:\n") +
                     report.failures.join(QLatin1Char('\n'));
    }
    if (!report.notes.isEmpty()) {
        parts << report.notes.join(QLatin1Char('\n'));
    }
    if (!report.missingViewerFiles.isEmpty()) {
        parts << QStringLiteral("These files of the disc viewer are not in %1 and are left off "
                                "the disc:\n%2")
                     .arg(QDir::toNativeSeparators(viewerFolder),
                          report.missingViewerFiles.join(QStringLiteral(", ")));
    }
    if (report.burnFolder.isEmpty()) {
        parts << QStringLiteral("No image of the current series could be written, so there is "
                                "nothing to burn.");
    }
    return parts.join(QStringLiteral("\n\n"));
}

DiscStaging::DiscStaging(QString root, QString viewerSource)
    : m_root(std::move(root)), m_viewerSource(std::move(viewerSource)) {}

QString DiscStaging::folderInside(const QStringList &components) const {
    if (!QDir().mkpath(m_root)) {
        fail(QStringLiteral("%1: the staging folder cannot be created").arg(m_root));
    }
    const QString root = QFileInfo(m_root).canonicalFilePath();
    QString path = root;
    for (const QString &name : components) {
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
            name == QLatin1String("..")) {
            fail(QStringLiteral("%1: \"%2\" is not a folder name").arg(m_root, name));
        }
        path += QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.isSymLink() || (info.exists() && !info.isDir())) {
            // a link could lead anywhere; nothing is created or written through one
            fail(QStringLiteral("%1: is not a folder of the staging area").arg(path));
        }
        if (!info.exists() && !QDir().mkdir(path)) {
            fail(QStringLiteral("%1: the folder cannot be created").arg(path));
        }
    }
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved != root && !resolved.startsWith(root + QLatin1Char('/'))) {
        fail(QStringLiteral("%1: lies outside the staging folder %2").arg(path, root));
    }
    return resolved;
}

StagingReport DiscStaging::stage(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                                 const QString &examStudyId, int currentPosition,
                                 const std::function<bool(int)> &progress,
                                 const QDateTime &now) const {
    StagingReport report;
    if (images.empty()) {
        return report;
    }
    const QString study = studyFolderName(examStudyId);
    std::map<QString, QString> folders; // series folder name -> path, made and cleared once
    std::vector<QString> folderOf(images.size());
    const auto folderFor = [&](const QString &series) {
        auto it = folders.find(series);
        if (it == folders.end()) {
            const QString path = folderInside({study, series});
            clearStagingOutput(path);
            it = folders.emplace(series, path).first;
        }
        return it->second;
    };

    for (std::size_t i = 0; i < images.size(); ++i) {
        const int position = int(i) + 1;
        const toolkit::Image &image = *images[i];
        try {
            folderOf[i] = folderFor(seriesFolderName(image.seriesNumber()));
            const QString file =
                folderOf[i] + QLatin1Char('/') + imageFileName(image.seriesNumber(), position);
            const toolkit::DicomWriteResult r =
                toolkit::writeDicomFile(image, file, true, toolkit::kJpegExtendedUid, 100);
            ++report.written;
            linkForIndex(file, folderOf[i] + QLatin1Char('/') + indexFileName(position));
            if (!r.note.isEmpty()) {
                report.notes << QStringLiteral("Image %1 (%2): %3")
                                    .arg(position)
                                    .arg(image.sourceName(), r.note);
            }
        } catch (const std::exception &e) {
            report.failures << QStringLiteral("Image %1 (%2): %3")
                                   .arg(position)
                                   .arg(image.sourceName(), QString::fromStdString(e.what()));
        }
        if (progress && !progress(position)) {
            report.cancelled = true;
            return report;
        }
    }

    if (!folderOf.back().isEmpty()) {
        copyViewerFiles(folderOf.back(), report);
    }

    const std::size_t current = std::size_t(qBound(1, currentPosition, int(images.size()))) - 1;
    const QString burnFolder = folderOf[current];
    if (burnFolder.isEmpty()) {
        return report; // the current image's folder could not even be made
    }
    QString studyId = images[current]->studyID();
    if (studyId.isEmpty()) {
        studyId = examStudyId;
    }
    std::vector<std::shared_ptr<toolkit::Image>> burned;
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (folderOf[i] == burnFolder) {
            burned.push_back(images[i]);
        }
    }
    writeDiscIndex(burnFolder, burned, studyId, now, report);
    if (QDir(burnFolder).entryList({QStringLiteral("SERIES*")}, QDir::Files).isEmpty()) {
        return report; // nothing of this run to burn there
    }
    report.burnFolder = burnFolder + QLatin1Char('/');
    report.discFolderName = studyFolderName(studyId);
    return report;
}

void DiscStaging::copyViewerFiles(const QString &folder, StagingReport &report) const {
    const QDir source(m_viewerSource);
    for (const QString &name : discViewerFiles()) {
        const QString from = source.filePath(name);
        if (!QFileInfo(from).isFile()) {
            report.missingViewerFiles << name;
            continue;
        }
        try {
            replaceFile(
                folder + QLatin1Char('/') + name,
                [&](const QString &part) { return QFile::copy(from, part); }, name);
        } catch (const std::exception &e) {
            report.failures << QString::fromStdString(e.what());
        }
    }
}

void DiscStaging::writeDiscIndex(const QString &folder,
                                 const std::vector<std::shared_ptr<toolkit::Image>> &images,
                                 const QString &studyId, const QDateTime &now,
                                 StagingReport &report) const {
    const QDir dir(folder);
    const QStringList indexed =
        dir.entryList({QStringLiteral("IM*")}, QDir::Files, QDir::Name);
    try {
        const toolkit::DicomDirResult r = toolkit::writeDicomDir(folder, indexed, kFileSetId);
        for (const QString &refused : r.refused) {
            report.notes << QStringLiteral("DICOMDIR leaves out %1").arg(refused);
        }
    } catch (const std::exception &e) {
        report.failures << QString::fromStdString(e.what());
    }

    DiscFacts facts;
    facts.studyId = studyId;
    facts.imageFiles = dir.entryList({QStringLiteral("SERIES*")}, QDir::Files, QDir::Name);
    facts.indexFiles = indexed;
    facts.written = now;
    facts.viewerIncluded = dir.exists(QStringLiteral("viewer.exe"));
    if (!images.empty()) {
        const toolkit::Image &first = *images.front();
        facts.patientName = first.patientName();
        facts.patientId = first.attribute(0x0010, 0x0020).toString();
        facts.studyDescription = first.attribute(0x0008, 0x1030).toString();
        facts.studyDate = fmt::shortDate(first.attribute(0x0008, 0x0020).toDate());
    }
    for (const auto &image : images) {
        if (!facts.series.contains(image->seriesNumber())) {
            facts.series << image->seriesNumber();
        }
    }
    const QByteArray readme = discReadme(facts).toUtf8();
    try {
        replaceFile(
            dir.filePath(kReadmeName),
            [&](const QString &part) {
                QFile out(part);
                return out.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                       out.write(readme) == readme.size() && out.flush();
            },
            dir.filePath(kReadmeName));
    } catch (const std::exception &e) {
        report.failures << QString::fromStdString(e.what());
    }
}

} // namespace ravlen::viewer

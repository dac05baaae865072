#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace ravlen::toolkit {
class Image;
}

namespace ravlen::viewer {

// The folder under which "Write to CD" lays out discs: "burntemp" in the program's own data
// folder. Fixed; tests move it with XDG_DATA_HOME.
QString stagingRoot();

// A file or folder name made from image data, safe on this system and on the computers a disc
// is read on: separators, control characters and characters Windows refuses become "_", runs
// of dots become "_", leading and trailing dots and blanks go, device names such as "CON" get
// a leading "_", and names longer than 64 characters are shortened, keeping them distinct by
// a hash of the whole text. What is left empty becomes `placeholder`.
QString safeName(const QString &text, const QString &placeholder);

// The staging folder of a study ("123") and of a series in it ("SERIES2").
QString studyFolderName(const QString &studyId);
QString seriesFolderName(const QString &seriesNumber);
// The file of the image at `position` (1-based, across the whole image set) of a series:
// "SERIES02-01" ("00"-formatted series number, when it is a number, and position).
QString imageFileName(const QString &seriesNumber, int position);
// The second name of the same file for the disc's index: "IM000001". A DICOMDIR can only list
// DICOM file IDs (at most 8 of A-Z, 0-9 and "_"), which "SERIES02-01" can never be; the two
// names share the file (a hard link), so the disc holds its data once.
QString indexFileName(int position);

// The program files of the stand-alone disc viewer, copied next to the images.
const QStringList &discViewerFiles();

// What a disc's README.TXT says.
struct DiscFacts {
    QString patientName;
    QString patientId;
    QString studyId;
    QString studyDescription;
    QString studyDate; // as shown to the user
    QStringList imageFiles; // as named by the series
    QStringList indexFiles; // the same images under the names the DICOMDIR lists
    QStringList series; // series numbers, each once, in order
    bool viewerIncluded = false;
    QDateTime written;
};
// The README.TXT of a disc, lines ended by carriage return and line feed.
QString discReadme(const DiscFacts &facts);

// What a staging run did.
struct StagingReport {
    int written = 0;      // image files written
    QStringList failures; // images and files that could not be written, each with why
    QStringList notes;    // what was written otherwise than asked
    QStringList missingViewerFiles;
    QString burnFolder;     // the folder to burn, ending in "/"; empty when there is none
    QString discFolderName; // the folder's name on the disc
    bool cancelled = false;
};

// The one message after a staging run: what could not be written, which disc viewer files are
// missing from `viewerFolder`, and when nothing can be burned, that too. Empty when all went
// well.
QString stagingMessage(const StagingReport &report, const QString &viewerFolder);

// Lays out the images of a viewer for a patient disc below a staging root: each image as a
// JPEG Extended DICOM file in the folder of its study and series, the disc viewer's program
// files in the folder of the last image, and in the folder that is burned (the current
// image's) a DICOMDIR and a README.TXT. Every path is resolved and checked to lie below the
// root before anything is written there. May run on a worker thread.
class DiscStaging {
public:
    // `viewerSource`: the folder the disc viewer's program files are copied from.
    DiscStaging(QString root, QString viewerSource);

    // Stages `images` (the image set in order). `examStudyId` names the study folder of every
    // image; `currentPosition` (1-based) is the image whose series folder is burned.
    // `progress` hears the number of images done and may return false to stop. A failure of
    // one image or file is reported and the rest go on.
    StagingReport stage(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                        const QString &examStudyId, int currentPosition,
                        const std::function<bool(int)> &progress = {},
                        const QDateTime &now = QDateTime::currentDateTime()) const;

    // The folder below the root named by `components`, created as needed. Throws ToolkitError
    // (FileAccess) when it cannot be made or would lie outside the root (a link, a name that
    // is no single folder).
    QString folderInside(const QStringList &components) const;

private:
    void copyViewerFiles(const QString &folder, StagingReport &report) const;
    void writeDiscIndex(const QString &folder,
                        const std::vector<std::shared_ptr<toolkit::Image>> &images,
                        const QString &studyId, const QDateTime &now, StagingReport &report) const;

    QString m_root;
    QString m_viewerSource;
};

} // namespace ravlen::viewer

#pragma once

#include <QString>
#include <QStringList>

namespace ravlen::toolkit {

// What a DICOMDIR write listed and what it left out.
struct DicomDirResult {
    QStringList listed;  // file IDs the DICOMDIR references, in the order given
    QStringList refused; // "ID: reason" for files it could not take
};

// Whether `name` can be a component of a DICOM file ID: 1 to 8 of A-Z, 0-9 and "_".
bool isDicomFileId(const QString &name);

// Writes the DICOMDIR of `folder`: a file-set named `fileSetId` (at most 16 of A-Z, 0-9, "_"
// and blank) that lists the DICOM files `fileIds` lying directly in the folder, under the
// general-purpose interchange profile with JPEG (which takes the lossy and lossless JPEG
// syntaxes of patient discs besides uncompressed data). Attributes a record needs but an image
// lacks are filled in. A file that is no DICOM image or fails the profile's checks is left out
// and named in the result. An existing DICOMDIR is replaced in one step. Throws ToolkitError
// (FileAccess) when the DICOMDIR cannot be written.
DicomDirResult writeDicomDir(const QString &folder, const QStringList &fileIds,
                             const QString &fileSetId);

} // namespace ravlen::toolkit

#pragma once

#include <QString>

namespace ravlen::toolkit {

class Image;

// The JPEG Extended (Process 2 and 4) transfer syntax, lossy 8/12-bit: what exports and discs
// are written in.
inline const QString kJpegExtendedUid = QStringLiteral("1.2.840.10008.1.2.4.51");

// What a DICOM file write produced.
struct DicomWriteResult {
    QString transferSyntaxUid; // the syntax the file is written in
    bool lossy = false;        // the pixels went through a lossy encoding
    bool newInstance = false;  // the file carries a new SOP Instance UID (lossy encodings)
    // Empty when the file is in the syntax asked for; otherwise why another one was used.
    QString note;
};

// Writes `image` as a DICOM file: with `fileFormat` the file format of media (preamble and file
// meta information), otherwise the bare data set. The pixels are encoded in `transferSyntaxUid`
// with `quality` (1..100) for the lossy JPEG syntaxes. A lossy encoding gives the image a new
// SOP Instance UID, and data deeper than the encoding's 8 or 12 bits are scaled into it with
// a new Rescale Slope/Intercept, so modality values keep their meaning. Pixels the lossy
// encoder cannot take are written in JPEG Lossless (or uncompressed) and the result says why.
// The file is written beside `path` under a temporary name and renamed when complete, so a
// failed write never leaves a partial file under `path`. Throws ToolkitError: FileAccess
// when the file cannot be written (read-only folder, full disk), NoPixelData for an image
// without a data set, Unsupported for a syntax the writer does not know, Damaged when the
// pixels cannot be decoded.
DicomWriteResult writeDicomFile(const Image &image, const QString &path, bool fileFormat,
                                const QString &transferSyntaxUid, int quality);

} // namespace ravlen::toolkit

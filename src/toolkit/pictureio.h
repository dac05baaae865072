#pragma once

#include "toolkit/processrun.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace ravlen::toolkit {

class Image;

// Frames of 8-bit pixels that become a new image.
struct CapturedFrames {
    int columns = 0;
    int rows = 0;
    int frames = 0;
    bool colour = false;    // three bytes a pixel (R, G, B); else one grey byte
    QByteArray pixels;      // the frames one after another, rows top down, no padding
    double frameRate = 0.0; // frames a second of a movie; 0 when not known
    QString source;         // where they came from, as the image's sourceName()
};

// Makes a real DICOM image of the frames: a Secondary Capture (Multi-frame Grayscale Byte or
// True Colour for several frames) with fresh study, series and instance UIDs, today's date and
// no patient, so it can be shown, written and sent like any other. Throws ToolkitError when
// the frames do not fit their sizes.
std::shared_ptr<Image> capturedImage(CapturedFrames frames);

// What an import takes at most; beyond it pictures are shrunk and movies cut short, and the
// result says so.
struct ImportLimits {
    int maxFrames = 2000;
    qint64 maxFramePixels = 64ll * 1024 * 1024;
    qint64 maxTotalBytes = 512ll * 1024 * 1024; // pixel bytes of all frames together
};

struct Imported {
    std::shared_ptr<Image> image;
    QString notice; // what was cut to fit the limits, in one sentence; empty when nothing was
};

// Writes the image's rendered picture (current frame, as shown) to `path`. `format` is a
// picture format such as "BMP" or "JPEG"; empty takes it from the file name's extension.
// JPEG is written at quality 90. Throws ToolkitError when the image has no pixels, the format
// is unknown or the file cannot be written.
void exportPicture(const Image &image, const QString &path, const QString &format);

// Reads a picture (BMP, DIB, JPEG and whatever else Qt reads) or, for any other file, a movie
// (see importMovie) into a new image. `format` empty decides by the extension, then by the
// content; "AVI" or "MOVIE" always reads a movie. Throws ToolkitError with a clear text for
// an empty, unreadable or damaged file; nothing is made then.
Imported importFile(const QString &path, const QString &format, const ImportLimits &limits = {},
                    const WorkProgress &progress = {});
Imported importPicture(const QString &path, const QString &format, const ImportLimits &limits = {});

// The image's rendered picture onto the system clipboard. Throws when it has no pixels.
void copyToClipboard(const Image &image);
// A new image from the picture on the clipboard; throws ToolkitError (NoPixelData) when the
// clipboard holds no picture.
std::shared_ptr<Image> pasteFromClipboard();

} // namespace ravlen::toolkit

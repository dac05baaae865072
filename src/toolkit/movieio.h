#pragma once

#include "toolkit/pictureio.h"
#include "toolkit/processrun.h"

#include <QString>

namespace ravlen::toolkit {

class Image;

// The settings of an AVI export after its first and last frame.
struct MovieSettings {
    int frameStep = 1;   // every frameStep-th frame of the range is written (1: every frame)
    QString codec;       // empty or "MJPEG": Motion-JPEG, the one codec written
    int quality = 90;    // JPEG quality of each frame, 1 (smallest) to 100 (best)
    bool asShown = true; // frames drawn with the image's window, effects and orientation;
                         // false: with its default window, upright, without effects
};

// Frames a second a movie of the image plays at: the speed the viewer plays it at
// (Image::cineRate).
double movieFrameRate(const Image &image);

// Writes frames `firstFrame`..`lastFrame` (1-based) of the image as a Motion-JPEG AVI movie
// at the image's frame rate, through the ffmpeg program. The file appears only when the
// movie is complete; an existing file of that name is replaced then. Throws ToolkitError for
// a range outside the image, an unknown codec, a missing ffmpeg, a cancel or a write failure.
void exportAvi(const Image &image, const QString &path, int firstFrame, int lastFrame,
               const MovieSettings &settings = {}, const WorkProgress &progress = {});

// Reads the first video stream of any movie ffmpeg reads (AVI, MP4, MPEG, animated GIF, ...)
// into one multi-frame image (grey when every frame is grey, else RGB), through the ffprobe
// and ffmpeg programs, so a hostile file can only make them fail. Frames beyond the limits
// are left out and the result says so. Throws ToolkitError with a clear text when the file
// is empty, not a movie, damaged or the programs are missing; nothing is made then.
Imported importMovie(const QString &path, const ImportLimits &limits = {},
                     const WorkProgress &progress = {});

} // namespace ravlen::toolkit

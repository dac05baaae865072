#pragma once

#include <QImage>

namespace ravlen::toolkit {

// What is done to a tile's finished picture, at the resolution it is shown, after windowing
// and resampling. The image data are never touched, so switching an effect off gives the
// plain picture back.
struct PictureEffects {
    double sharpening = 0.0;  // unsharp-mask strength; 0 = off
    int sharpeningLength = 0; // blur reach in tenths of a pixel; 0 = off
    bool enhance = false;     // adaptive contrast enhancement
    bool any() const { return enhance || (sharpening > 0.0 && sharpeningLength > 0); }
    bool operator==(const PictureEffects &) const = default;
};

// Sharpens an 8-bit grey (Format_Grayscale8) or RGB (Format_RGB888) picture by an unsharp
// mask: each pixel gains `strength` times its difference from a Gaussian blur of standard
// deviation `sigma` pixels, so edges gain contrast and flat areas stay as they are. A strength
// or sigma of 0 leaves the picture unchanged. Other formats are left as they are.
void unsharpMask(QImage &picture, double strength, double sigma);

// Contrast-limited adaptive histogram equalisation of an 8-bit grey picture: the picture is cut
// into tiles of about `tileSide` pixels (at most 8 each way), each tile's grey levels are
// spread by its own clipped histogram (no level takes more than `clipLimit` times its fair
// share, which keeps noise in flat areas from being blown up), and each pixel blends the four
// nearest tiles' mappings so no seams show. Faint structure in both dense and lucent areas
// gains contrast at once. Colour pictures are left as they are: equalising each channel would
// shift the hues.
void equaliseAdaptively(QImage &picture, double clipLimit = 3.0, int tileSide = 64);

// Applies the effects in their order: enhancement, then sharpening.
void applyPictureEffects(QImage &picture, const PictureEffects &effects);

} // namespace ravlen::toolkit

#pragma once

// Toolkit-internal: the pixel module of a data set and the decoding of its frames.

#include "toolkit/imagedata.h"

#include <optional>

namespace ravlen::toolkit::pixels {

// An integer or decimal attribute whatever VR the file gave it (US, SS, UL, SL, IS, DS, FL,
// FD); nothing when it is absent or not a number.
std::optional<long long> integerOf(DcmItem &item, const DcmTagKey &key, unsigned long pos = 0);
std::optional<double> numberOf(DcmItem &item, const DcmTagKey &key, unsigned long pos = 0);

PixelLayout readLayout(DcmItem &dataset);
ModalityTransform readModality(DcmItem &dataset, const PixelLayout &layout);
std::optional<VoiLut> readVoiLut(DcmItem &dataset, const PixelLayout &layout);

// Moves native monochrome pixel bytes out of the data set into one buffer per frame (see
// Image::Data). Leaves the data set alone when the layout or the length does not allow it.
void takeOutNativePixels(Image::Data &data);

// Decodes frame `index` (0-based) of the image. The caller holds data.mutex. Throws
// ToolkitError naming the image when the pixels cannot be decoded.
PixelFrame decodeFrame(const Image::Data &data, int index);

} // namespace ravlen::toolkit::pixels

#pragma once

#include "toolkit/pixelframe.h"

#include <QPointF>
#include <QString>

#include <optional>

namespace ravlen::toolkit {
class Image;
}

// The status line of the viewer window: which image, and what lies under the pointer.
namespace ravlen::viewer {

// What the pointer is on: an image pixel (column, row from 0) and its value, in modality units
// for a monochrome image (Hounsfield units for CT), or its colour.
struct PixelReading {
    int column = 0;
    int row = 0;
    std::optional<double> value;
    std::optional<int> red, green, blue;
};

// The modality value of pixel (column, row) of a monochrome frame: the stored value through the
// modality LUT (values beyond the table take its end entries) or the rescale. Nothing for a
// colour frame or a pixel outside the frame.
std::optional<double> modalityValueAt(const toolkit::PixelFrame &frame,
                                      const toolkit::ModalityTransform &transform, int column,
                                      int row);

// Reads the pixel at `pixel` (image coordinates, fractional) of the image's current frame.
// Nothing when it lies outside the image or the pixels cannot be decoded.
std::optional<PixelReading> readPixel(const toolkit::Image &image, QPointF pixel);

// "Image 3 of 20", followed, when the pointer is on an image, by the pixel "120, 45" and its
// value ("-40 HU" for CT, the plain number otherwise, "R 10, G 20, B 30" for colour).
// An empty set gives "No images".
QString statusText(int position, int count, const std::optional<PixelReading> &reading,
                   const QString &modality);

} // namespace ravlen::viewer

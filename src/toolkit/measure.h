#pragma once

#include "toolkit/label.h"
#include "toolkit/pixelframe.h"

#include <QPointF>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

namespace ravlen::toolkit {

class Image;
class TileTransform;

// How long an image pixel is, row to row and column to column, and in what unit.
struct Calibration {
    enum class Source { PixelSpacing, ImagerPixelSpacing, None };
    double rowSpacing = 1.0;    // distance between the centres of adjacent rows
    double columnSpacing = 1.0; // distance between the centres of adjacent columns
    Source source = Source::None;
    // "mm" when the image says how large its pixels are, "px" when it does not: a length in
    // pixels is never called millimetres.
    QString unit() const {
        return source == Source::None ? QStringLiteral("px") : QStringLiteral("mm");
    }
};

// The one calibration rule: Pixel Spacing (0028,0030); else Imager Pixel Spacing (0018,1164),
// divided by the Estimated Radiographic Magnification Factor (0018,1114) when it is present,
// so a projection image measures at the patient; else pixels. Each spacing value is
// row\column; a value that is missing, not a number, zero, negative or absurd is not used.
Calibration resolveCalibration(const std::optional<std::vector<double>> &pixelSpacing,
                               const std::optional<std::vector<double>> &imagerPixelSpacing,
                               const std::optional<double> &magnification);
Calibration calibrationOf(const Image &image);

// A label's shape in image pixel coordinates (pixel k covers [k, k + 1)): for lines and
// boxes the start and end corners; for poly-lines and polygons the point list.
struct ImageShape {
    int type = Label::Line;
    QPointF start;
    QPointF end;
    std::vector<QPointF> points;
};
// The shape of `label` on the image shown in `tileRect` with `transform`, whatever space the
// label is kept in.
ImageShape imageShapeOf(const Label &label, const TileTransform &transform, const QRect &tileRect);

// Length of a line or poly-line, in the calibration's unit.
double shapeLength(const ImageShape &shape, const Calibration &calibration);
// Area of a rectangle, ellipse or polygon in the calibration's unit squared; 0 for other
// shapes.
double shapeArea(const ImageShape &shape, const Calibration &calibration);

// Region statistics over the pixels whose centres lie inside the shape, in modality units;
// pixels holding the Pixel Padding Value (or within the padding range) are left out.
struct RegionStats {
    std::int64_t pixels = 0;
    double mean = 0.0;
};
struct Padding {
    double value = 0.0; // stored value
    std::optional<double> rangeLimit;
};
RegionStats regionStats(const PixelFrame &frame, const ModalityTransform &transform,
                        const ImageShape &shape, const std::optional<Padding> &padding);

// Pixel centres inside the shape, row by row: the reference the region statistics follow.
bool centreInside(const ImageShape &shape, int column, int row);

// What a measuring label reports once attached to an image.
struct Measurement {
    double length = 0.0;
    double area = 0.0;
    // Nothing for a colour image: its pixels have no single value to average.
    std::optional<double> mean;
    std::int64_t pixels = 0; // pixels the mean was taken over
    QString unit;
};
// Measures `label` on `image` (its current frame). Throws ToolkitError with a clear text
// when the image has no pixels to measure on.
Measurement measureLabel(const Label &label, const Image &image, const TileTransform &transform,
                         const QRect &tileRect);

} // namespace ravlen::toolkit

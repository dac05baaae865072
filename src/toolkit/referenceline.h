#pragma once

#include "toolkit/label.h"

#include <QLineF>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace ravlen::toolkit {

class Image;

using Vector3 = std::array<double, 3>;

// Where an image lies in the patient: the plane of its pixels in millimetres of the patient
// coordinate system, as Image Position (Patient), Image Orientation (Patient), Pixel Spacing,
// Rows and Columns give it, and the frame of reference those coordinates belong to.
struct ImagePlane {
    Vector3 position{};        // the centre of the first pixel
    Vector3 rowDirection{};    // along a row: the column number grows
    Vector3 columnDirection{}; // down a column: the row number grows
    double rowSpacing = 0.0;   // between the centres of adjacent rows
    double columnSpacing = 0.0;
    int rows = 0;
    int columns = 0;
    QString frameOfReference;
};

// Why two images give no reference line.
enum class NoLine {
    None,                  // there is a line
    MissingGeometry,       // an attribute the plane needs is absent or empty
    DegenerateGeometry,    // present but unusable: not numbers, a zero or slanted axis, no size
    OtherFrameOfReference, // the coordinates of the two images cannot be compared
    Parallel,              // the planes never meet
    Coplanar,              // the slice lies in the scout's own plane
    Outside,               // the planes meet, but not where both images are
};

// The plane of an image, or why it has none (`reason`, `text` naming the image as `who`).
struct PlaneReading {
    std::optional<ImagePlane> plane;
    NoLine reason = NoLine::None;
    QString text;
};

// The slice's line on the scout, in the scout's image coordinates (pixel k covers [k, k + 1),
// so a pixel's centre lies at k + 0.5), kept to the scout's picture; or why there is none.
struct ReferenceLine {
    std::optional<QLineF> line;
    NoLine reason = NoLine::None;
    QString text; // a sentence for the user; empty when there is a line
};

// Reads the plane of `image` from its data set; `who` names it in the reason ("The scout").
PlaneReading readImagePlane(const Image &image, const QString &who);

// Checks a plane: two unit axes at right angles, positive spacings and a size. Returns the
// reason text, empty when the plane can be used.
QString planeProblem(const ImagePlane &plane, const QString &who);

// Where the slice's plane cuts the scout: the slice's four outer edges (the pixels' outer
// borders, half a pixel beyond the outermost centres) meet the scout's plane in at most two
// points, which are mapped to the scout's pixels and kept within its picture.
ReferenceLine referenceLine(const ImagePlane &scout, const ImagePlane &slice);

// The reference-line operation of an image: the line of `slice` on `scout` as a line label in
// the scout's image space, ready to be added to the scout's labels; or null, with the reason
// in `why` when given.
std::shared_ptr<Label> referenceLineLabel(const Image &scout, const Image &slice,
                                          ReferenceLine *why = nullptr);

} // namespace ravlen::toolkit

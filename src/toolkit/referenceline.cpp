#include "toolkit/referenceline.h"

#include "toolkit/image.h"

#include <QVariant>

#include <cmath>
#include <vector>

namespace ravlen::toolkit {

namespace {

// DICOM writes direction cosines with few decimals ("0.7071"); an axis this close to unit
// length and right angles is taken as meant.
constexpr double kAxisTolerance = 1e-2;
// Below this sine of the angle between the planes they count as parallel: the line would lie
// kilometres away.
constexpr double kParallelSine = 1e-4;
// Parallel planes closer than this (mm) are one plane.
constexpr double kCoplanarMm = 1e-2;
// Points closer than this (mm) are one point.
constexpr double kSameMm = 1e-6;

Vector3 operator+(const Vector3 &a, const Vector3 &b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vector3 operator-(const Vector3 &a, const Vector3 &b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vector3 operator*(double s, const Vector3 &a) {
    return {s * a[0], s * a[1], s * a[2]};
}
double dot(const Vector3 &a, const Vector3 &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 cross(const Vector3 &a, const Vector3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Vector3 &a) {
    return std::sqrt(dot(a, a));
}
Vector3 unit(const Vector3 &a) {
    return (1.0 / length(a)) * a;
}

enum class Numbers { Ok, Missing, NotNumbers };

// The values of a decimal-string element: absent or empty is missing; a value that is not a
// finite number, or a count other than `count`, is not usable.
Numbers readNumbers(const QVariant &value, std::size_t count, std::vector<double> &out) {
    out.clear();
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty())) {
        return Numbers::Missing;
    }
    const QVariantList items =
        value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    for (const QVariant &item : items) {
        // A text here is a value the reader could not take as a number.
        if (item.typeId() == QMetaType::QString || !item.canConvert<double>()) {
            return Numbers::NotNumbers;
        }
        const double d = item.toDouble();
        if (!std::isfinite(d)) {
            return Numbers::NotNumbers;
        }
        out.push_back(d);
    }
    return out.size() == count ? Numbers::Ok : Numbers::NotNumbers;
}

// Cuts the segment a-b to the rectangle [0, width] x [0, height]; false when nothing is left.
bool clipToRect(QPointF &a, QPointF &b, double width, double height) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x(), width - a.x(), a.y(), height - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false; // parallel to this side and beyond it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const QPointF start = a;
    a = start + t0 * QPointF(dx, dy);
    b = start + t1 * QPointF(dx, dy);
    return true;
}

ReferenceLine noLine(NoLine reason, const QString &text) {
    ReferenceLine r;
    r.reason = reason;
    r.text = text;
    return r;
}

} // namespace

QString planeProblem(const ImagePlane &plane, const QString &who) {
    const double r = length(plane.rowDirection);
    const double c = length(plane.columnDirection);
    if (!(std::abs(r - 1.0) <= kAxisTolerance && std::abs(c - 1.0) <= kAxisTolerance &&
          std::abs(dot(plane.rowDirection, plane.columnDirection)) <= kAxisTolerance)) {
        return QStringLiteral("%1 has an Image Orientation (Patient) whose axes are not unit "
                              "vectors at right angles.")
            .arg(who);
    }
    if (!(plane.rowSpacing > 0.0 && plane.columnSpacing > 0.0 && std::isfinite(plane.rowSpacing) &&
          std::isfinite(plane.columnSpacing))) {
        return QStringLiteral("%1 has a Pixel Spacing that is not two positive numbers.").arg(who);
    }
    if (plane.rows < 1 || plane.columns < 1) {
        return QStringLiteral("%1 has no rows or columns.").arg(who);
    }
    return QString();
}

PlaneReading readImagePlane(const Image &image, const QString &who) {
    PlaneReading reading;
    const auto fail = [&](NoLine reason, const QString &text) {
        reading.reason = reason;
        reading.text = text;
        return reading;
    };
    struct Wanted {
        quint16 group;
        quint16 element;
        std::size_t count;
        const char *name;    // as the message names it
        const char *article; // "an Image Position", "a Pixel Spacing"
        const char *shape;
    };
    std::vector<double> position;
    std::vector<double> orientation;
    std::vector<double> spacing;
    const std::pair<Wanted, std::vector<double> *> wanted[] = {
        {{0x0020, 0x0032, 3, "Image Position (Patient)", "an", "three numbers"}, &position},
        {{0x0020, 0x0037, 6, "Image Orientation (Patient)", "an", "six numbers"}, &orientation},
        {{0x0028, 0x0030, 2, "Pixel Spacing", "a", "two numbers"}, &spacing},
    };
    for (const auto &[w, out] : wanted) {
        switch (readNumbers(image.attribute(w.group, w.element), w.count, *out)) {
        case Numbers::Missing:
            return fail(NoLine::MissingGeometry,
                        QStringLiteral("%1 has no %2.").arg(who, QLatin1String(w.name)));
        case Numbers::NotNumbers:
            return fail(NoLine::DegenerateGeometry,
                        QStringLiteral("%1 has %2 %3 that is not %4.")
                            .arg(who, QLatin1String(w.article), QLatin1String(w.name),
                                 QLatin1String(w.shape)));
        case Numbers::Ok:
            break;
        }
    }
    const QString frame = image.attribute(0x0020, 0x0052).toString().trimmed();
    if (frame.isEmpty()) {
        return fail(NoLine::MissingGeometry,
                    QStringLiteral("%1 has no Frame of Reference UID.").arg(who));
    }
    ImagePlane plane;
    plane.position = {position[0], position[1], position[2]};
    plane.rowDirection = {orientation[0], orientation[1], orientation[2]};
    plane.columnDirection = {orientation[3], orientation[4], orientation[5]};
    // Pixel Spacing is row spacing (between rows), then column spacing.
    plane.rowSpacing = spacing[0];
    plane.columnSpacing = spacing[1];
    plane.rows = image.rows();
    plane.columns = image.columns();
    plane.frameOfReference = frame;
    if (const QString problem = planeProblem(plane, who); !problem.isEmpty()) {
        return fail(NoLine::DegenerateGeometry, problem);
    }
    reading.plane = plane;
    return reading;
}

ReferenceLine referenceLine(const ImagePlane &scout, const ImagePlane &slice) {
    for (const auto &[plane, who] : {std::pair{&scout, QStringLiteral("The scout")},
                                     std::pair{&slice, QStringLiteral("The slice")}}) {
        if (const QString problem = planeProblem(*plane, who); !problem.isEmpty()) {
            return noLine(NoLine::DegenerateGeometry, problem);
        }
    }
    if (scout.frameOfReference != slice.frameOfReference) {
        return noLine(NoLine::OtherFrameOfReference,
                      QStringLiteral("The slice and the scout lie in different frames of "
                                     "reference."));
    }
    // Axes made exactly unit length, so the mapping into the scout's pixels is a projection.
    const Vector3 sr = unit(scout.rowDirection);
    const Vector3 sc = unit(scout.columnDirection);
    const Vector3 normal = unit(cross(sr, sc));
    const Vector3 lr = unit(slice.rowDirection);
    const Vector3 lc = unit(slice.columnDirection);
    if (length(cross(normal, cross(lr, lc))) < kParallelSine) {
        if (std::abs(dot(slice.position - scout.position, normal)) < kCoplanarMm) {
            return noLine(NoLine::Coplanar,
                          QStringLiteral("The slice lies in the plane of the scout."));
        }
        return noLine(NoLine::Parallel, QStringLiteral("The slice is parallel to the scout."));
    }

    // The slice's corners: image coordinates (0, 0) .. (columns, rows), the first pixel's
    // centre sitting at (0.5, 0.5).
    const auto patientPoint = [&](double x, double y) {
        return slice.position + ((x - 0.5) * slice.columnSpacing) * lr +
               ((y - 0.5) * slice.rowSpacing) * lc;
    };
    const double w = slice.columns;
    const double h = slice.rows;
    const Vector3 corners[4] = {patientPoint(0, 0), patientPoint(w, 0), patientPoint(w, h),
                                patientPoint(0, h)};
    double distance[4];
    for (int i = 0; i < 4; ++i) {
        distance[i] = dot(corners[i] - scout.position, normal);
    }
    std::vector<Vector3> cuts;
    const auto addCut = [&cuts](const Vector3 &p) {
        for (const Vector3 &q : cuts) {
            if (length(p - q) < kSameMm) {
                return;
            }
        }
        cuts.push_back(p);
    };
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        if (std::abs(distance[i]) < kSameMm) {
            addCut(corners[i]);
        } else if (std::abs(distance[j]) >= kSameMm && (distance[i] < 0) != (distance[j] < 0)) {
            const double t = distance[i] / (distance[i] - distance[j]);
            addCut(corners[i] + t * (corners[j] - corners[i]));
        }
    }
    const ReferenceLine outside =
        noLine(NoLine::Outside, QStringLiteral("The slice does not cross the scout."));
    if (cuts.size() < 2) {
        return outside; // the slice stops short of the scout's plane, or only touches it
    }
    // Rounding may leave a third point beside an edge the plane runs along: keep the ends.
    std::size_t a = 0;
    std::size_t b = 1;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        for (std::size_t j = i + 1; j < cuts.size(); ++j) {
            if (length(cuts[i] - cuts[j]) > length(cuts[a] - cuts[b])) {
                a = i;
                b = j;
            }
        }
    }
    const auto scoutPixel = [&](const Vector3 &p) {
        const Vector3 d = p - scout.position;
        return QPointF(dot(d, sr) / scout.columnSpacing + 0.5, dot(d, sc) / scout.rowSpacing + 0.5);
    };
    QPointF start = scoutPixel(cuts[a]);
    QPointF end = scoutPixel(cuts[b]);
    if (!clipToRect(start, end, scout.columns, scout.rows) || start == end) {
        return outside;
    }
    ReferenceLine line;
    line.line = QLineF(start, end);
    return line;
}

std::shared_ptr<Label> referenceLineLabel(const Image &scout, const Image &slice,
                                          ReferenceLine *why) {
    ReferenceLine result;
    const PlaneReading scoutPlane = readImagePlane(scout, QStringLiteral("The scout"));
    const PlaneReading slicePlane = readImagePlane(slice, QStringLiteral("The slice"));
    if (!scoutPlane.plane) {
        result = noLine(scoutPlane.reason, scoutPlane.text);
    } else if (!slicePlane.plane) {
        result = noLine(slicePlane.reason, slicePlane.text);
    } else {
        result = referenceLine(*scoutPlane.plane, *slicePlane.plane);
    }
    if (why) {
        *why = result;
    }
    if (!result.line) {
        return nullptr;
    }
    auto label = std::make_shared<Label>();
    label->type = Label::Line;
    label->space = Label::Space::Image;
    label->left = result.line->x1();
    label->top = result.line->y1();
    label->width = result.line->dx();
    label->height = result.line->dy();
    label->foreColour = 0x0000FF;
    label->lineWidth = 1;
    label->scaleWithImage = true;
    label->attachScale = 1.0;
    return label;
}

} // namespace ravlen::toolkit

#include "toolkit/measure.h"

#include "core/errors.h"
#include "toolkit/image.h"
#include "toolkit/tilegeometry.h"

#include <QVariant>
#include <QVariantList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

namespace ravlen::toolkit {

namespace {

const QPointF kHalf(0.5, 0.5);

std::optional<double> numberOf(const QVariant &v) {
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        return std::nullopt;
    }
    return d;
}

std::optional<std::vector<double>> numbersOf(const QVariant &v) {
    if (!v.isValid()) {
        return std::nullopt;
    }
    std::vector<double> values;
    if (v.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : v.toList()) {
            const std::optional<double> d = numberOf(item);
            if (!d) {
                return std::nullopt;
            }
            values.push_back(*d);
        }
    } else if (const std::optional<double> d = numberOf(v)) {
        values.push_back(*d);
    } else {
        return std::nullopt;
    }
    return values;
}

// A spacing the measurements can rely on: positive, finite and below a metre a pixel.
std::optional<std::pair<double, double>>
usableSpacing(const std::optional<std::vector<double>> &v) {
    if (!v || v->empty()) {
        return std::nullopt;
    }
    const double row = (*v)[0];
    const double column = v->size() >= 2 ? (*v)[1] : (*v)[0];
    const auto ok = [](double d) { return std::isfinite(d) && d > 0.0 && d < 1000.0; };
    if (!ok(row) || !ok(column)) {
        return std::nullopt;
    }
    return std::make_pair(row, column);
}

QPointF scaled(QPointF p, const Calibration &c) {
    return QPointF(p.x() * c.columnSpacing, p.y() * c.rowSpacing);
}

double distance(QPointF a, QPointF b, const Calibration &c) {
    const QPointF d = scaled(b - a, c);
    return std::hypot(d.x(), d.y());
}

bool isRegion(int type) {
    return type == Label::Rectangle || type == Label::Ellipse || type == Label::Polygon ||
           type == Label::Arrow;
}

// Limits a coordinate before it is turned into an index, so hostile geometry cannot overflow.
double bounded(double v, int limit) {
    if (!std::isfinite(v)) {
        return v > 0 ? limit + 2.0 : -2.0;
    }
    return std::clamp(v, -2.0, limit + 2.0);
}

// The first and last column (inclusive) whose centre lies in [from, to).
std::pair<int, int> columnsIn(double from, double to, int columns) {
    const int first = std::max(0, int(std::ceil(bounded(from, columns) - 0.5)));
    const int last = std::min(columns - 1, int(std::ceil(bounded(to, columns) - 0.5)) - 1);
    return {first, last};
}

// Calls visit(row, firstColumn, lastColumn) for every run of pixel centres inside the shape.
template <typename Visit>
void forEachSpan(const ImageShape &shape, int columns, int rows, Visit visit) {
    switch (shape.type) {
    case Label::Rectangle: {
        const double x0 = std::min(shape.start.x(), shape.end.x());
        const double x1 = std::max(shape.start.x(), shape.end.x());
        const double y0 = std::min(shape.start.y(), shape.end.y());
        const double y1 = std::max(shape.start.y(), shape.end.y());
        const auto [r0, r1] = columnsIn(y0, y1, rows);
        const auto [c0, c1] = columnsIn(x0, x1, columns);
        if (c0 > c1) {
            return;
        }
        for (int r = r0; r <= r1; ++r) {
            visit(r, c0, c1);
        }
        return;
    }
    case Label::Ellipse: {
        const double cx = (shape.start.x() + shape.end.x()) / 2.0;
        const double cy = (shape.start.y() + shape.end.y()) / 2.0;
        const double a = std::abs(shape.end.x() - shape.start.x()) / 2.0;
        const double b = std::abs(shape.end.y() - shape.start.y()) / 2.0;
        if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a) || !std::isfinite(b)) {
            return;
        }
        const int r0 = std::max(0, int(std::floor(bounded(cy - b, rows) - 0.5)));
        const int r1 = std::min(rows - 1, int(std::ceil(bounded(cy + b, rows) - 0.5)));
        for (int r = r0; r <= r1; ++r) {
            const double t = (r + 0.5 - cy) / b;
            if (t * t > 1.0) {
                continue;
            }
            const double dx = a * std::sqrt(1.0 - t * t);
            const int c0 = std::max(0, int(std::ceil(bounded(cx - dx, columns) - 0.5)));
            const int c1 = std::min(columns - 1, int(std::floor(bounded(cx + dx, columns) - 0.5)));
            if (c0 <= c1) {
                visit(r, c0, c1);
            }
        }
        return;
    }
    case Label::Polygon: {
        const auto &p = shape.points;
        if (p.size() < 3) {
            return;
        }
        double top = p[0].y();
        double bottom = top;
        for (const QPointF &q : p) {
            top = std::min(top, q.y());
            bottom = std::max(bottom, q.y());
        }
        const int r0 = std::max(0, int(std::floor(bounded(top, rows) - 0.5)));
        const int r1 = std::min(rows - 1, int(std::ceil(bounded(bottom, rows) - 0.5)));
        std::vector<double> xs;
        for (int r = r0; r <= r1; ++r) {
            const double y = r + 0.5;
            xs.clear();
            for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
                if ((p[i].y() <= y) != (p[j].y() <= y)) {
                    xs.push_back(p[i].x() +
                                 (y - p[i].y()) * (p[j].x() - p[i].x()) / (p[j].y() - p[i].y()));
                }
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
                const auto [c0, c1] = columnsIn(xs[k], xs[k + 1], columns);
                if (c0 <= c1) {
                    visit(r, c0, c1);
                }
            }
        }
        return;
    }
    default:
        return;
    }
}

template <typename T> T sampleAt(const std::uint8_t *data, std::size_t index) {
    T value;
    std::memcpy(&value, data + index * sizeof(T), sizeof(T));
    return value;
}

struct Accumulator {
    const ModalityTransform &transform;
    std::optional<std::pair<double, double>> padding; // stored values left out, inclusive
    std::int64_t count = 0;
    long double storedSum = 0.0L; // rescale: the mean maps once at the end
    long double mappedSum = 0.0L; // modality LUT: every value mapped

    void add(std::int64_t stored) {
        if (padding && stored >= padding->first && stored <= padding->second) {
            return;
        }
        ++count;
        if (transform.lut && !transform.lut->data.empty()) {
            const auto &table = transform.lut->data;
            const std::int64_t index = std::clamp<std::int64_t>(stored - transform.lut->firstMapped,
                                                                0, std::int64_t(table.size()) - 1);
            mappedSum += table[std::size_t(index)];
        } else {
            storedSum += stored;
        }
    }
    double mean() const {
        if (count == 0) {
            return 0.0;
        }
        if (transform.lut && !transform.lut->data.empty()) {
            return double(mappedSum / count);
        }
        return double(storedSum / count) * transform.slope + transform.intercept;
    }
};

template <typename T>
void addRun(Accumulator &acc, const std::uint8_t *data, std::size_t from, std::size_t to) {
    if (!acc.padding && !(acc.transform.lut && !acc.transform.lut->data.empty())) {
        // The common case: a plain sum the compiler can vectorise.
        std::int64_t sum = 0;
        for (std::size_t i = from; i <= to; ++i) {
            sum += std::int64_t(sampleAt<T>(data, i));
        }
        acc.storedSum += sum;
        acc.count += std::int64_t(to - from + 1);
        return;
    }
    for (std::size_t i = from; i <= to; ++i) {
        acc.add(std::int64_t(sampleAt<T>(data, i)));
    }
}

void addPixels(Accumulator &acc, const PixelFrame &frame, std::size_t from, std::size_t to) {
    const std::uint8_t *data = frame.data->data();
    using S = PixelFrame::Sample;
    switch (frame.sample) {
    case S::U8:
        addRun<std::uint8_t>(acc, data, from, to);
        break;
    case S::S8:
        addRun<std::int8_t>(acc, data, from, to);
        break;
    case S::U16:
        addRun<std::uint16_t>(acc, data, from, to);
        break;
    case S::S16:
        addRun<std::int16_t>(acc, data, from, to);
        break;
    case S::U32:
        addRun<std::uint32_t>(acc, data, from, to);
        break;
    case S::S32:
        addRun<std::int32_t>(acc, data, from, to);
        break;
    case S::Rgb8:
        break;
    }
}

QPointF shapeCentre(const ImageShape &shape) {
    if (shape.type == Label::Polygon && !shape.points.empty()) {
        QPointF sum;
        for (const QPointF &p : shape.points) {
            sum += p;
        }
        return sum / double(shape.points.size());
    }
    return (shape.start + shape.end) / 2.0;
}

} // namespace

Calibration resolveCalibration(const std::optional<std::vector<double>> &pixelSpacing,
                               const std::optional<std::vector<double>> &imagerPixelSpacing,
                               const std::optional<double> &magnification) {
    Calibration c;
    if (const auto ps = usableSpacing(pixelSpacing)) {
        c.rowSpacing = ps->first;
        c.columnSpacing = ps->second;
        c.source = Calibration::Source::PixelSpacing;
        return c;
    }
    if (const auto ips = usableSpacing(imagerPixelSpacing)) {
        double factor = 1.0;
        if (magnification && std::isfinite(*magnification) && *magnification >= 1.0 &&
            *magnification <= 10.0) {
            factor = *magnification;
        }
        c.rowSpacing = ips->first / factor;
        c.columnSpacing = ips->second / factor;
        c.source = Calibration::Source::ImagerPixelSpacing;
    }
    return c;
}

Calibration calibrationOf(const Image &image) {
    const std::optional<double> magnification = numberOf(image.attribute(0x0018, 0x1114));
    return resolveCalibration(numbersOf(image.attribute(0x0028, 0x0030)),
                              numbersOf(image.attribute(0x0018, 0x1164)), magnification);
}

ImageShape imageShapeOf(const Label &label, const TileTransform &transform, const QRect &tileRect) {
    ImageShape shape;
    shape.type = label.type;
    const QPointF origin(tileRect.topLeft());
    std::function<QPointF(QPointF)> map;
    Label::Space space = label.cellRelative ? Label::Space::CellThousandths : label.space;
    switch (space) {
    case Label::Space::Image:
        map = [](QPointF p) { return p; };
        break;
    case Label::Space::Viewer:
        map = [&](QPointF p) { return transform.toImage(p - origin + kHalf); };
        break;
    case Label::Space::Cell:
        map = [&](QPointF p) { return transform.toImage(p + kHalf); };
        break;
    case Label::Space::CellThousandths:
        map = [&](QPointF p) {
            return transform.toImage(
                QPointF(p.x() * tileRect.width() / 1000.0, p.y() * tileRect.height() / 1000.0));
        };
        break;
    }
    shape.start = map(QPointF(label.left, label.top));
    shape.end = map(QPointF(label.left + label.width, label.top + label.height));
    for (const QPointF &p : label.points) {
        shape.points.push_back(map(p));
    }
    return shape;
}

double shapeLength(const ImageShape &shape, const Calibration &calibration) {
    double length = 0.0;
    if (shape.type == Label::PolyLine) {
        for (std::size_t i = 1; i < shape.points.size(); ++i) {
            length += distance(shape.points[i - 1], shape.points[i], calibration);
        }
    } else {
        length = distance(shape.start, shape.end, calibration);
    }
    return std::isfinite(length) ? length : 0.0;
}

double shapeArea(const ImageShape &shape, const Calibration &calibration) {
    const double w = std::abs(shape.end.x() - shape.start.x()) * calibration.columnSpacing;
    const double h = std::abs(shape.end.y() - shape.start.y()) * calibration.rowSpacing;
    double area = 0.0;
    switch (shape.type) {
    case Label::Rectangle:
        area = w * h;
        break;
    case Label::Ellipse:
        area = std::numbers::pi * (w / 2.0) * (h / 2.0);
        break;
    case Label::Polygon: {
        // The shoelace formula over the closed outline.
        const auto &p = shape.points;
        double twice = 0.0;
        for (std::size_t i = 0, j = p.size() ? p.size() - 1 : 0; i < p.size(); j = i++) {
            const QPointF a = scaled(p[j], calibration);
            const QPointF b = scaled(p[i], calibration);
            twice += a.x() * b.y() - b.x() * a.y();
        }
        area = std::abs(twice) / 2.0;
        break;
    }
    default:
        break;
    }
    return std::isfinite(area) ? area : 0.0;
}

bool centreInside(const ImageShape &shape, int column, int row) {
    const double x = column + 0.5;
    const double y = row + 0.5;
    switch (shape.type) {
    case Label::Rectangle:
        return std::min(shape.start.x(), shape.end.x()) <= x &&
               x < std::max(shape.start.x(), shape.end.x()) &&
               std::min(shape.start.y(), shape.end.y()) <= y &&
               y < std::max(shape.start.y(), shape.end.y());
    case Label::Ellipse: {
        const double a = std::abs(shape.end.x() - shape.start.x()) / 2.0;
        const double b = std::abs(shape.end.y() - shape.start.y()) / 2.0;
        if (!(a > 0.0) || !(b > 0.0)) {
            return false;
        }
        const double u = (x - (shape.start.x() + shape.end.x()) / 2.0) / a;
        const double v = (y - (shape.start.y() + shape.end.y()) / 2.0) / b;
        return u * u + v * v <= 1.0;
    }
    case Label::Polygon: {
        const auto &p = shape.points;
        if (p.size() < 3) {
            return false;
        }
        bool inside = false;
        for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            if ((p[i].y() <= y) != (p[j].y() <= y)) {
                const double cross =
                    p[i].x() + (y - p[i].y()) * (p[j].x() - p[i].x()) / (p[j].y() - p[i].y());
                if (x < cross) {
                    inside = !inside;
                }
            }
        }
        return inside;
    }
    default:
        return false;
    }
}

RegionStats regionStats(const PixelFrame &frame, const ModalityTransform &transform,
                        const ImageShape &shape, const std::optional<Padding> &padding) {
    RegionStats stats;
    if (frame.sample == PixelFrame::Sample::Rgb8 || !frame.data || frame.columns <= 0 ||
        frame.rows <= 0) {
        return stats;
    }
    const std::size_t needed =
        std::size_t(frame.columns) * std::size_t(frame.rows) * std::size_t(frame.bytesPerSample());
    if (frame.data->size() < needed) {
        throw ToolkitError(errc::Damaged, "The image holds fewer pixels than it declares.");
    }
    Accumulator acc{transform, std::nullopt};
    if (padding) {
        const double limit = padding->rangeLimit.value_or(padding->value);
        acc.padding =
            std::make_pair(std::min(padding->value, limit), std::max(padding->value, limit));
    }
    const auto columns = std::size_t(frame.columns);
    forEachSpan(shape, frame.columns, frame.rows, [&](int row, int first, int last) {
        addPixels(acc, frame, std::size_t(row) * columns + std::size_t(first),
                  std::size_t(row) * columns + std::size_t(last));
    });
    if (acc.count == 0) {
        // A region smaller than a pixel: the pixel under its centre.
        const QPointF c = shapeCentre(shape);
        if (std::isfinite(c.x()) && std::isfinite(c.y()) && c.x() >= 0.0 && c.y() >= 0.0 &&
            c.x() < frame.columns && c.y() < frame.rows) {
            const std::size_t at = std::size_t(c.y()) * columns + std::size_t(c.x());
            addPixels(acc, frame, at, at);
        }
    }
    stats.pixels = acc.count;
    stats.mean = acc.mean();
    return stats;
}

Measurement measureLabel(const Label &label, const Image &image, const TileTransform &transform,
                         const QRect &tileRect) {
    if (!image.hasPixelData() || image.rows() <= 0 || image.columns() <= 0) {
        throw ToolkitError(errc::NoPixelData,
                           "This image has no pixels to measure on: nothing was measured.");
    }
    const ImageShape shape = imageShapeOf(label, transform, tileRect);
    const Calibration calibration = calibrationOf(image);
    Measurement m;
    m.unit = calibration.unit();
    m.length = shapeLength(shape, calibration);
    m.area = shapeArea(shape, calibration);
    if (isRegion(label.type)) {
        const PixelFrame frame =
            image.frame(std::clamp(image.currentFrame(), 1, image.frameCount()));
        if (frame.sample != PixelFrame::Sample::Rgb8) {
            std::optional<Padding> padding;
            if (const std::optional<double> value = numberOf(image.attribute(0x0028, 0x0120))) {
                padding = Padding{*value, numberOf(image.attribute(0x0028, 0x0121))};
            }
            const RegionStats stats = regionStats(frame, image.modalityTransform(), shape, padding);
            m.mean = stats.mean;
            m.pixels = stats.pixels;
        }
    }
    return m;
}

} // namespace ravlen::toolkit

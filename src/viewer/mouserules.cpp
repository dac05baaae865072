#include "viewer/mouserules.h"

#include "core/formats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravlen::viewer {

namespace {

constexpr double kProtractorPi = 3.14159;
constexpr double kCobbPi = 3.1415926;

double cobbDegrees(double t) {
    return std::atan(t) * (180.0 / kCobbPi);
}

} // namespace

const std::array<PaletteButton, 16> &paletteButtons() {
    static const std::array<PaletteButton, 16> buttons = {{
        {mouse::Select, "Select", true, "Select", 1, 1},
        {mouse::Hand, "Hand", true, "Hand", 1, 2},
        {mouse::Measure, "Measure", true, "Measure", 1, 3},
        {mouse::Text, "Text", true, "Text", 1, 4},
        {mouse::Arrow, "Arrow", true, "Arrow", 1, 5},
        {mouse::Magnify, "MA", false, "Magnify/Looking Glass", 1, 6},
        {mouse::Cine, "Ci", false, "Cine", 1, 7},
        {mouse::Window2, "W2", false, "Window2", 1, 8},
        {mouse::Line, "Line", true, "Line", 2, 1},
        {mouse::Draw, "Draw", true, "Draw", 2, 2},
        {mouse::Rectangle, "Rectangle", true, "Rectangle", 2, 3},
        {mouse::Elipse, "Elipse", true, "Elipse", 2, 4},
        {mouse::Polygon, "Polygon", true, "Polygon", 2, 5},
        {mouse::Protractor, "Po", false, "Protractor", 2, 6},
        {mouse::Cobb, "Co", false, "Cobb", 2, 7},
        {mouse::Window, "Wi", false, "Window - width/level brightness/contrast", 2, 8},
    }};
    return buttons;
}

int paletteLeftTwips(int column) {
    return 75 + 375 * (column - 1);
}

int paletteTopTwips(int row) {
    return row == 1 ? 225 : 600;
}

bool isLabelTool(int function) {
    return function == mouse::Text || function == mouse::Measure ||
           (function >= mouse::Arrow && function <= mouse::Polygon);
}

int labelTypeFor(int function, int detailsShape) {
    switch (function) {
    case mouse::Text:
        return 0;
    case mouse::Measure:
        return detailsShape;
    case mouse::Arrow:
        return 10;
    case mouse::Line:
        return 3;
    case mouse::Draw:
        return 4;
    case mouse::Rectangle:
        return 2;
    case mouse::Elipse:
        return 1;
    case mouse::Polygon:
        return 5;
    default:
        return 0;
    }
}

std::optional<bool> paletteEnabled(int function, bool enabled, bool stretchToFitTicked) {
    switch (function) {
    case mouse::Select:
    case mouse::Text:
    case mouse::Measure:
    case mouse::Arrow:
    case mouse::Line:
    case mouse::Draw:
    case mouse::Rectangle:
    case mouse::Elipse:
    case mouse::Polygon:
        return enabled;
    case mouse::Hand:
        return stretchToFitTicked ? false : enabled;
    default:
        return std::nullopt;
    }
}

DragAnchor panAnchor(QPointF scrollPixels, int x, int y) {
    return {scrollPixels.x() + x, scrollPixels.y() + y};
}

QPointF panScroll(const DragAnchor &anchor, int x, int y) {
    return QPointF(anchor.x - x, anchor.y - y);
}

DragAnchor windowAnchor(double width, double level, int x, int y) {
    return {width - x, level + y};
}

WindowValues windowDrag(const DragAnchor &anchor, int x, int y) {
    return {anchor.x + x, anchor.y - y};
}

int cineFrame(int anchorX, int x, int frameCount) {
    if (frameCount < 1) {
        return 1;
    }
    const double steps = fmt::roundHalfEven(std::abs(double(x) - double(anchorX)) / 10.0);
    return 1 + int(std::fmod(steps, double(frameCount)));
}

MagnifierEdges magnifierEdges(int x, int y, int magnifierWidth, int magnifierHeight,
                              int viewerWidthPixels, int viewerHeightPixels) {
    // Thousandths of the viewer's extent taken in twips, 15 to a pixel.
    const double width = std::max(viewerWidthPixels, 1) * 15.0;
    const double height = std::max(viewerHeightPixels, 1) * 15.0;
    MagnifierEdges e;
    e.left = (x - magnifierHeight / 2.0) * 15000.0 / width;
    e.top = (y - magnifierWidth / 2.0) * 15000.0 / height;
    e.right = (magnifierHeight / 2.0 + x) * 15000.0 / width;
    e.bottom = (magnifierWidth / 2.0 + y) * 15000.0 / height;
    return e;
}

std::optional<double> protractorAngle(QPointF p1, QPointF p2, QPointF p3) {
    const QPointF a = p1 - p2;
    const QPointF b = p3 - p2;
    const double lengths = std::hypot(a.x(), a.y()) * std::hypot(b.x(), b.y());
    if (!(lengths > 0.0) || !std::isfinite(lengths)) {
        return std::nullopt;
    }
    const double c = QPointF::dotProduct(a, b) / lengths;
    double radians;
    if (c >= 1.0) {
        radians = 0.0;
    } else if (c <= -1.0) {
        radians = 4.0 * std::atan(1.0);
    } else {
        radians = std::atan(-c / std::sqrt(1.0 - c * c)) + 2.0 * std::atan(1.0);
    }
    return radians * (180.0 / kProtractorPi);
}

QString protractorText(const std::optional<double> &angle) {
    if (!angle) {
        return QStringLiteral("-- deg");
    }
    return fmt::hashes2(*angle) + QStringLiteral(" deg");
}

double CalculateCobb(const std::array<std::int16_t, 8> &CobbXYCoord) {
    const double x1 = CobbXYCoord[0], y1 = CobbXYCoord[1];
    const double x2 = CobbXYCoord[2], y2 = CobbXYCoord[3];
    const double x3 = CobbXYCoord[4], y3 = CobbXYCoord[5];
    const double x4 = CobbXYCoord[6], y4 = CobbXYCoord[7];
    if (x1 == x2 && x3 == x4) {
        return 0.0;
    }
    double angle;
    if (x3 == x4) {
        const double mA = (y1 - y2) / (x1 - x2);
        angle = 90.0 - std::abs(cobbDegrees(-mA));
    } else if (x1 != x2) {
        const double mA = (y1 - y2) / (x1 - x2);
        const double mB = (y3 - y4) / (x3 - x4);
        const double denominator = mA * mB + 1.0;
        // Perpendicular lines: the tangent grows without bound, the angle is a right angle.
        angle = denominator == 0.0 ? 90.0 : std::abs(cobbDegrees((mB - mA) / denominator));
    } else {
        const double mB = (y3 - y4) / (x3 - x4);
        angle = 90.0 - std::abs(cobbDegrees(mB));
    }
    return fmt::roundHalfEven(angle, 2);
}

QString cobbMessage(double angle) {
    return QStringLiteral("The Cobb Angle is : ") + fmt::general(angle);
}

QString lengthText(double length, const QString &unit) {
    return fmt::hashes2(double(float(length))) + QLatin1Char(' ') + unit;
}

QString areaText(double area, const QString &unit) {
    return fmt::generalSingle(float(area)) + QStringLiteral(" square ") + unit;
}

QString meanText(double mean) {
    return QStringLiteral("Mean value = ") + fmt::generalSingle(float(mean));
}

ProtractorClick protractorClick(int &ClickStep, std::array<std::int16_t, 6> &ProtractorXY, int x,
                                int y) {
    ProtractorClick click;
    const auto point = [&](int i) { return QPointF(ProtractorXY[2 * i], ProtractorXY[2 * i + 1]); };
    switch (ClickStep) {
    case 1:
        ProtractorXY[0] = toCoordinate(x);
        ProtractorXY[1] = toCoordinate(y);
        ClickStep = 2;
        break;
    case 2:
        ProtractorXY[2] = toCoordinate(x);
        ProtractorXY[3] = toCoordinate(y);
        ClickStep = 3;
        click.line = LineSegment{point(0), point(1)};
        break;
    case 3: {
        ProtractorXY[4] = toCoordinate(x);
        ProtractorXY[5] = toCoordinate(y);
        ClickStep = 4;
        click.line = LineSegment{point(2), point(1)};
        click.angle = protractorAngle(point(0), point(1), point(2));
        click.labelTopLeft = QPointF((ProtractorXY[4] + ProtractorXY[0]) / 2.0 - 53.0,
                                     (ProtractorXY[5] + ProtractorXY[1]) / 2.0);
        click.complete = true;
        ClickStep = 1;
        break;
    }
    default:
        ClickStep = 1; // an out-of-sequence step starts a new angle
        return protractorClick(ClickStep, ProtractorXY, x, y);
    }
    return click;
}

CobbClick cobbClick(int &ClickStep, std::array<std::int16_t, 8> &CobbXYCoord, int x, int y) {
    CobbClick click;
    const auto point = [&](int i) { return QPointF(CobbXYCoord[2 * i], CobbXYCoord[2 * i + 1]); };
    if (ClickStep < 1 || ClickStep > 4) {
        ClickStep = 1;
    }
    const int slot = ClickStep - 1;
    CobbXYCoord[2 * slot] = toCoordinate(x);
    CobbXYCoord[2 * slot + 1] = toCoordinate(y);
    switch (ClickStep) {
    case 2:
        click.line = LineSegment{point(0), point(1)};
        break;
    case 4:
        click.line = LineSegment{point(2), point(3)};
        click.complete = true;
        break;
    default:
        break;
    }
    ClickStep = ClickStep == 4 ? 1 : ClickStep + 1;
    return click;
}

std::int16_t toCoordinate(int value) {
    return std::int16_t(std::clamp(value, int(std::numeric_limits<std::int16_t>::min()),
                                   int(std::numeric_limits<std::int16_t>::max())));
}

} // namespace ravlen::viewer

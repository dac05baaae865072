#include "viewer/orientationrules.h"

#include "core/formats.h"

#include <cmath>

namespace ravlen::viewer {

double zoomFromSlider(int value) {
    return std::exp2(value / 10.0);
}

int sliderFromZoom(double zoom) {
    return int(fmt::roundHalfEven(10.0 * std::log2(zoom)));
}

QString zoomText(double zoom) {
    return QString::number(zoom, 'g', 15);
}

TypedZoom typedZoom(const QString &text) {
    bool ok = false;
    const double zoom = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(zoom)) {
        return {0.0, QStringLiteral("The zoom \"%1\" is not a number.").arg(text.trimmed())};
    }
    if (zoom <= 0.0) {
        return {
            0.0,
            QStringLiteral("The zoom must be more than 0; \"%1\" was typed.").arg(text.trimmed())};
    }
    // The slider has to be able to show the factor, or box and slider would disagree.
    const double smallest = zoomFromSlider(kZoomSliderMinimum);
    const double largest = zoomFromSlider(kZoomSliderMaximum);
    const int slider = sliderFromZoom(zoom);
    if (slider < kZoomSliderMinimum || slider > kZoomSliderMaximum) {
        return {0.0, QStringLiteral("The zoom must lie between %1 and %2; \"%3\" was typed.")
                         .arg(zoomText(smallest), zoomText(largest), text.trimmed())};
    }
    return {zoom, QString()};
}

QPointF scrollKeepingPoint(QPointF scroll0, double scale0, double zoom0, double zoom,
                           QPointF pointFromCentre) {
    if (!(scale0 > 0.0) || !(zoom0 > 0.0) || !(zoom > 0.0)) {
        return scroll0;
    }
    // The tile draws centre + scale * (u - scroll); scale grows with the zoom, and u under the
    // point must stay.
    return scroll0 + pointFromCentre / scale0 * (1.0 - zoom0 / zoom);
}

int flipped(int flipState, int bit) {
    return flipState ^ bit;
}

int rotatedAnticlockwise(int rotation) {
    return (rotation + 1) % 4;
}

int rotatedClockwise(int rotation) {
    return (rotation + 3) % 4;
}

ZoomVisibility zoomVisibility(bool stretchChecked, bool companion) {
    return {!stretchChecked && !companion, !companion};
}

} // namespace ravlen::viewer

#include "viewer/overlaytexts.h"

#include "core/formats.h"
#include "toolkit/image.h"

#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravlen::viewer {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The standard variant-to-text conversion of an attribute's value; several values joined as
// the data set holds them.
QString textOf(const QVariant &value) {
    if (!value.isValid() || value.isNull()) {
        return QString();
    }
    switch (value.typeId()) {
    case QMetaType::Double:
        return fmt::general(value.toDouble());
    case QMetaType::QDate:
        return fmt::shortDate(value.toDate());
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant &v : value.toList()) {
            parts << textOf(v);
        }
        return parts.join(QLatin1Char('\\'));
    }
    default:
        return value.toString();
    }
}

std::optional<double> numberOf(const QVariant &value) {
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        return list.isEmpty() ? std::nullopt : numberOf(list.first());
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!value.isValid() || !ok || !std::isfinite(d)) {
        return std::nullopt;
    }
    return d;
}

// A window value as a 32-bit whole number, held at the type's ends rather than failing.
QString wholeNumber(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    const double held = std::clamp(value, double(std::numeric_limits<std::int32_t>::min()),
                                   double(std::numeric_limits<std::int32_t>::max()));
    return QString::number(fmt::toInt32(held));
}

QString line(bool shown, const QString &text) {
    return shown ? text : QString();
}

} // namespace

OverlayFields overlayFieldsOf(const toolkit::Image &image) {
    OverlayFields f;
    const auto text = [&](quint16 g, quint16 e) { return textOf(image.attribute(g, e)); };
    f.studyId = text(0x0020, 0x0010);
    f.seriesNumber = text(0x0020, 0x0011);
    f.sliceLocation = numberOf(image.attribute(0x0020, 0x1041));
    f.instanceNumber = text(0x0020, 0x0013);
    f.kvp = text(0x0018, 0x0060);
    f.tubeCurrent = text(0x0018, 0x1151);
    f.sliceThickness = numberOf(image.attribute(0x0018, 0x0050));
    f.gantryTilt = text(0x0018, 0x1120);
    f.acquisitionTime = text(0x0008, 0x0032);
    f.institution = text(0x0008, 0x0080);
    f.patientName = image.patientName();
    f.patientAge = text(0x0010, 0x1010);
    f.patientSex = text(0x0010, 0x0040);
    f.patientId = text(0x0010, 0x0020);
    f.studyDate = text(0x0008, 0x0020);
    f.rows = text(0x0028, 0x0010);
    f.width = image.width();
    f.level = image.level();
    f.zoom = image.zoom();
    return f;
}

OverlayBlocks composeOverlay(const OverlayFields &f, const TextModes &m) {
    OverlayBlocks b;
    // A hidden item leaves its line empty, so every other line keeps its place.
    b.topLeft =
        QStringList{QStringLiteral(" "), line(m[ExamNo], QStringLiteral("Ex:") + f.studyId),
                    line(m[SeriesNo], QStringLiteral("Se:") + f.seriesNumber),
                    line(m[SliceLocation],
                         QStringLiteral("OM ") +
                             (f.sliceLocation ? fmt::hashDot00(*f.sliceLocation) : QString())),
                    line(m[ImageNo], QStringLiteral("Im:") + f.instanceNumber)}
            .join(kCrLf);
    b.bottomLeft =
        QStringList{
            line(m[ScanParams], QStringLiteral("kV ") + f.kvp),
            line(m[ScanParams], QStringLiteral("mA ") + f.tubeCurrent),
            QStringLiteral(" "),
            // Without a thickness there is no value for the unit to follow.
            line(m[PhysicalParams], f.sliceThickness
                                        ? fmt::zeroDot00(*f.sliceThickness) + QStringLiteral("mm")
                                        : QString()),
            line(m[PhysicalParams], QStringLiteral("Tilt ") + f.gantryTilt),
            line(m[ScanTime] && m[Time], f.acquisitionTime),
            line(m[LevelWidth], QStringLiteral("W = ") + wholeNumber(f.width) +
                                    QStringLiteral("   L = ") + wholeNumber(f.level)),
        }
            .join(kCrLf);
    b.topRight = QStringList{line(m[HospitalName], f.institution),
                             line(m[PatientName], f.patientName),
                             line(m[PatientId], f.patientAge + QLatin1Char(' ') + f.patientSex +
                                                    QLatin1Char(' ') + f.patientId),
                             line(m[Date], f.studyDate),
                             line(m[SystemName], f.rows),
                             QString(),
                             line(m[MagFactor],
                                  QStringLiteral("MF: ") + fmt::zeroDot00(double(float(f.zoom))))}
                     .join(kCrLf);
    return b;
}

bool isOverlayText(const QString &text, const QString &institution) {
    if (text.startsWith(QStringLiteral(" \r")) || text.startsWith(QStringLiteral("kV"))) {
        return true;
    }
    const QString start = institution.left(2);
    return !start.isEmpty() && text.startsWith(start);
}

} // namespace ravlen::viewer

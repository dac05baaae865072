#include "toolkit/dataelement.h"

#include "core/formats.h"

#include <QDate>
#include <QStringList>

namespace ravlen::toolkit {

QString valueText(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::QDate:
        return fmt::shortDate(value.toDate());
    case QMetaType::Double:
    case QMetaType::Float:
        return fmt::general(value.toDouble());
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant &v : value.toList()) {
            parts.append(valueText(v));
        }
        return parts.join(QLatin1Char('\\'));
    }
    default:
        return value.toString();
    }
}

} // namespace ravlen::toolkit

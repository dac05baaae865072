#include "viewer/examfill.h"

#include "component/clsexam.h"
#include "toolkit/image.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>

namespace ravlen::viewer {

namespace {

// An attribute as text; several values are joined with a backslash, as they are stored.
QString text(const toolkit::Image &image, quint16 group, quint16 element) {
    const QVariant value = image.attribute(group, element);
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant &v : value.toList()) {
            parts << v.toString();
        }
        return parts.join(QLatin1Char('\\'));
    }
    if (value.typeId() == QMetaType::QDate) {
        return value.toDate().toString(QStringLiteral("yyyyMMdd"));
    }
    return value.toString();
}

} // namespace

void fillExamFromImage(clsExam &exam, const toolkit::Image &image) {
    // Only the alphabetic group of the name: ideographic and phonetic forms follow an "=".
    const QString alphabetic = text(image, 0x0010, 0x0010).section(QLatin1Char('='), 0, 0);
    const QStringList names = alphabetic.split(QLatin1Char('^'));
    exam.setName_Last(names.value(0).trimmed());
    exam.setName_First(names.value(1).trimmed());
    exam.setName_Middle(names.value(2).trimmed());
    exam.setSex(text(image, 0x0010, 0x0040));
    exam.setAge(text(image, 0x0010, 0x1010));
    exam.setPatientID(text(image, 0x0010, 0x0020));
    const QVariant date = image.attribute(0x0008, 0x0020);
    exam.setStudyDate(date.typeId() == QMetaType::QDate ? date.toDate() : QDate());
    exam.setStudyID(text(image, 0x0020, 0x0010));
    exam.setStudyUID(text(image, 0x0020, 0x000D));
    exam.setSeriesUID(text(image, 0x0020, 0x000E));
    exam.setSeriesNum(image.seriesNumber());
    exam.setSeriesDesc(text(image, 0x0008, 0x103E));
    exam.setExamName(text(image, 0x0008, 0x1030));
    exam.setRevenueID(text(image, 0x0008, 0x0050));
}

} // namespace ravlen::viewer

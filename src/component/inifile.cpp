#include "component/inifile.h"

#include <cmath>

namespace ravlen::component {

QString trimBlanks(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && text.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    return text.mid(begin, end - begin);
}

std::optional<IniLine> parseIniLine(const QString &line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
        return std::nullopt;
    }
    return IniLine{trimBlanks(line.left(eq)), trimBlanks(line.mid(eq + 1))};
}

bool iniKeyMatches(const QString &lineKey, const QString &wanted) {
    return lineKey.compare(wanted, Qt::CaseInsensitive) == 0;
}

QByteArray formatIniLine(const QString &key, const QString &value) {
    return (key + QStringLiteral(" = ") + value).toLatin1() + "\r\n";
}

QString decodeIniText(const QByteArray &bytes) {
    return QString::fromLatin1(bytes);
}

int optionNumber(const QVariant &value) {
    if (value.typeId() == QMetaType::Int) {
        return value.toInt();
    }
    bool ok = false;
    const double number = value.toString().toDouble(&ok);
    if (!ok || !std::isfinite(number) || number != std::trunc(number) || std::abs(number) > 1e6) {
        return 0;
    }
    return static_cast<int>(number);
}

} // namespace ravlen::component

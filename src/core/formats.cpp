#include "core/formats.h"

#include "core/errors.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace ravlen::fmt {

namespace {

// Digits and decimal exponent of the shortest text that reads back as `value`:
// value = 0.d1d2d3... x 10^exponent. Formats round this text, so 2.675 rounds like the
// number the user sees rather than like its binary neighbour 2.67499999...
struct Decimal {
    bool negative = false;
    QString digits; // no leading zeros; empty for zero
    int exponent = 0;
};

Decimal toDecimal(double value) {
    Decimal d;
    if (value == 0.0 || !std::isfinite(value)) {
        return d;
    }
    d.negative = value < 0;
    const QString text =
        QString::number(std::fabs(value), 'e', QLocale::FloatingPointShortest); // d.ddde+XX
    const int e = text.indexOf(QLatin1Char('e'));
    QString mantissa = text.left(e);
    mantissa.remove(QLatin1Char('.'));
    d.digits = mantissa;
    d.exponent = text.mid(e + 1).toInt() + 1;
    while (d.digits.endsWith(QLatin1Char('0'))) {
        d.digits.chop(1);
    }
    return d;
}

void incrementDigits(QString &all) {
    int i = all.size() - 1;
    while (i >= 0 && all.at(i) == QLatin1Char('9')) {
        all[i] = QLatin1Char('0');
        --i;
    }
    if (i < 0) {
        all.prepend(QLatin1Char('1'));
    } else {
        all[i] = QChar(all.at(i).unicode() + 1);
    }
}

// Integer part and exactly `decimals` fraction digits, rounded half away from zero, as the
// format patterns round.
struct Fixed {
    bool negative = false;
    QString integer;  // "" when zero
    QString fraction; // exactly `decimals` digits
};

Fixed toFixed(double value, int decimals) {
    const Decimal d = toDecimal(value);
    // all digits as one integer string scaled by 10^decimals
    QString all;
    const int intDigits = d.exponent;      // digits before the point (may be <= 0)
    const int keep = intDigits + decimals; // digits of d.digits we keep
    bool roundUp = false;
    if (keep <= 0) {
        all = QString();
        roundUp = keep == 0 && !d.digits.isEmpty() && d.digits.at(0) >= QLatin1Char('5');
    } else {
        all = d.digits.left(keep);
        while (all.size() < keep) {
            all.append(QLatin1Char('0'));
        }
        roundUp = d.digits.size() > keep && d.digits.at(keep) >= QLatin1Char('5');
    }
    if (roundUp) {
        incrementDigits(all);
    }
    while (all.size() < decimals) {
        all.prepend(QLatin1Char('0'));
    }
    Fixed f;
    f.fraction = all.right(decimals);
    f.integer = all.left(all.size() - decimals);
    while (f.integer.startsWith(QLatin1Char('0'))) {
        f.integer.remove(0, 1);
    }
    const bool isZero = f.integer.isEmpty() && f.fraction.count(QLatin1Char('0')) == decimals;
    f.negative = d.negative && !isZero;
    return f;
}

QString sign(const Fixed &f) {
    return f.negative ? QStringLiteral("-") : QString();
}

std::int64_t toIntChecked(double value, std::int64_t lo, std::int64_t hi, const char *what) {
    const double r = roundHalfEven(value);
    if (!std::isfinite(r) || r < static_cast<double>(lo) || r > static_cast<double>(hi)) {
        throw ToolkitError(errc::BadArgument,
                           std::string("Overflow: the value does not fit a ") + what + " integer");
    }
    return static_cast<std::int64_t>(r);
}

} // namespace

double roundHalfEven(double value) {
    return std::nearbyint(value);
}

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) {
        return value;
    }
    const Decimal d = toDecimal(value);
    const int keep = d.exponent + decimals; // significant digits that stay
    if (d.digits.size() <= keep) {
        return value;
    }
    QString kept = keep > 0 ? d.digits.left(keep) : QString();
    const QString rest =
        keep >= 0 ? d.digits.mid(keep) : QString(-keep, QLatin1Char('0')) + d.digits;
    bool up;
    if (rest.at(0) != QLatin1Char('5')) {
        up = rest.at(0) > QLatin1Char('5');
    } else if (rest.size() > 1) {
        up = true; // digits beyond the five: above the half
    } else {
        up = !kept.isEmpty() && (kept.back().unicode() - '0') % 2 == 1;
    }
    if (kept.isEmpty()) {
        kept = QStringLiteral("0");
    }
    if (up) {
        incrementDigits(kept);
    }
    const QString text = (d.negative ? QStringLiteral("-") : QString()) + kept +
                         QStringLiteral("e") + QString::number(-decimals);
    return text.toDouble();
}

std::int16_t toInt16(double value) {
    return static_cast<std::int16_t>(toIntChecked(value, std::numeric_limits<std::int16_t>::min(),
                                                  std::numeric_limits<std::int16_t>::max(),
                                                  "16-bit"));
}

std::int32_t toInt32(double value) {
    return static_cast<std::int32_t>(toIntChecked(value, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max(),
                                                  "32-bit"));
}

double leadingNumber(const QString &text) {
    int i = 0;
    const int n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t'))) {
        ++i;
    }
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        ++i;
    }
    int digits = 0;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    int end = i;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-'))) {
            ++j;
        }
        int expDigits = 0;
        while (j < n && text.at(j).isDigit() && text.at(j).unicode() < 128) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0) {
            end = j;
        }
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString hashes2(double value) {
    Fixed f = toFixed(value, 2);
    while (f.fraction.endsWith(QLatin1Char('0'))) {
        f.fraction.chop(1);
    }
    return sign(f) + f.integer + QLatin1Char('.') + f.fraction;
}

QString hashDot00(double value) {
    const Fixed f = toFixed(value, 2);
    return sign(f) + f.integer + QLatin1Char('.') + f.fraction;
}

QString zeroDot00(double value) {
    const Fixed f = toFixed(value, 2);
    return sign(f) + (f.integer.isEmpty() ? QStringLiteral("0") : f.integer) + QLatin1Char('.') +
           f.fraction;
}

QString zero2(double value) {
    const Fixed f = toFixed(value, 0);
    return sign(f) + f.integer.rightJustified(2, QLatin1Char('0'));
}

QString zero2(const QString &text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? zero2(v) : text;
}

namespace {

QString generalWithPrecision(double value, int precision) {
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    }
    if (value == 0.0) {
        return QStringLiteral("0");
    }
    // Round to the precision first, then choose fixed or exponent form from the result.
    const QString e = QString::number(value, 'e', precision - 1);
    const int at = e.indexOf(QLatin1Char('e'));
    const int exponent = e.mid(at + 1).toInt();
    QString mantissa = e.left(at);
    if (mantissa.contains(QLatin1Char('.'))) {
        while (mantissa.endsWith(QLatin1Char('0'))) {
            mantissa.chop(1);
        }
        if (mantissa.endsWith(QLatin1Char('.'))) {
            mantissa.chop(1);
        }
    }
    if (exponent < -5 || exponent >= precision) {
        const QString expText = QString::number(std::abs(exponent)).rightJustified(2, '0');
        return mantissa + (exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + expText;
    }
    QString fixed = QString::number(value, 'f', std::max(0, precision - 1 - exponent));
    if (fixed.contains(QLatin1Char('.'))) {
        while (fixed.endsWith(QLatin1Char('0'))) {
            fixed.chop(1);
        }
        if (fixed.endsWith(QLatin1Char('.'))) {
            fixed.chop(1);
        }
    }
    return fixed;
}

} // namespace

QString general(double value) {
    return generalWithPrecision(value, 15);
}

QString generalSingle(float value) {
    return generalWithPrecision(static_cast<double>(value), 7);
}

QString shortDate(const QDate &date) {
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

} // namespace ravlen::fmt

#pragma once

#include <QDate>
#include <QString>

#include <cstdint>

// The system's text formats and rounding, in one place so every window writes numbers alike.
namespace ravlen::fmt {

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);
// Rounds to `decimals` places, halves to even, judged on the shortest decimal text of the
// value (so 0.125 -> 0.12 and 2.675 -> 2.68, as the user reads them).
double roundHalfEven(double value, int decimals);

// Conversions to 16- and 32-bit integers with halves to even; out of range or NaN throws
// ToolkitError (errc::BadArgument), as an overflow would stop the operation.
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// The leading-number parse of settings and INI text: leading blanks skipped, then an optional
// sign, digits, an optional decimal point and digits, an optional exponent; whatever follows
// is ignored. Empty or non-numeric text gives 0 ("12abc" -> 12, "abc" -> 0, " 3.5x" -> 3.5).
double leadingNumber(const QString &text);

// "####.##": no leading zero, always the decimal point, at most two decimals
// (12 -> "12.", 0.456 -> ".46", 103.456 -> "103.46").
QString hashes2(double value);
// "#.00": at least two decimals, no leading zero below 1 (0.5 -> ".50", -12.5 -> "-12.50").
QString hashDot00(double value);
// "0.00": exactly two decimals with a leading zero (5 -> "5.00").
QString zeroDot00(double value);
// "00": a whole number padded to at least two digits (7 -> "07", 123 -> "123").
QString zero2(double value);
// "00" applied to text: numeric text is padded, anything else is returned unchanged.
QString zero2(const QString &text);

// The general number-to-text conversion: shortest text of up to 15 significant digits
// (7 for single precision), no trailing zeros, a leading zero before the point, and an
// exponent form "1.5E+20" for very large or small magnitudes.
QString general(double value);
QString generalSingle(float value);

// The system's short date form (ISO "yyyy-MM-dd"); an invalid date gives the empty text.
QString shortDate(const QDate &date);

} // namespace ravlen::fmt

#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// The INI file's own line format, as plain functions so it can be checked without files.
namespace ravlen::component {

struct IniLine {
    QString key;
    QString value;
};

// Removes leading and trailing blanks (the space character only; tabs stay part of the text).
QString trimBlanks(const QString &text);

// Splits one line (without its line break) at the first "="; key and value are blank-trimmed.
// A line without "=" is no entry.
std::optional<IniLine> parseIniLine(const QString &line);

// Keys compare without regard to letter case.
bool iniKeyMatches(const QString &lineKey, const QString &wanted);

// One written line: key, " = ", value, carriage return and line feed, single-byte encoded.
QByteArray formatIniLine(const QString &key, const QString &value);

// Decodes the file's single-byte text.
QString decodeIniText(const QByteArray &bytes);

// The value of a "Ret" or "Root" entry as the option number it selects: the whole number the
// text holds, or 0 when it holds anything else (so no option is changed).
int optionNumber(const QVariant &value);

} // namespace ravlen::component

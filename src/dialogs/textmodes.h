#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The "Text Modes" choices: which items of the image text overlay are shown. Kept in the
// settings store (application "PACS", section "Viewer", key "TextModes", one "1" or "0" per
// item in the order of the check boxes), so they last from one session to the next.
namespace ravlen::textmodes {

inline constexpr int kItems = 15; // the item boxes; the sixteenth is "Check All"
using Choices = std::array<bool, kItems>;

// The captions of the sixteen boxes, by index.
const QStringList &captions();

// The stored choices; every item shown when nothing (or nothing readable) is stored.
Choices stored();
void store(const Choices &choices);

// The stored form of the choices, and back; a text of the wrong length or with other
// characters than "0" and "1" shows every item.
QString toText(const Choices &choices);
Choices fromText(const QString &text);

} // namespace ravlen::textmodes

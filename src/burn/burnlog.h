#pragma once

#include <QString>

namespace ravlen::burn {

// The message log of the burn window: everything reported so far, each addition ended by a
// carriage return and line feed. It only grows.
class BurnLog {
public:
    // Adds `text` and a line break.
    void add(const QString &text);
    // Adds the end of a burn: a blank line, the two report texts each on its line, and the
    // finish line (see finishLine).
    void addFinish(const QString &resultText, const QString &trackText, int status);
    const QString &text() const { return m_text; }

    // "Burn finished successfully!" for status 0, else "Burn finished NOT (3)successfully!".
    static QString finishLine(int status);

private:
    QString m_text;
};

} // namespace ravlen::burn

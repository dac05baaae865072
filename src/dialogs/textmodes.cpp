#include "dialogs/textmodes.h"

#include "core/settingsstore.h"

namespace ravlen::textmodes {

namespace {
const QString kApp = QStringLiteral("PACS");
const QString kSection = QStringLiteral("Viewer");
const QString kKey = QStringLiteral("TextModes");
} // namespace

const QStringList &captions() {
    static const QStringList list = {
        QStringLiteral("Hospital Name"),
        QStringLiteral("Patient Name"),
        QStringLiteral("Patient ID"),
        QStringLiteral("Mag Factor"),
        QStringLiteral("Level / Width"),
        QStringLiteral("Exam No."),
        QStringLiteral("Series No."),
        QStringLiteral("Image No."),
        QStringLiteral("Scan Time"),
        QStringLiteral("Slice Location"),
        QStringLiteral("System name"),
        QStringLiteral("Date"),
        QStringLiteral("Time"),
        QStringLiteral("Scan Params"),
        QStringLiteral("Physical Params"),
        QStringLiteral("Check All"),
    };
    return list;
}

QString toText(const Choices &choices) {
    QString text;
    for (const bool shown : choices) {
        text += shown ? QLatin1Char('1') : QLatin1Char('0');
    }
    return text;
}

Choices fromText(const QString &text) {
    Choices choices;
    choices.fill(true);
    if (text.size() != kItems) {
        return choices;
    }
    for (int i = 0; i < kItems; ++i) {
        if (text[i] != QLatin1Char('0') && text[i] != QLatin1Char('1')) {
            choices.fill(true);
            return choices;
        }
        choices[std::size_t(i)] = text[i] == QLatin1Char('1');
    }
    return choices;
}

Choices stored() {
    return fromText(settings().get(kApp, kSection, kKey, QString()));
}

void store(const Choices &choices) {
    settings().save(kApp, kSection, kKey, toText(choices));
}

} // namespace ravlen::textmodes

#include "toolkit/globalsettings.h"

#include "toolkit/netlog.h"

#include <QHash>

#include <mutex>

namespace ravlen::toolkit {

namespace {

struct Store {
    std::mutex mutex;
    QHash<QString, int> ints;
    QHash<QString, QString> texts;
};

Store &store() {
    static Store s;
    return s;
}

QString key(const QString &name) {
    return name.toCaseFolded();
}

// "Log", "LogLevel" and "LogLocation" take effect as they are written.
void afterWrite(const QString &foldedKey) {
    if (foldedKey == QLatin1String("log") || foldedKey == QLatin1String("loglevel") ||
        foldedKey == QLatin1String("loglocation")) {
        applyLogSettings();
    }
}

} // namespace

void GlobalSettings::setInt(const QString &name, int value) {
    {
        std::lock_guard<std::mutex> lock(store().mutex);
        store().ints.insert(key(name), value);
    }
    afterWrite(key(name));
}

int GlobalSettings::getInt(const QString &name) {
    std::lock_guard<std::mutex> lock(store().mutex);
    return store().ints.value(key(name), 0);
}

void GlobalSettings::setText(const QString &name, const QString &value) {
    {
        std::lock_guard<std::mutex> lock(store().mutex);
        store().texts.insert(key(name), value);
    }
    afterWrite(key(name));
}

QString GlobalSettings::getText(const QString &name) {
    std::lock_guard<std::mutex> lock(store().mutex);
    return store().texts.value(key(name));
}

} // namespace ravlen::toolkit

#include "toolkit/globalsettings.h"

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

} // namespace

void GlobalSettings::setInt(const QString &name, int value) {
    std::lock_guard<std::mutex> lock(store().mutex);
    store().ints.insert(key(name), value);
}

int GlobalSettings::getInt(const QString &name) {
    std::lock_guard<std::mutex> lock(store().mutex);
    return store().ints.value(key(name), 0);
}

void GlobalSettings::setText(const QString &name, const QString &value) {
    std::lock_guard<std::mutex> lock(store().mutex);
    store().texts.insert(key(name), value);
}

QString GlobalSettings::getText(const QString &name) {
    std::lock_guard<std::mutex> lock(store().mutex);
    return store().texts.value(key(name));
}

} // namespace ravlen::toolkit

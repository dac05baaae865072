#pragma once

#include "component/modstart.h"
#include "core/prompter.h"
#include "core/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace ravlen::test {

// An in-memory settings store with the real store's case rules; reading a key listed in
// `failing` (lower case) throws, as a damaged store would.
class MemoryStore : public SettingsStore {
public:
    using Address = std::tuple<QString, QString, QString>;
    QString get(const QString &app, const QString &section, const QString &key,
                const QString &defaultValue = QString()) const override {
        if (failing.count(key.toLower())) {
            throw std::runtime_error("store failure");
        }
        const auto it = values.find({app, section.toLower(), key.toLower()});
        return it == values.end() ? defaultValue : it->second;
    }
    void save(const QString &app, const QString &section, const QString &key,
              const QString &value) override {
        values[{app, section.toLower(), key.toLower()}] = value;
    }
    void deleteApplication(const QString &app) override {
        std::erase_if(values, [&](const auto &kv) { return std::get<0>(kv.first) == app; });
    }
    std::map<Address, QString> values;
    std::set<QString> failing;
};

// Installs a fresh in-memory store as the process-wide one and returns it.
inline MemoryStore &installMemoryStore() {
    auto store = std::make_unique<MemoryStore>();
    MemoryStore &ref = *store;
    setSettings(std::move(store));
    return ref;
}

// A temporary folder holding the INI file, made the INI folder for the test's lifetime.
class IniFolder {
public:
    IniFolder() { modStart::setIniFolder(m_dir.path()); }
    QString path() const { return m_dir.filePath(QStringLiteral("ravlenpacs.ini")); }
    void write(const QByteArray &bytes) const {
        QFile f(path());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }
    QByteArray read() const {
        QFile f(path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    QTemporaryDir m_dir;
};

// Starts the component once per process against a temporary INI folder and an in-memory
// store, so no test writes beside the test binary or into the user's settings.
inline void startComponentForTests() {
    static QTemporaryDir *folder = [] {
        auto *dir = new QTemporaryDir;
        installMemoryStore();
        modStart::StartUp(dir->path());
        return dir;
    }();
    (void)folder;
    // Opening an exam now queries the configured peer, which is not there in these tests: its
    // failure message is recorded instead of waiting for a click.
    setPrompter(std::make_unique<ScriptedPrompter>());
}

} // namespace ravlen::test

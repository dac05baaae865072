#pragma once

#include <QString>

#include <memory>

namespace ravlen {

// The per-user settings store: (application, section, key) -> text. Sections and keys compare
// without regard to letter case. Values outlive the process.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or `defaultValue` when the key is absent.
    virtual QString get(const QString &application, const QString &section, const QString &key,
                        const QString &defaultValue = QString()) const = 0;
    virtual void save(const QString &application, const QString &section, const QString &key,
                      const QString &value) = 0;
    // Removes every section and key of the application.
    virtual void deleteApplication(const QString &application) = 0;
};

// The real store: one INI file per application in `$XDG_CONFIG_HOME/ravlenpacs/`
// (or a given folder), written at once on every save.
class FileSettingsStore : public SettingsStore {
public:
    FileSettingsStore();                               // the user's config folder
    explicit FileSettingsStore(const QString &folder); // tests and tools
    QString get(const QString &application, const QString &section, const QString &key,
                const QString &defaultValue = QString()) const override;
    void save(const QString &application, const QString &section, const QString &key,
              const QString &value) override;
    void deleteApplication(const QString &application) override;
    QString folder() const { return m_folder; }

private:
    QString fileFor(const QString &application) const;
    QString m_folder;
};

// The process-wide store every window uses; replaceable for tests.
SettingsStore &settings();
void setSettings(std::unique_ptr<SettingsStore> store);

} // namespace ravlen

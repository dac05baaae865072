#include "core/settingsstore.h"

#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include <map>
#include <mutex>

namespace ravlen {

namespace {

// One application's file: sections of keys, both matched case-insensitively but written with
// the spelling they were first saved with.
struct Entry {
    QString key;
    QString value;
};
struct Section {
    QString name;
    std::map<QString, Entry> keys; // by case-folded key
};
using Document = std::map<QString, Section>; // by case-folded section

QString fold(const QString &s) {
    return s.toCaseFolded();
}

// Backslash escapes keep every text on one line and brackets and "=" out of the syntax.
QString escape(const QString &s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '=':
            out += QStringLiteral("\\e");
            break;
        case '[':
            out += QStringLiteral("\\o");
            break;
        case ']':
            out += QStringLiteral("\\c");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescape(const QString &s) {
    QString out;
    out.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        if (s.at(i) != QLatin1Char('\\') || i + 1 == s.size()) {
            out += s.at(i);
            continue;
        }
        switch (s.at(++i).unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 'e':
            out += QLatin1Char('=');
            break;
        case 'o':
            out += QLatin1Char('[');
            break;
        case 'c':
            out += QLatin1Char(']');
            break;
        default:
            out += s.at(i);
        }
    }
    return out;
}

Document load(const QString &path) {
    Document doc;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return doc;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    Section *current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = unescape(line.mid(1, line.size() - 2));
            Section &s = doc[fold(name)];
            if (s.name.isEmpty()) {
                s.name = name;
            }
            current = &s;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || !current) {
            continue;
        }
        const QString key = unescape(line.left(eq));
        auto &slot = current->keys[fold(key)];
        if (slot.key.isEmpty()) {
            slot = Entry{key, unescape(line.mid(eq + 1))};
        }
    }
    return doc;
}

void store(const QString &path, const Document &doc) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        throw ToolkitError(errc::Settings, "Cannot write the settings file " + path.toStdString() +
                                               ": " + file.errorString().toStdString());
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    for (const auto &[folded, section] : doc) {
        out << '[' << escape(section.name) << "]\n";
        for (const auto &[k, entry] : section.keys) {
            out << escape(entry.key) << '=' << escape(entry.value) << '\n';
        }
    }
    out.flush();
    if (!file.commit()) {
        throw ToolkitError(errc::Settings, "Cannot write the settings file " + path.toStdString() +
                                               ": " + file.errorString().toStdString());
    }
}

std::mutex &storeMutex() {
    static std::mutex m;
    return m;
}

} // namespace

FileSettingsStore::FileSettingsStore()
    : FileSettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/ravlenpacs")) {}

FileSettingsStore::FileSettingsStore(const QString &folder) : m_folder(folder) {}

QString FileSettingsStore::fileFor(const QString &application) const {
    // Application names become file names: keep letters and digits only, case-folded.
    QString safe;
    for (QChar c : fold(application)) {
        safe += c.isLetterOrNumber() ? c : QLatin1Char('_');
    }
    return m_folder + QLatin1Char('/') + safe + QStringLiteral(".ini");
}

QString FileSettingsStore::get(const QString &application, const QString &section,
                               const QString &key, const QString &defaultValue) const {
    std::lock_guard lock(storeMutex());
    const Document doc = load(fileFor(application));
    const auto s = doc.find(fold(section));
    if (s == doc.end()) {
        return defaultValue;
    }
    const auto k = s->second.keys.find(fold(key));
    return k == s->second.keys.end() ? defaultValue : k->second.value;
}

void FileSettingsStore::save(const QString &application, const QString &section, const QString &key,
                             const QString &value) {
    std::lock_guard lock(storeMutex());
    if (!QDir().mkpath(m_folder)) {
        throw ToolkitError(errc::Settings,
                           "Cannot create the settings folder " + m_folder.toStdString());
    }
    const QString path = fileFor(application);
    Document doc = load(path);
    Section &s = doc[fold(section)];
    if (s.name.isEmpty()) {
        s.name = section;
    }
    Entry &e = s.keys[fold(key)];
    if (e.key.isEmpty()) {
        e.key = key;
    }
    e.value = value;
    store(path, doc);
}

void FileSettingsStore::deleteApplication(const QString &application) {
    std::lock_guard lock(storeMutex());
    QFile::remove(fileFor(application));
}

namespace {
std::unique_ptr<SettingsStore> &globalStore() {
    static std::unique_ptr<SettingsStore> s;
    return s;
}
} // namespace

SettingsStore &settings() {
    auto &s = globalStore();
    if (!s) {
        s = std::make_unique<FileSettingsStore>();
    }
    return *s;
}

void setSettings(std::unique_ptr<SettingsStore> store) {
    globalStore() = std::move(store);
}

} // namespace ravlen

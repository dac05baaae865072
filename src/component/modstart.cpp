#include "component/modstart.h"

#include "component/componentconstants.h"
#include "component/inifile.h"
#include "component/optionsvalues.h"
#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <mutex>

namespace ravlen {

// The process-wide options record, without the start-up call its public accessor makes: the
// start-up routine itself fills that record.
namespace detail {
OptionsValues &optionsRecord();
}

namespace modStart {

namespace {

std::mutex &stateMutex() {
    static std::mutex m;
    return m;
}
QString &iniPath() {
    static QString path;
    return path;
}
bool &started() {
    static bool done = false;
    return done;
}

// A symbol of this library whose address dladdr resolves to our own file.
void libraryAnchor() {}

[[noreturn]] void fail(const QString &what, const QFile &file) {
    throw ToolkitError(errc::Settings, QStringLiteral("%1 \"%2\": %3")
                                           .arg(what, file.fileName(), file.errorString())
                                           .toStdString());
}

QString pathIn(const QString &folder) {
    // The folder is used as given, as the path always was built by plain joining.
    return folder + QLatin1Char('/') + component::kIniFileName;
}

// Steps 2 to 5 of the start-up routine; the caller holds the state lock.
void startUpLocked(const QString &path) {
    iniPath() = path;
    EnsureIniFile();
    loadNetworkOptions(detail::optionsRecord());
    started() = true;
}

} // namespace

QString libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&libraryAnchor), &info) != 0 && info.dli_fname &&
        *info.dli_fname) {
        const QFileInfo file(QString::fromLocal8Bit(info.dli_fname));
        if (file.exists()) {
            return file.absolutePath();
        }
    }
    // Linked into a program whose loader recorded no usable name: the program's own folder.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

void StartUp() {
    std::lock_guard lock(stateMutex());
    startUpLocked(pathIn(libraryFolder()));
}

void StartUp(const QString &folder) {
    std::lock_guard lock(stateMutex());
    startUpLocked(pathIn(folder));
}

void ensureStarted() {
    std::lock_guard lock(stateMutex());
    if (!started()) {
        startUpLocked(pathIn(libraryFolder()));
    }
}

QString IniFilePath() {
    std::lock_guard lock(stateMutex());
    return iniPath();
}

void setIniFolder(const QString &folder) {
    std::lock_guard lock(stateMutex());
    iniPath() = pathIn(folder);
}

bool EnsureIniFile() {
    if (QFileInfo::exists(iniPath())) {
        return true;
    }
    ClearIniFile();
    return false;
}

void ReadIniValue(const QString &key, QVariant &out) {
    out = QVariant(0);
    QFile file(iniPath());
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("Cannot read the INI file"), file);
    }
    while (!file.atEnd()) {
        QByteArray raw = file.readLine();
        if (raw.endsWith('\n')) {
            raw.chop(1);
        }
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        const auto line = component::parseIniLine(component::decodeIniText(raw));
        if (line && component::iniKeyMatches(line->key, key)) {
            out = line->value;
            return;
        }
    }
}

void ClearIniFile() {
    QFile file(iniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("Cannot create the INI file"), file);
    }
}

void WriteIniValue(const QString &key, const QString &value) {
    QFile file(iniPath());
    // Appending never creates the file: a missing file means the configuration was not set up.
    if (!file.exists()) {
        throw ToolkitError(errc::Settings,
                           QStringLiteral("Cannot append to the INI file \"%1\": it does not exist")
                               .arg(file.fileName())
                               .toStdString());
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(QStringLiteral("Cannot append to the INI file"), file);
    }
    const QByteArray line = component::formatIniLine(key, value);
    if (file.write(line) != line.size() || !file.flush()) {
        fail(QStringLiteral("Cannot write the INI file"), file);
    }
}

void loadNetworkOptions(OptionsValues &values) {
    namespace ini = component::ini;
    QVariant value;
    for (const auto &[key, field] : iniTextFields()) {
        ReadIniValue(key, value);
        values.*field = value.toString();
    }

    using Ret = OptionsValues::RetrieveMethod;
    ReadIniValue(ini::Ret, value);
    switch (component::optionNumber(value)) {
    case 1:
        values.retrieveMethod = Ret::CGET;
        break;
    case 2:
        values.retrieveMethod = Ret::S_CMOVE;
        break;
    case 3:
        values.retrieveMethod = Ret::A_CMOVE;
        break;
    default:
        break;
    }

    // An absent key reads as the number 0: no image store is set up then.
    ReadIniValue(ini::ImageRoot, value);
    values.ImageRoot = value.typeId() == QMetaType::QString ? value.toString() : QString();

    using Root = OptionsValues::QueryRoot;
    ReadIniValue(ini::Root, value);
    switch (component::optionNumber(value)) {
    case 1:
        values.queryRoot = Root::PatientRoot;
        break;
    case 2:
        values.queryRoot = Root::StudyRoot;
        break;
    default:
        break;
    }
}

} // namespace modStart
} // namespace ravlen

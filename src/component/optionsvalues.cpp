#include "component/optionsvalues.h"

#include "component/modstart.h"
#include "core/formats.h"
#include "core/settingsstore.h"

namespace ravlen {

namespace detail {
OptionsValues &optionsRecord() {
    // Created on first use; lives until the process ends, like the window it backs.
    static OptionsValues *record = new OptionsValues(OptionsValues::created(settings()));
    return *record;
}
} // namespace detail

const std::array<IniTextField, 10> &iniTextFields() {
    namespace ini = component::ini;
    using O = OptionsValues;
    static const std::array<IniTextField, 10> fields = {{
        {ini::QServerIP, &O::RemoteNode},
        {ini::QAEName, &O::RemoteAE},
        {ini::QPort, &O::RemotePort},
        {ini::CallingAE, &O::CallingAE},
        {ini::MoveDestination, &O::MoveDestination},
        {ini::AEName, &O::AEName},
        {ini::Port, &O::Port},
        {ini::StorageNode, &O::StorageNode},
        {ini::StoragePort, &O::StoragePort},
        {ini::StorageAE, &O::StorageAE},
    }};
    return fields;
}

OptionsValues &options() {
    modStart::ensureStarted();
    return detail::optionsRecord();
}

QString playSecsFromSetting(const QString &stored) {
    return fmt::leadingNumber(stored) == 0 ? component::kDefaultPlayMS : stored;
}

OptionsValues OptionsValues::created(const SettingsStore &store) {
    OptionsValues values;
    values.txtPlaySecs = playSecsFromSetting(store.get(component::settingskey::PacsApp,
                                                       component::settingskey::ViewerSection,
                                                       component::settingskey::PlayMS));
    return values;
}

void saveOptions(const OptionsValues &values) {
    namespace key = component::settingskey;
    namespace ini = component::ini;
    settings().save(key::PacsApp, key::ViewerSection, key::PlayMS, values.txtPlaySecs);

    modStart::ClearIniFile();
    for (const auto &[name, field] : iniTextFields()) {
        modStart::WriteIniValue(name, values.*field);
    }
    // Checked in the order the window lists them, so one selection always wins.
    if (values.CGET()) {
        modStart::WriteIniValue(ini::Ret, QStringLiteral("1"));
    } else if (values.S_CMOVE()) {
        modStart::WriteIniValue(ini::Ret, QStringLiteral("2"));
    } else if (values.A_CMOVE()) {
        modStart::WriteIniValue(ini::Ret, QStringLiteral("3"));
    }
    if (values.PatientRoot()) {
        modStart::WriteIniValue(ini::Root, QStringLiteral("1"));
    } else if (values.StudyRoot()) {
        modStart::WriteIniValue(ini::Root, QStringLiteral("2"));
    }
    // The dialog does not edit it, but writing the file anew must not lose it.
    if (!values.ImageRoot.isEmpty()) {
        modStart::WriteIniValue(ini::ImageRoot, values.ImageRoot);
    }
}

void saveOptions() {
    saveOptions(options());
}

void saveMagMode(MagMode mode) {
    namespace key = component::settingskey;
    settings().save(key::PacsApp, key::ViewerSection, key::MagMode,
                    QString::number(static_cast<int>(mode)));
}

void saveMinMode(MinMode mode) {
    namespace key = component::settingskey;
    settings().save(key::PacsApp, key::ViewerSection, key::MinMode,
                    QString::number(static_cast<int>(mode)));
}

} // namespace ravlen

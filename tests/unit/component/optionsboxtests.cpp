#include "componenttestsupport.h"

#include "component/optionsbox.h"
#include "component/optionsvalues.h"
#include "core/errors.h"
#include "core/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>

using namespace ravlen;

namespace {

namespace skey = component::settingskey;
using O = OptionsValues;

QString stored(const QString &key) {
    return settings().get(skey::PacsApp, skey::ViewerSection, key);
}

class OptionsBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::startComponentForTests();
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        showOptionsBox(nullptr);
    }
    void TearDown() override { optionsBox().hide(); }
    template <typename T> T *control(const QString &name) {
        T *found = optionsBox().findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    ScriptedPrompter *prompts = nullptr;
};

TEST_F(OptionsBoxTest, EveryControlSitsOnItsTabWithItsCaptionsAndLabels) {
    const QTabWidget *tabs = control<QTabWidget>("SSTab1");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(optionsBox().windowTitle(), "Options");
    // clang-format off
    // Per tab: its caption, the controls on it, and its labels and frame titles.
    const std::tuple<QString, QString, QString> content[] = {
        {"Viewer", "txtPlaySecs CopyAllFrames WindowAll Replicate BSpline CubicSpline PixelValues "
         "MovingAverage", "Play Milliseconds:|Change Smoothing Type|Magnification|Minification"},
        {"General SCP", "AEName Port", "This Application Entitiy Title|Port to Listen On:"},
        {"Storage && Verification SCU", "StorageNode StoragePort StorageAE Async",
         "Remote SCP|Node Name or IP Address|Port Number|AE Name|"
         "See Query SCU page for local AE title used"},
        {"Query SCU", "RemoteNode RemotePort RemoteAE CallingAE MoveDestination A_CMOVE S_CMOVE "
         "CGET StudyRoot PatientRoot", "Remote SCP|Node Name or IP Address|Port Number|AE Name|"
         "Local AE|Calling AE Name to Use|Move Destination|Retrieve Method|Query Root"},
        {"Printing", "Magnification FilmSize PrintOrientation PrintFormat PrintCallingAE PrintNode "
         "PrintPort PrintAE", "Magnifaction Type|Film Size|Orientation|Print Format Name|Printer|"
         "Calling AE Name to Use|Node Name or IP Address|Port Number|AE Name"}};
    const std::pair<const char *, const char *> captions[] = {
        {"CopyAllFrames", "Copy all Frames as separate images"},
        {"WindowAll", "Window All Images together?"}, {"Replicate", "Pixel Value"},
        {"BSpline", "B-Spline"}, {"CubicSpline", "Cubic Spline"}, {"PixelValues", "Pixel Value"},
        {"MovingAverage", "Moving Average"}, {"Async", "Send requests asynchronously"},
        {"A_CMOVE", "Asynchronous C-MOVE"}, {"S_CMOVE", "Synchronous C-MOVE"}, {"CGET", "C-GET"},
        {"StudyRoot", "Study"}, {"PatientRoot", "Patient"}, {"chkAsync", "Async"},
        {"Command1", "OK"}};
    const std::pair<const char *, QStringList> lists[] = {
        {"Magnification", {"NONE", "CUBIC", "LINEAR"}}, {"FilmSize", {"8INX10IN", "14INx17IN"}},
        {"PrintOrientation", {"PORTRAIT", "LANDSCAPE"}},
        {"PrintFormat", {"STANDARD\\1,1", "STANDARD\\2,3"}}};
    // clang-format on
    ASSERT_EQ(tabs->count(), std::size(content));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        const auto &[caption, names, texts] = content[tab];
        EXPECT_EQ(tabs->tabText(tab), caption);
        for (const QString &name : names.split(' ')) {
            const QWidget *widget = control<QWidget>(name);
            EXPECT_TRUE(widget && tabs->widget(tab)->isAncestorOf(widget)) << name.toStdString();
        }
        QStringList shown;
        for (const QLabel *label : tabs->widget(tab)->findChildren<QLabel *>()) {
            shown << label->text();
        }
        for (const QGroupBox *group : tabs->widget(tab)->findChildren<QGroupBox *>()) {
            shown << group->title();
        }
        for (const QString &text : texts.split('|')) {
            EXPECT_TRUE(shown.contains(text)) << text.toStdString();
        }
    }
    for (const auto &[name, caption] : captions) {
        EXPECT_EQ(control<QAbstractButton>(name)->text(), caption);
    }
    EXPECT_FALSE(tabs->isAncestorOf(control<QWidget>("chkAsync")));
    EXPECT_FALSE(tabs->isAncestorOf(control<QWidget>("Command1")));
    EXPECT_EQ(control<QLineEdit>("txtPlaySecs")->toolTip(), "play milliseconds");
    for (const auto &[name, entries] : lists) {
        const QComboBox *combo = control<QComboBox>(name);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        EXPECT_EQ(items, entries) << name;
    }
}

TEST_F(OptionsBoxTest, EditsReachTheRecordAtOnceAndShowingReadsItBack) {
    O &record = options();
    // clang-format off
    const std::pair<const char *, QString O::*> texts[] = {
        {"txtPlaySecs", &O::txtPlaySecs}, {"AEName", &O::AEName}, {"Port", &O::Port},
        {"StorageNode", &O::StorageNode}, {"StoragePort", &O::StoragePort},
        {"StorageAE", &O::StorageAE}, {"RemoteNode", &O::RemoteNode},
        {"RemotePort", &O::RemotePort}, {"RemoteAE", &O::RemoteAE}, {"CallingAE", &O::CallingAE},
        {"MoveDestination", &O::MoveDestination}, {"PrintCallingAE", &O::PrintCallingAE},
        {"PrintNode", &O::PrintNode}, {"PrintPort", &O::PrintPort}, {"PrintAE", &O::PrintAE}};
    const std::pair<const char *, bool O::*> checks[] = {
        {"CopyAllFrames", &O::CopyAllFrames}, {"WindowAll", &O::WindowAll},
        {"Async", &O::Async}, {"chkAsync", &O::chkAsync}};
    const std::pair<const char *, QString O::*> combos[] = {
        {"Magnification", &O::Magnification}, {"FilmSize", &O::FilmSize},
        {"PrintOrientation", &O::PrintOrientation}, {"PrintFormat", &O::PrintFormat}};
    // clang-format on
    for (const auto &[name, field] : texts) {
        control<QLineEdit>(name)->setText(QStringLiteral("typed %1").arg(name));
        EXPECT_EQ(record.*field, QStringLiteral("typed %1").arg(name));
        record.*field = QStringLiteral("code %1").arg(name);
    }
    for (const auto &[name, field] : checks) {
        control<QCheckBox>(name)->click();
        EXPECT_TRUE(record.*field) << name;
        record.*field = false;
    }
    for (const auto &[name, field] : combos) {
        control<QComboBox>(name)->setCurrentIndex(1);
        EXPECT_EQ(record.*field, control<QComboBox>(name)->itemText(1)) << name;
        record.*field = control<QComboBox>(name)->itemText(0);
    }
    control<QRadioButton>("A_CMOVE")->click();
    control<QRadioButton>("StudyRoot")->click();
    EXPECT_TRUE(record.A_CMOVE() && record.StudyRoot());
    record.retrieveMethod = O::RetrieveMethod::None;
    record.queryRoot = O::QueryRoot::PatientRoot;

    // Shown again, the window shows what code wrote into the record meanwhile.
    optionsBox().hide();
    showOptionsBox(nullptr);
    for (const auto &[name, field] : texts) {
        EXPECT_EQ(control<QLineEdit>(name)->text(), QStringLiteral("code %1").arg(name));
    }
    for (const auto &[name, field] : checks) {
        EXPECT_FALSE(control<QCheckBox>(name)->isChecked()) << name;
    }
    for (const auto &[name, field] : combos) {
        EXPECT_EQ(control<QComboBox>(name)->currentIndex(), 0) << name;
    }
    for (const char *name : {"A_CMOVE", "S_CMOVE", "CGET", "StudyRoot"}) {
        EXPECT_FALSE(control<QRadioButton>(name)->isChecked()) << name;
    }
    EXPECT_TRUE(control<QRadioButton>("PatientRoot")->isChecked());
    record.retrieveMethod = O::RetrieveMethod::CGET;
}

TEST_F(OptionsBoxTest, CineIntervalOfZeroShowsAsThousandOnlyWhenTheRecordIsCreated) {
    const std::pair<std::optional<QString>, QString> cases[] = {
        {std::nullopt, "1000"}, {"", "1000"}, {"0", "1000"}, {"abc", "1000"}, {"250", "250"}};
    for (const auto &[setting, shown] : cases) {
        test::MemoryStore store;
        if (setting) {
            store.save(skey::PacsApp, skey::ViewerSection, skey::PlayMS, *setting);
        }
        O record = O::created(store);
        OptionsBox box(record);
        box.show();
        EXPECT_EQ(box.txtPlaySecs->text(), shown) << setting.value_or("(absent)").toStdString();
    }
    // Later shows display the record as it is, even a 0 put there by code.
    options().txtPlaySecs = "0";
    showOptionsBox(nullptr);
    EXPECT_EQ(control<QLineEdit>("txtPlaySecs")->text(), "0");
}

TEST_F(OptionsBoxTest, OkSavesTheTwelveKeysAsTypedAndHides) {
    test::IniFolder ini;
    // clang-format off
    const std::pair<const char *, const char *> typed[] = {
        {"RemoteNode", "10.0.0.5"}, {"RemoteAE", "PEER"}, {"RemotePort", " 104 "},
        {"CallingAE", "ME"}, {"MoveDestination", "ME2"}, {"AEName", "LISTEN"}, {"Port", "abc"},
        {"StorageNode", "store"}, {"StoragePort", "11112"}, {"StorageAE", "ARCHIVE"},
        {"txtPlaySecs", "250 "}};
    // clang-format on
    for (const auto &[name, text] : typed) {
        control<QLineEdit>(name)->setText(text);
    }
    control<QRadioButton>("S_CMOVE")->click();
    control<QRadioButton>("StudyRoot")->click();
    control<QPushButton>("Command1")->click();
    EXPECT_EQ(ini.read(), "QServerIP = 10.0.0.5\r\nQAEName = PEER\r\nQPort =  104 \r\n"
                          "CallingAE = ME\r\nMoveDestination = ME2\r\nAEName = LISTEN\r\n"
                          "Port = abc\r\nStorageNode = store\r\nStoragePort = 11112\r\n"
                          "StorageAE = ARCHIVE\r\nRet = 2\r\nRoot = 2\r\n");
    EXPECT_EQ(stored(skey::PlayMS), "250 ");
    EXPECT_FALSE(optionsBox().isVisible());
    EXPECT_TRUE(prompts->records.empty());

    // A file that cannot be written is reported, and the window stays open to try again.
    modStart::setIniFolder(QDir(ini.path()).filePath("missing-folder"));
    showOptionsBox(nullptr);
    control<QPushButton>("Command1")->click();
    ASSERT_EQ(prompts->messages().size(), 1);
    EXPECT_TRUE(prompts->messages()[0].startsWith("The options could not be saved (error 1301)"));
    EXPECT_TRUE(optionsBox().isVisible());
}

TEST_F(OptionsBoxTest, SmoothingButtonsStoreTheirChoiceAtOnceAndShowIt) {
    // clicked, key it writes, value, the other key which must stay as it is
    const std::tuple<const char *, QString, const char *, QString> clicks[] = {
        {"MovingAverage", skey::MinMode, "4", skey::MagMode},
        {"PixelValues", skey::MinMode, "1", skey::MagMode},
        {"CubicSpline", skey::MagMode, "3", skey::MinMode},
        {"BSpline", skey::MagMode, "2", skey::MinMode},
        {"Replicate", skey::MagMode, "1", skey::MinMode}};
    for (const auto &[name, key, value, other] : clicks) {
        const QString otherBefore = stored(other);
        control<QRadioButton>(name)->click();
        EXPECT_EQ(stored(key), value) << name;
        EXPECT_EQ(stored(other), otherBefore) << name;
    }
    settings().save(skey::PacsApp, skey::ViewerSection, skey::MagMode, "2");
    settings().save(skey::PacsApp, skey::ViewerSection, skey::MinMode, "0");
    optionsBox().hide();
    showOptionsBox(nullptr);
    EXPECT_TRUE(control<QRadioButton>("BSpline")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("PixelValues")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("MovingAverage")->isChecked());
}

TEST_F(OptionsBoxTest, CloseBoxHidesAndKeepsTheEditsUnsavedForTheProcess) {
    test::IniFolder ini;
    ini.write("QAEName = SAVED\r\n");
    OptionsBox *box = &optionsBox();
    box->RemoteAE->setText("EDITED");
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(options().RemoteAE, "EDITED");
    EXPECT_EQ(ini.read(), "QAEName = SAVED\r\n");
    showOptionsBox(nullptr);
    EXPECT_EQ(&optionsBox(), box);
    EXPECT_EQ(box->RemoteAE->text(), "EDITED");
}

TEST_F(OptionsBoxTest, OpensModelessAboveItsOwnerOrFreeAndOutlivesTheOwner) {
    QPointer<QWidget> owner = new QWidget;
    auto *menuSource = new QWidget(owner);
    owner->show();
    OptionsBox &box = optionsBox();
    showOptionsBox(menuSource);
    EXPECT_TRUE(box.isVisible() && !box.isModal() && !box.parentWidget());
    EXPECT_EQ(box.windowHandle()->transientParent(), owner->windowHandle());
    showOptionsBox(nullptr);
    EXPECT_EQ(box.windowHandle()->transientParent(), nullptr);

    // The viewer that owns it may close for good; the options window stays.
    showOptionsBox(owner);
    const QPointer<OptionsBox> alive = &box;
    delete owner.data();
    EXPECT_FALSE(alive.isNull());
    EXPECT_EQ(box.windowHandle()->transientParent(), nullptr);
}

} // namespace

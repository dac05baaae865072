#include "core/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ravlen;

TEST(SettingsStore, MissingValuesGiveTheCallersDefault) {
    QTemporaryDir dir;
    FileSettingsStore store(dir.path());
    EXPECT_EQ(store.get("PACS", "Viewer", "PlayMS"), QString());
    EXPECT_EQ(store.get("PACS", "Viewer", "PlayMS", "0"), "0");
    EXPECT_EQ(store.get("Orbitaview", "Viewer", "DisplayResult", "0"), "0");
}

TEST(SettingsStore, KeysAndSectionsIgnoreCaseAndSurviveANewStore) {
    QTemporaryDir dir;
    {
        FileSettingsStore store(dir.path());
        store.save("PACS", "Viewer", "MagMode", "2");
        store.save("PACS", "viewer", "MAGMODE", "3"); // same key, other spelling
        store.save("PACS", "RAVLEN PACS Viewer v2.0", "Left", "1500");
    }
    FileSettingsStore again(dir.path());
    EXPECT_EQ(again.get("pacs", "VIEWER", "magmode"), "3");
    EXPECT_EQ(again.get("PACS", "ravlen pacs viewer v2.0", "left"), "1500");
}

TEST(SettingsStore, AwkwardTextsRoundTrip) {
    QTemporaryDir dir;
    FileSettingsStore store(dir.path());
    const QString section = "Query [1] / a=b \\ c";
    const QString value = " value = with\nnewline\r and ] [ \\ and ümlaut ";
    store.save("PACS", section, "K=1", value);
    EXPECT_EQ(store.get("PACS", section, "K=1"), value);
    EXPECT_EQ(store.get("PACS", section, "K"), QString());
}

TEST(SettingsStore, DeletingAnApplicationRemovesOnlyIt) {
    QTemporaryDir dir;
    FileSettingsStore store(dir.path());
    store.save("PACS", "Viewer", "PlayMS", "250");
    store.save("PACS", "Win", "Top", "10");
    store.save("Orbitaview", "Viewer", "DisplayResult", "2");
    store.deleteApplication("pacs");
    EXPECT_EQ(store.get("PACS", "Viewer", "PlayMS", "none"), "none");
    EXPECT_EQ(store.get("PACS", "Win", "Top", "none"), "none");
    EXPECT_EQ(store.get("Orbitaview", "Viewer", "DisplayResult"), "2");
    store.deleteApplication("NeverSaved"); // not an error
}

TEST(SettingsStore, DefaultStoreLivesUnderTheXdgConfigFolder) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    FileSettingsStore store;
    EXPECT_EQ(store.folder(), dir.path() + "/ravlenpacs");
    store.save("PACS", "Viewer", "MinMode", "4");
    EXPECT_TRUE(QFile::exists(dir.path() + "/ravlenpacs/pacs.ini"));
    qunsetenv("XDG_CONFIG_HOME");
}

#include "componenttestsupport.h"

#include "component/inifile.h"
#include "component/optionsvalues.h"
#include "core/errors.h"

#include <gtest/gtest.h>

#include <optional>

using namespace ravlen;
using Ret = OptionsValues::RetrieveMethod;
using Root = OptionsValues::QueryRoot;

namespace {

TEST(IniLine, SplitsAtFirstEqualsAndTrimsOnlyBlanks) {
    const std::pair<const char *, std::optional<std::pair<QString, QString>>> cases[] = {
        {"qserverip=10.0.0.5", {{"qserverip", "10.0.0.5"}}},
        {"QPort =  104 = 105  ", {{"QPort", "104 = 105"}}},
        {"\tAEName\t=\tME\t", {{"\tAEName\t", "\tME\t"}}},
        {"=value", {{"", "value"}}},
        {"; CallingAE = X", {{"; CallingAE", "X"}}},
        {"[Network]", std::nullopt},
        {"QServerIP 10.0.0.5", std::nullopt},
    };
    for (const auto &[line, entry] : cases) {
        const auto parsed = component::parseIniLine(QString::fromLatin1(line));
        ASSERT_EQ(parsed.has_value(), entry.has_value()) << line;
        if (parsed) {
            EXPECT_EQ(std::pair(parsed->key, parsed->value), *entry) << line;
        }
    }
    EXPECT_EQ(component::formatIniLine("QPort", " 104 "), QByteArray("QPort =  104 \r\n"));
    EXPECT_EQ(component::formatIniLine("AE", QString::fromUtf8("M\xC3\xBC")), "AE = M\xFC\r\n");
}

TEST(IniLine, OptionNumberAcceptsOnlyWholeNumbers) {
    const std::pair<QVariant, int> cases[] = {
        {QVariant(0), 0},     {QVariant("2"), 2},    {QVariant("4"), 4}, {QVariant("1.0"), 1},
        {QVariant("1.5"), 0}, {QVariant("1abc"), 0}, {QVariant(""), 0},  {QVariant("1e300"), 0},
    };
    for (const auto &[value, expected] : cases) {
        EXPECT_EQ(component::optionNumber(value), expected) << value.toString().toStdString();
    }
}

class IniFileTest : public ::testing::Test {
protected:
    test::IniFolder folder;
};

TEST_F(IniFileTest, ReadFindsTheFirstMatchingKeyInAnyCase) {
    folder.write("[Section]\r\nJunk line\r\nport = 2000\r\nPORT = 3000\r\n"
                 "QPort=11112 = x\n" // a bare line feed ends a line too
                 "StorageAE =\tSTORE\t\r\nLast=no line break");
    const std::pair<const char *, QVariant> cases[] = {
        {"Port", "2000"},          {"qport", "11112 = x"}, {"StorageAE", "\tSTORE\t"},
        {"last", "no line break"}, {"Missing", 0},         {"Section", 0},
    };
    for (const auto &[key, expected] : cases) {
        QVariant out(QStringLiteral("stale"));
        modStart::ReadIniValue(key, out);
        EXPECT_EQ(out.typeId(), expected.typeId()) << key;
        EXPECT_EQ(out, expected) << key;
    }
}

TEST_F(IniFileTest, FileLifecycle) {
    QVariant out;
    EXPECT_THROW(modStart::ReadIniValue("Port", out), ToolkitError);
    try {
        modStart::WriteIniValue("Port", "1");
        ADD_FAILURE() << "appending created the file";
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), errc::Settings);
    }
    EXPECT_FALSE(modStart::EnsureIniFile());
    EXPECT_EQ(folder.read(), QByteArray());
    modStart::WriteIniValue("Old", "x");
    EXPECT_TRUE(modStart::EnsureIniFile());
    EXPECT_EQ(folder.read(), "Old = x\r\n");
    modStart::ClearIniFile();
    modStart::WriteIniValue("QServerIP", "10.0.0.5");
    modStart::WriteIniValue("AEName", "");
    EXPECT_EQ(folder.read(), "QServerIP = 10.0.0.5\r\nAEName = \r\n");
}

TEST_F(IniFileTest, EmptyFileGivesZeroTextsAndKeepsOptions) {
    modStart::EnsureIniFile();
    OptionsValues values;
    values.retrieveMethod = Ret::A_CMOVE;
    modStart::loadNetworkOptions(values);
    for (const auto &[key, field] : iniTextFields()) {
        EXPECT_EQ(values.*field, "0") << key.toStdString();
    }
    EXPECT_EQ(values.retrieveMethod, Ret::A_CMOVE);
    EXPECT_EQ(values.queryRoot, Root::PatientRoot);
}

TEST_F(IniFileTest, RetAndRootSelectOnlyTheirListedNumbers) {
    // Starting from A_CMOVE / StudyRoot shows which values leave the options unchanged.
    const std::tuple<const char *, Ret, Root> cases[] = {
        {"Ret = 1\r\nRoot = 1", Ret::CGET, Root::PatientRoot},
        {"Ret = 2\r\nRoot = 2", Ret::S_CMOVE, Root::StudyRoot},
        {"ret=3\r\nroot=3", Ret::A_CMOVE, Root::StudyRoot},
        {"Ret = 4\r\nRoot = 0", Ret::A_CMOVE, Root::StudyRoot},
        {"Ret = 1.0\r\nRoot = x", Ret::CGET, Root::StudyRoot},
    };
    for (const auto &[text, ret, root] : cases) {
        folder.write(text);
        OptionsValues values;
        values.retrieveMethod = Ret::A_CMOVE;
        values.queryRoot = Root::StudyRoot;
        modStart::loadNetworkOptions(values);
        EXPECT_EQ(values.retrieveMethod, ret) << text;
        EXPECT_EQ(values.queryRoot, root) << text;
    }
}

TEST(StartUp, CreatesTheFileAndFillsTheProcessOptions) {
    QTemporaryDir dir;
    test::installMemoryStore();
    modStart::StartUp(dir.path());
    EXPECT_EQ(modStart::IniFilePath(), dir.path() + "/ravlenpacs.ini");
    EXPECT_EQ(options().RemoteNode, "0");
    test::IniFolder(); // points elsewhere; StartUp must point back
    QFile f(dir.filePath("ravlenpacs.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("qserverip=10.0.0.5\r\n");
    f.close();
    modStart::StartUp(dir.path());
    EXPECT_EQ(options().RemoteNode, "10.0.0.5");
    EXPECT_TRUE(QFileInfo(modStart::libraryFolder()).isDir());
}

class SaveOptionsTest : public IniFileTest {
protected:
    test::MemoryStore &store = test::installMemoryStore();
    QString stored(const QString &key) const { return store.get("PACS", "Viewer", key, "-"); }
};

TEST_F(SaveOptionsTest, ImageRootIsReadAndSurvivesOk) {
    folder.write("ImageRoot = /srv/images/store \r\n");
    OptionsValues values;
    modStart::loadNetworkOptions(values);
    EXPECT_EQ(values.ImageRoot, "/srv/images/store");
    saveOptions(values); // the options dialog's OK writes the file anew
    OptionsValues again;
    modStart::loadNetworkOptions(again);
    EXPECT_EQ(again.ImageRoot, "/srv/images/store");

    folder.write("QServerIP = x\r\n");
    modStart::loadNetworkOptions(values);
    EXPECT_TRUE(values.ImageRoot.isEmpty()) << "absent: no image store, not \"0\"";
}

TEST_F(SaveOptionsTest, WritesTwelveLinesInOrderAsTyped) {
    OptionsValues values;
    values.RemoteNode = "pacs.local";
    values.RemoteAE = "ORTHANC";
    values.RemotePort = " 4242 ";
    values.Port = "abc";
    values.retrieveMethod = Ret::S_CMOVE;
    values.queryRoot = Root::StudyRoot;
    values.txtPlaySecs = " 250 ";
    folder.write("Stale = line\r\n");
    saveOptions(values);
    EXPECT_EQ(folder.read(), "QServerIP = pacs.local\r\nQAEName = ORTHANC\r\nQPort =  4242 \r\n"
                             "CallingAE = LOCAL\r\nMoveDestination = LOCAL\r\nAEName = \r\n"
                             "Port = abc\r\nStorageNode = localhost\r\nStoragePort = 104\r\n"
                             "StorageAE = REMOTE_AET\r\nRet = 2\r\nRoot = 2\r\n");
    EXPECT_EQ(stored("PlayMS"), " 250 ");
}

TEST_F(SaveOptionsTest, RetAndRootLinesFollowTheSelection) {
    const std::tuple<Ret, Root, const char *> cases[] = {
        {Ret::CGET, Root::PatientRoot, "Ret = 1\r\nRoot = 1\r\n"},
        {Ret::A_CMOVE, Root::None, "Ret = 3\r\n"},
        {Ret::None, Root::StudyRoot, "Root = 2\r\n"},
        {Ret::None, Root::None, ""},
    };
    for (const auto &[ret, root, tail] : cases) {
        OptionsValues values;
        values.retrieveMethod = ret;
        values.queryRoot = root;
        saveOptions(values);
        EXPECT_TRUE(folder.read().endsWith(QByteArray("StorageAE = REMOTE_AET\r\n") + tail))
            << tail;
    }
}

TEST_F(SaveOptionsTest, CineIntervalShownOnCreation) {
    const std::pair<std::optional<QString>, QString> cases[] = {
        {std::nullopt, "1000"}, {"", "1000"},   {"0", "1000"},    {"abc", "1000"},
        {"0.0", "1000"},        {"250", "250"}, {"12ms", "12ms"},
    };
    for (const auto &[text, shown] : cases) {
        store.values.clear();
        if (text) {
            store.save("PACS", "Viewer", "PlayMS", *text);
        }
        EXPECT_EQ(OptionsValues::created(store).txtPlaySecs, shown)
            << text.value_or("-").toStdString();
    }
}

TEST_F(SaveOptionsTest, SmoothingButtonsStoreTheirCodes) {
    saveMagMode(MagMode::CubicSpline);
    EXPECT_EQ(stored("magmode"), "3");
    saveMagMode(MagMode::BSpline);
    EXPECT_EQ(stored("MagMode"), "2");
    saveMinMode(MinMode::MovingAverage);
    EXPECT_EQ(stored("MinMode"), "4");
    saveMinMode(MinMode::PixelValues);
    EXPECT_EQ(stored("MinMode"), "1");
}

} // namespace

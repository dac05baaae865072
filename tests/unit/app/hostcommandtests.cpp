// The host commands in-process: their arguments, and get-pacs from the accession number to
// the query dialog on a real SQLite database.

#include "commands.h"
#include "hostcommands.h"

#include "componenttestsupport.h"
#include "getpacscases.h"

#include "core/prompter.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::app;

namespace {

QString openError(const QStringList &arguments) {
    QString error;
    EXPECT_FALSE(parseOpen(arguments, error).has_value()) << arguments.join(' ').toStdString();
    return error;
}

QString getPacsError(const QStringList &arguments) {
    QString error;
    EXPECT_FALSE(parseGetPacs(arguments, error).has_value()) << arguments.join(' ').toStdString();
    return error;
}

} // namespace

TEST(OpenArguments, EachOptionFillsItsKeyInOpenImagesOrder) {
    QStringList arguments;
    for (std::size_t i = 0; i < openOptionNames().size(); ++i) {
        arguments << openOptionNames()[i] << QStringLiteral("v%1").arg(i);
    }
    QString error;
    const auto o = parseOpen(arguments, error);
    ASSERT_TRUE(o) << error.toStdString();
    for (std::size_t i = 0; i < o->keys.size(); ++i) {
        EXPECT_EQ(o->keys[i], QStringLiteral("v%1").arg(i));
    }
    EXPECT_FALSE(o->unattended.enabled());

    const auto uidOnly = parseOpen({"--study-uid", "1.2.3"}, error);
    ASSERT_TRUE(uidOnly);
    EXPECT_EQ(uidOnly->keys[7], "1.2.3");
    EXPECT_TRUE(uidOnly->keys[0].isEmpty());
}

TEST(OpenArguments, UsageErrors) {
    // Nothing to look for would list the whole PACS.
    EXPECT_TRUE(openError({}).contains("at least one"));
    EXPECT_TRUE(openError({"--study-uid", ""}).contains("at least one"));
    EXPECT_TRUE(openError({"--study-uid"}).contains("needs a value"));
    EXPECT_TRUE(openError({"--patient", "X"}).contains("unknown option"));
    EXPECT_TRUE(openError({"1.2.3"}).contains("unexpected argument"));
    EXPECT_TRUE(openError({"--study-uid", "1", "--timeout", "0"}).contains("--timeout"));
    EXPECT_TRUE(openError({"--study-uid", "1", "--autoretrieve", ""}).contains("file name"));
}

TEST(GetPacsArguments, AccessionAndDatabaseInAnyOrder) {
    QString error;
    const auto o = parseGetPacs(
        {"--db", "sqlite:ris.db", "A-1", "--autoretrieve", "v.png", "--timeout", "30"}, error);
    ASSERT_TRUE(o) << error.toStdString();
    EXPECT_EQ(o->accession, "A-1");
    EXPECT_EQ(o->databaseUrl, "sqlite:ris.db");
    EXPECT_EQ(o->unattended.screenshot, "v.png");
    EXPECT_EQ(o->unattended.timeoutSeconds, 30);
}

TEST(GetPacsArguments, UsageErrors) {
    EXPECT_TRUE(getPacsError({"A-1"}).contains("usage"));
    EXPECT_TRUE(getPacsError({"--db", "sqlite:x.db"}).contains("usage"));
    EXPECT_TRUE(getPacsError({"A-1", "--db"}).contains("--db needs"));
    EXPECT_TRUE(getPacsError({"A-1", "A-2", "--db", "sqlite:x.db"}).contains("extra"));
    EXPECT_TRUE(getPacsError({"A-1", "--db", "ris.db"}).contains("sqlite:PATH"));
    EXPECT_TRUE(getPacsError({"A-1", "--db", "sqlite:x", "--verbose"}).contains("unknown"));
}

TEST(ProgramHelp, EveryCommandAndItsOptionsAreListed) {
    const QString help = programHelp();
    for (const Command &c : commands()) {
        EXPECT_TRUE(help.contains(QStringLiteral("  %1 ").arg(c.name))) << c.name;
    }
    const auto &list = commands();
    const auto open = std::find_if(list.begin(), list.end(),
                                   [](const Command &c) { return std::string(c.name) == "open"; });
    ASSERT_NE(open, list.end());
    const QString openHelp = commandHelp(*open);
    for (const char *option : openOptionNames()) {
        EXPECT_TRUE(openHelp.contains(option)) << option;
    }
    // The unattended options are for the demo, not for people.
    EXPECT_FALSE(openHelp.contains("--autoretrieve"));
}

class GetPacsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test::startComponentForTests();
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        database =
            std::make_unique<test::StudyDatabase>("QSQLITE", "StudyTable", [&](QSqlDatabase &db) {
                db.setDatabaseName(dir.filePath("ris.db"));
            });
        url = "sqlite:" + dir.filePath("ris.db");
    }
    void TearDown() override { setPrompter(nullptr); }

    QTemporaryDir dir;
    std::unique_ptr<test::StudyDatabase> database;
    QString url;
    ScriptedPrompter *prompts = nullptr;
};

TEST_F(GetPacsCommand, AKnownNumberFillsTheQueryDialogWithItsStudyAlone) {
    database->fill({{"A-1", "1.2.826.0.1.1"}, {"O'Brien-2", "1.2.826.0.1.2"}});
    const int before = retrieveDialog().loadCount();

    Outcome outcome = startGetPacs(url, "A-1");
    EXPECT_EQ(outcome.code, ExitOk) << outcome.message.toStdString();
    EXPECT_EQ(retrieveDialog().loadCount(), before + 1);
    EXPECT_EQ(retrieveDialog().queryKeys().StudyUID, "1.2.826.0.1.1");
    EXPECT_TRUE(retrieveDialog().queryKeys().PatientID.isEmpty());

    // A quote is part of the number, never of the statement.
    outcome = startGetPacs(url, "O'Brien-2");
    EXPECT_EQ(outcome.code, ExitOk) << outcome.message.toStdString();
    EXPECT_EQ(retrieveDialog().queryKeys().StudyUID, "1.2.826.0.1.2");
}

TEST_F(GetPacsCommand, FailuresEndWithExitCodeTwoAndOneLine) {
    database->fill({{"A-1", "1.2.3"}, {"NULL-UID", std::nullopt}});
    const int before = retrieveDialog().loadCount();
    for (const char *unknown : {"B-9", "NULL-UID", "A-1' or '1'='1"}) {
        const Outcome outcome = startGetPacs(url, unknown);
        EXPECT_EQ(outcome.code, ExitFailure) << unknown;
        EXPECT_TRUE(outcome.message.contains(unknown)) << outcome.message.toStdString();
    }
    database->dropTable();
    const Outcome noTable = startGetPacs(url, "A-1");
    EXPECT_EQ(noTable.code, ExitFailure);
    EXPECT_FALSE(noTable.message.isEmpty());
    // None of these reached the PACS.
    EXPECT_EQ(retrieveDialog().loadCount(), before);

    const Outcome missing = startGetPacs("sqlite:" + dir.filePath("none.db"), "A-1");
    EXPECT_EQ(missing.code, ExitFailure);
    EXPECT_TRUE(missing.message.contains("none.db")) << missing.message.toStdString();
}

// A person's session ends with the viewer: the query dialog left open does not keep the program
// (and the demo's PACS) running.
TEST_F(GetPacsCommand, ClosingTheViewerEndsTheSessionAndNothingShownEndsItAtOnce) {
    for (QWidget *w : QApplication::topLevelWidgets()) {
        w->close();
    }
    QCoreApplication::processEvents();
    {
        HostSession idle(UnattendedRun{}, "test");
        setPrompter(std::make_unique<ScriptedPrompter>());
        EXPECT_EQ(idle.run(), ExitOk); // no window: nothing to wait for
    }
    HostSession session(UnattendedRun{}, "test");
    setPrompter(std::make_unique<ScriptedPrompter>());
    retrieveDialog().show();
    dicomViewer().show();
    QTimer::singleShot(0, [] { dicomViewer().close(); });
    EXPECT_EQ(session.run(), ExitOk);
    EXPECT_FALSE(dicomViewerExists() && dicomViewer().isVisible());
    if (retrieveDialogExists()) {
        retrieveDialog().close();
    }
}

// `ravlenpacs get-pacs ACCESSION --db postgresql://...` against the real PostgreSQL server of
// the CTest fixture "pg": the URL reaches the server, the study table is read in its dialect,
// and the query dialog gets the study.

#include "hostcommands.h"

#include "commands.h"
#include "componenttestsupport.h"
#include "getpacscases.h"

#include "core/prompter.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>

using namespace ravlen;
using namespace ravlen::app;

namespace {

std::map<QString, QString> serverDetails() {
    std::map<QString, QString> details;
    QFile file(qEnvironmentVariable("RAVLEN_PG_ENV"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        static const QRegularExpression line(R"(^\s*(?:export\s+)?(RAVLEN_PG_\w+)=(.*)$)");
        for (const QString &text : QString::fromUtf8(file.readAll()).split('\n')) {
            if (const auto m = line.match(text); m.hasMatch()) {
                details[m.captured(1)] = m.captured(2).trimmed();
            }
        }
    }
    for (const char *name :
         {"RAVLEN_PG_HOST", "RAVLEN_PG_PORT", "RAVLEN_PG_USER", "RAVLEN_PG_DB"}) {
        if (qEnvironmentVariableIsSet(name)) {
            details[name] = qEnvironmentVariable(name);
        }
    }
    return details;
}

class GetPacsCommandPostgres : public ::testing::Test {
protected:
    void SetUp() override {
        details = serverDetails();
        if (!details.count("RAVLEN_PG_PORT")) {
            ASSERT_FALSE(qEnvironmentVariableIsSet("RAVLEN_PG_ENV")) << "no server recorded";
            GTEST_SKIP() << "no PostgreSQL server: run scripts/pg-start, set RAVLEN_PG_ENV";
        }
        test::startComponentForTests();
        setPrompter(std::make_unique<ScriptedPrompter>());
        database = std::make_unique<test::StudyDatabase>(
            "QPSQL", "dicom.StudyTable",
            [&](QSqlDatabase &db) {
                db.setHostName(details["RAVLEN_PG_HOST"]);
                db.setPort(details["RAVLEN_PG_PORT"].toInt());
                db.setUserName(details["RAVLEN_PG_USER"]);
                db.setDatabaseName(details["RAVLEN_PG_DB"]);
            },
            "create schema if not exists dicom");
        ASSERT_TRUE(database->connection().isOpen());
    }
    void TearDown() override { setPrompter(nullptr); }

    QString url() {
        return QStringLiteral("postgresql://%1@%2:%3/%4?application_name=ravlenpacs-test")
            .arg(details["RAVLEN_PG_USER"], details["RAVLEN_PG_HOST"], details["RAVLEN_PG_PORT"],
                 details["RAVLEN_PG_DB"]);
    }

    std::map<QString, QString> details;
    std::unique_ptr<test::StudyDatabase> database;
};

TEST_F(GetPacsCommandPostgres, AKnownNumberOpensItsStudyAndAnUnknownOneIsReported) {
    database->fill({{"PG-1", "1.2.826.0.1.77"}, {"PG-'2", "1.2.826.0.1.78"}});
    Outcome outcome = startGetPacs(url(), "PG-1");
    ASSERT_EQ(outcome.code, ExitOk) << outcome.message.toStdString();
    EXPECT_EQ(retrieveDialog().queryKeys().StudyUID, "1.2.826.0.1.77");

    outcome = startGetPacs(url(), "PG-'2");
    ASSERT_EQ(outcome.code, ExitOk) << outcome.message.toStdString();
    EXPECT_EQ(retrieveDialog().queryKeys().StudyUID, "1.2.826.0.1.78");

    outcome = startGetPacs(url(), "PG-3");
    EXPECT_EQ(outcome.code, ExitFailure);
    EXPECT_TRUE(outcome.message.contains("PG-3")) << outcome.message.toStdString();
}

TEST_F(GetPacsCommandPostgres, ADatabaseTheServerLacksIsReported) {
    // The fixture's server, with a database it does not have: refused at log-in.
    const QString wrong =
        QStringLiteral("postgresql://%1@%2:%3/no_such_database")
            .arg(details["RAVLEN_PG_USER"], details["RAVLEN_PG_HOST"], details["RAVLEN_PG_PORT"]);
    const Outcome outcome = startGetPacs(wrong, "PG-1");
    EXPECT_EQ(outcome.code, ExitFailure);
    EXPECT_TRUE(outcome.message.contains("cannot open the database"))
        << outcome.message.toStdString();
}

} // namespace

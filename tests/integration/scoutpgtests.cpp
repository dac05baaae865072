// The series image list of "Scout Slices" against a real PostgreSQL server started by
// scripts/pg-start (the CTest fixture "pg"): the same cases as on SQLite, in the server's own
// dialect (the image table in schema "dicom"). The connection comes from RAVLEN_PG_HOST/PORT/
// USER/DB, or else from the file that RAVLEN_PG_ENV names.

#include "imagelistcases.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace ravlen;

namespace {

std::map<QString, QString> connectionDetails() {
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

class ImageListPostgres : public ::testing::Test {
protected:
    void SetUp() override {
        auto details = connectionDetails();
        if (!details.count("RAVLEN_PG_PORT")) {
            // Under CTest the fixture names the file, so a missing server fails there.
            ASSERT_FALSE(qEnvironmentVariableIsSet("RAVLEN_PG_ENV")) << "no server recorded";
            GTEST_SKIP() << "no PostgreSQL server: run scripts/pg-start, set RAVLEN_PG_ENV";
        }
        database = std::make_unique<test::ImageDatabase>(
            "QPSQL", "dicom.ImageTable",
            [&](QSqlDatabase &db) {
                db.setHostName(details["RAVLEN_PG_HOST"]);
                db.setPort(details["RAVLEN_PG_PORT"].toInt());
                db.setUserName(details["RAVLEN_PG_USER"]);
                db.setDatabaseName(details["RAVLEN_PG_DB"]);
            },
            "create schema if not exists dicom");
        ASSERT_TRUE(database->connection().isOpen())
            << database->connection().lastError().text().toStdString();
    }
    std::unique_ptr<test::ImageDatabase> database;
};

TEST_F(ImageListPostgres, Cases) {
    test::runImageListCases(*database);
}

TEST_F(ImageListPostgres, Failures) {
    test::runImageListFailures(*database);
}

} // namespace

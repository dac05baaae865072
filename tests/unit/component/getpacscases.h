#pragma once

// GetPACS cases shared by the SQLite unit tests and the PostgreSQL integration tests: the
// same cases must pass on every dialect.

#include "component/clsravlenpacsviewer.h"
#include "core/errors.h"
#include "network/retrievedialog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace ravlen::test {

struct StudyRow {
    QString accession;
    std::optional<QString> studyUid; // nullopt: a null value
};

// Runs one statement, failing the test when it does not succeed. Statements without values
// run directly: a server cannot prepare every kind of statement.
inline void execOrFail(const QSqlDatabase &db, const QString &statement,
                       const std::vector<QVariant> &values = {}) {
    QSqlQuery q(db);
    bool ok = values.empty() ? q.exec(statement) : q.prepare(statement);
    if (ok && !values.empty()) {
        for (const auto &v : values) {
            q.addBindValue(v);
        }
        ok = q.exec();
    }
    ASSERT_TRUE(ok) << statement.toStdString() << ": " << q.lastError().text().toStdString();
}

// The host's radiology database with its study table, as a test sets it up.
class StudyDatabase {
public:
    StudyDatabase(const QString &driver, const QString &table,
                  const std::function<void(QSqlDatabase &)> &configure,
                  const QString &prepare = QString())
        : m_name(QUuid::createUuid().toString()), m_table(table), m_prepare(prepare) {
        m_db = QSqlDatabase::addDatabase(driver, m_name);
        configure(m_db);
        m_db.open();
    }
    ~StudyDatabase() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase connection() const { return m_db; }
    // Recreates the study table with these rows, in this order.
    void fill(const std::vector<StudyRow> &rows) {
        if (!m_prepare.isEmpty()) {
            execOrFail(m_db, m_prepare);
        }
        dropTable();
        execOrFail(m_db, "create table " + m_table +
                             " (patientid text, accessionnumber text, studyuid text)");
        for (const auto &row : rows) {
            const QVariant uid =
                row.studyUid ? QVariant(*row.studyUid) : QVariant(QMetaType(QMetaType::QString));
            execOrFail(m_db, "insert into " + m_table + " values ('P', ?, ?)",
                       {row.accession, uid});
        }
    }
    void dropTable() { execOrFail(m_db, "drop table if exists " + m_table); }

private:
    QString m_name;
    QString m_table;
    QString m_prepare;
    QSqlDatabase m_db;
};

// The host's user object: hands out one connection and counts how often it was asked.
class TestUser : public IRavlenUser {
public:
    explicit TestUser(QSqlDatabase db) : m_db(std::move(db)) {}
    QSqlDatabase SQLConnection() const override {
        ++calls;
        return m_db;
    }
    mutable int calls = 0;

private:
    QSqlDatabase m_db;
};

inline void expectErrorNumber(const std::function<void()> &call, int number) {
    try {
        call();
        ADD_FAILURE() << "expected ToolkitError " << number;
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), number) << e.what();
    }
}

inline void runGetPacsCases(StudyDatabase &database) {
    const std::tuple<const char *, std::vector<StudyRow>, QString, std::optional<QString>> cases[] =
        {
            {"single match", {{"A1", "1.2.1"}}, "A1", "1.2.1"},
            {"first of two rows", {{"A2", "1.2.21"}, {"A2", "1.2.22"}}, "A2", "1.2.21"},
            {"no match", {{"A3", "1.2.3"}}, "A30", std::nullopt},
            {"a quote cannot widen the statement", {{"A4", "1.2.4"}}, "x' OR '1'='1", std::nullopt},
            {"a quote is part of the number", {{"O'NEIL-5", "1.2.5"}}, "O'NEIL-5", "1.2.5"},
            {"no pattern matching", {{"A6", "1.2.6"}}, "A%", std::nullopt},
            {"null study UID", {{"A7", std::nullopt}, {"A7", "1.2.7"}}, "A7", std::nullopt},
            {"empty study UID", {{"A8", ""}}, "A8", std::nullopt},
        };
    for (const auto &[name, rows, request, opened] : cases) {
        SCOPED_TRACE(name);
        database.fill(rows);
        clsRavlenPACSViewer viewer;
        viewer.setRavlenUser(std::make_shared<TestUser>(database.connection()));
        const int loadsBefore = retrieveDialog().loadCount();
        viewer.GetPACS(request);
        EXPECT_EQ(retrieveDialog().loadCount(), loadsBefore + (opened ? 1 : 0));
        if (opened) {
            // A fresh object opens the study: the UID alone, the caller keeps its own values.
            EXPECT_EQ(retrieveDialog().queryKeys().toList(),
                      QStringList({"", "", "", "", "", "", "", *opened}));
            EXPECT_TRUE(retrieveDialog().isVisible());
            EXPECT_TRUE(viewer.StudyUID().isEmpty());
        }
    }
}

inline void runGetPacsFailures(StudyDatabase &database) {
    database.fill({{"B1", "1.2.3"}});
    const int loadsBefore = retrieveDialog().loadCount();
    clsRavlenPACSViewer viewer;
    expectErrorNumber([&] { viewer.GetPACS("B1"); }, errc::NoConnection); // no user
    viewer.setRavlenUser(std::make_shared<TestUser>(QSqlDatabase()));
    expectErrorNumber([&] { viewer.GetPACS("B1"); }, errc::NoConnection);
    viewer.setRavlenUser(std::make_shared<TestUser>(database.connection()));
    database.dropTable();
    expectErrorNumber([&] { viewer.GetPACS("B1"); }, errc::Database);
    EXPECT_EQ(retrieveDialog().loadCount(), loadsBefore);
}

// GetPACS runs on the calling object's user, even after another object assigned the
// process-wide one.
inline void runGetPacsUsesItsOwnUser(StudyDatabase &database) {
    database.fill({{"C1", "1.2.100"}});
    auto own = std::make_shared<TestUser>(database.connection());
    auto other = std::make_shared<TestUser>(QSqlDatabase());
    clsRavlenPACSViewer first;
    clsRavlenPACSViewer second;
    first.setRavlenUser(own);
    second.setRavlenUser(other);
    EXPECT_EQ(currentRavlenUser(), other);
    first.GetPACS("C1");
    EXPECT_EQ(retrieveDialog().queryKeys().StudyUID, "1.2.100");
    EXPECT_EQ(own->calls, 1);
    EXPECT_EQ(other->calls, 0);
}

} // namespace ravlen::test

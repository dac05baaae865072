#pragma once

// Image list cases shared by the SQLite unit tests and the PostgreSQL integration tests: the
// same cases must pass on every dialect.

#include "component/clsravlenpacsviewer.h"
#include "core/errors.h"
#include "scout/imagelist.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace ravlen::test {

struct ImageRow {
    QString seriesUid;
    int imageNumber = 0;
    std::optional<QString> fileDir; // nullopt: a null value
};

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

// The host's radiology database with its image table, as a test sets it up.
class ImageDatabase {
public:
    ImageDatabase(const QString &driver, const QString &table,
                  const std::function<void(QSqlDatabase &)> &configure,
                  const QString &prepare = QString())
        : m_name(QUuid::createUuid().toString()), m_table(table), m_prepare(prepare) {
        m_db = QSqlDatabase::addDatabase(driver, m_name);
        configure(m_db);
        m_db.open();
    }
    ~ImageDatabase() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    ImageDatabase(const ImageDatabase &) = delete;
    ImageDatabase &operator=(const ImageDatabase &) = delete;

    QSqlDatabase connection() const { return m_db; }
    // Recreates the image table with these rows, in this order.
    void fill(const std::vector<ImageRow> &rows) {
        if (!m_prepare.isEmpty()) {
            execOrFail(m_db, m_prepare);
        }
        dropTable();
        execOrFail(m_db, "create table " + m_table +
                             " (SeriesUID text, ImageNumber integer, FileDir text)");
        for (const auto &row : rows) {
            const QVariant dir =
                row.fileDir ? QVariant(*row.fileDir) : QVariant(QMetaType(QMetaType::QString));
            execOrFail(m_db, "insert into " + m_table + " values (?, ?, ?)",
                       {row.seriesUid, row.imageNumber, dir});
        }
    }
    void dropTable() { execOrFail(m_db, "drop table if exists " + m_table); }
    int rowCount() {
        QSqlQuery q(m_db);
        return q.exec("select count(*) from " + m_table) && q.next() ? q.value(0).toInt() : -1;
    }

private:
    QString m_name;
    QString m_table;
    QString m_prepare;
    QSqlDatabase m_db;
};

// The host's user object over a test's connection.
class TestUser : public IRavlenUser {
public:
    explicit TestUser(QSqlDatabase db) : m_db(std::move(db)) {}
    QSqlDatabase SQLConnection() const override { return m_db; }

private:
    QSqlDatabase m_db;
};

inline int errorNumberOf(const std::function<void()> &call) {
    try {
        call();
    } catch (const ToolkitError &e) {
        return e.number();
    }
    return 0;
}

inline void runImageListCases(ImageDatabase &db) {
    db.fill({{"1.2.3", 3, "ct/3.dcm"},
             {"1.2.9", 1, "other/1.dcm"},
             {"1.2.3", 1, "ct/1.dcm"},
             {"1.2.3", 2, std::nullopt},
             {"1.2.3", 10, "ct/10.dcm"}});
    // In image-number order (10 after 3: numbers, not texts); a null path reads empty.
    EXPECT_EQ(scout::seriesImageFiles(db.connection(), "1.2.3"),
              QStringList({"ct/1.dcm", "", "ct/3.dcm", "ct/10.dcm"}));
    EXPECT_TRUE(scout::seriesImageFiles(db.connection(), "1.2.4").isEmpty());
    // The UID is bound: a quote in it neither breaks nor changes the statement.
    EXPECT_TRUE(scout::seriesImageFiles(db.connection(), "1.2.3' or '1'='1").isEmpty());
    EXPECT_TRUE(
        scout::seriesImageFiles(db.connection(), "x'; drop table ImageTable; --").isEmpty());
    EXPECT_EQ(db.rowCount(), 5);
}

inline void runImageListFailures(ImageDatabase &db) {
    db.dropTable();
    EXPECT_EQ(errorNumberOf([&] { scout::seriesImageFiles(db.connection(), "1.2.3"); }),
              errc::Database);
    QSqlDatabase closed = db.connection();
    closed.close();
    EXPECT_EQ(errorNumberOf([&] { scout::seriesImageFiles(closed, "1.2.3"); }), errc::NoConnection);
    EXPECT_EQ(errorNumberOf([&] { scout::seriesImageFiles(QSqlDatabase(), "1.2.3"); }),
              errc::NoConnection);
}

} // namespace ravlen::test

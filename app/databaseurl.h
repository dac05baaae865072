#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

// The database a command line names, as one URL:
//   sqlite:PATH                                  an SQLite file (sqlite:///abs/path also works)
//   postgresql://[USER[:PASSWORD]@]HOST[:PORT]/DATABASE[?KEY=VALUE&...]   (postgres:// too)
//   odbc:DSN  or  odbc:DRIVER={FreeTDS};SERVER=...;DATABASE=...;UID=...;PWD=...
namespace ravlen::app {

struct DatabaseUrl {
    QString driver;         // the Qt SQL driver: QSQLITE, QPSQL, QODBC
    QString databaseName;   // file, database, or ODBC DSN / connection string
    QString host;           // PostgreSQL only
    int port = -1;          // PostgreSQL only; -1: the driver's default
    QString user;           // PostgreSQL only
    QString password;       // PostgreSQL only
    QString connectOptions; // the driver's option string, "KEY=VALUE;..."
};

// Reads a database URL; on a malformed one returns nothing and says why in `error`.
std::optional<DatabaseUrl> parseDatabaseUrl(const QString &url, QString &error);

// The URL as it may be shown in a message: the password (also an ODBC PWD) replaced by "***".
QString redactedDatabaseUrl(const QString &url);

// Opens a connection under `connectionName` with a bounded log-in time-out. An SQLite file
// must exist: a mistyped path must not silently create an empty database. On failure returns
// an invalid connection and says why in `error`.
QSqlDatabase openDatabase(const DatabaseUrl &url, const QString &connectionName, QString &error);

} // namespace ravlen::app

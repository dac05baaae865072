#pragma once

#include <QSqlDatabase>
#include <QString>

// Finding a study by its accession number in the radiology database, in each SQL dialect.
namespace ravlen::component {

enum class SqlDialect { SqlServer, PostgreSql, Sqlite, Other };

// The dialect of a Qt SQL driver name ("QODBC", "QPSQL", "QSQLITE", ...).
SqlDialect dialectOf(const QString &driverName);

// The study table as each dialect names it: "dicom.dbo.StudyTable" on SQL Server,
// the schema-qualified "dicom.StudyTable" on PostgreSQL and other servers, and "StudyTable"
// in the SQLite database file.
QString studyTableName(SqlDialect dialect);

// The lookup statement; the accession number is its one positional parameter.
QString studyLookupStatement(SqlDialect dialect);

// The "StudyUID" column (by name, any letter case) of the first study with that accession
// number, empty when none matches or the value is null. Throws ToolkitError: errc::NoConnection
// when the connection is invalid or closed, errc::Database when the statement fails or the
// table has no such column.
QString findStudyUid(const QSqlDatabase &db, const QString &accessionNumber);

} // namespace ravlen::component

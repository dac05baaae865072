#include "component/studylookup.h"

#include "core/errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace ravlen::component {

namespace {

[[noreturn]] void databaseError(const QString &what, const QSqlError &error) {
    throw ToolkitError(errc::Database,
                       QStringLiteral("%1: %2").arg(what, error.text()).toStdString());
}

} // namespace

SqlDialect dialectOf(const QString &driverName) {
    if (driverName == QLatin1String("QODBC") || driverName == QLatin1String("QTDS")) {
        return SqlDialect::SqlServer;
    }
    if (driverName == QLatin1String("QPSQL")) {
        return SqlDialect::PostgreSql;
    }
    if (driverName == QLatin1String("QSQLITE")) {
        return SqlDialect::Sqlite;
    }
    return SqlDialect::Other;
}

QString studyTableName(SqlDialect dialect) {
    switch (dialect) {
    case SqlDialect::SqlServer:
        return QStringLiteral("dicom.dbo.StudyTable");
    case SqlDialect::Sqlite:
        return QStringLiteral("StudyTable");
    case SqlDialect::PostgreSql:
    case SqlDialect::Other:
        break;
    }
    return QStringLiteral("dicom.StudyTable");
}

QString studyLookupStatement(SqlDialect dialect) {
    return QStringLiteral("select * from %1 where accessionnumber = ?")
        .arg(studyTableName(dialect));
}

QString findStudyUid(const QSqlDatabase &db, const QString &accessionNumber) {
    if (!db.isValid() || !db.isOpen()) {
        throw ToolkitError(errc::NoConnection, "Looking up the study of accession number \"" +
                                                   accessionNumber.toStdString() +
                                                   "\": the database connection is not open");
    }
    const QString statement = studyLookupStatement(dialectOf(db.driverName()));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The number is bound, never joined into the text, so no value can change the statement.
    if (!query.prepare(statement)) {
        databaseError(statement, query.lastError());
    }
    query.addBindValue(accessionNumber);
    if (!query.exec()) {
        databaseError(statement, query.lastError());
    }
    if (!query.next()) {
        if (query.lastError().isValid()) {
            databaseError(statement, query.lastError());
        }
        return QString();
    }
    const QSqlRecord row = query.record();
    const int column = row.indexOf(QStringLiteral("StudyUID"));
    if (column < 0) {
        throw ToolkitError(
            errc::Database,
            (statement + QStringLiteral(": the result has no column StudyUID")).toStdString());
    }
    const QVariant value = query.value(column);
    const QString uid = value.isNull() ? QString() : value.toString();
    query.finish();
    return uid;
}

} // namespace ravlen::component

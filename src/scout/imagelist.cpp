#include "scout/imagelist.h"

#include "core/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace ravlen::scout {

namespace {

[[noreturn]] void databaseError(const QString &what, const QSqlError &error) {
    throw ToolkitError(errc::Database,
                       QStringLiteral("%1: %2").arg(what, error.text()).toStdString());
}

// Whether `path` is `root` or lies below it; both absolute and clean.
bool below(const QString &root, const QString &path) {
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.startsWith(prefix) && path.size() > prefix.size();
}

} // namespace

QString imageListStatement(component::SqlDialect dialect) {
    switch (dialect) {
    case component::SqlDialect::SqlServer:
        return QStringLiteral("EXEC dicom.dbo.spDICOM_ImageList ?");
    case component::SqlDialect::Sqlite:
        return QStringLiteral(
            "select FileDir from ImageTable where SeriesUID = ? order by ImageNumber, FileDir");
    case component::SqlDialect::PostgreSql:
    case component::SqlDialect::Other:
        break;
    }
    return QStringLiteral(
        "select FileDir from dicom.ImageTable where SeriesUID = ? order by ImageNumber, FileDir");
}

QStringList seriesImageFiles(const QSqlDatabase &db, const QString &seriesUid) {
    if (!db.isValid() || !db.isOpen()) {
        throw ToolkitError(errc::NoConnection, "Listing the images of series \"" +
                                                   seriesUid.toStdString() +
                                                   "\": the database connection is not open");
    }
    const QString statement = imageListStatement(component::dialectOf(db.driverName()));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The UID is bound, never joined into the text, so no value can change the statement.
    if (!query.prepare(statement)) {
        databaseError(statement, query.lastError());
    }
    query.addBindValue(seriesUid);
    if (!query.exec()) {
        databaseError(statement, query.lastError());
    }
    const int column = query.record().indexOf(QStringLiteral("FileDir"));
    if (column < 0) {
        throw ToolkitError(
            errc::Database,
            (statement + QStringLiteral(": the result has no column FileDir")).toStdString());
    }
    QStringList files;
    while (query.next()) {
        const QVariant value = query.value(column);
        files << (value.isNull() ? QString() : value.toString());
    }
    if (query.lastError().isValid()) {
        databaseError(statement, query.lastError());
    }
    query.finish();
    return files;
}

StoreFile resolveInStore(const QString &root, const QString &fileDir) {
    StoreFile result;
    QString relative = fileDir.trimmed();
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (root.isEmpty() || relative.isEmpty()) {
        return result;
    }
    // "/x", "//server/share/x" and "C:/x" name places of their own, never a file of the store.
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (relative.startsWith(QLatin1Char('/')) || drive.match(relative).hasMatch()) {
        result.status = StoreFile::Status::Outside;
        return result;
    }
    const QString cleanRoot = QDir::cleanPath(QDir(root).absolutePath());
    const QString joined = QDir::cleanPath(cleanRoot + QLatin1Char('/') + relative);
    if (!below(cleanRoot, joined)) {
        result.status = StoreFile::Status::Outside; // ".." climbing out
        return result;
    }
    const QFileInfo file(joined);
    if (!file.exists()) {
        return result;
    }
    // Links are followed, the root's own included: what counts is where the file really is.
    const QString realRoot = QFileInfo(cleanRoot).canonicalFilePath();
    const QString realFile = file.canonicalFilePath();
    if (realRoot.isEmpty() || !below(realRoot, realFile)) {
        result.status = StoreFile::Status::Outside;
        return result;
    }
    if (!QFileInfo(realFile).isFile()) {
        return result; // a folder is no image file
    }
    result.status = StoreFile::Status::Inside;
    result.path = realFile;
    return result;
}

} // namespace ravlen::scout

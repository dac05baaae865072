#pragma once

#include "component/studylookup.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The image files of a series: listed by the radiology database, found below the image store's
// root folder.
namespace ravlen::scout {

// The image list statement; the series instance UID is its one positional parameter, and each
// row gives one file in the column "FileDir".
// - SQL Server: the stored procedure "EXEC dicom.dbo.spDICOM_ImageList ?".
// - PostgreSQL (and other servers): the table dicom.ImageTable (SeriesUID, ImageNumber,
//   FileDir), the series' rows in image-number order.
// - SQLite: the same table as "ImageTable" in the database file.
QString imageListStatement(component::SqlDialect dialect);

// The "FileDir" values of the series' rows, in the order the database gives them; a null
// value gives an empty text. Throws ToolkitError: errc::NoConnection when the connection is
// invalid or closed, errc::Database when the statement fails or has no column FileDir.
QStringList seriesImageFiles(const QSqlDatabase &db, const QString &seriesUid);

// Where a "FileDir" value leads below the image store's root.
struct StoreFile {
    enum class Status {
        Inside,  // `path` is the file, below the root
        Outside, // the value leads out of the root (absolute, "..", a link leading out)
        Missing, // no file there (or no root)
    };
    Status status = Status::Missing;
    QString path;
};

// Resolves `fileDir` (a path relative to the root, "\" or "/" between names) against `root`:
// absolute paths, drive letters and paths that end up outside the root once ".." and symbolic
// links are followed are refused; nothing is opened.
StoreFile resolveInStore(const QString &root, const QString &fileDir);

} // namespace ravlen::scout

#include "databaseurl.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

namespace ravlen::app {

namespace {

// Log-in time-outs, in seconds: an unreachable server must not keep a command waiting.
constexpr int LoginTimeoutSeconds = 10;

const QString SqliteScheme = QStringLiteral("sqlite:");
const QString OdbcScheme = QStringLiteral("odbc:");

std::optional<DatabaseUrl> fail(QString &error, const QString &text) {
    error = text;
    return std::nullopt;
}

std::optional<DatabaseUrl> parseSqlite(const QString &rest, QString &error) {
    QString path = rest;
    if (path.startsWith(QLatin1String("//"))) {
        path = path.mid(2); // sqlite:///abs/path, the URL form of an absolute path
    }
    if (path.isEmpty()) {
        return fail(error, QStringLiteral("sqlite: needs a file path (sqlite:PATH)"));
    }
    DatabaseUrl url;
    url.driver = QStringLiteral("QSQLITE");
    url.databaseName = path;
    // The component only reads; a busy file is waited for, not failed at once.
    url.connectOptions = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
    return url;
}

std::optional<DatabaseUrl> parsePostgres(const QString &text, QString &error) {
    const QUrl parsed(text, QUrl::StrictMode);
    if (!parsed.isValid()) {
        return fail(error,
                    QStringLiteral("malformed PostgreSQL URL: %1").arg(parsed.errorString()));
    }
    if (parsed.host().isEmpty()) {
        return fail(error, QStringLiteral("the PostgreSQL URL names no host "
                                          "(postgresql://[USER@]HOST[:PORT]/DATABASE)"));
    }
    const QString database = parsed.path(QUrl::FullyDecoded).mid(1);
    if (database.isEmpty() || database.contains(QLatin1Char('/'))) {
        return fail(error, QStringLiteral("the PostgreSQL URL must name one database "
                                          "(postgresql://[USER@]HOST[:PORT]/DATABASE)"));
    }
    if (parsed.port() == 0) {
        return fail(error, QStringLiteral("the PostgreSQL port must be 1 to 65535"));
    }
    DatabaseUrl url;
    url.driver = QStringLiteral("QPSQL");
    url.host = parsed.host();
    url.port = parsed.port();
    url.user = parsed.userName(QUrl::FullyDecoded);
    url.password = parsed.password(QUrl::FullyDecoded);
    url.databaseName = database;
    QStringList options;
    bool timeoutGiven = false;
    for (const auto &[key, value] : QUrlQuery(parsed).queryItems(QUrl::FullyDecoded)) {
        // The driver splits its option string at ";": a value must not smuggle in another.
        if (key.isEmpty() || key.contains(QLatin1Char(';')) || value.contains(QLatin1Char(';'))) {
            return fail(error, QStringLiteral("bad PostgreSQL option \"%1\"").arg(key));
        }
        timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
        options << key + QLatin1Char('=') + value;
    }
    if (!timeoutGiven) {
        options << QStringLiteral("connect_timeout=%1").arg(LoginTimeoutSeconds);
    }
    url.connectOptions = options.join(QLatin1Char(';'));
    return url;
}

std::optional<DatabaseUrl> parseOdbc(const QString &rest, QString &error) {
    if (rest.trimmed().isEmpty()) {
        return fail(error, QStringLiteral("odbc: needs a data source name or a connection string "
                                          "(odbc:DSN or odbc:DRIVER={FreeTDS};SERVER=...)"));
    }
    DatabaseUrl url;
    url.driver = QStringLiteral("QODBC");
    url.databaseName = rest; // QODBC takes either a DSN or a whole connection string
    url.connectOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(LoginTimeoutSeconds);
    return url;
}

} // namespace

std::optional<DatabaseUrl> parseDatabaseUrl(const QString &text, QString &error) {
    if (text.startsWith(SqliteScheme, Qt::CaseInsensitive)) {
        return parseSqlite(text.mid(SqliteScheme.size()), error);
    }
    if (text.startsWith(OdbcScheme, Qt::CaseInsensitive)) {
        return parseOdbc(text.mid(OdbcScheme.size()), error);
    }
    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        return parsePostgres(text, error);
    }
    return fail(error, QStringLiteral("unknown database URL \"%1\" (use sqlite:PATH, "
                                      "postgresql://HOST/DATABASE or odbc:DSN)")
                           .arg(redactedDatabaseUrl(text)));
}

QString redactedDatabaseUrl(const QString &url) {
    static const QRegularExpression userInfo(QStringLiteral("^([A-Za-z]+://[^/@:]*:)[^/@]*@"));
    static const QRegularExpression odbcPassword(
        QStringLiteral("(PWD\\s*=\\s*)(\\{[^}]*\\}|[^;]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString shown = url;
    shown.replace(userInfo, QStringLiteral("\\1***@"));
    shown.replace(odbcPassword, QStringLiteral("\\1***"));
    return shown;
}

QSqlDatabase openDatabase(const DatabaseUrl &url, const QString &connectionName, QString &error) {
    if (!QSqlDatabase::isDriverAvailable(url.driver)) {
        error = QStringLiteral("the Qt SQL driver %1 is not installed").arg(url.driver);
        if (url.driver == QLatin1String("QODBC")) {
            error += QStringLiteral(" (Debian packages libqt6sql6-odbc and tdsodbc)");
        }
        return {};
    }
    if (url.driver == QLatin1String("QSQLITE") && !QFileInfo(url.databaseName).isFile()) {
        error = QStringLiteral("no such database file: %1").arg(url.databaseName);
        return {};
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(url.driver, connectionName);
    db.setDatabaseName(url.databaseName);
    if (!url.host.isEmpty()) {
        db.setHostName(url.host);
    }
    if (url.port > 0) {
        db.setPort(url.port);
    }
    if (!url.user.isEmpty()) {
        db.setUserName(url.user);
    }
    if (!url.password.isEmpty()) {
        db.setPassword(url.password);
    }
    db.setConnectOptions(url.connectOptions);
    if (!db.open()) {
        error = db.lastError().text().simplified();
        if (error.isEmpty()) {
            error = QStringLiteral("the database cannot be opened");
        }
        return {};
    }
    return db;
}

} // namespace ravlen::app

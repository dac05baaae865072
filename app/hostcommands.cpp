#include "hostcommands.h"

#include "commands.h"
#include "databaseurl.h"

#include "component/clsravlenpacsviewer.h"
#include "component/studylookup.h"
#include "core/errors.h"

#include <QSqlDatabase>

#include <atomic>
#include <memory>

namespace ravlen::app {

namespace {

// The host's user object of the program: it holds the connection the command line named.
class ProgramUser : public IRavlenUser {
public:
    explicit ProgramUser(QSqlDatabase db) : m_db(std::move(db)) {}
    QSqlDatabase SQLConnection() const override { return m_db; }

private:
    QSqlDatabase m_db;
};

// Takes the hidden options of an unattended run at arguments[i]; false when arguments[i] is not
// one of them. A bad value sets `error`.
bool takeUnattendedOption(const QStringList &arguments, int &i, UnattendedRun &run,
                          QString &error) {
    const QString &a = arguments[i];
    if (a != QLatin1String("--autoretrieve") && a != QLatin1String("--timeout")) {
        return false;
    }
    if (i + 1 >= arguments.size()) {
        error = QStringLiteral("%1 needs a value").arg(a);
        return true;
    }
    const QString value = arguments[++i];
    if (a == QLatin1String("--autoretrieve")) {
        run.screenshot = value;
        if (value.isEmpty()) {
            error = QStringLiteral("--autoretrieve needs a file name for the picture");
        }
    } else {
        bool ok = false;
        run.timeoutSeconds = value.toInt(&ok);
        if (!ok || run.timeoutSeconds < 1 || run.timeoutSeconds > 3600) {
            error = QStringLiteral("--timeout must be a whole number of seconds, 1 to 3600");
        }
    }
    return true;
}

} // namespace

const std::array<const char *, 8> &openOptionNames() {
    static const std::array<const char *, 8> names = {"--patient-id", "--last-name",  "--gender",
                                                      "--dob",        "--study-date", "--modality",
                                                      "--accession",  "--study-uid"};
    return names;
}

std::optional<OpenArguments> parseOpen(const QStringList &arguments, QString &error) {
    OpenArguments o;
    bool any = false;
    for (int i = 0; i < arguments.size(); ++i) {
        if (takeUnattendedOption(arguments, i, o.unattended, error)) {
            if (!error.isEmpty()) {
                return std::nullopt;
            }
            continue;
        }
        const QString &a = arguments[i];
        const auto &names = openOptionNames();
        const auto it = std::find_if(names.begin(), names.end(),
                                     [&](const char *n) { return a == QLatin1String(n); });
        if (it == names.end()) {
            error = a.startsWith(QLatin1Char('-'))
                        ? QStringLiteral("unknown option %1").arg(a)
                        : QStringLiteral("unexpected argument \"%1\" (values follow their "
                                         "option, e.g. --study-uid UID)")
                              .arg(a);
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(a);
            return std::nullopt;
        }
        o.keys[std::size_t(it - names.begin())] = arguments[++i];
        any = any || !arguments[i].isEmpty();
    }
    if (!any) {
        // An empty query would list the whole PACS.
        error = QStringLiteral("give at least one of --patient-id, --last-name, --gender, --dob, "
                               "--study-date, --modality, --accession, --study-uid");
        return std::nullopt;
    }
    return o;
}

std::optional<GetPacsArguments> parseGetPacs(const QStringList &arguments, QString &error) {
    GetPacsArguments o;
    bool haveAccession = false;
    for (int i = 0; i < arguments.size(); ++i) {
        if (takeUnattendedOption(arguments, i, o.unattended, error)) {
            if (!error.isEmpty()) {
                return std::nullopt;
            }
            continue;
        }
        const QString &a = arguments[i];
        if (a == QLatin1String("--db")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                error = QStringLiteral("--db needs a database URL");
                return std::nullopt;
            }
            o.databaseUrl = arguments[++i];
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        } else if (haveAccession) {
            error = QStringLiteral("one accession number only (\"%1\" is extra)").arg(a);
            return std::nullopt;
        } else {
            o.accession = a;
            haveAccession = true;
        }
    }
    if (o.accession.isEmpty() || o.databaseUrl.isEmpty()) {
        error = QStringLiteral("usage: ravlenpacs get-pacs ACCESSION --db URL");
        return std::nullopt;
    }
    QString urlError;
    if (!parseDatabaseUrl(o.databaseUrl, urlError)) {
        error = urlError;
        return std::nullopt;
    }
    return o;
}

Outcome startGetPacs(const QString &databaseUrl, const QString &accession) {
    QString error;
    const std::optional<DatabaseUrl> url = parseDatabaseUrl(databaseUrl, error);
    if (!url) {
        return {ExitUsage, error};
    }
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("ravlenpacs-%1").arg(++connections);
    QSqlDatabase db = openDatabase(*url, name, error);
    if (!db.isOpen()) {
        return {ExitFailure, QStringLiteral("cannot open the database %1: %2")
                                 .arg(redactedDatabaseUrl(databaseUrl), error)};
    }
    try {
        // GetPACS does nothing for an unknown number; a person at a terminal needs to hear it.
        const QString studyUid = component::findStudyUid(db, accession);
        if (studyUid.isEmpty()) {
            return {ExitFailure,
                    QStringLiteral("no study with accession number \"%1\" in the database")
                        .arg(accession)};
        }
        reportProgress(QStringLiteral("%1 is study %2; querying the PACS").arg(accession, studyUid),
                       "get-pacs");
        clsRavlenPACSViewer viewer;
        viewer.setRavlenUser(std::make_shared<ProgramUser>(db));
        viewer.GetPACS(accession);
    } catch (const ToolkitError &e) {
        return {ExitFailure, QString::fromStdString(e.what())};
    }
    return {};
}

int runOpen(const QStringList &arguments) {
    QString error;
    const std::optional<OpenArguments> o = parseOpen(arguments, error);
    if (!o) {
        reportError(error, "open");
        return ExitUsage;
    }
    HostSession session(o->unattended, "open");
    try {
        clsRavlenPACSViewer viewer;
        viewer.setPatientID(o->keys[0]);
        viewer.setPatientLastName(o->keys[1]);
        viewer.setPatientGender(o->keys[2]);
        viewer.setPatientDOB(o->keys[3]);
        viewer.setStudyDate(o->keys[4]);
        viewer.setModality(o->keys[5]);
        viewer.setAccessionNumber(o->keys[6]);
        viewer.setStudyUID(o->keys[7]);
        reportProgress(QStringLiteral("querying the PACS"), "open");
        viewer.OpenImage();
    } catch (const ToolkitError &e) {
        reportError(QString::fromStdString(e.what()), "open");
        return ExitFailure;
    }
    return session.run();
}

int runGetPacs(const QStringList &arguments) {
    QString error;
    const std::optional<GetPacsArguments> o = parseGetPacs(arguments, error);
    if (!o) {
        reportError(error, "get-pacs");
        return ExitUsage;
    }
    HostSession session(o->unattended, "get-pacs");
    const Outcome started = startGetPacs(o->databaseUrl, o->accession);
    if (started.code != ExitOk) {
        reportError(started.message, "get-pacs");
        return started.code;
    }
    return session.run();
}

} // namespace ravlen::app

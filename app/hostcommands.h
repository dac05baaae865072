#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// The commands that act as a host of the component: `open` (OpenImage) and `get-pacs`
// (GetPACS). Each starts the host call, then runs the windows it opened.
namespace ravlen::app {

// An unattended run (the demo without a desktop, and its test): instead of waiting for a
// person, the program picks the first study in the query dialog, presses Retrieve, waits for the
// images in the viewer and writes a picture of the viewer. Not listed in --help.
struct UnattendedRun {
    QString screenshot;       // empty: a person drives the windows
    int timeoutSeconds = 120; // the whole run, query to picture
    bool enabled() const { return !screenshot.isEmpty(); }
};

// Result of starting a host call: an exit code and, when it is not ExitOk, the one line that
// says why.
struct Outcome {
    int code = 0;
    QString message;
};

// The eight identifying values of `open`, in the order OpenImage hands them on.
struct OpenArguments {
    std::array<QString, 8> keys; // PatientID ... StudyUID
    UnattendedRun unattended;
};
std::optional<OpenArguments> parseOpen(const QStringList &arguments, QString &error);
// The option names of the eight values, in the same order.
const std::array<const char *, 8> &openOptionNames();

struct GetPacsArguments {
    QString accession;
    QString databaseUrl;
    UnattendedRun unattended;
};
std::optional<GetPacsArguments> parseGetPacs(const QStringList &arguments, QString &error);

// Opens the database the URL names, looks the accession number up, and calls GetPACS with a
// user object that holds that connection. An accession number without a study is a failure
// here (GetPACS itself would do nothing); so is a database that cannot be opened or read.
Outcome startGetPacs(const QString &databaseUrl, const QString &accession);

class UnattendedDriver;

// The windows of one host call. Made before the call, so every message the call raises goes
// to a person (message boxes) or, in an unattended run, to stderr.
class HostSession {
public:
    HostSession(const UnattendedRun &unattended, const char *command);
    ~HostSession();
    HostSession(const HostSession &) = delete;
    HostSession &operator=(const HostSession &) = delete;

    // Runs until the person closes the viewer (or, before any retrieval, the query dialog),
    // or until the unattended run has its picture or gives up. Returns the exit code.
    int run();

private:
    UnattendedRun m_unattended;
    const char *m_command;
    std::unique_ptr<UnattendedDriver> m_driver;
};

} // namespace ravlen::app

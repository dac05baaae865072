#pragma once

#include <QString>

#include <functional>
#include <optional>

// The viewer's network commands and event handlers, in terms that need no window: the texts
// they log and show, the rules they follow, and the destination they read from the options.
namespace ravlen {
struct OptionsValues;
}

namespace ravlen::viewer {

inline const QString kCrLf = QStringLiteral("\r\n");

// Markers appended to the viewer's trace box, never separated.
inline const QString kTraceAssociation = QStringLiteral("AR");
inline const QString kTraceAssociation2 = QStringLiteral("AR2");
inline const QString kTraceImage = QStringLiteral("img rec ");
inline const QString kTraceImageAsync = QStringLiteral("img rec async ");

// Presentation-context result for an abstract syntax the viewer does not take.
inline constexpr int kAbstractSyntaxNotSupported = 3;

// "Log Level" and "Log Location" questions.
inline const QString kLogLevelTitle = QStringLiteral("Logging Level");
inline const QString kLogLevelDefault = QStringLiteral("63");
inline const QString kLogLocationTitle = QStringLiteral("Log Location");
inline const QString kLogLocationPrompt =
    QStringLiteral("Enter Directory for Log files (must exist)");
QString logLevelPrompt();

// Toolkit settings written by the logging commands.
inline const QString kSettingLog = QStringLiteral("Log");
inline const QString kSettingLogLevel = QStringLiteral("LogLevel");
inline const QString kSettingLogLocation = QStringLiteral("LogLocation");
inline constexpr int kLogOn = -1; // "Logging Enabled" checked
inline constexpr int kLogOff = 0;
inline constexpr int kLogOnByLevel = 1; // what "Log Level" writes

// The incoming association's line in the associations log, up to but without " ACCEPTED":
// "Call from CALLING (address) to CALLED", the address without surrounding blanks.
QString associationCallText(const QString &callingAE, const QString &address,
                            const QString &calledAE);
inline const QString kAssociationAccepted = QStringLiteral(" ACCEPTED");
inline const QString kAssociationRejected = QStringLiteral(" REJECTED");

// Whether a proposed abstract syntax lies under the standard's root "1.2.840.10008."; others
// (private roots, UIDs too short to tell) are refused with kAbstractSyntaxNotSupported.
bool isStandardAbstractSyntax(const QString &uid);

// The received image's entry: "Name = NAME" and "  instance = UID", each ending in CR LF.
QString imageReceivedText(const QString &patientName, const QString &instanceUid);

// A toolkit message's line in the messages log: "LEVEL : TEXT" and CR LF.
QString toolkitMessageLine(qint16 level, const QString &text);
// Only messages below level 2 interrupt the user.
bool toolkitMessagePopsUp(qint16 level);

QString sendFailedText(int status);   // "Send failed - code N"
QString sendResultText(int status);   // "Result code = N"
QString verifyResultText(int status); // "Verify returned status: N"

// Where send and verify go, as read from the options at the moment of the command.
struct Destination {
    QString host;
    int port = 0;
    QString callingAE;
    QString calledAE;
};

// Where send and verify go right now: the storage node and port, the query tab's calling AE
// title and the storage AE title. No value when the storage port is not a port number.
std::optional<Destination> storageDestination(const OptionsValues &options);

// A port typed in the options: a whole number within 1..65535, blanks around it allowed.
std::optional<int> parsePort(const QString &text);
// The message for a port field whose text is not a usable port, and what did not happen.
QString badPortText(const QString &fieldCaption, const QString &text, const QString &consequence);

// The answer to "Log Level": a whole 32-bit number, decimal or hexadecimal written "&H3F" or
// "0x3F" (the question shows the hexadecimal forms). Empty (also Cancel) or anything else:
// no value.
std::optional<qint32> parseLogLevel(const QString &text);
QString badLogLevelText(const QString &text);

// Sends positions 1..count in order through `send` (status 0 = sent) and stops at the first
// failure. `proceed` is asked before each image; false stops quietly.
struct SendAllOutcome {
    int sent = 0;         // images sent before the walk ended
    int failedAt = 0;     // position of the image that failed, 0 when none did
    int failedStatus = 0; // its status
    bool stopped = false; // `proceed` said no
};
SendAllOutcome sendAll(int count, const std::function<int(int position)> &send,
                       const std::function<bool()> &proceed = {});

} // namespace ravlen::viewer

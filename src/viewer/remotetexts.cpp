#include "viewer/remotetexts.h"

#include "component/optionsvalues.h"

#include <QStringList>

#include <limits>

namespace ravlen::viewer {

namespace {
const QString kStandardRoot = QStringLiteral("1.2.840.10008.");
} // namespace

QString logLevelPrompt() {
    return QStringList{QStringLiteral("Enter logging level"), QStringLiteral("7 = minimal logging"),
                       QStringLiteral("63 (3F) = normal"),
                       QStringLiteral("1023 (3FF) = full byte level (slow!)")}
        .join(kCrLf);
}

QString associationCallText(const QString &callingAE, const QString &address,
                            const QString &calledAE) {
    return QStringLiteral("Call from ") + callingAE + QStringLiteral(" (") + address.trimmed() +
           QStringLiteral(") to ") + calledAE;
}

bool isStandardAbstractSyntax(const QString &uid) {
    return uid.left(kStandardRoot.size()) == kStandardRoot;
}

QString imageReceivedText(const QString &patientName, const QString &instanceUid) {
    return QStringLiteral("Name = ") + patientName + kCrLf + QStringLiteral("  instance = ") +
           instanceUid + kCrLf;
}

QString toolkitMessageLine(qint16 level, const QString &text) {
    return QString::number(level) + QStringLiteral(" : ") + text + kCrLf;
}

bool toolkitMessagePopsUp(qint16 level) {
    return level < 2;
}

QString sendFailedText(int status) {
    return QStringLiteral("Send failed - code ") + QString::number(status);
}

QString sendResultText(int status) {
    return QStringLiteral("Result code = ") + QString::number(status);
}

QString verifyResultText(int status) {
    return QStringLiteral("Verify returned status: ") + QString::number(status);
}

std::optional<int> parsePort(const QString &text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok, 10);
    if (!ok || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

std::optional<Destination> storageDestination(const OptionsValues &options) {
    const std::optional<int> port = parsePort(options.StoragePort);
    if (!port) {
        return std::nullopt;
    }
    return Destination{options.StorageNode, *port, options.CallingAE, options.StorageAE};
}

QString badPortText(const QString &fieldCaption, const QString &text, const QString &consequence) {
    return QStringLiteral("The %1 \"%2\" in Options is not a port number (a whole number from 1 "
                          "to 65535). %3")
        .arg(fieldCaption, text, consequence);
}

std::optional<qint32> parseLogLevel(const QString &text) {
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong value = 0;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) ||
        t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        value = t.mid(2).toLongLong(&ok, 16);
    } else {
        value = t.toLongLong(&ok, 10);
    }
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    return qint32(value);
}

QString badLogLevelText(const QString &text) {
    return QStringLiteral("\"%1\" is not a whole number; the logging level stays as it was.")
        .arg(text);
}

SendAllOutcome sendAll(int count, const std::function<int(int position)> &send,
                       const std::function<bool()> &proceed) {
    SendAllOutcome outcome;
    for (int position = 1; position <= count; ++position) {
        if (proceed && !proceed()) {
            outcome.stopped = true;
            break;
        }
        const int status = send(position);
        if (status != 0) {
            outcome.failedAt = position;
            outcome.failedStatus = status;
            break;
        }
        ++outcome.sent;
    }
    return outcome;
}

} // namespace ravlen::viewer

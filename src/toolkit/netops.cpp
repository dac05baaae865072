#include "toolkit/netops.h"

#include "core/errors.h"

namespace ravlen::toolkit {

int verifyEcho(const QString &, int, const QString &, const QString &, const NetworkTimeouts &,
               QString *detail) {
    if (detail) {
        *detail = QStringLiteral("not available yet");
    }
    return errc::NetworkRefused;
}

int sendImage(const Image &, const QString &, int, const QString &, const QString &,
              const NetworkTimeouts &, QString *detail) {
    if (detail) {
        *detail = QStringLiteral("not available yet");
    }
    return errc::NetworkRefused;
}

QString statusText(int status, const QString &, int) {
    return status == 0 ? QStringLiteral("success") : QStringLiteral("failure %1").arg(status);
}

} // namespace ravlen::toolkit

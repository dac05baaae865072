#include "scout/scoutrules.h"

#include "scout/scoutconstants.h"

namespace ravlen::scout {

namespace {

constexpr int kAeLength = 16;

QString padded(const QString &title) {
    return title.left(kAeLength).leftJustified(kAeLength, QLatin1Char(' '));
}

} // namespace

QString positionText(int position, int count) {
    if (position < 1 || position > count) {
        return kNoPosition;
    }
    return QStringLiteral("%1 of %2").arg(position).arg(count);
}

StepButtons stepButtons(int position, int count) {
    StepButtons b;
    b.previous = position > 1 && position <= count;
    b.next = position < count;
    return b;
}

bool actsOnMouseFunction(int function) {
    return function >= 1 && function <= 12;
}

bool calledAeAccepted(const QString &localAE, const QString &calledAE) {
    if (localAE.isEmpty()) {
        return true;
    }
    return padded(calledAE) == padded(localAE);
}

} // namespace ravlen::scout

#include "burn/burnlog.h"

namespace ravlen::burn {

namespace {
const QString kLineBreak = QStringLiteral("\r\n");
} // namespace

void BurnLog::add(const QString &text) {
    m_text += text + kLineBreak;
}

void BurnLog::addFinish(const QString &resultText, const QString &trackText, int status) {
    m_text += kLineBreak + resultText + kLineBreak + trackText + kLineBreak + finishLine(status) +
              kLineBreak;
}

QString BurnLog::finishLine(int status) {
    QString line = QStringLiteral("Burn finished ");
    if (status != 0) {
        line += QStringLiteral("NOT (") + QString::number(status) + QLatin1Char(')');
    }
    return line + QStringLiteral("successfully!");
}

} // namespace ravlen::burn

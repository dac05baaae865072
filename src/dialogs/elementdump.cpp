#include "dialogs/elementdump.h"

namespace ravlen::dialogs {

namespace {

const QString lineBreak = QStringLiteral("\r\n");
const QString separator = QStringLiteral(">---------------");
constexpr int descriptionWidth = 30;
constexpr int listedUpperBound = 33; // arrays with a smaller upper bound are listed in full

} // namespace

void dumpElements(QString &text, const std::vector<toolkit::DataElement> &elements,
                  const QString &prefix) {
    using Kind = toolkit::DataElement::Kind;
    for (const toolkit::DataElement &e : elements) {
        text += prefix + QLatin1Char('(') + QString::number(e.group) + QLatin1Char(',') +
                QString::number(e.element) + QStringLiteral(") : ");
        text +=
            e.description.left(descriptionWidth).leftJustified(descriptionWidth, QLatin1Char(' ')) +
            QStringLiteral(": ");
        if (e.group == 0x7FE0) {
            text += QStringLiteral("Pixel data") + lineBreak;
            continue;
        }
        switch (e.kind) {
        case Kind::Sequence: {
            const int count = int(e.items.size());
            text += QStringLiteral("Sequence of ") + QString::number(count) +
                    QStringLiteral(" items:") + lineBreak;
            for (int i = 0; i < count; ++i) {
                text += prefix + separator + lineBreak;
                dumpElements(text, e.items[std::size_t(i)], prefix + QLatin1Char('>'));
            }
            text += prefix + separator + lineBreak;
            break;
        }
        case Kind::Array: {
            text += QStringLiteral("Multiple values :") + lineBreak + QString(14, QLatin1Char(' '));
            if (e.upperBound() < listedUpperBound) {
                QStringList parts;
                for (int i = e.lowerBound(); i <= e.upperBound(); ++i) {
                    parts.append(toolkit::valueText(e.values.at(i)));
                }
                text += parts.join(QStringLiteral(" : "));
            } else {
                text += QStringLiteral("Array of ") + QString::number(e.upperBound()) +
                        QStringLiteral(" elements");
            }
            text += lineBreak;
            break;
        }
        case Kind::Single:
            text += toolkit::valueText(e.value()) + lineBreak;
            break;
        }
    }
}

QString dumpElements(const std::vector<toolkit::DataElement> &elements, const QString &prefix) {
    QString text;
    dumpElements(text, elements, prefix);
    return text;
}

} // namespace ravlen::dialogs

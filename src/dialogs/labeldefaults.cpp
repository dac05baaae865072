#include "dialogs/labeldefaults.h"

#include "core/formats.h"

#include <algorithm>
#include <cmath>

namespace ravlen::labels {

int lineWidthOf(const QString &typed) {
    bool ok = false;
    const double value = typed.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return 1;
    }
    return int(std::clamp(fmt::roundHalfEven(value), 1.0, 32.0));
}

QString fontDescription(const QString &face, bool bold, bool italic) {
    QString text = face;
    if (bold) {
        text += QStringLiteral(" Bold");
    }
    if (italic) {
        text += QStringLiteral(" Italic");
    }
    return text;
}

unsigned colourValue(int red, int green, int blue) {
    return unsigned(red & 0xFF) | (unsigned(green & 0xFF) << 8) | (unsigned(blue & 0xFF) << 16);
}

} // namespace ravlen::labels

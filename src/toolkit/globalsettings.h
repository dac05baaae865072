#pragma once

#include <QString>

namespace ravlen::toolkit {

// The toolkit's process-wide named settings: integers and texts, names compared without
// regard to case. Settings never written read as 0 and the empty text.
class GlobalSettings {
public:
    static void setInt(const QString &name, int value);
    static int getInt(const QString &name);
    static void setText(const QString &name, const QString &value);
    static QString getText(const QString &name);
};

} // namespace ravlen::toolkit

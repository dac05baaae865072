#pragma once

#include <QIcon>
#include <QString>

namespace ravlen::scout {

// The pictures on the scout viewer's toolbar buttons, by key ("tbrPrint", "tbrPrevImg", ...),
// drawn once; an empty icon for any other key.
QIcon toolbarIcon(const QString &key);

} // namespace ravlen::scout

#pragma once

#include "toolkit/dataelement.h"

#include <QString>

#include <vector>

namespace ravlen::dialogs {

// The data-element dump of the Information window: one line per element, "(group,element) : "
// in decimal, the description in a 30-character column, then the value; sequences nested with
// one more ">" of `prefix` per level. Lines end in CR LF.
QString dumpElements(const std::vector<toolkit::DataElement> &elements, const QString &prefix);

// Appends the dump of `elements` to `text`.
void dumpElements(QString &text, const std::vector<toolkit::DataElement> &elements,
                  const QString &prefix);

} // namespace ravlen::dialogs

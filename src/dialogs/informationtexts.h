#pragma once

#include "toolkit/image.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace ravlen::dialogs {

inline const QString kInformationCaption = QStringLiteral("Information");
inline const QString kNoImageAvailable = QStringLiteral("No Image available");

// What the "Image Attributes" and "Image List" pages show for a viewer's images.
struct InformationContent {
    QString attributes;    // the dump of the selected image, or kNoImageAvailable
    QStringList imageList; // one patient name per image, in the viewer's order
};

// The pages' content for `images`; `selected` is asked for the image to dump only when there
// is at least one image, since asking an empty viewer tells the user so.
InformationContent
informationContent(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                   const std::function<std::shared_ptr<toolkit::Image>()> &selected);

// Log texts keep CR LF line breaks as data; a text field shows them as plain line breaks.
QString displayedText(const QString &text);

} // namespace ravlen::dialogs

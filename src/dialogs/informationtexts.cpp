#include "dialogs/informationtexts.h"

#include "dialogs/elementdump.h"

namespace ravlen::dialogs {

InformationContent
informationContent(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                   const std::function<std::shared_ptr<toolkit::Image>()> &selected) {
    InformationContent content;
    for (const std::shared_ptr<toolkit::Image> &image : images) {
        content.imageList.append(image->patientName());
    }
    if (images.empty()) {
        content.attributes = kNoImageAvailable;
        return content;
    }
    const std::shared_ptr<toolkit::Image> image = selected();
    content.attributes = image ? dumpElements(image->elements(), QString()) : QString();
    return content;
}

QString displayedText(const QString &text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

} // namespace ravlen::dialogs

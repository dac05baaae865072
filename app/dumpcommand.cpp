#include "commands.h"

#include "core/errors.h"
#include "dialogs/elementdump.h"
#include "toolkit/image.h"

namespace ravlen::app {

// The dump of the Information window, with the terminal's line ends (LF instead of CR LF).
int runDump(const QStringList &arguments) {
    if (arguments.size() != 1 || arguments.front().startsWith(QLatin1Char('-'))) {
        reportError(QStringLiteral("usage: ravlenpacs dump FILE"), "dump");
        return ExitUsage;
    }
    try {
        const auto image = toolkit::Image::fromFile(arguments.front());
        QString text = dialogs::dumpElements(image->elements(), QString());
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        writeOut(text);
        return ExitOk;
    } catch (const ToolkitError &e) {
        reportError(QString::fromStdString(e.what()), "dump");
        return ExitFailure;
    }
}

} // namespace ravlen::app

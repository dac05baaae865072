#include "commands.h"

#include <cstdio>

namespace ravlen::app {

const std::vector<Command> &commands() {
    static const std::vector<Command> table = {
        {"dump", "FILE", "print the data elements of a DICOM file", false, runDump},
        {"render", "FILE -o OUT.png [OPTIONS]",
         "draw an image as a tile shows it, as PNG (--level L --width W --frame N --size WxH)",
         false, runRender},
        {"view", "[FILE|FOLDER...] [OPTIONS]",
         "show images in the viewer window (--grid RxC --screenshot OUT.png --quit-after-ms N)",
         true, runView},
    };
    return table;
}

void reportError(const QString &text, const char *command) {
    const QString line =
        QStringLiteral("ravlenpacs%1: %2\n")
            .arg(command ? QStringLiteral(" ") + QString::fromLatin1(command) : QString(),
                 text.simplified());
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

void writeOut(const QString &text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace ravlen::app

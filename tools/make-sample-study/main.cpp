#include "samplestudy.h"

#include "core/errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace ravlen;

namespace {

const char *usage =
    "Usage: make-sample-study [--out DIR] [--slices N] [--size N] [--syntax NAME] [--seed N]\n"
    "\n"
    "Writes a synthetic study of one patient: an axial CT series (CT0001.dcm ...), a coronal\n"
    "scout (SCOUT.dcm), a multi-frame ultrasound loop (US.dcm), a nuclear-medicine image\n"
    "(NM.dcm), a MONOCHROME1 radiograph (CR.dcm) and an RGB image (RGB.dcm). The same options\n"
    "always give the same files.\n"
    "\n"
    "  --out DIR      folder to write into (default: sample-study)\n"
    "  --slices N     number of CT slices (default: 20)\n"
    "  --size N       CT matrix, N x N (default: 512)\n"
    "  --syntax NAME  transfer syntax of every file (default: explicit): %1\n"
    "  --seed N       varies the noise and the UIDs (default: 1)\n"
    "  --help         show this text\n";

int fail(const QString &text, int code) {
    std::fprintf(stderr, "make-sample-study: %s\n", text.toLocal8Bit().constData());
    return code;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    tools::SampleStudyOptions options;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::printf("%s", QString::fromLatin1(usage)
                                  .arg(toolkit::transferSyntaxNames().join(QStringLiteral(", ")))
                                  .toLocal8Bit()
                                  .constData());
            return 0;
        }
        if (i + 1 >= args.size()) {
            return fail(QStringLiteral("%1 needs a value (see --help)").arg(arg), 1);
        }
        const QString value = args.at(++i);
        bool ok = true;
        if (arg == QLatin1String("--out")) {
            options.outDir = value;
        } else if (arg == QLatin1String("--slices")) {
            options.slices = value.toInt(&ok);
            ok = ok && options.slices >= 1 && options.slices <= 5000;
        } else if (arg == QLatin1String("--size")) {
            options.size = value.toInt(&ok);
            ok = ok && options.size >= 16 && options.size <= 4096;
        } else if (arg == QLatin1String("--seed")) {
            options.seed = value.toUInt(&ok);
        } else if (arg == QLatin1String("--syntax")) {
            const auto syntax = toolkit::transferSyntaxFromName(value);
            ok = syntax.has_value();
            if (ok) {
                options.syntax = *syntax;
            }
        } else {
            return fail(QStringLiteral("unknown option %1 (see --help)").arg(arg), 1);
        }
        if (!ok) {
            return fail(QStringLiteral("%1: \"%2\" is not a valid value").arg(arg, value), 1);
        }
    }
    try {
        QElapsedTimer timer;
        timer.start();
        const QStringList files = tools::writeSampleStudy(options);
        std::printf("wrote %lld files to %s in %.1f s\n", static_cast<long long>(files.size()),
                    options.outDir.toLocal8Bit().constData(), double(timer.elapsed()) / 1000.0);
        return 0;
    } catch (const ToolkitError &e) {
        return fail(QString::fromStdString(e.what()), 2);
    }
}

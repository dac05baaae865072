// Disc staging: 300 CT slices (512 x 512) of a generated study laid out for a patient disc (JPEG
// Extended at quality 100, the DICOMDIR and the README), against DCMTK's dcmcjpeg encoding the
// same 300 files the same way, one run after the other. Wall time in seconds, since that is
// what the user waits for; the files are generated and opened first (not timed).

#include "samplestudy.h"
#include "toolkit/image.h"
#include "viewer/discstaging.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

using namespace ravlen;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int slices = 300;

    tools::SampleStudyOptions options;
    options.outDir = dir.filePath(QStringLiteral("study"));
    options.slices = slices;
    options.size = 512;
    tools::writeSampleStudy(options);
    const QStringList names =
        QDir(options.outDir).entryList({QStringLiteral("CT*.dcm")}, QDir::Files, QDir::Name);
    if (names.size() != slices) {
        std::fprintf(stderr, "the study has %d CT slices, not %d\n", int(names.size()), slices);
        return 2;
    }
    std::vector<std::shared_ptr<toolkit::Image>> images;
    for (const QString &name : names) {
        images.push_back(toolkit::Image::fromFile(QDir(options.outDir).filePath(name)));
    }

    const viewer::DiscStaging staging(dir.filePath(QStringLiteral("burntemp")),
                                      dir.filePath(QStringLiteral("viewer")));
    auto start = std::chrono::steady_clock::now();
    const viewer::StagingReport report = staging.stage(images, QStringLiteral("BENCH"), 1);
    const double ours = secondsSince(start);
    if (report.written != slices || !report.failures.isEmpty()) {
        std::fprintf(stderr, "staging wrote %d of %d: %s\n", report.written, slices,
                     qPrintable(report.failures.join(QLatin1Char('\n'))));
        return 2;
    }

    const QString dcmcjpeg = QStandardPaths::findExecutable(QStringLiteral("dcmcjpeg"));
    if (dcmcjpeg.isEmpty()) {
        std::fprintf(stderr, "dcmcjpeg is not installed\n");
        return 2;
    }
    const QString out = dir.filePath(QStringLiteral("dcmcjpeg"));
    QDir().mkpath(out);
    start = std::chrono::steady_clock::now();
    for (const QString &name : names) {
        QProcess p;
        p.start(dcmcjpeg, {QStringLiteral("+ee"), QStringLiteral("+q"), QStringLiteral("100"),
                           QDir(options.outDir).filePath(name), QDir(out).filePath(name)});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            std::fprintf(stderr, "dcmcjpeg failed on %s\n", qPrintable(name));
            return 2;
        }
    }
    const double reference = secondsSince(start);

    std::printf("stage300_s: %.3f\n", ours);
    std::printf("dcmcjpeg_300_s: %.3f\n", reference);
    std::printf("stage300_ratio: %.2f\n", ours / reference);
    return 0;
}

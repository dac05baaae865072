// Output costs: 100 CT frames of 512 x 512 exported as a Motion-JPEG AVI by the toolkit, against
// the ffmpeg program encoding the same frames, already drawn and raw in a file, with the same
// settings in the same run; and 36 CT images printed six to a page into a PDF. Wall-clock
// seconds (the encoder is another process), the median of seven runs taken turn about with
// the reference (three for printing), one "key: value" line per figure.

#include "benchdata.h"
#include "toolkit/image.h"
#include "toolkit/movieio.h"
#include "toolkit/renderedpicture.h"
#include "viewer/pageprinter.h"
#include "viewer/printlayout.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace ravlen;

namespace {

constexpr int kFrames = 100;
constexpr int kSize = 512;

// The CT phantom's slices as the frames of one image, at 10 frames a second.
std::shared_ptr<toolkit::Image> ctMovie() {
    return toolkit::Image::fromBytes(
        bench::ctMovie(kSize, kFrames, 10).toBytes(toolkit::TransferSyntax::ExplicitLittle),
        QStringLiteral("ct-movie"));
}

double seconds(const std::function<void()> &work) {
    const auto start = bench::Clock::now();
    work();
    return bench::millisecondsSince(start) / 1000.0;
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;

    const std::shared_ptr<toolkit::Image> movie = ctMovie();
    // The reference encodes exactly the frames the toolkit draws, from a raw file.
    const QString raw = dir.filePath("frames.raw");
    {
        QFile out(raw);
        out.open(QIODevice::WriteOnly);
        for (int f = 1; f <= kFrames; ++f) {
            const QImage frame = toolkit::renderedFrame(*movie, f);
            for (int y = 0; y < frame.height(); ++y) {
                out.write(reinterpret_cast<const char *>(frame.constScanLine(y)), frame.width());
            }
        }
    }
    const QStringList reference = {
        "-hide_banner", "-nostats", "-loglevel", "error",       "-f",
        "rawvideo",     "-pix_fmt", "gray",      "-video_size", QStringLiteral("%1x%1").arg(kSize),
        "-framerate",   "10",       "-i",        raw,           "-an",
        "-c:v",         "mjpeg",    "-q:v",      "5",           "-pix_fmt",
        "yuvj420p",     "-f",       "avi",       "-y",          dir.filePath("reference.avi")};

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int run = 0; run < 7; ++run) {
        ours.push_back(
            seconds([&] { toolkit::exportAvi(*movie, dir.filePath("ours.avi"), 1, kFrames); }));
        theirs.push_back(seconds([&] {
            QProcess ffmpeg;
            ffmpeg.start("ffmpeg", reference);
            if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
                std::fprintf(stderr, "ffmpeg failed: %s\n",
                             ffmpeg.readAllStandardError().constData());
                std::exit(2);
            }
        }));
    }
    const double avi = bench::median(ours);
    const double ffmpeg = bench::median(theirs);
    std::printf("avi100_s: %.3f\n", avi);
    std::printf("ffmpeg_avi100_s: %.3f\n", ffmpeg);
    std::printf("avi100_ratio: %.2f\n", avi / ffmpeg);

    // 36 slices printed as "Print" does: six pages, each picture rendered and drawn.
    std::vector<std::shared_ptr<toolkit::Image>> slices;
    std::vector<QSize> sizes;
    for (int i = 0; i < 36; ++i) {
        slices.push_back(toolkit::Image::fromBytes(
            bench::ctSlice(kSize, i).toBytes(toolkit::TransferSyntax::ExplicitLittle),
            QStringLiteral("slice")));
        sizes.push_back(QSize(kSize, kSize));
    }
    const std::vector<viewer::PrintPage> pages = viewer::layoutAllImages(sizes);
    std::vector<double> prints;
    for (int run = 0; run < 3; ++run) {
        const QString pdf = dir.filePath(QStringLiteral("print%1.pdf").arg(run));
        prints.push_back(seconds([&] {
            QPrinter printer(QPrinter::HighResolution);
            viewer::preparePrinter(printer, viewer::PrintTarget{QString(), pdf});
            viewer::printPages(printer, pages, [&](int index) {
                const toolkit::Image &image = *slices.at(std::size_t(index));
                return viewer::PrintItem{
                    toolkit::renderedPicture(image),
                    viewer::instanceNumberText(image.attribute(0x0020, 0x0013))};
            });
        }));
    }
    std::printf("print36_pdf_s: %.3f\n", bench::median(prints));
    return 0;
}

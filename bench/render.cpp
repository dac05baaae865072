// Windowing costs: a level/width change drawn through the viewer control into a finished tile
// picture, against a plain 64K-entry lookup-table loop over the same values and against
// DCMTK's DicomImage doing the same window and 8-bit output. Prints one "key: value" line per
// figure, medians in milliseconds.

#include "benchdata.h"
#include "toolkit/image.h"
#include "toolkit/viewercontrol.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmimgle/dcmimage.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace ravlen;
using bench::Clock;
using bench::median;
using bench::millisecondsSince;

namespace {

volatile unsigned g_sink = 0; // keeps measured loops from being optimised away

// The floor we compare with: every value through a 64K-entry table.
template <typename T> double lutLoopMs(const std::vector<T> &values, int runs) {
    std::vector<std::uint8_t> table(65536);
    std::vector<std::uint8_t> out(values.size());
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] = std::uint8_t((i + std::size_t(run)) >> 8);
        }
        const auto start = Clock::now();
        for (std::size_t i = 0; i < values.size(); ++i) {
            out[i] = table[std::uint16_t(values[i])];
        }
        times.push_back(millisecondsSince(start));
        g_sink = g_sink + out[std::size_t(run) % out.size()];
    }
    return median(times);
}

// A window change through the viewer: new window in, finished tile picture out.
double viewerWindowMs(toolkit::ViewerControl &viewer, toolkit::Image &image, int runs) {
    const double level = image.level();
    (void)viewer.tilePicture(1);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        image.setLevel(level + (run % 2 ? 1.0 : -1.0));
        const QImage picture = viewer.tilePicture(1);
        times.push_back(millisecondsSince(start));
        g_sink = g_sink + picture.constBits()[0];
    }
    return median(times);
}

double dicomImageMs(const QString &path, int runs) {
    DicomImage image(path.toLocal8Bit().constData());
    if (image.getStatus() != EIS_Normal) {
        std::fprintf(stderr, "DicomImage: %s\n", DicomImage::getString(image.getStatus()));
        std::exit(2);
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        image.setWindow(40.0 + (run % 2 ? 1.0 : -1.0), 400.0);
        const void *out = image.getOutputData(8);
        times.push_back(millisecondsSince(start));
        g_sink = g_sink + static_cast<const std::uint8_t *>(out)[0];
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int ctRuns = 301;
    const int mgRuns = 31;

    // 512 x 512 signed 16-bit CT in a 512 x 512 tile
    const QString ctPath = dir.filePath(QStringLiteral("ct.dcm"));
    bench::ctSlice(512, 0).save(ctPath, toolkit::TransferSyntax::ExplicitLittle);
    const std::vector<std::int16_t> ctValues = bench::ctValues(512, 0);
    double ctWindow = 0.0;
    {
        toolkit::ViewerControl viewer;
        viewer.resize(512, 512);
        const auto image = viewer.images().readFile(ctPath);
        ctWindow = viewerWindowMs(viewer, *image, ctRuns);
    }
    const double ctDicomImage = dicomImageMs(ctPath, ctRuns);
    const double ctLut = lutLoopMs(ctValues, ctRuns);

    // "All Change" on a 6 x 6 grid: every tile windowed anew, as one step of a drag
    double gridAllChange = 0.0;
    {
        toolkit::ViewerControl viewer;
        viewer.resize(1020, 1020);
        viewer.setRows(6);
        viewer.setColumns(6);
        for (int i = 0; i < 36; ++i) {
            viewer.images().add(toolkit::Image::fromBytes(
                bench::ctSlice(512, i).toBytes(toolkit::TransferSyntax::ExplicitLittle),
                QStringLiteral("slice")));
        }
        (void)viewer.tilePicture(36);
        std::vector<double> times;
        for (int run = 0; run < mgRuns; ++run) {
            const auto start = Clock::now();
            for (int i = 1; i <= 36; ++i) {
                viewer.images().item(i)->setLevel(40.0 + (run % 2 ? 1.0 : -1.0));
            }
            const QImage picture = viewer.tilePicture(36);
            times.push_back(millisecondsSince(start));
            g_sink = g_sink + picture.constBits()[0];
        }
        gridAllChange = median(times);
    }

    // 3328 x 4096 16-bit radiograph in a 1000 x 1000 tile
    const QString mgPath = dir.filePath(QStringLiteral("mg.dcm"));
    bench::largeRadiograph(3328, 4096).save(mgPath, toolkit::TransferSyntax::ExplicitLittle);
    double mgCellNearest = 0.0;
    double mgCellAverage = 0.0;
    std::vector<std::uint16_t> mgValues;
    {
        toolkit::ViewerControl viewer;
        viewer.resize(1000, 1000);
        const auto image = viewer.images().readFile(mgPath);
        // As during a window drag: plain pixel values when shrinking.
        image->setMinificationMethod(1);
        mgCellNearest = viewerWindowMs(viewer, *image, mgRuns);
        // At rest: the moving average.
        image->setMinificationMethod(4);
        mgCellAverage = viewerWindowMs(viewer, *image, mgRuns);
        const toolkit::PixelFrame frame = image->frame(1);
        const auto *p = reinterpret_cast<const std::uint16_t *>(frame.data->data());
        mgValues.assign(p, p + std::size_t(frame.columns) * frame.rows);
    }
    const double mgFullLut = lutLoopMs(mgValues, mgRuns);

    std::printf("ct512_window_ms: %.3f\n", ctWindow);
    std::printf("ct512_dicomimage_ms: %.3f\n", ctDicomImage);
    std::printf("ct512_lut_ms: %.3f\n", ctLut);
    std::printf("mg_cell_window_ms: %.3f\n", mgCellNearest);
    std::printf("mg_cell_window_average_ms: %.3f\n", mgCellAverage);
    std::printf("mg_full_lut_ms: %.3f\n", mgFullLut);
    std::printf("grid36_all_change_ms: %.3f\n", gridAllChange);
    return 0;
}

// Windowing costs: a level/width change drawn through the viewer control into a finished tile
// picture, against a plain 64K-entry lookup-table loop over the same values and against
// DCMTK's DicomImage doing the same window and 8-bit output; a window drag on a 6x6 grid with
// every image changed at each step, painted; each magnification and minification method and
// the picture effects. Prints one "key: value" line per figure, medians in milliseconds
// of the thread's CPU time unless the key says otherwise (the machine is shared, and wall time
// counts other work's turns).

#include "benchdata.h"
#include "benchview.h"
#include "toolkit/image.h"
#include "toolkit/measure.h"
#include "toolkit/viewercontrol.h"
#include "viewer/mousetools.h"
#include "viewer/overlays.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmimgle/dcmimage.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

using namespace ravlen;
using bench::Clock;
using bench::lutLoopMs;
using bench::median;
using bench::millisecondsSince;

namespace {

volatile unsigned g_sink = 0; // keeps measured loops from being optimised away

// A window change through the viewer: new window in, finished tile picture out.
double viewerWindowMs(toolkit::ViewerControl &viewer, toolkit::Image &image, int runs) {
    const double level = image.level();
    (void)viewer.tilePicture(1);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::threadCpuMs();
        image.setLevel(level + (run % 2 ? 1.0 : -1.0));
        const QImage picture = viewer.tilePicture(1);
        times.push_back(bench::threadCpuMs() - start);
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
        const double start = bench::threadCpuMs();
        image.setWindow(40.0 + (run % 2 ? 1.0 : -1.0), 400.0);
        const void *out = image.getOutputData(8);
        times.push_back(bench::threadCpuMs() - start);
        g_sink = g_sink + static_cast<const std::uint8_t *>(out)[0];
    }
    return median(times);
}

struct GridDrag {
    double cpuMs = -1.0;  // one step: every window changed, the viewer painted
    double wallMs = 0.0;  // the same, with other work's turns
    double tilesMs = 0.0; // drawing the 36 tile pictures without painting
};

// One step of a window drag on a 6x6 grid with "All Change": every image's window changes and
// the shown viewer is painted. A drag puts the selected image (the first) on the fast path
// (rendering switch off, minification by pixel values); the others keep their moving average
// unless `allFast`.
GridDrag gridDrag(bool allFast, int runs, bool overlays = false) {
    GridDrag result;
    toolkit::ViewerControl viewer;
    viewer.resize(1020, 1020);
    viewer.setRows(6);
    viewer.setColumns(6);
    for (int i = 0; i < 36; ++i) {
        const auto image = toolkit::Image::fromBytes(
            bench::ctSlice(512, i).toBytes(toolkit::TransferSyntax::ExplicitLittle),
            QStringLiteral("slice"));
        const bool fast = allFast || i == 0;
        image->setFullQuality(!fast);
        image->setMinificationMethod(fast ? 1 : 4);
        viewer.images().add(image);
    }
    if (overlays) {
        viewer::RefreshOverlays(viewer.images());
        viewer::DrawSideMarkers(viewer.images(), true);
    }
    bench::expose(viewer);
    const int rendersBefore = viewer.renderCount();
    std::vector<double> steps;
    std::vector<double> cpu;
    for (int run = 0; run < 3 * runs; ++run) {
        const auto start = Clock::now();
        const double cpuStart = bench::threadCpuMs();
        for (int i = 1; i <= 36; ++i) {
            viewer.images().item(i)->setLevel(41.0 + run % 7);
        }
        viewer.repaint();
        cpu.push_back(bench::threadCpuMs() - cpuStart);
        steps.push_back(millisecondsSince(start));
    }
    if (viewer.renderCount() - rendersBefore != 36 * 3 * runs) {
        std::fprintf(stderr, "the 6x6 drag drew %d tiles, not every tile of every step\n",
                     viewer.renderCount() - rendersBefore);
        return result;
    }
    result.cpuMs = median(cpu);
    result.wallMs = median(steps);
    std::vector<double> drawOnly;
    for (int run = 0; run < 3 * runs; ++run) {
        const double start = bench::threadCpuMs();
        for (int i = 1; i <= 36; ++i) {
            viewer.images().item(i)->setLevel(41.0 + run % 7);
        }
        const QImage picture = viewer.tilePicture(36);
        drawOnly.push_back(bench::threadCpuMs() - start);
        g_sink = g_sink + picture.constBits()[0];
    }
    result.tilesMs = median(drawOnly);
    return result;
}

// What the mouse functions ask of a window, for a viewer on its own: one image, selected.
class BenchWindow : public viewer::MouseWindow {
public:
    explicit BenchWindow(toolkit::ViewerControl &viewer) : m_viewer(viewer) {}
    std::shared_ptr<toolkit::Image> GetSelectedImage() override {
        return m_viewer.images().item(1);
    }
    int currentPosition() const override { return m_position; }
    void setCurrentPosition(int position) override { m_position = position; }
    void selectByMouse(int hit) override { m_position = hit; }
    bool stretchToFitTicked() const override { return false; }
    bool allChangeTicked() const override { return false; }
    void GetWindowingValues() override {}
    int savedMinification() const override { return 0; }
    void RefreshOverlays() override {}
    void foldToolPanel() override {}
    void LayoutSwitch() override {}
    void popupContextMenu(QPoint) override {}
    QWidget *promptParent() override { return nullptr; }

private:
    toolkit::ViewerControl &m_viewer;
    int m_position = 1;
};

struct Interaction {
    double labelDragMs = -1.0;
    double magnifierMs = -1.0;
};

// A label drag and a magnifier move on a 512 x 512 CT in a 1 x 1, 1000 pixel cell, each step
// painted as it would be on screen (the outline's or the magnifier's region only).
Interaction interaction(const QString &ctPath, int runs) {
    Interaction result;
    toolkit::ViewerControl viewer;
    viewer.resize(1000, 1000);
    viewer.images().readFile(ctPath);
    bench::expose(viewer);
    BenchWindow window(viewer);
    viewer::MouseTools tools(window, viewer);

    // A line dragged out with the rubber band: the picture beneath is never drawn again.
    tools.Mouse_Click(viewer::mouse::Line);
    tools.Viewer_MouseDown(1, 0, 300, 300);
    QApplication::processEvents();
    const int renders = viewer.renderCount();
    std::vector<double> drag;
    for (int run = 0; run < runs; ++run) {
        const int x = 400 + (run % 200);
        const int y = 350 + (run % 100);
        const double start = bench::threadCpuMs();
        tools.Viewer_MouseMove(1, 0, x, y);
        QApplication::processEvents();
        drag.push_back(bench::threadCpuMs() - start);
    }
    if (viewer.renderCount() != renders) {
        std::fprintf(stderr, "the label drag drew the image again %d times\n",
                     viewer.renderCount() - renders);
        return result;
    }
    tools.LabelDrawing = false; // the drag is abandoned, not attached
    result.labelDragMs = median(drag);

    // The magnifier at five times, following the pointer.
    tools.Mouse_Click(viewer::mouse::Magnify);
    tools.Viewer_MouseDown(1, 0, 500, 500);
    QApplication::processEvents();
    std::vector<double> magnify;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::threadCpuMs();
        tools.Viewer_MouseMove(1, 0, 480 + run % 40, 490 + run % 20);
        QApplication::processEvents();
        magnify.push_back(bench::threadCpuMs() - start);
    }
    tools.Viewer_MouseUp(1, 0, 500, 500);
    result.magnifierMs = median(magnify);
    return result;
}

// RefreshOverlays on a 6x6 grid of CT slices: every image's three blocks rebuilt and the viewer
// painted. No tile picture may be drawn again.
double overlayRefreshMs(int runs) {
    toolkit::ViewerControl viewer;
    viewer.resize(1020, 1020);
    viewer.setRows(6);
    viewer.setColumns(6);
    for (int i = 0; i < 36; ++i) {
        viewer.images().add(toolkit::Image::fromBytes(
            bench::ctSlice(512, i).toBytes(toolkit::TransferSyntax::ExplicitLittle),
            QStringLiteral("slice")));
    }
    viewer::RefreshOverlays(viewer.images());
    viewer::DrawSideMarkers(viewer.images(), true);
    bench::expose(viewer);
    const int renders = viewer.renderCount();
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::threadCpuMs();
        viewer::RefreshOverlays(viewer.images());
        viewer.refresh();
        viewer.repaint();
        times.push_back(bench::threadCpuMs() - start);
    }
    if (viewer.renderCount() != renders) {
        std::fprintf(stderr, "rebuilding the overlays drew %d tiles again\n",
                     viewer.renderCount() - renders);
        return -1.0;
    }
    return median(times);
}

// Region statistics of an ellipse covering a 512 x 512 CT slice.
double roiStatsMs(const QString &ctPath, int runs) {
    const auto image = toolkit::Image::fromFile(ctPath);
    const toolkit::PixelFrame frame = image->frame(1);
    toolkit::ImageShape ellipse;
    ellipse.type = toolkit::Label::Ellipse;
    ellipse.start = QPointF(0, 0);
    ellipse.end = QPointF(512, 512);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::threadCpuMs();
        const toolkit::RegionStats stats =
            toolkit::regionStats(frame, image->modalityTransform(), ellipse, std::nullopt);
        times.push_back(bench::threadCpuMs() - start);
        g_sink = g_sink + unsigned(stats.pixels);
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    // --pictures DIR: also write the magnified tiles as PNG files there.
    QString pictures;
    const QStringList arguments = QApplication::arguments();
    const auto flag = arguments.indexOf(QStringLiteral("--pictures"));
    if (flag > 0 && flag + 1 < arguments.size()) {
        pictures = arguments.at(flag + 1);
    }
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
    const Interaction interact = interaction(ctPath, ctRuns);
    if (interact.labelDragMs < 0) {
        return 2;
    }
    const double roiMs = roiStatsMs(ctPath, ctRuns);

    // "All Change" on a 6 x 6 grid: as a drag runs, with only the selected image on the fast
    // path, and with every image on it.
    const GridDrag drag = gridDrag(false, mgRuns);
    if (drag.cpuMs < 0) {
        return 2;
    }
    const GridDrag fastDrag = gridDrag(true, mgRuns);
    const GridDrag overlaidDrag = gridDrag(false, mgRuns, true);
    const double overlayMs = overlayRefreshMs(mgRuns);
    if (overlayMs < 0 || overlaidDrag.cpuMs < 0) {
        return 2;
    }

    // Each magnification method: a 512 x 512 CT slice into a 1024 x 1024 cell.
    struct Method {
        const char *name;
        int method;
    };
    const Method magnifications[] = {{"replicate", 1}, {"bspline", 2}, {"cubic", 3}};
    std::vector<std::pair<std::string, double>> methodTimes;
    double sharpenMs = 0.0;
    double enhanceMs = 0.0;
    {
        toolkit::ViewerControl viewer;
        viewer.resize(1024, 1024);
        const auto image = viewer.images().readFile(ctPath);
        for (const Method &m : magnifications) {
            image->setMagnificationMethod(m.method);
            methodTimes.emplace_back(std::string("mag_") + m.name + "_ms",
                                     viewerWindowMs(viewer, *image, mgRuns));
        }
        image->setFullQuality(false);
        methodTimes.emplace_back("mag_fast_path_ms", viewerWindowMs(viewer, *image, mgRuns));
        image->setFullQuality(true);
        image->setMagnificationMethod(3);
        const double plain = methodTimes[2].second;
        image->setSharpening(2.0);
        image->setSharpeningLength(20);
        sharpenMs = viewerWindowMs(viewer, *image, mgRuns) - plain;
        image->setSharpening(0.0);
        image->setEnhance(true);
        enhanceMs = viewerWindowMs(viewer, *image, mgRuns) - plain;
        if (!pictures.isEmpty()) {
            // What the methods look like at four times the slice's size, to be looked at.
            const auto save = [&](const QString &name) {
                viewer.tilePicture(1).save(pictures + QLatin1Char('/') + name + ".png");
            };
            image->setZoom(2.0);
            image->setEnhance(false);
            for (const Method &m : magnifications) {
                image->setMagnificationMethod(m.method);
                save(QStringLiteral("mag_") + QLatin1String(m.name));
            }
            image->setSharpening(2.0);
            save(QStringLiteral("cubic_sharpened"));
            image->setSharpening(0.0);
            image->setEnhance(true);
            save(QStringLiteral("cubic_enhanced"));
        }
    }

    // 3328 x 4096 16-bit radiograph in a 1000 x 1000 tile, by each minification method
    const QString mgPath = dir.filePath(QStringLiteral("mg.dcm"));
    bench::largeRadiograph(3328, 4096).save(mgPath, toolkit::TransferSyntax::ExplicitLittle);
    std::vector<std::uint16_t> mgValues;
    double mgCellWindow = 0.0;
    {
        toolkit::ViewerControl viewer;
        viewer.resize(1000, 1000);
        const auto image = viewer.images().readFile(mgPath);
        // As the image opens (the viewer's default minification), then by each method.
        mgCellWindow = viewerWindowMs(viewer, *image, mgRuns);
        const Method minifications[] = {{"pixelvalues", 1}, {"movingaverage", 4}};
        for (const Method &m : minifications) {
            image->setMinificationMethod(m.method);
            methodTimes.emplace_back(std::string("min_") + m.name + "_ms",
                                     viewerWindowMs(viewer, *image, mgRuns));
        }
        const toolkit::PixelFrame frame = image->frame(1);
        const auto *p = reinterpret_cast<const std::uint16_t *>(frame.data->data());
        mgValues.assign(p, p + std::size_t(frame.columns) * frame.rows);
    }
    const double mgFullLut = lutLoopMs(mgValues, mgRuns);

    std::printf("ct512_window_ms: %.3f\n", ctWindow);
    std::printf("ct512_dicomimage_ms: %.3f\n", ctDicomImage);
    std::printf("ct512_lut_ms: %.3f\n", ctLut);
    // The floor for a 6x6 step: 36 full 512x512 table passes.
    std::printf("grid6x6_lut_floor_updates_per_s: %.0f\n", 1000.0 / (36.0 * ctLut));
    // A drag step as it runs (the selected image on the fast path, the others moving-average),
    // in CPU time; the wall time beside it includes other work's turns.
    std::printf("grid6x6_step_ms: %.3f\n", drag.cpuMs);
    std::printf("grid6x6_step_wall_ms: %.3f\n", drag.wallMs);
    std::printf("grid6x6_tiles_ms: %.3f\n", drag.tilesMs);
    std::printf("grid6x6_updates_per_s: %.0f\n", 1000.0 / drag.cpuMs);
    // Every image on the fast path.
    std::printf("grid6x6_fast_step_ms: %.3f\n", fastDrag.cpuMs);
    std::printf("grid6x6_fast_updates_per_s: %.0f\n", 1000.0 / fastDrag.cpuMs);
    // The same drag with every image's overlay and side markers drawn over its tile.
    std::printf("grid6x6_overlay_updates_per_s: %.0f\n", 1000.0 / overlaidDrag.cpuMs);
    // Every overlay of a 6x6 grid rebuilt and painted, against the 512 table pass.
    std::printf("overlay_refresh_36_ms: %.3f\n", overlayMs);
    std::printf("overlay_refresh_36_vs_ct512_lut: %.1f\n", overlayMs / ctLut);
    for (const auto &[key, ms] : methodTimes) {
        std::printf("%s: %.3f\n", key.c_str(), ms);
    }
    std::printf("effect_sharpen_1024_ms: %.3f\n", sharpenMs);
    std::printf("effect_enhance_1024_ms: %.3f\n", enhanceMs);
    std::printf("mg_full_lut_ms: %.3f\n", mgFullLut);
    // A window change of the 3328 x 4096 image in its 1000 x 1000 cell, against the full pass.
    std::printf("mg_cell_window_ms: %.3f\n", mgCellWindow);
    // The mouse on one 1000 pixel cell, each step painted: a rubber-band move (no tile drawn
    // again) against the 512 table pass, the magnifier at five times against two of them.
    std::printf("label_drag_step_ms: %.3f\n", interact.labelDragMs);
    std::printf("magnifier_step_ms: %.3f\n", interact.magnifierMs);
    std::printf("magnifier_vs_ct512_lut: %.2f\n", interact.magnifierMs / ctLut);
    std::printf("roi_stats_ms: %.3f\n", roiMs);
    return 0;
}

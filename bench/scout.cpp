// Reference-line costs: one page step in the main viewer (keypad 6 on a 1 x 1 grid of 512 x 512
// CT slices) until the scout viewer is painted with the new slice's line, which is the road
// RefreshImageControls -> Slice_Show -> the toolkit's reference line -> the scout's labels -> a
// painted scout; and the geometry alone. Against the 512 table pass of bench-render in the same
// run. Prints one "key: value" line per figure, medians in milliseconds of the thread's CPU time
// unless the key says otherwise.

#include "benchdata.h"
#include "component/modstart.h"
#include "core/prompter.h"
#include "samplestudy.h"
#include "scout/frmsliceviewer.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/referenceline.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

using namespace ravlen;
using bench::median;

namespace {

constexpr int kSlices = 40;
constexpr int kSize = 512;
constexpr int kKeypad6 = 102; // the next image
constexpr int kKeypad7 = 103; // the first image

void expose(QWidget &window) {
    window.show();
    for (int i = 0; i < 1000 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    window.repaint();
}

struct Steps {
    double cpuMs = 0.0;
    double wallMs = 0.0;
};

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Window placement and settings go to a folder of the run's own, not the user's.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    modStart::StartUp(config.path());
    setPrompter(makeStderrPrompter());

    QTemporaryDir study;
    tools::SampleStudyOptions o;
    o.outDir = study.path();
    o.slices = kSlices;
    o.size = kSize;
    tools::writeSampleStudy(o);
    QStringList files;
    for (int k = 1; k <= kSlices; ++k) {
        files << QDir(study.path()).filePath(QStringLiteral("CT%1.dcm").arg(k, 4, 10, QChar('0')));
    }

    frmDicomViewer &main = dicomViewer();
    main.resize(1024, 900);
    main.OpenFiles(files);
    main.SetGrid({1, 1});
    frmSliceViewer &scout = sliceViewer();
    scout.resize(900, 800);
    scout.OpenFiles({QDir(study.path()).filePath(QStringLiteral("SCOUT.dcm"))});
    expose(main);
    expose(scout);
    main.SelectImage(1);

    // Every step decodes nothing new for the scout: its picture stays, only its labels change.
    std::vector<double> cpu;
    std::vector<double> wall;
    const int rendersBefore = scout.Viewer->renderCount();
    for (int pass = 0; pass < 5; ++pass) {
        main.Viewer_KeyDown(kKeypad7, 0);
        for (int step = 2; step <= kSlices; ++step) {
            const auto start = bench::Clock::now();
            const double cpuStart = bench::threadCpuMs();
            main.Viewer_KeyDown(kKeypad6, 0);
            scout.Viewer->repaint();
            cpu.push_back(bench::threadCpuMs() - cpuStart);
            wall.push_back(bench::millisecondsSince(start));
            if (main.imageSet().currentPosition() != step) {
                std::fprintf(stderr, "the page step reached %d, not %d\n",
                             main.imageSet().currentPosition(), step);
                return 2;
            }
        }
    }
    const toolkit::Image &scoutImage = *scout.Viewer->images().item(1);
    int lines = 0;
    for (int i = 1; i <= scoutImage.labels().count(); ++i) {
        lines += scoutImage.labels().item(i)->type == toolkit::Label::Line;
    }
    if (lines != 1) {
        std::fprintf(stderr, "the scout shows %d lines, not one\n", lines);
        return 2;
    }

    // The geometry alone: both planes read from the data sets and the line worked out.
    const auto slice = main.Viewer->images().item(kSlices / 2);
    std::vector<double> geometry;
    for (int run = 0; run < 2001; ++run) {
        const double start = bench::threadCpuMs();
        const auto label = toolkit::referenceLineLabel(scoutImage, *slice);
        geometry.push_back(bench::threadCpuMs() - start);
        if (!label) {
            std::fprintf(stderr, "no reference line for the middle slice\n");
            return 2;
        }
    }

    const double ctLut = bench::lutLoopMs(bench::ctValues(kSize, 0), 301);
    const double step = median(cpu);
    std::printf("ct512_lut_ms: %.3f\n", ctLut);
    std::printf("refline_update_ms: %.3f\n", step);
    std::printf("refline_update_wall_ms: %.3f\n", median(wall));
    std::printf("refline_update_vs_ct512_lut: %.2f\n", step / ctLut);
    std::printf("refline_geometry_us: %.2f\n", median(geometry) * 1000.0);
    // The scout's picture is never drawn again for a new line.
    std::printf("refline_scout_tiles_drawn: %d\n", scout.Viewer->renderCount() - rendersBefore);
    return 0;
}

// Cine costs: one frame step of a 100-frame 512 x 512 16-bit multi-frame image in a 512 x 512
// viewer cell, the frame decoded on first use and drawn, the viewer painted; the same with
// run-length encoded pixels; a player step over frames decoded ahead; against the 512 table
// pass of bench-render in the same run. Prints one "key: value" line per figure, medians in
// milliseconds of the thread's CPU time unless the key says otherwise.

#include "benchdata.h"
#include "benchview.h"
#include "toolkit/cineplayer.h"
#include "toolkit/image.h"
#include "toolkit/viewercontrol.h"

#include <QApplication>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

using namespace ravlen;
using bench::median;

namespace {

constexpr int kFrames = 100;
constexpr int kSize = 512;

// The CT phantom moving through 100 slices as the frames of one image, 25 frames a second.
QByteArray multiFrame(toolkit::TransferSyntax syntax) {
    return bench::ctMovie(kSize, kFrames, 25).toBytes(syntax);
}

struct Steps {
    double cpuMs = 0.0;
    double wallMs = 0.0;
};

// Every frame shown once in order, each decoded on first use, drawn and painted: `passes`
// fresh images, so every step decodes.
Steps frameSteps(const QByteArray &bytes, int passes) {
    std::vector<double> cpu;
    std::vector<double> wall;
    for (int pass = 0; pass < passes; ++pass) {
        toolkit::ViewerControl viewer;
        viewer.resize(kSize, kSize);
        const auto image = toolkit::Image::fromBytes(bytes, QStringLiteral("loop"));
        viewer.images().add(image);
        bench::expose(viewer);
        const int rendersBefore = viewer.renderCount();
        for (int f = 2; f <= kFrames; ++f) {
            const auto start = bench::Clock::now();
            const double cpuStart = bench::threadCpuMs();
            image->setCurrentFrame(f);
            viewer.repaint();
            cpu.push_back(bench::threadCpuMs() - cpuStart);
            wall.push_back(bench::millisecondsSince(start));
        }
        if (viewer.renderCount() - rendersBefore != kFrames - 1) {
            std::fprintf(stderr, "the frame steps drew %d tiles, not one a step\n",
                         viewer.renderCount() - rendersBefore);
            std::exit(2);
        }
    }
    return {median(cpu), median(wall)};
}

class StepClock : public toolkit::CineClock {
public:
    double nowMs() const override { return now; }
    double now = 0.0;
};

// The player's own step, as its timer runs it: the clock one frame time on, the frame it
// reached set, the viewer painted; frames decoded ahead by its worker.
double playerSteps(const QByteArray &bytes, int runs) {
    toolkit::ViewerControl viewer;
    viewer.resize(kSize, kSize);
    const auto image = toolkit::Image::fromBytes(bytes, QStringLiteral("loop"));
    viewer.images().add(image);
    bench::expose(viewer);
    auto clock = std::make_shared<StepClock>();
    toolkit::CinePlayer &player = viewer.cinePlayer();
    player.setClock(clock);
    image->setCineMode(toolkit::cinemode::Forward);
    player.tick();
    if (!player.waitForDecodes(60000)) {
        std::fprintf(stderr, "the frames were not decoded ahead within a minute\n");
        std::exit(2);
    }
    const double frameMs = image->cineRate().frameMs();
    std::vector<double> cpu;
    for (int run = 1; run <= runs; ++run) {
        const int before = image->currentFrame();
        const double start = bench::threadCpuMs();
        clock->now = run * frameMs;
        player.tick();
        viewer.repaint();
        cpu.push_back(bench::threadCpuMs() - start);
        if (image->currentFrame() == before) {
            std::fprintf(stderr, "a player step showed no new frame\n");
            std::exit(2);
        }
    }
    return median(cpu);
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    const QByteArray native = multiFrame(toolkit::TransferSyntax::ExplicitLittle);
    const QByteArray rle = multiFrame(toolkit::TransferSyntax::Rle);

    const double ctLut = bench::lutLoopMs(bench::ctValues(kSize, 0), 301);
    const Steps nativeStep = frameSteps(native, 3);
    const Steps rleStep = frameSteps(rle, 1);
    const double playerMs = playerSteps(native, 299);

    std::printf("ct512_lut_ms: %.3f\n", ctLut);
    // Explicit VR little endian: the frame's bytes are used where they lie, drawn and painted.
    std::printf("cine_frame_ms: %.3f\n", nativeStep.cpuMs);
    std::printf("cine_frame_wall_ms: %.3f\n", nativeStep.wallMs);
    std::printf("cine_frame_vs_ct512_lut: %.2f\n", nativeStep.cpuMs / ctLut);
    std::printf("cine_max_fps: %.0f\n", 1000.0 / nativeStep.cpuMs);
    // RLE Lossless: the frame decoded on the step.
    std::printf("cine_frame_rle_ms: %.3f\n", rleStep.cpuMs);
    std::printf("cine_rle_max_fps: %.0f\n", 1000.0 / rleStep.cpuMs);
    std::printf("cine_player_step_ms: %.3f\n", playerMs);
    return 0;
}

// Opening: 300 CT slices read from disk into a viewer's image collection and the first tile
// drawn. The files are written first (not timed); prints the median of three runs in seconds.

#include "benchdata.h"
#include "toolkit/viewercontrol.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace ravlen;

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int files = 300;
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString path = dir.filePath(QStringLiteral("ct%1.dcm").arg(i + 1, 3, 10, QChar('0')));
        bench::ctSlice(512, i).save(path, toolkit::TransferSyntax::ExplicitLittle);
        paths.append(path);
    }
    std::vector<double> seconds;
    for (int run = 0; run < 3; ++run) {
        toolkit::ViewerControl viewer;
        viewer.resize(512, 512);
        const auto start = bench::Clock::now();
        for (const QString &path : paths) {
            viewer.images().readFile(path);
        }
        const QImage first = viewer.tilePicture(1);
        seconds.push_back(bench::millisecondsSince(start) / 1000.0);
        if (first.isNull() || viewer.images().count() != files) {
            std::fprintf(stderr, "the images did not open\n");
            return 2;
        }
    }
    std::printf("open300_s: %.3f\n", bench::median(seconds));
    return 0;
}

// A minimal host of the viewer component: it creates the component, names the study it wants
// and opens it. The component queries the PACS configured in ravlenpacs.ini (beside the
// library) and shows its query dialog; retrieving from there shows the viewer.
//
//   host-example STUDY_UID [--quit-after-ms N]
//
// --quit-after-ms ends the program after N milliseconds, for unattended checks.

#include <component/clsravlenpacsviewer.h>

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: host-example STUDY_UID [--quit-after-ms N]\n");
        return 1;
    }

    // Repeating, so it also ends any message box or wait the component is in at that moment.
    QTimer quitTimer;
    if (const int at = args.indexOf(QStringLiteral("--quit-after-ms"));
        at > 0 && at + 1 < args.size()) {
        quitTimer.setInterval(args[at + 1].toInt());
        QObject::connect(&quitTimer, &QTimer::timeout, &app, &QApplication::quit);
        quitTimer.start();
    }

    ravlen::clsRavlenPACSViewer viewer;
    viewer.setStudyUID(args[1]);
    try {
        viewer.OpenImage();
    } catch (const std::exception &e) {
        // The component's errors carry a number and a text; the text is all a host must show.
        std::fprintf(stderr, "host-example: %s\n", e.what());
        return 2;
    }
    std::printf("OpenImage returned for study %s\n", qPrintable(viewer.StudyUID()));
    std::fflush(stdout);
    return app.exec();
}

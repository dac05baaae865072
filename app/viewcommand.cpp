#include "commands.h"

#include "core/prompter.h"
#include "core/qtprompter.h"
#include "toolkit/viewercontrol.h"
#include "viewer/frmdicomviewer.h"
#include "viewer/imagesetrules.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTimer>

#include <optional>

namespace ravlen::app {

namespace {

constexpr const char *Usage = "usage: ravlenpacs view [--grid RxC] [--screenshot OUT.png] "
                              "[--quit-after-ms N] [FILE|FOLDER...]";

struct ViewOptions {
    QStringList inputs;
    std::optional<viewer::GridSize> grid;
    QString screenshot;
    std::optional<int> quitAfterMs;
};

std::optional<ViewOptions> parseView(const QStringList &arguments, QString &error) {
    ViewOptions o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (!a.startsWith(QLatin1String("--"))) {
            o.inputs << a;
            continue;
        }
        if (a != "--grid" && a != "--screenshot" && a != "--quit-after-ms") {
            error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(a);
            return std::nullopt;
        }
        const QString value = arguments[++i];
        if (a == "--grid") {
            static const QRegularExpression form(QStringLiteral("^(\\d{1,2})x(\\d{1,2})$"));
            const auto m = form.match(value);
            const int r = m.hasMatch() ? m.captured(1).toInt() : 0;
            const int c = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (r < 1 || c < 1 || r > 16 || c > 16) {
                error = QStringLiteral("--grid must be ROWSxCOLUMNS, each 1 to 16");
                return std::nullopt;
            }
            o.grid = viewer::GridSize{r, c};
        } else if (a == "--screenshot") {
            o.screenshot = value;
        } else {
            bool ok = false;
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0) {
                error = QStringLiteral("--quit-after-ms must be a whole number of 0 or more");
                return std::nullopt;
            }
            o.quitAfterMs = ms;
        }
    }
    if (!o.screenshot.isEmpty() && !o.quitAfterMs) {
        o.quitAfterMs = 1000; // a screenshot run ends by itself
    }
    return o;
}

// The files a command line names: a folder stands for its files, in name order.
QStringList expandInputs(const QStringList &inputs, QStringList &missing) {
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            for (const QFileInfo &f :
                 QDir(input).entryInfoList(QDir::Files | QDir::Readable, QDir::Name)) {
                files << f.filePath();
            }
        } else if (info.isFile()) {
            files << input;
        } else {
            missing << input;
        }
    }
    return files;
}

// The grid that shows a set of `count` images at a readable size: one image alone, then 2 x 2,
// 3 x 3 and 4 x 4 (the viewer pages through larger sets).
viewer::GridSize defaultViewGrid(int count) {
    if (count <= 1) {
        return {1, 1};
    }
    if (count <= 4) {
        return {2, 2};
    }
    if (count <= 9) {
        return {3, 3};
    }
    return {4, 4};
}

} // namespace

// Opens the files (and the files of folders) given into the viewer, in the order given, with
// the first image selected, and runs until the window is closed. Unattended runs
// (--screenshot, --quit-after-ms) keep every message on stderr and end by themselves.
int runView(const QStringList &arguments) {
    QString error;
    const std::optional<ViewOptions> o = parseView(arguments, error);
    if (!o) {
        reportError(error + QStringLiteral(" (") + QString::fromLatin1(Usage) + QLatin1Char(')'),
                    "view");
        return ExitUsage;
    }
    QStringList missing;
    const QStringList files = expandInputs(o->inputs, missing);
    for (const QString &m : missing) {
        reportError(QStringLiteral("no such file or folder: %1").arg(m), "view");
    }

    const bool unattended = o->quitAfterMs.has_value();
    // Messages raised while the command line's files load go to the terminal that started them.
    setPrompter(makeStderrPrompter([](const QString &text) {
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            reportError(line, "view");
        }
    }));
    frmDicomViewer &window = dicomViewer();
    const int added = window.OpenFiles(files);
    if (!o->inputs.isEmpty() && added == 0) {
        reportError(QStringLiteral("no image could be opened"), "view");
        delete &window;
        return ExitFailure;
    }
    if (!unattended) {
        installQtPrompter();
        setPrompter(nullptr); // from here on people answer in message boxes
    }
    window.SetGrid(o->grid.value_or(defaultViewGrid(added)));
    if (added > 0) {
        window.SelectImage(1);
    }
    window.show();

    int exitCode = ExitOk;
    if (o->quitAfterMs) {
        QTimer::singleShot(*o->quitAfterMs, &window, [&window, &o, &exitCode] {
            if (!o->screenshot.isEmpty()) {
                QImageWriter writer(o->screenshot, "png");
                if (!writer.write(window.grab().toImage())) {
                    reportError(QStringLiteral("cannot write %1: %2")
                                    .arg(o->screenshot, writer.errorString()),
                                "view");
                    exitCode = ExitFailure;
                }
            }
            window.close();
        });
    }
    const int loop = QApplication::exec();
    return exitCode != ExitOk ? exitCode : loop;
}

} // namespace ravlen::app

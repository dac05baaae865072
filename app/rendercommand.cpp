#include "commands.h"

#include "core/errors.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"
#include "toolkit/resample.h"

#include <QImageWriter>
#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace ravlen::app {

namespace {

constexpr const char *Usage =
    "usage: ravlenpacs render FILE -o OUT.png [--level L --width W --frame N --size WxH]";

struct RenderOptions {
    QString input;
    QString output;
    std::optional<double> level;
    std::optional<double> width;
    int frame = 1;
    QSize size; // empty: the image's own size
};

// Reads the arguments; on a usage error returns nothing and sets `error`.
std::optional<RenderOptions> parseRender(const QStringList &arguments, QString &error) {
    RenderOptions o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const bool option = a.startsWith(QLatin1Char('-')) && a.size() > 1;
        if (!option) {
            if (!o.input.isEmpty()) {
                error = QStringLiteral("one input file only (\"%1\" is extra)").arg(a);
                return std::nullopt;
            }
            o.input = a;
            continue;
        }
        if (a != "-o" && a != "--level" && a != "--width" && a != "--frame" && a != "--size") {
            error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(a);
            return std::nullopt;
        }
        // Values may start with "-" (a level of -600), so the next argument is always taken.
        const QString value = arguments[++i];
        bool ok = false;
        if (a == "-o") {
            o.output = value;
            ok = !value.isEmpty();
        } else if (a == "--level") {
            const double v = value.toDouble(&ok);
            ok = ok && std::isfinite(v);
            o.level = v;
        } else if (a == "--width") {
            const double v = value.toDouble(&ok);
            ok = ok && std::isfinite(v) && v >= 1.0;
            o.width = v;
        } else if (a == "--frame") {
            o.frame = value.toInt(&ok);
            ok = ok && o.frame >= 1;
        } else {
            static const QRegularExpression form(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
            const auto m = form.match(value);
            if (m.hasMatch()) {
                o.size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
                ok = o.size.width() >= 1 && o.size.height() >= 1 && o.size.width() <= 32767 &&
                     o.size.height() <= 32767;
            }
        }
        if (!ok) {
            error = a == "--width"   ? QStringLiteral("--width must be a number of 1 or more")
                    : a == "--frame" ? QStringLiteral("--frame must be a whole number from 1")
                    : a == "--size"  ? QStringLiteral("--size must be WIDTHxHEIGHT in pixels, "
                                                       "each 1 to 32767")
                    : a == "-o"      ? QStringLiteral("-o needs a file name")
                                     : QStringLiteral("%1 must be a number").arg(a);
            return std::nullopt;
        }
    }
    if (o.input.isEmpty() || o.output.isEmpty()) {
        error = QString::fromLatin1(Usage);
        return std::nullopt;
    }
    if (o.level.has_value() != o.width.has_value()) {
        error = QStringLiteral("--level and --width go together: give both or neither");
        return std::nullopt;
    }
    return o;
}

} // namespace

// One image drawn as a tile draws it: its own window (the stored one, else the min-max window),
// or its VOI LUT when it has one, unless a window is given; with --size, fitted into a cell of
// that size with its proportions kept and black borders, filtered as the image's
// magnification/minification methods say.
int runRender(const QStringList &arguments) {
    QString error;
    const std::optional<RenderOptions> o = parseRender(arguments, error);
    if (!o) {
        reportError(error, "render");
        return ExitUsage;
    }
    std::shared_ptr<toolkit::Image> image;
    try {
        image = toolkit::Image::fromFile(o->input);
    } catch (const ToolkitError &e) {
        reportError(QString::fromStdString(e.what()), "render");
        return ExitFailure;
    }
    if (o->frame > image->frameCount()) {
        reportError(QStringLiteral("frame %1 is out of range: the image has %2 frame(s)")
                        .arg(o->frame)
                        .arg(image->frameCount()),
                    "render");
        return ExitUsage;
    }
    try {
        const toolkit::PixelFrame frame = image->frame(o->frame);
        toolkit::RenderRequest request;
        if (o->level) {
            request.center = *o->level;
            request.width = *o->width;
        } else {
            request = image->windowRequest();
        }
        const QSize own(frame.columns, frame.rows);
        request.target = o->size.isEmpty() ? own : o->size;
        const QRect fitted = toolkit::fitIntoCell(QSizeF(own), request.target);
        const double scale = own.width() > 0 ? double(fitted.width()) / own.width() : 1.0;
        request.filter =
            toolkit::chooseFilter(scale, image->magnificationMethod(), image->minificationMethod());
        toolkit::DisplayLut lut;
        const QImage picture =
            toolkit::renderIntoCell(frame, image->modalityTransform(), request, lut);
        QImageWriter writer(o->output, "png");
        if (!writer.write(picture)) {
            reportError(QStringLiteral("cannot write %1: %2").arg(o->output, writer.errorString()),
                        "render");
            return ExitFailure;
        }
    } catch (const ToolkitError &e) {
        reportError(QString::fromStdString(e.what()), "render");
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace ravlen::app

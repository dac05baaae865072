#include "viewer/pageprinter.h"

#include "core/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace ravlen::viewer {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kPdfMarginPoints = 12.0;

std::function<PrintTarget()> &provider() {
    static std::function<PrintTarget()> p;
    return p;
}

} // namespace

PrintTarget defaultPrintTarget(const QDateTime &now) {
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull()) {
        return PrintTarget{printer.printerName(), QString()};
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    const QString stem =
        QStringLiteral("ravlenpacs-print-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString path = QDir(folder).filePath(stem + QStringLiteral(".pdf"));
    // Two prints within a second each keep their own file.
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = QDir(folder).filePath(stem + QStringLiteral("-%1.pdf").arg(n));
    }
    return PrintTarget{QString(), path};
}

PrintTarget currentPrintTarget() {
    return provider() ? provider()() : defaultPrintTarget();
}

void setPrintTargetProvider(std::function<PrintTarget()> p) {
    provider() = std::move(p);
}

QString savedAsPdfText(const QString &path) {
    return QStringLiteral("No printer is set up: the pages were saved as PDF in %1.")
        .arg(QDir::toNativeSeparators(path));
}

void preparePrinter(QPrinter &printer, const PrintTarget &target) {
    if (!target.toPdf()) {
        printer.setPrinterName(target.printerName);
        return;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(target.pdfPath);
    printer.setPageMargins(
        QMarginsF(kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints),
        QPageLayout::Point);
}

int printPages(QPrinter &printer, const std::vector<PrintPage> &pages,
               const std::function<PrintItem(int index)> &item,
               const std::function<void(int done)> &afterImage,
               const std::vector<PageText> &header) {
    if (pages.empty()) {
        return 0;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw ToolkitError(
            errc::FileAccess,
            (printer.outputFormat() == QPrinter::PdfFormat
                 ? QStringLiteral("The PDF file %1 cannot be written.")
                       .arg(printer.outputFileName())
                 : QStringLiteral("The printer %1 cannot be used.").arg(printer.printerName()))
                .toStdString());
    }
    // The origin is the printable area's top-left corner, as the layout counts.
    const double scale = printer.resolution() / kTwipsPerInch;
    const auto device = [scale](const QRect &twips) {
        return QRectF(twips.x() * scale, twips.y() * scale, twips.width() * scale,
                      twips.height() * scale);
    };
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    int printed = 0;
    int done = 0;
    for (const PrintPage &page : pages) {
        if (page.empty()) {
            continue;
        }
        if (printed > 0) {
            printer.newPage();
        }
        ++printed;
        // The font is set per page: the printer forgets it across a page break.
        QFont font(kPrintFont);
        font.setPointSizeF(kPrintFontPoints);
        painter.setFont(font);
        painter.setPen(Qt::black);
        // A text's top-left corner sits at its position, as a printed line starts.
        const auto printText = [&](QPoint twips, const QString &text) {
            const QPointF at(twips.x() * scale, twips.y() * scale);
            painter.drawText(QRectF(at, QSizeF(printer.width(), printer.height())),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
        };
        for (const PageText &text : header) {
            if (!text.text.isEmpty()) {
                printText(text.at, text.text);
            }
        }
        for (const PlacedImage &placed : page) {
            const PrintItem what = item(placed.index);
            if (!what.number.isEmpty()) {
                printText(placed.number, what.number);
            }
            if (!what.picture.isNull() && !placed.picture.isEmpty()) {
                painter.drawImage(device(placed.picture), what.picture);
            }
            ++done;
            if (afterImage) {
                afterImage(done);
            }
        }
    }
    painter.end();
    return printed;
}

} // namespace ravlen::viewer

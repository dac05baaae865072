// Page printing: every image six to a page, or the selected image alone, on the default
// printer, or into a PDF file when no printer is set up.
#include "viewer/frmdicomviewer.h"

#include "core/errors.h"
#include "core/prompter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/renderedpicture.h"
#include "toolkit/viewercontrol.h"
#include "viewer/pageprinter.h"
#include "viewer/printlayout.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>

namespace ravlen {

namespace {

// The picture's size in pixels as it is printed: a quarter turn swaps the sides.
QSize printedSize(const toolkit::Image &image) {
    const QSize size(image.columns(), image.rows());
    return image.rotation() % 2 ? size.transposed() : size;
}

} // namespace

void frmDicomViewer::PrintWindows_Click() {
    guarded([this] {
        if (m_outputBusy) {
            return;
        }
        if (prompter().message(viewer::kPrintAllQuestion, Prompter::Icon::Information,
                               Prompter::Yes | Prompter::No, QString(), this) != Prompter::Yes) {
            return;
        }
        std::vector<std::shared_ptr<toolkit::Image>> images;
        std::vector<QSize> sizes;
        const toolkit::ImageCollection &collection = Viewer->images();
        for (int p = 1; p <= collection.count(); ++p) {
            images.push_back(collection.item(p));
            sizes.push_back(printedSize(*images.back()));
        }
        printImages(images, viewer::layoutAllImages(sizes), pageHeader());
    });
}

void frmDicomViewer::mnuPrintSel_Click() {
    guarded([this] {
        if (m_outputBusy) {
            return;
        }
        std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        // An empty viewer was told so by GetSelectedImage; its placeholder has nothing to print.
        if (imageCount() == 0 || !image) {
            return;
        }
        printImages({image}, {viewer::layoutSelectedImage(printedSize(*image))});
    });
}

void frmDicomViewer::cmnuPrintSelImage_Click() {
    mnuPrintSel_Click();
}

void frmDicomViewer::printImages(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                                 const std::vector<viewer::PrintPage> &pages,
                                 const std::vector<viewer::PageText> &header) {
    if (pages.empty()) {
        return; // the document ends before its first page: nothing goes to the printer
    }
    m_outputBusy = true;
    const QPointer<frmDicomViewer> alive(this);
    const viewer::PrintTarget target = viewer::currentPrintTarget();
    QStringList failures;
    QPointer<QProgressDialog> progress;
    try {
        QPrinter printer(QPrinter::HighResolution);
        viewer::preparePrinter(printer, target);
        const int total = int(images.size());
        // On the heap: the window deletes its children should it be closed between images.
        progress = new QProgressDialog(QStringLiteral("Printing..."), QString(), 0, total, this);
        progress->setObjectName(QStringLiteral("PrintProgress"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(400);
        progress->setCancelButton(nullptr);
        viewer::printPages(
            printer, pages,
            [&](int index) {
                const toolkit::Image &image = *images.at(std::size_t(index));
                viewer::PrintItem item;
                item.number = viewer::instanceNumberText(image.attribute(0x0020, 0x0013));
                try {
                    item.picture = toolkit::renderedPicture(image);
                } catch (const ToolkitError &e) {
                    // The others still print; the slot stays empty and the user is told.
                    failures << QString::fromStdString(e.what());
                }
                return item;
            },
            [&](int done) {
                if (progress) {
                    progress->setLabelText(
                        QStringLiteral("Printing image %1 of %2").arg(done).arg(total));
                    progress->setValue(done);
                }
                // The windows keep painting between images of a long job.
                QCoreApplication::processEvents();
            },
            header);
    } catch (...) {
        delete progress.data();
        if (alive) {
            m_outputBusy = false;
        }
        throw;
    }
    delete progress.data();
    if (!alive) {
        return;
    }
    m_outputBusy = false;
    QString text = target.toPdf() ? viewer::savedAsPdfText(target.pdfPath) : QString();
    if (!failures.isEmpty()) {
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) +
                QStringLiteral("These images could not be drawn and were left blank:\n") +
                failures.join(QLatin1Char('\n'));
    }
    if (!text.isEmpty()) {
        prompter().message(
            text, failures.isEmpty() ? Prompter::Icon::Information : Prompter::Icon::Warning,
            Prompter::Ok, QString(), this);
    }
}

} // namespace ravlen

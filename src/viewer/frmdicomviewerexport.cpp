// Export, import and the clipboard: the selected image out as a picture or an AVI movie, a
// picture or movie file in as a new image, and pictures to and from the clipboard.
#include "viewer/frmdicomviewer.h"

#include "viewer/overlays.h"

#include "component/clsexam.h"
#include "core/errors.h"
#include "core/formats.h"
#include "core/prompter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/movieio.h"
#include "toolkit/pictureio.h"
#include "toolkit/viewercontrol.h"
#include "viewer/exportrules.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <exception>

namespace ravlen {

namespace {

// Runs `work` on a worker thread while a progress window over `owner` counts its frames and
// offers Cancel; the windows keep painting meanwhile. What `work` throws is thrown here. Should
// the owner go away meanwhile, the work is cancelled.
void runWithProgress(QWidget *owner, const QString &label,
                     const std::function<void(const toolkit::WorkProgress &)> &work) {
    // On the heap: the owner deletes its children should it be closed during the wait.
    const QPointer<QProgressDialog> dialog =
        new QProgressDialog(label, QStringLiteral("Cancel"), 0, 0, owner);
    dialog->setObjectName(QStringLiteral("OutputProgress"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(400);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    std::atomic<bool> cancelled{false};
    QObject::connect(dialog, &QProgressDialog::canceled, [&cancelled] { cancelled = true; });
    QObject::connect(owner, &QObject::destroyed, [&cancelled] { cancelled = true; });
    // Progress posted by the worker is delivered through this object, which goes first, so
    // nothing left in the queue reaches the dialog after it is gone.
    QObject updates;
    toolkit::WorkProgress progress;
    progress.cancelled = [&cancelled] { return cancelled.load(); };
    progress.report = [&updates, dialog](int done, int total) {
        QMetaObject::invokeMethod(
            &updates,
            [dialog, done, total] {
                if (dialog) {
                    dialog->setMaximum(total);
                    dialog->setValue(total > 0 ? done : 0);
                }
            },
            Qt::QueuedConnection);
    };
    std::exception_ptr failure;
    QEventLoop loop;
    // A QThread, not a bare thread: the helper programs are driven by QProcess, which wants
    // its thread to have an event dispatcher.
    QThread *worker = QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    delete dialog.data();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace

void frmDicomViewer::Export_Click() {
    guarded([this] {
        if (imageCount() == 0) {
            prompter().message(viewer::kNoImageToExport, Prompter::Icon::Warning, Prompter::Ok,
                               QString(), this);
            return;
        }
        if (m_outputBusy) {
            return;
        }
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        const QString file = prompter().saveFile(
            viewer::kExportTitle, viewer::exportFilter(image->frameCount()), QString(), this);
        if (file.isEmpty()) {
            return;
        }
        if (!viewer::exportsAsMovie(file)) {
            toolkit::exportPicture(*image, file, QString());
            return;
        }
        const int lastFrame = fmt::toInt16(image->frameCount());
        toolkit::MovieSettings settings;
        settings.frameStep = viewer::kMovieFrameStep;
        settings.codec = QString();
        settings.quality = viewer::kMovieQuality;
        settings.asShown = viewer::kMovieAsShown;
        m_outputBusy = true;
        const QPointer<frmDicomViewer> alive(this);
        try {
            runWithProgress(this, QStringLiteral("Writing the movie..."),
                            [&](const toolkit::WorkProgress &progress) {
                                toolkit::exportAvi(*image, file, 1, lastFrame, settings, progress);
                            });
        } catch (const ToolkitError &e) {
            if (alive) {
                m_outputBusy = false;
            }
            if (e.number() == errc::Cancelled) {
                return; // the user stopped it; no file was left behind
            }
            throw;
        }
        if (alive) {
            m_outputBusy = false;
        }
    });
}

void frmDicomViewer::Import_Click() {
    guarded([this] {
        if (m_outputBusy) {
            return;
        }
        const QStringList files = prompter().openFiles(viewer::kImportTitle, viewer::kImportFilter,
                                                       false, QString(), this);
        if (files.isEmpty() || files.first().isEmpty()) {
            return;
        }
        const QString file = files.first();
        toolkit::Imported imported;
        m_outputBusy = true;
        const QPointer<frmDicomViewer> alive(this);
        try {
            runWithProgress(this, QStringLiteral("Reading %1...").arg(file),
                            [&](const toolkit::WorkProgress &progress) {
                                imported = toolkit::importFile(file, QString(), {}, progress);
                            });
        } catch (const ToolkitError &e) {
            if (alive) {
                m_outputBusy = false;
            }
            if (e.number() == errc::Cancelled) {
                return;
            }
            throw;
        }
        if (!alive) {
            return;
        }
        m_outputBusy = false;
        addImportedImage(imported.image);
        if (!imported.notice.isEmpty()) {
            prompter().message(imported.notice, Prompter::Icon::Information, Prompter::Ok,
                               QString(), this);
        }
    });
}

void frmDicomViewer::Copy_Click() {
    guarded([this] {
        if (imageCount() >= 1) {
            toolkit::copyToClipboard(*GetSelectedImage());
        }
    });
}

void frmDicomViewer::Paste_Click() {
    guarded([this] {
        std::shared_ptr<toolkit::Image> image;
        try {
            image = toolkit::pasteFromClipboard();
        } catch (const ToolkitError &e) {
            if (e.number() != errc::NoPixelData) {
                throw;
            }
            prompter().message(QString::fromStdString(e.what()), Prompter::Icon::Information,
                               Prompter::Ok, QString(), this);
            return;
        }
        addImportedImage(std::move(image));
    });
}

void frmDicomViewer::addImportedImage(std::shared_ptr<toolkit::Image> image) {
    Viewer->images().add(std::move(image));
    if (m_set->imagesChanged(currentExam())) {
        showExamLabels();
    }
    viewer::BuildMissingOverlays(Viewer->images(), m_textModes);
    Viewer->refresh();
    RefreshImageControls();
}

} // namespace ravlen

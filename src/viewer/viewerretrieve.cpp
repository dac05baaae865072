// The main viewer as the destination of the query dialog's retrievals, and its "&Retrieve"
// command.
#include "viewer/frmdicomviewer.h"
#include "viewer/viewerretrievetarget.h"

#include "component/clsexam.h"
#include "network/retrievedialog.h"
#include "network/retrievetarget.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/sliceviewerlink.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace ravlen {

namespace {

// Images after the first are drawn in batches this far apart, so a study of hundreds of
// slices does not redraw the grid once per slice.
constexpr int kBatchRedrawMs = 100;

network::RetrieveTarget *mainViewerTarget() {
    static viewer::ViewerRetrieveTarget target;
    return &target;
}

// Linked in with the menu command below, so every program with the viewer has the target.
[[maybe_unused]] const bool targetRegistered =
    (network::setMainRetrieveTarget(&mainViewerTarget), true);

} // namespace

namespace viewer {

frmDicomViewer &ViewerRetrieveTarget::window() {
    return dicomViewer();
}

void ViewerRetrieveTarget::showWindow() {
    frmDicomViewer &v = window();
    v.show();
    v.raise();
}

void ViewerRetrieveTarget::setBusy(bool busy) {
    frmDicomViewer &v = window();
    if (busy) {
        v.setCursor(Qt::WaitCursor);
    } else {
        v.unsetCursor();
    }
}

void ViewerRetrieveTarget::appendTrace(const QString &marker) {
    QTextCursor cursor(dicomViewer().tl->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(marker);
    QCoreApplication::processEvents();
}

bool ViewerRetrieveTarget::startListening(int port) {
    // The component listens on one port: a retrieval into the scout viewer may hold it.
    if (SliceViewerLink *scout = sliceViewerLink()) {
        scout->releasePort();
    }
    return window().Viewer->startListening(port);
}

void ViewerRetrieveTarget::stopListening() {
    window().Viewer->stopListening();
}

void ViewerRetrieveTarget::setAsyncReceive(bool on) {
    window().Viewer->setAsyncReceive(on);
}

void ViewerRetrieveTarget::addRetrievedImage(const std::shared_ptr<toolkit::Image> &image,
                                             bool first) {
    frmDicomViewer &v = window();
    v.Viewer->images().add(image);
    if (first) {
        v.InitImage(); // drawn at once, with the exam's labels
        return;
    }
    try {
        image->applyDefaultWindow();
    } catch (...) {
        // InitImage at the end of the retrieval reports images without a usable window.
    }
    if (m_redrawPending) {
        return;
    }
    m_redrawPending = true;
    QTimer::singleShot(kBatchRedrawMs, &v, [this, &v] {
        m_redrawPending = false;
        v.imageSet().imagesChanged(currentExam());
        v.Viewer->refresh();
        v.RefreshImageControls();
    });
}

void ViewerRetrieveTarget::InitImage() {
    window().InitImage();
}

} // namespace viewer

void frmDicomViewer::Retrieve_Click() {
    guarded([this] {
        network::setMainRetrieveTarget(&mainViewerTarget);
        RetrieveDialog &dialog = retrieveDialog();
        // An unfiltered query; the dialog is shown as well, so the command has a visible answer.
        dialog.LoadPatients({}, {}, {}, {}, {}, {}, {}, {});
        dialog.show();
        dialog.raise();
    });
}

} // namespace ravlen

// The main viewer as the destination of the query dialog's retrievals, and its "&Retrieve"
// command.
#include "viewer/frmdicomviewer.h"

#include "component/clsexam.h"
#include "network/retrievedialog.h"
#include "network/retrievetarget.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace ravlen {

namespace {

// Images after the first are drawn in batches this far apart, so a study of hundreds of
// slices does not redraw the grid once per slice.
constexpr int kBatchRedrawMs = 100;

class ViewerRetrieveTarget : public network::RetrieveTarget {
public:
    void showWindow() override {
        frmDicomViewer &v = dicomViewer();
        v.show();
        v.raise();
    }
    void setBusy(bool busy) override {
        frmDicomViewer &v = dicomViewer();
        if (busy) {
            v.setCursor(Qt::WaitCursor);
        } else {
            v.unsetCursor();
        }
    }
    void appendTrace(const QString &marker) override {
        QTextCursor cursor(dicomViewer().tl->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(marker);
        QCoreApplication::processEvents();
    }
    bool startListening(int port) override { return dicomViewer().Viewer->startListening(port); }
    void stopListening() override { dicomViewer().Viewer->stopListening(); }
    void setAsyncReceive(bool on) override { dicomViewer().Viewer->setAsyncReceive(on); }

    void addRetrievedImage(const std::shared_ptr<toolkit::Image> &image, bool first) override {
        frmDicomViewer &v = dicomViewer();
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
        QTimer::singleShot(kBatchRedrawMs, &v, [this] {
            m_redrawPending = false;
            frmDicomViewer &w = dicomViewer();
            w.imageSet().imagesChanged(currentExam());
            w.Viewer->refresh();
            w.RefreshImageControls();
        });
    }
    void InitImage() override { dicomViewer().InitImage(); }

private:
    bool m_redrawPending = false;
};

network::RetrieveTarget *mainViewerTarget() {
    static ViewerRetrieveTarget target;
    return &target;
}

// Linked in with the menu command below, so every program with the viewer has the target.
[[maybe_unused]] const bool targetRegistered =
    (network::setMainRetrieveTarget(&mainViewerTarget), true);

} // namespace

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

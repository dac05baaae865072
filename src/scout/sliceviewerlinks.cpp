// How the rest of the component reaches the scout viewer: as the destination of "Slice"
// retrievals and as the main viewer's partner for reference lines and its scout entries.
#include "scout/frmsliceviewer.h"

#include "network/retrievetarget.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/sliceviewerlink.h"
#include "viewer/viewerretrievetarget.h"

namespace ravlen {

namespace {

class SliceRetrieveTarget : public viewer::ViewerRetrieveTarget {
public:
    frmDicomViewer &window() override { return sliceViewer(); }
    // The component listens on one port: the main viewer hands it over, so images pushed for
    // this retrieval arrive here.
    bool startListening(int port) override {
        if (dicomViewerExists()) {
            dicomViewer().Viewer->stopListening();
        }
        return sliceViewer().Viewer->startListening(port);
    }
};

network::RetrieveTarget *sliceTarget() {
    static SliceRetrieveTarget target;
    return &target;
}

class Link : public viewer::SliceViewerLink {
public:
    bool showsImages() const override {
        return sliceViewerExists() && sliceViewer().isVisible() && sliceViewer().imageCount() >= 1;
    }
    void Slice_Show(int position) override { sliceViewer().Slice_Show(qint16(position)); }
    bool closeIfVisible() override {
        if (!sliceViewerExists() || !sliceViewer().isVisible()) {
            return false;
        }
        sliceViewer().close();
        return true;
    }
    void showWindow() override {
        frmSliceViewer &scout = sliceViewer();
        scout.show();
        scout.raise();
    }
    void openImage(const std::shared_ptr<toolkit::Image> &image) override {
        frmSliceViewer &scout = sliceViewer();
        // A copy: the labels and window the scout puts on it stay off the main viewer's image.
        const std::shared_ptr<toolkit::Image> copy = image->duplicate();
        copy->setBorder(0);
        scout.Viewer->images().add(copy);
        scout.InitImage();
        showWindow();
    }
    void scoutSlices() override {
        showWindow();
        sliceViewer().mnuDisplaySlice_Click();
    }
    void releasePort() override {
        if (sliceViewerExists()) {
            sliceViewer().Viewer->stopListening();
        }
    }
};

viewer::SliceViewerLink *scoutLink() {
    static Link l;
    return &l;
}

} // namespace

void registerSliceViewer() {
    network::setSliceRetrieveTarget(&sliceTarget);
    viewer::setSliceViewerLink(&scoutLink);
}

} // namespace ravlen

#pragma once

#include "network/retrievetarget.h"

namespace ravlen {

class frmDicomViewer;

namespace viewer {

// A viewer window as the destination of the query dialog's retrievals: the main viewer, and
// with its own window, listener and trace the scout viewer.
class ViewerRetrieveTarget : public network::RetrieveTarget {
public:
    // The window the images go to, created when there is none.
    virtual frmDicomViewer &window();

    void showWindow() override;
    void setBusy(bool busy) override;
    void appendTrace(const QString &marker) override;
    bool startListening(int port) override;
    void stopListening() override;
    void setAsyncReceive(bool on) override;
    void addRetrievedImage(const std::shared_ptr<toolkit::Image> &image, bool first) override;
    void InitImage() override;

private:
    bool m_redrawPending = false;
};

} // namespace viewer
} // namespace ravlen

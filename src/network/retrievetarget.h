#pragma once

#include <QString>

#include <memory>

namespace ravlen::toolkit {
class Image;
}

namespace ravlen::network {

// What a retrieval needs of the viewer window that receives the images. The viewers register
// themselves, so the query dialog does not depend on their libraries. Used on the
// user-interface thread only.
class RetrieveTarget {
public:
    virtual ~RetrieveTarget() = default;
    // Shows the window (modeless).
    virtual void showWindow() = 0;
    // The busy pointer over the window, or the normal one.
    virtual void setBusy(bool busy) = 0;
    // Appends a progress word to the window's trace and lets pending window events run.
    virtual void appendTrace(const QString &marker) = 0;
    // The window's listener; start returns whether it listens on `port` afterwards.
    virtual bool startListening(int port) = 0;
    virtual void stopListening() = 0;
    virtual void setAsyncReceive(bool on) = 0;
    // Adds one retrieved image at the end of the image set; `first` (the first image of a
    // retrieval) is drawn at once, later ones shortly after in batches.
    virtual void addRetrievedImage(const std::shared_ptr<toolkit::Image> &image, bool first) = 0;
    // Gives every image its default window and refreshes the overlays.
    virtual void InitImage() = 0;
};

// The main viewer's target; null until the viewer's library registered it.
RetrieveTarget *mainRetrieveTarget();
void setMainRetrieveTarget(RetrieveTarget *(*provider)());
// The scout viewer's target ("Slice"); null in a program without the scout viewer.
RetrieveTarget *sliceRetrieveTarget();
void setSliceRetrieveTarget(RetrieveTarget *(*provider)());

} // namespace ravlen::network

#pragma once

#include <memory>

namespace ravlen::toolkit {
class Image;
}

namespace ravlen::viewer {

// What the main viewer asks of the scout viewer. The scout viewer's library registers itself,
// so the main viewer does not depend on it; without it the main viewer's scout entries stay
// disabled. Used on the user-interface thread only.
class SliceViewerLink {
public:
    virtual ~SliceViewerLink() = default;
    // Whether the scout viewer is on screen and holds at least one image. Never creates it.
    virtual bool showsImages() const = 0;
    // Draws on the scout where the main viewer's image at `position` lies.
    virtual void Slice_Show(int position) = 0;
    // Closes the scout viewer (discarding its images) when it is visible; returns whether it
    // was.
    virtual bool closeIfVisible() = 0;
    // Shows the scout viewer, created empty when there is none.
    virtual void showWindow() = 0;
    // Adds a copy of `image` (same pixels, its own display state and labels) to the scout
    // viewer and shows it.
    virtual void openImage(const std::shared_ptr<toolkit::Image> &image) = 0;
    // Shows the scout viewer and runs its "Scout Slices".
    virtual void scoutSlices() = 0;
    // Stops the scout viewer's listener, so the main viewer can listen on the port.
    virtual void releasePort() = 0;
};

// The registered link; null when no scout viewer is part of the program.
SliceViewerLink *sliceViewerLink();
void setSliceViewerLink(SliceViewerLink *(*provider)());

} // namespace ravlen::viewer

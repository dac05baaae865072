#pragma once

#include "toolkit/image.h"

#include <QString>

#include <memory>
#include <vector>

namespace ravlen::toolkit {

// An ordered list of shared images; positions count from 1.
class ImageCollection {
public:
    int count() const { return int(m_images.size()); }
    // The image at `position` (1..count()); throws ToolkitError (BadArgument) otherwise.
    std::shared_ptr<Image> item(int position) const;
    // Adds the image at the end.
    void add(std::shared_ptr<Image> image);
    // Reads a DICOM file and adds it at the end. An unreadable file raises ToolkitError and
    // adds nothing.
    std::shared_ptr<Image> readFile(const QString &path);
    // Removes the image at `position`; later images move up one place.
    void remove(int position);
    void clear() { m_images.clear(); }

private:
    std::vector<std::shared_ptr<Image>> m_images;
};

} // namespace ravlen::toolkit

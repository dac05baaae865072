#include "toolkit/imagecollection.h"

#include "core/errors.h"

namespace ravlen::toolkit {

namespace {

void checkPosition(int position, int count) {
    if (position < 1 || position > count) {
        throw ToolkitError(errc::BadArgument,
                           QStringLiteral("image collection: position %1 is outside 1 to %2")
                               .arg(position)
                               .arg(count)
                               .toStdString());
    }
}

} // namespace

std::shared_ptr<Image> ImageCollection::item(int position) const {
    checkPosition(position, count());
    return m_images[std::size_t(position - 1)];
}

void ImageCollection::add(std::shared_ptr<Image> image) {
    if (!image) {
        throw ToolkitError(errc::BadArgument, "image collection: no image to add");
    }
    m_images.push_back(std::move(image));
}

std::shared_ptr<Image> ImageCollection::readFile(const QString &path) {
    std::shared_ptr<Image> image = Image::fromFile(path);
    m_images.push_back(image);
    return image;
}

void ImageCollection::remove(int position) {
    checkPosition(position, count());
    m_images.erase(m_images.begin() + (position - 1));
}

} // namespace ravlen::toolkit

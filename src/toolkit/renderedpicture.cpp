#include "toolkit/renderedpicture.h"

#include "toolkit/image.h"
#include "toolkit/imagedata.h"
#include "toolkit/labelpainter.h"
#include "toolkit/picturefilters.h"
#include "toolkit/pipeline.h"
#include "toolkit/tilegeometry.h"

#include <QPainter>

#include <QTransform>

#include <algorithm>
#include <mutex>

namespace ravlen::toolkit {

QImage renderedFrame(const Image &image, int number, FrameLook look) {
    const PixelFrame frame = image.frame(number);
    RenderRequest request = image.windowRequest();
    if (look == FrameLook::Plain) {
        const StoredWindow w = image.defaultWindow();
        request = RenderRequest();
        if (const std::optional<VoiLut> &voi = image.data().voiLut; voi && !voi->data.empty()) {
            request.voiLut = &*voi;
        } else {
            request.center = w.center;
            request.width = w.width;
        }
    }
    QImage picture;
    {
        // The image's own table: an export of many frames under one window builds it once.
        Image::Data &data = image.data();
        std::lock_guard<std::mutex> lock(data.renderMutex);
        picture = renderFrame(frame, data.modality, request, data.displayLut);
    }
    if (look == FrameLook::Plain) {
        return picture;
    }
    // Effects before turning, as the tiles do, so they look the same whichever way it is shown.
    applyPictureEffects(picture, image.pictureEffects());
    if (image.rotation() != 0) {
        // Quarter turns are exact pixel moves; Qt's angle counts clockwise.
        picture = picture.transformed(QTransform().rotate(-90.0 * image.rotation()));
    }
    if (const int flip = image.flipState(); flip != 0) {
        picture =
            std::move(picture).mirrored(flip & Image::FlipHorizontal, flip & Image::FlipVertical);
    }
    return picture;
}

QImage renderedPicture(const Image &image) {
    if (!image.hasPixelData()) {
        return QImage();
    }
    const int current = std::clamp(image.currentFrame(), 1, image.frameCount());
    QImage picture = renderedFrame(image, current).convertToFormat(QImage::Format_RGB32);
    drawLabels(picture, image);
    return picture;
}

void drawLabels(QImage &picture, const Image &image) {
    const LabelCollection &labels = image.labels();
    if (labels.count() == 0 || picture.isNull()) {
        return;
    }
    // The picture is the whole image fitted exactly, turned and mirrored as shown, so labels on
    // the image's pixels land where the viewer shows them. The overlay texts and side markers
    // (labels placed in thousandths of a cell) belong to the viewer's cells, not to the image:
    // they are left out, so a pasted or printed picture never carries them twice.
    TileView view;
    view.image = QSize(image.columns(), image.rows());
    view.cell = picture.size();
    view.rotation = image.rotation();
    view.flip = image.flipState();
    const TileTransform transform = tileTransform(view);
    const QRect cell(QPoint(0, 0), picture.size());
    QPainter painter(&picture);
    for (int i = 1; i <= labels.count(); ++i) {
        const Label &label = *labels.item(i);
        if (label.state != Label::Deleted && !label.cellRelative) {
            paintLabel(painter, label, placeLabel(label, &transform, cell));
        }
    }
}

} // namespace ravlen::toolkit

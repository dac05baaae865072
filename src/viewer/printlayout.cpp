#include "viewer/printlayout.h"

#include "core/formats.h"

#include <cmath>

namespace ravlen::viewer {

QSize fitIntoBox(int boxWidth, int boxHeight, QSize image) {
    if (image.width() <= 0 || image.height() <= 0) {
        return QSize();
    }
    const double sx = double(boxWidth) / image.width();
    const double sy = double(boxHeight) / image.height();
    if (sx < sy) {
        return QSize(boxWidth, fmt::toInt16(image.height() * sx));
    }
    return QSize(fmt::toInt16(image.width() * sy), boxHeight);
}

QString instanceNumberText(const QVariant &value) {
    QVariant v = value;
    if (v.typeId() == QMetaType::QVariantList) {
        v = v.toList().value(0);
    }
    bool ok = false;
    const double number = v.toDouble(&ok);
    // Beyond what an integer string holds it is no instance number.
    if (!ok || !std::isfinite(number) || std::abs(number) > 1e15) {
        return QString();
    }
    return QString::number(qint64(fmt::roundHalfEven(number)));
}

std::vector<PrintPage> layoutAllImages(const std::vector<QSize> &imageSizes) {
    std::vector<PrintPage> pages;
    int y = kFirstRowY;
    for (std::size_t k = 0; k < imageSizes.size(); ++k) {
        const int i = int(k) + 1;
        const int r = i % kImagesPerPage;
        if (r == 1) {
            pages.emplace_back();
        }
        int x = kRightNumberX;
        if (i % 2 == 1) {
            x = kLeftNumberX;
            y = r == 1 ? kFirstRowY : y + kRowStep;
        }
        const QSize size = fitIntoBox(kAllBoxWidth, kAllBoxHeight, imageSizes[k]);
        pages.back().push_back(
            PlacedImage{int(k), QPoint(x, y), QRect(QPoint(x + kNumberToPicture, y), size)});
    }
    return pages;
}

PrintPage layoutSelectedImage(QSize imageSize) {
    const QSize size = fitIntoBox(kSelectedBoxWidth, kSelectedBoxHeight, imageSize);
    return {PlacedImage{0, QPoint(kSelectedNumberX, kSelectedNumberY),
                        QRect(QPoint(kSelectedPictureX, kSelectedNumberY), size)}};
}

} // namespace ravlen::viewer

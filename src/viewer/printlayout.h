#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>

#include <vector>

// Where printed images go on the page, in twips (1/1440 inch) from the top-left corner of the
// printer's printable area. Plain arithmetic: the printing routine maps it to the printer.
namespace ravlen::viewer {

inline const QString kPrintAllQuestion =
    QStringLiteral("All images will be printed.\r\nAre you sure?");
inline const QString kPrintFont = QStringLiteral("Arial");
inline constexpr int kPrintFontPoints = 10;

// "Print": six images to a page, two columns by three rows.
inline constexpr int kAllBoxWidth = 5240;
inline constexpr int kAllBoxHeight = 4330;
inline constexpr int kImagesPerPage = 6;
inline constexpr int kLeftNumberX = 100;
inline constexpr int kRightNumberX = 5700;
inline constexpr int kFirstRowY = 1500;
inline constexpr int kRowStep = 4430;
// The picture starts this far right of its instance number.
inline constexpr int kNumberToPicture = 350;

// "Print Selected Image": one image on one page.
inline constexpr int kSelectedBoxWidth = 10580;
inline constexpr int kSelectedBoxHeight = 13190;
inline constexpr int kSelectedNumberX = 100;
inline constexpr int kSelectedNumberY = 1500;
inline constexpr int kSelectedPictureX = 450;

// The printed size of an image of `image` pixels fitted into a box of `boxWidth` x
// `boxHeight` twips: proportions kept, the tighter side filling the box, the other side
// rounded halves to even. An image without pixels gets no size.
QSize fitIntoBox(int boxWidth, int boxHeight, QSize image);

// The instance number printed beside an image, from the value of (0020,0013): a whole number
// (halves to even), empty when the image has none or it is not a number.
QString instanceNumberText(const QVariant &value);

// One image on a page: which one (0-based, in the order given), where its instance number is
// printed (the text's top-left corner) and the rectangle its picture is drawn into.
struct PlacedImage {
    int index = 0;
    QPoint number;
    QRect picture;
};

using PrintPage = std::vector<PlacedImage>;

// A text printed on every page, its top-left corner at `at` (twips).
struct PageText {
    QPoint at;
    QString text;
};

// Every image, six to a page, in the order given; no images give no pages.
std::vector<PrintPage> layoutAllImages(const std::vector<QSize> &imageSizes);

// The one page of the selected image.
PrintPage layoutSelectedImage(QSize imageSize);

} // namespace ravlen::viewer

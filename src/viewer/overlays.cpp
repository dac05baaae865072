#include "viewer/overlays.h"

#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/label.h"

namespace ravlen::viewer {

namespace {

using toolkit::Label;

void addBlock(toolkit::Image &image, const BlockPlace &place, const QString &text) {
    const std::shared_ptr<Label> label = image.labels().create();
    label->type = Label::Text;
    label->cellRelative = true;
    label->left = place.left;
    label->top = place.top;
    label->width = place.width;
    label->height = place.height;
    label->fontSize = kOverlayFontSize;
    if (place.alignment) {
        label->alignment = *place.alignment;
    }
    label->font = kOverlayFont;
    label->foreColour = 0xFFFFFF;
    label->text = text;
}

// A label with the side markers' defaults: cell-relative, 200 x 200 thousandths, white.
std::shared_ptr<Label> marker(toolkit::Image &image, int type) {
    const std::shared_ptr<Label> label = image.labels().create();
    label->type = type;
    label->cellRelative = true;
    label->markerFlag = type == Label::EdgeBar;
    label->width = type == Label::EdgeBar ? 25 : 200;
    label->height = type == Label::EdgeBar ? 300 : 200;
    label->foreColour = 0xFFFFFF;
    label->markerStyle = 2;
    return label;
}

void addMarkers(toolkit::Image &image) {
    struct Place {
        const char *text;
        int alignment;
    };
    const Place places[] = {{"LEFT", 0}, {"TOP", 1}, {"RIGHT", 2}, {"BOTTOM", 9}};
    // The dark set first, the white set over it: each marker reads on any grey.
    for (const bool dark : {true, false}) {
        for (const Place &p : places) {
            const std::shared_ptr<Label> l = marker(image, Label::SideMarker);
            const QString text = QString::fromLatin1(p.text);
            const double w = l->width;
            const double h = l->height;
            if (text == QLatin1String("LEFT")) {
                l->left = 0;
                l->top = 500;
            } else if (text == QLatin1String("TOP")) {
                l->left = 500 - w / 2;
                l->top = 0;
            } else if (text == QLatin1String("RIGHT")) {
                l->left = 1000 - w;
                l->top = 500;
            } else {
                l->left = 500 - w / 2;
                l->top = 1000 - h;
            }
            l->alignment = p.alignment;
            if (dark) {
                l->foreColour = 0;
                l->font = QStringLiteral("Arial Bold");
                l->fontSize = 9;
            }
            l->text = text;
        }
    }
    const std::shared_ptr<Label> left = marker(image, Label::EdgeBar);
    left->left = 60 - left->width;
    left->top = 350;
    left->alignment = 2;
    const std::shared_ptr<Label> bottom = marker(image, Label::EdgeBar);
    bottom->left = 400 - bottom->width / 2;
    bottom->top = 1250 - bottom->height;
    bottom->width = 250;
    bottom->height = -30;
    bottom->alignment = 9;
}

} // namespace

void BuildOverlay(toolkit::Image &image, const TextModes &modes,
                  const std::optional<PresetWindow> &preset) {
    const OverlayBlocks blocks = composeOverlay(overlayFieldsOf(image), modes);
    addBlock(image, kTopLeftBlock, blocks.topLeft);
    addBlock(image, kBottomLeftBlock, blocks.bottomLeft);
    addBlock(image, kTopRightBlock, blocks.topRight);
    if (preset) {
        image.setWidth(preset->width);
        image.setLevel(preset->level);
    }
}

void RemoveOverlay(toolkit::Image &image) {
    const QString institution = image.attribute(0x0008, 0x0080).toString();
    toolkit::LabelCollection &labels = image.labels();
    for (int i = labels.count(); i >= 1; --i) {
        const Label &label = *labels.item(i);
        if (label.type != Label::Text) {
            continue;
        }
        // Blocks of a build whose first line was left out are still known by their place in
        // the cell; the user's labels never are cell-relative.
        if (isOverlayText(label.text, institution) || label.cellRelative) {
            labels.remove(i);
        }
    }
}

void RefreshOverlays(toolkit::ImageCollection &images, const TextModes &modes,
                     const std::optional<PresetWindow> &preset) {
    for (int p = 1; p <= images.count(); ++p) {
        toolkit::Image &image = *images.item(p);
        RemoveOverlay(image);
        BuildOverlay(image, modes, preset);
    }
}

void BuildMissingOverlays(toolkit::ImageCollection &images, const TextModes &modes) {
    for (int p = 1; p <= images.count(); ++p) {
        toolkit::Image &image = *images.item(p);
        const toolkit::LabelCollection &labels = image.labels();
        bool built = false;
        for (int i = 1; i <= labels.count() && !built; ++i) {
            built = labels.item(i)->type == Label::Text && labels.item(i)->cellRelative;
        }
        if (!built) {
            BuildOverlay(image, modes);
        }
    }
}

void DrawSideMarkers(toolkit::ImageCollection &images, bool markersOn) {
    for (int p = 1; p <= images.count(); ++p) {
        toolkit::LabelCollection &labels = images.item(p)->labels();
        for (int i = labels.count(); i >= 1; --i) {
            const Label &label = *labels.item(i);
            const bool oldBar = markersOn && label.type == Label::EdgeBar && label.cellRelative;
            if (label.type == Label::SideMarker || oldBar) {
                labels.remove(i);
            }
        }
        if (markersOn) {
            addMarkers(*images.item(p));
        }
    }
}

} // namespace ravlen::viewer

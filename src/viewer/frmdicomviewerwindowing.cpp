// The viewer window's grey-scale window, sharpening and smoothing controls on the side panel.
#include "viewer/frmdicomviewer.h"

#include "core/prompter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/boxkeys.h"
#include "viewer/overlays.h"
#include "viewer/windowingrules.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace ravlen {

namespace {

void setRange(QSlider *slider, const viewer::SliderRange &range) {
    const QSignalBlocker block(slider);
    slider->setRange(range.minimum, range.maximum);
    slider->setValue(range.value);
}

viewer::SliderRange rangeOf(const QSlider *slider) {
    return {slider->minimum(), slider->maximum(), slider->value()};
}

// Puts a value on a slider, widening its range when needed, without running its change; the
// caller runs the change itself, so it runs even when the slider already showed the value.
void putOnSlider(QSlider *slider, int value) {
    setRange(slider, viewer::withValue(rangeOf(slider), value));
}

QSlider *makeSlider(QWidget *parent, const QString &name, const viewer::SliderRange &range) {
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    setRange(slider, range);
    return slider;
}

} // namespace

void frmDicomViewer::buildWindowingControls(QGridLayout *grid, int &row) {
    QWidget *panel = fraMain;
    // A caption and its box on one line, the slider under them across the panel.
    const auto addSlider = [&](const QString &caption, const QString &labelName, QLabel *&label,
                               const QString &sliderName, QSlider *&slider,
                               const viewer::SliderRange &range, const QString &boxName,
                               QLineEdit **box) {
        label = new QLabel(caption, panel);
        label->setObjectName(labelName);
        grid->addWidget(label, row, 0);
        if (box) {
            // Empty until typed into: the boxes do not follow the sliders, so a number here
            // would soon be a stale one.
            *box = new QLineEdit(panel);
            (*box)->setObjectName(boxName);
            (*box)->setMaximumWidth(64);
            grid->addWidget(*box, row, 1, 1, 2);
        }
        ++row;
        slider = makeSlider(panel, sliderName, range);
        grid->addWidget(slider, row++, 0, 1, 3);
    };
    addSlider(QStringLiteral("Level"), QStringLiteral("LevelLabel"), LevelLabel,
              QStringLiteral("LevelSlider"), LevelSlider, viewer::kLevelSliderStart,
              QStringLiteral("level1"), &level1);
    addSlider(QStringLiteral("Width"), QStringLiteral("WidthLabel"), WidthLabel,
              QStringLiteral("WidthSlider"), WidthSlider, viewer::kWidthSliderStart,
              QStringLiteral("width1"), &width1);
    addSlider(QStringLiteral("Level / Width"), QStringLiteral("WLLabel"), WLLabel,
              QStringLiteral("WLSlider"), WLSlider, viewer::kCombinedSliderStart, QString(),
              nullptr);

    optAllChange = new QCheckBox(QStringLiteral("All Change"), panel);
    optAllChange->setObjectName(QStringLiteral("optAllChange"));
    cmdDefLevel = new QPushButton(QStringLiteral("Default Level"), panel);
    cmdDefLevel->setObjectName(QStringLiteral("cmdDefLevel"));
    grid->addWidget(optAllChange, row, 0);
    grid->addWidget(cmdDefLevel, row++, 1, 1, 2);

    auto *presets = new QGridLayout;
    presets->setSpacing(2);
    QPushButton **buttons[] = {&btnHead, &btnAbdomen, &btnMediastinum,
                               &btnLung, &btnSpine,   &btnVertebrae};
    int index = 0;
    for (const viewer::WindowPreset &preset : viewer::windowPresets()) {
        auto *button = new QPushButton(QString::fromLatin1(preset.caption), panel);
        button->setObjectName(QString::fromLatin1(preset.button));
        *buttons[index] = button;
        presets->addWidget(button, index / 2, index % 2);
        ++index;
    }
    grid->addLayout(presets, row++, 0, 1, 3);

    chkSharp = new QCheckBox(QStringLiteral("Sharp"), panel);
    chkSharp->setObjectName(QStringLiteral("chkSharp"));
    grid->addWidget(chkSharp, row++, 0, 1, 3);
    fraSharp = new QGroupBox(QStringLiteral("Sharp"), panel);
    fraSharp->setObjectName(QStringLiteral("fraSharp"));
    auto *sharp = new QGridLayout(fraSharp);
    sldSharp = makeSlider(fraSharp, QStringLiteral("sldSharp"), viewer::kSharpSliderStart);
    sldSharpLength =
        makeSlider(fraSharp, QStringLiteral("sldSharpLength"), viewer::kSharpLengthSliderStart);
    sharp->addWidget(sldSharp, 0, 0, 1, 2);
    sharp->addWidget(new QLabel(QStringLiteral("length"), fraSharp), 1, 0);
    sharp->addWidget(sldSharpLength, 1, 1);
    fraSharp->setVisible(false);
    grid->addWidget(fraSharp, row++, 0, 1, 3);

    fraSmoothing = new QGroupBox(QStringLiteral("Change Smoothing Type"), panel);
    fraSmoothing->setObjectName(QStringLiteral("fraSmoothing"));
    // One group above the other: side by side the captions do not fit the panel.
    auto *smoothing = new QVBoxLayout(fraSmoothing);
    const auto addGroup = [&](const QString &caption) {
        auto *group = new QGroupBox(caption, fraSmoothing);
        group->setLayout(new QVBoxLayout);
        smoothing->addWidget(group);
        return group;
    };
    const auto addOption = [](QGroupBox *group, const QString &caption, const QString &name) {
        auto *option = new QRadioButton(caption, group);
        option->setObjectName(name);
        group->layout()->addWidget(option);
        return option;
    };
    QGroupBox *magnification = addGroup(QStringLiteral("Magnification"));
    Replicate =
        addOption(magnification, QStringLiteral("Pixel Value"), QStringLiteral("Replicate"));
    BSpline = addOption(magnification, QStringLiteral("B-Spline"), QStringLiteral("BSpline"));
    CubicSpline =
        addOption(magnification, QStringLiteral("Cubic Spline"), QStringLiteral("CubicSpline"));
    QGroupBox *minification = addGroup(QStringLiteral("Minification"));
    PixelValues =
        addOption(minification, QStringLiteral("Pixel Value"), QStringLiteral("PixelValues"));
    MovingAverage =
        addOption(minification, QStringLiteral("Moving Average"), QStringLiteral("MovingAverage"));
    fraSmoothing->setVisible(false);
    grid->addWidget(fraSmoothing, row++, 0, 1, 3);

    // Every value change applies at once, dragged or set by keys; the overlay texts follow the
    // drag and its end.
    connect(LevelSlider, &QSlider::valueChanged, this, &frmDicomViewer::LevelSlider_Change);
    connect(WidthSlider, &QSlider::valueChanged, this, &frmDicomViewer::WidthSlider_Change);
    connect(WLSlider, &QSlider::valueChanged, this, &frmDicomViewer::WLSlider_Change);
    for (QSlider *slider : {LevelSlider, WidthSlider, WLSlider}) {
        connect(slider, &QSlider::sliderMoved, this, &frmDicomViewer::RefreshWindowingText);
        connect(slider, &QSlider::sliderReleased, this, [this] {
            RefreshWindowingText();
            drawAtFullQuality();
        });
    }
    viewer::watchBox(
        level1, [this] { level1_LostFocus(); }, [this](int key) { return level1_KeyDown(key); });
    viewer::watchBox(
        width1, [this] { width1_LostFocus(); }, [this](int key) { return width1_KeyDown(key); });
    connect(cmdDefLevel, &QPushButton::clicked, this, &frmDicomViewer::cmdDefLevel_Click);
    connect(btnHead, &QPushButton::clicked, this, &frmDicomViewer::btnHead_Click);
    connect(btnAbdomen, &QPushButton::clicked, this, &frmDicomViewer::btnAbdomen_Click);
    connect(btnMediastinum, &QPushButton::clicked, this, &frmDicomViewer::btnMediastinum_Click);
    connect(btnLung, &QPushButton::clicked, this, &frmDicomViewer::btnLung_Click);
    connect(btnSpine, &QPushButton::clicked, this, &frmDicomViewer::btnSpine_Click);
    connect(btnVertebrae, &QPushButton::clicked, this, &frmDicomViewer::btnVertebrae_Click);
    connect(chkSharp, &QCheckBox::clicked, this, &frmDicomViewer::chkSharp_Click);
    connect(sldSharp, &QSlider::valueChanged, this, &frmDicomViewer::sldSharp_Change);
    connect(sldSharpLength, &QSlider::valueChanged, this, &frmDicomViewer::sldSharpLength_Change);
    connect(Replicate, &QRadioButton::clicked, this, &frmDicomViewer::Replicate_Click);
    connect(BSpline, &QRadioButton::clicked, this, &frmDicomViewer::BSpline_Click);
    connect(CubicSpline, &QRadioButton::clicked, this, &frmDicomViewer::CubicSpline_Click);
    connect(PixelValues, &QRadioButton::clicked, this, &frmDicomViewer::PixelValues_Click);
    connect(MovingAverage, &QRadioButton::clicked, this, &frmDicomViewer::MovingAverage_Click);
}

// --- level and width

void frmDicomViewer::LevelSlider_Change() {
    markShown();
    guarded([this] {
        const std::shared_ptr<toolkit::Image> selected = GetSelectedImage();
        const double level = LevelSlider->value();
        for (const auto &image :
             viewer::changeTargets(selected, Viewer->images(), optAllChange->isChecked())) {
            image->setLevel(level);
        }
    });
}

void frmDicomViewer::WidthSlider_Change() {
    markShown();
    guarded([this] {
        const std::shared_ptr<toolkit::Image> selected = GetSelectedImage();
        // A slider dragged below 1 still means the narrowest window, not an inverted one.
        const double width = std::max(WidthSlider->value(), 1);
        for (const auto &image :
             viewer::changeTargets(selected, Viewer->images(), optAllChange->isChecked())) {
            image->setWidth(width);
        }
    });
}

void frmDicomViewer::WLSlider_Change() {
    guarded([this] {
        const viewer::Window window = viewer::combinedWindow(WLSlider->value());
        putOnSlider(WidthSlider, window.width);
        WidthSlider_Change();
        putOnSlider(LevelSlider, window.level);
        LevelSlider_Change();
    });
}

void frmDicomViewer::level1_LostFocus() {
    guarded([this] {
        const viewer::TypedNumber typed = viewer::typedLevel(level1->text());
        if (!typed.error.isEmpty()) {
            prompter().message(typed.error, Prompter::Icon::Warning, Prompter::Ok, QString(), this);
            return;
        }
        putOnSlider(LevelSlider, int(typed.value));
        LevelSlider_Change();
        drawAtFullQuality();
    });
}

void frmDicomViewer::width1_LostFocus() {
    guarded([this] {
        const viewer::TypedNumber typed = viewer::typedWidth(width1->text());
        if (!typed.error.isEmpty()) {
            prompter().message(typed.error, Prompter::Icon::Warning, Prompter::Ok, QString(), this);
            return;
        }
        putOnSlider(WidthSlider, int(typed.value));
        WidthSlider_Change();
        drawAtFullQuality();
    });
}

bool frmDicomViewer::level1_KeyDown(int KeyCode) {
    return viewer::boxKey(KeyCode, Viewer, LevelSlider);
}

bool frmDicomViewer::width1_KeyDown(int KeyCode) {
    return viewer::boxKey(KeyCode, Viewer, WidthSlider);
}

// --- presets and the default window

void frmDicomViewer::applyPreset(const QString &button) {
    const std::optional<viewer::WindowPreset> preset = viewer::presetByButton(button);
    if (!preset) {
        return;
    }
    m_presetInProgress = true;
    guarded([&] {
        putOnSlider(WidthSlider, preset->width);
        WidthSlider_Change();
        putOnSlider(LevelSlider, preset->level);
        LevelSlider_Change();
        RefreshWindowingText();
        drawAtFullQuality();
    });
    m_presetInProgress = false;
}

void frmDicomViewer::btnHead_Click() {
    applyPreset(QStringLiteral("btnHead"));
}
void frmDicomViewer::btnAbdomen_Click() {
    applyPreset(QStringLiteral("btnAbdomen"));
}
void frmDicomViewer::btnMediastinum_Click() {
    applyPreset(QStringLiteral("btnMediastinum"));
}
void frmDicomViewer::btnLung_Click() {
    applyPreset(QStringLiteral("btnLung"));
}
void frmDicomViewer::btnSpine_Click() {
    applyPreset(QStringLiteral("btnSpine"));
}
void frmDicomViewer::btnVertebrae_Click() {
    applyPreset(QStringLiteral("btnVertebrae"));
}

void frmDicomViewer::cmdDefLevel_Click() {
    guarded([this] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        image->applyDefaultWindow();
        setWindowingRanges(*image);
        image->setFullQuality(true);
    });
}

void frmDicomViewer::setWindowingRanges(const toolkit::Image &image) {
    const viewer::DefaultLevelRanges ranges =
        viewer::defaultLevelRanges(image.width(), image.level());
    // The ranges are set without running the sliders' changes, which would carry the window to
    // every image under "All Change".
    setRange(WidthSlider, ranges.width);
    setRange(LevelSlider, ranges.level);
}

void frmDicomViewer::RefreshWindowingText() {
    guarded([this] {
        GetSelectedImage()->setFullQuality(false);
        redrawOverlays(optAllChange->isChecked());
    });
}

void frmDicomViewer::redrawOverlays(bool all) {
    if (all) {
        RefreshOverlays();
        return;
    }
    if (imageCount() == 0) {
        return;
    }
    toolkit::Image &image = *GetSelectedImage();
    viewer::RemoveOverlay(image);
    viewer::BuildOverlay(image, m_textModes, presetWindow());
    Viewer->refresh();
}

std::optional<viewer::PresetWindow> frmDicomViewer::presetWindow() const {
    // While a preset is applied the overlay takes the window from the sliders.
    if (!m_presetInProgress) {
        return std::nullopt;
    }
    return viewer::PresetWindow{double(WidthSlider->value()), double(LevelSlider->value())};
}

// A drag draws the fast way; once a change is complete the image is drawn with its chosen
// filter again.
void frmDicomViewer::drawAtFullQuality() {
    GetSelectedImage()->setFullQuality(true);
}

void frmDicomViewer::GetWindowingValues() {
    guarded([this] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        if (!m_savedRendering) {
            m_savedRendering = image->fullQuality();
            m_savedMinification = image->minificationMethod();
        }
        image->setFullQuality(false);
        image->setMinificationMethod(viewer::kMinPixelValues);
        Viewer->refresh();
    });
}

// --- visibility, as the image controls are refreshed

void frmDicomViewer::refreshWindowingControls() {
    std::optional<viewer::ImageFacts> facts;
    if (imageCount() >= 1) {
        facts = viewer::imageFacts(*GetSelectedImage());
    }
    const viewer::WindowingVisibility v = viewer::windowingVisibility(facts);
    for (QWidget *w : {static_cast<QWidget *>(LevelSlider), static_cast<QWidget *>(LevelLabel),
                       static_cast<QWidget *>(WidthSlider), static_cast<QWidget *>(WidthLabel)}) {
        w->setVisible(v.levelWidth);
    }
    WLSlider->setVisible(v.combined);
    WLLabel->setVisible(v.combined);
    level1->setVisible(v.boxes);
    width1->setVisible(v.boxes);
    if (v.levelMaximum) {
        const QSignalBlocker block(LevelSlider);
        LevelSlider->setMaximum(*v.levelMaximum);
    }
    if (v.widthMaximum) {
        const QSignalBlocker block(WidthSlider);
        WidthSlider->setMaximum(*v.widthMaximum);
    }
    m_savedRendering = false;
}

// --- sharpening, smoothing and enhancement

void frmDicomViewer::chkSharp_Click() {
    fraSharp->setVisible(fraSharp->isHidden());
}

void frmDicomViewer::sldSharp_Change() {
    guarded([this] {
        GetSelectedImage()->setSharpening(viewer::sharpeningStrength(sldSharp->value()));
    });
}

void frmDicomViewer::sldSharpLength_Change() {
    guarded([this] { GetSelectedImage()->setSharpeningLength(sldSharpLength->value()); });
}

void frmDicomViewer::cmdSmooth_Click() {
    guarded([this] {
        if (imageCount() >= 1) {
            // The frame opens on the methods the image is drawn with.
            const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
            Replicate->setChecked(image->magnificationMethod() == viewer::kMagReplicate);
            BSpline->setChecked(image->magnificationMethod() == viewer::kMagBSpline);
            CubicSpline->setChecked(image->magnificationMethod() == viewer::kMagCubicSpline);
            PixelValues->setChecked(image->minificationMethod() == viewer::kMinPixelValues);
            MovingAverage->setChecked(image->minificationMethod() == viewer::kMinMovingAverage);
        }
        showPanel(true);
        fraSmoothing->setVisible(true);
    });
}

void frmDicomViewer::setSmoothingMethod(int magnification, int minification) {
    guarded([&] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        if (magnification) {
            image->setMagnificationMethod(magnification);
        }
        if (minification) {
            image->setMinificationMethod(minification);
        }
        fraSmoothing->setVisible(false);
    });
}

void frmDicomViewer::Replicate_Click() {
    setSmoothingMethod(viewer::kMagReplicate, 0);
}
void frmDicomViewer::BSpline_Click() {
    setSmoothingMethod(viewer::kMagBSpline, 0);
}
void frmDicomViewer::CubicSpline_Click() {
    setSmoothingMethod(viewer::kMagCubicSpline, 0);
}
void frmDicomViewer::PixelValues_Click() {
    setSmoothingMethod(0, viewer::kMinPixelValues);
}
void frmDicomViewer::MovingAverage_Click() {
    setSmoothingMethod(0, viewer::kMinMovingAverage);
}

void frmDicomViewer::mnuDisplayEnhance_Click() {
    // The entry is checkable, so the trigger has already flipped the mark.
    Image_Enhance(entry(QStringLiteral("mnuDisplayEnhance"))->isChecked());
}

void frmDicomViewer::Image_Enhance(bool enhance) {
    guarded([&] {
        GetSelectedImage()->setEnhance(enhance);
        toolkit::ImageCollection &images = Viewer->images();
        for (int p = 1; p <= images.count(); ++p) {
            images.item(p)->setEnhance(enhance);
        }
        Viewer->refresh();
    });
}

} // namespace ravlen

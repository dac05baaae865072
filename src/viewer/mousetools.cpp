#include "viewer/mousetools.h"

#include "core/errors.h"
#include "core/prompter.h"
#include "dialogs/labelform.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/label.h"
#include "toolkit/measure.h"
#include "toolkit/tilegeometry.h"
#include "toolkit/viewercontrol.h"
#include "viewer/paletteicons.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace ravlen::viewer {

namespace {

constexpr int kTwips = 15;

// The message of a release that could not be completed.
const QString kEventNotValid = QStringLiteral("Event not valid!");

// A failure while finishing a label or a measurement that the user must hear about in its
// own words rather than as an invalid event.
struct PlainMessage {
    QString text;
};

toolkit::TileTransform transformOf(const toolkit::ViewerControl &viewer, int position) {
    return viewer.tileTransformAt(position).value_or(toolkit::TileTransform());
}

} // namespace

MouseTools::MouseTools(MouseWindow &window, toolkit::ViewerControl &viewer, QObject *parent)
    : QObject(parent), m_window(window), m_viewer(viewer) {}

MouseTools::~MouseTools() = default;

QGroupBox *MouseTools::buildPalette(QWidget *parent) {
    auto *frame = new QGroupBox(QStringLiteral(" Mouse Function "), parent);
    frame->setObjectName(QStringLiteral("fraMouse"));
    const int side = kPaletteButtonTwips / kTwips;
    frame->setMinimumSize((paletteLeftTwips(8) + kPaletteButtonTwips + 75) / kTwips + 2,
                          (paletteTopTwips(2) + kPaletteButtonTwips + 90) / kTwips);
    m_buttons = new QButtonGroup(frame);
    m_buttons->setExclusive(true);
    for (const PaletteButton &b : paletteButtons()) {
        auto *button = new QToolButton(frame);
        button->setObjectName(QStringLiteral("Mouse%1").arg(b.value));
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus); // the keyboard stays with the viewer
        button->setGeometry(paletteLeftTwips(b.column) / kTwips, paletteTopTwips(b.row) / kTwips,
                            side, side);
        if (b.icon) {
            button->setIcon(paletteIcon(b.value));
            button->setIconSize(QSize(side - 5, side - 5));
        } else {
            button->setText(QString::fromLatin1(b.face));
        }
        button->setToolTip(QString::fromLatin1(b.toolTip));
        m_buttons->addButton(button, b.value);
        m_buttonOf[b.value] = button;
    }
    m_buttonOf[mouse::Select]->setChecked(true);
    connect(m_buttons, &QButtonGroup::idClicked, this, [this](int id) { Mouse_Click(id); });
    return frame;
}

QToolButton *MouseTools::button(int function) const {
    const auto found = m_buttonOf.find(function);
    return found == m_buttonOf.end() ? nullptr : found->second;
}

void MouseTools::setPaletteEnabled(bool enabled, bool stretchToFitTicked) {
    for (const auto &[function, b] : m_buttonOf) {
        if (const std::optional<bool> on = paletteEnabled(function, enabled, stretchToFitTicked)) {
            b->setEnabled(*on);
        }
    }
}

void MouseTools::Mouse_Click(int Index) {
    ClickStep = 1;
    MouseFunction = Index;
    if (Index == mouse::Text || Index == mouse::Measure) {
        labelForm().prepareForMouseFunction(Index);
    }
    if (QToolButton *b = button(Index); b && !b->isChecked()) {
        b->setChecked(true);
    }
    m_viewer.setFocus();
}

// --- press

void MouseTools::Viewer_MouseDown(int Button, int Shift, int X, int Y) {
    press(Button, Shift, X, Y);
    LastDownX = X;
    LastDownY = Y;
    if (Button == 2) {
        m_window.popupContextMenu(QPoint(X, Y));
    }
}

void MouseTools::press(int Button, int Shift, int X, int Y) {
    Q_UNUSED(Button);
    const int hit = m_viewer.imageIndexAt(QPoint(X, Y));
    const int count = m_viewer.images().count();
    const bool inRange = hit >= 1 && hit <= count;
    if (isLabelTool(MouseFunction)) {
        BeginLabel(X, Y);
        return;
    }
    switch (MouseFunction) {
    case mouse::Select:
        m_window.selectByMouse(hit);
        if (Shift == 1 && !m_window.stretchToFitTicked() && inRange) {
            startPan(hit, X, Y);
        }
        break;
    case mouse::Window2:
        m_window.setCurrentPosition(hit);
        if (inRange) {
            // The image under the pointer gives the anchors: it is the one the drag changes.
            WindowDragging = true;
            WindowDragImage = m_viewer.images().item(hit);
            DragAnchorXY = windowAnchor(WindowDragImage->width(), WindowDragImage->level(), X, Y);
        }
        break;
    case mouse::Hand:
        m_window.setCurrentPosition(hit);
        if (inRange) {
            startPan(hit, X, Y);
        }
        break;
    case mouse::Magnify: {
        m_window.setCurrentPosition(hit);
        if (!inRange) {
            break;
        }
        MagnifierWidth = kMagnifierSize;
        MagnifierHeight = kMagnifierSize;
        const std::shared_ptr<toolkit::Image> under = m_viewer.images().item(hit);
        const toolkit::TileTransform shown = transformOf(m_viewer, hit);
        m_viewer.setAutoRedraw(false);
        // A copy over the same decoded pixels: the magnifier never decodes again.
        m_viewer.images().add(under->duplicate());
        m_viewer.setAutoRedraw(true);
        MagnifierImage = m_viewer.images().item(m_viewer.images().count());
        MagnifierImage->setStretch(false);
        MagnifierImage->setBorder(0); // the viewer frames an image drawn over the grid
        // The true pixels, enlarged: a looking glass shows the pixel grid rather than a blur.
        MagnifierImage->setMagnificationMethod(1);
        // The glass shows the frame under it rather than playing on its own clock.
        MagnifierImage->setCineMode(0);
        m_magnified = under;
        m_magnifiedScale = kMagnifierFactor * shown.pixelScale();
        MagnifierOn = true;
        SetMagnifier(X, Y);
        break;
    }
    case mouse::Protractor:
        protractorPress(X, Y);
        break;
    case mouse::Cobb:
        cobbPress(X, Y);
        break;
    case mouse::Window: {
        m_window.GetWindowingValues();
        const std::shared_ptr<toolkit::Image> image = m_window.GetSelectedImage();
        WindowAnchorXY = windowAnchor(image->width(), image->level(), X, Y);
        break;
    }
    case mouse::Cine:
        WindowAnchorXY = DragAnchor{double(X), double(Y)};
        break;
    default:
        break;
    }
}

void MouseTools::startPan(int hit, int X, int Y) {
    Panning = true;
    PanImage = m_viewer.images().item(hit);
    const toolkit::TileTransform t = transformOf(m_viewer, hit);
    m_panScale = QPointF(t.scaleX() > 0.0 ? t.scaleX() : 1.0, t.scaleY() > 0.0 ? t.scaleY() : 1.0);
    // The anchor is kept in the viewer's pixels, so the image follows the pointer exactly.
    const QPointF scroll = PanImage->scrollOffset();
    DragAnchorXY =
        panAnchor(QPointF(scroll.x() * m_panScale.x(), scroll.y() * m_panScale.y()), X, Y);
}

void MouseTools::panTo(int X, int Y) {
    if (!Panning || !PanImage) {
        return; // no pan was ever started in this window
    }
    const QPointF pixels = panScroll(DragAnchorXY, X, Y);
    PanImage->setScrollOffset(QPointF(pixels.x() / m_panScale.x(), pixels.y() / m_panScale.y()));
}

// --- drag

void MouseTools::Viewer_MouseMove(int Button, int Shift, int X, int Y) {
    if (m_viewer.images().count() == 0) {
        return;
    }
    m_window.foldToolPanel();
    if (Button < 1) {
        return;
    }
    if (isLabelTool(MouseFunction)) {
        DragLabel(X, Y);
        return;
    }
    switch (MouseFunction) {
    case mouse::Select:
        if (Shift == 1 && !m_window.stretchToFitTicked()) {
            panTo(X, Y);
        }
        break;
    case mouse::Window2:
        if (WindowDragging && WindowDragImage) {
            const WindowValues w = windowDrag(DragAnchorXY, X, Y);
            // A window narrower than one unit shows nothing: the narrowest is kept instead.
            const double width = std::max(w.width, 1.0);
            WindowDragImage->setWidth(width);
            WindowDragImage->setLevel(w.level);
            if (m_window.allChangeTicked()) {
                toolkit::ImageCollection &images = m_viewer.images();
                for (int p = 1; p <= images.count(); ++p) {
                    images.item(p)->setWidth(width);
                    images.item(p)->setLevel(w.level);
                }
            }
        }
        break;
    case mouse::Hand:
        panTo(X, Y);
        break;
    case mouse::Magnify:
        if (MagnifierOn) {
            SetMagnifier(X, Y);
        }
        break;
    case mouse::Window: {
        const std::shared_ptr<toolkit::Image> image = m_window.GetSelectedImage();
        const WindowValues w = windowDrag(WindowAnchorXY, X, Y);
        image->setWidth(std::max(w.width, 1.0));
        image->setLevel(w.level);
        break;
    }
    case mouse::Cine: {
        const int current = m_viewer.currentIndex();
        if (current >= 1) {
            const std::shared_ptr<toolkit::Image> image = m_viewer.images().item(current);
            image->setCurrentFrame(cineFrame(int(WindowAnchorXY.x), X, image->frameCount()));
        }
        break;
    }
    default:
        break;
    }
}

// --- release

void MouseTools::Viewer_MouseUp(int Button, int Shift, int X, int Y) {
    Q_UNUSED(Button);
    Q_UNUSED(Shift);
    try {
        release(X, Y);
    } catch (const PlainMessage &m) {
        prompter().message(m.text, Prompter::Icon::Warning, Prompter::Ok, QString(),
                           m_window.promptParent());
    } catch (const std::exception &) {
        prompter().message(kEventNotValid, Prompter::Icon::Critical, Prompter::Ok, QString(),
                           m_window.promptParent());
    }
}

void MouseTools::release(int X, int Y) {
    m_release = QPoint(X, Y);
    if (isLabelTool(MouseFunction) && LabelDrawing) {
        FinishLabel();
    } else {
        if (MouseFunction == mouse::Magnify && MagnifierOn) {
            MagnifierOn = false;
            toolkit::ImageCollection &images = m_viewer.images();
            if (images.count() >= 1 && images.item(images.count()) == MagnifierImage) {
                images.remove(images.count());
            }
            MagnifierImage.reset();
            m_magnified.reset();
            m_viewer.refresh();
        }
        if (MouseFunction == mouse::Window) {
            RestoreMinification();
        }
    }
    m_window.RefreshOverlays();
}

void MouseTools::Viewer_DblClick() {
    if (MouseFunction != mouse::Text && MouseFunction != mouse::Measure) {
        m_window.LayoutSwitch();
    }
}

void MouseTools::RestoreMinification() {
    m_window.GetSelectedImage()->setMinificationMethod(m_window.savedMinification());
}

// --- magnifier

void MouseTools::SetMagnifier(int X, int Y) {
    const int hit = m_viewer.imageIndexAt(QPoint(X, Y));
    if (hit <= 0 || !MagnifierImage) {
        return;
    }
    const std::optional<QPointF> pixel = m_viewer.imagePixelAt(QPoint(X, Y));
    if (!pixel) {
        return; // beside the picture in its tile: the magnifier stays where it was
    }
    if (const auto under = m_magnified.lock()) {
        MagnifierImage->setCurrentFrame(under->currentFrame());
    }
    const MagnifierEdges e =
        magnifierEdges(X, Y, MagnifierWidth, MagnifierHeight, m_viewer.width(), m_viewer.height());
    const auto edge = [](double v) { return int(std::lround(v)); };
    MagnifierImage->setDisplayRect(QRect(edge(e.left), edge(e.top), edge(e.right) - edge(e.left),
                                         edge(e.bottom) - edge(e.top)));
    // The copy's zoom is relative to fitting its own rectangle: five times the shown scale
    // over the scale at which the image would just fit the magnifier as drawn.
    const int position = m_viewer.images().count();
    toolkit::TileView view;
    view.image = QSize(MagnifierImage->columns(), MagnifierImage->rows());
    view.cell = m_viewer.tileRect(position).size();
    view.rotation = MagnifierImage->rotation();
    const double fit = toolkit::tileTransform(view).pixelScale();
    if (fit > 0.0) {
        MagnifierImage->setZoom(m_magnifiedScale / fit);
    }
    // The pixel under the pointer at the centre: the offset from the image's centre, along
    // the screen's axes (turns and flips as the copy shows them).
    view.zoom = MagnifierImage->zoom();
    view.flip = MagnifierImage->flipState();
    const toolkit::TileTransform centred = toolkit::tileTransform(view);
    const QPointF cell = centred.toCell(*pixel);
    const QPointF offset = cell - QPointF(view.cell.width() / 2.0, view.cell.height() / 2.0);
    if (centred.scaleX() <= 0.0 || centred.scaleY() <= 0.0) {
        return; // a magnifier without area shows nothing
    }
    MagnifierImage->setScrollOffset(
        QPointF(offset.x() / centred.scaleX(), offset.y() / centred.scaleY()));
}

// --- label tools

void MouseTools::BeginLabel(int X, int Y) {
    const labels::LabelDefaults d = labelForm().defaults();
    CurrentLabel = std::make_shared<toolkit::Label>();
    toolkit::Label &label = *CurrentLabel;
    label.transparent = d.transparent;
    label.type = labelTypeFor(MouseFunction, d.shape);
    if (MouseFunction == mouse::Text) {
        label.transparent = false;
    }
    label.backColour = d.backColour;
    label.foreColour = d.foreColour;
    label.font = d.font;
    label.fontSize = d.fontSize;
    label.lineWidth = labels::lineWidthOf(d.lineWidth);
    label.alignment = d.alignment;
    LabelDrawing = true;
    label.left = X;
    label.top = Y;
    label.points.push_back(QPointF(X, Y));
    label.width = 0;
    label.height = 0;
    LabelDraw(m_viewer, label);
}

void MouseTools::DragLabel(int X, int Y) {
    if (!LabelDrawing || !CurrentLabel) {
        return;
    }
    toolkit::Label &label = *CurrentLabel;
    LabelDraw(m_viewer, label);
    label.width = X - label.left;
    label.height = Y - label.top;
    label.points.push_back(QPointF(X, Y));
    LabelDraw(m_viewer, label);
}

void MouseTools::LabelDraw(toolkit::ViewerControl &target, toolkit::Label &label) {
    const int type = label.type;
    const bool transparent = label.transparent;
    const bool rubberBand = label.rubberBand;
    if (label.type == toolkit::Label::Text) {
        label.type = toolkit::Label::Rectangle;
    } else if (label.type == toolkit::Label::Polygon) {
        label.type = toolkit::Label::PolyLine; // not closed until it is finished
    }
    label.rubberBand = true;
    label.transparent = true;
    target.drawLabelInverted(label);
    label.type = type;
    label.transparent = transparent;
    label.rubberBand = rubberBand;
}

void MouseTools::FinishLabel() {
    LabelDrawing = false;
    std::shared_ptr<toolkit::Label> label = CurrentLabel;
    if (!label) {
        return;
    }
    LabelDraw(m_viewer, *label);
    const labels::LabelDefaults d = labelForm().defaults();
    if (d.tie == labels::Tie::Control) {
        m_viewer.labels().add(label);
    } else {
        const QPoint corner(int(std::floor(label->left)), int(std::floor(label->top)));
        const int hit = m_viewer.imageIndexAt(corner);
        if (hit <= 0) {
            CurrentLabel.reset();
            throw ToolkitError(errc::BadArgument, "There is no image under the label.");
        }
        const std::shared_ptr<toolkit::Image> image = m_viewer.images().item(hit);
        label->scaleWithImage = d.tie == labels::Tie::Image;
        label->relativeTo(transformOf(m_viewer, hit), m_viewer.tileRect(hit));
        image->labels().add(label);
        if (MouseFunction == mouse::Measure) {
            measurementResult(*label, *image, hit);
        }
    }
    if (MouseFunction == mouse::Text && label->type == toolkit::Label::Text) {
        const QString answer = prompter().input(QStringLiteral("Enter label text"), QString(),
                                                QString(), m_window.promptParent());
        label->text = QLatin1Char(' ') + answer + QLatin1Char(' ');
    }
    CurrentLabel.reset();
    m_viewer.refresh();
    Mouse_Click(mouse::Select);
}

void MouseTools::measurementResult(toolkit::Label &label, toolkit::Image &image,
                                   int imagePosition) {
    toolkit::Measurement m;
    try {
        m = toolkit::measureLabel(label, image, transformOf(m_viewer, imagePosition),
                                  m_viewer.tileRect(imagePosition));
    } catch (const ToolkitError &e) {
        if (e.number() == errc::NoPixelData) {
            m_viewer.refresh();
            Mouse_Click(mouse::Select); // the shape stays drawn; only the value is missing
            throw PlainMessage{QString::fromStdString(e.what())};
        }
        throw;
    }
    if (label.type == toolkit::Label::Line || label.type == toolkit::Label::PolyLine) {
        const labels::LabelDefaults d = labelForm().defaults();
        auto value = std::make_shared<toolkit::Label>();
        value->type = toolkit::Label::Text;
        value->transparent = d.transparent;
        value->backColour = d.backColour;
        value->foreColour = 0xFFFFFF;
        value->font = QStringLiteral("Arial Bold");
        value->fontSize = 16;
        value->lineWidth = 5;
        value->alignment = d.alignment;
        value->left = m_release.x();
        value->top = m_release.y();
        value->points.push_back(QPointF(m_release));
        value->width = 0;
        value->height = 0;
        value->text = lengthText(m.length, m.unit);
        value->scaleWithImage = d.tie == labels::Tie::Image;
        value->relativeTo(transformOf(m_viewer, imagePosition), m_viewer.tileRect(imagePosition));
        image.labels().add(value);
        return;
    }
    m_viewer.refresh(); // the shape shows before the values are read out
    QWidget *parent = m_window.promptParent();
    prompter().message(areaText(m.area, m.unit), Prompter::Icon::None, Prompter::Ok, QString(),
                       parent);
    if (m.mean) {
        prompter().message(meanText(*m.mean), Prompter::Icon::None, Prompter::Ok, QString(),
                           parent);
    } else {
        prompter().message(QStringLiteral("The mean value cannot be measured on a colour image."),
                           Prompter::Icon::Information, Prompter::Ok, QString(), parent);
    }
}

// --- protractor and Cobb

void MouseTools::addViewerLine(const LineSegment &line) {
    auto label = std::make_shared<toolkit::Label>();
    label->type = toolkit::Label::Line;
    label->top = line.from.y();
    label->left = line.from.x();
    label->height = line.to.y() - line.from.y();
    label->width = line.to.x() - line.from.x();
    m_viewer.labels().add(label);
    m_viewer.refresh();
}

void MouseTools::protractorPress(int X, int Y) {
    const ProtractorClick click = protractorClick(ClickStep, ProtractorXY, X, Y);
    if (click.line) {
        addViewerLine(*click.line);
    }
    if (click.complete) {
        auto label = std::make_shared<toolkit::Label>();
        label->type = toolkit::Label::Text;
        label->foreColour = 0x0000FF;
        label->alignment = 1;
        label->top = click.labelTopLeft.y();
        label->left = click.labelTopLeft.x();
        label->height = 20;
        label->width = 100;
        label->text = protractorText(click.angle);
        m_viewer.labels().add(label);
        m_viewer.refresh();
    }
}

void MouseTools::cobbPress(int X, int Y) {
    const CobbClick click = cobbClick(ClickStep, CobbXYCoord, X, Y);
    if (click.line) {
        addViewerLine(*click.line);
    }
    if (click.complete) {
        const double angle = CalculateCobb(CobbXYCoord);
        prompter().message(cobbMessage(angle), Prompter::Icon::None, Prompter::Ok, QString(),
                           m_window.promptParent());
    }
}

// --- label commands

void MouseTools::cmnuLabelClear_Click() {
    m_window.GetSelectedImage()->labels().clear();
    m_viewer.refresh();
}

void MouseTools::cmnuLabelDelete_Click() {
    const int position = m_window.currentPosition();
    std::shared_ptr<toolkit::Label> label;
    if (position >= 1 && position <= m_viewer.images().count()) {
        label = m_viewer.images().item(position)->labels().selectedLabel(1);
    }
    if (!label) {
        prompter().message(
            QStringLiteral("No label is selected: click on a label, then choose this again."),
            Prompter::Icon::Information, Prompter::Ok, QString(), m_window.promptParent());
        return;
    }
    label->state = toolkit::Label::Deleted;
    m_viewer.images().item(position)->labels().purgeDeleted();
    m_viewer.refresh();
}

} // namespace ravlen::viewer

#pragma once

#include "viewer/mouserules.h"

#include <QObject>
#include <QPoint>
#include <QPointF>

#include <array>
#include <map>
#include <memory>

class QButtonGroup;
class QGroupBox;
class QToolButton;
class QWidget;

namespace ravlen::toolkit {
class Image;
class ViewerControl;
struct Label;
} // namespace ravlen::toolkit

namespace ravlen::viewer {

// What the mouse functions need of the window that hosts them. Both viewer windows provide
// it; the calls keep the names the windows give them.
class MouseWindow {
public:
    virtual ~MouseWindow() = default;
    // The image operations act on (may tell the user there is none and give a placeholder).
    virtual std::shared_ptr<toolkit::Image> GetSelectedImage() = 0;
    // The current position of the image set: the image under the last press (0: none).
    virtual int currentPosition() const = 0;
    virtual void setCurrentPosition(int position) = 0;
    // The Select press: selects the image at `hit` (or records the miss) with its border, the
    // cine menu and the side panel brought up to date.
    virtual void selectByMouse(int hit) = 0;
    virtual bool stretchToFitTicked() const = 0;
    virtual bool allChangeTicked() const = 0;
    // Puts the selected image on the fast path for a window drag, and back.
    virtual void GetWindowingValues() = 0;
    virtual int savedMinification() const = 0;
    virtual void RefreshOverlays() = 0;
    // Moving over the images folds the tool panel away.
    virtual void foldToolPanel() = 0;
    virtual void LayoutSwitch() = 0;
    virtual void popupContextMenu(QPoint viewerPoint) = 0;
    virtual QWidget *promptParent() = 0;
};

// The mouse functions of a viewer window: the " Mouse Function " palette, the interaction
// state, and what a press, drag, release and double click do for the active function (select,
// pan, window by drag, magnifier, frame scrubbing, the label tools, measurements, protractor
// and Cobb angle). Lives on the user-interface thread; the window forwards its viewer's mouse
// events here.
class MouseTools : public QObject {
    Q_OBJECT
public:
    MouseTools(MouseWindow &window, toolkit::ViewerControl &viewer, QObject *parent = nullptr);
    ~MouseTools() override;

    // The palette: a frame with the sixteen buttons, function 1 chosen.
    QGroupBox *buildPalette(QWidget *parent);
    QToolButton *button(int function) const;

    // --- handlers
    void Mouse_Click(int Index);
    void Viewer_MouseDown(int Button, int Shift, int X, int Y);
    void Viewer_MouseMove(int Button, int Shift, int X, int Y);
    void Viewer_MouseUp(int Button, int Shift, int X, int Y);
    void Viewer_DblClick();
    // Centres the magnifier on (X, Y) and shows there what lies under it at five times the
    // image's displayed scale.
    void SetMagnifier(int X, int Y);
    // Ends a window drag: the selected image's minification method as it was.
    void RestoreMinification();
    // The label tools.
    void BeginLabel(int X, int Y);
    void DragLabel(int X, int Y);
    void FinishLabel();
    void LabelDraw(toolkit::ViewerControl &target, toolkit::Label &label);
    // "Clear Labels" and "Delete Selected Label".
    void cmnuLabelClear_Click();
    void cmnuLabelDelete_Click();
    // Enables the palette with the other image commands; Hand also follows "Stretch to fit".
    void setPaletteEnabled(bool enabled, bool stretchToFitTicked);

    // --- the interaction state, as the window holds it
    int MouseFunction = mouse::Select;
    int ClickStep = 1;
    std::shared_ptr<toolkit::Image> PanImage;
    bool Panning = false;
    std::shared_ptr<toolkit::Image> WindowDragImage;
    bool WindowDragging = false;
    DragAnchor DragAnchorXY;   // pan and function 2
    DragAnchor WindowAnchorXY; // functions 16 and 51
    int LastDownX = -1;        // -1: no press yet
    int LastDownY = -1;
    std::shared_ptr<toolkit::Image> MagnifierImage;
    int MagnifierWidth = kMagnifierSize;
    int MagnifierHeight = kMagnifierSize;
    bool MagnifierOn = false;
    std::array<std::int16_t, 6> ProtractorXY{};
    std::array<std::int16_t, 8> CobbXYCoord{};
    std::shared_ptr<toolkit::Label> CurrentLabel;
    bool LabelDrawing = false;

private:
    void press(int Button, int Shift, int X, int Y);
    void release(int X, int Y);
    void startPan(int hit, int X, int Y);
    void panTo(int X, int Y);
    void measurementResult(toolkit::Label &label, toolkit::Image &image, int imagePosition);
    void protractorPress(int X, int Y);
    void cobbPress(int X, int Y);
    void addViewerLine(const LineSegment &line);

    MouseWindow &m_window;
    toolkit::ViewerControl &m_viewer;
    QButtonGroup *m_buttons = nullptr;
    std::map<int, QToolButton *> m_buttonOf;
    QPointF m_panScale{1.0, 1.0};  // screen pixels per image pixel of the panned image
    double m_magnifiedScale = 1.0; // the magnifier's screen pixels per image pixel
    std::weak_ptr<toolkit::Image> m_magnified; // the image under the magnifier
    QPoint m_release;              // where the last label was released
};

} // namespace ravlen::viewer

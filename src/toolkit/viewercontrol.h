#pragma once

#include "toolkit/imagecollection.h"
#include "toolkit/label.h"
#include "toolkit/labelpainter.h"
#include "toolkit/listener.h"
#include "toolkit/tilegeometry.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <optional>

namespace ravlen::toolkit {

class CinePlayer;

// The viewer control of both viewer windows: a grid of tiles showing an image collection from
// a first shown position on. It draws every tile from the display pipeline and keeps each
// tile's finished picture, so only tiles whose image or cell changed are drawn again.
// Each image is fitted into its tile with its proportions kept (zoom 1), zoomed about the tile's
// centre, panned by its scroll offset (image pixels along the screen's axes), turned, then
// mirrored on screen. With automatic redraw on, a display-state change of a shown image repaints
// that image's tiles without a call (the viewer listens to the images it shows). An image with an
// explicit display rectangle (x, y, width, height in thousandths of the viewer's width and height)
// is drawn there, over the grid, and nowhere else; the hit tests see only the grid. A shown
// multi-frame image whose cine mode is not 0 plays by itself (cinePlayer()). Lives on the
// user-interface thread.
class ViewerControl : public QWidget {
    Q_OBJECT
public:
    explicit ViewerControl(QWidget *parent = nullptr);
    ~ViewerControl() override;

    // The images shown, positions 1..count. After changing the collection call refresh().
    ImageCollection &images();
    const ImageCollection &images() const;

    // The grid. Values below 1 count as 1.
    int rows() const;
    void setRows(int rows);
    int columns() const;
    void setColumns(int columns);

    // Position of the image in the top left tile (1-based; 0 when the collection is empty).
    int currentIndex() const;
    void setCurrentIndex(int position);

    // Position of the image whose tile holds `point` (widget pixels), 0 when none.
    int imageIndexAt(QPoint point) const;
    // The image pixel (column, row from 0, fractional) under `point`, when it lies on an image.
    std::optional<QPointF> imagePixelAt(QPoint point) const;
    // The tile rectangle of the image at `position`, empty when not shown.
    QRect tileRect(int position) const;

    // Selection border drawn around an image's tile: width in pixels (0: none) and colour.
    // The width is the image's border() value; the colour is kept per image here.
    void setBorderColour(const Image *image, QColor colour);
    QColor borderColour(const Image *image) const; // red until set

    // How the image at `position` is drawn in its tile right now (scale, visible part), when
    // it is shown in a tile.
    std::optional<TileTransform> tileTransformAt(int position) const;

    // The viewer's own labels (not tied to an image). Labels, the viewer's and the images',
    // are drawn over the finished tile pictures: changing them never draws an image again.
    LabelCollection &labels();
    const LabelCollection &labels() const;
    // Draws the label's outline by inverting the pixels under it, the way a rubber band is
    // drawn: drawing the same outline a second time restores the picture. Nothing is kept in a
    // label collection and no tile is drawn again.
    void drawLabelInverted(const Label &label);
    // The outlines drawn inverted and not yet erased.
    int invertedCount() const;
    // Where a label of the image at `position` (0: one of the viewer's own) lies on the viewer
    // now; nothing when that image is not shown.
    std::optional<PlacedLabel> placeLabelOf(int position, const Label &label) const;
    // The topmost label within a few pixels of `point`: an image's label (its position in
    // `imagePosition`) or one of the viewer's own (imagePosition 0). Null when none is near.
    std::shared_ptr<Label> labelAt(QPoint point, int *imagePosition = nullptr) const;

    // With automatic redraw off, changes are collected and drawn on the next refresh().
    bool autoRedraw() const;
    void setAutoRedraw(bool on);
    // Draws again what changed (images, their display state, the grid).
    void refresh();
    // Drops the cached picture of one image's tiles (for changes the cache key cannot see).
    void invalidate(const Image *image);

    // The finished picture of the tile showing `position` (cell size, border included), as the
    // next paint would draw it; null when the position is not shown.
    QImage tilePicture(int position);
    // How many tile pictures have been drawn, and lookup tables built, since creation.
    int renderCount() const;
    int tableBuilds() const;

    // Plays the shown images whose cine mode is not 0; its clock can be replaced.
    CinePlayer &cinePlayer();

    // --- network: the control's own listener (a storage SCP), made on first use
    // Starts listening on `port`; true when listening on it afterwards.
    bool startListening(int port);
    // Stops listening; a no-op when not listening.
    void stopListening();
    bool listening() const;
    // In asynchronous receive mode a received image is reported by ImageReceivedAsync and is
    // added only by its handler.
    void setAsyncReceive(bool on);
    bool asyncReceive() const;
    Listener &listener();

signals:
    // Button: 1 left, 2 right, 4 middle; Shift: 1 shift, 2 control, 4 alt; X, Y in widget pixels.
    void MouseDown(int Button, int Shift, int X, int Y);
    void MouseMove(int Button, int Shift, int X, int Y);
    void MouseUp(int Button, int Shift, int X, int Y);
    void DblClick();
    // KeyCode as the Windows key codes (13 Enter, 46 Delete, 96..105 keypad digits).
    void KeyDown(int KeyCode, int Shift);

    // Network events of the listener, on this control's thread, in arrival order. For each
    // incoming association both request forms are emitted, the first form first; Accept and
    // the contexts' results may be changed by the handlers (3 rejects a context).
    void AssociationRequest(const QString &Address, const QString &CalledAE,
                            const QString &CallingAE, int Reserved, bool &Accept,
                            ravlen::toolkit::ProposedContexts &Contexts);
    void AssociationRequest2(ravlen::toolkit::IncomingAssociation &Association, bool &Accept);
    // A received image (normal receive mode). When AddToViewer is still true after the
    // handlers, the control adds the image at the end of its collection and redraws.
    void ImageReceived(const std::shared_ptr<ravlen::toolkit::Image> &Image, bool &AddToViewer,
                       int Reserved1, int Reserved2);
    // A received image in asynchronous receive mode; the handler adds it.
    void ImageReceivedAsync(const ravlen::toolkit::ReceivedImage &Received,
                            const std::shared_ptr<ravlen::toolkit::Image> &Image, int Reserved);
    // Level 1: an error the user must see; 2: a warning; 3: information.
    void ToolkitMessage(qint16 Level, const QString &Text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ensureTiles();
    void afterEvent();

    struct State;
    std::unique_ptr<State> m_state;
    std::unique_ptr<Listener> m_listener; // see viewercontrolnet.cpp
};

} // namespace ravlen::toolkit

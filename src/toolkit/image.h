#pragma once

#include "toolkit/cinerate.h"
#include "toolkit/dataelement.h"
#include "toolkit/label.h"
#include "toolkit/picturefilters.h"
#include "toolkit/pixelframe.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ravlen::toolkit {

// A stored window (Window Center/Width pair) of the data set.
struct StoredWindow {
    double center = 0.0;
    double width = 0.0;
    QString explanation;
};

// One DICOM image: its data set, its decoded frames (decoded lazily, once, frame by frame) and
// the display state the viewers keep for it. Images are shared between image sets, the
// selection and copies through std::shared_ptr. Reading members and frame() may be called from
// several threads; the display-state setters belong to the thread that owns the viewer.
class Image {
public:
    // Reads a DICOM file (with or without preamble and meta header). Throws ToolkitError naming the
    // file and what is wrong when it cannot be read, is not DICOM or is damaged.
    static std::shared_ptr<Image> fromFile(const QString &path);
    // Reads a DICOM file held in memory; `name` stands for the source in messages.
    static std::shared_ptr<Image> fromBytes(const QByteArray &bytes, const QString &name);
    // An empty image without a data set, for operations that need an image when there is none:
    // every attribute empty, no pixels, one frame, 0 rows and columns; render() gives a null
    // picture.
    static std::shared_ptr<Image> placeholder();
    // A second image over the same data set and decoded frames, with this one's display state
    // to start from; its display state is its own afterwards. Costs no pixel memory.
    std::shared_ptr<Image> duplicate() const;

    ~Image();
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;

    // Where the image came from (file path or the name given to fromBytes).
    QString sourceName() const;
    // The transfer syntax UID the data set was read in.
    QString transferSyntaxUid() const;

    // --- data elements
    // The default value of a top-level element: text, number (double for DS/FL/FD, int for
    // IS/US/SS/SL, uint for UL), QDate for DA, a QVariantList for several values, and for a
    // sequence a QVariantList of DataItem. An absent element gives an invalid QVariant.
    QVariant attribute(quint16 group, quint16 element) const;
    // Whether the data set holds the element at its top level.
    bool hasAttribute(quint16 group, quint16 element) const;
    // Every element of the data set (not the file meta header), in file order.
    std::vector<DataElement> elements() const;

    // The patient's name as a radiologist reads it: "Family, Given Middle Prefix Suffix" from
    // the alphabetic form "Family^Given^Middle^Prefix^Suffix" (empty parts skipped).
    QString patientName() const;
    QString instanceUID() const;
    QString studyID() const;
    // Series Number as text, as the data set holds it (empty when absent).
    QString seriesNumber() const;
    QString modality() const;
    int rows() const;
    int columns() const;
    // Number of Frames, at least 1.
    int frameCount() const;
    int samplesPerPixel() const;
    int bitsAllocated() const;
    int bitsStored() const;
    bool isSigned() const;
    QString photometricInterpretation() const;
    bool hasPixelData() const;

    // --- pixels for the display pipeline
    // Frame `number`, counted from 1 like currentFrame(). Decoded on first use and kept.
    // Throws ToolkitError when the pixels cannot be decoded (odd bit depth, damaged stream,
    // data shorter than declared) or `number` is out of range.
    PixelFrame frame(int number) const;
    // Whether frame `number` is decoded already, so frame() returns it at once. Never waits
    // for a decoding under way on another thread.
    bool frameDecoded(int number) const;
    // Rescale Slope/Intercept, or the Modality LUT Sequence when present. The reference stays
    // valid while the image lives, so a DisplayLut kept across drawings recognises its LUT.
    const ModalityTransform &modalityTransform() const;
    // Every stored Window Center/Width pair, in order.
    std::vector<StoredWindow> storedWindows() const;
    // The first item of the VOI LUT Sequence, if any.
    std::optional<VoiLut> voiLut() const;
    // The image's own default window: the first stored window, otherwise the minimum and
    // maximum of the modality values of the first frame (centre (min + max + 1) / 2 and width
    // max - min + 1, as DCMTK's min-max window computes it).
    StoredWindow defaultWindow() const;
    // DCMTK's min-max window over the modality values of frame `number` (1-based); the same
    // window `dcmj2pnm +Wm` applies to that frame.
    StoredWindow minMaxWindow(int number) const;

    // The speed the image plays at, from its timing elements (see chooseCineRate); read at
    // load.
    CineRate cineRate() const;

    // The current frame drawn with the image's level and width (MONOCHROME1 inverted, colour
    // as it is), scaled to `target` (empty: the image's own size) with `filter`, sharpened and
    // enhanced as the image's tiles are. Throws
    // ToolkitError when the pixels cannot be decoded.
    QImage render(QSize target = QSize(), Filter filter = Filter::Bilinear) const;

    // The grey-scale part of a drawing request as a tile draws this image: its VOI LUT when it
    // has one, otherwise its level and width. The LUT pointer stays valid while the image
    // lives, so a DisplayLut kept across drawings recognises it.
    RenderRequest windowRequest() const;

    // --- display state (the viewers' view of the image)
    // Every setter below that changes a value tells the change listeners (see onChange).
    double level() const;
    void setLevel(double level);
    double width() const;
    void setWidth(double width);
    // Sets level and width to the default window.
    void applyDefaultWindow();
    int currentFrame() const { return m_currentFrame; } // 1-based
    void setCurrentFrame(int frame) { assign(m_currentFrame, frame); }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom) { assign(m_zoom, zoom); }
    QPointF scrollOffset() const { return m_scroll; }
    void setScrollOffset(QPointF offset);
    bool stretch() const { return m_stretch; }
    void setStretch(bool stretch) { assign(m_stretch, stretch); }
    enum FlipBits { FlipHorizontal = 1, FlipVertical = 2 };
    int flipState() const { return m_flip; }
    void setFlipState(int bits) { assign(m_flip, bits & (FlipHorizontal | FlipVertical)); }
    int rotation() const { return m_rotation; } // quarter turns anticlockwise, 0..3
    void setRotation(int quarterTurns) { assign(m_rotation, ((quarterTurns % 4) + 4) % 4); }
    // Magnification: 1 replicate, 2 B-spline (smoothing), 3 cubic spline (interpolating).
    // Minification: 1 pixel values (nearest), 4 moving average. 0: the viewer's default.
    int magnificationMethod() const { return m_magnification; }
    void setMagnificationMethod(int method) { assign(m_magnification, method); }
    int minificationMethod() const { return m_minification; }
    void setMinificationMethod(int method) { assign(m_minification, method); }
    // The rendering switch: on, tiles are drawn with the chosen magnification filter; off, the
    // fast path a window drag uses (B-spline and cubic spline become bilinear). On at load.
    bool fullQuality() const { return m_fullQuality; }
    void setFullQuality(bool on) { assign(m_fullQuality, on); }
    // Cine mode: 0 stopped, 2 reverse, 3 forward, 4 oscillating (cinemode). A viewer plays a
    // shown multi-frame image by itself while its mode is not 0.
    int cineMode() const { return m_cineMode; }
    void setCineMode(int mode) { assign(m_cineMode, mode); }
    QRect displayRect() const { return m_displayRect; }
    void setDisplayRect(const QRect &rect) { assign(m_displayRect, rect); }
    int border() const { return m_border; }
    void setBorder(int border) { assign(m_border, border); }
    // Sharpening of the displayed picture by an unsharp mask: strength is how much of the
    // detail is added back (0 = off, the side panel gives 0 to 8), length the blur's reach in
    // tenths of a screen pixel (0 = off, 20 = a blur of 2 pixels).
    double sharpening() const { return m_sharpening; }
    void setSharpening(double strength);
    int sharpeningLength() const { return m_sharpeningLength; }
    void setSharpeningLength(int length) { assign(m_sharpeningLength, std::max(length, 0)); }
    // "Enhance Images": adaptive contrast enhancement of the displayed picture (contrast-limited
    // adaptive histogram equalisation); the pixel data are never touched, so off gives the
    // picture back exactly.
    bool enhance() const { return m_enhance; }
    void setEnhance(bool on) { assign(m_enhance, on); }
    // Sharpening and enhancement as the pipeline applies them to a finished picture; a mask
    // without strength or length is no mask, so moving the other slider draws nothing anew.
    PictureEffects pictureEffects() const;

    // Change listeners: `listener` runs on the thread that changes the display state, after a
    // setter changed a value, with this image. Returns a token for removeChangeListener. A
    // listener may add or remove listeners while it runs.
    using ChangeListener = std::function<void(const Image &)>;
    int onChange(ChangeListener listener);
    void removeChangeListener(int token);
    // Tells the listeners about a change the setters cannot see (labels, pixels replaced).
    void notifyChanged() const;

    // The labels drawn on this image (text, shapes, measurements, overlays). They belong to
    // this image object alone: a duplicate starts without labels. After changing them, redraw
    // the viewer that shows the image.
    LabelCollection &labels() { return m_labels; }
    const LabelCollection &labels() const { return m_labels; }

    // Internal state shared with the rest of the toolkit (see imagedata.h).
    struct Data;
    Data &data() const { return *m_data; }

private:
    explicit Image(std::shared_ptr<Data> data);
    StoredWindow usableDefaultWindow() const;
    void ensureWindow() const;
    template <typename T> void assign(T &field, const T &value) {
        if (!(field == value)) {
            field = value;
            notifyChanged();
        }
    }

    std::shared_ptr<Data> m_data; // shared by duplicates
    // The display state below is the image's own; duplicate() copies every member.
    // from the stored window at load, else from the min-max window on first use
    mutable std::optional<double> m_level;
    mutable std::optional<double> m_width;
    int m_currentFrame = 1;
    double m_zoom = 1.0;
    QPointF m_scroll;
    bool m_stretch = false;
    int m_flip = 0;
    int m_rotation = 0;
    int m_magnification = 0;
    int m_minification = 0;
    bool m_fullQuality = true;
    int m_cineMode = 0;
    QRect m_displayRect;
    int m_border = 0;
    double m_sharpening = 0.0;
    int m_sharpeningLength = 20;
    bool m_enhance = false;
    LabelCollection m_labels;
    std::vector<std::pair<int, ChangeListener>> m_listeners;
    int m_nextListener = 1;
};

} // namespace ravlen::toolkit

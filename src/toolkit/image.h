#pragma once

#include "toolkit/dataelement.h"
#include "toolkit/pixelframe.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
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

    // The current frame drawn with the image's level and width (MONOCHROME1 inverted, colour
    // as it is), scaled to `target` (empty: the image's own size) with `filter`. Throws
    // ToolkitError when the pixels cannot be decoded.
    QImage render(QSize target = QSize(), Filter filter = Filter::Bilinear) const;

    // The grey-scale part of a drawing request as a tile draws this image: its VOI LUT when it
    // has one, otherwise its level and width. The LUT pointer stays valid while the image
    // lives, so a DisplayLut kept across drawings recognises it.
    RenderRequest windowRequest() const;

    // --- display state (the viewers' view of the image)
    double level() const;
    void setLevel(double level);
    double width() const;
    void setWidth(double width);
    // Sets level and width to the default window.
    void applyDefaultWindow();
    int currentFrame() const { return m_currentFrame; } // 1-based
    void setCurrentFrame(int frame) { m_currentFrame = frame; }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom) { m_zoom = zoom; }
    QPointF scrollOffset() const { return m_scroll; }
    void setScrollOffset(QPointF offset) { m_scroll = offset; }
    bool stretch() const { return m_stretch; }
    void setStretch(bool stretch) { m_stretch = stretch; }
    enum FlipBits { FlipHorizontal = 1, FlipVertical = 2 };
    int flipState() const { return m_flip; }
    void setFlipState(int bits) { m_flip = bits & (FlipHorizontal | FlipVertical); }
    int rotation() const { return m_rotation; } // quarter turns anticlockwise, 0..3
    void setRotation(int quarterTurns) { m_rotation = ((quarterTurns % 4) + 4) % 4; }
    int magnificationMethod() const { return m_magnification; }
    void setMagnificationMethod(int method) { m_magnification = method; }
    int minificationMethod() const { return m_minification; }
    void setMinificationMethod(int method) { m_minification = method; }
    int cineMode() const { return m_cineMode; }
    void setCineMode(int mode) { m_cineMode = mode; }
    QRect displayRect() const { return m_displayRect; }
    void setDisplayRect(const QRect &rect) { m_displayRect = rect; }
    int border() const { return m_border; }
    void setBorder(int border) { m_border = border; }
    int sharpening() const { return m_sharpening; }
    void setSharpening(int sharpening) { m_sharpening = sharpening; }

    // Internal state shared with the rest of the toolkit (see imagedata.h).
    struct Data;
    Data &data() const { return *m_data; }

private:
    explicit Image(std::shared_ptr<Data> data);
    StoredWindow usableDefaultWindow() const;
    void ensureWindow() const;

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
    int m_cineMode = 0;
    QRect m_displayRect;
    int m_border = 0;
    int m_sharpening = 0;
};

} // namespace ravlen::toolkit

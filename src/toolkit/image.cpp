#include "toolkit/image.h"

#include "core/errors.h"
#include "toolkit/imagedata.h"
#include "toolkit/pixeldecoder.h"
#include "toolkit/prescan.h"
#include "toolkit/startup.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixel.h>

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravlen::toolkit {

namespace {

[[noreturn]] void fail(int number, const QString &name, const QString &what) {
    throw ToolkitError(number, QStringLiteral("%1: %2").arg(name, what).toStdString());
}

// "Family^Given^Middle^Prefix^Suffix" as "Family, Prefix Given Middle Suffix".
QString readableName(const QString &dicomName) {
    const QStringList groups = dicomName.section(QLatin1Char('\\'), 0, 0).split(QLatin1Char('='));
    QString group;
    for (const QString &g : groups) {
        if (!g.trimmed().isEmpty()) {
            group = g; // the alphabetic form when present, else the first written form
            break;
        }
    }
    QStringList parts = group.split(QLatin1Char('^'));
    for (QString &p : parts) {
        p = p.trimmed();
    }
    while (parts.size() < 5) {
        parts.append(QString());
    }
    QStringList rest;
    for (int i : {3, 1, 2, 4}) {
        if (!parts.at(i).isEmpty()) {
            rest.append(parts.at(i));
        }
    }
    if (parts.at(0).isEmpty()) {
        return rest.join(QLatin1Char(' '));
    }
    return rest.isEmpty() ? parts.at(0)
                          : parts.at(0) + QStringLiteral(", ") + rest.join(QLatin1Char(' '));
}

CineTiming readCineTiming(DcmDataset &dataset) {
    CineTiming t;
    t.recommendedDisplayFrameRate = pixels::numberOf(dataset, DCM_RecommendedDisplayFrameRate);
    t.cineRate = pixels::numberOf(dataset, DCM_CineRate);
    t.frameTime = pixels::numberOf(dataset, DCM_FrameTime);
    DcmElement *vector = nullptr;
    if (dataset.findAndGetElement(DCM_FrameTimeVector, vector, OFFalse).good() &&
        vector != nullptr) {
        for (unsigned long i = 0; i < vector->getVM(); ++i) {
            // An entry that is no number makes the vector unusable, not shorter.
            t.frameTimeVector.push_back(pixels::numberOf(dataset, DCM_FrameTimeVector, i)
                                            .value_or(std::numeric_limits<double>::quiet_NaN()));
        }
    }
    return t;
}

} // namespace

std::unique_ptr<DcmFileFormat> Image::Data::copyFile() const {
    std::lock_guard<std::mutex> lock(mutex);
    auto copy = std::make_unique<DcmFileFormat>(*file);
    if (!pixelsTakenOut) {
        return copy;
    }
    ByteBuffer all;
    all.reserve(std::size_t(pixelLength));
    for (const auto &frame : nativeFrames) {
        all.insert(all.end(), frame->begin(), frame->end());
    }
    all.insert(all.end(), nativeTail.begin(), nativeTail.end());
    DcmElement *element = nullptr;
    if (copy->getDataset()->findAndGetElement(DCM_PixelData, element, OFFalse).good() &&
        element != nullptr) {
        if (pixelWords) {
            element->putUint16Array(reinterpret_cast<const Uint16 *>(all.data()),
                                    static_cast<unsigned long>(all.size() / 2));
        } else {
            element->putUint8Array(all.data(), static_cast<unsigned long>(all.size()));
        }
    }
    return copy;
}

Image::Image(std::shared_ptr<Data> data) : m_data(std::move(data)) {}

Image::~Image() = default;

std::shared_ptr<Image> Image::fromFile(const QString &path) {
    ensureToolkit();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(errc::FileAccess, path, QStringLiteral("cannot be opened: ") + file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(errc::FileAccess, path, QStringLiteral("cannot be read: ") + file.errorString());
    }
    return fromBytes(bytes, path);
}

std::shared_ptr<Image> Image::fromBytes(const QByteArray &bytes, const QString &name) {
    ensureToolkit();
    if (bytes.isEmpty()) {
        fail(errc::NotDicom, name, QStringLiteral("the file is empty"));
    }
    // The pre-scan bounds what DCMTK will be asked to parse: depth, lengths, pixel sizes.
    const PrescanResult scan = prescanDataSet(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    if (!scan.ok) {
        fail(scan.errorNumber != 0 ? scan.errorNumber : errc::Damaged, name,
             QString::fromStdString(scan.reason));
    }
    auto data = std::make_unique<Data>();
    data->name = name;
    data->file = bridge::parse(bytes, name);
    DcmDataset &dataset = data->dataset();
    data->xfer = dataset.getOriginalXfer();
    data->text = bridge::TextDecoder(bridge::characterSetOf(dataset));
    data->layout = pixels::readLayout(dataset);

    DcmElement *pixelElement = nullptr;
    if (dataset.findAndGetElement(DCM_PixelData, pixelElement, OFFalse).good() &&
        pixelElement != nullptr && pixelElement->ident() == EVR_PixelData) {
        auto &pixelData = static_cast<DcmPixelData &>(*pixelElement);
        data->encapsulated = bridge::isEncapsulated(pixelData);
        data->pixelLength = data->encapsulated ? 0 : pixelData.getLength();
        data->hasPixels = data->encapsulated || data->pixelLength > 0;
    }
    data->modality = pixels::readModality(dataset, data->layout);
    data->voiLut = pixels::readVoiLut(dataset, data->layout);
    data->cineRate = chooseCineRate(readCineTiming(dataset));
    pixels::takeOutNativePixels(*data);
    std::shared_ptr<Image> image(new Image(std::move(data)));
    for (const StoredWindow &w : image->storedWindows()) {
        if (w.width > 0.0) { // the usual case: the window is known without decoding
            image->m_level = w.center;
            image->m_width = w.width;
            break;
        }
    }
    return image;
}

std::shared_ptr<Image> Image::placeholder() {
    auto data = std::make_unique<Data>();
    data->file = std::make_unique<DcmFileFormat>();
    data->layout.frames = 1;
    return std::shared_ptr<Image>(new Image(std::move(data)));
}

std::shared_ptr<Image> Image::duplicate() const {
    std::shared_ptr<Image> copy(new Image(m_data));
    copy->m_level = m_level;
    copy->m_width = m_width;
    copy->m_currentFrame = m_currentFrame;
    copy->m_zoom = m_zoom;
    copy->m_scroll = m_scroll;
    copy->m_stretch = m_stretch;
    copy->m_flip = m_flip;
    copy->m_rotation = m_rotation;
    copy->m_magnification = m_magnification;
    copy->m_minification = m_minification;
    copy->m_cineMode = m_cineMode;
    copy->m_displayRect = m_displayRect;
    copy->m_border = m_border;
    copy->m_sharpening = m_sharpening;
    return copy;
}

QString Image::sourceName() const {
    return m_data->name;
}

QString Image::transferSyntaxUid() const {
    return QString::fromLatin1(DcmXfer(m_data->xfer).getXferID());
}

// --- data elements

QVariant Image::attribute(quint16 group, quint16 element) const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    DcmElement *found = nullptr;
    if (m_data->dataset().findAndGetElement(DcmTagKey(group, element), found, OFFalse).bad() ||
        found == nullptr) {
        return QVariant();
    }
    if (group == 0x7FE0 && element == 0x0010 && m_data->pixelsTakenOut) {
        return QStringLiteral("(binary, %1 bytes)").arg(m_data->pixelLength);
    }
    return bridge::toAttribute(bridge::toDataElement(*found, m_data->text));
}

bool Image::hasAttribute(quint16 group, quint16 element) const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return m_data->dataset().tagExists(DcmTagKey(group, element), OFFalse);
}

std::vector<DataElement> Image::elements() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    std::vector<DataElement> list = bridge::toDataItem(m_data->dataset(), m_data->text);
    if (m_data->pixelsTakenOut) {
        for (DataElement &e : list) {
            if (e.group == 0x7FE0 && e.element == 0x0010) {
                e.kind = DataElement::Kind::Single;
                e.values = {QStringLiteral("(binary, %1 bytes)").arg(m_data->pixelLength)};
            }
        }
    }
    return list;
}

QString Image::patientName() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return readableName(bridge::textOf(m_data->dataset(), DCM_PatientName, m_data->text));
}

QString Image::instanceUID() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return bridge::textOf(m_data->dataset(), DCM_SOPInstanceUID, m_data->text);
}

QString Image::studyID() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return bridge::textOf(m_data->dataset(), DCM_StudyID, m_data->text);
}

QString Image::seriesNumber() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return bridge::textOf(m_data->dataset(), DCM_SeriesNumber, m_data->text);
}

QString Image::modality() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    return bridge::textOf(m_data->dataset(), DCM_Modality, m_data->text);
}

int Image::rows() const {
    return m_data->layout.rows;
}
int Image::columns() const {
    return m_data->layout.columns;
}
int Image::frameCount() const {
    return m_data->layout.frames;
}
int Image::samplesPerPixel() const {
    return m_data->layout.samplesPerPixel;
}
int Image::bitsAllocated() const {
    return m_data->layout.bitsAllocated;
}
int Image::bitsStored() const {
    return m_data->layout.bitsStored;
}
bool Image::isSigned() const {
    return m_data->layout.pixelRepresentation == 1;
}
QString Image::photometricInterpretation() const {
    return m_data->layout.photometric;
}
bool Image::hasPixelData() const {
    return m_data->hasPixels;
}

// --- pixels

PixelFrame Image::frame(int number) const {
    const int index = number - 1;
    if (index < 0 || index >= m_data->layout.frames) {
        fail(errc::BadArgument, m_data->name,
             QStringLiteral("frame %1 does not exist (the image has %2)")
                 .arg(number)
                 .arg(m_data->layout.frames));
    }
    const auto cached = [this, index]() -> std::optional<PixelFrame> {
        std::lock_guard<std::mutex> lock(m_data->framesMutex);
        const auto found = m_data->frames.find(index);
        return found == m_data->frames.end() ? std::nullopt : std::optional(found->second);
    };
    if (auto done = cached()) {
        return *done;
    }
    std::lock_guard<std::mutex> lock(m_data->mutex);
    if (auto done = cached()) { // decoded by another thread while this one waited
        return *done;
    }
    PixelFrame decoded = pixels::decodeFrame(*m_data, index);
    std::lock_guard<std::mutex> cache(m_data->framesMutex);
    m_data->frames.emplace(index, decoded);
    return decoded;
}

bool Image::frameDecoded(int number) const {
    std::lock_guard<std::mutex> lock(m_data->framesMutex);
    return m_data->frames.contains(number - 1);
}

CineRate Image::cineRate() const {
    return m_data->cineRate;
}

const ModalityTransform &Image::modalityTransform() const {
    return m_data->modality;
}

std::vector<StoredWindow> Image::storedWindows() const {
    std::lock_guard<std::mutex> lock(m_data->mutex);
    DcmDataset &dataset = m_data->dataset();
    std::vector<StoredWindow> windows;
    DcmElement *centers = nullptr;
    DcmElement *widths = nullptr;
    if (dataset.findAndGetElement(DCM_WindowCenter, centers, OFFalse).bad() ||
        dataset.findAndGetElement(DCM_WindowWidth, widths, OFFalse).bad()) {
        return windows;
    }
    const QStringList explanations =
        bridge::textOf(dataset, DCM_WindowCenterWidthExplanation, m_data->text)
            .split(QLatin1Char('\\'));
    const unsigned long count = std::min(centers->getVM(), widths->getVM());
    for (unsigned long i = 0; i < count; ++i) {
        const auto c = pixels::numberOf(dataset, DCM_WindowCenter, i);
        const auto w = pixels::numberOf(dataset, DCM_WindowWidth, i);
        if (!c || !w) {
            continue;
        }
        StoredWindow window{*c, *w, QString()};
        if (qsizetype(i) < explanations.size()) {
            window.explanation = explanations.at(qsizetype(i)).trimmed();
        }
        windows.push_back(window);
    }
    return windows;
}

std::optional<VoiLut> Image::voiLut() const {
    return m_data->voiLut;
}

StoredWindow Image::defaultWindow() const {
    for (const StoredWindow &w : storedWindows()) {
        if (w.width > 0.0) {
            return w;
        }
    }
    return minMaxWindow(1);
}

StoredWindow Image::minMaxWindow(int number) const {
    const WindowSetting w = toolkit::minMaxWindow(frame(number), m_data->modality);
    return StoredWindow{w.center, w.width, QStringLiteral("Min-Max")};
}

QImage Image::render(QSize target, Filter filter) const {
    if (!m_data->hasPixels) {
        return QImage();
    }
    const PixelFrame f = frame(std::clamp(m_currentFrame, 1, frameCount()));
    RenderRequest request;
    request.center = level();
    request.width = width();
    request.target = target;
    request.filter = filter;
    QImage picture;
    {
        std::lock_guard<std::mutex> lock(m_data->renderMutex);
        picture = renderFrame(f, m_data->modality, request, m_data->displayLut);
    }
    applyPictureEffects(picture, pictureEffects());
    return picture;
}

RenderRequest Image::windowRequest() const {
    RenderRequest request;
    if (m_data->voiLut && !m_data->voiLut->data.empty()) {
        request.voiLut = &*m_data->voiLut;
    } else {
        request.center = level();
        request.width = width();
    }
    return request;
}

// --- display state

namespace {

StoredWindow fallbackWindow(const PixelLayout &layout) {
    const int bits = std::clamp(layout.bitsStored, 1, 32);
    const double range = std::ldexp(1.0, bits);
    const double center = layout.pixelRepresentation == 1 ? 0.0 : range / 2.0;
    return StoredWindow{center, range, QString()};
}

} // namespace

StoredWindow Image::usableDefaultWindow() const {
    try {
        return defaultWindow();
    } catch (const ToolkitError &) {
        // Undecodable pixels still get a window, so the element list and the rest work; the
        // drawing reports the error.
        return fallbackWindow(m_data->layout);
    }
}

void Image::ensureWindow() const {
    // The min-max window needs the first frame decoded: done on first use rather than at load,
    // and once even when a drawing thread and the viewer ask together.
    std::lock_guard<std::mutex> lock(m_data->windowMutex);
    if (!m_level || !m_width) {
        const StoredWindow w = usableDefaultWindow();
        m_level = w.center;
        m_width = w.width;
    }
}

void Image::applyDefaultWindow() {
    const StoredWindow w = usableDefaultWindow();
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(m_data->windowMutex);
        changed = m_level != w.center || m_width != w.width;
        m_level = w.center;
        m_width = w.width;
    }
    if (changed) {
        notifyChanged();
    }
}

double Image::level() const {
    ensureWindow();
    return *m_level;
}

void Image::setLevel(double level) {
    ensureWindow();
    if (*m_level != level) {
        m_level = level;
        notifyChanged();
    }
}

double Image::width() const {
    ensureWindow();
    return *m_width;
}

void Image::setWidth(double width) {
    ensureWindow();
    if (*m_width != width) {
        m_width = width;
        notifyChanged();
    }
}

void Image::setScrollOffset(QPointF offset) {
    // Exact: QPointF's == is fuzzy, and a small pan must still redraw.
    if (offset.x() != m_scroll.x() || offset.y() != m_scroll.y()) {
        m_scroll = offset;
        notifyChanged();
    }
}

void Image::setSharpening(double strength) {
    assign(m_sharpening, std::isfinite(strength) ? std::max(strength, 0.0) : 0.0);
}

PictureEffects Image::pictureEffects() const {
    if (m_sharpening > 0.0 && m_sharpeningLength > 0) {
        return {m_sharpening, m_sharpeningLength, m_enhance};
    }
    return {0.0, 0, m_enhance};
}

int Image::onChange(ChangeListener listener) {
    const int token = m_nextListener++;
    m_listeners.emplace_back(token, std::move(listener));
    return token;
}

void Image::removeChangeListener(int token) {
    std::erase_if(m_listeners, [token](const auto &entry) { return entry.first == token; });
}

void Image::notifyChanged() const {
    if (m_listeners.empty()) {
        return;
    }
    // A copy, so a listener may subscribe or unsubscribe while the others run.
    const auto listeners = m_listeners;
    for (const auto &[token, listener] : listeners) {
        if (listener) {
            listener(*this);
        }
    }
}

} // namespace ravlen::toolkit

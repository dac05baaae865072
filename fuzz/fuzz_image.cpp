// libFuzzer entry point: the bytes take the whole road of a file the viewer opens (pre-scan,
// DCMTK's parse, the element list, pixel decoding of frame 1 and the display pipeline). A
// ToolkitError is the clean refusal; anything else that escapes, a crash or a sanitizer
// report is a finding.

#include "core/errors.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"
#include "toolkit/prescan.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

using namespace ravlen::toolkit;

// Touches every value the element list shows, items included.
void visit(const std::vector<DataElement> &elements) {
    for (const DataElement &e : elements) {
        for (const QVariant &value : e.values)
            (void)valueText(value);
        for (const DataItem &item : e.items)
            visit(item);
    }
}

void renderFirstFrame(const Image &image) {
    const PixelFrame frame = image.frame(1);
    const ModalityTransform transform = image.modalityTransform();
    const StoredWindow window = image.defaultWindow();
    const std::optional<VoiLut> voi = image.voiLut();
    RenderRequest request;
    request.center = window.center;
    request.width = window.width;
    request.voiLut = voi ? &*voi : nullptr;
    request.target = QSize(37, 29);
    (void)renderFrame(frame, transform, request);
    request.voiLut = nullptr;
    request.filter = Filter::Bicubic;
    request.target = QSize();
    (void)renderFrame(frame, transform, request);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // A compressed image may declare up to 2 GiB of pixels in a few bytes, and the decoder
    // rightly allocates that much: past the fuzzer's malloc limit it would count as a finding.
    // The cap itself is covered by the unit tests; here such inputs are skipped.
    PrescanLimits budget;
    budget.maxPixelBytes = 64u << 20;
    const PrescanResult scan = prescanDataSet(data, size, budget);
    if (!scan.ok && scan.errorNumber == ravlen::errc::TooLarge)
        return 0;

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const std::shared_ptr<Image> image = Image::fromBytes(bytes, QStringLiteral("fuzz"));
        visit(image->elements());
        (void)image->patientName();
        (void)image->storedWindows();
        if (image->hasPixelData())
            renderFirstFrame(*image);
    } catch (const ravlen::ToolkitError &) {
    }
    return 0;
}

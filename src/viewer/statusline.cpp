#include "viewer/statusline.h"

#include "core/formats.h"
#include "toolkit/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ravlen::viewer {

namespace {

template <typename T> T sampleAt(const std::vector<std::uint8_t> &data, std::size_t index) {
    T value;
    std::memcpy(&value, data.data() + index * sizeof(T), sizeof(T));
    return value;
}

std::int64_t storedValue(const toolkit::PixelFrame &frame, std::size_t index) {
    using Sample = toolkit::PixelFrame::Sample;
    const auto &data = *frame.data;
    switch (frame.sample) {
    case Sample::U8:
        return data[index];
    case Sample::S8:
        return sampleAt<std::int8_t>(data, index);
    case Sample::U16:
        return sampleAt<std::uint16_t>(data, index);
    case Sample::S16:
        return sampleAt<std::int16_t>(data, index);
    case Sample::U32:
        return sampleAt<std::uint32_t>(data, index);
    case Sample::S32:
        return sampleAt<std::int32_t>(data, index);
    case Sample::Rgb8:
        break;
    }
    return 0;
}

bool inside(const toolkit::PixelFrame &frame, int column, int row) {
    if (!frame.data || column < 0 || row < 0 || column >= frame.columns || row >= frame.rows) {
        return false;
    }
    const std::size_t needed = (std::size_t(row) * std::size_t(frame.columns) + column + 1) *
                               std::size_t(frame.bytesPerSample());
    return frame.data->size() >= needed;
}

} // namespace

std::optional<double> modalityValueAt(const toolkit::PixelFrame &frame,
                                      const toolkit::ModalityTransform &transform, int column,
                                      int row) {
    if (frame.sample == toolkit::PixelFrame::Sample::Rgb8 || !inside(frame, column, row)) {
        return std::nullopt;
    }
    const std::int64_t stored =
        storedValue(frame, std::size_t(row) * std::size_t(frame.columns) + std::size_t(column));
    if (transform.lut && !transform.lut->data.empty()) {
        const auto &table = transform.lut->data;
        const std::int64_t last = std::int64_t(table.size()) - 1;
        const std::int64_t index =
            std::clamp<std::int64_t>(stored - std::int64_t(transform.lut->firstMapped), 0, last);
        return double(table[std::size_t(index)]);
    }
    return double(stored) * transform.slope + transform.intercept;
}

std::optional<PixelReading> readPixel(const toolkit::Image &image, QPointF pixel) {
    if (!std::isfinite(pixel.x()) || !std::isfinite(pixel.y()) || !image.hasPixelData()) {
        return std::nullopt;
    }
    try {
        const toolkit::PixelFrame frame = image.frame(image.currentFrame());
        PixelReading reading;
        reading.column = int(std::floor(pixel.x()));
        reading.row = int(std::floor(pixel.y()));
        if (!inside(frame, reading.column, reading.row)) {
            return std::nullopt;
        }
        if (frame.sample == toolkit::PixelFrame::Sample::Rgb8) {
            const std::size_t at =
                (std::size_t(reading.row) * std::size_t(frame.columns) + reading.column) * 3;
            reading.red = (*frame.data)[at];
            reading.green = (*frame.data)[at + 1];
            reading.blue = (*frame.data)[at + 2];
        } else {
            reading.value =
                modalityValueAt(frame, image.modalityTransform(), reading.column, reading.row);
        }
        return reading;
    } catch (const std::exception &) {
        return std::nullopt; // an undecodable image shows no value rather than failing a move
    }
}

QString statusText(int position, int count, const std::optional<PixelReading> &reading,
                   const QString &modality) {
    if (count <= 0) {
        return QStringLiteral("No images");
    }
    QString text = QStringLiteral("Image %1 of %2").arg(position).arg(count);
    if (!reading) {
        return text;
    }
    text += QStringLiteral("    %1, %2").arg(reading->column).arg(reading->row);
    if (reading->value) {
        text += QStringLiteral("    ") + fmt::general(fmt::roundHalfEven(*reading->value, 2));
        if (modality.trimmed().compare(QLatin1String("CT"), Qt::CaseInsensitive) == 0) {
            text += QStringLiteral(" HU");
        }
    } else if (reading->red) {
        text += QStringLiteral("    R %1, G %2, B %3")
                    .arg(*reading->red)
                    .arg(reading->green.value_or(0))
                    .arg(reading->blue.value_or(0));
    }
    return text;
}

} // namespace ravlen::viewer

#include "viewer/imagesort.h"

#include "core/formats.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"

#include <QVariantList>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ravlen::viewer {

double sortKeyFromSliceLocation(double location) {
    // The overlay's text is the key's source: round what is printed, not the raw value.
    return fmt::roundHalfEven(fmt::leadingNumber(fmt::hashDot00(location)));
}

std::optional<double> sliceSortKey(const toolkit::Image &image) {
    QVariant value = image.attribute(0x0020, 0x1041);
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList values = value.toList();
        value = values.isEmpty() ? QVariant() : values.first();
    }
    if (value.typeId() != QMetaType::Double) {
        return std::nullopt; // absent, empty or text that is no number
    }
    const double location = value.toDouble();
    if (!std::isfinite(location)) {
        return std::nullopt;
    }
    return sortKeyFromSliceLocation(location);
}

std::vector<int> sortOrder(const std::vector<std::optional<double>> &keys) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        const auto &ka = keys[std::size_t(a)];
        const auto &kb = keys[std::size_t(b)];
        if (!ka || !kb) {
            return ka.has_value() && !kb.has_value(); // keyless images after all others
        }
        return *ka < *kb;
    });
    return order;
}

void sortImages(toolkit::ImageCollection &images) {
    std::vector<std::shared_ptr<toolkit::Image>> all;
    std::vector<std::optional<double>> keys;
    for (int p = 1; p <= images.count(); ++p) {
        all.push_back(images.item(p));
        keys.push_back(sliceSortKey(*all.back()));
    }
    const std::vector<int> order = sortOrder(keys);
    images.clear();
    for (int index : order) {
        images.add(all[std::size_t(index)]);
    }
}

} // namespace ravlen::viewer

#include "component/windowplacement.h"

#include "component/componentconstants.h"
#include "core/errors.h"
#include "core/formats.h"
#include "core/settingsstore.h"

#include <cmath>

namespace ravlen::component {

namespace {

// Positions beyond this are no window coordinates; the store must have been damaged.
constexpr double kMaxPixels = 1'000'000.0;

std::optional<int> storedPixels(const SettingsStore &store, const QString &caption,
                                const QString &key) {
    const double twips = fmt::leadingNumber(store.get(settingskey::PacsApp, caption, key));
    if (!(twips > 0)) {
        return std::nullopt;
    }
    return pixelsFromTwips(twips);
}

} // namespace

std::optional<int> pixelsFromTwips(double twips) {
    const double pixels = twips / kTwipsPerPixel;
    if (!std::isfinite(pixels) || std::abs(pixels) > kMaxPixels) {
        return std::nullopt;
    }
    try {
        return fmt::toInt32(pixels);
    } catch (const ToolkitError &) {
        return std::nullopt;
    }
}

int twipsFromPixels(int pixels) {
    return pixels * kTwipsPerPixel;
}

PlacementPlan planRestore(const SettingsStore &store, const QString &caption) {
    // Each read stands alone: a store that fails for one key still lets the others apply. Each
    // part is assigned on both paths, so no part depends on a value set before a failed read.
    const auto attempt = [](auto &&read) -> decltype(read()) {
        try {
            return read();
        } catch (...) {
            return std::nullopt;
        }
    };
    const auto pixels = [&](const QString &key) {
        return attempt([&] { return storedPixels(store, caption, key); });
    };
    PlacementPlan plan;
    plan.width = pixels(settingskey::Width);
    plan.height = pixels(settingskey::Height);
    plan.left = pixels(settingskey::Left);
    plan.top = pixels(settingskey::Top);
    plan.state = attempt([&]() -> std::optional<WinState> {
        const double state =
            fmt::leadingNumber(store.get(settingskey::PacsApp, caption, settingskey::WinState));
        if (state == 1) {
            return WinState::Minimized;
        }
        if (state == 2) {
            return WinState::Maximized;
        }
        return std::nullopt;
    });
    return plan;
}

void savePlacement(SettingsStore &store, const QString &caption, const SavedPlacement &placement) {
    const auto put = [&](const QString &key, int value) {
        store.save(settingskey::PacsApp, caption, key, QString::number(value));
    };
    put(settingskey::Width, twipsFromPixels(placement.width));
    put(settingskey::Height, twipsFromPixels(placement.height));
    put(settingskey::Left, twipsFromPixels(placement.left));
    put(settingskey::Top, twipsFromPixels(placement.top));
    put(settingskey::WinState, static_cast<int>(placement.state));
}

} // namespace ravlen::component

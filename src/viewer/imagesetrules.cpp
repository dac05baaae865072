#include "viewer/imagesetrules.h"

#include "core/formats.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace ravlen::viewer {

int pageStart(int position, int rows, int columns) {
    if (rows == 1 && columns == 1) {
        return position;
    }
    const int tiles = std::max(1, rows) * std::max(1, columns);
    int page = position / tiles;
    if (position % tiles == 0) {
        --page; // the last position of a page belongs to that page
    }
    return tiles * page + 1;
}

int clampCurrent(int value, int count) {
    if (value < 1) {
        value = 1;
    }
    if (value >= count) {
        value = count;
    }
    return value;
}

int reversedSpin(int max, int value) {
    return max - value + 1;
}

std::optional<int> parseWholeNumber(const QString &text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = fmt::roundHalfEven(value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return int(rounded);
}

KeyDecision decideKey(int keyCode, int current, int count) {
    if (current <= 0) {
        return {};
    }
    switch (keyCode) {
    case 13:
        return {KeyAction::LayoutSwitch, 0};
    case 100:
        return current > 1 ? KeyDecision{KeyAction::Select, current - 1} : KeyDecision{};
    case 102:
        return current < count ? KeyDecision{KeyAction::Select, current + 1} : KeyDecision{};
    case 103:
        return current > 1 ? KeyDecision{KeyAction::Select, 1} : KeyDecision{};
    case 97:
        return current < count ? KeyDecision{KeyAction::Select, count} : KeyDecision{};
    case 46:
        return {KeyAction::CloseSelected, 0};
    default:
        return {};
    }
}

GridSize layoutSwitch(GridSize grid) {
    if (grid.rows == 1 && grid.columns == 1) {
        return {4, 4};
    }
    return {1, 1};
}

const std::vector<GridSize> &tileLayouts() {
    static const std::vector<GridSize> layouts = {{1, 1}, {1, 2}, {2, 2}, {2, 3}, {3, 3}, {3, 4},
                                                  {4, 4}, {4, 5}, {5, 5}, {5, 6}, {6, 6}};
    return layouts;
}

QString tileCaption(GridSize grid) {
    return QStringLiteral("%1 x %2").arg(grid.rows).arg(grid.columns);
}

QString tileEntryName(GridSize grid) {
    return QStringLiteral("cmnuTile%1x%2").arg(grid.rows).arg(grid.columns);
}

std::optional<GridSize> gridFromTileName(const QString &name) {
    static const QRegularExpression form(QStringLiteral("(\\d{1,2})\\s*[xX]\\s*(\\d{1,2})$"));
    const QRegularExpressionMatch m = form.match(name.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const GridSize grid{m.captured(1).toInt(), m.captured(2).toInt()};
    if (grid.rows < 1 || grid.columns < 1) {
        return std::nullopt;
    }
    return grid;
}

GridSize gridFromToolbarKey(const QString &key) {
    for (const GridSize &grid : tileLayouts()) {
        if (key == QStringLiteral("tbr%1x%2").arg(grid.rows).arg(grid.columns)) {
            return grid;
        }
    }
    return {1, 1};
}

WindowLayout layoutWindow(const WindowExtent &extent) {
    WindowLayout layout;
    layout.panelLeft = extent.innerWidth - extent.panelWidth;
    layout.viewerWidth = std::fabs(extent.innerWidth - 2);
    layout.viewerHeight = std::fabs(extent.innerHeight - 100);
    layout.toolButtonLeft = extent.outerWidth - 1100;
    return layout;
}

} // namespace ravlen::viewer

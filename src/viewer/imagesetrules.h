#pragma once

#include <QString>

#include <optional>
#include <vector>

// The arithmetic of the viewer window's image set, grid and layout, free of any widget.
namespace ravlen::viewer {

// The first position of the page that holds `position` on a rows x columns grid: pages are
// 1..T, T+1..2T, ... for T tiles. A 1 x 1 grid shows `position` itself.
int pageStart(int position, int rows, int columns);

// The value the "Img Num:" box settles on: below 1 gives 1, `count` or more gives `count`
// (so an empty set gives 0).
int clampCurrent(int value, int count);

// The side panel's scroll bars count the other way from their boxes: a bar at `value` shows
// max - value + 1, and a number n puts the bar at max - n + 1 (the rule is its own inverse).
int reversedSpin(int max, int value);

// A whole number typed into a box: blanks around it are allowed, a decimal value is rounded
// halves to even. Empty or other text, or a number beyond 32 bits, gives nothing.
std::optional<int> parseWholeNumber(const QString &text);

// What a key pressed in the viewer does.
enum class KeyAction { None, LayoutSwitch, Select, CloseSelected };
struct KeyDecision {
    KeyAction action = KeyAction::None;
    int position = 0; // the position to select, for Select
    bool operator==(const KeyDecision &) const = default;
};
// Keys act only while an image is selected (current > 0): Enter (13) switches the layout;
// keypad 4 (100) and 6 (102) step back and forth, keypad 7 (103) and 1 (97) jump to the first
// and last image, each only when there is somewhere to go; Delete (46) closes the selected
// image. Every other key does nothing.
KeyDecision decideKey(int keyCode, int current, int count);

struct GridSize {
    int rows = 1;
    int columns = 1;
    bool operator==(const GridSize &) const = default;
};

// Enter and double click: 1 x 1 becomes 4 x 4, any other grid 1 x 1.
GridSize layoutSwitch(GridSize grid);

// The eleven layouts of the "Tile" menu, in menu order (1 x 1 ... 6 x 6).
const std::vector<GridSize> &tileLayouts();
// "2 x 3", the caption of a tile entry.
QString tileCaption(GridSize grid);
// "cmnuTile2x3", the object name of a tile entry.
QString tileEntryName(GridSize grid);
// Reads R and C from a tile entry's name or caption ("cmnuTile2x3", "2 x 3"); nothing when the
// text names no grid.
std::optional<GridSize> gridFromTileName(const QString &name);
// The grid a toolbar key selects: "tbr1x1", "tbr1x2", ..., "tbr6x6" as the tile entries of the
// same numbers; any other key gives 1 x 1.
GridSize gridFromToolbarKey(const QString &key);

// The window's parts as the window lays them out, in twips.
struct WindowExtent {
    double innerWidth = 0;  // W: the client area
    double innerHeight = 0; // H
    double outerWidth = 0;  // Wo: including the frame
    double panelWidth = 0;  // the side panel keeps its width
};
struct WindowLayout {
    double panelLeft = 0; // W - panel width: the panel hugs the right edge
    double viewerWidth = 0;
    double viewerHeight = 0;
    double toolButtonLeft = 0;
    bool operator==(const WindowLayout &) const = default;
};
// The viewer takes |W - 2| by |H - 100| (never negative, however small the window), the side
// panel sits at W - its width, and "&Tools" at Wo - 1100.
WindowLayout layoutWindow(const WindowExtent &extent);

} // namespace ravlen::viewer

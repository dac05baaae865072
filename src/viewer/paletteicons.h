#pragma once

#include <QIcon>

namespace ravlen::viewer {

// The pictures on the palette's icon buttons (Select, Hand, Measure, Text, Arrow, Line, Draw,
// Rectangle, Elipse, Polygon), drawn once in the palette's colours; an empty icon for any
// other function.
QIcon paletteIcon(int function);

} // namespace ravlen::viewer

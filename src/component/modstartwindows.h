#pragma once

class QWidget;

namespace ravlen::modStart {

// Applies the size, position and state saved under the window's caption; values of 0 or below
// and every failure are skipped, so the window keeps its designed placement for them.
void RestoreWindowPlacement(QWidget *window);
// Saves the window's size, position (in twips) and state under its current caption.
void SaveWindowPlacement(QWidget *window);

} // namespace ravlen::modStart

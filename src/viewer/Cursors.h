// The engine's own cursors: 1 the hand over links, 2 a thin I-beam over text, 3 up-and-down
// arrows (middle-button scrolling), 4 up only, 5 down only; 0 is the arrow.
#pragma once

#include <QCursor>

namespace korva {

enum TEngineCursor { crArrow = 0, crHandLink = 1, crThinIBeam = 2, crUpDown = 3, crUpOnly = 4, crDownOnly = 5 };

QCursor EngineCursor(int id);

}  // namespace korva

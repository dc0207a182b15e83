// The pictures on the main window's buttons, drawn here rather than loaded from files.
#pragma once

#include <QIcon>

namespace korva {

enum class TGlyph { History, Back, Forward, Close };

// An icon with a normal and a disabled (greyed) picture.
QIcon MakeGlyph(TGlyph glyph);

}  // namespace korva

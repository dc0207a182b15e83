// The seam between the platform layer and Qt, for the viewer, the application and tools.
// Plain C++: Qt classes are only forward-declared here, so including this header pulls in
// nothing from Qt; the caller includes the Qt headers it uses.
#pragma once

#include <memory>

#include "platform/Types.h"

class QColor;
class QFont;
class QImage;

namespace korva {

class TBitmap;
class TPlatformFont;

// Makes sure a QGuiApplication exists, which Qt's fonts and painting need. When there is none
// yet, creates one that lives until the process ends, on the "offscreen" platform unless
// QT_QPA_PLATFORM names another (so tests and tools never open a window and see 96 dpi).
// Returns false when a plain QCoreApplication already exists (no GUI can be added then).
// Real fonts call it themselves; the program creates its QApplication before any font, so
// this never creates a second application object there.
bool EnsureGuiApplication();

// A deep copy of a bitmap of any depth as a Format_RGB32 image (indexed pixels resolved
// through the colour table); a bitmap with alpha becomes Format_ARGB32_Premultiplied.
QImage BitmapToQImage(const TBitmap& bitmap);
// A QImage sharing the pixels of a 24- or 32-bit bitmap (Format_BGR888 / Format_RGB32, or
// Format_ARGB32_Premultiplied for a bitmap with alpha), valid
// while the bitmap lives; a null image for other depths. Lets the viewer put its off-screen
// buffer on the widget without copying it.
QImage BitmapAsQImage(TBitmap& bitmap);
// A 24-bit copy of any image (alpha dropped); null for a null image or one over the bitmap
// limits.
std::unique_ptr<TBitmap> QImageToBitmap(const QImage& image);

// Colour conversions (system colours and the palette-match flag are resolved; clNone becomes
// a transparent QColor and a QColor with alpha 0 becomes clNone).
QColor ToQColor(TColor c);
TColor FromQColor(const QColor& c);

// The Qt font a platform font draws with (family, pixel size, weight, italic, underline and
// strike-out), e.g. for native form controls. Real fonts only need a GUI application.
QFont ToQFont(const TPlatformFont& font);

// The viewer paints through a bitmap canvas (CreateBitmapCanvas) on a 32-bit off-screen
// TBitmap and puts that on the widget with BitmapAsQImage: the raster operations and masked
// transfers the engine uses work on bitmap memory, which a widget's painter does not give.

}  // namespace korva

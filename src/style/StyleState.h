// The style module's process-wide state, kept in one place: the document default font size,
// the property set serial counter, the one-entry colour cache and the realised character sets.
// The named colour list (Colors.cpp) is constant once built; the property stack is PropStack()
// (PropStack.h). All of it lives in StyleState.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace korva {

struct TStyleModuleState {
  double DefaultFontSize = 12.0;
  // The page's viewport in pixels, for vw and vh lengths (set with the style list's media).
  int ViewportWidth = 800;
  int ViewportHeight = 600;
  int PropertySerial = 0;

  // ParseColor's cache: the last text parsed successfully and its colour. BareHex tells that
  // the text was hex digits without "#", which a caller asking for the "#" must not accept.
  bool ColorCacheValid = false;
  bool ColorCacheBareHex = false;
  std::string ColorCacheText;
  TColor ColorCacheValue = 0;

  // Character set the platform realises for each requested one (-1: not asked yet).
  std::array<short, 256> RealisedCharSet;

  TStyleModuleState() { RealisedCharSet.fill(-1); }
};

TStyleModuleState& StyleState();

}  // namespace korva

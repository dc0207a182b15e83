// The module-wide state of the style engine, in one place.
#include "style/StyleState.h"

#include "style/PropStack.h"

namespace korva {

TStyleModuleState& StyleState() {
  static TStyleModuleState state;
  return state;
}

TPropStack& PropStack() {
  // Created on first use; the builder empties it at the end of every parse, so nothing of
  // it outlives the fonts' application object at exit.
  static TPropStack stack;
  return stack;
}

}  // namespace korva

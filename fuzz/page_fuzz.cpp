// Fuzzes a whole page through the document builder, layout, drawing, hit tests and the dump
// (PageExercise.h).
#include <cstdint>
#include <cstdlib>

#include "PageExercise.h"
#include "platform/Font.h"
#include "platform/QtBridge.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  korva::EnsureGuiApplication();
  korva::SetFixedFontMetrics(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korva::page_exercise::ExercisePage(data, size);
  return 0;
}

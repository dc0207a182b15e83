#include <gtest/gtest.h>

#include "platform/Font.h"
#include "platform/QtBridge.h"

namespace {

// Layout tests measure with fixed font metrics, so their dumps do not depend on installed faces.
class TLayoutEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    korva::EnsureGuiApplication();
    korva::SetFixedFontMetrics(true);
  }
};

const auto* const GEnvironment = ::testing::AddGlobalTestEnvironment(new TLayoutEnvironment);

}  // namespace

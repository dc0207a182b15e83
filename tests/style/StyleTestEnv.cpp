#include <gtest/gtest.h>

#include "platform/Font.h"
#include "platform/QtBridge.h"

namespace {

class TStyleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    korva::EnsureGuiApplication();
    korva::SetFixedFontMetrics(true);
  }
};

const auto* const GEnvironment = ::testing::AddGlobalTestEnvironment(new TStyleEnvironment);

}  // namespace

// Qt's fonts and painting need a QGuiApplication; one is created before the first test.
#include <gtest/gtest.h>

#include "platform/QtBridge.h"

namespace {

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { korva::EnsureGuiApplication(); }
};

[[maybe_unused]] ::testing::Environment* const GQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

// Every test of this program may start the graphics system, which needs a
// window to make its device on.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

class DeviceWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_NE(VorelTest::DeviceWindow(), nullptr); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceWindowEnvironment);

}  // namespace

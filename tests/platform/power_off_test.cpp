#include "platform/power_off.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(PowerOff, UsesTheConfiguredCommandAndReportsItsResult) {
    setenv("VELLOQUIN_SHUTDOWN_COMMAND", "true", 1);
    EXPECT_TRUE(vq::RequestPowerOff());
    setenv("VELLOQUIN_SHUTDOWN_COMMAND", "false", 1);
    EXPECT_FALSE(vq::RequestPowerOff());
    unsetenv("VELLOQUIN_SHUTDOWN_COMMAND");
}

} // namespace

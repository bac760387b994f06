// The units the shell stands on, started on SDL's offscreen video driver for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "graphics/graphics.h"
#include "platform/platform.h"
#include "state/state.h"
#include "support/test_support.h"

namespace tftest {

class ShellFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    UseProgramFolder(dir_, {"-trace"});
    ASSERT_TRUE(PlatformStart());
    GraphicsStart();
    StateStart();
    ASSERT_TRUE(PlatformMonitorBounds(PlatformMonitorPrimary(), monitor_));
  }
  void TearDown() override {
    StateEnd();
    GraphicsEnd();
    PlatformEnd();
  }

  std::string Log() const { return ReadFile(LogGetFilePath()); }

  TempDir dir_;
  platformRect monitor_;
};

inline platformRect WindowRect(int32_t window) {
  platformRect rect;
  EXPECT_TRUE(PlatformWindowGetRect(window, rect));
  return rect;
}

}  // namespace tftest

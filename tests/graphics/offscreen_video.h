// Starts the platform once per test program on SDL's offscreen driver (OpenGL through Mesa, no X
// server), with the program and user data folders in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "support/test_support.h"

namespace tftest {

// Whether the platform started; tests that need OpenGL skip when it did not.
inline bool& OffscreenVideoStarted() {
  static bool started = false;
  return started;
}

class OffscreenVideoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    UseProgramFolder(dir_);
    OffscreenVideoStarted() = PlatformStart();
  }
  void TearDown() override {
    if (OffscreenVideoStarted()) PlatformEnd();
  }

 private:
  TempDir dir_;
};

}  // namespace tftest

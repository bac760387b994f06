// Starts the platform once per test program on SDL's offscreen driver (OpenGL through Mesa, no X
// server), with the program and user data folders in a temporary folder.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

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

// The current context's colour buffer as 0xFFRRGGBB, row 0 at the top.
inline std::vector<uint32_t> ReadFramebuffer(int32_t width, int32_t height) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::vector<uint32_t> out(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
      out[static_cast<size_t>(y) * width + x] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
  }
  return out;
}

}  // namespace tftest

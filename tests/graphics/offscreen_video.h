// Starts the platform once per test program on SDL's offscreen driver (OpenGL through Mesa, no X
// server), with the program and user data folders in a temporary folder.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/graphics.h"
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

// OpenGL windows with a display each, for tests that draw and read the pixels back. The fixture
// destroys the windows (DestroyWindows) after the graphics unit has ended.
class OffscreenCanvas {
 protected:
  // A new window of that client size with a display and its context; the frame is cleared.
  int32_t Display(int32_t width, int32_t height) {
    platformWindowSetup setup;
    setup.width = width;
    setup.height = height;
    setup.opengl = true;
    windows_.push_back(PlatformWindowCreate(setup));
    width_ = width;
    height_ = height;
    const int32_t id = GraphicsDisplayNew(windows_.back(), "main", 0);
    EXPECT_TRUE(GraphicsDisplayCreateRC(id));
    Frame();
    return id;
  }

  // Pixel projection over the whole window, cleared to opaque black.
  void Frame() {
    GraphicsSetViewport(0, 0, width_, height_);
    GraphicsSetOrtho(width_, height_);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  // The back buffer as 0xFFRRGGBB, row 0 at the top.
  std::vector<uint32_t> ReadBack() { return ReadFramebuffer(width_, height_); }

  void DestroyWindows() {
    for (int32_t window : windows_) PlatformWindowDestroy(window);
    windows_.clear();
  }

  std::vector<int32_t> windows_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace tftest

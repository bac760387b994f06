// The input unit on SDL's offscreen video driver: each test starts the unit afresh (settings in
// a temporary folder) with a clock of its own, and can open real windows to point into.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ini.h"
#include "input/input.h"
#include "input/input_internal.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace tftest {

inline uint32_t& InputTestNow() {
  static uint32_t now = 1000;
  return now;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // The offscreen windows never have the focus; controllers must be read all the same.
    setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    UseProgramFolder(dir_, parameters_);
    ASSERT_TRUE(PlatformStart());
    IniStart();
    InputClockSet([] { return InputTestNow(); });
    BeforeInputStart();
    InputStart();
  }
  void TearDown() override {
    if (!ended_) InputEnd();
    InputClockSet(nullptr);
    for (int32_t window : windows_) PlatformWindowDestroy(window);
    IniEnd();
    PlatformEnd();
  }
  virtual void BeforeInputStart() {}

  void EndInput() {
    InputEnd();
    ended_ = true;
  }

  int32_t Window(int32_t width, int32_t height) {
    platformWindowSetup setup;
    setup.width = width;
    setup.height = height;
    windows_.push_back(PlatformWindowCreate(setup));
    return windows_.back();
  }

  // Frames of the given length, each followed by the unit's frame step.
  static void Frames(int count, uint32_t milliseconds) {
    for (int k = 0; k < count; ++k) {
      InputTestNow() += milliseconds;
      InputFrame();
    }
  }

  static void Pointer(int32_t set, int32_t& window, int32_t& x, int32_t& y) { InputPointerGet(set, window, x, y); }

  // The events in a queue as (code, value) pairs.
  using eventPairs = std::vector<std::pair<int32_t, int32_t>>;
  static eventPairs Pairs(const inputBuffer& events) {
    eventPairs pairs;
    for (const inputEvent& event : events) pairs.emplace_back(event.code, event.value);
    return pairs;
  }

  TempDir dir_;
  std::vector<std::string> parameters_;
  std::vector<int32_t> windows_;
  bool ended_ = false;
};

}  // namespace tftest

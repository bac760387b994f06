// The fixture of the end-to-end runs: a private Xvfb server, an X client on it, and the program
// started in a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "shell/x_session.h"
#include "support/test_support.h"

namespace tftest {

inline constexpr int32_t kStartMs = 20000;  // generous: the machine may be busy
inline constexpr const char* kTitle = "Thornfall";
inline constexpr const char* kFirstFrame = "MainGameStart - First frame";

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps installs it)";
    StartServer("1280x1024x24");
  }

  void StartServer(const std::string& screen) {
    x_.reset();
    server_ = std::make_unique<XvfbServer>(screen);
    ASSERT_TRUE(server_->running()) << "Xvfb did not start";
    x_ = std::make_unique<XClient>(server_->display());
    ASSERT_TRUE(x_->connected());
  }

  // A fresh program folder with the executable and its Bin/ folder.
  std::unique_ptr<GameRun> Prepare(const TempDir& dir) { return std::make_unique<GameRun>(THORNFALL_BINARY, dir.path()); }

  // The one viewable window of the program that is not the splash, once there is exactly one.
  XWindowInfo WaitForWindow(bool (*wanted)(const XWindowInfo&)) {
    XWindowInfo found;
    tftest::WaitUntil(
        [&] {
          int count = 0;
          for (const XWindowInfo& window : x_->Windows(kTitle)) {
            if (wanted(window)) {
              found = window;
              ++count;
            }
          }
          return count == 1;
        },
        kStartMs);
    return found;
  }

  static bool NotSplash(const XWindowInfo& window) { return !(window.width == 716 && window.height == 541); }
  static bool Splash(const XWindowInfo& window) { return window.width == 716 && window.height == 541; }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<XClient> x_;
};

// Occurrences of `text` in the file (log lines the game wrote, for instance).
inline int CountInFile(const std::string& file, const std::string& text) {
  const std::string all = ReadFile(file);
  int count = 0;
  for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
  return count;
}

}  // namespace tftest

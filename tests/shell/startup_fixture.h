// The fixture of the end-to-end runs: a private Xvfb server, an X client on it, and the program
// started in a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
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

  // xdotool with `what`, in which %W names the game's window (found again each time: full screen
  // makes a new one). Its exit status, or -1 when there is no such window.
  int OnGameWindow(std::string what) {
    const XWindowInfo window = WaitForWindow(NotSplash);
    if (window.id == 0) return -1;
    const std::string id = std::to_string(window.id);
    for (size_t at = what.find("%W"); at != std::string::npos; at = what.find("%W")) what.replace(at, 2, id);
    return std::system(("DISPLAY=" + server_->display() + " xdotool " + what + " >/dev/null 2>&1").c_str());
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<XClient> x_;
};

// Whole games: the screen has the game's size, so full screen keeps the window's coordinates.
class GameSession : public Startup {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps installs it)";
    StartServer("1280x720x24");
  }
};

// Occurrences of `text` in the file (log lines the game wrote, for instance).
inline int CountInFile(const std::string& file, const std::string& text) {
  const std::string all = ReadFile(file);
  int count = 0;
  for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
  return count;
}

}  // namespace tftest

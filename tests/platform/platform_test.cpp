// The platform layer on SDL's offscreen video driver (EGL with Mesa): windows, modes, OpenGL,
// message boxes without a display, and the signal handlers.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "support/test_support.h"

namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    tftest::UseProgramFolder(dir_);
    ASSERT_TRUE(PlatformStart());
  }
  void TearDown() override { PlatformEnd(); }

  tftest::TempDir dir_;
};

platformRect RectOf(int32_t window) {
  platformRect rect;
  EXPECT_TRUE(PlatformWindowGetRect(window, rect));
  return rect;
}

int32_t MakeWindow(int32_t left, int32_t top, int32_t width, int32_t height, bool opengl = false) {
  platformWindowSetup setup;
  setup.title = "test";
  setup.left = left;
  setup.top = top;
  setup.width = width;
  setup.height = height;
  setup.opengl = opengl;
  return PlatformWindowCreate(setup);
}

TEST_F(PlatformTest, MonitorModesCountXrgbAsThirtyTwoBitsAndNameTheDesktopMode) {
  ASSERT_GE(PlatformMonitorCount(), 1);
  const int32_t primary = PlatformMonitorPrimary();
  std::vector<platformMode> modes;
  ASSERT_TRUE(PlatformMonitorModes(primary, modes));
  ASSERT_FALSE(modes.empty());
  for (const platformMode& mode : modes) {
    EXPECT_GT(mode.width, 0u);
    EXPECT_GT(mode.height, 0u);
    // The offscreen display's modes are 24-bit xRGB: four bytes a pixel.
    EXPECT_EQ(mode.bitsPerPixel, 32u);
  }

  // The desktop mode is always among the modes, under the number that selects it.
  platformMode desktop;
  ASSERT_TRUE(PlatformMonitorDesktopMode(primary, desktop));
  const auto listed = std::find_if(modes.begin(), modes.end(),
                                   [&](const platformMode& mode) { return mode.modeNumber == desktop.modeNumber; });
  ASSERT_NE(listed, modes.end());
  EXPECT_EQ(listed->width, desktop.width);
  EXPECT_EQ(listed->height, desktop.height);
  EXPECT_EQ(listed->bitsPerPixel, desktop.bitsPerPixel);

  platformRect bounds;
  ASSERT_TRUE(PlatformMonitorBounds(primary, bounds));
  EXPECT_EQ(static_cast<uint32_t>(bounds.width), desktop.width);
  EXPECT_EQ(static_cast<uint32_t>(bounds.height), desktop.height);

  EXPECT_FALSE(PlatformMonitorSetMode(primary, -1));
  EXPECT_FALSE(PlatformMonitorSetMode(primary, 1000));
  EXPECT_FALSE(PlatformMonitorSetMode(PlatformMonitorCount(), 0));
  EXPECT_FALSE(PlatformMonitorBounds(PlatformMonitorCount(), bounds));
  EXPECT_TRUE(PlatformMonitorSetMode(primary, desktop.modeNumber));
  EXPECT_TRUE(PlatformMonitorsRestoreDesktop());
}

TEST_F(PlatformTest, WindowsKeepPlaceAndSizeAndComeBackFromFullscreen) {
  const int32_t window = MakeWindow(30, 40, 320, 200);
  ASSERT_NE(window, 0) << PlatformErrorText();
  EXPECT_TRUE(PlatformWindowExists(window));
  platformRect rect = RectOf(window);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.width, 320);
  EXPECT_EQ(rect.height, 200);

  PlatformWindowSetClientSize(window, 0, -5);  // never below 1 x 1
  rect = RectOf(window);
  EXPECT_EQ(rect.width, 1);
  EXPECT_EQ(rect.height, 1);
  PlatformWindowSetClientSize(window, 300, 180);
  PlatformWindowSetPosition(window, 7, 9);

  platformRect monitor;
  ASSERT_TRUE(PlatformMonitorBounds(PlatformMonitorPrimary(), monitor));
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, true)) << PlatformErrorText();
  rect = RectOf(window);
  EXPECT_EQ(rect.width, monitor.width);
  EXPECT_EQ(rect.height, monitor.height);
  // Restoring the desktop keeps a window that covers the desktop in its own mode as it is.
  EXPECT_TRUE(PlatformMonitorsRestoreDesktop());
  EXPECT_EQ(RectOf(window).width, monitor.width);

  ASSERT_TRUE(PlatformWindowSetFullscreen(window, false));
  rect = RectOf(window);
  EXPECT_EQ(rect.left, 7);
  EXPECT_EQ(rect.top, 9);
  EXPECT_EQ(rect.width, 300);
  EXPECT_EQ(rect.height, 180);

  PlatformWindowDestroy(window);
  EXPECT_FALSE(PlatformWindowExists(window));
  EXPECT_FALSE(PlatformWindowGetRect(window, rect));
  EXPECT_FALSE(PlatformWindowSetFullscreen(window, true));
  // Operations on a window that is gone do nothing.
  PlatformWindowSetPosition(window, 1, 1);
  PlatformWindowMinimize(window);
  EXPECT_FALSE(PlatformWindowMinimized(window));
  EXPECT_FALSE(PlatformWindowFocused(window));
}

TEST_F(PlatformTest, ShapedWindowIsCentredOnThePrimaryMonitor) {
  // A picture with an odd margin on both sides: an opaque disc on transparent black.
  const int32_t width = 301;
  const int32_t height = 201;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t dx = x - width / 2, dy = y - height / 2;
      if (dx * dx + dy * dy < 90 * 90) pixels[static_cast<size_t>(y) * width + x] = 0xFF336699;
    }
  }
  const int32_t window = PlatformShapedWindowCreate("splash", pixels.data(), width, height);
  ASSERT_NE(window, 0) << PlatformErrorText();
  pixels.assign(pixels.size(), 0xDEADBEEF);  // the window keeps its own copy

  platformRect monitor;
  ASSERT_TRUE(PlatformMonitorBounds(PlatformMonitorPrimary(), monitor));
  const platformRect rect = RectOf(window);
  EXPECT_EQ(rect.width, width);
  EXPECT_EQ(rect.height, height);
  EXPECT_EQ(rect.left, monitor.left + (monitor.width - width) / 2);
  EXPECT_EQ(rect.top, monitor.top + (monitor.height - height) / 2);

  // Exposure repaints from the kept picture; drain what the pump has.
  platformEvent event;
  while (PlatformPollEvent(event)) {
  }
  PlatformWindowHide(window);
  PlatformWindowShow(window);
  PlatformWindowDestroy(window);

  EXPECT_EQ(PlatformShapedWindowCreate("splash", nullptr, width, height), 0);
  EXPECT_EQ(PlatformShapedWindowCreate("splash", pixels.data(), 0, height), 0);
}

TEST_F(PlatformTest, OpenGLContextsDrawAndAreJudgedAccelerated) {
  EXPECT_TRUE(PlatformOpenGLAvailable());
  const int32_t window = MakeWindow(0, 0, 64, 48, true);
  ASSERT_NE(window, 0) << PlatformErrorText();
  const int32_t context = PlatformGLContextCreate(window);
  ASSERT_NE(context, 0) << PlatformErrorText();
  EXPECT_TRUE(PlatformGLMakeCurrent(window, context));

  using ClearColor = void (*)(float, float, float, float);
  using Clear = void (*)(unsigned int);
  using ReadPixels = void (*)(int, int, int, int, unsigned int, unsigned int, void*);
  auto clearColor = reinterpret_cast<ClearColor>(PlatformGLProcAddress("glClearColor"));
  auto clear = reinterpret_cast<Clear>(PlatformGLProcAddress("glClear"));
  auto readPixels = reinterpret_cast<ReadPixels>(PlatformGLProcAddress("glReadPixels"));
  ASSERT_NE(clearColor, nullptr);
  ASSERT_NE(clear, nullptr);
  ASSERT_NE(readPixels, nullptr);
  clearColor(1.0f, 0.0f, 1.0f, 1.0f);
  clear(0x4000);
  unsigned char rgba[4] = {};
  readPixels(10, 10, 1, 1, 0x1908, 0x1401, rgba);
  EXPECT_EQ(rgba[0], 255);
  EXPECT_EQ(rgba[1], 0);
  EXPECT_EQ(rgba[2], 255);
  EXPECT_TRUE(PlatformGLSwap(window));
  PlatformGLSetSwapInterval(0);  // either answer is allowed; it must not disturb the context

  // Mesa's llvmpipe (what this machine draws with) counts as accelerated.
  EXPECT_TRUE(PlatformOpenGLAccelerated());
  EXPECT_TRUE(PlatformGLMakeCurrent(window, 0));
  EXPECT_FALSE(PlatformGLMakeCurrent(window, context + 100));
  EXPECT_EQ(PlatformGLContextCreate(window + 100), 0);
  EXPECT_FALSE(PlatformGLSwap(window + 100));
  PlatformGLContextDelete(context);
  PlatformGLContextDelete(context);  // twice is harmless
  PlatformWindowDestroy(window);
}

// Runs `body` in a child process; the child's wait status.
template <typename Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(PlatformRenderer, MesasSlowRasterisersAreNotCountedAsAccelerated) {
  // In a child: Mesa chooses its rasteriser once per process.
  const int status = InChild([] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("GALLIUM_DRIVER", "softpipe", 1);
    if (!PlatformStart()) _exit(3);
    _exit(PlatformOpenGLAccelerated() ? 1 : 0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PlatformTest, MessageBoxesWithoutADisplayGoToTheLogAndTakeYes) {
  PlatformMessageInformation("Thornfall", "First line.\r\n\r\nSecond line.");
  EXPECT_TRUE(PlatformMessageYesNo("Thornfall", "Run anyway?"));
  const std::string log = tftest::ReadFile(LogGetFilePath());
  EXPECT_NE(log.find("Thornfall: First line.  Second line.\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Thornfall: Run anyway? (no display to ask on: Yes)\r\n"), std::string::npos) << log;
}

TEST(PlatformNotStarted, EverythingFailsSoftly) {
  EXPECT_EQ(PlatformMonitorCount(), 0);
  platformRect rect;
  EXPECT_FALSE(PlatformMonitorBounds(0, rect));
  std::vector<platformMode> modes{platformMode{}};
  EXPECT_FALSE(PlatformMonitorModes(0, modes));
  EXPECT_TRUE(modes.empty());
  EXPECT_EQ(PlatformWindowCreate(platformWindowSetup{}), 0);
  EXPECT_FALSE(PlatformMonitorsRestoreDesktop());
  EXPECT_FALSE(PlatformOpenGLAccelerated());
  EXPECT_EQ(PlatformGLProcAddress("glClear"), nullptr);
  platformEvent event;
  EXPECT_FALSE(PlatformPollEvent(event));
  EXPECT_FALSE(PlatformWaitEvent(event, 5));
  PlatformEnd();  // ending what never started is harmless
}

TEST(PlatformSignals, CrashSignalsStillEndTheProgramByTheirDefaultAction) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  for (int signalNumber : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    const int status = InChild([signalNumber] {
      if (!PlatformStart()) _exit(3);
      raise(signalNumber);
      _exit(4);  // the handler swallowed the signal
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signalNumber << ", status " << status;
    EXPECT_EQ(WTERMSIG(status), signalNumber);
  }
}

TEST(PlatformSignals, QuitSignalsArriveAsAQuitEventAndASecondUntakenOneEndsTheProgram) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const int status = InChild([signalNumber, &report] {
      if (!PlatformStart()) _exit(3);
      platformEvent event;
      raise(signalNumber);
      if (!PlatformPollEvent(event) || event.kind != platformEventKind::kQuit) _exit(5);
      while (PlatformPollEvent(event)) {
        if (event.kind == platformEventKind::kQuit) _exit(6);  // one signal, one event
      }
      // A signal from elsewhere (another thread here) wakes a pump that waits for events.
      std::thread sender([signalNumber] {
        usleep(50000);
        kill(getpid(), signalNumber);
      });
      const bool woken = PlatformWaitEvent(event, 60000) && event.kind == platformEventKind::kQuit;
      sender.join();
      if (!woken) _exit(7);
      const char reached = 'y';
      if (write(report[1], &reached, 1) != 1) _exit(8);
      // The program is stuck and the user insists: the second signal is not queued behind the first.
      raise(signalNumber);
      raise(signalNumber);
      _exit(9);
    });
    close(report[1]);
    char reached = 'n';
    EXPECT_EQ(read(report[0], &reached, 1), 1) << "signal " << signalNumber << ", status " << status;
    close(report[0]);
    EXPECT_EQ(reached, 'y');
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signalNumber << ", status " << status;
    EXPECT_EQ(WTERMSIG(status), signalNumber);
  }
}

void CountSignal(int) {}

TEST(PlatformSignals, EndGivesBackTheHandlersThatWereThere) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  struct sigaction mine {};
  mine.sa_handler = CountSignal;
  sigemptyset(&mine.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGHUP, &mine, &before), 0);
  ASSERT_TRUE(PlatformStart());
  struct sigaction during {};
  sigaction(SIGHUP, nullptr, &during);
  EXPECT_NE(during.sa_handler, CountSignal);
  PlatformEnd();
  struct sigaction after {};
  sigaction(SIGHUP, &before, &after);
  EXPECT_EQ(after.sa_handler, CountSignal);
}

}  // namespace

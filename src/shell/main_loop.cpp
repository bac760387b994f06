// Program entry, the start-up checks and the main loop with its shutdown.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/platform.h"
#include "shell/main_form.h"
#include "shell/units.h"

namespace {

// The game starts this long after the splash first shows.
constexpr uint32_t kSplashDelayMs = 1000;
// How long an idle pass (minimised or inactive) waits for an event instead of spinning.
constexpr int32_t kIdleWaitMs = 10;

// Milliseconds since the process started (the kernel's start time has a 10 ms grain).
int64_t ProcessAgeMs() {
  std::ifstream in("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 of the line is the start time; after the command name the state is field 3.
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const int64_t ticksPerSecond = sysconf(_SC_CLK_TCK);
  if (field.empty() || ticksPerSecond <= 0) return -1;
  const int64_t startMs = std::strtoll(field.c_str(), nullptr, 10) * 1000 / ticksPerSecond;
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - startMs;
}

bool AllRenderFormsActivated() {
  return std::all_of(gMain.displays.begin(), gMain.displays.end(),
                     [](const displayEntry& entry) { return entry.form->activated; });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entry

int ShellMain(const shellGameHooks& hooks) {
  ShellStartUnits(hooks);
  if (PlatformMonitorCount() == 0) {
    // The platform logged why; the terminal should hear it too.
    std::fprintf(stderr, "%s: no display to show the game on (see %s).\n", kShellTitle, LogGetFilePath().c_str());
    ShellEndUnits();
    return 1;
  }
  MainFormCreate(hooks);
  bool ok = true;
  while (!gMain.formClosed) {
    const uint32_t now = UtilTickCount();
    if (gMain.timerEnabled && now - gMain.timerStartTick >= kSplashDelayMs) {
      gMain.timerEnabled = false;
      gMain.gameStartTick = now;
      ok = MainGameStart();
      break;
    }
    const int32_t left = gMain.timerEnabled ? static_cast<int32_t>(kSplashDelayMs - (now - gMain.timerStartTick)) : kIdleWaitMs;
    MainFormProcessMessages(left);
  }
  MainFormFree();
  ShellEndUnits();
  return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Start-up and main loop

bool MainGameStart() {
  const std::string title = kShellTitle;
  if (!PlatformOpenGLAvailable()) {
    PlatformMessageInformation(title, "OpenGL is not currently installed on your system.  " + title +
                                          " requires OpenGL to display graphics.");
    return false;
  }
  const bool accelerated = gMain.splash != 0 ? GraphicsAccelerationAvailable(gMain.splash) : PlatformOpenGLAccelerated();
  if (!accelerated) {
    const std::string question = "Your system does not have hardware acceleration for OpenGL.  " + title +
                                 " can be run but at reduced performance levels.\r\n\r\n"
                                 "You may be able to correct this by updating your video drivers from your vendor's "
                                 "website.\r\n\r\nWould you like to run " +
                                 title + " anyway?";
    if (!PlatformMessageYesNo(title, question)) return true;
  }
  if (!gMain.hooks.initDisplay || !gMain.hooks.initDisplay()) return false;

  // Every render window must have shown itself before the game loads into it.
  while (!AllRenderFormsActivated() && !gMain.closeRequested) MainFormProcessMessages(kIdleWaitMs);

  if (!gMain.hooks.init || !gMain.hooks.init()) return false;

  gMain.running = true;
  InputKeyboardHookOn();  // before the first messages of the loop
  MainFormProcessMessages();
  gMain.quit = false;
  MainMouseConstrain(true);

  const uint32_t splashWait = gMain.gameStartTick - gMain.timerStartTick;
  bool firstFrame = true;
  while (!gMain.quit) {
    const bool minimized = MainAppMinimized();
    if (minimized || !MainAppActive()) {
      MainAppPause();
    } else {
      MainAppResume();
      MainKeepAwake();
    }
    // A close request ends the loop even while minimised: the session's quit (a logout, a
    // signal) restores no window first, and the settings must still be saved.
    if (gMain.closeRequested) {
      gMain.closeRequested = false;
      gMain.quit = true;
    } else if (!minimized) {
      gMain.quit = !gMain.hooks.processFrame || !gMain.hooks.processFrame();
      if (firstFrame && gMain.tracing) {
        // How long start-up took to the first swapped frame, less the splash's wait.
        firstFrame = false;
        const int64_t age = ProcessAgeMs();
        LogTrace("MainGameStart - First frame " + std::to_string(age) + " ms after start, " +
                 std::to_string(age - splashWait) + " ms without the splash wait.");
      }
    }
    // A game in the background waits for its events rather than spinning a core.
    MainFormProcessMessages(MainAppMinimized() || !MainAppActive() ? kIdleWaitMs : 0);
  }

  if (gMain.hooks.shutdown) gMain.hooks.shutdown();
  const bool fatal = gMain.hooks.fatalError && gMain.hooks.fatalError();
  if (fatal) {
    PlatformMessageInformation(title, "A fatal error has occurred.  Please consult the file " + LogGetFileName() +
                                          " for details.");
  }
  gMain.running = false;
  return !fatal;
}

// The main form: its state, creation and release, pause and resume on focus changes, the
// keep-awake pulse and the cursor.
#include "shell/main_form.h"

#include <unistd.h>

#include <algorithm>

#include "audio/audio.h"
#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

constexpr uint32_t kKeepAwakeMs = 10000;

}  // namespace

mainForm gMain;

void MainFormCreate(const shellGameHooks& hooks) {
  gMain = mainForm{};
  gMain.hooks = hooks;
  gMain.constrainMouse = !UtilSwitchPresent("-noconstrain");
  gMain.windowsMouse = UtilSwitchPresent("-winmouse");
  gMain.tracing = UtilSwitchPresent("-trace");
  gMain.gameDirectory = UtilAppFolder();
  if (chdir(gMain.gameDirectory.c_str()) != 0) {
    LogError("Unable to set game directory \"" + gMain.gameDirectory + "\" as current directory.");
  }
  GraphicsSetDimensionsSource(MainDisplayGetDimensions);
  MainInterfaceDrawRegions();
  // Without a splash there is nothing to activate: the timer runs from now.
  if (gMain.splash == 0) FormActivate();
}

void MainFormFree() {
  gMain.running = false;
  for (displayEntry& entry : gMain.displays) RenderFormDestroy(*entry.form);
  gMain.displays.clear();
  PlatformWindowDestroy(gMain.splash);
  GraphicsSetDimensionsSource(nullptr);
  PlatformCursorShow(true);
  gMain = mainForm{};
}

void MainAppPause() {
  if (!gMain.running || gMain.paused) return;
  gMain.stateWasPaused = StateGetPaused();
  AudioAppPause();  // pauses the playing sounds and remembers them
  StatePause();
  InputKeyboardHookOff();
  MainDisplayShowMouse(true);
  MainMouseConstrain(false);
  PlatformScreenSaverInhibit(false);
  gMain.paused = true;
}

void MainAppResume() {
  if (!gMain.running || !gMain.paused) return;
  // What was paused before the application lost the focus stays paused.
  if (!gMain.stateWasPaused) {
    AudioAppResume();
    StateResume();
  }
  InputKeyboardHookOn();
  MainDisplayShowMouse(false);
  MainMouseConstrain(true);
  gMain.paused = false;
}

void MainAppAskToClose() {
  if (MainAppMinimized()) {
    for (displayEntry& entry : gMain.displays) PlatformWindowRestore(entry.form->window);
  }
  gMain.closeRequested = true;
}

void MainKeepAwake() {
  if (!MainAppActive()) return;
  const uint32_t now = UtilTickCount();
  if (now - gMain.lastKeepAwakeTick > kKeepAwakeMs) {
    PlatformScreenSaverInhibit(true);
    gMain.lastKeepAwakeTick = now;
  }
}

void MainMouseConstrain(bool on) {
  platformRect rect;
  const bool confine = on && GraphicsFullscreenGet() && gMain.constrainMouse && !gMain.displays.empty() &&
                       PlatformWindowGetRect(gMain.displays.front().form->window, rect);
  for (size_t i = 0; i < gMain.displays.size(); ++i) {
    PlatformWindowConfineMouse(gMain.displays[i].form->window, confine && i == 0);
  }
}

void MainDisplayShowMouse(bool show) { PlatformCursorShow(show || gMain.windowsMouse); }

int32_t MainGetPrimaryMonitorId() { return PlatformMonitorPrimary(); }

int32_t MainSplashWindow() { return gMain.splash; }
bool MainRunning() { return gMain.running; }
bool MainPaused() { return gMain.paused; }
bool MainCloseRequested() { return gMain.closeRequested; }
bool MainFormClosed() { return gMain.formClosed; }
bool MainAppActive() { return !gMain.focused.empty(); }

bool MainAppMinimized() {
  return !gMain.displays.empty() && std::all_of(gMain.displays.begin(), gMain.displays.end(),
                                                [](const displayEntry& entry) { return entry.form->minimized; });
}

// The main form: splash, start-up, main loop, pause and resume, close handling, cursor; and the
// display list of render windows.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "image/image.h"
#include "shell/render_form.h"
#include "shell/shell.h"
#include "shell/units.h"
#include "state/state.h"

namespace {

// The splash picture is drawn larger than the window: the window shows the part from (14, 9)
// on, 716 x 541 pixels, cut to the picture's outline.
constexpr int32_t kSplashOffsetX = 14;
constexpr int32_t kSplashOffsetY = 9;
constexpr int32_t kSplashWidth = 716;
constexpr int32_t kSplashHeight = 541;
// The game starts this long after the splash first shows.
constexpr uint32_t kSplashDelayMs = 1000;
constexpr uint32_t kKeepAwakeMs = 10000;
// How long an idle pass (minimised or inactive) waits for an event instead of spinning.
constexpr int32_t kIdleWaitMs = 10;

struct displayEntry {
  int32_t id = -1;
  std::unique_ptr<renderForm> form;
};

struct mainForm {
  shellGameHooks hooks;
  std::vector<displayEntry> displays;
  bool firstActivation = true;
  std::string gameDirectory;
  bool running = false;
  bool paused = false;
  bool stateWasPaused = false;
  bool closeRequested = false;
  bool quit = false;
  bool formClosed = false;  // the user closed the splash before the game ran
  uint32_t lastKeepAwakeTick = 0;
  bool constrainMouse = true;
  bool windowsMouse = false;
  int32_t splash = 0;
  bool timerEnabled = false;
  uint32_t timerStartTick = 0;
  uint32_t gameStartTick = 0;  // when the timer fired
  std::set<int32_t> focused;  // windows of this program that hold the keyboard focus
  bool wasActive = false;
};

mainForm gMain;

renderForm* FormOfWindow(int32_t window) {
  for (displayEntry& entry : gMain.displays) {
    if (entry.form->window == window) return entry.form.get();
  }
  return nullptr;
}

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

// The splash: the picture cut to the window's part, drawn in a window of its outline.
void SplashCreate() {
  imageData* picture = nullptr;
  ImageLoad(kShellSplashFile, picture);
  if (picture != nullptr && !picture->substitute && picture->width > 0 && picture->height > 0) {
    std::vector<uint32_t> pixels(static_cast<size_t>(kSplashWidth) * kSplashHeight, 0);
    for (int32_t y = 0; y < kSplashHeight; ++y) {
      const int32_t sy = y + kSplashOffsetY;
      if (sy >= picture->height) break;
      for (int32_t x = 0; x < kSplashWidth; ++x) {
        const int32_t sx = x + kSplashOffsetX;
        if (sx >= picture->width) break;
        pixels[static_cast<size_t>(y) * kSplashWidth + x] = picture->pixels[static_cast<size_t>(sy) * picture->width + sx];
      }
    }
    gMain.splash = PlatformShapedWindowCreate(kShellTitle, pixels.data(), kSplashWidth, kSplashHeight);
  }
  ImageFree(picture);
}

// The form's one-second timer, started at the splash's first activation (or at once without one).
void FormActivate() {
  if (!gMain.firstActivation) return;
  gMain.firstActivation = false;
  gMain.timerEnabled = true;
  gMain.timerStartTick = UtilTickCount();
}

void MainFormClose() {
  if (gMain.running && !gMain.closeRequested) {
    gMain.closeRequested = true;
    return;
  }
  if (gMain.running) return;  // the loop ends on the pending request
  // Not running: the user closes the program from its splash. Should the game be starting
  // meanwhile, the loop will find the request at its first pass and shut down in order.
  gMain.formClosed = true;
  gMain.closeRequested = true;
  PlatformWindowHide(gMain.splash);
}

void RenderFormActivate(renderForm& form) {
  PlatformWindowHide(gMain.splash);
  form.activated = true;
}

void RenderFormCloseQuery(renderForm& form) {
  if (GraphicsDisplayExists(form.displayId)) {
    MainAppAskToClose();
    return;
  }
  // No live display: the window simply goes, and its entry with it.
  for (auto it = gMain.displays.begin(); it != gMain.displays.end(); ++it) {
    if (it->form.get() == &form) {
      gMain.focused.erase(form.window);
      RenderFormDestroy(form);
      gMain.displays.erase(it);
      return;
    }
  }
}

void MainAppDeactivate() {
  if (gMain.running && GraphicsFullscreenGet() && gMain.hooks.minimizeFromFullscreen) gMain.hooks.minimizeFromFullscreen();
}

void MainAppRestore() {
  if (gMain.running && GraphicsFullscreenGet()) GraphicsModeChangeNotice();
}

bool AllRenderFormsActivated() {
  return std::all_of(gMain.displays.begin(), gMain.displays.end(),
                     [](const displayEntry& entry) { return entry.form->activated; });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entry

int ShellMain(const shellGameHooks& hooks) {
  ShellStartUnits();
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
// Main form

void MainFormCreate(const shellGameHooks& hooks) {
  gMain = mainForm{};
  gMain.hooks = hooks;
  gMain.gameDirectory = UtilAppFolder();
  if (chdir(gMain.gameDirectory.c_str()) != 0) {
    LogError("Unable to set game directory \"" + gMain.gameDirectory + "\" as current directory.");
  }
  GraphicsSetDimensionsSource(MainDisplayGetDimensions);
  SplashCreate();
  // Without a splash there is nothing to activate: the timer runs from now.
  if (gMain.splash == 0) FormActivate();
  gMain.constrainMouse = !UtilSwitchPresent("-noconstrain");
  gMain.windowsMouse = UtilSwitchPresent("-winmouse");
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
  // The keyboard hook is switched on here once the input unit is in.
  MainFormProcessMessages();
  gMain.quit = false;
  MainMouseConstrain(true);

  const bool tracing = UtilSwitchPresent("-trace");
  const uint32_t splashWait = gMain.gameStartTick - gMain.timerStartTick;
  bool firstFrame = true;
  while (!gMain.quit) {
    if (MainAppMinimized()) {
      MainAppPause();
    } else {
      if (MainAppActive()) {
        MainAppResume();
        MainKeepAwake();
      } else {
        MainAppPause();
      }
      if (gMain.closeRequested) {
        gMain.closeRequested = false;
        gMain.quit = true;
      } else {
        gMain.quit = !gMain.hooks.processFrame || !gMain.hooks.processFrame();
        if (firstFrame && tracing) {
          // How long start-up took to the first swapped frame, less the splash's wait.
          firstFrame = false;
          const int64_t age = ProcessAgeMs();
          LogTrace("MainGameStart - First frame " + std::to_string(age) + " ms after start, " +
                   std::to_string(age - splashWait) + " ms without the splash wait.");
        }
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

void MainFormProcessMessages(int32_t waitMs) {
  platformEvent event;
  bool have = waitMs > 0 ? PlatformWaitEvent(event, waitMs) : PlatformPollEvent(event);
  while (have) {
    MainDispatchEvent(event);
    have = PlatformPollEvent(event);
  }
  // Focus moving between two windows of the program is no deactivation: judge after the queue.
  const bool active = MainAppActive();
  if (gMain.wasActive && !active) MainAppDeactivate();
  gMain.wasActive = active;
}

void MainDispatchEvent(const platformEvent& event) {
  renderForm* form = FormOfWindow(event.window);
  const bool isSplash = event.window != 0 && event.window == gMain.splash;
  switch (event.kind) {
    case platformEventKind::kQuit:
      MainFormClose();
      break;
    case platformEventKind::kWindowClose:
      if (form != nullptr) RenderFormCloseQuery(*form);
      else if (isSplash) MainFormClose();
      break;
    case platformEventKind::kWindowShown:
    case platformEventKind::kWindowExposed:
      if (form != nullptr) RenderFormActivate(*form);
      else if (isSplash) FormActivate();
      break;
    case platformEventKind::kWindowFocusGained:
      gMain.focused.insert(event.window);
      if (form != nullptr) RenderFormActivate(*form);
      else if (isSplash) FormActivate();
      break;
    case platformEventKind::kWindowFocusLost:
      gMain.focused.erase(event.window);
      break;
    case platformEventKind::kWindowMinimized:
      if (form != nullptr) form->minimized = true;
      break;
    case platformEventKind::kWindowRestored:
      if (form != nullptr) {
        form->minimized = false;
        MainAppRestore();
      }
      break;
    case platformEventKind::kDisplayChanged:
      if (gMain.running) GraphicsModeChangeNotice();
      break;
    default:
      // Keyboard, mouse and wheel go to the input unit here once it is in.
      break;
  }
}

void MainAppPause() {
  if (!gMain.running || gMain.paused) return;
  gMain.stateWasPaused = StateGetPaused();
  // Playing sounds are paused and remembered here once the audio unit is in.
  StatePause();
  // The keyboard hook is switched off here once the input unit is in.
  MainDisplayShowMouse(true);
  MainMouseConstrain(false);
  PlatformScreenSaverInhibit(false);
  gMain.paused = true;
}

void MainAppResume() {
  if (!gMain.running || !gMain.paused) return;
  // What was paused before the application lost the focus stays paused.
  if (!gMain.stateWasPaused) StateResume();
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

// ---------------------------------------------------------------------------------------------
// Display list

int32_t MainThreadDisplayAdd(int32_t monitor, const std::string& name, bool createContext) {
  auto form = std::make_unique<renderForm>();
  if (!RenderFormCreate(*form, kShellTitle, gMain.splash, gMain.windowsMouse)) {
    LogError("MainThreadDisplayAdd - Unable to create a window for display \"" + name + "\": " + PlatformErrorText());
    return -1;
  }
  gMain.displays.push_back(displayEntry{-1, std::move(form)});
  renderForm& added = *gMain.displays.back().form;
  RenderFormSetMonitor(added, monitor);
  if (GraphicsFullscreenGet()) RenderFormSetFullscreen(added);
  const int32_t id = GraphicsDisplayNew(added.window, name, added.monitor);
  gMain.displays.back().id = id;
  RenderFormSetDisplayId(added, id);
  if (id != -1 && createContext) GraphicsDisplayCreateRC(id);
  return id;
}

void MainThreadDisplayClose(int32_t id) {
  GraphicsDisplayClose(id);
  for (auto it = gMain.displays.begin(); it != gMain.displays.end();) {
    if (it->id == id) {
      gMain.focused.erase(it->form->window);
      RenderFormDestroy(*it->form);
      it = gMain.displays.erase(it);
    } else {
      ++it;
    }
  }
}

void MainThreadDisplayResize(int32_t id, int32_t width, int32_t height) {
  for (displayEntry& entry : gMain.displays) {
    if (entry.id == id) RenderFormSetResolution(*entry.form, false, width, height);
  }
}

void MainThreadDisplaySetFullscreen(bool on) {
  for (displayEntry& entry : gMain.displays) {
    if (on) RenderFormSetFullscreen(*entry.form);
    else RenderFormSetWindowed(*entry.form);
    GraphicsDisplaySetWindow(entry.id, entry.form->window);
    // The input unit's window-to-display map learns the window here once the unit is in.
  }
  MainMouseConstrain(on);
}

void MainDisplayGetDimensions(int32_t id, int32_t& width, int32_t& height) {
  width = 1;
  height = 1;
  for (const displayEntry& entry : gMain.displays) {
    if (entry.id != id) continue;
    platformRect rect;
    if (PlatformWindowGetRect(entry.form->window, rect)) {
      width = rect.width > 0 ? rect.width : 1;
      height = rect.height > 0 ? rect.height : 1;
    }
    return;
  }
}

void MainThreadMinimize() {
  for (displayEntry& entry : gMain.displays) PlatformWindowMinimize(entry.form->window);
}

int32_t MainDisplayCount() { return static_cast<int32_t>(gMain.displays.size()); }

int32_t MainDisplayWindow(int32_t n) {
  if (n < 0 || n >= MainDisplayCount()) return 0;
  return gMain.displays[static_cast<size_t>(n)].form->window;
}

#include "game/game.h"

#include <string>

#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

// A frame never takes less than this when vertical sync is wanted but unavailable.
constexpr uint32_t kMinimumFrameMs = 10;

struct gameValues {
  int32_t primaryMonitor = 0;
  int32_t display = -1;
  int32_t frameSleep = 0;
  bool vsyncWanted = true;
};

gameValues gGame;

std::string Size(uint32_t width, uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// The main menu's screen until the screen scripts arrive: a cleared frame, swapped.
void MainMenuFrame() {
  GraphicsRenderBegin(gGame.display);
  GraphicsRenderEnd(gGame.display);
}

}  // namespace

bool GameInitDisplay() {
  LogTraceBegin("GameInitDisplay - ");
  gGame.primaryMonitor = MainGetPrimaryMonitorId();

  platformMode desktop;
  if (!PlatformMonitorDesktopMode(gGame.primaryMonitor, desktop)) {
    LogTrace("GameInitDisplay - Unable to enumerate primary display registry resolution.");
    desktop = platformMode{0, 0, 0, -1};
  }
  if (desktop.width == 0 || desktop.height == 0) {
    desktop.width = 1280;
    desktop.height = 720;
  }
  const uint32_t desktopBits = desktop.bitsPerPixel != 0 ? desktop.bitsPerPixel : 32;
  const auto iniWidth = static_cast<uint32_t>(IniReadInteger("Video", "Width", static_cast<int32_t>(desktop.width)));
  const auto iniHeight = static_cast<uint32_t>(IniReadInteger("Video", "Height", static_cast<int32_t>(desktop.height)));
  const auto iniBits = static_cast<uint32_t>(IniReadInteger("Video", "BPP", static_cast<int32_t>(desktopBits)));

  struct candidate {
    uint32_t width, height, bits;
    std::string searching, found;
  };
  const candidate candidates[] = {
      {iniWidth, iniHeight, iniBits, "GameInitDisplay - Searching for " + Size(iniWidth, iniHeight) + " ini resolution.",
       "GameInitDisplay - Found INI resolution."},
      {desktop.width, desktop.height, desktopBits,
       "GameInitDisplay - Searching for " + Size(desktop.width, desktop.height) + " desktop resolution.",
       "GameInitDisplay - Found desktop resolution."},
      {1280, 720, 32, "GameInitDisplay - Searching for " + Size(1280, 720) + " design resolution.",
       "GameInitDisplay - Found designed resolution."},
      {800, 600, 32, "GameInitDisplay - Searching for 800x600 basic fallback resolution.",
       "GameInitDisplay - Found basic fallback resolution."},
  };
  graphicsMode mode;
  for (const candidate& c : candidates) {
    LogTrace(c.searching);
    mode = GraphicsMonitorFindMode(gGame.primaryMonitor, c.width, c.height, c.bits);
    if (mode.width != 0) {
      LogTrace(c.found);
      break;
    }
  }
  if (mode.width == 0) {
    LogError("GameInitDisplay - Unable to find suitable display mode.");
    LogTraceEnd("GameInitDisplay - ");
    return false;
  }

  gGame.display = MainThreadDisplayAdd(gGame.primaryMonitor, "Primary", true);
  if (gGame.display == -1) {
    LogError("GameInitDisplay - Unable to add \"Primary\" display.");
    LogTraceEnd("GameInitDisplay - ");
    return false;
  }
  MainThreadDisplayResize(gGame.display, static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
  GraphicsDisplayResize(gGame.display, mode);
  if (GraphicsFullscreenGet() || IniReadBool("Video", "Fullscreen", true)) GameSetFullscreen(true);
  LogTraceEnd("GameInitDisplay - ");
  return true;
}

bool GameInit() {
  // The arcade images, the high scores, the adventure data, the controls, the app routines, the
  // interface font and the save games join these steps with their units.
  gGame.frameSleep = UtilSwitchValue("-sleep", 0);
  GraphicsSetCulling(kGraphicsCullBackCounterClockwise);
  gGame.vsyncWanted = !UtilSwitchPresent("-novsync");
  GraphicsSetVSync(gGame.vsyncWanted);
  GraphicsSetFlush(true);

  StateRegisterUpdate(kGameStateMainMenu, MainMenuFrame);
  StateRegisterEnter(kGameStateFatal, {});
  StateRegisterEnter(kGameStateQuit, {});
  StateChange(kGameStateMainMenu);
  return true;
}

bool GameProcessFrame() {
  const int32_t state = StateGetCurrent();
  if (state == kGameStateQuit || state == kGameStateFatal) return false;
  if (GraphicsModeChangeTake()) GameSetFullscreen(GraphicsFullscreenGet());

  const uint32_t start = UtilTickCount();
  StateUpdate();
  UtilSleep(static_cast<uint32_t>(gGame.frameSleep > 0 ? gGame.frameSleep : 0));
  if (gGame.vsyncWanted && !GraphicsGetVSync()) {
    // Without a swap interval nothing holds the frame back: keep it to at least 10 ms.
    const uint32_t spent = UtilTickCount() - start;
    if (spent < kMinimumFrameMs) UtilSleep(kMinimumFrameMs - spent);
  }
  return true;
}

void GameSetFullscreen(bool on) {
  LogTraceBegin("GameSetFullscreen - ");
  // The audio unit pauses every sound first and resumes them last; it joins here with its unit.
  GraphicsModeChangeSuppress(true);
  // Textures and display lists live in the contexts: they go before the contexts do and are
  // rebuilt (fonts included) once the contexts are back.
  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  GraphicsFullscreenSet(on);
  MainThreadDisplaySetFullscreen(on);
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  GraphicsModeChangeSuppress(false);
  LogTraceEnd("GameSetFullscreen - ");
}

void GameMinimizeFromFullscreen() {
  if (!GraphicsFullscreenGet()) return;
  GraphicsModeChangeSuppress(true);
  GraphicsMonitorsRestoreDesktop();
  GraphicsModeChangeSuppress(false);
  MainThreadMinimize();
}

void GameShutdown() {
  LogTraceBegin("GameShutdown - ");
  // The game's images, adventure data, save-slot pictures and scripts are freed here, and the
  // high scores saved after the settings, once those units are in.
  const graphicsMode mode = GraphicsDisplayGetMode(gGame.display, GraphicsDisplayGetModeIndex(gGame.display));
  // A display without a mode of its monitor's list has nothing worth keeping: the next start
  // would search from a 0 x 0 setting.
  if (mode.width != 0) {
    IniWriteInteger("Video", "Width", static_cast<int32_t>(mode.width));
    IniWriteInteger("Video", "Height", static_cast<int32_t>(mode.height));
    IniWriteInteger("Video", "BPP", static_cast<int32_t>(mode.bitsPerPixel));
  }
  IniWriteBool("Video", "Fullscreen", GraphicsFullscreenGet());
  MainThreadDisplayClose(gGame.display);
  gGame.display = -1;
  LogTraceEnd("GameShutdown - ");
}

int32_t GameDisplayId() { return gGame.display; }

shellGameHooks GameHooks() {
  shellGameHooks hooks;
  hooks.initDisplay = GameInitDisplay;
  hooks.init = GameInit;
  hooks.processFrame = GameProcessFrame;
  hooks.shutdown = GameShutdown;
  hooks.minimizeFromFullscreen = GameMinimizeFromFullscreen;
  hooks.fatalError = [] { return StateGetCurrent() == kGameStateFatal; };
  return hooks;
}

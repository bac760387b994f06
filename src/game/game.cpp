#include "game/game.h"

#include <string>

#include "audio/audio.h"
#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "game/app_routines.h"
#include "game/arcade.h"
#include "game/game_states.h"
#include "game/high_scores.h"
#include "game/saves.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "input/input.h"
#include "script/script.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

// A frame never takes less than this when vertical sync is wanted but unavailable.
constexpr uint32_t kMinimumFrameMs = 10;
// "-sleep" beyond this would make a frame so long that the game could no longer be played or
// closed in any reasonable time.
constexpr int32_t kMaxFrameSleepMs = 1000;
// A video size setting outside this range is malformed (a negative number would otherwise be
// read as a huge unsigned one).
constexpr int32_t kMaxVideoSetting = 65535;

// The game's state, reset by GameStart and GameEnd.
struct gameValues {
  int32_t primaryMonitor = 0;
  int32_t display = -1;
  int32_t frameSleep = 0;   // "-sleep", 0..1000 ms
  bool vsyncWanted = true;  // not "-novsync"
  int32_t interfaceFont = -1;
};

gameValues gGame;

std::string Size(uint32_t width, uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// A "Video" setting of 1..65535; anything else (or a missing key) gives the default.
uint32_t ReadVideoSetting(const std::string& key, uint32_t defaultValue) {
  const int32_t value = IniReadInteger("Video", key, static_cast<int32_t>(defaultValue));
  if (value >= 1 && value <= kMaxVideoSetting) return static_cast<uint32_t>(value);
  LogTrace("GameInitDisplay - Ignoring the setting " + key + "=" + std::to_string(value) + ": not 1 to " +
           std::to_string(kMaxVideoSetting) + "; using " + std::to_string(defaultValue) + ".");
  return defaultValue;
}

// The frame's pauses handle events meanwhile, so a close request is seen within the pause.
void FramePause(uint32_t milliseconds) {
  if (milliseconds == 0) {
    UtilSleep(0);  // gives up the rest of the time slice
    return;
  }
  MainFormIdle(milliseconds);
}

// What a run of the game keeps from start to end: the arcade pictures and the high scores read,
// everything else empty, the generator seeded.
void RunDataStart(int32_t display) {
  ArcadeImagesLoad(display);
  GameBackgroundCreate();
  HighScoresRead();
  GameLastingDataFree();
  AppFlowReset();
  ArcadeReset();
  GameRandomSeed(UtilTickCount());
  SavesScan(UtilUserDataFolder(), display);
}

void RunDataFree() {
  ArcadeImagesFree();
  GameLastingDataFree();
  AppConfigSoundsClose();
  SavesFree();
}

}  // namespace

void GameStart() {
  gGame = gameValues{};
  GameStatesReset();
  const int32_t sleep = UtilSwitchValue("-sleep", 0);
  gGame.frameSleep = UtilClamp(sleep, 0, kMaxFrameSleepMs);
  if (gGame.frameSleep != sleep) {
    LogTrace("GameStart - Frame sleep of " + std::to_string(sleep) + " ms is out of range; using " +
             std::to_string(gGame.frameSleep) + " ms.");
  }
  gGame.vsyncWanted = !UtilSwitchPresent("-novsync");
}

void GameEnd() {
  gGame = gameValues{};
  GameStatesReset();
}

bool GameInitDisplay() {
  LogTraceScope trace("GameInitDisplay");
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
  const uint32_t iniWidth = ReadVideoSetting("Width", desktop.width);
  const uint32_t iniHeight = ReadVideoSetting("Height", desktop.height);
  const uint32_t iniBits = ReadVideoSetting("BPP", desktopBits);

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
    return false;
  }

  gGame.display = MainThreadDisplayAdd(gGame.primaryMonitor, "Primary", true);
  if (gGame.display == -1) {
    LogError("GameInitDisplay - Unable to add \"Primary\" display.");
    return false;
  }
  MainThreadDisplayResize(gGame.display, static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
  GraphicsDisplayResize(gGame.display, mode);
  if (GraphicsFullscreenGet() || IniReadBool("Video", "Fullscreen", true)) GameSetFullscreen(true);
  return true;
}

bool GameInit() {
  LogTraceScope trace("GameInit");
  RunDataStart(gGame.display);
  MainFormProcessMessages();
  GraphicsSetCulling(kGraphicsCullBackCounterClockwise);
  GraphicsSetVSync(gGame.vsyncWanted);
  GraphicsSetFlush(true);
  MainFormProcessMessages();

  InputControlSetActivate(InputMenuControlSet());
  GameControlsInit();
  AppRoutinesRegister();
  GameStatesRegister();
  GameSetCapture([](imageData& image) {
    const int32_t state = StateGetCurrent();
    if (state == kGameStateCredits || state == kGameStateGame || state == kGameStateMainMenu) {
      GraphicsRenderBegin(gGame.display);
      ScriptRender(GameScreenScript(state), gGame.display);  // reading back waits for the drawing
    }
    return GraphicsReadPixels(gGame.display, image);
  });
  StateVariableSetBool(kGameStateGame, "menu main fade in", true);
  gGame.interfaceFont = FontOpen(gGame.display, "Bin\\Fonts\\Military.fot");
  MainFormProcessMessages();
  StateChange(kGameStateMainMenu);
  return true;
}

bool GameProcessFrame() {
  const int32_t state = StateGetCurrent();
  if (state == kGameStateQuit || state == kGameStateFatal) return false;
  if (GraphicsModeChangeTake()) GameSetFullscreen(GraphicsFullscreenGet());

  const uint32_t start = UtilTickCount();
  InputFrame();  // controllers and the pointer, before the screen reads its input
  StateUpdate();
  FramePause(static_cast<uint32_t>(gGame.frameSleep));
  if (gGame.vsyncWanted && !GraphicsGetVSync()) {
    // Without a swap interval nothing holds the frame back: keep it to at least 10 ms, sleeping
    // (not spinning) through the rest.
    const uint32_t spent = UtilTickCount() - start;
    if (spent < kMinimumFrameMs) MainFormIdle(kMinimumFrameMs - spent);
  }
  return true;
}

void GameSetFullscreen(bool on) {
  LogTraceScope trace("GameSetFullscreen");
  AudioPauseAll();
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
  AudioResumeAll();
}

void GameMinimizeFromFullscreen() {
  if (!GraphicsFullscreenGet()) return;
  GraphicsModeChangeSuppress(true);
  GraphicsMonitorsRestoreDesktop();
  GraphicsModeChangeSuppress(false);
  MainThreadMinimize();
}

void GameShutdown() {
  LogTraceScope trace("GameShutdown");
  RunDataFree();
  GameScriptsUnload();
  const graphicsMode mode = GraphicsDisplayGetMode(gGame.display, GraphicsDisplayGetModeIndex(gGame.display));
  // One replace of the settings file for the video settings and the high scores: a kill in
  // between cannot leave a mix.
  IniWriteBegin();
  // A display without a mode of its monitor's list has nothing worth keeping: the next start
  // would search from a 0 x 0 setting.
  if (mode.width != 0) {
    IniWriteInteger("Video", "Width", static_cast<int32_t>(mode.width));
    IniWriteInteger("Video", "Height", static_cast<int32_t>(mode.height));
    IniWriteInteger("Video", "BPP", static_cast<int32_t>(mode.bitsPerPixel));
  }
  IniWriteBool("Video", "Fullscreen", GraphicsFullscreenGet());
  HighScoresWrite();
  IniWriteCommit();
  MainThreadDisplayClose(gGame.display);
  gGame.display = -1;
}

int32_t GameDisplayId() { return gGame.display; }

void GameToolStart(int32_t display) {
  gGame.display = display;
  RunDataStart(display);
  AppRoutinesRegister();
  // A new game's state variables, as the menu's Play sets them, when the content has the script.
  if (DataFileGuard("Bin\\gameStart.vmc")) GameStateInitFromScript();
  ArcadeLevelStart();
}

void GameToolEnd() {
  RunDataFree();
  gGame.display = -1;
}

shellGameHooks GameHooks() {
  shellGameHooks hooks;
  hooks.start = GameStart;
  hooks.end = GameEnd;
  hooks.initDisplay = GameInitDisplay;
  hooks.init = GameInit;
  hooks.processFrame = GameProcessFrame;
  hooks.shutdown = GameShutdown;
  hooks.minimizeFromFullscreen = GameMinimizeFromFullscreen;
  hooks.fatalError = [] { return StateGetCurrent() == kGameStateFatal; };
  return hooks;
}

#include "game/game_states.h"

#include <array>
#include <string>

#include "audio/audio.h"
#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "game/agents.h"
#include "game/app_routines.h"
#include "game/arcade.h"
#include "game/bubbles.h"
#include "game/game.h"
#include "game/game_sounds.h"
#include "game/key_text.h"
#include "game/music.h"
#include "game/screenshot.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "input/input.h"
#include "script/script.h"
#include "state/state.h"

namespace {

// Codes of the events a screen script receives from the game.
constexpr int32_t kEventEnter = 1;
constexpr int32_t kEventKeyPress = 2;
constexpr int32_t kEventProcess = 3;
constexpr int32_t kEventKeyRelease = 4;
constexpr int32_t kPressed = 100;
constexpr const char* kBackgroundPicture = "backgroundFrames";

struct screenDef {
  int32_t state;
  const char* file;
  const char* failure;  // logged when the script does not load
};

constexpr std::array<screenDef, 5> kScreens{{
    {kGameStateCredits, "Bin\\Interface\\Credits\\Scripts\\credits.vmc",
     "AppStateCreditsEnter - Unable to load credits script."},
    {kGameStateGame, "Bin\\Scripts\\game.vmc", "AppStateGameEnter - Unable to load game script."},
    {kGameStateGameOver, "Bin\\Scripts\\gameover.vmc", "AppStateGameOverEnter - Unable to load game over script."},
    {kGameStateMainMenu, "Bin\\Scripts\\main.vmc", "AppStateMainMenuEnter - Unable to load main menu script."},
    {kGameStateScore, "Bin\\Scripts\\score.vmc", "AppStateScoreEnter - Unable to load score script."},
}};

// A modifier key as it was when each queued event happened: the queue holds the modifier's own
// presses and releases, so its state now is not its state at every earlier event.
struct modifierKey {
  int32_t codes[2] = {0, 0};
  bool held[2] = {false, false};

  void Begin(int32_t set, const inputBuffer& events) {
    for (int k = 0; k < 2; ++k) {
      held[k] = InputControlStateGet(set, codes[k]) != 0;
      for (const inputEvent& event : events) {
        if (event.code != codes[k]) continue;
        held[k] = event.value == 0;  // before its first event here it was the other way
        break;
      }
    }
  }
  void See(const inputEvent& event) {
    for (int k = 0; k < 2; ++k) {
      if (event.code == codes[k]) held[k] = event.value != 0;
    }
  }
  bool Held() const { return held[0] || held[1]; }
};

struct statesValues {
  std::array<int32_t, kScreens.size()> scripts{};  // kNoId: not loaded
  int32_t beforeQuit = kGameStateMainMenu;
  int32_t pauseAction = 0, quickLoadAction = 0, screenshotAction = 0, exitAction = 0;
  modifierKey shift, alt;
  bool altEnter = false;  // an Enter pressed with Alt is down
  bool devReload = false;  // "-devreload": F5 loads the current screen again
  gameCapture capture;
};

statesValues gStates;

int32_t CodeNamed(const std::string& name) {
  for (int32_t code = 1; code <= 126; ++code) {
    if (InputControlName(code) == name) return code;
  }
  return 0;
}

size_t ScreenIndex(int32_t state) {
  for (size_t i = 0; i < kScreens.size(); ++i) {
    if (kScreens[i].state == state) return i;
  }
  return kScreens.size();
}

// A game action that reaches the screens like a key, pressed and released, under a name.
void PostActionKey(int32_t script, const inputEvent& event, const char* name) {
  if (event.value == kPressed || event.value == 0) {
    ScriptPostEvent(script, event.value == kPressed ? kEventKeyPress : kEventKeyRelease, name);
  }
}

// Keys and actions of this frame for the screen's script; true when F5 asked for the screen to
// be loaded again ("-devreload").
bool ScreenInput(int32_t script) {
  bool reload = false;
  const int32_t set = InputControlSetActive();
  const inputBuffer keys = InputControlEventsGet(set);
  gStates.shift.Begin(set, keys);
  gStates.alt.Begin(set, keys);
  for (const inputEvent& event : keys) {
    gStates.shift.See(event);
    gStates.alt.See(event);
    if (event.handled != 0) continue;
    const std::string text = GameKeyText(InputControlName(event.code), gStates.shift.Held());
    // Enter pressed with Alt held switches full screen when it is released (whether or not Alt
    // still is: a quick Alt+Enter lets Alt go first); neither half reaches the screen.
    if (text == "ENTER" && (gStates.altEnter || (event.value != 0 && gStates.alt.Held()))) {
      gStates.altEnter = event.value != 0;
      if (event.value == 0) GameSetFullscreen(!GraphicsFullscreenGet());
      continue;
    }
    if (text == "F5" && gStates.devReload) {
      reload = reload || event.value != 0;
    } else if (text.size() == 1 || text == "BACKSPACE" || text == "ENTER") {
      ScriptPostEventAsIs(script, event.value != 0 ? kEventKeyPress : kEventKeyRelease, text);
    }
  }
  for (const inputEvent& event : InputActionEventsGet(set)) {
    if (event.handled != 0) continue;
    if (event.code == gStates.screenshotAction && event.value == 0) {
      imageData image;
      if (gStates.capture && gStates.capture(image)) ScreenshotSave(image);
    } else if (event.code == gStates.exitAction) {
      PostActionKey(script, event, "ESCAPE");
    } else if (event.code == gStates.pauseAction) {
      PostActionKey(script, event, "PAUSE");
    }
  }
  return reload;
}

// F5 with "-devreload": the screen's script read again through the data layer (so a patch
// folder's copy wins) and entered again; the old one stays when the new one does not load.
void ScreenReload(int32_t state) {
  const size_t index = ScreenIndex(state);
  const char* file = kScreens[index].file;
  const int32_t fresh = ScriptLoad(file);
  if (fresh == kNoId) {
    LogError(std::string("ScreenReload - Unable to load \"") + file + "\" again; the screen stays as it was.");
    return;
  }
  ScriptUnload(gStates.scripts[index]);
  gStates.scripts[index] = fresh;
  LogWrite(std::string("ScreenReload - Loaded \"") + file + "\" again.");
  ScriptPostEvent(fresh, kEventEnter, "AppScriptEnter");
}

// One frame of a screen: its threads, its input, music and sound, then its drawing (the
// game-over and score screens over the game screen, which does not run meanwhile).
void ScreenFrame(int32_t state) {
  const int32_t script = GameScreenScript(state);
  if (state == kGameStateGameOver) ScriptPostEvent(script, kEventProcess, "AppScriptProcess");
  ScriptUpdate(script);
  if (ScreenInput(script)) ScreenReload(state);
  MusicUpdate();
  AudioUpdate();
  const int32_t display = GameDisplayId();
  GraphicsRenderBegin(display);
  if (state == kGameStateGameOver || state == kGameStateScore) ScriptRender(GameScreenScript(kGameStateGame), display);
  ScriptRender(GameScreenScript(state), display);
  GraphicsRenderEnd(display);
}

// Loads the state's script on first entry and sends it the enter event.
void ScreenEnter(int32_t state) {
  const size_t index = ScreenIndex(state);
  LogTrace(std::string("ScreenEnter - ") + kScreens[index].file);
  int32_t& script = gStates.scripts[index];
  if (script == kNoId) {
    script = ScriptLoad(kScreens[index].file);
    if (script == kNoId) {
      LogError(kScreens[index].failure);
      StateChange(kGameStateFatal);
      return;
    }
  }
  if (state != kGameStateCredits) {
    const int32_t set = InputControlSetActive();
    InputControlSetActivate(set);
    InputActionEventsGet(set);
    InputControlEventsGet(set);
  }
  if (state == kGameStateGame) ArcadeLevelStart();
  ScriptPostEvent(script, kEventEnter, "AppScriptEnter");
}

}  // namespace

void GameControlsInit() {
  const int32_t set = InputControlSetActive();
  gStates.exitAction = InputActionFind(set, "Exit");
  const int32_t select = InputActionFind(set, "Select Item");
  InputActionControlRemove(select, CodeNamed("Enter"));
  InputActionControlRemove(select, CodeNamed("Space"));
  auto add = [set](const char* name, const char* key) {
    int32_t action = InputActionNew(set, name);
    if (action == 0) action = InputActionFind(set, name);
    InputActionControlAdd(action, CodeNamed(key), 100);
    return action;
  };
  gStates.pauseAction = add("Pause", "Pause");
  gStates.quickLoadAction = add("Quick Load", "F9");
  gStates.screenshotAction = add("Screenshot", "F12");
  // A game pad's start button (its eighth on the common layouts) pauses too.
  for (int32_t pad = 0; pad < InputJoystickCount(); ++pad) {
    const int32_t start = InputJoystickControlCode(pad, 8);
    if (start > 0) InputActionControlAdd(gStates.pauseAction, start, 100);
  }
  gStates.devReload = UtilSwitchPresent("-devreload");
  gStates.shift.codes[0] = CodeNamed("Left Shift");
  gStates.shift.codes[1] = CodeNamed("Right Shift");
  gStates.alt.codes[0] = CodeNamed("Left Alt");
  gStates.alt.codes[1] = CodeNamed("Right Alt");
}

void GameStatesRegister() {
  for (const screenDef& screen : kScreens) {
    const int32_t state = screen.state;
    StateRegisterEnter(state, [state](int32_t) { ScreenEnter(state); });
    StateRegisterUpdate(state, [state] { ScreenFrame(state); });
  }
  StateRegisterEnter(kGameStateFatal, {});
  StateRegisterEnter(kGameStateQuit, {});
  StateSetSaveName(kGameStateGame, "Game");
  StateSetGuard([](int32_t oldState, int32_t newState) {
    if (newState == kGameStateQuit && oldState != kGameStateQuit && oldState != 0) gStates.beforeQuit = oldState;
    return MusicStateChange(oldState, newState);
  });
}

void GameScriptsUnload() {
  for (int32_t& script : gStates.scripts) {
    if (script != kNoId) ScriptUnload(script);
    script = kNoId;
  }
}

int32_t GameScreenScript(int32_t state) {
  const size_t index = ScreenIndex(state);
  return index < kScreens.size() ? gStates.scripts[index] : kNoId;
}

int32_t GameStateBeforeQuit() { return gStates.beforeQuit; }

void GameLastingDataFree() {
  MusicFreeAll();
  GameSoundsClear();
  GameActionsClear();
  AgentsClear();
  ConceptArtFree();
  DialogOptionsFree();
  BubblesFree();
}

bool GameStateInitFromScript() {
  GameLastingDataFree();
  const int32_t script = ScriptLoad("Bin\\gameStart.vmc");
  if (script == kNoId) {
    LogError("FileGameStateInit - Unable to load game start script.");
    StateChange(kGameStateFatal);
    return false;
  }
  ScriptUnload(script);
  return true;
}

namespace {

// The background picture has the design screen's size whatever the window's, so a screen's
// picture of it always covers the screen, and it exists from the start, so screens loaded before
// the first capture show it too (their models keep the texture, whose pixels a capture replaces).
constexpr int32_t kBackgroundWidth = 1280, kBackgroundHeight = 720;

void BlankBackground(imageData* blank) {
  blank->fileName = kBackgroundPicture;
  blank->width = kBackgroundWidth;
  blank->height = kBackgroundHeight;
  blank->pixels.assign(static_cast<size_t>(kBackgroundWidth) * kBackgroundHeight, 0);
}

// The capture sampled (nearest pixel) to the design size.
imageData BackgroundFromCapture(const imageData& shot) {
  imageData out;
  BlankBackground(&out);
  if (shot.width <= 0 || shot.height <= 0) return out;
  for (int32_t y = 0; y < kBackgroundHeight; ++y) {
    const size_t row = static_cast<size_t>(int64_t{y} * shot.height / kBackgroundHeight) * static_cast<size_t>(shot.width);
    for (int32_t x = 0; x < kBackgroundWidth; ++x) {
      out.pixels[static_cast<size_t>(y) * kBackgroundWidth + static_cast<size_t>(x)] =
          shot.pixels[row + static_cast<size_t>(int64_t{x} * shot.width / kBackgroundWidth)];
    }
  }
  return out;
}

}  // namespace

bool GameBackgroundCreate() {
  const int32_t display = GameDisplayId();
  if (TextureFind(display, kBackgroundPicture) != kNoId) return true;
  imageData blank;
  BlankBackground(&blank);
  const int32_t texture = ModelTextureExtract(display, &blank, true, false, false);
  if (texture == kNoId) return false;
  TextureSetSource(texture, BlankBackground);
  return true;
}

bool GameCaptureScreen(imageData& image) { return gStates.capture && gStates.capture(image); }

bool GameBackgroundCapture() {
  imageData shot;
  if (!GameCaptureScreen(shot)) return false;
  if (shot.pixels.size() < static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height)) return false;
  ScreenshotBackgroundTint(shot);
  const imageData image = BackgroundFromCapture(shot);
  if (!GameBackgroundCreate()) return false;
  return TextureReplaceImage(TextureFind(GameDisplayId(), kBackgroundPicture), &image);
}

void GameSetCapture(gameCapture capture) { gStates.capture = std::move(capture); }

void GameStatesReset() {
  gameCapture capture = std::move(gStates.capture);
  gStates = statesValues{};
  gStates.capture = std::move(capture);
}

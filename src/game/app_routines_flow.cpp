// App routines of the game's flow: state changes, the log, the display and its modes,
// achievements and special features, the cut-scene flags and the two render procedures.
#include <algorithm>
#include <vector>

#include "core/log.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "game/game_states.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "state/state.h"

namespace {

// Kept for the run only.
struct flowValues {
  std::vector<std::string> achievements;
  std::vector<std::string> specialFeatures;
  bool cutscene = false;
  // A skip request holds until the cut scene ends, so every registered thread that asks sees it.
  bool skipping = false;
  std::vector<std::pair<int32_t, int32_t>> cutsceneThreads;
};

flowValues gFlow;

void Unlock(std::vector<std::string>& list, const std::string& name) {
  if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
}
bool Locked(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) == list.end();
}

void Click(int32_t x, int32_t y) {
  InputMouseReset(x, y);
  platformEvent event;
  event.window = GameDisplayId();
  event.x = x;
  event.y = y;
  event.button = 1;
  event.kind = platformEventKind::kMouseButtonDown;
  InputMouseMessage(event);
  event.kind = platformEventKind::kMouseButtonUp;
  InputMouseMessage(event);
}

void ChangeTo(const char* name, int32_t state) {
  AppRegister(name, [state](const appCall&) { StateChange(state); });
}

}  // namespace

void AppFlowReset() { gFlow = flowValues{}; }

void AppRoutinesRegisterFlow() {
  AppRegister("AppSimulateClick", [](const appCall& c) { Click(c.Int(1), c.Int(2)); });
  AppRegister("AppLog", [](const appCall& c) {
    LogWrite(c.Text(1) + " Thread ID:" + std::to_string(c.thread));
    ScriptThreadDump(c.script);
  });
  ChangeTo("AppCredits", kGameStateCredits);
  ChangeTo("AppGame", kGameStateGame);
  ChangeTo("AppGameOver", kGameStateGameOver);
  ChangeTo("AppMainMenu", kGameStateMainMenu);
  ChangeTo("AppQuitGame", kGameStateQuit);
  ChangeTo("AppScore", kGameStateScore);
  AppRegister("AppNewGame", [](const appCall&) {
    StateResetTime(kGameStateGame);
    StateChange(kGameStateGame);
  });
  AppRegister("AppDontQuit", [](const appCall&) { StateChange(GameStateBeforeQuit()); });
  ScriptAppRoutineRegister("AppInitGameState", [](int32_t, int32_t) { return GameStateInitFromScript() ? 1 : 0; });
  AppRegister("AppStateGetTimeMilli", [](const appCall& c) { c.Set(2, StateGetTime(c.Int(1))); });
  AppRegister("AppActionsDone", [](const appCall& c) { c.SetBool(1, !GameActionsPending(c.script, c.thread)); });
  AppRegister("AppCutsceneBegin", [](const appCall&) { gFlow.cutscene = true; });
  AppRegister("AppCutsceneEnd", [](const appCall&) {
    gFlow.cutscene = false;
    gFlow.skipping = false;
    gFlow.cutsceneThreads.clear();
  });
  AppRegister("AppCutsceneRegisterThread", [](const appCall& c) { gFlow.cutsceneThreads.emplace_back(c.script, c.thread); });
  AppRegister("AppCutsceneSkip", [](const appCall&) { gFlow.skipping = true; });
  AppRegister("AppCutsceneSkipping", [](const appCall& c) { c.SetBool(1, gFlow.skipping); });
  AppRegister("AppGetDisplayId", [](const appCall& c) { c.Set(1, GameDisplayId()); });
  AppRegister("AppGetResolution", [](const appCall& c) {
    c.SetText(3, GraphicsMonitorModeText(GraphicsDisplayGetMonitor(c.Int(1)), c.Int(2)));
  });
  AppRegister("AppSetResolution", [](const appCall& c) {
    const int32_t display = c.Int(1);
    const graphicsMode mode = GraphicsMonitorGetMode(GraphicsDisplayGetMonitor(display), c.Int(2));
    if (mode.width == 0) return;
    MainThreadDisplayResize(display, static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
    GraphicsDisplayResize(display, mode);
    if (GraphicsFullscreenGet()) GameSetFullscreen(true);
  });
  AppRegister("AppSetFullscreen", [](const appCall& c) { GameSetFullscreen(c.Bool(1)); });
  AppRegister("AppScreenShot", [](const appCall&) { GameBackgroundCapture(); });
  AppRegister("AppAchievementUnlock", [](const appCall& c) { Unlock(gFlow.achievements, c.Text(1)); });
  AppRegister("AppAchievementLocked", [](const appCall& c) { c.SetBool(2, Locked(gFlow.achievements, c.Text(1))); });
  AppRegister("AppSpecialFeatureUnlock", [](const appCall& c) { Unlock(gFlow.specialFeatures, c.Text(1)); });
  AppRegister("AppSpecialFeatureLocked", [](const appCall& c) {
    c.SetBool(2, Locked(gFlow.specialFeatures, c.Text(1)));
  });
  // Nothing in this game loads a depth picture or has agents that speak: both draw nothing.
  ScriptAppRoutineRegisterRender("AppRenderDepthBuffer", [](int32_t, const std::string&) {});
  ScriptAppRoutineRegisterRender("AppRenderDialog", [](int32_t, const std::string&) {});
}

bool AppCutsceneRunning() { return gFlow.cutscene; }

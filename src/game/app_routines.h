// The game's app routines: what the screens' scripts call by name, and the one helper through
// which each routine reads and writes its parameters.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "script/script.h"

// The calling script and thread of a routine, and its parameters (1 is what the script pushed
// last; outputs are placeholders the script pushed).
struct appCall {
  int32_t script = 0;
  int32_t thread = 0;
  int32_t Int(int32_t n) const { return ScriptParameterGetInteger(script, thread, n); }
  bool Bool(int32_t n) const { return ScriptParameterGetBool(script, thread, n); }
  std::string Text(int32_t n) const { return ScriptParameterGetText(script, thread, n); }
  void Set(int32_t n, int32_t value) const { ScriptParameterSetInteger(script, thread, n, value); }
  void SetBool(int32_t n, bool value) const { ScriptParameterSetBool(script, thread, n, value); }
  void SetText(int32_t n, const std::string& value) const { ScriptParameterSetText(script, thread, n, value); }
};

// Registers a standalone function that always succeeds (a failed lookup writes its default).
void AppRegister(const char* name, std::function<void(const appCall&)> routine);

// Every routine, in the registration order: app-object render routines, in-object routines,
// then the standalone functions and render procedures by topic.
void AppRoutinesRegister();
// Parts of it, one per topic (app_routines_*.cpp).
void AppRoutinesRegisterFlow();
void AppRoutinesRegisterArcade();
void AppRoutinesRegisterSound();
// The agents' and inventories' routines, in their three kinds (app_routines_agents.cpp).
void AppRoutinesRegisterAgentsRender();
void AppRoutinesRegisterAgentsInObject();
void AppRoutinesRegisterAgents();
// The dialog options' render routine, their in-object routine and their standalone functions.
void AppRoutinesRegisterDialogObjects();
void AppRoutinesRegisterDialogInObjects();
void AppRoutinesRegisterDialog();
// The save games: the two app-object render routines, and the standalone functions.
void AppRoutinesRegisterSavesRender();
void AppRoutinesRegisterSaves();
// Forgets achievements, special features and the cut-scene flags (start-up).
void AppFlowReset();
bool AppCutsceneRunning();
// Closes the configuration screen's test sounds (shutdown).
void AppConfigSoundsClose();

// The game's action list: lasting things (animations, walks, sounds) a thread started, by
// (script, thread).
inline constexpr int32_t kActionAnimation = 1;
inline constexpr int32_t kActionWalk = 3;
inline constexpr int32_t kActionSound = 4;
int32_t GameActionAdd(int32_t script, int32_t thread, const std::string& name, int32_t kind, const std::string& detail);
// Removes every action of that kind and detail.
void GameActionRemove(int32_t kind, const std::string& detail);
// Removes every action of that kind and name (agents name their animations and walks).
void GameActionRemoveNamed(int32_t kind, const std::string& name);
bool GameActionsPending(int32_t script, int32_t thread);
void GameActionsClear();

#include "game/app_routines.h"

#include <vector>

#include "game/arcade.h"

namespace {

struct actionData {
  int32_t id = 0;
  std::string name;
  int32_t kind = 0;
  std::string detail;
};

// The actions of one thread; a group goes with its last action.
struct stackData {
  int32_t script = 0;
  int32_t thread = 0;
  std::vector<actionData> actions;
};

std::vector<stackData> gStacks;
int32_t gNextAction = 1;  // never reset during a run

}  // namespace

void AppRegister(const char* name, std::function<void(const appCall&)> routine) {
  ScriptAppRoutineRegister(name, [routine = std::move(routine)](int32_t script, int32_t thread) {
    routine(appCall{script, thread});
    return 1;
  });
}

void AppRoutinesRegister() {
  ScriptAppObjRoutineRegisterRender("AppRenderAgents", [](const std::string&) { ArcadeRender(); });
  AppRoutinesRegisterAgentsRender();
  AppRoutinesRegisterDialogObjects();
  AppRoutinesRegisterSavesRender();
  AppRoutinesRegisterAgentsInObject();
  AppRoutinesRegisterDialogInObjects();
  AppRoutinesRegisterFlow();
  AppRoutinesRegisterArcade();
  AppRoutinesRegisterSound();
  AppRoutinesRegisterAgents();
  AppRoutinesRegisterDialog();
  AppRoutinesRegisterSaves();
}

int32_t GameActionAdd(int32_t script, int32_t thread, const std::string& name, int32_t kind, const std::string& detail) {
  stackData* stack = nullptr;
  for (stackData& s : gStacks) {
    if (s.script == script && s.thread == thread) stack = &s;
  }
  if (stack == nullptr) stack = &gStacks.emplace_back(stackData{script, thread, {}});
  stack->actions.push_back({gNextAction, name, kind, detail});
  return gNextAction++;
}

namespace {

template <typename Match>
void RemoveActions(Match match) {
  for (stackData& s : gStacks) std::erase_if(s.actions, match);
  std::erase_if(gStacks, [](const stackData& s) { return s.actions.empty(); });
}

}  // namespace

void GameActionRemove(int32_t kind, const std::string& detail) {
  RemoveActions([&](const actionData& a) { return a.kind == kind && a.detail == detail; });
}

void GameActionRemoveNamed(int32_t kind, const std::string& name) {
  RemoveActions([&](const actionData& a) { return a.kind == kind && a.name == name; });
}

bool GameActionsPending(int32_t script, int32_t thread) {
  for (const stackData& s : gStacks) {
    if (s.script == script && s.thread == thread) return true;
  }
  return false;
}

void GameActionsClear() { gStacks.clear(); }

// App routines of agents, their animations and inventories, and the concept-art picture: they
// move values between the calling thread's parameters and the agents module.
#include <cmath>

#include "game/agents.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "state/state.h"

namespace {

uint32_t GameTime() { return static_cast<uint32_t>(StateGetTime(kGameStateGame)); }

// Object names carry the agent after a fixed prefix.
std::string AgentAfter(const std::string& objectName, size_t prefix) {
  return objectName.size() > prefix ? objectName.substr(prefix) : std::string();
}

}  // namespace

void AppRoutinesRegisterAgentsRender() {
  ScriptAppObjRoutineRegisterRender("AppRenderConceptArt", [](const std::string&) { ConceptArtRender(); });
  ScriptAppObjRoutineRegisterRender("AppRenderInventory", [](const std::string& object) {
    AgentInventoryRender(AgentAfter(object, 12));
  });
}

void AppRoutinesRegisterAgentsInObject() {
  ScriptAppObjRoutineRegisterInObject("AppInObjectAgents", [](const std::string& object, int32_t x, int32_t y) {
    return AgentHit(AgentAfter(object, 5), x, y);
  });
}

void AppRoutinesRegisterAgents() {
  AppRegister("AppAgentAdd", [](const appCall& c) { AgentAdd(c.Text(1), GameTime()); });
  AppRegister("AppAgentAnimate", [](const appCall& c) {
    AgentAnimate(c.Text(1), c.Text(2), false, c.script, c.thread, GameTime());
  });
  AppRegister("AppAgentAnimatePersist", [](const appCall& c) {
    AgentAnimate(c.Text(1), c.Text(2), true, c.script, c.thread, GameTime());
  });
  AppRegister("AppAgentGetDestination", [](const appCall& c) {
    int32_t x = 0, y = 0;
    AgentGetDestination(c.Text(1), x, y);
    c.Set(2, x);
    c.Set(3, y);
  });
  AppRegister("AppAgentGetDirection", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? a->direction : 2);
  });
  AppRegister("AppAgentGetPosition", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? a->x : 0);
    c.Set(3, a ? a->y : 0);
  });
  AppRegister("AppAgentGetScale", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? static_cast<int32_t>(std::lround(a->scale * 100.0f)) : 100);
  });
  AppRegister("AppAgentIsWalking", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.SetBool(2, a != nullptr && a->pathIndex < static_cast<int32_t>(a->path.size()));
  });
  AppRegister("AppAgentSay", [](const appCall& c) {
    // Speech is not shown in this game: the parameters are read and nothing else happens.
    for (int32_t n = 1; n <= 4; ++n) static_cast<void>(c.Text(n));
    static_cast<void>(c.Int(5));
    static_cast<void>(c.Bool(6));
    static_cast<void>(c.Int(7));
    static_cast<void>(c.Bool(8));
  });
  AppRegister("AppAgentSetAnimation", [](const appCall& c) { AgentSetAnimation(c.Text(1), c.Int(2), c.Text(3)); });
  AppRegister("AppAgentSetDepth", [](const appCall& c) { AgentSetDepth(c.Text(1), c.Int(2)); });
  AppRegister("AppAgentSetDialogCameraOffset", [](const appCall& c) {
    AgentSetDialogCameraOffset(c.Text(1), c.Int(2), c.Int(3));
  });
  AppRegister("AppAgentSetDialogOffset", [](const appCall& c) { AgentSetDialogOffset(c.Text(1), c.Int(2), c.Int(3)); });
  AppRegister("AppAgentSetDirection", [](const appCall& c) { AgentSetDirection(c.Text(1), c.Int(2)); });
  AppRegister("AppAgentSetPosition", [](const appCall& c) { AgentSetPosition(c.Text(1), c.Int(2), c.Int(3)); });
  AppRegister("AppAgentSetScale", [](const appCall& c) { AgentSetScale(c.Text(1), c.Int(2)); });
  AppRegister("AppAgentWalkClearAction", [](const appCall& c) { AgentWalkClearAction(c.Text(1)); });
  AppRegister("AppAgentWalkTo", [](const appCall& c) { AgentWalkTo(c.Text(1), c.Int(2), c.Int(3), c.Text(4)); });
  AppRegister("AppDialogAdvance", [](const appCall&) { AgentsDialogAdvance(GameTime()); });
  AppRegister("AppDialogSetOffset", [](const appCall& c) { AgentsSetDialogCameraOffset(c.Int(1), c.Int(2)); });

  AppRegister("AppAgentInventoryAdd", [](const appCall& c) { AgentInventoryAdd(c.Text(1), c.Text(2), c.Text(3)); });
  AppRegister("AppAgentInventoryCount", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? static_cast<int32_t>(a->inventory.size()) : 0);
  });
  AppRegister("AppAgentInventoryEmpty", [](const appCall& c) {
    AgentInventoryEmpty(c.Text(1));
    c.Set(2, 0);
  });
  AppRegister("AppAgentInventoryFirst", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? a->firstDisplayedItem : 0);
  });
  AppRegister("AppAgentInventoryHasItem", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.SetBool(3, a != nullptr && AgentInventoryIndex(*a, c.Text(2)) >= 0);
  });
  AppRegister("AppAgentInventoryName", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    const int32_t index = c.Int(2);
    const bool inRange = a != nullptr && index >= 0 && index < static_cast<int32_t>(a->inventory.size());
    c.SetText(3, inRange ? a->inventory[static_cast<size_t>(index)].name : std::string());
  });
  AppRegister("AppAgentInventoryRemove", [](const appCall& c) { AgentInventoryRemove(c.Text(1), c.Text(2)); });
  AppRegister("AppAgentInventorySelect", [](const appCall& c) { AgentInventorySelect(c.Text(1), c.Int(2)); });
  AppRegister("AppAgentInventorySelectedIndex", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    c.Set(2, a ? a->selectedItem : -1);
  });
  AppRegister("AppAgentInventorySelectedName", [](const appCall& c) {
    const agent* a = AgentFind(c.Text(1));
    const bool selected = a != nullptr && a->selectedItem >= 0;
    c.SetText(2, selected ? a->inventory[static_cast<size_t>(a->selectedItem)].name : std::string());
  });
  AppRegister("AppAgentInventorySetHighlight", [](const appCall& c) { AgentInventorySetHighlight(c.Text(1), c.Text(2)); });

  AppRegister("AppConceptArtSet", [](const appCall& c) { ConceptArtSet(c.Text(1), c.Int(2)); });
}

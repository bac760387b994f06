// App routines of the dialog bubbles and options: they pass the script's values to the bubble
// module and find the agent the options belong to.
#include <algorithm>

#include "game/agents.h"
#include "game/app_routines.h"
#include "game/bubbles.h"
#include "game/game.h"

namespace {

// The option set's agent's camera offset; none for an unknown agent.
void CameraOffset(int32_t& x, int32_t& y) {
  agentDialogAnchor anchor;
  const bool found = AgentDialogAnchor(DialogOptions().agent, anchor);
  x = found ? anchor.cameraX : 0;
  y = found ? anchor.cameraY : 0;
}

}  // namespace

void AppRoutinesRegisterDialogObjects() {
  ScriptAppObjRoutineRegisterRender("AppRenderDialogOptions", [](const std::string&) {
    int32_t x = 0, y = 0;
    CameraOffset(x, y);
    DialogOptionsRender(x, y);
  });
}

void AppRoutinesRegisterDialogInObjects() {
  ScriptAppObjRoutineRegisterInObject("AppInDialogOptions", [](const std::string&, int32_t px, int32_t py) {
    int32_t x = 0, y = 0;
    CameraOffset(x, y);
    return DialogOptionsHit(px, py, x, y);
  });
}

void AppRoutinesRegisterDialog() {
  AppRegister("AppBubbleOpen", [](const appCall& c) { BubbleOpen(GameDisplayId(), c.Int(1), c.Text(2)); });
  AppRegister("AppDialogOptionBegin", [](const appCall& c) { DialogOptionsBegin(c.Text(1), c.Int(2)); });
  AppRegister("AppDialogOptionAdd", [](const appCall& c) { DialogOptionsAdd(c.Int(1), c.Text(2)); });
  AppRegister("AppDialogOptionEnd", [](const appCall&) {
    agentDialogAnchor anchor;
    if (AgentDialogAnchor(DialogOptions().agent, anchor)) DialogOptionsLayout(anchor);
  });
  AppRegister("AppDialogOptionGetId", [](const appCall& c) { c.Set(1, DialogOptionsSelectedId()); });
  AppRegister("AppDialogOptionSetAlignment", [](const appCall& c) {
    DialogOptions().alignHorizontal = c.Int(1);
    DialogOptions().alignVertical = c.Int(2);
  });
  AppRegister("AppDialogOptionSetBubbleOffset", [](const appCall& c) {
    DialogOptions().gapX = c.Int(1);
    DialogOptions().gapY = c.Int(2);
  });
  AppRegister("AppDialogOptionSetColumns", [](const appCall& c) { DialogOptions().columns = std::max(1, c.Int(1)); });
  AppRegister("AppDialogOptionSetHeadOffset", [](const appCall& c) {
    DialogOptions().headX = c.Int(1);
    DialogOptions().headY = c.Int(2);
  });
  AppRegister("AppDialogOptionSetMaxWidth", [](const appCall& c) { DialogOptions().maxWidth = c.Int(1); });
  AppRegister("AppDialogOptionSetMinBubbles", [](const appCall& c) { DialogOptions().minBubbles = c.Int(1); });
  AppRegister("AppDialogOptionSetTail", [](const appCall& c) {
    dialogOptions& set = DialogOptions();
    set.tailVertical = c.Int(1);
    set.tailHorizontal = c.Int(2);
    set.tailInset = c.Int(3);
    set.tailDirection = c.Int(4);
  });
  AppRegister("AppDialogOptionSetTailVisible", [](const appCall& c) { DialogOptions().tailsShown = c.Bool(1); });
}

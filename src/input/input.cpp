// Control sets: actions and their bindings, the two event queues, code states, the pointer and its
// movement across the pointer windows, the "Menu Controls" set, saving to the settings file.
#include "input/input.h"

#include <algorithm>
#include <array>
#include <deque>

#include "core/ids.h"
#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "input/input_internal.h"

namespace {

struct binding {
  int32_t code = 0;
  uint8_t scale = 100;  // percent
};

struct pointerInfo {
  int32_t window = 0;  // 0 for none
  bool mapMouse = false;
  int32_t x = 0;
  int32_t y = 0;
  std::array<std::vector<binding>, 4> directions;  // down, left, right, up
  uint32_t referenceTime = 0;  // when the pointer last moved for held codes (or the set was activated)
  // Thousandths of a pixel not yet moved, so that short frames add up to the full distance.
  int64_t remainderX = 0;
  int64_t remainderY = 0;
};

struct controlSet {
  std::string name;
  bool save = false;
  pointerInfo pointer;
  std::vector<int32_t> actions;  // ids in creation order
  std::deque<inputEvent> actionEvents;
  std::deque<inputEvent> inputEvents;
  utilArrayLong state = utilArrayLong(kInputFixedCodes, 0);  // entry code - 1
};

struct inputAction {
  int32_t set = 0;
  std::string name;
  std::vector<binding> bindings;
};

constexpr size_t kQueueLimit = 1000;
// A longer gap between two frames (a stall, a minimised window) moves the pointer no further.
constexpr int32_t kLongestPointerStep = 250;

struct InputState {
  IdRegistry<controlSet> sets;
  IdRegistry<inputAction> actions;
  int32_t active = -1;
  int32_t menu = -1;
  bool trace = false;
};

InputState gInput;
inputClock gClock = nullptr;

uint32_t Now() { return gClock != nullptr ? gClock() : UtilTickCount(); }

void Push(std::deque<inputEvent>& queue, inputEvent event) {
  // Full: the oldest event makes room, so a queue nobody reads keeps the latest input.
  if (queue.size() >= kQueueLimit) queue.pop_front();
  queue.push_back(event);
}

bool Binds(const std::vector<binding>& bindings, int32_t code) {
  return std::any_of(bindings.begin(), bindings.end(), [code](const binding& b) { return b.code == code; });
}

void Unbind(std::vector<binding>& bindings, int32_t code) {
  std::erase_if(bindings, [code](const binding& b) { return b.code == code; });
}

void CentrePointer(pointerInfo& pointer, int32_t window) {
  pointer.window = window;
  int32_t width = 0, height = 0;
  if (window != 0 && InputWindowSize(window, width, height)) {
    pointer.x = width / 2;
    pointer.y = height / 2;
  }
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Moves the pointer and keeps it in the pointer windows: past the left or right edge it goes on in
// the window registered before or after, else it stops at the edge; top and bottom stop it.
void MovePointer(pointerInfo& pointer, int64_t dx, int64_t dy) {
  int64_t x = pointer.x + dx;
  int64_t y = pointer.y + dy;
  int32_t width = 0, height = 0;
  if (InputWindowSize(pointer.window, width, height)) {
    if (x < 0) {
      const int32_t before = InputWindowNeighbour(pointer.window, -1);
      int32_t beforeWidth = 0, beforeHeight = 0;
      if (before != 0 && InputWindowSize(before, beforeWidth, beforeHeight)) {
        pointer.window = before;
        x += beforeWidth;
        width = beforeWidth;
        height = beforeHeight;
      } else {
        x = 0;
      }
    }
    if (x >= width) {
      const int32_t after = InputWindowNeighbour(pointer.window, 1);
      int32_t afterWidth = 0, afterHeight = 0;
      if (after != 0 && InputWindowSize(after, afterWidth, afterHeight)) {
        pointer.window = after;
        x -= width;
        width = afterWidth;
        height = afterHeight;
      } else {
        x = width - 1;
      }
    }
    // A step wider than a whole window would leave the pointer outside every window.
    x = std::clamp<int64_t>(x, 0, width - 1);
    y = std::clamp<int64_t>(y, 0, height - 1);
  }
  pointer.x = Saturate(x);
  pointer.y = Saturate(y);
}

// Every direction whose bound code is held pushes the pointer by scale x value x t x 8 / 100
// thousandths of a pixel, t the milliseconds since the previous step. Codes that add up their
// events (wheels) hold nothing and push nothing.
void StepPointer(controlSet& set) {
  pointerInfo& pointer = set.pointer;
  const uint32_t now = Now();
  const int32_t elapsed = static_cast<int32_t>(now - pointer.referenceTime);
  if (elapsed <= 0) return;
  pointer.referenceTime = now;
  const int64_t t = std::min(elapsed, kLongestPointerStep);
  int64_t push[4] = {0, 0, 0, 0};
  for (size_t direction = 0; direction < 4; ++direction) {
    for (const binding& b : pointer.directions[direction]) {
      if (InputCodeAccumulates(b.code) || b.code > static_cast<int32_t>(set.state.size())) continue;
      const int64_t value = set.state[static_cast<size_t>(b.code - 1)];
      push[direction] += b.scale * value * t * 8 / 100;
    }
  }
  pointer.remainderX += push[kInputPointerRight - 1] - push[kInputPointerLeft - 1];
  pointer.remainderY += push[kInputPointerDown - 1] - push[kInputPointerUp - 1];
  const int64_t dx = pointer.remainderX / 1000;
  const int64_t dy = pointer.remainderY / 1000;
  pointer.remainderX -= dx * 1000;
  pointer.remainderY -= dy * 1000;
  if (dx != 0 || dy != 0) MovePointer(pointer, dx, dy);
}

// The default bindings of one controller in the menu set: its stick moves the pointer, its Z axis
// scrolls, its first two buttons select.
void BindControllerDefaults(int32_t set, int32_t controller) {
  const int32_t pointer[][2] = {{kInputPointerUp, kControlYUp},
                                {kInputPointerDown, kControlYDown},
                                {kInputPointerLeft, kControlXLeft},
                                {kInputPointerRight, kControlXRight}};
  for (const auto& [direction, control] : pointer) {
    const int32_t code = InputJoystickControlCode(controller, control);
    if (code > 0) InputPointerControlAdd(set, direction, code, 100);
  }
  const std::pair<const char*, int32_t> actions[] = {
      {"Scroll Up", kControlZUp}, {"Scroll Down", kControlZDown}, {"Select Item", 1}, {"Select Item Secondary", 2}};
  for (const auto& [name, control] : actions) {
    const int32_t action = InputActionFind(set, name);
    const int32_t code = InputJoystickControlCode(controller, control);
    if (action > 0 && code > 0) InputActionControlAdd(action, code, 100);
  }
}

void CreateMenuSet() {
  const int32_t set = InputControlSetNew("Menu Controls", false);
  gInput.menu = set;
  const int32_t pointer[][3] = {{kInputPointerUp, kCodeMouseUp, kCodeUpArrow},
                                {kInputPointerDown, kCodeMouseDown, kCodeDownArrow},
                                {kInputPointerLeft, kCodeMouseLeft, kCodeLeftArrow},
                                {kInputPointerRight, kCodeMouseRight, kCodeRightArrow}};
  for (const auto& [direction, mouse, arrow] : pointer) {
    InputPointerControlAdd(set, direction, mouse, 100);
    InputPointerControlAdd(set, direction, arrow, 50);
  }
  const std::pair<const char*, std::vector<int32_t>> actions[] = {
      {"Scroll Up", {kCodeMouseScrollUp, kCodePageUp}},
      {"Scroll Down", {kCodeMouseScrollDown, kCodePageDown}},
      {"Exit", {kCodeEscape}},
      {"Select Item", {kCodeMouseLeftButton, kCodeEnter}},
      {"Select Item Secondary", {kCodeMouseRightButton}},
  };
  for (const auto& [name, codes] : actions) {
    const int32_t action = InputActionNew(set, name);
    for (int32_t code : codes) InputActionControlAdd(action, code, 100);
  }
  for (int32_t controller = 0; controller < InputJoystickCount(); ++controller) BindControllerDefaults(set, controller);
}

std::string BindingText(const binding& b) { return InputControlSettingName(b.code) + " " + std::to_string(b.scale); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start and end

void InputStart() {
  LogVersion("fwkInput - Version 1.0");
  gInput = InputState{};
  gInput.trace = UtilSwitchPresent("-trace");
  InputDevicesStart();
  CreateMenuSet();
}

void InputEnd() {
  InputKeyboardHookOff();
  IniWriteBegin();  // every saved set in one replace
  for (const auto& [id, set] : gInput.sets) {
    if (set.save) InputControlSetSave(id);
  }
  IniWriteCommit();
  InputDevicesEnd();
  gInput.sets.Clear();
  gInput.actions.Clear();
  gInput.active = -1;
  gInput.menu = -1;
}

void InputFrame() {
  InputDevicesFrame();
  if (controlSet* set = gInput.sets.Find(gInput.active)) StepPointer(*set);
}

void InputClockSet(inputClock clock) { gClock = clock; }

void InputMenuBindController(int32_t controller) {
  if (gInput.sets.Contains(gInput.menu)) BindControllerDefaults(gInput.menu, controller);
}

// ---------------------------------------------------------------------------------------------
// Control sets and actions

int32_t InputControlSetNew(const std::string& name, bool save) {
  if (InputControlSetFind(name) != -1) return 0;
  controlSet set;
  set.name = name;
  set.save = save;
  CentrePointer(set.pointer, InputWindowFirst());
  set.pointer.referenceTime = Now();
  return gInput.sets.Add(std::move(set));
}

int32_t InputControlSetFind(const std::string& name) {
  const std::string wanted = UtilUpper(name);
  for (const auto& [id, set] : gInput.sets) {
    if (UtilUpper(set.name) == wanted) return id;
  }
  return -1;
}

void InputControlSetActivate(int32_t id) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return;
  gInput.active = id;
  set->pointer.referenceTime = Now();
  set->pointer.remainderX = 0;
  set->pointer.remainderY = 0;
}

int32_t InputControlSetActive() { return gInput.active; }

int32_t InputMenuControlSet() { return gInput.menu; }

int32_t InputActionNew(int32_t id, const std::string& name) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || InputActionFind(id, name) != 0) return 0;
  const int32_t action = gInput.actions.Add(inputAction{id, name, {}});
  set->actions.push_back(action);
  return action;
}

int32_t InputActionFind(int32_t id, const std::string& name) {
  const controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return 0;
  const std::string wanted = UtilUpper(name);
  for (int32_t action : set->actions) {
    if (UtilUpper(gInput.actions.Find(action)->name) == wanted) return action;
  }
  return 0;
}

int32_t InputActionCount(int32_t id) {
  const controlSet* set = gInput.sets.Find(id);
  return set != nullptr ? static_cast<int32_t>(set->actions.size()) : 0;
}

int32_t InputActionIdGet(int32_t id, int32_t index) {
  const controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || index < 0 || index >= static_cast<int32_t>(set->actions.size())) return -1;
  return set->actions[static_cast<size_t>(index)];
}

std::string InputActionNameGet(int32_t action) {
  const inputAction* record = gInput.actions.Find(action);
  return record != nullptr ? record->name : "";
}

void InputActionControlAdd(int32_t action, int32_t code, int32_t scale) {
  inputAction* record = gInput.actions.Find(action);
  if (record == nullptr || Binds(record->bindings, code)) return;
  for (int32_t other : gInput.sets.Find(record->set)->actions) Unbind(gInput.actions.Find(other)->bindings, code);
  record->bindings.push_back(binding{code, static_cast<uint8_t>(scale & 0xFF)});
}

void InputActionControlRemove(int32_t action, int32_t code) {
  if (inputAction* record = gInput.actions.Find(action)) Unbind(record->bindings, code);
}

void InputActionControlsClear(int32_t action) {
  if (inputAction* record = gInput.actions.Find(action)) record->bindings.clear();
}

int32_t InputActionControlGet(int32_t action, int32_t index) {
  const inputAction* record = gInput.actions.Find(action);
  if (record == nullptr || index < 0 || index >= static_cast<int32_t>(record->bindings.size())) return 0;
  return record->bindings[static_cast<size_t>(index)].code;
}

int32_t InputActionFromControl(int32_t id, int32_t code) {
  const controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return -1;
  for (int32_t action : set->actions) {
    if (Binds(gInput.actions.Find(action)->bindings, code)) return action;
  }
  return -1;
}

void InputPointerControlAdd(int32_t id, int32_t direction, int32_t code, int32_t scale) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || direction < 1 || direction > 4 || code < 1) return;
  pointerInfo& pointer = set->pointer;
  if (code == kCodeMouseDown || code == kCodeMouseLeft || code == kCodeMouseRight || code == kCodeMouseUp) {
    pointer.mapMouse = true;
    return;
  }
  std::vector<binding>& list = pointer.directions[static_cast<size_t>(direction - 1)];
  if (Binds(list, code)) return;
  for (std::vector<binding>& other : pointer.directions) Unbind(other, code);
  list.push_back(binding{code, static_cast<uint8_t>(scale & 0xFF)});
}

void InputPointerGet(int32_t id, int32_t& window, int32_t& x, int32_t& y) {
  const controlSet* set = gInput.sets.Find(id);
  window = set != nullptr ? set->pointer.window : 0;
  x = set != nullptr ? set->pointer.x : 0;
  y = set != nullptr ? set->pointer.y : 0;
}

void InputSetsTakeWindow(int32_t window) {
  for (auto& [id, set] : gInput.sets) {
    if (set.pointer.window == 0) CentrePointer(set.pointer, window);
  }
}

bool InputPointerFollowMouse(int32_t id, int32_t window, int32_t x, int32_t y) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || !set->pointer.mapMouse) return false;
  set->pointer.window = window;
  set->pointer.x = x;
  set->pointer.y = y;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Events and states

void InputControlEvent(int32_t id, int32_t code, int32_t value) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || code < 1) return;
  Push(set->inputEvents, inputEvent{code, value, 0});
  if (static_cast<size_t>(code) > set->state.size()) set->state.resize(static_cast<size_t>(code), 0);
  int32_t& state = set->state[static_cast<size_t>(code - 1)];
  // Motion and wheels add up; the sum wraps rather than overflow in a long session.
  state = InputCodeAccumulates(code) ? static_cast<int32_t>(static_cast<uint32_t>(state) + static_cast<uint32_t>(value))
                                     : value;
  const int32_t action = InputActionFromControl(id, code);
  if (action > 0) {
    const std::vector<binding>& bindings = gInput.actions.Find(action)->bindings;
    const auto bound = std::find_if(bindings.begin(), bindings.end(), [code](const binding& b) { return b.code == code; });
    Push(set->actionEvents, inputEvent{action, Saturate(int64_t{bound->scale} * value / 100), 0});
  }
  if (gInput.trace) {
    LogTrace("InputControlEvent - set " + std::to_string(id) + " code " + std::to_string(code) + " \"" +
             InputControlName(code) + "\" value " + std::to_string(value) +
             (action > 0 ? " action \"" + InputActionNameGet(action) + "\"" : std::string()));
  }
}

int32_t InputControlStateGet(int32_t id, int32_t code) {
  const controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || code < 1 || static_cast<size_t>(code) > set->state.size()) return 0;
  return set->state[static_cast<size_t>(code - 1)];
}

inputBuffer InputControlEventsGet(int32_t id) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return {};
  inputBuffer events(set->inputEvents.begin(), set->inputEvents.end());
  set->inputEvents.clear();
  return events;
}

inputBuffer InputActionEventsGet(int32_t id, bool clear) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return {};
  inputBuffer events(set->actionEvents.begin(), set->actionEvents.end());
  if (clear) set->actionEvents.clear();
  return events;
}

void InputActionEventMark(int32_t id, int32_t index) {
  controlSet* set = gInput.sets.Find(id);
  if (set == nullptr || index < 0 || static_cast<size_t>(index) >= set->actionEvents.size()) return;
  set->actionEvents[static_cast<size_t>(index)].handled = 1;
}

// ---------------------------------------------------------------------------------------------
// Saving

void InputControlSetSave(int32_t id) {
  const controlSet* set = gInput.sets.Find(id);
  if (set == nullptr) return;
  const std::string section = "Input Control Set " + set->name;
  IniWriteBegin();  // the set's many keys reach the file in one replace
  const std::vector<inputJoystick>& joysticks = InputJoysticks();
  IniWriteInteger(section, "Game Controllers", static_cast<int32_t>(joysticks.size()));
  for (size_t n = 0; n < joysticks.size(); ++n) {
    IniWriteString(section, "Controller " + std::to_string(n + 1),
                   std::to_string(joysticks[n].vendor) + ";" + std::to_string(joysticks[n].product));
  }
  IniWriteInteger(section, "Action Count", static_cast<int32_t>(set->actions.size()));
  for (size_t n = 0; n < set->actions.size(); ++n) {
    const inputAction& action = *gInput.actions.Find(set->actions[n]);
    const std::string key = "Action " + std::to_string(n + 1);
    IniWriteString(section, key, action.name);
    IniWriteInteger(section, key + " Controls", static_cast<int32_t>(action.bindings.size()));
    for (size_t m = 0; m < action.bindings.size(); ++m) {
      IniWriteString(section, key + " Control " + std::to_string(m + 1), BindingText(action.bindings[m]));
    }
  }
  IniWriteBool(section, "Pointer Map Mouse", set->pointer.mapMouse);
  for (size_t k = 0; k < 4; ++k) {
    const std::vector<binding>& list = set->pointer.directions[k];
    const std::string key = "Pointer Action " + std::to_string(k + 1);
    IniWriteInteger(section, key + " Controls", static_cast<int32_t>(list.size()));
    for (size_t m = 0; m < list.size(); ++m) {
      IniWriteString(section, key + " Control " + std::to_string(m + 1), BindingText(list[m]));
    }
  }
  IniWriteCommit();
}

// The devices that feed the active control set: keys from the platform's key events (while the
// keyboard is "hooked"), the mouse, and the game controllers read once a frame. Also the list of
// pointer windows.
#include <algorithm>
#include <cstdlib>

#include "input/input.h"
#include "input/input_internal.h"
#include "platform/platform.h"

namespace {

// USB HID usages of the keys handled before translation.
constexpr int32_t kScancodeTab = 43;
constexpr int32_t kScancodePrintScreen = 70;
constexpr int32_t kScancodeLeftGui = 227;
constexpr int32_t kScancodeRightGui = 231;

// A wheel event of many steps (a fast flick) counts as at most this many notches.
constexpr int32_t kMostWheelNotches = 10;
// Axes 0 to 5 are X, Y, Z, R, U, V: the controls for their negative and positive sides.
constexpr int32_t kAxisControls[6][2] = {
    {kControlXLeft, kControlXRight}, {kControlYUp, kControlYDown}, {kControlZUp, kControlZDown},
    {kControlRUp, kControlRDown},    {kControlUUp, kControlUDown}, {kControlVUp, kControlVDown},
};

struct pointerWindow {
  int32_t id = 0;
  int32_t handle = 0;      // platform window
  bool grabbed = false;    // the keyboard grab is on for the handle
};

struct DeviceState {
  std::vector<pointerWindow> windows;  // registration order
  std::vector<inputJoystick> joysticks;
  int32_t platformSeen = 0;  // platform controllers taken into the list so far
  int32_t lastX = -1;
  int32_t lastY = -1;
  bool hooked = false;
  bool controllers = false;
};

DeviceState gDevices;

int32_t ActiveSet() {
  const int32_t set = InputControlSetActive();
  return set > 0 ? set : 0;
}

void Send(int32_t code, int32_t value) {
  if (const int32_t set = ActiveSet()) InputControlEvent(set, code, value);
}

pointerWindow* WindowRecord(int32_t id) {
  for (pointerWindow& window : gDevices.windows) {
    if (window.id == id) return &window;
  }
  return nullptr;
}

void Grab(pointerWindow& window, bool grab) {
  if (window.grabbed == grab) return;
  PlatformWindowGrabKeyboard(window.handle, grab);
  window.grabbed = grab;
}

// The GUI keys are kept from the desktop while the program is fullscreen and has the keyboard.
void UpdateGrabs() {
  for (pointerWindow& window : gDevices.windows) Grab(window, gDevices.hooked && PlatformWindowFullscreen(window.handle));
}

// ---------------------------------------------------------------------------------------------
// Controllers

inputJoystick JoystickOf(const platformController& info, int32_t platformIndex) {
  inputJoystick joystick;
  joystick.name = info.name;
  if (joystick.name.empty()) {
    joystick.name = std::to_string(info.axes) + "-axis, " + std::to_string(info.buttons) + "-button joystick";
  }
  joystick.vendor = info.vendor;
  joystick.product = info.product;
  joystick.axes = info.axes;
  joystick.buttons = info.buttons;
  joystick.hats = info.hats;
  joystick.platformIndex = platformIndex;
  return joystick;
}

bool SameDevice(const inputJoystick& a, const inputJoystick& b) {
  return a.name == b.name && a.vendor == b.vendor && a.product == b.product && a.axes == b.axes &&
         a.buttons == b.buttons && a.hats == b.hats;
}

// Controllers the platform found since the last frame. One that was pulled out and comes back
// takes its old place, so its codes and bindings hold; a new one is appended with the menu
// set's default bindings.
void TakeNewControllers(bool atStart) {
  const int32_t count = PlatformControllerCount();
  for (; gDevices.platformSeen < count; ++gDevices.platformSeen) {
    platformController info;
    if (!PlatformControllerInfo(gDevices.platformSeen, info)) continue;
    inputJoystick joystick = JoystickOf(info, gDevices.platformSeen);
    auto old = std::find_if(gDevices.joysticks.begin(), gDevices.joysticks.end(), [&](const inputJoystick& j) {
      return j.platformIndex < 0 && SameDevice(j, joystick);
    });
    if (old != gDevices.joysticks.end()) {
      old->platformIndex = gDevices.platformSeen;
      continue;
    }
    gDevices.joysticks.push_back(std::move(joystick));
    if (!atStart) InputMenuBindController(static_cast<int32_t>(gDevices.joysticks.size()) - 1);
  }
}

void SendControl(int32_t controller, inputJoystick& joystick, int32_t control, int32_t value) {
  int32_t& sent = joystick.sent[static_cast<size_t>(control - 1)];
  if (sent == value) return;
  sent = value;
  Send(InputJoystickControlCode(controller, control), value);
}

void PollController(int32_t controller, inputJoystick& joystick) {
  if (joystick.platformIndex < 0) return;
  platformControllerState state;
  if (!PlatformControllerRead(joystick.platformIndex, state)) {
    // Pulled out: whatever it held is let go.
    for (int32_t control = 1; control <= kInputControllerControls; ++control) {
      if (InputJoystickHasControl(joystick, control)) SendControl(controller, joystick, control, 0);
    }
    joystick.platformIndex = -1;
    return;
  }
  const size_t buttons = std::min<size_t>(state.buttons.size(), kInputControllerButtons);
  for (size_t k = 0; k < buttons; ++k) {
    SendControl(controller, joystick, static_cast<int32_t>(k) + 1, state.buttons[k] ? 100 : 0);
  }
  if (!state.hats.empty()) SendControl(controller, joystick, kControlPovHat, InputHatDirection(state.hats[0]));
  const size_t axes = std::min<size_t>(state.axes.size(), 6);
  for (size_t axis = 0; axis < axes; ++axis) {
    const int32_t rest = axis < state.axisRest.size() ? state.axisRest[axis] : 0;
    SendControl(controller, joystick, kAxisControls[axis][0], InputAxisDeflection(state.axes[axis], rest, false));
    SendControl(controller, joystick, kAxisControls[axis][1], InputAxisDeflection(state.axes[axis], rest, true));
  }
}

}  // namespace

std::vector<inputJoystick>& InputJoysticks() { return gDevices.joysticks; }

// ---------------------------------------------------------------------------------------------
// Start, end and the frame

void InputDevicesStart() {
  gDevices = DeviceState{};
  gDevices.controllers = PlatformControllersStart();
  if (gDevices.controllers) TakeNewControllers(true);
}

void InputDevicesEnd() {
  InputKeyboardHookOff();
  for (pointerWindow& window : gDevices.windows) Grab(window, false);
  if (gDevices.controllers) PlatformControllersEnd();
  gDevices = DeviceState{};
}

void InputDevicesFrame() {
  if (gDevices.controllers) {
    PlatformControllersUpdate();
    TakeNewControllers(false);
    for (size_t j = 0; j < gDevices.joysticks.size(); ++j) {
      PollController(static_cast<int32_t>(j), gDevices.joysticks[j]);
    }
  }
  UpdateGrabs();
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void InputKeyboardHookOn() {
  gDevices.hooked = true;
  UpdateGrabs();
}

void InputKeyboardHookOff() {
  if (!gDevices.hooked) return;
  gDevices.hooked = false;
  UpdateGrabs();
  // The releases of keys held now will not arrive: let them go, so that a key (Alt above all)
  // does not stay down in the set until it is pressed again.
  if (const int32_t set = ActiveSet()) {
    for (int32_t code = 1; code <= kInputLastKeyCode; ++code) {
      if (InputControlStateGet(set, code) != 0) InputControlEvent(set, code, 0);
    }
  }
}

void InputKeyboardMessage(const platformEvent& event) {
  const bool down = event.kind == platformEventKind::kKeyDown;
  if (!gDevices.hooked || (!down && event.kind != platformEventKind::kKeyUp)) return;
  if (event.scancode == kScancodePrintScreen) return;  // left to the desktop
  if (down && event.scancode == kScancodeTab && event.altHeld) {
    // The player is switching away; the shell hooks again when the program is back.
    InputKeyboardHookOff();
    return;
  }
  if (event.scancode == kScancodeLeftGui || event.scancode == kScancodeRightGui) return;
  const int32_t set = ActiveSet();
  const int32_t code = InputKeyCode(event.scancode, event.symbol);
  if (set == 0 || code == 0) return;
  if (!down) {
    InputControlEvent(set, code, 0);
  } else if (InputControlStateGet(set, code) == 0) {
    // Only the first press of a held key counts, whatever the key repeat does.
    InputControlEvent(set, code, 100);
  }
}

// ---------------------------------------------------------------------------------------------
// Mouse

void InputMouseMessage(const platformEvent& event) {
  const int32_t set = ActiveSet();
  if (set == 0) return;
  switch (event.kind) {
    case platformEventKind::kMouseMove: {
      // Positions are signed: outside the window (a drag past its edge) they go below zero.
      const int64_t dx = int64_t{event.x} - gDevices.lastX;
      const int64_t dy = int64_t{event.y} - gDevices.lastY;
      if (dx < 0) InputControlEvent(set, kCodeMouseLeft, static_cast<int32_t>(-dx * 100));
      if (dx > 0) InputControlEvent(set, kCodeMouseRight, static_cast<int32_t>(dx * 100));
      if (dy < 0) InputControlEvent(set, kCodeMouseUp, static_cast<int32_t>(-dy * 100));
      if (dy > 0) InputControlEvent(set, kCodeMouseDown, static_cast<int32_t>(dy * 100));
      if (dx != 0 || dy != 0) InputPointerFollowMouse(set, InputWindowOfHandle(event.window), event.x, event.y);
      gDevices.lastX = event.x;
      gDevices.lastY = event.y;
      return;
    }
    case platformEventKind::kMouseButtonDown:
    case platformEventKind::kMouseButtonUp:
      // Left, middle, right, extra 1 and 2 are codes 114 to 118 in the same order.
      if (event.button >= 1 && event.button <= 5) {
        InputControlEvent(set, kCodeMouseLeftButton + event.button - 1,
                          event.kind == platformEventKind::kMouseButtonDown ? 100 : 0);
      }
      return;
    case platformEventKind::kMouseWheel: {
      // A notch is a press that is never released: the code's state counts the notches.
      const int32_t vertical = event.wheel > 0 ? kCodeMouseScrollUp : kCodeMouseScrollDown;
      for (int32_t n = std::min(std::abs(event.wheel), kMostWheelNotches); n > 0; --n) InputControlEvent(set, vertical, 100);
      const int32_t horizontal = event.wheelX > 0 ? kCodeMouseScrollRight : kCodeMouseScrollLeft;
      for (int32_t n = std::min(std::abs(event.wheelX), kMostWheelNotches); n > 0; --n) {
        InputControlEvent(set, horizontal, 100);
      }
      return;
    }
    default:
      return;
  }
}

void InputMouseReset(int32_t x, int32_t y) {
  gDevices.lastX = x;
  gDevices.lastY = y;
  for (int32_t code : {kCodeMouseLeft, kCodeMouseRight, kCodeMouseUp, kCodeMouseDown}) Send(code, 0);
}

// Linux has no system setting for swapped mouse buttons that a program could ask for: a left-handed
// mapping is applied by the X server or the compositor before the buttons reach the program, so
// the buttons arrive already swapped and the answer is always no.
bool InputMouseButtonsSwapped() { return false; }

// ---------------------------------------------------------------------------------------------
// Pointer windows

void InputWindowAdd(int32_t window, int32_t handle) {
  if (WindowRecord(window) != nullptr) {
    InputWindowHandleSet(window, handle);
  } else {
    gDevices.windows.push_back(pointerWindow{window, handle, false});
  }
  InputSetsTakeWindow(window);
  UpdateGrabs();
}

void InputWindowRemove(int32_t window) {
  pointerWindow* record = WindowRecord(window);
  if (record == nullptr) return;
  Grab(*record, false);
  std::erase_if(gDevices.windows, [window](const pointerWindow& w) { return w.id == window; });
}

void InputWindowHandleSet(int32_t window, int32_t handle) {
  pointerWindow* record = WindowRecord(window);
  if (record == nullptr || record->handle == handle) return;
  Grab(*record, false);
  record->handle = handle;
  UpdateGrabs();
}

int32_t InputWindowFirst() { return gDevices.windows.empty() ? 0 : gDevices.windows.front().id; }

bool InputWindowSize(int32_t window, int32_t& width, int32_t& height) {
  const pointerWindow* record = WindowRecord(window);
  platformRect rect;
  if (record == nullptr || !PlatformWindowGetRect(record->handle, rect)) return false;
  width = std::max(rect.width, 1);
  height = std::max(rect.height, 1);
  return true;
}

int32_t InputWindowNeighbour(int32_t window, int step) {
  for (size_t k = 0; k < gDevices.windows.size(); ++k) {
    if (gDevices.windows[k].id != window) continue;
    const size_t other = k + static_cast<size_t>(step);  // wraps past the front: out of range
    return other < gDevices.windows.size() ? gDevices.windows[other].id : 0;
  }
  return 0;
}

int32_t InputWindowOfHandle(int32_t handle) {
  for (const pointerWindow& window : gDevices.windows) {
    if (window.handle == handle) return window.id;
  }
  return 0;
}

// Input codes: the 126 fixed codes of keys and mouse, the 45 codes of each game controller, their
// display and settings names, the analog codes, and the translation of keys into codes.
#include <array>
#include <cctype>

#include "input/input.h"
#include "input/input_internal.h"

namespace {

// Codes 1 to 126 in order (index code - 1); each name is both shown and saved.
const std::array<const char*, kInputFixedCodes> kFixedNames = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
    "A", "Left Alt", "Right Alt", "Down Arrow", "Left Arrow", "Right Arrow", "Up Arrow",
    "B", "\\", "Backspace", "[", "]", "C", "Caps Lock", ",", "Context Menu", "Left Control", "Right Control",
    "D", "-", "Delete", "E", "End", "Enter", "=", "Escape", "F",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24",
    "G", "H", "Home", "I", "Insert", "J", "K", "L", "M", "N", "Num Lock",
    "Numpad 1", "Numpad 2", "Numpad 3", "Numpad 4", "Numpad 5", "Numpad 6", "Numpad 7", "Numpad 8", "Numpad 9",
    "Numpad 0",
    "Numpad Enter", "Numpad -", "Numpad *", "Numpad .", "Numpad +", "Numpad /",
    "O", "P", "Page Down", "Page Up", "Pause", ".", "Q", "'", "R", "S", "Scroll Lock",
    ";", "Left Shift", "Right Shift", "/", "Space", "T", "Tab", "`", "U", "V", "W", "X", "Y", "Z",
    "Mouse Left Button", "Mouse Middle Button", "Mouse Right Button", "Mouse Button 4", "Mouse Button 5",
    "Mouse Down", "Mouse Left", "Mouse Right", "Mouse Scroll Left", "Mouse Scroll Right", "Mouse Scroll Down",
    "Mouse Scroll Up", "Mouse Up",
};

// Controls 33 to 45 of a controller (index control - 33).
const std::array<const char*, 13> kAxisControlNames = {
    "POV Hat",     "R-axis Down", "R-axis Up",    "U-axis Down", "U-axis Up",   "V-axis Down", "V-axis Up",
    "X-axis Left", "X-axis Right", "Y-axis Down", "Y-axis Up",   "Z-axis Down", "Z-axis Up",
};

// A controller's analog controls in the order InputAnalogControlCode counts them.
constexpr int32_t kAnalogOrder[] = {kControlXLeft, kControlXRight, kControlYUp, kControlYDown,
                                    kControlZUp,   kControlZDown,  kControlRUp, kControlRDown,
                                    kControlUUp,   kControlUDown,  kControlVUp, kControlVDown};

// The controller and control of a code; false for fixed codes and codes of no listed controller.
bool ControllerOfCode(int32_t code, int32_t& controller, int32_t& control) {
  if (code <= kInputFixedCodes) return false;
  controller = (code - kInputFixedCodes - 1) / kInputControllerControls;
  control = code - kInputFixedCodes - kInputControllerControls * controller;
  return controller < static_cast<int32_t>(InputJoysticks().size());
}

// The code of the key whose fixed name is that one character (letters upper case); 0 when none.
int32_t CodeOfCharacter(int32_t character) {
  if (character <= 0 || character > 127) return 0;
  const char upper = static_cast<char>(std::toupper(character));
  for (int32_t code = 1; code <= kInputLastKeyCode; ++code) {
    const char* name = kFixedNames[static_cast<size_t>(code - 1)];
    if (name[0] == upper && name[1] == '\0') return code;
  }
  return 0;
}

// USB HID usages of the keys that type characters: letters 4 to 29, digits 30 to 39, and the
// punctuation keys 45 to 56 (40 to 44 are Enter, Escape, Backspace, Tab and Space, placed below). Each gives the character it types on a US layout, which is what
// the key counts as when the current layout gives it a character that has no code.
constexpr int32_t kFirstCharacterKey = 4;
constexpr int32_t kLastCharacterKey = 56;
constexpr const char kUsCharacters[] = "abcdefghijklmnopqrstuvwxyz1234567890\0\0\0\0\0-=[]\\\\;'`,./";

// Every other key counts by its place on the keyboard: (HID usage, code). The numpad keys give
// the numpad codes whether or not Num Lock is on; Print Screen and the GUI keys give none.
struct keyPlace {
  int32_t scancode;
  int32_t code;
};
constexpr keyPlace kKeyPlaces[] = {
    {40, 34},   // Enter
    {41, 36},   // Escape
    {42, 20},   // Backspace
    {43, 106},  // Tab
    {44, 104},  // Space
    {57, 24},   // Caps Lock
    {71, 99},   // Scroll Lock
    {72, 93},   // Pause
    {73, 66},   // Insert
    {74, 64},   // Home
    {75, 92},   // Page Up
    {76, 31},   // Delete
    {77, 33},   // End
    {78, 91},   // Page Down
    {79, 16},   // Right
    {80, 15},   // Left
    {81, 14},   // Down
    {82, 17},   // Up
    {83, 72},   // Num Lock
    {84, 88},   // numpad /
    {85, 85},   // numpad *
    {86, 84},   // numpad -
    {87, 87},   // numpad +
    {88, 83},   // numpad Enter
    {89, 73},  {90, 74}, {91, 75}, {92, 76}, {93, 77}, {94, 78}, {95, 79}, {96, 80}, {97, 81},  // numpad 1-9
    {98, 82},   // numpad 0
    {99, 86},   // numpad .
    {101, 26},  // Applications (context menu)
    {156, 77},  // Clear, the numpad 5 of some keyboards
    {224, 27},  // left Control
    {225, 101}, // left Shift
    {226, 12},  // left Alt
    {228, 28},  // right Control
    {229, 102}, // right Shift
    {230, 13},  // right Alt (AltGr)
};
constexpr int32_t kFirstFunctionKey = 58;   // F1 to F12
constexpr int32_t kFirstFunctionKey13 = 104;  // F13 to F24
constexpr int32_t kCodeF1 = 38;

}  // namespace

int32_t InputKeyCode(int32_t scancode, int32_t symbol) {
  for (const keyPlace& place : kKeyPlaces) {
    if (place.scancode == scancode) return place.code;
  }
  if (scancode >= kFirstCharacterKey && scancode <= kLastCharacterKey) {
    // What the key types in the player's layout decides, so the letters printed on the keys count.
    if (const int32_t code = CodeOfCharacter(symbol)) return code;
    return CodeOfCharacter(kUsCharacters[scancode - kFirstCharacterKey]);
  }
  if (scancode >= kFirstFunctionKey && scancode < kFirstFunctionKey + 12) return kCodeF1 + scancode - kFirstFunctionKey;
  if (scancode >= kFirstFunctionKey13 && scancode < kFirstFunctionKey13 + 12) {
    return kCodeF1 + 12 + scancode - kFirstFunctionKey13;
  }
  return 0;
}

bool InputJoystickHasControl(const inputJoystick& joystick, int32_t control) {
  if (control >= 1 && control <= kInputControllerButtons) return control <= joystick.buttons;
  switch (control) {
    case kControlPovHat: return joystick.hats > 0;
    case kControlZDown:
    case kControlZUp: return joystick.axes > 2;
    case kControlRDown:
    case kControlRUp: return joystick.axes > 3;
    case kControlUDown:
    case kControlUUp: return joystick.axes > 4;
    case kControlVDown:
    case kControlVUp: return joystick.axes > 5;
    case kControlXLeft:
    case kControlXRight:
    case kControlYDown:
    case kControlYUp: return true;
    default: return false;
  }
}

std::string InputJoystickControlName(int32_t control) {
  if (control >= 1 && control <= kInputControllerButtons) return "Button " + std::to_string(control);
  if (control > kInputControllerButtons && control <= kInputControllerControls) {
    return kAxisControlNames[static_cast<size_t>(control - kControlPovHat)];
  }
  return "";
}

int32_t InputJoystickCount() { return static_cast<int32_t>(InputJoysticks().size()); }

int32_t InputJoystickControlCode(int32_t controller, int32_t control) {
  if (controller < 0 || controller >= InputJoystickCount()) return -1;
  if (!InputJoystickHasControl(InputJoysticks()[static_cast<size_t>(controller)], control)) return -1;
  return kInputFixedCodes + kInputControllerControls * controller + control;
}

std::string InputControlName(int32_t code) {
  if (code >= 1 && code <= kInputFixedCodes) return kFixedNames[static_cast<size_t>(code - 1)];
  int32_t controller = 0, control = 0;
  if (!ControllerOfCode(code, controller, control)) return "";
  const inputJoystick& joystick = InputJoysticks()[static_cast<size_t>(controller)];
  if (!InputJoystickHasControl(joystick, control)) return "";
  return InputJoystickControlName(control) + " (" + joystick.name + ")";
}

std::string InputControlSettingName(int32_t code) {
  if (code >= 1 && code <= kInputFixedCodes) return kFixedNames[static_cast<size_t>(code - 1)];
  int32_t controller = 0, control = 0;
  if (!ControllerOfCode(code, controller, control)) return "";
  if (!InputJoystickHasControl(InputJoysticks()[static_cast<size_t>(controller)], control)) return "";
  return "Controller" + std::to_string(controller + 1) + " " + InputJoystickControlName(control);
}

bool InputControlIsAnalog(int32_t code) {
  if (code >= kCodeMouseDown && code <= kCodeMouseUp) return true;
  if (code <= kInputFixedCodes) return false;
  const int32_t control = (code - kInputFixedCodes - 1) % kInputControllerControls + 1;
  return control > kInputControllerButtons;
}

int32_t InputAnalogControlCode(int32_t index) {
  if (index < 0) return 0;
  // Linux cannot tell whether the mouse has wheels; SDL delivers both kinds whenever a device
  // turns them, so both count as present.
  constexpr int32_t kMouse[] = {kCodeMouseLeft,        kCodeMouseRight,       kCodeMouseUp,
                                kCodeMouseDown,        kCodeMouseScrollUp,    kCodeMouseScrollDown,
                                kCodeMouseScrollLeft,  kCodeMouseScrollRight};
  constexpr int32_t kMouseCount = static_cast<int32_t>(sizeof(kMouse) / sizeof(kMouse[0]));
  if (index < kMouseCount) return kMouse[index];
  index -= kMouseCount;
  for (int32_t controller = 0; controller < InputJoystickCount(); ++controller) {
    for (int32_t control : kAnalogOrder) {
      const int32_t code = InputJoystickControlCode(controller, control);
      if (code < 0) continue;
      if (index == 0) return code;
      --index;
    }
  }
  return 0;
}

int32_t InputAxisDeflection(int32_t value, int32_t rest, bool positive) {
  // The range from the rest position to the end on this side; none for a trigger's resting end.
  const int32_t range = positive ? 32767 - rest : rest + 32768;
  const int32_t push = positive ? value - rest : rest - value;
  if (range <= 0 || push <= 0) return 0;
  const int32_t dead = range * 15 / 100;
  if (push <= dead) return 0;
  // From 0 at the edge of the dead zone to 100 at the end, rounded to the nearest step.
  const int64_t scaled = (static_cast<int64_t>(push - dead) * 100 + (range - dead) / 2) / (range - dead);
  return static_cast<int32_t>(scaled > 100 ? 100 : scaled);
}

int32_t InputHatDirection(uint8_t hat) {
  const int x = ((hat & 2) ? 1 : 0) - ((hat & 8) ? 1 : 0);  // right, left
  const int y = ((hat & 1) ? 1 : 0) - ((hat & 4) ? 1 : 0);  // up, down
  if (x == 0 && y == 0) return 0;
  // Clockwise from up, with up as 360 so that every direction is a non-zero value.
  static const int32_t kDegrees[3][3] = {
      {225, 270, 315},  // x = -1: down-left, left, up-left
      {180, 0, 360},    // x = 0: down, -, up
      {135, 90, 45},    // x = 1: down-right, right, up-right
  };
  return kDegrees[x + 1][y + 1];
}

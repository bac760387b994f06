// Shared between the input unit's files (and its tests): codes, controllers and pointer windows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Codes

inline constexpr int32_t kInputFixedCodes = 126;
inline constexpr int32_t kInputLastKeyCode = 113;  // codes 1 to 113 are keys
inline constexpr int32_t kInputControllerControls = 45;
inline constexpr int32_t kInputControllerButtons = 32;

inline constexpr int32_t kCodeUpArrow = 17;
inline constexpr int32_t kCodeDownArrow = 14;
inline constexpr int32_t kCodeLeftArrow = 15;
inline constexpr int32_t kCodeRightArrow = 16;
inline constexpr int32_t kCodeEnter = 34;
inline constexpr int32_t kCodeEscape = 36;
inline constexpr int32_t kCodePageDown = 91;
inline constexpr int32_t kCodePageUp = 92;
inline constexpr int32_t kCodeMouseLeftButton = 114;
inline constexpr int32_t kCodeMouseRightButton = 116;
inline constexpr int32_t kCodeMouseDown = 119;
inline constexpr int32_t kCodeMouseLeft = 120;
inline constexpr int32_t kCodeMouseRight = 121;
inline constexpr int32_t kCodeMouseScrollLeft = 122;
inline constexpr int32_t kCodeMouseScrollRight = 123;
inline constexpr int32_t kCodeMouseScrollDown = 124;
inline constexpr int32_t kCodeMouseScrollUp = 125;
inline constexpr int32_t kCodeMouseUp = 126;

// Controller controls (numbers 1 to 45 within a controller).
inline constexpr int32_t kControlPovHat = 33;
inline constexpr int32_t kControlRDown = 34;
inline constexpr int32_t kControlRUp = 35;
inline constexpr int32_t kControlUDown = 36;
inline constexpr int32_t kControlUUp = 37;
inline constexpr int32_t kControlVDown = 38;
inline constexpr int32_t kControlVUp = 39;
inline constexpr int32_t kControlXLeft = 40;
inline constexpr int32_t kControlXRight = 41;
inline constexpr int32_t kControlYDown = 42;
inline constexpr int32_t kControlYUp = 43;
inline constexpr int32_t kControlZDown = 44;
inline constexpr int32_t kControlZUp = 45;

// Whether the code's state adds up its events (mouse motion and wheels) instead of holding the last.
inline bool InputCodeAccumulates(int32_t code) { return code >= kCodeMouseDown && code <= kCodeMouseUp; }

// The input code of a key: the scancode (USB HID usage) and the character the key types in the
// current layout (0 when none). 0 for keys that have no code.
int32_t InputKeyCode(int32_t scancode, int32_t symbol);

// ---------------------------------------------------------------------------------------------
// Controllers

struct inputJoystick {
  std::string name;
  uint16_t vendor = 0;
  uint16_t product = 0;
  int32_t axes = 0;
  int32_t buttons = 0;
  int32_t hats = 0;
  int32_t platformIndex = -1;  // the platform's number for the device; -1 while pulled out
  // The value last sent for each control (index control - 1).
  std::array<int32_t, kInputControllerControls> sent{};
};

// In list order: the position is the controller number of the codes.
std::vector<inputJoystick>& InputJoysticks();
bool InputJoystickHasControl(const inputJoystick& joystick, int32_t control);
// "Button 3", "POV Hat", "X-axis Left", ...; empty for numbers outside 1 to 45.
std::string InputJoystickControlName(int32_t control);
// How far an axis is pushed in one direction, 0 to 100: 0 inside the dead zone around where the
// axis rests, then growing with the tilt to 100 at the end of the range.
int32_t InputAxisDeflection(int32_t value, int32_t rest, bool positive);
// The compass direction of a hat in degrees (up 360, right 90, down 180, left 270, diagonals
// between), 0 when centred.
int32_t InputHatDirection(uint8_t hat);

// ---------------------------------------------------------------------------------------------
// Between the files of the unit

void InputDevicesStart();
void InputDevicesEnd();
// Reads the controllers and sends their changes to the active set; keeps the keyboard grab.
void InputDevicesFrame();
// Gives a controller that was not there at start its default bindings in the menu set.
void InputMenuBindController(int32_t controller);

// The first registered pointer window; 0 when none.
int32_t InputWindowFirst();
// The client size of a registered window; false when it is not registered.
bool InputWindowSize(int32_t window, int32_t& width, int32_t& height);
// The registered window before (step -1) or after (step 1) it in registration order; 0 when none.
int32_t InputWindowNeighbour(int32_t window, int step);
// The registered window with that platform window; 0 when none.
int32_t InputWindowOfHandle(int32_t handle);
// Every set without a pointer window takes this one, its pointer at the window's centre.
void InputSetsTakeWindow(int32_t window);
// For mouse motion: a set that follows the mouse puts its pointer there. False when it does not.
bool InputPointerFollowMouse(int32_t set, int32_t window, int32_t x, int32_t y);

// The millisecond clock that pointer steps are measured by (the system tick unless a test sets
// its own; nullptr restores it).
using inputClock = uint32_t (*)();
void InputClockSet(inputClock clock);

// Input codes and control sets (actions, event queues, a pointer), fed by the keyboard, the mouse and game controllers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct platformEvent;

// One queued event: an input code (input-event queue) or an action id (action-event queue), its
// value (100 pressed, 0 released; analog codes 0 to 100 or a movement) and the handled mark.
struct inputEvent {
  int32_t code = 0;
  int32_t value = 0;
  int32_t handled = 0;
};
using inputBuffer = std::vector<inputEvent>;

// Version line "fwkInput - Version 1.0"; opens the game controllers; creates the "Menu Controls"
// set with its default bindings. Needs the settings unit and the platform started before it.
void InputStart();
// Releases the keyboard, saves the sets that have the save flag, forgets controllers, sets, windows.
void InputEnd();
// Once a frame, before the screen reads its input: reads the game controllers (their changes
// become events of the active set) and moves the active set's pointer for the held codes bound
// to its directions, by the time since the previous frame.
void InputFrame();

// ---------------------------------------------------------------------------------------------
// Control sets and actions. Unknown ids are ignored; results as noted.

// 0 when a set of that name (any letter case) exists.
int32_t InputControlSetNew(const std::string& name, bool save);
// -1 when none.
int32_t InputControlSetFind(const std::string& name);
void InputControlSetActivate(int32_t set);
// -1 when none is active.
int32_t InputControlSetActive();
int32_t InputMenuControlSet();
// Writes the set to the section "Input Control Set " + its name of the settings file.
void InputControlSetSave(int32_t set);

// 0 when the set has an action of that name or there is no such set.
int32_t InputActionNew(int32_t set, const std::string& name);
// 0 when none.
int32_t InputActionFind(int32_t set, const std::string& name);
int32_t InputActionCount(int32_t set);
// -1 when out of range.
int32_t InputActionIdGet(int32_t set, int32_t index);
std::string InputActionNameGet(int32_t action);
// Binds the code with a scale in percent (its low byte is kept); a code bound to another action of
// the same set leaves that action, so a code triggers at most one action per set.
void InputActionControlAdd(int32_t action, int32_t code, int32_t scale);
void InputActionControlRemove(int32_t action, int32_t code);
void InputActionControlsClear(int32_t action);
// The code of the index-th binding; 0 when out of range.
int32_t InputActionControlGet(int32_t action, int32_t index);
// The first action of the set that binds the code; -1 when none.
int32_t InputActionFromControl(int32_t set, int32_t code);

// Pointer directions.
inline constexpr int32_t kInputPointerDown = 1;
inline constexpr int32_t kInputPointerLeft = 2;
inline constexpr int32_t kInputPointerRight = 3;
inline constexpr int32_t kInputPointerUp = 4;
// Binds a code to a direction: while held it pushes the pointer by scale x value x 8 / 100 pixels
// a second. The mouse motion codes instead make the pointer follow the mouse.
void InputPointerControlAdd(int32_t set, int32_t direction, int32_t code, int32_t scale);
// The pointer's window id and position in its client area; zeros when there is no such set.
void InputPointerGet(int32_t set, int32_t& window, int32_t& x, int32_t& y);

// ---------------------------------------------------------------------------------------------
// Events, states and codes

// Records one event in a set: queued, kept as the code's state, passed to the bound action.
void InputControlEvent(int32_t set, int32_t code, int32_t value);
// 0 when the set or the code's state does not exist.
int32_t InputControlStateGet(int32_t set, int32_t code);
// The queued events; the queue is emptied.
inputBuffer InputControlEventsGet(int32_t set);
// The queued action events; emptied when clear is set.
inputBuffer InputActionEventsGet(int32_t set, bool clear = true);
void InputActionEventMark(int32_t set, int32_t index);
// Display name ("Enter", "Button 3 (Gamepad)"); empty for a code that names nothing here.
std::string InputControlName(int32_t code);
// Name in the settings file ("Enter", "Controller1 Button 3").
std::string InputControlSettingName(int32_t code);
bool InputControlIsAnalog(int32_t code);
// The index-th analog input of this machine (mouse, wheels, controller axes); 0 past the end.
int32_t InputAnalogControlCode(int32_t index);

// ---------------------------------------------------------------------------------------------
// Devices

// While on, key events reach the active set; off releases the keys it holds there. Alt+Tab
// switches it off until it is switched on again.
void InputKeyboardHookOn();
void InputKeyboardHookOff();
// Key down and up events from the platform (other kinds are ignored).
void InputKeyboardMessage(const platformEvent& event);
// Mouse move, button and wheel events from the platform (other kinds are ignored).
void InputMouseMessage(const platformEvent& event);
// Takes (x, y) as the last mouse position and sends value-0 motion events to the active set.
void InputMouseReset(int32_t x, int32_t y);
bool InputMouseButtonsSwapped();

// Pointer windows: a window id chosen by the caller (the display id) and its platform window.
// Registers or updates a window; every set without a pointer window takes this one.
void InputWindowAdd(int32_t window, int32_t handle);
// Forgets the window; sets that point into it keep the id.
void InputWindowRemove(int32_t window);
void InputWindowHandleSet(int32_t window, int32_t handle);

int32_t InputJoystickCount();
// The code of a controller's control (1 to 45); -1 when the controller or control does not exist.
int32_t InputJoystickControlCode(int32_t controller, int32_t control);

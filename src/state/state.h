// The state store: the game's screens as numbered states with enter/update/leave routines,
// deferred state changes, a pausable clock per state, typed state variables and the state block of
// save files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/bytes.h"

// Kinds of a state variable, as stored in save files.
constexpr uint8_t kStateVarEmpty = 0;
constexpr uint8_t kStateVarBoolean = 1;
constexpr uint8_t kStateVarInteger = 2;
constexpr uint8_t kStateVarText = 3;

// One typed state variable; only the field of its kind is meaningful. Kind 0 is the empty
// variable that lookups of unknown states or names give.
struct stateVar {
  std::string name;  // upper-cased
  uint8_t kind = kStateVarEmpty;
  bool boolean = false;
  int32_t integer = 0;
  std::string text;
};

// Called with the id of the state that was left (0 when there was none).
using stateEnterRoutine = std::function<void(int32_t previousId)>;
// Called once per StateUpdate while the state is current.
using stateUpdateRoutine = std::function<void()>;
// Called with the id of the state being changed to (0 for none).
using stateLeaveRoutine = std::function<void(int32_t nextId)>;
// Asked before every change; returning false cancels it.
using stateGuardRoutine = std::function<bool(int32_t oldId, int32_t newId)>;
// Appends the application's data to the save being built (the APP block's content).
using stateSaveWriter = std::function<void(ByteWriter& out, const std::string& fileName)>;

// Unit start and end steps: version line; no states, no current state. The end releases all states.
void StateStart();
void StateEnd();

// Registers a routine of one role for a state, creating the state (appended to the list) on its
// first registration; an empty routine only creates the state. False when the id is <= 0 or the
// state already has a routine of that role.
bool StateRegisterEnter(int32_t id, stateEnterRoutine routine);
bool StateRegisterUpdate(int32_t id, stateUpdateRoutine routine);
bool StateRegisterLeave(int32_t id, stateLeaveRoutine routine);

// Changes to state `id` (0 = no state). Inside StateUpdate the change waits until the update
// routine has returned, and only the last request counts (a request for 0 there is dropped).
// A change to an id without a state runs the current state's leave routine but keeps it current.
void StateChange(int32_t id);
// Runs the current state's update routine, then a change it requested. Once per frame.
void StateUpdate();
// Id of the current state, 0 when there is none.
int32_t StateGetCurrent();
// Whether the current state's clock is paused; false when there is no current state.
bool StateGetPaused();
// Pause and resume the current state's clock. Resuming a clock that runs changes nothing.
void StatePause();
void StateResume();
// The state's clock in ms (wraps with the 32-bit tick); 0 for an unknown id.
int32_t StateGetTime(int32_t id);
// Sets the state's clock to 0; a running clock keeps running from there.
void StateResetTime(int32_t id);
// Sets the state's clock to `milliseconds` (a restored game's play time); a running clock keeps
// running from there. Nothing for an unknown id.
void StateSetTime(int32_t id, int32_t milliseconds);
// Sets the routine asked before every change; an empty routine removes it.
void StateSetGuard(stateGuardRoutine guard);

// Names a state for save files (stored upper-cased; an empty name takes the state out of saves).
// False with a log line for an id <= 0, a missing state or a name another state has.
bool StateSetSaveName(int32_t id, const std::string& name);

// The variable of that name (compared upper-cased). An unknown state gives an empty variable; an
// unknown name logs and gives an empty variable.
stateVar StateVariableGet(int32_t id, const std::string& name);
// The variable converted: texts are true when they read "TRUE" in any case and numbers when they
// are valid integers. Empty variables give false and 0.
bool StateVariableGetBool(int32_t id, const std::string& name);
int32_t StateVariableGetInteger(int32_t id, const std::string& name);
// Writes the variable as text ("true"/"false", decimal) and returns true; for an empty variable
// `text` is left as it was and the result is false.
bool StateVariableGetText(int32_t id, const std::string& name, std::string& text);
// Creates or replaces the variable with one of the given kind; nothing when the state is unknown.
void StateVariableSetBool(int32_t id, const std::string& name, bool value);
void StateVariableSetInteger(int32_t id, const std::string& name, int32_t value);
void StateVariableSetText(int32_t id, const std::string& name, const std::string& value);

// Writes a save file: version 1, the "STA" block with every named state and its variables, then
// the "APP" block whose content `writer` appends (an empty writer leaves it empty). The file is
// replaced whole: a save that fails leaves the previous file as it was. False with a log line
// when the file cannot be created (no such folder, not a file) or written.
bool StateSave(const std::string& fileName, const stateSaveWriter& writer);

// What a save file holds, read without trusting it: every named state's variables from the
// "STA" block and the body of the first "APP" block. Blocks of other tags are skipped.
struct stateSavedState {
  std::string saveName;
  std::vector<stateVar> variables;
};
struct stateSaveContents {
  std::vector<stateSavedState> states;
  bool hasApp = false;
  std::vector<uint8_t> app;
};
// Reads a save file's bytes. False, with what is wrong in `problem` (nothing is logged, so that a
// caller reading many files writes one line per file), when the version is not 1 or any length
// or count reaches past what the bytes still hold.
bool StateSaveRead(const uint8_t* data, size_t size, stateSaveContents& contents, std::string& problem);
// Given the "APP" body; false when it is damaged, which cancels the load.
using stateLoadReader = std::function<bool(ByteReader& app)>;
// Loads a save file written by StateSave: the file is read whole and checked, the reader is given
// the "APP" body, and only when both succeed does every state whose save name is in the file get
// its variables replaced by the stored ones (states not in the file, and names no state has, are
// left alone). False with one log line and nothing changed for a missing or damaged file.
bool StateLoad(const std::string& fileName, const stateLoadReader& reader);

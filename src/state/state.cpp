#include "state/state.h"

#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "state/state_internal.h"

namespace {

struct stateDef {
  int32_t id = 0;
  std::string saveName;  // upper-cased; empty = not saved
  bool paused = false;
  // Clock arithmetic is modulo 2^32 so that a wrap of the tick between start and now still
  // gives the elapsed time.
  uint32_t accumulated = 0;
  uint32_t startTick = 0;
  stateEnterRoutine enter;
  stateUpdateRoutine update;
  stateLeaveRoutine leave;
  std::vector<stateVar> variables;
};

struct stateStore {
  // Creation order. Held by pointer so that routines registering new states while a change runs
  // cannot move the current state.
  std::vector<std::unique_ptr<stateDef>> states;
  stateDef* current = nullptr;
  int32_t pending = 0;
  bool inUpdate = false;
  stateGuardRoutine guard;
};

stateStore gStore;
uint32_t (*gTickSource)() = nullptr;

uint32_t Clock() { return gTickSource != nullptr ? gTickSource() : UtilTickCount(); }

stateDef* FindState(int32_t id) {
  for (const auto& state : gStore.states) {
    if (state->id == id) return state.get();
  }
  return nullptr;
}

stateDef& FindOrCreateState(int32_t id) {
  if (stateDef* state = FindState(id)) return *state;
  gStore.states.push_back(std::make_unique<stateDef>());
  gStore.states.back()->id = id;
  return *gStore.states.back();
}

uint32_t ClockOf(const stateDef& state) {
  if (state.paused || &state != gStore.current) return state.accumulated;
  return Clock() + state.accumulated - state.startTick;
}

template <typename Routine>
bool RegisterRoutine(int32_t id, Routine routine, Routine stateDef::*role) {
  if (id <= 0) return false;
  stateDef& state = FindOrCreateState(id);
  if (state.*role) return false;
  state.*role = std::move(routine);
  return true;
}

// The variable whose name equals the upper-cased name, first in creation order.
stateVar* FindVariable(stateDef& state, const std::string& upperName) {
  for (stateVar& variable : state.variables) {
    if (variable.name == upperName) return &variable;
  }
  return nullptr;
}

void SetVariable(int32_t id, const std::string& name, stateVar value) {
  stateDef* state = FindState(id);
  if (state == nullptr) return;
  value.name = UtilUpper(name);
  if (stateVar* existing = FindVariable(*state, value.name)) {
    *existing = std::move(value);
  } else {
    state->variables.push_back(std::move(value));
  }
}

// ---------------------------------------------------------------------------------------------
// Save file writing. Every write is checked; the first failure makes the rest no-ops.

class saveWriter {
 public:
  explicit saveWriter(int32_t file) : file_(file) {}
  bool ok() const { return ok_; }

  void Bytes(const void* data, size_t count) {
    if (!ok_ || count == 0) return;
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      ok_ = false;
      return;
    }
    ok_ = RawFileWrite(file_, data, static_cast<int32_t>(count));
  }
  void Byte(uint8_t value) { Bytes(&value, 1); }
  void Int32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    Bytes(bytes, sizeof bytes);
  }
  void Tag(const char (&tag)[4]) { Bytes(tag, 3); }
  void Text(const std::string& text) {
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      ok_ = false;
      return;
    }
    Int32(static_cast<int32_t>(text.size()));
    Bytes(text.data(), text.size());
  }

  // Writes a 0 length now and returns its position, for PatchLength once the content is written.
  int32_t BeginLength() {
    if (!ok_) return -1;
    const int32_t position = RawFilePosition(file_);
    if (position < 0) ok_ = false;
    Int32(0);
    return position;
  }
  // The length field at `position` := bytes from after the field to the end of the file.
  void PatchLength(int32_t position) {
    if (!ok_) return;
    const int32_t size = RawFileSize(file_);
    const int64_t length = int64_t{size} - position - 4;
    if (length < 0 || !RawFileSeek(file_, position)) {
      ok_ = false;
      return;
    }
    Int32(static_cast<int32_t>(length));
    if (ok_ && !RawFileSeek(file_, size)) ok_ = false;
  }

 private:
  int32_t file_;
  bool ok_ = true;
};

void WriteVariable(saveWriter& out, const stateVar& variable) {
  out.Text(variable.name);
  out.Byte(variable.kind);
  switch (variable.kind) {
    case kStateVarBoolean:
      out.Byte(variable.boolean ? 1 : 0);
      break;
    case kStateVarInteger:
      out.Int32(variable.integer);
      break;
    case kStateVarText:
      out.Text(variable.text);
      break;
    default:
      break;
  }
}

void WriteStateBlock(saveWriter& out) {
  out.Tag("STA");
  const int32_t blockLength = out.BeginLength();
  for (const auto& state : gStore.states) {
    if (state->saveName.empty()) continue;
    const int32_t recordLength = out.BeginLength();
    out.Text(state->saveName);
    out.Int32(static_cast<int32_t>(state->variables.size()));
    for (const stateVar& variable : state->variables) WriteVariable(out, variable);
    out.PatchLength(recordLength);
  }
  out.PatchLength(blockLength);
}

}  // namespace

void StateSetTickSource(uint32_t (*source)()) { gTickSource = source; }

// ---------------------------------------------------------------------------------------------
// Lifecycle and registration

void StateStart() {
  gStore = stateStore{};
  LogVersion("fwkState - Version Alpha.0");
}

void StateEnd() { gStore = stateStore{}; }

bool StateRegisterEnter(int32_t id, stateEnterRoutine routine) {
  return RegisterRoutine(id, std::move(routine), &stateDef::enter);
}

bool StateRegisterUpdate(int32_t id, stateUpdateRoutine routine) {
  return RegisterRoutine(id, std::move(routine), &stateDef::update);
}

bool StateRegisterLeave(int32_t id, stateLeaveRoutine routine) {
  return RegisterRoutine(id, std::move(routine), &stateDef::leave);
}

// ---------------------------------------------------------------------------------------------
// Changes and updates

void StateChange(int32_t id) {
  if (gStore.inUpdate) {
    gStore.pending = id;
    return;
  }
  gStore.pending = 0;
  stateDef* old = gStore.current;
  const int32_t oldId = old != nullptr ? old->id : 0;
  if (id == oldId) return;
  if (gStore.guard && !gStore.guard(oldId, id)) return;

  if (old != nullptr) {
    if (old->leave) old->leave(id);
    if (!old->paused) old->accumulated = ClockOf(*old);
  }
  if (id == 0) {
    gStore.current = nullptr;
    return;
  }
  stateDef* next = FindState(id);
  if (next == nullptr) {
    // The old state stays current. Its time was frozen above, so its clock restarts from that
    // value; leaving the old start tick would count the time before the change twice.
    if (old != nullptr && old == gStore.current && !old->paused) old->startTick = Clock();
    return;
  }
  gStore.current = next;
  if (!next->paused) next->startTick = Clock();
  if (next->enter) next->enter(oldId);
}

void StateUpdate() {
  gStore.pending = 0;
  if (gStore.current == nullptr) return;
  gStore.inUpdate = true;
  if (gStore.current->update) gStore.current->update();
  gStore.inUpdate = false;
  if (gStore.pending != 0) {
    StateChange(gStore.pending);
    gStore.pending = 0;
  }
}

int32_t StateGetCurrent() { return gStore.current != nullptr ? gStore.current->id : 0; }

void StateSetGuard(stateGuardRoutine guard) { gStore.guard = std::move(guard); }

// ---------------------------------------------------------------------------------------------
// Clocks

bool StateGetPaused() { return gStore.current != nullptr && gStore.current->paused; }

void StatePause() {
  stateDef* state = gStore.current;
  if (state == nullptr) return;
  state->accumulated = ClockOf(*state);
  state->paused = true;
}

void StateResume() {
  stateDef* state = gStore.current;
  // Only a paused clock restarts: restarting a running one would drop the time since it started.
  if (state == nullptr || !state->paused) return;
  state->startTick = Clock();
  state->paused = false;
}

int32_t StateGetTime(int32_t id) {
  const stateDef* state = FindState(id);
  return state != nullptr ? static_cast<int32_t>(ClockOf(*state)) : 0;
}

void StateResetTime(int32_t id) {
  stateDef* state = FindState(id);
  if (state == nullptr) return;
  state->accumulated = 0;
  state->startTick = Clock();
}

// ---------------------------------------------------------------------------------------------
// Save names and variables

bool StateSetSaveName(int32_t id, const std::string& name) {
  if (id <= 0) {
    LogError("StateSetSaveName - stateId " + std::to_string(id) + " is invalid.");
    return false;
  }
  stateDef* state = FindState(id);
  if (state == nullptr) {
    LogError("StateSetSaveName - State doesn't exist.");
    return false;
  }
  const std::string upper = UtilUpper(name);
  // An empty name only takes the state out of saves; every unnamed state "has" it.
  if (!upper.empty()) {
    for (const auto& other : gStore.states) {
      if (other.get() != state && other->saveName == upper) {
        LogError("StateSetSaveName - Another state already has the name \"" + upper + "\".");
        return false;
      }
    }
  }
  state->saveName = upper;
  return true;
}

stateVar StateVariableGet(int32_t id, const std::string& name) {
  stateDef* state = FindState(id);
  if (state == nullptr) return {};
  if (const stateVar* variable = FindVariable(*state, UtilUpper(name))) return *variable;
  LogError("StateVariableGet - Variable \"" + name + "\" doesn't exist for state.");
  return {};
}

bool StateVariableGetBool(int32_t id, const std::string& name) {
  const stateVar variable = StateVariableGet(id, name);
  switch (variable.kind) {
    case kStateVarBoolean:
      return variable.boolean;
    case kStateVarInteger:
      return variable.integer != 0;
    case kStateVarText:
      return UtilUpper(variable.text) == "TRUE";
    default:
      return false;
  }
}

int32_t StateVariableGetInteger(int32_t id, const std::string& name) {
  const stateVar variable = StateVariableGet(id, name);
  switch (variable.kind) {
    case kStateVarBoolean:
      return variable.boolean ? 1 : 0;
    case kStateVarInteger:
      return variable.integer;
    case kStateVarText: {
      int32_t value = 0;
      return UtilTextToInteger(variable.text, value) ? value : 0;
    }
    default:
      return 0;
  }
}

bool StateVariableGetText(int32_t id, const std::string& name, std::string& text) {
  const stateVar variable = StateVariableGet(id, name);
  switch (variable.kind) {
    case kStateVarBoolean:
      text = variable.boolean ? "true" : "false";
      return true;
    case kStateVarInteger:
      text = std::to_string(variable.integer);
      return true;
    case kStateVarText:
      text = variable.text;
      return true;
    default:
      return false;
  }
}

void StateVariableSetBool(int32_t id, const std::string& name, bool value) {
  stateVar variable;
  variable.kind = kStateVarBoolean;
  variable.boolean = value;
  SetVariable(id, name, std::move(variable));
}

void StateVariableSetInteger(int32_t id, const std::string& name, int32_t value) {
  stateVar variable;
  variable.kind = kStateVarInteger;
  variable.integer = value;
  SetVariable(id, name, std::move(variable));
}

void StateVariableSetText(int32_t id, const std::string& name, const std::string& value) {
  stateVar variable;
  variable.kind = kStateVarText;
  variable.text = value;
  SetVariable(id, name, std::move(variable));
}

// ---------------------------------------------------------------------------------------------
// Save files

bool StateSave(const std::string& fileName, const stateSaveWriter& writer) {
  const int32_t file = RawFileCreate(fileName);
  if (file == 0) {
    LogError("StateSave - Unable to create file \"" + fileName + "\".");
    return false;
  }
  saveWriter out(file);
  out.Int32(1);
  WriteStateBlock(out);
  out.Tag("APP");
  const int32_t appLength = out.BeginLength();
  if (out.ok() && writer) writer(file, fileName);
  out.PatchLength(appLength);
  RawFileClose(file);
  if (!out.ok()) {
    LogError("StateSave - Unable to write file \"" + fileName + "\".");
    return false;
  }
  return true;
}

#include "state/state.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "core/file_replace.h"
#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "state/state_internal.h"

namespace {

struct stateDef {
  int32_t id = kNoId;
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
  int32_t pending = kNoId;
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
// Save files, built in memory. Lengths and counts are signed 32-bit; a save too large for them
// fails as a whole.

class saveBuilder {
 public:
  explicit saveBuilder(ByteWriter& out) : out_(out) {}
  bool ok() const { return ok_ && out_.Size() <= kMaxSaveSize; }

  void Tag(const char (&tag)[4]) { out_.Bytes(tag, 3); }
  void Text(const std::string& text) {
    if (text.size() > kMaxSaveSize) {
      ok_ = false;
      return;
    }
    out_.Text32(text);
  }
  // Writes a 0 length now and returns its position, for PatchLength once the content is written.
  size_t BeginLength() {
    const size_t position = out_.Size();
    out_.I32(0);
    return position;
  }
  // The length field at `position` := bytes from after the field to the end of the save.
  void PatchLength(size_t position) { out_.PatchU32(position, static_cast<uint32_t>(out_.Size() - position - 4)); }

  ByteWriter& out() { return out_; }

 private:
  static constexpr size_t kMaxSaveSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  ByteWriter& out_;
  bool ok_ = true;
};

void WriteVariable(saveBuilder& save, const stateVar& variable) {
  save.Text(variable.name);
  save.out().U8(variable.kind);
  switch (variable.kind) {
    case kStateVarBoolean:
      save.out().U8(variable.boolean ? 1 : 0);
      break;
    case kStateVarInteger:
      save.out().I32(variable.integer);
      break;
    case kStateVarText:
      save.Text(variable.text);
      break;
    default:
      break;
  }
}

void WriteStateBlock(saveBuilder& save) {
  save.Tag("STA");
  const size_t blockLength = save.BeginLength();
  for (const auto& state : gStore.states) {
    if (state->saveName.empty()) continue;
    const size_t recordLength = save.BeginLength();
    save.Text(state->saveName);
    save.out().I32(static_cast<int32_t>(state->variables.size()));
    for (const stateVar& variable : state->variables) WriteVariable(save, variable);
    save.PatchLength(recordLength);
  }
  save.PatchLength(blockLength);
}

// Whether a save can be made at the path: a name in an existing folder that may be written, and
// not something other than a file (a folder, a device) that a replace would put aside.
bool SaveTargetUsable(const std::string& fileName) {
  if (fileName.empty() || fileName.back() == '/') return false;
  const size_t slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || access(folder.c_str(), W_OK) != 0) return false;
  return stat(fileName.c_str(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
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
  gStore.pending = kNoId;
  stateDef* old = gStore.current;
  const int32_t oldId = old != nullptr ? old->id : kNoId;
  if (id == oldId) return;
  if (gStore.guard && !gStore.guard(oldId, id)) return;

  if (old != nullptr) {
    if (old->leave) old->leave(id);
    if (!old->paused) old->accumulated = ClockOf(*old);
  }
  if (id == kNoId) {
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
  gStore.pending = kNoId;
  if (gStore.current == nullptr) return;
  gStore.inUpdate = true;
  if (gStore.current->update) gStore.current->update();
  gStore.inUpdate = false;
  if (gStore.pending != kNoId) {
    StateChange(gStore.pending);
    gStore.pending = kNoId;
  }
}

int32_t StateGetCurrent() { return gStore.current != nullptr ? gStore.current->id : kNoId; }

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

void StateSetTime(int32_t id, int32_t milliseconds) {
  stateDef* state = FindState(id);
  if (state == nullptr) return;
  state->accumulated = static_cast<uint32_t>(milliseconds);
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
  if (!SaveTargetUsable(fileName)) {
    LogError("StateSave - Unable to create file \"" + fileName + "\".");
    return false;
  }
  // The whole save is made in memory and then replaces the old one in one step, so a write that
  // fails part way (a full disk) leaves the previous save as it was.
  ByteWriter out;
  saveBuilder save(out);
  out.I32(1);
  WriteStateBlock(save);
  save.Tag("APP");
  const size_t appLength = save.BeginLength();
  if (writer) writer(out, fileName);
  save.PatchLength(appLength);
  if (!save.ok() || !FileReplaceWrite(fileName, out.Data())) {
    LogError("StateSave - Unable to write file \"" + fileName + "\".");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Reading save files back. Every length and count is checked against the bytes that remain
// before it is used, so a damaged file fails as a whole and allocates nothing it does not hold.

namespace {

bool ReadVariable(ByteReader& in, stateVar& variable) {
  if (!in.Text32(variable.name)) return false;
  variable.name = UtilUpper(variable.name);  // as the store keeps names, whoever wrote the file
  variable.kind = in.U8();
  switch (variable.kind) {
    case kStateVarBoolean:
      variable.boolean = in.U8() != 0;
      break;
    case kStateVarInteger:
      variable.integer = in.I32();
      break;
    case kStateVarText:
      if (!in.Text32(variable.text)) return false;
      break;
    default:
      return false;  // the store holds no other kinds, so no save has them
  }
  return !in.Failed();
}

bool ReadStateRecord(ByteReader& in, stateSavedState& state) {
  if (!in.Text32(state.saveName)) return false;
  const int32_t count = in.I32();
  // A variable takes at least 4 (name length) + 1 (kind) + 1 (value) bytes.
  if (in.Failed() || count < 0 || static_cast<size_t>(count) > in.Remaining() / 6) return false;
  state.variables.resize(static_cast<size_t>(count));
  for (stateVar& variable : state.variables) {
    if (!ReadVariable(in, variable)) return false;
  }
  return in.AtEnd();
}

// The body of a block: its int32 length, bounded by what the file still holds.
bool ReadBody(ByteReader& in, ByteReader& body) {
  const int32_t length = in.I32();
  if (in.Failed() || length < 0 || static_cast<size_t>(length) > in.Remaining()) return false;
  body = ByteReader(in.Here(), static_cast<size_t>(length));
  in.Skip(static_cast<size_t>(length));
  return true;
}

}  // namespace

bool StateSaveRead(const uint8_t* data, size_t size, stateSaveContents& contents, std::string& problem) {
  contents = stateSaveContents{};
  ByteReader in(data, size);
  const int32_t version = in.I32();
  if (in.Failed() || version != 1) {
    problem = "version " + std::to_string(version) + " is not 1";
    return false;
  }
  while (!in.AtEnd()) {
    char tag[3] = {};
    in.Bytes(tag, 3);
    ByteReader body(nullptr, 0);
    if (in.Failed() || !ReadBody(in, body)) {
      problem = "a block is cut short";
      return false;
    }
    const std::string name(tag, 3);
    if (name == "STA") {
      while (!body.AtEnd()) {
        ByteReader record(nullptr, 0);
        stateSavedState state;
        if (!ReadBody(body, record) || !ReadStateRecord(record, state)) {
          problem = "a state record is damaged";
          return false;
        }
        contents.states.push_back(std::move(state));
      }
    } else if (name == "APP" && !contents.hasApp) {
      contents.hasApp = true;
      contents.app.assign(body.Here(), body.Here() + body.Size());
    }
  }
  return true;
}

bool StateLoad(const std::string& fileName, const stateLoadReader& reader) {
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(fileName, bytes)) {
    LogError("StateLoad - Unable to open file \"" + fileName + "\".");
    return false;
  }
  stateSaveContents contents;
  std::string problem;
  if (!StateSaveRead(bytes.data(), bytes.size(), contents, problem)) {
    LogError("StateLoad - File \"" + fileName + "\" is damaged: " + problem + ".");
    return false;
  }
  ByteReader app(contents.app);
  if (reader && !reader(app)) {
    LogError("StateLoad - File \"" + fileName + "\" has a damaged application block.");
    return false;
  }
  for (stateSavedState& saved : contents.states) {
    for (const auto& state : gStore.states) {
      if (!state->saveName.empty() && state->saveName == UtilUpper(saved.saveName)) {
        state->variables = std::move(saved.variables);
        break;
      }
    }
  }
  return true;
}

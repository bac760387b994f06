// The script engine proper: each loaded script's interpreter state and the host through which
// its code reaches the object model, the app routines, states, displays and other scripts.
#include <memory>

#include "core/util.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "script/script_internal.h"
#include "script/vm_thread.h"
#include "state/state.h"

namespace {

// The host of one script: every call looks the record up by id, so a script unloaded by code
// it ran answers neutrally from then on.
class scriptHost : public vmHost {
 public:
  explicit scriptHost(int32_t scriptId) : scriptId_(scriptId) {}

  int32_t AppRoutineCount() override {
    script* record = ScriptFind(scriptId_);
    return record ? static_cast<int32_t>(record->appRoutineNames.size()) : 0;
  }
  int32_t AppRoutineRun(int32_t threadId, int32_t index) override {
    return ScriptAppRoutineRun(scriptId_, threadId, index) ? 1 : 0;
  }
  bool ObjectAttributeGet(int32_t object, int32_t attribute, int32_t index, parameter& value) override {
    script* record = ScriptFind(scriptId_);
    return record && ScriptObjectAttributeGet(*record, object, attribute, index, value);
  }
  bool ObjectAttributeSet(int32_t object, int32_t attribute, int32_t index, const parameter& value) override {
    script* record = ScriptFind(scriptId_);
    return record && ScriptObjectAttributeSet(*record, object, attribute, index, value);
  }
  bool StatePaused() override { return StateGetPaused(); }
  int32_t StateTime() override { return StateGetTime(StateGetCurrent()); }
  bool GraphicsFullscreenGet() override { return ::GraphicsFullscreenGet(); }
  std::string GraphicsMonitorModeText(int32_t monitor, int32_t mode) override {
    return ::GraphicsMonitorModeText(monitor, mode);
  }
  int32_t GraphicsDisplayGetModeIndex(int32_t display) override { return ::GraphicsDisplayGetModeIndex(display); }
  int32_t FontTextWidth(int32_t display, const std::string& fontFile, const std::string& text) override {
    const int32_t font = FontFindByFile(display, fontFile);
    return font == kNoId ? 0 : ::FontTextWidth(font, text);
  }
  bool StateVariableGetBool(int32_t state, const std::string& name) override {
    return ::StateVariableGetBool(state, name);
  }
  int32_t StateVariableGetInteger(int32_t state, const std::string& name) override {
    return ::StateVariableGetInteger(state, name);
  }
  std::string StateVariableGetText(int32_t state, const std::string& name) override {
    std::string text;
    return ::StateVariableGetText(state, name, text) ? text : std::string();
  }
  void StateVariableSetBool(int32_t state, const std::string& name, bool value) override {
    ::StateVariableSetBool(state, name, value);
  }
  void StateVariableSetInteger(int32_t state, const std::string& name, int32_t value) override {
    ::StateVariableSetInteger(state, name, value);
  }
  void StateVariableSetText(int32_t state, const std::string& name, const std::string& value) override {
    ::StateVariableSetText(state, name, value);
  }
  void PostEventToScript(const std::string& scriptName, int32_t code, const std::string& objectName) override;
  void UpdateTick() override {
    if (script* record = ScriptFind(scriptId_)) ScriptTick(*record);
  }
  void UpdatePointer() override {
    if (script* record = ScriptFind(scriptId_)) ScriptPointerProcess(*record);
  }
  std::string ObjectHitName(int32_t x, int32_t y) override {
    script* record = ScriptFind(scriptId_);
    return record ? ScriptHitTest(*record, -1, x, y).name : std::string();
  }
  std::string MatRegionName(const std::string& objectName, int32_t x, int32_t y) override;

 private:
  int32_t scriptId_;
};

}  // namespace

// Held by the record through a shared pointer: an operation that runs code keeps its own copy,
// so the threads it is running outlive an unload that the code itself asks for.
struct scriptEngine {
  explicit scriptEngine(int32_t scriptId) : host(scriptId) { vm.host = &host; }
  scriptHost host;
  vmScript vm;
  bool loaded = false;  // code has been given to the threads
};

namespace {

std::shared_ptr<scriptEngine> EngineOf(int32_t scriptId) {
  script* record = ScriptFind(scriptId);
  return record ? record->engine : nullptr;
}

// The file name without its folders (either separator).
std::string BareName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MainThreadRunning(const vmScript& vm) { return !vm.threads.empty() && vm.threads[0]->running; }

void PostEvent(int32_t scriptId, int32_t code, const std::string& objectName, bool upperCase = true) {
  const std::shared_ptr<scriptEngine> engine = EngineOf(scriptId);
  if (!engine || MainThreadRunning(engine->vm)) return;
  VmScriptPostEvent(engine->vm, code, objectName, upperCase);
}

void scriptHost::PostEventToScript(const std::string& scriptName, int32_t code, const std::string& objectName) {
  const std::string wanted = UtilUpper(scriptName + ".vmc");
  for (int32_t id : ScriptIds()) {
    if (UtilUpper(BareName(ScriptFind(id)->fileName)) != wanted) continue;
    if (id != scriptId_) PostEvent(id, code, objectName);
    return;
  }
}

std::string scriptHost::MatRegionName(const std::string& objectName, int32_t x, int32_t y) {
  script* record = ScriptFind(scriptId_);
  if (record == nullptr) return {};
  const std::string wanted = UtilUpper(objectName);
  for (const objEntry& object : record->objects) {
    if (object.name != wanted) continue;
    if (object.type != kObjMat) return {};
    const matData& map = object.mat.region;
    if (x < 0 || y < 0 || x >= map.width || y >= map.height) return {};
    const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(map.width) + static_cast<size_t>(x);
    if (cell >= map.cells.size() || map.cells[cell] >= map.entries.size()) return {};
    return UtilUpper(map.entries[map.cells[cell]].name);
  }
  return {};
}

scriptThread* ThreadOf(int32_t scriptId, int32_t threadId) {
  script* record = ScriptFind(scriptId);
  if (record == nullptr || !record->engine) return nullptr;
  return VmThreadFind(record->engine->vm, threadId);
}

}  // namespace

scriptEngineHooks ScriptEngineHooks() {
  scriptEngineHooks hooks;
  hooks.created = [](int32_t scriptId) {
    script* record = ScriptFind(scriptId);
    if (record == nullptr) return;
    record->engine = std::make_shared<scriptEngine>(scriptId);
    VmScriptInit(record->engine->vm);
  };
  hooks.runMainThread = [](int32_t scriptId) {
    script* record = ScriptFind(scriptId);
    if (record == nullptr || !record->engine) return;
    if (record->engine->loaded) {
      // A file read again into a record that ran: fresh threads over the new code. Code still
      // running on the old ones keeps its engine alive until it returns.
      record->engine = std::make_shared<scriptEngine>(scriptId);
      VmScriptInit(record->engine->vm);
    }
    const std::shared_ptr<scriptEngine> engine = record->engine;
    engine->loaded = true;
    vmScript& vm = engine->vm;
    vm.code = record->code;
    vm.format.wideTexts = record->version >= 9;
    vm.format.objectKinds.clear();
    for (const objEntry& object : record->objects) vm.format.objectKinds.push_back(object.type);
    vm.listenerPresent = record->listenerPresent;
    vm.listenerAddress = record->listenerAddress;
    VmThreadRun(vm, *vm.threads[0], 0);
  };
  hooks.threadExists = [](int32_t scriptId, int32_t threadId) { return ThreadOf(scriptId, threadId) != nullptr; };
  hooks.removed = [](int32_t scriptId) {
    if (script* record = ScriptFind(scriptId)) record->engine.reset();
  };
  hooks.started = [] { VmThreadIdReset(); };
  return hooks;
}

void ScriptUpdate(int32_t scriptId) {
  const std::shared_ptr<scriptEngine> engine = EngineOf(scriptId);
  if (engine) VmScriptUpdate(engine->vm);
}

void ScriptPostEvent(int32_t scriptId, int32_t code, const std::string& objectName) {
  PostEvent(scriptId, code, objectName);
}

void ScriptPostEventAsIs(int32_t scriptId, int32_t code, const std::string& text) {
  PostEvent(scriptId, code, text, false);
}

bool ScriptMainThreadWaiting(int32_t scriptId) {
  const std::shared_ptr<scriptEngine> engine = EngineOf(scriptId);
  return engine && VmMainThreadWaiting(engine->vm);
}

bool ScriptParameterGetBool(int32_t scriptId, int32_t threadId, int32_t n) {
  const scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread && VmParameterGetBool(*thread, n);
}
int32_t ScriptParameterGetInteger(int32_t scriptId, int32_t threadId, int32_t n) {
  const scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread ? VmParameterGetInteger(*thread, n) : 0;
}
std::string ScriptParameterGetText(int32_t scriptId, int32_t threadId, int32_t n) {
  const scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread ? VmParameterGetText(*thread, n) : std::string();
}
bool ScriptParameterSetBool(int32_t scriptId, int32_t threadId, int32_t n, bool value) {
  scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread && VmParameterSetBool(*thread, n, value);
}
bool ScriptParameterSetInteger(int32_t scriptId, int32_t threadId, int32_t n, int32_t value) {
  scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread && VmParameterSetInteger(*thread, n, value);
}
bool ScriptParameterSetText(int32_t scriptId, int32_t threadId, int32_t n, const std::string& value) {
  scriptThread* thread = ThreadOf(scriptId, threadId);
  return thread && VmParameterSetText(*thread, n, value);
}

void ScriptThreadDump(int32_t scriptId) {
  const std::shared_ptr<scriptEngine> engine = EngineOf(scriptId);
  if (!engine) return;
  const std::vector<int32_t> ids = ScriptIds();
  int32_t index = 0;
  while (ids[static_cast<size_t>(index)] != scriptId) ++index;
  VmThreadDump(engine->vm, index, scriptId);
}

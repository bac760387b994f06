// The app routine registry: four tables of host routines in registration order, names upper-cased.
#include "core/log.h"
#include "core/util.h"
#include "script/script_internal.h"

namespace {

std::vector<scriptRoutine> gRoutines;
std::vector<scriptAppObjRoutineAnimate> gAnimate;
std::vector<scriptAppObjRoutineInObject> gInObject;
std::vector<scriptAppObjRoutineRender> gRender;

template <typename Entry>
const Entry* FindIn(const std::vector<Entry>& table, const std::string& name) {
  const std::string upper = UtilUpper(name);
  for (const Entry& entry : table) {
    if (entry.name == upper) return &entry;
  }
  return nullptr;
}

// Appends the entry unless the table already holds its (upper-cased) name.
template <typename Entry>
bool AddTo(std::vector<Entry>& table, Entry entry) {
  entry.name = UtilUpper(entry.name);
  if (FindIn(table, entry.name) != nullptr) return false;
  table.push_back(std::move(entry));
  return true;
}

}  // namespace

void ScriptAppRoutinesClear() {
  gRoutines.clear();
  gAnimate.clear();
  gInObject.clear();
  gRender.clear();
}

bool ScriptAppRoutineRegister(const std::string& name, scriptFunction routine) {
  scriptRoutine entry;
  entry.name = name;
  entry.kind = kScriptRoutineFunction;
  entry.function = std::move(routine);
  return AddTo(gRoutines, std::move(entry));
}

bool ScriptAppRoutineRegisterObject(const std::string& name, void* object, scriptObjectFunction routine) {
  scriptRoutine entry;
  entry.name = name;
  entry.kind = kScriptRoutineObjectFunction;
  entry.object = object;
  entry.objectFunction = std::move(routine);
  return AddTo(gRoutines, std::move(entry));
}

bool ScriptAppRoutineRegisterRender(const std::string& name, scriptRenderProcedure routine) {
  scriptRoutine entry;
  entry.name = name;
  entry.kind = kScriptRoutineRender;
  entry.render = std::move(routine);
  return AddTo(gRoutines, std::move(entry));
}

bool ScriptAppObjRoutineRegisterAnimate(const std::string& name, scriptAppObjAnimate routine) {
  return AddTo(gAnimate, scriptAppObjRoutineAnimate{name, std::move(routine)});
}

bool ScriptAppObjRoutineRegisterInObject(const std::string& name, scriptAppObjInObject routine) {
  return AddTo(gInObject, scriptAppObjRoutineInObject{name, std::move(routine)});
}

bool ScriptAppObjRoutineRegisterRender(const std::string& name, scriptAppObjRender routine) {
  return AddTo(gRender, scriptAppObjRoutineRender{name, std::move(routine)});
}

const scriptRoutine* ScriptAppRoutineFind(const std::string& name) { return FindIn(gRoutines, name); }
const scriptAppObjRoutineAnimate* ScriptAppObjRoutineFindAnimate(const std::string& name) {
  return FindIn(gAnimate, name);
}
const scriptAppObjRoutineInObject* ScriptAppObjRoutineFindInObject(const std::string& name) {
  return FindIn(gInObject, name);
}
const scriptAppObjRoutineRender* ScriptAppObjRoutineFindRender(const std::string& name) {
  return FindIn(gRender, name);
}

bool ScriptAppRoutineRun(int32_t scriptId, int32_t threadId, int32_t index) {
  const script* record = ScriptFind(scriptId);
  if (record == nullptr || index < 0 || static_cast<size_t>(index) >= record->appRoutineNames.size()) return false;
  if (!ScriptThreadExists(scriptId, threadId)) return false;
  // A copy: the routine may load or unload scripts, which moves records.
  const std::string name = record->appRoutineNames[static_cast<size_t>(index)];
  return ScriptAppRoutineCall(scriptId, threadId, name);
}

bool ScriptAppRoutineCall(int32_t scriptId, int32_t threadId, const std::string& name) {
  // Looked up on every call: nothing is cached, so a routine registered later is found.
  const scriptRoutine* entry = ScriptAppRoutineFind(name);
  if (entry == nullptr) {
    LogError("ScriptAppRoutineRun - App routine \"" + name + "\" has not been registered.");
    return false;
  }
  // Copies, so a routine that registers others (and so grows the table) keeps running safely.
  switch (entry->kind) {
    case kScriptRoutineFunction: {
      scriptFunction function = entry->function;
      return function && function(scriptId, threadId) == 1;
    }
    case kScriptRoutineObjectFunction: {
      scriptObjectFunction function = entry->objectFunction;
      return function && function(entry->object, scriptId, threadId) == 1;
    }
    default:
      LogError("ScriptAppRoutineRun - App routine \"" + name + "\" is not a standalone function or object function.");
      return false;
  }
}

bool ScriptAppRoutineRenderRun(int32_t scriptId, const std::string& name, int32_t displayId,
                               const std::string& objectName) {
  if (ScriptFind(scriptId) == nullptr) return false;
  const scriptRoutine* entry = ScriptAppRoutineFind(name);
  if (entry == nullptr) {
    LogError("ScriptAppRoutineRenderRun - App routine \"" + name + "\" has not been registered.");
    return false;
  }
  if (entry->kind != kScriptRoutineRender) {
    LogError("ScriptAppRoutineRenderRun - App routine \"" + name + "\" is not a render procedure.");
    return false;
  }
  scriptRenderProcedure render = entry->render;
  if (render) render(displayId, objectName);
  return true;
}

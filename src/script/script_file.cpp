// The script table, loading (a file read whole, parsed, its assets built) and unloading.
#include <algorithm>

#include "core/bytes.h"
#include "core/log.h"
#include "data/data_file.h"
#include "input/input.h"
#include "script/script_internal.h"

namespace {

IdRegistry<script> gScripts;
scriptEngineHooks gHooks;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Table, start and end

script* ScriptFind(int32_t scriptId) { return gScripts.Find(scriptId); }
std::vector<int32_t> ScriptIds() { return gScripts.Ids(); }
bool ScriptExists(int32_t scriptId) { return gScripts.Contains(scriptId); }

void ScriptSetEngineHooks(scriptEngineHooks hooks) { gHooks = std::move(hooks); }

bool ScriptThreadExists(int32_t scriptId, int32_t threadId) {
  return !gHooks.threadExists || gHooks.threadExists(scriptId, threadId);
}

void ScriptStart() {
  LogVersion("fwkScript - Version Alpha.0");
  gScripts.Reset();
  ScriptAppRoutinesClear();
  gHooks = ScriptEngineHooks();
  if (gHooks.started) gHooks.started();
}

void ScriptEnd() {
  for (int32_t id : gScripts.Ids()) ScriptUnload(id);
  ScriptAppRoutinesClear();
}

void ScriptOrderSort(std::vector<orderEntry>& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const orderEntry& a, const orderEntry& b) { return a.order < b.order; });
}

// ---------------------------------------------------------------------------------------------
// Load and unload

int32_t ScriptLoad(const std::string& fileName) {
  script record;
  record.pointerSet = InputMenuControlSet();
  const int32_t id = gScripts.Add(std::move(record));
  gScripts.Find(id)->id = id;
  if (gHooks.created) gHooks.created(id);
  if (!ScriptFileLoad(id, fileName)) {
    ScriptUnload(id);
    return kNoId;
  }
  return id;
}

bool ScriptFileLoad(int32_t scriptId, const std::string& fileName) {
  script* record = gScripts.Find(scriptId);
  if (record == nullptr) {
    LogError("ScriptFileLoad - Invalid script ID for script file \"" + fileName + "\".");
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(fileName, bytes)) {
    LogError("ScriptFileLoad - Unable to open script file \"" + fileName + "\".");
    return false;
  }
  if (!record->fileName.empty()) {
    // A record read before: its objects, names and code give way to the new file's.
    script fresh;
    fresh.id = record->id;
    fresh.pointerSet = InputMenuControlSet();
    fresh.engine = std::move(record->engine);
    ScriptReleaseAssets(*record);
    *record = std::move(fresh);
  }
  record->fileName = fileName;
  ByteReader in(bytes);
  if (!ScriptFileParse(in, *record)) return false;
  if (!ScriptCompileAssets(*record)) {
    LogError("ScriptFileLoad - Unable to compile script assets for script file \"" + fileName + "\".");
    return false;
  }
  if (gHooks.runMainThread) gHooks.runMainThread(scriptId);
  return true;
}

void ScriptUnload(int32_t scriptId) {
  script* record = gScripts.Find(scriptId);
  if (record == nullptr) return;
  if (gHooks.removed) gHooks.removed(scriptId);
  // The hook may have run code that unloaded the script already.
  record = gScripts.Find(scriptId);
  if (record == nullptr) return;
  ScriptReleaseAssets(*record);
  gScripts.Remove(scriptId);
}

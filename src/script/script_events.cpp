// The tick, pointer hit testing and the pointer events of a script update.
#include "script/script_internal.h"

void ScriptTick(script& /*record*/) {}
void ScriptPointerProcess(script& /*record*/) {}
eventObject ScriptHitTest(script& /*record*/, int32_t /*display*/, int32_t /*x*/, int32_t /*y*/) { return {}; }
bool ScriptEventSend(script& /*record*/, const eventObject& /*target*/, int32_t /*code*/) { return false; }

// Drawing a script's objects on a display.
#include "script/script_internal.h"

void ScriptRender(int32_t /*scriptId*/, int32_t /*displayId*/) {}

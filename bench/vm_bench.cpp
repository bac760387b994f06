// The script interpreter on a counting loop (an Add and a JumpLess on a local slot per step),
// beside Lua 5.4 running the same loop in the same process.
#include <benchmark/benchmark.h>

#include <lua5.4/lauxlib.h>
#include <lua5.4/lua.h>
#include <lua5.4/lualib.h>

#include <string>

#include "script/vm_code.h"
#include "script/vm_thread.h"

namespace {

constexpr int32_t kSteps = 10'000'000;

void VmCountingLoop(benchmark::State& state) {
  vmScript script;
  std::string error;
  const std::string text = "Push 0\nloop:\nAdd 1, [b+0]\nJumpLess [b+0], " + std::to_string(kSteps) + ", loop\n";
  if (!VmAssembleCode(text, script.code, error, script.format)) {
    state.SkipWithError(error.c_str());
    return;
  }
  VmScriptInit(script);
  scriptThread& main = *script.threads[0];
  for (auto _ : state) {
    main.stack.clear();
    VmThreadRun(script, main, 0);
    if (main.stack.size() != 1 || main.stack[0].integer != kSteps) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(state.iterations() * kSteps);
}
BENCHMARK(VmCountingLoop)->Unit(benchmark::kMillisecond);

void LuaCountingLoop(benchmark::State& state) {
  lua_State* lua = luaL_newstate();
  const std::string chunk = "local x = 0 while x < " + std::to_string(kSteps) + " do x = x + 1 end return x";
  if (luaL_loadstring(lua, chunk.c_str()) != LUA_OK) {
    state.SkipWithError("Lua chunk did not load");
    lua_close(lua);
    return;
  }
  for (auto _ : state) {
    lua_pushvalue(lua, -1);
    if (lua_pcall(lua, 0, 1, 0) != LUA_OK || lua_tointeger(lua, -1) != kSteps) state.SkipWithError("wrong count");
    lua_pop(lua, 1);
  }
  state.SetItemsProcessed(state.iterations() * kSteps);
  lua_close(lua);
}
BENCHMARK(LuaCountingLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

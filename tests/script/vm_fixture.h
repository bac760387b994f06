// The interpreter tests' pieces: a host that records what the code reached outside the VM, and a
// script assembled from text with its main thread.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "script/vm_code.h"
#include "script/vm_thread.h"

namespace vmtest {

class TestHost : public vmHost {
 public:
  // App routines by index; each gets the calling thread's ID.
  std::vector<std::function<int32_t(int32_t threadId)>> routines;
  int32_t AppRoutineCount() override { return static_cast<int32_t>(routines.size()); }
  int32_t AppRoutineRun(int32_t threadId, int32_t index) override { return routines.at(index)(threadId); }

  // Attributes as (object, attribute, index) -> value; a missing entry fails a get.
  std::map<std::tuple<int32_t, int32_t, int32_t>, parameter> attributes;
  bool ObjectAttributeGet(int32_t object, int32_t attribute, int32_t index, parameter& value) override {
    auto found = attributes.find({object, attribute, index});
    if (found == attributes.end()) return false;
    value = found->second;
    return true;
  }
  bool ObjectAttributeSet(int32_t object, int32_t attribute, int32_t index, const parameter& value) override {
    attributes[{object, attribute, index}] = value;
    return true;
  }

  bool paused = false;
  int32_t time = 0;
  std::vector<std::string> calls;  // "tick", "pointer", posted events, state variable sets
  bool StatePaused() override { return paused; }
  int32_t StateTime() override { return time; }
  void UpdateTick() override { calls.push_back("tick"); }
  void UpdatePointer() override { calls.push_back("pointer"); }

  bool GraphicsFullscreenGet() override { return true; }
  std::string GraphicsMonitorModeText(int32_t monitor, int32_t mode) override {
    return monitor == 0 && mode == 1 ? "1280x720 32-bit color" : "";
  }
  int32_t GraphicsDisplayGetModeIndex(int32_t display) override { return display == 1 ? 4 : -1; }
  int32_t FontTextWidth(int32_t display, const std::string& font, const std::string& text) override {
    return display == 1 && font == "A.FOT" ? static_cast<int32_t>(text.size()) * 10 : 0;
  }
  std::map<std::string, parameter> variables;  // "state:name"
  bool StateVariableGetBool(int32_t state, const std::string& name) override {
    return ParameterToBoolean(variables[std::to_string(state) + ":" + name]);
  }
  int32_t StateVariableGetInteger(int32_t state, const std::string& name) override {
    return ParameterToInteger(variables[std::to_string(state) + ":" + name]);
  }
  std::string StateVariableGetText(int32_t state, const std::string& name) override {
    return ParameterToText(variables[std::to_string(state) + ":" + name]);
  }
  void StateVariableSetBool(int32_t state, const std::string& name, bool value) override {
    variables[std::to_string(state) + ":" + name] = ParameterBoolean(value);
  }
  void StateVariableSetInteger(int32_t state, const std::string& name, int32_t value) override {
    variables[std::to_string(state) + ":" + name] = ParameterInteger(value);
  }
  void StateVariableSetText(int32_t state, const std::string& name, const std::string& value) override {
    variables[std::to_string(state) + ":" + name] = ParameterText(value);
  }
  void PostEventToScript(const std::string& script, int32_t code, const std::string& object) override {
    calls.push_back("post " + script + " " + std::to_string(code) + " " + object);
  }
  std::string ObjectHitName(int32_t x, int32_t y) override { return x == 10 && y == 20 ? "BUTTON" : ""; }
  std::string MatRegionName(const std::string& object, int32_t x, int32_t y) override {
    return object == "map" && x == 1 && y == 2 ? "FOREST" : "";
  }
};

// A script of assembled code with a main thread (not yet run) on a TestHost.
struct TestScript {
  TestHost host;
  vmScript script;

  explicit TestScript(const std::string& text, vmCodeFormat format = {}) {
    script.format = std::move(format);
    std::string error;
    EXPECT_TRUE(VmAssembleCode(text, script.code, error, script.format)) << error;
    script.host = &host;
    VmScriptInit(script);
  }
  scriptThread& Main() { return *script.threads[0]; }
  // Runs the main thread from offset 0, as loading does.
  TestScript& Run() {
    VmThreadRun(script, Main(), 0);
    return *this;
  }
  const parameter& Slot(size_t index) { return Main().stack.at(index); }
};

}  // namespace vmtest

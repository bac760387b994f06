// Compiled screens on the interpreter itself, with app routines that write their out parameters
// and the failure hook that names where a thread ended.
#include <gtest/gtest.h>

#include "compiler/compiler.h"
#include "core/bytes.h"
#include "script/script_internal.h"
#include "script/vm_fixture.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

// A compiled source on a TestHost, its app routines bound by name.
struct compiledScript {
  vmtest::TestHost host;
  vmScript script;
  ::script record;  // the file as the loader reads it
  std::string map;
  std::vector<std::string> printed;

  compiledScript(const std::string& source, const std::map<std::string, std::function<int32_t(scriptThread&)>>& routines) {
    TempDir dir;
    EXPECT_TRUE(WriteFile(dir / "s.tfs", source));
    vmcc::compileResult result;
    EXPECT_TRUE(vmcc::Compile(dir / "s.tfs", result)) << result.errors;
    map = result.map;
    ByteReader in(result.file);
    EXPECT_TRUE(ScriptFileParse(in, record));
    script.code = record.code;
    script.listenerPresent = record.listenerPresent;
    script.listenerAddress = record.listenerAddress;
    for (const objEntry& o : record.objects) script.format.objectKinds.push_back(o.type);
    script.host = &host;
    VmScriptInit(script);
    for (const std::string& name : record.appRoutineNames) {
      auto routine = name == "Print" ? std::function<int32_t(scriptThread&)>([this](scriptThread& t) {
        printed.push_back(VmParameterGetText(t, 1));
        return 1;
      })
                                     : routines.at(name);
      host.routines.push_back([this, routine](int32_t threadId) { return routine(*VmThreadFind(script, threadId)); });
    }
  }
  void Load() { VmThreadRun(script, *script.threads[0], 0); }
};

// App routines read parameter 1 first and write their outputs into the slots the compiler pushed;
// an out parameter's variable receives the value converted to its kind, and its value goes in.
TEST(VmcCompiledOnTheInterpreter, OutParametersReceiveWhatTheRoutineWrote) {
  compiledScript s(R"(
var doubled = 0
var label = ""
var counter = 5
var asText = "?"
App.Pair(21, out doubled, out label)
App.Print(doubled + " " + label)
App.Bump(out counter)
App.Bump(out counter)
App.Print(counter)
App.Pair(4, out asText, out label)   -- an integer arrives in a text variable as its digits
App.Print(asText + label)
on click(name) {
  var local = 0
  App.Pair(length(name), out local, out label)
  App.Print(name + " " + local + label)
}
)",
                   {{"Pair",
                     [](scriptThread& t) {
                       const int32_t n = VmParameterGetInteger(t, 1);
                       VmParameterSetInteger(t, 2, n * 2);
                       VmParameterSetText(t, 3, "#" + std::to_string(n));
                       return 1;
                     }},
                    {"Bump", [](scriptThread& t) {
                       VmParameterSetInteger(t, 1, VmParameterGetInteger(t, 1) + 1);
                       return 1;
                     }}});
  s.Load();
  VmScriptPostEvent(s.script, -4, "knob");
  EXPECT_EQ(s.printed, (std::vector<std::string>{"42 #21", "7", "8#4", "KNOB 8#4"}));
  // The screen's four variables are all that stays on the main thread's stack.
  EXPECT_EQ(s.script.threads[0]->stack.size(), 4u);
}

// The hook hears of threads that end by a failure, with an offset the map turns into the line;
// threads that return, wait or run to their end are not reported.
TEST(VmcCompiledOnTheInterpreter, TheFailureHookNamesTheFailedStatement) {
  compiledScript s(
      "list L { }\n"
      "App.Print(\"a\")\n"
      "start {\n"
      "  wait\n"
      "  App.Check(1)\n"
      "  App.Check(0)\n"
      "}\n"
      "on click {\n"
      "  App.Print(L.items[3])\n"
      "}\n",
      {{"Check", [](scriptThread& t) { return VmParameterGetInteger(t, 1); }}});
  std::vector<std::pair<int32_t, std::string>> failures;
  VmThreadFailureHookSet([&](int32_t threadId, int32_t offset) {
    int32_t line = 0;
    vmcc::MapLookup(s.map, offset, &line);
    failures.push_back({threadId, std::to_string(line)});
  });
  s.Load();
  EXPECT_TRUE(failures.empty());
  VmScriptUpdate(s.script);  // the started thread waits
  EXPECT_TRUE(failures.empty());
  VmScriptUpdate(s.script);  // and fails at line 6
  VmScriptPostEvent(s.script, -4, "L");
  VmThreadFailureHookSet(nullptr);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_NE(failures[0].first, s.script.threads[0]->id);
  EXPECT_EQ(failures[0].second, "6");
  EXPECT_EQ(failures[1].first, s.script.threads[0]->id);
  EXPECT_EQ(failures[1].second, "9");
  EXPECT_EQ(s.printed, (std::vector<std::string>{"a"}));
}

}  // namespace

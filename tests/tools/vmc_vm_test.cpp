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

// Every prefix of a screen and random changes to it either compile to a file that the loader
// reads and whose code decodes whole, or give errors; nothing crashes.
TEST(VmcCompiledOnTheInterpreter, DamagedSourcesCompileOrFailCleanly) {
  const std::string source = R"(const GOLD = 0xFFD700
button PLAY { frames = [["a.tga"], { images = ["b.tga"], mat = "m.mat" }], text = "Go", color = GOLD }
list L { kind = vertical }
var clicks = 0
function f(a, b: text): text { if a > 1 and not (b == "x") { return b + a } return "" }
while clicks < 3 { clicks += 1; L.items[clicks] = f(clicks, "y") }
on click PLAY { clicks = clicks + 1; App.Print(f(clicks, "z")) }
on event(code, name) { if code == Event.tick { return } }
start { var n = 0; while n < 10 { PLAY.left = PLAY.left + 1; n += 1; wait(2) } }
)";
  TempDir dir;
  uint32_t seed = 12345;
  auto random = [&seed](uint32_t below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % below;
  };
  std::vector<std::string> variants;
  for (size_t n = 0; n <= source.size(); n += 3) variants.push_back(source.substr(0, n));
  const std::string alphabet = "(){}[]=+-*/<>!,.;:\"\\ \nabcxyz0123456789";
  for (int i = 0; i < 300; ++i) {
    std::string changed = source;
    for (int k = 0; k < 3; ++k) changed[random(static_cast<uint32_t>(changed.size()))] = alphabet[random(static_cast<uint32_t>(alphabet.size()))];
    variants.push_back(changed);
  }
  int compiled = 0;
  for (const std::string& text : variants) {
    ASSERT_TRUE(WriteFile(dir / "s.tfs", text));
    vmcc::compileResult result;
    if (!vmcc::Compile(dir / "s.tfs", result)) {
      EXPECT_GT(result.errorCount, 0);
      EXPECT_NE(result.errors.find("s.tfs:"), std::string::npos) << text;
      continue;
    }
    ++compiled;
    ::script record;
    ByteReader in(result.file);
    ASSERT_TRUE(ScriptFileParse(in, record)) << text;
    vmCodeFormat format;
    for (const objEntry& o : record.objects) format.objectKinds.push_back(o.type);
    for (size_t at = 0; at < record.code.size();) {
      vmDecoded decoded;
      ASSERT_TRUE(VmDecode(record.code.data(), record.code.size(), at, format, decoded)) << text;
      at += decoded.length;
    }
  }
  EXPECT_GT(compiled, 5);  // some prefixes end between statements
}

}  // namespace

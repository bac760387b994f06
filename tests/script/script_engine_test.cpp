// The loader joined to the interpreter: a script's main thread runs at load and calls app
// routines, its threads fork and wait across updates, and its listener receives posted events.
#include <gtest/gtest.h>

#include <random>

#include "script/script_fixture.h"
#include "script/vm_code.h"

namespace {

using namespace tftest;

class ScriptEngineTest : public ScriptFixture {
 protected:
  // The code of the main part followed by the listener, which starts where the main part ends.
  static scriptFile WithCode(const std::string& main, const std::string& listener = "") {
    scriptFile file;
    std::string error;
    std::vector<uint8_t> head;
    EXPECT_TRUE(VmAssembleCode(main, head, error)) << error;
    EXPECT_TRUE(VmAssembleCode(main + listener, file.code, error)) << error;
    if (!listener.empty()) {
      file.listenerPresent = 1;
      file.listenerAddress = static_cast<int32_t>(head.size());
    }
    return file;
  }
  std::vector<std::string> Dump(int32_t id) {
    LogCapture log;
    ScriptThreadDump(id);
    return log.lines();
  }
  bool Has(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
};

TEST_F(ScriptEngineTest, MainThreadForksWaitsAndTheListenerHearsEvents) {
  std::vector<int32_t> seen;  // what "Observe" was given, in call order
  std::vector<std::string> events;
  ASSERT_TRUE(ScriptAppRoutineRegister("Observe", [&](int32_t scriptId, int32_t threadId) {
    seen.push_back(ScriptParameterGetInteger(scriptId, threadId, 1));
    if (seen.back() == 7) ScriptParameterSetInteger(scriptId, threadId, 1, 99);  // a result
    return 1;
  }));
  ASSERT_TRUE(ScriptAppRoutineRegister("Event", [&](int32_t scriptId, int32_t threadId) {
    events.push_back(std::to_string(ScriptParameterGetInteger(scriptId, threadId, 1)) + " " +
                     ScriptParameterGetText(scriptId, threadId, 2));
    return 1;
  }));
  scriptFile file = WithCode(
      "Push 7\nCallAppRoutine 0\nCallAppRoutine 0\n"  // sees 7, then the result 99
      "SetAttribute 0, 255, 42\n"
      "Fork main\n"
      "Push 1\nWait\nPush 2\nCallAppRoutine 0\nReturn\n"  // the forked thread
      "main:\nReturn\n",
      "Push [b-2]\nPush [b-1]\nCallAppRoutine 1\nPop\nPop\nReturn\n");
  file.routines = {"observe", "EVENT"};
  objEntry box = ObjectHead(kObjColor, "Box", 3);
  box.color.width = 4;
  box.color.height = 4;
  file.objects.push_back(box);
  const int32_t id = Load(file);
  ASSERT_NE(id, kNoId);

  EXPECT_EQ(seen, (std::vector<int32_t>{7, 99}));
  EXPECT_EQ(ScriptFind(id)->objects[0].order, 42);
  EXPECT_FALSE(ScriptMainThreadWaiting(id));
  std::vector<std::string> dump = Dump(id);
  EXPECT_TRUE(Has(dump, "Script Index: 0"));
  EXPECT_TRUE(Has(dump, "Thread Count: 2"));
  EXPECT_TRUE(Has(dump, "  Thread Running: FALSE"));  // the fork waits

  ScriptUpdate(id);  // the fork resumes and waits again
  EXPECT_EQ(seen.size(), 2u);
  ScriptUpdate(id);  // ... and ends
  EXPECT_EQ(seen, (std::vector<int32_t>{7, 99, 2}));
  EXPECT_TRUE(Has(Dump(id), "Thread Count: 1"));

  ScriptPostEvent(id, 5, "button");
  EXPECT_EQ(events, (std::vector<std::string>{"5 BUTTON"}));

  // Another script posts to this one by its file name (system routine 24); not to itself.
  scriptFile other = WithCode(
      "Push \"x\"\nPush 8\nPush \"TEST\"\nCallSystemRoutine 24\n"
      "Push \"y\"\nPush 9\nPush \"other\"\nCallSystemRoutine 24\n",
      "Push [b-2]\nPush [b-1]\nCallAppRoutine 0\nPop\nPop\nReturn\n");
  other.routines = {"Event"};
  const int32_t second = Load(other, "other.vmc");
  ASSERT_NE(second, kNoId);
  EXPECT_EQ(events, (std::vector<std::string>{"5 BUTTON", "8 X"}));

  // Host operations on unknown scripts and threads are neutral.
  EXPECT_EQ(ScriptParameterGetInteger(id, 12345, 1), 0);
  EXPECT_FALSE(ScriptParameterSetText(id, kNoId - 7, 1, "a"));
  ScriptUnload(id);
  ScriptUpdate(id);
  ScriptPostEvent(id, 5, "button");
  EXPECT_TRUE(Dump(id).empty());
  EXPECT_EQ(events.size(), 2u);
}

// A routine that reads a new file into its own script or unloads it mid-run: the threads being
// run stay alive until the run is over, and later host calls answer for the new state.
TEST_F(ScriptEngineTest, ScriptReloadedOrUnloadedByItsOwnRoutine) {
  std::vector<std::string> marks;
  ASSERT_TRUE(ScriptAppRoutineRegister("Mark", [&](int32_t scriptId, int32_t threadId) {
    marks.push_back(ScriptParameterGetText(scriptId, threadId, 1));
    return 1;
  }));
  scriptFile next = WithCode("Push \"new\"\nCallAppRoutine 0\nWait\n");
  next.routines = {"Mark"};
  const std::string nextName = Put("next.vmc", WriteScriptFileText(next));
  ASSERT_TRUE(ScriptAppRoutineRegister("Reload", [&](int32_t scriptId, int32_t) {
    return ScriptFileLoad(scriptId, nextName) ? 1 : 0;
  }));
  scriptFile first = WithCode("Push \"old\"\nCallAppRoutine 0\nCallAppRoutine 1\nCallAppRoutine 0\n");
  first.routines = {"Mark", "Reload"};
  const int32_t reloaded = Load(first);
  ASSERT_NE(reloaded, kNoId);
  // The old thread is no longer the script's: its next routine call fails and it ends. The
  // record holds the new file alone, and the new main thread waits.
  EXPECT_EQ(marks, (std::vector<std::string>{"old", "new"}));
  EXPECT_EQ(ScriptFind(reloaded)->appRoutineNames, (std::vector<std::string>{"Mark"}));
  EXPECT_TRUE(ScriptMainThreadWaiting(reloaded));

  int32_t calls = 0;
  ASSERT_TRUE(ScriptAppRoutineRegister("Leave", [&](int32_t scriptId, int32_t threadId) {
    ++calls;
    ScriptUnload(scriptId);
    EXPECT_EQ(ScriptParameterGetInteger(scriptId, threadId, 1), 0);
    return 1;
  }));
  scriptFile file = WithCode("Push 3\nCallAppRoutine 0\nCallAppRoutine 0\n");
  file.routines = {"Leave"};
  const int32_t id = Load(file);
  EXPECT_FALSE(ScriptExists(id));
  EXPECT_EQ(calls, 1);  // the second call finds no script and ends the thread
}

// Random attribute traffic on objects of every kind, through the joined engine: whatever the
// numbers and values, nothing crashes and the script unloads cleanly.
TEST_F(ScriptEngineTest, RandomAttributeCodeOnEveryKind) {
  std::mt19937 random(20261208);
  const std::vector<objEntry> objects = EveryKind();
  vmCodeFormat format;
  for (const objEntry& object : objects) format.objectKinds.push_back(object.type);
  auto value = [&]() -> std::string {
    switch (random() % 3) {
      case 0: return std::to_string(static_cast<int32_t>(random() % 4001) - 2000);
      case 1: return random() % 2 ? "true" : "false";
      default: return random() % 2 ? "\"\"" : "\"x y z\"";
    }
  };
  int32_t done = 0;  // operations that succeeded (a failed one ends only its own thread)
  ASSERT_TRUE(ScriptAppRoutineRegister("AppScore", [&](int32_t, int32_t) { return ++done, 1; }));
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Each operation in a thread of its own: the main thread forks them all and ends.
    std::string code;
    for (int line = 0; line < 40; ++line) {
      const int32_t object = static_cast<int32_t>(random() % (objects.size() + 1));
      const int32_t attribute = random() % 8 == 0 ? 255 : static_cast<int32_t>(random() % 30);
      const bool list = object < static_cast<int32_t>(objects.size()) && objects[object].type == kObjList;
      const bool set = random() % 2 == 0;
      const bool indexed = list && (set ? (attribute == 5 || attribute == 15 || attribute == 16)
                                        : (attribute == 5 || attribute == 20 || attribute == 21));
      const std::string index = indexed ? "#" + std::to_string(static_cast<int32_t>(random() % 6) - 1) : "";
      const std::string next = "n" + std::to_string(line);
      code += "Fork " + next + "\n";
      if (random() % 4 == 0) code += "Wait\n";
      if (set) {
        code += "SetAttribute " + std::to_string(object) + ", " + std::to_string(attribute) + ", " +
                (indexed ? index + ", " : "") + value() + "\n";
      } else {
        code += "GetAttribute " + std::to_string(object) + ", " + std::to_string(attribute) +
                (indexed ? ", " + index : "") + "\nPop\n";
      }
      code += "CallAppRoutine 0\nReturn\n" + next + ":\n";
    }
    scriptFile file = EveryKindFile(16);
    std::string error;
    ASSERT_TRUE(VmAssembleCode(code, file.code, error, format)) << error << "\n" << code;
    file.listenerPresent = 0;
    LogCapture log;  // clamped frames and the like are logged
    const int32_t id = Load(file);
    ASSERT_NE(id, kNoId) << Joined(log);
    for (int frame = 0; frame < 8; ++frame) ScriptUpdate(id);
    ScriptUnload(id);
    EXPECT_FALSE(ScriptExists(id));
  }
  EXPECT_GT(done, 60 * 40 / 10) << "a fair share of the operations reach the object model";
}

}  // namespace

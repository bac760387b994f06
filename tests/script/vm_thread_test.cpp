#include "script/vm_thread.h"

#include <gtest/gtest.h>

#include <random>

#include "script/vm_fixture.h"
#include "support/test_support.h"

namespace {

using vmtest::TestScript;

// The literal of a value in assembler text.
std::string Literal(const parameter& value) {
  if (value.kind == kParameterInteger) return std::to_string(value.integer);
  if (value.kind == kParameterBoolean) return value.boolean ? "true" : "false";
  return "\"" + value.text + "\"";
}

// D op V through the interpreter: Push D, then op V into it.
parameter Apply(const std::string& op, const parameter& d, const parameter& v) {
  TestScript s("Push " + Literal(d) + "\n" + op + " " + Literal(v) + ", [b+0]\n");
  s.Run();
  EXPECT_EQ(s.Main().stack.size(), 1u);
  return s.Slot(0);
}

void ExpectInteger(const parameter& p, int32_t value, const std::string& what) {
  EXPECT_EQ(p.kind, kParameterInteger) << what;
  EXPECT_EQ(p.integer, value) << what;
}
void ExpectBool(const parameter& p, bool value, const std::string& what) {
  EXPECT_EQ(p.kind, kParameterBoolean) << what;
  EXPECT_EQ(p.boolean, value ? 1 : 0) << what;
}
void ExpectText(const parameter& p, const std::string& value, const std::string& what) {
  EXPECT_EQ(p.kind, kParameterText) << what;
  EXPECT_EQ(p.text, value) << what;
}

const parameter I(int32_t v) { return ParameterInteger(v); }
const parameter B(bool v) { return ParameterBoolean(v); }
const parameter T(const std::string& v) { return ParameterText(v); }

TEST(VmArithmetic, IntegerDestinations) {
  ExpectInteger(Apply("Add", I(2147483647), I(1)), INT32_MIN, "add wraps");
  ExpectInteger(Apply("Subtract", I(INT32_MIN), I(1)), INT32_MAX, "subtract wraps");
  ExpectInteger(Apply("Multiply", I(65536), I(65536)), 0, "multiply wraps");
  ExpectInteger(Apply("Multiply", I(-3), T("4")), -12, "text operand converted");
  ExpectInteger(Apply("And", I(12), I(10)), 8, "and");
  ExpectInteger(Apply("Or", I(12), B(true)), 13, "or with a boolean");
  ExpectInteger(Apply("Divide", I(-7), I(2)), -3, "truncating division");
  ExpectInteger(Apply("Divide", I(7), I(0)), 0, "divide by zero");
  ExpectInteger(Apply("Divide", I(INT32_MIN), I(-1)), INT32_MIN, "the one overflowing quotient wraps");
  ExpectInteger(Apply("Modulo", I(-7), I(2)), -1, "remainder has the sign of D");
  ExpectInteger(Apply("Modulo", I(7), I(-2)), 1, "remainder has the sign of D");
  ExpectInteger(Apply("Modulo", I(7), I(0)), 0, "modulo zero");
  ExpectInteger(Apply("Modulo", I(INT32_MIN), I(-1)), 0, "modulo -1");
  ExpectInteger(Apply("Move", I(1), T("12a")), 0, "move keeps the kind");
  ExpectInteger(Apply("Move", I(1), T("-12")), -12, "move of a number text");
}

TEST(VmArithmetic, BooleanDestinations) {
  ExpectBool(Apply("Add", B(false), I(0)), false, "0 + 0");
  ExpectBool(Apply("Add", B(true), I(-1)), false, "1 + -1");
  ExpectBool(Apply("Add", B(false), I(5)), true, "0 + 5");
  ExpectBool(Apply("Subtract", B(true), I(1)), false, "1 - 1");
  ExpectBool(Apply("Subtract", B(true), I(2)), true, "1 != 2");
  ExpectBool(Apply("And", B(true), T("TRUE")), true, "and");
  ExpectBool(Apply("And", B(true), I(0)), false, "and");
  ExpectBool(Apply("Or", B(false), T("yes")), false, "only TRUE is true");
  ExpectBool(Apply("Multiply", B(true), I(3)), true, "multiply");
  ExpectBool(Apply("Multiply", B(false), I(3)), false, "multiply");
  ExpectBool(Apply("Divide", B(true), I(0)), false, "divide by 0");
  ExpectBool(Apply("Modulo", B(true), I(2)), true, "modulo");
  ExpectBool(Apply("Move", B(false), T("true")), true, "move of \"true\"");
}

TEST(VmArithmetic, TextDestinations) {
  ExpectText(Apply("Add", T("ab"), I(-5)), "ab-5", "append an integer");
  ExpectText(Apply("Add", T("x"), B(true)), "xtrue", "append a boolean");
  ExpectText(Apply("Subtract", T("hello.txt"), T(".txt")), "hello", "cut an ending");
  ExpectText(Apply("Subtract", T("abab"), T("ab")), "ab", "the ending counts, not the first match");
  ExpectText(Apply("Subtract", T("abcde"), T("bc")), "abcde", "a match before the end");
  ExpectText(Apply("Subtract", T("abcde"), I(10)), "", "more than its length");
  ExpectText(Apply("Subtract", T("abcde"), I(2)), "abc", "the last two");
  ExpectText(Apply("Subtract", T("abcde"), I(-2)), "abcde", "a negative count changes nothing");
  ExpectText(Apply("Subtract", T("abtrue"), B(true)), "ab", "a boolean's text");
  ExpectText(Apply("And", T("true"), B(true)), "TRUE", "and");
  ExpectText(Apply("And", T("x"), B(true)), "FALSE", "and");
  ExpectText(Apply("Or", T("x"), I(1)), "TRUE", "or");
  ExpectText(Apply("Multiply", T("x"), I(1)), "", "multiply");
  ExpectText(Apply("Divide", T("x"), I(1)), "", "divide");
  ExpectText(Apply("Modulo", T("x"), I(1)), "", "modulo");
  ExpectText(Apply("Move", T("x"), I(5)), "5", "move");
}

TEST(VmArithmetic, OperandOnItselfAndFailedReads) {
  TestScript s("Push 3\nAdd [b+0], [b+0]\nPush \"ab\"\nAdd [b+1], [b+1]\n");
  s.Run();
  ExpectInteger(s.Slot(0), 6, "D + D");
  ExpectText(s.Slot(1), "abab", "text D + D");
  // A missing value slot fails before anything is written.
  TestScript t("Push 3\nAdd [b+5], [b+0]\nPush 9\n");
  t.Run();
  ASSERT_EQ(t.Main().stack.size(), 1u);
  ExpectInteger(t.Slot(0), 3, "unchanged");
  EXPECT_FALSE(t.Main().running);
}

TEST(VmInstructions, NotOnEachKind) {
  TestScript s("Push 5\nPush true\nPush \"true\"\nPush \"no\"\nNot [b+0]\nNot [b+1]\nNot [b+2]\nNot [b+3]\n");
  s.Run();
  ExpectInteger(s.Slot(0), ~5, "complement");
  ExpectBool(s.Slot(1), false, "toggle");
  ExpectText(s.Slot(2), "FALSE", "true text");
  ExpectText(s.Slot(3), "TRUE", "other text");
}

// 1 pushed when the comparison jumps, 0 when it falls through.
int32_t Jumps(const std::string& op, const parameter& a, const parameter& b) {
  TestScript s(op + " " + Literal(a) + ", " + Literal(b) + ", yes\nPush 0\nReturn\nyes:\nPush 1\n");
  s.Run();
  EXPECT_EQ(s.Main().stack.size(), 1u);
  return s.Main().stack.empty() ? -1 : s.Slot(0).integer;
}

TEST(VmInstructions, ComparisonsByTheKindOfA) {
  EXPECT_EQ(Jumps("JumpLess", I(-1), I(0)), 1);
  EXPECT_EQ(Jumps("JumpLess", I(2), T("10")), 1) << "B converted to integer";
  EXPECT_EQ(Jumps("JumpGreater", T("2"), I(10)), 1) << "texts compare bytewise";
  EXPECT_EQ(Jumps("JumpLess", T("ab"), T("abc")), 1) << "a prefix sorts first";
  EXPECT_EQ(Jumps("JumpLess", T("B"), T("a")), 1) << "case-sensitive";
  EXPECT_EQ(Jumps("JumpGreater", T("\xE9"), T("z")), 1) << "bytes compare unsigned";
  EXPECT_EQ(Jumps("JumpEqual", B(true), I(7)), 1) << "7 is true";
  EXPECT_EQ(Jumps("JumpGreater", B(true), B(false)), 1);
  EXPECT_EQ(Jumps("JumpEqual", I(5), T("5")), 1);
  EXPECT_EQ(Jumps("JumpNotEqual", I(5), T("5")), 0);
  EXPECT_EQ(Jumps("JumpGreaterEqual", I(5), I(5)), 1);
  EXPECT_EQ(Jumps("JumpLessEqual", I(6), I(5)), 0);
  EXPECT_EQ(Jumps("JumpEqual", T("OK"), T("OK")), 1);
  // An invalid address ends the thread even when the condition is false.
  TestScript s("JumpEqual 1, 2, @1000\nPush 1\n");
  s.Run();
  EXPECT_TRUE(s.Main().stack.empty());
  EXPECT_FALSE(s.Main().running);
}

TEST(VmInstructions, PushPopCallReturnAndEnds) {
  TestScript empty("");
  empty.Run();
  EXPECT_FALSE(empty.Main().running) << "empty code ends at once";

  // Call moves the base to the stack length; Return restores it.
  TestScript s(
      "Push 1\nPush 2\nCall sub\nPush 3\nReturn\n"
      "sub:\nPush 9\nAdd [b-2], [b+0]\nMove [b+0], [b-1]\nPop\nReturn\n");
  s.Run();
  ASSERT_EQ(s.Main().stack.size(), 3u);
  ExpectInteger(s.Slot(0), 1, "p2 of the routine");
  ExpectInteger(s.Slot(1), 10, "p1 written from the routine's local b+0 = 9 + p2");
  ExpectInteger(s.Slot(2), 3, "after return");
  EXPECT_EQ(s.Main().base, 0);
  EXPECT_TRUE(s.Main().run.jumpList.empty());

  TestScript pop("Pop\nPush 1\n");
  pop.Run();
  EXPECT_TRUE(pop.Main().stack.empty()) << "pop of an empty stack ends the thread";

  // Jumping into the middle of an instruction decodes from there: the literal of the Push at 5
  // and the two bytes after it read as a Push 7 from offset 7.
  TestScript middle("Jump @7\nPush 0x00070019\n.byte 0 0\nReturn\n");
  middle.Run();
  ASSERT_EQ(middle.Main().stack.size(), 1u);
  ExpectInteger(middle.Slot(0), 7, "decoded from the middle");

  TestScript unknown("Push 1\n.byte 0x02\nPush 2\n");
  unknown.Run();
  EXPECT_EQ(unknown.Main().stack.size(), 1u) << "an undefined opcode ends the thread";
  EXPECT_FALSE(unknown.Main().running);
}

TEST(VmInstructions, BoundsEndTheThreadQuietly) {
  tftest::LogCapture log;
  TestScript pushes("loop:\nPush 1\nJump loop\n");
  pushes.Run();
  EXPECT_EQ(pushes.Main().stack.size(), kVmMaxStackSlots);
  EXPECT_FALSE(pushes.Main().running);
  TestScript calls("loop:\nCall loop\n");
  calls.Run();
  EXPECT_EQ(calls.Main().run.jumpList.size(), kVmMaxCallFrames);
  EXPECT_FALSE(calls.Main().running);
  // Every secondary thread forks again in the same pass; the thread bound ends the chain.
  TestScript forks("again:\nFork rest\nJump again\nrest:\nWait\n");
  forks.Run();
  VmScriptUpdate(forks.script);  // the main thread ends after its wait
  VmScriptUpdate(forks.script);
  EXPECT_EQ(forks.script.threads.size(), kVmMaxThreads - 1) << "the thread that could not fork ended";
  VmScriptUpdate(forks.script);
  EXPECT_EQ(forks.script.threads.size(), 1u) << "all waited once and ended";
  // A budget of backward transfers ends a loop that never waits; forward code is not counted,
  // and a script made after the limit is lifted runs unbounded again.
  VmRunBudgetSet(3);
  TestScript spins("Push 0\nloop:\nAdd 1, [0]\nJump loop\n");
  VmRunBudgetSet(UINT64_MAX);
  spins.Run();
  EXPECT_EQ(ParameterToInteger(spins.Slot(0)), 4) << "three jumps back, then the fourth ends it";
  EXPECT_FALSE(spins.Main().running);
  EXPECT_EQ(TestScript("Push 0\nloop:\nAdd 1, [0]\nJumpLess [0], 100, loop\n").Run().Slot(0).integer, 100);
  EXPECT_TRUE(log.lines().empty());
}

TEST(VmInstructions, AppRoutinesSeeTheirParametersAndRestoreTheBase) {
  TestScript s("Push 0\nPush 0\nPush 20\nCallAppRoutine 0\nPush 1\nCallAppRoutine 1\nPush 2\n");
  int32_t seenThread = 0;
  s.host.routines.push_back([&](int32_t threadId) {
    seenThread = threadId;
    scriptThread& t = *VmThreadFind(s.script, threadId);
    EXPECT_EQ(t.base, 3);
    VmParameterSetText(t, 2, "p1 was " + VmParameterGetText(t, 1));
    return 1;
  });
  s.host.routines.push_back([&](int32_t) { return 0; });  // fails the thread
  s.Run();
  EXPECT_EQ(seenThread, s.Main().id);
  ASSERT_EQ(s.Main().stack.size(), 4u);
  ExpectText(s.Slot(1), "p1 was 20", "output slot");
  EXPECT_EQ(s.Main().base, 0) << "restored after a failing routine";
  // An index beyond the script's names ends the thread without calling anything.
  TestScript beyond("CallAppRoutine 2\nPush 1\n");
  beyond.host.routines.resize(2);
  beyond.Run();
  EXPECT_TRUE(beyond.Main().stack.empty());
}

TEST(VmInstructions, AttributesThroughTheHost) {
  vmCodeFormat format;
  format.objectKinds = {0, kVmObjectKindList};
  TestScript s(
      "Push 2\n"
      "SetAttribute 0, 1, [b+0]\n"           // top := 2
      "SetAttribute 1, 5, i[b+0], \"two\"\n"  // items[2] := "two"
      "SetAttribute 1, 5, #4, 44\n"
      "SetAttribute 0, 255, \"7\"\n"          // order, any kind
      "GetAttribute 1, 5, i[0]\n"             // items[value of slot 0 = 2]
      "GetAttribute 0, 1\n"
      "GetAttribute 0, 9\n"                   // not there: ends the thread
      "Push 0\n",
      format);
  s.Run();
  auto& a = s.host.attributes;
  ExpectInteger(a[{0, 1, 0}], 2, "top");
  ExpectText(a[{1, 5, 2}], "two", "item by slot");
  ExpectInteger(a[{1, 5, 4}], 44, "item by number");
  ExpectInteger(a[{0, 255, 0}], 7, "order, converted to an integer");
  ASSERT_EQ(s.Main().stack.size(), 3u);
  ExpectText(s.Slot(1), "two", "get item");
  ExpectInteger(s.Slot(2), 2, "get top");
  TestScript beyond("SetAttribute 2, 0, 1\nPush 1\n", format);
  beyond.Run();
  EXPECT_TRUE(beyond.Main().stack.empty()) << "object index beyond the count";
}

TEST(VmThreads, WaitForkAndTheUpdateOrder) {
  // Main: forks a worker, then waits twice. The worker counts in its own copy of slot 0.
  TestScript s(
      "Push 0\n"
      "Fork main\n"
      "worker:\nAdd 1, [b+0]\nWait\nJumpLess [b+0], 3, worker\nReturn\n"
      "main:\nMove 100, [b+0]\nWait\nAdd 1, [b+0]\nWait\nAdd 1, [b+0]\n");
  s.Run();
  ASSERT_EQ(s.script.threads.size(), 2u);
  scriptThread& worker = *s.script.threads[1];
  EXPECT_TRUE(s.Main().waiting);
  EXPECT_TRUE(s.Main().running) << "a waiting thread stays running";
  EXPECT_TRUE(worker.waiting);
  EXPECT_EQ(worker.id, s.Main().id + 1);
  ExpectInteger(worker.stack.at(0), 0, "the copy was taken before the main thread moved 100");
  ExpectInteger(s.Slot(0), 100, "main");

  VmScriptUpdate(s.script);  // main waiting: only it runs
  EXPECT_TRUE(s.host.calls.empty()) << "no tick or pointer while the main thread waited";
  ExpectInteger(worker.stack.at(0), 0, "secondary threads blocked");
  ExpectInteger(s.Slot(0), 101, "main resumed");
  VmScriptUpdate(s.script);
  ExpectInteger(s.Slot(0), 102, "main resumed again, and ends");
  EXPECT_FALSE(s.Main().running);
  EXPECT_TRUE(s.host.calls.empty());

  VmScriptUpdate(s.script);
  EXPECT_EQ(s.host.calls, (std::vector<std::string>{"tick", "pointer"}));
  ExpectInteger(worker.stack.at(0), 1, "worker's first pass");
  VmScriptUpdate(s.script);
  VmScriptUpdate(s.script);
  ASSERT_EQ(s.script.threads.size(), 2u);
  VmScriptUpdate(s.script);
  EXPECT_EQ(s.script.threads.size(), 1u) << "the ended worker is removed, the main thread stays";

  s.host.paused = true;
  s.host.calls.clear();
  VmScriptUpdate(s.script);
  EXPECT_TRUE(s.host.calls.empty()) << "paused state: nothing";
}

TEST(VmThreads, ForksDuringThePassRunInItAndEndedThreadsLeave) {
  // Each worker thread forks once more, ending after its fork; all run in the same pass.
  TestScript s(
      "Fork done\n"        // thread 2, resumes after the Fork
      "Wait\n"
      "Fork end\n"         // in thread 2's pass: thread 3 appended, thread 2 jumps to end
      "Push 1\n"           // thread 3 (same pass) pushes and ends
      "end:\nReturn\n"
      "done:\nReturn\n");
  s.Run();
  ASSERT_EQ(s.script.threads.size(), 2u);
  VmScriptUpdate(s.script);  // thread 2 resumes after Fork, waits
  ASSERT_EQ(s.script.threads.size(), 2u);
  VmScriptUpdate(s.script);  // thread 2 forks 3 and ends; 3 runs in the same pass and ends
  EXPECT_EQ(s.script.threads.size(), 1u);
  // An update asked for by code that an update runs is refused, so no thread is resumed twice
  // or removed while it runs.
  TestScript nested("Fork away\nWait\nCallAppRoutine 0\nPush 1\nReturn\naway:\nReturn\n");
  int32_t inner = 0;
  nested.host.routines.push_back([&](int32_t) {
    VmScriptUpdate(nested.script);
    inner = static_cast<int32_t>(nested.script.threads.size());
    return 1;
  });
  nested.Run();
  VmScriptUpdate(nested.script);  // the forked thread waits
  VmScriptUpdate(nested.script);  // and calls the routine, then ends
  EXPECT_EQ(inner, 2);
  EXPECT_EQ(nested.script.threads.size(), 1u);
  // The call stack is kept across a wait.
  TestScript c("Call sub\nPush 5\nReturn\nsub:\nWait\nReturn\n");
  c.Run();
  ASSERT_EQ(c.Main().run.jumpList.size(), 1u);
  VmScriptUpdate(c.script);
  ASSERT_EQ(c.Main().stack.size(), 1u);
  ExpectInteger(c.Slot(0), 5, "returned after the wait");
}

TEST(VmThreads, ListenerDispatch) {
  TestScript s(
      "Return\n"
      "listen:\n"
      "JumpEqual [b-1], 7, waits\n"
      "Move [b-2], [b-2]\n"  // touch p2
      "Push [b-2]\nPush [b-1]\nCallAppRoutine 0\nPop\nPop\nReturn\n"
      "waits:\nWait\nReturn\n");
  std::vector<std::string> seen;
  s.host.routines.push_back([&](int32_t id) {
    scriptThread& t = *VmThreadFind(s.script, id);
    seen.push_back(VmParameterGetText(t, 2) + "/" + std::to_string(VmParameterGetInteger(t, 1)));
    return 1;
  });
  s.Run();
  s.script.listenerAddress = 1;
  VmScriptPostEvent(s.script, -5, "button1");
  EXPECT_TRUE(seen.empty()) << "no listener byte";
  s.script.listenerPresent = 1;
  VmScriptPostEvent(s.script, -5, "button1");
  EXPECT_EQ(seen, (std::vector<std::string>{"BUTTON1/-5"}));
  EXPECT_TRUE(s.Main().stack.empty()) << "both slots popped again";
  VmScriptPostEvent(s.script, 7, "x");
  EXPECT_TRUE(VmMainThreadWaiting(s.script));
  EXPECT_EQ(s.Main().stack.size(), 2u) << "a waiting listener keeps its slots";
  VmScriptPostEvent(s.script, -5, "lost");
  EXPECT_EQ(seen.size(), 1u) << "no dispatch while the main thread waits";
}

TEST(VmThreads, EventFromInsideTheMainThreadKeepsItsCallStack) {
  // The main thread calls a routine that posts an event to its own script; afterwards the outer
  // code returns through its own frame.
  TestScript s(
      "Call sub\nPush 99\nReturn\n"
      "sub:\nCallAppRoutine 0\nReturn\n"
      "listen:\nPush [b-1]\nPop\nReturn\n");
  s.script.listenerPresent = 1;
  s.script.listenerAddress = 16;  // listen:
  s.host.routines.push_back([&](int32_t) {
    VmScriptPostEvent(s.script, 3, "self");
    return 1;
  });
  s.Run();
  ASSERT_EQ(s.Main().stack.size(), 1u);
  ExpectInteger(s.Slot(0), 99, "the outer run went on after its Return");
}

TEST(VmThreads, ParametersCountDownFromTheBase) {
  TestScript s("Push 1\nPush \"TRUE\"\nPush 3\nWait\n");
  s.Run();
  scriptThread& t = s.Main();
  EXPECT_EQ(VmParameterGetInteger(t, 1), 0) << "waiting: defaults";
  EXPECT_FALSE(VmParameterSetInteger(t, 1, 5));
  t.waiting = false;
  t.base = 3;
  EXPECT_EQ(VmParameterGetInteger(t, 1), 3);
  EXPECT_TRUE(VmParameterGetBool(t, 2));
  EXPECT_EQ(VmParameterGetText(t, 3), "1");
  EXPECT_EQ(VmParameterGetText(t, 4), "") << "below the stack";
  EXPECT_EQ(VmParameterGetInteger(t, 0), 0) << "above the stack";
  EXPECT_FALSE(VmParameterSetBool(t, 4, true));
  EXPECT_TRUE(VmParameterSetBool(t, 1, true));
  ExpectBool(s.Slot(2), true, "a set replaces the kind");
  EXPECT_EQ(VmThreadFind(s.script, kVmMainThreadId), &t);
  EXPECT_EQ(VmThreadFind(s.script, t.id), &t);
  EXPECT_EQ(VmThreadFind(s.script, t.id + 1000), nullptr);
}

TEST(VmThreads, DumpAndIds) {
  TestScript s("Fork next\nnext:\nWait\n");
  s.Run();
  tftest::TempDir dir;
  tftest::UseProgramFolder(dir);  // the dump goes to this test's own log
  tftest::LogCapture log;
  VmThreadDump(s.script, 0, 4);
  const std::vector<std::string> expected = {
      "Script Index: 0",   "Script ID: 4",          "Thread Count: 2",
      "  Thread Index: 0", "  Thread ID: " + std::to_string(s.Main().id), "  Thread Running: FALSE",
      "  Thread Index: 1", "  Thread ID: " + std::to_string(s.script.threads[1]->id), "  Thread Running: FALSE"};
  // The log's start banner may come first.
  ASSERT_GE(log.lines().size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.lines().end() - static_cast<std::ptrdiff_t>(expected.size()), log.lines().end()),
            expected);
  VmThreadIdReset();
  EXPECT_EQ(VmThreadNew()->id, 1);
  EXPECT_EQ(VmThreadNew()->id, 2);
}

}  // namespace

namespace {

// Uniform random bytes: any decoding fault must end a thread quietly, never crash. Addresses in
// such code are almost never valid, so the runs end.
TEST(VmThreads, RandomCodeEndsQuietly) {
  std::mt19937 random(777);
  tftest::LogCapture log;
  VmRunBudgetSet(10000);  // random bytes may well hold a loop without a wait
  for (int round = 0; round < 3000; ++round) {
    vmtest::TestScript s("");
    s.script.code.resize(random() % 64);
    for (auto& byte : s.script.code) byte = static_cast<uint8_t>(random());
    s.script.format.wideTexts = round % 2 == 0;
    s.script.format.objectKinds = {kVmObjectKindList, 0};
    s.script.listenerPresent = 1;
    s.host.routines.assign(3, [](int32_t) { return 1; });
    s.Run();
    VmScriptPostEvent(s.script, -1, "x");
    for (int frame = 0; frame < 3; ++frame) VmScriptUpdate(s.script);
    EXPECT_LE(s.script.threads.size(), 64u);
  }
  VmRunBudgetSet(UINT64_MAX);
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace

// The system routines from script code: inputs pushed, outputs read back from the caller's slots.
#include <gtest/gtest.h>

#include <set>

#include "audio/audio.h"
#include "audio/audio_fixture.h"
#include "input/input_fixture.h"
#include "script/vm_fixture.h"

namespace {

using vmtest::TestScript;

// Pushes the values (the first ends up deepest, so the last is parameter 1), calls routine n
// and returns the script for its slots.
std::unique_ptr<TestScript> Call(int32_t n, const std::vector<std::string>& values, vmtest::TestHost* copyFrom = nullptr) {
  std::string text;
  for (const std::string& value : values) text += "Push " + value + "\n";
  text += "CallSystemRoutine " + std::to_string(n) + "\nPush \"after\"\n";
  auto script = std::make_unique<TestScript>(text);
  if (copyFrom) script->host.variables = copyFrom->variables;
  script->Run();
  return script;
}

std::string TextAt(TestScript& s, size_t slot) { return ParameterToText(s.Slot(slot)); }

TEST(VmSystemRoutines, ResultsLandInTheCallersSlots) {
  // Push 7, Push 3, routine 0: p1 = 3 (pushed last), the result replaces the 7.
  std::set<int32_t> seen;
  for (int i = 0; i < 60; ++i) {
    auto s = Call(0, {"7", "3"});
    ASSERT_EQ(s->Main().stack.size(), 3u);
    EXPECT_EQ(s->Slot(1).integer, 3);
    seen.insert(s->Slot(0).integer);
  }
  EXPECT_TRUE(seen.count(0) || seen.count(1) || seen.count(2));
  for (int32_t value : seen) EXPECT_TRUE(value >= 0 && value < 3) << value;
  EXPECT_EQ(Call(0, {"7", "0"})->Slot(0).integer, 0) << "no range: 0";

  EXPECT_EQ(TextAt(*Call(23, {"0", "\"hello\""}), 0), "5");
  EXPECT_EQ(TextAt(*Call(25, {"\"\"", "3", "2", "\"abcdef\""}), 0), "bcd");
  EXPECT_EQ(TextAt(*Call(25, {"\"\"", "10", "4", "\"abcdef\""}), 0), "def") << "clipped at the end";
  EXPECT_EQ(TextAt(*Call(25, {"\"\"", "2", "0", "\"abcdef\""}), 0), "ab") << "start before 1 counts from 1";
  EXPECT_EQ(TextAt(*Call(25, {"\"\"", "2", "9", "\"abcdef\""}), 0), "");
  EXPECT_EQ(TextAt(*Call(33, {"0", "321"}), 0), "A") << "low byte of 321 is 65";
  EXPECT_EQ(TextAt(*Call(38, {"false", "\"haystack\"", "\"st\""}), 0), "true");
  EXPECT_EQ(TextAt(*Call(38, {"true", "\"haystack\"", "\"ts\""}), 0), "false");
  EXPECT_EQ(TextAt(*Call(41, {"0", "8"}), 0), "3") << "2.83 rounds to 3";
  EXPECT_EQ(TextAt(*Call(41, {"0", "2"}), 0), "1");
  EXPECT_EQ(TextAt(*Call(41, {"0", "-4"}), 0), "0");
  EXPECT_EQ(TextAt(*Call(42, {"0", "\"MiXeD 1\""}), 0), "mixed 1");
  // The outputs take the kind of the routine's result.
  auto kind = Call(38, {"0", "\"a\"", "\"a\""});
  EXPECT_EQ(kind->Slot(0).kind, kParameterBoolean);

  auto unknown = Call(43, {"1"});
  EXPECT_EQ(unknown->Main().stack.size(), 1u) << "an unknown routine ends the thread";
}

TEST(VmSystemRoutines, RoutinesThroughTheHost) {
  TestScript time("Push 0\nCallSystemRoutine 1\n");
  time.host.time = 1234;
  time.Run();
  EXPECT_EQ(time.Slot(0).integer, 1234);
  EXPECT_EQ(TextAt(*Call(4, {"false"}), 0), "true");
  EXPECT_EQ(TextAt(*Call(5, {"\"\"", "1", "0"}), 0), "1280x720 32-bit color");
  EXPECT_EQ(TextAt(*Call(5, {"\"\"", "2", "0"}), 0), "");
  EXPECT_EQ(TextAt(*Call(6, {"0", "1"}), 0), "4");
  EXPECT_EQ(TextAt(*Call(26, {"0", "\"abc\"", "\"A.FOT\"", "1"}), 0), "30");
  EXPECT_EQ(TextAt(*Call(39, {"\"\"", "20", "10"}), 0), "BUTTON");
  EXPECT_EQ(TextAt(*Call(40, {"\"\"", "2", "1", "\"map\""}), 0), "FOREST");

  auto post = Call(24, {"\"button\"", "5", "\"score\""});
  EXPECT_EQ(post->host.calls, (std::vector<std::string>{"post score 5 button"}));

  vmtest::TestHost variables;
  variables.variables = Call(31, {"42", "\"lives\"", "3"})->host.variables;
  EXPECT_EQ(variables.variables["3:lives"].integer, 42);
  EXPECT_EQ(TextAt(*Call(28, {"0", "\"lives\"", "3"}, &variables), 0), "42");
  EXPECT_EQ(TextAt(*Call(29, {"\"\"", "\"lives\"", "3"}, &variables), 0), "42");
  variables.variables = Call(30, {"true", "\"won\"", "3"})->host.variables;
  EXPECT_EQ(TextAt(*Call(27, {"false", "\"won\"", "3"}, &variables), 0), "true");
  variables.variables = Call(32, {"\"Ann\"", "\"name\"", "2"})->host.variables;
  EXPECT_EQ(TextAt(*Call(29, {"0", "\"name\"", "2"}, &variables), 0), "Ann");
}

class VmSystemAudio : public AudioTest {};

TEST_F(VmSystemAudio, VolumesAsPercentages) {
  Start();
  ASSERT_TRUE(AudioAvailable());
  // (set routine, get routine) pairs: music, sound, app, voice.
  for (auto [set, get] : {std::pair{3, 2}, std::pair{8, 7}, std::pair{22, 21}, std::pair{36, 35}}) {
    Call(set, {"37"});
    EXPECT_EQ(TextAt(*Call(get, {"0"}), 0), "37") << get;
    EXPECT_NEAR(set == 3 ? AudioVolumeGetMusic() : set == 8 ? AudioVolumeGetSound()
                : set == 22 ? AudioVolumeGetApp() : AudioVolumeGetVoice(), 0.37, 1e-6);
  }
}

class VmSystemInput : public tftest::InputTest {};

TEST_F(VmSystemInput, ControlSetsActionsAndEvents) {
  const int32_t set = InputControlSetNew("Script Test", false);
  const int32_t fire = InputActionNew(set, "Fire");
  const std::string setText = std::to_string(set), fireText = std::to_string(fire);
  Call(9, {"100", "5", fireText});  // bind code 5 with scale 100
  EXPECT_EQ(TextAt(*Call(11, {"0", "0", fireText}), 0), "5");
  EXPECT_EQ(TextAt(*Call(11, {"0", "1", fireText}), 0), "0") << "no second binding";
  EXPECT_EQ(TextAt(*Call(12, {"0", "0", setText}), 0), fireText);
  EXPECT_EQ(TextAt(*Call(12, {"0", "1", setText}), 0), "-1");
  EXPECT_EQ(TextAt(*Call(13, {"0", fireText}), 0), InputActionNameGet(fire));
  EXPECT_EQ(TextAt(*Call(14, {"0", "0"}), 0), std::to_string(InputAnalogControlCode(0)));
  EXPECT_EQ(TextAt(*Call(15, {"0", "5", setText}), 0), fireText);
  EXPECT_EQ(TextAt(*Call(16, {"0", "5"}), 0), InputControlName(5));
  EXPECT_EQ(TextAt(*Call(17, {"0", "\"script test\""}), 0), setText);
  EXPECT_EQ(TextAt(*Call(18, {"0", setText}), 0), "1");
  Call(10, {fireText});
  EXPECT_EQ(InputActionControlGet(fire, 0), 0) << "cleared";
  EXPECT_EQ(TextAt(*Call(34, {"true"}), 0), InputMouseButtonsSwapped() ? "true" : "false");
  EXPECT_EQ(TextAt(*Call(37, {"-1"}), 0), std::to_string(InputJoystickCount()));

  // Routine 20 takes the queue: the first event of value 0 whose code is not analog.
  InputControlSetActivate(set);
  const int32_t analog = InputAnalogControlCode(0);
  InputControlEvent(set, analog, 0);
  InputControlEvent(set, 7, 1);
  InputControlEvent(set, 9, 0);
  InputControlEvent(set, 11, 0);
  EXPECT_EQ(TextAt(*Call(20, {"-1"}), 0), "9");
  EXPECT_EQ(TextAt(*Call(20, {"-1"}), 0), "0") << "the queue was taken";
  InputControlEvent(set, 9, 0);
  Call(19, {});
  EXPECT_TRUE(InputControlEventsGet(set).empty()) << "routine 19 discards the queue";
}

}  // namespace

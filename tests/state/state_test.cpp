#include "state/state.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "state/state_internal.h"
#include "support/test_support.h"

namespace {

using tftest::LE32;
using tftest::ReadFile;
using tftest::TempDir;

uint32_t gTick = 0;
uint32_t FakeTick() { return gTick; }

// The "Error: " lines of this test's log.
std::vector<std::string> LoggedErrors() {
  const std::string text = ReadFile(LogGetFilePath());
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = text.substr(start, end - start);
    if (line.rfind("Error: ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    gTick = 1000;
    StateSetTickSource(FakeTick);
    StateStart();
  }
  void TearDown() override {
    StateEnd();
    StateSetTickSource(nullptr);
  }

  // Registers enter and leave routines on `id` that append "+id<from" and "-id>to" to events_.
  void Track(int32_t id) {
    ASSERT_TRUE(StateRegisterEnter(id, [this, id](int32_t from) {
      events_.push_back("+" + std::to_string(id) + "<" + std::to_string(from));
    }));
    ASSERT_TRUE(StateRegisterLeave(id, [this, id](int32_t to) {
      events_.push_back("-" + std::to_string(id) + ">" + std::to_string(to));
    }));
  }

  TempDir dir_;
  std::vector<std::string> events_;
};

// One suite per behaviour group, all on the same fresh store.
using stateChanges = StateTest;
using stateClocks = StateTest;
using stateVariables = StateTest;
using stateSaves = StateTest;

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------

TEST(stateStart, RegistersItsVersionLine) {
  TempDir dir;
  tftest::UseProgramFolder(dir, {"-ver"});
  StateStart();
  StateEnd();
  EXPECT_NE(ReadFile(LogGetFilePath()).find("\r\n    fwkState - Version Alpha.0\r\n"), std::string::npos);
}

TEST_F(stateChanges, RegistrationCreatesStatesAndRefusesBadIdsAndSecondRoutines) {
  auto nothing = [](int32_t) {};
  EXPECT_FALSE(StateRegisterEnter(0, nothing));
  EXPECT_FALSE(StateRegisterLeave(-3, nothing));
  EXPECT_TRUE(StateRegisterEnter(4, nothing));
  EXPECT_FALSE(StateRegisterEnter(4, nothing)) << "a second enter routine";
  EXPECT_TRUE(StateRegisterLeave(4, nothing));

  // An empty routine creates the state without taking the role.
  EXPECT_TRUE(StateRegisterUpdate(6, nullptr));
  StateChange(6);
  EXPECT_EQ(StateGetCurrent(), 6);
  EXPECT_TRUE(StateRegisterUpdate(6, [] {}));

  StateEnd();
  StateStart();
  StateChange(6);
  EXPECT_EQ(StateGetCurrent(), 0) << "the restart released every state";
}

TEST_F(stateChanges, ChangesRunLeaveThenEnterWithTheOtherId) {
  Track(1);
  Track(2);
  StateChange(1);
  StateChange(1);  // the current state: nothing at all
  StateChange(2);
  StateChange(0);
  EXPECT_EQ(events_, (Strings{"+1<0", "-1>2", "+2<1", "-2>0"}));
  EXPECT_EQ(StateGetCurrent(), 0);
}

TEST_F(stateChanges, ChangeToAMissingStateLeavesButKeepsTheOldStateAndItsTime) {
  Track(1);
  StateChange(1);
  gTick += 2000;
  StateChange(99);
  EXPECT_EQ(events_, (Strings{"+1<0", "-1>99"}));
  EXPECT_EQ(StateGetCurrent(), 1);
  EXPECT_EQ(StateGetTime(1), 2000) << "time is not counted twice";
  gTick += 500;
  EXPECT_EQ(StateGetTime(1), 2500) << "the clock keeps running";
}

TEST_F(stateChanges, GuardSeesOldAndNewIdAndCanRefuse) {
  Track(1);
  Track(2);
  std::vector<std::pair<int32_t, int32_t>> asked;
  bool allow = true;
  StateSetGuard([&](int32_t from, int32_t to) {
    asked.emplace_back(from, to);
    return allow;
  });
  StateChange(1);
  allow = false;
  StateChange(2);
  EXPECT_EQ(StateGetCurrent(), 1);
  EXPECT_EQ(events_, Strings{"+1<0"}) << "a refused change runs no routine";
  EXPECT_EQ(asked, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 2}}));

  StateSetGuard(nullptr);
  StateChange(2);
  EXPECT_EQ(StateGetCurrent(), 2);
}

TEST_F(stateChanges, ChangesRequestedDuringUpdateWaitAndOnlyTheLastCounts) {
  Track(1);
  Track(2);
  Track(3);
  std::vector<int32_t> seenDuringUpdate;
  std::vector<int32_t> requests;
  ASSERT_TRUE(StateRegisterUpdate(1, [&] {
    for (int32_t id : requests) {
      StateChange(id);
      seenDuringUpdate.push_back(StateGetCurrent());
    }
  }));
  StateChange(1);
  events_.clear();

  requests = {2, 3};
  StateUpdate();
  EXPECT_EQ(seenDuringUpdate, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(StateGetCurrent(), 3);
  EXPECT_EQ(events_, (Strings{"-1>3", "+3<1"})) << "state 2 is never entered";

  // A request for no state from inside the update is dropped.
  StateChange(1);
  events_.clear();
  requests = {0};
  StateUpdate();
  EXPECT_EQ(StateGetCurrent(), 1);
  EXPECT_TRUE(events_.empty());

  // After the update, changes take effect at once again.
  StateChange(2);
  EXPECT_EQ(StateGetCurrent(), 2);
}

// ---------------------------------------------------------------------------------------------

TEST_F(stateClocks, PauseFreezesAndResumeContinuesTheCurrentClock) {
  Track(1);
  EXPECT_FALSE(StateGetPaused());
  StatePause();  // no current state: nothing
  StateChange(1);
  gTick += 1500;
  StatePause();
  EXPECT_TRUE(StateGetPaused());
  gTick += 10000;
  StatePause();
  EXPECT_EQ(StateGetTime(1), 1500) << "pausing twice changes nothing";
  StateResume();
  EXPECT_FALSE(StateGetPaused());
  gTick += 250;
  EXPECT_EQ(StateGetTime(1), 1750);

  // Resuming a running clock keeps the time since it started.
  StateResume();
  gTick += 50;
  EXPECT_EQ(StateGetTime(1), 1800);
}

TEST_F(stateClocks, ClocksFreezeWhileTheirStateIsNotCurrentAndPausedStatesStayPaused) {
  Track(1);
  Track(2);
  StateChange(1);
  gTick += 300;
  StateChange(2);
  gTick += 1000;
  EXPECT_EQ(StateGetTime(1), 300);
  EXPECT_EQ(StateGetTime(2), 1000);
  StatePause();
  StateChange(1);
  gTick += 200;
  EXPECT_EQ(StateGetTime(1), 500) << "continues from its accumulated time";
  EXPECT_FALSE(StateGetPaused());
  StateChange(2);
  gTick += 5000;
  EXPECT_TRUE(StateGetPaused()) << "a paused state comes back paused";
  EXPECT_EQ(StateGetTime(2), 1000);

  EXPECT_EQ(StateGetTime(77), 0);
  StateResetTime(77);  // unknown: nothing
  StateResetTime(1);
  EXPECT_EQ(StateGetTime(1), 0);
  StateResume();
  StateResetTime(2);  // current and running: counts on from zero
  gTick += 60;
  EXPECT_EQ(StateGetTime(2), 60);
}

TEST_F(stateClocks, ClockArithmeticSurvivesTheTickWrapping) {
  Track(1);
  gTick = 0xFFFFFF00u;
  StateChange(1);
  gTick += 0x200;  // wraps to 0x100
  EXPECT_EQ(StateGetTime(1), 0x200);
  StatePause();
  gTick = 0xFFFFFFF0u;
  StateResume();
  gTick += 0x20;
  EXPECT_EQ(StateGetTime(1), 0x220);
}

// ---------------------------------------------------------------------------------------------

TEST_F(stateVariables, VariablesConvertBetweenKinds) {
  StateRegisterUpdate(3, nullptr);
  StateVariableSetBool(3, "flag", true);
  StateVariableSetInteger(3, "count", -42);
  StateVariableSetText(3, "yes", "tRuE");
  StateVariableSetText(3, "number", "-17");
  StateVariableSetText(3, "minus", "-");
  StateVariableSetText(3, "mixed", "12abc");
  StateVariableSetText(3, "huge", "99999999999");

  EXPECT_TRUE(StateVariableGetBool(3, "FLAG"));
  EXPECT_TRUE(StateVariableGetBool(3, "count"));
  EXPECT_TRUE(StateVariableGetBool(3, "Yes"));
  EXPECT_FALSE(StateVariableGetBool(3, "number"));

  EXPECT_EQ(StateVariableGetInteger(3, "flag"), 1);
  EXPECT_EQ(StateVariableGetInteger(3, "number"), -17);
  EXPECT_EQ(StateVariableGetInteger(3, "minus"), 0);
  EXPECT_EQ(StateVariableGetInteger(3, "mixed"), 0);
  EXPECT_EQ(StateVariableGetInteger(3, "huge"), 0);

  std::string text = "unchanged";
  EXPECT_FALSE(StateVariableGetText(3, "nothing", text));
  EXPECT_FALSE(StateVariableGetText(8, "flag", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(StateVariableGetText(3, "flag", text));
  EXPECT_EQ(text, "true");
  EXPECT_TRUE(StateVariableGetText(3, "count", text));
  EXPECT_EQ(text, "-42");
}

TEST_F(stateVariables, SettingAVariableInAnotherCaseReplacesItWithTheNewKind) {
  StateRegisterUpdate(3, nullptr);
  StateVariableSetText(3, "Lives", "three");
  StateVariableSetInteger(3, "lives", 9);
  StateVariableSetInteger(3, "LIVES", 3);
  stateVar variable = StateVariableGet(3, "LiVeS");
  EXPECT_EQ(variable.name, "LIVES");
  EXPECT_EQ(variable.kind, kStateVarInteger);
  EXPECT_EQ(variable.integer, 3);
  // That there is only one shows in the saved variable count (see the save tests).

  StateVariableSetText(12, "lives", "x");  // no such state: nothing, no log
  StateRegisterUpdate(12, nullptr);
  EXPECT_EQ(StateVariableGet(12, "lives").kind, kStateVarEmpty);
}

TEST_F(stateVariables, MissingVariablesAreEmptyAndOnlyUnknownNamesAreLogged) {
  StateRegisterUpdate(3, nullptr);
  EXPECT_EQ(StateVariableGet(44, "Anything").kind, kStateVarEmpty);
  EXPECT_TRUE(LoggedErrors().empty()) << "an unknown state is not logged";

  stateVar variable = StateVariableGet(3, "Door Open");
  EXPECT_EQ(variable.kind, kStateVarEmpty);
  EXPECT_TRUE(variable.name.empty());
  EXPECT_FALSE(StateVariableGetBool(3, "x"));
  EXPECT_EQ(StateVariableGetInteger(3, "y"), 0);
  EXPECT_EQ(LoggedErrors(),
            (Strings{"Error: StateVariableGet - Variable \"Door Open\" doesn't exist for state.",
                     "Error: StateVariableGet - Variable \"x\" doesn't exist for state.",
                     "Error: StateVariableGet - Variable \"y\" doesn't exist for state."}));
}

TEST_F(stateSaves, SaveNamesAreUpperCasedUniqueAndLogged) {
  StateRegisterUpdate(3, nullptr);
  StateRegisterUpdate(5, nullptr);
  StateRegisterUpdate(6, nullptr);
  EXPECT_FALSE(StateSetSaveName(0, "zero"));
  EXPECT_FALSE(StateSetSaveName(-2, "minus"));
  EXPECT_FALSE(StateSetSaveName(4, "missing"));
  EXPECT_TRUE(StateSetSaveName(3, "Game"));
  EXPECT_TRUE(StateSetSaveName(3, "game")) << "its own name again";
  EXPECT_FALSE(StateSetSaveName(5, "gAmE"));
  EXPECT_EQ(LoggedErrors(),
            (Strings{"Error: StateSetSaveName - stateId 0 is invalid.",
                     "Error: StateSetSaveName - stateId -2 is invalid.",
                     "Error: StateSetSaveName - State doesn't exist.",
                     "Error: StateSetSaveName - Another state already has the name \"GAME\"."}));

  // An empty name takes a state out of saves even though other states have no name either.
  EXPECT_TRUE(StateSetSaveName(3, ""));
  EXPECT_TRUE(StateSetSaveName(5, "game"));
  EXPECT_EQ(LoggedErrors().size(), 4u);
}

// ---------------------------------------------------------------------------------------------

std::string Byte(uint8_t value) { return std::string(1, static_cast<char>(value)); }
std::string Text(const std::string& text) { return LE32(static_cast<uint32_t>(text.size())) + text; }

TEST_F(stateSaves, SaveWritesNamedStatesWithVariablesAndTheApplicationBlock) {
  StateRegisterUpdate(5, nullptr);  // unnamed: not saved
  StateVariableSetInteger(5, "ignored", 1);
  StateRegisterUpdate(3, nullptr);
  StateRegisterUpdate(7, nullptr);
  ASSERT_TRUE(StateSetSaveName(3, "Game"));
  ASSERT_TRUE(StateSetSaveName(7, "score"));
  StateVariableSetBool(3, "menu main fade in", true);
  StateVariableSetInteger(3, "Difficulty", -2);
  StateVariableSetText(3, "lives", "three");
  StateVariableSetText(3, "Door", "Open");
  StateVariableSetInteger(3, "LIVES", 3);  // replaces the text in its place
  StateVariableSetText(3, "empty", "");
  StateVariableSetBool(3, "off", false);

  const std::string path = dir_ / "savegame1.sav";
  ASSERT_TRUE(tftest::WriteFile(path, std::string(500, 'x'))) << "an older, longer file is replaced";
  std::string writerName;
  ASSERT_TRUE(StateSave(path, [&](ByteWriter& out, const std::string& fileName) {
    writerName = fileName;
    out.Text("abcde");
  }));
  EXPECT_EQ(writerName, path);

  const std::string game = Text("GAME") + LE32(6) +
                           Text("MENU MAIN FADE IN") + Byte(1) + Byte(1) +
                           Text("DIFFICULTY") + Byte(2) + LE32(static_cast<uint32_t>(-2)) +
                           Text("LIVES") + Byte(2) + LE32(3) +
                           Text("DOOR") + Byte(3) + Text("Open") +
                           Text("EMPTY") + Byte(3) + LE32(0) +
                           Text("OFF") + Byte(1) + Byte(0);
  const std::string score = Text("SCORE") + LE32(0);
  const std::string records = LE32(static_cast<uint32_t>(game.size())) + game +
                              LE32(static_cast<uint32_t>(score.size())) + score;
  const std::string expected = LE32(1) + "STA" + LE32(static_cast<uint32_t>(records.size())) +
                               records + "APP" + LE32(5) + "abcde";
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_TRUE(LoggedErrors().empty());
}

TEST_F(stateSaves, SaveWithoutNamedStatesOrWriterHasEmptyBlocks) {
  StateRegisterUpdate(3, nullptr);
  StateVariableSetInteger(3, "difficulty", 2);
  const std::string path = dir_ / "autosave.sav";
  ASSERT_TRUE(StateSave(path, nullptr));
  EXPECT_EQ(ReadFile(path), LE32(1) + "STA" + LE32(0) + "APP" + LE32(0));
}

TEST_F(stateSaves, SaveFailuresAreLoggedAndReported) {
  bool writerCalled = false;
  auto writer = [&](ByteWriter&, const std::string&) { writerCalled = true; };
  const std::string missing = dir_ / "no folder/savegame1.sav";
  EXPECT_FALSE(StateSave(missing, writer));
  EXPECT_FALSE(StateSave("", writer));
  EXPECT_FALSE(tftest::FileExists(missing));
  EXPECT_EQ(LoggedErrors(),
            (Strings{"Error: StateSave - Unable to create file \"" + missing + "\".",
                     "Error: StateSave - Unable to create file \"\"."}));

  // A save replaces a file whole; a folder or a device is never put aside for one.
  ASSERT_TRUE(tftest::WriteFile(dir_ / "folder/inside", "x"));
  EXPECT_FALSE(StateSave(dir_ / "folder", writer));
  EXPECT_EQ(LoggedErrors().back(), "Error: StateSave - Unable to create file \"" + (dir_ / "folder") + "\".");
  struct stat device {};
  if (stat("/dev/null", &device) == 0 && S_ISCHR(device.st_mode)) {
    EXPECT_FALSE(StateSave("/dev/null", writer));
    EXPECT_EQ(LoggedErrors().back(), "Error: StateSave - Unable to create file \"/dev/null\".");
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
  }
  EXPECT_FALSE(writerCalled);
}

TEST_F(stateSaves, SaveThatFailsPartWayKeepsThePreviousSave) {
  StateRegisterUpdate(3, nullptr);
  ASSERT_TRUE(StateSetSaveName(3, "game"));
  const std::string path = dir_ / "savegame1.sav";
  const std::string previous = "the previous save";
  ASSERT_TRUE(tftest::WriteFile(path, previous));

  // A file-size limit stands in for a disk that fills up while the save is written: the log
  // still fits below it, the save does not.
  constexpr rlim_t kLimit = 256 * 1024;
  rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  if (saved.rlim_cur != RLIM_INFINITY && saved.rlim_cur < kLimit) GTEST_SKIP() << "file sizes already limited";
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = kLimit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = StateSave(path, [](ByteWriter& out, const std::string&) { out.Fill('a', 2 * kLimit); });
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(LoggedErrors(), (Strings{"Error: StateSave - Unable to write file \"" + path + "\"."}));
  EXPECT_TRUE(ReadFile(path) == previous) << "the previous save was overwritten";
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

}  // namespace

namespace {

// A save loaded back replaces the named states' variables, hands over the application block and
// sets no state it does not name; every cut-short prefix and a lying length fail with one line
// and change nothing.
TEST_F(stateSaves, LoadRestoresNamedStatesAndRefusesDamagedFilesWhole) {
  StateRegisterUpdate(3, nullptr);
  StateRegisterUpdate(5, nullptr);
  ASSERT_TRUE(StateSetSaveName(3, "game"));
  StateVariableSetInteger(3, "difficulty", 2);
  StateVariableSetText(3, "door", "open");
  StateVariableSetBool(3, "lit", true);
  StateVariableSetInteger(5, "unsaved", 7);
  const std::string path = dir_ / "savegame1.sav";
  ASSERT_TRUE(StateSave(path, [](ByteWriter& out, const std::string&) { out.Text("xyz"); }));

  StateVariableSetInteger(3, "difficulty", 3);
  StateVariableSetInteger(3, "added later", 1);
  StateVariableSetInteger(5, "unsaved", 8);
  std::string app;
  ASSERT_TRUE(StateLoad(path, [&](ByteReader& in) {
    app = in.Text(in.Remaining());
    return true;
  }));
  EXPECT_EQ(app, "xyz");
  EXPECT_EQ(StateVariableGetInteger(3, "difficulty"), 2);
  std::string door;
  EXPECT_TRUE(StateVariableGetText(3, "Door", door));
  EXPECT_EQ(door, "open");
  EXPECT_TRUE(StateVariableGetBool(3, "lit"));
  EXPECT_EQ(StateVariableGet(3, "added later").kind, kStateVarEmpty) << "the state's variables are the file's";
  EXPECT_EQ(StateVariableGetInteger(5, "unsaved"), 8) << "an unnamed state is not in the file";

  // A reader that finds its block damaged cancels the load.
  StateVariableSetInteger(3, "difficulty", 1);
  EXPECT_FALSE(StateLoad(path, [](ByteReader&) { return false; }));
  EXPECT_EQ(StateVariableGetInteger(3, "difficulty"), 1);

  const std::string whole = ReadFile(path);
  stateSaveContents contents;
  std::string problem;
  for (size_t size = 0; size < whole.size(); ++size) {
    // The APP block's own length is all a prefix inside it can break.
    const bool read = StateSaveRead(reinterpret_cast<const uint8_t*>(whole.data()), size, contents, problem);
    EXPECT_FALSE(read && contents.app == std::vector<uint8_t>({'x', 'y', 'z'}))
        << size;
  }
  ASSERT_TRUE(tftest::WriteFile(path, whole.substr(0, 20)));
  EXPECT_FALSE(StateLoad(path, nullptr));
  std::string lying = whole;
  lying[8] = '\x7f';  // the STA length now claims far more than the file holds
  ASSERT_TRUE(tftest::WriteFile(path, lying));
  EXPECT_FALSE(StateLoad(path, nullptr));
  EXPECT_FALSE(StateLoad(dir_ / "missing.sav", nullptr));
  EXPECT_EQ(StateVariableGetInteger(3, "difficulty"), 1);
  const Strings errors = LoggedErrors();
  ASSERT_EQ(errors.size(), 5u) << "one line each, after the missing variable's";
  EXPECT_EQ(errors[2], "Error: StateLoad - File \"" + path + "\" is damaged: a block is cut short.");

  // The clock of a restored game continues from its play time.
  StateChange(3);
  StateSetTime(3, 3725000);
  gTick += 500;
  EXPECT_EQ(StateGetTime(3), 3725500);
}

}  // namespace

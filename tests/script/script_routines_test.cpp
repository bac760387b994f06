// The app routine registry: registration rules, lookups, and running routines for scripts.
#include <gtest/gtest.h>

#include "script/script_fixture.h"

namespace {

using namespace tftest;

class ScriptRoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFolder(dir_);
    LogWrite("Routine tests");
    DataFileStart();
    ScriptStart();
  }
  void TearDown() override {
    ScriptSetEngineHooks({});
    ScriptEnd();
    DataFileEnd();
  }
  // A script without objects that names the routines.
  int32_t Script(const std::vector<std::string>& routines) {
    scriptFile file;
    file.routines = routines;
    EXPECT_TRUE(WriteFile(dir_ / "Bin/Scripts/r.vmc", WriteScriptFileText(file)));
    return ScriptLoad("Bin\\Scripts\\r.vmc");
  }
  TempDir dir_;
};

TEST_F(ScriptRoutinesTest, RegistrationRefusesAnyNameTwiceAndLooksUpInAnyCase) {
  std::vector<std::string> calls;
  EXPECT_TRUE(ScriptAppRoutineRegister("AppScore", [&](int32_t, int32_t) { calls.push_back("first"); return 1; }));
  EXPECT_FALSE(ScriptAppRoutineRegister("AppScore", [&](int32_t, int32_t) { calls.push_back("second"); return 1; }));
  EXPECT_FALSE(ScriptAppRoutineRegisterRender("appscore", [](int32_t, const std::string&) {}))
      << "one name space for every kind of routine";
  EXPECT_FALSE(ScriptAppRoutineRegisterObject("APPSCORE", nullptr, [](void*, int32_t, int32_t) { return 1; }));
  ASSERT_NE(ScriptAppRoutineFind("aPpScOrE"), nullptr);
  EXPECT_EQ(ScriptAppRoutineFind("aPpScOrE")->name, "APPSCORE");
  EXPECT_EQ(ScriptAppRoutineFind("AppScor"), nullptr);

  // The app-object tables are separate from the routines and from each other.
  EXPECT_TRUE(ScriptAppObjRoutineRegisterRender("AppScore", [](const std::string&) {}));
  EXPECT_FALSE(ScriptAppObjRoutineRegisterRender("APPSCORE", [](const std::string&) {}));
  EXPECT_TRUE(ScriptAppObjRoutineRegisterInObject("AppScore", [](const std::string&, int32_t, int32_t) { return true; }));
  EXPECT_TRUE(ScriptAppObjRoutineRegisterAnimate("AppScore", [](const std::string&) {}));
  EXPECT_NE(ScriptAppObjRoutineFindAnimate("appscore"), nullptr);
  EXPECT_EQ(ScriptAppObjRoutineFindInObject("other"), nullptr);

  const int32_t id = Script({"appScore"});
  EXPECT_TRUE(ScriptAppRoutineRun(id, -1, 0));
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));

  // A restart of the engine empties the tables.
  ScriptEnd();
  ScriptStart();
  EXPECT_EQ(ScriptAppRoutineFind("AppScore"), nullptr);
  EXPECT_EQ(ScriptAppObjRoutineFindRender("AppScore"), nullptr);
}

TEST_F(ScriptRoutinesTest, RunningRoutinesAndItsRefusals) {
  int32_t seenScript = 0, seenThread = 0;
  void* seenObject = nullptr;
  int32_t target = 7;
  ScriptAppRoutineRegister("AppOk", [&](int32_t s, int32_t t) {
    seenScript = s, seenThread = t;
    return 1;
  });
  ScriptAppRoutineRegister("AppZero", [](int32_t, int32_t) { return 0; });
  ScriptAppRoutineRegister("AppTwo", [](int32_t, int32_t) { return 2; });
  ScriptAppRoutineRegisterObject("AppBound", &target, [&](void* object, int32_t, int32_t) {
    seenObject = object;
    return 1;
  });
  std::string drawn;
  ScriptAppRoutineRegisterRender("AppRenderDialog", [&](int32_t display, const std::string& name) {
    drawn = std::to_string(display) + " " + name;
  });

  const int32_t id = Script({"AppOk", "appzero", "AppTwo", "AppBound", "AppRenderDialog", "AppLater"});
  ASSERT_NE(id, kNoId);
  LogCapture log;
  EXPECT_TRUE(ScriptAppRoutineRun(id, -1, 0));
  EXPECT_EQ(seenScript, id);
  EXPECT_EQ(seenThread, -1);
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, 1)) << "a result of 0 fails the caller";
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, 2)) << "only 1 is success";
  EXPECT_TRUE(ScriptAppRoutineRun(id, -1, 3));
  EXPECT_EQ(seenObject, &target);
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, 4));
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, 5));
  // Nothing is cached: a routine registered after the load is found on the next call.
  ScriptAppRoutineRegister("APPLATER", [](int32_t, int32_t) { return 1; });
  EXPECT_TRUE(ScriptAppRoutineRun(id, -1, 5));
  // Quiet refusals: index, script, thread.
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, 6));
  EXPECT_FALSE(ScriptAppRoutineRun(id, -1, -1));
  EXPECT_FALSE(ScriptAppRoutineRun(id + 1, -1, 0));
  EXPECT_FALSE(ScriptAppRoutineRun(id, 12, 0)) << "the script has no thread 12";
  scriptEngineHooks hooks;
  hooks.threadExists = [](int32_t, int32_t thread) { return thread == -1; };
  ScriptSetEngineHooks(hooks);
  EXPECT_FALSE(ScriptAppRoutineRun(id, 3, 0));
  EXPECT_TRUE(ScriptAppRoutineRun(id, -1, 0));

  EXPECT_TRUE(ScriptAppRoutineRenderRun(id, "appRenderDialog", 2, "DIALOG"));
  EXPECT_EQ(drawn, "2 DIALOG");
  EXPECT_FALSE(ScriptAppRoutineRenderRun(id, "AppOk", 2, "DIALOG"));
  EXPECT_FALSE(ScriptAppRoutineRenderRun(id, "AppNone", 2, "DIALOG"));
  EXPECT_FALSE(ScriptAppRoutineRenderRun(id + 1, "AppRenderDialog", 2, "DIALOG"));

  EXPECT_EQ(Joined(log),
            "Error: ScriptAppRoutineRun - App routine \"AppRenderDialog\" is not a standalone function or object "
            "function.\n"
            "Error: ScriptAppRoutineRun - App routine \"AppLater\" has not been registered.\n"
            "Error: ScriptAppRoutineRenderRun - App routine \"AppOk\" is not a render procedure.\n"
            "Error: ScriptAppRoutineRenderRun - App routine \"AppNone\" has not been registered.\n");
}

}  // namespace

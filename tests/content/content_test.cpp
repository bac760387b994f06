// The game's content as the build made it: every listed file is in the archive; every screen
// compiles again from its source and disassembles; each screen runs headless on the archive's
// content, driven a little, without an error line or a thread ending by a failure.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using tftest::RunTool;
using tftest::TempDir;

TEST(Content, TheArchiveHoldsEveryFileTheBuildMakes) {
  const tftest::runResult listed = RunTool(KVA_TOOL, {"list", THORNFALL_ARCHIVE});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::istringstream wanted(tftest::ReadFile(CONTENT_LIST));
  int count = 0;
  for (std::string name; std::getline(wanted, name);) {
    if (name.empty()) continue;
    ++count;
    EXPECT_NE(listed.out.find(name + "\t"), std::string::npos) << name << " is not in the archive";
  }
  EXPECT_GT(count, 40) << "the list of content files is short";
  for (const char* name : {"Bin\\Scripts\\main.vmc", "Bin\\Interface\\Credits\\Scripts\\credits.vmc", "Bin\\gameStart.vmc",
                           "Bin\\Fonts\\Military.fot", "Bin\\Audio\\SFX\\Spray.ogg", "Bin\\Audio\\SFX\\Crumbling.ogg",
                           "Bin\\Images\\Weed Tile.tga", "Bin\\Images\\splash.tga", "Bin\\Images\\Guide\\Guide Wave.txt",
                           "Bin\\Interface\\Bubbles\\Speech Tail Point Right Top.tga"}) {
    EXPECT_NE(listed.out.find(std::string(name) + "\t"), std::string::npos) << name;
  }
}

struct screenRun {
  const char* source;  // in content/scripts
  const char* place;   // below the program folder
  std::vector<std::string> steps;
};

TEST(Content, EveryScreenCompilesDisassemblesAndRunsWithoutAnError) {
  TempDir dir;
  const tftest::runResult extracted = RunTool(KVA_TOOL, {"extract", THORNFALL_ARCHIVE, dir.path()});
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("ALSOFT_DRIVERS", "null", 1);
  const std::vector<screenRun> screens = {
      // The menu: Options opened and its fullscreen box clicked, then the high scores.
      {"main", "Bin/Scripts/main.vmc",
       {"--move", "10", "640", "368", "--press", "12", "--release", "13", "--move", "20", "642", "350", "--press", "22",
        "--release", "23", "--move", "30", "640", "588", "--press", "32", "--release", "33", "--move", "40", "640", "442",
        "--press", "42", "--release", "43"}},
      // A level after the briefing (Escape skips it): drops fired, the pause panel opened and closed.
      {"game", "Bin/Scripts/game.vmc",
       {"--post", "2", "2", "ESCAPE", "--move", "5", "200", "400", "--press", "10", "--release", "11", "--post", "20", "2", " ", "--post", "40", "2",
        "PAUSE", "--post", "60", "2", "PAUSE"}},
      // A new game's first level: Bram's first question clicked in its bubble, the briefing ended
      // by Enter, a drop fired, then the pause panel's Save Game with a name typed and entered.
      {"game", "Bin/Scripts/game.vmc",
       {"--move", "108", "330", "458", "--press", "110", "--release", "111", "--post", "118", "2", "ENTER", "--move", "122",
        "200", "400", "--press", "124", "--release", "125", "--post", "128", "2", "ESCAPE", "--move", "130", "640", "412",
        "--press", "132", "--release", "133", "--post", "135", "2", "a", "--post", "137", "2", "ENTER", "--post", "140",
        "2", "ESCAPE"}},
      {"score", "Bin/Scripts/score.vmc", {}},
      // A name typed, corrected and entered.
      {"gameover", "Bin/Scripts/gameover.vmc",
       {"--post", "10", "2", "a", "--post", "12", "2", "B", "--post", "14", "2", "BACKSPACE", "--post", "16", "2", "ENTER"}},
      {"credits", "Bin/Interface/Credits/Scripts/credits.vmc", {}},
      {"gameStart", "Bin/gameStart.vmc", {}},
  };
  for (const screenRun& screen : screens) {
    SCOPED_TRACE(screen.source);
    const std::string compiled = dir / (std::string(screen.source) + ".vmc");
    const std::string map = dir / (std::string(screen.source) + ".map");
    const tftest::runResult built =
        RunTool(VMC_TOOL, {"compile", "--map", map, std::string(SCREEN_SOURCES) + screen.source + ".tfs", compiled});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(tftest::ReadFile(compiled), tftest::ReadFile(dir / screen.place)) << "the archive holds the same code";
    const tftest::runResult shown = RunTool(VMC_TOOL, {"disasm", compiled});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("objects"), std::string::npos);

    std::vector<std::string> arguments = {"run",     compiled, "--game", "--root", dir.path(), "--map",   map,
                                          "--frames", "150",    "--post", "1",      "1",        "AppScriptEnter"};
    arguments.insert(arguments.end(), screen.steps.begin(), screen.steps.end());
    const tftest::runResult ran = RunTool(VMC_TOOL, arguments);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err.find("Error:"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.out.find("Error:"), std::string::npos) << ran.out;
    EXPECT_EQ(ran.err.find("ended by a failure"), std::string::npos) << ran.err;
  }
}

}  // namespace

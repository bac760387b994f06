// The whole game played as a player would, with real X input on the real program and its real
// content: the menu's options (a slider dragged, full screen on and off), a level won by
// spraying the buildings, the score screen, a level lost, a name typed into the high-score table,
// the credits and Quit; and a new game's briefing, saving from the pause panel and continuing the
// save from the menu. Each screen's screenshot is kept in the build folder (PLAY_SHOTS).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "shell/startup_fixture.h"
#include "support/test_support.h"

namespace {

using namespace tftest;
namespace fs = std::filesystem;

constexpr int32_t kLevelMs = 70000;  // a level is at most a minute

class Play : public GameSession {
 protected:
  // xdotool on the focused game window, named %W in `what`.
  void X(const std::string& what) { ASSERT_EQ(OnGameWindow("windowfocus --sync %W " + what), 0) << what; }
  void Click(int x, int y) { X("mousemove --window %W " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }
  void Pause(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

  // Waits until the log has said `text` `times` times.
  bool Said(const std::string& text, int times, int32_t timeoutMs) {
    return WaitUntil([&] { return CountInFile(log_, text) >= times; }, timeoutMs);
  }
  bool Entered(const std::string& screen, int times, int32_t timeoutMs = kStartMs) {
    return Said("ScreenEnter - Bin\\" + screen, times, timeoutMs);
  }

  // The game's own screenshot (F12), kept under the build folder by the screen's name.
  void Shot(const std::string& name) {
    const std::string next = dir_ / ("Pictures/Thornfall/screenshot" + std::to_string(++shots_) + ".bmp");
    X("key F12");
    ASSERT_TRUE(WaitUntil([&] { return FileExists(next); }, kStartMs)) << name;
    Pause(300);  // written whole
    fs::create_directories(PLAY_SHOTS);
    fs::copy_file(next, fs::path(PLAY_SHOTS) / (name + ".bmp"), fs::copy_options::overwrite_existing);
  }

  // The program started with these settings, once its main menu has drawn its first frame.
  std::unique_ptr<GameRun> StartAtTheMenu(const std::string& settings) {
    WriteFile(dir_ / "settings.ini", settings);
    auto game = Prepare(dir_);
    EXPECT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
    EXPECT_TRUE(Entered("Scripts\\main.vmc", 1)) << ReadFile(log_);
    EXPECT_TRUE(Said(kFirstFrame, 1, kStartMs));
    return game;
  }

  // Back in the menu for the n-th time: Quit (below Continue, as there is a save by then) ends
  // the program cleanly, with no error in its log.
  void QuitFromTheMenu(GameRun& game, int n) {
    ASSERT_TRUE(Entered("Scripts\\main.vmc", n)) << ReadFile(log_);
    Pause(500);
    Click(640, 612);
    EXPECT_EQ(game.Wait(kStartMs), 0) << ReadFile(dir_ / "output.txt");
    const std::string log = ReadFile(log_);
    EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
  }

  TempDir dir_;
  std::string log_ = dir_ / "results.log";
  int shots_ = 0;
};

TEST_F(Play, FromTheMenuThroughTwoLevelsAndTheHighScoresToQuit) {
  auto game = StartAtTheMenu("[Video]\nWidth=1280\nHeight=720\nBPP=32\nFullscreen=No\n[Audio]\nMusic Volume=80\n");
  if (HasFailure()) return;
  Pause(1500);
  Shot("menu");

  // Options: the music slider's thumb (at 80 %) dragged left; full screen on, then off.
  Click(640, 368);
  Pause(500);
  X("mousemove --window %W 851 230 mousedown 1 mousemove --window %W 780 230 mousemove --window %W 700 230 mouseup 1");
  Pause(300);
  Shot("options");
  Click(642, 350);
  ASSERT_TRUE(Said("GameSetFullscreen - End", 1, kStartMs));
  Pause(800);
  Shot("options-fullscreen");
  Click(642, 350);
  ASSERT_TRUE(Said("GameSetFullscreen - End", 2, kStartMs));
  Pause(800);
  Click(640, 582);  // Back
  Pause(300);

  // Level 1, once Escape has sent Bram away: the nozzle sprays each building in turn until the
  // level's time is up.
  Click(640, 294);
  ASSERT_TRUE(Entered("Scripts\\game.vmc", 1)) << ReadFile(log_);
  Pause(500);
  X("key Escape");
  const int kColumns[] = {140, 470, 800, 1130};
  int turn = 0;
  bool paused = false;
  const bool scored = WaitUntil(
      [&] {
        if (CountInFile(log_, "ScreenEnter - Bin\\Scripts\\score.vmc") > 0) return true;
        Click(kColumns[turn % 4], 420);
        if (++turn == 200 && !paused) {
          Shot("game");
          X("key Escape");
          Pause(500);
          Shot("pause");
          X("key Escape");
          paused = true;
        }
        return false;
      },
      kLevelMs);
  ASSERT_TRUE(scored) << ReadFile(log_);
  Pause(4000);  // the tally
  Shot("score");
  // Next shows once the tally has counted up.
  ASSERT_TRUE(WaitUntil(
      [&] {
        Click(640, 502);
        return CountInFile(log_, "ScreenEnter - Bin\\Scripts\\game.vmc") >= 2;
      },
      kStartMs))
      << ReadFile(log_);

  // Level 2: nobody sprays, the town falls.
  ASSERT_TRUE(Entered("Scripts\\gameover.vmc", 1, kLevelMs)) << ReadFile(log_);
  Pause(1000);
  Shot("gameover");
  X("type --delay 60 Tester");
  X("key BackSpace type r");
  X("key Return");
  Pause(500);
  Shot("highscores");
  Click(640, 582);  // Menu

  ASSERT_TRUE(Entered("Scripts\\main.vmc", 2)) << ReadFile(log_);
  Pause(500);
  Click(640, 544);  // Credits, moved down for Continue now that there is an autosave
  ASSERT_TRUE(Entered("Interface\\Credits\\Scripts\\credits.vmc", 1)) << ReadFile(log_);
  Pause(3000);
  Shot("credits");
  Click(1150, 666);  // Back
  QuitFromTheMenu(*game, 3);
  const std::string settings = ReadFile(dir_ / "settings.ini");
  EXPECT_NE(settings.find("Name 1=Tester"), std::string::npos) << settings;
  EXPECT_EQ(settings.find("Music Volume=80"), std::string::npos) << "the slider moved: " << settings;
  EXPECT_NE(settings.find("Fullscreen=No"), std::string::npos) << settings;
}

// A new game: Bram's briefing answered through its bubbles, level 1 saved from the pause panel
// under a typed name, then back in the menu Continue lists the save with the autosave and
// resumes the saved level with its score.
TEST_F(Play, BriefingThenSavingFromThePauseAndContinuingFromTheMenu) {
  auto game = StartAtTheMenu("[Video]\nWidth=1280\nHeight=720\nBPP=32\nFullscreen=No\n");
  if (HasFailure()) return;
  Pause(1000);
  Click(640, 294);  // Play: no save yet, so no Continue above it
  ASSERT_TRUE(Entered("Scripts\\game.vmc", 1)) << ReadFile(log_);

  // Bram walks in and waves, then offers three questions in bubbles right of his head (about
  // 70 frames: generous, for a busy machine's frame rate).
  Pause(9000);
  Shot("briefing");
  Click(330, 458);  // "How do I play?"
  Pause(1500);
  Shot("briefing-answer");
  EXPECT_FALSE(FileExists(dir_ / "autosave.sav")) << "no autosave during the briefing";
  Click(330, 580);  // "Let's go!"
  ASSERT_TRUE(WaitUntil([&] { return FileExists(dir_ / "autosave.sav"); }, kStartMs)) << ReadFile(log_);

  // Saved from the pause panel under a typed name.
  Pause(1500);
  X("key Escape");
  Pause(500);
  Click(640, 412);  // Save Game
  Pause(300);
  X("type --delay 60 Garden");
  X("key Return");
  ASSERT_TRUE(WaitUntil([&] { return FileExists(dir_ / "savegame1.sav"); }, kStartMs)) << ReadFile(log_);
  Pause(500);
  Shot("saved");
  EXPECT_NE(ReadFile(dir_ / "savegame1.sav").find("Garden"), std::string::npos);
  Click(640, 492);  // Main Menu

  // Continue lists the autosave first and the save below it; the save resumes level 1.
  ASSERT_TRUE(Entered("Scripts\\main.vmc", 2)) << ReadFile(log_);
  Pause(800);
  Shot("menu-continue");
  Click(640, 272);  // Continue
  Pause(800);
  Shot("saves");
  Click(640, 344);  // the second row: "Garden"
  ASSERT_TRUE(Entered("Scripts\\game.vmc", 2)) << ReadFile(log_);
  Pause(1500);
  Shot("continued");
  X("key Escape");
  Pause(300);
  Click(640, 492);  // Main Menu
  QuitFromTheMenu(*game, 3);
}

}  // namespace

// The game's display part on real windows and contexts (offscreen driver): the mode search, the
// fullscreen switch, the frame and the saving of the video settings.
#include "game/game.h"

#include "core/ini.h"
#include "shell/shell_fixture.h"

namespace {

class GameDisplay : public tftest::ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    IniStart();
    desktop_ = std::to_string(monitor_.width) + "x" + std::to_string(monitor_.height);
  }
  void TearDown() override {
    MainFormFree();
    IniEnd();
    ShellFixture::TearDown();
  }

  void Settings(const std::string& video) { tftest::WriteFile(dir_ / "settings.ini", "[Video]\r\n" + video); }

  // Starts the game's display and its states as the shell would.
  void Start() {
    MainFormCreate(GameHooks());
    ASSERT_TRUE(GameInitDisplay()) << Log();
    ASSERT_TRUE(GameInit());
  }

  void Dimensions(int32_t& width, int32_t& height) { MainDisplayGetDimensions(GameDisplayId(), width, height); }

  std::string desktop_;
};

TEST_F(GameDisplay, AModeTheMonitorLacksFallsThroughToTheDesktopsAndIsSavedAsPlayed) {
  Settings("Width=800\r\nHeight=600\r\nBPP=32\r\nFullscreen=No\r\n");
  Start();
  EXPECT_NE(Log().find("GameInitDisplay - Begin\r\n"
                       "  GameInitDisplay - Searching for 800x600 ini resolution.\r\n"
                       "  GameInitDisplay - Searching for " +
                       desktop_ +
                       " desktop resolution.\r\n"
                       "  GameInitDisplay - Found desktop resolution.\r\n"
                       "GameInitDisplay - End\r\n"),
            std::string::npos)
      << Log();
  EXPECT_FALSE(GraphicsFullscreenGet());
  int32_t width = 0, height = 0;
  Dimensions(width, height);
  EXPECT_EQ(width, monitor_.width);
  EXPECT_EQ(height, monitor_.height);
  EXPECT_EQ(GraphicsDisplayGetModeIndex(GameDisplayId()), 0);

  EXPECT_EQ(StateGetCurrent(), kGameStateMainMenu);
  EXPECT_TRUE(GameProcessFrame());
  EXPECT_TRUE(GameProcessFrame());

  GameShutdown();
  EXPECT_EQ(MainDisplayCount(), 0);
  EXPECT_EQ(IniReadInteger("Video", "Width", 0), monitor_.width);
  EXPECT_EQ(IniReadInteger("Video", "Height", 0), monitor_.height);
  EXPECT_EQ(IniReadInteger("Video", "BPP", 0), 32);
  EXPECT_FALSE(IniReadBool("Video", "Fullscreen", true));
}

TEST_F(GameDisplay, WithoutSettingsTheDesktopModeIsFoundAndTheGameGoesFullscreen) {
  Start();
  EXPECT_NE(Log().find("  GameInitDisplay - Searching for " + desktop_ +
                       " ini resolution.\r\n"
                       "  GameInitDisplay - Found INI resolution.\r\n"
                       "  GameSetFullscreen - Begin\r\n"
                       "  GameSetFullscreen - End\r\n"),
            std::string::npos)
      << Log();
  EXPECT_TRUE(GraphicsFullscreenGet());
  EXPECT_TRUE(GameProcessFrame());

  // Back to windowed: the contexts come back, the window keeps the monitor's size.
  GameSetFullscreen(false);
  EXPECT_FALSE(GraphicsFullscreenGet());
  EXPECT_TRUE(GraphicsDisplayMakeCurrent(GameDisplayId()));
  int32_t width = 0, height = 0;
  Dimensions(width, height);
  EXPECT_EQ(width, monitor_.width);
  EXPECT_TRUE(GameProcessFrame());

  GameSetFullscreen(true);
  GameShutdown();
  EXPECT_TRUE(IniReadBool("Video", "Fullscreen", false));
}

TEST_F(GameDisplay, APendingDisplayChangeIsAppliedBeforeTheNextFrame) {
  Settings("Fullscreen=No\r\n");
  Start();
  GraphicsModeChangeNotice();
  const size_t before = Log().size();
  EXPECT_TRUE(GameProcessFrame());
  EXPECT_NE(Log().find("GameSetFullscreen - Begin", before), std::string::npos);
  EXPECT_FALSE(GraphicsFullscreenGet());
  EXPECT_FALSE(GraphicsModeChangeTake());

  // Notices that arrive while the game switches modes itself are dropped.
  GraphicsModeChangeSuppress(true);
  GraphicsModeChangeNotice();
  GraphicsModeChangeSuppress(false);
  const size_t after = Log().size();
  EXPECT_TRUE(GameProcessFrame());
  EXPECT_EQ(Log().find("GameSetFullscreen", after), std::string::npos);
  GameShutdown();
}

TEST_F(GameDisplay, TheQuitAndFatalStatesEndTheFrames) {
  Settings("Fullscreen=No\r\n");
  Start();
  EXPECT_FALSE(GameHooks().fatalError());
  StateChange(kGameStateQuit);
  EXPECT_FALSE(GameProcessFrame());
  StateChange(kGameStateFatal);
  EXPECT_FALSE(GameProcessFrame());
  EXPECT_TRUE(GameHooks().fatalError());
  GameShutdown();
}

}  // namespace

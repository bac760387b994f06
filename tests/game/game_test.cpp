// The game's display part on real windows and contexts (offscreen driver): the mode search, the
// fullscreen switch, the frame and the saving of the video settings.
#include "game/game.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "core/ini.h"
#include "game/game_states.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "image/image.h"
#include "script/script_writer.h"
#include "shell/shell_fixture.h"

namespace {

class GameDisplay : public tftest::ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    // The program folder holds the content the build made: the screens, pictures and font.
    std::error_code error;
    std::filesystem::copy(THORNFALL_GAME_BIN, dir_ / "Bin", std::filesystem::copy_options::recursive, error);
    ASSERT_FALSE(error) << error.message();
    IniStart();
    desktop_ = std::to_string(monitor_.width) + "x" + std::to_string(monitor_.height);
  }
  void TearDown() override {
    MainFormFree();
    GameEnd();
    IniEnd();
    ShellFixture::TearDown();
  }

  void Settings(const std::string& video) { tftest::WriteFile(dir_ / "settings.ini", "[Video]\r\n" + video); }

  // Starts the game's display and its states as the shell would.
  void Start() {
    GameStart();
    MainFormCreate(GameHooks());
    ASSERT_TRUE(GameInitDisplay()) << Log();
    ASSERT_TRUE(GameInit());
  }

  void Dimensions(int32_t& width, int32_t& height) { MainDisplayGetDimensions(GameDisplayId(), width, height); }

  // How many times the settings file was replaced (renamed into place) while `body` ran.
  template <typename Body>
  int SettingsReplaces(Body body) {
    const int watch = inotify_init1(IN_NONBLOCK);
    EXPECT_GE(watch, 0);
    // Creations in between keep the kernel from merging repeated renames into one event.
    inotify_add_watch(watch, dir_.path().c_str(), IN_CREATE | IN_MOVED_TO);
    body();
    int replaces = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if ((event->mask & IN_MOVED_TO) && event->len > 0 && std::string(event->name) == "settings.ini") ++replaces;
        at += sizeof(inotify_event) + event->len;
      }
    }
    close(watch);
    return replaces;
  }

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

  // All four values in one replace of the file.
  EXPECT_EQ(SettingsReplaces(GameShutdown), 1);
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
                       "    AudioPauseAll - Begin\r\n"
                       "    AudioPauseAll - End\r\n"
                       "    AudioResumeAll - Begin\r\n"
                       "    AudioResumeAll - End\r\n"
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

TEST_F(GameDisplay, VideoSizesOutOfRangeAreMalformedAndTheDefaultsServe) {
  Settings("Width=-5\r\nHeight=99999999\r\nBPP=0\r\nFullscreen=No\r\n");
  Start();
  EXPECT_NE(Log().find("  GameInitDisplay - Ignoring the setting Width=-5: not 1 to 65535; using " +
                       std::to_string(monitor_.width) + ".\r\n"
                       "  GameInitDisplay - Ignoring the setting Height=99999999: not 1 to 65535; using " +
                       std::to_string(monitor_.height) + ".\r\n"
                       "  GameInitDisplay - Ignoring the setting BPP=0: not 1 to 65535; using 32.\r\n"
                       "  GameInitDisplay - Searching for " +
                       desktop_ + " ini resolution.\r\n  GameInitDisplay - Found INI resolution.\r\n"),
            std::string::npos)
      << Log();
  GameShutdown();
}

TEST_F(GameDisplay, AHugeFrameSleepIsBoundedAndTheFrameKeepsHandlingEvents) {
  tftest::UseProgramFolder(dir_, {"-trace", "-sleep", "2147483647"});
  Settings("Fullscreen=No\r\n");
  Start();
  EXPECT_NE(Log().find("GameStart - Frame sleep of 2147483647 ms is out of range; using 1000 ms.\r\n"),
            std::string::npos)
      << Log();
  // The session asks the program to end while a frame sleeps: the frame sees it and ends early.
  raise(SIGTERM);
  EXPECT_TRUE(GameProcessFrame());
  EXPECT_TRUE(MainCloseRequested());
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

// AppScreenShot's picture: the display's "backgroundFrames" texture, there from the start at the
// design size, filled in place with the main menu captured and darkened to purple, blank after a
// rebuild.
TEST_F(GameDisplay, TheBackgroundPictureIsADarkCopyOfTheScreen) {
  Settings("Fullscreen=No\r\n");
  // A menu of one colour, the night sky (16, 24, 48), in place of the game's.
  scriptFile menu;
  objEntry sky = tftest::ObjectHead(kObjColor, "sky");
  sky.color = {0, 0, 4000, 4000, 0x101830, 255, true, true};
  objEntry view = tftest::ObjectHead(kObjDisplay, "main");
  view.display = {1280, 720, 1};
  menu.objects = {view, sky};
  ASSERT_TRUE(tftest::WriteFile(dir_ / "Bin/Scripts/main.vmc", tftest::WriteScriptFileText(menu)));
  ModelStart();  // textures live in the model unit, which the other tests here do without
  Start();
  const int32_t display = GameDisplayId();
  const int32_t texture = TextureFind(display, "backgroundFrames");
  ASSERT_NE(texture, kNoId);
  int32_t early = ModelOpen(display, "backgroundFrames");  // as a screen loaded now opens it
  ASSERT_TRUE(GameProcessFrame());
  EXPECT_EQ(TextureFind(display, "backgroundFrames"), texture) << "made at the start";
  int32_t width = 0, height = 0;
  TextureGetImageSize(texture, width, height);
  EXPECT_EQ(width, 1280) << "the design size, whatever the window's";
  EXPECT_EQ(height, 720);
  ASSERT_TRUE(GameBackgroundCapture()) << Log();
  EXPECT_EQ(TextureFind(display, "backgroundFrames"), texture) << "the same texture, its pixels replaced";

  // Drawn by the model made before the capture: the menu's night sky (16, 24, 48) becomes
  // (88 / 9, 0, 88 / 9).
  auto drawn = [&] {
    GraphicsRenderBegin(display);
    GraphicsSetOrtho(1280, 720);
    ModelRender(early);
    imageData image;
    EXPECT_TRUE(GraphicsReadPixels(display, image));
    return image.pixels.empty() ? 0u : image.pixels[image.pixels.size() / 2 + 5] & 0xFFFFFFu;
  };
  EXPECT_EQ(drawn(), 0x090009u);
  GameSetFullscreen(false);  // the contexts are rebuilt: the picture comes back blank
  EXPECT_EQ(drawn(), 0x000000u);
  ModelFree(early);
  GameShutdown();
  ModelEnd();
}

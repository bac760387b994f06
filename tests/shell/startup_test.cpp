// The real program under a private Xvfb server: splash, start-up, frames, a window manager's
// close request, exit status, log and settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <signal.h>

#include <filesystem>
#include <memory>
#include <string>

#include "shell/startup_fixture.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

// The game's shutdown writes the video settings; the audio unit's end step writes its volumes
// whenever it ran, so only the video section tells whether the game itself shut down.
bool WroteVideoSettings(const tftest::TempDir& dir) {
  return tftest::ReadFile(dir / "settings.ini").find("[Video]") != std::string::npos;
}

// The game's shutdown ran whole (the music it stops traces lines of its own in between).
bool ShutDown(const std::string& log) {
  const size_t begin = log.find("GameShutdown - Begin\r\n");
  return begin != std::string::npos && log.find("GameShutdown - End\r\n", begin) != std::string::npos;
}

TEST_F(Startup, WindowedRunShowsTheSplashThenPlaysAndSavesItsVideoSettings) {
  TempDir dir;
  // A mode the screen lacks: the search falls through to the desktop's.
  tftest::WriteFile(dir / "settings.ini", "[Video]\r\nWidth=800\r\nHeight=600\r\nBPP=32\r\nFullscreen=No\r\n");
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-startinfo", "-ver", "-trace"}));

  // The splash: centred, cut to its picture's outline (the corner is outside, the middle inside).
  const XWindowInfo splash = WaitForWindow(Splash);
  ASSERT_NE(splash.id, 0u) << tftest::ReadFile(dir / "output.txt");
  EXPECT_EQ(splash.left, (1280 - 716) / 2);
  EXPECT_EQ(splash.top, (1024 - 541) / 2);
  EXPECT_FALSE(x_->InsideShape(splash.id, 0, 0));
  EXPECT_FALSE(x_->InsideShape(splash.id, 715, 540));
  EXPECT_TRUE(x_->InsideShape(splash.id, 358, 270));

  ASSERT_TRUE(GameRun::WaitForText(dir / "results.log", kFirstFrame, kStartMs)) << tftest::ReadFile(dir / "results.log");
  // Playing: one window in the desktop's mode, the splash gone.
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);
  EXPECT_EQ(window.width, 1280);
  EXPECT_EQ(window.height, 1024);
  EXPECT_TRUE(x_->Windows(kTitle).size() == 1u);

  x_->RequestClose(window.id);
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");

  const std::string log = tftest::ReadFile(dir / "results.log");
  EXPECT_EQ(log.rfind("Application \"" + dir.path() + "thornfall\" started on ", 0), 0u) << log;
  const std::string versions =
      "Parameters:\r\n    -userdatainapp\r\n    -startinfo\r\n    -ver\r\n    -trace\r\n"
      "Framework Versions:\r\n"
      "    fwkLog - Version 1.0\r\n"
      "    fwkDataFile - Version 1.0\r\n"
      "    fwkUtilities - Version 1.0\r\n"
      "    fwkImageJPG - Version Alpha.0\r\n"
      "    fwkImageGIF - Version Alpha.0\r\n"
      "    fwkImage - Version Alpha.0\r\n"
      "    fwkFont - Version 1.0\r\n"
      "    fwkModel - Version Alpha.0\r\n"
      "    fwkIni - Version 1.0\r\n"
      "    fwkInput - Version 1.0\r\n"
      "    fwkGraphics - Version Alpha.0\r\n"
      "    fwkState - Version Alpha.0\r\n"
      "    fwkMat - Version 1.0\r\n"
      "    fwkAudio - Version 1.0\r\n"
      "    fwkScript - Version Alpha.0\r\n";
  EXPECT_NE(log.find("\r\n" + versions), std::string::npos) << log;
  const std::string search =
      "GameInitDisplay - Begin\r\n"
      "  GameInitDisplay - Searching for 800x600 ini resolution.\r\n"
      "  GameInitDisplay - Searching for 1280x1024 desktop resolution.\r\n"
      "  GameInitDisplay - Found desktop resolution.\r\n"
      "GameInitDisplay - End\r\n";
  EXPECT_NE(log.find(search), std::string::npos) << log;
  EXPECT_EQ(log.find("GameSetFullscreen"), std::string::npos) << log;
  EXPECT_TRUE(ShutDown(log)) << log;
  EXPECT_EQ(log.find("Error: "), std::string::npos) << log;

  const std::string settings = tftest::ReadFile(dir / "settings.ini");
  for (const char* line : {"Width=1280", "Height=1024", "BPP=32", "Fullscreen=No"}) {
    EXPECT_NE(settings.find(line), std::string::npos) << line << " in\n" << settings;
  }
}

TEST_F(Startup, FullscreenByDefaultCoversTheScreenAndIsRemembered) {
  TempDir dir;
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
  ASSERT_TRUE(GameRun::WaitForText(dir / "results.log", kFirstFrame, kStartMs)) << tftest::ReadFile(dir / "results.log");
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.width, 1280);
  EXPECT_EQ(window.height, 1024);

  x_->RequestClose(window.id);
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");
  const std::string log = tftest::ReadFile(dir / "results.log");
  EXPECT_NE(log.find("  GameInitDisplay - Searching for 1280x1024 ini resolution.\r\n"
                     "  GameInitDisplay - Found INI resolution.\r\n"
                     "  GameSetFullscreen - Begin\r\n"
                     "    AudioPauseAll - Begin\r\n"
                     "    AudioPauseAll - End\r\n"
                     "    AudioResumeAll - Begin\r\n"
                     "    AudioResumeAll - End\r\n"
                     "  GameSetFullscreen - End\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Error: "), std::string::npos) << log;
  const std::string settings = tftest::ReadFile(dir / "settings.ini");
  EXPECT_NE(settings.find("Fullscreen=Yes"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Width=1280"), std::string::npos) << settings;
}

// A slow software rasteriser makes the program ask first; the question box is a real window that
// an automated client answers with the keys a user would press.
TEST_F(Startup, SlowRendererAsksFirstAndTheAnswerDecides) {
  const std::map<std::string, std::string> softpipe{{"GALLIUM_DRIVER", "softpipe"}};
  auto question = [&] {
    XWindowInfo box;
    tftest::WaitUntil(
        [&] {
          for (const XWindowInfo& window : x_->Windows(kTitle)) {
            if (NotSplash(window)) box = window;
          }
          return box.id != 0;
        },
        kStartMs);
    return box;
  };

  {
    TempDir dir;
    auto game = Prepare(dir);
    ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}, softpipe));
    const XWindowInfo box = question();
    ASSERT_NE(box.id, 0u) << tftest::ReadFile(dir / "output.txt");
    x_->PressKey(box.id, "Escape");  // No
    EXPECT_EQ(game->Wait(kStartMs), 0);
    EXPECT_EQ(tftest::ReadFile(dir / "results.log").find("GameInitDisplay"), std::string::npos);
    EXPECT_FALSE(WroteVideoSettings(dir));
  }
  {
    TempDir dir;
    tftest::WriteFile(dir / "settings.ini", "[Video]\r\nFullscreen=No\r\n");
    auto game = Prepare(dir);
    ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}, softpipe));
    const XWindowInfo box = question();
    ASSERT_NE(box.id, 0u) << tftest::ReadFile(dir / "output.txt");
    x_->PressKey(box.id, "Return");  // Yes, the default
    ASSERT_TRUE(GameRun::WaitForText(dir / "results.log", kFirstFrame, kStartMs)) << tftest::ReadFile(dir / "results.log");
    const XWindowInfo window = WaitForWindow(NotSplash);
    ASSERT_NE(window.id, 0u);
    x_->RequestClose(window.id);
    EXPECT_EQ(game->Wait(kStartMs), 0);
    EXPECT_NE(tftest::ReadFile(dir / "settings.ini").find("Fullscreen=No"), std::string::npos);
  }
}

TEST_F(Startup, QuietRunLeavesNoLogAndUsesTheUserDataFolder) {
  TempDir dir;
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {}));
  const XWindowInfo splash = WaitForWindow(Splash);
  ASSERT_NE(splash.id, 0u);
  // Once the splash has gone the game window is up.
  ASSERT_TRUE(tftest::WaitUntil(
      [&] {
        const std::vector<XWindowInfo> windows = x_->Windows(kTitle);
        return windows.size() == 1 && NotSplash(windows[0]);
      },
      kStartMs));
  const XWindowInfo window = WaitForWindow(NotSplash);
  usleep(300000);
  x_->RequestClose(window.id);
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");

  const std::string data = dir / ".local/share/Thornfall Developers/Thornfall/";
  EXPECT_FALSE(tftest::FileExists(dir / "results.log"));
  EXPECT_FALSE(tftest::FileExists(data + "results.log")) << tftest::ReadFile(data + "results.log");
  EXPECT_NE(tftest::ReadFile(data + "settings.ini").find("Fullscreen=Yes"), std::string::npos);
}

TEST_F(Startup, ClosingTheSplashBeforeTheGameStartsEndsTheProgram) {
  TempDir dir;
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
  const XWindowInfo splash = WaitForWindow(Splash);
  ASSERT_NE(splash.id, 0u);
  x_->RequestClose(splash.id);
  EXPECT_EQ(game->Wait(kStartMs), 0);
  const std::string log = tftest::ReadFile(dir / "results.log");
  EXPECT_EQ(log.find("GameInitDisplay"), std::string::npos) << log;
  EXPECT_FALSE(WroteVideoSettings(dir));
}

TEST_F(Startup, SignalsToEndTheProgramEndItLikeAWindowClose) {
  {
    // A logout or a kill while playing: the game shuts down in order and keeps its settings.
    TempDir dir;
    tftest::WriteFile(dir / "settings.ini", "[Video]\r\nWidth=800\r\nHeight=600\r\nFullscreen=No\r\n");
    auto game = Prepare(dir);
    ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
    ASSERT_TRUE(GameRun::WaitForText(dir / "results.log", kFirstFrame, kStartMs)) << tftest::ReadFile(dir / "results.log");
    kill(game->pid(), SIGTERM);
    EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");
    const std::string log = tftest::ReadFile(dir / "results.log");
    EXPECT_TRUE(ShutDown(log)) << log;
    const std::string settings = tftest::ReadFile(dir / "settings.ini");
    for (const char* line : {"Width=1280", "Height=1024", "BPP=32", "Fullscreen=No"}) {
      EXPECT_NE(settings.find(line), std::string::npos) << line << " in\n" << settings;
    }
  }
  {
    // Ctrl+C on the splash: the program ends before the game starts.
    TempDir dir;
    auto game = Prepare(dir);
    ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
    ASSERT_NE(WaitForWindow(Splash).id, 0u);
    kill(game->pid(), SIGINT);
    EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");
    EXPECT_EQ(tftest::ReadFile(dir / "results.log").find("GameInitDisplay"), std::string::npos);
    EXPECT_FALSE(WroteVideoSettings(dir));
  }
}

TEST_F(Startup, AScreenWithoutAUsableModeEndsStartUpWithTheLoggedError) {
  // 8-bit colour only: no mode of 16 bits or more to play in, and no accelerated OpenGL either.
  StartServer("1024x768x8");
  TempDir dir;
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
  const XWindowInfo box = WaitForWindow(NotSplash);
  ASSERT_NE(box.id, 0u);
  x_->PressKey(box.id, "Return");  // run anyway
  EXPECT_EQ(game->Wait(kStartMs), 1);
  const std::string log = tftest::ReadFile(dir / "results.log");
  EXPECT_NE(log.find("Error: GameInitDisplay - Unable to find suitable display mode.\r\n"), std::string::npos) << log;
  EXPECT_FALSE(WroteVideoSettings(dir));
}

TEST(StartupWithoutDisplay, TheProgramSaysSoAndFails) {
  TempDir dir;
  GameRun game(THORNFALL_BINARY, dir.path());
  // SDL would fall back to a driver that shows nothing; the program must not play unseen.
  ASSERT_TRUE(game.Start("", {"-userdatainapp"}));
  EXPECT_EQ(game.Wait(kStartMs), 1);
  EXPECT_NE(tftest::ReadFile(dir / "results.log").find("Error: PlatformStart - Unable to start the video system: "),
            std::string::npos);
  EXPECT_NE(tftest::ReadFile(dir / "output.txt").find("no display to show the game on"), std::string::npos);
}

// Real X input (XTEST, as a player's devices give it) reaches the active control set of the
// running game; "-trace" writes a line for each event it delivers. No sound device opens here:
// the game says so once and plays silent.
TEST_F(Startup, PlayersKeysAndMouseReachTheMenuControlsOfASilentGame) {
  TempDir dir;
  tftest::WriteFile(dir / "settings.ini", "[Video]\r\nWidth=640\r\nHeight=480\r\nBPP=32\r\nFullscreen=No\r\n");
  auto game = Prepare(dir);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}, {{"ALSOFT_DRIVERS", "no-such-driver"}}));
  ASSERT_TRUE(GameRun::WaitForText(dir / "results.log", kFirstFrame, kStartMs)) << tftest::ReadFile(dir / "results.log");
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);

  const std::string x = std::to_string(window.left + 200), y = std::to_string(window.top + 150);
  const std::string xdotool = "DISPLAY=" + server_->display() + " xdotool ";
  ASSERT_EQ(std::system((xdotool + "mousemove --sync " + x + " " + y + " windowfocus --sync " +
                         std::to_string(window.id) + " >/dev/null 2>&1").c_str()), 0);
  // Held long enough for the key's auto-repeat to start: still one press and one release.
  ASSERT_EQ(std::system((xdotool + "keydown Return sleep 0.7 keyup Return mousemove_relative 5 0 click 1 "
                         ">/dev/null 2>&1").c_str()), 0);
  const std::string log = dir / "results.log";
  EXPECT_TRUE(GameRun::WaitForText(log, "\"Mouse Left Button\" value 0", kStartMs)) << tftest::ReadFile(log);
  const std::string text = tftest::ReadFile(log);
  auto count = [&](const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  // The game takes Enter off "Select Item": it reaches the screens as a key.
  EXPECT_EQ(count("\"Enter\" value 100\r\n"), 1u) << text;
  EXPECT_EQ(count("\"Enter\" value 0\r\n"), 1u) << text;
  EXPECT_EQ(count("\"Mouse Right\" value 500"), 1u) << text;
  EXPECT_EQ(count("\"Mouse Left Button\" value 100"), 1u) << text;
  EXPECT_EQ(count("Error: OpenAL is not installed.  Audio playback is not possible.\r\n"), 1u) << text;

  x_->RequestClose(window.id);
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");
}

}  // namespace

// The game's screens under real X input: a test main menu (compiled here) logs the key texts it
// receives; Alt+Enter switches to full screen without an Enter reaching it; F12 takes a
// screenshot when released; with "-devreload" F5 loads a changed screen again; the screen's
// routines enter a high score and quit, and the score is in the settings after the game has
// ended.
TEST_F(Startup, ScreensGetKeyTextsAndTheirRoutinesReachTheGame) {
  TempDir dir;
  tftest::WriteFile(dir / "settings.ini", "[Video]\r\nWidth=640\r\nHeight=480\r\nBPP=32\r\nFullscreen=No\r\n");
  auto game = Prepare(dir);
  const std::string menu = R"(
display main { width = 640, height = 480 }
on 2(name) { App.AppLog("key " + name) }
on 4(name) {
  if name == "q" {
    App.AppSetHighScore("TESTER", 900)
    App.AppQuitGame()
  }
}
)";
  // A patch folder overrides the archive's menu.
  std::filesystem::create_directories(dir / "Patch000001/Bin/Scripts");
  auto compile = [&](const std::string& source) {
    ASSERT_TRUE(tftest::WriteFile(dir / "menu.tfs", source));
    const tftest::runResult compiled =
        tftest::RunTool(VMC_BINARY, {"compile", dir / "menu.tfs", dir / "Patch000001/Bin/Scripts/main.vmc"});
    ASSERT_EQ(compiled.status, 0) << compiled.err;
  };
  compile(menu);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace", "-devreload"}));
  const std::string log = dir / "results.log";
  ASSERT_TRUE(GameRun::WaitForText(log, kFirstFrame, kStartMs)) << tftest::ReadFile(log);
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);
  const std::string xdotool = "DISPLAY=" + server_->display() + " xdotool ";
  auto keys = [&](const std::string& what) {
    return std::system((xdotool + "windowfocus --sync " + std::to_string(window.id) + " " + what +
                        " >/dev/null 2>&1").c_str());
  };
  ASSERT_EQ(keys("key a key shift+1 key shift+a"), 0);
  ASSERT_TRUE(GameRun::WaitForText(log, "key A Thread ID:", kStartMs)) << tftest::ReadFile(log);
  // A changed screen shows on F5 without a restart.
  compile(menu + "on 1(name) { App.AppLog(\"menu entered again\") }\n");
  ASSERT_EQ(keys("key F5"), 0);
  ASSERT_TRUE(GameRun::WaitForText(log, "menu entered again", kStartMs)) << tftest::ReadFile(log);
  ASSERT_EQ(keys("keydown F12"), 0);
  ASSERT_TRUE(GameRun::WaitForText(log, "\"F12\" value 100", kStartMs)) << tftest::ReadFile(log);
  EXPECT_FALSE(tftest::FileExists(dir / "Pictures/Thornfall/screenshot1.bmp")) << "not on the press";
  ASSERT_EQ(keys("keyup F12 key alt+Return"), 0);
  ASSERT_TRUE(GameRun::WaitForText(log, "GameSetFullscreen - End", kStartMs)) << tftest::ReadFile(log);
  const XWindowInfo full = WaitForWindow(NotSplash);
  ASSERT_NE(full.id, 0u);
  std::system((xdotool + "windowfocus --sync " + std::to_string(full.id) + " key q >/dev/null 2>&1").c_str());
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");

  const std::string text = tftest::ReadFile(log);
  EXPECT_NE(text.find("key a Thread ID:"), std::string::npos) << text;
  EXPECT_NE(text.find("key ! Thread ID:"), std::string::npos) << text;
  EXPECT_NE(text.find("Script Index: 0"), std::string::npos) << "AppLog dumps the script's threads";
  EXPECT_EQ(text.find("key ENTER"), std::string::npos) << "Alt+Enter is the game's, not the screen's";
  EXPECT_EQ(text.find("Error: "), std::string::npos) << text;
  EXPECT_TRUE(tftest::FileExists(dir / "Pictures/Thornfall/screenshot1.bmp")) << "taken on the release";
  const std::string settings = tftest::ReadFile(dir / "settings.ini");
  EXPECT_NE(settings.find("Name 1=TESTER"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Score 1=900"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Fullscreen=Yes"), std::string::npos) << settings;
}

// Test screens in a patch folder, in place of the game's own, walk through the states on key
// presses, each saying so as it is entered; a high score entered before a SIGTERM is in the
// settings afterwards.
TEST_F(Startup, TheScreensWalkThroughTheStatesAndASignalKeepsTheHighScores) {
  TempDir dir;
  tftest::WriteFile(dir / "settings.ini", "[Video]\r\nWidth=640\r\nHeight=480\r\nBPP=32\r\nFullscreen=No\r\n");
  auto game = Prepare(dir);
  struct screen {
    const char* file;
    const char* name;
    const char* next;  // the routine the key "n" calls
  };
  for (const screen& s : {screen{"Bin/Scripts/main.vmc", "menu", "AppCredits"},
                          {"Bin/Interface/Credits/Scripts/credits.vmc", "credits", "AppGame"},
                          {"Bin/Scripts/game.vmc", "game", "AppScore"}, {"Bin/Scripts/score.vmc", "score", "AppGameOver"},
                          {"Bin/Scripts/gameover.vmc", "gameover", "AppMainMenu"}}) {
    ASSERT_TRUE(tftest::WriteFile(dir / "screen.tfs", std::string("display main { width = 640, height = 480 }\n") +
                                                          "on 1(name) { App.AppLog(\"entered " + s.name + "\") }\n" +
                                                          "on 4(name) {\n  if name == \"n\" { App." + s.next +
                                                          "() }\n  if name == \"h\" {\n    App.AppSetHighScore(\"SIGNAL\", 700)\n    App.AppLog(\"scored\")\n  }\n}\n"));
    const std::string patched = dir / (std::string("Patch000001/") + s.file);
    std::filesystem::create_directories(std::filesystem::path(patched).parent_path());
    const tftest::runResult compiled = tftest::RunTool(VMC_BINARY, {"compile", dir / "screen.tfs", patched});
    ASSERT_EQ(compiled.status, 0) << compiled.err;
  }
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
  const std::string log = dir / "results.log";
  ASSERT_TRUE(GameRun::WaitForText(log, "entered menu", kStartMs)) << tftest::ReadFile(log);
  const XWindowInfo window = WaitForWindow(NotSplash);
  ASSERT_NE(window.id, 0u);
  const std::string xdotool = "DISPLAY=" + server_->display() + " xdotool windowfocus --sync " +
                              std::to_string(window.id) + " ";
  for (const char* next : {"entered credits", "entered game", "entered score", "entered gameover"}) {
    ASSERT_EQ(std::system((xdotool + "key n >/dev/null 2>&1").c_str()), 0);
    ASSERT_TRUE(GameRun::WaitForText(log, next, kStartMs)) << tftest::ReadFile(log);
  }
  ASSERT_EQ(std::system((xdotool + "key n >/dev/null 2>&1").c_str()), 0);
  // Back to the menu (whose entry drops keys still queued, so the next key waits for it).
  tftest::WaitUntil(
      [&] {
        const std::string text = tftest::ReadFile(log);
        return text.find("entered menu", text.find("entered gameover")) != std::string::npos;
      },
      kStartMs);
  const std::string text = tftest::ReadFile(log);
  ASSERT_NE(text.find("entered menu", text.find("entered gameover")), std::string::npos) << text;
  ASSERT_EQ(std::system((xdotool + "key h >/dev/null 2>&1").c_str()), 0);
  ASSERT_TRUE(GameRun::WaitForText(log, "scored Thread ID:", kStartMs)) << tftest::ReadFile(log);
  kill(game->pid(), SIGTERM);
  EXPECT_EQ(game->Wait(kStartMs), 0) << tftest::ReadFile(dir / "output.txt");
  const std::string settings = tftest::ReadFile(dir / "settings.ini");
  EXPECT_NE(settings.find("Name 1=SIGNAL"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Score 1=700"), std::string::npos) << settings;
  EXPECT_EQ(tftest::ReadFile(log).find("Error: "), std::string::npos);
}

// The start-up sequence and the main loop with hooks of a small stand-in game (offscreen driver).
#include <functional>

#include "image/image.h"
#include "shell/shell.h"
#include "shell/shell_fixture.h"

namespace {

constexpr int32_t kPlayState = 1;

// A stand-in for the game: one display, a state to play in, and a frame routine the test writes.
class ShellMainLoop : public tftest::ShellFixture {
 protected:
  shellGameHooks Hooks() {
    shellGameHooks hooks;
    hooks.initDisplay = [this] {
      ++initDisplayCalls_;
      display_ = MainThreadDisplayAdd(MainGetPrimaryMonitorId(), "Primary", true);
      return display_ != -1;
    };
    hooks.init = [this] {
      ++initCalls_;
      StateRegisterUpdate(kPlayState, {});
      StateChange(kPlayState);
      return initResult_;
    };
    hooks.processFrame = [this] {
      ++frames_;
      return frame_ ? frame_(frames_) : true;
    };
    hooks.shutdown = [this] {
      ++shutdowns_;
      displayLiveAtShutdown_ = GraphicsDisplayExists(display_);
      MainThreadDisplayClose(display_);
    };
    hooks.fatalError = [this] { return fatal_; };
    hooks.minimizeFromFullscreen = [this] { ++minimizeCalls_; };
    return hooks;
  }

  bool Run() {
    MainFormCreate(Hooks());
    const bool result = MainGameStart();
    MainFormFree();
    return result;
  }

  void Send(platformEventKind kind) {
    platformEvent event;
    event.kind = kind;
    event.window = MainDisplayWindow(0);
    MainDispatchEvent(event);
  }

  std::function<bool(int)> frame_;
  bool initResult_ = true;
  bool fatal_ = false;
  int32_t display_ = -1;
  int initDisplayCalls_ = 0, initCalls_ = 0, frames_ = 0, shutdowns_ = 0, minimizeCalls_ = 0;
  bool displayLiveAtShutdown_ = false;
};

TEST_F(ShellMainLoop, FirstCloseBecomesARequestAndTheNextPassEndsTheGameInOrder) {
  frame_ = [this](int frame) {
    EXPECT_TRUE(MainRunning());
    if (frame == 3) {
      const int32_t window = MainDisplayWindow(0);
      Send(platformEventKind::kWindowClose);
      Send(platformEventKind::kWindowClose);  // a second close while one is pending changes nothing
      EXPECT_TRUE(MainCloseRequested());
      EXPECT_TRUE(PlatformWindowExists(window));
    }
    return true;
  };
  EXPECT_TRUE(Run());
  EXPECT_EQ(frames_, 3);
  EXPECT_EQ(shutdowns_, 1);
  EXPECT_TRUE(displayLiveAtShutdown_);
  EXPECT_FALSE(MainRunning());
  EXPECT_EQ(Log().find("fatal"), std::string::npos);
}

TEST_F(ShellMainLoop, TheSessionsQuitRequestEndsTheLoopLikeAClose) {
  frame_ = [this](int frame) {
    if (frame == 2) Send(platformEventKind::kQuit);
    return true;
  };
  EXPECT_TRUE(Run());
  EXPECT_EQ(frames_, 2);
  EXPECT_EQ(shutdowns_, 1);
}

TEST_F(ShellMainLoop, TheSessionsQuitEndsAMinimisedGameToo) {
  frame_ = [this](int frame) {
    if (frame == 2) {
      Send(platformEventKind::kWindowMinimized);
      Send(platformEventKind::kQuit);  // a logout: nothing restores the window first
    }
    return true;
  };
  EXPECT_TRUE(Run());
  EXPECT_EQ(frames_, 2);
  EXPECT_EQ(shutdowns_, 1);
}

TEST_F(ShellMainLoop, AGameEndingInItsFatalStateShutsDownAndNamesTheLog) {
  frame_ = [this](int) {
    fatal_ = true;
    return false;
  };
  EXPECT_FALSE(Run());
  EXPECT_EQ(frames_, 1);
  EXPECT_EQ(shutdowns_, 1);
  // No display to show a box on: the message goes to the log.
  EXPECT_NE(Log().find("Thornfall: A fatal error has occurred.  Please consult the file results.log for details.\r\n"),
            std::string::npos)
      << Log();
}

TEST_F(ShellMainLoop, AFailedStartRunsNoFrameAndNoShutdown) {
  initResult_ = false;
  EXPECT_FALSE(Run());
  EXPECT_EQ(initDisplayCalls_, 1);
  EXPECT_EQ(initCalls_, 1);
  EXPECT_EQ(frames_, 0);
  EXPECT_EQ(shutdowns_, 0);
}

TEST_F(ShellMainLoop, LosingTheFocusPausesAndAStateAlreadyPausedStaysPaused) {
  frame_ = [this](int frame) {
    switch (frame) {
      case 1:
        // Nothing of the program has had the focus yet: paused, the state's clock with it.
        EXPECT_TRUE(MainPaused());
        EXPECT_TRUE(StateGetPaused());
        Send(platformEventKind::kWindowFocusGained);
        break;
      case 2:
        EXPECT_FALSE(MainPaused());
        EXPECT_FALSE(StateGetPaused());
        Send(platformEventKind::kWindowFocusLost);
        break;
      case 3:
        EXPECT_TRUE(MainPaused());
        EXPECT_TRUE(StateGetPaused());
        Send(platformEventKind::kWindowFocusGained);
        break;
      case 4:
        EXPECT_FALSE(StateGetPaused());
        StatePause();  // the game pauses its own clock (a pause menu, say)
        Send(platformEventKind::kWindowFocusLost);
        break;
      case 5:
        EXPECT_TRUE(MainPaused());
        Send(platformEventKind::kWindowFocusGained);
        break;
      case 6:
        EXPECT_FALSE(MainPaused());
        EXPECT_TRUE(StateGetPaused());  // not resumed by the application coming back
        return false;
    }
    return true;
  };
  EXPECT_TRUE(Run());
  EXPECT_EQ(frames_, 6);
}

TEST_F(ShellMainLoop, FocusMovingBetweenTheProgramsOwnWindowsIsNoDeactivation) {
  // Another window of the program (the splash when there is one).
  auto otherWindow = [] {
    platformEvent event;
    event.window = MainSplashWindow() != 0 ? MainSplashWindow() : 4242;
    return event;
  };
  frame_ = [&](int frame) {
    if (frame == 1) {
      Send(platformEventKind::kWindowFocusGained);
      GraphicsDisplayResize(display_, GraphicsMonitorGetMode(MainGetPrimaryMonitorId(), 0));
      GraphicsFullscreenSet(true);
    }
    if (frame == 2) {
      // In one batch the focus leaves the render window for the other window.
      Send(platformEventKind::kWindowFocusLost);
      platformEvent gained = otherWindow();
      gained.kind = platformEventKind::kWindowFocusGained;
      MainDispatchEvent(gained);
    }
    if (frame == 3) {
      EXPECT_EQ(minimizeCalls_, 0);
      platformEvent lost = otherWindow();
      lost.kind = platformEventKind::kWindowFocusLost;
      MainDispatchEvent(lost);
    }
    return frame < 4;
  };
  EXPECT_TRUE(Run());
  GraphicsFullscreenSet(false);
  // Only the last loss, with no window of the program left focused, counted.
  EXPECT_EQ(minimizeCalls_, 1);
}

using SplashPicture = tftest::ShellFixture;

TEST_F(SplashPicture, AMissingOrDamagedPictureIsNamedInTheLogAndTheFormGoesOnWithout) {
  const std::string file = dir_ / "Bin/Images/splash.tga";
  const std::string line = "Error: MainInterfaceDrawRegions - Unable to load the splash picture \"Bin\\Images\\splash.tga\".";
  for (const std::string& bytes : {std::string(), std::string("\0\0\x02\0\0\0\0\0not a picture", 21)}) {
    if (!bytes.empty()) {
      ASSERT_TRUE(tftest::WriteFile(file, bytes));
    }
    tftest::LogCapture log;
    MainFormCreate(shellGameHooks{});
    EXPECT_EQ(MainSplashWindow(), 0);
    EXPECT_TRUE(log.Contains(line)) << "with " << bytes.size() << " bytes";
    MainFormFree();
  }

  // A picture that loads gives the window and no word.
  imageData* first = nullptr;
  const imageChain picture(ImageNew(first));
  picture->width = 64;
  picture->height = 48;
  picture->pixels.assign(64 * 48, 0xFF336699);
  ImageSave(file, picture.get());
  tftest::LogCapture log;
  MainFormCreate(shellGameHooks{});
  EXPECT_NE(MainSplashWindow(), 0);
  EXPECT_FALSE(log.Contains("MainInterfaceDrawRegions"));
  MainFormFree();
}

}  // namespace

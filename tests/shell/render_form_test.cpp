// Render windows and the display list on real windows and contexts (offscreen driver).
#include "shell/render_form.h"

#include "shell/shell.h"
#include "shell/shell_fixture.h"

namespace {

using tftest::WindowRect;

class RenderForm : public tftest::ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    ASSERT_TRUE(RenderFormCreate(form_, "Thornfall", 0, true)) << PlatformErrorText();
  }
  void TearDown() override {
    RenderFormDestroy(form_);
    ShellFixture::TearDown();
  }

  renderForm form_;
};

TEST_F(RenderForm, WindowedSizesAreCentredWithHalvesTruncatedTowardZero) {
  // Created at 512 x 408, centred on the primary monitor (no owner window).
  platformRect rect = WindowRect(form_.window);
  EXPECT_EQ(rect.width, 512);
  EXPECT_EQ(rect.height, 408);
  EXPECT_EQ(rect.left, monitor_.left + (monitor_.width - 512) / 2);
  EXPECT_EQ(form_.windowedWidth, 512);
  EXPECT_EQ(form_.displayId, -1);

  // One pixel narrower than the monitor: half a pixel to the left is no pixel.
  RenderFormSetResolution(form_, false, monitor_.width - 1, monitor_.height - 3);
  rect = WindowRect(form_.window);
  EXPECT_EQ(rect.left, monitor_.left + 0);
  EXPECT_EQ(rect.top, monitor_.top + 1);
  EXPECT_EQ(rect.width, monitor_.width - 1);
  EXPECT_EQ(rect.height, monitor_.height - 3);

  // Larger than the monitor: -1/2 and -3/2 truncate toward zero, to 0 and -1 (not -1 and -2).
  RenderFormSetResolution(form_, false, monitor_.width + 1, monitor_.height + 3);
  rect = WindowRect(form_.window);
  EXPECT_EQ(rect.left, monitor_.left + 0);
  EXPECT_EQ(rect.top, monitor_.top - 1);
  EXPECT_EQ(form_.windowedWidth, monitor_.width + 1);
  EXPECT_EQ(form_.windowedHeight, monitor_.height + 3);

  EXPECT_EQ(RenderFormCentre(0, 10, 13), -1);
  EXPECT_EQ(RenderFormCentre(100, 11, 8), 101);
}

TEST_F(RenderForm, FullscreenCoversTheMonitorAndWindowedThenKeepsTheMonitorsSize) {
  RenderFormSetResolution(form_, false, 640, 480);
  RenderFormSetFullscreen(form_);
  platformRect rect = WindowRect(form_.window);
  EXPECT_EQ(rect.width, monitor_.width);
  EXPECT_EQ(rect.height, monitor_.height);
  EXPECT_EQ(form_.windowedWidth, monitor_.width);

  // Back to windowed at the size last set, which a fullscreen switch made the monitor's.
  RenderFormSetWindowed(form_);
  rect = WindowRect(form_.window);
  EXPECT_EQ(rect.width, monitor_.width);
  EXPECT_EQ(rect.height, monitor_.height);
  EXPECT_EQ(rect.left, monitor_.left);
  EXPECT_EQ(rect.top, monitor_.top);
}

TEST_F(RenderForm, DisplayIdIsSetOnceAndBadMonitorsFallBackToThePrimary) {
  RenderFormSetDisplayId(form_, 4);
  RenderFormSetDisplayId(form_, 9);
  EXPECT_EQ(form_.displayId, 4);

  const platformRect before = WindowRect(form_.window);
  RenderFormSetMonitor(form_, PlatformMonitorCount());
  EXPECT_EQ(form_.monitor, PlatformMonitorPrimary());
  EXPECT_NE(Log().find("Error: renderForm.SetMonitor - Invalid monitor ID \"" + std::to_string(PlatformMonitorCount()) +
                       "\".  Defaulting to primary monitor.\r\n"),
            std::string::npos)
      << Log();
  RenderFormSetMonitor(form_, -1);
  EXPECT_EQ(form_.monitor, PlatformMonitorPrimary());
  // Monitor 0 relative to itself: the window stays where it was.
  const platformRect after = WindowRect(form_.window);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
}

class ShellDisplayList : public tftest::ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MainFormCreate(shellGameHooks{});
  }
  void TearDown() override {
    MainFormFree();
    ShellFixture::TearDown();
  }
};

TEST_F(ShellDisplayList, DisplaysComeAndGoWithTheirWindows) {
  const int32_t primary = MainThreadDisplayAdd(MainGetPrimaryMonitorId(), "Primary", true);
  EXPECT_EQ(primary, 1);  // the graphics unit's probe did not use up an id
  ASSERT_EQ(MainDisplayCount(), 1);
  EXPECT_TRUE(GraphicsDisplayMakeCurrent(primary));  // its context exists

  int32_t width = 0, height = 0;
  MainDisplayGetDimensions(primary, width, height);
  EXPECT_EQ(width, 512);
  EXPECT_EQ(height, 408);
  MainThreadDisplayResize(primary, 640, 480);
  MainDisplayGetDimensions(primary, width, height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  MainDisplayGetDimensions(77, width, height);
  EXPECT_EQ(width, 1);
  EXPECT_EQ(height, 1);

  // A second display on a monitor that does not exist, without a context.
  const int32_t second = MainThreadDisplayAdd(PlatformMonitorCount() + 2, "Second", false);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(GraphicsDisplayGetMonitor(second), PlatformMonitorPrimary());
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(second));
  EXPECT_NE(Log().find("Defaulting to primary monitor."), std::string::npos);

  const int32_t secondWindow = MainDisplayWindow(1);
  MainThreadDisplayClose(primary);
  EXPECT_FALSE(GraphicsDisplayExists(primary));
  ASSERT_EQ(MainDisplayCount(), 1);
  EXPECT_EQ(MainDisplayWindow(0), secondWindow);
  MainDisplayGetDimensions(primary, width, height);
  EXPECT_EQ(width, 1);

  MainThreadDisplaySetFullscreen(true);
  MainDisplayGetDimensions(second, width, height);
  EXPECT_EQ(width, monitor_.width);
  EXPECT_EQ(height, monitor_.height);
  MainThreadDisplaySetFullscreen(false);
  MainDisplayGetDimensions(second, width, height);
  EXPECT_EQ(width, monitor_.width);
  EXPECT_EQ(GraphicsDisplayGetWindow(second), secondWindow);

  MainThreadDisplayClose(second);
  EXPECT_EQ(MainDisplayCount(), 0);
  EXPECT_FALSE(PlatformWindowExists(secondWindow));
}

TEST_F(ShellDisplayList, ClosingAWindowIsRefusedWhileItsDisplayLivesAndAllowedAfter) {
  const int32_t id = MainThreadDisplayAdd(0, "Primary", false);
  const int32_t window = MainDisplayWindow(0);
  platformEvent close;
  close.kind = platformEventKind::kWindowClose;
  close.window = window;

  MainDispatchEvent(close);
  EXPECT_TRUE(PlatformWindowExists(window));
  EXPECT_TRUE(MainCloseRequested());

  // A window whose display has gone just closes.
  GraphicsDisplayClose(id);
  MainDispatchEvent(close);
  EXPECT_FALSE(PlatformWindowExists(window));
  EXPECT_EQ(MainDisplayCount(), 0);
}

}  // namespace

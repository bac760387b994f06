// Displays and rendering on real OpenGL through SDL's offscreen video driver.
#include "graphics/graphics.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "graphics/display_modes.h"
#include "platform/platform.h"
#include "graphics/offscreen_video.h"
#include "support/test_support.h"

namespace {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 48;

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

// Whether a line of this test's log starts with the text.
bool Logged(const std::string& prefix) {
  const std::string text = tftest::ReadFile(LogGetFilePath());
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    if (text.compare(start, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

// Pixel at (x, y) from the top left of the back buffer, as 0xRRGGBB.
uint32_t PixelAt(int32_t x, int32_t y) {
  uint8_t rgba[4] = {};
  glReadPixels(x, kHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return (uint32_t{rgba[0]} << 16) | (uint32_t{rgba[1]} << 8) | rgba[2];
}

void FillRect(float left, float top, float right, float bottom) {
  glBegin(GL_QUADS);
  glVertex2f(left, top);
  glVertex2f(left, bottom);
  glVertex2f(right, bottom);
  glVertex2f(right, top);
  glEnd();
}

GLint Viewport(int which) {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return viewport[which];
}

class GraphicsDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gVideo) GTEST_SKIP() << "no video device";
    tftest::UseProgramFolder(dir_);
    GraphicsStart();
  }
  void TearDown() override {
    if (!gVideo) return;
    // The hooks may point into the finished test's locals.
    GraphicsSetDimensionsSource(nullptr);
    for (auto registry : {graphicsRegistry::kModel, graphicsRegistry::kFont, graphicsRegistry::kInput}) {
      GraphicsDisplayRegistrySet(registry, nullptr, nullptr);
    }
    GraphicsEnd();
    for (int32_t window : windows_) PlatformWindowDestroy(window);
  }

  int32_t Window(bool opengl = true) {
    platformWindowSetup setup;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.opengl = opengl;
    windows_.push_back(PlatformWindowCreate(setup));
    EXPECT_NE(windows_.back(), 0) << PlatformErrorText();
    return windows_.back();
  }

  // A display with a live context and a pixel projection over its whole window.
  int32_t Display() {
    const int32_t id = GraphicsDisplayNew(Window(), "main", 0);
    EXPECT_TRUE(GraphicsDisplayCreateRC(id));
    GraphicsSetViewport(0, 0, kWidth, kHeight);
    GraphicsSetOrtho(kWidth, kHeight);
    glDisable(GL_TEXTURE_2D);
    return id;
  }

  tftest::TempDir dir_;
  std::vector<int32_t> windows_;
};

TEST_F(GraphicsDisplayTest, ProbeLeavesTheFirstIdToTheShell) {
  GraphicsEnd();
  std::vector<std::string> events;
  GraphicsDisplayRegistrySet(
      graphicsRegistry::kModel, [&](int32_t id, int32_t) { events.push_back("new " + std::to_string(id)); },
      [&](int32_t id) { events.push_back("close " + std::to_string(id)); });
  GraphicsStart();
  EXPECT_EQ(events, (std::vector<std::string>{"new 1", "close 1"}));
  EXPECT_EQ(GraphicsDisplayCount(), 0);
  EXPECT_EQ(GraphicsDisplayNew(Window(), "Primary", 0), 1);
  EXPECT_FALSE(Logged("Error: "));
}

TEST_F(GraphicsDisplayTest, RegistriesHearOfNewAndClosingDisplaysInOrder) {
  std::vector<std::string> events;
  for (auto [registry, who] : {std::pair{graphicsRegistry::kInput, "input"}, std::pair{graphicsRegistry::kFont, "font"},
                               std::pair{graphicsRegistry::kModel, "model"}}) {
    const std::string name = who;
    GraphicsDisplayRegistrySet(
        registry, [&events, name](int32_t id, int32_t) { events.push_back(name + "+" + std::to_string(id)); },
        [&events, name](int32_t id) { events.push_back(name + "-" + std::to_string(id)); });
  }
  const int32_t a = GraphicsDisplayNew(Window(), "a", 0);
  const int32_t b = GraphicsDisplayNew(Window(), "b", 0);
  GraphicsDisplayClose(a);
  GraphicsDisplayClose(a);  // unknown by now: nothing
  EXPECT_EQ(events, (std::vector<std::string>{"model+1", "font+1", "input+1", "model+2", "font+2", "input+2",
                                              "font-1", "input-1", "model-1"}));
  EXPECT_EQ(GraphicsDisplayIndex(b), 0);
  EXPECT_EQ(GraphicsDisplayNew(Window(), "c", 0), 3);  // ids are not reused

  EXPECT_EQ(GraphicsDisplayGetMonitor(a), -1);
  EXPECT_EQ(GraphicsDisplayGetMode(a, 0).modeNumber, -1);
  EXPECT_EQ(GraphicsDisplayGetModeIndex(a), -1);
  GraphicsRenderBegin(a);
  GraphicsRenderEnd(a);
  EXPECT_FALSE(Logged("Error: "));
}

TEST_F(GraphicsDisplayTest, CreateRCSetsTheInitialStateOrLogsWhyItFailed) {
  EXPECT_FALSE(GraphicsDisplayCreateRC(99));
  EXPECT_TRUE(Logged("Error: GraphicsDisplayCreateRC - Can't get display 99."));
  EXPECT_FALSE(GraphicsDisplayCreateRC(GraphicsDisplayNew(12345, "gone", 0)));
  EXPECT_TRUE(Logged("Error: GraphicsDisplayCreateRC - Can't create a GL device context for display \"gone\": "));
  const int32_t plain = GraphicsDisplayNew(Window(false), "plain", 0);
  EXPECT_FALSE(GraphicsDisplayCreateRC(plain));
  EXPECT_TRUE(Logged("Error: GraphicsDisplayCreateRC - Cant't create a GL rendering context for display \"plain\": "));
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(plain));
  EXPECT_TRUE(GraphicsDisplayFreeRC(GraphicsDisplayIndex(plain)));  // the half-made display

  const int32_t count = GraphicsDisplayCount();
  EXPECT_FALSE(GraphicsDisplayFreeRC(count));
  EXPECT_TRUE(Logged("Error: GraphicsDisplayFreeRC - Invalid display Index \"" + std::to_string(count) + "\"."));

  ASSERT_TRUE(GraphicsDisplayCreateRC(GraphicsDisplayNew(Window(), "main", 0)));
  GLint blend[3] = {};
  glGetIntegerv(GL_BLEND_SRC, &blend[0]);
  glGetIntegerv(GL_BLEND_DST, &blend[1]);
  glGetIntegerv(GL_DEPTH_FUNC, &blend[2]);
  EXPECT_EQ(std::vector<GLint>(blend, blend + 3), std::vector<GLint>({GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_LEQUAL}));
  EXPECT_EQ(std::vector<bool>({glIsEnabled(GL_BLEND) != 0, glIsEnabled(GL_TEXTURE_2D) != 0,
                               glIsEnabled(GL_DEPTH_TEST) != 0, glIsEnabled(GL_CULL_FACE) != 0}),
            std::vector<bool>({true, true, true, false}));
}

TEST_F(GraphicsDisplayTest, RenderBeginClearsAndOrthoMapsPixels) {
  const int32_t id = Display();
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);  // depth 1 everywhere
  glColor3f(1.0f, 0.0f, 0.0f);
  FillRect(8, 4, 24, 12);
  EXPECT_EQ(PixelAt(8, 4), 0xFF0000u);  // the quad's corner pixels
  EXPECT_EQ(PixelAt(23, 11), 0xFF0000u);
  EXPECT_EQ(PixelAt(24, 4), 0x0000FFu);
  EXPECT_EQ(PixelAt(8, 12), 0x0000FFu);
  EXPECT_EQ(PixelAt(8, kHeight - 5), 0x0000FFu);  // y grows downwards

  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(0.25);
  GraphicsRenderBegin(id);
  EXPECT_EQ(PixelAt(10, 6), 0u);
  // Depth was cleared too: a quad at depth 0.5 stays hidden behind 0.25.
  glEnable(GL_DEPTH_TEST);
  glColor3f(0.0f, 1.0f, 0.0f);
  FillRect(0, 0, 16, 16);
  EXPECT_EQ(PixelAt(4, 4), 0u);
  GraphicsRenderEnd(id);
  EXPECT_FALSE(Logged("Error: "));
}

TEST_F(GraphicsDisplayTest, ContextsCanBeFreedAndRecreated) {
  const int32_t id = Display();
  glColor3f(1.0f, 1.0f, 1.0f);
  FillRect(0, 0, 8, 8);
  EXPECT_EQ(PixelAt(2, 2), 0xFFFFFFu);

  GraphicsDisplaysFreeRC();
  EXPECT_FALSE(GraphicsDisplayMakeCurrent(id));
  GraphicsRenderBegin(id);
  EXPECT_TRUE(Logged("Error: GraphicsRenderBegin - Unable to make RC current on display \"main\": "));
  EXPECT_TRUE(Logged("  Handle = " + std::to_string(GraphicsDisplayGetWindow(id))));
  EXPECT_TRUE(Logged("  RC = 0"));

  // Re-creation sets the viewport to the client size the shell reports.
  GraphicsSetDimensionsSource([](int32_t, int32_t& width, int32_t& height) {
    width = 32;
    height = 24;
  });
  GraphicsDisplaysRecreateRC();
  EXPECT_EQ(Viewport(2), 32);
  EXPECT_EQ(Viewport(3), 24);
  GraphicsSetOrtho(32, 24);
  glDisable(GL_TEXTURE_2D);
  GraphicsRenderBegin(id);
  glColor3f(0.0f, 1.0f, 0.0f);
  FillRect(0, 0, 4, 4);  // the viewport is the lower half of the window
  EXPECT_EQ(PixelAt(1, kHeight - 23), 0x00FF00u);
  EXPECT_EQ(PixelAt(1, 1), 0u);
  GraphicsRenderEnd(id);
  EXPECT_FALSE(Logged("Error: GraphicsDisplaysFreeRC"));
  EXPECT_FALSE(Logged("Error: GraphicsRenderEnd"));
}

TEST_F(GraphicsDisplayTest, ResizeStoresTheModeAndSetsTheViewport) {
  graphicsMonitor monitor;
  GraphicsMonitorModesBuild({{800, 600, 32, 3}, {1280, 720, 32, 5}}, monitor.allModes, monitor.uniqueModes);
  GraphicsMonitorsInstall({monitor});
  const int32_t id = Display();
  GraphicsSetDimensionsSource([](int32_t, int32_t& width, int32_t& height) {
    width = 20;
    height = 0;  // reported as 1
  });
  GraphicsDisplayResize(id, {0, 720, 32, 5});  // width 0: nothing happens
  EXPECT_EQ(Viewport(2), kWidth);
  EXPECT_EQ(GraphicsDisplayGetModeIndex(id), -1);

  GraphicsDisplayResize(id, {1280, 720, 32, 5});
  EXPECT_EQ(Viewport(2), 20);
  EXPECT_EQ(Viewport(3), 1);
  EXPECT_EQ(GraphicsDisplayGetModeIndex(id), 1);
  EXPECT_EQ(GraphicsDisplayGetMode(id, 1).modeNumber, 5);
  EXPECT_EQ(GraphicsDisplayGetMode(id, 2).modeNumber, 0);  // out of range: zero
}

TEST_F(GraphicsDisplayTest, CullingVSyncAndTheirSwitches) {
  const int32_t id = Display();
  const GLint expected[][2] = {{GL_CCW, GL_BACK}, {GL_CW, GL_BACK}, {GL_CCW, GL_FRONT}, {GL_CW, GL_FRONT}};
  for (int32_t mode = 1; mode <= 4; ++mode) {
    GraphicsSetCulling(mode);
    GLint state[2] = {};
    glGetIntegerv(GL_FRONT_FACE, &state[0]);
    glGetIntegerv(GL_CULL_FACE_MODE, &state[1]);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << mode;
    EXPECT_EQ(state[0], expected[mode - 1][0]) << mode;
    EXPECT_EQ(state[1], expected[mode - 1][1]) << mode;
  }
  GraphicsSetCulling(6);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  // With no current context the swap interval is refused and the flag stays.
  ASSERT_TRUE(PlatformGLMakeCurrent(GraphicsDisplayGetWindow(id), 0));
  GraphicsSetVSync(true);
  EXPECT_FALSE(GraphicsGetVSync());
  ASSERT_TRUE(GraphicsDisplayMakeCurrent(id));
  GraphicsSetVSync(true);
  const bool swapControl = GraphicsGetVSync();

  // The switches are read at start: given later they change nothing until the next start, which
  // also begins the display ids and the vsync flag afresh.
  UtilSetCommandLine(std::vector<std::string>{"-NoCull", "-novsync"});
  GraphicsSetCulling(1);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  GraphicsEnd();
  GraphicsStart();
  EXPECT_EQ(Display(), 1);
  EXPECT_FALSE(GraphicsGetVSync());
  GraphicsSetCulling(1);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  if (swapControl) {
    GraphicsSetVSync(true);
    EXPECT_FALSE(GraphicsGetVSync());
  }
}

TEST_F(GraphicsDisplayTest, FullscreenSetsTheChosenModesAndReportsFailures) {
  const int32_t id = Display();
  GraphicsFullscreenSet(true);  // the display has no mode yet: the monitor is left alone
  EXPECT_TRUE(GraphicsFullscreenGet());
  EXPECT_FALSE(Logged("Error: "));

  GraphicsDisplayResize(id, {640, 480, 32, 1 << 20});  // a mode number the monitor does not have
  GraphicsFullscreenSet(true);
  EXPECT_TRUE(Logged("Error: GraphicsMonitorSetResolution - Unable to enumerate display settings for monitor 0."));
  GraphicsFullscreenSet(false);
  EXPECT_FALSE(GraphicsFullscreenGet());
  EXPECT_FALSE(GraphicsMonitorSetResolution(99, 0));
  EXPECT_TRUE(Logged("Error: GraphicsMonitorSetResolution - Unable to enumerate device name for monitor 99."));
}

}  // namespace

#include "graphics/display_modes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/graphics.h"

namespace {

std::string Dims(const std::vector<graphicsMode>& list) {
  std::string text;
  for (const graphicsMode& m : list) {
    text += std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bitsPerPixel) + "#" +
            std::to_string(m.modeNumber) + " ";
  }
  return text;
}

std::vector<platformMode> Numbered(std::vector<platformMode> modes) {
  for (size_t i = 0; i < modes.size(); ++i) modes[i].modeNumber = static_cast<int32_t>(i);
  return modes;
}

TEST(GraphicsModeListTest, SortsFiltersAndDropsRepeatsKeepingTheFirstOfEachRun) {
  // Largest first, as SDL lists them, with a repeat (another refresh rate) and modes just below
  // each limit.
  const auto modes = Numbered({{1920, 1080, 32}, {1920, 1080, 32}, {1280, 720, 32}, {800, 600, 32},
                               {639, 480, 32}, {640, 479, 32}, {640, 480, 32}, {640, 480, 16},
                               {640, 480, 15}, {640, 480, 8}});
  std::vector<graphicsMode> all, unique;
  GraphicsMonitorModesBuild(modes, all, unique);
  EXPECT_EQ(Dims(all), "640x480x16#7 640x480x32#6 800x600x32#3 1280x720x32#2 1920x1080x32#1 1920x1080x32#0 ");
  // A repeat is inserted before its equal, so the later mode number heads the run.
  EXPECT_EQ(Dims(unique), "640x480x16#7 640x480x32#6 800x600x32#3 1280x720x32#2 1920x1080x32#1 ");

  // Rebuilding replaces what the lists held.
  GraphicsMonitorModesBuild({}, all, unique);
  EXPECT_TRUE(all.empty());
  EXPECT_TRUE(unique.empty());
}

TEST(GraphicsModeListTest, InsertionWalksWidthThenHeightThenBits) {
  // The three walks run one after the other: after the width walk stops at 800x600, the height
  // walk carries on past the wider 1024x480, so 800x768 lands behind it.
  auto modes = Numbered({{800, 600, 32}, {1024, 480, 32}, {800, 768, 32}});
  std::vector<graphicsMode> all, unique;
  GraphicsMonitorModesBuild(modes, all, unique);
  EXPECT_EQ(Dims(all), "800x600x32#0 1024x480x32#1 800x768x32#2 ");

  // Depths mixed in SDL's order end up grouped by the bits walk rather than sorted by size.
  modes = Numbered({{1024, 768, 32}, {1024, 768, 16}, {800, 600, 32}, {800, 600, 16}});
  GraphicsMonitorModesBuild(modes, all, unique);
  EXPECT_EQ(Dims(all), "800x600x16#3 1024x768x16#1 800x600x32#2 1024x768x32#0 ");
}

TEST(GraphicsMonitorTest, QueriesOnInstalledMonitors) {
  graphicsMonitor tiny;  // every mode below the limits
  GraphicsMonitorModesBuild(Numbered({{320, 200, 32}, {640, 480, 8}}), tiny.allModes, tiny.uniqueModes);
  graphicsMonitor normal;
  GraphicsMonitorModesBuild(Numbered({{1280, 720, 32}, {800, 600, 32}, {800, 600, 32}}), normal.allModes,
                            normal.uniqueModes);
  GraphicsMonitorsInstall({tiny, normal});

  EXPECT_EQ(GraphicsMonitorCount(), 2);
  EXPECT_TRUE(tiny.allModes.empty());
  const graphicsMode none = GraphicsMonitorFindMode(0, 640, 480, 8);
  EXPECT_EQ(none.width + none.height + none.bitsPerPixel, 0u);
  EXPECT_EQ(none.modeNumber, 0);

  const graphicsMode found = GraphicsMonitorFindMode(1, 800, 600, 32);
  EXPECT_EQ(found.modeNumber, 2);
  EXPECT_EQ(GraphicsMonitorFindModeIndex(1, 1280, 720, 32), 1);
  EXPECT_EQ(GraphicsMonitorFindModeIndex(1, 1280, 720, 16), -1);
  EXPECT_EQ(GraphicsMonitorModeText(1, 0), "800x600 32-bit color");
  EXPECT_EQ(GraphicsMonitorGetMode(1, 1).width, 1280u);

  // Out of range monitors and indices give zero modes, -1 and empty texts.
  for (int32_t monitor : {-1, 2}) {
    EXPECT_EQ(GraphicsMonitorFindMode(monitor, 800, 600, 32).width, 0u);
    EXPECT_EQ(GraphicsMonitorFindModeIndex(monitor, 800, 600, 32), -1);
    EXPECT_EQ(GraphicsMonitorModeText(monitor, 0), "");
  }
  for (int32_t n : {-1, 2}) {
    EXPECT_EQ(GraphicsMonitorGetMode(1, n).width, 0u);
    EXPECT_EQ(GraphicsMonitorModeText(1, n), "");
  }
  GraphicsMonitorsInstall({});
}

TEST(GraphicsErrorTextTest, KnownAndUnknownCodes) {
  EXPECT_EQ(GraphicsErrorText(1280), "Invalid enumerated value passed to OpenGL function.  Error = 1280");
  EXPECT_EQ(GraphicsErrorText(1285), "Insufficient memory for OpenGL operation.  Error = 1285");
  EXPECT_EQ(GraphicsErrorText(1283), "Unrecgoznied OpenGL error 1283.");
}

}  // namespace

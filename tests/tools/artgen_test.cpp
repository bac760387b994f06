// artgen run as a program: every picture at its size, the properties the screens rely on
// (opaque skies, the pointer's hot spot, clouds that join, button looks that swap cleanly) and
// the same pixels on every run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/image.h"
#include "support/test_support.h"

using tftest::ReadFile;
using tftest::RunTool;
using tftest::TempDir;

namespace {

struct expected {
  const char* name;
  int width, height;
};

constexpr expected kPictures[] = {
    {"Images/FloorA.tga", 239, 63},          {"Images/FloorE.tga", 239, 63},
    {"Images/Weed Top.tga", 239, 64},        {"Images/Weed Tile.tga", 239, 128},
    {"Images/Drop Left.tga", 20, 28},        {"Images/Splash 2.tga", 40, 30},
    {"Images/Game Sky.tga", 1280, 720},      {"Images/Pipe.tga", 1280, 40},
    {"Images/Nozzle.tga", 56, 64},           {"Images/Plate.tga", 260, 48},
    {"Interface/Menu Sky.tga", 1280, 720},   {"Interface/Clouds.tga", 1280, 256},
    {"Interface/Firefly.tga", 24, 24},       {"Interface/Title.tga", 900, 200},
    {"Interface/Button.tga", 320, 64},       {"Interface/Button Hover.tga", 320, 64},
    {"Interface/Button Pressed.tga", 320, 64},
    {"Interface/Small Button.tga", 200, 52}, {"Interface/Small Button Hover.tga", 200, 52},
    {"Interface/Small Button Pressed.tga", 200, 52},
    {"Interface/Panel.tga", 720, 540},       {"Interface/Slider Range.tga", 300, 40},
    {"Interface/Slider Thumb.tga", 28, 40},  {"Interface/Check Off.tga", 44, 44},
    {"Interface/Check On.tga", 44, 44},      {"Interface/Cell.tga", 420, 40},
    {"Interface/Cell Hover.tga", 420, 40},   {"Interface/Cell Selected.tga", 420, 40},
    {"Interface/Pointer.tga", 32, 32},       {"Interface/Icon.tga", 256, 256},
};

int Alpha(const imageData& image, int x, int y) { return image.pixels[static_cast<size_t>(y) * image.width + x] >> 24; }
int Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

class artgen : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    status_ = RunTool(ARTGEN_TOOL, {folder_->path() + "Bin"}).status;
  }
  static void TearDownTestSuite() { delete folder_; }
  static imageChain Load(const std::string& name) { return ImageLoadChain(folder_->path() + "Bin/" + name); }
  static TempDir* folder_;
  static int status_;
};
TempDir* artgen::folder_ = nullptr;
int artgen::status_ = -1;

TEST_F(artgen, WritesEveryPictureAtItsSize) {
  ASSERT_EQ(status_, 0);
  for (const expected& e : kPictures) {
    imageChain image = Load(e.name);
    ASSERT_TRUE(image && !image->substitute) << e.name;
    EXPECT_EQ(image->width, e.width) << e.name;
    EXPECT_EQ(image->height, e.height) << e.name;
  }
  // The skies stand behind everything, so no pixel of them may be see-through; shaped pictures
  // are clear in their corners.
  for (const char* sky : {"Images/Game Sky.tga", "Interface/Menu Sky.tga"}) {
    imageChain image = Load(sky);
    int clear = 0;
    for (uint32_t p : image->pixels) clear += (p >> 24) != 0xFF;
    EXPECT_EQ(clear, 0) << sky;
  }
  for (const char* shaped : {"Images/Plate.tga", "Interface/Button.tga", "Interface/Panel.tga", "Interface/Icon.tga",
                             "Interface/Firefly.tga", "Interface/Title.tga"}) {
    imageChain image = Load(shaped);
    EXPECT_EQ(Alpha(*image, 0, 0), 0) << shaped;
    EXPECT_EQ(Alpha(*image, image->width - 1, image->height - 1), 0) << shaped;
  }
}

TEST_F(artgen, PointerNozzleAndCloudsFitTheirScreens) {
  ASSERT_EQ(status_, 0);
  imageChain pointer = Load("Interface/Pointer.tga");
  EXPECT_EQ(Alpha(*pointer, 0, 0), 255);  // the hot spot
  EXPECT_EQ(Alpha(*pointer, 31, 0), 0);
  // The drop leaves the nozzle at the middle of its bottom row.
  imageChain nozzle = Load("Images/Nozzle.tga");
  EXPECT_GT(Alpha(*nozzle, 28, 63), 200);
  EXPECT_EQ(Alpha(*nozzle, 2, 63), 0);
  // The clouds scroll as two copies side by side: the last column leads into the first, and
  // the band fades out at the top and bottom.
  imageChain clouds = Load("Interface/Clouds.tga");
  int worst = 0, cloudy = 0;
  for (int y = 0; y < clouds->height; ++y) {
    const uint32_t left = clouds->pixels[static_cast<size_t>(y) * clouds->width];
    const uint32_t right = clouds->pixels[static_cast<size_t>(y) * clouds->width + clouds->width - 1];
    worst = std::max(worst, std::abs(Channel(left, 24) - Channel(right, 24)));
    if (Channel(left, 24) > 0) worst = std::max(worst, std::abs(Channel(left, 16) - Channel(right, 16)));
    cloudy += Channel(left, 24) > 20;
  }
  EXPECT_LE(worst, 8);
  EXPECT_GT(cloudy, 0);  // the joint runs through cloud, so the comparison means something
  for (int x = 0; x < clouds->width; ++x) {
    EXPECT_EQ(Alpha(*clouds, x, 0), 0);
    EXPECT_EQ(Alpha(*clouds, x, clouds->height - 1), 0);
  }
}

TEST_F(artgen, ButtonLooksShareTheirOutline) {
  ASSERT_EQ(status_, 0);
  for (const std::string& base : std::vector<std::string>{"Interface/Button", "Interface/Small Button", "Interface/Check Off"}) {
    const bool check = base == "Interface/Check Off";
    imageChain normal = Load(base + ".tga");
    for (const std::string& other : check ? std::vector<std::string>{"Interface/Check On.tga"}
                                         : std::vector<std::string>{base + " Hover.tga", base + " Pressed.tga"}) {
      imageChain look = Load(other);
      ASSERT_EQ(look->pixels.size(), normal->pixels.size()) << other;
      int differ = 0, edge = 0;
      for (size_t i = 0; i < look->pixels.size(); ++i) {
        const int a = normal->pixels[i] >> 24, b = look->pixels[i] >> 24;
        edge += a > 0 && a < 255;
        // The tick of the check box lies inside the box: only the clear and the rim pixels must agree.
        if (a != b && (!check || a < 200)) ++differ;
      }
      EXPECT_EQ(differ, 0) << other;
      EXPECT_GT(edge, 0) << other;  // rounded corners
    }
    // The looks differ inside: hover is brighter than normal at the middle of the plate.
    imageChain hover = Load(check ? "Interface/Check On.tga" : base + " Hover.tga");
    const size_t middle = static_cast<size_t>(normal->height / 2) * normal->width + normal->width / 2 - 6;
    EXPECT_NE(hover->pixels[middle], normal->pixels[middle]) << base;
  }
}

TEST_F(artgen, DrawsTheSamePixelsEveryRun) {
  ASSERT_EQ(status_, 0);
  TempDir again;
  ASSERT_EQ(RunTool(ARTGEN_TOOL, {again.path() + "Bin"}).status, 0);
  for (const expected& e : kPictures) {
    EXPECT_EQ(ReadFile(again.path() + "Bin/" + e.name), ReadFile(folder_->path() + "Bin/" + e.name)) << e.name;
  }
  // Without its folder argument it says how to call it.
  EXPECT_EQ(RunTool(ARTGEN_TOOL, {}).status, 2);
}

}  // namespace

// Screenshot files (folder, numbering, pixels as saved) and the background picture's tint.
#include "game/screenshot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "core/util.h"
#include "image/image.h"
#include "support/test_support.h"

namespace {

// A 2 x 2 frame as read back.
imageData Captured() {
  imageData image;
  image.width = 2;
  image.height = 2;
  image.pixels = {0xFFFFFFFFu, 0xFF0000FFu,   // white, blue
                  0xFFFF0000u, 0xFF00FF00u};  // red, green
  return image;
}

class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    if (home) home_ = home;
    const std::string& path = dir_.path();
    setenv("HOME", path.substr(0, path.size() - 1).c_str(), 1);  // without the final "/"

    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    tftest::UseProgramFolder(dir_, {});
  }
  void TearDown() override {
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    UtilSetAppFolder("");
  }
  std::string home_;
  tftest::TempDir dir_;
};

TEST_F(Screenshots, NumberedBitmapsInThePicturesFolder) {
  const std::string folder = dir_ / "Pictures/Thornfall/";
  EXPECT_EQ(ScreenshotFolder(), folder) << "made when missing";
  ASSERT_TRUE(tftest::WriteFile(folder + "screenshot2.bmp", "x"));
  EXPECT_EQ(ScreenshotFileName(folder), folder + "screenshot1.bmp") << "the smallest free number";
  ASSERT_TRUE(tftest::WriteFile(folder + "screenshot1.bmp", "x"));
  ASSERT_TRUE(tftest::WriteFile(folder + "screenshot3.bmp", "x"));
  EXPECT_EQ(ScreenshotSave(Captured()), folder + "screenshot4.bmp");

  imageChain saved = ImageLoadChain(folder + "screenshot4.bmp");
  ASSERT_TRUE(saved && !saved->substitute);
  ASSERT_EQ(saved->width, 2);
  EXPECT_EQ(saved->pixels[0] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(saved->pixels[1] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(saved->pixels[2] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(saved->pixels[3] & 0xFFFFFF, 0x00FF00u);

  // A pictures folder that cannot be made: the game folder's "Screenshots" takes its place.
  ASSERT_TRUE(tftest::WriteFile(dir_ / "config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + (dir_ / "file") + "\"\n"));
  ASSERT_TRUE(tftest::WriteFile(dir_ / "file", "not a folder"));
  EXPECT_EQ(ScreenshotFolder(), dir_ / "Screenshots/");
}

TEST_F(Screenshots, BackgroundIsADarkPurpleCopy) {
  imageData image = Captured();
  ScreenshotBackgroundTint(image);
  EXPECT_EQ(image.pixels[0] & 0xFFFFFF, 0x550055u) << "white becomes (85, 0, 85)";
  EXPECT_EQ(image.pixels[2] & 0xFFFFFF, 0x1C001Cu) << "255 / 9 = 28";
}

}  // namespace

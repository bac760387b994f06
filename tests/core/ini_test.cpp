#include "core/ini.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/log.h"
#include "core/util.h"
#include "support/test_support.h"

namespace {

using tftest::ReadFile;
using tftest::TempDir;
using tftest::WriteFile;

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    IniStart();
  }
  TempDir dir_;
};

TEST_F(IniTest, MissingFileAndKeysGiveDefaults) {
  EXPECT_EQ(IniReadString("Video", "Width", "abc"), "abc");
  EXPECT_EQ(IniReadInteger("Video", "Width", 1280), 1280);
  EXPECT_TRUE(IniReadBool("Video", "Fullscreen", true));
  EXPECT_FALSE(IniReadBool("Video", "Fullscreen", false));
  EXPECT_FALSE(tftest::FileExists(IniFilePath())) << "reading creates nothing";
}

TEST_F(IniTest, WritesReadBackInAnyCaseAndKeepEverythingElse) {
  ASSERT_TRUE(WriteFile(dir_ / "settings.ini",
                        "; player settings\r\n[Video]\r\nWidth=800\r\n; keep me\r\n\r\n[Score]\r\nName 1=Ann\r\n"));
  ASSERT_TRUE(IniWriteInteger("VIDEO", "width", 1024));
  ASSERT_TRUE(IniWriteBool("video", "Fullscreen", false));
  ASSERT_TRUE(IniWriteString("Audio", "Music Volume", "80"));
  EXPECT_EQ(ReadFile(dir_ / "settings.ini"),
            "; player settings\r\n[Video]\r\nWidth=1024\r\n; keep me\r\nFullscreen=No\r\n\r\n[Score]\r\n"
            "Name 1=Ann\r\n[Audio]\r\nMusic Volume=80\r\n");
  EXPECT_EQ(IniReadInteger("video", "WIDTH", 0), 1024);
  EXPECT_FALSE(IniReadBool("Video", "Fullscreen", true));
  EXPECT_EQ(IniReadString("score", "name 1", ""), "Ann");
  EXPECT_EQ(IniReadString("Audio", "Music Volume", ""), "80");
}

TEST_F(IniTest, ReaderToleratesLfSpacesAndQuotes) {
  ASSERT_TRUE(WriteFile(dir_ / "settings.ini", "[ Score ]\n  Name 2 =  \"Bo B\"  \nScore 2 = 42\n"));
  EXPECT_EQ(IniReadString("Score", "Name 2", ""), "Bo B");
  EXPECT_EQ(IniReadInteger("Score", "Score 2", 0), 42);
}

TEST_F(IniTest, BoolAndIntegerRules) {
  ASSERT_TRUE(WriteFile(dir_ / "settings.ini",
                        "[A]\nyes=yEs\nno=NO\none=1\ntrue=true\nneg=-17\nplus=+5\nbig=99999999999\nspace=1 2\n"));
  EXPECT_TRUE(IniReadBool("A", "yes", false));
  EXPECT_FALSE(IniReadBool("A", "no", true));
  EXPECT_TRUE(IniReadBool("A", "one", true));
  EXPECT_FALSE(IniReadBool("A", "one", false));
  EXPECT_FALSE(IniReadBool("A", "true", false));
  EXPECT_EQ(IniReadInteger("A", "neg", 3), -17);
  EXPECT_EQ(IniReadInteger("A", "plus", 3), 3);
  EXPECT_EQ(IniReadInteger("A", "big", 3), 3) << "more digits than 32 bits hold";
  EXPECT_EQ(IniReadInteger("A", "space", 3), 3);
}

TEST_F(IniTest, ShippedFileIsReadUntilTheUserHasOne) {
  TempDir user;
  setenv("XDG_DATA_HOME", user.path().c_str(), 1);
  UtilSetCommandLine(std::vector<std::string>{});
  IniStart();
  unsetenv("XDG_DATA_HOME");
  std::string userFile = user.path() + "Thornfall Developers/Thornfall/settings.ini";
  EXPECT_EQ(IniFilePath(), userFile);

  ASSERT_TRUE(WriteFile(dir_ / "settings.ini", "[Video]\nWidth=640\nHeight=480\n"));
  EXPECT_EQ(IniReadInteger("Video", "Width", 0), 640);
  ASSERT_TRUE(IniWriteInteger("Video", "Width", 1920));
  EXPECT_EQ(ReadFile(userFile), "[Video]\r\nWidth=1920\r\n");
  EXPECT_EQ(IniReadInteger("Video", "Width", 0), 1920);
  EXPECT_EQ(IniReadInteger("Video", "Height", 0), 0) << "the user's file shadows the shipped one";
  EXPECT_EQ(ReadFile(dir_ / "settings.ini"), "[Video]\nWidth=640\nHeight=480\n") << "shipped file untouched";
}

TEST_F(IniTest, WriteReplacesTheFileWholeAndAFailedWriteIsLoggedNotFatal) {
  ASSERT_TRUE(IniWriteString("Score", "Name 1", "line\r\nbreak"));
  EXPECT_EQ(IniReadString("Score", "Name 1", ""), "line  break");
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    entries += entry.path().filename().string().rfind("settings.ini", 0) == 0;
  }
  EXPECT_EQ(entries, 1) << "no temporary file left behind";

  // A folder where the file should be makes every write fail, even for root.
  TempDir other;
  tftest::UseProgramFolder(other);
  IniStart();
  tftest::MakeFolders(other / "settings.ini");
  EXPECT_FALSE(IniWriteInteger("Video", "Width", 5));
  EXPECT_EQ(IniReadInteger("Video", "Width", 7), 7);
  std::string log = ReadFile(LogGetFilePath());
  EXPECT_NE(log.find("Error: IniWriteInteger - Unable to write to " + IniFilePath()), std::string::npos) << log;
  EXPECT_TRUE(tftest::FileExists(other / "settings.ini"));
}

}  // namespace

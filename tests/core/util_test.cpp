#include "core/util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "support/test_support.h"

namespace {

using tftest::TempDir;

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1); else unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(UtilFolders, ProgramFolderComesFromTheRunningExecutable) {
  UtilSetAppFolder("");
  std::string path = UtilAppPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(UtilAppFolder(), path.substr(0, path.rfind('/') + 1));
  UtilSetAppFolder("/some/where");
  EXPECT_EQ(UtilAppFolder(), "/some/where/");
  UtilSetAppFolder("");
}

TEST(UtilFolders, UserDataFolderIsCreatedBelowTheDataHome) {
  TempDir dir;
  ScopedEnv dataHome("XDG_DATA_HOME", dir / "deep/share");
  UtilSetAppFolder(dir / "app");
  UtilSetCommandLine(std::vector<std::string>{});
  EXPECT_EQ(UtilUserDataFolder(), dir.path() + "deep/share/Thornfall Developers/Thornfall/");
  EXPECT_TRUE(UtilFolderExists(dir / "deep/share/Thornfall Developers/Thornfall"));

  UtilSetCommandLine(std::vector<std::string>{"-UserDataInApp"});
  EXPECT_EQ(UtilUserDataFolder(), dir.path() + "app/");
  UtilSetCommandLine(std::vector<std::string>{});

  // A data home that cannot be made falls back to the program folder.
  ASSERT_TRUE(tftest::WriteFile(dir / "file", "x"));
  ScopedEnv blocked("XDG_DATA_HOME", dir / "file/share");
  EXPECT_EQ(UtilUserDataFolder(), dir.path() + "app/");
  UtilSetAppFolder("");
}

TEST(UtilFolders, PicturesFolderFromUserDirsElseHome) {
  TempDir dir;
  ScopedEnv home("HOME", dir / "home");
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  EXPECT_EQ(UtilPicturesFolder(), dir.path() + "home/Pictures/");
  ASSERT_TRUE(tftest::WriteFile(dir / "config/user-dirs.dirs",
                                "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
  EXPECT_EQ(UtilPicturesFolder(), dir.path() + "home/Bilder/");
  EXPECT_TRUE(UtilFolderExists(dir / "home/Bilder"));
}

TEST(UtilVersion, CompileTimeTextsAndNoRegistry) {
  EXPECT_EQ(UtilVersionString("ProductName"), "Thornfall");
  EXPECT_FALSE(UtilVersionString("CompanyName").empty());
  EXPECT_EQ(UtilVersionString("NoSuchField"), "");
  EXPECT_EQ(UtilRegistryValue("Software\\Anything", "Value"), "");
}

TEST(UtilSwitches, WholeParametersInAnyCaseAndIntegerValues) {
  UtilSetCommandLine(std::vector<std::string>{"-sleep", "x", "-SLEEP", "25", "-novsyncx", "-sleep"});
  EXPECT_TRUE(UtilSwitchPresent("-Sleep"));
  EXPECT_FALSE(UtilSwitchPresent("-novsync"));
  EXPECT_EQ(UtilSwitchValue("-sleep", 7), 25) << "a switch without an integer is skipped";
  UtilSetCommandLine(std::vector<std::string>{"-sleep"});
  EXPECT_EQ(UtilSwitchValue("-sleep", 7), 7) << "switch as the last parameter";
  UtilSetCommandLine(std::vector<std::string>{"-sleep", "99999999999"});
  EXPECT_EQ(UtilSwitchValue("-sleep", 7), 7) << "too large for 32 bits";
  UtilSetCommandLine(std::vector<std::string>{});
}

TEST(UtilNumbers, IntegerTextRules) {
  for (const char* text : {"-", "+5", " 5", "5-", "", "5 ", "1.0", "--5"}) {
    EXPECT_FALSE(UtilIsInteger(text)) << '"' << text << '"';
  }
  for (const char* text : {"-5", "007", "0", "-0", "99999999999"}) EXPECT_TRUE(UtilIsInteger(text)) << text;
  EXPECT_TRUE(UtilIsPositiveInteger("000002"));
  EXPECT_TRUE(UtilIsPositiveInteger("99999999999"));
  EXPECT_FALSE(UtilIsPositiveInteger("000000"));
  EXPECT_FALSE(UtilIsPositiveInteger("-3"));

  int32_t value = 0;
  EXPECT_TRUE(UtilTextToInteger("-2147483648", value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_TRUE(UtilTextToInteger("2147483647", value));
  EXPECT_EQ(value, INT32_MAX);
  EXPECT_FALSE(UtilTextToInteger("2147483648", value));
  EXPECT_FALSE(UtilTextToInteger("-2147483649", value));
}

TEST(UtilNumbers, ClampInterpolateMonthPad) {
  EXPECT_EQ(UtilClamp(5, 10, 0), 5);
  EXPECT_EQ(UtilClamp(-3, 10, 0), 0);
  EXPECT_EQ(UtilClamp(12, 0, 10), 10);
  EXPECT_EQ(UtilInterpolate(0, 100, 0, 10, 5), 50);
  EXPECT_EQ(UtilInterpolate(7, 100, 3, 3, 5), 7);
  EXPECT_EQ(UtilInterpolate(0, 255, 0, 1000, 999), 254) << "division truncates";
  // Falling ranges and points before in0 would wrap in unsigned arithmetic; they must not.
  EXPECT_EQ(UtilInterpolate(100, 0, 0, 10, 5), 50);
  EXPECT_EQ(UtilInterpolate(0, 10, 0, 10, -5), -5);
  EXPECT_EQ(UtilInterpolate(0, 2000000, 0, 10, 3000), 600000000) << "products beyond 32 bits";
  EXPECT_EQ(UtilMonthName(1), "Jan");
  EXPECT_EQ(UtilMonthName(12), "Dec");
  EXPECT_EQ(UtilMonthName(0), "");
  EXPECT_EQ(UtilMonthName(13), "");
  EXPECT_EQ(UtilPadLeft("7", '0', 3), "007");
  EXPECT_EQ(UtilPadLeft("1234", '0', 3), "1234");
  EXPECT_EQ(UtilTrim(" \t 12 3\t"), "12 3");
  EXPECT_EQ(UtilTrim(" \t "), "");
  EXPECT_EQ(UtilTrim("\tword ", " "), "\tword");
  EXPECT_EQ(UtilSwapRedBlue(0x11223344u), 0x11443322u);
}

TEST(UtilArrays, SortsAreByteWiseAndStable) {
  utilArrayString names = {"b", "B", "a", "\xe9", "A"};
  UtilArrayStringSortAscending(names);
  EXPECT_EQ(names, (utilArrayString{"A", "B", "a", "b", "\xe9"}));
  UtilArrayStringSortDescending(names);
  EXPECT_EQ(names, (utilArrayString{"\xe9", "b", "a", "B", "A"}));
  EXPECT_TRUE(UtilArrayStringContains("a", names));
  EXPECT_FALSE(UtilArrayStringContains("C", names));

  int items[4] = {};
  std::vector<utilPair> pairs = {{3, &items[0]}, {1, &items[1]}, {3, &items[2]}, {-2, &items[3]}};
  UtilSortPairs(pairs);
  EXPECT_EQ(pairs[0].reference, &items[3]);
  EXPECT_EQ(pairs[1].reference, &items[1]);
  EXPECT_EQ(pairs[2].reference, &items[0]) << "equal keys keep their order";
  EXPECT_EQ(pairs[3].reference, &items[2]);
}

}  // namespace

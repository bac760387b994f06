// Runs the real program from a folder of its own and reads the log it leaves.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace {

using tftest::TempDir;

int RunProgram(const TempDir& dir, const std::string& arguments) {
  std::string program = dir / "thornfall";
  std::filesystem::copy_file(THORNFALL_BINARY, program);
  int status = std::system(("cd '" + dir.path() + "' && HOME='" + dir.path() + "' '" + program + "' " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Startup, UnitsStartInOrderAndTheProgramEndsCleanly) {
  TempDir dir;
  ASSERT_EQ(RunProgram(dir, "-userdatainapp -startinfo -ver -trace"), 0);
  std::string log = tftest::ReadFile(dir / "results.log");
  std::string expected =
      "Parameters:\r\n    -userdatainapp\r\n    -startinfo\r\n    -ver\r\n    -trace\r\n"
      "Framework Versions:\r\n"
      "    fwkLog - Version 1.0\r\n"
      "    fwkDataFile - Version 1.0\r\n"
      "    fwkUtilities - Version 1.0\r\n"
      "    fwkImageJPG - Version Alpha.0\r\n"
      "    fwkImageGIF - Version Alpha.0\r\n"
      "    fwkImage - Version Alpha.0\r\n"
      "    fwkIni - Version 1.0\r\n"
      "    fwkState - Version Alpha.0\r\n"
      "    fwkMat - Version 1.0\r\n";
  ASSERT_EQ(log.rfind("Application \"" + dir.path() + "thornfall\" started on ", 0), 0u) << log;
  EXPECT_NE(log.find("\r\n" + expected), std::string::npos) << log;
}

TEST(Startup, QuietRunLeavesNoLogAndUsesTheUserDataFolder) {
  TempDir dir;
  ASSERT_EQ(RunProgram(dir, ""), 0);
  EXPECT_FALSE(tftest::FileExists(dir / "results.log"));
  EXPECT_TRUE(tftest::FileExists(dir / ".local/share/Thornfall Developers/Thornfall"));
}

}  // namespace

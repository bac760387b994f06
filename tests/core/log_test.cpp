#include "core/log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "core/util.h"
#include "support/test_support.h"

namespace {

using tftest::ReadFile;
using tftest::TempDir;

// The log's lines, split at CR LF; a line end other than CR LF leaves a stray byte and fails.
std::vector<std::string> LogLines() {
  std::string text = ReadFile(LogGetFilePath());
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(LogBanner, WithoutParametersTheFirstLineCreatesTheFileInTheUserFolder) {
  TempDir dir;
  setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
  UtilSetAppFolder("");
  UtilSetCommandLine(std::vector<std::string>{});
  LogStart();
  unsetenv("XDG_DATA_HOME");

  EXPECT_EQ(LogGetFilePath(), dir.path() + "Thornfall Developers/Thornfall/results.log");
  EXPECT_FALSE(tftest::FileExists(LogGetFilePath())) << "nothing logged, no -startinfo";
  LogError("Thing - It broke.");
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Application \"" + UtilAppPath() + "\" started on ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(" at "), std::string::npos);
  EXPECT_EQ(lines[1], "Parameters:");
  EXPECT_EQ(lines[2], "    (None)");
  EXPECT_EQ(lines[3], "Error: Thing - It broke.");
  EXPECT_EQ(LogGetFileName(), "results.log");
}

TEST(LogBanner, StartInfoWritesBannerWithEveryParameterAndVersionsOnce) {
  TempDir dir;
  tftest::UseProgramFolder(dir, {"-STARTINFO", "-ver", "-sleep", "5"});
  EXPECT_EQ(LogGetFilePath(), dir.path() + "results.log");
  UtilSetCommandLine({});  // the switches count as they were when the log started
  LogVersion("fwkDataFile - Version 1.0");
  LogWrite("plain");
  std::vector<std::string> lines = LogLines();
  std::vector<std::string> expected = {"Parameters:", "    -userdatainapp", "    -STARTINFO", "    -ver",
                                       "    -sleep", "    5", "Framework Versions:",
                                       "    fwkLog - Version 1.0", "    fwkDataFile - Version 1.0", "plain"};
  ASSERT_EQ(lines.size(), expected.size() + 1);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

TEST(LogBanner, StartDeletesThePreviousLogEvenWhenNothingIsLogged) {
  TempDir dir;
  ASSERT_TRUE(tftest::WriteFile(dir / "results.log", "old run\r\n"));
  tftest::UseProgramFolder(dir);
  EXPECT_FALSE(tftest::FileExists(dir / "results.log"));
}

TEST(LogVersions, NothingWithoutTheSwitchAndPrefixSwitchesDoNotCount) {
  TempDir dir;
  tftest::UseProgramFolder(dir, {"-verbose", "-tracer"});
  LogVersion("fwkMat - Version 1.0");
  LogTraceBegin("Outer - ");
  LogTrace("inside");
  LogWrite("after");
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 6u);  // banner of four lines, then only "after", unindented
  EXPECT_EQ(lines.back(), "after");
}

TEST(LogTrace, NestsByTwoSpacesAndNeverGoesBelowNothing) {
  TempDir dir;
  tftest::UseProgramFolder(dir, {"-Trace"});
  LogTraceBegin("AudioPause - ");
  LogTraceBegin("AudioStop - ");
  LogTrace("deep");
  LogError("Deep - Failure.");
  LogTraceEnd("AudioStop - ");
  LogTraceEnd("AudioPause - ");
  LogTraceEnd("Extra - ");
  LogTraceEnd("Extra - ");
  LogTrace("flat");
  std::vector<std::string> lines = LogLines();
  std::vector<std::string> expected = {"AudioPause - Begin", "  AudioStop - Begin", "    deep",
                                       "    Error: Deep - Failure.", "  AudioStop - End", "AudioPause - End",
                                       "Extra - End", "Extra - End", "flat"};
  ASSERT_EQ(lines.size(), 4 + expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), expected);
}

TEST(LogTrace, LinesInAnUnwritableFolderAreDroppedWithoutHarm) {
  TempDir dir;
  tftest::UseProgramFolder(dir);
  UtilSetAppFolder(dir / "missing");
  LogStart();
  LogError("Nowhere - Dropped.");
  EXPECT_FALSE(tftest::FileExists(dir / "missing/results.log"));
  UtilSetAppFolder(dir.path());
  LogStart();
  LogWrite("back");
  EXPECT_EQ(LogLines().back(), "back");
}

TEST(LogErrorText, KnownAndUnknownErrorNumbers) {
  errno = ENOENT;
  EXPECT_EQ(LogWindowsErrorText(), "No such file or directory");
  errno = 98765;
  EXPECT_EQ(LogWindowsErrorText(), "Unrecognized windows error code: 98765");
}

}  // namespace

#include "data/mat.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace {

using tftest::LE16;
using tftest::LE32;
using tftest::TempDir;

std::string Header(int32_t width, int32_t height, uint8_t major = 1, uint8_t minor = 0) {
  return std::string("MAT") + static_cast<char>(major) + static_cast<char>(minor) +
         LE32(static_cast<uint32_t>(width)) + LE32(static_cast<uint32_t>(height));
}

std::string Entry(uint32_t colour, const std::string& name) {
  return LE32(colour) + static_cast<char>(name.size()) + name;
}

std::string RunOf(uint16_t length, uint8_t index) { return LE16(length) + static_cast<char>(index); }

class MatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    DataFileStart();
  }
  void TearDown() override { DataFileEnd(); }

  // Writes the file under Bin\Maps and returns its data name.
  std::string Put(const std::string& bytes) {
    EXPECT_TRUE(tftest::WriteFile(dir_ / "Bin/Maps/test.mat", bytes));
    return "Bin\\Maps\\test.mat";
  }
  TempDir dir_;
};

TEST_F(MatTest, ReadsEntriesAndRunsAndExpandsRowByRow) {
  std::string name = Put(Header(3, 2) + static_cast<char>(3) + Entry(0x00112233, "walk") + Entry(7, "") +
                         Entry(0xFF0000FF, "water") + RunOf(2, 1) + RunOf(3, 2) + RunOf(1, 0));
  matRaw raw = MatOpenRaw(name);
  ASSERT_TRUE(MatRawValid(raw));
  EXPECT_EQ(raw.width, 3);
  EXPECT_EQ(raw.height, 2);
  ASSERT_EQ(raw.entries.size(), 3u);
  EXPECT_EQ(raw.entries[0].name, "walk");
  EXPECT_EQ(raw.entries[0].colour, 0x00112233u);
  EXPECT_EQ(raw.entries[1].name, "") << "a name of length 0";
  EXPECT_EQ(raw.entries[2].colour, 0xFF0000FFu);
  ASSERT_EQ(raw.runs.size(), 3u);
  EXPECT_EQ(raw.runs[1].length, 3);
  EXPECT_EQ(raw.runs[1].index, 2);

  matData data = MatOpen(name);
  ASSERT_TRUE(MatDataValid(data));
  EXPECT_EQ(data.cells, (std::vector<uint8_t>{1, 1, 2, 2, 2, 0}));
  EXPECT_FALSE(tftest::FileExists(LogGetFilePath())) << "a good file logs nothing";
}

TEST_F(MatTest, ShortRunsLeaveZeroAndLongRunsAreCut) {
  std::string entries = static_cast<char>(2) + Entry(1, "a") + Entry(2, "b");
  matData shortRuns = MatOpen(Put(Header(4, 2) + entries + RunOf(3, 1)));
  EXPECT_EQ(shortRuns.cells, (std::vector<uint8_t>{1, 1, 1, 0, 0, 0, 0, 0}));
  matData longRuns = MatOpen(Put(Header(2, 2) + entries + RunOf(3, 1) + RunOf(65535, 1) + RunOf(9, 0)));
  EXPECT_EQ(longRuns.cells, (std::vector<uint8_t>{1, 1, 1, 1}));
}

TEST_F(MatTest, EntriesWithoutRunsReadButDoNotExpand) {
  std::string name = Put(Header(2, 2) + static_cast<char>(1) + Entry(1, "a"));
  matRaw raw = MatOpenRaw(name);
  EXPECT_EQ(raw.entries.size(), 1u);
  EXPECT_FALSE(MatRawValid(raw));
  EXPECT_FALSE(MatDataValid(MatOpen(name)));
  EXPECT_FALSE(tftest::FileExists(LogGetFilePath())) << "no error for a file without runs";
}

TEST_F(MatTest, EveryDamageGivesItsMessageAndAnEmptyRecord) {
  std::string good = Header(2, 1) + static_cast<char>(2) + Entry(5, "ab") + Entry(6, "c") + RunOf(2, 1);
  struct Case {
    std::string bytes;
    std::string message;
  };
  const size_t entriesAt = 14;
  std::vector<Case> cases = {
      {"MA", "Unable to read mat header."},
      {"MAX" + good.substr(3), "Unrecognized mat header."},
      {"MAT", "Unable to read mat major version."},
      {Header(2, 1, 2), "Unsupported mat major version \"2\"."},
      {"MAT\x01", "Unable to read mat minor version."},
      {Header(2, 1, 1, 1), "Unsupported mat minor version \"1\"."},
      {good.substr(0, 7), "Unable to read mat width."},
      {Header(0, 1), "No mat width."},
      {good.substr(0, 11), "Unable to read mat height."},
      {Header(2, 0), "No mat height."},
      {Header(2, 1), "Unable to read mat entry count."},
      {Header(2, 1) + '\0', "No mat entries."},
      {good.substr(0, entriesAt + 2), "Unable to read mat color for entry \"1\"."},
      {good.substr(0, entriesAt + 4), "Unable to read mat name length for entry \"1\"."},
      {good.substr(0, entriesAt + 6), "Unable to read mat name for entry \"1\"."},
      {good.substr(0, entriesAt + 7 + 3), "Unable to read mat color for entry \"2\"."},
      {good.substr(0, entriesAt + 7 + 5), "Unable to read mat name for entry \"2\"."},
      {good + '\x01', "Unable to read mat run length."},
      {good + LE16(1), "Unable to read mat run index."},
      {good + RunOf(1, 2), "Invalid mat run index \"2\"."},
      {Header(-3, 1) + good.substr(13), "Invalid mat width \"-3\"."},
      {Header(3, -1) + good.substr(13), "Invalid mat height \"-1\"."},
      {Header(65535, 65535) + good.substr(13), "Mat size \"65535 x 65535\" is too large."},
  };
  for (const Case& c : cases) {
    std::string name = Put(c.bytes);
    matRaw raw = MatOpenRaw(name);
    EXPECT_EQ(tftest::LastLogLine(), "Error: MatOpenRaw - " + c.message);
    EXPECT_TRUE(raw.entries.empty() && raw.runs.empty() && raw.width == 0 && raw.height == 0) << c.message;
    EXPECT_FALSE(MatDataValid(MatOpen(name))) << c.message;
  }
  MatOpenRaw("Bin\\Maps\\missing.mat");
  EXPECT_EQ(tftest::LastLogLine(), "Error: MatOpenRaw - Unable to open \"Bin\\Maps\\missing.mat\".");
  EXPECT_TRUE(MatRawValid(MatOpenRaw(Put(good)))) << "the undamaged file reads";
}

TEST(MatRecords, ClearedRecordsAreEmptyAndInvalid) {
  matRaw raw = MatRawClear();
  matData data = MatDataClear();
  EXPECT_FALSE(MatRawValid(raw));
  EXPECT_FALSE(MatDataValid(data));
  EXPECT_EQ(raw.width, 0);
  EXPECT_TRUE(data.cells.empty());
}

}  // namespace

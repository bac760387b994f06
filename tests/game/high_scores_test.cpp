// The high-score table's insertion rule and its rows in "settings.ini".
#include "game/high_scores.h"

#include <gtest/gtest.h>

#include "core/ini.h"
#include "core/util.h"
#include "support/test_support.h"

namespace {

class HighScores : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_, {});
    IniStart();
    HighScoresRead();
  }
  void TearDown() override {
    IniEnd();
    UtilSetAppFolder("");
  }
  std::string Row(int32_t rank) {
    std::string name;
    int32_t score = -1;
    HighScoreGet(rank, name, score);
    return name + ":" + std::to_string(score);
  }
  tftest::TempDir dir_;
};

TEST_F(HighScores, InsertionRuleAndTheSettingsFile) {
  HighScoreSet("nobody", 0);
  EXPECT_EQ(Row(1), ":0") << "0 beats none of five empty rows";
  HighScoreSet("ann", 300);
  HighScoreSet("bob", 500);
  HighScoreSet("cy", 300);  // equal to ann's: below it
  HighScoreSet("dee", 100);
  HighScoreSet("eve", 700);
  EXPECT_EQ(Row(1), "eve:700");
  EXPECT_EQ(Row(2), "bob:500");
  EXPECT_EQ(Row(3), "ann:300");
  EXPECT_EQ(Row(4), "cy:300");
  EXPECT_EQ(Row(5), "dee:100");
  HighScoreSet("fay", 100);  // equals the last row: beats nothing
  EXPECT_EQ(Row(5), "dee:100");
  HighScoreSet("gus", 400);  // row 5 drops out
  EXPECT_EQ(Row(3), "gus:400");
  EXPECT_EQ(Row(5), "cy:300");
  EXPECT_EQ(Row(0), ":0");
  EXPECT_EQ(Row(6), ":0");

  HighScoresWrite();
  const std::string file = tftest::ReadFile(IniFilePath());
  EXPECT_NE(file.find("[Score]"), std::string::npos);
  EXPECT_NE(file.find("Name 1=eve"), std::string::npos);
  EXPECT_NE(file.find("Score 3=400"), std::string::npos);
  HighScoreSet("zed", 9000);
  HighScoresRead();
  EXPECT_EQ(Row(1), "eve:700") << "read back from the file";
  EXPECT_EQ(Row(5), "cy:300");
}

}  // namespace

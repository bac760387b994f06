#include "game/high_scores.h"

#include <array>

#include "core/ini.h"

namespace {

struct highScore {
  std::string name;
  int32_t score = 0;
};

std::array<highScore, kHighScoreRows> gRows;

const char* const kSection = "Score";
std::string Key(const char* what, size_t row) { return std::string(what) + " " + std::to_string(row + 1); }

}  // namespace

void HighScoresRead() {
  for (size_t row = 0; row < gRows.size(); ++row) {
    gRows[row].name = IniReadString(kSection, Key("Name", row), "");
    gRows[row].score = IniReadInteger(kSection, Key("Score", row), 0);
  }
}

void HighScoresWrite() {
  IniWriteBegin();
  for (size_t row = 0; row < gRows.size(); ++row) {
    IniWriteString(kSection, Key("Name", row), gRows[row].name);
    IniWriteInteger(kSection, Key("Score", row), gRows[row].score);
  }
  IniWriteCommit();
}

void HighScoreGet(int32_t rank, std::string& name, int32_t& score) {
  name.clear();
  score = 0;
  if (rank < 1 || rank > kHighScoreRows) return;
  name = gRows[static_cast<size_t>(rank) - 1].name;
  score = gRows[static_cast<size_t>(rank) - 1].score;
}

void HighScoreSet(const std::string& name, int32_t score) {
  for (size_t row = 0; row < gRows.size(); ++row) {
    if (gRows[row].score >= score) continue;
    for (size_t below = gRows.size() - 1; below > row; --below) gRows[below] = gRows[below - 1];
    gRows[row] = {name, score};
    return;
  }
}

// A long run of the real game under Xvfb with random input: level after level through the score
// and game-over screens, while the program's resident memory and open file descriptors are
// sampled from /proc. After the first level neither may grow, and nothing is logged as an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "shell/startup_fixture.h"
#include "support/test_support.h"

namespace {

using namespace tftest;
namespace fs = std::filesystem;

constexpr int32_t kSoakMs = 160000;  // about 9,600 frames at 60 a second
constexpr int64_t kRssSlackKb = 6 * 1024;  // allocator and driver caches settling
constexpr int32_t kFdSlack = 2;

struct sample {
  int64_t rssKb = 0;
  int32_t fds = 0;
};

sample Sample(pid_t pid) {
  sample s;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) s.rssKb = std::atoll(line.c_str() + 6);
  }
  std::error_code ignored;
  for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored); it != fs::directory_iterator();
       it.increment(ignored)) {
    ++s.fds;
  }
  return s;
}

// The screen the log entered last ("main", "game", "score", "gameover", ...).
std::string CurrentScreen(const std::string& log) {
  const std::string text = ReadFile(log);
  const size_t at = text.rfind("ScreenEnter - ");
  if (at == std::string::npos) return {};
  const size_t end = text.find(".vmc", at);
  const size_t start = text.rfind('\\', end);
  return end == std::string::npos || start == std::string::npos ? std::string() : text.substr(start + 1, end - start - 1);
}

class Soak : public GameSession {
 protected:
  // Random input may ask xdotool for what it cannot do: its status does not matter.
  void X(const std::string& what) { OnGameWindow(what); }
  void Click(int x, int y) { X("mousemove --window %W " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }

  TempDir dir_;
  std::string log_ = dir_ / "results.log";
};

TEST_F(Soak, LevelAfterLevelOfRandomInputKeepsMemoryAndFilesFlat) {
  WriteFile(dir_ / "settings.ini", "[Video]\nWidth=1280\nHeight=720\nBPP=32\nFullscreen=No\n");
  auto game = Prepare(dir_);
  ASSERT_TRUE(game->Start(server_->display(), {"-userdatainapp", "-trace"}));
  ASSERT_TRUE(GameRun::WaitForText(log_, "ScreenEnter - Bin\\Scripts\\main.vmc", kStartMs)) << ReadFile(log_);

  std::mt19937 random(20261208);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  const std::vector<std::string> keys = {"Left", "Right", "Up", "Down", "space", "space", "a", "Return"};
  std::vector<sample> levels;  // one sample as each level after the first begins
  int levelsSeen = 0, gameOvers = 0;
  // The run is measured by the clock: each step waits for xdotool.
  const auto step = [&] {
        if (game->Wait(0) != -1) return true;  // ended early: the checks below say so
        const int levelsNow = CountInFile(log_, "ScreenEnter - Bin\\Scripts\\game.vmc");
        if (levelsNow > levelsSeen) {
          levelsSeen = levelsNow;
          if (levelsNow >= 2) levels.push_back(Sample(game->pid()));
        }
        const std::string screen = CurrentScreen(log_);
        if (screen == "main") {
          Click(640, 294);  // Play
        } else if (screen == "score") {
          Click(640, 502);  // Next, once the tally has counted
        } else if (screen == "gameover") {
          ++gameOvers;
          X("windowfocus --sync %W type --delay 30 Soak");
          X("windowfocus --sync %W key Return");
          Click(640, 582);  // Menu
        } else {
          // The game screen: pointer moves, presses and keys at random.
          std::string what = "windowfocus --sync %W";
          for (int i = 0; i < 6; ++i) {
            switch (pick(0, 3)) {
              case 0: what += " mousemove --window %W " + std::to_string(pick(0, 1279)) + " " + std::to_string(pick(60, 719)); break;
              case 1: what += " click 1"; break;
              case 2: what += " mousedown 1 mousemove_relative -- " + std::to_string(pick(-200, 200)) + " 0 mouseup 1"; break;
              default: what += " key " + keys[pick(0, static_cast<int>(keys.size()) - 1)]; break;
            }
          }
          X(what);
        }
        return false;
  };
  bool ended = false;
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSoakMs);
       !ended && std::chrono::steady_clock::now() < end;) {
    ended = step();
    usleep(20000);
  }
  EXPECT_FALSE(ended) << "the game ended during the run: " << ReadFile(dir_ / "output.txt") << ReadFile(log_);
  const sample last = Sample(game->pid());

  ASSERT_GE(levels.size(), 1u) << "levels begun: " << levelsSeen << "\n" << ReadFile(log_);
  EXPECT_GT(CountInFile(log_, "ScreenEnter - Bin\\Scripts\\score.vmc") + gameOvers, 0);
  const sample first = levels.front();
  std::string figures;
  for (const sample& s : levels) figures += " " + std::to_string(s.rssKb) + " kB/" + std::to_string(s.fds) + " fds";
  std::printf("soak: %d levels, %d game-over passes; at each level from the second:%s; at the end %lld kB/%d fds\n",
              levelsSeen, gameOvers, figures.c_str(), static_cast<long long>(last.rssKb), last.fds);
  // A level's start is a moment of passing peaks (the autosave reads the whole frame back), so
  // one sample may stand out; a leak raises every later sample, the lowest and the last too.
  int64_t lowestLater = last.rssKb;
  for (size_t i = 1; i < levels.size(); ++i) lowestLater = std::min(lowestLater, levels[i].rssKb);
  for (const sample& s : levels) EXPECT_LE(s.fds, first.fds + kFdSlack) << figures;
  EXPECT_LE(lowestLater, first.rssKb + kRssSlackKb) << figures;
  EXPECT_LE(last.rssKb, first.rssKb + kRssSlackKb) << figures;
  EXPECT_LE(last.fds, first.fds + kFdSlack) << figures;

  x_->RequestClose(WaitForWindow(NotSplash).id);
  EXPECT_EQ(game->Wait(kStartMs), 0) << ReadFile(dir_ / "output.txt");
  const std::string log = ReadFile(log_);
  EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
}

}  // namespace

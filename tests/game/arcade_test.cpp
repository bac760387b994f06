// The arcade rules with a seeded generator, and their sounds through OpenAL Soft's wave driver.
#include "game/arcade.h"

#include <set>

#include "audio/audio_fixture.h"
#include "game/game_sounds.h"

namespace {

class Arcade : public AudioTest {
 protected:
  void SetUp() override {
    const std::string tone = audiotest::OggFile(audiotest::Tone(440, 0.5, 48000, 2.0), 48000);
    Put("Bin/Audio/SFX/Spray.ogg", tone);
    Put("Bin/Audio/SFX/Crumbling.ogg", tone);
    Start();
    GameRandomSeed(12345);
    ArcadeReset();
  }
  void TearDown() override {
    GameSoundsClear();
    AudioTest::TearDown();
  }
  // A level started after `level` earlier starts.
  void StartLevel(int32_t level) {
    ArcadeResetLevel();
    for (int32_t i = 0; i < level; ++i) ArcadeLevelStart();
    ArcadeLevelStart();
  }
  // Updates until the condition holds (at most `limit` times); the number of updates.
  template <typename Done>
  int32_t UpdateUntil(Done done, int32_t elapsed = 0, int32_t limit = 2000) {
    int32_t n = 0;
    while (!done() && n < limit) {
      ArcadeUpdate(elapsed);
      ++n;
    }
    return n;
  }
  arcadeBuilding& First() { return const_cast<arcadeBuilding&>(ArcadeBuildings()[0]); }
};

TEST_F(Arcade, LevelsBuildTheirBuildings) {
  std::set<int32_t> floors, weeds;
  for (int round = 0; round < 50; ++round) {
    StartLevel(0);
    ASSERT_EQ(ArcadeBuildings().size(), 4u);
    EXPECT_EQ(ArcadeLevel(), 1);
    for (const arcadeBuilding& b : ArcadeBuildings()) {
      floors.insert(b.floors);
      weeds.insert(b.weedTop);
      EXPECT_EQ(b.weedSpeed, 40);
      EXPECT_EQ(b.top, 720 - 63 * b.floors);
      EXPECT_EQ(b.floorTypes.size(), static_cast<size_t>(b.floors));
      for (int32_t type : b.floorTypes) EXPECT_TRUE(type >= 1 && type <= 5);
      EXPECT_TRUE(b.weedLimit == 216 || b.weedLimit == 279 || b.weedLimit == 342);
    }
  }
  EXPECT_EQ(floors, (std::set<int32_t>{6, 7, 8}));
  EXPECT_EQ(weeds, (std::set<int32_t>{783, 846, 909, 972}));
  EXPECT_EQ(ArcadeBuildings()[1].x, 350);
  EXPECT_EQ(ArcadeBuildings()[3].x, 1010);

  StartLevel(4);
  for (const arcadeBuilding& b : ArcadeBuildings()) {
    EXPECT_EQ(b.weedTop, 783) << "from level 4 on the weeds start at 783";
    EXPECT_TRUE(b.weedSpeed >= 60 && b.weedSpeed <= 75 && b.weedSpeed % 5 == 0);
  }
  StartLevel(6);
  for (const arcadeBuilding& b : ArcadeBuildings()) EXPECT_EQ(b.floors, 2);
  EXPECT_EQ(GameRandom(0), 0);
  EXPECT_EQ(GameRandom(-4), 0);
}

TEST_F(Arcade, DropsFallHitAndSplash) {
  StartLevel(0);
  First().weedTop = 600;
  ArcadeDropShoot(500, 700, 1);  // over no building's weeds, falls off the screen
  ArcadeDropShoot(100, 590, 2);  // on the first building's weeds after 100 ms
  EXPECT_EQ(ArcadeShots(), 2);
  EXPECT_EQ(ArcadeUpdate(100), 5);
  EXPECT_EQ(ArcadeHits(), 1);
  EXPECT_TRUE(ArcadeDrops().empty()) << "one fell past 720, one hit";
  ASSERT_EQ(ArcadeSplashes().size(), 1u);
  EXPECT_EQ(ArcadeSplashes()[0].y, 620);
  EXPECT_TRUE(First().retreating);
  EXPECT_EQ(First().retreatTarget, 663);
  EXPECT_EQ(First().tintTarget, 128);
  EXPECT_EQ(First().tint, 245) << "a step of 10 toward the target in the same update";
  EXPECT_EQ(First().weedTop, 601);

  // A drop landing while the weeds retreat still scores, but the retreat stays as it was.
  ArcadeDropShoot(100, 650, 1);
  EXPECT_EQ(ArcadeUpdate(0), 5);
  EXPECT_EQ(ArcadeHits(), 2);
  EXPECT_EQ(First().retreatTarget, 663);
  for (int i = 0; i < 4; ++i) ArcadeUpdate(0);
  EXPECT_EQ(ArcadeSplashes().size(), 1u) << "the first splash aged out after 6 updates";
  UpdateUntil([&] { return !First().retreating; });
  EXPECT_EQ(First().weedTop, 663);
  EXPECT_EQ(First().tint, 138) << "down to 128 during the retreat, and a step back up as it ends";
  UpdateUntil([&] { return First().tint == 255; });
  EXPECT_EQ(First().tintTarget, 255);
}

// Motion slower than a pixel per frame keeps its fractions: at 60 frames a second (16 or 17 ms)
// the weeds still climb 40 pixels a second and the drops fall 300.
TEST_F(Arcade, SlowMotionAddsUpAcrossFrames) {
  StartLevel(0);
  arcadeBuilding& b = First();
  b.weedSpeed = 40;
  b.weedTop = 700;
  ArcadeDropShoot(500, 100, 1);
  for (int frame = 0; frame < 60; ++frame) ArcadeUpdate(frame % 3 == 0 ? 16 : 17);  // 1,000 ms
  EXPECT_EQ(b.weedTop, 660);
  ASSERT_EQ(ArcadeDrops().size(), 1u);
  EXPECT_EQ(ArcadeDrops()[0].y, 400);
}

TEST_F(Arcade, WeedsBringBuildingsDown) {
  StartLevel(0);
  arcadeBuilding& b = First();
  const int32_t top = b.top;
  // Weeds above the sink line sink the building one floor, a pixel an update, shaking.
  b.weedTop = 500;
  ArcadeUpdate(0);
  EXPECT_TRUE(b.sinking);
  EXPECT_EQ(b.sinkTarget, top + 63);
  EXPECT_EQ(UpdateUntil([&] { return !b.sinking; }), 64) << "63 pixels, then the update that stops";
  EXPECT_EQ(b.top, top + 63);
  EXPECT_EQ(b.weedTop, 563);

  // The roof reached: down to 720, one pixel an update, with the crumbling sound playing.
  b.weedTop = b.top;
  ArcadeUpdate(0);
  EXPECT_EQ(b.sinkTarget, 720);
  bool shook = false;
  while (b.top < 720) {
    const int32_t before = b.top;
    ArcadeUpdate(0);
    ASSERT_EQ(b.top, before + 1);
    EXPECT_TRUE(b.shake >= -3 && b.shake <= 3);
    shook = shook || b.shake != 0;
    // Sound 1 crumbled the floor above and was stopped when that sinking ended; this is sound 2.
    ASSERT_EQ(AudioGetStatus(2), kAudioStatusPlaying);
  }
  EXPECT_TRUE(shook);
  EXPECT_EQ(ArcadeBuildingScore(1), 0);
  EXPECT_FALSE(ArcadeBuildingStanding(1));
  EXPECT_EQ(ArcadeBuildingHeight(1), 720);
  ArcadeUpdate(0);  // nothing crumbles any more: the sound stops
  EXPECT_EQ(AudioGetStatus(1), kAudioStatusStopped);
  EXPECT_EQ(AudioGetStatus(2), kAudioStatusStopped);

  // A sunk building's weeds climb to its limit and no further; it never sinks below 720.
  UpdateUntil([&] { return b.weedTop <= b.weedLimit; }, 1000);
  EXPECT_GE(b.weedTop, b.weedLimit - 40);
  const int32_t weeds = b.weedTop;
  for (int i = 0; i < 10; ++i) ArcadeUpdate(1000);
  EXPECT_EQ(b.weedTop, weeds);
  EXPECT_EQ(b.top, 720);

  // Queries on the standing neighbours and unknown buildings.
  EXPECT_EQ(ArcadeBuildingScore(2), (720 - ArcadeBuildingHeight(2)) / 10);
  EXPECT_TRUE(ArcadeBuildingStanding(2));
  EXPECT_EQ(ArcadeBuildingHeight(0), 0);
  EXPECT_FALSE(ArcadeBuildingStanding(5));
}

}  // namespace

#include "game/arcade.h"

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "audio/audio.h"
#include "core/ids.h"
#include "game/game_sounds.h"
#include "graphics/model.h"

namespace {

constexpr int32_t kScreenBottom = 720;
constexpr int32_t kFloorHeight = 63;
constexpr int32_t kBuildingWidth = 239;
constexpr std::array<int32_t, 4> kBuildingLefts{20, 350, 680, 1010};
// Weeds above this line make their building sink a floor (and the roof reached brings it down).
constexpr int32_t kWeedSinkLine = 528;
constexpr int32_t kDropSpeed = 300;  // pixels a second
constexpr int32_t kDropHitOffset = 10;
constexpr int32_t kHitPoints = 5;
constexpr int32_t kSplashAge = 6;
constexpr int32_t kTintFull = 255;
constexpr int32_t kTintPushed = 128;
constexpr int32_t kTintStep = 10;
constexpr int32_t kWeedTopHeight = 64;
constexpr int32_t kWeedTileHeight = 128;
constexpr float kDepth = -5.0f;

const char* const kSpraySound = "Bin\\Audio\\SFX\\Spray.ogg";
const char* const kCrumblingSound = "Bin\\Audio\\SFX\\Crumbling.ogg";

enum picture { kFloorA, kFloorB, kFloorC, kFloorD, kFloorE, kWeedTop, kWeedTile, kDropLeft, kDropRight,
               kSplash1, kSplash2, kPictureCount };
const std::array<const char*, kPictureCount> kPictureFiles{
    "Bin\\Images\\FloorA.tga",     "Bin\\Images\\FloorB.tga",     "Bin\\Images\\FloorC.tga",
    "Bin\\Images\\FloorD.tga",     "Bin\\Images\\FloorE.tga",     "Bin\\Images\\Weed Top.tga",
    "Bin\\Images\\Weed Tile.tga",  "Bin\\Images\\Drop Left.tga",  "Bin\\Images\\Drop Right.tga",
    "Bin\\Images\\Splash 1.tga",   "Bin\\Images\\Splash 2.tga"};

struct arcadeState {
  std::vector<arcadeBuilding> buildings;
  std::vector<arcadeDrop> drops;
  std::vector<arcadeSplash> splashes;
  int32_t level = 0;
  int32_t hits = 0;
  int32_t shots = 0;
  int32_t crumbling = -1;  // the crumbling sound while it plays
  std::array<int32_t, kPictureCount> pictures{};
};

arcadeState gArcade;
std::mt19937 gRandom{std::random_device{}()};

const arcadeBuilding* Building(int32_t n) {
  if (n < 1 || static_cast<size_t>(n) > gArcade.buildings.size()) return nullptr;
  return &gArcade.buildings[static_cast<size_t>(n) - 1];
}

// Pixels moved at `speed` pixels a second in `elapsed` ms. The thousandths that a whole pixel
// leaves over are carried to the next update: dropped, they stopped any motion slower than a
// pixel per frame (weeds of 40 pixels a second never grew at 60 frames a second).
int32_t Advance(int64_t speed, int32_t elapsed, int32_t& carry) {
  const int64_t total = speed * elapsed + carry;
  carry = static_cast<int32_t>(total % 1000);
  return static_cast<int32_t>(total / 1000);
}

int32_t Growth(arcadeBuilding& b, int32_t elapsed) { return Advance(b.weedSpeed, elapsed, b.growthCarry); }

// Drops fall; one that reaches a building's weeds is used up there. The points scored.
int32_t UpdateDrops(int32_t elapsed) {
  int32_t points = 0;
  std::vector<arcadeDrop> kept;
  for (arcadeDrop drop : gArcade.drops) {
    drop.y += Advance(kDropSpeed, elapsed, drop.fallCarry);
    if (drop.y >= kScreenBottom) continue;
    bool hit = false;
    for (arcadeBuilding& b : gArcade.buildings) {
      const int64_t aim = int64_t{drop.x} + kDropHitOffset;
      if (aim < b.x || aim >= int64_t{b.x} + kBuildingWidth || drop.y < b.weedTop) continue;
      if (!b.retreating) {
        b.sinking = false;
        b.retreating = true;
        b.retreatTarget = b.weedTop + kFloorHeight;
        b.tintTarget = kTintPushed;
        GameSoundPlay(kSpraySound, false, 3);
      }
      ++gArcade.hits;
      gArcade.splashes.push_back({drop.x, drop.y, 0});
      points += kHitPoints;
      hit = true;
      break;
    }
    if (!hit) kept.push_back(drop);
  }
  gArcade.drops = std::move(kept);
  return points;
}

// One step of a building; true when it sank a pixel.
bool UpdateBuilding(arcadeBuilding& b, int32_t elapsed) {
  bool crumbled = false;
  b.shake = 0;
  if (b.retreating) {
    if (b.weedTop < b.retreatTarget) {
      ++b.weedTop;
    } else {
      b.retreating = false;
      b.tintTarget = kTintFull;
    }
  } else if (b.top < kScreenBottom) {
    if (b.sinking) {
      if (b.top < b.sinkTarget) {
        ++b.top;
        ++b.weedTop;
        b.shake = GameRandom(7) - 3;
        crumbled = true;
      } else {
        b.sinking = false;
      }
    } else if (b.top >= b.weedTop) {
      b.sinking = true;
      b.sinkTarget = kScreenBottom;
    } else if (b.weedTop >= kWeedSinkLine) {
      b.weedTop -= Growth(b, elapsed);
    } else {
      b.sinking = true;
      b.sinkTarget = b.top + kFloorHeight;
    }
  } else {
    b.sinking = false;
    if (b.weedLimit < b.weedTop) b.weedTop -= Growth(b, elapsed);
  }
  if (b.tint < b.tintTarget) {
    b.tint = b.tint >= kTintFull - 9 ? kTintFull : b.tint + kTintStep;
  } else if (b.tint > b.tintTarget) {
    b.tint = b.tint <= kTintPushed + 9 ? kTintPushed : b.tint - kTintStep;
  }
  return crumbled;
}

void Draw(int32_t picture, int32_t x, int32_t y) {
  const int32_t model = gArcade.pictures[static_cast<size_t>(picture)];
  if (model == kNoId) return;
  ModelSetPosition(model, static_cast<float>(x), static_cast<float>(y), kDepth);
  ModelRender(model);
}

}  // namespace

int32_t GameRandom(int32_t n) {
  if (n < 1) return 0;
  return std::uniform_int_distribution<int32_t>(0, n - 1)(gRandom);
}

void GameRandomSeed(uint32_t seed) { gRandom.seed(seed); }

void ArcadeImagesLoad(int32_t display) {
  for (size_t i = 0; i < kPictureFiles.size(); ++i) {
    if (gArcade.pictures[i] != kNoId) ModelFree(gArcade.pictures[i]);
    gArcade.pictures[i] = ModelOpenImage(display, kPictureFiles[i], false);
  }
}

void ArcadeImagesFree() {
  for (int32_t& model : gArcade.pictures) {
    if (model != kNoId) ModelFree(model);
    model = kNoId;
  }
}

void ArcadeReset() {
  const auto pictures = gArcade.pictures;
  gArcade = arcadeState{};
  gArcade.pictures = pictures;
}

void ArcadeResetLevel() { gArcade.level = 0; }

void ArcadeSetLevel(int32_t level) { gArcade.level = level > 0 ? level : 0; }

void ArcadeLevelStart() {
  const int32_t level = gArcade.level;
  gArcade.drops.clear();
  gArcade.splashes.clear();
  gArcade.buildings.clear();
  for (int32_t left : kBuildingLefts) {
    arcadeBuilding b;
    b.x = left;
    b.floors = std::max(2, 8 - level - GameRandom(3));
    b.top = kScreenBottom - b.floors * kFloorHeight;
    for (int32_t f = 0; f < b.floors; ++f) b.floorTypes.push_back(GameRandom(5) + 1);
    b.weedTop = 783 + kFloorHeight * GameRandom(std::max(0, 4 - level));
    b.weedSpeed = 40 + 5 * level + 5 * GameRandom(level);
    b.weedLimit = 216 + kFloorHeight * GameRandom(3);
    gArcade.buildings.push_back(std::move(b));
  }
  ++gArcade.level;
  gArcade.hits = 0;
  gArcade.shots = 0;
}

void ArcadeDropShoot(int32_t x, int32_t y, int32_t side) {
  gArcade.drops.push_back({x, y, side});
  ++gArcade.shots;
}

int32_t ArcadeUpdate(int32_t elapsed) {
  const int32_t points = UpdateDrops(elapsed);
  std::vector<arcadeSplash> splashes;
  for (arcadeSplash splash : gArcade.splashes) {
    if (++splash.age < kSplashAge) splashes.push_back(splash);
  }
  gArcade.splashes = std::move(splashes);
  bool crumbled = false;
  for (arcadeBuilding& b : gArcade.buildings) crumbled = UpdateBuilding(b, elapsed) || crumbled;
  const bool playing = GameSoundPlaying(gArcade.crumbling);
  if (crumbled && !playing) {
    gArcade.crumbling = GameSoundPlay(kCrumblingSound, false, 3);
  } else if (!crumbled && playing) {
    AudioStop(gArcade.crumbling);
  }
  return points;
}

int32_t ArcadeBuildingHeight(int32_t building) {
  const arcadeBuilding* b = Building(building);
  return b ? b->top : 0;
}
int32_t ArcadeBuildingScore(int32_t building) {
  const arcadeBuilding* b = Building(building);
  return b && b->top <= kScreenBottom - 1 ? (kScreenBottom - b->top) / 10 : 0;
}
bool ArcadeBuildingStanding(int32_t building) {
  const arcadeBuilding* b = Building(building);
  return b && b->top < kScreenBottom;
}
int32_t ArcadeBuildingShake(int32_t building) {
  const arcadeBuilding* b = Building(building);
  return b ? b->shake : 0;
}
int32_t ArcadeHits() { return gArcade.hits; }
int32_t ArcadeShots() { return gArcade.shots; }
int32_t ArcadeLevel() { return gArcade.level; }

void ArcadeRender() {
  for (const arcadeBuilding& b : gArcade.buildings) {
    for (size_t j = 0; j < b.floorTypes.size(); ++j) {
      Draw(kFloorA + b.floorTypes[j] - 1, b.x + b.shake, b.top + kFloorHeight * static_cast<int32_t>(j));
    }
  }
  for (const arcadeBuilding& b : gArcade.buildings) {
    if (b.weedTop >= kScreenBottom) continue;
    const auto tint = static_cast<uint8_t>(b.tint);
    for (picture weed : {kWeedTile, kWeedTop}) {
      const int32_t model = gArcade.pictures[weed];
      if (model != kNoId) ModelSetColor(model, 255, tint, tint, 255);
    }
    Draw(kWeedTop, b.x + b.shake, b.weedTop);
    for (int64_t y = int64_t{b.weedTop} + kWeedTopHeight; y < kScreenBottom; y += kWeedTileHeight) {
      Draw(kWeedTile, b.x + b.shake, static_cast<int32_t>(y));
    }
  }
  for (const arcadeDrop& drop : gArcade.drops) Draw(drop.side == 1 ? kDropLeft : kDropRight, drop.x, drop.y);
  for (const arcadeSplash& splash : gArcade.splashes) Draw(splash.age <= 2 ? kSplash1 : kSplash2, splash.x, splash.y);
}

const std::vector<arcadeBuilding>& ArcadeBuildings() { return gArcade.buildings; }
const std::vector<arcadeDrop>& ArcadeDrops() { return gArcade.drops; }
const std::vector<arcadeSplash>& ArcadeSplashes() { return gArcade.splashes; }

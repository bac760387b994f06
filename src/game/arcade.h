// The arcade level of the game screen: four buildings whose fronts the weeds climb, the water
// drops the player shoots at them, the splashes, and their drawing.
#pragma once

#include <cstdint>
#include <vector>

struct arcadeBuilding {
  int32_t x = 0;
  int32_t top = 0;    // y of the roof; 720 or more: sunk
  int32_t shake = 0;  // drawing offset while sinking
  int32_t floors = 0;
  std::vector<int32_t> floorTypes;  // 1..5 (FloorA..FloorE); index 0 at the roof
  int32_t tint = 255;  // green and blue of the weed pictures
  int32_t tintTarget = 255;
  int32_t weedTop = 0;
  int32_t weedSpeed = 0;  // pixels a second
  int32_t growthCarry = 0;  // thousandths of a pixel of growth not yet made
  int32_t weedLimit = 0;  // the highest the weeds climb on a sunk building
  int32_t sinkTarget = 0;
  bool sinking = false;
  int32_t retreatTarget = 0;
  bool retreating = false;
};

struct arcadeDrop {
  int32_t x = 0, y = 0;
  int32_t side = 0;  // 1: the left picture, else the right one
  int32_t fallCarry = 0;  // thousandths of a pixel of fall not yet made
};

struct arcadeSplash {
  int32_t x = 0, y = 0;
  int32_t age = 0;  // in updates
};

// The pictures of the layer as models on the display; freed again by ArcadeImagesFree.
void ArcadeImagesLoad(int32_t display);
void ArcadeImagesFree();
// Empties the buildings, drops and splashes and sets level, hits and shots to 0.
void ArcadeReset();
// Level 0 again (the next level start builds level 0's buildings).
void ArcadeResetLevel();
// The level number ArcadeLevel reports, as a restored game had it (negative numbers count as 0).
// The next level start builds level `level`'s buildings and counts up to level + 1.
void ArcadeSetLevel(int32_t level);
// Entering the game screen: new buildings for the current level, then the level goes up by one
// and hits and shots start from 0.
void ArcadeLevelStart();
void ArcadeDropShoot(int32_t x, int32_t y, int32_t side);
// One update with the time since the last one in ms: drops fall and hit, splashes age, the
// buildings' weeds grow, retreat and bring them down; the crumbling sound follows. The points
// scored in this update.
int32_t ArcadeUpdate(int32_t elapsed);
// Buildings are numbered from 1; an unknown one answers 0 or false.
int32_t ArcadeBuildingHeight(int32_t building);
int32_t ArcadeBuildingScore(int32_t building);
bool ArcadeBuildingStanding(int32_t building);
int32_t ArcadeBuildingShake(int32_t building);
int32_t ArcadeHits();
int32_t ArcadeShots();
int32_t ArcadeLevel();
// Draws the floors, weeds, drops and splashes in the current projection.
void ArcadeRender();

const std::vector<arcadeBuilding>& ArcadeBuildings();
const std::vector<arcadeDrop>& ArcadeDrops();
const std::vector<arcadeSplash>& ArcadeSplashes();

// rand(n): uniform in 0 .. n - 1, and 0 for n < 1. Seeded from the clock by the game's start;
// GameRandomSeed makes a run repeatable.
int32_t GameRandom(int32_t n);
void GameRandomSeed(uint32_t seed);

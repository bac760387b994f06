// Agents: the named characters scripts place on the game screen, with their animation cycles
// and inventories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"

// What a save file keeps of an agent and what loading a save gives back.
struct agentItemRecord {
  std::string name;         // upper case
  std::string pictureFile;  // as the script gave it
};
struct agentRecord {
  std::string name;  // upper case
  int32_t direction = 3;
  int32_t x = 0, y = 0;
  std::vector<agentItemRecord> items;
};

// Where an agent's dialog-option bubbles are placed: its position, scale and facing, its dialog
// anchor offset and its dialog camera offset.
struct agentDialogAnchor {
  int32_t x = 0, y = 0;
  float scale = 1.0f;
  int32_t direction = 3;
  int32_t offsetX = 0, offsetY = 0;  // dialog anchor offset
  int32_t cameraX = 0, cameraY = 0;  // dialog camera offset
};

// False for an unknown agent (names compared without regard to case).
bool AgentDialogAnchor(const std::string& name, agentDialogAnchor& anchor);
// Every agent in the order added.
std::vector<agentRecord> AgentsSnapshot();
// Replaces every agent by the given ones (defaults elsewhere), loading the items' pictures.
void AgentsRestore(const std::vector<agentRecord>& agents);
// Frees every agent with its pictures.
void AgentsClear();

// ---------------------------------------------------------------------------------------------
// Records

// One picture of an exposure sheet with its anchor points (picture coordinates).
struct cycleFrame {
  std::string pictureFile;  // the sheet's folder + the name in the sheet
  int32_t picture = kNoId;  // image model, kNoId until loaded
  int32_t width = 0, height = 0;
  int32_t prevX = 0, prevY = 0;
  int32_t nextX = 0, nextY = 0;
  int32_t headX = 0, headY = 0;
  bool head = false;
  int32_t spriteX = 0, spriteY = 0;
  int32_t repeat = 0;  // steps the frame is held; negative: the animation ends on it
  int32_t repeatCounter = 0;
};

// One animation cycle: the frames of one exposure sheet.
struct cycle {
  std::string sheetFile;
  bool loaded = false;
  bool persistent = false;
  std::vector<cycleFrame> frames;
};

struct inventoryItem {
  std::string name;  // upper case
  std::string pictureFile;
  int32_t picture = kNoId;  // image model
};

struct agentPoint {
  int32_t x = 0, y = 0;
};

// Slots 0..3 walk and 8..11 stand per direction, 12 is the custom animation.
inline constexpr int32_t kAgentCycleCount = 13;
inline constexpr int32_t kAgentStandingFirst = 8;
inline constexpr int32_t kAgentCustomCycle = 12;

struct agent {
  std::string name;  // upper case
  int32_t direction = 3;
  int32_t x = 0, y = 0;
  uint8_t depth = 0;
  bool fixedDepth = false;
  float scale = 1.0f;
  bool fixedScale = false;
  std::vector<cycle> cycles;  // grows to the highest slot set
  int32_t currentCycle = 3;
  int32_t currentFrame = 0;
  uint32_t animationClock = 0;  // game-state time of the last frame step
  int32_t standingCycle = 11;
  std::vector<agentPoint> path;
  int32_t pathIndex = 0;
  int32_t voiceSound = 0;
  uint32_t speakingSince = 0;
  int32_t cameraX = 0, cameraY = 0;  // dialog camera offset
  int32_t offsetX = 0, offsetY = 0;  // dialog anchor offset
  std::vector<inventoryItem> inventory;
  std::string highlightFile;
  int32_t highlight = kNoId;  // image model drawn behind the selected item
  int32_t selectedItem = -1;
  int32_t firstDisplayedItem = 0;
};

// ---------------------------------------------------------------------------------------------
// Exposure sheets

// Reads the sheet into the cycle (frames without pictures). A cycle that already holds this
// file, loaded and persistent, is kept as it is. On failure: one log line, the cycle empty and
// not loaded. The persistent flag is stored either way.
bool AnimationOpen(cycle& target, const std::string& file, bool persistent);
// Frees the frames' pictures and empties the cycle (not loaded).
void CycleEmpty(cycle& target);

// ---------------------------------------------------------------------------------------------
// Agents. Names are compared without regard to case; an unknown agent changes nothing.

// The display pictures are loaded on; until set, the game's display.
void AgentsUseDisplay(int32_t display);
// The agent, or nullptr. Valid until agents are added or removed.
const agent* AgentFind(const std::string& name);
// Adds an agent with the defaults (ignored when one of that name exists).
void AgentAdd(const std::string& name, uint32_t now);
// Loads the sheet persistent into slot 0..12 with every frame's picture, unless the slot already
// names the file.
void AgentSetAnimation(const std::string& name, int32_t slot, const std::string& file);
// Faces 0..3, only while a walking or the custom cycle is current.
void AgentSetDirection(const std::string& name, int32_t direction);
// Loads the sheet into the custom slot, registers an animation action for (script, thread) and
// performs one animation step.
void AgentAnimate(const std::string& name, const std::string& file, bool persistent, int32_t script, int32_t thread,
                  uint32_t now);
// One animation step at game-state time `now` (frames move on at most every 100 ms).
void AgentAnimationStep(const std::string& name, uint32_t now);
void AgentSetPosition(const std::string& name, int32_t x, int32_t y);
// Non-zero: fixed scale percent / 100; 0: the automatic scale (always 1.0 in this game).
void AgentSetScale(const std::string& name, int32_t percent);
// Non-zero: fixed drawing depth; 0: depth follows the position.
void AgentSetDepth(const std::string& name, int32_t depth);
void AgentSetDialogOffset(const std::string& name, int32_t x, int32_t y);
void AgentSetDialogCameraOffset(const std::string& name, int32_t x, int32_t y);
// Every agent's dialog camera offset, and the default for agents added later.
void AgentsSetDialogCameraOffset(int32_t x, int32_t y);
// Restarts every speaking agent's speaking clock and stops every voice.
void AgentsDialogAdvance(uint32_t now);
// Empties the path; without a walk map there is no walk to follow.
void AgentWalkTo(const std::string& name, int32_t x, int32_t y, const std::string& action);
// Removes the agent's walk actions from the action list.
void AgentWalkClearAction(const std::string& name);
// The last path point while walking, else the position; false (0, 0) for an unknown agent.
bool AgentGetDestination(const std::string& name, int32_t& x, int32_t& y);
// Whether the point lies in the current frame's rectangle (widened by the standing head frame).
bool AgentHit(const std::string& name, int32_t px, int32_t py);

// ---------------------------------------------------------------------------------------------
// Inventories

// Adds the item or gives an existing one the new picture; "<item> location" of the game state := 1.
void AgentInventoryAdd(const std::string& name, const std::string& item, const std::string& file);
// Removes a held item ("<item> location" := 0); the selection follows the item it named.
void AgentInventoryRemove(const std::string& name, const std::string& item);
void AgentInventoryEmpty(const std::string& name);
// Selects 0 <= index < count, anything else selects nothing (-1).
void AgentInventorySelect(const std::string& name, int32_t index);
void AgentInventorySetHighlight(const std::string& name, const std::string& file);
// The item's index, -1 when the agent does not hold it.
int32_t AgentInventoryIndex(const agent& holder, const std::string& item);
// Draws the items in a row at the bottom of the screen, the highlight behind the selected one.
void AgentInventoryRender(const std::string& name);

// ---------------------------------------------------------------------------------------------
// Concept art: one picture scripts show on the screen.

// Replaces the picture and centres it horizontally in 1280 pixels and vertically in `height`.
void ConceptArtSet(const std::string& file, int32_t height);
void ConceptArtRender();
void ConceptArtFree();

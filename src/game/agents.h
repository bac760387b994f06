// Agents: the named characters scripts place on the game screen, with their animation cycles
// and inventories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

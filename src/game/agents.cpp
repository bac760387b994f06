#include "game/agents.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "graphics/model.h"
#include "state/state.h"

namespace {

// A frame is held at least this long before an animation step moves on.
constexpr int32_t kFrameStepMs = 100;
// The inventory row at the bottom of the design screen.
constexpr int32_t kInventoryLeft = 51, kInventoryStep = 110, kInventoryTop = 640;
constexpr int32_t kDesignWidth = 1280;

struct agentsValues {
  std::vector<agent> agents;
  int32_t cameraX = 0, cameraY = 0;  // dialog camera offset for agents added later
  int32_t display = kNoIdMinusOne;
  bool displaySet = false;
  int32_t conceptArt = kNoId;
  int32_t conceptX = 0, conceptY = 0;
};

agentsValues gAgents;

int32_t Display() { return gAgents.displaySet ? gAgents.display : GameDisplayId(); }

int32_t Round(float value) { return static_cast<int32_t>(std::lround(value)); }

agent* Find(const std::string& name) {
  const std::string upper = UtilUpper(name);
  for (agent& a : gAgents.agents) {
    if (a.name == upper) return &a;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Exposure sheets

bool Number(const std::string& text, int32_t& value) { return UtilTextToInteger(UtilTrim(text), value); }

bool Pair(const std::string& text, int32_t& x, int32_t& y) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  int32_t a = 0, b = 0;
  if (!Number(text.substr(0, comma), a) || !Number(text.substr(comma + 1), b)) return false;
  x = a;
  y = b;
  return true;
}

// One "key=value" line; lines without "=", with another key or with values that are not numbers
// change nothing.
void Attribute(const std::string& line, cycleFrame& f) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return;
  const std::string key = line.substr(0, equals);
  const std::string value = line.substr(equals + 1);
  if (key == "sprite") {
    Pair(value, f.spriteX, f.spriteY);
  } else if (key == "prev") {
    Pair(value, f.prevX, f.prevY);
  } else if (key == "next") {
    Pair(value, f.nextX, f.nextY);
  } else if (key == "head") {
    if (Pair(value, f.headX, f.headY)) f.head = true;
  } else if (key == "repeat") {
    Number(value, f.repeat);
  }
}

// The folder part of a data file name, with its last separator.
std::string FolderOf(const std::string& file) {
  const size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool ReadSheet(cycle& target, const std::string& file) {
  DataFileGuard sheet(file);
  if (!sheet) {
    LogError("AnimationOpen - Unable to open animation exposure sheet \"" + file + "\".");
    return false;
  }
  const std::string version = DataFileReadLine(sheet.Get());
  const size_t dot = version.find('.');
  if (dot == std::string::npos) {
    LogError("AnimationOpen - No major/minor version separator in exposure sheet \"" + file + "\".");
    return false;
  }
  const std::string majorText = version.substr(0, dot), minorText = version.substr(dot + 1);
  int32_t major = 0, minor = 0;
  if (!UtilTextToInteger(majorText, major) || major < 0 || major >= 2) {
    LogError("AnimationOpen - Unsupported major version \"" + majorText + "\" in exposure sheet \"" + file + "\".");
    return false;
  }
  if (!UtilTextToInteger(minorText, minor) || minor < 0 || minor >= 1) {
    LogError("AnimationOpen - Unsupported minor version \"" + minorText + "\" in exposure sheet \"" + file + "\".");
    return false;
  }
  const std::string countText = DataFileReadLine(sheet.Get());
  int32_t count = 0;
  // Every frame takes at least two lines (its picture and its attribute count) of at least one
  // byte each but the file's last: a count the rest of the file cannot hold is a lie.
  const int64_t remaining = int64_t{DataFileSize(sheet.Get())} - DataFilePosition(sheet.Get());
  if (!UtilTextToInteger(countText, count) || count <= 0 || int64_t{count} * 2 - 1 > remaining) {
    LogError("AnimationOpen - Invalid frame count \"" + countText + "\" in exposure sheet \"" + file + "\".");
    return false;
  }
  const std::string folder = FolderOf(file);
  target.frames.resize(static_cast<size_t>(count));
  int32_t spriteX = 0, spriteY = 0;  // carried over until a frame gives its own
  for (cycleFrame& f : target.frames) {
    f.pictureFile = folder + DataFileReadLine(sheet.Get());
    f.spriteX = spriteX;
    f.spriteY = spriteY;
    int32_t attributes = 0;
    if (!Number(DataFileReadLine(sheet.Get()), attributes)) attributes = 0;
    // The count is not trusted either: the lines end with the file.
    for (int32_t i = 0; i < attributes && !DataFileEof(sheet.Get()); ++i) Attribute(DataFileReadLine(sheet.Get()), f);
    spriteX = f.spriteX;
    spriteY = f.spriteY;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Frame pictures

// Gives a loaded picture the scale (its vertices were saved unscaled) and ready to draw.
void ScalePicture(int32_t picture, float scale) {
  if (!ModelRestoreVertices(picture)) return;
  ModelScale(picture, scale);
  ModelCompile(picture);
}

void PlacePicture(int32_t picture, const agent& a) {
  ModelSetPosition(picture, static_cast<float>(a.x), static_cast<float>(a.y), 0.0f);
}

// Loads the frame's picture with its size; `anchored` moves its drawing origin to the sprite point.
void LoadFramePicture(cycleFrame& f, const agent& a, bool anchored) {
  f.picture = ModelOpenImage(Display(), f.pictureFile, false);
  if (f.picture == kNoId) return;
  f.width = Round(ModelGetWidth(f.picture));
  f.height = Round(ModelGetHeight(f.picture));
  if (anchored) ModelTranslateVertices(f.picture, static_cast<float>(-f.spriteX), static_cast<float>(-f.spriteY), 0.0f);
  ModelSaveVertices(f.picture);
  ScalePicture(f.picture, a.scale);
  PlacePicture(f.picture, a);
}

template <typename Visit>
void EachPicture(agent& a, Visit visit) {
  for (cycle& c : a.cycles) {
    for (cycleFrame& f : c.frames) {
      if (f.picture != kNoId) visit(f.picture);
    }
  }
}

void PlaceAll(agent& a) {
  EachPicture(a, [&](int32_t picture) { PlacePicture(picture, a); });
}

void SetScale(agent& a, float scale) {
  if (scale == a.scale) return;
  a.scale = scale;
  EachPicture(a, [&](int32_t picture) { ScalePicture(picture, scale); });
}

// The game places both points of its depth-to-scale line at y = 1 with 100 %, and equal y values
// give the first point's percent.
void AutomaticScale(agent& a) { SetScale(a, 1.0f); }

void CompleteAnimation(const agent& a) { GameActionRemoveNamed(kActionAnimation, a.name); }

void FreeAgent(agent& a) {
  for (cycle& c : a.cycles) CycleEmpty(c);
  for (inventoryItem& item : a.inventory) ModelFree(item.picture);
  ModelFree(a.highlight);
}

// ---------------------------------------------------------------------------------------------
// Animation steps

void MoveOn(agent& a, cycle& c) {
  const int32_t index = ++a.currentFrame;
  if (index >= static_cast<int32_t>(c.frames.size())) {
    if (!c.persistent) CycleEmpty(c);
    a.currentCycle = a.direction;
    a.currentFrame = 0;
    CompleteAnimation(a);
    return;
  }
  cycleFrame& f = c.frames[static_cast<size_t>(index)];
  if (f.picture == kNoId) {
    LoadFramePicture(f, a, true);
    if (index > 0) {
      const cycleFrame& previous = c.frames[static_cast<size_t>(index) - 1];
      a.x += Round(static_cast<float>(f.spriteX + previous.nextX - f.prevX - previous.spriteX) * a.scale);
      a.y += Round(static_cast<float>(f.spriteY + previous.nextY - f.prevY - previous.spriteY) * a.scale);
      PlaceAll(a);
    }
  }
  if (f.repeat < 0) CompleteAnimation(a);
}

void Step(agent& a, uint32_t now) {
  const bool current = a.currentCycle >= 0 && a.currentCycle < static_cast<int32_t>(a.cycles.size());
  if (current && static_cast<int32_t>(now - a.animationClock) >= kFrameStepMs) {
    cycle& c = a.cycles[static_cast<size_t>(a.currentCycle)];
    bool moveOn = true;
    if (a.currentFrame >= 0 && a.currentFrame < static_cast<int32_t>(c.frames.size())) {
      cycleFrame& f = c.frames[static_cast<size_t>(a.currentFrame)];
      if (f.repeat < 0) {
        // The animation ends on this frame (the first step after opening has no frame yet).
        moveOn = false;
        CompleteAnimation(a);
      } else if (f.repeat > 0) {
        ++f.repeatCounter;
        if (f.repeatCounter < f.repeat) {
          moveOn = false;
        } else {
          f.repeatCounter = 0;
          if (!c.persistent) ModelFree(f.picture);
        }
      }
    }
    if (moveOn) MoveOn(a, c);
    a.animationClock = now;
  }
  if (!a.fixedScale) AutomaticScale(a);
  // Nothing in this game makes an agent speak, so there is no speech to end here.
}

// ---------------------------------------------------------------------------------------------
// Inventory

void LoadItemPicture(inventoryItem& item) {
  ModelFree(item.picture);
  item.picture = ModelOpenImage(Display(), item.pictureFile, false);
}

void DrawAt(int32_t picture, int32_t x, int32_t y) {
  if (picture == kNoId) return;
  ModelSetPosition(picture, static_cast<float>(x), static_cast<float>(y), 0.0f);
  ModelRender(picture);
}

std::string LocationVariable(const std::string& item) { return item + " location"; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Exposure sheets

bool AnimationOpen(cycle& target, const std::string& file, bool persistent) {
  if (target.loaded && target.persistent && target.sheetFile == file) {
    target.persistent = persistent;
    return true;
  }
  CycleEmpty(target);
  target.sheetFile = file;
  target.persistent = persistent;
  if (!ReadSheet(target, file)) {
    target.frames.clear();
    return false;
  }
  target.loaded = true;
  return true;
}

void CycleEmpty(cycle& target) {
  for (cycleFrame& f : target.frames) ModelFree(f.picture);
  target.frames.clear();
  target.loaded = false;
}

// ---------------------------------------------------------------------------------------------
// Agents

void AgentsUseDisplay(int32_t display) {
  gAgents.display = display;
  gAgents.displaySet = true;
}

const agent* AgentFind(const std::string& name) { return Find(name); }

void AgentAdd(const std::string& name, uint32_t now) {
  if (Find(name) != nullptr) return;
  agent a;
  a.name = UtilUpper(name);
  a.animationClock = now;
  a.cameraX = gAgents.cameraX;
  a.cameraY = gAgents.cameraY;
  gAgents.agents.push_back(std::move(a));
}

void AgentSetAnimation(const std::string& name, int32_t slot, const std::string& file) {
  agent* a = Find(name);
  if (a == nullptr || slot < 0 || slot >= kAgentCycleCount) return;
  if (static_cast<int32_t>(a->cycles.size()) <= slot) a->cycles.resize(static_cast<size_t>(slot) + 1);
  cycle& c = a->cycles[static_cast<size_t>(slot)];
  if (UtilUpper(c.sheetFile) == UtilUpper(file)) return;
  if (!AnimationOpen(c, file, true)) return;
  // Standing pictures keep their own origin: the hit test lays them over the head point.
  const bool standing = slot >= kAgentStandingFirst && slot < kAgentStandingFirst + 4;
  const int32_t firstX = c.frames.front().spriteX, firstY = c.frames.front().spriteY;
  for (cycleFrame& f : c.frames) {
    LoadFramePicture(f, *a, !standing);
    if (!standing) {
      f.headX -= firstX;
      f.headY -= firstY;
    }
  }
}

void AgentSetDirection(const std::string& name, int32_t direction) {
  agent* a = Find(name);
  if (a == nullptr || direction < 0 || direction > 3) return;
  const bool walking = a->currentCycle >= 0 && a->currentCycle <= 3;
  if (!walking && a->currentCycle != kAgentCustomCycle) return;
  if (a->currentCycle == kAgentCustomCycle) {
    if (static_cast<int32_t>(a->cycles.size()) > kAgentCustomCycle && !a->cycles[kAgentCustomCycle].persistent) {
      CycleEmpty(a->cycles[kAgentCustomCycle]);
    }
    // The animation it showed is over: a thread waiting for it would wait forever.
    CompleteAnimation(*a);
  }
  a->currentCycle = direction;
  a->currentFrame = 0;
  a->direction = direction;
  a->standingCycle = kAgentStandingFirst + direction;
}

void AgentAnimate(const std::string& name, const std::string& file, bool persistent, int32_t script, int32_t thread,
                  uint32_t now) {
  agent* a = Find(name);
  if (a == nullptr) return;
  if (static_cast<int32_t>(a->cycles.size()) <= kAgentCustomCycle) a->cycles.resize(kAgentCycleCount);
  cycle& c = a->cycles[kAgentCustomCycle];
  if (!AnimationOpen(c, file, persistent)) return;
  CompleteAnimation(*a);
  a->animationClock = now - 1000;
  a->currentCycle = kAgentCustomCycle;
  a->currentFrame = -1;
  GameActionAdd(script, thread, a->name, kActionAnimation, file);
  Step(*a, now);
}

void AgentAnimationStep(const std::string& name, uint32_t now) {
  if (agent* a = Find(name)) Step(*a, now);
}

void AgentSetPosition(const std::string& name, int32_t x, int32_t y) {
  agent* a = Find(name);
  if (a == nullptr) return;
  a->x = x;
  a->y = y;
  PlaceAll(*a);
}

void AgentSetScale(const std::string& name, int32_t percent) {
  agent* a = Find(name);
  if (a == nullptr) return;
  a->fixedScale = percent != 0;
  if (a->fixedScale) {
    SetScale(*a, static_cast<float>(percent) / 100.0f);
  } else {
    AutomaticScale(*a);
  }
}

void AgentSetDepth(const std::string& name, int32_t depth) {
  agent* a = Find(name);
  if (a == nullptr) return;
  a->fixedDepth = depth != 0;
  if (a->fixedDepth) a->depth = static_cast<uint8_t>(depth);
}

void AgentSetDialogOffset(const std::string& name, int32_t x, int32_t y) {
  if (agent* a = Find(name)) {
    a->offsetX = x;
    a->offsetY = y;
  }
}

void AgentSetDialogCameraOffset(const std::string& name, int32_t x, int32_t y) {
  if (agent* a = Find(name)) {
    a->cameraX = x;
    a->cameraY = y;
  }
}

void AgentsSetDialogCameraOffset(int32_t x, int32_t y) {
  gAgents.cameraX = x;
  gAgents.cameraY = y;
  for (agent& a : gAgents.agents) {
    a.cameraX = x;
    a.cameraY = y;
  }
}

void AgentsDialogAdvance(uint32_t now) {
  for (agent& a : gAgents.agents) {
    if (a.speakingSince != 0) a.speakingSince = now;
    if (a.voiceSound > 0) AudioStop(a.voiceSound);
  }
}

void AgentWalkTo(const std::string& name, int32_t, int32_t, const std::string&) {
  agent* a = Find(name);
  if (a == nullptr) return;
  // A path needs the walk map (a region map), and this game loads none: no walk follows.
  a->path.clear();
  a->pathIndex = 0;
}

void AgentWalkClearAction(const std::string& name) {
  if (const agent* a = Find(name)) GameActionRemoveNamed(kActionWalk, a->name);
}

bool AgentGetDestination(const std::string& name, int32_t& x, int32_t& y) {
  x = y = 0;
  const agent* a = Find(name);
  if (a == nullptr) return false;
  if (a->pathIndex < static_cast<int32_t>(a->path.size())) {
    x = a->path.back().x;
    y = a->path.back().y;
  } else {
    x = a->x;
    y = a->y;
  }
  return true;
}

bool AgentHit(const std::string& name, int32_t px, int32_t py) {
  const agent* a = Find(name);
  if (a == nullptr || a->currentCycle < 0 || a->currentCycle >= static_cast<int32_t>(a->cycles.size())) return false;
  const cycle& c = a->cycles[static_cast<size_t>(a->currentCycle)];
  if (a->currentFrame < 0 || a->currentFrame >= static_cast<int32_t>(c.frames.size())) return false;
  const cycleFrame& f = c.frames[static_cast<size_t>(a->currentFrame)];
  const float s = a->scale;
  int32_t left = a->x - Round(static_cast<float>(f.spriteX) * s);
  int32_t right = left + Round(static_cast<float>(f.width) * s);
  int32_t top = a->y - Round(static_cast<float>(f.spriteY) * s);
  int32_t bottom = top + Round(static_cast<float>(f.height) * s);
  const int32_t headFrame = 0;  // nobody speaks in this game
  if (f.head && a->standingCycle >= 0 && a->standingCycle < static_cast<int32_t>(a->cycles.size()) &&
      headFrame < static_cast<int32_t>(a->cycles[static_cast<size_t>(a->standingCycle)].frames.size())) {
    // The standing picture laid so that its head point lies on this frame's head point.
    const cycleFrame& h = a->cycles[static_cast<size_t>(a->standingCycle)].frames[headFrame];
    const int32_t headLeft = a->x + Round(static_cast<float>(f.headX) * s) - Round(static_cast<float>(h.headX) * s);
    const int32_t headTop = a->y + Round(static_cast<float>(f.headY) * s) - Round(static_cast<float>(h.headY) * s);
    left = std::min(left, headLeft);
    top = std::min(top, headTop);
    right = std::max(right, headLeft + Round(static_cast<float>(h.width) * s));
    bottom = std::max(bottom, headTop + Round(static_cast<float>(h.height) * s));
  }
  return left <= px && px <= right && top <= py && py <= bottom;
}

// ---------------------------------------------------------------------------------------------
// Inventories

int32_t AgentInventoryIndex(const agent& holder, const std::string& item) {
  const std::string upper = UtilUpper(item);
  for (size_t i = 0; i < holder.inventory.size(); ++i) {
    if (holder.inventory[i].name == upper) return static_cast<int32_t>(i);
  }
  return -1;
}

void AgentInventoryAdd(const std::string& name, const std::string& item, const std::string& file) {
  agent* a = Find(name);
  if (a == nullptr) return;
  const int32_t index = AgentInventoryIndex(*a, item);
  inventoryItem* held = nullptr;
  if (index >= 0) {
    held = &a->inventory[static_cast<size_t>(index)];
  } else {
    held = &a->inventory.emplace_back();
    held->name = UtilUpper(item);
  }
  held->pictureFile = file;
  LoadItemPicture(*held);
  StateVariableSetInteger(kGameStateGame, LocationVariable(item), 1);
}

void AgentInventoryRemove(const std::string& name, const std::string& item) {
  agent* a = Find(name);
  if (a == nullptr) return;
  const int32_t index = AgentInventoryIndex(*a, item);
  // An item this agent does not hold may be another's: its location stays as it is.
  if (index < 0) return;
  StateVariableSetInteger(kGameStateGame, LocationVariable(item), 0);
  ModelFree(a->inventory[static_cast<size_t>(index)].picture);
  a->inventory.erase(a->inventory.begin() + index);
  if (a->selectedItem == index) {
    a->selectedItem = -1;
  } else if (index < a->selectedItem) {
    --a->selectedItem;
  }
}

void AgentInventoryEmpty(const std::string& name) {
  const agent* a = Find(name);
  while (a != nullptr && !a->inventory.empty()) AgentInventoryRemove(name, a->inventory.front().name);
}

void AgentInventorySelect(const std::string& name, int32_t index) {
  if (agent* a = Find(name)) a->selectedItem = index >= 0 && index < static_cast<int32_t>(a->inventory.size()) ? index : -1;
}

void AgentInventorySetHighlight(const std::string& name, const std::string& file) {
  agent* a = Find(name);
  if (a == nullptr) return;
  ModelFree(a->highlight);
  a->highlightFile = file;
  a->highlight = ModelOpenImage(Display(), file, false);
}

void AgentInventoryRender(const std::string& name) {
  const agent* a = Find(name);
  if (a == nullptr) return;
  glDisable(GL_DEPTH_TEST);
  for (size_t i = 0; i < a->inventory.size(); ++i) {
    const int32_t x = kInventoryLeft + kInventoryStep * static_cast<int32_t>(i);
    if (static_cast<int32_t>(i) == a->selectedItem) DrawAt(a->highlight, x, kInventoryTop);
    DrawAt(a->inventory[i].picture, x, kInventoryTop);
  }
}

// ---------------------------------------------------------------------------------------------
// The interface of dialog options and saves

bool AgentDialogAnchor(const std::string& name, agentDialogAnchor& anchor) {
  const agent* a = Find(name);
  if (a == nullptr) return false;
  anchor.x = a->x;
  anchor.y = a->y;
  anchor.scale = a->scale;
  anchor.direction = a->direction;
  anchor.offsetX = a->offsetX;
  anchor.offsetY = a->offsetY;
  anchor.cameraX = a->cameraX;
  anchor.cameraY = a->cameraY;
  return true;
}

std::vector<agentRecord> AgentsSnapshot() {
  std::vector<agentRecord> records;
  for (const agent& a : gAgents.agents) {
    agentRecord& r = records.emplace_back();
    r.name = a.name;
    r.direction = a.direction;
    r.x = a.x;
    r.y = a.y;
    for (const inventoryItem& item : a.inventory) r.items.push_back({item.name, item.pictureFile});
  }
  return records;
}

void AgentsRestore(const std::vector<agentRecord>& records) {
  for (agent& a : gAgents.agents) FreeAgent(a);
  gAgents.agents.clear();
  const uint32_t now = static_cast<uint32_t>(StateGetTime(kGameStateGame));
  for (const agentRecord& r : records) {
    if (Find(r.name) != nullptr) continue;  // a save names each agent once
    AgentAdd(r.name, now);
    agent& a = gAgents.agents.back();
    a.direction = r.direction;
    a.x = r.x;
    a.y = r.y;
    for (const agentItemRecord& record : r.items) {
      if (AgentInventoryIndex(a, record.name) >= 0) continue;
      inventoryItem& item = a.inventory.emplace_back();
      item.name = UtilUpper(record.name);
      item.pictureFile = record.pictureFile;
      LoadItemPicture(item);
    }
  }
}

void AgentsClear() {
  for (agent& a : gAgents.agents) FreeAgent(a);
  gAgents.agents.clear();
  gAgents.cameraX = gAgents.cameraY = 0;
}

// ---------------------------------------------------------------------------------------------
// Concept art

void ConceptArtSet(const std::string& file, int32_t height) {
  ConceptArtFree();
  gAgents.conceptArt = ModelOpenImage(Display(), file, false);
  if (gAgents.conceptArt == kNoId) return;
  const int32_t width = Round(ModelGetWidth(gAgents.conceptArt));
  const int32_t pictureHeight = Round(ModelGetHeight(gAgents.conceptArt));
  // Integer division rounds toward zero, as the placement asks.
  gAgents.conceptX = (kDesignWidth - width) / 2;
  gAgents.conceptY = (height - pictureHeight) / 2;
}

void ConceptArtRender() {
  if (gAgents.conceptArt == kNoId) return;
  glEnable(GL_DEPTH_TEST);
  DrawAt(gAgents.conceptArt, gAgents.conceptX, gAgents.conceptY);
  glDisable(GL_DEPTH_TEST);
}

void ConceptArtFree() { ModelFree(gAgents.conceptArt); }

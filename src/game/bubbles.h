// Dialog bubbles: nine-slice bubble picture sets, the text layout of one bubble, and the option
// set a script shows next to an agent (layout, drawing kept on screen, hit testing). Text is
// measured and drawn with the interface font.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"

struct agentDialogAnchor;

inline constexpr const char* kBubbleFontFile = "Bin\\Fonts\\Military.fot";

// The pieces of a bubble set, in the order of their file-name suffixes.
enum bubblePiece {
  kBubbleTopLeft, kBubbleTop, kBubbleTopRight, kBubbleLeft, kBubbleCenter, kBubbleRight,
  kBubbleBottomLeft, kBubbleBottom, kBubbleBottomRight, kBubbleTailPointLeft, kBubbleTailPointLeftTop,
  kBubbleTailPointRight, kBubbleTailPointRightTop, kBubblePieceCount
};

// A line of bubble text relative to the bubble's top-left corner.
struct line {
  std::string text;
  int32_t x = 0;
  int32_t y = 0;
};

// One option's bubble. x, y are on the 1280 x 720 design screen before the agent's dialog camera
// offset; width = (columns + 2) cells, height = rows cells.
struct dialogBubble {
  uint8_t type = 0;
  int32_t x = 0, y = 0;
  int32_t width = 0, height = 0;
  std::string text;
  std::vector<line> lines;
  int32_t optionId = 0;
  int32_t columns = 0, rows = 0;
  int32_t tailPicture = kNoId;
  int32_t tailX = 0, tailY = 0;  // the tail quad relative to the bubble
  bool tailShown = false;
  int32_t mesh = kNoId;
};

// The one option set. Tail sides and direction: 0 automatic, 1 or 2 forced.
struct dialogOptions {
  std::string agent;
  int32_t bubbleType = 0;
  int32_t alignHorizontal = 0, alignVertical = 0;  // 0 centred, 1 right / below, 2 left / above
  int32_t gapX = 60, gapY = 40;
  int32_t headX = 60, headY = 40;
  int32_t columns = 2;
  int32_t maxWidth = 0;  // 0: 400 pixels
  int32_t minBubbles = 4;
  int32_t tailVertical = 0, tailHorizontal = 0, tailInset = 0, tailDirection = 0;
  bool tailsShown = true;
  int32_t selected = -1;
  std::vector<dialogBubble> bubbles;
};

// Loads the pieces of set `type` ("<name> Top Left.tga" ...) that it does not have yet onto the
// display and takes the cell size from the Top Left picture. False (logged) for a type outside
// 0..255.
bool BubbleOpen(int32_t display, int32_t type, const std::string& name);
// The set's cell size; false (0, 0) for a type never opened.
bool BubbleCellSize(int32_t type, int32_t& width, int32_t& height);
// The texture of a piece; kNoId when the set or piece is missing.
int32_t BubblePieceTexture(int32_t type, bubblePiece piece);
// Fills the bubble's lines, columns, rows, size and tail y for the text (upper-cased) laid out
// with the interface font of the set's display. False (logged, bubble unchanged) for a type
// without a valid set.
bool BubbleBuildCalc(const std::string& text, int32_t type, bool tailShown, dialogBubble& bubble, int32_t maxWidth);
// Frees every set (their pictures go once no bubble uses them).
void BubblesFree();

// The option set as it stands.
dialogOptions& DialogOptions();
// A new set for the agent with the default layout; the old bubbles are freed.
void DialogOptionsBegin(const std::string& agent, int32_t type);
void DialogOptionsAdd(int32_t id, const std::string& text);
// Lays the options out around the agent's head and builds their meshes.
void DialogOptionsLayout(const agentDialogAnchor& anchor);
// Draws every bubble shifted by the camera offset, first moving it onto the design screen (its
// tail keeps pointing at the same screen x).
void DialogOptionsRender(int32_t cameraX, int32_t cameraY);
// Selects the first bubble under the point (script coordinates); false and no selection when none.
bool DialogOptionsHit(int32_t x, int32_t y, int32_t cameraX, int32_t cameraY);
// The selected option's id, 0 when none.
int32_t DialogOptionsSelectedId();
// Frees the bubbles and resets the set to the defaults.
void DialogOptionsFree();

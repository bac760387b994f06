#include "game/bubbles.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/log.h"
#include "core/util.h"
#include "game/agents.h"
#include "graphics/font.h"
#include "graphics/model.h"

namespace {

constexpr int32_t kScreenWidth = 1280;
constexpr int32_t kScreenHeight = 720;
constexpr float kDepth = -5.0f;
constexpr int32_t kDefaultMaxWidth = 400;
constexpr int32_t kDefaultTailInset = 32;
constexpr int32_t kMaxBubbleType = 255;  // a bubble keeps its type in a byte
// Texture coordinates stop a 64th short of a piece's edges, so that linear filtering of a
// repeating piece never reaches into the opposite edge.
constexpr float kTexelInset = 1.0f / 64.0f;

struct pieceInfo {
  const char* suffix;
  bool repeat;  // the edges and the centre repeat across their quads
};
const std::array<pieceInfo, kBubblePieceCount> kPieces{{
    {" Top Left.tga", false},   {" Top.tga", true},
    {" Top Right.tga", false},  {" Left.tga", true},
    {" Center.tga", true},      {" Right.tga", true},
    {" Bottom Left.tga", false}, {" Bottom.tga", true},
    {" Bottom Right.tga", false}, {" Tail Point Left.tga", false},
    {" Tail Point Left Top.tga", false}, {" Tail Point Right.tga", false},
    {" Tail Point Right Top.tga", false},
}};

struct bubbleSet {
  int32_t display = kNoId;
  std::array<int32_t, kBubblePieceCount> pieces{};
  // A never-drawn model with one triangle per piece: textures live while some model uses them,
  // so without it freeing the last bubble would free the set's pictures too.
  int32_t holder = kNoId;
  int32_t cellWidth = 0;
  int32_t cellHeight = 0;
};

std::vector<bubbleSet> gSets;
dialogOptions gOptions;

const bubbleSet* Set(int32_t type) {
  if (type < 0 || static_cast<size_t>(type) >= gSets.size()) return nullptr;
  return &gSets[static_cast<size_t>(type)];
}

int32_t Round(double value) { return static_cast<int32_t>(std::lround(value)); }

int32_t CeilDiv(int64_t a, int64_t b) { return b <= 0 ? 0 : static_cast<int32_t>((a + b - 1) / b); }

// The interface font on the display: opened there when no one did yet.
int32_t LayoutFont(int32_t display) {
  const int32_t font = FontFindByFile(display, kBubbleFontFile);
  return font != kNoId ? font : FontOpen(display, kBubbleFontFile);
}

// Appends a quad of w x h pixels at (x, y) textured by the piece repeated across x y times.
void AddQuad(int32_t mesh, int32_t texture, float x, float y, float w, float h, float repeatX, float repeatY) {
  const int32_t k = ModelGetVertexCount(mesh);
  const float u0 = kTexelInset, u1 = repeatX - kTexelInset;
  const float v0 = kTexelInset, v1 = repeatY - kTexelInset;
  ModelSetVertex(mesh, k, {x, y, kDepth});
  ModelSetVertex(mesh, k + 1, {x, y + h, kDepth});
  ModelSetVertex(mesh, k + 2, {x + w, y, kDepth});
  ModelSetVertex(mesh, k + 3, {x + w, y + h, kDepth});
  ModelSetTexCoord(mesh, k, {u0, v0});
  ModelSetTexCoord(mesh, k + 1, {u0, v1});
  ModelSetTexCoord(mesh, k + 2, {u1, v0});
  ModelSetTexCoord(mesh, k + 3, {u1, v1});
  modelPolygon polygon;
  if (texture != kNoId) polygon.textures.push_back({texture, 0});
  const int32_t p = ModelGetPolygonCount(mesh);
  polygon.corners[0] = {k, 0, k};
  polygon.corners[1] = {k + 1, 0, k + 1};
  polygon.corners[2] = {k + 2, 0, k + 2};
  ModelSetPolygon(mesh, p, polygon);
  polygon.corners[0] = {k + 2, 0, k + 2};
  polygon.corners[1] = {k + 1, 0, k + 1};
  polygon.corners[2] = {k + 3, 0, k + 3};
  ModelSetPolygon(mesh, p + 1, polygon);
}

// Cells across x cells down of a piece at cell (cx, cy); nothing for an empty run.
void AddCells(int32_t mesh, const bubbleSet& set, bubblePiece piece, int32_t cx, int32_t cy, int32_t across,
              int32_t down) {
  if (across <= 0 || down <= 0) return;
  const float w = static_cast<float>(set.cellWidth), h = static_cast<float>(set.cellHeight);
  AddQuad(mesh, set.pieces[piece], static_cast<float>(cx) * w, static_cast<float>(cy) * h,
          static_cast<float>(across) * w, static_cast<float>(down) * h, static_cast<float>(across),
          static_cast<float>(down));
}

// The nine slices of the bubble (not compiled yet): K columns of text cells between the side
// columns, rows - 2 inner rows between the top and bottom rows.
int32_t BuildMesh(const bubbleSet& set, const dialogBubble& bubble) {
  const int32_t mesh = ModelNew(set.display, kModelCompiled);
  if (mesh == kNoId) return kNoId;
  ModelSetName(mesh, "Dialog bubble");
  const int32_t k = bubble.columns, r = bubble.rows - 2;
  AddCells(mesh, set, kBubbleTopLeft, 0, 0, 1, 1);
  AddCells(mesh, set, kBubbleTop, 1, 0, k, 1);
  AddCells(mesh, set, kBubbleTopRight, k + 1, 0, 1, 1);
  AddCells(mesh, set, kBubbleLeft, 0, 1, 1, r);
  AddCells(mesh, set, kBubbleCenter, 1, 1, k, r);
  AddCells(mesh, set, kBubbleRight, k + 1, 1, 1, r);
  // With fewer than two rows the bottom row lies over the top one (never above it).
  const int32_t bottom = std::max(r + 1, 0);
  AddCells(mesh, set, kBubbleBottomLeft, 0, bottom, 1, 1);
  AddCells(mesh, set, kBubbleBottom, 1, bottom, k, 1);
  AddCells(mesh, set, kBubbleBottomRight, k + 1, bottom, 1, 1);
  return mesh;
}

void FreeBubbles() {
  for (dialogBubble& bubble : gOptions.bubbles) ModelFree(bubble.mesh);
  gOptions.bubbles.clear();
}

// 1 or 2 as the set says, else the automatic choice.
int32_t Side(int32_t given, int32_t automatic) { return given == 1 || given == 2 ? given : automatic; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Bubble sets

bool BubbleOpen(int32_t display, int32_t type, const std::string& name) {
  if (type < 0 || type > kMaxBubbleType) {
    LogError("BubbleOpen - Invalid bubble type \"" + std::to_string(type) + "\".");
    return false;
  }
  if (static_cast<size_t>(type) >= gSets.size()) gSets.resize(static_cast<size_t>(type) + 1);
  bubbleSet& set = gSets[static_cast<size_t>(type)];
  if (set.display != display) {
    ModelFree(set.holder);
    set = bubbleSet{};
    set.display = display;
  }
  if (set.holder == kNoId) {
    set.holder = ModelNew(display, kModelImmediate);
    ModelSetVertex(set.holder, 0, {});
  }
  for (size_t i = 0; i < kPieces.size(); ++i) {
    if (TextureExists(set.pieces[i])) continue;
    set.pieces[i] = TextureOpen(display, name + kPieces[i].suffix, false, kPieces[i].repeat, true);
    if (set.pieces[i] == kNoId) continue;
    modelPolygon hold;
    hold.textures.push_back({set.pieces[i], 0});
    ModelSetPolygon(set.holder, static_cast<int32_t>(i), hold);
  }
  int32_t width = 0, height = 0;
  TextureGetImageSize(set.pieces[kBubbleTopLeft], width, height);
  set.cellWidth = width / 2 - 1;
  set.cellHeight = height / 2 - 1;
  if (set.cellWidth < 1) {
    LogError("BubbleOpen - Invalid bubble width for \"" + name + "\".");
    set.cellWidth = 1;
  }
  if (set.cellHeight < 1) {
    LogError("BubbleOpen - Invalid bubble height for \"" + name + "\".");
    set.cellHeight = 1;
  }
  return true;
}

bool BubbleCellSize(int32_t type, int32_t& width, int32_t& height) {
  const bubbleSet* set = Set(type);
  width = set ? set->cellWidth : 0;
  height = set ? set->cellHeight : 0;
  return set != nullptr && set->display != kNoId;
}

int32_t BubblePieceTexture(int32_t type, bubblePiece piece) {
  const bubbleSet* set = Set(type);
  if (set == nullptr || piece < 0 || piece >= kBubblePieceCount) return kNoId;
  return set->pieces[piece];
}

void BubblesFree() {
  for (bubbleSet& set : gSets) ModelFree(set.holder);
  gSets.clear();
}

bool BubbleBuildCalc(const std::string& text, int32_t type, bool tailShown, dialogBubble& bubble, int32_t maxWidth) {
  if (maxWidth == 0) maxWidth = kDefaultMaxWidth;
  const bubbleSet* set = Set(type);
  if (set == nullptr) {
    LogError("BubbleBuildCalc - Invalid bubble type \"" + std::to_string(type) + "\".  Dialog not run.");
    return false;
  }
  if (set->cellWidth < 1 || set->cellHeight < 1) {
    LogError("BubbleBuildCalc - Invlaid bubble dimensions " + std::to_string(set->cellWidth) + "x" +
             std::to_string(set->cellHeight) + ".  Dialog not run.");
    return false;
  }
  const int32_t font = LayoutFont(set->display);
  const int32_t lineHeight = FontGetHeight(font) + 2;
  const int32_t space = FontTextWidth(font, " ");
  const std::string upper = UtilUpper(text) + " ";
  const int32_t total = FontTextWidth(font, upper);
  // At least one line: a text (or a font) without width must not divide by zero.
  const int32_t estimated = std::max(1, CeilDiv(total, std::max(1, maxWidth)));
  const int32_t target = Round(static_cast<double>(total) / estimated);

  std::vector<std::string> texts;
  std::vector<int32_t> widths;
  std::string current;
  int32_t w = -space;
  auto finish = [&] {
    texts.push_back(UtilTrim(current, " "));
    widths.push_back(FontTextWidth(font, texts.back()));
    current.clear();
    w = -space;
  };
  size_t start = 0;
  for (size_t blank = upper.find(' '); blank != std::string::npos; blank = upper.find(' ', start)) {
    const std::string word = upper.substr(start, blank - start);
    start = blank + 1;
    const int32_t e = FontTextWidth(font, word);
    if (w + space + e <= target) {
      current += " " + word;
      w += space + e;
    } else if (w + space + e - target < target - w) {
      current += " " + word;
      finish();
    } else {
      // A word too wide to open a line still opens it: moving it on would leave an empty line.
      if (!UtilTrim(current, " ").empty()) finish();
      current = " " + word;
      w = e;
    }
  }
  if (!UtilTrim(current, " ").empty()) finish();

  const int32_t cellWidth = set->cellWidth, cellHeight = set->cellHeight;
  const int32_t n = static_cast<int32_t>(texts.size());
  const int32_t widest = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
  bubble.columns = CeilDiv(widest, cellWidth);
  // An empty text still gets one row, so that the bottom never lies above the top.
  bubble.rows = std::max(1, CeilDiv(static_cast<int64_t>(n) * lineHeight, cellHeight));
  const int32_t areaWidth = bubble.columns * cellWidth;
  bubble.lines.clear();
  for (int32_t i = 0; i < n; ++i) {
    line l;
    l.text = texts[static_cast<size_t>(i)];
    l.x = (areaWidth - widths[static_cast<size_t>(i)]) / 2 + cellWidth;
    l.y = i * lineHeight + (bubble.rows * cellHeight - n * lineHeight) / 2;
    bubble.lines.push_back(l);
  }
  bubble.type = static_cast<uint8_t>(type);
  bubble.text = text;
  bubble.tailShown = tailShown;
  bubble.width = (bubble.columns + 2) * cellWidth;
  bubble.height = bubble.rows * cellHeight;
  bubble.tailY = bubble.height - cellHeight;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The option set

dialogOptions& DialogOptions() { return gOptions; }

void DialogOptionsBegin(const std::string& agent, int32_t type) {
  DialogOptionsFree();
  gOptions.agent = agent;
  gOptions.bubbleType = type;
}

void DialogOptionsAdd(int32_t id, const std::string& text) {
  dialogBubble bubble;
  bubble.optionId = id;
  bubble.text = text;
  gOptions.bubbles.push_back(bubble);
}

void DialogOptionsLayout(const agentDialogAnchor& anchor) {
  dialogOptions& set = gOptions;
  const int32_t columns = std::max(1, set.columns);
  const double scale = anchor.scale;
  const int32_t hx = (anchor.direction == 1 || anchor.direction == 3) ? -(anchor.offsetX + set.headX)
                                                                       : anchor.offsetX + set.headX;
  const int32_t headX = anchor.x + Round(scale * hx);
  const int32_t vb = anchor.y + Round(scale * (anchor.offsetY + set.headY));

  int32_t wm = 0, wmColumns = 0, hm = 0, hmRows = 0;
  for (dialogBubble& bubble : set.bubbles) {
    ModelFree(bubble.mesh);
    bubble.lines.clear();
    BubbleBuildCalc(bubble.text, set.bubbleType, set.tailsShown, bubble, set.maxWidth);
    if (bubble.width > wm) {
      wm = bubble.width;
      wmColumns = bubble.columns;
    }
    if (bubble.height > hm) {
      hm = bubble.height;
      hmRows = bubble.rows;
    }
  }

  int64_t startX = 0;
  if (set.alignHorizontal == 1) startX = int64_t{headX} + set.gapX;
  else if (set.alignHorizontal == 2) startX = int64_t{headX} - set.gapX - wm;
  else startX = headX - (int64_t{wm} * columns + int64_t{columns - 1} * set.gapX) / 2;
  int64_t startY = 0;
  if (set.alignVertical == 1) {
    startY = int64_t{vb} + set.gapY;
  } else if (set.alignVertical == 2) {
    startY = int64_t{vb} - set.gapY - hm;
  } else {
    const int64_t count = std::max<int64_t>(static_cast<int64_t>(set.bubbles.size()), set.minBubbles);
    const int64_t rows = CeilDiv(count, columns);
    startY = vb - (int64_t{hm} * rows + (rows - 1) * set.gapY) / 2;
  }

  const bubbleSet* pieces = Set(set.bubbleType);
  const bool valid = pieces != nullptr && pieces->display != kNoId;
  int64_t x = startX, y = startY;
  int32_t inRow = 0;
  for (dialogBubble& bubble : set.bubbles) {
    if (bubble.width < wm) {
      for (line& l : bubble.lines) l.x += (wm - bubble.width) / 2;
      bubble.width = wm;
      bubble.columns = wmColumns;
    }
    if (bubble.height < hm) {
      for (line& l : bubble.lines) l.y += (hm - bubble.height) / 2;
      bubble.height = hm;
      bubble.rows = hmRows;
    }
    bubble.x = static_cast<int32_t>(x);
    bubble.y = static_cast<int32_t>(y);
    bubble.tailShown = set.tailsShown;
    bubble.tailPicture = kNoId;
    if (valid) {
      bubble.mesh = BuildMesh(*pieces, bubble);
      if (set.tailsShown && bubble.mesh != kNoId) {
        const int32_t vertical = Side(set.tailVertical, bubble.y < vb ? 1 : 2);
        const int32_t automatic = bubble.x < headX ? 2 : 1;
        const int32_t horizontal = Side(set.tailHorizontal, automatic);
        const int32_t direction = Side(set.tailDirection, automatic);
        const int32_t inset = set.tailInset != 0 ? set.tailInset : Round(scale * kDefaultTailInset);
        bubble.tailX = horizontal == 2 ? wm - pieces->cellWidth - inset : inset;
        if (vertical == 2) {
          bubble.tailY = -pieces->cellHeight;
          bubble.tailPicture = pieces->pieces[direction == 1 ? kBubbleTailPointLeftTop : kBubbleTailPointRightTop];
        } else {
          bubble.tailY = hm - pieces->cellHeight;
          bubble.tailPicture = pieces->pieces[direction == 1 ? kBubbleTailPointLeft : kBubbleTailPointRight];
        }
        AddQuad(bubble.mesh, bubble.tailPicture, static_cast<float>(bubble.tailX), static_cast<float>(bubble.tailY),
                static_cast<float>(pieces->cellWidth), static_cast<float>(2 * pieces->cellHeight), 1.0f, 1.0f);
      }
      ModelCompile(bubble.mesh);
    }
    x += int64_t{wm} + set.gapX;
    if (++inRow == columns) {
      inRow = 0;
      x = startX;
      y += int64_t{hm} + set.gapY;
    }
  }
}

void DialogOptionsRender(int32_t cameraX, int32_t cameraY) {
  // Drawing never opens the font: a missing one would be reported every frame.
  const bubbleSet* set = Set(gOptions.bubbleType);
  const int32_t font = set ? FontFindByFile(set->display, kBubbleFontFile) : kNoId;
  for (dialogBubble& bubble : gOptions.bubbles) {
    const int32_t before = bubble.x;
    if (bubble.x < -cameraX) bubble.x = -cameraX;
    if (bubble.x + bubble.width > kScreenWidth - cameraX) bubble.x = kScreenWidth - bubble.width - cameraX;
    const int32_t shift = bubble.x - before;
    if (shift != 0 && bubble.tailShown && bubble.tailPicture != kNoId) {
      // The tail quad is the mesh's last four vertices: moved back, it points where it did.
      bubble.tailX -= shift;
      const int32_t count = ModelGetVertexCount(bubble.mesh);
      for (int32_t i = std::max(0, count - 4); i < count; ++i) {
        modelVertex v = ModelGetVertex(bubble.mesh, i);
        v.x -= static_cast<float>(shift);
        ModelSetVertex(bubble.mesh, i, v);
      }
      ModelCompile(bubble.mesh);
    }
    if (bubble.y < -cameraY) bubble.y = -cameraY;
    if (bubble.y > kScreenHeight - bubble.height - cameraY) bubble.y = kScreenHeight - bubble.height - cameraY;

    const int32_t x = bubble.x + cameraX, y = bubble.y + cameraY;
    ModelSetPosition(bubble.mesh, static_cast<float>(x), static_cast<float>(y), kDepth);
    ModelRender(bubble.mesh);
    if (font == kNoId) continue;
    // The interface font is shared: its colour goes back to what its other users set.
    const uint32_t colour = FontGetColor(font);
    FontSetColor(font, 0xFF000000u);
    for (const line& l : bubble.lines) FontDrawText(font, l.x + x, l.y + y, 0, l.text);
    FontSetColor(font, colour);
  }
}

bool DialogOptionsHit(int32_t x, int32_t y, int32_t cameraX, int32_t cameraY) {
  for (size_t i = 0; i < gOptions.bubbles.size(); ++i) {
    const dialogBubble& b = gOptions.bubbles[i];
    if (b.x + cameraX <= x && x < b.x + b.width + cameraX && b.y + cameraY <= y && y < b.y + b.height + cameraY) {
      gOptions.selected = static_cast<int32_t>(i);
      return true;
    }
  }
  gOptions.selected = -1;
  return false;
}

int32_t DialogOptionsSelectedId() {
  const int32_t i = gOptions.selected;
  if (i < 0 || static_cast<size_t>(i) >= gOptions.bubbles.size()) return 0;
  return gOptions.bubbles[static_cast<size_t>(i)].optionId;
}

void DialogOptionsFree() {
  FreeBubbles();
  gOptions = dialogOptions{};
}

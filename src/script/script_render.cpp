// Drawing a script's objects on a display: the Display object's logical space fitted to the
// window, then every object in the script's order, each by its kind.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "script/script_internal.h"
#include "state/state.h"

namespace {

// One ScriptRender call. Host routines (Render objects, app objects) run in the middle of the
// walk, so the record is found again after each of them rather than held across.
struct renderPass {
  int32_t scriptId = kNoId;
  int32_t displayId = kNoId;
  scriptView view;
  bool bestFit = false;
};

// Scripts can set any int32 position or size, so scaled and summed values are kept in range.
int32_t Clamp32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }
int32_t Round(double value) {
  return static_cast<int32_t>(std::clamp(std::nearbyint(value), double{INT32_MIN}, double{INT32_MAX}));
}

// A list draws at most this many cells a frame: cellCount is a script's number, and a huge one
// would stall the frame for cells nobody can see.
constexpr int32_t kMaxListCells = 4096;

uint32_t Opaque(int32_t colour) { return 0xFF000000u | (static_cast<uint32_t>(colour) & 0x00FFFFFFu); }

// The models of frame `number` (1-based); none for a number outside the set.
const std::vector<int32_t>* FrameModels(const frameSet& set, int32_t number) {
  if (number < 1 || static_cast<size_t>(number) > set.frames.size()) return nullptr;
  return &set.frames[static_cast<size_t>(number) - 1].models;
}

// Draws the frame's models shifted by (dx, dy); each is moved back after drawing, so one set of
// models serves every cell of a list.
void DrawFrame(const frameSet& set, int32_t number, int32_t dx = 0, int32_t dy = 0) {
  const std::vector<int32_t>* models = FrameModels(set, number);
  if (models == nullptr) return;
  const float x = static_cast<float>(dx), y = static_cast<float>(dy);
  for (int32_t model : *models) {
    if (model == kNoId) continue;
    if (dx != 0 || dy != 0) ModelMove(model, x, y, 0);
    ModelRender(model);
    if (dx != 0 || dy != 0) ModelMove(model, -x, -y, 0);
  }
}

// The text centred in the button: wrapped lines in a box of wrapWidth centred on the frame, or
// the one text centred in the frame.
void DrawButton(const objButton& b) {
  if (!b.visible) return;
  DrawFrame(b.frames, b.frame);
  if (b.fontFile.empty()) return;
  FontSetColor(b.font, Opaque(b.color));
  const frameSet& set = b.frames;
  // A wrap width that is not positive never wrapped the text (its lines would be stale).
  const bool wrapped = b.wrapWidth > 0;
  const std::vector<std::string> single{b.text};
  const std::vector<std::string>& lines = wrapped ? b.lines : single;
  const int32_t box = wrapped ? b.wrapWidth : set.width;
  const int32_t offset = wrapped ? (set.width - b.wrapWidth) / 2 : 0;
  const int32_t h = FontGetHeight(b.font);
  int32_t y = set.top + (set.height - static_cast<int32_t>(lines.size()) * h) / 2;
  for (const std::string& line : lines) {
    FontDrawText(b.font, set.left + offset + (box - FontTextWidth(b.font, line)) / 2, y, 0, line);
    y += h;
  }
}

void DrawLabel(const objLabel& l) {
  if (!l.visible) return;
  FontSetColor(l.font, (uint32_t{l.alpha} << 24) + static_cast<uint32_t>(l.color));
  if (l.wrapWidth > 0) {
    FontDrawLines(l.font, l.left, l.top, l.align, l.wrapHeight, l.wrapWidth, l.firstLine, l.lines);
  } else {
    FontDrawText(l.font, l.left, l.top, 0, l.text);
  }
}

void DrawListText(const objList& l, const std::string& text, int32_t dx, int32_t dy) {
  const int32_t x0 = l.cells.left + l.textOffsetX + dx;
  const int32_t y0 = l.cells.top + l.textOffsetY + dy;
  const int32_t middle = y0 + (l.cells.height - FontGetHeight(l.font)) / 2;
  switch (l.textMode) {
    case 0:
    case 2: FontDrawText(l.font, x0, middle, std::max(l.textWidth, 0), text); return;
    case 1: {
      const int32_t box = l.textWidth > 0 ? l.textWidth : l.cells.width - l.textOffsetX;
      FontDrawText(l.font, x0 + (box - FontTextWidth(l.font, text)) / 2, middle, 0, text);
      return;
    }
    case 3:
      FontDrawLines(l.font, x0, y0, kFontAlignLeft, 0, l.textWidth, 1, FontWrapText(l.font, l.textWidth, text));
      return;
    default: return;
  }
}

// Cell k shows item i; a cell whose frame does not exist is left out and its item goes to the
// next cell.
void DrawList(const objList& l) {
  if (!l.visible) return;
  const bool horizontal = l.kind == "HORIZONTAL";
  int32_t item = l.firstItem;
  const int32_t cells = std::min(l.cellCount, kMaxListCells);
  for (int32_t k = 0; k < cells; ++k) {
    int32_t cellFrame = l.frame;
    if (item == l.clickedCell) {
      cellFrame = l.frameSelected;
    } else if (item == l.hoverCell && l.frameMouseOver > 0) {
      cellFrame = l.frameMouseOver;
    }
    if (FrameModels(l.cells, cellFrame) == nullptr) continue;
    const int32_t dx = horizontal ? k * l.cells.width : 0;
    const int32_t dy = horizontal ? 0 : k * l.cells.height;
    DrawFrame(l.cells, cellFrame, dx, dy);
    const size_t i = static_cast<size_t>(item);
    if (item >= 0 && i < l.icons.size()) {
      const int32_t icon = ParameterToInteger(l.icons[i]);
      if (icon >= 0 && static_cast<size_t>(icon) < l.iconFrames.frames.size()) DrawFrame(l.iconFrames, icon + 1, dx, dy);
    }
    if (item >= 0 && i < l.items.size()) {
      FontSetColor(l.font, Opaque(item == l.clickedCell ? l.colorSelected : l.color));
      DrawListText(l, ParameterToText(l.items[i]), dx, dy);
    }
    ++item;
  }
}

void ColourPointer(objPointer& p, uint8_t alpha) {
  for (const frame& item : p.frames.frames) {
    for (int32_t model : item.models) {
      if (model != kNoId) ModelSetColor(model, 255, 255, 255, alpha);
    }
  }
}

// Fades a pointer that has not moved for fadeDelay ms out over fadeDuration ms (state clock);
// any move makes it opaque again. A duration of 0 or less hides it at once after the delay.
void FadePointer(const script& record, objPointer& p) {
  if (!p.fadeOnIdle) return;
  const int64_t now = StateGetTime(StateGetCurrent());
  if (record.pointerX == p.lastX && record.pointerY == p.lastY) {
    const int64_t idle = now - p.lastMoveTime - p.fadeDelay;
    if (idle <= 0) return;
    const int64_t duration = p.fadeDuration;
    const uint8_t alpha =
        duration <= 0 ? 0 : static_cast<uint8_t>((duration - std::min(idle, duration)) * 255 / duration);
    if (alpha == p.fadeAlpha) return;
    p.fadeAlpha = alpha;
    ColourPointer(p, alpha);
    return;
  }
  p.lastX = record.pointerX;
  p.lastY = record.pointerY;
  p.lastMoveTime = static_cast<int32_t>(now);
  if (p.fadeAlpha != 255) {
    p.fadeAlpha = 255;
    ColourPointer(p, 255);
  }
}

// The pointer sits at window coordinates, so in BestFit it is drawn over the whole window.
void DrawPointer(const renderPass& pass, const script& record, objPointer& p) {
  const scriptView& v = pass.view;
  if (pass.bestFit) {
    GraphicsSetViewport(0, 0, v.windowWidth, v.windowHeight, "ScriptRender - Pointer");
    GraphicsSetOrtho(v.windowWidth, v.windowHeight);
  }
  FadePointer(record, p);
  if (p.visible) DrawFrame(p.frames, p.frame);
  if (pass.bestFit) {
    GraphicsSetViewport(v.offsetX, v.offsetY, v.fittedWidth, v.fittedHeight, "ScriptRender - Post Pointer Reset");
    GraphicsSetOrtho(v.display->width, v.display->height);
  }
}

bool DrawObject(const renderPass& pass, script*& record, int32_t object);

// The camera's objects inside its own viewport, seen from (cameraX, cameraY).
void DrawCamera(const renderPass& pass, script*& record, int32_t object) {
  const objCamera camera = record->objects[static_cast<size_t>(object)].camera;
  if (!camera.enabled || camera.viewWidth < 1 || camera.viewHeight < 1) return;
  int32_t oldX = 0, oldY = 0, oldWidth = 0, oldHeight = 0;
  GraphicsGetViewport(oldX, oldY, oldWidth, oldHeight);
  int32_t left = camera.viewLeft, top = camera.viewTop, width = camera.viewWidth, height = camera.viewHeight;
  int32_t ox = 0, oy = 0;
  if (pass.bestFit) {
    const scriptView& v = pass.view;
    const double m = v.scale;
    left = Round(left * m), top = Round(top * m), width = Round(width * m), height = Round(height * m);
    ox = (v.windowWidth - Round(v.display->width * m)) / 2;
    oy = (v.windowHeight - Round(v.display->height * m)) / 2;
  }
  // The viewport's origin is its bottom-left corner.
  GraphicsSetViewport(Clamp32(int64_t{ox} + left), Clamp32(int64_t{oldHeight} + oy - top - height), width, height,
                      "ScriptRenderObjectCamera - Camera");
  GraphicsPushMatrices();
  GraphicsSetOrthoRegion(camera.cameraX, camera.cameraY, camera.viewWidth, camera.viewHeight);
  for (const orderEntry& entry : camera.objects) {
    if (!DrawObject(pass, record, entry.object)) break;
  }
  GraphicsPopMatrices();
  GraphicsSetViewport(oldX, oldY, oldWidth, oldHeight, "ScriptRenderObjectCamera - Camera Restore");
}

// Draws one object of the pass's display; false once the script is gone (a host routine
// unloaded it), which ends the walk.
bool DrawObject(const renderPass& pass, script*& record, int32_t object) {
  if (object < 0 || static_cast<size_t>(object) >= record->objects.size()) return true;
  objEntry& o = record->objects[static_cast<size_t>(object)];
  if (o.displayId != pass.displayId) return true;
  switch (o.type) {
    case kObjButton: DrawButton(o.button); break;
    case kObjColor:
      if (o.color.visible) ModelRender(o.color.model);
      break;
    case kObjImage:
      if (o.image.visible) DrawFrame(o.image.frames, o.image.frame);
      break;
    case kObjLabel: DrawLabel(o.label); break;
    case kObjList: DrawList(o.list); break;
    case kObjSlider: {
      const objSlider& s = o.slider;
      if (!s.visible) break;
      DrawFrame(s.rangeFrames, s.frameRange);
      if (s.minValue != s.maxValue) DrawFrame(s.thumbFrames, s.frameSlider);
      break;
    }
    case kObjRender: {
      const std::string routine = o.render.appRoutineName, name = o.name;
      ScriptAppRoutineRenderRun(pass.scriptId, routine, pass.displayId, name);
      record = ScriptFind(pass.scriptId);
      return record != nullptr;
    }
    case kObjAtex:
      if (o.atex.visible) ModelRender(o.atex.model);
      break;
    case kObjAppObj: {
      if (!o.appObj.visible || !o.appObj.render) break;
      const scriptAppObjRender render = o.appObj.render;
      const std::string name = o.name;
      render(name);
      record = ScriptFind(pass.scriptId);
      return record != nullptr;
    }
    case kObjCamera:
      DrawCamera(pass, record, object);
      return record != nullptr;
    case kObjPointer: DrawPointer(pass, *record, o.pointer); break;
    default: break;  // Display, Mat and unknown kinds draw nothing
  }
  return true;
}

}  // namespace

void ScriptRender(int32_t scriptId, int32_t displayId) {
  script* record = ScriptFind(scriptId);
  if (record == nullptr) return;
  renderPass pass;
  pass.scriptId = scriptId;
  pass.displayId = displayId;
  pass.view = ScriptViewGet(*record, displayId);
  if (pass.view.display == nullptr) return;
  // The Display object's size, copied: host routines may change or remove the object meanwhile.
  const objDisplay display = *pass.view.display;
  pass.view.display = &display;
  pass.bestFit = display.viewMode == kViewBestFit;
  const scriptView& v = pass.view;
  if (pass.bestFit) {
    GraphicsSetViewport(v.offsetX, v.offsetY, v.fittedWidth, v.fittedHeight, "ScriptRender - Display Object");
  }
  GraphicsSetOrtho(display.width, display.height);
  // By index: a host routine may change the order list while the walk is under way.
  for (size_t n = 0; record != nullptr && n < record->orderList.size(); ++n) {
    const int32_t object = record->orderList[n].object;
    if (object < 0 || static_cast<size_t>(object) >= record->objects.size()) continue;
    if (record->objects[static_cast<size_t>(object)].ownedByCamera) continue;
    if (!DrawObject(pass, record, object)) break;
  }
  if (pass.bestFit) {
    int32_t width = 1, height = 1;
    GraphicsDisplayGetDimensions(displayId, width, height);
    GraphicsSetViewport(0, 0, width, height, "Full Size");
  }
}

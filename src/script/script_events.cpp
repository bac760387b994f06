// The tick, pointer hit testing and the pointer events of a script update.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/util.h"
#include "graphics/model.h"
#include "input/input.h"
#include "script/script_internal.h"

namespace {

constexpr int32_t kTickMs = 33;
constexpr int32_t kEventTick = -1;
constexpr int32_t kEventSliderChanged = -2;
constexpr int32_t kEventPress = -3;
constexpr int32_t kEventClick = -4;
constexpr int32_t kEventEnter = -5;
constexpr int32_t kEventLeave = -6;
constexpr int32_t kEventMove = -7;
constexpr int32_t kEventPressSecondary = -8;
constexpr int32_t kEventClickSecondary = -9;
constexpr int32_t kEventSliderReleased = -10;

uint32_t (*gClock)() = nullptr;

uint32_t Now() { return gClock != nullptr ? gClock() : UtilTickCount(); }

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Listeners run inside the walks below and may unload their script or read a file into it. The
// walks go on only while the record is the one they started with: still there, and not read again
// (a reload gives it a new engine), so object indices still name the same objects.
class recordGuard {
 public:
  explicit recordGuard(const script& record) : id_(record.id), engine_(record.engine.get()) {}
  bool Alive() const {
    const script* record = ScriptFind(id_);
    return record != nullptr && record->engine.get() == engine_;
  }

 private:
  int32_t id_;
  const scriptEngine* engine_;
};

objEntry* ObjectAt(script& record, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= record.objects.size()) return nullptr;
  return &record.objects[static_cast<size_t>(index)];
}

bool Inside(int64_t x, int64_t y, int64_t left, int64_t top, int64_t width, int64_t height) {
  return x >= left && x < left + width && y >= top && y < top + height;
}

// The region byte of the map at (x, y); -1 outside the map.
int32_t MapCell(const matData& map, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= map.width || y >= map.height) return -1;
  const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(map.width) + static_cast<size_t>(x);
  return cell < map.cells.size() ? map.cells[cell] : -1;
}

// Whether the first model of the set's first frame lives on the display.
bool FirstModelOn(const frameSet& set, int32_t display) {
  if (set.frames.empty() || set.frames[0].models.empty()) return false;
  const int32_t model = set.frames[0].models[0];
  return model != kNoId && ModelGetDisplay(model) == display;
}

// ---------------------------------------------------------------------------------------------
// Hit testing

bool HitButton(const objButton& b, int64_t x, int64_t y) {
  if (!b.visible || !b.enabled || b.frame < 1 || static_cast<size_t>(b.frame) > b.frames.frames.size()) return false;
  const frameSet& set = b.frames;
  const matData& map = set.frames[static_cast<size_t>(b.frame) - 1].region;
  if (map.width > 0 && map.height > 0) return MapCell(map, x - set.left, y - set.top) > 0;
  return Inside(x, y, set.left, set.top, set.width, set.height);
}

bool HitList(objList& l, int32_t display, int64_t x, int64_t y) {
  l.hoverCell = -1;
  if (!l.visible || !l.enabled || !FirstModelOn(l.cells, display)) return false;
  const frameSet& cells = l.cells;
  const int64_t count = std::max(l.cellCount, 0);
  const bool horizontal = l.kind == "HORIZONTAL";
  const int64_t width = horizontal ? int64_t{cells.width} * count : cells.width;
  const int64_t height = horizontal ? cells.height : int64_t{cells.height} * count;
  if (!Inside(x, y, cells.left, cells.top, width, height)) return false;
  const int64_t cell = horizontal ? (x - cells.left) / cells.width : (y - cells.top) / cells.height;
  l.hoverCell = Saturate(l.firstItem + cell);
  return true;
}

bool HitSlider(objSlider& s, int32_t display, int64_t x, int64_t y) {
  if (!s.visible || !s.enabled || !FirstModelOn(s.thumbFrames, display)) return false;
  s.thumbGrabbed = false;
  const frameSet& thumb = s.thumbFrames;
  const bool horizontal = s.sliderType == 0;
  const int64_t left = int64_t{thumb.left} + (horizontal ? s.thumbOffset : 0);
  const int64_t top = int64_t{thumb.top} + (horizontal ? 0 : s.thumbOffset);
  if (Inside(x, y, left, top, thumb.width, thumb.height)) {
    s.thumbGrabbed = true;
    return true;
  }
  const frameSet& range = s.rangeFrames;
  return Inside(x, y, range.left, range.top, range.width, range.height);
}

bool HitMat(objMat& m, int64_t x, int64_t y) {
  if (!m.enabled) return false;
  const int32_t cell = MapCell(m.region, x - m.left, y - m.top);
  // A byte that names no entry has no region to report.
  if (cell < 0 || static_cast<size_t>(cell) >= m.region.entries.size()) return false;
  if (UtilUpper(m.region.entries[static_cast<size_t>(cell)].name) == "TRANSPARENT") return false;
  m.previousRegion = m.regionIndex;
  m.regionIndex = cell;
  return true;
}

bool HitAppObj(const objEntry& object, int64_t x, int64_t y) {
  const objAppObj& a = object.appObj;
  if (!a.visible || !a.enabled || !a.inObject) return false;
  const scriptAppObjInObject routine = a.inObject;  // the routine may change the object
  return routine(object.name, Saturate(x), Saturate(y));
}

bool HitObject(objEntry& object, int32_t display, int64_t x, int64_t y);

// The object of the camera's own list hit at the point moved into its scene; -1 for none.
// Display -1 tests each object against its own display. A disabled camera is not drawn, so
// nothing it shows can be hit either.
int32_t HitCamera(script& record, const objCamera& camera, int32_t display, int64_t x, int64_t y) {
  if (!camera.enabled) return -1;
  if (!Inside(x, y, camera.viewLeft, camera.viewTop, camera.viewWidth, camera.viewHeight)) return -1;
  const int64_t sceneX = x + camera.cameraX - camera.viewLeft;
  const int64_t sceneY = y + camera.cameraY - camera.viewTop;
  for (size_t k = camera.objects.size(); k-- > 0;) {
    const int32_t index = camera.objects[k].object;
    objEntry* object = ObjectAt(record, index);
    if (object == nullptr || object->type == kObjCamera) continue;
    if (HitObject(*object, display < 0 ? object->displayId : display, sceneX, sceneY)) return index;
  }
  return -1;
}

bool HitObject(objEntry& object, int32_t display, int64_t x, int64_t y) {
  switch (object.type) {
    case kObjButton: return HitButton(object.button, x, y);
    case kObjColor: {
      const objColor& c = object.color;
      return c.visible && c.enabled && c.model != kNoId && ModelGetDisplay(c.model) == display &&
             Inside(x, y, c.left, c.top, c.width, c.height);
    }
    case kObjList: return HitList(object.list, display, x, y);
    case kObjSlider: return HitSlider(object.slider, display, x, y);
    case kObjMat: return HitMat(object.mat, x, y);
    case kObjAppObj: return HitAppObj(object, x, y);
    default: return false;  // images, labels, displays, pointers, renders and atex are never hit
  }
}

eventObject EventObjectOf(const script& record, int32_t index) {
  const objEntry& object = record.objects[static_cast<size_t>(index)];
  eventObject target{index, object.name};
  if (object.type == kObjMat) {
    const objMat& m = object.mat;
    if (m.regionIndex >= 0 && static_cast<size_t>(m.regionIndex) < m.region.entries.size() &&
        !m.region.entries[static_cast<size_t>(m.regionIndex)].name.empty()) {
      target.name = UtilUpper(m.region.entries[static_cast<size_t>(m.regionIndex)].name);
    }
  }
  return target;
}

// ---------------------------------------------------------------------------------------------
// Sliders

// The value limited to minValue ... maxValue (a file may hold them the wrong way round).
int32_t ClampValue(const objSlider& s, int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, s.minValue, std::max(s.minValue, s.maxValue)));
}

// One move of a drag; true when the thumb moved (and the value followed it).
bool SliderDrag(objSlider& s, int32_t x, int32_t y, int32_t lastX, int32_t lastY) {
  const bool horizontal = s.sliderType == 0;
  const int64_t now = horizontal ? x : y;
  const int64_t last = horizontal ? lastX : lastY;
  if (now == last) return false;
  s.dragOffset = Saturate(int64_t{s.dragOffset} + now - last);
  const int64_t span = horizontal ? int64_t{s.rangeFrames.width} - s.thumbFrames.width
                                  : int64_t{s.rangeFrames.height} - s.thumbFrames.height;
  // A thumb that fills its range has nowhere to go (and the value formula would divide by zero).
  if (span <= 0) return false;
  const int64_t offset = std::clamp<int64_t>(s.dragOffset, 0, span);
  if (offset == s.thumbOffset) return false;
  s.thumbOffset = static_cast<int32_t>(offset);
  // offset <= span < 2^32 and max - min < 2^32: the product stays inside 64 bits.
  const int64_t value = s.minValue + (int64_t{s.maxValue} - s.minValue) * offset / span;
  s.value = ClampValue(s, value);
  ScriptSliderPlaceThumb(s);
  return true;
}

// A release on a slider that was not dragged: a jump to the pointer (pageType 1) or a page step
// toward it.
void SliderPage(objSlider& s, int32_t x, int32_t y) {
  if (s.rangeFrames.frames.empty() || s.thumbFrames.frames.empty()) return;
  const bool horizontal = s.sliderType == 0;
  const int64_t at = horizontal ? x : y;
  const int64_t start = horizontal ? s.rangeFrames.left : s.rangeFrames.top;
  const int64_t size = horizontal ? s.rangeFrames.width : s.rangeFrames.height;
  const int64_t thumbStart = horizontal ? s.thumbFrames.left : s.thumbFrames.top;
  const int64_t thumbSize = horizontal ? s.thumbFrames.width : s.thumbFrames.height;
  int64_t value = s.value;
  if (s.pageType == 1) {
    const int64_t span = size - thumbSize;
    if (span <= 0) return;  // a thumb as large as the range: no position to jump to
    // Clamping the offset first gives the same clamped value and keeps the product in 64 bits.
    const int64_t offset = std::clamp<int64_t>(at - start - thumbSize / 2, 0, span);
    value = s.minValue + offset * (int64_t{s.maxValue} - s.minValue) / span;
  } else if (at < thumbStart + s.thumbOffset) {
    value -= s.pageSize;
  } else {
    value += s.pageSize;
  }
  s.value = ClampValue(s, value);
  ScriptSliderPlaceThumb(s);
}

// ---------------------------------------------------------------------------------------------
// Lists

// The click of a list at the point: the item under it and the name of its region in the list's
// map, the map laid over each cell.
void ListClick(objList& l, int32_t x, int32_t y) {
  const frameSet& cells = l.cells;
  if (cells.width <= 0 || cells.height <= 0) return;
  const bool horizontal = l.kind == "HORIZONTAL";
  const int64_t dx = int64_t{x} - cells.left;
  const int64_t dy = int64_t{y} - cells.top;
  if (dx < 0 || dy < 0) return;
  l.clickedCell = Saturate(l.firstItem + (horizontal ? dx / cells.width : dy / cells.height));
  const int32_t cell = MapCell(l.region, horizontal ? dx % cells.width : dx, horizontal ? dy : dy % cells.height);
  if (cell < 0) {
    l.clickedRegion.clear();
  } else if (static_cast<size_t>(cell) < l.region.entries.size() &&
             !l.region.entries[static_cast<size_t>(cell)].name.empty()) {
    l.clickedRegion = UtilUpper(l.region.entries[static_cast<size_t>(cell)].name);
  } else {
    l.clickedRegion = std::to_string(cell);
  }
}

// ---------------------------------------------------------------------------------------------
// The pointer

struct pointerPosition {
  int32_t window = 0;
  int32_t windowX = 0, windowY = 0;
  int32_t x = 0, y = 0;  // script coordinates
};

pointerPosition PointerRead(const script& record) {
  pointerPosition at;
  InputPointerGet(record.pointerSet, at.window, at.windowX, at.windowY);
  at.x = at.windowX;
  at.y = at.windowY;
  const scriptView view = ScriptViewGet(record, at.window);
  if (view.display == nullptr) return at;
  const int64_t w = view.display->width, h = view.display->height;
  if (view.display->viewMode == kViewFill) {
    at.x = Saturate(w * at.windowX / std::max(view.windowWidth, 1));
    at.y = Saturate(h * at.windowY / std::max(view.windowHeight, 1));
  } else if (view.display->viewMode == kViewBestFit) {
    at.x = Saturate(w * (int64_t{at.windowX} - view.offsetX) / std::max(view.fittedWidth, 1));
    at.y = Saturate(h * (int64_t{at.windowY} - view.offsetY) / std::max(view.fittedHeight, 1));
  }
  return at;
}

enum class entryKind { kMove, kPress, kRelease };

struct pointerEntry {
  entryKind kind = entryKind::kMove;
  bool secondary = false;
  int32_t event = -1;  // index in the action-event queue
};

// One move entry, then each unhandled pointer-button action event followed by a move entry.
std::vector<pointerEntry> PointerEntries(const inputBuffer& events) {
  std::vector<pointerEntry> entries{pointerEntry{}};
  if (events.empty()) return entries;  // most frames: no name lookups
  const int32_t menu = InputMenuControlSet();
  const int32_t primary = InputActionFind(menu, "Select Item");
  const int32_t secondary = InputActionFind(menu, "Select Item Secondary");
  for (size_t i = 0; i < events.size(); ++i) {
    const inputEvent& event = events[i];
    if (event.handled != 0 || event.code < 1 || (event.code != primary && event.code != secondary)) continue;
    entries.push_back(pointerEntry{event.value != 0 ? entryKind::kPress : entryKind::kRelease,
                                   event.code == secondary, static_cast<int32_t>(i)});
    entries.push_back(pointerEntry{});
  }
  return entries;
}

// The walk over one update's entries; every step returns false once a listener has taken the
// record away.
class pointerPass {
 public:
  pointerPass(script& record, const pointerPosition& at, int32_t set)
      : record_(record), at_(at), set_(set), guard_(record) {}

  bool Run(const pointerEntry& entry) {
    eventObject p = ScriptHitTest(record_, at_.window, at_.x, at_.y);
    // While a button is held only the object it went down on is seen.
    if (record_.focus.index >= 0 && !(p == record_.focus)) p = eventObject{};
    bool alive = true;
    switch (entry.kind) {
      case entryKind::kMove: alive = Move(p); break;
      case entryKind::kPress: alive = Press(p, entry); break;
      case entryKind::kRelease: alive = Release(p, entry); break;
    }
    if (!alive) return false;
    record_.pointerX = at_.x;
    record_.pointerY = at_.y;
    record_.hover = p;
    const objEntry* object = ObjectAt(record_, p.index);
    record_.hoverThumb = object != nullptr && object->type == kObjSlider && object->slider.thumbGrabbed;
    return true;
  }

 private:
  // Sends the event; marks the action event handled when it was delivered. False when the
  // record went away.
  bool Send(const eventObject& target, int32_t code, int32_t actionEvent = -1) {
    if (ScriptEventSend(record_, target, code) && actionEvent >= 0) InputActionEventMark(set_, actionEvent);
    return guard_.Alive();
  }

  objEntry* Slider(const eventObject& target) {
    objEntry* object = ObjectAt(record_, target.index);
    return object != nullptr && object->type == kObjSlider ? object : nullptr;
  }

  bool Move(const eventObject& p) {
    const eventObject hover = record_.hover;
    const eventObject focus = record_.focus;
    if (objEntry* slider = Slider(focus); slider != nullptr && record_.dragging) {
      if (!SliderDrag(slider->slider, at_.x, at_.y, record_.pointerX, record_.pointerY)) return true;
      return Send(focus, kEventSliderChanged);
    }
    if (p == hover) return at_.x == record_.pointerX && at_.y == record_.pointerY ? true : Send(p, kEventMove);
    if (focus.index >= 0) {
      if (hover == focus && !Send(hover, kEventLeave)) return false;
      return p == focus ? Send(p, kEventEnter) : true;
    }
    return Send(hover, kEventLeave) && Send(p, kEventEnter);
  }

  bool Press(const eventObject& p, const pointerEntry& entry) {
    if (!Send(p, entry.secondary ? kEventPressSecondary : kEventPress, entry.event)) return false;
    record_.focus = p;
    if (objEntry* slider = Slider(p); slider != nullptr && slider->slider.thumbGrabbed) {
      slider->slider.dragOffset = slider->slider.thumbOffset;
      record_.dragging = true;
    }
    return true;
  }

  bool Release(const eventObject& p, const pointerEntry& entry) {
    const eventObject focus = record_.focus;
    if (p == focus) {
      objEntry* object = ObjectAt(record_, focus.index);
      if (object != nullptr && object->type == kObjList) ListClick(object->list, at_.x, at_.y);
      if (Slider(focus) == nullptr && !Send(p, entry.secondary ? kEventClickSecondary : kEventClick, entry.event)) {
        return false;
      }
    }
    if (objEntry* slider = Slider(focus)) {
      if (!record_.dragging) {
        SliderPage(slider->slider, at_.x, at_.y);
        if (!Send(focus, kEventSliderChanged, entry.event)) return false;
      }
      if (!Send(focus, kEventSliderReleased, entry.event)) return false;
    }
    record_.focus = eventObject{};
    record_.dragging = false;
    return true;
  }

  script& record_;
  const pointerPosition& at_;
  int32_t set_;
  recordGuard guard_;
};

}  // namespace

void ScriptEventClockSet(uint32_t (*clock)()) { gClock = clock; }

bool ScriptEventSend(script& record, const eventObject& target, int32_t code) {
  if (ObjectAt(record, target.index) == nullptr || target.name.empty()) return false;
  ScriptPostEvent(record.id, code, target.name);
  return true;
}

void ScriptTick(script& record) {
  const uint32_t now = Now();
  // nextTick 0 has never ticked; otherwise the difference decides, which survives the wrap of
  // the 32-bit clock.
  if (record.nextTick != 0 && static_cast<int32_t>(now - static_cast<uint32_t>(record.nextTick)) <= 0) return;
  // Set before the walk: a listener that updates its own script does not tick it again.
  record.nextTick = static_cast<int32_t>(now + kTickMs);
  const recordGuard guard(record);
  for (size_t i = 0; i < record.objects.size(); ++i) {
    objEntry& object = record.objects[i];
    const int32_t index = static_cast<int32_t>(i);
    switch (object.type) {
      case kObjButton:
        if (object.button.visible && object.button.enabled) ScriptEventSend(record, {index, object.name}, kEventTick);
        break;
      case kObjList:
        if (object.list.visible && object.list.enabled) ScriptEventSend(record, {index, object.name}, kEventTick);
        break;
      case kObjColor:
        if (object.color.visible) ScriptEventSend(record, {index, object.name}, kEventTick);
        break;
      case kObjImage:
        if (object.image.visible) ScriptEventSend(record, {index, object.name}, kEventTick);
        break;
      case kObjAtex: {
        const objAtex& t = object.atex;
        int32_t width = 0, height = 0;
        TextureGetImageSize(t.textureHandle, width, height);
        if (t.visible && width > 0 && height > 0) {
          // Velocities are texels a second at the nominal tick rate.
          ModelShiftTexCoords(t.model, static_cast<float>(-t.uvelocity * 0.033 / width),
                              static_cast<float>(-t.vvelocity * 0.033 / height));
        }
        break;
      }
      case kObjAppObj: {
        const objAppObj& a = object.appObj;
        if (a.visible && a.enabled && a.animate) {
          const scriptAppObjAnimate animate = a.animate;
          const std::string name = object.name;
          animate(name);
        }
        break;
      }
      default: break;
    }
    if (!guard.Alive()) return;
  }
}

eventObject ScriptHitTest(script& record, int32_t display, int32_t x, int32_t y) {
  for (size_t k = record.orderList.size(); k-- > 0;) {
    const int32_t index = record.orderList[k].object;
    objEntry* object = ObjectAt(record, index);
    if (object == nullptr || object->ownedByCamera) continue;
    if (object->type == kObjCamera) {
      const int32_t found = HitCamera(record, object->camera, display, x, y);
      if (found >= 0) return EventObjectOf(record, found);
    } else if (HitObject(*object, display < 0 ? object->displayId : display, x, y)) {
      return EventObjectOf(record, index);
    }
  }
  return {};
}

void ScriptPointerProcess(script& record) {
  const pointerPosition at = PointerRead(record);
  const int32_t set = InputControlSetActive();
  pointerPass pass(record, at, set);
  for (const pointerEntry& entry : PointerEntries(InputActionEventsGet(set, false))) {
    if (!pass.Run(entry)) return;
  }
  for (objEntry& object : record.objects) {
    if (object.type != kObjPointer || object.displayId != at.window) continue;
    ScriptFrameSetMoveLeft(object.pointer.frames, at.windowX);
    ScriptFrameSetMoveTop(object.pointer.frames, at.windowY);
  }
}

// Object attributes as script code reads and changes them: each kind maps small attribute numbers
// to its fields, converting values and keeping its models, wrapped text and thumb in step.
#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "core/util.h"
#include "graphics/font.h"
#include "graphics/model.h"
#include "script/script_internal.h"

namespace {

constexpr float kDepth2D = -5.0f;
// A list index beyond this is refused: a script could otherwise ask for billions of entries.
constexpr int32_t kListEntriesMax = 1 << 20;

parameter Int(int32_t value) { return ParameterInteger(value); }
parameter Bool(bool value) { return ParameterBoolean(value); }
parameter Text(const std::string& value) { return ParameterText(value); }

// ---------------------------------------------------------------------------------------------
// Frame sets

template <typename Visit>
void ForEachModel(frameSet& set, Visit visit) {
  for (frame& item : set.frames) {
    for (int32_t model : item.models) {
      if (model != kNoId) visit(model);
    }
  }
}

}  // namespace

void ScriptFrameSetMoveLeft(frameSet& set, int32_t left) {
  const float dx = static_cast<float>(static_cast<int64_t>(left) - set.left);
  set.left = left;
  ForEachModel(set, [dx](int32_t model) { ModelMove(model, dx, 0, 0); });
}

void ScriptFrameSetMoveTop(frameSet& set, int32_t top) {
  const float dy = static_cast<float>(static_cast<int64_t>(top) - set.top);
  set.top = top;
  ForEachModel(set, [dy](int32_t model) { ModelMove(model, 0, dy, 0); });
}

namespace {

// Stores a frame number from 1 to the number of frames (anything else: 1, with the message) and
// takes the set's width and height from image 1 of that frame.
void FrameSetSelect(frameSet& set, int32_t& field, int32_t value, const std::string& message) {
  if (value < 1 || static_cast<size_t>(value) > set.frames.size()) {
    value = 1;
    LogError(message);
  }
  field = value;
  set.width = 0;
  set.height = 0;
  if (static_cast<size_t>(value) > set.frames.size()) return;
  const frame& item = set.frames[static_cast<size_t>(value) - 1];
  if (!item.models.empty() && item.models[0] != kNoId) {
    set.width = static_cast<int32_t>(std::lround(ModelGetWidth(item.models[0])));
    set.height = static_cast<int32_t>(std::lround(ModelGetHeight(item.models[0])));
  }
}

// ---------------------------------------------------------------------------------------------
// Kinds

void Rewrap(int32_t font, int32_t width, const std::string& text, std::vector<std::string>& lines) {
  if (width > 0) lines = FontWrapText(font, width, text);
}

bool ButtonGet(const objButton& b, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(b.frames.left); return true;
    case 1: out = Int(b.frames.top); return true;
    case 2: out = Int(b.frame); return true;
    case 3: out = Bool(b.visible); return true;
    case 4: out = Bool(b.enabled); return true;
    case 5: out = Int(b.frames.height); return true;
    case 6: out = Int(b.frames.homeLeft); return true;
    case 7: out = Int(b.frames.homeTop); return true;
    case 8: out = Text(b.text); return true;
    case 9: out = Int(b.color); return true;
    case 10: out = Int(b.wrapWidth); return true;
    default: return false;
  }
}

bool ButtonSet(objButton& b, int32_t n, const parameter& v) {
  switch (n) {
    case 0: ScriptFrameSetMoveLeft(b.frames, ParameterToInteger(v)); return true;
    case 1: ScriptFrameSetMoveTop(b.frames, ParameterToInteger(v)); return true;
    case 2:
      FrameSetSelect(b.frames, b.frame, ParameterToInteger(v),
                     "ScriptCodeObjectButtonAttributeSet - Script attempted to set invalid frame number.  Clamping to "
                     "first frame.");
      return true;
    case 3: b.visible = ParameterToBoolean(v); return true;
    case 4: b.enabled = ParameterToBoolean(v); return true;
    case 5:
      b.text = ParameterToText(v);
      Rewrap(b.font, b.wrapWidth, b.text, b.lines);
      return true;
    case 6: b.color = ParameterToInteger(v); return true;
    case 7:
      b.wrapWidth = ParameterToInteger(v);
      Rewrap(b.font, b.wrapWidth, b.text, b.lines);
      return true;
    default: return false;  // 8 to 10 can be read only
  }
}

bool ColorGet(const objColor& c, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(c.left); return true;
    case 1: out = Int(c.top); return true;
    case 2: out = Int(c.color); return true;
    case 3: out = Int(c.alpha); return true;
    case 4: out = Bool(c.visible); return true;
    case 5: out = Bool(c.enabled); return true;
    case 6: out = Int(c.width); return true;
    case 7: out = Int(c.height); return true;
    default: return false;
  }
}

// The quad's corners 1 (0,h), 2 (w,h) and 3 (w,0) after a size change, recompiled.
void ColorReshape(const objColor& c) {
  const float w = static_cast<float>(c.width), h = static_cast<float>(c.height);
  ModelSetVertex(c.model, 1, {0, h, kDepth2D});
  ModelSetVertex(c.model, 2, {w, h, kDepth2D});
  ModelSetVertex(c.model, 3, {w, 0, kDepth2D});
  ModelCompile(c.model);
}

bool ColorSet(objColor& c, int32_t n, const parameter& v) {
  const int32_t value = ParameterToInteger(v);
  switch (n) {
    case 0:
      ModelMove(c.model, static_cast<float>(static_cast<int64_t>(value) - c.left), 0, 0);
      c.left = value;
      return true;
    case 1:
      ModelMove(c.model, 0, static_cast<float>(static_cast<int64_t>(value) - c.top), 0);
      c.top = value;
      return true;
    case 2: c.color = value; ScriptColorApply(c); return true;
    case 3: c.alpha = value; ScriptColorApply(c); return true;
    case 4: c.visible = ParameterToBoolean(v); return true;
    case 5: c.enabled = ParameterToBoolean(v); return true;
    case 6: c.width = value; ColorReshape(c); return true;
    case 7: c.height = value; ColorReshape(c); return true;
    default: return false;
  }
}

bool DisplayGet(const objDisplay& d, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(d.width); return true;
    case 1: out = Int(d.height); return true;
    case 2: out = Text(d.viewMode == 0 ? "Fill" : d.viewMode == 1 ? "BestFit" : "undefined"); return true;
    default: return false;
  }
}

bool DisplaySet(objDisplay& d, int32_t n, const parameter& v) {
  switch (n) {
    case 0: d.width = ParameterToInteger(v); return true;
    case 1: d.height = ParameterToInteger(v); return true;
    case 2: {
      const std::string mode = UtilUpper(ParameterToText(v));
      if (mode == "FILL") d.viewMode = 0;
      if (mode == "BESTFIT") d.viewMode = 1;
      return true;  // any other text leaves the mode as it was
    }
    default: return false;
  }
}

bool ImageGet(const objImage& m, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(m.frames.left); return true;
    case 1: out = Int(m.frames.top); return true;
    case 2: out = Int(m.rotation); return true;
    case 3: out = Int(m.frame); return true;
    case 4: out = Bool(m.visible); return true;
    case 5: out = Int(m.alpha); return true;
    case 6: out = Int(m.frames.width); return true;
    case 7: out = Int(m.frames.height); return true;
    case 8: out = Int(static_cast<int32_t>(m.frames.frames.size())); return true;
    default: return false;
  }
}

bool ImageSet(objImage& m, const std::string& name, int32_t n, const parameter& v) {
  switch (n) {
    case 0: ScriptFrameSetMoveLeft(m.frames, ParameterToInteger(v)); return true;
    case 1: ScriptFrameSetMoveTop(m.frames, ParameterToInteger(v)); return true;
    case 2: {
      const int32_t rotation = ParameterToInteger(v);
      const float turn = static_cast<float>(static_cast<int64_t>(rotation) - m.rotation);
      m.rotation = rotation;
      ForEachModel(m.frames, [turn](int32_t model) { ModelRotate(model, turn); });
      return true;
    }
    case 3:
      FrameSetSelect(m.frames, m.frame, ParameterToInteger(v),
                     "ScriptCodeObjectImageAttributeSet - Script attempted to set invalid frame number.  Clamping to "
                     "first frame on object \"" + name + "\".");
      return true;
    case 4: m.visible = ParameterToBoolean(v); return true;
    case 5: {
      m.alpha = ParameterToInteger(v);
      const uint8_t alpha = static_cast<uint8_t>(m.alpha);
      ForEachModel(m.frames, [alpha](int32_t model) { ModelSetColor(model, 255, 255, 255, alpha); });
      return true;
    }
    default: return false;
  }
}

bool LabelGet(const objLabel& l, int32_t n, parameter& out) {
  const int32_t lines = static_cast<int32_t>(l.lines.size());
  switch (n) {
    case 0: out = Int(l.left); return true;
    case 1: out = Int(l.top); return true;
    case 2: out = Int(l.color); return true;
    case 3: out = Text(l.text); return true;
    case 4: out = Bool(l.visible); return true;
    case 5: out = Int(l.wrapWidth); return true;
    case 6: out = Int(l.wrapLineOffset); return true;
    case 7: out = Int(l.alpha); return true;
    case 8: out = Int(l.wrapHeight); return true;
    case 9: out = Int(l.firstLine); return true;
    case 10: out = Int(lines); return true;
    case 11: {
      const int32_t height = FontGetHeight(l.font);
      out = Int(lines < 2 ? height : height * lines + (lines - 1) * l.wrapLineOffset);
      return true;
    }
    case 12: {
      int32_t width = 0;
      if (lines < 2) {
        width = FontTextWidth(l.font, l.text);
      } else {
        for (const std::string& line : l.lines) width = std::max(width, FontTextWidth(l.font, line));
      }
      out = Int(width);
      return true;
    }
    default: return false;
  }
}

bool LabelSet(objLabel& l, int32_t n, const parameter& v) {
  switch (n) {
    case 0: l.left = ParameterToInteger(v); return true;
    case 1: l.top = ParameterToInteger(v); return true;
    case 2: l.color = ParameterToInteger(v); return true;
    case 3:
      l.text = ParameterToText(v);
      Rewrap(l.font, l.wrapWidth, l.text, l.lines);
      return true;
    case 4: l.visible = ParameterToBoolean(v); return true;
    case 5:
      l.wrapWidth = ParameterToInteger(v);
      Rewrap(l.font, l.wrapWidth, l.text, l.lines);
      return true;
    case 6: l.wrapLineOffset = ParameterToInteger(v); return true;
    case 7: l.alpha = static_cast<uint8_t>(ParameterToInteger(v)); return true;
    case 8: l.wrapHeight = ParameterToInteger(v); return true;
    case 9: l.firstLine = ParameterToInteger(v); return true;
    default: return false;
  }
}

bool EntryGet(const std::vector<parameter>& list, int32_t index, parameter& out) {
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return false;
  out = list[static_cast<size_t>(index)];
  return true;
}

// list[index] := value, growing the list with `filler`; a negative index does nothing.
bool EntrySet(std::vector<parameter>& list, int32_t index, const parameter& value, const parameter& filler) {
  if (index < 0) return true;
  if (index >= kListEntriesMax) return false;
  if (static_cast<size_t>(index) >= list.size()) list.resize(static_cast<size_t>(index) + 1, filler);
  list[static_cast<size_t>(index)] = value;
  return true;
}

bool ListGet(const objList& l, int32_t n, int32_t index, parameter& out) {
  switch (n) {
    case 0: out = Int(l.cells.left); return true;
    case 1: out = Int(l.cells.top); return true;
    case 2: out = Int(l.color); return true;
    case 3: out = Int(l.frame); return true;
    case 4: out = Int(l.cellCount); return true;
    case 5: return EntryGet(l.items, index, out);
    case 6: out = Int(l.clickedCell); return true;
    case 7: out = Int(l.firstItem); return true;
    case 8: out = Bool(l.visible); return true;
    case 9: out = Bool(l.enabled); return true;
    case 10: out = Int(l.frameSelected); return true;
    case 11: out = Int(l.frameMouseOver); return true;
    case 12: out = Int(l.cells.height); return true;
    case 13: out = Int(l.cells.width); return true;
    case 14: out = Int(l.colorSelected); return true;
    case 15: out = Text(l.kind); return true;
    case 16: out = Text(l.clickedRegion); return true;
    case 17: out = Int(l.textOffsetX); return true;
    case 18: out = Int(l.textOffsetY); return true;
    case 19: out = Int(l.textWidth); return true;
    case 20: return EntryGet(l.icons, index, out);
    case 21: return EntryGet(l.values, index, out);
    case 22: out = Int(l.textMode); return true;
    default: return false;
  }
}

// frameSelected and frameMouseOver: 1 ... number of cell frames, else 1 with the message.
void ListCellFrame(const objList& l, int32_t& field, int32_t value, const char* what) {
  if (value < 1 || static_cast<size_t>(value) > l.cells.frames.size()) {
    value = 1;
    LogError(std::string("ScriptCodeObjectListAttributeSet - Script attempted to set invalid ") + what +
             " number.  Clamping to first frame.");
  }
  field = value;
}

bool ListSet(objList& l, int32_t n, int32_t index, const parameter& v) {
  switch (n) {
    case 0: {
      const int32_t left = ParameterToInteger(v);
      ScriptFrameSetMoveLeft(l.cells, left);
      ScriptFrameSetMoveLeft(l.iconFrames, left);
      return true;
    }
    case 1: {
      const int32_t top = ParameterToInteger(v);
      ScriptFrameSetMoveTop(l.cells, top);
      ScriptFrameSetMoveTop(l.iconFrames, top);
      return true;
    }
    case 2: l.color = ParameterToInteger(v); return true;
    case 3:
      FrameSetSelect(l.cells, l.frame, ParameterToInteger(v),
                     "ScriptCodeObjectListAttributeSet - Script attempted to set invalid frame number.  Clamping to "
                     "first frame.");
      return true;
    case 4: l.cellCount = ParameterToInteger(v); return true;
    case 5: return EntrySet(l.items, index, v, Text(""));
    case 6: l.clickedCell = ParameterToInteger(v); return true;
    case 7: l.firstItem = std::max(0, ParameterToInteger(v)); return true;
    case 8: l.visible = ParameterToBoolean(v); return true;
    case 9: l.enabled = ParameterToBoolean(v); return true;
    case 10: l.colorSelected = ParameterToInteger(v); return true;
    case 11: {
      const std::string kind = UtilUpper(ParameterToText(v));
      if (kind == "HORIZONTAL" || kind == "VERTICAL") l.kind = kind;
      return true;
    }
    case 12: l.textOffsetX = ParameterToInteger(v); return true;
    case 13: l.textOffsetY = ParameterToInteger(v); return true;
    case 14: l.textWidth = ParameterToInteger(v); return true;
    case 15: return EntrySet(l.icons, index, v, Int(-1));
    case 16: return EntrySet(l.values, index, v, Int(0));
    case 17: {
      const int32_t mode = ParameterToInteger(v);
      if (mode < 0 || mode > 3) {
        LogError("ScriptCodeObjectListAttributeSet - Invalid text mode " + std::to_string(mode) + " ignored on list.");
      } else {
        l.textMode = static_cast<uint8_t>(mode);
      }
      return true;
    }
    case 18: ListCellFrame(l, l.frameSelected, ParameterToInteger(v), "frameSelected"); return true;
    case 19: ListCellFrame(l, l.frameMouseOver, ParameterToInteger(v), "frameMouseOver"); return true;
    default: return false;
  }
}

bool PointerGet(const script& record, const objPointer& p, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Bool(p.visible); return true;
    case 1: out = Int(p.frame); return true;
    case 2: out = Int(record.pointerX); return true;
    case 3: out = Int(record.pointerY); return true;
    case 4: out = Bool(p.fadeOnIdle); return true;
    case 5: out = Int(p.fadeDelay); return true;
    case 6: out = Int(p.fadeDuration); return true;
    default: return false;
  }
}

bool PointerSet(objPointer& p, int32_t n, const parameter& v) {
  switch (n) {
    case 0: p.visible = ParameterToBoolean(v); return true;
    case 1:
      FrameSetSelect(p.frames, p.frame, ParameterToInteger(v),
                     "ScriptCodeObjectPointerAttributeSet - Script attempted to set invalid frame number.  Clamping "
                     "to first frame.");
      return true;
    case 2:
      p.fadeOnIdle = ParameterToBoolean(v);
      if (!p.fadeOnIdle && p.fadeAlpha != 255) {
        p.fadeAlpha = 255;
        ForEachModel(p.frames, [](int32_t model) { ModelSetColor(model, 255, 255, 255, 255); });
      }
      return true;
    case 3: p.fadeDelay = ParameterToInteger(v); return true;
    case 4: p.fadeDuration = ParameterToInteger(v); return true;
    default: return false;
  }
}

}  // namespace

void ScriptSliderPlaceThumb(objSlider& s) {
  if (s.minValue == s.maxValue) return;
  const bool horizontal = s.sliderType == 0;
  const int64_t span = horizontal ? int64_t{s.rangeFrames.width} - s.thumbFrames.width
                                  : int64_t{s.rangeFrames.height} - s.thumbFrames.height;
  s.thumbOffset = static_cast<int32_t>(span * (int64_t{s.value} - s.minValue) / (int64_t{s.maxValue} - s.minValue));
  if (s.frameSlider < 1 || static_cast<size_t>(s.frameSlider) > s.thumbFrames.frames.size()) return;
  const float x = static_cast<float>(s.thumbFrames.left + (horizontal ? s.thumbOffset : 0));
  const float y = static_cast<float>(s.thumbFrames.top + (horizontal ? 0 : s.thumbOffset));
  for (int32_t model : s.thumbFrames.frames[static_cast<size_t>(s.frameSlider) - 1].models) {
    if (model != kNoId) ModelSetPosition(model, x, y, kDepth2D);
  }
}

namespace {

bool SliderGet(const objSlider& s, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(s.rangeFrames.left); return true;
    case 1: out = Int(s.rangeFrames.top); return true;
    case 2: out = Int(s.frameRange); return true;
    case 3: out = Int(s.frameSlider); return true;
    case 4: out = Int(s.minValue); return true;
    case 5: out = Int(s.maxValue); return true;
    case 6: out = Int(s.value); return true;
    case 7: out = Bool(s.visible); return true;
    case 8: out = Bool(s.enabled); return true;
    case 9: out = Int(s.rangeFrames.height); return true;
    case 10: out = Int(s.pageType); return true;
    case 11: out = Int(s.pageSize); return true;
    default: return false;
  }
}

bool SliderSet(objSlider& s, int32_t n, const parameter& v) {
  const int32_t value = ParameterToInteger(v);
  switch (n) {
    case 0: ScriptFrameSetMoveLeft(s.rangeFrames, value); ScriptFrameSetMoveLeft(s.thumbFrames, value); return true;
    case 1: ScriptFrameSetMoveTop(s.rangeFrames, value); ScriptFrameSetMoveTop(s.thumbFrames, value); return true;
    case 2:
      FrameSetSelect(s.rangeFrames, s.frameRange, value,
                     "ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame range number.  "
                     "Clamping to first frame.");
      return true;
    case 3:
      FrameSetSelect(s.thumbFrames, s.frameSlider, value,
                     "ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame slider number.  "
                     "Clamping to first frame.");
      return true;
    case 4:
      s.minValue = std::min(value, s.maxValue);
      s.value = std::max(s.value, s.minValue);
      ScriptSliderPlaceThumb(s);
      return true;
    case 5:
      s.maxValue = std::max(value, s.minValue);
      s.value = std::min(s.value, s.maxValue);
      ScriptSliderPlaceThumb(s);
      return true;
    case 6:
      s.value = std::clamp(value, s.minValue, std::max(s.minValue, s.maxValue));
      ScriptSliderPlaceThumb(s);
      return true;
    case 7: s.visible = ParameterToBoolean(v); return true;
    case 8: s.enabled = ParameterToBoolean(v); return true;
    case 9: s.pageType = value == 1 ? 1 : 0; return true;
    case 10: s.pageSize = value; return true;
    default: return false;
  }
}

bool MatGet(const objMat& m, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(m.left); return true;
    case 1: out = Int(m.top); return true;
    case 2: out = Bool(m.enabled); return true;
    case 3: out = Text(m.fileName); return true;
    default: return false;
  }
}

bool MatSet(objMat& m, int32_t n, const parameter& v) {
  switch (n) {
    case 0: m.left = ParameterToInteger(v); return true;
    case 1: m.top = ParameterToInteger(v); return true;
    case 2: m.enabled = ParameterToBoolean(v); return true;
    case 3:
      m.fileName = ParameterToText(v);
      m.region = MatOpen(m.fileName);
      return true;
    default: return false;
  }
}

bool AtexGet(const objAtex& t, int32_t n, parameter& out) {
  switch (n) {
    case 0: out = Int(t.left); return true;
    case 1: out = Int(t.top); return true;
    case 2: out = Int(t.alpha); return true;
    case 3: out = Bool(t.visible); return true;
    case 4: out = Int(t.uvelocity); return true;
    case 5: out = Int(t.vvelocity); return true;
    default: return false;
  }
}

bool AtexSet(objAtex& t, int32_t n, const parameter& v) {
  const int32_t value = ParameterToInteger(v);
  switch (n) {
    case 0:
      ModelMove(t.model, static_cast<float>(static_cast<int64_t>(value) - t.left), 0, 0);
      t.left = value;
      return true;
    case 1:
      ModelMove(t.model, 0, static_cast<float>(static_cast<int64_t>(value) - t.top), 0);
      t.top = value;
      return true;
    case 2:
      t.alpha = value;
      ModelSetColor(t.model, 255, 255, 255, static_cast<uint8_t>(value));
      return true;
    case 3: t.visible = ParameterToBoolean(v); return true;
    case 4: t.uvelocity = value; return true;
    case 5: t.vvelocity = value; return true;
    default: return false;
  }
}

bool AppObjGet(const objAppObj& o, int32_t n, parameter& out) {
  if (n != 0 && n != 1) return false;
  out = Bool(n == 0 ? o.enabled : o.visible);
  return true;
}

bool AppObjSet(objAppObj& o, int32_t n, const parameter& v) {
  if (n != 0 && n != 1) return false;
  (n == 0 ? o.enabled : o.visible) = ParameterToBoolean(v);
  return true;
}

// Camera attributes 1 to 6 in their numbering order.
int32_t* CameraField(objCamera& c, int32_t n) {
  int32_t* fields[] = {&c.viewLeft, &c.viewTop, &c.viewWidth, &c.viewHeight, &c.cameraX, &c.cameraY};
  return n >= 1 && n <= 6 ? fields[n - 1] : nullptr;
}

bool CameraGet(objCamera& c, int32_t n, parameter& out) {
  if (n == 0) {
    out = Bool(c.enabled);
    return true;
  }
  const int32_t* field = CameraField(c, n);
  if (field != nullptr) out = Int(*field);
  return field != nullptr;
}

bool CameraSet(objCamera& c, int32_t n, const parameter& v) {
  if (n == 0) {
    c.enabled = ParameterToBoolean(v);
    return true;
  }
  int32_t* field = CameraField(c, n);
  if (field != nullptr) *field = ParameterToInteger(v);
  return field != nullptr;
}

objEntry* ObjectAt(script& record, int32_t object) {
  if (object < 0 || static_cast<size_t>(object) >= record.objects.size()) return nullptr;
  return &record.objects[static_cast<size_t>(object)];
}

// Updates the object's entry in one order list, when it is there, and re-sorts the list.
void OrderListUpdate(std::vector<orderEntry>& list, int32_t object, int32_t order) {
  bool found = false;
  for (orderEntry& entry : list) {
    if (entry.object == object) {
      entry.order = order;
      found = true;
    }
  }
  if (found) ScriptOrderSort(list);
}

}  // namespace

bool ScriptObjectAttributeIndexed(const script& record, int32_t object, int32_t attribute, bool set) {
  if (object < 0 || static_cast<size_t>(object) >= record.objects.size()) return false;
  if (record.objects[static_cast<size_t>(object)].type != kObjList) return false;
  return set ? (attribute == 5 || attribute == 15 || attribute == 16)
             : (attribute == 5 || attribute == 20 || attribute == 21);
}

bool ScriptObjectAttributeGet(script& record, int32_t object, int32_t attribute, int32_t index, parameter& value) {
  objEntry* entry = ObjectAt(record, object);
  if (entry == nullptr) return false;
  if (attribute == kAttributeOrder) {
    value = Int(entry->order);
    return true;
  }
  switch (entry->type) {
    case kObjButton: return ButtonGet(entry->button, attribute, value);
    case kObjColor: return ColorGet(entry->color, attribute, value);
    case kObjDisplay: return DisplayGet(entry->display, attribute, value);
    case kObjImage: return ImageGet(entry->image, attribute, value);
    case kObjLabel: return LabelGet(entry->label, attribute, value);
    case kObjList: return ListGet(entry->list, attribute, index, value);
    case kObjPointer: return PointerGet(record, entry->pointer, attribute, value);
    case kObjSlider: return SliderGet(entry->slider, attribute, value);
    case kObjMat: return MatGet(entry->mat, attribute, value);
    case kObjAtex: return AtexGet(entry->atex, attribute, value);
    case kObjAppObj: return AppObjGet(entry->appObj, attribute, value);
    case kObjCamera: return CameraGet(entry->camera, attribute, value);
    default: return false;  // Render and unknown kinds have no attributes
  }
}

bool ScriptObjectAttributeSet(script& record, int32_t object, int32_t attribute, int32_t index,
                              const parameter& value) {
  objEntry* entry = ObjectAt(record, object);
  if (entry == nullptr) return false;
  if (attribute == kAttributeOrder) {
    ScriptObjectOrderSet(record, object, ParameterToInteger(value));
    return true;
  }
  switch (entry->type) {
    case kObjButton: return ButtonSet(entry->button, attribute, value);
    case kObjColor: return ColorSet(entry->color, attribute, value);
    case kObjDisplay: return DisplaySet(entry->display, attribute, value);
    case kObjImage: return ImageSet(entry->image, entry->name, attribute, value);
    case kObjLabel: return LabelSet(entry->label, attribute, value);
    case kObjList: return ListSet(entry->list, attribute, index, value);
    case kObjPointer: return PointerSet(entry->pointer, attribute, value);
    case kObjSlider: return SliderSet(entry->slider, attribute, value);
    case kObjMat: return MatSet(entry->mat, attribute, value);
    case kObjAtex: return AtexSet(entry->atex, attribute, value);
    case kObjAppObj: return AppObjSet(entry->appObj, attribute, value);
    case kObjCamera: return CameraSet(entry->camera, attribute, value);
    default: return false;
  }
}

void ScriptObjectOrderSet(script& record, int32_t object, int32_t order) {
  objEntry* entry = ObjectAt(record, object);
  if (entry == nullptr) return;
  entry->order = order;
  OrderListUpdate(record.orderList, object, order);
  for (objEntry& other : record.objects) {
    if (other.type == kObjCamera) OrderListUpdate(other.camera.objects, object, order);
  }
}

// The script table and the loader of compiled script files.
//
// A script file is read whole into memory and parsed through a bounded reader. No storage is
// sized from a count in the file: every list grows one item at a time as each item is read, and
// the code bytes are copied only after their count was checked against the bytes the file still
// holds, so a header that lies about a count fails with that item's message and allocates no
// more than the file's own size.
#include <algorithm>

#include "core/bytes.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "input/input.h"
#include "script/script_internal.h"

namespace {

IdRegistry<script> gScripts;
scriptEngineHooks gHooks;

// ---------------------------------------------------------------------------------------------
// Primitive fields: false when the file ends first.

bool ReadI32(ByteReader& in, int32_t& out) {
  if (in.Remaining() < 4) return false;
  out = in.I32();
  return true;
}

bool ReadU8(ByteReader& in, uint8_t& out) {
  if (in.Remaining() < 1) return false;
  out = in.U8();
  return true;
}

bool ReadText(ByteReader& in, std::string& out) {
  if (in.Remaining() < 1) return false;
  const size_t length = in.U8();
  if (in.Remaining() < length) return false;
  out = in.Text(length);
  return true;
}

// Attribute fields of one object reader: a short read logs
// "<reader> - Unable to read object attribute "<attribute>"." and gives false.
class attributeReader {
 public:
  attributeReader(ByteReader& in, const char* reader) : in_(in), reader_(reader) {}

  bool I32(const char* attribute, int32_t& out) { return ReadI32(in_, out) || Fail(attribute); }
  bool U8(const char* attribute, uint8_t& out) { return ReadU8(in_, out) || Fail(attribute); }
  bool Bool(const char* attribute, bool& out) {
    uint8_t value = 0;
    if (!U8(attribute, value)) return false;
    out = value != 0;
    return true;
  }
  bool Text(const char* attribute, std::string& out) { return ReadText(in_, out) || Fail(attribute); }
  // A count: a negative value is as unreadable as a missing one.
  bool Count(const char* attribute, int32_t& out) { return (ReadI32(in_, out) && out >= 0) || Fail(attribute); }

  bool Fail(const char* attribute) {
    LogError(std::string(reader_) + " - Unable to read object attribute \"" + attribute + "\".");
    return false;
  }
  ByteReader& in() { return in_; }

 private:
  ByteReader& in_;
  const char* reader_;
};

// ---------------------------------------------------------------------------------------------
// Frame sets and triangles

bool ReadFrames(ByteReader& in, int32_t version, frameSet& set) {
  attributeReader a(in, "ScriptFileReadFrames");
  if (version >= 2 && !a.U8("blend", set.blend)) return false;
  if (version >= 3 && !a.Bool("memory", set.memory)) return false;
  int32_t frameCount = 0;
  if (!a.Count("frameCount", frameCount)) return false;
  for (int32_t f = 0; f < frameCount; ++f) {
    frame item;
    const std::string where = "ScriptFileReadFrames - Unable to read object frame " + std::to_string(f);
    if (version >= 8 && !ReadText(in, item.mat)) {
      LogError(where + " mat.");
      return false;
    }
    int32_t imageCount = 0;
    if (!ReadI32(in, imageCount) || imageCount < 0) {
      LogError(where + " image count.");
      return false;
    }
    for (int32_t i = 0; i < imageCount; ++i) {
      std::string name;
      if (!ReadText(in, name)) {
        LogError(where + " image " + std::to_string(i) + " count.");
        return false;
      }
      item.images.push_back(std::move(name));
    }
    set.frames.push_back(std::move(item));
  }
  return true;
}

bool ReadTriangles(ByteReader& in, std::vector<atexTriangle>& triangles) {
  static const char* const kCorners[12] = {"x1", "y1", "u1", "v1", "x2", "y2", "u2", "v2", "x3", "y3", "u3", "v3"};
  attributeReader a(in, "ScriptFileReadTriangles");
  int32_t count = 0;
  if (!a.Count("triangleCount", count)) return false;
  for (int32_t t = 0; t < count; ++t) {
    atexTriangle triangle{};
    for (size_t c = 0; c < triangle.size(); ++c) {
      if (!a.I32(kCorners[c], triangle[c])) return false;
    }
    triangles.push_back(triangle);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Object kinds, each in its file order

bool ReadButton(ByteReader& in, int32_t v, objButton& b) {
  attributeReader a(in, "ScriptFileReadObjectButton");
  if (!(a.I32("left", b.frames.left) && a.I32("top", b.frames.top) && a.I32("frame", b.frame) &&
        a.Bool("visible", b.visible) && a.Bool("enabled", b.enabled))) {
    return false;
  }
  if (v >= 11 && !(a.Text("font file name", b.fontFile) && a.Text("text", b.text) && a.I32("color", b.color) &&
                   a.I32("wrapWidth", b.wrapWidth))) {
    return false;
  }
  b.frames.homeLeft = b.frames.left;
  b.frames.homeTop = b.frames.top;
  return ReadFrames(in, v, b.frames);
}

bool ReadColor(ByteReader& in, objColor& c) {
  attributeReader a(in, "ScriptFileReadObjectColor");
  return a.I32("left", c.left) && a.I32("top", c.top) && a.I32("width", c.width) && a.I32("height", c.height) &&
         a.I32("color", c.color) && a.I32("alpha", c.alpha) && a.Bool("visible", c.visible) &&
         a.Bool("enabled", c.enabled);
}

bool ReadDisplay(ByteReader& in, int32_t v, objDisplay& d) {
  attributeReader a(in, "ScriptFileReadObjectDisplay");
  return a.I32("width", d.width) && a.I32("height", d.height) && (v < 2 || a.I32("viewMode", d.viewMode));
}

bool ReadImage(ByteReader& in, int32_t v, objImage& m) {
  attributeReader a(in, "ScriptFileReadObjectImage");
  return a.I32("left", m.frames.left) && a.I32("top", m.frames.top) && a.I32("rotation", m.rotation) &&
         a.I32("frame", m.frame) && a.Bool("visible", m.visible) && a.I32("alpha", m.alpha) &&
         (v < 13 || (a.I32("offsetX", m.offsetX) && a.I32("offsetY", m.offsetY))) && ReadFrames(in, v, m.frames);
}

bool ReadLabel(ByteReader& in, int32_t v, objLabel& l) {
  attributeReader a(in, "ScriptFileReadObjectLabel");
  if (!(a.I32("left", l.left) && a.I32("top", l.top) && a.Text("file name", l.fontFile) && a.I32("color", l.color))) {
    return false;
  }
  if (v >= 9 && !a.U8("alpha", l.alpha)) return false;
  if (!(a.Text("text", l.text) && a.Bool("visible", l.visible))) return false;
  if (v >= 4) {
    if (!a.I32("wrapWidth", l.wrapWidth)) return false;
    if (v >= 10 && !a.I32("wrapHeight", l.wrapHeight)) return false;
    if (!a.I32("wrapLineOffset", l.wrapLineOffset)) return false;
  }
  if (v >= 10 && !a.I32("firstLine", l.firstLine)) return false;
  return v < 14 || a.I32("align", l.align);
}

bool ReadList(ByteReader& in, int32_t v, objList& l) {
  attributeReader a(in, "ScriptFileReadObjectList");
  if (!(a.I32("left", l.cells.left) && a.I32("top", l.cells.top) && a.Text("kind", l.kind))) return false;
  const std::string kind = UtilUpper(l.kind);
  if (kind != "HORIZONTAL" && kind != "VERTICAL") {
    LogError("ScriptFileReadObjectList - Unrecognized value \"" + l.kind + "\" for object attribute \"kind\".");
    return false;
  }
  l.kind = kind;
  l.iconFrames.left = l.cells.left;
  l.iconFrames.top = l.cells.top;
  if (!(a.Text("file name", l.fontFile) && a.I32("color", l.color) && a.I32("colorSelected", l.colorSelected) &&
        a.I32("frame", l.frame) && a.I32("frameSelected", l.frameSelected) &&
        a.I32("frameMouseOver", l.frameMouseOver) && a.I32("cellCount", l.cellCount) &&
        a.Bool("visible", l.visible) && a.Bool("enabled", l.enabled) && a.Text("mat", l.mat))) {
    return false;
  }
  if (v >= 4 && !(a.I32("textOffsetX", l.textOffsetX) && a.I32("textOffsetY", l.textOffsetY))) return false;
  if (v >= 5 && !a.I32("textWidth", l.textWidth)) return false;
  l.textMode = v >= 5 ? 2 : 0;
  if (v >= 10 && !a.U8("textMode", l.textMode)) return false;
  if (!ReadFrames(in, v, l.cells)) return false;
  return v < 7 || ReadFrames(in, v, l.iconFrames);
}

bool ReadPointer(ByteReader& in, int32_t v, objPointer& p) {
  attributeReader a(in, "ScriptFileReadObjectPointer");
  return a.I32("frame", p.frame) && a.Bool("visible", p.visible) &&
         (v < 16 || (a.Bool("fadeOnIdle", p.fadeOnIdle) && a.I32("fadeDelay", p.fadeDelay) &&
                     a.I32("fadeDuration", p.fadeDuration))) &&
         ReadFrames(in, v, p.frames);
}

bool ReadSlider(ByteReader& in, int32_t v, objSlider& s) {
  attributeReader a(in, "ScriptFileReadObjectSlider");
  if (!(a.I32("left", s.rangeFrames.left) && a.I32("top", s.rangeFrames.top) && a.I32("frameRange", s.frameRange) &&
        a.I32("frameSlider", s.frameSlider) && a.I32("minValue", s.minValue) && a.I32("maxValue", s.maxValue) &&
        a.I32("value", s.value) && a.I32("sliderType", s.sliderType) && a.Bool("visible", s.visible) &&
        a.Bool("enabled", s.enabled))) {
    return false;
  }
  if (v >= 15 && !(a.I32("pageType", s.pageType) && a.I32("pageSize", s.pageSize))) return false;
  s.thumbFrames.left = s.rangeFrames.left;
  s.thumbFrames.top = s.rangeFrames.top;
  return ReadFrames(in, v, s.rangeFrames) && ReadFrames(in, v, s.thumbFrames);
}

bool ReadMat(ByteReader& in, objMat& m) {
  attributeReader a(in, "ScriptFileReadObjectMat");
  return a.I32("left", m.left) && a.I32("top", m.top) && a.Bool("enabled", m.enabled) &&
         a.Text("file name", m.fileName);
}

bool ReadRender(ByteReader& in, objRender& r) {
  attributeReader a(in, "ScriptFileReadObjectRender");
  return a.Text("appRoutineName", r.appRoutineName);
}

bool ReadAtex(ByteReader& in, objAtex& t) {
  attributeReader a(in, "ScriptFileReadObjectAtex");
  return a.I32("left", t.left) && a.I32("top", t.top) && a.I32("alpha", t.alpha) && a.Bool("visible", t.visible) &&
         a.Text("texture", t.texture) && a.U8("blend", t.blend) && a.I32("uvelocity", t.uvelocity) &&
         a.I32("vvelocity", t.vvelocity) && ReadTriangles(in, t.triangles);
}

bool ReadAppObj(ByteReader& in, objAppObj& o) {
  attributeReader a(in, "ScriptFileReadObjectAppObj");
  if (!(a.Bool("enabled", o.enabled) && a.Bool("visible", o.visible) && a.Text("scriptAnimate", o.animateName) &&
        a.Text("scriptInObject", o.inObjectName) && a.Text("scriptRender", o.renderName))) {
    return false;
  }
  // Resolved once here; a name nobody registered leaves the routine empty, without a message.
  if (const auto* entry = ScriptAppObjRoutineFindAnimate(o.animateName)) o.animate = entry->routine;
  if (const auto* entry = ScriptAppObjRoutineFindInObject(o.inObjectName)) o.inObject = entry->routine;
  if (const auto* entry = ScriptAppObjRoutineFindRender(o.renderName)) o.render = entry->routine;
  return true;
}

bool ReadCamera(ByteReader& in, objCamera& c) {
  attributeReader a(in, "ScriptFileReadObjectCamera");
  int32_t count = 0;
  if (!(a.Bool("enabled", c.enabled) && a.I32("viewLeft", c.viewLeft) && a.I32("viewTop", c.viewTop) &&
        a.I32("viewWidth", c.viewWidth) && a.I32("viewHeight", c.viewHeight) && a.I32("cameraX", c.cameraX) &&
        a.I32("cameraY", c.cameraY) && a.Count("objectCount", count))) {
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string name;
    if (!ReadText(in, name)) {
      LogError("ScriptFileReadObjectCamera - Unable to read object name " + std::to_string(i) + " for camera.");
      return false;
    }
    c.names.push_back(UtilUpper(name));
  }
  return true;
}

bool ReadObjectAttributes(ByteReader& in, int32_t v, objEntry& object) {
  switch (object.type) {
    case kObjButton: return ReadButton(in, v, object.button);
    case kObjColor: return ReadColor(in, object.color);
    case kObjDisplay: return ReadDisplay(in, v, object.display);
    case kObjImage: return ReadImage(in, v, object.image);
    case kObjLabel: return ReadLabel(in, v, object.label);
    case kObjList: return ReadList(in, v, object.list);
    case kObjPointer: return ReadPointer(in, v, object.pointer);
    case kObjSlider: return ReadSlider(in, v, object.slider);
    case kObjMat: return ReadMat(in, object.mat);
    case kObjRender: return ReadRender(in, object.render);
    case kObjAtex: return ReadAtex(in, object.atex);
    case kObjAppObj: return ReadAppObj(in, object.appObj);
    case kObjCamera: return ReadCamera(in, object.camera);
    default: return true;  // an unknown kind has no attributes and stays inert
  }
}

// Steps 4 to 10 of the load over the file's bytes; false after one log line.
bool ReadScript(ByteReader& in, script& record) {
  const std::string op = "ScriptFileLoad - ";
  if (!ReadI32(in, record.version)) {
    LogError(op + "Unable to read version number.");
    return false;
  }
  if (record.version > kScriptVersionMax) {
    LogError(op + "Script uses unsupported features.  Script requires version " + std::to_string(record.version) +
             ".  Module supports up to " + std::to_string(kScriptVersionMax) + ".");
    return false;
  }
  const int32_t v = record.version;

  int32_t routineCount = 0;
  if (!ReadI32(in, routineCount) || routineCount < 0) {
    LogError(op + "Unable to read app routine count.");
    return false;
  }
  for (int32_t i = 0; i < routineCount; ++i) {
    std::string name;
    if (!ReadText(in, name)) {
      LogError(op + "Unable to read app routine " + std::to_string(i) + ".");
      return false;
    }
    record.appRoutineNames.push_back(std::move(name));
  }

  int32_t objectCount = 0;
  if (!ReadI32(in, objectCount) || objectCount < 0) {
    LogError(op + "Unable to read object count.");
    return false;
  }
  for (int32_t i = 0; i < objectCount; ++i) {
    const std::string where = op + "Unable to read object " + std::to_string(i);
    objEntry object;
    if (!ReadI32(in, object.type)) {
      LogError(where + " type.");
      return false;
    }
    if (!ReadText(in, object.name)) {
      LogError(where + " name.");
      return false;
    }
    object.name = UtilUpper(object.name);
    if (!ReadU8(in, object.displayId)) {
      LogError(where + " display ID.");
      return false;
    }
    if (v >= 4 && !ReadI32(in, object.order)) {
      LogError(op + "Unable to read object attribute \"order\".");
      return false;
    }
    if (!ReadObjectAttributes(in, v, object)) return false;
    record.orderList.push_back(orderEntry{object.order, i});
    record.objects.push_back(std::move(object));
  }
  ScriptOrderSort(record.orderList);

  if (!ReadU8(in, record.listenerPresent)) {
    LogError(op + "Unable to read listener information.");
    return false;
  }
  if (!ReadI32(in, record.listenerAddress)) {
    LogError(op + "Unable to read listener address information.");
    return false;
  }
  int32_t codeCount = 0;
  if (!ReadI32(in, codeCount)) {
    LogError(op + "Unable to read code count.");
    return false;
  }
  if (codeCount < 0 || static_cast<size_t>(codeCount) > in.Remaining()) {
    LogError(op + "Unable to read " + std::to_string(codeCount) + " bytes of code.");
    return false;
  }
  record.code.assign(in.Here(), in.Here() + codeCount);
  return true;  // trailing bytes are ignored
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Table, start and end

script* ScriptFind(int32_t scriptId) { return gScripts.Find(scriptId); }
std::vector<int32_t> ScriptIds() { return gScripts.Ids(); }
bool ScriptExists(int32_t scriptId) { return gScripts.Contains(scriptId); }

void ScriptSetEngineHooks(scriptEngineHooks hooks) { gHooks = std::move(hooks); }

bool ScriptThreadExists(int32_t scriptId, int32_t threadId) {
  return !gHooks.threadExists || gHooks.threadExists(scriptId, threadId);
}

void ScriptStart() {
  LogVersion("fwkScript - Version Alpha.0");
  gScripts.Reset();
  ScriptAppRoutinesClear();
  if (gHooks.started) gHooks.started();
}

void ScriptEnd() {
  for (int32_t id : gScripts.Ids()) ScriptUnload(id);
  ScriptAppRoutinesClear();
}

void ScriptOrderSort(std::vector<orderEntry>& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const orderEntry& a, const orderEntry& b) { return a.order < b.order; });
}

// ---------------------------------------------------------------------------------------------
// Load and unload

int32_t ScriptLoad(const std::string& fileName) {
  script record;
  record.pointerSet = InputMenuControlSet();
  const int32_t id = gScripts.Add(std::move(record));
  gScripts.Find(id)->id = id;
  if (gHooks.created) gHooks.created(id);
  if (!ScriptFileLoad(id, fileName)) {
    ScriptUnload(id);
    return kNoId;
  }
  return id;
}

bool ScriptFileLoad(int32_t scriptId, const std::string& fileName) {
  script* record = gScripts.Find(scriptId);
  if (record == nullptr) {
    LogError("ScriptFileLoad - Invalid script ID for script file \"" + fileName + "\".");
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(fileName, bytes)) {
    LogError("ScriptFileLoad - Unable to open script file \"" + fileName + "\".");
    return false;
  }
  record->fileName = fileName;
  ByteReader in(bytes);
  if (!ReadScript(in, *record)) return false;
  if (!ScriptCompileAssets(*record)) {
    LogError("ScriptFileLoad - Unable to compile script assets for script file \"" + fileName + "\".");
    return false;
  }
  if (gHooks.runMainThread) gHooks.runMainThread(scriptId);
  return true;
}

void ScriptUnload(int32_t scriptId) {
  script* record = gScripts.Find(scriptId);
  if (record == nullptr) return;
  if (gHooks.removed) gHooks.removed(scriptId);
  // The hook may have run code that unloaded the script already.
  record = gScripts.Find(scriptId);
  if (record == nullptr) return;
  ScriptReleaseAssets(*record);
  gScripts.Remove(scriptId);
}

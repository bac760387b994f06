// The script file format: the table of every object kind's fields and the parser that reads a
// whole file's bytes into a script record by it.
//
// No storage is sized from a count in the file: every list grows one item at a time as each item
// is read, and the code bytes are copied only after their count was checked against the bytes
// the file still holds, so a header that lies about a count fails with that item's message and
// allocates no more than the file's own size.
#include "core/log.h"
#include "core/util.h"
#include "script/script_internal.h"

namespace {

// A row's accessor: the place in an object that the field is read into.
#define TF_FIELD(expression) [](objEntry& o) -> void* { return &o.expression; }

const std::vector<objectKind> kKinds = {
    {kObjButton, "Button",
     {{"left", kFieldI32, 0, TF_FIELD(button.frames.left)},
      {"top", kFieldI32, 0, TF_FIELD(button.frames.top)},
      {"frame", kFieldI32, 0, TF_FIELD(button.frame)},
      {"visible", kFieldBool, 0, TF_FIELD(button.visible)},
      {"enabled", kFieldBool, 0, TF_FIELD(button.enabled)},
      {"font file name", kFieldText, 11, TF_FIELD(button.fontFile)},
      {"text", kFieldText, 11, TF_FIELD(button.text)},
      {"color", kFieldI32, 11, TF_FIELD(button.color)},
      {"wrapWidth", kFieldI32, 11, TF_FIELD(button.wrapWidth)},
      {"frames", kFieldFrames, 0, TF_FIELD(button.frames)}}},
    {kObjColor, "Color",
     {{"left", kFieldI32, 0, TF_FIELD(color.left)},
      {"top", kFieldI32, 0, TF_FIELD(color.top)},
      {"width", kFieldI32, 0, TF_FIELD(color.width)},
      {"height", kFieldI32, 0, TF_FIELD(color.height)},
      {"color", kFieldI32, 0, TF_FIELD(color.color)},
      {"alpha", kFieldI32, 0, TF_FIELD(color.alpha)},
      {"visible", kFieldBool, 0, TF_FIELD(color.visible)},
      {"enabled", kFieldBool, 0, TF_FIELD(color.enabled)}}},
    {kObjDisplay, "Display",
     {{"width", kFieldI32, 0, TF_FIELD(display.width)},
      {"height", kFieldI32, 0, TF_FIELD(display.height)},
      {"viewMode", kFieldI32, 2, TF_FIELD(display.viewMode)}}},
    {kObjImage, "Image",
     {{"left", kFieldI32, 0, TF_FIELD(image.frames.left)},
      {"top", kFieldI32, 0, TF_FIELD(image.frames.top)},
      {"rotation", kFieldI32, 0, TF_FIELD(image.rotation)},
      {"frame", kFieldI32, 0, TF_FIELD(image.frame)},
      {"visible", kFieldBool, 0, TF_FIELD(image.visible)},
      {"alpha", kFieldI32, 0, TF_FIELD(image.alpha)},
      {"offsetX", kFieldI32, 13, TF_FIELD(image.offsetX)},
      {"offsetY", kFieldI32, 13, TF_FIELD(image.offsetY)},
      {"frames", kFieldFrames, 0, TF_FIELD(image.frames)}}},
    {kObjLabel, "Label",
     {{"left", kFieldI32, 0, TF_FIELD(label.left)},
      {"top", kFieldI32, 0, TF_FIELD(label.top)},
      {"file name", kFieldText, 0, TF_FIELD(label.fontFile)},
      {"color", kFieldI32, 0, TF_FIELD(label.color)},
      {"alpha", kFieldU8, 9, TF_FIELD(label.alpha)},
      {"text", kFieldText, 0, TF_FIELD(label.text)},
      {"visible", kFieldBool, 0, TF_FIELD(label.visible)},
      {"wrapWidth", kFieldI32, 4, TF_FIELD(label.wrapWidth)},
      {"wrapHeight", kFieldI32, 10, TF_FIELD(label.wrapHeight)},
      {"wrapLineOffset", kFieldI32, 4, TF_FIELD(label.wrapLineOffset)},
      {"firstLine", kFieldI32, 10, TF_FIELD(label.firstLine)},
      {"align", kFieldI32, 14, TF_FIELD(label.align)}}},
    {kObjList, "List",
     {{"left", kFieldI32, 0, TF_FIELD(list.cells.left)},
      {"top", kFieldI32, 0, TF_FIELD(list.cells.top)},
      {"kind", kFieldListKind, 0, TF_FIELD(list.kind)},
      {"file name", kFieldText, 0, TF_FIELD(list.fontFile)},
      {"color", kFieldI32, 0, TF_FIELD(list.color)},
      {"colorSelected", kFieldI32, 0, TF_FIELD(list.colorSelected)},
      {"frame", kFieldI32, 0, TF_FIELD(list.frame)},
      {"frameSelected", kFieldI32, 0, TF_FIELD(list.frameSelected)},
      {"frameMouseOver", kFieldI32, 0, TF_FIELD(list.frameMouseOver)},
      {"cellCount", kFieldI32, 0, TF_FIELD(list.cellCount)},
      {"visible", kFieldBool, 0, TF_FIELD(list.visible)},
      {"enabled", kFieldBool, 0, TF_FIELD(list.enabled)},
      {"mat", kFieldText, 0, TF_FIELD(list.mat)},
      {"textOffsetX", kFieldI32, 4, TF_FIELD(list.textOffsetX)},
      {"textOffsetY", kFieldI32, 4, TF_FIELD(list.textOffsetY)},
      {"textWidth", kFieldI32, 5, TF_FIELD(list.textWidth)},
      {"textMode", kFieldU8, 10, TF_FIELD(list.textMode)},
      {"cell frames", kFieldFrames, 0, TF_FIELD(list.cells)},
      {"icon frames", kFieldFrames, 7, TF_FIELD(list.iconFrames)}}},
    {kObjPointer, "Pointer",
     {{"frame", kFieldI32, 0, TF_FIELD(pointer.frame)},
      {"visible", kFieldBool, 0, TF_FIELD(pointer.visible)},
      {"fadeOnIdle", kFieldBool, 16, TF_FIELD(pointer.fadeOnIdle)},
      {"fadeDelay", kFieldI32, 16, TF_FIELD(pointer.fadeDelay)},
      {"fadeDuration", kFieldI32, 16, TF_FIELD(pointer.fadeDuration)},
      {"frames", kFieldFrames, 0, TF_FIELD(pointer.frames)}}},
    {kObjSlider, "Slider",
     {{"left", kFieldI32, 0, TF_FIELD(slider.rangeFrames.left)},
      {"top", kFieldI32, 0, TF_FIELD(slider.rangeFrames.top)},
      {"frameRange", kFieldI32, 0, TF_FIELD(slider.frameRange)},
      {"frameSlider", kFieldI32, 0, TF_FIELD(slider.frameSlider)},
      {"minValue", kFieldI32, 0, TF_FIELD(slider.minValue)},
      {"maxValue", kFieldI32, 0, TF_FIELD(slider.maxValue)},
      {"value", kFieldI32, 0, TF_FIELD(slider.value)},
      {"sliderType", kFieldI32, 0, TF_FIELD(slider.sliderType)},
      {"visible", kFieldBool, 0, TF_FIELD(slider.visible)},
      {"enabled", kFieldBool, 0, TF_FIELD(slider.enabled)},
      {"pageType", kFieldI32, 15, TF_FIELD(slider.pageType)},
      {"pageSize", kFieldI32, 15, TF_FIELD(slider.pageSize)},
      {"range frames", kFieldFrames, 0, TF_FIELD(slider.rangeFrames)},
      {"thumb frames", kFieldFrames, 0, TF_FIELD(slider.thumbFrames)}}},
    {kObjMat, "Mat",
     {{"left", kFieldI32, 0, TF_FIELD(mat.left)},
      {"top", kFieldI32, 0, TF_FIELD(mat.top)},
      {"enabled", kFieldBool, 0, TF_FIELD(mat.enabled)},
      {"file name", kFieldText, 0, TF_FIELD(mat.fileName)}}},
    {kObjRender, "Render", {{"appRoutineName", kFieldText, 0, TF_FIELD(render.appRoutineName)}}},
    {kObjAtex, "Atex",
     {{"left", kFieldI32, 0, TF_FIELD(atex.left)},
      {"top", kFieldI32, 0, TF_FIELD(atex.top)},
      {"alpha", kFieldI32, 0, TF_FIELD(atex.alpha)},
      {"visible", kFieldBool, 0, TF_FIELD(atex.visible)},
      {"texture", kFieldText, 0, TF_FIELD(atex.texture)},
      {"blend", kFieldU8, 0, TF_FIELD(atex.blend)},
      {"uvelocity", kFieldI32, 0, TF_FIELD(atex.uvelocity)},
      {"vvelocity", kFieldI32, 0, TF_FIELD(atex.vvelocity)},
      {"triangles", kFieldTriangles, 0, TF_FIELD(atex.triangles)}}},
    {kObjAppObj, "AppObj",
     {{"enabled", kFieldBool, 0, TF_FIELD(appObj.enabled)},
      {"visible", kFieldBool, 0, TF_FIELD(appObj.visible)},
      {"scriptAnimate", kFieldText, 0, TF_FIELD(appObj.animateName)},
      {"scriptInObject", kFieldText, 0, TF_FIELD(appObj.inObjectName)},
      {"scriptRender", kFieldText, 0, TF_FIELD(appObj.renderName)}}},
    {kObjCamera, "Camera",
     {{"enabled", kFieldBool, 0, TF_FIELD(camera.enabled)},
      {"viewLeft", kFieldI32, 0, TF_FIELD(camera.viewLeft)},
      {"viewTop", kFieldI32, 0, TF_FIELD(camera.viewTop)},
      {"viewWidth", kFieldI32, 0, TF_FIELD(camera.viewWidth)},
      {"viewHeight", kFieldI32, 0, TF_FIELD(camera.viewHeight)},
      {"cameraX", kFieldI32, 0, TF_FIELD(camera.cameraX)},
      {"cameraY", kFieldI32, 0, TF_FIELD(camera.cameraY)},
      {"objectCount", kFieldNames, 0, TF_FIELD(camera.names)}}},
};

#undef TF_FIELD

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

bool FailAttribute(const std::string& reader, const char* attribute) {
  LogError(reader + " - Unable to read object attribute \"" + attribute + "\".");
  return false;
}

// A count: a negative value is as unreadable as a missing one.
bool ReadCount(ByteReader& in, int32_t& out) { return ReadI32(in, out) && out >= 0; }

bool ReadFrames(ByteReader& in, int32_t version, frameSet& set) {
  const std::string reader = "ScriptFileReadFrames";
  if (version >= 2 && !ReadU8(in, set.blend)) return FailAttribute(reader, "blend");
  uint8_t memory = 0;
  if (version >= 3 && !ReadU8(in, memory)) return FailAttribute(reader, "memory");
  set.memory = memory != 0;
  int32_t frameCount = 0;
  if (!ReadCount(in, frameCount)) return FailAttribute(reader, "frameCount");
  for (int32_t f = 0; f < frameCount; ++f) {
    frame item;
    const std::string where = reader + " - Unable to read object frame " + std::to_string(f);
    if (version >= 8 && !ReadText(in, item.mat)) {
      LogError(where + " mat.");
      return false;
    }
    int32_t imageCount = 0;
    if (!ReadCount(in, imageCount)) {
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
  const std::string reader = "ScriptFileReadTriangles";
  int32_t count = 0;
  if (!ReadCount(in, count)) return FailAttribute(reader, "triangleCount");
  for (int32_t t = 0; t < count; ++t) {
    atexTriangle triangle{};
    for (size_t c = 0; c < triangle.size(); ++c) {
      if (!ReadI32(in, triangle[c])) return FailAttribute(reader, kAtexCornerNames[c]);
    }
    triangles.push_back(triangle);
  }
  return true;
}

bool ReadField(ByteReader& in, int32_t version, const std::string& reader, const objectField& field,
               objEntry& object) {
  void* at = field.at(object);
  switch (field.type) {
    case kFieldI32: return ReadI32(in, *static_cast<int32_t*>(at)) || FailAttribute(reader, field.name);
    case kFieldU8: return ReadU8(in, *static_cast<uint8_t*>(at)) || FailAttribute(reader, field.name);
    case kFieldBool: {
      uint8_t value = 0;
      if (!ReadU8(in, value)) return FailAttribute(reader, field.name);
      *static_cast<bool*>(at) = value != 0;
      return true;
    }
    case kFieldText: return ReadText(in, *static_cast<std::string*>(at)) || FailAttribute(reader, field.name);
    case kFieldListKind: {
      std::string& kind = *static_cast<std::string*>(at);
      if (!ReadText(in, kind)) return FailAttribute(reader, field.name);
      const std::string upper = UtilUpper(kind);
      if (upper != "HORIZONTAL" && upper != "VERTICAL") {
        LogError(reader + " - Unrecognized value \"" + kind + "\" for object attribute \"kind\".");
        return false;
      }
      kind = upper;
      return true;
    }
    case kFieldFrames: return ReadFrames(in, version, *static_cast<frameSet*>(at));
    case kFieldTriangles: return ReadTriangles(in, *static_cast<std::vector<atexTriangle>*>(at));
    case kFieldNames: {
      int32_t count = 0;
      if (!ReadCount(in, count)) return FailAttribute(reader, field.name);
      auto& names = *static_cast<std::vector<std::string>*>(at);
      for (int32_t i = 0; i < count; ++i) {
        std::string name;
        if (!ReadText(in, name)) {
          LogError(reader + " - Unable to read object name " + std::to_string(i) + " for camera.");
          return false;
        }
        names.push_back(UtilUpper(name));
      }
      return true;
    }
    default: return false;
  }
}

// Values that follow from the fields read: copied positions and resolved routines.
void FinishObject(objEntry& o) {
  switch (o.type) {
    case kObjButton:
      o.button.frames.homeLeft = o.button.frames.left;
      o.button.frames.homeTop = o.button.frames.top;
      break;
    case kObjList:
      o.list.iconFrames.left = o.list.cells.left;
      o.list.iconFrames.top = o.list.cells.top;
      break;
    case kObjSlider:
      o.slider.thumbFrames.left = o.slider.rangeFrames.left;
      o.slider.thumbFrames.top = o.slider.rangeFrames.top;
      break;
    case kObjAppObj: {
      // Resolved once here; a name nobody registered leaves the routine empty, without a message.
      objAppObj& a = o.appObj;
      if (const auto* entry = ScriptAppObjRoutineFindAnimate(a.animateName)) a.animate = entry->routine;
      if (const auto* entry = ScriptAppObjRoutineFindInObject(a.inObjectName)) a.inObject = entry->routine;
      if (const auto* entry = ScriptAppObjRoutineFindRender(a.renderName)) a.render = entry->routine;
      break;
    }
    default: break;
  }
}

bool ReadObjectAttributes(ByteReader& in, int32_t version, objEntry& object) {
  const objectKind* kind = ScriptObjectKindFind(object.type);
  if (kind == nullptr) return true;  // an unknown kind has no attributes and stays inert
  // Before version 10 a List's text mode is not in the file: 0 before version 5, then 2.
  if (object.type == kObjList) object.list.textMode = version >= 5 ? 2 : 0;
  const std::string reader = std::string("ScriptFileReadObject") + kind->name;
  for (const objectField& field : kind->fields) {
    if (version >= field.since && !ReadField(in, version, reader, field, object)) return false;
  }
  FinishObject(object);
  return true;
}

}  // namespace

const char* const kAtexCornerNames[12] = {"x1", "y1", "u1", "v1", "x2", "y2", "u2", "v2", "x3", "y3", "u3", "v3"};

const std::vector<objectKind>& ScriptObjectKinds() { return kKinds; }

const objectKind* ScriptObjectKindFind(int32_t type) {
  for (const objectKind& kind : kKinds) {
    if (kind.type == type) return &kind;
  }
  return nullptr;
}

const void* ScriptObjectFieldAt(const objEntry& object, const objectField& field) {
  // The accessors only name a member; the object is not changed through them here.
  return field.at(const_cast<objEntry&>(object));
}

bool ScriptFileParse(ByteReader& in, script& record) {
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
  if (!ReadCount(in, routineCount)) {
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
  if (!ReadCount(in, objectCount)) {
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

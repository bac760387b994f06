#include "script/script_write.h"

namespace {

void Flag(ByteWriter& out, bool value) { out.U8(value ? 1 : 0); }

void WriteField(ByteWriter& out, int32_t v, const objectField& field, const void* at) {
  switch (field.type) {
    case kFieldI32: out.I32(*static_cast<const int32_t*>(at)); break;
    case kFieldU8: out.U8(*static_cast<const uint8_t*>(at)); break;
    case kFieldBool: Flag(out, *static_cast<const bool*>(at)); break;
    case kFieldText:
    case kFieldListKind: ScriptFileWriteText(out, *static_cast<const std::string*>(at)); break;
    case kFieldFrames: ScriptFileWriteFrames(out, v, *static_cast<const frameSet*>(at)); break;
    case kFieldTriangles: {
      const auto& triangles = *static_cast<const std::vector<atexTriangle>*>(at);
      out.I32(static_cast<int32_t>(triangles.size()));
      for (const atexTriangle& triangle : triangles) {
        for (int32_t value : triangle) out.I32(value);
      }
      break;
    }
    case kFieldNames: {
      const auto& names = *static_cast<const std::vector<std::string>*>(at);
      out.I32(static_cast<int32_t>(names.size()));
      for (const std::string& name : names) ScriptFileWriteText(out, name);
      break;
    }
    default: break;
  }
}

}  // namespace

void ScriptFileWriteText(ByteWriter& out, const std::string& text) {
  out.U8(static_cast<uint8_t>(text.size()));
  out.Text(text);
}

void ScriptFileWriteFrames(ByteWriter& out, int32_t v, const frameSet& set) {
  if (v >= 2) out.U8(set.blend);
  if (v >= 3) Flag(out, set.memory);
  out.I32(static_cast<int32_t>(set.frames.size()));
  for (const frame& item : set.frames) {
    if (v >= 8) ScriptFileWriteText(out, item.mat);
    out.I32(static_cast<int32_t>(item.images.size()));
    for (const std::string& image : item.images) ScriptFileWriteText(out, image);
  }
}

void ScriptFileWriteObject(ByteWriter& out, int32_t v, const objEntry& object) {
  out.I32(object.type);
  ScriptFileWriteText(out, object.name);
  out.U8(object.displayId);
  if (v >= 4) out.I32(object.order);
  const objectKind* kind = ScriptObjectKindFind(object.type);
  if (kind == nullptr) return;
  for (const objectField& field : kind->fields) {
    if (v >= field.since) WriteField(out, v, field, ScriptObjectFieldAt(object, field));
  }
}

std::vector<uint8_t> ScriptFileWrite(const scriptFile& file) {
  ByteWriter out;
  out.I32(file.version);
  out.I32(static_cast<int32_t>(file.routines.size()));
  for (const std::string& name : file.routines) ScriptFileWriteText(out, name);
  out.I32(static_cast<int32_t>(file.objects.size()));
  for (const objEntry& object : file.objects) ScriptFileWriteObject(out, file.version, object);
  out.U8(file.listenerPresent);
  out.I32(file.listenerAddress);
  out.I32(static_cast<int32_t>(file.code.size()));
  out.Bytes(file.code.data(), file.code.size());
  return out.Data();
}


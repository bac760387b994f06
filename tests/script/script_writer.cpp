#include "script/script_writer.h"

namespace tftest {

namespace {

void Flag(ByteWriter& out, bool value) { out.U8(value ? 1 : 0); }

void WriteTriangles(ByteWriter& out, const std::vector<atexTriangle>& triangles) {
  out.I32(static_cast<int32_t>(triangles.size()));
  for (const atexTriangle& triangle : triangles) {
    for (int32_t value : triangle) out.I32(value);
  }
}

void WriteKind(ByteWriter& out, int32_t v, const objEntry& o) {
  switch (o.type) {
    case kObjButton: {
      const objButton& b = o.button;
      out.I32(b.frames.left), out.I32(b.frames.top), out.I32(b.frame), Flag(out, b.visible), Flag(out, b.enabled);
      if (v >= 11) WriteScriptText(out, b.fontFile), WriteScriptText(out, b.text), out.I32(b.color), out.I32(b.wrapWidth);
      WriteFrameSet(out, v, b.frames);
      break;
    }
    case kObjColor: {
      const objColor& c = o.color;
      out.I32(c.left), out.I32(c.top), out.I32(c.width), out.I32(c.height), out.I32(c.color), out.I32(c.alpha);
      Flag(out, c.visible), Flag(out, c.enabled);
      break;
    }
    case kObjDisplay:
      out.I32(o.display.width), out.I32(o.display.height);
      if (v >= 2) out.I32(o.display.viewMode);
      break;
    case kObjImage: {
      const objImage& m = o.image;
      out.I32(m.frames.left), out.I32(m.frames.top), out.I32(m.rotation), out.I32(m.frame), Flag(out, m.visible);
      out.I32(m.alpha);
      if (v >= 13) out.I32(m.offsetX), out.I32(m.offsetY);
      WriteFrameSet(out, v, m.frames);
      break;
    }
    case kObjLabel: {
      const objLabel& l = o.label;
      out.I32(l.left), out.I32(l.top), WriteScriptText(out, l.fontFile), out.I32(l.color);
      if (v >= 9) out.U8(l.alpha);
      WriteScriptText(out, l.text), Flag(out, l.visible);
      if (v >= 4) {
        out.I32(l.wrapWidth);
        if (v >= 10) out.I32(l.wrapHeight);
        out.I32(l.wrapLineOffset);
      }
      if (v >= 10) out.I32(l.firstLine);
      if (v >= 14) out.I32(l.align);
      break;
    }
    case kObjList: {
      const objList& l = o.list;
      out.I32(l.cells.left), out.I32(l.cells.top), WriteScriptText(out, l.kind), WriteScriptText(out, l.fontFile);
      out.I32(l.color), out.I32(l.colorSelected), out.I32(l.frame), out.I32(l.frameSelected);
      out.I32(l.frameMouseOver), out.I32(l.cellCount), Flag(out, l.visible), Flag(out, l.enabled);
      WriteScriptText(out, l.mat);
      if (v >= 4) out.I32(l.textOffsetX), out.I32(l.textOffsetY);
      if (v >= 5) out.I32(l.textWidth);
      if (v >= 10) out.U8(l.textMode);
      WriteFrameSet(out, v, l.cells);
      if (v >= 7) WriteFrameSet(out, v, l.iconFrames);
      break;
    }
    case kObjPointer: {
      const objPointer& p = o.pointer;
      out.I32(p.frame), Flag(out, p.visible);
      if (v >= 16) Flag(out, p.fadeOnIdle), out.I32(p.fadeDelay), out.I32(p.fadeDuration);
      WriteFrameSet(out, v, p.frames);
      break;
    }
    case kObjSlider: {
      const objSlider& s = o.slider;
      out.I32(s.rangeFrames.left), out.I32(s.rangeFrames.top), out.I32(s.frameRange), out.I32(s.frameSlider);
      out.I32(s.minValue), out.I32(s.maxValue), out.I32(s.value), out.I32(s.sliderType);
      Flag(out, s.visible), Flag(out, s.enabled);
      if (v >= 15) out.I32(s.pageType), out.I32(s.pageSize);
      WriteFrameSet(out, v, s.rangeFrames);
      WriteFrameSet(out, v, s.thumbFrames);
      break;
    }
    case kObjMat:
      out.I32(o.mat.left), out.I32(o.mat.top), Flag(out, o.mat.enabled), WriteScriptText(out, o.mat.fileName);
      break;
    case kObjRender: WriteScriptText(out, o.render.appRoutineName); break;
    case kObjAtex: {
      const objAtex& t = o.atex;
      out.I32(t.left), out.I32(t.top), out.I32(t.alpha), Flag(out, t.visible), WriteScriptText(out, t.texture);
      out.U8(t.blend), out.I32(t.uvelocity), out.I32(t.vvelocity);
      WriteTriangles(out, t.triangles);
      break;
    }
    case kObjAppObj: {
      const objAppObj& a = o.appObj;
      Flag(out, a.enabled), Flag(out, a.visible), WriteScriptText(out, a.animateName);
      WriteScriptText(out, a.inObjectName), WriteScriptText(out, a.renderName);
      break;
    }
    case kObjCamera: {
      const objCamera& c = o.camera;
      Flag(out, c.enabled), out.I32(c.viewLeft), out.I32(c.viewTop), out.I32(c.viewWidth), out.I32(c.viewHeight);
      out.I32(c.cameraX), out.I32(c.cameraY), out.I32(static_cast<int32_t>(c.names.size()));
      for (const std::string& name : c.names) WriteScriptText(out, name);
      break;
    }
    default: break;
  }
}

}  // namespace

void WriteScriptText(ByteWriter& out, const std::string& text) {
  out.U8(static_cast<uint8_t>(text.size()));
  out.Text(text);
}

void WriteFrameSet(ByteWriter& out, int32_t v, const frameSet& set) {
  if (v >= 2) out.U8(set.blend);
  if (v >= 3) Flag(out, set.memory);
  out.I32(static_cast<int32_t>(set.frames.size()));
  for (const frame& item : set.frames) {
    if (v >= 8) WriteScriptText(out, item.mat);
    out.I32(static_cast<int32_t>(item.images.size()));
    for (const std::string& image : item.images) WriteScriptText(out, image);
  }
}

void WriteScriptObject(ByteWriter& out, int32_t v, const objEntry& object) {
  out.I32(object.type);
  WriteScriptText(out, object.name);
  out.U8(object.displayId);
  if (v >= 4) out.I32(object.order);
  WriteKind(out, v, object);
}

std::vector<uint8_t> WriteScriptFile(const scriptFile& file) {
  ByteWriter out;
  out.I32(file.version);
  out.I32(static_cast<int32_t>(file.routines.size()));
  for (const std::string& name : file.routines) WriteScriptText(out, name);
  out.I32(static_cast<int32_t>(file.objects.size()));
  for (const objEntry& object : file.objects) WriteScriptObject(out, file.version, object);
  out.U8(file.listenerPresent);
  out.I32(file.listenerAddress);
  out.I32(static_cast<int32_t>(file.code.size()));
  out.Bytes(file.code.data(), file.code.size());
  return out.Data();
}

std::string WriteScriptFileText(const scriptFile& file) {
  const std::vector<uint8_t> bytes = WriteScriptFile(file);
  return std::string(bytes.begin(), bytes.end());
}

frameSet FramesOf(const std::vector<std::vector<std::string>>& frames, const std::string& mat) {
  frameSet set;
  for (const auto& images : frames) {
    frame item;
    item.mat = mat;
    item.images = images;
    set.frames.push_back(item);
  }
  return set;
}

}  // namespace tftest

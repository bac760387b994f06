// Building a loaded script's assets (models, fonts, region maps, camera lists) and freeing them.
#include <cmath>

#include "core/log.h"
#include "data/data_file.h"
#include "graphics/font.h"
#include "graphics/model.h"
#include "script/script_internal.h"

namespace {

constexpr float kDepth2D = -5.0f;

void FreeFrameSet(frameSet& set) {
  for (frame& item : set.frames) {
    for (int32_t& model : item.models) ModelFree(model);
  }
}

// The Color object's quad: corners (0,0), (0,h), (w,h), (w,0), triangles 0-1-2 and 0-2-3.
bool CompileColor(objColor& c, int32_t display) {
  c.model = ModelNew(display, kModelCompiled);
  if (c.model == kNoId) return true;  // no display: nothing to draw, as with a missing image
  ModelSetName(c.model, "Script Color Object");
  const float w = static_cast<float>(c.width), h = static_cast<float>(c.height);
  ModelSetVertex(c.model, 0, {0, 0, kDepth2D});
  ModelSetVertex(c.model, 1, {0, h, kDepth2D});
  ModelSetVertex(c.model, 2, {w, h, kDepth2D});
  ModelSetVertex(c.model, 3, {w, 0, kDepth2D});
  modelPolygon first, second;
  first.corners[0].vertex = 0, first.corners[1].vertex = 1, first.corners[2].vertex = 2;
  second.corners[0].vertex = 0, second.corners[1].vertex = 2, second.corners[2].vertex = 3;
  ModelSetPolygon(c.model, 0, first);
  ModelSetPolygon(c.model, 1, second);
  ModelCompile(c.model);
  ModelMove(c.model, static_cast<float>(c.left), static_cast<float>(c.top), 0);
  ScriptColorApply(c);
  return true;
}

bool CompileAtex(objAtex& t, int32_t display) {
  t.textureHandle = TextureOpen(display, t.texture, false, true, t.blend != 0);
  int32_t width = 0, height = 0;
  TextureGetImageSize(t.textureHandle, width, height);
  if (width == 0 || height == 0) {
    LogError("ScriptCompileObjectAtex - Animated texture \"" + t.texture +
             "\" has invalid size.  Animated texture not compiled.");
    return false;
  }
  t.model = ModelNew(display, kModelImmediate);
  ModelSetName(t.model, "Script Atex Object");
  int32_t corner = 0;
  for (size_t n = 0; n < t.triangles.size(); ++n) {
    const atexTriangle& tri = t.triangles[n];
    modelPolygon polygon;
    polygon.textures.push_back(modelTextureRef{t.textureHandle, 0});
    for (int32_t k = 0; k < 3; ++k, ++corner) {
      const int32_t* p = &tri[static_cast<size_t>(k) * 4];
      ModelSetVertex(t.model, corner, {static_cast<float>(p[0]), static_cast<float>(p[1]), kDepth2D});
      ModelSetTexCoord(t.model, corner,
                       {static_cast<float>(p[2]) / static_cast<float>(width),
                        static_cast<float>(p[3]) / static_cast<float>(height)});
      polygon.corners[k].vertex = corner;
      polygon.corners[k].texCoord = corner;
    }
    ModelSetPolygon(t.model, static_cast<int32_t>(n), polygon);
  }
  ModelCompile(t.model);
  ModelMove(t.model, static_cast<float>(t.left), static_cast<float>(t.top), 0);
  ModelSetColor(t.model, 255, 255, 255, static_cast<uint8_t>(t.alpha));
  return true;
}

void CompileCamera(script& record, objCamera& camera) {
  for (const std::string& name : camera.names) {
    for (size_t j = 0; j < record.objects.size(); ++j) {
      objEntry& other = record.objects[j];
      if (other.type == kObjCamera || other.name != name) continue;
      camera.objects.push_back(orderEntry{other.order, static_cast<int32_t>(j)});
      other.ownedByCamera = true;
    }
  }
  ScriptOrderSort(camera.objects);
}

void WrapText(int32_t font, int32_t width, const std::string& text, std::vector<std::string>& lines) {
  if (width > 0) lines = FontWrapText(font, width, text);
}

bool CompileObject(script& record, objEntry& object) {
  const int32_t display = object.displayId;
  switch (object.type) {
    case kObjButton: {
      objButton& b = object.button;
      ScriptFrameSetCompile(b.frames, display, b.frame);
      if (!b.fontFile.empty()) b.font = FontOpen(display, b.fontFile);
      WrapText(b.font, b.wrapWidth, b.text, b.lines);
      return true;
    }
    case kObjColor: return CompileColor(object.color, display);
    case kObjImage: {
      objImage& m = object.image;
      ScriptFrameSetCompile(m.frames, display, m.frame);
      for (frame& item : m.frames.frames) {
        for (int32_t model : item.models) {
          ModelSetColor(model, 255, 255, 255, static_cast<uint8_t>(m.alpha));
          ModelTranslateVertices(model, static_cast<float>(m.offsetX), static_cast<float>(m.offsetY), 0);
          ModelRotate(model, static_cast<float>(m.rotation));
        }
      }
      return true;
    }
    case kObjLabel: {
      objLabel& l = object.label;
      l.font = FontOpen(display, l.fontFile);
      WrapText(l.font, l.wrapWidth, l.text, l.lines);
      return true;
    }
    case kObjList: {
      objList& l = object.list;
      l.font = FontOpen(display, l.fontFile);
      if (!l.mat.empty()) l.region = MatOpen(l.mat);
      ScriptFrameSetCompile(l.cells, display, l.frame);
      ScriptFrameSetCompile(l.iconFrames, display, l.frame);
      return true;
    }
    case kObjMat: {
      objMat& m = object.mat;
      m.region = MatOpen(m.fileName);
      return MatDataValid(m.region);
    }
    case kObjPointer: ScriptFrameSetCompile(object.pointer.frames, display, object.pointer.frame); return true;
    case kObjSlider: {
      objSlider& s = object.slider;
      ScriptFrameSetCompile(s.rangeFrames, display, s.frameRange);
      ScriptFrameSetCompile(s.thumbFrames, display, s.frameSlider);
      ScriptSliderPlaceThumb(s);  // the thumb stands where the file's value puts it
      return true;
    }
    case kObjAtex: return CompileAtex(object.atex, display);
    case kObjCamera: CompileCamera(record, object.camera); return true;
    default: return true;  // Display, Render, AppObj and unknown kinds have nothing to build
  }
}

}  // namespace

void ScriptFrameSetCompile(frameSet& set, int32_t display, int32_t current) {
  for (size_t f = 0; f < set.frames.size(); ++f) {
    frame& item = set.frames[f];
    if (!item.mat.empty()) item.region = MatOpen(item.mat);
    item.models.assign(item.images.size(), kNoId);
    for (size_t i = 0; i < item.images.size(); ++i) {
      const std::string& name = item.images[i];
      // The memory flag keeps the whole file in memory only while its model is made.
      if (set.memory) DataFileMemoryLoad(name);
      const int32_t model = ModelOpen(display, name, set.blend != 0);
      if (set.memory) DataFileMemoryFree(name);
      item.models[i] = model;
      if (model == kNoId) continue;
      if (i == 0 && static_cast<int64_t>(f) + 1 == current) {
        set.width = static_cast<int32_t>(std::lround(ModelGetWidth(model)));
        set.height = static_cast<int32_t>(std::lround(ModelGetHeight(model)));
      }
      ModelMove(model, static_cast<float>(set.left), static_cast<float>(set.top), 0);
    }
  }
}

void ScriptColorApply(const objColor& c) {
  ModelSetColor(c.model, static_cast<uint8_t>(c.color >> 16), static_cast<uint8_t>(c.color >> 8),
                static_cast<uint8_t>(c.color), static_cast<uint8_t>(c.alpha));
}

bool ScriptCompileAssets(script& record) {
  // In file order; the first object that fails stops the step (the record is freed by the caller).
  for (objEntry& object : record.objects) {
    if (!CompileObject(record, object)) return false;
  }
  return true;
}

void ScriptReleaseAssets(script& record) {
  for (objEntry& object : record.objects) {
    FreeFrameSet(object.button.frames);
    FreeFrameSet(object.image.frames);
    FreeFrameSet(object.list.cells);
    FreeFrameSet(object.list.iconFrames);
    FreeFrameSet(object.pointer.frames);
    FreeFrameSet(object.slider.rangeFrames);
    FreeFrameSet(object.slider.thumbFrames);
    ModelFree(object.color.model);
    ModelFree(object.atex.model);
  }
}

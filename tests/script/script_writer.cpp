#include "script/script_writer.h"

#include "graphics/font_file.h"
#include "image/image.h"

namespace tftest {

std::string WriteScriptFileText(const scriptFile& file) {
  const std::vector<uint8_t> bytes = ScriptFileWrite(file);
  return std::string(bytes.begin(), bytes.end());
}

objEntry ObjectHead(int32_t type, const std::string& name, int32_t order, uint8_t display) {
  objEntry o;
  o.type = type;
  o.name = name;
  o.displayId = display;
  o.order = order;
  return o;
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

std::vector<objEntry> EveryKind() {
  std::vector<objEntry> all;
  objEntry o = ObjectHead(kObjButton, "play", 5);
  o.button.frames = FramesOf({{kPictureA}, {kPictureB}});
  o.button.frames.left = 10, o.button.frames.top = 20, o.button.frame = 1, o.button.visible = true;
  o.button.enabled = true, o.button.fontFile = kFont, o.button.text = "aa bb cc", o.button.color = 0x123456;
  o.button.wrapWidth = 40;
  all.push_back(o);

  o = ObjectHead(kObjColor, "shade", 2);
  o.color = objColor{5, 6, 40, 30, 0xFF8040, 200, true, false};
  all.push_back(o);

  o = ObjectHead(kObjDisplay, "screen", 0);
  o.display = objDisplay{1280, 720, 1};
  all.push_back(o);

  o = ObjectHead(kObjImage, "picture", 5);
  o.image.frames = FramesOf({{kPictureA}, {kPictureB, kPictureA}});
  o.image.frames.blend = 1, o.image.frames.memory = true;
  o.image.frames.left = 100, o.image.frames.top = 50, o.image.rotation = 30, o.image.frame = 2;
  o.image.visible = true, o.image.alpha = 128, o.image.offsetX = 3, o.image.offsetY = 4;
  all.push_back(o);

  o = ObjectHead(kObjLabel, "caption", 1);
  objLabel& l = o.label;
  l.left = 7, l.top = 8, l.fontFile = kFont, l.color = 0x00FF00, l.alpha = 77, l.text = "Hello", l.visible = true;
  l.wrapWidth = 100, l.wrapHeight = 30, l.wrapLineOffset = 2, l.firstLine = 2, l.align = 1;
  all.push_back(o);

  o = ObjectHead(kObjList, "choices", 3);
  objList& li = o.list;
  li.cells = FramesOf({{kPictureA}, {kPictureB}}, kMat);
  li.iconFrames = FramesOf({{kPictureB}});
  li.cells.left = 30, li.cells.top = 40, li.kind = "vertical", li.fontFile = kFont, li.color = 1;
  li.colorSelected = 2, li.frame = 1, li.frameSelected = 2, li.frameMouseOver = 1, li.cellCount = 4;
  li.visible = true, li.enabled = true, li.mat = kMat, li.textOffsetX = 6, li.textOffsetY = 7, li.textWidth = 90;
  li.textMode = 3;
  all.push_back(o);

  o = ObjectHead(kObjPointer, "arrow", 9);
  o.pointer.frames = FramesOf({{kPictureB}});
  o.pointer.frame = 1, o.pointer.visible = true, o.pointer.fadeOnIdle = true, o.pointer.fadeDelay = 500;
  o.pointer.fadeDuration = 250;
  all.push_back(o);

  o = ObjectHead(kObjSlider, "volume", 4);
  objSlider& s = o.slider;
  s.rangeFrames = FramesOf({{kPictureA}});
  s.thumbFrames = FramesOf({{kPictureB}});
  s.rangeFrames.left = 60, s.rangeFrames.top = 70, s.frameRange = 1, s.frameSlider = 1, s.minValue = 0;
  s.maxValue = 10, s.value = 5, s.sliderType = 0, s.visible = true, s.enabled = true, s.pageType = 1;
  s.pageSize = 3;
  all.push_back(o);

  o = ObjectHead(kObjMat, "regions", 0);
  o.mat.left = 1, o.mat.top = 2, o.mat.enabled = true, o.mat.fileName = kMat;
  all.push_back(o);

  o = ObjectHead(kObjRender, "dialog", 6);
  o.render.appRoutineName = "AppRenderDialog";
  all.push_back(o);

  o = ObjectHead(kObjAtex, "water", 2);
  objAtex& t = o.atex;
  t.left = 9, t.top = 11, t.alpha = 99, t.visible = true, t.texture = kPictureA, t.blend = 1, t.uvelocity = 5;
  t.vvelocity = -6;
  t.triangles = {atexTriangle{0, 0, 0, 0, 0, 8, 0, 8, 16, 8, 16, 8}, atexTriangle{0, 0, 0, 0, 16, 8, 16, 8, 16, 0, 16, 0}};
  all.push_back(o);

  o = ObjectHead(kObjAppObj, "agents", 7);
  o.appObj.enabled = true, o.appObj.visible = false, o.appObj.animateName = "appAnimate";
  o.appObj.inObjectName = "AppInObjectAgents", o.appObj.renderName = "NotRegistered";
  all.push_back(o);

  o = ObjectHead(kObjCamera, "view", 8);
  objCamera& c = o.camera;
  c.enabled = true, c.viewLeft = 1, c.viewTop = 2, c.viewWidth = 3, c.viewHeight = 4, c.cameraX = 5, c.cameraY = 6;
  c.names = {"picture", "nothing", "shade"};
  all.push_back(o);

  all.push_back(ObjectHead(13, "future", 1));
  return all;
}

scriptFile EveryKindFile(int32_t version) {
  scriptFile file;
  file.version = version;
  file.routines = {"AppScore", "appgame"};
  file.objects = EveryKind();
  file.listenerPresent = 1;
  file.listenerAddress = 3;
  file.code = {0x19, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00};
  return file;
}

void SavePicture(const std::string& path, int32_t width, int32_t height, uint32_t colour) {
  imageChain image = ImageNewChain();
  image->width = width;
  image->height = height;
  image->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
  ImageSave(path, image.get());
}

bool SaveBlockFont(const std::string& path) {
  fontFile font;
  font.name = "Blocks";
  font.firstChar = ' ';
  font.lastChar = 'z';
  font.height = kFontHeight;
  const int32_t count = FontFileRangeCount(font);
  std::vector<uint8_t> widths(static_cast<size_t>(count), kGlyphWidth);
  font.pictureCounts = FontFileLayout(widths.data(), count, kFontHeight, font.places.data());
  font.pictures.assign(font.pictureCounts.size(), std::vector<uint8_t>(kFontPictureBytes, 0xFF));
  for (int32_t i = 0; i < count; ++i) font.widths[static_cast<size_t>(i)] = kGlyphWidth;
  font.glyphCount = count;
  return FontFileWrite(path, font);
}

}  // namespace tftest

#include "compiler/tables.h"

#include "script/script_internal.h"

namespace vmcc {

std::string TypeName(int32_t type) {
  switch (type) {
    case kTypeInt: return "int";
    case kTypeBool: return "bool";
    case kTypeText: return "text";
    default: return "nothing";
  }
}

namespace {

constexpr int32_t I = kTypeInt, B = kTypeBool, T = kTypeText;

// Attribute numbers follow the engine's object model; where get and set number an attribute
// differently (Button, List, Pointer, Slider) both are listed.
const std::vector<kindInfo> kKindTable = {
    {"button", kObjButton,
     {{"left", "left"}, {"top", "top"}, {"frame", "frame"}, {"visible", "visible"}, {"enabled", "enabled"},
      {"font", "font file name"}, {"text", "text"}, {"color", "color"}, {"wrapWidth", "wrapWidth"},
      {"frames", "frames"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"frame", 2, 2, I}, {"visible", 3, 3, B}, {"enabled", 4, 4, B},
      {"height", 5, -1, I}, {"homeLeft", 6, -1, I}, {"homeTop", 7, -1, I}, {"text", 8, 5, T},
      {"color", 9, 6, I}, {"wrapWidth", 10, 7, I}}},
    {"color", kObjColor,
     {{"left", "left"}, {"top", "top"}, {"width", "width"}, {"height", "height"}, {"color", "color"},
      {"alpha", "alpha"}, {"visible", "visible"}, {"enabled", "enabled"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"color", 2, 2, I}, {"alpha", 3, 3, I}, {"visible", 4, 4, B},
      {"enabled", 5, 5, B}, {"width", 6, 6, I}, {"height", 7, 7, I}}},
    {"display", kObjDisplay,
     {{"width", "width"}, {"height", "height"}, {"mode", "viewMode"}},
     {{"width", 0, 0, I}, {"height", 1, 1, I}, {"mode", 2, 2, T}}},
    {"image", kObjImage,
     {{"left", "left"}, {"top", "top"}, {"rotation", "rotation"}, {"frame", "frame"}, {"visible", "visible"},
      {"alpha", "alpha"}, {"offsetX", "offsetX"}, {"offsetY", "offsetY"}, {"frames", "frames"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"rotation", 2, 2, I}, {"frame", 3, 3, I}, {"visible", 4, 4, B},
      {"alpha", 5, 5, I}, {"width", 6, -1, I}, {"height", 7, -1, I}, {"frameCount", 8, -1, I}}},
    {"label", kObjLabel,
     {{"left", "left"}, {"top", "top"}, {"font", "file name"}, {"color", "color"}, {"alpha", "alpha"},
      {"text", "text"}, {"visible", "visible"}, {"wrapWidth", "wrapWidth"}, {"wrapHeight", "wrapHeight"},
      {"wrapLineOffset", "wrapLineOffset"}, {"firstLine", "firstLine"}, {"align", "align"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"color", 2, 2, I}, {"text", 3, 3, T}, {"visible", 4, 4, B},
      {"wrapWidth", 5, 5, I}, {"wrapLineOffset", 6, 6, I}, {"alpha", 7, 7, I}, {"wrapHeight", 8, 8, I},
      {"firstLine", 9, 9, I}, {"lineCount", 10, -1, I}, {"textHeight", 11, -1, I}, {"textWidth", 12, -1, I}}},
    {"list", kObjList,
     {{"left", "left"}, {"top", "top"}, {"kind", "kind"}, {"font", "file name"}, {"color", "color"},
      {"colorSelected", "colorSelected"}, {"frame", "frame"}, {"frameSelected", "frameSelected"},
      {"frameMouseOver", "frameMouseOver"}, {"cellCount", "cellCount"}, {"visible", "visible"},
      {"enabled", "enabled"}, {"mat", "mat"}, {"textOffsetX", "textOffsetX"}, {"textOffsetY", "textOffsetY"},
      {"textWidth", "textWidth"}, {"textMode", "textMode"}, {"frames", "cell frames"},
      {"iconFrames", "icon frames"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"color", 2, 2, I}, {"frame", 3, 3, I}, {"cellCount", 4, 4, I},
      {"items", 5, 5, T, true}, {"clickedCell", 6, 6, I}, {"firstItem", 7, 7, I}, {"visible", 8, 8, B},
      {"enabled", 9, 9, B}, {"frameSelected", 10, 18, I}, {"frameMouseOver", 11, 19, I},
      {"cellHeight", 12, -1, I}, {"cellWidth", 13, -1, I}, {"colorSelected", 14, 10, I}, {"kind", 15, 11, T},
      {"clickedRegion", 16, -1, T}, {"textOffsetX", 17, 12, I}, {"textOffsetY", 18, 13, I},
      {"textWidth", 19, 14, I}, {"icons", 20, 15, I, true}, {"values", 21, 16, I, true},
      {"textMode", 22, 17, I}}},
    {"pointer", kObjPointer,
     {{"frame", "frame"}, {"visible", "visible"}, {"fadeOnIdle", "fadeOnIdle"}, {"fadeDelay", "fadeDelay"},
      {"fadeDuration", "fadeDuration"}, {"frames", "frames"}},
     {{"visible", 0, 0, B}, {"frame", 1, 1, I}, {"x", 2, -1, I}, {"y", 3, -1, I}, {"fadeOnIdle", 4, 2, B},
      {"fadeDelay", 5, 3, I}, {"fadeDuration", 6, 4, I}}},
    {"slider", kObjSlider,
     {{"left", "left"}, {"top", "top"}, {"frameRange", "frameRange"}, {"frameSlider", "frameSlider"},
      {"minValue", "minValue"}, {"maxValue", "maxValue"}, {"value", "value"}, {"sliderType", "sliderType"},
      {"visible", "visible"}, {"enabled", "enabled"}, {"pageType", "pageType"}, {"pageSize", "pageSize"},
      {"rangeFrames", "range frames"}, {"thumbFrames", "thumb frames"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"frameRange", 2, 2, I}, {"frameSlider", 3, 3, I},
      {"minValue", 4, 4, I}, {"maxValue", 5, 5, I}, {"value", 6, 6, I}, {"visible", 7, 7, B},
      {"enabled", 8, 8, B}, {"rangeHeight", 9, -1, I}, {"pageType", 10, 9, I}, {"pageSize", 11, 10, I}}},
    {"mat", kObjMat,
     {{"left", "left"}, {"top", "top"}, {"enabled", "enabled"}, {"file", "file name"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"enabled", 2, 2, B}, {"file", 3, 3, T}}},
    {"render", kObjRender, {{"routine", "appRoutineName"}}, {}},
    {"atex", kObjAtex,
     {{"left", "left"}, {"top", "top"}, {"alpha", "alpha"}, {"visible", "visible"}, {"texture", "texture"},
      {"blend", "blend"}, {"uvelocity", "uvelocity"}, {"vvelocity", "vvelocity"}, {"triangles", "triangles"}},
     {{"left", 0, 0, I}, {"top", 1, 1, I}, {"alpha", 2, 2, I}, {"visible", 3, 3, B}, {"uvelocity", 4, 4, I},
      {"vvelocity", 5, 5, I}}},
    {"appobj", kObjAppObj,
     {{"enabled", "enabled"}, {"visible", "visible"}, {"animate", "scriptAnimate"},
      {"inObject", "scriptInObject"}, {"render", "scriptRender"}},
     {{"enabled", 0, 0, B}, {"visible", 1, 1, B}}},
    {"camera", kObjCamera,
     {{"enabled", "enabled"}, {"viewLeft", "viewLeft"}, {"viewTop", "viewTop"}, {"viewWidth", "viewWidth"},
      {"viewHeight", "viewHeight"}, {"cameraX", "cameraX"}, {"cameraY", "cameraY"}, {"objects", "objectCount"}},
     {{"enabled", 0, 0, B}, {"viewLeft", 1, 1, I}, {"viewTop", 2, 2, I}, {"viewWidth", 3, 3, I},
      {"viewHeight", 4, 4, I}, {"cameraX", 5, 5, I}, {"cameraY", 6, 6, I}}},
};

// Inputs in the language's order; `p` is the parameter number each fills.
systemRoutine R(const char* name, int32_t number, std::vector<int32_t> types, int32_t output) {
  systemRoutine r{name, number, {}, output};
  for (size_t i = 0; i < types.size(); ++i) r.inputs.push_back({types[i], static_cast<int32_t>(i + 1)});
  return r;
}

const std::vector<systemRoutine> kSystem = [] {
  const int32_t N = kTypeNone;
  std::vector<systemRoutine> s = {
      R("random", 0, {I}, I),
      R("stateTime", 1, {}, I),
      R("musicVolume", 2, {}, I),
      R("setMusicVolume", 3, {I}, N),
      R("fullscreen", 4, {}, B),
      R("monitorModeText", 5, {I, I}, T),
      R("displayModeIndex", 6, {I}, I),
      R("soundVolume", 7, {}, I),
      R("setSoundVolume", 8, {I}, N),
      R("actionControlAdd", 9, {I, I, I}, N),
      R("actionControlsClear", 10, {I}, N),
      R("actionControl", 11, {I, I}, I),
      R("actionId", 12, {I, I}, I),
      R("actionName", 13, {I}, T),
      R("analogControlCode", 14, {I}, I),
      R("actionFromControl", 15, {I, I}, I),
      R("controlName", 16, {I}, T),
      R("controlSetFind", 17, {T}, I),
      R("actionCount", 18, {I}, I),
      R("discardInputEvents", 19, {}, N),
      R("nextInputEvent", 20, {}, I),
      R("appVolume", 21, {}, I),
      R("setAppVolume", 22, {I}, N),
      R("length", 23, {T}, I),
      R("postEvent", 24, {T, I, T}, N),
      R("substring", 25, {T, I, I}, T),
      R("textWidth", 26, {I, T, T}, I),
      R("stateGetBool", 27, {I, T}, B),
      R("stateGetInt", 28, {I, T}, I),
      R("stateGetText", 29, {I, T}, T),
      R("stateSetBool", 30, {I, T, B}, N),
      R("stateSetInt", 31, {I, T, I}, N),
      R("stateSetText", 32, {I, T, T}, N),
      R("char", 33, {I}, T),
      R("mouseButtonsSwapped", 34, {}, B),
      R("voiceVolume", 35, {}, I),
      R("setVoiceVolume", 36, {I}, N),
      R("joystickCount", 37, {}, I),
      R("contains", 38, {T, T}, B),
      R("objectAt", 39, {I, I}, T),
      R("regionAt", 40, {T, I, I}, T),
      R("sqrt", 41, {I}, I),
      R("lower", 42, {T}, T),
  };
  // contains(text, part): the engine takes the part as parameter 1 and the text as parameter 2.
  for (systemRoutine& r : s) {
    if (r.number == 38) r.inputs = {{T, 2}, {T, 1}};
  }
  return s;
}();

}  // namespace

const std::vector<kindInfo>& Kinds() { return kKindTable; }

const kindInfo* KindFind(const std::string& word) {
  for (const kindInfo& k : kKindTable) {
    if (word == k.word) return &k;
  }
  return nullptr;
}

const kindInfo* KindOfType(int32_t type) {
  for (const kindInfo& k : kKindTable) {
    if (k.type == type) return &k;
  }
  return nullptr;
}

const codeAttribute* AttributeFind(const kindInfo& kind, const std::string& name) {
  for (const codeAttribute& a : kind.attributes) {
    if (name == a.name) return &a;
  }
  return nullptr;
}

std::string AttributeNames(const kindInfo& kind) {
  std::string out;
  for (const codeAttribute& a : kind.attributes) out += std::string(out.empty() ? "" : ", ") + a.name;
  return out + (out.empty() ? "order" : ", order");
}

const systemRoutine* SystemRoutineFind(const std::string& name) {
  for (const systemRoutine& r : kSystem) {
    if (name == r.name) return &r;
  }
  return nullptr;
}

const std::vector<systemRoutine>& SystemRoutines() { return kSystem; }

}  // namespace vmcc

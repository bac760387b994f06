// The script file loader: every object kind in files of several versions, their defaults,
// order sorting, asset compiling, truncation and lying counts, load and unload.
#include <gtest/gtest.h>

#include <map>

#include "script/script_fixture.h"

namespace {

using namespace tftest;

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new OffscreenVideoEnvironment);

using ScriptFileTest = ScriptFixture;

TEST_F(ScriptFileTest, EveryKindLoadsWithItsVersionsFieldsAndDefaults) {
  ScriptAppObjRoutineRegisterAnimate("APPANIMATE", [](const std::string&) {});
  ScriptAppObjRoutineRegisterInObject("AppInObjectAgents", [](const std::string&, int32_t, int32_t) { return true; });
  for (int32_t v : {3, 4, 9, 10, 13, 16}) {
    SCOPED_TRACE("version " + std::to_string(v));
    LogCapture log;
    const int32_t id = Load(EveryKindFile(v));
    ASSERT_NE(id, kNoId) << Joined(log);
    EXPECT_TRUE(log.lines().empty()) << Joined(log);
    const script& s = *ScriptFind(id);
    EXPECT_EQ(s.version, v);
    EXPECT_EQ(s.fileName, "Bin\\Scripts\\test.vmc");
    EXPECT_EQ(s.appRoutineNames, (std::vector<std::string>{"AppScore", "appgame"})) << "case as written";
    EXPECT_EQ(s.listenerPresent, 1);
    EXPECT_EQ(s.listenerAddress, 3);
    EXPECT_EQ(s.code.size(), 7u);
    ASSERT_EQ(s.objects.size(), 14u);
    EXPECT_EQ(s.objects[0].name, "PLAY");
    EXPECT_EQ(s.objects[13].type, 13) << "an unknown kind reads nothing and the load goes on";

    const objButton& b = s.objects[0].button;
    EXPECT_EQ(b.frames.left, 10);
    EXPECT_EQ(b.frames.homeTop, 20);
    EXPECT_EQ(b.frames.width, 16) << "extent of image 1 of frame 1";
    EXPECT_EQ(b.frames.height, 8);
    EXPECT_EQ(b.text, v >= 11 ? "aa bb cc" : "");
    EXPECT_EQ(b.wrapWidth, v >= 11 ? 40 : 0);
    EXPECT_EQ(b.font != kNoId, v >= 11);
    EXPECT_EQ(b.lines.size() > 1, v >= 11) << "wrapped at 40";
    ASSERT_EQ(b.frames.frames.size(), 2u);
    float x = 0, y = 0, z = 0;
    ModelGetPosition(b.frames.frames[1].models[0], x, y, z);
    EXPECT_EQ(x, 10.0f);
    EXPECT_EQ(y, 20.0f);

    const objColor& c = s.objects[1].color;
    EXPECT_EQ(c.width, 40);
    EXPECT_TRUE(ModelExists(c.model));
    EXPECT_EQ(ModelGetName(c.model), "Script Color Object");
    EXPECT_EQ(ModelGetVertex(c.model, 2).x, 40.0f);
    EXPECT_EQ(ModelGetVertex(c.model, 2).y, 30.0f);
    EXPECT_EQ(ModelGetVertex(c.model, 2).z, -5.0f);

    EXPECT_EQ(s.objects[2].display.viewMode, 1);

    const objImage& m = s.objects[3].image;
    EXPECT_EQ(m.frames.blend, v >= 2 ? 1 : 0);
    EXPECT_EQ(m.frames.memory, v >= 3);
    EXPECT_EQ(m.offsetX, v >= 13 ? 3 : 0);
    EXPECT_EQ(m.frames.width, 8) << "frame 2 is current";
    ASSERT_EQ(m.frames.frames[1].models.size(), 2u);
    const int32_t layer = m.frames.frames[1].models[1];
    EXPECT_EQ(ModelGetVertex(layer, 0).x, v >= 13 ? 3.0f : 0.0f) << "vertices shifted by the offset";

    const objLabel& l = s.objects[4].label;
    EXPECT_EQ(l.alpha, v >= 9 ? 77 : 255);
    EXPECT_EQ(l.wrapWidth, v >= 4 ? 100 : 0);
    EXPECT_EQ(l.wrapHeight, v >= 10 ? 30 : 0);
    EXPECT_EQ(l.wrapLineOffset, v >= 4 ? 2 : 0);
    EXPECT_EQ(l.firstLine, v >= 10 ? 2 : 1);
    EXPECT_EQ(l.align, v >= 14 ? 1 : 0);
    EXPECT_NE(l.font, kNoId);

    const objList& li = s.objects[5].list;
    EXPECT_EQ(li.kind, "VERTICAL");
    EXPECT_EQ(li.textOffsetX, v >= 4 ? 6 : 5);
    EXPECT_EQ(li.textWidth, v >= 5 ? 90 : 0);
    EXPECT_EQ(li.textMode, v >= 10 ? 3 : v >= 5 ? 2 : 0);
    EXPECT_EQ(li.iconFrames.frames.size(), v >= 7 ? 1u : 0u);
    EXPECT_EQ(li.iconFrames.left, 30);
    EXPECT_EQ(li.hoverCell, -1);
    EXPECT_EQ(li.items.size(), 1u);
    EXPECT_EQ(li.region.width, 2);
    EXPECT_EQ(li.cells.frames[0].region.width, v >= 8 ? 2 : 0) << "per-frame mats from version 8";

    const objPointer& p = s.objects[6].pointer;
    EXPECT_EQ(p.fadeOnIdle, v >= 16);
    EXPECT_EQ(p.fadeDelay, v >= 16 ? 500 : 2000);
    EXPECT_EQ(p.fadeDuration, v >= 16 ? 250 : 1000);

    const objSlider& sl = s.objects[7].slider;
    EXPECT_EQ(sl.thumbFrames.left, 60);
    EXPECT_EQ(sl.thumbFrames.top, 70);
    EXPECT_EQ(sl.pageType, v >= 15 ? 1 : 0);
    EXPECT_EQ(sl.thumbFrames.width, 8);

    EXPECT_EQ(s.objects[8].mat.region.entries.size(), 2u);
    EXPECT_EQ(s.objects[8].mat.regionIndex, -1);
    EXPECT_EQ(s.objects[9].render.appRoutineName, "AppRenderDialog");

    const objAtex& t = s.objects[10].atex;
    EXPECT_TRUE(ModelExists(t.model));
    EXPECT_EQ(ModelGetPolygonCount(t.model), 2);
    EXPECT_EQ(ModelGetTexCoord(t.model, 4).u, 1.0f) << "u in texels over the texture width";
    EXPECT_EQ(ModelGetTexCoord(t.model, 1).v, 1.0f);

    const objAppObj& a = s.objects[11].appObj;
    EXPECT_TRUE(a.animate && a.inObject) << "resolved in any letter case";
    EXPECT_FALSE(a.render) << "an unregistered name leaves the routine empty";

    const objCamera& cam = s.objects[12].camera;
    EXPECT_EQ(cam.cameraY, 6);
    EXPECT_EQ(cam.names, (std::vector<std::string>{"PICTURE", "NOTHING", "SHADE"}));
    ASSERT_EQ(cam.objects.size(), 2u) << "a name that matches nothing is skipped";
    EXPECT_TRUE(s.objects[3].ownedByCamera && s.objects[1].ownedByCamera);
    EXPECT_FALSE(s.objects[0].ownedByCamera);

    // Sorted by order, stably; version 3 has no orders and keeps file order.
    std::vector<int32_t> sequence;
    for (const orderEntry& entry : s.orderList) sequence.push_back(entry.object);
    if (v >= 4) {
      EXPECT_EQ(sequence, (std::vector<int32_t>{2, 8, 4, 13, 1, 10, 5, 7, 0, 3, 9, 11, 12, 6}));
      EXPECT_EQ(cam.objects[0].object, 1) << "camera list sorted by order: shade (2) before picture (5)";
    } else {
      EXPECT_EQ(sequence, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
      EXPECT_EQ(cam.objects[0].object, 3) << "equal orders keep list order";
    }
    ScriptUnload(id);
    EXPECT_FALSE(ScriptExists(id));
  }
}

TEST_F(ScriptFileTest, HandWrittenVersion16LabelBytes) {
  const std::string kZero(1, '\0');
  // One Label, bytes laid out by hand, so the writer cannot share a mistake with the reader.
  const std::string bytes = LE32(16) + LE32(1) + "\x08" "AppScore" + LE32(1) + LE32(4) + "\x02" "la" + "\x01" +
                            LE32(3) + LE32(11) + LE32(12) + kZero + LE32(0x0000FF) + "\x10" + "\x02" "hi" +
                            "\x01" + LE32(50) + LE32(9) + LE32(4) + LE32(3) + LE32(2) + "\x01" + LE32(7) + LE32(2) +
                            std::string(2, '\0') + "trailing bytes are ignored";
  const int32_t id = ScriptLoad(Put("label.vmc", std::string(bytes.data(), bytes.size())));
  ASSERT_NE(id, kNoId);
  const script& s = *ScriptFind(id);
  ASSERT_EQ(s.objects.size(), 1u);
  const objLabel& l = s.objects[0].label;
  EXPECT_EQ(s.objects[0].name, "LA");
  EXPECT_EQ(s.objects[0].order, 3);
  EXPECT_EQ(l.left, 11);
  EXPECT_EQ(l.top, 12);
  EXPECT_EQ(l.color, 0xFF);
  EXPECT_EQ(l.alpha, 0x10);
  EXPECT_EQ(l.text, "hi");
  EXPECT_EQ(l.wrapWidth, 50);
  EXPECT_EQ(l.wrapHeight, 9);
  EXPECT_EQ(l.wrapLineOffset, 4);
  EXPECT_EQ(l.firstLine, 3);
  EXPECT_EQ(l.align, 2);
  EXPECT_EQ(s.listenerPresent, 1);
  EXPECT_EQ(s.listenerAddress, 7);
  EXPECT_EQ(s.code, (std::vector<uint8_t>{0, 0}));
}

// Offsets inside a version-16 file of every kind where a cut gives a known message.
struct cutPoint {
  size_t offset;
  std::string message;
};

TEST_F(ScriptFileTest, TruncationAtEveryByteFailsWithOneLineAndLeavesNoScript) {
  const scriptFile file = EveryKindFile(16);
  const std::vector<uint8_t> bytes = ScriptFileWrite(file);

  // Where each object starts, from the objects written one by one.
  std::vector<size_t> starts;
  size_t at = 4 + 4 + (1 + 8) + (1 + 7) + 4;
  for (const objEntry& object : file.objects) {
    starts.push_back(at);
    ByteWriter one;
    ScriptFileWriteObject(one, 16, object);
    at += one.Size();
  }
  const size_t listener = at;
  const std::string head = "ScriptFileLoad - Unable to read ";
  std::vector<cutPoint> cuts = {
      {0, head + "version number."},
      {3, head + "version number."},
      {4, head + "app routine count."},
      {8, head + "app routine 0."},
      {12, head + "app routine 0."},
      {17, head + "app routine 1."},
      {25, head + "object count."},
      {starts[0], head + "object 0 type."},
      {starts[0] + 4, head + "object 0 name."},
      {starts[0] + 9, head + "object 0 display ID."},
      {starts[0] + 10, head + "object attribute \"order\"."},
      {starts[1], head + "object 1 type."},
      {listener, head + "listener information."},
      {listener + 1, head + "listener address information."},
      {listener + 5, head + "code count."},
      {listener + 9, head + "7 bytes of code."},
      {bytes.size() - 1, head + "7 bytes of code."},
  };
  const char* kReaders[] = {"Button", "Color", "Display", "Image", "Label", "List", "Pointer",
                            "Slider", "Mat", "Render", "Atex", "AppObj", "Camera"};
  const char* kFirst[] = {"left", "left", "width", "left", "left", "left", "frame",
                          "left", "left", "appRoutineName", "left", "enabled", "enabled"};
  for (size_t k = 0; k < 13; ++k) {
    const size_t afterHead = starts[k] + 4 + 1 + file.objects[k].name.size() + 1 + 4;
    cuts.push_back({afterHead, "ScriptFileReadObject" + std::string(kReaders[k]) +
                                   " - Unable to read object attribute \"" + kFirst[k] + "\"."});
  }
  // The Button's frame set starts after its head and 4 + 4 + 4 + 1 + 1 + (1 + 20) + (1 + 8) + 4 + 4 bytes.
  const size_t buttonFrames = starts[0] + 4 + 5 + 1 + 4 + 14 + 21 + 9 + 8;
  cuts.push_back({buttonFrames, "ScriptFileReadFrames - Unable to read object attribute \"blend\"."});
  cuts.push_back({buttonFrames + 1, "ScriptFileReadFrames - Unable to read object attribute \"memory\"."});
  cuts.push_back({buttonFrames + 2, "ScriptFileReadFrames - Unable to read object attribute \"frameCount\"."});
  cuts.push_back({buttonFrames + 6, "ScriptFileReadFrames - Unable to read object frame 0 mat."});
  cuts.push_back({buttonFrames + 7, "ScriptFileReadFrames - Unable to read object frame 0 image count."});
  cuts.push_back({buttonFrames + 11, "ScriptFileReadFrames - Unable to read object frame 0 image 0 count."});
  cuts.push_back({buttonFrames + 11 + 14, "ScriptFileReadFrames - Unable to read object frame 1 mat."});
  // The Camera's cameraX, objectCount and first name; the Atex's triangles.
  const size_t cameraFields = starts[12] + 4 + 5 + 1 + 4;
  cuts.push_back({cameraFields + 17, "ScriptFileReadObjectCamera - Unable to read object attribute \"cameraX\"."});
  cuts.push_back({cameraFields + 25, "ScriptFileReadObjectCamera - Unable to read object attribute \"objectCount\"."});
  cuts.push_back({cameraFields + 29, "ScriptFileReadObjectCamera - Unable to read object name 0 for camera."});
  const size_t triangles = starts[10] + 4 + 6 + 1 + 4 + 13 + 14 + 9;
  cuts.push_back({triangles, "ScriptFileReadTriangles - Unable to read object attribute \"triangleCount\"."});
  cuts.push_back({triangles + 4, "ScriptFileReadTriangles - Unable to read object attribute \"x1\"."});
  cuts.push_back({triangles + 4 + 44, "ScriptFileReadTriangles - Unable to read object attribute \"v3\"."});

  std::map<size_t, std::string> expected;
  for (const cutPoint& cut : cuts) expected[cut.offset] = "Error: " + cut.message;

  int32_t lastId = 0;
  for (size_t length = 0; length < bytes.size(); ++length) {
    LogCapture log;
    const int32_t id = ScriptLoad(Put("cut.vmc", std::string(bytes.begin(), bytes.begin() + length)));
    ASSERT_EQ(id, kNoId) << "prefix " << length;
    ASSERT_EQ(log.lines().size(), 1u) << "prefix " << length << "\n" << Joined(log);
    EXPECT_NE(log.lines()[0].find("Unable to read"), std::string::npos) << log.lines()[0];
    auto it = expected.find(length);
    if (it != expected.end()) {
      EXPECT_EQ(log.lines()[0], it->second) << "prefix " << length;
    }
    ASSERT_TRUE(ScriptIds().empty());
    lastId++;
  }
  // Ids are never given twice: the whole file now gets the id after all the failed ones.
  EXPECT_EQ(Load(file), lastId + 1);
}

TEST_F(ScriptFileTest, LyingCountsFailWithoutAllocating) {
  struct lie {
    std::string bytes;
    std::string message;
  };
  const std::string noRoutines = LE32(16) + LE32(0);
  const std::vector<lie> lies = {
      {LE32(16) + LE32(0x7FFFFFFF) + "\x01" "A", "ScriptFileLoad - Unable to read app routine 1."},
      {LE32(16) + LE32(0xFFFFFFFF), "ScriptFileLoad - Unable to read app routine count."},
      {noRoutines + LE32(0x7FFFFFFF) + LE32(2) + "\x01" "D" + "\x01" + LE32(0) + LE32(1) + LE32(1) + LE32(0),
       "ScriptFileLoad - Unable to read object 1 type."},
      {noRoutines + LE32(0x80000000), "ScriptFileLoad - Unable to read object count."},
      {noRoutines + LE32(0) + "\x01" + LE32(0) + LE32(0x7FFFFFFF) + "abc",
       "ScriptFileLoad - Unable to read 2147483647 bytes of code."},
      {noRoutines + LE32(0) + "\x01" + LE32(0) + LE32(0xFFFFFFFF), "ScriptFileLoad - Unable to read -1 bytes of code."},
      {noRoutines + LE32(1) + LE32(3) + "\x01" "I" + "\x01" + LE32(0) + std::string(29 + 2, '\0') +
           LE32(0x7FFFFFFF) + std::string(1, '\0') + LE32(0),
       "ScriptFileReadFrames - Unable to read object frame 1 mat."},
      {noRoutines + LE32(1) + LE32(3) + "\x01" "I" + "\x01" + LE32(0) + std::string(29 + 2, '\0') + LE32(1) +
           std::string(1, '\0') + LE32(0x7FFFFFFF),
       "ScriptFileReadFrames - Unable to read object frame 0 image 0 count."},
      {noRoutines + LE32(1) + LE32(10) + "\x01" "T" + "\x01" + LE32(0) + std::string(13, '\0') + std::string(10, '\0') +
           LE32(0x7FFFFFFF),
       "ScriptFileReadTriangles - Unable to read object attribute \"x1\"."},
      {noRoutines + LE32(1) + LE32(12) + "\x01" "C" + "\x01" + LE32(0) + std::string(25, '\0') + LE32(0x7FFFFFFF),
       "ScriptFileReadObjectCamera - Unable to read object name 0 for camera."},
  };
  for (const lie& one : lies) {
    LogCapture log;
    EXPECT_EQ(ScriptLoad(Put("lie.vmc", one.bytes)), kNoId);
    ASSERT_EQ(log.lines().size(), 1u) << Joined(log);
    EXPECT_EQ(log.lines()[0], "Error: " + one.message);
  }
  EXPECT_TRUE(ScriptIds().empty());
}

TEST_F(ScriptFileTest, RefusalsAndTheirMessages) {
  LogCapture log;
  scriptFile file;
  file.version = 17;
  EXPECT_EQ(Load(file), kNoId);
  file.version = -3;  // however old, a version of 16 or less is read
  EXPECT_NE(Load(file), kNoId);

  file = scriptFile{};
  objEntry list = ObjectHead(kObjList, "l", 0);
  list.list.kind = "diagonal";
  file.objects = {list};
  EXPECT_EQ(Load(file), kNoId);

  EXPECT_EQ(ScriptLoad("Bin\\Scripts\\missing.vmc"), kNoId);
  EXPECT_FALSE(ScriptFileLoad(999, "x.vmc"));

  // An Atex whose texture does not load, and a Mat with no usable map, fail the compile.
  objEntry atex = ObjectHead(kObjAtex, "t", 0);
  atex.atex.texture = "Bin\\Art\\none.tga";
  file.objects = {atex};
  EXPECT_EQ(Load(file, "atex.vmc"), kNoId);
  objEntry mat = ObjectHead(kObjMat, "m", 0);
  mat.mat.fileName = "Bin\\Maps\\none.mat";
  file.objects = {mat};
  EXPECT_EQ(Load(file, "mat.vmc"), kNoId);

  auto has = [&](const std::string& line) {
    for (const std::string& l : log.lines()) {
      if (l == "Error: " + line) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("ScriptFileLoad - Script uses unsupported features.  Script requires version 17.  Module supports up "
                  "to 16."));
  EXPECT_TRUE(has("ScriptFileReadObjectList - Unrecognized value \"diagonal\" for object attribute \"kind\"."));
  EXPECT_TRUE(has("ScriptFileLoad - Unable to open script file \"Bin\\Scripts\\missing.vmc\"."));
  EXPECT_TRUE(has("ScriptFileLoad - Invalid script ID for script file \"x.vmc\"."));
  EXPECT_TRUE(has("ScriptCompileObjectAtex - Animated texture \"Bin\\Art\\none.tga\" has invalid size.  Animated "
                  "texture not compiled."));
  EXPECT_TRUE(has("ScriptFileLoad - Unable to compile script assets for script file \"Bin\\Scripts\\atex.vmc\"."));
  EXPECT_TRUE(has("ScriptFileLoad - Unable to compile script assets for script file \"Bin\\Scripts\\mat.vmc\"."));
  // The invalid-size line comes right before the compile-assets line.
  for (size_t i = 0; i + 1 < log.lines().size(); ++i) {
    if (log.lines()[i].find("Animated texture") != std::string::npos) {
      EXPECT_NE(log.lines()[i + 1].find("atex.vmc"), std::string::npos);
    }
  }
  EXPECT_EQ(ScriptIds().size(), 1u) << "only the version -3 script stays";
}

TEST_F(ScriptFileTest, HooksRunAroundTheRecordsLifeAndUnloadFreesModels) {
  std::vector<std::string> calls;
  scriptEngineHooks hooks;
  hooks.created = [&](int32_t id) { calls.push_back("created " + std::to_string(id)); };
  hooks.runMainThread = [&](int32_t id) {
    // The main thread runs with the file read and the assets built.
    calls.push_back("run " + std::to_string(id) + " " + std::to_string(ScriptFind(id)->objects.size()));
  };
  hooks.removed = [&](int32_t id) { calls.push_back("removed " + std::to_string(id)); };
  ScriptSetEngineHooks(hooks);

  const int32_t good = Load(EveryKindFile(16));
  scriptFile bad;
  bad.version = 99;
  const int32_t failed = Load(bad);
  EXPECT_EQ(failed, kNoId);
  EXPECT_EQ(calls, (std::vector<std::string>{"created 1", "run 1 14", "created 2", "removed 2"}));

  std::vector<int32_t> models;
  const script& s = *ScriptFind(good);
  models.push_back(s.objects[1].color.model);
  models.push_back(s.objects[10].atex.model);
  for (const frame& f : s.objects[5].list.iconFrames.frames) models.insert(models.end(), f.models.begin(), f.models.end());
  for (const frame& f : s.objects[7].slider.thumbFrames.frames) models.insert(models.end(), f.models.begin(), f.models.end());
  for (int32_t model : models) EXPECT_TRUE(ModelExists(model));
  const int32_t font = s.objects[4].label.font;
  ScriptUnload(good);
  for (int32_t model : models) EXPECT_FALSE(ModelExists(model));
  EXPECT_EQ(FontGetHeight(font), kFontHeight) << "fonts stay in their cache";
  EXPECT_FALSE(ScriptExists(good));
  EXPECT_EQ(Load(EveryKindFile(16)), 3) << "ids grow past removed records";
}

}  // namespace

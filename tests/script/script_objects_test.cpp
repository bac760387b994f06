// Object attributes as script code reads and changes them, on objects loaded from a real file.
#include <gtest/gtest.h>

#include "script/script_fixture.h"

namespace {

using namespace tftest;

class ScriptObjectsTest : public ScriptFixture {
 protected:
  // Loads the objects from a version-16 file and keeps the record.
  void LoadObjects(std::vector<objEntry> objects) {
    scriptFile file;
    file.objects = std::move(objects);
    id_ = Load(file);
    ASSERT_NE(id_, kNoId);
    s_ = ScriptFind(id_);
  }
  parameter Get(int32_t object, int32_t attribute, int32_t index = 0) {
    parameter value = ParameterText("unset");
    EXPECT_TRUE(ScriptObjectAttributeGet(*s_, object, attribute, index, value)) << object << "/" << attribute;
    return value;
  }
  int32_t GetInt(int32_t object, int32_t attribute, int32_t index = 0) {
    return ParameterToInteger(Get(object, attribute, index));
  }
  bool Set(int32_t object, int32_t attribute, const parameter& value, int32_t index = 0) {
    return ScriptObjectAttributeSet(*s_, object, attribute, index, value);
  }
  bool Fails(int32_t object, int32_t attribute, bool set) {
    parameter value;
    return set ? !Set(object, attribute, ParameterInteger(1)) : !ScriptObjectAttributeGet(*s_, object, attribute, 0, value);
  }
  objEntry& O(int32_t object) { return s_->objects[static_cast<size_t>(object)]; }
  static float X(int32_t model) {
    float x = 0, y = 0, z = 0;
    ModelGetPosition(model, x, y, z);
    return x;
  }
  static float Y(int32_t model) {
    float x = 0, y = 0, z = 0;
    ModelGetPosition(model, x, y, z);
    return y;
  }

  int32_t id_ = kNoId;
  script* s_ = nullptr;
};

TEST_F(ScriptObjectsTest, FrameSetsMoveClampAndFollowTheirFrame) {
  objEntry button = ObjectHead(kObjButton, "b");
  button.button.frames = FramesOf({{kPictureA}, {kPictureB}});
  button.button.frames.left = 10, button.button.frames.top = 20, button.button.frame = 1;
  button.button.fontFile = kFont, button.button.text = "x";
  objEntry image = ObjectHead(kObjImage, "pic");
  image.image.frames = FramesOf({{kPictureA, kPictureB}, {kPictureB}, {}});
  image.image.frame = 2, image.image.alpha = 255, image.image.rotation = 10;
  LoadObjects({button, image});

  // Moving changes every model of every frame by the difference.
  ASSERT_TRUE(Set(0, 0, ParameterText("15")));
  ASSERT_TRUE(Set(0, 1, ParameterInteger(-5)));
  EXPECT_EQ(X(O(0).button.frames.frames[1].models[0]), 15.0f);
  EXPECT_EQ(Y(O(0).button.frames.frames[0].models[0]), -5.0f);
  EXPECT_EQ(GetInt(0, 0), 15);
  EXPECT_EQ(GetInt(0, 6), 10) << "the home position stays as read";
  EXPECT_EQ(GetInt(0, 7), 20);

  // A valid frame takes its image 1's size; an invalid one clamps to 1 with the message.
  EXPECT_EQ(GetInt(0, 5), 8) << "attribute 5 of a button reads its height";
  ASSERT_TRUE(Set(0, 2, ParameterInteger(2)));
  EXPECT_EQ(GetInt(0, 5), 4);
  {
    LogCapture log;
    ASSERT_TRUE(Set(0, 2, ParameterInteger(3)));
    ASSERT_TRUE(Set(1, 3, ParameterInteger(0)));
    EXPECT_EQ(Joined(log),
              "Error: ScriptCodeObjectButtonAttributeSet - Script attempted to set invalid frame number.  Clamping to "
              "first frame.\n"
              "Error: ScriptCodeObjectImageAttributeSet - Script attempted to set invalid frame number.  Clamping to "
              "first frame on object \"PIC\".\n");
  }
  EXPECT_EQ(GetInt(0, 2), 1);
  EXPECT_EQ(GetInt(1, 3), 1);
  EXPECT_EQ(GetInt(1, 6), 16) << "frame 1 is shown";
  ASSERT_TRUE(Set(1, 3, ParameterInteger(3)));
  EXPECT_EQ(GetInt(1, 6), 0) << "a frame without images has no size";
  EXPECT_EQ(GetInt(1, 8), 3);

  ASSERT_TRUE(Set(1, 2, ParameterInteger(45)));
  ASSERT_TRUE(Set(1, 5, ParameterInteger(0x1FF)));
  EXPECT_EQ(GetInt(1, 2), 45);
  EXPECT_EQ(GetInt(1, 5), 0x1FF);

  // Texts and wrapping; 8 to 10 are read-only.
  ASSERT_TRUE(Set(0, 7, ParameterInteger(20)));
  ASSERT_TRUE(Set(0, 5, ParameterText("aaa bbb ccc")));
  EXPECT_EQ(ParameterToText(Get(0, 8)), "aaa bbb ccc");
  EXPECT_EQ(O(0).button.lines.size(), 3u);
  EXPECT_EQ(GetInt(0, 10), 20);
  ASSERT_TRUE(Set(0, 6, ParameterInteger(0xABCDEF)));
  EXPECT_EQ(GetInt(0, 9), 0xABCDEF);
  EXPECT_TRUE(Fails(0, 8, true));
  EXPECT_TRUE(Fails(0, 10, true));
  EXPECT_TRUE(Fails(0, 11, false));
  EXPECT_TRUE(Fails(2, 0, false)) << "no object 2";
  EXPECT_EQ(Get(0, 3).kind, kParameterBoolean);
}

TEST_F(ScriptObjectsTest, ColorDisplayLabelMatAtexAppObjAndCamera) {
  objEntry color = ObjectHead(kObjColor, "c");
  color.color = objColor{5, 6, 40, 30, 0x102030, 200, true, true};
  objEntry display = ObjectHead(kObjDisplay, "d");
  display.display = objDisplay{640, 480, 2};
  objEntry label = ObjectHead(kObjLabel, "l");
  label.label.fontFile = kFont, label.label.text = "ab cd", label.label.wrapWidth = 0, label.label.wrapLineOffset = 3;
  objEntry mat = ObjectHead(kObjMat, "m");
  mat.mat.fileName = kMat;
  objEntry atex = ObjectHead(kObjAtex, "t");
  atex.atex.texture = kPictureA, atex.atex.left = 4, atex.atex.top = 7;
  atex.atex.triangles = {atexTriangle{0, 0, 0, 0, 0, 8, 0, 8, 16, 8, 16, 8}};
  objEntry app = ObjectHead(kObjAppObj, "a");
  objEntry camera = ObjectHead(kObjCamera, "cam");
  objEntry render = ObjectHead(kObjRender, "r");
  LoadObjects({color, display, label, mat, atex, app, camera, render});

  // Color: the quad follows position and size.
  const int32_t quad = O(0).color.model;
  ASSERT_TRUE(Set(0, 0, ParameterInteger(15)));
  EXPECT_EQ(X(quad), 15.0f);
  ASSERT_TRUE(Set(0, 6, ParameterInteger(50)));
  ASSERT_TRUE(Set(0, 7, ParameterInteger(60)));
  EXPECT_EQ(ModelGetVertex(quad, 2).x, 50.0f);
  EXPECT_EQ(ModelGetVertex(quad, 2).y, 60.0f);
  EXPECT_EQ(ModelGetVertex(quad, 3).x, 50.0f);
  EXPECT_EQ(ModelGetVertex(quad, 3).y, 0.0f);
  EXPECT_EQ(ModelGetVertex(quad, 1).y, 60.0f);
  EXPECT_EQ(GetInt(0, 3), 200);

  // Display: the view mode as text, set from text in any case.
  EXPECT_EQ(ParameterToText(Get(1, 2)), "undefined");
  ASSERT_TRUE(Set(1, 2, ParameterText("bestFit")));
  EXPECT_EQ(ParameterToText(Get(1, 2)), "BestFit");
  ASSERT_TRUE(Set(1, 2, ParameterText("stretch")));
  EXPECT_EQ(ParameterToText(Get(1, 2)), "BestFit") << "an unknown text changes nothing";
  ASSERT_TRUE(Set(1, 2, ParameterText("FILL")));
  EXPECT_EQ(ParameterToText(Get(1, 2)), "Fill");

  // Label: text measures with and without wrapping (each glyph 6 wide adds 5).
  EXPECT_EQ(GetInt(2, 10), 0);
  EXPECT_EQ(GetInt(2, 11), kFontHeight);
  EXPECT_EQ(GetInt(2, 12), 25);
  ASSERT_TRUE(Set(2, 5, ParameterInteger(20)));
  EXPECT_EQ(GetInt(2, 10), 2);
  EXPECT_EQ(GetInt(2, 11), kFontHeight * 2 + 3);
  EXPECT_EQ(GetInt(2, 12), 10);
  ASSERT_TRUE(Set(2, 3, ParameterText("aaa bbb ccc")));
  EXPECT_EQ(GetInt(2, 10), 3) << "a new text is wrapped again";
  ASSERT_TRUE(Set(2, 7, ParameterInteger(300)));
  EXPECT_EQ(GetInt(2, 7), 300 & 0xFF);

  // Mat: a new file name opens the new map.
  ASSERT_TRUE(Set(3, 3, ParameterText("Bin\\Maps\\none.mat")));
  EXPECT_EQ(O(3).mat.region.width, 0);
  EXPECT_EQ(ParameterToText(Get(3, 3)), "Bin\\Maps\\none.mat");

  // Atex: top moves the model down, not sideways.
  const int32_t model = O(4).atex.model;
  ASSERT_TRUE(Set(4, 1, ParameterInteger(17)));
  EXPECT_EQ(Y(model), 17.0f);
  EXPECT_EQ(X(model), 4.0f);
  ASSERT_TRUE(Set(4, 5, ParameterInteger(-3)));
  EXPECT_EQ(GetInt(4, 5), -3);
  EXPECT_TRUE(Fails(4, 6, true));

  // AppObj and Camera.
  ASSERT_TRUE(Set(5, 1, ParameterText("TRUE")));
  EXPECT_TRUE(ParameterToBoolean(Get(5, 1)));
  EXPECT_TRUE(Fails(5, 2, false));
  for (int32_t n = 1; n <= 6; ++n) ASSERT_TRUE(Set(6, n, ParameterInteger(n * 11)));
  EXPECT_EQ(O(6).camera.cameraX, 55);
  EXPECT_EQ(GetInt(6, 6), 66);
  EXPECT_TRUE(Fails(6, 7, false));

  // A Render object has no attributes but the order.
  EXPECT_TRUE(Fails(7, 0, false));
  EXPECT_TRUE(Fails(7, 0, true));
  EXPECT_EQ(GetInt(7, kAttributeOrder), 0);
}

TEST_F(ScriptObjectsTest, ListsGrowTheirArraysAndCheckFramesAndModes) {
  objEntry list = ObjectHead(kObjList, "l");
  list.list.kind = "HORIZONTAL", list.list.fontFile = kFont, list.list.frame = 1;
  list.list.cells = FramesOf({{kPictureA}, {kPictureB}});
  list.list.iconFrames = FramesOf({{kPictureB}});
  LoadObjects({list});
  EXPECT_TRUE(ScriptObjectAttributeIndexed(*s_, 0, 5, true));
  EXPECT_TRUE(ScriptObjectAttributeIndexed(*s_, 0, 16, true));
  EXPECT_FALSE(ScriptObjectAttributeIndexed(*s_, 0, 20, true));
  EXPECT_TRUE(ScriptObjectAttributeIndexed(*s_, 0, 21, false));
  EXPECT_FALSE(ScriptObjectAttributeIndexed(*s_, 0, 15, false));

  objList& l = O(0).list;
  O(0).list.items.clear();  // an empty list
  ASSERT_TRUE(Set(0, 5, ParameterInteger(42), 5));
  ASSERT_EQ(l.items.size(), 6u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(l.items[i].kind, kParameterText);
  EXPECT_EQ(Get(0, 5, 5).kind, kParameterInteger) << "the stored value keeps its kind";
  parameter none;
  EXPECT_FALSE(ScriptObjectAttributeGet(*s_, 0, 5, 6, none));
  EXPECT_FALSE(ScriptObjectAttributeGet(*s_, 0, 20, 0, none)) << "no icons yet";
  ASSERT_TRUE(Set(0, 15, ParameterInteger(0), 2));
  EXPECT_EQ(GetInt(0, 20, 0), -1);
  ASSERT_TRUE(Set(0, 16, ParameterInteger(9), 1));
  EXPECT_EQ(GetInt(0, 21, 0), 0);
  EXPECT_EQ(GetInt(0, 21, 1), 9);
  EXPECT_TRUE(Set(0, 5, ParameterInteger(1), -1)) << "a negative index does nothing";
  EXPECT_EQ(l.items.size(), 6u);
  EXPECT_FALSE(Set(0, 5, ParameterInteger(1), 0x7FFFFFFF)) << "no list of two thousand million entries";

  {
    LogCapture log;
    ASSERT_TRUE(Set(0, 17, ParameterInteger(4)));
    ASSERT_TRUE(Set(0, 18, ParameterInteger(3)));
    ASSERT_TRUE(Set(0, 19, ParameterInteger(0)));
    ASSERT_TRUE(Set(0, 3, ParameterInteger(9)));
    EXPECT_EQ(Joined(log),
              "Error: ScriptCodeObjectListAttributeSet - Invalid text mode 4 ignored on list.\n"
              "Error: ScriptCodeObjectListAttributeSet - Script attempted to set invalid frameSelected number.  "
              "Clamping to first frame.\n"
              "Error: ScriptCodeObjectListAttributeSet - Script attempted to set invalid frameMouseOver number.  "
              "Clamping to first frame.\n"
              "Error: ScriptCodeObjectListAttributeSet - Script attempted to set invalid frame number.  Clamping to "
              "first frame.\n");
  }
  EXPECT_EQ(GetInt(0, 22), 0) << "the mode as written stays";
  ASSERT_TRUE(Set(0, 17, ParameterInteger(1)));
  EXPECT_EQ(GetInt(0, 22), 1);
  ASSERT_TRUE(Set(0, 18, ParameterInteger(2)));
  EXPECT_EQ(GetInt(0, 10), 2);
  ASSERT_TRUE(Set(0, 3, ParameterInteger(2)));
  EXPECT_EQ(GetInt(0, 13), 8) << "cell width follows the frame";
  EXPECT_EQ(GetInt(0, 12), 4);

  ASSERT_TRUE(Set(0, 7, ParameterInteger(-4)));
  EXPECT_EQ(GetInt(0, 7), 0);
  ASSERT_TRUE(Set(0, 11, ParameterText("vertical")));
  EXPECT_EQ(ParameterToText(Get(0, 15)), "VERTICAL");
  ASSERT_TRUE(Set(0, 11, ParameterText("round")));
  EXPECT_EQ(ParameterToText(Get(0, 15)), "VERTICAL");

  // Both frame sets move.
  ASSERT_TRUE(Set(0, 0, ParameterInteger(12)));
  EXPECT_EQ(X(l.iconFrames.frames[0].models[0]), 12.0f);
  EXPECT_EQ(X(l.cells.frames[1].models[0]), 12.0f);
}

TEST_F(ScriptObjectsTest, SlidersClampValuesAndPlaceTheThumb) {
  objEntry slider = ObjectHead(kObjSlider, "s");
  objSlider& sl = slider.slider;
  sl.rangeFrames = FramesOf({{kPictureA}});  // 16 wide
  sl.thumbFrames = FramesOf({{kPictureB}});  // 8 wide
  sl.rangeFrames.left = 100, sl.rangeFrames.top = 50, sl.frameRange = 1, sl.frameSlider = 1;
  sl.minValue = 0, sl.maxValue = 4, sl.value = 2;
  objEntry pointer = ObjectHead(kObjPointer, "p");
  pointer.pointer.frames = FramesOf({{kPictureB}});
  pointer.pointer.frame = 1, pointer.pointer.fadeOnIdle = true;
  LoadObjects({slider, pointer});
  const int32_t thumb = O(0).slider.thumbFrames.frames[0].models[0];
  EXPECT_EQ(O(0).slider.thumbOffset, 4) << "placed by the file's value at load";
  EXPECT_EQ(X(thumb), 104.0f);

  ASSERT_TRUE(Set(0, 6, ParameterInteger(3)));
  EXPECT_EQ(O(0).slider.thumbOffset, 6) << "(16 - 8) * 3 / 4";
  EXPECT_EQ(X(thumb), 106.0f);
  EXPECT_EQ(Y(thumb), 50.0f);
  ASSERT_TRUE(Set(0, 6, ParameterInteger(99)));
  EXPECT_EQ(GetInt(0, 6), 4);
  ASSERT_TRUE(Set(0, 4, ParameterInteger(7)));
  EXPECT_EQ(GetInt(0, 4), 4) << "a minimum above the maximum becomes the maximum";
  ASSERT_TRUE(Set(0, 5, ParameterInteger(-2)));
  EXPECT_EQ(GetInt(0, 5), 4);
  ASSERT_TRUE(Set(0, 4, ParameterInteger(2)));
  EXPECT_EQ(GetInt(0, 6), 4);
  ASSERT_TRUE(Set(0, 5, ParameterInteger(3)));
  EXPECT_EQ(GetInt(0, 6), 3) << "the value follows a lowered maximum";
  ASSERT_TRUE(Set(0, 9, ParameterInteger(5)));
  EXPECT_EQ(GetInt(0, 10), 0);
  ASSERT_TRUE(Set(0, 9, ParameterInteger(1)));
  EXPECT_EQ(GetInt(0, 10), 1);
  EXPECT_EQ(GetInt(0, 9), 8) << "range height";
  {
    LogCapture log;
    ASSERT_TRUE(Set(0, 2, ParameterInteger(2)));
    ASSERT_TRUE(Set(0, 3, ParameterInteger(-1)));
    ASSERT_TRUE(Set(1, 1, ParameterInteger(5)));
    EXPECT_EQ(Joined(log),
              "Error: ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame range number.  "
              "Clamping to first frame.\n"
              "Error: ScriptCodeObjectSliderAttributeSet - Script attempted to set invalid frame slider number.  "
              "Clamping to first frame.\n"
              "Error: ScriptCodeObjectPointerAttributeSet - Script attempted to set invalid frame number.  Clamping "
              "to first frame.\n");
  }

  // Pointer: switching the fade off restores full opacity; its position comes from the script.
  O(1).pointer.fadeAlpha = 40;
  ASSERT_TRUE(Set(1, 2, ParameterBoolean(false)));
  EXPECT_EQ(O(1).pointer.fadeAlpha, 255);
  s_->pointerX = 321;
  EXPECT_EQ(GetInt(1, 2), 321);
  ASSERT_TRUE(Set(1, 4, ParameterInteger(0)));
  EXPECT_EQ(GetInt(1, 6), 0);
}

TEST_F(ScriptObjectsTest, OrderChangesResortTheScriptAndItsCameras) {
  objEntry camera = ObjectHead(kObjCamera, "cam", 0);
  camera.camera.names = {"A", "B"};
  LoadObjects({ObjectHead(kObjDisplay, "a", 1), ObjectHead(kObjDisplay, "b", 2), ObjectHead(kObjDisplay, "c", 3), camera});
  auto sequence = [](const std::vector<orderEntry>& list) {
    std::vector<int32_t> out;
    for (const orderEntry& entry : list) out.push_back(entry.object);
    return out;
  };
  EXPECT_EQ(sequence(s_->orderList), (std::vector<int32_t>{3, 0, 1, 2}));
  EXPECT_EQ(sequence(O(3).camera.objects), (std::vector<int32_t>{0, 1}));
  ASSERT_TRUE(Set(0, kAttributeOrder, ParameterInteger(2)));
  EXPECT_EQ(GetInt(0, kAttributeOrder), 2);
  EXPECT_EQ(sequence(s_->orderList), (std::vector<int32_t>{3, 0, 1, 2})) << "equal orders keep their sequence";
  ASSERT_TRUE(Set(0, kAttributeOrder, ParameterInteger(9)));
  EXPECT_EQ(sequence(s_->orderList), (std::vector<int32_t>{3, 1, 2, 0}));
  EXPECT_EQ(sequence(O(3).camera.objects), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(O(3).camera.objects[1].order, 9);
}

}  // namespace

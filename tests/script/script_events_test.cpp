// Script input events on the real input unit: mouse events go through InputMouseMessage to the
// menu control set, script updates turn them into listener events (hover, press, click, sliders,
// lists), the tick runs on a clock of the test's own, and system routine 39 hit-tests by the same
// rules.
#include <gtest/gtest.h>

#include <utility>

#include "core/ini.h"
#include "input/input.h"
#include "platform/platform.h"
#include "script/script_fixture.h"
#include "script/vm_code.h"

namespace {

using namespace tftest;

uint32_t& TestClock() {
  static uint32_t now = 5000;
  return now;
}

// A mat file of width x height: the named entries and runs of (length, index) in raster order.
std::string MatBytes(int32_t width, int32_t height, const std::vector<std::string>& names,
                     const std::vector<std::pair<int, int>>& runs) {
  std::string bytes = std::string("MAT") + char(1) + char(0) + LE32(width) + LE32(height) + char(names.size());
  for (const std::string& name : names) bytes += LE32(0) + char(name.size()) + name;
  for (const auto& [length, index] : runs) bytes += LE16(length) + char(index);
  return bytes;
}

// Eight rows of a 16 x 8 map whose left half is entry 0 and right half entry 1.
std::vector<std::pair<int, int>> HalvesRuns() {
  std::vector<std::pair<int, int>> runs;
  for (int row = 0; row < 8; ++row) runs.insert(runs.end(), {{8, 0}, {8, 1}});
  return runs;
}

class ScriptEventsTest : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    IniStart();
    InputStart();
    InputWindowAdd(display_, windows_.back());
    set_ = InputMenuControlSet();
    InputControlSetActivate(set_);
    TestClock() = 5000;
    ScriptEventClockSet([] { return TestClock(); });
    // The listener's events as "code NAME"; a second script's listener hears what it forwards.
    ASSERT_TRUE(ScriptAppRoutineRegister("Event", [this](int32_t scriptId, int32_t threadId) {
      events_.push_back(std::to_string(ScriptParameterGetInteger(scriptId, threadId, 1)) + " " +
                        ScriptParameterGetText(scriptId, threadId, 2));
      if (events_.back() == unloadOn_) ScriptUnload(scriptId);
      return 1;
    }));
    ASSERT_TRUE(ScriptAppRoutineRegister("Other", [this](int32_t scriptId, int32_t threadId) {
      forwarded_.push_back(std::to_string(ScriptParameterGetInteger(scriptId, threadId, 1)) + " " +
                           ScriptParameterGetText(scriptId, threadId, 2));
      return 1;
    }));
    ASSERT_TRUE(ScriptAppRoutineRegister("Hit", [this](int32_t scriptId, int32_t threadId) {
      hits_.push_back(ScriptParameterGetText(scriptId, threadId, 1));
      return 1;
    }));
  }
  void TearDown() override {
    if (OffscreenVideoStarted() && set_ != 0) {
      ScriptEventClockSet(nullptr);
      InputEnd();
      IniEnd();
    }
    ScriptFixture::TearDown();
  }

  // A script whose listener records every event with "Event" (routine 0) and, with forward, also
  // posts it to the script "other" by file name (system routine 24).
  int32_t LoadScreen(std::vector<objEntry> objects, const std::string& main = "Return\n", bool forward = false) {
    scriptFile file;
    file.routines = {"Event", "Hit"};
    file.objects = std::move(objects);
    std::string listener = "Push [b-2]\nPush [b-1]\nCallAppRoutine 0\nPop\nPop\n";
    if (forward) listener += "Push [b-2]\nPush [b-1]\nPush \"other\"\nCallSystemRoutine 24\nPop\nPop\nPop\n";
    listener += "Return\n";
    std::vector<uint8_t> head;
    std::string error;
    EXPECT_TRUE(VmAssembleCode(main, head, error)) << error;
    EXPECT_TRUE(VmAssembleCode(main + listener, file.code, error)) << error;
    file.listenerPresent = 1;
    file.listenerAddress = static_cast<int32_t>(head.size());
    return Load(file);
  }

  void Move(int32_t x, int32_t y) {
    platformEvent event;
    event.kind = platformEventKind::kMouseMove;
    event.window = windows_.back();
    event.x = x;
    event.y = y;
    InputMouseMessage(event);
  }
  void Button(int32_t button, bool down) {
    platformEvent event;
    event.kind = down ? platformEventKind::kMouseButtonDown : platformEventKind::kMouseButtonUp;
    event.window = windows_.back();
    event.button = button;
    InputMouseMessage(event);
  }
  void Click(int32_t button = 1) {
    Button(button, true);
    Button(button, false);
  }

  // One update; returns the handled marks of the action events it saw, then clears the queues
  // as the game's frame does.
  std::vector<int32_t> Update(int32_t id) {
    ScriptUpdate(id);
    std::vector<int32_t> marks;
    for (const inputEvent& event : InputActionEventsGet(set_, false)) marks.push_back(event.handled);
    InputActionEventsGet(set_);
    InputControlEventsGet(set_);
    return marks;
  }
  // The events heard since the last call; the tick (once, as the test clock stands still) only
  // when asked for.
  std::vector<std::string> Heard(bool ticks = false) {
    std::vector<std::string> heard;
    for (std::string& event : std::exchange(events_, {})) {
      if (ticks || !event.starts_with("-1 ")) heard.push_back(std::move(event));
    }
    return heard;
  }

  static objEntry ButtonAt(const std::string& name, int32_t order, int32_t left, int32_t top,
                           const std::string& mat = "") {
    objEntry o = ObjectHead(kObjButton, name, order);
    o.button.frames = FramesOf({{kPictureA}}, mat);  // 16 x 8
    o.button.frames.left = left, o.button.frames.top = top;
    o.button.frame = 1, o.button.visible = true, o.button.enabled = true;
    return o;
  }
  static objEntry BoxAt(const std::string& name, int32_t order, int32_t left, int32_t top, int32_t size = 4) {
    objEntry o = ObjectHead(kObjColor, name, order);
    o.color = objColor{left, top, size, size, 0xFFFFFF, 255, true, true};
    return o;
  }
  objEntry& Object(int32_t id, size_t index) { return ScriptFind(id)->objects[index]; }

  using texts = std::vector<std::string>;
  int32_t set_ = 0;
  texts events_, forwarded_, hits_;
  std::string unloadOn_;  // the event on which "Event" unloads the script it runs for
};

TEST_F(ScriptEventsTest, ButtonPressesHoldTheFocusAndClicksNeedTheReleaseOnTheSameButton) {
  scriptFile other;
  other.routines = {"Other"};
  std::string error;
  std::vector<uint8_t> head;
  ASSERT_TRUE(VmAssembleCode("Return\n", head, error));
  ASSERT_TRUE(VmAssembleCode("Return\nPush [b-2]\nPush [b-1]\nCallAppRoutine 0\nPop\nPop\nReturn\n", other.code, error));
  other.listenerPresent = 1;
  other.listenerAddress = static_cast<int32_t>(head.size());
  ASSERT_NE(Load(other, "other.vmc"), kNoId);
  const int32_t id = LoadScreen({ButtonAt("a", 1, 0, 0), ButtonAt("b", 2, 30, 0)}, "Return\n", true);
  ASSERT_NE(id, kNoId);

  Move(5, 4);
  Update(id);
  EXPECT_EQ(Heard(), texts{"-5 A"});
  // Press, move off and back, release on it.
  Button(1, true);
  EXPECT_EQ(Update(id), std::vector<int32_t>{1}) << "a delivered press is marked handled";
  Move(40, 4);  // over B, which hears nothing while A is held
  Update(id);
  Move(5, 4);
  Update(id);
  Button(1, false);
  EXPECT_EQ(Update(id), std::vector<int32_t>{1});
  EXPECT_EQ(Heard(), (texts{"-3 A", "-6 A", "-5 A", "-4 A"}));

  // Released off the button: no click, the release stays unhandled, and B is entered once free.
  Button(1, true);
  Update(id);
  Move(40, 4);
  Button(1, false);
  EXPECT_EQ(Update(id), std::vector<int32_t>{0});
  EXPECT_EQ(Heard(), (texts{"-3 A", "-6 A", "-5 B"}));
  EXPECT_EQ(ScriptFind(id)->focus, eventObject{});

  // Two clicks in one update, in order; then the secondary button.
  Click();
  Click();
  EXPECT_EQ(Update(id), (std::vector<int32_t>{1, 1, 1, 1}));
  Click(3);
  Update(id);
  Move(41, 4);
  Update(id);
  EXPECT_EQ(Heard(), (texts{"-3 B", "-4 B", "-3 B", "-4 B", "-8 B", "-9 B", "-7 B"}));
  EXPECT_EQ(forwarded_.size(), 17u) << "every event (with the two ticks) also reached other.vmc by its file name";
  EXPECT_EQ(forwarded_.back(), "-7 B");

  // A listener that unloads its own script ends the update's walk there.
  unloadOn_ = "-3 B";
  Click();
  Click();
  Update(id);
  EXPECT_FALSE(ScriptExists(id));
  EXPECT_EQ(Heard(), texts{"-3 B"});
}

TEST_F(ScriptEventsTest, SlidersStepJumpAndDragAndAFullThumbStaysPut) {
  SavePicture(dir_ / "Bin/Art/range.tga", 100, 10, 0xFF808080u);
  SavePicture(dir_ / "Bin/Art/thumb.tga", 10, 10, 0xFFFFFFFFu);
  objEntry s = ObjectHead(kObjSlider, "s", 1);
  s.slider.rangeFrames = FramesOf({{"Bin\\Art\\range.tga"}});
  s.slider.thumbFrames = FramesOf({{"Bin\\Art\\thumb.tga"}});
  s.slider.rangeFrames.left = 0, s.slider.rangeFrames.top = 40, s.slider.frameRange = 1, s.slider.frameSlider = 1;
  s.slider.minValue = 0, s.slider.maxValue = 90, s.slider.value = 0, s.slider.visible = true, s.slider.enabled = true;
  s.slider.pageType = 0, s.slider.pageSize = 10;
  objEntry full = s;  // thumb and range the same 16 x 8 picture
  full.name = "full";
  full.slider.rangeFrames = FramesOf({{kPictureA}});
  full.slider.thumbFrames = FramesOf({{kPictureA}});
  full.slider.rangeFrames.top = 20, full.slider.maxValue = 10;
  const int32_t id = LoadScreen({s, full});
  ASSERT_NE(id, kNoId);
  objSlider& slider = Object(id, 0).slider;

  // A page step toward the click on each side of the thumb, then a jump to the click.
  Move(50, 45);
  Update(id);
  Click();
  Update(id);
  EXPECT_EQ(slider.value, 10);
  EXPECT_EQ(slider.thumbOffset, 10);
  Move(5, 45);  // before the thumb at 10 ... 19
  Click();
  Update(id);
  EXPECT_EQ(slider.value, 0);
  EXPECT_EQ(Heard(), (texts{"-5 S", "-3 S", "-2 S", "-10 S", "-7 S", "-3 S", "-2 S", "-10 S"}));
  slider.pageType = 1;
  Move(50, 45);
  Click();
  Update(id);
  EXPECT_EQ(slider.value, 45) << "the thumb's middle goes to the click";

  // A drag past the end stops there; coming back moves the thumb only once past the end again.
  Heard();
  Button(1, true);
  Update(id);
  EXPECT_TRUE(ScriptFind(id)->dragging);
  EXPECT_TRUE(ScriptFind(id)->hoverThumb);
  Move(250, 45);
  Update(id);
  EXPECT_EQ(slider.value, 90);
  Move(150, 45);
  Update(id);
  Move(95, 45);
  Update(id);
  EXPECT_EQ(slider.value, 90);
  Move(60, 45);
  Update(id);
  EXPECT_EQ(slider.value, 55);
  Button(1, false);
  Update(id);
  EXPECT_EQ(Heard(), (texts{"-3 S", "-2 S", "-2 S", "-10 S"}));
  EXPECT_FALSE(ScriptFind(id)->dragging);

  // A thumb as large as its range: grabbed, dragged, released, and nothing moves.
  Move(5, 24);
  Update(id);
  Button(1, true);
  Update(id);
  Move(12, 24);
  Update(id);
  Move(-30, 24);
  Update(id);
  Button(1, false);
  Update(id);
  EXPECT_EQ(Heard(), (texts{"-6 S", "-5 FULL", "-3 FULL", "-10 FULL"}));
  EXPECT_EQ(Object(id, 1).slider.value, 0);
  EXPECT_EQ(Object(id, 1).slider.thumbOffset, 0);
}

TEST_F(ScriptEventsTest, ListClicksGiveTheItemAndTheRegionOfTheCell) {
  ASSERT_TRUE(WriteFile(dir_ / "Bin/Maps/cell.mat", MatBytes(16, 8, {"Icon", ""}, HalvesRuns())));
  objEntry list = ObjectHead(kObjList, "menu", 1);
  list.list.cells = FramesOf({{kPictureA}});  // cells of 16 x 8
  list.list.kind = "HORIZONTAL", list.list.frame = 1, list.list.cellCount = 3, list.list.visible = true;
  list.list.enabled = true, list.list.mat = "Bin\\Maps\\cell.mat";
  const int32_t id = LoadScreen({list});
  ASSERT_NE(id, kNoId);
  objList& l = Object(id, 0).list;
  l.firstItem = 2;

  Move(20, 3);  // cell 1, left half
  Click();
  Update(id);
  EXPECT_EQ(l.hoverCell, 3);
  EXPECT_EQ(l.clickedCell, 3);
  EXPECT_EQ(l.clickedRegion, "ICON");
  Move(44, 3);  // cell 2, right half: a region without a name gives its number
  Click();
  Update(id);
  EXPECT_EQ(l.clickedCell, 4);
  EXPECT_EQ(l.clickedRegion, "1");
  Move(60, 3);  // past the last cell
  Update(id);
  EXPECT_EQ(l.hoverCell, -1);
  EXPECT_EQ(Heard(), (texts{"-5 MENU", "-3 MENU", "-4 MENU", "-7 MENU", "-3 MENU", "-4 MENU", "-6 MENU"}));
}

TEST_F(ScriptEventsTest, HitRulesForRegionMapsMatsAndCamerasAlsoThroughRoutine39) {
  ASSERT_TRUE(WriteFile(dir_ / "Bin/Maps/half.mat", MatBytes(16, 8, {"Off", "On"}, HalvesRuns())));
  ASSERT_TRUE(WriteFile(dir_ / "Bin/Maps/glass.mat", MatBytes(16, 8, {"transparent", "Pane"}, HalvesRuns())));
  objEntry glass = ObjectHead(kObjMat, "glass", 5);
  glass.mat.left = 0, glass.mat.top = 20, glass.mat.enabled = true, glass.mat.fileName = "Bin\\Maps\\glass.mat";
  objEntry view = ObjectHead(kObjCamera, "view", 6);
  view.camera.enabled = true, view.camera.viewLeft = 40, view.camera.viewTop = 40, view.camera.viewWidth = 20;
  view.camera.viewHeight = 20, view.camera.cameraX = 100, view.camera.names = {"inside"};
  objEntry off = view;  // drawn above, but disabled: what it lists cannot be hit
  off.name = "off", off.order = 7, off.camera.enabled = false, off.camera.cameraX = 200, off.camera.names = {"hidden"};
  std::string main;
  for (auto [x, y] : std::vector<std::pair<int, int>>{{3, 4}, {12, 4}, {3, 24}, {12, 24}, {45, 45}, {105, 5}, {30, 30}}) {
    main += "Push \"\"\nPush " + std::to_string(y) + "\nPush " + std::to_string(x) +
            "\nCallSystemRoutine 39\nPop\nPop\nCallAppRoutine 1\nPop\n";
  }
  main += "Return\n";
  const int32_t id = LoadScreen({ButtonAt("shaped", 1, 0, 0, "Bin\\Maps\\half.mat"), ButtonAt("under", 1, 0, 20),
                                 glass, view, BoxAt("inside", 0, 100, 0, 16), off, BoxAt("hidden", 0, 200, 0, 16)},
                                main);
  ASSERT_NE(id, kNoId);
  // Region byte 0 is no hit; a TRANSPARENT region lets the button below through; a camera moves
  // the point into its scene; objects of a camera are never hit outside it.
  EXPECT_EQ(hits_, (texts{"", "SHAPED", "UNDER", "PANE", "INSIDE", "", ""}));

  // The pointer over the mat: named by its region; regions remembered.
  Move(12, 24);
  Update(id);
  Move(3, 24);
  Update(id);
  EXPECT_EQ(Heard(), (texts{"-5 PANE", "-6 PANE", "-5 UNDER"}));
  EXPECT_EQ(Object(id, 2).mat.regionIndex, 1);
}

TEST_F(ScriptEventsTest, TheTickEvery33MillisecondsReachesTheObjectsThatTakeIt) {
  int32_t animated = 0;
  ASSERT_TRUE(ScriptAppObjRoutineRegisterAnimate("AppAnimate", [&](const std::string& name) {
    EXPECT_EQ(name, "AGENTS");
    ++animated;
  }));
  objEntry hiddenButton = ButtonAt("hidden", 0, 0, 0);
  hiddenButton.button.visible = false;
  objEntry box = BoxAt("box", 0, 0, 0);
  box.color.enabled = false;  // a Color ticks while visible, enabled or not
  objEntry picture = ObjectHead(kObjImage, "pic", 0);
  picture.image.frames = FramesOf({{kPictureA}});
  picture.image.frame = 1, picture.image.visible = true, picture.image.alpha = 255;
  objEntry camera = ObjectHead(kObjCamera, "cam", 0);
  camera.camera.names = {"pic"};
  objEntry list = ObjectHead(kObjList, "lst", 0);
  list.list.kind = "VERTICAL", list.list.visible = true;  // not enabled
  objEntry water = ObjectHead(kObjAtex, "water", 0);
  water.atex.visible = true, water.atex.alpha = 255, water.atex.texture = kPictureA, water.atex.uvelocity = 1000;
  water.atex.vvelocity = -800;
  water.atex.triangles = {atexTriangle{0, 0, 0, 0, 0, 8, 0, 8, 16, 8, 16, 8}};
  objEntry agents = ObjectHead(kObjAppObj, "agents", 0);
  agents.appObj.visible = true, agents.appObj.enabled = true, agents.appObj.animateName = "appanimate";
  TestClock() = 0xFFFFFFE0u;  // the clock wraps between the ticks below
  const int32_t id = LoadScreen({ButtonAt("btn", 0, 0, 0), hiddenButton, box, picture, camera, list, water, agents});
  ASSERT_NE(id, kNoId);
  Move(60, 60);  // away from every object: only ticks are heard
  const int32_t model = Object(id, 6).atex.model;

  Update(id);  // the first update ticks at once
  EXPECT_EQ(Heard(true), (texts{"-1 BTN", "-1 BOX", "-1 PIC"}));
  EXPECT_EQ(animated, 1);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 0).u, -1000 * 0.033 / 16);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 0).v, 800 * 0.033 / 8);
  TestClock() += 33;
  Update(id);
  EXPECT_TRUE(Heard(true).empty()) << "33 ms is not past the next tick";
  TestClock() += 1;
  Update(id);
  EXPECT_EQ(Heard(true).size(), 3u);
  EXPECT_EQ(animated, 2);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 0).u, -2000 * 0.033 / 16);
}

TEST_F(ScriptEventsTest, ThePointerFollowsTheViewOfItsDisplay) {
  objEntry screen = ObjectHead(kObjDisplay, "screen", 0);
  screen.display = objDisplay{32, 32, kViewFill};
  objEntry arrow = ObjectHead(kObjPointer, "arrow", 9);
  arrow.pointer.frames = FramesOf({{kPictureB}});
  arrow.pointer.frame = 1, arrow.pointer.visible = true;
  const int32_t id = LoadScreen({screen, BoxAt("box", 1, 20, 10), arrow});
  ASSERT_NE(id, kNoId);
  const script& record = *ScriptFind(id);

  Move(41, 21);  // Fill: half the 64 x 64 window
  Update(id);
  EXPECT_EQ(std::make_pair(record.pointerX, record.pointerY), std::make_pair(20, 10));
  EXPECT_EQ(std::make_pair(Object(id, 2).pointer.frames.left, Object(id, 2).pointer.frames.top),
            std::make_pair(41, 21))
      << "the Pointer object sits at the window position";
  // BestFit of 32 x 16: scale 2, fitted 64 x 32, bars of 16 above and below.
  Object(id, 0).display = objDisplay{32, 16, kViewBestFit};
  Move(45, 39);
  Update(id);
  EXPECT_EQ(std::make_pair(record.pointerX, record.pointerY), std::make_pair(22, 11));
  Object(id, 0).display.viewMode = 2;  // window coordinates as they are
  Move(23, 12);
  Update(id);
  EXPECT_EQ(std::make_pair(record.pointerX, record.pointerY), std::make_pair(23, 12));
  EXPECT_EQ(Heard(), (texts{"-5 BOX", "-7 BOX", "-7 BOX"}));
}

}  // namespace

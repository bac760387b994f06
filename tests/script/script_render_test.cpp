// Drawing scripts on real offscreen displays: the fit of the Display object, the order walk,
// cameras, and what each kind puts on the screen, read back pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "script/script_fixture.h"
#include "state/state.h"

namespace {

using namespace tftest;

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFF0000FFu;

objEntry DisplayObject(int32_t width, int32_t height, int32_t mode, uint8_t display = 1) {
  objEntry d = ObjectHead(kObjDisplay, "screen", 0, display);
  d.display.width = width, d.display.height = height, d.display.viewMode = mode;
  return d;
}

objEntry Quad(const std::string& name, int32_t order, int32_t left, int32_t top, int32_t width, int32_t height,
              uint32_t colour, uint8_t display = 1) {
  objEntry c = ObjectHead(kObjColor, name, order, display);
  c.color.left = left, c.color.top = top, c.color.width = width, c.color.height = height;
  c.color.color = static_cast<int32_t>(colour & 0xFFFFFFu), c.color.alpha = 255, c.color.visible = true;
  return c;
}

objEntry Camera(const std::string& name, std::vector<std::string> names, int32_t left, int32_t top, int32_t width,
                int32_t height, uint8_t display = 1) {
  objEntry c = ObjectHead(kObjCamera, name, 50, display);
  c.camera.enabled = true, c.camera.names = std::move(names);
  c.camera.viewLeft = left, c.camera.viewTop = top, c.camera.viewWidth = width, c.camera.viewHeight = height;
  return c;
}

class ScriptRenderTest : public ScriptFixture {
 protected:
  // A one-colour picture under Bin\Art; its data name.
  std::string Picture(const std::string& name, int32_t width, int32_t height, uint32_t colour) {
    SavePicture(dir_ / ("Bin/Art/" + name), width, height, colour);
    return "Bin\\Art\\" + name;
  }
  int32_t LoadObjects(std::vector<objEntry> objects, const std::string& name = "test.vmc") {
    scriptFile file;
    file.objects = std::move(objects);
    const int32_t id = Load(file, name);
    EXPECT_NE(id, kNoId);
    return id;
  }
  objEntry& O(int32_t id, int32_t object) { return ScriptFind(id)->objects[static_cast<size_t>(object)]; }
  // Clears the display's frame, draws the script and reads the frame back.
  std::vector<uint32_t> Draw(int32_t id, int32_t display = 1, int32_t width = 64, int32_t height = 64) {
    GraphicsRenderBegin(display);
    GraphicsSetViewport(0, 0, width, height);
    ScriptRender(id, display);
    width_ = width, height_ = height;
    return ReadBack();
  }
  uint32_t At(const std::vector<uint32_t>& pixels, int32_t x, int32_t y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }
  // Whether the box from (left, top) to (right, bottom), inclusive, has the colour at its corners
  // and not just outside them.
  void ExpectBox(const std::vector<uint32_t>& pixels, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 uint32_t colour) const {
    EXPECT_EQ(At(pixels, left, top), colour) << left << "," << top;
    EXPECT_EQ(At(pixels, right, bottom), colour) << right << "," << bottom;
    if (left > 0) {
      EXPECT_NE(At(pixels, left - 1, top), colour) << left - 1 << "," << top;
    }
    if (top > 0) {
      EXPECT_NE(At(pixels, left, top - 1), colour) << left << "," << top - 1;
    }
    if (right + 1 < width_) {
      EXPECT_NE(At(pixels, right + 1, bottom), colour) << right + 1 << "," << bottom;
    }
    if (bottom + 1 < height_) {
      EXPECT_NE(At(pixels, right, bottom + 1), colour) << right << "," << bottom + 1;
    }
  }
};

TEST_F(ScriptRenderTest, FitsTheDisplayObjectToTheWindow) {
  // BestFit: 800 x 600 on 1600 x 900 scales by 1.5 to 1200 x 900 at (200, 0), bars beside it.
  const int32_t wide = Display(1600, 900);
  std::vector<std::pair<std::string, std::array<int32_t, 4>>> seen;
  ScriptAppRoutineRegisterRender("Probe", [&seen](int32_t, const std::string&) {
    std::array<int32_t, 4> box{};
    GraphicsGetViewport(box[0], box[1], box[2], box[3]);
    seen.emplace_back(GraphicsViewportLabel(), box);
  });
  objEntry probe = ObjectHead(kObjRender, "probe", 9, 2);
  probe.render.appRoutineName = "PROBE";
  const int32_t fit = LoadObjects({DisplayObject(800, 600, kViewBestFit, 2), Quad("all", 0, 0, 0, 800, 600, kWhite, 2),
                                   probe, Camera("cam", {"inner"}, 0, 0, 100, 100, 2),
                                   Quad("inner", 1, 0, 0, 800, 600, kRed, 2)});
  std::vector<uint32_t> pixels = Draw(fit, wide, 1600, 900);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, "ScriptRender - Display Object");
  EXPECT_EQ(seen[0].second, (std::array<int32_t, 4>{200, 0, 1200, 900}));
  EXPECT_EQ(GraphicsViewportLabel(), "Full Size");
  int32_t x = 0, y = 0, w = 0, h = 0;
  GraphicsGetViewport(x, y, w, h);
  EXPECT_EQ((std::array<int32_t, 4>{x, y, w, h}), (std::array<int32_t, 4>{0, 0, 1600, 900}));
  ExpectBox(pixels, 350, 0, 1399, 899, kWhite);
  EXPECT_EQ(At(pixels, 199, 450), kBlack);
  EXPECT_EQ(At(pixels, 200, 450), kWhite);
  // The camera's 100 x 100 view is scaled with the screen: 150 x 150 at the fitted top left.
  ExpectBox(pixels, 200, 0, 349, 149, kRed);

  // Fill stretches the logical space over the whole window.
  const int32_t fill = LoadObjects({DisplayObject(32, 32, kViewFill), Quad("q", 0, 0, 0, 16, 16, kGreen)}, "fill.vmc");
  pixels = Draw(fill);
  ExpectBox(pixels, 0, 0, 31, 31, kGreen);

  // No Display object for the display (or one without area): nothing at all is drawn.
  const int32_t other = LoadObjects({DisplayObject(64, 64, kViewFill, 2), Quad("q", 0, 0, 0, 64, 64, kWhite)}, "o.vmc");
  const int32_t empty = LoadObjects({DisplayObject(0, 64, kViewFill), Quad("q", 0, 0, 0, 64, 64, kWhite)}, "e.vmc");
  for (int32_t id : {other, empty}) {
    pixels = Draw(id);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), kBlack), 64 * 64) << id;
  }
}

TEST_F(ScriptRenderTest, DrawsInOrderAndClipsToCameras) {
  const int32_t id = LoadObjects({DisplayObject(64, 64, kViewFill), Quad("top", 2, 0, 0, 8, 8, kRed),
                                  Quad("under", 1, 0, 0, 8, 8, kGreen), Quad("first", 3, 8, 0, 8, 8, kGreen),
                                  Quad("second", 3, 8, 0, 8, 8, kBlue), Camera("cam", {"seen"}, 32, 32, 16, 16),
                                  Quad("seen", 0, 0, 0, 12, 12, kWhite), Camera("shut", {"hidden"}, 0, 16, 0, 16),
                                  Quad("hidden", 0, 0, 16, 8, 8, kWhite)});
  std::vector<uint32_t> pixels = Draw(id);
  EXPECT_EQ(At(pixels, 0, 0), kRed) << "the higher order is drawn later";
  EXPECT_EQ(At(pixels, 8, 0), kBlue) << "equal orders go in file order";
  // The camera's object appears only through the camera, inside its viewport.
  EXPECT_EQ(At(pixels, 10, 10), kBlack);
  ExpectBox(pixels, 32, 32, 43, 43, kWhite);
  EXPECT_EQ(At(pixels, 2, 18), kBlack) << "a camera without a view draws nothing";
  EXPECT_EQ(GraphicsViewportLabel(), "ScriptRenderObjectCamera - Camera Restore");

  // Scrolling the camera moves what it shows; its view stays clipped.
  O(id, 5).camera.cameraX = 4;
  O(id, 5).camera.cameraY = -8;
  pixels = Draw(id);
  ExpectBox(pixels, 32, 40, 39, 47, kWhite);
  EXPECT_EQ(At(pixels, 0, 0), kRed) << "the projection is restored after the camera";
}

TEST_F(ScriptRenderTest, ListCellsIconsAndTextModes) {
  objEntry list = ObjectHead(kObjList, "menu", 0);
  objList& l = list.list;
  l.kind = "VERTICAL", l.fontFile = kFont, l.color = 0xFF0000, l.colorSelected = 0x00FF00;
  l.frame = 1, l.frameSelected = 2, l.frameMouseOver = 9, l.cellCount = 5, l.visible = true;
  l.textOffsetX = 4, l.textMode = 0;
  l.cells = FramesOf({{Picture("cell.tga", 40, 10, 0xFF000080u)}, {Picture("sel.tga", 40, 10, 0xFF800000u)}});
  l.iconFrames = FramesOf({{Picture("icon.tga", 2, 2, kWhite)}});
  const int32_t id = LoadObjects({DisplayObject(64, 64, kViewFill), list});
  objList& live = O(id, 1).list;
  live.items = {ParameterText("AB"), ParameterText("CD"), ParameterText("EF")};
  live.icons = {ParameterInteger(-1), ParameterInteger(0), ParameterInteger(1)};
  live.clickedCell = 1;
  live.hoverCell = 3;

  std::vector<uint32_t> pixels = Draw(id);
  // Cell 0: the plain frame, red text centred in height (rows 1 to 7) from x 4, 10 wide.
  EXPECT_EQ(At(pixels, 0, 0), 0xFF000080u);
  EXPECT_EQ(At(pixels, 4, 1), kRed);
  EXPECT_EQ(At(pixels, 13, 7), kRed);
  EXPECT_EQ(At(pixels, 14, 4), 0xFF000080u);
  EXPECT_EQ(At(pixels, 4, 0), 0xFF000080u);
  // Cell 1 is the clicked item: the selected frame, green text, icon 0; item 2 has icon 1, which
  // does not exist.
  EXPECT_EQ(At(pixels, 20, 15), 0xFF800000u);
  EXPECT_EQ(At(pixels, 4, 11), kGreen);
  EXPECT_EQ(At(pixels, 0, 10), kWhite);
  EXPECT_EQ(At(pixels, 0, 20), 0xFF000080u);
  EXPECT_EQ(At(pixels, 4, 21), kRed);
  // Item 3 is hovered but its frame (9) does not exist: its cells are left out, and the list
  // draws nothing more.
  EXPECT_EQ(At(pixels, 20, 35), kBlack);
  EXPECT_EQ(At(pixels, 20, 45), kBlack);

  // More cells than items: the cells beyond the items have frames and no text.
  live.hoverCell = -1;
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 20, 35), 0xFF000080u);
  EXPECT_EQ(At(pixels, 4, 32), 0xFF000080u);
  EXPECT_EQ(At(pixels, 20, 45), 0xFF000080u);

  // The text modes, seen in cell 0 ("AB" is 10 wide, a line is 8 high in a 10 high cell).
  live.textWidth = 6;  // mode 0 and 2 stop before the first character that would pass it
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 8, 4), kRed);
  EXPECT_EQ(At(pixels, 9, 4), 0xFF000080u);
  live.textMode = 1, live.textWidth = 0;  // centred in the cell width less the offset
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 16, 4), 0xFF000080u);
  EXPECT_EQ(At(pixels, 17, 4), kRed);
  EXPECT_EQ(At(pixels, 26, 4), kRed);
  EXPECT_EQ(At(pixels, 27, 4), 0xFF000080u);
  live.textMode = 3;  // a block from the cell's top
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 4, 0), kRed);
  EXPECT_EQ(At(pixels, 4, 7), 0xFF000080u);
  live.textMode = 7;
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 4, 1), 0xFF000080u) << "an unknown mode draws no text";

  // HORIZONTAL places the cells side by side.
  live.kind = "HORIZONTAL";
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 40, 0), kWhite) << "the icon moves with its cell";
  EXPECT_EQ(At(pixels, 45, 0), 0xFF800000u);
  EXPECT_EQ(At(pixels, 20, 15), kBlack);
}

TEST_F(ScriptRenderTest, ButtonsLabelsAndSliders) {
  objEntry button = ObjectHead(kObjButton, "go", 0);
  button.button.frames = FramesOf({{Picture("button.tga", 40, 20, 0xFF000080u)}});
  button.button.frame = 1, button.button.visible = true, button.button.fontFile = kFont;
  button.button.text = "AB", button.button.color = 0x00FF00;
  objEntry label = ObjectHead(kObjLabel, "words", 0);
  label.label.left = 30, label.label.top = 24, label.label.fontFile = kFont, label.label.visible = true;
  label.label.color = 0x0000FF, label.label.alpha = 128, label.label.text = "AA BB CC DD";
  label.label.wrapWidth = 20, label.label.wrapHeight = 16, label.label.firstLine = 2, label.label.align = 2;
  objEntry slider = ObjectHead(kObjSlider, "volume", 0);
  slider.slider.rangeFrames = FramesOf({{kPictureA}});
  slider.slider.thumbFrames = FramesOf({{kPictureB}});
  slider.slider.rangeFrames.top = 56, slider.slider.frameRange = 1, slider.slider.frameSlider = 1;
  slider.slider.minValue = slider.slider.maxValue = slider.slider.value = 3, slider.slider.visible = true;
  const int32_t id = LoadObjects({DisplayObject(64, 64, kViewFill), button, label, slider});

  std::vector<uint32_t> pixels = Draw(id);
  // "AB" centred in the 40 x 20 button: x 15 to 24, y 6 to 12, opaque whatever the colour's top byte.
  ExpectBox(pixels, 15, 6, 24, 12, kGreen);
  // The label's lines are AA, BB, CC, DD; from line 2, two fit in 16: BB and CC, right-aligned in
  // 20 (x 40 to 49), half transparent blue.
  const uint32_t half = At(pixels, 40, 24);
  EXPECT_EQ(half & 0xFFFFFF00u, kBlack) << std::hex << half;
  EXPECT_NEAR(static_cast<int>(half & 0xFF), 128, 2);
  EXPECT_EQ(At(pixels, 49, 38), half);
  EXPECT_EQ(At(pixels, 39, 30), kBlack);
  EXPECT_EQ(At(pixels, 45, 41), kBlack) << "the third line is beyond wrapHeight";
  // The slider shows its range only while minValue equals maxValue.
  EXPECT_EQ(At(pixels, 2, 57), kRed);
  ASSERT_TRUE(ScriptObjectAttributeSet(*ScriptFind(id), 3, 5, 0, ParameterInteger(10)));
  pixels = Draw(id);
  EXPECT_EQ(At(pixels, 2, 57), kGreen);
  EXPECT_EQ(At(pixels, 10, 57), kRed);
}

TEST_F(ScriptRenderTest, PointerFadesWhenIdle) {
  // Without a current state the state clock reads 0, so times before it are set in the record.
  objEntry pointer = ObjectHead(kObjPointer, "mouse", 0);
  pointer.pointer.frames = FramesOf({{Picture("arrow.tga", 4, 4, kWhite)}});
  pointer.pointer.frame = 1, pointer.pointer.visible = true, pointer.pointer.fadeOnIdle = true;
  pointer.pointer.fadeDelay = 100, pointer.pointer.fadeDuration = 1000;
  const int32_t id = LoadObjects({DisplayObject(32, 32, kViewBestFit), pointer});
  objPointer& p = O(id, 1).pointer;
  ASSERT_EQ(StateGetTime(StateGetCurrent()), 0);

  EXPECT_EQ(At(Draw(id), 0, 0), kWhite) << "still within the delay";
  p.lastMoveTime = -600;  // 500 ms into the fade
  std::vector<uint32_t> pixels = Draw(id);
  EXPECT_EQ(p.fadeAlpha, 127);
  EXPECT_NEAR(static_cast<int>(At(pixels, 0, 0) & 0xFF), 127, 2);
  p.lastMoveTime = -5000;
  EXPECT_EQ(At(Draw(id), 0, 0), kBlack);
  EXPECT_EQ(p.fadeAlpha, 0);

  // A move makes it opaque and starts the delay again.
  ScriptFind(id)->pointerX = 7;
  EXPECT_EQ(At(Draw(id), 0, 0), kWhite);
  EXPECT_EQ(p.fadeAlpha, 255);
  EXPECT_EQ(p.lastX, 7);
  EXPECT_EQ(p.lastMoveTime, 0);
  EXPECT_EQ(GraphicsViewportLabel(), "Full Size");

  // A fade of no duration shows the pointer through the delay, then hides it at once.
  p.fadeDuration = 0;
  EXPECT_EQ(At(Draw(id), 0, 0), kWhite);
  p.lastMoveTime = -101;
  EXPECT_EQ(At(Draw(id), 0, 0), kBlack);
  EXPECT_EQ(p.fadeAlpha, 0);
}

}  // namespace

// Dialog bubbles on real OpenGL (SDL's offscreen driver): the bubble sets, the text layout with a
// block font, the option layout around an agent's head, the drawing kept on screen and the hit
// test. The agent is given as its dialog anchor, so no agents are needed.
#include "game/bubbles.h"

#include <GL/gl.h>

#include "core/log.h"
#include "data/data_file.h"
#include "game/agents.h"
#include "graphics/font.h"
#include "graphics/font_file.h"
#include "graphics/model.h"
#include "graphics/offscreen_video.h"
#include "image/image.h"

namespace {

using tftest::LE16;

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

// The interface font as blocks: ' '..'Z', every character 8 wide (advancing 7) and 10 high, all
// texels opaque white, so a character draws as a solid 7 x 9 block in the font's colour.
std::string BlockFont() {
  const uint8_t first = ' ', last = 'Z', width = 8, height = 10;
  const std::string name = "Blocks";
  const std::string body = name + '\0' + static_cast<char>(first) + static_cast<char>(last) + static_cast<char>(height);
  std::string bytes = std::string("\x01\x00", 2) + "FNT" + LE16(static_cast<uint32_t>(5 + body.size())) + body;
  const int32_t count = last - first + 1;
  std::vector<uint8_t> widths(static_cast<size_t>(count), width);
  std::vector<fontGlyphPlace> places(static_cast<size_t>(count));
  for (int32_t inPicture : FontFileLayout(widths.data(), count, height, places.data())) {
    std::string tail = std::string(1, '\0') + static_cast<char>(inPicture - 1) + std::string(static_cast<size_t>(inPicture), static_cast<char>(width));
    bytes += "IMG" + LE16(static_cast<uint32_t>(5 + 16384 + tail.size())) + std::string(16384, '\xFF') + tail;
  }
  return bytes;
}

// Fifteen two-letter words: 315 pixels with the appended blank, 2.5 times a width of 126.
const std::string kLongText = "ab cd ef gh ij kl mn op qr st uv wx yz ab cd";

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;

class Bubbles : public ::testing::Test, protected tftest::OffscreenCanvas {
 protected:
  void SetUp() override {
    if (!gVideo) GTEST_SKIP() << "no video device";
    tftest::UseProgramFolder(dir_);
    ASSERT_TRUE(tftest::WriteFile(dir_ / "Bin/Fonts/Military.fot", BlockFont()));
    tftest::MakeFolders(dir_ / "Bin/Images/");
    const char* const pieces[] = {"Top Left", "Top", "Top Right", "Left", "Center", "Right", "Bottom Left",
                                  "Bottom", "Bottom Right"};
    for (const char* piece : pieces) Picture(std::string("Bubble ") + piece, 64, 0xFFFFFFFFu);
    for (const char* piece : {"Tail Point Left", "Tail Point Left Top", "Tail Point Right", "Tail Point Right Top"}) {
      Picture(std::string("Bubble ") + piece, 64, 0xFFFF0000u);
    }
    Picture("Small Top Left", 2, 0xFFFFFFFFu);
    DataFileStart();
    FontStart();
    ModelStart();
    GraphicsStart();
    display_ = Display(1280, 720);
    ASSERT_TRUE(BubbleOpen(display_, 0, "Bin\\Images\\Bubble"));
  }
  void TearDown() override {
    if (!gVideo) return;
    DialogOptionsFree();
    BubblesFree();
    GraphicsEnd();
    ModelEnd();
    FontEnd();
    DataFileEnd();
    DestroyWindows();
  }

  void Picture(const std::string& name, int32_t side, uint32_t colour) {
    imageData image;
    image.width = image.height = side;
    image.pixels.assign(static_cast<size_t>(side) * side, colour);
    ImageSave(dir_ / ("Bin/Images/" + name + ".tga"), &image);
  }

  // Three options at an agent standing at (640, 400) facing the player: the head is at x 580 and
  // the vertical base at 440.
  void ThreeOptions() {
    DialogOptionsBegin("Ann", 0);
    DialogOptionsAdd(11, "yes");
    DialogOptionsAdd(12, "no");
    DialogOptionsAdd(13, kLongText);
    DialogOptions().maxWidth = 126;  // three lines for the long one
  }
  const dialogBubble& Bubble(size_t n) { return DialogOptions().bubbles.at(n); }

  uint32_t Pixel(const std::vector<uint32_t>& frame, int32_t x, int32_t y) {
    return frame[static_cast<size_t>(y) * width_ + x] & 0xFFFFFFu;
  }

  tftest::TempDir dir_;
  int32_t display_ = kNoId;
};

TEST_F(Bubbles, SetsTakeTheirCellFromTheTopLeftPicture) {
  int32_t w = 0, h = 0;
  EXPECT_TRUE(BubbleCellSize(0, w, h));
  EXPECT_EQ(w, 31);
  EXPECT_EQ(h, 31);

  tftest::LogCapture log;
  EXPECT_TRUE(BubbleOpen(display_, 2, "Bin\\Images\\Small"));
  EXPECT_TRUE(log.Contains("BubbleOpen - Invalid bubble width for \"Bin\\Images\\Small\"."));
  EXPECT_TRUE(log.Contains("BubbleOpen - Invalid bubble height for \"Bin\\Images\\Small\"."));
  EXPECT_TRUE(BubbleCellSize(2, w, h));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_FALSE(BubbleCellSize(1, w, h)) << "the list grew with an empty set";
  EXPECT_FALSE(BubbleOpen(display_, 256, "Bin\\Images\\Bubble")) << "types are bytes";

  // A picture already loaded under its file name is shared.
  EXPECT_TRUE(BubbleOpen(display_, 3, "Bin\\Images\\Bubble"));
  EXPECT_EQ(BubblePieceTexture(3, kBubbleCenter), BubblePieceTexture(0, kBubbleCenter));

  dialogBubble bubble;
  EXPECT_FALSE(BubbleBuildCalc("yes", 1, true, bubble, 0));
  EXPECT_TRUE(log.Contains("BubbleBuildCalc - Invlaid bubble dimensions 0x0.  Dialog not run."));
  EXPECT_FALSE(BubbleBuildCalc("yes", 7, true, bubble, 0));
  EXPECT_TRUE(log.Contains("BubbleBuildCalc - Invalid bubble type \"7\".  Dialog not run."));

  // A set without a valid picture set lays nothing out, but the others still get their places.
  DialogOptionsBegin("Ann", 1);
  DialogOptionsAdd(1, "yes");
  DialogOptionsAdd(2, "no");
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_TRUE(Bubble(0).lines.empty());
  EXPECT_EQ(Bubble(1).mesh, kNoId);

  // Freed bubbles leave the set's pictures alive for the next option set.
  ThreeOptions();
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  DialogOptionsBegin("Ann", 0);
  EXPECT_TRUE(TextureExists(BubblePieceTexture(0, kBubbleTopLeft)));
  BubblesFree();
  EXPECT_FALSE(TextureExists(BubblePieceTexture(0, kBubbleTopLeft)));
}

TEST_F(Bubbles, TextSpreadsOverLinesOfAboutEqualWidth) {
  dialogBubble bubble;
  ASSERT_TRUE(BubbleBuildCalc("yes", 0, true, bubble, 0));
  ASSERT_EQ(bubble.lines.size(), 1u);
  EXPECT_EQ(bubble.lines[0].text, "YES");
  EXPECT_EQ(bubble.columns, 1);  // 21 pixels in cells of 31
  EXPECT_EQ(bubble.rows, 1);     // one line of 12
  EXPECT_EQ(bubble.width, 93);
  EXPECT_EQ(bubble.height, 31);
  EXPECT_EQ(bubble.lines[0].x, 36);  // (31 - 21) / 2 + 31
  EXPECT_EQ(bubble.lines[0].y, 9);   // (31 - 12) / 2
  EXPECT_EQ(bubble.tailY, 0);

  ASSERT_TRUE(BubbleBuildCalc(kLongText, 0, true, bubble, 126));
  ASSERT_EQ(bubble.lines.size(), 3u);
  EXPECT_EQ(bubble.lines[0].text, "AB CD EF GH IJ");
  EXPECT_EQ(bubble.lines[1].text, "KL MN OP QR ST");
  EXPECT_EQ(bubble.lines[2].text, "UV WX YZ AB CD");
  EXPECT_EQ(bubble.columns, 4);  // 98 pixels
  EXPECT_EQ(bubble.rows, 2);     // 36 pixels
  EXPECT_EQ(bubble.width, 186);
  EXPECT_EQ(bubble.height, 62);
  EXPECT_EQ(bubble.tailY, 31);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bubble.lines[i].x, 44);                              // (124 - 98) / 2 + 31
    EXPECT_EQ(bubble.lines[i].y, 13 + 12 * static_cast<int>(i));  // (62 - 36) / 2 + line
  }

  // The default width is 400: the same text fits on one line.
  ASSERT_TRUE(BubbleBuildCalc(kLongText, 0, true, bubble, 0));
  EXPECT_EQ(bubble.lines.size(), 1u);
}

TEST_F(Bubbles, OptionsAreLaidOutAroundTheHead) {
  ThreeOptions();
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  // Room for four bubbles of 186 x 62 in two columns and two rows, centred on (580, 440).
  EXPECT_EQ(Bubble(0).x, 364);
  EXPECT_EQ(Bubble(0).y, 358);
  EXPECT_EQ(Bubble(1).x, 610);
  EXPECT_EQ(Bubble(1).y, 358);
  EXPECT_EQ(Bubble(2).x, 364);
  EXPECT_EQ(Bubble(2).y, 460);
  EXPECT_EQ(Bubble(0).width, 186);
  EXPECT_EQ(Bubble(0).height, 62);
  EXPECT_EQ(Bubble(0).columns, 4);
  EXPECT_EQ(Bubble(0).lines[0].x, 82) << "centred in the widest bubble";
  EXPECT_EQ(Bubble(0).lines[0].y, 24);

  // Tails point at the head: above it from below, the left bubble's at its right end.
  EXPECT_EQ(Bubble(0).tailX, 123);  // 186 - 31 - 32
  EXPECT_EQ(Bubble(0).tailY, 31);
  EXPECT_EQ(Bubble(0).tailPicture, BubblePieceTexture(0, kBubbleTailPointRight));
  EXPECT_EQ(Bubble(1).tailX, 32);
  EXPECT_EQ(Bubble(1).tailPicture, BubblePieceTexture(0, kBubbleTailPointLeft));
  EXPECT_EQ(Bubble(2).tailY, -31);
  EXPECT_EQ(Bubble(2).tailPicture, BubblePieceTexture(0, kBubbleTailPointRightTop));

  // Six slices (no inner rows) and the tail; the top edge repeats once per cell.
  const int32_t mesh = Bubble(0).mesh;
  ASSERT_EQ(ModelGetVertexCount(mesh), 28);
  EXPECT_EQ(ModelGetVertex(mesh, 4).x, 31.0f);
  EXPECT_EQ(ModelGetVertex(mesh, 7).x, 155.0f);
  EXPECT_EQ(ModelGetVertex(mesh, 7).y, 31.0f);
  EXPECT_EQ(ModelGetVertex(mesh, 7).z, -5.0f);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(mesh, 4).u, 1.0f / 64);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(mesh, 7).u, 4.0f - 1.0f / 64);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(mesh, 7).v, 1.0f - 1.0f / 64);
  EXPECT_EQ(ModelGetVertex(mesh, 24).x, 123.0f) << "the tail quad";
  EXPECT_EQ(ModelGetVertex(mesh, 27).y, 93.0f);

  // Alignment 1 starts right of and below the head, 2 left of and above it.
  ThreeOptions();
  DialogOptions().alignHorizontal = 1;
  DialogOptions().alignVertical = 1;
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_EQ(Bubble(0).x, 640);
  EXPECT_EQ(Bubble(0).y, 480);
  DialogOptions().alignHorizontal = 2;
  DialogOptions().alignVertical = 2;
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_EQ(Bubble(0).x, 334);  // 580 - 60 - 186
  EXPECT_EQ(Bubble(0).y, 338);  // 440 - 40 - 62
  EXPECT_EQ(Bubble(1).x, 580);

  // Facing away, scaled and with an anchor offset: the head lies on the other side.
  ThreeOptions();
  agentDialogAnchor turned{640, 400};
  turned.direction = 2;
  turned.scale = 2.0f;
  turned.offsetX = 10;
  turned.offsetY = 5;
  DialogOptionsLayout(turned);
  EXPECT_EQ(Bubble(0).x, 564);  // head 640 + 140, less half of 432
  EXPECT_EQ(Bubble(0).y, 408);  // base 400 + 90, less half of 164
  EXPECT_EQ(Bubble(1).tailX, 64) << "the inset scales";

  // Forced tails, one column, no tails.
  ThreeOptions();
  DialogOptions().tailVertical = 2;
  DialogOptions().tailHorizontal = 1;
  DialogOptions().tailInset = 10;
  DialogOptions().tailDirection = 1;
  DialogOptions().columns = 1;
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_EQ(Bubble(0).tailX, 10);
  EXPECT_EQ(Bubble(0).tailY, -31);
  EXPECT_EQ(Bubble(0).tailPicture, BubblePieceTexture(0, kBubbleTailPointLeftTop));
  EXPECT_EQ(Bubble(1).x, Bubble(0).x);
  EXPECT_EQ(Bubble(1).y, Bubble(0).y + 102);
  DialogOptions().tailsShown = false;
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_EQ(ModelGetVertexCount(Bubble(0).mesh), 24);
  EXPECT_EQ(Bubble(0).tailPicture, kNoId);
}

TEST_F(Bubbles, BubblesStayOnScreenAndAreHit) {
  // One bubble near the left edge: its head at 100 puts it at x -23, its tail 30 further right.
  DialogOptionsBegin("Ann", 0);
  DialogOptionsAdd(5, "yes");
  DialogOptionsLayout(agentDialogAnchor{160, 400});
  ASSERT_EQ(Bubble(0).x, -23);
  ASSERT_EQ(Bubble(0).y, 389);
  ASSERT_EQ(Bubble(0).tailX, 30);

  Frame();
  DialogOptionsRender(0, 0);
  EXPECT_EQ(Bubble(0).x, 0);
  EXPECT_EQ(Bubble(0).tailX, 7) << "the tail points at the same screen x";
  const std::vector<uint32_t> frame = ReadBack();
  EXPECT_EQ(Pixel(frame, 0, 395), kWhite) << "the body starts at the edge";
  EXPECT_EQ(Pixel(frame, 92, 395), kWhite);
  EXPECT_EQ(Pixel(frame, 93, 395), 0u);
  EXPECT_EQ(Pixel(frame, 10, 440), kRed) << "the tail hangs below the body at 7..37";
  EXPECT_EQ(Pixel(frame, 37, 440), kRed);
  EXPECT_EQ(Pixel(frame, 5, 440), 0u);
  EXPECT_EQ(Pixel(frame, 50, 440), 0u);
  EXPECT_EQ(Pixel(frame, 38, 402), 0u) << "the text in black at (36, 398)";
  EXPECT_EQ(Pixel(frame, 70, 402), kWhite);

  // A camera offset shifts the drawing, the clamping and the hit test.
  ThreeOptions();
  DialogOptionsLayout(agentDialogAnchor{640, 400});
  EXPECT_TRUE(DialogOptionsHit(370, 360, 0, 0));
  EXPECT_EQ(DialogOptionsSelectedId(), 11);
  EXPECT_TRUE(DialogOptionsHit(610 + 185, 358 + 61, 0, 0));
  EXPECT_EQ(DialogOptionsSelectedId(), 12);
  EXPECT_FALSE(DialogOptionsHit(600, 360, 0, 0)) << "between the bubbles";
  EXPECT_EQ(DialogOptionsSelectedId(), 0);
  EXPECT_TRUE(DialogOptionsHit(465, 511, 100, 50));
  EXPECT_EQ(DialogOptionsSelectedId(), 13);
  EXPECT_FALSE(DialogOptionsHit(364, 460, 100, 50));

  Frame();
  DialogOptionsRender(0, 200);
  EXPECT_EQ(Bubble(2).y, 720 - 62 - 200) << "kept above the bottom";
  EXPECT_EQ(Pixel(ReadBack(), 370, 719), kWhite);
}

}  // namespace

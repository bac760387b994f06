// Fonts on real OpenGL through SDL's offscreen video driver: opening, measuring, wrapping, line
// and block drawing read back from the frame, and the texture rebuild after a context re-creation.
#include "graphics/font.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "data/data_file.h"
#include "graphics/font_file.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"
#include "image/image.h"
#include "platform/platform.h"
#include "graphics/offscreen_video.h"
#include "support/test_support.h"

namespace {

using tftest::LE16;

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string Header(const std::string& name, uint8_t first, uint8_t last, uint8_t height) {
  const std::string body = name + '\0' + static_cast<char>(first) + static_cast<char>(last) + static_cast<char>(height);
  return std::string("\x01\x00", 2) + "FNT" + LE16(static_cast<uint32_t>(5 + body.size())) + body;
}

// A picture chunk holding `widths.size()` characters; every texel is opaque white, so each glyph
// draws as a solid (width - 1) x (height - 1) block in the font's colour.
std::string Picture(const std::vector<uint8_t>& widths) {
  std::string tail = std::string(1, '\0') + static_cast<char>(widths.size() - 1);
  for (uint8_t w : widths) tail += static_cast<char>(w);
  return "IMG" + LE16(static_cast<uint32_t>(5 + 16384 + tail.size())) + std::string(16384, '\xFF') + tail;
}

// A block font: characters first..last, all of width `width`, laid out as the packing rule puts
// them, in as many pictures as that takes.
std::string BlockFont(const std::string& name, uint8_t first, uint8_t last, uint8_t width, uint8_t height) {
  const int32_t count = last - first + 1;
  std::vector<uint8_t> widths(static_cast<size_t>(count), width);
  std::vector<fontGlyphPlace> places(static_cast<size_t>(count));
  std::string bytes = Header(name, first, last, height);
  size_t done = 0;
  for (int32_t inPicture : FontFileLayout(widths.data(), count, height, places.data())) {
    bytes += Picture(std::vector<uint8_t>(widths.begin() + static_cast<std::ptrdiff_t>(done),
                                          widths.begin() + static_cast<std::ptrdiff_t>(done) + inPicture));
    done += static_cast<size_t>(inPicture);
  }
  return bytes;
}

class FontTest : public ::testing::Test, protected tftest::OffscreenCanvas {
 protected:
  void SetUp() override {
    if (!gVideo) GTEST_SKIP() << "no video device";
    tftest::UseProgramFolder(dir_);
    DataFileStart();
    FontStart();
    ModelStart();
    GraphicsStart();
  }
  void TearDown() override {
    if (!gVideo) return;
    GraphicsEnd();
    ModelEnd();
    FontEnd();
    DataFileEnd();
    DestroyWindows();
  }

  // The frame as 0xRRGGBB, row 0 at the top.
  std::vector<uint32_t> ReadBack() {
    std::vector<uint32_t> frame = OffscreenCanvas::ReadBack();
    for (uint32_t& pixel : frame) pixel &= 0x00FFFFFFu;
    return frame;
  }

  // The box around every pixel that is not black: left, top, right, bottom (inclusive); left -1
  // when the frame is empty.
  struct box {
    int32_t left = -1, top = -1, right = -1, bottom = -1;
    int32_t lit = 0;
  };
  box Lit() {
    const std::vector<uint32_t> frame = ReadBack();
    box b;
    for (int32_t y = 0; y < height_; ++y) {
      for (int32_t x = 0; x < width_; ++x) {
        if (frame[static_cast<size_t>(y) * width_ + x] == 0) continue;
        if (b.lit++ == 0) {
          b.left = b.right = x;
          b.top = b.bottom = y;
        }
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
    }
    return b;
  }

  // Writes the bytes under the program folder and returns the data-layer name.
  std::string Put(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(tftest::WriteFile(dir_ / ("Bin/Fonts/" + name), bytes));
    return "Bin\\Fonts\\" + name;
  }

  bool Logged(const std::string& line) {
    return tftest::ReadFile(LogGetFilePath()).find("Error: " + line + "\r\n") != std::string::npos;
  }

  tftest::TempDir dir_;
};

// Block font: ' '..'Z', width 8 (advance 7), height 10.
constexpr uint8_t kWidth = 8;
constexpr uint8_t kHeight = 10;

// ---------------------------------------------------------------------------------------------

TEST_F(FontTest, FontOpenMakesOneGlyphPerCharacterOnOneTiledTexture) {
  const int32_t display = Display(64, 64);
  const std::string file = Put("blocks.fot", BlockFont("Blocks", ' ', 'Z', kWidth, kHeight));
  const int32_t font = FontOpen(display, file);
  ASSERT_EQ(font, 1);
  EXPECT_EQ(FontGetHeight(font), kHeight);
  EXPECT_EQ(FontFindByName(display, "bLoCkS"), font);
  EXPECT_EQ(FontFindByFile(display, "BIN\\FONTS\\BLOCKS.FOT"), font);
  EXPECT_EQ(FontGetColor(font), 0xFF000000u);
  // 59 characters at 7 a row and 6 rows a picture: two pictures, two 64 x 64 tiles.
  const int32_t texture = TextureFind(display, file);
  ASSERT_NE(texture, 0);
  const auto tiles = TextureGetTiles(texture);
  ASSERT_EQ(tiles.size(), 2u);
  for (const textureTile& tile : tiles) EXPECT_NE(tile.name, 0u);
  int32_t columns = -1, rows = -1, tileWidth = 0, tileHeight = 0;
  TextureGetLayout(texture, columns, rows, tileWidth, tileHeight);
  EXPECT_EQ(tileWidth, 64);
  EXPECT_EQ(tileHeight, 64);
  EXPECT_EQ(TextureGetReferences(texture), 59);

  // The same file again, in any letter case, is the same font and no second texture.
  EXPECT_EQ(FontOpen(display, "bin\\fonts\\BLOCKS.fot"), font);
  EXPECT_EQ(TextureGetTiles(texture).size(), 2u);
  EXPECT_EQ(TextureGetReferences(texture), 59);
  // Another display gets a font of its own, with a new id.
  const int32_t other = Display(64, 64);
  const int32_t second = FontOpen(other, file);
  EXPECT_EQ(second, 2);
  EXPECT_NE(TextureFind(other, file), texture);
  EXPECT_EQ(FontOpen(999, file), 0);

  // Deleting frees the glyphs and the texture; ids are not handed out again.
  FontDelete(font);
  EXPECT_FALSE(TextureExists(texture));
  EXPECT_EQ(FontGetHeight(font), 0);
  EXPECT_EQ(FontFindByFile(display, file), 0);
  FontDelete(font);
  EXPECT_EQ(FontOpen(display, file), 3);
  // Closing a display frees its fonts.
  GraphicsDisplayClose(other);
  EXPECT_EQ(FontGetHeight(second), 0);
  EXPECT_EQ(FontGetHeight(3), kHeight);
}

TEST_F(FontTest, FontFindSearchesEveryDisplayAfterDeletions) {
  const int32_t a = Display(32, 32);
  const int32_t b = Display(32, 32);
  std::vector<int32_t> ids;
  for (int i = 0; i < 8; ++i) {
    const int32_t display = i % 3 == 0 ? b : a;
    ids.push_back(FontOpen(display, Put("f" + std::to_string(i) + ".fot", BlockFont("F" + std::to_string(i), 'A', 'C', 5, 6))));
    ASSERT_EQ(ids.back(), i + 1);
  }
  FontDelete(ids[1]);
  FontDelete(ids[4]);
  for (int i = 0; i < 8; ++i) {
    int32_t displayIndex = 0, fontIndex = 0;
    FontFind(ids[static_cast<size_t>(i)], displayIndex, fontIndex);
    if (i == 1 || i == 4) {
      EXPECT_EQ(displayIndex, -1);
      EXPECT_EQ(fontIndex, -1);
      continue;
    }
    EXPECT_EQ(displayIndex, i % 3 == 0 ? 1 : 0) << i;
    ASSERT_GE(fontIndex, 0) << i;
    EXPECT_EQ(FontFindByName(i % 3 == 0 ? b : a, "F" + std::to_string(i)), ids[static_cast<size_t>(i)]);
  }
  int32_t displayIndex = 0, fontIndex = 0;
  FontFind(99, displayIndex, fontIndex);
  EXPECT_EQ(displayIndex, -1);
  FontFind(0, displayIndex, fontIndex);
  EXPECT_EQ(fontIndex, -1);
}

TEST_F(FontTest, FontOpenRefusesBrokenFilesWithTheirMessages) {
  const int32_t display = Display(32, 32);
  const std::string empty = Put("empty.fot", Header("Empty", 66, 65, 10) + Picture({8}));
  EXPECT_EQ(FontOpen(display, empty), 0);
  EXPECT_TRUE(Logged("FontOpen - No character widths defined in font \"" + empty + "\""));
  EXPECT_EQ(FontOpen(display, "Bin\\Fonts\\missing.fot"), 0);
  EXPECT_TRUE(Logged("FontOpen - Unable to load font \"Bin\\Fonts\\missing.fot\"."));
  // A broken picture chunk leaves no half-built font and no texture behind.
  std::string truncated = BlockFont("Cut", 'A', 'Z', 8, 10);
  truncated.resize(truncated.size() - 100);
  const std::string cut = Put("cut.fot", truncated);
  EXPECT_EQ(FontOpen(display, cut), 0);
  EXPECT_EQ(FontFindByName(display, "Cut"), 0);
  EXPECT_EQ(TextureFind(display, cut), 0);
  // Ids taken by failed opens are not reused either, and a good file still opens.
  EXPECT_GT(FontOpen(display, Put("ok.fot", BlockFont("Ok", 'A', 'B', 8, 10))), 0);
}

TEST_F(FontTest, FontTextWidthCountsOnlyCharactersTheFileSupplied) {
  const int32_t display = Display(32, 32);
  const int32_t font = FontOpen(display, Put("blocks.fot", BlockFont("Blocks", ' ', 'Z', kWidth, kHeight)));
  EXPECT_EQ(FontTextWidth(font, "ABCDE"), 35);
  EXPECT_EQ(FontTextWidth(font, "AB\x1F" "abc~\xFF" "C"), 21);  // only A, B and C are in the set
  EXPECT_EQ(FontTextWidth(font, ""), 0);
  EXPECT_EQ(FontTextWidth(999, "ABC"), 0);

  // Header range 'A'..'Z', but the only picture supplies 'A'..'E': the rest is absent.
  const std::string shortFile = Put("short.fot", Header("Short", 'A', 'Z', 10) + Picture({8, 8, 8, 8, 8}));
  const int32_t few = FontOpen(display, shortFile);
  ASSERT_NE(few, 0);
  EXPECT_EQ(FontTextWidth(few, "ABCDEFGZ"), 35);
  EXPECT_EQ(TextureGetReferences(TextureFind(display, shortFile)), 5);

  // Range 250..255 while the pictures bring 40 characters: six glyphs and nothing past slot 255.
  const std::string longFile = Put("long.fot", Header("Long", 250, 255, 10) + Picture(std::vector<uint8_t>(20, 6)) +
                                                   Picture(std::vector<uint8_t>(20, 6)));
  const int32_t many = FontOpen(display, longFile);
  ASSERT_NE(many, 0);
  EXPECT_EQ(FontTextWidth(many, "\xFA\xFB\xFC\xFD\xFE\xFF"), 30);
  const int32_t texture = TextureFind(display, longFile);
  EXPECT_EQ(TextureGetReferences(texture), 6);
  EXPECT_EQ(TextureGetTiles(texture).size(), 2u);  // every picture chunk is a tile
}

TEST_F(FontTest, FontDrawTextStopsBeforeTheWidthLimit) {
  const int32_t display = Display(200, 40);
  const int32_t font = FontOpen(display, Put("blocks.fot", BlockFont("Blocks", ' ', 'Z', kWidth, kHeight)));
  FontSetColor(font, 0xFFFFFFFF);
  EXPECT_EQ(FontGetColor(font), 0xFFFFFFFFu);

  // Limit 20: pen 0 and 7, and 14 + 7 = 21 passes it.
  FontDrawText(font, 10, 5, 20, "ABCDE");
  box b = Lit();
  EXPECT_EQ(b.left, 10);
  EXPECT_EQ(b.right, 10 + 14 - 1);
  EXPECT_EQ(b.top, 5);
  EXPECT_EQ(b.bottom, 5 + kHeight - 2);
  EXPECT_EQ(b.lit, 14 * (kHeight - 1));

  // A text 2.5 times the limit: ten characters fit a limit of 70 exactly.
  Frame();
  const std::string text(25, 'M');
  FontDrawText(font, 0, 20, 70, text);
  b = Lit();
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.right, 69);
  EXPECT_EQ(b.lit, 70 * (kHeight - 1));
  // Without a limit all 25 are drawn; characters outside the set take no room.
  Frame();
  FontDrawText(font, 0, 20, 0, "a" + text + "~");
  b = Lit();
  EXPECT_EQ(b.left, 0);
  EXPECT_EQ(b.right, 25 * 7 - 1);
  // The colour reaches every glyph: red text reads back red.
  Frame();
  FontSetColor(font, 0xFFFF0000);
  FontDrawText(font, 0, 0, 0, "A");
  EXPECT_EQ(ReadBack()[0], 0xFF0000u);
  // Unknown fonts draw nothing.
  Frame();
  FontDrawText(999, 0, 0, 0, "ABC");
  EXPECT_EQ(Lit().lit, 0);
}

TEST_F(FontTest, FontWrapTextBreaksLinesAndWords) {
  const int32_t display = Display(32, 32);
  const int32_t font = FontOpen(display, Put("blocks.fot", BlockFont("Blocks", ' ', 'Z', kWidth, kHeight)));
  using lines = std::vector<std::string>;
  // CR, LF and CR LF all end a line; an empty line between two breaks is kept.
  EXPECT_EQ(FontWrapText(font, 200, "A\r\rB"), (lines{"A", "", "B"}));
  EXPECT_EQ(FontWrapText(font, 200, "A\n\nB"), (lines{"A", "", "B"}));
  EXPECT_EQ(FontWrapText(font, 200, "A\r\n\r\nB"), (lines{"A", "", "B"}));
  EXPECT_EQ(FontWrapText(font, 200, "AB CD\r\nEF\nGH\rIJ"), (lines{"AB CD", "EF", "GH", "IJ"}));
  EXPECT_EQ(FontWrapText(font, 200, "\rA"), (lines{"", "A"}));
  EXPECT_EQ(FontWrapText(font, 200, ""), lines{});

  // Width 50: a line must stay below it. "AAA BBB" = 21 + 7 + 21 = 49 fits; a fourth letter not.
  EXPECT_EQ(FontWrapText(font, 50, "AAA BBB CCC"), (lines{"AAA BBB", "CCC"}));
  EXPECT_EQ(FontWrapText(font, 49, "AAA BBB CCC"), (lines{"AAA", "BBB", "CCC"}));
  // A word wider than the width gets a line of its own.
  EXPECT_EQ(FontWrapText(font, 30, "AB ABCDEFGHIJ CD"), (lines{"AB", "ABCDEFGHIJ", "CD"}));
  EXPECT_EQ(FontWrapText(font, 30, "ABCDEFGHIJ"), (lines{"ABCDEFGHIJ"}));
  // A word that ends the line and does not fit goes below the words before it.
  EXPECT_EQ(FontWrapText(font, 50, "AAA BBB CC\rD"), (lines{"AAA BBB", "CC", "D"}));

  // Blanks that open a line are kept, those between words are single delimiters.
  EXPECT_EQ(FontWrapText(font, 200, "  AB CD\r   EF"), (lines{"  AB CD", "   EF"}));
  EXPECT_EQ(FontWrapText(font, 200, "AB\r\n  CD"), (lines{"AB", "  CD"}));
  EXPECT_EQ(FontWrapText(font, 200, "   "), (lines{"   "}));
  EXPECT_EQ(FontWrapText(font, 200, "  \rAB"), (lines{"  ", "AB"}));
  // A blank before a break does not move the break ahead of the line's words.
  EXPECT_EQ(FontWrapText(font, 200, "AB \rCD"), (lines{"AB", "CD"}));
  EXPECT_EQ(FontWrapText(font, 200, "AB  \r\rCD "), (lines{"AB ", "", "CD"}));
  // Three 7-wide blanks and "AB" need 35; at width 30 the word moves to a line of its own.
  EXPECT_EQ(FontWrapText(font, 30, "   AB"), (lines{"   ", "AB"}));
  EXPECT_EQ(FontWrapText(999, 100, "AB"), lines{});
}

TEST_F(FontTest, FontDrawLinesAlignsAndLimitsHeight) {
  const int32_t display = Display(200, 100);
  const int32_t font = FontOpen(display, Put("blocks.fot", BlockFont("Blocks", ' ', 'Z', kWidth, kHeight)));
  FontSetColor(font, 0xFFFFFFFF);
  const std::vector<std::string> lines{"AAAA", "BB", "CCC"};  // widths 28, 14, 21

  // Centred within 101: (101 - 28) / 2 = 36 (rounded toward zero), then 43 and 40.
  auto leftOfRow = [&](int32_t y) {
    const std::vector<uint32_t> frame = ReadBack();
    for (int32_t x = 0; x < width_; ++x) {
      if (frame[static_cast<size_t>(y) * width_ + x] != 0) return x;
    }
    return -1;
  };
  FontDrawLines(font, 5, 0, kFontAlignCentre, 0, 101, 1, lines);
  EXPECT_EQ(leftOfRow(0), 5 + 36);
  EXPECT_EQ(leftOfRow(kHeight), 5 + 43);
  EXPECT_EQ(leftOfRow(2 * kHeight), 5 + 40);
  EXPECT_EQ(Lit().bottom, 3 * kHeight - 2);
  Frame();
  FontDrawLines(font, 5, 0, kFontAlignRight, 0, 101, 1, lines);
  EXPECT_EQ(leftOfRow(0), 5 + 101 - 28);
  EXPECT_EQ(leftOfRow(kHeight), 5 + 101 - 14);
  Frame();
  FontDrawLines(font, 5, 0, 7, 0, 101, 1, lines);  // anything else aligns left
  EXPECT_EQ(leftOfRow(0), 5);
  EXPECT_EQ(leftOfRow(2 * kHeight), 5);

  // A height limit of one line draws exactly one line; of two and a half, two.
  Frame();
  FontDrawLines(font, 0, 0, kFontAlignLeft, kHeight, 100, 1, lines);
  box b = Lit();
  EXPECT_EQ(b.bottom, kHeight - 2);
  EXPECT_EQ(b.right, 27);
  Frame();
  FontDrawLines(font, 0, 0, kFontAlignLeft, kHeight * 5 / 2, 100, 1, lines);
  EXPECT_EQ(Lit().bottom, 2 * kHeight - 2);

  // Starting at line 2 draws "BB" first, at y.
  Frame();
  FontDrawLines(font, 0, 50, kFontAlignLeft, 0, 100, 2, lines);
  b = Lit();
  EXPECT_EQ(b.top, 50);
  EXPECT_EQ(leftOfRow(50), 0);
  EXPECT_EQ(b.bottom, 50 + 2 * kHeight - 2);
  EXPECT_EQ(b.lit, (14 + 21) * (kHeight - 1));
  // Past the last line nothing is drawn.
  Frame();
  FontDrawLines(font, 0, 0, kFontAlignLeft, 0, 100, 4, lines);
  EXPECT_EQ(Lit().lit, 0);

  // Wrapped drawing: "AAA BBB CCC" at width 50 is two lines.
  Frame();
  FontDrawWrapped(font, 0, 0, 50, "AAA BBB CCC");
  b = Lit();
  EXPECT_EQ(b.right, 48);
  EXPECT_EQ(b.bottom, 2 * kHeight - 2);
}

TEST_F(FontTest, FontRebuildReportsEachBrokenStepAndDeletesTheFont) {
  const int32_t display = Display(32, 32);
  const std::string header = Header("Re", 'A', 'C', 10);
  const std::string good = header + Picture({8, 8, 8});
  const std::string pixels(16384, '\xFF');
  struct brokenCase {
    std::string bytes;
    std::string message;
  };
  const std::vector<brokenCase> cases{
      {header, "Could not read chunk ID"},
      {header + "IMX" + LE16(16394) + pixels, "Invalid chunk ID encountered"},
      {header + "IMG\x01", "Could not read chunk size"},
      {header + "IMG" + LE16(16394) + pixels.substr(0, 9000), "Could not read pixel data"},
      // The chunk claims 2000 bytes after its picture; the file has 1000 of them.
      {header + "IMG" + LE16(5 + 16384 + 2000) + pixels + std::string(1000, '\0'), "Could not read to end of image data"},
      // 600 claimed, 5 there.
      {header + "IMG" + LE16(5 + 16384 + 600) + pixels + std::string(5, '\0'), "Could not read to end of chunk"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].message);
    const std::string file = Put("re" + std::to_string(i) + ".fot", good);
    const int32_t font = FontOpen(display, file);
    ASSERT_NE(font, 0);
    const int32_t texture = TextureFind(display, file);
    ASSERT_TRUE(tftest::WriteFile(dir_ / ("Bin/Fonts/re" + std::to_string(i) + ".fot"), cases[i].bytes));
    ModelAssetsRelease();
    ModelAssetsRecompile();
    EXPECT_TRUE(Logged("FontRebuildTexel -" + cases[i].message + " when rebuilding font \"" + file + "\".  Font deleted."));
    EXPECT_EQ(FontFindByFile(display, file), 0);
    EXPECT_EQ(FontTextWidth(font, "ABC"), 0);
    FontDrawText(font, 0, 0, 0, "A");  // the next font call frees what is left of it
    EXPECT_FALSE(TextureExists(texture));
  }
  // A file whose header no longer reads is reported by the model unit alone.
  const std::string file = Put("header.fot", good);
  ASSERT_NE(FontOpen(display, file), 0);
  ASSERT_TRUE(tftest::WriteFile(dir_ / "Bin/Fonts/header.fot", "\x01\x00FNX"));
  std::remove(LogGetFilePath().c_str());
  ModelAssetsRelease();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Could not reread font file."));
  EXPECT_EQ(tftest::ReadFile(LogGetFilePath()).find("FontRebuild"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// A real font made by the font maker from DejaVu Sans

class FontDejaVuTest : public FontTest {
 protected:
  // Makes the font under the program folder; empty when the tool or the font is missing.
  std::string MakeDejaVu() {
    if (!tftest::FileExists(kDejaVu)) return "";
    const std::string out = dir_ / "Bin/Fonts/dejavu.fot";
    tftest::MakeFolders(dir_ / "Bin/Fonts");
    const std::string command = std::string("'") + FOTMAKE_TOOL + "' '" + kDejaVu + "' '" + out + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "";
    return "Bin\\Fonts\\dejavu.fot";
  }

  void SaveReadBack(const std::string& path) {
    imageData* image = nullptr;
    ImageNew(image);
    image->width = width_;
    image->height = height_;
    image->bitsPerPixel = 24;
    image->pixels = ReadBack();
    for (uint32_t& p : image->pixels) p |= 0xFF000000u;
    ImageSave(path, image);
    ImageFree(image);
  }
};

constexpr char kSample[] = "Thornfall: 0123 gyp!";

TEST_F(FontDejaVuTest, TextDrawsWhereItsGlyphsAreAndNowhereElse) {
  const std::string file = MakeDejaVu();
  if (file.empty()) GTEST_SKIP() << "no DejaVu Sans or font maker";
  const int32_t display = Display(320, 80);
  const int32_t font = FontOpen(display, file);
  ASSERT_NE(font, 0);
  EXPECT_EQ(FontFindByName(display, "DejaVu Sans"), font);
  const int32_t height = FontGetHeight(font);
  EXPECT_EQ(height, 20);
  const int32_t width = FontTextWidth(font, kSample);
  ASSERT_GT(width, 100);
  FontSetColor(font, 0xFFFFFFFF);
  FontDrawText(font, 12, 8, 0, kSample);
  FontSetColor(font, 0xFF40C0FF);
  FontDrawWrapped(font, 12, 36, 150, "Wrapped text, two lines");
  SaveReadBack("/tmp/font-readback.tga");

  // The first line: ink only inside its box, and some ink under every visible character.
  Frame();
  FontSetColor(font, 0xFFFFFFFF);
  FontDrawText(font, 12, 8, 0, kSample);
  const box b = Lit();
  ASSERT_GT(b.lit, 300);
  EXPECT_GE(b.left, 12);
  EXPECT_LE(b.right, 12 + width - 1);
  EXPECT_GE(b.top, 8);
  EXPECT_LE(b.bottom, 8 + height - 2);
  const std::vector<uint32_t> frame = ReadBack();
  int32_t pen = 12;
  for (unsigned char ch : std::string(kSample)) {
    const int32_t advance = FontTextWidth(font, std::string(1, static_cast<char>(ch)));
    int32_t ink = 0;
    for (int32_t y = 8; y < 8 + height; ++y) {
      for (int32_t x = pen; x < pen + advance; ++x) ink += frame[static_cast<size_t>(y) * width_ + x] != 0;
    }
    if (ch != ' ') {
      EXPECT_GT(ink, 0) << "character '" << ch << "'";
    } else {
      EXPECT_EQ(ink, 0);
    }
    pen += advance;
  }
}

TEST_F(FontDejaVuTest, TextDrawsTheSameAfterTheContextsAreRecreated) {
  const std::string file = MakeDejaVu();
  if (file.empty()) GTEST_SKIP() << "no DejaVu Sans or font maker";
  const int32_t display = Display(320, 40);
  const int32_t font = FontOpen(display, file);
  ASSERT_NE(font, 0);
  FontSetColor(font, 0xFFFFE080);
  auto draw = [&] {
    Frame();
    FontDrawText(font, 4, 4, 0, kSample);
    return ReadBack();
  };
  const std::vector<uint32_t> before = draw();
  ASSERT_GT(Lit().lit, 300);
  const int32_t texture = TextureFind(display, file);
  const auto oldTiles = TextureGetTiles(texture);

  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_FALSE(Logged("ModelAssetsRecompile - Could not reread font file."));
  const auto tiles = TextureGetTiles(texture);
  ASSERT_EQ(tiles.size(), oldTiles.size());
  for (const textureTile& tile : tiles) EXPECT_NE(tile.name, 0u);
  EXPECT_EQ(draw(), before);

  // A file that lost its pictures in between: the font is deleted and draws nothing.
  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  std::string bytes = tftest::ReadFile(dir_ / "Bin/Fonts/dejavu.fot");
  ASSERT_TRUE(tftest::WriteFile(dir_ / "Bin/Fonts/dejavu.fot", bytes.substr(0, bytes.size() - 20000)));
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("FontRebuildTexel -Could not read pixel data when rebuilding font \"" + file + "\".  Font deleted."));
  EXPECT_EQ(FontGetHeight(font), 0);
  Frame();
  FontDrawText(font, 4, 4, 0, kSample);
  EXPECT_EQ(Lit().lit, 0);
  EXPECT_FALSE(TextureExists(texture));

  // A file that vanished: the rebuild says so, and the model unit too.
  const int32_t again = FontOpen(display, Put("again.fot", bytes));
  ASSERT_NE(again, 0);
  std::remove((dir_ / "Bin/Fonts/again.fot").c_str());
  ModelAssetsRelease();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("FontRebuildStart - Unable to load font \"Bin\\Fonts\\again.fot\"."));
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Could not reread font file."));
}

}  // namespace

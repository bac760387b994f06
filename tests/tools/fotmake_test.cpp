#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "data/data_file.h"
#include "graphics/font_file.h"
#include "image/image.h"
#include "support/test_support.h"

using tftest::LE16;
using tftest::ReadFile;
using tftest::runResult;
using tftest::RunTool;
using tftest::TempDir;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

runResult Fotmake(const std::vector<std::string>& arguments) {
  return RunTool(FOTMAKE_TOOL, arguments);
}

uint8_t Alpha(const fontFile& font, const fontGlyphPlace& place, int x, int y) {
  return font.pictures[static_cast<size_t>(place.picture)][static_cast<size_t>(((place.y + y) * 64 + place.x + x) * 4 + 3)];
}

// Draws one line of text the way the glyph quads do: each character shows its cell's first
// width - 1 columns and height - 1 rows, tinted by `colour`, and the pen moves by width - 1.
// Returns the pen's final advance.
int DrawLine(const fontFile& font, imageData& image, int x, int y, const std::string& text, uint32_t colour) {
  int pen = 0;
  for (unsigned char ch : text) {
    if (ch < font.firstChar || ch > font.lastChar) continue;
    const size_t slot = ch - font.firstChar;
    const fontGlyphPlace& place = font.places[slot];
    const int w = font.widths[slot];
    if (place.picture < 0 || w == 0) continue;
    const std::vector<uint8_t>& picture = font.pictures[static_cast<size_t>(place.picture)];
    for (int j = 0; j < font.height - 1; ++j) {
      for (int i = 0; i < w - 1; ++i) {
        const int sx = place.x + i, sy = place.y + j;
        const int dx = x + pen + i, dy = y + j;
        if (sx >= 64 || sy >= 64 || dx < 0 || dy < 0 || dx >= image.width || dy >= image.height) continue;
        const uint8_t* texel = &picture[static_cast<size_t>((sy * 64 + sx) * 4)];
        uint32_t& out = image.pixels[static_cast<size_t>(dy * image.width + dx)];
        const int a = texel[3];
        uint32_t result = 0xFF000000;
        for (int c = 0; c < 3; ++c) {
          const int shift = 16 - 8 * c;
          const int tinted = texel[c] * static_cast<int>((colour >> shift) & 0xFF) / 255;
          const int below = static_cast<int>((out >> shift) & 0xFF);
          result |= static_cast<uint32_t>((tinted * a + below * (255 - a)) / 255) << shift;
        }
        out = result;
      }
    }
    pen += w - 1;
  }
  return pen;
}

imageData Canvas(int width, int height, uint32_t colour) {
  imageData image;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 32;
  image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
  return image;
}

class FotmakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    DataFileStart();
  }
  void TearDown() override { DataFileEnd(); }

  bool HaveFont() { return tftest::FileExists(kDejaVu); }
  bool Read(const std::string& path, fontFile& font) { return FontFileRead(path, font); }

  TempDir dir_;
};

TEST_F(FotmakeTest, DejaVuBecomesAFontTheReaderReadsWithTheChosenWidths) {
  if (!HaveFont()) GTEST_SKIP() << kDejaVu << " is not installed";
  const std::string out = dir_ / "dejavu.fot";
  const runResult made = Fotmake({kDejaVu, out});
  ASSERT_EQ(made.status, 0) << made.err;

  fontFile font;
  ASSERT_TRUE(Read(out, font));
  EXPECT_EQ(font.name, "DejaVu Sans");
  EXPECT_EQ(font.firstChar, 32);
  EXPECT_EQ(font.lastChar, 255);
  EXPECT_EQ(font.height, 20);
  EXPECT_EQ(font.glyphCount, 224);
  EXPECT_EQ(font.ignoredChars, 0);

  // The dump lists exactly what the reader found.
  const runResult dump = Fotmake({"--dump", out});
  ASSERT_EQ(dump.status, 0) << dump.err;
  std::ostringstream expected;
  expected << "name DejaVu Sans\nfirst 32\nlast 255\nheight 20\n";
  for (int slot = 0; slot < 224; ++slot) expected << 32 + slot << ' ' << int{font.widths[static_cast<size_t>(slot)]} << '\n';
  EXPECT_EQ(dump.out, expected.str());

  // Widths: proportional, 'W' wider than 'i'; codes the code page leaves undefined draw nothing;
  // the euro sign (0x80) is mapped to U+20AC and has a real glyph.
  EXPECT_GT(font.widths['W' - 32], font.widths['i' - 32] + 5);
  EXPECT_EQ(font.widths[0x81 - 32], 1);
  EXPECT_GT(font.widths[0x80 - 32], 5);
  for (int slot = 0; slot < 224; ++slot) {
    const fontGlyphPlace& place = font.places[static_cast<size_t>(slot)];
    const int w = font.widths[static_cast<size_t>(slot)];
    ASSERT_GE(place.picture, 0);
    EXPECT_LE(place.x + w, 63) << slot;
    EXPECT_LE(place.y + font.height, 64) << slot;
    // The cell's free column and row carry no ink, so neighbours never bleed into each other.
    for (int y = 0; y < font.height; ++y) EXPECT_EQ(Alpha(font, place, w - 1, y), 0) << slot;
    for (int x = 0; x < w; ++x) EXPECT_EQ(Alpha(font, place, x, font.height - 1), 0) << slot;
  }
  // 'H' has ink down most of its rows (its stems), and the space has none at all.
  const fontGlyphPlace& h = font.places['H' - 32];
  int inkedRows = 0;
  for (int y = 0; y < font.height - 1; ++y) {
    bool inked = false;
    for (int x = 0; x < font.widths['H' - 32] - 1; ++x) inked = inked || Alpha(font, h, x, y) > 128;
    inkedRows += inked;
  }
  EXPECT_GE(inkedRows, 10);
  for (int y = 0; y < font.height; ++y) {
    for (int x = 0; x < font.widths[0]; ++x) EXPECT_EQ(Alpha(font, font.places[0], x, y), 0);
  }
}

TEST_F(FotmakeTest, ALineDrawnFromThePicturesIsInkedWhereTheTextSits) {
  if (!HaveFont()) GTEST_SKIP() << kDejaVu << " is not installed";
  const std::string plainPath = dir_ / "plain.fot";
  const std::string fancyPath = dir_ / "fancy.fot";
  ASSERT_EQ(Fotmake({"--height", "24", kDejaVu, plainPath}).status, 0);
  const runResult fancyRun = Fotmake({"--height", "32", "--outline", "2", "--shadow", "2", "--colour", "FFD040", kDejaVu, fancyPath});
  ASSERT_EQ(fancyRun.status, 0) << fancyRun.err;
  fontFile plain, fancy;
  ASSERT_TRUE(Read(plainPath, plain));
  ASSERT_TRUE(Read(fancyPath, fancy));

  imageData image = Canvas(560, 96, 0xFFF4F0E8);
  const std::string text = "Thornfall: 1280 x 720, \x80 9.99 \xC9t\xE9!";
  const int advance = DrawLine(plain, image, 8, 8, text, 0xFF202060);
  for (int y = 40; y < 96; ++y) {
    for (int x = 0; x < 560; ++x) image.pixels[static_cast<size_t>(y * 560 + x)] = 0xFF405070;
  }
  const int fancyAdvance = DrawLine(fancy, image, 8, 52, "Game Over - Score 4200", 0xFFFFFFFF);

  // The measured advance is the sum of (width - 1) over the characters.
  int expected = 0;
  for (unsigned char ch : text) expected += plain.widths[ch - 32] - 1;
  EXPECT_EQ(advance, expected);
  EXPECT_GT(fancyAdvance, 300);
  // Ink only between the pen's start and end: columns left of 8 and right of 8 + advance stay
  // background, and the first row holds some dark ink.
  int dark = 0;
  for (int y = 8; y < 8 + plain.height; ++y) {
    EXPECT_EQ(image.pixels[static_cast<size_t>(y * 560 + 7)], 0xFFF4F0E8u);
    EXPECT_EQ(image.pixels[static_cast<size_t>(y * 560 + 8 + advance + 1)], 0xFFF4F0E8u);
    for (int x = 8; x < 8 + advance; ++x) dark += (image.pixels[static_cast<size_t>(y * 560 + x)] & 0xFF) < 0x80;
  }
  EXPECT_GT(dark, 200);
  // The fancy line holds the fill colour, the black outline and shadow pixels over the blue.
  int gold = 0, black = 0;
  for (int y = 52; y < 52 + fancy.height; ++y) {
    for (int x = 8; x < 8 + fancyAdvance; ++x) {
      const uint32_t p = image.pixels[static_cast<size_t>(y * 560 + x)];
      gold += p == 0xFFFFD040u;
      black += (p & 0xFFFFFF) < 0x101010;
    }
  }
  EXPECT_GT(gold, 100);
  EXPECT_GT(black, 100);

  ImageSave(dir_ / "line.tga", &image);
  ImageSave("/tmp/fotmake-sample.tga", &image);
  imageData* back = nullptr;
  ImageLoad(dir_ / "line.tga", back);
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->substitute);
  EXPECT_EQ(back->width, 560);
  EXPECT_EQ(back->pixels, image.pixels);
  ImageFree(back);
}

TEST_F(FotmakeTest, OptionsShapeTheFile) {
  if (!HaveFont()) GTEST_SKIP() << kDejaVu << " is not installed";
  const std::string out = dir_ / "caps.fot";
  ASSERT_EQ(Fotmake({"--height", "64", "--first", "65", "--last", "90", "--name", "Caps", "--colour", "FF0000", kDejaVu, out}).status, 0);
  fontFile font;
  ASSERT_TRUE(Read(out, font));
  EXPECT_EQ(font.name, "Caps");
  EXPECT_EQ(font.firstChar, 65);
  EXPECT_EQ(font.lastChar, 90);
  EXPECT_EQ(font.height, 64);
  // A line height of 64 leaves room for one row per picture.
  EXPECT_GE(font.pictures.size(), 13u);
  int red = 0;
  for (const auto& picture : font.pictures) {
    for (size_t i = 0; i < picture.size(); i += 4) {
      if (picture[i + 3] == 0) continue;
      EXPECT_EQ(picture[i], 255);
      EXPECT_EQ(picture[i + 1], 0);
      red += picture[i + 3] == 255;
    }
  }
  EXPECT_GT(red, 1000);

  // One character alone.
  ASSERT_EQ(Fotmake({"--first", "0", "--last", "0", kDejaVu, out}).status, 0);
  ASSERT_TRUE(Read(out, font));
  EXPECT_EQ(font.glyphCount, 1);
  EXPECT_EQ(font.widths[0], 1) << "code 0 has no glyph";
}

TEST_F(FotmakeTest, BadArgumentsAndFailuresExitWithTheirStatus) {
  const runResult none = Fotmake({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("usage: fotmake"), std::string::npos);
  EXPECT_EQ(Fotmake({"--height", "3", "a.ttf", "b.fot"}).status, 2);
  EXPECT_EQ(Fotmake({"--height", "65", "a.ttf", "b.fot"}).status, 2);
  EXPECT_EQ(Fotmake({"--first", "100", "--last", "99", "a.ttf", "b.fot"}).status, 2);
  EXPECT_EQ(Fotmake({"--colour", "red", "a.ttf", "b.fot"}).status, 2);
  EXPECT_EQ(Fotmake({"--bogus", "1", "a.ttf", "b.fot"}).status, 2);
  EXPECT_EQ(Fotmake({"a.ttf"}).status, 2);
  EXPECT_EQ(Fotmake({"--dump"}).status, 2);

  const runResult missing = Fotmake({dir_ / "missing.ttf", dir_ / "out.fot"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot read the font"), std::string::npos);
  EXPECT_FALSE(tftest::FileExists(dir_ / "out.fot"));

  if (HaveFont()) {
    const runResult unwritable = Fotmake({kDejaVu, dir_ / "no/folder/out.fot"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("FontFileWrite - "), std::string::npos);
  }

  // A broken file: the reader's own message reaches the user.
  ASSERT_TRUE(tftest::WriteFile(dir_ / "broken.fot", std::string("\x01\x00" "FNT", 5) + LE16(12)));
  const runResult broken = Fotmake({"--dump", dir_ / "broken.fot"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("FontOpen - Unexpected end of font"), std::string::npos) << broken.err;
  EXPECT_NE(broken.err.find("when reading font name length."), std::string::npos) << broken.err;
  EXPECT_EQ(broken.out, "");
  EXPECT_EQ(Fotmake({"--dump", dir_ / "missing.fot"}).status, 1);
  EXPECT_EQ(Fotmake({"--dump", dir_.path()}).status, 1);
}

TEST_F(FotmakeTest, DumpListsAHandMadeFile) {
  fontFile font;
  font.name = "Tiny";
  font.firstChar = 'a';
  font.lastChar = 'c';
  font.height = 9;
  font.widths[0] = 4;
  font.widths[1] = 5;
  font.widths[2] = 6;
  font.pictures.assign(1, std::vector<uint8_t>(16384, 0));
  font.pictureCounts = {3};
  const std::string path = dir_ / "tiny.fot";
  ASSERT_TRUE(FontFileWrite(path, font));
  const runResult dump = Fotmake({"--dump", path});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out, "name Tiny\nfirst 97\nlast 99\nheight 9\n97 4\n98 5\n99 6\n");
}

}  // namespace

// GIF decoder and writer: against ImageMagick and giflib on files made during the test, against the
// shared sample pictures' reference decodes, and on damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "image/image_formats.h"
#include "image/image_test_support.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

// A chain of one picture, freed with the test.
struct picture {
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  ~picture() { ImageFree(chain); }
};

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// LZW codes (value, width in bits) packed least significant bit first.
std::string PackCodes(const std::vector<std::pair<uint32_t, int>>& codes) {
  std::string bytes;
  uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    bits |= code << count;
    for (count += width; count >= 8; count -= 8, bits >>= 8) bytes += static_cast<char>(bits & 0xFF);
  }
  if (count > 0) bytes += static_cast<char>(bits);
  return bytes;
}

// A GIF file: a screen with a global table (2^n entries), optional extension bytes, and one picture
// at (left, top) of width x height with minimum code size m and the given code bytes.
std::string HandGif(uint32_t width, uint32_t height, const std::vector<uint32_t>& table, int m, const std::string& codes,
                    const std::string& extensions = "", uint32_t left = 0, uint32_t top = 0) {
  int log = 0;
  while ((2u << log) < table.size()) ++log;
  std::string file = (extensions.empty() ? "GIF87a" : "GIF89a") + LE16(width + left) + LE16(height + top);
  file += static_cast<char>(0x80 | log);
  file += std::string(2, '\0');
  for (uint32_t c : table) file += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
  file += extensions + "," + LE16(left) + LE16(top) + LE16(width) + LE16(height) + '\0' + static_cast<char>(m);
  for (size_t i = 0; i < codes.size(); i += 255) {
    const std::string chunk = codes.substr(i, 255);
    file += static_cast<char>(chunk.size()) + chunk;
  }
  return file + '\0' + ';';
}

// ImageMagick's decode of a file's first frame (its own size, without the screen around it).
RgbaPicture Magick(const std::string& file) {
  RgbaPicture picture;
  EXPECT_TRUE(RunCommand("convert '" + file + "[0]' -alpha set -depth 8 PAM:'" + file + ".pam'"));
  EXPECT_TRUE(ReadPam(file + ".pam", picture));
  return picture;
}

// Our decode against a reference placed at (left, top) of the screen. Where the reference is
// visible the colours must match, with alpha 255 for 32-bit results and 0 otherwise; where it is
// transparent a 32-bit result must be transparent too. Everything outside it must be 0.
::testing::AssertionResult Matches(const imageData* image, const RgbaPicture& ref, int left = 0, int top = 0) {
  if (image->substitute) return ::testing::AssertionFailure() << "substitute picture";
  if (left == 0 && top == 0 && (image->width != ref.width || image->height != ref.height)) {
    return ::testing::AssertionFailure() << "size " << image->width << "x" << image->height << ", reference "
                                         << ref.width << "x" << ref.height;
  }
  const uint32_t opaque = image->bitsPerPixel == 32 ? 0xFF000000u : 0;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const uint32_t ours = image->pixels[static_cast<size_t>(y) * image->width + x];
      const int rx = x - left, ry = y - top;
      const bool inside = rx >= 0 && ry >= 0 && rx < ref.width && ry < ref.height;
      const uint32_t theirs = inside ? ref.pixels[static_cast<size_t>(ry) * ref.width + rx] : 0;
      const bool good = !inside                 ? ours == 0
                        : (theirs >> 24) == 0 ? (opaque == 0 || (ours >> 24) == 0)
                                              : ours == ((theirs & 0xFFFFFF) | opaque);
      if (!good) {
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << "): ours " << std::hex << ours
                                             << ", reference " << theirs;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

class GifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("convert") || !HaveTool("gifbuild") || !HaveTool("gif2rgb")) GTEST_SKIP() << "reference tools missing";
  }
  std::string Make(const std::string& name, const std::string& convertOptions) {
    EXPECT_TRUE(RunCommand("convert '" + dir / "base.png" + "' " + convertOptions + " '" + dir / name + "'"));
    return dir / name;
  }
  TempDir dir;
};

TEST_F(GifTest, MatchesImageMagickOnFilesItMade) {
  ASSERT_TRUE(RunCommand("convert -size 113x71 -seed 5 plasma:fractal '" + dir / "base.png" + "'"));
  struct variant {
    const char* name;
    const char* options;
    int bitsPerPixel;
  };
  const variant variants[] = {
      {"c16.gif", "-colors 16 -interlace none", 4},
      {"c16i.gif", "-colors 16 -interlace GIF", 4},
      {"c256i.gif", "-colors 256 -interlace GIF", 8},
      {"c2.gif", "-resize 400% -colors 2", 1},  // a two-entry table and a long stream with clear codes
      {"alpha.gif", "-alpha set -channel A -fx 'i<30?0:1' +channel -colors 64", 32},
      {"anim.gif", "-colors 16 \\( +clone -negate \\) -loop 0", 4},
  };
  for (const variant& v : variants) {
    SCOPED_TRACE(v.name);
    const std::string file = Make(v.name, v.options);
    picture p;
    ImageLoadGif(file, p.image);
    EXPECT_EQ(p.image->bitsPerPixel, v.bitsPerPixel);
    EXPECT_TRUE(Matches(p.image, Magick(file)));
    EXPECT_EQ(p.image->next, nullptr);  // only the first frame of an animation
  }
}

TEST_F(GifTest, PlacesPictureAtItsDescriptorInsideTheScreen) {
  ASSERT_TRUE(RunCommand("convert -size 113x71 -seed 5 plasma:fractal '" + dir / "base.png" + "'"));
  const std::string offset = Make("offset.gif", "-alpha set -channel A -fx 'i<30?0:1' +channel -colors 64 -repage 150x100+20+10");
  picture p;
  ImageLoadGif(offset, p.image);
  ASSERT_EQ(p.image->width, 150);
  ASSERT_EQ(p.image->height, 100);
  EXPECT_TRUE(Matches(p.image, Magick(offset), 20, 10));

  // A local colour table, and a picture reaching past the screen's right edge (clipped there).
  const std::string text =
      "screen width 5\nscreen height 6\nscreen colors 2\nscreen map\n\trgb 1 2 3 is a\n\trgb 4 5 6 is b\nend\n\n"
      "image\nimage left 2\nimage top 1\nimage map\n\trgb 200 0 0 is r\n\trgb 0 200 0 is g\n\trgb 0 0 200 is b\n"
      "\trgb 9 9 9 is t\nend\nimage bits 4 by 3\nrgbt\ntbgr\nrrgg\n";
  ASSERT_TRUE(WriteFile(dir / "local.txt", text));
  ASSERT_TRUE(RunCommand("gifbuild '" + dir / "local.txt" + "' > '" + dir / "local.gif" + "'"));
  picture q;
  ImageLoadGif(dir / "local.gif", q.image);
  RgbaPicture ref = Magick(dir / "local.gif");
  ASSERT_EQ(ref.width, 4);
  EXPECT_EQ(q.image->bitsPerPixel, 2);
  EXPECT_EQ(q.image->palette[2], 0x0000C8u);
  ref.width = 3;  // the visible part: drop the picture's last column
  ref.pixels = {ref.pixels[0], ref.pixels[1], ref.pixels[2], ref.pixels[4], ref.pixels[5], ref.pixels[6],
                ref.pixels[8], ref.pixels[9], ref.pixels[10]};
  EXPECT_TRUE(Matches(q.image, ref, 2, 1));
}

TEST_F(GifTest, InterlacedRowsAndTransparentIndex) {
  // Ten rows, row r in colour r: giflib writes them interlaced as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  std::string text = "screen width 1\nscreen height 10\nscreen colors 16\nscreen map\n";
  for (int i = 0; i < 16; ++i) text += "\trgb " + std::to_string(i * 10) + " 0 0 is " + static_cast<char>('a' + i) + "\n";
  text += "end\n\nimage\nimage interlaced\nimage bits 1 by 10\n";
  for (int i = 0; i < 10; ++i) text += std::string(1, static_cast<char>('a' + i)) + "\n";
  ASSERT_TRUE(WriteFile(dir / "rows.txt", text));
  ASSERT_TRUE(RunCommand("gifbuild '" + dir / "rows.txt" + "' > '" + dir / "rows.gif" + "'"));
  picture p;
  ImageLoadGif(dir / "rows.gif", p.image);
  ASSERT_EQ(p.image->height, 10);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(p.image->pixels[y], static_cast<uint32_t>(y * 10) << 16) << "row " << y;

  // A graphic control extension with transparent index 3: 32 bits, index 3 clear, others opaque.
  const std::vector<uint32_t> table = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  const std::string control = std::string("\x21\xF9\x04\x01\0\0\x03\0", 8);
  const std::string codes = PackCodes({{4, 3}, {3, 3}, {1, 3}, {4, 3}, {3, 3}, {5, 3}});
  picture q;
  ImageDecodeGif(Bytes(HandGif(3, 1, table, 2, codes, control)), q.image);
  EXPECT_EQ(q.image->bitsPerPixel, 32);
  EXPECT_EQ(q.image->pixels, (std::vector<uint32_t>{0x00AABBCC, 0xFF445566, 0x00AABBCC}));
  ASSERT_TRUE(WriteFile(dir / "control.gif", HandGif(3, 1, table, 2, codes, control)));
  EXPECT_TRUE(Matches(q.image, Magick(dir / "control.gif")));
}

// After a clear code the table starts again at 2^m + 2 whatever the size of the colour table: a
// two-colour file whose stream clears and then uses a new entry must decode as the other readers do.
TEST_F(GifTest, ClearCodeInTwoColourFile) {
  const std::string file = HandGif(6, 1, {0x000000, 0xFFFFFF}, 2,
                                   PackCodes({{4, 3}, {1, 3}, {0, 3}, {4, 3}, {1, 3}, {1, 3}, {6, 3}, {5, 4}}));
  ASSERT_TRUE(WriteFile(dir / "clear.gif", file));
  picture p;
  ImageDecodeGif(Bytes(file), p.image);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  EXPECT_TRUE(Matches(p.image, Magick(dir / "clear.gif")));
}

TEST(GifSamples, MatchReferenceDecodes) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "shared sample pictures absent";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "gif")) {
    if (entry.path().extension() != ".gif") continue;
    const std::string stem = entry.path().stem().string();
    SCOPED_TRACE(stem);
    RgbaPicture ref;
    if (!ReadPam(folder + "gif/ref/" + stem + ".pam", ref)) {
      ASSERT_TRUE(ReadPam(folder + "gif/ref/" + stem + ".f00.pam", ref));
    }
    picture p;
    ImageLoadGif(entry.path().string(), p.image);
    EXPECT_TRUE(Matches(p.image, ref));
    ++compared;
  }
  EXPECT_GE(compared, 10);
}

TEST_F(GifTest, DamagedFilesNeverCrashAndKeepWhatWasDecoded) {
  ASSERT_TRUE(RunCommand("convert -size 113x71 -seed 5 plasma:fractal '" + dir / "base.png" + "'"));
  for (const char* options : {"-colors 256 -interlace GIF", "-alpha set -channel A -fx 'i<30?0:1' +channel -colors 64"}) {
    const std::string file = ReadFile(Make("sweep.gif", options));
    picture whole;
    ImageDecodeGif(Bytes(file), whole.image);
    // Every prefix: the substitute while the screen is unread, then the screen with each pixel either
    // still 0 or as in the whole file.
    for (size_t length = 0; length < file.size(); ++length) {
      picture p;
      ImageDecodeGif(Bytes(file.substr(0, length)), p.image);
      ASSERT_EQ(p.image->substitute, length < 13) << length;
      if (p.image->substitute) continue;
      ASSERT_EQ(p.image->pixels.size(), whole.image->pixels.size());
      for (size_t i = 0; i < p.image->pixels.size(); ++i) {
        ASSERT_TRUE(p.image->pixels[i] == 0 || p.image->pixels[i] == whole.image->pixels[i]) << length << " " << i;
      }
    }
  }

  const std::vector<uint32_t> grey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
  const std::string good = HandGif(4, 1, grey, 2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {5, 4}}));
  picture p;
  ImageDecodeGif(Bytes(good), p.image);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0x555555, 0xAAAAAA, 0xFFFFFF, 0}));

  // Wrong signature, unknown block introducer: the substitute.
  for (const std::string& bad : {"GIF88a" + good.substr(6), good.substr(0, 25) + "\x01" + good.substr(25)}) {
    picture q;
    ImageDecodeGif(Bytes(bad), q.image);
    EXPECT_TRUE(q.image->substitute);
    EXPECT_EQ(q.image->width, 16);
  }
  // A code naming no string yet ends the picture with the pixels decoded so far.
  picture r;
  ImageDecodeGif(Bytes(HandGif(4, 1, grey, 2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {4, 3}, {7, 3}, {3, 3}, {5, 3}}))), r.image);
  EXPECT_EQ(r.image->pixels, (std::vector<uint32_t>{0x555555, 0xAAAAAA, 0, 0}));
  // Impossible minimum code sizes leave the screen empty.
  for (int m : {0, 9, 12}) {
    picture q;
    ImageDecodeGif(Bytes(HandGif(4, 1, grey, m, PackCodes({{1, 12}, {2, 12}}))), q.image);
    EXPECT_FALSE(q.image->substitute);
    EXPECT_EQ(q.image->pixels, std::vector<uint32_t>(4, 0));
  }
}

TEST(GifDecoder, SizesAreBoundedByTheFile) {
  const std::vector<uint32_t> grey = {0x000000, 0xFFFFFF};
  const std::string codes = PackCodes({{4, 3}, {1, 3}, {1, 3}, {5, 3}});
  // Screens a 40-byte file could never fill, and sides above the cap, are refused.
  for (uint32_t side : {65535u, 16384u, 16385u}) {
    std::string file = HandGif(2, 1, grey, 2, codes);
    file.replace(6, 4, LE16(side) + LE16(side));
    picture p;
    ImageDecodeGif(Bytes(file), p.image);
    EXPECT_TRUE(p.image->substitute) << side;
  }
  // A picture descriptor claiming 65535 x 65535 inside a small screen decodes only what its data
  // holds; an empty screen takes the first picture's extent.
  std::string file = HandGif(65535, 65535, grey, 2, codes);
  file.replace(6, 4, LE16(8) + LE16(2));
  picture p;
  ImageDecodeGif(Bytes(file), p.image);
  EXPECT_EQ(p.image->width, 8);
  EXPECT_EQ(p.image->pixels[0], 0xFFFFFFu);
  picture q;
  file = HandGif(2, 1, grey, 2, codes, "", 3, 1);
  file.replace(6, 4, std::string(4, '\0'));
  ImageDecodeGif(Bytes(file), q.image);
  EXPECT_EQ(q.image->width, 5);
  EXPECT_EQ(q.image->height, 2);
  EXPECT_EQ(q.image->pixels[1 * 5 + 4], 0xFFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Writer

// Reads a written file back with ImageMagick, giflib and our decoder; all must give the colour of
// each pixel's nearest palette entry (or transparency for an index 255 that stands for it).
void ExpectReadBack(const std::string& file, const imageData* source, const std::vector<uint8_t>& expectedIndex,
                    bool transparent) {
  std::vector<uint32_t> expected(expectedIndex.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    expected[i] = transparent && expectedIndex[i] == 255 ? 0 : 0xFF000000u | (source->palette[expectedIndex[i]] & 0xFFFFFF);
  }
  const RgbaPicture magick = Magick(file);
  ASSERT_EQ(magick.pixels.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(expected[i] == 0 ? magick.pixels[i] >> 24 : magick.pixels[i], expected[i]) << "ImageMagick, pixel " << i;
  }
  ASSERT_TRUE(RunCommand("gif2rgb -1 -o '" + file + ".rgb' '" + file + "'"));
  const std::string rgb = ReadFile(file + ".rgb");
  ASSERT_EQ(rgb.size(), expected.size() * 3);
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == 0) continue;
    const uint32_t colour = (static_cast<uint8_t>(rgb[i * 3]) << 16) | (static_cast<uint8_t>(rgb[i * 3 + 1]) << 8) |
                            static_cast<uint8_t>(rgb[i * 3 + 2]);
    ASSERT_EQ(colour, expected[i] & 0xFFFFFF) << "giflib, pixel " << i;
  }
  picture ours;
  ImageLoadGif(file, ours.image);
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(ours.image->pixels[i] & (transparent ? 0xFFFFFFFFu : 0xFFFFFFu), expected[i] & (transparent ? 0xFFFFFFFFu : 0xFFFFFFu))
        << "ours, pixel " << i;
  }
}

TEST_F(GifTest, WriterOutputReadsBackInEveryReader) {
  std::mt19937 random(11);
  struct sample {
    int width, height, bitsPerPixel;
  };
  // Noise makes the string table restart many times; the large flat picture makes long strings.
  for (sample s : {sample{61, 37, 8}, sample{300, 300, 8}, sample{45, 20, 4}, sample{1000, 700, 8}}) {
    SCOPED_TRACE(s.width);
    picture p;
    ASSERT_TRUE(ImageResize(p.image, s.width, s.height));
    p.image->bitsPerPixel = static_cast<uint8_t>(s.bitsPerPixel);
    for (uint32_t i = 0; i < 256; ++i) p.image->palette[i] = (i * 0x9E3779B1u) & 0xFFFFFF;
    std::vector<uint8_t> index(p.image->pixels.size());
    for (size_t i = 0; i < index.size(); ++i) {
      index[i] = static_cast<uint8_t>(s.width == 1000 ? (i / 1000 / 50) : random() % (1u << s.bitsPerPixel));
      p.image->pixels[i] = p.image->palette[index[i]];
    }
    ImageSaveGif(dir / "out.gif", p.image);
    EXPECT_EQ(ReadFile(dir / "out.gif").substr(0, 6), "GIF87a");
    EXPECT_EQ(p.image->bitsPerPixel, 8);
    ExpectReadBack(dir / "out.gif", p.image, index, false);
  }
}

TEST_F(GifTest, WriterTransparencyFrom32BitPictures) {
  picture p;
  ASSERT_TRUE(ImageResize(p.image, 40, 30));
  for (uint32_t i = 0; i < 255; ++i) p.image->palette[i] = i * 0x010203u;
  std::vector<uint8_t> index(p.image->pixels.size());
  for (size_t i = 0; i < index.size(); ++i) {
    index[i] = static_cast<uint8_t>(i % 7 == 0 ? 255 : i % 200);
    // Colours a little off the palette still map to their nearest entry.
    p.image->pixels[i] = index[i] == 255 ? 0x00123456u : 0xFF000000u | (p.image->palette[index[i]] ^ 0x000001);
  }
  ImageSaveGif(dir / "alpha.gif", p.image);
  const std::string file = ReadFile(dir / "alpha.gif");
  ASSERT_GT(file.size(), 800u);
  EXPECT_EQ(file.substr(0, 6), "GIF89a");
  EXPECT_EQ(static_cast<uint8_t>(file[10]), 0xF7);
  EXPECT_EQ(file.substr(13 + 768, 8), std::string("\x21\xF9\x04\x09\0\0\xFF\0", 8));
  EXPECT_EQ(p.image->bitsPerPixel, 8);
  ExpectReadBack(dir / "alpha.gif", p.image, index, true);

  // A 24-bit picture's alpha carries nothing: it is written without transparency.
  picture q;
  ASSERT_TRUE(ImageResize(q.image, 3, 1));
  q.image->bitsPerPixel = 24;
  q.image->palette[1] = 0xFF0000;
  q.image->pixels = {0xFF0000, 0, 0xFE0101};
  ImageSaveGif(dir / "rgb.gif", q.image);
  EXPECT_EQ(ReadFile(dir / "rgb.gif").substr(13 + 768, 4), "\x21\xF9\x04\x08");
  ExpectReadBack(dir / "rgb.gif", q.image, {1, 0, 1}, false);
}

}  // namespace

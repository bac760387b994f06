// GIF decoder and writer against ImageMagick and giflib on files made during the test, the shared
// samples' reference decodes, and damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>

#include "image/image_formats.h"
#include "image/image_test_support.h"
#include "image/picture_checks.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

struct picture {
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  ~picture() { ImageFree(chain); }
};

// LZW codes (value, width in bits) packed least significant bit first.
std::string PackCodes(const std::vector<std::pair<uint32_t, int>>& codes) {
  std::string bytes;
  uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    bits |= code << count;
    for (count += width; count >= 8; count -= 8, bits >>= 8) bytes += static_cast<char>(bits & 0xFF);
  }
  return count > 0 ? bytes + static_cast<char>(bits) : bytes;
}

// A file with a global table of 2^n colours, extension bytes, and one width x height picture at
// (left, top) in a screen just large enough, with minimum code size m and the given codes.
std::string HandGif(uint32_t width, uint32_t height, const std::vector<uint32_t>& table, int m, const std::string& codes,
                    const std::string& extensions = "", uint32_t left = 0, uint32_t top = 0) {
  int log = 0;
  while ((2u << log) < table.size()) ++log;
  std::string file = (extensions.empty() ? "GIF87a" : "GIF89a") + LE16(width + left) + LE16(height + top) +
                     static_cast<char>(0x80 | log) + std::string(2, '\0');
  for (uint32_t c : table) file += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
  file += extensions + "," + LE16(left) + LE16(top) + LE16(width) + LE16(height) + '\0' + static_cast<char>(m);
  for (size_t i = 0; i < codes.size(); i += 255) file += static_cast<char>(codes.substr(i, 255).size()) + codes.substr(i, 255);
  return file + '\0' + ';';
}

// ImageMagick's decode of a file's first frame (its own size, without the screen around it).
RgbaPicture Magick(const std::string& file) {
  RgbaPicture picture;
  EXPECT_TRUE(RunCommand("convert '" + file + "[0]' -alpha set -depth 8 PAM:'" + file + ".pam'"));
  EXPECT_TRUE(ReadPam(file + ".pam", picture));
  return picture;
}

// Our decode against a reference standing at (left, top) of the screen: where it is visible the
// colours match, with alpha 255 in 32-bit results and 0 otherwise; where it is transparent a 32-bit
// result is transparent too; outside it every pixel is 0.
::testing::AssertionResult Matches(const imageData* image, const RgbaPicture& ref, int left = 0, int top = 0) {
  if (image->substitute) return ::testing::AssertionFailure() << "substitute picture";
  if (left == 0 && top == 0 && (image->width != ref.width || image->height != ref.height)) {
    return ::testing::AssertionFailure() << "size " << image->width << "x" << image->height;
  }
  const uint32_t opaque = image->bitsPerPixel == 32 ? 0xFF000000u : 0;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const uint32_t ours = image->pixels[static_cast<size_t>(y) * image->width + x];
      const int rx = x - left, ry = y - top;
      const bool inside = rx >= 0 && ry >= 0 && rx < ref.width && ry < ref.height;
      const uint32_t theirs = inside ? ref.pixels[static_cast<size_t>(ry) * ref.width + rx] : 0;
      const bool good = !inside ? ours == 0
                        : (theirs >> 24) == 0 ? (opaque == 0 || (ours >> 24) == 0)
                                              : ours == ((theirs & 0xFFFFFF) | opaque);
      if (!good) return ::testing::AssertionFailure() << "(" << x << "," << y << "): " << std::hex << ours << " vs " << theirs;
    }
  }
  return ::testing::AssertionSuccess();
}

class GifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("convert") || !HaveTool("gifbuild") || !HaveTool("gif2rgb")) GTEST_SKIP() << "reference tools missing";
    ASSERT_TRUE(RunCommand("convert -size 113x71 -seed 5 plasma:fractal '" + dir / "base.png" + "'"));
  }
  std::string Make(const std::string& name, const std::string& options) {
    EXPECT_TRUE(RunCommand("convert '" + dir / "base.png" + "' " + options + " '" + dir / name + "'"));
    return dir / name;
  }
  std::string Build(const std::string& name, const std::string& text) {
    EXPECT_TRUE(WriteFile(dir / (name + ".txt"), text));
    EXPECT_TRUE(RunCommand("gifbuild '" + dir / (name + ".txt") + "' > '" + dir / name + "'"));
    return dir / name;
  }
  TempDir dir;
};

constexpr const char* kAlpha = "-alpha set -channel A -fx 'i<30?0:1' +channel -colors 64";

TEST_F(GifTest, MatchesImageMagick) {
  const std::pair<std::string, int> variants[] = {
      {"-colors 16 -interlace none", 4},          {"-colors 256 -interlace GIF", 8},
      {"-resize 400% -colors 2", 1},  // two colours, a long stream with clear codes
      {kAlpha, 32},                               {"-colors 16 \\( +clone -negate \\)", 4},  // animation: first frame
  };
  for (const auto& [options, bits] : variants) {
    SCOPED_TRACE(options);
    const std::string file = Make("v.gif", options);
    picture p;
    ImageLoadGif(file, p.image);
    EXPECT_EQ(p.image->bitsPerPixel, bits);
    EXPECT_TRUE(Matches(p.image, Magick(file)));
  }

  // A picture offset inside a larger screen stands at its place.
  const std::string offset = Make("offset.gif", std::string(kAlpha) + " -repage 150x100+20+10");
  picture p;
  ImageLoadGif(offset, p.image);
  ASSERT_EQ(p.image->width, 150);
  EXPECT_TRUE(Matches(p.image, Magick(offset), 20, 10));

  // A local colour table on a picture reaching past the screen's right edge: clipped there.
  const std::string local = Build("local.gif",
                                  "screen width 5\nscreen height 6\nscreen colors 2\nscreen map\n\trgb 1 2 3\n\trgb 4 5 6\n"
                                  "end\nimage\nimage left 2\nimage top 1\nimage map\n\trgb 200 0 0 is r\n\trgb 0 200 0 is g\n"
                                  "\trgb 0 0 200 is b\n\trgb 9 9 9 is t\nend\nimage bits 4 by 3\nrgbt\ntbgr\nrrgg\n");
  ImageLoadGif(local, p.image);
  RgbaPicture ref = Magick(local);
  EXPECT_EQ(p.image->bitsPerPixel, 2);
  for (int row = 2; row >= 0; --row) ref.pixels.erase(ref.pixels.begin() + row * 4 + 3);
  ref.width = 3;
  EXPECT_TRUE(Matches(p.image, ref, 2, 1));
}

TEST_F(GifTest, HandMadeStreams) {
  // Ten rows, row r in colour r: giflib writes them interlaced as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  std::string text = "screen width 1\nscreen height 10\nscreen colors 16\nscreen map\n";
  for (int i = 0; i < 16; ++i) text += "\trgb " + std::to_string(i * 10) + " 0 0 is " + static_cast<char>('a' + i) + "\n";
  text += "end\nimage\nimage interlaced\nimage bits 1 by 10\n";
  for (int i = 0; i < 10; ++i) text += std::string(1, static_cast<char>('a' + i)) + "\n";
  picture rows;
  ImageLoadGif(Build("rows.gif", text), rows.image);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(rows.image->pixels.at(y), static_cast<uint32_t>(y * 10) << 16) << y;

  // Transparent index 3: 32 bits, index 3 clear, the others opaque.
  const std::string control = HandGif(3, 1, {0x112233, 0x445566, 0x778899, 0xAABBCC}, 2,
                                      PackCodes({{4, 3}, {3, 3}, {1, 3}, {4, 3}, {3, 3}, {5, 3}}),
                                      std::string("\x21\xF9\x04\x01\0\0\x03\0", 8));
  picture p;
  ImageDecodeGif(Bytes(control), p.image);
  EXPECT_EQ(p.image->bitsPerPixel, 32);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0x00AABBCC, 0xFF445566, 0x00AABBCC}));

  // After a clear code the table restarts at 2^m + 2 whatever the colour table's size: this
  // two-colour stream clears and then uses a new entry (code 6).
  const std::string clear =
      HandGif(6, 1, {0x000000, 0xFFFFFF}, 2, PackCodes({{4, 3}, {1, 3}, {0, 3}, {4, 3}, {1, 3}, {1, 3}, {6, 3}, {5, 4}}));
  ImageDecodeGif(Bytes(clear), p.image);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  ASSERT_TRUE(WriteFile(dir / "clear.gif", clear));
  EXPECT_TRUE(Matches(p.image, Magick(dir / "clear.gif")));
}

TEST(GifSamples, MatchReferenceDecodes) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "shared sample pictures absent";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "gif")) {
    if (entry.path().extension() != ".gif") continue;
    const std::string ref = folder + "gif/ref/" + entry.path().stem().string();
    RgbaPicture reference;
    ASSERT_TRUE(ReadPam(ref + ".pam", reference) || ReadPam(ref + ".f00.pam", reference)) << ref;
    picture p;
    ImageLoadGif(entry.path().string(), p.image);
    EXPECT_TRUE(Matches(p.image, reference)) << entry.path();
    ++compared;
  }
  EXPECT_GE(compared, 10);
}

TEST_F(GifTest, DamagedAndOversizedFiles) {
  // Every prefix: the substitute while the screen is unread, then the screen with each pixel still
  // 0 or as in the whole file.
  const std::string file = ReadFile(Make("sweep.gif", std::string(kAlpha) + " -interlace GIF"));
  picture whole;
  ImageDecodeGif(Bytes(file), whole.image);
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

  const std::vector<uint32_t> grey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
  const std::string codes = PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {5, 4}});
  const std::string good = HandGif(4, 1, grey, 2, codes);
  // Wrong signature, unknown block introducer, screens a small file could never fill, sides above
  // the cap: the substitute.
  std::vector<std::string> bad = {"GIF88a" + good.substr(6), good.substr(0, 25) + "\x01" + good.substr(25)};
  for (uint32_t side : {65535u, 16384u, 16385u}) bad.push_back(good.substr(0, 6) + LE16(side) + LE16(side) + good.substr(10));
  for (const std::string& b : bad) {
    picture p;
    ImageDecodeGif(Bytes(b), p.image);
    EXPECT_TRUE(p.image->substitute);
  }
  // A code naming no string yet ends the picture with what was decoded; impossible minimum code
  // sizes leave the screen empty.
  picture p;
  ImageDecodeGif(Bytes(HandGif(4, 1, grey, 2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {4, 3}, {7, 3}, {3, 3}}))), p.image);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0x555555, 0xAAAAAA, 0, 0}));
  for (int m : {0, 9, 12}) {
    ImageDecodeGif(Bytes(HandGif(4, 1, grey, m, PackCodes({{1, 12}, {2, 12}}))), p.image);
    EXPECT_EQ(p.image->pixels, std::vector<uint32_t>(4, 0)) << m;
  }
  // A descriptor of 65535 x 65535 in an 8 x 2 screen decodes only what its data holds; an empty
  // screen takes the first picture's extent.
  ImageDecodeGif(Bytes(good.substr(0, 6) + LE16(8) + LE16(2) + good.substr(10, 20) + LE16(65535) + LE16(65535) + good.substr(34)),
                 p.image);
  EXPECT_EQ(p.image->pixels.size(), 16u);
  EXPECT_EQ(p.image->pixels[2], 0xFFFFFFu);
  ImageDecodeGif(Bytes(HandGif(4, 1, grey, 2, codes, "", 3, 1).replace(6, 4, 4, '\0')), p.image);
  EXPECT_EQ(p.image->width, 7);
  EXPECT_EQ(p.image->pixels[7 + 4], 0xAAAAAAu);
}

// ---------------------------------------------------------------------------------------------
// Writer

// ImageMagick, giflib and our decoder must all read each pixel as the palette colour at its
// expected index, index 255 standing for transparency when `transparent`.
void ExpectReadBack(const std::string& file, const imageData* source, const std::vector<uint8_t>& index, bool transparent) {
  const RgbaPicture magick = Magick(file);
  ASSERT_TRUE(RunCommand("gif2rgb -1 -o '" + file + ".rgb' '" + file + "'"));
  const std::string rgb = ReadFile(file + ".rgb");
  picture ours;
  ImageLoadGif(file, ours.image);
  ASSERT_EQ(magick.pixels.size(), index.size());
  ASSERT_EQ(rgb.size(), index.size() * 3);
  for (size_t i = 0; i < index.size(); ++i) {
    const bool clear = transparent && index[i] == 255;
    const uint32_t colour = source->palette[index[i]] & 0xFFFFFF;
    ASSERT_EQ(clear ? magick.pixels[i] >> 24 : magick.pixels[i], clear ? 0 : 0xFF000000u | colour) << "ImageMagick " << i;
    const uint32_t giflib = static_cast<uint8_t>(rgb[i * 3]) << 16 | static_cast<uint8_t>(rgb[i * 3 + 1]) << 8 |
                            static_cast<uint8_t>(rgb[i * 3 + 2]);
    ASSERT_TRUE(clear || giflib == colour) << "giflib " << i;
    ASSERT_EQ(ours.image->pixels[i], colour | (transparent && !clear ? 0xFF000000u : 0)) << "ours " << i;
  }
}

TEST_F(GifTest, WriterOutputReadsBackInEveryReader) {
  std::mt19937 random(11);
  // Noise restarts the string table many times; the large banded picture makes long strings.
  const std::tuple<int, int, int> samples[] = {{61, 37, 8}, {300, 300, 8}, {45, 20, 4}, {1000, 700, 8}};
  for (auto [width, height, bits] : samples) {
    SCOPED_TRACE(width);
    picture p;
    ASSERT_TRUE(ImageResize(p.image, width, height));
    p.image->bitsPerPixel = static_cast<uint8_t>(bits);
    for (uint32_t i = 0; i < 256; ++i) p.image->palette[i] = (i * 0x9E3779B1u) & 0xFFFFFF;
    std::vector<uint8_t> index(p.image->pixels.size());
    for (size_t i = 0; i < index.size(); ++i) {
      index[i] = static_cast<uint8_t>(width == 1000 ? i / 50000 : random() % (1u << bits));
      p.image->pixels[i] = p.image->palette[index[i]];
    }
    ImageSaveGif(dir / "out.gif", p.image);
    EXPECT_EQ(ReadFile(dir / "out.gif").substr(0, 6), "GIF87a");
    EXPECT_EQ(p.image->bitsPerPixel, 8);
    ExpectReadBack(dir / "out.gif", p.image, index, false);
  }
}

TEST_F(GifTest, WriterTransparencyOnlyFrom32BitPictures) {
  picture p;
  ASSERT_TRUE(ImageResize(p.image, 40, 30));
  for (uint32_t i = 0; i < 255; ++i) p.image->palette[i] = i * 0x010203u;
  std::vector<uint8_t> index(p.image->pixels.size());
  for (size_t i = 0; i < index.size(); ++i) {
    index[i] = static_cast<uint8_t>(i % 7 == 0 ? 255 : i % 200);
    // Colours a little off the palette still go to their nearest entry.
    p.image->pixels[i] = index[i] == 255 ? 0x00123456u : 0xFF000000u | (p.image->palette[index[i]] ^ 1);
  }
  ImageSaveGif(dir / "alpha.gif", p.image);
  const std::string file = ReadFile(dir / "alpha.gif");
  EXPECT_EQ(file.substr(0, 6), "GIF89a");
  EXPECT_EQ(file.substr(10, 1), "\xF7");
  EXPECT_EQ(file.substr(13 + 768, 8), std::string("\x21\xF9\x04\x09\0\0\xFF\0", 8));
  ExpectReadBack(dir / "alpha.gif", p.image, index, true);

  // A 24-bit picture's alpha carries nothing: no transparency, or it would all be transparent.
  ASSERT_TRUE(ImageResize(p.image, 3, 1));
  p.image->bitsPerPixel = 24;
  p.image->pixels = {0x000001, p.image->palette[100], 0x000002};
  ImageSaveGif(dir / "rgb.gif", p.image);
  EXPECT_EQ(ReadFile(dir / "rgb.gif").substr(13 + 768, 4), "\x21\xF9\x04\x08");
  ExpectReadBack(dir / "rgb.gif", p.image, {0, 100, 0}, false);
}

}  // namespace

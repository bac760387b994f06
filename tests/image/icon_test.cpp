// Icon, cursor and animated-cursor readers and the icon writer: hand-built and ImageMagick-made
// files against ImageMagick's decode, and damaged files.
#include <gtest/gtest.h>

#include <random>

#include "image/image_formats.h"
#include "image/image_test_support.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

struct picture {
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  ~picture() { ImageFree(chain); }
};

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

int ChainLength(const imageData* image) {
  int length = 0;
  for (; image != nullptr; image = image->next) ++length;
  return length;
}

// A bitmap picture of an icon file. values are top-down: palette indices for 1 to 8 bits, the raw
// 5-5-5 value for 16 bits, 0xAARRGGBB for 24 and 32 bits; mask is top-down, 1 = transparent.
struct handPicture {
  int width, height, bits;
  std::vector<uint32_t> table, values;
  std::vector<int> mask;

  std::string Bytes(uint32_t usedColours = 0) const {
    std::string out = LE32(40) + LE32(width) + LE32(height * 2) + LE16(1) + LE16(bits) + std::string(16, '\0') +
                      LE32(usedColours) + LE32(0);
    for (uint32_t c : table) out += LE32(c & 0xFFFFFF);
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
      std::string row(stride, '\0');
      for (int x = 0; x < width; ++x) {
        const uint32_t v = values[static_cast<size_t>(y) * width + x];
        if (bits <= 8) {
          row[x * bits / 8] = static_cast<char>(row[x * bits / 8] | (v << (8 - bits - x * bits % 8)));
        } else {
          for (int b = 0; b < bits / 8; ++b) row[x * bits / 8 + b] = static_cast<char>(v >> (8 * b));
        }
      }
      out += row;
    }
    for (int y = height - 1; y >= 0; --y) {
      std::string row(maskStride, '\0');
      for (int x = 0; x < width; ++x) {
        if (mask[static_cast<size_t>(y) * width + x]) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
      }
      out += row;
    }
    return out;
  }

  // What the reader must give: mask bit 1 -> alpha 0, else 255; 32 bits keep their alpha.
  std::vector<uint32_t> Expected() const {
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i < values.size(); ++i) {
      const uint32_t v = values[i];
      uint32_t colour = bits <= 8 ? table[v] & 0xFFFFFF
                        : bits == 16
                            ? (((v >> 10) & 31) * 255 / 31) << 16 | (((v >> 5) & 31) * 255 / 31) << 8 | (v & 31) * 255 / 31
                            : v & 0xFFFFFF;
      pixels.push_back(colour | (bits == 32 ? v & 0xFF000000u : mask[i] ? 0 : 0xFF000000u));
    }
    return pixels;
  }
};

handPicture RandomPicture(std::mt19937& random, int width, int height, int bits) {
  handPicture p{width, height, bits, {}, {}, {}};
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i) p.table.push_back(random() & 0xFFFFFF);
  }
  for (int i = 0; i < width * height; ++i) {
    p.values.push_back(bits <= 8 ? random() % (1u << bits) : bits == 16 ? random() & 0x7FFF : random());
    p.mask.push_back(random() % 3 == 0);
  }
  return p;
}

// An icon (type 1) or cursor (type 2) file of the given pictures.
std::string IconFile(const std::vector<std::string>& pictures, uint16_t type = 1) {
  std::string out = LE16(0) + LE16(type) + LE16(static_cast<uint32_t>(pictures.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(pictures.size());
  for (const std::string& p : pictures) {
    // Width, height and depth from the picture's header, as other readers want them.
    auto field = [&](size_t at) { return p.size() >= 16 ? static_cast<uint8_t>(p[at]) : 0u; };
    out += {static_cast<char>(field(4)), static_cast<char>(field(8) / 2 + field(9) * 128), '\0', '\0'};
    out += LE16(1) + LE16(field(14)) + LE32(static_cast<uint32_t>(p.size())) + LE32(offset);
    offset += static_cast<uint32_t>(p.size());
  }
  for (const std::string& p : pictures) out += p;
  return out;
}

std::string Chunk(const std::string& id, const std::string& content) {
  return id + LE32(static_cast<uint32_t>(content.size())) + content + (content.size() % 2 ? std::string(1, '\0') : "");
}

// ImageMagick's decode of picture `index` of a file.
RgbaPicture Magick(const std::string& file, int index = 0) {
  RgbaPicture picture;
  const std::string pam = file + "." + std::to_string(index) + ".pam";
  EXPECT_TRUE(RunCommand("convert '" + file + "[" + std::to_string(index) + "]' -alpha set -depth 8 PAM:'" + pam + "'"));
  EXPECT_TRUE(ReadPam(pam, picture));
  return picture;
}

// Same size and pixels; colours compared only where the reference is visible.
::testing::AssertionResult SameAs(const imageData* image, const RgbaPicture& ref) {
  if (image->width != ref.width || image->height != ref.height) {
    return ::testing::AssertionFailure() << "size " << image->width << "x" << image->height << " vs " << ref.width << "x"
                                         << ref.height;
  }
  for (size_t i = 0; i < ref.pixels.size(); ++i) {
    const uint32_t ours = image->pixels[i], theirs = ref.pixels[i];
    if ((ours >> 24) != (theirs >> 24) || ((theirs >> 24) != 0 && ours != theirs)) {
      return ::testing::AssertionFailure() << "pixel " << i << ": ours " << std::hex << ours << ", reference " << theirs;
    }
  }
  return ::testing::AssertionSuccess();
}

class IconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  }
  TempDir dir;
};

TEST_F(IconTest, HandBuiltPicturesAtEveryDepth) {
  std::mt19937 random(5);
  for (int bits : {1, 2, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const handPicture hand = RandomPicture(random, 13, 7, bits);  // odd width: padded rows
    const std::string file = IconFile({hand.Bytes()});
    picture p;
    ImageDecodeIcon(Bytes(file), p.image, 1, 0);
    EXPECT_EQ(p.image->bitsPerPixel, bits);
    EXPECT_EQ(p.image->pixels, hand.Expected());
    if (bits == 2 || bits == 16) continue;  // depths ImageMagick's icon reader does not take
    ASSERT_TRUE(WriteFile(dir / "hand.ico", file));
    EXPECT_TRUE(SameAs(p.image, Magick(dir / "hand.ico")));
  }

  // A used-colour count shorter than the depth's table; a 32-bit picture whose alpha is 0 everywhere
  // takes its transparency from the mask.
  handPicture few{3, 1, 4, {0x102030, 0x405060}, {1, 0, 1}, {0, 0, 1}};
  picture p;
  ImageDecodeIcon(Bytes(IconFile({few.Bytes(2)})), p.image, 1, 0);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0xFF405060, 0xFF102030, 0x00405060}));
  handPicture noAlpha{2, 1, 32, {}, {0x00ABCDEF, 0x00123456}, {1, 0}};
  ImageDecodeIcon(Bytes(IconFile({noAlpha.Bytes()})), p.image, 1, 0);
  EXPECT_EQ(p.image->pixels, (std::vector<uint32_t>{0x00ABCDEF, 0xFF123456}));
}

TEST_F(IconTest, ImageMagickIconsAndCursors) {
  ASSERT_TRUE(RunCommand("convert -size 40x30 -seed 3 plasma:fractal -alpha set -channel A -fx 'i<9?0:1' +channel '" +
                         dir / "base.png" + "'"));
  struct variant {
    const char* name;
    const char* options;
    int pictures;
  };
  const variant variants[] = {{"c2.ico", "-colors 2", 1},
                              {"c16.ico", "-colors 16", 1},
                              {"c200.ico", "-colors 200", 1},
                              {"true.ico", "", 1},
                              {"sizes.ico", "-define icon:auto-resize=32,16", 2},
                              {"cursor.cur", "-colors 16", 1}};
  for (const variant& v : variants) {
    SCOPED_TRACE(v.name);
    ASSERT_TRUE(RunCommand("convert '" + dir / "base.png" + "' " + v.options + " '" + dir / v.name + "'"));
    picture p;
    ImageLoadIcon(dir / v.name, p.image, 1, 0);
    ASSERT_EQ(ChainLength(p.chain), v.pictures);
    int index = 0;
    for (const imageData* image = p.chain; image != nullptr; image = image->next, ++index) {
      EXPECT_EQ(image->frameIndex, index + 1);
      EXPECT_TRUE(SameAs(image, Magick(dir / v.name, index)));
    }
  }
}

TEST(IconReader, PictureSelectionAndChain) {
  std::mt19937 random(9);
  const handPicture a = RandomPicture(random, 4, 4, 8), b = RandomPicture(random, 5, 3, 24), c = RandomPicture(random, 2, 2, 1);
  const std::string png = "\x89PNG\r\n\x1A\n" + std::string(40, '\0');
  const auto file = Bytes(IconFile({a.Bytes(), b.Bytes(), png, c.Bytes()}, 2));

  picture all;
  ImageDecodeIcon(file, all.image, 1, 0);
  ASSERT_EQ(ChainLength(all.chain), 4);
  EXPECT_EQ(all.image->pixels, a.Expected());
  EXPECT_EQ(all.image->next->pixels, b.Expected());
  EXPECT_TRUE(all.image->next->next->substitute);  // PNG-compressed picture
  EXPECT_EQ(all.image->next->next->next->pixels, c.Expected());
  EXPECT_EQ(all.image->next->next->next->frameIndex, 4);
  EXPECT_EQ(all.image->next->next->next->previous, all.image->next->next);

  picture middle;
  ImageDecodeIcon(file, middle.image, 2, 2);
  ASSERT_EQ(ChainLength(middle.chain), 1);
  EXPECT_EQ(middle.image->frameIndex, 2);
  EXPECT_EQ(middle.image->pixels, b.Expected());

  picture beyond;
  ImageDecodeIcon(file, beyond.image, 5, 0);
  EXPECT_EQ(ChainLength(beyond.chain), 1);
  EXPECT_EQ(beyond.image->width, 0);
  EXPECT_FALSE(beyond.image->substitute);
}

TEST(AniReader, RiffWithTwoIcons) {
  std::mt19937 random(2);
  const handPicture a = RandomPicture(random, 3, 3, 4), b = RandomPicture(random, 6, 2, 32), c = RandomPicture(random, 1, 1, 8);
  const std::string first = IconFile({a.Bytes()}) + "x", second = IconFile({b.Bytes(), c.Bytes()}, 2);  // odd length
  const std::string content = "ACON" + Chunk("anih", std::string(36, '\1')) +
                              Chunk("LIST", "INFO" + Chunk("INAM", "name")) + Chunk("rate", LE32(10) + LE32(10)) +
                              Chunk("seq ", LE32(1) + LE32(0)) + Chunk("LIST", "fram" + Chunk("icon", first) + Chunk("Icon", second));
  const std::string ani = "riff" + LE32(static_cast<uint32_t>(content.size())) + content;
  picture p;
  ImageDecodeAni(Bytes(ani), p.image);
  ASSERT_EQ(ChainLength(p.chain), 3);
  EXPECT_EQ(p.image->pixels, a.Expected());
  EXPECT_EQ(p.image->frameIndex, 1);
  EXPECT_EQ(p.image->next->pixels, b.Expected());
  EXPECT_EQ(p.image->next->frameIndex, 2);
  EXPECT_EQ(p.image->next->next->pixels, c.Expected());
  EXPECT_EQ(p.image->next->next->frameIndex, 2);

  for (const std::string& bad : {std::string("RIFX") + ani.substr(4), "RIFF" + LE32(12) + "WAVE" + Chunk("data", "abcd")}) {
    picture q;
    ImageDecodeAni(Bytes(bad), q.image);
    EXPECT_TRUE(q.image->substitute);
    EXPECT_EQ(ChainLength(q.chain), 1);
  }

  // Truncated at every length: no crash, and every picture is either whole or the substitute.
  for (size_t length = 0; length < ani.size(); ++length) {
    picture q;
    ImageDecodeAni(Bytes(ani.substr(0, length)), q.image);
    const std::vector<uint32_t> expected[] = {a.Expected(), b.Expected(), c.Expected()};
    int index = 0;
    for (const imageData* image = q.chain; image != nullptr; image = image->next, ++index) {
      ASSERT_LT(index, 3) << length;
      ASSERT_TRUE(image->substitute || image->pixels == expected[index]) << length << " " << index;
    }
  }
}

TEST(IconReader, DamagedAndOversizedFiles) {
  std::mt19937 random(4);
  const handPicture a = RandomPicture(random, 9, 5, 4), b = RandomPicture(random, 4, 4, 32);
  const std::string file = IconFile({a.Bytes(), b.Bytes()});
  for (size_t length = 0; length < file.size(); ++length) {
    picture p;
    ImageDecodeIcon(Bytes(file.substr(0, length)), p.image, 1, 0);
    ASSERT_TRUE(p.image->substitute || p.image->pixels == a.Expected()) << length;
    if (p.image->next) {
      ASSERT_TRUE(p.image->next->substitute || p.image->next->pixels == b.Expected()) << length;
    }
  }

  // Headers claiming more than the file holds: bad reserved or type fields, 65535 directory entries,
  // a 16384 x 16384 or an oversized picture, a colour table of 1000 entries.
  std::string header = a.Bytes();
  auto withField = [&](size_t offset, const std::string& value) { return IconFile({header.substr(0, offset) + value + header.substr(offset + value.size())}); };
  const std::string bad[] = {LE16(1) + file.substr(2), LE16(0) + LE16(3) + file.substr(4), file.substr(0, 4) + LE16(65535) + file.substr(6),
                             withField(4, LE32(16384) + LE32(32768)), withField(4, LE32(20000) + LE32(2)),
                             withField(32, LE32(1000)), withField(14, LE16(3))};
  for (const std::string& b : bad) {
    picture p;
    ImageDecodeIcon(Bytes(b), p.image, 1, 0);
    EXPECT_TRUE(p.image->substitute);
    EXPECT_EQ(p.image->width, 16);
  }

  // Thousands of directory entries sharing one 256 x 256 picture: the chain stops at a bound taken
  // from the file size instead of allocating 65536 pixels per entry.
  handPicture big{256, 256, 1, {0, 0xFFFFFF}, std::vector<uint32_t>(65536, 1), std::vector<int>(65536, 0)};
  std::string shared = LE16(0) + LE16(1) + LE16(4000);
  for (int i = 0; i < 4000; ++i) shared += std::string(12, '\0') + LE32(6 + 16 * 4000);
  shared += big.Bytes();
  picture p;
  ImageDecodeIcon(Bytes(shared), p.image, 1, 0);
  uint64_t pixels = 0;
  for (const imageData* image = p.chain; image != nullptr; image = image->next) pixels += image->pixels.size();
  EXPECT_EQ(p.image->pixels, big.Expected());
  EXPECT_LE(pixels, shared.size() * 16 + 65536);
}

// ---------------------------------------------------------------------------------------------
// Writer

TEST_F(IconTest, WriterOutputReadsBackInBothReaders) {
  std::mt19937 random(8);
  for (int bits : {1, 2, 4, 8, 24, 32}) {
    for (bool transparent : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (transparent ? " with mask" : ""));
      picture p;
      ASSERT_TRUE(ImageResize(p.image, 19, 11));
      p.image->bitsPerPixel = static_cast<uint8_t>(bits);
      for (uint32_t& entry : p.image->palette) entry = random() & 0xFFFFFF;
      std::vector<uint32_t> expected;
      for (uint32_t& pixel : p.image->pixels) {
        const uint32_t colour = bits <= 8 ? p.image->palette[random() % (1u << bits)] : random() & 0xFFFFFF;
        const uint32_t alpha = !transparent ? 0 : random() % 4 == 0 ? 0 : bits == 32 ? 1 + random() % 255 : 255;
        pixel = colour | alpha << 24;
        // Without alpha information the written picture is opaque.
        expected.push_back(colour | (transparent ? alpha << 24 : 0xFF000000u));
      }
      ImageSaveIcon(dir / "out.ico", p.image);
      picture back;
      ImageLoadIcon(dir / "out.ico", back.image, 1, 0);
      EXPECT_EQ(back.image->bitsPerPixel, bits == 2 ? 4 : bits);
      EXPECT_EQ(back.image->pixels, expected);
      EXPECT_TRUE(SameAs(back.image, Magick(dir / "out.ico")));
    }
  }
  picture p;
  ASSERT_TRUE(ImageResize(p.image, 2, 2));
  p.image->pixels = {0xFF00FF00, 0, 0xFF0000FF, 0xFFFF0000};
  ImageSaveIcon(dir / "out.cur", p.image);
  EXPECT_EQ(ReadFile(dir / "out.cur").substr(0, 4), LE16(0) + LE16(2));
  picture back;
  ImageLoadIcon(dir / "out.cur", back.image, 1, 0);
  EXPECT_EQ(back.image->pixels, p.image->pixels);
  EXPECT_TRUE(SameAs(back.image, Magick(dir / "out.cur")));
}

}  // namespace

// Icon, cursor and animated-cursor readers and the icon writer: hand-built and ImageMagick-made
// files against ImageMagick's decode, and damaged files.
#include <gtest/gtest.h>

#include <random>

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

std::vector<const imageData*> Chain(const imageData* image) {
  std::vector<const imageData*> all;
  for (; image != nullptr; image = image->next) all.push_back(image);
  return all;
}

// A bitmap picture of an icon file with random content. values are top-down: palette indices for
// 1 to 8 bits, the raw 5-5-5 value for 16 bits, 0xAARRGGBB for 24 and 32 bits; mask 1 = transparent.
struct handPicture {
  int width, height, bits;
  std::vector<uint32_t> table, values;
  std::vector<int> mask;

  handPicture(std::mt19937& random, int w, int h, int b) : width(w), height(h), bits(b) {
    for (int i = 0; b <= 8 && i < (1 << b); ++i) table.push_back(random() & 0xFFFFFF);
    for (int i = 0; i < w * h; ++i) {
      values.push_back(b <= 8 ? random() % (1u << b) : b == 16 ? random() & 0x7FFF : random());
      mask.push_back(random() % 3 == 0);
    }
  }

  std::string Bytes(uint32_t usedColours = 0) const {
    std::string out = LE32(40) + LE32(width) + LE32(height * 2) + LE16(1) + LE16(bits) + std::string(16, '\0') +
                      LE32(usedColours) + LE32(0);
    for (uint32_t c : table) out += LE32(c);
    std::string masks;
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4, maskStride = (width + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
      std::string row(stride, '\0'), maskRow(maskStride, '\0');
      for (int x = 0; x < width; ++x) {
        const uint32_t v = values[static_cast<size_t>(y) * width + x];
        for (int b = 0; b < std::max(bits / 8, 1); ++b) {
          row[x * bits / 8 + b] |= static_cast<char>(bits < 8 ? v << (8 - bits - x * bits % 8) : v >> (8 * b));
        }
        if (mask[static_cast<size_t>(y) * width + x]) maskRow[x / 8] |= static_cast<char>(0x80 >> (x % 8));
      }
      out += row;
      masks += maskRow;
    }
    return out + masks;
  }

  // What the reader must give: mask bit 1 -> alpha 0, else 255; 32 bits keep their alpha.
  std::vector<uint32_t> Expected() const {
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i < values.size(); ++i) {
      const uint32_t v = values[i];
      auto c5 = [&](int shift) { return ((v >> shift) & 31) * 255 / 31; };
      const uint32_t colour = bits <= 8 ? table[v] : bits == 16 ? c5(10) << 16 | c5(5) << 8 | c5(0) : v & 0xFFFFFF;
      pixels.push_back(colour | (bits == 32 ? v & 0xFF000000u : mask[i] ? 0 : 0xFF000000u));
    }
    return pixels;
  }
};

// An icon (type 1) or cursor (type 2) file; directory sizes and depth taken from the pictures.
std::string IconFile(const std::vector<std::string>& pictures, uint16_t type = 1) {
  std::string out = LE16(0) + LE16(type) + LE16(static_cast<uint32_t>(pictures.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(pictures.size());
  for (const std::string& p : pictures) {
    auto field = [&](size_t at) { return static_cast<char>(p.size() > 16 ? p[at] : 0); };
    out += {field(4), static_cast<char>((static_cast<uint8_t>(field(8)) >> 1) | field(9) << 7), 0, 0};
    out += LE16(1) + LE16(static_cast<uint8_t>(field(14))) + LE32(static_cast<uint32_t>(p.size())) + LE32(offset);
    offset += static_cast<uint32_t>(p.size());
  }
  for (const std::string& p : pictures) out += p;
  return out;
}

std::string Chunk(const std::string& id, const std::string& content) {
  return id + LE32(static_cast<uint32_t>(content.size())) + content + std::string(content.size() % 2, '\0');
}

// ImageMagick's decode of picture `index` of a file.
RgbaPicture Magick(const std::string& file, size_t index = 0) {
  RgbaPicture picture;
  const std::string pam = file + std::to_string(index) + ".pam";
  EXPECT_TRUE(RunCommand("convert '" + file + "[" + std::to_string(index) + "]' -alpha set -depth 8 PAM:'" + pam + "'"));
  EXPECT_TRUE(ReadPam(pam, picture));
  return picture;
}

// Same size, same alpha everywhere, same colour where visible.
::testing::AssertionResult SameAs(const imageData* image, const RgbaPicture& ref) {
  if (image->width != ref.width || image->height != ref.height) return ::testing::AssertionFailure() << "size differs";
  for (size_t i = 0; i < ref.pixels.size(); ++i) {
    const uint32_t ours = image->pixels[i], theirs = ref.pixels[i];
    if ((ours >> 24) != (theirs >> 24) || ((theirs >> 24) != 0 && ours != theirs)) {
      return ::testing::AssertionFailure() << "pixel " << i << ": " << std::hex << ours << " vs " << theirs;
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

TEST_F(IconTest, MatchesImageMagick) {
  std::mt19937 random(5);
  for (int bits : {1, 2, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const handPicture hand(random, 13, 7, bits);  // odd width: padded rows
    const std::string file = IconFile({hand.Bytes()});
    picture p;
    ImageDecodeIcon(Bytes(file), p.image, 1, 0);
    EXPECT_EQ(p.image->bitsPerPixel, bits);
    EXPECT_EQ(p.image->pixels, hand.Expected());
    if (bits == 2 || bits == 16) continue;  // depths ImageMagick's icon reader does not take
    ASSERT_TRUE(WriteFile(dir / "hand.ico", file));
    EXPECT_TRUE(SameAs(p.image, Magick(dir / "hand.ico")));
  }

  ASSERT_TRUE(RunCommand("convert -size 40x30 -seed 3 plasma:fractal -alpha set -channel A -fx 'i<9?0:1' +channel '" +
                         dir / "base.png" + "'"));
  for (const std::string name : {"c2.ico", "c16.ico", "c200.ico", "true.ico", "sizes.ico", "cursor.cur"}) {
    SCOPED_TRACE(name);
    const std::string options = name == "c2.ico" ? "-colors 2" : name == "c200.ico" ? "-colors 200"
                                : name == "sizes.ico" ? "\\( +clone -resize 16x12 \\)" : name == "true.ico" ? "" : "-colors 16";
    ASSERT_TRUE(RunCommand("convert '" + dir / "base.png" + "' " + options + " '" + dir / name + "'"));
    picture p;
    ImageLoadIcon(dir / name, p.image, 1, 0);
    const auto pictures = Chain(p.chain);
    EXPECT_EQ(pictures.size(), name == "sizes.ico" ? 2u : 1u);
    for (size_t i = 0; i < pictures.size(); ++i) {
      EXPECT_EQ(pictures[i]->frameIndex, static_cast<int>(i + 1));
      EXPECT_TRUE(SameAs(pictures[i], Magick(dir / name, i)));
    }
  }
}

TEST(IconReader, SelectionChainAndSpecialPictures) {
  std::mt19937 random(9);
  const handPicture a(random, 4, 4, 8), b(random, 5, 3, 24), c(random, 2, 2, 1);
  const std::string png = "\x89PNG\r\n\x1A\n" + std::string(40, '\0');
  const auto file = Bytes(IconFile({a.Bytes(), b.Bytes(), png, c.Bytes()}, 2));
  picture all;
  ImageDecodeIcon(file, all.image, 1, 0);
  const auto pictures = Chain(all.chain);
  ASSERT_EQ(pictures.size(), 4u);
  EXPECT_EQ(pictures[0]->pixels, a.Expected());
  EXPECT_EQ(pictures[1]->pixels, b.Expected());
  EXPECT_TRUE(pictures[2]->substitute);  // PNG-compressed
  EXPECT_EQ(pictures[3]->pixels, c.Expected());
  EXPECT_EQ(pictures[3]->frameIndex, 4);
  EXPECT_EQ(pictures[3]->previous, pictures[2]);

  picture middle, beyond;
  ImageDecodeIcon(file, middle.image, 2, 2);
  ASSERT_EQ(Chain(middle.chain).size(), 1u);
  EXPECT_EQ(middle.image->frameIndex, 2);
  EXPECT_EQ(middle.image->pixels, b.Expected());
  ImageDecodeIcon(file, beyond.image, 5, 0);  // beyond the count: nothing
  EXPECT_EQ(Chain(beyond.chain).size(), 1u);
  EXPECT_EQ(beyond.image->width, 0);

  // A used-colour count below the depth's table; a 32-bit picture whose alpha is 0 everywhere takes
  // its transparency from the mask.
  handPicture few(random, 3, 1, 4), noAlpha(random, 2, 1, 32);
  few.table = {0x102030, 0x405060};
  few.values = {1, 0, 1};
  few.mask = {0, 0, 1};
  noAlpha.values = {0x00ABCDEF, 0x00123456};
  noAlpha.mask = {1, 0};
  picture special;
  ImageDecodeIcon(Bytes(IconFile({few.Bytes(2), noAlpha.Bytes()})), special.image, 1, 0);
  EXPECT_EQ(special.image->pixels, (std::vector<uint32_t>{0xFF405060, 0xFF102030, 0x00405060}));
  EXPECT_EQ(special.image->next->pixels, (std::vector<uint32_t>{0x00ABCDEF, 0xFF123456}));
}

TEST(AniReader, RiffWithTwoIcons) {
  std::mt19937 random(2);
  const handPicture a(random, 3, 3, 4), b(random, 6, 2, 32), c(random, 1, 1, 8);
  const std::string content = "ACON" + Chunk("anih", std::string(36, '\1')) + Chunk("LIST", "INFO" + Chunk("INAM", "name")) +
                              Chunk("rate", LE32(10) + LE32(10)) + Chunk("seq ", LE32(1) + LE32(0)) +
                              Chunk("LIST", "fram" + Chunk("icon", IconFile({a.Bytes()}) + "x") +  // odd length
                                                Chunk("Icon", IconFile({b.Bytes(), c.Bytes()}, 2)));
  const std::string ani = "riff" + LE32(static_cast<uint32_t>(content.size())) + content;
  const std::vector<uint32_t> expected[] = {a.Expected(), b.Expected(), c.Expected()};
  picture p;
  ImageDecodeAni(Bytes(ani), p.image);
  const auto pictures = Chain(p.chain);
  ASSERT_EQ(pictures.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(pictures[i]->pixels, expected[i]);
    EXPECT_EQ(pictures[i]->frameIndex, i == 0 ? 1 : 2);  // numbered by icon
  }

  for (const std::string& bad : {"RIFX" + ani.substr(4), "RIFF" + LE32(12) + "WAVE" + Chunk("data", "abcd")}) {
    picture q;
    ImageDecodeAni(Bytes(bad), q.image);
    EXPECT_TRUE(q.image->substitute);
  }
  // Truncated at every length: every picture is either whole or the substitute.
  for (size_t length = 0; length < ani.size(); ++length) {
    picture q;
    ImageDecodeAni(Bytes(ani.substr(0, length)), q.image);
    const auto got = Chain(q.chain);
    ASSERT_LE(got.size(), 3u);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(got[i]->substitute || got[i]->pixels == expected[i]) << length;
  }
}

TEST(IconReader, DamagedAndOversizedFiles) {
  std::mt19937 random(4);
  const handPicture a(random, 9, 5, 4), b(random, 4, 4, 32);
  const std::string file = IconFile({a.Bytes(), b.Bytes()});
  for (size_t length = 0; length < file.size(); ++length) {
    picture p;
    ImageDecodeIcon(Bytes(file.substr(0, length)), p.image, 1, 0);
    ASSERT_TRUE(p.image->substitute || p.image->pixels == a.Expected()) << length;
    ASSERT_TRUE(!p.image->next || p.image->next->substitute || p.image->next->pixels == b.Expected()) << length;
  }

  // Bad reserved or type fields, 65535 directory entries, a 16384 x 16384 picture in a small file,
  // a side above the cap, 1000 colours, a depth of 3 bits: the substitute.
  const std::string header = a.Bytes();
  auto with = [&](size_t at, const std::string& value) { return IconFile({header.substr(0, at) + value + header.substr(at + value.size())}); };
  for (const std::string& bad : {LE16(1) + file.substr(2), LE16(0) + LE16(3) + file.substr(4), file.substr(0, 4) + LE16(65535) + file.substr(6),
                                 with(4, LE32(16384) + LE32(32768)), with(4, LE32(20000)), with(32, LE32(1000)), with(14, LE16(3))}) {
    picture p;
    ImageDecodeIcon(Bytes(bad), p.image, 1, 0);
    EXPECT_TRUE(p.image->substitute);
    EXPECT_EQ(p.image->width, 16);
  }

  // 4000 directory entries sharing one 256 x 256 picture: the chain stops at a bound taken from
  // the file's size instead of allocating 65536 pixels for each entry.
  std::string shared = LE16(0) + LE16(1) + LE16(4000);
  for (int i = 0; i < 4000; ++i) shared += std::string(12, '\0') + LE32(6 + 16 * 4000);
  shared += handPicture(random, 256, 256, 1).Bytes();
  picture p;
  ImageDecodeIcon(Bytes(shared), p.image, 1, 0);
  size_t pixels = 0;
  for (const imageData* image : Chain(p.chain)) pixels += image->pixels.size();
  EXPECT_FALSE(p.image->substitute);
  EXPECT_LE(pixels, shared.size() * 16 + 65536);
}

TEST_F(IconTest, WriterOutputReadsBackInBothReaders) {
  std::mt19937 random(8);
  for (int bits : {1, 2, 4, 8, 24, 32}) {
    for (bool alpha : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (alpha ? " with alpha" : ""));
      picture p;
      ASSERT_TRUE(ImageResize(p.image, 19, 11));
      p.image->bitsPerPixel = static_cast<uint8_t>(bits);
      for (uint32_t& entry : p.image->palette) entry = random() & 0xFFFFFF;
      std::vector<uint32_t> expected;
      for (uint32_t& pixel : p.image->pixels) {
        const uint32_t colour = bits <= 8 ? p.image->palette[random() % (1u << bits)] : random() & 0xFFFFFF;
        const uint32_t a = !alpha || random() % 4 == 0 ? 0 : bits == 32 ? 1 + random() % 255 : 255;
        pixel = colour | a << 24;
        expected.push_back(colour | (alpha ? a << 24 : 0xFF000000u));  // no alpha information: opaque
      }
      ImageSaveIcon(dir / "out.ico", p.image);
      picture back;
      ImageLoadIcon(dir / "out.ico", back.image, 1, 0);
      EXPECT_EQ(back.image->bitsPerPixel, bits == 2 ? 4 : bits);
      EXPECT_EQ(back.image->pixels, expected);
      EXPECT_TRUE(SameAs(back.image, Magick(dir / "out.ico")));
    }
  }
  picture p, back;
  ASSERT_TRUE(ImageResize(p.image, 2, 2));
  p.image->pixels = {0xFF00FF00, 0, 0xFF0000FF, 0xFFFF0000};
  ImageSaveIcon(dir / "out.cur", p.image);
  EXPECT_EQ(ReadFile(dir / "out.cur").substr(0, 4), LE16(0) + LE16(2));
  ImageLoadIcon(dir / "out.cur", back.image, 1, 0);
  EXPECT_EQ(back.image->pixels, p.image->pixels);
  EXPECT_TRUE(SameAs(back.image, Magick(dir / "out.cur")));
}

}  // namespace

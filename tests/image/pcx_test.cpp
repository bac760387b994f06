// PCX reader: hand-built files, files from ImageMagick and netpbm, the shared samples, and
// damaged input.
#include <gtest/gtest.h>

#include <iterator>

#include "image/picture_checks.h"

using namespace tftest;
using namespace std::string_literals;

namespace {

std::string Header(uint8_t bitsPerPlane, uint8_t planes, int width, int height, uint16_t bytesPerLine,
                   uint8_t version = 5, int xMin = 0, int yMin = 0) {
  std::string header(128, '\0');
  header[0] = 10;
  header[1] = static_cast<char>(version);
  header[2] = 1;
  header[3] = static_cast<char>(bitsPerPlane);
  header.replace(4, 8, LE16(xMin) + LE16(yMin) + LE16(xMin + width - 1) + LE16(yMin + height - 1));
  header[65] = static_cast<char>(planes);
  header.replace(66, 2, LE16(bytesPerLine));
  header[68] = 1;
  return header;
}

// Scan-line bytes coded the simplest way: bytes of 192 and above as runs of one.
std::string Literals(const std::string& bytes) {
  std::string coded;
  for (char c : bytes) {
    if (static_cast<uint8_t>(c) >= 0xC0) coded += '\xC1';
    coded += c;
  }
  return coded;
}

std::string Palette(uint32_t (*colour)(int)) {
  std::string block = "\x0C";
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = colour(i);
    block += static_cast<char>(c >> 16);
    block += static_cast<char>(c >> 8);
    block += static_cast<char>(c);
  }
  return block;
}

class imagePcx : public PictureTest {};

}  // namespace

TEST_F(imagePcx, DecodesMonochromeIndexedAndThreePlaneFiles) {
  // One 1-bit plane, width 10 (2 bytes a line): a set bit is white, the first pixel the top bit.
  PictureChain mono;
  DecodeInto(ImageDecodePcx, Header(1, 1, 10, 2, 2) + Literals("\x80\x40\xFF\xC0"s), mono);
  ASSERT_FALSE(mono->substitute);
  EXPECT_EQ(mono->bitsPerPixel, 1);
  const uint32_t w = 0xFFFFFF;
  EXPECT_EQ(mono->pixels, (std::vector<uint32_t>{w, 0, 0, 0, 0, 0, 0, 0, 0, w, w, w, w, w, w, w, w, w, w, w}));

  // One 8-bit plane, the width from xmin and xmax; the table sits 769 bytes before the end.
  PictureChain indexed;
  DecodeInto(ImageDecodePcx,
             Header(8, 1, 3, 1, 4, 5, 100, 7) + Literals("\x01\xFE\x00\x00"s) +
                 Palette([](int i) { return static_cast<uint32_t>(i * 0x010203 & 0xFFFFFF); }),
             indexed);
  ASSERT_FALSE(indexed->substitute);
  EXPECT_EQ(indexed->width, 3);
  EXPECT_EQ(indexed->bitsPerPixel, 8);
  EXPECT_EQ(indexed->pixels, (std::vector<uint32_t>{0x010203, 0xFE * 0x010203 & 0xFFFFFF, 0}));

  // Three planes: the red, green and blue lines of a row, bytes-per-line apart.
  PictureChain rgb;
  DecodeInto(ImageDecodePcx, Header(8, 3, 2, 1, 2) + Literals("\x10\x11\x20\x21\x30\x31"s), rgb);
  EXPECT_EQ(rgb->bitsPerPixel, 24);
  EXPECT_EQ(rgb->pixels, (std::vector<uint32_t>{0x102030, 0x112131}));
}

TEST_F(imagePcx, RunsStopAtTheEndOfTheScanLine) {
  // A run of 63 in a 4-byte line fills the line; the next line starts with the next code. A
  // run of 0 writes nothing.
  PictureChain picture;
  DecodeInto(ImageDecodePcx, Header(8, 1, 4, 2, 4, 3) + "\xFF\x07\xC0\x09\x01\xC2\x02\x03"s, picture);
  ASSERT_FALSE(picture->substitute);
  // Version 3 has no colour table: indices are grey levels.
  const uint32_t g = 0x010101;
  EXPECT_EQ(picture->pixels, (std::vector<uint32_t>{7 * g, 7 * g, 7 * g, 7 * g, 1 * g, 2 * g, 2 * g, 3 * g}));

  // Version 5 without the table's marker byte also gives grey levels.
  PictureChain unmarked;
  DecodeInto(ImageDecodePcx, Header(8, 1, 2, 1, 2) + "\x05\x06"s + std::string(769, '\x44'), unmarked);
  EXPECT_EQ(unmarked->pixels, (std::vector<uint32_t>{5 * g, 6 * g}));
}

TEST_F(imagePcx, OtherLayoutsAndBrokenHeadersGiveTheSubstitute) {
  const std::string data(256, '\x01');
  const std::string files[] = {
      Header(1, 4, 8, 2, 2) + data,   // 16-colour planes
      Header(8, 4, 8, 2, 8) + data,   // four 8-bit planes
      Header(8, 2, 8, 2, 8) + data,
      Header(4, 1, 8, 2, 4) + data,
      Header(2, 1, 8, 2, 2) + data,
      Header(8, 1, 8, 2, 7) + data,   // line shorter than the row
      Header(1, 1, 9, 2, 1) + data,
      Header(8, 1, 8, 2, 0) + data,
      Header(8, 1, 0, 2, 8) + data,   // xmax below xmin
      "\x0B" + Header(8, 1, 8, 2, 8).substr(1) + data,  // not a PCX file
      Header(8, 1, 8, 2, 8).substr(0, 127),
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    PictureChain picture;
    DecodeInto(ImageDecodePcx, files[i], picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << "file " << i;
  }
}

TEST_F(imagePcx, MatchesReferenceDecodersOnFilesTheyWrite) {
  if (!HaveTool("convert") || !HaveTool("pcxtoppm") || !HaveTool("ppmtopcx")) GTEST_SKIP() << "tools missing";
  const RgbaPicture photo = PhotoLike(53, 21);
  ASSERT_TRUE(WritePam(Path("photo.pam"), photo));
  RgbaPicture mono = photo;
  for (uint32_t& p : mono.pixels) p = (p & 0x800000) != 0 ? 0xFFFFFFFFu : 0xFF000000u;
  ASSERT_TRUE(WritePam(Path("mono.pam"), mono));

  // ImageMagick 6.9 swaps black and white in 1-bit files: netpbm makes and checks those.
  struct Variant {
    const char* name;
    std::string command;
    int bits;
    const RgbaPicture* source;  // the exact picture, when the file is lossless
  };
  const Variant variants[] = {
      {"pal8.pcx", "convert '" + Path("photo.pam") + "' -colors 256 -type palette '" + Path("pal8.pcx") + "'", 8, nullptr},
      {"rgb.pcx", "convert '" + Path("photo.pam") + "' -type truecolor '" + Path("rgb.pcx") + "'", 24, &photo},
      {"mono.pcx", "convert '" + Path("mono.pam") + "' -alpha off ppm:- | ppmtopcx > '" + Path("mono.pcx") + "'", 1, &mono},
      {"pal8n.pcx", "convert '" + Path("photo.pam") + "' -alpha off ppm:- | pnmquant 200 | ppmtopcx -8bit > '" + Path("pal8n.pcx") + "'", 8,
       nullptr},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    ASSERT_TRUE(RunCommand(variant.command + " 2>/dev/null"));
    const std::string file = Path(variant.name);
    PictureChain picture;
    Load(file, picture);
    EXPECT_EQ(picture->bitsPerPixel, variant.bits);
    RgbaPicture netpbm;
    ASSERT_TRUE(NetpbmDecode("pcxtoppm", file, Path("netpbm.ppm"), netpbm));
    EXPECT_TRUE(SamePixels(*picture, netpbm));
    if (variant.bits != 1) {
      RgbaPicture magick;
      ASSERT_TRUE(MagickDecode(file, Path("magick.pam"), magick));
      EXPECT_TRUE(SamePixels(*picture, magick));
    }
    if (variant.source != nullptr) {
      EXPECT_TRUE(SamePixels(*picture, *variant.source));
    }
  }
}

TEST_F(imagePcx, SharedSamplesMatchTheirReferences) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "no shared sample pictures";
  for (const char* name : {"gen_1bit_mono", "gen_8bit_palette", "gen_8bit_graypal", "gen_24bit_3planes",
                           "im_8bit_palette_oddbpl", "im_24bit_3planes_oddbpl"}) {
    SCOPED_TRACE(name);
    PictureChain picture;
    RgbaPicture reference;
    Load(folder + "pcx/" + name + ".pcx", picture);
    ASSERT_TRUE(ReadPam(folder + "pcx/ref/" + name + ".pam", reference));
    EXPECT_TRUE(SamePixels(*picture, reference));
  }
  // Planar 16-colour and four-plane files are not read.
  for (const char* name : {"gen_4bit_ega_4planes", "im_32bit_4planes_alpha_oddbpl"}) {
    PictureChain picture;
    Load(folder + "pcx/" + name + ".pcx", picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << name;
  }
}

TEST_F(imagePcx, DamagedFilesNeverBreakTheReader) {
  std::string lines;
  for (int i = 0; i < 6 * 5; ++i) lines += static_cast<char>(i * 37);
  const std::string indexed = Header(8, 1, 6, 5, 6) + Literals(lines) +
                              Palette([](int i) { return static_cast<uint32_t>(i * 0x030507 & 0xFFFFFF); });
  const std::string planes = Header(8, 3, 2, 5, 2) + Literals(lines);
  const std::string runs = Header(1, 1, 16, 5, 2) + std::string(5, '\xC2') + "\xAA";

  // Every prefix: the lines must all be there.
  for (const std::string* file : {&indexed, &planes, &runs}) {
    PrefixSweep(ImageDecodePcx, *file);
    CorruptionSweep(ImageDecodePcx, *file, 0, 200);
  }
  // A small file whose header claims 65535 x 65535 pixels, or long lines, is refused.
  for (const std::string& file : {Header(8, 3, 65535, 65535, 65535) + std::string(100, '\xFF'),
                                  Header(8, 1, 16384, 16384, 16384) + std::string(100, '\xFF'),
                                  Header(1, 1, 8, 2000, 65535) + std::string(100, '\xFF')}) {
    PictureChain picture;
    DecodeInto(ImageDecodePcx, file, picture);
    EXPECT_TRUE(IsSubstitute(*picture));
  }
}

// Bitmap reader and writer: hand-built files, files from ImageMagick checked against netpbm, the
// shared samples (bmpsuite included), and damaged input.
#include <gtest/gtest.h>

#include <iterator>

#include "image/picture_checks.h"

using namespace tftest;
using namespace std::string_literals;

namespace {

// File header + information header of `headerSize` bytes (fields past the first 40 are zero
// unless given as `extra`), then `tables` (masks, colour table) and the pixel rows.
std::string Bitmap(int32_t width, int32_t height, uint16_t bits, uint32_t compression, const std::string& tables,
                   const std::string& rows, uint32_t headerSize = 40, uint32_t coloursUsed = 0,
                   const std::string& extra = "", int32_t dataOffset = -1) {
  std::string info = LE32(headerSize) + LE32(width) + LE32(static_cast<uint32_t>(height)) + LE16(1) + LE16(bits) +
                     LE32(compression) + LE32(rows.size()) + LE32(2835) + LE32(2835) + LE32(coloursUsed) + LE32(0);
  info += extra;
  info.resize(headerSize, '\0');
  const uint32_t offset = dataOffset >= 0 ? dataOffset : 14 + headerSize + tables.size();
  std::string file = "BM" + LE32(offset + rows.size()) + LE32(0) + LE32(offset) + info + tables;
  file.resize(offset, '\0');
  return file + rows;
}

std::string Entry(uint32_t colour) { return LE32(colour & 0x00FFFFFF); }

class imageBmp : public PictureTest {
 protected:
  // Writes the picture with ImageSave and returns the file.
  std::string Save(const std::string& name, imageData* image) {
    ImageSave(Path(name), image);
    return ReadFile(Path(name));
  }
};

}  // namespace

TEST_F(imageBmp, ReadsEveryDepthBottomUpAndTopDown) {
  // 1 bit, width 10: rows padded to 4 bytes, pixels from the most significant bit; bottom-up.
  PictureChain mono;
  DecodeInto(ImageDecodeBmp,
             Bitmap(10, 2, 1, 0, Entry(0x102030) + Entry(0xA0B0C0),
                    std::string("\x80\x40\x00\x00", 4) + std::string("\xFF\xC0\x00\x00", 4)),
             mono);
  ASSERT_FALSE(mono->substitute);
  EXPECT_EQ(mono->bitsPerPixel, 1);
  const uint32_t a = 0x102030, b = 0xA0B0C0;
  EXPECT_EQ(mono->pixels, (std::vector<uint32_t>{b, b, b, b, b, b, b, b, b, b, b, a, a, a, a, a, a, a, a, b}));
  EXPECT_EQ(mono->palette[1], b);

  // 2 and 4 bits through the used-colour count; top-down rows (negative height).
  PictureChain two, four;
  DecodeInto(ImageDecodeBmp, Bitmap(4, 1, 2, 0, Entry(1) + Entry(2) + Entry(3) + Entry(4), "\x1B\0\0\0"s), two);
  EXPECT_EQ(two->pixels, (std::vector<uint32_t>{1, 2, 3, 4}));
  DecodeInto(ImageDecodeBmp, Bitmap(3, -2, 4, 0, Entry(7) + Entry(8) + Entry(9), "\x01\x20\0\0\x22\x10\0\0"s, 40, 3), four);
  EXPECT_EQ(four->pixels, (std::vector<uint32_t>{7, 8, 9, 9, 9, 8}));

  // 16 bits 5-5-5 by default; 24 bits with width 3 use a 12-byte stride; 32 bits keep alpha.
  PictureChain sixteen, twentyFour, thirtyTwo;
  DecodeInto(ImageDecodeBmp, Bitmap(2, 1, 16, 0, "", LE16(0x7C00) + LE16(0x03FF)), sixteen);
  EXPECT_EQ(sixteen->pixels, (std::vector<uint32_t>{0x00FF0000, 0x0000FFFF}));
  const std::string row24 = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\xEE\xEE\xEE"s;
  DecodeInto(ImageDecodeBmp, Bitmap(3, 2, 24, 0, "", row24 + row24.substr(0, 9)), twentyFour);
  EXPECT_EQ(twentyFour->pixels, (std::vector<uint32_t>{0x030201, 0x060504, 0x090807, 0x030201, 0x060504, 0x090807}));
  DecodeInto(ImageDecodeBmp, Bitmap(1, 1, 32, 0, "", "\x01\x02\x03\x04"s), thirtyTwo);
  EXPECT_EQ(thirtyTwo->pixels, (std::vector<uint32_t>{0x04030201}));
  // A 32-bit file whose fourth bytes are all 0 stores no alpha: it loads opaque, not invisible.
  PictureChain noAlpha;
  DecodeInto(ImageDecodeBmp, Bitmap(2, 1, 32, 0, "", "\x01\x02\x03\x00\x04\x05\x06\x00"s), noAlpha);
  EXPECT_EQ(noAlpha->pixels, (std::vector<uint32_t>{0xFF030201, 0xFF060504}));
}

TEST_F(imageBmp, HonoursOffsetsLargerHeadersAndBitFields) {
  // The pixel-data offset of the file header wins over "right after the colour table".
  PictureChain gap;
  DecodeInto(ImageDecodeBmp, Bitmap(1, 1, 8, 0, Entry(0x111111) + Entry(0x222222), "\x01\0\0\0"s, 40, 2, "", 200), gap);
  EXPECT_EQ(gap->pixels, (std::vector<uint32_t>{0x222222}));

  // 16-bit 5-6-5 masks after a 40-byte header, and inside a V5 header.
  const std::string masks565 = LE32(0xF800) + LE32(0x07E0) + LE32(0x001F);
  const std::string pixels565 = LE16(0xF800) + LE16(0x07E0) + LE16(0x0010) + LE16(0);
  PictureChain v3, v5;
  DecodeInto(ImageDecodeBmp, Bitmap(4, 1, 16, 3, masks565, pixels565), v3);
  EXPECT_EQ(v3->pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 16 * 255 / 31, 0}));
  DecodeInto(ImageDecodeBmp, Bitmap(4, 1, 16, 3, "", pixels565, 124, 0, masks565), v5);
  EXPECT_EQ(v5->pixels, v3->pixels);

  // 32-bit masks in any order, with the alpha mask of a V4/V5 header.
  const std::string masksXbgr = LE32(0x000000FF) + LE32(0x0000FF00) + LE32(0x00FF0000) + LE32(0xFF000000);
  PictureChain xbgr;
  DecodeInto(ImageDecodeBmp, Bitmap(1, 1, 32, 3, "", LE32(0x80302010), 108, 0, masksXbgr), xbgr);
  EXPECT_EQ(xbgr->pixels, (std::vector<uint32_t>{0x80102030}));
  // Without an alpha mask there is no alpha, so the picture is opaque; masks wider than 8 bits are
  // scaled down.
  PictureChain wide;
  DecodeInto(ImageDecodeBmp, Bitmap(1, 1, 32, 3, LE32(0xFFE00000) + LE32(0x001FFC00) + LE32(0x000003FF), LE32(0xFFFFFFFF)),
             wide);
  EXPECT_EQ(wide->pixels, (std::vector<uint32_t>{0xFFFFFFFF}));
}

TEST_F(imageBmp, UnsupportedFilesGiveTheSubstitute) {
  const std::string rows = "\0\0\0\0"s;
  const std::string files[] = {
      "BA" + Bitmap(1, 1, 8, 0, Entry(0), rows).substr(2),  // signature
      Bitmap(1, 1, 8, 1, Entry(0), rows),                   // run-length 8
      Bitmap(2, 1, 4, 2, Entry(0), rows),                   // run-length 4
      Bitmap(1, 1, 24, 3, LE32(0xFF) + LE32(0xFF00) + LE32(0xFF0000), rows),  // bit fields need 16 or 32
      Bitmap(1, 1, 3, 0, Entry(0), rows),                   // bit count
      Bitmap(0, 1, 24, 0, "", rows),                        // width
      Bitmap(-1, 1, 24, 0, "", rows),
      Bitmap(1, 0, 24, 0, "", rows),
      "BM" + LE32(30) + LE32(0) + LE32(26) + LE32(12) + LE16(1) + LE16(1) + LE16(1) + LE16(24) + "\0\0\0\0"s,  // OS/2
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    PictureChain picture;
    ImageNew(picture.chain)->bitsPerPixel = 32;
    DecodeInto(ImageDecodeBmp, files[i], picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << "file " << i;
  }
}

TEST_F(imageBmp, MatchesImageMagickAndNetpbmOnFilesTheyWrite) {
  if (!HaveTool("convert") || !HaveTool("bmptopnm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  const RgbaPicture source = PhotoLike(61, 29, true);
  ASSERT_TRUE(WritePam(Path("source.pam"), source));
  struct Variant {
    const char* name;
    const char* options;
    int bits;
    int tolerance;
    bool alpha;
  };
  const Variant variants[] = {
      {"mono.bmp", "-monochrome BMP3:", 1, 0, false},
      {"pal4.bmp", "-alpha off -colors 16 -type palette -compress None BMP3:", 4, 0, false},
      {"pal8.bmp", "-alpha off -colors 256 -type palette -compress None BMP3:", 8, 0, false},
      {"rgb565.bmp", "-alpha off -define bmp:subtype=RGB565 BMP:", 16, 1, false},
      {"rgb555.bmp", "-alpha off -define bmp:subtype=RGB555 BMP:", 16, 1, false},
      {"rgb24.bmp", "-alpha off -type truecolor BMP3:", 24, 0, false},
      {"rgba32.bmp", "-type truecolormatte BMP:", 32, 0, true},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    const std::string file = Path(variant.name);
    ASSERT_TRUE(RunCommand("convert '" + Path("source.pam") + "' " + variant.options + "'" + file + "'"));
    PictureChain picture;
    Load(file, picture);
    EXPECT_EQ(picture->bitsPerPixel, variant.bits);
    RgbaPicture magick, netpbm;
    ASSERT_TRUE(MagickDecode(file, Path("magick.pam"), magick));
    EXPECT_TRUE(SamePixels(*picture, magick, {.tolerance = variant.tolerance, .alpha = variant.alpha}));
    ASSERT_TRUE(NetpbmDecode("bmptopnm", file, Path("netpbm.ppm"), netpbm));
    EXPECT_TRUE(SamePixels(*picture, netpbm, {.tolerance = variant.tolerance}));
    if (variant.bits >= 24) {
      EXPECT_TRUE(SamePixels(*picture, source, {.alpha = variant.alpha}));
    }
  }
}

TEST_F(imageBmp, SharedSamplesMatchTheirReferences) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "no shared sample pictures";
  // Files the reader must read, with their tolerance (16-bit and narrow masks: +-1).
  const std::pair<const char*, int> readable[] = {
      {"gen_1bit", 0},          {"gen_1bit_topdown", 0},     {"gen_4bit", 0},
      {"gen_8bit", 0},          {"gen_8bit_topdown", 0},     {"gen_8bit_graypal", 0},
      {"gen_24bit", 0},         {"gen_24bit_topdown", 0},    {"gen_16bit_565_v5bitfields", 1},
      {"gen_16bit_555_v5bitfields", 1},                      {"ljt_shira_bird_24bit", 0},
      {"ljt_testimg_8bit_pal", 0},                           {"ljt_vgl_6434_0018a_24bit_w119", 0},
      {"bmpsuite/g/pal1", 0},   {"bmpsuite/g/pal1bg", 0},    {"bmpsuite/g/pal1wb", 0},
      {"bmpsuite/g/pal4", 0},   {"bmpsuite/g/pal8-0", 0},    {"bmpsuite/g/pal8", 0},
      {"bmpsuite/g/pal8nonsquare", 0},                       {"bmpsuite/g/pal8topdown", 0},
      {"bmpsuite/g/pal8v4", 0}, {"bmpsuite/g/pal8v5", 0},    {"bmpsuite/g/pal8w124", 0},
      {"bmpsuite/g/pal8w125", 0},                            {"bmpsuite/g/pal8w126", 0},
      {"bmpsuite/g/rgb16-565", 1},                           {"bmpsuite/g/rgb16-565pal", 1},
      {"bmpsuite/g/rgb16", 1},  {"bmpsuite/g/rgb24", 0},     {"bmpsuite/g/rgb24pal", 0},
      {"bmpsuite/g/rgb32", 0},  {"bmpsuite/g/rgb32bf", 0},   {"bmpsuite/q/pal1p1", 0},
      {"bmpsuite/q/pal2", 0},   {"bmpsuite/q/pal8offs", 0},  {"bmpsuite/q/pal8os2v2", 0},
      {"bmpsuite/q/pal8oversizepal", 0},                     {"bmpsuite/q/rgb16-231", 1},
      {"bmpsuite/q/rgb24largepal", 0},                       {"bmpsuite/q/rgb24lprof", 0},
      {"bmpsuite/q/rgb24prof", 0},                           {"bmpsuite/q/rgb32-111110", 1},
      {"bmpsuite/q/rgb32bf-xbgr", 0},                        {"bmpsuite/q/rgb32fakealpha", 0},
      {"bmpsuite/q/rgb32h52", 0},                            {"bmpsuite/q/rgba16-4444", 1},
      {"bmpsuite/q/rgba32", 0}, {"bmpsuite/q/rgba32h56", 0},
  };
  for (const auto& [name, tolerance] : readable) {
    SCOPED_TRACE(name);
    PictureChain picture;
    RgbaPicture reference;
    Load(folder + "bmp/" + name + ".bmp", picture);
    ASSERT_TRUE(ReadPam(folder + "bmp/ref/" + name + ".pam", reference));
    EXPECT_TRUE(SamePixels(*picture, reference, {.tolerance = tolerance, .onlyWhereOpaque = true}));
  }
  // Run-length, OS/2, embedded JPEG/PNG and alpha-bit-field files are not read.
  for (const char* name : {"gen_8bit_rle8", "gen_8bit_os2v1", "gen_24bit_os2v1", "bmpsuite/g/pal4rle",
                           "bmpsuite/g/pal8rle", "bmpsuite/g/pal8os2", "bmpsuite/q/pal4rletrns", "bmpsuite/q/pal8rletrns",
                           "bmpsuite/q/pal8os2sp", "bmpsuite/q/pal8os2v2-16", "bmpsuite/q/rgb24jpeg",
                           "bmpsuite/q/rgb24png", "bmpsuite/q/rgba32abf"}) {
    PictureChain picture;
    Load(folder + "bmp/" + name + ".bmp", picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << name;
  }
  // The "bad" set: any well-formed result; the huge and the truncated ones are refused.
  for (const char* name : {"badbitcount", "badbitssize", "baddens1", "baddens2", "badfilesize", "badheadersize",
                           "badpalettesize", "badplanes", "badrle", "badwidth", "pal8badindex", "reallybig",
                           "rletopdown", "shortfile"}) {
    PictureChain picture;
    Load(folder + "bmp/bmpsuite/b/" + name + ".bmp", picture);
    EXPECT_TRUE(WellFormed(*picture)) << name;
    const bool refused = std::string(name) == "reallybig" || std::string(name) == "shortfile";
    EXPECT_TRUE(!refused || picture->substitute) << name;
  }
}

TEST_F(imageBmp, WriterLayoutAndReadBack) {
  // 24-bit width 3: 54-byte headers, 12-byte stride (9 data bytes, 3 zero bytes), bottom row first.
  PictureChain small;
  ImageNew(small.chain);
  small->width = 3;
  small->height = 2;
  small->bitsPerPixel = 24;
  small->pixels = {0xFF010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
  const std::string file = Save("small.bmp", small.chain);
  ASSERT_EQ(file.size(), 54u + 24);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(file.substr(2, 4), LE32(78));
  EXPECT_EQ(file.substr(10, 4), LE32(54));
  EXPECT_EQ(file.substr(14, 40), LE32(40) + LE32(3) + LE32(2) + LE16(1) + LE16(24) + LE32(0) + LE32(24) + LE32(4724) +
                                     LE32(4724) + LE32(0) + LE32(0));
  EXPECT_EQ(file.substr(54), "\x0C\x0B\x0A\x0F\x0E\x0D\x12\x11\x10\0\0\0\x03\x02\x01\x06\x05\x04\x09\x08\x07\0\0\0"s);

  // Palette pictures: the 2^bits entries, then indices of the nearest entry, packed from the
  // most significant bits.
  PictureChain indexed;
  ImageNew(indexed.chain);
  indexed->width = 5;
  indexed->height = 1;
  indexed->bitsPerPixel = 2;
  indexed->palette[0] = 0x000000;
  indexed->palette[1] = 0xFF0000;
  indexed->palette[2] = 0x00FF00;
  indexed->palette[3] = 0x0000FF;
  indexed->pixels = {0x0000FF, 0xF01010, 0x000000, 0x10F010, 0x0000FF};
  const std::string two = Save("two.bmp", indexed.chain);
  ASSERT_EQ(two.size(), 54u + 16 + 4);
  EXPECT_EQ(two.substr(10, 4), LE32(70));
  EXPECT_EQ(two.substr(54, 16), Entry(0) + Entry(0xFF0000) + Entry(0x00FF00) + Entry(0x0000FF));
  EXPECT_EQ(two.substr(70), "\xD2\xC0\0\0"s);

  // 16 bits: 5-5-5 from the top five bits of each component, rounded.
  PictureChain sixteen;
  FillPicture(ImageNew(sixteen.chain), RgbaPicture{2, 1, {0xFFFFFF, 0x08F700}}, 16);
  EXPECT_EQ(Save("sixteen.bmp", sixteen.chain).substr(54), LE16(0x7FFF) + LE16(0x0400 | (30 << 5)));
}

TEST_F(imageBmp, WrittenFilesReadBackIdentically) {
  const bool haveMagick = HaveTool("convert");
  const RgbaPicture photo = PhotoLike(45, 19, true);
  // A palette picture: 16 colours, every pixel one of them.
  RgbaPicture paletted = photo;
  uint32_t palette[256] = {};
  for (int i = 0; i < 16; ++i) palette[i] = static_cast<uint32_t>(i * 0x110000 + (15 - i) * 0x000F00 + (i * 37 % 256));
  for (size_t i = 0; i < paletted.pixels.size(); ++i) paletted.pixels[i] = palette[(i * 7 + i / 45) % 16];
  RgbaPicture mono = photo;
  for (uint32_t& p : mono.pixels) p = (p & 0x800000) != 0 ? 0xFFFFFF : 0;

  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const RgbaPicture& source = bits == 1 ? mono : bits <= 8 ? paletted : photo;
    PictureChain written;
    FillPicture(ImageNew(written.chain), source, static_cast<uint8_t>(bits));
    std::copy(palette, palette + 256, written->palette);
    if (bits == 1) {
      written->palette[0] = 0;
      written->palette[1] = 0xFFFFFF;
    }
    const std::string file = Path("w" + std::to_string(bits) + ".bmp");
    ImageSave(file, written.chain);

    PictureChain ours;
    Load(file, ours);
    EXPECT_EQ(ours->bitsPerPixel, bits);
    // 16 bits: five bits a component, rounded when written.
    CompareOptions exact{.tolerance = bits == 16 ? 5 : 0, .alpha = bits == 32};
    EXPECT_TRUE(SamePixels(*ours, source, exact));
    if (bits == 16) {
      // Written again, a 16-bit picture gives the same file.
      ImageSave(Path("again.bmp"), ours.chain);
      EXPECT_EQ(ReadFile(Path("again.bmp")), ReadFile(file));
    }
    if (!haveMagick) continue;
    RgbaPicture magick;
    ASSERT_TRUE(MagickDecode(file, Path("magick.pam"), magick));
    EXPECT_TRUE(SamePixels(*ours, magick, {.tolerance = bits == 16 ? 1 : 0}));
  }
}

TEST_F(imageBmp, DamagedFilesNeverBreakTheReader) {
  const std::string pal8 = Bitmap(5, 3, 8, 0, Entry(1) + Entry(2) + Entry(3), std::string(24, '\x02'), 40, 3);
  const std::string v5 = Bitmap(3, -2, 16, 3, "", std::string(16, '\x5A'), 124, 0, LE32(0xF800) + LE32(0x07E0) + LE32(0x1F) + LE32(0));
  PictureChain photo;
  FillPicture(ImageNew(photo.chain), PhotoLike(7, 4), 24);
  ImageSave(Path("p.bmp"), photo.chain);
  const std::string rgb = ReadFile(Path("p.bmp"));

  // Uncompressed rows must all be there (the last one may lack its padding).
  for (const std::string* file : {&pal8, &v5, &rgb}) {
    const size_t decoded = PrefixSweep(ImageDecodeBmp, *file);
    EXPECT_GE(decoded, 1u);
    EXPECT_LE(decoded, 4u);
    CorruptionSweep(ImageDecodeBmp, *file, 0, 70);
  }
  // Huge claims in a small file are refused before anything is allocated.
  for (const std::string& file : {Bitmap(65535, 65535, 32, 0, "", std::string(46, '\x01')),
                                  Bitmap(16384, -16384, 1, 0, Entry(0) + Entry(1), std::string(46, '\x01')),
                                  Bitmap(1, 1, 8, 0, "", "\x01"s, 40, 0xFFFFFFFF),
                                  Bitmap(1, 1, 24, 0, "", "\x01\x02\x03\x00"s).replace(10, 4, LE32(0x7FFFFFF0))}) {
    PictureChain picture;
    DecodeInto(ImageDecodeBmp, file, picture);
    EXPECT_TRUE(IsSubstitute(*picture));
  }
}

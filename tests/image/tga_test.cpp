// Targa reader and writer: hand-built files, ImageMagick- and netpbm-checked files, the shared
// samples, and damaged input.
#include <gtest/gtest.h>

#include "image/picture_checks.h"

using namespace tftest;

namespace {

std::string Header(uint8_t type, int width, int height, uint8_t depth, uint8_t descriptor, const std::string& id = "",
                   uint8_t colourMapType = 0, uint16_t colourMapLength = 0, uint8_t colourMapDepth = 0) {
  std::string header;
  header += static_cast<char>(id.size());
  header += static_cast<char>(colourMapType);
  header += static_cast<char>(type);
  header += LE16(0) + LE16(colourMapLength) + static_cast<char>(colourMapDepth);
  header += LE16(0) + LE16(0) + LE16(width) + LE16(height);
  header += static_cast<char>(depth);
  header += static_cast<char>(descriptor);
  return header + id;
}

std::string Pixel24(uint32_t colour) {
  return std::string{static_cast<char>(colour), static_cast<char>(colour >> 8), static_cast<char>(colour >> 16)};
}

// The packets after the 18-byte header of a file the writer made from the pixels.
std::string WrittenPackets(const std::string& path, int width, int height, uint8_t bits, const std::vector<uint32_t>& pixels) {
  PictureChain picture;
  ImageNew(picture.chain);
  picture->width = width;
  picture->height = height;
  picture->bitsPerPixel = bits;
  picture->pixels = pixels;
  ImageSave(path, picture.chain);
  std::string file = ReadFile(path);
  return file.size() >= 18 ? file.substr(18) : std::string("(no file)");
}

class imageTga : public PictureTest {};

}  // namespace

TEST_F(imageTga, ReadsPixelsInTheOrderTheDescriptorGives) {
  // A 24-bit pixel with bytes 10, 20, 30 is 0x001E140A; the writer's descriptor 0x28 is top-left.
  PictureChain a;
  DecodeInto(ImageDecodeTga, Header(2, 2, 1, 24, 0x28) + "\x0A\x14\x1E" + Pixel24(0x123456), a);
  EXPECT_FALSE(a->substitute);
  EXPECT_EQ(a->bitsPerPixel, 24);
  EXPECT_EQ(a->pixels, (std::vector<uint32_t>{0x001E140Au, 0x00123456u}));

  // Bottom-left files (no origin bit) are turned so that row 0 is the top; bit 4 mirrors rows.
  const std::string rows = Pixel24(1) + Pixel24(2) + Pixel24(3) + Pixel24(4);
  PictureChain bottomUp, mirrored;
  DecodeInto(ImageDecodeTga, Header(2, 2, 2, 24, 0x00) + rows, bottomUp);
  EXPECT_EQ(bottomUp->pixels, (std::vector<uint32_t>{3, 4, 1, 2}));
  DecodeInto(ImageDecodeTga, Header(2, 2, 2, 24, 0x30) + rows, mirrored);
  EXPECT_EQ(mirrored->pixels, (std::vector<uint32_t>{2, 1, 4, 3}));

  // The identification field and a colour map in a true-colour file are skipped.
  PictureChain skipped;
  DecodeInto(ImageDecodeTga, Header(2, 1, 1, 24, 0x20, "picture id", 1, 2, 24) + "cmapcm" + Pixel24(0xABCDEF), skipped);
  EXPECT_EQ(skipped->pixels, (std::vector<uint32_t>{0xABCDEFu}));

  // 32-bit pixels keep their alpha; 16-bit ones are widened 5-5-5 with the top bit as alpha.
  PictureChain alpha, narrow;
  DecodeInto(ImageDecodeTga, Header(2, 1, 1, 32, 0x28) + "\x01\x02\x03\x80", alpha);
  EXPECT_EQ(alpha->pixels, (std::vector<uint32_t>{0x80030201u}));
  DecodeInto(ImageDecodeTga, Header(2, 3, 1, 16, 0x21) + LE16(0x7FFF) + LE16(0x8000 | (1 << 10) | (16 << 5) | 30) + LE16(0),
             narrow);
  EXPECT_EQ(narrow->bitsPerPixel, 16);
  EXPECT_EQ(narrow->pixels, (std::vector<uint32_t>{0x00FFFFFFu, 0xFF0883F6u, 0}));
}

TEST_F(imageTga, RunLengthPacketsFillExactlyThePicture) {
  // Run of 3, raw of 2, then a run of 128 that overshoots the 3 x 3 picture.
  const std::string packets = std::string("\x82") + Pixel24(7) + "\x01" + Pixel24(8) + Pixel24(9) + "\xFF" + Pixel24(5);
  PictureChain picture;
  DecodeInto(ImageDecodeTga, Header(10, 3, 3, 24, 0x20) + packets, picture);
  ASSERT_FALSE(picture->substitute);
  EXPECT_EQ(picture->pixels, (std::vector<uint32_t>{7, 7, 7, 8, 9, 5, 5, 5, 5}));

  // Data that ends early stops the decoding; the rest of the picture stays 0.
  PictureChain shortened;
  DecodeInto(ImageDecodeTga, Header(10, 3, 3, 24, 0x20) + "\x82" + Pixel24(7) + "\x02" + Pixel24(8), shortened);
  ASSERT_FALSE(shortened->substitute);
  EXPECT_EQ(shortened->pixels, (std::vector<uint32_t>{7, 7, 7, 8, 0, 0, 0, 0, 0}));
}

TEST_F(imageTga, OtherTypesAndDepthsGiveTheSubstitute) {
  for (uint8_t type : {0, 1, 3, 9, 11, 32}) {
    PictureChain picture;
    ImageNew(picture.chain)->bitsPerPixel = 8;
    DecodeInto(ImageDecodeTga, Header(type, 2, 2, 8, 0x20) + std::string(64, '\x01'), picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << "type " << int(type);
    EXPECT_EQ(picture->bitsPerPixel, 8) << "the substitute keeps the depth";
  }
  for (uint8_t depth : {0, 1, 8, 12, 17, 48}) {
    PictureChain picture;
    DecodeInto(ImageDecodeTga, Header(2, 2, 2, depth, 0x20) + std::string(64, '\x01'), picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << "depth " << int(depth);
  }
}

TEST_F(imageTga, MatchesTheSourceOfFilesImageMagickWrites) {
  if (!HaveTool("convert") || !HaveTool("tgatoppm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  const RgbaPicture source = PhotoLike(67, 23, true);
  ASSERT_TRUE(WritePam(Path("source.pam"), source));
  RgbaPicture opaque = source;
  for (uint32_t& p : opaque.pixels) p |= 0xFF000000u;

  // ImageMagick 6.9 writes rows top-first under a bottom-left descriptor, so bottom-left files
  // are written from the flipped picture; top-left ones carry the origin bit.
  struct Variant {
    const char* name;
    const char* options;
    bool alpha;
  };
  const Variant variants[] = {
      {"t2_24_bl.tga", "-flip -alpha off -compress None", false},
      {"t2_24_tl.tga", "-orient TopLeft -alpha off -compress None", false},
      {"t2_32_bl.tga", "-flip -compress None", true},
      {"t2_32_tl.tga", "-orient TopLeft -compress None", true},
      {"t10_24_bl.tga", "-flip -alpha off -compress RLE", false},
      {"t10_24_tl.tga", "-orient TopLeft -alpha off -compress RLE", false},
      {"t10_32_bl.tga", "-flip -compress RLE", true},
      {"t10_32_tl.tga", "-orient TopLeft -compress RLE", true},
  };
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    const std::string file = Path(variant.name);
    ASSERT_TRUE(RunCommand("convert '" + Path("source.pam") + "' " + variant.options + " '" + file + "'"));
    PictureChain picture;
    Load(file, picture);
    EXPECT_EQ(picture->bitsPerPixel, variant.alpha ? 32 : 24);
    EXPECT_TRUE(SamePixels(*picture, variant.alpha ? source : opaque, {.alpha = variant.alpha}));
    // netpbm reads both origins correctly (it drops alpha).
    RgbaPicture netpbm;
    ASSERT_TRUE(NetpbmDecode("tgatoppm", file, Path("netpbm.ppm"), netpbm));
    EXPECT_TRUE(SamePixels(*picture, netpbm));
  }
}

TEST_F(imageTga, SharedSamplesMatchTheirReferences) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "no shared sample pictures";
  const char* readable[] = {"gen_type2_24bit",         "gen_type2_24bit_topleft",        "gen_type2_24bit_imageid_footer",
                            "gen_type2_32bit_alpha",   "gen_type10_24bit_rle",           "gen_type10_32bit_rle_alpha",
                            "gen_type10_32bit_rle_topleft"};
  for (const char* name : readable) {
    SCOPED_TRACE(name);
    PictureChain picture;
    RgbaPicture reference;
    Load(folder + "tga/" + name + ".tga", picture);
    ASSERT_TRUE(ReadPam(folder + "tga/ref/" + name + ".pam", reference));
    const bool alpha = picture->bitsPerPixel == 32;
    EXPECT_TRUE(SamePixels(*picture, reference, {.onlyWhereOpaque = true, .alpha = alpha}));
  }
  // Colour-mapped and grey files are not read.
  for (const char* name : {"gen_type1_cmap8", "gen_type9_cmap8_rle", "gen_type9_cmap8_rle_topleft", "gen_type3_gray8",
                           "gen_type11_gray8_rle"}) {
    PictureChain picture;
    Load(folder + "tga/" + name + ".tga", picture);
    EXPECT_TRUE(IsSubstitute(*picture)) << name;
  }
}

TEST_F(imageTga, WriterPacketsFollowTheRunRules) {
  const std::string path = Path("w.tga");
  // Two equal pixels: one run packet; three different: one raw packet; one pixel: header 0.
  EXPECT_EQ(WrittenPackets(path, 2, 1, 24, {0x112233, 0x112233}), "\x81" + Pixel24(0x112233));
  EXPECT_EQ(WrittenPackets(path, 3, 1, 24, {1, 2, 3}), "\x02" + Pixel24(1) + Pixel24(2) + Pixel24(3));
  EXPECT_EQ(WrittenPackets(path, 1, 1, 24, {0x0A0B0C}), std::string(1, '\0') + Pixel24(0x0A0B0C));
  // A pair of equal pixels ends a raw packet and opens a run; runs stop at 128 pixels.
  EXPECT_EQ(WrittenPackets(path, 4, 1, 24, {1, 2, 2, 3}),
            std::string(1, '\0') + Pixel24(1) + "\x81" + Pixel24(2) + std::string(1, '\0') + Pixel24(3));
  EXPECT_EQ(WrittenPackets(path, 300, 1, 24, std::vector<uint32_t>(300, 9)),
            "\xFF" + Pixel24(9) + "\xFF" + Pixel24(9) + "\xAB" + Pixel24(9));
  std::vector<uint32_t> ramp(130);
  for (uint32_t i = 0; i < ramp.size(); ++i) ramp[i] = i;
  const std::string packets = WrittenPackets(path, 130, 1, 24, ramp);
  ASSERT_EQ(packets.size(), 1 + 128 * 3 + 1 + 2 * 3u);
  EXPECT_EQ(packets[0], '\x7F');
  EXPECT_EQ(packets[1 + 128 * 3], '\x01');
  // Equality is judged on the bytes written: alpha does not split a 24-bit run.
  EXPECT_EQ(WrittenPackets(path, 2, 1, 24, {0x01112233, 0x02112233}), "\x81" + Pixel24(0x112233));

  // The header: type 10, sizes, depth, descriptor 0x28.
  const std::string file = ReadFile(path);
  EXPECT_EQ(file.substr(0, 18), Header(10, 2, 1, 24, 0x28));
  // Pictures of 8 bits or fewer are written as 24-bit true colour.
  WrittenPackets(path, 2, 1, 8, {0xFF0000, 0x00FF00});
  EXPECT_EQ(ReadFile(path), Header(10, 2, 1, 24, 0x28) + "\x01" + Pixel24(0xFF0000) + Pixel24(0x00FF00));
  // Nothing is written for an empty picture or one whose pixels do not fill its size.
  EXPECT_EQ(WrittenPackets(Path("empty.tga"), 0, 0, 24, {}), "(no file)");
  EXPECT_EQ(WrittenPackets(Path("short.tga"), 4, 4, 24, {1, 2, 3}), "(no file)");
}

TEST_F(imageTga, WrittenFilesReadBackIdentically) {
  const bool haveTools = HaveTool("convert") && HaveTool("tgatoppm");
  const RgbaPicture source = PhotoLike(83, 41, true);
  for (uint8_t bits : {16, 24, 32}) {
    SCOPED_TRACE(int(bits));
    const std::string file = Path("out" + std::to_string(bits) + ".tga");
    PictureChain written;
    FillPicture(ImageNew(written.chain), source, bits);
    ImageSave(file, written.chain);

    // What the picture should read back as: 24 bits drop alpha, 16 bits keep 5 bits a colour.
    RgbaPicture expected = source;
    for (uint32_t& p : expected.pixels) {
      if (bits == 24) p &= 0x00FFFFFFu;
      if (bits == 16) {
        uint32_t c = 0;
        for (int shift = 0; shift < 24; shift += 8) c |= (((p >> shift & 0xFF) * 31 + 127) / 255 * 255 / 31) << shift;
        p = c | (p >> 31 ? 0xFF000000u : 0);
      }
    }
    PictureChain ours;
    Load(file, ours);
    EXPECT_EQ(ours->bitsPerPixel, bits);
    EXPECT_TRUE(SamePixels(*ours, expected, {.alpha = true}));

    if (!haveTools) continue;
    RgbaPicture magick, netpbm;
    ASSERT_TRUE(MagickDecode(file, Path("magick.pam"), magick));
    EXPECT_TRUE(SamePixels(*ours, magick, {.tolerance = bits == 16 ? 1 : 0, .onlyWhereOpaque = bits == 16,
                                           .alpha = bits == 32}));
    ASSERT_TRUE(NetpbmDecode("tgatoppm", file, Path("netpbm.ppm"), netpbm));
    EXPECT_TRUE(SamePixels(*ours, netpbm, {.tolerance = bits == 16 ? 1 : 0}));
  }
}

TEST_F(imageTga, DamagedFilesNeverBreakTheReader) {
  PictureChain written;
  FillPicture(ImageNew(written.chain), PhotoLike(9, 5, true), 32);
  ImageSave(Path("rle.tga"), written.chain);
  const std::string rle = ReadFile(Path("rle.tga"));
  std::string raw = Header(2, 9, 5, 24, 0x20, "id");
  for (uint32_t p : PhotoLike(9, 5).pixels) raw += Pixel24(p);

  // Every prefix: uncompressed files need all their pixels, run-length ones stop where the
  // bytes end.
  EXPECT_EQ(PrefixSweep(ImageDecodeTga, raw), 1u);
  EXPECT_GT(PrefixSweep(ImageDecodeTga, rle), rle.size() / 2);
  CorruptionSweep(ImageDecodeTga, raw, 0, 18);
  CorruptionSweep(ImageDecodeTga, rle, 0, rle.size());

  // A small file that claims 65535 x 65535 pixels, or a side beyond the cap, is refused.
  for (const std::string& header : {Header(2, 65535, 65535, 32, 0x28), Header(10, 65535, 65535, 32, 0x28),
                                    Header(10, 20000, 1, 24, 0x28), Header(10, 300, 300, 24, 0x28)}) {
    PictureChain picture;
    DecodeInto(ImageDecodeTga, header + std::string(82, '\xFF'), picture);
    EXPECT_TRUE(IsSubstitute(*picture));
  }
  // A picture on the cap is read when its bytes can make it.
  PictureChain wide;
  DecodeInto(ImageDecodeTga, Header(10, kMaxPictureSide, 1, 24, 0x28) + std::string(512, '\xFF'), wide);
  EXPECT_FALSE(wide->substitute);
}

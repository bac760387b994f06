// JPEG reader: the inverse transform and the colour conversion against their formulas evaluated
// plainly, whole pictures against djpeg (files made with cjpeg during the test, and the shared
// samples), restart intervals and scan layouts, header faults and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "image/image.h"
#include "image/image_formats.h"
#include "image/image_jpg_internal.h"
#include "image/image_test_support.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

struct Picture {
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  Picture() = default;
  Picture(const Picture&) = delete;
  ~Picture() { ImageFree(chain); }
  imageData* operator->() const { return image; }
};

void Decode(const std::string& file, Picture& picture) {
  ImageDecodeJpg(std::vector<uint8_t>(file.begin(), file.end()), picture.image);
}

bool AllZero(const imageData& image) {
  return std::all_of(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p == 0; });
}

// The transform as its sum is written: 64 terms in 64 bits, truncated toward zero, plus 128,
// limited to 16 bits as the decoder stores samples.
struct PlainTransform {
  int64_t basis[8][8];
  PlainTransform() {
    for (int n = 0; n < 8; ++n) {
      basis[0][n] = 700;
      for (int f = 1; f < 8; ++f)
        basis[f][n] = 10 * std::lround(100.0 * std::cos(((2 * n + 1) * 19 * f) % 629 / 100.0));
    }
  }
  std::array<int16_t, 64> Apply(const int32_t* coefficients) const {
    std::array<int16_t, 64> samples;
    for (int i = 0; i < 64; ++i) {
      int64_t sum = 0;
      for (int j = 0; j < 64; ++j) sum += coefficients[j] * basis[j % 8][i % 8] * basis[j / 8][i / 8];
      samples[i] = static_cast<int16_t>(std::clamp<int64_t>(sum / 4000000 + 128, -32768, 32767));
    }
    return samples;
  }
};

// Every block the decoder transforms: its coefficients and the samples it wrote.
struct BlockLog {
  std::vector<std::array<int32_t, 64>> coefficients;
  std::vector<std::array<int16_t, 64>> samples;
  static void Observe(const int32_t* coefficients, const int16_t* samples, ptrdiff_t stride, void* context) {
    auto* log = static_cast<BlockLog*>(context);
    log->coefficients.emplace_back();
    std::copy_n(coefficients, 64, log->coefficients.back().begin());
    log->samples.emplace_back();
    for (int y = 0; y < 8; ++y) std::copy_n(samples + y * stride, 8, log->samples.back().begin() + y * 8);
  }
};

// Runs the body with each evaluation of the transform this processor has.
template <typename Body>
void WithEachTransform(Body body) {
  for (bool portable : {false, true}) {
    if (!portable && !JpgVectorTransformAvailable()) continue;
    JpgForcePortableTransform(portable);
    SCOPED_TRACE(portable ? "portable transform" : "vector transform");
    body();
  }
  JpgForcePortableTransform(false);
}

// Photo-like to an encoder: smooth shading, grain, flat patches and a hard-edged bar.
RgbaPicture PhotoLike(int32_t width, int32_t height, uint32_t seed = 1) {
  RgbaPicture picture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  uint32_t state = seed * 2654435761u;
  auto level = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0)); };
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const double grain = static_cast<double>((state >> 24) % 13) - 6;
      uint32_t pixel = level(128 + 90 * std::sin(x * 0.05 + seed) + grain) << 16 |
                       level(60 + y * 150.0 / height - grain) << 8 | level(128 + 60 * std::cos((x + 2 * y) * 0.08));
      if ((x / 13 + y / 11) % 7 == 0) pixel = 0xDC285A;
      if (x > width / 2 && y > height / 3 && y < height / 3 + 9) pixel = 0xFAFAFA;
      picture.pixels[static_cast<size_t>(y) * width + x] = pixel;
    }
  }
  return picture;
}

// cjpeg and djpeg in a folder of the test's own.
class Codec {
 public:
  std::string Encode(const RgbaPicture& picture, const std::string& options) {
    std::string ppm = "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    for (uint32_t p : picture.pixels)
      ppm += {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
    const std::string base = dir_ / std::to_string(++count_);
    if (!WriteFile(base + ".ppm", ppm) ||
        !RunCommand("cjpeg " + options + " -outfile '" + base + ".jpg' '" + base + ".ppm'")) {
      return "";
    }
    return ReadFile(base + ".jpg");
  }
  // djpeg -nosmooth replicates chroma samples as this reader does.
  bool Reference(const std::string& jpeg, RgbaPicture& picture) {
    const std::string base = dir_ / std::to_string(++count_);
    return WriteFile(base + ".jpg", jpeg) &&
           RunCommand("djpeg -nosmooth -pnm -outfile '" + base + ".pnm' '" + base + ".jpg'") &&
           ReadPam(base + ".pnm", picture);
  }
  std::string Path(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
  int count_ = 0;
};

bool HaveCodec() { return HaveTool("cjpeg") && HaveTool("djpeg"); }

// Bounds against djpeg -nosmooth. The transform's cosine table steps its angle by 0.19 where the true
// transform steps by pi/16 (0.196), so the sums drift by a few levels on average and by tens at
// sharp edges (with a true cosine table in its place this decoder lands within a mean of 0.9 and
// 10 levels of djpeg). Measured: the shared photos mean 1.7 to 3.3, largest 37; the generated
// pictures, whose hard-edged bar on grain is harsher than a photo, mean 1.6 to 3.1 and largest 65,
// the 9 x 17 one (mostly edges) mean up to 6.8.
struct Bounds {
  double mean;
  int max;
};
constexpr Bounds kPhotoBounds{3.5, 40};
constexpr Bounds kGeneratedBounds{4.0, 72};
constexpr Bounds kTinyBounds{8.0, 72};

::testing::AssertionResult Near(const imageData& image, const RgbaPicture& reference, Bounds bounds) {
  if (image.width != reference.width || image.height != reference.height ||
      image.pixels.size() != reference.pixels.size()) {
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height;
  }
  int64_t total = 0;
  int max = 0;
  for (size_t i = 0; i < reference.pixels.size(); ++i) {
    if (image.pixels[i] >> 24 != 0) return ::testing::AssertionFailure() << "alpha at pixel " << i;
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = std::abs(static_cast<int>((image.pixels[i] >> shift) & 0xFF) -
                             static_cast<int>((reference.pixels[i] >> shift) & 0xFF));
      total += d;
      max = std::max(max, d);
    }
  }
  const double mean = static_cast<double>(total) / (3.0 * static_cast<double>(reference.pixels.size()));
  if (mean > bounds.mean || max > bounds.max)
    return ::testing::AssertionFailure() << "mean " << mean << ", largest " << max;
  return ::testing::AssertionSuccess();
}

// Offset of the first marker segment with this code before the scan data, or npos; its bytes.
size_t FindSegment(const std::string& file, uint8_t code) {
  for (size_t at = 2; at + 4 <= file.size() && static_cast<uint8_t>(file[at]) == 0xFF;) {
    if (static_cast<uint8_t>(file[at + 1]) == code) return at;
    if (static_cast<uint8_t>(file[at + 1]) == 0xDA) break;
    at += 2 + (static_cast<uint8_t>(file[at + 2]) << 8 | static_cast<uint8_t>(file[at + 3]));
  }
  return std::string::npos;
}

std::string Segment(const std::string& file, size_t at) {
  return file.substr(at, 2 + (static_cast<uint8_t>(file[at + 2]) << 8 | static_cast<uint8_t>(file[at + 3])));
}

// ------------------------------------------------------------------------------------------------
// Formulas

TEST(jpgTransform, EqualsThePlainSumOnRandomBlocks) {
  // Dequantized coefficients reach 32768 x 65535 in magnitude (16-bit tables); real ones stay
  // within a few thousand, gathered at low frequencies. Sums of |coefficient| around 214,748 sit
  // at the edge of the 32-bit evaluation; their signs are chosen so that every term adds up.
  const PlainTransform plain;
  WithEachTransform([&] {
    std::mt19937 random(20240611);
    size_t wrong = 0;
    auto check = [&](const int32_t* block) {
      int16_t got[64];
      JpgInverseTransform(block, got, 8);
      if (!std::equal(got, got + 64, plain.Apply(block).begin()) && wrong++ < 3) ADD_FAILURE() << "block differs";
    };
    for (int32_t range : {2147450880, 100000, 3000, 300}) {
      for (int corner = 1; corner <= 8; ++corner) {
        for (double density : {1.0 / 64, 0.3, 1.0}) {
          std::uniform_int_distribution<int32_t> value(-range, range);
          std::bernoulli_distribution present(density);
          for (int i = 0; i < 40; ++i) {
            int32_t block[64] = {};
            for (int p = 0; p < 64; ++p)
              block[p] = p % 8 < corner && p / 8 < corner && present(random) ? value(random) : 0;
            check(block);
          }
        }
      }
    }
    for (int64_t total : {214740, 214748, 214749, 214800}) {
      for (int terms : {1, 3, 64}) {
        int32_t block[64] = {};
        for (int t = 0; t < terms; ++t) {
          const int place = (t * 37 + 5) % 64;
          const int64_t sign = plain.basis[place % 8][0] * plain.basis[place / 8][0] < 0 ? -1 : 1;
          block[place] = static_cast<int32_t>(sign * (t == 0 ? total - (terms - 1) * (total / terms) : total / terms));
        }
        check(block);
      }
    }
    EXPECT_EQ(wrong, 0u);
  });
}

// round(Y + 1.402 (Cr - 128)) and so on, in exact fractions, halves upward, limited to 0..255.
uint32_t FormulaColour(int64_t y, int64_t cb, int64_t cr) {
  auto channel = [](int64_t numerator, int64_t denominator) {
    const int64_t floor = numerator >= 0 ? numerator / denominator : -((denominator - 1 - numerator) / denominator);
    return static_cast<uint32_t>(std::clamp<int64_t>(floor, 0, 255));
  };
  const int64_t db = cb - 128, dr = cr - 128;
  return channel(1000 * y + 1402 * dr + 500, 1000) << 16 |
         channel(100000 * y - 34414 * db - 71414 * dr + 50000, 100000) << 8 | channel(1000 * y + 1772 * db + 500, 1000);
}

TEST(jpgDecode, EveryBlockAndPixelFollowsTheFormulas) {
  // Each block's samples must be the plain sum of its coefficients. Then the blocks are placed by
  // hand, each chroma sample repeated over the pixels it covers, and every pixel must be the
  // conversion formula of its samples.
  if (!HaveCodec()) GTEST_SKIP() << "cjpeg/djpeg missing";
  Codec codec;
  const PlainTransform plain;
  const RgbaPicture source = PhotoLike(45, 37, 9);
  struct Layout {
    const char* options;
    int factors[3][2];  // h, v of Y, Cb, Cr
    int count;
  };
  for (const Layout& layout :
       {Layout{"-sample 1x1", {{1, 1}, {1, 1}, {1, 1}}, 3}, Layout{"-sample 2x1", {{2, 1}, {1, 1}, {1, 1}}, 3},
        Layout{"-sample 1x2", {{1, 2}, {1, 1}, {1, 1}}, 3}, Layout{"-sample 2x2", {{2, 2}, {1, 1}, {1, 1}}, 3},
        Layout{"-sample 2x2,2x1,1x2", {{2, 2}, {2, 1}, {1, 2}}, 3},
        Layout{"-sample 1x1,2x2,2x1", {{1, 1}, {2, 2}, {2, 1}}, 3},
        Layout{"-quality 5 -baseline", {{2, 2}, {1, 1}, {1, 1}}, 3}, Layout{"-quality 100 -grayscale", {{1, 1}}, 1}}) {
    SCOPED_TRACE(layout.options);
    const std::string file = codec.Encode(source, std::string("-quality 90 ") + layout.options);
    WithEachTransform([&] {
      BlockLog log;
      JpgSetBlockObserver(&BlockLog::Observe, &log);
      Picture picture;
      Decode(file, picture);
      JpgSetBlockObserver(nullptr, nullptr);
      ASSERT_EQ(picture->width, source.width);
      for (size_t b = 0; b < log.samples.size(); ++b)
        ASSERT_EQ(log.samples[b], plain.Apply(log.coefficients[b].data())) << b;

      int maxH = 1, maxV = 1;
      for (int c = 0; c < layout.count; ++c)
        maxH = std::max(maxH, layout.factors[c][0]), maxV = std::max(maxV, layout.factors[c][1]);
      const int mcusWide = (source.width + 8 * maxH - 1) / (8 * maxH),
                mcusHigh = (source.height + 8 * maxV - 1) / (8 * maxV);
      std::vector<std::vector<int16_t>> planes(layout.count, std::vector<int16_t>(mcusWide * mcusHigh * 256));
      size_t next = 0;
      for (int mcu = 0; mcu < mcusWide * mcusHigh; ++mcu) {
        for (int c = 0; c < layout.count; ++c) {
          // One block per MCU in a one-component picture.
          for (int b = 0; b < (layout.count == 1 ? 1 : layout.factors[c][0] * layout.factors[c][1]); ++b, ++next) {
            ASSERT_LT(next, log.samples.size());
            const int h = layout.factors[c][0];
            const int left = (mcu % mcusWide * h + b % h) * 8,
                      top = (mcu / mcusWide * layout.factors[c][1] + b / h) * 8;
            for (int i = 0; i < 64; ++i) planes[c][(top + i / 8) * mcusWide * 16 + left + i % 8] = log.samples[next][i];
          }
        }
      }
      EXPECT_EQ(next, log.samples.size());
      for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
          auto at = [&](int c) {
            return planes[c][y * layout.factors[c][1] / maxV * mcusWide * 16 + x * layout.factors[c][0] / maxH];
          };
          const uint32_t want =
              layout.count == 1 ? std::clamp<int>(at(0), 0, 255) * 0x010101u : FormulaColour(at(0), at(1), at(2));
          ASSERT_EQ(picture->pixels[y * source.width + x], want) << "pixel (" << x << ", " << y << ")";
        }
      }
    });
  }
}

// ------------------------------------------------------------------------------------------------
// Whole pictures

TEST(jpgDecode, GeneratedFilesComeCloseToDjpeg) {
  if (!HaveCodec()) GTEST_SKIP() << "cjpeg/djpeg missing";
  Codec codec;
  // Odd sizes leave partial MCUs on the right and at the bottom.
  for (const RgbaPicture& source :
       {PhotoLike(101, 77, 1), PhotoLike(64, 48, 2), PhotoLike(9, 17, 3), PhotoLike(1, 1, 4)}) {
    for (const char* options :
         {"-sample 1x1", "-sample 2x1", "-sample 1x2", "-sample 2x2", "-grayscale", "-sample 2x2,2x1,1x2",
          "-sample 2x2 -restart 1", "-quality 95 -sample 2x1 -restart 2B"}) {
      SCOPED_TRACE(std::to_string(source.width) + "x" + std::to_string(source.height) + " " + options);
      const std::string file = codec.Encode(source, std::string("-quality 85 ") + options);
      RgbaPicture reference;
      ASSERT_TRUE(codec.Reference(file, reference));
      Picture picture;
      Decode(file, picture);
      EXPECT_TRUE(
          Near(*picture.image, reference, source.width * source.height < 1000 ? kTinyBounds : kGeneratedBounds));
      EXPECT_EQ(picture->bitsPerPixel, 24);
    }
  }
}

TEST(jpgDecode, RestartIntervalsAndScanLayoutsChangeNoPixel) {
  // Same picture, quality and sampling give the same coefficients whatever the restart interval
  // or the split into scans, so the pictures must be identical.
  if (!HaveCodec()) GTEST_SKIP() << "cjpeg/djpeg missing";
  Codec codec;
  const RgbaPicture source = PhotoLike(83, 59, 5);
  ASSERT_TRUE(WriteFile(codec.Path("each.scans"), "0;1;2;") && WriteFile(codec.Path("pair.scans"), "0;1 2;"));
  for (const std::string sampling : {"-sample 2x2", "-sample 2x1", "-sample 1x2", "-sample 1x1", "-grayscale"}) {
    const std::string plain = codec.Encode(source, "-quality 80 " + sampling);
    Picture expected;
    Decode(plain, expected);
    ASSERT_EQ(expected->width, source.width) << sampling;
    std::vector<std::string> variants = {"-restart 1", "-restart 1B", "-restart 3B", "-restart 7B"};
    if (sampling != "-grayscale") {
      for (const char* scans : {"each", "pair"})
        variants.push_back("-scans '" + codec.Path(scans) + ".scans' -restart 2B");
    }
    for (const std::string& variant : variants) {
      const std::string file = codec.Encode(source, "-quality 80 " + sampling + " " + variant);
      ASSERT_NE(file, plain) << sampling << " " << variant;
      Picture picture;
      Decode(file, picture);
      EXPECT_EQ(picture->pixels, expected->pixels) << sampling << " " << variant;
    }
  }
}

TEST(jpgDecode, SharedSamples) {
  const std::string folder = TestDataFolder();
  if (folder.empty()) GTEST_SKIP() << "shared sample pictures absent";
  const std::string jpeg = folder + "jpeg/";
  std::istringstream baseline(
      "gen_420 gen_420_17x9 gen_420_1x1 gen_420_noninterleaved_scans gen_420_optimized_huffman gen_420_q5_baseline "
      "gen_420_rst1mcu gen_420_rst1row gen_420_shira_bird gen_422 gen_422_17x9 gen_422_rst1row gen_422_rst5mcu gen_440 "
      "gen_444 gen_444_q100 gen_444_rst1row gen_444_rst3mcu gen_gray gen_gray_rst7mcu ljt_testimgcrop ljt_testimggray "
      "ljt_testorig");
  for (std::string name; baseline >> name;) {
    RgbaPicture reference;
    const std::string nosmooth = jpeg + "ref/" + name + ".nosmooth.pam";
    ASSERT_TRUE(ReadPam(FileExists(nosmooth) ? nosmooth : jpeg + "ref/" + name + ".pam", reference)) << name;
    Picture picture;
    Decode(ReadFile(jpeg + name + ".jpg"), picture);
    EXPECT_TRUE(Near(*picture.image, reference, kPhotoBounds)) << name;
  }
  // Progressive, extended (16-bit tables), 12-bit and arithmetic-coded files give no picture.
  for (const char* name :
       {"gen_prog_420", "gen_prog_420_33x31_rst1mcu", "gen_prog_420_rst1row", "gen_prog_422", "gen_prog_444",
        "gen_prog_gray", "gen_420_q5", "ljt_monkey12_12bit", "ljt_testimgari_arithmetic", "ljt_testimgp_progressive"}) {
    Picture picture;
    Decode(ReadFile(jpeg + name + ".jpg"), picture);
    EXPECT_TRUE(picture->width == 0 && picture->pixels.empty()) << name;
  }
  // A luma factor of 4 stops decoding at the scan: the picture has its size and no pixel set.
  Picture wide;
  Decode(ReadFile(jpeg + "gen_411.jpg"), wide);
  EXPECT_TRUE(wide->width == 227 && wide->height == 149 && AllZero(*wide.image));
}

// ------------------------------------------------------------------------------------------------
// Faults and damage

class jpgFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCodec()) GTEST_SKIP() << "cjpeg/djpeg missing";
    file_ = codec_.Encode(PhotoLike(48, 40, 7), "-quality 75 -sample 2x2");
    Decode(file_, full_);
    ASSERT_EQ(full_->width, 48);
    scan_ = FindSegment(file_, 0xDA);
    frame_ = FindSegment(file_, 0xC0);
    data_ = scan_ + Segment(file_, scan_).size();
  }
  std::string BeforeScan(const std::string& insert) const {
    return file_.substr(0, scan_) + insert + file_.substr(scan_);
  }

  // Every pixel is the full decode's or still 0.
  ::testing::AssertionResult PartOfFull(const imageData& image) const {
    if (image.width != 48 || image.pixels.size() != full_->pixels.size())
      return ::testing::AssertionFailure() << "size";
    for (size_t i = 0; i < image.pixels.size(); ++i) {
      if (image.pixels[i] != 0 && image.pixels[i] != full_->pixels[i])
        return ::testing::AssertionFailure() << "pixel " << i;
    }
    return ::testing::AssertionSuccess();
  }

  Codec codec_;
  std::string file_;
  Picture full_;
  size_t scan_ = 0, frame_ = 0, data_ = 0;
};

TEST_F(jpgFaults, TruncatedFilesKeepTheMcusDecodedSoFar) {
  const size_t frameEnd = frame_ + Segment(file_, frame_).size();
  for (const std::string& file : {file_, codec_.Encode(PhotoLike(48, 40, 7), "-quality 75 -sample 2x2 -restart 1B")}) {
    size_t previous = 0;
    for (size_t length = 0; length < file.size(); ++length) {
      Picture picture;
      Decode(file.substr(0, length), picture);
      if (length < frameEnd) {  // nothing is known before the whole frame header
        ASSERT_TRUE(picture->width == 0 && picture->pixels.empty()) << length;
        continue;
      }
      ASSERT_TRUE(PartOfFull(*picture.image)) << "prefix of " << length << " bytes";
      const size_t decoded =
          std::count_if(picture->pixels.begin(), picture->pixels.end(), [](uint32_t p) { return p != 0; });
      ASSERT_GE(decoded, previous) << length;
      previous = decoded;
    }
    Picture almost;  // only the end-of-image marker missing
    Decode(file.substr(0, file.size() - 2), almost);
    EXPECT_EQ(almost->pixels, full_->pixels);
  }
}

TEST_F(jpgFaults, InvalidCodesStopDecodingForGood) {
  // Stuffed 0xFF bytes in the middle of the data: no table holds a 16-bit code of all ones.
  std::string damaged = file_;
  for (size_t i = 0; i < 8; ++i) damaged.replace((data_ + file_.size()) / 2 + 2 * i, 2, std::string("\xFF\x00", 2));
  Picture picture;
  Decode(damaged, picture);
  ASSERT_TRUE(PartOfFull(*picture.image));
  EXPECT_TRUE(std::equal(full_->pixels.begin(), full_->pixels.begin() + 48 * 16, picture->pixels.begin()))
      << "first MCU row";
  EXPECT_TRUE(std::all_of(picture->pixels.end() - 48 * 8, picture->pixels.end(), [](uint32_t p) { return p == 0; }));
  // A whole second scan after the damaged one changes nothing.
  Picture again;
  Decode(damaged.substr(0, damaged.size() - 2) + file_.substr(scan_), again);
  EXPECT_EQ(again->pixels, picture->pixels);
}

TEST_F(jpgFaults, HeaderFaultsStopDecoding) {
  const std::string dht = Segment(file_, FindSegment(file_, 0xC4));
  std::string renumbered = dht;  // the same tables as numbers 2 and 3, which no scan uses
  for (size_t at = 4; at < renumbered.size();) {
    renumbered[at] = static_cast<char>(renumbered[at] | 2);
    int symbols = 0;
    for (int i = 1; i <= 16; ++i) symbols += static_cast<uint8_t>(renumbered[at + i]);
    at += 17 + static_cast<size_t>(symbols);
  }
  Picture unused;
  Decode(BeforeScan(renumbered), unused);
  EXPECT_EQ(unused->pixels, full_->pixels);

  // Faults after the frame header leave the picture at its size with no pixel set.
  auto patched = [&](size_t at, char value) {
    std::string file = file_;
    file[at] = value;
    return file;
  };
  const std::pair<const char*, std::string> blanks[] = {
      {"a table defined twice", BeforeScan(dht)},
      {"undefined tables", patched(scan_ + 6, 0x33)},
      {"sampling factor 3", patched(frame_ + 11, 0x33)},
      {"component id 0", patched(frame_ + 10, 0)},
      {"scan component the frame lacks", patched(scan_ + 5, 4)},
      {"arithmetic conditioning", BeforeScan(std::string("\xFF\xCC\x00\x06\x00\x10\x01\x10", 8))}};
  for (const auto& [what, file] : blanks) {
    Picture picture;
    Decode(file, picture);
    EXPECT_TRUE(picture->width == 48 && AllZero(*picture.image)) << what;
  }
  // Frames other than baseline, or with other than 8-bit samples, give no picture at all.
  for (const std::string& file : {patched(frame_ + 1, '\xC1'), patched(frame_ + 1, '\xC2'), patched(frame_ + 1, '\xC9'),
                                  patched(frame_ + 4, 12)}) {
    Picture picture;
    Decode(file, picture);
    EXPECT_TRUE(picture->width == 0 && picture->pixels.empty());
  }
}

TEST_F(jpgFaults, SizesBeyondTheFileAreRefused) {
  // A 17-byte header (SOI, SOF0 of one component, EOI) may claim 1024 pixels per byte, 17,408.
  auto header = [](int width, int height) {
    return std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08", 7) + static_cast<char>(height >> 8) + static_cast<char>(height) +
           static_cast<char>(width >> 8) + static_cast<char>(width) + std::string("\x01\x01\x11\x00\xFF\xD9", 6);
  };
  for (auto [width, height, accepted] :
       {std::tuple{65535, 65535, false}, std::tuple{16384, 16384, false}, std::tuple{0, 10, false},
        std::tuple{1024, 17, true}, std::tuple{1024, 18, false}, std::tuple{1, 16384, true}}) {
    Picture picture;
    Decode(header(width, height), picture);
    EXPECT_EQ(picture->pixels.size(), accepted ? static_cast<size_t>(width) * height : 0u) << width << "x" << height;
  }
  // Until a frame header is taken the picture stays as it was.
  Picture kept;
  kept->width = 2;
  kept->pixels = {7, 8};
  Decode(header(65535, 65535), kept);
  EXPECT_EQ(kept->pixels, (std::vector<uint32_t>{7, 8}));
}

TEST_F(jpgFaults, DamagedBytesNeverBreakTheDecoder) {
  // Hostile values over every header byte (random data is the fuzz harness's): each gives no
  // picture or a whole one of the size it claims.
  auto wellFormed = [](const imageData& image) {
    return image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  };
  for (size_t position = 0; position < data_; ++position) {
    for (char value : {'\x00', '\x01', '\x0F', '\x10', '\x7F', '\xC0', '\xD9', '\xDA', '\xFF'}) {
      std::string damaged = file_;
      damaged[position] = value;
      Picture picture;
      Decode(damaged, picture);
      ASSERT_TRUE(wellFormed(*picture.image)) << "byte " << position << " = " << int(value);
    }
  }
}

}  // namespace

// Shared pieces of the picture reader and writer tests: a fixture with its own program folder,
// generated photo-like pictures, reference decodes and pixel comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "image/image.h"
#include "image/image_formats.h"
#include "image/image_test_support.h"
#include "support/test_support.h"

namespace tftest {

// Owns a picture chain for the length of a test.
struct PictureChain {
  imageData* chain = nullptr;
  PictureChain() = default;
  PictureChain(const PictureChain&) = delete;
  PictureChain& operator=(const PictureChain&) = delete;
  ~PictureChain() { ImageFree(chain); }
  imageData* operator->() { return chain; }
  imageData& operator*() { return *chain; }
};

// Each test gets a fresh folder as program folder, with the data layer started there.
class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFolder(dir_);
    DataFileStart();
  }
  void TearDown() override { DataFileEnd(); }

  std::string Path(const std::string& name) const { return dir_ / name; }

  // Loads a file through ImageLoad into a fresh chain.
  void Load(const std::string& path, PictureChain& picture) { ImageLoad(path, picture.chain); }

  TempDir dir_;
};

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Decodes bytes with one of the byte-level readers into a fresh chain.
inline void DecodeInto(void (*decode)(const std::vector<uint8_t>&, imageData*), const std::string& bytes,
                       PictureChain& picture) {
  if (picture.chain == nullptr) ImageNew(picture.chain);
  decode(Bytes(bytes), picture.chain);
}

// A deterministic picture that looks like a photo to an encoder: smooth gradients, a little
// noise, and a few flat areas so that run-length coders find runs. Alpha is 255, or a ramp.
inline RgbaPicture PhotoLike(int32_t width, int32_t height, bool alphaRamp = false, uint32_t seed = 1) {
  RgbaPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<size_t>(width) * height);
  uint32_t state = seed * 2654435761u + 12345u;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>((state >> 24) % 9) - 4;
      auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      uint32_t r, g, b;
      if ((x / 16 + y / 8) % 5 == 0) {  // flat patches
        r = 40 + (x / 16) * 20 % 200;
        g = 200;
        b = 90;
      } else {
        r = clamp(x * 255 / (width > 1 ? width - 1 : 1) + noise);
        g = clamp(y * 255 / (height > 1 ? height - 1 : 1) - noise);
        b = clamp(128 + ((x * 3 + y * 5) % 97) - 48 + noise);
      }
      const uint32_t a = alphaRamp ? static_cast<uint32_t>(x * 255 / (width > 1 ? width - 1 : 1)) : 255;
      picture.pixels[static_cast<size_t>(y) * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return picture;
}

// The picture as an imageData with the given depth (alpha copied as it stands).
inline void FillPicture(imageData* image, const RgbaPicture& source, uint8_t bits) {
  image->width = source.width;
  image->height = source.height;
  image->bitsPerPixel = bits;
  image->pixels = source.pixels;
  image->substitute = false;
}

// ImageMagick's reading of a file as 8-bit RGBA.
inline bool MagickDecode(const std::string& file, const std::string& pam, RgbaPicture& picture) {
  return RunCommand("convert '" + file + "' -depth 8 'pam:" + pam + "' 2>/dev/null") && ReadPam(pam, picture);
}

// A netpbm converter's reading of a file (`tool` is e.g. "bmptopnm"), as 8-bit RGB.
inline bool NetpbmDecode(const std::string& tool, const std::string& file, const std::string& out, RgbaPicture& picture) {
  return RunCommand(tool + " '" + file + "' > '" + out + ".raw' 2>/dev/null && ppmtoppm < '" + out +
                    ".raw' | pamdepth 255 > '" + out + "'") &&
         ReadPam(out, picture);
}

struct CompareOptions {
  int tolerance = 0;            // per colour channel
  bool onlyWhereOpaque = false; // skip pixels whose reference alpha is 0
  bool alpha = false;           // compare alpha too (exactly)
};

// Pixel-for-pixel comparison of a decoded picture with a reference, reporting the first misfit.
inline ::testing::AssertionResult SamePixels(const imageData& image, const RgbaPicture& reference,
                                             CompareOptions options = {}) {
  if (image.substitute) return ::testing::AssertionFailure() << "the reader gave the substitute picture";
  if (image.width != reference.width || image.height != reference.height) {
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height << ", reference "
                                         << reference.width << "x" << reference.height;
  }
  if (image.pixels.size() != reference.pixels.size()) return ::testing::AssertionFailure() << "pixel count";
  size_t misfits = 0;
  std::string first;
  for (size_t i = 0; i < reference.pixels.size(); ++i) {
    const uint32_t want = reference.pixels[i];
    const uint32_t got = image.pixels[i];
    if (options.onlyWhereOpaque && (want >> 24) == 0) continue;
    bool same = true;
    for (int shift = 0; shift < 24; shift += 8) {
      if (std::abs(static_cast<int>((want >> shift) & 0xFF) - static_cast<int>((got >> shift) & 0xFF)) > options.tolerance) {
        same = false;
      }
    }
    if (options.alpha && (want >> 24) != (got >> 24)) same = false;
    if (!same) {
      if (misfits++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "pixel (%zu, %zu): 0x%08X, reference 0x%08X", i % reference.width,
                      i / reference.width, got, want);
        first = text;
      }
    }
  }
  if (misfits > 0) return ::testing::AssertionFailure() << misfits << " pixels differ; first " << first;
  return ::testing::AssertionSuccess();
}

// The substitute picture: 16 x 16, white with a red frame and red diagonals.
inline bool IsSubstitute(const imageData& image) {
  if (!image.substitute || image.width != 16 || image.height != 16 || image.pixels.size() != 256) return false;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool red = x == 0 || y == 0 || x == 15 || y == 15 || x == y || x == 15 - y;
      if (image.pixels[y * 16 + x] != (red ? 0x00FF0000u : 0x00FFFFFFu)) return false;
    }
  }
  return true;
}

// A decoded picture that is either the substitute or a whole picture of the size it claims.
inline bool WellFormed(const imageData& image) {
  if (image.substitute) return IsSubstitute(image);
  return image.width >= 1 && image.height >= 1 && image.width <= kMaxPictureSide && image.height <= kMaxPictureSide &&
         image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

// Feeds every prefix of a valid file to a reader: each must give a well-formed picture, and the
// whole file the full one. Returns the number of prefixes that decoded to a real picture.
inline size_t PrefixSweep(void (*decode)(const std::vector<uint8_t>&, imageData*), const std::string& file) {
  size_t decoded = 0;
  for (size_t length = 0; length <= file.size(); ++length) {
    PictureChain picture;
    DecodeInto(decode, file.substr(0, length), picture);
    EXPECT_TRUE(WellFormed(*picture)) << "prefix of " << length << " bytes";
    if (!picture->substitute) ++decoded;
  }
  return decoded;
}

// Overwrites bytes of a valid file at each position in [from, to) with a few hostile values and
// decodes the result: every variant must give a well-formed picture.
inline void CorruptionSweep(void (*decode)(const std::vector<uint8_t>&, imageData*), const std::string& file,
                            size_t from, size_t to) {
  static const uint8_t kValues[] = {0x00, 0x01, 0x7F, 0x80, 0xC0, 0xFE, 0xFF};
  for (size_t position = from; position < to && position < file.size(); ++position) {
    for (uint8_t value : kValues) {
      std::string damaged = file;
      damaged[position] = static_cast<char>(value);
      PictureChain picture;
      DecodeInto(decode, damaged, picture);
      EXPECT_TRUE(WellFormed(*picture)) << "byte " << position << " = " << int(value);
    }
  }
}

}  // namespace tftest

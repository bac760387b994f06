// PCX pictures: one 1-bit plane (black and white), one 8-bit plane (256-colour table at the end
// of the file) or three 8-bit planes (red, green, blue), run-length coded scan lines.
#include <algorithm>

#include "data/data_file.h"
#include "image/image_formats.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kVersionWithPalette = 5;
constexpr size_t kPaletteBlock = 769;  // marker byte 12 and 256 red, green, blue triples
constexpr uint8_t kPaletteMarker = 12;
constexpr uint8_t kRunFlag = 0xC0;
constexpr uint8_t kRunCount = 0x3F;

void GreyRamp(uint32_t* palette) {
  for (uint32_t j = 0; j < 256; ++j) palette[j] = j * 0x010101u;
}

}  // namespace

void ImageDecodePcx(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  ByteReader reader(bytes);
  const uint8_t manufacturer = reader.U8();
  const uint8_t version = reader.U8();
  reader.Skip(1);  // encoding: scan lines are always read run-length coded
  const uint8_t bitsPerPlane = reader.U8();
  const int32_t xMin = reader.U16();
  const int32_t yMin = reader.U16();
  const int32_t xMax = reader.U16();
  const int32_t yMax = reader.U16();
  reader.Seek(65);
  const uint8_t planes = reader.U8();
  const size_t bytesPerLine = reader.U16();
  reader.Seek(kHeaderSize);
  if (reader.Failed() || manufacturer != kManufacturer) {
    ImageMakeSubstitute(image);
    return;
  }
  image->bitsPerPixel = static_cast<uint8_t>(bitsPerPlane * planes);
  const bool mono = planes == 1 && bitsPerPlane == 1;
  const bool indexed = planes == 1 && bitsPerPlane == 8;
  const bool trueColour = planes == 3 && bitsPerPlane == 8;
  const int32_t width = xMax - xMin + 1;
  const int32_t height = yMax - yMin + 1;
  // A plane line must hold the picture's row; the coded lines cannot expand by more than 63
  // bytes per two bytes of the file, so a file too short for its lines is refused before
  // anything is allocated.
  const size_t lineBytes = bytesPerLine * planes;
  const size_t neededLine = width > 0 ? (static_cast<size_t>(width) * bitsPerPlane + 7) / 8 : 0;
  const size_t codedBytes = bytes.size() - kHeaderSize;
  const bool fits = height > 0 && lineBytes * static_cast<size_t>(height) / kRunCount <= codedBytes / 2 + 1;
  if (!(mono || indexed || trueColour) || bytesPerLine < neededLine || !fits || !ImageResize(image, width, height)) {
    ImageMakeSubstitute(image);
    return;
  }

  if (mono) {
    image->palette[0] = 0;
    image->palette[1] = 0x00FFFFFFu;
  } else if (indexed) {
    // Version 5 files keep a 256-colour table at the end; without its marker, or in older
    // versions, the indices are grey levels.
    const size_t size = bytes.size();
    if (version == kVersionWithPalette && size >= kHeaderSize + kPaletteBlock &&
        bytes[size - kPaletteBlock] == kPaletteMarker) {
      const uint8_t* entry = bytes.data() + size - kPaletteBlock + 1;
      for (int j = 0; j < 256; ++j, entry += 3) {
        image->palette[j] = (static_cast<uint32_t>(entry[0]) << 16) | (static_cast<uint32_t>(entry[1]) << 8) | entry[2];
      }
    } else {
      GreyRamp(image->palette);
    }
  }

  std::vector<uint8_t> line(lineBytes);
  const uint8_t* data = bytes.data();
  size_t position = kHeaderSize;
  const size_t end = bytes.size();
  for (int32_t y = 0; y < height; ++y) {
    // Every step takes at least one byte of the file; a run stops at the end of the scan line.
    size_t x = 0;
    while (x < lineBytes) {
      if (position >= end) {
        ImageMakeSubstitute(image);
        return;
      }
      const uint8_t value = data[position++];
      if (value < kRunFlag) {
        line[x++] = value;
        continue;
      }
      if (position >= end) {
        ImageMakeSubstitute(image);
        return;
      }
      const size_t count = std::min<size_t>(value & kRunCount, lineBytes - x);
      std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(x), count, data[position++]);
      x += count;
    }

    uint32_t* out = image->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t column = 0; column < width; ++column) {
      if (mono) {
        out[column] = (line[column / 8] >> (7 - column % 8)) & 1 ? 0x00FFFFFFu : 0;
      } else if (indexed) {
        out[column] = image->palette[line[column]];
      } else {
        out[column] = (static_cast<uint32_t>(line[column]) << 16) |
                      (static_cast<uint32_t>(line[bytesPerLine + column]) << 8) | line[2 * bytesPerLine + column];
      }
    }
  }
  image->substitute = false;
}

void ImageLoadPcx(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodePcx(bytes, image);
}

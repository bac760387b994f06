// Targa pictures: the true-colour reader (uncompressed type 2, run-length type 10) and the
// run-length writer.
#include <algorithm>
#include <cstring>

#include "data/data_file.h"
#include "image/image_formats.h"

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint8_t kTypeTrueColour = 2;
constexpr uint8_t kTypeTrueColourRle = 10;
// Descriptor bits 4 and 5 give the origin: pixels run right to left, rows run top to bottom.
constexpr uint8_t kDescriptorRightToLeft = 0x10;
constexpr uint8_t kDescriptorTopToBottom = 0x20;
// What the writer puts in the descriptor: top-left origin, 8 alpha bits.
constexpr uint8_t kWriterDescriptor = 0x28;
constexpr size_t kMaxPacketPixels = 128;

// A 16-bit pixel is 5-5-5 with the top bit as alpha; each colour is widened as the bitmap
// reader widens its 16-bit pixels (value x 255 / 31).
inline uint32_t Expand555(uint32_t value) {
  const uint32_t red = ((value >> 10) & 31) * 255 / 31;
  const uint32_t green = ((value >> 5) & 31) * 255 / 31;
  const uint32_t blue = (value & 31) * 255 / 31;
  const uint32_t alpha = (value & 0x8000) != 0 ? 0xFF000000u : 0;
  return alpha | (red << 16) | (green << 8) | blue;
}

// Pixel bytes are blue, green, red (, alpha): the low bytes of the 0xAARRGGBB value.
template <int kBytes>
inline uint32_t LoadPixel(const uint8_t* p) {
  if constexpr (kBytes == 2) {
    return Expand555(LoadLe16(p));
  } else if constexpr (kBytes == 3) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
  } else {
    return LoadLe32(p);
  }
}

template <int kBytes>
void CopyPixels(const uint8_t* source, uint32_t* out, size_t count) {
  if constexpr (kBytes == 4) {
    for (size_t i = 0; i < count; ++i) out[i] = LoadPixel<4>(source + 4 * i);
  } else if constexpr (kBytes == 3) {
    // Four-byte loads where a byte follows the pixel; the last pixel is read byte by byte.
    size_t i = 0;
    for (; i + 1 < count; ++i) {
      uint32_t value;
      std::memcpy(&value, source + 3 * i, 4);
      out[i] = value & 0x00FFFFFFu;
    }
    if (i < count) out[i] = LoadPixel<3>(source + 3 * i);
  } else {
    for (size_t i = 0; i < count; ++i) out[i] = LoadPixel<kBytes>(source + kBytes * i);
  }
}

// Decodes packets until `total` pixels are made or the bytes end (the rest stays 0). A packet
// that would overshoot the picture is cut at its end.
template <int kBytes>
void DecodeRle(const uint8_t* source, size_t size, uint32_t* out, size_t total) {
  size_t position = 0;
  size_t made = 0;
  while (made < total && position < size) {
    const uint8_t header = source[position++];
    size_t count = std::min<size_t>((header & 0x7F) + 1, total - made);
    if ((header & 0x80) != 0) {
      if (size - position < kBytes) return;
      std::fill_n(out + made, count, LoadPixel<kBytes>(source + position));
      position += kBytes;
    } else {
      count = std::min(count, (size - position) / kBytes);
      CopyPixels<kBytes>(source + position, out + made, count);
      position += count * kBytes;
      if (count == 0) return;
    }
    made += count;
  }
}

void Orient(imageData* image, uint8_t descriptor) {
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  uint32_t* pixels = image->pixels.data();
  if ((descriptor & kDescriptorTopToBottom) == 0) {
    for (size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(pixels + top * width, pixels + (top + 1) * width, pixels + bottom * width);
    }
  }
  if ((descriptor & kDescriptorRightToLeft) != 0) {
    for (size_t y = 0; y < height; ++y) std::reverse(pixels + y * width, pixels + (y + 1) * width);
  }
}

}  // namespace

void ImageDecodeTga(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  ByteReader reader(bytes);
  const uint8_t idLength = reader.U8();
  const uint8_t colourMapType = reader.U8();
  const uint8_t imageType = reader.U8();
  reader.Skip(2);  // first colour-map entry
  const uint16_t colourMapLength = reader.U16();
  const uint8_t colourMapDepth = reader.U8();
  reader.Skip(4);  // origin on the screen
  const int32_t width = reader.U16();
  const int32_t height = reader.U16();
  const uint8_t depth = reader.U8();
  const uint8_t descriptor = reader.U8();
  if (reader.Failed() || (imageType != kTypeTrueColour && imageType != kTypeTrueColourRle)) {
    ImageMakeSubstitute(image);
    return;
  }
  int bytesPerPixel = 0;
  if (depth == 15 || depth == 16) bytesPerPixel = 2;
  if (depth == 24) bytesPerPixel = 3;
  if (depth == 32) bytesPerPixel = 4;
  if (bytesPerPixel == 0) {
    ImageMakeSubstitute(image);
    return;
  }
  image->bitsPerPixel = static_cast<uint8_t>(bytesPerPixel * 8);

  // The identification field, and a colour map that a true-colour file may still carry, come
  // before the pixels.
  reader.Skip(idLength);
  if (colourMapType == 1) reader.Skip(static_cast<size_t>(colourMapLength) * ((colourMapDepth + 7u) / 8u));
  const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t available = reader.Remaining();
  // The bytes must be able to hold the pixels before anything is allocated: all of them when
  // uncompressed; at most 128 pixels per packet of 1 + bytesPerPixel bytes when run-length coded.
  const size_t packets = (available + bytesPerPixel) / (1 + bytesPerPixel);
  const bool enough = imageType == kTypeTrueColour ? available / bytesPerPixel >= total
                                                   : packets >= (total + kMaxPacketPixels - 1) / kMaxPacketPixels;
  if (reader.Failed() || !enough || !ImageResize(image, width, height)) {
    ImageMakeSubstitute(image);
    return;
  }
  image->substitute = false;

  const uint8_t* source = reader.Here();
  uint32_t* out = image->pixels.data();
  if (imageType == kTypeTrueColour) {
    switch (bytesPerPixel) {
      case 2: CopyPixels<2>(source, out, total); break;
      case 3: CopyPixels<3>(source, out, total); break;
      default: CopyPixels<4>(source, out, total); break;
    }
  } else {
    switch (bytesPerPixel) {
      case 2: DecodeRle<2>(source, available, out, total); break;
      case 3: DecodeRle<3>(source, available, out, total); break;
      default: DecodeRle<4>(source, available, out, total); break;
    }
  }
  Orient(image, descriptor);
}

void ImageLoadTga(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeTga(bytes, image);
}

// ---------------------------------------------------------------------------------------------
// Writer

namespace {

// The pixel as the file stores it, in the low `bytes` bytes.
inline uint32_t StoredPixel(uint32_t pixel, int bytes) {
  if (bytes == 2) {
    // 5-5-5 rounded to the nearest step, so that a 16-bit picture read by this unit comes back
    // with the same bits; the top bit carries alpha.
    const uint32_t red = (((pixel >> 16) & 0xFF) * 31 + 127) / 255;
    const uint32_t green = (((pixel >> 8) & 0xFF) * 31 + 127) / 255;
    const uint32_t blue = ((pixel & 0xFF) * 31 + 127) / 255;
    return (red << 10) | (green << 5) | blue | ((pixel >> 31) != 0 ? 0x8000u : 0);
  }
  return bytes == 3 ? pixel & 0x00FFFFFFu : pixel;
}

// The pixel's low `bytes` bytes, least significant first.
inline void PutPixel(ByteWriter& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.U8(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

void ImageSaveTga(const std::string& fileName, const imageData* image) {
  if (image == nullptr || image->width < 1 || image->height < 1 || image->width > 0xFFFF || image->height > 0xFFFF) return;
  const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  if (image->pixels.size() < count) return;

  // Pictures of 8 bits or fewer hold their palette colours in the pixels: one byte of such a
  // pixel is no colour, so they are written as 24-bit true colour.
  int bytes = 4;
  if (image->bitsPerPixel <= 8) bytes = 3;
  else if (image->bitsPerPixel <= 16) bytes = 2;
  else if (image->bitsPerPixel <= 24) bytes = 3;

  std::vector<uint32_t> stored(count);
  bool anyAlphaBit = false;
  for (size_t i = 0; i < count; ++i) {
    stored[i] = StoredPixel(image->pixels[i], bytes);
    anyAlphaBit = anyAlphaBit || (bytes == 2 && (stored[i] & 0x8000u) != 0);
  }
  // A 16-bit file declares its one alpha bit only when some pixel uses it.
  const uint8_t descriptor = bytes == 2 ? static_cast<uint8_t>(kDescriptorTopToBottom | (anyAlphaBit ? 1 : 0))
                                        : kWriterDescriptor;

  std::vector<uint8_t> file;
  file.reserve(kHeaderSize + count * bytes + count / kMaxPacketPixels + 16);
  ByteWriter out(file);
  out.U8(0);  // no identification field
  out.U8(0);  // no colour map
  out.U8(kTypeTrueColourRle);
  out.Fill(0, 9);  // colour-map fields and origin
  out.U16(static_cast<uint16_t>(image->width));
  out.U16(static_cast<uint16_t>(image->height));
  out.U8(static_cast<uint8_t>(bytes * 8));
  out.U8(descriptor);

  size_t i = 0;
  while (i < count) {
    if (count - i == 1) {
      out.U8(0);
      PutPixel(out, stored[i], bytes);
      break;
    }
    size_t run = 2;
    if (stored[i] == stored[i + 1]) {
      while (run < kMaxPacketPixels && i + run < count && stored[i + run] == stored[i]) ++run;
      out.U8(static_cast<uint8_t>(run - 1 + 128));
      PutPixel(out, stored[i], bytes);
    } else {
      while (run < kMaxPacketPixels && i + run < count && stored[i + run] != stored[i + run - 1]) ++run;
      // A pixel equal to the one before it stopped the packet: that pair opens the next one.
      if (run < kMaxPacketPixels && i + run < count) --run;
      out.U8(static_cast<uint8_t>(run - 1));
      for (size_t k = 0; k < run; ++k) PutPixel(out, stored[i + k], bytes);
    }
    i += run;
  }

  ImageWriteWholeFile(fileName, file);
}

// Windows bitmap pictures: the reader (uncompressed and bit-field files, information headers of
// 40 bytes and larger, bottom-up and top-down rows) and the uncompressed writer.
#include <algorithm>
#include <bit>
#include <cstring>

#include "data/data_file.h"
#include "image/image_formats.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
// Information headers that carry the red, green, blue masks (V2, 52 bytes) and the alpha mask
// too (V3, 56 bytes; V4 and V5 are larger still).
constexpr uint32_t kHeaderWithMasks = 52;
constexpr uint32_t kHeaderWithAlphaMask = 56;

// One colour component taken out of a pixel by a bit-field mask and widened to 0..255.
struct bitFieldChannel {
  uint32_t shift = 0;
  uint32_t mask = 0;  // the mask's run of one bits, moved down to bit 0; 0 = the component is 0
  uint64_t maximum = 0;

  static bitFieldChannel FromMask(uint32_t fileMask) {
    bitFieldChannel channel;
    if (fileMask == 0) return channel;
    channel.shift = static_cast<uint32_t>(std::countr_zero(fileMask));
    const int ones = std::countr_one(fileMask >> channel.shift);
    channel.mask = ones >= 32 ? 0xFFFFFFFFu : (1u << ones) - 1;
    channel.maximum = channel.mask;
    return channel;
  }
  static bitFieldChannel Fixed(uint32_t shift, uint32_t mask) { return {shift, mask, mask}; }

  uint32_t Value(uint32_t pixel) const {
    if (maximum == 0) return 0;
    return static_cast<uint32_t>(((pixel >> shift) & mask) * uint64_t{255} / maximum);
  }
};

struct bitFields {
  bitFieldChannel red, green, blue, alpha;

  uint32_t Colour(uint32_t pixel) const {
    return (alpha.Value(pixel) << 24) | (red.Value(pixel) << 16) | (green.Value(pixel) << 8) | blue.Value(pixel);
  }
};

void DecodeIndexedRow(const uint8_t* row, int bits, const uint32_t* palette, uint32_t* out, int32_t width) {
  if (bits == 8) {
    for (int32_t x = 0; x < width; ++x) out[x] = palette[row[x]];
    return;
  }
  // Pixels sit in each byte from the most significant bits down.
  const int perByte = 8 / bits;
  const uint32_t mask = (1u << bits) - 1;
  for (int32_t x = 0; x < width; ++x) {
    const int slot = x % perByte;
    out[x] = palette[(row[x / perByte] >> (8 - bits * (slot + 1))) & mask];
  }
}

void DecodeRow24(const uint8_t* row, uint32_t* out, int32_t width) {
  // Four-byte loads where a byte follows the pixel inside the row; the last pixel byte by byte.
  int32_t x = 0;
  for (; x + 1 < width; ++x) {
    uint32_t value;
    std::memcpy(&value, row + 3 * x, 4);
    out[x] = value & 0x00FFFFFFu;
  }
  if (x < width) {
    const uint8_t* p = row + 3 * x;
    out[x] = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
  }
}

}  // namespace

void ImageDecodeBmp(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  ByteReader reader(bytes);
  const uint8_t signature0 = reader.U8();
  const uint8_t signature1 = reader.U8();
  reader.Skip(8);  // file size and two reserved words
  const uint32_t dataOffset = reader.U32();
  const uint32_t headerSize = reader.U32();
  const int32_t width = static_cast<int32_t>(reader.U32());
  const int32_t rawHeight = static_cast<int32_t>(reader.U32());
  reader.Skip(2);  // planes
  const uint16_t bits = reader.U16();
  const uint32_t compression = reader.U32();
  reader.Skip(12);  // image size, resolution
  const uint32_t coloursUsed = reader.U32();
  reader.Skip(4);  // important colours
  const bool validBits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  const bool validCompression = compression == kCompressionNone ||
                                (compression == kCompressionBitFields && (bits == 16 || bits == 32));
  // Headers shorter than 40 bytes (the OS/2 ones) are not read; larger ones add fields at the end.
  if (reader.Failed() || signature0 != 'B' || signature1 != 'M' || headerSize < kInfoHeaderSize || !validBits ||
      !validCompression || rawHeight == INT32_MIN) {
    ImageMakeSubstitute(image);
    return;
  }
  image->bitsPerPixel = static_cast<uint8_t>(bits);
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;

  bitFields fields;
  if (bits == 16) {
    fields.red = bitFieldChannel::Fixed(10, 31);
    fields.green = bitFieldChannel::Fixed(5, 31);
    fields.blue = bitFieldChannel::Fixed(0, 31);
  }
  // The masks sit inside headers of 52 bytes and more, else right after the 40-byte header.
  const size_t tableStart = kFileHeaderSize + headerSize;
  size_t paletteStart = tableStart;
  if (compression == kCompressionBitFields) {
    reader.Seek(kFileHeaderSize + kInfoHeaderSize);
    fields.red = bitFieldChannel::FromMask(reader.U32());
    fields.green = bitFieldChannel::FromMask(reader.U32());
    fields.blue = bitFieldChannel::FromMask(reader.U32());
    if (headerSize >= kHeaderWithAlphaMask) fields.alpha = bitFieldChannel::FromMask(reader.U32());
    if (headerSize < kHeaderWithMasks) paletteStart += 12;
  }

  // The colour table: 2^bits entries or the used-colour count; the picture can index 256 at most.
  size_t paletteEntries = 0;
  if (bits <= 8) {
    paletteEntries = coloursUsed > 0 ? coloursUsed : (size_t{1} << bits);
    reader.Seek(paletteStart);
    std::fill(image->palette, image->palette + 256, 0u);
    const size_t stored = std::min<size_t>(paletteEntries, 256);
    for (size_t i = 0; i < stored; ++i) {
      const uint32_t entry = reader.U32();
      image->palette[i] = entry & 0x00FFFFFFu;
    }
  }
  // Pixel rows start at the file header's offset; writers that leave it 0 (or point it into the
  // headers) put them right after the colour table.
  size_t dataStart = paletteStart + paletteEntries * 4;
  if (dataOffset >= kFileHeaderSize + kInfoHeaderSize) dataStart = dataOffset;

  // Every row must be in the file before the picture is allocated (the last may lack padding).
  const uint64_t rowBytes = (static_cast<uint64_t>(width > 0 ? width : 0) * bits + 7) / 8;
  const uint64_t stride = (rowBytes + 3) / 4 * 4;
  const uint64_t needed = height > 0 ? stride * static_cast<uint64_t>(height - 1) + rowBytes : 0;
  if (reader.Failed() || dataStart > bytes.size() || needed > bytes.size() - dataStart ||
      !ImageResize(image, width, height)) {
    ImageMakeSubstitute(image);
    return;
  }
  image->substitute = false;

  const uint8_t* data = bytes.data() + dataStart;
  const bool channelBits = compression == kCompressionBitFields || bits == 16;
  for (int32_t k = 0; k < height; ++k) {
    const uint8_t* row = data + stride * static_cast<uint64_t>(k);
    const int32_t y = topDown ? k : height - 1 - k;
    uint32_t* out = image->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    if (bits <= 8) {
      DecodeIndexedRow(row, bits, image->palette, out, width);
    } else if (bits == 24) {
      DecodeRow24(row, out, width);
    } else if (!channelBits) {
      // 32 bits without bit fields: blue, green, red, alpha as they stand.
      std::memcpy(out, row, static_cast<size_t>(width) * 4);
    } else if (bits == 16) {
      for (int32_t x = 0; x < width; ++x) out[x] = fields.Colour(LoadLe16(row + 2 * x));
    } else {
      for (int32_t x = 0; x < width; ++x) {
        uint32_t value;
        std::memcpy(&value, row + 4 * x, 4);
        out[x] = fields.Colour(value);
      }
    }
  }
  // Most 32-bit bitmaps leave the fourth byte 0 rather than storing alpha; kept as it stands, such
  // a picture would draw fully transparent. A picture without any alpha at all is taken as opaque.
  if (bits == 32 && std::none_of(image->pixels.begin(), image->pixels.end(), [](uint32_t p) { return (p >> 24) != 0; })) {
    for (uint32_t& pixel : image->pixels) pixel |= 0xFF000000u;
  }
}

void ImageLoadBmp(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeBmp(bytes, image);
}

// ---------------------------------------------------------------------------------------------
// Writer

void ImageSaveBmp(const std::string& fileName, const imageData* image) {
  if (image == nullptr || image->width < 1 || image->height < 1) return;
  const size_t width = static_cast<size_t>(image->width);
  const size_t height = static_cast<size_t>(image->height);
  if (image->pixels.size() < width * height) return;
  // Depths a bitmap cannot hold are written at the next one it can.
  int bits = image->bitsPerPixel;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    bits = bits < 8 ? 8 : bits < 16 ? 16 : bits < 24 ? 24 : 32;
  }
  const uint64_t stride = (width * bits + 31) / 32 * 4;
  const uint64_t paletteBytes = bits <= 8 ? 4u << bits : 0;
  const uint64_t imageBytes = stride * height;
  const uint64_t fileSize = 54 + paletteBytes + imageBytes;
  if (fileSize > 0xFFFFFFFFu) return;

  std::vector<uint8_t> bytes;
  bytes.reserve(fileSize);
  ByteWriter out(bytes);
  out.Text("BM");
  out.U32(static_cast<uint32_t>(fileSize));
  out.U32(0);
  out.U32(static_cast<uint32_t>(54 + paletteBytes));
  out.U32(kInfoHeaderSize);
  out.U32(static_cast<uint32_t>(width));
  out.U32(static_cast<uint32_t>(height));
  out.U16(1);
  out.U16(static_cast<uint16_t>(bits));
  out.U32(kCompressionNone);
  out.U32(static_cast<uint32_t>(imageBytes));
  out.U32(4724);  // 120 pixels per inch
  out.U32(4724);
  out.U32(0);
  out.U32(0);
  for (int i = 0; bits <= 8 && i < (1 << bits); ++i) out.U32(image->palette[i]);

  std::vector<uint8_t> row(stride);
  uint32_t lastColour = 0;
  int32_t lastIndex = -1;
  for (size_t k = 0; k < height; ++k) {
    const uint32_t* pixels = image->pixels.data() + (height - 1 - k) * width;
    std::fill(row.begin(), row.end(), 0);
    if (bits <= 8) {
      const int perByte = 8 / bits;
      for (size_t x = 0; x < width; ++x) {
        // Neighbouring pixels often share a colour: the palette search runs once per change.
        if (lastIndex < 0 || pixels[x] != lastColour) {
          lastColour = pixels[x];
          lastIndex = ImageNearestPaletteIndex(image, lastColour);
        }
        const int slot = static_cast<int>(x % perByte);
        row[x / perByte] |= static_cast<uint8_t>(lastIndex << (8 - bits * (slot + 1)));
      }
    } else if (bits == 16) {
      // 5-5-5, each component rounded to the nearest step so 16-bit pictures keep their bits.
      for (size_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        const uint32_t value = (((p >> 16) & 0xFF) * 31 + 127) / 255 << 10 | (((p >> 8) & 0xFF) * 31 + 127) / 255 << 5 |
                               ((p & 0xFF) * 31 + 127) / 255;
        StoreLe16(row.data() + 2 * x, static_cast<uint16_t>(value));
      }
    } else if (bits == 24) {
      for (size_t x = 0; x < width; ++x) {
        row[3 * x] = static_cast<uint8_t>(pixels[x]);
        row[3 * x + 1] = static_cast<uint8_t>(pixels[x] >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(pixels[x] >> 16);
      }
    } else {
      std::memcpy(row.data(), pixels, width * 4);
    }
    out.Bytes(row.data(), row.size());
  }

  ImageWriteWholeFile(fileName, bytes);
}

// GIF pictures: the decoder (first picture of a GIF87a or GIF89a file) and the writer (one picture
// through a 256-entry global colour table).
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "core/log.h"
#include "data/data_file.h"
#include "image/image_formats.h"

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;  // "!"
constexpr uint8_t kImageSeparator = 0x2C;       // ","
constexpr uint8_t kTrailer = 0x3B;              // ";"
constexpr uint8_t kGraphicControlLabel = 0xF9;

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kMaxCodes = 1u << kMaxCodeBits;

// A code of s bits names a string of at most 2^s indices, so one bit of code data yields at most
// 4096 / 12 indices and one byte fewer than 2731. No picture can hold more pixels than its code
// data can fill; the decoder never allocates beyond that.
constexpr uint64_t kMaxIndicesPerByte = 2731;
// A logical screen may be larger than its pictures, so a screen is refused only when it exceeds
// what the whole file could fill by more than this many pixels (4 MiB of picture).
constexpr uint64_t kScreenAllowance = 1u << 20;

struct colourTable {
  uint32_t entries[256] = {};
  int32_t count = 0;
};

// Reads a colour table of 2^((packed and 7) + 1) red, green, blue triples as 0x00RRGGBB.
void ReadColourTable(ByteReader& in, uint8_t packed, colourTable& table) {
  table = colourTable{};
  table.count = 1 << ((packed & 7) + 1);
  uint8_t rgb[256 * 3];
  in.Bytes(rgb, static_cast<size_t>(table.count) * 3);
  for (int32_t i = 0; i < table.count; ++i) {
    table.entries[i] = (static_cast<uint32_t>(rgb[i * 3]) << 16) | (static_cast<uint32_t>(rgb[i * 3 + 1]) << 8) |
                       rgb[i * 3 + 2];
  }
}

// Skips data sub-blocks up to and including the zero-length terminator (or the end of the file).
void SkipSubBlocks(ByteReader& in) {
  while (!in.AtEnd()) {
    uint8_t size = in.U8();
    if (size == 0) return;
    in.Skip(size);
  }
}

// Joins the data sub-blocks of a picture into one run of bytes. A zero-length block or the end of
// the file ends the data; a block cut short by the end of the file gives what it has.
std::vector<uint8_t> GatherSubBlocks(ByteReader& in) {
  std::vector<uint8_t> data;
  data.reserve(in.Remaining());
  while (!in.AtEnd()) {
    size_t size = in.U8();
    if (size == 0) break;
    size = std::min(size, in.Remaining());
    data.insert(data.end(), in.Here(), in.Here() + size);
    in.Skip(size);
  }
  return data;
}

// Decodes a variable-length LZW code stream into at most `capacity` colour indices; returns how many
// were produced. An inconsistent stream (a code that names no string yet) ends the decoding.
//
// Every code above the clear and end codes names a string that already stands in the output: a new
// entry is the previous code's string followed by one index, and that is exactly the output from
// where the previous code was written. So the table keeps, per code, where its string was written
// and how long it is, and outputting a code is a forward copy within the output.
size_t LzwDecode(const std::vector<uint8_t>& data, uint32_t minimumCodeSize, uint8_t* out, size_t capacity) {
  const uint32_t clearCode = 1u << minimumCodeSize;
  const uint32_t endCode = clearCode + 1;
  uint32_t start[kMaxCodes];
  uint16_t length[kMaxCodes];

  uint32_t codeSize = minimumCodeSize + 1;
  uint32_t lastUsed = endCode;
  bool firstCode = true;
  uint32_t previousLength = 0;  // length of the previous code's string
  size_t previousStart = 0;     // where it was written
  size_t position = 0;

  const uint8_t* in = data.data();
  const uint8_t* inEnd = in + data.size();
  uint64_t bits = 0;
  uint32_t bitCount = 0;

  while (position < capacity) {
    while (bitCount < codeSize) {
      if (in == inEnd) return position;
      bits |= static_cast<uint64_t>(*in++) << bitCount;
      bitCount += 8;
    }
    const uint32_t code = static_cast<uint32_t>(bits) & ((1u << codeSize) - 1);
    bits >>= codeSize;
    bitCount -= codeSize;

    if (code == clearCode) {
      codeSize = minimumCodeSize + 1;
      lastUsed = endCode;
      firstCode = true;
      continue;
    }
    if (code == endCode) break;

    const size_t here = position;
    uint32_t codeLength;
    if (code < clearCode) {
      out[position++] = static_cast<uint8_t>(code);
      codeLength = 1;
    } else if (firstCode) {
      return position;  // only a single index can follow a clear code
    } else {
      size_t source;
      if (code <= lastUsed) {
        source = start[code];
        codeLength = length[code];
      } else if (code == lastUsed + 1) {
        // The code being defined right now: the previous string plus its own first index. The
        // copy's last byte is read after its first byte is written, which supplies that index.
        source = previousStart;
        codeLength = previousLength + 1;
      } else {
        return position;
      }
      const size_t count = std::min<size_t>(codeLength, capacity - position);
      const uint8_t* from = out + source;
      uint8_t* to = out + position;
      for (size_t i = 0; i < count; ++i) to[i] = from[i];
      position += count;
      if (count < codeLength) return position;
    }

    if (!firstCode && lastUsed < kMaxCodes - 1) {
      ++lastUsed;
      start[lastUsed] = static_cast<uint32_t>(previousStart);
      length[lastUsed] = static_cast<uint16_t>(previousLength + 1);
    }
    if (lastUsed + 1 >= (1u << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
    firstCode = false;
    previousStart = here;
    previousLength = codeLength;
  }
  return std::min(position, capacity);
}

// The order in which an interlaced picture's rows arrive: every 8th row from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<uint32_t> InterlacedRowOrder(uint32_t height) {
  std::vector<uint32_t> order;
  order.reserve(height);
  static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
  static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (uint32_t row = kStart[pass]; row < height; row += kStep[pass]) order.push_back(row);
  }
  return order;
}

struct gifDecoder {
  imageData* image = nullptr;
  colourTable global;
  bool transparency = false;
  uint8_t transparentIndex = 0;
  bool sizeFromPicture = false;  // the logical screen gave no size; the first picture does
  uint64_t maxPixels = 0;

  // Reads the picture after an image separator into the image; false when the image must become
  // the substitute.
  bool DecodePicture(ByteReader& in) {
    const uint32_t left = in.U16();
    const uint32_t top = in.U16();
    const uint32_t width = in.U16();
    const uint32_t height = in.U16();
    const uint8_t packed = in.U8();
    const bool interlaced = (packed & 0x40) != 0;

    if (sizeFromPicture) {
      if (!SizeImage(left + width, top + height)) return false;
    }

    colourTable local;
    const colourTable* active = &global;
    if (packed & 0x80) {
      ReadColourTable(in, packed, local);
      active = &local;
    }
    std::memcpy(image->palette, active->entries, sizeof image->palette);
    if (transparency) {
      image->bitsPerPixel = 32;
    } else {
      uint8_t log2 = 0;
      while ((1 << log2) < active->count) ++log2;
      image->bitsPerPixel = active->count > 0 ? log2 : 8;
    }

    const uint32_t minimumCodeSize = in.U8();
    if (in.Failed() || minimumCodeSize < 1 || minimumCodeSize > 8) return true;
    const std::vector<uint8_t> data = GatherSubBlocks(in);

    const uint64_t pictureSize = static_cast<uint64_t>(width) * height;
    const size_t capacity = static_cast<size_t>(std::min(pictureSize, data.size() * kMaxIndicesPerByte));
    if (capacity == 0) return true;
    std::vector<uint8_t> indices(capacity);
    const size_t produced = LzwDecode(data, minimumCodeSize, indices.data(), capacity);

    // Transparent pixels keep alpha 0, all others get 255; without transparency every alpha is 0.
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i) {
      const bool opaque = transparency && i != transparentIndex;
      colours[i] = active->entries[i] | (opaque ? 0xFF000000u : 0);
    }

    // The picture stands at its own place inside the screen; what falls outside is dropped.
    const uint32_t screenWidth = static_cast<uint32_t>(image->width);
    const uint32_t screenHeight = static_cast<uint32_t>(image->height);
    if (left >= screenWidth || top >= screenHeight) return true;
    const uint32_t visibleWidth = std::min(width, screenWidth - left);
    std::vector<uint32_t> rows;
    if (interlaced) rows = InterlacedRowOrder(height);
    const size_t completeRows = produced / width;
    for (size_t r = 0; r <= completeRows && r < height; ++r) {
      const uint32_t row = interlaced ? rows[r] : static_cast<uint32_t>(r);
      if (top + row >= screenHeight) {
        if (interlaced) continue;
        break;
      }
      const size_t rowStart = r * width;
      const size_t count = std::min<size_t>(visibleWidth, produced - rowStart);
      const uint8_t* from = indices.data() + rowStart;
      uint32_t* to = image->pixels.data() + static_cast<size_t>(top + row) * screenWidth + left;
      for (size_t x = 0; x < count; ++x) to[x] = colours[from[x]];
    }
    return true;
  }

  // Gives the image its size with all pixels 0; false when the size is refused.
  bool SizeImage(uint64_t width, uint64_t height) {
    if (width * height > maxPixels) return false;
    return width <= static_cast<uint64_t>(kMaxPictureSide) && height <= static_cast<uint64_t>(kMaxPictureSide) &&
           ImageResize(image, static_cast<int32_t>(width), static_cast<int32_t>(height));
  }

  bool Decode(const std::vector<uint8_t>& bytes) {
    ByteReader in(bytes);
    char signature[6];
    in.Bytes(signature, 6);
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0) return false;

    const uint32_t screenWidth = in.U16();
    const uint32_t screenHeight = in.U16();
    const uint8_t packed = in.U8();
    in.Skip(2);  // background index and aspect ratio
    if (in.Failed()) return false;
    if (packed & 0x80) ReadColourTable(in, packed, global);
    std::memcpy(image->palette, global.entries, sizeof image->palette);

    maxPixels = bytes.size() * kMaxIndicesPerByte + kScreenAllowance;
    if (screenWidth == 0 || screenHeight == 0) {
      // Some writers leave the screen empty; the first picture's extent stands in for it.
      sizeFromPicture = true;
    } else if (!SizeImage(screenWidth, screenHeight)) {
      return false;
    }

    while (!in.AtEnd()) {
      const uint8_t introducer = in.U8();
      if (introducer == kTrailer) break;
      if (introducer == kExtensionIntroducer) {
        const uint8_t label = in.U8();
        const uint8_t size = in.U8();
        if (label == kGraphicControlLabel && size > 3) {
          const uint8_t flags = in.U8();
          in.Skip(2);  // delay
          transparentIndex = in.U8();
          transparency = (flags & 1) != 0;
          in.Skip(size - 4u);
        } else {
          in.Skip(size);
        }
        if (size != 0) SkipSubBlocks(in);
      } else if (introducer == kImageSeparator) {
        return DecodePicture(in);
      } else {
        return false;
      }
    }
    // No picture: a screen of zero pixels, unless not even its size is known.
    return !sizeFromPicture;
  }
};

// ---------------------------------------------------------------------------------------------
// Writer

// Packs codes least significant bit first and cuts the bytes into sub-blocks of at most 255.
class codeWriter {
 public:
  explicit codeWriter(ByteWriter& out) : out_(out) {}

  void Put(uint32_t code, uint32_t size) {
    bits_ |= static_cast<uint64_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      Byte(static_cast<uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }

  // Writes the last partial byte, the last sub-block and the zero-length terminator.
  void Finish() {
    if (count_ > 0) Byte(static_cast<uint8_t>(bits_));
    bits_ = 0;
    count_ = 0;
    FlushBlock();
    out_.U8(0);
  }

 private:
  void Byte(uint8_t value) {
    block_[blockSize_++] = value;
    if (blockSize_ == 255) FlushBlock();
  }
  void FlushBlock() {
    if (blockSize_ == 0) return;
    out_.U8(static_cast<uint8_t>(blockSize_));
    out_.Bytes(block_, blockSize_);
    blockSize_ = 0;
  }

  ByteWriter& out_;
  uint64_t bits_ = 0;
  uint32_t count_ = 0;
  uint8_t block_[255];
  uint32_t blockSize_ = 0;
};

// The string table of the encoder: (prefix code, index) pairs to codes, open addressing.
class stringTable {
 public:
  stringTable() { Clear(); }
  void Clear() { std::fill(std::begin(keys_), std::end(keys_), 0u); }
  // The slot for the pair: it holds the pair's code, or is empty (Code() < 0).
  uint32_t Find(uint32_t prefix, uint32_t index) const {
    const uint32_t key = Key(prefix, index);
    uint32_t slot = (key * 2654435761u) >> (32 - kBits);
    while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) & (kSlots - 1);
    return slot;
  }
  int32_t Code(uint32_t slot) const { return keys_[slot] != 0 ? static_cast<int32_t>(codes_[slot]) : -1; }
  void Put(uint32_t slot, uint32_t prefix, uint32_t index, uint32_t code) {
    keys_[slot] = Key(prefix, index);
    codes_[slot] = static_cast<uint16_t>(code);
  }

 private:
  static constexpr uint32_t kBits = 13;  // twice the largest table, so probes stay short
  static constexpr uint32_t kSlots = 1u << kBits;
  static uint32_t Key(uint32_t prefix, uint32_t index) { return ((prefix << 8) | index) + 1; }
  uint32_t keys_[kSlots];
  uint16_t codes_[kSlots];
};

// Encodes 8-bit indices with minimum code size 8. The code size grows when the table index reaches
// 512 and 1024. When it reaches 2048, a reader has just widened its codes to 12 bits, so the clear
// code goes out as a 12-bit code and the table starts again with 9-bit codes at index 258.
void LzwEncode(const std::vector<uint8_t>& indices, ByteWriter& out) {
  constexpr uint32_t kClear = 256;
  constexpr uint32_t kEnd = 257;
  constexpr uint32_t kFirstFree = 258;
  constexpr uint32_t kRestartAt = 2048;

  codeWriter writer(out);
  auto table = std::make_unique<stringTable>();
  uint32_t codeSize = 9;
  uint32_t nextCode = kFirstFree;
  writer.Put(kClear, codeSize);
  if (indices.empty()) {
    writer.Put(kEnd, codeSize);
    writer.Finish();
    return;
  }

  uint32_t prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const uint32_t index = indices[i];
    const uint32_t slot = table->Find(prefix, index);
    const int32_t code = table->Code(slot);
    if (code >= 0) {
      prefix = static_cast<uint32_t>(code);
      continue;
    }
    writer.Put(prefix, codeSize);
    if (nextCode == kRestartAt) {
      writer.Put(kClear, kMaxCodeBits);
      table->Clear();
      codeSize = 9;
      nextCode = kFirstFree;
    } else {
      table->Put(slot, prefix, index, nextCode);
      if (nextCode == (1u << codeSize)) ++codeSize;
      ++nextCode;
    }
    prefix = index;
  }
  // The reader widens its codes after the last string as it would after any other, so the end
  // code goes out at that width.
  writer.Put(prefix, codeSize);
  if (nextCode == (1u << codeSize)) ++codeSize;
  writer.Put(kEnd, codeSize);
  writer.Finish();
}

// Maps each pixel to its nearest palette entry; colours repeat a lot, so answers are cached.
std::vector<uint8_t> PaletteIndices(const imageData* image, bool alphaZeroIsTransparent) {
  constexpr uint32_t kCacheSlots = 1u << 16;
  constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  std::vector<uint32_t> cachedColour(kCacheSlots, kEmpty);
  std::vector<uint8_t> cachedIndex(kCacheSlots);
  std::vector<uint8_t> indices(image->pixels.size());
  for (size_t i = 0; i < indices.size(); ++i) {
    const uint32_t pixel = image->pixels[i];
    if (alphaZeroIsTransparent && (pixel >> 24) == 0) {
      indices[i] = 255;
      continue;
    }
    const uint32_t colour = pixel & 0x00FFFFFFu;
    const uint32_t slot = (colour * 2654435761u) >> 16;
    if (cachedColour[slot] != colour) {
      cachedColour[slot] = colour;
      cachedIndex[slot] = static_cast<uint8_t>(ImageNearestPaletteIndex(image, colour));
    }
    indices[i] = cachedIndex[slot];
  }
  return indices;
}

}  // namespace

void ImageGifStart() { LogVersion("fwkImageGIF - Version Alpha.0"); }

void ImageGifEnd() {}

void ImageDecodeGif(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  image->substitute = false;
  gifDecoder decoder;
  decoder.image = image;
  if (!decoder.Decode(bytes)) ImageMakeSubstitute(image);
}

void ImageLoadGif(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeGif(bytes, image);
}

void ImageSaveGif(const std::string& fileName, imageData* image) {
  if (image == nullptr || image->width < 1 || image->height < 1 || image->width > 65535 || image->height > 65535 ||
      image->pixels.size() != static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) {
    return;
  }
  const bool gif89 = image->bitsPerPixel > 8;
  // Only a 32-bit picture's alpha byte carries information; the alpha of 16- and 24-bit pictures is
  // always 0 and would otherwise make the whole picture transparent.
  const bool transparency = gif89 && image->bitsPerPixel == 32;
  image->bitsPerPixel = 8;

  std::vector<uint8_t> file;
  file.reserve(image->pixels.size() + 1024);
  ByteWriter out(file);
  out.Text(gif89 ? "GIF89a" : "GIF87a");
  out.U16(static_cast<uint16_t>(image->width));
  out.U16(static_cast<uint16_t>(image->height));
  out.U8(0xF7);  // global colour table of 256 entries, 8-bit colour resolution
  out.U8(0);     // background index
  out.U8(0);     // aspect ratio
  for (uint32_t entry : image->palette) {
    out.U8(static_cast<uint8_t>(entry >> 16));
    out.U8(static_cast<uint8_t>(entry >> 8));
    out.U8(static_cast<uint8_t>(entry));
  }
  if (gif89) {
    // Graphic control: disposal 2, transparent index 255 (transparency on for 32-bit pictures).
    const uint8_t packed = transparency ? 9 : 8;
    const uint8_t control[] = {kExtensionIntroducer, kGraphicControlLabel, 4, packed, 0, 0, 255, 0};
    out.Bytes(control, sizeof control);
  }
  out.U8(kImageSeparator);
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<uint16_t>(image->width));
  out.U16(static_cast<uint16_t>(image->height));
  out.U8(0);  // no local table, not interlaced
  out.U8(8);  // minimum code size
  LzwEncode(PaletteIndices(image, transparency), out);
  out.U8(kTrailer);
  if (file.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return;

  ImageWriteWholeFile(fileName, file);
}

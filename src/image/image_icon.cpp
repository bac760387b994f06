// Icon and cursor files (.ICO, .CUR), animated cursors (.ANI, a RIFF container of icon files) and
// the icon writer.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/util.h"
#include "data/data_file.h"
#include "image/image_formats.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kIconHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint16_t kTypeIcon = 1;
constexpr uint16_t kTypeCursor = 2;

// What the pictures of one file may allocate together, in pixels. Each picture's own data must be
// in the file, which bounds one picture; the budget keeps directory entries that share data, or
// many tiny chunks each giving a substitute, from multiplying that. Every picture record also
// costs its palette, counted as kRecordCost pixels.
constexpr uint64_t kBudgetPerByte = 16;
constexpr uint64_t kBudgetAllowance = 1u << 16;
constexpr uint64_t kRecordCost = 512;
constexpr uint64_t kSubstituteCost = 16 * 16 + kRecordCost;

uint64_t BudgetFor(size_t fileSize) { return fileSize * kBudgetPerByte + kBudgetAllowance; }

// Stride of a bottom-up bitmap row: whole bytes rounded up to a multiple of 4.
uint64_t RowStride(uint64_t width, uint64_t bits) { return ((width * bits + 7) / 8 + 3) / 4 * 4; }

// Decodes one bitmap picture of an icon file (an information header, a colour table, colour rows
// and the 1-bit mask) from data[offset...]; false when the picture must be the substitute.
bool DecodeIconPicture(const uint8_t* data, size_t size, uint64_t offset, imageData* image, uint64_t& budget) {
  if (offset >= size) return false;
  ByteReader in(data + offset, size - static_cast<size_t>(offset));
  if (in.Remaining() >= sizeof kPngSignature && std::memcmp(in.Here(), kPngSignature, sizeof kPngSignature) == 0) {
    return false;  // PNG-compressed pictures are not read
  }
  in.Skip(4);  // header size
  const int32_t width = static_cast<int32_t>(in.U32());
  const int32_t height = static_cast<int32_t>(in.U32()) / 2;  // the height counts picture and mask
  in.Skip(2);                                                 // planes
  const uint32_t bits = in.U16();
  in.Skip(16);  // compression, image size, resolution
  const uint32_t usedColours = in.U32();
  in.Skip(4);  // important colours
  if (in.Failed() || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;

  const uint32_t tableEntries = bits <= 8 ? (usedColours > 0 ? usedColours : 1u << bits) : 0;
  if (tableEntries > 256) return false;
  const uint64_t stride = RowStride(static_cast<uint64_t>(width), bits);
  const uint64_t maskStride = RowStride(static_cast<uint64_t>(width), 1);
  const uint64_t colourBytes = tableEntries * 4ull + stride * static_cast<uint64_t>(height);
  const uint64_t maskBytes = maskStride * static_cast<uint64_t>(height);
  // A 32-bit picture carries its own alpha, so only its colour data must be complete.
  const bool haveMask = colourBytes + maskBytes <= in.Remaining();
  if (colourBytes > in.Remaining() || (!haveMask && bits != 32)) return false;
  const uint64_t pixelCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixelCount + kRecordCost > budget) return false;
  budget -= pixelCount + kRecordCost;

  if (!ImageResize(image, width, height)) return false;
  image->substitute = false;
  image->bitsPerPixel = static_cast<uint8_t>(bits);
  std::fill(std::begin(image->palette), std::end(image->palette), 0u);
  for (uint32_t i = 0; i < tableEntries; ++i) {
    const uint32_t blue = in.U8(), green = in.U8(), red = in.U8();
    in.Skip(1);
    image->palette[i] = (red << 16) | (green << 8) | blue;
  }

  const uint8_t* rows = in.Here();
  bool anyAlpha = false;
  for (int32_t k = 0; k < height; ++k) {
    const uint8_t* row = rows + static_cast<size_t>(k) * stride;
    uint32_t* out = image->pixels.data() + static_cast<size_t>(height - 1 - k) * static_cast<size_t>(width);
    switch (bits) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const uint32_t mask = (1u << bits) - 1;
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t bit = static_cast<uint32_t>(x) * bits;
          const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
          out[x] = image->palette[index];
        }
        break;
      }
      case 16:
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t value = LoadLe16(row + x * 2);
          const uint32_t red = ((value >> 10) & 31) * 255 / 31;
          const uint32_t green = ((value >> 5) & 31) * 255 / 31;
          const uint32_t blue = (value & 31) * 255 / 31;
          out[x] = (red << 16) | (green << 8) | blue;
        }
        break;
      case 24:
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t* p = row + x * 3;
          out[x] = p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
        }
        break;
      case 32:
        for (int32_t x = 0; x < width; ++x) {
          out[x] = LoadLe32(row + x * 4);
          anyAlpha = anyAlpha || (out[x] >> 24) != 0;
        }
        break;
    }
  }

  // The mask: bit 1 is transparent (alpha 0), bit 0 opaque (alpha 255). A 32-bit picture keeps its
  // own alpha, unless that is 0 everywhere: such pictures come from writers that left the alpha
  // unused and rely on the mask.
  if (bits == 32 && anyAlpha) return true;
  const uint8_t* mask = haveMask ? rows + static_cast<size_t>(stride) * static_cast<size_t>(height) : nullptr;
  for (int32_t k = 0; k < height; ++k) {
    const uint8_t* row = mask ? mask + static_cast<size_t>(k) * maskStride : nullptr;
    uint32_t* out = image->pixels.data() + static_cast<size_t>(height - 1 - k) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      const bool transparent = row && ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
      out[x] = (out[x] & 0x00FFFFFFu) | (transparent ? 0 : 0xFF000000u);
    }
  }
  return true;
}

// Where the pictures of a file go: the first one into the caller's picture, later ones appended to
// its chain.
struct pictureSink {
  imageData* chain;        // the caller's picture; appended pictures follow it
  bool firstPlaced = false;
  uint64_t budget;

  // The picture to fill next, or null when the budget cannot pay for another record.
  imageData* Next() {
    if (!firstPlaced) {
      firstPlaced = true;
      return chain;
    }
    if (budget < kSubstituteCost) return nullptr;
    imageData* start = chain;
    return ImageNew(start);
  }
  // Turns a picture into the substitute, paid from the budget like any other.
  void Substitute(imageData* image) {
    budget -= std::min(budget, kSubstituteCost);
    ImageMakeSubstitute(image);
  }
};

// Decodes pictures firstPicture..lastPicture (1-based; lastPicture 0 or beyond the count means the
// last one) of the icon file in data into the sink. frameIndex 0 numbers each picture by its place
// in the file, any other value is given to all. False when the file's header or directory is
// damaged.
bool DecodeIconFile(const uint8_t* data, size_t size, int32_t firstPicture, int32_t lastPicture, int32_t frameIndex,
                    pictureSink& sink) {
  ByteReader in(data, size);
  const uint16_t reserved = in.U16();
  const uint16_t type = in.U16();
  const uint32_t count = in.U16();
  if (in.Failed() || reserved != 0 || (type != kTypeIcon && type != kTypeCursor)) return false;
  if (kIconHeaderSize + count * kDirectoryEntrySize > size) return false;

  const uint32_t first = static_cast<uint32_t>(std::max(firstPicture, 1));
  const uint32_t last = lastPicture <= 0 ? count : std::min(count, static_cast<uint32_t>(lastPicture));
  for (uint32_t picture = first; picture <= last; ++picture) {
    in.Seek(kIconHeaderSize + (picture - 1) * kDirectoryEntrySize + 12);
    const uint32_t offset = in.U32();
    imageData* image = sink.Next();
    if (image == nullptr) break;
    image->frameIndex = frameIndex > 0 ? frameIndex : static_cast<int32_t>(picture);
    if (!DecodeIconPicture(data, size, offset, image, sink.budget)) sink.Substitute(image);
  }
  return true;
}

// A four-byte RIFF identifier compared without regard to letter case.
bool IsChunk(const char* id, const char* name) {
  for (int i = 0; i < 4; ++i) {
    if (std::toupper(static_cast<unsigned char>(id[i])) != name[i]) return false;
  }
  return true;
}

}  // namespace

void ImageDecodeIcon(const std::vector<uint8_t>& bytes, imageData* image, int32_t firstPicture, int32_t lastPicture) {
  if (image == nullptr) return;
  pictureSink sink{image, false, BudgetFor(bytes.size())};
  if (!DecodeIconFile(bytes.data(), bytes.size(), firstPicture, lastPicture, 0, sink)) ImageMakeSubstitute(image);
}

void ImageLoadIcon(const std::string& fileName, imageData* image, int32_t firstPicture, int32_t lastPicture) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeIcon(bytes, image, firstPicture, lastPicture);
}

void ImageDecodeAni(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  ByteReader in(bytes);
  char id[4];
  in.Bytes(id, 4);
  if (in.Failed() || !IsChunk(id, "RIFF")) {
    ImageMakeSubstitute(image);
    return;
  }
  in.Skip(4);  // the RIFF length: its content is read as far as the file goes

  // A flat walk over the chunk identifiers: list types are entered directly, RIFF and LIST chunks
  // are entered after their length, every other chunk is skipped by its length (rounded up to an
  // even number) and each ICON chunk's content is decoded as an icon file.
  pictureSink sink{image, false, BudgetFor(bytes.size())};
  int32_t icons = 0;
  while (in.Remaining() >= 4) {
    in.Bytes(id, 4);
    if (IsChunk(id, "ACON") || IsChunk(id, "FRAM") || IsChunk(id, "INFO")) continue;
    const uint64_t length = in.U32();
    if (in.Failed()) break;
    if (IsChunk(id, "RIFF") || IsChunk(id, "LIST")) continue;
    const size_t available = static_cast<size_t>(std::min<uint64_t>(length, in.Remaining()));
    if (IsChunk(id, "ICON")) {
      ++icons;
      if (!DecodeIconFile(in.Here(), available, 1, 0, icons, sink)) {
        imageData* picture = sink.Next();
        if (picture == nullptr) break;
        picture->frameIndex = icons;
        sink.Substitute(picture);
      }
    }
    in.Skip(static_cast<size_t>(std::min<uint64_t>(length + (length & 1), in.Remaining())));
  }
  // A RIFF file that yields no picture is not an animated cursor.
  if (!sink.firstPlaced) ImageMakeSubstitute(image);
}

void ImageLoadAni(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeAni(bytes, image);
}

// The icon writer: one bitmap picture with its 1-bit mask. Pictures of 1, 4 and 8 bits are written
// through their palette at that depth (2 and 3 bits as 4, 5 to 7 as 8), 32-bit pictures as 32 bits with alpha, all
// others as 24 bits. Only a picture whose alpha is not 0 everywhere has alpha information: its
// pixels of alpha 0 are masked out; otherwise the whole picture is opaque. A ".CUR" name gives a
// cursor with its hot spot at the top left.
void ImageSaveIcon(const std::string& fileName, const imageData* image) {
  if (image == nullptr || image->width < 1 || image->height < 1 || image->width > kMaxPictureSide ||
      image->height > kMaxPictureSide ||
      image->pixels.size() != static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) {
    return;
  }
  const uint32_t width = static_cast<uint32_t>(image->width);
  const uint32_t height = static_cast<uint32_t>(image->height);
  const uint32_t source = image->bitsPerPixel;
  const uint32_t bits = source == 1 ? 1 : source <= 4 ? 4 : source <= 8 ? 8 : source == 32 ? 32 : 24;
  const uint32_t tableEntries = bits <= 8 ? 1u << bits : 0;
  const uint32_t stride = static_cast<uint32_t>(RowStride(width, bits));
  const uint32_t maskStride = static_cast<uint32_t>(RowStride(width, 1));
  const uint32_t pictureBytes = static_cast<uint32_t>(kInfoHeaderSize) + tableEntries * 4 + (stride + maskStride) * height;
  const bool hasAlpha = std::any_of(image->pixels.begin(), image->pixels.end(), [](uint32_t p) { return (p >> 24) != 0; });
  const std::string name = UtilUpper(fileName);
  const bool cursor = name.size() >= 4 && name.compare(name.size() - 4, 4, ".CUR") == 0;

  std::vector<uint8_t> bytes;
  bytes.reserve(kIconHeaderSize + kDirectoryEntrySize + pictureBytes);
  ByteWriter out(bytes);
  out.U16(0);
  out.U16(cursor ? kTypeCursor : kTypeIcon);
  out.U16(1);
  // Directory entry: sizes of 256 and more are written as 0.
  out.U8(static_cast<uint8_t>(width >= 256 ? 0 : width));
  out.U8(static_cast<uint8_t>(height >= 256 ? 0 : height));
  out.U8(static_cast<uint8_t>(bits < 8 ? tableEntries : 0));
  out.U8(0);
  out.U16(cursor ? 0 : 1);                            // planes, or the hot spot's x
  out.U16(static_cast<uint16_t>(cursor ? 0 : bits));  // bit count, or the hot spot's y
  out.U32(pictureBytes);
  out.U32(static_cast<uint32_t>(kIconHeaderSize + kDirectoryEntrySize));
  // Information header: the height counts picture and mask.
  out.U32(static_cast<uint32_t>(kInfoHeaderSize));
  out.U32(width);
  out.U32(height * 2);
  out.U16(1);
  out.U16(static_cast<uint16_t>(bits));
  out.U32(0);
  out.U32((stride + maskStride) * height);
  out.U32(0);
  out.U32(0);
  out.U32(0);
  out.U32(0);
  // Colour table entries: blue, green, red, 0.
  for (uint32_t i = 0; i < tableEntries; ++i) out.U32(image->palette[i] & 0x00FFFFFFu);

  // Palette pictures: nearest entries, looked up once per colour of a row run.
  std::vector<uint8_t> row(stride);
  for (uint32_t k = 0; k < height; ++k) {
    const uint32_t* pixels = image->pixels.data() + static_cast<size_t>(height - 1 - k) * width;
    std::fill(row.begin(), row.end(), 0);
    uint32_t lastColour = 0xFFFFFFFFu;
    uint32_t lastIndex = 0;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t pixel = pixels[x];
      if (bits <= 8) {
        const uint32_t colour = pixel & 0x00FFFFFFu;
        if (colour != lastColour) {
          lastColour = colour;
          lastIndex = static_cast<uint32_t>(ImageNearestPaletteIndex(image, colour));
        }
        const uint32_t bit = x * bits;
        row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (lastIndex << (8 - bits - bit % 8)));
      } else {
        uint8_t* p = row.data() + x * (bits / 8);
        p[0] = static_cast<uint8_t>(pixel);
        p[1] = static_cast<uint8_t>(pixel >> 8);
        p[2] = static_cast<uint8_t>(pixel >> 16);
        if (bits == 32) p[3] = hasAlpha ? static_cast<uint8_t>(pixel >> 24) : 255;
      }
    }
    out.Bytes(row.data(), row.size());
  }
  std::vector<uint8_t> maskRow(maskStride);
  for (uint32_t k = 0; k < height; ++k) {
    const uint32_t* pixels = image->pixels.data() + static_cast<size_t>(height - 1 - k) * width;
    std::fill(maskRow.begin(), maskRow.end(), 0);
    for (uint32_t x = 0; x < width && hasAlpha; ++x) {
      if ((pixels[x] >> 24) == 0) maskRow[x / 8] = static_cast<uint8_t>(maskRow[x / 8] | (0x80 >> (x % 8)));
    }
    out.Bytes(maskRow.data(), maskRow.size());
  }

  ImageWriteWholeFile(fileName, bytes);
}

#include "graphics/font_file.h"

#include <cstring>

#include "core/log.h"
#include "data/data_file.h"

// Layout of a font file (numbers little-endian):
//
//   major, minor                 1 + 1 bytes, no meaning attached
//   "FNT" L                      3 + 2: header chunk; L counts the id and itself
//     name 0                     the font name, zero-terminated
//     first last height          1 + 1 + 1
//     ...                        whatever is left of L, skipped
//   then until the end of the file:
//   "IMG" N                      3 + 2: picture chunk; N counts the id and itself
//     64 x 64 x RGBA             16384 bytes, rows from the top
//     first last                 only last - first + 1 matters: the characters it holds
//     widths                     one byte per character
//     ...                        whatever is left of N, skipped
//
// The chunk remainders are unsigned 16-bit counters, as the format has always kept them: a length
// that is smaller than what was read wraps around and asks for a long skip, which fails at the end
// of the file rather than reading anything it should not.

namespace {

constexpr int32_t kSkipPiece = 1024;
constexpr int32_t kHeaderChunkFixed = 5;  // id and length
constexpr int32_t kPictureChunkFixed = 5 + kFontPictureBytes + 2;

bool ReadByte(int32_t handle, uint8_t& value) { return DataFileReadExact(handle, &value, 1); }

bool ReadWord(int32_t handle, uint16_t& value) {
  uint8_t bytes[2];
  if (!DataFileReadExact(handle, bytes, 2)) return false;
  value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

bool Skip(int32_t handle, uint16_t count) {
  uint8_t piece[kSkipPiece];
  int32_t left = count;
  while (left > 0) {
    const int32_t size = left < kSkipPiece ? left : kSkipPiece;
    if (!DataFileReadExact(handle, piece, size)) return false;
    left -= size;
  }
  return true;
}

// Closes the handle when the reading ends, whichever way.
class openFont {
 public:
  explicit openFont(int32_t handle) : handle_(handle) {}
  ~openFont() {
    if (handle_ > 0) DataFileClose(handle_);
  }
  openFont(const openFont&) = delete;
  openFont& operator=(const openFont&) = delete;
  int32_t handle() const { return handle_; }

 private:
  int32_t handle_;
};

bool Fail(const std::string& text) {
  LogError("FontOpen - " + text);
  return false;
}

std::string EndOf(const std::string& name, const std::string& what) {
  return "Unexpected end of font \"" + name + "\" when " + what + ".";
}

}  // namespace

int32_t FontFileRangeCount(const fontFile& font) {
  return static_cast<int32_t>(font.lastChar) - static_cast<int32_t>(font.firstChar) + 1;
}

void FontFilePenAdvance(int32_t& x, int32_t& y, int32_t width, int32_t nextWidth, int32_t height) {
  x += width;
  if (x + nextWidth > kFontRowLimit) {
    y += height;
    x = 0;
  }
}

std::vector<int32_t> FontFileLayout(const uint8_t* widths, int32_t count, int32_t height,
                                    fontGlyphPlace* places) {
  std::vector<int32_t> counts;
  int32_t x = 0;
  int32_t y = 0;
  int32_t inPicture = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (inPicture > 0) {
      FontFilePenAdvance(x, y, widths[i - 1], widths[i], height);
      // The glyph's rows would leave the picture: it opens the next one.
      if (y + height > kFontPictureSide) {
        counts.push_back(inPicture);
        inPicture = 0;
        x = 0;
        y = 0;
      }
    }
    places[i].picture = static_cast<int32_t>(counts.size());
    places[i].x = x;
    places[i].y = y;
    ++inPicture;
  }
  if (inPicture > 0) counts.push_back(inPicture);
  return counts;
}

bool FontFileRead(const std::string& name, fontFile& out) {
  out = fontFile{};
  openFont file(DataFileOpen(name));
  const int32_t handle = file.handle();
  if (handle <= 0) return Fail("Unable to load font \"" + name + "\".");

  if (!ReadByte(handle, out.majorVersion)) return Fail("Unrecognized major version for font \"" + name + "\".");
  if (!ReadByte(handle, out.minorVersion)) return Fail("Unrecognized minor version for font \"" + name + "\".");

  char id[3];
  if (!DataFileReadExact(handle, id, 3)) return Fail(EndOf(name, "reading chunk ID"));
  if (std::memcmp(id, "FNT", 3) != 0) {
    return Fail("Unreocgnized chunk ID \"" + std::string(id, 3) + "\" in font \"" + name + "\".");
  }
  uint16_t length = 0;
  if (!ReadWord(handle, length)) return Fail(EndOf(name, "reading header chunk length"));
  uint16_t remaining = static_cast<uint16_t>(length - kHeaderChunkFixed);

  for (bool firstByte = true;; firstByte = false) {
    uint8_t byte = 0;
    if (!ReadByte(handle, byte)) {
      return Fail(EndOf(name, firstByte ? "reading font name length" : "reading font name"));
    }
    --remaining;
    if (byte == 0) break;
    out.name += static_cast<char>(byte);
  }
  if (!ReadByte(handle, out.firstChar)) return Fail(EndOf(name, "reading first character in set"));
  if (!ReadByte(handle, out.lastChar)) return Fail(EndOf(name, "reading last character in set"));
  if (!ReadByte(handle, out.height)) return Fail(EndOf(name, "reading font height"));
  remaining = static_cast<uint16_t>(remaining - 3);
  if (!Skip(handle, remaining)) return Fail(EndOf(name, "skipping extra header bytes"));

  const int32_t range = FontFileRangeCount(out);
  if (range <= 0) return Fail("No character widths defined in font \"" + name + "\"");

  int32_t slot = 0;  // characters placed so far, including those beyond the range
  while (!DataFileEof(handle)) {
    if (!DataFileReadExact(handle, id, 3)) return Fail(EndOf(name, "reading image chunk ID"));
    if (std::memcmp(id, "IMG", 3) != 0) {
      return Fail("Unrecognized image chunk \"" + std::string(id, 3) + " in font \"" + name + "\".");
    }
    if (!ReadWord(handle, length)) return Fail(EndOf(name, "reading image chunk length"));
    remaining = static_cast<uint16_t>(length - kPictureChunkFixed);

    // Each picture is backed by that many bytes of the file, so the memory taken stays bounded by
    // the file's real size.
    std::vector<uint8_t> picture(kFontPictureBytes);
    if (!DataFileReadExact(handle, picture.data(), kFontPictureBytes)) return Fail(EndOf(name, "reading image data"));
    uint8_t first = 0;
    uint8_t last = 0;
    if (!ReadByte(handle, first)) return Fail(EndOf(name, "reading first character in image"));
    if (!ReadByte(handle, last)) return Fail(EndOf(name, "reading last character in image"));
    const int32_t count = static_cast<int32_t>(last) - static_cast<int32_t>(first) + 1;
    if (count <= 0) return Fail("No characters widths defined for image in font \"" + name + "\".");
    uint8_t widths[256];
    if (!DataFileReadExact(handle, widths, count)) {
      return Fail(EndOf(name, "reading number of character widths in image"));
    }
    remaining = static_cast<uint16_t>(remaining - count);
    if (!Skip(handle, remaining)) return Fail(EndOf(name, "skipping extra image chunk bytes"));

    const int32_t pictureIndex = static_cast<int32_t>(out.pictures.size());
    out.pictures.push_back(std::move(picture));
    out.pictureCounts.push_back(count);

    // Characters past the header's range (and so never past slot 255) are read but not kept:
    // nothing could ever draw them.
    int32_t x = 0;
    int32_t y = 0;
    for (int32_t j = 0; j < count; ++j, ++slot) {
      if (slot < range) {
        out.widths[static_cast<size_t>(slot)] = widths[j];
        out.places[static_cast<size_t>(slot)] = fontGlyphPlace{pictureIndex, x, y};
        ++out.glyphCount;
      } else {
        ++out.ignoredChars;
      }
      if (j + 1 < count) FontFilePenAdvance(x, y, widths[j], widths[j + 1], out.height);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

class createdFile {
 public:
  explicit createdFile(int32_t handle) : handle_(handle) {}
  ~createdFile() {
    if (handle_ > 0) RawFileClose(handle_);
  }
  createdFile(const createdFile&) = delete;
  createdFile& operator=(const createdFile&) = delete;
  int32_t handle() const { return handle_; }

 private:
  int32_t handle_;
};

void PutWord(std::string& bytes, uint32_t value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>((value >> 8) & 0xFF);
}

bool WriteFail(const std::string& text) {
  LogError("FontFileWrite - " + text);
  return false;
}

}  // namespace

bool FontFileWrite(const std::string& path, const fontFile& font) {
  const int32_t range = FontFileRangeCount(font);
  if (range <= 0) return WriteFail("No characters in the range of font \"" + path + "\".");
  if (font.name.find('\0') != std::string::npos || font.name.size() > 60000) {
    return WriteFail("Unusable font name for \"" + path + "\".");
  }
  if (font.pictures.size() != font.pictureCounts.size()) {
    return WriteFail("Pictures and character counts disagree for \"" + path + "\".");
  }
  int32_t total = 0;
  for (size_t i = 0; i < font.pictures.size(); ++i) {
    if (font.pictures[i].size() != static_cast<size_t>(kFontPictureBytes) || font.pictureCounts[i] <= 0) {
      return WriteFail("Picture " + std::to_string(i) + " of \"" + path + "\" is malformed.");
    }
    total += font.pictureCounts[i];
  }
  if (total != range) return WriteFail("The pictures of \"" + path + "\" do not hold exactly the character range.");

  std::string bytes;
  bytes += static_cast<char>(font.majorVersion);
  bytes += static_cast<char>(font.minorVersion);
  bytes += "FNT";
  PutWord(bytes, static_cast<uint32_t>(kHeaderChunkFixed + font.name.size() + 1 + 3));
  bytes += font.name;
  bytes += '\0';
  bytes += static_cast<char>(font.firstChar);
  bytes += static_cast<char>(font.lastChar);
  bytes += static_cast<char>(font.height);

  int32_t slot = 0;
  for (size_t i = 0; i < font.pictures.size(); ++i) {
    const int32_t count = font.pictureCounts[i];
    bytes += "IMG";
    PutWord(bytes, static_cast<uint32_t>(kPictureChunkFixed + count));
    bytes.append(reinterpret_cast<const char*>(font.pictures[i].data()), font.pictures[i].size());
    // The characters' own codes: each picture continues where the previous one stopped.
    bytes += static_cast<char>(font.firstChar + slot);
    bytes += static_cast<char>(font.firstChar + slot + count - 1);
    for (int32_t j = 0; j < count; ++j) bytes += static_cast<char>(font.widths[static_cast<size_t>(slot + j)]);
    slot += count;
  }

  createdFile file(RawFileCreate(path));
  if (file.handle() <= 0) return WriteFail("Unable to create \"" + path + "\".");
  if (!RawFileWrite(file.handle(), bytes.data(), static_cast<int32_t>(bytes.size()))) {
    return WriteFail("Unable to write \"" + path + "\".");
  }
  return true;
}

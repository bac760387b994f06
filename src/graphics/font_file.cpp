#include "graphics/font_file.h"

#include "core/bytes.h"
#include "core/file_replace.h"
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

constexpr uint16_t kHeaderChunkFixed = 5;  // id and length
constexpr uint16_t kPictureChunkStart = 5 + kFontPictureBytes;  // id, length and picture

fontFileFault Missing(fontFileField field) { return fontFileFault{field, {}}; }

bool Fail(const std::string& text) {
  LogError("FontOpen - " + text);
  return false;
}

// The font opening's words for where the read stopped.
std::string FaultText(const fontFileFault& fault, const std::string& name) {
  auto end = [&](const char* what) { return "Unexpected end of font \"" + name + "\" when " + what + "."; };
  switch (fault.field) {
    case fontFileField::kMajorVersion: return "Unrecognized major version for font \"" + name + "\".";
    case fontFileField::kMinorVersion: return "Unrecognized minor version for font \"" + name + "\".";
    case fontFileField::kChunkId: return end("reading chunk ID");
    case fontFileField::kChunkIdValue:
      return "Unreocgnized chunk ID \"" + fault.chunkId + "\" in font \"" + name + "\".";
    case fontFileField::kHeaderLength: return end("reading header chunk length");
    case fontFileField::kNameLength: return end("reading font name length");
    case fontFileField::kName: return end("reading font name");
    case fontFileField::kFirstChar: return end("reading first character in set");
    case fontFileField::kLastChar: return end("reading last character in set");
    case fontFileField::kHeight: return end("reading font height");
    case fontFileField::kHeaderExtra: return end("skipping extra header bytes");
    case fontFileField::kRange: return "No character widths defined in font \"" + name + "\"";
    case fontFileField::kImageId: return end("reading image chunk ID");
    case fontFileField::kImageIdValue:
      return "Unrecognized image chunk \"" + fault.chunkId + " in font \"" + name + "\".";
    case fontFileField::kImageLength: return end("reading image chunk length");
    case fontFileField::kImagePixels: return end("reading image data");
    case fontFileField::kImageFirst: return end("reading first character in image");
    case fontFileField::kImageLast: return end("reading last character in image");
    case fontFileField::kImageRange: return "No characters widths defined for image in font \"" + name + "\".";
    case fontFileField::kImageWidths: return end("reading number of character widths in image");
    case fontFileField::kImageExtra: return end("skipping extra image chunk bytes");
    case fontFileField::kNone: break;
  }
  return "";
}

// One picture chunk after its picture: the characters it holds, their widths and the extra
// bytes. Places the characters into `out` from `slot` on.
fontFileFault ReadPictureTail(ByteReader& in, uint16_t rest, int32_t pictureIndex, int32_t& slot, fontFile& out) {
  const uint8_t first = in.U8();
  if (in.Failed()) return Missing(fontFileField::kImageFirst);
  const uint8_t last = in.U8();
  if (in.Failed()) return Missing(fontFileField::kImageLast);
  const int32_t count = static_cast<int32_t>(last) - static_cast<int32_t>(first) + 1;
  if (count <= 0) return Missing(fontFileField::kImageRange);
  uint8_t widths[256];
  if (!in.Bytes(widths, static_cast<size_t>(count))) return Missing(fontFileField::kImageWidths);
  if (FontFileSkip(in, static_cast<uint16_t>(rest - 2 - count)) != fontFileSkip::kDone) {
    return Missing(fontFileField::kImageExtra);
  }
  out.pictureCounts.push_back(count);

  // Characters past the header's range (and so never past slot 255) are read but not kept:
  // nothing could ever draw them.
  const int32_t range = FontFileRangeCount(out);
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
  return {};
}

fontFileFault ReadFont(ByteReader& in, fontFile& out) {
  if (fontFileFault fault = FontFileReadHeader(in, out)) return fault;
  if (FontFileRangeCount(out) <= 0) return Missing(fontFileField::kRange);
  int32_t slot = 0;  // characters placed so far, including those beyond the range
  while (!in.AtEnd()) {
    std::vector<uint8_t> picture;
    uint16_t rest = 0;
    if (fontFileFault fault = FontFileReadPictureStart(in, picture, rest)) return fault;
    const int32_t pictureIndex = static_cast<int32_t>(out.pictures.size());
    out.pictures.push_back(std::move(picture));
    if (fontFileFault fault = ReadPictureTail(in, rest, pictureIndex, slot, out)) return fault;
  }
  return {};
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

fontFileFault FontFileReadHeader(ByteReader& in, fontFile& out) {
  out.majorVersion = in.U8();
  if (in.Failed()) return Missing(fontFileField::kMajorVersion);
  out.minorVersion = in.U8();
  if (in.Failed()) return Missing(fontFileField::kMinorVersion);
  const std::string id = in.Text(3);
  if (in.Failed()) return Missing(fontFileField::kChunkId);
  if (id != "FNT") return fontFileFault{fontFileField::kChunkIdValue, id};
  const uint16_t length = in.U16();
  if (in.Failed()) return Missing(fontFileField::kHeaderLength);
  uint16_t remaining = static_cast<uint16_t>(length - kHeaderChunkFixed);

  out.name.clear();
  for (bool firstByte = true;; firstByte = false) {
    const uint8_t byte = in.U8();
    if (in.Failed()) return Missing(firstByte ? fontFileField::kNameLength : fontFileField::kName);
    --remaining;
    if (byte == 0) break;
    out.name += static_cast<char>(byte);
  }
  out.firstChar = in.U8();
  if (in.Failed()) return Missing(fontFileField::kFirstChar);
  out.lastChar = in.U8();
  if (in.Failed()) return Missing(fontFileField::kLastChar);
  out.height = in.U8();
  if (in.Failed()) return Missing(fontFileField::kHeight);
  remaining = static_cast<uint16_t>(remaining - 3);
  if (FontFileSkip(in, remaining) != fontFileSkip::kDone) return Missing(fontFileField::kHeaderExtra);
  return {};
}

fontFileFault FontFileReadPictureStart(ByteReader& in, std::vector<uint8_t>& picture, uint16_t& rest) {
  const std::string id = in.Text(3);
  if (in.Failed()) return Missing(fontFileField::kImageId);
  if (id != "IMG") return fontFileFault{fontFileField::kImageIdValue, id};
  const uint16_t length = in.U16();
  if (in.Failed()) return Missing(fontFileField::kImageLength);
  rest = static_cast<uint16_t>(length - kPictureChunkStart);
  // Only a picture the file really holds is kept, so the pictures stay bounded by its size.
  picture.resize(static_cast<size_t>(kFontPictureBytes));
  if (!in.Bytes(picture.data(), picture.size())) return Missing(fontFileField::kImagePixels);
  return {};
}

fontFileSkip FontFileSkip(ByteReader& in, uint16_t count) {
  const size_t wholePieces = count / kFontSkipPiece * static_cast<size_t>(kFontSkipPiece);
  const fontFileSkip result = in.Remaining() < wholePieces ? fontFileSkip::kPieceShort
                              : in.Remaining() < count     ? fontFileSkip::kLastPieceShort
                                                           : fontFileSkip::kDone;
  in.Skip(count);
  return result;
}

bool FontFileRead(const std::string& name, fontFile& out) {
  out = fontFile{};
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(name, bytes)) return Fail("Unable to load font \"" + name + "\".");
  ByteReader in(bytes);
  if (fontFileFault fault = ReadFont(in, out)) return Fail(FaultText(fault, name));
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

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

  ByteWriter out;
  out.U8(font.majorVersion);
  out.U8(font.minorVersion);
  out.Text("FNT");
  out.U16(static_cast<uint16_t>(kHeaderChunkFixed + font.name.size() + 1 + 3));
  out.Text(font.name);
  out.U8(0);
  out.U8(font.firstChar);
  out.U8(font.lastChar);
  out.U8(font.height);

  int32_t slot = 0;
  for (size_t i = 0; i < font.pictures.size(); ++i) {
    const int32_t count = font.pictureCounts[i];
    out.Text("IMG");
    out.U16(static_cast<uint16_t>(kPictureChunkStart + 2 + count));
    out.Bytes(font.pictures[i].data(), font.pictures[i].size());
    // The characters' own codes: each picture continues where the previous one stopped.
    out.U8(static_cast<uint8_t>(font.firstChar + slot));
    out.U8(static_cast<uint8_t>(font.firstChar + slot + count - 1));
    for (int32_t j = 0; j < count; ++j) out.U8(font.widths[static_cast<size_t>(slot + j)]);
    slot += count;
  }
  if (!FileReplaceWrite(path, out.Data())) return WriteFail("Unable to write \"" + path + "\".");
  return true;
}

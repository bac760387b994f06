// The ".fot" bitmap font file as plain data: its header, its 64 x 64 pictures and where each
// character sits in them. Internal to the font unit (and used by the font maker tool).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class ByteReader;

// Side of every picture in a font file, in pixels.
constexpr int32_t kFontPictureSide = 64;
// Bytes of one picture: red, green, blue, alpha per pixel, rows from the top.
constexpr int32_t kFontPictureBytes = kFontPictureSide * kFontPictureSide * 4;
// A glyph row may reach this x and no further (the last column of a picture stays free).
constexpr int32_t kFontRowLimit = 63;

// Where one character lies: its picture (index into fontFile::pictures) and its top-left pixel.
struct fontGlyphPlace {
  int32_t picture = -1;  // -1: the file supplied no picture for this slot
  int32_t x = 0;
  int32_t y = 0;
};

struct fontFile {
  uint8_t majorVersion = 1;
  uint8_t minorVersion = 0;
  std::string name;
  uint8_t firstChar = 0;
  uint8_t lastChar = 0;
  uint8_t height = 0;
  // One entry of kFontPictureBytes per picture chunk, in file order.
  std::vector<std::vector<uint8_t>> pictures;
  // How many characters each picture holds (its own last - first + 1), same order.
  std::vector<int32_t> pictureCounts;
  // Indexed by slot = code - firstChar. Slots the pictures did not supply keep width 0 and
  // picture -1.
  std::array<uint8_t, 256> widths{};
  std::array<fontGlyphPlace, 256> places{};
  // Slots filled from the pictures (at most the header's range).
  int32_t glyphCount = 0;
  // Characters the pictures supplied beyond the header's range; read and ignored.
  int32_t ignoredChars = 0;
};

// Characters in the header's range (last - first + 1); 0 or less when the range is empty.
int32_t FontFileRangeCount(const fontFile& font);

// The packing rule inside one picture: glyphs are laid in rows of the line height; after a glyph
// of width `width` the pen moves right, and if it plus the next glyph's width would pass
// kFontRowLimit the next glyph starts one line lower at x = 0.
void FontFilePenAdvance(int32_t& x, int32_t& y, int32_t width, int32_t nextWidth, int32_t height);

// Lays out `count` glyphs of the given widths into as many pictures as needed, so that each glyph
// lies wholly inside its picture (where the widths and height allow). Fills places[0..count-1] and
// returns the number of glyphs per picture.
std::vector<int32_t> FontFileLayout(const uint8_t* widths, int32_t count, int32_t height,
                                    fontGlyphPlace* places);

// Reads a font through the data layer. On failure logs the reason (as the font opening reports
// it) and returns false; `out` is then unspecified.
bool FontFileRead(const std::string& name, fontFile& out);

// ---------------------------------------------------------------------------------------------
// The pieces of the reader, for the font unit's texture rebuild, which re-reads the pictures
// chunk by chunk and reports failures in words of its own.

// The field a read stopped at: missing (the file ended) or, for ids and ranges, wrong.
enum class fontFileField : uint8_t {
  kNone,
  kMajorVersion,
  kMinorVersion,
  kChunkId,
  kChunkIdValue,
  kHeaderLength,
  kNameLength,  // the name's first byte
  kName,
  kFirstChar,
  kLastChar,
  kHeight,
  kHeaderExtra,
  kRange,  // the header's range holds no character
  kImageId,
  kImageIdValue,
  kImageLength,
  kImagePixels,
  kImageFirst,
  kImageLast,
  kImageRange,  // the picture holds no character
  kImageWidths,
  kImageExtra,
};

struct fontFileFault {
  fontFileField field = fontFileField::kNone;
  std::string chunkId;  // the id found where another was expected
  explicit operator bool() const { return field != fontFileField::kNone; }
};

// The header chunk at the reader's position: versions, name, range and height into `out`; the
// reader is left at the first picture chunk. The range itself is not checked.
fontFileFault FontFileReadHeader(ByteReader& in, fontFile& out);

// Id, length and picture of the picture chunk at the reader's position. `rest` is what the
// chunk's length leaves after the picture (character codes, widths and extra bytes), kept in 16
// bits as the format always has: a length smaller than what was read wraps to a long skip.
fontFileFault FontFileReadPictureStart(ByteReader& in, std::vector<uint8_t>& picture, uint16_t& rest);

// Skipped bytes are read in pieces of this size; a skip says which piece ran short.
constexpr int32_t kFontSkipPiece = 1024;
enum class fontFileSkip : uint8_t { kDone, kPieceShort, kLastPieceShort };
fontFileSkip FontFileSkip(ByteReader& in, uint16_t count);

// Writes the font to a disk path (as a whole-file replace: never a half-written file): header
// chunk, then one picture chunk per picture with pictureCounts[i] widths each, taken from
// consecutive slots. Logs and returns false on failure (unwritable path, pictures and counts
// that disagree, a range the counts do not cover).
bool FontFileWrite(const std::string& path, const fontFile& font);

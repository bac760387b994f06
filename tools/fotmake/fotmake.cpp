// fotmake: turns a TrueType (or any FreeType-readable) font into a .fot bitmap font, and checks
// and lists any .fot.
//
//   fotmake [options] FONT.ttf OUT.fot
//   fotmake --dump FILE.fot
//
// Character codes are single bytes in the Windows-1252 code page; each is mapped to its Unicode
// code point for FreeType. Every glyph cell of width w and line height h is drawn into its first
// w - 1 columns and h - 1 rows: text advances by w - 1 and the glyph quad spans exactly that, so
// the last column and row of each cell stay free.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "graphics/font_file.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxEffect = 8;

int Usage() {
  std::fprintf(stderr,
               "usage: fotmake [options] FONT.ttf OUT.fot\n"
               "       fotmake --dump FILE.fot\n"
               "options:\n"
               "  --height N            line height in pixels, 4..64 (default 20); glyphs get N - 1 rows\n"
               "  --first N, --last N   character range, Windows-1252 codes 0..255 (default 32..255)\n"
               "  --name TEXT           name stored in the file (default: the font's family name)\n"
               "  --colour RRGGBB       fill colour (default FFFFFF, which the drawing colour tints)\n"
               "  --outline N           outline thickness in pixels, 0..8 (default 0)\n"
               "  --outline-colour RRGGBB  (default 000000)\n"
               "  --shadow N            drop shadow offset right and down in pixels, 0..8 (default 0)\n"
               "  --shadow-colour AARRGGBB (default A0000000)\n"
               "  --dump                check FILE.fot and print its name, range, height and widths\n");
  return kExitUsage;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "fotmake: %s\n", text.c_str());
  return kExitFailure;
}

// ---------------------------------------------------------------------------------------------
// The framework's readers log their failures: give them a private log folder and hand the last
// error line (caught through the log's sink) back to the user.

class privateLog {
 public:
  privateLog() {
    char pattern[] = "/tmp/fotmake-XXXXXX";
    if (const char* made = mkdtemp(pattern)) folder_ = made;
    UtilSetCommandLine(std::vector<std::string>{"-userdatainapp"});
    UtilSetAppFolder(folder_.empty() ? std::string("/tmp") : folder_);
    LogStart();
    LogSetSink([this](const std::string& line) {
      const size_t at = line.find("Error: ");
      if (at != std::string::npos) lastError_ = line.substr(at + 7);
    });
    DataFileStart();
  }
  ~privateLog() {
    DataFileEnd();
    LogSetSink(nullptr);
    if (!folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }
  privateLog(const privateLog&) = delete;
  privateLog& operator=(const privateLog&) = delete;

  std::string LastError() const { return lastError_.empty() ? "failed" : lastError_; }

 private:
  std::string folder_;
  std::string lastError_;
};

std::string AbsolutePath(const std::string& path) {
  std::error_code ignored;
  std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

int Dump(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return Fail("\"" + path + "\" is a folder");
  privateLog log;
  fontFile font;
  if (!FontFileRead(AbsolutePath(path), font)) return Fail(log.LastError());
  std::printf("name %s\nfirst %d\nlast %d\nheight %d\n", font.name.c_str(), font.firstChar, font.lastChar, font.height);
  for (int32_t slot = 0; slot < font.glyphCount; ++slot) {
    std::printf("%d %d\n", font.firstChar + slot, font.widths[static_cast<size_t>(slot)]);
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Making a font

// Windows-1252 codes 0x80..0x9F; 0 where the code page leaves the code undefined.
constexpr uint32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t CodePoint(int code) { return code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : static_cast<uint32_t>(code); }

struct options {
  int height = 20;
  int first = 32;
  int last = 255;
  std::string name;
  uint32_t colour = 0xFFFFFFFF;
  int outline = 0;
  uint32_t outlineColour = 0xFF000000;
  int shadow = 0;
  uint32_t shadowColour = 0xA0000000;
};

// One rendered character: its cell width and its coverage of the cell's drawable part.
struct cell {
  int width = 1;  // cell width as stored; the glyph uses width - 1 columns
  std::vector<uint8_t> fill, outline, shadow;
};

bool ParseInt(const std::string& text, int low, int high, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool ParseColour(const std::string& text, bool withAlpha, uint32_t& value) {
  if (text.size() != (withAlpha ? 8u : 6u) || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  if (!withAlpha) value |= 0xFF000000u;
  return true;
}

// Every pixel within `radius` (a disk) of a covered one takes the highest coverage found.
std::vector<uint8_t> Dilate(const std::vector<uint8_t>& source, int width, int height, int radius) {
  std::vector<uint8_t> out(source.size(), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t best = 0;
      for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
          const int sx = x + dx, sy = y + dy;
          if (dx * dx + dy * dy > radius * radius + radius || sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
          best = std::max(best, source[static_cast<size_t>(sy * width + sx)]);
        }
      }
      out[static_cast<size_t>(y * width + x)] = best;
    }
  }
  return out;
}

class freeTypeFace {
 public:
  ~freeTypeFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool Open(const std::string& path) {
    return FT_Init_FreeType(&library_) == 0 && FT_New_Face(library_, path.c_str(), 0, &face_) == 0;
  }
  FT_Face face() const { return face_; }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// The largest pixel size whose ascender, descender and effects fit into `rows`; 0 when none.
int ChoosePixelSize(FT_Face face, int rows, int effects, int& ascender) {
  for (int size = rows; size >= 1; --size) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) continue;
    const int up = static_cast<int>((face->size->metrics.ascender + 63) / 64);
    const int down = static_cast<int>((-face->size->metrics.descender + 63) / 64);
    if (up + down + effects <= rows) {
      ascender = up;
      return size;
    }
  }
  return 0;
}

bool RenderCell(FT_Face face, int code, const options& o, int ascender, cell& out) {
  const int rows = o.height - 1;
  out = cell{};
  const uint32_t unicode = CodePoint(code);
  const FT_UInt index = unicode == 0 ? 0 : FT_Get_Char_Index(face, unicode);
  if (index == 0) {
    // Nothing to draw: a cell that advances by nothing.
    return true;
  }
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
    return false;
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  const int advance = static_cast<int>((slot->advance.x + 32) / 64);
  const int bitmapWidth = static_cast<int>(bitmap.width);
  // The cell spans the advance and the ink with its outline and shadow, whichever reaches
  // further; the outline may use the glyph's side bearings.
  const int left = std::min(0, slot->bitmap_left - o.outline);
  const int right = std::max(advance, slot->bitmap_left + bitmapWidth + o.outline + o.shadow);
  // The glyph's columns; the cell adds its free column and must stay within a picture row.
  const int columns = std::clamp(right - left, 0, kFontRowLimit - 1);
  out.width = columns + 1;
  const size_t area = static_cast<size_t>(columns) * static_cast<size_t>(rows);
  out.fill.assign(area, 0);
  for (unsigned by = 0; by < bitmap.rows; ++by) {
    for (int bx = 0; bx < bitmapWidth; ++bx) {
      const int x = slot->bitmap_left - left + bx;
      const int y = o.outline + ascender - slot->bitmap_top + static_cast<int>(by);
      if (x < 0 || y < 0 || x >= columns || y >= rows) continue;
      out.fill[static_cast<size_t>(y * columns + x)] = bitmap.buffer[static_cast<size_t>(by) * static_cast<size_t>(bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch) + static_cast<size_t>(bx)];
    }
  }
  // Without an outline the outline layer is empty, not the glyph itself in the outline colour.
  out.outline = o.outline > 0 ? Dilate(out.fill, columns, rows, o.outline) : std::vector<uint8_t>(area, 0);
  out.shadow.assign(area, 0);
  if (o.shadow > 0) {
    const std::vector<uint8_t>& shape = o.outline > 0 ? out.outline : out.fill;
    for (int y = o.shadow; y < rows; ++y) {
      for (int x = o.shadow; x < columns; ++x) {
        out.shadow[static_cast<size_t>(y * columns + x)] = shape[static_cast<size_t>((y - o.shadow) * columns + x - o.shadow)];
      }
    }
  }
  return true;
}

// Lays `colour` with coverage over the premultiplied pixel (r, g, b, a in 0..1).
void Over(float* pixel, uint32_t colour, uint8_t coverage) {
  const float alpha = static_cast<float>(colour >> 24) / 255.0f * static_cast<float>(coverage) / 255.0f;
  const float channel[3] = {static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                            static_cast<float>(colour & 0xFF) / 255.0f};
  for (int i = 0; i < 3; ++i) pixel[i] = channel[i] * alpha + pixel[i] * (1.0f - alpha);
  pixel[3] = alpha + pixel[3] * (1.0f - alpha);
}

void Blit(const cell& glyph, const options& o, const fontGlyphPlace& place, std::vector<uint8_t>& picture) {
  const int columns = glyph.width - 1;
  const int rows = o.height - 1;
  if (glyph.fill.empty()) return;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const size_t at = static_cast<size_t>(y * columns + x);
      float pixel[4] = {0, 0, 0, 0};
      Over(pixel, o.shadowColour, glyph.shadow[at]);
      Over(pixel, o.outlineColour, glyph.outline[at]);
      Over(pixel, o.colour, glyph.fill[at]);
      const int px = place.x + x, py = place.y + y;
      if (px >= kFontPictureSide || py >= kFontPictureSide) continue;
      uint8_t* out = &picture[static_cast<size_t>((py * kFontPictureSide + px) * 4)];
      // Stored straight (not premultiplied), as pictures are uploaded.
      for (int i = 0; i < 3; ++i) {
        out[i] = static_cast<uint8_t>(pixel[3] > 0 ? std::lround(std::min(1.0f, pixel[i] / pixel[3]) * 255.0f) : 0);
      }
      out[3] = static_cast<uint8_t>(std::lround(pixel[3] * 255.0f));
    }
  }
}

int Make(const options& o, const std::string& fontPath, const std::string& outPath) {
  freeTypeFace face;
  if (!face.Open(fontPath)) return Fail("cannot read the font \"" + fontPath + "\"");
  const int effects = 2 * o.outline + o.shadow;
  int ascender = 0;
  if (ChoosePixelSize(face.face(), o.height - 1, effects, ascender) == 0) {
    return Fail("no size of \"" + fontPath + "\" fits a line height of " + std::to_string(o.height) + " with these effects");
  }

  fontFile font;
  font.name = o.name;
  if (font.name.empty() && face.face()->family_name) font.name = face.face()->family_name;
  font.firstChar = static_cast<uint8_t>(o.first);
  font.lastChar = static_cast<uint8_t>(o.last);
  font.height = static_cast<uint8_t>(o.height);
  const int count = o.last - o.first + 1;
  std::vector<cell> cells(static_cast<size_t>(count));
  for (int slot = 0; slot < count; ++slot) {
    if (!RenderCell(face.face(), o.first + slot, o, ascender, cells[static_cast<size_t>(slot)])) {
      return Fail("cannot render character " + std::to_string(o.first + slot) + " of \"" + fontPath + "\"");
    }
    font.widths[static_cast<size_t>(slot)] = static_cast<uint8_t>(cells[static_cast<size_t>(slot)].width);
  }
  font.pictureCounts = FontFileLayout(font.widths.data(), count, o.height, font.places.data());
  font.pictures.assign(font.pictureCounts.size(), std::vector<uint8_t>(kFontPictureBytes, 0));
  for (int slot = 0; slot < count; ++slot) {
    const fontGlyphPlace& place = font.places[static_cast<size_t>(slot)];
    Blit(cells[static_cast<size_t>(slot)], o, place, font.pictures[static_cast<size_t>(place.picture)]);
  }

  privateLog log;
  if (!FontFileWrite(AbsolutePath(outPath), font)) return Fail(log.LastError());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 2 && arguments[0] == "--dump") return Dump(arguments[1]);

  options o;
  std::vector<std::string> files;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      files.push_back(a);
      continue;
    }
    if (i + 1 >= arguments.size()) return Usage();
    const std::string& v = arguments[++i];
    bool good = false;
    if (a == "--height") good = ParseInt(v, 4, kFontPictureSide, o.height);
    else if (a == "--first") good = ParseInt(v, 0, 255, o.first);
    else if (a == "--last") good = ParseInt(v, 0, 255, o.last);
    else if (a == "--name") {
      o.name = v;
      good = !v.empty() && v.size() <= 255;
    }
    else if (a == "--colour") good = ParseColour(v, false, o.colour);
    else if (a == "--outline") good = ParseInt(v, 0, kMaxEffect, o.outline);
    else if (a == "--outline-colour") good = ParseColour(v, false, o.outlineColour);
    else if (a == "--shadow") good = ParseInt(v, 0, kMaxEffect, o.shadow);
    else if (a == "--shadow-colour") good = ParseColour(v, true, o.shadowColour);
    if (!good) {
      std::fprintf(stderr, "fotmake: bad option %s %s\n", a.c_str(), v.c_str());
      return Usage();
    }
  }
  if (files.size() != 2 || o.first > o.last) return Usage();
  return Make(o, files[0], files[1]);
}

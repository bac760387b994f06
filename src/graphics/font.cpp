#include "graphics/font.h"

#include <algorithm>
#include <array>

#include "core/bytes.h"
#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "graphics/font_file.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"
#include "image/image.h"

namespace {

struct fontData {
  int32_t id = kNoId;
  int32_t display = kNoId;
  std::string fileName;
  std::string fontName;
  uint8_t firstChar = 0;
  uint8_t lastChar = 0;
  uint8_t alpha = 255, blue = 0, green = 0, red = 0;
  // Glyph models made; slots at or beyond it were not supplied by the file and are absent.
  int32_t glyphCount = 0;
  int32_t height = 0;
  std::array<uint8_t, 256> widths{};
  std::array<int32_t, 256> glyphs{};
  int32_t texture = kNoId;
  // A rebuild failed; the font counts as gone and is freed at the next font call.
  bool broken = false;
};

// A font file being re-read for a texture rebuild: its bytes and where its next picture chunk
// starts.
struct fontRebuild {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

// Everything the unit holds in a run; FontStart starts it afresh.
struct fontState {
  bool started = false;
  // Displays with a registry entry, in the order they came.
  std::vector<int32_t> displays;
  // The fonts of every display, in id order (and so in creation order within each display).
  IdRegistry<fontData> fonts;
  // Rebuilds started and not yet closed; their ids are the rebuild handles.
  IdRegistry<fontRebuild> rebuilds;
};

fontState gState;

constexpr float kGlyphDepth = -5.0f;

bool Known(int32_t display) {
  return std::find(gState.displays.begin(), gState.displays.end(), display) != gState.displays.end();
}

// The live font of that id, or nothing.
fontData* Find(int32_t font) {
  fontData* data = gState.fonts.Find(font);
  return data != nullptr && !data->broken ? data : nullptr;
}

bool Present(const fontData& font, unsigned char ch) {
  if (ch < font.firstChar || ch > font.lastChar) return false;
  return ch - font.firstChar < font.glyphCount;
}

// A character's advance; a cell of width 0 advances nothing rather than moving the pen back.
int32_t Advance(const fontData& font, unsigned char ch) {
  const int32_t w = font.widths[ch - font.firstChar];
  return w > 0 ? w - 1 : 0;
}

int32_t TextWidth(const fontData& font, const std::string& text) {
  int32_t width = 0;
  for (unsigned char ch : text) {
    if (Present(font, ch)) width += Advance(font, ch);
  }
  return width;
}

// Draws one line; maxWidth 0 draws it whole.
void DrawLine(const fontData& font, int32_t x, int32_t y, int32_t maxWidth, const std::string& text) {
  int32_t pen = 0;
  for (unsigned char ch : text) {
    if (!Present(font, ch)) continue;
    const int32_t advance = Advance(font, ch);
    if (maxWidth > 0 && pen + advance > maxWidth) return;
    const int32_t glyph = font.glyphs[ch - font.firstChar];
    ModelSetPosition(glyph, static_cast<float>(x + pen), static_cast<float>(y), kGlyphDepth);
    ModelRender(glyph);
    pen += advance;
  }
}

void FreeFont(fontData& font) {
  for (int32_t i = 0; i < font.glyphCount; ++i) ModelFree(font.glyphs[static_cast<size_t>(i)]);
  font.glyphCount = 0;
  // A texture no glyph came to use is not released by the models.
  if (font.texture != kNoId && TextureExists(font.texture) && TextureGetReferences(font.texture) <= 0) {
    TextureFree(font.texture);
  }
  font.texture = kNoId;
}

// Frees and forgets every font the test accepts.
template <typename Test>
void RemoveFonts(Test test) {
  for (int32_t id : gState.fonts.Ids()) {
    fontData* font = gState.fonts.Find(id);
    if (!test(*font)) continue;
    FreeFont(*font);
    gState.fonts.Remove(id);
  }
}

// Frees fonts whose rebuild failed. Not called from the rebuild itself: the model unit is still
// walking its textures then.
void SweepBroken() {
  RemoveFonts([](const fontData& font) { return font.broken; });
}

void DisplayAdd(int32_t display) {
  if (!Known(display)) gState.displays.push_back(display);
}

void DisplayRemove(int32_t display) {
  if (!Known(display)) return;
  RemoveFonts([display](const fontData& font) { return font.display == display; });
  std::erase(gState.displays, display);
}

// The first live font of the display whose text (file or font name) matches, any letter case.
int32_t FindOn(int32_t display, const std::string& text, std::string fontData::*field) {
  const std::string wanted = UtilUpper(text);
  for (const auto& [id, font] : gState.fonts) {
    if (font.display == display && !font.broken && UtilUpper(font.*field) == wanted) return id;
  }
  return kNoId;
}

// The picture's bytes (red, green, blue, alpha) as 0xAARRGGBB pixels.
std::vector<uint32_t> PicturePixels(const uint8_t* bytes) {
  std::vector<uint32_t> pixels(static_cast<size_t>(kFontPictureSide) * kFontPictureSide);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* p = bytes + i * 4;
    pixels[i] = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  return pixels;
}

// The font's texture with its first picture as tile 0: 32 bits, linear, wrapping, 64 x 64.
int32_t MakeTexture(int32_t display, const std::string& file, const std::vector<uint8_t>& picture) {
  imageChain image = ImageNewChain();
  image->fileName = file;
  image->width = kFontPictureSide;
  image->height = kFontPictureSide;
  image->bitsPerPixel = 32;
  image->pixels = PicturePixels(picture.data());
  const int32_t texture = ModelTextureExtract(display, image.get(), false, true, true);
  if (texture != kNoId) TextureSetTileSize(texture, kFontPictureSide, kFontPictureSide);
  return texture;
}

// The glyph model of a cell of width w at (x, y) of the tile.
int32_t MakeGlyph(int32_t display, const fontData& font, int32_t tile, int32_t x, int32_t y, int32_t w) {
  const int32_t glyph = ModelNew(display, kModelCompiled);
  if (glyph == kNoId) return kNoId;
  const float right = static_cast<float>(w - 1);
  const float bottom = static_cast<float>(font.height - 1);
  const float side = static_cast<float>(kFontPictureSide);
  const float u0 = static_cast<float>(x) / side;
  const float u1 = static_cast<float>(x + w - 1) / side;
  const float v0 = static_cast<float>(y) / side;
  const float v1 = static_cast<float>(y + font.height - 1) / side;
  ModelSetVertex(glyph, 0, {0, 0, kGlyphDepth});
  ModelSetVertex(glyph, 1, {0, bottom, kGlyphDepth});
  ModelSetVertex(glyph, 2, {right, bottom, kGlyphDepth});
  ModelSetVertex(glyph, 3, {right, 0, kGlyphDepth});
  ModelSetTexCoord(glyph, 0, {u0, v0});
  ModelSetTexCoord(glyph, 1, {u0, v1});
  ModelSetTexCoord(glyph, 2, {u1, v1});
  ModelSetTexCoord(glyph, 3, {u1, v0});
  const int32_t corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
  for (int32_t t = 0; t < 2; ++t) {
    modelPolygon polygon;
    polygon.textures.push_back({font.texture, tile});
    for (int32_t c = 0; c < 3; ++c) polygon.corners[c] = {corners[t][c], 0, corners[t][c]};
    ModelSetPolygon(glyph, t, polygon);
  }
  ModelSetName(glyph, font.fontName);
  ModelSetColor(glyph, font.red, font.green, font.blue, font.alpha);
  ModelCompile(glyph);
  return glyph;
}

// The rebuild's words for where re-reading a picture chunk stopped; empty when it did not.
std::string RebuildFailure(const fontFileFault& fault, fontFileSkip skip) {
  switch (fault.field) {
    case fontFileField::kNone: break;
    case fontFileField::kImageId: return "Could not read chunk ID";
    case fontFileField::kImageIdValue: return "Invalid chunk ID encountered";
    case fontFileField::kImageLength: return "Could not read chunk size";
    default: return "Could not read pixel data";  // the one other field a chunk's start has
  }
  switch (skip) {
    case fontFileSkip::kDone: return "";
    case fontFileSkip::kPieceShort: return "Could not read to end of image data";
    case fontFileSkip::kLastPieceShort: return "Could not read to end of chunk";
  }
  return "";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start and end

void FontStart() {
  if (gState.started) return;
  gState = fontState{};
  gState.started = true;
  LogVersion("fwkFont - Version 1.0");
  GraphicsDisplayRegistrySet(
      graphicsRegistry::kFont, [](int32_t id, int32_t) { DisplayAdd(id); }, [](int32_t id) { DisplayRemove(id); });
  // The model unit hands over textures by file name; the font behind a texture is found from
  // the texture itself when its tiles are re-read.
  ModelSetFontRebuilder({[](const std::string& file) {
                           int32_t font = kNoId;
                           return FontRebuildStart(kNoId, file, font);
                         },
                         [](int32_t file, int32_t texture, int32_t tile) {
                           int32_t font = kNoId;
                           for (const auto& [id, data] : gState.fonts) {
                             if (data.texture == texture && !data.broken) font = id;
                           }
                           FontRebuildTexel(font, file, texture, tile);
                         },
                         [](int32_t file) { FontRebuildClose(file); }});
}

void FontEnd() {
  if (!gState.started) return;
  gState.started = false;
  GraphicsDisplayRegistrySet(graphicsRegistry::kFont, nullptr, nullptr);
  ModelSetFontRebuilder({});
  while (!gState.displays.empty()) DisplayRemove(gState.displays.front());
  gState.rebuilds.Clear();
}

// ---------------------------------------------------------------------------------------------
// Opening, finding, deleting

int32_t FontOpen(int32_t display, const std::string& file) {
  SweepBroken();
  if (!Known(display)) return kNoId;
  if (const int32_t existing = FontFindByFile(display, file); existing != kNoId) return existing;

  fontFile source;
  if (!FontFileRead(file, source)) return kNoId;

  fontData font;
  font.display = display;
  font.fileName = file;
  font.fontName = source.name;
  font.firstChar = source.firstChar;
  font.lastChar = source.lastChar;
  font.height = source.height;

  // Every picture chunk becomes a tile, also one whose characters all lie past the header's
  // range: a rebuild reads the chunks back one per tile.
  std::vector<int32_t> tiles;
  for (size_t p = 0; p < source.pictures.size(); ++p) {
    int32_t tile = -1;
    if (font.texture == kNoId) {
      font.texture = MakeTexture(display, file, source.pictures[p]);
      if (font.texture != kNoId) tile = 0;
    } else {
      tile = TextureAddTile(font.texture);
      if (tile >= 0) {
        TextureUploadTile(font.texture, tile, PicturePixels(source.pictures[p].data()).data(), kFontPictureSide,
                          kFontPictureSide);
      }
    }
    if (tile < 0) {
      FreeFont(font);
      return kNoId;
    }
    tiles.push_back(tile);
  }
  // The reader fills slots 0 .. glyphCount - 1, never more than the header's range holds.
  for (int32_t slot = 0; slot < source.glyphCount; ++slot) {
    const fontGlyphPlace& place = source.places[static_cast<size_t>(slot)];
    const uint8_t w = source.widths[static_cast<size_t>(slot)];
    font.widths[static_cast<size_t>(slot)] = w;
    const int32_t glyph = MakeGlyph(display, font, tiles[static_cast<size_t>(place.picture)], place.x, place.y, w);
    if (glyph == kNoId) {
      FreeFont(font);
      return kNoId;
    }
    font.glyphs[static_cast<size_t>(slot)] = glyph;
    ++font.glyphCount;
  }
  font.id = gState.fonts.NextId();
  return gState.fonts.Add(std::move(font));
}

void FontDelete(int32_t font) {
  SweepBroken();
  fontData* data = Find(font);
  if (data == nullptr) return;
  FreeFont(*data);
  gState.fonts.Remove(font);
}

void FontFind(int32_t font, int32_t& displayIndex, int32_t& fontIndex) {
  displayIndex = -1;
  fontIndex = -1;
  const fontData* data = Find(font);
  if (data == nullptr) return;
  const auto display = std::find(gState.displays.begin(), gState.displays.end(), data->display);
  if (display == gState.displays.end()) return;
  // Within a display the fonts stand in id order.
  int32_t index = 0;
  for (const auto& [id, other] : gState.fonts) {
    if (id == font) break;
    if (other.display == data->display) ++index;
  }
  displayIndex = static_cast<int32_t>(display - gState.displays.begin());
  fontIndex = index;
}

int32_t FontFindByFile(int32_t display, const std::string& file) { return FindOn(display, file, &fontData::fileName); }

int32_t FontFindByName(int32_t display, const std::string& name) { return FindOn(display, name, &fontData::fontName); }

// ---------------------------------------------------------------------------------------------
// Measuring, colour, drawing

int32_t FontGetHeight(int32_t font) {
  const fontData* data = Find(font);
  return data ? data->height : 0;
}

int32_t FontTextWidth(int32_t font, const std::string& text) {
  const fontData* data = Find(font);
  return data ? TextWidth(*data, text) : 0;
}

void FontSetColor(int32_t font, uint32_t colour) {
  fontData* data = Find(font);
  if (data == nullptr || colour == FontGetColor(font)) return;
  data->alpha = static_cast<uint8_t>(colour >> 24);
  data->red = static_cast<uint8_t>(colour >> 16);
  data->green = static_cast<uint8_t>(colour >> 8);
  data->blue = static_cast<uint8_t>(colour);
  for (int32_t i = 0; i < data->glyphCount; ++i) {
    ModelSetColor(data->glyphs[static_cast<size_t>(i)], data->red, data->green, data->blue, data->alpha);
  }
}

uint32_t FontGetColor(int32_t font) {
  const fontData* data = Find(font);
  if (data == nullptr) return 0;
  return (uint32_t{data->alpha} << 24) | (uint32_t{data->red} << 16) | (uint32_t{data->green} << 8) | data->blue;
}

void FontDrawText(int32_t font, int32_t x, int32_t y, int32_t maxWidth, const std::string& text) {
  SweepBroken();
  if (const fontData* data = Find(font)) DrawLine(*data, x, y, maxWidth, text);
}

std::vector<std::string> FontWrapText(int32_t font, int32_t width, const std::string& source) {
  std::vector<std::string> lines;
  const fontData* data = Find(font);
  if (data == nullptr) return lines;

  // CR LF and LF both become CR.
  std::string text;
  text.reserve(source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
      text += '\r';
      ++i;
    } else {
      text += source[i] == '\n' ? '\r' : source[i];
    }
  }

  const int32_t spaceWidth = TextWidth(*data, " ");
  std::string current;
  int32_t currentWidth = 0;
  bool lineStart = true;
  bool openingBlanks = false;  // current holds only the blanks that open the line
  size_t at = 0;  // the text still to do starts here
  while (at < text.size()) {
    size_t b = text.find('\r', at);
    size_t s = text.find(' ', at);
    if (b == std::string::npos) b = text.size();
    if (s == std::string::npos) s = text.size();
    if (b == at) {
      // A break ends whatever the line holds (a word followed by a blank, or opening blanks);
      // on its own it is an empty line.
      lines.push_back(current);
      current.clear();
      currentWidth = 0;
      openingBlanks = false;
      ++at;
      lineStart = true;
      continue;
    }
    if (s == at && lineStart) {
      // Blanks that open a line are kept, and the first word follows them directly.
      ++at;
      current += ' ';
      currentWidth += spaceWidth;
      openingBlanks = true;
      continue;
    }
    lineStart = false;
    bool endsLine = false;
    std::string word;
    if (b < s) {
      word = text.substr(at, b - at);
      endsLine = true;
      lineStart = true;
      at = b + 1;
    } else {
      word = text.substr(at, s - at);
      at = s + 1;  // past the end when the text had no delimiter left
    }
    const int32_t wordWidth = TextWidth(*data, word);
    const bool separated = currentWidth > 0 && !openingBlanks;
    const int32_t needed = currentWidth + (separated ? spaceWidth : 0) + wordWidth;
    openingBlanks = false;
    if (needed < width) {
      if (endsLine) {
        lines.push_back(current + (separated ? " " : "") + word);
        current.clear();
        currentWidth = 0;
      } else {
        if (separated) {
          current += ' ';
          currentWidth += spaceWidth;
        }
        current += word;
        currentWidth += wordWidth;
      }
    } else if (currentWidth != 0) {
      lines.push_back(current);
      if (endsLine) {
        lines.push_back(word);
        current.clear();
        currentWidth = 0;
      } else {
        current = word;
        currentWidth = wordWidth;
      }
    } else {
      lines.push_back(word);
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

void FontDrawLines(int32_t font, int32_t x, int32_t y, int32_t alignment, int32_t maxHeight, int32_t width,
                   int32_t first, const std::vector<std::string>& lines) {
  SweepBroken();
  const fontData* data = Find(font);
  if (data == nullptr) return;
  const int32_t lineHeight = data->height;
  int32_t used = lineHeight;
  for (size_t n = static_cast<size_t>(std::max(first, 1)) - 1; n < lines.size(); ++n) {
    const int32_t lineWidth = TextWidth(*data, lines[n]);
    int32_t offset = 0;
    if (alignment == kFontAlignCentre) {
      offset = (width - lineWidth) / 2;
    } else if (alignment == kFontAlignRight) {
      offset = width - lineWidth;
    }
    DrawLine(*data, x + offset, y, 0, lines[n]);
    used += lineHeight;
    if (maxHeight > 0 && used > maxHeight) return;
    y += lineHeight;
  }
}

void FontDrawWrapped(int32_t font, int32_t x, int32_t y, int32_t width, const std::string& text) {
  FontDrawLines(font, x, y, kFontAlignLeft, 0, width, 1, FontWrapText(font, width, text));
}

// ---------------------------------------------------------------------------------------------
// Rebuild after the contexts were re-created

int32_t FontRebuildStart(int32_t display, const std::string& file, int32_t& font) {
  font = FontFindByFile(display, file);
  fontRebuild rebuild;
  if (!DataFileReadAll(file, rebuild.bytes)) {
    LogError("FontRebuildStart - Unable to load font \"" + file + "\".");
    return kNoId;
  }
  // A header that no longer reads ends the rebuild here; the model unit reports it.
  ByteReader in(rebuild.bytes);
  fontFile header;
  if (FontFileReadHeader(in, header)) return kNoId;
  rebuild.position = in.Position();
  return gState.rebuilds.Add(std::move(rebuild));
}

void FontRebuildTexel(int32_t font, int32_t file, int32_t texture, int32_t tile) {
  // After a failure the rebuild is closed already; the model unit still offers the other tiles.
  fontRebuild* rebuild = gState.rebuilds.Find(file);
  if (rebuild == nullptr) return;
  ByteReader in(rebuild->bytes);
  in.Seek(rebuild->position);
  // Only the pictures are re-read: the rest of each chunk is skipped, so the glyphs keep their
  // places and widths.
  std::vector<uint8_t> picture;
  uint16_t rest = 0;
  const fontFileFault fault = FontFileReadPictureStart(in, picture, rest);
  const std::string failure = RebuildFailure(fault, fault ? fontFileSkip::kDone : FontFileSkip(in, rest));
  if (!failure.empty()) {
    fontData* data = Find(font);
    LogError("FontRebuildTexel -" + failure + " when rebuilding font \"" + (data ? data->fileName : std::string()) +
             "\".  Font deleted.");
    FontRebuildClose(file);
    if (data != nullptr) data->broken = true;
    return;
  }
  rebuild->position = in.Position();
  TextureUploadTile(texture, tile, PicturePixels(picture.data()).data(), kFontPictureSide, kFontPictureSide);
}

void FontRebuildClose(int32_t file) { gState.rebuilds.Remove(file); }

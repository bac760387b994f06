// Inside the graphics unit: texture tiles and the texture operations that the font unit (which
// builds its own textures tile by tile) and the tests use, and the model unit's switches.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/model.h"
#include "image/image.h"

// One OpenGL texture of a texture: the image pixels x0..x1, y0..y1 (inclusive) it shows and
// its own size. name is 0 while the context's objects are released.
struct textureTile {
  uint32_t name = 0;
  int32_t x0 = 0;
  int32_t x1 = 0;
  int32_t y0 = 0;
  int32_t y1 = 0;
  int32_t textureWidth = 0;
  int32_t textureHeight = 0;
};

// Appends a tile with a new OpenGL texture name; its index, -1 for an unknown texture.
int32_t TextureAddTile(int32_t texture);
// Uploads width x height pixels (0xAARRGGBB, row 0 at the top) into the tile's texture with the
// texture's filter and wrap modes; RGBA for 32-bit textures, RGB otherwise.
void TextureUploadTile(int32_t texture, int32_t tile, const uint32_t* pixels, int32_t width, int32_t height);
void TextureSetFileName(int32_t texture, const std::string& fileName);
void TextureSetBitsPerPixel(int32_t texture, uint8_t bitsPerPixel);
void TextureSetLinear(int32_t texture, bool linear);
void TextureSetRepeat(int32_t texture, bool repeat);
void TextureSetTileSize(int32_t texture, int32_t tileWidth, int32_t tileHeight);
// Tiles in creation order (rows outer, columns inner for a tiled texture); empty when unknown.
std::vector<textureTile> TextureGetTiles(int32_t texture);
// Tile grid (0, 0 for an untiled texture) and the largest tile size.
void TextureGetLayout(int32_t texture, int32_t& columns, int32_t& rows, int32_t& tileWidth, int32_t& tileHeight);
// Number of models whose triangles use the texture; 0 when unknown.
int32_t TextureGetReferences(int32_t texture);

// The font unit rebuilds its own textures (file names ending ".FOT"): start opens the font file
// and returns a handle (kNoId when it cannot), texel uploads one tile whose new OpenGL name has
// just been generated, close ends the rebuild. Installed by the font unit, which starts before
// the model unit: kept across the model unit's start and end.
struct modelFontRebuilder {
  std::function<int32_t(const std::string& fileName)> start;
  std::function<void(int32_t file, int32_t texture, int32_t tile)> texel;
  std::function<void(int32_t file)> close;
};
void ModelSetFontRebuilder(modelFontRebuilder rebuilder);

// Whether the display has a registry entry (ModelDisplayAdd was called for it).
bool ModelDisplayKnown(int32_t display);

// Switches for tests and benchmarks; both reset to true by ModelStart ("-nocompile" given at
// start sets compiling false).
// With false, geometry is drawn in immediate mode even where vertex arrays are available
// (the path taken on implementations without them).
void ModelAllowVertexArrays(bool allow);
// With false, ModelCompile does nothing, as with "-nocompile".
void ModelAllowCompile(bool allow);

// Cutting a picture into power-of-two tiles with a one-texel border of repeated edge pixels.
#pragma once

#include <cstdint>
#include <vector>

// A tile's origin in the picture and the size of its OpenGL texture.
struct tileRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The largest power of two not above value (1 for values below 2).
int32_t LargestPowerOfTwoNotAbove(int32_t value);

// The tiles for a width x height picture with largest tiles tw x th, rows outer and columns
// inner. Each tile shows (width - 2) x (height - 2) picture pixels; a tile near the right or
// bottom edge is halved (down to 64) while what is left fits in half of it.
std::vector<tileRect> TileGridFor(int32_t width, int32_t height, int32_t tw, int32_t th, int32_t& columns,
                                  int32_t& rows);

// Fills buffer (tileWidth x tileHeight, cleared to 0) with picture pixels x .. x + tileWidth - 3
// and y .. y + tileHeight - 3 (clipped to the picture) at texels 1.., framed by one texel of
// repeated edge pixels.
void CopyBorderedTile(const uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                      int32_t tileWidth, int32_t tileHeight, std::vector<uint32_t>& buffer);

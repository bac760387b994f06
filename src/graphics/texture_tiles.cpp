#include "graphics/texture_tiles.h"

#include <algorithm>

int32_t LargestPowerOfTwoNotAbove(int32_t value) {
  int32_t power = 1;
  while (power <= value / 2) power *= 2;
  return power;
}

std::vector<tileRect> TileGridFor(int32_t width, int32_t height, int32_t tw, int32_t th, int32_t& columns,
                                  int32_t& rows) {
  std::vector<tileRect> tiles;
  columns = 0;
  rows = 0;
  // Every step advances by at least 62 pixels, since tiles are never below 64.
  if (width <= 0 || height <= 0 || tw < 64 || th < 64) return tiles;
  for (int32_t y = 0; y < height;) {
    int32_t tileHeight = th;
    while (tileHeight > 64 && height - y < tileHeight / 2 - 2) tileHeight /= 2;
    for (int32_t x = 0; x < width;) {
      int32_t tileWidth = tw;
      while (tileWidth > 64 && width - x < tileWidth / 2 - 2) tileWidth /= 2;
      tiles.push_back({x, y, tileWidth, tileHeight});
      if (y == 0) ++columns;
      x += tileWidth - 2;
    }
    ++rows;
    y += tileHeight - 2;
  }
  return tiles;
}

void CopyBorderedTile(const uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y,
                      int32_t tileWidth, int32_t tileHeight, std::vector<uint32_t>& buffer) {
  buffer.assign(static_cast<size_t>(std::max(tileWidth, 0)) * static_cast<size_t>(std::max(tileHeight, 0)), 0);
  if (tileWidth < 3 || tileHeight < 3 || x < 0 || y < 0) return;
  const int32_t last_x = std::min(x + tileWidth - 3, width - 1);
  const int32_t last_y = std::min(y + tileHeight - 3, height - 1);
  const int32_t columns = last_x - x + 1;  // picture pixels copied per row
  const int32_t rows = last_y - y + 1;
  if (columns <= 0 || rows <= 0) return;
  auto at = [&](int32_t column, int32_t row) -> uint32_t& {
    return buffer[static_cast<size_t>(row) * static_cast<size_t>(tileWidth) + static_cast<size_t>(column)];
  };
  for (int32_t row = 0; row < rows; ++row) {
    const uint32_t* source = pixels + static_cast<size_t>(y + row) * static_cast<size_t>(width) + x;
    std::copy(source, source + columns, &at(1, row + 1));
    at(0, row + 1) = at(1, row + 1);
    at(columns + 1, row + 1) = at(columns, row + 1);
  }
  // The rows above and below include the corner texels, which copy their horizontal neighbours.
  for (int32_t column = 0; column < columns + 2; ++column) {
    at(column, 0) = at(column, 1);
    at(column, rows + 1) = at(column, rows);
  }
}

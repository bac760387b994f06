// The arcade layer's pictures: five storey styles, the weeds that climb them and the water.
//
// The weeds are drawn in greens that stay readable when the game multiplies their green and blue
// down while they are pushed back.
#include <algorithm>
#include <cmath>

#include "pictures.h"

namespace art {

namespace {

// ---------------------------------------------------------------------------------------------
// Storeys: a wall, a cornice, windows; five styles

struct floorStyle {
  uint32_t wall, mortar, frame;
  int windows;      // across the storey
  bool bricks;      // brick courses, else stone blocks
  bool arched;      // round window heads
  double lit;       // share of windows with a warm light
};

constexpr floorStyle kFloors[5] = {
    {0xA4513A, 0x6E3A2E, 0xE8D9B0, 3, true, false, 0.5},    // red brick
    {0x8C8F96, 0x5E6068, 0xD7DCE4, 2, false, false, 0.4},   // grey stone
    {0xC49A52, 0x8A6A36, 0xF2E6C8, 3, false, true, 0.6},    // ochre render, arched
    {0x5D6E86, 0x3C4A5E, 0xC9D4E2, 4, true, false, 0.3},    // slate-blue brick
    {0x7E5A3C, 0x553B26, 0xE4CFA6, 2, true, true, 0.7},     // brown brick, arched
};

rgba Storey(const floorStyle& s, int index, double x, double y) {
  constexpr double w = 239, h = 63;
  // Cornice along the top, a darker plinth line at the bottom.
  if (y < 5) return Mix(Hex(s.frame), Hex(s.mortar), y / 8);
  if (y > h - 3) return Shade(Hex(s.mortar), 0.8);
  rgba wall = Hex(s.wall);
  if (s.bricks) {
    const int course = static_cast<int>((y - 5) / 7);
    const double bx = x + (course % 2) * 9;
    const bool joint = std::fmod(y - 5, 7.0) < 1.2 || std::fmod(bx, 18.0) < 1.2;
    wall = joint ? Hex(s.mortar) : Shade(wall, 0.85 + 0.3 * Hash(static_cast<int>(bx / 18), course, index));
  } else {
    const int row = static_cast<int>((y - 5) / 14);
    const double bx = x + (row % 2) * 20;
    const bool joint = std::fmod(y - 5, 14.0) < 1.0 || std::fmod(bx, 40.0) < 1.0;
    wall = joint ? Hex(s.mortar) : Shade(wall, 0.9 + 0.2 * Hash(static_cast<int>(bx / 40), row, index));
  }
  wall = Shade(wall, 0.92 + 0.16 * Noise(x / 6, y / 6, index + 10));
  // Windows, evenly spaced.
  const double slot = w / s.windows;
  const double cx = (std::floor(x / slot) + 0.5) * slot;
  const int which = static_cast<int>(x / slot);
  const double ww = std::min(30.0, slot * 0.45), top = 14, bottom = 52;
  double dx = std::abs(x - cx);
  bool inside = dx < ww / 2 && y > top && y < bottom;
  if (s.arched && y < top + ww / 2) {
    const double r = std::hypot(x - cx, y - (top + ww / 2));
    inside = r < ww / 2;
  }
  const bool inFrame = !inside && dx < ww / 2 + 3 && y > top - 3 && y < bottom + 3 &&
                       (!s.arched || y >= top + ww / 2 || std::hypot(x - cx, y - (top + ww / 2)) < ww / 2 + 3);
  if (inside) {
    const bool lit = Hash(which, index, 77) < s.lit;
    rgba glass = lit ? Mix(Hex(0xFFD27A), Hex(0xF29A3A), (y - top) / (bottom - top))
                     : Mix(Hex(0x2B3550), Hex(0x18203A), (y - top) / (bottom - top));
    if (std::abs(x - cx) < 1.2 || std::abs(y - (top + bottom) / 2) < 1.2) glass = Hex(s.frame);  // glazing bars
    return glass;
  }
  if (inFrame) return Shade(Hex(s.frame), y > bottom ? 0.8 : 1.0);  // the sill is in shade
  return wall;
}

// ---------------------------------------------------------------------------------------------
// Weeds: leafy masses in greens with a ragged, climbing top edge

rgba Leaves(double x, double y, int seed, double density) {
  const double n = Noise(x / 7, y / 7, seed, 34) * 0.6 + Noise(x / 3, y / 3, seed + 1, 80) * 0.4;
  if (n < 1 - density) return {};
  const double vein = Noise(x / 2, y / 2, seed + 2, 120);
  rgba c = Mix(Hex(0x1F5E24), Hex(0x6CC24A), (n - (1 - density)) / density);
  c = Mix(c, Hex(0xA8E070), vein > 0.85 ? 0.5 : 0.0);
  return c;
}

rgba WeedTop(double x, double y) {
  // The edge climbs in tendrils: a wavy line with peaks.
  const double edge = 34 - 22 * std::pow(std::abs(std::sin(x * kPi / 48)), 3) - 10 * Noise(x / 9, 0, 5, 27);
  if (y < edge) {
    // A few thin tendrils above the mass.
    const double tendril = std::abs(std::fmod(x + 6 * std::sin(y / 5), 48.0) - 24);
    if (tendril < 1.3 && y > edge - 18) return Hex(0x2F7A2C);
    return {};
  }
  const double depth = std::clamp((y - edge) / 20, 0.0, 1.0);
  rgba c = Leaves(x, y, 3, 0.55 + 0.45 * depth);
  if (c.a == 0 && y > 48) c = Hex(0x1B4A1E);
  return c;
}

rgba WeedTile(double x, double y) {
  // The noise repeats every 128 rows too (y wraps), so tiles stack without a seam.
  const double wy = std::fmod(y, 128.0);
  rgba c = Leaves(x, wy, 3, 0.9);
  if (c.a == 0) c = Hex(0x17401A);
  // Thick stems winding down.
  for (int k = 0; k < 4; ++k) {
    const double sx = 30 + k * 60 + 10 * std::sin(wy * 2 * kPi / 128 + k);
    if (std::abs(x - sx) < 2.2) c = Mix(Hex(0x3B2A14), Hex(0x5A4020), Noise(0, wy / 5, k, 26));
  }
  return c;
}

// ---------------------------------------------------------------------------------------------
// Water

rgba Drop(double x, double y, bool left) {
  // A teardrop pointing up: round bottom, narrowing to a tip.
  const double cx = 10, cy = 18, r = 8;
  const double dy = y - cy;
  double halfWidth = dy >= 0 ? std::sqrt(std::max(0.0, r * r - dy * dy)) : r * std::pow(std::max(0.0, 1 + dy / 17), 1.5);
  if (std::abs(x - cx) > halfWidth || y < 1 || y > cy + r) return {};
  const double hx = left ? cx - 3 : cx + 3;
  const double shine = std::exp(-(std::pow(x - hx, 2) + std::pow(y - (cy - 1), 2)) / 6);
  rgba c = Mix(Hex(0x2F7FD8, 0.92), Hex(0x9ED8FF, 0.95), (x - (cx - r)) / (2 * r) * (left ? -1 : 1) + (left ? 1 : 0));
  return Mix(c, Hex(0xFFFFFF), shine * 0.8);
}

rgba Splash(double x, double y, int stage) {
  // Droplets thrown out in a fan; the second stage is wider and thinner.
  const double spread = stage == 1 ? 12 : 18, size = stage == 1 ? 3.2 : 2.2;
  rgba out;
  for (int k = 0; k < 9; ++k) {
    const double angle = kPi * (0.1 + 0.8 * k / 8.0);
    const double reach = spread * (0.6 + 0.4 * Hash(k, stage, 9));
    const double px = 20 - std::cos(angle) * reach * 1.3, py = 26 - std::sin(angle) * reach;
    const double d = std::hypot(x - px, y - py);
    if (d < size) out = Mix(Hex(0x5FB4FF, 0.9), Hex(0xDFF3FF, 0.95), 1 - d / size);
  }
  if (out.a == 0 && std::abs(y - 27) < 1.5 && std::abs(x - 20) < spread) out = Hex(0x7CC4FF, stage == 1 ? 0.8 : 0.5);
  return out;
}

}  // namespace

bool DrawArcade(const std::string& images) {
  for (int i = 0; i < 5; ++i) {
    const std::string name = images + "Floor" + static_cast<char>('A' + i) + ".tga";
    Write(name, 239, 63, [i](double x, double y) { return Storey(kFloors[i], i, x, y); });
  }
  Write(images + "Weed Top.tga", 239, 64, WeedTop);
  Write(images + "Weed Tile.tga", 239, 128, WeedTile);
  Write(images + "Drop Left.tga", 20, 28, [](double x, double y) { return Drop(x, y, true); });
  Write(images + "Drop Right.tga", 20, 28, [](double x, double y) { return Drop(x, y, false); });
  Write(images + "Splash 1.tga", 40, 30, [](double x, double y) { return Splash(x, y, 1); });
  Write(images + "Splash 2.tga", 40, 30, [](double x, double y) { return Splash(x, y, 2); });
  return true;
}

}  // namespace art

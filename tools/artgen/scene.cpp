// The scenes: the game screen's sky with its pipe, nozzle and HUD plate, and the menu's night
// town with its clouds and fireflies.
#include <algorithm>
#include <cmath>
#include <vector>

#include "pictures.h"

namespace art {

namespace {

// A fraction of a channel step of noise, so long gradients do not break into bands.
rgba Dither(rgba c, double x, double y, int seed) {
  const double n = (Hash(static_cast<int>(x), static_cast<int>(y), seed) - 0.5) * 1.6;
  return {c.r + n, c.g + n, c.b + n, c.a};
}

// A sky gradient through colour stops at heights.
rgba SkyAt(const std::vector<std::pair<double, uint32_t>>& stops, double y) {
  if (y <= stops.front().first) return Hex(stops.front().second);
  for (size_t i = 1; i < stops.size(); ++i) {
    if (y <= stops[i].first) {
      return Mix(Hex(stops[i - 1].second), Hex(stops[i].second),
                 Smooth(stops[i - 1].first, stops[i].first, y));
    }
  }
  return Hex(stops.back().second);
}

// Stars: at most one in each cell, dimmer toward the horizon, some with a soft halo.
void Stars(canvas& c, int cell, double chance, double lowest, int seed) {
  for (int cy = 0; cy * cell < lowest; ++cy) {
    for (int cx = 0; cx * cell < c.width(); ++cx) {
      if (Hash(cx, cy, seed) > chance) continue;
      const pt p{(cx + Hash(cx, cy, seed + 1)) * cell, (cy + Hash(cx, cy, seed + 2)) * cell};
      if (p.y > lowest) continue;
      const double bright = (0.35 + 0.65 * Hash(cx, cy, seed + 3)) * Smooth(lowest, lowest * 0.5, p.y);
      const rgba tint = Mix(Hex(0xCFE0FF), Hex(0xFFF0C8), Hash(cx, cy, seed + 4));
      if (bright > 0.7) c.Glow(p, 7, Fade(tint, 0.35 * bright));
      c.Glow(p, 2.4, Fade(tint, bright));
    }
  }
}

// A pale moon with soft grey seas, a halo around it.
void Moon(canvas& c, pt centre, double radius, int seed) {
  c.Glow(centre, radius * 4, Hex(0xAFC4F0, 0.22));
  c.Glow(centre, radius * 1.8, Hex(0xDDE6FF, 0.28));
  c.Shape(centre.x - radius - 2, centre.y - radius - 2, centre.x + radius + 2, centre.y + radius + 2,
          [&](pt p) { return SdCircle(p, centre, radius); },
          [&](pt p) {
            const double seas = Fbm((p.x - centre.x) / radius * 2.2, (p.y - centre.y) / radius * 2.2, seed, 4);
            rgba col = Mix(Hex(0xFBF7E6), Hex(0xB8B6AC), Smooth(0.42, 0.68, seas));
            // Darker toward the lower right, as if lit from the upper left.
            const double shade = ((p.x - centre.x) + (p.y - centre.y)) / (radius * 2.8);
            return Shade(col, 1 - std::max(0.0, shade) * 0.25);
          });
}

// ---------------------------------------------------------------------------------------------
// The game screen

void GameSky(const std::string& path) {
  canvas c(1280, 720);
  const std::vector<std::pair<double, uint32_t>> stops = {
      {0, 0x0A0F24}, {260, 0x101830}, {470, 0x2A3A60}, {610, 0x4A3E6A}, {720, 0x6E4A62}};
  c.Paint([&](double x, double y) { return Dither(SkyAt(stops, y), x, y, 5); });
  Stars(c, 38, 0.22, 430, 40);
  Moon(c, {1130, 118}, 34, 7);
  // Far hills with a small town on their ridge, nearer hills, and mist between them.
  auto farRidge = [](double x) { return 560 - 34 * Fbm(x / 260, 0.5, 11, 3) - 14 * std::sin(x / 170); };
  auto nearRidge = [](double x) { return 628 - 30 * Fbm(x / 200, 2.5, 12, 3) - 10 * std::sin(x / 97 + 1); };
  c.Paint([&](double x, double y) -> rgba {
    const double ridge = farRidge(x);
    // Houses in the distance: blocks of varied height standing on the ridge.
    const int lot = static_cast<int>(std::floor(x / 13));
    double top = ridge;
    if (Hash(lot, 0, 13) < 0.55 && std::fmod(x, 13.0) > 1.5) top = ridge - 5 - 16 * Hash(lot, 1, 13);
    if (Hash(lot, 2, 13) < 0.08) top = ridge - 6 - 26 * (1 - std::abs(std::fmod(x, 13.0) - 6.5) / 6.5);  // a spire
    if (y < top) return {};
    const bool window = top < ridge && Hash(static_cast<int>(x / 3), static_cast<int>(y / 4), 14) < 0.07 &&
                        std::fmod(x, 3.0) > 1.2 && std::fmod(y, 4.0) > 1.5 && y < ridge;
    if (window) return Hex(0xE8A050, 0.65);
    return Dither(Mix(Hex(0x262C52), Hex(0x1C2142), (y - top) / 120), x, y, 6);
  }, 2);
  c.Paint([&](double x, double y) -> rgba {
    const double mist = Fbm(x / 140, y / 40, 15, 3);
    const double band = std::exp(-std::pow((y - 610) / 40, 2));
    return Hex(0x8A8AB0, band * Smooth(0.35, 0.8, mist) * 0.35);
  });
  c.Paint([&](double x, double y) -> rgba {
    if (y < nearRidge(x)) return {};
    return Dither(Mix(Hex(0x171B38), Hex(0x0E1126), (y - 620) / 100), x, y, 7);
  }, 2);
  c.Paint([&](double x, double y) -> rgba {
    const double mist = Fbm(x / 90, y / 30, 16, 3);
    return Hex(0x9A90B8, std::exp(-std::pow((y - 700) / 30, 2)) * Smooth(0.3, 0.8, mist) * 0.3);
  });
  c.Save(path);
}

void Pipe(const std::string& path) {
  canvas c(1280, 40);
  // The pipe runs at rows 8..32; a flanged joint with two rivets every 160 pixels.
  const pt centreLine{0, 20};
  c.Shape(0, 6, 1280, 34, [](pt p) { return std::abs(p.y - 20) - 13; }, Hex(0x2A1606));
  c.Shape(0, 7, 1280, 33, [](pt p) { return std::abs(p.y - 20) - 12; },
          [&](pt p) {
            rgba col = Brass((p.y - centreLine.y) / 12, Hex(0xB8703A));
            return Shade(col, 0.93 + 0.1 * Noise(p.x / 30, p.y / 2, 21));
          });
  for (int joint = 0; joint < 8; ++joint) {
    const double x = 80 + joint * 160;
    c.Shape(x - 10, 0, x + 10, 40, [x](pt p) { return SdRoundBox(p, x - 8, 2, x + 8, 38, 3) - 1; }, Hex(0x2A1606));
    c.Shape(x - 9, 1, x + 9, 39, [x](pt p) { return SdRoundBox(p, x - 8, 3, x + 8, 37, 2.5); },
            [](pt p) { return Brass((p.y - 20) / 17); });
    for (double ry : {8.0, 32.0}) {
      const pt r{x, ry};
      c.Shape(x - 4, ry - 4, x + 4, ry + 4, [r](pt p) { return SdCircle(p, r, 2.6); },
              [r](pt p) { return Mix(Hex(0xFFF0C0), Hex(0x6A4410), std::hypot(p.x - r.x + 1, p.y - r.y + 1) / 3.5); });
    }
  }
  c.Save(path);
}

void Nozzle(const std::string& path) {
  canvas c(56, 64);
  // A sliding collar around the pipe (pipe centre at row 20), a neck, a cone narrowing to the
  // opening at the bottom middle.
  auto collar = [](pt p) { return SdRoundBox(p, 7, 2, 49, 38, 6); };
  auto neck = [](pt p) { return SdRoundBox(p, 20, 34, 36, 47, 2); };
  auto cone = [](pt p) { return SdPolygon(p, {{13, 45}, {43, 45}, {35, 60}, {21, 60}}); };
  auto tip = [](pt p) { return SdRoundBox(p, 20, 57, 36, 64, 1.5); };
  auto body = [&](pt p) { return std::min({collar(p), neck(p), cone(p), tip(p)}); };
  c.Shape(0, 0, 56, 64, [&](pt p) { return body(p) - 1.2; }, Hex(0x2A1606));
  c.Shape(0, 0, 56, 64, collar, [](pt p) {
    rgba col = Brass((p.y - 20) / 19, Hex(0xD4A640));
    if (std::abs(p.y - 9) < 1 || std::abs(p.y - 31) < 1) col = Shade(col, 0.6);  // turned grooves
    return col;
  });
  c.Shape(0, 30, 56, 64, neck, [](pt p) { return Brass((p.x - 28) / 8); });
  c.Shape(0, 40, 56, 64, cone, [](pt p) {
    const double half = 15 - (p.y - 45) / 15 * 8;
    return Brass((p.x - 28) / half, Hex(0xC8903A));
  });
  c.Shape(0, 50, 56, 64, tip, [](pt p) { return Brass((p.x - 28) / 8, Hex(0xE0B450)); });
  c.Shape(20, 58, 36, 64, [](pt p) { return std::hypot((p.x - 28) / 4.5, (p.y - 63.5) / 2.2) - 1; }, Hex(0x120A04));
  // A bolt on the collar's face.
  const pt bolt{28, 20};
  c.Shape(20, 12, 36, 28, [&](pt p) { return SdCircle(p, bolt, 4.2); },
          [&](pt p) { return Mix(Hex(0xFFF2C4), Hex(0x5A380C), std::hypot(p.x - bolt.x + 1.5, p.y - bolt.y + 1.5) / 6); });
  c.Save(path);
}

void HudPlate(const std::string& path) {
  canvas c(260, 48);
  DrawPlate(c, 1, 1, 259, 47, 12, 2.5, [](pt p) {
    return Mix(Hex(0x1A2448, 0.78), Hex(0x080C1C, 0.78), (p.y - 3) / 42);
  });
  c.Shape(0, 0, 260, 48, [](pt p) { return std::abs(SdRoundBox(p, 6, 6, 254, 42, 8)) - 0.5; }, Hex(0xFFD700, 0.22));
  c.Save(path);
}

// ---------------------------------------------------------------------------------------------
// The menu's night town

struct house {
  double x, width, height;
  double tilt;   // radians, about the foot of its middle
  int roof;      // 0 flat, 1 gable, 2 tower with a spire, 3 broken top
  int seed;
};

pt Turn(pt p, pt pivot, double angle) {
  const double ca = std::cos(angle), sa = std::sin(angle);
  const double x = p.x - pivot.x, y = p.y - pivot.y;
  return {pivot.x + x * ca - y * sa, pivot.y + x * sa + y * ca};
}

void DrawHouse(canvas& c, const house& h, rgba wall, rgba edge) {
  const double ground = 722;
  const pt pivot{h.x + h.width / 2, ground};
  const double top = ground - h.height, x0 = h.x, x1 = h.x + h.width;
  std::vector<pt> outline;
  outline.push_back({x0, ground});
  switch (h.roof) {
    case 1:
      outline.insert(outline.end(), {{x0, top}, {x0 - 6, top}, {(x0 + x1) / 2, top - h.width * 0.45}, {x1 + 6, top}, {x1, top}});
      break;
    case 2:
      outline.insert(outline.end(), {{x0, top}, {x0 + h.width * 0.2, top}, {x0 + h.width * 0.2, top - 40},
                                     {(x0 + x1) / 2, top - 40 - h.width * 1.1}, {x1 - h.width * 0.2, top - 40},
                                     {x1 - h.width * 0.2, top}, {x1, top}});
      break;
    case 3:
      // Torn down: a jagged edge where the upper storeys were.
      for (int k = 0; k <= 6; ++k) outline.push_back({x0 + h.width * k / 6, top + 22 * Hash(k, h.seed, 31) + (k % 2) * 10});
      break;
    default:
      outline.insert(outline.end(), {{x0 - 4, top}, {x0 - 4, top - 6}, {x1 + 4, top - 6}, {x1 + 4, top}, {x1, top}});
      // A chimney.
      outline.insert(outline.end() - 3, {{x1 - 22, top - 6}, {x1 - 22, top - 24}, {x1 - 12, top - 24}, {x1 - 12, top - 6}});
      break;
  }
  outline.push_back({x1, ground});
  for (pt& p : outline) p = Turn(p, pivot, h.tilt);
  double bx0 = 1e9, by0 = 1e9, bx1 = -1e9, by1 = -1e9;
  for (const pt& p : outline) bx0 = std::min(bx0, p.x), by0 = std::min(by0, p.y), bx1 = std::max(bx1, p.x), by1 = std::max(by1, p.y);
  // A rim of moonlight on the upper left edges, the wall dark.
  c.Shape(bx0 - 2, by0 - 2, bx1 + 2, by1 + 2, [&](pt p) { return SdPolygon(p, outline); }, edge);
  c.Shape(bx0 - 2, by0 - 2, bx1 + 2, by1 + 2, [&](pt p) { return SdPolygon({p.x - 1.5, p.y - 1.5}, outline); },
          [&](pt p) { return Dither(Mix(wall, Shade(wall, 0.7), (p.y - by0) / (by1 - by0)), p.x, p.y, h.seed); });
  // Windows in rows; a few are lit warm and glow.
  const int columns = std::max(1, static_cast<int>(h.width / 34));
  const double step = h.width / columns;
  for (int row = 0; top + 18 + row * 38 + 20 < ground; ++row) {
    for (int col = 0; col < columns; ++col) {
      if (h.roof == 3 && row == 0) continue;
      const double wx = x0 + step * (col + 0.5), wy = top + 18 + row * 38;
      const double lit = Hash(col, row, h.seed);
      if (lit > 0.42) continue;
      const std::vector<pt> corners = {Turn({wx - 7, wy}, pivot, h.tilt), Turn({wx + 7, wy}, pivot, h.tilt),
                                       Turn({wx + 7, wy + 20}, pivot, h.tilt), Turn({wx - 7, wy + 20}, pivot, h.tilt)};
      const pt mid = Turn({wx, wy + 10}, pivot, h.tilt);
      const bool warm = lit < 0.2;
      if (warm) c.Glow(mid, 34, Hex(0xFFB050, 0.35));
      c.Shape(mid.x - 16, mid.y - 16, mid.x + 16, mid.y + 16, [&](pt p) { return SdPolygon(p, corners); },
              [&](pt p) {
                if (!warm) return Hex(0x1A2544);
                const double bar = std::min(std::abs(p.x - mid.x), std::abs(p.y - mid.y));
                return bar < 0.9 ? Hex(0x5A3010) : Mix(Hex(0xFFE08A), Hex(0xF0902E), (p.y - mid.y + 10) / 20);
              });
    }
  }
}

// Vines climbing a house from the ground, swaying; they reach `reach` of its height.
void Overgrow(canvas& c, const house& h, int count, double reach, const vineStyle& style) {
  const pt pivot{h.x + h.width / 2, 722};
  for (int k = 0; k < count; ++k) {
    const double start = h.x + h.width * (k + 0.5) / count + (Hash(k, 1, h.seed) - 0.5) * 20;
    const double height = h.height * reach * (0.6 + 0.5 * Hash(k, 2, h.seed));
    const double sway = 10 + 14 * Hash(k, 3, h.seed), phase = Hash(k, 4, h.seed) * 6;
    std::vector<pt> path = Curve([&](double t) {
      return Turn({start + sway * std::sin(t * 7 + phase) + t * t * 14 * (k % 2 ? 1 : -1), 724 - height * t}, pivot, h.tilt);
    }, 160);
    vineStyle s = style;
    s.seed = h.seed * 10 + k;
    DrawVine(c, path, s);
  }
}

void MenuSky(const std::string& path) {
  canvas c(1280, 720);
  const std::vector<std::pair<double, uint32_t>> stops = {{0, 0x060A1C}, {300, 0x101830}, {560, 0x22305A}, {720, 0x34406E}};
  c.Paint([&](double x, double y) { return Dither(SkyAt(stops, y), x, y, 50); });
  Stars(c, 34, 0.3, 520, 60);
  Moon(c, {1148, 128}, 78, 61);
  // A far row of roofs in haze, then the near town.
  c.Paint([](double x, double y) -> rgba {
    const int lot = static_cast<int>(std::floor(x / 46));
    const double f = std::fmod(x, 46.0);
    double top = 560 - 70 * Hash(lot, 0, 70);
    if (Hash(lot, 1, 70) < 0.5) top -= 18 * (1 - std::abs(f - 23) / 23);  // a gable
    if (y < top) return {};
    return Dither(Mix(Hex(0x1C2548), Hex(0x141B38), (y - top) / 200), x, y, 71);
  }, 2);
  c.Paint([](double x, double y) {
    return Hex(0x6A78A8, std::exp(-std::pow((y - 590) / 45, 2)) * Smooth(0.3, 0.8, Fbm(x / 120, y / 40, 72, 3)) * 0.35);
  });
  const house houses[] = {
      {-30, 150, 230, -0.03, 0, 1}, {128, 110, 170, 0.09, 1, 2},  {244, 96, 250, -0.02, 2, 3},
      {350, 150, 140, 0.05, 3, 4},  {508, 120, 200, -0.07, 1, 5}, {636, 160, 160, 0.02, 0, 6},
      {806, 104, 230, 0.11, 2, 7},  {918, 140, 150, -0.05, 3, 8}, {1066, 120, 210, 0.04, 1, 9},
      {1192, 120, 260, -0.08, 0, 10}};
  vineStyle style = VineOf(4.2, 0.25, 13, 6, 15, 14, 1);
  style.stemDark = Hex(0x0C2410);
  style.stemLight = Hex(0x2E6A32);
  style.leafDark = Hex(0x123A18);
  style.leafLight = Hex(0x3C8C40);
  style.thorn = Hex(0x2A1A10);
  style.thornTip = Hex(0x8A6A50);
  style.rim = Hex(0x050A08);
  for (const house& h : houses) {
    DrawHouse(c, h, Hex(0x0E1428), Hex(0x3A4A78));
    Overgrow(c, h, 3 + h.seed % 2, h.roof == 3 ? 1.05 : 0.85, style);
    // The tilted houses have a shoot thrown over them that drags them down.
    if (std::abs(h.tilt) > 0.04) {
      const pt pivot{h.x + h.width / 2, 722};
      vineStyle rope = style;
      rope.seed = h.seed + 200;
      rope.radius = 5;
      DrawVine(c, Curve([&](double t) {
        const double side = h.tilt > 0 ? 1 : -1;
        const double x = h.x + h.width / 2 - side * (h.width * 0.75 - t * h.width * 1.2);
        const double lift = std::sin(t * kPi * 0.8) * (h.height + 10);
        return Turn({x, 724 - lift}, pivot, h.tilt);
      }, 200), rope);
    }
  }
  // A bramble thicket along the ground with thorny shoots arching out of it.
  c.Paint([](double x, double y) -> rgba {
    const double edge = 672 - 50 * Fbm(x / 60, 0.3, 80, 4) * (0.6 + 0.8 * Noise(x / 150, 0.7, 83));
    if (y < edge) return {};
    const double leaf = Fbm(x / 9, y / 9, 81, 2);
    rgba col = Mix(Hex(0x07140A), Hex(0x2A6A2E), Smooth(0.55, 0.8, leaf) * Smooth(edge + 30, edge, y));
    return Mix(col, Hex(0x04080A), Smooth(edge + 10, 720, y) * 0.6);
  }, 2);
  c.Save(path);
}

void Clouds(const std::string& path) {
  canvas c(1280, 256);
  // Everything that depends on x repeats every 1280 pixels (lattice periods 1280 / scale), so
  // two copies side by side join without a seam.
  c.Paint([](double x, double y) -> rgba {
    double density = 0, lit = 0;
    for (int lane = 0; lane < 2; ++lane) {
      // A flat underside and a billowing top, both wandering along the lane.
      const double centre = (lane ? 196 : 104) + 20 * (Noise(x / 256, 0.5 + lane * 3, 90, 5) - 0.5);
      const double thick = 34 + 40 * Noise(x / 128, 1.5 + lane * 3, 91, 10);
      const double present = Smooth(0.28, 0.6, Noise(x / 160, 2.5 + lane * 3, 92, 8));
      const double top = centre - (thick * (0.3 + 1.0 * Fbm(x / 64, 4.5 + lane * 3, 93, 4, 20)) +
                                   24 * Noise(x / 40, 6.5 + lane * 3, 96, 32)) * present;
      const double bottom = centre + 8 + 6 * Noise(x / 80, 5.5 + lane * 3, 95, 16);
      const double inside = Smooth(top, top + 16, y) * Smooth(bottom, bottom - 12, y) * present;
      if (inside > density) {
        density = inside;
        lit = Smooth(top + 30, top, y);
      }
    }
    density *= (0.55 + 0.6 * Fbm(x / 40, y / 24, 94, 3, 32)) * Smooth(0, 16, y) * Smooth(256, 240, y);
    const double alpha = Smooth(0.15, 0.8, density) * 0.68;
    if (alpha <= 0) return {};
    // Moonlit tops, grey-blue undersides.
    return Fade(Mix(Hex(0x2E3A62), Hex(0xB4BCD8), lit * 0.75 + Smooth(0.6, 1, density) * 0.15), alpha);
  });
  c.Save(path);
}

void Firefly(const std::string& path) {
  canvas c(24, 24);
  c.Glow({12, 12}, 12, Hex(0xFFD040, 0.75));
  c.Glow({12, 12}, 5, Hex(0xFFF2A0, 0.9));
  c.Shape(8, 8, 16, 16, [](pt p) { return SdCircle(p, {12, 12}, 1.6); }, Hex(0xFFFFF0), 1.5);
  c.Save(path);
}

}  // namespace

bool DrawScene(const std::string& images, const std::string& interface) {
  GameSky(images + "Game Sky.tga");
  Pipe(images + "Pipe.tga");
  Nozzle(images + "Nozzle.tga");
  HudPlate(images + "Plate.tga");
  MenuSky(interface + "Menu Sky.tga");
  Clouds(interface + "Clouds.tga");
  Firefly(interface + "Firefly.tga");
  return true;
}

}  // namespace art

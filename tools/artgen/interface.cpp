// The interface: the lettered title, buttons, the options panel and its controls, list cells,
// the pointer and the game's icon. One look throughout: dark green lacquer or blue-black glass
// framed in bevelled gold, with thorny vines as the ornament.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "pictures.h"

namespace art {

namespace {

// ---------------------------------------------------------------------------------------------
// The title

// Coverage (0..1) of a line of text, centred across the width with its baseline at the row.
// Returns false (after a message) when the font cannot be read.
bool Letter(const std::string& fontPath, const std::string& text, int w, int h, double targetWidth, int baseline,
            std::vector<double>& mask, int& capTop) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
    std::fprintf(stderr, "artgen: cannot read the font %s\n", fontPath.c_str());
    if (library != nullptr) FT_Done_FreeType(library);
    return false;
  }
  // Measure at one size, then letter at the size that gives the width wanted.
  auto width = [&](int size) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
    long pen = 0;
    for (char ch : text) {
      if (FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_DEFAULT) == 0) pen += face->glyph->advance.x;
    }
    return pen / 64.0;
  };
  const int size = static_cast<int>(100 * targetWidth / std::max(1.0, width(100)));
  const double total = width(size);
  mask.assign(static_cast<size_t>(w) * h, 0);
  capTop = h;
  double pen = (w - total) / 2;
  for (char ch : text) {
    if (FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const int left = static_cast<int>(std::lround(pen)) + g->bitmap_left, top = baseline - g->bitmap_top;
    capTop = std::min(capTop, top);
    for (unsigned row = 0; row < g->bitmap.rows; ++row) {
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        double& m = mask[static_cast<size_t>(y) * w + x];
        m = std::max(m, g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0);
      }
    }
    pen += g->advance.x / 64.0;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return true;
}

// The mask grown by a round brush of the radius, with a soft rim.
std::vector<double> Grow(const std::vector<double>& mask, int w, int h, double radius) {
  std::vector<double> out(mask.size(), 0);
  const int r = static_cast<int>(std::ceil(radius));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double best = 0;
      for (int oy = -r; oy <= r && best < 1; ++oy) {
        for (int ox = -r; ox <= r; ++ox) {
          const int xx = x + ox, yy = y + oy;
          if (xx < 0 || yy < 0 || xx >= w || yy >= h) continue;
          const double weight = std::clamp(radius + 0.5 - std::hypot(ox, oy), 0.0, 1.0);
          best = std::max(best, mask[static_cast<size_t>(yy) * w + xx] * weight);
        }
      }
      out[static_cast<size_t>(y) * w + x] = best;
    }
  }
  return out;
}

bool Title(const std::string& path, const std::string& fontPath) {
  constexpr int w = 900, h = 200, baseline = 132;
  std::vector<double> mask;
  int capTop = 0;
  if (!Letter(fontPath, "THORNFALL", w, h, 840, baseline, mask, capTop)) return false;
  const std::vector<double> rim = Grow(mask, w, h, 5);
  canvas outline(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) outline.Blend(x, y, Hex(0x08120A), rim[static_cast<size_t>(y) * w + x]);
  }
  canvas c(w, h);
  c.Over(outline.Halo(7, Hex(0x000000, 0.75)), 5, 7);
  c.Over(outline);
  const double capHeight = baseline - capTop;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double m = mask[static_cast<size_t>(y) * w + x];
      if (m <= 0) continue;
      // Pale gold at the top through gold to leaf green at the foot, lit on upper edges.
      const double t = (y - capTop) / capHeight;
      rgba col = t < 0.5    ? Mix(Hex(0xFFF6C8), Hex(0xFFD700), t / 0.5)
                 : t < 0.78 ? Mix(Hex(0xFFD700), Hex(0xA8B030), (t - 0.5) / 0.28)
                            : Mix(Hex(0xA8B030), Hex(0x3C8C40), (t - 0.78) / 0.22);
      const double above = y >= 3 ? mask[static_cast<size_t>(y - 3) * w + x] : 0;
      col = Mix(col, Hex(0xFFFFF0), (m - above) * 0.6);
      const double below = y + 3 < h ? mask[static_cast<size_t>(y + 3) * w + x] : 0;
      col = Mix(col, Hex(0x1E4A22), (m - below) * 0.5);
      c.Blend(x, y, col, m);
    }
  }
  // Two thorny vines twisting round each other along the foot of the letters.
  vineStyle vine = VineOf(5.5, 0.5, 19, 9, 38, 21, 1.8);
  for (int strand = 1; strand >= 0; --strand) {
    vine.seed = 5 + strand;
    vine.radius = strand ? 3.8 : 5.5;
    vine.leafEvery = strand ? 0 : 38;
    const double phase = strand * kPi;
    DrawVine(c, Curve([&](double t) {
      const double x = strand ? 872 - 850 * t : 28 + 850 * t;
      const double u = (x - 28) / 850;
      return pt{x, baseline + 18 + 11 * std::sin(u * kPi * 8 + phase) * Smooth(0, 0.06, u) * Smooth(1, 0.94, u)};
    }, 900), vine);
  }
  c.Save(path);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Buttons, panel and controls

enum class look { normal, hover, pressed };

// A lacquered button plate; every look has the same outline so they swap cleanly.
void Button(const std::string& path, int w, int h, look state) {
  canvas c(w, h);
  const double x0 = 1.5, y0 = 1.5, x1 = w - 1.5, y1 = h - 1.5, radius = h * 0.27, rim = 3;
  rgba top = Hex(0x2F7A36), bottom = Hex(0x123818), rimLight = Hex(0xFFE58A), rimDark = Hex(0x8A5A12);
  if (state == look::hover) top = Hex(0x4AA852), bottom = Hex(0x1E5A26), rimLight = Hex(0xFFF4C0), rimDark = Hex(0xC08A20);
  if (state == look::pressed) top = Hex(0x0E2C12), bottom = Hex(0x1E4E24), rimLight = Hex(0xC89A40), rimDark = Hex(0x5A3A0C);
  DrawPlate(c, x0, y0, x1, y1, radius, rim, [&](pt p) {
    const double t = (p.y - y0 - rim) / (y1 - y0 - 2 * rim);
    rgba col = Shade(Mix(top, bottom, t), 0.96 + 0.08 * Noise(p.x / 24, p.y / 5, 41));
    const double inside = -SdRoundBox(p, x0 + rim, y0 + rim, x1 - rim, y1 - rim, radius - rim);
    if (state == look::pressed) {
      col = Mix(col, Hex(0x000000), std::exp(-(p.y - y0 - rim) / 5) * 0.55);  // pushed in: shade under the top rim
    } else {
      col = Mix(col, Hex(0xFFFFFF), Smooth(0.5, 0.0, t) * 0.14);  // the gloss on the upper half
    }
    if (state == look::hover) col = Mix(col, Hex(0xFFE27A), std::exp(-inside / 5) * 0.5);
    return col;
  }, rimLight, rimDark);
  // Gold studs at both ends, clear of the centred label.
  const double shift = state == look::pressed ? 1 : 0;
  for (double sx : {x0 + rim + h * 0.3, x1 - rim - h * 0.3}) {
    const pt m{sx, h / 2.0 + shift};
    const double s = h * 0.09;
    const std::vector<pt> diamond = {{m.x, m.y - s * 1.4}, {m.x + s, m.y}, {m.x, m.y + s * 1.4}, {m.x - s, m.y}};
    c.Inked(m.x - 10, m.y - 10, m.x + 10, m.y + 10, [&](pt p) { return SdPolygon(p, diamond); }, 1.2, Hex(0x1A1004),
            [&](pt p) { return Mix(rimLight, rimDark, (p.y - m.y + s * 1.4) / (s * 2.8)); });
  }
  c.Save(path);
}

void Panel(const std::string& path) {
  canvas c(720, 540);
  DrawPanel(c, 45);
  CornerVines(c, 20, 90, 20);
  c.Save(path);
}

void Slider(const std::string& range, const std::string& thumb) {
  // The thumb is drawn at the slider's top, so the range is as high as the thumb with the groove
  // across its middle.
  canvas groove(300, 40);
  DrawPlate(groove, 2, 14, 298, 26, 6, 1.8, [](pt p) {
    return Mix(Hex(0x000000, 0.9), Hex(0x0E1630, 0.9), (p.y - 16) / 8);  // darker under the top edge: sunk in
  });
  groove.Save(range);
  canvas knob(28, 40);
  knob.Shape(0, 0, 28, 40, [](pt p) { return SdRoundBox(p, 2, 2, 26, 38, 7); }, Hex(0x2A1606));
  knob.Shape(0, 0, 28, 40, [](pt p) { return SdRoundBox(p, 3.2, 3.2, 24.8, 36.8, 6); },
             [](pt p) { return Brass((p.x - 14) / 11, Hex(0xD4A640)); });
  for (double gy : {14.0, 20.0, 26.0}) {
    knob.Shape(6, gy - 2, 22, gy + 2, [gy](pt p) { return SdSegment(p, {8, gy}, {20, gy}) - 0.7; }, Hex(0x5A380C));
    knob.Shape(6, gy - 1, 22, gy + 3, [gy](pt p) { return SdSegment(p, {8, gy + 1.4}, {20, gy + 1.4}) - 0.5; }, Hex(0xFFF2C4, 0.7));
  }
  knob.Save(thumb);
}

void Check(const std::string& path, bool on) {
  canvas c(44, 44);
  DrawPlate(c, 3, 3, 41, 41, 9, 3, [](pt p) {
    return Mix(Mix(Hex(0x02040A, 0.92), Hex(0x141E3C, 0.92), (p.y - 6) / 30), Hex(0x000000, 0.92), std::exp(-(p.y - 6) / 4) * 0.5);
  });
  if (on) {
    const std::vector<pt> tick = {{12, 22}, {19, 30}, {33, 12}};
    const std::vector<double> radius = {3.4, 3.6, 3.0};
    // One long path through the corner keeps the stroke's joint round.
    std::vector<pt> path;
    std::vector<double> widths;
    for (size_t i = 0; i + 1 < tick.size(); ++i) {
      for (int k = 0; k < 12; ++k) {
        const double t = k / 12.0;
        path.push_back({tick[i].x + (tick[i + 1].x - tick[i].x) * t, tick[i].y + (tick[i + 1].y - tick[i].y) * t});
        widths.push_back(radius[i] + (radius[i + 1] - radius[i]) * t);
      }
    }
    path.push_back(tick.back());
    widths.push_back(radius.back());
    c.Stroke(path, widths, Hex(0x07100A), Hex(0x07100A), 1.6);
    c.Stroke(path, widths, Hex(0x2A7030), Hex(0x8AE070));
  }
  c.Save(path);
}

void Cell(const std::string& path, int state) {
  canvas c(420, 40);
  if (state == 2) {
    DrawPlate(c, 1, 1, 419, 39, 7, 2, [](pt p) { return Mix(Hex(0x2A5A30, 0.8), Hex(0x14301A, 0.8), p.y / 40); });
  } else {
    const rgba face = state == 1 ? Hex(0x2A3A60, 0.7) : Hex(0x0A1226, 0.55);
    const rgba edge = state == 1 ? Hex(0x6A80B8, 0.8) : Hex(0x2A3A60, 0.7);
    c.Shape(0, 0, 420, 40, [](pt p) { return SdRoundBox(p, 1, 1, 419, 39, 7); }, edge);
    c.Shape(0, 0, 420, 40, [](pt p) { return SdRoundBox(p, 2.2, 2.2, 417.8, 37.8, 6); },
            [face](pt p) { return Mix(Shade(face, 1.25), face, p.y / 40); });
  }
  c.Save(path);
}

void Pointer(const std::string& path) {
  canvas c(32, 32);
  // The tip sits on the hot spot (0, 0); the outline is squared off there so that pixel is solid.
  const std::vector<pt> arrow = {{1.6, 1.6}, {1.6, 24}, {7, 19}, {11, 28}, {15, 26.2}, {11, 17.4}, {18.4, 17.4}};
  auto shape = [&](pt p) { return SdPolygon(p, arrow); };
  canvas shadow(32, 32);
  shadow.Shape(0, 0, 32, 32, shape, Hex(0x000000));
  c.Over(shadow.Halo(2.5, Hex(0x000000, 0.45)), 2, 2);
  c.Shape(0, 0, 32, 32, [&](pt p) { return std::min(shape(p) - 1.6, SdRoundBox(p, 0, 0, 3, 3, 0.2)); }, Hex(0x0A0806));
  c.Shape(0, 0, 32, 32, shape, [](pt p) { return Mix(Hex(0xFFFDF0), Hex(0xF0D890), p.y / 28); });
  c.Save(path);
}

void Icon(const std::string& path) {
  constexpr int s = 256;
  canvas c(s, s);
  const pt centre{128, 128};
  c.Shape(0, 0, s, s, [&](pt p) { return SdCircle(p, centre, 126); }, Hex(0x1A1004));
  DrawPlate(c, 4, 4, s - 4, s - 4, 124, 9, [&](pt p) {
    rgba col = Mix(Hex(0x2A3A60), Hex(0x0A1028), (p.y - 12) / 232);
    return col;
  });
  for (int k = 0; k < 14; ++k) {
    const pt star{40 + 176 * Hash(k, 0, 50), 40 + 120 * Hash(k, 1, 50)};
    if (SdCircle(star, centre, 100) < 0) c.Glow(star, 3 + 3 * Hash(k, 2, 50), Hex(0xFFF0C8, 0.8));
  }
  // The drop: a circle drawn up to a point.
  const pt ball{128, 154}, tip{128, 46};
  const double r = 56;
  const double reach = std::hypot(tip.x - ball.x, tip.y - ball.y), angle = std::asin(r / reach);
  const double side = r * std::cos(angle), up = r * std::sin(angle);
  const std::vector<pt> cone = {tip, {ball.x - side, ball.y - up}, ball, {ball.x + side, ball.y - up}};
  auto drop = [&](pt p) { return std::min(SdCircle(p, ball, r), SdPolygon(p, cone)); };
  // The vine winds round the drop twice; the turns behind it are drawn first.
  vineStyle vine = VineOf(8, 0.4, 20, 13, 0, 0, 2.5);
  vine.seed = 3;
  auto at = [&](double t) {
    const double y = 214 - 146 * t, phase = t * kPi * 2.9 + 3.46;
    const double half = y > ball.y - up ? std::sqrt(std::max(0.0, r * r - (y - ball.y) * (y - ball.y))) :
                                          side * std::max(0.0, (y - tip.y) / (ball.y - up - tip.y));
    return pt{128 + (half + 12) * std::sin(phase), y};
  };
  auto front = [&](double t) { return std::cos(t * kPi * 2.9 + 3.46) > 0; };
  std::vector<std::vector<pt>> behind, before;
  for (int i = 0; i <= 400;) {
    const bool f = front(i / 400.0);
    std::vector<pt> run;
    for (; i <= 400 && front(i / 400.0) == f; ++i) run.push_back(at(i / 400.0));
    if (i <= 400) run.push_back(at(i / 400.0));
    (f ? before : behind).push_back(run);
  }
  vineStyle back = vine;
  back.stemDark = Hex(0x0E2A12);
  back.stemLight = Hex(0x2A6A2E);
  for (const auto& run : behind) DrawVine(c, run, back);
  c.Shape(60, 36, 196, 220, [&](pt p) { return drop(p) - 3.5; }, Hex(0x061A40));
  c.Shape(60, 36, 196, 220, drop, [&](pt p) {
    rgba col = Mix(Hex(0x9ED8FF), Hex(0x2060C0), (p.y - 60) / 150 + (p.x - 128) / 200);
    return col;
  });
  c.Shape(80, 90, 130, 200, [&](pt p) { return std::hypot((p.x - 106) / 11, (p.y - 150) / 26) - 1; }, Hex(0xFFFFFF, 0.7), 3);
  for (const auto& run : before) DrawVine(c, run, vine);
  // A leaf sprouting at the top of the vine.
  const pt top = at(1);
  c.Inked(top.x - 50, top.y - 50, top.x + 50, top.y + 50, [&](pt p) { return SdLeaf(p, top, -0.6, 44, 22); }, 2.5,
          Hex(0x07100A), [&](pt p) { return Mix(Hex(0x6CC24A), Hex(0x2A7030), (p.y - top.y + 30) / 40); });
  c.Save(path);
}

}  // namespace

bool DrawInterface(const std::string& interface, const std::string& titleFont) {
  const bool titled = Title(interface + "Title.tga", titleFont);
  const char* looks[] = {"", " Hover", " Pressed"};
  for (int i = 0; i < 3; ++i) {
    Button(interface + "Button" + looks[i] + ".tga", 320, 64, static_cast<look>(i));
    Button(interface + "Small Button" + looks[i] + ".tga", 200, 52, static_cast<look>(i));
  }
  Panel(interface + "Panel.tga");
  Slider(interface + "Slider Range.tga", interface + "Slider Thumb.tga");
  Check(interface + "Check Off.tga", false);
  Check(interface + "Check On.tga", true);
  Cell(interface + "Cell.tga", 0);
  Cell(interface + "Cell Hover.tga", 1);
  Cell(interface + "Cell Selected.tga", 2);
  Pointer(interface + "Pointer.tga");
  Icon(interface + "Icon.tga");
  return titled;
}

}  // namespace art

// splash: draws the game's splash picture and writes it as a 32-bit Targa whose alpha is the
// window's outline.
//
//   splash OUT.tga
//
// The picture is a thorn-ringed badge with the title in stroke lettering, a vine under it and
// drops falling through it. Everything is a shape tested per sample (4 x 4 per pixel), so the
// edges come out smooth and the alpha is the shape's coverage.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "image/image.h"

namespace {

// The picture is larger than the window: the shell shows the part from (14, 9) on, 716 x 541.
constexpr int kWidth = 761;
constexpr int kHeight = 557;
constexpr int kSamples = 4;
constexpr double kPi = 3.14159265358979323846;

struct Vec {
  double x, y;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

struct Colour {
  double r, g, b;
};
Colour Mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
constexpr Colour Hex(unsigned rgb) {
  return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF), static_cast<double>(rgb & 0xFF)};
}

double SegmentDistance(Vec p, Vec a, Vec b) {
  const Vec ab = b - a;
  const double t = std::clamp(Dot(p - a, ab) / Dot(ab, ab), 0.0, 1.0);
  const Vec d = p - (a + ab * t);
  return std::sqrt(Dot(d, d));
}

bool InTriangle(Vec p, Vec a, Vec b, Vec c) {
  const double d1 = Cross(b - a, p - a);
  const double d2 = Cross(c - b, p - b);
  const double d3 = Cross(a - c, p - c);
  const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
  const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
  return !(negative && positive);
}

// ---------------------------------------------------------------------------------------------
// The badge and its thorns

const Vec kCentre{380.5, 278.0};
constexpr double kRadiusX = 296.0;
constexpr double kRadiusY = 200.0;
constexpr int kThornCount = 30;

struct Thorn {
  Vec a, b, tip;
};

std::vector<Thorn> MakeThorns() {
  std::vector<Thorn> thorns;
  for (int i = 0; i < kThornCount; ++i) {
    const double angle = 2 * kPi * (i + 0.5) / kThornCount;
    const double c = std::cos(angle), s = std::sin(angle);
    // Base slightly inside the rim so thorn and badge join without a seam.
    const Vec base = kCentre + Vec{(kRadiusX - 6) * c, (kRadiusY - 6) * s};
    Vec normal{c / kRadiusX, s / kRadiusY};
    const double length = std::sqrt(Dot(normal, normal));
    normal = normal * (1.0 / length);
    const Vec tangent{-normal.y, normal.x};
    const double reach = (i % 2 == 0) ? 44.0 : 28.0;
    // Rose thorns lean: the tip sits off the base's middle, always the same way round.
    const Vec tip = base + normal * (reach + 6) + tangent * (reach * 0.35);
    thorns.push_back({base - tangent * 15.0, base + tangent * 15.0, tip});
  }
  return thorns;
}

double EllipseRadius(Vec p) {
  const double dx = (p.x - kCentre.x) / kRadiusX;
  const double dy = (p.y - kCentre.y) / kRadiusY;
  return std::sqrt(dx * dx + dy * dy);
}

// ---------------------------------------------------------------------------------------------
// Title lettering: strokes on a 4 x 6 grid per letter

struct Stroke {
  double x0, y0, x1, y1;
};

std::vector<Stroke> LetterStrokes(char letter) {
  switch (letter) {
    case 'T': return {{0, 0, 4, 0}, {2, 0, 2, 6}};
    case 'H': return {{0, 0, 0, 6}, {4, 0, 4, 6}, {0, 3, 4, 3}};
    case 'O': return {{1, 0, 3, 0}, {3, 0, 4, 1}, {4, 1, 4, 5}, {4, 5, 3, 6}, {3, 6, 1, 6}, {1, 6, 0, 5}, {0, 5, 0, 1}, {0, 1, 1, 0}};
    case 'R': return {{0, 6, 0, 0}, {0, 0, 3, 0}, {3, 0, 4, 1}, {4, 1, 4, 2}, {4, 2, 3, 3}, {3, 3, 0, 3}, {2, 3, 4, 6}};
    case 'N': return {{0, 6, 0, 0}, {0, 0, 4, 6}, {4, 6, 4, 0}};
    case 'F': return {{0, 6, 0, 0}, {0, 0, 4, 0}, {0, 3, 3, 3}};
    case 'A': return {{0, 6, 2, 0}, {2, 0, 4, 6}, {1, 4, 3, 4}};
    case 'L': return {{0, 0, 0, 6}, {0, 6, 4, 6}};
    default: return {};
  }
}

struct Segment {
  Vec a, b;
};

constexpr double kLetterScale = 10.5;   // pixels per grid step
constexpr double kLetterAdvance = 58.0;  // pixels from one letter to the next
constexpr double kStroke = 11.0;
constexpr double kTitleTop = 205.0;

std::vector<Segment> TitleSegments() {
  const std::string title = "THORNFALL";
  const double width = kLetterAdvance * (title.size() - 1) + 4 * kLetterScale;
  const double left = kCentre.x - width / 2;
  std::vector<Segment> segments;
  for (size_t i = 0; i < title.size(); ++i) {
    const double x = left + kLetterAdvance * i;
    for (const Stroke& s : LetterStrokes(title[i])) {
      segments.push_back({{x + s.x0 * kLetterScale, kTitleTop + s.y0 * kLetterScale},
                          {x + s.x1 * kLetterScale, kTitleTop + s.y1 * kLetterScale}});
    }
  }
  return segments;
}

// ---------------------------------------------------------------------------------------------
// The picture, sample by sample

struct Scene {
  std::vector<Thorn> thorns = MakeThorns();
  std::vector<Segment> title = TitleSegments();
  std::vector<Vec> drops = {{228, 128}, {318, 392}, {512, 150}, {604, 318}, {446, 420}};
};

// False where the sample is outside the silhouette; otherwise its colour.
bool Sample(const Scene& scene, Vec p, Colour& colour) {
  const double r = EllipseRadius(p);
  bool inside = r <= 1.0;
  const Thorn* thorn = nullptr;
  if (!inside) {
    for (const Thorn& t : scene.thorns) {
      if (InTriangle(p, t.a, t.b, t.tip)) {
        thorn = &t;
        inside = true;
        break;
      }
    }
  }
  if (!inside) return false;

  if (thorn != nullptr) {
    const Vec mid = (thorn->a + thorn->b) * 0.5;
    const Vec axis = thorn->tip - mid;
    const double along = Dot(p - mid, axis) / Dot(axis, axis);
    colour = Mix(Hex(0x3B5323), Hex(0xD8C68A), along);
    return true;
  }

  // Badge: a dark radial gradient with a moss rim.
  colour = Mix(Hex(0x23432A), Hex(0x0A130C), r);
  if (r > 0.94) colour = Mix(Hex(0x5E7F34), Hex(0x3B5323), (r - 0.94) / 0.06);
  else if (r > 0.91) colour = Hex(0x0A130C);

  // Vine under the title, with small thorns of its own.
  if (p.x > 150 && p.x < 612) {
    const double vineY = 318 + 14 * std::sin((p.x - 150) / 34.0);
    const double d = std::fabs(p.y - vineY);
    if (d < 4.0) colour = Hex(0x6E9140);
    const double phase = std::fmod(p.x - 150, 46.0);
    if (phase < 12 && p.y < vineY && vineY - p.y < 14 - phase) colour = Hex(0x8FAE55);
  }

  // Falling drops: a round body with a point above it.
  for (const Vec& drop : scene.drops) {
    const Vec d = p - drop;
    const bool body = Dot(d, d) <= 8.5 * 8.5;
    const bool point = InTriangle(p, drop + Vec{-7.4, -4}, drop + Vec{7.4, -4}, drop + Vec{0, -20});
    if (body || point) {
      colour = Mix(Hex(0xDDF3FA), Hex(0x5FA8C8), (d.y + 20) / 30.0);
    }
  }

  // Title: pale bone letters with a dark edge.
  double nearest = 1e9;
  if (p.y > kTitleTop - 20 && p.y < kTitleTop + 6 * kLetterScale + 20) {
    for (const Segment& s : scene.title) nearest = std::min(nearest, SegmentDistance(p, s.a, s.b));
  }
  if (nearest < kStroke / 2) {
    colour = Mix(Hex(0xF1E4B8), Hex(0xB0904E), (p.y - kTitleTop) / (6 * kLetterScale));
  } else if (nearest < kStroke / 2 + 3) {
    colour = Hex(0x050805);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: splash OUT.tga\n");
    return 2;
  }
  UtilSetCommandLine(std::vector<std::string>{});
  const std::string out = argv[1];
  std::error_code ignored;
  const std::filesystem::path parent = std::filesystem::path(out).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  std::filesystem::remove(out, ignored);  // so that a failed write cannot pass for a written one

  const Scene scene;
  const imageChain image = ImageNewChain();
  image->width = kWidth;
  image->height = kHeight;
  image->bitsPerPixel = 32;
  image->pixels.assign(static_cast<size_t>(kWidth) * kHeight, 0);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double r = 0, g = 0, b = 0;
      int covered = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          Colour c;
          if (Sample(scene, {x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples}, c)) {
            r += c.r;
            g += c.g;
            b += c.b;
            ++covered;
          }
        }
      }
      if (covered == 0) continue;  // transparent black
      const auto channel = [covered](double sum) { return static_cast<uint32_t>(std::lround(sum / covered)) & 0xFF; };
      const uint32_t alpha = static_cast<uint32_t>(covered * 255 / (kSamples * kSamples));
      image->pixels[static_cast<size_t>(y) * kWidth + x] = (alpha << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
    }
  }
  ImageSave(out, image.get());
  if (!std::filesystem::exists(out, ignored)) {
    std::fprintf(stderr, "splash: could not write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

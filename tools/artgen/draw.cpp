#include "draw.h"

#include <algorithm>
#include <cmath>

#include "image/image.h"

namespace art {

namespace {

double Dot(pt a, pt b) { return a.x * b.x + a.y * b.y; }
pt Sub(pt a, pt b) { return {a.x - b.x, a.y - b.y}; }
pt Add(pt a, pt b) { return {a.x + b.x, a.y + b.y}; }
pt Scale(pt a, double f) { return {a.x * f, a.y * f}; }

}  // namespace

rgba Hex(uint32_t rgb, double a) {
  return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
          static_cast<double>(rgb & 0xFF), a};
}
rgba Mix(rgba x, rgba y, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
rgba Shade(rgba c, double f) { return {c.r * f, c.g * f, c.b * f, c.a}; }
rgba Fade(rgba c, double alpha) { return {c.r, c.g, c.b, c.a * alpha}; }
double Smooth(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

double Hash(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFFFF) / double(0xFFFFFF);
}
double Noise(double x, double y, int seed, int periodX) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) { return Hash(((i % periodX) + periodX) % periodX, j, seed); };
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return top + (bottom - top) * sy;
}
double Fbm(double x, double y, int seed, int octaves, int periodX) {
  double sum = 0, weight = 1, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += Noise(x, y, seed + i, periodX) * weight;
    total += weight;
    x *= 2;
    y *= 2;
    periodX *= 2;
    weight /= 2;
  }
  return sum / total;
}

// ---------------------------------------------------------------------------------------------
// Signed distances

double SdCircle(pt p, pt centre, double radius) { return std::hypot(p.x - centre.x, p.y - centre.y) - radius; }

double SdSegment(pt p, pt a, pt b) {
  const pt ab = Sub(b, a), ap = Sub(p, a);
  const double len = Dot(ab, ab);
  const double t = len > 0 ? std::clamp(Dot(ap, ab) / len, 0.0, 1.0) : 0;
  const pt q = Sub(ap, Scale(ab, t));
  return std::sqrt(Dot(q, q));
}

double SdRoundBox(pt p, double x0, double y0, double x1, double y1, double radius) {
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double qx = std::abs(p.x - cx) - ((x1 - x0) / 2 - radius);
  const double qy = std::abs(p.y - cy) - ((y1 - y0) / 2 - radius);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
}

double SdPolygon(pt p, const std::vector<pt>& v) {
  if (v.empty()) return 1e9;
  double d = Dot(Sub(p, v[0]), Sub(p, v[0]));
  double sign = 1;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i, ++i) {
    const pt e = Sub(v[j], v[i]), w = Sub(p, v[i]);
    const pt b = Sub(w, Scale(e, std::clamp(Dot(w, e) / Dot(e, e), 0.0, 1.0)));
    d = std::min(d, Dot(b, b));
    const bool c1 = p.y >= v[i].y, c2 = p.y < v[j].y, c3 = e.x * w.y > e.y * w.x;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
  }
  return sign * std::sqrt(d);
}

double SdLeaf(pt p, pt stalk, double angle, double length, double width) {
  // In the leaf's frame: u along its axis from the middle, v across; the outline is where two
  // circles of radius r, centred d either side of the axis, overlap.
  const double ca = std::cos(angle), sa = std::sin(angle);
  const pt q = Sub(p, Add(stalk, {ca * length / 2, sa * length / 2}));
  const double u = std::abs(q.x * ca + q.y * sa), v = std::abs(-q.x * sa + q.y * ca);
  const double b = length / 2, w = width / 2;
  const double d = (b * b - w * w) / (2 * w), r = d + w;
  if ((u - b) * d > v * b) return std::hypot(v, u - b);
  return std::hypot(v + d, u) - r;
}

// ---------------------------------------------------------------------------------------------
// Pictures

void Write(const std::string& path, int w, int h, const std::function<rgba(double, double)>& at) {
  imageChain chain = ImageNewChain();
  imageData& image = *chain;
  image.width = w;
  image.height = h;
  image.pixels.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      rgba sum;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const rgba c = at(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      }
      const double a = sum.a / 16;
      auto channel = [&](double v) { return static_cast<uint32_t>(std::clamp(a > 0 ? v / sum.a : 0.0, 0.0, 255.0)); };
      image.pixels[static_cast<size_t>(y) * w + x] = (static_cast<uint32_t>(std::lround(a * 255)) << 24) |
                                                    (channel(sum.r) << 16) | (channel(sum.g) << 8) | channel(sum.b);
    }
  }
  ImageSave(path, &image);
}

canvas::canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h) {}

void canvas::Paint(const std::function<rgba(double, double)>& at, int samples) {
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      rgba sum;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const rgba c = at(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples);
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      }
      if (sum.a <= 0) continue;
      Blend(x, y, {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (samples * samples)}, 1);
    }
  }
}

void canvas::Blend(int x, int y, rgba c, double coverage) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  const double a = std::clamp(c.a * coverage, 0.0, 1.0);
  if (a <= 0) return;
  rgba& d = px_[static_cast<size_t>(y) * w_ + x];
  d = {c.r * a + d.r * (1 - a), c.g * a + d.g * (1 - a), c.b * a + d.b * (1 - a), a + d.a * (1 - a)};
}

void canvas::Shape(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance,
                   const std::function<rgba(pt)>& colour, double soft) {
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0))), iy0 = std::max(0, static_cast<int>(std::floor(y0)));
  const int ix1 = std::min(w_ - 1, static_cast<int>(std::ceil(x1))), iy1 = std::min(h_ - 1, static_cast<int>(std::ceil(y1)));
  for (int y = iy0; y <= iy1; ++y) {
    for (int x = ix0; x <= ix1; ++x) {
      const pt p{x + 0.5, y + 0.5};
      const double coverage = std::clamp(0.5 - distance(p) / soft, 0.0, 1.0);
      if (coverage > 0) Blend(x, y, colour(p), coverage);
    }
  }
}

void canvas::Shape(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance, rgba colour,
                   double soft) {
  Shape(x0, y0, x1, y1, distance, [colour](pt) { return colour; }, soft);
}

void canvas::Inked(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance,
                   double line, rgba ink, const std::function<rgba(pt)>& colour) {
  Shape(x0, y0, x1, y1, [&](pt p) { return distance(p) - line; }, ink);
  Shape(x0, y0, x1, y1, distance, colour);
}

void canvas::Glow(pt centre, double radius, rgba colour) {
  Shape(centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius,
        [&](pt p) { return SdCircle(p, centre, radius); },
        [&](pt p) {
          const double r = std::hypot(p.x - centre.x, p.y - centre.y) / radius;
          return Fade(colour, std::exp(-r * r * 4) * Smooth(1, 0.8, r));
        });
}

void canvas::Stroke(const std::vector<pt>& path, const std::vector<double>& radius, rgba dark, rgba light, double grow) {
  if (path.size() < 2 || radius.size() != path.size()) return;
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9, widest = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    x0 = std::min(x0, path[i].x), y0 = std::min(y0, path[i].y);
    x1 = std::max(x1, path[i].x), y1 = std::max(y1, path[i].y);
    widest = std::max(widest, radius[i]);
  }
  const double margin = widest + grow + 2;
  const int bx0 = std::max(0, static_cast<int>(x0 - margin)), by0 = std::max(0, static_cast<int>(y0 - margin));
  const int bx1 = std::min(w_ - 1, static_cast<int>(x1 + margin)), by1 = std::min(h_ - 1, static_cast<int>(y1 + margin));
  if (bx1 < bx0 || by1 < by0) return;
  const int bw = bx1 - bx0 + 1, bh = by1 - by0 + 1;
  // Nearest signed distance to the union of the segments, and how far across the tube it lies.
  std::vector<double> best(static_cast<size_t>(bw) * bh, 1e9), across(best.size(), 1);
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const pt a = path[i], b = path[i + 1];
    const double m = std::max(radius[i], radius[i + 1]) + grow + 2;
    const int sx0 = std::max(bx0, static_cast<int>(std::min(a.x, b.x) - m));
    const int sy0 = std::max(by0, static_cast<int>(std::min(a.y, b.y) - m));
    const int sx1 = std::min(bx1, static_cast<int>(std::max(a.x, b.x) + m));
    const int sy1 = std::min(by1, static_cast<int>(std::max(a.y, b.y) + m));
    const pt ab = Sub(b, a);
    const double len = Dot(ab, ab);
    for (int y = sy0; y <= sy1; ++y) {
      for (int x = sx0; x <= sx1; ++x) {
        const pt ap = Sub({x + 0.5, y + 0.5}, a);
        const double t = len > 0 ? std::clamp(Dot(ap, ab) / len, 0.0, 1.0) : 0;
        const pt q = Sub(ap, Scale(ab, t));
        const double d = std::sqrt(Dot(q, q));
        const double r = radius[i] + (radius[i + 1] - radius[i]) * t + grow;
        const size_t k = static_cast<size_t>(y - by0) * bw + (x - bx0);
        if (d - r < best[k]) {
          best[k] = d - r;
          across[k] = r > 0 ? d / r : 1;
        }
      }
    }
  }
  for (int y = by0; y <= by1; ++y) {
    for (int x = bx0; x <= bx1; ++x) {
      const size_t k = static_cast<size_t>(y - by0) * bw + (x - bx0);
      const double coverage = std::clamp(0.5 - best[k], 0.0, 1.0);
      if (coverage <= 0) continue;
      const double a = std::min(across[k], 1.0);
      Blend(x, y, Mix(dark, light, std::sqrt(1 - a * a)), coverage);
    }
  }
}

void canvas::Over(const canvas& top, int dx, int dy, double opacity) {
  for (int y = 0; y < top.h_; ++y) {
    for (int x = 0; x < top.w_; ++x) {
      const int tx = x + dx, ty = y + dy;
      if (tx < 0 || ty < 0 || tx >= w_ || ty >= h_) continue;
      const rgba& s = top.px_[static_cast<size_t>(y) * top.w_ + x];
      rgba& d = px_[static_cast<size_t>(ty) * w_ + tx];
      const double a = s.a * opacity;
      d = {s.r * opacity + d.r * (1 - a), s.g * opacity + d.g * (1 - a), s.b * opacity + d.b * (1 - a), a + d.a * (1 - a)};
    }
  }
}

canvas canvas::Halo(double radius, rgba colour) const {
  // Three box blurs, across then down, come close to a bell curve.
  const int k = std::max(1, static_cast<int>(std::lround(radius / 1.8)));
  std::vector<double> alpha(px_.size()), next(px_.size());
  for (size_t i = 0; i < px_.size(); ++i) alpha[i] = px_[i].a;
  // One box blur along lines of `length` pixels `step` apart, the lines `stride` apart.
  auto blur = [k](const std::vector<double>& from, std::vector<double>& to, int lines, int length, int stride, int step) {
    for (int line = 0; line < lines; ++line) {
      for (int i = 0; i < length; ++i) {
        double sum = 0;
        for (int o = std::max(0, i - k); o <= std::min(length - 1, i + k); ++o) sum += from[static_cast<size_t>(line) * stride + o * step];
        to[static_cast<size_t>(line) * stride + i * step] = sum / (2 * k + 1);
      }
    }
  };
  for (int pass = 0; pass < 3; ++pass) {
    blur(alpha, next, h_, w_, w_, 1);
    blur(next, alpha, w_, h_, 1, w_);
  }
  canvas out(w_, h_);
  for (size_t i = 0; i < px_.size(); ++i) {
    const double a = alpha[i] * colour.a;
    out.px_[i] = {colour.r * a, colour.g * a, colour.b * a, a};
  }
  return out;
}

void canvas::Clip(const std::function<double(pt)>& distance) {
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      const double keep = std::clamp(0.5 - distance({x + 0.5, y + 0.5}), 0.0, 1.0);
      rgba& d = px_[static_cast<size_t>(y) * w_ + x];
      d = {d.r * keep, d.g * keep, d.b * keep, d.a * keep};
    }
  }
}

rgba canvas::At(int x, int y) const {
  const rgba& d = px_[static_cast<size_t>(y) * w_ + x];
  if (d.a <= 0) return {};
  return {d.r / d.a, d.g / d.a, d.b / d.a, d.a};
}

void canvas::Save(const std::string& path) const {
  imageChain chain = ImageNewChain();
  imageData& image = *chain;
  image.width = w_;
  image.height = h_;
  image.pixels.resize(px_.size());
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      const rgba c = At(x, y);
      auto channel = [](double v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
      image.pixels[static_cast<size_t>(y) * w_ + x] = (channel(c.a * 255) << 24) | (channel(c.r) << 16) |
                                                     (channel(c.g) << 8) | channel(c.b);
    }
  }
  ImageSave(path, &image);
}

void DrawPlate(canvas& c, double x0, double y0, double x1, double y1, double radius, double rim,
               const std::function<rgba(pt)>& face, rgba rimLight, rgba rimDark) {
  auto outer = [=](pt p) { return SdRoundBox(p, x0, y0, x1, y1, radius); };
  auto inner = [=](pt p) { return SdRoundBox(p, x0 + rim, y0 + rim, x1 - rim, y1 - rim, std::max(1.0, radius - rim)); };
  if (rim > 0) {
    c.Shape(x0 - 1, y0 - 1, x1 + 1, y1 + 1, [&](pt p) { return std::max(outer(p), -inner(p)); },
            [&](pt p) {
              // Gold lit from above, a bright line along the middle of the band, dark at its outer edge.
              const double across = std::clamp(-outer(p) / rim, 0.0, 1.0);
              rgba col = Mix(rimLight, rimDark, (p.y - y0) / (y1 - y0));
              col = Mix(col, Hex(0xFFF6D8), std::exp(-std::pow((across - 0.45) * 3.5, 2)) * 0.45);
              return Mix(Hex(0x2A1A06), col, Smooth(0.0, 0.35, across));
            });
  }
  c.Shape(x0 + rim - 1, y0 + rim - 1, x1 - rim + 1, y1 - rim + 1, inner, face);
}

void DrawPanel(canvas& c, int seed) {
  const double w = c.width(), h = c.height();
  DrawPlate(c, 2, 2, w - 2, h - 2, 24, 4, [=](pt p) {
    rgba col = Mix(Hex(0x141E3C, 0.9), Hex(0x070A16, 0.92), p.y / h);
    return Shade(col, 0.95 + 0.1 * Fbm(p.x / 90, p.y / 90, seed, 3));
  });
  c.Shape(0, 0, w, h, [=](pt p) { return std::abs(SdRoundBox(p, 13, 13, w - 13, h - 13, 14)) - 0.6; }, Hex(0xFFD700, 0.45));
}

void CornerVines(canvas& c, double inset, double size, int seed) {
  vineStyle vine = VineOf(3.4, 0.3, 12, 6, 20, 14, 1.2);
  for (int corner = 0; corner < 4; ++corner) {
    const bool right = corner & 1, lower = corner & 2;
    vine.seed = seed + corner;
    DrawVine(c, Curve([&](double t) {
      // Along the top edge, round the corner, down the side, swaying a little.
      const double a = -kPi * 0.5 - t * kPi * 0.5, bend = size * (1 + 0.06 * std::sin(t * 11));
      pt p{inset + size + bend * std::cos(a), inset + size + bend * std::sin(a)};
      if (right) p.x = c.width() - p.x;
      if (lower) p.y = c.height() - p.y;
      return p;
    }, 200), vine);
  }
}

rgba Brass(double across, rgba base) {
  across = std::clamp(across, -1.0, 1.0);
  const double round = std::sqrt(1 - across * across);
  rgba col = Mix(Shade(base, 0.35), base, round);
  // The light comes from the upper left: a bright band a little off the middle.
  return Mix(col, Hex(0xFFF1C0), std::exp(-std::pow((across + 0.35) * 3.2, 2)) * 0.75);
}

// ---------------------------------------------------------------------------------------------
// Vines

std::vector<pt> Curve(const std::function<pt(double)>& at, int points) {
  std::vector<pt> out;
  for (int i = 0; i < points; ++i) out.push_back(at(points > 1 ? i / double(points - 1) : 0));
  return out;
}

vineStyle VineOf(double radius, double taper, double thornEvery, double thornLength, double leafEvery,
                 double leafLength, double outline) {
  return {.radius = radius, .taper = taper, .thornEvery = thornEvery, .thornLength = thornLength,
          .leafEvery = leafEvery, .leafLength = leafLength, .outline = outline};
}

void DrawVine(canvas& c, const std::vector<pt>& path, const vineStyle& s) {
  if (path.size() < 2) return;
  std::vector<double> along(path.size(), 0);
  for (size_t i = 1; i < path.size(); ++i) along[i] = along[i - 1] + std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
  const double total = along.back();
  if (total <= 0) return;
  std::vector<double> radius(path.size());
  for (size_t i = 0; i < path.size(); ++i) radius[i] = s.radius * (1 - (1 - s.taper) * along[i] / total);
  // Where a distance along the stem falls: the point, its unit tangent and the radius there.
  auto place = [&](double d, pt& p, pt& tangent, double& r) {
    const size_t i = std::min<size_t>(path.size() - 2, std::upper_bound(along.begin(), along.end(), d) - along.begin() - 1);
    const double seg = std::max(1e-9, along[i + 1] - along[i]);
    const double t = std::clamp((d - along[i]) / seg, 0.0, 1.0);
    p = {path[i].x + (path[i + 1].x - path[i].x) * t, path[i].y + (path[i + 1].y - path[i].y) * t};
    tangent = {(path[i + 1].x - path[i].x) / seg, (path[i + 1].y - path[i].y) / seg};
    r = radius[i];
  };
  struct thornShape {
    std::vector<pt> corners;
    pt base, tip;
  };
  struct leafShape {
    pt stalk;
    double angle, length, width;
  };
  std::vector<thornShape> thorns;
  std::vector<leafShape> leaves;
  int side = Hash(s.seed, 0, 3) < 0.5 ? 1 : -1;
  for (double d = s.thornEvery * 0.6; s.thornEvery > 0 && d < total - s.thornEvery * 0.3; d += s.thornEvery) {
    pt p, t;
    double r;
    place(d + (Hash(static_cast<int>(d), 1, s.seed) - 0.5) * s.thornEvery * 0.3, p, t, r);
    const pt n{-t.y * side, t.x * side};
    const double len = s.thornLength * (r / s.radius * 0.5 + 0.5) * (0.8 + 0.4 * Hash(static_cast<int>(d), 2, s.seed));
    const double half = r * 0.8 + len * 0.25;
    // Thorns lean back toward the root, as bramble thorns do.
    const pt tip = Add(Add(p, Scale(n, r + len)), Scale(t, -len * 0.45));
    thorns.push_back({{Add(Add(p, Scale(t, half)), Scale(n, r * 0.3)), Add(Add(p, Scale(t, -half)), Scale(n, r * 0.3)), tip},
                      Add(p, Scale(n, r)), tip});
    side = -side;
  }
  for (double d = s.leafEvery * 0.8; s.leafEvery > 0 && d < total - s.leafEvery * 0.2; d += s.leafEvery) {
    pt p, t;
    double r;
    place(d, p, t, r);
    const int leafSide = Hash(static_cast<int>(d), 4, s.seed) < 0.5 ? 1 : -1;
    const pt n{-t.y * leafSide, t.x * leafSide};
    const double turn = 0.7 + 0.4 * Hash(static_cast<int>(d), 5, s.seed);
    const pt dir{t.x * std::cos(turn) + n.x * std::sin(turn), t.y * std::cos(turn) + n.y * std::sin(turn)};
    const double len = s.leafLength * (0.75 + 0.5 * Hash(static_cast<int>(d), 6, s.seed)) * (0.6 + 0.4 * r / s.radius);
    leaves.push_back({Add(p, Scale(n, r * 0.3)), std::atan2(dir.y, dir.x), len, len * 0.48});
  }

  auto drawLeaf = [&](const leafShape& l, double grow, bool rim) {
    const double m = l.length + grow + 2;
    const double ca = std::cos(l.angle), sa = std::sin(l.angle);
    c.Shape(l.stalk.x - m, l.stalk.y - m, l.stalk.x + m, l.stalk.y + m,
            [&](pt p) { return SdLeaf(p, l.stalk, l.angle, l.length, l.width) - grow; },
            [&](pt p) {
              if (rim) return s.rim;
              const pt q = Sub(p, l.stalk);
              const double u = q.x * ca + q.y * sa, v = -q.x * sa + q.y * ca;
              rgba col = v > 0 ? s.leafLight : Mix(s.leafDark, s.leafLight, 0.25);
              col = Mix(col, s.leafDark, u / l.length * 0.5);
              if (std::abs(v) < 0.7 && u > 1 && u < l.length * 0.85) col = Mix(col, s.leafDark, 0.7);  // the vein
              return col;
            });
  };
  auto drawThorn = [&](const thornShape& t, double grow, bool rim) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const pt& p : t.corners) x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    const double m = grow + 2;
    const double span = std::max(1e-6, std::hypot(t.tip.x - t.base.x, t.tip.y - t.base.y));
    c.Shape(x0 - m, y0 - m, x1 + m, y1 + m, [&](pt p) { return SdPolygon(p, t.corners) - grow; },
            [&](pt p) {
              if (rim) return s.rim;
              return Mix(s.thorn, s.thornTip, std::hypot(p.x - t.base.x, p.y - t.base.y) / span);
            });
  };
  if (s.outline > 0) {
    for (const leafShape& l : leaves) drawLeaf(l, s.outline, true);
    for (const thornShape& t : thorns) drawThorn(t, s.outline, true);
    c.Stroke(path, radius, s.rim, s.rim, s.outline);
  }
  for (const leafShape& l : leaves) drawLeaf(l, 0, false);
  c.Stroke(path, radius, s.stemDark, s.stemLight);
  for (const thornShape& t : thorns) drawThorn(t, 0, false);
}

}  // namespace art

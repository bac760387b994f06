// artgen's drawing kit: colours, seeded noise, signed-distance shapes, a canvas that composes
// them with smooth edges, and the thorny vine that runs through the game's pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

constexpr double kPi = 3.14159265358979323846;

// A colour with channels in 0..255 and alpha in 0..1 (straight, not premultiplied).
struct rgba {
  double r = 0, g = 0, b = 0, a = 0;
};
struct pt {
  double x = 0, y = 0;
};

rgba Hex(uint32_t rgb, double a = 1);
rgba Mix(rgba x, rgba y, double t);
rgba Shade(rgba c, double f);
rgba Fade(rgba c, double alpha);  // the same colour with its alpha multiplied
double Smooth(double edge0, double edge1, double x);

// 0..1 from a lattice point; the same point and seed always give the same value.
double Hash(int x, int y, int seed);
// Smooth value noise in 0..1; period wraps x (in lattice steps) so pictures join across their width.
double Noise(double x, double y, int seed, int periodX = 1 << 20);
// Octaves of Noise, each twice as fine and half as strong, scaled back to 0..1.
double Fbm(double x, double y, int seed, int octaves, int periodX = 1 << 20);

// Signed distances: negative inside, in pixels.
double SdCircle(pt p, pt centre, double radius);
double SdSegment(pt p, pt a, pt b);  // distance to the segment (never negative)
double SdRoundBox(pt p, double x0, double y0, double x1, double y1, double radius);
double SdPolygon(pt p, const std::vector<pt>& corners);
// A pointed leaf (two circle arcs) from its stalk point along the angle (radians, 0 = +x).
double SdLeaf(pt p, pt stalk, double angle, double length, double width);

// Renders a picture from a per-point colour function, 4 x 4 samples a pixel, and saves it.
void Write(const std::string& path, int w, int h, const std::function<rgba(double, double)>& at);

// A picture being composed: premultiplied colour, each drawing step laid over what is there.
class canvas {
 public:
  canvas(int w, int h);
  int width() const { return w_; }
  int height() const { return h_; }

  // Lays a colour function over every pixel, samples x samples points a pixel.
  void Paint(const std::function<rgba(double, double)>& at, int samples = 1);
  // Lays a colour over one pixel with the coverage (0..1); pixels outside are ignored.
  void Blend(int x, int y, rgba c, double coverage);
  // A shape given by its signed distance, tested within the box; the edge is `soft` pixels wide.
  void Shape(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance,
             const std::function<rgba(pt)>& colour, double soft = 1);
  void Shape(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance, rgba colour,
             double soft = 1);
  // The shape in `colour` over an outline `line` pixels wide in `ink`: the drawn parts' look.
  void Inked(double x0, double y0, double x1, double y1, const std::function<double(pt)>& distance, double line,
             rgba ink, const std::function<rgba(pt)>& colour);
  // A round glow whose alpha falls off like a bell curve, gone at the radius.
  void Glow(pt centre, double radius, rgba colour);
  // A tube along the path (radius per point): its centre line lit, its edges dark; `grow`
  // widens every radius (for an outline pass drawn in one colour: dark == light).
  void Stroke(const std::vector<pt>& path, const std::vector<double>& radius, rgba dark, rgba light,
              double grow = 0);
  // Lays another canvas over this one at the offset, with an opacity.
  void Over(const canvas& top, int dx = 0, int dy = 0, double opacity = 1);
  // The canvas's alpha, blurred by about `radius` pixels, in one colour: for shadows and halos.
  canvas Halo(double radius, rgba colour) const;
  // Clears alpha outside the signed distance (keeps coverage inside): trims to a rounded frame.
  void Clip(const std::function<double(pt)>& distance);
  // Straight colour of a pixel.
  rgba At(int x, int y) const;
  void Save(const std::string& path) const;

 private:
  int w_, h_;
  std::vector<rgba> px_;  // premultiplied: r, g, b already times a
};

// A rounded plate: its face from the colour function and a bevelled gold rim `rim` pixels wide
// around it (rim 0 for none), with a thin dark line outside the gold so it reads on light ground.
void DrawPlate(canvas& c, double x0, double y0, double x1, double y1, double radius, double rim,
               const std::function<rgba(pt)>& face, rgba rimLight = Hex(0xFFE58A), rgba rimDark = Hex(0x8A5A12));
// The panels' look: blue-black glass of the canvas's size framed in bevelled gold, a thin gold line
// inside the frame; the seed varies its clouding.
void DrawPanel(canvas& c, int seed);
// A thorn vine bent round the panel's top-left corner (`inset` from the edges, bending with
// radius `size`), mirrored into the other corners; vines seeded from `seed` on.
void CornerVines(canvas& c, double inset, double size, int seed);
// A brass cylinder's colour across its width (across -1..1): lit to one side, dark at the edges.
rgba Brass(double across, rgba base = Hex(0xC99A3A));

// A thorny vine: a tapering stem with thorns on both sides and pointed leaves.
struct vineStyle {
  double radius = 3;         // stem half-width at its root
  double taper = 0.4;        // share of the radius left at the tip
  double thornEvery = 14;    // pixels along the stem between thorns (sides alternate)
  double thornLength = 6;
  double leafEvery = 30;     // pixels between leaves, 0 for none
  double leafLength = 14;
  double outline = 0;        // dark rim around everything, 0 for none
  int seed = 1;
  rgba stemDark = Hex(0x1C4A1E), stemLight = Hex(0x4FA048);
  rgba leafDark = Hex(0x24652A), leafLight = Hex(0x6CC24A);
  rgba thorn = Hex(0x5A2E18), thornTip = Hex(0xC89A6A);
  rgba rim = Hex(0x07100A);
};
// A vine style of the default colours with the given measures.
vineStyle VineOf(double radius, double taper, double thornEvery, double thornLength, double leafEvery,
                 double leafLength, double outline);
void DrawVine(canvas& c, const std::vector<pt>& path, const vineStyle& style);
// Points along a curve given as a function of t in 0..1, about one a pixel.
std::vector<pt> Curve(const std::function<pt(double)>& at, int points);

}  // namespace art

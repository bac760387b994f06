// The adventure pictures: the speech bubble set the dialog options are built from, the plate
// the guide speaks on, the guide himself (a gardener waving, with the exposure sheet of his
// frames), and the save list's panel and slot frames.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "pictures.h"

namespace art {

namespace {

const rgba kCream = Hex(0xFFF6DC);
const rgba kInk = Hex(0x2A1A0C);

// ---------------------------------------------------------------------------------------------
// The speech bubble

// The game cuts a bubble into cells of (piece width div 2 - 1) pixels and stretches each piece
// over one cell, so a 28-pixel piece fills a 13-pixel cell. 13 gives a one-line option three
// rows (39 pixels), with room above and below its letters.
constexpr int kPiece = 28;
constexpr double kOutline = 4.5;  // about two pixels on screen
constexpr double kEdge = 1.5;     // clear of the piece's border texels

// Cream inside, a soft deeper rim just inside the outline, the dark line at the edge. `d` is the
// signed distance of the whole bubble's outline.
rgba BubbleColour(double d) {
  if (d > -kOutline) return kInk;
  return Mix(Hex(0xEBD9B0), kCream, Smooth(-kOutline, -kOutline - 6, d));
}

void PaintBubble(canvas& c, const std::function<double(pt)>& outline) {
  c.Shape(0, 0, c.width(), c.height(), outline, [&](pt p) { return BubbleColour(outline(p)); });
}

// The nine pieces are the cells of one bubble three pieces square: its straight edges run through
// the middle cells, so those repeat cleanly along and down the bubble.
void BubblePieces(const std::string& name) {
  constexpr double side = 3 * kPiece, radius = kPiece - 3;
  auto whole = [](pt p) { return SdRoundBox(p, kEdge, kEdge, side - kEdge, side - kEdge, radius); };
  const char* names[3][3] = {{"Top Left", "Top", "Top Right"}, {"Left", "Center", "Right"},
                             {"Bottom Left", "Bottom", "Bottom Right"}};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      canvas c(kPiece, kPiece);
      const double dx = col * kPiece, dy = row * kPiece;
      PaintBubble(c, [&](pt p) { return whole({p.x + dx, p.y + dy}); });
      c.Save(name + " " + names[row][col] + ".tga");
    }
  }
}

// A tail piece covers one cell of the bubble's edge row and one cell beyond it: the edge half
// repeats the edge piece (so it joins its neighbours) with the tail opening out of it, the other
// half holds the point. `left` points it left, `top` puts it on the bubble's upper edge.
void BubbleTail(const std::string& path, bool left, bool top) {
  constexpr int w = kPiece, h = 2 * kPiece;
  auto flip = [&](pt p) {
    if (!left) p.x = w - p.x;
    if (top) p.y = h - p.y;
    return p;
  };
  // Drawn pointing down-left: the bubble's lower edge at the middle, the point at the bottom.
  const double edge = kPiece - kEdge;
  const std::vector<pt> tail = {{5, edge - 8},      {25, edge - 8},      {24, edge},     {19, edge + 9},
                                {11, edge + 17.5}, {2.5, h - 2.5},      {5.5, edge + 14}, {6, edge + 4}};
  auto outline = [&](pt p) {
    const pt q = flip(p);
    const double body = q.y - edge;  // everything above the edge line is bubble
    return std::min(body, SdPolygon(q, tail));
  };
  canvas c(w, h);
  PaintBubble(c, outline);
  c.Save(path);
}

// The guide's words: a wide bubble with its tail down to the left, toward his head.
void SpeechPlate(const std::string& path) {
  constexpr int w = 640, h = 214;
  const std::vector<pt> tail = {{70, 160}, {130, 160}, {66, 210}};
  auto outline = [&](pt p) {
    return std::min(SdRoundBox(p, 3, 3, w - 3, 178, 30), SdPolygon(p, tail) - 2);
  };
  canvas shadow(w, h);
  shadow.Shape(0, 0, w, h, outline, Hex(0x000000));
  canvas c(w, h);
  c.Over(shadow.Halo(3, Hex(0x000000, 0.35)), 3, 4);
  c.Shape(0, 0, w, h, outline, [&](pt p) {
    const double d = outline(p);
    if (d > -3.5) return kInk;
    return Mix(Hex(0xEBD9B0), Mix(Hex(0xFFFBEA), kCream, p.y / h), Smooth(-3.5, -12, d));
  });
  c.Save(path);
}

// ---------------------------------------------------------------------------------------------
// The guide: Bram the gardener, straw hat, green dungarees, a watering can in his right hand,
// waving with his left.

constexpr int kGuideW = 240, kGuideH = 330;
constexpr double kGuideX = 112;                    // the middle of his feet
constexpr double kGuideFoot = 322;                 // where he stands
const pt kGuideHead{kGuideX, 100};                 // the middle of his face

// One part of the figure: its dark outline first, then its fill, so every part is edged where it
// overlaps the parts behind it.
void Part(canvas& c, const std::function<double(pt)>& d, const std::function<rgba(pt)>& fill, double line = 2.4) {
  c.Inked(0, 0, kGuideW, kGuideH, d, line, kInk, fill);
}
void Part(canvas& c, const std::function<double(pt)>& d, rgba fill, double line = 2.4) {
  Part(c, d, [fill](pt) { return fill; }, line);
}

// An arm from the shoulder through the elbow to the hand: sleeve, then the hand on it.
void Arm(canvas& c, pt shoulder, pt elbow, pt hand, bool open) {
  auto sleeve = [&](pt p) { return std::min(SdSegment(p, shoulder, elbow), SdSegment(p, elbow, hand)) - 9.5; };
  Part(c, sleeve, [&](pt p) { return Shade(Hex(0xE8D7B0), 0.92 + 0.08 * std::sin(p.y / 3)); });
  // A rolled-up cuff, then the hand: an open palm with a thumb when waving, a fist otherwise.
  const double len = std::hypot(hand.x - elbow.x, hand.y - elbow.y);
  const pt along{(hand.x - elbow.x) / len, (hand.y - elbow.y) / len};
  const pt cuff{hand.x - along.x * 6, hand.y - along.y * 6};
  Part(c, [&](pt p) { return SdSegment(p, {cuff.x - along.x * 4, cuff.y - along.y * 4}, cuff) - 10.5; }, Hex(0xC9B58A), 1.8);
  const rgba skin = Hex(0xF2C095);
  if (open) {
    const pt palm{hand.x + along.x * 6, hand.y + along.y * 6};
    const pt thumb{palm.x - along.y * 11, palm.y + along.x * 11};
    Part(c, [&](pt p) {
      return std::min(std::hypot((p.x - palm.x) / 9.5, (p.y - palm.y) / 11.5) - 1, SdSegment(p, palm, thumb) / 10 - 0.38) * 9;
    }, skin, 2);
  } else {
    Part(c, [&](pt p) { return SdCircle(p, {hand.x + along.x * 5, hand.y + along.y * 5}, 9); }, skin, 2);
  }
}

void Guide(const std::string& path, double wave) {
  canvas c(kGuideW, kGuideH);
  // His shadow on the ground.
  c.Shape(0, 290, kGuideW, kGuideH, [](pt p) { return (std::hypot((p.x - kGuideX) / 70, (p.y - 318) / 9) - 1) * 9; },
          Hex(0x000000, 0.35), 6);

  // The watering can, behind his right hand (on the left of the picture).
  const rgba tin = Hex(0x4F9C9A);
  auto tinShade = [&](pt p) { return Mix(Shade(tin, 1.25), Shade(tin, 0.7), (p.x - 10) / 54); };
  Part(c, [](pt p) { return SdSegment(p, {30, 250}, {4, 212}) - 4; }, tinShade);  // the spout
  Part(c, [](pt p) { return SdCircle(p, {4, 211}, 6.5); }, Hex(0x3C7C7A));        // the rose
  Part(c, [](pt p) { return std::abs(SdCircle(p, {46, 232}, 20)) - 3.2; }, Hex(0x3C7C7A));  // the handle
  Part(c, [](pt p) { return SdRoundBox(p, 22, 238, 70, 290, 8); }, tinShade);
  c.Shape(22, 250, 70, 256, [](pt p) { return std::abs(p.y - 252) - 1.3; }, Hex(0x2E6060, 0.8));

  // Legs and boots.
  const rgba trousers = Hex(0x3E6A34);
  for (double lx : {kGuideX - 15, kGuideX + 15}) {
    Part(c, [lx](pt p) { return SdRoundBox(p, lx - 13, 228, lx + 13, 306, 6); },
         [&](pt p) { return Mix(Shade(trousers, 1.1), Shade(trousers, 0.8), (p.y - 228) / 78); });
    const double toe = lx < kGuideX ? -8 : 8;
    Part(c, [lx, toe](pt p) { return SdRoundBox(p, lx - 15 + std::min(toe, 0.0), 296, lx + 15 + std::max(toe, 0.0), 320, 8); },
         [](pt p) { return Mix(Hex(0x8A5A30), Hex(0x4A2E16), (p.y - 296) / 24); });
  }

  // The shirt, then the dungarees over it with their bib, straps and pocket.
  Part(c, [](pt p) { return SdRoundBox(p, kGuideX - 40, 132, kGuideX + 40, 240, 20); },
       [](pt p) { return Mix(Hex(0xF0E2BE), Hex(0xC9B58A), (p.y - 132) / 108); });
  const rgba denim = Hex(0x4C8A3E);
  auto denimAt = [&](pt p) {
    const double weave = 0.95 + 0.05 * std::sin((p.x + p.y) * 1.3);
    return Shade(Mix(Shade(denim, 1.15), Shade(denim, 0.85), (p.x - kGuideX + 40) / 80), weave);
  };
  Part(c, [](pt p) {
    return std::min(SdRoundBox(p, kGuideX - 36, 196, kGuideX + 36, 250, 10), SdRoundBox(p, kGuideX - 24, 162, kGuideX + 24, 210, 5));
  }, denimAt, 2);
  for (double sx : {-1.0, 1.0}) {
    Part(c, [sx](pt p) { return SdSegment(p, {kGuideX + sx * 20, 166}, {kGuideX + sx * 30, 134}) - 4; }, denimAt, 1.6);
    c.Shape(0, 150, kGuideW, 180, [sx](pt p) { return SdCircle(p, {kGuideX + sx * 18, 168}, 3.2); },
            [](pt p) { return Mix(Hex(0xFFE8A0), Hex(0xB08020), (p.y - 165) / 6); });
  }
  Part(c, [](pt p) { return SdRoundBox(p, kGuideX - 12, 176, kGuideX + 12, 196, 3); }, Shade(denim, 0.9), 1.4);
  // A trowel in the pocket.
  Part(c, [](pt p) { return SdSegment(p, {kGuideX + 5, 178}, {kGuideX + 9, 160}) - 2.4; }, Hex(0x9A6A3A), 1.2);

  // His right arm holds the can's handle; the left one waves (0 down, 1 fully up).
  Arm(c, {kGuideX - 34, 146}, {kGuideX - 50, 186}, {50, 214}, false);
  const double a = (-0.35 + 1.55 * wave) * kPi / 2;  // the upper arm's lift from hanging down
  const pt shoulder{kGuideX + 34, 146};
  const pt elbow{shoulder.x + 16 + 26 * std::sin(a) * 0.8, shoulder.y + 40 * std::cos(a)};
  const double fore = a + wave * 0.9;
  const pt hand{elbow.x + 8 + 24 * std::sin(fore) * 0.5, elbow.y + 38 * std::cos(fore)};
  Arm(c, shoulder, elbow, hand, wave > 0.3);

  // The head: neck, ears, face with rosy cheeks, eyes, nose, a smile and a bushy moustache.
  const pt h = kGuideHead;
  const rgba skin = Hex(0xF2C095);
  Part(c, [&](pt p) { return SdRoundBox(p, h.x - 12, h.y + 24, h.x + 12, h.y + 40, 4); }, Shade(skin, 0.85));
  for (double ex : {-1.0, 1.0}) {
    Part(c, [&, ex](pt p) { return SdCircle(p, {h.x + ex * 33, h.y + 2}, 8); }, Shade(skin, 0.9), 2);
  }
  Part(c, [&](pt p) { return std::hypot((p.x - h.x) / 33, (p.y - h.y) / 36) * 33 - 33; },
       [&](pt p) { return Mix(Shade(skin, 1.06), Shade(skin, 0.86), (p.x - h.x + 33) / 66 * 0.6 + (p.y - h.y + 36) / 72 * 0.4); });
  for (double ex : {-1.0, 1.0}) {
    c.Glow({h.x + ex * 19, h.y + 12}, 11, Hex(0xF07860, 0.55));
    const pt eye{h.x + ex * 12, h.y - 2};
    c.Shape(eye.x - 6, eye.y - 7, eye.x + 6, eye.y + 7, [&](pt p) { return std::hypot((p.x - eye.x) / 3.6, (p.y - eye.y) / 4.8) * 3.6 - 3.6; }, kInk);
    c.Shape(eye.x - 3, eye.y - 4, eye.x + 3, eye.y + 2, [&](pt p) { return SdCircle(p, {eye.x + 1, eye.y - 1.8}, 1.2); }, Hex(0xFFFFFF));
    // Eyebrows, raised kindly.
    c.Shape(eye.x - 10, eye.y - 16, eye.x + 10, eye.y - 6, [&](pt p) {
      return SdSegment(p, {eye.x - 6, eye.y - 9 - ex * 1.5}, {eye.x + 6, eye.y - 9 + ex * 1.5}) - 2;
    }, Hex(0x8A8A86));
  }
  // The smile: an arc under the moustache.
  c.Shape(h.x - 16, h.y + 10, h.x + 16, h.y + 34, [&](pt p) {
    const double ring = std::abs(SdCircle(p, {h.x, h.y + 12}, 12)) - 1.8;
    return std::max(ring, h.y + 21 - p.y);
  }, Hex(0x8A3A2A));
  Part(c, [&](pt p) { return std::hypot((p.x - h.x) / 20, (p.y - h.y - 14) / 6) * 6 - 6; },
       [&](pt p) { return Mix(Hex(0xE8E6E0), Hex(0xA8A6A0), (p.y - h.y - 8) / 12); }, 1.6);
  Part(c, [&](pt p) { return std::hypot((p.x - h.x) / 7.5, (p.y - h.y - 6) / 6.5) * 6.5 - 6.5; },
       [&](pt p) { return Mix(Hex(0xF8A888), Hex(0xD07A5A), (p.y - h.y) / 12); }, 1.8);

  // The straw hat: a wide brim and a crown with a red band, woven.
  auto straw = [&](pt p) {
    const double weave = 0.9 + 0.1 * std::sin(p.x * 0.9 + std::sin(p.y * 0.7) * 2) * std::sin(p.y * 1.1);
    return Shade(Mix(Hex(0xF4D27A), Hex(0xC89A3A), (p.y - 20) / 60), weave);
  };
  Part(c, [&](pt p) { return SdRoundBox(p, h.x - 30, h.y - 78, h.x + 30, h.y - 30, 14); }, straw);
  c.Shape(h.x - 32, h.y - 48, h.x + 32, h.y - 36, [&](pt p) { return SdRoundBox(p, h.x - 29.5, h.y - 46, h.x + 29.5, h.y - 37, 2); },
          Hex(0xC0392B));
  Part(c, [&](pt p) { return std::hypot((p.x - h.x) / 66, (p.y - h.y + 32) / 13) * 13 - 13; }, straw);
  // A sprig of leaves in the band.
  for (int k = 0; k < 3; ++k) {
    const pt stalk{h.x + 20, h.y - 42};
    const double angle = -1.9 + k * 0.55;
    c.Inked(stalk.x - 30, stalk.y - 30, stalk.x + 30, stalk.y + 30, [&](pt p) { return SdLeaf(p, stalk, angle, 20, 8); },
            1.4, kInk, [&](pt p) { return Mix(Hex(0x8AD860), Hex(0x2E7A30), (p.y - stalk.y + 20) / 24); });
  }
  c.Save(path);
}

// ---------------------------------------------------------------------------------------------
// The save list

void SavePanel(const std::string& path) {
  canvas c(1000, 640);
  DrawPanel(c, 46);
  CornerVines(c, 16, 56, 30);
  c.Save(path);
}

// A row of the save list: a glass strip with a gold-framed window at its left where the game
// draws the save's 192 x 120 picture (at 10, 8).
void SaveSlot(const std::string& path, int state) {
  constexpr int w = 900, h = 136;
  canvas c(w, h);
  if (state == 0) {
    c.Shape(0, 0, w, h, [](pt p) { return SdRoundBox(p, 1, 1, w - 1, h - 1, 10); }, Hex(0x2A3A60, 0.75));
    c.Shape(0, 0, w, h, [](pt p) { return SdRoundBox(p, 2.4, 2.4, w - 2.4, h - 2.4, 9); },
            [](pt p) { return Mix(Hex(0x1A2644, 0.7), Hex(0x0A1226, 0.7), p.y / h); });
  } else {
    const rgba top = state == 1 ? Hex(0x2A5A30, 0.85) : Hex(0x14301A, 0.9);
    const rgba bottom = state == 1 ? Hex(0x14301A, 0.85) : Hex(0x2A5A30, 0.9);
    DrawPlate(c, 1, 1, w - 1, h - 1, 10, 2.5, [&](pt p) { return Mix(top, bottom, p.y / h); });
  }
  // The picture's window: a dark recess with a thin gold frame round it.
  c.Shape(0, 0, 220, h, [](pt p) { return SdRoundBox(p, 6, 4, 206, 132, 3); }, Hex(0x2A1A06));
  c.Shape(0, 0, 220, h, [](pt p) { return SdRoundBox(p, 7, 5, 205, 131, 2.5); },
          [](pt p) { return Mix(Hex(0xFFE58A), Hex(0x8A5A12), (p.y - 5) / 126); });
  c.Shape(0, 0, 220, h, [](pt p) { return SdRoundBox(p, 10, 8, 202, 128, 0.5); }, Hex(0x05070E));
  c.Save(path);
}

}  // namespace

bool DrawAdventure(const std::string& images, const std::string& interface) {
  const std::string bubbles = interface + "Bubbles/Speech";
  const std::string guide = images + "Guide/";
  std::error_code error;
  std::filesystem::create_directories(interface + "Bubbles", error);
  std::filesystem::create_directories(guide, error);
  BubblePieces(bubbles);
  BubbleTail(bubbles + " Tail Point Left.tga", true, false);
  BubbleTail(bubbles + " Tail Point Right.tga", false, false);
  BubbleTail(bubbles + " Tail Point Left Top.tga", true, true);
  BubbleTail(bubbles + " Tail Point Right Top.tga", false, true);
  SpeechPlate(interface + "Speech Plate.tga");
  SavePanel(interface + "Save Panel.tga");
  SaveSlot(interface + "Save Slot.tga", 0);
  SaveSlot(interface + "Save Slot Hover.tga", 1);
  SaveSlot(interface + "Save Slot Pressed.tga", 2);

  // The guide's frames: standing, then his left hand raised and waved to and fro; the sheet
  // plays them with his feet (the sprite point) where he stands and his head marked for the
  // dialog bubbles. The last frame holds, which ends the animation. Lines end in CR LF, as the
  // game's sheet reader expects.
  const double waves[] = {0, 0.75, 1, 0.8};
  for (int k = 0; k < 4; ++k) Guide(guide + "Guide " + std::to_string(k + 1) + ".tga", waves[k]);
  const int frames[] = {1, 2, 3, 4, 3, 4, 2, 1};
  std::ofstream sheet(guide + "Guide Wave.txt", std::ios::binary);
  sheet << "1.0\r\n" << std::size(frames) << "\r\n";
  for (size_t k = 0; k < std::size(frames); ++k) {
    const bool last = k + 1 == std::size(frames);
    sheet << "Guide " << frames[k] << ".tga\r\n3\r\n";
    sheet << "sprite=" << static_cast<int>(kGuideX) << "," << static_cast<int>(kGuideFoot) << "\r\n";
    sheet << "head=" << static_cast<int>(kGuideHead.x) << "," << static_cast<int>(kGuideHead.y) << "\r\n";
    sheet << "repeat=" << (last ? -1 : k == 0 ? 2 : 1) << "\r\n";
  }
  sheet.close();
  if (!sheet) {
    std::fprintf(stderr, "artgen: cannot write %sGuide Wave.txt\n", guide.c_str());
    return false;
  }
  return true;
}

}  // namespace art

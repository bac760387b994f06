// Time of one 1280 x 720 frame on SDL's offscreen driver that draws 200 image models (squares of
// 64 to 512 pixels; the sides that are not powers of two are cut into several tiles) and 2,000
// glyphs of a font (40 lines of 50 characters), in four ways:
//   Compiled      ModelRender on the compiled image models, FontDrawText on the compiled glyphs;
//   VertexArrays  the same models and glyphs uncompiled, drawn with vertex arrays every frame;
//   Immediate     the same uncompiled, drawn in immediate mode every frame;
//   RawOpenGL     the same textured quads as plain OpenGL: copies of the engine's tile textures
//                 (same pixels, size, internal format, filter and wrap modes) drawn from one
//                 display list compiled once.
// Every iteration clears, draws and waits for glFinish, so the times are wall time per frame;
// each variant draws one untimed frame first, which takes the first use of its textures and
// display lists out of the timing. Each variant runs for at least 3 s: a frame takes about a
// tenth of a second on a software rasteriser, and a handful of frames varies too much.
// The font is made at setup with the fotmake tool; without it the frames hold the models only.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "graphics/font.h"
#include "graphics/font_file.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"
#include "image/image.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kModels = 200;
constexpr int32_t kSides[] = {64, 128, 200, 256, 333, 512};
constexpr int32_t kScreenWidth = 1280;
constexpr int32_t kScreenHeight = 720;
constexpr int32_t kLines = 40;
constexpr int32_t kLineLength = 50;
constexpr int32_t kLineSpacing = 17;
constexpr int32_t kTextLeft = 10;
constexpr int32_t kTextTop = 10;
// Depth of an image model's vertices (its position is at depth 0) and of a drawn glyph (the
// font unit puts both its glyph vertices and the glyph's position at -5).
constexpr float kImageDepth = -5.0f;
constexpr float kGlyphDepth = -10.0f;

// One textured quad of the baseline: corners top left, bottom left, bottom right, top right.
struct rawQuad {
  GLuint texture = 0;
  float left = 0, top = 0, right = 0, bottom = 0, depth = 0;
  float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
};

struct scene {
  bool ready = false;
  int32_t display = 0;
  // Compiled image models and their uncompiled copies (sharing the textures).
  std::vector<int32_t> models;
  std::vector<int32_t> copies;
  // The same font file opened twice: once compiled, once (from a copy of the file) uncompiled.
  int32_t font = 0;
  int32_t fontUncompiled = 0;
  std::vector<std::string> lines;
  int32_t glyphs = 0;
  std::string fontNote;
  GLuint rawList = 0;
  std::vector<GLuint> rawTextures;
  std::vector<rawQuad> imageQuads;
  std::vector<rawQuad> glyphQuads;
};

int32_t Side(int32_t i) { return kSides[static_cast<size_t>(i) % std::size(kSides)]; }
float ModelX(int32_t i) { return static_cast<float>((i * 37) % (kScreenWidth - Side(i) + 1)); }
float ModelY(int32_t i) { return static_cast<float>((i * 53) % (kScreenHeight - Side(i) + 1)); }

imageData* Picture(int32_t seed, int32_t side) {
  imageData* image = nullptr;
  ImageNew(image);
  image->fileName = "bench" + std::to_string(seed);
  image->width = side;
  image->height = side;
  image->pixels.resize(static_cast<size_t>(side) * side);
  for (size_t i = 0; i < image->pixels.size(); ++i) {
    const uint32_t noise = static_cast<uint32_t>(i) * 2654435761u + static_cast<uint32_t>(seed);
    image->pixels[i] = 0xFF000000u | (noise & 0xFFFFFFu);
  }
  return image;
}

// A plain OpenGL texture with the engine texture's pixels, size, internal format, filter and wrap
// modes, read back from the engine's own texture object.
GLuint CopyTexture(GLuint source) {
  GLint width = 0, height = 0, internal = 0, minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
  glBindTexture(GL_TEXTURE_2D, source);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  return name;
}

int32_t CopyUncompiled(int32_t display, int32_t model) {
  const int32_t copy = ModelNew(display, kModelImmediate);
  for (int32_t i = 0; i < ModelGetVertexCount(model); ++i) ModelSetVertex(copy, i, ModelGetVertex(model, i));
  for (int32_t i = 0; i < ModelGetTexCoordCount(model); ++i) ModelSetTexCoord(copy, i, ModelGetTexCoord(model, i));
  for (int32_t i = 0; i < ModelGetPolygonCount(model); ++i) ModelSetPolygon(copy, i, ModelGetPolygon(model, i));
  float x, y, z;
  ModelGetPosition(model, x, y, z);
  ModelSetPosition(copy, x, y, z);
  return copy;
}

// Makes the font file with fotmake and opens it twice; leaves s.font at 0 with a note otherwise.
void OpenFonts(scene& s) {
#ifdef THORNFALL_FOTMAKE
  const std::string tool = THORNFALL_FOTMAKE;
#else
  const std::string tool;
#endif
  const std::string ttf = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (tool.empty() || !std::filesystem::exists(tool) || !std::filesystem::exists(ttf)) {
    s.fontNote = "no fotmake or no DejaVuSans.ttf: glyphs skipped";
    return;
  }
  char folder[] = "/tmp/model_bench_XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    s.fontNote = "no temporary folder: glyphs skipped";
    return;
  }
  // The files are read once here; nothing in the run re-creates the context that would read
  // them again, so the folder goes when this function returns.
  struct removeFolder {
    std::string path;
    ~removeFolder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } cleanup{folder};
  const std::string file = std::string(folder) + "/bench.fot";
  const std::string copy = std::string(folder) + "/bench_uncompiled.fot";
  const std::string command = "'" + tool + "' --height 20 '" + ttf + "' '" + file + "' > /dev/null";
  std::error_code error;
  if (std::system(command.c_str()) != 0 || !std::filesystem::copy_file(file, copy, error)) {
    s.fontNote = "fotmake failed: glyphs skipped";
    return;
  }
  s.font = FontOpen(s.display, file);
  // With compiling switched off (as "-nocompile" does) the glyph models stay uncompiled and are
  // drawn from their geometry every time (vertex arrays or immediate mode, as the model unit is
  // switched).
  ModelAllowCompile(false);
  s.fontUncompiled = FontOpen(s.display, copy);
  ModelAllowCompile(true);
  if (s.font == 0 || s.fontUncompiled == 0) {
    s.font = s.fontUncompiled = 0;
    s.fontNote = "FontOpen failed: glyphs skipped";
    return;
  }
  FontSetColor(s.font, 0xFFFFFFFFu);
  FontSetColor(s.fontUncompiled, 0xFFFFFFFFu);
  for (int32_t l = 0; l < kLines; ++l) {
    std::string line;
    for (int32_t c = 0; c < kLineLength; ++c) line += static_cast<char>('!' + (l * kLineLength + c) % 94);
    s.lines.push_back(line);
  }

  // The baseline's glyph quads, laid out as the font unit lays out a line: each character's cell
  // of width w and the line height, the pen moving w - 1 to the right.
  fontFile source;
  if (!FontFileRead(file, source)) {
    s.font = s.fontUncompiled = 0;
    s.fontNote = "FontFileRead failed: glyphs skipped";
    return;
  }
  const std::vector<textureTile> tiles = TextureGetTiles(TextureFind(s.display, file));
  std::vector<GLuint> names;
  for (const textureTile& tile : tiles) {
    names.push_back(CopyTexture(tile.name));
    s.rawTextures.push_back(names.back());
  }
  const float side = static_cast<float>(kFontPictureSide);
  const float height = static_cast<float>(source.height);
  for (int32_t l = 0; l < kLines; ++l) {
    const float y = static_cast<float>(kTextTop + l * kLineSpacing);
    int32_t pen = 0;
    for (unsigned char ch : s.lines[static_cast<size_t>(l)]) {
      if (ch < source.firstChar || ch > source.lastChar || ch - source.firstChar >= source.glyphCount) continue;
      const size_t slot = ch - source.firstChar;
      const int32_t w = source.widths[slot];
      const fontGlyphPlace& place = source.places[slot];
      rawQuad quad;
      quad.texture = names[static_cast<size_t>(place.picture)];
      quad.left = static_cast<float>(kTextLeft + pen);
      quad.top = y;
      quad.right = quad.left + static_cast<float>(w - 1);
      quad.bottom = y + height - 1;
      quad.depth = kGlyphDepth;
      quad.u0 = static_cast<float>(place.x) / side;
      quad.u1 = static_cast<float>(place.x + w - 1) / side;
      quad.v0 = static_cast<float>(place.y) / side;
      quad.v1 = (static_cast<float>(place.y) + height - 1) / side;
      s.glyphQuads.push_back(quad);
      pen += w > 0 ? w - 1 : 0;
      ++s.glyphs;
    }
  }
}

// Quads in order; the texture is bound (and a new glBegin started) only when it changes.
void EmitQuads(const std::vector<rawQuad>& quads) {
  GLuint bound = 0;
  bool open = false;
  for (const rawQuad& q : quads) {
    if (!open || q.texture != bound) {
      if (open) glEnd();
      glBindTexture(GL_TEXTURE_2D, q.texture);
      glBegin(GL_QUADS);
      bound = q.texture;
      open = true;
    }
    glTexCoord2f(q.u0, q.v0);
    glVertex3f(q.left, q.top, q.depth);
    glTexCoord2f(q.u0, q.v1);
    glVertex3f(q.left, q.bottom, q.depth);
    glTexCoord2f(q.u1, q.v1);
    glVertex3f(q.right, q.bottom, q.depth);
    glTexCoord2f(q.u1, q.v0);
    glVertex3f(q.right, q.top, q.depth);
  }
  if (open) glEnd();
}

scene& Scene() {
  static scene s = [] {
    scene made;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    UtilSetCommandLine(std::vector<std::string>{});
    if (!PlatformStart()) return made;
    FontStart();
    ModelStart();
    GraphicsStart();
    platformWindowSetup setup;
    setup.width = kScreenWidth;
    setup.height = kScreenHeight;
    setup.opengl = true;
    const int32_t window = PlatformWindowCreate(setup);
    made.display = GraphicsDisplayNew(window, "bench", 0);
    if (!GraphicsDisplayCreateRC(made.display)) return made;
    GraphicsSetViewport(0, 0, kScreenWidth, kScreenHeight);
    GraphicsSetOrtho(kScreenWidth, kScreenHeight);
    for (int32_t i = 0; i < kModels; ++i) {
      imageData* image = Picture(i, Side(i));
      const int32_t model = ModelOpenImageData(made.display, image, nullptr, false);
      ImageFree(image);
      if (model == 0) return made;
      ModelSetPosition(model, ModelX(i), ModelY(i), 0);
      made.models.push_back(model);
      made.copies.push_back(CopyUncompiled(made.display, model));
    }

    // The baseline's textures and quads: every tile of every picture as one quad drawn with a
    // copy of the engine's tile texture. Made before the display list is opened, as texture
    // uploads and the font's own compiling must not end up inside it.
    for (int32_t i = 0; i < kModels; ++i) {
      const int32_t texture = ModelGetPolygon(made.models[static_cast<size_t>(i)], 0).textures.front().texture;
      const float px = ModelX(i), py = ModelY(i);
      for (const textureTile& tile : TextureGetTiles(texture)) {
        // Tiles carry a one-texel border: the picture's pixels start at texel (1, 1).
        rawQuad quad;
        quad.texture = CopyTexture(tile.name);
        made.rawTextures.push_back(quad.texture);
        const float tw = static_cast<float>(tile.textureWidth), th = static_cast<float>(tile.textureHeight);
        quad.u0 = 1.0f / tw;
        quad.u1 = static_cast<float>(tile.x1 - tile.x0 + 2) / tw;
        quad.v0 = 1.0f / th;
        quad.v1 = static_cast<float>(tile.y1 - tile.y0 + 2) / th;
        quad.left = px + static_cast<float>(tile.x0);
        quad.right = px + static_cast<float>(tile.x1 + 1);
        quad.top = py + static_cast<float>(tile.y0);
        quad.bottom = py + static_cast<float>(tile.y1 + 1);
        quad.depth = kImageDepth;
        made.imageQuads.push_back(quad);
      }
    }
    OpenFonts(made);
    made.rawList = glGenLists(1);
    glNewList(made.rawList, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    EmitQuads(made.imageQuads);
    if (made.font != 0) {
      const uint32_t colour = FontGetColor(made.font);
      glColor4ub(static_cast<GLubyte>(colour >> 16), static_cast<GLubyte>(colour >> 8),
                 static_cast<GLubyte>(colour), static_cast<GLubyte>(colour >> 24));
      EmitQuads(made.glyphQuads);
    }
    glEndList();
    if (!made.fontNote.empty()) std::fprintf(stderr, "model_bench: %s\n", made.fontNote.c_str());
    made.ready = glGetError() == GL_NO_ERROR;
    if (!made.ready) std::fprintf(stderr, "model_bench: OpenGL error during setup\n");
    return made;
  }();
  return s;
}

void DrawText(const scene& s, int32_t font) {
  if (font == 0) return;
  for (int32_t l = 0; l < kLines; ++l) {
    FontDrawText(font, kTextLeft, kTextTop + l * kLineSpacing, 0, s.lines[static_cast<size_t>(l)]);
  }
}

void Report(benchmark::State& state, const scene& s, const char* label) {
  state.counters["models"] = static_cast<double>(s.models.size());
  state.counters["glyphs"] = static_cast<double>(s.glyphs);
  state.SetLabel(label);
}

void BM_FrameCompiled(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  auto frame = [&s] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int32_t model : s.models) ModelRender(model);
    DrawText(s, s.font);
    glFinish();
  };
  frame();
  for (auto _ : state) frame();
  Report(state, s, "display lists");
}
BENCHMARK(BM_FrameCompiled)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// Uncompiled models and glyphs: vertex arrays with a non-zero argument, immediate mode with 0.
void BM_FrameUncompiled(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  const bool arrays = state.range(0) != 0;
  ModelAllowVertexArrays(arrays);
  auto frame = [&s] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int32_t model : s.copies) ModelRender(model);
    DrawText(s, s.fontUncompiled);
    glFinish();
  };
  frame();
  for (auto _ : state) frame();
  ModelAllowVertexArrays(true);
  Report(state, s,
         !arrays ? "immediate mode"
                 : (GraphicsVertexArraysAvailable() ? "vertex arrays" : "vertex arrays unavailable: immediate mode"));
}
BENCHMARK(BM_FrameUncompiled)
    ->ArgName("vertexArrays")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

void BM_FrameRawOpenGL(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  auto frame = [&s] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glCallList(s.rawList);
    glFinish();
  };
  frame();
  for (auto _ : state) frame();
  Report(state, s, "one display list");
}
BENCHMARK(BM_FrameRawOpenGL)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();

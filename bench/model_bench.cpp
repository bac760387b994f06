// Drawing speed of 200 image models (100 x 80 pictures, two tiles each) through ModelRender,
// compiled into display lists and drawn immediately, beside the same pictures drawn with raw
// OpenGL: one texture and one quad per picture. Runs on SDL's offscreen driver.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"
#include "image/image.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kModels = 200;
constexpr int32_t kPictureWidth = 100;
constexpr int32_t kPictureHeight = 80;
constexpr int32_t kScreenWidth = 1280;
constexpr int32_t kScreenHeight = 720;

template <typename Description>
int32_t OpenGLWindow(int32_t (*create)(const Description&)) {
  Description description;
  description.width = kScreenWidth;
  description.height = kScreenHeight;
  description.opengl = true;
  return create(description);
}

struct scene {
  bool ready = false;
  int32_t display = 0;
  std::vector<int32_t> models;
  std::vector<GLuint> rawTextures;
};

imageData* Picture(int32_t seed) {
  imageData* image = nullptr;
  ImageNew(image);
  image->fileName = "bench" + std::to_string(seed);
  image->width = kPictureWidth;
  image->height = kPictureHeight;
  image->pixels.resize(static_cast<size_t>(kPictureWidth) * kPictureHeight);
  for (size_t i = 0; i < image->pixels.size(); ++i) {
    image->pixels[i] = 0xFF000000u | ((static_cast<uint32_t>(i) * 2654435761u + static_cast<uint32_t>(seed)) & 0xFFFFFFu);
  }
  return image;
}

scene& Scene() {
  static scene s = [] {
    scene made;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    UtilSetCommandLine(std::vector<std::string>{});
    if (!PlatformStart()) return made;
    ModelStart();
    GraphicsStart();
    const int32_t window = OpenGLWindow(&PlatformWindowCreate);
    made.display = GraphicsDisplayNew(window, "bench", 0);
    if (!GraphicsDisplayCreateRC(made.display)) return made;
    GraphicsSetViewport(0, 0, kScreenWidth, kScreenHeight);
    GraphicsSetOrtho(kScreenWidth, kScreenHeight);
    for (int32_t i = 0; i < kModels; ++i) {
      imageData* image = Picture(i);
      const int32_t model = ModelOpenImageData(made.display, image, nullptr, false);
      ModelSetPosition(model, static_cast<float>((i * 37) % (kScreenWidth - kPictureWidth)),
                       static_cast<float>((i * 53) % (kScreenHeight - kPictureHeight)), 0);
      made.models.push_back(model);
      // The baseline: the picture in the top left of one 128 x 128 texture, clamped like the
      // models' tiles (on Mesa's llvmpipe clamping to the border costs about three times as
      // much as repeating, so the wrap mode must match for a fair comparison).
      std::vector<uint32_t> texels(128 * 128, 0);
      for (int32_t y = 0; y < kPictureHeight; ++y) {
        for (int32_t x = 0; x < kPictureWidth; ++x) {
          const uint32_t p = image->pixels[static_cast<size_t>(y) * kPictureWidth + x];
          texels[static_cast<size_t>(y) * 128 + x] = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
      }
      GLuint name = 0;
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 128, 128, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
      made.rawTextures.push_back(name);
      ImageFree(image);
    }
    made.ready = true;
    return made;
  }();
  return s;
}

void Finish(benchmark::State& state) {
  glFinish();
  state.SetItemsProcessed(state.iterations() * kModels);
}

void BM_ModelRenderCompiled(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    for (int32_t model : s.models) ModelRender(model);
    glFinish();
  }
  Finish(state);
}
BENCHMARK(BM_ModelRenderCompiled)->Unit(benchmark::kMillisecond);

// The geometry drawn every frame (vertex arrays, or immediate mode when the argument is 0).
void BM_ModelRenderUncompiled(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  std::vector<int32_t> copies;
  for (int32_t model : s.models) {
    const int32_t copy = ModelNew(s.display, kModelImmediate);
    for (int32_t i = 0; i < ModelGetVertexCount(model); ++i) ModelSetVertex(copy, i, ModelGetVertex(model, i));
    for (int32_t i = 0; i < ModelGetTexCoordCount(model); ++i) ModelSetTexCoord(copy, i, ModelGetTexCoord(model, i));
    for (int32_t i = 0; i < ModelGetPolygonCount(model); ++i) ModelSetPolygon(copy, i, ModelGetPolygon(model, i));
    float x, y, z;
    ModelGetPosition(model, x, y, z);
    ModelSetPosition(copy, x, y, z);
    copies.push_back(copy);
  }
  ModelAllowVertexArrays(state.range(0) != 0);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    for (int32_t model : copies) ModelRender(model);
    glFinish();
  }
  ModelAllowVertexArrays(true);
  for (int32_t& copy : copies) ModelFree(copy);
  Finish(state);
}
BENCHMARK(BM_ModelRenderUncompiled)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_RawOpenGL(benchmark::State& state) {
  scene& s = Scene();
  if (!s.ready) return state.SkipWithError("no OpenGL display");
  glEnable(GL_TEXTURE_2D);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    for (int32_t i = 0; i < kModels; ++i) {
      const float x = static_cast<float>((i * 37) % (kScreenWidth - kPictureWidth));
      const float y = static_cast<float>((i * 53) % (kScreenHeight - kPictureHeight));
      const float u = kPictureWidth / 128.0f, v = kPictureHeight / 128.0f;
      glBindTexture(GL_TEXTURE_2D, s.rawTextures[static_cast<size_t>(i)]);
      glBegin(GL_QUADS);
      glTexCoord2f(0, 0);
      glVertex3f(x, y, -5);
      glTexCoord2f(0, v);
      glVertex3f(x, y + kPictureHeight, -5);
      glTexCoord2f(u, v);
      glVertex3f(x + kPictureWidth, y + kPictureHeight, -5);
      glTexCoord2f(u, 0);
      glVertex3f(x + kPictureWidth, y, -5);
      glEnd();
    }
    glFinish();
  }
  Finish(state);
}
BENCHMARK(BM_RawOpenGL)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

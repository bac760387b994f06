// Textures, image models, drawing, display lists, rebuild after a context re-creation and the
// MilkShape 3D reader, on real OpenGL through SDL's offscreen video driver.
#include "graphics/model.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "graphics/model_internal.h"
#include "graphics/texture_tiles.h"
#include "image/image.h"
#include "platform/platform.h"
#include "graphics/offscreen_video.h"
#include "support/test_support.h"

namespace {

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

bool Logged(const std::string& line) {
  const std::string text = tftest::ReadFile(LogGetFilePath());
  return text.find("Error: " + line + "\r\n") != std::string::npos;
}

// The log's last line.
std::string LastLine() {
  const std::string text = tftest::ReadFile(LogGetFilePath());
  if (text.size() < 2) return "";
  const size_t start = text.rfind("\r\n", text.size() - 3);
  return text.substr(start == std::string::npos ? 0 : start + 2, text.size() - 2 - (start == std::string::npos ? 0 : start + 2));
}

// A picture whose every pixel differs from its neighbours, so a shifted or repeated texel shows.
imageData* Picture(int32_t width, int32_t height, const std::string& name) {
  imageData* image = nullptr;
  ImageNew(image);
  image->fileName = name;
  image->width = width;
  image->height = height;
  image->bitsPerPixel = 32;
  image->pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
      image->pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | ((h ^ (h >> 13)) & 0xFFFFFFu);
    }
  }
  return image;
}

// ---------------------------------------------------------------------------------------------
// Tile layout (no OpenGL needed)

TEST(TextureTiles, LayoutsOfTypicalPictures) {
  int32_t columns = 0, rows = 0;
  auto small = TileGridFor(100, 50, 64, 64, columns, rows);
  ASSERT_EQ(small.size(), 2u);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(small[0].x, 0);
  EXPECT_EQ(small[1].x, 62);
  EXPECT_EQ(small[1].width, 64);

  auto square = TileGridFor(256, 256, 256, 256, columns, rows);
  ASSERT_EQ(square.size(), 4u);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(square[0].width, 256);
  EXPECT_EQ(square[1].x, 254);
  EXPECT_EQ(square[1].width, 64);
  EXPECT_EQ(square[1].height, 256);
  EXPECT_EQ(square[2].y, 254);
  EXPECT_EQ(square[2].height, 64);
  EXPECT_EQ(square[3].width, 64);
  EXPECT_EQ(square[3].height, 64);

  // Together the tiles show every picture pixel exactly once.
  auto wide = TileGridFor(1000, 700, 512, 512, columns, rows);
  std::vector<int> covered(1000 * 700, 0);
  for (const tileRect& t : wide) {
    for (int32_t y = t.y; y <= std::min(t.y + t.height - 3, 699); ++y) {
      for (int32_t x = t.x; x <= std::min(t.x + t.width - 3, 999); ++x) ++covered[y * 1000 + x];
    }
  }
  for (int count : covered) ASSERT_EQ(count, 1);
  EXPECT_EQ(LargestPowerOfTwoNotAbove(100), 64);
  EXPECT_EQ(LargestPowerOfTwoNotAbove(256), 256);
  EXPECT_EQ(LargestPowerOfTwoNotAbove(1), 1);
}

TEST(TextureTiles, BorderRepeatsEdgePixels) {
  // 3 x 2 picture in a 8 x 8 tile: texels 1..3 x 1..2, frame around it, zeros beyond.
  const uint32_t pixels[6] = {1, 2, 3, 4, 5, 6};
  std::vector<uint32_t> buffer;
  CopyBorderedTile(pixels, 3, 2, 0, 0, 8, 8, buffer);
  ASSERT_EQ(buffer.size(), 64u);
  const uint32_t expected[4][5] = {{1, 1, 2, 3, 3}, {1, 1, 2, 3, 3}, {4, 4, 5, 6, 6}, {4, 4, 5, 6, 6}};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 5; ++column) EXPECT_EQ(buffer[row * 8 + column], expected[row][column]);
    for (int column = 5; column < 8; ++column) EXPECT_EQ(buffer[row * 8 + column], 0u);
  }
  for (int i = 4 * 8; i < 64; ++i) EXPECT_EQ(buffer[i], 0u);
  // An origin beyond the picture copies nothing and reads nothing.
  CopyBorderedTile(pixels, 3, 2, 62, 0, 64, 64, buffer);
  for (uint32_t texel : buffer) EXPECT_EQ(texel, 0u);
}

// ---------------------------------------------------------------------------------------------
// On a display

class ModelTest : public ::testing::Test, protected tftest::OffscreenCanvas {
 protected:
  void SetUp() override {
    if (!gVideo) GTEST_SKIP() << "no video device";
    tftest::UseProgramFolder(dir_, Switches());
    ModelStart();
    GraphicsStart();
  }
  void TearDown() override {
    if (!gVideo) return;
    GraphicsEnd();
    ModelEnd();
    DestroyWindows();
  }
  virtual std::vector<std::string> Switches() { return {}; }

  // Number of pixels of the drawn picture (at ox, oy) that differ from the source.
  int32_t Mismatches(const imageData* image, int32_t ox = 0, int32_t oy = 0) {
    const std::vector<uint32_t> frame = ReadBack();
    int32_t bad = 0;
    for (int32_t y = 0; y < image->height; ++y) {
      for (int32_t x = 0; x < image->width; ++x) {
        if (frame[static_cast<size_t>(y + oy) * width_ + x + ox] != image->pixels[static_cast<size_t>(y) * image->width + x]) {
          ++bad;
        }
      }
    }
    return bad;
  }

  std::string SavePicture(imageData* image, const std::string& name) {
    const std::string path = dir_ / name;
    ImageSave(path, image);
    return path;
  }

  tftest::TempDir dir_;
};

class ModelNoCompileTest : public ModelTest {
  std::vector<std::string> Switches() override { return {"-nocompile"}; }
};

TEST_F(ModelTest, ImageModelsDrawTheirPictureExactlyAcrossTileSeams) {
  for (auto [w, h] : {std::pair{100, 50}, std::pair{256, 256}, std::pair{1000, 700}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const int32_t display = Display(w, h);
    imageData* image = Picture(w, h, "");
    const std::string path = SavePicture(image, "picture" + std::to_string(w) + ".tga");
    int32_t model = ModelOpen(display, path);
    ASSERT_NE(model, 0);
    EXPECT_EQ(ModelGetKind(model), kModelCompiled);
    EXPECT_TRUE(ModelGetCompiled(model));
    EXPECT_EQ(ModelGetName(model), path);
    EXPECT_EQ(ModelGetWidth(model), w);
    EXPECT_EQ(ModelGetHeight(model), h);
    ModelRender(model);
    EXPECT_EQ(Mismatches(image), 0);
    // Immediate drawing gives the same picture.
    ModelSetPosition(model, 0, 0, 0);
    const int32_t texture = TextureFind(display, UtilUpper(path));
    ASSERT_NE(texture, 0);
    Frame();
    int32_t raw = ModelNew(display, kModelImmediate);
    for (int32_t i = 0; i < ModelGetVertexCount(model); ++i) ModelSetVertex(raw, i, ModelGetVertex(model, i));
    for (int32_t i = 0; i < ModelGetTexCoordCount(model); ++i) ModelSetTexCoord(raw, i, ModelGetTexCoord(model, i));
    for (int32_t i = 0; i < ModelGetPolygonCount(model); ++i) ModelSetPolygon(raw, i, ModelGetPolygon(model, i));
    EXPECT_EQ(TextureGetReferences(texture), 2);
    ModelRender(raw);
    EXPECT_EQ(Mismatches(image), 0);
    // And so does the path taken without vertex arrays.
    ModelAllowVertexArrays(false);
    Frame();
    ModelRender(raw);
    ModelAllowVertexArrays(true);
    EXPECT_EQ(Mismatches(image), 0);
    ModelFree(raw);
    EXPECT_EQ(raw, 0);
    EXPECT_TRUE(TextureExists(texture));
    ModelFree(model);
    EXPECT_FALSE(TextureExists(texture));
    ImageFree(image);
  }
}

TEST_F(ModelTest, TileLayoutsAndTextureCoordinates) {
  const int32_t display = Display(64, 64);
  imageData* image = Picture(100, 50, "small");
  int32_t model = ModelOpenImageData(display, image, nullptr, false);
  ASSERT_NE(model, 0);
  const int32_t texture = TextureFind(display, "SMALL");
  int32_t columns, rows, tw, th;
  TextureGetLayout(texture, columns, rows, tw, th);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(tw, 64);
  EXPECT_EQ(th, 64);
  auto tiles = TextureGetTiles(texture);
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0].x0, 0);
  EXPECT_EQ(tiles[0].x1, 61);
  EXPECT_EQ(tiles[1].x0, 62);
  EXPECT_EQ(tiles[1].x1, 99);
  EXPECT_EQ(tiles[0].y1, 49);
  EXPECT_NE(tiles[0].name, tiles[1].name);
  // The first tile's border texel is never sampled at the picture's edge.
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 0).u, 1.0f / 64);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 0).v, 1.0f / 64);
  EXPECT_FLOAT_EQ(ModelGetTexCoord(model, 3).u, 63.0f / 64);
  EXPECT_EQ(ModelGetPolygonCount(model), 4);
  ModelFree(model);
  ImageFree(image);

  image = Picture(256, 256, "square");
  model = ModelOpenImageData(display, image, nullptr, true);
  tiles = TextureGetTiles(TextureFind(display, "square"));
  ASSERT_EQ(tiles.size(), 4u);
  EXPECT_EQ(tiles[0].textureWidth, 256);
  EXPECT_EQ(tiles[0].x1, 253);
  EXPECT_EQ(tiles[1].x0, 254);
  EXPECT_EQ(tiles[1].textureWidth, 64);
  EXPECT_EQ(tiles[2].y0, 254);
  EXPECT_EQ(tiles[2].textureHeight, 64);
  EXPECT_EQ(tiles[3].textureWidth, 64);
  EXPECT_EQ(tiles[3].textureHeight, 64);
  ModelFree(model);
  ImageFree(image);
}

TEST_F(ModelTest, FailuresAreLoggedExactly) {
  const int32_t display = Display(32, 32);
  EXPECT_EQ(ModelNew(display, 3), 0);
  EXPECT_TRUE(Logged("ModelNew - Invalid model type \"3\".  Model not created."));
  EXPECT_EQ(ModelNew(display + 50, 1), 0);
  EXPECT_EQ(ModelOpen(display, "thing.xyz"), 0);
  EXPECT_TRUE(Logged("Unrecognized model extension for \"thing.xyz\"."));
  EXPECT_EQ(ModelOpenImage(display + 50, "a.tga", false), 0);
  EXPECT_TRUE(Logged("ModelOpenImage - Invalid display ID \"" + std::to_string(display + 50) + "\"."));
  EXPECT_EQ(ModelOpen(display, "missing.tga"), 0);
  EXPECT_TRUE(Logged("ModelTextureExtract - Unable to extract image \"missing.tga\" for model."));
  // A damaged picture loads as the substitute, which is refused.
  tftest::WriteFile(dir_ / "broken.tga", "not a targa");
  EXPECT_EQ(ModelOpen(display, dir_ / "broken.tga"), 0);
  EXPECT_TRUE(Logged("ModelTextureExtract - Unable to extract image \"" + (dir_ / "broken.tga") + "\" for model."));
  EXPECT_EQ(TextureFind(display, dir_ / "broken.tga"), 0);
  // An untiled picture wider than the implementation accepts gives no texture.
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  imageData* wide = Picture(largest + 1, 1, "too wide");
  EXPECT_EQ(ModelTextureExtract(display, wide, false, false, false), 0);
  EXPECT_TRUE(Logged("ModelTextureExtract - Unable to extract image \"too wide\" for model."));
  EXPECT_EQ(TextureFind(display, "too wide"), 0);
  // Tiled, the same picture is cut into tiles the implementation takes.
  int32_t model = ModelOpenImageData(display, wide, nullptr, false);
  EXPECT_NE(model, 0);
  ModelFree(model);
  ImageFree(wide);
}

TEST_F(ModelTest, GeometryEditing) {
  const int32_t display = Display(32, 32);
  int32_t model = ModelNew(display, kModelCompiled);
  // The unit's start began the ids afresh, whatever the tests before this one made.
  ASSERT_EQ(model, 1);
  ModelSetVertex(model, 2, {4, 5, 6});
  EXPECT_EQ(ModelGetVertexCount(model), 3);
  EXPECT_EQ(ModelGetVertex(model, 0).x, 0);
  EXPECT_EQ(ModelGetVertex(model, 9).x, 0);
  modelPolygon polygon;
  polygon.corners[2].vertex = 3;  // no such vertex: refused
  ModelSetPolygon(model, 0, polygon);
  EXPECT_EQ(ModelGetPolygonCount(model), 0);
  polygon.corners[2].vertex = 2;
  ModelSetPolygon(model, 2, polygon);
  EXPECT_EQ(ModelGetPolygonCount(model), 3);
  EXPECT_EQ(ModelGetPolygon(model, 1).corners[2].vertex, 0);
  EXPECT_EQ(ModelGetPolygon(model, 2).corners[2].vertex, 2);

  ModelSaveVertices(model);
  ModelScale(model, 2);
  EXPECT_EQ(ModelGetVertex(model, 2).z, 12);
  ModelTranslateVertices(model, 1, 0, 0);
  EXPECT_EQ(ModelGetWidth(model), 8);
  EXPECT_EQ(ModelGetHeight(model), 10);
  EXPECT_TRUE(ModelRestoreVertices(model));
  EXPECT_EQ(ModelGetVertex(model, 2).z, 6);
  ModelSetVertex(model, 3, {1, 1, 1});
  EXPECT_FALSE(ModelRestoreVertices(model));
  EXPECT_EQ(ModelGetVertexCount(model), 4);
  EXPECT_FALSE(ModelRestoreVertices(0));

  ModelSetPosition(model, 1, 2, 3);
  ModelMove(model, 1, 1, 1);
  float x, y, z;
  ModelGetPosition(model, x, y, z);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 3);
  EXPECT_EQ(z, 4);
  const int32_t freed = model;
  ModelFree(model);
  EXPECT_EQ(model, kNoId);
  EXPECT_FALSE(ModelExists(freed));
  // A freed model's id is not handed out again.
  int32_t next = ModelNew(display, kModelImmediate);
  EXPECT_EQ(next, freed + 1);
  ModelFree(next);
}

TEST_F(ModelTest, ColourPositionRotationAndUntexturedTriangles) {
  const int32_t display = Display(64, 64);
  for (int pass = 0; pass < 4; ++pass) {
    const int32_t kind = pass % 2 == 0 ? kModelImmediate : kModelCompiled;
    ModelAllowVertexArrays(pass < 2);
    Frame();
    int32_t model = ModelNew(display, kind);
    // A 10 x 10 square as two triangles.
    ModelSetVertex(model, 0, {0, 0, -5});
    ModelSetVertex(model, 1, {0, 10, -5});
    ModelSetVertex(model, 2, {10, 0, -5});
    ModelSetVertex(model, 3, {10, 10, -5});
    modelPolygon a, b;
    a.corners[0].vertex = 0, a.corners[1].vertex = 1, a.corners[2].vertex = 2;
    b.corners[0].vertex = 2, b.corners[1].vertex = 1, b.corners[2].vertex = 3;
    ModelSetPolygon(model, 0, a);
    ModelSetPolygon(model, 1, b);
    ModelCompile(model);
    EXPECT_EQ(ModelGetCompiled(model), kind == kModelCompiled);
    ModelSetColor(model, 255, 0, 0, 255);
    ModelSetPosition(model, 20, 30, 0);
    ModelRender(model);
    // Rotated by 90 degrees about its origin, placed at (50, 10): covers x 40..50, y 10..20.
    ModelSetColor(model, 0, 255, 0, 255);
    ModelSetPosition(model, 50, 10, 0);
    ModelRotate(model, 90);
    ModelRender(model);
    const std::vector<uint32_t> frame = ReadBack();
    EXPECT_EQ(frame[35 * 64 + 25], 0xFFFF0000u);
    EXPECT_EQ(frame[25 * 64 + 25], 0xFF000000u);
    EXPECT_EQ(frame[15 * 64 + 45], 0xFF00FF00u);
    EXPECT_EQ(frame[15 * 64 + 55], 0xFF000000u);
    ModelFree(model);
  }
  ModelAllowVertexArrays(true);
}

TEST_F(ModelTest, ShiftedTexCoordsWaitForTheNextCompile) {
  const int32_t display = Display(100, 50);
  imageData* image = Picture(100, 50, "shift");
  int32_t model = ModelOpenImageData(display, image, nullptr, false);
  ModelShiftTexCoords(model, 1.0f / 64, 0);
  EXPECT_TRUE(ModelGetCompiled(model));
  ModelRender(model);
  EXPECT_EQ(Mismatches(image), 0);  // the list still draws the previous coordinates
  ModelCompile(model);
  Frame();
  ModelRender(model);
  EXPECT_NE(Mismatches(image), 0);
  ModelFree(model);
  ImageFree(image);
}

TEST_F(ModelTest, CompileFailureFallsBackToImmediateDrawing) {
  const int32_t display = Display(100, 50);
  imageData* image = Picture(100, 50, "fallback");
  int32_t model = ModelOpenImageData(display, image, nullptr, false);
  ASSERT_NE(model, 0);
  // Starting a list inside another one is refused by OpenGL.
  const GLuint outer = glGenLists(1);
  glNewList(outer, GL_COMPILE);
  ModelCompile(model);
  glEndList();
  glDeleteLists(outer, 1);
  EXPECT_TRUE(Logged("ModelCompile - Unable to compile model \"fallback\".  Rendering uncompiled instead.  " +
                     GraphicsErrorText(GL_INVALID_OPERATION)));
  EXPECT_EQ(ModelGetKind(model), kModelImmediate);
  EXPECT_FALSE(ModelGetCompiled(model));
  Frame();
  ModelRender(model);
  EXPECT_EQ(Mismatches(image), 0);
  ModelFree(model);
  ImageFree(image);
}

TEST_F(ModelNoCompileTest, ModelsAreDrawnImmediately) {
  const int32_t display = Display(256, 256);
  imageData* image = Picture(256, 256, "nocompile");
  int32_t model = ModelOpenImageData(display, image, nullptr, false);
  ASSERT_NE(model, 0);
  EXPECT_EQ(ModelGetKind(model), kModelCompiled);
  EXPECT_FALSE(ModelGetCompiled(model));
  ModelCompile(model);
  EXPECT_FALSE(ModelGetCompiled(model));
  ModelRender(model);
  EXPECT_EQ(Mismatches(image), 0);
  ModelFree(model);
  ImageFree(image);
}

TEST_F(ModelTest, TexturesAreSharedAndFreedWithTheirLastModel) {
  const int32_t display = Display(64, 64);
  imageData* image = Picture(70, 20, "");
  const std::string path = SavePicture(image, "shared.tga");
  int32_t first = ModelOpenImage(display, path, false);
  int32_t second = ModelOpenImage(display, UtilUpper(path.substr(0, path.size() - 3)) + "tga", false);
  // The upper-cased folder does not exist, but the file name matches the loaded texture.
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  const int32_t texture = TextureFind(display, path);
  EXPECT_EQ(TextureGetReferences(texture), 2);
  const GLuint name = TextureGetTiles(texture)[0].name;
  EXPECT_TRUE(glIsTexture(name));
  const int32_t secondId = second;
  ModelFree(first);
  EXPECT_TRUE(TextureExists(texture));
  ModelFree(second);
  EXPECT_FALSE(TextureExists(texture));
  EXPECT_FALSE(glIsTexture(name));
  // Ids are never reused.
  int32_t third = ModelOpenImage(display, path, false);
  EXPECT_GT(third, secondId);
  EXPECT_NE(TextureFind(display, path), texture);
  // Closing the display frees what it still holds.
  const int32_t again = TextureFind(display, path);
  GraphicsDisplayClose(display);
  EXPECT_FALSE(ModelExists(third));
  EXPECT_FALSE(TextureExists(again));
  ImageFree(image);
}

TEST_F(ModelTest, ATextureIsCountedOncePerModel) {
  const int32_t display = Display(32, 32);
  imageData* a = Picture(16, 16, "a");
  imageData* b = Picture(16, 16, "b");
  const int32_t textureA = ModelTextureExtract(display, a, false, false, false);
  const int32_t textureB = ModelTextureExtract(display, b, false, false, false);
  EXPECT_EQ(TextureGetReferences(textureA), 0);
  int32_t model = ModelNew(display, kModelImmediate);
  ModelSetVertex(model, 0, {});
  modelPolygon polygon;
  polygon.textures.push_back({textureA, 0});
  ModelSetPolygon(model, 0, polygon);
  ModelSetPolygon(model, 1, polygon);
  polygon.textures = {{textureB, 0}, {textureA, 0}};
  ModelSetPolygon(model, 2, polygon);
  // A reference to a texture that does not exist is not kept.
  polygon.textures = {{textureB + 100, 0}};
  ModelSetPolygon(model, 3, polygon);
  EXPECT_TRUE(ModelGetPolygon(model, 3).textures.empty());
  EXPECT_EQ(TextureGetReferences(textureA), 1);
  EXPECT_EQ(TextureGetReferences(textureB), 1);
  ModelRender(model);
  ModelFree(model);
  EXPECT_FALSE(TextureExists(textureA));
  EXPECT_FALSE(TextureExists(textureB));
  ImageFree(a);
  ImageFree(b);
}

// ---------------------------------------------------------------------------------------------
// Rebuild after the contexts were re-created

TEST_F(ModelTest, ModelsDrawTheSameAfterContextRecreation) {
  const int32_t display = Display(300, 200);
  imageData* fromFile = Picture(130, 90, "");
  const std::string path = SavePicture(fromFile, "file.tga");
  imageData* inMemory = Picture(100, 60, "memory");
  for (uint32_t& p : inMemory->pixels) p ^= 0x00FF00FFu;
  int sourceCalls = 0;
  const int32_t fileModel = ModelOpenImage(display, path, false);
  const int32_t memoryModel = ModelOpenImageData(
      display, inMemory,
      [&](imageData* image) {
        ++sourceCalls;
        ImageCopy(image, inMemory);
      },
      false);
  // An untiled texture drawn by a hand-made quad.
  imageData* plain = Picture(64, 32, "plain");
  const int32_t untiled = ModelTextureExtract(display, plain, false, false, false);
  ASSERT_NE(untiled, 0);
  TextureSetSource(untiled, [&](imageData* image) { ImageCopy(image, plain); });
  int32_t quad = ModelNew(display, kModelCompiled);
  const float corners[4][2] = {{0, 0}, {0, 32}, {64, 0}, {64, 32}};
  for (int i = 0; i < 4; ++i) {
    ModelSetVertex(quad, i, {corners[i][0], corners[i][1], -5});
    ModelSetTexCoord(quad, i, {corners[i][0] / 64, corners[i][1] / 32});
  }
  modelPolygon polygon;
  polygon.textures.push_back({untiled, 0});
  for (int t = 0; t < 2; ++t) {
    const int32_t k[2][3] = {{0, 1, 2}, {2, 1, 3}};
    for (int c = 0; c < 3; ++c) polygon.corners[c] = {k[t][c], 0, k[t][c]};
    ModelSetPolygon(quad, t, polygon);
  }
  ModelCompile(quad);
  ASSERT_NE(fileModel, 0);
  ASSERT_NE(memoryModel, 0);
  ModelSetPosition(memoryModel, 150, 0, 0);
  ModelSetPosition(quad, 0, 120, 0);

  auto drawAll = [&] {
    Frame();
    ModelRender(fileModel);
    ModelRender(memoryModel);
    ModelRender(quad);
    EXPECT_EQ(Mismatches(fromFile), 0);
    EXPECT_EQ(Mismatches(inMemory, 150, 0), 0);
    EXPECT_EQ(Mismatches(plain, 0, 120), 0);
    return ReadBack();
  };
  const std::vector<uint32_t> before = drawAll();

  ModelAssetsRelease();
  for (const textureTile& tile : TextureGetTiles(untiled)) EXPECT_EQ(tile.name, 0u);
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_EQ(sourceCalls, 1);
  EXPECT_FALSE(Logged("ModelAssetsRecompile - Unable to rebuild image \"plain\" for model."));
  EXPECT_TRUE(ModelGetCompiled(fileModel));
  EXPECT_TRUE(ModelGetCompiled(quad));
  // The untiled texture is rebuilt as it was made: one tile of the picture's size.
  const auto tiles = TextureGetTiles(untiled);
  ASSERT_EQ(tiles.size(), 1u);
  EXPECT_EQ(tiles[0].textureWidth, 64);
  EXPECT_NE(tiles[0].name, 0u);
  EXPECT_EQ(drawAll(), before);

  // A file that vanished in between is reported and leaves the others working.
  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  std::remove(path.c_str());
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Unable to rebuild image \"" + path + "\" for model."));
  Frame();
  ModelRender(memoryModel);
  EXPECT_EQ(Mismatches(inMemory, 150, 0), 0);
  ImageFree(fromFile);
  ImageFree(inMemory);
  ImageFree(plain);
}

TEST_F(ModelTest, RecompileRefusesPicturesThatChangedSizeAndHandsFontsToTheirUnit) {
  const int32_t display = Display(64, 64);
  imageData* image = Picture(80, 40, "shrinking");
  int32_t model = ModelOpenImageData(
      display, image, [](imageData* rebuilt) {
        imageData* smaller = Picture(40, 40, "shrinking");
        ImageCopy(rebuilt, smaller);
        ImageFree(smaller);
      }, false);
  ASSERT_NE(model, 0);
  // Font textures are rebuilt by the font unit, tile by tile, into newly generated names.
  imageData* glyphs = Picture(64, 64, "Bin\\Fonts\\small.FoT");
  const int32_t font = ModelTextureExtract(display, glyphs, false, false, false);
  ASSERT_NE(font, 0);
  std::vector<std::string> calls;
  ModelSetFontRebuilder({[&](const std::string& file) {
                           calls.push_back("start " + file);
                           return 7;
                         },
                         [&](int32_t file, int32_t texture, int32_t tile) {
                           calls.push_back("texel " + std::to_string(file) + " " + std::to_string(texture == font) +
                                           " " + std::to_string(tile) + " " +
                                           std::to_string(TextureGetTiles(texture)[0].name != 0));
                         },
                         [&](int32_t file) { calls.push_back("close " + std::to_string(file)); }});
  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Unable to rebuild image \"shrinking\" for model."));
  EXPECT_EQ(calls, (std::vector<std::string>{"start Bin\\Fonts\\small.FoT", "texel 7 1 0 1", "close 7"}));
  // Without a font file the font texture is reported and left empty.
  ModelSetFontRebuilder({[](const std::string&) { return 0; }, nullptr, nullptr});
  ModelAssetsRelease();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Could not reread font file."));
  ModelSetFontRebuilder({});
  // A texture no model uses is freed with its display.
  GraphicsDisplayClose(display);
  EXPECT_FALSE(TextureExists(font));
  EXPECT_FALSE(ModelExists(model));
  ImageFree(image);
  ImageFree(glyphs);
}

TEST_F(ModelTest, RecompileReportsADisplayWithoutContext) {
  const int32_t display = Display(32, 32);
  ModelAssetsRelease();
  GraphicsDisplaysFreeRC();
  ModelAssetsRecompile();
  EXPECT_TRUE(Logged("ModelAssetsRecompile - Could not make display " + std::to_string(display) + " current."));
}

// ---------------------------------------------------------------------------------------------
// MilkShape 3D

std::string Floats(std::initializer_list<float> values) {
  std::string out;
  for (float v : values) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    out += tftest::LE32(bits);
  }
  return out;
}

struct ms3dSections {
  std::string header, vertices, triangles, groups, materials;
  std::string All() const { return header + vertices + triangles + groups + materials; }
};

// A square of four vertices and two triangles, one group, one material, then joint data.
ms3dSections Ms3d(uint32_t version = 4) {
  ms3dSections s;
  s.header = std::string("MS3D000000") + tftest::LE32(version);
  s.vertices = tftest::LE16(4);
  const float positions[4][2] = {{0, 0}, {0, 10}, {10, 0}, {10, 10}};
  for (auto& p : positions) s.vertices += std::string(1, '\0') + Floats({p[0], p[1], -5}) + std::string(2, '\0');
  s.triangles = tftest::LE16(2);
  const int corners[2][3] = {{0, 1, 2}, {2, 1, 3}};
  for (auto& c : corners) {
    s.triangles += tftest::LE16(0) + tftest::LE16(c[0]) + tftest::LE16(c[1]) + tftest::LE16(c[2]);
    s.triangles += std::string(15 * 4 + 2, '\x01');
  }
  s.groups = tftest::LE16(1) + std::string(1, '\0') + std::string(32, 'g') + tftest::LE16(2) + tftest::LE16(0) +
             tftest::LE16(1) + std::string(1, '\0');
  s.materials = tftest::LE16(1) + std::string(361, '\x02');
  return s;
}

TEST_F(ModelTest, Ms3dMeshIsReadAndDrawn) {
  const int32_t display = Display(32, 32);
  for (uint32_t version : {3u, 4u}) {
    const std::string path = dir_ / ("square" + std::to_string(version) + ".ms3d");
    tftest::WriteFile(path, Ms3d(version).All() + "joints and comments are never read");
    int32_t model = ModelOpen(display, path);
    ASSERT_NE(model, 0);
    EXPECT_EQ(ModelGetVertexCount(model), 4);
    EXPECT_EQ(ModelGetPolygonCount(model), 2);
    EXPECT_EQ(ModelGetVertex(model, 3).x, 10);
    EXPECT_EQ(ModelGetVertex(model, 3).z, -5);
    EXPECT_EQ(ModelGetPolygon(model, 1).corners[2].vertex, 3);
    EXPECT_TRUE(ModelGetPolygon(model, 1).textures.empty());
    EXPECT_TRUE(ModelGetCompiled(model));
    Frame();
    ModelSetColor(model, 0, 0, 255, 255);
    ModelSetPosition(model, 5, 5, 0);
    ModelRender(model);
    const std::vector<uint32_t> frame = ReadBack();
    EXPECT_EQ(frame[10 * 32 + 10], 0xFF0000FFu);
    EXPECT_EQ(frame[20 * 32 + 20], 0xFF000000u);
    ModelFree(model);
  }
}

TEST_F(ModelTest, Ms3dFaultsAreRefused) {
  const int32_t display = Display(32, 32);
  const std::string path = dir_ / "bad.ms3d";
  auto open = [&](const std::string& bytes) {
    tftest::WriteFile(path, bytes);
    return ModelOpenMS3D(display, path);
  };
  EXPECT_EQ(open(Ms3d(2).All()), 0);
  EXPECT_TRUE(Logged("ModelOpenMS3D - Unsupported file version 2."));
  std::string wrong = Ms3d().All();
  wrong[3] = 'X';
  EXPECT_EQ(open(wrong), 0);
  EXPECT_TRUE(Logged("ModelOpenMS3D - Invalid file header."));
  EXPECT_EQ(ModelOpenMS3D(display, dir_ / "none.ms3d"), 0);
  EXPECT_TRUE(Logged("ModelOpenMS3D - Unable to open file \"" + (dir_ / "none.ms3d") + "\"."));
  EXPECT_EQ(ModelOpenMS3D(display + 7, path), 0);
  EXPECT_TRUE(Logged("ModelOpenMS3D - Invalid display ID \"" + std::to_string(display + 7) + "\"."));

  // A triangle naming a vertex the file lacks is dropped, not drawn from beyond the array.
  ms3dSections s = Ms3d();
  s.triangles.replace(2 + 6, 2, tftest::LE16(60000));
  int32_t model = open(s.All());
  ASSERT_NE(model, 0);
  EXPECT_EQ(ModelGetPolygonCount(model), 2);
  EXPECT_EQ(ModelGetPolygon(model, 0).corners[2].vertex, 0);
  ModelRender(model);
  ModelFree(model);

  // Every truncation gives no model and the message of the section where the bytes ran out.
  s = Ms3d();
  const std::string whole = s.All();
  const size_t v = s.header.size(), t = v + s.vertices.size(), g = t + s.triangles.size(), m = g + s.groups.size();
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    EXPECT_EQ(open(whole.substr(0, length)), 0);
    std::string expected;
    if (length < v) expected = "Unable to read file header.";
    else if (length < v + 2) expected = "Unable to read vertex count.";
    else if (length < t) expected = "Unable to read vertex " + std::to_string((length - v - 2) / 15 + 1) + " data.";
    else if (length < t + 2) expected = "Unable to read face count.";
    else if (length < g) expected = "Unable to read face " + std::to_string((length - t - 2) / 70 + 1) + " data.";
    else if (length < g + 2) expected = "Unable to read mesh count.";
    else if (length < g + 2 + 35) expected = "Unable to read mesh 1 data.";
    else if (length < g + 2 + 35 + 4) expected = "Unable to read mesh 1 vertex " + std::to_string((length - g - 37) / 2 + 1) + " data.";
    else if (length < m) expected = "Unable to read material for mesh 1.";
    else if (length < m + 2) expected = "Unable to read material count.";
    else expected = "Unable to read material 1 data.";
    EXPECT_EQ(LastLine(), "Error: ModelOpenMS3D - " + expected);
  }
  // No half-read model was left in the registry: the next model gets the next id and is alone.
  int32_t probe = ModelNew(display, kModelImmediate);
  EXPECT_EQ(ModelGetVertexCount(probe), 0);
  ModelFree(probe);
}

}  // namespace

namespace {

// The number after "key": in a reference summary; -1 when absent.
long JsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  return at == std::string::npos ? -1 : std::strtol(json.c_str() + at + key.size() + 3, nullptr, 10);
}

TEST_F(ModelTest, SharedMilkShapeSamplesHaveTheirReferenceCounts) {
  const std::string folder = THORNFALL_TESTDATA "/ms3d/";
  if (!tftest::FileExists(folder + "ref")) GTEST_SKIP() << "no shared sample models";
  const int32_t display = Display(64, 64);
  for (const char* name : {"assimp_Wuson", "assimp_jeep1", "assimp_twospheres", "assimp_twospheres_withmats"}) {
    SCOPED_TRACE(name);
    const std::string json = tftest::ReadFile(folder + "ref/" + name + ".json");
    ASSERT_GT(JsonNumber(json, "num_vertices"), 0);
    int32_t model = ModelOpenMS3D(display, folder + name + ".ms3d");
    ASSERT_NE(model, 0);
    EXPECT_EQ(ModelGetVertexCount(model), JsonNumber(json, "num_vertices"));
    EXPECT_EQ(ModelGetPolygonCount(model), JsonNumber(json, "num_triangles"));
    Frame();
    ModelRender(model);
    ModelFree(model);
  }
  // A material index beyond the materials must not be followed; the file opens or is refused.
  int32_t odd = ModelOpenMS3D(display, folder + "assimp_invalid_InvalidMaterialIndex.ms3d");
  if (odd != 0) {
    ModelRender(odd);
    ModelFree(odd);
  }
}

}  // namespace

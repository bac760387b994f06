#include "graphics/model.h"

#include <GL/gl.h>

#include <algorithm>
#include <utility>

#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "graphics/model_internal.h"
#include "graphics/texture_tiles.h"
#include "image/image.h"

namespace {

struct textureRecord {
  int32_t id = kNoId;
  int32_t display = kNoId;
  std::string fileName;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  uint8_t bitsPerPixel = 32;
  int32_t columns = 0;
  int32_t rows = 0;
  int32_t tileWidth = 0;
  int32_t tileHeight = 0;
  bool linear = false;
  bool repeat = false;
  std::vector<textureTile> tiles;
  int32_t references = 0;
  bool hasSource = false;
  textureSource source;
};

struct modelRecord {
  int32_t id = kNoId;
  uint8_t kind = kModelCompiled;
  int32_t display = kNoId;
  std::string name;
  float x = 0, y = 0, z = 0;
  float angle = 0;
  uint8_t red = 255, green = 255, blue = 255, alpha = 255;
  std::vector<modelVertex> vertices;
  std::vector<modelVertex> savedVertices;
  std::vector<modelTexCoord> texCoords;
  std::vector<modelPolygon> polygons;
  bool compiled = false;
  GLuint list = 0;
  bool listAllocated = false;
};

// Everything the unit holds in a run; ModelStart starts it afresh.
struct modelState {
  bool started = false;
  // Displays with a registry entry, in the order they came.
  std::vector<int32_t> displays;
  // The models and textures of every display, in creation (id) order; each record names its
  // display.
  IdRegistry<modelRecord> models;
  IdRegistry<textureRecord> textures;
  // False with "-nocompile".
  bool compileAllowed = true;
  bool vertexArraysAllowed = true;
};

modelState gState;
// Installed by the font unit, which starts before this one.
modelFontRebuilder gFontRebuilder;

bool Known(int32_t display) {
  return std::find(gState.displays.begin(), gState.displays.end(), display) != gState.displays.end();
}

modelRecord* FindModel(int32_t id) { return gState.models.Find(id); }

textureRecord* FindTexture(int32_t id) { return gState.textures.Find(id); }

// The display's models or textures in creation order: a copy of the ids, so the caller may free
// records while walking it.
template <typename Record>
std::vector<int32_t> IdsOn(const IdRegistry<Record>& registry, int32_t display) {
  std::vector<int32_t> ids;
  for (const auto& [id, record] : registry) {
    if (record.display == display) ids.push_back(id);
  }
  return ids;
}

void ClearGLErrors() {
  // Bounded: without a usable context some drivers keep reporting an error.
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

bool IsFontFile(const std::string& fileName) {
  return fileName.size() >= 4 && UtilUpper(fileName.substr(fileName.size() - 4)) == ".FOT";
}

std::string Extension(const std::string& file) {
  const size_t dot = file.find_last_of('.');
  const size_t slash = file.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return "";
  return UtilUpper(file.substr(dot));
}

textureRecord* NewTexture(int32_t display) {
  if (!Known(display)) return nullptr;
  textureRecord record;
  record.id = gState.textures.NextId();
  record.display = display;
  return FindTexture(gState.textures.Add(std::move(record)));
}

void DeleteTileTextures(textureRecord& texture) {
  for (textureTile& tile : texture.tiles) {
    if (tile.name != 0) glDeleteTextures(1, &tile.name);
    tile.name = 0;  // a released name may be handed out again; never delete it twice
  }
}

void DeleteList(modelRecord& model) {
  if (model.listAllocated) glDeleteLists(model.list, 1);
  model.list = 0;
  model.listAllocated = false;
  model.compiled = false;
}

// Largest power-of-two tile not above the picture (at least 64 per side) that the
// implementation accepts, found by specifying a scratch texture and halving on "invalid value".
void LargestTileSize(int32_t width, int32_t height, uint8_t bitsPerPixel, bool linear, int32_t& tw, int32_t& th) {
  tw = std::max<int32_t>(64, LargestPowerOfTwoNotAbove(width));
  th = std::max<int32_t>(64, LargestPowerOfTwoNotAbove(height));
  if (tw == 64 && th == 64) return;
  ClearGLErrors();
  GLuint scratch = 0;
  glGenTextures(1, &scratch);
  glBindTexture(GL_TEXTURE_2D, scratch);
  const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  const GLint format = bitsPerPixel == 32 ? GL_RGBA : GL_RGB;
  while (th > 64 && glGetError() == GL_INVALID_VALUE) {
    th /= 2;
    glTexImage2D(GL_TEXTURE_2D, 0, format, tw, th, 0, static_cast<GLenum>(format), GL_UNSIGNED_BYTE, nullptr);
  }
  ClearGLErrors();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  while (tw > 64 && glGetError() == GL_INVALID_VALUE) {
    tw /= 2;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  glDeleteTextures(1, &scratch);
  ClearGLErrors();
}

std::vector<int32_t> DistinctTextures(const modelRecord& model) {
  std::vector<int32_t> textures;
  for (const modelPolygon& polygon : model.polygons) {
    for (const modelTextureRef& ref : polygon.textures) {
      if (std::find(textures.begin(), textures.end(), ref.texture) == textures.end()) textures.push_back(ref.texture);
    }
  }
  return textures;
}

// The OpenGL name a triangle's first texture reference draws with; 0 when none or unknown.
GLuint TileName(const modelTextureRef& ref) {
  const textureRecord* texture = FindTexture(ref.texture);
  if (texture == nullptr || ref.tile < 0 || static_cast<size_t>(ref.tile) >= texture->tiles.size()) return 0;
  return texture->tiles[static_cast<size_t>(ref.tile)].name;
}

bool SameRef(const modelTextureRef* a, const modelTextureRef* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->texture == b->texture && a->tile == b->tile;
}

void DrawVertexArrays(const modelRecord& model) {
  if (model.polygons.empty() || model.vertices.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, model.vertices.data());
  glDisable(GL_TEXTURE_2D);
  // A corner's vertex index also selects its texture coordinate here, so the coordinate array
  // must be at least as long as the vertex array; OpenGL would read past a shorter one.
  std::vector<modelTexCoord> padded;
  const modelTexCoord* coords = model.texCoords.data();
  const bool textured = !model.polygons.front().textures.empty();
  if (textured) {
    if (model.texCoords.size() < model.vertices.size()) {
      padded = model.texCoords;
      padded.resize(model.vertices.size());
      coords = padded.data();
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glEnable(GL_TEXTURE_2D);
  }
  std::vector<GLuint> indices;
  const modelTextureRef* bound = nullptr;
  bool first = true;
  auto flush = [&] {
    if (!indices.empty()) {
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
      indices.clear();
    }
  };
  for (const modelPolygon& polygon : model.polygons) {
    const modelTextureRef* ref = polygon.textures.empty() ? nullptr : &polygon.textures.front();
    if (first || !SameRef(ref, bound)) {
      flush();
      glBindTexture(GL_TEXTURE_2D, ref == nullptr ? 0 : TileName(*ref));
      bound = ref;
      first = false;
    }
    for (const modelCorner& corner : polygon.corners) indices.push_back(static_cast<GLuint>(corner.vertex));
  }
  flush();
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void DrawImmediate(const modelRecord& model) {
  const modelTextureRef* bound = nullptr;
  bool first = true;
  bool wasTextured = false;
  for (const modelPolygon& polygon : model.polygons) {
    const bool textured = !polygon.textures.empty();
    if (textured && (bound == nullptr || !SameRef(&polygon.textures.front(), bound))) {
      glBindTexture(GL_TEXTURE_2D, TileName(polygon.textures.front()));
      bound = &polygon.textures.front();
    }
    if (first || textured != wasTextured) {
      if (textured) {
        glEnable(GL_TEXTURE_2D);
      } else {
        glDisable(GL_TEXTURE_2D);
      }
    }
    first = false;
    wasTextured = textured;
    glBegin(GL_TRIANGLES);
    for (const modelCorner& corner : polygon.corners) {
      if (textured) {
        modelTexCoord coord;
        if (corner.texCoord >= 0 && static_cast<size_t>(corner.texCoord) < model.texCoords.size()) {
          coord = model.texCoords[static_cast<size_t>(corner.texCoord)];
        }
        glTexCoord2f(coord.u, coord.v);
      }
      modelVertex vertex;
      if (corner.vertex >= 0 && static_cast<size_t>(corner.vertex) < model.vertices.size()) {
        vertex = model.vertices[static_cast<size_t>(corner.vertex)];
      }
      glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
  }
}

void DrawGeometry(const modelRecord& model) {
  if (gState.vertexArraysAllowed && GraphicsVertexArraysAvailable()) {
    DrawVertexArrays(model);
  } else {
    DrawImmediate(model);
  }
}

// Uploads a texture's tiles from a picture of the texture's size: an untiled texture straight
// (as it was first made), a tiled one as bordered tile copies.
void UploadTiles(textureRecord& texture, const imageData& image, bool generateNames) {
  std::vector<uint32_t> buffer;
  for (size_t t = 0; t < texture.tiles.size(); ++t) {
    textureTile& tile = texture.tiles[t];
    if (generateNames) glGenTextures(1, &tile.name);
    if (texture.columns == 0) {
      TextureUploadTile(texture.id, static_cast<int32_t>(t), image.pixels.data(), image.width, image.height);
    } else {
      CopyBorderedTile(image.pixels.data(), image.width, image.height, tile.x0, tile.y0, tile.textureWidth,
                       tile.textureHeight, buffer);
      TextureUploadTile(texture.id, static_cast<int32_t>(t), buffer.data(), tile.textureWidth, tile.textureHeight);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start, end and registry

void ModelStart() {
  if (gState.started) return;
  gState = modelState{};
  gState.started = true;
  gState.compileAllowed = !UtilSwitchPresent("-nocompile");
  LogVersion("fwkModel - Version Alpha.0");
  GraphicsDisplayRegistrySet(
      graphicsRegistry::kModel, [](int32_t id, int32_t) { ModelDisplayAdd(id); },
      [](int32_t id) { ModelDisplayRemove(id); });
}

void ModelEnd() {
  if (!gState.started) return;
  gState.started = false;
  GraphicsDisplayRegistrySet(graphicsRegistry::kModel, nullptr, nullptr);
  while (!gState.displays.empty()) ModelDisplayRemove(gState.displays.front());
}

void ModelDisplayAdd(int32_t display) {
  if (!Known(display)) gState.displays.push_back(display);
}

void ModelDisplayRemove(int32_t display) {
  if (!Known(display)) return;
  for (int32_t id : IdsOn(gState.models, display)) {
    int32_t model = id;
    ModelFree(model);
  }
  for (int32_t id : IdsOn(gState.textures, display)) TextureFree(id);
  std::erase(gState.displays, display);
}

// ---------------------------------------------------------------------------------------------
// Textures

int32_t TextureFind(int32_t display, const std::string& file) {
  const std::string wanted = UtilUpper(file);
  for (const auto& [id, texture] : gState.textures) {
    if (texture.display == display && UtilUpper(texture.fileName) == wanted) return id;
  }
  return kNoId;
}

int32_t TextureOpen(int32_t display, const std::string& file, bool tiled, bool repeat, bool linear) {
  if (!Known(display)) return kNoId;
  if (const int32_t existing = TextureFind(display, file)) return existing;
  imageChain image = ImageLoadChain(file);
  image->fileName = file;
  return ModelTextureExtract(display, image.get(), tiled, repeat, linear);
}

int32_t ModelTextureExtract(int32_t display, const imageData* image, bool tiled, bool repeat, bool linear) {
  if (!Known(display) || image == nullptr) return kNoId;
  if (image->substitute || image->width <= 0 || image->height <= 0 ||
      image->pixels.size() < static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) {
    LogError("ModelTextureExtract - Unable to extract image \"" + image->fileName + "\" for model.");
    return kNoId;
  }
  if (!GraphicsDisplayMakeCurrent(display)) return kNoId;
  textureRecord* texture = NewTexture(display);
  texture->fileName = image->fileName;
  texture->imageWidth = image->width;
  texture->imageHeight = image->height;
  texture->bitsPerPixel = image->bitsPerPixel;
  texture->linear = linear;
  if (!tiled) {
    texture->repeat = repeat;
    texture->tileWidth = image->width;
    texture->tileHeight = image->height;
    const int32_t index = TextureAddTile(texture->id);
    textureTile& tile = texture->tiles[static_cast<size_t>(index)];
    tile.x1 = image->width - 1;
    tile.y1 = image->height - 1;
    tile.textureWidth = image->width;
    tile.textureHeight = image->height;
    ClearGLErrors();
    TextureUploadTile(texture->id, index, image->pixels.data(), image->width, image->height);
    // An untiled texture has the picture's own size, which the implementation may refuse; an
    // empty texture would otherwise pass for a good one.
    if (glGetError() != GL_NO_ERROR) {
      LogError("ModelTextureExtract - Unable to extract image \"" + image->fileName + "\" for model.");
      TextureFree(texture->id);
      return kNoId;
    }
    return texture->id;
  }
  texture->repeat = false;
  int32_t tw = 0, th = 0;
  LargestTileSize(image->width, image->height, image->bitsPerPixel, linear, tw, th);
  texture->tileWidth = tw;
  texture->tileHeight = th;
  std::vector<uint32_t> buffer;
  for (const tileRect& rect : TileGridFor(image->width, image->height, tw, th, texture->columns, texture->rows)) {
    CopyBorderedTile(image->pixels.data(), image->width, image->height, rect.x, rect.y, rect.width, rect.height,
                     buffer);
    const int32_t index = TextureAddTile(texture->id);
    TextureUploadTile(texture->id, index, buffer.data(), rect.width, rect.height);
    textureTile& tile = texture->tiles[static_cast<size_t>(index)];
    tile.x0 = rect.x;
    tile.x1 = std::min(rect.x + rect.width - 3, image->width - 1);
    tile.y0 = rect.y;
    tile.y1 = std::min(rect.y + rect.height - 3, image->height - 1);
    tile.textureWidth = rect.width;
    tile.textureHeight = rect.height;
  }
  return texture->id;
}

void TextureFree(int32_t texture) {
  textureRecord* record = FindTexture(texture);
  if (record == nullptr) return;
  if (GraphicsDisplayMakeCurrent(record->display)) DeleteTileTextures(*record);
  gState.textures.Remove(texture);
}

void TextureRelease(int32_t texture) {
  textureRecord* record = FindTexture(texture);
  if (record == nullptr) return;
  if (--record->references <= 0) TextureFree(texture);
}

bool TextureExists(int32_t texture) { return FindTexture(texture) != nullptr; }

void TextureGetImageSize(int32_t texture, int32_t& width, int32_t& height) {
  const textureRecord* record = FindTexture(texture);
  width = record ? record->imageWidth : 0;
  height = record ? record->imageHeight : 0;
}

int32_t TextureAddTile(int32_t texture) {
  textureRecord* record = FindTexture(texture);
  if (record == nullptr) return -1;
  textureTile tile;
  glGenTextures(1, &tile.name);
  record->tiles.push_back(tile);
  return static_cast<int32_t>(record->tiles.size()) - 1;
}

void TextureUploadTile(int32_t texture, int32_t tile, const uint32_t* pixels, int32_t width, int32_t height) {
  const textureRecord* record = FindTexture(texture);
  if (record == nullptr || pixels == nullptr || width <= 0 || height <= 0 || tile < 0 ||
      static_cast<size_t>(tile) >= record->tiles.size()) {
    return;
  }
  glBindTexture(GL_TEXTURE_2D, record->tiles[static_cast<size_t>(tile)].name);
  const GLint filter = record->linear ? GL_LINEAR : GL_NEAREST;
  const GLint wrap = record->repeat ? GL_REPEAT : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  const bool alpha = record->bitsPerPixel == 32;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> bytes(count * (alpha ? 4 : 3));
  uint8_t* out = bytes.data();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pixel = pixels[i];
    *out++ = static_cast<uint8_t>(pixel >> 16);
    *out++ = static_cast<uint8_t>(pixel >> 8);
    *out++ = static_cast<uint8_t>(pixel);
    if (alpha) *out++ = static_cast<uint8_t>(pixel >> 24);
  }
  // RGB rows of odd widths are not 4-byte aligned.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  const GLenum format = alpha ? GL_RGBA : GL_RGB;
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, bytes.data());
}

void TextureSetFileName(int32_t texture, const std::string& fileName) {
  if (textureRecord* record = FindTexture(texture)) record->fileName = fileName;
}
void TextureSetBitsPerPixel(int32_t texture, uint8_t bitsPerPixel) {
  if (textureRecord* record = FindTexture(texture)) record->bitsPerPixel = bitsPerPixel;
}
void TextureSetLinear(int32_t texture, bool linear) {
  if (textureRecord* record = FindTexture(texture)) record->linear = linear;
}
void TextureSetRepeat(int32_t texture, bool repeat) {
  if (textureRecord* record = FindTexture(texture)) record->repeat = repeat;
}
void TextureSetTileSize(int32_t texture, int32_t tileWidth, int32_t tileHeight) {
  if (textureRecord* record = FindTexture(texture)) {
    record->tileWidth = tileWidth;
    record->tileHeight = tileHeight;
  }
}
bool TextureReplaceImage(int32_t id, const imageData* image) {
  textureRecord* texture = FindTexture(id);
  if (texture == nullptr || image == nullptr || image->width != texture->imageWidth ||
      image->height != texture->imageHeight ||
      image->pixels.size() < static_cast<size_t>(image->width) * static_cast<size_t>(image->height) ||
      !GraphicsDisplayMakeCurrent(texture->display)) {
    return false;
  }
  UploadTiles(*texture, *image, false);
  return true;
}

void TextureSetSource(int32_t texture, textureSource source) {
  if (textureRecord* record = FindTexture(texture)) {
    record->hasSource = static_cast<bool>(source);
    record->source = std::move(source);
  }
}

std::vector<textureTile> TextureGetTiles(int32_t texture) {
  const textureRecord* record = FindTexture(texture);
  return record ? record->tiles : std::vector<textureTile>{};
}

void TextureGetLayout(int32_t texture, int32_t& columns, int32_t& rows, int32_t& tileWidth, int32_t& tileHeight) {
  const textureRecord* record = FindTexture(texture);
  columns = record ? record->columns : 0;
  rows = record ? record->rows : 0;
  tileWidth = record ? record->tileWidth : 0;
  tileHeight = record ? record->tileHeight : 0;
}

int32_t TextureGetReferences(int32_t texture) {
  const textureRecord* record = FindTexture(texture);
  return record ? record->references : 0;
}

bool ModelDisplayKnown(int32_t display) { return Known(display); }

void ModelAllowVertexArrays(bool allow) { gState.vertexArraysAllowed = allow; }

void ModelAllowCompile(bool allow) { gState.compileAllowed = allow; }

void ModelSetFontRebuilder(modelFontRebuilder rebuilder) { gFontRebuilder = std::move(rebuilder); }

// ---------------------------------------------------------------------------------------------
// Models

int32_t ModelNew(int32_t display, int32_t kind) {
  if (!Known(display)) return kNoId;
  if (kind != kModelImmediate && kind != kModelCompiled) {
    LogError("ModelNew - Invalid model type \"" + std::to_string(kind) + "\".  Model not created.");
    return kNoId;
  }
  modelRecord record;
  record.id = gState.models.NextId();
  record.kind = static_cast<uint8_t>(kind);
  record.display = display;
  return gState.models.Add(std::move(record));
}

int32_t ModelOpen(int32_t display, const std::string& file, bool linear) {
  if (Extension(file) == ".MS3D") return ModelOpenMS3D(display, file);
  // A picture made in memory (such as the captured background) is opened by its name.
  if (ImageIsImageFile(file) || TextureFind(display, file) != kNoId) return ModelOpenImage(display, file, linear);
  LogError("Unrecognized model extension for \"" + file + "\".");
  return kNoId;
}

namespace {

// The two triangles per tile that draw a tiled texture's picture at one unit per pixel.
int32_t BuildImageModel(int32_t display, int32_t texture, const std::string& name) {
  const int32_t id = ModelNew(display, kModelCompiled);
  modelRecord* model = FindModel(id);
  if (model == nullptr) return kNoId;
  model->name = name;
  const std::vector<textureTile> tiles = TextureGetTiles(texture);
  for (size_t t = 0; t < tiles.size(); ++t) {
    const textureTile& tile = tiles[t];
    const int32_t k = static_cast<int32_t>(4 * t);
    const float tw = static_cast<float>(tile.textureWidth);
    const float th = static_cast<float>(tile.textureHeight);
    const float uLeft = 1.0f / tw;
    const float uRight = static_cast<float>(tile.x1 - tile.x0 + 2) / tw;
    const float vTop = 1.0f / th;
    const float vBottom = static_cast<float>(tile.y1 - tile.y0 + 2) / th;
    const float left = static_cast<float>(tile.x0), right = static_cast<float>(tile.x1 + 1);
    const float top = static_cast<float>(tile.y0), bottom = static_cast<float>(tile.y1 + 1);
    ModelSetVertex(id, k, {left, top, -5});
    ModelSetVertex(id, k + 1, {left, bottom, -5});
    ModelSetVertex(id, k + 2, {right, top, -5});
    ModelSetVertex(id, k + 3, {right, bottom, -5});
    ModelSetTexCoord(id, k, {uLeft, vTop});
    ModelSetTexCoord(id, k + 1, {uLeft, vBottom});
    ModelSetTexCoord(id, k + 2, {uRight, vTop});
    ModelSetTexCoord(id, k + 3, {uRight, vBottom});
    modelPolygon polygon;
    polygon.textures.push_back({texture, static_cast<int32_t>(t)});
    const int32_t corners[2][3] = {{k, k + 1, k + 2}, {k + 2, k + 1, k + 3}};
    for (int triangle = 0; triangle < 2; ++triangle) {
      for (int c = 0; c < 3; ++c) polygon.corners[c] = {corners[triangle][c], 0, corners[triangle][c]};
      ModelSetPolygon(id, static_cast<int32_t>(2 * t) + triangle, polygon);
    }
  }
  ModelCompile(id);
  return id;
}

}  // namespace

int32_t ModelOpenImage(int32_t display, const std::string& file, bool linear) {
  if (!Known(display)) {
    LogError("ModelOpenImage - Invalid display ID \"" + std::to_string(display) + "\".");
    return kNoId;
  }
  const int32_t texture = TextureOpen(display, file, true, false, linear);
  if (texture == kNoId) return kNoId;
  const int32_t model = BuildImageModel(display, texture, file);
  // A texture no triangle took (a picture whose model could not be made) would never be freed.
  if (model == kNoId && TextureGetReferences(texture) <= 0) TextureFree(texture);
  return model;
}

int32_t ModelOpenImageData(int32_t display, const imageData* image, textureSource source, bool linear) {
  if (!Known(display)) {
    LogError("ModelOpenImage - Invalid display ID \"" + std::to_string(display) + "\".");
    return kNoId;
  }
  const int32_t texture = ModelTextureExtract(display, image, true, false, linear);
  if (texture == kNoId) return kNoId;
  TextureSetSource(texture, std::move(source));
  const int32_t model = BuildImageModel(display, texture, image->fileName);
  if (model == kNoId && TextureGetReferences(texture) <= 0) TextureFree(texture);
  return model;
}

void ModelCompile(int32_t id) {
  modelRecord* model = FindModel(id);
  if (model == nullptr || !gState.compileAllowed || model->kind != kModelCompiled ||
      !GraphicsDisplayMakeCurrent(model->display)) {
    return;
  }
  if (!model->listAllocated) {
    model->list = glGenLists(1);
    model->listAllocated = true;
  }
  model->compiled = false;
  ClearGLErrors();
  glNewList(model->list, GL_COMPILE);
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) {
    DrawGeometry(*model);
    ClearGLErrors();
    glEndList();
    error = glGetError();
  }
  if (error != GL_NO_ERROR) {
    LogError("ModelCompile - Unable to compile model \"" + model->name + "\".  Rendering uncompiled instead.  " +
             GraphicsErrorText(error));
    model->kind = kModelImmediate;
    return;
  }
  model->compiled = true;
}

void ModelFree(int32_t& id) {
  modelRecord* model = FindModel(id);
  if (model == nullptr) {
    id = kNoId;
    return;
  }
  if (model->listAllocated && GraphicsDisplayMakeCurrent(model->display)) DeleteList(*model);
  const std::vector<int32_t> textures = DistinctTextures(*model);
  gState.models.Remove(id);
  for (int32_t texture : textures) TextureRelease(texture);
  id = kNoId;
}

void ModelRender(int32_t id) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(model->x, model->y, model->z);
  glRotatef(model->angle, 0, 0, 1);
  glColor4ub(model->red, model->green, model->blue, model->alpha);
  if (model->kind == kModelCompiled && model->compiled) {
    glCallList(model->list);
  } else {
    DrawGeometry(*model);
  }
  glPopMatrix();
}

bool ModelExists(int32_t model) { return FindModel(model) != nullptr; }

void ModelSetVertex(int32_t id, int32_t index, const modelVertex& vertex) {
  modelRecord* model = FindModel(id);
  if (model == nullptr || index < 0) return;
  if (static_cast<size_t>(index) >= model->vertices.size()) model->vertices.resize(static_cast<size_t>(index) + 1);
  model->vertices[static_cast<size_t>(index)] = vertex;
}

void ModelSetTexCoord(int32_t id, int32_t index, const modelTexCoord& coord) {
  modelRecord* model = FindModel(id);
  if (model == nullptr || index < 0) return;
  if (static_cast<size_t>(index) >= model->texCoords.size()) model->texCoords.resize(static_cast<size_t>(index) + 1);
  model->texCoords[static_cast<size_t>(index)] = coord;
}

void ModelSetPolygon(int32_t id, int32_t index, const modelPolygon& polygon) {
  modelRecord* model = FindModel(id);
  if (model == nullptr || index < 0) return;
  for (const modelCorner& corner : polygon.corners) {
    if (corner.vertex < 0 || static_cast<size_t>(corner.vertex) >= model->vertices.size()) return;
  }
  // Only references to living textures are kept: a dangling one could never be released.
  modelPolygon stored = polygon;
  std::erase_if(stored.textures, [](const modelTextureRef& ref) { return FindTexture(ref.texture) == nullptr; });
  if (static_cast<size_t>(index) >= model->polygons.size()) model->polygons.resize(static_cast<size_t>(index) + 1);
  const std::vector<int32_t> before = DistinctTextures(*model);
  model->polygons[static_cast<size_t>(index)] = stored;
  // A texture is counted once per model, when a triangle first brings it. Replacing a triangle
  // does not release the texture it used: the caller may still hold that texture's id, and the
  // display's closing frees it in any case.
  for (int32_t texture : DistinctTextures(*model)) {
    if (std::find(before.begin(), before.end(), texture) == before.end()) {
      if (textureRecord* record = FindTexture(texture)) ++record->references;
    }
  }
}

void ModelSetPosition(int32_t id, float x, float y, float z) {
  if (modelRecord* model = FindModel(id)) {
    model->x = x;
    model->y = y;
    model->z = z;
  }
}

void ModelMove(int32_t id, float dx, float dy, float dz) {
  if (modelRecord* model = FindModel(id)) {
    model->x += dx;
    model->y += dy;
    model->z += dz;
  }
}

void ModelRotate(int32_t id, float degrees) {
  if (modelRecord* model = FindModel(id)) model->angle += degrees;
}

void ModelSetColor(int32_t id, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  if (modelRecord* model = FindModel(id)) {
    model->red = red;
    model->green = green;
    model->blue = blue;
    model->alpha = alpha;
  }
}

void ModelSetName(int32_t id, const std::string& name) {
  if (modelRecord* model = FindModel(id)) model->name = name;
}

void ModelScale(int32_t id, float factor) {
  modelRecord* model = FindModel(id);
  if (model == nullptr) return;
  for (modelVertex& v : model->vertices) {
    v.x *= factor;
    v.y *= factor;
    v.z *= factor;
  }
  model->compiled = false;
}

void ModelTranslateVertices(int32_t id, float dx, float dy, float dz) {
  modelRecord* model = FindModel(id);
  if (model == nullptr) return;
  for (modelVertex& v : model->vertices) {
    v.x += dx;
    v.y += dy;
    v.z += dz;
  }
  model->compiled = false;
}

void ModelShiftTexCoords(int32_t id, float du, float dv) {
  modelRecord* model = FindModel(id);
  if (model == nullptr) return;
  for (modelTexCoord& c : model->texCoords) {
    c.u += du;
    c.v += dv;
  }
}

void ModelSaveVertices(int32_t id) {
  if (modelRecord* model = FindModel(id)) model->savedVertices = model->vertices;
}

bool ModelRestoreVertices(int32_t id) {
  modelRecord* model = FindModel(id);
  if (model == nullptr || model->vertices.size() != model->savedVertices.size()) return false;
  model->vertices = model->savedVertices;
  model->compiled = false;
  return true;
}

int32_t ModelGetDisplay(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? model->display : kNoId;
}

int32_t ModelGetKind(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? model->kind : 0;
}

bool ModelGetCompiled(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model != nullptr && model->compiled;
}

std::string ModelGetName(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? model->name : std::string();
}

void ModelGetPosition(int32_t id, float& x, float& y, float& z) {
  const modelRecord* model = FindModel(id);
  x = model ? model->x : 0;
  y = model ? model->y : 0;
  z = model ? model->z : 0;
}

float ModelGetWidth(int32_t id) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr || model->vertices.empty()) return 0;
  auto [low, high] = std::minmax_element(model->vertices.begin(), model->vertices.end(),
                                         [](const modelVertex& a, const modelVertex& b) { return a.x < b.x; });
  return high->x - low->x;
}

float ModelGetHeight(int32_t id) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr || model->vertices.empty()) return 0;
  auto [low, high] = std::minmax_element(model->vertices.begin(), model->vertices.end(),
                                         [](const modelVertex& a, const modelVertex& b) { return a.y < b.y; });
  return high->y - low->y;
}

int32_t ModelGetVertexCount(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? static_cast<int32_t>(model->vertices.size()) : 0;
}

modelVertex ModelGetVertex(int32_t id, int32_t n) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr || n < 0 || static_cast<size_t>(n) >= model->vertices.size()) return {};
  return model->vertices[static_cast<size_t>(n)];
}

int32_t ModelGetTexCoordCount(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? static_cast<int32_t>(model->texCoords.size()) : 0;
}

modelTexCoord ModelGetTexCoord(int32_t id, int32_t n) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr || n < 0 || static_cast<size_t>(n) >= model->texCoords.size()) return {};
  return model->texCoords[static_cast<size_t>(n)];
}

int32_t ModelGetPolygonCount(int32_t id) {
  const modelRecord* model = FindModel(id);
  return model ? static_cast<int32_t>(model->polygons.size()) : 0;
}

modelPolygon ModelGetPolygon(int32_t id, int32_t n) {
  const modelRecord* model = FindModel(id);
  if (model == nullptr || n < 0 || static_cast<size_t>(n) >= model->polygons.size()) return {};
  return model->polygons[static_cast<size_t>(n)];
}

// ---------------------------------------------------------------------------------------------
// Release and rebuild around a context re-creation

void ModelAssetsRelease() {
  for (int32_t display : gState.displays) {
    const bool current = GraphicsDisplayMakeCurrent(display);
    for (int32_t id : IdsOn(gState.textures, display)) {
      textureRecord* texture = FindTexture(id);
      if (current) {
        DeleteTileTextures(*texture);
      } else {
        for (textureTile& tile : texture->tiles) tile.name = 0;  // gone with the context
      }
    }
    for (int32_t id : IdsOn(gState.models, display)) {
      modelRecord* model = FindModel(id);
      if (model->kind != kModelCompiled) continue;
      if (current) {
        DeleteList(*model);
      } else {
        model->list = 0;
        model->listAllocated = false;
        model->compiled = false;
      }
    }
  }
}

namespace {

// Re-reads a font texture's pictures through the font unit, into newly generated names.
void RebuildFontTexture(int32_t id) {
  textureRecord* texture = FindTexture(id);
  const int32_t file = gFontRebuilder.start ? gFontRebuilder.start(texture->fileName) : kNoId;
  if (file == kNoId) {
    LogError("ModelAssetsRecompile - Could not reread font file.");
    return;
  }
  for (size_t t = 0; (texture = FindTexture(id)) != nullptr && t < texture->tiles.size(); ++t) {
    glGenTextures(1, &texture->tiles[t].name);
    if (gFontRebuilder.texel) gFontRebuilder.texel(file, id, static_cast<int32_t>(t));
  }
  if (gFontRebuilder.close) gFontRebuilder.close(file);
}

// Re-reads a picture texture from its source or its file and uploads its tiles again.
void RebuildPictureTexture(int32_t id) {
  textureRecord* texture = FindTexture(id);
  imageChain image;
  if (texture->hasSource) {
    image = ImageNewChain();
    const textureSource source = texture->source;
    source(image.get());
    texture = FindTexture(id);
    if (texture == nullptr) return;
  } else {
    image = ImageLoadChain(texture->fileName);
  }
  // The tile layout stays, so the picture must still have the size it was cut from.
  const bool usable = image != nullptr && !image->substitute && image->width > 0 && image->height > 0 &&
                      image->width == texture->imageWidth && image->height == texture->imageHeight &&
                      image->pixels.size() >= static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  if (usable) {
    UploadTiles(*texture, *image, true);
  } else {
    LogError("ModelAssetsRecompile - Unable to rebuild image \"" + texture->fileName + "\" for model.");
  }
}

}  // namespace

void ModelAssetsRecompile() {
  // The rebuild routines run code of other units: walk copies of the ids and look each record up
  // again after every call, so one that was freed meanwhile is never touched.
  const std::vector<int32_t> displays = gState.displays;
  for (int32_t display : displays) {
    if (!GraphicsDisplayMakeCurrent(display)) {
      LogError("ModelAssetsRecompile - Could not make display " + std::to_string(display) + " current.");
      continue;
    }
    for (int32_t id : IdsOn(gState.textures, display)) {
      const textureRecord* texture = FindTexture(id);
      if (texture == nullptr) continue;
      if (IsFontFile(texture->fileName)) {
        RebuildFontTexture(id);
      } else {
        RebuildPictureTexture(id);
      }
    }
    for (int32_t id : IdsOn(gState.models, display)) {
      modelRecord* model = FindModel(id);
      if (model == nullptr || model->kind != kModelCompiled) continue;
      DeleteList(*model);
      ModelCompile(id);
    }
  }
}

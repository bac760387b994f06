// Models and textures that live in a display's OpenGL context: textures cut into power-of-two
// tiles, flat image models, MilkShape 3D meshes, display lists, and their rebuild after the
// rendering contexts were re-created. Model and texture ids are signed 32-bit from 1 and never
// reused within a run; kNoId means none. Failures write one log line and return kNoId (or false).
#pragma once

#include <cstdint>
#include <functional>

#include "core/ids.h"
#include <string>
#include <vector>

struct imageData;

struct modelVertex {
  float x = 0;
  float y = 0;
  float z = 0;
};

struct modelTexCoord {
  float u = 0;
  float v = 0;
};

// A triangle corner: indices into the model's vertices, normals (carried, unused) and texture
// coordinates.
struct modelCorner {
  int32_t vertex = 0;
  int32_t normal = 0;
  int32_t texCoord = 0;
};

// A texture tile a triangle is drawn with.
struct modelTextureRef {
  int32_t texture = kNoId;
  int32_t tile = 0;
};

// One triangle; only the first texture reference is used for drawing, none means untextured.
struct modelPolygon {
  std::vector<modelTextureRef> textures;
  modelCorner corners[3];
};

// Fills the given (empty) picture; used instead of re-reading the file when a texture made from
// a picture in memory is rebuilt.
using textureSource = std::function<void(imageData* image)>;

constexpr uint8_t kModelImmediate = 1;
constexpr uint8_t kModelCompiled = 2;

// ---------------------------------------------------------------------------------------------
// Start, end and the per-display registry

// Version line "fwkModel - Version Alpha.0"; empties the registries (ids count from 1 again),
// reads "-nocompile" and hooks the registry to display creation and closing.
void ModelStart();
// Unhooks the registry and frees whatever displays still hold.
void ModelEnd();
// Adds an empty entry for the display unless one exists.
void ModelDisplayAdd(int32_t display);
// Frees the display's models, then its textures, then the entry.
void ModelDisplayRemove(int32_t display);

// ---------------------------------------------------------------------------------------------
// Textures

// An existing texture of the display with that file name (any letter case), else one loaded
// from the file. kNoId on failure.
int32_t TextureOpen(int32_t display, const std::string& file, bool tiled, bool repeat, bool linear);
int32_t TextureFind(int32_t display, const std::string& file);
// A texture made from the picture: tiled (largest tiles the implementation accepts, one-texel
// bordered copies) or untiled (one texture of the picture's own size). kNoId on failure.
int32_t ModelTextureExtract(int32_t display, const imageData* image, bool tiled, bool repeat, bool linear);
// Uploads a picture of the texture's own size into its tiles in place, so every model drawing
// the texture shows it. False (nothing changed) for another size or an unknown texture.
bool TextureReplaceImage(int32_t texture, const imageData* image);
// The routine that fills the picture again when the rendering contexts are rebuilt (a texture
// made from a picture in memory); empty: the file is read again.
void TextureSetSource(int32_t texture, textureSource source);
// Deletes the tiles' OpenGL textures (when the display can be made current) and the record.
void TextureFree(int32_t texture);
// One reference fewer; frees the texture at 0 or below.
void TextureRelease(int32_t texture);
bool TextureExists(int32_t texture);
// The source picture's size; 0, 0 for an unknown texture.
void TextureGetImageSize(int32_t texture, int32_t& width, int32_t& height);

// ---------------------------------------------------------------------------------------------
// Models

// A model of kind kModelImmediate or kModelCompiled; kNoId for an unknown display or another kind.
int32_t ModelNew(int32_t display, int32_t kind);
// By extension: ".MS3D" or a picture file (nearest filtering unless linear), or by the name of a
// texture the display already has. kNoId on failure.
int32_t ModelOpen(int32_t display, const std::string& file, bool linear = false);
// The picture drawn with its top-left corner at the model's position, one unit per pixel.
int32_t ModelOpenImage(int32_t display, const std::string& file, bool linear);
// The same from a picture in memory; source re-creates it when the context is rebuilt.
int32_t ModelOpenImageData(int32_t display, const imageData* image, textureSource source, bool linear);
// An untextured triangle mesh from a MilkShape 3D file (versions 3 and 4).
int32_t ModelOpenMS3D(int32_t display, const std::string& file);
// Records the geometry into a display list (kind 2 only, not with "-nocompile" given at start); when OpenGL
// refuses, the model is drawn immediately from then on.
void ModelCompile(int32_t model);
// Frees the model and what only it used; sets the caller's id to kNoId.
void ModelFree(int32_t& model);
void ModelRender(int32_t model);
bool ModelExists(int32_t model);

void ModelSetVertex(int32_t model, int32_t index, const modelVertex& vertex);
void ModelSetTexCoord(int32_t model, int32_t index, const modelTexCoord& coord);
// Stored only when all three corners name existing vertices.
void ModelSetPolygon(int32_t model, int32_t index, const modelPolygon& polygon);
void ModelSetPosition(int32_t model, float x, float y, float z);
void ModelMove(int32_t model, float dx, float dy, float dz);
void ModelRotate(int32_t model, float degrees);
void ModelSetColor(int32_t model, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
void ModelSetName(int32_t model, const std::string& name);
void ModelScale(int32_t model, float factor);
void ModelTranslateVertices(int32_t model, float dx, float dy, float dz);
// Leaves a compiled list as it is: it draws the previous coordinates until compiled again.
void ModelShiftTexCoords(int32_t model, float du, float dv);
void ModelSaveVertices(int32_t model);
// False (and nothing changed) for no model or when the vertex count changed since the save.
bool ModelRestoreVertices(int32_t model);

int32_t ModelGetDisplay(int32_t model);
int32_t ModelGetKind(int32_t model);
bool ModelGetCompiled(int32_t model);
std::string ModelGetName(int32_t model);
void ModelGetPosition(int32_t model, float& x, float& y, float& z);
float ModelGetWidth(int32_t model);
float ModelGetHeight(int32_t model);
int32_t ModelGetVertexCount(int32_t model);
modelVertex ModelGetVertex(int32_t model, int32_t n);
int32_t ModelGetTexCoordCount(int32_t model);
modelTexCoord ModelGetTexCoord(int32_t model, int32_t n);
int32_t ModelGetPolygonCount(int32_t model);
modelPolygon ModelGetPolygon(int32_t model, int32_t n);

// ---------------------------------------------------------------------------------------------
// Around a context re-creation (full-screen switch): release drops every OpenGL texture and
// display list before the contexts are freed; recompile rebuilds them afterwards. Records,
// geometry and tile layouts survive.
void ModelAssetsRelease();
void ModelAssetsRecompile();

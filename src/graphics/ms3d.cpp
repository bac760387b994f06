// MilkShape 3D import: the binary format (little-endian) of versions 3 and 4. Only vertex
// positions and triangle vertex indices are kept; groups and materials are read past, and the
// sections after the materials are not read at all.
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/ids.h"
#include "core/log.h"
#include "data/data_file.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"

namespace {

// Record sizes past the fields that are used.
constexpr size_t kTriangleRest = 70 - 8;  // 9 normal floats, 6 s/t floats, smoothing group, group
constexpr size_t kGroupName = 1 + 32;     // flags and the 32-character name before the count
constexpr size_t kMaterialSize = 361;

// Logs the failure and frees the half-built model; always kNoId.
int32_t Fail(const std::string& text, int32_t& model) {
  LogError("ModelOpenMS3D - " + text);
  ModelFree(model);
  return kNoId;
}

}  // namespace

int32_t ModelOpenMS3D(int32_t display, const std::string& fileName) {
  if (!ModelDisplayKnown(display)) {
    LogError("ModelOpenMS3D - Invalid display ID \"" + std::to_string(display) + "\".");
    return kNoId;
  }
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(fileName, bytes)) {
    LogError("ModelOpenMS3D - Unable to open file \"" + fileName + "\".");
    return kNoId;
  }
  // Every field is checked through the reader's failed flag right after its record, so each
  // truncation is reported for the section where the bytes ran out.
  ByteReader file(bytes);
  int32_t model = kNoId;
  const std::string identifier = file.Text(10);
  const int32_t version = file.I32();
  if (file.Failed()) return Fail("Unable to read file header.", model);
  if (identifier != "MS3D000000") return Fail("Invalid file header.", model);
  if (version != 3 && version != 4) return Fail("Unsupported file version " + std::to_string(version) + ".", model);

  const uint16_t vertexCount = file.U16();
  if (file.Failed()) return Fail("Unable to read vertex count.", model);
  model = ModelNew(display, kModelCompiled);
  if (model == kNoId) return kNoId;
  ModelSetName(model, fileName);
  // One record at a time: the model grows only by what the file really holds.
  for (int32_t i = 0; i < vertexCount; ++i) {
    file.U8();  // flags
    const float x = file.F32();
    const float y = file.F32();
    const float z = file.F32();
    file.U8();  // bone id
    file.U8();  // reference count
    if (file.Failed()) return Fail("Unable to read vertex " + std::to_string(i + 1) + " data.", model);
    ModelSetVertex(model, i, {x, y, z});
  }

  const uint16_t triangleCount = file.U16();
  if (file.Failed()) return Fail("Unable to read face count.", model);
  for (int32_t n = 1; n <= triangleCount; ++n) {
    file.U16();  // flags
    modelPolygon polygon;
    for (modelCorner& corner : polygon.corners) corner.vertex = file.U16();
    file.Skip(kTriangleRest);
    if (file.Failed()) return Fail("Unable to read face " + std::to_string(n) + " data.", model);
    // A triangle naming a vertex the file does not have is dropped, leaving an empty polygon.
    ModelSetPolygon(model, n - 1, polygon);
  }

  const uint16_t groupCount = file.U16();
  if (file.Failed()) return Fail("Unable to read mesh count.", model);
  for (int32_t m = 1; m <= groupCount; ++m) {
    file.Skip(kGroupName);
    const uint16_t indices = file.U16();
    if (file.Failed()) return Fail("Unable to read mesh " + std::to_string(m) + " data.", model);
    for (int32_t n = 1; n <= indices; ++n) {
      file.U16();
      if (file.Failed()) {
        return Fail("Unable to read mesh " + std::to_string(m) + " vertex " + std::to_string(n) + " data.", model);
      }
    }
    file.U8();  // material index
    if (file.Failed()) return Fail("Unable to read material for mesh " + std::to_string(m) + ".", model);
  }

  const uint16_t materialCount = file.U16();
  if (file.Failed()) return Fail("Unable to read material count.", model);
  for (int32_t k = 1; k <= materialCount; ++k) {
    file.Skip(kMaterialSize);
    if (file.Failed()) return Fail("Unable to read material " + std::to_string(k) + " data.", model);
  }
  ModelCompile(model);
  return model;
}

// MilkShape 3D import: the binary format (little-endian) of versions 3 and 4. Only vertex
// positions and triangle vertex indices are kept; groups and materials are read past, and the
// sections after the materials are not read at all.
#include <cstring>
#include <string>

#include "core/log.h"
#include "data/data_file.h"
#include "graphics/model.h"
#include "graphics/model_internal.h"

namespace {

constexpr int32_t kHeaderSize = 14;    // identifier (10 characters) and version (int32)
constexpr int32_t kVertexSize = 15;    // flags, x, y, z, bone id, reference count
constexpr int32_t kTriangleSize = 70;  // flags, 3 indices, 9 normal floats, 6 s/t floats, 2 bytes
constexpr int32_t kGroupSize = 35;     // flags, 32-character name, triangle count
constexpr int32_t kMaterialSize = 361;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

float F32(const uint8_t* p) {
  const uint32_t bits = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Closes the file on every way out.
class openFile {
 public:
  explicit openFile(int32_t handle) : handle_(handle) {}
  ~openFile() {
    if (handle_ != 0) DataFileClose(handle_);
  }
  openFile(const openFile&) = delete;
  openFile& operator=(const openFile&) = delete;
  bool Read(void* buffer, int32_t count) { return DataFileReadExact(handle_, buffer, count); }
  bool ReadCount(uint16_t& count) {
    uint8_t bytes[2];
    if (!Read(bytes, 2)) return false;
    count = U16(bytes);
    return true;
  }

 private:
  int32_t handle_;
};

// Logs the failure and frees the half-built model; always 0.
int32_t Fail(const std::string& text, int32_t& model) {
  LogError("ModelOpenMS3D - " + text);
  ModelFree(model);
  return 0;
}

}  // namespace

int32_t ModelOpenMS3D(int32_t display, const std::string& fileName) {
  if (!ModelDisplayKnown(display)) {
    LogError("ModelOpenMS3D - Invalid display ID \"" + std::to_string(display) + "\".");
    return 0;
  }
  const int32_t handle = DataFileOpen(fileName);
  if (handle == 0) {
    LogError("ModelOpenMS3D - Unable to open file \"" + fileName + "\".");
    return 0;
  }
  openFile file(handle);
  int32_t model = 0;
  uint8_t header[kHeaderSize];
  if (!file.Read(header, kHeaderSize)) return Fail("Unable to read file header.", model);
  if (std::memcmp(header, "MS3D000000", 10) != 0) return Fail("Invalid file header.", model);
  const int32_t version = static_cast<int32_t>(uint32_t{header[10]} | (uint32_t{header[11]} << 8) |
                                               (uint32_t{header[12]} << 16) | (uint32_t{header[13]} << 24));
  if (version != 3 && version != 4) return Fail("Unsupported file version " + std::to_string(version) + ".", model);

  uint16_t vertexCount = 0;
  if (!file.ReadCount(vertexCount)) return Fail("Unable to read vertex count.", model);
  model = ModelNew(display, kModelCompiled);
  if (model == 0) return 0;
  ModelSetName(model, fileName);
  // One record at a time: the model grows only by what the file really holds.
  for (int32_t i = 0; i < vertexCount; ++i) {
    uint8_t bytes[kVertexSize];
    if (!file.Read(bytes, kVertexSize)) return Fail("Unable to read vertex " + std::to_string(i + 1) + " data.", model);
    ModelSetVertex(model, i, {F32(bytes + 1), F32(bytes + 5), F32(bytes + 9)});
  }

  uint16_t triangleCount = 0;
  if (!file.ReadCount(triangleCount)) return Fail("Unable to read face count.", model);
  for (int32_t n = 1; n <= triangleCount; ++n) {
    uint8_t bytes[kTriangleSize];
    if (!file.Read(bytes, kTriangleSize)) return Fail("Unable to read face " + std::to_string(n) + " data.", model);
    modelPolygon polygon;
    for (int c = 0; c < 3; ++c) polygon.corners[c].vertex = U16(bytes + 2 + 2 * c);
    // A triangle naming a vertex the file does not have is dropped, leaving an empty polygon.
    ModelSetPolygon(model, n - 1, polygon);
  }

  uint16_t groupCount = 0;
  if (!file.ReadCount(groupCount)) return Fail("Unable to read mesh count.", model);
  for (int32_t m = 1; m <= groupCount; ++m) {
    uint8_t bytes[kGroupSize];
    if (!file.Read(bytes, kGroupSize)) return Fail("Unable to read mesh " + std::to_string(m) + " data.", model);
    const uint16_t indices = U16(bytes + 33);
    for (int32_t n = 1; n <= indices; ++n) {
      uint8_t index[2];
      if (!file.Read(index, 2)) {
        return Fail("Unable to read mesh " + std::to_string(m) + " vertex " + std::to_string(n) + " data.", model);
      }
    }
    uint8_t material;
    if (!file.Read(&material, 1)) return Fail("Unable to read material for mesh " + std::to_string(m) + ".", model);
  }

  uint16_t materialCount = 0;
  if (!file.ReadCount(materialCount)) return Fail("Unable to read material count.", model);
  for (int32_t k = 1; k <= materialCount; ++k) {
    uint8_t bytes[kMaterialSize];
    if (!file.Read(bytes, kMaterialSize)) return Fail("Unable to read material " + std::to_string(k) + " data.", model);
  }
  ModelCompile(model);
  return model;
}

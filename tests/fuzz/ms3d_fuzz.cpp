// libFuzzer harness for the MilkShape 3D reader: the fuzz bytes become a model file read through
// the data layer into a display entry that has no OpenGL context, so nothing is compiled.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "graphics/model.h"

namespace {

constexpr int32_t kDisplay = 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    fuzzfiles::Folder();
    ModelDisplayAdd(kDisplay);
    return true;
  }();
  (void)started;
  const std::string path = fuzzfiles::Write("fuzz.ms3d", data, size);
  int32_t model = ModelOpenMS3D(kDisplay, path);
  if (model != 0) {
    // Every stored triangle names vertices the model has.
    const int32_t vertices = ModelGetVertexCount(model);
    for (int32_t p = 0; p < ModelGetPolygonCount(model); ++p) {
      for (const modelCorner& corner : ModelGetPolygon(model, p).corners) {
        if (corner.vertex < 0 || corner.vertex >= vertices) __builtin_trap();
      }
    }
    ModelFree(model);
  }
  fuzzfiles::ForgetLog();
  return 0;
}

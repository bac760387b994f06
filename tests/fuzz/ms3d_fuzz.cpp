// libFuzzer harness for the MilkShape 3D reader: the fuzz bytes become a model file read through
// the data layer into a display entry that has no OpenGL context, so nothing is compiled.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "graphics/model.h"

namespace {

constexpr int32_t kDisplay = 1;

std::string Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/thornfall-fuzz-ms3d-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp") + "/";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    UtilSetAppFolder(Folder());
    UtilSetCommandLine(std::vector<std::string>{"-userdatainapp"});
    LogStart();
    DataFileStart();
    ModelDisplayAdd(kDisplay);
    return true;
  }();
  (void)started;
  const std::string path = Folder() + "fuzz.ms3d";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
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
  // Each refused input logs a line; keep the log from growing over millions of runs.
  std::remove(LogGetFilePath().c_str());
  return 0;
}

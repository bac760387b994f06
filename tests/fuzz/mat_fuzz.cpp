// libFuzzer harness for the mat reader: the fuzz bytes become a mat file read through the data layer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "data/mat.h"

namespace {

std::string Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/thornfall-fuzz-mat-XXXXXX";
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
    return true;
  }();
  (void)started;
  std::string path = Folder() + "fuzz.mat";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  matData map = MatOpen(path);
  if (MatDataValid(map) && map.cells.size() != static_cast<size_t>(map.width) * map.height) __builtin_trap();
  // Each refused input logs a line; keep the log from growing over millions of runs.
  std::remove(LogGetFilePath().c_str());
  return 0;
}

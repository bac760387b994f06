// libFuzzer harness for the mat reader: the fuzz bytes become a mat file read through the data layer.
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "data/mat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzfiles::Write("fuzz.mat", data, size);
  matData map = MatOpen(path);
  if (MatDataValid(map) && map.cells.size() != static_cast<size_t>(map.width) * map.height) __builtin_trap();
  fuzzfiles::ForgetLog();
  return 0;
}

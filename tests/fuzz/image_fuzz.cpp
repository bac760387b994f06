// libFuzzer harness for one picture reader, chosen at build time by IMAGE_DECODER.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  IMAGE_DECODER(bytes, image);
  ImageFree(chain);
  return 0;
}

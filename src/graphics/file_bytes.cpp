#include "graphics/file_bytes.h"

#include <algorithm>

#include "data/data_file.h"

bool ReadDataFileBytes(const std::string& name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  DataFileGuard file(name);
  if (!file) return false;
  const int32_t size = DataFileSize(file.Get());
  if (size <= 0) return true;
  bytes.resize(static_cast<size_t>(size));
  const int32_t got = DataFileRead(file.Get(), bytes.data(), size);
  bytes.resize(static_cast<size_t>(std::max(got, 0)));
  return true;
}

#include "data/mat.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "data/data_file.h"

namespace {

// Region maps cover a scene; a header claiming more cells than this is damaged, and refusing it
// keeps the expansion from allocating gigabytes on a lie.
constexpr int64_t kMaxCells = int64_t{1} << 26;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// One little-endian field of 1, 2 or 4 bytes; false when the file ends first.
template <typename T>
bool ReadField(int32_t handle, T& value) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4);
  uint8_t bytes[sizeof(T)];
  if (!DataFileReadExact(handle, bytes, sizeof(T))) return false;
  if constexpr (sizeof(T) == 1) {
    value = static_cast<T>(bytes[0]);
  } else if constexpr (sizeof(T) == 2) {
    value = static_cast<T>(LoadLe16(bytes));
  } else {
    value = static_cast<T>(LoadLe32(bytes));
  }
  return true;
}

matRaw Fail(const std::string& message) {
  LogError("MatOpenRaw - " + message);
  return MatRawClear();
}

}  // namespace

void MatStart() { LogVersion("fwkMat - Version 1.0"); }

void MatEnd() {}

matRaw MatOpenRaw(const std::string& fileName) {
  // Closes the file however the read ends.
  const DataFileGuard file(fileName);
  if (!file) return Fail("Unable to open " + Quoted(fileName) + ".");
  const int32_t handle = file.Get();

  char magic[3];
  if (!DataFileReadExact(handle, magic, 3)) return Fail("Unable to read mat header.");
  if (std::memcmp(magic, "MAT", 3) != 0) return Fail("Unrecognized mat header.");
  uint8_t major = 0, minor = 0;
  if (!ReadField(handle, major)) return Fail("Unable to read mat major version.");
  if (major != 1) return Fail("Unsupported mat major version " + Quoted(std::to_string(major)) + ".");
  if (!ReadField(handle, minor)) return Fail("Unable to read mat minor version.");
  if (minor != 0) return Fail("Unsupported mat minor version " + Quoted(std::to_string(minor)) + ".");

  matRaw raw;
  if (!ReadField(handle, raw.width)) return Fail("Unable to read mat width.");
  if (raw.width == 0) return Fail("No mat width.");
  if (raw.width < 0) return Fail("Invalid mat width " + Quoted(std::to_string(raw.width)) + ".");
  if (!ReadField(handle, raw.height)) return Fail("Unable to read mat height.");
  if (raw.height == 0) return Fail("No mat height.");
  if (raw.height < 0) return Fail("Invalid mat height " + Quoted(std::to_string(raw.height)) + ".");
  if (int64_t{raw.width} * raw.height > kMaxCells) {
    return Fail("Mat size " + Quoted(std::to_string(raw.width) + " x " + std::to_string(raw.height)) + " is too large.");
  }

  uint8_t count = 0;
  if (!ReadField(handle, count)) return Fail("Unable to read mat entry count.");
  if (count == 0) return Fail("No mat entries.");
  for (int k = 1; k <= count; ++k) {
    matEntry entry;
    uint8_t nameLength = 0;
    std::string number = Quoted(std::to_string(k));
    if (!ReadField(handle, entry.colour)) return Fail("Unable to read mat color for entry " + number + ".");
    if (!ReadField(handle, nameLength)) return Fail("Unable to read mat name length for entry " + number + ".");
    if (nameLength > 0) {
      entry.name.resize(nameLength);
      if (!DataFileReadExact(handle, entry.name.data(), nameLength)) {
        return Fail("Unable to read mat name for entry " + number + ".");
      }
    }
    raw.entries.push_back(std::move(entry));
  }

  while (!DataFileEof(handle)) {
    matRun run;
    if (!ReadField(handle, run.length)) return Fail("Unable to read mat run length.");
    if (!ReadField(handle, run.index)) return Fail("Unable to read mat run index.");
    if (run.index >= count) return Fail("Invalid mat run index " + Quoted(std::to_string(run.index)) + ".");
    raw.runs.push_back(run);
  }
  return raw;
}

matData MatOpen(const std::string& fileName) {
  matRaw raw = MatOpenRaw(fileName);
  if (!MatRawValid(raw) || raw.width < 0 || raw.height < 0) return MatDataClear();

  matData data;
  data.width = raw.width;
  data.height = raw.height;
  data.entries.assign(raw.entries.begin(), raw.entries.begin() + std::min<size_t>(raw.entries.size(), 255));
  size_t cellCount = static_cast<size_t>(raw.width) * static_cast<size_t>(raw.height);
  data.cells.assign(cellCount, 0);
  // Rows follow each other in the cell array, so a run that passes a row's end simply continues
  // at the next row's first cell; whatever passes the last cell is dropped.
  size_t cursor = 0;
  for (const matRun& run : raw.runs) {
    if (cursor >= cellCount) break;
    size_t length = std::min<size_t>(run.length, cellCount - cursor);
    std::fill_n(data.cells.begin() + static_cast<std::ptrdiff_t>(cursor), length, run.index);
    cursor += length;
  }
  return data;
}

bool MatRawValid(const matRaw& raw) {
  return raw.width != 0 && raw.height != 0 && !raw.entries.empty() && !raw.runs.empty();
}

bool MatDataValid(const matData& data) {
  return data.width != 0 && data.height != 0 && !data.entries.empty() && !data.cells.empty();
}

matRaw MatRawClear() { return matRaw{}; }

matData MatDataClear() { return matData{}; }

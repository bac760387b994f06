#include "data/mat.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "data/data_file.h"

namespace {

// Region maps cover a scene; a header claiming more cells than this is damaged, and refusing it
// keeps the expansion from allocating gigabytes on a lie.
constexpr int64_t kMaxCells = int64_t{1} << 26;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Closes the data file when the read ends, however it ends.
class OpenFile {
 public:
  explicit OpenFile(int32_t handle) : handle_(handle) {}
  ~OpenFile() { DataFileClose(handle_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int32_t handle() const { return handle_; }

  template <typename T>
  bool Read(T& value) {
    unsigned char bytes[sizeof(T)];
    if (!DataFileReadExact(handle_, bytes, sizeof(T))) return false;
    // Fields are little-endian on disk.
    uint64_t result = 0;
    for (size_t i = sizeof(T); i > 0; --i) result = (result << 8) | bytes[i - 1];
    value = static_cast<T>(result);
    return true;
  }

 private:
  int32_t handle_;
};

matRaw Fail(const std::string& message) {
  LogError("MatOpenRaw - " + message);
  return MatRawClear();
}

}  // namespace

void MatStart() { LogVersion("fwkMat - Version 1.0"); }

void MatEnd() {}

matRaw MatOpenRaw(const std::string& fileName) {
  int32_t handle = DataFileOpen(fileName);
  if (handle <= 0) return Fail("Unable to open " + Quoted(fileName) + ".");
  OpenFile file(handle);

  char magic[3];
  if (!DataFileReadExact(handle, magic, 3)) return Fail("Unable to read mat header.");
  if (std::memcmp(magic, "MAT", 3) != 0) return Fail("Unrecognized mat header.");
  uint8_t major = 0, minor = 0;
  if (!file.Read(major)) return Fail("Unable to read mat major version.");
  if (major != 1) return Fail("Unsupported mat major version " + Quoted(std::to_string(major)) + ".");
  if (!file.Read(minor)) return Fail("Unable to read mat minor version.");
  if (minor != 0) return Fail("Unsupported mat minor version " + Quoted(std::to_string(minor)) + ".");

  matRaw raw;
  if (!file.Read(raw.width)) return Fail("Unable to read mat width.");
  if (raw.width == 0) return Fail("No mat width.");
  if (raw.width < 0) return Fail("Invalid mat width " + Quoted(std::to_string(raw.width)) + ".");
  if (!file.Read(raw.height)) return Fail("Unable to read mat height.");
  if (raw.height == 0) return Fail("No mat height.");
  if (raw.height < 0) return Fail("Invalid mat height " + Quoted(std::to_string(raw.height)) + ".");
  if (int64_t{raw.width} * raw.height > kMaxCells) {
    return Fail("Mat size " + Quoted(std::to_string(raw.width) + " x " + std::to_string(raw.height)) + " is too large.");
  }

  uint8_t count = 0;
  if (!file.Read(count)) return Fail("Unable to read mat entry count.");
  if (count == 0) return Fail("No mat entries.");
  for (int k = 1; k <= count; ++k) {
    matEntry entry;
    uint8_t nameLength = 0;
    std::string number = Quoted(std::to_string(k));
    if (!file.Read(entry.colour)) return Fail("Unable to read mat color for entry " + number + ".");
    if (!file.Read(nameLength)) return Fail("Unable to read mat name length for entry " + number + ".");
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
    if (!file.Read(run.length)) return Fail("Unable to read mat run length.");
    if (!file.Read(run.index)) return Fail("Unable to read mat run index.");
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

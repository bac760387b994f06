// Mat region maps: a run-length-encoded grid of region indices with named, coloured entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct matEntry {
  std::string name;
  uint32_t colour = 0;
};

struct matRun {
  uint16_t length = 0;
  uint8_t index = 0;
};

struct matRaw {
  std::vector<matEntry> entries;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<matRun> runs;
};

struct matData {
  std::vector<matEntry> entries;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> cells;  // cell (x, y) at y * width + x
};

void MatStart();
void MatEnd();

// Reads a mat file through the data-file layer; an empty record (error logged) on any failure.
matRaw MatOpenRaw(const std::string& fileName);
// MatOpenRaw expanded into one byte per cell; an empty record when the raw form is not valid.
matData MatOpen(const std::string& fileName);
bool MatRawValid(const matRaw& raw);
bool MatDataValid(const matData& data);
matRaw MatRawClear();
matData MatDataClear();

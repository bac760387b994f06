// Helpers for picture tests: reference tools, PAM files, the shared sample pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image.h"

namespace tftest {

// Runs a shell command; true when it exits with status 0. Output goes to the test's log.
bool RunCommand(const std::string& command);
// Whether a program is on PATH.
bool HaveTool(const std::string& name);

// An 8-bit RGBA picture as the reference decoders give it, pixels 0xAARRGGBB, row 0 at the top.
struct RgbaPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
};

// Reads a PAM (P7, RGB_ALPHA or RGB or GRAYSCALE tuples) or a binary PPM/PGM (P6/P5) file.
bool ReadPam(const std::string& path, RgbaPicture& picture);
// Writes a P7 RGB_ALPHA file.
bool WritePam(const std::string& path, const RgbaPicture& picture);

// The shared sample pictures folder ("" when absent: tests using it skip).
std::string TestDataFolder();

}  // namespace tftest

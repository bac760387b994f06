// The screen language compiler: a source file (with the files it includes) becomes a compiled
// script of the newest file version, and a map from code offsets to source lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vmcc {

struct compileResult {
  std::vector<uint8_t> file;  // the script file's bytes (empty when there were errors)
  std::string map;            // the code map text (see MapLookup)
  std::string errors;         // every error: "FILE:LINE:COLUMN: message", the line and a caret
  int32_t errorCount = 0;
};

// Compiles the source file at path. False when it has errors (all of them in result.errors).
bool Compile(const std::string& path, compileResult& result);

// The map's text: a first line "vmc-map 1", a line "file N PATH" for each source, then one line
// "OFFSET FILE LINE COLUMN" (decimal) where the code of a statement or call begins, ascending.
// The source place of the code at offset, as "PATH:LINE"; empty when the map does not cover it.
std::string MapLookup(const std::string& map, int32_t offset, int32_t* line = nullptr, std::string* path = nullptr);

}  // namespace vmcc

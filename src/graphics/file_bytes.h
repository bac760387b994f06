// Whole data files in memory, for the graphics readers that parse them with a ByteReader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file's bytes, found through the data layer (patches, archives, loose files). A file that
// ends early gives what it has, so the reader sees the shortfall as truncation. False (bytes
// empty) when the file cannot be opened.
bool ReadDataFileBytes(const std::string& name, std::vector<uint8_t>& bytes);

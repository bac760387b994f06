// Script files for the tests, written from the loader's own records by the engine's writer
// (script/script_write.h), which leaves out the fields a version lacks. (The loader's messages
// are checked against hand-laid bytes as well, so a fault in the table shows.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "script/script_internal.h"
#include "script/script_write.h"
#include "support/test_support.h"

namespace tftest {

// An object's head; the caller fills in its kind's part.
objEntry ObjectHead(int32_t type, const std::string& name, int32_t order = 0, uint8_t display = 1);

std::string WriteScriptFileText(const scriptFile& file);

// Asset names as script files write them.
inline const std::string kPictureA = "Bin\\Art\\a.tga";  // 16 x 8
inline const std::string kPictureB = "Bin\\Art\\b.tga";  // 8 x 4
inline const std::string kFont = "Bin\\Fonts\\blocks.fot";  // 8 high, every character 6 wide
inline const std::string kMat = "Bin\\Maps\\m.mat";  // 2 x 1: regions "DOOR" and "WALL"
inline constexpr int32_t kGlyphWidth = 6;
inline constexpr int32_t kFontHeight = 8;

// The bytes of kMat.
inline std::string MatFile() {
  auto entry = [](uint32_t colour, const std::string& name) { return LE32(colour) + char(name.size()) + name; };
  return std::string("MAT") + char(1) + char(0) + LE32(2) + LE32(1) + char(2) + entry(0xFF0000, "DOOR") +
         entry(0x00FF00, "WALL") + LE16(1) + char(0) + LE16(1) + char(1);
}

// A picture of one colour (0xAARRGGBB) saved by the image writer (format by extension).
void SavePicture(const std::string& path, int32_t width, int32_t height, uint32_t colour);
// The font kFont names: characters ' ' to 'z', each an opaque white block of kGlyphWidth.
bool SaveBlockFont(const std::string& path);

// One object of each kind (and one of an unknown kind) with a distinct value in every field, in
// lower and mixed case where the loader upper-cases; and a file of the version holding them.
std::vector<objEntry> EveryKind();
scriptFile EveryKindFile(int32_t version);

// A frame set of `frames` frames, each with the listed images and an optional mat.
frameSet FramesOf(const std::vector<std::vector<std::string>>& frames, const std::string& mat = "");

}  // namespace tftest

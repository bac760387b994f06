// libFuzzer harness for the font file reader: the fuzz bytes become a font file read through the
// data layer. Whatever reads must hold together, and a font that covers its range exactly must
// survive being written and read again.
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "graphics/font_file.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckFont(const fontFile& font) {
  const int32_t range = FontFileRangeCount(font);
  Check(range >= 1 && range <= 256);
  Check(font.glyphCount >= 0 && font.glyphCount <= range);
  Check(font.pictures.size() == font.pictureCounts.size());
  int32_t supplied = 0;
  for (size_t i = 0; i < font.pictures.size(); ++i) {
    Check(font.pictures[i].size() == static_cast<size_t>(kFontPictureBytes));
    Check(font.pictureCounts[i] >= 1 && font.pictureCounts[i] <= 256);
    supplied += font.pictureCounts[i];
  }
  Check(supplied == font.glyphCount + font.ignoredChars);
  for (int32_t slot = 0; slot < 256; ++slot) {
    const fontGlyphPlace& place = font.places[static_cast<size_t>(slot)];
    if (slot < font.glyphCount) {
      Check(place.picture >= 0 && place.picture < static_cast<int32_t>(font.pictures.size()));
      Check(place.x >= 0 && place.y >= 0);
    } else {
      Check(place.picture == -1 && font.widths[static_cast<size_t>(slot)] == 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzfiles::Write("fuzz.fot", data, size);
  fontFile font;
  if (FontFileRead(path, font)) {
    CheckFont(font);
    if (font.ignoredChars == 0 && font.glyphCount == FontFileRangeCount(font) && font.name.size() <= 60000) {
      const std::string again = fuzzfiles::Folder() + "again.fot";
      Check(FontFileWrite(again, font));
      fontFile back;
      Check(FontFileRead(again, back));
      Check(back.name == font.name && back.height == font.height && back.widths == font.widths &&
            back.pictures == font.pictures && back.pictureCounts == font.pictureCounts);
    }
  }
  fuzzfiles::ForgetLog();
  return 0;
}

// A script engine on a real display: the units the loader builds assets with, started on SDL's
// offscreen driver, and the pictures, font and mat that sample script files name.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "data/data_file.h"
#include "data/mat.h"
#include "graphics/font.h"
#include "graphics/font_file.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/offscreen_video.h"
#include "image/image.h"
#include "script/script.h"
#include "script/script_internal.h"
#include "script/script_writer.h"
#include "support/test_support.h"

namespace tftest {

inline void SavePicture(const std::string& path, int32_t width, int32_t height, uint32_t colour) {
  imageData* image = nullptr;
  ImageNew(image);
  image->width = width;
  image->height = height;
  image->pixels.assign(static_cast<size_t>(width) * height, colour);
  ImageSave(path, image);
  ImageFree(image);
}

inline void SaveBlockFont(const std::string& path) {
  fontFile font;
  font.name = "Blocks";
  font.firstChar = ' ';
  font.lastChar = 'z';
  font.height = kFontHeight;
  const int32_t count = FontFileRangeCount(font);
  std::vector<uint8_t> widths(static_cast<size_t>(count), kGlyphWidth);
  font.pictureCounts = FontFileLayout(widths.data(), count, kFontHeight, font.places.data());
  font.pictures.assign(font.pictureCounts.size(), std::vector<uint8_t>(kFontPictureBytes, 0xFF));
  for (int32_t i = 0; i < count; ++i) font.widths[static_cast<size_t>(i)] = kGlyphWidth;
  font.glyphCount = count;
  ASSERT_TRUE(FontFileWrite(path, font));
}

// The captured lines, one a line, for failure messages.
inline std::string Joined(const LogCapture& log) {
  std::string text;
  for (const std::string& line : log.lines()) text += line + "\n";
  return text;
}

class ScriptFixture : public ::testing::Test, protected OffscreenCanvas {
 protected:
  void SetUp() override {
    if (!OffscreenVideoStarted()) GTEST_SKIP() << "no video device";
    UseProgramFolder(dir_);
    LogWrite("Script tests");  // the log's start banner goes out before any capture
    MakeFolders(dir_ / "Bin/Fonts");
    MakeFolders(dir_ / "Bin/Art");
    SavePicture(dir_ / "Bin/Art/a.tga", 16, 8, 0xFFFF0000u);
    SavePicture(dir_ / "Bin/Art/b.tga", 8, 4, 0xFF00FF00u);
    SaveBlockFont(dir_ / "Bin/Fonts/blocks.fot");
    ASSERT_TRUE(WriteFile(dir_ / "Bin/Maps/m.mat", MatFile()));
    DataFileStart();
    MatStart();
    FontStart();
    ModelStart();
    GraphicsStart();
    ScriptStart();
    display_ = Display(64, 64);
    ASSERT_EQ(display_, 1) << "sample objects live on display 1";
  }
  void TearDown() override {
    if (!OffscreenVideoStarted()) return;
    ScriptSetEngineHooks({});
    ScriptEnd();
    GraphicsEnd();
    ModelEnd();
    FontEnd();
    MatEnd();
    DataFileEnd();
    DestroyWindows();
  }

  // Writes the file under Bin\Scripts and returns its data name.
  std::string Put(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteFile(dir_ / ("Bin/Scripts/" + name), bytes));
    return "Bin\\Scripts\\" + name;
  }
  int32_t Load(const scriptFile& file, const std::string& name = "test.vmc") {
    return ScriptLoad(Put(name, WriteScriptFileText(file)));
  }

  TempDir dir_;
  int32_t display_ = 0;
};

}  // namespace tftest

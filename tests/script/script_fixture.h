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
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "graphics/offscreen_video.h"
#include "image/image.h"
#include "script/script.h"
#include "script/script_internal.h"
#include "script/script_writer.h"
#include "support/test_support.h"

namespace tftest {

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
    ASSERT_TRUE(SaveBlockFont(dir_ / "Bin/Fonts/blocks.fot"));
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

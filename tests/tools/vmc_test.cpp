// vmc disasm: every object kind's fields as its version holds them, the code in text form, and
// refusals.
#include <gtest/gtest.h>

#include "script/script_writer.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

runResult Vmc(const std::vector<std::string>& arguments) { return RunTool(VMC_TOOL, arguments); }

TEST(VmcTool, DisassemblesTheObjectsAndTheCode) {
  TempDir dir;
  scriptFile file;
  file.version = 16;
  file.routines = {"AppScore"};
  objEntry button = ObjectHead(0, "play", 4, 2);
  button.button.frames = FramesOf({{"Bin\\Art\\a.tga", "b\"c"}}, "m.mat");
  button.button.frames.left = -3, button.button.text = "Go", button.button.visible = true;
  objEntry atex = ObjectHead(10, "water", 1, 2);
  atex.atex.triangles = {atexTriangle{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
  objEntry camera = ObjectHead(12, "view", 0, 2);
  camera.camera.names = {"play"};
  file.objects = {button, atex, camera, ObjectHead(13, "odd", 9, 2)};
  file.listenerPresent = 1;
  file.listenerAddress = 17;
  // Push 5; push attribute 1 of object 0; a text literal with its 16-bit length; return.
  file.code = {0x19, 0x00, 0x05, 0x00, 0x00, 0x00, 0x22, 0x00, 0x00, 0x01, 0x19, 0x02, 0x02, 0x00, 'o', 'k', 0x00};
  ASSERT_TRUE(WriteFile(dir / "s.vmc", WriteScriptFileText(file)));

  const runResult result = Vmc({"disasm", dir / "s.vmc"});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string& out = result.out;
  for (const std::string& line : {
           std::string("version 16\nroutines 1\n  routine 0 \"AppScore\"\nobjects 4\n"),
           std::string("object 0 Button \"PLAY\" display 2 order 4\n  left: -3\n  top: 0\n  frame: 0\n  visible: 1\n"),
           std::string("  font file name: \"\"\n  text: \"Go\"\n"),
           std::string("  frames:\n    blend 0 memory 0 count 1\n    frame 0 mat \"m.mat\" images 2\n"
                       "      image \"Bin\\\\Art\\\\a.tga\"\n      image \"b\\\"c\"\n"),
           std::string("object 1 Atex \"WATER\" display 2 order 1\n"),
           std::string("  triangles: 1\n    triangle 0: 1 2 3 4 5 6 7 8 9 10 11 12\n"),
           std::string("  cameraX: 0\n  cameraY: 0\n  objectCount: 1\n    name \"PLAY\"\n"),
           std::string("object 3 type 13 \"ODD\" display 2 order 9\nlistener 1 address 17\n"),
       }) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n--- in ---\n" << out;
  }
  ASSERT_NE(out.find("code 17\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.find("code 17\n")),
            "code 17\n  000000  Push 5\n  000006  GetAttribute 0, 1\n  00000A  Push \"ok\"\n  000010  Return\n");

  // A version-3 file has neither orders nor the later fields.
  file.version = 3;
  file.objects = {button};
  ASSERT_TRUE(WriteFile(dir / "old.vmc", WriteScriptFileText(file)));
  const runResult old = Vmc({"disasm", dir / "old.vmc"});
  ASSERT_EQ(old.status, 0) << old.err;
  EXPECT_NE(old.out.find("object 0 Button \"PLAY\" display 2\n"), std::string::npos) << old.out;
  EXPECT_EQ(old.out.find("text:"), std::string::npos) << old.out;
  EXPECT_NE(old.out.find("    blend 0 memory 0 count 1\n    frame 0 images 2\n"), std::string::npos) << old.out;
}

TEST(VmcTool, RefusesBrokenFilesAndWrongArguments) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "v.vmc", LE32(17)));
  const runResult refused = Vmc({"disasm", dir / "v.vmc"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("ScriptFileLoad - Script uses unsupported features.  Script requires version 17."),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(Vmc({"disasm", dir / "missing.vmc"}).status, 1);
  EXPECT_EQ(Vmc({"disasm"}).status, 2);
  EXPECT_EQ(Vmc({"compile", "x"}).status, 2);
}

}  // namespace

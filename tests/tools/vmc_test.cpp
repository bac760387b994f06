// vmc disasm and asm: every object kind's fields as its version holds them, the code in text form,
// the round trip back to the same bytes, and refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/data_file.h"
#include "image/image.h"
#include "script/script_writer.h"
#include "script/vm_code.h"
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
           std::string("object 0 Button \"play\" display 2 order 4\n  left: -3\n  top: 0\n  frame: 0\n  visible: 1\n"),
           std::string("  font file name: \"\"\n  text: \"Go\"\n"),
           std::string("  frames:\n    blend 0 memory 0 count 1\n    frame 0 mat \"m.mat\" images 2\n"
                       "      image \"Bin\\\\Art\\\\a.tga\"\n      image \"b\\\"c\"\n"),
           std::string("object 1 Atex \"water\" display 2 order 1\n"),
           std::string("  triangles: 1\n    triangle 0: 1 2 3 4 5 6 7 8 9 10 11 12\n"),
           std::string("  cameraX: 0\n  cameraY: 0\n  objectCount: 1\n    name \"play\"\n"),
           std::string("object 3 type 13 \"odd\" display 2 order 9\nlistener 1 address 17\n"),
       }) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n--- in ---\n" << out;
  }
  ASSERT_NE(out.find("code 17\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.find("code 17\n")),
            "code 17\n  000000  Push 5\n  000006  GetAttribute 0, 1\n  00000A  Push \"ok\"\n  000010  Return\n");

  // The same as JSON: well formed (checked by Python's reader), every field under its name.
  const runResult json = Vmc({"disasm", "--json", dir / "s.vmc"});
  ASSERT_EQ(json.status, 0) << json.err;
  ASSERT_TRUE(WriteFile(dir / "s.json", json.out));
  const runResult check = RunTool("/usr/bin/python3", {"-c",
      "import json,sys; d=json.load(open(sys.argv[1])); o=d['objects'];"
      "assert d['version']==16 and d['appRoutineNames']==['AppScore'];"
      "assert o[0]['type']=='Button' and o[0]['name']=='play' and o[0]['displayId']==2 and o[0]['order']==4;"
      "assert o[0]['left']==-3 and o[0]['frames']=={'blend':0,'memory':0,'frames':[{'mat':'m.mat','images':['Bin\\\\Art\\\\a.tga','b\"c']}]};"
      "assert o[1]['triangles']==[list(range(1,13))] and o[2]['objectCount']==['play'] and o[3]['type']==13;"
      "assert d['listener']=={'present':True,'address':17};"
      "c=d['code']; assert [e['op'] for e in c]==['Push','GetAttribute','Push','Return'];"
      "assert c[0]=={'offset':0,'op':'Push','operands':[{'integer':5}]} and c[2]['operands']==[{'text':'ok'}];"
      "assert c[1]['operands'][:2]==[0,1] and c[3]['offset']==16",
      dir / "s.json"});
  EXPECT_EQ(check.status, 0) << check.err << json.out;

  // A version-3 file has neither orders nor the later fields.
  file.version = 3;
  file.objects = {button};
  ASSERT_TRUE(WriteFile(dir / "old.vmc", WriteScriptFileText(file)));
  const runResult old = Vmc({"disasm", dir / "old.vmc"});
  ASSERT_EQ(old.status, 0) << old.err;
  EXPECT_NE(old.out.find("object 0 Button \"play\" display 2\n"), std::string::npos) << old.out;
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
  EXPECT_EQ(Vmc({"asm", "x"}).status, 2);
}

// disasm then asm gives the file back byte for byte: every kind in every sample version, and a
// file holding what the loader reads loosely (letter case, flag bytes above 1, code bytes that
// are no instruction, bytes after the code).
TEST(VmcTool, AssemblesThePrintedFormBackToTheSameBytes) {
  TempDir dir;
  std::vector<std::string> files;
  for (int32_t v : {3, 4, 9, 10, 13, 16}) files.push_back(WriteScriptFileText(EveryKindFile(v)));
  scriptFile loose = EveryKindFile(16);
  loose.code = {0x19, 0x02, 0x02, 0x00, 'o', 'k', 0x3F, 0xFF, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x02};
  std::string bytes = WriteScriptFileText(loose) + "after";
  // Button "play": after its name, display, order, left, top and frame comes visible, set to 2.
  bytes[bytes.find("\x04play") + 5 + 1 + 4 * 4] = 2;
  files.push_back(bytes);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    ASSERT_TRUE(WriteFile(dir / "in.vmc", files[i]));
    const runResult text = Vmc({"disasm", dir / "in.vmc"});
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_TRUE(WriteFile(dir / "in.txt", text.out));
    const runResult back = Vmc({"asm", dir / "in.txt", dir / "out.vmc"});
    ASSERT_EQ(back.status, 0) << back.err << "\n" << text.out;
    EXPECT_EQ(ReadFile(dir / "out.vmc"), files[i]) << text.out;
  }
  const runResult loosely = Vmc({"disasm", dir / "in.vmc"});
  EXPECT_NE(loosely.out.find("  visible: 2\n"), std::string::npos) << loosely.out;
  EXPECT_NE(loosely.out.find("trailing 5 0x61 0x66 0x74 0x65 0x72\n"), std::string::npos) << loosely.out;

  // An edit that does not read names its line; nothing is written.
  std::string text = loosely.out;
  text.replace(text.find("  visible: 2"), 12, "  visible: 256");
  ASSERT_TRUE(WriteFile(dir / "bad.txt", text));
  const runResult bad = Vmc({"asm", dir / "bad.txt", dir / "bad.vmc"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("line 10: expected visible: N (0 to 255)"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.vmc"));
  ASSERT_TRUE(WriteFile(dir / "code.txt", "version 16\nroutines 0\nobjects 0\nlistener 0 address 0\ncode 0\nPush\n"));
  const runResult code = Vmc({"asm", dir / "code.txt", dir / "code.vmc"});
  EXPECT_EQ(code.status, 1);
  EXPECT_NE(code.err.find("line 6:"), std::string::npos) << code.err;
  EXPECT_EQ(Vmc({"asm", dir / "missing.txt", dir / "x.vmc"}).status, 1);
}

// A script file whose code is the main part followed by the listener (when there is one).
std::string RunScript(const std::vector<std::string>& routines, const std::string& main,
                      const std::string& listener = "", std::vector<objEntry> objects = {}) {
  scriptFile file;
  file.routines = routines;
  file.objects = std::move(objects);
  std::vector<uint8_t> head;
  std::string error;
  EXPECT_TRUE(VmAssembleCode(main, head, error)) << error;
  EXPECT_TRUE(VmAssembleCode(main + listener, file.code, error)) << error;
  file.listenerPresent = listener.empty() ? 0 : 1;
  file.listenerAddress = static_cast<int32_t>(head.size());
  return WriteScriptFileText(file);
}

// vmc run: the main thread at load, waits across frames, posted events in their frames and
// order, assets below the root, "Quit", "Fail" and the refusals.
TEST(VmcTool, RunsScriptsHeadless) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "Bin/Maps/m.mat", MatFile()));
  objEntry mat = ObjectHead(kObjMat, "regions");
  mat.mat.fileName = kMat;
  ASSERT_TRUE(WriteFile(dir / "events.vmc",
                        RunScript({"Print"},
                                  // The region at (1, 0) of the map, then a wait for the next frame.
                                  "Push \"\"\nPush 0\nPush 1\nPush \"Regions\"\nCallSystemRoutine 40\n"
                                  "Pop\nPop\nPop\nCallAppRoutine 0\nPop\n"
                                  "Push \"start\"\nCallAppRoutine 0\nWait\n"
                                  "Push \"resumed\"\nCallAppRoutine 0\nReturn\n",
                                  "Push [b-2]\nCallAppRoutine 0\nPop\nPush [b-1]\nCallAppRoutine 0\nPop\nReturn\n",
                                  {mat})));
  // Frame 1's event finds the main thread waiting and is dropped.
  const runResult events = Vmc({"run", dir / "events.vmc", "--frames", "3", "--post", "1", "4", "early", "--post",
                                "2", "5", "knob", "--post", "2", "6", "two", "--root", dir.path()});
  EXPECT_EQ(events.status, 0) << events.err;
  EXPECT_EQ(events.out, "WALL\nstart\nresumed\nKNOB\n5\nTWO\n6\n") << events.err;
  EXPECT_NE(events.err.find("Application \""), std::string::npos) << "the log goes to standard error";

  // Counts once a frame and quits at 3: the run ends after that frame, before --frames.
  ASSERT_TRUE(WriteFile(dir / "quit.vmc",
                        RunScript({"Print", "Quit"},
                                  "Push 0\nagain:\nAdd 1, [b+0]\nJumpLess [b+0], 3, show\nCallAppRoutine 1\n"
                                  "show:\nPush [b+0]\nCallAppRoutine 0\nPop\nWait\nJump again\n")));
  const runResult quit = Vmc({"run", dir / "quit.vmc", "--frames", "10"});
  EXPECT_EQ(quit.status, 0) << quit.err;
  EXPECT_EQ(quit.out, "1\n2\n3\n");

  // "Fail" ends the thread; one frame by default.
  ASSERT_TRUE(WriteFile(dir / "fail.vmc", RunScript({"Print", "Fail"},
                                                     "Push \"a\"\nCallAppRoutine 0\nCallAppRoutine 1\n"
                                                     "CallAppRoutine 0\n")));
  const runResult fail = Vmc({"run", dir / "fail.vmc"});
  EXPECT_EQ(fail.status, 0) << fail.err;
  EXPECT_EQ(fail.out, "a\n");

  ASSERT_TRUE(WriteFile(dir / "new.vmc", LE32(17)));
  const runResult refused = Vmc({"run", dir / "new.vmc"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Error: ScriptFileLoad - Script uses unsupported features."), std::string::npos)
      << refused.err;
  const runResult missing = Vmc({"run", dir / "missing.vmc"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("vmc: "), std::string::npos);
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"run"}, {"run", dir / "fail.vmc", "--frames", "-1"},
        {"run", dir / "fail.vmc", "--post", "0", "1", "x"}, {"run", dir / "fail.vmc", "--post", "1", "1"},
        {"run", dir / "fail.vmc", "--frames"}, {"run", dir / "fail.vmc", "extra.vmc"}}) {
    EXPECT_EQ(Vmc(wrong).status, 2) << wrong.size();
  }
}

// vmc run with the pointer: mouse events through the input unit before their frames, hover,
// press and click on a region map, the secondary button, and the refusals of the options.
TEST(VmcTool, RunsFeedThePointerThroughTheInputUnit) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "Bin/Maps/m.mat", MatFile()));
  objEntry mat = ObjectHead(kObjMat, "regions");
  mat.mat.left = 100, mat.mat.top = 200, mat.mat.enabled = true, mat.mat.fileName = kMat;
  // The listener prints each event's code and object name.
  ASSERT_TRUE(WriteFile(dir / "screen.vmc",
                        RunScript({"Print"}, "Return\n",
                                  "Push [b-1]\nCallAppRoutine 0\nPop\nPush [b-2]\nCallAppRoutine 0\nPop\nReturn\n",
                                  {mat})));
  const runResult run = Vmc({"run", dir / "screen.vmc", "--frames", "6", "--move", "1", "101", "200", "--press", "2",
                             "--release", "3", "--press2", "4", "--release2", "4", "--move", "5", "100", "200",
                             "--move", "6", "5", "5", "--root", dir.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  // Cell (1, 0) is the region "WALL", cell (0, 0) "DOOR": the Mat is named by its region.
  EXPECT_EQ(run.out, "-5\nWALL\n-3\nWALL\n-4\nWALL\n-8\nWALL\n-9\nWALL\n-6\nWALL\n-5\nDOOR\n-6\nDOOR\n")
      << run.err;
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"run", dir / "screen.vmc", "--move", "1", "2"},
        {"run", dir / "screen.vmc", "--move", "0", "2", "3"}, {"run", dir / "screen.vmc", "--press", "0"},
        {"run", dir / "screen.vmc", "--release2"}, {"run", dir / "screen.vmc", "--press", "x"}}) {
    EXPECT_EQ(Vmc(wrong).status, 2) << wrong.size();
  }
}

// vmc run --window and --shot: the script drawn on a window of that size and the frame saved.
TEST(VmcTool, SavesADrawnFrame) {
  TempDir dir;
  MakeFolders(dir / "Bin/Fonts");
  MakeFolders(dir / "Bin/Art");
  SavePicture(dir / "Bin/Art/button.tga", 80, 30, 0xFF000080u);
  SavePicture(dir / "Bin/Art/cell.tga", 90, 16, 0xFF404040u);
  SavePicture(dir / "Bin/Art/sel.tga", 90, 16, 0xFF806000u);
  ASSERT_TRUE(SaveBlockFont(dir / "Bin/Fonts/blocks.fot"));
  objEntry screen = ObjectHead(kObjDisplay, "screen");
  screen.display.width = 400, screen.display.height = 300, screen.display.viewMode = 1;
  objEntry quad = ObjectHead(kObjColor, "quad");
  quad.color.left = 10, quad.color.top = 10, quad.color.width = 40, quad.color.height = 30;
  quad.color.color = 0xFF0000, quad.color.alpha = 255, quad.color.visible = true;
  objEntry button = ObjectHead(kObjButton, "play");
  button.button.frames = FramesOf({{"Bin\\Art\\button.tga"}});
  button.button.frames.left = 100, button.button.frames.top = 20, button.button.frame = 1;
  button.button.visible = true, button.button.fontFile = kFont, button.button.text = "PLAY";
  button.button.color = 0xFFFFFF;
  objEntry label = ObjectHead(kObjLabel, "title");
  label.label.left = 100, label.label.top = 60, label.label.fontFile = kFont, label.label.color = 0x00FF00;
  label.label.visible = true, label.label.text = "Hello, world";
  objEntry list = ObjectHead(kObjList, "menu");
  list.list.kind = "VERTICAL", list.list.fontFile = kFont, list.list.color = 0xFFFFFF, list.list.colorSelected = 0xFFFF00;
  list.list.frame = 1, list.list.frameSelected = 2, list.list.cellCount = 3, list.list.visible = true;
  list.list.cells = FramesOf({{"Bin\\Art\\cell.tga"}, {"Bin\\Art\\sel.tga"}});
  list.list.cells.left = 200, list.list.cells.top = 100;
  ASSERT_TRUE(WriteFile(dir / "s.vmc", RunScript({}, "SetAttribute 4, 5, #0, \"One\"\nSetAttribute 4, 5, #1, \"Two\"\n"
                                                     "SetAttribute 4, 6, 1\nReturn\n",
                                                     "", {screen, quad, button, label, list})));
  const runResult run = Vmc({"run", dir / "s.vmc", "--window", "800", "600", "--shot", "1", dir / "out.tga",
                             "--root", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;

  UseProgramFolder(dir);
  DataFileStart();
  imageChain shot = ImageLoadChain(dir / "out.tga");
  DataFileEnd();
  ASSERT_TRUE(shot && !shot->substitute);
  ASSERT_EQ(shot->width, 800);
  ASSERT_EQ(shot->height, 600);
  // 400 x 300 fills 800 x 600 at twice the size.
  auto at = [&shot](int32_t x, int32_t y) { return shot->pixels[static_cast<size_t>(y) * 800 + x] | 0xFF000000u; };
  EXPECT_EQ(at(10, 10), 0xFF000000u);
  EXPECT_EQ(at(30, 30), 0xFFFF0000u);
  EXPECT_EQ(at(205, 45), 0xFF000080u) << "the button's frame";
  EXPECT_EQ(at(262, 64), 0xFFFFFFFFu) << "its text, centred";
  EXPECT_EQ(at(202, 124), 0xFF00FF00u) << "the label";
  EXPECT_EQ(at(570, 205), 0xFF404040u) << "list cell 0";
  EXPECT_EQ(at(570, 237), 0xFF806000u) << "list cell 1, the clicked item";
  EXPECT_EQ(at(412, 242), 0xFFFFFF00u) << "its text";

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"run", dir / "s.vmc", "--shot", "1", dir / "out.png"},
        {"run", dir / "s.vmc", "--shot", "0", dir / "out.tga"}, {"run", dir / "s.vmc", "--window", "0", "5"},
        {"run", dir / "s.vmc", "--window", "5"}}) {
    EXPECT_EQ(Vmc(wrong).status, 2) << wrong[2];
  }
}

}  // namespace

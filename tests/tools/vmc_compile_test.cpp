// vmc compile: screen sources compiled and run headless, what they print through "Print"
// checked; every compiled file disassembled and assembled back to the same bytes; the
// documentation's examples; error messages at their places; the map naming failed lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "script/script_writer.h"
#include "support/test_support.h"

namespace {

using namespace tftest;

runResult Vmc(const std::vector<std::string>& arguments) { return RunTool(VMC_TOOL, arguments); }

// Compiles dir/name.tfs to dir/name.vmc (and name.map) and checks the round trip through the
// printed form: every compiled file reassembles to the same bytes.
void Compile(const TempDir& dir, const std::string& name) {
  const runResult compiled = Vmc({"compile", "--map", dir / (name + ".map"), dir / (name + ".tfs"), dir / (name + ".vmc")});
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  ASSERT_EQ(compiled.err, "");
  const runResult text = Vmc({"disasm", dir / (name + ".vmc")});
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_TRUE(WriteFile(dir / (name + ".txt"), text.out));
  const runResult back = Vmc({"asm", dir / (name + ".txt"), dir / (name + ".back")});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(ReadFile(dir / (name + ".back")), ReadFile(dir / (name + ".vmc"))) << text.out;
}

// Compiles the source and runs it with the extra arguments; what it printed.
std::string Printed(const TempDir& dir, const std::string& source, const std::vector<std::string>& run = {}) {
  EXPECT_TRUE(WriteFile(dir / "s.tfs", source));
  Compile(dir, "s");
  std::vector<std::string> arguments = {"run", dir / "s.vmc", "--root", dir.path()};
  arguments.insert(arguments.end(), run.begin(), run.end());
  const runResult result = Vmc(arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out;
}

// The errors of a source that does not compile (standard error); the status must be 1.
std::string Errors(const TempDir& dir, const std::string& source) {
  EXPECT_TRUE(WriteFile(dir / "bad.tfs", source));
  std::filesystem::remove(dir / "bad.vmc");
  const runResult result = Vmc({"compile", dir / "bad.tfs", dir / "bad.vmc"});
  EXPECT_EQ(result.status, 1) << source;
  EXPECT_FALSE(FileExists(dir / "bad.vmc"));
  return result.err;
}

TEST(VmcCompile, ValuesFollowTheEngineRules) {
  TempDir dir;
  const std::string out = Printed(dir, R"(
const BASE = 10
const NAME = "Thorn" + "fall"
var count = BASE * 2 + 1          -- 21
var word = "n="
App.Print(word + count)           -- text on the left: joins
App.Print(count + "4")            -- a text on either side of + joins
App.Print(count - "4" + 1)        -- otherwise the left side decides: subtracts 4
var sum = 1
sum += "4"                        -- a variable keeps its kind
App.Print(sum)
App.Print(-7 / 2)
App.Print(-7 % 2)
App.Print(7 / 0 + 7 % 0)
App.Print(0x7FFFFFFF + 1)
App.Print(6 & 3 | 8)
App.Print(int("12a") + int("-5") + int(true))
App.Print(text(3 > 2) + " " + bool("True") + " " + bool("yes") + " " + (not (1 == 1)))
App.Print("hello" - "llo")
App.Print("hello" - "he")
App.Print("hello" - 2)
App.Print("abc" < "abd" and "B" < "a" and not ("b" < "B"))
App.Print(NAME + " " + length(NAME) + " " + substring(NAME, 2, 3) + " " + lower("AbC") + char(33))
App.Print(contains(NAME, "fall") or 1 / 0 == 0)
App.Print(sqrt(17) + random(1))
var flag = true
flag = 0
App.Print(flag)
var n = 5
n = "7x"
App.Print(n)
n -= 10
n *= -3
App.Print(n)
)");
  EXPECT_EQ(out,
            "n=21\n214\n18\n5\n-3\n-1\n0\n-2147483648\n10\n-4\ntrue true false false\nhe\nhello\nhel\ntrue\n"
            "Thornfall 9 hor abc!\ntrue\n4\nfalse\n0\n30\n");
}

TEST(VmcCompile, ControlFlowAndRoutines) {
  TempDir dir;
  const std::string out = Printed(dir, R"(
function fact(n) { if n <= 1 { return 1 } return n * fact(n - 1) }
function sign(n): text {
  if n < 0 { return "minus" } else if n == 0 { return "zero" } else { return "plus" }
}
function greet(who: text, loud: bool) {
  var line = "hi " + who
  if loud { line += "!" }
  App.Print(line)
}
function even(n) { return n % 2 == 0 }
var i = 0
var seen = ""
while true {
  i += 1
  if i == 2 { continue }
  if i > 5 { break }
  var j = 0
  while j < i { j += 1; if j == 3 { break } }
  seen = seen + i + ":" + j + " "
}
App.Print(seen)
var sum = ""
for k = 1, 6 { if k == 2 { continue } if k == 5 { break } var twice = k * 2; sum = sum + twice + "," }
for k = 9, 1, -4 { sum = sum + k }
for k = 2, 1 { sum = sum + "never" }
App.Print(sum)
App.Print(text(fact(10)) + " " + sign(-4) + sign(0) + sign(9))
App.Print(fact(3) * sign(1))   -- * follows its left side: the text counts as 0
greet("ann", true)
greet("bob", false)
App.Print(even(4) and not even(3))
if even(length("ab") + 1) { App.Print("odd?") } else if i == 6 { App.Print("six") }
App.Print(fact(3) == 6 or fact(100000) == 0)
)");
  EXPECT_EQ(out, "1:1 3:3 4:3 5:3 \n2,6,8,951\n3628800 minuszeroplus\n0\nhi ann!\nhi bob\ntrue\nsix\ntrue\n");
}

// The main thread runs at load; handlers run on it for posted events and see the screen
// variables; started threads run from the next frame, once a frame per wait, with the values
// given at their start.
TEST(VmcCompile, ThreadsWaitsAndEvents) {
  TempDir dir;
  const std::string out = Printed(dir, R"(
button PLAY { }
label SHARED { text = "" }
var clicks = 0
function ticker(name: text, times) {
  var k = 0
  while k < times { App.Print(name + k); k += 1; wait(2) }
}
App.Print("load")
start {
  var n = 0
  while n < 3 { App.Print("thread " + n + SHARED.text); n += 1; wait }
}
start ticker("t", 2)
on click PLAY {
  clicks += 1
  SHARED.text = " after " + clicks
  App.Print("play " + clicks)
}
on click(name) { App.Print("click on " + name) }
on 7(name) {
  var a = 1
  var b = "x"
  start late(b)
  App.Print("seven " + name + a)
}
function late(what: text) { wait; App.Print("late " + what) }
on event(code, name) {
  if code == Event.leave or code == Event.tick { return }  -- ticks come with the clock
  App.Print("other " + code + " " + name)
}
App.Print("loaded")
)",
                                  {"--frames", "5", "--post", "1", "-4", "play", "--post", "2", "-4", "other", "--post",
                                   "3", "7", "x", "--post", "3", "-6", "gone", "--post", "3", "-5", "here", "--post", "4",
                                   "-4", "PLAY"});
  EXPECT_EQ(out,
            "load\nloaded\n"
            "play 1\nthread 0 after 1\nt0\n"      // frame 1
            "click on OTHER\nthread 1 after 1\n"  // frame 2
            "seven X1\nother -5 HERE\nthread 2 after 1\nt1\n"  // frame 3
            "play 2\nlate x\n");                  // frame 4 (frame 5: nothing left)
}

TEST(VmcCompile, ObjectsOfEveryKindWithTheirAttributes) {
  TempDir dir;
  // Mats must load for the screen to load.
  ASSERT_TRUE(WriteFile(dir / "Bin/m.mat", MatFile()));
  ASSERT_TRUE(WriteFile(dir / "Bin/p.mat", MatFile()));
  // So must the animated texture: a 2 x 2 32-bit Targa picture.
  ASSERT_TRUE(WriteFile(dir / "Bin/w.tga", std::string("\0\0\2", 3) + std::string(9, '\0') + LE16(2) + LE16(2) +
                                               "\x20\x28" + std::string(16, '\x7F')));
  const std::string source = R"(
const GOLD = 0xFFD700
display main { width = 640, height = 360, mode = bestfit }
button PLAY { frames = [["Bin\\a.tga", "Bin\\b.tga"], "Bin\\c.tga"], left = 5, top = 6, text = "Play", color = GOLD, order = 3, display = 2 }
color SHADE { width = 10, height = 20, color = 0x102030, alpha = 128 }
image PIC { frames = { blend = 1, memory = true, frames = [{ images = ["Bin\\p.tga"], mat = "Bin\\p.mat" }] }, rotation = 45, offsetX = -2 }
label CAPTION { font = "Bin\\f.fot", text = "Hi", align = 1, visible = false }
list SCORES { kind = horizontal, cellCount = 5, iconFrames = ["Bin\\i.tga"] }
pointer ARROW { fadeOnIdle = true }
slider VOLUME { rangeFrames = ["Bin\\r.tga"], thumbFrames = ["Bin\\t.tga"], maxValue = 100, value = 40, pageType = 1 }
mat MAP { file = "Bin\\m.mat", enabled = false }
render DIALOG { routine = "AppRenderDialog" }
atex WATER { texture = "Bin\\w.tga", triangles = [[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12]], vvelocity = -3 }
appobj AGENTS { render = "AppRenderAgents", inObject = "AppInObjectAgents" }
camera VIEW { objects = [PIC, "water"], viewWidth = 320, cameraX = 7 }
App.Print(PLAY.text + " " + PLAY.color + " " + PLAY.visible + " " + PLAY.order + " " + PLAY + " " + VIEW.name)
PLAY.text = "Go"
PLAY.visible = false
PLAY.order = 10
PLAY.left += 5
SHADE.alpha -= 28
App.Print(PLAY.text + " " + PLAY.visible + " " + PLAY.order + " " + PLAY.left + " " + SHADE.alpha)
App.Print(main.mode + " " + main.width)
main.mode = "fill"
App.Print(main.mode)
SCORES.items[3] = "third"
SCORES.values[1] = "42"
SCORES.icons[2] = 4
var i = 3
App.Print(SCORES.items[i] + "|" + SCORES.items[0] + "|" + SCORES.values[1] + SCORES.icons[2] + " " + SCORES.kind)
VOLUME.value = 500
App.Print(VOLUME.value + " " + ARROW.fadeOnIdle + " " + VIEW.cameraX + " " + CAPTION.visible + " " + MAP.enabled)
)";
  const std::string out = Printed(dir, source);
  EXPECT_EQ(out,
            "Play 16766720 true 3 PLAY VIEW\nGo false 10 10 100\nBestFit 640\nFill\nthird||424 HORIZONTAL\n"
            "100 true 7 false false\n");
  const std::string text = ReadFile(dir / "s.txt");
  for (const std::string& part : {
           std::string("version 16\n"),
           std::string("objects 13\nobject 0 Display \"MAIN\" display 1 order 0\n  width: 640\n  height: 360\n  viewMode: 1\n"),
           std::string("object 1 Button \"PLAY\" display 2 order 3\n  left: 5\n  top: 6\n  frame: 1\n  visible: 1\n  enabled: 1\n"
                       "  font file name: \"\"\n  text: \"Play\"\n  color: 16766720\n  wrapWidth: 0\n  frames:\n"
                       "    blend 0 memory 0 count 2\n    frame 0 mat \"\" images 2\n      image \"Bin\\\\a.tga\"\n"
                       "      image \"Bin\\\\b.tga\"\n    frame 1 mat \"\" images 1\n"),
           std::string("  width: 10\n  height: 20\n  color: 1056816\n  alpha: 128\n"),
           std::string("  rotation: 45\n  frame: 1\n  visible: 1\n  alpha: 255\n  offsetX: -2\n  offsetY: 0\n  frames:\n"
                       "    blend 1 memory 1 count 1\n    frame 0 mat \"Bin\\\\p.mat\" images 1\n"),
           std::string("  file name: \"Bin\\\\f.fot\"\n  color: 0\n  alpha: 255\n  text: \"Hi\"\n  visible: 0\n  wrapWidth: 0\n"
                       "  wrapHeight: 0\n  wrapLineOffset: 0\n  firstLine: 1\n  align: 1\n"),
           std::string("  kind: \"HORIZONTAL\"\n"),
           std::string("  textOffsetX: 5\n  textOffsetY: 0\n  textWidth: 0\n  textMode: 2\n"),
           std::string("  fadeOnIdle: 1\n  fadeDelay: 2000\n  fadeDuration: 1000\n"),
           std::string("  maxValue: 100\n  value: 40\n  sliderType: 0\n  visible: 1\n  enabled: 1\n  pageType: 1\n  pageSize: 0\n"),
           std::string("  enabled: 0\n  file name: \"Bin\\\\m.mat\"\n"),
           std::string("object 9 Render \"DIALOG\" display 1 order 0\n  appRoutineName: \"AppRenderDialog\"\n"),
           std::string("  vvelocity: -3\n  triangles: 1\n    triangle 0: 1 2 3 4 5 6 7 8 9 10 11 12\n"),
           std::string("  scriptAnimate: \"\"\n  scriptInObject: \"AppInObjectAgents\"\n  scriptRender: \"AppRenderAgents\"\n"),
           std::string("  viewWidth: 320\n  viewHeight: 0\n  cameraX: 7\n  cameraY: 0\n  objectCount: 2\n    name \"PIC\"\n    name \"WATER\"\n"),
           std::string("listener 0 address 0\n"),
       }) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n--- in ---\n" << text;
  }
}

TEST(VmcCompile, IncludesShareConstantsAndRoutinesOnce) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "lib/colours.tfs", "const GOLD = 0xFFD700\nconst KEY_NAME = \"Enter\"\n"));
  // Both shared files include the colours; it is read once.
  ASSERT_TRUE(WriteFile(dir / "lib/buttons.tfs",
                        "include \"colours.tfs\"\nbutton OK { text = KEY_NAME, color = GOLD }\n"
                        "function shout(t: text): text { return t + \"!\" }\n"));
  ASSERT_TRUE(WriteFile(dir / "lib/all.tfs", "include \"colours.tfs\"\ninclude \"buttons.tfs\"\n"));
  const std::string out = Printed(dir, "include \"lib/all.tfs\"\ninclude \"lib/colours.tfs\"\n"
                                       "App.Print(shout(OK.text) + \" \" + OK.color + \" \" + GOLD)\n");
  EXPECT_EQ(out, "Enter! 16766720 16766720\n");
  const std::string err = Errors(dir, "include \"missing.tfs\"\nApp.Print(1)\n");
  EXPECT_NE(err.find("/bad.tfs:1:9: cannot read the included file"), std::string::npos) << err;
  // An error inside an included file names that file.
  ASSERT_TRUE(WriteFile(dir / "broken.tfs", "const A = 1\nconst B = = 2\n"));
  const std::string inner = Errors(dir, "include \"broken.tfs\"\n");
  EXPECT_NE(inner.find("/broken.tfs:2:11: expected a value, found \"=\""), std::string::npos) << inner;
}

// Every ```tfs block of the language documentation compiles; a block whose first line is
// "-- file: NAME" is saved under that name, so the others can include it.
TEST(VmcCompile, TheDocumentationExamplesCompile) {
  TempDir dir;
  const std::string doc = ReadFile(SCRIPT_LANGUAGE_DOC);
  ASSERT_FALSE(doc.empty());
  const std::regex block("```tfs\n([\\s\\S]*?)```");
  const std::regex fileLine("^-- file: (\\S+)\\.tfs\n");
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), block); it != std::sregex_iterator(); ++it) {
    const std::string code = (*it)[1];
    std::smatch named;
    std::string name = "example" + std::to_string(names.size());
    if (std::regex_search(code, named, fileLine)) name = named[1];
    ASSERT_TRUE(WriteFile(dir / (name + ".tfs"), code));
    names.push_back(name);
  }
  EXPECT_GE(names.size(), 8u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Compile(dir, name);
  }
  // The tutorial's first examples print what the text says.
  const runResult first = Vmc({"run", dir / "example1.vmc", "--post", "1", "-4", "play"});
  EXPECT_EQ(first.out, "Score: 100\nHello Ann!\nPLAY clicked, 1 clicks so far\n");
}

// Each kind of error at its line and column, with the line and a caret; a file's errors all in
// one run, in order.
TEST(VmcCompile, ErrorsNameTheirPlaceAndSayWhatToDo) {
  TempDir dir;
  struct errorCase {
    const char* source;
    const char* expected;
  };
  const errorCase cases[] = {
      {"var x = 1\nx = (2 +\n", "bad.tfs:2:9: expected a value, found the end of the file"},
      {"App.Print(\"open\n", "bad.tfs:1:11: this text has no closing \" on its line"},
      {"var x = 99999999999\n", "bad.tfs:1:9: 99999999999 does not fit in 32 bits"},
      {"var x = 1\nx == 2\n", "bad.tfs:2:3: \"==\" compares; use \"=\" to assign"},
      {"App.Print(y)\n", "bad.tfs:1:11: \"y\" is not declared; declare it with var y = value"},
      {"button B { lefty = 1 }\n", "bad.tfs:1:12: a button has no attribute \"lefty\"; it has order, display, left"},
      {"label L { }\nL.textWidth = 3\n", "bad.tfs:2:3: L.textWidth can be read but not set"},
      {"list L { }\nL.items = 3\n", "bad.tfs:2:3: items holds one value per item: write L.items[index]"},
      {"button B { }\nApp.Print(B.wobble)\n", "bad.tfs:2:13: a button has no attribute \"wobble\"; it has left, top"},
      {"wait\n", "bad.tfs:1:1: a wait here would stop the main thread before the screen is ready"},
      {"on click { wait(3) }\n", "bad.tfs:1:12: a wait here would stop the main thread inside a handler"},
      {"function pause() { wait }\non click { pause() }\n", "bad.tfs:2:12: pause waits, and here it would run on the main thread"},
      {"var score = 0\nstart { score += 1; wait }\n", "bad.tfs:2:9: \"score\" is a screen variable of the main thread"},
      {"var score = 0\nfunction add() { score += 1 }\nstart add()\n", "bad.tfs:3:7: add uses screen variables"},
      {"on click { var k = 1\n start { App.Print(k) } }\n", "bad.tfs:2:20: \"k\" belongs to the code that started this thread"},
      {"function f() { start { wait } }\n", "bad.tfs:1:16: start is allowed in the main code, in handlers and in started threads"},
      {"while true { App.Print(1) }\n", "bad.tfs:1:1: this loop never ends"},
      {"start { while true { App.Print(1) } }\n", "bad.tfs:1:9: this loop never waits"},
      {"break\n", "bad.tfs:1:1: break is only allowed inside a loop"},
      {"for i = 1, 9, 0 { }\n", "bad.tfs:1:15: the step of a for loop is a number other than 0"},
      {"var t = \"a\" * 2\n", "bad.tfs:1:13: \"*\" on a text gives nothing useful"},
      {"var x = App.Get()\n", "bad.tfs:1:13: an app routine gives its results through out parameters"},
      {"function f(a) { return a }\nApp.Print(f(1, 2))\n", "bad.tfs:2:11: f takes 1 value(s), not 2"},
      {"function f() { }\nApp.Print(f())\n", "bad.tfs:2:11: f returns no value"},
      {"App.Print(Start())\n", "bad.tfs:1:11: there is no routine named \"Start\"; app routines of the game are called as App.Start(...)"},
      {"const A = 1\nvar A = 2\n", "bad.tfs:2:5: \"A\" is already declared at line 1"},
      {"button ok { }\nbutton OK { }\n", "bad.tfs:2:8: another object is also named \"OK\""},
      {"var length = 1\n", "bad.tfs:1:5: \"length\" is the name of a built-in routine"},
      {"on clack { }\n", "bad.tfs:1:4: expected an event after on: tick, slider_changed, press, click"},
      {"on click NOPE { }\n", "bad.tfs:1:10: there is no object named \"NOPE\" to listen to"},
      {"var s = \"x\"\nif s { }\n", "bad.tfs:2:4: a text is not a condition"},
      {"const C = random(3)\n", "bad.tfs:1:11: the value of a constant must be known when compiling"},
      {"var x = 0\nApp.Get(out 3)\n", "bad.tfs:2:9: out takes a variable to receive the result"},
  };
  for (const errorCase& c : cases) {
    const std::string err = Errors(dir, c.source);
    EXPECT_NE(err.substr(0, err.find('\n')).find(std::string("/") + c.expected), std::string::npos)
        << c.source << "\n--- gave ---\n" << err;
  }

  const runResult missing = Vmc({"compile", dir / "none.tfs", dir / "none.vmc"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.tfs: cannot read the file"), std::string::npos) << missing.err;

  // The line and a caret under the column.
  EXPECT_NE(Errors(dir, "var a = 1\n  a = a + nope\n").find("\n    a = a + nope\n            ^\n"), std::string::npos);

  // Several errors, syntax and meaning, all reported in file order, then the count.
  const std::string many = Errors(dir,
                                  "var a = 1\n"
                                  "a = )\n"
                                  "App.Print(b)\n"
                                  "wait\n"
                                  "button B { frame = \"one\" }\n"
                                  "function f( { }\n"
                                  "App.Print(a + c)\n");
  std::vector<std::string> places;
  const std::regex place("(^|\n)[^\n]*/bad\\.tfs:(\\d+):(\\d+): ");
  for (auto it = std::sregex_iterator(many.begin(), many.end(), place);
       it != std::sregex_iterator(); ++it) {
    places.push_back((*it)[2].str() + ":" + (*it)[3].str());
  }
  EXPECT_EQ(places, (std::vector<std::string>{"2:5", "3:11", "4:1", "5:20", "6:13", "7:15"})) << many;
  EXPECT_NE(many.find("vmc: 6 errors in "), std::string::npos) << many;
}

// A thread that ends by a failure is named with its source line when the run has the map.
TEST(VmcCompile, TheMapNamesTheLineWhereAThreadFailed) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "s.tfs",
                        "list L { }\n"
                        "var n = 2\n"
                        "App.Print(\"loaded\")\n"
                        "on click {\n"
                        "  App.Print(\"handler\")\n"
                        "  App.Print(L.items[n])\n"
                        "  App.Print(\"not reached\")\n"
                        "}\n"
                        "start {\n"
                        "  wait\n"
                        "  App.Fail()\n"
                        "  App.Print(\"not reached either\")\n"
                        "}\n"));
  Compile(dir, "s");
  const runResult run = Vmc({"run", dir / "s.vmc", "--frames", "3", "--post", "1", "-4", "L", "--map", dir / "s.map"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "loaded\nhandler\n");
  EXPECT_NE(run.err.find("s.tfs:6\n    App.Print(L.items[n])\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("s.tfs:11\n    App.Fail()\n"), std::string::npos) << run.err;
  // Without the map nothing is said about threads.
  const runResult plain = Vmc({"run", dir / "s.vmc", "--frames", "3", "--post", "1", "-4", "L"});
  EXPECT_EQ(plain.err.find("ended by a failure"), std::string::npos);
  EXPECT_EQ(Vmc({"run", dir / "s.vmc", "--map", dir / "missing.map"}).status, 1);
}

// A compiled menu driven by the real pointer: the engine's events reach the handlers by name,
// and a handler starts a thread that animates the button frame by frame.
TEST(VmcCompile, AMenuDrivenByThePointer) {
  TempDir dir;
  MakeFolders(dir / "Bin/Art");
  SavePicture(dir / "Bin/Art/a.tga", 16, 8, 0xFFFF0000u);
  const std::string out = Printed(dir, R"(
display main { width = 1280, height = 720, mode = fill }
button PLAY { frames = ["Bin\\Art\\a.tga"], left = 100, top = 200 }
function slide(steps) {
  for i = 1, steps { PLAY.left += 10; wait }
  App.Print("slid to " + PLAY.left)
}
on enter PLAY { App.Print("enter") }
on leave PLAY { App.Print("leave") }
on press PLAY { App.Print("press") }
on click PLAY { App.Print("click"); start slide(2) }
)",
                                  {"--frames", "8", "--move", "1", "104", "204", "--press", "2", "--release", "3",
                                   "--move", "7", "600", "600"});
  // The first step moves the button's left edge past the pointer (x 104), which leaves it.
  EXPECT_EQ(out, "enter\npress\nclick\nleave\nslid to 120\n");
}

}  // namespace

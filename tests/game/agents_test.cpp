// Agents on real files and real textures (SDL's offscreen driver): exposure sheets, animation
// steps, the hit rectangle, inventories and their drawing, the concept art, and what saves keep.
#include "game/agents.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "data/data_file.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "graphics/model.h"
#include "graphics/offscreen_video.h"
#include "image/image.h"
#include "state/state.h"
#include "support/test_support.h"

namespace {

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
// The calling thread the tests' animations are registered for.
constexpr int32_t kScript = 7, kThread = 8;

// Lines as the game's sheets end them.
std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

class Agents : public ::testing::Test, protected tftest::OffscreenCanvas {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    DataFileStart();
    StateStart();
    StateRegisterEnter(kGameStateGame, {});
    GameActionsClear();
    if (gVideo) {
      ModelStart();
      GraphicsStart();
      AgentsUseDisplay(Display(1280, 720));
    }
  }
  void TearDown() override {
    AgentsClear();
    ConceptArtFree();
    GameActionsClear();
    if (gVideo) {
      GraphicsEnd();
      ModelEnd();
      DestroyWindows();
    }
    StateEnd();
    DataFileEnd();
  }
  void NeedVideo() {
    if (!gVideo) GTEST_SKIP() << "no video device";
  }

  // A sheet under Bin\Agents; its data name.
  std::string Sheet(const std::string& name, const std::string& text) {
    EXPECT_TRUE(tftest::WriteFile(dir_ / ("Bin/Agents/" + name), text));
    return "Bin\\Agents\\" + name;
  }
  // A one-colour Targa picture under Bin\Agents; its data name.
  std::string Picture(const std::string& name, int32_t width, int32_t height, uint32_t colour) {
    imageChain image = ImageNewChain();
    image->width = width;
    image->height = height;
    image->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
    tftest::MakeFolders(dir_ / "Bin/Agents/");
    ImageSave(dir_ / ("Bin/Agents/" + name), image.get());
    return "Bin\\Agents\\" + name;
  }
  agent& Bob() { return const_cast<agent&>(*AgentFind("bob")); }
  bool Pending() { return GameActionsPending(kScript, kThread); }

  tftest::TempDir dir_;
};

// ---------------------------------------------------------------------------------------------
// Exposure sheets (no pictures are loaded here)

TEST_F(Agents, SheetsThatAreRefused) {
  tftest::LogCapture log;
  cycle c;
  struct refusal {
    const char* text;
    const char* message;
  };
  const refusal refusals[] = {
      {"2.0\r\n1\r\na.tga\r\n0\r\n", "Unsupported major version \"2\" in exposure sheet \"Bin\\Agents\\bad.txt\"."},
      {"1.1\r\n1\r\na.tga\r\n0\r\n", "Unsupported minor version \"1\" in exposure sheet \"Bin\\Agents\\bad.txt\"."},
      {"10\r\n1\r\na.tga\r\n0\r\n", "No major/minor version separator in exposure sheet \"Bin\\Agents\\bad.txt\"."},
      {"1.0\r\n0\r\na.tga\r\n0\r\n", "Invalid frame count \"0\" in exposure sheet"},
      {"1.0\r\nmany\r\na.tga\r\n0\r\n", "Invalid frame count \"many\""},
      // Five frames need ten lines, nine bytes at least: more than the seven left after the count.
      {"1.0\r\n5\r\na\r\n0\r\n", "Invalid frame count \"5\""},
      {"1.0\r\n2000000000\r\n", "Invalid frame count \"2000000000\""},
  };
  for (const refusal& r : refusals) {
    log.Clear();
    c.frames.resize(2);
    const std::string file = Sheet("bad.txt", r.text);
    EXPECT_FALSE(AnimationOpen(c, file, true)) << r.text;
    EXPECT_TRUE(log.Contains(std::string("AnimationOpen - ") + r.message)) << r.text;
    int errors = 0;
    for (const std::string& line : log.lines()) errors += line.rfind("Error: ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(errors, 1) << r.text;
    EXPECT_TRUE(c.frames.empty());
    EXPECT_FALSE(c.loaded);
    EXPECT_TRUE(c.persistent) << "stored in every case";
    EXPECT_EQ(c.sheetFile, file);
  }
  log.Clear();
  EXPECT_FALSE(AnimationOpen(c, "Bin\\Agents\\none.txt", false));
  EXPECT_TRUE(log.Contains("AnimationOpen - Unable to open animation exposure sheet \"Bin\\Agents\\none.txt\"."));
}

TEST_F(Agents, SheetFramesCarryTheSpritePoint) {
  const std::string file = Sheet("walk.txt", Lines({"0.0", "3",                                             //
                                                    "a.tga", "4", "sprite=5,6", "head=1,2", "repeat=3", "junk",  //
                                                    "b.tga", "2", "prev=7,8", "colour=1,2",                     //
                                                    "c.tga", "3", "sprite=9,10", "next=-1,-2", "repeat=-1"}));
  cycle c;
  ASSERT_TRUE(AnimationOpen(c, file, false));
  EXPECT_TRUE(c.loaded);
  ASSERT_EQ(c.frames.size(), 3u);
  const cycleFrame &a = c.frames[0], &b = c.frames[1], &last = c.frames[2];
  EXPECT_EQ(a.pictureFile, "Bin\\Agents\\a.tga") << "relative to the sheet's folder";
  EXPECT_EQ(a.spriteX, 5);
  EXPECT_EQ(a.spriteY, 6);
  EXPECT_TRUE(a.head);
  EXPECT_EQ(a.headY, 2);
  EXPECT_EQ(a.repeat, 3);
  EXPECT_EQ(b.spriteX, 5) << "carried over";
  EXPECT_EQ(b.spriteY, 6);
  EXPECT_EQ(b.prevX, 7);
  EXPECT_FALSE(b.head);
  EXPECT_EQ(last.spriteX, 9);
  EXPECT_EQ(last.nextY, -2);
  EXPECT_EQ(last.repeat, -1);

  // Opened again: a persistent cycle of the same file is kept, any other is read again.
  ASSERT_TRUE(AnimationOpen(c, file, true));
  Sheet("walk.txt", Lines({"1.0", "1", "z.tga", "0"}));
  ASSERT_TRUE(AnimationOpen(c, file, true));
  EXPECT_EQ(c.frames.size(), 3u) << "not reloaded";
  ASSERT_TRUE(AnimationOpen(c, file, false));
  ASSERT_TRUE(AnimationOpen(c, file, false));
  EXPECT_EQ(c.frames.size(), 1u) << "a cycle that was not persistent is reloaded";

  // An attribute count beyond the end of the file ends with the file; a missing frame is empty.
  ASSERT_TRUE(AnimationOpen(c, Sheet("short.txt", "1.0\r\n2\r\na.tga\r\n2000000000\r\nsprite=1,1\r\n"), false));
  ASSERT_EQ(c.frames.size(), 2u);
  EXPECT_EQ(c.frames[1].pictureFile, "Bin\\Agents\\");
  EXPECT_EQ(c.frames[1].spriteX, 1);
}

// ---------------------------------------------------------------------------------------------
// Agents

TEST_F(Agents, AnimationSlotsDirectionsAndTheHitRectangle) {
  NeedVideo();
  Picture("body.tga", 20, 30, kRed);
  Picture("stand.tga", 40, 10, kGreen);
  const std::string walk = Sheet("walk.txt", Lines({"1.0", "1", "body.tga", "2", "sprite=10,30", "head=10,2"}));
  const std::string stand = Sheet("stand.txt", Lines({"1.0", "1", "stand.tga", "2", "sprite=3,3", "head=20,5"}));
  AgentAdd("Bob", 0);
  AgentAdd("BOB", 0);
  EXPECT_EQ(AgentsSnapshot().size(), 1u) << "one agent per name";
  EXPECT_FALSE(AgentHit("bob", 0, 0)) << "no cycles yet";
  AgentSetPosition("bob", 100, 200);
  AgentSetAnimation("bob", 3, walk);
  AgentSetAnimation("bob", 13, walk);
  ASSERT_EQ(Bob().cycles.size(), 4u) << "slots 0..12 only";
  const cycleFrame& body = Bob().cycles[3].frames[0];
  const int32_t picture = body.picture;
  ASSERT_NE(picture, kNoId);
  EXPECT_EQ(body.width, 20);
  EXPECT_EQ(body.height, 30);
  EXPECT_FLOAT_EQ(ModelGetVertex(picture, 0).x, -10.0f) << "drawn with its sprite point on the agent";
  EXPECT_EQ(body.headY, -28) << "head point relative to the first sprite point";
  Sheet("walk.txt", Lines({"1.0", "1", "stand.tga", "0"}));
  AgentSetAnimation("bob", 3, walk);
  EXPECT_EQ(Bob().cycles[3].frames[0].picture, picture) << "the same sheet is not loaded again";

  // Current cycle 3, frame 0: the body's rectangle.
  EXPECT_TRUE(AgentHit("BOB", 90, 170));
  EXPECT_TRUE(AgentHit("bob", 110, 200));
  EXPECT_FALSE(AgentHit("bob", 111, 200));
  EXPECT_FALSE(AgentHit("bob", 100, 201));
  EXPECT_FALSE(AgentHit("bob", 89, 170));
  // The standing head frame widens it: laid with its head point (20, 5) on (100, 172).
  AgentSetAnimation("bob", 11, stand);
  EXPECT_FLOAT_EQ(ModelGetVertex(Bob().cycles[11].frames[0].picture, 0).x, 0.0f) << "standing origin stays";
  EXPECT_TRUE(AgentHit("bob", 80, 170));
  EXPECT_TRUE(AgentHit("bob", 120, 167));
  EXPECT_FALSE(AgentHit("bob", 79, 170));
  EXPECT_FALSE(AgentHit("bob", 100, 166));
  AgentSetScale("bob", 200);
  EXPECT_FLOAT_EQ(ModelGetWidth(picture), 40.0f) << "loaded pictures follow the scale";
  EXPECT_TRUE(AgentHit("bob", 60, 134));  // head at (100, 144), standing from (60, 134)
  EXPECT_FALSE(AgentHit("bob", 59, 134));
  AgentSetScale("bob", 0);
  EXPECT_FLOAT_EQ(Bob().scale, 1.0f) << "the automatic scale";
  EXPECT_FLOAT_EQ(ModelGetWidth(picture), 20.0f);

  // Directions change only while a walking or the custom cycle shows.
  AgentSetDirection("bob", 1);
  EXPECT_EQ(Bob().direction, 1);
  EXPECT_EQ(Bob().currentCycle, 1);
  EXPECT_EQ(Bob().standingCycle, 9);
  AgentSetDirection("bob", 4);
  EXPECT_EQ(Bob().direction, 1);
  Bob().currentCycle = 5;
  AgentSetDirection("bob", 2);
  EXPECT_EQ(Bob().direction, 1);
  EXPECT_EQ(Bob().currentCycle, 5);
  EXPECT_EQ(Bob().standingCycle, 9);
  EXPECT_FALSE(AgentHit("bob", 100, 190)) << "cycle 5 has no frames";
  EXPECT_FALSE(AgentHit("nobody", 100, 190));
}

TEST_F(Agents, CustomAnimationsStepRepeatAndComplete) {
  NeedVideo();
  for (const char* name : {"w0.tga", "w1.tga", "w2.tga"}) Picture(name, 10, 10, kWhite);
  const std::string wave = Sheet("wave.txt", Lines({"1.0", "3",                                           //
                                                    "w0.tga", "3", "sprite=5,10", "next=3,0", "repeat=2",  //
                                                    "w1.tga", "1", "prev=1,0",                              //
                                                    "w2.tga", "1", "sprite=6,10"}));
  AgentAdd("bob", 0);
  AgentSetPosition("bob", 100, 50);
  AgentAnimate("bob", wave, false, kScript, kThread, 5000);
  EXPECT_TRUE(Pending());
  EXPECT_EQ(Bob().currentCycle, kAgentCustomCycle);
  EXPECT_EQ(Bob().currentFrame, 0) << "the first step shows the first frame";
  EXPECT_NE(Bob().cycles[kAgentCustomCycle].frames[0].picture, kNoId);
  AgentAnimationStep("bob", 5050);
  EXPECT_EQ(Bob().currentFrame, 0) << "not 100 ms yet";
  AgentAnimationStep("bob", 5100);
  EXPECT_EQ(Bob().currentFrame, 0) << "held: repeat 2";
  AgentAnimationStep("bob", 5200);
  EXPECT_EQ(Bob().currentFrame, 1);
  EXPECT_EQ(Bob().cycles[kAgentCustomCycle].frames[0].picture, kNoId) << "a passing cycle frees what it showed";
  EXPECT_EQ(Bob().x, 102) << "5 + 3 - 1 - 5";
  AgentAnimationStep("bob", 5300);
  EXPECT_EQ(Bob().currentFrame, 2);
  EXPECT_EQ(Bob().x, 103) << "6 + 0 - 0 - 5";
  EXPECT_EQ(Bob().y, 50);
  EXPECT_TRUE(Pending());
  AgentAnimationStep("bob", 5400);
  EXPECT_FALSE(Pending()) << "past the last frame the action completes";
  EXPECT_EQ(Bob().currentCycle, 3) << "back to the direction";
  EXPECT_EQ(Bob().currentFrame, 0);
  EXPECT_TRUE(Bob().cycles[kAgentCustomCycle].frames.empty());

  // Kept frames survive a change of direction; passing ones go with it, and so does their action.
  AgentAnimate("bob", wave, true, kScript, kThread, 6000);
  AgentSetDirection("bob", 0);
  EXPECT_FALSE(Pending());
  EXPECT_EQ(Bob().cycles[kAgentCustomCycle].frames.size(), 3u);
  EXPECT_NE(Bob().cycles[kAgentCustomCycle].frames[0].picture, kNoId);
  AgentAnimate("bob", wave, false, kScript, kThread, 7000);
  AgentSetDirection("bob", 2);
  EXPECT_TRUE(Bob().cycles[kAgentCustomCycle].frames.empty());

  // A negative repeat ends the animation on its frame, which then stays.
  const std::string stop = Sheet("stop.txt", Lines({"1.0", "2", "w0.tga", "0", "w1.tga", "1", "repeat=-1"}));
  AgentAnimate("bob", stop, false, kScript, kThread, 8000);
  EXPECT_TRUE(Pending());
  AgentAnimationStep("bob", 8100);
  EXPECT_FALSE(Pending());
  AgentAnimationStep("bob", 8200);
  AgentAnimationStep("bob", 8300);
  EXPECT_EQ(Bob().currentCycle, kAgentCustomCycle);
  EXPECT_EQ(Bob().currentFrame, 1);
  // A sheet that fails leaves the animation as it was, with no action.
  AgentAnimate("bob", "Bin\\Agents\\none.txt", false, kScript, kThread, 9000);
  EXPECT_FALSE(Pending());
  AgentWalkTo("bob", 5, 5, "walk");
  int32_t x = 0, y = 0;
  EXPECT_TRUE(AgentGetDestination("bob", x, y));
  EXPECT_EQ(x, Bob().x) << "no walk map: no path";
}

TEST_F(Agents, InventoriesSelectRemoveAndDraw) {
  NeedVideo();
  const std::string red = Picture("red.tga", 20, 20, kRed), green = Picture("green.tga", 20, 20, kGreen);
  const std::string blue = Picture("blue.tga", 40, 40, kBlue);
  AgentAdd("bob", 0);
  AgentInventoryAdd("bob", "Key", green);
  AgentInventoryAdd("bob", "map", green);
  AgentInventoryAdd("bob", "coin", red);
  AgentInventoryAdd("bob", "KEY", red);
  AgentInventoryAdd("nobody", "hat", red);
  ASSERT_EQ(Bob().inventory.size(), 3u);
  EXPECT_EQ(Bob().inventory[0].name, "KEY") << "a replaced item keeps its place";
  EXPECT_EQ(Bob().inventory[0].pictureFile, red);
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "key location"), 1);
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "map location"), 1);

  AgentInventorySelect("bob", 2);
  AgentInventoryRemove("bob", "key");
  EXPECT_EQ(Bob().selectedItem, 1) << "the same item stays selected";
  EXPECT_EQ(Bob().inventory[1].name, "COIN");
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "KEY location"), 0);
  AgentInventoryRemove("bob", "map");
  EXPECT_EQ(Bob().selectedItem, 0);
  AgentInventoryRemove("bob", "coin");
  EXPECT_EQ(Bob().selectedItem, -1) << "removing the selected item leaves none";
  AgentInventorySelect("bob", 0);
  EXPECT_EQ(Bob().selectedItem, -1) << "out of range";

  // Drawn in a row at y 640 from x 51, 110 apart, the highlight behind the selected item.
  AgentInventoryAdd("bob", "key", red);
  AgentInventoryAdd("bob", "map", green);
  AgentInventorySetHighlight("bob", blue);
  AgentInventorySelect("bob", 1);
  AgentInventoryRender("bob");
  const std::vector<uint32_t> frame = ReadBack();
  auto at = [&](int32_t x, int32_t y) { return frame[static_cast<size_t>(y) * 1280 + static_cast<size_t>(x)]; };
  EXPECT_EQ(at(51, 640), kRed);
  EXPECT_EQ(at(70, 659), kRed);
  EXPECT_EQ(at(71, 660), kBlack) << "no highlight behind an item not selected";
  EXPECT_EQ(at(161, 640), kGreen);
  EXPECT_EQ(at(190, 670), kBlue);
  EXPECT_EQ(at(201, 680), kBlack);
  EXPECT_EQ(at(50, 640), kBlack);

  AgentInventoryEmpty("bob");
  EXPECT_TRUE(Bob().inventory.empty());
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "map location"), 0);
}

TEST_F(Agents, ConceptArtIsCentred) {
  NeedVideo();
  ConceptArtSet(Picture("art.tga", 100, 50, kWhite), 200);
  glClear(GL_DEPTH_BUFFER_BIT);
  ConceptArtRender();
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "depth testing only for the draw";
  const std::vector<uint32_t> frame = ReadBack();
  auto at = [&](int32_t x, int32_t y) { return frame[static_cast<size_t>(y) * 1280 + static_cast<size_t>(x)]; };
  EXPECT_EQ(at(590, 75), kWhite);
  EXPECT_EQ(at(689, 124), kWhite);
  EXPECT_EQ(at(589, 75), kBlack);
  EXPECT_EQ(at(690, 124), kBlack);
  EXPECT_EQ(at(590, 74), kBlack);
}

TEST_F(Agents, SnapshotsRestoreAgentsAndItems) {
  NeedVideo();
  const std::string red = Picture("red.tga", 8, 8, kRed);
  AgentsSetDialogCameraOffset(4, 5);
  AgentAdd("bob", 0);
  AgentAdd("Ann", 0);
  AgentSetDirection("bob", 1);
  AgentSetPosition("bob", 30, 40);
  AgentSetDialogOffset("bob", -7, 9);
  AgentInventoryAdd("bob", "key", red);
  AgentInventoryAdd("bob", "map", "Bin\\Agents\\missing.tga");
  agentDialogAnchor anchor;
  ASSERT_TRUE(AgentDialogAnchor("BOB", anchor));
  EXPECT_EQ(anchor.x, 30);
  EXPECT_EQ(anchor.direction, 1);
  EXPECT_EQ(anchor.offsetX, -7);
  EXPECT_EQ(anchor.cameraY, 5) << "the default given before the agent was added";
  EXPECT_FALSE(AgentDialogAnchor("nobody", anchor));

  const std::vector<agentRecord> saved = AgentsSnapshot();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[1].name, "ANN");
  ASSERT_EQ(saved[0].items.size(), 2u);
  EXPECT_EQ(saved[0].items[0].pictureFile, red);

  StateVariableSetInteger(kGameStateGame, "key location", 5);
  AgentAdd("carl", 0);
  AgentsRestore(saved);
  const std::vector<agentRecord> restored = AgentsSnapshot();
  ASSERT_EQ(restored.size(), 2u);
  EXPECT_EQ(AgentFind("carl"), nullptr) << "every agent replaced";
  EXPECT_EQ(restored[0].name, "BOB");
  EXPECT_EQ(restored[0].direction, 1);
  EXPECT_EQ(restored[0].x, 30);
  EXPECT_EQ(restored[0].y, 40);
  ASSERT_EQ(restored[0].items.size(), 2u);
  EXPECT_EQ(restored[0].items[1].name, "MAP");
  EXPECT_EQ(restored[0].items[1].pictureFile, "Bin\\Agents\\missing.tga");
  EXPECT_NE(Bob().inventory[0].picture, kNoId) << "pictures loaded again";
  EXPECT_EQ(Bob().offsetX, 0) << "what saves do not keep has its default";
  EXPECT_EQ(Bob().selectedItem, -1);
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "key location"), 5) << "state variables untouched";

  AgentsClear();
  EXPECT_TRUE(AgentsSnapshot().empty());
}

}  // namespace

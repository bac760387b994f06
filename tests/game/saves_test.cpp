// Save games: the slot list's order and numbering, the slot texts, failed writes, loading back,
// damaged files, the autosave during a cut scene, and the picture of a frame drawn with OpenGL.
#include "game/saves.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/bytes.h"
#include "core/log.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "graphics/model.h"
#include "graphics/offscreen_video.h"
#include "image/image.h"
#include "script/script.h"
#include "state/state.h"
#include "state/state_internal.h"
#include "support/test_support.h"

namespace {

bool& gVideo = tftest::OffscreenVideoStarted();
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new tftest::OffscreenVideoEnvironment);

uint32_t gTick = 0;
uint32_t FakeTick() { return gTick; }

// A frame of one colour.
imageData Frame(uint32_t colour, int32_t width = 64, int32_t height = 40) {
  imageData frame;
  frame.width = width;
  frame.height = height;
  frame.pixels.assign(static_cast<size_t>(width) * height, colour);
  return frame;
}

void Text(ByteWriter& out, const std::string& text) {
  out.I32(static_cast<int32_t>(text.size()));
  out.Text(text);
}

// A save file built here from the layout, not by the game's writer.
std::string SaveFile(const std::string& description, double savedAt, int32_t version = 3, int32_t width = 192,
                     int32_t height = 120) {
  ByteWriter app;
  app.I32(version);
  Text(app, description);
  uint64_t bits = 0;
  std::memcpy(&bits, &savedAt, sizeof bits);
  app.U32(static_cast<uint32_t>(bits));
  app.U32(static_cast<uint32_t>(bits >> 32));
  app.I32(61000);  // play time
  app.I32(50);     // percent
  app.I32(3);      // difficulty
  if (version > 1) Text(app, "a note");
  app.I32(width);
  app.I32(height);
  app.Fill(0x40, static_cast<size_t>(width) * height * 4);
  app.I32(1);  // one agent with one item
  Text(app, "HERO");
  app.I32(1);
  app.I32(100);
  app.I32(200);
  app.I32(1);
  Text(app, "KEY");
  Text(app, "Bin\\key.tga");
  ByteWriter file;
  file.I32(1);
  file.Text("STA");
  file.I32(0);
  file.Text("APP");
  file.I32(static_cast<int32_t>(app.Size()));
  file.Bytes(app.Data().data(), app.Size());
  return file.AsText();
}

// The error lines a capture holds (the log's start banner aside).
size_t Errors(const tftest::LogCapture& log) {
  return static_cast<size_t>(std::count_if(log.lines().begin(), log.lines().end(),
                                           [](const std::string& line) { return line.rfind("Error: ", 0) == 0; }));
}

class Saves : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    StateStart();
    gTick = 1000;  // the game clock on a tick the tests move
    StateSetTickSource(FakeTick);
    StateRegisterUpdate(kGameStateGame, nullptr);
    ASSERT_TRUE(StateSetSaveName(kGameStateGame, "game"));
    StateVariableSetInteger(kGameStateGame, "difficulty", 2);
    folder_ = dir_ / "saves/";
    tftest::MakeFolders(folder_);
    SavesScan(folder_, kNoId);
  }
  void TearDown() override {
    SavesFree();
    StateSetTickSource(nullptr);
    StateEnd();
  }

  std::string FileOf(int32_t slot) {
    const saveData* save = SaveSlot(slot);
    return save != nullptr ? save->fileName : "(none)";
  }

  tftest::TempDir dir_;
  std::string folder_;
};

TEST_F(Saves, NewSavesGoFirstNumbersAreReusedAndAnOverwrittenSaveMovesToSlotOne) {
  EXPECT_FALSE(SavesExist());
  EXPECT_EQ(SavesCount(), 0);
  const imageData red = Frame(0xFFFF0000u), blue = Frame(0xFF0000FFu);
  ASSERT_TRUE(SaveGameWrite("", "first", 10, "", &red));
  ASSERT_TRUE(SaveGameWrite("", "second", 20, "", &red));
  ASSERT_TRUE(SaveGameWrite("", "third", 30, "", &red));
  EXPECT_EQ(FileOf(1), folder_ + "savegame3.sav");
  EXPECT_EQ(FileOf(2), folder_ + "savegame2.sav");
  EXPECT_EQ(FileOf(3), folder_ + "savegame1.sav");
  EXPECT_EQ(SaveSlot(3)->picture[0], 0xFFFF0000u);

  // Saving over the first save (as its name comes from the slot list) moves it to slot 1 with the
  // new picture.
  ASSERT_TRUE(SaveGameWrite(FileOf(3), "first again", 11, "note", &blue));
  EXPECT_EQ(SavesCount(), 3);
  EXPECT_EQ(FileOf(1), folder_ + "savegame1.sav");
  EXPECT_EQ(SaveSlot(1)->description, "first again");
  EXPECT_EQ(SaveSlot(1)->picture[0], 0xFF0000FFu);
  EXPECT_EQ(FileOf(2), folder_ + "savegame3.sav");
  EXPECT_EQ(FileOf(3), folder_ + "savegame2.sav");

  // With savegame1 and savegame3 present, the next new save is savegame2.
  std::filesystem::remove(folder_ + "savegame2.sav");
  EXPECT_EQ(SaveNextFileName(folder_), folder_ + "savegame2.sav");

  // The autosave has slot 0 and is not counted.
  ASSERT_TRUE(SaveGameAuto(5, nullptr));
  EXPECT_EQ(FileOf(0), folder_ + "autosave.sav");
  EXPECT_EQ(SaveSlot(0)->description, "< Autosave >");
  EXPECT_EQ(SaveSlot(0)->picture[0], 0xFF000000u) << "no frame: a black picture";
  EXPECT_EQ(SavesCount(), 3);
  EXPECT_TRUE(SavesExist());
  EXPECT_EQ(SaveSlot(4), nullptr);
  EXPECT_EQ(SaveSlot(-1), nullptr);

  // The scan: newest first, and of two saves of one moment the later-scanned (by name) in front.
  for (const char* name : {"savegame1.sav", "savegame3.sav", "autosave.sav"}) std::filesystem::remove(folder_ + name);
  const double noon = SaveDateTime(2026, 12, 8, 12, 0, 0);
  ASSERT_TRUE(tftest::WriteFile(folder_ + "a.sav", SaveFile("old", noon - 1)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "b.sav", SaveFile("tied, scanned first", noon)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "c.SAV", SaveFile("tied, scanned later", noon)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "d.sav", SaveFile("version 1", noon - 2, 1)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "AutoSave.sav", SaveFile("auto", noon + 5)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "e.txt", SaveFile("not a save", noon + 9)));
  SavesScan(folder_, kNoId);
  ASSERT_EQ(SavesCount(), 4);
  EXPECT_EQ(SaveSlot(0)->description, "auto");
  EXPECT_EQ(SaveSlot(1)->description, "tied, scanned later");
  EXPECT_EQ(SaveSlot(2)->description, "tied, scanned first");
  EXPECT_EQ(SaveSlot(3)->description, "old");
  EXPECT_EQ(SaveSlot(4)->description, "version 1");
  EXPECT_EQ(SaveSlot(4)->note, "") << "version 1 has no note";
  EXPECT_EQ(SaveSlot(3)->note, "a note");
  EXPECT_EQ(SaveSlot(3)->picture[0], 0xFF404040u);
}

TEST_F(Saves, DetailsTextShowsDateTwelveHourClockPlayTimePercentAndDifficulty) {
  saveData save;
  save.savedAt = SaveDateTime(2026, 12, 8, 12, 30, 0);
  save.playTime = 3725000;
  save.percent = 40;
  save.difficulty = 2;
  EXPECT_EQ(SaveDetailsText(save), "2026-Dec-8  12:30:00PM\rPlay Time: 1H 02M 05S\r40% Complete\rDetective");
  auto clock = [&](int32_t hour, int32_t minute) {
    save.savedAt = SaveDateTime(2026, 1, 31, hour, minute, 0);
    const std::string text = SaveDetailsText(save);
    return text.substr(text.find("  ") + 2, text.find('\r') - text.find("  ") - 2);
  };
  EXPECT_EQ(clock(0, 5), "12:05:00AM");
  EXPECT_EQ(clock(13, 0), "1:00:00PM");
  EXPECT_EQ(clock(11, 59), "11:59:00AM");
  EXPECT_EQ(clock(23, 59), "11:59:00PM");
  save.difficulty = 4;
  save.playTime = 36000000 * 3;  // hours are not wrapped
  const std::string text = SaveDetailsText(save);
  EXPECT_EQ(text.substr(text.find("Play")), "Play Time: 30H 00M 00S\r40% Complete\r");
}

TEST_F(Saves, AFailedWriteKeepsThePreviousFileAndTheSlotList) {
  const imageData red = Frame(0xFFFF0000u);
  ASSERT_TRUE(SaveGameWrite("", "kept", 10, "", &red));
  const std::string path = FileOf(1);
  const std::string before = tftest::ReadFile(path);

  // A folder in the way of a new save.
  tftest::MakeFolders(folder_ + "blocked.sav/inside");
  tftest::LogCapture log;
  EXPECT_FALSE(SaveGameWrite(folder_ + "blocked.sav", "lost", 20, "", &red));
  EXPECT_TRUE(log.Contains("StateSave - Unable to create file"));
  EXPECT_EQ(SavesCount(), 1);
  EXPECT_EQ(SaveSlot(1)->description, "kept");

  // A disk that fills up while the save is written, as a file-size limit below the save's size.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  if (saved.rlim_cur == RLIM_INFINITY || saved.rlim_cur >= 64 * 1024) {
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = SaveGameWrite(path, "lost", 20, "", &red);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_TRUE(tftest::ReadFile(path) == before) << "the previous save was overwritten";
    EXPECT_EQ(SavesCount(), 1);
    EXPECT_EQ(SaveSlot(1)->description, "kept");
  }

  // A folder that may not be written (only binding for a user other than root).
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(folder_.c_str(), 0500), 0);
    EXPECT_FALSE(SaveGameWrite(path, "lost", 20, "", &red));
    EXPECT_FALSE(SaveGameAuto(20, &red));
    chmod(folder_.c_str(), 0700);
    EXPECT_EQ(tftest::ReadFile(path), before);
    EXPECT_EQ(SavesCount(), 1);
    EXPECT_EQ(SaveSlot(1)->description, "kept");
    EXPECT_TRUE(SaveSlot(0)->fileName.empty());
  }
}

// Written and loaded back: the named states' variables, the game clock and the agents. With the
// agents' module merged, add agents with items before the save: the comparison then checks them.
TEST_F(Saves, ASaveLoadsBackVariablesClockAndAgents) {
  StateVariableSetText(kGameStateGame, "door", "open");
  StateChange(kGameStateGame);
  gTick += 3725000;
  const std::vector<agentRecord> agents = AgentsSnapshot();
  ASSERT_TRUE(SaveGameWrite("", "to load", 10, "", nullptr));
  StateVariableSetText(kGameStateGame, "door", "shut");
  StateVariableSetInteger(kGameStateGame, "difficulty", 1);
  StateResetTime(kGameStateGame);
  AgentsClear();

  ASSERT_TRUE(SaveGameLoad(1));
  std::string door;
  EXPECT_TRUE(StateVariableGetText(kGameStateGame, "door", door));
  EXPECT_EQ(door, "open");
  EXPECT_EQ(StateVariableGetInteger(kGameStateGame, "difficulty"), 2);
  EXPECT_EQ(StateGetTime(kGameStateGame), 3725000);
  const std::vector<agentRecord> restored = AgentsSnapshot();
  ASSERT_EQ(restored.size(), agents.size());
  for (size_t i = 0; i < agents.size(); ++i) {
    EXPECT_EQ(restored[i].name, agents[i].name);
    EXPECT_EQ(restored[i].x, agents[i].x);
    EXPECT_EQ(restored[i].y, agents[i].y);
    EXPECT_EQ(restored[i].direction, agents[i].direction);
    EXPECT_EQ(restored[i].items.size(), agents[i].items.size());
  }

  tftest::LogCapture log;
  EXPECT_FALSE(SaveGameLoad(0)) << "no autosave";
  EXPECT_FALSE(SaveGameLoad(7));
  EXPECT_EQ(Errors(log), 2u);
  std::filesystem::remove(FileOf(1));
  EXPECT_FALSE(SaveGameLoad(1));
  EXPECT_EQ(Errors(log), 3u);
}

// Damaged files are skipped with one line each; every cut-short prefix of a good file too, and
// a block of a newer version silently.
TEST_F(Saves, DamagedFilesAreSkippedWithOneLineEach) {
  const double noon = SaveDateTime(2026, 12, 8, 12, 0, 0);
  const std::string good = SaveFile("good", noon);
  std::string lyingText = good;
  lyingText[4 + 3 + 4 + 3 + 4 + 4 + 3] = '\x7f';  // the description's length
  std::string lyingAgents = good;
  const size_t agentCount = good.size() - (4 + 8 + 12 + 4 + 7 + 15);  // the one agent with its item
  lyingAgents[agentCount + 3] = '\x7f';  // two billion agents
  ASSERT_TRUE(tftest::WriteFile(folder_ + "good.sav", good));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "text.sav", lyingText));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "agents.sav", lyingAgents));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "small.sav", SaveFile("small picture", noon, 3, 96, 60)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "newer.sav", SaveFile("newer", noon, 4)));
  ASSERT_TRUE(tftest::WriteFile(folder_ + "nan.sav", SaveFile("no time", std::nan(""))));
  tftest::LogCapture log;
  SavesScan(folder_, kNoId);
  ASSERT_EQ(SavesCount(), 1);
  EXPECT_EQ(SaveSlot(1)->description, "good");
  EXPECT_EQ(Errors(log), 4u);
  for (const char* name : {"text.sav", "agents.sav", "small.sav", "nan.sav"}) {
    EXPECT_TRUE(log.Contains("SavesScan - Skipping the damaged save \"" + folder_ + name + "\"")) << name;
  }

  for (const char* name : {"good.sav", "text.sav", "agents.sav", "small.sav", "newer.sav", "nan.sav"}) {
    std::filesystem::remove(folder_ + name);
  }
  for (size_t size = 0; size < good.size(); size += size < 64 ? 1 : 997) {
    ASSERT_TRUE(tftest::WriteFile(folder_ + "cut.sav", good.substr(0, size)));
    log.Clear();
    SavesScan(folder_, kNoId);
    EXPECT_EQ(SavesCount(), 0) << size;
    EXPECT_LE(Errors(log), 1u) << size;
  }
}

TEST_F(Saves, NoAutosaveDuringACutScene) {
  ScriptStart();
  AppFlowReset();
  AppRoutinesRegister();
  ASSERT_TRUE(ScriptAppRoutineCall(0, 0, "AppCutsceneBegin"));
  EXPECT_FALSE(SaveGameAuto(10, nullptr));
  EXPECT_FALSE(tftest::FileExists(folder_ + "autosave.sav"));
  EXPECT_FALSE(SavesExist());
  ASSERT_TRUE(ScriptAppRoutineCall(0, 0, "AppCutsceneEnd"));
  EXPECT_TRUE(SaveGameAuto(10, nullptr));
  EXPECT_TRUE(tftest::FileExists(folder_ + "autosave.sav"));
  AppFlowReset();
  ScriptEnd();
}

// ---------------------------------------------------------------------------------------------
// The picture, on a real display

class SavePicture : public Saves, protected tftest::OffscreenCanvas {
 protected:
  void SetUp() override {
    if (!gVideo) GTEST_SKIP() << "no video device";
    Saves::SetUp();
    ModelStart();
    GraphicsStart();
  }
  void TearDown() override {
    if (!gVideo) return;
    Saves::TearDown();
    GraphicsEnd();
    ModelEnd();
    DestroyWindows();
  }
};

// The test pattern, at x from the left and y from the bottom of the window.
uint32_t Pattern(int32_t x, int32_t y) {
  return static_cast<uint32_t>((x * 7) & 0xFF) << 16 | static_cast<uint32_t>((y * 5) & 0xFF) << 8 |
         static_cast<uint32_t>((x * y) & 0xFF);
}

TEST_F(SavePicture, AFrameIsBoxFilteredCroppedAndStoredTopDownAsBlueGreenRed) {
  constexpr int32_t kWidth = 400, kHeight = 300;
  const int32_t display = Display(kWidth, kHeight);
  SavesScan(folder_, display);
  // The pattern straight into the back buffer.
  std::vector<uint8_t> rgba;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t p = Pattern(x, y);
      rgba.insert(rgba.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 255});
    }
  }
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRasterPos2f(-1, -1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  imageData frame;
  ASSERT_TRUE(GraphicsReadPixels(display, frame));
  ASSERT_TRUE(SaveGameWrite("", "picture", 0, "", &frame));

  // 400 x 300 covers 192 x 120 at 192 x 144 (300 / (400 / 192) = 144): the source centre of
  // target (x, y) is (x * 400 / 192, y * 300 / 144) with one pixel either side; 12 rows go from
  // the bottom and 12 from the top.
  auto expected = [](int32_t column, int32_t row) {
    const int32_t y = 12 + (119 - row);  // from the bottom
    const int32_t cx = column * 400 / 192, cy = y * 300 / 144;
    uint32_t sum[3] = {};
    int32_t count = 0;
    for (int32_t sy = std::max(0, cy - 1); sy <= std::min(299, cy + 1); ++sy) {
      for (int32_t sx = std::max(0, cx - 1); sx <= std::min(399, cx + 1); ++sx, ++count) {
        const uint32_t p = Pattern(sx, sy);
        sum[0] += p >> 16;
        sum[1] += (p >> 8) & 0xFF;
        sum[2] += p & 0xFF;
      }
    }
    return (sum[0] / count) << 16 | (sum[1] / count) << 8 | sum[2] / count;
  };
  // The pixels are the file's last 192 x 120 x 4 bytes before the agent count (no agents).
  const std::string file = tftest::ReadFile(FileOf(1));
  ASSERT_GT(file.size(), 192u * 120 * 4 + 4);
  const size_t start = file.size() - 4 - 192 * 120 * 4;
  EXPECT_EQ(file.substr(start - 8, 8), tftest::LE32(192) + tftest::LE32(120));
  int32_t wrong = 0;
  for (int32_t row = 0; row < 120; ++row) {
    for (int32_t column = 0; column < 192; ++column) {
      const auto* p = reinterpret_cast<const uint8_t*>(&file[start + (static_cast<size_t>(row) * 192 + column) * 4]);
      const uint32_t stored = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
      if (stored != expected(column, row) || p[3] != 0) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);

  // Drawn at its position, and again after the textures were rebuilt from the file.
  const saveData* save = SaveSlot(1);
  ASSERT_NE(save->model, kNoId);
  SavesSetPosition(1, 10, 20);
  auto drawn = [&](int32_t column, int32_t row) {
    Frame();
    SavesRender(1);
    const std::vector<uint32_t> back = ReadBack();
    return back[static_cast<size_t>(20 + row) * kWidth + 10 + column] & 0xFFFFFFu;
  };
  EXPECT_EQ(drawn(0, 0), expected(0, 0));
  EXPECT_EQ(drawn(100, 60), expected(100, 60));
  ModelAssetsRelease();
  ModelAssetsRecompile();
  EXPECT_EQ(drawn(191, 119), expected(191, 119));

  // Saving over it replaces the picture.
  const int32_t oldModel = save->model;
  ASSERT_TRUE(SaveGameWrite(FileOf(1), "picture", 0, "", nullptr));
  EXPECT_FALSE(ModelExists(oldModel));
  EXPECT_TRUE(ModelExists(SaveSlot(1)->model));
  EXPECT_EQ(drawn(100, 60), 0u);
  SavesFree();
}

}  // namespace

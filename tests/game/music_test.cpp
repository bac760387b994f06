// Music fades on the states' clocks (set by the test) through OpenAL Soft's wave driver, and
// the key texts that screens receive.
#include "game/music.h"

#include <map>

#include "audio/audio_fixture.h"
#include "game/key_text.h"
#include "state/state.h"

namespace {

class Music : public AudioTest {
 protected:
  void SetUp() override {
    const std::string tone = audiotest::OggFile(audiotest::Tone(220, 0.3, 48000, 1.0), 48000);
    Put("Bin/Music/a.ogg", tone);
    Put("Bin/Music/b.ogg", tone);
    Start();
    StateStart();
    StateRegisterEnter(1, nullptr);
    StateRegisterEnter(2, nullptr);
    StateSetGuard(MusicStateChange);
    StateChange(1);
    StateUpdate();
    MusicSetClock([this](int32_t state) { return clocks_[state]; });
  }
  void TearDown() override {
    MusicFreeAll();
    MusicSetClock(nullptr);
    StateEnd();
    AudioTest::TearDown();
  }
  // Moves the current state's clock to t and updates.
  int32_t At(int64_t t, const std::string& piece) {
    clocks_[StateGetCurrent()] = t;
    MusicUpdate();
    return MusicVolume(piece);
  }
  std::map<int32_t, int64_t> clocks_;
};

const std::string kA = "Bin\\Music\\a.ogg";
const std::string kB = "Bin\\Music\\b.ogg";

TEST_F(Music, FadesCrossStatesAndReplaysRiseFromTheirVolume) {
  clocks_[1] = 1000;
  MusicPlay(kA, 1000);
  EXPECT_EQ(At(1000, kA), 0);
  EXPECT_EQ(At(1250, kA), 25);
  // The state changes halfway: the fade carries on from 50 on the new state's clock.
  EXPECT_EQ(At(1500, kA), 50);
  clocks_[2] = 40;
  StateChange(2);
  StateUpdate();
  EXPECT_EQ(StateGetCurrent(), 2);
  EXPECT_EQ(At(40, kA), 50);
  EXPECT_EQ(At(290, kA), 75) << "the remaining 500 ms of the fade";
  EXPECT_EQ(At(540, kA), 100);
  EXPECT_EQ(At(5000, kA), 100);

  // Another piece: a fades out over its share of the time, b fades in; a faded out is closed.
  MusicPlay(kB, 1000);
  EXPECT_EQ(MusicCount(), 2);
  EXPECT_EQ(At(5500, kA), 50);
  EXPECT_EQ(At(5500, kB), 50);
  // b asked for again at 60: it rises over the remaining 40 % of the fade time.
  At(5600, kB);
  MusicPlay(kB, 1000);
  EXPECT_EQ(At(5800, kB), 80);
  EXPECT_EQ(At(6000, kB), 100);
  EXPECT_EQ(MusicVolume(kA), -1) << "faded out and closed";
  EXPECT_EQ(MusicCount(), 1);

  MusicStop(0);
  At(6000, kB);
  EXPECT_EQ(MusicCount(), 0);
}

TEST(KeyText, ShiftTableAndLetters) {
  EXPECT_EQ(GameKeyText("A", false), "a");
  EXPECT_EQ(GameKeyText("a", true), "A");
  EXPECT_EQ(GameKeyText("1", true), "!");
  EXPECT_EQ(GameKeyText("1", false), "1");
  EXPECT_EQ(GameKeyText("2", true), "@");
  EXPECT_EQ(GameKeyText("`", true), "~");
  EXPECT_EQ(GameKeyText("\\", true), "|");
  EXPECT_EQ(GameKeyText("Space", true), " ");
  EXPECT_EQ(GameKeyText("Backspace", false), "BACKSPACE");
  EXPECT_EQ(GameKeyText("Enter", true), "ENTER");
}

}  // namespace

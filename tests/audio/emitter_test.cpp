// Emitters and their states: who gives way when OpenAL has no more sources (the test output has
// four), pausing and resuming, and the trace pairs around it all.
#include <string>
#include <vector>

#include "audio/audio_fixture.h"

using namespace audiotest;

namespace {

// The "<name> - Begin" / "<name> - End" lines nest properly and all close, each indented by
// two spaces per open pair.
void ExpectTracePairsClosed(const std::vector<std::string>& lines) {
  std::vector<std::string> open;
  for (const std::string& line : lines) {
    const size_t indent = line.find_first_not_of(' ');
    const std::string text = line.substr(indent);
    const bool begin = text.ends_with(" - Begin");
    const bool end = text.ends_with(" - End");
    if (!begin && !end) continue;
    const std::string name = text.substr(0, text.rfind(" - "));
    if (begin) {
      ASSERT_EQ(indent, 2 * open.size()) << line;
      open.push_back(name);
    } else {
      ASSERT_FALSE(open.empty()) << line;
      ASSERT_EQ(open.back(), name) << line;
      open.pop_back();
      ASSERT_EQ(indent, 2 * open.size()) << line;
    }
  }
  EXPECT_TRUE(open.empty()) << open.back();
}

class EmitterTest : public AudioTest {
 protected:
  void SetUp() override {
    Put("hum.wav", WavFile(SampleBytes(Tone(300, 0.2, 22050, 0.05)), 22050));
    Put("hum.ogg", OggFile(Tone(300, 0.2, 22050, 0.05), 22050));
  }
  // A looping sound of the given priority.
  static int32_t Hum(int32_t priority) { return AudioOpen("hum.wav", kAudioCategorySound, true, priority); }
};

}  // namespace

TEST_F(EmitterTest, NewSoundsTakeTheEmittersOfSoundsThatRateHigher) {
  Start({"-trace"});
  tftest::LogCapture log;
  const int32_t a = Hum(3), b = Hum(3), c = Hum(2), d = Hum(0);
  AudioPlay(b);
  UtilSleep(5);
  for (int32_t id : {a, c, d}) AudioPlay(id);
  for (int32_t id : {a, b, c, d}) ASSERT_EQ(AudioGetStatus(id), kAudioStatusPlaying);

  // The device has no fifth source. Of the two that rate the same as the new sound, the one that
  // started first gives way, though it comes later in the list.
  const int32_t e = Hum(3);
  AudioPlay(e);
  EXPECT_EQ(AudioGetStatus(e), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(b), kAudioStatusStopped);
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusPlaying);

  // Every sound that rates higher becomes the candidate in turn: the last in the list gives way.
  const int32_t f = Hum(1);
  AudioPlay(f);
  EXPECT_EQ(AudioGetStatus(f), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(e), kAudioStatusStopped);
  for (int32_t id : {a, c, d}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);

  // Nothing rates as high as a sound of priority 5: it is not played, and nobody is stopped.
  const int32_t g = Hum(5);
  AudioPlay(g);
  EXPECT_EQ(AudioGetStatus(g), kAudioStatusStopped);
  for (int32_t id : {a, c, d, f}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);

  // A stopped emitter rates 1,000 higher, but not for priority 0.
  AudioStop(d);
  AudioPlay(g);
  EXPECT_EQ(AudioGetStatus(g), kAudioStatusStopped);
  AudioStop(c);
  AudioPlay(g);
  EXPECT_EQ(AudioGetStatus(g), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(c), kAudioStatusStopped);

  // A sound that lost its emitter gets one back when one is free.
  int32_t closed = a;
  AudioClose(closed);
  EXPECT_EQ(closed, -1);
  AudioPlay(b);
  EXPECT_EQ(AudioGetStatus(b), kAudioStatusPlaying);

  EXPECT_FALSE(log.Contains("Error:")) << log.lines().front();
  EXPECT_TRUE(log.Contains("AudioGetRating - Begin"));
  AudioCloseAll();
  for (int32_t id : {b, c, d, e, f, g}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped);
  ExpectTracePairsClosed(log.lines());
}

TEST_F(EmitterTest, PauseAndResumeOneAllAndTheApplication) {
  Start({"-trace"});
  tftest::LogCapture log;
  const int32_t a = Hum(3), b = Hum(3);
  const int32_t music = AudioOpen("hum.ogg", kAudioCategoryMusic, true, 2);
  for (int32_t id : {a, b, music}) AudioPlay(id);

  AudioPause(a);
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusPaused);
  EXPECT_EQ(AudioGetStatus(b), kAudioStatusPlaying);
  AudioResume(a);
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusPlaying);
  AudioPauseAll();
  for (int32_t id : {a, b, music}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusPaused);
  AudioResumeAll();
  for (int32_t id : {a, b, music}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);

  // The program loses focus while the game has paused a: regaining it resumes only the others.
  AudioPause(a);
  AudioAppPause();
  for (int32_t id : {a, b, music}) EXPECT_EQ(AudioGetStatus(id), kAudioStatusPaused);
  AudioAppResume();
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusPaused);
  EXPECT_EQ(AudioGetStatus(b), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(music), kAudioStatusPlaying);
  AudioAppResume();
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusPaused);

  // Played while playing: nothing happens (no rewind, no fill).
  log.Clear();
  AudioPlay(music);
  EXPECT_FALSE(log.Contains("AudioOggBufferData"));
  EXPECT_EQ(AudioGetStatus(music), kAudioStatusPlaying);

  // Ids that name no sound are ignored.
  const int32_t unknown = music + 100;
  AudioPlay(unknown);
  AudioPause(unknown);
  AudioResume(unknown);
  AudioStop(unknown);
  EXPECT_EQ(AudioGetStatus(unknown), kAudioStatusStopped);
  int32_t closed = a;
  AudioClose(closed);
  AudioClose(closed);
  EXPECT_EQ(AudioGetStatus(a), kAudioStatusStopped);
  EXPECT_FALSE(log.Contains("Error:")) << log.lines().front();
  ExpectTracePairsClosed(log.lines());
}

// The unit without an output device (OpenAL Soft told to use a driver that does not exist): one
// line in the log, then silence and neutral results.
#include <string>

#include "audio/audio_fixture.h"

using namespace audiotest;

namespace {

class SilentAudioTest : public AudioTest {
 protected:
  void Configure() override { UseOpenAlConfig("[general]\ndrivers=nonesuch\n"); }
};

}  // namespace

TEST_F(SilentAudioTest, WithoutADeviceEveryOperationDoesNothing) {
  const std::string settings = "[Audio]\r\nMusic Volume=40\r\n";
  Put("settings.ini", settings);
  Put("tone.wav", WavFile(SampleBytes(Tone(440, 0.3, 22050, 0.05)), 22050));
  tftest::LogCapture log;
  Start();
  EXPECT_FALSE(AudioAvailable());
  EXPECT_TRUE(log.Contains("Error: OpenAL is not installed.  Audio playback is not possible."));
  EXPECT_FALSE(log.Contains("Ogg Vorbis"));

  log.Clear();
  int32_t id = AudioOpen("tone.wav", kAudioCategorySound, true, 3);
  EXPECT_EQ(id, -1);
  AudioPlay(1);
  AudioUpdate();
  AudioPauseAll();
  AudioResumeAll();
  AudioAppPause();
  AudioAppResume();
  AudioVolumeSetMusic(0.5);
  AudioVolumeSet(1, 0.5);
  EXPECT_EQ(AudioGetStatus(1), kAudioStatusStopped);
  EXPECT_EQ(AudioVolumeGet(1), 0.0);
  EXPECT_EQ(AudioVolumeGetMusic(), 0.0);
  EXPECT_EQ(AudioVolumeGetApp(), 0.0);
  AudioClose(id);
  AudioCloseAll();
  End();
  EXPECT_TRUE(log.lines().empty()) << log.lines().front();
  // A run without sound leaves the user's volumes as they were.
  EXPECT_EQ(Settings(), settings);
}

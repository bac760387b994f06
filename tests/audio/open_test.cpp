// Opening sounds: the files the unit refuses and why, broken WAV chunk lists, and the settings
// volumes it reads and writes.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "audio/audio_fixture.h"

using namespace audiotest;

namespace {

constexpr size_t kNone = std::string::npos;

std::string MonoWav() { return WavFile(SampleBytes(Tone(440, 0.3, 22050, 0.05)), 22050); }

}  // namespace

TEST_F(AudioTest, OpenRefusesWhatItCannotPlayAndNamesWhy) {
  const std::vector<int16_t> left = Tone(500, 0.3, 22050, 0.1);
  const std::vector<int16_t> right = Tone(700, 0.3, 22050, 0.1);
  Put("stereo.ogg", OggFile(Interleave(left, right), 22050, 2));
  wavLayout stereo;
  stereo.channels = 2;
  Put("stereo.wav", WavFile(SampleBytes(Interleave(left, right)), 22050, stereo));
  wavLayout eightBit;
  eightBit.bits = 8;
  Put("eight.wav", WavFile(std::string(2000, '\x80'), 22050, eightBit));
  Put("short.wav", MonoWav().substr(0, 11));
  Put("shortformat.wav", MonoWav().substr(0, 35));
  Put("junk.ogg", std::string(5000, 'j'));
  Put("tone.mp3", MonoWav());
  Put("Mixed.OgG", OggFile(left, 22050));
  Put("Mixed.wAv", MonoWav());
  Start({"-trace"});
  tftest::LogCapture log;

  const std::pair<const char*, const char*> refused[] = {
      {"stereo.ogg", "Error: AudioOggOpen - Ogg Vorbis file \"stereo.ogg\" does not contain 16-bit mono sound data."},
      {"stereo.wav", "Error: AudioWavOpen - Wave file \"stereo.wav\" does not contain 16-bit mono sound data."},
      {"eight.wav", "Error: AudioWavOpen - Wave file \"eight.wav\" does not contain 16-bit mono sound data."},
      {"missing.ogg", "Error: AudioOggOpen - Unable to open file \"missing.ogg\"."},
      {"missing.wav", "Error: AudioWavOpen - Unable to open file \"missing.wav\"."},
      {"short.wav", "Error: AudioWavOpen - Unable to read file header of wav file \"short.wav\"."},
      {"shortformat.wav", "Error: AudioWavOpen - Unable to read head of wave file \"shortformat.wav\"."},
      {"junk.ogg", "Error: AudioOggOpen - Could not open Ogg Vorbis callbacks.  RC = -132"},
  };
  for (const auto& [name, message] : refused) {
    log.Clear();
    EXPECT_EQ(AudioOpen(name, kAudioCategorySound, false, 3), -1) << name;
    EXPECT_TRUE(log.Contains(message)) << name;
    EXPECT_TRUE(log.Contains("Error: AudioOpen - Audio file \"" + std::string(name) + "\" could not be opened."))
        << name;
    if (std::string(name).starts_with("stereo")) {
      EXPECT_TRUE(log.Contains("Channels: Stereo")) << name;
    }
  }
  for (const char* name : {"tone.mp3", "Bin\\Audio.ogg\\tone"}) {
    log.Clear();
    EXPECT_EQ(AudioOpen(name, kAudioCategorySound, false, 3), -1) << name;
    EXPECT_TRUE(log.Contains("Error: AudioOpen - The file extension of \"" + std::string(name) +
                             "\" is not recognised.  The sound is not loaded."))
        << name;
    EXPECT_FALSE(log.Contains("could not be opened")) << name;
  }

  log.Clear();
  const int32_t ogg = AudioOpen("Mixed.OgG", kAudioCategorySound, false, 3);
  const int32_t wav = AudioOpen("Mixed.wAv", kAudioCategorySound, false, 3);
  EXPECT_GT(ogg, 0);
  EXPECT_GT(wav, ogg);
  EXPECT_TRUE(log.Contains("AudioOggOpen - Ogg Vorbis Channels: Mono"));
  EXPECT_TRUE(log.Contains("AudioOggOpen - Ogg Vorbis Frequency: 22050Hz"));
  EXPECT_TRUE(log.Contains("AudioWavOpen - Wave Channels: Mono"));
  EXPECT_TRUE(log.Contains("AudioWavOpen - Wave Frequency: 22050Hz"));
  EXPECT_FALSE(log.Contains("Error:"));
}

TEST_F(AudioTest, TruncatedFilesAreRefusedOrPlayAtEveryLength) {
  // Every prefix of a WAV with an extra chunk and of a small Ogg file: opened or refused, and
  // when opened, played (looping, so a stream without data must not rewind for ever).
  wavLayout layout;
  layout.beforeData = Chunk("cue ", std::string(12, '\0'));
  const std::string wav = WavFile(SampleBytes(Tone(440, 0.3, 8000, 0.01)), 8000, layout);
  const std::string ogg = OggFile(Tone(440, 0.3, 8000, 0.05), 8000);
  Start();
  int played = 0;
  // Byte by byte through the headers, then in steps.
  for (const auto& [bytes, step, name] :
       {std::tuple{wav, size_t{8}, "cut.wav"}, std::tuple{ogg, size_t{127}, "cut.ogg"}}) {
    for (size_t length = 0; length <= bytes.size(); length += length < 80 ? 1 : step) {
      Put(name, bytes.substr(0, length));
      int32_t id = AudioOpen(name, kAudioCategorySound, true, 3);
      if (id < 0) continue;
      AudioPlay(id);
      AudioUpdate();
      AudioClose(id);
      ++played;
    }
  }
  EXPECT_GT(played, 10);
}

TEST_F(AudioTest, BrokenWavChunkListsEndTheStream) {
  const std::string samples = SampleBytes(Tone(440, 0.3, 22050, 0.05));
  wavLayout noData;
  noData.beforeData = Chunk("LIST", "abcd");
  noData.withData = false;
  Put("nodata.wav", WavFile(samples, 22050, noData));
  Put("empty.wav", WavFile("", 22050));
  wavLayout pastEnd;
  pastEnd.beforeData = "junk" + tftest::LE32(1000000) + "xx";
  Put("pastend.wav", WavFile(samples, 22050, pastEnd));
  wavLayout cutId;
  cutId.beforeData = "LIS";
  cutId.withData = false;
  Put("cutid.wav", WavFile(samples, 22050, cutId));
  wavLayout cutSize;
  cutSize.beforeData = "LIST\x01";
  cutSize.withData = false;
  Put("cutsize.wav", WavFile(samples, 22050, cutSize));
  Start();
  tftest::LogCapture log;

  const std::pair<const char*, const char*> broken[] = {
      {"nodata.wav", "Error: AudioWavSeekData - No \"data\" chunk in \"nodata.wav\"."},
      {"cutid.wav", "Error: AudioWavSeekData - No \"data\" chunk in \"cutid.wav\"."},
      {"cutsize.wav", "Error: AudioWavSeekData - Unable to read chunk size in \"cutsize.wav\"."},
      {"pastend.wav", "Error: AudioWavSeekData - Unable to seek past chunk \"junk\" in \"pastend.wav\"."},
      {"empty.wav", "Error: AudioWavBufferData - Wave file \"empty.wav\" contains no data."},
  };
  for (const auto& [name, message] : broken) {
    log.Clear();
    // Looping: a stream that found no data must end, not rewind again.
    const int32_t id = AudioOpen(name, kAudioCategorySound, true, 3);
    ASSERT_GT(id, 0) << name;
    AudioPlay(id);
    AudioUpdate();
    EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped) << name;
    EXPECT_TRUE(log.Contains(message)) << name;
  }

  // A data chunk that promises more than the file holds, and one of an odd size: what is there
  // plays, in whole samples.
  Put("long.wav", WavFile(samples, 22050).substr(0, 44 + 1000));
  Put("odd.wav", WavFile(samples.substr(0, 1001), 22050));
  log.Clear();
  for (const char* name : {"long.wav", "odd.wav"}) {
    const int32_t id = AudioOpen(name, kAudioCategorySound, true, 3);
    AudioPlay(id);
    EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying) << name;
  }
  EXPECT_TRUE(log.lines().empty()) << log.lines().front();
}

TEST_F(AudioTest, SettingsVolumesAreClampedWhenReadAndRoundedWhenWritten) {
  Put("settings.ini",
      "[Audio]\r\nApp Volume=150\r\nMaster Volume=-20\r\nMusic Volume=abc\r\nSound Volume=99999999999\r\n"
      "Voice Volume=-99999999999\r\n");
  Put("tone.wav", MonoWav());
  Start({"-trace"});
  EXPECT_EQ(AudioVolumeGetApp(), 1.0);
  EXPECT_EQ(AudioVolumeGetMusic(), 1.0);
  EXPECT_EQ(AudioVolumeGetSound(), 1.0);
  EXPECT_EQ(AudioVolumeGetVoice(), 0.0);

  AudioVolumeSetApp(2.5);
  AudioVolumeSetMusic(-1);
  AudioVolumeSetSound(std::numeric_limits<double>::quiet_NaN());
  AudioVolumeSetVoice(0.125);
  EXPECT_EQ(AudioVolumeGetApp(), 1.0);
  EXPECT_EQ(AudioVolumeGetMusic(), 0.0);
  EXPECT_EQ(AudioVolumeGetSound(), 0.0);
  EXPECT_EQ(AudioVolumeGetVoice(), 0.125);

  const int32_t id = AudioOpen("tone.wav", kAudioCategorySound, false, 3);
  EXPECT_EQ(AudioVolumeGet(id), 1.0);
  AudioVolumeSet(id, 7);
  EXPECT_EQ(AudioVolumeGet(id), 1.0);
  AudioVolumeSet(id, -3);
  EXPECT_EQ(AudioVolumeGet(id), 0.0);
  EXPECT_EQ(AudioVolumeGet(id + 1), 0.0);
  End();

  // Percent, rounded to the nearest, ties to even (12.5 gives 12, 37.5 gives 38).
  std::string settings = Settings();
  for (const char* line :
       {"App Volume=100", "Master Volume=0", "Music Volume=0", "Sound Volume=0", "Voice Volume=12"}) {
    EXPECT_NE(settings.find(line), kNone) << line << "\n" << settings;
  }
  Start();
  EXPECT_EQ(AudioVolumeGetVoice(), 0.12f);
  AudioVolumeSetVoice(0.375);
  End();
  settings = Settings();
  EXPECT_NE(settings.find("Voice Volume=38"), kNone) << settings;
}

// What comes out of the speakers: sounds played through OpenAL Soft's wave driver, measured in
// the file it wrote.
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_fixture.h"

using namespace audiotest;

namespace {

constexpr size_t kNone = std::string::npos;
constexpr float kThreshold = 0.02f;

// Stretches of sound, as [start, end) sample ranges; dips shorter than 2 ms (a tone's zero
// crossings) do not split a stretch.
std::vector<std::pair<size_t, size_t>> Stretches(const std::vector<float>& out) {
  std::vector<std::pair<size_t, size_t>> stretches;
  for (size_t i = 0; i < out.size(); ++i) {
    if (std::fabs(out[i]) <= kThreshold) continue;
    if (!stretches.empty() && i - stretches.back().second < Samples(0.002)) {
      stretches.back().second = i + 1;
    } else {
      stretches.push_back({i, i + 1});
    }
  }
  return stretches;
}

double Seconds(std::pair<size_t, size_t> stretch) {
  return static_cast<double>(stretch.second - stretch.first) / kOutputRate;
}

}  // namespace

TEST_F(AudioTest, LoopingSoundsPlayOnPastTheirEndWithoutAGap) {
  // 50 ms of a 1 kHz tone at 192 kHz. One 40,960-byte buffer holds about 107 ms, so 0.6 s of
  // play loops the file a dozen times and lasts only while AudioUpdate refills the buffers.
  Put("loop.ogg", OggFile(Tone(1000, 0.4, 192000, 0.05), 192000));
  // One period of a 2 kHz tone: each buffer repeats it 853 and a third times, so the next one
  // goes on inside the file.
  Put("short.wav", WavFile(SampleBytes(Tone(2000, 0.3, kOutputRate, 0.0005)), kOutputRate));
  Start({"-trace"});
  tftest::LogCapture log;
  const int32_t ogg = AudioOpen("loop.ogg", kAudioCategorySound, true, 3);
  const int32_t wav = AudioOpen("short.wav", kAudioCategorySound, true, 3);
  ASSERT_GT(ogg, 0);
  ASSERT_GT(wav, 0);
  AudioPlay(ogg);
  AudioPlay(wav);
  PlayFor(0.6);
  EXPECT_EQ(AudioGetStatus(ogg), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(wav), kAudioStatusPlaying);
  AudioStop(ogg);
  AudioStop(wav);
  EXPECT_EQ(AudioGetStatus(ogg), kAudioStatusStopped);

  int fills = 0;
  for (const std::string& line : log.lines()) {
    const size_t at = line.find("AudioOggBufferData - Decoded ");
    long bytes = 0;
    if (at == kNone || std::sscanf(line.c_str() + at, "AudioOggBufferData - Decoded %ld bytes.", &bytes) != 1) continue;
    EXPECT_LE(bytes, 40960);
    ++fills;
  }
  EXPECT_GT(fills, 4);

  const std::vector<float> out = Finish();
  const auto stretches = Stretches(out);
  ASSERT_EQ(stretches.size(), 1u);
  const auto [start, end] = stretches[0];
  EXPECT_GT(Seconds(stretches[0]), 0.5);
  // The second sound starts when its AudioPlay runs, which on a busy machine can be a few mixer
  // periods after the first: it is measured from its own start.
  size_t wavStart = start;
  while (wavStart < end && AmplitudeAt(out, wavStart, Samples(0.01), 2000) < 0.15) wavStart += Samples(0.001);
  ASSERT_LT(wavStart - start, Samples(0.2));
  // Both tones at their levels in every 10 ms, across every loop and every buffer.
  for (size_t at = start + Samples(0.01); at + Samples(0.02) < end; at += Samples(0.01)) {
    ASSERT_NEAR(AmplitudeAt(out, at, Samples(0.01), 1000), 0.4, 0.03) << "at " << at - start;
    if (at < wavStart + Samples(0.01)) continue;
    ASSERT_NEAR(AmplitudeAt(out, at, Samples(0.01), 2000), 0.3, 0.01) << "at " << at - start;
  }
}

TEST_F(AudioTest, WavPlaysToItsEndStopsAndStartsOverWhenPlayedAgain) {
  // An 18-byte format chunk and a chunk before "data", both skipped by their sizes.
  wavLayout layout;
  layout.formatSize = 18;
  layout.beforeData = Chunk("LIST", "INFOISFT");
  Put("Bin/Audio/once.wav", WavFile(SampleBytes(Tone(600, 0.4, 22050, 0.15)), 22050, layout));
  Start();
  tftest::LogCapture log;
  const int32_t id = AudioOpen("Bin\\Audio\\once.wav", kAudioCategorySound, false, 3);
  ASSERT_GT(id, 0);
  AudioPlay(id);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
  EXPECT_EQ(PlayUntilStopped(id, 1.0), kAudioStatusStopped);

  // Again after its end; then paused part-way and played again, which starts it over.
  AudioPlay(id);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
  PlayFor(0.1);
  AudioPause(id);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPaused);
  AudioPlay(id);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
  EXPECT_EQ(PlayUntilStopped(id, 1.0), kAudioStatusStopped);
  EXPECT_TRUE(log.lines().empty()) << log.lines().front();

  const std::vector<float> out = Finish();
  const auto stretches = Stretches(out);
  ASSERT_EQ(stretches.size(), 2u);
  // The whole file, at its own pitch, resampled to the output rate.
  EXPECT_NEAR(Seconds(stretches[0]), 0.15, 0.003);
  EXPECT_NEAR(ZeroCrossingFrequency(out, stretches[0].first, stretches[0].second - stretches[0].first), 600, 2);
  EXPECT_NEAR(AmplitudeAt(out, stretches[0].first + Samples(0.02), Samples(0.1), 600), 0.4, 0.01);
  // A tenth of a second, then the whole file from its start.
  EXPECT_GT(Seconds(stretches[1]), 0.22);
}

TEST_F(AudioTest, OutputIsScaledByTheProductOfTheVolumes) {
  Put("settings.ini",
      "[Audio]\r\nApp Volume=50\r\nMaster Volume=80\r\nMusic Volume=60\r\nSound Volume=40\r\nVoice Volume=30\r\n");
  // One tone per category, at the output rate, so nothing is resampled; 10 ms windows hold whole
  // periods of each.
  const double frequencies[] = {500, 1000, 1500, 2000};
  const int32_t categories[] = {kAudioCategoryMusic, kAudioCategoryVoice, kAudioCategorySound, kAudioCategoryWorld};
  for (int i = 0; i < 4; ++i) {
    Put("tone" + std::to_string(i) + ".wav",
        WavFile(SampleBytes(Tone(frequencies[i], 0.5, kOutputRate, 0.1)), kOutputRate));
  }
  Start();
  int32_t ids[4];
  for (int i = 0; i < 4; ++i) {
    ids[i] = AudioOpen("tone" + std::to_string(i) + ".wav", categories[i], true, 1);
    ASSERT_GT(ids[i], 0);
  }
  AudioVolumeSet(ids[1], 0.5);
  AudioVolumeSet(ids[3], 0.25);
  for (int32_t id : ids) AudioPlay(id);
  PlayFor(0.25);
  // Changed while playing: applies to the emitters at once.
  AudioVolumeSetMusic(0.3);
  AudioVolumeSetApp(1.0);
  PlayFor(0.25);
  const std::vector<float> out = Finish();

  const size_t start = FirstAbove(out, 0.001f);
  ASSERT_NE(start, kNone);
  const double before[] = {0.5 * 0.5 * 0.8 * 0.6, 0.5 * 0.5 * 0.8 * 0.3 * 0.5, 0.5 * 0.5 * 0.8 * 0.4,
                           0.5 * 0.5 * 0.8 * 0.4 * 0.25};
  const double after[] = {0.5 * 1.0 * 0.8 * 0.3, 0.5 * 1.0 * 0.8 * 0.3 * 0.5, 0.5 * 1.0 * 0.8 * 0.4,
                          0.5 * 1.0 * 0.8 * 0.4 * 0.25};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(AmplitudeAt(out, start + Samples(0.05), Samples(0.15), frequencies[i]), before[i], 0.002) << i;
    EXPECT_NEAR(AmplitudeAt(out, start + Samples(0.33), Samples(0.1), frequencies[i]), after[i], 0.002) << i;
  }
  const std::string settings = Settings();
  EXPECT_NE(settings.find("App Volume=100"), kNone) << settings;
  EXPECT_NE(settings.find("Master Volume=80"), kNone);
  EXPECT_NE(settings.find("Music Volume=30"), kNone);
}

TEST_F(AudioTest, ArchiveMembersAndPatchesPlayLikeLooseFiles) {
  // A member of an archive, a patch folder's file that overrides a loose one, and a loose file,
  // each a tone of its own, played together.
  tftest::TempDir packed;
  ASSERT_TRUE(tftest::WriteFile(packed / "Bin/Audio/member.ogg", OggFile(Tone(500, 0.3, 44100, 0.4), 44100)));
  const tftest::runResult pack = tftest::RunTool(KVA_TOOL, {"pack", dir_ / "sounds.kva", packed.path()});
  ASSERT_EQ(pack.status, 0) << pack.err;
  Put("Patch000001/Bin/Audio/patched.ogg", OggFile(Tone(1000, 0.3, 44100, 0.4), 44100));
  Put("Bin/Audio/patched.ogg", OggFile(Tone(2000, 0.3, 44100, 0.4), 44100));
  Put("Bin/Audio/loose.ogg", OggFile(Tone(1500, 0.3, 44100, 0.4), 44100));
  Start();
  const char* names[] = {"Bin\\Audio\\member.ogg", "BIN\\AUDIO\\PATCHED.OGG", "Bin\\Audio\\loose.ogg"};
  for (const char* name : names) {
    const int32_t id = AudioOpen(name, kAudioCategorySound, false, 3);
    ASSERT_GT(id, 0) << name;
    AudioPlay(id);
  }
  PlayFor(0.3);
  const std::vector<float> out = Finish();
  const size_t start = FirstAbove(out, 0.01f);
  ASSERT_NE(start, kNone);
  for (double frequency : {500.0, 1000.0, 1500.0}) {
    EXPECT_NEAR(AmplitudeAt(out, start + Samples(0.05), Samples(0.2), frequency), 0.3, 0.01) << frequency;
  }
  EXPECT_LT(AmplitudeAt(out, start + Samples(0.05), Samples(0.2), 2000), 0.005);
}

TEST_F(AudioTest, WritePcmDumpsTheDecodedSamples) {
  const std::vector<int16_t> tone = Tone(1000, 0.5, 48000, 0.05);
  Put("Bin/Audio/dump.ogg", OggFile(tone, 48000));
  Start({"-writePCM"});
  const int32_t id = AudioOpen("Bin\\Audio\\dump.ogg", kAudioCategorySound, false, 3);
  ASSERT_GT(id, 0);
  // The whole file fits the first buffer, which AudioPlay fills.
  AudioPlay(id);
  End();
  const std::string dump = tftest::ReadFile(dir_ / "Bin/Audio/dump.ogg.txt");
  ASSERT_EQ(dump.size(), tone.size() * 2);
  double error = 0;
  for (size_t i = 0; i < tone.size(); ++i) {
    const int16_t sample =
        static_cast<int16_t>(static_cast<uint8_t>(dump[2 * i]) | (static_cast<uint8_t>(dump[2 * i + 1]) << 8));
    error += std::fabs(sample - tone[i]) / 32768.0;
  }
  EXPECT_LT(error / static_cast<double>(tone.size()), 0.01);
}

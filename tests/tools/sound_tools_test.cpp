// sfxgen and musicgen run into a program folder; their files are decoded by the audio unit's own
// Ogg Vorbis stream and measured, and a music loop is played round its end through OpenAL Soft's
// wave driver.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "audio/audio_fixture.h"
#include "audio/ogg_stream.h"

namespace {

constexpr int kToolRate = 44100;

struct decoded {
  bool ok = false;
  std::vector<double> samples;  // full scale 1
};

// The whole file through oggStream, as the game decodes it; ok only for mono at 44,100 Hz.
decoded Decode(const std::string& name) {
  decoded result;
  oggStream stream(1, name);
  if (!stream.Open(DataFileGuard(name), "SoundToolsTest") || stream.Channels() != 1 || stream.Rate() != kToolRate) {
    return result;
  }
  std::vector<uint8_t> block;
  bool finished = false;
  while (!finished) {
    if (!stream.Decode(block, 1 << 16, false, finished, nullptr)) return result;
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
      result.samples.push_back(static_cast<int16_t>(block[i] | (block[i + 1] << 8)) / 32768.0);
    }
  }
  result.ok = !result.samples.empty();
  return result;
}

struct levels {
  double peak = 0, rms = 0, mean = 0;
  // The share of the energy above about 6 kHz (two one-pole high-passes).
  double highShare = 0;
  // The biggest step between neighbours, and the step that 999 in 1,000 steps stay under.
  double maxStep = 0, typicalStep = 0;
};

levels Measure(const std::vector<double>& x) {
  levels l;
  const double a = 1 - std::exp(-2 * 3.14159265358979 * 6000 / kToolRate);
  double low1 = 0, low2 = 0, power = 0, high = 0;
  std::vector<double> steps;
  for (size_t i = 0; i < x.size(); ++i) {
    l.peak = std::max(l.peak, std::abs(x[i]));
    l.mean += x[i];
    power += x[i] * x[i];
    low1 += a * (x[i] - low1);
    const double once = x[i] - low1;
    low2 += a * (once - low2);
    high += (once - low2) * (once - low2);
    if (i > 0) steps.push_back(std::abs(x[i] - x[i - 1]));
  }
  const double n = static_cast<double>(std::max<size_t>(1, x.size()));
  l.mean /= n;
  l.rms = std::sqrt(power / n);
  l.highShare = power > 0 ? high / power : 0;
  std::sort(steps.begin(), steps.end());
  if (!steps.empty()) l.maxStep = steps.back(), l.typicalStep = steps[steps.size() * 999 / 1000];
  return l;
}

class SoundTools : public AudioTest {
 protected:
  void SetUp() override {
    Start();
    ASSERT_EQ(tftest::RunTool(SFXGEN_TOOL, {dir_ / "Bin/Audio/SFX"}).status, 0);
    ASSERT_EQ(tftest::RunTool(MUSICGEN_TOOL, {dir_ / "Bin/Audio/Music"}).status, 0);
  }
};

TEST_F(SoundTools, EffectsDecodeWithinTheirLengthsAndLevels) {
  struct bound {
    double shortest, longest, peak;
  };
  const std::map<std::string, bound> bounds = {
      {"Spray", {0.4, 0.5, 0.9}},         {"Crumbling", {1.5, 1.7, 0.9}},  {"Shoot", {0.1, 0.25, 0.6}},
      {"Click", {0.05, 0.2, 0.7}},        {"Hover", {0.02, 0.08, 0.3}},     {"Type", {0.03, 0.1, 0.6}},
      {"Tally", {0.04, 0.1, 0.3}},        {"Level Start", {1.0, 1.4, 0.8}}, {"Level End", {1.7, 2.3, 0.8}},
      {"Game Over", {2.2, 2.8, 0.8}},
  };
  std::map<std::string, levels> measured;
  for (const auto& [name, limit] : bounds) {
    const decoded sound = Decode("Bin\\Audio\\SFX\\" + name + ".ogg");
    ASSERT_TRUE(sound.ok) << name;
    const double seconds = static_cast<double>(sound.samples.size()) / kToolRate;
    EXPECT_GE(seconds, limit.shortest) << name;
    EXPECT_LE(seconds, limit.longest) << name;
    const levels l = measured[name] = Measure(sound.samples);
    EXPECT_LE(l.peak, limit.peak + 0.05) << name << ": at its peak, well clear of clipping";
    EXPECT_GE(l.peak, limit.peak * 0.6) << name;
    // The rumble of the crumbling sits off centre, as it always has; the others are centred.
    if (name != "Crumbling") {
      EXPECT_LT(std::abs(l.mean), 0.005) << name;
    }
    // Each sound dies away to silence, so no click at its end.
    EXPECT_LT(std::abs(sound.samples.back()), 0.01) << name;
  }
  // The shot is heard at every drop: far less hiss than the hit's spray.
  EXPECT_LT(measured["Shoot"].highShare, 0.02);
  EXPECT_GT(measured["Spray"].highShare, 5 * measured["Shoot"].highShare);
  EXPECT_LT(measured["Hover"].rms, measured["Click"].rms) << "the hover tick is the quieter one";
}

TEST_F(SoundTools, MusicIsWholeBarsAndLoopsWithoutASeam) {
  // Samples in a bar: the menu at 75 beats a minute, the game at 135.
  const std::map<std::string, size_t> bars = {{"Menu", 4 * 60 * kToolRate / 75}, {"Game", 4 * 60 * kToolRate / 135}};
  const levels effect = Measure(Decode("Bin\\Audio\\SFX\\Level End.ogg").samples);
  for (const auto& [name, bar] : bars) {
    const decoded piece = Decode("Bin\\Audio\\Music\\" + name + ".ogg");
    ASSERT_TRUE(piece.ok) << name;
    const std::vector<double>& x = piece.samples;
    EXPECT_EQ(x.size() % bar, 0u) << name;
    const double seconds = static_cast<double>(x.size()) / kToolRate;
    EXPECT_GE(seconds, 30.0) << name;
    EXPECT_LE(seconds, 60.0) << name;
    const levels l = Measure(x);
    EXPECT_LE(l.peak, 0.85) << name;
    EXPECT_LT(std::abs(l.mean), 0.002) << name;
    EXPECT_GT(l.rms, 0.05) << name;
    EXPECT_LT(l.rms, effect.rms) << name << ": the music sits under the effects";
    // From the last sample back to the first is a step like any other.
    EXPECT_LE(std::abs(x.front() - x.back()), l.typicalStep) << name;
    EXPECT_GT(std::abs(x.front()), 0.001) << name << ": the tails of the end ring on at the start";
  }

  // A tool that cannot write its files says so and fails.
  const tftest::runResult refused = tftest::RunTool(MUSICGEN_TOOL, {"/dev/null/music"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("cannot write"), std::string::npos);
}

TEST_F(SoundTools, GameMusicPlayedAsALoopRunsOnAcrossItsEnd) {
  const decoded piece = Decode("Bin\\Audio\\Music\\Game.ogg");
  ASSERT_TRUE(piece.ok);
  const double seconds = static_cast<double>(piece.samples.size()) / kToolRate;
  const int32_t id = AudioOpen("Bin\\Audio\\Music\\Game.ogg", kAudioCategoryMusic, true, 2);
  ASSERT_GT(id, 0);
  AudioPlay(id);
  audiotest::PlayFor(seconds + 1.0);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
  const std::vector<float> out = Finish();

  const size_t start = audiotest::FirstAbove(out, 0.002f);
  ASSERT_NE(start, std::string::npos);
  // Where the first sample plays again, in output samples (48,000 a second). OpenAL Soft steps
  // through the source with a fixed-point increment a little under 44,100/48,000, so the piece
  // plays a few samples long; the seam is looked for within 300 samples of its nominal place.
  const size_t nominal = start + static_cast<size_t>(std::llround(seconds * audiotest::kOutputRate));
  const size_t window = audiotest::Samples(0.05);
  ASSERT_GT(out.size(), nominal + 300 + window);
  auto differenceAt = [&](size_t at) {
    double sum = 0;
    for (size_t i = 0; i < window; ++i) sum += std::pow(out[at + i] - out[start + i], 2.0);
    return std::sqrt(sum / static_cast<double>(window));
  };
  size_t seam = nominal;
  for (size_t at = nominal - 300; at <= nominal + 300; ++at) {
    if (differenceAt(at) < differenceAt(seam)) seam = at;
  }
  // After the seam the piece starts over: the output repeats its own first 50 ms.
  const double level = audiotest::Rms(out, start, window);
  EXPECT_GT(level, 0.02);
  EXPECT_LT(differenceAt(seam), 0.1 * level);
  // No gap and no jump across the seam: the steps there are like the steps of the whole piece.
  std::vector<double> steps;
  for (size_t i = start + 1; i < seam; ++i) steps.push_back(std::abs(out[i] - out[i - 1]));
  std::sort(steps.begin(), steps.end());
  double seamStep = 0;
  for (size_t i = seam - window; i < seam + window; ++i) seamStep = std::max(seamStep, double{std::abs(out[i] - out[i - 1])});
  EXPECT_LE(seamStep, steps[steps.size() * 999 / 1000] * 1.5);
  for (size_t at = seam - window; at < seam + window; at += window / 5) {
    EXPECT_GT(audiotest::Rms(out, at, window / 5), 0.2 * level) << "silence near the seam at " << at;
  }
}

}  // namespace

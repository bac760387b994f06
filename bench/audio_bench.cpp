// CPU time the audio unit spends per second of sound: one looping Ogg Vorbis music stream
// (44,100 Hz mono) and eight short Ogg effects, each started again every half second, with the
// per-frame update at 100 frames per second. OpenAL Soft mixes to its null output in real time,
// so one iteration is one real second. "unit_%" is the CPU time spent inside the audio calls
// (decoding, refills, OpenAL calls) as a share of one core; "process_%" is the whole process
// over the second: the unit, the frame loop's sleeping and OpenAL's own mixing thread.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_test_support.h"
#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace {

constexpr int kRate = 44100;
constexpr int kEffects = 8;
constexpr int kFramesPerSecond = 100;

// Something for the encoder to work at: a chord with vibrato and a little noise.
std::vector<int16_t> Music(double seconds) {
  std::vector<int16_t> samples(static_cast<size_t>(seconds * kRate));
  uint32_t noise = 1;
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double value = 0;
    for (double f : {220.0, 277.2, 329.6, 440.0}) value += 0.15 * std::sin(2 * M_PI * f * t + 2 * std::sin(5 * t));
    noise = noise * 1664525u + 1013904223u;
    value += 0.02 * (static_cast<double>(noise >> 16) / 32768.0 - 1);
    samples[i] = static_cast<int16_t>(std::lround(value * 32767));
  }
  return samples;
}

// A falling chirp, 0.3 s.
std::vector<int16_t> Effect(int index) {
  std::vector<int16_t> samples(static_cast<size_t>(0.3 * kRate));
  double phase = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += 2 * M_PI * (1500.0 + 200 * index - 3000 * t) / kRate;
    samples[i] = static_cast<int16_t>(std::lround(0.4 * 32767 * std::sin(phase) * (1 - t / 0.3)));
  }
  return samples;
}

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void BM_MusicAndEightEffects(benchmark::State& state) {
  static tftest::TempDir folder;
  tftest::WriteFile(folder / "Bin/Audio/music.ogg", audiotest::OggFile(Music(20), kRate));
  for (int i = 0; i < kEffects; ++i) {
    tftest::WriteFile(folder / ("Bin/Audio/effect" + std::to_string(i) + ".ogg"), audiotest::OggFile(Effect(i), kRate));
  }
  audiotest::UseOpenAlConfig("[general]\ndrivers=null\n");
  UtilSetAppFolder(folder.path());
  UtilSetCommandLine(std::vector<std::string>{"-userdatainapp"});
  LogStart();
  DataFileStart();
  IniStart();
  AudioStart();
  if (!AudioAvailable()) {
    state.SkipWithError("no OpenAL output");
    return;
  }
  const int32_t music = AudioOpen("Bin\\Audio\\music.ogg", kAudioCategoryMusic, true, 2);
  std::vector<int32_t> effects;
  for (int i = 0; i < kEffects; ++i) {
    effects.push_back(AudioOpen("Bin\\Audio\\effect" + std::to_string(i) + ".ogg", kAudioCategorySound, false, 3));
  }
  AudioPlay(music);

  double unitSeconds = 0, processSeconds = 0, wallSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double processStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int frame = 0; frame < kFramesPerSecond; ++frame) {
      const double frameStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      // Each effect starts twice a second, the eight spread over the half second.
      const int slot = frame % (kFramesPerSecond / 2);
      if (slot % 6 == 0 && slot / 6 < kEffects) AudioPlay(effects[static_cast<size_t>(slot / 6)]);
      AudioUpdate();
      unitSeconds += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - frameStart;
      std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (frame + 1)));
    }
    processSeconds += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["unit_%"] = 100 * unitSeconds / wallSeconds;
  state.counters["process_%"] = 100 * processSeconds / wallSeconds;
  if (AudioGetStatus(music) != kAudioStatusPlaying) state.SkipWithError("the music stopped");
  AudioEnd();
  IniEnd();
  DataFileEnd();
}
BENCHMARK(BM_MusicAndEightEffects)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

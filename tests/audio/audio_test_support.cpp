#include "audio/audio_test_support.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "audio/audio.h"
#include "core/bytes.h"
#include "core/util.h"
#include "ogg_encode.h"
#include "support/test_support.h"

namespace audiotest {

std::vector<int16_t> Tone(double frequency, double amplitude, int rate, double seconds) {
  std::vector<int16_t> samples(static_cast<size_t>(std::lround(seconds * rate)));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(std::lround(32767.0 * amplitude * std::sin(2 * M_PI * frequency * i / rate)));
  }
  return samples;
}

std::vector<int16_t> Interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right) {
  std::vector<int16_t> both;
  for (size_t i = 0; i < std::min(left.size(), right.size()); ++i) {
    both.push_back(left[i]);
    both.push_back(right[i]);
  }
  return both;
}

std::string SampleBytes(const std::vector<int16_t>& samples) {
  ByteWriter out;
  for (int16_t sample : samples) out.I16(sample);
  return out.AsText();
}

std::string OggFile(const std::vector<int16_t>& samples, int rate, int channels) {
  return OggEncode(samples, rate, channels);
}

std::string Chunk(const std::string& id, const std::string& bytes) {
  ByteWriter out;
  out.Text(id);
  out.U32(static_cast<uint32_t>(bytes.size()));
  out.Text(bytes);
  return out.AsText();
}

std::string WavFile(const std::string& data, uint32_t rate, const wavLayout& layout) {
  ByteWriter format;
  format.U16(1);  // PCM
  format.U16(layout.channels);
  format.U32(rate);
  const uint16_t blockAlign = static_cast<uint16_t>(layout.channels * layout.bits / 8);
  format.U32(rate * blockAlign);
  format.U16(blockAlign);
  format.U16(layout.bits);
  format.Fill(0, layout.formatSize > 16 ? layout.formatSize - 16 : 0);

  std::string body = "WAVE" + Chunk("fmt ", format.AsText()) + layout.beforeData;
  if (layout.withData) body += Chunk("data", data);
  ByteWriter file;
  file.Text("RIFF");
  file.U32(static_cast<uint32_t>(body.size()));
  file.Text(body);
  return file.AsText();
}

// ---- OpenAL Soft's output --------------------------------------------------------------------

void UseOpenAlConfig(const std::string& text) {
  static tftest::TempDir folder;
  tftest::WriteFile(folder / "alsoft.conf", text);
  setenv("ALSOFT_CONF", (folder / "alsoft.conf").c_str(), 1);
}

const std::string& UseWaveOutput() {
  static const std::string path = [] {
    static tftest::TempDir folder;
    const std::string wave = folder / "output.wav";
    UseOpenAlConfig("[general]\ndrivers=wave\nchannels=mono\nsample-type=float32\nfrequency=" +
                    std::to_string(kOutputRate) + "\nsources=" + std::to_string(kOutputSources) +
                    "\noutput-limiter=false\ndither=false\n[wave]\nfile=" + wave + "\n");
    return wave;
  }();
  return path;
}

std::vector<float> ReadWaveOutput(const std::string& path) {
  const std::string file = tftest::ReadFile(path);
  std::vector<float> samples;
  size_t at = file.find("data", 12);
  if (at == std::string::npos) return samples;
  // The driver writes whole frames; the size field is not needed.
  ByteReader reader(reinterpret_cast<const uint8_t*>(file.data()) + at + 8, file.size() - at - 8);
  while (reader.Remaining() >= 4) samples.push_back(reader.F32());
  return samples;
}

size_t FirstAbove(const std::vector<float>& samples, float threshold, size_t from) {
  for (size_t i = from; i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > threshold) return i;
  }
  return std::string::npos;
}

size_t LastAbove(const std::vector<float>& samples, float threshold) {
  for (size_t i = samples.size(); i > 0; --i) {
    if (std::fabs(samples[i - 1]) > threshold) return i - 1;
  }
  return std::string::npos;
}

double AmplitudeAt(const std::vector<float>& samples, size_t start, size_t count, double frequency) {
  double re = 0, im = 0;
  for (size_t i = 0; i < count && start + i < samples.size(); ++i) {
    const double phase = 2 * M_PI * frequency * static_cast<double>(i) / kOutputRate;
    re += samples[start + i] * std::cos(phase);
    im += samples[start + i] * std::sin(phase);
  }
  return 2 * std::hypot(re, im) / static_cast<double>(count);
}

double ZeroCrossingFrequency(const std::vector<float>& samples, size_t start, size_t count) {
  size_t first = 0, last = 0, crossings = 0;
  for (size_t i = start + 1; i < start + count && i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return static_cast<double>(crossings - 1) * kOutputRate / static_cast<double>(last - first);
}

double Rms(const std::vector<float>& samples, size_t start, size_t count) {
  double sum = 0;
  for (size_t i = start; i < start + count && i < samples.size(); ++i) sum += samples[i] * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

void PlayFor(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    AudioUpdate();
    UtilSleep(10);
  }
}

int32_t PlayUntilStopped(int32_t soundId, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (AudioGetStatus(soundId) == kAudioStatusPlaying && std::chrono::steady_clock::now() < end) {
    AudioUpdate();
    UtilSleep(10);
  }
  return AudioGetStatus(soundId);
}

}  // namespace audiotest

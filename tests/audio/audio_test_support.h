// Shared by the audio tests and the audio benchmark: sounds made on the spot (tones encoded as
// Ogg Vorbis with libvorbisenc, WAV files built byte by byte), OpenAL Soft set up to write its
// output to a wave file, and measurements of that output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audiotest {

// 16-bit samples of a sine tone; amplitude 1 is full scale.
std::vector<int16_t> Tone(double frequency, double amplitude, int rate, double seconds);
// Two channels interleaved.
std::vector<int16_t> Interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right);
// The samples as little-endian bytes.
std::string SampleBytes(const std::vector<int16_t>& samples);

// An Ogg Vorbis file of interleaved samples.
std::string OggFile(const std::vector<int16_t>& samples, int rate, int channels = 1);

// A WAV file: RIFF header, a format chunk with the given fields (formatSize bytes, 16 or more),
// `beforeData` copied as is (extra chunks), then a "data" chunk of the bytes. With
// withData false the file ends after beforeData.
struct wavLayout {
  uint16_t channels = 1;
  uint16_t bits = 16;
  uint32_t formatSize = 16;
  std::string beforeData;
  bool withData = true;
};
std::string WavFile(const std::string& data, uint32_t rate, const wavLayout& layout = {});
// One chunk: id, 32-bit size, bytes.
std::string Chunk(const std::string& id, const std::string& bytes);

// Points OpenAL Soft (ALSOFT_CONF) at a configuration made once for this process: mono 32-bit
// float output at 48,000 Hz through the wave driver, at most four sources, no limiter and no
// dither, so levels come out exactly. OpenAL reads its configuration once per process, before the
// first device opens. Returns the path of the wave file the driver writes.
constexpr int kOutputRate = 48000;
constexpr int kOutputSources = 4;
const std::string& UseWaveOutput();
// The same with a configuration of the caller's (for a process that needs another driver).
void UseOpenAlConfig(const std::string& text);

// The samples of a wave file that the driver wrote (read after the device has closed).
std::vector<float> ReadWaveOutput(const std::string& path);

// First and last sample whose magnitude exceeds threshold; npos when none.
size_t FirstAbove(const std::vector<float>& samples, float threshold, size_t from = 0);
size_t LastAbove(const std::vector<float>& samples, float threshold);
// Amplitude of one frequency in samples[start, start + count) at the output rate.
double AmplitudeAt(const std::vector<float>& samples, size_t start, size_t count, double frequency);
// Frequency from the rising zero crossings in samples[start, start + count).
double ZeroCrossingFrequency(const std::vector<float>& samples, size_t start, size_t count);
// Root mean square of samples[start, start + count).
double Rms(const std::vector<float>& samples, size_t start, size_t count);
// Seconds to output samples.
constexpr size_t Samples(double seconds) { return static_cast<size_t>(seconds * kOutputRate); }

// Calls AudioUpdate about every 10 ms for the given real time (the wave driver mixes in real
// time).
void PlayFor(double seconds);
// PlayFor until the sound's status is no longer playing, at most `seconds`; the final status.
int32_t PlayUntilStopped(int32_t soundId, double seconds);

}  // namespace audiotest

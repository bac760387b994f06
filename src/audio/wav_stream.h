// Internal to the audio unit: WAV files read through the data files, one buffer of samples at a
// time, rewound for replay and looping. No OpenAL here, so the reader can be driven on its own.
#pragma once

#include <cstdint>
#include <string>

#include "data/data_file.h"

// Layout: a 12-byte RIFF header (not inspected), a format chunk right after it whose first 24
// bytes are read (id, size, format tag, channels, rate, byte rate, block align, bits), then
// chunks (4-byte id, 32-bit little-endian size, data) up to "data", whose bytes are the samples.
// The walk to "data" starts again at offset 12, so a format chunk of any size is skipped by its
// own size. Chunks are not padded to even sizes.
class wavStream {
 public:
  // Opens the file and reads the header. False (logged) when the file cannot be opened or read,
  // or when its samples are not 16-bit mono.
  bool Open(const std::string& fileName);
  uint32_t Frequency() const { return frequency_; }

  // Moves to the first sample of the "data" chunk. False (logged) when there is no "data" chunk
  // or a chunk in front of it runs past the end of the file.
  bool SeekData();

  // Gathers up to `capacity` bytes (an even number) of samples into `out`. `loop` and
  // `finished` are the sound's flags: a looping stream goes on from the start of its data, a
  // stream without data (or a non-looping one at its end) sets finished. Returns the bytes
  // gathered, always an even number.
  int32_t Read(uint8_t* out, int32_t capacity, bool loop, bool& finished);

 private:
  int32_t RepeatPass(uint8_t* out, int32_t passStart, int32_t gathered, int32_t capacity);

  std::string name_;
  DataFileGuard file_;
  int32_t fileSize_ = 0;
  uint32_t frequency_ = 0;
  // Bytes of the data chunk consumed, and its size; positioned_ is false until SeekData has
  // found the chunk (and again when a looping stream has used it up).
  int32_t consumed_ = 0;
  int32_t dataSize_ = 0;
  // Offset of the data chunk's first sample in the file.
  int32_t dataStart_ = 0;
  int32_t deliveredSinceSeek_ = 0;
  bool positioned_ = false;
};

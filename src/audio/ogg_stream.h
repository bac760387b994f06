// Internal to the audio unit: Ogg Vorbis files decoded by libvorbisfile, which reads them through
// the data files (so archive members and patches play like loose files). No OpenAL here.
#pragma once

// The header's stdio callbacks are not used: files come through the data layer.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/data_file.h"

// The decoder's texts for its error codes, each followed by the code.
std::string AudioOggErrorText(int code);

// Appends decoded samples to a file ("-writePCM"): user data folder + sound file name + ".txt".
class pcmDump {
 public:
  pcmDump() = default;
  ~pcmDump() { Close(); }
  pcmDump(const pcmDump&) = delete;
  pcmDump& operator=(const pcmDump&) = delete;
  // Creates or empties the file for a sound file name; false when it cannot be made.
  bool Create(const std::string& soundFileName);
  void Append(const uint8_t* bytes, int32_t count);
  void Close();

 private:
  int32_t handle_ = 0;
};

// One decoder over one data file. It owns both: the decoder is cleared, and through its close
// callback the file closed, when the stream goes. Its address is the decoder's data source, so
// it is neither copied nor moved.
class oggStream {
 public:
  // soundId names the stream in messages; fileName is the data file to read.
  oggStream(int32_t soundId, std::string fileName);
  ~oggStream() { Clear(); }
  oggStream(const oggStream&) = delete;
  oggStream& operator=(const oggStream&) = delete;

  // Starts the decoder on a file already open (the opener's first step). False (logged as
  // "<operation> - Could not open Ogg Vorbis callbacks.  RC = ...") when it is no Ogg Vorbis file.
  bool Open(DataFileGuard file, const char* operation);
  // Channels and samples per second of the current link (0 when not open).
  int Channels() const { return channels_; }
  long Rate() const { return rate_; }

  // Back to the first sample: the decoder seeks there, or when it cannot, it is cleared and the
  // file opened again. False (logged) when that fails too.
  bool Rewind();

  // Decodes up to `capacity` bytes of 16-bit little-endian samples into `out` (replaced), in
  // steps of at most 4,096 bytes. At the end a looping stream rewinds and goes on, a
  // non-looping one sets finished. False (logged) when the fill ended without data: a decoding
  // error or a failed rewind. Every block also goes to `dump` when one is given.
  bool Decode(std::vector<uint8_t>& out, int32_t capacity, bool loop, bool& finished, pcmDump* dump);

 private:
  static size_t ReadCallback(void* buffer, size_t size, size_t count, void* source);
  static int SeekCallback(void* source, ogg_int64_t offset, int origin);
  static int CloseCallback(void* source);
  static long TellCallback(void* source);
  void Clear();

  // The sound's id comes first: the callbacks name the sound by it.
  int32_t soundId_;
  std::string name_;
  DataFileGuard file_;
  OggVorbis_File decoder_{};
  bool open_ = false;
  int section_ = 0;
  // Decode calls since the stream was opened, and bytes they delivered.
  int32_t decodeCount_ = 0;
  int64_t decodedBytes_ = 0;
  int channels_ = 0;
  long rate_ = 0;
};

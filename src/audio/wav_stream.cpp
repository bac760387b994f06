#include "audio/wav_stream.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_text.h"
#include "core/bytes.h"
#include "core/log.h"

namespace {

constexpr int32_t kRiffHeaderSize = 12;
constexpr int32_t kFormatSize = 24;
constexpr int32_t kChunkHeaderSize = 8;

}  // namespace

bool wavStream::Open(const std::string& fileName) {
  name_ = fileName;
  file_ = DataFileGuard(fileName);
  if (!file_) {
    LogError("AudioWavOpen - Unable to open file " + AudioQuoted(name_) + ".");
    return false;
  }
  fileSize_ = DataFileSize(file_.Get());

  uint8_t riff[kRiffHeaderSize];
  if (!DataFileReadExact(file_.Get(), riff, kRiffHeaderSize)) {
    LogError("AudioWavOpen - Unable to read file header of wav file " + AudioQuoted(name_) + ".");
    return false;
  }
  uint8_t format[kFormatSize];
  if (!DataFileReadExact(file_.Get(), format, kFormatSize)) {
    LogError("AudioWavOpen - Unable to read head of wave file " + AudioQuoted(name_) + ".");
    return false;
  }
  ByteReader fields(format, kFormatSize);
  fields.Skip(4 + 4 + 2);  // chunk id, chunk size, format tag
  const uint16_t channels = fields.U16();
  const uint32_t rate = fields.U32();
  fields.Skip(4 + 2);  // byte rate, block alignment
  const uint16_t bits = fields.U16();

  LogTrace(channels == 1 ? "AudioWavOpen - Wave Channels: Mono" : "AudioWavOpen - Wave Channels: Stereo");
  LogTrace("AudioWavOpen - Wave Frequency: " + std::to_string(rate) + "Hz");
  // The samples go to OpenAL as 16-bit mono whatever the header says, so anything else (8-bit
  // data, several channels) would play as noise: refuse it.
  if (channels != 1 || bits != 16) {
    LogError("AudioWavOpen - Wave file " + AudioQuoted(name_) + " does not contain 16-bit mono sound data.");
    return false;
  }
  frequency_ = rate;
  return true;
}

bool wavStream::SeekData() {
  consumed_ = 0;
  dataSize_ = 0;
  deliveredSinceSeek_ = 0;
  positioned_ = false;
  if (!DataFileSeek(file_.Get(), kRiffHeaderSize)) {
    LogError("AudioWavSeekData - Unable to skip riff header in " + AudioQuoted(name_) + ".");
    return false;
  }
  for (;;) {
    uint8_t header[kChunkHeaderSize];
    const int32_t got = DataFileRead(file_.Get(), header, kChunkHeaderSize);
    if (got < 4) {
      LogError("AudioWavSeekData - No " + AudioQuoted("data") + " chunk in " + AudioQuoted(name_) + ".");
      return false;
    }
    if (got < kChunkHeaderSize) {
      LogError("AudioWavSeekData - Unable to read chunk size in " + AudioQuoted(name_) + ".");
      return false;
    }
    ByteReader chunk(header, kChunkHeaderSize);
    const std::string id = chunk.Text(4);
    const uint32_t size = chunk.U32();
    const int64_t here = DataFilePosition(file_.Get());
    const int64_t left = here >= 0 ? fileSize_ - here : 0;
    if (id == "data") {
      // A size that promises more than the file holds (a writer that never finished its header)
      // is cut to the bytes that are there, and to whole samples.
      const int64_t size64 = std::min<int64_t>(size, left);
      dataSize_ = static_cast<int32_t>(size64 & ~int64_t{1});
      dataStart_ = static_cast<int32_t>(here);
      positioned_ = true;
      return true;
    }
    // Seeking beyond the end would only find nothing there; the chunk list is broken.
    if (static_cast<int64_t>(size) > left || !DataFileSeek(file_.Get(), static_cast<int32_t>(here + size))) {
      LogError("AudioWavSeekData - Unable to seek past chunk " + AudioQuoted(id) + " in " + AudioQuoted(name_) + ".");
      return false;
    }
  }
}

int32_t wavStream::Read(uint8_t* out, int32_t capacity, bool loop, bool& finished) {
  capacity &= ~1;
  int32_t gathered = 0;
  // Where in `out` the current pass over the data began, when this fill holds its start.
  int32_t passStart = positioned_ && consumed_ == 0 ? 0 : -1;
  while (gathered < capacity) {
    if (!positioned_) {
      if (!SeekData()) {
        if (loop) LogError("AudioWavBufferData - Wave file " + AudioQuoted(name_) + " contains no data.");
        finished = true;
        break;
      }
      passStart = gathered;
    }
    const int32_t wanted = std::min(dataSize_ - consumed_, capacity - gathered);
    const int32_t got = wanted > 0 ? DataFileRead(file_.Get(), out + gathered, wanted) : 0;
    gathered += got;
    consumed_ += got;
    deliveredSinceSeek_ += got;
    // A read that delivers less than the chunk still holds means the file gave out: the data end.
    if (got < wanted) consumed_ = dataSize_;
    if (consumed_ < dataSize_) continue;
    if (!loop) {
      finished = true;
      break;
    }
    // An empty data chunk would rewind for ever.
    if (deliveredSinceSeek_ == 0) {
      LogError("AudioWavBufferData - Wave file " + AudioQuoted(name_) + " contains no data.");
      finished = true;
      break;
    }
    if (passStart >= 0 && gathered - passStart == dataSize_) return RepeatPass(out, passStart, gathered, capacity);
    positioned_ = false;
  }
  return gathered & ~1;
}

int32_t wavStream::RepeatPass(uint8_t* out, int32_t passStart, int32_t gathered, int32_t capacity) {
  // The whole data chunk is in out[passStart, gathered): a short looping sound repeats it from
  // there instead of seeking and reading the file once per repeat.
  while (gathered < capacity) {
    consumed_ = std::min(dataSize_, capacity - gathered);
    std::memcpy(out + gathered, out + passStart, static_cast<size_t>(consumed_));
    gathered += consumed_;
  }
  // The file follows: the next fill goes on where the last repeat stopped.
  positioned_ = consumed_ < dataSize_ && DataFileSeek(file_.Get(), dataStart_ + consumed_);
  return gathered;
}

#include "audio/ogg_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "audio/audio_text.h"
#include "core/log.h"
#include "core/util.h"

namespace {

// The decoder is asked for at most this much per call.
constexpr int32_t kDecodeStep = 4096;

}  // namespace

std::string AudioOggErrorText(int code) {
  const std::string number = std::to_string(code);
  switch (code) {
    case OV_HOLE:
      return "Interruption in the data (e.g. garbage between pages, loss of sync followed by recapture, or a corrupt "
             "page).  Error = " +
             number;
    case OV_EREAD:
      return "A read from media returned an error.  Error = " + number;
    case OV_EFAULT:
      return "Internal logic fault; indicates a bug or heap/stack corruption.  Error = " + number;
    case OV_EINVAL:
      return "Invalid argument value; possibly called with an OggVorbis_File structure that isn't open.  Error = " +
             number;
    case OV_EBADLINK:
      return "Invalid stream section supplied to libvorbisfile, or the requested link is corrupt.  Error = " + number;
    case OV_ENOSEEK:
      return "Bitstream is not seekable.  Error = " + number;
    default:
      return "Unrecgoznied Ogg Vorbis error " + number + ".";
  }
}

// ---- "-writePCM" dump ----------------------------------------------------------------------

bool pcmDump::Create(const std::string& soundFileName) {
  Close();
  // The sound's name is a data path ("Bin\Audio\x.ogg"): its folders become folders below the
  // user data folder.
  std::string relative = soundFileName;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  relative.erase(0, relative.find_first_not_of('/'));
  const std::string path = UtilUserDataFolder() + relative + ".txt";
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  handle_ = RawFileCreate(path);
  if (handle_ == 0) LogError("AudioOggOpen - Unable to create file " + AudioQuoted(path) + ".");
  return handle_ != 0;
}

void pcmDump::Append(const uint8_t* bytes, int32_t count) {
  if (handle_ != 0 && count > 0) RawFileWrite(handle_, bytes, count);
}

void pcmDump::Close() {
  if (handle_ != 0) RawFileClose(handle_);
  handle_ = 0;
}

// ---- decoder callbacks -----------------------------------------------------------------------

size_t oggStream::ReadCallback(void* buffer, size_t size, size_t count, void* source) {
  auto* stream = static_cast<oggStream*>(source);
  if (size == 0 || count == 0) return 0;
  if (!stream->file_) {
    LogError("AudioOggRead - Invalid soundId = " + std::to_string(stream->soundId_));
    return 0;
  }
  const size_t limit = static_cast<size_t>(std::numeric_limits<int32_t>::max()) / size;
  const int32_t bytes = static_cast<int32_t>(std::min(count, limit) * size);
  const int32_t got = DataFileRead(stream->file_.Get(), buffer, bytes);
  return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int oggStream::SeekCallback(void* source, ogg_int64_t offset, int origin) {
  auto* stream = static_cast<oggStream*>(source);
  if (!stream->file_) {
    LogError("AudioOggSeek - Invalid soundId = " + std::to_string(stream->soundId_));
    return -1;
  }
  const int32_t handle = stream->file_.Get();
  // Data files are addressed with 32-bit positions.
  int64_t position = static_cast<int32_t>(offset);
  if (origin == SEEK_CUR) position += DataFilePosition(handle);
  if (origin == SEEK_END) position += DataFileSize(handle);
  if (position < 0 || position > std::numeric_limits<int32_t>::max() ||
      !DataFileSeek(handle, static_cast<int32_t>(position))) {
    LogError("AudioOggSeek - Unable to seek to position in " + AudioQuoted(stream->name_) + ".");
    return -1;
  }
  return 0;
}

int oggStream::CloseCallback(void* source) {
  auto* stream = static_cast<oggStream*>(source);
  if (!stream->file_) {
    LogError("AudioOggClose - Invalid soundId = " + std::to_string(stream->soundId_));
    return 0;
  }
  stream->file_.Reset();
  return 0;
}

long oggStream::TellCallback(void* source) {
  auto* stream = static_cast<oggStream*>(source);
  if (!stream->file_) {
    LogError("AudioOggTell - Invalid soundId = " + std::to_string(stream->soundId_));
    return -1;
  }
  return DataFilePosition(stream->file_.Get());
}

// ---- stream ----------------------------------------------------------------------------------

oggStream::oggStream(int32_t soundId, std::string fileName) : soundId_(soundId), name_(std::move(fileName)) {}

bool oggStream::Open(DataFileGuard file, const char* operation) {
  Clear();
  file_ = std::move(file);
  std::memset(&decoder_, 0, sizeof decoder_);
  section_ = 0;
  decodeCount_ = 0;
  decodedBytes_ = 0;
  const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};
  const int rc = ov_open_callbacks(this, &decoder_, nullptr, 0, callbacks);
  if (rc != 0) {
    // A refused file is not closed by the decoder.
    LogError(std::string(operation) + " - Could not open Ogg Vorbis callbacks.  RC = " + std::to_string(rc));
    file_.Reset();
    return false;
  }
  open_ = true;
  const vorbis_info* info = ov_info(&decoder_, -1);
  channels_ = info != nullptr ? info->channels : 0;
  rate_ = info != nullptr ? info->rate : 0;
  return true;
}

void oggStream::Clear() {
  if (open_) ov_clear(&decoder_);  // closes the file through the close callback
  open_ = false;
  file_.Reset();
}

bool oggStream::Rewind() {
  section_ = 0;
  decodeCount_ = 0;
  // The open decoder goes back to its first sample in place: opening the file again would make
  // it set up its decoding tables again, which costs about a millisecond per loop or play.
  if (open_ && ov_pcm_seek(&decoder_, 0) == 0) {
    decodedBytes_ = 0;
    return true;
  }
  Clear();
  DataFileGuard file(name_);
  if (!file) {
    LogError("AudioOggSeekData - Unable to reopen file " + AudioQuoted(name_) + ".");
    return false;
  }
  return Open(std::move(file), "AudioOggSeekData");
}

bool oggStream::Decode(std::vector<uint8_t>& out, int32_t capacity, bool loop, bool& finished, pcmDump* dump) {
  out.clear();
  out.reserve(static_cast<size_t>(capacity) + kDecodeStep);
  while (static_cast<int32_t>(out.size()) < capacity) {
    const size_t at = out.size();
    const int want = std::min<int>(kDecodeStep, capacity - static_cast<int32_t>(at));
    out.resize(at + kDecodeStep);
    const long got = ov_read(&decoder_, reinterpret_cast<char*>(out.data() + at), want, 0, 2, 1, &section_);
    ++decodeCount_;
    out.resize(at + (got > 0 && got <= kDecodeStep ? static_cast<size_t>(got) : 0));
    if (got > kDecodeStep) {
      LogError("AudioOggBufferData - Decoded " + std::to_string(got) + " bytes in Ogg Segment " +
               std::to_string(decodeCount_) + " .  Too Many!");
      continue;
    }
    if (got > 0) {
      decodedBytes_ += got;
      if (dump != nullptr) dump->Append(out.data() + at, static_cast<int32_t>(got));
      continue;
    }
    if (got < 0) {
      LogError("AudioOggBufferData - Unable to buffer data from " + AudioQuoted(name_) + ".  " +
               AudioOggErrorText(static_cast<int>(got)));
      out.clear();
      return false;
    }
    // The end of the stream.
    if (!loop) {
      finished = true;
      break;
    }
    // A file that decodes to nothing would rewind for ever.
    if (decodedBytes_ == 0) {
      LogError("AudioOggBufferData - Ogg Vorbis file " + AudioQuoted(name_) + " contains no data.");
      finished = true;
      break;
    }
    if (!Rewind()) {
      LogError("AudioOggBufferData - Could not seek start of " + AudioQuoted(name_) + " for looping.  " +
               AudioOggErrorText(0));
      out.clear();
      return false;
    }
  }
  return true;
}

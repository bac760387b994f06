#include "data/archive_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "core/bytes.h"

namespace {

// Sequential reads from bytes in memory. Past the end a read fails and takes nothing.
class spanSource {
 public:
  spanSource(const uint8_t* bytes, size_t size) : reader_(bytes, size) {}
  uint64_t Size() const { return reader_.Size(); }
  uint64_t Remaining() const { return reader_.Remaining(); }
  bool Read(void* out, size_t count) {
    if (count > reader_.Remaining()) {
      reader_.Skip(count);
      return false;
    }
    return reader_.Bytes(out, count);
  }

 private:
  ByteReader reader_;
};

// Sequential reads from an open file through a block buffer, so that the many small fields of a
// directory cost one system call per block. The file's size is taken once; a file that yields
// fewer bytes than that simply ends early.
class fileSource {
 public:
  explicit fileSource(int descriptor) : fd_(descriptor), buffer_(new uint8_t[kBlock]) {
    struct stat info {};
    if (fstat(descriptor, &info) == 0 && info.st_size > 0) size_ = static_cast<uint64_t>(info.st_size);
  }
  uint64_t Size() const { return size_; }
  uint64_t Remaining() const { return size_ > consumed_ ? size_ - consumed_ : 0; }
  bool Read(void* out, size_t count) {
    auto* target = static_cast<uint8_t*>(out);
    while (count > 0) {
      if (start_ == end_ && !Refill()) return false;
      const size_t take = std::min(count, end_ - start_);
      std::memcpy(target, buffer_.get() + start_, take);
      start_ += take;
      consumed_ += take;
      target += take;
      count -= take;
    }
    return true;
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  bool Refill() {
    for (;;) {
      ssize_t got = pread(fd_, buffer_.get(), kBlock, static_cast<off_t>(filePosition_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      start_ = 0;
      end_ = static_cast<size_t>(got);
      filePosition_ += static_cast<uint64_t>(got);
      return true;
    }
  }

  int fd_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t size_ = 0;
  uint64_t consumed_ = 0;
  uint64_t filePosition_ = 0;
  size_t start_ = 0;
  size_t end_ = 0;
};

// The one directory reader, over either source. It never allocates more than the bytes that
// are really left in the file: a name is read only when the file still holds it, and entries
// are appended one by one as they are read, whatever count the header claims.
template <typename Source>
archiveDirectory ParseDirectory(Source& source) {
  archiveDirectory directory;
  char magic[sizeof(kArchiveMagic)];
  if (!source.Read(magic, sizeof(magic)) || std::memcmp(magic, kArchiveMagic, sizeof(magic)) != 0) {
    directory.state = archiveDirectoryState::notArchive;
    return directory;
  }
  uint8_t field[4];
  if (!source.Read(field, 2)) {
    directory.state = archiveDirectoryState::truncated;
    return directory;
  }
  directory.version = LoadLe16(field);
  if (field[1] > 1) {
    directory.state = archiveDirectoryState::badVersion;
    return directory;
  }
  if (!source.Read(field, 4)) {
    directory.state = archiveDirectoryState::truncated;
    return directory;
  }
  directory.declaredCount = static_cast<int32_t>(LoadLe32(field));
  if (directory.declaredCount < 0) {
    directory.state = archiveDirectoryState::damagedEntry;
    return directory;
  }

  const uint64_t fileSize = source.Size();
  directory.state = archiveDirectoryState::complete;
  for (int32_t i = 0; i < directory.declaredCount; ++i) {
    uint8_t header[kArchiveMinimumEntrySize];
    if (!source.Read(header, sizeof(header))) {
      directory.state = archiveDirectoryState::truncated;
      break;
    }
    const uint8_t headerLength = header[0];
    // With H below 10 the fixed fields would overlap the name: the entry cannot be laid out,
    // and nothing after it can be trusted either.
    if (headerLength < kArchiveEntryHeaderLength) {
      directory.state = archiveDirectoryState::damagedEntry;
      break;
    }
    archiveDirectoryEntry entry;
    entry.dataOffset = static_cast<int32_t>(LoadLe32(header + 1));
    entry.dataSize = static_cast<int32_t>(LoadLe32(header + 5));
    const uint16_t nameLength = LoadLe16(header + 9);

    uint8_t extra[255];
    const size_t extraLength = headerLength - kArchiveEntryHeaderLength;
    if (extraLength > 0 && !source.Read(extra, extraLength)) {
      directory.state = archiveDirectoryState::truncated;
      break;
    }
    if (nameLength > source.Remaining()) {
      directory.state = archiveDirectoryState::truncated;
      break;
    }
    entry.name.resize(nameLength);
    if (!source.Read(entry.name.data(), nameLength)) {
      directory.state = archiveDirectoryState::truncated;
      break;
    }
    // Data that does not lie inside the file means the directory is not what it claims to be.
    if (entry.dataOffset < 0 || entry.dataSize < 0 ||
        static_cast<uint64_t>(entry.dataOffset) + static_cast<uint64_t>(entry.dataSize) > fileSize) {
      directory.state = archiveDirectoryState::damagedEntry;
      break;
    }
    directory.entries.push_back(std::move(entry));
  }
  return directory;
}

}  // namespace

archiveDirectory ArchiveDirectoryParse(const uint8_t* bytes, size_t size) {
  spanSource source(bytes, bytes != nullptr ? size : 0);
  return ParseDirectory(source);
}

archiveDirectory ArchiveDirectoryReadFile(int descriptor) {
  if (descriptor < 0) return archiveDirectory{};
  fileSource source(descriptor);
  return ParseDirectory(source);
}

const char* ArchiveDirectoryStateText(archiveDirectoryState state) {
  switch (state) {
    case archiveDirectoryState::complete: return "complete";
    case archiveDirectoryState::notArchive: return "not an archive";
    case archiveDirectoryState::badVersion: return "unsupported version";
    case archiveDirectoryState::truncated: return "directory cut short";
    case archiveDirectoryState::damagedEntry: return "damaged directory entry";
  }
  return "unknown";
}

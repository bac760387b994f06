// Feeds arbitrary bytes to the archive directory reader, both from memory and from a file, and
// checks that the two agree and that every entry they return lies inside the bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "data/archive_directory.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEntries(const archiveDirectory& directory, size_t size) {
  for (const archiveDirectoryEntry& entry : directory.entries) {
    Check(entry.dataOffset >= 0 && entry.dataSize >= 0);
    Check(static_cast<uint64_t>(entry.dataOffset) + static_cast<uint64_t>(entry.dataSize) <= size);
  }
  Check(directory.entries.size() <= size / kArchiveMinimumEntrySize);
}

// An anonymous in-memory file, reused across inputs.
int ScratchFile() {
  static int fd = memfd_create("archive-directory-fuzz", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const archiveDirectory fromBytes = ArchiveDirectoryParse(data, size);
  CheckEntries(fromBytes, size);

  const int fd = ScratchFile();
  if (fd < 0 || ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) return 0;
  const archiveDirectory fromFile = ArchiveDirectoryReadFile(fd);
  Check(fromFile.state == fromBytes.state);
  Check(fromFile.version == fromBytes.version);
  Check(fromFile.declaredCount == fromBytes.declaredCount);
  Check(fromFile.entries.size() == fromBytes.entries.size());
  for (size_t i = 0; i < fromFile.entries.size(); ++i) {
    Check(fromFile.entries[i].name == fromBytes.entries[i].name);
    Check(fromFile.entries[i].dataOffset == fromBytes.entries[i].dataOffset);
    Check(fromFile.entries[i].dataSize == fromBytes.entries[i].dataSize);
  }
  return 0;
}

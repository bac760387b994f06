#include "data/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "data/archive_directory.h"
#include "data/disk_path.h"

namespace {

// Handles read through a 4,096-byte buffer that is topped up whenever fewer than 2,048 bytes
// remain in it, so that field-by-field readers make no system call per field.
constexpr uint32_t kBufferSize = 4096;
constexpr uint32_t kRefillBelow = 2048;

constexpr int64_t kMaxFileSize = std::numeric_limits<int32_t>::max();

struct archiveInfo {
  std::string name;      // upper case, without folder
  std::string diskPath;  // the file as it is really named on the disk
  int32_t openCount = 0;
  diskFile file;  // open while openCount is above 0
};

struct archiveFileInfo {
  std::string name;  // upper case
  int32_t archiveIndex = 0;
  int32_t dataSize = 0;
  int32_t dataOffset = 0;
};

struct memoryFile {
  std::string name;  // exactly as resolved
  std::vector<uint8_t> contents;
  int32_t size = 0;
};

// The buffer holds the bytes [bufferStart, bufferEnd); reads take from bufferStart and the
// bytes are moved down only when the buffer is topped up.
struct dataFileHandle {
  int32_t archiveIndex = -1;  // -1 for a loose file
  int32_t memoryIndex = -1;   // -1 when not a memory file
  int32_t size = 0;
  int32_t dataOffset = 0;
  int64_t position = 0;  // the caller's position in the file
  // Where the next block is fetched from: the absolute archive position for a member, the file
  // position for a loose file; fetching stops at readLimit.
  int64_t readPosition = 0;
  int64_t readLimit = 0;
  int readDescriptor = -1;  // the loose file's, or the archive's while this handle keeps it open
  diskFile file;            // a loose file's own file
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t bufferStart = 0;
  uint32_t bufferEnd = 0;
  // A fetch gave nothing before readLimit (the file was cut short or cannot be read): the handle
  // counts as ended until it is repositioned, so callers looping on end-of-file stop too.
  bool exhausted = false;

  uint32_t Buffered() const { return bufferEnd - bufferStart; }
};

struct rawFileInfo {
  diskFile file;
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t bufferStart = 0;
  uint32_t bufferEnd = 0;

  uint32_t Buffered() const { return bufferEnd - bufferStart; }
};

// Everything the unit holds; DataFileStart begins from a fresh one (ids from 1 again).
struct dataFileState {
  bool logLow = false;  // "-logLow", read once at start
  std::string appFolder;
  std::vector<archiveInfo> archives;
  std::vector<archiveFileInfo> directory;
  // Upper-cased member name -> its first entry in the directory.
  std::unordered_map<std::string, size_t> directoryIndex;
  utilArrayString patches;
  std::vector<memoryFile> memoryFiles;
  IdRegistry<dataFileHandle> handles;
  IdRegistry<rawFileInfo> rawFiles;
  // The last handle looked up, so that a caller reading field by field from one handle skips the
  // search. Records stay in place until they are removed, so only closing that handle resets it.
  int32_t cachedId = kNoId;
  dataFileHandle* cachedHandle = nullptr;
};

dataFileState gData;

// ---------------------------------------------------------------------------------------------
// Lookup

const archiveFileInfo* DirectoryFind(const std::string& upperName) {
  auto found = gData.directoryIndex.find(upperName);
  return found != gData.directoryIndex.end() ? &gData.directory[found->second] : nullptr;
}

// The disk path of a loose file for a data name, or empty text when there is none.
std::string LooseFilePath(const std::string& name) {
  if (name.empty()) return {};
  std::string path = DiskPathFromName(name);
  if (!DiskPathIsAbsolute(name)) path = gData.appFolder + path;
  return DiskPathFindFile(path);
}

// The newest patch that holds the name, as a loose file or as an archive member, replaces it.
std::string ResolvePatchedName(const std::string& name) {
  for (const std::string& patch : gData.patches) {
    std::string candidate = patch + "\\" + name;
    if (!LooseFilePath(candidate).empty() || DirectoryFind(UtilUpper(candidate)) != nullptr) {
      return candidate;
    }
  }
  return name;
}

int32_t MemoryFileFind(const std::string& name) {
  for (size_t i = 0; i < gData.memoryFiles.size(); ++i) {
    if (gData.memoryFiles[i].name == name) return static_cast<int32_t>(i);
  }
  return -1;
}

[[gnu::noinline]] dataFileHandle* SearchHandle(int32_t id) {
  dataFileHandle* handle = gData.handles.Find(id);
  if (handle != nullptr) {
    gData.cachedId = id;
    gData.cachedHandle = handle;
  }
  return handle;
}

inline dataFileHandle* FindHandle(int32_t id) {
  return id == gData.cachedId ? gData.cachedHandle : SearchHandle(id);
}

// ---------------------------------------------------------------------------------------------
// Start-up: archives and patches

bool IsPatchNumber(const std::string& sixCharacters) {
  return sixCharacters.size() == 6 && UtilIsPositiveInteger(sixCharacters);
}

// An archive that gives fewer members than it declares is used as far as it is sound; the log
// names it, so that a broken download does not pass for missing content.
void ReportDamagedArchive(const std::string& fileName, const archiveDirectory& read) {
  const std::string archive = "DataFileStart - Archive \"" + fileName + "\" ";
  switch (read.state) {
    case archiveDirectoryState::complete:
      return;
    case archiveDirectoryState::notArchive:
      LogError(archive + "is not an archive.");
      return;
    case archiveDirectoryState::badVersion:
      LogError(archive + "has the unsupported version " + std::to_string(read.version) + ".");
      return;
    case archiveDirectoryState::truncated:
    case archiveDirectoryState::damagedEntry:
      LogError(archive + "is damaged: kept " + std::to_string(read.entries.size()) + " of " +
               std::to_string(read.declaredCount) + " entries.");
      return;
  }
}

void FindArchives() {
  // Every "*.kva" of the program folder, the extension in any letter case.
  std::vector<std::string> realNames;
  utilArrayString upperNames;
  for (const std::string& name : DiskPathFolderNames(gData.appFolder)) {
    if (name.size() >= 4 && UtilUpper(name.substr(name.size() - 4)) == ".KVA") {
      realNames.push_back(name);
      upperNames.push_back(UtilUpper(name));
    }
  }
  UtilArrayStringSortAscending(upperNames);

  std::vector<bool> taken(realNames.size(), false);
  for (const std::string& upper : upperNames) {
    archiveInfo archive;
    archive.name = upper;
    for (size_t i = 0; i < realNames.size(); ++i) {
      if (!taken[i] && UtilUpper(realNames[i]) == upper) {
        taken[i] = true;
        archive.diskPath = gData.appFolder + realNames[i];
        break;
      }
    }
    gData.archives.push_back(std::move(archive));
  }

  for (size_t index = 0; index < gData.archives.size(); ++index) {
    diskFile file;
    if (!file.OpenRead(gData.archives[index].diskPath)) continue;
    archiveDirectory read = ArchiveDirectoryReadFile(file.Descriptor());
    ReportDamagedArchive(gData.archives[index].diskPath.substr(gData.appFolder.size()), read);
    for (archiveDirectoryEntry& entry : read.entries) {
      archiveFileInfo info;
      info.name = UtilUpper(entry.name);
      info.archiveIndex = static_cast<int32_t>(index);
      info.dataSize = entry.dataSize;
      info.dataOffset = entry.dataOffset;
      gData.directoryIndex.emplace(info.name, gData.directory.size());
      gData.directory.push_back(std::move(info));
    }
  }
}

void FindPatches() {
  for (const std::string& name : DiskPathFolderNames(gData.appFolder)) {
    if (name.size() != 11 || UtilUpper(name.substr(0, 5)) != "PATCH" || !IsPatchNumber(name.substr(5, 6))) {
      continue;
    }
    // Two folders that differ only in case are one patch.
    std::string upper = UtilUpper(name);
    if (!UtilArrayStringContains(upper, gData.patches)) gData.patches.push_back(upper);
  }
  for (const archiveFileInfo& entry : gData.directory) {
    const std::string& name = entry.name;
    if (name.size() < 12 || name.compare(0, 5, "PATCH") != 0 || (name[11] != '\\' && name[11] != '/')) continue;
    if (!IsPatchNumber(name.substr(5, 6))) continue;
    std::string patch = name.substr(0, 11);
    if (!UtilArrayStringContains(patch, gData.patches)) gData.patches.push_back(patch);
  }
  UtilArrayStringSortDescending(gData.patches);
}

// ---------------------------------------------------------------------------------------------
// Buffered reads

bool HandleEof(const dataFileHandle& handle) {
  if (handle.memoryIndex >= 0) return handle.position >= handle.size;
  if (handle.Buffered() > 0) return false;
  if (handle.exhausted) return true;
  if (handle.archiveIndex < 0) return handle.readPosition >= handle.readLimit;
  return handle.position > static_cast<int64_t>(handle.size) - 1;
}

// One fetch at the read position; a failed or empty fetch marks the handle as exhausted.
int64_t FetchAt(dataFileHandle& handle, uint8_t* target, int64_t count) {
  for (;;) {
    ssize_t got = pread(handle.readDescriptor, target, static_cast<size_t>(count), static_cast<off_t>(handle.readPosition));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) handle.exhausted = true;
    return got;
  }
}

// Kept out of line, like ReadBuffered, so that DataFileRead's fast path needs no stack frame.
[[gnu::noinline]] int32_t ReadMemory(dataFileHandle& handle, uint8_t* out, int32_t count) {
  const memoryFile& file = gData.memoryFiles[static_cast<size_t>(handle.memoryIndex)];
  const int64_t left = static_cast<int64_t>(file.size) - handle.position;
  if (left <= 0) return 0;
  const int64_t take = std::min<int64_t>(count, left);
  std::memcpy(out, file.contents.data() + handle.position, static_cast<size_t>(take));
  handle.position += take;
  return static_cast<int32_t>(take);
}

// The general read: top up the buffer whenever fewer than 2,048 bytes are in it (asking for
// 4,096 minus what is buffered, no further than the file's or member's end), deliver from its
// front, and stop at the end, or as soon as the file gives nothing although more was expected.
[[gnu::noinline]] int32_t ReadBuffered(dataFileHandle& handle, uint8_t* out, int32_t count) {
  int64_t wanted = count;
  int64_t gathered = 0;
  while (wanted > 0) {
    if (handle.Buffered() < kRefillBelow && handle.readPosition < handle.readLimit && !handle.exhausted) {
      const int64_t ask = std::min<int64_t>(kBufferSize - handle.Buffered(), handle.readLimit - handle.readPosition);
      if (handle.Buffered() == 0 && wanted >= ask) {
        // Everything this fetch brings goes to the caller: read it straight into place.
        const int64_t got = FetchAt(handle, out + gathered, ask);
        if (got <= 0) break;
        handle.readPosition += got;
        handle.position += got;
        gathered += got;
        wanted -= got;
        continue;
      }
      if (handle.bufferStart > 0) {
        std::memmove(handle.buffer.get(), handle.buffer.get() + handle.bufferStart, handle.Buffered());
        handle.bufferEnd -= handle.bufferStart;
        handle.bufferStart = 0;
      }
      const int64_t got = FetchAt(handle, handle.buffer.get() + handle.bufferEnd, ask);
      if (got > 0) {
        handle.bufferEnd += static_cast<uint32_t>(got);
        handle.readPosition += got;
      }
    }
    const int64_t take = std::min<int64_t>(handle.Buffered(), wanted);
    // Nothing buffered and nothing fetched: the file has no more to give (its end, a truncated
    // archive, a read error).
    if (take == 0) break;
    std::memcpy(out + gathered, handle.buffer.get() + handle.bufferStart, static_cast<size_t>(take));
    handle.bufferStart += static_cast<uint32_t>(take);
    handle.position += take;
    gathered += take;
    wanted -= take;
    if (wanted > 0 && HandleEof(handle)) break;
  }
  return static_cast<int32_t>(gathered);
}

void CloseHandle(int32_t id) {
  const dataFileHandle* handle = gData.handles.Find(id);
  if (handle == nullptr) return;
  if (handle->archiveIndex >= 0) {
    archiveInfo& archive = gData.archives[static_cast<size_t>(handle->archiveIndex)];
    if (archive.openCount > 0 && --archive.openCount == 0) archive.file.Close();
  }
  gData.handles.Remove(id);
  if (gData.cachedId == id) {
    gData.cachedId = kNoId;
    gData.cachedHandle = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Raw files

rawFileInfo* FindRaw(int32_t id) { return gData.rawFiles.Find(id); }

// The system end-of-file test: the file position is at or past the file's size.
bool RawAtEnd(const rawFileInfo& raw) {
  const off_t position = lseek(raw.file.Descriptor(), 0, SEEK_CUR);
  const int64_t size = raw.file.Size();
  return position < 0 || size < 0 || static_cast<int64_t>(position) >= size;
}

int32_t AddRaw(diskFile file) {
  rawFileInfo raw;
  raw.file = std::move(file);
  raw.buffer.reset(new uint8_t[kBufferSize]);
  return gData.rawFiles.Add(std::move(raw));
}

// The read buffer runs ahead of the caller: put the system file back at the caller's position
// and drop what was read ahead, so that a write lands where the caller is.
bool RawDropReadAhead(rawFileInfo& raw) {
  if (raw.Buffered() == 0) {
    raw.bufferStart = raw.bufferEnd = 0;
    return true;
  }
  if (lseek(raw.file.Descriptor(), -static_cast<off_t>(raw.Buffered()), SEEK_CUR) < 0) return false;
  raw.bufferStart = raw.bufferEnd = 0;
  return true;
}

}  // namespace

// =============================================================================================
// Start and end

void DataFileStart() {
  DataFileEnd();
  gData.logLow = UtilSwitchPresent("-logLow");
  LogVersion("fwkDataFile - Version 1.0");
  gData.appFolder = UtilAppFolder();
  FindArchives();
  FindPatches();
}

void DataFileEnd() {
  // Records own their files: dropping them closes every handle, raw file and archive.
  gData = dataFileState{};
  DiskPathCacheClear();
}

// =============================================================================================
// Data files

int32_t DataFileOpen(const std::string& name) {
  const std::string resolved = ResolvePatchedName(name);
  dataFileHandle handle;

  const int32_t memoryIndex = MemoryFileFind(resolved);
  const archiveFileInfo* member = memoryIndex < 0 ? DirectoryFind(UtilUpper(resolved)) : nullptr;
  if (memoryIndex >= 0) {
    handle.memoryIndex = memoryIndex;
    handle.size = gData.memoryFiles[static_cast<size_t>(memoryIndex)].size;
  } else if (member != nullptr) {
    archiveInfo& archive = gData.archives[static_cast<size_t>(member->archiveIndex)];
    if (archive.openCount == 0 && !archive.file.OpenRead(archive.diskPath)) return kNoId;
    ++archive.openCount;
    handle.archiveIndex = member->archiveIndex;
    handle.size = member->dataSize;
    handle.dataOffset = member->dataOffset;
    handle.readPosition = member->dataOffset;
    handle.readLimit = static_cast<int64_t>(member->dataOffset) + member->dataSize;
    handle.readDescriptor = archive.file.Descriptor();
  } else {
    const std::string path = LooseFilePath(resolved);
    if (path.empty() || !handle.file.OpenRead(path)) return kNoId;
    // Sizes and positions are 32-bit: a larger file cannot be read through a handle.
    const int64_t size = handle.file.Size();
    if (size < 0 || size > kMaxFileSize) return kNoId;
    handle.size = static_cast<int32_t>(size);
    handle.readLimit = size;
    handle.readDescriptor = handle.file.Descriptor();
    if (gData.logLow) LogWrite("File \"" + resolved + "\" read from disk.");
  }
  if (handle.memoryIndex < 0) handle.buffer.reset(new uint8_t[kBufferSize]);
  return gData.handles.Add(std::move(handle));
}

void DataFileClose(int32_t handle) { CloseHandle(handle); }

int32_t DataFileRead(int32_t handle, void* buffer, int32_t count) {
  dataFileHandle* file = FindHandle(handle);
  if (file == nullptr || count < 1 || buffer == nullptr) return 0;
  // Most reads are small and served from a well-filled buffer: no top-up is due, so none of the
  // general loop's bookkeeping is needed.
  const uint32_t buffered = file->Buffered();
  if (buffered >= kRefillBelow && static_cast<uint32_t>(count) <= buffered) {
    const uint8_t* from = file->buffer.get() + file->bufferStart;
    // Field sizes are copied with constant sizes, which compile to plain moves.
    switch (count) {
      case 1: std::memcpy(buffer, from, 1); break;
      case 2: std::memcpy(buffer, from, 2); break;
      case 4: std::memcpy(buffer, from, 4); break;
      case 8: std::memcpy(buffer, from, 8); break;
      default: std::memcpy(buffer, from, static_cast<size_t>(count)); break;
    }
    file->bufferStart += static_cast<uint32_t>(count);
    file->position += count;
    return count;
  }
  if (file->memoryIndex >= 0) return ReadMemory(*file, static_cast<uint8_t*>(buffer), count);
  return ReadBuffered(*file, static_cast<uint8_t*>(buffer), count);
}

bool DataFileReadExact(int32_t handle, void* buffer, int32_t count) {
  return DataFileRead(handle, buffer, count) == count;
}

std::string DataFileReadLine(int32_t handle) {
  std::string line;
  char byte = 0;
  while (DataFileRead(handle, &byte, 1) == 1) {
    if (byte == '\r') break;
    if (byte != '\n') line += byte;
  }
  return line;
}

bool DataFileSeek(int32_t handle, int32_t position) {
  dataFileHandle* file = FindHandle(handle);
  // A negative position would read from before the file (or from the member in front of it).
  if (file == nullptr || position < 0) return false;
  file->position = position;
  file->bufferStart = file->bufferEnd = 0;
  file->exhausted = false;
  if (file->memoryIndex < 0) {
    // Nothing is asked of the system here: the next fetch reads at this position.
    file->readPosition = static_cast<int64_t>(file->dataOffset) + position;
  }
  return true;
}

int32_t DataFilePosition(int32_t handle) {
  const dataFileHandle* file = FindHandle(handle);
  return file != nullptr ? static_cast<int32_t>(file->position) : -1;
}

int32_t DataFileSize(int32_t handle) {
  const dataFileHandle* file = FindHandle(handle);
  return file != nullptr ? file->size : 0;
}

bool DataFileEof(int32_t handle) {
  const dataFileHandle* file = FindHandle(handle);
  return file == nullptr || HandleEof(*file);
}

bool DataFileMemoryLoad(const std::string& name) {
  const std::string resolved = ResolvePatchedName(name);
  if (MemoryFileFind(resolved) >= 0) return true;
  const int32_t handle = DataFileOpen(name);
  if (handle == kNoId) return false;

  memoryFile file;
  file.name = resolved;
  file.size = DataFileSize(handle);
  bool read = false;
  try {
    file.contents.resize(static_cast<size_t>(file.size));
    read = DataFileReadExact(handle, file.contents.data(), file.size) || file.size == 0;
  } catch (const std::bad_alloc&) {
    // Too large to hold: the file stays on disk or in its archive.
    read = false;
  }
  DataFileClose(handle);
  if (!read) return false;
  gData.memoryFiles.push_back(std::move(file));
  return true;
}

void DataFileMemoryFree(const std::string& name) {
  const int32_t index = MemoryFileFind(ResolvePatchedName(name));
  if (index < 0) return;
  for (int32_t id : gData.handles.Ids()) {
    dataFileHandle& handle = *gData.handles.Find(id);
    if (handle.memoryIndex == index) {
      CloseHandle(id);
    } else if (handle.memoryIndex > index) {
      --handle.memoryIndex;
    }
  }
  gData.memoryFiles.erase(gData.memoryFiles.begin() + index);
}

bool DataFileOnSearchPath(const std::string& fileName) {
  if (fileName.empty()) return false;
  auto exists = [](const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  };
  if (exists(fileName)) return true;

  // The program folder, the loader's extra folders, the system library folders, then PATH.
  std::string list = UtilAppFolder();
  auto append = [&list](const std::string& part) {
    if (part.empty()) return;
    if (!list.empty() && list.back() != ':') list += ':';
    list += part;
  };
  if (const char* value = std::getenv("LD_LIBRARY_PATH")) append(value);
#if defined(__x86_64__)
  const char* multiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
  const char* multiarch = "aarch64-linux-gnu";
#elif defined(__i386__)
  const char* multiarch = "i386-linux-gnu";
#else
  const char* multiarch = "";
#endif
  for (const std::string& folder : {std::string("/lib"), std::string("/usr/lib"), "/lib/" + std::string(multiarch),
                                    "/usr/lib/" + std::string(multiarch), std::string("/lib64"),
                                    std::string("/usr/lib64"), std::string("/usr/local/lib")}) {
    if (folder.back() != '/') append(folder);
  }
  if (const char* value = std::getenv("PATH")) append(value);

  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string folder = list.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    if (exists(folder.back() == '/' ? folder + fileName : folder + "/" + fileName)) return true;
  }
  return false;
}

// =============================================================================================
// Raw files

int32_t RawFileOpen(const std::string& path) {
  diskFile file;
  if (path.empty() || !file.OpenRead(path)) return kNoId;
  return AddRaw(std::move(file));
}

int32_t RawFileCreate(const std::string& path) {
  diskFile file;
  if (path.empty() || !file.Create(path)) return kNoId;
  return AddRaw(std::move(file));
}

bool RawFileRead(int32_t handle, void* buffer, int32_t count) {
  rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr || count < 0 || (buffer == nullptr && count > 0)) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  bool complete = true;
  int64_t wanted = count;
  int64_t gathered = 0;
  while (wanted > 0) {
    bool exhausted = false;
    if (raw->Buffered() < kRefillBelow) {
      if (RawAtEnd(*raw)) {
        exhausted = true;
      } else {
        if (raw->bufferStart > 0) {
          std::memmove(raw->buffer.get(), raw->buffer.get() + raw->bufferStart, raw->Buffered());
          raw->bufferEnd -= raw->bufferStart;
          raw->bufferStart = 0;
        }
        ssize_t got = -1;
        do {
          got = read(raw->file.Descriptor(), raw->buffer.get() + raw->bufferEnd, kBufferSize - raw->bufferEnd);
        } while (got < 0 && errno == EINTR);
        // A file that gives nothing although it claims more (shrunk, read error) has ended too.
        if (got > 0) {
          raw->bufferEnd += static_cast<uint32_t>(got);
        } else {
          exhausted = true;
        }
      }
    } else if (raw->Buffered() < wanted) {
      exhausted = RawAtEnd(*raw);
    }
    if (raw->Buffered() < wanted && exhausted) {
      complete = false;
      wanted = raw->Buffered();
    }
    const int64_t take = std::min<int64_t>(raw->Buffered(), wanted);
    std::memcpy(out + gathered, raw->buffer.get() + raw->bufferStart, static_cast<size_t>(take));
    raw->bufferStart += static_cast<uint32_t>(take);
    gathered += take;
    wanted -= take;
  }
  return complete;
}

bool RawFileWrite(int32_t handle, const void* buffer, int32_t count) {
  rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr || count < 0 || (buffer == nullptr && count > 0)) return false;
  if (!RawDropReadAhead(*raw)) return false;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  size_t left = static_cast<size_t>(count);
  while (left > 0) {
    ssize_t written = write(raw->file.Descriptor(), bytes, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

bool RawFileSeek(int32_t handle, int32_t position) {
  rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr || position < 0) return false;
  if (lseek(raw->file.Descriptor(), position, SEEK_SET) < 0) return false;
  raw->bufferStart = raw->bufferEnd = 0;
  return true;
}

int32_t RawFilePosition(int32_t handle) {
  const rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr) return -1;
  const off_t position = lseek(raw->file.Descriptor(), 0, SEEK_CUR);
  if (position < 0) return -1;
  const int64_t logical = static_cast<int64_t>(position) - raw->Buffered();
  return logical > kMaxFileSize ? -1 : static_cast<int32_t>(logical);
}

int32_t RawFileSize(int32_t handle) {
  const rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr) return 0;
  const int64_t size = raw->file.Size();
  if (size < 0) return 0;
  return static_cast<int32_t>(std::min(size, kMaxFileSize));
}

bool RawFileEof(int32_t handle) {
  const rawFileInfo* raw = FindRaw(handle);
  if (raw == nullptr) return true;
  if (raw->Buffered() > 0) return false;
  return RawAtEnd(*raw);
}

void RawFileClose(int32_t handle) { gData.rawFiles.Remove(handle); }

bool DataFileReadAll(const std::string& name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const DataFileGuard file(name);
  if (!file) return false;
  const int32_t size = DataFileSize(file.Get());
  if (size <= 0) return true;
  bytes.resize(static_cast<size_t>(size));
  const int32_t got = DataFileRead(file.Get(), bytes.data(), size);
  bytes.resize(static_cast<size_t>(std::max(got, 0)));
  return true;
}

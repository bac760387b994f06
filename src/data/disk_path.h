// Internal to the data unit: how data names reach the disk. Names use "\" between folders and are
// matched without regard to letter case; the disk uses "/" and exact names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether a data name is absolute: it begins with "/", or it has at least two characters and
// contains ":" or begins with two slashes of either kind ("\\server\share", "C:\Games").
bool DiskPathIsAbsolute(const std::string& name);

// The name with every "\" turned into "/".
std::string DiskPathFromName(const std::string& name);

// The existing disk path that a "/"-separated path names. A component that does not exist in the
// exact letter case is matched against its folder's listing without regard to case (ASCII
// letters). Empty text when some component is found nowhere. The exact path is tried first,
// without any folder listing.
std::string DiskPathFind(const std::string& path);

// DiskPathFind for something that is not a folder (a file, a device, ...): its disk path or empty.
std::string DiskPathFindFile(const std::string& path);

// The names in a folder (no "." or ".."), from the listing cache; empty when it cannot be listed.
std::vector<std::string> DiskPathFolderNames(const std::string& folder);

// Forgets every cached folder listing.
void DiskPathCacheClear();

// A file descriptor that closes itself; move-only.
class diskFile {
 public:
  diskFile() = default;
  explicit diskFile(int descriptor) : fd_(descriptor) {}
  ~diskFile() { Close(); }
  diskFile(diskFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  diskFile& operator=(diskFile&& other) noexcept;
  diskFile(const diskFile&) = delete;
  diskFile& operator=(const diskFile&) = delete;

  // Opens for reading; false when the file cannot be opened or is a folder.
  bool OpenRead(const std::string& path);
  // Creates or truncates for reading and writing.
  bool Create(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  // Size in bytes, -1 on failure.
  int64_t Size() const;
  // Up to count bytes at an absolute offset, retried when interrupted; -1 on failure, 0 at the end.
  int64_t ReadAt(void* buffer, size_t count, int64_t offset) const;

 private:
  int fd_ = -1;
};

#include "core/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr const char* kTemporaryMark = ".tmp";

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool Replace(const std::string& path, const uint8_t* data, size_t size) {
  std::string temporary = path + kTemporaryMark + std::to_string(getpid());
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  int saved = errno;
  std::remove(temporary.c_str());
  errno = saved;  // the caller's message names the real cause
  return false;
}

// The process id behind a ".tmp<digits>" ending, or 0 when the name has no such ending.
pid_t TemporaryOwner(const std::string& name) {
  size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string::npos || mark == 0) return 0;
  std::string digits = name.substr(mark + 4);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return static_cast<pid_t>(std::stol(digits));
}

}  // namespace

bool FileReplaceWrite(const std::string& path, const std::string& bytes) {
  return Replace(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool FileReplaceWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  return Replace(path, bytes.data(), bytes.size());
}

int32_t FileReplaceRemoveStale(const std::string& folder) {
  DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!directory) return 0;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  int32_t removed = 0;
  while (dirent* entry = ::readdir(directory)) {
    std::string name = entry->d_name;
    pid_t owner = TemporaryOwner(name);
    if (owner <= 0) continue;
    // A replace of a process that still runs (another copy of the game) is left alone.
    if (owner == getpid() || ::kill(owner, 0) == 0 || errno == EPERM) continue;
    if (std::remove((prefix + name).c_str()) == 0) ++removed;
  }
  ::closedir(directory);
  return removed;
}

#include "data/disk_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unordered_map>

#include "core/util.h"

namespace {

// One folder's listing: its names, and for each upper-cased name the real name that wins (the
// byte-wise smallest when several differ only in case). The folder's identity and modification
// time tell when the listing has gone stale.
struct folderListing {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified {};
  struct timespec listedAt {};
  std::vector<std::string> names;
  std::unordered_map<std::string, std::string> byUpper;
};

std::unordered_map<std::string, folderListing> gListings;

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A folder's modification time has a coarse clock behind it: a change made in the same tick as
// our listing leaves the time unchanged. A listing taken within a second of the folder's last
// change is therefore not trusted to prove that a name is missing.
bool ListingIsRacy(const folderListing& listing) {
  return listing.listedAt.tv_sec <= listing.modified.tv_sec + 1;
}

bool ReadListing(const std::string& folder, const struct stat& info, folderListing& listing) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  listing = folderListing{};
  listing.device = info.st_dev;
  listing.inode = info.st_ino;
  listing.modified = info.st_mtim;
  clock_gettime(CLOCK_REALTIME, &listing.listedAt);
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    listing.names.push_back(std::move(name));
  }
  closedir(dir);
  std::sort(listing.names.begin(), listing.names.end());
  for (const std::string& name : listing.names) listing.byUpper.emplace(UtilUpper(name), name);
  return true;
}

// The cached listing of a folder, re-read when the folder changed (or when `refresh` asks for
// it); nullptr when the folder cannot be listed.
const folderListing* ListingFor(const std::string& folder, bool refresh = false) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    gListings.erase(folder);
    return nullptr;
  }
  auto found = gListings.find(folder);
  if (found != gListings.end() && !refresh && found->second.device == info.st_dev &&
      found->second.inode == info.st_ino && SameTime(found->second.modified, info.st_mtim)) {
    return &found->second;
  }
  folderListing listing;
  if (!ReadListing(folder, info, listing)) {
    gListings.erase(folder);
    return nullptr;
  }
  return &(gListings[folder] = std::move(listing));
}

// The real name in `folder` that matches `name` without regard to case; empty when none does.
std::string MatchInFolder(const std::string& folder, const std::string& name) {
  const std::string upper = UtilUpper(name);
  const folderListing* listing = ListingFor(folder);
  if (listing == nullptr) return {};
  auto found = listing->byUpper.find(upper);
  if (found != listing->byUpper.end()) return found->second;
  if (!ListingIsRacy(*listing)) return {};
  listing = ListingFor(folder, true);
  if (listing == nullptr) return {};
  found = listing->byUpper.find(upper);
  return found != listing->byUpper.end() ? found->second : std::string();
}

// The cache key of a folder path built while walking: no trailing "/" except for the root, and
// "." for the current folder.
std::string FolderKey(const std::string& current) {
  if (current.empty()) return ".";
  if (current.size() > 1 && current.back() == '/') return current.substr(0, current.size() - 1);
  return current;
}

// A name with a NUL byte in it would reach the system cut short, naming some other file.
bool UsablePath(const std::string& path) { return path.find('\0') == std::string::npos; }

bool PathExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

bool DiskPathIsAbsolute(const std::string& name) {
  if (!name.empty() && name[0] == '/') return true;
  if (name.size() < 2) return false;
  if (name.find(':') != std::string::npos) return true;
  const bool slash0 = name[0] == '\\' || name[0] == '/';
  const bool slash1 = name[1] == '\\' || name[1] == '/';
  return slash0 && slash1;
}

std::string DiskPathFromName(const std::string& name) {
  std::string result = name;
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

std::string DiskPathFind(const std::string& path) {
  if (path.empty() || !UsablePath(path)) return {};
  if (PathExists(path)) return path;

  std::string current = path[0] == '/' ? "/" : "";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;

    std::string candidate = current + component;
    if (component != ".." && !PathExists(candidate)) {
      const std::string real = MatchInFolder(FolderKey(current), component);
      if (real.empty()) return {};
      candidate = current + real;
    }
    current = candidate;
    if (end < path.size()) current += '/';
  }
  return current;
}

std::string DiskPathFindFile(const std::string& path) {
  std::string found = DiskPathFind(path);
  if (found.empty()) return {};
  struct stat info {};
  if (stat(found.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return {};
  return found;
}

std::vector<std::string> DiskPathFolderNames(const std::string& folder) {
  const folderListing* listing = ListingFor(FolderKey(folder));
  return listing != nullptr ? listing->names : std::vector<std::string>{};
}

void DiskPathCacheClear() { gListings.clear(); }

// ---------------------------------------------------------------------------------------------
// diskFile

diskFile& diskFile::operator=(diskFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool diskFile::OpenRead(const std::string& path) {
  Close();
  if (!UsablePath(path)) return false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool diskFile::Create(const std::string& path) {
  Close();
  if (!UsablePath(path)) return false;
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

void diskFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int64_t diskFile::Size() const {
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int64_t diskFile::ReadAt(void* buffer, size_t count, int64_t offset) const {
  if (fd_ < 0 || offset < 0) return -1;
  for (;;) {
    ssize_t got = pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<int64_t>(got);
    if (errno != EINTR) return -1;
  }
}

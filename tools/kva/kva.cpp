// kva: packs a folder into a .kva archive, lists an archive's members, extracts them to a folder.
//
//   kva pack ARCHIVE DIR      every regular file below DIR, named by its path below DIR with "\"
//                             between folders, in byte-wise order of those names
//   kva list ARCHIVE          one line per member: name, a tab, size in bytes
//   kva extract ARCHIVE DIR   members written below DIR ("\" becomes "/"); names that would
//                             leave DIR are refused
//
// Exit status: 0 on success, 1 when something failed, 2 for wrong arguments.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/util.h"
#include "data/archive_directory.h"
#include "data/disk_path.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kCopyBlock = 1 << 20;

int Usage() {
  std::fprintf(stderr,
               "usage: kva pack ARCHIVE DIR      pack every file below DIR into ARCHIVE\n"
               "       kva list ARCHIVE          list the members of ARCHIVE with their sizes\n"
               "       kva extract ARCHIVE DIR   write the members of ARCHIVE below DIR\n");
  return 2;
}

void Fail(const std::string& message) { std::fprintf(stderr, "kva: %s\n", message.c_str()); }

bool WriteAll(int fd, const void* bytes, size_t count) {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    ssize_t written = write(fd, p, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    p += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

// Copies exactly `size` bytes from `from` (at `offset`) to the end of `to`.
bool CopyBytes(const diskFile& from, int64_t offset, int64_t size, int to, std::vector<char>& block) {
  while (size > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(size, static_cast<int64_t>(block.size())));
    const int64_t got = from.ReadAt(block.data(), want, offset);
    if (got <= 0 || !WriteAll(to, block.data(), static_cast<size_t>(got))) return false;
    offset += got;
    size -= got;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// pack

struct packMember {
  std::string name;  // "\" between folders
  fs::path path;
  int64_t size = 0;
};

int Pack(const std::string& archivePath, const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    Fail("\"" + folder + "\" is not a folder.");
    return 1;
  }
  const bool archiveExists = fs::exists(archivePath, error);

  std::vector<packMember> members;
  bool ok = true;
  fs::recursive_directory_iterator it(folder, error);
  if (error) {
    Fail("cannot read \"" + folder + "\": " + error.message());
    return 1;
  }
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (error) break;
    if (!it->is_regular_file(error)) continue;
    // An older copy of the archive inside the folder is not packed into the new one.
    if (archiveExists && fs::equivalent(it->path(), archivePath, error)) continue;
    packMember member;
    member.path = it->path();
    for (const fs::path& part : it->path().lexically_relative(folder)) {
      const std::string text = part.string();
      if (text.find('\\') != std::string::npos) {
        Fail("\"" + it->path().string() + "\" has a \"\\\" in its name, which would read as a folder.");
        ok = false;
      }
      if (!member.name.empty()) member.name += '\\';
      member.name += text;
    }
    member.size = static_cast<int64_t>(it->file_size(error));
    if (error) {
      Fail("cannot read \"" + it->path().string() + "\": " + error.message());
      ok = false;
    }
    members.push_back(std::move(member));
  }
  if (error) {
    Fail("cannot read \"" + folder + "\": " + error.message());
    return 1;
  }
  if (!ok) return 1;
  std::sort(members.begin(), members.end(), [](const packMember& a, const packMember& b) { return a.name < b.name; });

  // Offsets and sizes are signed 32-bit: the whole archive must stay below 2 GiB.
  int64_t dataStart = kArchiveHeaderSize;
  int64_t total = 0;
  for (const packMember& member : members) {
    if (member.name.size() > std::numeric_limits<uint16_t>::max()) {
      Fail("the name \"" + member.name + "\" is too long for an archive.");
      return 1;
    }
    dataStart += static_cast<int64_t>(kArchiveMinimumEntrySize + member.name.size());
    total += member.size;
  }
  if (dataStart + total > std::numeric_limits<int32_t>::max() ||
      members.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Fail("the files below \"" + folder + "\" are too large for one archive (2 GiB at most).");
    return 1;
  }

  ByteWriter header;
  header.Bytes(kArchiveMagic, sizeof(kArchiveMagic));
  header.U16(1);
  header.I32(static_cast<int32_t>(members.size()));
  int64_t offset = dataStart;
  for (const packMember& member : members) {
    header.U8(kArchiveEntryHeaderLength);
    header.I32(static_cast<int32_t>(offset));
    header.I32(static_cast<int32_t>(member.size));
    header.U16(static_cast<uint16_t>(member.name.size()));
    header.Text(member.name);
    offset += member.size;
  }

  // Written beside the target and renamed into place, so a failed pack leaves no half archive.
  const std::string temporary = archivePath + ".partial";
  diskFile out;
  if (!out.Create(temporary)) {
    Fail("cannot create \"" + temporary + "\": " + std::strerror(errno));
    return 1;
  }
  std::vector<char> block(kCopyBlock);
  ok = WriteAll(out.Descriptor(), header.Data().data(), header.Size());
  for (size_t i = 0; ok && i < members.size(); ++i) {
    diskFile in;
    if (!in.OpenRead(members[i].path.string())) {
      Fail("cannot open \"" + members[i].path.string() + "\": " + std::strerror(errno));
      ok = false;
    } else if (in.Size() != members[i].size || !CopyBytes(in, 0, members[i].size, out.Descriptor(), block)) {
      Fail("cannot copy \"" + members[i].path.string() + "\" (changed while packing, or a read or write error).");
      ok = false;
    }
  }
  if (ok && fsync(out.Descriptor()) != 0) ok = false;
  out.Close();
  if (!ok || std::rename(temporary.c_str(), archivePath.c_str()) != 0) {
    if (ok) Fail("cannot write \"" + archivePath + "\": " + std::strerror(errno));
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// list and extract

// Opens an archive and reads its directory; false (with a message) when it cannot be used at all.
bool OpenArchive(const std::string& path, diskFile& file, archiveDirectory& directory) {
  if (!file.OpenRead(path)) {
    Fail("cannot open \"" + path + "\": " + std::strerror(errno));
    return false;
  }
  directory = ArchiveDirectoryReadFile(file.Descriptor());
  if (directory.state == archiveDirectoryState::notArchive || directory.state == archiveDirectoryState::badVersion) {
    Fail("\"" + path + "\" is not a readable archive (" + ArchiveDirectoryStateText(directory.state) + ").");
    return false;
  }
  return true;
}

// A damaged directory still yields the members before the damage; the caller reports failure.
bool ReportDamage(const std::string& path, const archiveDirectory& directory) {
  if (directory.state == archiveDirectoryState::complete) return true;
  Fail("\"" + path + "\" is damaged (" + ArchiveDirectoryStateText(directory.state) + "); only the " +
       std::to_string(directory.entries.size()) + " members before the damage were read.");
  return false;
}

int List(const std::string& archivePath) {
  diskFile file;
  archiveDirectory directory;
  if (!OpenArchive(archivePath, file, directory)) return 1;
  for (const archiveDirectoryEntry& entry : directory.entries) {
    std::printf("%s\t%d\n", entry.name.c_str(), entry.dataSize);
  }
  std::fflush(stdout);
  return ReportDamage(archivePath, directory) ? 0 : 1;
}

// The folders and file name of a member below the target folder, or an empty list for a name
// that is absolute or climbs out with "..".
std::vector<std::string> SafeParts(const std::string& name) {
  if (name.empty() || DiskPathIsAbsolute(name) || name[0] == '\\') return {};
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    start = end + 1;
    if (part == "..") return {};
    if (part.empty() || part == ".") continue;
    parts.push_back(std::move(part));
  }
  return parts;
}

int Extract(const std::string& archivePath, const std::string& folder) {
  diskFile archive;
  archiveDirectory directory;
  if (!OpenArchive(archivePath, archive, directory)) return 1;
  bool ok = ReportDamage(archivePath, directory);

  std::vector<char> block(kCopyBlock);
  std::set<std::string> written;
  for (const archiveDirectoryEntry& entry : directory.entries) {
    const std::vector<std::string> parts = SafeParts(entry.name);
    if (parts.empty()) {
      Fail("refusing member \"" + entry.name + "\": its name leads outside the target folder.");
      ok = false;
      continue;
    }
    // The game reads the first member of a name; later ones are shadowed and not written.
    if (!written.insert(UtilUpper(entry.name)).second) {
      Fail("skipping member \"" + entry.name + "\": an earlier member has the same name.");
      continue;
    }
    fs::path target(folder);
    for (const std::string& part : parts) target /= part;
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    diskFile out;
    if (error || !out.Create(target.string())) {
      Fail("cannot create \"" + target.string() + "\"" + (error ? ": " + error.message() : std::string(": ") + std::strerror(errno)));
      ok = false;
      continue;
    }
    if (!CopyBytes(archive, entry.dataOffset, entry.dataSize, out.Descriptor(), block)) {
      Fail("cannot copy member \"" + entry.name + "\" (archive cut short, or a read or write error).");
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "pack" && argc == 4) return Pack(argv[2], argv[3]);
  if (command == "list" && argc == 3) return List(argv[2]);
  if (command == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  return Usage();
}

// libFuzzer harness for the archive round trip: the fuzz bytes describe a folder of files (names
// and contents), which the kva tool packs; the data layer then reads every member back from the
// archive, and each must hold exactly the bytes of its file.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fuzz_files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs kva pack; true when it exited with status 0.
bool Pack(const std::string& archive, const std::string& folder) {
  const char* argv[] = {KVA_TOOL, "pack", archive.c_str(), folder.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, KVA_TOOL, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  // libFuzzer's timeout alarm interrupts the wait now and then; that is no failure of the tool.
  int status = 0;
  pid_t waited = 0;
  do waited = waitpid(pid, &status, 0);
  while (waited < 0 && errno == EINTR);
  return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string root = fuzzfiles::Folder();
  const std::string source = root + "source/";
  std::error_code ignored;
  fs::remove_all(source, ignored);
  // Each file: a name length (1 to 16), its characters folded onto lower-case letters, digits and
  // one level of folder, a content length (two bytes, at most 4,096), the content.
  std::map<std::string, std::string> files;  // member name ("\" between folders) -> content
  size_t at = 0;
  while (at < size && files.size() < 12) {
    const size_t length = 1 + data[at++] % 16;
    std::string name;
    for (size_t i = 0; i < length && at < size; ++i, ++at) {
      const char* letters = "abcdefghijklmnopqrstuvwxyz0123456789";
      name += data[at] == '/' && !name.empty() && name.find('\\') == std::string::npos ? '\\' : letters[data[at] % 36];
    }
    if (name.empty() || name.back() == '\\') break;
    size_t bytes = 0;
    if (at + 2 <= size) bytes = (data[at] | data[at + 1] << 8) % 4097, at += 2;
    bytes = std::min(bytes, size - at);
    const std::string content(reinterpret_cast<const char*>(data + at), bytes);
    at += bytes;
    // A name that is also another's folder cannot be both on disk.
    bool clash = false;
    for (const auto& [other, unused] : files) {
      clash = clash || other.rfind(name + "\\", 0) == 0 || name.rfind(other + "\\", 0) == 0;
    }
    if (clash) continue;
    files[name] = content;
  }
  for (const auto& [name, content] : files) {
    std::string path = name;
    for (char& c : path) c = c == '\\' ? '/' : c;
    fs::create_directories(fs::path(source + path).parent_path(), ignored);
    std::ofstream(source + path, std::ios::binary) << content;
  }
  fs::create_directories(source, ignored);
  const std::string archive = root + "fuzz.kva";
  if (!Pack(archive, source)) __builtin_trap();
  DataFileEnd();
  DataFileStart();  // finds the new archive
  for (const auto& [name, content] : files) {
    std::vector<uint8_t> bytes;
    if (!DataFileReadAll(name, bytes) && !content.empty()) __builtin_trap();
    if (std::string(bytes.begin(), bytes.end()) != content) __builtin_trap();
  }
  fuzzfiles::ForgetLog();
  return 0;
}

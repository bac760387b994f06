#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "core/log.h"
#include "core/util.h"

namespace fs = std::filesystem;

namespace tftest {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/thornfall-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) != nullptr) path_ = std::string(buffer.data()) + "/";
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  // Restore write permission first so read-only test folders can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

void MakeFolders(const std::string& path) {
  std::error_code ignored;
  fs::create_directories(path, ignored);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  fs::path p(path);
  if (p.has_parent_path()) MakeFolders(p.parent_path().string());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::string LE16(uint32_t value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string LE32(uint32_t value) { return LE16(value & 0xFFFF) + LE16(value >> 16); }

std::string LastLogLine() {
  const std::string log = ReadFile(LogGetFilePath());
  if (log.size() < 2) return {};
  size_t start = log.rfind("\r\n", log.size() - 3);
  start = start == std::string::npos ? 0 : start + 2;
  return log.substr(start, log.size() - start - 2);
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

runResult RunTool(const std::string& program, const std::vector<std::string>& arguments) {
  TempDir output;
  std::string command = ShellQuote(program);
  for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
  command += " >" + ShellQuote(output / "out") + " 2>" + ShellQuote(output / "err");
  runResult result;
  const int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(output / "out");
  result.err = ReadFile(output / "err");
  return result;
}

void UseProgramFolder(const TempDir& dir, std::vector<std::string> parameters) {
  parameters.insert(parameters.begin(), "-userdatainapp");
  UtilSetCommandLine(parameters);
  UtilSetAppFolder(dir.path());
  LogStart();
}

LogCapture::LogCapture() {
  LogSetSink([this](const std::string& line) { lines_.push_back(line); });
}

LogCapture::~LogCapture() { LogSetSink({}); }

bool LogCapture::Contains(const std::string& text) const {
  for (const std::string& line : lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace tftest

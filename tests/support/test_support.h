// Helpers shared by the tests: temporary folders and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tftest {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder's path, ending in "/".
  const std::string& path() const { return path_; }
  // path() + relative, with parent folders created as needed when writing.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

// Writes bytes to a file, creating parent folders. Returns false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);
// The whole file, or empty text when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void MakeFolders(const std::string& path);
// Little-endian byte texts for building binary files in tests.
std::string LE16(uint32_t value);
std::string LE32(uint32_t value);

// The last line of the current log (results.log), without its line end; empty when none.
std::string LastLogLine();

// Collects every log line written while it lives (through the log's sink, not the file).
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  const std::vector<std::string>& lines() const { return lines_; }
  // Whether some line contains the text.
  bool Contains(const std::string& text) const;
  void Clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

// A program's exit status (-1 when it did not exit normally) and what it wrote.
struct runResult {
  int status = -1;
  std::string out;
  std::string err;
};
// Quotes a text for the shell.
std::string ShellQuote(const std::string& text);
// Runs the program with the arguments (each passed as one argument) and collects its output.
runResult RunTool(const std::string& program, const std::vector<std::string>& arguments);

// Points the program folder and the user data folder at `dir` (with "-userdatainapp" among the
// parameters) and restarts the log there, so a test sees its own results.log and settings.ini.
void UseProgramFolder(const TempDir& dir, std::vector<std::string> parameters = {});

}  // namespace tftest

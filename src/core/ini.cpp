#include "core/ini.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "core/file_replace.h"
#include "core/log.h"
#include "core/util.h"

namespace {

constexpr size_t kMaxValueLength = 2047;
const char* const kFileName = "settings.ini";

std::string gFolder;

// While a batch is open, writes change these lines and reads see them; the commit writes them
// to the file in one replace.
struct IniBatch {
  bool open = false;
  int32_t depth = 0;  // begins inside the open batch, each closed by its own commit
  bool changed = false;  // a batch without writes leaves the file alone
  std::vector<std::string> lines;
};
IniBatch gBatch;

bool SameName(const std::string& a, const std::string& b) { return UtilUpper(a) == UtilUpper(b); }

// The file's lines without their line ends (CR LF or LF).
std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "[name]" gives true and the trimmed name.
bool SectionHeader(const std::string& line, std::string& name) {
  std::string text = UtilTrim(line);
  if (text.size() < 2 || text.front() != '[') return false;
  size_t close = text.find(']');
  if (close == std::string::npos) return false;
  name = UtilTrim(text.substr(1, close - 1));
  return true;
}

// "key=value" gives true with the trimmed key; comments and other lines give false.
bool KeyLine(const std::string& line, std::string& key, std::string& value) {
  std::string text = UtilTrim(line);
  if (text.empty() || text[0] == ';' || text[0] == '#' || text[0] == '[') return false;
  size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  key = UtilTrim(text.substr(0, equals));
  value = UtilTrim(text.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return true;
}

std::string UserPath() { return gFolder + kFileName; }

// The user's file when it exists, else the one shipped next to the program, else the user's path.
std::string ReadPath() {
  std::string user = UserPath();
  if (UtilFileExists(user)) return user;
  std::string shipped = UtilAppFolder() + kFileName;
  if (UtilFileExists(shipped)) return shipped;
  return user;
}

bool Lookup(const std::string& section, const std::string& key, std::string& value) {
  bool inSection = false;
  // Gathered lines stand for the user's file; before the first gathered write the reads fall
  // back as usual.
  bool gathered = gBatch.open && !gBatch.lines.empty();
  for (const std::string& line : gathered ? gBatch.lines : ReadLines(ReadPath())) {
    std::string name, lineKey, lineValue;
    if (SectionHeader(line, name)) {
      if (inSection) return false;
      inSection = SameName(name, section);
    } else if (inSection && KeyLine(line, lineKey, lineValue) && SameName(lineKey, key)) {
      value = lineValue.substr(0, kMaxValueLength);
      return true;
    }
  }
  return false;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}


bool Store(const std::string& writer, const std::string& section, const std::string& key, std::string value) {
  // A line end inside a value would split it into lines of its own.
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string path = UserPath();
  std::vector<std::string> lines = gBatch.open ? std::move(gBatch.lines) : ReadLines(path);
  bool inSection = false;
  size_t insertAt = std::string::npos;  // after the section's last non-blank line
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string name, lineKey, lineValue;
    if (SectionHeader(lines[i], name)) {
      if (inSection) break;
      inSection = SameName(name, section);
      if (inSection) insertAt = i + 1;
    } else if (inSection) {
      if (KeyLine(lines[i], lineKey, lineValue) && SameName(lineKey, key)) {
        lines[i] = lineKey + "=" + value;
        done = true;
      } else if (!UtilTrim(lines[i]).empty()) {
        insertAt = i + 1;
      }
    }
  }
  if (!done) {
    if (insertAt == std::string::npos) {
      lines.push_back("[" + section + "]");
      insertAt = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
  }
  if (gBatch.open) {
    gBatch.lines = std::move(lines);
    gBatch.changed = true;
    return true;
  }
  if (FileReplaceWrite(path, JoinLines(lines))) return true;
  LogError(writer + " - Unable to write to " + path);
  return false;
}

}  // namespace

void IniStart() {
  LogVersion("fwkIni - Version 1.0");
  gFolder = UtilUserDataFolder();
  gBatch = IniBatch{};
  FileReplaceRemoveStale(gFolder);
}

void IniEnd() {
  gBatch.depth = 0;  // a batch left open is committed whole
  IniWriteCommit();
}

void IniWriteBegin() {
  // Batches nest: a saver that gathers its own writes can run inside a caller's batch.
  if (gBatch.open) {
    ++gBatch.depth;
    return;
  }
  // Like a single write, the batch starts from the user's own file.
  gBatch.lines = ReadLines(UserPath());
  gBatch.open = true;
}

bool IniWriteCommit() {
  if (!gBatch.open) return true;
  if (gBatch.depth > 0) {
    --gBatch.depth;
    return true;
  }
  const IniBatch batch = std::exchange(gBatch, IniBatch{});
  if (!batch.changed) return true;
  std::string path = UserPath();
  bool ok = FileReplaceWrite(path, JoinLines(batch.lines));
  if (!ok) LogError("IniWriteCommit - Unable to write to " + path);
  return ok;
}

std::string IniFilePath() { return UserPath(); }

std::string IniReadString(const std::string& section, const std::string& key, const std::string& defaultValue) {
  std::string value;
  return Lookup(section, key, value) ? value : defaultValue;
}

int32_t IniReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) {
  int32_t value = 0;
  return UtilTextToInteger(IniReadString(section, key, std::to_string(defaultValue)), value) ? value : defaultValue;
}

bool IniReadBool(const std::string& section, const std::string& key, bool defaultValue) {
  std::string text = UtilUpper(IniReadString(section, key, defaultValue ? "Yes" : "No"));
  if (text == "YES") return true;
  if (text == "NO") return false;
  return defaultValue;
}

bool IniWriteString(const std::string& section, const std::string& key, const std::string& value) {
  return Store("IniWriteString", section, key, value);
}

bool IniWriteInteger(const std::string& section, const std::string& key, int32_t value) {
  return Store("IniWriteInteger", section, key, std::to_string(value));
}

bool IniWriteBool(const std::string& section, const std::string& key, bool value) {
  return Store("IniWriteBool", section, key, value ? "Yes" : "No");
}

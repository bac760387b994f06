#include "core/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/util.h"

namespace {

struct LogState {
  std::string folder;
  std::string fileName = "results.log";
  std::string startStamp;
  bool headerWritten = false;
  bool traceMode = false;
  bool versionsHeadingWritten = false;
  std::string indent;
};

LogState gLog;

std::string FormatNow(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

void WriteLine(std::FILE* file, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), file);
  std::fwrite("\r\n", 1, 2, file);
}

// The start banner opens the file; it is tried once, whether or not the file could be made.
void LogWriteHeader() {
  if (gLog.headerWritten) return;
  gLog.headerWritten = true;
  std::FILE* file = std::fopen(LogGetFilePath().c_str(), "wb");
  if (!file) return;
  WriteLine(file, "Application \"" + UtilAppPath() + "\" started on " + gLog.startStamp);
  WriteLine(file, "Parameters:");
  const std::vector<std::string>& parameters = UtilParameters();
  if (parameters.empty()) WriteLine(file, "    (None)");
  for (const std::string& parameter : parameters) WriteLine(file, "    " + parameter);
  std::fclose(file);
}

}  // namespace

void LogStart() {
  gLog = LogState{};
  gLog.folder = UtilUserDataFolder();
  if (!gLog.folder.empty() && gLog.folder.back() != '/') gLog.folder += '/';
  std::remove(LogGetFilePath().c_str());
  gLog.startStamp = FormatNow("%x") + " at " + FormatNow("%X");
  if (UtilSwitchPresent("-startinfo")) LogWriteHeader();
  gLog.traceMode = UtilSwitchPresent("-trace");
  LogVersion("fwkLog - Version 1.0");
}

void LogWrite(const std::string& text) {
  LogWriteHeader();
  std::FILE* file = std::fopen(LogGetFilePath().c_str(), "ab");
  if (!file) return;
  WriteLine(file, gLog.indent + text);
  std::fclose(file);
}

void LogError(const std::string& text) { LogWrite("Error: " + text); }

void LogTrace(const std::string& text) {
  if (gLog.traceMode) LogWrite(text);
}

void LogTraceBegin(const std::string& text) {
  if (!gLog.traceMode) return;
  LogWrite(text + "Begin");
  gLog.indent += "  ";
}

void LogTraceEnd(const std::string& text) {
  if (!gLog.traceMode) return;
  if (gLog.indent.size() < 3) {
    gLog.indent.clear();
  } else {
    gLog.indent.resize(gLog.indent.size() - 2);
  }
  LogWrite(text + "End");
}

void LogVersion(const std::string& text) {
  if (!UtilSwitchPresent("-ver")) return;
  if (!gLog.versionsHeadingWritten) {
    gLog.versionsHeadingWritten = true;
    LogWrite("Framework Versions:");
  }
  LogWrite("    " + text);
}

std::string LogWindowsErrorText() {
  int code = errno;
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not live in the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  std::string result = text ? text : "";
  if (result.empty() || result.rfind("Unknown error", 0) == 0) {
    return "Unrecognized windows error code: " + std::to_string(code);
  }
  return result;
}

std::string LogGetFileName() { return gLog.fileName; }

std::string LogGetFilePath() { return gLog.folder + gLog.fileName; }

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
  bool traceMode = false;    // "-trace", read at start
  bool versionMode = false;  // "-ver", read at start
  bool versionsHeadingWritten = false;
  std::string indent;
  bool reportedFileFailure = false;
};

LogState gLog;
// Outlives LogStart's reset: a test sets it before the unit starts.
LogSink gSink;

std::string FormatNow(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

bool WriteLine(std::FILE* file, const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fwrite("\r\n", 1, 2, file) == 2 && ok;
}

// A line the file could not take goes to standard error, so a read-only folder or a full disk
// does not make every failure silent. The first such line says why.
void WriteToStandardError(const std::string& text) {
  if (!gLog.reportedFileFailure) {
    gLog.reportedFileFailure = true;
    std::fprintf(stderr, "Unable to write to the log file %s: %s\n", LogGetFilePath().c_str(),
                 std::strerror(errno));
  }
  std::fprintf(stderr, "%s\n", text.c_str());
}

// The start banner opens the file; it is tried once, whether or not the file could be made.
void LogWriteHeader() {
  if (gLog.headerWritten) return;
  gLog.headerWritten = true;
  std::vector<std::string> lines{"Application \"" + UtilAppPath() + "\" started on " + gLog.startStamp,
                                 "Parameters:"};
  const std::vector<std::string>& parameters = UtilParameters();
  if (parameters.empty()) lines.push_back("    (None)");
  for (const std::string& parameter : parameters) lines.push_back("    " + parameter);
  std::FILE* file = std::fopen(LogGetFilePath().c_str(), "wb");
  bool ok = file != nullptr;
  for (const std::string& line : lines) {
    if (gSink) gSink(line);
    ok = ok && WriteLine(file, line);
  }
  if (file) ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    for (const std::string& line : lines) WriteToStandardError(line);
  }
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
  gLog.versionMode = UtilSwitchPresent("-ver");
  LogVersion("fwkLog - Version 1.0");
}

void LogWrite(const std::string& text) {
  LogWriteHeader();
  std::string line = gLog.indent + text;
  if (gSink) gSink(line);
  std::FILE* file = std::fopen(LogGetFilePath().c_str(), "ab");
  bool ok = file != nullptr && WriteLine(file, line);
  if (file) ok = std::fclose(file) == 0 && ok;
  if (!ok) WriteToStandardError(line);
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
  if (!gLog.versionMode) return;
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

void LogSetSink(LogSink sink) { gSink = std::move(sink); }

LogTraceScope::LogTraceScope(std::string name) : name_(std::move(name) + " - ") { LogTraceBegin(name_); }

LogTraceScope::~LogTraceScope() { LogTraceEnd(name_); }

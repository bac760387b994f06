// The run's log, "results.log" in the user data folder: errors, start banner, versions and trace.
#pragma once

#include <functional>
#include <string>

void LogStart();
void LogWrite(const std::string& text);
void LogError(const std::string& text);
void LogTrace(const std::string& text);
void LogTraceBegin(const std::string& text);
void LogTraceEnd(const std::string& text);
void LogVersion(const std::string& text);
// The system's text for the last error number (errno) of this thread.
std::string LogWindowsErrorText();
// "results.log", without folder.
std::string LogGetFileName();
// Full path of the log file (folder + name) as LogStart worked it out.
std::string LogGetFilePath();

// Receives every line the log writes (indent included, line end not), whether or not the file
// could take it. Tests capture log lines with it; an empty function removes it.
using LogSink = std::function<void(const std::string& line)>;
void LogSetSink(LogSink sink);

// Writes "<name> - Begin" now and "<name> - End" when the scope ends, on every path out of it
// (with "-trace"; nothing without).
class LogTraceScope {
 public:
  explicit LogTraceScope(std::string name);
  ~LogTraceScope();
  LogTraceScope(const LogTraceScope&) = delete;
  LogTraceScope& operator=(const LogTraceScope&) = delete;

 private:
  std::string name_;
};

// The run's log, "results.log" in the user data folder: errors, start banner, versions and trace.
#pragma once

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

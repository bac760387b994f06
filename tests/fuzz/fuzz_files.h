// Shared by the harnesses whose readers take a file name: a private program folder with the log
// and the data layer started in it, and the fuzz bytes written there as a real file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"

namespace fuzzfiles {

// The folder, made and set up on the first call.
inline const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/thornfall-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string path = std::string(made ? made : "/tmp") + "/";
    UtilSetAppFolder(path);
    UtilSetCommandLine(std::vector<std::string>{"-userdatainapp"});
    LogStart();
    DataFileStart();
    return path;
  }();
  return folder;
}

// Writes the bytes to Folder() + name and returns that path.
inline std::string Write(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = Folder() + name;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  return path;
}

// Each refused input logs a line; keeps the log from growing over millions of runs.
inline void ForgetLog() { std::remove(LogGetFilePath().c_str()); }

}  // namespace fuzzfiles

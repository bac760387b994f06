// libFuzzer harness for the settings file: the fuzz bytes become the user's settings.ini; typed
// reads take whatever it holds, and a value written into it must read back as written while
// another section's values stay as they were.
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "core/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfiles::Write("settings.ini", data, size);
  IniStart();
  const std::string before = IniReadString("Audio", "Music Volume", "none");
  IniReadInteger("Video", "Width", 1280);
  IniReadBool("Video", "Fullscreen", true);
  if (!IniWriteInteger("Fuzz Check", "Written", 4321)) __builtin_trap();
  if (IniReadInteger("Fuzz Check", "Written", 0) != 4321) __builtin_trap();
  if (IniReadString("Audio", "Music Volume", "none") != before) __builtin_trap();
  IniWriteBegin();
  IniWriteString("Fuzz Check", "Batch", "a=b");
  IniWriteBool("Fuzz Check", "Flag", true);
  if (!IniWriteCommit() || IniReadString("Fuzz Check", "Batch", "") != "a=b" || !IniReadBool("Fuzz Check", "Flag", false)) {
    __builtin_trap();
  }
  IniEnd();
  fuzzfiles::ForgetLog();
  return 0;
}

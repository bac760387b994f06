// libFuzzer harness for the script file parser: the fuzz bytes are a whole script file.
#include <cstdint>

#include "fuzz_files.h"
#include "script/script_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfiles::Folder();  // the parser logs its failures
  script record;
  ByteReader in(data, size);
  const bool parsed = ScriptFileParse(in, record);
  if (record.orderList.size() != record.objects.size() || record.code.size() > size) __builtin_trap();
  if (parsed && record.version > kScriptVersionMax) __builtin_trap();
  fuzzfiles::ForgetLog();
  return 0;
}

// libFuzzer harness for the exposure-sheet reader: the fuzz bytes become a sheet in the program
// folder. A refused sheet leaves its cycle empty; an accepted one has no more frames than the
// file has lines for; a kept persistent cycle is not read again.
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "game/agents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfiles::Write("sheet.txt", data, size);
  cycle c;
  const bool persistent = size > 0 && (data[0] & 1) != 0;
  if (AnimationOpen(c, "sheet.txt", persistent)) {
    // Every frame takes two lines of a byte at least, the last without its CR.
    if (!c.loaded || c.frames.empty() || c.frames.size() * 2 > size + 1) __builtin_trap();
    for (const cycleFrame& f : c.frames) {
      if (f.picture != kNoId || f.repeatCounter != 0) __builtin_trap();
    }
    const size_t frames = c.frames.size();
    if (persistent && (!AnimationOpen(c, "sheet.txt", true) || c.frames.size() != frames)) __builtin_trap();
  } else if (c.loaded || !c.frames.empty() || c.persistent != persistent) {
    __builtin_trap();
  }
  CycleEmpty(c);
  fuzzfiles::ForgetLog();
  return 0;
}

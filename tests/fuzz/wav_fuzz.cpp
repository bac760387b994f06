// libFuzzer harness for the WAV reader: the fuzz bytes become a WAV file whose header is read and
// whose chunk list is walked to the samples, then read once through and looping, through the data
// layer.
#include <cstdint>
#include <string>

#include "audio/wav_stream.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzfiles::Write("fuzz.wav", data, size);
  // The size of one stream buffer.
  static uint8_t block[40960];
  constexpr int kFills = 4;
  for (bool loop : {false, true}) {
    wavStream stream;
    if (!stream.Open(path)) break;
    bool finished = !stream.SeekData();
    size_t total = 0;
    for (int fill = 0; fill < kFills && !finished; ++fill) {
      const int32_t got = stream.Read(block, sizeof block, loop, finished);
      if (got < 0 || got > static_cast<int32_t>(sizeof block) || (got & 1) != 0) __builtin_trap();
      total += static_cast<size_t>(got);
    }
    // Read once through, a stream delivers no more than the file holds and then finishes.
    if (!loop && (total > size || (size < kFills * sizeof block && !finished))) __builtin_trap();
  }
  fuzzfiles::ForgetLog();
  return 0;
}

// Reading speed of data files: a 200 MB loose file and the same bytes as an archive member, read
// through DataFileRead in whole blocks and field by field, beside plain read(2) in large blocks.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "data/data_file.h"

namespace {

constexpr int64_t kFileSize = 200 * 1000 * 1000;
const char* const kMemberName = "Bin\\Bench\\big.bin";

std::string gFolder;

std::string Le16(uint32_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// Writes the loose file and an archive holding the same bytes; false on failure.
bool MakeFiles() {
  std::string pattern = (std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp")) + "/thornfall-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  gFolder = pattern + "/";

  std::vector<char> block(1 << 20);
  uint32_t state = 12345;
  for (char& c : block) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  const std::string name = kMemberName;
  const std::string header = "KVARC" + Le16(1) + Le32(1) + std::string(1, '\x0a') +
                             Le32(static_cast<uint32_t>(11 + 11 + name.size())) + Le32(static_cast<uint32_t>(kFileSize)) +
                             Le16(static_cast<uint32_t>(name.size())) + name;
  std::FILE* loose = std::fopen((gFolder + "big.bin").c_str(), "wb");
  std::FILE* archive = std::fopen((gFolder + "bench.kva").c_str(), "wb");
  bool ok = loose != nullptr && archive != nullptr && std::fwrite(header.data(), 1, header.size(), archive) == header.size();
  for (int64_t left = kFileSize; ok && left > 0;) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block.size())));
    ok = std::fwrite(block.data(), 1, n, loose) == n && std::fwrite(block.data(), 1, n, archive) == n;
    left -= static_cast<int64_t>(n);
  }
  if (loose != nullptr && std::fclose(loose) != 0) ok = false;
  if (archive != nullptr && std::fclose(archive) != 0) ok = false;
  return ok;
}

void RemoveFiles() {
  if (gFolder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(gFolder, ignored);
}

// Plain read(2) of the loose file in blocks of state.range(0) bytes: 128 KiB is the reference;
// 4 KiB shows the ceiling for a reader that makes one system call per 4 KiB block.
void BM_ReadSyscall(benchmark::State& state) {
  std::vector<char> block(static_cast<size_t>(state.range(0)));
  const int fd = open((gFolder + "big.bin").c_str(), O_RDONLY);
  if (fd < 0) {
    state.SkipWithError("cannot open the loose file");
    return;
  }
  int64_t total = 0;
  for (auto _ : state) {
    lseek(fd, 0, SEEK_SET);
    ssize_t got = 0;
    while ((got = read(fd, block.data(), block.size())) > 0) total += got;
    benchmark::DoNotOptimize(block.data());
  }
  close(fd);
  state.SetBytesProcessed(total);
}

// Reads the whole file through one handle, `chunk` bytes per call.
void ReadThrough(benchmark::State& state, const std::string& name, int32_t chunk) {
  const int32_t handle = DataFileOpen(name);
  if (handle == 0 || DataFileSize(handle) != kFileSize) {
    state.SkipWithError("cannot open the data file");
    return;
  }
  std::vector<char> buffer(static_cast<size_t>(chunk));
  int64_t total = 0;
  uint32_t sum = 0;
  for (auto _ : state) {
    DataFileSeek(handle, 0);
    if (chunk == 4) {
      // A field reader: every four bytes are a value that is used.
      uint32_t value = 0;
      while (DataFileRead(handle, &value, 4) == 4) sum += value;
      total += kFileSize;
    } else {
      int32_t got = 0;
      while ((got = DataFileRead(handle, buffer.data(), chunk)) > 0) total += got;
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  benchmark::DoNotOptimize(sum);
  DataFileClose(handle);
  state.SetBytesProcessed(total);
}

void BM_DataFileLoose4K(benchmark::State& state) { ReadThrough(state, "big.bin", 4096); }
void BM_DataFileMember4K(benchmark::State& state) { ReadThrough(state, kMemberName, 4096); }
void BM_DataFileLoose4B(benchmark::State& state) { ReadThrough(state, "big.bin", 4); }
void BM_DataFileMember4B(benchmark::State& state) { ReadThrough(state, kMemberName, 4); }

BENCHMARK(BM_ReadSyscall)->Arg(128 * 1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFileLoose4K)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFileMember4K)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFileLoose4B)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFileMember4B)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!MakeFiles()) {
    std::fprintf(stderr, "data_bench: cannot write the test files below %s\n", gFolder.c_str());
    RemoveFiles();
    return 1;
  }
  UtilSetCommandLine(std::vector<std::string>{});
  UtilSetAppFolder(gFolder);
  DataFileStart();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DataFileEnd();
  RemoveFiles();
  return 0;
}

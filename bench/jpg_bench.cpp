// JPEG decoding speed: our decoder against stb_image on the same 1920 x 1080 4:2:0 file, decoded
// from memory in the same run. The file is made once per run with cjpeg from a generated
// photo-like picture (smooth shading, hard-edged shapes, fine grain).
#include <benchmark/benchmark.h>
#include <stb_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "image/image_formats.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// Deterministic value noise: a hash of the lattice point, smoothly interpolated.
float Lattice(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float ValueNoise(float x, float y, uint32_t seed) {
  const int32_t x0 = static_cast<int32_t>(std::floor(x));
  const int32_t y0 = static_cast<int32_t>(std::floor(y));
  float fx = x - static_cast<float>(x0);
  float fy = y - static_cast<float>(y0);
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  const float top = Lattice(x0, y0, seed) + (Lattice(x0 + 1, y0, seed) - Lattice(x0, y0, seed)) * fx;
  const float bottom = Lattice(x0, y0 + 1, seed) + (Lattice(x0 + 1, y0 + 1, seed) - Lattice(x0, y0 + 1, seed)) * fx;
  return top + (bottom - top) * fy;
}

float Octaves(float x, float y, uint32_t seed) {
  float sum = 0;
  float amplitude = 0.5f;
  for (int32_t octave = 0; octave < 5; ++octave) {
    sum += amplitude * ValueNoise(x, y, seed + static_cast<uint32_t>(octave));
    x *= 2.03f;
    y *= 2.03f;
    amplitude *= 0.5f;
  }
  return sum;
}

std::string PhotoLikePpm() {
  std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  uint32_t grain = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const float u = static_cast<float>(x) / 160.0f;
      const float v = static_cast<float>(y) / 160.0f;
      float light = Octaves(u, v, 1);
      float red = 0.55f * light + 0.35f * Octaves(u * 0.5f, v * 0.5f, 7) + 0.1f * static_cast<float>(y) / kHeight;
      float green = 0.6f * light + 0.25f * Octaves(u * 0.7f, v * 0.7f, 13);
      float blue = 0.4f * light + 0.4f * (1.0f - static_cast<float>(y) / kHeight);
      // Hard-edged shapes: a few discs and a band, as objects in a scene would give.
      for (int32_t disc = 0; disc < 6; ++disc) {
        const float cx = 200.0f + 300.0f * static_cast<float>(disc);
        const float cy = 300.0f + 120.0f * static_cast<float>(disc % 3);
        const float dx = static_cast<float>(x) - cx;
        const float dy = static_cast<float>(y) - cy;
        if (dx * dx + dy * dy < 90.0f * 90.0f) {
          red = 0.2f + 0.15f * static_cast<float>(disc % 4) + 0.3f * light;
          green *= 0.5f;
        }
      }
      if (y > 800 && y < 830) blue = 0.9f;
      grain = grain * 1664525u + 1013904223u;
      const float noise = (static_cast<float>(grain >> 24) / 255.0f - 0.5f) * 0.04f;
      for (float channel : {red, green, blue}) {
        const float value = std::fmin(std::fmax((channel + noise) * 255.0f, 0.0f), 255.0f);
        ppm += static_cast<char>(static_cast<uint8_t>(value));
      }
    }
  }
  return ppm;
}

// The test file, made once; empty when cjpeg is missing.
const std::vector<uint8_t>& TestJpeg() {
  static const std::vector<uint8_t> bytes = [] {
    const char* folder = std::getenv("TMPDIR");
    const std::string base =
        std::string(folder != nullptr ? folder : "/tmp") + "/jpg_bench_" + std::to_string(getpid());
    {
      std::ofstream out(base + ".ppm", std::ios::binary);
      out << PhotoLikePpm();
    }
    const std::string command =
        "cjpeg -quality 85 -sample 2x2 -outfile '" + base + ".jpg' '" + base + ".ppm' >/dev/null 2>&1";
    std::vector<uint8_t> result;
    if (std::system(command.c_str()) == 0) {
      std::ifstream in(base + ".jpg", std::ios::binary);
      result.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::remove((base + ".ppm").c_str());
    std::remove((base + ".jpg").c_str());
    return result;
  }();
  return bytes;
}

void SetRates(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["MPix/s"] = benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes"] = static_cast<double>(TestJpeg().size());
}

void BM_JpgDecode(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = TestJpeg();
  if (bytes.empty()) {
    state.SkipWithError("cjpeg could not make the test file");
    return;
  }
  for (auto _ : state) {
    imageData* chain = nullptr;
    ImageDecodeJpg(bytes, ImageNew(chain));
    if (chain->width != kWidth) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(chain->pixels.data());
    ImageFree(chain);
  }
  SetRates(state);
}
BENCHMARK(BM_JpgDecode)->Unit(benchmark::kMillisecond);

void BM_StbImageDecode(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = TestJpeg();
  if (bytes.empty()) {
    state.SkipWithError("cjpeg could not make the test file");
    return;
  }
  for (auto _ : state) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) state.SkipWithError("stb_image failed");
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  SetRates(state);
}
BENCHMARK(BM_StbImageDecode)->Unit(benchmark::kMillisecond);

// Prints the usual table, then our speed as a fraction of stb_image's (from CPU time, which other
// work on a shared machine disturbs less than wall time).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // A single run, or the mean over repetitions (reported after them).
    for (const Run& run : runs) {
      const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
      if ((run.run_type == Run::RT_Iteration || mean) && !run.error_occurred) {
        cpuTime_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatio() const {
    const auto ours = cpuTime_.find("BM_JpgDecode");
    const auto theirs = cpuTime_.find("BM_StbImageDecode");
    if (ours == cpuTime_.end() || theirs == cpuTime_.end() || ours->second <= 0) return;
    std::printf("speed relative to stb_image: %.3f\n", theirs->second / ours->second);
  }

 private:
  std::map<std::string, double> cpuTime_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio();
  benchmark::Shutdown();
  return 0;
}

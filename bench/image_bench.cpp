// Decoding speed of the Targa and bitmap readers beside stb_image, on 1920 x 1080 pictures made
// by this unit's own writers (a run-length Targa and a 24-bit bitmap of a photo-like picture),
// decoded from bytes in memory. Reports megapixels per second and, at the end, our speed over
// stb_image's.
#include <benchmark/benchmark.h>
#include <stb_image.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "image/image_formats.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

std::vector<uint8_t> gTga;
std::vector<uint8_t> gBmp;

// Smooth gradients with a little noise and some flat areas, so that the Targa writer finds the
// short runs a photo or a game's art gives it.
void FillPhotoLike(imageData* image) {
  image->width = kWidth;
  image->height = kHeight;
  image->pixels.resize(static_cast<size_t>(kPixels));
  uint32_t state = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>((state >> 24) % 5) - 2;
      auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      uint32_t pixel;
      if ((x / 64 + y / 32) % 4 == 0) {
        pixel = 0x3080C0;
      } else {
        pixel = (clamp(x * 255 / kWidth + noise) << 16) | (clamp(y * 255 / kHeight) << 8) | clamp(96 + (x + y) % 64);
      }
      image->pixels[static_cast<size_t>(y) * kWidth + x] = pixel;
    }
  }
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool MakeFiles() {
  std::string pattern = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/thornfall-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  FillPhotoLike(image);
  image->bitsPerPixel = 24;
  ImageSaveTga(pattern + "/photo.tga", image);
  ImageSaveBmp(pattern + "/photo.bmp", image);
  ImageFree(chain);
  gTga = ReadAll(pattern + "/photo.tga");
  gBmp = ReadAll(pattern + "/photo.bmp");
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return !gTga.empty() && !gBmp.empty();
}

// Each pass decodes into a new picture, as stb_image decodes into new memory.
void DecodeOurs(benchmark::State& state, void (*decode)(const std::vector<uint8_t>&, imageData*),
                const std::vector<uint8_t>& bytes) {
  for (auto _ : state) {
    imageData* chain = nullptr;
    imageData* image = ImageNew(chain);
    decode(bytes, image);
    benchmark::DoNotOptimize(image->pixels.data());
    const bool refused = image->substitute || image->width != kWidth;
    ImageFree(chain);
    if (refused) {
      state.SkipWithError("the reader refused the file");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void DecodeStb(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  for (auto _ : state) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) {
      state.SkipWithError(stbi_failure_reason());
      break;
    }
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_TgaRle_Ours(benchmark::State& state) { DecodeOurs(state, ImageDecodeTga, gTga); }
void BM_TgaRle_Stb(benchmark::State& state) { DecodeStb(state, gTga); }
void BM_Bmp24_Ours(benchmark::State& state) { DecodeOurs(state, ImageDecodeBmp, gBmp); }
void BM_Bmp24_Stb(benchmark::State& state) { DecodeStb(state, gBmp); }

BENCHMARK(BM_TgaRle_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaRle_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Stb)->Unit(benchmark::kMillisecond);

// The console output, plus our pixel rate over stb_image's for each format at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* format : {"TgaRle", "Bmp24"}) {
      const std::string ours = std::string("BM_") + format + "_Ours";
      const std::string stb = std::string("BM_") + format + "_Stb";
      if (rates_.count(ours) == 0 || rates_.count(stb) == 0 || rates_[stb] <= 0) continue;
      std::printf("%-8s ours %8.1f Mpixel/s   stb_image %8.1f Mpixel/s   ratio %.2f\n", format, rates_[ours] / 1e6,
                  rates_[stb] / 1e6, rates_[ours] / rates_[stb]);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!MakeFiles()) {
    std::fprintf(stderr, "image_bench: could not make the sample files\n");
    return 1;
  }
  benchmark::AddCustomContext("photo.tga bytes", std::to_string(gTga.size()));
  benchmark::AddCustomContext("photo.bmp bytes", std::to_string(gBmp.size()));
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

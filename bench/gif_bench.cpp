// GIF decoding speed: our decoder beside stb_image on the same 1920 x 1080 photo-like picture held in
// memory. The picture is made by ImageMagick at start (plasma fractal quantised to 256 dithered
// colours, so the LZW stream is long and varied). Prints the ratio of the two speeds at the end.
#include <benchmark/benchmark.h>
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "image/image_formats.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> bytes = [] {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "thornfall_gif_bench.gif";
    const std::string command = "convert -size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                                " -seed 1 plasma:fractal -colors 256 '" + file.string() + "'";
    std::vector<uint8_t> data;
    if (std::system(command.c_str()) == 0) {
      std::ifstream in(file, std::ios::binary);
      data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return data;
  }();
  return bytes;
}

void BM_GifDecodeOurs(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = Picture();
  if (bytes.empty()) {
    state.SkipWithError("ImageMagick could not make the picture");
    return;
  }
  imageData* chain = nullptr;
  imageData* image = ImageNew(chain);
  for (auto _ : state) {
    ImageDecodeGif(bytes, image);
    benchmark::DoNotOptimize(image->pixels.data());
  }
  if (image->width != kWidth || image->substitute) state.SkipWithError("decode failed");
  ImageFree(chain);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.SetLabel(std::to_string(bytes.size()) + " bytes");
}
BENCHMARK(BM_GifDecodeOurs)->Unit(benchmark::kMillisecond);

void BM_GifDecodeStb(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = Picture();
  if (bytes.empty()) {
    state.SkipWithError("ImageMagick could not make the picture");
    return;
  }
  for (auto _ : state) {
    int width = 0, height = 0, components = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &components, 4);
    benchmark::DoNotOptimize(pixels);
    if (pixels == nullptr) {
      state.SkipWithError("stb_image failed");
      break;
    }
    stbi_image_free(pixels);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_GifDecodeStb)->Unit(benchmark::kMillisecond);

// The console report, keeping each benchmark's pixels per second for the ratio.
class ratioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto items = run.counters.find("items_per_second");
      if (items != run.counters.end()) speed[run.benchmark_name()] = items->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> speed;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ratioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ours = reporter.speed["BM_GifDecodeOurs"], stb = reporter.speed["BM_GifDecodeStb"];
  if (ours > 0 && stb > 0) {
    std::printf("GIF decode: ours %.1f Mpixel/s, stb_image %.1f Mpixel/s, ratio %.2f\n", ours / 1e6, stb / 1e6, ours / stb);
  }
  benchmark::Shutdown();
  return 0;
}

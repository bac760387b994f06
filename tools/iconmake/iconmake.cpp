// iconmake: scales one of the game's pictures to a square icon and writes it as a PNG file, the
// format desktop icon themes take (the image unit writes none, so the writer lives here).
//
//   iconmake IN SIZE OUT.png
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "data/data_file.h"
#include "image/image.h"

namespace {

constexpr int32_t kMaxIconSide = 1024;

int Fail(const std::string& text) {
  std::fprintf(stderr, "iconmake: %s\n", text.c_str());
  return 1;
}

// Pixels as 8-bit RGBA, rows top to bottom.
struct rgbaPicture {
  int32_t side = 0;
  std::vector<uint8_t> bytes;
};

// Area-average scaling to side x side: every target pixel averages the source pixels its box
// covers, colours weighted by alpha so transparent pixels lend no colour to the edges.
rgbaPicture Scale(const imageData& image, int32_t side) {
  rgbaPicture out;
  out.side = side;
  out.bytes.resize(static_cast<size_t>(side) * side * 4);
  auto span = [side](int32_t index, int32_t length, int32_t& first, int32_t& last) {
    first = static_cast<int32_t>(static_cast<int64_t>(index) * length / side);
    last = static_cast<int32_t>(static_cast<int64_t>(index + 1) * length / side);
    if (last <= first) last = first + 1;
  };
  for (int32_t y = 0; y < side; ++y) {
    int32_t top = 0, bottom = 0;
    span(y, image.height, top, bottom);
    for (int32_t x = 0; x < side; ++x) {
      int32_t left = 0, right = 0;
      span(x, image.width, left, right);
      uint64_t red = 0, green = 0, blue = 0, alpha = 0, count = 0;
      for (int32_t sy = top; sy < bottom; ++sy) {
        for (int32_t sx = left; sx < right; ++sx) {
          const uint32_t p = image.pixels[static_cast<size_t>(sy) * image.width + sx];
          const uint32_t a = p >> 24;
          red += ((p >> 16) & 0xFF) * a;
          green += ((p >> 8) & 0xFF) * a;
          blue += (p & 0xFF) * a;
          alpha += a;
          ++count;
        }
      }
      uint8_t* pixel = &out.bytes[(static_cast<size_t>(y) * side + x) * 4];
      if (alpha > 0) {
        pixel[0] = static_cast<uint8_t>((red + alpha / 2) / alpha);
        pixel[1] = static_cast<uint8_t>((green + alpha / 2) / alpha);
        pixel[2] = static_cast<uint8_t>((blue + alpha / 2) / alpha);
      }
      pixel[3] = static_cast<uint8_t>((alpha + count / 2) / count);
    }
  }
  return out;
}

// PNG numbers are big-endian.
void AppendBe32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& out, const char* type, const std::string& data) {
  AppendBe32(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  AppendBe32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// An 8-bit RGBA PNG: every row unfiltered, the whole compressed by zlib.
bool WritePng(const std::string& path, const rgbaPicture& picture) {
  std::string raw;
  const size_t rowBytes = static_cast<size_t>(picture.side) * 4;
  for (int32_t y = 0; y < picture.side; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(&picture.bytes[y * rowBytes]), rowBytes);
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                raw.size(), Z_BEST_COMPRESSION) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  std::string header;
  AppendBe32(header, static_cast<uint32_t>(picture.side));
  AppendBe32(header, static_cast<uint32_t>(picture.side));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter set, no interlace
  std::string file = "\x89PNG\r\n\x1a\n";
  AppendChunk(file, "IHDR", header);
  AppendChunk(file, "IDAT", packed);
  AppendChunk(file, "IEND", {});

  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  UtilSetCommandLine(std::vector<std::string>{});
  int32_t side = 0;
  if (argc != 4 || !UtilTextToInteger(argv[2], side) || side < 1 || side > kMaxIconSide) {
    std::fprintf(stderr, "usage: iconmake IN SIZE OUT.png  (SIZE 1-%d; IN any picture the game reads)\n", kMaxIconSide);
    return 2;
  }
  // The data layer resolves names against the program folder: make that the picture's folder.
  std::error_code ignored;
  const std::string input = std::filesystem::absolute(argv[1], ignored).lexically_normal().string();
  UtilSetAppFolder(std::filesystem::path(input).parent_path().string());
  DataFileStart();
  if (!std::filesystem::is_regular_file(input, ignored) || !DataFileGuard(input)) {
    return Fail(std::string("cannot read \"") + argv[1] + "\"");
  }
  const imageChain chain = ImageLoadChain(input);
  if (!chain || chain->substitute || chain->width < 1 || chain->height < 1) {
    return Fail(std::string("cannot decode \"") + argv[1] + "\"");
  }
  if (!WritePng(argv[3], Scale(*chain, side))) return Fail(std::string("cannot write \"") + argv[3] + "\"");
  return 0;
}

// Helpers shared by the image readers and writers.
#include <algorithm>
#include <cstring>

#include "data/data_file.h"
#include "image/image_formats.h"

void ImageMakeSubstitute(imageData* image) {
  constexpr int32_t kSide = 16;
  image->substitute = true;
  image->width = kSide;
  image->height = kSide;
  image->pixels.assign(kSide * kSide, 0x00FFFFFFu);
  for (int32_t y = 0; y < kSide; ++y) {
    for (int32_t x = 0; x < kSide; ++x) {
      bool frame = x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1;
      bool diagonal = x == y || x == kSide - 1 - y;
      if (frame || diagonal) image->pixels[y * kSide + x] = 0x00FF0000u;
    }
  }
}

bool ImageResize(imageData* image, int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  image->width = width;
  image->height = height;
  image->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  return true;
}

bool ImageWriteWholeFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  const int32_t file = RawFileCreate(fileName);
  if (file <= 0) return false;
  // Written in pieces that a 32-bit count can carry; a failed write leaves the partial file.
  constexpr size_t kPiece = size_t{1} << 30;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const size_t piece = std::min(kPiece, bytes.size() - done);
    ok = RawFileWrite(file, bytes.data() + done, static_cast<int32_t>(piece));
    done += piece;
  }
  RawFileClose(file);
  return ok;
}

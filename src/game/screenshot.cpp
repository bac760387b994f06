#include "game/screenshot.h"

#include <filesystem>

#include "core/log.h"
#include "core/util.h"
#include "image/image.h"

namespace {

// The folder with a separator at its end, created when missing; empty when it cannot be had.
std::string Usable(const std::string& folder) {
  if (folder.empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!UtilFolderExists(folder)) return {};
  return folder.back() == '/' ? folder : folder + "/";
}

bool Whole(const imageData& image) {
  return image.width > 0 && image.height > 0 &&
         image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

}  // namespace

std::string ScreenshotFolder() {
  std::string folder;
  const std::string product = UtilVersionString("ProductName");
  const std::string pictures = UtilPicturesFolder();
  if (!product.empty() && !pictures.empty()) folder = Usable(pictures + product);
  if (folder.empty()) folder = Usable(UtilAppFolder() + "Screenshots");
  if (folder.empty()) folder = Usable(UtilAppFolder());
  if (folder.empty()) LogError("ScreenshotSave - Unable to create suitable directory for screenshots.");
  return folder;
}

std::string ScreenshotFileName(const std::string& folder) {
  for (int32_t n = 1;; ++n) {
    const std::string name = folder + "screenshot" + std::to_string(n) + ".bmp";
    std::error_code error;
    if (!std::filesystem::exists(name, error)) return name;  // any entry of that name takes the number
  }
}

std::string ScreenshotSave(const imageData& captured) {
  const std::string folder = ScreenshotFolder();
  if (folder.empty() || !Whole(captured)) return {};
  imageChain chain = ImageNewChain();
  imageData& image = *chain.get();
  image.width = captured.width;
  image.height = captured.height;
  image.pixels = captured.pixels;
  image.bitsPerPixel = 24;
  const std::string name = ScreenshotFileName(folder);
  ImageSave(name, &image);
  return name;
}

void ScreenshotBackgroundTint(imageData& captured) {
  if (!Whole(captured)) return;
  for (uint32_t& pixel : captured.pixels) {
    const uint32_t s = ((pixel & 0xFF) + ((pixel >> 8) & 0xFF) + ((pixel >> 16) & 0xFF)) / 9;
    pixel = (pixel & 0xFF000000u) | (s << 16) | s;
  }
}

#include "graphics/display_modes.h"

void GraphicsMonitorModesBuild(const std::vector<platformMode>& modes, std::vector<graphicsMode>& all,
                               std::vector<graphicsMode>& unique) {
  all.clear();
  unique.clear();
  for (const platformMode& m : modes) {
    if (m.width < kMinModeWidth || m.height < kMinModeHeight || m.bitsPerPixel < kMinModeBits) continue;
    // Three walks one after the other, not a comparison of (width, height, bits): a list that is
    // not enumerated in order can leave a mode after a wider one of smaller height.
    size_t at = 0;
    while (at < all.size() && all[at].width < m.width) ++at;
    while (at < all.size() && all[at].height < m.height) ++at;
    while (at < all.size() && all[at].bitsPerPixel < m.bitsPerPixel) ++at;
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at),
               graphicsMode{m.width, m.height, m.bitsPerPixel, m.modeNumber});
  }
  for (const graphicsMode& m : all) {
    if (!unique.empty()) {
      const graphicsMode& last = unique.back();
      if (last.width == m.width && last.height == m.height && last.bitsPerPixel == m.bitsPerPixel) continue;
    }
    unique.push_back(m);
  }
}

int32_t GraphicsModeListFind(const std::vector<graphicsMode>& list, uint32_t width, uint32_t height,
                             uint32_t bits) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].width == width && list[i].height == height && list[i].bitsPerPixel == bits) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

std::string GraphicsModeText(const graphicsMode& mode) {
  if (mode.width == 0 || mode.height == 0 || mode.bitsPerPixel == 0) return "";
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " " +
         std::to_string(mode.bitsPerPixel) + "-bit color";
}

// The splash: the picture cut to the window's part, shown in a window of its outline.
#include <string>
#include <vector>

#include "core/log.h"
#include "image/image.h"
#include "platform/platform.h"
#include "shell/main_form.h"

namespace {

// The splash picture is drawn larger than the window: the window shows the part from (14, 9)
// on, 716 x 541 pixels, cut to the picture's outline.
constexpr int32_t kSplashOffsetX = 14;
constexpr int32_t kSplashOffsetY = 9;
constexpr int32_t kSplashWidth = 716;
constexpr int32_t kSplashHeight = 541;

}  // namespace

void MainInterfaceDrawRegions() {
  // The game starts without its splash, but a missing or damaged picture is worth a line.
  const imageChain picture = ImageLoadChain(kShellSplashFile);
  if (picture == nullptr || picture->substitute || picture->width <= 0 || picture->height <= 0) {
    LogError("MainInterfaceDrawRegions - Unable to load the splash picture \"" + std::string(kShellSplashFile) + "\".");
    return;
  }
  std::vector<uint32_t> pixels(static_cast<size_t>(kSplashWidth) * kSplashHeight, 0);
  for (int32_t y = 0; y < kSplashHeight; ++y) {
    const int32_t sy = y + kSplashOffsetY;
    if (sy >= picture->height) break;
    for (int32_t x = 0; x < kSplashWidth; ++x) {
      const int32_t sx = x + kSplashOffsetX;
      if (sx >= picture->width) break;
      pixels[static_cast<size_t>(y) * kSplashWidth + x] = picture->pixels[static_cast<size_t>(sy) * picture->width + sx];
    }
  }
  gMain.splash = PlatformShapedWindowCreate(kShellTitle, pixels.data(), kSplashWidth, kSplashHeight);
  if (gMain.splash == 0) {
    LogError("MainInterfaceDrawRegions - Unable to create the splash window: " + PlatformErrorText());
  }
}

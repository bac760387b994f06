// How a script's Display object fits the window of its display, shared by the drawing and the
// pointer mapping so the two always agree.
#include <algorithm>
#include <cmath>

#include "graphics/graphics.h"
#include "script/script_internal.h"

scriptView ScriptViewGet(const script& record, int32_t displayId) {
  scriptView view;
  GraphicsDisplayGetDimensions(displayId, view.windowWidth, view.windowHeight);
  view.fittedWidth = view.windowWidth;
  view.fittedHeight = view.windowHeight;
  for (const objEntry& object : record.objects) {
    if (object.type != kObjDisplay || object.displayId != displayId) continue;
    if (object.display.width >= 1 && object.display.height >= 1) view.display = &object.display;
    break;
  }
  if (view.display == nullptr || view.display->viewMode != kViewBestFit) return view;
  const double w = view.display->width;
  const double h = view.display->height;
  const double across = view.windowWidth / w;
  const double down = view.windowHeight / h;
  view.scale = down > across ? across : down;
  // nearbyint rounds halves to even in the default rounding mode.
  view.fittedWidth = std::max(1, static_cast<int32_t>(std::nearbyint(w * view.scale)));
  view.fittedHeight = std::max(1, static_cast<int32_t>(std::nearbyint(h * view.scale)));
  view.offsetX = (view.windowWidth - view.fittedWidth) / 2;
  view.offsetY = (view.windowHeight - view.fittedHeight) / 2;
  return view;
}

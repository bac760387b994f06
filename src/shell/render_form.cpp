#include "shell/render_form.h"

#include "core/log.h"
#include "platform/platform.h"

namespace {

platformRect MonitorRect(int32_t monitor) {
  platformRect rect;
  PlatformMonitorBounds(monitor, rect);
  return rect;
}

}  // namespace

int32_t RenderFormCentre(int32_t monitorOrigin, int32_t monitorSpan, int32_t span) {
  // C++ division truncates toward zero, as the placement wants: a window 1 pixel wider than its
  // monitor sits at the monitor's origin, not one pixel left of it.
  return monitorOrigin + (monitorSpan - span) / 2;
}

bool RenderFormCreate(renderForm& form, const std::string& caption, int32_t ownerWindow, bool windowsMouse) {
  form = renderForm{};
  platformRect owner;
  if (!PlatformWindowGetRect(ownerWindow, owner)) owner = MonitorRect(PlatformMonitorPrimary());

  platformWindowSetup setup;
  setup.title = caption;
  setup.width = kRenderFormWidth;
  setup.height = kRenderFormHeight;
  setup.left = RenderFormCentre(owner.left, owner.width, setup.width);
  setup.top = RenderFormCentre(owner.top, owner.height, setup.height);
  setup.bordered = true;
  setup.opengl = true;
  setup.visible = true;
  form.window = PlatformWindowCreate(setup);
  if (form.window == 0) return false;
  if (!windowsMouse) PlatformCursorShow(false);
  form.monitor = PlatformMonitorPrimary();
  form.windowedWidth = setup.width;
  form.windowedHeight = setup.height;
  return true;
}

void RenderFormDestroy(renderForm& form) {
  PlatformWindowDestroy(form.window);
  form.window = 0;
}

void RenderFormSetDisplayId(renderForm& form, int32_t id) {
  if (form.displayId == -1) form.displayId = id;
}

void RenderFormSetMonitor(renderForm& form, int32_t m) {
  if (m < 0 || m >= PlatformMonitorCount()) {
    LogError("renderForm.SetMonitor - Invalid monitor ID \"" + std::to_string(m) + "\".  Defaulting to primary monitor.");
    m = PlatformMonitorPrimary();
  }
  form.monitor = m;
  const platformRect target = MonitorRect(m);
  const platformRect first = MonitorRect(0);
  platformRect window;
  if (!PlatformWindowGetRect(form.window, window)) return;
  PlatformWindowSetPosition(form.window, target.left + window.left - first.left, target.top + window.top - first.top);
}

void RenderFormSetResolution(renderForm& form, bool fullscreen, int32_t width, int32_t height) {
  const platformRect monitor = MonitorRect(form.monitor);
  if (fullscreen) {
    // The window goes to its monitor's corner first: fullscreen takes the monitor it is on.
    PlatformWindowSetPosition(form.window, monitor.left, monitor.top);
    PlatformWindowSetFullscreen(form.window, true);
  } else {
    PlatformWindowSetFullscreen(form.window, false);
    PlatformWindowSetBordered(form.window, true);
    PlatformWindowSetClientSize(form.window, width, height);
    PlatformWindowSetPosition(form.window, RenderFormCentre(monitor.left, monitor.width, width),
                              RenderFormCentre(monitor.top, monitor.height, height));
  }
  form.windowedWidth = width;
  form.windowedHeight = height;
}

void RenderFormSetFullscreen(renderForm& form) {
  const platformRect monitor = MonitorRect(form.monitor);
  RenderFormSetResolution(form, true, monitor.width, monitor.height);
}

void RenderFormSetWindowed(renderForm& form) {
  RenderFormSetResolution(form, false, form.windowedWidth, form.windowedHeight);
}

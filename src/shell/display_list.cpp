// The display list: the render windows of the game, each bound to one graphics display.
#include "core/log.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/platform.h"
#include "shell/main_form.h"

renderForm* FormOfWindow(int32_t window) {
  for (displayEntry& entry : gMain.displays) {
    if (entry.form->window == window) return entry.form.get();
  }
  return nullptr;
}

int32_t MainThreadDisplayAdd(int32_t monitor, const std::string& name, bool createContext) {
  auto form = std::make_unique<renderForm>();
  if (!RenderFormCreate(*form, kShellTitle, gMain.splash, gMain.windowsMouse)) {
    LogError("MainThreadDisplayAdd - Unable to create a window for display \"" + name + "\": " + PlatformErrorText());
    return -1;
  }
  gMain.displays.push_back(displayEntry{-1, std::move(form)});
  renderForm& added = *gMain.displays.back().form;
  RenderFormSetMonitor(added, monitor);
  if (GraphicsFullscreenGet()) RenderFormSetFullscreen(added);
  const int32_t id = GraphicsDisplayNew(added.window, name, added.monitor);
  gMain.displays.back().id = id;
  RenderFormSetDisplayId(added, id);
  if (id != -1 && createContext) GraphicsDisplayCreateRC(id);
  return id;
}

void MainThreadDisplayClose(int32_t id) {
  GraphicsDisplayClose(id);
  for (auto it = gMain.displays.begin(); it != gMain.displays.end();) {
    if (it->id == id) {
      gMain.focused.erase(it->form->window);
      RenderFormDestroy(*it->form);
      it = gMain.displays.erase(it);
    } else {
      ++it;
    }
  }
}

void MainThreadDisplayResize(int32_t id, int32_t width, int32_t height) {
  for (displayEntry& entry : gMain.displays) {
    if (entry.id == id) RenderFormSetResolution(*entry.form, false, width, height);
  }
}

void MainThreadDisplaySetFullscreen(bool on) {
  for (displayEntry& entry : gMain.displays) {
    if (on) RenderFormSetFullscreen(*entry.form);
    else RenderFormSetWindowed(*entry.form);
    GraphicsDisplaySetWindow(entry.id, entry.form->window);
    InputWindowHandleSet(entry.id, entry.form->window);
  }
  MainMouseConstrain(on);
}

void MainDisplayGetDimensions(int32_t id, int32_t& width, int32_t& height) {
  width = 1;
  height = 1;
  for (const displayEntry& entry : gMain.displays) {
    if (entry.id != id) continue;
    platformRect rect;
    if (PlatformWindowGetRect(entry.form->window, rect)) {
      width = rect.width > 0 ? rect.width : 1;
      height = rect.height > 0 ? rect.height : 1;
    }
    return;
  }
}

void MainThreadMinimize() {
  for (displayEntry& entry : gMain.displays) PlatformWindowMinimize(entry.form->window);
}

int32_t MainDisplayCount() { return static_cast<int32_t>(gMain.displays.size()); }

int32_t MainDisplayWindow(int32_t n) {
  if (n < 0 || n >= MainDisplayCount()) return 0;
  return gMain.displays[static_cast<size_t>(n)].form->window;
}

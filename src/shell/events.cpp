// Event dispatch of the main form: closes, activation and focus, minimise and restore, display
// changes; keyboard and mouse events go on to the input unit.
#include "core/util.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/platform.h"
#include "shell/main_form.h"

namespace {

void MainFormClose() {
  if (gMain.running && !gMain.closeRequested) {
    gMain.closeRequested = true;
    return;
  }
  if (gMain.running) return;  // the loop ends on the pending request
  // Not running: the user closes the program from its splash. Should the game be starting
  // meanwhile, the loop will find the request at its first pass and shut down in order.
  gMain.formClosed = true;
  gMain.closeRequested = true;
  PlatformWindowHide(gMain.splash);
}

void RenderFormActivate(renderForm& form) {
  PlatformWindowHide(gMain.splash);
  form.activated = true;
}

void RenderFormCloseQuery(renderForm& form) {
  if (GraphicsDisplayExists(form.displayId)) {
    MainAppAskToClose();
    return;
  }
  // No live display: the window simply goes, and its entry with it.
  for (auto it = gMain.displays.begin(); it != gMain.displays.end(); ++it) {
    if (it->form.get() == &form) {
      gMain.focused.erase(form.window);
      RenderFormDestroy(form);
      gMain.displays.erase(it);
      return;
    }
  }
}

void MainAppDeactivate() {
  if (gMain.running && GraphicsFullscreenGet() && gMain.hooks.minimizeFromFullscreen) gMain.hooks.minimizeFromFullscreen();
}

void MainAppRestore() {
  if (gMain.running && GraphicsFullscreenGet()) GraphicsModeChangeNotice();
}

}  // namespace

void FormActivate() {
  if (!gMain.firstActivation) return;
  gMain.firstActivation = false;
  gMain.timerEnabled = true;
  gMain.timerStartTick = UtilTickCount();
}

void MainFormProcessMessages(int32_t waitMs) {
  platformEvent event;
  bool have = waitMs > 0 ? PlatformWaitEvent(event, waitMs) : PlatformPollEvent(event);
  while (have) {
    MainDispatchEvent(event);
    have = PlatformPollEvent(event);
  }
  // Focus moving between two windows of the program is no deactivation: judge after the queue.
  const bool active = MainAppActive();
  if (gMain.wasActive && !active) MainAppDeactivate();
  gMain.wasActive = active;
}

void MainFormIdle(uint32_t milliseconds) {
  const uint32_t start = UtilTickCount();
  while (!gMain.closeRequested) {
    const uint32_t spent = UtilTickCount() - start;
    if (spent >= milliseconds) return;
    MainFormProcessMessages(static_cast<int32_t>(milliseconds - spent));
  }
}

void MainDispatchEvent(const platformEvent& event) {
  renderForm* form = FormOfWindow(event.window);
  const bool isSplash = event.window != 0 && event.window == gMain.splash;
  switch (event.kind) {
    case platformEventKind::kQuit:
      MainFormClose();
      break;
    case platformEventKind::kWindowClose:
      if (form != nullptr) RenderFormCloseQuery(*form);
      else if (isSplash) MainFormClose();
      break;
    case platformEventKind::kWindowShown:
    case platformEventKind::kWindowExposed:
      if (form != nullptr) RenderFormActivate(*form);
      else if (isSplash) FormActivate();
      break;
    case platformEventKind::kWindowFocusGained:
      gMain.focused.insert(event.window);
      if (form != nullptr) RenderFormActivate(*form);
      else if (isSplash) FormActivate();
      break;
    case platformEventKind::kWindowFocusLost:
      gMain.focused.erase(event.window);
      break;
    case platformEventKind::kWindowMinimized:
      if (form != nullptr) form->minimized = true;
      break;
    case platformEventKind::kWindowRestored:
      if (form != nullptr) {
        form->minimized = false;
        MainAppRestore();
      }
      break;
    case platformEventKind::kDisplayChanged:
      if (gMain.running) GraphicsModeChangeNotice();
      break;
    case platformEventKind::kKeyDown:
    case platformEventKind::kKeyUp:
      // The input unit delivers key events only while the keyboard hook is on.
      InputKeyboardMessage(event);
      break;
    case platformEventKind::kMouseMove:
    case platformEventKind::kMouseButtonDown:
    case platformEventKind::kMouseButtonUp:
    case platformEventKind::kMouseWheel:
      if (gMain.running) InputMouseMessage(event);
      break;
    default:
      break;
  }
}

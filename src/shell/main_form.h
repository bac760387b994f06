// The main form's state and the handlers that its files share. Internal to the shell: the game
// and the tests reach the main form through shell.h.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "shell/render_form.h"
#include "shell/shell.h"

struct displayEntry {
  int32_t id = -1;
  std::unique_ptr<renderForm> form;
};

// Everything the shell keeps between calls. MainFormCreate (the shell's start step) resets it and
// reads the switches once; MainFormFree clears it again.
struct mainForm {
  shellGameHooks hooks;
  std::vector<displayEntry> displays;
  bool firstActivation = true;
  std::string gameDirectory;
  bool running = false;
  bool paused = false;
  bool stateWasPaused = false;
  bool closeRequested = false;
  bool quit = false;
  bool formClosed = false;  // the user closed the splash before the game ran
  uint32_t lastKeepAwakeTick = 0;
  bool constrainMouse = true;  // not "-noconstrain"
  bool windowsMouse = false;   // "-winmouse"
  bool tracing = false;        // "-trace": the first frame's time is logged
  int32_t splash = 0;
  bool timerEnabled = false;
  uint32_t timerStartTick = 0;
  uint32_t gameStartTick = 0;  // when the timer fired
  std::set<int32_t> focused;   // windows of this program that hold the keyboard focus
  bool wasActive = false;
};

extern mainForm gMain;

// The form's one-second timer, started at the splash's first activation (or at once without one).
void FormActivate();
// Builds the splash window from its picture (splash.cpp); gMain.splash stays 0 without one.
void MainInterfaceDrawRegions();
// The render window of a platform window, or null.
renderForm* FormOfWindow(int32_t window);

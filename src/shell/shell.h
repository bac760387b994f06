// The application shell: program entry, the shaped splash, the start-up checks, the main loop
// with pause and resume, close handling, the cursor, and the list of render windows (each bound
// to one graphics display). The game plugs in through a handful of hooks, so the shell never
// names the game.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

// What the shell drives. Every hook is called on the one thread of the program.
struct shellGameHooks {
  std::function<void()> start;                   // the game's start step, after every unit's
  std::function<void()> end;                     // the game's end step, before every unit's
  std::function<bool()> initDisplay;             // find a mode, add the render window; false ends start-up
  std::function<bool()> init;                    // everything else start-up needs; false ends start-up
  std::function<bool()> processFrame;           // one frame; false when the game wants to stop
  std::function<void()> shutdown;               // after the loop: save settings, close the display
  std::function<void()> minimizeFromFullscreen;  // the application lost the focus while fullscreen
  std::function<bool()> fatalError;             // whether the game ended in its fatal-error state
};

// The application title and the caption of every window.
inline constexpr const char* kShellTitle = "Thornfall";
// The splash picture, beside the executable.
inline constexpr const char* kShellSplashFile = "Bin\\Images\\splash.tga";

// The whole program after the command line is set: starts the units, shows the splash, starts the
// game about a second later, runs it, ends the units. Returns the process exit status: 0 after a
// normal run (or when the user declined to start), 1 when the game could not start or ended in
// its fatal-error state.
int ShellMain(const shellGameHooks& hooks);

// ---------------------------------------------------------------------------------------------
// Main form and main loop

// Sets up the main form: flags, game directory (made the current directory), switches, the
// splash window, and the display-size source of the graphics unit.
void MainFormCreate(const shellGameHooks& hooks);
// Destroys the splash and every render window left; forgets the hooks.
void MainFormFree();
// Checks, game start-up, main loop, shutdown. False when the game did not start or ended in its
// fatal-error state.
bool MainGameStart();
// Handles every pending event. With a wait, first waits up to that many ms for one to arrive.
void MainFormProcessMessages(int32_t waitMs = 0);
// Spends that many ms handling events as they come (the frame's pauses); returns early once a
// close is requested, so a long pause never holds the game open.
void MainFormIdle(uint32_t milliseconds);
// One event, as the pump hands it over (tests feed their own).
void MainDispatchEvent(const platformEvent& event);

void MainAppPause();
void MainAppResume();
// A render window's close request while its display lives: restore if minimised, ask to close.
void MainAppAskToClose();
// Keeps the screen saver away: at most every 10 s, only while the application is active.
void MainKeepAwake();
// Confines the cursor to the first render window (fullscreen, active, not "-noconstrain"), or frees it.
void MainMouseConstrain(bool on);
// Shows or hides the cursor over the render windows ("-winmouse" always shows it).
void MainDisplayShowMouse(bool show);
int32_t MainGetPrimaryMonitorId();

// The splash window's platform id; 0 when there is none.
int32_t MainSplashWindow();
// Conditions of the main form, for the game and for tests.
bool MainRunning();
bool MainPaused();
bool MainCloseRequested();
// Whether the user closed the splash (main form) before the game ran.
bool MainFormClosed();
bool MainAppActive();
bool MainAppMinimized();

// ---------------------------------------------------------------------------------------------
// Display list

// Creates a render window on the monitor with a graphics display of that name and, if asked,
// its rendering context. The display id, or -1 when the window or display could not be made.
int32_t MainThreadDisplayAdd(int32_t monitor, const std::string& name, bool createContext);
// Closes the display, then every render window bound to it.
void MainThreadDisplayClose(int32_t id);
// Windowed client size of every render window of the display, centred on its monitor.
void MainThreadDisplayResize(int32_t id, int32_t width, int32_t height);
// Every render window to fullscreen (its monitor's size) or back to its windowed size.
void MainThreadDisplaySetFullscreen(bool on);
// Client size of the first render window of the display; 1 x 1 when none, never 0.
void MainDisplayGetDimensions(int32_t id, int32_t& width, int32_t& height);
void MainThreadMinimize();
// Number of render windows, and the platform window of the n-th (0 when out of range).
int32_t MainDisplayCount();
int32_t MainDisplayWindow(int32_t n);

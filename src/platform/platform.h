// The one place that talks to SDL2 and the windowing system: windows (also the shaped splash),
// OpenGL contexts, monitors and display modes, events, message boxes and the cursor.
// Ids are signed 32-bit, 0 for none; no SDL type crosses this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Start and end

// Starts the video subsystem (and controllers) and sets the OpenGL attributes every render window
// is created with (RGBA 8888, depth 16, stencil 1, double buffer). From here to PlatformEnd,
// SIGTERM, SIGINT and SIGHUP arrive as a kQuit event (a second one before the first is taken ends
// the program), and a crash signal restores the desktop mode before the program dies. False with
// a log line when there is no video device; everything else then fails softly.
bool PlatformStart();
// Restores any changed display mode, destroys what is left and ends SDL.
void PlatformEnd();
// Text of the last SDL (or system) error, for messages.
std::string PlatformErrorText();

// ---------------------------------------------------------------------------------------------
// Monitors and display modes

struct platformRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// One display mode of a monitor. modeNumber is the mode's index in the monitor's own enumeration;
// bitsPerPixel counts a 24-bit xRGB mode as 32.
struct platformMode {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
  int32_t modeNumber = -1;
};

int32_t PlatformMonitorCount();
int32_t PlatformMonitorPrimary();
// The monitor's rectangle on the desktop; while a mode is set on it, that mode's size.
bool PlatformMonitorBounds(int32_t monitor, platformRect& bounds);
// Every mode the monitor offers, in its own order; false when the monitor cannot be enumerated.
bool PlatformMonitorModes(int32_t monitor, std::vector<platformMode>& modes);
// The desktop mode of the monitor (what "restore" returns to).
bool PlatformMonitorDesktopMode(int32_t monitor, platformMode& mode);
// Chooses the mode that fullscreen windows on this monitor use. A mode equal to the desktop mode
// changes nothing on the screen (fullscreen then covers the desktop in its own mode).
bool PlatformMonitorSetMode(int32_t monitor, int32_t modeNumber);
// Returns every monitor to its desktop mode (fullscreen windows are taken out of exclusive mode).
bool PlatformMonitorsRestoreDesktop();

// ---------------------------------------------------------------------------------------------
// Windows

struct platformWindowSetup {
  std::string title;
  int32_t left = 0;  // position of the client area on the desktop
  int32_t top = 0;
  int32_t width = 0;  // client size
  int32_t height = 0;
  bool bordered = true;
  bool opengl = false;  // a render window that OpenGL contexts can be made for
  bool visible = true;
};

int32_t PlatformWindowCreate(const platformWindowSetup& setup);
// A borderless window cut to the shape of the picture's alpha (pixels 0xAARRGGBB, alpha > 127
// visible), showing the picture, centred on the primary monitor and dragged by its body.
int32_t PlatformShapedWindowCreate(const std::string& title, const uint32_t* pixels, int32_t width, int32_t height);
void PlatformWindowDestroy(int32_t window);
bool PlatformWindowExists(int32_t window);
void PlatformWindowShow(int32_t window);
void PlatformWindowHide(int32_t window);
void PlatformWindowSetTitle(int32_t window, const std::string& title);
void PlatformWindowSetBordered(int32_t window, bool bordered);
void PlatformWindowSetPosition(int32_t window, int32_t left, int32_t top);
void PlatformWindowSetClientSize(int32_t window, int32_t width, int32_t height);
// Client rectangle on the desktop; false for an unknown window.
bool PlatformWindowGetRect(int32_t window, platformRect& rect);
// Fullscreen on the monitor the window is on, in the mode chosen for it (or the desktop's own).
bool PlatformWindowSetFullscreen(int32_t window, bool fullscreen);
void PlatformWindowMinimize(int32_t window);
void PlatformWindowRestore(int32_t window);
bool PlatformWindowMinimized(int32_t window);
// Whether the window has the keyboard focus (the application is active while any window has).
bool PlatformWindowFocused(int32_t window);
// Confines the pointer to the window (or releases it).
void PlatformWindowConfineMouse(int32_t window, bool confine);
// Shows the arrow cursor or no cursor over the program's windows.
void PlatformCursorShow(bool show);
// Keeps the screen saver and power saving away while the game plays.
void PlatformScreenSaverInhibit(bool inhibit);

// ---------------------------------------------------------------------------------------------
// OpenGL

// Whether the OpenGL library (libGL.so.1) can be loaded at all.
bool PlatformOpenGLAvailable();
// Whether OpenGL on this system draws with hardware acceleration (or a rasteriser we accept:
// Mesa's llvmpipe counts, softpipe and the classic software rasteriser do not). Asked once.
bool PlatformOpenGLAccelerated();
// Creates a context for a render window; 0 with PlatformErrorText set on failure.
int32_t PlatformGLContextCreate(int32_t window);
void PlatformGLContextDelete(int32_t context);
// Makes the context current on the window; context 0 makes no context current.
bool PlatformGLMakeCurrent(int32_t window, int32_t context);
bool PlatformGLSwap(int32_t window);
// Sets the swap interval (0 or 1); false when the system refuses (counts as no vsync support).
bool PlatformGLSetSwapInterval(int32_t interval);
void* PlatformGLProcAddress(const char* name);

// ---------------------------------------------------------------------------------------------
// Events

enum class platformEventKind {
  kNone,
  kQuit,            // the session or the user asked the program to end (also by a signal)
  kWindowClose,     // a window's close button or a window manager's delete request
  kWindowShown,
  kWindowFocusGained,
  kWindowFocusLost,
  kWindowMinimized,
  kWindowRestored,
  kWindowExposed,
  kDisplayChanged,  // monitors or their modes changed
  kKeyDown,         // repeats are not delivered
  kKeyUp,
  kMouseMove,
  kMouseButtonDown,
  kMouseButtonUp,
  kMouseWheel,
};

struct platformEvent {
  platformEventKind kind = platformEventKind::kNone;
  int32_t window = 0;
  int32_t scancode = 0;  // USB HID usage id of the key (SDL scancode numbering)
  int32_t x = 0;         // pointer position in the window's client area
  int32_t y = 0;
  int32_t button = 0;    // 1 left, 2 middle, 3 right, 4 and 5 extra
  int32_t wheel = 0;     // wheel steps, positive away from the user
  // Key events: the character the key types in the current keyboard layout without Shift (a
  // Unicode code point, letters in lower case), 0 for keys that type none (arrows, F-keys, ...).
  int32_t symbol = 0;
  bool altHeld = false;  // key events: an Alt key is down
  int32_t wheelX = 0;    // horizontal wheel steps, positive to the right
};

// Takes the next pending event; false when none is pending.
bool PlatformPollEvent(platformEvent& event);
// Waits up to timeout ms for an event; false when none came.
bool PlatformWaitEvent(platformEvent& event, int32_t timeoutMs);

// ---------------------------------------------------------------------------------------------
// Message boxes (written to the log instead when there is no display: the offscreen or dummy
// video driver, or no video at all). Lines break at CR LF or LF.

void PlatformMessageInformation(const std::string& caption, const std::string& text);
// True for Yes. Yes is the Return key's button, No the Escape key's; closing the box answers No.
// Without a display the default, Yes, is taken.
bool PlatformMessageYesNo(const std::string& caption, const std::string& text);

// ---------------------------------------------------------------------------------------------
// Keyboard grab and game controllers

// Whether the window is fullscreen (either kind); false for an unknown window.
bool PlatformWindowFullscreen(int32_t window);
// Takes the whole keyboard for the window while it has the focus, so keys the desktop would act
// on (the GUI keys) reach the program instead; false releases it. Alt+Tab still minimises a
// fullscreen window that holds the grab, so the player can always leave.
void PlatformWindowGrabKeyboard(int32_t window, bool grab);

// Hat directions in platformControllerState::hats (several bits for a diagonal).
inline constexpr uint8_t kPlatformHatUp = 1;
inline constexpr uint8_t kPlatformHatRight = 2;
inline constexpr uint8_t kPlatformHatDown = 4;
inline constexpr uint8_t kPlatformHatLeft = 8;

// A game controller (joystick). Controllers are numbered from 0 in the order they were first
// seen, and keep their number for the run: one pulled out stays in the list, detached; plugged
// in again it is a new controller.
struct platformController {
  std::string name;  // empty when the system knows none
  uint16_t vendor = 0;  // USB vendor and product ids; 0 when unknown
  uint16_t product = 0;
  int32_t axes = 0;
  int32_t buttons = 0;
  int32_t hats = 0;
  bool attached = false;
};

// Positions: axes -32768 to 32767 (0 centred; X grows to the right, Y downwards), buttons 1 or 0,
// hats as kPlatformHat bits.
struct platformControllerState {
  std::vector<int16_t> axes;
  // Where each axis rests when untouched: 0 for a stick, an end (-32768 or 32767) for a trigger.
  // Known once the device has reported; 0 until then.
  std::vector<int16_t> axisRest;
  std::vector<uint8_t> buttons;
  std::vector<uint8_t> hats;
};

// Starts the controller subsystem and opens the controllers present. False with a log line when
// the system has no controller support (there are then no controllers).
bool PlatformControllersStart();
// Closes every controller, forgets the list and ends the subsystem.
void PlatformControllersEnd();
// Reads the devices anew: opens controllers plugged in since the last call (appended) and marks
// those pulled out as detached. Returns the number of controllers in the list.
int32_t PlatformControllersUpdate();
int32_t PlatformControllerCount();
// False for a number out of range.
bool PlatformControllerInfo(int32_t controller, platformController& info);
// The position as of the last update; false (state emptied) when detached or out of range.
bool PlatformControllerRead(int32_t controller, platformControllerState& state);

// The platform layer on SDL2: windows, the shaped splash, OpenGL contexts, monitors and modes,
// events, message boxes and the cursor. Also the signal handlers: the signals that ask a program
// to end (a logout, Ctrl+C, kill) become a quit event, so the game shuts down in order; the crash
// signals put the desktop mode back before the program dies while a mode of its own is set.
#include "platform/platform.h"

#include <SDL.h>
#include <SDL_shape.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>

#include "core/log.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Owners

void ForgetExclusive(SDL_Window* window);

// An SDL window, destroyed with its owner. The crash handler's list of windows in a mode of
// their own forgets it first, so the handler never touches a destroyed window.
struct WindowDestroy {
  void operator()(SDL_Window* window) const {
    ForgetExclusive(window);
    SDL_DestroyWindow(window);
  }
};
using WindowOwner = std::unique_ptr<SDL_Window, WindowDestroy>;

// An OpenGL context, deleted with its owner; it stops being current first.
struct ContextDelete {
  void operator()(void* context) const {
    if (SDL_GL_GetCurrentContext() == context) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
    SDL_GL_DeleteContext(context);
  }
};
using ContextOwner = std::unique_ptr<void, ContextDelete>;

struct SurfaceFree {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfaceOwner = std::unique_ptr<SDL_Surface, SurfaceFree>;

// ---------------------------------------------------------------------------------------------
// Records

struct WindowRecord {
  WindowOwner window;
  // The splash: its picture is painted into the window surface again whenever it is exposed.
  // Declared after the window, so it goes first.
  SurfaceOwner picture;
  // Place and client size to come back to when the window leaves fullscreen. Kept here rather
  // than left to the video driver: not every driver restores them.
  platformRect windowed;
};

bool IsFullscreen(SDL_Window* window) { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

// The unit's state, reset by PlatformStart. What the signal handlers read lives apart, below.
struct PlatformState {
  bool started = false;
  bool glLoaded = false;  // SDL_GL_LoadLibrary holds the library for the whole run
  std::map<int32_t, WindowRecord> windows;  // by SDL window id (never reused within a run)
  // After the windows: should the record go without PlatformEnd, the contexts go first.
  std::map<int32_t, ContextOwner> contexts;
  int32_t nextContext = 1;
  // Per monitor: the mode fullscreen windows use there; -1 = the desktop's own.
  std::map<int32_t, int32_t> chosenMode;
  int acceleratedAnswer = -1;  // cached: -1 unknown, 0 no, 1 yes
};

PlatformState gPlatform;

// ---------------------------------------------------------------------------------------------
// What the signal handlers see: plain values only, kept out of the state record.

// Windows in exclusive fullscreen with a mode that differs from the desktop's.
constexpr int kMaxExclusive = 8;
SDL_Window* volatile gExclusive[kMaxExclusive] = {};
volatile sig_atomic_t gModeChanged = 0;

// A quit signal that the event pump has not taken yet, and the pipe that wakes a waiting pump
// (whichever thread the signal lands on).
volatile sig_atomic_t gQuitPending = 0;
int gWakePipe[2] = {-1, -1};

// Signals that ask the program to end: the game leaves its main loop as on a window close.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Crashes: the desktop mode goes back, then the signal's default action ends the program.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kQuitCount = sizeof(kQuitSignals) / sizeof(kQuitSignals[0]);
constexpr size_t kCrashCount = sizeof(kCrashSignals) / sizeof(kCrashSignals[0]);
struct sigaction gPreviousActions[kQuitCount + kCrashCount];
bool gHandlersInstalled = false;

SDL_Window* WindowOf(int32_t window) {
  auto it = gPlatform.windows.find(window);
  return it == gPlatform.windows.end() ? nullptr : it->second.window.get();
}

void ForgetExclusive(SDL_Window* window) {
  bool any = false;
  for (auto& slot : gExclusive) {
    if (slot == window) slot = nullptr;
    if (slot != nullptr) any = true;
  }
  gModeChanged = any ? 1 : 0;
}

void RememberExclusive(SDL_Window* window) {
  for (auto& slot : gExclusive) {
    if (slot == window) return;
  }
  for (auto& slot : gExclusive) {
    if (slot == nullptr) {
      slot = window;
      gModeChanged = 1;
      return;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Signals

// Puts the desktop mode back before the signal's default action ends the process: the X server
// keeps a mode that a client set after the client has gone. Not async-signal-safe by the book, so
// an alarm ends the process should the restore hang on a lock the faulting code held.
void EndBySignal(int signalNumber) {
  static volatile sig_atomic_t inside = 0;
  if (!inside) {
    inside = 1;
    if (gModeChanged) {
      alarm(2);
      for (auto& slot : gExclusive) {
        SDL_Window* window = slot;
        if (window != nullptr) SDL_SetWindowFullscreen(window, 0);
      }
    }
  }
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Only a flag and a byte down the pipe: both are safe in a handler. A second quit signal while
// the first is still untaken (the program is stuck before its event pump) ends the program.
void OnQuitSignal(int signalNumber) {
  if (gQuitPending) {
    EndBySignal(signalNumber);
    return;
  }
  gQuitPending = 1;
  const int saved = errno;
  if (gWakePipe[1] >= 0) {
    const char byte = 'q';
    [[maybe_unused]] const ssize_t written = write(gWakePipe[1], &byte, 1);
  }
  errno = saved;
}

void InstallSignalHandlers() {
  if (gHandlersInstalled) return;
  struct sigaction quit {};
  quit.sa_handler = OnQuitSignal;
  sigemptyset(&quit.sa_mask);
  quit.sa_flags = SA_RESTART;  // file writes of the shutdown are not cut short
  struct sigaction crash {};
  crash.sa_handler = EndBySignal;
  sigemptyset(&crash.sa_mask);
  crash.sa_flags = SA_NODEFER | SA_RESETHAND;
  for (size_t i = 0; i < kQuitCount; ++i) sigaction(kQuitSignals[i], &quit, &gPreviousActions[i]);
  for (size_t i = 0; i < kCrashCount; ++i) sigaction(kCrashSignals[i], &crash, &gPreviousActions[kQuitCount + i]);
  gHandlersInstalled = true;
}

void RemoveSignalHandlers() {
  if (!gHandlersInstalled) return;
  for (size_t i = 0; i < kQuitCount; ++i) sigaction(kQuitSignals[i], &gPreviousActions[i], nullptr);
  for (size_t i = 0; i < kCrashCount; ++i) sigaction(kCrashSignals[i], &gPreviousActions[kQuitCount + i], nullptr);
  gHandlersInstalled = false;
}

void OpenWakePipe() {
  if (gWakePipe[0] >= 0) return;
  if (pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) gWakePipe[0] = gWakePipe[1] = -1;
}

void CloseWakePipe() {
  for (int& fd : gWakePipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

// Takes a pending quit signal, emptying the pipe.
bool TakeQuitSignal() {
  if (!gQuitPending) return false;
  // Cleared before the pipe is emptied: a signal in between leaves the flag set for the next
  // call rather than counting as a second, untaken one.
  gQuitPending = 0;
  char bytes[16];
  while (gWakePipe[0] >= 0 && read(gWakePipe[0], bytes, sizeof bytes) > 0) {
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Modes

uint32_t BitsOf(uint32_t format) {
  const uint32_t bits = SDL_BITSPERPIXEL(format);
  // A 24-bit xRGB mode stores four bytes a pixel: the rest of the program calls that 32 bits.
  if (bits == 24 && SDL_BYTESPERPIXEL(format) == 4) return 32;
  return bits;
}

bool SameMode(const SDL_DisplayMode& a, const SDL_DisplayMode& b) {
  return a.w == b.w && a.h == b.h && BitsOf(a.format) == BitsOf(b.format);
}

// A monitor's modes are numbered as SDL lists them, empty entries left out. A list without the
// desktop mode (the offscreen driver lists one empty mode) gets it as number `count`, one past
// SDL's own: every monitor can show its desktop.
bool DesktopListed(int monitor, int count, const SDL_DisplayMode& desktop) {
  for (int k = 0; k < count; ++k) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(monitor, k, &mode) == 0 && mode.w > 0 && mode.h > 0 && SameMode(mode, desktop)) return true;
  }
  return false;
}

bool ModeByNumber(int monitor, int number, SDL_DisplayMode& mode) {
  const int count = SDL_GetNumDisplayModes(monitor);
  if (count < 0 || number < 0 || number > count) return false;
  if (number < count) return SDL_GetDisplayMode(monitor, number, &mode) == 0 && mode.w > 0 && mode.h > 0;
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(monitor, &desktop) != 0 || DesktopListed(monitor, count, desktop)) return false;
  mode = desktop;
  return true;
}

// Puts a window that is fullscreen (or about to be) into the right kind of fullscreen for the
// mode chosen on its monitor: the desktop kind when none is chosen or it equals the desktop's.
bool ApplyFullscreen(SDL_Window* window) {
  const int display = SDL_GetWindowDisplayIndex(window);
  SDL_DisplayMode desktop{};
  SDL_DisplayMode wanted{};
  bool exclusive = false;
  if (display >= 0 && SDL_GetDesktopDisplayMode(display, &desktop) == 0) {
    auto it = gPlatform.chosenMode.find(display);
    if (it != gPlatform.chosenMode.end() && ModeByNumber(display, it->second, wanted)) {
      exclusive = !SameMode(wanted, desktop);
    }
  }
  if (!exclusive) {
    const bool ok = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    ForgetExclusive(window);
    return ok;
  }
  if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
    // Changing the mode of a window that is already fullscreen: leave the old kind first so
    // SDL sets the new mode rather than keeping the one in force.
    SDL_SetWindowFullscreen(window, 0);
  }
  if (SDL_SetWindowDisplayMode(window, &wanted) != 0) return false;
  RememberExclusive(window);
  if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
    ForgetExclusive(window);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Windows

SDL_HitTestResult DragByBody(SDL_Window*, const SDL_Point*, void*) { return SDL_HITTEST_DRAGGABLE; }

void PaintPicture(const WindowRecord& record) {
  if (record.picture == nullptr) return;
  SDL_Surface* target = SDL_GetWindowSurface(record.window.get());
  if (target == nullptr) return;
  SDL_BlitSurface(record.picture.get(), nullptr, target, nullptr);
  SDL_UpdateWindowSurface(record.window.get());
}

bool HaveDisplayToAsk() {
  if (!gPlatform.started) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

// SDL's boxes break lines at "\n" only.
std::string BoxText(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c != '\r') result += c;
  }
  return result;
}

std::string LogText(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += ' ';
    else if (c != '\r') result += c;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// Events

bool Translate(const SDL_Event& in, platformEvent& out) {
  out = platformEvent{};
  switch (in.type) {
    case SDL_QUIT:
      out.kind = platformEventKind::kQuit;
      return true;
    case SDL_DISPLAYEVENT:
      out.kind = platformEventKind::kDisplayChanged;
      return true;
    case SDL_WINDOWEVENT:
      out.window = static_cast<int32_t>(in.window.windowID);
      switch (in.window.event) {
        case SDL_WINDOWEVENT_SHOWN: out.kind = platformEventKind::kWindowShown; break;
        case SDL_WINDOWEVENT_EXPOSED: {
          auto it = gPlatform.windows.find(out.window);
          if (it != gPlatform.windows.end()) PaintPicture(it->second);
          out.kind = platformEventKind::kWindowExposed;
          break;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.kind = platformEventKind::kWindowFocusGained; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.kind = platformEventKind::kWindowFocusLost; break;
        case SDL_WINDOWEVENT_MINIMIZED: out.kind = platformEventKind::kWindowMinimized; break;
        case SDL_WINDOWEVENT_RESTORED: out.kind = platformEventKind::kWindowRestored; break;
        case SDL_WINDOWEVENT_CLOSE: out.kind = platformEventKind::kWindowClose; break;
        default: return false;
      }
      return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (in.key.repeat) return false;
      out.kind = in.type == SDL_KEYDOWN ? platformEventKind::kKeyDown : platformEventKind::kKeyUp;
      out.window = static_cast<int32_t>(in.key.windowID);
      out.scancode = static_cast<int32_t>(in.key.keysym.scancode);
      // Printable keys have their character as keycode; the others carry the scancode mask.
      out.symbol = (in.key.keysym.sym & SDLK_SCANCODE_MASK) ? 0 : static_cast<int32_t>(in.key.keysym.sym);
      out.altHeld = (in.key.keysym.mod & KMOD_ALT) != 0;
      return true;
    case SDL_MOUSEMOTION:
      out.kind = platformEventKind::kMouseMove;
      out.window = static_cast<int32_t>(in.motion.windowID);
      out.x = in.motion.x;
      out.y = in.motion.y;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out.kind = in.type == SDL_MOUSEBUTTONDOWN ? platformEventKind::kMouseButtonDown : platformEventKind::kMouseButtonUp;
      out.window = static_cast<int32_t>(in.button.windowID);
      out.x = in.button.x;
      out.y = in.button.y;
      out.button = in.button.button;
      return true;
    case SDL_MOUSEWHEEL:
      out.kind = platformEventKind::kMouseWheel;
      out.window = static_cast<int32_t>(in.wheel.windowID);
      out.wheel = in.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -in.wheel.y : in.wheel.y;
      out.wheelX = in.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -in.wheel.x : in.wheel.x;
      return true;
    default:
      return false;
  }
}

// Sleeps until the windowing system has input for the program, a quit signal arrives or the time
// is up. On X11 that is a poll on the display connection, which SDL's pump has just drained. SDL's
// own waiting is not used: it wakes itself with a message to one of the program's windows on a
// second connection, and when that window is destroyed before the server gets to the message,
// Xlib reports the error when SDL closes the connection at the end, by ending the process with
// status 1. Elsewhere (offscreen, Wayland) only the signal pipe can wake it early.
void WaitForInput(int32_t timeoutMs) {
  pollfd inputs[2];
  nfds_t count = 0;
  if (gWakePipe[0] >= 0) inputs[count++] = pollfd{gWakePipe[0], POLLIN, 0};
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0 && !gPlatform.windows.empty()) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(gPlatform.windows.begin()->second.window.get(), &info) && info.subsystem == SDL_SYSWM_X11) {
      inputs[count++] = pollfd{ConnectionNumber(info.info.x11.display), POLLIN, 0};
    }
  }
  poll(count > 0 ? inputs : nullptr, count, timeoutMs);
}

// In sanitizer builds the graphics drivers are loaded here for good, before SDL opens them. The
// leak checker looks at the heap when the program ends; by then Mesa has unloaded its driver
// modules, and what they kept for the process would show as leaks of a module nobody can name.
// Kept loaded, those allocations stay attributed to the drivers and match their suppressions.
void KeepDriversLoaded() {
#ifdef THORNFALL_KEEP_DRIVERS_LOADED
  for (const char* driver : {"libGLX_mesa.so.0", "libEGL_mesa.so.0", THORNFALL_DRI_DRIVER}) {
    dlopen(driver, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  }
#endif
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start and end

bool PlatformStart() {
  if (gPlatform.started) return true;
  gPlatform = PlatformState{};
  // The shell decides about minimising on focus loss and about the screen saver. Signals are
  // handled here (SDL's own handlers would not restore a mode after a crash).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Window surfaces (the splash) are drawn by the windowing system directly. SDL's default on X11
  // would back them with an OpenGL renderer, which re-creates the window (losing its place and
  // its shape) and costs a tenth of a second.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  KeepDriversLoaded();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    LogError(std::string("PlatformStart - Unable to start the video system: ") + SDL_GetError());
    return false;
  }
  // Without a reachable display SDL falls back to a driver that shows nothing, and the game
  // would play unseen until killed. Such a driver is used only when asked for by name.
  const std::string driver = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if ((driver == "offscreen" || driver == "dummy") && (asked == nullptr || driver != asked)) {
    LogError("PlatformStart - Unable to start the video system: no display could be opened.");
    SDL_Quit();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // Loaded once for the run: SDL would otherwise unload the library with the last OpenGL window
  // and the entry points found earlier would dangle. A failure shows later, at context creation.
  gPlatform.glLoaded = SDL_GL_LoadLibrary(nullptr) == 0;
  gPlatform.started = true;
  gQuitPending = 0;
  OpenWakePipe();
  InstallSignalHandlers();
  return true;
}

void PlatformEnd() {
  if (!gPlatform.started) return;
  PlatformMonitorsRestoreDesktop();
  SDL_GL_MakeCurrent(nullptr, nullptr);
  gPlatform.contexts.clear();
  gPlatform.windows.clear();
  if (gPlatform.glLoaded) SDL_GL_UnloadLibrary();
  SDL_Quit();
  RemoveSignalHandlers();
  CloseWakePipe();
  gQuitPending = 0;
  gPlatform = PlatformState{};
}

std::string PlatformErrorText() {
  const char* text = SDL_GetError();
  return text != nullptr && *text != '\0' ? text : "Unknown error.";
}

// ---------------------------------------------------------------------------------------------
// Monitors and display modes

int32_t PlatformMonitorCount() {
  if (!gPlatform.started) return 0;
  const int count = SDL_GetNumVideoDisplays();
  return count < 0 ? 0 : count;
}

// SDL lists the primary display first.
int32_t PlatformMonitorPrimary() { return 0; }

bool PlatformMonitorBounds(int32_t monitor, platformRect& bounds) {
  SDL_Rect rect{};
  if (!gPlatform.started || SDL_GetDisplayBounds(monitor, &rect) != 0) return false;
  bounds = platformRect{rect.x, rect.y, rect.w, rect.h};
  return true;
}

bool PlatformMonitorModes(int32_t monitor, std::vector<platformMode>& modes) {
  modes.clear();
  if (!gPlatform.started) return false;
  const int count = SDL_GetNumDisplayModes(monitor);
  if (count < 0) return false;
  for (int k = 0; k <= count; ++k) {
    SDL_DisplayMode mode{};
    if (!ModeByNumber(monitor, k, mode)) continue;
    platformMode listed{static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h), BitsOf(mode.format), k};
    // The same size and depth at a lower refresh rate comes later in the system's list; the
    // callers know no refresh rates, so only the fastest of each is offered.
    const bool repeat = std::any_of(modes.begin(), modes.end(), [&](const platformMode& m) {
      return m.width == listed.width && m.height == listed.height && m.bitsPerPixel == listed.bitsPerPixel;
    });
    if (!repeat) modes.push_back(listed);
  }
  return true;
}

bool PlatformMonitorDesktopMode(int32_t monitor, platformMode& mode) {
  SDL_DisplayMode desktop{};
  if (!gPlatform.started || SDL_GetDesktopDisplayMode(monitor, &desktop) != 0) return false;
  mode = platformMode{static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h), BitsOf(desktop.format), -1};
  const int count = SDL_GetNumDisplayModes(monitor);
  for (int k = 0; k <= count; ++k) {
    SDL_DisplayMode candidate{};
    if (ModeByNumber(monitor, k, candidate) && SameMode(candidate, desktop)) {
      mode.modeNumber = k;
      break;
    }
  }
  return true;
}

bool PlatformMonitorSetMode(int32_t monitor, int32_t modeNumber) {
  SDL_DisplayMode mode{};
  if (!gPlatform.started || !ModeByNumber(monitor, modeNumber, mode)) {
    SDL_SetError("Monitor %d has no mode %d.", static_cast<int>(monitor), static_cast<int>(modeNumber));
    return false;
  }
  gPlatform.chosenMode[monitor] = modeNumber;
  // Windows already fullscreen on that monitor take the new mode at once.
  bool ok = true;
  for (auto& [id, record] : gPlatform.windows) {
    SDL_Window* window = record.window.get();
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) && SDL_GetWindowDisplayIndex(window) == monitor) {
      ok = ApplyFullscreen(window) && ok;
    }
  }
  return ok;
}

bool PlatformMonitorsRestoreDesktop() {
  if (!gPlatform.started) return false;
  gPlatform.chosenMode.clear();
  bool ok = true;
  for (auto& [id, record] : gPlatform.windows) {
    SDL_Window* window = record.window.get();
    const Uint32 flags = SDL_GetWindowFlags(window);
    const bool exclusive = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN;
    if (exclusive) {
      // Stays covering its monitor, as a window does when the desktop mode comes back under it.
      ok = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0 && ok;
    }
    ForgetExclusive(window);
  }
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Windows

int32_t PlatformWindowCreate(const platformWindowSetup& setup) {
  if (!gPlatform.started) {
    SDL_SetError("The video system is not started.");
    return 0;
  }
  Uint32 flags = setup.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (setup.opengl) flags |= SDL_WINDOW_OPENGL;
  if (!setup.bordered) flags |= SDL_WINDOW_BORDERLESS;
  WindowOwner window(SDL_CreateWindow(setup.title.c_str(), setup.left, setup.top, setup.width > 0 ? setup.width : 1,
                                       setup.height > 0 ? setup.height : 1, flags));
  if (window == nullptr) return 0;
  const int32_t id = static_cast<int32_t>(SDL_GetWindowID(window.get()));
  gPlatform.windows[id] = WindowRecord{std::move(window), nullptr, {}};
  return id;
}

int32_t PlatformShapedWindowCreate(const std::string& title, const uint32_t* pixels, int32_t width, int32_t height) {
  if (!gPlatform.started || pixels == nullptr || width <= 0 || height <= 0) {
    SDL_SetError("No video system or no picture for a shaped window.");
    return 0;
  }
  // Pixels are 0xAARRGGBB words, which is SDL's packed ARGB8888 on any byte order. The surface
  // keeps its own copy so the caller's buffer may go.
  SurfaceOwner borrowed(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32, width * 4,
                                                          SDL_PIXELFORMAT_ARGB8888));
  if (borrowed == nullptr) return 0;
  SurfaceOwner picture(SDL_ConvertSurfaceFormat(borrowed.get(), SDL_PIXELFORMAT_ARGB8888, 0));
  borrowed.reset();
  if (picture == nullptr) return 0;
  SDL_SetSurfaceBlendMode(picture.get(), SDL_BLENDMODE_NONE);

  const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(PlatformMonitorPrimary()));
  WindowOwner window(
      SDL_CreateShapedWindow(title.c_str(), centred, centred, width, height, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS));
  if (window != nullptr) {
    SDL_WindowShapeMode mode{};
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 128;  // alpha above 127 is the window
    if (SDL_SetWindowShape(window.get(), picture.get(), &mode) != 0) window.reset();
  }
  if (window == nullptr) {
    // A system without shaped windows shows the picture in a plain borderless window.
    window.reset(SDL_CreateWindow(title.c_str(), centred, centred, width, height, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS));
  }
  if (window == nullptr) return 0;
  SDL_Rect screen{};
  if (SDL_GetDisplayBounds(PlatformMonitorPrimary(), &screen) == 0) {
    SDL_SetWindowPosition(window.get(), screen.x + (screen.w - width) / 2, screen.y + (screen.h - height) / 2);
  }
  SDL_SetWindowHitTest(window.get(), DragByBody, nullptr);
  const int32_t id = static_cast<int32_t>(SDL_GetWindowID(window.get()));
  WindowRecord& record = gPlatform.windows[id];
  record = WindowRecord{std::move(window), std::move(picture), {}};
  SDL_ShowWindow(record.window.get());
  PaintPicture(record);
  return id;
}

void PlatformWindowDestroy(int32_t window) {
  auto it = gPlatform.windows.find(window);
  if (it == gPlatform.windows.end()) return;
  gPlatform.windows.erase(it);
}

bool PlatformWindowExists(int32_t window) { return WindowOf(window) != nullptr; }

void PlatformWindowShow(int32_t window) {
  auto it = gPlatform.windows.find(window);
  if (it == gPlatform.windows.end()) return;
  SDL_ShowWindow(it->second.window.get());
  PaintPicture(it->second);
}

void PlatformWindowHide(int32_t window) {
  if (SDL_Window* w = WindowOf(window)) SDL_HideWindow(w);
}

void PlatformWindowSetTitle(int32_t window, const std::string& title) {
  if (SDL_Window* w = WindowOf(window)) SDL_SetWindowTitle(w, title.c_str());
}

void PlatformWindowSetBordered(int32_t window, bool bordered) {
  if (SDL_Window* w = WindowOf(window)) SDL_SetWindowBordered(w, bordered ? SDL_TRUE : SDL_FALSE);
}

void PlatformWindowSetPosition(int32_t window, int32_t left, int32_t top) {
  auto it = gPlatform.windows.find(window);
  if (it == gPlatform.windows.end()) return;
  WindowRecord& record = it->second;
  if (IsFullscreen(record.window.get())) {
    record.windowed.left = left;
    record.windowed.top = top;
    return;
  }
  SDL_SetWindowPosition(record.window.get(), left, top);
}

void PlatformWindowSetClientSize(int32_t window, int32_t width, int32_t height) {
  auto it = gPlatform.windows.find(window);
  if (it == gPlatform.windows.end()) return;
  WindowRecord& record = it->second;
  width = width > 0 ? width : 1;
  height = height > 0 ? height : 1;
  if (IsFullscreen(record.window.get())) {
    record.windowed.width = width;
    record.windowed.height = height;
    return;
  }
  SDL_SetWindowSize(record.window.get(), width, height);
}

bool PlatformWindowGetRect(int32_t window, platformRect& rect) {
  SDL_Window* w = WindowOf(window);
  if (w == nullptr) return false;
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(w, &x, &y);
  SDL_GetWindowSize(w, &width, &height);
  rect = platformRect{x, y, width, height};
  return true;
}

bool PlatformWindowSetFullscreen(int32_t window, bool fullscreen) {
  auto it = gPlatform.windows.find(window);
  if (it == gPlatform.windows.end()) {
    SDL_SetError("Unknown window %d.", static_cast<int>(window));
    return false;
  }
  WindowRecord& record = it->second;
  SDL_Window* w = record.window.get();
  const bool was = IsFullscreen(w);
  if (fullscreen) {
    if (!was) PlatformWindowGetRect(window, record.windowed);
    return ApplyFullscreen(w);
  }
  if (!was) return true;
  const bool ok = SDL_SetWindowFullscreen(w, 0) == 0;
  ForgetExclusive(w);
  if (record.windowed.width > 0 && record.windowed.height > 0) {
    SDL_SetWindowSize(w, record.windowed.width, record.windowed.height);
    SDL_SetWindowPosition(w, record.windowed.left, record.windowed.top);
  }
  return ok;
}

void PlatformWindowMinimize(int32_t window) {
  if (SDL_Window* w = WindowOf(window)) SDL_MinimizeWindow(w);
}

void PlatformWindowRestore(int32_t window) {
  if (SDL_Window* w = WindowOf(window)) SDL_RestoreWindow(w);
}

bool PlatformWindowMinimized(int32_t window) {
  SDL_Window* w = WindowOf(window);
  return w != nullptr && (SDL_GetWindowFlags(w) & SDL_WINDOW_MINIMIZED) != 0;
}

bool PlatformWindowFocused(int32_t window) {
  SDL_Window* w = WindowOf(window);
  return w != nullptr && (SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void PlatformWindowConfineMouse(int32_t window, bool confine) {
  if (SDL_Window* w = WindowOf(window)) SDL_SetWindowMouseGrab(w, confine ? SDL_TRUE : SDL_FALSE);
}

void PlatformCursorShow(bool show) {
  if (gPlatform.started) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void PlatformScreenSaverInhibit(bool inhibit) {
  if (!gPlatform.started) return;
  if (inhibit) SDL_DisableScreenSaver();
  else SDL_EnableScreenSaver();
}

// ---------------------------------------------------------------------------------------------
// OpenGL

bool PlatformOpenGLAvailable() {
  void* library = dlopen("libGL.so.1", RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) return false;
  dlclose(library);
  return true;
}

namespace {

// Judges the renderer of the context that is current, once per run. Only rasterisers too slow
// for the game count as unaccelerated; Mesa's llvmpipe, a threaded JIT rasteriser, draws this
// game's frames at full speed on any current processor and is accepted like a hardware driver.
void JudgeCurrentRenderer() {
  if (gPlatform.acceleratedAnswer >= 0) return;
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  constexpr unsigned int kRenderer = 0x1F01;
  const char* renderer = getString != nullptr ? reinterpret_cast<const char*>(getString(kRenderer)) : nullptr;
  if (renderer == nullptr) return;
  static const char* const kSlow[] = {"softpipe", "Software Rasterizer", "GDI Generic", "swrast"};
  gPlatform.acceleratedAnswer = 1;
  for (const char* slow : kSlow) {
    if (std::strstr(renderer, slow) != nullptr) gPlatform.acceleratedAnswer = 0;
  }
}

}  // namespace

bool PlatformOpenGLAccelerated() {
  if (gPlatform.acceleratedAnswer >= 0) return gPlatform.acceleratedAnswer == 1;
  if (!gPlatform.started) return false;
  // No context yet: a throw-away one on a hidden window answers, and the current one comes back.
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  {
    WindowOwner window(SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS));
    ContextOwner context(window != nullptr ? SDL_GL_CreateContext(window.get()) : nullptr);
    if (context != nullptr) JudgeCurrentRenderer();
  }
  if (previousContext != nullptr) SDL_GL_MakeCurrent(previousWindow, previousContext);
  if (gPlatform.acceleratedAnswer < 0) gPlatform.acceleratedAnswer = 0;
  return gPlatform.acceleratedAnswer == 1;
}

int32_t PlatformGLContextCreate(int32_t window) {
  SDL_Window* w = WindowOf(window);
  if (w == nullptr) {
    SDL_SetError("Unknown window %d.", static_cast<int>(window));
    return 0;
  }
  ContextOwner context(SDL_GL_CreateContext(w));
  if (context == nullptr) return 0;
  JudgeCurrentRenderer();  // the new context is current: the acceleration question costs nothing later
  const int32_t id = gPlatform.nextContext++;
  gPlatform.contexts[id] = std::move(context);
  return id;
}

void PlatformGLContextDelete(int32_t context) {
  auto it = gPlatform.contexts.find(context);
  if (it == gPlatform.contexts.end()) return;
  gPlatform.contexts.erase(it);
}

bool PlatformGLMakeCurrent(int32_t window, int32_t context) {
  if (!gPlatform.started) return false;
  SDL_Window* w = WindowOf(window);
  if (context == 0) return SDL_GL_MakeCurrent(w, nullptr) == 0;
  auto it = gPlatform.contexts.find(context);
  if (w == nullptr || it == gPlatform.contexts.end()) {
    SDL_SetError("Unknown window %d or context %d.", static_cast<int>(window), static_cast<int>(context));
    return false;
  }
  return SDL_GL_MakeCurrent(w, it->second.get()) == 0;
}

bool PlatformGLSwap(int32_t window) {
  SDL_Window* w = WindowOf(window);
  if (w == nullptr) {
    SDL_SetError("Unknown window %d.", static_cast<int>(window));
    return false;
  }
  SDL_GL_SwapWindow(w);
  return true;
}

bool PlatformGLSetSwapInterval(int32_t interval) {
  return gPlatform.started && SDL_GL_SetSwapInterval(interval) == 0;
}

void* PlatformGLProcAddress(const char* name) {
  if (!gPlatform.started || name == nullptr) return nullptr;
  return SDL_GL_GetProcAddress(name);
}

// ---------------------------------------------------------------------------------------------
// Events

bool PlatformPollEvent(platformEvent& event) {
  if (!gPlatform.started) return false;
  if (TakeQuitSignal()) {
    event = platformEvent{};
    event.kind = platformEventKind::kQuit;
    return true;
  }
  SDL_Event in;
  while (SDL_PollEvent(&in)) {
    if (Translate(in, event)) return true;
  }
  return false;
}

bool PlatformWaitEvent(platformEvent& event, int32_t timeoutMs) {
  if (!gPlatform.started) {
    // Nothing can come; the caller still gets its pause.
    if (timeoutMs > 0) poll(nullptr, 0, timeoutMs);
    return false;
  }
  const Uint32 start = SDL_GetTicks();
  for (;;) {
    if (PlatformPollEvent(event)) return true;
    const int32_t elapsed = static_cast<int32_t>(SDL_GetTicks() - start);
    if (elapsed >= timeoutMs) return false;
    WaitForInput(timeoutMs - elapsed);
  }
}

// ---------------------------------------------------------------------------------------------
// Message boxes

void PlatformMessageInformation(const std::string& caption, const std::string& text) {
  if (HaveDisplayToAsk()) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), BoxText(text).c_str(), nullptr) == 0) return;
    LogWrite(caption + ": " + LogText(text) + " (the message box failed: " + PlatformErrorText() + ")");
    return;
  }
  LogWrite(caption + ": " + LogText(text));
}

bool PlatformMessageYesNo(const std::string& caption, const std::string& text) {
  if (!HaveDisplayToAsk()) {
    LogWrite(caption + ": " + LogText(text) + " (no display to ask on: Yes)");
    return true;
  }
  const std::string shown = BoxText(text);
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_INFORMATION | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.title = caption.c_str();
  box.message = shown.c_str();
  box.numbuttons = 2;
  box.buttons = buttons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) == 0) return pressed == 1;
  // Nobody could be asked: the answer is the box's default button.
  LogWrite(caption + ": " + LogText(text) + " (the message box failed: " + PlatformErrorText() + "; Yes)");
  return true;
}

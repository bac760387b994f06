// Displays (a window bound to an OpenGL rendering context), monitors and their display modes,
// full-screen switching, frame begin and end, vertical sync, culling and the 2-D projection.
// Display ids are signed 32-bit from 1, never reused until the next start, kNoId for none; a
// lookup of an unknown id finds nothing (index -1).
// Window handles are the platform's window ids.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/ids.h"

struct imageData;

// A display mode of a monitor. modeNumber is the mode's index in the monitor's own enumeration
// and selects it again when switching.
struct graphicsMode {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
  int32_t modeNumber = 0;
};

// The usable modes of one monitor: allModes sorted (width, then height, then bits), uniqueModes
// the same without repeats of width, height and bits (the first of each run is kept).
struct graphicsMonitor {
  std::vector<graphicsMode> allModes;
  std::vector<graphicsMode> uniqueModes;
};

// One display. There is no separate device context on this system: while contexts exist,
// deviceContext holds the window the rendering context was made for (0 when none).
struct graphicsDisplay {
  int32_t id = kNoId;
  int32_t window = 0;
  int32_t deviceContext = 0;
  int32_t renderContext = 0;
  int32_t monitor = 0;
  std::string name;     // used only in messages
  graphicsMode mode;    // chosen for full-screen use; zero until GraphicsDisplayResize
};

// ---------------------------------------------------------------------------------------------
// Start and end

// Version line "fwkGraphics - Version Alpha.0"; starts with no displays and every flag off;
// reads the switches "-flush", "-finish", "-nocull" and "-novsync" (later changes to the command
// line count from the next start); enumerates the monitors; creates and closes a probe display
// "application" on a hidden 1x1 OpenGL window so that a working context is known early (skipped
// when there is no video device). The first display created afterwards gets id 1. Counted: only
// the first start and the last end act.
void GraphicsStart();
// Restores the desktop modes if full screen, closes every display and forgets the monitors.
void GraphicsEnd();

// ---------------------------------------------------------------------------------------------
// Registries keyed by display id (models, fonts, the input unit's window map)

// Called with a new display's id and window, after it is appended to the list.
using graphicsDisplayNewHook = std::function<void(int32_t id, int32_t window)>;
// Called with the id of a display that is being closed, before its contexts are released.
using graphicsDisplayCloseHook = std::function<void(int32_t id)>;

enum class graphicsRegistry { kModel, kFont, kInput };

// Installs (or with empty functions removes) a registry's hooks. A new display is announced to
// the model, font and input registries in that order; a closing one to font, input and model.
void GraphicsDisplayRegistrySet(graphicsRegistry registry, graphicsDisplayNewHook onNew,
                                graphicsDisplayCloseHook onClose);

// The client size of a display as the shell knows it, used for the viewport after a context is
// re-created or a display resized. An empty function restores the default: the client size of
// the display's window (1 x 1 when unknown, never 0).
using graphicsDimensionsSource = std::function<void(int32_t id, int32_t& width, int32_t& height)>;
void GraphicsSetDimensionsSource(graphicsDimensionsSource source);
// The client size of the display by that source (1 x 1 for an unknown display, never 0).
void GraphicsDisplayGetDimensions(int32_t id, int32_t& width, int32_t& height);

// ---------------------------------------------------------------------------------------------
// Display list

// Appends a display for the window (no contexts, mode zero) and announces it to the registries.
int32_t GraphicsDisplayNew(int32_t window, const std::string& name, int32_t monitor);
// Creates the rendering context on the display's window, makes it current and sets the initial
// OpenGL state. False with a log line on failure.
bool GraphicsDisplayCreateRC(int32_t id);
// Releases the contexts of the display at that list index (not id). False with a log line when
// the index is invalid or a release failed.
bool GraphicsDisplayFreeRC(int32_t index);
// Withdraws the display from the registries, releases its contexts and removes it from the list.
void GraphicsDisplayClose(int32_t id);
// GraphicsDisplayFreeRC on every display; the displays stay in the list.
void GraphicsDisplaysFreeRC();
// GraphicsDisplayCreateRC on every display in order, each followed by a full-client viewport.
void GraphicsDisplaysRecreateRC();
bool GraphicsDisplayExists(int32_t id);
// False for an unknown id, a display without a rendering context or when the system refuses.
bool GraphicsDisplayMakeCurrent(int32_t id);
void GraphicsDisplaySetWindow(int32_t id, int32_t window);
// The display's window; kNoId for an unknown id.
int32_t GraphicsDisplayGetWindow(int32_t id);
// Index in the display list; -1 for an unknown id.
int32_t GraphicsDisplayIndex(int32_t id);
int32_t GraphicsDisplayCount();
// The display's monitor; -1 for an unknown id.
int32_t GraphicsDisplayGetMonitor(int32_t id);
// The n-th unique mode of the display's monitor; zero when n is out of range; for an unknown id
// zero sizes with modeNumber -1.
graphicsMode GraphicsDisplayGetMode(int32_t id, int32_t n);
// Index in the monitor's unique modes of the display's stored mode; -1 when none or unknown id.
int32_t GraphicsDisplayGetModeIndex(int32_t id);
// Stores the mode (ignored when its width is 0 or the id is unknown) and, if the display can be
// made current, sets the viewport to its client size.
void GraphicsDisplayResize(int32_t id, const graphicsMode& mode);

// ---------------------------------------------------------------------------------------------
// Rendering

// Makes the display current and clears colour, depth and stencil.
void GraphicsRenderBegin(int32_t id);
// Optional glFlush/glFinish, then swaps the display's buffers.
void GraphicsRenderEnd(int32_t id);
// Pixel projection: x right, y down, (0,0) top left of a width x height box, depth -500..500;
// identity model-view; depth test off, 2-D texturing and blending on.
void GraphicsSetOrtho(int32_t width, int32_t height);
// The projection alone: x right, y down, (left, top) at the top left of a width x height box,
// depth -500..500; identity model-view. Other state is left as it is.
void GraphicsSetOrthoRegion(int32_t left, int32_t top, int32_t width, int32_t height);
// The label names the caller's purpose; it is kept as the current viewport label for diagnostics.
void GraphicsSetViewport(int32_t x, int32_t y, int32_t width, int32_t height, const std::string& label = {});
// The current context's viewport as OpenGL holds it (origin bottom left).
void GraphicsGetViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height);
// The label of the last GraphicsSetViewport (empty when it gave none).
const std::string& GraphicsViewportLabel();
// Saves and restores the projection and model-view matrices (one level each; a pop follows every push).
void GraphicsPushMatrices();
void GraphicsPopMatrices();
// The display's back buffer at its client size into the picture (0xFFRRGGBB, row 0 at the top).
// False with a log line when the display cannot be made current.
bool GraphicsReadPixels(int32_t id, imageData& image);

// Face culling modes; "-nocull" (given at start) forces kGraphicsCullOff whatever is asked.
constexpr int32_t kGraphicsCullBackCounterClockwise = 1;
constexpr int32_t kGraphicsCullBackClockwise = 2;
constexpr int32_t kGraphicsCullFrontCounterClockwise = 3;
constexpr int32_t kGraphicsCullFrontClockwise = 4;
constexpr int32_t kGraphicsCullOff = 5;  // and any other value
void GraphicsSetCulling(int32_t mode);

// Swap interval 1 when on and "-novsync" was absent at start, else 0. When the system refuses the swap
// interval the vsync flag keeps its previous value. Needs a current context.
void GraphicsSetVSync(bool on);
bool GraphicsGetVSync();
// flush := on or "-flush" (given at start).
void GraphicsSetFlush(bool on);

// Text for an OpenGL error code, for other units' messages.
std::string GraphicsErrorText(uint32_t code);
// Whether OpenGL is hardware accelerated (or drawn by a rasteriser we accept); false when the
// window does not exist.
bool GraphicsAccelerationAvailable(int32_t window);
// Whether the vertex-array entry points were found at start (models use them only then).
bool GraphicsVertexArraysAvailable();

// ---------------------------------------------------------------------------------------------
// Monitors and modes (monitor = the platform's monitor index)

int32_t GraphicsMonitorCount();
// First unique mode with that width, height and bits; zero when none.
graphicsMode GraphicsMonitorFindMode(int32_t monitor, uint32_t width, uint32_t height, uint32_t bits);
// The n-th unique mode; zero when monitor or n is out of range.
graphicsMode GraphicsMonitorGetMode(int32_t monitor, int32_t n);
// Index among the unique modes; -1 when none.
int32_t GraphicsMonitorFindModeIndex(int32_t monitor, uint32_t width, uint32_t height, uint32_t bits);
// "<width>x<height> <bits>-bit color" for the n-th unique mode, e.g. "800x600 32-bit color";
// empty when there is no such mode.
std::string GraphicsMonitorModeText(int32_t monitor, int32_t n);
// Chooses the monitor's full-screen mode by its modeNumber. False with a log line on failure.
bool GraphicsMonitorSetResolution(int32_t monitor, int32_t modeNumber);
// Returns every monitor to its desktop mode. False with a log line on failure.
bool GraphicsMonitorsRestoreDesktop();
// On: each display's monitor is set to the display's mode. Off: the desktop is restored if full
// screen was on. Then the full-screen flag is set.
void GraphicsFullscreenSet(bool on);
bool GraphicsFullscreenGet();

// Display-change notices: the shell reports every change; those that arrive while suppressed
// (while this program changes modes itself) are dropped. Take returns and clears the pending flag.
void GraphicsModeChangeSuppress(bool suppress);
void GraphicsModeChangeNotice();
bool GraphicsModeChangeTake();

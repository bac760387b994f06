#include "graphics/graphics.h"

#include <GL/gl.h>

#include <string>
#include <utility>
#include <vector>

#include "core/ids.h"
#include "core/log.h"
#include "core/util.h"
#include "graphics/display_modes.h"
#include "image/image.h"
#include "platform/platform.h"

namespace {

struct RegistryHooks {
  graphicsDisplayNewHook onNew;
  graphicsDisplayCloseHook onClose;
};

// Everything the unit holds in a run; GraphicsStart starts it afresh.
struct graphicsState {
  // The displays in creation (id) order; a display's index is its place in that order.
  IdRegistry<graphicsDisplay> displays;
  std::vector<graphicsMonitor> monitors;
  bool fullscreen = false;
  bool flush = false;
  bool finish = false;
  bool vsync = false;
  bool modeChangeSuppressed = false;
  bool modeChangePending = false;
  bool vertexArrays = false;
  // The command line's switches, read at start.
  bool flushSwitch = false;
  bool noCull = false;
  bool noVSync = false;
};

graphicsState gState;
// Counts starts: only the first start and the last end act.
int gUseCount = 0;
// Installed by other units and kept across start and end: the model and font registries start
// before this unit, and the shell installs the dimensions source around its own run. Hooks are
// indexed by graphicsRegistry.
RegistryHooks gRegistries[3];
graphicsDimensionsSource gDimensions;
// Kept for diagnostics: what the current viewport was set for.
std::string gViewportLabel;

RegistryHooks& Hooks(graphicsRegistry registry) { return gRegistries[static_cast<int>(registry)]; }

int32_t IndexOf(int32_t id) {
  int32_t index = 0;
  for (const auto& entry : gState.displays) {
    if (entry.first == id) return index;
    ++index;
  }
  return -1;
}

graphicsDisplay* Find(int32_t id) { return gState.displays.Find(id); }

graphicsDisplay* AtIndex(int32_t index) {
  if (index < 0) return nullptr;
  for (auto& [id, display] : gState.displays) {
    if (index-- == 0) return &display;
  }
  return nullptr;
}

const graphicsMonitor* Monitor(int32_t monitor) {
  if (monitor < 0 || static_cast<size_t>(monitor) >= gState.monitors.size()) return nullptr;
  return &gState.monitors[static_cast<size_t>(monitor)];
}

void ClearGLErrors() {
  // Bounded: without a usable context some drivers keep reporting an error.
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

void DisplayDimensions(const graphicsDisplay& display, int32_t& width, int32_t& height) {
  width = 1;
  height = 1;
  if (gDimensions) {
    gDimensions(display.id, width, height);
  } else {
    platformRect rect;
    if (PlatformWindowGetRect(display.window, rect)) {
      width = rect.width;
      height = rect.height;
    }
  }
  if (width <= 0) width = 1;
  if (height <= 0) height = 1;
}

void EnumerateMonitors() {
  gState.monitors.clear();
  const int32_t count = PlatformMonitorCount();
  for (int32_t m = 0; m < count; ++m) {
    graphicsMonitor monitor;
    std::vector<platformMode> modes;
    if (PlatformMonitorModes(m, modes)) GraphicsMonitorModesBuild(modes, monitor.allModes, monitor.uniqueModes);
    gState.monitors.push_back(std::move(monitor));
  }
}

// The model renderer draws with vertex arrays only when all of these are there.
bool FetchVertexArrayEntryPoints() {
  static const char* const kNames[] = {"glDisableClientState", "glDrawArrays",    "glDrawElements",
                                       "glEnableClientState",  "glIndexPointer",  "glTexCoordPointer",
                                       "glVertexPointer"};
  for (const char* name : kNames) {
    if (PlatformGLProcAddress(name) == nullptr) return false;
  }
  return true;
}

// A display on a hidden 1x1 OpenGL window whose context is created and released again, so that
// the initial state and the swap interval are settled before the shell makes its windows.
void Probe() {
  if (PlatformMonitorCount() <= 0) return;  // no video device
  platformWindowSetup setup;
  setup.title = "application";
  setup.width = 1;
  setup.height = 1;
  setup.bordered = false;
  setup.opengl = true;
  setup.visible = false;
  const int32_t window = PlatformWindowCreate(setup);
  if (window == 0) return;
  const int32_t id = GraphicsDisplayNew(window, "application", 0);
  // The entry points are looked up while a context lives, since the OpenGL library may be
  // unloaded with the last OpenGL window.
  if (GraphicsDisplayCreateRC(id)) gState.vertexArrays = FetchVertexArrayEntryPoints();
  GraphicsDisplayClose(id);
  PlatformWindowDestroy(window);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start and end

void GraphicsStart() {
  if (gUseCount++ > 0) return;
  LogVersion("fwkGraphics - Version Alpha.0");
  // Fresh state: no displays, ids from 1, every flag off.
  gState = graphicsState{};
  gState.flushSwitch = UtilSwitchPresent("-flush");
  gState.flush = gState.flushSwitch;
  gState.finish = UtilSwitchPresent("-finish");
  gState.noCull = UtilSwitchPresent("-nocull");
  gState.noVSync = UtilSwitchPresent("-novsync");
  ClearGLErrors();
  EnumerateMonitors();
  Probe();
  // The probe's display is gone; the first display the shell makes gets id 1.
  gState.displays.Reset();
}

void GraphicsEnd() {
  if (gUseCount == 0 || --gUseCount > 0) return;
  if (gState.fullscreen) GraphicsMonitorsRestoreDesktop();
  gState.fullscreen = false;
  while (!gState.displays.Empty()) GraphicsDisplayClose(gState.displays.begin()->first);
  gState.monitors.clear();
}

void GraphicsDisplayRegistrySet(graphicsRegistry registry, graphicsDisplayNewHook onNew,
                                graphicsDisplayCloseHook onClose) {
  Hooks(registry) = RegistryHooks{std::move(onNew), std::move(onClose)};
}

void GraphicsSetDimensionsSource(graphicsDimensionsSource source) { gDimensions = std::move(source); }

// ---------------------------------------------------------------------------------------------
// Display list

int32_t GraphicsDisplayNew(int32_t window, const std::string& name, int32_t monitor) {
  graphicsDisplay display;
  display.id = gState.displays.NextId();
  display.window = window;
  display.monitor = monitor;
  display.name = name;
  const int32_t id = gState.displays.Add(std::move(display));
  for (graphicsRegistry registry : {graphicsRegistry::kModel, graphicsRegistry::kFont, graphicsRegistry::kInput}) {
    if (Hooks(registry).onNew) Hooks(registry).onNew(id, window);
  }
  return id;
}

bool GraphicsDisplayCreateRC(int32_t id) {
  const int32_t index = IndexOf(id);
  if (index < 0) {
    LogError("GraphicsDisplayCreateRC - Can't get display " + std::to_string(id) + ".");
    return false;
  }
  graphicsDisplay& display = *Find(id);
  // A second creation without a release would strand the first context; release it first.
  if (display.renderContext != 0) GraphicsDisplayFreeRC(index);

  // The window stands in for the device context; the OpenGL attributes (RGBA 8888, depth 16,
  // stencil 1, double buffer) were set for every render window by the platform.
  if (!PlatformWindowExists(display.window)) {
    LogError("GraphicsDisplayCreateRC - Can't create a GL device context for display \"" + display.name +
             "\": " + PlatformErrorText());
    return false;
  }
  display.deviceContext = display.window;
  display.renderContext = 0;

  const int32_t context = PlatformGLContextCreate(display.deviceContext);
  if (context == 0) {
    LogError("GraphicsDisplayCreateRC - Cant't create a GL rendering context for display \"" + display.name +
             "\": " + PlatformErrorText());
    return false;
  }
  display.renderContext = context;

  if (!GraphicsDisplayMakeCurrent(id)) {
    LogError("GraphicsDisplayCreateRC - Cant't activate the GL rendering context for display \"" + display.name +
             "\": " + PlatformErrorText());
    return false;
  }

  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  GraphicsSetCulling(kGraphicsCullOff);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  GraphicsSetVSync(gState.vsync);
  return true;
}

bool GraphicsDisplayFreeRC(int32_t index) {
  graphicsDisplay* entry = AtIndex(index);
  if (entry == nullptr) {
    LogError("GraphicsDisplayFreeRC - Invalid display Index \"" + std::to_string(index) + "\".");
    return false;
  }
  graphicsDisplay& display = *entry;
  bool ok = true;
  if (display.renderContext != 0) {
    if (!PlatformGLMakeCurrent(display.deviceContext, 0)) {
      LogError("GraphicsDisplayFreeRC - Release of display \"" + display.name + "\" DC and RC failed: " +
               PlatformErrorText());
      ok = false;
    }
    PlatformGLContextDelete(display.renderContext);
    display.renderContext = 0;
  }
  // Nothing is held for the device context: the window keeps its own.
  display.deviceContext = 0;
  return ok;
}

void GraphicsDisplayClose(int32_t id) {
  if (IndexOf(id) < 0) return;
  for (graphicsRegistry registry : {graphicsRegistry::kFont, graphicsRegistry::kInput, graphicsRegistry::kModel}) {
    if (Hooks(registry).onClose) Hooks(registry).onClose(id);
  }
  // The hooks may have touched the list; look the index up again.
  const int32_t index = IndexOf(id);
  if (index < 0) return;
  if (!GraphicsDisplayFreeRC(index)) {
    LogError("GraphicsDisplayClose - Rendering context release failed on display index \"" + std::to_string(index) +
             "\".");
  }
  gState.displays.Remove(id);
}

void GraphicsDisplaysFreeRC() {
  for (size_t i = 0; i < gState.displays.Size(); ++i) {
    if (!GraphicsDisplayFreeRC(static_cast<int32_t>(i))) {
      LogError("GraphicsDisplaysFreeRC - Rendering context release failed on display index \"" + std::to_string(i) +
               "\".");
    }
  }
}

void GraphicsDisplaysRecreateRC() {
  for (int32_t id : gState.displays.Ids()) {
    if (!GraphicsDisplayCreateRC(id)) continue;
    int32_t width = 1;
    int32_t height = 1;
    DisplayDimensions(*Find(id), width, height);
    GraphicsSetViewport(0, 0, width, height);
  }
}

bool GraphicsDisplayExists(int32_t id) { return gState.displays.Contains(id); }

bool GraphicsDisplayMakeCurrent(int32_t id) {
  const graphicsDisplay* display = Find(id);
  // Context 0 would make no context current and still report success.
  if (display == nullptr || display->renderContext == 0) return false;
  return PlatformGLMakeCurrent(display->deviceContext, display->renderContext);
}

void GraphicsDisplaySetWindow(int32_t id, int32_t window) {
  if (graphicsDisplay* display = Find(id)) display->window = window;
}

int32_t GraphicsDisplayGetWindow(int32_t id) {
  const graphicsDisplay* display = Find(id);
  return display == nullptr ? kNoId : display->window;
}

void GraphicsDisplayGetDimensions(int32_t id, int32_t& width, int32_t& height) {
  width = 1;
  height = 1;
  if (const graphicsDisplay* display = Find(id)) DisplayDimensions(*display, width, height);
}

int32_t GraphicsDisplayIndex(int32_t id) { return IndexOf(id); }

int32_t GraphicsDisplayCount() { return static_cast<int32_t>(gState.displays.Size()); }

int32_t GraphicsDisplayGetMonitor(int32_t id) {
  const graphicsDisplay* display = Find(id);
  return display == nullptr ? -1 : display->monitor;
}

graphicsMode GraphicsDisplayGetMode(int32_t id, int32_t n) {
  const graphicsDisplay* display = Find(id);
  if (display == nullptr) return graphicsMode{0, 0, 0, -1};
  return GraphicsMonitorGetMode(display->monitor, n);
}

int32_t GraphicsDisplayGetModeIndex(int32_t id) {
  const graphicsDisplay* display = Find(id);
  if (display == nullptr) return -1;
  return GraphicsMonitorFindModeIndex(display->monitor, display->mode.width, display->mode.height,
                                      display->mode.bitsPerPixel);
}

void GraphicsDisplayResize(int32_t id, const graphicsMode& mode) {
  graphicsDisplay* display = Find(id);
  if (mode.width == 0 || display == nullptr) return;
  display->mode = mode;
  if (!GraphicsDisplayMakeCurrent(id)) return;
  int32_t width = 1;
  int32_t height = 1;
  DisplayDimensions(*display, width, height);
  GraphicsSetViewport(0, 0, width, height);
}

// ---------------------------------------------------------------------------------------------
// Rendering

void GraphicsRenderBegin(int32_t id) {
  const graphicsDisplay* display = Find(id);
  if (display == nullptr) return;
  if (!GraphicsDisplayMakeCurrent(id)) {
    LogError("GraphicsRenderBegin - Unable to make RC current on display \"" + display->name +
             "\": " + PlatformErrorText());
    LogWrite("  Handle = " + std::to_string(display->window));
    LogWrite("  DC = " + std::to_string(display->deviceContext));
    LogWrite("  RC = " + std::to_string(display->renderContext));
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GraphicsRenderEnd(int32_t id) {
  const graphicsDisplay* display = Find(id);
  if (display == nullptr) return;
  if (gState.flush) glFlush();
  if (gState.finish) glFinish();
  if (!PlatformGLSwap(display->deviceContext)) {
    LogError("GraphicsRenderEnd - Unable to SwapBuffers on display \"" + display->name + "\": " + PlatformErrorText());
  }
}

void GraphicsSetOrtho(int32_t width, int32_t height) {
  GraphicsSetOrthoRegion(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
}

void GraphicsSetOrthoRegion(int32_t left, int32_t top, int32_t width, int32_t height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double x = left, y = top;
  glOrtho(x, x + width, y + height, y, -500.0, 500.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void GraphicsSetViewport(int32_t x, int32_t y, int32_t width, int32_t height, const std::string& label) {
  glViewport(x, y, width, height);
  gViewportLabel = label;
}

void GraphicsGetViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  GLint box[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, box);
  x = box[0], y = box[1], width = box[2], height = box[3];
}

const std::string& GraphicsViewportLabel() { return gViewportLabel; }

void GraphicsPushMatrices() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
}

void GraphicsPopMatrices() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

bool GraphicsReadPixels(int32_t id, imageData& image) {
  const graphicsDisplay* display = Find(id);
  if (display == nullptr || !GraphicsDisplayMakeCurrent(id)) {
    LogError("GraphicsReadPixels - Unable to make RC current on display " + std::to_string(id) + ".");
    return false;
  }
  int32_t width = 1, height = 1;
  DisplayDimensions(*display, width, height);
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 32;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  // OpenGL's rows run bottom up; the framebuffer's alpha is no part of the picture.
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* p = &rgba[static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) * 4];
    uint32_t* out = &image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width)];
    for (int32_t x = 0; x < width; ++x, p += 4) {
      out[x] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
  }
  return true;
}

void GraphicsSetCulling(int32_t mode) {
  if (gState.noCull) mode = kGraphicsCullOff;
  GLenum front = GL_CCW;
  GLenum culled = GL_BACK;
  switch (mode) {
    case kGraphicsCullBackCounterClockwise: break;
    case kGraphicsCullBackClockwise: front = GL_CW; break;
    case kGraphicsCullFrontCounterClockwise: culled = GL_FRONT; break;
    case kGraphicsCullFrontClockwise: front = GL_CW; culled = GL_FRONT; break;
    default: glDisable(GL_CULL_FACE); return;
  }
  glEnable(GL_CULL_FACE);
  glFrontFace(front);
  glCullFace(culled);
}

void GraphicsSetVSync(bool on) {
  const bool effective = on && !gState.noVSync;
  // A refusal means the system has no swap control: the flag stays as it was, and the next call
  // asks again.
  if (PlatformGLSetSwapInterval(effective ? 1 : 0)) gState.vsync = effective;
}

bool GraphicsGetVSync() { return gState.vsync; }

void GraphicsSetFlush(bool on) { gState.flush = on || gState.flushSwitch; }

std::string GraphicsErrorText(uint32_t code) {
  switch (code) {
    case GL_INVALID_ENUM: return "Invalid enumerated value passed to OpenGL function.  Error = 1280";
    case GL_INVALID_VALUE: return "Invalid value passed to OpenGL function.  Error = 1281";
    case GL_INVALID_OPERATION: return "Invalid operation for current OpenGL state.  Error = 1282";
    case GL_OUT_OF_MEMORY: return "Insufficient memory for OpenGL operation.  Error = 1285";
    default: return "Unrecgoznied OpenGL error " + std::to_string(code) + ".";
  }
}

bool GraphicsAccelerationAvailable(int32_t window) {
  ClearGLErrors();
  if (!PlatformWindowExists(window)) return false;
  return PlatformOpenGLAccelerated();
}

bool GraphicsVertexArraysAvailable() { return gState.vertexArrays; }

// ---------------------------------------------------------------------------------------------
// Monitors and modes

void GraphicsMonitorsInstall(std::vector<graphicsMonitor> monitors) { gState.monitors = std::move(monitors); }

int32_t GraphicsMonitorCount() { return static_cast<int32_t>(gState.monitors.size()); }

graphicsMode GraphicsMonitorFindMode(int32_t monitor, uint32_t width, uint32_t height, uint32_t bits) {
  return GraphicsMonitorGetMode(monitor, GraphicsMonitorFindModeIndex(monitor, width, height, bits));
}

graphicsMode GraphicsMonitorGetMode(int32_t monitor, int32_t n) {
  const graphicsMonitor* m = Monitor(monitor);
  if (m == nullptr || n < 0 || static_cast<size_t>(n) >= m->uniqueModes.size()) return graphicsMode{};
  return m->uniqueModes[static_cast<size_t>(n)];
}

int32_t GraphicsMonitorFindModeIndex(int32_t monitor, uint32_t width, uint32_t height, uint32_t bits) {
  const graphicsMonitor* m = Monitor(monitor);
  return m == nullptr ? -1 : GraphicsModeListFind(m->uniqueModes, width, height, bits);
}

std::string GraphicsMonitorModeText(int32_t monitor, int32_t n) {
  return GraphicsModeText(GraphicsMonitorGetMode(monitor, n));
}

bool GraphicsMonitorSetResolution(int32_t monitor, int32_t modeNumber) {
  const std::string which = std::to_string(monitor);
  std::vector<platformMode> modes;
  if (monitor < 0 || monitor >= PlatformMonitorCount() || !PlatformMonitorModes(monitor, modes)) {
    LogError("GraphicsMonitorSetResolution - Unable to enumerate device name for monitor " + which + ".");
    return false;
  }
  bool known = false;
  for (const platformMode& mode : modes) known = known || mode.modeNumber == modeNumber;
  if (!known) {
    LogError("GraphicsMonitorSetResolution - Unable to enumerate display settings for monitor " + which + ".");
    return false;
  }
  if (!PlatformMonitorSetMode(monitor, modeNumber)) {
    LogError("GraphicsMonitorSetResolution - Resolution change failed on monitor " + which + ".");
    return false;
  }
  return true;
}

bool GraphicsMonitorsRestoreDesktop() {
  if (!PlatformMonitorsRestoreDesktop()) {
    LogError("GraphicsMonitorsRestoreDesktop - Resolution change failed.");
    return false;
  }
  return true;
}

void GraphicsFullscreenSet(bool on) {
  if (on) {
    for (const auto& [id, display] : gState.displays) {
      // A display that was never given a mode keeps the monitor as it is; modeNumber 0 there would
      // pick whatever mode the monitor happens to list first.
      if (display.mode.width == 0) continue;
      GraphicsMonitorSetResolution(display.monitor, display.mode.modeNumber);
    }
  } else if (gState.fullscreen) {
    GraphicsMonitorsRestoreDesktop();
  }
  gState.fullscreen = on;
}

bool GraphicsFullscreenGet() { return gState.fullscreen; }

void GraphicsModeChangeSuppress(bool suppress) { gState.modeChangeSuppressed = suppress; }

void GraphicsModeChangeNotice() {
  if (!gState.modeChangeSuppressed) gState.modeChangePending = true;
}

bool GraphicsModeChangeTake() {
  const bool pending = gState.modeChangePending;
  gState.modeChangePending = false;
  return pending;
}

// A render window: one platform window that carries one graphics display. Internal to the shell;
// the game reaches render windows through the display list in shell.h.
#pragma once

#include <cstdint>
#include <string>

struct renderForm {
  int32_t window = 0;      // platform window id
  bool activated = false;  // shown or focused at least once (start-up waits for it)
  bool minimized = false;
  int32_t monitor = 0;
  int32_t displayId = -1;  // set once, then never changed
  int32_t windowedWidth = 0;
  int32_t windowedHeight = 0;
};

// Creation size of a render window's client area.
constexpr int32_t kRenderFormWidth = 512;
constexpr int32_t kRenderFormHeight = 408;

// Creates the window (bordered, 512 x 408, OpenGL, shown), centred on the owner window or, with
// none, on the primary monitor; the cursor is hidden over it unless `windowsMouse`. False with
// the platform's error text set when the window cannot be made.
bool RenderFormCreate(renderForm& form, const std::string& caption, int32_t ownerWindow, bool windowsMouse);
void RenderFormDestroy(renderForm& form);
// Sets the display id only while it is still -1.
void RenderFormSetDisplayId(renderForm& form, int32_t id);
// Moves the window onto monitor m (same offset from its corner as from monitor 0's); an invalid
// index is logged and the primary monitor used.
void RenderFormSetMonitor(renderForm& form, int32_t m);
// Fullscreen on its monitor, or a bordered client area of w x h centred on it (halves truncated
// toward zero). Either way w x h becomes the windowed size.
void RenderFormSetResolution(renderForm& form, bool fullscreen, int32_t width, int32_t height);
void RenderFormSetFullscreen(renderForm& form);
void RenderFormSetWindowed(renderForm& form);
// Centred position of a span inside a monitor span: origin + (monitor - span) / 2, truncating
// toward zero even when the span is larger than the monitor.
int32_t RenderFormCentre(int32_t monitorOrigin, int32_t monitorSpan, int32_t span);

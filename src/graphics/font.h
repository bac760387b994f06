// Bitmap fonts on a display: each character of a ".fot" file becomes a small textured model;
// text is measured, broken into lines and drawn as single lines or aligned blocks. Font ids are
// signed 32-bit from 1 and never reused in a run; kNoId means none. Failures write one log line
// and return kNoId (or draw nothing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"

// Version line "fwkFont - Version 1.0"; empties the registry (ids count from 1 again), hooks it
// to display creation and closing and hands the model unit the font texture rebuild.
void FontStart();
// Unhooks the registry and frees the fonts of every display.
void FontEnd();

// Loads a font onto the display. A file already open there (any letter case) gives its existing
// id. kNoId for an unknown display or a file that cannot be read.
int32_t FontOpen(int32_t display, const std::string& file);
// Frees the font's glyph models (and with them its texture). Unknown id: nothing.
void FontDelete(int32_t font);
// Display index and font index of the id in the registry; both -1 when not found.
void FontFind(int32_t font, int32_t& displayIndex, int32_t& fontIndex);
// Case-insensitive searches on one display; kNoId when none.
int32_t FontFindByFile(int32_t display, const std::string& file);
int32_t FontFindByName(int32_t display, const std::string& name);

// Line height; 0 for an unknown id.
int32_t FontGetHeight(int32_t font);
// Sum of (width - 1) over the characters the font has; others add nothing. 0 for an unknown id.
int32_t FontTextWidth(int32_t font, const std::string& text);
// Colour as 0xAARRGGBB; a new font draws opaque black.
void FontSetColor(int32_t font, uint32_t colour);
uint32_t FontGetColor(int32_t font);

// One line with its top-left corner at (x, y); stops before the first character that would end
// beyond maxWidth (0: no limit).
void FontDrawText(int32_t font, int32_t x, int32_t y, int32_t maxWidth, const std::string& text);
// Breaks text at CR, LF or CR LF and between words so that each line stays narrower than width
// (a single wider word gets a line of its own). Blanks at the start of a line are kept.
std::vector<std::string> FontWrapText(int32_t font, int32_t width, const std::string& text);

constexpr int32_t kFontAlignLeft = 0;
constexpr int32_t kFontAlignCentre = 1;
constexpr int32_t kFontAlignRight = 2;
// Draws lines[first - 1 ..] one line height apart, aligned within width; stops once the height
// used would pass maxHeight (0: no limit). The first line drawn is always drawn.
void FontDrawLines(int32_t font, int32_t x, int32_t y, int32_t alignment, int32_t maxHeight, int32_t width,
                   int32_t first, const std::vector<std::string>& lines);
// FontWrapText, then FontDrawLines from the first line, left-aligned, no height limit.
void FontDrawWrapped(int32_t font, int32_t x, int32_t y, int32_t width, const std::string& text);

// Texture rebuild after the rendering contexts were re-created (called by the model unit for
// font textures). Start reads the file and its header, returning a rebuild handle positioned at
// the first picture chunk (kNoId on failure) and the font of that file on the display. Texel
// reads the next picture chunk into the tile; on failure it ends the rebuild, logs, and the font
// is deleted (at the next font call, as the model unit is still walking its textures). Close
// ends the rebuild.
int32_t FontRebuildStart(int32_t display, const std::string& file, int32_t& font);
void FontRebuildTexel(int32_t font, int32_t file, int32_t texture, int32_t tile);
void FontRebuildClose(int32_t file);

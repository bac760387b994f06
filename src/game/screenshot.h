// Screenshots saved as numbered bitmaps, and the darkened copy of the screen that stays on the
// display as the "backgroundFrames" picture.
#pragma once

#include <cstdint>
#include <string>

struct imageData;

// The folder screenshots go to: the pictures folder + the product name, else the game folder +
// "Screenshots/", else the game folder (each created when missing). Empty after the log line
// when none can be had.
std::string ScreenshotFolder();
// folder + "screenshot" + n + ".bmp" for the smallest n >= 1 whose file does not exist.
std::string ScreenshotFileName(const std::string& folder);
// Saves a captured frame (as GraphicsReadPixels gives it: rows from the top) as the next
// numbered bitmap; the file's path, or empty when no folder could be had.
std::string ScreenshotSave(const imageData& captured);
// Turns a captured frame into the background picture: every pixel s = (red + green + blue) / 9
// becomes (s, 0, s). The image keeps its size.
void ScreenshotBackgroundTint(imageData& captured);

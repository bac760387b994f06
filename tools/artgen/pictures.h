// The groups of pictures artgen draws; each writes its Targa files into the folder it is given
// (a path ending in "/") and returns false when one of them could not be made.
#pragma once

#include <string>

#include "draw.h"

namespace art {

// Storeys, weeds, drops and splashes of the arcade layer.
bool DrawArcade(const std::string& images);
// The game screen's sky, pipe, nozzle and HUD plate (into images) and the menu's sky, clouds
// and firefly (into interface).
bool DrawScene(const std::string& images, const std::string& interface);
// The title (lettered with the font file), buttons, panel, slider, check box, list cells,
// pointer and icon.
bool DrawInterface(const std::string& interface, const std::string& titleFont);
// The speech bubble set (into interface/Bubbles), the guide's speech plate and the save list's
// panel and slot frames (into interface), and the guide's frames with their exposure sheet
// (into images/Guide).
bool DrawAdventure(const std::string& images, const std::string& interface);

}  // namespace art

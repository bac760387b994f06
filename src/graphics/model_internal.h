// Internal switches of the model unit, for its tests.
#pragma once

#include <cstdint>

// With false, geometry is drawn in immediate mode even where vertex arrays are available
// (the path taken on implementations without them). Default true.
void ModelAllowVertexArrays(bool allow);

// Whether the display has a registry entry (ModelDisplayAdd was called for it).
bool ModelDisplayKnown(int32_t display);

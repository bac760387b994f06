// Internal switches of the model unit, for its tests.
#pragma once

// With false, geometry is drawn in immediate mode even where vertex arrays are available
// (the path taken on implementations without them). Default true.
void ModelAllowVertexArrays(bool allow);

// Internal hooks of the state store, for tests.
#pragma once

#include <cstdint>

// Replaces the millisecond tick the state clocks read; nullptr restores the system tick.
void StateSetTickSource(uint32_t (*source)());

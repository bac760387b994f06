// The game's music: pieces that play and fade in and out on the current state's clock, with
// fades that carry on across state changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Fades every other piece out and this one in over fadeMs (a piece already playing fades back
// up from its volume in the remaining share of the time); a new piece is opened as looping music.
void MusicPlay(const std::string& fileName, int32_t fadeMs);
// Fades every piece out over fadeMs.
void MusicStop(int32_t fadeMs);
// Once a frame: the volumes by the fades; pieces faded out are closed; unless the state store is
// paused, a piece that stopped playing is played again.
void MusicUpdate();
// The state change handler: re-bases the fades from the old state's clock onto the new one's.
// Always allows the change.
bool MusicStateChange(int32_t oldState, int32_t newState);
// Closes every piece.
void MusicFreeAll();
// The clock of a state in ms (default: the state store's); tests set their own.
void MusicSetClock(std::function<int64_t(int32_t state)> clock);
// The number of pieces playing or fading, and a piece's volume 0..100 (-1 when it has none).
int32_t MusicCount();
int32_t MusicVolume(const std::string& fileName);

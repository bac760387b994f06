// The game's sound list: sounds the game and its scripts started, closed together at shutdown.
#pragma once

#include <cstdint>
#include <string>

// Opens the file as a sound effect (category sound) with the loop flag and priority rating,
// plays it and keeps it in the list. -1 (nothing kept) when it cannot be opened.
int32_t GameSoundPlay(const std::string& fileName, bool loop, int32_t rating);
// Whether the sound plays now.
bool GameSoundPlaying(int32_t soundId);
// Stops and closes a sound of the list; an id not in it is ignored.
void GameSoundClose(int32_t soundId);
// Whether the id is a sound of the list.
bool GameSoundKept(int32_t soundId);
// Closes every sound of the list.
void GameSoundsClear();

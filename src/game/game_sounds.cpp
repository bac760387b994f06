#include "game/game_sounds.h"

#include <algorithm>
#include <vector>

#include "audio/audio.h"

namespace {
std::vector<int32_t> gSounds;
}  // namespace

int32_t GameSoundPlay(const std::string& fileName, bool loop, int32_t rating) {
  // Sounds that have played out leave the list first: every hit of the arcade plays a sound, and
  // a list that only grew would hold every one of them (and their sources) until shutdown.
  // Sound ids are never reused, so an id a script kept answers "stopped" from then on.
  std::erase_if(gSounds, [](int32_t& sound) {
    if (AudioGetStatus(sound) != kAudioStatusStopped) return false;
    AudioClose(sound);
    return true;
  });
  const int32_t sound = AudioOpen(fileName, kAudioCategorySound, loop, rating);
  if (sound < 0) return -1;
  AudioPlay(sound);
  gSounds.push_back(sound);
  return sound;
}

bool GameSoundPlaying(int32_t soundId) { return soundId >= 0 && AudioGetStatus(soundId) == kAudioStatusPlaying; }

void GameSoundClose(int32_t soundId) {
  const auto found = std::find(gSounds.begin(), gSounds.end(), soundId);
  if (found == gSounds.end()) return;
  gSounds.erase(found);
  AudioClose(soundId);  // takes the caller's copy of the id
}

bool GameSoundKept(int32_t soundId) { return std::find(gSounds.begin(), gSounds.end(), soundId) != gSounds.end(); }

void GameSoundsClear() {
  for (int32_t& sound : gSounds) AudioClose(sound);
  gSounds.clear();
}

#include "game/music.h"

#include <cmath>
#include <vector>

#include "audio/audio.h"
#include "state/state.h"

namespace {

constexpr uint8_t kFadingOut = 1;
constexpr uint8_t kFadingIn = 2;
constexpr int32_t kMusicRating = 2;

struct musicData {
  int32_t sound = -1;
  std::string name;
  int64_t fadeStart = 0;  // in the current state's clock, ms
  int64_t fadeEnd = 0;
  uint8_t direction = kFadingIn;
  int32_t startVolume = 0;  // 0..100
};

std::vector<musicData> gMusic;
std::function<int64_t(int32_t)> gClock;

int64_t Clock(int32_t state) { return gClock ? gClock(state) : StateGetTime(state); }
int64_t Now() { return Clock(StateGetCurrent()); }

int32_t CurrentVolume(const musicData& m) {
  return static_cast<int32_t>(std::lround(AudioVolumeGet(m.sound) * 100.0));
}

// The volume of the entry at `now` by its fade.
int32_t FadeVolume(const musicData& m, int64_t now) {
  const int64_t span = m.fadeEnd - m.fadeStart;
  if (m.direction == kFadingIn) {
    if (now < m.fadeStart) return 0;
    if (now >= m.fadeEnd) return 100;
    return static_cast<int32_t>(m.startVolume + (100 - m.startVolume) * (now - m.fadeStart) / span);
  }
  if (now < m.fadeStart) return m.startVolume;
  if (now >= m.fadeEnd) return 0;
  return static_cast<int32_t>(m.startVolume - m.startVolume * (now - m.fadeStart) / span);
}

void FadeOut(musicData& m, int64_t now, int32_t fadeMs) {
  m.direction = kFadingOut;
  m.startVolume = CurrentVolume(m);
  m.fadeStart = now;
  m.fadeEnd = now + int64_t{m.startVolume} * fadeMs / 100;
}

}  // namespace

void MusicPlay(const std::string& fileName, int32_t fadeMs) {
  const int64_t now = Now();
  bool found = false;
  for (musicData& m : gMusic) {
    if (m.name != fileName) {
      FadeOut(m, now, fadeMs);
      continue;
    }
    found = true;
    m.direction = kFadingIn;
    m.startVolume = CurrentVolume(m);
    m.fadeStart = now;
    m.fadeEnd = now + int64_t{fadeMs} * (100 - m.startVolume) / 100;
  }
  if (found) return;
  musicData m;
  m.sound = AudioOpen(fileName, kAudioCategoryMusic, true, kMusicRating);
  if (m.sound < 0) return;
  m.name = fileName;
  AudioVolumeSet(m.sound, 0);
  AudioPlay(m.sound);
  m.fadeStart = now;
  m.fadeEnd = now + fadeMs;
  gMusic.push_back(std::move(m));
}

void MusicStop(int32_t fadeMs) {
  const int64_t now = Now();
  for (musicData& m : gMusic) FadeOut(m, now, fadeMs);
}

void MusicUpdate() {
  const int64_t now = Now();
  const bool paused = StateGetPaused();
  std::erase_if(gMusic, [now, paused](musicData& m) {
    const int32_t volume = FadeVolume(m, now);
    if (m.direction == kFadingOut && volume <= 0) {
      AudioClose(m.sound);
      return true;
    }
    AudioVolumeSet(m.sound, volume / 100.0);
    if (!paused && AudioGetStatus(m.sound) != kAudioStatusPlaying) AudioPlay(m.sound);
    return false;
  });
}

bool MusicStateChange(int32_t oldState, int32_t newState) {
  const int64_t oldClock = Clock(oldState);
  const int64_t newClock = Clock(newState);
  for (musicData& m : gMusic) {
    m.startVolume = CurrentVolume(m);
    m.fadeEnd = m.fadeEnd <= oldClock ? 0 : newClock + (m.fadeEnd - oldClock);
    m.fadeStart = newClock;
  }
  return true;
}

void MusicSetClock(std::function<int64_t(int32_t state)> clock) { gClock = std::move(clock); }

void MusicFreeAll() {
  for (musicData& m : gMusic) AudioClose(m.sound);
  gMusic.clear();
}

int32_t MusicCount() { return static_cast<int32_t>(gMusic.size()); }

int32_t MusicVolume(const std::string& fileName) {
  for (const musicData& m : gMusic) {
    if (m.name == fileName) return CurrentVolume(m);
  }
  return -1;
}

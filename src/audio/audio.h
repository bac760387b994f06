// Sound playback: Ogg Vorbis and WAV files streamed through OpenAL emitters, with the user's volumes.
#pragma once

#include <cstdint>
#include <string>

// Categories of a sound: which settings volume applies, and whether it sits in the world.
constexpr int32_t kAudioCategoryMusic = 0;
constexpr int32_t kAudioCategoryVoice = 1;
constexpr int32_t kAudioCategorySound = 2;
// A sound placed in the world (not relative to the listener); its volume is the sound volume.
constexpr int32_t kAudioCategoryWorld = 3;

// What AudioGetStatus answers.
constexpr int32_t kAudioStatusPaused = 1;
constexpr int32_t kAudioStatusPlaying = 2;
constexpr int32_t kAudioStatusStopped = 3;

// Unit start and end steps. The start opens the default output device and reads the volumes
// from the settings; without a device the unit stays silent and every operation below does
// nothing. The end closes every sound and the device and writes the volumes back.
void AudioStart();
void AudioEnd();
// Whether the start found a device to play on.
bool AudioAvailable();

// Opens an Ogg Vorbis (".ogg") or WAV (".wav") file of 16-bit mono samples through the data
// files. Returns the sound id, -1 when the file cannot be opened or decoded.
int32_t AudioOpen(const std::string& fileName, int32_t category, bool loop, int32_t priority);
// Stops and frees the sound; sets the caller's id to -1.
void AudioClose(int32_t& soundId);
void AudioCloseAll();

// Starts the sound from its beginning (nothing when it is playing). When the device has no more
// emitters, it takes the emitter of a less important sound, or does not play.
void AudioPlay(int32_t soundId);
void AudioStop(int32_t soundId);
void AudioPause(int32_t soundId);
void AudioResume(int32_t soundId);
void AudioPauseAll();
void AudioResumeAll();
// The program lost focus: pause every playing sound and remember it. Regained: resume those.
void AudioAppPause();
void AudioAppResume();
// kAudioStatusPlaying, kAudioStatusPaused, else kAudioStatusStopped.
int32_t AudioGetStatus(int32_t soundId);
// Refills the buffers that the emitters have played. Once per frame.
void AudioUpdate();

// The sound's own volume, 0 to 1 (0 for an unknown sound).
double AudioVolumeGet(int32_t soundId);
void AudioVolumeSet(int32_t soundId, double volume);
// The settings volumes, 0 to 1; setters clamp and apply to every emitter at once.
double AudioVolumeGetApp();
double AudioVolumeGetMusic();
double AudioVolumeGetSound();
double AudioVolumeGetVoice();
void AudioVolumeSetApp(double volume);
void AudioVolumeSetMusic(double volume);
void AudioVolumeSetSound(double volume);
void AudioVolumeSetVoice(double volume);
// Sets every emitter's gain again from the volumes.
void AudioVolumeUpdate();

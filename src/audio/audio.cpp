#include "audio/audio.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "audio/audio_text.h"
#include "audio/ogg_stream.h"
#include "audio/wav_stream.h"
#include "core/ids.h"
#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"

namespace {

// Every sound streams through this many OpenAL buffers of at most this many bytes each.
constexpr int32_t kBufferCount = 4;
constexpr int32_t kBufferBytes = 40960;
// A fresh sound record's category, before AudioOpen stores the caller's.
constexpr uint8_t kNewCategory = 4;
// Added to the rating of a sound whose emitter has stopped: such emitters are taken first.
constexpr int32_t kIdleEmitterBonus = 1000;
// How often a paused emitter is told to play before the resume gives up.
constexpr int kResumeTries = 4;

// The shared libraries whose presence the start checks.
const char* const kOpenAlLibrary = "libopenal.so.1";
const char* const kOggLibraries[] = {"libogg.so.0", "libvorbis.so.0", "libvorbisfile.so.3"};

const char* const kSection = "Audio";
const char* const kAppKey = "App Volume";
const char* const kMasterKey = "Master Volume";
const char* const kMusicKey = "Music Volume";
const char* const kSoundKey = "Sound Volume";
const char* const kVoiceKey = "Voice Volume";

// ---- OpenAL owners ---------------------------------------------------------------------------

// N OpenAL object names of one kind, made and deleted together; deleted when the owner goes.
template <size_t N, void (*Gen)(ALsizei, ALuint*), void (*Del)(ALsizei, const ALuint*)>
class alNames {
 public:
  alNames() = default;
  ~alNames() { Delete(); }
  alNames(alNames&& other) noexcept
      : names_(std::exchange(other.names_, {})), made_(std::exchange(other.made_, false)) {}
  alNames& operator=(alNames&& other) noexcept {
    if (this != &other) {
      Delete();
      names_ = std::exchange(other.names_, {});
      made_ = std::exchange(other.made_, false);
    }
    return *this;
  }
  alNames(const alNames&) = delete;
  alNames& operator=(const alNames&) = delete;

  // Makes the names; returns the OpenAL error code (the names are kept only on success).
  ALenum Generate() {
    Delete();
    alGetError();
    Gen(static_cast<ALsizei>(N), names_.data());
    const ALenum error = alGetError();
    made_ = error == AL_NO_ERROR;
    if (!made_) names_ = {};
    return error;
  }
  // Deletes the names; returns the OpenAL error code.
  ALenum Delete() {
    if (!made_) return AL_NO_ERROR;
    alGetError();
    Del(static_cast<ALsizei>(N), names_.data());
    made_ = false;
    names_ = {};
    return alGetError();
  }
  bool Made() const { return made_; }
  ALuint operator[](size_t index) const { return names_[index]; }
  const ALuint* Data() const { return names_.data(); }

 private:
  std::array<ALuint, N> names_{};
  bool made_ = false;
};

using alSource = alNames<1, alGenSources, alDeleteSources>;
using alBuffers = alNames<kBufferCount, alGenBuffers, alDeleteBuffers>;

// The output device and its context, current while open.
class alOutput {
 public:
  alOutput() = default;
  ~alOutput() { Close(); }
  alOutput(const alOutput&) = delete;
  alOutput& operator=(const alOutput&) = delete;

  // Opens the default device with a context of default attributes; false when there is none.
  bool Open() {
    Close();
    device_ = alcOpenDevice(nullptr);
    if (device_ == nullptr) return false;
    context_ = alcCreateContext(device_, nullptr);
    if (context_ == nullptr || alcMakeContextCurrent(context_) != ALC_TRUE) {
      Close();
      return false;
    }
    return true;
  }
  void Close() {
    if (context_ != nullptr) {
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context_);
      context_ = nullptr;
    }
    if (device_ != nullptr) alcCloseDevice(device_);
    device_ = nullptr;
  }

 private:
  ALCdevice* device_ = nullptr;
  ALCcontext* context_ = nullptr;
};

// ---- records ---------------------------------------------------------------------------------

// One OpenAL source the unit has made, and the sound using it.
struct emitterData {
  int32_t sound = kNoId;
  alSource source;
  // When its current sound was started (system tick).
  uint32_t startTick = 0;
};

struct soundData {
  // 0 music, 1 voice, 3 a sound in the world, any other value a sound.
  uint8_t category = kNewCategory;
  std::string fileName;
  // Base of the rating that decides whose emitter a new sound may take (higher gives way).
  int32_t priority = 0;
  bool loop = false;
  // No more data will be streamed.
  bool finished = true;
  // Buffers queued by the last AudioPlay.
  int32_t queuedCount = 0;
  // A short sound that the first buffer held whole: it is played again from that buffer.
  bool wholeInFirstBuffer = false;
  alBuffers buffers;
  ALenum format = AL_FORMAT_MONO16;
  ALsizei frequency = 0;
  double volume = 1;
  // Nothing moves sounds yet: both stay at the origin.
  std::array<float, 3> position{};
  std::array<float, 3> velocity{};
  int32_t emitter = kNoId;
  // Exactly one of the streams is set once an opener has got that far.
  std::unique_ptr<oggStream> ogg;
  std::unique_ptr<wavStream> wav;
  std::unique_ptr<pcmDump> dump;
};

struct audioState {
  // First, so it closes last when the program ends without the end step.
  alOutput output;
  bool available = false;
  bool oggAvailable = false;
  bool writePcm = false;
  float app = 1;
  float master = 1;
  float music = 1;
  float sound = 1;
  float voice = 1;
  IdRegistry<soundData> sounds;
  IdRegistry<emitterData> emitters;
  // Sounds that AudioAppPause paused.
  std::vector<int32_t> appPaused;
  // Scratch block of one fill.
  std::vector<uint8_t> block;
};

audioState gAudio;

// ---- OpenAL errors ---------------------------------------------------------------------------

std::string AlErrorText(ALenum code) {
  const std::string number = std::to_string(code);
  switch (code) {
    case AL_NO_ERROR:
      return "There is not currently an error.  Error = " + number;
    case AL_INVALID_NAME:
      return "A bad name (ID) was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_ENUM:
      return "An invalid enum value was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_VALUE:
      return "An invalid value was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_OPERATION:
      return "The requested operation is not valid.  Error = " + number;
    case AL_OUT_OF_MEMORY:
      return "The requested operation resulted in OpenAL running out of memory.  Error = " + number;
    default:
      return "Unrecgoznied OpenAL error " + number + ".";
  }
}

// OpenAL keeps the first error until it is read: clear it before a call or group of calls, then
// check. A failure is logged as message + error text and the caller goes on.
void AlClear() { alGetError(); }
bool AlCheck(const std::string& message) {
  const ALenum error = alGetError();
  if (error == AL_NO_ERROR) return true;
  LogError(message + AlErrorText(error));
  return false;
}

// ---- lookups ---------------------------------------------------------------------------------

soundData* FindSound(int32_t id) { return gAudio.available ? gAudio.sounds.Find(id) : nullptr; }

emitterData* EmitterOf(const soundData& sound) {
  return sound.emitter != kNoId ? gAudio.emitters.Find(sound.emitter) : nullptr;
}

ALint SourceState(const alSource& source) {
  ALint state = AL_INITIAL;
  alGetSourcei(source[0], AL_SOURCE_STATE, &state);
  return state;
}

// Whether tick a comes before tick b (the tick wraps after about 49 days).
bool TickBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

// master × category volume × application × the sound's own volume.
float SoundGain(const soundData& sound) {
  float category = gAudio.sound;
  if (sound.category == kAudioCategoryMusic) category = gAudio.music;
  if (sound.category == kAudioCategoryVoice) category = gAudio.voice;
  return static_cast<float>(gAudio.master * category * gAudio.app * sound.volume);
}

// ---- streams ---------------------------------------------------------------------------------

// Rewinds the sound's stream and clears its finished flag; a stream that cannot be rewound has
// nothing to play and is left finished.
bool AudioSeekData(int32_t id, soundData& sound) {
  bool rewound = false;
  if (sound.ogg) {
    rewound = sound.ogg->Rewind();
    if (!rewound) LogError("AudioSeekData - " + std::to_string(id));
  } else if (sound.wav) {
    rewound = sound.wav->SeekData();
  }
  sound.finished = !rewound;
  return rewound;
}

bool AudioOggBufferData(soundData& sound, ALuint buffer) {
  LogTraceScope trace("AudioOggBufferData");
  std::vector<uint8_t>& block = gAudio.block;
  if (!sound.ogg->Decode(block, kBufferBytes, sound.loop, sound.finished, sound.dump.get())) return false;
  LogTrace("AudioOggBufferData - Decoded " + std::to_string(block.size()) + " bytes.");
  if (block.empty()) return false;
  AlClear();
  alBufferData(buffer, sound.format, block.data(), static_cast<ALsizei>(block.size()), sound.frequency);
  return AlCheck("AudioOggBufferData - Failed to buffer Ogg data.  RC Error = ");
}

bool AudioWavBufferData(soundData& sound, ALuint buffer) {
  std::vector<uint8_t>& block = gAudio.block;
  block.resize(kBufferBytes);
  const int32_t gathered = sound.wav->Read(block.data(), kBufferBytes, sound.loop, sound.finished);
  if (gathered <= 0) return false;
  AlClear();
  alBufferData(buffer, sound.format, block.data(), gathered, sound.frequency);
  const ALenum error = alGetError();
  if (error != AL_NO_ERROR) {
    LogError("AudioWavBufferData - Failed to buffer Wave data.  RC Error = " + std::to_string(error));
    return false;
  }
  return true;
}

// Fills one buffer from whichever stream the sound has; true when data went into it.
bool AudioBufferData(soundData& sound, ALuint buffer) {
  if (sound.ogg) return AudioOggBufferData(sound, buffer);
  if (sound.wav) return AudioWavBufferData(sound, buffer);
  return false;
}

// Appends a new record with four buffers and sets id to it. False when the buffers cannot be
// made; the record stays for the caller to close, as after any failed opener.
bool AudioNew(int32_t& id) {
  soundData sound;
  const ALenum error = sound.buffers.Generate();
  id = gAudio.sounds.Add(std::move(sound));
  if (error != AL_NO_ERROR) {
    LogError("AudioNew - Failed to generate buffers.  RC Error = " + AlErrorText(error));
    return false;
  }
  return true;
}

bool AudioOggOpen(const std::string& fileName, int32_t& id) {
  if (!gAudio.oggAvailable) return false;
  DataFileGuard file(fileName);
  if (!file) {
    LogError("AudioOggOpen - Unable to open file " + AudioQuoted(fileName) + ".");
    return false;
  }
  if (!AudioNew(id)) return false;
  soundData& sound = *gAudio.sounds.Find(id);
  sound.fileName = fileName;
  sound.ogg = std::make_unique<oggStream>(id, fileName);
  if (!sound.ogg->Open(std::move(file), "AudioOggOpen")) return false;
  const bool mono = sound.ogg->Channels() == 1;
  LogTrace(mono ? "AudioOggOpen - Ogg Vorbis Channels: Mono" : "AudioOggOpen - Ogg Vorbis Channels: Stereo");
  LogTrace("AudioOggOpen - Ogg Vorbis Frequency: " + std::to_string(sound.ogg->Rate()) + "Hz");
  if (!mono) {
    LogError("AudioOggOpen - Ogg Vorbis file " + AudioQuoted(fileName) + " does not contain 16-bit mono sound data.");
    return false;
  }
  sound.format = AL_FORMAT_MONO16;
  sound.frequency = static_cast<ALsizei>(std::min<long>(sound.ogg->Rate(), std::numeric_limits<ALsizei>::max()));
  sound.finished = false;
  if (gAudio.writePcm) {
    sound.dump = std::make_unique<pcmDump>();
    sound.dump->Create(fileName);
  }
  return true;
}

bool AudioWavOpen(const std::string& fileName, int32_t& id) {
  if (!AudioNew(id)) return false;
  soundData& sound = *gAudio.sounds.Find(id);
  sound.fileName = fileName;
  sound.wav = std::make_unique<wavStream>();
  if (!sound.wav->Open(fileName)) return false;
  sound.format = AL_FORMAT_MONO16;
  sound.frequency =
      static_cast<ALsizei>(std::min<uint32_t>(sound.wav->Frequency(), std::numeric_limits<ALsizei>::max()));
  sound.finished = false;
  return true;
}

// ---- emitters --------------------------------------------------------------------------------

// How readily a sound gives its emitter away: its priority, plus the idle bonus when its emitter
// has stopped (for priorities above 0); -1 without an emitter. The sound asking for an emitter
// is rated as if it had one, and without the bonus (it has no emitter to be idle).
int32_t AudioGetRating(const soundData& sound, bool asking) {
  LogTraceScope trace("AudioGetRating");
  const emitterData* emitter = EmitterOf(sound);
  if (emitter == nullptr) return asking ? sound.priority : -1;
  int32_t rating = sound.priority;
  if (sound.priority > 0 && SourceState(emitter->source) != AL_PLAYING) rating += kIdleEmitterBonus;
  return rating;
}

// The emitter a sound that OpenAL gave no new source may take, kNoId for none: the last sound
// in list order that rates above the new one, unless a later one rating the same started earlier.
int32_t AudioFindEmitterToTake(int32_t id, const soundData& sound) {
  const int32_t wanted = AudioGetRating(sound, true);
  int32_t candidate = kNoId;
  bool haveTick = false;
  uint32_t candidateTick = 0;
  for (const auto& [otherId, other] : gAudio.sounds) {
    if (otherId == id) continue;
    const int32_t rating = AudioGetRating(other, false);
    const emitterData* emitter = EmitterOf(other);
    if (emitter == nullptr) continue;  // nothing to hand over
    if (rating > wanted || (rating == wanted && (!haveTick || TickBefore(emitter->startTick, candidateTick)))) {
      candidate = other.emitter;
      candidateTick = emitter->startTick;
      haveTick = true;
    }
  }
  return candidate;
}

// Gives the sound an emitter: a new source, else one taken from another sound. Null when the
// sound cannot have one.
emitterData* AudioEmitterFor(int32_t id, soundData& sound) {
  if (emitterData* own = EmitterOf(sound)) return own;
  emitterData fresh;
  if (fresh.source.Generate() == AL_NO_ERROR) {
    fresh.sound = id;
    sound.emitter = gAudio.emitters.Add(std::move(fresh));
    return gAudio.emitters.Find(sound.emitter);
  }
  if (gAudio.emitters.Empty()) {
    LogError("AudioPlay - Unable to find emitter for sound.");
    return nullptr;
  }
  const int32_t taken = AudioFindEmitterToTake(id, sound);
  if (taken == kNoId) return nullptr;
  emitterData* emitter = gAudio.emitters.Find(taken);
  AudioStop(emitter->sound);
  if (soundData* previous = gAudio.sounds.Find(emitter->sound)) previous->emitter = kNoId;
  emitter->sound = id;
  sound.emitter = taken;
  return emitter;
}

// alSourcePlay on a paused emitter until it reports playing, a few times at most.
void AudioResumeSource(const std::string& operation, const alSource& source) {
  AlClear();
  const ALint state = SourceState(source);
  if (!AlCheck(operation + " - Failed to determine emitter status.  RC Error = ") || state != AL_PAUSED) return;
  for (int attempt = 0; attempt < kResumeTries; ++attempt) {
    AlClear();
    alSourcePlay(source[0]);
    if (!AlCheck(operation + " - Failed to play emitter.  RC Error = ")) return;
    const ALint now = SourceState(source);
    if (!AlCheck(operation + " - Failed to determine emitter status on resume.  RC Error = ")) return;
    if (now == AL_PLAYING) return;
  }
  LogError(operation + " - Failed to play emitter.  RC Error = " + AlErrorText(alGetError()));
}

// ---- settings --------------------------------------------------------------------------------

// A settings volume in percent, 0 to 100 ("100" when missing or not an integer), as 0 to 1.
float AudioSettingsLoad(const char* key) {
  const std::string text = IniReadString(kSection, key, "100");
  int32_t value = 100;
  // An integer too long for 32 bits is clamped like any other out-of-range value.
  if (UtilIsInteger(text) && !UtilTextToInteger(text, value)) value = text[0] == '-' ? 0 : 100;
  return static_cast<float>(UtilClamp(value, 0, 100)) / 100.0f;
}

void AudioSettingsSave() {
  LogTraceScope trace("AudioSettingsSave");
  IniWriteBegin();
  const std::pair<const char*, float> volumes[] = {{kAppKey, gAudio.app},
                                                   {kMasterKey, gAudio.master},
                                                   {kMusicKey, gAudio.music},
                                                   {kSoundKey, gAudio.sound},
                                                   {kVoiceKey, gAudio.voice}};
  for (const auto& [key, volume] : volumes) {
    // Nearest integer, ties to even (the default rounding mode).
    const long percent = std::lrint(static_cast<double>(volume) * 100.0);
    IniWriteString(kSection, key, std::to_string(percent));
  }
  IniWriteCommit();
}

double AudioVolumeClamp(double volume) {
  LogTraceScope trace("AudioVolumeClamp");
  if (!(volume >= 0)) return 0;  // below 0, or not a number
  return volume > 1 ? 1 : volume;
}

double AudioVolumeGetSetting(const char* operation, float volume) {
  LogTraceScope trace(operation);
  return gAudio.available ? volume : 0;
}

void AudioVolumeSetSetting(const char* operation, float& setting, double volume) {
  LogTraceScope trace(operation);
  if (!gAudio.available) return;
  setting = static_cast<float>(AudioVolumeClamp(volume));
  AudioVolumeUpdate();
}

void AudioReset() {
  gAudio.available = false;
  gAudio.oggAvailable = false;
  gAudio.writePcm = false;
  gAudio.app = gAudio.master = gAudio.music = gAudio.sound = gAudio.voice = 1;
  gAudio.sounds.Reset();
  gAudio.emitters.Reset();
  gAudio.appPaused.clear();
}

}  // namespace

// ---- start and end ---------------------------------------------------------------------------

void AudioStart() {
  LogVersion("fwkAudio - Version 1.0");
  AudioReset();
  if (!DataFileOnSearchPath(kOpenAlLibrary) || !gAudio.output.Open()) {
    LogError("OpenAL is not installed.  Audio playback is not possible.");
  } else {
    gAudio.writePcm = UtilSwitchPresent("-writePCM");
    alGetError();
    gAudio.available = true;
    gAudio.oggAvailable = std::all_of(std::begin(kOggLibraries), std::end(kOggLibraries),
                                      [](const char* library) { return DataFileOnSearchPath(library); });
    if (!gAudio.oggAvailable) LogError("Ogg Vorbis is not installed.  Ogg Vorbis playback is not possible.");
  }
  gAudio.app = AudioSettingsLoad(kAppKey);
  gAudio.master = AudioSettingsLoad(kMasterKey);
  gAudio.music = AudioSettingsLoad(kMusicKey);
  gAudio.sound = AudioSettingsLoad(kSoundKey);
  gAudio.voice = AudioSettingsLoad(kVoiceKey);
}

void AudioEnd() {
  // A run without sound leaves the user's volumes in the settings as they were.
  if (gAudio.available) {
    AudioCloseAll();
    gAudio.output.Close();
    AudioSettingsSave();
  }
  AudioReset();
}

bool AudioAvailable() { return gAudio.available; }

// ---- sounds ----------------------------------------------------------------------------------

int32_t AudioOpen(const std::string& fileName, int32_t category, bool loop, int32_t priority) {
  if (!gAudio.available) return -1;
  const size_t dot = fileName.find_last_of('.');
  const size_t folder = fileName.find_last_of("\\/");
  const bool hasExtension = dot != std::string::npos && (folder == std::string::npos || dot > folder);
  const std::string extension = hasExtension ? UtilUpper(fileName.substr(dot)) : std::string();

  int32_t id = kNoId;
  bool opened = false;
  if (extension == ".OGG") {
    opened = AudioOggOpen(fileName, id);
  } else if (extension == ".WAV") {
    opened = AudioWavOpen(fileName, id);
  } else {
    LogError("AudioOpen - The file extension of " + AudioQuoted(fileName) +
             " is not recognised.  The sound is not loaded.");
    return -1;
  }
  if (!opened) {
    LogError("AudioOpen - Audio file " + AudioQuoted(fileName) + " could not be opened.");
    if (id != kNoId) AudioClose(id);
    return -1;
  }
  soundData& sound = *gAudio.sounds.Find(id);
  sound.category = static_cast<uint8_t>(category);
  sound.loop = loop;
  sound.fileName = fileName;
  sound.priority = priority;
  return id;
}

void AudioClose(int32_t& soundId) {
  soundData* sound = FindSound(soundId);
  if (sound == nullptr) return;
  if (emitterData* emitter = EmitterOf(*sound)) {
    const int32_t emitterId = sound->emitter;
    for (auto& [otherId, other] : gAudio.sounds) {
      if (otherId == soundId || other.emitter != emitterId) continue;
      LogError("AudioClose - Additional sounds using same emitter.");
      AudioStop(otherId);
      other.emitter = kNoId;
    }
    AudioStop(soundId);
    const ALenum error = emitter->source.Delete();
    if (error != AL_NO_ERROR)
      LogError("AudioClose - Failed to delete emitter source.  RC Error = " + AlErrorText(error));
    gAudio.emitters.Remove(emitterId);
    sound->emitter = kNoId;
  }
  sound->ogg.reset();  // clears the decoder, which closes the file
  sound->wav.reset();
  sound->dump.reset();
  const ALenum error = sound->buffers.Delete();
  if (error != AL_NO_ERROR) LogError("AudioClose - Failed to delete buffers.  RC Error = " + AlErrorText(error));
  gAudio.sounds.Remove(soundId);
  soundId = -1;
}

void AudioCloseAll() {
  std::vector<int32_t> ids = gAudio.sounds.Ids();
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    int32_t id = *it;
    AudioClose(id);
  }
}

void AudioPlay(int32_t soundId) {
  LogTraceScope trace("AudioPlay");
  soundData* sound = FindSound(soundId);
  if (sound == nullptr || AudioGetStatus(soundId) == kAudioStatusPlaying) return;
  emitterData* emitter = AudioEmitterFor(soundId, *sound);
  if (emitter == nullptr) return;
  const ALuint source = emitter->source[0];

  emitter->startTick = UtilTickCount();
  // Stopped and emptied, so that its buffers (processed or not) can be filled again.
  AlClear();
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, 0);
  AlCheck("AudioPlay - Failed to stop emitter.  RC Error = ");

  sound->queuedCount = 0;
  if (sound->wholeInFirstBuffer) {
    // Its samples are still in the buffer from the last play: nothing to decode again.
    sound->queuedCount = 1;
  } else if (AudioSeekData(soundId, *sound)) {
    while (sound->queuedCount < kBufferCount && !sound->finished &&
           AudioBufferData(*sound, sound->buffers[static_cast<size_t>(sound->queuedCount)])) {
      ++sound->queuedCount;
    }
    // "-writePCM" wants every play's decoding in its file.
    sound->wholeInFirstBuffer = !sound->loop && sound->finished && sound->queuedCount == 1 && !gAudio.writePcm;
  }
  if (sound->queuedCount > 0) {
    AlClear();
    alSourceQueueBuffers(source, sound->queuedCount, sound->buffers.Data());
    const ALenum error = alGetError();
    if (error != AL_NO_ERROR) {
      LogError("AudioPlay - File: " + sound->fileName);
      LogError("AudioPlay - Error queueing buffers.  " + AlErrorText(error));
      LogError("AudioPlay - Emitter: " + std::to_string(source));
      LogError("AudioPlay - Buffer Count: " + std::to_string(sound->queuedCount));
    }
  }

  AlClear();
  alSourcei(source, AL_SOURCE_RELATIVE, sound->category == kAudioCategoryWorld ? AL_FALSE : AL_TRUE);
  AlCheck("AudioPlay - Failed to set emitter relativity.  RC Error = ");
  alSourcef(source, AL_GAIN, SoundGain(*sound));
  AlCheck("AudioPlay - Failed to set emitter volume.  RC Error = ");
  // The stream loops by itself; OpenAL looping would repeat only the queued buffers.
  alSourcei(source, AL_LOOPING, AL_FALSE);
  AlCheck("AudioPlay - Failed to set emitter to not loop.  RC Error = ");
  alSourcefv(source, AL_POSITION, sound->position.data());
  AlCheck("AudioPlay - Failed to set emitter position.  RC Error = ");
  alSourcefv(source, AL_VELOCITY, sound->velocity.data());
  AlCheck("AudioPlay - Failed to set emitter velocity.  RC Error = ");
  alSourcef(source, AL_PITCH, 1.0f);
  AlCheck("AudioPlay - Failed to set emitter pitch.  RC Error = ");
  alSourcePlay(source);
  AlCheck("AudioPlay - Failed to play emitter.  RC Error = ");
}

void AudioStop(int32_t soundId) {
  LogTraceScope trace("AudioStop");
  const soundData* sound = FindSound(soundId);
  const emitterData* emitter = sound != nullptr ? EmitterOf(*sound) : nullptr;
  if (emitter == nullptr) return;
  AlClear();
  alSourceStop(emitter->source[0]);
  if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
    LogError("AudioStop - Unable to stop sound.  " + AlErrorText(error));
  }
  alSourcei(emitter->source[0], AL_BUFFER, 0);
  if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
    LogError("AudioStop - Unable to detach buffers.  " + AlErrorText(error));
  }
}

void AudioPause(int32_t soundId) {
  LogTraceScope trace("AudioPause");
  const soundData* sound = FindSound(soundId);
  const emitterData* emitter = sound != nullptr ? EmitterOf(*sound) : nullptr;
  if (emitter == nullptr) return;
  AlClear();
  alSourcePause(emitter->source[0]);
  AlCheck("AudioPause - Failed to pause emitter.  RC Error = ");
}

void AudioResume(int32_t soundId) {
  LogTraceScope trace("AudioResume");
  const soundData* sound = FindSound(soundId);
  const emitterData* emitter = sound != nullptr ? EmitterOf(*sound) : nullptr;
  if (emitter != nullptr) AudioResumeSource("AudioResume", emitter->source);
}

void AudioPauseAll() {
  LogTraceScope trace("AudioPauseAll");
  if (!gAudio.available) return;
  for (const auto& [id, emitter] : gAudio.emitters) {
    AlClear();
    const ALint state = SourceState(emitter.source);
    if (!AlCheck("AudioPauseAll - Failed to determine emitter state.  RC Error = ") || state != AL_PLAYING) continue;
    alSourcePause(emitter.source[0]);
    AlCheck("AudioPauseAll - Failed to pause emitter.  RC Error = ");
  }
}

void AudioResumeAll() {
  LogTraceScope trace("AudioResumeAll");
  if (!gAudio.available) return;
  for (const auto& [id, emitter] : gAudio.emitters) AudioResumeSource("AudioResumeAll", emitter.source);
}

void AudioAppPause() {
  // The sounds of this loss of focus only: the next AudioAppResume resumes these.
  gAudio.appPaused.clear();
  for (int32_t id : gAudio.sounds.Ids()) {
    if (AudioGetStatus(id) != kAudioStatusPlaying) continue;
    AudioPause(id);
    gAudio.appPaused.push_back(id);
  }
}

void AudioAppResume() {
  const std::vector<int32_t> paused = std::move(gAudio.appPaused);
  gAudio.appPaused.clear();
  for (int32_t id : paused) AudioResume(id);
}

int32_t AudioGetStatus(int32_t soundId) {
  const soundData* sound = FindSound(soundId);
  const emitterData* emitter = sound != nullptr ? EmitterOf(*sound) : nullptr;
  if (emitter == nullptr) return kAudioStatusStopped;
  AlClear();
  const ALint state = SourceState(emitter->source);
  if (!AlCheck("AudioGetStatus - Failed to get emitter state.  RC Error = ")) return kAudioStatusStopped;
  if (state == AL_PLAYING) return kAudioStatusPlaying;
  if (state == AL_PAUSED) return kAudioStatusPaused;
  return kAudioStatusStopped;
}

void AudioUpdate() {
  LogTraceScope trace("AudioUpdate");
  if (!gAudio.available) return;
  for (auto& [id, emitter] : gAudio.emitters) {
    const ALuint source = emitter.source[0];
    AlClear();
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
      LogError("AudioUpdate - Could not determine number of buffers processed.  RC = " + std::to_string(error));
      continue;
    }
    soundData* sound = gAudio.sounds.Find(emitter.sound);
    for (; processed > 0; --processed) {
      ALuint buffer = 0;
      AlClear();
      alSourceUnqueueBuffers(source, 1, &buffer);
      if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
        LogError("AudioUpdate - Error unqueueing buffer.  RC = " + std::to_string(error));
        break;
      }
      // A source that ran dry stays stopped: the next AudioPlay starts it again.
      if (sound == nullptr || sound->finished || !AudioBufferData(*sound, buffer)) continue;
      AlClear();
      alSourceQueueBuffers(source, 1, &buffer);
      if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
        LogError("AudioUpdate - Error requeueing buffer.  " + AlErrorText(error));
      }
    }
  }
}

// ---- volumes ---------------------------------------------------------------------------------

double AudioVolumeGet(int32_t soundId) {
  LogTraceScope trace("AudioVolumeGet");
  const soundData* sound = FindSound(soundId);
  return sound != nullptr ? sound->volume : 0;
}

void AudioVolumeSet(int32_t soundId, double volume) {
  LogTraceScope trace("AudioVolumeSet");
  soundData* sound = FindSound(soundId);
  if (sound == nullptr) return;
  sound->volume = AudioVolumeClamp(volume);
  if (const emitterData* emitter = EmitterOf(*sound)) {
    AlClear();
    alSourcef(emitter->source[0], AL_GAIN, SoundGain(*sound));
    AlCheck("AudioVolumeSet - Failed to set emitter volume.  RC Error = ");
  }
}

double AudioVolumeGetApp() { return AudioVolumeGetSetting("AudioVolumeGetApp", gAudio.app); }
double AudioVolumeGetMusic() { return AudioVolumeGetSetting("AudioVolumeGetMusic", gAudio.music); }
double AudioVolumeGetSound() { return AudioVolumeGetSetting("AudioVolumeGetSound", gAudio.sound); }
double AudioVolumeGetVoice() { return AudioVolumeGetSetting("AudioVolumeGetVoice", gAudio.voice); }
void AudioVolumeSetApp(double volume) { AudioVolumeSetSetting("AudioVolumeSetApp", gAudio.app, volume); }
void AudioVolumeSetMusic(double volume) { AudioVolumeSetSetting("AudioVolumeSetMusic", gAudio.music, volume); }
void AudioVolumeSetSound(double volume) { AudioVolumeSetSetting("AudioVolumeSetSound", gAudio.sound, volume); }
void AudioVolumeSetVoice(double volume) { AudioVolumeSetSetting("AudioVolumeSetVoice", gAudio.voice, volume); }

void AudioVolumeUpdate() {
  LogTraceScope trace("AudioVolumeUpdate");
  if (!gAudio.available) return;
  for (const auto& [id, emitter] : gAudio.emitters) {
    const soundData* sound = gAudio.sounds.Find(emitter.sound);
    if (sound == nullptr) continue;
    AlClear();
    alSourcef(emitter.source[0], AL_GAIN, SoundGain(*sound));
    AlCheck("AudioVolumeUpdate - Failed to set emitter volume.  RC Error = ");
  }
}

// App routines of sounds, music and the configuration screen's sounds and switches.
#include <cmath>

#include "audio/audio.h"
#include "game/app_routines.h"
#include "game/game_sounds.h"
#include "game/music.h"

namespace {

// The configuration screen's two test channels (effects and voice), opened once each.
int32_t gConfigSounds[2] = {-1, -1};

}  // namespace

void AppRoutinesRegisterSound() {
  AppRegister("AppMusicPlay", [](const appCall& c) { MusicPlay(c.Text(1), c.Int(2)); });
  AppRegister("AppMusicStop", [](const appCall& c) { MusicStop(c.Int(1)); });
  AppRegister("AppSoundPlay", [](const appCall& c) {
    const bool loop = c.Bool(2);
    const int32_t sound = GameSoundPlay(c.Text(1), loop, loop ? 4 : 3);
    if (sound >= 0 && !loop) GameActionAdd(c.script, c.thread, "SFX", kActionSound, std::to_string(sound));
    c.Set(3, sound);
  });
  AppRegister("AppSoundPlayNoWait", [](const appCall& c) { c.Set(2, GameSoundPlay(c.Text(1), false, 3)); });
  AppRegister("AppSoundPlayNoWaitLoop", [](const appCall& c) { c.Set(2, GameSoundPlay(c.Text(1), true, 4)); });
  AppRegister("AppSoundGetStatus", [](const appCall& c) { c.Set(2, AudioGetStatus(c.Int(1))); });
  AppRegister("AppSoundGetVolume", [](const appCall& c) {
    c.Set(2, static_cast<int32_t>(std::lround(AudioVolumeGet(c.Int(1)) * 100.0)));
  });
  AppRegister("AppSoundSetVolume", [](const appCall& c) {
    const int32_t sound = c.Int(1);
    if (GameSoundKept(sound)) AudioVolumeSet(sound, c.Int(2) / 100.0);
    c.Set(1, 0);
  });
  AppRegister("AppSoundStop", [](const appCall& c) {
    const int32_t sound = c.Int(1);
    GameActionRemove(kActionSound, std::to_string(sound));
    GameSoundClose(sound);
    c.Set(1, 0);
  });
  AppRegister("AppConfigAudioPlay", [](const appCall& c) {
    const int32_t channel = c.Int(1);
    if (channel != 1 && channel != 2) return;
    int32_t& sound = gConfigSounds[channel - 1];
    if (sound < 0) {
      sound = AudioOpen(c.Text(2), channel == 1 ? kAudioCategorySound : kAudioCategoryVoice, true, 0);
    }
    if (sound >= 0) AudioPlay(sound);
  });
  AppRegister("AppConfigAudioStop", [](const appCall& c) {
    const int32_t channel = c.Int(1);
    if (channel == 1 || channel == 2) AudioStop(gConfigSounds[channel - 1]);
  });
  for (const char* name :
       {"AppConfigConfiguredGet", "AppConfigConfiguredSet", "AppConfigControlHandGet", "AppConfigControlHandSet",
        "AppConfigControlModeGet", "AppConfigControlModeSet", "AppConfigShowFlyoversGet", "AppConfigShowFlyoversSet",
        "AppConfigShowHotspotsGet", "AppConfigShowHotspotsSet", "AppConfigShowPointerGet", "AppConfigShowPointerSet",
        "AppConfigShowTipsGet", "AppConfigShowTipsSet", "AppConfigSpeechBubbleLengthGet",
        "AppConfigSpeechBubbleLengthSet", "AppConfigSpeechBubblesGet", "AppConfigSpeechBubblesSet"}) {
    AppRegister(name, [](const appCall&) {});
  }
}

void AppConfigSoundsClose() {
  for (int32_t& sound : gConfigSounds) {
    if (sound >= 0) AudioClose(sound);
    sound = -1;
  }
}

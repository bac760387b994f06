// The system routines of CallSystemRoutine: inputs are read and outputs written through the
// calling thread's parameter slots (parameter 1 is the slot pushed last). Routines that only need
// the audio or input unit call it directly; the rest go through the script's host.
#include <chrono>
#include <cmath>
#include <random>

#include "audio/audio.h"
#include "input/input.h"
#include "script/vm_thread.h"

namespace {

int32_t Percent(double volume) { return static_cast<int32_t>(std::lround(volume * 100.0)); }
double FromPercent(int32_t percent) { return percent / 100.0; }

// 0 ... m-1 from a generator seeded from the clock on every call; 0 for m <= 0.
int32_t RandomBelow(int32_t m) {
  if (m <= 0) return 0;
  std::mt19937 generator(static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  return std::uniform_int_distribution<int32_t>(0, m - 1)(generator);
}

// Up to count characters from the 1-based position start, clipped to the text.
std::string Substring(const std::string& text, int32_t start, int32_t count) {
  if (count <= 0) return {};
  const int64_t from = start < 1 ? 0 : static_cast<int64_t>(start) - 1;
  if (from >= static_cast<int64_t>(text.size())) return {};
  return text.substr(static_cast<size_t>(from), static_cast<size_t>(count));
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

int32_t FirstPressedCode(const inputBuffer& events) {
  for (const inputEvent& event : events) {
    if (event.value == 0 && !InputControlIsAnalog(event.code)) return event.code;
  }
  return 0;
}

}  // namespace

bool VmSystemRoutineRun(vmScript& script, scriptThread& t, int32_t n) {
  vmHost& host = *script.host;
  auto integer = [&t](int32_t p) { return VmParameterGetInteger(t, p); };
  auto text = [&t](int32_t p) { return VmParameterGetText(t, p); };
  switch (n) {
    case 0: VmParameterSetInteger(t, 2, RandomBelow(integer(1))); break;
    case 1: VmParameterSetInteger(t, 1, host.StateTime()); break;
    case 2: VmParameterSetInteger(t, 1, Percent(AudioVolumeGetMusic())); break;
    case 3: AudioVolumeSetMusic(FromPercent(integer(1))); break;
    case 4: VmParameterSetBool(t, 1, host.GraphicsFullscreenGet()); break;
    case 5: VmParameterSetText(t, 3, host.GraphicsMonitorModeText(integer(1), integer(2))); break;
    case 6: VmParameterSetInteger(t, 2, host.GraphicsDisplayGetModeIndex(integer(1))); break;
    case 7: VmParameterSetInteger(t, 1, Percent(AudioVolumeGetSound())); break;
    case 8: AudioVolumeSetSound(FromPercent(integer(1))); break;
    case 9: InputActionControlAdd(integer(1), integer(2), integer(3)); break;
    case 10: InputActionControlsClear(integer(1)); break;
    case 11: VmParameterSetInteger(t, 3, InputActionControlGet(integer(1), integer(2))); break;
    case 12: VmParameterSetInteger(t, 3, InputActionIdGet(integer(1), integer(2))); break;
    case 13: VmParameterSetText(t, 2, InputActionNameGet(integer(1))); break;
    case 14: VmParameterSetInteger(t, 2, InputAnalogControlCode(integer(1))); break;
    case 15: VmParameterSetInteger(t, 3, InputActionFromControl(integer(1), integer(2))); break;
    case 16: VmParameterSetText(t, 2, InputControlName(integer(1))); break;
    case 17: VmParameterSetInteger(t, 2, InputControlSetFind(text(1))); break;
    case 18: VmParameterSetInteger(t, 2, InputActionCount(integer(1))); break;
    case 19: InputControlEventsGet(InputControlSetActive()); break;
    case 20: VmParameterSetInteger(t, 1, FirstPressedCode(InputControlEventsGet(InputControlSetActive()))); break;
    case 21: VmParameterSetInteger(t, 1, Percent(AudioVolumeGetApp())); break;
    case 22: AudioVolumeSetApp(FromPercent(integer(1))); break;
    case 23: VmParameterSetInteger(t, 2, static_cast<int32_t>(text(1).size())); break;
    case 24: host.PostEventToScript(text(1), integer(2), text(3)); break;
    case 25: VmParameterSetText(t, 4, Substring(text(1), integer(2), integer(3))); break;
    case 26: VmParameterSetInteger(t, 4, host.FontTextWidth(integer(1), text(2), text(3))); break;
    case 27: VmParameterSetBool(t, 3, host.StateVariableGetBool(integer(1), text(2))); break;
    case 28: VmParameterSetInteger(t, 3, host.StateVariableGetInteger(integer(1), text(2))); break;
    case 29: VmParameterSetText(t, 3, host.StateVariableGetText(integer(1), text(2))); break;
    case 30: host.StateVariableSetBool(integer(1), text(2), VmParameterGetBool(t, 3)); break;
    case 31: host.StateVariableSetInteger(integer(1), text(2), integer(3)); break;
    case 32: host.StateVariableSetText(integer(1), text(2), text(3)); break;
    case 33: VmParameterSetText(t, 2, std::string(1, static_cast<char>(integer(1) & 0xff))); break;
    case 34: VmParameterSetBool(t, 1, InputMouseButtonsSwapped()); break;
    case 35: VmParameterSetInteger(t, 1, Percent(AudioVolumeGetVoice())); break;
    case 36: AudioVolumeSetVoice(FromPercent(integer(1))); break;
    case 37: VmParameterSetInteger(t, 1, InputJoystickCount()); break;
    case 38: VmParameterSetBool(t, 3, text(2).find(text(1)) != std::string::npos); break;
    case 39: VmParameterSetText(t, 3, host.ObjectHitName(integer(1), integer(2))); break;
    case 40: VmParameterSetText(t, 4, host.MatRegionName(text(1), integer(2), integer(3))); break;
    case 41: {
      const int32_t value = integer(1);
      // The root of a negative number is no number: 0.
      VmParameterSetInteger(t, 2, value <= 0 ? 0 : static_cast<int32_t>(std::lround(std::sqrt(value))));
      break;
    }
    case 42: VmParameterSetText(t, 2, Lower(text(1))); break;
    default: return false;
  }
  return true;
}

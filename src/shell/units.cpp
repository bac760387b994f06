#include "shell/units.h"

#include <functional>

#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "audio/audio.h"
#include "data/mat.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "image/image.h"
#include "input/input.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/state.h"

namespace {

struct UnitSteps {
  void (*start)();
  void (*end)();
};

// The platform registers no version line; graphics needs it started. A platform without a video
// device logs why and leaves every window operation failing softly.
void PlatformStartStep() { PlatformStart(); }

// Input needs the platform (controllers, window sizes); every display the game makes from here
// on is a pointer window of the input unit, under the display's id.
void InputStartStep() {
  InputStart();
  GraphicsDisplayRegistrySet(
      graphicsRegistry::kInput, [](int32_t display, int32_t window) { InputWindowAdd(display, window); },
      [](int32_t display) { InputWindowRemove(display); });
}

void InputEndStep() {
  GraphicsDisplayRegistrySet(graphicsRegistry::kInput, nullptr, nullptr);
  InputEnd();
}

// The order in which the units start. Each start registers its version line with the log.
constexpr UnitSteps kUnits[] = {
    {DataFileStart, DataFileEnd},
    {UtilStart, UtilEnd},
    {ImageJpgStart, ImageJpgEnd},
    {ImageGifStart, ImageGifEnd},
    {ImageStart, ImageEnd},
    {FontStart, FontEnd},
    {ModelStart, ModelEnd},
    {IniStart, IniEnd},
    {PlatformStartStep, PlatformEnd},
    {InputStartStep, InputEndStep},
    {GraphicsStart, GraphicsEnd},
    {StateStart, StateEnd},
    {MatStart, MatEnd},
    {AudioStart, AudioEnd},
    {ScriptStart, ScriptEnd},
};

// How far the start got, so the end steps run for exactly the started units.
struct unitRun {
  int started = 0;
  std::function<void()> gameEnd;  // set once the game's start step has run
};

unitRun gRun;

}  // namespace

void ShellStartUnits(const shellGameHooks& hooks) {
  gRun = unitRun{};
  LogStart();
  for (const UnitSteps& unit : kUnits) {
    unit.start();
    ++gRun.started;
  }
  if (hooks.start) hooks.start();
  gRun.gameEnd = hooks.end;
}

void ShellEndUnits() {
  if (gRun.gameEnd) gRun.gameEnd();
  gRun.gameEnd = nullptr;
  while (gRun.started > 0) kUnits[--gRun.started].end();
}

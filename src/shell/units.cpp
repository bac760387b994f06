#include "shell/units.h"

#include <functional>

#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "data/mat.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/model.h"
#include "image/image.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

struct UnitSteps {
  void (*start)();
  void (*end)();
};

// The platform registers no version line; graphics needs it started. A platform without a video
// device logs why and leaves every window operation failing softly.
void PlatformStartStep() { PlatformStart(); }

// The order in which the units start. Each start registers its version line with the log.
// Units arrive here as they are built: input, audio and script take their places between these.
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
    {GraphicsStart, GraphicsEnd},
    {StateStart, StateEnd},
    {MatStart, MatEnd},
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

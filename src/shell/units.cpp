#include "shell/units.h"

#include "core/ini.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "data/mat.h"
#include "image/image.h"
#include "state/state.h"

namespace {

struct UnitSteps {
  void (*start)();
  void (*end)();
};

// The order in which the units start. Each start registers its version line with the log.
// Units arrive here as they are built: fonts, models, input, graphics, render windows, state,
// audio, script and game take their places between these.
constexpr UnitSteps kUnits[] = {
    {DataFileStart, DataFileEnd},
    {UtilStart, UtilEnd},
    {ImageJpgStart, ImageJpgEnd},
    {ImageGifStart, ImageGifEnd},
    {ImageStart, ImageEnd},
    {IniStart, IniEnd},
    {StateStart, StateEnd},
    {MatStart, MatEnd},
};

int gStarted = 0;

}  // namespace

void ShellStartUnits() {
  LogStart();
  for (const UnitSteps& unit : kUnits) {
    unit.start();
    ++gStarted;
  }
}

void ShellEndUnits() {
  while (gStarted > 0) kUnits[--gStarted].end();
}

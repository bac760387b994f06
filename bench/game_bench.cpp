// The game screen run headless through GameProcessFrame on the offscreen driver at 1280 x 720:
// four buildings with growing weeds, 20 drops in flight and their splashes. The counter
// "main_ms" is the main thread's own CPU time per frame (script update, input, audio update,
// the model walk and the driver calls); Mesa's rasteriser threads are not in it. "clear_swap_ms"
// is the main thread's time for a frame that only clears and presents, the share of main_ms that
// is the driver's copying of the picture rather than the game's work.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "game/arcade.h"
#include "game/game.h"
#include "graphics/graphics.h"
#include "shell/units.h"
#include "state/state.h"

namespace {

double ThreadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void GameFrame(benchmark::State& state) {
  char pattern[] = "/tmp/thornfall-bench-XXXXXX";
  const char* data = mkdtemp(pattern);
  if (data) setenv("XDG_DATA_HOME", data, 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("ALSOFT_DRIVERS", "null", 1);
  UtilSetAppFolder(THORNFALL_GAME_DIR);
  UtilSetCommandLine(std::vector<std::string>{"-novsync"});
  const shellGameHooks hooks = GameHooks();
  ShellStartUnits(hooks);
  MainFormCreate(hooks);
  if (!GameInitDisplay() || !GameInit()) {
    state.SkipWithError("the game did not start");
    return;
  }
  GameSetFullscreen(false);
  StateChange(kGameStateGame);
  GameProcessFrame();
  double mainMs = 0, bareMs = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    while (ArcadeDrops().size() < 20) {
      ArcadeDropShoot(40 + static_cast<int32_t>(ArcadeDrops().size()) * 60, 0, 1);
    }
    const double before = ThreadMs();
    GameProcessFrame();
    const double between = ThreadMs();
    // The same display cleared and presented with nothing drawn: the driver's part of a frame.
    GraphicsRenderBegin(GameDisplayId());
    GraphicsRenderEnd(GameDisplayId());
    mainMs += between - before;
    bareMs += ThreadMs() - between;
    ++frames;
  }
  state.counters["main_ms"] = mainMs / static_cast<double>(frames);
  state.counters["clear_swap_ms"] = bareMs / static_cast<double>(frames);
  state.counters["buildings_standing"] = ArcadeBuildingStanding(1) + ArcadeBuildingStanding(2) +
                                         ArcadeBuildingStanding(3) + ArcadeBuildingStanding(4);
  GameShutdown();
  MainFormFree();
  ShellEndUnits();
  std::error_code error;
  if (data) std::filesystem::remove_all(data, error);
}
BENCHMARK(GameFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();

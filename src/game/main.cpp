// Program entry: the shell runs the game.
#include "core/util.h"
#include "game/game.h"

int main(int argc, char** argv) {
  UtilSetCommandLine(argc, argv);
  return ShellMain(GameHooks());
}

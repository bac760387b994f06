// Program entry: starts the framework units, runs the game, ends the units in reverse order.
#include "core/util.h"
#include "shell/units.h"

int main(int argc, char** argv) {
  UtilSetCommandLine(argc, argv);
  ShellStartUnits();
  ShellEndUnits();
  return 0;
}

// The framework units' start and end steps, run in one fixed order (ends in reverse).
#pragma once

#include "shell/shell.h"

// Starts the log, then every unit in order, the game's start step last.
void ShellStartUnits(const shellGameHooks& hooks);
// Runs the end steps of the started units in reverse order, the game's first.
void ShellEndUnits();

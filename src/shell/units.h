// The framework units' start and end steps, run in one fixed order (ends in reverse).
#pragma once

// Starts the log and then every unit in order.
void ShellStartUnits();
// Runs the end steps of the started units in reverse order.
void ShellEndUnits();

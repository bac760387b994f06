// Mode lists of monitors as plain data: building them from a monitor's enumeration and searching
// them. Also the hook by which tests give the unit monitors of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "platform/platform.h"

// Smallest mode that is kept: narrower, lower or shallower modes are skipped.
constexpr uint32_t kMinModeWidth = 640;
constexpr uint32_t kMinModeHeight = 480;
constexpr uint32_t kMinModeBits = 16;

// Builds a monitor's lists from its modes in enumeration order. Each accepted mode is inserted
// where a walk from the front stops: past entries of smaller width, then past entries of smaller
// height, then past entries of fewer bits. unique drops every mode equal in width, height and
// bits to the last one kept.
void GraphicsMonitorModesBuild(const std::vector<platformMode>& modes, std::vector<graphicsMode>& all,
                               std::vector<graphicsMode>& unique);

// First mode of the list with that width, height and bits: its index, or -1.
int32_t GraphicsModeListFind(const std::vector<graphicsMode>& list, uint32_t width, uint32_t height,
                             uint32_t bits);

// "<width>x<height> <bits>-bit color"; empty when any of the three is 0.
std::string GraphicsModeText(const graphicsMode& mode);

// Replaces the unit's monitor lists (tests).
void GraphicsMonitorsInstall(std::vector<graphicsMonitor> monitors);

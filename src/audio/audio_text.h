// Internal to the audio unit: pieces of its log messages.
#pragma once

#include <string>

// A file name (or word) between double quotes, as the messages show it.
inline std::string AudioQuoted(const std::string& text) { return "\"" + text + "\""; }

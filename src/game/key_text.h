// The text a key press gives a screen script: the key's name upper-cased, a blank for Space,
// shifted punctuation and digits while Shift is held, letters lower-case without Shift.
#pragma once

#include <string>

std::string GameKeyText(const std::string& keyName, bool shift);

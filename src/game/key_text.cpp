#include "game/key_text.h"

#include <cctype>
#include <cstring>

#include "core/util.h"

std::string GameKeyText(const std::string& keyName, bool shift) {
  std::string text = UtilUpper(keyName);
  if (text == "SPACE") return " ";
  if (text.size() != 1) return text;
  const char c = text[0];
  if (std::isalpha(static_cast<unsigned char>(c))) {
    if (!shift) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
  // Each character of the first row and, below it, what Shift makes of it.
  static const char kPlain[] = "',-./0123456789;=[\\]`";
  static const char kShifted[] = "\"<_>?)!@#$%^&*(:+{|}~";
  const char* at = shift && c != '\0' ? std::strchr(kPlain, c) : nullptr;
  if (at != nullptr) text[0] = kShifted[at - kPlain];
  return text;
}

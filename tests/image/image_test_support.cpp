#include "image/image_test_support.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/test_support.h"

namespace tftest {

bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveTool(const std::string& name) { return RunCommand("command -v '" + name + "' >/dev/null 2>&1"); }

namespace {

// Reads the next header token of a PNM file, skipping white space and comments.
std::string Token(const std::string& text, size_t& position) {
  while (position < text.size()) {
    if (text[position] == '#') {
      while (position < text.size() && text[position] != '\n') ++position;
    } else if (std::isspace(static_cast<unsigned char>(text[position]))) {
      ++position;
    } else {
      break;
    }
  }
  size_t start = position;
  while (position < text.size() && !std::isspace(static_cast<unsigned char>(text[position]))) ++position;
  return text.substr(start, position - start);
}

}  // namespace

bool ReadPam(const std::string& path, RgbaPicture& picture) {
  std::string text = ReadFile(path);
  size_t position = 0;
  std::string magic = Token(text, position);
  int depth = 0;
  int maxval = 0;
  picture = RgbaPicture{};
  if (magic == "P7") {
    for (std::string key = Token(text, position); key != "ENDHDR" && !key.empty(); key = Token(text, position)) {
      if (key == "TUPLTYPE") {
        Token(text, position);
        continue;
      }
      int value = std::atoi(Token(text, position).c_str());
      if (key == "WIDTH") picture.width = value;
      if (key == "HEIGHT") picture.height = value;
      if (key == "DEPTH") depth = value;
      if (key == "MAXVAL") maxval = value;
    }
  } else if (magic == "P6" || magic == "P5") {
    picture.width = std::atoi(Token(text, position).c_str());
    picture.height = std::atoi(Token(text, position).c_str());
    maxval = std::atoi(Token(text, position).c_str());
    depth = magic == "P6" ? 3 : 1;
  } else {
    return false;
  }
  ++position;  // the single white-space byte before the samples
  size_t count = static_cast<size_t>(picture.width) * picture.height;
  if (maxval != 255 || depth < 1 || depth > 4 || text.size() < position + count * depth) return false;
  picture.pixels.resize(count);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data() + position);
  for (size_t i = 0; i < count; ++i, bytes += depth) {
    uint32_t r = bytes[0], g = bytes[depth >= 3 ? 1 : 0], b = bytes[depth >= 3 ? 2 : 0];
    uint32_t a = depth == 4 ? bytes[3] : depth == 2 ? bytes[1] : 255;
    picture.pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
  return true;
}

bool WritePam(const std::string& path, const RgbaPicture& picture) {
  std::ostringstream out;
  out << "P7\nWIDTH " << picture.width << "\nHEIGHT " << picture.height
      << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  std::string bytes = out.str();
  for (uint32_t p : picture.pixels) {
    bytes += static_cast<char>((p >> 16) & 0xFF);
    bytes += static_cast<char>((p >> 8) & 0xFF);
    bytes += static_cast<char>(p & 0xFF);
    bytes += static_cast<char>(p >> 24);
  }
  return WriteFile(path, bytes);
}

std::string TestDataFolder() {
  std::string folder = THORNFALL_TESTDATA;
  return FileExists(folder + "/MANIFEST.md") ? folder + "/" : std::string();
}

}  // namespace tftest

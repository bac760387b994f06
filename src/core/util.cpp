#include "core/util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "core/log.h"

namespace {

std::vector<std::string> gParameters;
std::string gAppFolderOverride;

bool EndsWithSeparator(const std::string& folder) {
  return !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
}

std::string WithSeparator(std::string folder) {
  if (!EndsWithSeparator(folder)) folder += '/';
  return folder;
}

// Creates one folder level; true when it exists afterwards.
bool EnsureFolder(const std::string& path) {
  if (UtilFolderExists(path)) return true;
  mkdir(path.c_str(), 0755);
  return UtilFolderExists(path);
}

// Creates every missing level of an absolute folder path; true when it exists afterwards.
bool EnsureFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    EnsureFolder(path.substr(0, slash));
  }
  return EnsureFolder(path);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

// Value of XDG_PICTURES_DIR in the user's user-dirs.dirs, with "$HOME" expanded; empty when absent.
std::string PicturesFromUserDirs() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string config = (configHome && *configHome) ? configHome : HomeFolder() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 17, "XDG_PICTURES_DIR=") != 0) continue;
    std::string value = line.substr(start + 17);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    return value;
  }
  return {};
}

}  // namespace

void UtilStart() { LogVersion("fwkUtilities - Version 1.0"); }

void UtilEnd() {}

void UtilSetCommandLine(int argc, char** argv) {
  gParameters.clear();
  for (int i = 1; i < argc; ++i) gParameters.emplace_back(argv[i]);
}

void UtilSetCommandLine(const std::vector<std::string>& parameters) { gParameters = parameters; }

const std::vector<std::string>& UtilParameters() { return gParameters; }

std::string UtilAppPath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<size_t>(length));
}

std::string UtilAppFolder() {
  if (!gAppFolderOverride.empty()) return gAppFolderOverride;
  std::string path = UtilAppPath();
  size_t slash = path.rfind('/');
  return WithSeparator(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
}

void UtilSetAppFolder(const std::string& folder) {
  gAppFolderOverride = folder.empty() ? std::string() : WithSeparator(folder);
}

std::string UtilUserDataFolder() {
  std::string result = UtilAppFolder();
  if (UtilSwitchPresent("-userdatainapp")) return result;

  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome && dataHome[0] == '/') {
    base = dataHome;
  } else {
    std::string home = HomeFolder();
    if (home.empty()) return result;
    base = home + "/.local/share";
  }
  // The data home is created when missing, as the system's own folder service does.
  if (!EnsureFolders(base)) return result;
  std::string folder = WithSeparator(base);

  std::string company = UtilVersionString("CompanyName");
  if (!company.empty()) {
    folder += company + "/";
    EnsureFolder(folder);
  }
  if (!UtilFolderExists(folder)) return result;
  std::string product = UtilVersionString("ProductName");
  if (product.empty()) return result;
  folder += product + "/";
  return EnsureFolder(folder) ? folder : result;
}

std::string UtilPicturesFolder() {
  std::string folder = PicturesFromUserDirs();
  if (folder.empty() || folder[0] != '/') {
    std::string home = HomeFolder();
    if (home.empty()) return {};
    folder = home + "/Pictures";
  }
  if (!EnsureFolders(folder)) return {};
  return WithSeparator(folder);
}

std::string UtilVersionString(const std::string& name) {
  if (name == "CompanyName") return THORNFALL_COMPANY_NAME;
  if (name == "ProductName") return THORNFALL_PRODUCT_NAME;
  if (name == "FileVersion" || name == "ProductVersion") return THORNFALL_VERSION;
  if (name == "FileDescription" || name == "InternalName") return THORNFALL_PRODUCT_NAME;
  return {};
}

bool UtilSwitchPresent(const std::string& name) {
  std::string wanted = UtilUpper(name);
  for (const std::string& parameter : gParameters) {
    if (UtilUpper(parameter) == wanted) return true;
  }
  return false;
}

int32_t UtilSwitchValue(const std::string& name, int32_t defaultValue) {
  std::string wanted = UtilUpper(name);
  for (size_t i = 0; i + 1 < gParameters.size(); ++i) {
    int32_t value = 0;
    if (UtilUpper(gParameters[i]) == wanted && UtilTextToInteger(gParameters[i + 1], value)) return value;
  }
  return defaultValue;
}

std::string UtilRegistryValue(const std::string&, const std::string&) { return {}; }

bool UtilIsInteger(const std::string& text) {
  size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (start == text.size()) return false;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

bool UtilTextToInteger(const std::string& text, int32_t& value) {
  if (!UtilIsInteger(text)) return false;
  bool negative = text[0] == '-';
  int64_t magnitude = 0;
  for (size_t i = negative ? 1 : 0; i < text.size(); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return false;
  }
  int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX) return false;
  value = static_cast<int32_t>(result);
  return true;
}

bool UtilIsPositiveInteger(const std::string& text) {
  if (!UtilIsInteger(text) || text[0] == '-') return false;
  // Any digit other than a leading zero makes the value positive, however long the text.
  return text.find_first_not_of('0') != std::string::npos;
}

int32_t UtilClamp(int32_t value, int32_t a, int32_t b) {
  if (b < a) std::swap(a, b);
  if (value < a) return a;
  if (value > b) return b;
  return value;
}

int32_t UtilInterpolate(int32_t out0, int32_t out1, int32_t in0, int32_t in1, int32_t x) {
  if (in0 == in1) return out0;
  // Signed 64-bit arithmetic: the same answers as 32-bit unsigned arithmetic wherever that one does
  // not wrap, and right answers for falling ranges and points below in0, where it would.
  int64_t step = (int64_t{x} - in0) * (int64_t{out1} - out0) / (int64_t{in1} - in0);
  return static_cast<int32_t>(out0 + step);
}

std::string UtilMonthName(int32_t month) {
  static const char* const kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return {};
  return kNames[month - 1];
}

std::string UtilPadLeft(const std::string& text, char character, int32_t width) {
  if (width <= 0 || text.size() >= static_cast<size_t>(width)) return text;
  return std::string(static_cast<size_t>(width) - text.size(), character) + text;
}

std::string UtilTrim(const std::string& text, const char* blanks) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string UtilUpper(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

namespace {

// Exchange sort: passes over neighbours until one swaps nothing; swaps only on strict order.
template <typename T, typename Before>
void ExchangeSort(std::vector<T>& items, Before before) {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (size_t i = 1; i < items.size(); ++i) {
      if (before(items[i], items[i - 1])) {
        std::swap(items[i], items[i - 1]);
        swapped = true;
      }
    }
  }
}

}  // namespace

void UtilArrayStringSortAscending(utilArrayString& array) {
  ExchangeSort(array, [](const std::string& a, const std::string& b) { return a < b; });
}

void UtilArrayStringSortDescending(utilArrayString& array) {
  ExchangeSort(array, [](const std::string& a, const std::string& b) { return a > b; });
}

bool UtilArrayStringContains(const std::string& text, const utilArrayString& array) {
  for (const std::string& item : array) {
    if (item == text) return true;
  }
  return false;
}

void UtilSortPairs(std::vector<utilPair>& pairs) {
  ExchangeSort(pairs, [](const utilPair& a, const utilPair& b) { return a.key < b.key; });
}

uint32_t UtilSwapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

bool UtilFolderExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool UtilFileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

uint32_t UtilTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void UtilSleep(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

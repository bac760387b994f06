// Small shared services: folders, command-line switches, version texts, text/number/array helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using utilArrayLong = std::vector<int32_t>;
using utilArrayString = std::vector<std::string>;

// One element of the array that UtilSortPairs sorts: a key and the caller's item.
struct utilPair {
  int32_t key;
  void* reference;
};

// Unit start and end steps (version line; releases what the folder queries kept).
void UtilStart();
void UtilEnd();

// The command line without the program name. The entry sets it once; tests and tools set their own.
void UtilSetCommandLine(int argc, char** argv);
void UtilSetCommandLine(const std::vector<std::string>& parameters);
const std::vector<std::string>& UtilParameters();

// Full path of the running program, from /proc/self/exe.
std::string UtilAppPath();
// Folder of the running program, ending in "/".
std::string UtilAppFolder();
// Makes UtilAppFolder answer the given folder instead (tools and tests); empty text undoes it.
void UtilSetAppFolder(const std::string& folder);
// $XDG_DATA_HOME (or ~/.local/share) + company + "/" + product + "/", created when missing;
// the program folder with "-userdatainapp" or when any step fails.
std::string UtilUserDataFolder();
// The user's pictures folder with a trailing "/", or empty text.
std::string UtilPicturesFolder();
// A text of the program's own version information ("CompanyName", "ProductName",
// "FileVersion", "ProductVersion", "FileDescription"); empty when unknown.
std::string UtilVersionString(const std::string& name);
// Whether some parameter equals the switch as a whole, in any letter case.
bool UtilSwitchPresent(const std::string& name);
// The integer parameter after the first occurrence of the switch that has one, else the default.
int32_t UtilSwitchValue(const std::string& name, int32_t defaultValue);
// There is no registry on this system: always empty text.
std::string UtilRegistryValue(const std::string& keyPath, const std::string& valueName);

// Digits with at most one leading "-" (not "-" alone); no "+", no spaces.
bool UtilIsInteger(const std::string& text);
bool UtilIsPositiveInteger(const std::string& text);
// The value of a text that passes UtilIsInteger and fits in 32 bits; false otherwise.
bool UtilTextToInteger(const std::string& text, int32_t& value);
int32_t UtilClamp(int32_t value, int32_t a, int32_t b);
int32_t UtilInterpolate(int32_t out0, int32_t out1, int32_t in0, int32_t in1, int32_t x);
std::string UtilMonthName(int32_t month);
std::string UtilPadLeft(const std::string& text, char character, int32_t width);
// ASCII letters upper-cased; other bytes unchanged (names are compared this way).
std::string UtilUpper(const std::string& text);
// The text without the `blanks` at its start and end.
std::string UtilTrim(const std::string& text, const char* blanks = " \t");

void UtilArrayStringSortAscending(utilArrayString& array);
void UtilArrayStringSortDescending(utilArrayString& array);
bool UtilArrayStringContains(const std::string& text, const utilArrayString& array);
void UtilSortPairs(std::vector<utilPair>& pairs);
uint32_t UtilSwapRedBlue(uint32_t colour);

// The system's millisecond tick: a 32-bit count that wraps after about 49 days.
uint32_t UtilTickCount();
// Waits the given number of milliseconds.
void UtilSleep(uint32_t milliseconds);

// Whether a folder or file exists on the disk at this exact path.
bool UtilFolderExists(const std::string& path);
bool UtilFileExists(const std::string& path);

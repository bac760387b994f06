// Whole-file replaces that never leave a half-written file: settings, saves, scores, screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes the bytes to a temporary file beside the target ("<path>.tmp<pid>"), flushes it to the
// disk and renames it over the target, so the target is always either the old file or the whole
// new one. False (target untouched, temporary file removed) when any step fails.
bool FileReplaceWrite(const std::string& path, const std::string& bytes);
bool FileReplaceWrite(const std::string& path, const std::vector<uint8_t>& bytes);

// Removes the temporary files that replaces in this folder left when their process died
// (".tmp<pid>" names whose process no longer runs); returns how many went.
int32_t FileReplaceRemoveStale(const std::string& folder);

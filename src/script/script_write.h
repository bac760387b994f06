// Writing script files: a script's parts (routine names, object records, listener and code)
// turned into the file's bytes through the format's field table, with the fields that the
// version lacks left out. Used by the compiler and by the tests that lay out files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "script/script_internal.h"

// The parts of a script file; objects use the loader's records (only the fields that the file
// holds are written: the part of the object's own type, positions from its frame sets).
struct scriptFile {
  int32_t version = kScriptVersionMax;
  std::vector<std::string> routines;
  std::vector<objEntry> objects;
  uint8_t listenerPresent = 0;
  int32_t listenerAddress = 0;
  std::vector<uint8_t> code;
};

// A text field: its byte length, then the characters (the caller keeps it below 256 bytes).
void ScriptFileWriteText(ByteWriter& out, const std::string& text);
void ScriptFileWriteFrames(ByteWriter& out, int32_t version, const frameSet& set);
void ScriptFileWriteObject(ByteWriter& out, int32_t version, const objEntry& object);
std::vector<uint8_t> ScriptFileWrite(const scriptFile& file);

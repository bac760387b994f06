// The settings file "settings.ini": typed reads and writes of section/key values.
#pragma once

#include <cstdint>
#include <string>

void IniStart();
void IniEnd();

// Reads come from the user's settings file, else from the one shipped next to the program.
std::string IniReadString(const std::string& section, const std::string& key, const std::string& defaultValue);
int32_t IniReadInteger(const std::string& section, const std::string& key, int32_t defaultValue);
bool IniReadBool(const std::string& section, const std::string& key, bool defaultValue);

// Writes always go to the user's settings file; a write that fails is logged and dropped.
bool IniWriteString(const std::string& section, const std::string& key, const std::string& value);
bool IniWriteInteger(const std::string& section, const std::string& key, int32_t value);
bool IniWriteBool(const std::string& section, const std::string& key, bool value);

// Gathers the writes that follow into one replace of the file at IniWriteCommit (shutdown writes
// several keys, and a kill between separate replaces would leave a mix of two runs). Reads in
// between see the gathered values. Batches nest: only the outermost commit writes. The end step
// commits a batch left open.
void IniWriteBegin();
// False (logged) when the file could not be written; true when no batch was open.
bool IniWriteCommit();

// Path of the file that writes go to.
std::string IniFilePath();

// What the screen language knows about the engine by name: each object kind's declaration
// attributes (mapped onto the file's fields), its run-time attributes with their get and set
// numbers, and the system routines with their parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vmcc {

inline constexpr int32_t kTypeNone = -1;  // a routine without a result
inline constexpr int32_t kTypeInt = 0;    // the value kinds of the engine
inline constexpr int32_t kTypeBool = 1;
inline constexpr int32_t kTypeText = 2;

std::string TypeName(int32_t type);

// A declaration attribute: its name in the language and the file field it fills.
struct declAttribute {
  const char* name;
  const char* field;  // the field's name in the format table
};

// An attribute reachable from code: get and set numbers (-1 where the engine has none).
struct codeAttribute {
  const char* name;
  int32_t get;
  int32_t set;
  int32_t type;
  bool indexed = false;  // list items, icons and values: name[index]
};

struct kindInfo {
  const char* word;  // the declaration keyword: button, label, ...
  int32_t type;      // the file's object type
  std::vector<declAttribute> declared;
  std::vector<codeAttribute> attributes;
};

const std::vector<kindInfo>& Kinds();
const kindInfo* KindFind(const std::string& word);
const kindInfo* KindOfType(int32_t type);
const codeAttribute* AttributeFind(const kindInfo& kind, const std::string& name);
std::string AttributeNames(const kindInfo& kind);

// A system routine: the engine's number, the inputs in the order the language takes them (each
// the parameter number it fills), and its one output, if any, which is the call's value.
struct systemInput {
  int32_t type;
  int32_t parameter;  // 1 = pushed last
};

struct systemRoutine {
  const char* name;
  int32_t number;
  std::vector<systemInput> inputs;
  int32_t output;  // kTypeNone or the output's type; it is parameter inputs.size() + 1
};

const systemRoutine* SystemRoutineFind(const std::string& name);
const std::vector<systemRoutine>& SystemRoutines();

}  // namespace vmcc

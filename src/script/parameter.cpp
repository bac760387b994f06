#include "script/parameter.h"

#include "core/util.h"

parameter ParameterInteger(int32_t value) {
  parameter result;
  result.integer = value;
  return result;
}

parameter ParameterBoolean(bool value) {
  parameter result;
  result.kind = kParameterBoolean;
  result.boolean = value ? 1 : 0;
  return result;
}

parameter ParameterText(std::string value) {
  parameter result;
  result.kind = kParameterText;
  result.text = std::move(value);
  return result;
}

int32_t ParameterToInteger(const parameter& value) {
  switch (value.kind) {
    case kParameterInteger: return value.integer;
    case kParameterBoolean: return value.boolean != 0 ? 1 : 0;
    case kParameterText: {
      // A digit text outside the 32-bit range is no valid integer: 0, like any other text.
      int32_t number = 0;
      return UtilTextToInteger(value.text, number) ? number : 0;
    }
    default: return 0;
  }
}

bool ParameterToBoolean(const parameter& value) {
  switch (value.kind) {
    case kParameterInteger: return value.integer != 0;
    case kParameterBoolean: return value.boolean != 0;
    case kParameterText: return UtilUpper(value.text) == "TRUE";
    default: return false;
  }
}

std::string ParameterToText(const parameter& value) {
  switch (value.kind) {
    case kParameterInteger: return std::to_string(value.integer);
    case kParameterBoolean: return value.boolean != 0 ? "true" : "false";
    case kParameterText: return value.text;
    default: return {};
  }
}

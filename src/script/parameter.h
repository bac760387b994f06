// Script values: integers, booleans and texts, and the conversions every script operation uses.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kParameterInteger = 0;
inline constexpr int32_t kParameterBoolean = 1;
inline constexpr int32_t kParameterText = 2;

// One value (also one stack slot of a script thread). Only the field of its kind is meaningful.
struct parameter {
  int32_t kind = kParameterInteger;
  int32_t integer = 0;
  uint8_t boolean = 0;
  std::string text;
};

parameter ParameterInteger(int32_t value);
parameter ParameterBoolean(bool value);
parameter ParameterText(std::string value);

// Integer: itself; false 0, true 1; a valid integer text that fits in 32 bits, else 0.
int32_t ParameterToInteger(const parameter& value);
// Boolean: integer not 0; itself; a text that upper-cased is exactly "TRUE".
bool ParameterToBoolean(const parameter& value);
// Text: decimal digits with "-" for negatives; "true" or "false"; itself.
std::string ParameterToText(const parameter& value);

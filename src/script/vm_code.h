// Script byte code: the instruction set table, the bounds-checked decoder that the interpreter and
// the disassembler share, and a disassembler/assembler pair that reproduces code byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/parameter.h"

// How the code of one script is to be read.
struct vmCodeFormat {
  // Text literals carry a 16-bit length from file version 9 on, one byte before it.
  bool wideTexts = true;
  // The kind of each object (file order). Lists take an index operand on some attributes; an
  // object not in this array is read as taking none.
  std::vector<int32_t> objectKinds;
};

inline constexpr int32_t kVmObjectKindList = 5;
inline constexpr uint8_t kVmAttributeOrder = 255;

// What follows an opcode byte, in order. The flag of a value operand says literal or variable.
enum class vmShape : uint8_t {
  kNone,
  kAddress,           // int32 code offset
  kValueA,            // value operand, variable when flagA is set
  kValueB,            // value operand, variable when flagB is set
  kVariableA,         // variable reference; flagA must be set
  kDestinationB,      // variable reference; flagB must be set
  kRoutine,           // uint16 routine index or number
  kObject,            // uint16 object index
  kAttribute,         // one byte
  kAttributeSetTail,  // [index operand for list items] then a value operand (flagA)
  kAttributeGetTail,  // [index operand for list items]
};

enum vmOpcode : uint8_t {
  kOpReturn = 0,
  kOpCall = 1,
  kOpNot = 5,
  kOpJump = 10,
  kOpJumpNotEqual = 11,
  kOpJumpEqual = 12,
  kOpJumpGreaterEqual = 13,
  kOpJumpLess = 14,
  kOpJumpGreater = 15,
  kOpJumpLessEqual = 16,
  kOpMove = 17,
  kOpAdd = 18,
  kOpSubtract = 19,
  kOpAnd = 20,
  kOpOr = 21,
  kOpMultiply = 22,
  kOpDivide = 23,
  kOpModulo = 24,
  kOpPush = 25,
  kOpPop = 26,
  kOpCallAppRoutine = 31,
  kOpCallSystemRoutine = 32,
  kOpSetAttribute = 33,
  kOpGetAttribute = 34,
  kOpNoOperation = 35,
  kOpWait = 36,
  kOpFork = 37,
};

inline constexpr int kVmMaxOperands = 3;

struct vmInstruction {
  uint8_t opcode;
  const char* name;
  vmShape operands[kVmMaxOperands];
  const char* effect;
};

// The table entry of the low six bits of an opcode byte; nullptr for an opcode that ends a thread.
const vmInstruction* VmInstructionFind(uint8_t opcodeByte);
// The entry of a name (compared as written); nullptr when there is none.
const vmInstruction* VmInstructionFindByName(const std::string& name);
// Every defined instruction in opcode order.
const std::vector<vmInstruction>& VmInstructions();

// Variable reference modes (mode byte of a variable operand).
inline constexpr uint8_t kVmModeBaseMinus = 1;
inline constexpr uint8_t kVmModeBasePlus = 2;
// Index operand modes: 0 slot n, 1 base - n, 2 base + n, 3 n itself.
inline constexpr uint8_t kVmIndexImmediate = 3;

// One operand as it stands in the code.
struct vmOperand {
  vmShape shape = vmShape::kNone;
  bool variable = false;  // a value operand that is a variable reference
  bool hasIndex = false;  // an attribute tail with a list index operand
  uint8_t mode = 0;       // variable or index mode
  int32_t number = 0;     // n of a variable, address, routine, object or attribute number
  uint8_t indexMode = 0;
  int32_t indexNumber = 0;
  parameter literal;      // a literal value operand
};

struct vmDecoded {
  uint8_t opcodeByte = 0;
  const vmInstruction* instruction = nullptr;
  int operandCount = 0;
  vmOperand operands[kVmMaxOperands];
  // Opcode flag bits that no operand accounts for (kept so the bytes can be written again).
  uint8_t spareFlags = 0;
  size_t length = 0;
  // Set by the interpreter for the two instructions of a counting loop in their commonest form
  // (an integer literal and a slot at base + n), so it can skip the general operand reading.
  uint8_t fast = 0;
  int32_t fastSlot = 0;
  int32_t fastValue = 0;
};

// Decodes the instruction at offset. False for an unknown opcode, a truncated instruction or an
// invalid operand encoding (literal kind, boolean byte, index mode, a missing required flag).
bool VmDecode(const uint8_t* code, size_t size, size_t offset, const vmCodeFormat& format, vmDecoded& out);

// The text form, one instruction per line ("  000006  Add 1, [b+0]"):
//   an offset column (six or more hex digits, ignored when read back), the name, the operands
//   separated by commas; a name suffix ".a", ".b" or ".ab" keeps flag bits no operand uses;
//   literals 5, -3, true, false, "text" (\" \\ and \xHH escapes); variables [b+n] (mode 2),
//   [b-n] (mode 1), [n] (mode 0), [m:n] (any other mode m); list indexes i[b+n], i[b-n], i[n] and
//   #n (the number itself); addresses as a label or @n; object, attribute and routine numbers in
//   decimal; "name:" defines a label; ".byte 0x4C 0x02 ..." writes bytes as they stand; ";" starts
//   a comment.
// The disassembler writes a label line "Lxxxx:" before every jump target that starts a line
// (a target inside an instruction is written @n) and bytes that are no instruction as ".byte".
std::string VmDisassembleCode(const std::vector<uint8_t>& code, const vmCodeFormat& format = {});
// Reads the disassembler's text back into bytes. False with a message "line N: ..." on an error.
bool VmAssembleCode(const std::string& text, std::vector<uint8_t>& bytes, std::string& error,
                    const vmCodeFormat& format = {});

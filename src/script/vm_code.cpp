#include "script/vm_code.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "core/bytes.h"

namespace {

using S = vmShape;

// ---------------------------------------------------------------------------------------------
// The instruction set. One opcode byte, then the operands of its shape list:
//
//     bit  7       6       5   4   3   2   1   0
//        +-------+-------+-----------------------+
//        | flagB | flagA |   instruction 0..63   |
//        +-------+-------+-----------------------+
//
//   flagA: the first value operand is a variable reference (else a literal)
//   flagB: the second value operand (or the destination, which requires it) is a variable
//
//   literal   : kind u8; 0 -> int32; 1 -> u8 that is 0 or 1; 2 -> length (u8, or u16 from file
//               version 9), then the bytes
//   variable  : mode u8, int32 n; mode 2 slot base+n, mode 1 slot base-n, else slot n
//   index     : mode u8, int32 n; 0 value of slot n, 1 of base-n, 2 of base+n, 3 n itself
//   address   : int32 offset into the code;   routine, object: u16;   attribute: u8
//
// Opcodes missing from the table end the thread.
// ---------------------------------------------------------------------------------------------
const std::vector<vmInstruction> kInstructions = {
    {kOpReturn, "Return", {}, "pop a call frame and continue there; an empty call stack ends the thread"},
    {kOpCall, "Call", {S::kAddress}, "push (next offset, base); base := stack length; continue at address"},
    {kOpNot, "Not", {S::kVariableA}, "integer complement, boolean toggle, text TRUE/FALSE inverted"},
    {kOpJump, "Jump", {S::kAddress}, "continue at address"},
    {kOpJumpNotEqual, "JumpNotEqual", {S::kValueA, S::kValueB, S::kAddress}, "jump if A != B"},
    {kOpJumpEqual, "JumpEqual", {S::kValueA, S::kValueB, S::kAddress}, "jump if A = B"},
    {kOpJumpGreaterEqual, "JumpGreaterEqual", {S::kValueA, S::kValueB, S::kAddress}, "jump if A >= B"},
    {kOpJumpLess, "JumpLess", {S::kValueA, S::kValueB, S::kAddress}, "jump if A < B"},
    {kOpJumpGreater, "JumpGreater", {S::kValueA, S::kValueB, S::kAddress}, "jump if A > B"},
    {kOpJumpLessEqual, "JumpLessEqual", {S::kValueA, S::kValueB, S::kAddress}, "jump if A <= B"},
    {kOpMove, "Move", {S::kValueA, S::kDestinationB}, "D := V converted to the kind of D"},
    {kOpAdd, "Add", {S::kValueA, S::kDestinationB}, "D := D + V by the kind of D"},
    {kOpSubtract, "Subtract", {S::kValueA, S::kDestinationB}, "D := D - V; on texts cuts an ending"},
    {kOpAnd, "And", {S::kValueA, S::kDestinationB}, "D := D and V"},
    {kOpOr, "Or", {S::kValueA, S::kDestinationB}, "D := D or V"},
    {kOpMultiply, "Multiply", {S::kValueA, S::kDestinationB}, "D := D * V"},
    {kOpDivide, "Divide", {S::kValueA, S::kDestinationB}, "D := D / V, truncated; 0 for V = 0"},
    {kOpModulo, "Modulo", {S::kValueA, S::kDestinationB}, "D := D mod V, sign of D; 0 for V = 0"},
    {kOpPush, "Push", {S::kValueA}, "append a copy of the value to the stack"},
    {kOpPop, "Pop", {}, "remove the top slot"},
    {kOpCallAppRoutine, "CallAppRoutine", {S::kRoutine}, "run the script's app routine of that index"},
    {kOpCallSystemRoutine, "CallSystemRoutine", {S::kRoutine}, "run a system routine"},
    {kOpSetAttribute, "SetAttribute", {S::kObject, S::kAttribute, S::kAttributeSetTail},
     "set an object attribute (255: the order)"},
    {kOpGetAttribute, "GetAttribute", {S::kObject, S::kAttribute, S::kAttributeGetTail},
     "push an object attribute (255: the order)"},
    {kOpNoOperation, "NoOperation", {}, "nothing"},
    {kOpWait, "Wait", {}, "yield until the next update"},
    {kOpFork, "Fork", {S::kAddress}, "copy the thread (it resumes after the Fork); continue at address"},
};

const std::array<const vmInstruction*, 64> kByOpcode = [] {
  std::array<const vmInstruction*, 64> table{};
  for (const vmInstruction& instruction : kInstructions) table[instruction.opcode] = &instruction;
  return table;
}();

int OperandCount(const vmInstruction& instruction) {
  int count = 0;
  while (count < kVmMaxOperands && instruction.operands[count] != S::kNone) ++count;
  return count;
}

// List attributes whose value sits at an index (set and get numbering differ).
bool ListAttributeIndexed(bool set, int32_t attribute) {
  if (set) return attribute == 5 || attribute == 15 || attribute == 16;
  return attribute == 5 || attribute == 20 || attribute == 21;
}

class CodeReader {
 public:
  CodeReader(const uint8_t* code, size_t size, size_t offset) : code_(code), size_(size), at_(offset) {}
  bool U8(uint8_t& value) {
    if (at_ >= size_) return false;
    value = code_[at_++];
    return true;
  }
  bool U16(uint16_t& value) {
    if (size_ - at_ < 2 || at_ > size_) return false;
    value = LoadLe16(code_ + at_);
    at_ += 2;
    return true;
  }
  bool I32(int32_t& value) {
    if (size_ - at_ < 4 || at_ > size_) return false;
    value = static_cast<int32_t>(LoadLe32(code_ + at_));
    at_ += 4;
    return true;
  }
  bool Text(size_t length, std::string& text) {
    if (size_ - at_ < length) return false;
    text.assign(reinterpret_cast<const char*>(code_ + at_), length);
    at_ += length;
    return true;
  }
  size_t At() const { return at_; }

 private:
  const uint8_t* code_;
  size_t size_;
  size_t at_;
};

bool DecodeLiteral(CodeReader& reader, bool wideTexts, parameter& value) {
  uint8_t kind = 0;
  if (!reader.U8(kind)) return false;
  value.kind = kind;
  switch (kind) {
    case kParameterInteger: return reader.I32(value.integer);
    case kParameterBoolean: return reader.U8(value.boolean) && value.boolean <= 1;
    case kParameterText: {
      size_t length = 0;
      if (wideTexts) {
        uint16_t wide = 0;
        if (!reader.U16(wide)) return false;
        length = wide;
      } else {
        uint8_t narrow = 0;
        if (!reader.U8(narrow)) return false;
        length = narrow;
      }
      return reader.Text(length, value.text);
    }
    default: return false;
  }
}

bool DecodeValue(CodeReader& reader, bool variable, bool wideTexts, vmOperand& operand) {
  operand.variable = variable;
  if (variable) return reader.U8(operand.mode) && reader.I32(operand.number);
  return DecodeLiteral(reader, wideTexts, operand.literal);
}

}  // namespace

const vmInstruction* VmInstructionFind(uint8_t opcodeByte) { return kByOpcode[opcodeByte & 0x3f]; }

const vmInstruction* VmInstructionFindByName(const std::string& name) {
  for (const vmInstruction& instruction : kInstructions) {
    if (name == instruction.name) return &instruction;
  }
  return nullptr;
}

const std::vector<vmInstruction>& VmInstructions() { return kInstructions; }

bool VmDecode(const uint8_t* code, size_t size, size_t offset, const vmCodeFormat& format, vmDecoded& out) {
  CodeReader reader(code, size, offset);
  uint8_t opcodeByte = 0;
  if (!reader.U8(opcodeByte)) return false;
  const vmInstruction* instruction = VmInstructionFind(opcodeByte);
  if (!instruction) return false;
  const bool flagA = (opcodeByte & 0x40) != 0;
  const bool flagB = (opcodeByte & 0x80) != 0;
  out.opcodeByte = opcodeByte;
  out.instruction = instruction;
  out.operandCount = OperandCount(*instruction);
  uint8_t usedFlags = 0;
  int32_t object = -1;
  int32_t attribute = 0;
  for (int i = 0; i < out.operandCount; ++i) {
    vmOperand& operand = out.operands[i];
    operand = vmOperand{};
    operand.shape = instruction->operands[i];
    bool ok = true;
    switch (operand.shape) {
      case S::kNone: break;
      case S::kAddress: ok = reader.I32(operand.number); break;
      case S::kValueA:
        usedFlags |= 0x40;
        ok = DecodeValue(reader, flagA, format.wideTexts, operand);
        break;
      case S::kValueB:
        usedFlags |= 0x80;
        ok = DecodeValue(reader, flagB, format.wideTexts, operand);
        break;
      case S::kVariableA:
        usedFlags |= 0x40;
        ok = flagA && DecodeValue(reader, true, format.wideTexts, operand);
        break;
      case S::kDestinationB:
        usedFlags |= 0x80;
        ok = flagB && DecodeValue(reader, true, format.wideTexts, operand);
        break;
      case S::kRoutine:
      case S::kObject: {
        uint16_t number = 0;
        ok = reader.U16(number);
        operand.number = number;
        if (operand.shape == S::kObject) object = number;
        break;
      }
      case S::kAttribute: {
        uint8_t number = 0;
        ok = reader.U8(number);
        operand.number = attribute = number;
        break;
      }
      case S::kAttributeSetTail:
      case S::kAttributeGetTail: {
        const bool set = operand.shape == S::kAttributeSetTail;
        const bool list = object >= 0 && static_cast<size_t>(object) < format.objectKinds.size() &&
                          format.objectKinds[object] == kVmObjectKindList;
        if (attribute != kVmAttributeOrder && list && ListAttributeIndexed(set, attribute)) {
          operand.hasIndex = true;
          ok = reader.U8(operand.indexMode) && operand.indexMode <= kVmIndexImmediate &&
               reader.I32(operand.indexNumber);
        }
        if (ok && set) {
          usedFlags |= 0x40;
          ok = DecodeValue(reader, flagA, format.wideTexts, operand);
        }
        break;
      }
    }
    if (!ok) return false;
  }
  out.spareFlags = static_cast<uint8_t>(opcodeByte & 0xc0 & ~usedFlags);
  out.length = reader.At() - offset;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Disassembler
// ---------------------------------------------------------------------------------------------

namespace {

std::string Hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

std::string LabelName(int32_t offset) { return "L" + Hex(static_cast<uint32_t>(offset), 4); }

std::string QuoteText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      out += "\\x" + Hex(c, 2);
    }
  }
  return out + "\"";
}

std::string SlotText(uint8_t mode, int32_t number) {
  const std::string n = std::to_string(number);
  if (mode == kVmModeBasePlus) return "[b+" + n + "]";
  if (mode == kVmModeBaseMinus) return "[b-" + n + "]";
  if (mode == 0) return "[" + n + "]";
  return "[" + std::to_string(mode) + ":" + n + "]";
}

std::string ValueText(const vmOperand& operand) {
  if (operand.variable) return SlotText(operand.mode, operand.number);
  switch (operand.literal.kind) {
    case kParameterInteger: return std::to_string(operand.literal.integer);
    case kParameterBoolean: return operand.literal.boolean ? "true" : "false";
    default: return QuoteText(operand.literal.text);
  }
}

std::string IndexText(const vmOperand& operand) {
  if (operand.indexMode == kVmIndexImmediate) return "#" + std::to_string(operand.indexNumber);
  // Index modes 0-2 name slots as variable modes do.
  return "i" + SlotText(operand.indexMode, operand.indexNumber);
}

}  // namespace

std::string VmDisassembleCode(const std::vector<uint8_t>& code, const vmCodeFormat& format) {
  struct line {
    size_t offset;
    bool decoded;
    vmDecoded instruction;
  };
  std::vector<line> lines;
  std::set<int32_t> starts;
  for (size_t at = 0; at < code.size();) {
    line entry{at, false, {}};
    entry.decoded = VmDecode(code.data(), code.size(), at, format, entry.instruction);
    starts.insert(static_cast<int32_t>(at));
    at += entry.decoded ? entry.instruction.length : 1;
    lines.push_back(std::move(entry));
  }
  std::set<int32_t> labels;
  for (const line& entry : lines) {
    if (!entry.decoded) continue;
    for (int i = 0; i < entry.instruction.operandCount; ++i) {
      const vmOperand& operand = entry.instruction.operands[i];
      if (operand.shape == S::kAddress && starts.count(operand.number)) labels.insert(operand.number);
    }
  }

  std::string text;
  std::string pendingBytes;  // a run of raw bytes, written as one line up to 16 bytes
  size_t pendingCount = 0;
  size_t pendingOffset = 0;
  auto flushBytes = [&] {
    if (pendingCount == 0) return;
    text += "  " + Hex(static_cast<uint32_t>(pendingOffset), 6) + "  .byte" + pendingBytes + "\n";
    pendingBytes.clear();
    pendingCount = 0;
  };
  for (const line& entry : lines) {
    const int32_t offset = static_cast<int32_t>(entry.offset);
    if (labels.count(offset)) {
      flushBytes();
      text += LabelName(offset) + ":\n";
    }
    if (!entry.decoded) {
      if (pendingCount == 0) pendingOffset = entry.offset;
      pendingBytes += " 0x" + Hex(code[entry.offset], 2);
      if (++pendingCount == 16) flushBytes();
      continue;
    }
    flushBytes();
    const vmDecoded& instruction = entry.instruction;
    std::string name = instruction.instruction->name;
    if (instruction.spareFlags) {
      name += ".";
      if (instruction.spareFlags & 0x40) name += "a";
      if (instruction.spareFlags & 0x80) name += "b";
    }
    std::string operands;
    for (int i = 0; i < instruction.operandCount; ++i) {
      const vmOperand& operand = instruction.operands[i];
      std::string shown;
      switch (operand.shape) {
        case S::kAddress:
          shown = labels.count(operand.number) ? LabelName(operand.number) : "@" + std::to_string(operand.number);
          break;
        case S::kValueA:
        case S::kValueB:
        case S::kVariableA:
        case S::kDestinationB: shown = ValueText(operand); break;
        case S::kRoutine:
        case S::kObject:
        case S::kAttribute: shown = std::to_string(operand.number); break;
        case S::kAttributeSetTail:
          if (operand.hasIndex) shown = IndexText(operand) + ", ";
          shown += ValueText(operand);
          break;
        case S::kAttributeGetTail:
          if (operand.hasIndex) shown = IndexText(operand);
          break;
        case S::kNone: break;
      }
      if (shown.empty()) continue;
      operands += (operands.empty() ? " " : ", ") + shown;
    }
    text += "  " + Hex(static_cast<uint32_t>(entry.offset), 6) + "  " + name + operands + "\n";
  }
  flushBytes();
  return text;
}

// ---------------------------------------------------------------------------------------------
// Assembler
// ---------------------------------------------------------------------------------------------

namespace {

// Splits an instruction line into words: blanks and commas separate, quoted texts stay whole.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
      ++i;
      continue;
    }
    if (c == ';') break;
    std::string word;
    if (c == '"') {
      word += c;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i++];
        word += d;
        if (d == '\\' && i < line.size()) {
          word += line[i++];
        } else if (d == '"') {
          closed = true;
          break;
        }
      }
      if (!closed) {
        error = "unterminated text";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '\r') {
        word += line[i++];
      }
    }
    words.push_back(word);
  }
  return true;
}

bool ParseInteger(const std::string& word, int64_t low, int64_t high, int64_t& value) {
  if (word.empty()) return false;
  size_t used = 0;
  try {
    value = std::stoll(word, &used, 0);
  } catch (...) {
    return false;
  }
  return used == word.size() && value >= low && value <= high;
}

bool ParseInt32(const std::string& word, int32_t& value) {
  int64_t wide = 0;
  if (!ParseInteger(word, INT32_MIN, INT32_MAX, wide)) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool UnquoteText(const std::string& word, std::string& text) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"') return false;
  for (size_t i = 1; i + 1 < word.size(); ++i) {
    char c = word[i];
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++i + 1 >= word.size()) return false;
    c = word[i];
    if (c == 'x') {
      if (i + 3 >= word.size()) return false;
      int64_t value = 0;
      if (!ParseInteger("0x" + word.substr(i + 1, 2), 0, 255, value)) return false;
      text += static_cast<char>(value);
      i += 2;
    } else {
      text += c;
    }
  }
  return true;
}

// "[b+n]" mode 2, "[b-n]" mode 1, "[n]" mode 0, "[m:n]" any mode.
bool ParseSlot(const std::string& word, uint8_t& mode, int32_t& number) {
  if (word.size() < 3 || word.front() != '[' || word.back() != ']') return false;
  const std::string inside = word.substr(1, word.size() - 2);
  if (inside.rfind("b+", 0) == 0) {
    mode = kVmModeBasePlus;
    return ParseInt32(inside.substr(2), number);
  }
  if (inside.rfind("b-", 0) == 0) {
    mode = kVmModeBaseMinus;
    return ParseInt32(inside.substr(2), number);
  }
  const size_t colon = inside.find(':');
  if (colon == std::string::npos) {
    mode = 0;
    return ParseInt32(inside, number);
  }
  int64_t wideMode = 0;
  if (!ParseInteger(inside.substr(0, colon), 0, 255, wideMode)) return false;
  mode = static_cast<uint8_t>(wideMode);
  return ParseInt32(inside.substr(colon + 1), number);
}

class Assembler {
 public:
  Assembler(const vmCodeFormat& format, std::vector<uint8_t>& bytes) : format_(format), bytes_(bytes) {}

  bool Line(const std::string& raw, std::string& error) {
    std::vector<std::string> words;
    if (!SplitWords(raw, words, error)) return false;
    if (words.empty()) return true;
    // An offset column (hex digits) in front of an instruction is informational.
    if (words.size() > 1 && IsHexColumn(words[0])) {
      words.erase(words.begin());
    }
    if (words.size() == 1 && words[0].size() > 1 && words[0].back() == ':') {
      const std::string label = words[0].substr(0, words[0].size() - 1);
      if (labels_.count(label)) {
        error = "label \"" + label + "\" defined twice";
        return false;
      }
      labels_[label] = static_cast<int32_t>(bytes_.size());
      return true;
    }
    if (words[0] == ".byte") {
      for (size_t i = 1; i < words.size(); ++i) {
        int64_t value = 0;
        if (!ParseInteger(words[i], 0, 255, value)) {
          error = "bad byte \"" + words[i] + "\"";
          return false;
        }
        bytes_.push_back(static_cast<uint8_t>(value));
      }
      return true;
    }
    return Instruction(words, error);
  }

  bool ResolveLabels(std::string& error) {
    for (const auto& [at, label] : fixups_) {
      auto found = labels_.find(label.first);
      if (found == labels_.end()) {
        error = "line " + std::to_string(label.second) + ": unknown label \"" + label.first + "\"";
        return false;
      }
      StoreLe32(bytes_.data() + at, static_cast<uint32_t>(found->second));
    }
    return true;
  }

  int lineNumber = 0;

 private:
  static bool IsHexColumn(const std::string& word) {
    for (char c : word) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return word.size() >= 6;
  }

  void Put32(int32_t value) {
    const size_t at = bytes_.size();
    bytes_.resize(at + 4);
    StoreLe32(bytes_.data() + at, static_cast<uint32_t>(value));
  }
  void Put16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
  }

  // Writes a value operand; variable tells the caller which flag to set.
  bool Value(const std::string& word, bool& variable, std::string& error) {
    uint8_t mode = 0;
    int32_t number = 0;
    if (ParseSlot(word, mode, number)) {
      variable = true;
      bytes_.push_back(mode);
      Put32(number);
      return true;
    }
    variable = false;
    if (word == "true" || word == "false") {
      bytes_.push_back(kParameterBoolean);
      bytes_.push_back(word == "true" ? 1 : 0);
      return true;
    }
    std::string text;
    if (!word.empty() && word.front() == '"') {
      if (!UnquoteText(word, text)) {
        error = "bad text " + word;
        return false;
      }
      const size_t limit = format_.wideTexts ? 0xffff : 0xff;
      if (text.size() > limit) {
        error = "text longer than " + std::to_string(limit) + " bytes";
        return false;
      }
      bytes_.push_back(kParameterText);
      if (format_.wideTexts) {
        Put16(static_cast<uint16_t>(text.size()));
      } else {
        bytes_.push_back(static_cast<uint8_t>(text.size()));
      }
      bytes_.insert(bytes_.end(), text.begin(), text.end());
      return true;
    }
    if (!ParseInt32(word, number)) {
      error = "bad value \"" + word + "\"";
      return false;
    }
    bytes_.push_back(kParameterInteger);
    Put32(number);
    return true;
  }

  bool Instruction(const std::vector<std::string>& words, std::string& error) {
    std::string name = words[0];
    uint8_t flags = 0;
    const size_t dot = name.find('.');
    if (dot != std::string::npos) {
      for (char c : name.substr(dot + 1)) {
        if (c == 'a') {
          flags |= 0x40;
        } else if (c == 'b') {
          flags |= 0x80;
        } else {
          error = "bad flag suffix in \"" + name + "\"";
          return false;
        }
      }
      name.resize(dot);
    }
    const vmInstruction* instruction = VmInstructionFindByName(name);
    if (!instruction) {
      error = "unknown instruction \"" + name + "\"";
      return false;
    }
    const size_t opcodeAt = bytes_.size();
    bytes_.push_back(0);
    size_t word = 1;
    auto next = [&](std::string& out) {
      if (word >= words.size()) {
        error = "missing operand for " + name;
        return false;
      }
      out = words[word++];
      return true;
    };
    const int count = OperandCount(*instruction);
    for (int i = 0; i < count; ++i) {
      std::string w;
      bool variable = false;
      switch (instruction->operands[i]) {
        case S::kNone: break;
        case S::kAddress: {
          if (!next(w)) return false;
          int32_t address = 0;
          if (w.size() > 1 && w[0] == '@') {
            if (!ParseInt32(w.substr(1), address)) {
              error = "bad address \"" + w + "\"";
              return false;
            }
          } else {
            fixups_[bytes_.size()] = {w, lineNumber};
          }
          Put32(address);
          break;
        }
        case S::kValueA:
        case S::kValueB:
        case S::kVariableA:
        case S::kDestinationB: {
          if (!next(w) || !Value(w, variable, error)) return false;
          const vmShape shape = instruction->operands[i];
          const bool needsVariable = shape == S::kVariableA || shape == S::kDestinationB;
          if (needsVariable && !variable) {
            error = name + " needs a variable operand";
            return false;
          }
          if (variable) flags |= (shape == S::kValueA || shape == S::kVariableA) ? 0x40 : 0x80;
          break;
        }
        case S::kRoutine:
        case S::kObject:
        case S::kAttribute: {
          if (!next(w)) return false;
          int64_t value = 0;
          const int64_t high = instruction->operands[i] == S::kAttribute ? 0xff : 0xffff;
          if (!ParseInteger(w, 0, high, value)) {
            error = "bad number \"" + w + "\"";
            return false;
          }
          if (high == 0xff) {
            bytes_.push_back(static_cast<uint8_t>(value));
          } else {
            Put16(static_cast<uint16_t>(value));
          }
          break;
        }
        case S::kAttributeSetTail:
        case S::kAttributeGetTail: {
          if (word < words.size() && (words[word][0] == '#' || words[word].rfind("i[", 0) == 0)) {
            if (!Index(words[word++], error)) return false;
          }
          if (instruction->operands[i] == S::kAttributeSetTail) {
            if (!next(w) || !Value(w, variable, error)) return false;
            if (variable) flags |= 0x40;
          }
          break;
        }
      }
    }
    if (word != words.size()) {
      error = "too many operands for " + name;
      return false;
    }
    bytes_[opcodeAt] = static_cast<uint8_t>(instruction->opcode | flags);
    return true;
  }

  bool Index(const std::string& word, std::string& error) {
    int32_t number = 0;
    if (word[0] == '#') {
      if (!ParseInt32(word.substr(1), number)) {
        error = "bad index \"" + word + "\"";
        return false;
      }
      bytes_.push_back(kVmIndexImmediate);
      Put32(number);
      return true;
    }
    uint8_t mode = 0;
    if (!ParseSlot(word.substr(1), mode, number) || mode > kVmModeBasePlus) {
      error = "bad index \"" + word + "\"";
      return false;
    }
    bytes_.push_back(mode);
    Put32(number);
    return true;
  }

  const vmCodeFormat& format_;
  std::vector<uint8_t>& bytes_;
  std::map<std::string, int32_t> labels_;
  std::map<size_t, std::pair<std::string, int>> fixups_;
};

}  // namespace

bool VmAssembleCode(const std::string& text, std::vector<uint8_t>& bytes, std::string& error,
                    const vmCodeFormat& format) {
  bytes.clear();
  error.clear();
  Assembler assembler(format, bytes);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++assembler.lineNumber;
    std::string message;
    if (!assembler.Line(text.substr(start, end - start), message)) {
      error = "line " + std::to_string(assembler.lineNumber) + ": " + message;
      bytes.clear();
      return false;
    }
    start = end + 1;
  }
  if (!assembler.ResolveLabels(error)) {
    bytes.clear();
    return false;
  }
  return true;
}

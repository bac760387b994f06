#include "script/vm_thread.h"

#include <memory>
#include <utility>

#include "core/log.h"
#include "core/util.h"

namespace {

int32_t gNextThreadId = 1;

// Integer arithmetic wraps around in 32 bits.
int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

int32_t IntegerDivide(int32_t d, int32_t v) {
  if (v == 0) return 0;
  return Wrap(static_cast<int64_t>(d) / v);  // INT32_MIN / -1 wraps back to INT32_MIN
}

int32_t IntegerModulo(int32_t d, int32_t v) {
  if (v == 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(d) % v);
}

parameter* Slot(scriptThread& thread, uint8_t mode, int32_t n) {
  int64_t index = n;
  if (mode == kVmModeBasePlus) {
    index = static_cast<int64_t>(thread.base) + n;
  } else if (mode == kVmModeBaseMinus) {
    index = static_cast<int64_t>(thread.base) - n;
  }
  // Bounds in bytes: the slot count itself would cost a division per access.
  const auto bytes = reinterpret_cast<const char*>(std::to_address(thread.stack.end())) -
                     reinterpret_cast<const char*>(thread.stack.data());
  if (index < 0 || index * static_cast<int64_t>(sizeof(parameter)) >= bytes) return nullptr;
  return thread.stack.data() + index;
}

const parameter* Value(scriptThread& thread, const vmOperand& operand) {
  return operand.variable ? Slot(thread, operand.mode, operand.number) : &operand.literal;
}

bool AddressValid(const vmScript& script, int32_t address) {
  return address >= 0 && static_cast<size_t>(address) < script.code.size();
}

// The index operand of a list attribute: the integer of a slot, or the number itself.
bool Index(scriptThread& thread, const vmOperand& operand, int32_t& index) {
  if (!operand.hasIndex) {
    index = 0;
    return true;
  }
  if (operand.indexMode == kVmIndexImmediate) {
    index = operand.indexNumber;
    return true;
  }
  const parameter* slot = Slot(thread, operand.indexMode, operand.indexNumber);
  if (!slot) return false;
  index = ParameterToInteger(*slot);
  return true;
}

// Integer of a value without a call for the common case.
inline int32_t IntegerOf(const parameter& value) {
  return value.kind == kParameterInteger ? value.integer : ParameterToInteger(value);
}

// Comparisons look at the kind of A; a kind outside the three is never true.
bool Compare(uint8_t opcode, const parameter& a, const parameter& b) {
  int order = 0;
  switch (a.kind) {
    case kParameterInteger: {
      const int32_t x = a.integer, y = IntegerOf(b);
      order = x < y ? -1 : (x > y ? 1 : 0);
      break;
    }
    case kParameterBoolean: {
      const int x = ParameterToBoolean(a), y = ParameterToBoolean(b);
      order = x - y;
      break;
    }
    case kParameterText: {
      // char_traits<char> compares bytes as unsigned, and a prefix sorts first.
      const int c = ParameterToText(a).compare(ParameterToText(b));
      order = c < 0 ? -1 : (c > 0 ? 1 : 0);
      break;
    }
    default: return false;
  }
  switch (opcode) {
    case kOpJumpNotEqual: return order != 0;
    case kOpJumpEqual: return order == 0;
    case kOpJumpGreaterEqual: return order >= 0;
    case kOpJumpLess: return order < 0;
    case kOpJumpGreater: return order > 0;
    case kOpJumpLessEqual: return order <= 0;
    default: return false;
  }
}

// Subtract on a text: an integer cuts that many characters off the end (a negative count changes
// nothing); any other value is cut off when the text ends with it.
void SubtractText(std::string& d, const parameter& v) {
  if (v.kind == kParameterInteger) {
    if (v.integer < 0) return;
    const size_t count = static_cast<size_t>(v.integer);
    d.resize(count >= d.size() ? 0 : d.size() - count);
    return;
  }
  const std::string ending = ParameterToText(v);
  if (ending.size() <= d.size() && d.compare(d.size() - ending.size(), ending.size(), ending) == 0) {
    d.resize(d.size() - ending.size());
  }
}

// D op V by the kind of D (the table of the arithmetic instructions).
void Arithmetic(uint8_t opcode, parameter& d, const parameter& v) {
  switch (d.kind) {
    case kParameterInteger: {
      const int64_t x = d.integer, y = IntegerOf(v);
      switch (opcode) {
        case kOpMove: d.integer = static_cast<int32_t>(y); break;
        case kOpAdd: d.integer = Wrap(x + y); break;
        case kOpSubtract: d.integer = Wrap(x - y); break;
        case kOpAnd: d.integer = static_cast<int32_t>(x & y); break;
        case kOpOr: d.integer = static_cast<int32_t>(x | y); break;
        case kOpMultiply: d.integer = Wrap(x * y); break;
        case kOpDivide: d.integer = IntegerDivide(d.integer, static_cast<int32_t>(y)); break;
        case kOpModulo: d.integer = IntegerModulo(d.integer, static_cast<int32_t>(y)); break;
      }
      return;
    }
    case kParameterBoolean: {
      const int64_t x = d.boolean != 0 ? 1 : 0, y = IntegerOf(v);
      bool result = false;
      switch (opcode) {
        case kOpMove: result = ParameterToBoolean(v); break;
        case kOpAdd: result = Wrap(x + y) != 0; break;
        case kOpSubtract: result = x != y; break;
        case kOpAnd: result = x != 0 && ParameterToBoolean(v); break;
        case kOpOr: result = x != 0 || ParameterToBoolean(v); break;
        case kOpMultiply: result = Wrap(x * y) != 0; break;
        case kOpDivide:
        case kOpModulo: result = y != 0 && x != 0; break;
      }
      d.boolean = result ? 1 : 0;
      return;
    }
    case kParameterText:
      switch (opcode) {
        case kOpMove: d.text = ParameterToText(v); break;
        case kOpAdd: d.text += ParameterToText(v); break;
        case kOpSubtract: SubtractText(d.text, v); break;
        case kOpAnd: d.text = ParameterToBoolean(d) && ParameterToBoolean(v) ? "TRUE" : "FALSE"; break;
        case kOpOr: d.text = ParameterToBoolean(d) || ParameterToBoolean(v) ? "TRUE" : "FALSE"; break;
        default: d.text.clear(); break;
      }
      return;
    default: return;
  }
}

void Not(parameter& slot) {
  switch (slot.kind) {
    case kParameterInteger: slot.integer = ~slot.integer; break;
    case kParameterBoolean: slot.boolean = slot.boolean ? 0 : 1; break;
    case kParameterText: slot.text = ParameterToBoolean(slot) ? "FALSE" : "TRUE"; break;
    default: break;
  }
}

constexpr int32_t kEnd = -1;

vmFailureHook gFailureHook;

// Executes one decoded instruction; returns the next offset, or kEnd to end the thread.
int32_t Step(vmScript& script, scriptThread& thread, const vmDecoded& d, int32_t next) {
  const vmOperand* op = d.operands;
  const uint8_t opcode = d.opcodeByte & 0x3f;
  switch (opcode) {
    case kOpReturn: {
      if (thread.run.jumpList.empty()) return kEnd;
      const runFrame frame = thread.run.jumpList.back();
      thread.run.jumpList.pop_back();
      thread.base = frame.savedBase;
      return frame.returnOffset;
    }
    case kOpCall:
      if (!AddressValid(script, op[0].number) || thread.run.jumpList.size() >= kVmMaxCallFrames) return kEnd;
      thread.run.jumpList.push_back({next, thread.base});
      thread.base = static_cast<int32_t>(thread.stack.size());
      return op[0].number;
    case kOpNot: {
      parameter* slot = Slot(thread, op[0].mode, op[0].number);
      if (!slot) return kEnd;
      Not(*slot);
      return next;
    }
    case kOpJump: return AddressValid(script, op[0].number) ? op[0].number : kEnd;
    case kOpJumpNotEqual:
    case kOpJumpEqual:
    case kOpJumpGreaterEqual:
    case kOpJumpLess:
    case kOpJumpGreater:
    case kOpJumpLessEqual: {
      const parameter* a = Value(thread, op[0]);
      const parameter* b = Value(thread, op[1]);
      if (!a || !b || !AddressValid(script, op[2].number)) return kEnd;
      if (opcode == kOpJumpLess && a->kind == kParameterInteger && b->kind == kParameterInteger) {
        return a->integer < b->integer ? op[2].number : next;  // the common loop test
      }
      return Compare(opcode, *a, *b) ? op[2].number : next;
    }
    case kOpMove:
    case kOpAdd:
    case kOpSubtract:
    case kOpAnd:
    case kOpOr:
    case kOpMultiply:
    case kOpDivide:
    case kOpModulo: {
      const parameter* v = Value(thread, op[0]);
      parameter* slot = Slot(thread, op[1].mode, op[1].number);
      if (!v || !slot) return kEnd;
      if (opcode == kOpAdd && slot->kind == kParameterInteger && v->kind == kParameterInteger) {
        slot->integer = Wrap(static_cast<int64_t>(slot->integer) + v->integer);  // the common case
        return next;
      }
      if (v == slot) {
        const parameter copy = *v;  // D op D: read V before D changes
        Arithmetic(opcode, *slot, copy);
      } else {
        Arithmetic(opcode, *slot, *v);
      }
      return next;
    }
    case kOpPush: {
      const parameter* v = Value(thread, op[0]);
      if (!v || thread.stack.size() >= kVmMaxStackSlots) return kEnd;
      parameter copy = *v;  // the slot may move when the stack grows
      thread.stack.push_back(std::move(copy));
      return next;
    }
    case kOpPop:
      if (thread.stack.empty()) return kEnd;
      thread.stack.pop_back();
      return next;
    case kOpCallAppRoutine:
    case kOpCallSystemRoutine: {
      if (opcode == kOpCallAppRoutine && op[0].number >= script.host->AppRoutineCount()) return kEnd;
      const int32_t saved = thread.base;
      thread.base = static_cast<int32_t>(thread.stack.size());
      const bool ok = opcode == kOpCallAppRoutine ? script.host->AppRoutineRun(thread.id, op[0].number) == 1
                                                  : VmSystemRoutineRun(script, thread, op[0].number);
      thread.base = saved;
      return ok ? next : kEnd;
    }
    case kOpSetAttribute:
    case kOpGetAttribute: {
      if (static_cast<size_t>(op[0].number) >= script.format.objectKinds.size()) return kEnd;
      int32_t index = 0;
      if (!Index(thread, op[2], index)) return kEnd;
      if (opcode == kOpSetAttribute) {
        const parameter* v = Value(thread, op[2]);
        if (!v) return kEnd;
        // The order is an integer whatever the operand's kind.
        const parameter value = op[1].number == kVmAttributeOrder ? ParameterInteger(IntegerOf(*v)) : *v;
        return script.host->ObjectAttributeSet(op[0].number, op[1].number, index, value) ? next : kEnd;
      }
      parameter value;
      if (thread.stack.size() >= kVmMaxStackSlots ||
          !script.host->ObjectAttributeGet(op[0].number, op[1].number, index, value)) {
        return kEnd;
      }
      thread.stack.push_back(std::move(value));
      return next;
    }
    case kOpNoOperation: return next;
    case kOpWait:
      thread.waiting = true;
      thread.resumeAt = next;
      return next;
    case kOpFork: {
      if (!AddressValid(script, op[0].number) || script.threads.size() >= kVmMaxThreads) return kEnd;
      const uint64_t copyCost = thread.stack.size() / 256;
      if (copyCost > script.runBudgetLeft) return kEnd;
      script.runBudgetLeft -= copyCost;
      auto fork = std::make_unique<scriptThread>(thread);
      fork->id = VmThreadIdNext();
      fork->waiting = true;
      fork->resumeAt = next;
      fork->running = true;
      script.threads.push_back(std::move(fork));
      return op[0].number;
    }
    default: return kEnd;
  }
}

const vmDecoded kNoInstruction{};

constexpr uint8_t kFastAddLiteral = 1;       // Add integer literal, [b+n]
constexpr uint8_t kFastJumpLessLiteral = 2;  // JumpLess [b+n], integer literal, address

bool IntegerLiteral(const vmOperand& o) { return !o.variable && o.literal.kind == kParameterInteger; }
bool BasePlus(const vmOperand& o) { return o.mode == kVmModeBasePlus && o.number >= 0; }

void MarkFast(vmDecoded& d) {
  const uint8_t opcode = d.opcodeByte & 0x3f;
  const vmOperand* op = d.operands;
  if (opcode == kOpAdd && IntegerLiteral(op[0]) && BasePlus(op[1])) {
    d.fast = kFastAddLiteral;
    d.fastSlot = op[1].number;
    d.fastValue = op[0].literal.integer;
  } else if (opcode == kOpJumpLess && op[0].variable && BasePlus(op[0]) && IntegerLiteral(op[1])) {
    d.fast = kFastJumpLessLiteral;
    d.fastSlot = op[0].number;
    d.fastValue = op[1].literal.integer;
  }
}

// Decodes the instruction at offset into the cache; kNoInstruction when none starts there.
const vmDecoded* Decoded(vmScript& script, int32_t offset) {
  vmDecodeCache& cache = script.cache;
  const vmDecoded*& entry = cache.at[static_cast<size_t>(offset)];
  if (!entry) {
    vmDecoded decoded;
    if (VmDecode(script.code.data(), script.code.size(), static_cast<size_t>(offset), script.format, decoded)) {
      MarkFast(decoded);
      cache.instructions.push_back(std::move(decoded));
      entry = &cache.instructions.back();
    } else {
      entry = &kNoInstruction;
    }
  }
  return entry;
}

// A backward transfer spends one unit of the script's work budget; false once it is spent.
bool SpendBackward(vmScript& script) {
  if (script.runBudgetLeft == 0) return false;
  --script.runBudgetLeft;
  return true;
}

void Execute(vmScript& script, scriptThread& thread, int32_t offset) {
  static vmHost neutral;
  if (!script.host) script.host = &neutral;
  const size_t size = script.code.size();
  if (script.cache.at.size() != size) {
    script.cache.at.assign(size, nullptr);
    script.cache.instructions.clear();
  }
  const vmDecoded* decoded = nullptr;
  int32_t from = offset;
  const vmDecoded* const* known = script.cache.at.data();  // the array keeps its size from here on
  // Only the slow path can make the thread wait, so only it checks.
  while (offset >= 0 && static_cast<size_t>(offset) < size) {
    decoded = known[offset];
    if (!decoded) decoded = Decoded(script, offset);
    if (decoded == &kNoInstruction) {
      decoded = nullptr;
      break;
    }
    from = offset;
    const int32_t next = offset + static_cast<int32_t>(decoded->length);
    // Counting loops are an Add and a JumpLess on integers: in their marked form they skip the
    // operand reading and the instruction switch. Anything else goes the general way.
    if (decoded->fast != 0) {
      const size_t index = static_cast<size_t>(thread.base) + static_cast<size_t>(decoded->fastSlot);
      if (index < thread.stack.size() && thread.stack[index].kind == kParameterInteger) {
        parameter& slot = thread.stack[index];
        if (decoded->fast == kFastAddLiteral) {
          slot.integer = Wrap(static_cast<int64_t>(slot.integer) + decoded->fastValue);
          offset = next;
          continue;
        }
        const int32_t target = decoded->operands[2].number;
        if (AddressValid(script, target)) {
          offset = slot.integer < decoded->fastValue ? target : next;
          if (offset <= from && !SpendBackward(script)) break;
          continue;
        }
      }
    }
    offset = Step(script, thread, *decoded, next);
    if (offset >= 0 && offset <= from && !SpendBackward(script)) break;
    if (thread.waiting) break;
  }
  // The decoding state of the last instruction, which a waiting thread keeps.
  if (decoded) {
    thread.run.opcode = decoded->opcodeByte & 0x3f;
    thread.run.flagA = (decoded->opcodeByte & 0x40) != 0;
    thread.run.flagB = (decoded->opcodeByte & 0x80) != 0;
  }
  if (!thread.waiting) {
    thread.running = false;
    // A normal end is a Return from the outermost routine or running past the last instruction.
    const bool returned = offset < 0 && decoded && (decoded->opcodeByte & 0x3f) == kOpReturn;
    const bool ranOff = offset >= 0 && static_cast<size_t>(offset) >= size;
    if (gFailureHook && !returned && !ranOff) gFailureHook(thread.id, offset < 0 ? from : offset);
  }
}

const parameter* ParameterSlot(const scriptThread& thread, int32_t n) {
  if (thread.waiting) return nullptr;
  const int64_t index = static_cast<int64_t>(thread.base) - n;
  if (index < 0 || index >= static_cast<int64_t>(thread.stack.size())) return nullptr;
  return &thread.stack[static_cast<size_t>(index)];
}

bool ParameterSet(scriptThread& thread, int32_t n, parameter value) {
  parameter* slot = const_cast<parameter*>(ParameterSlot(thread, n));
  if (!slot) return false;
  *slot = std::move(value);
  return true;
}

}  // namespace

int32_t VmThreadIdNext() { return gNextThreadId++; }
void VmThreadIdReset() { gNextThreadId = 1; }

std::unique_ptr<scriptThread> VmThreadNew() {
  auto thread = std::make_unique<scriptThread>();
  thread->id = VmThreadIdNext();
  return thread;
}

namespace {
uint64_t gRunBudget = UINT64_MAX;
}  // namespace

void VmThreadFailureHookSet(vmFailureHook hook) { gFailureHook = std::move(hook); }

void VmRunBudgetSet(uint64_t limit) { gRunBudget = limit; }
uint64_t VmRunBudget() { return gRunBudget; }

void VmScriptInit(vmScript& script) {
  if (script.threads.empty()) script.threads.push_back(VmThreadNew());
}

scriptThread* VmThreadFind(vmScript& script, int32_t threadId) {
  if (script.threads.empty()) return nullptr;
  if (threadId == kVmMainThreadId) return script.threads[0].get();
  for (const auto& thread : script.threads) {
    if (thread->id == threadId) return thread.get();
  }
  return nullptr;
}

void VmThreadRun(vmScript& script, scriptThread& thread, int32_t offset) {
  if (thread.waiting) return;
  // Inside the thread's own execution (an app routine that posts an event to this script) the
  // outer run goes on afterwards with its call stack and base.
  const bool nested = thread.running;
  std::vector<runFrame> outerFrames;
  const int32_t outerBase = thread.base;
  if (nested) outerFrames = std::move(thread.run.jumpList);
  thread.running = true;
  thread.base = static_cast<int32_t>(thread.stack.size());
  thread.run.jumpList.clear();
  Execute(script, thread, offset);
  if (nested && !thread.waiting) {
    thread.run.jumpList = std::move(outerFrames);
    thread.base = outerBase;
    thread.running = true;
  }
}

void VmThreadResume(vmScript& script, scriptThread& thread) {
  if (!thread.waiting) return;
  thread.waiting = false;
  Execute(script, thread, thread.resumeAt);
}

void VmScriptUpdate(vmScript& script) {
  // An update asked for from code that this update runs does nothing: the update is still going.
  if (script.threads.empty() || script.updating) return;
  if (script.host && script.host->StatePaused()) return;
  struct updatingMark {
    bool& flag;
    ~updatingMark() { flag = false; }
  };
  script.updating = true;
  const updatingMark mark{script.updating};
  scriptThread& main = *script.threads[0];
  if (main.waiting) {
    VmThreadResume(script, main);
    return;
  }
  if (script.host) {
    script.host->UpdateTick();
    script.host->UpdatePointer();
  }
  // Threads forked during this pass are appended and visited in it too. Ended threads leave in
  // one sweep afterwards (removing each at once made a pass over many threads quadratic).
  for (size_t i = 1; i < script.threads.size(); ++i) {
    scriptThread& thread = *script.threads[i];
    if (thread.waiting) VmThreadResume(script, thread);
  }
  const scriptThread* first = &main;
  std::erase_if(script.threads, [first](const std::unique_ptr<scriptThread>& thread) {
    return thread.get() != first && !thread->waiting && !thread->running;
  });
}

void VmScriptPostEvent(vmScript& script, int32_t code, const std::string& objectName, bool upperCase) {
  if (script.listenerPresent != 1 || script.threads.empty()) return;
  scriptThread& main = *script.threads[0];
  if (main.waiting || main.stack.size() + 2 > kVmMaxStackSlots) return;
  main.stack.push_back(ParameterText(upperCase ? UtilUpper(objectName) : objectName));
  main.stack.push_back(ParameterInteger(code));
  VmThreadRun(script, main, script.listenerAddress);
  // A listener that waits keeps the two slots.
  for (int i = 0; i < 2 && !main.waiting && !main.stack.empty(); ++i) main.stack.pop_back();
}

bool VmMainThreadWaiting(const vmScript& script) { return !script.threads.empty() && script.threads[0]->waiting; }

bool VmParameterGetBool(const scriptThread& thread, int32_t n) {
  const parameter* slot = ParameterSlot(thread, n);
  return slot && ParameterToBoolean(*slot);
}

int32_t VmParameterGetInteger(const scriptThread& thread, int32_t n) {
  const parameter* slot = ParameterSlot(thread, n);
  return slot ? ParameterToInteger(*slot) : 0;
}

std::string VmParameterGetText(const scriptThread& thread, int32_t n) {
  const parameter* slot = ParameterSlot(thread, n);
  return slot ? ParameterToText(*slot) : std::string();
}

bool VmParameterSetBool(scriptThread& thread, int32_t n, bool value) {
  return ParameterSet(thread, n, ParameterBoolean(value));
}

bool VmParameterSetInteger(scriptThread& thread, int32_t n, int32_t value) {
  return ParameterSet(thread, n, ParameterInteger(value));
}

bool VmParameterSetText(scriptThread& thread, int32_t n, const std::string& value) {
  return ParameterSet(thread, n, ParameterText(value));
}

void VmThreadDump(const vmScript& script, int32_t scriptIndex, int32_t scriptId) {
  LogWrite("Script Index: " + std::to_string(scriptIndex));
  LogWrite("Script ID: " + std::to_string(scriptId));
  LogWrite("Thread Count: " + std::to_string(script.threads.size()));
  for (size_t i = 0; i < script.threads.size(); ++i) {
    const scriptThread& thread = *script.threads[i];
    LogWrite("  Thread Index: " + std::to_string(i));
    LogWrite("  Thread ID: " + std::to_string(thread.id));
    LogWrite(thread.waiting ? "  Thread Running: FALSE" : "  Thread Running: TRUE");
  }
}

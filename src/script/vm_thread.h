// Script threads and the interpreter: cooperative threads over a script's byte code, the
// per-frame update, event dispatch to the listener, parameter slots and the system routines.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "script/parameter.h"
#include "script/vm_code.h"

// A thread's stack and call stack are bounded; going past either ends the thread like a decoding
// error does.
inline constexpr size_t kVmMaxStackSlots = 1u << 20;
inline constexpr size_t kVmMaxCallFrames = 1u << 16;
// So is a Fork past this many threads in one script (forks made in a pass run in that pass, so a
// forking loop would otherwise never let the update return).
inline constexpr size_t kVmMaxThreads = 1u << 16;
// A script may be given a budget of work: each backward transfer (a jump, call or return to the
// same or an earlier offset, which every loop needs) costs 1, a Fork 1 more for every 256 slots it
// copies. Once spent, the next such step ends its thread like a decoding error. Unlimited by
// default; harnesses that run arbitrary code set a bound so that nothing runs forever. Scripts
// take the budget in force when they are made.
void VmRunBudgetSet(uint64_t limit);
uint64_t VmRunBudget();

// Called when a thread ends by a failure rather than by returning from its outermost routine (a
// decoding error, an invalid operand, an app routine that did not succeed, a spent budget), with
// the thread's ID and the code offset of the instruction that ended it. Tools use it to name the
// source line; empty by default.
using vmFailureHook = std::function<void(int32_t threadId, int32_t offset)>;
void VmThreadFailureHookSet(vmFailureHook hook);

// The thread ID that names a script's main thread in host operations.
inline constexpr int32_t kVmMainThreadId = -1;

struct runFrame {
  int32_t returnOffset = 0;
  int32_t savedBase = 0;
};

// Decoding state kept while a thread waits.
struct runData {
  uint8_t opcode = 0;  // low six bits of the current opcode byte
  bool flagA = false;  // bit 6
  bool flagB = false;  // bit 7
  std::vector<runFrame> jumpList;  // the call stack
};

struct scriptThread {
  int32_t id = 0;
  bool waiting = false;
  int32_t resumeAt = 0;
  runData run;
  std::vector<parameter> stack;
  int32_t base = 0;
  bool running = false;
};

// Everything the interpreter reaches outside itself. The script engine fills one per script; the
// defaults are the neutral answers (nothing there, nothing done).
class vmHost {
 public:
  virtual ~vmHost() = default;
  // CallAppRoutine: the routine of the script's app-routine name at index, with the calling
  // thread's base already moved to its stack length. Only 1 counts as success.
  virtual int32_t AppRoutineCount() { return 0; }
  virtual int32_t AppRoutineRun(int32_t /*threadId*/, int32_t /*index*/) { return 0; }
  // Object attributes by object index (file order) and attribute number; index is the list item
  // index for the list attributes that take one, else 0. Attribute 255 is the object's order,
  // whose setting re-sorts the script's and the cameras' order lists. False fails the thread.
  virtual bool ObjectAttributeGet(int32_t /*object*/, int32_t /*attribute*/, int32_t /*index*/,
                                  parameter& /*value*/) {
    return false;
  }
  virtual bool ObjectAttributeSet(int32_t /*object*/, int32_t /*attribute*/, int32_t /*index*/,
                                  const parameter& /*value*/) {
    return false;
  }
  // The current state: paused (no update runs) and its clock in ms.
  virtual bool StatePaused() { return false; }
  virtual int32_t StateTime() { return 0; }
  // The tick and the pointer and button processing of a script update, in that order.
  virtual void UpdateTick() {}
  virtual void UpdatePointer() {}
  // System routines that reach other units.
  virtual bool GraphicsFullscreenGet() { return false; }
  virtual std::string GraphicsMonitorModeText(int32_t /*monitor*/, int32_t /*mode*/) { return {}; }
  virtual int32_t GraphicsDisplayGetModeIndex(int32_t /*display*/) { return -1; }
  virtual int32_t FontTextWidth(int32_t /*display*/, const std::string& /*fontFile*/, const std::string& /*text*/) {
    return 0;
  }
  virtual bool StateVariableGetBool(int32_t /*state*/, const std::string& /*name*/) { return false; }
  virtual int32_t StateVariableGetInteger(int32_t /*state*/, const std::string& /*name*/) { return 0; }
  virtual std::string StateVariableGetText(int32_t /*state*/, const std::string& /*name*/) { return {}; }
  virtual void StateVariableSetBool(int32_t /*state*/, const std::string& /*name*/, bool /*value*/) {}
  virtual void StateVariableSetInteger(int32_t /*state*/, const std::string& /*name*/, int32_t /*value*/) {}
  virtual void StateVariableSetText(int32_t /*state*/, const std::string& /*name*/, const std::string& /*value*/) {}
  // Posts an event to the first other loaded script whose file name is scriptName + ".vmc"
  // (case-insensitive), unless that is the caller or its main thread is running.
  virtual void PostEventToScript(const std::string& /*scriptName*/, int32_t /*code*/,
                                 const std::string& /*objectName*/) {}
  // Name of the topmost object hit at (x, y) in script coordinates; a Mat's region name.
  virtual std::string ObjectHitName(int32_t /*x*/, int32_t /*y*/) { return {}; }
  // Upper-cased region name at map point (x, y) of the Mat object of that name; empty if none.
  virtual std::string MatRegionName(const std::string& /*objectName*/, int32_t /*x*/, int32_t /*y*/) { return {}; }
};

// Instructions decoded once per code offset: the code never changes after loading.
struct vmDecodeCache {
  // Per offset: nullptr not decoded yet, else the instruction or the "no instruction" marker.
  std::vector<const vmDecoded*> at;
  std::deque<vmDecoded> instructions;  // a deque, so an instruction stays put while nested runs add more
};

// The interpreter's view of one script: its code and listener, its threads (index 0 the main
// thread; held by pointer so a thread stays in place while forks append), and its host. Code and
// format must not change once a thread has run (decoded instructions are cached).
struct vmScript {
  std::vector<uint8_t> code;
  vmCodeFormat format;
  uint8_t listenerPresent = 0;
  int32_t listenerAddress = 0;
  std::vector<std::unique_ptr<scriptThread>> threads;
  vmHost* host = nullptr;
  vmDecodeCache cache;
  uint64_t runBudgetLeft = VmRunBudget();
  bool updating = false;  // inside VmScriptUpdate's pass over the secondary threads
};

// The thread-ID counter, global across scripts: the next ID, and the engine's start step reset.
int32_t VmThreadIdNext();
void VmThreadIdReset();

// A new empty thread with the next thread ID.
std::unique_ptr<scriptThread> VmThreadNew();
// Makes the script's main thread when it has none (no thread runs).
void VmScriptInit(vmScript& script);
// The thread of that ID (-1: the main thread); nullptr when there is none.
scriptThread* VmThreadFind(vmScript& script, int32_t threadId);

// Runs a thread from a code offset (refused when it waits): base := stack length, empty call
// stack. A run inside the same thread's execution (an app routine posting an event to its own
// script) keeps the outer run's call stack and base.
void VmThreadRun(vmScript& script, scriptThread& thread, int32_t offset);
// Resumes a waiting thread where it waited.
void VmThreadResume(vmScript& script, scriptThread& thread);

// The per-frame update: resumes a waiting main thread and stops; else tick, pointer, then every
// secondary thread once, removing those that ended. Nothing while the state is paused.
void VmScriptUpdate(vmScript& script);
// Listener dispatch: with a listener and the main thread not waiting, pushes the upper-cased
// object name and the code, runs the listener and pops both again.
void VmScriptPostEvent(vmScript& script, int32_t code, const std::string& objectName, bool upperCase = true);
bool VmMainThreadWaiting(const vmScript& script);

// Parameter n is slot base - n. Gets convert and return false, 0 or "" when the thread waits or
// the slot does not exist; sets replace kind and value and return false in those cases.
bool VmParameterGetBool(const scriptThread& thread, int32_t n);
int32_t VmParameterGetInteger(const scriptThread& thread, int32_t n);
std::string VmParameterGetText(const scriptThread& thread, int32_t n);
bool VmParameterSetBool(scriptThread& thread, int32_t n, bool value);
bool VmParameterSetInteger(scriptThread& thread, int32_t n, int32_t value);
bool VmParameterSetText(scriptThread& thread, int32_t n, const std::string& value);

// Writes the script's thread table with LogWrite.
void VmThreadDump(const vmScript& script, int32_t scriptIndex, int32_t scriptId);

inline constexpr int32_t kVmSystemRoutineCount = 43;
// Runs system routine n for the thread (base already at its stack length). False: no such routine.
bool VmSystemRoutineRun(vmScript& script, scriptThread& thread, int32_t n);

// Script engine: screen scripts (.vmc) loaded into object records, and the app routine registry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/ids.h"

// ---------------------------------------------------------------------------------------------
// Start and end

// Version line "fwkScript - Version Alpha.0"; empties the script table and the four routine
// tables; script ids count from 1 again; installs the interpreter's engine hooks (a caller may
// replace them afterwards) and restarts the thread id counter.
void ScriptStart();
// Unloads every remaining script and empties the routine tables.
void ScriptEnd();

// ---------------------------------------------------------------------------------------------
// Loading

// Creates a script record, reads the file into it, compiles its assets and runs its main thread.
// The new script id (never reused within a run), or kNoId after the failure was logged and the
// record was removed again.
int32_t ScriptLoad(const std::string& fileName);
// Fills the existing record of scriptId from the file; false after one log line on failure
// (the record is left partly filled; ScriptLoad removes it).
bool ScriptFileLoad(int32_t scriptId, const std::string& fileName);
// Frees the models the script's objects own and removes the record. Unknown id: nothing.
void ScriptUnload(int32_t scriptId);
bool ScriptExists(int32_t scriptId);

// The interpreter's part of a script's life, filled in by the interpreter at its start. Each
// hook left empty does nothing (threadExists: every thread exists).
struct scriptEngineHooks {
  // The record of a new script exists: create its main thread.
  std::function<void(int32_t scriptId)> created;
  // The file has been read and its assets compiled: run the main thread from code offset 0.
  std::function<void(int32_t scriptId)> runMainThread;
  // Whether the script has that thread (-1 names the main thread).
  std::function<bool(int32_t scriptId, int32_t threadId)> threadExists;
  // The script is about to be removed (unload, or a failed load): drop its threads.
  std::function<void(int32_t scriptId)> removed;
  // ScriptStart ran: restart the thread id counter.
  std::function<void()> started;
};
void ScriptSetEngineHooks(scriptEngineHooks hooks);

// ---------------------------------------------------------------------------------------------
// Running scripts (threads: -1 names the main thread)

// One frame of the script: resumes a waiting main thread, else the tick, the pointer and one turn
// of every secondary thread. Nothing while the current state is paused or for an unknown id.
void ScriptUpdate(int32_t scriptId);
// Runs the listener with the event code and the upper-cased object name, when the script exists,
// has a listener and its main thread is neither waiting nor running.
void ScriptPostEvent(int32_t scriptId, int32_t code, const std::string& objectName);
// The same with the text as given (key texts keep their lower-case letters).
void ScriptPostEventAsIs(int32_t scriptId, int32_t code, const std::string& text);
bool ScriptMainThreadWaiting(int32_t scriptId);
// Parameter n of the thread is slot base - n (parameter 1 is what the script pushed last). Gets
// convert the slot and give false, 0 or "" and sets give false when the script or thread does
// not exist, the thread waits or the slot is outside the stack.
bool ScriptParameterGetBool(int32_t scriptId, int32_t threadId, int32_t n);
int32_t ScriptParameterGetInteger(int32_t scriptId, int32_t threadId, int32_t n);
std::string ScriptParameterGetText(int32_t scriptId, int32_t threadId, int32_t n);
bool ScriptParameterSetBool(int32_t scriptId, int32_t threadId, int32_t n, bool value);
bool ScriptParameterSetInteger(int32_t scriptId, int32_t threadId, int32_t n, int32_t value);
bool ScriptParameterSetText(int32_t scriptId, int32_t threadId, int32_t n, const std::string& value);
// Writes the script's index in the table, id and threads with LogWrite. Unknown id: nothing.
void ScriptThreadDump(int32_t scriptId);

// ---------------------------------------------------------------------------------------------
// Drawing

// Draws the script's objects that live on the display, in its order, fitted to the window by the
// script's Display object for that display; nothing without one. Call between GraphicsRenderBegin
// and GraphicsRenderEnd of the display.
void ScriptRender(int32_t scriptId, int32_t displayId);

// ---------------------------------------------------------------------------------------------
// App routine registry

// A standalone function: gets the calling script and thread; 1 is success, anything else fails
// the calling thread. Arguments and results go through the thread's parameter slots.
using scriptFunction = std::function<int32_t(int32_t scriptId, int32_t threadId)>;
// The same with the object it was registered for.
using scriptObjectFunction = std::function<int32_t(void* object, int32_t scriptId, int32_t threadId)>;
// Draws a Render object.
using scriptRenderProcedure = std::function<void(int32_t displayId, const std::string& objectName)>;
// App-object routines: one step of its animation, whether a point (script coordinates) is on it,
// and its drawing.
using scriptAppObjAnimate = std::function<void(const std::string& objectName)>;
using scriptAppObjInObject = std::function<bool(const std::string& objectName, int32_t x, int32_t y)>;
using scriptAppObjRender = std::function<void(const std::string& objectName)>;

inline constexpr int32_t kScriptRoutineFunction = 0;
inline constexpr int32_t kScriptRoutineObjectFunction = 1;
inline constexpr int32_t kScriptRoutineRender = 2;

// Registration stores the name upper-cased; a name the table already holds (routines: of any
// kind) is refused with false and the first entry stays.
bool ScriptAppRoutineRegister(const std::string& name, scriptFunction routine);
bool ScriptAppRoutineRegisterObject(const std::string& name, void* object, scriptObjectFunction routine);
bool ScriptAppRoutineRegisterRender(const std::string& name, scriptRenderProcedure routine);
bool ScriptAppObjRoutineRegisterAnimate(const std::string& name, scriptAppObjAnimate routine);
bool ScriptAppObjRoutineRegisterInObject(const std::string& name, scriptAppObjInObject routine);
bool ScriptAppObjRoutineRegisterRender(const std::string& name, scriptAppObjRender routine);

// Runs appRoutineNames[index] of the script for the thread. False when the script, the thread or
// the index does not exist, and (logged) when the name is not registered or is a render
// procedure; else the routine's result == 1.
bool ScriptAppRoutineRun(int32_t scriptId, int32_t threadId, int32_t index);
// The name lookup and call of ScriptAppRoutineRun, for a name the caller already has.
bool ScriptAppRoutineCall(int32_t scriptId, int32_t threadId, const std::string& name);
// Runs the render procedure of that name for a Render object; false (logged) when the name is
// unknown or not a render procedure, false (quiet) for an unknown script.
bool ScriptAppRoutineRenderRun(int32_t scriptId, const std::string& name, int32_t displayId,
                               const std::string& objectName);

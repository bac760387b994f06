// Inside the script engine: the records a loaded script is made of, the routine tables, and the
// object attribute access that the interpreter's attribute instructions use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/ids.h"
#include "data/mat.h"
#include "script/parameter.h"
#include "script/script.h"

// ---------------------------------------------------------------------------------------------
// Object kinds and file constants

inline constexpr int32_t kScriptVersionMax = 16;

inline constexpr int32_t kObjButton = 0;
inline constexpr int32_t kObjColor = 1;
inline constexpr int32_t kObjDisplay = 2;
inline constexpr int32_t kObjImage = 3;
inline constexpr int32_t kObjLabel = 4;
inline constexpr int32_t kObjList = 5;
inline constexpr int32_t kObjPointer = 6;
inline constexpr int32_t kObjSlider = 7;
inline constexpr int32_t kObjMat = 8;
inline constexpr int32_t kObjRender = 9;
inline constexpr int32_t kObjAtex = 10;
inline constexpr int32_t kObjAppObj = 11;
inline constexpr int32_t kObjCamera = 12;

// The attribute number that names an object's drawing order, for every kind.
inline constexpr int32_t kAttributeOrder = 255;

// ---------------------------------------------------------------------------------------------
// Records

// One frame of a drawable object: its layers and an optional per-pixel hit region.
struct frame {
  std::string mat;
  std::vector<std::string> images;
  matData region;
  std::vector<int32_t> models;  // one per image; kNoId where the image gave no model
};

// The images of a drawable object. Every model of every frame sits at (left, top).
struct frameSet {
  uint8_t blend = 0;
  bool memory = false;
  std::vector<frame> frames;
  int32_t left = 0;
  int32_t top = 0;
  int32_t homeLeft = 0;  // Button only: the position read from the file
  int32_t homeTop = 0;
  int32_t width = 0;  // extent of image 1 of the current frame
  int32_t height = 0;
};

struct objButton {
  int32_t frame = 0;  // 1-based
  bool visible = false;
  bool enabled = false;
  std::string fontFile;
  std::string text;
  int32_t color = 0;
  int32_t wrapWidth = 0;
  frameSet frames;
  int32_t font = kNoId;
  std::vector<std::string> lines;
};

struct objColor {
  int32_t left = 0, top = 0, width = 0, height = 0;
  int32_t color = 0;
  int32_t alpha = 0;
  bool visible = false;
  bool enabled = false;
  int32_t model = kNoId;
};

struct objDisplay {
  int32_t width = 0, height = 0;
  int32_t viewMode = 0;  // 0 Fill, 1 BestFit, other full size
};

struct objImage {
  int32_t rotation = 0;
  int32_t frame = 0;
  bool visible = false;
  int32_t alpha = 0;
  int32_t offsetX = 0, offsetY = 0;
  frameSet frames;  // left and top live here
};

struct objLabel {
  int32_t left = 0, top = 0;
  std::string fontFile;
  int32_t color = 0;
  uint8_t alpha = 255;
  std::string text;
  bool visible = false;
  int32_t wrapWidth = 0, wrapHeight = 0, wrapLineOffset = 0;
  int32_t firstLine = 1;
  int32_t align = 0;
  int32_t font = kNoId;
  std::vector<std::string> lines;
};

struct objList {
  std::string kind;
  std::string fontFile;
  int32_t color = 0, colorSelected = 0;
  int32_t frame = 0, frameSelected = 0, frameMouseOver = 0;
  int32_t cellCount = 0;
  int32_t textOffsetX = 5, textOffsetY = 0, textWidth = 0;
  uint8_t textMode = 0;
  bool visible = false;
  bool enabled = false;
  std::vector<parameter> items{ParameterText("")};
  std::vector<parameter> icons;
  std::vector<parameter> values;
  int32_t firstItem = 0;
  int32_t clickedCell = 0;
  int32_t hoverCell = -1;
  std::string clickedRegion;
  std::string mat;
  matData region;
  frameSet cells;
  frameSet iconFrames;
  int32_t font = kNoId;
};

struct objPointer {
  int32_t frame = 0;
  bool visible = false;
  bool fadeOnIdle = false;
  int32_t fadeDelay = 2000;
  int32_t fadeDuration = 1000;
  frameSet frames;
  int32_t lastX = 0, lastY = 0;
  int32_t lastMoveTime = 0;
  uint8_t fadeAlpha = 255;
};

struct objSlider {
  int32_t frameRange = 0, frameSlider = 0;
  int32_t minValue = 0, maxValue = 0, value = 0;
  int32_t sliderType = 0;  // 0 horizontal, other vertical
  bool visible = false;
  bool enabled = false;
  int32_t pageType = 0;  // 1 jump to the click, other page step
  int32_t pageSize = 0;
  frameSet rangeFrames;
  frameSet thumbFrames;
  int32_t thumbOffset = 0;
  int32_t dragOffset = 0;
  bool thumbGrabbed = false;
};

struct objMat {
  int32_t left = 0, top = 0;
  bool enabled = false;
  std::string fileName;
  matData region;
  int32_t regionIndex = -1;  // current region
  int32_t previousRegion = -1;
};

struct objRender {
  std::string appRoutineName;
};

// x1, y1, u1, v1, x2, y2, u2, v2, x3, y3, u3, v3.
using atexTriangle = std::array<int32_t, 12>;

struct objAtex {
  int32_t left = 0, top = 0, alpha = 0;
  bool visible = false;
  std::string texture;
  uint8_t blend = 0;
  int32_t uvelocity = 0, vvelocity = 0;
  std::vector<atexTriangle> triangles;
  int32_t model = kNoId;
  int32_t textureHandle = kNoId;
};

struct objAppObj {
  bool enabled = false;
  bool visible = false;
  std::string animateName;  // as written in the file
  std::string inObjectName;
  std::string renderName;
  scriptAppObjAnimate animate;  // empty when the name was not registered
  scriptAppObjInObject inObject;
  scriptAppObjRender render;
};

// An entry of an order list: the object's order and its index in the script's objects.
struct orderEntry {
  int32_t order = 0;
  int32_t object = 0;
};

struct objCamera {
  bool enabled = false;
  int32_t viewLeft = 0, viewTop = 0, viewWidth = 0, viewHeight = 0;
  int32_t cameraX = 0, cameraY = 0;
  std::vector<std::string> names;  // upper-cased
  std::vector<orderEntry> objects;
};

// One object; only the part of its own type is used.
struct objEntry {
  std::string name;  // upper-cased
  int32_t type = 0;
  uint8_t displayId = 0;
  int32_t order = 0;
  bool ownedByCamera = false;  // drawn and hit-tested only through its camera
  objButton button;
  objColor color;
  objDisplay display;
  objImage image;
  objLabel label;
  objList list;
  objPointer pointer;
  objSlider slider;
  objMat mat;
  objRender render;
  objAtex atex;
  objAppObj appObj;
  objCamera camera;
};

// An object the pointer acts on: index (-1 none) and name; equal when both are equal.
struct eventObject {
  int32_t index = -1;
  std::string name;
  bool operator==(const eventObject&) const = default;
};

// A script's interpreter state and host (script_engine.cpp).
struct scriptEngine;

// One loaded script. Its interpreter state is made by the engine hooks when the record is created.
struct script {
  int32_t id = kNoId;
  std::string fileName;
  int32_t version = 0;
  std::vector<std::string> appRoutineNames;
  std::vector<uint8_t> code;
  int32_t listenerAddress = 0;
  uint8_t listenerPresent = 0;
  std::vector<objEntry> objects;
  std::vector<orderEntry> orderList;
  eventObject focus;
  eventObject hover;
  bool dragging = false;
  bool hoverThumb = false;
  int32_t pointerSet = kNoId;
  int32_t pointerX = 0, pointerY = 0;
  int32_t nextTick = 0;
  std::shared_ptr<scriptEngine> engine;
};

// The record of a loaded script; nullptr when there is none.
script* ScriptFind(int32_t scriptId);
// Ids of the loaded scripts in creation order.
std::vector<int32_t> ScriptIds();

// ---------------------------------------------------------------------------------------------
// The file format: each kind's fields in file order, for the parser, writers and printers.

inline constexpr int32_t kFieldI32 = 0;
inline constexpr int32_t kFieldU8 = 1;
inline constexpr int32_t kFieldBool = 2;   // a byte, 0 false
inline constexpr int32_t kFieldText = 3;   // byte length, then the characters
inline constexpr int32_t kFieldListKind = 4;  // a text that must read HORIZONTAL or VERTICAL
inline constexpr int32_t kFieldFrames = 5;  // a frameSet
inline constexpr int32_t kFieldTriangles = 6;  // count, then 12 int32 a triangle
inline constexpr int32_t kFieldNames = 7;  // count, then texts (a camera's object names)

struct objectField {
  const char* name;  // as the read-failure messages name it
  int32_t type;
  int32_t since;  // first file version that holds the field
  void* (*at)(objEntry&);  // the member the field goes to, typed by `type`
};

struct objectKind {
  int32_t type;
  const char* name;  // "Button": the reader is "ScriptFileReadObject" + name
  std::vector<objectField> fields;
};

// Names of the 12 numbers of an Atex triangle, x1 ... v3.
extern const char* const kAtexCornerNames[12];
const std::vector<objectKind>& ScriptObjectKinds();
// nullptr for a type without attributes in the file (unknown kinds).
const objectKind* ScriptObjectKindFind(int32_t type);
const void* ScriptObjectFieldAt(const objEntry& object, const objectField& field);
// Reads a whole script file (version to code) into the record; false after one log line.
bool ScriptFileParse(ByteReader& in, script& record);

// The hooks that join the loader to the interpreter (installed by ScriptStart).
scriptEngineHooks ScriptEngineHooks();

// ---------------------------------------------------------------------------------------------
// Routine tables

struct scriptRoutine {
  std::string name;
  int32_t kind = kScriptRoutineFunction;
  scriptFunction function;
  void* object = nullptr;
  scriptObjectFunction objectFunction;
  scriptRenderProcedure render;
};
struct scriptAppObjRoutineAnimate {
  std::string name;
  scriptAppObjAnimate routine;
};
struct scriptAppObjRoutineInObject {
  std::string name;
  scriptAppObjInObject routine;
};
struct scriptAppObjRoutineRender {
  std::string name;
  scriptAppObjRender routine;
};

// Lookups by name (any letter case): the first entry of that name, or nullptr.
const scriptRoutine* ScriptAppRoutineFind(const std::string& name);
const scriptAppObjRoutineAnimate* ScriptAppObjRoutineFindAnimate(const std::string& name);
const scriptAppObjRoutineInObject* ScriptAppObjRoutineFindInObject(const std::string& name);
const scriptAppObjRoutineRender* ScriptAppObjRoutineFindRender(const std::string& name);
// Empties the four tables.
void ScriptAppRoutinesClear();
// The thread check ScriptAppRoutineRun makes (the interpreter's hook, true without one).
bool ScriptThreadExists(int32_t scriptId, int32_t threadId);

// ---------------------------------------------------------------------------------------------
// Sorting, compiling and releasing (loader)

// Stable, ascending by order: equal orders keep their earlier sequence.
void ScriptOrderSort(std::vector<orderEntry>& list);
// Builds the models, fonts and region maps of every object; false (logged) at the first object
// whose assets cannot be built.
bool ScriptCompileAssets(script& record);
// Frees every model the script's objects own.
void ScriptReleaseAssets(script& record);
// Every image of every frame becomes a model on the display at the set's position; the set's
// width and height become those of image 1 of frame `current` (1-based). Never fails: an image
// that gives no model leaves an empty slot.
void ScriptFrameSetCompile(frameSet& set, int32_t display, int32_t current);
// Colours a Color object's quad from its color and alpha.
void ScriptColorApply(const objColor& c);
// Moves every model of the set with its left or top.
void ScriptFrameSetMoveLeft(frameSet& set, int32_t left);
void ScriptFrameSetMoveTop(frameSet& set, int32_t top);
// thumbOffset from the value, and the models of the current thumb frame placed there.
void ScriptSliderPlaceThumb(objSlider& s);

// ---------------------------------------------------------------------------------------------
// Object attributes (the interpreter's GetAttribute and SetAttribute)

// Whether the attribute takes an index operand (read before the value on a set).
bool ScriptObjectAttributeIndexed(const script& record, int32_t object, int32_t attribute, bool set);
// The attribute's value; false (the thread fails, nothing logged) for an object index out of
// range, a kind without that attribute or an index outside a list's items, icons or values.
bool ScriptObjectAttributeGet(script& record, int32_t object, int32_t attribute, int32_t index, parameter& value);
// Stores the value converted to the attribute's type, with the kind's side effects (moving
// models, wrapping text, clamping frames with a log line). False as for the get.
bool ScriptObjectAttributeSet(script& record, int32_t object, int32_t attribute, int32_t index,
                              const parameter& value);
// Sets the object's order and re-sorts the script's order list and every camera's list that
// holds the object.
void ScriptObjectOrderSet(script& record, int32_t object, int32_t order);

// ---------------------------------------------------------------------------------------------
// Views: how a script's logical space meets a display's window (drawing and the pointer)

inline constexpr int32_t kViewFill = 0;
inline constexpr int32_t kViewBestFit = 1;

struct scriptView {
  const objDisplay* display = nullptr;  // the first Display object of that display; nullptr: none
  int32_t windowWidth = 1, windowHeight = 1;  // the display's client size
  // BestFit: the scale, the fitted size (round half to even, at least 1) and the offsets that
  // centre it; other modes: scale 1, the window size, offsets 0.
  double scale = 1.0;
  int32_t fittedWidth = 1, fittedHeight = 1;
  int32_t offsetX = 0, offsetY = 0;
};
// A Display object with no area (width or height below 1) counts as none: nothing could be drawn
// in it and the pointer mapping would divide by zero.
scriptView ScriptViewGet(const script& record, int32_t displayId);

// ---------------------------------------------------------------------------------------------
// Pointer events (script_events.cpp) and drawing (script_render.cpp)

// Replaces the millisecond clock the tick reads; nullptr restores the system tick.
void ScriptEventClockSet(uint32_t (*clock)());
// The tick: every 33 ms of the millisecond clock, -1 to the visible objects that take it, texture
// scrolling of Atex objects and app-object animate routines.
void ScriptTick(script& record);
// The pointer and button processing of an update: hover, focus, clicks, slider drags.
void ScriptPointerProcess(script& record);
// The object hit at a script point; display -1 tests every object against its own display, and
// the focus rule is not applied (system routine 39).
eventObject ScriptHitTest(script& record, int32_t display, int32_t x, int32_t y);
// Sends the event to the object's listener: nothing unless the index is valid and the name is
// not empty; then true (delivered) whether or not the listener could run.
bool ScriptEventSend(script& record, const eventObject& target, int32_t code);

// From the tree to a script file: the objects' records, and code for the engine's stack machine.
//
// How the language sits on the machine:
// - Screen variables (top-level `var`) are the main thread's first slots. The main code pushes
//   them all first (so every one exists whatever order the code runs in) and ends with them on its
//   stack; the listener runs on the main thread's stack above them, so handlers and the routines
//   they call reach them by absolute slot (variable mode 0).
// - A routine's frame: the caller pushes a placeholder for the result (of the routine's result
//   type: a Move into it converts to that kind), then the arguments, and calls; inside, parameter
//   i of k is slot base - (k - i), the result base - (k + 1), locals base + n.
// - A handler sees the event code at base - 1 and the object name at base - 2 and must leave the
//   stack as it found it, since the dispatcher pops two slots after it.
// - `start` forks: the new thread is a copy of the stack, so it can read nothing the main thread
//   changes later; the compiler refuses screen variables in started threads (and routines that
//   use them), and refuses waits where the main thread runs (main code, handlers and routines
//   they call), since a waiting main thread stops events, ticks and every started thread.
// Every value's kind at run time is the static type the compiler gave it, which is what makes
// the engine's conversion rules (the left operand's kind decides) predictable here.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "compiler/compiler.h"
#include "compiler/syntax.h"
#include "compiler/tables.h"
#include "core/util.h"
#include "script/script_internal.h"
#include "script/script_write.h"
#include "script/vm_code.h"

namespace vmcc {

namespace {

parameter Default(int32_t type) {
  if (type == kTypeText) return ParameterText("");
  if (type == kTypeBool) return ParameterBoolean(false);
  return ParameterInteger(0);
}

// A value operand: a literal, or a variable reference (mode 0 slot n, 1 base - n, 2 base + n).
struct opnd {
  bool variable = false;
  uint8_t mode = 0;
  int32_t n = 0;
  parameter literal;
};

opnd Literal(parameter value) {
  opnd o;
  o.literal = std::move(value);
  return o;
}

opnd Slot(uint8_t mode, int32_t n) {
  opnd o;
  o.variable = true;
  o.mode = mode;
  o.n = n;
  return o;
}

struct mapEntry {
  size_t offset;
  srcPos pos;
};

// ---------------------------------------------------------------------------------------------
// Code bytes, laid out by the instruction table's shapes.

class emitter {
 public:
  std::vector<uint8_t> code;
  std::vector<mapEntry> map;

  int32_t Label() {
    labels_.push_back(-1);
    return static_cast<int32_t>(labels_.size() - 1);
  }
  void Bind(int32_t label) { labels_[static_cast<size_t>(label)] = static_cast<int32_t>(code.size()); }
  int32_t Where(int32_t label) const { return labels_[static_cast<size_t>(label)]; }
  void Mark(const srcPos& pos) {
    if (!map.empty() && map.back().offset == code.size()) {
      map.back().pos = pos;
      return;
    }
    if (!map.empty() && map.back().pos.file == pos.file && map.back().pos.line == pos.line) return;
    map.push_back({code.size(), pos});
  }

  void Op(uint8_t opcode, bool flagA = false, bool flagB = false) {
    code.push_back(static_cast<uint8_t>(opcode | (flagA ? 0x40 : 0) | (flagB ? 0x80 : 0)));
  }
  void U8(uint8_t v) { code.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(u >> (8 * i)));
  }
  void Value(const opnd& o) {
    if (o.variable) {
      U8(o.mode);
      I32(o.n);
      return;
    }
    U8(static_cast<uint8_t>(o.literal.kind));
    switch (o.literal.kind) {
      case kParameterBoolean: U8(o.literal.boolean ? 1 : 0); break;
      case kParameterText:
        U16(static_cast<uint16_t>(o.literal.text.size()));
        for (char c : o.literal.text) U8(static_cast<uint8_t>(c));
        break;
      default: I32(o.literal.integer);
    }
  }
  void Address(int32_t label) {
    fixups_.push_back({code.size(), label});
    I32(0);
  }

  // Instructions.
  void Push(const opnd& v) {
    Op(kOpPush, v.variable);
    Value(v);
  }
  void Pop() { Op(kOpPop); }
  void Arith(uint8_t opcode, const opnd& v, const opnd& d) {
    Op(opcode, v.variable, true);
    Value(v);
    U8(d.mode);
    I32(d.n);
  }
  void JumpIf(uint8_t opcode, const opnd& a, const opnd& b, int32_t label) {
    Op(opcode, a.variable, b.variable);
    Value(a);
    Value(b);
    Address(label);
  }
  void Jump(int32_t label) {
    Op(kOpJump);
    Address(label);
  }
  void Not(const opnd& d) {
    Op(kOpNot, true);
    U8(d.mode);
    I32(d.n);
  }

  void Finish() {
    for (const auto& [at, label] : fixups_) {
      const auto u = static_cast<uint32_t>(labels_[static_cast<size_t>(label)]);
      for (int i = 0; i < 4; ++i) code[at + static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
    }
  }

 private:
  std::vector<int32_t> labels_;
  std::vector<std::pair<size_t, int32_t>> fixups_;
};

uint8_t Inverse(uint8_t opcode) {
  switch (opcode) {
    case kOpJumpEqual: return kOpJumpNotEqual;
    case kOpJumpNotEqual: return kOpJumpEqual;
    case kOpJumpLess: return kOpJumpGreaterEqual;
    case kOpJumpGreaterEqual: return kOpJumpLess;
    case kOpJumpGreater: return kOpJumpLessEqual;
    default: return kOpJumpGreater;  // <=
  }
}

bool ComparisonOpcode(const std::string& op, uint8_t& opcode) {
  static const std::map<std::string, uint8_t> ops = {{"==", kOpJumpEqual},   {"!=", kOpJumpNotEqual},
                                                      {"<", kOpJumpLess},    {"<=", kOpJumpLessEqual},
                                                      {">", kOpJumpGreater}, {">=", kOpJumpGreaterEqual}};
  const auto it = ops.find(op);
  if (it == ops.end()) return false;
  opcode = it->second;
  return true;
}

bool ArithmeticOpcode(const std::string& op, uint8_t& opcode) {
  static const std::map<std::string, uint8_t> ops = {{"+", kOpAdd},      {"-", kOpSubtract}, {"*", kOpMultiply},
                                                      {"/", kOpDivide},   {"%", kOpModulo},   {"&", kOpAnd},
                                                      {"|", kOpOr}};
  const auto it = ops.find(op);
  if (it == ops.end()) return false;
  opcode = it->second;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The compiler

enum class ctx { kMain, kHandler, kFunction, kThread };

struct local {
  std::string name;
  int32_t type = kTypeInt;
  uint8_t mode = kVmModeBasePlus;
  int32_t n = 0;
};

struct scope {
  std::vector<local> locals;
  int32_t depthAtStart = 0;
  bool barrier = false;  // a started thread's body: nothing outside it is visible
};

struct screenVar {
  const stmt* declaration = nullptr;
  std::string name;
  srcPos pos;
  int32_t slot = 0;
  int32_t type = kTypeInt;
  bool declared = false;  // the main code has passed its declaration
};

struct functionInfo {
  const functionDecl* decl = nullptr;
  std::vector<int32_t> paramTypes;
  int32_t returnType = kTypeNone;
  int32_t label = -1;
  bool usesScreen = false;  // itself or a routine it calls reads or writes a screen variable
  bool waits = false;       // itself or a routine it calls waits
  std::set<std::string> callees;
};

struct loop {
  int32_t breakLabel;
  int32_t continueLabel;
  int32_t depth;
};

// Attributes of a routine that follow from what it calls, carried from one pass to the next.
struct knownFacts {
  std::map<std::string, int32_t> returnTypes;
  std::map<std::string, int32_t> screenTypes;
  std::map<std::string, bool> usesScreen;
  std::map<std::string, bool> waits;
  bool operator==(const knownFacts&) const = default;
};

bool HasValueReturn(const std::vector<stmtPtr>& body) {
  for (const stmtPtr& s : body) {
    if (s->kind == sk::kReturn && s->value) return true;
    if (s->kind == sk::kStartBlock) continue;
    if (HasValueReturn(s->body) || HasValueReturn(s->orElse)) return true;
  }
  return false;
}

// Whether a statement list (not counting started blocks) holds a statement of the kind.
bool Holds(const std::vector<stmtPtr>& body, const std::function<bool(const stmt&)>& test) {
  for (const stmtPtr& s : body) {
    if (s->kind == sk::kStartBlock) continue;
    if (test(*s) || Holds(s->body, test) || Holds(s->orElse, test)) return true;
  }
  return false;
}

class compiler {
 public:
  compiler(sources& src, program& prog) : src_(src), prog_(prog) {}

  bool Run(compileResult& result) {
    Declarations();
    knownFacts facts;
    for (const functionDecl& f : prog_.functions) {
      facts.returnTypes[f.name] = !f.returnType.empty() ? TypeFromName(f.returnType)
                                  : HasValueReturn(f.body) ? kTypeInt
                                                           : kTypeNone;
    }
    // Types and the routines' facts settle in a few passes; the last pass reports.
    for (int pass = 0; pass < 8; ++pass) {
      knownFacts next = Pass(facts, false);
      if (next == facts) break;
      facts = next;
    }
    Pass(facts, true);
    if (src_.ErrorCount() > 0) return false;
    return Write(result);
  }

 private:
  // ---- errors
  void Error(const srcPos& at, const std::string& message) {
    if (report_) src_.Error(at, message);
  }

  static int32_t TypeFromName(const std::string& name) {
    return name == "text" ? kTypeText : name == "bool" ? kTypeBool : kTypeInt;
  }

  // ---- declarations: objects, constants, routines and screen variables (reported once)
  void Declarations() {
    report_ = true;
    std::map<std::string, srcPos> taken;
    auto claim = [&](const std::string& name, const srcPos& pos, const std::string& what) {
      if (SystemRoutineFind(name) || name == "int" || name == "bool" || name == "text") {
        src_.Error(pos, "\"" + name + "\" is the name of a built-in routine; choose another name for this " + what);
        return false;
      }
      const auto it = taken.find(name);
      if (it != taken.end()) {
        src_.Error(pos, "\"" + name + "\" is already declared at line " + std::to_string(it->second.line) + " of " +
                            src_.File(it->second.file).path + "; each name names one thing");
        return false;
      }
      taken[name] = pos;
      return true;
    };
    std::set<std::string> upperNames;
    for (const objectDecl& o : prog_.objects) {
      const std::string upper = UtilUpper(o.name);
      if (!claim(o.name, o.pos, "object")) continue;
      if (upperNames.count(upper)) {
        src_.Error(o.pos, "another object is also named \"" + upper + "\": object names are stored upper-cased, so they must differ in more than letter case");
        continue;
      }
      upperNames.insert(upper);
      objectIndex_[o.name] = static_cast<int32_t>(objectIndex_.size());
    }
    for (const constDecl& c : prog_.consts) {
      if (!claim(c.name, c.pos, "constant")) continue;
      parameter value;
      if (!ConstEval(*c.value, value)) {
        src_.Error(c.value->pos, "the value of a constant must be known when compiling: numbers, texts, true, false, other constants and operators on them");
        continue;
      }
      consts_[c.name] = value;
    }
    for (const functionDecl& f : prog_.functions) {
      if (!claim(f.name, f.pos, "routine")) continue;
      functions_[f.name].decl = &f;
      std::set<std::string> names;
      for (const param& p : f.params) {
        if (!names.insert(p.name).second) src_.Error(p.pos, "routine " + f.name + " has two parameters named \"" + p.name + "\"");
      }
    }
    for (const stmtPtr& s : prog_.main) {
      if (s->kind != sk::kVar) continue;
      if (!claim(s->name, s->pos, "variable")) continue;
      screenVar v;
      v.declaration = s.get();
      v.name = s->name;
      v.pos = s->pos;
      v.slot = static_cast<int32_t>(screen_.size());
      screen_.push_back(v);
    }
    BuildObjects();
    report_ = false;
  }

  // ---- constant values
  bool ConstEval(const expr& e, parameter& out) const {
    switch (e.kind) {
      case ek::kInteger: out = ParameterInteger(static_cast<int32_t>(e.integer)); return true;
      case ek::kBoolean: out = ParameterBoolean(e.integer != 0); return true;
      case ek::kText: out = ParameterText(e.text); return true;
      case ek::kEventCode: out = ParameterInteger(static_cast<int32_t>(e.integer)); return true;
      case ek::kName: {
        if (IsVariable(e.text)) return false;
        const auto c = consts_.find(e.text);
        if (c != consts_.end()) {
          out = c->second;
          return true;
        }
        if (objectIndex_.count(e.text)) {
          out = ParameterText(UtilUpper(e.text));
          return true;
        }
        return false;
      }
      case ek::kMember:
        if (e.member == "name" && objectIndex_.count(e.text)) {
          out = ParameterText(UtilUpper(e.text));
          return true;
        }
        return false;
      case ek::kUnary: {
        parameter v;
        if (!ConstEval(*e.sub[0], v)) return false;
        if (e.text == "-") {
          out = ParameterInteger(static_cast<int32_t>(0u - static_cast<uint32_t>(ParameterToInteger(v))));
        } else {
          out = ParameterBoolean(!ParameterToBoolean(v));
        }
        return true;
      }
      case ek::kBinary: {
        parameter a, b;
        if (!ConstEval(*e.sub[0], a) || !ConstEval(*e.sub[1], b)) return false;
        const std::string& op = e.text;
        uint8_t opcode = 0;
        if (op == "and" || op == "or") {
          const bool x = ParameterToBoolean(a), y = ParameterToBoolean(b);
          out = ParameterBoolean(op == "and" ? x && y : x || y);
          return true;
        }
        if (ComparisonOpcode(op, opcode)) {
          int c = 0;
          if (a.kind == kParameterText) {
            c = ParameterToText(a).compare(ParameterToText(b));
          } else if (a.kind == kParameterBoolean) {
            c = int(ParameterToBoolean(a)) - int(ParameterToBoolean(b));
          } else {
            const int32_t x = ParameterToInteger(a), y = ParameterToInteger(b);
            c = x < y ? -1 : x > y ? 1 : 0;
          }
          bool r = false;
          switch (opcode) {
            case kOpJumpEqual: r = c == 0; break;
            case kOpJumpNotEqual: r = c != 0; break;
            case kOpJumpLess: r = c < 0; break;
            case kOpJumpLessEqual: r = c <= 0; break;
            case kOpJumpGreater: r = c > 0; break;
            default: r = c >= 0;
          }
          out = ParameterBoolean(r);
          return true;
        }
        if (a.kind == kParameterText || (op == "+" && b.kind == kParameterText)) {
          if (op != "+") return false;
          out = ParameterText(ParameterToText(a) + ParameterToText(b));
          return true;
        }
        if (a.kind == kParameterText) {
          out = ParameterText(a.text + ParameterToText(b));
          return true;
        }
        if (a.kind != kParameterInteger) return false;
        const uint32_t x = static_cast<uint32_t>(a.integer), y = static_cast<uint32_t>(ParameterToInteger(b));
        const int32_t sx = a.integer, sy = ParameterToInteger(b);
        int32_t r = 0;
        if (op == "+") r = static_cast<int32_t>(x + y);
        else if (op == "-") r = static_cast<int32_t>(x - y);
        else if (op == "*") r = static_cast<int32_t>(x * y);
        else if (op == "&") r = static_cast<int32_t>(x & y);
        else if (op == "|") r = static_cast<int32_t>(x | y);
        else if (op == "/") r = sy == 0 ? 0 : (sx == INT32_MIN && sy == -1) ? INT32_MIN : sx / sy;
        else if (op == "%") r = sy == 0 || sy == -1 ? 0 : sx % sy;
        else return false;
        out = ParameterInteger(r);
        return true;
      }
      default: return false;
    }
  }

  // A local or screen variable shadows an object of the same name (never both: names are claimed).
  bool IsVariable(const std::string& name) const {
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
      for (const local& l : s->locals) {
        if (l.name == name) return true;
      }
    }
    return false;
  }

  // ---- objects
  void BuildObjects() {
    for (const objectDecl& d : prog_.objects) {
      const kindInfo* kind = KindFind(d.kind);
      objEntry o;
      o.type = kind->type;
      o.name = UtilUpper(d.name);
      o.displayId = 1;
      if (o.name.size() > 255) src_.Error(d.pos, "an object name has at most 255 characters");
      // Defaults: what the format gives fields that older files lack (the records' own
      // initial values), and for the rest what a modder means by leaving them out: shown,
      // enabled, on frame 1, opaque.
      o.button.visible = o.button.enabled = true, o.button.frame = 1;
      o.color.visible = o.color.enabled = true, o.color.alpha = 255;
      o.display.width = 1280, o.display.height = 720;
      o.image.visible = true, o.image.frame = 1, o.image.alpha = 255;
      o.label.visible = true;
      o.list.visible = o.list.enabled = true, o.list.frame = 1, o.list.frameSelected = 1;
      o.list.frameMouseOver = 1, o.list.kind = "VERTICAL", o.list.textMode = 2, o.list.cellCount = 1;
      o.pointer.visible = true, o.pointer.frame = 1;
      o.slider.visible = o.slider.enabled = true, o.slider.frameRange = 1, o.slider.frameSlider = 1;
      o.mat.enabled = true;
      o.atex.visible = true, o.atex.alpha = 255;
      o.appObj.enabled = o.appObj.visible = true;
      o.camera.enabled = true;
      const expr& record = *d.attributes;
      std::set<std::string> seen;
      for (size_t i = 0; i < record.sub.size(); ++i) {
        const std::string& name = record.fieldNames[i];
        const srcPos& at = record.fieldPos[i];
        const expr& value = *record.sub[i];
        if (!seen.insert(name).second) {
          src_.Error(at, "attribute \"" + name + "\" is given twice");
          continue;
        }
        if (name == "order" || name == "display") {
          int32_t n = 0;
          if (!ConstInt(value, n)) continue;
          if (name == "order") {
            o.order = n;
          } else if (n < 0 || n > 255) {
            src_.Error(value.pos, "display is a number from 0 to 255");
          } else {
            o.displayId = static_cast<uint8_t>(n);
          }
          continue;
        }
        const declAttribute* attribute = nullptr;
        for (const declAttribute& a : kind->declared) {
          if (name == a.name) attribute = &a;
        }
        if (attribute == nullptr) {
          std::string names;
          for (const declAttribute& a : kind->declared) names += std::string(", ") + a.name;
          src_.Error(at, "a " + d.kind + " has no attribute \"" + name + "\"; it has order, display" + names);
          continue;
        }
        const objectKind* format = ScriptObjectKindFind(kind->type);
        for (const objectField& field : format->fields) {
          if (std::string(field.name) == attribute->field) Field(o, d, field, value);
        }
      }
      objects_.push_back(std::move(o));
    }
    if (objects_.size() > 65535) src_.Error(prog_.objects.back().pos, "a screen holds at most 65535 objects");
  }

  bool ConstInt(const expr& e, int32_t& out) {
    parameter v;
    if (!ConstEval(e, v) || v.kind == kParameterText) {
      src_.Error(e.pos, "expected a number here (or a constant holding one)");
      return false;
    }
    out = ParameterToInteger(v);
    return true;
  }
  bool ConstText(const expr& e, std::string& out, size_t limit = 255) {
    parameter v;
    if (!ConstEval(e, v) || v.kind != kParameterText) {
      src_.Error(e.pos, "expected a text in double quotes here (or a constant holding one)");
      return false;
    }
    if (v.text.size() > limit) {
      src_.Error(e.pos, "this text has " + std::to_string(v.text.size()) + " characters; the file holds at most " + std::to_string(limit));
      return false;
    }
    out = v.text;
    return true;
  }

  void Field(objEntry& o, const objectDecl& d, const objectField& field, const expr& value) {
    void* at = field.at(o);
    switch (field.type) {
      case kFieldI32: {
        if (o.type == kObjDisplay && value.kind == ek::kName && !consts_.count(value.text)) {
          static const std::map<std::string, int32_t> modes = {{"fill", 0}, {"bestfit", 1}, {"full", 2}};
          const auto it = modes.find(value.text);
          if (it == modes.end()) {
            src_.Error(value.pos, "mode is fill, bestfit or full");
          } else {
            *static_cast<int32_t*>(at) = it->second;
          }
          return;
        }
        ConstInt(value, *static_cast<int32_t*>(at));
        return;
      }
      case kFieldU8:
      case kFieldBool: {
        int32_t n = 0;
        if (!ConstInt(value, n)) return;
        if (n < 0 || n > 255) {
          src_.Error(value.pos, std::string(field.name) + " is a number from 0 to 255");
          return;
        }
        if (field.type == kFieldBool) {
          *static_cast<bool*>(at) = n != 0;
        } else {
          *static_cast<uint8_t*>(at) = static_cast<uint8_t>(n);
        }
        return;
      }
      case kFieldText: ConstText(value, *static_cast<std::string*>(at)); return;
      case kFieldListKind: {
        std::string kind;
        if (value.kind == ek::kName && !consts_.count(value.text)) {
          kind = value.text;
        } else if (!ConstText(value, kind)) {
          return;
        }
        kind = UtilUpper(kind);
        if (kind != "HORIZONTAL" && kind != "VERTICAL") {
          src_.Error(value.pos, "a list's kind is horizontal or vertical");
          return;
        }
        *static_cast<std::string*>(at) = kind;
        return;
      }
      case kFieldFrames: Frames(value, *static_cast<frameSet*>(at)); return;
      case kFieldTriangles: {
        if (value.kind != ek::kList) {
          src_.Error(value.pos, "triangles is a list of triangles, each a list of 12 numbers [x1, y1, u1, v1, x2, ..., v3]");
          return;
        }
        auto& triangles = *static_cast<std::vector<atexTriangle>*>(at);
        for (const exprPtr& t : value.sub) {
          if (t->kind != ek::kList || t->sub.size() != 12) {
            src_.Error(t->pos, "a triangle is a list of 12 numbers: x1, y1, u1, v1, x2, y2, u2, v2, x3, y3, u3, v3");
            continue;
          }
          atexTriangle triangle{};
          for (size_t c = 0; c < 12; ++c) ConstInt(*t->sub[c], triangle[c]);
          triangles.push_back(triangle);
        }
        return;
      }
      case kFieldNames: {
        if (value.kind != ek::kList) {
          src_.Error(value.pos, "objects is a list of the objects the camera shows: [PLAY, SCORE]");
          return;
        }
        auto& names = *static_cast<std::vector<std::string>*>(at);
        for (const exprPtr& n : value.sub) {
          std::string name;
          if (n->kind == ek::kName && !objectIndex_.count(n->text) && !consts_.count(n->text)) {
            src_.Error(n->pos, "there is no object named \"" + n->text + "\"");
            continue;
          }
          if (ConstText(*n, name)) names.push_back(UtilUpper(name));
        }
        return;
      }
      default: (void)d; return;
    }
  }

  // A frame set: [frame, ...] or { blend = n, memory = bool, frames = [frame, ...] }; a frame is
  // a file name, a list of file names (layers) or { images = [...], mat = "file" }.
  void Frames(const expr& value, frameSet& set) {
    const expr* list = &value;
    if (value.kind == ek::kRecord) {
      list = nullptr;
      for (size_t i = 0; i < value.sub.size(); ++i) {
        const std::string& name = value.fieldNames[i];
        const expr& v = *value.sub[i];
        int32_t n = 0;
        if (name == "blend") {
          if (ConstInt(v, n)) set.blend = static_cast<uint8_t>(n);
        } else if (name == "memory") {
          if (ConstInt(v, n)) set.memory = n != 0;
        } else if (name == "frames") {
          list = &v;
        } else {
          src_.Error(value.fieldPos[i], "a frame set has blend, memory and frames, not \"" + name + "\"");
        }
      }
      if (list == nullptr) return;
    }
    if (list->kind != ek::kList) {
      src_.Error(list->pos, "frames are a list: [\"a.tga\", [\"layer1.tga\", \"layer2.tga\"], { images = [\"b.tga\"], mat = \"b.mat\" }]");
      return;
    }
    for (const exprPtr& f : list->sub) {
      frame item;
      const expr* images = f.get();
      if (f->kind == ek::kRecord) {
        images = nullptr;
        for (size_t i = 0; i < f->sub.size(); ++i) {
          if (f->fieldNames[i] == "mat") {
            ConstText(*f->sub[i], item.mat);
          } else if (f->fieldNames[i] == "images") {
            images = f->sub[i].get();
          } else {
            src_.Error(f->fieldPos[i], "a frame has images and mat, not \"" + f->fieldNames[i] + "\"");
          }
        }
      }
      if (images != nullptr && images->kind == ek::kList) {
        for (const exprPtr& image : images->sub) {
          std::string name;
          if (ConstText(*image, name)) item.images.push_back(name);
        }
      } else if (images != nullptr) {
        std::string name;
        if (ConstText(*images, name)) item.images.push_back(name);
      }
      set.frames.push_back(std::move(item));
    }
  }

  // ---- one pass over the code
  knownFacts Pass(const knownFacts& facts, bool report) {
    report_ = report;
    out_ = emitter();
    screenTypes_.clear();
    appNames_.clear();
    appIndex_.clear();
    knownFacts next;
    for (auto& [name, f] : functions_) {
      f.label = out_.Label();
      f.paramTypes.clear();
      for (const param& p : f.decl->params) f.paramTypes.push_back(p.type.empty() ? kTypeInt : TypeFromName(p.type));
      f.returnType = facts.returnTypes.count(name) ? facts.returnTypes.at(name) : kTypeNone;
      f.usesScreen = facts.usesScreen.count(name) && facts.usesScreen.at(name);
      f.waits = facts.waits.count(name) && facts.waits.at(name);
      f.callees.clear();
    }
    for (screenVar& v : screen_) {
      v.type = facts.screenTypes.count(v.name) ? facts.screenTypes.at(v.name) : kTypeInt;
      v.declared = false;
    }
    direct_.clear();

    // Main code: the screen variables first, then the top-level statements.
    Begin(ctx::kMain, 0);
    for (const screenVar& v : screen_) {
      out_.Mark(v.pos);
      Push(Literal(Default(v.type)));
    }
    scopes_.push_back(scope{{}, depth_, false});
    for (const stmtPtr& s : prog_.main) Statement(*s);
    scopes_.clear();
    out_.Op(kOpReturn);
    for (const screenVar& v : screen_) next.screenTypes[v.name] = screenTypes_.count(v.name) ? screenTypes_[v.name] : v.type;

    // The listener: specific handlers in file order, then `on event`.
    listenerLabel_ = -1;
    if (!prog_.handlers.empty()) {
      listenerLabel_ = out_.Label();
      out_.Bind(listenerLabel_);
      for (int round = 0; round < 2; ++round) {
        for (const handlerDecl& h : prog_.handlers) {
          if (h.any != (round == 1)) continue;
          Handler(h);
        }
      }
      out_.Op(kOpReturn);
    }

    for (auto& [name, f] : functions_) Function(f, next);

    // Facts through the calls: a routine that calls one that waits waits too, and so on.
    for (auto& [name, f] : functions_) {
      next.usesScreen[name] = direct_[name].first;
      next.waits[name] = direct_[name].second;
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (auto& [name, f] : functions_) {
        for (const std::string& callee : f.callees) {
          if (next.usesScreen[callee] && !next.usesScreen[name]) next.usesScreen[name] = changed = true;
          if (next.waits[callee] && !next.waits[name]) next.waits[name] = changed = true;
        }
      }
    }
    out_.Finish();
    return next;
  }

  void Begin(ctx context, int32_t depth) {
    context_ = context;
    depth_ = depth;
    scopes_.clear();
    loops_.clear();
  }

  void Handler(const handlerDecl& h) {
    Begin(ctx::kHandler, 0);
    current_ = nullptr;
    out_.Mark(h.pos);
    const int32_t next = out_.Label();
    if (!h.any) out_.JumpIf(kOpJumpNotEqual, Slot(kVmModeBaseMinus, 1), Literal(ParameterInteger(h.code)), next);
    if (!h.object.empty()) {
      if (!objectIndex_.count(h.object)) {
        Error(h.objectPos, "there is no object named \"" + h.object + "\" to listen to");
      }
      out_.JumpIf(kOpJumpNotEqual, Slot(kVmModeBaseMinus, 2), Literal(ParameterText(UtilUpper(h.object))), next);
    }
    scope params{{}, 0, false};
    if (!h.codeName.empty()) params.locals.push_back({h.codeName, kTypeInt, kVmModeBaseMinus, 1});
    if (!h.objectName.empty()) params.locals.push_back({h.objectName, kTypeText, kVmModeBaseMinus, 2});
    scopes_.push_back(params);
    Block(h.body);
    out_.Op(kOpReturn);
    out_.Bind(next);
    scopes_.clear();
  }

  void Function(functionInfo& f, knownFacts& next) {
    Begin(ctx::kFunction, 0);
    current_ = &f;
    currentName_ = f.decl->name;
    direct_[currentName_];
    out_.Bind(f.label);
    out_.Mark(f.decl->pos);
    const int32_t k = static_cast<int32_t>(f.decl->params.size());
    scope params{{}, 0, false};
    for (int32_t i = 0; i < k; ++i) {
      params.locals.push_back({f.decl->params[static_cast<size_t>(i)].name, f.paramTypes[static_cast<size_t>(i)],
                               kVmModeBaseMinus, k - i});
    }
    scopes_.push_back(params);
    inferred_ = kTypeNone;
    Block(f.decl->body);
    out_.Op(kOpReturn);
    scopes_.clear();
    next.returnTypes[currentName_] = !f.decl->returnType.empty() ? TypeFromName(f.decl->returnType)
                                     : inferred_ != kTypeNone   ? inferred_
                                                                : f.returnType;
    current_ = nullptr;
  }

  // ---- scopes and the stack
  void Push(const opnd& v) {
    out_.Push(v);
    ++depth_;
  }
  void Pop(int32_t count = 1) {
    for (int32_t i = 0; i < count; ++i) out_.Pop();
    depth_ -= count;
  }
  opnd Top() const { return Slot(kVmModeBasePlus, depth_ - 1); }

  void Block(const std::vector<stmtPtr>& body) {
    scopes_.push_back(scope{{}, depth_, false});
    for (const stmtPtr& s : body) Statement(*s);
    Pop(depth_ - scopes_.back().depthAtStart);
    scopes_.pop_back();
  }

  // What a name means here.
  enum class nk { kNone, kLocal, kScreen, kConst, kObject };
  struct named {
    nk kind = nk::kNone;
    local var;  // kLocal, kScreen: where it lives and its type
    parameter value;
    int32_t object = -1;
  };

  named Resolve(const std::string& name, const srcPos& at, bool report) {
    named r;
    bool crossed = false;
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
      for (const local& l : s->locals) {
        if (l.name != name) continue;
        if (crossed) {
          if (report) {
            Error(at, "\"" + name + "\" belongs to the code that started this thread; the thread works on a copy taken at its start and would never see a change. Pass the value as a parameter (start worker(" + name + ")) or share it through an object attribute or a state variable");
          }
          r.kind = nk::kLocal;
          r.var = l;
          return r;
        }
        r.kind = nk::kLocal;
        r.var = l;
        return r;
      }
      if (s->barrier) crossed = true;
    }
    for (screenVar& v : screen_) {
      if (v.name != name) continue;
      r.kind = nk::kScreen;
      r.var = {name, v.type, 0, v.slot};
      if (!report) return r;
      if (context_ == ctx::kThread) {
        Error(at, "\"" + name + "\" is a screen variable of the main thread; a started thread only has a copy taken at its start and would never see a change. Pass the value as a parameter (start worker(" + name + ")) or share it through an object attribute or a state variable");
      } else if (context_ == ctx::kMain && !v.declared) {
        Error(at, "\"" + name + "\" is used before its declaration at line " + std::to_string(v.pos.line) + "; the main code runs from top to bottom");
      } else if (context_ == ctx::kFunction) {
        direct_[currentName_].first = true;
      }
      return r;
    }
    const auto c = consts_.find(name);
    if (c != consts_.end()) {
      r.kind = nk::kConst;
      r.value = c->second;
      return r;
    }
    const auto o = objectIndex_.find(name);
    if (o != objectIndex_.end()) {
      r.kind = nk::kObject;
      r.object = o->second;
      return r;
    }
    if (report) {
      std::string hint;
      if (functions_.count(name) || SystemRoutineFind(name)) hint = "; \"" + name + "\" is a routine: call it with ( )";
      Error(at, "\"" + name + "\" is not declared" + (hint.empty() ? "; declare it with var " + name + " = value" : hint));
    }
    return r;
  }

  // ---- types
  int32_t TypeOf(const expr& e) {
    parameter v;
    if (ConstEval(e, v)) return v.kind;
    switch (e.kind) {
      case ek::kName: {
        const named n = Resolve(e.text, e.pos, false);
        return n.kind == nk::kLocal || n.kind == nk::kScreen ? n.var.type : n.kind == nk::kObject ? kTypeText : kTypeInt;
      }
      case ek::kMember:
      case ek::kIndexed: {
        const codeAttribute* a = Attribute(e, false, false);
        return a ? a->type : kTypeInt;
      }
      case ek::kCall: {
        if (e.text == "int" || e.text == "bool" || e.text == "text") return TypeFromName(e.text);
        if (const systemRoutine* r = SystemRoutineFind(e.text)) return r->output == kTypeNone ? kTypeInt : r->output;
        const auto f = functions_.find(e.text);
        return f != functions_.end() && f->second.returnType != kTypeNone ? f->second.returnType : kTypeInt;
      }
      case ek::kUnary: return e.text == "-" ? kTypeInt : kTypeBool;
      case ek::kBinary: {
        uint8_t opcode = 0;
        if (e.text == "and" || e.text == "or" || ComparisonOpcode(e.text, opcode)) return kTypeBool;
        if (JoinsTexts(e)) return kTypeText;
        return TypeOf(*e.sub[0]);
      }
      default: return kTypeInt;
    }
  }

  // The attribute an object.attribute expression names (nullptr after an error, or for `order`
  // and `name`, which every kind has: see AttributeOrder).
  const codeAttribute* Attribute(const expr& e, bool set, bool report) {
    static const codeAttribute order{"order", kAttributeOrder, kAttributeOrder, kTypeInt};
    const auto o = objectIndex_.find(e.text);
    if (o == objectIndex_.end()) {
      if (report) {
        if (IsVariable(e.text) || std::any_of(screen_.begin(), screen_.end(), [&](const screenVar& v) { return v.name == e.text; })) {
          Error(e.pos, "\"" + e.text + "\" is a variable; only objects have attributes (" + e.text + "." + e.member + ")");
        } else {
          Error(e.pos, "there is no object named \"" + e.text + "\"");
        }
      }
      return nullptr;
    }
    if (e.member == "order") return &order;
    const kindInfo* kind = KindOfType(objects_[static_cast<size_t>(o->second)].type);
    const codeAttribute* a = AttributeFind(*kind, e.member);
    if (a == nullptr) {
      if (report) Error(e.pos, "a " + std::string(kind->word) + " has no attribute \"" + e.member + "\"; it has " + AttributeNames(*kind));
      return nullptr;
    }
    if (report) {
      if (a->indexed && e.kind != ek::kIndexed) {
        Error(e.pos, e.member + " holds one value per item: write " + e.text + "." + e.member + "[index]");
        return nullptr;
      }
      if (!a->indexed && e.kind == ek::kIndexed) {
        Error(e.pos, e.member + " is one value and takes no index");
        return nullptr;
      }
      if (set && a->set < 0) {
        Error(e.pos, e.text + "." + e.member + " can be read but not set");
        return nullptr;
      }
      if (!set && a->get < 0) {
        Error(e.pos, e.text + "." + e.member + " can be set but not read");
        return nullptr;
      }
    }
    return a;
  }

  // ---- expressions
  // An operand for the value: a literal or a variable when no code is needed, else the value
  // pushed (pushed is then 1; the caller pops it).
  opnd Operand(const expr& e, int32_t& pushed) {
    pushed = 0;
    parameter v;
    if (ConstEval(e, v)) {
      if (v.kind == kParameterText && v.text.size() > 65535) Error(e.pos, "a text in code has at most 65535 characters");
      return Literal(v);
    }
    if (e.kind == ek::kName) {
      const named n = Resolve(e.text, e.pos, true);
      if (n.kind == nk::kLocal || n.kind == nk::kScreen) return Slot(n.var.mode, n.var.n);
      return Literal(ParameterInteger(0));
    }
    EvalPush(e);
    pushed = 1;
    return Top();
  }

  // target := target op value (Move, Add, ...), the value's slot popped again if it needed one.
  void ApplyTo(uint8_t opcode, const expr& value, const opnd& target) {
    int32_t pushed = 0;
    const opnd v = Operand(value, pushed);
    out_.Arith(opcode, v, target);
    Pop(pushed);
  }

  // Pushes the value as the given type (the engine's conversion when it differs).
  void EvalPushAs(const expr& e, int32_t type) {
    if (TypeOf(e) == type) {
      EvalPush(e);
      return;
    }
    Push(Literal(Default(type)));
    ApplyTo(kOpMove, e, Top());
  }

  // Pushes exactly one slot holding the value, of the kind TypeOf gives.
  void EvalPush(const expr& e) {
    parameter v;
    if (ConstEval(e, v)) {
      if (v.kind == kParameterText && v.text.size() > 65535) Error(e.pos, "a text in code has at most 65535 characters");
      Push(Literal(v));
      return;
    }
    switch (e.kind) {
      case ek::kName: {
        int32_t pushed = 0;
        const opnd o = Operand(e, pushed);
        Push(o);
        return;
      }
      case ek::kMember:
      case ek::kIndexed: {
        const codeAttribute* a = Attribute(e, false, true);
        if (a == nullptr) {
          Push(Literal(ParameterInteger(0)));
          return;
        }
        const int32_t object = objectIndex_.at(e.text);
        if (!a->indexed) {
          out_.Op(kOpGetAttribute);
          out_.U16(static_cast<uint16_t>(object));
          out_.U8(static_cast<uint8_t>(a->get));
          ++depth_;
          return;
        }
        // An item holds a value of any kind: it is converted into a placeholder of the type.
        Push(Literal(Default(a->type)));
        const opnd target = Top();
        int32_t pushed = 0;
        const opnd index = Index(*e.sub[0], pushed);
        out_.Op(kOpGetAttribute);
        out_.U16(static_cast<uint16_t>(object));
        out_.U8(static_cast<uint8_t>(a->get));
        IndexOperand(index);
        ++depth_;
        out_.Arith(kOpMove, Top(), target);
        Pop(1 + pushed);
        return;
      }
      case ek::kCall: Call(e, true); return;
      case ek::kAppCall:
        Error(e.pos, "an app routine gives its results through out parameters, not as a value: App." + e.text + "(..., out v)");
        Push(Literal(ParameterInteger(0)));
        return;
      case ek::kUnary: {
        if (e.text == "-") {
          Push(Literal(ParameterInteger(0)));
          ApplyTo(kOpSubtract, *e.sub[0], Top());
          return;
        }
        EvalPushAs(*e.sub[0], kTypeBool);
        out_.Not(Top());
        return;
      }
      case ek::kBinary: {
        const std::string& op = e.text;
        uint8_t opcode = 0;
        if (op == "and" || op == "or") {
          EvalPushAs(*e.sub[0], kTypeBool);
          const opnd target = Top();
          const int32_t end = out_.Label();
          out_.JumpIf(kOpJumpEqual, target, Literal(ParameterBoolean(op == "or")), end);
          EvalPushAs(*e.sub[1], kTypeBool);
          out_.Arith(kOpMove, Top(), target);
          Pop();
          out_.Bind(end);
          return;
        }
        if (ComparisonOpcode(op, opcode)) {
          Push(Literal(ParameterBoolean(false)));
          const opnd target = Top();
          int32_t pa = 0, pb = 0;
          const opnd a = Operand(*e.sub[0], pa);
          const opnd b = Operand(*e.sub[1], pb);
          const int32_t skip = out_.Label();
          out_.JumpIf(Inverse(opcode), a, b, skip);
          out_.Arith(kOpMove, Literal(ParameterBoolean(true)), target);
          out_.Bind(skip);
          Pop(pa + pb);
          return;
        }
        ArithmeticOpcode(op, opcode);
        if (JoinsTexts(e)) {
          EvalPushAs(*e.sub[0], kTypeText);
          ApplyTo(kOpAdd, *e.sub[1], Top());
          return;
        }
        CheckArithmetic(TypeOf(*e.sub[0]), op, e.pos);
        EvalPush(*e.sub[0]);
        ApplyTo(opcode, *e.sub[1], Top());
        return;
      }
      case ek::kEventCode:
      case ek::kInteger:
      case ek::kBoolean:
      case ek::kText: return;  // constants, above
      default:
        Error(e.pos, "lists and { } records describe objects; they are not values in code");
        Push(Literal(ParameterInteger(0)));
    }
  }

  // "+" with a text on either side joins texts (the left side converted to text), as a modder
  // reading "Score: " + n or n + " points" expects; every other operator follows the left side.
  bool JoinsTexts(const expr& e) {
    return e.kind == ek::kBinary && e.text == "+" && (TypeOf(*e.sub[0]) == kTypeText || TypeOf(*e.sub[1]) == kTypeText);
  }

  void CheckArithmetic(int32_t left, const std::string& op, const srcPos& at) {
    if (left == kTypeBool) {
      Error(at, "\"" + op + "\" on a boolean: use and, or, not, or convert first with int(...)");
    } else if (left == kTypeText && op != "+" && op != "-") {
      Error(at, "\"" + op + "\" on a text gives nothing useful; texts join with + (convert with int(...) to calculate)");
    }
  }

  // A list index: an integer literal, an integer variable, or the value pushed.
  opnd Index(const expr& e, int32_t& pushed) {
    pushed = 0;
    parameter v;
    if (ConstEval(e, v)) return Literal(ParameterInteger(ParameterToInteger(v)));
    if (e.kind == ek::kName && TypeOf(e) == kTypeInt) return Operand(e, pushed);
    EvalPushAs(e, kTypeInt);
    pushed = 1;
    return Top();
  }
  void IndexOperand(const opnd& index) {
    if (index.variable) {
      out_.U8(index.mode);
      out_.I32(index.n);
    } else {
      out_.U8(kVmIndexImmediate);
      out_.I32(index.literal.integer);
    }
  }

  // ---- calls
  void Call(const expr& e, bool wantValue) {
    out_.Mark(e.pos);
    for (const exprPtr& a : e.sub) {
      if (a->out) Error(a->pos, "out parameters are for app routines (App.Name(out x)); routines of the screen return their result");
    }
    const std::string& name = e.text;
    if (name == "int" || name == "bool" || name == "text") {
      if (e.sub.size() != 1) Error(e.pos, name + "(value) converts one value");
      if (!wantValue) Error(e.pos, "a conversion on its own does nothing; use its value");
      if (e.sub.empty()) {
        Push(Literal(Default(TypeFromName(name))));
      } else {
        EvalPushAs(*e.sub[0], TypeFromName(name));
      }
      if (!wantValue) Pop();
      return;
    }
    if (const systemRoutine* r = SystemRoutineFind(name)) {
      if (e.sub.size() != r->inputs.size()) {
        Error(e.pos, name + " takes " + std::to_string(r->inputs.size()) + " value(s), not " + std::to_string(e.sub.size()));
      }
      if (wantValue && r->output == kTypeNone) Error(e.pos, name + " has no result to use as a value");
      const int32_t k = static_cast<int32_t>(r->inputs.size());
      if (r->output != kTypeNone) Push(Literal(Default(r->output)));
      // Parameter k is pushed first, parameter 1 last.
      for (int32_t p = k; p >= 1; --p) {
        for (size_t i = 0; i < r->inputs.size(); ++i) {
          if (r->inputs[i].parameter != p) continue;
          if (i < e.sub.size()) {
            EvalPushAs(*e.sub[i], r->inputs[i].type);
          } else {
            Push(Literal(Default(r->inputs[i].type)));
          }
        }
      }
      out_.Op(kOpCallSystemRoutine);
      out_.U16(static_cast<uint16_t>(r->number));
      Pop(k);
      if (r->output != kTypeNone && !wantValue) Pop();
      if (r->output == kTypeNone && wantValue) Push(Literal(ParameterInteger(0)));
      return;
    }
    const auto it = functions_.find(name);
    if (it == functions_.end()) {
      const bool upper = !name.empty() && std::isupper(static_cast<unsigned char>(name[0]));
      Error(e.pos, "there is no routine named \"" + name + "\"" +
                       (upper ? "; app routines of the game are called as App." + name + "(...)" : ""));
      if (wantValue) Push(Literal(ParameterInteger(0)));
      return;
    }
    functionInfo& f = it->second;
    CheckCallable(f, e.pos, false);
    if (f.decl->params.size() != e.sub.size()) {
      Error(e.pos, name + " takes " + std::to_string(f.decl->params.size()) + " value(s), not " + std::to_string(e.sub.size()));
    }
    if (wantValue && f.returnType == kTypeNone) Error(e.pos, name + " returns no value (it has no return with a value)");
    const bool result = f.returnType != kTypeNone;
    if (result) Push(Literal(Default(f.returnType)));
    const int32_t k = static_cast<int32_t>(f.decl->params.size());
    for (int32_t i = 0; i < k; ++i) {
      if (static_cast<size_t>(i) < e.sub.size()) {
        EvalPushAs(*e.sub[static_cast<size_t>(i)], f.paramTypes[static_cast<size_t>(i)]);
      } else {
        Push(Literal(Default(f.paramTypes[static_cast<size_t>(i)])));
      }
    }
    out_.Op(kOpCall);
    out_.Address(f.label);
    Pop(k);
    if (result && !wantValue) Pop();
    if (!result && wantValue) Push(Literal(ParameterInteger(0)));
  }

  // A routine called (or started) here: it must not wait where the main thread runs, and a
  // started thread must not reach screen variables through it.
  void CheckCallable(functionInfo& f, const srcPos& at, bool started) {
    if (current_ != nullptr) current_->callees.insert(f.decl->name);
    const bool thread = started || context_ == ctx::kThread;
    if (!thread && f.waits && context_ != ctx::kFunction) {
      Error(at, f.decl->name + " waits, and here it would run on the main thread, which stops every event, tick and started thread while it waits; start it instead: start " + f.decl->name + "(...)");
    }
    if (thread && f.usesScreen) {
      Error(at, f.decl->name + " uses screen variables, which a started thread only has copies of; pass the values as parameters or keep them in object attributes or state variables");
    }
  }

  void AppCall(const expr& e) {
    out_.Mark(e.pos);
    if (e.text.size() > 255) Error(e.pos, "an app routine name has at most 255 characters");
    const std::string key = UtilUpper(e.text);
    if (!appIndex_.count(key)) {
      appIndex_[key] = static_cast<int32_t>(appNames_.size());
      appNames_.push_back(e.text);
    }
    const int32_t index = appIndex_[key];
    if (index > 65535) Error(e.pos, "a screen calls at most 65536 app routines");
    const int32_t k = static_cast<int32_t>(e.sub.size());
    const int32_t base = depth_;
    std::vector<named> outs(static_cast<size_t>(k));
    // Parameter 1 is the value pushed last.
    for (int32_t i = k - 1; i >= 0; --i) {
      const expr& a = *e.sub[static_cast<size_t>(i)];
      if (!a.out) {
        EvalPush(a);
        continue;
      }
      named& n = outs[static_cast<size_t>(i)];
      if (a.kind == ek::kName) n = Resolve(a.text, a.pos, true);
      if (n.kind != nk::kLocal && n.kind != nk::kScreen) {
        if (a.kind != ek::kName || n.kind != nk::kNone) Error(a.pos, "out takes a variable to receive the result");
        n.kind = nk::kNone;
        Push(Literal(ParameterInteger(0)));
        continue;
      }
      Push(Slot(n.var.mode, n.var.n));  // its current value goes in: out parameters may be in-out
    }
    out_.Op(kOpCallAppRoutine);
    out_.U16(static_cast<uint16_t>(index));
    for (int32_t i = 0; i < k; ++i) {
      const named& n = outs[static_cast<size_t>(i)];
      if (n.kind == nk::kLocal || n.kind == nk::kScreen) {
        out_.Arith(kOpMove, Slot(kVmModeBasePlus, base + (k - 1 - i)), Slot(n.var.mode, n.var.n));
      }
    }
    Pop(k);
  }

  // ---- conditions: jump to label when the condition's truth equals `when`
  void Condition(const expr& e, bool when, int32_t label) {
    parameter v;
    if (ConstEval(e, v) && v.kind != kParameterText) {
      if (ParameterToBoolean(v) == when) out_.Jump(label);
      return;
    }
    uint8_t opcode = 0;
    if (e.kind == ek::kUnary && e.text == "not") return Condition(*e.sub[0], !when, label);
    if (e.kind == ek::kBinary && (e.text == "and" || e.text == "or")) {
      // "a and b" is true when both are; "a or b" when either is.
      const bool both = e.text == "and";
      if (when != both) {
        Condition(*e.sub[0], when, label);
        Condition(*e.sub[1], when, label);
      } else {
        const int32_t skip = out_.Label();
        Condition(*e.sub[0], !when, skip);
        Condition(*e.sub[1], when, label);
        out_.Bind(skip);
      }
      return;
    }
    int32_t pa = 0, pb = 0;
    opnd a, b;
    if (e.kind == ek::kBinary && ComparisonOpcode(e.text, opcode)) {
      a = Operand(*e.sub[0], pa);
      b = Operand(*e.sub[1], pb);
      if (!when) opcode = Inverse(opcode);
    } else {
      const int32_t type = TypeOf(e);
      if (type == kTypeText) Error(e.pos, "a text is not a condition; compare it, for example s != \"\"");
      a = Operand(e, pa);
      b = Literal(type == kTypeBool ? ParameterBoolean(false) : ParameterInteger(0));
      opcode = when ? kOpJumpNotEqual : kOpJumpEqual;
    }
    const int32_t pushed = pa + pb;
    if (pushed == 0) {
      out_.JumpIf(opcode, a, b, label);
      return;
    }
    // The operands' slots are popped on both ways out.
    const int32_t taken = out_.Label(), onward = out_.Label();
    out_.JumpIf(opcode, a, b, taken);
    for (int32_t i = 0; i < pushed; ++i) out_.Pop();
    out_.Jump(onward);
    out_.Bind(taken);
    for (int32_t i = 0; i < pushed; ++i) out_.Pop();
    out_.Jump(label);
    out_.Bind(onward);
    depth_ -= pushed;
  }

  // ---- statements
  void Statement(const stmt& s) {
    out_.Mark(s.pos);
    switch (s.kind) {
      case sk::kVar: return Var(s);
      case sk::kAssign: return Assign(s);
      case sk::kCall:
        if (s.value->kind == ek::kAppCall) return AppCall(*s.value);
        return Call(*s.value, false);
      case sk::kIf: {
        const int32_t otherwise = out_.Label();
        Condition(*s.value, false, otherwise);
        Block(s.body);
        if (s.orElse.empty()) {
          out_.Bind(otherwise);
          return;
        }
        const int32_t end = out_.Label();
        out_.Jump(end);
        out_.Bind(otherwise);
        Block(s.orElse);
        out_.Bind(end);
        return;
      }
      case sk::kWhile: return While(s);
      case sk::kFor: return For(s);
      case sk::kBreak:
      case sk::kContinue: {
        if (loops_.empty()) {
          Error(s.pos, std::string(s.kind == sk::kBreak ? "break" : "continue") + " is only allowed inside a loop (while or for)");
          return;
        }
        const loop& l = loops_.back();
        for (int32_t i = l.depth; i < depth_; ++i) out_.Pop();
        out_.Jump(s.kind == sk::kBreak ? l.breakLabel : l.continueLabel);
        return;
      }
      case sk::kReturn: return Return(s);
      case sk::kWait: return Wait(s);
      case sk::kStartBlock:
      case sk::kStartCall: return Start(s);
    }
  }

  void Var(const stmt& s) {
    const bool screen = context_ == ctx::kMain && scopes_.size() == 1;
    const int32_t type = TypeOf(*s.value);
    if (screen) {
      screenVar* v = nullptr;
      for (screenVar& each : screen_) {
        if (each.declaration == &s) v = &each;
      }
      if (v == nullptr) return;  // a name refused among the declarations
      screenTypes_[v->name] = type;
      ApplyTo(kOpMove, *s.value, Slot(0, v->slot));
      v->declared = true;
      return;
    }
    for (const local& l : scopes_.back().locals) {
      if (l.name == s.name) Error(s.pos, "\"" + s.name + "\" is already declared in this block");
    }
    if (functions_.count(s.name) || consts_.count(s.name) || objectIndex_.count(s.name) || SystemRoutineFind(s.name)) {
      Error(s.pos, "\"" + s.name + "\" already names a routine, constant or object; choose another variable name");
    }
    EvalPush(*s.value);
    scopes_.back().locals.push_back({s.name, type, kVmModeBasePlus, depth_ - 1});
  }

  void Assign(const stmt& s) {
    const expr& target = *s.target;
    const std::string op = s.op == "=" ? "" : s.op.substr(0, 1);
    uint8_t opcode = kOpMove;
    if (!op.empty()) ArithmeticOpcode(op, opcode);
    if (target.kind == ek::kName) {
      const named n = Resolve(target.text, target.pos, true);
      if (n.kind == nk::kConst || n.kind == nk::kObject) {
        Error(target.pos, "\"" + target.text + "\" is " + (n.kind == nk::kConst ? "a constant" : "an object") + " and cannot be assigned to");
        return;
      }
      if (n.kind == nk::kNone) return;
      if (!op.empty()) CheckArithmetic(n.var.type, op, s.pos);
      ApplyTo(opcode, *s.value, Slot(n.var.mode, n.var.n));
      return;
    }
    const codeAttribute* a = Attribute(target, true, true);
    if (a == nullptr) return;
    if (!op.empty() && a->get < 0) {
      Error(target.pos, target.text + "." + target.member + " can be set but not read, so " + s.op + " cannot work on it");
      return;
    }
    const int32_t object = objectIndex_.at(target.text);
    int32_t pushedIndex = 0;
    opnd index;
    if (a->indexed) index = Index(*target.sub[0], pushedIndex);
    int32_t pushed = 0;
    opnd value;
    if (op.empty()) {
      value = Operand(*s.value, pushed);
    } else {
      CheckArithmetic(a->type, op, s.pos);
      EvalPush(target);
      value = Top();
      ApplyTo(opcode, *s.value, value);
      pushed = 1;
    }
    out_.Op(kOpSetAttribute, value.variable);
    out_.U16(static_cast<uint16_t>(object));
    out_.U8(static_cast<uint8_t>(a->set));
    if (a->indexed) IndexOperand(index);
    out_.Value(value);
    Pop(pushed + pushedIndex);
  }

  void While(const stmt& s) {
    parameter v;
    const bool forever = ConstEval(*s.value, v) && ParameterToBoolean(v);
    const bool leaves = Holds(s.body, [](const stmt& x) { return x.kind == sk::kBreak || x.kind == sk::kReturn; });
    if (forever && !leaves && (context_ == ctx::kMain || context_ == ctx::kHandler)) {
      Error(s.pos, "this loop never ends, and the main thread would never get back to the game; put it in a start { ... } block with a wait in it");
    } else if (forever && !leaves && context_ == ctx::kThread &&
               !Holds(s.body, [this](const stmt& x) { return x.kind == sk::kWait || CallWaits(x); })) {
      Error(s.pos, "this loop never waits, so the game would hang in it; add a wait to let a frame pass");
    }
    const int32_t top = out_.Label(), exit = out_.Label();
    out_.Bind(top);
    Condition(*s.value, false, exit);
    loops_.push_back({exit, top, depth_});
    Block(s.body);
    loops_.pop_back();
    out_.Jump(top);
    out_.Bind(exit);
  }

  // for i = first, last[, step]: i and the last value are the loop's two slots; the step is a
  // constant, so the direction of the test is known.
  void For(const stmt& s) {
    int32_t step = 1;
    parameter v;
    if (s.step) {
      if (!ConstEval(*s.step, v) || v.kind != kParameterInteger || v.integer == 0) {
        Error(s.step->pos, "the step of a for loop is a number other than 0 known when compiling (for i = 10, 1, -1)");
      } else {
        step = v.integer;
      }
    }
    scopes_.push_back(scope{{}, depth_, false});
    EvalPushAs(*s.value, kTypeInt);
    const opnd counter = Top();
    EvalPushAs(*s.target, kTypeInt);
    const opnd last = Top();
    scopes_.back().locals.push_back({s.name, kTypeInt, kVmModeBasePlus, counter.n});
    const int32_t top = out_.Label(), next = out_.Label(), exit = out_.Label();
    out_.Bind(top);
    out_.JumpIf(step > 0 ? kOpJumpGreater : kOpJumpLess, counter, last, exit);
    loops_.push_back({exit, next, depth_});
    Block(s.body);
    loops_.pop_back();
    out_.Bind(next);
    out_.Arith(kOpAdd, Literal(ParameterInteger(step)), counter);
    out_.Jump(top);
    out_.Bind(exit);
    Pop(2);
    scopes_.pop_back();
  }

  // A statement that calls one of the screen's routines that waits.
  bool CallWaits(const stmt& x) const {
    if (x.kind != sk::kCall || x.value->kind != ek::kCall) return false;
    const auto f = functions_.find(x.value->text);
    return f != functions_.end() && f->second.waits;
  }

  void Return(const stmt& s) {
    switch (context_) {
      case ctx::kMain:
        if (s.value) Error(s.value->pos, "the main code returns no value");
        for (int32_t i = static_cast<int32_t>(screen_.size()); i < depth_; ++i) out_.Pop();
        break;
      case ctx::kHandler:
        if (s.value) Error(s.value->pos, "a handler returns no value");
        for (int32_t i = 0; i < depth_; ++i) out_.Pop();
        break;
      case ctx::kThread:
        if (s.value) Error(s.value->pos, "a started thread returns no value");
        break;  // the thread ends here with whatever its stack holds
      case ctx::kFunction: {
        if (s.value) {
          const int32_t type = TypeOf(*s.value);
          if (inferred_ == kTypeNone) inferred_ = type;
          const int32_t k = static_cast<int32_t>(current_->decl->params.size());
          ApplyTo(kOpMove, *s.value, Slot(kVmModeBaseMinus, k + 1));
        }
        for (int32_t i = 0; i < depth_; ++i) out_.Pop();
        break;
      }
    }
    out_.Op(kOpReturn);
  }

  void Wait(const stmt& s) {
    if (context_ == ctx::kMain || context_ == ctx::kHandler) {
      Error(s.pos, std::string("a wait here would stop the main thread") +
                       (context_ == ctx::kMain ? " before the screen is ready" : " inside a handler") +
                       ": while it waits no events, ticks or started threads run. Put the waiting code in a start { ... } block");
    }
    if (context_ == ctx::kFunction) direct_[currentName_].second = true;
    if (!s.value) {
      out_.Op(kOpWait);
      return;
    }
    EvalPushAs(*s.value, kTypeInt);
    const opnd counter = Top();
    const int32_t top = out_.Label(), end = out_.Label();
    out_.Bind(top);
    out_.JumpIf(kOpJumpLessEqual, counter, Literal(ParameterInteger(0)), end);
    out_.Op(kOpWait);
    out_.Arith(kOpSubtract, Literal(ParameterInteger(1)), counter);
    out_.Jump(top);
    out_.Bind(end);
    Pop();
  }

  void Start(const stmt& s) {
    if (context_ == ctx::kFunction) {
      Error(s.pos, "start is allowed in the main code, in handlers and in started threads, not inside a routine: the new thread would return into the routine's caller");
      return;
    }
    const ctx outer = context_;
    const int32_t depth = depth_;
    const auto savedLoops = loops_;
    const int32_t after = out_.Label();
    if (s.kind == sk::kStartBlock) {
      out_.Op(kOpFork);
      out_.Address(after);
      context_ = ctx::kThread;
      loops_.clear();
      scopes_.push_back(scope{{}, depth_, true});
      for (const stmtPtr& inner : s.body) Statement(*inner);
      scopes_.pop_back();
      out_.Op(kOpReturn);  // the thread's outermost level: this ends it
      out_.Bind(after);
      context_ = outer;
      loops_ = savedLoops;
      depth_ = depth;
      return;
    }
    const expr& call = *s.value;
    const auto it = functions_.find(call.text);
    if (it == functions_.end()) {
      Error(call.pos, "start runs one of the screen's own routines; there is no routine named \"" + call.text + "\"");
      return;
    }
    functionInfo& f = it->second;
    CheckCallable(f, call.pos, true);
    if (f.decl->params.size() != call.sub.size()) {
      Error(call.pos, call.text + " takes " + std::to_string(f.decl->params.size()) + " value(s), not " + std::to_string(call.sub.size()));
    }
    // The arguments are worked out now, by the starting code; the thread gets them with its copy.
    if (f.returnType != kTypeNone) Push(Literal(Default(f.returnType)));
    for (size_t i = 0; i < f.decl->params.size(); ++i) {
      if (i < call.sub.size()) {
        EvalPushAs(*call.sub[i], f.paramTypes[i]);
      } else {
        Push(Literal(Default(f.paramTypes[i])));
      }
    }
    out_.Op(kOpFork);
    out_.Address(after);
    out_.Op(kOpCall);
    out_.Address(f.label);
    out_.Op(kOpReturn);
    out_.Bind(after);
    Pop(depth_ - depth);
  }

  // ---- the file
  bool Write(compileResult& result) {
    scriptFile file;
    file.version = kScriptVersionMax;
    file.routines = appNames_;
    file.objects = objects_;
    file.listenerPresent = listenerLabel_ >= 0 ? 1 : 0;
    file.listenerAddress = listenerLabel_ >= 0 ? out_.Where(listenerLabel_) : 0;
    file.code = out_.code;
    // Every instruction must decode as the engine reads it.
    vmCodeFormat format;
    for (const objEntry& o : objects_) format.objectKinds.push_back(o.type);
    for (size_t at = 0; at < file.code.size();) {
      vmDecoded decoded;
      if (!VmDecode(file.code.data(), file.code.size(), at, format, decoded)) {
        src_.Error(srcPos{0, 1, 1}, "internal error: the compiler wrote code the engine cannot read at offset " + std::to_string(at));
        return false;
      }
      at += decoded.length;
    }
    result.file = ScriptFileWrite(file);
    std::string map = "vmc-map 1\n";
    for (size_t i = 0; i < src_.Count(); ++i) map += "file " + std::to_string(i) + " " + src_.File(static_cast<int32_t>(i)).path + "\n";
    for (const mapEntry& m : out_.map) {
      map += std::to_string(m.offset) + " " + std::to_string(m.pos.file) + " " + std::to_string(m.pos.line) + " " +
             std::to_string(m.pos.column) + "\n";
    }
    result.map = map;
    return true;
  }

  sources& src_;
  program& prog_;
  bool report_ = true;
  std::map<std::string, parameter> consts_;
  std::map<std::string, int32_t> objectIndex_;
  std::vector<objEntry> objects_;
  std::map<std::string, functionInfo> functions_;
  std::vector<screenVar> screen_;
  std::map<std::string, int32_t> screenTypes_;
  std::map<std::string, std::pair<bool, bool>> direct_;  // per routine: uses screen variables, waits
  emitter out_;
  std::vector<std::string> appNames_;
  std::map<std::string, int32_t> appIndex_;
  int32_t listenerLabel_ = -1;
  ctx context_ = ctx::kMain;
  int32_t depth_ = 0;
  std::vector<scope> scopes_;
  std::vector<loop> loops_;
  functionInfo* current_ = nullptr;
  std::string currentName_;
  int32_t inferred_ = kTypeNone;
};

}  // namespace

bool Compile(const std::string& path, compileResult& result) {
  sources src;
  result = compileResult();
  const int32_t file = src.Load(path);
  if (file < 0) {
    result.errors = path + ": cannot read the file\n";
    result.errorCount = 1;
    return false;
  }
  program prog;
  Parse(src, file, prog);
  // After syntax errors the declarations and code that did parse are still checked for more.
  compiler c(src, prog);
  const bool ok = c.Run(result);
  result.errors = src.Errors();
  result.errorCount = src.ErrorCount();
  if (!ok) {
    result.file.clear();
    result.map.clear();
  }
  return ok && result.errorCount == 0;
}

std::string MapLookup(const std::string& map, int32_t offset, int32_t* line, std::string* path) {
  std::vector<std::string> files;
  std::string best;
  size_t start = 0;
  while (start < map.size()) {
    size_t end = map.find('\n', start);
    if (end == std::string::npos) end = map.size();
    const std::string row = map.substr(start, end - start);
    start = end + 1;
    if (row.rfind("file ", 0) == 0) {
      const size_t space = row.find(' ', 5);
      if (space != std::string::npos) files.push_back(row.substr(space + 1));
      continue;
    }
    long long at = 0, file = 0, l = 0, column = 0;
    if (std::sscanf(row.c_str(), "%lld %lld %lld %lld", &at, &file, &l, &column) != 4) continue;
    if (at > offset) break;
    if (file < 0 || static_cast<size_t>(file) >= files.size()) continue;
    best = files[static_cast<size_t>(file)] + ":" + std::to_string(l);
    if (line) *line = static_cast<int32_t>(l);
    if (path) *path = files[static_cast<size_t>(file)];
  }
  return best;
}

}  // namespace vmcc

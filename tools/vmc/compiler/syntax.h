// The screen language's syntax: source files, positions and error messages, tokens, the tree the
// parser builds and the parser itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vmcc {

// ---------------------------------------------------------------------------------------------
// Sources and messages

struct sourceFile {
  std::string path;  // as given or as included (relative to the including file)
  std::string text;
  std::vector<size_t> lineStarts;  // offset of each line's first character
};

struct srcPos {
  int32_t file = 0;
  int32_t line = 0;    // 1-based
  int32_t column = 0;  // 1-based, in bytes
};

// Every source read for one compile and every error found in them.
class sources {
 public:
  // The index of the file, reading it when it is new; -1 when it cannot be read.
  int32_t Load(const std::string& path);
  int32_t Add(const std::string& path, const std::string& text);
  const sourceFile& File(int32_t index) const { return files_[static_cast<size_t>(index)]; }
  size_t Count() const { return files_.size(); }
  // "FILE:LINE:COLUMN: message", the source line and a caret under the column.
  void Error(const srcPos& at, const std::string& message);
  // Every error in file, line and column order.
  std::string Errors() const;
  int32_t ErrorCount() const { return static_cast<int32_t>(errors_.size()); }
  std::string LineText(const srcPos& at) const;

 private:
  std::vector<sourceFile> files_;
  struct error {
    srcPos at;
    std::string text;
  };
  std::vector<error> errors_;
};

// ---------------------------------------------------------------------------------------------
// Tokens

enum class tok { kEnd, kName, kInteger, kText, kPunct };

struct token {
  tok kind = tok::kEnd;
  std::string text;  // the name, the punctuation, or a text literal's value
  int64_t integer = 0;
  srcPos pos;
  bool lineStart = false;  // the first token on its line
};

// ---------------------------------------------------------------------------------------------
// The tree

enum class ek {
  kInteger,
  kBoolean,
  kText,
  kName,       // a variable, constant, parameter or object (its name as a text)
  kMember,     // object.attribute, sub[0] unused; text = object, member = attribute
  kIndexed,    // object.attribute[index], sub[0] = index
  kCall,       // name(args): a routine, a system routine or a conversion
  kAppCall,    // App.Name(args)
  kEventCode,  // Event.click
  kUnary,      // text = "-" or "not"
  kBinary,     // text = the operator
  kList,       // [a, b, ...] (object declarations only)
  kRecord,     // { name = value, ... } (object declarations only)
};

struct expr;
using exprPtr = std::unique_ptr<expr>;

struct expr {
  ek kind = ek::kInteger;
  srcPos pos;
  int64_t integer = 0;
  std::string text;    // name, operator, literal text, routine name
  std::string member;  // attribute name
  std::vector<exprPtr> sub;
  std::vector<std::string> fieldNames;  // kRecord: the name of each sub
  std::vector<srcPos> fieldPos;
  bool out = false;  // a call argument written `out x`
  int32_t height = 0;  // operators below this one (kBinary), bounded by the parser
};

enum class sk { kVar, kAssign, kCall, kIf, kWhile, kFor, kBreak, kContinue, kReturn, kWait, kStartBlock, kStartCall };

struct stmt;
using stmtPtr = std::unique_ptr<stmt>;

struct stmt {
  sk kind = sk::kCall;
  srcPos pos;
  std::string name;     // kVar, kFor: the variable
  std::string op;       // kAssign: "=", "+=", "-=", "*=", "/=", "%="
  exprPtr target;       // kAssign; kFor: the last value
  exprPtr step;         // kFor: the step (a constant), or none for 1
  exprPtr value;        // kVar initial value, kAssign value, kCall/kStartCall call, kFor first value, kIf/kWhile
                        // condition, kReturn value, kWait frame count
  std::vector<stmtPtr> body;
  std::vector<stmtPtr> orElse;  // kIf
  srcPos endPos;                // the closing brace of body
};

struct param {
  std::string name;
  std::string type;  // "int", "bool", "text" or empty (int)
  srcPos pos;
};

struct functionDecl {
  std::string name;
  srcPos pos;
  std::vector<param> params;
  std::string returnType;  // empty: inferred
  std::vector<stmtPtr> body;
};

struct handlerDecl {
  srcPos pos;
  bool any = false;         // `on event`: any code
  int32_t code = 0;
  std::string object;       // empty: any object
  srcPos objectPos;
  std::string codeName;     // the parameter bound to the code (`on event(code, name)`)
  std::string objectName;   // the parameter bound to the object name
  std::vector<stmtPtr> body;
};

struct objectDecl {
  std::string kind;  // as written: button, label, ...
  std::string name;
  srcPos pos;
  exprPtr attributes;  // a kRecord
};

struct constDecl {
  std::string name;
  srcPos pos;
  exprPtr value;
};

// One screen: every file's declarations merged in include order; top-level statements form the
// main code.
struct program {
  std::vector<constDecl> consts;
  std::vector<objectDecl> objects;
  std::vector<functionDecl> functions;
  std::vector<handlerDecl> handlers;
  std::vector<stmtPtr> main;
};

// Parses the file and, in place, every file it includes (each once). Errors go to `src`.
void Parse(sources& src, int32_t file, program& out);

// Event names usable in `on` and as Event.name, with their codes.
bool EventCodeFind(const std::string& name, int32_t& code);
std::string EventNames();

}  // namespace vmcc

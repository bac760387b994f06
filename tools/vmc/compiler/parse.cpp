// Reading screen sources: files and messages, the tokenizer and a recursive-descent parser that
// recovers after an error at the next statement, so one run reports every error of a file.
#include <algorithm>
#include <cctype>
#include <tuple>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "compiler/syntax.h"

namespace vmcc {

// ---------------------------------------------------------------------------------------------
// Sources

int32_t sources::Add(const std::string& path, const std::string& text) {
  sourceFile file;
  file.path = path;
  file.text = text;
  file.lineStarts.push_back(0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') file.lineStarts.push_back(i + 1);
  }
  files_.push_back(std::move(file));
  return static_cast<int32_t>(files_.size() - 1);
}

int32_t sources::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return -1;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Add(path, text);
}

std::string sources::LineText(const srcPos& at) const {
  if (at.file < 0 || static_cast<size_t>(at.file) >= files_.size()) return {};
  const sourceFile& file = files_[static_cast<size_t>(at.file)];
  if (at.line < 1 || static_cast<size_t>(at.line) > file.lineStarts.size()) return {};
  const size_t start = file.lineStarts[static_cast<size_t>(at.line - 1)];
  size_t end = file.text.find('\n', start);
  if (end == std::string::npos) end = file.text.size();
  std::string line = file.text.substr(start, end - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string sources::Errors() const {
  std::vector<error> sorted = errors_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const error& a, const error& b) {
    return std::tie(a.at.file, a.at.line, a.at.column) < std::tie(b.at.file, b.at.line, b.at.column);
  });
  std::string out;
  for (const error& e : sorted) out += e.text;
  return out;
}

void sources::Error(const srcPos& at, const std::string& message) {
  std::string text;
  const std::string path = at.file >= 0 && static_cast<size_t>(at.file) < files_.size()
                               ? files_[static_cast<size_t>(at.file)].path
                               : std::string("?");
  text += path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + message + "\n";
  const std::string line = LineText(at);
  text += "  " + line + "\n  ";
  // Tabs stay tabs so the caret lines up under them.
  for (int32_t i = 1; i < at.column && static_cast<size_t>(i - 1) < line.size(); ++i) {
    text += line[static_cast<size_t>(i - 1)] == '\t' ? '\t' : ' ';
  }
  text += "^\n";
  // The same error found twice (a routine checked in every pass reports once) is kept once.
  for (const error& e : errors_) {
    if (e.text == text) return;
  }
  errors_.push_back({at, text});
}

// ---------------------------------------------------------------------------------------------
// Events

namespace {

struct eventName {
  const char* name;
  int32_t code;
};

const eventName kEvents[] = {
    {"tick", -1},  {"slider_changed", -2}, {"press", -3},  {"click", -4},  {"enter", -5},
    {"leave", -6}, {"move", -7},           {"press2", -8}, {"click2", -9}, {"slider_released", -10},
};

}  // namespace

bool EventCodeFind(const std::string& name, int32_t& code) {
  for (const eventName& e : kEvents) {
    if (name == e.name) {
      code = e.code;
      return true;
    }
  }
  return false;
}

std::string EventNames() {
  std::string out;
  for (const eventName& e : kEvents) out += (out.empty() ? "" : ", ") + std::string(e.name);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Tokens

namespace {

const char* const kPuncts[] = {"==", "!=", "~=", "<=", ">=", "+=", "-=", "*=", "/=", "%=", "&&", "||",
                               "(",  ")",  "{",  "}",  "[",  "]",  ",",  ".",  ";",  ":",  "=",  "<",
                               ">",  "+",  "-",  "*",  "/",  "%",  "&",  "|",  "!"};

std::vector<token> Tokenize(sources& src, int32_t fileIndex) {
  const std::string& text = src.File(fileIndex).text;
  std::vector<token> out;
  size_t i = 0;
  int32_t line = 1;
  size_t lineStart = 0;
  bool first = true;
  auto pos = [&](size_t at) { return srcPos{fileIndex, line, static_cast<int32_t>(at - lineStart + 1)}; };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = ++i;
      first = true;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if ((c == '-' && i + 1 < text.size() && text[i + 1] == '-') ||
        (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    token t;
    t.pos = pos(i);
    t.lineStart = first;
    first = false;
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const size_t start = i;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
      t.kind = tok::kName;
      t.text = text.substr(start, i - start);
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      const size_t start = i;
      int base = 10;
      if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
      }
      int64_t value = 0;
      bool digits = false, tooBig = false;
      while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
        const char d = text[i];
        if (base == 10 && !std::isdigit(static_cast<unsigned char>(d))) break;
        const int digit = std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : std::tolower(d) - 'a' + 10;
        value = value * base + digit;
        if (value > 0xFFFFFFFFll) tooBig = true, value = 0xFFFFFFFFll;
        digits = true;
        ++i;
      }
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) {
        ++i;
        digits = false;
      }
      t.kind = tok::kInteger;
      t.text = text.substr(start, i - start);
      if (!digits) {
        src.Error(t.pos, "\"" + t.text + "\" is not a number: write decimal digits or 0x and hex digits");
      } else if (tooBig || (base == 10 && value > 2147483648ll)) {
        src.Error(t.pos, t.text + " does not fit in 32 bits (integers run from -2147483648 to 2147483647)");
      }
      // Hex numbers give the bit pattern (0xFFFFFFFF is -1); decimals may be 2147483648 only
      // after a minus sign, which the parser checks.
      t.integer = base == 16 ? static_cast<int32_t>(static_cast<uint32_t>(value)) : value;
    } else if (c == '"') {
      t.kind = tok::kText;
      ++i;
      bool closed = false;
      while (i < text.size() && text[i] != '\n') {
        const char d = text[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d != '\\') {
          t.text += d;
          continue;
        }
        const char e = i < text.size() ? text[i++] : '\0';
        switch (e) {
          case '\\': t.text += '\\'; break;
          case '"': t.text += '"'; break;
          case 'n': t.text += '\n'; break;
          case 't': t.text += '\t'; break;
          case 'x':
            if (i + 1 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
              t.text += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
              i += 2;
              break;
            }
            [[fallthrough]];
          default:
            src.Error(pos(i - 2), std::string("unknown escape \\") + e +
                                      " in a text: use \\\\ for a backslash, \\\" \\n \\t or \\xHH");
        }
      }
      if (!closed) src.Error(t.pos, "this text has no closing \" on its line");
    } else {
      bool found = false;
      for (const char* p : kPuncts) {
        const size_t n = std::char_traits<char>::length(p);
        if (text.compare(i, n, p) == 0) {
          t.kind = tok::kPunct;
          t.text = p;
          i += n;
          found = true;
          break;
        }
      }
      if (!found) {
        src.Error(t.pos, std::string("unexpected character '") + c + "'");
        ++i;
        continue;
      }
    }
    out.push_back(std::move(t));
  }
  // The end of the file is placed just after the last token, where something is missing.
  token end;
  end.pos = out.empty() ? srcPos{fileIndex, 1, 1} : out.back().pos;
  if (!out.empty()) {
    const token& last = out.back();
    const size_t width = last.kind == tok::kText ? 0 : last.text.size();
    end.pos.column += static_cast<int32_t>(width);
  }
  end.lineStart = true;
  out.push_back(end);
  return out;
}

// ---------------------------------------------------------------------------------------------
// The parser

const std::set<std::string> kKeywords = {"for", "var",  "const",    "function", "on",   "start", "if",    "else",
                                         "while", "break",   "continue", "return", "wait", "true", "false",
                                         "and",  "or",       "not",      "include", "out",  "App",  "Event"};

const std::set<std::string> kObjectKinds = {"button", "color", "display", "image",  "label", "list", "pointer",
                                            "slider", "mat",   "render",  "atex",   "appobj", "camera"};

struct syntaxError {};

class parser {
 public:
  parser(sources& src, int32_t file, program& out, std::set<std::string>& included)
      : src_(src), file_(file), out_(out), included_(included), tokens_(Tokenize(src, file)) {}

  void File() {
    while (!AtEnd()) {
      const size_t start = at_;
      try {
        TopLevel();
      } catch (const syntaxError&) {
        Recover(start, false);
      }
    }
  }

 private:
  // ---- tokens
  const token& Peek(size_t ahead = 0) const {
    const size_t at = std::min(at_ + ahead, tokens_.size() - 1);
    return tokens_[at];
  }
  bool AtEnd() const { return Peek().kind == tok::kEnd; }
  bool Is(const char* punct, size_t ahead = 0) const {
    return Peek(ahead).kind == tok::kPunct && Peek(ahead).text == punct;
  }
  bool IsWord(const char* word, size_t ahead = 0) const {
    return Peek(ahead).kind == tok::kName && Peek(ahead).text == word;
  }
  const token& Next() {
    const token& t = Peek();
    if (at_ < tokens_.size() - 1) ++at_;
    return t;
  }
  bool Accept(const char* punct) {
    if (!Is(punct)) return false;
    Next();
    return true;
  }
  [[noreturn]] void Fail(const srcPos& at, const std::string& message) {
    src_.Error(at, message);
    throw syntaxError{};
  }
  std::string Describe(const token& t) const {
    switch (t.kind) {
      case tok::kEnd: return "the end of the file";
      case tok::kText: return "a text";
      case tok::kInteger: return "the number " + t.text;
      default: return "\"" + t.text + "\"";
    }
  }
  void Expect(const char* punct, const std::string& what) {
    if (!Accept(punct)) Fail(Peek().pos, "expected " + std::string("\"") + punct + "\" " + what + ", found " + Describe(Peek()));
  }
  std::string Name(const std::string& what) {
    const token& t = Peek();
    if (t.kind != tok::kName) Fail(t.pos, "expected " + what + ", found " + Describe(t));
    if (kKeywords.count(t.text)) Fail(t.pos, "\"" + t.text + "\" is a reserved word and cannot be " + what);
    return Next().text;
  }
  // After an error in the statement that began at token `start`: skip to the next token that
  // starts a line or past a ";"; inside a block, stop before its "}".
  void Recover(size_t start, bool inBlock) {
    if (at_ > start && Peek().lineStart) return;
    if (inBlock && Is("}")) {
      if (at_ > start) return;
    }
    Next();
    while (!AtEnd() && !Peek().lineStart) {
      if (inBlock && Is("}")) return;
      if (Accept(";")) return;
      Next();
    }
  }

  // ---- top level
  void TopLevel() {
    const token& t = Peek();
    if (IsWord("include")) {
      Next();
      const token& name = Peek();
      if (name.kind != tok::kText) Fail(name.pos, "expected the file name in double quotes after include");
      Next();
      Include(name);
      Accept(";");
      return;
    }
    if (IsWord("const")) {
      Next();
      constDecl c;
      c.pos = Peek().pos;
      c.name = Name("a constant name");
      Expect("=", "after the constant's name (const NAME = value)");
      c.value = Expression();
      out_.consts.push_back(std::move(c));
      Accept(";");
      return;
    }
    if (IsWord("function")) return Function();
    if (IsWord("on")) return Handler();
    if (t.kind == tok::kName && kObjectKinds.count(t.text) &&
        (Peek(1).kind == tok::kName || Peek(1).kind == tok::kText) && Is("{", 2)) {
      return Object();
    }
    out_.main.push_back(Statement());
  }

  void Include(const token& name) {
    namespace fs = std::filesystem;
    const fs::path base = fs::path(src_.File(file_).path).parent_path();
    const fs::path path = base / name.text;
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    const std::string key = error ? path.string() : canonical.string();
    if (included_.count(key)) return;  // each file once: shared files may include each other
    included_.insert(key);
    const int32_t index = src_.Load(path.string());
    if (index < 0) {
      src_.Error(name.pos, "cannot read the included file \"" + path.string() +
                               "\" (names are relative to the file that includes them)");
      return;
    }
    parser inner(src_, index, out_, included_);
    inner.File();
  }

  void Object() {
    objectDecl o;
    o.kind = Next().text;
    o.pos = Peek().pos;
    if (Peek().kind == tok::kText) {
      o.name = Next().text;
    } else {
      o.name = Name("an object name");
    }
    o.attributes = Record();
    out_.objects.push_back(std::move(o));
  }

  std::string TypeName() {
    const token& t = Peek();
    if (t.kind == tok::kName && (t.text == "int" || t.text == "bool" || t.text == "text")) return Next().text;
    Fail(t.pos, "expected a type: int, bool or text");
  }

  void Function() {
    Next();
    functionDecl f;
    f.pos = Peek().pos;
    f.name = Name("a routine name");
    Expect("(", "after the routine's name");
    if (!Is(")")) {
      do {
        param p;
        p.pos = Peek().pos;
        p.name = Name("a parameter name");
        if (Accept(":")) p.type = TypeName();
        f.params.push_back(p);
      } while (Accept(","));
    }
    Expect(")", "to close the parameter list");
    if (Accept(":")) f.returnType = TypeName();
    srcPos end;
    f.body = Block(end);
    out_.functions.push_back(std::move(f));
  }

  void Handler() {
    Next();
    handlerDecl h;
    h.pos = Peek().pos;
    const token& t = Peek();
    if (t.kind == tok::kInteger) {
      Next();
      h.code = static_cast<int32_t>(t.integer);
    } else if (Is("-") && Peek(1).kind == tok::kInteger) {
      Next();
      h.code = static_cast<int32_t>(-Next().integer);
    } else if (t.kind == tok::kName && t.text == "event") {
      Next();
      h.any = true;
    } else if (t.kind == tok::kName && EventCodeFind(t.text, h.code)) {
      Next();
    } else {
      Fail(t.pos, "expected an event after on: " + EventNames() + ", event (any event) or a host code number");
    }
    if (Peek().kind == tok::kName && !Is("(")) {
      h.objectPos = Peek().pos;
      h.object = Name("an object name");
    }
    if (Accept("(")) {
      std::vector<std::string> names;
      if (!Is(")")) {
        do names.push_back(Name("a parameter name"));
        while (Accept(","));
      }
      Expect(")", "to close the handler's parameters");
      if (h.any) {
        if (names.size() > 2) Fail(h.pos, "on event takes at most two parameters: (code, name)");
        if (names.size() > 0) h.codeName = names[0];
        if (names.size() > 1) h.objectName = names[1];
      } else {
        if (names.size() > 1) Fail(h.pos, "this handler takes one parameter, the object's name; use on event(code, name) for the code as well");
        if (names.size() == 1) h.objectName = names[0];
      }
    }
    srcPos end;
    h.body = Block(end);
    out_.handlers.push_back(std::move(h));
  }

  // ---- statements
  std::vector<stmtPtr> Block(srcPos& end) {
    Expect("{", "to open a block");
    std::vector<stmtPtr> body;
    while (!Is("}") && !AtEnd()) {
      const size_t start = at_;
      try {
        body.push_back(Statement());
      } catch (const syntaxError&) {
        Recover(start, true);
      }
    }
    end = Peek().pos;
    Expect("}", "to close the block");
    return body;
  }

  stmtPtr Statement() {
    const nested guard(*this);
    auto s = std::make_unique<stmt>();
    s->pos = Peek().pos;
    if (Accept(";")) return Statement();
    if (IsWord("var")) {
      Next();
      s->kind = sk::kVar;
      s->pos = Peek().pos;
      s->name = Name("a variable name");
      Expect("=", "after the variable's name: a variable starts with a value (var x = 0)");
      s->value = Expression();
    } else if (IsWord("if")) {
      Next();
      s->kind = sk::kIf;
      s->value = Expression();
      s->body = Block(s->endPos);
      if (IsWord("else")) {
        Next();
        if (IsWord("if")) {
          s->orElse.push_back(Statement());
        } else {
          srcPos end;
          s->orElse = Block(end);
        }
      }
      return s;
    } else if (IsWord("while")) {
      Next();
      s->kind = sk::kWhile;
      s->value = Expression();
      s->body = Block(s->endPos);
      return s;
    } else if (IsWord("for")) {
      Next();
      s->kind = sk::kFor;
      s->pos = Peek().pos;
      s->name = Name("the loop's variable");
      Expect("=", "after the loop's variable (for i = 1, 10 { ... })");
      s->value = Expression();
      Expect(",", "between the first and the last value (for i = 1, 10 { ... })");
      s->target = Expression();
      if (Accept(",")) s->step = Expression();
      s->body = Block(s->endPos);
      return s;
    } else if (IsWord("break") || IsWord("continue")) {
      s->kind = Next().text == "break" ? sk::kBreak : sk::kContinue;
    } else if (IsWord("return")) {
      const token& r = Next();
      s->kind = sk::kReturn;
      if (!Peek().lineStart && !Is("}") && !Is(";") && !AtEnd()) s->value = Expression();
      (void)r;
    } else if (IsWord("wait")) {
      const token& w = Next();
      s->kind = sk::kWait;
      if (Is("(") && Peek().pos.line == w.pos.line) {
        Next();
        s->value = Expression();
        Expect(")", "after the number of frames to wait");
      }
    } else if (IsWord("start")) {
      Next();
      if (Is("{")) {
        s->kind = sk::kStartBlock;
        s->body = Block(s->endPos);
        return s;
      }
      s->kind = sk::kStartCall;
      s->value = Postfix();
      if (s->value->kind != ek::kCall) {
        Fail(s->value->pos, "start takes a block { ... } or a routine call such as start blink(PLAY)");
      }
    } else {
      exprPtr e = Postfix();
      const token& t = Peek();
      if (t.kind == tok::kPunct && (t.text == "=" || t.text == "+=" || t.text == "-=" || t.text == "*=" ||
                                    t.text == "/=" || t.text == "%=")) {
        if (e->kind != ek::kName && e->kind != ek::kMember && e->kind != ek::kIndexed) {
          Fail(e->pos, "only a variable or an object attribute can be assigned to");
        }
        s->kind = sk::kAssign;
        s->op = Next().text;
        s->pos = t.pos;
        s->target = std::move(e);
        s->value = Expression();
      } else if (e->kind == ek::kCall || e->kind == ek::kAppCall) {
        s->kind = sk::kCall;
        s->value = std::move(e);
      } else if (t.kind == tok::kPunct && t.text == "==") {
        Fail(t.pos, "\"==\" compares; use \"=\" to assign");
      } else {
        Fail(e->pos, "this is not a statement: expected an assignment (x = value) or a call (f(...))");
      }
    }
    Accept(";");
    return s;
  }

  // ---- expressions, loosest first: or, and, comparison, + - | , * / % &, unary (- not), postfix
  // Nesting (brackets, blocks, unary operators) is bounded so that no source can exhaust the
  // parser's own stack.
  struct nested {
    explicit nested(parser& p) : p_(p) {
      if (++p_.depth_ > kMaxNesting) {
        --p_.depth_;
        p_.Fail(p_.Peek().pos, "this is nested too deeply (more than 200 levels)");
      }
    }
    ~nested() { --p_.depth_; }
    parser& p_;
  };
  static constexpr int kMaxNesting = 200;

  exprPtr Expression() {
    const nested guard(*this);
    return Or();
  }

  exprPtr Binary(exprPtr left, const token& op, exprPtr right, const std::string& name) {
    auto e = std::make_unique<expr>();
    e->kind = ek::kBinary;
    e->pos = op.pos;
    e->text = name;
    e->height = std::max(left->height, right->height) + 1;
    // The compiler walks expressions recursively; a chain this long is no hand-written formula.
    if (e->height > kMaxNesting) Fail(op.pos, "this expression has more than 200 operators in a row; split it up");
    e->sub.push_back(std::move(left));
    e->sub.push_back(std::move(right));
    return e;
  }

  exprPtr Or() {
    exprPtr left = And();
    while (IsWord("or") || Is("||")) {
      const token& op = Next();
      left = Binary(std::move(left), op, And(), "or");
    }
    return left;
  }
  exprPtr And() {
    exprPtr left = Comparison();
    while (IsWord("and") || Is("&&")) {
      const token& op = Next();
      left = Binary(std::move(left), op, Comparison(), "and");
    }
    return left;
  }
  exprPtr Comparison() {
    exprPtr left = Sum();
    for (const char* c : {"==", "!=", "~=", "<", "<=", ">", ">="}) {
      if (Is(c)) {
        const token& op = Next();
        const std::string name = op.text == "~=" ? "!=" : op.text;
        left = Binary(std::move(left), op, Sum(), name);
        if (Peek().kind == tok::kPunct && (Is("==") || Is("!=") || Is("<") || Is("<=") || Is(">") || Is(">="))) {
          Fail(Peek().pos, "comparisons do not chain: write a < b and b < c");
        }
        break;
      }
    }
    return left;
  }
  exprPtr Sum() {
    exprPtr left = Product();
    while (Is("+") || Is("-") || Is("|")) {
      const token& op = Next();
      left = Binary(std::move(left), op, Product(), op.text);
    }
    return left;
  }
  exprPtr Product() {
    exprPtr left = Unary();
    while (Is("*") || Is("/") || Is("%") || Is("&")) {
      const token& op = Next();
      left = Binary(std::move(left), op, Unary(), op.text);
    }
    return left;
  }
  // not binds as tightly as a minus sign (as in Lua): not a == b is (not a) == b.
  exprPtr Unary() {
    const nested guard(*this);
    if (IsWord("not") || Is("!")) {
      const token& op = Next();
      auto e = std::make_unique<expr>();
      e->kind = ek::kUnary;
      e->pos = op.pos;
      e->text = "not";
      e->sub.push_back(Unary());
      return e;
    }
    if (Is("-")) {
      const token& op = Next();
      if (Peek().kind == tok::kInteger) {
        const token& n = Next();
        auto e = std::make_unique<expr>();
        e->kind = ek::kInteger;
        e->pos = op.pos;
        e->integer = -n.integer;
        return e;
      }
      auto e = std::make_unique<expr>();
      e->kind = ek::kUnary;
      e->pos = op.pos;
      e->text = "-";
      e->sub.push_back(Unary());
      return e;
    }
    return Postfix();
  }

  std::vector<exprPtr> Arguments() {
    std::vector<exprPtr> args;
    Expect("(", "to open the arguments");
    if (!Is(")")) {
      do {
        const bool out = IsWord("out");
        const srcPos at = Peek().pos;
        if (out) Next();
        exprPtr a = Expression();
        a->out = out;
        if (out) a->pos = at;
        args.push_back(std::move(a));
      } while (Accept(","));
    }
    Expect(")", "to close the arguments");
    return args;
  }

  exprPtr Postfix() {
    const token& t = Peek();
    auto e = std::make_unique<expr>();
    e->pos = t.pos;
    if (t.kind == tok::kInteger) {
      Next();
      if (t.integer > 2147483647) src_.Error(t.pos, t.text + " does not fit in 32 bits (integers run from -2147483648 to 2147483647)");
      e->kind = ek::kInteger;
      e->integer = t.integer;
      return e;
    }
    if (t.kind == tok::kText) {
      Next();
      e->kind = ek::kText;
      e->text = t.text;
      return e;
    }
    if (Is("(")) {
      Next();
      exprPtr inner = Expression();
      Expect(")", "to close the parenthesis");
      return inner;
    }
    if (Is("[")) {
      Next();
      e->kind = ek::kList;
      if (!Is("]")) {
        do {
          if (Is("]")) break;  // a trailing comma
          e->sub.push_back(Is("{") ? Record() : Expression());
        } while (Accept(","));
      }
      Expect("]", "to close the list");
      return e;
    }
    if (Is("{")) return Record();
    if (IsWord("true") || IsWord("false")) {
      e->kind = ek::kBoolean;
      e->integer = Next().text == "true";
      return e;
    }
    if (IsWord("App")) {
      Next();
      Expect(".", "after App (App.RoutineName(...))");
      e->kind = ek::kAppCall;
      e->pos = Peek().pos;
      if (Peek().kind != tok::kName) Fail(Peek().pos, "expected an app routine name after App.");
      e->text = Next().text;
      e->sub = Arguments();
      return e;
    }
    if (IsWord("Event")) {
      Next();
      Expect(".", "after Event (Event.click)");
      e->kind = ek::kEventCode;
      e->pos = Peek().pos;
      if (Peek().kind != tok::kName) Fail(Peek().pos, "expected an event name after Event.: " + EventNames());
      e->text = Next().text;
      int32_t code = 0;
      if (!EventCodeFind(e->text, code)) Fail(e->pos, "there is no event \"" + e->text + "\"; the events are " + EventNames());
      e->integer = code;
      return e;
    }
    e->kind = ek::kName;
    e->text = Name("a value");
    if (Is("(")) {
      e->kind = ek::kCall;
      e->sub = Arguments();
      return e;
    }
    if (Is(".")) {
      Next();
      e->kind = ek::kMember;
      const srcPos at = Peek().pos;
      if (Peek().kind != tok::kName) Fail(at, "expected an attribute name after \".\"");
      e->member = Next().text;
      e->pos = at;
      if (Is("[")) {
        Next();
        e->kind = ek::kIndexed;
        e->sub.push_back(Expression());
        Expect("]", "to close the index");
      }
    }
    return e;
  }

  exprPtr Record() {
    auto e = std::make_unique<expr>();
    e->kind = ek::kRecord;
    e->pos = Peek().pos;
    Expect("{", "to open the attributes");
    while (!Is("}") && !AtEnd()) {
      const size_t start = at_;
      try {
        const srcPos at = Peek().pos;
        if (Peek().kind != tok::kName) Fail(at, "expected an attribute name, found " + Describe(Peek()));
        const std::string name = Next().text;
        Expect("=", "after the attribute's name (name = value)");
        e->fieldNames.push_back(name);
        e->fieldPos.push_back(at);
        e->sub.push_back(Expression());
        if (!Accept(",")) Accept(";");
      } catch (const syntaxError&) {
        // Skip to the next attribute: past a comma or to a line start (always onward).
        if (at_ == start) Next();
        while (!AtEnd() && !Is("}") && !Accept(",") && !Peek().lineStart) Next();
      }
    }
    Expect("}", "to close the attributes");
    return e;
  }

  sources& src_;
  int32_t file_;
  program& out_;
  std::set<std::string>& included_;
  std::vector<token> tokens_;
  size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

void Parse(sources& src, int32_t file, program& out) {
  std::set<std::string> included;
  std::error_code error;
  const auto canonical = std::filesystem::weakly_canonical(src.File(file).path, error);
  included.insert(error ? src.File(file).path : canonical.string());
  parser p(src, file, out, included);
  p.File();
}

}  // namespace vmcc

// vmc: the script file tool.
//
//   vmc disasm FILE   prints a compiled script: its version, app routine names, every object
//                     with the fields its version holds (in file order, named as the loader's
//                     messages name them), the listener and the code
//   vmc disasm --json FILE
//                     the same as one JSON document
//   vmc asm TEXT OUT  writes the file that the printed form TEXT describes
//   vmc compile [--map MAP] SRC OUT
//                     compiles the screen source SRC (and the files it includes) into the
//                     script file OUT; MAP receives the map from code offsets to source lines.
//                     Errors go to standard error as "FILE:LINE:COLUMN: message" with the line.
//   vmc run FILE [--frames N] [--post FRAME CODE NAME]... [--move FRAME X Y]...
//               [--press FRAME]... [--release FRAME]... [--press2 FRAME]... [--release2 FRAME]...
//               [--window W H] [--shot FRAME FILE.tga]... [--game] [--root DIR] [--map MAP]
//                     runs a script headless: the units start on SDL's offscreen driver with a
//                     W x H display (id 1, default 1280 x 720), the menu control set active and
//                     a current state that is not paused; the app routines "Print" (parameter 1
//                     as a line on standard output), "Fail" (fails the caller) and "Quit" (the
//                     run ends after this frame) are there; the script is loaded, then each frame
//                     feeds its mouse events to the input unit (--move: the pointer to window
//                     position X, Y; --press/--release: the primary button, --press2/--release2
//                     the secondary one) and posts its events, each in the order given, updates
//                     the script, clears the input queues and draws it (clear, the script's
//                     objects, swap); after drawing frame FRAME of a --shot the picture is
//                     written as a Targa file. Asset names are found below DIR (the program
//                     folder; default the current folder). Every log line is also written to
//                     standard error. Exit 1 when the load fails or a picture cannot be written.
//                     --game registers the game's own app routines too (with the arcade
//                     pictures loaded and a first level built), so a game screen runs as it
//                     does in the game.
//                     With a map (from compile --map), a thread that ends by a failure is
//                     reported with its source line.
//
// Values are printed as the file holds them (the loader upper-cases names; flag bytes are
// printed as numbers). Texts are quoted, with \\, \" and \xNN for a backslash, a quote and bytes
// outside printable ASCII. The code follows in the interpreter's text form (VmDisassembleCode);
// bytes after the code, which the loader ignores, end the text as "trailing N 0xHH ...". So
// disasm followed by asm gives every file that loads back byte for byte.
//
// Exit status: 0 on success, 1 when the file cannot be read, parsed or written, 2 for wrong
// arguments.
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/file_replace.h"
#include "core/log.h"
#include "game/game.h"
#include "core/util.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "image/image.h"
#include "platform/platform.h"
#include "script/script.h"
#include "script/script_internal.h"
#include "shell/shell.h"
#include "shell/units.h"
#include "state/state.h"
#include "script/vm_code.h"
#include "script/vm_thread.h"
#include "compiler/compiler.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vmc disasm [--json] FILE\n"
               "                            print the objects and code of a compiled script (as JSON)\n"
               "       vmc asm TEXT OUT     write the compiled script that the printed form TEXT describes\n"
               "       vmc compile [--map MAP] SRC OUT\n"
               "                            compile the screen source SRC into the script OUT\n"
               "       vmc run FILE [--frames N] [--post FRAME CODE NAME]... [--move FRAME X Y]...\n"
               "               [--press FRAME]... [--release FRAME]... [--press2 FRAME]... [--release2 FRAME]...\n"
               "               [--window W H] [--shot FRAME FILE.tga]... [--root DIR] [--map MAP]\n"
               "                            run a compiled script headless for N frames (default 1) on a\n"
               "                            W x H window (default 1280 x 720), moving the pointer and pressing\n"
               "                            its buttons before those frames, saving frame FRAME as FILE.tga\n");
  return 2;
}

// The text in double quotes with \\ and \" escaped and bytes outside printable ASCII written
// with the escape format ("\xNN" in the printed form, "\u00NN" in JSON).
std::string Quoted(const std::string& text, const char* byteFormat) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, byteFormat, c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Quote(const std::string& text) { return Quoted(text, "\\x%02X"); }

void Line(std::string& out, int indent, const std::string& text) {
  out.append(static_cast<size_t>(indent) * 2, ' ');
  out += text;
  out += '\n';
}

// ---------------------------------------------------------------------------------------------
// Printing: the file read a second time, field by field through the loader's format table, so
// every value is printed as the file holds it (letter case, flag bytes other than 0 and 1). The
// loader has read the file first, so the structure is known to be whole.

class filePrinter {
 public:
  filePrinter(const std::vector<uint8_t>& bytes, std::string& out) : in_(bytes), out_(out) {}

  void Print() {
    const int32_t version = in_.I32();
    version_ = version;
    format_.wideTexts = version >= 9;
    Line(out_, 0, "version " + std::to_string(version));
    const int32_t routines = in_.I32();
    Line(out_, 0, "routines " + std::to_string(routines));
    for (int32_t i = 0; i < routines; ++i) Line(out_, 1, "routine " + std::to_string(i) + " " + Quote(Text()));
    const int32_t objects = in_.I32();
    Line(out_, 0, "objects " + std::to_string(objects));
    for (int32_t i = 0; i < objects; ++i) PrintObject(i);
    const int32_t listener = in_.U8();
    const int32_t address = in_.I32();
    Line(out_, 0, "listener " + std::to_string(listener) + " address " + std::to_string(address));
    const int32_t size = in_.I32();
    Line(out_, 0, "code " + std::to_string(size));
    const std::vector<uint8_t> code(in_.Here(), in_.Here() + size);
    in_.Skip(static_cast<size_t>(size));
    out_ += VmDisassembleCode(code, format_);
    if (!in_.AtEnd()) {
      // Bytes after the code: the loader ignores them, they are kept for the round trip.
      std::string text = "trailing " + std::to_string(in_.Remaining());
      while (!in_.AtEnd()) {
        char hex[8];
        std::snprintf(hex, sizeof hex, " 0x%02X", in_.U8());
        text += hex;
      }
      Line(out_, 0, text);
    }
  }

 private:
  std::string Text() { return in_.Text(in_.U8()); }

  void PrintObject(int32_t index) {
    const int32_t type = in_.I32();
    const objectKind* kind = ScriptObjectKindFind(type);
    format_.objectKinds.push_back(type);
    std::string head = "object " + std::to_string(index) + " " +
                       (kind ? std::string(kind->name) : "type " + std::to_string(type)) + " " + Quote(Text());
    head += " display " + std::to_string(in_.U8());
    if (version_ >= 4) head += " order " + std::to_string(in_.I32());
    Line(out_, 0, head);
    if (kind == nullptr) return;
    for (const objectField& field : kind->fields) {
      if (version_ >= field.since) PrintField(field);
    }
  }

  void PrintField(const objectField& field) {
    const std::string name = std::string(field.name) + ":";
    switch (field.type) {
      case kFieldI32: Line(out_, 1, name + " " + std::to_string(in_.I32())); break;
      case kFieldU8:
      case kFieldBool: Line(out_, 1, name + " " + std::to_string(in_.U8())); break;
      case kFieldText:
      case kFieldListKind: Line(out_, 1, name + " " + Quote(Text())); break;
      case kFieldFrames: {
        Line(out_, 1, name);
        std::string head;
        if (version_ >= 2) head += "blend " + std::to_string(in_.U8()) + " ";
        if (version_ >= 3) head += "memory " + std::to_string(in_.U8()) + " ";
        const int32_t count = in_.I32();
        Line(out_, 2, head + "count " + std::to_string(count));
        for (int32_t f = 0; f < count; ++f) {
          std::string text = "frame " + std::to_string(f);
          if (version_ >= 8) text += " mat " + Quote(Text());
          const int32_t images = in_.I32();
          Line(out_, 2, text + " images " + std::to_string(images));
          for (int32_t i = 0; i < images; ++i) Line(out_, 3, "image " + Quote(Text()));
        }
        break;
      }
      case kFieldTriangles: {
        const int32_t count = in_.I32();
        Line(out_, 1, name + " " + std::to_string(count));
        for (int32_t t = 0; t < count; ++t) {
          std::string text = "triangle " + std::to_string(t) + ":";
          for (int c = 0; c < 12; ++c) text += " " + std::to_string(in_.I32());
          Line(out_, 2, text);
        }
        break;
      }
      case kFieldNames: {
        const int32_t count = in_.I32();
        Line(out_, 1, name + " " + std::to_string(count));
        for (int32_t i = 0; i < count; ++i) Line(out_, 2, "name " + Quote(Text()));
        break;
      }
      default: break;
    }
  }

  ByteReader in_;
  std::string& out_;
  int32_t version_ = 0;
  vmCodeFormat format_;  // follows from the version and the object kinds read
};

// ---------------------------------------------------------------------------------------------
// The same reading as one JSON document ("disasm --json"), for programs that look into scripts:
// version, appRoutineNames, objects (type, name, displayId, order and every field under its
// name), listener and code (one entry per instruction; bytes that are no instruction as ".byte").
// Texts are single-byte characters; bytes above 0x7F are written as the same code point.

std::string JsonText(const std::string& text) { return Quoted(text, "\\u%04X"); }

// Joins items into a JSON array or object body.
std::string JsonJoin(const std::vector<std::string>& items, const char* open, const char* close) {
  std::string out = open;
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + close;
}

std::string JsonMember(const std::string& name, const std::string& value) { return JsonText(name) + ":" + value; }

std::string JsonValue(const vmOperand& operand) {
  if (operand.variable) {
    return "{\"variable\":{\"mode\":" + std::to_string(operand.mode) + ",\"n\":" + std::to_string(operand.number) + "}}";
  }
  switch (operand.literal.kind) {
    case kParameterBoolean: return std::string("{\"boolean\":") + (operand.literal.boolean ? "true" : "false") + "}";
    case kParameterText: return "{\"text\":" + JsonText(operand.literal.text) + "}";
    default: return "{\"integer\":" + std::to_string(operand.literal.integer) + "}";
  }
}

std::string JsonOperand(const vmOperand& operand) {
  switch (operand.shape) {
    case vmShape::kValueA:
    case vmShape::kValueB:
    case vmShape::kVariableA:
    case vmShape::kDestinationB: return JsonValue(operand);
    case vmShape::kAttributeSetTail:
    case vmShape::kAttributeGetTail: {
      std::vector<std::string> members;
      if (operand.hasIndex) {
        members.push_back("\"index\":{\"mode\":" + std::to_string(operand.indexMode) +
                          ",\"n\":" + std::to_string(operand.indexNumber) + "}");
      }
      if (operand.shape == vmShape::kAttributeSetTail) members.push_back("\"value\":" + JsonValue(operand));
      return JsonJoin(members, "{", "}");
    }
    default: return std::to_string(operand.number);
  }
}

std::string JsonCode(const std::vector<uint8_t>& code, const vmCodeFormat& format) {
  std::vector<std::string> entries;
  for (size_t offset = 0; offset < code.size();) {
    vmDecoded decoded;
    std::string op, operands;
    if (VmDecode(code.data(), code.size(), offset, format, decoded)) {
      std::vector<std::string> items;
      for (int i = 0; i < decoded.operandCount; ++i) items.push_back(JsonOperand(decoded.operands[i]));
      op = decoded.instruction->name;
      operands = JsonJoin(items, "[", "]");
    } else {
      decoded.length = 1;
      op = ".byte";
      operands = "[" + std::to_string(code[offset]) + "]";
    }
    entries.push_back("{\"offset\":" + std::to_string(offset) + ",\"op\":" + JsonText(op) + ",\"operands\":" + operands + "}");
    offset += decoded.length;
  }
  return JsonJoin(entries, "[", "]");
}

class jsonPrinter {
 public:
  explicit jsonPrinter(const std::vector<uint8_t>& bytes) : in_(bytes) {}

  std::string Print() {
    version_ = in_.I32();
    format_.wideTexts = version_ >= 9;
    std::vector<std::string> names;
    for (int32_t i = 0, count = in_.I32(); i < count; ++i) names.push_back(JsonText(Text()));
    std::vector<std::string> objects;
    for (int32_t i = 0, count = in_.I32(); i < count; ++i) objects.push_back(Object());
    const bool listener = in_.U8() != 0;
    const int32_t address = in_.I32();
    const int32_t size = in_.I32();
    const std::vector<uint8_t> code(in_.Here(), in_.Here() + size);
    return JsonJoin({JsonMember("version", std::to_string(version_)), JsonMember("appRoutineNames", JsonJoin(names, "[", "]")),
                     JsonMember("objects", JsonJoin(objects, "[", "]")),
                     JsonMember("listener", std::string("{\"present\":") + (listener ? "true" : "false") +
                                                ",\"address\":" + std::to_string(address) + "}"),
                     JsonMember("code", JsonCode(code, format_))},
                    "{", "}\n");
  }

 private:
  std::string Text() { return in_.Text(in_.U8()); }

  std::string Object() {
    const int32_t type = in_.I32();
    const objectKind* kind = ScriptObjectKindFind(type);
    format_.objectKinds.push_back(type);
    std::vector<std::string> members{JsonMember("type", kind ? JsonText(kind->name) : std::to_string(type)),
                                     JsonMember("name", JsonText(Text())),
                                     JsonMember("displayId", std::to_string(in_.U8()))};
    if (version_ >= 4) members.push_back(JsonMember("order", std::to_string(in_.I32())));
    if (kind != nullptr) {
      for (const objectField& field : kind->fields) {
        if (version_ >= field.since) members.push_back(JsonMember(field.name, Field(field)));
      }
    }
    return JsonJoin(members, "{", "}");
  }

  std::string Field(const objectField& field) {
    switch (field.type) {
      case kFieldI32: return std::to_string(in_.I32());
      case kFieldU8:
      case kFieldBool: return std::to_string(in_.U8());
      case kFieldText:
      case kFieldListKind: return JsonText(Text());
      case kFieldFrames: {
        std::vector<std::string> members;
        if (version_ >= 2) members.push_back(JsonMember("blend", std::to_string(in_.U8())));
        if (version_ >= 3) members.push_back(JsonMember("memory", std::to_string(in_.U8())));
        std::vector<std::string> frames;
        for (int32_t f = 0, count = in_.I32(); f < count; ++f) {
          std::vector<std::string> frame;
          if (version_ >= 8) frame.push_back(JsonMember("mat", JsonText(Text())));
          std::vector<std::string> images;
          for (int32_t i = 0, n = in_.I32(); i < n; ++i) images.push_back(JsonText(Text()));
          frame.push_back(JsonMember("images", JsonJoin(images, "[", "]")));
          frames.push_back(JsonJoin(frame, "{", "}"));
        }
        members.push_back(JsonMember("frames", JsonJoin(frames, "[", "]")));
        return JsonJoin(members, "{", "}");
      }
      case kFieldTriangles: {
        std::vector<std::string> triangles;
        for (int32_t t = 0, count = in_.I32(); t < count; ++t) {
          std::vector<std::string> values;
          for (int c = 0; c < 12; ++c) values.push_back(std::to_string(in_.I32()));
          triangles.push_back(JsonJoin(values, "[", "]"));
        }
        return JsonJoin(triangles, "[", "]");
      }
      case kFieldNames: {
        std::vector<std::string> names;
        for (int32_t i = 0, count = in_.I32(); i < count; ++i) names.push_back(JsonText(Text()));
        return JsonJoin(names, "[", "]");
      }
      default: return "null";
    }
  }

  ByteReader in_;
  int32_t version_ = 0;
  vmCodeFormat format_;
};

int Disassemble(const std::string& path, bool json) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "vmc: cannot open %s\n", path.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The parser reports through the log: keep its file in a private folder and show the failure.
  char pattern[] = "/tmp/vmc-XXXXXX";
  const char* folder = mkdtemp(pattern);
  UtilSetCommandLine(std::vector<std::string>{"-userdatainapp"});
  UtilSetAppFolder(folder ? folder : "/tmp");
  LogStart();
  std::string failure;
  LogSetSink([&failure](const std::string& line) {
    const size_t at = line.find("Error: ");
    if (at != std::string::npos) failure = line.substr(at + 7);
  });
  script record;
  ByteReader in(bytes);
  const bool parsed = ScriptFileParse(in, record);
  LogSetSink(nullptr);
  if (folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  if (!parsed) {
    std::fprintf(stderr, "vmc: %s: %s\n", path.c_str(), failure.c_str());
    return 1;
  }
  std::string text;
  if (json) {
    text = jsonPrinter(bytes).Print();
  } else {
    filePrinter printer(bytes, text);
    printer.Print();
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}


// ---------------------------------------------------------------------------------------------
// Assembling: the printed form read back line by line, in the order the printer writes it.

// One line of the head being read: words, numbers and quoted texts separated by spaces.
class lineScan {
 public:
  explicit lineScan(const std::string& text) : text_(text) {}

  // The exact word (which may hold spaces, as field names do), then a space or the line's end.
  bool Word(const std::string& word) {
    Spaces();
    if (text_.compare(at_, word.size(), word) != 0) return false;
    const size_t after = at_ + word.size();
    if (after < text_.size() && text_[after] != ' ') return false;
    at_ = after;
    return true;
  }
  // A decimal number, then a space or the line's end; with `colon`, then a ':' instead.
  bool Number(int64_t& value, int64_t low, int64_t high, bool colon = false) {
    Spaces();
    size_t end = at_;
    if (end < text_.size() && text_[end] == '-') ++end;
    const size_t digits = end;
    while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end])) && end - digits < 12) ++end;
    if (end == digits) return false;
    if (colon ? (end >= text_.size() || text_[end] != ':') : (end < text_.size() && text_[end] != ' ')) return false;
    value = std::stoll(text_.substr(at_, end - at_));
    at_ = colon ? end + 1 : end;
    return value >= low && value <= high;
  }
  // A byte written 0xHH.
  bool HexByte(uint8_t& value) {
    Spaces();
    if (text_.compare(at_, 2, "0x") != 0 || at_ + 4 > text_.size() ||
        !std::isxdigit(static_cast<unsigned char>(text_[at_ + 2])) ||
        !std::isxdigit(static_cast<unsigned char>(text_[at_ + 3])) ||
        (at_ + 4 < text_.size() && text_[at_ + 4] != ' ')) {
      return false;
    }
    value = static_cast<uint8_t>(std::stoi(text_.substr(at_ + 2, 2), nullptr, 16));
    at_ += 4;
    return true;
  }
  bool Quoted(std::string& out) {
    Spaces();
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    out.clear();
    for (size_t i = at_ + 1; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == '"') {
        at_ = i + 1;
        return true;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i + 1 >= text_.size()) return false;
      const char next = text_[++i];
      if (next == '\\' || next == '"') {
        out += next;
      } else if (next == 'x' && i + 2 < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(text_[i + 2]))) {
        out += static_cast<char>(std::stoi(text_.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        return false;
      }
    }
    return false;
  }
  bool End() {
    Spaces();
    return at_ == text_.size();
  }

 private:
  void Spaces() {
    while (at_ < text_.size() && text_[at_] == ' ') ++at_;
  }
  const std::string& text_;
  size_t at_ = 0;
};

inline constexpr int64_t kI32Low = INT32_MIN;
inline constexpr int64_t kI32High = INT32_MAX;

class fileAssembler {
 public:
  explicit fileAssembler(const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      start = end + 1;
    }
  }

  // False with error() set to "line N: ..." at the first line that does not read.
  bool Assemble(std::vector<uint8_t>& bytes) {
    ByteWriter out(bytes);
    int64_t version = 0, count = 0, value = 0;
    if (!Next() || !scan_->Word("version") || !scan_->Number(version, kI32Low, kVersionHigh) || !scan_->End()) {
      return Fail("expected version N");
    }
    version_ = static_cast<int32_t>(version);
    format_.wideTexts = version_ >= 9;
    out.I32(version_);
    if (!Count("routines", count)) return false;
    out.I32(static_cast<int32_t>(count));
    for (int64_t i = 0; i < count; ++i) {
      std::string name;
      if (!Next() || !scan_->Word("routine") || !scan_->Number(value, 0, kI32High) || !Text(out, name) ||
          !scan_->End()) {
        return Fail("expected routine N \"name\"");
      }
    }
    if (!Count("objects", count)) return false;
    out.I32(static_cast<int32_t>(count));
    for (int64_t i = 0; i < count; ++i) {
      if (!Object(out)) return false;
    }
    int64_t listener = 0, address = 0;
    if (!Next() || !scan_->Word("listener") || !scan_->Number(listener, 0, 255) || !scan_->Word("address") ||
        !scan_->Number(address, kI32Low, kI32High) || !scan_->End()) {
      return Fail("expected listener N address N");
    }
    out.U8(static_cast<uint8_t>(listener));
    out.I32(static_cast<int32_t>(address));
    // The count after "code" is informational: the code's size is what its text assembles to.
    if (!Next() || !scan_->Word("code") || !scan_->Number(value, 0, kI32High) || !scan_->End()) {
      return Fail("expected code N");
    }
    const size_t codeLine = at_;
    std::string code;
    while (at_ < lines_.size() && lines_[at_].rfind("trailing ", 0) != 0) code += lines_[at_++] + "\n";
    std::vector<uint8_t> assembled;
    std::string error;
    if (!VmAssembleCode(code, assembled, error, format_)) {
      int number = 0;
      if (std::sscanf(error.c_str(), "line %d:", &number) == 1) {
        error = "line " + std::to_string(number + static_cast<int>(codeLine)) + error.substr(error.find(':'));
      }
      error_ = error;
      return false;
    }
    out.I32(static_cast<int32_t>(assembled.size()));
    out.Bytes(assembled.data(), assembled.size());
    if (at_ < lines_.size()) {
      Next();
      if (!scan_->Word("trailing") || !scan_->Number(count, 0, kI32High)) return Fail("expected trailing N 0xHH ...");
      for (int64_t i = 0; i < count; ++i) {
        uint8_t byte = 0;
        if (!scan_->HexByte(byte)) return Fail("expected trailing byte 0xHH");
        out.U8(byte);
      }
      if (!scan_->End()) return Fail("more trailing bytes than counted");
    }
    while (at_ < lines_.size()) {
      if (Next()) return Fail("text after the trailing bytes");
    }
    return true;
  }
  const std::string& error() const { return error_; }

 private:
  static constexpr int64_t kVersionHigh = kScriptVersionMax;

  // The next line that is not blank; false at the end of the text.
  bool Next() {
    while (at_ < lines_.size()) {
      const std::string& line = lines_[at_++];
      if (line.find_first_not_of(' ') == std::string::npos) continue;
      scan_.emplace(line);
      return true;
    }
    scan_.reset();
    scan_.emplace(empty_);
    return false;
  }
  bool Fail(const std::string& what) {
    error_ = "line " + std::to_string(at_) + ": " + what;
    return false;
  }
  bool Count(const std::string& word, int64_t& count) {
    if (!Next() || !scan_->Word(word) || !scan_->Number(count, 0, kI32High) || !scan_->End()) {
      return Fail("expected " + word + " N");
    }
    return true;
  }
  // A quoted text written with its byte length.
  bool Text(ByteWriter& out, std::string& text) {
    if (!scan_->Quoted(text) || text.size() > 255) return false;
    out.U8(static_cast<uint8_t>(text.size()));
    out.Text(text);
    return true;
  }
  // A number of the given range written as an int32 or a byte.
  bool Value(ByteWriter& out, bool byte) {
    int64_t value = 0;
    if (!scan_->Number(value, byte ? 0 : kI32Low, byte ? 255 : kI32High)) return false;
    if (byte) {
      out.U8(static_cast<uint8_t>(value));
    } else {
      out.I32(static_cast<int32_t>(value));
    }
    return true;
  }

  bool Object(ByteWriter& out) {
    int64_t value = 0;
    const char* expected = "expected object N KIND \"name\" display N order N";
    if (!Next() || !scan_->Word("object") || !scan_->Number(value, 0, kI32High)) return Fail(expected);
    const objectKind* kind = nullptr;
    int64_t type = 0;
    if (scan_->Word("type")) {
      if (!scan_->Number(type, kI32Low, kI32High)) return Fail(expected);
      kind = ScriptObjectKindFind(static_cast<int32_t>(type));
      if (kind != nullptr) return Fail("type " + std::to_string(type) + " is written by its name");
    } else {
      for (const objectKind& each : ScriptObjectKinds()) {
        if (scan_->Word(each.name)) {
          kind = &each;
          break;
        }
      }
      if (kind == nullptr) return Fail(expected);
      type = kind->type;
    }
    format_.objectKinds.push_back(static_cast<int32_t>(type));
    out.I32(static_cast<int32_t>(type));
    std::string name;
    if (!Text(out, name) || !scan_->Word("display") || !Value(out, true)) return Fail(expected);
    if (version_ >= 4 && (!scan_->Word("order") || !Value(out, false))) return Fail(expected);
    if (!scan_->End()) return Fail(expected);
    if (kind == nullptr) return true;
    for (const objectField& field : kind->fields) {
      if (version_ >= field.since && !Field(out, field)) return false;
    }
    return true;
  }

  bool Field(ByteWriter& out, const objectField& field) {
    const std::string label = std::string(field.name) + ":";
    const std::string expected = "expected " + label;
    if (!Next() || !scan_->Word(label)) return Fail(expected);
    std::string text;
    int64_t count = 0, value = 0;
    switch (field.type) {
      case kFieldI32:
        if (!Value(out, false)) return Fail(expected + " N");
        break;
      case kFieldU8:
      case kFieldBool:
        if (!Value(out, true)) return Fail(expected + " N (0 to 255)");
        break;
      case kFieldText:
      case kFieldListKind:
        if (!Text(out, text)) return Fail(expected + " \"text\"");
        break;
      case kFieldFrames: {
        if (!scan_->End()) return Fail(expected);
        const char* head = "expected [blend N] [memory N] count N";
        if (!Next()) return Fail(head);
        if (version_ >= 2 && (!scan_->Word("blend") || !Value(out, true))) return Fail(head);
        if (version_ >= 3 && (!scan_->Word("memory") || !Value(out, true))) return Fail(head);
        if (!scan_->Word("count") || !scan_->Number(count, 0, kI32High)) return Fail(head);
        out.I32(static_cast<int32_t>(count));
        for (int64_t f = 0; f < count; ++f) {
          const char* line = "expected frame N [mat \"name\"] images N";
          if (!scan_->End() || !Next() || !scan_->Word("frame") || !scan_->Number(value, 0, kI32High)) return Fail(line);
          if (version_ >= 8 && (!scan_->Word("mat") || !Text(out, text))) return Fail(line);
          int64_t images = 0;
          if (!scan_->Word("images") || !scan_->Number(images, 0, kI32High)) return Fail(line);
          out.I32(static_cast<int32_t>(images));
          for (int64_t i = 0; i < images; ++i) {
            if (!scan_->End() || !Next() || !scan_->Word("image") || !Text(out, text)) {
              return Fail("expected image \"name\"");
            }
          }
        }
        break;
      }
      case kFieldTriangles:
        if (!scan_->Number(count, 0, kI32High)) return Fail(expected + " N");
        out.I32(static_cast<int32_t>(count));
        for (int64_t t = 0; t < count; ++t) {
          const char* line = "expected triangle N: and 12 numbers";
          if (!scan_->End() || !Next() || !scan_->Word("triangle") || !scan_->Number(value, 0, kI32High, true)) {
            return Fail(line);
          }
          for (int c = 0; c < 12; ++c) {
            if (!Value(out, false)) return Fail(line);
          }
        }
        break;
      case kFieldNames:
        if (!scan_->Number(count, 0, kI32High)) return Fail(expected + " N");
        out.I32(static_cast<int32_t>(count));
        for (int64_t i = 0; i < count; ++i) {
          if (!scan_->End() || !Next() || !scan_->Word("name") || !Text(out, text)) return Fail("expected name \"text\"");
        }
        break;
      default: break;
    }
    if (!scan_->End()) return Fail("unexpected text after " + label);
    return true;
  }

  std::vector<std::string> lines_;
  size_t at_ = 0;  // lines read so far (the number of the current line)
  std::string empty_;
  std::optional<lineScan> scan_;
  int32_t version_ = 0;
  vmCodeFormat format_;
  std::string error_;
};

int Assemble(const std::string& input, const std::string& output) {
  std::ifstream file(input, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "vmc: cannot open %s\n", input.c_str());
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  fileAssembler assembler(text);
  std::vector<uint8_t> bytes;
  if (!assembler.Assemble(bytes)) {
    std::fprintf(stderr, "vmc: %s: %s\n", input.c_str(), assembler.error().c_str());
    return 1;
  }
  if (!FileReplaceWrite(output, bytes)) {
    std::fprintf(stderr, "vmc: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Running: the units started headless, the script loaded and updated frame by frame.

struct postedEvent {
  int32_t frame = 0;
  int32_t code = 0;
  std::string name;
};

// A mouse event fed to the input unit before a frame's update.
struct mouseStep {
  int32_t frame = 0;
  platformEventKind kind = platformEventKind::kMouseMove;
  int32_t button = 0;  // 1 primary, 3 secondary
  int32_t x = 0, y = 0;  // --move only
};

struct frameShot {
  int32_t frame = 0;
  std::string file;
};

struct runOptions {
  std::string file;
  int32_t frames = 1;
  std::vector<postedEvent> posts;
  std::vector<mouseStep> mouse;
  int32_t width = 1280;
  int32_t height = 720;
  std::vector<frameShot> shots;
  std::string root = ".";
  std::string map;
  bool game = false;  // the game's app routines registered
};

bool Integer(const char* text, int32_t& value, int32_t low) { return UtilTextToInteger(text, value) && value >= low; }

// False for arguments that do not read (the caller prints the usage).
bool ReadRunOptions(int argc, char** argv, runOptions& options) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--frames" && i + 1 < argc) {
      if (!Integer(argv[++i], options.frames, 0)) return false;
    } else if (arg == "--post" && i + 3 < argc) {
      postedEvent post;
      if (!Integer(argv[i + 1], post.frame, 1) || !Integer(argv[i + 2], post.code, INT32_MIN)) return false;
      post.name = argv[i + 3];
      options.posts.push_back(post);
      i += 3;
    } else if (arg == "--move" && i + 3 < argc) {
      mouseStep step;
      if (!Integer(argv[i + 1], step.frame, 1) || !Integer(argv[i + 2], step.x, INT32_MIN) ||
          !Integer(argv[i + 3], step.y, INT32_MIN)) {
        return false;
      }
      options.mouse.push_back(step);
      i += 3;
    } else if ((arg == "--press" || arg == "--release" || arg == "--press2" || arg == "--release2") && i + 1 < argc) {
      mouseStep step;
      step.kind = arg.starts_with("--press") ? platformEventKind::kMouseButtonDown : platformEventKind::kMouseButtonUp;
      step.button = arg.ends_with('2') ? 3 : 1;
      if (!Integer(argv[++i], step.frame, 1)) return false;
      options.mouse.push_back(step);
    } else if (arg == "--window" && i + 2 < argc) {
      if (!Integer(argv[i + 1], options.width, 1) || !Integer(argv[i + 2], options.height, 1)) return false;
      i += 2;
    } else if (arg == "--shot" && i + 2 < argc) {
      frameShot shot{0, argv[i + 2]};
      const bool targa = shot.file.size() > 4 && UtilUpper(shot.file.substr(shot.file.size() - 4)) == ".TGA";
      if (!Integer(argv[i + 1], shot.frame, 1) || !targa) return false;
      options.shots.push_back(shot);
      i += 2;
    } else if (arg == "--game") {
      options.game = true;
    } else if (arg == "--root" && i + 1 < argc) {
      options.root = argv[++i];
    } else if (arg == "--map" && i + 1 < argc) {
      options.map = argv[++i];
    } else if (options.file.empty() && !arg.empty() && arg[0] != '-') {
      options.file = arg;
    } else {
      return false;
    }
  }
  return !options.file.empty();
}

inline constexpr int32_t kRunState = 1;

// The display's picture as a Targa file; false after a message.
bool SaveShot(int32_t display, const std::string& file) {
  imageChain image = ImageNewChain();
  if (!GraphicsReadPixels(display, *image)) return false;
  // The image writer reports nothing back: a file that is there afterwards is the new one.
  std::error_code error;
  std::filesystem::remove(file, error);
  ImageSave(file, image.get());
  if (!std::ifstream(file, std::ios::binary)) {
    std::fprintf(stderr, "vmc: cannot write %s\n", file.c_str());
    return false;
  }
  return true;
}

int Run(const runOptions& options) {
  std::error_code error;
  const std::filesystem::path file = std::filesystem::absolute(options.file, error);
  if (error || !std::ifstream(file, std::ios::binary)) {
    std::fprintf(stderr, "vmc: cannot open %s\n", options.file.c_str());
    return 1;
  }
  std::string map;
  if (!options.map.empty()) {
    std::ifstream in(options.map, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vmc: cannot open %s\n", options.map.c_str());
      return 1;
    }
    map.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    // Named here so a screen that goes quiet can be traced to the statement that failed.
    VmThreadFailureHookSet([map](int32_t threadId, int32_t offset) {
      int32_t line = 0;
      std::string path;
      const std::string place = vmcc::MapLookup(map, offset, &line, &path);
      std::fprintf(stderr, "vmc: thread %d ended by a failure at offset %d%s\n", threadId, offset,
                   place.empty() ? "" : (" in " + place).c_str());
      std::ifstream source(path, std::ios::binary);
      std::string text;
      for (int32_t i = 0; source && i < line && std::getline(source, text); ++i) {
      }
      if (source && !text.empty()) std::fprintf(stderr, "  %s\n", text.c_str());
    });
  }
  const std::filesystem::path root = std::filesystem::absolute(options.root, error);
  if (error || !std::filesystem::is_directory(root, error)) {
    std::fprintf(stderr, "vmc: %s is not a folder\n", options.root.c_str());
    return 1;
  }
  // The log and settings go to a private user data folder, removed afterwards; every log line is
  // shown on standard error as well.
  char pattern[] = "/tmp/vmc-XXXXXX";
  const char* userData = mkdtemp(pattern);
  if (userData) setenv("XDG_DATA_HOME", userData, 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  UtilSetCommandLine(std::vector<std::string>{});
  UtilSetAppFolder(root.string());
  LogSetSink([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  ShellStartUnits(shellGameHooks{});

  int status = 0;
  bool quit = false;
  platformWindowSetup setup;
  setup.title = "vmc";
  setup.width = options.width;
  setup.height = options.height;
  setup.opengl = true;
  const int32_t window = PlatformWindowCreate(setup);
  const int32_t display = window == kNoId ? kNoId : GraphicsDisplayNew(window, "main", 0);
  if (display != 1 || !GraphicsDisplayCreateRC(display)) {
    std::fprintf(stderr, "vmc: cannot make the %d x %d display\n", options.width, options.height);
    status = 1;
  } else {
    // Under --game the run is the game's state, so the screens' state variables and clocks are
    // the ones they use in the game.
    const int32_t runState = options.game ? kGameStateGame : kRunState;
    StateRegisterEnter(runState, nullptr);
    StateChange(runState);
    ScriptAppRoutineRegister("Print", [](int32_t scriptId, int32_t threadId) {
      std::printf("%s\n", ScriptParameterGetText(scriptId, threadId, 1).c_str());
      std::fflush(stdout);
      return 1;
    });
    ScriptAppRoutineRegister("Fail", [](int32_t, int32_t) { return 0; });
    ScriptAppRoutineRegister("Quit", [&quit](int32_t, int32_t) {
      quit = true;
      return 1;
    });
    // The menu screen's controls, as the game's menu state sets them; the mouse starts where
    // their pointer does (the middle of the display).
    const int32_t controls = InputMenuControlSet();
    InputControlSetActivate(controls);
    int32_t pointerWindow = 0, mouseX = 0, mouseY = 0;
    InputPointerGet(controls, pointerWindow, mouseX, mouseY);
    InputMouseReset(mouseX, mouseY);
    if (options.game) GameToolStart(display);
    const int32_t id = ScriptLoad(file.string());
    if (id == kNoId) status = 1;
    for (int32_t frame = 1; status == 0 && !quit && frame <= options.frames; ++frame) {
      for (const mouseStep& step : options.mouse) {
        if (step.frame != frame) continue;
        if (step.kind == platformEventKind::kMouseMove) {
          mouseX = step.x;
          mouseY = step.y;
        }
        platformEvent event;
        event.kind = step.kind;
        event.window = window;
        event.x = mouseX;
        event.y = mouseY;
        event.button = step.button;
        InputMouseMessage(event);
      }
      for (const postedEvent& post : options.posts) {
        if (post.frame == frame) ScriptPostEvent(id, post.code, post.name);
      }
      InputFrame();
      ScriptUpdate(id);
      // What the screen did not take is gone by the next frame, as in the game.
      InputActionEventsGet(InputControlSetActive());
      InputControlEventsGet(InputControlSetActive());
      GraphicsRenderBegin(display);
      ScriptRender(id, display);
      for (const frameShot& shot : options.shots) {
        if (shot.frame == frame && !SaveShot(display, shot.file)) status = 1;
      }
      GraphicsRenderEnd(display);
    }
  }
  if (options.game) GameToolEnd();
  ShellEndUnits();
  VmThreadFailureHookSet(nullptr);
  if (window != kNoId) PlatformWindowDestroy(window);
  LogSetSink(nullptr);
  if (userData) std::filesystem::remove_all(userData, error);
  return status;
}

}  // namespace

// vmc compile [--map MAP] SRC OUT
int CompileSource(int argc, char** argv) {
  std::string map, source, output;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--map" && i + 1 < argc) {
      map = argv[++i];
    } else if (source.empty()) {
      source = arg;
    } else if (output.empty()) {
      output = arg;
    } else {
      return Usage();
    }
  }
  if (source.empty() || output.empty()) return Usage();
  vmcc::compileResult result;
  if (!vmcc::Compile(source, result)) {
    std::fputs(result.errors.c_str(), stderr);
    std::fprintf(stderr, "vmc: %d error%s in %s\n", result.errorCount, result.errorCount == 1 ? "" : "s", source.c_str());
    return 1;
  }
  if (!FileReplaceWrite(output, result.file)) {
    std::fprintf(stderr, "vmc: cannot write %s\n", output.c_str());
    return 1;
  }
  if (!map.empty() && !FileReplaceWrite(map, result.map)) {
    std::fprintf(stderr, "vmc: cannot write %s\n", map.c_str());
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "compile") return CompileSource(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "disasm") return Disassemble(argv[2], false);
  if (argc == 4 && std::string(argv[1]) == "disasm" && std::string(argv[2]) == "--json") return Disassemble(argv[3], true);
  if (argc == 4 && std::string(argv[1]) == "asm") return Assemble(argv[2], argv[3]);
  runOptions options;
  if (argc >= 3 && std::string(argv[1]) == "run" && ReadRunOptions(argc, argv, options)) return Run(options);
  return Usage();
}

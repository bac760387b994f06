// vmc: the script file tool.
//
//   vmc disasm FILE   prints a compiled script: its version, app routine names, every object
//                     with the fields its version holds (in file order, named as the loader's
//                     messages name them), the listener and the code
//
// Values are printed as the loader holds them: object names, camera names and list kinds
// upper-cased. Texts are quoted, with \\, \" and \xNN for a backslash, a quote and bytes outside
// printable ASCII. The code follows in the interpreter's text form (VmDisassembleCode).
//
// Exit status: 0 on success, 1 when the file cannot be read or parsed, 2 for wrong arguments.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/log.h"
#include "core/util.h"
#include "script/script_internal.h"
#include "script/vm_code.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vmc disasm FILE   print the objects and code of a compiled script\n");
  return 2;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void Line(int indent, const std::string& text) { std::printf("%*s%s\n", indent * 2, "", text.c_str()); }

void PrintFrames(int32_t version, const frameSet& set) {
  std::string head = "count " + std::to_string(set.frames.size());
  if (version >= 3) head = "memory " + std::to_string(set.memory ? 1 : 0) + " " + head;
  if (version >= 2) head = "blend " + std::to_string(set.blend) + " " + head;
  Line(2, head);
  for (size_t f = 0; f < set.frames.size(); ++f) {
    const frame& item = set.frames[f];
    std::string text = "frame " + std::to_string(f);
    if (version >= 8) text += " mat " + Quote(item.mat);
    Line(2, text + " images " + std::to_string(item.images.size()));
    for (const std::string& image : item.images) Line(3, "image " + Quote(image));
  }
}

void PrintField(int32_t version, const objectField& field, const void* at) {
  const std::string name = std::string(field.name) + ":";
  switch (field.type) {
    case kFieldI32: Line(1, name + " " + std::to_string(*static_cast<const int32_t*>(at))); break;
    case kFieldU8: Line(1, name + " " + std::to_string(*static_cast<const uint8_t*>(at))); break;
    case kFieldBool: Line(1, name + " " + (*static_cast<const bool*>(at) ? "1" : "0")); break;
    case kFieldText:
    case kFieldListKind: Line(1, name + " " + Quote(*static_cast<const std::string*>(at))); break;
    case kFieldFrames:
      Line(1, name);
      PrintFrames(version, *static_cast<const frameSet*>(at));
      break;
    case kFieldTriangles: {
      const auto& triangles = *static_cast<const std::vector<atexTriangle>*>(at);
      Line(1, name + " " + std::to_string(triangles.size()));
      for (size_t t = 0; t < triangles.size(); ++t) {
        std::string text = "triangle " + std::to_string(t) + ":";
        for (int32_t value : triangles[t]) text += " " + std::to_string(value);
        Line(2, text);
      }
      break;
    }
    case kFieldNames: {
      const auto& names = *static_cast<const std::vector<std::string>*>(at);
      Line(1, name + " " + std::to_string(names.size()));
      for (const std::string& each : names) Line(2, "name " + Quote(each));
      break;
    }
    default: break;
  }
}

// The code in the interpreter's text form, decoded as this file's version and objects read it.
void PrintCode(const script& s) {
  Line(0, "code " + std::to_string(s.code.size()));
  vmCodeFormat format;
  format.wideTexts = s.version >= 9;
  for (const objEntry& object : s.objects) format.objectKinds.push_back(object.type);
  std::fputs(VmDisassembleCode(s.code, format).c_str(), stdout);
}

void Print(const script& s) {
  Line(0, "version " + std::to_string(s.version));
  Line(0, "routines " + std::to_string(s.appRoutineNames.size()));
  for (size_t i = 0; i < s.appRoutineNames.size(); ++i) {
    Line(1, "routine " + std::to_string(i) + " " + Quote(s.appRoutineNames[i]));
  }
  Line(0, "objects " + std::to_string(s.objects.size()));
  for (size_t i = 0; i < s.objects.size(); ++i) {
    const objEntry& object = s.objects[i];
    const objectKind* kind = ScriptObjectKindFind(object.type);
    std::string head = "object " + std::to_string(i) + " " +
                       (kind ? std::string(kind->name) : "type " + std::to_string(object.type)) + " " +
                       Quote(object.name) + " display " + std::to_string(object.displayId);
    if (s.version >= 4) head += " order " + std::to_string(object.order);
    Line(0, head);
    if (kind == nullptr) continue;
    for (const objectField& field : kind->fields) {
      if (s.version >= field.since) PrintField(s.version, field, ScriptObjectFieldAt(object, field));
    }
  }
  Line(0, "listener " + std::to_string(s.listenerPresent) + " address " + std::to_string(s.listenerAddress));
  PrintCode(s);
}

int Disassemble(const std::string& path) {
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
  Print(record);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "disasm") return Disassemble(argv[2]);
  return Usage();
}

#include "script/vm_code.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<uint8_t> Assemble(const std::string& text, const vmCodeFormat& format = {}) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(VmAssembleCode(text, bytes, error, format)) << error;
  return bytes;
}

void ExpectRoundTrip(const std::vector<uint8_t>& code, const vmCodeFormat& format) {
  const std::string text = VmDisassembleCode(code, format);
  std::vector<uint8_t> again;
  std::string error;
  ASSERT_TRUE(VmAssembleCode(text, again, error, format)) << error << "\n" << text;
  ASSERT_EQ(again, code) << text;
}

TEST(VmCode, TheDocumentedEncodings) {
  EXPECT_EQ(Assemble("Push 5"), (std::vector<uint8_t>{0x19, 0, 5, 0, 0, 0}));
  EXPECT_EQ(Assemble("Add 1, [b+0]"), (std::vector<uint8_t>{0x92, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0}));
  EXPECT_EQ(Assemble("JumpEqual [b+0], \"OK\", @64"),
            (std::vector<uint8_t>{0x4c, 2, 0, 0, 0, 0, 2, 2, 0, 0x4f, 0x4b, 0x40, 0, 0, 0}));
  EXPECT_EQ(Assemble("GetAttribute 3, 0"), (std::vector<uint8_t>{0x22, 3, 0, 0}));
  // Before version 9 a text literal's length is one byte.
  vmCodeFormat narrow;
  narrow.wideTexts = false;
  EXPECT_EQ(Assemble("Push \"OK\"", narrow), (std::vector<uint8_t>{0x19, 2, 2, 0x4f, 0x4b}));
  EXPECT_EQ(Assemble("Push true\nPush [7]\nPush [b-2]\nPush [9:-1]"),
            (std::vector<uint8_t>{0x19, 1, 1, 0x59, 0, 7, 0, 0, 0, 0x59, 1, 2, 0, 0, 0, 0x59, 9, 0xff, 0xff, 0xff, 0xff}));
  // Unused flag bits survive as a suffix.
  EXPECT_EQ(Assemble("Return.ab\nPush.b 0"), (std::vector<uint8_t>{0xc0, 0x99, 0, 0, 0, 0, 0}));
}

TEST(VmCode, DisassemblyShowsOffsetsLabelsAndRawBytes) {
  const std::vector<uint8_t> code = Assemble(
      "start:\n"
      "Push 1\n"
      "loop:\n"
      "Add 1, [b+0]\n"
      "JumpLess [b+0], 10, loop\n"
      "Call @7\n"  // into the middle of the Add
      "Return\n"
      ".byte 0x3f 0x02");
  const std::string text = VmDisassembleCode(code);
  EXPECT_NE(text.find("L0006:\n  000006  Add 1, [b+0]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("JumpLess [b+0], 10, L0006\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Call @7\n"), std::string::npos) << text;
  EXPECT_NE(text.find(".byte 0x3F 0x02\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("L0000"), std::string::npos) << "nothing jumps to 0";
  ExpectRoundTrip(code, {});
}

TEST(VmCode, EveryInstructionAndOperandModeRoundTrips) {
  vmCodeFormat format;
  format.objectKinds = {0, kVmObjectKindList};
  const std::string text =
      "top:\n"
      "Return\nCall top\nNot [b+1]\nJump top\n"
      "JumpNotEqual 1, true, top\nJumpEqual \"a\\\"b\\\\c\\x01\\xFF\", [b-1], top\n"
      "JumpGreaterEqual [3], [b+2], @-1\nJumpLess false, -2147483648, @100000\n"
      "JumpGreater 2147483647, \"\", top\nJumpLessEqual [200:5], 0, top\n"
      "Move 1, [b+0]\nAdd [b+1], [b+0]\nSubtract \"x\", [0]\nAnd true, [b-1]\nOr 0, [1]\n"
      "Multiply 3, [b+0]\nDivide 3, [b+0]\nModulo 3, [b+0]\nPush 4\nPop\n"
      "CallAppRoutine 65535\nCallSystemRoutine 42\n"
      "SetAttribute 0, 5, 9\nSetAttribute 1, 5, i[b+1], \"item\"\nSetAttribute 1, 15, #-3, [b+0]\n"
      "SetAttribute 1, 16, i[2], 0\nSetAttribute 1, 6, 1\nSetAttribute 1, 255, [b-1]\n"
      "GetAttribute 0, 5\nGetAttribute 1, 20, i[b-4]\nGetAttribute 1, 21, #7\nGetAttribute 1, 5, i[0]\n"
      "GetAttribute 1, 255\nGetAttribute 9, 5\nNoOperation\nWait\nFork top\n";
  const std::vector<uint8_t> code = Assemble(text, format);
  ExpectRoundTrip(code, format);
  const std::string listing = VmDisassembleCode(code, format);
  EXPECT_EQ(listing.find(".byte"), std::string::npos) << listing;
  EXPECT_NE(listing.find("SetAttribute 1, 15, #-3, [b+0]"), std::string::npos) << listing;
  EXPECT_NE(listing.find("JumpLessEqual [200:5], 0, L0000"), std::string::npos) << listing;
  // Every defined instruction appears in the listing by its name.
  for (const vmInstruction& instruction : VmInstructions()) {
    EXPECT_NE(listing.find(std::string("  ") + instruction.name), std::string::npos) << instruction.name;
  }
  // Without the object kinds a list's index operand is not recognised, yet the bytes come back.
  ExpectRoundTrip(code, {});
}

TEST(VmCode, InvalidEncodingsAreNoInstructions) {
  vmDecoded decoded;
  const std::vector<std::vector<uint8_t>> invalid = {
      {0x19, 3, 0, 0, 0, 0},                // literal kind 3
      {0x19, 1, 2},                         // boolean byte 2
      {0x12, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0}, // Add without flagB: no destination
      {0x05, 2, 0, 0, 0, 0},                // Not without flagA
      {0x19, 0, 5, 0, 0},                   // truncated int32
      {0x19, 2, 3, 0, 'a', 'b'},            // text shorter than its length
      {0x02},                               // opcode 2 is not defined
      {0x3f},
  };
  vmCodeFormat format;
  for (const auto& code : invalid) {
    EXPECT_FALSE(VmDecode(code.data(), code.size(), 0, format, decoded)) << int(code[0]);
    ExpectRoundTrip(code, format);
  }
  // A list index operand of mode 4 is invalid.
  format.objectKinds = {kVmObjectKindList};
  const std::vector<uint8_t> badIndex = {0x22, 0, 0, 5, 4, 0, 0, 0, 0};
  EXPECT_FALSE(VmDecode(badIndex.data(), badIndex.size(), 0, format, decoded));
  ASSERT_TRUE(VmDecode(badIndex.data(), badIndex.size(), 0, {}, decoded)) << "no list: a plain get";
  EXPECT_EQ(decoded.length, 4u);
}

TEST(VmCode, AssemblerErrorsNameTheLine) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(VmAssembleCode("Push 1\nFly 2", bytes, error));
  EXPECT_EQ(error, "line 2: unknown instruction \"Fly\"");
  EXPECT_FALSE(VmAssembleCode("Jump nowhere", bytes, error));
  EXPECT_EQ(error, "line 1: unknown label \"nowhere\"");
  EXPECT_FALSE(VmAssembleCode("Add [b+0], 1", bytes, error));
  EXPECT_NE(error.find("needs a variable"), std::string::npos) << error;
  EXPECT_FALSE(VmAssembleCode("Push 4294967296", bytes, error));
  EXPECT_FALSE(VmAssembleCode("Push \"open", bytes, error));
  EXPECT_FALSE(VmAssembleCode("Push 1, 2", bytes, error));
  EXPECT_FALSE(VmAssembleCode("a:\na:", bytes, error));
  vmCodeFormat narrow;
  narrow.wideTexts = false;
  EXPECT_FALSE(VmAssembleCode("Push \"" + std::string(256, 'x') + "\"", bytes, error, narrow));
  EXPECT_TRUE(bytes.empty());
}

TEST(VmCode, RandomBytesRoundTrip) {
  std::mt19937 random(12345);
  vmCodeFormat wide, narrow;
  wide.objectKinds = {kVmObjectKindList, 0, kVmObjectKindList};
  narrow.wideTexts = false;
  narrow.objectKinds = wide.objectKinds;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> code(random() % 200);
    // Mostly defined opcodes and small operand bytes, so that real instructions appear often.
    for (auto& byte : code) {
      const uint32_t pick = random() % 4;
      byte = static_cast<uint8_t>(pick == 0 ? random() : pick == 1 ? (random() % 38) | (random() % 4) << 6
                                                                  : random() % 4);
    }
    ExpectRoundTrip(code, round % 2 ? wide : narrow);
  }
}

}  // namespace

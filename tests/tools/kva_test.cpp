#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/util.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using tftest::LE16;
using tftest::LE32;
using tftest::ReadFile;
using tftest::TempDir;
using tftest::runResult;
using tftest::RunTool;
using tftest::WriteFile;

namespace {

// Runs the tool with the given arguments, collecting its exit status and output.
runResult Kva(const std::vector<std::string>& arguments) {
  return RunTool(KVA_TOOL, arguments);
}

// Every regular file below a folder: relative path -> contents.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().lexically_relative(folder).string()] = ReadFile(entry.path().string());
  }
  return files;
}

std::string Bytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return bytes;
}

TEST(KvaTool, PackWritesTheFormatInByteOrderAndExtractReproducesTheFolder) {
  TempDir work;
  const std::string source = work / "source/";
  ASSERT_TRUE(WriteFile(source + "dir/x.bin", Bytes(70000, 1)));
  ASSERT_TRUE(WriteFile(source + "dir.txt", "dot"));
  ASSERT_TRUE(WriteFile(source + "a.txt", "lower"));
  ASSERT_TRUE(WriteFile(source + "B.txt", "upper"));
  ASSERT_TRUE(WriteFile(source + "Bin/Images/Weed Tile.tga", Bytes(300, 2)));
  ASSERT_TRUE(WriteFile(source + "empty", ""));

  ASSERT_EQ(Kva({"pack", work / "out.kva", source}).status, 0);
  const std::string archive = ReadFile(work / "out.kva");
  ASSERT_GE(archive.size(), 11u);
  EXPECT_EQ(archive.substr(0, 5), "KVARC");
  EXPECT_EQ(archive.substr(5, 2), LE16(1));
  EXPECT_EQ(archive.substr(7, 4), LE32(6));
  EXPECT_EQ(archive[11], 10);  // no extra header bytes

  const runResult listed = Kva({"list", work / "out.kva"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "B.txt\t5\n"
            "Bin\\Images\\Weed Tile.tga\t300\n"
            "a.txt\t5\n"
            "dir.txt\t3\n"
            "dir\\x.bin\t70000\n"
            "empty\t0\n");

  const runResult extracted = Kva({"extract", work / "out.kva", work / "copy"});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(Tree(work / "copy"), Tree(source));

  // Packing again over an archive that lies inside the folder leaves the old copy out.
  ASSERT_EQ(Kva({"pack", source + "self.kva", source}).status, 0);
  ASSERT_EQ(Kva({"pack", source + "self.kva", source}).status, 0);
  EXPECT_EQ(Kva({"list", source + "self.kva"}).out, listed.out);
}

TEST(KvaTool, PackedMembersOpenThroughTheDataLayer) {
  TempDir source;
  TempDir program;
  const std::string script = Bytes(9000, 3);
  ASSERT_TRUE(WriteFile(source / "Bin/Scripts/main.vmc", script));
  ASSERT_TRUE(WriteFile(source / "Bin/Fonts/small.fot", "font"));
  ASSERT_TRUE(WriteFile(source / "PATCH000001/Bin/Fonts/small.fot", "patched"));
  ASSERT_EQ(Kva({"pack", program / "Content.KVA", source.path()}).status, 0);

  tftest::UseProgramFolder(program);
  DataFileStart();
  int32_t handle = DataFileOpen("Bin\\Scripts\\main.vmc");
  std::string got(9000, '\0');
  EXPECT_TRUE(DataFileReadExact(handle, got.data(), 9000));
  EXPECT_EQ(got, script);
  DataFileClose(handle);
  // The archive's own patch entry overrides the plain copy.
  handle = DataFileOpen("bin\\fonts\\SMALL.FOT");
  EXPECT_EQ(DataFileSize(handle), 7);
  DataFileClose(handle);
  DataFileEnd();
  UtilSetAppFolder("");
}

TEST(KvaTool, ExtractRefusesNamesThatLeaveTheTargetFolder) {
  TempDir work;
  const std::vector<std::string> names = {"..\\evil.txt", "ok\\..\\..\\evil2.txt", "/tmp/evil3.txt", "\\evil4.txt",
                                          "C:\\evil5.txt", "good\\fine.txt", "GOOD\\FINE.TXT", ".\\dot.txt"};
  size_t dataStart = 11;
  for (const std::string& name : names) dataStart += 11 + name.size();
  std::string archive = "KVARC" + LE16(1) + LE32(static_cast<uint32_t>(names.size()));
  std::string data;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string body = "member " + std::to_string(i);
    archive += std::string(1, '\x0a') + LE32(static_cast<uint32_t>(dataStart + data.size())) +
               LE32(static_cast<uint32_t>(body.size())) + LE16(static_cast<uint32_t>(names[i].size())) + names[i];
    data += body;
  }
  ASSERT_TRUE(WriteFile(work / "bad.kva", archive + data));

  const runResult result = Kva({"extract", work / "bad.kva", work / "target/inner"});
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.err.find("..\\evil.txt"), std::string::npos) << result.err;
  EXPECT_EQ(Tree(work / "target"), (std::map<std::string, std::string>{{"inner/dot.txt", "member 7"}, {"inner/good/fine.txt", "member 5"}}));
  EXPECT_FALSE(tftest::FileExists(work / "evil2.txt"));
  EXPECT_FALSE(tftest::FileExists(work / "target/evil.txt"));
}

TEST(KvaTool, WrongArgumentsAndUnreadableArchivesFailWithAMessage) {
  TempDir work;
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{}, {"pack", "x.kva"}, {"unpack", "a", "b"}}) {
    const runResult result = Kva(arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("usage"), std::string::npos);
  }

  runResult result = Kva({"list", work / "missing.kva"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("missing.kva"), std::string::npos);

  ASSERT_TRUE(WriteFile(work / "text.kva", "just some text"));
  result = Kva({"extract", work / "text.kva", work / "out"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("not a readable archive"), std::string::npos) << result.err;

  // A damaged second entry: the first member is still listed, and the damage is reported.
  ASSERT_TRUE(WriteFile(work / "src/one.txt", "1"));
  ASSERT_TRUE(WriteFile(work / "src/two.txt", "22"));
  ASSERT_EQ(Kva({"pack", work / "cut.kva", work / "src"}).status, 0);
  std::string damaged = ReadFile(work / "cut.kva");
  ASSERT_GT(damaged.size(), 11u + 18u);
  damaged[11 + 18] = 9;
  ASSERT_TRUE(WriteFile(work / "cut.kva", damaged));
  result = Kva({"list", work / "cut.kva"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "one.txt\t1\n");
  EXPECT_NE(result.err.find("damaged"), std::string::npos);

  result = Kva({"pack", work / "x.kva", work / "no-such-folder"});
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(tftest::FileExists(work / "x.kva"));
}

}  // namespace

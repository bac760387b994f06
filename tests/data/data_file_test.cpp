#include "data/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/util.h"
#include "support/test_support.h"

using tftest::LE16;
using tftest::LE32;
using tftest::TempDir;
using tftest::WriteFile;

namespace {

using memberList = std::vector<std::pair<std::string, std::string>>;

// One directory entry with a chosen header length (extra bytes are zeros).
std::string Entry(const std::string& name, uint32_t offset, uint32_t size, uint8_t headerLength = 10) {
  std::string entry(1, static_cast<char>(headerLength));
  entry += LE32(offset) + LE32(size) + LE16(static_cast<uint32_t>(name.size()));
  if (headerLength > 10) entry += std::string(headerLength - 10, '\0');
  return entry + name;
}

// A well-formed archive: directory first, then the members' data in order.
std::string Archive(const memberList& members, uint16_t version = 1) {
  size_t dataStart = 11;
  for (const auto& member : members) dataStart += 11 + member.first.size();
  std::string directory = "KVARC" + LE16(version) + LE32(static_cast<uint32_t>(members.size()));
  std::string data;
  for (const auto& member : members) {
    directory += Entry(member.first, static_cast<uint32_t>(dataStart + data.size()), static_cast<uint32_t>(member.second.size()));
    data += member.second;
  }
  return directory + data;
}

std::string Pattern(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

class DataFileTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> parameters = {}) {
    tftest::UseProgramFolder(dir_, std::move(parameters));
    DataFileStart();
  }
  void TearDown() override {
    DataFileEnd();
    UtilSetAppFolder("");
  }
  void Put(const std::string& relative, const std::string& bytes) { ASSERT_TRUE(WriteFile(dir_ / relative, bytes)); }

  // The whole file as DataFileOpen finds it, or "<none>" when it is found nowhere.
  static std::string Contents(const std::string& name) {
    const int32_t handle = DataFileOpen(name);
    if (handle == 0) return "<none>";
    std::string bytes(static_cast<size_t>(DataFileSize(handle)), '\0');
    const int32_t got = DataFileRead(handle, bytes.data(), static_cast<int32_t>(bytes.size()));
    DataFileClose(handle);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
  }

  TempDir dir_;
};

// ---------------------------------------------------------------------------------------------
// Where a name is found

TEST_F(DataFileTest, ArchivesBeatLooseFilesAndTheFirstArchiveByNameWins) {
  Put("Bin/Scripts/main.vmc", "loose");
  Put("Bin/Scripts/other.vmc", "loose other");
  Put("b.kva", Archive({{"bin\\scripts\\MAIN.vmc", "from b"}, {"Bin/Slash.txt", "forward"}}));
  Put("a.KVA", Archive({{"BIN\\SCRIPTS\\MAIN.VMC", "from a"}}));
  Put("notes.kvax", Archive({{"Bin\\Scripts\\other.vmc", "not an archive name"}}));
  Start();

  EXPECT_EQ(Contents("Bin\\Scripts\\main.vmc"), "from a");
  EXPECT_EQ(Contents("Bin\\Scripts\\other.vmc"), "loose other");
  // "/" and "\" differ inside archives; on disk both reach the same file.
  EXPECT_EQ(Contents("Bin/Slash.txt"), "forward");
  EXPECT_EQ(Contents("Bin\\Slash.txt"), "<none>");
  EXPECT_EQ(Contents("Bin/Scripts/other.vmc"), "loose other");
  EXPECT_EQ(Contents(""), "<none>");
  EXPECT_EQ(Contents(std::string("Bin\\Scripts\\other.vmc\0.png", 26)), "<none>");
}

TEST_F(DataFileTest, NewestPatchWinsWhetherLooseOrArchived) {
  Put("Bin/a.txt", "plain loose");
  Put("Bin/b.txt", "plain loose b");
  Put("game.kva", Archive({{"Bin\\a.txt", "plain archived"},
                           {"PATCH000001\\Bin\\a.txt", "patch 1 archived"},
                           {"Patch000001\\Bin\\b.txt", "patch 1 b"}}));
  Put("Patch000002/Bin/a.txt", "patch 2 loose");
  Start();
  EXPECT_EQ(Contents("Bin\\a.txt"), "patch 2 loose");
  EXPECT_EQ(Contents("bin\\B.TXT"), "patch 1 b");
}

TEST_F(DataFileTest, OnlySixDigitNonZeroPatchFoldersCount) {
  Put("Bin/a.txt", "plain");
  Put("Patch00009/Bin/a.txt", "five digits");
  Put("Patch0000009/Bin/a.txt", "seven digits");
  Put("Patch000000/Bin/a.txt", "zero");
  Put("Patch-00009/Bin/a.txt", "negative");
  Put("game.kva", Archive({{"PATCH000000\\Bin\\b.txt", "zero archived"}, {"Bin\\b.txt", "plain b"}}));
  Start();
  EXPECT_EQ(Contents("Bin\\a.txt"), "plain");
  EXPECT_EQ(Contents("Bin\\b.txt"), "plain b");
  // The patch folder itself is found in any letter case.
  Put("pAtCh000003/bin/A.TXT", "patch 3");
  DataFileStart();
  EXPECT_EQ(Contents("Bin\\a.txt"), "patch 3");
}

TEST_F(DataFileTest, LooseFilesMatchFoldersAndNamesInAnyCase) {
  Put("bin/images/A.TGA", "picture");
  Start({"-LOGLOW"});
  EXPECT_EQ(Contents("Bin\\Images\\a.tga"), "picture");
  EXPECT_EQ(Contents(dir_.path() + "BIN/IMAGES/a.tga"), "picture");
  EXPECT_EQ(Contents("Bin\\Images"), "<none>");  // a folder is not a file

  // Files that appear later are found, even in a folder that was already listed.
  Put("bin/images/New.tga", "new");
  Put("bin/sounds/Late.ogg", "late");
  EXPECT_EQ(Contents("BIN\\IMAGES\\NEW.TGA"), "new");
  EXPECT_EQ(Contents("bin\\Sounds\\late.OGG"), "late");
  const std::string log = tftest::ReadFile(dir_ / "results.log");
  EXPECT_NE(log.find("File \"Bin\\Images\\a.tga\" read from disk."), std::string::npos) << log;
}

// ---------------------------------------------------------------------------------------------
// Damaged archives

TEST_F(DataFileTest, DamagedArchivesContributeOnlyWhatIsSound) {
  std::string version2 = Archive({{"v2.txt", "x"}});
  version2[6] = 2;
  Put("a1.kva", version2);
  std::string badMagic = Archive({{"magic.txt", "x"}});
  badMagic[0] = 'k';
  Put("a2.kva", badMagic);
  Put("a3.kva", Archive({{"v1ff.txt", "accepted"}}, 0x01FF));
  const std::string cut = "KVARC" + LE16(1) + LE32(3) + Entry("t1.txt", 0, 5) + Entry("t2.txt", 0, 5);
  Put("a4.kva", cut.substr(0, cut.size() - 3));
  Put("a5.kva", "KVARC" + LE16(1) + LE32(3) + Entry("h1.txt", 0, 5) + Entry("h2.txt", 0, 5, 9) + Entry("h3.txt", 0, 5));
  Put("a6.kva", "KVARC" + LE16(1) + LE32(3) + Entry("o1.txt", 0, 5) + Entry("o2.txt", 40, 1000) + Entry("o3.txt", 0, 5));
  Put("a7.kva", "KVARC" + LE16(1) + LE32(2) + Entry("n1.txt", 0, 5) + Entry("n2.txt", 0xFFFFFFF0u, 4));
  Put("a8.kva", "KVARC" + LE16(1) + LE32(0x7FFFFFFF) + Entry("c1.txt", 0, 5) + "\x0a\x01");
  const std::string extra = "KVARC" + LE16(1) + LE32(1) + Entry("extra.txt", 0, 0, 14);
  Put("b1.kva", extra.substr(0, 12) + LE32(static_cast<uint32_t>(extra.size())) + LE32(4) + extra.substr(20) + "good");
  Put("b2.kva", "KVA");
  tftest::LogCapture log;
  Start();

  EXPECT_EQ(Contents("v2.txt"), "<none>");  // version high byte 2
  EXPECT_EQ(Contents("magic.txt"), "<none>");
  EXPECT_EQ(Contents("v1ff.txt"), "accepted");
  // A directory cut short, an entry with H below 10, or data outside the file (past its end or
  // at a negative offset) ends the directory; the entries before it stay.
  for (const char* kept : {"t1.txt", "h1.txt", "o1.txt", "n1.txt", "c1.txt"}) EXPECT_EQ(Contents(kept), "KVARC") << kept;
  for (const char* lost : {"t2.txt", "h2.txt", "h3.txt", "o2.txt", "o3.txt", "n2.txt"}) EXPECT_EQ(Contents(lost), "<none>") << lost;
  EXPECT_EQ(Contents("extra.txt"), "good");

  // Each archive that contributes less than it declares says so once, with what it kept.
  std::vector<std::string> errors;
  for (const std::string& line : log.lines()) {
    if (line.rfind("Error: ", 0) == 0) errors.push_back(line);
  }
  EXPECT_EQ(errors, (std::vector<std::string>{
                             "Error: DataFileStart - Archive \"a1.kva\" has the unsupported version 513.",
                             "Error: DataFileStart - Archive \"a2.kva\" is not an archive.",
                             "Error: DataFileStart - Archive \"a4.kva\" is damaged: kept 1 of 3 entries.",
                             "Error: DataFileStart - Archive \"a5.kva\" is damaged: kept 1 of 3 entries.",
                             "Error: DataFileStart - Archive \"a6.kva\" is damaged: kept 1 of 3 entries.",
                             "Error: DataFileStart - Archive \"a7.kva\" is damaged: kept 1 of 2 entries.",
                             "Error: DataFileStart - Archive \"a8.kva\" is damaged: kept 1 of 2147483647 entries.",
                             "Error: DataFileStart - Archive \"b2.kva\" is not an archive.",
                         }));
}

TEST_F(DataFileTest, ArchiveCutShortAfterStartDeliversWhatItHasAndEnds) {
  const std::string data = Pattern(10000, 7);
  Put("game.kva", Archive({{"big.bin", data}}));
  Start();
  ASSERT_EQ(truncate((dir_ / "game.kva").c_str(), 11 + 11 + 7 + 6000), 0);

  const int32_t handle = DataFileOpen("big.bin");
  std::string got(10000, '\0');
  EXPECT_EQ(DataFileRead(handle, got.data(), 10000), 6000);
  EXPECT_EQ(got.substr(0, 6000), data.substr(0, 6000));
  EXPECT_EQ(DataFileRead(handle, got.data(), 10), 0);
  EXPECT_TRUE(DataFileEof(handle));  // a loop on end-of-file stops too
  DataFileClose(handle);
}

// ---------------------------------------------------------------------------------------------
// Reading, seeking, end of file

TEST_F(DataFileTest, ReadsAcrossRefillsDeliverEveryByteInOrder) {
  const std::string member = Pattern(10000, 1);
  Put("game.kva", Archive({{"member.bin", member}, {"after.bin", Pattern(3000, 2)}}));
  Put("loose.bin", member);
  Start();

  const int sizes[] = {7, 1, 4095, 13, 2048, 4, 3000, 4096, 4097, 1};
  for (const char* name : {"member.bin", "loose.bin"}) {
    SCOPED_TRACE(name);
    const int32_t handle = DataFileOpen(name);
    std::string got;
    for (size_t i = 0; !DataFileEof(handle); ++i) {
      std::string chunk(static_cast<size_t>(sizes[i % std::size(sizes)]), '\0');
      const int32_t n = DataFileRead(handle, chunk.data(), static_cast<int32_t>(chunk.size()));
      ASSERT_GT(n, 0);
      got += chunk.substr(0, static_cast<size_t>(n));
      ASSERT_EQ(DataFilePosition(handle), static_cast<int32_t>(got.size()));
    }
    EXPECT_EQ(got, member);  // nothing of the member stored behind it
    char byte = 0;
    EXPECT_FALSE(DataFileReadExact(handle, &byte, 1));
    DataFileClose(handle);
  }
}

TEST_F(DataFileTest, SeekAndEndOfFileOnMembersLooseAndMemoryFiles) {
  const std::string bytes = Pattern(5000, 3);
  Put("game.kva", Archive({{"member.bin", bytes}, {"next.bin", "NEXT"}}));
  Put("loose.bin", bytes);
  Put("memory.bin", bytes);
  Start();
  ASSERT_TRUE(DataFileMemoryLoad("memory.bin"));

  for (const char* name : {"member.bin", "loose.bin", "memory.bin"}) {
    SCOPED_TRACE(name);
    const int32_t handle = DataFileOpen(name);
    char buffer[16] = {};
    EXPECT_EQ(DataFileRead(handle, buffer, 0), 0);
    EXPECT_EQ(DataFilePosition(handle), 0);
    EXPECT_FALSE(DataFileEof(handle));

    ASSERT_TRUE(DataFileSeek(handle, 4990));
    EXPECT_EQ(DataFileRead(handle, buffer, 16), 10);
    EXPECT_EQ(std::string(buffer, 10), bytes.substr(4990));
    EXPECT_TRUE(DataFileEof(handle));

    ASSERT_TRUE(DataFileSeek(handle, 6000));
    EXPECT_TRUE(DataFileEof(handle));
    EXPECT_EQ(DataFileRead(handle, buffer, 4), 0);
    EXPECT_EQ(DataFilePosition(handle), 6000);

    // A negative position would reach in front of the file.
    EXPECT_FALSE(DataFileSeek(handle, -4));
    ASSERT_TRUE(DataFileSeek(handle, 100));
    EXPECT_TRUE(DataFileReadExact(handle, buffer, 8));
    EXPECT_EQ(std::string(buffer, 8), bytes.substr(100, 8));
    DataFileClose(handle);
  }
}

TEST_F(DataFileTest, ReadLineDropsLineFeedsAndStopsAtCarriageReturns) {
  Put("lf.txt", "one\ntwo\nthree\n");
  Put("game.kva", Archive({{"crlf.txt", "one\r\ntwo\r\n\r\nlast"}}));
  Start();

  int32_t handle = DataFileOpen("lf.txt");
  EXPECT_EQ(DataFileReadLine(handle), "onetwothree");
  EXPECT_TRUE(DataFileEof(handle));
  DataFileClose(handle);

  handle = DataFileOpen("crlf.txt");
  for (const char* line : {"one", "two", "", "last"}) EXPECT_EQ(DataFileReadLine(handle), line);
  EXPECT_TRUE(DataFileEof(handle));
  DataFileClose(handle);
}

TEST_F(DataFileTest, HandleIdsCountUpAndClosedIdsGetNeutralAnswers) {
  Put("game.kva", Archive({{"a.txt", "aaa"}, {"b.txt", "bbb"}}));
  Start();
  const int32_t first = DataFileOpen("a.txt");
  const int32_t second = DataFileOpen("b.txt");
  DataFileClose(first);
  DataFileClose(first);  // ignored
  EXPECT_EQ(std::vector<int32_t>({first, second, DataFileOpen("a.txt")}), std::vector<int32_t>({1, 2, 3}));
  // The archive stays open for the handles still reading from it.
  char buffer[4] = {};
  EXPECT_TRUE(DataFileReadExact(second, buffer, 3));
  EXPECT_EQ(std::string(buffer, 3), "bbb");

  EXPECT_EQ(DataFileRead(first, buffer, 3), 0);
  EXPECT_EQ(DataFilePosition(first), -1);
  EXPECT_EQ(DataFileSize(first), 0);
  EXPECT_TRUE(DataFileEof(first));
  EXPECT_FALSE(DataFileSeek(first, 0));
}

// ---------------------------------------------------------------------------------------------
// Memory files

TEST_F(DataFileTest, MemoryFilesMatchTheirExactNameAndFreeingClosesTheirHandles) {
  Put("Bin/m.txt", "first");
  Put("Bin/n.txt", "second");
  Put("game.kva", Archive({{"empty.txt", ""}}));
  Start();
  EXPECT_FALSE(DataFileMemoryLoad("Bin\\missing.txt"));
  ASSERT_TRUE(DataFileMemoryLoad("Bin\\m.txt"));
  ASSERT_TRUE(DataFileMemoryLoad("Bin\\m.txt"));
  ASSERT_TRUE(DataFileMemoryLoad("Bin\\n.txt"));
  ASSERT_TRUE(DataFileMemoryLoad("empty.txt"));
  Put("Bin/m.txt", "changed on disk");
  Put("Bin/n.txt", "changed too");

  EXPECT_EQ(Contents("Bin\\m.txt"), "first");
  EXPECT_EQ(Contents("BIN\\M.TXT"), "changed on disk");
  EXPECT_EQ(Contents("empty.txt"), "");

  const int32_t onM = DataFileOpen("Bin\\m.txt");
  const int32_t onN = DataFileOpen("Bin\\n.txt");
  DataFileMemoryFree("Bin\\m.txt");
  EXPECT_EQ(DataFileSize(onM), 0);  // closed with its memory file
  char buffer[8] = {};
  EXPECT_EQ(DataFileRead(onN, buffer, 8), 6);  // the later memory file is still the one read
  EXPECT_EQ(std::string(buffer, 6), "second");
  EXPECT_EQ(Contents("Bin\\m.txt"), "changed on disk");
  DataFileClose(onN);
}

// ---------------------------------------------------------------------------------------------
// Raw files and the library search

TEST_F(DataFileTest, RawFilesWriteReadSeekAndEnd) {
  Start();
  const std::string path = dir_ / "save.bin";
  const std::string bytes = Pattern(6000, 9);
  int32_t handle = RawFileCreate(path);
  EXPECT_TRUE(RawFileWrite(handle, bytes.data(), 6000));
  RawFileClose(handle);
  EXPECT_EQ(tftest::ReadFile(path), bytes);

  handle = RawFileOpen(path);
  EXPECT_EQ(RawFileSize(handle), 6000);
  std::string got(5000, '\0');
  EXPECT_TRUE(RawFileRead(handle, got.data(), 5000));
  EXPECT_EQ(got, bytes.substr(0, 5000));
  EXPECT_EQ(RawFilePosition(handle), 5000);
  EXPECT_FALSE(RawFileEof(handle));
  std::string rest(2000, 'z');
  EXPECT_FALSE(RawFileRead(handle, rest.data(), 2000));  // delivers what is left
  EXPECT_EQ(rest, bytes.substr(5000) + std::string(1000, 'z'));
  EXPECT_TRUE(RawFileEof(handle));
  EXPECT_EQ(RawFilePosition(handle), 6000);

  EXPECT_TRUE(RawFileSeek(handle, 10));
  EXPECT_FALSE(RawFileSeek(handle, -1));
  char four[4] = {};
  EXPECT_TRUE(RawFileRead(handle, four, 4));
  EXPECT_EQ(std::string(four, 4), bytes.substr(10, 4));
  EXPECT_EQ(RawFilePosition(handle), 14);
  EXPECT_FALSE(RawFileWrite(handle, four, 4));  // opened for reading only
  RawFileClose(handle);

  EXPECT_EQ(RawFilePosition(handle), -1);
  EXPECT_TRUE(RawFileEof(handle));
  EXPECT_EQ(RawFileOpen(dir_ / "missing.bin"), 0);
  EXPECT_EQ(RawFileOpen(dir_.path()), 0);
  EXPECT_EQ(RawFileOpen(path + std::string("\0.txt", 5)), 0);
  EXPECT_EQ(RawFileOpen(path), 3);  // raw ids have their own counter
}

TEST_F(DataFileTest, RawWritesAfterReadsLandAtTheLogicalPosition) {
  Start();
  const std::string path = dir_ / "state.bin";
  std::string expected = Pattern(6000, 11);
  const int32_t handle = RawFileCreate(path);
  ASSERT_TRUE(RawFileWrite(handle, expected.data(), 6000));
  ASSERT_TRUE(RawFileSeek(handle, 0));
  char four[4] = {};
  ASSERT_TRUE(RawFileRead(handle, four, 4));  // buffers far more than the four bytes
  EXPECT_TRUE(RawFileWrite(handle, "ZZZZ", 4));
  expected.replace(4, 4, "ZZZZ");
  EXPECT_EQ(RawFilePosition(handle), 8);
  // A read after the write goes on behind it, and sees what was written before it.
  ASSERT_TRUE(RawFileRead(handle, four, 4));
  EXPECT_EQ(std::string(four, 4), expected.substr(8, 4));
  ASSERT_TRUE(RawFileSeek(handle, 2));
  ASSERT_TRUE(RawFileRead(handle, four, 4));
  EXPECT_EQ(std::string(four, 4), expected.substr(2, 4));
  EXPECT_TRUE(RawFileWrite(handle, "yy", 2));
  expected.replace(6, 2, "yy");
  EXPECT_EQ(RawFilePosition(handle), 8);
  EXPECT_EQ(RawFileSize(handle), 6000);
  RawFileClose(handle);
  const std::string written = tftest::ReadFile(path);
  ASSERT_EQ(written.size(), expected.size());
  const auto differ = std::mismatch(written.begin(), written.end(), expected.begin());
  EXPECT_TRUE(differ.first == written.end()) << "first wrong byte at " << differ.first - written.begin();
}

TEST_F(DataFileTest, SearchPathLooksInTheProgramFolderAndTheLoaderPath) {
  Put("libthing.so", "x");
  TempDir extra;
  ASSERT_TRUE(WriteFile(extra / "libextra.so.1", "y"));
  const char* saved = std::getenv("LD_LIBRARY_PATH");
  const std::string previous = saved != nullptr ? saved : "";
  setenv("LD_LIBRARY_PATH", (":" + extra.path() + "::/nonexistent").c_str(), 1);
  Start();
  EXPECT_TRUE(DataFileOnSearchPath("libthing.so"));
  EXPECT_TRUE(DataFileOnSearchPath("libextra.so.1"));
  EXPECT_FALSE(DataFileOnSearchPath("libthornfall-nowhere.so"));
  if (saved != nullptr) {
    setenv("LD_LIBRARY_PATH", previous.c_str(), 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
}

}  // namespace

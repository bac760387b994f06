// The shared core pieces: byte reader and writer, id registry, whole-file replace, log sink and
// trace scope, gathered settings writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "core/bytes.h"
#include "core/file_replace.h"
#include "core/ids.h"
#include "core/ini.h"
#include "core/log.h"
#include "support/test_support.h"

namespace {

using tftest::ReadFile;
using tftest::TempDir;

TEST(Bytes, WriterAndReaderAgreeAndTheReaderFailsCleanlyPastTheEnd) {
  ByteWriter writer;
  writer.U8(0xAB);
  writer.U16(0x1234);
  writer.I32(-2);
  writer.F32(1.5f);
  writer.U16BE(0xCAFE);
  writer.Text("KV");
  size_t sizeField = writer.Size();
  writer.U32(0);
  writer.Fill(7, 3);
  writer.PatchU32(sizeField, 0xDEADBEEF);
  writer.PatchU32(writer.Size() - 2, 1);  // not all there: ignored
  ASSERT_EQ(writer.Size(), 1u + 2 + 4 + 4 + 2 + 2 + 4 + 3);
  EXPECT_EQ(LoadLe16(writer.Data().data() + 1), 0x1234);

  ByteReader reader(writer.Data());
  EXPECT_EQ(reader.U8(), 0xAB);
  EXPECT_EQ(reader.U16(), 0x1234);
  EXPECT_EQ(reader.I32(), -2);
  EXPECT_EQ(reader.F32(), 1.5f);
  EXPECT_EQ(reader.U16BE(), 0xCAFE);
  EXPECT_EQ(reader.Text(2), "KV");
  EXPECT_EQ(reader.U32(), 0xDEADBEEFu);
  EXPECT_FALSE(reader.Failed());
  uint8_t tail[5];
  EXPECT_FALSE(reader.Bytes(tail, 5));
  EXPECT_EQ(tail[2], 7);
  EXPECT_EQ(tail[3], 0) << "zeros past the end";
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.U32(), 0u);

  // An empty reader, even over no memory at all, reads zeros and fails.
  ByteReader empty(nullptr, 10);
  EXPECT_EQ(empty.Size(), 0u);
  EXPECT_FALSE(empty.Bytes(tail, 2));
  EXPECT_EQ(empty.Text(4), "");
  EXPECT_TRUE(empty.Failed());
  ByteReader seeking(writer.Data());
  seeking.Seek(writer.Size() + 1);
  EXPECT_TRUE(seeking.Failed());
  EXPECT_TRUE(seeking.AtEnd());

  // Counted texts: read back whole; a negative count or one past the end fails and keeps the text.
  ByteWriter counted;
  counted.Text32("moss");
  counted.I32(-1);
  ByteReader texts(counted.Data());
  std::string text;
  EXPECT_TRUE(texts.Text32(text));
  EXPECT_EQ(text, "moss");
  EXPECT_FALSE(texts.Text32(text));
  EXPECT_EQ(text, "moss");
  EXPECT_TRUE(texts.Failed());
  counted.Data().resize(7);  // the count says 4 bytes, 3 remain
  ByteReader cut(counted.Data());
  EXPECT_FALSE(cut.Text32(text));
  EXPECT_TRUE(cut.Failed());
}

TEST(IdRegistry, IdsStartAtOneAndAreNeverGivenTwiceUntilReset) {
  IdRegistry<std::string> registry;
  EXPECT_EQ(registry.Add("a"), 1);
  EXPECT_EQ(registry.Add("b"), 2);
  EXPECT_TRUE(registry.Remove(2));
  EXPECT_FALSE(registry.Remove(2));
  EXPECT_EQ(registry.Find(2), nullptr);
  EXPECT_EQ(registry.Find(kNoId), nullptr);
  std::string* a = registry.Find(1);
  registry.Add("c");
  registry.Add("d");
  EXPECT_EQ(registry.Find(1), a) << "records stay where they are while others come";
  registry.Clear();
  EXPECT_EQ(registry.Add("e"), 5);
  registry.Add("f");
  std::vector<int32_t> walked;
  for (int32_t id : registry.Ids()) {
    walked.push_back(id);
    registry.Remove(id);  // removing while walking the copy is safe
  }
  EXPECT_EQ(walked, (std::vector<int32_t>{5, 6}));
  EXPECT_TRUE(registry.Empty());
  registry.Reset();
  EXPECT_EQ(registry.Add("g"), 1);
}

TEST(FileReplace, ReplacesWholeFilesAndRemovesOnlyTheLeftoversOfDeadProcesses) {
  TempDir dir;
  std::string target = dir / "settings.ini";
  ASSERT_TRUE(FileReplaceWrite(target, std::string("old")));
  ASSERT_TRUE(FileReplaceWrite(target, std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_FALSE(FileReplaceWrite(dir / "missing/folder/file", std::string("x")));

  // A process that has ended leaves its temporary file; a live one's is kept.
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  std::string dead = target + ".tmp" + std::to_string(child);
  std::string live = target + ".tmp" + std::to_string(getppid());
  tftest::WriteFile(dead, "half");
  tftest::WriteFile(live, "busy");
  tftest::WriteFile(dir / "notes.tmpx", "not ours");
  EXPECT_EQ(FileReplaceRemoveStale(dir.path()), 1);
  EXPECT_FALSE(tftest::FileExists(dead));
  EXPECT_TRUE(tftest::FileExists(live));
  EXPECT_TRUE(tftest::FileExists(dir / "notes.tmpx"));
  EXPECT_EQ(ReadFile(target), "new");
}

TEST(LogSink, SeesEveryLineAndTraceScopesCloseOnEveryPath) {
  TempDir dir;
  tftest::UseProgramFolder(dir, {"-trace"});
  tftest::LogCapture capture;
  auto traced = [](bool early) {
    LogTraceScope scope("Thing");
    if (early) return 1;
    LogTrace("inside");
    return 2;
  };
  traced(true);
  traced(false);
  LogError("Thing - It broke.");
  // The banner comes first, as in the file.
  ASSERT_GE(capture.lines().size(), 6u);
  EXPECT_EQ(capture.lines()[0].rfind("Application \"", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(capture.lines().end() - 6, capture.lines().end()),
            (std::vector<std::string>{"Thing - Begin", "Thing - End", "Thing - Begin",
                                                       "  inside", "Thing - End", "Error: Thing - It broke."}));
  EXPECT_NE(ReadFile(LogGetFilePath()).find("  inside\r\n"), std::string::npos) << "the file still gets them";
}

TEST(LogSink, LinesTheFileCannotTakeGoToStandardError) {
  TempDir dir;
  tftest::UseProgramFolder(dir);
  tftest::MakeFolders(LogGetFilePath());  // a folder where the file should be: every open fails
  testing::internal::CaptureStderr();
  LogError("IniWriteString - Unable to write to somewhere");
  LogWrite("second");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Unable to write to the log file"), std::string::npos) << err;
  EXPECT_NE(err.find("Error: IniWriteString - Unable to write to somewhere\n"), std::string::npos) << err;
  EXPECT_NE(err.find("second\n"), std::string::npos) << err;
}

TEST(IniBatch, GatheredWritesReachTheFileInOneReplaceAndReadsSeeThem) {
  TempDir dir;
  tftest::UseProgramFolder(dir);
  IniStart();
  tftest::WriteFile(IniFilePath(), "; mine\r\n[Video]\r\nWidth=800\r\n");
  IniWriteBegin();
  IniWriteInteger("Video", "Width", 1280);
  IniWriteInteger("Video", "Height", 720);
  EXPECT_EQ(IniReadInteger("Video", "Width", 0), 1280) << "reads see gathered values";
  EXPECT_EQ(ReadFile(IniFilePath()), "; mine\r\n[Video]\r\nWidth=800\r\n") << "nothing written yet";
  EXPECT_TRUE(IniWriteCommit());
  EXPECT_EQ(ReadFile(IniFilePath()), "; mine\r\n[Video]\r\nWidth=1280\r\nHeight=720\r\n");
  EXPECT_TRUE(IniWriteCommit()) << "nothing open";

  // Nested batches write once, at the outermost commit; a batch without writes writes nothing.
  IniWriteBegin();
  IniWriteBegin();
  IniWriteInteger("Video", "BPP", 32);
  EXPECT_TRUE(IniWriteCommit());
  EXPECT_EQ(ReadFile(IniFilePath()), "; mine\r\n[Video]\r\nWidth=1280\r\nHeight=720\r\n");
  EXPECT_TRUE(IniWriteCommit());
  EXPECT_EQ(IniReadInteger("Video", "BPP", 0), 32);
  std::remove(IniFilePath().c_str());
  IniWriteBegin();
  EXPECT_TRUE(IniWriteCommit());
  EXPECT_FALSE(tftest::FileExists(IniFilePath()));
  ASSERT_TRUE(tftest::WriteFile(IniFilePath(), "; mine\r\n[Video]\r\nWidth=1280\r\nHeight=720\r\n"));

  // A commit that cannot write says so (here a folder stands where the file goes).
  IniWriteBegin();
  IniWriteBool("Video", "Fullscreen", false);
  std::remove(IniFilePath().c_str());
  tftest::WriteFile(IniFilePath() + "/inside", "x");
  tftest::LogCapture capture;
  EXPECT_FALSE(IniWriteCommit());
  EXPECT_TRUE(capture.Contains("Error: IniWriteCommit - Unable to write to " + IniFilePath()));
  EXPECT_EQ(IniReadString("Video", "Fullscreen", "unset"), "unset");
}

}  // namespace

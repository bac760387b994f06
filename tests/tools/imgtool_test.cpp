// imgtool run as a program: info lines, conversions (PAM and the writers), --frame, failures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "image/image.h"
#include "image/image_test_support.h"
#include "support/test_support.h"

using namespace tftest;
using namespace std::string_literals;

namespace {

struct RunResult {
  int status = -1;
  std::string output;
};

// Runs imgtool with the arguments (already quoted), gathering standard output and error.
RunResult Imgtool(const std::string& arguments) {
  RunResult result;
  std::FILE* pipe = popen(("'" IMGTOOL "' " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string Tga(int width, int height, uint8_t depth, uint8_t descriptor, const std::string& pixels) {
  return "\0\0\x02\0\0\0\0\0\0\0\0\0"s + LE16(width) + LE16(height) + static_cast<char>(depth) +
         static_cast<char>(descriptor) + pixels;
}

// An icon directory entry and a 2 x 2 32-bit picture of one colour, with its mask.
std::string IconFile(const std::vector<uint32_t>& colours) {
  std::string directory = LE16(0) + LE16(1) + LE16(colours.size());
  std::string pictures;
  const uint32_t headerBytes = 6 + 16 * colours.size();
  for (uint32_t colour : colours) {
    std::string picture = LE32(40) + LE32(2) + LE32(4) + LE16(1) + LE16(32) + LE32(0) + LE32(0) + LE32(0) + LE32(0) +
                          LE32(0) + LE32(0);
    for (int i = 0; i < 4; ++i) picture += LE32(colour);
    picture += std::string(8, '\0');  // mask rows, 4 bytes each
    directory += "\x02\x02\0\0"s + LE16(1) + LE16(32) + LE32(picture.size()) + LE32(headerBytes + pictures.size());
    pictures += picture;
  }
  return directory + pictures;
}

}  // namespace

TEST(imgtool, InfoPrintsOneKeyAndValueALine) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "a.tga", Tga(3, 2, 24, 0x28, std::string(18, '\x40'))));
  RunResult info = Imgtool("info " + Quote(dir / "a.tga"));
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.output, "width 3\nheight 2\nbits 24\nframes 1\nsubstitute no\n");

  // A damaged file: the substitute; a file no reader takes: an empty picture.
  ASSERT_TRUE(WriteFile(dir / "b.bmp", "BM broken"));
  info = Imgtool("info " + Quote(dir / "b.bmp"));
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.output, "width 16\nheight 16\nbits 32\nframes 1\nsubstitute yes\n");
  ASSERT_TRUE(WriteFile(dir / "c.avi", "RIFF"));
  info = Imgtool("info " + Quote(dir / "c.avi"));
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.output, "width 0\nheight 0\nbits 32\nframes 1\nsubstitute no\n");

  // A relative path is taken from the current folder.
  EXPECT_EQ(std::system(("cd " + Quote(dir.path()) + " && '" IMGTOOL "' info a.tga >/dev/null").c_str()), 0);
}

TEST(imgtool, ConvertWritesDecodedPixelsAsPam) {
  TempDir dir;
  // Bottom-left 32-bit Targa: rows come out top first, alpha as stored.
  ASSERT_TRUE(WriteFile(dir / "in.tga", Tga(2, 2, 32, 0x08, LE32(0x00010203) + LE32(0x80040506) + LE32(0xFF0A0B0C) +
                                                            LE32(0x100D0E0F))));
  RunResult run = Imgtool("convert " + Quote(dir / "in.tga") + " " + Quote(dir / "out.pam"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFile(dir / "out.pam"),
            "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
            "\x0A\x0B\x0C\xFF\x0D\x0E\x0F\x10\x01\x02\x03\x00\x04\x05\x06\x80"s);

  // Through the writers and back: a Targa made into a bitmap and a Targa again.
  RgbaPicture original;
  ASSERT_TRUE(ReadPam(dir / "out.pam", original));
  ASSERT_EQ(Imgtool("convert " + Quote(dir / "in.tga") + " " + Quote(dir / "mid.BMP")).status, 0);
  ASSERT_EQ(Imgtool("convert " + Quote(dir / "mid.BMP") + " " + Quote(dir / "back.tga")).status, 0);
  ASSERT_EQ(Imgtool("convert " + Quote(dir / "back.tga") + " " + Quote(dir / "back.pam")).status, 0);
  RgbaPicture back;
  ASSERT_TRUE(ReadPam(dir / "back.pam", back));
  EXPECT_EQ(back.pixels, original.pixels);
  if (HaveTool("convert")) {
    RgbaPicture magick;
    const std::string mid = dir / "mid.BMP", decoded = dir / "magick.pam";
    ASSERT_TRUE(RunCommand("convert '" + mid + "' -depth 8 'pam:" + decoded + "'"));
    ASSERT_TRUE(ReadPam(decoded, magick));
    ASSERT_EQ(magick.pixels.size(), original.pixels.size());
    for (size_t i = 0; i < magick.pixels.size(); ++i) EXPECT_EQ(magick.pixels[i] & 0xFFFFFF, original.pixels[i] & 0xFFFFFF);
  }
}

TEST(imgtool, FramePicksAPictureOfTheChain) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "two.ico", IconFile({0x00112233, 0x00445566})));
  const RunResult info = Imgtool("info " + Quote(dir / "two.ico"));
  ASSERT_EQ(info.status, 0);
  EXPECT_NE(info.output.find("frames 2\n"), std::string::npos) << info.output;

  ASSERT_EQ(Imgtool("convert --frame 2 " + Quote(dir / "two.ico") + " " + Quote(dir / "second.pam")).status, 0);
  ASSERT_EQ(Imgtool("convert " + Quote(dir / "two.ico") + " --frame 1 " + Quote(dir / "first.pam")).status, 0);
  RgbaPicture first, second;
  ASSERT_TRUE(ReadPam(dir / "first.pam", first));
  ASSERT_TRUE(ReadPam(dir / "second.pam", second));
  ASSERT_EQ(second.pixels.size(), 4u);
  EXPECT_EQ(first.pixels[0] & 0xFFFFFF, 0x112233u);
  EXPECT_EQ(second.pixels[0] & 0xFFFFFF, 0x445566u);

  const RunResult beyond = Imgtool("convert --frame 3 " + Quote(dir / "two.ico") + " " + Quote(dir / "x.pam"));
  EXPECT_NE(beyond.status, 0);
  EXPECT_FALSE(FileExists(dir / "x.pam"));
}

TEST(imgtool, BadArgumentsAndUnreadableInputFail) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "a.tga", Tga(1, 1, 24, 0x28, "\x01\x02\x03"s)));
  ASSERT_TRUE(WriteFile(dir / "bad.tga", "\0\0\x01"s));
  const std::string a = Quote(dir / "a.tga");
  for (const std::string& arguments :
       {""s, "info"s, "info " + a + " " + a, "frobnicate " + a, "convert " + a, "convert --frame 0 " + a + " x.pam",
        "convert --frame x " + a + " x.pam", "convert " + a + " " + a + " " + a, "convert --frame " + a}) {
    const RunResult run = Imgtool(arguments);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_NE(run.output.find("usage: imgtool"), std::string::npos) << arguments;
  }
  // Missing, undecodable or folder input; an output extension with no writer.
  for (const std::string& arguments :
       {"info " + Quote(dir / "missing.tga"), "info " + Quote(dir.path()),
        "convert " + Quote(dir / "missing.tga") + " " + Quote(dir / "o.pam"),
        "convert " + Quote(dir / "bad.tga") + " " + Quote(dir / "o.pam"), "convert " + a + " " + Quote(dir / "o.png"),
        "convert " + a + " " + Quote(dir / "no/folder/o.tga"), "convert " + a + " " + Quote(dir / "no/folder/o.pam")}) {
    const RunResult run = Imgtool(arguments);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_NE(run.output.find("imgtool: "), std::string::npos) << arguments;
  }
  EXPECT_FALSE(FileExists(dir / "o.pam"));
}

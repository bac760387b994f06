#include "graphics/font_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace {

using tftest::LE16;
using tftest::TempDir;

constexpr size_t kHeaderFixed = 5;
constexpr size_t kPictureFixed = 5 + 16384 + 2;

std::string Header(const std::string& name, uint8_t first, uint8_t last, uint8_t height,
                   const std::string& extra = "") {
  std::string body = name + '\0' + static_cast<char>(first) + static_cast<char>(last) + static_cast<char>(height) + extra;
  return std::string(1, '\x02') + '\x07' + "FNT" + LE16(static_cast<uint32_t>(kHeaderFixed + body.size())) + body;
}

// A picture whose pixel bytes count up from `seed`, so each picture is recognisable.
std::string PictureBytes(uint8_t seed) {
  std::string bytes(16384, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(seed + i * 7);
  return bytes;
}

std::string Picture(uint8_t seed, uint8_t first, uint8_t last, const std::vector<uint8_t>& widths,
                    const std::string& extra = "") {
  std::string tail = std::string(1, static_cast<char>(first)) + static_cast<char>(last);
  for (uint8_t w : widths) tail += static_cast<char>(w);
  tail += extra;
  return "IMG" + LE16(static_cast<uint32_t>(kPictureFixed - 2 + tail.size())) + PictureBytes(seed) + tail;
}

class FontFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tftest::UseProgramFolder(dir_);
    DataFileStart();
  }
  void TearDown() override { DataFileEnd(); }

  std::string Put(const std::string& bytes) {
    EXPECT_TRUE(tftest::WriteFile(dir_ / "Bin/Fonts/test.fot", bytes));
    return "Bin\\Fonts\\test.fot";
  }
  // Reads, expects failure, and returns the one line the failure logged.
  std::string FailureOf(const std::string& bytes) {
    std::remove(LogGetFilePath().c_str());
    fontFile font;
    EXPECT_FALSE(FontFileRead(Put(bytes), font));
    return tftest::LastLogLine();
  }

  TempDir dir_;
};

// The good file used by several tests: 5 characters 'A'..'E' in two pictures, with extra bytes
// at the end of the header and of the first picture chunk.
std::string GoodFile() {
  return Header("Military", 'A', 'E', 12, "xyz") + Picture(1, 'A', 'C', {20, 20, 20}, std::string(1500, 'q')) +
         Picture(2, 'D', 'E', {9, 30});
}

TEST_F(FontFileTest, ReadsHeaderPicturesWidthsAndPlaces) {
  fontFile font;
  ASSERT_TRUE(FontFileRead(Put(GoodFile()), font));
  EXPECT_EQ(font.majorVersion, 2);
  EXPECT_EQ(font.minorVersion, 7);
  EXPECT_EQ(font.name, "Military");
  EXPECT_EQ(font.firstChar, 'A');
  EXPECT_EQ(font.lastChar, 'E');
  EXPECT_EQ(font.height, 12);
  ASSERT_EQ(font.pictures.size(), 2u);
  EXPECT_EQ(std::string(font.pictures[0].begin(), font.pictures[0].end()), PictureBytes(1));
  EXPECT_EQ(std::string(font.pictures[1].begin(), font.pictures[1].end()), PictureBytes(2));
  EXPECT_EQ(font.pictureCounts, (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(font.glyphCount, 5);
  EXPECT_EQ(font.ignoredChars, 0);
  const uint8_t widths[] = {20, 20, 20, 9, 30};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(font.widths[i], widths[i]) << i;
  EXPECT_EQ(font.widths[5], 0);
  EXPECT_EQ(font.places[5].picture, -1);
  // Row rule: 0, 20, 40 fit (40 + 20 = 60); the second picture starts again at the top left.
  EXPECT_EQ(font.places[0].picture, 0);
  EXPECT_EQ(font.places[2].x, 40);
  EXPECT_EQ(font.places[2].y, 0);
  EXPECT_EQ(font.places[3].picture, 1);
  EXPECT_EQ(font.places[3].x, 0);
  EXPECT_EQ(font.places[4].x, 9);
  EXPECT_FALSE(tftest::FileExists(LogGetFilePath())) << "a good file logs nothing";
}

TEST_F(FontFileTest, RowsWrapWhenThePenPlusTheNextWidthPassesSixtyThree) {
  fontFile font;
  // 20+20+20 = 60, and 60 + 3 = 63 still fits; 63 + 1 = 64 does not.
  ASSERT_TRUE(FontFileRead(Put(Header("f", 0, 5, 10) + Picture(0, 0, 5, {20, 20, 20, 3, 1, 62})), font));
  EXPECT_EQ(font.places[3].x, 60);
  EXPECT_EQ(font.places[3].y, 0);
  EXPECT_EQ(font.places[4].x, 0);
  EXPECT_EQ(font.places[4].y, 10);
  // 1 + 62 = 63 fits on the same row.
  EXPECT_EQ(font.places[5].x, 1);
  EXPECT_EQ(font.places[5].y, 10);

  int32_t x = 10, y = 0;
  FontFilePenAdvance(x, y, 50, 4, 7);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 7);
}

TEST_F(FontFileTest, PicturesBeyondTheRangeAreReadButNeverStoredPastTheRange) {
  // Range of two characters, pictures supplying 2 + 256 + 256 characters: nothing may land past
  // slot 1, let alone past slot 255.
  std::vector<uint8_t> many(256, 5);
  fontFile font;
  ASSERT_TRUE(FontFileRead(Put(Header("big", 250, 251, 8) + Picture(1, 0, 1, {7, 8}) + Picture(2, 0, 255, many) +
                                Picture(3, 0, 255, many)),
                           font));
  EXPECT_EQ(font.glyphCount, 2);
  EXPECT_EQ(font.ignoredChars, 512);
  EXPECT_EQ(font.pictures.size(), 3u);
  EXPECT_EQ(font.widths[0], 7);
  EXPECT_EQ(font.widths[1], 8);
  for (size_t slot = 2; slot < 256; ++slot) {
    EXPECT_EQ(font.widths[slot], 0) << slot;
    EXPECT_EQ(font.places[slot].picture, -1) << slot;
  }

  // The whole byte range in one header, more characters than slots.
  ASSERT_TRUE(FontFileRead(Put(Header("all", 0, 255, 8) + Picture(1, 0, 255, many) + Picture(2, 0, 9, std::vector<uint8_t>(10, 3))), font));
  EXPECT_EQ(font.glyphCount, 256);
  EXPECT_EQ(font.ignoredChars, 10);
  EXPECT_EQ(font.widths[255], 5);
}

TEST_F(FontFileTest, FewerCharactersThanTheRangeLeaveTheRestEmpty) {
  fontFile font;
  ASSERT_TRUE(FontFileRead(Put(Header("few", 'a', 'z', 8) + Picture(1, 'a', 'b', {4, 6})), font));
  EXPECT_EQ(font.glyphCount, 2);
  EXPECT_EQ(font.places[2].picture, -1);
  EXPECT_EQ(font.widths[2], 0);
  // A header alone is a font without pictures.
  ASSERT_TRUE(FontFileRead(Put(Header("none", 'a', 'z', 8)), font));
  EXPECT_EQ(font.glyphCount, 0);
  EXPECT_TRUE(font.pictures.empty());
}

TEST_F(FontFileTest, EveryFailureLogsItsOwnMessage) {
  const std::string f = "Bin\\Fonts\\test.fot";
  auto msg = [&](const std::string& text) { return "Error: FontOpen - " + text; };
  auto end = [&](const std::string& what) { return msg("Unexpected end of font \"" + f + "\" when " + what + "."); };

  std::remove(LogGetFilePath().c_str());
  fontFile font;
  EXPECT_FALSE(FontFileRead("Bin\\Fonts\\missing.fot", font));
  EXPECT_EQ(tftest::LastLogLine(), msg("Unable to load font \"Bin\\Fonts\\missing.fot\"."));

  const std::string header = Header("Name", 'A', 'B', 9, "ex");
  EXPECT_EQ(FailureOf(""), msg("Unrecognized major version for font \"" + f + "\"."));
  EXPECT_EQ(FailureOf("\x01"), msg("Unrecognized minor version for font \"" + f + "\"."));
  EXPECT_EQ(FailureOf(header.substr(0, 4)), end("reading chunk ID"));
  EXPECT_EQ(FailureOf(std::string("\x01\x00GNT", 5) + header.substr(5)), msg("Unreocgnized chunk ID \"GNT\" in font \"" + f + "\"."));
  EXPECT_EQ(FailureOf(header.substr(0, 6)), end("reading header chunk length"));
  EXPECT_EQ(FailureOf(header.substr(0, 7)), end("reading font name length"));
  EXPECT_EQ(FailureOf(header.substr(0, 9)), end("reading font name"));
  EXPECT_EQ(FailureOf(header.substr(0, 12)), end("reading first character in set"));
  EXPECT_EQ(FailureOf(header.substr(0, 13)), end("reading last character in set"));
  EXPECT_EQ(FailureOf(header.substr(0, 14)), end("reading font height"));
  EXPECT_EQ(FailureOf(header.substr(0, 16)), end("skipping extra header bytes"));
  EXPECT_EQ(FailureOf(Header("Name", 66, 65, 9)), msg("No character widths defined in font \"" + f + "\""));

  const std::string picture = Picture(3, 'A', 'B', {5, 6}, "zz");
  EXPECT_EQ(FailureOf(header + picture.substr(0, 2)), end("reading image chunk ID"));
  EXPECT_EQ(FailureOf(header + "IMX" + picture.substr(3)), msg("Unrecognized image chunk \"IMX in font \"" + f + "\"."));
  EXPECT_EQ(FailureOf(header + picture.substr(0, 4)), end("reading image chunk length"));
  EXPECT_EQ(FailureOf(header + picture.substr(0, 5 + 16383)), end("reading image data"));
  EXPECT_EQ(FailureOf(header + picture.substr(0, 5 + 16384)), end("reading first character in image"));
  EXPECT_EQ(FailureOf(header + picture.substr(0, 5 + 16385)), end("reading last character in image"));
  EXPECT_EQ(FailureOf(header + Picture(3, 'B', 'A', {})),
            msg("No characters widths defined for image in font \"" + f + "\"."));
  EXPECT_EQ(FailureOf(header + picture.substr(0, 5 + 16387)), end("reading number of character widths in image"));
  EXPECT_EQ(FailureOf(header + picture.substr(0, picture.size() - 1)), end("skipping extra image chunk bytes"));
  // A second, broken picture after a good one fails the whole font.
  EXPECT_EQ(FailureOf(header + picture + "IMG"), end("reading image chunk length"));
}

TEST_F(FontFileTest, ChunkLengthsAreSixteenBitRemaindersThatWrap) {
  fontFile font;
  // Header length 0: the remainder wraps to a skip of about 64 KiB, which a short file cannot give.
  std::string header = Header("w", 'A', 'A', 9);
  header[5] = 0;
  header[6] = 0;
  EXPECT_FALSE(FontFileRead(Put(header), font));
  EXPECT_NE(tftest::LastLogLine().find("when skipping extra header bytes."), std::string::npos);
  // ...and reads on when the file really holds that many bytes.
  // 0 - 5 wraps to 65531; the name and its 0 take 2, the three set bytes 3.
  header += std::string(65526, 'k');
  ASSERT_TRUE(FontFileRead(Put(header + Picture(1, 'A', 'A', {4})), font));
  EXPECT_EQ(font.name, "w");
  EXPECT_EQ(font.widths[0], 4);

  // A picture chunk whose length is shorter than its widths wraps the same way.
  std::string picture = Picture(1, 'A', 'A', {4});
  picture[3] = 5;
  picture[4] = 0;
  EXPECT_FALSE(FontFileRead(Put(Header("w", 'A', 'A', 9) + picture), font));
  EXPECT_NE(tftest::LastLogLine().find("when skipping extra image chunk bytes."), std::string::npos);
}

TEST_F(FontFileTest, EveryTruncatedPrefixFailsExceptAtChunkEnds) {
  const std::string good = GoodFile();
  const size_t headerEnd = Header("Military", 'A', 'E', 12, "xyz").size();
  const size_t firstPictureEnd = headerEnd + Picture(1, 'A', 'C', {20, 20, 20}, std::string(1500, 'q')).size();
  fontFile font;
  for (size_t length = 0; length < good.size(); ++length) {
    // Probing all 34 KB prefixes one by one is slow through files; step through the pixel data.
    if (length > headerEnd + 40 && length < headerEnd + 16380 && length % 997 != 0) continue;
    if (length > firstPictureEnd + 40 && length < firstPictureEnd + 16380 && length % 997 != 0) continue;
    const bool read = FontFileRead(Put(good.substr(0, length)), font);
    EXPECT_EQ(read, length == headerEnd || length == firstPictureEnd) << "prefix of " << length << " bytes";
  }
  EXPECT_TRUE(FontFileRead(Put(good), font));
}

TEST_F(FontFileTest, WriterRoundTripsAndLayoutKeepsGlyphsInsideThePictures) {
  fontFile font;
  font.name = "Round";
  font.firstChar = 32;
  font.lastChar = 255;
  font.height = 15;
  for (int slot = 0; slot < 224; ++slot) font.widths[slot] = static_cast<uint8_t>(3 + (slot * 5) % 30);
  font.pictureCounts = FontFileLayout(font.widths.data(), 224, font.height, font.places.data());
  ASSERT_GT(font.pictureCounts.size(), 3u);
  for (size_t i = 0; i < font.pictureCounts.size(); ++i) font.pictures.push_back(std::vector<uint8_t>(16384, static_cast<uint8_t>(i)));
  for (int slot = 0; slot < 224; ++slot) {
    const fontGlyphPlace& p = font.places[slot];
    EXPECT_LE(p.x + font.widths[slot], 63) << slot;
    EXPECT_LE(p.y + font.height, 64) << slot;
  }

  const std::string path = dir_ / "Bin/Fonts/round.fot";
  tftest::MakeFolders(dir_ / "Bin/Fonts/");
  ASSERT_TRUE(FontFileWrite(path, font));
  const std::string bytes = tftest::ReadFile(path);
  EXPECT_EQ(bytes.substr(2, 3), "FNT");
  EXPECT_EQ(bytes.substr(5, 2), LE16(5 + 6 + 3));
  EXPECT_EQ(bytes.substr(13, 3), "\x20\xff\x0f");
  EXPECT_EQ(bytes.substr(16, 3), "IMG");
  EXPECT_EQ(bytes.substr(19, 2), LE16(static_cast<uint32_t>(5 + 16384 + 2 + font.pictureCounts[0])));
  EXPECT_EQ(static_cast<uint8_t>(bytes[21 + 16384]), 32) << "first picture starts at the first character";
  EXPECT_EQ(static_cast<uint8_t>(bytes[21 + 16385]), 32 + font.pictureCounts[0] - 1);

  fontFile back;
  ASSERT_TRUE(FontFileRead("Bin\\Fonts\\round.fot", back));
  EXPECT_EQ(back.name, font.name);
  EXPECT_EQ(back.height, font.height);
  EXPECT_EQ(back.pictureCounts, font.pictureCounts);
  EXPECT_EQ(back.pictures, font.pictures);
  EXPECT_EQ(back.widths, font.widths);
  EXPECT_EQ(back.glyphCount, 224);
  for (int slot = 0; slot < 224; ++slot) {
    EXPECT_EQ(back.places[slot].picture, font.places[slot].picture) << slot;
    EXPECT_EQ(back.places[slot].x, font.places[slot].x) << slot;
    EXPECT_EQ(back.places[slot].y, font.places[slot].y) << slot;
  }
}

TEST_F(FontFileTest, WriterRefusesFontsItCannotWriteFaithfully) {
  fontFile font;
  font.name = "Bad";
  font.firstChar = 'A';
  font.lastChar = 'C';
  font.height = 10;
  font.pictures.push_back(std::vector<uint8_t>(16384, 0));
  font.pictureCounts = {2};
  const std::string path = dir_ / "bad.fot";
  EXPECT_FALSE(FontFileWrite(path, font)) << "two characters for a range of three";
  EXPECT_NE(tftest::LastLogLine().find("FontFileWrite - "), std::string::npos);
  font.pictureCounts = {3};
  font.pictures[0].resize(100);
  EXPECT_FALSE(FontFileWrite(path, font)) << "short picture";
  font.pictures[0].resize(16384);
  font.firstChar = 'D';
  EXPECT_FALSE(FontFileWrite(path, font)) << "empty range";
  EXPECT_FALSE(tftest::FileExists(path));
  font.firstChar = 'A';
  EXPECT_FALSE(FontFileWrite(dir_ / "no/such/folder/x.fot", font));
  EXPECT_TRUE(FontFileWrite(path, font));
}

}  // namespace

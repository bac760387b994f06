// The picture container: chains, copies, palette search, the version line and the load and save
// dispatch by extension.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "core/util.h"
#include "image/picture_checks.h"

using namespace tftest;
using namespace std::string_literals;

namespace {

class imageContainer : public PictureTest {};

// A valid 2 x 1 24-bit Targa file.
std::string SmallTga() {
  return "\0\0\x0A\0\0\0\0\0\0\0\0\0\x02\0\x01\0\x18\x28"s + "\x01\x0A\x0B\x0C\x0D\x0E\x0F"s;
}

}  // namespace

TEST_F(imageContainer, ChainsGrowAtTheEndAndFreeWhole) {
  imageData* chain = nullptr;
  imageData* first = ImageNew(chain);
  ASSERT_EQ(chain, first);
  EXPECT_TRUE(first->fileName.empty());
  EXPECT_FALSE(first->substitute);
  EXPECT_EQ(first->width, 0);
  EXPECT_EQ(first->height, 0);
  EXPECT_EQ(first->bitsPerPixel, 32);
  EXPECT_EQ(first->frameIndex, 1);
  EXPECT_TRUE(first->pixels.empty());
  EXPECT_EQ(std::count(first->palette, first->palette + 256, 0u), 256);

  imageData* second = ImageNew(chain);
  imageData* third = ImageNew(chain);
  EXPECT_EQ(chain, first);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(second->previous, first);
  EXPECT_EQ(second->next, third);
  EXPECT_EQ(third->previous, second);
  EXPECT_EQ(third->next, nullptr);

  // Freeing from inside a chain keeps the pictures before it, now ending there.
  imageData* tail = second;
  ImageFree(tail);
  EXPECT_EQ(tail, nullptr);
  EXPECT_EQ(first->next, nullptr);
  ImageFree(chain);
  EXPECT_EQ(chain, nullptr);
  ImageFree(chain);  // an empty chain is fine
}

TEST_F(imageContainer, CopyTakesThePictureButKeepsFrameAndLinks) {
  PictureChain source, destination;
  ImageNew(source.chain);
  source->fileName = "Bin\\Art\\a.tga";
  source->substitute = true;
  source->width = 2;
  source->height = 1;
  source->bitsPerPixel = 8;
  source->frameIndex = 4;
  source->pixels = {5, 6};
  source->palette[255] = 0x123456;
  ImageNew(destination.chain);
  imageData* second = ImageNew(destination.chain);
  second->frameIndex = 2;

  ImageCopy(second, source.chain);
  EXPECT_EQ(second->fileName, source->fileName);
  EXPECT_TRUE(second->substitute);
  EXPECT_EQ(second->width, 2);
  EXPECT_EQ(second->height, 1);
  EXPECT_EQ(second->bitsPerPixel, 8);
  EXPECT_EQ(second->pixels, source->pixels);
  EXPECT_EQ(second->palette[255], 0x123456u);
  EXPECT_EQ(second->frameIndex, 2);
  EXPECT_EQ(second->previous, destination.chain);
  EXPECT_EQ(second->next, nullptr);
}

TEST_F(imageContainer, KnowsPictureFilesByExtensionInAnyCase) {
  for (const char* name : {"a.ani", "a.AVI", "b.Bmp", "c.cur", "d.GIF", "e.ico", "f.jpg", "g.pcx", "h.TGA",
                           "Bin\\Art\\x.tga", "dir.v2/x.bmp"}) {
    EXPECT_TRUE(ImageIsImageFile(name)) << name;
  }
  for (const char* name : {"a.jpeg", "a.png", "a.lbm", "tga", "a.tga.txt", "dir.tga/readme", ""}) {
    EXPECT_FALSE(ImageIsImageFile(name)) << name;
  }
}

TEST_F(imageContainer, NearestPaletteIndexSearchesTheDepthsEntries) {
  PictureChain picture;
  ImageNew(picture.chain);
  picture->bitsPerPixel = 2;
  picture->palette[0] = 0x000000;
  picture->palette[1] = 0x808080;
  picture->palette[2] = 0x808080;  // a tie: the first entry wins
  picture->palette[3] = 0xFF0000;
  picture->palette[4] = 0x7F8081;  // beyond 2^2 entries: never chosen
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0x7F8081), 1);
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0xFFE01010), 3);  // alpha is no colour
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0x101010), 0);
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0xFFFFFF), 1);  // 381 against 510
  picture->bitsPerPixel = 8;
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0x7F8081), 4);
  picture->bitsPerPixel = 16;
  EXPECT_EQ(ImageNearestPaletteIndex(picture.chain, 0xFF0000), 0);
}

TEST_F(imageContainer, LoadDispatchesByExtension) {
  ASSERT_TRUE(WriteFile(Path("art/small.tga"), SmallTga()));
  ASSERT_TRUE(WriteFile(Path("art/SMALL2.Tga"), SmallTga()));
  ASSERT_TRUE(WriteFile(Path("art/small.dat"), SmallTga()));
  ASSERT_TRUE(WriteFile(Path("art/small.avi"), SmallTga()));

  // Names relative to the program folder, with "\" between folders, and absolute paths.
  for (const std::string& name : {"art\\small.tga"s, "art\\SMALL2.Tga"s, Path("art/small.tga")}) {
    PictureChain picture;
    ImageLoad(name, picture.chain);
    ASSERT_NE(picture.chain, nullptr) << name;
    EXPECT_EQ(picture->width, 2) << name;
    EXPECT_EQ(picture->pixels, (std::vector<uint32_t>{0x0C0B0A, 0x0F0E0D})) << name;
  }

  // No reader (".AVI", unknown extensions) or no file: the picture stays as it was.
  for (const std::string& name : {"art\\small.avi"s, "art\\small.dat"s, "art\\missing.tga"s, "art\\missing.bmp"s,
                                  "art\\missing.pcx"s}) {
    PictureChain picture;
    ImageNew(picture.chain)->width = 77;
    ImageLoad(name, picture.chain);
    EXPECT_EQ(picture->width, 77) << name;
    EXPECT_FALSE(picture->substitute) << name;
    EXPECT_EQ(picture->next, nullptr) << name;
  }

  // A file of the wrong kind under a known extension gives the substitute, keeping the depth;
  // a good load afterwards clears the flag.
  ASSERT_TRUE(WriteFile(Path("art/text.bmp"), "not a picture at all, only words"));
  ASSERT_TRUE(WriteFile(Path("art/text.pcx"), std::string(300, 'x')));
  PictureChain picture;
  ImageNew(picture.chain)->bitsPerPixel = 24;
  ImageLoad("art\\text.bmp", picture.chain);
  EXPECT_TRUE(IsSubstitute(*picture));
  EXPECT_EQ(picture->bitsPerPixel, 24);
  ImageLoad("art\\text.pcx", picture.chain);
  EXPECT_TRUE(IsSubstitute(*picture));
  ImageLoad("art\\small.tga", picture.chain);
  EXPECT_FALSE(picture->substitute);
  EXPECT_EQ(picture->width, 2);
}

TEST_F(imageContainer, SaveDispatchesByExtension) {
  PictureChain picture;
  FillPicture(ImageNew(picture.chain), RgbaPicture{2, 2, {1, 2, 3, 4}}, 24);
  ImageSave(Path("a.TGA"), picture.chain);
  ImageSave(Path("b.bmp"), picture.chain);
  ImageSave(Path("c.pcx"), picture.chain);
  ImageSave(Path("d.avi"), picture.chain);
  ImageSave(Path("e.png"), picture.chain);
  ImageSave(Path("no/such/folder/f.tga"), picture.chain);  // cannot be created: silent
  ImageSave(Path("g.tga"), nullptr);
  EXPECT_EQ(ReadFile(Path("a.TGA")).substr(0, 3), "\0\0\x0A"s);
  EXPECT_EQ(ReadFile(Path("b.bmp")).substr(0, 2), "BM");
  for (const char* name : {"c.pcx", "d.avi", "e.png", "no/such/folder/f.tga", "g.tga"}) {
    EXPECT_FALSE(FileExists(Path(name))) << name;
  }
  // What was saved loads back.
  for (const char* name : {"a.TGA", "b.bmp"}) {
    PictureChain loaded;
    ImageLoad(Path(name), loaded.chain);
    EXPECT_EQ(loaded->pixels, picture->pixels) << name;
  }
}

TEST_F(imageContainer, EmptyInputGivesTheSubstituteFromEveryReader) {
  using decoder = void (*)(const std::vector<uint8_t>&, imageData*);
  const std::vector<std::pair<const char*, decoder>> decoders = {
      {"tga", ImageDecodeTga},
      {"bmp", ImageDecodeBmp},
      {"pcx", ImageDecodePcx},
      {"ico", [](const std::vector<uint8_t>& bytes, imageData* image) { ImageDecodeIcon(bytes, image, 1, 0); }},
      {"ani", ImageDecodeAni},
      {"gif", ImageDecodeGif},
  };
  const std::vector<uint8_t> empty;
  for (const auto& [name, decode] : decoders) {
    PictureChain picture;
    decode(empty, ImageNew(picture.chain));
    EXPECT_TRUE(picture->substitute && picture->width == 16 && picture->height == 16) << name;
    EXPECT_EQ(picture->next, nullptr) << name;
  }
  // A JPEG stream that stops before its frame header leaves the picture empty instead.
  PictureChain jpeg;
  ImageDecodeJpg(empty, ImageNew(jpeg.chain));
  EXPECT_TRUE(!jpeg->substitute && jpeg->width == 0 && jpeg->pixels.empty());
}

TEST_F(imageContainer, StartRegistersTheVersionLine) {
  UseProgramFolder(dir_, {"-ver"});
  ImageStart();
  ImageEnd();
  EXPECT_NE(ReadFile(Path("results.log")).find("    fwkImage - Version Alpha.0\r\n"), std::string::npos);
}

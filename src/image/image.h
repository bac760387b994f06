// In-memory pictures (imageData chains) and their readers and writers, chosen by file extension.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One picture. Pixels are 0xAARRGGBB (bytes in memory blue, green, red, alpha), row 0 at the top.
// Files holding several pictures (icons, animated cursors) give a doubly linked chain.
struct imageData {
  std::string fileName;
  bool substitute = false;  // the load failed and the substitute picture stands in
  int32_t width = 0;
  int32_t height = 0;
  uint8_t bitsPerPixel = 32;  // depth of the source
  int32_t frameIndex = 1;     // 1-based place in a multi-picture file
  std::vector<uint32_t> pixels;
  uint32_t palette[256] = {};
  imageData* next = nullptr;
  imageData* previous = nullptr;
};

// Largest width or height any reader accepts.
constexpr int32_t kMaxPictureSide = 16384;

// Unit start and end steps (one per decoder unit, as the start order names them).
void ImageJpgStart();
void ImageJpgEnd();
void ImageGifStart();
void ImageGifEnd();
void ImageStart();
void ImageEnd();

// Appends a new empty picture (32 bits, frame 1) to the chain, or starts it; returns it.
imageData* ImageNew(imageData*& chain);
// Frees every picture of the chain and sets it to null.
void ImageFree(imageData*& chain);
// Owner of a whole chain: frees every picture of it when it goes.
struct ImageChainFree {
  void operator()(imageData* chain) const { ImageFree(chain); }
};
using imageChain = std::unique_ptr<imageData, ImageChainFree>;
// A chain of one new empty picture (32 bits, frame 1), held by its owner.
imageChain ImageNewChain();
// Loads the file (as ImageLoad into an empty chain) and hands the chain to its owner.
imageChain ImageLoadChain(const std::string& fileName, int32_t firstPicture = 1, int32_t lastPicture = 0);

// Loads by extension into the chain's first picture (created when the chain is empty).
// firstPicture/lastPicture (1-based; lastPicture 0 = all) choose pictures of icon and cursor files.
// A file that cannot be opened leaves the picture unchanged; a damaged one gives the substitute.
void ImageLoad(const std::string& fileName, imageData*& chain, int32_t firstPicture = 1, int32_t lastPicture = 0);
// Saves by extension (".TGA", ".BMP", ".GIF", ".ICO", ".CUR"); anything else writes nothing.
// The GIF writer sets the picture's bitsPerPixel to 8.
void ImageSave(const std::string& fileName, imageData* image);
// Copies file name, substitute flag, size, depth, pixels and palette; frame index and links stay.
void ImageCopy(imageData* destination, const imageData* source);
bool ImageIsImageFile(const std::string& fileName);
// The palette entry nearest to the colour (sum of absolute RGB differences); 0 above 8 bits.
int32_t ImageNearestPaletteIndex(const imageData* image, uint32_t colour);

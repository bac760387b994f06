// Internal to the image unit: the loaders and writers behind ImageLoad and ImageSave, and the
// helpers they share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "image/image.h"

// Turns the picture into the 16 x 16 substitute (white, red frame and diagonals), keeping its depth.
void ImageMakeSubstitute(imageData* image);
// Sets the size and allocates width x height zero pixels; false (picture untouched) when a side is
// not in 1..kMaxPictureSide.
bool ImageResize(imageData* image, int32_t width, int32_t height);

// Creates the file and writes the bytes; false when it cannot be created or a write fails (the
// partial file then stays, as the writers promise nothing more).
bool ImageWriteWholeFile(const std::string& fileName, const std::vector<uint8_t>& bytes);

// Loaders: each fills `image` (the chain's first picture) from the named file.
void ImageLoadTga(const std::string& fileName, imageData* image);
void ImageLoadBmp(const std::string& fileName, imageData* image);
void ImageLoadPcx(const std::string& fileName, imageData* image);
void ImageLoadIcon(const std::string& fileName, imageData* image, int32_t firstPicture, int32_t lastPicture);
void ImageLoadAni(const std::string& fileName, imageData* image);
void ImageLoadGif(const std::string& fileName, imageData* image);
void ImageLoadJpg(const std::string& fileName, imageData* image);

// Byte-level entry points of the same loaders (used by the loaders above, tools and fuzzers).
void ImageDecodeTga(const std::vector<uint8_t>& bytes, imageData* image);
void ImageDecodeBmp(const std::vector<uint8_t>& bytes, imageData* image);
void ImageDecodePcx(const std::vector<uint8_t>& bytes, imageData* image);
void ImageDecodeIcon(const std::vector<uint8_t>& bytes, imageData* image, int32_t firstPicture, int32_t lastPicture);
void ImageDecodeAni(const std::vector<uint8_t>& bytes, imageData* image);
void ImageDecodeGif(const std::vector<uint8_t>& bytes, imageData* image);
void ImageDecodeJpg(const std::vector<uint8_t>& bytes, imageData* image);

// Writers: each creates the file with RawFileCreate and writes the picture; silent on failure.
void ImageSaveTga(const std::string& fileName, const imageData* image);
void ImageSaveBmp(const std::string& fileName, const imageData* image);
void ImageSaveGif(const std::string& fileName, imageData* image);
void ImageSaveIcon(const std::string& fileName, const imageData* image);

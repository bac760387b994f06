// The picture container: chains of pictures, copying, palette search, and the load and save
// dispatch by file extension.
#include <cstdlib>

#include "core/log.h"
#include "core/util.h"
#include "image/image_formats.h"

namespace {

// The upper-cased extension of the last path component, with its dot (".TGA"); empty when none.
std::string UpperExtension(const std::string& fileName) {
  size_t folderEnd = fileName.find_last_of("/\\");
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (folderEnd != std::string::npos && dot < folderEnd)) return {};
  return UtilUpper(fileName.substr(dot));
}

}  // namespace

void ImageStart() { LogVersion("fwkImage - Version Alpha.0"); }

void ImageEnd() {}

imageData* ImageNew(imageData*& chain) {
  imageData* image = new imageData;
  if (chain == nullptr) {
    chain = image;
    return image;
  }
  imageData* last = chain;
  while (last->next != nullptr) last = last->next;
  last->next = image;
  image->previous = last;
  return image;
}

void ImageFree(imageData*& chain) {
  // Given a picture inside a chain, the pictures before it stay and end there.
  if (chain != nullptr && chain->previous != nullptr) chain->previous->next = nullptr;
  while (chain != nullptr) {
    imageData* next = chain->next;
    delete chain;
    chain = next;
  }
}

void ImageLoad(const std::string& fileName, imageData*& chain, int32_t firstPicture, int32_t lastPicture) {
  if (chain == nullptr) ImageNew(chain);
  imageData* image = chain;
  const std::string extension = UpperExtension(fileName);
  if (extension == ".ANI") {
    ImageLoadAni(fileName, image);
  } else if (extension == ".BMP") {
    ImageLoadBmp(fileName, image);
  } else if (extension == ".CUR" || extension == ".ICO") {
    ImageLoadIcon(fileName, image, firstPicture, lastPicture);
  } else if (extension == ".GIF") {
    ImageLoadGif(fileName, image);
  } else if (extension == ".JPG") {
    ImageLoadJpg(fileName, image);
  } else if (extension == ".PCX") {
    ImageLoadPcx(fileName, image);
  } else if (extension == ".TGA") {
    ImageLoadTga(fileName, image);
  }
  // ".AVI" and every other extension: no reader, the picture stays as it was.
}

void ImageSave(const std::string& fileName, imageData* image) {
  if (image == nullptr) return;
  const std::string extension = UpperExtension(fileName);
  if (extension == ".BMP") {
    ImageSaveBmp(fileName, image);
  } else if (extension == ".TGA") {
    ImageSaveTga(fileName, image);
  } else if (extension == ".GIF") {
    ImageSaveGif(fileName, image);
  } else if (extension == ".CUR" || extension == ".ICO") {
    ImageSaveIcon(fileName, image);
  }
}

void ImageCopy(imageData* destination, const imageData* source) {
  if (destination == nullptr || source == nullptr || destination == source) return;
  destination->fileName = source->fileName;
  destination->substitute = source->substitute;
  destination->width = source->width;
  destination->height = source->height;
  destination->bitsPerPixel = source->bitsPerPixel;
  destination->pixels = source->pixels;
  for (int i = 0; i < 256; ++i) destination->palette[i] = source->palette[i];
}

bool ImageIsImageFile(const std::string& fileName) {
  static const char* const kExtensions[] = {".ANI", ".AVI", ".BMP", ".CUR", ".GIF", ".ICO", ".JPG", ".PCX", ".TGA"};
  const std::string extension = UpperExtension(fileName);
  for (const char* known : kExtensions) {
    if (extension == known) return true;
  }
  return false;
}

int32_t ImageNearestPaletteIndex(const imageData* image, uint32_t colour) {
  if (image == nullptr || image->bitsPerPixel > 8) return 0;
  const int32_t count = 1 << image->bitsPerPixel;
  const int32_t red = (colour >> 16) & 0xFF;
  const int32_t green = (colour >> 8) & 0xFF;
  const int32_t blue = colour & 0xFF;
  int32_t best = 0;
  int32_t bestDistance = 768;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t entry = image->palette[i];
    const int32_t distance = std::abs(red - static_cast<int32_t>((entry >> 16) & 0xFF)) +
                             std::abs(green - static_cast<int32_t>((entry >> 8) & 0xFF)) +
                             std::abs(blue - static_cast<int32_t>(entry & 0xFF));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

imageChain ImageNewChain() {
  imageData* chain = nullptr;
  ImageNew(chain);
  return imageChain(chain);
}

imageChain ImageLoadChain(const std::string& fileName, int32_t firstPicture, int32_t lastPicture) {
  imageData* chain = nullptr;
  ImageLoad(fileName, chain, firstPicture, lastPicture);
  return imageChain(chain);
}

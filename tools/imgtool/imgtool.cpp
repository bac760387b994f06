// imgtool: prints what the picture readers make of a file, and converts pictures between the
// formats the image unit reads and writes (plus PAM, the decoded pixels as 8-bit RGBA).
//
//   imgtool info FILE
//   imgtool convert [--frame N] IN OUT
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util.h"
#include "data/data_file.h"
#include "image/image.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Usage() {
  std::fprintf(stderr,
               "usage: imgtool info FILE\n"
               "       imgtool convert [--frame N] IN OUT\n"
               "  info     prints width, height, bits, frames and substitute of the picture\n"
               "  convert  reads IN (TGA, BMP, PCX, ICO, CUR, ANI, GIF, JPG) and writes OUT by its\n"
               "           extension: .tga, .bmp, .gif, .ico, .cur, or .pam (8-bit RGBA);\n"
               "           --frame N picks the N-th picture of a multi-picture file (from 1)\n");
  return kExitUsage;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "imgtool: %s\n", text.c_str());
  return kExitFailure;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ignored;
  std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

// The data layer resolves names against the program folder: make that the picture's folder and
// hand it the absolute path.
std::string PrepareInput(const std::string& path) {
  const std::string absolute = AbsolutePath(path);
  UtilSetAppFolder(std::filesystem::path(absolute).parent_path().string());
  DataFileStart();
  return absolute;
}

bool Readable(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return false;
  return static_cast<bool>(DataFileGuard(path));
}

int32_t CountFrames(const imageData* chain) {
  int32_t count = 0;
  for (const imageData* image = chain; image != nullptr; image = image->next) ++count;
  return count;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension;
}

bool WritePam(const std::string& path, const imageData& image) {
  std::string text = "P7\nWIDTH " + std::to_string(image.width) + "\nHEIGHT " + std::to_string(image.height) +
                     "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  text.reserve(text.size() + count * 4);
  for (size_t i = 0; i < count && i < image.pixels.size(); ++i) {
    const uint32_t p = image.pixels[i];
    text += static_cast<char>((p >> 16) & 0xFF);
    text += static_cast<char>((p >> 8) & 0xFF);
    text += static_cast<char>(p & 0xFF);
    text += static_cast<char>(p >> 24);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

int Info(const std::string& path) {
  const std::string input = PrepareInput(path);
  if (!Readable(input)) return Fail("cannot read \"" + path + "\"");
  const imageChain chain = ImageLoadChain(input);
  std::printf("width %d\nheight %d\nbits %d\nframes %d\nsubstitute %s\n", chain->width, chain->height,
              chain->bitsPerPixel, CountFrames(chain.get()), chain->substitute ? "yes" : "no");
  return 0;
}

int Convert(const std::string& inPath, const std::string& outPath, int32_t frame) {
  const std::string extension = LowerExtension(outPath);
  const bool pam = extension == ".pam";
  if (!pam && extension != ".tga" && extension != ".bmp" && extension != ".gif" && extension != ".ico" &&
      extension != ".cur") {
    return Fail("cannot write \"" + outPath + "\": the extension names no writer");
  }
  const std::string input = PrepareInput(inPath);
  if (!Readable(input)) return Fail("cannot read \"" + inPath + "\"");
  const imageChain chain = ImageLoadChain(input);
  imageData* image = chain.get();
  for (int32_t i = 1; i < frame && image != nullptr; ++i) image = image->next;

  int result = 0;
  if (image == nullptr) {
    result = Fail("\"" + inPath + "\" has " + std::to_string(CountFrames(chain.get())) + " picture(s), no picture " +
                  std::to_string(frame));
  } else if (image->substitute || image->width < 1 || image->height < 1) {
    result = Fail("cannot decode \"" + inPath + "\"");
  } else if (pam) {
    if (!WritePam(outPath, *image)) result = Fail("cannot write \"" + outPath + "\"");
  } else {
    // The writers fail silently: a file that is not there afterwards was not written.
    const std::string output = AbsolutePath(outPath);
    std::remove(output.c_str());
    ImageSave(output, image);
    if (!std::filesystem::is_regular_file(output)) result = Fail("cannot write \"" + outPath + "\"");
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  UtilSetCommandLine(std::vector<std::string>{});
  if (arguments.size() == 2 && arguments[0] == "info") return Info(arguments[1]);
  if (!arguments.empty() && arguments[0] == "convert") {
    int32_t frame = 1;
    std::vector<std::string> files;
    for (size_t i = 1; i < arguments.size(); ++i) {
      if (arguments[i] == "--frame") {
        if (i + 1 >= arguments.size() || !UtilTextToInteger(arguments[i + 1], frame) || frame < 1) return Usage();
        ++i;
      } else {
        files.push_back(arguments[i]);
      }
    }
    if (files.size() == 2) return Convert(files[0], files[1], frame);
  }
  return Usage();
}

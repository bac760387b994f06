// artgen: draws the game's pictures procedurally and writes them as 32-bit Targa files.
//
//   artgen BIN_FOLDER   writes the arcade pictures and the game screen's pictures into
//                       BIN_FOLDER/Images/ and the menu's and panels' pictures into
//                       BIN_FOLDER/Interface/ (the README lists them with their sizes)
//
// Everything is seeded, so every run draws the same pixels. The title is lettered with the
// font file named at build time (ARTGEN_TITLE_FONT).
#include <cstdio>
#include <filesystem>
#include <string>

#include "pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen BIN_FOLDER\n");
    return 2;
  }
  const std::string images = std::string(argv[1]) + "/Images/";
  const std::string interface = std::string(argv[1]) + "/Interface/";
  std::error_code error;
  std::filesystem::create_directories(images, error);
  std::filesystem::create_directories(interface, error);
  bool ok = art::DrawArcade(images);
  ok = art::DrawScene(images, interface) && ok;
  ok = art::DrawInterface(interface, ARTGEN_TITLE_FONT) && ok;
  ok = art::DrawAdventure(images, interface) && ok;
  // The Targa writer keeps quiet about a folder it cannot write into; a sample of the files shows it.
  for (const std::string& name : {images + "FloorA.tga", images + "Game Sky.tga", interface + "Icon.tga"}) {
    if (!std::filesystem::exists(name)) {
      std::fprintf(stderr, "artgen: cannot write %s\n", name.c_str());
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

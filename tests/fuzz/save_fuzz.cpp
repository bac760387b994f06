// libFuzzer harness for save files: the fuzz bytes become a save in the save folder; the slot
// scan reads whatever it holds, and a save the scan accepts is loaded back into the state store.
#include <cstdint>
#include <string>

#include "fuzz_files.h"
#include "game/game.h"
#include "game/saves.h"
#include "state/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfiles::Write("savegame1.sav", data, size);
  StateStart();
  StateRegisterUpdate(kGameStateGame, nullptr);
  StateSetSaveName(kGameStateGame, "game");
  SavesScan(fuzzfiles::Folder(), kNoId);
  if (SavesCount() > 1) __builtin_trap();  // one file, at most one slot
  if (SavesCount() == 1) {
    if (SaveSlot(1)->picture.size() != static_cast<size_t>(kSavePictureWidth) * kSavePictureHeight) __builtin_trap();
    SaveDetailsText(*SaveSlot(1));
    if (!SaveGameLoad(1)) __builtin_trap();  // what the scan accepts, the loader reads
  }
  SavesFree();
  StateEnd();
  fuzzfiles::ForgetLog();
  return 0;
}

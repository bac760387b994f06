// App routines of the save games: writing, the slot list the save screens show, their pictures,
// and loading a save back. Besides the save screens' routines:
//   AppSaveGameLoad  1 in int slot, 2 out bool: restores the slot's save (the named states'
//                    variables, the game state's clock, the agents); false when it cannot.
//   AppSetLevel      1 in int: the arcade level number AppLevel reports; entering the game
//                    screen then plays the level after it, so a game saved while AppLevel gave L
//                    resumes that level with AppSetLevel(L - 1).
#include "core/util.h"
#include "game/app_routines.h"
#include "game/arcade.h"
#include "game/game_states.h"
#include "game/saves.h"
#include "image/image.h"

namespace {

// The screen as it is now, for the save's picture (black when it cannot be read).
imageData Screen() {
  imageData frame;
  if (!GameCaptureScreen(frame)) frame = imageData{};
  return frame;
}

}  // namespace

void AppRoutinesRegisterSavesRender() {
  // The object name from its 8th character on is the display position.
  ScriptAppObjRoutineRegisterRender("AppRenderSave", [](const std::string& name) {
    int32_t n = 0;
    if (name.size() > 7 && UtilTextToInteger(name.substr(7), n)) SavesRender(n);
  });
  ScriptAppObjRoutineRegisterRender("AppRenderSaveDialog", [](const std::string&) { SavesRenderDialog(); });
}

void AppRoutinesRegisterSaves() {
  AppRegister("AppSaveCount", [](const appCall& c) { c.Set(1, SavesCount()); });
  AppRegister("AppSaveFirstDisplayed", [](const appCall& c) { SavesSetFirstDisplayed(c.Int(1)); });
  AppRegister("AppSaveGame", [](const appCall& c) {
    const imageData frame = Screen();
    SaveGameWrite(c.Text(1), c.Text(2), c.Int(3), c.Text(4), &frame);
  });
  AppRegister("AppSaveGameAuto", [](const appCall& c) {
    if (AppCutsceneRunning()) return;  // not even the picture
    const imageData frame = Screen();
    SaveGameAuto(c.Int(1), &frame);
  });
  AppRegister("AppSaveGameExists", [](const appCall& c) { c.SetBool(1, SavesExist()); });
  AppRegister("AppSaveGetDesc", [](const appCall& c) {
    const saveData* save = SaveSlot(c.Int(1));
    const bool held = save != nullptr && !save->fileName.empty();
    c.SetText(2, held ? save->description : "");
    c.SetText(3, held ? SaveDetailsText(*save) : "");
    c.SetText(4, held ? save->note : "");
  });
  AppRegister("AppSaveGetFileName", [](const appCall& c) {
    const saveData* save = SaveSlot(c.Int(1));
    c.SetText(2, save != nullptr ? save->fileName : "");
  });
  AppRegister("AppSaveSetDialogImage", [](const appCall& c) { SavesSetDialogImage(c.Int(1)); });
  AppRegister("AppSaveSetDialogPosition", [](const appCall& c) { SavesSetDialogPosition(c.Int(1), c.Int(2)); });
  AppRegister("AppSaveSetPosition", [](const appCall& c) { SavesSetPosition(c.Int(1), c.Int(2), c.Int(3)); });
  AppRegister("AppSaveGameLoad", [](const appCall& c) { c.SetBool(2, SaveGameLoad(c.Int(1))); });
  AppRegister("AppSetLevel", [](const appCall& c) { ArcadeSetLevel(c.Int(1)); });
}

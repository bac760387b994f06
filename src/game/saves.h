// Save games: the save files in the user data folder, the list of save slots the save screens
// show (slot 0 the autosave, then the other saves newest first) with a picture of the screen for
// each, and loading a save back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"
#include "game/agents.h"

struct imageData;

inline constexpr int32_t kSavePictureWidth = 192;
inline constexpr int32_t kSavePictureHeight = 120;

// One save slot; also the record of the save being written.
struct saveData {
  std::string description;
  double savedAt = 0;  // local time: days since 1899-12-30, the time of day as the fraction
  int32_t playTime = 0;  // ms on the game state's clock
  int32_t percent = 0;
  int32_t difficulty = 0;  // 1..3
  std::string note;
  std::string fileName;  // full path; empty: the slot holds no save
  std::vector<uint32_t> picture;  // 192 x 120 pixels 0xFFRRGGBB, row 0 at the top
  int32_t model = kNoId;  // the picture on the display, kNoId without one
  int32_t pictureSerial = 0;  // names the slot to its picture's reload routine
};

// Builds the slot list from the save files in `folder` (ending in "/"), their pictures on the
// display (none for a display <= 0). Files are taken in name order; a damaged one is skipped
// with one log line. Frees the previous list first.
void SavesScan(const std::string& folder, int32_t display);
// Frees the slots' pictures and empties the list (slot 0 stays, empty).
void SavesFree();

// Writes a save (file empty: the next free "savegameN.sav" of the folder; a bare name: in the
// folder) and puts it into slot 1, or slot 0 for the autosave. `frame` is the screen as
// GraphicsReadPixels gives it (nullptr or empty: a black picture). False when the file could not
// be written (logged); the slot list is then unchanged.
bool SaveGameWrite(std::string file, const std::string& description, int32_t percent, const std::string& note,
                   const imageData* frame);
// "autosave.sav" with the description "< Autosave >" and no note; nothing (false) while a cut
// scene runs.
bool SaveGameAuto(int32_t percent, const imageData* frame);
// Reads the slot's file back: the named states' variables, the game state's clock from the play
// time and the agents. False with one log line, and nothing changed, for an empty slot or a
// missing or damaged file.
bool SaveGameLoad(int32_t slot);

// folder + "savegame" + N + ".sav" for the smallest N >= 1 that the folder does not hold.
std::string SaveNextFileName(const std::string& folder);
// The slot list's rules, for the routines and their tests.
bool SavesExist();  // some save or the autosave
int32_t SavesCount();  // slots without the autosave slot
// The slot, or nullptr outside the list.
const saveData* SaveSlot(int32_t slot);

// The save picture of a frame (rows from the top, 0xAARRGGBB): scaled with a box filter to cover
// 192 x 120, the excess cropped (half from the left, half from the screen's bottom, the rest
// from the other side). A frame without pixels gives a black picture.
std::vector<uint32_t> SavePictureFromFrame(const imageData& frame);

// The moment as stored in saves, from a local date and time.
double SaveDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
// The details text of a slot, lines separated by CR: date and 12-hour time, play time, percent
// complete, difficulty label.
std::string SaveDetailsText(const saveData& save);

// What the save screens draw: the first displayed offset, the picture of the save dialog and
// the table of display positions.
void SavesSetFirstDisplayed(int32_t first);
void SavesSetDialogImage(int32_t slot);
void SavesSetDialogPosition(int32_t x, int32_t y);
// Position n of the table (which grows to n + 1 entries); a negative or absurd n is logged.
void SavesSetPosition(int32_t n, int32_t x, int32_t y);
// Draws slot 0 for n = 0, else slot n + first displayed, at display position n, when the slot
// holds a save and the table has entry n.
void SavesRender(int32_t n);
// Draws the dialog slot (at least 1) at the dialog position.
void SavesRenderDialog();

#include "game/saves.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/bytes.h"
#include "core/log.h"
#include "core/util.h"
#include "data/data_file.h"
#include "game/app_routines.h"
#include "game/game.h"
#include "graphics/model.h"
#include "image/image.h"
#include "state/state.h"

namespace {

constexpr int32_t kAppVersion = 3;
constexpr size_t kPicturePixels = static_cast<size_t>(kSavePictureWidth) * kSavePictureHeight;
constexpr float kDepth = -5.0f;
// A position table longer than this is no save screen's: a script asking for more is wrong, and
// honouring it would allocate without bound.
constexpr int32_t kMaxPositions = 1024;
// Saved-at times outside about the years 1 to 9999 are no calendar's: the file is damaged.
constexpr double kMaxDays = 3.0e6;

struct savesValues {
  std::string folder;
  int32_t display = kNoId;
  std::vector<saveData> slots = std::vector<saveData>(1);
  int32_t firstDisplayed = 0;
  int32_t dialogSlot = 0;
  int32_t dialogX = 0, dialogY = 0;
  std::vector<std::pair<int32_t, int32_t>> positions;
  int32_t nextSerial = 1;
};

savesValues gSaves;

// ---------------------------------------------------------------------------------------------
// The game's block of a save file

void WriteApp(ByteWriter& out, const saveData& save, const std::vector<agentRecord>& agents) {
  out.I32(kAppVersion);
  out.Text32(save.description);
  uint64_t bits = 0;
  static_assert(sizeof bits == sizeof save.savedAt);
  std::memcpy(&bits, &save.savedAt, sizeof bits);
  out.U32(static_cast<uint32_t>(bits));
  out.U32(static_cast<uint32_t>(bits >> 32));
  out.I32(save.playTime);
  out.I32(save.percent);
  out.I32(save.difficulty);
  out.Text32(save.note);
  out.I32(kSavePictureWidth);
  out.I32(kSavePictureHeight);
  // Each pixel blue, green, red, 0: the little-endian form of 0x00RRGGBB.
  for (const uint32_t pixel : save.picture) out.U32(pixel & 0xFFFFFFu);
  out.I32(static_cast<int32_t>(agents.size()));
  for (const agentRecord& agent : agents) {
    out.Text32(agent.name);
    out.I32(agent.direction);
    out.I32(agent.x);
    out.I32(agent.y);
    out.I32(static_cast<int32_t>(agent.items.size()));
    for (const agentItemRecord& item : agent.items) {
      out.Text32(item.name);
      out.Text32(item.pictureFile);
    }
  }
}

enum class appRead { kOk, kDamaged, kNewer };

// The game's block of versions 1 to 3 (version 1 has no note). Nothing is allocated beyond what
// the block still holds.
appRead ReadApp(ByteReader& in, saveData& save, std::vector<agentRecord>& agents) {
  const int32_t version = in.I32();
  if (in.Failed() || version < 1) return appRead::kDamaged;
  if (version > kAppVersion) return appRead::kNewer;
  if (!in.Text32(save.description)) return appRead::kDamaged;
  const uint64_t low = in.U32();
  const uint64_t bits = low | (uint64_t{in.U32()} << 32);
  std::memcpy(&save.savedAt, &bits, sizeof bits);
  save.playTime = in.I32();
  save.percent = in.I32();
  save.difficulty = in.I32();
  if (in.Failed() || !std::isfinite(save.savedAt) || std::fabs(save.savedAt) > kMaxDays) return appRead::kDamaged;
  if (version > 1 && !in.Text32(save.note)) return appRead::kDamaged;
  const int32_t width = in.I32();
  const int32_t height = in.I32();
  if (in.Failed() || width != kSavePictureWidth || height != kSavePictureHeight ||
      in.Remaining() < kPicturePixels * 4) {
    return appRead::kDamaged;
  }
  save.picture.resize(kPicturePixels);
  for (uint32_t& pixel : save.picture) pixel = 0xFF000000u | (in.U32() & 0xFFFFFFu);
  const int32_t count = in.I32();
  // An agent takes at least 20 bytes (name length, direction, x, y, item count), an item 8.
  if (in.Failed() || count < 0 || static_cast<size_t>(count) > in.Remaining() / 20) return appRead::kDamaged;
  agents.resize(static_cast<size_t>(count));
  for (agentRecord& agent : agents) {
    if (!in.Text32(agent.name)) return appRead::kDamaged;
    agent.direction = in.I32();
    agent.x = in.I32();
    agent.y = in.I32();
    const int32_t items = in.I32();
    if (in.Failed() || items < 0 || static_cast<size_t>(items) > in.Remaining() / 8) return appRead::kDamaged;
    agent.items.resize(static_cast<size_t>(items));
    for (agentItemRecord& item : agent.items) {
      if (!in.Text32(item.name) || !in.Text32(item.pictureFile)) return appRead::kDamaged;
    }
  }
  return appRead::kOk;
}

// A save file's slot. False with one log line for a damaged file; false without one for a file
// that holds no game block this version reads (another tag, a newer version: skipped by length).
bool ReadSlot(const std::string& path, saveData& save, bool& damaged) {
  damaged = false;
  std::vector<uint8_t> bytes;
  if (!DataFileReadAll(path, bytes)) return false;  // gone since it was listed: skipped
  stateSaveContents contents;
  std::string problem;
  appRead result = appRead::kNewer;
  if (StateSaveRead(bytes.data(), bytes.size(), contents, problem) && contents.hasApp) {
    ByteReader in(contents.app);
    std::vector<agentRecord> agents;
    result = ReadApp(in, save, agents);
    if (result == appRead::kDamaged) problem = "its game block is damaged";
  } else if (problem.empty()) {
    return false;  // no game block
  } else {
    result = appRead::kDamaged;
  }
  if (result == appRead::kNewer) return false;
  if (result == appRead::kDamaged) {
    damaged = true;
    LogError("SavesScan - Skipping the damaged save \"" + path + "\": " + problem + ".");
    return false;
  }
  save.fileName = path;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Slot pictures

imageData PictureImage(const std::vector<uint32_t>& pixels, int32_t serial) {
  imageData image;
  image.fileName = "savePicture" + std::to_string(serial);
  image.width = kSavePictureWidth;
  image.height = kSavePictureHeight;
  image.pixels = pixels.size() == kPicturePixels ? pixels : std::vector<uint32_t>(kPicturePixels, 0xFF000000u);
  return image;
}

// The reload routine of a slot picture: the picture read again from the file of the slot it
// belongs to; what the slot keeps when the file no longer reads; black when the slot is gone.
void ReloadPicture(int32_t serial, imageData* image) {
  for (const saveData& slot : gSaves.slots) {
    if (slot.pictureSerial != serial) continue;
    saveData fromFile;
    bool damaged = false;
    const bool read = !slot.fileName.empty() && ReadSlot(slot.fileName, fromFile, damaged);
    *image = PictureImage(read ? fromFile.picture : slot.picture, serial);
    return;
  }
  *image = PictureImage({}, serial);
}

void MakePicture(saveData& save) {
  save.pictureSerial = gSaves.nextSerial++;
  if (gSaves.display <= 0) return;
  const imageData image = PictureImage(save.picture, save.pictureSerial);
  const int32_t serial = save.pictureSerial;
  save.model = ModelOpenImageData(gSaves.display, &image, [serial](imageData* out) { ReloadPicture(serial, out); }, false);
}

void FreePicture(saveData& save) {
  if (save.model != kNoId) ModelFree(save.model);
  save.model = kNoId;
}

void Draw(const saveData& save, int32_t x, int32_t y) {
  if (save.fileName.empty() || save.model == kNoId) return;
  ModelSetPosition(save.model, static_cast<float>(x), static_cast<float>(y), kDepth);
  ModelRender(save.model);
}

// Slots from 1 on stay newest first; a save as new as one already listed goes in front of it.
void InsertByTime(saveData save) {
  auto at = gSaves.slots.begin() + 1;
  while (at != gSaves.slots.end() && at->savedAt > save.savedAt) ++at;
  gSaves.slots.insert(at, std::move(save));
}

// Slot 0 holds the autosave, listed or not.
void PutAutosave(saveData save) {
  FreePicture(gSaves.slots[0]);
  gSaves.slots[0] = std::move(save);
}

bool IsAutosave(const std::string& fileName) { return UtilUpper(fileName).find("AUTOSAVE.SAV") != std::string::npos; }

// ---------------------------------------------------------------------------------------------
// Dates

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int32_t& year, int32_t& month, int32_t& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int32_t>(yoe + era * 400 + (month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

double Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return SaveDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string TwoDigits(int64_t value) { return UtilPadLeft(std::to_string(value), '0', 2); }

// The record of a save being made now.
saveData NewSave(const std::string& description, int32_t percent, const std::string& note, const imageData* frame) {
  saveData save;
  save.description = description;
  save.savedAt = Now();
  save.playTime = StateGetTime(kGameStateGame);
  save.percent = percent;
  save.difficulty = StateVariableGetInteger(kGameStateGame, "difficulty");
  save.note = note;
  imageData none;
  save.picture = SavePictureFromFrame(frame != nullptr ? *frame : none);
  return save;
}

// Writes the file, then (only once it is safely there) puts the save into the list.
bool WriteAndList(saveData save) {
  const std::vector<agentRecord> agents = AgentsSnapshot();
  if (!StateSave(save.fileName, [&](ByteWriter& out, const std::string&) { WriteApp(out, save, agents); })) {
    return false;
  }
  MakePicture(save);
  if (IsAutosave(save.fileName)) {
    PutAutosave(std::move(save));
    return true;
  }
  const std::string upper = UtilUpper(save.fileName);
  for (size_t i = 1; i < gSaves.slots.size(); ++i) {
    if (UtilUpper(gSaves.slots[i].fileName) == upper) {
      FreePicture(gSaves.slots[i]);
      gSaves.slots.erase(gSaves.slots.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  gSaves.slots.insert(gSaves.slots.begin() + 1, std::move(save));
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The list

void SavesScan(const std::string& folder, int32_t display) {
  SavesFree();
  gSaves.folder = folder;
  gSaves.display = display;
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(error) || name.size() < 4 || UtilUpper(name.substr(name.size() - 4)) != ".SAV") continue;
    names.push_back(name);
  }
  // The order the folder lists them in is the file system's whim; name order makes the scan
  // (and which of two saves of one moment goes first) the same every time.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    saveData save;
    bool damaged = false;
    if (!ReadSlot(folder + name, save, damaged)) continue;
    MakePicture(save);
    if (UtilUpper(name) == "AUTOSAVE.SAV") {
      PutAutosave(std::move(save));
    } else {
      InsertByTime(std::move(save));
    }
  }
}

void SavesFree() {
  for (saveData& slot : gSaves.slots) FreePicture(slot);
  gSaves.slots.assign(1, saveData{});
}

std::string SaveNextFileName(const std::string& folder) {
  for (int32_t n = 1;; ++n) {
    const std::string name = folder + "savegame" + std::to_string(n) + ".sav";
    std::error_code error;
    if (!std::filesystem::exists(name, error)) return name;  // any entry of that name takes the number
  }
}

bool SaveGameWrite(std::string file, const std::string& description, int32_t percent, const std::string& note,
                   const imageData* frame) {
  if (file.empty()) {
    file = SaveNextFileName(gSaves.folder);
  } else if (file.find('/') == std::string::npos) {
    file = gSaves.folder + file;  // a bare name as a script might give it: in the save folder
  }
  saveData save = NewSave(description, percent, note, frame);
  save.fileName = file;
  return WriteAndList(std::move(save));
}

bool SaveGameAuto(int32_t percent, const imageData* frame) {
  if (AppCutsceneRunning()) return false;
  saveData save = NewSave("< Autosave >", percent, "", frame);
  save.fileName = gSaves.folder + "autosave.sav";
  return WriteAndList(std::move(save));
}

bool SaveGameLoad(int32_t slot) {
  const saveData* save = SaveSlot(slot);
  if (save == nullptr || save->fileName.empty()) {
    LogError("SaveGameLoad - Save slot " + std::to_string(slot) + " holds no save.");
    return false;
  }
  saveData loaded;
  std::vector<agentRecord> agents;
  // Only a block this version reads in full restores anything.
  if (!StateLoad(save->fileName, [&](ByteReader& in) { return ReadApp(in, loaded, agents) == appRead::kOk; })) {
    return false;
  }
  StateSetTime(kGameStateGame, loaded.playTime);
  AgentsRestore(agents);
  return true;
}

bool SavesExist() { return gSaves.slots.size() >= 2 || !gSaves.slots[0].fileName.empty(); }

int32_t SavesCount() { return static_cast<int32_t>(gSaves.slots.size()) - 1; }

const saveData* SaveSlot(int32_t slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= gSaves.slots.size()) return nullptr;
  return &gSaves.slots[static_cast<size_t>(slot)];
}

// ---------------------------------------------------------------------------------------------
// The picture

std::vector<uint32_t> SavePictureFromFrame(const imageData& frame) {
  const int64_t width = frame.width, height = frame.height;
  if (width <= 0 || height <= 0 || frame.pixels.size() < static_cast<size_t>(width * height)) {
    return std::vector<uint32_t>(kPicturePixels, 0xFF000000u);
  }
  // The size that covers 192 x 120 with the frame's shape.
  const double rx = static_cast<double>(width) / kSavePictureWidth;
  const double ry = static_cast<double>(height) / kSavePictureHeight;
  int64_t targetWidth = kSavePictureWidth, targetHeight = kSavePictureHeight;
  if (ry >= rx) {
    targetHeight = std::max<int64_t>(kSavePictureHeight, std::lround(static_cast<double>(height) / rx));
  } else {
    targetWidth = std::max<int64_t>(kSavePictureWidth, std::lround(static_cast<double>(width) / ry));
  }
  const int64_t halfX = std::lround(static_cast<double>(width) / static_cast<double>(targetWidth) / 2);
  const int64_t halfY = std::lround(static_cast<double>(height) / static_cast<double>(targetHeight) / 2);
  // The crop: of the excess, half the columns from the left; half the rows from the bottom.
  const int64_t left = (targetWidth - kSavePictureWidth) / 2;
  const int64_t bottom = (targetHeight - kSavePictureHeight) / 2;

  std::vector<uint32_t> out(kPicturePixels);
  // Rows are counted from the bottom of the screen here, as the frame was read from OpenGL.
  for (int64_t row = 0; row < kSavePictureHeight; ++row) {
    const int64_t y = bottom + row;
    const int64_t centreY = y * height / targetHeight;
    const int64_t y0 = std::max<int64_t>(0, centreY - halfY), y1 = std::min(height - 1, centreY + halfY);
    for (int64_t column = 0; column < kSavePictureWidth; ++column) {
      const int64_t x = left + column;
      const int64_t centreX = x * width / targetWidth;
      const int64_t x0 = std::max<int64_t>(0, centreX - halfX), x1 = std::min(width - 1, centreX + halfX);
      uint64_t red = 0, green = 0, blue = 0;
      for (int64_t sy = y0; sy <= y1; ++sy) {
        const uint32_t* source = &frame.pixels[static_cast<size_t>((height - 1 - sy) * width)];
        for (int64_t sx = x0; sx <= x1; ++sx) {
          red += (source[sx] >> 16) & 0xFF;
          green += (source[sx] >> 8) & 0xFF;
          blue += source[sx] & 0xFF;
        }
      }
      const uint64_t count = static_cast<uint64_t>((y1 - y0 + 1) * (x1 - x0 + 1));
      // Turned top to bottom for the file.
      out[static_cast<size_t>((kSavePictureHeight - 1 - row) * kSavePictureWidth + column)] =
          0xFF000000u | static_cast<uint32_t>(red / count) << 16 | static_cast<uint32_t>(green / count) << 8 |
          static_cast<uint32_t>(blue / count);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Texts

double SaveDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second) {
  const int64_t days = DaysFromCivil(year, month, day) - kEpochDays;
  return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

std::string SaveDetailsText(const saveData& save) {
  const double at = std::isfinite(save.savedAt) ? std::clamp(save.savedAt, -kMaxDays, kMaxDays) : 0.0;
  int64_t days = static_cast<int64_t>(std::floor(at));
  int64_t seconds = std::llround((at - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  int32_t year = 0, month = 0, day = 0;
  CivilFromDays(days + kEpochDays, year, month, day);
  const int64_t hour = seconds / 3600;
  // The 12-hour clock: 12 stands for the hour 0 and for noon; noon on is PM.
  const int64_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
  std::string text = std::to_string(year) + "-" + UtilMonthName(month) + "-" + std::to_string(day) + "  " +
                     std::to_string(hour12) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60) +
                     (hour < 12 ? "AM" : "PM");
  const int64_t play = std::max<int32_t>(save.playTime, 0) / 1000;
  text += "\rPlay Time: " + std::to_string(play / 3600) + "H " + TwoDigits(play / 60 % 60) + "M " +
          TwoDigits(play % 60) + "S";
  text += "\r" + std::to_string(save.percent) + "% Complete";
  static const char* const kDifficulties[] = {"Gumshoe", "Detective", "Quillon"};
  text += "\r";
  if (save.difficulty >= 1 && save.difficulty <= 3) text += kDifficulties[save.difficulty - 1];
  return text;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void SavesSetFirstDisplayed(int32_t first) { gSaves.firstDisplayed = first; }

void SavesSetDialogImage(int32_t slot) { gSaves.dialogSlot = slot; }

void SavesSetDialogPosition(int32_t x, int32_t y) {
  gSaves.dialogX = x;
  gSaves.dialogY = y;
}

void SavesSetPosition(int32_t n, int32_t x, int32_t y) {
  if (n < 0 || n >= kMaxPositions) {
    LogError("SavesSetPosition - Position " + std::to_string(n) + " is outside 0 to " + std::to_string(kMaxPositions - 1) +
             ".");
    return;
  }
  if (gSaves.positions.size() < static_cast<size_t>(n) + 1) gSaves.positions.resize(static_cast<size_t>(n) + 1);
  gSaves.positions[static_cast<size_t>(n)] = {x, y};
}

void SavesRender(int32_t n) {
  if (n < 0 || static_cast<size_t>(n) >= gSaves.positions.size()) return;
  const int64_t slot = n == 0 ? 0 : int64_t{n} + gSaves.firstDisplayed;
  if (slot < 0 || slot > INT32_MAX) return;
  if (const saveData* save = SaveSlot(static_cast<int32_t>(slot))) {
    Draw(*save, gSaves.positions[static_cast<size_t>(n)].first, gSaves.positions[static_cast<size_t>(n)].second);
  }
}

void SavesRenderDialog() {
  if (gSaves.dialogSlot < 1) return;
  if (const saveData* save = SaveSlot(gSaves.dialogSlot)) Draw(*save, gSaves.dialogX, gSaves.dialogY);
}

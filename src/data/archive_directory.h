// Internal to the data unit (and shared with the kva tool): reading the directory of a .kva
// archive.
//
// Layout, all integers little-endian:
//
//   offset 0   5 bytes  "KVARC"
//          5   uint16   format version; accepted when its high byte is 0 or 1
//          7   int32    number of directory entries
//         11   entries, one after another:
//                0      uint8   H, the bytes that follow up to the name (10 without extras)
//                1      int32   data offset from the start of the archive
//                5      int32   data size
//                9      uint16  name length N
//               11      H - 10 extra bytes, skipped
//               1 + H   N bytes of name, "\" between folders
//
// The member data lies where the directory says; the directory need not be in data order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kArchiveMagic[5] = {'K', 'V', 'A', 'R', 'C'};
inline constexpr size_t kArchiveHeaderSize = 11;
// Header length byte of an entry without extra bytes, and the smallest entry (H = 10, N = 0).
inline constexpr uint8_t kArchiveEntryHeaderLength = 10;
inline constexpr size_t kArchiveMinimumEntrySize = 11;

struct archiveDirectoryEntry {
  std::string name;  // as stored, in its own letter case
  int32_t dataOffset = 0;
  int32_t dataSize = 0;
};

enum class archiveDirectoryState {
  complete,      // every declared entry was read
  notArchive,    // no "KVARC" header (or shorter than the header)
  badVersion,    // version high byte above 1
  truncated,     // the file ended inside the directory (also a count larger than the file holds)
  damagedEntry,  // an entry with H below 10, a negative count, or data outside the file
};

struct archiveDirectory {
  archiveDirectoryState state = archiveDirectoryState::notArchive;
  uint16_t version = 0;
  int32_t declaredCount = 0;
  // Entries read before the directory ended; for a damaged or truncated directory, the ones
  // before the fault. Every entry's data lies inside the archive file.
  std::vector<archiveDirectoryEntry> entries;
};

// Reads the directory from bytes that hold the whole archive file.
archiveDirectory ArchiveDirectoryParse(const uint8_t* bytes, size_t size);
// Reads the directory of an open archive file (file descriptor), without reading member data.
archiveDirectory ArchiveDirectoryReadFile(int descriptor);
// Short English text for a state ("complete", "not an archive", ...).
const char* ArchiveDirectoryStateText(archiveDirectoryState state);

// Game data access: numbered patches, preloaded memory files, .kva archives and loose files behind
// one buffered handle; plus raw files used by full path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"

// Unit start and end steps: the start mounts the archives and patches next to the program.
void DataFileStart();
void DataFileEnd();

// Names are relative to the program folder with "\" between folders ("Bin\Scripts\main.vmc");
// absolute paths also reach loose files. Returns a handle id, 0 when the file is found nowhere.
int32_t DataFileOpen(const std::string& name);
void DataFileClose(int32_t handle);
// Bytes delivered (0 for an unknown handle or a count below 1).
int32_t DataFileRead(int32_t handle, void* buffer, int32_t count);
bool DataFileReadExact(int32_t handle, void* buffer, int32_t count);
// The whole file, found as DataFileOpen finds it, for readers that parse bytes in memory. A file
// that ends early gives what it has, so the reader sees the shortfall as truncation. False
// (bytes empty) when the file is found nowhere.
bool DataFileReadAll(const std::string& name, std::vector<uint8_t>& bytes);
// Up to the next CR (consumed, not returned); LF bytes are dropped.
std::string DataFileReadLine(int32_t handle);
bool DataFileSeek(int32_t handle, int32_t position);
int32_t DataFilePosition(int32_t handle);
int32_t DataFileSize(int32_t handle);
bool DataFileEof(int32_t handle);
bool DataFileMemoryLoad(const std::string& name);
void DataFileMemoryFree(const std::string& name);
// Whether a file of this name is in the current folder or on the library search list.
bool DataFileOnSearchPath(const std::string& fileName);

// Owner of one open data file: closes it when it goes. Holds kNoId when the open failed.
class DataFileGuard {
 public:
  explicit DataFileGuard(int32_t handle = kNoId) : handle_(handle) {}
  explicit DataFileGuard(const std::string& name) : handle_(DataFileOpen(name)) {}
  ~DataFileGuard() { Reset(); }
  DataFileGuard(DataFileGuard&& other) noexcept : handle_(other.Release()) {}
  DataFileGuard& operator=(DataFileGuard&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  DataFileGuard(const DataFileGuard&) = delete;
  DataFileGuard& operator=(const DataFileGuard&) = delete;

  int32_t Get() const { return handle_; }
  explicit operator bool() const { return handle_ > 0; }
  // Gives up ownership without closing.
  int32_t Release() {
    int32_t handle = handle_;
    handle_ = kNoId;
    return handle;
  }
  void Reset() {
    if (handle_ > 0) DataFileClose(handle_);
    handle_ = kNoId;
  }

 private:
  int32_t handle_;
};

// Raw files: full disk paths used unchanged, no lookup.
int32_t RawFileOpen(const std::string& path);
int32_t RawFileCreate(const std::string& path);
bool RawFileRead(int32_t handle, void* buffer, int32_t count);
bool RawFileWrite(int32_t handle, const void* buffer, int32_t count);
bool RawFileSeek(int32_t handle, int32_t position);
int32_t RawFilePosition(int32_t handle);
int32_t RawFileSize(int32_t handle);
bool RawFileEof(int32_t handle);
void RawFileClose(int32_t handle);

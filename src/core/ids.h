// Id registries: records that a unit owns, handed out as signed 32-bit ids from 1, never reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// The id that names no record (what an operation returns when it made nothing).
inline constexpr int32_t kNoId = 0;
// Ids whose "none" is -1 in their callers' conventions (script threads, some handles) use this.
inline constexpr int32_t kNoIdMinusOne = -1;

// Records by id in id order. Ids count up from 1 and are never given twice within a run, even
// after Remove or Clear; only Reset (a unit's start step) restarts them. Pointers from Find stay
// valid until that record is removed.
template <typename Record>
class IdRegistry {
 public:
  // Stores the record under the next id and returns the id.
  int32_t Add(Record record) {
    int32_t id = next_++;
    records_.emplace(id, std::move(record));
    return id;
  }
  // The id the next Add will return.
  int32_t NextId() const { return next_; }

  Record* Find(int32_t id) {
    auto it = records_.find(id);
    return it == records_.end() ? nullptr : &it->second;
  }
  const Record* Find(int32_t id) const {
    auto it = records_.find(id);
    return it == records_.end() ? nullptr : &it->second;
  }
  bool Contains(int32_t id) const { return records_.count(id) != 0; }

  // False when there was no such record.
  bool Remove(int32_t id) { return records_.erase(id) != 0; }
  // Drops every record; ids go on counting.
  void Clear() { records_.clear(); }
  // Drops every record and counts from 1 again.
  void Reset() {
    records_.clear();
    next_ = 1;
  }

  size_t Size() const { return records_.size(); }
  bool Empty() const { return records_.empty(); }
  // The ids in order: a copy, so the caller may remove records while walking it.
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> ids;
    ids.reserve(records_.size());
    for (const auto& entry : records_) ids.push_back(entry.first);
    return ids;
  }
  // Iteration in id order over (id, record) pairs.
  auto begin() { return records_.begin(); }
  auto end() { return records_.end(); }
  auto begin() const { return records_.begin(); }
  auto end() const { return records_.end(); }

 private:
  std::map<int32_t, Record> records_;
  int32_t next_ = 1;
};

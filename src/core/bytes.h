// Little-endian bytes in memory: a bounded reader for file formats and a growing writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Values stored little-endian at p (which must hold 2 or 4 bytes).
inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t value) {
  StoreLe16(p, static_cast<uint16_t>(value));
  StoreLe16(p + 2, static_cast<uint16_t>(value >> 16));
}

// Bounded little-endian reader over bytes in memory: past the end it yields zeros and sets failed,
// so a reader checks Failed() once after a run of fields instead of after every field.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

  uint8_t U8() {
    if (position_ >= size_) {
      failed_ = true;
      return 0;
    }
    return data_[position_++];
  }
  uint16_t U16() {
    uint16_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  uint32_t U32() {
    uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32();
  uint16_t U16BE() {
    uint16_t high = U8();
    return static_cast<uint16_t>((high << 8) | U8());
  }
  // Copies count bytes (zeros past the end, failed set); true when all were there.
  bool Bytes(void* out, size_t count);
  // count bytes as a text (shorter, and failed set, past the end).
  std::string Text(size_t count);
  // A text stored as an int32 byte count, then the bytes. False, with failed set and the text
  // untouched, for a negative count or one reaching past the end (nothing that large is allocated).
  bool Text32(std::string& text);
  void Skip(size_t count) {
    if (count > size_ - position_) {
      failed_ = true;
      position_ = size_;
    } else {
      position_ += count;
    }
  }
  void Seek(size_t position) {
    if (position > size_) {
      failed_ = true;
      position_ = size_;
    } else {
      position_ = position;
    }
  }
  size_t Position() const { return position_; }
  size_t Remaining() const { return size_ - position_; }
  size_t Size() const { return size_; }
  const uint8_t* Here() const { return data_ + position_; }
  bool Failed() const { return failed_; }
  bool AtEnd() const { return position_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool failed_ = false;
};

// Appends little-endian values to a byte vector; Patch fills in a field written earlier (sizes and
// offsets known only once the body is out).
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(&out) {}
  // Not copied: a writer of its own bytes points into itself.
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void U8(uint8_t value) { out_->push_back(value); }
  void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
  }
  void I16(int16_t value) { U16(static_cast<uint16_t>(value)); }
  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void F32(float value);
  void U16BE(uint16_t value) {
    U8(static_cast<uint8_t>(value >> 8));
    U8(static_cast<uint8_t>(value));
  }
  void Bytes(const void* data, size_t count);
  void Text(const std::string& text) { Bytes(text.data(), text.size()); }
  // The text's int32 byte count, then the text (read back by ByteReader::Text32).
  void Text32(const std::string& text) {
    I32(static_cast<int32_t>(text.size()));
    Text(text);
  }
  // count copies of one byte.
  void Fill(uint8_t value, size_t count) { out_->insert(out_->end(), count, value); }
  // Overwrites 2 or 4 bytes at an earlier position (ignored when they are not all there).
  void PatchU16(size_t position, uint16_t value);
  void PatchU32(size_t position, uint32_t value);

  size_t Size() const { return out_->size(); }
  std::vector<uint8_t>& Data() { return *out_; }
  const std::vector<uint8_t>& Data() const { return *out_; }
  // The bytes as a text (for writers that hand whole files to text-based calls).
  std::string AsText() const { return std::string(out_->begin(), out_->end()); }

 private:
  std::vector<uint8_t> own_;
  std::vector<uint8_t>* out_ = &own_;
};

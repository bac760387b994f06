#include "core/bytes.h"

#include <algorithm>
#include <cstring>

float ByteReader::F32() {
  uint32_t bits = U32();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool ByteReader::Bytes(void* out, size_t count) {
  size_t available = std::min(count, size_ - position_);
  // An empty reader may have no data pointer at all; memcpy must not see it even for 0 bytes.
  if (available > 0) std::memcpy(out, data_ + position_, available);
  if (count > available) std::memset(static_cast<uint8_t*>(out) + available, 0, count - available);
  position_ += available;
  if (available < count) failed_ = true;
  return available == count;
}

std::string ByteReader::Text(size_t count) {
  size_t available = std::min(count, size_ - position_);
  std::string text = available > 0 ? std::string(reinterpret_cast<const char*>(data_ + position_), available) : "";
  position_ += available;
  if (available < count) failed_ = true;
  return text;
}

bool ByteReader::Text32(std::string& text) {
  const int32_t length = I32();
  if (failed_ || length < 0 || static_cast<size_t>(length) > Remaining()) {
    failed_ = true;
    return false;
  }
  text = Text(static_cast<size_t>(length));
  return true;
}

void ByteWriter::F32(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  U32(bits);
}

void ByteWriter::Bytes(const void* data, size_t count) {
  if (count == 0) return;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  out_->insert(out_->end(), bytes, bytes + count);
}

void ByteWriter::PatchU16(size_t position, uint16_t value) {
  if (position > out_->size() || out_->size() - position < 2) return;
  StoreLe16(out_->data() + position, value);
}

void ByteWriter::PatchU32(size_t position, uint32_t value) {
  if (position > out_->size() || out_->size() - position < 4) return;
  StoreLe32(out_->data() + position, value);
}

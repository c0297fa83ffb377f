// A bounds-checked, read-only view of bytes taken from a medium.
//
// Every decoder of on-disk structures reads through this type. Getters never
// read outside the view: a read that would pass its end yields 0 (and
// `Has` tells beforehand whether a field is there), so a crafted image can
// produce wrong values but never an out-of-range access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace mendwell {

class ByteView {
 public:
  constexpr ByteView() = default;
  constexpr ByteView(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  ByteView(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // True when [offset, offset + length) lies inside the view.
  bool Has(size_t offset, size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // The part of the view from offset, at most length bytes; empty when offset
  // is past the end.
  ByteView Sub(size_t offset, size_t length = SIZE_MAX) const {
    if (offset >= size_) return {};
    size_t avail = size_ - offset;
    return ByteView(data_ + offset, length < avail ? length : avail);
  }

  uint8_t u8(size_t offset) const { return offset < size_ ? data_[offset] : 0; }

  uint16_t le16(size_t offset) const {
    if (!Has(offset, 2)) return 0;
    return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  uint32_t le32(size_t offset) const {
    if (!Has(offset, 4)) return 0;
    return Le32Unchecked(offset);
  }
  uint64_t le64(size_t offset) const {
    if (!Has(offset, 8)) return 0;
    return static_cast<uint64_t>(Le32Unchecked(offset)) |
           (static_cast<uint64_t>(Le32Unchecked(offset + 4)) << 32);
  }
  uint16_t be16(size_t offset) const {
    if (!Has(offset, 2)) return 0;
    return static_cast<uint16_t>((data_[offset] << 8) | data_[offset + 1]);
  }
  uint32_t be32(size_t offset) const {
    if (!Has(offset, 4)) return 0;
    return (static_cast<uint32_t>(data_[offset]) << 24) | (static_cast<uint32_t>(data_[offset + 1]) << 16) |
           (static_cast<uint32_t>(data_[offset + 2]) << 8) | data_[offset + 3];
  }
  uint64_t be64(size_t offset) const {
    if (!Has(offset, 8)) return 0;
    return (static_cast<uint64_t>(be32(offset)) << 32) | be32(offset + 4);
  }

  // True when the bytes at offset equal `text` (all of it must be inside).
  bool Equals(size_t offset, std::string_view text) const {
    return Has(offset, text.size()) && std::memcmp(data_ + offset, text.data(), text.size()) == 0;
  }
  bool Equals(size_t offset, const void* bytes, size_t length) const {
    return Has(offset, length) && std::memcmp(data_ + offset, bytes, length) == 0;
  }

  // Unchecked twin for hot paths whose bounds are proven by the caller.
  uint32_t Le32Unchecked(size_t offset) const {
    return static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
           (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Little-endian writers for the fixed on-disk formats the program itself writes.
inline void PutLe16(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLe64(uint8_t* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace mendwell

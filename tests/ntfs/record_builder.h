// Builds FILE records byte by byte for the tests, the way NTFS lays them
// out: header, attributes, end marker, update sequence protection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_view.h"

namespace mendwell::test {

struct ListEntry {
  uint32_t type = 0x80;
  uint64_t record = 0;
  uint64_t vcn = 0;
  uint8_t nameLength = 0;
  uint16_t id = 0;
};

class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t number, uint16_t flags = 0, uint32_t size = 1024) : number_(number), flags_(flags), size_(size) {}

  RecordBuilder& FileName(uint32_t parent, const std::u16string& name, uint8_t nameSpace = 1, uint64_t realSize = 0,
                          uint64_t created = 0) {
    std::vector<uint8_t> v(0x42 + 2 * name.size(), 0);
    PutLe32(v.data(), parent);
    PutLe64(v.data() + 0x08, created);
    PutLe64(v.data() + 0x10, created + 1);
    PutLe64(v.data() + 0x20, created + 2);
    PutLe64(v.data() + 0x30, realSize);
    v[0x40] = static_cast<uint8_t>(name.size());
    v[0x41] = nameSpace;
    for (size_t i = 0; i < name.size(); ++i) PutLe16(v.data() + 0x42 + 2 * i, name[i]);
    return Resident(0x30, v);
  }

  RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value, uint8_t nameLength = 0) {
    std::vector<uint8_t> a(Align(0x18 + value.size()), 0);
    Header(a, type, nameLength, false);
    PutLe32(a.data() + 0x10, static_cast<uint32_t>(value.size()));
    PutLe16(a.data() + 0x14, 0x18);
    std::copy(value.begin(), value.end(), a.begin() + 0x18);
    attributes_.push_back(a);
    return *this;
  }

  RecordBuilder& NonResident(uint32_t type, const std::vector<uint8_t>& pairs, uint64_t dataSize, uint64_t vcn = 0,
                             uint8_t nameLength = 0) {
    std::vector<uint8_t> a(Align(0x40 + pairs.size() + 1), 0);
    Header(a, type, nameLength, true);
    PutLe64(a.data() + 0x10, vcn);
    PutLe16(a.data() + 0x20, 0x40);
    PutLe64(a.data() + 0x28, (dataSize + 511) / 512 * 512);
    PutLe64(a.data() + 0x30, dataSize);
    PutLe64(a.data() + 0x38, dataSize);
    std::copy(pairs.begin(), pairs.end(), a.begin() + 0x40);
    attributes_.push_back(a);
    return *this;
  }

  RecordBuilder& List(const std::vector<ListEntry>& entries) {
    std::vector<uint8_t> v;
    for (const ListEntry& e : entries) {
      std::vector<uint8_t> b(0x20, 0);
      PutLe32(b.data(), e.type);
      PutLe16(b.data() + 4, 0x20);
      b[6] = e.nameLength;
      b[7] = 0x1A;
      PutLe64(b.data() + 8, e.vcn);
      PutLe32(b.data() + 0x10, static_cast<uint32_t>(e.record));
      PutLe16(b.data() + 0x14, static_cast<uint16_t>(e.record >> 32));
      PutLe16(b.data() + 0x18, e.id);
      v.insert(v.end(), b.begin(), b.end());
    }
    return Resident(0x20, v);
  }

  RecordBuilder& Raw(const std::vector<uint8_t>& attribute) {
    attributes_.push_back(attribute);
    return *this;
  }

  RecordBuilder& BaseRecord(uint64_t base) {
    base_ = base;
    return *this;
  }

  // The record with its update sequence protection: the last two bytes of
  // each 512-byte sector are saved at 0x32 and replaced by the sequence
  // number, as on disk.
  std::vector<uint8_t> Build(uint32_t stride = 512) const {
    std::vector<uint8_t> r(size_, 0);
    std::copy_n("FILE", 4, r.begin());
    uint32_t sectors = size_ / stride;
    PutLe16(r.data() + 0x04, 0x30);
    PutLe16(r.data() + 0x06, static_cast<uint16_t>(sectors + 1));
    PutLe16(r.data() + 0x14, 0x38);
    PutLe16(r.data() + 0x16, flags_);
    PutLe64(r.data() + 0x20, base_);
    PutLe32(r.data() + 0x1C, size_);
    PutLe32(r.data() + 0x2C, number_);
    size_t at = 0x38;
    for (const auto& a : attributes_) {
      std::copy(a.begin(), a.end(), r.begin() + at);
      at += a.size();
    }
    PutLe32(r.data() + at, 0xFFFFFFFF);
    at += 8;
    PutLe32(r.data() + 0x18, static_cast<uint32_t>(at));
    const uint16_t usn = 0x0007;
    PutLe16(r.data() + 0x30, usn);
    for (uint32_t i = 0; i < sectors; ++i) {
      size_t end = stride * (i + 1) - 2;
      r[0x32 + 2 * i] = r[end];
      r[0x33 + 2 * i] = r[end + 1];
      PutLe16(r.data() + end, usn);
    }
    return r;
  }

 private:
  static size_t Align(size_t n) { return (n + 7) & ~size_t{7}; }
  void Header(std::vector<uint8_t>& a, uint32_t type, uint8_t nameLength, bool nonResident) {
    PutLe32(a.data(), type);
    PutLe32(a.data() + 4, static_cast<uint32_t>(a.size()));
    a[8] = nonResident ? 1 : 0;
    a[9] = nameLength;
    PutLe16(a.data() + 0x0E, nextId_++);
  }

  uint32_t number_;
  uint16_t flags_;
  uint32_t size_;
  uint64_t base_ = 0;
  uint16_t nextId_ = 0;
  std::vector<std::vector<uint8_t>> attributes_;
};

}  // namespace mendwell::test

#include "fat/fat_window.h"

#include <algorithm>

#include "platform/byte_view.h"

namespace mendwell {

Status FatWindow::Open(SectorDevice* device, const FatGeometry& geometry) {
  Close();
  if (device == nullptr || geometry.bytesPerSector == 0 || geometry.sectorsPerFat == 0) return kErrInvalidParameter;
  device_ = device;
  type_ = geometry.type;
  bytesPerSector_ = geometry.bytesPerSector;
  fatStart_ = geometry.FatStart();
  fatSectors_ = geometry.sectorsPerFat;
  uint64_t entryBits = type_ == FatType::kFat12 ? 12 : type_ == FatType::kFat16 ? 16 : 32;
  uint64_t fatEntries = static_cast<uint64_t>(fatSectors_) * bytesPerSector_ * 8 / entryBits;
  clusterLimit_ = static_cast<uint32_t>(
      std::min<uint64_t>(static_cast<uint64_t>(geometry.clusterCount) + 2, std::min<uint64_t>(fatEntries, UINT32_MAX)));
  uint32_t windowCap = std::min(kFatWindowBytes / bytesPerSector_, fatSectors_);
  buffer_.assign(static_cast<size_t>(windowCap) * bytesPerSector_, 0);
  return Load(0);
}

void FatWindow::Close() {
  device_ = nullptr;
  buffer_.clear();
  buffer_.shrink_to_fit();
  windowStart_ = windowSectors_ = 0;
  clusterLimit_ = 0;
}

Status FatWindow::Load(uint32_t firstFatSector) {
  uint32_t cap = static_cast<uint32_t>(buffer_.size() / bytesPerSector_);
  uint32_t count = std::min(cap, fatSectors_ - firstFatSector);
  uint32_t got = 0;
  Status st = ReadSectors(*device_, buffer_.data(), fatStart_ + firstFatSector, count, bytesPerSector_, &got);
  if (st == kOk && got == 0) st = kErrReadFault;
  if (st != kOk) {
    // The buffer may be half overwritten: keep nothing of it.
    windowSectors_ = 0;
    return st;
  }
  windowStart_ = firstFatSector;
  windowSectors_ = got;
  return kOk;
}

Status FatWindow::ReadFatEntry(uint32_t cluster, uint32_t* value) {
  *value = 0;
  if (!IsOpen()) {
    *value = cluster + 1;
    return kOk;
  }
  uint64_t offset = type_ == FatType::kFat12   ? static_cast<uint64_t>(cluster) * 3 / 2
                    : type_ == FatType::kFat16 ? static_cast<uint64_t>(cluster) * 2
                                               : static_cast<uint64_t>(cluster) * 4;
  uint32_t width = type_ == FatType::kFat32 ? 4 : 2;  // a FAT12 entry spans two bytes
  uint64_t fatBytes = static_cast<uint64_t>(fatSectors_) * bytesPerSector_;
  if (offset + width > fatBytes) return kErrInvalidParameter;

  uint64_t windowBegin = static_cast<uint64_t>(windowStart_) * bytesPerSector_;
  uint64_t windowEnd = windowBegin + static_cast<uint64_t>(windowSectors_) * bytesPerSector_;
  if (offset < windowBegin || offset + width > windowEnd) {
    Status st = Load(static_cast<uint32_t>(offset / bytesPerSector_));
    if (st != kOk) return st;
    windowBegin = static_cast<uint64_t>(windowStart_) * bytesPerSector_;
    windowEnd = windowBegin + static_cast<uint64_t>(windowSectors_) * bytesPerSector_;
    if (offset + width > windowEnd) return kErrReadFault;
  }
  ByteView window(buffer_.data(), static_cast<size_t>(windowEnd - windowBegin));
  size_t at = static_cast<size_t>(offset - windowBegin);
  switch (type_) {
    case FatType::kFat12: {
      uint16_t pair = window.le16(at);
      *value = (cluster & 1) ? pair >> 4 : pair & 0x0FFF;
      break;
    }
    case FatType::kFat16:
      *value = window.le16(at);
      break;
    case FatType::kFat32:
      *value = window.le32(at);
      break;
  }
  return kOk;
}

bool FatWindow::IsEndOfChain(uint32_t value) const {
  switch (type_) {
    case FatType::kFat12:
      return value >= 0x0FF8;
    case FatType::kFat16:
      return value >= 0xFFF8;
    case FatType::kFat32:
      return (value & 0x0FFFFFFF) >= 0x0FFFFFF8;
  }
  return true;
}

uint32_t FatWindow::NextCluster(uint32_t cluster) {
  if (IsOpen() && (cluster < 2 || cluster >= clusterLimit_)) return 0;
  uint32_t v = 0;
  if (ReadFatEntry(cluster, &v) != kOk) v = 0;
  if (type_ == FatType::kFat32) v &= 0x0FFFFFFF;
  uint32_t next;
  if (v == 0) {
    uint32_t after = 0;
    if (ReadFatEntry(cluster + 1, &after) != kOk) after = 0;
    if (after != 0) return 0;
    next = cluster + 1;
  } else if (IsEndOfChain(v)) {
    return 0;
  } else {
    next = v;
  }
  if (IsOpen() && (next < 2 || next >= clusterLimit_)) return 0;
  return next;
}

}  // namespace mendwell

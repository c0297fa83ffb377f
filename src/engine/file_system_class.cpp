#include "engine/file_system_class.h"

namespace mendwell {

namespace {

bool IsClusterSizeValue(uint8_t v) {
  return v == 1 || v == 2 || v == 4 || v == 8 || v == 16 || v == 32 || v == 64 || v == 128;
}

bool HasBootSignature(ByteView s) { return s.u8(510) == 0x55 && s.u8(511) == 0xAA; }

bool Fat16LayoutCheck(ByteView s) {
  return s.u8(16) != 0 && (s.le16(19) != 0 || s.le32(32) != 0) && IsClusterSizeValue(s.u8(13)) &&
         s.le16(22) >= 1 && HasBootSignature(s);
}

bool Fat32LayoutCheck(ByteView s) {
  return s.Equals(82, "FAT32   ") && s.u8(16) != 0 && s.le32(32) != 0 && IsClusterSizeValue(s.u8(13)) &&
         s.le32(36) != 0 && HasBootSignature(s);
}

}  // namespace

bool IsNtfsBootSector(ByteView s) {
  if (!s.Has(0, 512) || !s.Equals(3, "NTFS    ")) return false;
  uint16_t bytesPerSector = s.le16(11);
  if (bytesPerSector == 0 || bytesPerSector % 512 != 0) return false;
  if (s.le16(14) != 0 || !IsClusterSizeValue(s.u8(13)) || s.le64(40) == 0) return false;
  static const int kZeroBytes[] = {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35};
  for (int offset : kZeroBytes)
    if (s.u8(static_cast<size_t>(offset)) != 0) return false;
  return HasBootSignature(s);
}

bool IsEncryptedVolumeBootSector(ByteView s) {
  if (s.Equals(3, "-FVE-FS-")) return true;
  if (!s.Has(480, 30)) return false;
  for (size_t i = 0; i < 8; ++i)
    if (s.u8(480 + i) != 'x') return false;
  for (size_t i = 0; i < 19; ++i)
    if (s.u8(488 + i) != 0xFF) return false;
  return s.u8(507) == 0x00 && s.u8(508) == 0x1F && s.u8(509) == 0x2C;
}

bool IsFatBootSector(ByteView s) {
  if (!s.Has(0, 512) || IsEncryptedVolumeBootSector(s)) return false;
  uint32_t fatSize = s.le16(22) != 0 ? s.le16(22) : s.le32(36);
  uint32_t totalSectors = s.le32(32) != 0 ? s.le32(32) : s.le16(19);
  uint16_t bytesPerSector = s.le16(11);
  uint8_t sectorsPerCluster = s.u8(13);
  if (bytesPerSector == 0 || bytesPerSector % 512 != 0 || sectorsPerCluster == 0) return false;
  uint32_t rootSectors = (static_cast<uint32_t>(s.le16(17)) * 32) / bytesPerSector;
  // Unsigned 32-bit arithmetic: a boot sector whose areas exceed the volume
  // wraps to a huge count and is refused below.
  uint32_t clusters = (totalSectors - rootSectors - s.u8(16) * fatSize - s.le16(14)) / sectorsPerCluster;
  if (clusters >= 0x0FFFFFF0) return false;
  if (clusters < 65525) return Fat16LayoutCheck(s) || Fat32LayoutCheck(s);
  return Fat32LayoutCheck(s) || Fat16LayoutCheck(s);
}

bool IsExtSuperblock(ByteView sb) {
  if (!sb.Has(0, 1024) || sb.le16(56) != 0xEF53) return false;
  uint32_t inodes = sb.le32(0), blocks = sb.le32(4), blocksPerGroup = sb.le32(32), inodesPerGroup = sb.le32(40);
  uint32_t firstInode = sb.le32(84), firstDataBlock = sb.le32(20), logBlockSize = sb.le32(24);
  if (inodes == 0 || blocks == 0 || blocksPerGroup == 0 || inodesPerGroup == 0) return false;
  if (firstInode <= 2) return false;
  uint32_t groupsFromBlocks = (blocks - firstDataBlock - 1) / blocksPerGroup + 1;
  uint32_t groupsFromInodes = (inodes - 1) / inodesPerGroup + 1;
  if (groupsFromBlocks != groupsFromInodes) return false;
  // 1024 << log equals 1024 only for log 0 (no shift is computed, so a
  // crafted log of 32 or more cannot cause an undefined shift).
  bool blockIs1k = logBlockSize == 0;
  if (firstDataBlock != (blockIs1k ? 1u : 0u)) return false;
  return inodes > firstInode;
}

FileSystemClass ClassifyFileSystem(ByteView first16k) {
  ByteView boot = first16k.Sub(0, 512);
  if (IsNtfsBootSector(boot)) return FileSystemClass::kNtfs;
  if (IsFatBootSector(boot)) return FileSystemClass::kFat;
  if (IsExtSuperblock(first16k.Sub(1024, 1024))) return FileSystemClass::kExt;
  return FileSystemClass::kOther;
}

}  // namespace mendwell

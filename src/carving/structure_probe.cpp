#include "carving/structure_probe.h"

#include "fat/fat_directory.h"

namespace mendwell {

bool LooksLikeNtfsFileRecord(ByteView sector) { return sector.Equals(0, "FILE"); }

bool IsFileSystemStructure(ByteView sector) {
  if (sector.size() < 32) return false;
  if (sector.Equals(0, "FILE") || sector.Equals(0, "INDX")) return true;
  if (sector.Equals(0, "RSTR")) {
    static constexpr uint8_t kNtfs16[] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
    for (size_t i = 0; i + sizeof kNtfs16 <= sector.size(); ++i)
      if (sector.Equals(i, kNtfs16, sizeof kNtfs16)) return true;
  }
  static constexpr uint8_t kSta16[] = {'$', 0, 'S', 0, 'T', 0, 'A', 0};
  if (sector.Equals(0, kSta16, sizeof kSta16)) return true;
  if (sector.u8(0) == 0xEB && sector.u8(2) == 0x90) {
    for (std::string_view oem : {"MSDOS5.0", "MSWIN4.0", "MSWIN4.1", "NTFS    ", "EXFAT   "})
      if (sector.Equals(3, oem)) return true;
  }
  return IsPlausibleDirectoryBlock(sector);
}

}  // namespace mendwell

#include "carving/structure_probe.h"

#include "platform/time.h"

namespace mendwell {

namespace {

constexpr size_t kEntrySize = 32;
constexpr uint8_t kAttrReadOnly = 0x01;
constexpr uint8_t kAttrVolume = 0x08;
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint8_t kAttrFolder = 0x10;
constexpr uint8_t kAttrArchive = 0x20;
constexpr uint8_t kDeleted = 0xE5;

// A FAT date and time as a FILETIME; false when they are no calendar value.
bool FatStamp(uint16_t date, uint16_t time, int extraSeconds, int milliseconds, uint64_t* fileTime) {
  CalendarTime t;
  t.year = 1980 + (date >> 9);
  t.month = (date >> 5) & 15;
  t.day = date & 31;
  t.hour = time >> 11;
  t.minute = (time >> 5) & 63;
  t.second = (time & 31) * 2 + extraSeconds;
  t.millisecond = milliseconds;
  return CalendarToFileTime(t, fileTime);
}

bool CreationStamp(ByteView e, uint64_t* fileTime) {
  int tenths = e.u8(13), extra = 0;
  if (tenths > 100) {
    extra = tenths / 100;
    tenths %= 100;
  }
  return FatStamp(e.le16(16), e.le16(14), extra, (tenths / 10) * 10, fileTime);
}

// Live files carry stamps of this era; anything else is not an entry.
bool StampsInEra(ByteView e) {
  static const uint64_t kFrom = [] {
    uint64_t v = 0;
    CalendarToFileTime(CalendarTime{1990, 1, 1, 0, 0, 0, 0}, &v);
    return v;
  }();
  static const uint64_t kTo = [] {
    uint64_t v = 0;
    CalendarToFileTime(CalendarTime{2050, 1, 1, 0, 0, 0, 0}, &v);
    return v;
  }();
  uint64_t stamps[3];
  if (!CreationStamp(e, &stamps[0]) || !FatStamp(e.le16(18), 0, 0, 0, &stamps[1]) ||
      !FatStamp(e.le16(24), e.le16(22), 0, 0, &stamps[2]))
    return false;
  for (uint64_t s : stamps)
    if (s < kFrom || s > kTo) return false;
  return true;
}

bool ShortNameClean(ByteView e) {
  for (size_t i = 0; i < 11; ++i) {
    uint8_t c = e.u8(i);
    if (c <= 0x1F || (c >= 'a' && c <= 'z')) return false;
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|': case '.':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool IsFolderStart(ByteView e, ByteView next) {
  return e.u8(0) == '.' && (e.u8(11) & kAttrFolder) && e.le32(28) == 0 && next.Equals(0, "..") &&
         (next.u8(11) & kAttrFolder) && next.le32(28) == 0;
}

bool PlausibleEntry(ByteView e, ByteView next) {
  if (IsFolderStart(e, next)) return true;
  const uint8_t attr = e.u8(11);
  const uint32_t size = e.le32(28);
  const bool clustersZero = e.le16(20) == 0 && e.le16(26) == 0;
  if (!(attr & kAttrFolder) && size == 0 && !clustersZero) return false;
  if (attr == kAttrVolume && (size != 0 || !clustersZero)) return false;
  if ((attr & kAttrVolume) && attr != kAttrVolume && attr != kAttrLongName) return false;
  if ((attr & (kAttrFolder | kAttrReadOnly)) == (kAttrFolder | kAttrReadOnly)) return false;
  if (attr & 0xC0) return false;
  const bool deleted = e.u8(0) == kDeleted;
  if (attr == kAttrLongName) {
    if (!deleted && (e.u8(0) & ~0x40) > 18) return false;
  } else {
    if (!deleted && !(attr & kAttrFolder) && !StampsInEra(e)) return false;
    if (attr != kAttrVolume && !ShortNameClean(e)) return false;
  }
  if ((attr & kAttrFolder) && !deleted && size != 0) return false;
  if (attr == kAttrLongName && e.le16(26) != 0) return false;
  if (attr > 0x3F) return false;
  if (attr == kAttrVolume || attr == kAttrLongName) return true;
  return (attr & (kAttrFolder | kAttrArchive)) != 0;
}

uint8_t LongNameChecksum(ByteView e) {
  uint8_t sum = 0;
  for (size_t i = 0; i < 11; ++i) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + e.u8(i));
  return sum;
}

// Name bytes: no control byte, no '.', nothing but blanks after a blank.
bool NamePartClean(ByteView e, size_t from, size_t length) {
  bool blank = false;
  for (size_t i = from; i < from + length; ++i) {
    uint8_t c = e.u8(i);
    if (c <= 0x1F || c == '.') return false;
    if (blank && c != ' ') return false;
    blank = c == ' ';
  }
  return true;
}

// Code-page names come as pairs of high bytes (double-byte characters).
bool HighBytesPaired(ByteView e) {
  for (size_t i = e.u8(0) == kDeleted ? 1 : 0; i <= 9; ++i) {
    if (e.u8(i) < 0x80) continue;
    if (e.u8(i + 1) < 0x80) return false;
    ++i;
  }
  return true;
}

bool AllZero(ByteView v, size_t from) {
  for (size_t i = from; i < v.size(); ++i)
    if (v.u8(i) != 0) return false;
  return true;
}

}  // namespace

bool LooksLikeNtfsFileRecord(ByteView sector) { return sector.Equals(0, "FILE"); }

bool LooksLikeFatDirectoryBlock(ByteView block) {
  const size_t entries = block.size() / kEntrySize;
  if (block.size() < kEntrySize) return true;
  for (size_t k = 0; k < entries; ++k) {
    const size_t at = k * kEntrySize;
    ByteView e = block.Sub(at, kEntrySize);
    if (e.u8(0) == 0) return k != 0 && AllZero(block, at);
    ByteView next = k + 1 < entries ? block.Sub(at + kEntrySize, kEntrySize) : ByteView();
    if (!PlausibleEntry(e, next)) return false;
    if (e.Equals(1, e.data() + 17, 14)) return false;
    const uint8_t attr = e.u8(11);
    if (attr == kAttrLongName) {
      const uint8_t checksum = e.u8(13);
      int counted = 0;
      for (size_t j = k + 1; j < entries && counted < 18; ++j) {
        ByteView f = block.Sub(j * kEntrySize, kEntrySize);
        ByteView after = j + 1 < entries ? block.Sub((j + 1) * kEntrySize, kEntrySize) : ByteView();
        if (!PlausibleEntry(f, after)) return false;
        if (f.u8(11) == kAttrLongName) {
          if (f.u8(13) != checksum) return false;
          ++counted;
          continue;
        }
        if (f.u8(0) != kDeleted && LongNameChecksum(f) != checksum) return false;
        break;
      }
      continue;
    }
    uint64_t stamp = 0;
    if (attr != kAttrVolume && !CreationStamp(e, &stamp)) return false;
    if (!NamePartClean(e, 0, 8) || !NamePartClean(e, 8, 3) || !HighBytesPaired(e)) return false;
  }
  return true;
}

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
  return LooksLikeFatDirectoryBlock(sector);
}

}  // namespace mendwell

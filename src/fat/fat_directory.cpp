#include "fat/fat_directory.h"

#include "platform/text.h"
#include "platform/time.h"

namespace mendwell {

namespace {

// Offsets of the 13 code units of a long-name entry.
constexpr size_t kLongNameUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

uint64_t FileTimeOf(int year, int month, int day) {
  CalendarTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  uint64_t ft = 0;
  CalendarToFileTime(t, &ft);
  return ft;
}

// Live entries must carry stamps between these two instants (inclusive).
const uint64_t kEarliestStamp = FileTimeOf(1990, 1, 1);
const uint64_t kLatestStamp = FileTimeOf(2050, 1, 1);

bool InStampRange(uint64_t ft) { return ft >= kEarliestStamp && ft <= kLatestStamp; }

bool IsForbiddenShortNameByte(uint8_t c) {
  if (c < 0x20) return true;
  if (c >= 'a' && c <= 'z') return true;
  switch (c) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|': case '.':
      return true;
    default:
      return false;
  }
}

// Directory-block character rules for one entry that is not a long-name
// entry: no control byte or '.', nothing after a space inside the name or
// inside the extension, and bytes from 0x80 only in pairs (double-byte
// characters) within bytes 0 to 9.
bool HasCleanBlockName(ByteView e) {
  for (size_t i = 0; i < 11; ++i) {
    uint8_t c = e.u8(i);
    if (c <= 0x1F || c == '.') return false;
  }
  auto noneAfterSpace = [&](size_t from, size_t to) {
    bool space = false;
    for (size_t i = from; i < to; ++i) {
      if (e.u8(i) == ' ')
        space = true;
      else if (space)
        return false;
    }
    return true;
  };
  if (!noneAfterSpace(0, 8) || !noneAfterSpace(8, 11)) return false;
  size_t i = e.u8(0) == kFatDeletedMark ? 1 : 0;
  while (i <= 9) {
    if (e.u8(i) >= 0x80) {
      if (e.u8(i + 1) < 0x80) return false;
      i += 2;
    } else {
      ++i;
    }
  }
  return true;
}

}  // namespace

FatDirEntry DecodeFatDirEntry(ByteView e) {
  FatDirEntry d;
  for (size_t i = 0; i < 11; ++i) d.shortName[i] = e.u8(i);
  d.attributes = e.u8(11);
  d.reserved = e.u8(12);
  d.creationTenths = e.u8(13);
  d.creationTime = e.le16(14);
  d.creationDate = e.le16(16);
  d.accessDate = e.le16(18);
  d.clusterHigh = e.le16(20);
  d.modificationTime = e.le16(22);
  d.modificationDate = e.le16(24);
  d.clusterLow = e.le16(26);
  d.size = e.le32(28);
  return d;
}

FatLongNameEntry DecodeFatLongNameEntry(ByteView e) {
  FatLongNameEntry l;
  l.ordinal = e.u8(0);
  l.attributes = e.u8(11);
  l.type = e.u8(12);
  l.checksum = e.u8(13);
  l.cluster = e.le16(26);
  for (size_t i = 0; i < 13; ++i) l.units[i] = static_cast<char16_t>(e.le16(kLongNameUnitOffsets[i]));
  return l;
}

bool IsShortNameClean(ByteView e) {
  for (size_t i = 0; i < 11; ++i)
    if (IsForbiddenShortNameByte(e.u8(i))) return false;
  return true;
}

bool IsFolderStart(ByteView b) {
  if (!b.Has(0, 2 * kFatDirEntrySize)) return false;
  return b.u8(0) == '.' && (b.u8(11) & kFatAttrFolder) && b.le32(28) == 0 && b.Equals(32, "..") &&
         (b.u8(43) & kFatAttrFolder) && b.le32(60) == 0;
}

bool IsPlausibleEntry(ByteView e) {
  if (IsFolderStart(e)) return true;
  FatDirEntry d = DecodeFatDirEntry(e);
  uint8_t attr = d.attributes;
  if (!(attr & kFatAttrFolder) && d.size == 0 && (d.clusterHigh != 0 || d.clusterLow != 0)) return false;
  if (attr == kFatAttrVolumeLabel) {
    if (d.size != 0 || d.clusterHigh != 0 || d.clusterLow != 0) return false;
  } else if ((attr & kFatAttrVolumeLabel) && attr != kFatAttrLongName) {
    return false;
  }
  if ((attr & (kFatAttrFolder | kFatAttrReadOnly)) == (kFatAttrFolder | kFatAttrReadOnly)) return false;
  if (attr & 0xC0) return false;
  if (attr == kFatAttrLongName) {
    uint8_t ordinal = d.shortName[0];
    if (ordinal != kFatDeletedMark && (ordinal & ~0x40) > 0x12) return false;
  } else {
    if (!d.IsDeleted() && !(attr & kFatAttrFolder)) {
      if (!InStampRange(DecodeCreationTime(d)) || !InStampRange(DecodeAccessDate(d)) ||
          !InStampRange(DecodeModificationTime(d)))
        return false;
    }
    if (attr != kFatAttrVolumeLabel && !IsShortNameClean(e)) return false;
  }
  if ((attr & kFatAttrFolder) && !d.IsDeleted() && d.size != 0) return false;
  if (attr == kFatAttrLongName && d.clusterLow != 0) return false;
  if (attr > 0x3F) return false;
  if (attr == kFatAttrVolumeLabel || attr == kFatAttrLongName) return true;
  return (attr & (kFatAttrFolder | kFatAttrArchive)) != 0;
}

bool IsPlausibleDirectoryBlock(ByteView block) {
  size_t entries = block.size() / kFatDirEntrySize;
  for (size_t n = 0; n < entries; ++n) {
    size_t at = n * kFatDirEntrySize;
    ByteView e = block.Sub(at);
    if (e.u8(0) == 0) {
      if (n == 0) return false;
      for (size_t i = at; i < block.size(); ++i)
        if (block.u8(i) != 0) return false;
      return true;
    }
    if (!IsPlausibleEntry(e)) return false;
    // A sector filled with copies of a 16-byte pattern can pass the entry
    // tests slot by slot.
    if (e.Equals(17, e.data() + 1, 14)) return false;
    FatDirEntry d = DecodeFatDirEntry(e);
    if (d.IsLongName()) {
      // The run must go on with pieces of the same checksum and end at its
      // short entry (or a deleted one).
      uint8_t checksum = e.u8(13);
      size_t counted = 0;
      for (size_t m = n + 1; m < entries && counted < 18; ++m) {
        ByteView next = block.Sub(m * kFatDirEntrySize);
        if (!IsPlausibleEntry(next)) return false;
        if (next.u8(11) == kFatAttrLongName) {
          if (next.u8(13) != checksum) return false;
          ++counted;
          continue;
        }
        if (next.u8(0) != kFatDeletedMark && LongNameChecksum(next.Sub(0, 11)) != checksum) return false;
        break;
      }
      continue;
    }
    if (!d.IsVolumeLabel() && DecodeCreationTime(d) == 0) return false;
    if (!HasCleanBlockName(e)) return false;
  }
  return true;
}

uint8_t LongNameChecksum(ByteView shortName) {
  uint8_t sum = 0;
  for (size_t i = 0; i < 11; ++i)
    sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortName.u8(i));
  return sum;
}

std::string ShortNameText(const FatDirEntry& entry, bool isFolder) {
  std::string bytes(reinterpret_cast<const char*>(entry.shortName.data()), 8);
  auto trim = [](std::string& s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
  };
  trim(bytes);
  if (!isFolder && entry.shortName[8] != ' ') {
    bytes.push_back('.');
    bytes.append(reinterpret_cast<const char*>(entry.shortName.data()) + 8, 3);
    trim(bytes);
  }
  // The deleted mark is not part of the name.
  if (!bytes.empty() && static_cast<uint8_t>(bytes[0]) == kFatDeletedMark) bytes[0] = '!';
  return OemToUtf8(AsciiLower(bytes));
}

bool FatLongNamePieces::Add(ByteView entry) {
  if (count_ >= kFatMaxLongNamePieces) return false;
  ++count_;
  size_t at = units_.size() - 13 * count_;
  for (size_t i = 0; i < 13; ++i) units_[at + i] = static_cast<char16_t>(entry.le16(kLongNameUnitOffsets[i]));
  return true;
}

std::u16string FatLongNamePieces::Units() const {
  size_t at = units_.size() - 13 * count_;
  size_t end = at;
  while (end < units_.size() && units_[end] != 0) ++end;
  return std::u16string(units_.data() + at, end - at);
}

std::string LongNameText(const FatLongNamePieces& pieces) {
  return CutUtf8(Utf16ToUtf8(pieces.Units()), 259);
}

uint64_t FatStampToFileTime(uint16_t date, uint16_t time, uint32_t extraMilliseconds) {
  CalendarTime t;
  t.year = 1980 + (date >> 9);
  t.month = (date >> 5) & 0x0F;
  t.day = date & 0x1F;
  t.hour = time >> 11;
  t.minute = (time >> 5) & 0x3F;
  t.second = (time & 0x1F) * 2 + static_cast<int>(extraMilliseconds / 1000);
  t.millisecond = static_cast<int>(extraMilliseconds % 1000);
  uint64_t ft = 0;
  return CalendarToFileTime(t, &ft) ? ft : 0;
}

uint64_t DecodeCreationTime(const FatDirEntry& entry) {
  // The byte at 13 counts 10 ms units, up to 199 (1.99 s).
  return FatStampToFileTime(entry.creationDate, entry.creationTime, entry.creationTenths * 10u);
}

uint64_t DecodeAccessDate(const FatDirEntry& entry) { return FatStampToFileTime(entry.accessDate, 0); }

uint64_t DecodeModificationTime(const FatDirEntry& entry) {
  return FatStampToFileTime(entry.modificationDate, entry.modificationTime);
}

}  // namespace mendwell

// FAT directory data: the 32-byte entry and the long-name entry, the
// plausibility tests that tell directory data from other bytes, name
// building and time-stamp decoding.
//
// Every function reads through a ByteView and never past it; bytes missing
// from a short view read as 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/byte_view.h"

namespace mendwell {

inline constexpr size_t kFatDirEntrySize = 32;

// Attribute bits of a directory entry.
inline constexpr uint8_t kFatAttrReadOnly = 0x01;
inline constexpr uint8_t kFatAttrVolumeLabel = 0x08;
inline constexpr uint8_t kFatAttrFolder = 0x10;
inline constexpr uint8_t kFatAttrArchive = 0x20;
inline constexpr uint8_t kFatAttrLongName = 0x0F;  // the whole byte, not a bit
inline constexpr uint8_t kFatDeletedMark = 0xE5;

// Long-name pieces a name buffer holds (13 code units each, 247 in all).
inline constexpr size_t kFatMaxLongNamePieces = 19;

// The 32-byte directory entry.
struct FatDirEntry {
  std::array<uint8_t, 11> shortName{};  // @0 8 name + 3 extension bytes, space padded
  uint8_t attributes = 0;               // @11
  uint8_t reserved = 0;                 // @12
  uint8_t creationTenths = 0;           // @13 creation time, 10 ms units (0..199)
  uint16_t creationTime = 0;            // @14
  uint16_t creationDate = 0;            // @16
  uint16_t accessDate = 0;              // @18
  uint16_t clusterHigh = 0;             // @20 high 16 bits of the first cluster (FAT32)
  uint16_t modificationTime = 0;        // @22
  uint16_t modificationDate = 0;        // @24
  uint16_t clusterLow = 0;              // @26
  uint32_t size = 0;                    // @28

  bool IsEnd() const { return shortName[0] == 0; }
  bool IsDeleted() const { return shortName[0] == kFatDeletedMark; }
  bool IsLongName() const { return attributes == kFatAttrLongName; }
  bool IsVolumeLabel() const { return attributes == kFatAttrVolumeLabel; }
  bool IsFolder() const { return !IsLongName() && (attributes & kFatAttrFolder) != 0; }
  bool IsFile() const { return !IsLongName() && !IsFolder() && (attributes & kFatAttrArchive) != 0; }
  // "." and ".." (first byte '.').
  bool IsDotEntry() const { return shortName[0] == '.'; }
  bool IsDotDotEntry() const { return shortName[0] == '.' && shortName[1] == '.'; }
  uint32_t FirstCluster() const { return (static_cast<uint32_t>(clusterHigh) << 16) | clusterLow; }
};

FatDirEntry DecodeFatDirEntry(ByteView entry);

// The long-name entry (attributes exactly 0x0F).
struct FatLongNameEntry {
  uint8_t ordinal = 0;    // @0 0x40 on the piece that holds the end of the name; 0xE5 deleted
  uint8_t attributes = 0; // @11
  uint8_t type = 0;       // @12
  uint8_t checksum = 0;   // @13 LongNameChecksum of the short name it belongs to
  uint16_t cluster = 0;   // @26 always 0
  std::array<char16_t, 13> units{};  // @1 units 1-5, @14 units 6-11, @28 units 12-13
};

FatLongNameEntry DecodeFatLongNameEntry(ByteView entry);

// Whether 32 bytes can be a directory entry. `entry` starts at the entry and
// may run on: the entry after it is looked at (a "." entry is plausible when
// the ".." entry follows).
bool IsPlausibleEntry(ByteView entry);

// The character test on the 11 short-name bytes: no control byte, no
// lower-case ASCII letter, none of \ / : * ? " < > | and '.'; the space and
// bytes from 0x80 up pass (so does the deleted mark 0xE5).
bool IsShortNameClean(ByteView entry);

// Whether 64 bytes are the "." and ".." entries that begin every folder
// other than the root.
bool IsFolderStart(ByteView bytes);

// Whether a whole sector or cluster (`block`, every byte of it) is directory
// data. A block shorter than 32 bytes is plausible.
bool IsPlausibleDirectoryBlock(ByteView block);

// The checksum of 11 short-name bytes that long-name entries carry.
uint8_t LongNameChecksum(ByteView shortName);

// Short name as UTF-8: the 8 name bytes without trailing spaces, for a file
// "." and the extension when it has one, ASCII letters lower-cased, bytes
// from 0x80 decoded from code page 437, and a first byte 0xE5 (the deleted
// mark) shown as '!'.
std::string ShortNameText(const FatDirEntry& entry, bool isFolder);

// The long-name pieces of one entry run, in the order the entries lie on
// disk (the piece with the highest ordinal first).
class FatLongNamePieces {
 public:
  // Stores the 13 code units of a long-name entry. False, storing nothing,
  // when 19 pieces are already held: what a twentieth piece means is the
  // caller's to decide.
  bool Add(ByteView entry);
  void Clear() { count_ = 0; }
  size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }

  // The assembled name: the last stored piece first, up to the first NUL
  // unit or the end of the pieces.
  std::u16string Units() const;

 private:
  // Filled from the end towards the start, 13 units per piece.
  std::array<char16_t, 260> units_{};
  size_t count_ = 0;
};

// The long name as UTF-8, cut at a character boundary to 259 bytes. Empty
// without pieces. Long names keep their case.
std::string LongNameText(const FatLongNamePieces& pieces);

// Time stamps as FILETIME values of the calendar time the fields give (no
// time-zone conversion); 0 when the date or time is not a valid calendar
// value.
//   creation: date @16, time @14 and the 10 ms count @13 (up to 199, so it
//             may add a second);
//   access: date @18 at 00:00:00;
//   modification: date @24, time @22.
uint64_t DecodeCreationTime(const FatDirEntry& entry);
uint64_t DecodeAccessDate(const FatDirEntry& entry);
uint64_t DecodeModificationTime(const FatDirEntry& entry);

// A FAT date and time (and the extra milliseconds) as FILETIME, 0 when not
// a valid calendar value.
uint64_t FatStampToFileTime(uint16_t date, uint16_t time, uint32_t extraMilliseconds = 0);

}  // namespace mendwell

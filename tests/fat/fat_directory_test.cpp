#include "fat/fat_directory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "fat_test_bytes.h"
#include "fat/fat_boot_sector.h"
#include "platform/time.h"

namespace mendwell {
namespace {

using test::Append;
using test::Bytes;
using test::Entry;
using test::FatDate;
using test::FatTime;
using test::LongEntry;

ByteView View(const Bytes& b) { return ByteView(b.data(), b.size()); }
template <size_t N>
ByteView View(const std::array<uint8_t, N>& b) {
  return ByteView(b.data(), N);
}

CalendarTime Calendar(uint64_t ft) { return FileTimeToCalendar(ft); }

TEST(FatDirectory, DecodesTimeStamps) {
  auto e = Entry("FILE    TXT", 0x20, 5, 10);
  PutLe16(&e[16], FatDate(2019, 3, 4));
  PutLe16(&e[14], FatTime(10, 31, 20));
  PutLe16(&e[22], FatTime(10, 31, 20));
  struct Case {
    uint8_t tenths;
    int second, millisecond;
  } cases[] = {{0, 20, 0}, {57, 20, 570}, {100, 21, 0}, {150, 21, 500}, {199, 21, 990}};
  for (const Case& c : cases) {
    e[13] = c.tenths;
    CalendarTime t = Calendar(DecodeCreationTime(DecodeFatDirEntry(View(e))));
    EXPECT_EQ(t.year, 2019);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 4);
    EXPECT_EQ(t.hour, 10);
    EXPECT_EQ(t.minute, 31);
    EXPECT_EQ(t.second, c.second) << int(c.tenths);
    EXPECT_EQ(t.millisecond, c.millisecond) << int(c.tenths);
  }
  FatDirEntry d = DecodeFatDirEntry(View(e));
  CalendarTime m = Calendar(DecodeModificationTime(d));
  EXPECT_EQ(m.hour * 10000 + m.minute * 100 + m.second, 103120);
  CalendarTime a = Calendar(DecodeAccessDate(d));
  EXPECT_EQ(a.year * 10000 + a.month * 100 + a.day, 20200517);
  EXPECT_EQ(a.hour + a.minute + a.second, 0);

  // Not calendar values: month 13, 30 February, hour 24, 62 seconds, and
  // 58 seconds plus a 2-second count.
  EXPECT_EQ(FatStampToFileTime(FatDate(2020, 13, 1), 0), 0u);
  EXPECT_EQ(FatStampToFileTime(FatDate(2020, 2, 30), 0), 0u);
  EXPECT_EQ(FatStampToFileTime(FatDate(2020, 1, 1), FatTime(24, 0, 0)), 0u);
  EXPECT_EQ(FatStampToFileTime(FatDate(2020, 1, 1), 31), 0u);
  e[13] = 200;
  PutLe16(&e[14], FatTime(10, 31, 58));
  EXPECT_EQ(DecodeCreationTime(DecodeFatDirEntry(View(e))), 0u);
  EXPECT_EQ(FatStampToFileTime(0, 0), 0u);
}

TEST(FatDirectory, EntryPlausibility) {
  using Edit = void (*)(std::array<uint8_t, 32>&);
  struct Case {
    const char* what;
    const char* name;
    uint8_t attributes;
    uint32_t cluster, size;
    Edit edit;
    bool plausible;
  } cases[] = {
      {"live file", "REPORT  TXT", 0x20, 5, 100, nullptr, true},
      {"live folder", "PHOTOS     ", 0x10, 7, 0, nullptr, true},
      {"volume label", "MY DISK    ", 0x08, 0, 0, nullptr, true},
      {"no archive bit", "REPORT  TXT", 0x00, 5, 100, nullptr, false},
      {"system file without archive bit", "IO      SYS", 0x04, 5, 100, nullptr, false},
      {"modified 1985", "REPORT  TXT", 0x20, 5, 100, [](auto& e) { PutLe16(&e[24], FatDate(1985, 6, 1)); }, false},
      {"deleted, modified 1985", "\xE5" "EPORT  TXT", 0x20, 5, 100,
       [](auto& e) { PutLe16(&e[24], FatDate(1985, 6, 1)); }, true},
      {"created in 2051", "REPORT  TXT", 0x20, 5, 100, [](auto& e) { PutLe16(&e[16], FatDate(2051, 1, 1)); }, false},
      {"slash in name", "A/B     TXT", 0x20, 5, 100, nullptr, false},
      {"lower case", "Report  TXT", 0x20, 5, 100, nullptr, false},
      {"full stop", "A.B     TXT", 0x20, 5, 100, nullptr, false},
      {"code-page bytes", "CAF\x90    TXT", 0x20, 5, 100, nullptr, true},
      {"empty file with a cluster", "EMPTY   TXT", 0x20, 5, 0, nullptr, false},
      {"empty file without cluster", "EMPTY   TXT", 0x20, 0, 0, nullptr, true},
      {"label with a cluster", "MY DISK    ", 0x08, 3, 0, nullptr, false},
      {"label with system bit", "MY DISK    ", 0x0C, 0, 0, nullptr, false},
      {"read-only folder", "PHOTOS     ", 0x11, 7, 0, nullptr, false},
      {"reserved bit 0x40", "REPORT  TXT", 0x60, 5, 100, nullptr, false},
      {"live folder with a size", "PHOTOS     ", 0x10, 7, 512, nullptr, false},
      {"deleted folder with a size", "\xE5HOTOS     ", 0x10, 7, 512, nullptr, true},
  };
  for (const Case& c : cases) {
    auto e = Entry(c.name, c.attributes, c.cluster, c.size);
    if (c.edit) c.edit(e);
    EXPECT_EQ(IsPlausibleEntry(View(e)), c.plausible) << c.what;
  }

  std::u16string name = u"Holiday photo.jpg";
  struct LongCase {
    const char* what;
    uint8_t ordinal;
    bool clusterSet;
    bool plausible;
  } longCases[] = {
      {"last piece", 0x42, false, true},  {"first piece", 0x01, false, true},   {"ordinal 18", 0x52, false, true},
      {"ordinal 19", 0x53, false, false}, {"deleted piece", 0xE5, false, true}, {"with a cluster", 0x01, true, false},
  };
  for (const LongCase& c : longCases) {
    auto e = LongEntry(name, 0, c.ordinal, 0x3C);
    if (c.clusterSet) e[26] = 1;
    EXPECT_EQ(IsPlausibleEntry(View(e)), c.plausible) << c.what;
  }

  // "." is plausible when ".." follows it, though its name holds a '.'.
  Bytes start;
  Append(start, Entry(".", 0x10, 9));
  Append(start, Entry("..", 0x10, 0));
  EXPECT_TRUE(IsFolderStart(View(start)));
  EXPECT_TRUE(IsPlausibleEntry(View(start)));
  EXPECT_FALSE(IsPlausibleEntry(View(start).Sub(0, 32)));
  EXPECT_FALSE(IsFolderStart(View(start).Sub(0, 63)));
}

// A sector: the given entries, then zero bytes.
Bytes Sector(std::initializer_list<std::array<uint8_t, 32>> entries) {
  Bytes b;
  for (const auto& e : entries) Append(b, e);
  b.resize(512, 0);
  return b;
}

TEST(FatDirectory, DirectoryBlocks) {
  auto a = Entry("REPORT  TXT", 0x20, 5, 100);
  auto b = Entry("\xE5" "LD     DOC", 0x20, 9, 3000);
  auto c = Entry("PHOTOS     ", 0x10, 7, 0);
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(Sector({a, b, c}))));
  EXPECT_TRUE(IsPlausibleDirectoryBlock(ByteView(a.data(), 20)));  // shorter than an entry

  Bytes freeFirst = Sector({a, b, c});
  std::memset(freeFirst.data(), 0, 32);
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(freeFirst)));

  Bytes junkAfterEnd = Sector({a, b});
  junkAfterEnd[300] = 1;
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(junkAfterEnd)));

  auto spaceInside = Entry("REP ORT TXT", 0x20, 5, 100);
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(Sector({a, spaceInside}))));
  // A deleted entry skips the entry test's stamp rule, not the block's.
  auto noCreation = b;
  PutLe16(&noCreation[16], 0);
  EXPECT_TRUE(IsPlausibleEntry(View(noCreation)));
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(Sector({a, noCreation}))));

  // Code-page bytes must come in pairs (double-byte characters) in bytes 0-9.
  auto single = Entry("\xE5" "AF\x90R   TXT", 0x20, 5, 100);
  auto pair = Entry("\xE5" "AF\x90\x90   TXT", 0x20, 5, 100);
  auto highInByte10 = Entry("\xE5" "AFE    TX\x90", 0x20, 5, 100);
  EXPECT_TRUE(IsPlausibleEntry(View(single)));
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(Sector({a, single}))));
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(Sector({a, pair}))));
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(Sector({a, highInByte10}))));
}

TEST(FatDirectory, RepeatingSixteenBytePatternIsNotADirectoryBlock) {
  // Every 32-byte slot of the pattern passes the entry test on its own.
  const uint8_t pattern[16] = {'A', 'B', 'A', 'B', 'C', 'D', 'A', 'B', 'A', 'B', 'X', 0x20, 0, 0, 'A', 'B'};
  Bytes sector(512);
  for (size_t i = 0; i < sector.size(); ++i) sector[i] = pattern[i % 16];
  EXPECT_TRUE(IsPlausibleEntry(View(sector)));
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(sector)));
  // Break the repetition inside every slot (high cluster word): plausible.
  for (size_t i = 0; i < sector.size(); i += 32) sector[i + 21] = 1;
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(sector)));
}

TEST(FatDirectory, LongNameRunsInBlocks) {
  auto shortEntry = Entry("HOLIDA~1JPG", 0x20, 5, 100);
  uint8_t sum = LongNameChecksum(ByteView(shortEntry.data(), 11));
  std::u16string name = u"Holiday photo.jpg";
  auto piece2 = LongEntry(name, 13, 0x42, sum);
  auto piece1 = LongEntry(name, 0, 0x01, sum);
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(Sector({piece2, piece1, shortEntry}))));

  auto otherShort = Entry("OTHER   JPG", 0x20, 5, 100);
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(Sector({piece2, piece1, otherShort}))));
  auto wrongPiece = LongEntry(name, 0, 0x01, static_cast<uint8_t>(sum + 1));
  EXPECT_FALSE(IsPlausibleDirectoryBlock(View(Sector({piece2, wrongPiece, shortEntry}))));
  // A deleted short entry ends a run whatever its checksum.
  auto deletedShort = shortEntry;
  deletedShort[0] = 0xE5;
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(Sector({piece2, piece1, deletedShort}))));
  // A run cut off by the end of the block is plausible.
  Bytes cut;
  Append(cut, shortEntry);
  Append(cut, piece2);
  EXPECT_TRUE(IsPlausibleDirectoryBlock(View(cut)));
}

TEST(FatDirectory, LongNameChecksum) {
  // Values written by mtools next to these short names.
  EXPECT_EQ(LongNameChecksum(ByteView("CAF\x90R\x90~1TXT", 11)), 0x2B);
  EXPECT_NE(LongNameChecksum(ByteView("EXACTL~1TXT", 11)), LongNameChecksum(ByteView("EXACTL~2TXT", 11)));
}

TEST(FatDirectory, ShortNames) {
  struct Case {
    const char* name11;
    bool folder;
    const char* text;
  } cases[] = {
      {"REPORT  TXT", false, "report.txt"},
      {"\xE5" "ELROOT TXT", false, "!elroot.txt"},
      {"README     ", false, "readme"},
      {"PHOTOS  OLD", true, "photos"},
      {"CAF\x90    TX ", false, "caf\xC3\x89.tx"},  // 0x90 is É in code page 437
      {"A B     C  ", false, "a b.c"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShortNameText(DecodeFatDirEntry(View(Entry(c.name11, 0x20))), c.folder), c.text) << c.name11;
}

TEST(FatDirectory, LongNames) {
  FatLongNamePieces pieces;
  EXPECT_EQ(LongNameText(pieces), "");

  // Exactly 13 characters: one piece without a terminator.
  std::u16string thirteen = u"exactly13.txt";
  pieces.Add(View(LongEntry(thirteen, 0, 0x41, 0)));
  EXPECT_EQ(LongNameText(pieces), "exactly13.txt");

  // Pieces in disk order: the end of the name first.
  std::u16string longName = u"a much longer file name over 26 chars.txt";
  pieces.Clear();
  pieces.Add(View(LongEntry(longName, 39, 0x44, 0)));
  pieces.Add(View(LongEntry(longName, 26, 0x03, 0)));
  pieces.Add(View(LongEntry(longName, 13, 0x02, 0)));
  pieces.Add(View(LongEntry(longName, 0, 0x01, 0)));
  EXPECT_EQ(LongNameText(pieces), "a much longer file name over 26 chars.txt");

  std::u16string accented = u"caf\u00e9 r\u00e9sum\u00e9 \u03a9mega.txt";
  pieces.Clear();
  pieces.Add(View(LongEntry(accented, 13, 0x42, 0)));
  pieces.Add(View(LongEntry(accented, 0, 0x01, 0)));
  EXPECT_EQ(LongNameText(pieces), "caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9 \xCE\xA9mega.txt");

  // Nineteen pieces fit; a twentieth is refused. The name is cut to 259 bytes.
  std::u16string full(19 * 13, u'\u00e9');
  pieces.Clear();
  for (int i = 18; i >= 0; --i) EXPECT_TRUE(pieces.Add(View(LongEntry(full, i * 13, 0, 0))));
  EXPECT_FALSE(pieces.Add(View(LongEntry(full, 0, 0, 0))));
  EXPECT_EQ(pieces.count(), 19u);
  std::string text = LongNameText(pieces);
  EXPECT_EQ(text.size(), 258u);  // 129 two-byte characters: the 130th would pass 259
}

}  // namespace
}  // namespace mendwell

namespace mendwell {
namespace {

// Hostile bytes: every decoder on random views of every length up to two
// sectors stays inside them (the sanitizer build checks the reads).
TEST(FatDirectory, DecodersStayInsideShortAndRandomViews) {
  std::mt19937 random(20201);
  for (size_t length = 0; length <= 1024; length += (length < 70 ? 1 : 61)) {
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> bytes(length);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 4 == 0 ? 0 : random());
      ByteView view(bytes.data(), bytes.size());
      FatDirEntry d = DecodeFatDirEntry(view);
      IsPlausibleEntry(view);
      IsFolderStart(view);
      IsPlausibleDirectoryBlock(view);
      LongNameChecksum(view);
      FatLongNamePieces pieces;
      pieces.Add(view);
      EXPECT_LE(LongNameText(pieces).size(), 259u);
      ShortNameText(d, false);
      DecodeCreationTime(d);
      FatGeometry g;
      FatGeometryFromBootSector(view, 0, &g);
    }
  }
}

}  // namespace
}  // namespace mendwell

#include "engine/file_record.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mendwell {
namespace {

TEST(FileRecord, EncodesEveryFieldAtItsOffset) {
  FileRecord r;
  r.driveLetter = 0x4142;
  r.sourceEngine = 1;
  r.isFolder = 0;
  r.deleted = 1;
  r.intact = 1;
  r.recordId = 11;
  r.nodeId = 0x01020304;
  r.clusterSize = -1;
  r.created = 0x1111111111111111ull;
  r.accessed = 0x2222222222222222ull;
  r.modified = 0x3333333333333333ull;
  r.size = 123456789012ull;
  r.dataStart = 5;
  r.location = 6;
  r.origin = 7;
  r.SetName("holiday.jpg");
  uint8_t bytes[kFileRecordSize];
  EncodeFileRecord(r, bytes);
  EXPECT_EQ(bytes[0], 0x42);
  EXPECT_EQ(bytes[1], 0x41);
  EXPECT_EQ(bytes[18], 11);
  EXPECT_EQ(bytes[22], 0x04);
  EXPECT_EQ(bytes[26], 0xFF);
  EXPECT_EQ(bytes[30], 0x11);
  EXPECT_EQ(bytes[54], static_cast<uint8_t>(123456789012ull));
  EXPECT_EQ(bytes[78], 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + 86)), "holiday.jpg");

  FileRecord back = DecodeFileRecord(ByteView(bytes, sizeof bytes));
  uint8_t again[kFileRecordSize];
  EncodeFileRecord(back, again);
  EXPECT_EQ(0, std::memcmp(bytes, again, kFileRecordSize));
  EXPECT_EQ(back.Name(), "holiday.jpg");
}

TEST(FileRecord, LongNamesAreCutAtACharacterAndAlwaysTerminated) {
  FileRecord r;
  std::string longName(258, 'a');
  longName += "\xC3\xA9";  // 260 bytes: the two-byte character does not fit
  r.SetName(longName);
  EXPECT_EQ(r.Name().size(), 258u);
  uint8_t bytes[kFileRecordSize];
  std::memset(bytes, 'z', sizeof bytes);
  FileRecord decoded = DecodeFileRecord(ByteView(bytes, sizeof bytes));
  EXPECT_EQ(decoded.Name().size(), 259u);  // an unterminated name field is cut
  // A short buffer decodes to zeros instead of reading past it.
  FileRecord shortRecord = DecodeFileRecord(ByteView(bytes, 20));
  EXPECT_EQ(shortRecord.size, 0u);
}

}  // namespace
}  // namespace mendwell

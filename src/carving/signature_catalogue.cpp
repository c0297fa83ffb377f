#include "carving/signature_catalogue.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace mendwell {

namespace {

using C = FileTypeCode;

constexpr uint64_t kMiB = 1024ull * 1024;
constexpr uint64_t kGiB = 1024ull * kMiB;
// Office Open XML documents are capped one byte below 128 MiB.
constexpr uint64_t kOfficeCap = 134217727;

// The fixed bytes a test compares; memcmp stops at the first difference.
template <size_t N>
bool At(ByteView s, size_t offset, const uint8_t (&bytes)[N]) {
  return s.Equals(offset, bytes, N);
}
bool At(ByteView s, size_t offset, std::string_view text) { return s.Equals(offset, text); }

// Whether the 4 bytes `pattern` occur in the first `limit` bytes of s.
bool Occurs4(ByteView s, size_t limit, const uint8_t (&pattern)[4]) {
  if (limit > s.size()) limit = s.size();
  for (size_t i = 0; i + 4 <= limit; ++i)
    if (s.Equals(i, pattern, 4)) return true;
  return false;
}

// A GUID as it is stored on disk: the first three groups little-endian.
struct Guid {
  uint8_t bytes[16];
};
constexpr Guid MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  Guid g{};
  for (int i = 0; i < 4; ++i) g.bytes[i] = static_cast<uint8_t>(a >> (8 * i));
  for (int i = 0; i < 2; ++i) g.bytes[4 + i] = static_cast<uint8_t>(b >> (8 * i));
  for (int i = 0; i < 2; ++i) g.bytes[6 + i] = static_cast<uint8_t>(c >> (8 * i));
  for (int i = 0; i < 8; ++i) g.bytes[8 + i] = static_cast<uint8_t>(d >> (8 * (7 - i)));
  return g;
}
bool AtGuid(ByteView s, size_t offset, const Guid& g) { return s.Equals(offset, g.bytes, sizeof g.bytes); }

constexpr Guid kAsfHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr Guid kWordClass = MakeGuid(0x00020906, 0, 0, 0xC000000000000046ull);
constexpr Guid kExcelClass = MakeGuid(0x00020820, 0, 0, 0xC000000000000046ull);
constexpr Guid kExcel5Class = MakeGuid(0x00020810, 0, 0, 0xC000000000000046ull);
constexpr Guid kPowerPointClass = MakeGuid(0x64818D10, 0x4F9B, 0x11CF, 0x86EA00AA00B929E8ull);

uint8_t LowerAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

// ---------------------------------------------------------------------------
// Header tests, one per row, in table order.

// MPEG program stream (pack header followed by a system header) or
// elementary video stream (sequence header followed by a group of pictures).
C TestMpeg(ByteView s, const CarveContext&) {
  if (s.size() < 16 || s.u8(0) != 0x00 || s.u8(1) != 0x00 || s.u8(2) != 0x01) return C::kNone;
  static constexpr uint8_t kSystemHeader[] = {0x00, 0x00, 0x01, 0xBB};
  static constexpr uint8_t kGroupOfPictures[] = {0x00, 0x00, 0x01, 0xB8};
  if (s.u8(3) == 0xBA) return Occurs4(s, 32, kSystemHeader) ? C::kMpeg : C::kNone;
  if (s.u8(3) == 0xB3) return Occurs4(s, 32, kGroupOfPictures) ? C::kMpeg : C::kNone;
  return C::kNone;
}

C TestMp4(ByteView s, const CarveContext&) {
  if (s.size() < 32 || !At(s, 4, "ftyp")) return C::kNone;
  return At(s, 8, "iso") || At(s, 8, "mp42") ? C::kMp4 : C::kNone;
}

C TestRealMedia(ByteView s, const CarveContext&) { return At(s, 0, ".RMF") ? C::kRmvb : C::kNone; }

C TestAsf(ByteView s, const CarveContext&) {
  return s.size() >= 24 && AtGuid(s, 0, kAsfHeaderObject) ? C::kWmv : C::kNone;
}

C TestSwf(ByteView s, const CarveContext&) {
  if (s.size() < 8 || !At(s, 1, "WS")) return C::kNone;
  uint8_t version = s.u8(3);
  if (s.u8(0) == 'C') return version >= 6 && version <= 15 ? C::kSwf : C::kNone;
  if (s.u8(0) == 'F') return version < 6 ? C::kSwf : C::kNone;
  return C::kNone;
}

C TestAvi(ByteView s, const CarveContext&) {
  return s.size() >= 16 && At(s, 0, "RIFF") && At(s, 8, "AVI ") && At(s, 12, "LIST") ? C::kAvi : C::kNone;
}

C TestFlv(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {'F', 'L', 'V', 0x01};
  static constexpr uint8_t kHeaderSize[] = {0x00, 0x00, 0x00, 0x09};
  return s.size() >= 16 && At(s, 0, kSignature) && At(s, 5, kHeaderSize) ? C::kFlv : C::kNone;
}

C Test3gp(ByteView s, const CarveContext&) {
  return s.size() >= 32 && At(s, 4, "ftyp") && At(s, 8, "3gp") ? C::k3gp : C::kNone;
}

C TestMkv(ByteView s, const CarveContext&) {
  static constexpr uint8_t kEbml[] = {0x1A, 0x45, 0xDF, 0xA3};
  return s.size() >= 16 && At(s, 0, kEbml) ? C::kMkv : C::kNone;
}

// The packet at offset 0 must be the first of a stream, not the middle of
// one: the sector before it must not end in packets, and no transport
// stream carved earlier in the scan may cover it.
bool TsContinuesEarlierStream(const CarveContext& context) {
  const uint32_t s = context.sectorSize;
  // A stream in the very first sector of the medium cannot continue anything.
  if (context.currentSector == 0) return false;
  std::unique_ptr<uint8_t[]> previous(new (std::nothrow) uint8_t[s]);
  if (!previous || context.Read(context.currentSector - 1, 1, previous.get()) != kOk) return true;
  ByteView view(previous.get(), s);
  for (uint32_t i = 1; i <= s / 188; ++i)
    if (view.u8(s - 188 * i) == 0x47) return true;
  for (const TsRange& range : context.tsRanges)
    if (range.firstSector <= context.startSector && range.lastSector >= context.startSector) return true;
  return false;
}

C TestTransportStream(ByteView s, const CarveContext& context) {
  if (s.size() < 188 || s.u8(0) != 0x47) return C::kNone;
  if (s.u8(1) == 0 && s.u8(2) == 0 && s.u8(3) == 0) return C::kNone;
  for (size_t offset = 188; offset < s.size(); offset += 188)
    if (s.u8(offset) != 0x47) return C::kNone;
  // 22 packets in a row (4 KiB) before a stream is believed.
  const uint32_t sectorSize = context.sectorSize;
  if (sectorSize == 0) return C::kNone;
  constexpr uint32_t kRunBytes = 4096;
  const uint32_t count = (kRunBytes + sectorSize - 1) / sectorSize;
  const size_t length = static_cast<size_t>(count) * sectorSize;
  std::unique_ptr<uint8_t[]> run(new (std::nothrow) uint8_t[length]);
  if (!run || context.Read(context.currentSector, count, run.get()) != kOk) return C::kNone;
  ByteView packets(run.get(), length);
  for (size_t i = 0; i < 22; ++i)
    if (packets.u8(188 * i) != 0x47) return C::kNone;
  if (context.tsFlag && TsContinuesEarlierStream(context)) return C::kNone;
  return C::kTs;
}

// AVCHD: 192-byte packets whose 4-byte time stamp precedes the 188-byte
// packet; the stream starts with a program association table.
C TestMts(ByteView s, const CarveContext& context) {
  static constexpr uint8_t kPat[] = {0x00, 0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00};
  if (s.size() < 16 || !At(s, 8, kPat)) return C::kNone;
  if (s.le32(0) == 0) return C::kMts;
  // A non-zero time stamp right after an mts is that stream going on.
  return context.mtsFlag ? C::kNone : C::kMts;
}

C TestMxf(ByteView s, const CarveContext&) {
  static constexpr uint8_t kPartitionPack[] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                               0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};
  return s.size() >= 16 && At(s, 0, kPartitionPack) ? C::kMxf : C::kNone;
}

C TestMp3(ByteView s, const CarveContext&) {
  if (!s.Has(0, 10) || !At(s, 0, "ID3")) return C::kNone;
  if (s.u8(3) == 0xFF || s.u8(4) == 0xFF || (s.u8(5) & 0x1F) != 0) return C::kNone;
  // The tag size is four 7-bit bytes.
  for (size_t i = 6; i < 10; ++i)
    if (s.u8(i) >= 0x80) return C::kNone;
  return C::kMp3;
}

C TestMidi(ByteView s, const CarveContext&) {
  static constexpr uint8_t kHeaderLength[] = {0x00, 0x00, 0x00, 0x06};
  return s.size() >= 16 && At(s, 0, "MThd") && At(s, 4, kHeaderLength) && At(s, 14, "MTrk") ? C::kMid : C::kNone;
}

C TestApe(ByteView s, const CarveContext&) { return At(s, 0, "MAC ") ? C::kApe : C::kNone; }

C TestWav(ByteView s, const CarveContext&) {
  return s.size() >= 16 && At(s, 0, "RIFF") && At(s, 8, "WAVE") && At(s, 12, "fmt ") ? C::kWav : C::kNone;
}

C TestMov(ByteView s, const CarveContext&) {
  if (s.size() < 16) return C::kNone;
  if (At(s, 0, "moov")) return C::kMov;
  return At(s, 4, "ftyp") && At(s, 8, "qt  ") ? C::kMov : C::kNone;
}

C TestMp2(ByteView s, const CarveContext&) {
  static constexpr uint8_t kFrame[] = {0xFF, 0xFD, 0xE4, 0x00};
  return At(s, 0, kFrame) ? C::kMp2 : C::kNone;
}

C TestMmf(ByteView s, const CarveContext&) { return At(s, 0, "MMMD") ? C::kMmf : C::kNone; }

C TestGif(ByteView s, const CarveContext&) {
  if (!s.Has(0, 6) || !At(s, 0, "GIF")) return C::kNone;
  auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  return digit(s.u8(3)) && digit(s.u8(4)) && s.u8(5) >= 'a' && s.u8(5) <= 'z' ? C::kGif : C::kNone;
}

C TestBmp(ByteView s, const CarveContext&) {
  if (s.size() < 40 || s.u8(0) != 'B' || (s.u8(1) != 'M' && s.u8(1) != 'A')) return C::kNone;
  // Reserved words zero and a BITMAPINFOHEADER (40 bytes).
  return s.le16(6) == 0 && s.le16(8) == 0 && s.le32(14) == 40 ? C::kBmp : C::kNone;
}

C TestJpeg(ByteView s, const CarveContext&) {
  static constexpr uint8_t kApp0[] = {0xFF, 0xD8, 0xFF, 0xE0};
  static constexpr uint8_t kApp1[] = {0xFF, 0xD8, 0xFF, 0xE1};
  if (s.size() < 16 || s.u8(0) != 0xFF) return C::kNone;
  if (At(s, 0, kApp0)) return At(s, 6, "JFIF") ? C::kJpg : C::kNone;
  if (At(s, 0, kApp1)) return At(s, 6, "Exif") ? C::kJpg : C::kNone;
  return C::kNone;
}

C TestPng(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  return At(s, 0, kSignature) ? C::kPng : C::kNone;
}

C TestPsd(ByteView s, const CarveContext&) { return s.size() >= 40 && At(s, 0, "8BPS") ? C::kPsd : C::kNone; }

C TestTiff(ByteView s, const CarveContext&) {
  static constexpr uint8_t kBigEndian[] = {0x4D, 0x4D, 0x00, 0x2A};
  static constexpr uint8_t kLittleEndian[] = {0x49, 0x49, 0x2A, 0x00};
  return At(s, 0, kBigEndian) || At(s, 0, kLittleEndian) ? C::kTif : C::kNone;
}

// Icon directory whose images follow it back to back, in directory order.
C TestIcon(ByteView s, const CarveContext&) {
  static constexpr uint8_t kIconHeader[] = {0x00, 0x00, 0x01, 0x00};
  if (s.size() < 16 || !At(s, 0, kIconHeader)) return C::kNone;
  const uint32_t count = s.le16(4);
  const uint64_t directoryEnd = 6 + 16ull * count;
  if (count == 0 || directoryEnd > s.size()) return C::kNone;
  uint64_t expectedOffset = directoryEnd;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    if (s.u8(entry + 3) != 0 || s.le32(entry + 12) != expectedOffset) return C::kNone;
    expectedOffset += s.le32(entry + 8);
  }
  return C::kIco;
}

// Case-insensitive prefix compare of a UTF-16LE name with ASCII text.
bool Utf16NameStarts(ByteView entry, std::string_view text) {
  if (!entry.Has(0, 2 * text.size())) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    uint16_t c = entry.le16(2 * i);
    if (c > 0x7F || LowerAscii(static_cast<uint8_t>(c)) != LowerAscii(static_cast<uint8_t>(text[i]))) return false;
  }
  return true;
}

// Which application wrote a compound document: the first stream sector
// (Word's file information block, Excel's BIFF8 BOF record), then the root
// entry's class identifier, then the stream names of the first directory
// sector. Assumes compound-file sectors of the device's sector size.
C CompoundSubType(ByteView header, const CarveContext& context) {
  const uint32_t s = context.sectorSize;
  if (s == 0) return C::kOle;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[s]);
  if (!buffer || context.Read(context.currentSector + 1, 1, buffer.get()) != kOk) return C::kOle;
  ByteView next(buffer.get(), s);
  if (next.le16(0) == 0xA5EC) return C::kDoc;
  if (next.le16(0) == 0x0809 && next.le16(2) == 0x0010 && next.le16(4) == 0x0600) return C::kXls;

  const uint64_t directorySector = context.currentSector + header.le32(48) + 1;
  if (context.Read(directorySector, 1, buffer.get()) != kOk) return C::kOle;
  ByteView directory(buffer.get(), s);
  if (AtGuid(directory, 80, kWordClass)) return C::kDoc;
  if (AtGuid(directory, 80, kExcelClass) || AtGuid(directory, 80, kExcel5Class)) return C::kXls;
  if (AtGuid(directory, 80, kPowerPointClass)) return C::kPpt;
  for (uint32_t i = 0; i < s / 128; ++i) {
    ByteView entry = directory.Sub(128 * static_cast<size_t>(i), 128);
    if (Utf16NameStarts(entry, "WordDocument")) return C::kDoc;
    if (Utf16NameStarts(entry, "Workbook")) return C::kXls;
    if (Utf16NameStarts(entry, "PowerPoint Document")) return C::kPpt;
  }
  return C::kOle;
}

C TestCompound(ByteView s, const CarveContext& context) {
  static constexpr uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  return At(s, 0, kSignature) ? CompoundSubType(s, context) : C::kNone;
}

// First position at or after `from` where the 4 bytes occur, or SIZE_MAX.
size_t Find4(ByteView window, size_t from, const uint8_t (&pattern)[4]) {
  for (size_t i = from; i + 4 <= window.size(); ++i)
    if (window.Equals(i, pattern, 4)) return i;
  return SIZE_MAX;
}

// The Office Open XML type an entry name announces ("word/", "ppt/", "xl/").
C OfficeTypeOfName(ByteView window, size_t nameStart) {
  static constexpr struct {
    std::string_view prefix;
    C code;
  } kPrefixes[] = {{"word", C::kDocx}, {"ppt", C::kPptx}, {"xl", C::kXlsx}};
  for (const auto& p : kPrefixes) {
    if (!window.Has(nameStart, p.prefix.size())) continue;
    bool same = true;
    for (size_t i = 0; same && i < p.prefix.size(); ++i)
      same = LowerAscii(window.u8(nameStart + i)) == static_cast<uint8_t>(p.prefix[i]);
    if (same) return p.code;
  }
  return C::kNone;
}

// Looks for an Office Open XML part name among the local and central
// headers of the ZIP's first 20 sectors, read as five windows of four
// sectors; each window keeps the last 4 bytes of the one before so that a
// signature across the seam is still found.
C OfficeOpenXmlSubType(const CarveContext& context) {
  static constexpr uint8_t kLocalHeader[] = {0x50, 0x4B, 0x03, 0x04};
  static constexpr uint8_t kCentralHeader[] = {0x50, 0x4B, 0x01, 0x02};
  static constexpr uint8_t kEndRecord[] = {0x50, 0x4B, 0x05, 0x06};
  constexpr uint32_t kWindowSectors = 4;
  constexpr int kWindows = 5;
  const uint32_t s = context.sectorSize;
  if (s == 0) return C::kNone;
  const size_t length = 4 + static_cast<size_t>(kWindowSectors) * s;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length]());
  if (!buffer) return C::kNone;
  for (int w = 0; w < kWindows; ++w) {
    if (w > 0) std::memcpy(buffer.get(), buffer.get() + length - 4, 4);
    if (context.Read(context.currentSector + static_cast<uint64_t>(w) * kWindowSectors, kWindowSectors,
                     buffer.get() + 4) != kOk)
      return C::kNone;
    ByteView window(buffer.get(), length);
    const size_t end = Find4(window, 0, kEndRecord);
    size_t localFrom = 0, centralFrom = 0;
    bool localLive = true, centralLive = true;
    while (localLive || centralLive) {
      if (localLive) {
        size_t at = Find4(window, localFrom, kLocalHeader);
        if (at == SIZE_MAX || (end != SIZE_MAX && at > end) || length - (at + 4) <= 4) {
          localLive = false;
        } else {
          if (C code = OfficeTypeOfName(window, at + 30); code != C::kNone) return code;
          localFrom = at + 4;
        }
      }
      if (centralLive) {
        size_t at = Find4(window, centralFrom, kCentralHeader);
        if (at == SIZE_MAX || (end != SIZE_MAX && at > end) || length - (at + 4) < 48) {
          centralLive = false;
        } else {
          if (C code = OfficeTypeOfName(window, at + 46); code != C::kNone) return code;
          centralFrom = at + 4;
        }
      }
    }
  }
  return C::kNone;
}

C TestOfficeOpenXml(ByteView s, const CarveContext& context) {
  static constexpr uint8_t kLocalHeader[] = {0x50, 0x4B, 0x03, 0x04};
  return s.size() >= 31 && At(s, 0, kLocalHeader) ? OfficeOpenXmlSubType(context) : C::kNone;
}

C TestPdf(ByteView s, const CarveContext&) { return At(s, 0, "%PDF-") ? C::kPdf : C::kNone; }

C TestGzip(ByteView s, const CarveContext&) {
  static constexpr uint8_t kDeflate[] = {0x1F, 0x8B, 0x08};
  if (s.size() < 16 || !At(s, 0, kDeflate)) return C::kNone;
  const uint8_t flags = s.u8(3), extra = s.u8(8), os = s.u8(9);
  if (flags != 0x00 && flags != 0x08) return C::kNone;
  if (extra != 0x02 && extra != 0x04) return C::kNone;
  return os <= 0x0D || os == 0xFF ? C::kGz : C::kNone;
}

C Test7z(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27};
  return At(s, 0, kSignature) ? C::k7z : C::kNone;
}

C TestZip(ByteView s, const CarveContext&) {
  static constexpr uint8_t kLocalHeader[] = {0x50, 0x4B, 0x03, 0x04};
  return s.size() >= 48 && At(s, 0, kLocalHeader) ? C::kZip : C::kNone;
}

C TestRar(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  return At(s, 0, kSignature) ? C::kRar : C::kNone;
}

C TestCab(ByteView s, const CarveContext&) { return s.size() >= 36 && At(s, 0, "MSCF") ? C::kCab : C::kNone; }

// Windows PE image; the characteristics tell a driver from a library from
// a program.
C TestPe(ByteView s, const CarveContext&) {
  static constexpr uint8_t kPeSignature[] = {'P', 'E', 0x00, 0x00};
  if (s.size() < 512 || !At(s, 0, "MZ")) return C::kNone;
  const uint32_t header = s.le32(60);
  if (header > 488 || !At(s, header, kPeSignature)) return C::kNone;
  const uint16_t characteristics = s.le16(header + 22);
  if ((characteristics & 0x0002) == 0) return C::kNone;
  if (characteristics & 0x1000) return C::kSys;
  if (characteristics & 0x2000) return C::kDll;
  return C::kExe;
}

C TestGhost(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0xFE, 0xEF, 0x00, 0x00};
  return At(s, 0, kSignature) ? C::kGho : C::kNone;
}

C TestSqlite(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                           'o', 'r', 'm', 'a', 't', ' ', '3', 0x00};
  return s.size() >= 16 && At(s, 0, kSignature) ? C::kDb : C::kNone;
}

C TestDbx(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0xCF, 0xAD, 0x12, 0xFE};
  return s.size() >= 16 && At(s, 0, kSignature) ? C::kDbx : C::kNone;
}

C TestPst(ByteView s, const CarveContext&) {
  return s.size() >= 16 && At(s, 0, "!BDN") && At(s, 8, "SM") ? C::kPst : C::kNone;
}

// Reached only by compound documents the compound row did not take, which
// never happens for a full signature; kept for the table's completeness.
C TestFla(ByteView s, const CarveContext&) {
  static constexpr uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0};
  return s.size() >= 16 && At(s, 0, kSignature) ? C::kFla : C::kNone;
}

C TestTrueType(ByteView s, const CarveContext&) {
  static constexpr uint8_t kVersion[] = {0x00, 0x01, 0x00, 0x00};
  if (s.size() < 16 || !At(s, 0, kVersion)) return C::kNone;
  const uint32_t tables = s.be16(4);
  if (tables == 0 || s.be16(6) == 0 || s.be16(8) == 0 || s.be16(10) == 0) return C::kNone;
  if (16 + 16ull * tables > s.size()) return C::kNone;
  return At(s, 12 + 16 * static_cast<size_t>(tables), kVersion) ? C::kTtf : C::kNone;
}

// ---------------------------------------------------------------------------
// The table.

template <size_t N>
using Exts = std::array<ExtensionCode, N>;
template <size_t N>
using Codes = std::array<FileTypeCode, N>;

constexpr Exts<3> kMpegExts{{{"mpeg", C::kMpeg}, {"mpg", C::kMpeg}, {"vob", C::kMpeg}}};
constexpr Exts<1> kMp4Exts{{{"mp4", C::kMp4}}};
constexpr Exts<2> kRmExts{{{"rmvb", C::kRmvb}, {"rm", C::kRmvb}}};
constexpr Exts<3> kAsfExts{{{"wmv", C::kWmv}, {"asf", C::kWmv}, {"wma", C::kWmv}}};
constexpr Exts<1> kSwfExts{{{"swf", C::kSwf}}};
constexpr Exts<1> kAviExts{{{"avi", C::kAvi}}};
constexpr Exts<1> kFlvExts{{{"flv", C::kFlv}}};
constexpr Exts<1> k3gpExts{{{"3gp", C::k3gp}}};
constexpr Exts<1> kMkvExts{{{"mkv", C::kMkv}}};
constexpr Exts<1> kTsExts{{{"ts", C::kTs}}};
constexpr Exts<1> kMtsExts{{{"mts", C::kMts}}};
constexpr Exts<1> kMxfExts{{{"mxf", C::kMxf}}};
constexpr Exts<1> kMp3Exts{{{"mp3", C::kMp3}}};
constexpr Exts<1> kMidExts{{{"mid", C::kMid}}};
constexpr Exts<1> kApeExts{{{"ape", C::kApe}}};
constexpr Exts<1> kWavExts{{{"wav", C::kWav}}};
constexpr Exts<1> kMovExts{{{"mov", C::kMov}}};
constexpr Exts<1> kMp2Exts{{{"mp2", C::kMp2}}};
constexpr Exts<1> kMmfExts{{{"mmf", C::kMmf}}};
constexpr Exts<1> kGifExts{{{"gif", C::kGif}}};
constexpr Exts<2> kBmpExts{{{"bmp", C::kBmp}, {"dib", C::kBmp}}};
constexpr Exts<4> kJpgExts{{{"jpg", C::kJpg}, {"jpeg", C::kJpg}, {"jpe", C::kJpg}, {"jfif", C::kJpg}}};
constexpr Exts<1> kPngExts{{{"png", C::kPng}}};
constexpr Exts<1> kPsdExts{{{"psd", C::kPsd}}};
constexpr Exts<2> kTifExts{{{"tif", C::kTif}, {"tiff", C::kTif}}};
constexpr Exts<1> kIcoExts{{{"ico", C::kIco}}};
constexpr Exts<15> kCompoundExts{{{"doc", C::kDoc},
                                  {"dot", C::kDoc},
                                  {"wps", C::kDoc},
                                  {"wpt", C::kDoc},
                                  {"xls", C::kXls},
                                  {"xlt", C::kXls},
                                  {"xla", C::kXls},
                                  {"et", C::kXls},
                                  {"ett", C::kXls},
                                  {"ppt", C::kPpt},
                                  {"pot", C::kPpt},
                                  {"pps", C::kPpt},
                                  {"dps", C::kPpt},
                                  {"dpt", C::kPpt},
                                  {"ole", C::kOle}}};
constexpr Exts<16> kOfficeExts{{{"docx", C::kDocx},
                                {"docm", C::kDocx},
                                {"dotm", C::kDocx},
                                {"dotx", C::kDocx},
                                {"xlsx", C::kXlsx},
                                {"xlsb", C::kXlsx},
                                {"xlsm", C::kXlsx},
                                {"xlam", C::kXlsx},
                                {"xltx", C::kXlsx},
                                {"xltm", C::kXlsx},
                                {"pptx", C::kPptx},
                                {"pptm", C::kPptx},
                                {"potx", C::kPptx},
                                {"potm", C::kPptx},
                                {"ppsx", C::kPptx},
                                {"ppsm", C::kPptx}}};
constexpr Exts<1> kPdfExts{{{"pdf", C::kPdf}}};
constexpr Exts<2> kGzExts{{{"gz", C::kGz}, {"gzip", C::kGz}}};
constexpr Exts<1> k7zExts{{{"7z", C::k7z}}};
constexpr Exts<1> kZipExts{{{"zip", C::kZip}}};
constexpr Exts<1> kRarExts{{{"rar", C::kRar}}};
constexpr Exts<1> kCabExts{{{"cab", C::kCab}}};
constexpr Exts<3> kPeExts{{{"exe", C::kExe}, {"dll", C::kDll}, {"sys", C::kSys}}};
constexpr Exts<1> kGhoExts{{{"gho", C::kGho}}};
constexpr Exts<1> kDbExts{{{"db", C::kDb}}};
constexpr Exts<1> kDbxExts{{{"dbx", C::kDbx}}};
constexpr Exts<1> kPstExts{{{"pst", C::kPst}}};
constexpr Exts<1> kFlaExts{{{"fla", C::kFla}}};
constexpr Exts<1> kTtfExts{{{"ttf", C::kTtf}}};

constexpr Codes<1> kMpegCodes{C::kMpeg};
constexpr Codes<1> kMp4Codes{C::kMp4};
constexpr Codes<1> kRmCodes{C::kRmvb};
constexpr Codes<1> kAsfCodes{C::kWmv};
constexpr Codes<1> kSwfCodes{C::kSwf};
constexpr Codes<1> kAviCodes{C::kAvi};
constexpr Codes<1> kFlvCodes{C::kFlv};
constexpr Codes<1> k3gpCodes{C::k3gp};
constexpr Codes<1> kMkvCodes{C::kMkv};
constexpr Codes<1> kTsCodes{C::kTs};
constexpr Codes<1> kMtsCodes{C::kMts};
constexpr Codes<1> kMxfCodes{C::kMxf};
constexpr Codes<1> kMp3Codes{C::kMp3};
constexpr Codes<1> kMidCodes{C::kMid};
constexpr Codes<1> kApeCodes{C::kApe};
constexpr Codes<1> kWavCodes{C::kWav};
constexpr Codes<1> kMovCodes{C::kMov};
constexpr Codes<1> kMp2Codes{C::kMp2};
constexpr Codes<1> kMmfCodes{C::kMmf};
constexpr Codes<1> kGifCodes{C::kGif};
constexpr Codes<1> kBmpCodes{C::kBmp};
constexpr Codes<1> kJpgCodes{C::kJpg};
constexpr Codes<1> kPngCodes{C::kPng};
constexpr Codes<1> kPsdCodes{C::kPsd};
constexpr Codes<1> kTifCodes{C::kTif};
constexpr Codes<1> kIcoCodes{C::kIco};
constexpr Codes<4> kCompoundCodes{C::kDoc, C::kXls, C::kPpt, C::kOle};
constexpr Codes<3> kOfficeCodes{C::kDocx, C::kXlsx, C::kPptx};
constexpr Codes<1> kPdfCodes{C::kPdf};
constexpr Codes<1> kGzCodes{C::kGz};
constexpr Codes<1> k7zCodes{C::k7z};
constexpr Codes<1> kZipCodes{C::kZip};
constexpr Codes<1> kRarCodes{C::kRar};
constexpr Codes<1> kCabCodes{C::kCab};
constexpr Codes<3> kPeCodes{C::kExe, C::kDll, C::kSys};
constexpr Codes<1> kGhoCodes{C::kGho};
constexpr Codes<1> kDbCodes{C::kDb};
constexpr Codes<1> kDbxCodes{C::kDbx};
constexpr Codes<1> kPstCodes{C::kPst};
constexpr Codes<1> kFlaCodes{C::kFla};
constexpr Codes<1> kTtfCodes{C::kTtf};

using R = SizeRule;
using Resume = ResumeRule;

const SignatureEntry kCatalogue[] = {
    {kMpegExts, kMpegCodes, TestMpeg, R::kMpegEndCode, 6 * kGiB, Resume::kAfterFile},
    {kMp4Exts, kMp4Codes, TestMp4, R::kIsoMediaTag, 6 * kGiB, Resume::kAfterFile},
    {kRmExts, kRmCodes, TestRealMedia, R::kRealMediaIndex, 6 * kGiB, Resume::kAfterFile},
    {kAsfExts, kAsfCodes, TestAsf, R::kAsfFileProperties, 0, Resume::kNextSector},
    {kSwfExts, kSwfCodes, TestSwf, R::kSwfHeader, 0, Resume::kNextSector},
    {kAviExts, kAviCodes, TestAvi, R::kRiffHeader, 0, Resume::kNextSector},
    {kFlvExts, kFlvCodes, TestFlv, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {k3gpExts, k3gpCodes, Test3gp, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {kMkvExts, kMkvCodes, TestMkv, R::kPlainScan, 64 * kGiB, Resume::kAfterFile},
    {kTsExts, kTsCodes, TestTransportStream, R::kTsPackets, 64 * kGiB, Resume::kAfterFile},
    {kMtsExts, kMtsCodes, TestMts, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {kMxfExts, kMxfCodes, TestMxf, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {kMp3Exts, kMp3Codes, TestMp3, R::kMp3Tag, 2 * kGiB, Resume::kAfterFile},
    {kMidExts, kMidCodes, TestMidi, R::kMidiTracks, 8 * kMiB, Resume::kAfterFile},
    {kApeExts, kApeCodes, TestApe, R::kApeTag, 2 * kGiB, Resume::kAfterFile},
    {kWavExts, kWavCodes, TestWav, R::kRiffHeader, 0, Resume::kNextSector},
    {kMovExts, kMovCodes, TestMov, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {kMp2Exts, kMp2Codes, TestMp2, R::kPlainScan, 256 * kMiB, Resume::kAfterFile},
    {kMmfExts, kMmfCodes, TestMmf, R::kPlainScan, 256 * kMiB, Resume::kAfterFile},
    {kGifExts, kGifCodes, TestGif, R::kGifEnd, 128 * kMiB, Resume::kAfterFile},
    {kBmpExts, kBmpCodes, TestBmp, R::kBmpHeader, 0, Resume::kNextSector},
    {kJpgExts, kJpgCodes, TestJpeg, R::kJpegEnd, 128 * kMiB, Resume::kAfterFile},
    {kPngExts, kPngCodes, TestPng, R::kPngEnd, 128 * kMiB, Resume::kAfterFile},
    {kPsdExts, kPsdCodes, TestPsd, R::kPlainScan, 128 * kMiB, Resume::kAfterFile},
    {kTifExts, kTifCodes, TestTiff, R::kPlainScan, 128 * kMiB, Resume::kAfterFile},
    {kIcoExts, kIcoCodes, TestIcon, R::kIconDirectory, 0, Resume::kNextSector},
    {kCompoundExts, kCompoundCodes, TestCompound, R::kCompoundFile, 0, Resume::kNextSector},
    {kOfficeExts, kOfficeCodes, TestOfficeOpenXml, R::kZipEndRecord, kOfficeCap, Resume::kAfterFile},
    {kPdfExts, kPdfCodes, TestPdf, R::kPdfEnd, 1 * kGiB, Resume::kAfterFile},
    {kGzExts, kGzCodes, TestGzip, R::kPlainScan, 6 * kGiB, Resume::kAfterFile},
    {k7zExts, k7zCodes, Test7z, R::k7zEnd, 4 * kGiB, Resume::kAfterFile},
    {kZipExts, kZipCodes, TestZip, R::kZipEndRecord, 4 * kGiB, Resume::kAfterFile},
    {kRarExts, kRarCodes, TestRar, R::kRarEndBlock, 4 * kGiB, Resume::kAfterFile},
    {kCabExts, kCabCodes, TestCab, R::kCabHeader, 0, Resume::kNextSector},
    {kPeExts, kPeCodes, TestPe, R::kNone, 0, Resume::kNeverCarved},
    {kGhoExts, kGhoCodes, TestGhost, R::kNone, 0, Resume::kNeverCarved},
    {kDbExts, kDbCodes, TestSqlite, R::kPlainScan, 4 * kGiB, Resume::kAfterFile},
    {kDbxExts, kDbxCodes, TestDbx, R::kPlainScan, 2 * kGiB, Resume::kAfterFile},
    {kPstExts, kPstCodes, TestPst, R::kPlainScan, 2 * kGiB, Resume::kAfterFile},
    {kFlaExts, kFlaCodes, TestFla, R::kPlainScan, 256 * kMiB, Resume::kAfterFile},
    {kTtfExts, kTtfCodes, TestTrueType, R::kTrueTypeTables, 0, Resume::kNextSector},
};

// The first row that can yield the code, or null.
const SignatureEntry* EntryOfCode(FileTypeCode code) {
  if (code == C::kNone) return nullptr;
  for (const SignatureEntry& entry : kCatalogue)
    for (FileTypeCode c : entry.codes)
      if (c == code) return &entry;
  return nullptr;
}

bool SameExtension(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(static_cast<uint8_t>(a[i])) != LowerAscii(static_cast<uint8_t>(b[i]))) return false;
  return true;
}

// The first row whose extension list holds the extension, with the code
// listed for it.
const SignatureEntry* EntryOfExtension(std::string_view extension, FileTypeCode* code) {
  if (extension.empty()) return nullptr;
  for (const SignatureEntry& entry : kCatalogue)
    for (const ExtensionCode& e : entry.extensions)
      if (SameExtension(e.name, extension)) {
        *code = e.code;
        return &entry;
      }
  return nullptr;
}

}  // namespace

std::span<const SignatureEntry> SignatureCatalogue() { return kCatalogue; }

FileTypeCode DetectFileType(ByteView sector, const CarveContext& context) {
  for (const SignatureEntry& entry : kCatalogue) {
    FileTypeCode code = entry.test(sector, context);
    if (code != C::kNone) return code;
  }
  return C::kNone;
}

std::string_view ExtensionOf(FileTypeCode code) {
  const SignatureEntry* entry = EntryOfCode(code);
  if (!entry) return {};
  for (const ExtensionCode& e : entry->extensions)
    if (e.code == code) return e.name;
  return {};
}

SizeRule SizeRuleOf(FileTypeCode code) {
  const SignatureEntry* entry = EntryOfCode(code);
  return entry ? entry->sizeRule : SizeRule::kNone;
}

uint64_t SizeCapOf(FileTypeCode code) {
  const SignatureEntry* entry = EntryOfCode(code);
  return entry ? entry->sizeCap : 0;
}

ResumeRule ResumeRuleOf(FileTypeCode code) {
  const SignatureEntry* entry = EntryOfCode(code);
  return entry ? entry->resume : ResumeRule::kNeverCarved;
}

FileTypeCode CodeOfExtension(std::string_view extension) {
  FileTypeCode code = C::kNone;
  EntryOfExtension(extension, &code);
  return code;
}

bool ContentMatchesExtension(ByteView sector, uint32_t sectorSize, std::string_view extension, SectorDevice* reader,
                             uint64_t sectorNumber) {
  if (size_t dot = extension.rfind('.'); dot != std::string_view::npos) extension.remove_prefix(dot + 1);
  FileTypeCode wanted = C::kNone;
  const SignatureEntry* entry = EntryOfExtension(extension, &wanted);
  if (!entry) return true;
  CarveContext context;
  context.sectorSize = sectorSize;
  context.reader = reader;
  context.startSector = sectorNumber;
  context.currentSector = sectorNumber;
  context.tsFlag = false;
  return entry->test(sector.Sub(0, sectorSize), context) == wanted;
}

}  // namespace mendwell

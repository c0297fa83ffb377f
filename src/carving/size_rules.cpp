#include "carving/size_rules.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "carving/structure_probe.h"

namespace mendwell {

namespace {

using C = FileTypeCode;

constexpr uint64_t kMiB = 1024ull * 1024;
constexpr uint64_t kGiB = 1024ull * kMiB;
constexpr uint64_t kCompoundCap = 134217727;  // one byte below 128 MiB
constexpr size_t kNotFound = SIZE_MAX;

// ---------------------------------------------------------------------------
// Byte searches over a block.

size_t FindFirst(ByteView v, size_t from, const void* pattern, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(pattern);
  if (length == 0 || v.size() < length) return kNotFound;
  const uint8_t* data = v.data();
  const size_t lastStart = v.size() - length;
  while (from <= lastStart) {
    const void* hit = std::memchr(data + from, p[0], lastStart - from + 1);
    if (!hit) return kNotFound;
    size_t at = static_cast<const uint8_t*>(hit) - data;
    if (std::memcmp(data + at, p, length) == 0) return at;
    from = at + 1;
  }
  return kNotFound;
}

size_t FindLast(ByteView v, const void* pattern, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(pattern);
  if (length == 0 || v.size() < length) return kNotFound;
  for (size_t at = v.size() - length + 1; at-- > 0;)
    if (v.data()[at] == p[0] && std::memcmp(v.data() + at, p, length) == 0) return at;
  return kNotFound;
}

size_t FindFirst(ByteView v, size_t from, std::string_view text) { return FindFirst(v, from, text.data(), text.size()); }
size_t FindLast(ByteView v, std::string_view text) { return FindLast(v, text.data(), text.size()); }

// An end marker counts only when the rest of the sector after it is zero
// (files end inside a sector and the slack behind them is cleared).
bool ZeroFilled(ByteView area, size_t end, uint32_t sectorSize) {
  if (end % sectorSize == 0) return true;
  const size_t sectorEnd = std::min(area.size(), (end / sectorSize + 1) * static_cast<size_t>(sectorSize));
  for (size_t i = end; i < sectorEnd; ++i)
    if (area.data()[i] != 0) return false;
  return true;
}

// The end (offset just past it) of the first occurrence of the pattern that
// passes the zero-fill rule, or kNotFound.
size_t FirstZeroFilledEnd(ByteView area, const void* pattern, size_t length, uint32_t sectorSize) {
  for (size_t at = FindFirst(area, 0, pattern, length); at != kNotFound; at = FindFirst(area, at + 1, pattern, length))
    if (ZeroFilled(area, at + length, sectorSize)) return at + length;
  return kNotFound;
}

// ---------------------------------------------------------------------------
// The walk that stops at the next recognised file or structure.

template <bool kMpegTolerant>
bool WalkToNextStart(CarveContext& context, ByteView block, uint64_t* size) {
  const uint32_t s = context.sectorSize;
  const size_t sectors = s ? block.size() / s : 0;
  for (size_t i = 0; i < sectors; ++i) {
    ++context.currentSector;
    ByteView sector = block.Sub(i * s, s);
    bool stop = false;
    if (MayStartFile(sector)) {
      FileTypeCode code = DetectFileType(sector, context);
      stop = code != C::kNone && !(kMpegTolerant && code == C::kMpeg);
    }
    if (!stop) stop = IsFileSystemStructure(sector);
    if (stop) {
      *size += static_cast<uint64_t>(i) * s;
      return true;
    }
  }
  return false;
}

// Calls the progress callback for a block read ahead; false when it asked
// to stop (its answer is kept as the cancel result).
bool ReportProgress(CarveContext& context, uint64_t progress) {
  if (!context.progress) return true;
  const uint64_t total = context.progressTotal ? context.progressTotal : 1;
  const int32_t percent = static_cast<int32_t>(progress * 100 / total + 10);
  context.cancelResult = context.progress(context.progressUser, percent, context.progressScale, context.secondsLeft,
                                          progress, total, context.filesFound, 0);
  return context.cancelResult == kOk;
}

// What an end test tells the block scan.
struct EndVerdict {
  bool final = false;
  uint64_t size = 0;
};
constexpr EndVerdict kGoOn{};
EndVerdict Final(uint64_t size) { return EndVerdict{true, size}; }

// One read-ahead block as an end test sees it: its bytes, the file bytes
// before it, and the size the scan reached with it (the stop when the walk
// stopped inside it, else its end).
struct Block {
  ByteView bytes;
  uint64_t base;
  uint64_t reached;
};

// The read-ahead frame shared by most rules. Reads up to cap / S sectors
// after the first one, block by block, never past the device's end; the
// end test sees every block and may end the scan with a final size.
template <class EndTest>
uint64_t BlockScan(CarveContext& context, uint64_t cap, bool mpegTolerant, EndTest&& endTest) {
  const uint32_t s = context.sectorSize;
  uint64_t size = s, base = s, read = 0;
  uint64_t remaining = cap / s;
  uint64_t progress = context.progressBase;
  if (!context.scratch || !context.reader) return size;
  const uint32_t blockSectors = kCarveBlockBytes / s;
  const uint64_t deviceEnd = context.reader->sectorCount;
  while (remaining != 0) {
    const uint64_t first = context.startSector + 1 + read;
    if (first >= deviceEnd) break;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>({blockSectors, remaining, deviceEnd - first}));
    if (context.Read(first, n, context.scratch.get()) != kOk) break;
    progress += n;
    if (!ReportProgress(context, progress)) break;
    ByteView bytes(context.scratch.get(), static_cast<size_t>(n) * s);
    const bool stopped = mpegTolerant ? WalkToNextStart<true>(context, bytes, &size)
                                      : WalkToNextStart<false>(context, bytes, &size);
    // The end test sees the block only up to the next file's start: a
    // marker behind it belongs to that file, not to this one.
    ByteView own = stopped ? bytes.Sub(0, static_cast<size_t>(size - base)) : bytes;
    EndVerdict verdict = endTest(Block{own, base, base + own.size()});
    if (verdict.final) return verdict.size;
    if (stopped) break;
    size += bytes.size();
    base += bytes.size();
    read += n;
    remaining -= n;
  }
  return size;
}

uint64_t PlainScan(CarveContext& context, uint64_t cap) {
  return BlockScan(context, cap, false, [](const Block&) { return kGoOn; });
}

// ---------------------------------------------------------------------------
// Header-size rules: the first sector states the length.

uint64_t BmpHeaderSize(ByteView first) {
  if (first.size() < 6) return 0;
  return std::min<uint64_t>(first.le32(2), 128 * kMiB);
}

uint64_t RiffHeaderSize(const CarveContext& context, FileTypeCode code, ByteView first) {
  if (code == C::kAvi && first.size() < 16) return context.sectorSize;
  // 32-bit arithmetic, as RIFF sizes are.
  return static_cast<uint32_t>(first.le32(4) + 8u);
}

uint64_t SwfHeaderSize(const CarveContext& context, ByteView first) {
  if (first.u8(0) == 'F') return std::min<uint64_t>(first.le32(4), 256 * kMiB);
  return context.sectorSize;  // compressed: the length is that of the inflated file
}

uint64_t AsfHeaderSize(const CarveContext& context, ByteView first) {
  // File Properties Object {8CABDCA1-A947-11CF-8EE4-00C00C205365} as stored.
  static constexpr uint8_t kFileProperties[] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const size_t at = FindFirst(first, 30, kFileProperties, sizeof kFileProperties);
  // A broadcast file's size field is not valid; a field outside the sector is unknown.
  if (at == kNotFound || !first.Has(at + 88, 4) || (first.le32(at + 88) & 1)) return context.sectorSize;
  return std::min<uint64_t>(first.le64(at + 40), 256 * kMiB);
}

uint64_t CabHeaderSize(const CarveContext& context, ByteView first) {
  if (first.size() < 36) return context.sectorSize;
  return std::min<uint64_t>(first.le32(8), 1 * kGiB);
}

// The table directory (TrueType) or icon directory may run past the first
// sector: then one block from the file's start is read instead.
ByteView DirectoryView(CarveContext& context, ByteView first, uint64_t needed) {
  if (needed <= first.size()) return first;
  if (!context.scratch || !context.reader || context.startSector >= context.reader->sectorCount) return {};
  const uint32_t n = static_cast<uint32_t>(
      std::min<uint64_t>(kCarveBlockBytes / context.sectorSize, context.reader->sectorCount - context.startSector));
  if (context.Read(context.startSector, n, context.scratch.get()) != kOk) return {};
  return ByteView(context.scratch.get(), static_cast<size_t>(n) * context.sectorSize);
}

uint64_t TrueTypeSize(CarveContext& context, ByteView first) {
  const uint32_t tables = first.be16(4);
  ByteView directory = DirectoryView(context, first, 12 + 16ull * tables);
  if (directory.empty()) return context.sectorSize;
  uint64_t size = 0;
  for (uint32_t i = 0; i < tables && directory.Has(12 + 16ull * i, 16); ++i) {
    const size_t record = 12 + 16 * static_cast<size_t>(i);
    size = std::max<uint64_t>(size, static_cast<uint64_t>(directory.be32(record + 8)) + directory.be32(record + 12));
  }
  return size;
}

uint64_t IconSize(CarveContext& context, ByteView first) {
  const uint32_t count = first.le16(4);
  ByteView directory = DirectoryView(context, first, 6 + 16ull * count);
  if (directory.empty() || count == 0) return context.sectorSize;
  const size_t last = 6 + 16 * static_cast<size_t>(count - 1);
  return static_cast<uint64_t>(directory.le32(last + 12)) + directory.le32(last + 8);
}

// ---------------------------------------------------------------------------
// Compound files: the allocation table tells the length; when it cannot,
// the Word document stream is looked for.

uint64_t CompoundFromAllocationTable(CarveContext& context, ByteView header) {
  const uint32_t s = context.sectorSize;
  const uint32_t shift = header.le16(30);
  if (shift != 9 && shift != 12) return 0;
  const uint64_t m = (0xFFFFFFFAull >> (shift - 2)) + 1;
  const uint64_t tableSectors = header.le32(44);
  const uint64_t extraSectors = header.le32(72);
  if (tableSectors > m || header.le32(64) > m) return 0;
  if (extraSectors > m / ((1ull << (shift - 2)) - 1) + 1) return 0;
  if (extraSectors != 0 && tableSectors < 109) return 0;
  // Without extra index sectors the header lists at most 109 table sectors.
  if (tableSectors == 0 || (extraSectors == 0 && tableSectors > 109)) return 0;
  // No more extra index sectors than the table sectors beyond the header's
  // 109 need, so that a looping chain is walked a bounded number of times.
  if (extraSectors != 0 && extraSectors > (tableSectors - 109) / 127 + 1) return 0;
  const uint64_t count = 128 * tableSectors + 1;
  // Even a wholly free last table sector leaves more than the cap: no need
  // to read it (this also bounds the walk of the extra index chain).
  if ((count - 128) * s >= kCompoundCap) return kCompoundCap;
  if (!context.scratch) return 0;

  uint8_t* buffer = context.scratch.get();
  uint32_t lastTable = 0;
  if (extraSectors == 0) {
    lastTable = header.le32(76 + 4 * static_cast<size_t>(tableSectors - 1));
  } else {
    uint32_t index = header.le32(68);
    for (uint64_t k = 1;; ++k) {
      if (context.Read(context.currentSector + index + 1, 1, buffer) != kOk) return 0;
      ByteView sector(buffer, s);
      if (k == extraSectors) {
        const uint64_t r = (tableSectors - 109) % 127;
        lastTable = sector.le32(4 * static_cast<size_t>(r == 0 ? 126 : r - 1));
        break;
      }
      index = sector.le32(508);
      if (index >= 0xFFFFFFFC) return 0;  // the chain ends before the last table sector
    }
  }
  if (context.Read(context.currentSector + lastTable + 1, 1, buffer) != kOk) return 0;
  ByteView table(buffer, s);
  uint64_t free = 0;
  for (int group = 31; group >= 0; --group) {
    int inGroup = 0;
    for (int e = 3; e >= 0 && table.le32(4 * static_cast<size_t>(group * 4 + e)) == 0xFFFFFFFF; --e) ++inGroup;
    free += inGroup;
    if (inGroup != 4) break;
  }
  return std::min<uint64_t>((count - free) * s, kCompoundCap);
}

uint64_t CompoundDocumentStream(CarveContext& context) {
  static constexpr uint8_t kObjectStream[] = {0x01, 0x00, 0xFE, 0xFF, 0x03, 0x0A};
  static constexpr uint8_t kWordName[] = {'M', 'i', 'c', 'r', 'o', 's', 'o', 'f', 't', ' ', 'O', 'f', 'f',
                                          'i', 'c', 'e', ' ', 'W', 'o', 'r', 'd', ' ', 0xCE, 0xC4, 0xB5, 0xB5};
  const uint32_t s = context.sectorSize;
  return BlockScan(context, kCompoundCap, false, [&](const Block& b) {
    if (FindFirst(b.bytes, 0, kObjectStream, sizeof kObjectStream) == kNotFound) return kGoOn;
    const size_t at = FindFirst(b.bytes, 0, kWordName, sizeof kWordName);
    if (at == kNotFound) return kGoOn;
    const uint64_t end = at + sizeof kWordName;
    return Final(b.base + (end + s - 1) / s * s);
  });
}

uint64_t CompoundSize(CarveContext& context, ByteView first) {
  uint64_t size = CompoundFromAllocationTable(context, first);
  return size != 0 ? size : CompoundDocumentStream(context);
}

// ---------------------------------------------------------------------------
// End-marker rules.

uint64_t JpegSize(CarveContext& context, ByteView first) {
  static constexpr uint8_t kEnd[] = {0xFF, 0xD9};
  const uint32_t s = context.sectorSize;
  // Only the first marker of an area is tried: later ones may belong to
  // embedded thumbnails.
  if (size_t at = FindFirst(first, 0, kEnd, 2); at != kNotFound && ZeroFilled(first, at + 2, s)) return at + 2;
  uint64_t candidate = 0;
  uint64_t size = BlockScan(context, 128 * kMiB, false, [&](const Block& b) {
    const size_t at = FindFirst(b.bytes, 0, kEnd, 2);
    if (at != kNotFound && ZeroFilled(b.bytes, at + 2, s)) candidate = b.base + at + 2;
    return kGoOn;
  });
  return candidate != 0 && candidate < size ? candidate : size;
}

// GIF, PNG and RAR: the first marker that passes the zero-fill rule ends
// the file, in the first sector (when `inFirst`) or in a later block.
uint64_t MarkerEnd(CarveContext& context, ByteView first, const uint8_t* marker, size_t length, uint64_t cap,
                   bool inFirst) {
  const uint32_t s = context.sectorSize;
  if (inFirst)
    if (size_t e = FirstZeroFilledEnd(first, marker, length, s); e != kNotFound) return e;
  return BlockScan(context, cap, false, [&](const Block& b) {
    const size_t e = FirstZeroFilledEnd(b.bytes, marker, length, s);
    return e == kNotFound ? kGoOn : Final(b.base + e);
  });
}

uint64_t MpegSize(CarveContext& context, ByteView first) {
  static constexpr uint8_t kSequenceEnd[] = {0x00, 0x00, 0x01, 0xB7};
  static constexpr uint8_t kProgramEnd[] = {0x00, 0x00, 0x01, 0xB9};
  static constexpr uint8_t kSequenceHeader[] = {0x00, 0x00, 0x01, 0xB3};
  const uint8_t* end = first.Equals(0, kSequenceHeader, 4) ? kSequenceEnd : kProgramEnd;
  const uint32_t s = context.sectorSize;
  return BlockScan(context, 6 * kGiB, true, [&](const Block& b) {
    const size_t e = FirstZeroFilledEnd(b.bytes, end, 4, s);
    return e == kNotFound ? kGoOn : Final(b.base + e);
  });
}

uint64_t RealMediaSize(CarveContext& context) {
  static constexpr uint8_t kIndex[] = {'I', 'N', 'D', 'X', 0, 0, 0, 0x14, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0};
  return BlockScan(context, 6 * kGiB, false, [&](const Block& b) {
    const size_t at = FindFirst(b.bytes, 0, kIndex, sizeof kIndex);
    return at == kNotFound ? kGoOn : Final(b.base + at + sizeof kIndex);
  });
}

uint64_t IsoMediaSize(CarveContext& context) {
  static constexpr std::string_view kTag = "freeIsoMedia File Produced";
  return BlockScan(context, 6 * kGiB, false, [&](const Block& b) {
    const size_t at = FindFirst(b.bytes, 0, kTag);
    if (at == kNotFound) return kGoOn;
    size_t end = at + kTag.size();
    while (end < b.bytes.size() && b.bytes.data()[end] != 0) ++end;
    return Final(b.base + end);
  });
}

uint64_t Mp3Size(CarveContext& context) {
  uint64_t candidate = 0;
  uint64_t size = BlockScan(context, 2 * kGiB, false, [&](const Block& b) {
    if (size_t at = FindFirst(b.bytes, 0, "TAG"); at != kNotFound) candidate = b.base + at + 128;
    return kGoOn;
  });
  return candidate != 0 && candidate < size ? candidate : size;
}

uint64_t ApeSize(CarveContext& context) {
  static constexpr uint8_t kTag[] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07};
  return BlockScan(context, 2 * kGiB, false, [&](const Block& b) {
    const size_t at = FindFirst(b.bytes, 0, kTag, sizeof kTag);
    if (at == kNotFound) return kGoOn;
    const size_t footer = FindFirst(b.bytes, at + 1, kTag, sizeof kTag);
    return Final(footer != kNotFound ? b.base + footer + 32 : b.base + b.bytes.size());
  });
}

uint64_t PdfSize(CarveContext& context) {
  return BlockScan(context, 1 * kGiB, false, [&](const Block& b) {
    if (size_t at = FindLast(b.bytes, "%%EOF"); at != kNotFound) return Final(b.base + at + 5);
    if (size_t at = FindLast(b.bytes, "trailer"); at != kNotFound) return Final(b.base + at + 7);
    return kGoOn;
  });
}

uint64_t ZipSize(CarveContext& context, uint64_t cap) {
  static constexpr uint8_t kEndRecord[] = {0x50, 0x4B, 0x05, 0x06};
  return BlockScan(context, cap, false, [&](const Block& b) {
    const size_t at = FindLast(b.bytes, kEndRecord, 4);
    return at == kNotFound ? kGoOn : Final(b.base + at + 22);
  });
}

uint64_t SevenZipSize(CarveContext& context) {
  static constexpr uint8_t kEnd[] = {0x00, 0x07, 0x0B, 0x01, 0x00, 0x01, 0x23, 0x03, 0x01, 0x01, 0x05, 0x5D};
  return BlockScan(context, 4 * kGiB, false, [&](const Block& b) {
    const size_t at = FindLast(b.bytes, kEnd, sizeof kEnd);
    return at == kNotFound ? kGoOn : Final(b.base + at + 27);
  });
}

// MIDI: the header announces the number of track chunks; the file ends
// after the last of them. Chunks inside the first sector are walked by
// their lengths; later ones are found by their tags.
uint64_t MidiSize(CarveContext& context, ByteView first) {
  int64_t tracks = first.be16(10);
  uint64_t total = 14;
  while (tracks > 0 && first.Equals(total, "MTrk") && first.Has(total + 4, 4)) {
    total += 8 + static_cast<uint64_t>(first.be32(total + 4));
    if (--tracks == 0) return std::min<uint64_t>(total, 8 * kMiB);
  }
  bool done = false;
  return BlockScan(context, 8 * kMiB, false, [&](const Block& b) {
    if (done) return kGoOn;
    for (size_t at = FindFirst(b.bytes, 0, "MTrk"); at != kNotFound; at = FindFirst(b.bytes, at + 1, "MTrk")) {
      --tracks;
      if (!b.bytes.Has(at + 4, 4)) break;
      total += 8 + static_cast<uint64_t>(b.bytes.be32(at + 4));
      if (tracks == 0) {
        done = true;
        return Final(std::min(total, b.reached));
      }
    }
    return kGoOn;
  });
}

// Transport stream: a run of 188-byte packets, each starting with the sync
// byte 47. The file ends after the last good packet of the run; the range
// it covers is remembered so that its inner packets never start another
// stream in this scan.
uint64_t TsSize(CarveContext& context) {
  constexpr uint32_t kPacket = 188;
  const uint32_t s = context.sectorSize;
  uint64_t rem = s % kPacket;
  uint64_t end = s - rem;
  bool broken = false;
  uint64_t size = BlockScan(context, 64 * kGiB, false, [&](const Block& b) {
    if (broken) return kGoOn;
    end += kPacket;  // the packet straddling into this block
    const size_t length = b.bytes.size();
    size_t at = kPacket - rem;
    for (; at + kPacket <= length; at += kPacket) {
      if (b.bytes.data()[at] != 0x47) {
        broken = true;
        break;
      }
      end += kPacket;
    }
    rem = length >= kPacket - rem ? (length - (kPacket - rem)) % kPacket : 0;
    return kGoOn;
  });
  if (end < size) size = end;
  const uint64_t sectors = size / s + (size % s ? 1 : 0);
  context.tsRanges.push_back(TsRange{context.startSector, context.startSector + (sectors ? sectors - 1 : 0)});
  return size;
}

}  // namespace

bool FindNextFileStart(CarveContext& context, ByteView block, uint64_t* size) {
  return WalkToNextStart<false>(context, block, size);
}

bool FindNextFileStartMpeg(CarveContext& context, ByteView block, uint64_t* size) {
  return WalkToNextStart<true>(context, block, size);
}

bool MayStartFile(ByteView sector) {
  // The first two bytes of the catalogue's signatures at offset 0, as a set
  // of 65536 bits (a transport stream's second byte is free).
  static constexpr std::array<uint64_t, 1024> kPairs = [] {
    std::array<uint64_t, 1024> t{};
    auto add = [&t](unsigned b0, unsigned b1) {
      const unsigned pair = (b0 << 8) | b1;
      t[pair >> 6] |= 1ull << (pair & 63);
    };
    constexpr uint8_t kStarts[][2] = {
        {0x00, 0x00}, {0x00, 0x01}, {'.', 'R'},   {0x30, 0x26}, {'C', 'W'},   {'F', 'W'},   {'R', 'I'},
        {'R', 'a'},   {'F', 'L'},   {0x1A, 0x45}, {0x06, 0x0E}, {'I', 'D'},   {'I', 'I'},   {'M', 'T'},
        {'M', 'A'},   {'M', 'M'},   {'M', 'S'},   {'M', 'Z'},   {'m', 'o'},   {0xFF, 0xFD}, {0xFF, 0xD8},
        {'G', 'I'},   {'B', 'M'},   {'B', 'A'},   {0x89, 'P'},  {'8', 'B'},   {0xD0, 0xCF}, {'P', 'K'},
        {'%', 'P'},   {0x1F, 0x8B}, {'7', 'z'},   {0xFE, 0xEF}, {'S', 'Q'},   {0xCF, 0xAD}, {'!', 'B'}};
    for (const auto& p : kStarts) add(p[0], p[1]);
    for (unsigned b1 = 0; b1 < 256; ++b1) add(0x47, b1);
    return t;
  }();
  if (sector.size() < 16) return true;
  const uint8_t* b = sector.data();
  // Signatures that do not start at 0: "ftyp" at 4 (mp4, 3gp, mov) and the
  // program association table at 8 (mts).
  if (b[4] == 'f' && b[5] == 't' && b[6] == 'y' && b[7] == 'p') return true;
  if (b[10] == 0xB0 && b[11] == 0x11) return true;
  const unsigned pair = (static_cast<unsigned>(b[0]) << 8) | b[1];
  if (!(kPairs[pair >> 6] >> (pair & 63) & 1)) return false;
  // Zero first bytes are common: only MPEG (00 00 01), icons (00 00 01 00)
  // and TrueType fonts (00 01 00 00) begin so. A transport stream has its
  // second sync byte 188 bytes on.
  if (b[0] == 0x00) return b[1] == 0x00 ? b[2] == 0x01 : b[2] == 0x00;
  if (b[0] == 0x47 && b[1] != 'I') return sector.size() <= 188 || b[188] == 0x47;  // 47 49: "GI" of a GIF
  return true;
}

uint64_t MeasureFile(CarveContext& context, FileTypeCode code, ByteView firstSector) {
  const uint32_t s = context.sectorSize;
  if (s == 0) return 0;
  ByteView first = firstSector.Sub(0, s);
  const uint64_t cap = SizeCapOf(code);
  uint64_t size = 0;
  switch (SizeRuleOf(code)) {
    case SizeRule::kNone: return 0;
    case SizeRule::kPlainScan: size = PlainScan(context, cap); break;
    case SizeRule::kMpegEndCode: size = MpegSize(context, first); break;
    case SizeRule::kIsoMediaTag: size = IsoMediaSize(context); break;
    case SizeRule::kRealMediaIndex: size = RealMediaSize(context); break;
    case SizeRule::kAsfFileProperties: size = AsfHeaderSize(context, first); break;
    case SizeRule::kSwfHeader: size = SwfHeaderSize(context, first); break;
    case SizeRule::kRiffHeader: size = RiffHeaderSize(context, code, first); break;
    case SizeRule::kTsPackets: size = TsSize(context); break;
    case SizeRule::kMp3Tag: size = Mp3Size(context); break;
    case SizeRule::kMidiTracks: size = MidiSize(context, first); break;
    case SizeRule::kApeTag: size = ApeSize(context); break;
    case SizeRule::kGifEnd: {
      static constexpr uint8_t kTrailer[] = {0x00, 0x3B};
      size = MarkerEnd(context, first, kTrailer, sizeof kTrailer, cap, true);
      break;
    }
    case SizeRule::kBmpHeader: size = BmpHeaderSize(first); break;
    case SizeRule::kJpegEnd: size = JpegSize(context, first); break;
    case SizeRule::kPngEnd: {
      static constexpr uint8_t kIend[] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
      size = MarkerEnd(context, first, kIend, sizeof kIend, cap, true);
      break;
    }
    case SizeRule::kIconDirectory: size = IconSize(context, first); break;
    case SizeRule::kCompoundFile: size = CompoundSize(context, first); break;
    case SizeRule::kZipEndRecord: size = ZipSize(context, cap); break;
    case SizeRule::kPdfEnd: size = PdfSize(context); break;
    case SizeRule::k7zEnd: size = SevenZipSize(context); break;
    case SizeRule::kRarEndBlock: {
      static constexpr uint8_t kEndBlock[] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
      size = MarkerEnd(context, first, kEndBlock, sizeof kEndBlock, cap, false);
      break;
    }
    case SizeRule::kCabHeader: size = CabHeaderSize(context, first); break;
    case SizeRule::kTrueTypeTables: size = TrueTypeSize(context, first); break;
  }
  if (cap != 0) size = std::min(size, cap);
  // A file cannot reach past the end of the medium it lies on.
  if (context.reader && context.startSector < context.reader->sectorCount)
    size = std::min(size, (context.reader->sectorCount - context.startSector) * s);
  return size;
}

}  // namespace mendwell

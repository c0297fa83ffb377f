#include "carving/signature_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mendwell {

void PrintTo(FileTypeCode code, std::ostream* os) {
  *os << static_cast<int>(code) << " (" << (code == FileTypeCode::kNone ? "none" : ExtensionOf(code)) << ")";
}

namespace {

using C = FileTypeCode;
constexpr size_t kS = 512;

// A buffer filled piece by piece at given offsets.
struct Bytes {
  std::vector<uint8_t> v;
  explicit Bytes(size_t size = kS) : v(size) {}
  Bytes& Put(size_t at, std::string_view text) {
    std::memcpy(v.data() + at, text.data(), text.size());
    return *this;
  }
  Bytes& Put(size_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) v[at++] = b;
    return *this;
  }
  Bytes& Le16(size_t at, uint16_t x) { return Put(at, {uint8_t(x), uint8_t(x >> 8)}); }
  Bytes& Le32(size_t at, uint32_t x) {
    PutLe32(v.data() + at, x);
    return *this;
  }
  Bytes& Utf16(size_t at, std::string_view text) {
    for (char c : text) Le16(at, static_cast<uint8_t>(c)), at += 2;
    return *this;
  }
  Bytes& Fill(size_t at, size_t n, uint8_t b) {
    std::memset(v.data() + at, b, n);
    return *this;
  }
  ByteView View() const { return ByteView(v.data(), v.size()); }
};

// A small disk image of 512-byte sectors, written to a temporary file and
// opened as a sector device.
class Image {
 public:
  explicit Image(size_t sectors) : bytes_(sectors * kS) {}
  uint8_t* Sector(uint64_t n) { return bytes_.data() + n * kS; }
  void Put(uint64_t sector, const Bytes& b) { std::memcpy(Sector(sector), b.v.data(), b.v.size()); }
  void Put(uint64_t sector, size_t offset, std::string_view text) {
    std::memcpy(Sector(sector) + offset, text.data(), text.size());
  }
  ByteView View(uint64_t sector) { return ByteView(Sector(sector), kS); }
  SectorDevice* Open() {
    test::WriteFile(dir_.File("disk.img"), bytes_);
    EXPECT_EQ(OpenImageDevice(device_, dir_.File("disk.img")), kOk);
    return &device_;
  }

 private:
  std::vector<uint8_t> bytes_;
  test::TempDir dir_;
  SectorDevice device_;
};

FileTypeCode Detect(ByteView sector, SectorDevice* reader = nullptr, uint64_t at = 0) {
  CarveContext context;
  context.reader = reader;
  context.startSector = context.currentSector = at;
  return DetectFileType(sector, context);
}

Bytes Pe(uint16_t characteristics, uint32_t newHeader = 128) {
  Bytes b;
  b.Put(0, "MZ").Le32(60, newHeader);
  if (newHeader + 24 <= kS) b.Put(newHeader, {'P', 'E', 0, 0}).Le16(newHeader + 22, characteristics);
  return b;
}

Bytes Icon(std::initializer_list<std::pair<uint32_t, uint32_t>> sizeAndOffset) {
  Bytes b;
  b.Put(0, {0, 0, 1, 0}).Le16(4, static_cast<uint16_t>(sizeAndOffset.size()));
  size_t entry = 6;
  for (auto [size, offset] : sizeAndOffset) {
    b.Put(entry, {16, 16, 0, 0}).Le32(entry + 8, size).Le32(entry + 12, offset);
    entry += 16;
  }
  return b;
}

TEST(SignatureCatalogue, HeaderTestsOnOneSector) {
  const struct {
    const char* what;
    Bytes sector;
    FileTypeCode expected;
  } cases[] = {
      {"zeros", Bytes(), C::kNone},
      {"empty", Bytes(0), C::kNone},
      {"mpeg pack + system header", Bytes().Put(0, {0, 0, 1, 0xBA}).Put(14, {0, 0, 1, 0xBB}), C::kMpeg},
      {"mpeg system header ends at byte 32", Bytes().Put(0, {0, 0, 1, 0xBA}).Put(28, {0, 0, 1, 0xBB}), C::kMpeg},
      {"mpeg system header past byte 32", Bytes().Put(0, {0, 0, 1, 0xBA}).Put(29, {0, 0, 1, 0xBB}), C::kNone},
      {"mpeg sequence + GOP", Bytes().Put(0, {0, 0, 1, 0xB3}).Put(12, {0, 0, 1, 0xB8}), C::kMpeg},
      {"mpeg sequence without GOP", Bytes().Put(0, {0, 0, 1, 0xB3}).Put(12, {0, 0, 1, 0xBB}), C::kNone},
      {"mp4 iso", Bytes().Put(4, "ftypisom"), C::kMp4},
      {"mp4 mp42", Bytes().Put(4, "ftypmp42"), C::kMp4},
      {"mp4 on 31 bytes", Bytes(31).Put(4, "ftypisom"), C::kNone},
      {"3gp", Bytes().Put(4, "ftyp3gp5"), C::k3gp},
      {"mov ftyp qt", Bytes().Put(4, "ftypqt  "), C::kMov},
      {"mov moov", Bytes().Put(0, "moov"), C::kMov},
      {"realmedia", Bytes().Put(0, ".RMF"), C::kRmvb},
      {"asf", Bytes().Put(0, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62,
                              0xCE, 0x6C}),
       C::kWmv},
      {"swf FWS 5", Bytes().Put(0, {'F', 'W', 'S', 5}), C::kSwf},
      {"swf FWS 6", Bytes().Put(0, {'F', 'W', 'S', 6}), C::kNone},
      {"swf CWS 6", Bytes().Put(0, {'C', 'W', 'S', 6}), C::kSwf},
      {"swf CWS 15", Bytes().Put(0, {'C', 'W', 'S', 15}), C::kSwf},
      {"swf CWS 5", Bytes().Put(0, {'C', 'W', 'S', 5}), C::kNone},
      {"swf CWS 16", Bytes().Put(0, {'C', 'W', 'S', 16}), C::kNone},
      {"avi", Bytes().Put(0, "RIFF").Put(8, "AVI LIST"), C::kAvi},
      {"wav", Bytes().Put(0, "RIFF").Put(8, "WAVEfmt "), C::kWav},
      {"riff other", Bytes().Put(0, "RIFF").Put(8, "WEBPVP8 "), C::kNone},
      {"flv", Bytes().Put(0, {'F', 'L', 'V', 1, 5, 0, 0, 0, 9}), C::kFlv},
      {"flv header size 8", Bytes().Put(0, {'F', 'L', 'V', 1, 5, 0, 0, 0, 8}), C::kNone},
      {"mkv", Bytes().Put(0, {0x1A, 0x45, 0xDF, 0xA3}), C::kMkv},
      {"mxf", Bytes().Put(0, {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02,
                              0x04, 0x00}),
       C::kMxf},
      {"mp3 id3", Bytes().Put(0, "ID3").Put(3, {4, 0, 0, 0, 0x02, 0x7F}), C::kMp3},
      {"mp3 size byte with high bit", Bytes().Put(0, "ID3").Put(3, {4, 0, 0, 0, 0x80, 0}), C::kNone},
      {"mp3 unknown flag bits", Bytes().Put(0, "ID3").Put(3, {4, 0, 0x10, 0, 0, 0}), C::kNone},
      {"mp3 version FF", Bytes().Put(0, "ID3").Put(3, {0xFF, 0, 0, 0, 0, 0}), C::kNone},
      {"midi", Bytes().Put(0, "MThd").Put(4, {0, 0, 0, 6}).Put(14, "MTrk"), C::kMid},
      {"midi header length 7", Bytes().Put(0, "MThd").Put(4, {0, 0, 0, 7}).Put(14, "MTrk"), C::kNone},
      {"ape", Bytes().Put(0, "MAC "), C::kApe},
      {"mp2", Bytes().Put(0, {0xFF, 0xFD, 0xE4, 0x00}), C::kMp2},
      {"mmf", Bytes().Put(0, "MMMD"), C::kMmf},
      {"gif89a", Bytes().Put(0, "GIF89a"), C::kGif},
      {"gif87a", Bytes().Put(0, "GIF87a"), C::kGif},
      {"gif8xa", Bytes().Put(0, "GIF8xa"), C::kNone},
      {"gif89A", Bytes().Put(0, "GIF89A"), C::kNone},
      {"bmp BM", Bytes().Put(0, "BM").Le32(14, 40), C::kBmp},
      {"bmp BA", Bytes().Put(0, "BA").Le32(14, 40), C::kBmp},
      {"bmp v5 header", Bytes().Put(0, "BM").Le32(14, 124), C::kNone},
      {"bmp reserved word", Bytes().Put(0, "BM").Le16(6, 1).Le32(14, 40), C::kNone},
      {"bmp on 39 bytes", Bytes(39).Put(0, "BM").Le32(14, 40), C::kNone},
      {"jpeg jfif", Bytes().Put(0, {0xFF, 0xD8, 0xFF, 0xE0}).Put(6, "JFIF"), C::kJpg},
      {"jpeg exif", Bytes().Put(0, {0xFF, 0xD8, 0xFF, 0xE1}).Put(6, "Exif"), C::kJpg},
      {"jpeg app1 without exif", Bytes().Put(0, {0xFF, 0xD8, 0xFF, 0xE1}).Put(6, "JFIF"), C::kNone},
      {"jpeg starting with DQT", Bytes().Put(0, {0xFF, 0xD8, 0xFF, 0xDB}), C::kNone},
      {"jpeg on 15 bytes", Bytes(15).Put(0, {0xFF, 0xD8, 0xFF, 0xE0}).Put(6, "JFIF"), C::kNone},
      {"png", Bytes().Put(0, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), C::kPng},
      {"psd", Bytes().Put(0, "8BPS"), C::kPsd},
      {"tiff big-endian", Bytes().Put(0, {'M', 'M', 0, 0x2A}), C::kTif},
      {"tiff little-endian", Bytes().Put(0, {'I', 'I', 0x2A, 0}), C::kTif},
      {"icon one image", Icon({{1000, 22}}), C::kIco},
      {"icon images back to back", Icon({{1000, 38}, {200, 1038}}), C::kIco},
      {"icon image gap", Icon({{1000, 38}, {200, 1039}}), C::kNone},
      {"icon offset off by one", Icon({{1000, 23}}), C::kNone},
      {"icon count zero", Bytes().Put(0, {0, 0, 1, 0}), C::kNone},
      {"icon directory past the sector", Bytes().Put(0, {0, 0, 1, 0}).Le16(4, 32), C::kNone},
      {"icon entry byte 3 set", Icon({{1000, 22}}).Put(9, {1}), C::kNone},
      // Without a reader the sub-type cannot be read: ole, never fla.
      {"compound without reader", Bytes().Put(0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}), C::kOle},
      {"fla (half a compound signature)", Bytes().Put(0, {0xD0, 0xCF, 0x11, 0xE0, 0, 0, 0, 0}), C::kFla},
      // Without a reader the Office Open XML test finds nothing: zip.
      {"zip without reader", Bytes().Put(0, {'P', 'K', 3, 4}).Put(30, "word/document.xml"), C::kZip},
      {"zip on 47 bytes", Bytes(47).Put(0, {'P', 'K', 3, 4}), C::kNone},
      {"pdf", Bytes().Put(0, "%PDF-1.7"), C::kPdf},
      {"gzip", Bytes().Put(0, {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 2, 3}), C::kGz},
      {"gzip with name, os FF", Bytes().Put(0, {0x1F, 0x8B, 8, 8, 0, 0, 0, 0, 4, 0xFF}), C::kGz},
      {"gzip os 0E", Bytes().Put(0, {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 2, 0x0E}), C::kNone},
      {"gzip text flag", Bytes().Put(0, {0x1F, 0x8B, 8, 1, 0, 0, 0, 0, 2, 3}), C::kNone},
      {"gzip xfl 0", Bytes().Put(0, {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3}), C::kNone},
      {"7z", Bytes().Put(0, {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C}), C::k7z},
      {"rar", Bytes().Put(0, {'R', 'a', 'r', '!', 0x1A, 7, 0}), C::kRar},
      {"cab", Bytes().Put(0, "MSCF"), C::kCab},
      {"cab on 35 bytes", Bytes(35).Put(0, "MSCF"), C::kNone},
      {"exe", Pe(0x0102), C::kExe},
      {"dll", Pe(0x2102), C::kDll},
      {"sys", Pe(0x1102), C::kSys},
      {"sys and dll bits", Pe(0x3002), C::kSys},
      {"pe without image bit", Pe(0x2100), C::kNone},
      {"pe header at 489", Pe(0x0102, 489), C::kNone},
      {"pe on 511 bytes", Bytes(511).Put(0, "MZ").Le32(60, 128).Put(128, {'P', 'E', 0, 0}).Le16(150, 2), C::kNone},
      {"ghost", Bytes().Put(0, {0xFE, 0xEF, 0, 0}), C::kGho},
      {"sqlite", Bytes().Put(0, std::string_view("SQLite format 3\0", 16)), C::kDb},
      {"sqlite without zero", Bytes().Put(0, "SQLite format 3!"), C::kNone},
      {"dbx", Bytes().Put(0, {0xCF, 0xAD, 0x12, 0xFE}), C::kDbx},
      {"pst", Bytes().Put(0, "!BDN").Put(8, "SM"), C::kPst},
      {"truetype", Bytes().Put(0, {0, 1, 0, 0, 0, 2, 0, 32, 0, 1, 0, 1}).Put(44, {0, 1, 0, 0}), C::kTtf},
      {"truetype entry selector 0", Bytes().Put(0, {0, 1, 0, 0, 0, 2, 0, 32, 0, 0, 0, 1}).Put(44, {0, 1, 0, 0}),
       C::kNone},
      {"truetype nothing after the directory", Bytes().Put(0, {0, 1, 0, 0, 0, 2, 0, 32, 0, 1, 0, 1}), C::kNone},
      {"mts zero time stamp", Bytes().Put(8, {0, 0, 0xB0, 0x11, 0, 0, 0xC1, 0}), C::kMts},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Detect(c.sector.View()), c.expected) << c.what;
    // A cut sector may lose the type, never turn into another one.
    for (size_t n = 0; n < c.sector.v.size(); n += n < 64 ? 1 : 64) {
      FileTypeCode cut = Detect(c.sector.View().Sub(0, n));
      EXPECT_TRUE(cut == C::kNone || cut == c.expected) << c.what << " cut to " << n;
    }
  }
}

TEST(SignatureCatalogue, NullSectorIsNothing) {
  CarveContext context;
  EXPECT_EQ(DetectFileType(ByteView(static_cast<const uint8_t*>(nullptr), 512), context), C::kNone);
}

TEST(SignatureCatalogue, MtsWithTimeStampDependsOnThePreviousAttempt) {
  Bytes sector = Bytes().Le32(0, 0x1234).Put(8, {0, 0, 0xB0, 0x11, 0, 0, 0xC1, 0});
  CarveContext context;
  EXPECT_EQ(DetectFileType(sector.View(), context), C::kMts);
  context.mtsFlag = true;
  EXPECT_EQ(DetectFileType(sector.View(), context), C::kNone);
  sector.Le32(0, 0);
  EXPECT_EQ(DetectFileType(sector.View(), context), C::kMts);
}

TEST(SignatureCatalogue, CarvedExtensionsAndRules) {
  const struct {
    FileTypeCode code;
    const char* extension;
  } names[] = {
      {C::kDoc, "doc"},  {C::kDocx, "docx"}, {C::kOle, "ole"},   {C::kXls, "xls"},   {C::kXlsx, "xlsx"},
      {C::kPpt, "ppt"},  {C::kPptx, "pptx"}, {C::kPdf, "pdf"},   {C::kGho, "gho"},   {C::kJpg, "jpg"},
      {C::kMp2, "mp2"},  {C::kMp3, "mp3"},   {C::kMid, "mid"},   {C::kMmf, "mmf"},   {C::kMpeg, "mpeg"},
      {C::k3gp, "3gp"},  {C::kMov, "mov"},   {C::kMp4, "mp4"},   {C::kMkv, "mkv"},   {C::kTs, "ts"},
      {C::kWav, "wav"},  {C::kAvi, "avi"},   {C::kRmvb, "rmvb"}, {C::kWmv, "wmv"},   {C::kApe, "ape"},
      {C::kSwf, "swf"},  {C::kFlv, "flv"},   {C::kPsd, "psd"},   {C::kBmp, "bmp"},   {C::kPng, "png"},
      {C::kGif, "gif"},  {C::kTif, "tif"},   {C::kCab, "cab"},   {C::k7z, "7z"},     {C::kZip, "zip"},
      {C::kGz, "gz"},    {C::kRar, "rar"},   {C::kPst, "pst"},   {C::kDb, "db"},     {C::kDbx, "dbx"},
      {C::kExe, "exe"},  {C::kDll, "dll"},   {C::kSys, "sys"},   {C::kFla, "fla"},   {C::kTtf, "ttf"},
      {C::kIco, "ico"},  {C::kMts, "mts"},   {C::kMxf, "mxf"},   {C::kNone, ""},     {FileTypeCode{7}, ""},
  };
  for (const auto& n : names) EXPECT_EQ(ExtensionOf(n.code), n.extension) << static_cast<int>(n.code);

  // The carving engine skips only one sector after these, whose size came
  // from a header field; the four never-carved types have no size rule.
  const FileTypeCode nextSector[] = {C::kDoc, C::kXls, C::kPpt, C::kOle, C::kWmv, C::kSwf,
                                     C::kAvi, C::kWav, C::kBmp, C::kCab, C::kTtf, C::kIco};
  const FileTypeCode neverCarved[] = {C::kExe, C::kDll, C::kSys, C::kGho, C::kNone};
  for (int i = 0; i <= 49; ++i) {
    FileTypeCode code{static_cast<uint8_t>(i)};
    if (i == 7) continue;
    ResumeRule expected = ResumeRule::kAfterFile;
    for (FileTypeCode c : nextSector) expected = c == code ? ResumeRule::kNextSector : expected;
    for (FileTypeCode c : neverCarved) expected = c == code ? ResumeRule::kNeverCarved : expected;
    EXPECT_EQ(ResumeRuleOf(code), expected) << i;
    EXPECT_EQ(SizeRuleOf(code) == SizeRule::kNone, expected == ResumeRule::kNeverCarved) << i;
  }
  EXPECT_EQ(SizeRuleOf(C::kXls), SizeRule::kCompoundFile);
  EXPECT_EQ(SizeRuleOf(C::kPptx), SizeRule::kZipEndRecord);
  EXPECT_EQ(SizeCapOf(C::kPptx), 134217727u);
  EXPECT_EQ(SizeCapOf(C::kZip), 4ull << 30);
  EXPECT_EQ(SizeRuleOf(C::kMts), SizeRule::kPlainScan);
  EXPECT_EQ(SizeCapOf(C::kMkv), 64ull << 30);
  EXPECT_EQ(SizeRuleOf(C::kTs), SizeRule::kTsPackets);
  EXPECT_EQ(CodeOfExtension("ETT"), C::kXls);
  EXPECT_EQ(CodeOfExtension("txt"), C::kNone);
}

// Compound document header at sector 5, so that the sub-type reads are
// relative to the current sector.
struct CompoundCase {
  const char* what;
  Bytes next;             // the sector after the header
  uint32_t directory;     // first directory sector number (header offset 48)
  Bytes directorySector;  // written at 5 + directory + 1 (directory 0: the next sector itself)
  FileTypeCode expected;
};

Bytes ClassId(std::initializer_list<uint8_t> id) { return Bytes().Utf16(0, "Root Entry").Put(80, id); }
Bytes Names(std::initializer_list<const char*> names) {
  Bytes b;
  size_t at = 0;
  for (const char* n : names) b.Utf16(at, n), at += 128;
  return b;
}

TEST(SignatureCatalogue, CompoundDocumentSubTypes) {
  const CompoundCase cases[] = {
      {"word fib", Bytes().Put(0, {0xEC, 0xA5}), 2, Bytes(), C::kDoc},
      {"biff8 bof", Bytes().Put(0, {0x09, 0x08, 0x10, 0x00, 0x00, 0x06}), 2, Bytes(), C::kXls},
      {"biff5 bof", Bytes().Put(0, {0x09, 0x08, 0x08, 0x00, 0x00, 0x05}), 2, Bytes(), C::kOle},
      {"word class", Bytes(), 0, ClassId({0x06, 0x09, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}), C::kDoc},
      {"excel class", Bytes(), 2, ClassId({0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}), C::kXls},
      {"excel 5 class", Bytes(), 2, ClassId({0x10, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}),
       C::kXls},
      {"powerpoint class", Bytes(), 2,
       ClassId({0x10, 0x8D, 0x81, 0x64, 0x9B, 0x4F, 0xCF, 0x11, 0x86, 0xEA, 0x00, 0xAA, 0x00, 0xB9, 0x29, 0xE8}),
       C::kPpt},
      {"stream names, any case", Bytes(), 2, Names({"Root Entry", "\x05SummaryInformation", "powerpoint DOCUMENT"}),
       C::kPpt},
      {"first matching name decides", Bytes(), 2, Names({"Root Entry", "Workbook", "WordDocument"}), C::kXls},
      {"word name in the last entry", Bytes(), 2, Names({"Root Entry", "x", "y", "WordDocument"}), C::kDoc},
      {"name prefix only", Bytes(), 2, Names({"Root Entry", "WordDoc"}), C::kOle},
      {"nothing known", Bytes(), 2, Names({"Root Entry", "Contents"}), C::kOle},
      {"directory past the device", Bytes(), 100, Bytes(), C::kOle},
  };
  for (const auto& c : cases) {
    Image image(12);
    image.Put(5, Bytes().Put(0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}).Le32(48, c.directory));
    image.Put(6, c.next);
    if (c.directory < 6) image.Put(5 + c.directory + 1, c.directorySector);
    SectorDevice* device = image.Open();
    EXPECT_EQ(Detect(image.View(5), device, 5), c.expected) << c.what;
  }
}

// ZIP local header at sector 0 whose first entry says nothing; `patch`
// places further headers.
struct ZipCase {
  const char* what;
  size_t sectors;
  std::vector<std::pair<size_t, std::string>> patches;  // absolute byte offset, bytes
  FileTypeCode expected;
};

std::string Local(std::string_view name) {
  return std::string("PK\x03\x04", 4) + std::string(26, '\0') + std::string(name);
}
std::string Central(std::string_view name) {
  return std::string("PK\x01\x02", 4) + std::string(42, '\0') + std::string(name);
}
std::string EndRecord() { return std::string("PK\x05\x06", 4) + std::string(18, '\0'); }

TEST(SignatureCatalogue, OfficeOpenXmlSubTypes) {
  const ZipCase cases[] = {
      {"word part first", 24, {{0, Local("word/document.xml")}}, C::kDocx},
      {"upper-case part", 24, {{0, Local("WORD/document.xml")}}, C::kDocx},
      {"ppt part in a later local header", 24, {{0, Local("[Content_Types].xml")}, {700, Local("ppt/a.xml")}},
       C::kPptx},
      {"xl part in a central header in sector 9", 24,
       {{0, Local("[Content_Types].xml")}, {9 * kS + 40, Central("xl/workbook.xml")}}, C::kXlsx},
      {"local header in sector 19", 24, {{0, Local("mimetype")}, {19 * kS + 100, Local("ppt/x.xml")}}, C::kPptx},
      {"local header in sector 20", 24, {{0, Local("mimetype")}, {20 * kS + 100, Local("ppt/x.xml")}}, C::kZip},
      {"signature across a window seam", 24, {{0, Local("mimetype")}, {4 * kS - 2, Local("word/a.xml")}},
       C::kDocx},
      {"header after the end record", 24,
       {{0, Local("mimetype")}, {200, EndRecord()}, {300, Local("word/a.xml")}}, C::kZip},
      {"plain zip", 24, {{0, Local("readme.txt")}, {200, Central("readme.txt")}, {300, EndRecord()}}, C::kZip},
      {"device shorter than four sectors", 3, {{0, Local("word/document.xml")}}, C::kZip},
  };
  for (const auto& c : cases) {
    Image image(c.sectors);
    for (const auto& [offset, bytes] : c.patches) image.Put(offset / kS, offset % kS, bytes);
    SectorDevice* device = image.Open();
    EXPECT_EQ(Detect(image.View(0), device, 0), c.expected) << c.what;
  }
}

// A transport stream of `sectors` 512-byte sectors from sector `first`:
// sync bytes every 188 bytes, payload bytes non-zero.
void PutStream(Image& image, uint64_t first, size_t sectors, size_t badPacket = SIZE_MAX) {
  uint8_t* p = image.Sector(first);
  std::memset(p, 0x11, sectors * kS);
  for (size_t i = 0; 188 * i < sectors * kS; ++i) p[188 * i] = i == badPacket ? 0x48 : 0x47;
}

TEST(SignatureCatalogue, TransportStreamStart) {
  const struct {
    const char* what;
    size_t badPacket;
    uint64_t testSector;  // stream starts at sector 1; packets realign every 47 sectors
    bool tsFlag;
    std::vector<TsRange> ranges;
    FileTypeCode expected;
  } cases[] = {
      {"stream start", SIZE_MAX, 1, false, {}, C::kTs},
      {"stream start, flag set", SIZE_MAX, 1, true, {}, C::kTs},
      {"packet 21 broken", 21, 1, false, {}, C::kNone},
      {"packet 22 broken", 22, 1, false, {}, C::kTs},
      {"packet 2 broken (inside the sector)", 2, 1, false, {}, C::kNone},
      {"continuation, flag clear", SIZE_MAX, 48, false, {}, C::kTs},
      {"continuation, flag set", SIZE_MAX, 48, true, {}, C::kNone},
      {"inside a carved stream", SIZE_MAX, 1, true, {{0, 0}, {1, 1}}, C::kNone},
      {"after a carved stream", SIZE_MAX, 1, true, {{0, 0}, {2, 9}}, C::kTs},
      {"inside a carved stream, flag clear", SIZE_MAX, 1, false, {{1, 1}}, C::kTs},
      {"too close to the device end", SIZE_MAX, 94, false, {}, C::kNone},
  };
  for (const auto& c : cases) {
    Image image(100);
    PutStream(image, 1, 99, c.badPacket);
    SectorDevice* device = image.Open();
    CarveContext context;
    context.reader = device;
    context.startSector = context.currentSector = c.testSector;
    context.tsFlag = c.tsFlag;
    context.tsRanges = c.ranges;
    EXPECT_EQ(DetectFileType(image.View(c.testSector), context), c.expected) << c.what;
  }
}

TEST(SignatureCatalogue, TransportStreamNeedsNonZeroHeaderAndReader) {
  Image image(20);
  PutStream(image, 0, 20);
  SectorDevice* device = image.Open();
  CarveContext context;
  context.reader = device;
  context.tsFlag = true;  // a stream in sector 0 has no sector before it to continue
  EXPECT_EQ(DetectFileType(image.View(0), context), C::kTs);
  Bytes nullPacket;
  std::memcpy(nullPacket.v.data(), image.Sector(0), kS);
  nullPacket.Put(1, {0, 0, 0});
  EXPECT_EQ(DetectFileType(nullPacket.View(), context), C::kNone);
  EXPECT_EQ(Detect(image.View(0)), C::kNone);  // no reader: the 22 packets cannot be read
}

TEST(SignatureCatalogue, ContentMatchesExtension) {
  Image image(24);
  // Sector 0: a Word document; sector 4: a docx.
  image.Put(0, Bytes().Put(0, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}));
  image.Put(1, Bytes().Put(0, {0xEC, 0xA5}));
  image.Put(4, 0, Local("word/document.xml"));
  SectorDevice* device = image.Open();
  const Bytes zeros;
  const Bytes jpeg = Bytes().Put(0, {0xFF, 0xD8, 0xFF, 0xE1}).Put(6, "Exif");
  const Bytes mpeg = Bytes().Put(0, {0, 0, 1, 0xBA}).Put(14, {0, 0, 1, 0xBB});
  const Bytes dll = Pe(0x2102);
  const struct {
    const char* what;
    ByteView sector;
    const char* extension;
    SectorDevice* reader;
    uint64_t at;
    bool expected;
  } cases[] = {
      {"unknown extension", zeros.View(), "TXT", nullptr, 0, true},
      {"no extension", zeros.View(), "", nullptr, 0, true},
      {"jpg on zeros", zeros.View(), "JPG", nullptr, 0, false},
      {"jpg", jpeg.View(), "jpeg", nullptr, 0, true},
      {"file name", jpeg.View(), "holiday.2020.JPG", nullptr, 0, true},
      {"mpg", mpeg.View(), "mpg", nullptr, 0, true},
      {"vob", mpeg.View(), "VOB", nullptr, 0, true},
      {"word as doc", image.View(0), "doc", device, 0, true},
      {"word as wps", image.View(0), "wps", device, 0, true},
      {"word as xls", image.View(0), "xls", device, 0, false},
      {"word as ole", image.View(0), "ole", device, 0, false},
      {"word without reader", image.View(0), "doc", nullptr, 0, false},
      {"word as fla", image.View(0), "fla", device, 0, true},
      {"docx", image.View(4), "docx", device, 4, true},
      {"docx as xlsx", image.View(4), "xlsx", device, 4, false},
      {"docx as zip", image.View(4), "zip", device, 4, true},
      {"dll", dll.View(), "dll", nullptr, 0, true},
      {"dll as exe", dll.View(), "exe", nullptr, 0, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ContentMatchesExtension(c.sector, kS, c.extension, c.reader, c.at), c.expected) << c.what;
}

TEST(SignatureCatalogue, ContentCheckIgnoresTheScanFlags) {
  // A stream going on from the sector before it is still what a .ts file
  // holds: the content check runs without the carving scan's TS flag.
  Image image(100);
  PutStream(image, 1, 99);
  SectorDevice* device = image.Open();
  EXPECT_TRUE(ContentMatchesExtension(image.View(48), kS, "ts", device, 48));
  EXPECT_FALSE(ContentMatchesExtension(image.View(48), kS, "mts", device, 48));
}

// First sectors of real files made by public tools
// (tests/fixtures/make_signature_samples.sh).
TEST(SignatureCatalogue, RealSamples) {
  const struct {
    const char* file;
    FileTypeCode expected;
  } samples[] = {
      {"sample.jpg", C::kJpg},   {"sample.png", C::kPng},   {"sample.gif", C::kGif},   {"sample.bmp", C::kBmp},
      {"sample.tif", C::kTif},   {"sample.psd", C::kPsd},   {"sample.ico", C::kIco},   {"sample.zip", C::kZip},
      {"sample.docx", C::kDocx}, {"sample.xlsx", C::kXlsx}, {"sample.pptx", C::kPptx}, {"sample.gz", C::kGz},
      {"sample.wav", C::kWav},   {"sample.db", C::kDb},
  };
  for (const auto& s : samples) {
    std::vector<uint8_t> file = test::ReadFile(test::FixturePath(std::string("signatures/") + s.file));
    ASSERT_FALSE(file.empty()) << s.file;
    // The file sits at sector 3 of a disk with room after it, as on a medium.
    Image image(3 + (file.size() + kS - 1) / kS + 24);
    std::memcpy(image.Sector(3), file.data(), file.size());
    SectorDevice* device = image.Open();
    EXPECT_EQ(Detect(image.View(3), device, 3), s.expected) << s.file;
    std::string extension = std::string(s.file).substr(7);
    EXPECT_TRUE(ContentMatchesExtension(image.View(3), kS, extension, device, 3)) << s.file;
  }
}

}  // namespace
}  // namespace mendwell

// The signature catalogue: recognises a file format from the first sector
// of its data, and names for each format the extension a carved file gets,
// the rule that decides its length and where a carving scan resumes after
// it.
//
// The catalogue is one ordered, constant table. Its header tests run on
// every sector of a deep scan, so each compares a few fixed bytes first and
// gives up at the first mismatch; all of them read through ByteView. Only
// three read further sectors (through the context's reader): the compound
// document sub-type, the Office Open XML sub-type and the transport stream
// test. A test never reports an error: a short sector or a failed read
// gives FileTypeCode::kNone (the compound sub-type gives kOle instead).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "carving/carve_context.h"
#include "device/sector_device.h"
#include "platform/byte_view.h"

namespace mendwell {

// Type codes, fixed numbers (7 is unused). Each comment gives the extension
// a carved file of the type receives.
enum class FileTypeCode : uint8_t {
  kDoc = 0,    // doc
  kDocx = 1,   // docx
  kOle = 2,    // ole: a compound document of no known application
  kXls = 3,    // xls
  kXlsx = 4,   // xlsx
  kPpt = 5,    // ppt
  kPptx = 6,   // pptx
  kPdf = 8,    // pdf
  kGho = 9,    // gho
  kJpg = 10,   // jpg
  kMp2 = 11,   // mp2
  kMp3 = 12,   // mp3
  kMid = 13,   // mid
  kMmf = 14,   // mmf
  kMpeg = 15,  // mpeg
  k3gp = 16,   // 3gp
  kMov = 17,   // mov
  kMp4 = 18,   // mp4
  kMkv = 19,   // mkv
  kTs = 20,    // ts
  kWav = 21,   // wav
  kAvi = 22,   // avi
  kRmvb = 23,  // rmvb
  kWmv = 24,   // wmv
  kApe = 25,   // ape
  kSwf = 26,   // swf
  kFlv = 27,   // flv
  kPsd = 28,   // psd
  kBmp = 29,   // bmp
  kPng = 30,   // png
  kGif = 31,   // gif
  kTif = 32,   // tif
  kCab = 33,   // cab
  k7z = 34,    // 7z
  kZip = 35,   // zip
  kGz = 36,    // gz
  kRar = 37,   // rar
  kPst = 38,   // pst
  kDb = 39,    // db
  kDbx = 40,   // dbx
  kExe = 41,   // exe
  kDll = 42,   // dll
  kSys = 43,   // sys
  kFla = 44,   // fla
  kTtf = 45,   // ttf
  kIco = 46,   // ico
  kMts = 47,   // mts
  kMxf = 48,   // mxf
  kNone = 49,  // no type recognised
};

// How the length of a recognised file is found. The rules themselves live
// with the size detectors; the catalogue only names them. Header rules
// believe a length field of the first sector; the others read ahead until
// an end marker, the next recognised file or file-system structure, or the
// entry's size cap.
enum class SizeRule : uint8_t {
  kNone,              // recognised but never carved (exe, dll, sys, gho)
  kPlainScan,         // up to the next recognised file or structure
  kMpegEndCode,       // 00 00 01 B7 / B9 end code
  kIsoMediaTag,       // "freeIsoMedia File Produced"
  kRealMediaIndex,    // "INDX" chunk
  kAsfFileProperties,  // header: File Properties Object size
  kSwfHeader,         // header: file length field
  kRiffHeader,        // header: RIFF chunk size + 8
  kTsPackets,         // run of 188-byte packets with sync bytes
  kMp3Tag,            // ID3v1 "TAG"
  kMidiTracks,        // the announced number of "MTrk" chunks
  kApeTag,            // "APETAGEX" footer
  kGifEnd,            // 00 3B trailer
  kBmpHeader,         // header: file size field
  kJpegEnd,           // FF D9
  kPngEnd,            // IEND chunk
  kIconDirectory,     // header: last image offset + size
  kCompoundFile,      // allocation table, else document stream scan
  kZipEndRecord,      // last end-of-central-directory record
  kPdfEnd,            // last "%%EOF", else "trailer"
  k7zEnd,             // 7z end header pattern
  kRarEndBlock,       // RAR end-of-archive block
  kCabHeader,         // header: cabinet size field
  kTrueTypeTables,    // header: furthest table end
};

// Where a carving scan goes on after a carved file.
enum class ResumeRule : uint8_t {
  kNeverCarved,  // the type has no size rule
  kNextSector,   // the size came from a header field that may be wrong
  kAfterFile,    // skip the whole file
};

// One extension name (lower case, no dot) and the code it stands for.
struct ExtensionCode {
  std::string_view name;
  FileTypeCode code;
};

// A header test: the type the sector starts, or kNone. The sector view's
// length is the sector length the test sees; the context gives the
// sector size, reader, current and start sectors and the scan flags, and
// is never changed by a test.
using HeaderTest = FileTypeCode (*)(ByteView sector, const CarveContext& context);

// One row of the catalogue.
struct SignatureEntry {
  std::span<const ExtensionCode> extensions;  // the first per code is the carved extension
  std::span<const FileTypeCode> codes;        // every code the test can return
  HeaderTest test;
  SizeRule sizeRule;
  uint64_t sizeCap;  // bytes; 0 when the rule has no cap of the row's own
  ResumeRule resume;
};

// The whole table, in test order (41 rows).
std::span<const SignatureEntry> SignatureCatalogue();

// The type whose file starts in this sector: the result of the first row,
// in table order, whose test does not return kNone. The compound, Office
// Open XML and transport stream tests read further sectors from
// context.currentSector on, and the transport stream and MTS tests read the
// context's flags and ranges: the caller sets the context first.
FileTypeCode DetectFileType(ByteView sector, const CarveContext& context);

// The extension a carved file of this type receives ("" for kNone and
// unused values).
std::string_view ExtensionOf(FileTypeCode code);

// The size rule, the cap of the row (bytes, 0 when the rule has none of
// the row's own) and the resume rule of the row that yields the code;
// kNone / 0 / kNeverCarved for kNone.
SizeRule SizeRuleOf(FileTypeCode code);
uint64_t SizeCapOf(FileTypeCode code);
ResumeRule ResumeRuleOf(FileTypeCode code);

// The code an extension stands for in the catalogue (case-insensitive,
// without dot), or kNone when the catalogue does not know it.
FileTypeCode CodeOfExtension(std::string_view extension);

// Whether a file's first sector still holds what its extension promises.
// extension is compared case-insensitively; when it holds a "." (a whole
// file name), the text after the last "." is used. True when the catalogue
// does not know the extension (nothing can be told). Runs only the row that holds the extension and asks for that
// extension's own code, so a Word document named .xls does not match.
// sector holds the first sector (at most sectorSize bytes are looked at).
// Some tests read further sectors through reader, starting at sectorNumber
// (the absolute sector the bytes came from); reader may be null, and then
// such a test sees no further sectors.
bool ContentMatchesExtension(ByteView sector, uint32_t sectorSize, std::string_view extension, SectorDevice* reader,
                             uint64_t sectorNumber);

}  // namespace mendwell

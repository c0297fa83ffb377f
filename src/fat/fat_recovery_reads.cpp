#include "fat/fat_recovery_reads.h"

#include <algorithm>
#include <vector>

#include "carving/signature_catalogue.h"
#include "fat/fat_directory.h"
#include "platform/byte_view.h"

namespace mendwell {

namespace {

Status ReadOneSector(const FatMedium& medium, uint64_t sector, std::vector<uint8_t>& buffer) {
  if (medium.device == nullptr) return kErrInvalidHandle;
  buffer.assign(medium.bytesPerSector, 0);
  uint32_t got = 0;
  Status st = ReadSectors(*medium.device, buffer.data(), sector, 1, medium.bytesPerSector, &got);
  if (st == kOk && got == 0) st = kErrReadFault;
  return st;
}

// Tries the high-word candidates in order; fits(sector bytes, sector) decides.
template <typename Fits>
uint16_t SearchHighWord(const FatMedium& medium, const FatLayout& layout, uint16_t lowWord, Fits fits) {
  std::vector<uint8_t> buffer;
  for (uint32_t h = 0; h < kHighWordCandidates; ++h) {
    uint64_t sector = ClusterToSector(layout, (h << 16) | lowWord);
    if (sector > medium.endSector) break;
    if (ReadOneSector(medium, sector, buffer) != kOk) break;
    if (fits(ByteView(buffer.data(), buffer.size()), sector)) return static_cast<uint16_t>(h);
  }
  return 0;
}

}  // namespace

std::string_view NameExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

uint16_t FindFolderHighWord(const FatMedium& medium, const FatLayout& layout, uint16_t lowWord) {
  return SearchHighWord(medium, layout, lowWord,
                        [](ByteView s, uint64_t) { return s.Equals(0, ". ") && s.Equals(32, ".."); });
}

uint16_t FindFileHighWord(const FatMedium& medium, const FatLayout& layout, uint16_t lowWord, std::string_view name) {
  std::string_view ext = NameExtension(name);
  if (ext.empty()) return 0;
  return SearchHighWord(medium, layout, lowWord, [&](ByteView s, uint64_t sector) {
    return ContentMatchesExtension(s, medium.bytesPerSector, ext, medium.device, sector);
  });
}

uint32_t CheckFirstSector(const FatMedium& medium, const FileRecord& record, uint32_t sectorsPerCluster) {
  if (record.nodeId < 2) return 1;
  std::string_view ext = NameExtension(record.Name());
  if (ext.empty()) return 1;
  uint64_t sector = record.origin + record.dataStart + static_cast<uint64_t>(record.nodeId - 2) * sectorsPerCluster;
  std::vector<uint8_t> buffer;
  if (ReadOneSector(medium, sector, buffer) != kOk) return 1;
  return ContentMatchesExtension(ByteView(buffer.data(), buffer.size()), medium.bytesPerSector, ext, medium.device,
                                 sector)
             ? 1
             : 0;
}

Status FolderLevel(const FatMedium& medium, const FatLayout& layout, uint32_t rootCluster, uint32_t cluster,
                   FolderLevelMode mode, uint32_t* level) {
  *level = 0;
  if (mode == FolderLevelMode::kProfessional && cluster == 0) return kOk;
  if (medium.device == nullptr || medium.bytesPerSector == 0) return kErrInvalidHandle;
  uint32_t count = std::max<uint32_t>(1, 4096 / medium.bytesPerSector);
  std::vector<uint8_t> buffer(static_cast<size_t>(count) * medium.bytesPerSector);
  std::vector<uint32_t> visited;
  uint32_t c = cluster;
  while (*level < kMaxFolderLevel) {
    if (c == rootCluster) return kOk;
    visited.push_back(c);
    uint32_t got = 0;
    Status st = ReadSectors(*medium.device, buffer.data(), FolderStartSector(layout, c), count, medium.bytesPerSector,
                            &got);
    if (st == kOk && got == 0) st = kErrReadFault;
    if (st != kOk) return st;
    ByteView data(buffer.data(), buffer.size());
    if (data.u8(11) == kFatAttrVolumeLabel) return kOk;
    if (!(data.u8(0) == '.' && data.Equals(32, ".."))) {
      if (mode == FolderLevelMode::kProfessional) ++*level;
      return kOk;
    }
    ++*level;
    uint32_t parent = (static_cast<uint32_t>(data.le16(52)) << 16) | data.le16(58);
    // ".." of 0 names the root folder.
    if (parent == 0 || c == 0) return kOk;
    if (std::find(visited.begin(), visited.end(), parent) != visited.end()) return kOk;
    c = parent;
  }
  return kOk;
}

}  // namespace mendwell

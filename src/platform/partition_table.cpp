#include "platform/partition_table.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/volumes.h"

namespace mendwell {

namespace fs = std::filesystem;

namespace {

// GPT partitions carry a type GUID, not a byte. They get the MBR byte that
// the same kind of content has, so that no partition is ever mistaken for
// free space (type 0); unknown kinds get 0xEE.
uint8_t GptTypeByte(const std::string& guid) {
  static const struct {
    const char* guid;
    uint8_t byte;
  } kTable[] = {
      {"ebd0a0a2-b9e5-4433-87c0-68b6b72699c7", 0x07},  // Microsoft basic data
      {"c12a7328-f81f-11d2-ba4b-00a0c93ec93b", 0xEF},  // EFI system
      {"0fc63daf-8483-4772-8e79-3d69d8477de4", 0x83},  // Linux file system
      {"0657fd6d-a4ab-43c4-84e5-0933c84b4f4f", 0x82},  // Linux swap
      {"e6d6d379-f507-44c2-a23c-238f2a3df928", 0x8E},  // Linux LVM
      {"a19d880f-05fc-4d3b-a006-743f0f84911e", 0xFD},  // Linux RAID
      {"de94bba4-06d1-4d40-a16a-bfd50179d6ac", 0x27},  // Windows recovery
  };
  for (const auto& row : kTable)
    if (guid == row.guid) return row.byte;
  return 0xEE;
}

// The existing path itself, or its nearest existing parent folder.
std::string ExistingAncestor(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return {};
  for (int depth = 0; depth < 4096 && !p.empty(); ++depth) {
    if (fs::exists(p, ec)) return p.string();
    if (p == p.parent_path()) break;
    p = p.parent_path();
  }
  return {};
}

bool ParentDiskDevice(dev_t partition, dev_t* disk) {
  char link[64];
  std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(partition), minor(partition));
  std::error_code ec;
  fs::path dir = fs::canonical(link, ec);
  if (ec || !fs::exists(dir / "partition", ec)) return false;
  std::ifstream in(dir.parent_path() / "dev");
  unsigned maj = 0, min = 0;
  char colon = 0;
  if (!(in >> maj >> colon >> min) || colon != ':') return false;
  *disk = makedev(maj, min);
  return true;
}

}  // namespace

Status ReadPartitionTable(const std::string& path, std::vector<PartitionEntry>* entries, std::string* tableType) {
  entries->clear();
  tableType->clear();
  blkid_probe probe = blkid_new_probe_from_filename(path.c_str());
  if (!probe) return kErrAccessDenied;
  blkid_probe_enable_partitions(probe, 1);
  blkid_probe_set_partitions_flags(probe, BLKID_PARTS_ENTRY_DETAILS);
  blkid_partlist list = blkid_probe_get_partitions(probe);
  blkid_parttable table = list ? blkid_partlist_get_table(list) : nullptr;
  if (table) {
    const char* type = blkid_parttable_get_type(table);
    *tableType = type ? type : "";
    bool gpt = *tableType == "gpt";
    int count = blkid_partlist_numof_partitions(list);
    for (int i = 0; i < count && i < 4096; ++i) {
      blkid_partition part = blkid_partlist_get_partition(list, i);
      if (!part || blkid_partition_is_extended(part)) continue;
      blkid_loff_t start = blkid_partition_get_start(part);
      blkid_loff_t size = blkid_partition_get_size(part);
      if (start < 0 || size <= 0) continue;
      PartitionEntry entry;
      entry.number = blkid_partition_get_partno(part);
      // libblkid counts in 512-byte units whatever the disk's sector size.
      entry.startBytes = static_cast<uint64_t>(start) * 512;
      entry.lengthBytes = static_cast<uint64_t>(size) * 512;
      if (gpt) {
        const char* guid = blkid_partition_get_type_string(part);
        entry.typeString = guid ? guid : "";
        entry.typeByte = GptTypeByte(entry.typeString);
      } else {
        int byte = blkid_partition_get_type(part);
        entry.typeByte = static_cast<uint8_t>(byte);
        char text[8];
        std::snprintf(text, sizeof text, "0x%02x", byte & 0xFF);
        entry.typeString = text;
      }
      entries->push_back(entry);
    }
  }
  blkid_free_probe(probe);
  return kOk;
}

bool IsBlockDevicePath(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

bool SameFileOrDevice(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool OverlapsDevice(const std::string& path, const std::string& source) {
  if (SameFileOrDevice(path, source)) return true;
  struct stat sp, ss;
  if (::stat(path.c_str(), &sp) != 0 || ::stat(source.c_str(), &ss) != 0) return false;
  if (!S_ISBLK(sp.st_mode) || !S_ISBLK(ss.st_mode)) return false;
  dev_t disk = 0;
  if (ParentDiskDevice(sp.st_rdev, &disk) && disk == ss.st_rdev) return true;
  return ParentDiskDevice(ss.st_rdev, &disk) && disk == sp.st_rdev;
}

bool PathIsOnDevice(const std::string& path, const std::string& node) {
  std::string existing = ExistingAncestor(path);
  struct stat sp, sn;
  if (existing.empty() || ::stat(existing.c_str(), &sp) != 0 || ::stat(node.c_str(), &sn) != 0) return false;
  if (!S_ISBLK(sn.st_mode)) return false;
  if (sp.st_dev == sn.st_rdev) return true;
  dev_t disk = 0;
  return ParentDiskDevice(sp.st_dev, &disk) && disk == sn.st_rdev;
}

bool MountOfPath(const std::string& path, std::string* source, std::string* mountPoint, std::string* kernelType) {
  std::string existing = ExistingAncestor(path);
  struct stat sp;
  if (existing.empty() || ::stat(existing.c_str(), &sp) != 0) return false;
  bool found = false;
  // A later mount of the same device shadows an earlier one; take the last.
  for (const MountInfo& m : ListMounts()) {
    if (m.device != sp.st_dev) continue;
    if (source) *source = m.source;
    if (mountPoint) *mountPoint = m.mountPoint;
    if (kernelType) *kernelType = m.fsType;
    found = true;
  }
  return found;
}

}  // namespace mendwell

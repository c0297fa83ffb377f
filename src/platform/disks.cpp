#include "platform/disks.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace mendwell {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string ReadSysfsLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
  return line;
}

// Whole disks a user may want to recover from; partitions and virtual
// devices such as ram or zram disks are left out.
bool IsWholeDiskName(const std::string& name) {
  if (StartsWith(name, "sd") || StartsWith(name, "hd") || StartsWith(name, "vd") || StartsWith(name, "xvd"))
    return true;
  if (StartsWith(name, "nvme")) return name.find('n', 4) != std::string::npos && name.find('p') == std::string::npos;
  if (StartsWith(name, "mmcblk")) return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
  if (StartsWith(name, "loop")) return fs::exists(fs::path("/sys/block") / name / "loop" / "backing_file");
  return false;
}

std::vector<std::string> EnvironmentDisks() {
  std::vector<std::string> disks;
  const char* env = std::getenv("MENDWELL_DISKS");
  if (!env) return disks;
  std::string list(env);
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(':', pos);
    if (end == std::string::npos) end = list.size();
    if (end > pos) disks.push_back(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return disks;
}

bool UsingEnvironmentDisks() { return std::getenv("MENDWELL_DISKS") != nullptr; }

std::string SysBlockName(int diskIndex) {
  std::string node;
  if (UsingEnvironmentDisks() || DiskNodePath(diskIndex, &node) != kOk) return {};
  return fs::path(node).filename().string();
}

}  // namespace

std::vector<std::string> ListDiskNodes() {
  if (UsingEnvironmentDisks()) return EnvironmentDisks();
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/block", ec)) {
    std::string name = entry.path().filename().string();
    if (IsWholeDiskName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> nodes;
  for (const std::string& name : names) nodes.push_back("/dev/" + name);
  return nodes;
}

Status DiskNodePath(int diskIndex, std::string* path) {
  std::vector<std::string> nodes = ListDiskNodes();
  if (diskIndex < 0 || static_cast<size_t>(diskIndex) >= nodes.size()) return kErrFileNotFound;
  *path = nodes[static_cast<size_t>(diskIndex)];
  return kOk;
}

Status QueryLengthBytes(const FileHandle& handle, uint64_t* bytes) { return handle.Size(bytes); }

Status QueryGeometry(const FileHandle& handle, DiskGeometry* geometry) {
  DiskGeometry g;
  if (handle.IsBlockDevice()) {
    int sectorSize = 0;
    if (::ioctl(handle.fd(), BLKSSZGET, &sectorSize) != 0) return LastStatus();
    if (sectorSize > 0) g.bytesPerSector = static_cast<uint32_t>(sectorSize);
  }
  uint64_t length = 0;
  Status st = handle.Size(&length);
  if (st != kOk) return st;
  g.tracksPerCylinder = 255;
  g.sectorsPerTrack = 63;
  g.cylinders = length / (static_cast<uint64_t>(255) * 63 * g.bytesPerSector);
  *geometry = g;
  return kOk;
}

bool DiskIsRemovable(int diskIndex) {
  std::string name = SysBlockName(diskIndex);
  if (name.empty()) return false;
  fs::path dir = fs::path("/sys/block") / name;
  if (ReadSysfsLine(dir / "removable") == "1") return true;
  std::error_code ec;
  fs::path device = fs::canonical(dir / "device", ec);
  if (ec) return false;
  std::string chain = device.string();
  return chain.find("/usb") != std::string::npos || chain.find("/mmc_host/") != std::string::npos;
}

std::string DiskModel(int diskIndex) {
  std::string name = SysBlockName(diskIndex);
  if (name.empty()) return {};
  fs::path dir = fs::path("/sys/block") / name / "device";
  std::string vendor = ReadSysfsLine(dir / "vendor");
  std::string model = ReadSysfsLine(dir / "model");
  if (model.empty()) model = ReadSysfsLine(fs::path("/sys/block") / name / "device" / "name");
  if (!vendor.empty() && !model.empty()) return vendor + " " + model;
  return model;
}

}  // namespace mendwell

namespace mendwell {

std::string PartitionNodeAt(int diskIndex, uint64_t startSector) {
  std::string disk = SysBlockName(diskIndex);
  if (disk.empty()) return {};
  fs::path dir = fs::path("/sys/block") / disk;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(disk, 0) != 0 || !fs::exists(entry.path() / "partition")) continue;
    // sysfs counts partition starts in 512-byte units whatever the sector size.
    std::string start = ReadSysfsLine(entry.path() / "start");
    int sectorSize = 512;
    std::string logical = ReadSysfsLine(dir / "queue" / "logical_block_size");
    if (!logical.empty()) sectorSize = std::atoi(logical.c_str());
    if (sectorSize <= 0) sectorSize = 512;
    if (!start.empty() && std::strtoull(start.c_str(), nullptr, 10) * 512 / static_cast<uint64_t>(sectorSize) == startSector)
      return "/dev/" + name;
  }
  return {};
}

}  // namespace mendwell

namespace mendwell {

bool SysfsDiskLayout(int diskIndex, uint64_t* lengthBytes, uint32_t* sectorSize,
                     std::vector<SysfsPartition>* partitions) {
  partitions->clear();
  std::string disk = SysBlockName(diskIndex);
  if (disk.empty()) return false;
  fs::path dir = fs::path("/sys/block") / disk;
  std::string size = ReadSysfsLine(dir / "size");
  if (size.empty()) return false;
  // sysfs counts sizes and starts in 512-byte units whatever the sector size.
  *lengthBytes = std::strtoull(size.c_str(), nullptr, 10) * 512;
  int logical = std::atoi(ReadSysfsLine(dir / "queue" / "logical_block_size").c_str());
  *sectorSize = logical > 0 ? static_cast<uint32_t>(logical) : 512;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(disk, 0) != 0 || !fs::exists(entry.path() / "partition")) continue;
    SysfsPartition p;
    p.number = std::atoi(ReadSysfsLine(entry.path() / "partition").c_str());
    p.startBytes = std::strtoull(ReadSysfsLine(entry.path() / "start").c_str(), nullptr, 10) * 512;
    p.lengthBytes = std::strtoull(ReadSysfsLine(entry.path() / "size").c_str(), nullptr, 10) * 512;
    p.node = "/dev/" + name;
    partitions->push_back(p);
  }
  return true;
}

}  // namespace mendwell

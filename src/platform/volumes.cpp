#include "platform/volumes.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <sstream>

#include "platform/paths.h"

namespace mendwell {

namespace {

// mountinfo escapes blanks and a few other bytes as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      int v = 0;
      bool ok = true;
      for (int k = 1; k <= 3; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '7') ok = false;
        v = v * 8 + (c - '0');
      }
      if (ok) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::string DisplayName(const std::string& blkidType, const std::string& version) {
  if (blkidType == "ntfs") return "NTFS";
  if (blkidType == "vfat") return version == "FAT32" ? "FAT32" : "FAT";
  if (blkidType == "exfat") return "exFAT";
  return blkidType;
}

}  // namespace

std::vector<MountInfo> ListMounts() {
  std::vector<MountInfo> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    std::istringstream fields(line);
    std::string id, parent, majmin, root, mountPoint, options;
    if (!(fields >> id >> parent >> majmin >> root >> mountPoint >> options)) continue;
    std::string token;
    while (fields >> token && token != "-") {
    }
    MountInfo info;
    if (!(fields >> info.fsType >> info.source)) continue;
    info.source = Unescape(info.source);
    info.mountPoint = Unescape(mountPoint);
    unsigned major = 0, minor = 0;
    if (std::sscanf(majmin.c_str(), "%u:%u", &major, &minor) == 2) info.device = makedev(major, minor);
    mounts.push_back(std::move(info));
  }
  return mounts;
}

std::string MountPointOfDevice(const std::string& deviceNode) {
  uint64_t device = 0;
  bool haveDevice = DeviceNumberOfNode(deviceNode, &device) == kOk;
  for (const MountInfo& m : ListMounts()) {
    if (m.source == deviceNode || (haveDevice && m.device == device)) return m.mountPoint;
  }
  return {};
}

std::string ResolveMountPoint(const std::string& volume) {
  if (IsDirectoryPath(volume)) return volume;
  return MountPointOfDevice(volume);
}

Status VolumeSpace(const std::string& mountPoint, uint64_t* totalBytes, uint64_t* freeBytes) {
  struct statvfs sv;
  if (::statvfs(mountPoint.c_str(), &sv) != 0) return LastStatus();
  if (totalBytes) *totalBytes = static_cast<uint64_t>(sv.f_blocks) * sv.f_frsize;
  if (freeBytes) *freeBytes = static_cast<uint64_t>(sv.f_bfree) * sv.f_frsize;
  return kOk;
}

Status ProbeFileSystem(const std::string& path, uint64_t offsetBytes, uint64_t sizeBytes, std::string* type,
                       std::string* label) {
  type->clear();
  if (label) label->clear();
  // The probe gets a descriptor of our own: a probe made from a file name
  // owns its descriptor and closes it when the range is narrowed.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastStatus();
  blkid_probe probe = blkid_new_probe();
  if (!probe) {
    ::close(fd);
    return kErrNotEnoughMemory;
  }
  Status result = kOk;
  if (blkid_probe_set_device(probe, fd, static_cast<blkid_loff_t>(offsetBytes), static_cast<blkid_loff_t>(sizeBytes)) !=
      0)
    result = kErrInvalidParameter;
  if (result == kOk) {
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
    if (blkid_do_safeprobe(probe) == 0) {
      const char* value = nullptr;
      std::string fsType, version;
      if (blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 && value) fsType = value;
      if (blkid_probe_lookup_value(probe, "VERSION", &value, nullptr) == 0 && value) version = value;
      if (label && blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value) *label = value;
      *type = DisplayName(fsType, version);
    }
  }
  blkid_free_probe(probe);
  ::close(fd);
  return result;
}

Status FileSystemDeviceOf(const std::string& path, uint64_t* device) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return LastStatus();
  *device = st.st_dev;
  return kOk;
}

Status DeviceNumberOfNode(const std::string& node, uint64_t* device) {
  struct stat st;
  if (::stat(node.c_str(), &st) != 0) return LastStatus();
  if (!S_ISBLK(st.st_mode)) return kErrInvalidParameter;
  *device = st.st_rdev;
  return kOk;
}

}  // namespace mendwell
